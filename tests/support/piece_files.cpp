// piece_files.cpp: building and writing the piece files of piece_files.h.
#include "support/piece_files.h"

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"
#include "support/piece_builder.h"

namespace {

void reset_everything() {
  reset_model_globals();
  reset_graphics_globals();
  reset_editing_globals();
  reset_layout_globals();
  reset_params_globals();
}

}  // namespace

bool write_piece_of_pages(const std::string& path, int pages, int staves, int shown_page,
                          int long_bar) {
  constexpr int BARS_PER_SYSTEM = 2, SYSTEMS_PER_PAGE = 2;
  reset_everything();
  VeskMemory_Init();
  param_init();
  read_header(nullptr);  // the default piece's records
  voice_count = 0;
  const int bars = pages * BARS_PER_SYSTEM * SYSTEMS_PER_PAGE;
  for (int staff = 0; staff < staves; ++staff) {
    const int v = new_voice("Part", 0, staff);
    add_clef(v, staff % 2);
    add_key(v, 0);
    add_timesig(v, 4, 4);
    for (int bar = 0; bar < bars; ++bar) {
      add_note(v, QUARTER, 30 + bar % 7);
      add_note(v, EIGHTH, 31);
      add_note(v, EIGHTH, 32);
      add_chord(v, QUARTER, {28, 30, 32});
      add_note(v, QUARTER, 33);
      if (bar + 1 == long_bar) add_note(v, EIGHTH, 34);
      add_bar(v);
      if (bar % BARS_PER_SYSTEM == BARS_PER_SYSTEM - 1 && bar + 1 < bars)
        add_system_break(v, bar % (BARS_PER_SYSTEM * SYSTEMS_PER_PAGE) == 3);
    }
    set_default_performance(find_next_kind(NOTE, piece_start[v]),
                            find_prev_kind(NOTE, voice_end(v)), 0, 0, 0, 42, 0);
  }
  current_page = shown_page;
  const bool written = write_piece_file(0, NIL, path) == 1;
  reset_everything();
  return written;
}

bool write_built_piece(const std::string& path, const std::function<void()>& build) {
  reset_everything();
  VeskMemory_Init();
  param_init();
  read_header(nullptr);
  voice_count = 0;
  build();
  for (int v = 0; v < voice_count; ++v) {
    Drosa first = find_next_kind(NOTE, piece_start[v]);
    if (first) set_default_performance(first, find_prev_kind(NOTE, voice_end(v)), 1, 0, 1, 42, 0);
  }
  current_page = 1;
  const bool written = write_piece_file(0, NIL, path) == 1;
  reset_everything();
  return written;
}
