// event_wait_bench.cpp: how much of the processor the main loop's idle wait takes. The wait
// blocks for the six ticks (100 ms) the main loop sleeps when nothing happens; the CPU column
// is the waiting thread's own processor time, the Time column the wall clock.
//   IdleWait/quiet: nothing arrives while it waits (the best case: near zero CPU)
//   IdleWait/busy:  another thread posts an event every millisecond that the wait does not
//                   take, so it wakes a hundred times and goes back to sleep (the worst case)
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/application.h"
#include "platform/event_input.h"
#include "platform/events.h"
#include "support/bench_support.h"

namespace {

constexpr uint32_t IDLE_TICKS = 6;

void IdleWait(benchmark::State& state) {
  start_window_platform();
  const bool busy = state.range(0) != 0;
  state.SetLabel(busy ? "busy" : "quiet");
  std::atomic<bool> stop{false};
  std::thread sender;
  if (busy)
    sender = std::thread([&stop] {
      while (!stop) {
        platform_post_quit_event();  // reaches the queue on the main thread; masked out below
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
  const uint32_t keys_only = event_mask_of(EVENT_KEY_DOWN);
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    EventRecord e;
    const bool got = platform_get_event(keys_only, IDLE_TICKS, &e);
    const auto waited = std::chrono::steady_clock::now() - start;
    if (got || e.what != EVENT_NULL || waited < std::chrono::milliseconds(95)) {
      state.SkipWithError("the wait did not last its timeout and end with a null event");
      break;
    }
  }
  stop = true;
  if (sender.joinable()) sender.join();
  platform_flush_events(EVERY_EVENT);
}
BENCHMARK(IdleWait)->Arg(0)->Arg(1)->Iterations(20)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
