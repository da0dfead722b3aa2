// huge_measure_bench.cpp: formatting a page whose one system holds far more than music does:
// one measure of N sixteenths, and one chord of N notes. Real music has a few hundred time
// points in a system and a dozen notes in a chord; these check that formatting stays linear
// well past that, so that a damaged or generated piece is laid out in time and not in minutes.
//   OneMeasure/N: N sixteenths (every other one an eighth higher, so that beams and stems
//                 vary) in one measure of one voice; the time per note must not grow with N.
//   OneChord/N:   one quarter-note chord of N notes spread over four octaves; the time per
//                 note must not grow with N.
// Every run checks that the page was formatted with its one pstaff and the notes' layout
// records.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "support/bench_support.h"
#include "support/piece_builder.h"

namespace {

void build(int notes, bool chord) {
  fresh_letter_page_program();
  new_voice();
  add_clef(0, 0);
  add_key(0, 0);
  add_timesig(0, 4, 4);
  if (chord) {
    for (int i = 0; i < notes; ++i) add_note(0, QUARTER, 28 + i % 28, 0, i + 1 < notes);
  } else {
    for (int i = 0; i < notes; ++i) add_note(0, SIXTEENTH, 32 + (i % 2) * 4);
  }
  count_pages();
  disable_format_interrupts();
}

void format_and_check(benchmark::State& state, int notes) {
  if (format_page(1, 0) != 1 || pstaff_count != 1) {
    state.SkipWithError("the page was not formatted");
    return;
  }
  int with_records = 0;
  for (Drosa p = piece_start[0]; p; p = p->xnext)
    with_records += p->xkind == NOTE && p->xnext && p->xnext->xkind == NTDATA;
  if (with_records != notes) state.SkipWithError("notes were left without layout records");
}

void OneMeasure(benchmark::State& state) {
  const int notes = int(state.range(0));
  build(notes, false);
  for (auto _ : state) format_and_check(state, notes);
  state.SetItemsProcessed(state.iterations() * notes);
}
BENCHMARK(OneMeasure)->Arg(10000)->Arg(40000)->Arg(100000)->Unit(benchmark::kMillisecond);

void OneChord(benchmark::State& state) {
  const int notes = int(state.range(0));
  build(notes, true);
  for (auto _ : state) format_and_check(state, notes);
  state.SetItemsProcessed(state.iterations() * notes);
}
BENCHMARK(OneChord)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
