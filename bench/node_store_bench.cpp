// node_store_bench.cpp: the node store's hot paths, each beside its worst case. A fresh store
// hands out nodes in address order, so a chain built from it lies in consecutive memory (the
// best case); after heavy random take-and-return churn, as long editing leaves it, the free
// list runs in random address order and every chain built from it is scattered (the worst).
//   TakeAndReturn:  one newDrosa and one destroyDrosa (target: well under 20 ns a pair)
//   TakeMany:       100,000 newDrosa in a row, then their return, fresh and churned
//   WalkChain:      following xnext along a chain of 100,000 and 1,000,000 nodes
//   CopyChain:      copying such a chain node by node, then returning the copy
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "app/app_services.h"
#include "model/model_services.h"

namespace {

void start_store() {
  connect_subsystems();
  if (drosa_block_total == 0) VeskMemory_Init();
}

// Relinks the free list in the order a store just built hands nodes out: highest handle
// first, so that successive takes walk down through consecutive memory.
void order_free_list() {
  std::vector<Drosa> nodes;
  nodes.reserve(size_t(freeCount));
  drosa_build_free_nodes();  // the walk reads the links of every free node
  for (Drosa p = freeHead; p; p = p->xnext) nodes.push_back(p);
  std::sort(nodes.begin(), nodes.end(), [](Drosa a, Drosa b) { return a.handle() > b.handle(); });
  for (size_t i = 0; i < nodes.size(); ++i) {
    nodes[i]->xback = i ? nodes[i - 1] : NIL;
    nodes[i]->xnext = i + 1 < nodes.size() ? nodes[i + 1] : NIL;
  }
  freeHead = nodes.empty() ? NIL : nodes.front();
}

// Random takes and returns over a pool that grows to `pool_size` live nodes, then every node
// returned in random order: the free list afterwards starts with those nodes, scattered.
void churn_store(int pool_size) {
  std::mt19937 random(20240611);
  std::vector<Drosa> pool;
  pool.reserve(size_t(pool_size));
  while (int(pool.size()) < pool_size) {
    if (pool.empty() || random() % 5 < 3) {
      pool.push_back(newDrosa(NOTE, 0));
    } else {
      size_t i = random() % pool.size();
      destroyDrosa(pool[i]);
      pool[i] = pool.back();
      pool.pop_back();
    }
  }
  std::shuffle(pool.begin(), pool.end(), random);
  for (Drosa p : pool) destroyDrosa(p);
}

// The store in its best (argument 0) or worst (1) order for taking `nodes` nodes, grown
// beforehand so that the timed takes never grow it.
void prepare_store(benchmark::State& state, int nodes) {
  start_store();
  bool churned = state.range(1) != 0;
  if (churned) {
    churn_store(nodes + nodes / 5);
  } else {
    std::vector<Drosa> room(static_cast<size_t>(nodes + nodes / 5));
    for (Drosa& p : room) p = newDrosa(NOTE, 0);
    for (Drosa p : room) destroyDrosa(p);
    order_free_list();
  }
  state.SetLabel(churned ? "churned" : "fresh");
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

void TakeMany(benchmark::State& state) {
  const int n = int(state.range(0));
  prepare_store(state, n);
  std::vector<Drosa> taken(static_cast<size_t>(n));
  const int32_t free_before = freeCount;
  for (auto _ : state) {
    for (Drosa& p : taken) p = newDrosa(NOTE, 0);
    for (Drosa p : taken) destroyDrosa(p);
  }
  if (freeCount != free_before) state.SkipWithError("the store did not get its nodes back");
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(TakeMany)->Args({100000, 0})->Args({100000, 1});

void WalkChain(benchmark::State& state) {
  const int n = int(state.range(0));
  prepare_store(state, n);
  Drosa head = make_chain(n);
  for (auto _ : state) {
    long count = 0;
    for (Drosa p = head; p; p = p->xnext) ++count;
    benchmark::DoNotOptimize(count);
    if (count != n) state.SkipWithError("the chain lost nodes");
  }
  state.SetItemsProcessed(state.iterations() * n);
  destroy_Drosa_list(head);
}
BENCHMARK(WalkChain)->ArgsProduct({{100000, 1000000}, {0, 1}});

void CopyChain(benchmark::State& state) {
  const int n = int(state.range(0));
  prepare_store(state, n * 2);
  Drosa head = make_chain(n);
  const int32_t free_before = freeCount;
  for (auto _ : state) {
    Drosa copy_head = copyDrosa(head), tail = copy_head;
    long count = 1;
    for (Drosa p = head->xnext; p; p = p->xnext, ++count) {
      Drosa c = copyDrosa(p);
      tail->xnext = c;
      c->xback = tail;
      tail = c;
    }
    destroy_Drosa_list(copy_head);
    if (count != n || freeCount != free_before) state.SkipWithError("the copy is not the chain");
  }
  state.SetItemsProcessed(state.iterations() * n);
  destroy_Drosa_list(head);
}
BENCHMARK(CopyChain)->ArgsProduct({{100000, 1000000}, {0, 1}});

}  // namespace
