// node_store_bench.cpp: the node store's hot paths.
//   TakeAndReturn: one newDrosa and one destroyDrosa (target: well under 20 ns a pair)
//   WalkChain:     following xnext along a 100,000-node chain
//   CopyChain:     copying a 100,000-node chain node by node, then returning the copy
#include <benchmark/benchmark.h>

#include <vector>

#include "model/drosa.h"
#include "model/model_globals.h"
#include "model/node_kinds.h"

namespace {

void start_store() {
  if (drosa_block_total == 0) VeskMemory_Init();
}

Drosa make_chain(int n) {
  Drosa head = newDrosa(NOTE, 0), tail = head;
  for (int i = 1; i < n; ++i) {
    Drosa p = newDrosa(NOTE, 0);
    tail->xnext = p;
    p->xback = tail;
    tail = p;
  }
  return head;
}

void TakeAndReturn(benchmark::State& state) {
  start_store();
  for (auto _ : state) {
    Drosa n = newDrosa(NOTE, 0);
    benchmark::DoNotOptimize(n);
    destroyDrosa(n);
  }
}
BENCHMARK(TakeAndReturn);

void WalkChain(benchmark::State& state) {
  start_store();
  Drosa head = make_chain(int(state.range(0)));
  for (auto _ : state) {
    long count = 0;
    for (Drosa p = head; p; p = p->xnext) ++count;
    benchmark::DoNotOptimize(count);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  destroy_Drosa_list(head);
}
BENCHMARK(WalkChain)->Arg(100000);

void CopyChain(benchmark::State& state) {
  start_store();
  Drosa head = make_chain(int(state.range(0)));
  for (auto _ : state) {
    Drosa copy_head = copyDrosa(head), tail = copy_head;
    for (Drosa p = head->xnext; p; p = p->xnext) {
      Drosa c = copyDrosa(p);
      tail->xnext = c;
      c->xback = tail;
      tail = c;
    }
    destroy_Drosa_list(copy_head);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  destroy_Drosa_list(head);
}
BENCHMARK(CopyChain)->Arg(100000);

}  // namespace
