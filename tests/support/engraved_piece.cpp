// engraved_piece.cpp: the piece of engraved_piece.h.
#include "support/engraved_piece.h"

#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"
#include "support/piece_builder.h"

void add_engraved_bar(int v, int kind, int bar) {
  switch (kind) {
    case 0:  // quarters, slurred eighths and a chord
      add_note(v, QUARTER, 30 + bar % 7);
      add_note(v, EIGHTH, 31)->set(xslur, 3);
      add_note(v, EIGHTH, 32);
      add_chord(v, QUARTER, {28, 30, 32});
      add_note(v, QUARTER, 33);
      break;
    case 1:  // half notes, the second tied over the bar line
      add_note(v, HALF, 35);
      add_note(v, HALF, 35)->set(xtie, 3);
      break;
    default:  // quarters, a rest and a triplet
      add_note(v, QUARTER, 26);
      add_rest(v, QUARTER);
      add_note(v, QUARTER, 27);
      for (int i = 0; i < 3; ++i) make_tuplet(add_note(v, EIGHTH, 28), 3, 2);
      break;
  }
}

int build_engraved_piece(int staves, int bars, int bars_per_system, int systems_per_page) {
  set_options_i32(1, OPTIONS_PAGE_WIDTH, 85);
  set_options_i32(1, OPTIONS_PAGE_HEIGHT, 110);
  set_options_i16(1, OPTIONS_FIRST_MEASURE, 1);
  set_options_i16(1, OPTIONS_FIRST_PAGE, 1);
  set_options_i16(1, OPTIONS_MIN_LINE_WIDTH, 4);
  // Margins: left, right, and the first and other pages' top and bottom (tenths of a point).
  for (int margin : {22, 26, 88}) set_options_i32(1, margin, 500);
  for (int margin : {30, 34, 92}) set_options_i32(1, margin, 400);
  for (int margin : {50, 54, 58, 62}) set_options_i32(1, margin, 600);
  int voices = 0;
  const int bars_per_page = bars_per_system * systems_per_page;
  for (int staff = 0; staff < staves; ++staff) {
    const bool two_voices = staff >= staves / 2;
    for (int layer = 0; layer < (two_voices ? 2 : 1); ++layer) {
      const int v = new_voice("Part", layer, staff);
      add_clef(v, two_voices ? 1 : 0);  // treble, bass
      add_key(v, 2);
      add_timesig(v, 4, 4);
      for (int bar = 0; bar < bars; ++bar) {
        if (bar % 48 == 47) add_key(v, bar % 96 == 47 ? 2 : -1);
        if (bar % 96 == 95) add_timesig(v, 4, 4);
        add_engraved_bar(v, two_voices ? layer + 1 : 0, bar);
        add_bar(v);
        if (bar % bars_per_system == bars_per_system - 1 && bar + 1 < bars)
          add_system_break(v, bar % bars_per_page == bars_per_page - 1);
      }
      set_default_performance(find_next_kind(NOTE, piece_start[v]),
                              find_prev_kind(NOTE, voice_end(v)), 0, 0, 0, 42, 0);
      ++voices;
    }
  }
  count_pages();
  return voices;
}
