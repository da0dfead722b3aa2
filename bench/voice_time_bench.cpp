// voice_time_bench.cpp: times and system cursors over long voices; both must grow linearly.
//   TimesOfEveryNote:    the start time of every chord of a voice of N measures (4/4, with a
//                        triplet in each measure), found in one forward walk that carries the
//                        rounding remainders: N = 1,000, 3,000 and 10,000
//   CursorToLastSystem:  every voice of a four-voice piece of N systems put at its last system
//                        (voices_to_system): N = 100, 500 and 2,000
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/app_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "support/bench_support.h"
#include "support/piece_builder.h"

namespace {

// A report means the piece was built wrong; the numbers would mean nothing.
void fresh_store() {
  set_report_observer(stop_on_report);
  reset_model_globals();
  reset_layout_globals();
  connect_subsystems();
  VeskMemory_Init();
}

// One measure of 4/4: two quarters, a triplet of eighths, a chord of two quarters.
void add_measure(int v) {
  add_note(v, QUARTER, 35);
  add_note(v, QUARTER, 33);
  for (int i = 0; i < 3; ++i) make_tuplet(add_note(v, EIGHTH, 34 + i), 3, 2);
  add_chord(v, QUARTER, {30, 32});
  add_bar(v);
}

int build_voice(int measures, int systems_every) {
  int v = new_voice();
  for (int m = 1; m <= measures; ++m) {
    add_measure(v);
    if (systems_every && m % systems_every == 0 && m < measures) add(v, ENDSYST);
  }
  return v;
}

void TimesOfEveryNote(benchmark::State& state) {
  fresh_store();
  int measures = int(state.range(0));
  int v = build_voice(measures, 0);
  std::vector<int32_t> times;
  times.reserve(size_t(measures) * 5);
  for (auto _ : state) {
    times.clear();
    int32_t time = 0, carry_num = 0, carry_den = 1, duration = 0;
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      if (p->xkind != NOTE) continue;
      times.push_back(time);
      p = chord_duration_carry(p, &time, &carry_num, &carry_den, &duration);
    }
    benchmark::DoNotOptimize(times.data());
    // Every measure adds up to a whole note exactly.
    if (time != measures * WHOLE_NOTE_TIME) state.SkipWithError("the times drifted");
  }
  state.SetComplexityN(measures);
  state.SetItemsProcessed(state.iterations() * int64_t(times.size()));
  state.counters["chords"] = double(times.size());
}
BENCHMARK(TimesOfEveryNote)->Arg(1000)->Arg(3000)->Arg(10000)->Complexity(benchmark::oN);

void CursorToLastSystem(benchmark::State& state) {
  fresh_store();
  int systems = int(state.range(0));
  for (int i = 0; i < 4; ++i) build_voice(systems * 4, 4);  // four measures to a system
  for (auto _ : state) {
    int at_end = voices_to_system(systems - 1, 0);
    benchmark::DoNotOptimize(at_end);
    benchmark::DoNotOptimize(system_cursor[3]);
  }
  if (!system_cursor[0] || system_cursor[0]->xkind != ENDSYST)
    state.SkipWithError("no cursor at the last system");
  state.SetComplexityN(systems);
}
BENCHMARK(CursorToLastSystem)->Arg(100)->Arg(500)->Arg(2000)->Complexity(benchmark::oN);

}  // namespace
