// systems_bench.cpp: breaking a piece into systems and pages, and judging its printed
// accidentals, as a MusicXML import does both on a piece without breaks.
// The pieces: 4/4 bars of quarters, eighths and a chord with sharps, naturals and ties, a key
// of two sharps changing every 48 bars; one voice per staff.
//   BreakIntoSystems/staves/bars: the Systems dialog's density of 100 percent (answered by
//     script) on 1 staff (the best case) and on 16 (the worst), over 100 and 400 bars; the
//     time must grow with the bars, not faster. Checks that every voice breaks at the same
//     bars and into more than one page.
//   JudgeAccidentals/staves/bars: every note's own accidental judged (ACC_OWN_ONLY), note by
//     note; checks how many print.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/script.h"
#include "support/piece_builder.h"

namespace {

void stop_on_report(int16_t level, const char* text) {
  if (level == 2) return;  // the message that the import's piece has no breaks
  std::fprintf(stderr, "unexpected report (level %d): %s\n", level, text);
  std::abort();
}

Drosa add_key_of_sharps(int v, int sharps) {
  static const int steps[] = {3, 0, 4, 1};
  Drosa key = add_key(v, sharps);
  for (int i = 0; i < sharps; ++i) key->set(xkeysig_entry, i, uint8_t(steps[i] + 7));
  key->set(xkeycnt, uint8_t(sharps));
  return key;
}

Drosa note(int v, int lgval, int step, int acc, bool tied = false) {
  Drosa n = add_note(v, lgval, step);
  n->set(xacc, acc);
  n->set(xtie, tied ? 1 : 0);
  return n;
}

void build_piece(int staves, int bars) {
  set_report_observer(stop_on_report);
  reset_model_globals();
  reset_layout_globals();
  reset_graphics_globals();
  reset_params_globals();
  reset_editing_globals();
  connect_subsystems();
  VeskMemory_Init();
  set_options_i32(1, OPTIONS_PAGE_WIDTH, 76);
  set_options_i32(1, OPTIONS_PAGE_HEIGHT, 101);
  for (int margin : {22, 30, 34, 54, 58, 62, 88, 92}) set_options_i32(1, margin, 200);
  set_options_i16(1, OPTIONS_FIRST_MEASURE, 1);
  set_options_float(1, OPTIONS_NOTE_SPACING, 0.7f);
  set_options_i16(1, OPTIONS_CLEF_AT_EACH_SYSTEM, 1);  // as in a new piece
  set_options_i16(1, OPTIONS_KEY_AT_EACH_SYSTEM, 1);
  param_init();
  GE_head = newDrosa(GE_CHAR, 0);
  for (int staff = 0; staff < staves; ++staff) {
    int v = new_voice("Part", 0, staff);
    add_timesig(v, 4, 4);
    add_clef(v, 0);
    add_key_of_sharps(v, 2);
    for (int bar = 0; bar < bars; ++bar) {
      if (bar % 48 == 47) add_key_of_sharps(v, bar % 96 == 47 ? 0 : 2);
      int base = 30 + (bar + staff) % 5;
      note(v, QUARTER, base, 4);
      note(v, EIGHTH, base + 1, 3);
      note(v, EIGHTH, base, 4);
      Drosa chord = add_chord(v, QUARTER, {base - 2, base, base + 2});
      chord->set(xacc, 2);
      note(v, QUARTER, base + 3, 4, bar % 4 == 3);
      add_bar(v);
    }
  }
}

int32_t printed_accidentals() {
  int32_t count = 0;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (p->xkind == NOTE && p->get(xaccplot)) ++count;
  return count;
}

void BreakIntoSystems(benchmark::State& state) {
  const int staves = int(state.range(0)), bars = int(state.range(1));
  for (auto _ : state) {
    state.PauseTiming();
    build_piece(staves, bars);
    script_begin();
    script_hit(1);  // density 100 percent, the systems per page offered
    script_hit(1);  // the pages it rounds to
    state.ResumeTiming();
    int made = systems(piece_start[0], SYSTEMS_NO_BREAKS, nullptr);
    state.PauseTiming();
    bool good = made == 1 && page_count > 1 && script_pending() == 0;
    std::string first;
    for (int v = 0; v < voice_count && good; ++v) {
      std::string breaks;
      for (Drosa p = piece_start[v]; p; p = p->xnext)
        if (p->xkind == ENDSYST) breaks += p->get(xendpage) ? ';' : ',';
      if (v == 0) first = breaks;
      good = breaks == first && breaks.size() > 4;
    }
    script_end();
    if (!good) {
      state.SkipWithError("the voices were not broken alike into pages");
      break;
    }
    state.ResumeTiming();
  }
  state.SetLabel(std::to_string(staves) + " staves, " + std::to_string(bars) + " bars");
}

void JudgeAccidentals(benchmark::State& state) {
  const int staves = int(state.range(0)), bars = int(state.range(1));
  for (auto _ : state) {
    state.PauseTiming();
    build_piece(staves, bars);
    state.ResumeTiming();
    for (int v = 0; v < voice_count; ++v)
      for (Drosa p = piece_start[v]; p; p = p->xnext)
        if (p->xkind == NOTE) adjust_accidentals(ACC_OWN_ONLY, p, p);
    state.PauseTiming();
    // In each bar the natural and the chord's flat print; the tied sharp carries no further.
    if (printed_accidentals() < 2 * staves * bars) {
      state.SkipWithError("too few accidentals");
      break;
    }
    state.ResumeTiming();
  }
  state.SetLabel(std::to_string(staves) + " staves, " + std::to_string(bars) + " bars");
}

BENCHMARK(BreakIntoSystems)
    ->Args({1, 100})
    ->Args({1, 400})
    ->Args({16, 100})
    ->Args({16, 400})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(JudgeAccidentals)
    ->Args({1, 400})
    ->Args({16, 100})
    ->Args({16, 400})
    ->Unit(benchmark::kMillisecond);

}  // namespace
