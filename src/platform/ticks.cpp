// ticks.cpp: a 60 Hz clock and a microsecond clock on the monotonic system clock, or a
// virtual one for tests.
//
// The virtual clock counts thirds of a microsecond, so that a tick (16,666.67 microseconds)
// is a whole number of units and whole ticks read back exactly as they were advanced. It is
// read from any thread (the play timer reads it); only the thread driving a test moves it.
#include "platform/ticks.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {
using Clock = std::chrono::steady_clock;
const Clock::time_point clock_start = Clock::now();
std::atomic<bool> virtual_ticks{false};
std::atomic<int64_t> virtual_units{0};
std::atomic<VirtualClockMover> clock_mover{nullptr};

void move_virtual_clock(int64_t to_units) {
  if (VirtualClockMover mover = clock_mover.load())
    mover(to_units);
  else
    virtual_units = to_units;
}
}  // namespace

uint32_t platform_ticks() {
  if (virtual_ticks) return static_cast<uint32_t>(virtual_units / UNITS_PER_TICK);
  return static_cast<uint32_t>(platform_microseconds() * 60 / 1000000);
}

int64_t platform_microseconds() {
  if (virtual_ticks) return virtual_units / UNITS_PER_MICROSECOND;
  return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - clock_start).count();
}

uint32_t platform_delay_ticks(uint32_t ticks) {
  if (virtual_ticks) {
    move_virtual_clock(virtual_units + int64_t(ticks) * UNITS_PER_TICK);
    return platform_ticks();
  }
  std::this_thread::sleep_for(std::chrono::microseconds(int64_t(ticks) * 1000000 / 60));
  return platform_ticks();
}

void platform_use_virtual_ticks(bool on) { virtual_ticks = on; }

bool platform_ticks_virtual() { return virtual_ticks; }

void platform_advance_ticks(uint32_t ticks) {
  move_virtual_clock(virtual_units + int64_t(ticks) * UNITS_PER_TICK);
}

void platform_advance_microseconds(int64_t microseconds) {
  if (microseconds > 0) move_virtual_clock(virtual_units + microseconds * UNITS_PER_MICROSECOND);
}

int64_t virtual_clock_units() { return virtual_units; }

void set_virtual_clock_units(int64_t units) { virtual_units = units; }

void set_virtual_clock_mover(VirtualClockMover mover) { clock_mover = mover; }
