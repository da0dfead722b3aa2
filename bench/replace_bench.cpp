// replace_bench.cpp: replacing a long stretch of a voice, and undoing it.
//   ReplaceStretch: a stretch of N eighth notes turned into rests (restify), then undone;
//                   both should grow linearly with N.
#include <benchmark/benchmark.h>

#include "app/app_services.h"
#include "model/model_services.h"
#include "support/piece_builder.h"

namespace {

void start_store() {
  reset_model_globals();
  connect_subsystems();
  VeskMemory_Init();
}

void ReplaceStretchAndUndo(benchmark::State& state) {
  int n = int(state.range(0));
  start_store();
  int v = new_voice();
  Drosa first = NIL, last = NIL;
  for (int i = 0; i < n; ++i) {
    last = add_note(v, EIGHTH);
    if (!first) first = last;
  }
  add_bar(v);
  for (auto _ : state) {
    set_undo_mark(1);
    restify(first, last, int32_t(n) * 8192, 0);
    set_undo_mark(0);
    undo_redo(1);
  }
  state.SetComplexityN(n);
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(ReplaceStretchAndUndo)
    ->Arg(1000)
    ->Arg(4000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity();

}  // namespace
