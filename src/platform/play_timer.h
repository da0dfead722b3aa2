// play_timer.h: the periodic timer of playback: one thread that calls a routine every period
// (10 ms) on the monotonic clock while it is primed.
//
// The routine runs on the timer's thread, never on the main thread; it answers whether it
// wants to run again one period later. Priming and stopping may come from any thread.
//
// With virtual ticks (ticks.h) the thread waits for the virtual clock instead of the system
// clock: each period falls due as a test moves the clock past it, and the clock waits for
// that run to finish before it moves on. The thread and its sharing with the main thread are
// the same either way; only the clock differs.
#pragma once

#include <cstdint>

// The routine: true to be called again one period after this call was due.
using TimerRoutine = bool (*)();

// Makes the thread (idle) with its routine and period; again later changes nothing.
void platform_timer_install(TimerRoutine routine, int period_microseconds);
// Starts the calls, the first one period from now; false (and nothing changes) when the timer
// is already running or not installed. Primed while a call is under way, the timer goes on
// after it even when that call answers that it should stop.
bool platform_timer_prime();
// True from priming until the routine answers false or the timer is stopped.
bool platform_timer_running();
// Stops the calls; a call under way finishes first (not when called from the routine itself).
void platform_timer_stop();
// Stops the calls and ends the thread (at quit; a later install makes a new one).
void platform_timer_shutdown();

// Test double: with lockstep off the virtual clock moves on without waiting for the calls that
// fall due, which then run beside the thread that moves it, as on the system clock (for
// checking what the two threads share). On by default.
void platform_timer_set_lockstep(bool on);

// How late each call came after it fell due: the call count, the lateness of the last call and
// the greatest, in microseconds, and how many calls came in each 100 microseconds of lateness
// (the last bucket: 10 ms or more), for the benchmark of the timer.
inline constexpr int LATENESS_BUCKETS = 101;
struct TimerLateness {
  int64_t calls = 0;
  int64_t last = 0;
  int64_t worst = 0;
  int64_t buckets[LATENESS_BUCKETS] = {};
};
TimerLateness platform_timer_lateness();
// Starts counting afresh.
void platform_timer_clear_lateness();
