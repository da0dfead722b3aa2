// ticks.cpp: a 60 Hz clock on the monotonic system clock, or a virtual one for tests.
#include "platform/ticks.h"

#include <chrono>
#include <thread>

namespace {
using Clock = std::chrono::steady_clock;
const Clock::time_point clock_start = Clock::now();
bool virtual_ticks = false;
uint32_t virtual_now = 0;
}  // namespace

uint32_t platform_ticks() {
  if (virtual_ticks) return virtual_now;
  auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - clock_start);
  return static_cast<uint32_t>(elapsed.count() * 60 / 1000000);
}

uint32_t platform_delay_ticks(uint32_t ticks) {
  if (virtual_ticks) {
    virtual_now += ticks;
    return virtual_now;
  }
  std::this_thread::sleep_for(std::chrono::microseconds(int64_t(ticks) * 1000000 / 60));
  return platform_ticks();
}

void platform_use_virtual_ticks(bool on) { virtual_ticks = on; }

bool platform_ticks_virtual() { return virtual_ticks; }

void platform_advance_ticks(uint32_t ticks) { virtual_now += ticks; }
