// ticks.h: the program's clock in ticks of 1/60 second and in microseconds, and waiting by
// ticks.
#pragma once

#include <cstdint>

// Ticks since the clock started (60 per second).
uint32_t platform_ticks();

// Microseconds since the clock started, on the same monotonic clock as the ticks. Any thread.
int64_t platform_microseconds();

// Waits the given number of ticks; returns the tick count afterwards.
uint32_t platform_delay_ticks(uint32_t ticks);

// Test double: with virtual ticks on, the clock stands still except that waiting advances
// it at once by the ticks waited for; platform_advance_ticks and platform_advance_microseconds
// move it by hand. While it moves, the periodic timer (play_timer.h) runs every period that
// falls due, each run finished before the clock goes on.
void platform_use_virtual_ticks(bool on);
bool platform_ticks_virtual();
void platform_advance_ticks(uint32_t ticks);
void platform_advance_microseconds(int64_t microseconds);

// Inside the platform layer: the virtual clock's time (in units of 1/3 microsecond, so that
// ticks and microseconds are both whole), and the routine that moves it to a later time.
// The periodic timer hooks itself in here to run at the times that fall due on the way.
int64_t virtual_clock_units();
void set_virtual_clock_units(int64_t units);
using VirtualClockMover = void (*)(int64_t to_units);
void set_virtual_clock_mover(VirtualClockMover mover);
inline constexpr int64_t UNITS_PER_MICROSECOND = 3;
inline constexpr int64_t UNITS_PER_TICK = 50000;
