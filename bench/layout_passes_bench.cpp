// layout_passes_bench.cpp: the passes of one system, from the layering to the joining of beams
// (setprint with its splits, beam ends, vertical positions, stems, unequal chords, beam
// joins); the time per system must grow linearly with its notes.
//   OneVoicePerStaff:   16 staves of one voice each (eighths, a triplet, a chord), N measures
//                       to the system: the simple case
//   TwoLayersPerStaff:  the same with a second voice on every staff whose stems go the same
//                       way and whose values differ, so that every staff is split into two
//                       layers and the layering runs twice, with grace notes and a clef change:
//                       the worst case
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "app/app_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "support/bench_support.h"
#include "support/layout_fixture.h"
#include "support/piece_builder.h"

namespace {

void fresh_store() {
  set_report_observer(stop_on_report);
  reset_model_globals();
  reset_layout_globals();
  reset_params_globals();
  connect_subsystems();
  VeskMemory_Init();
}

constexpr int STAVES = 16;

void add_upper_measure(int v, int m) {
  for (int i = 0; i < 4; ++i) add_note(v, EIGHTH, 36 + (i + m) % 8);
  for (int i = 0; i < 3; ++i) make_tuplet(add_note(v, EIGHTH, 38 + i), 3, 2);
  add_chord(v, QUARTER, {33, 35, 37});
  add_bar(v);
}

void add_lower_measure(int v, int m) {
  if (m % 4 == 2) add_grace(v, EIGHTH, false, 30);
  if (m % 4 == 3) add_clef(v, 1);
  add_note(v, HALF, 28);
  add_chord(v, QUARTER, {26, 30});
  add_rest(v, QUARTER);
  add_bar(v);
}

void build_system(int measures, bool two_voices) {
  for (int s = 0; s < STAVES; ++s) {
    int a = new_voice("Upper", 0, s);
    add_clef(a, 0);
    add_timesig(a, 4, 4);
    find_next_kind_before_note(PRINT, piece_start[a])->set(xprintdir, int16_t(2));
    for (int m = 0; m < measures; ++m) add_upper_measure(a, m);
    if (!two_voices) continue;
    int b = new_voice("Lower", 0, s);
    find_next_kind_before_note(PRINT, piece_start[b])->set(xprintdir, int16_t(2));
    for (int m = 0; m < measures; ++m) add_lower_measure(b, m);
  }
}

int count_chords(int pstaff, int layer) {
  int chords = 0;
  Drosa head = staff_data[pstaff].ppnt[layer];
  for (Drosa n = head->xnext->get(xpnext); n; n = n->xnext->get(xpnext))
    chords += n->xnext->get(xendscd);
  return chords;
}

void run(benchmark::State& state, bool two_voices) {
  fresh_store();
  int measures = int(state.range(0));
  build_system(measures, two_voices);
  int notes = 0;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext) notes += p->xkind == NOTE;
  for (auto _ : state) {
    if (!format_one_system()) state.SkipWithError("a pass was interrupted");
    // The upper voice's chords stand in layer 0: eight a measure, and the lower voice's
    // three (and a grace note every fourth measure) in layer 1.
    if (count_chords(0, 0) != 8 * measures) state.SkipWithError("wrong chords in layer 0");
    int lower = two_voices ? 3 * measures + (measures + 1) / 4 : 0;
    if (count_chords(0, 1) != lower) state.SkipWithError("wrong chords in layer 1");
  }
  state.SetComplexityN(notes);
  state.SetItemsProcessed(state.iterations() * notes);
  state.counters["notes"] = double(notes);
}

void OneVoicePerStaff(benchmark::State& state) { run(state, false); }
void TwoLayersPerStaff(benchmark::State& state) { run(state, true); }

BENCHMARK(OneVoicePerStaff)->Arg(4)->Arg(16)->Arg(64)->Complexity(benchmark::oN);
BENCHMARK(TwoLayersPerStaff)->Arg(4)->Arg(16)->Arg(64)->Complexity(benchmark::oN);

}  // namespace
