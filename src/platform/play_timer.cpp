// play_timer.cpp: the playback timer thread.
//
// The thread keeps a grid of due times one period apart from the moment it was primed, so a
// late call does not push the later ones back. A call that comes more than a period late
// (the machine was busy) starts a new grid from now rather than calling in a burst.
//
// On the virtual clock the thread sleeps until the clock reaches the due time; the clock's
// mover (installed here) moves the clock one due time at a time and waits for each call to
// end, so a test that advances the clock by 30 ms sees exactly three calls finished.
#include "platform/play_timer.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <pthread.h>
#include <sched.h>
#include <thread>

#include "platform/ticks.h"

namespace {

using Clock = std::chrono::steady_clock;

struct TimerState {
  std::mutex lock;
  std::condition_variable wake;     // the thread: primed, stopped, the virtual clock moved
  std::condition_variable settled;  // the clock's mover and stop: a call ended
  std::thread thread;
  TimerRoutine routine = nullptr;
  int64_t period = 10000;  // microseconds
  bool installed = false;
  bool running = false;
  bool quitting = false;
  bool calling = false;         // the routine is running now
  bool reprimed = false;        // primed again while a call ran: go on even if it says stop
  int64_t due = 0;              // microseconds of the next call
  uint64_t generation = 0;      // counts primings, so a stop-and-prime is seen as new
  std::thread::id thread_id{};  // the timer thread's
  TimerLateness lateness;
};

TimerState timer;
// The virtual clock waits for each call that falls due (the test double's default).
std::atomic<bool> timer_lockstep{true};

int64_t now_microseconds() { return platform_microseconds(); }

// Waits (the lock held) until the next call is due or the timer state changes; true when due.
bool wait_until_due(std::unique_lock<std::mutex>& held, uint64_t generation) {
  auto changed = [&] { return timer.quitting || !timer.running || timer.generation != generation; };
  if (platform_ticks_virtual()) {
    // Out of lockstep the clock moves without telling: look at it now and then.
    while (!changed() && now_microseconds() < timer.due)
      timer.wake.wait_for(held, std::chrono::microseconds(200));
  } else {
    const auto at = Clock::now() + std::chrono::microseconds(timer.due - now_microseconds());
    timer.wake.wait_until(held, at, changed);
  }
  return !changed() && now_microseconds() >= timer.due;
}

// Asks for a real-time priority, low among real-time threads, so that other programs' work does
// not make the calls late; a system that refuses it leaves the thread as it is.
void ask_for_real_time() {
  sched_param priority{};
  priority.sched_priority = 10;
  pthread_setschedparam(pthread_self(), SCHED_FIFO, &priority);
}

void timer_thread() {
  ask_for_real_time();
  std::unique_lock<std::mutex> held(timer.lock);
  timer.thread_id = std::this_thread::get_id();
  for (;;) {
    timer.wake.wait(held, [] { return timer.quitting || timer.running; });
    if (timer.quitting) return;
    const uint64_t generation = timer.generation;
    if (!wait_until_due(held, generation)) continue;
    const int64_t due = timer.due;
    const int64_t late = now_microseconds() - due;
    ++timer.lateness.calls;
    timer.lateness.last = late;
    timer.lateness.worst = std::max(timer.lateness.worst, late);
    ++timer.lateness.buckets[std::clamp<int64_t>(late / 100, 0, LATENESS_BUCKETS - 1)];
    timer.calling = true;
    TimerRoutine routine = timer.routine;
    held.unlock();
    const bool again = routine();
    held.lock();
    timer.calling = false;
    if (timer.generation == generation && timer.running) {
      if (!again && timer.reprimed) {
        timer.due = now_microseconds() + timer.period;
      } else if (!again) {
        timer.running = false;
      } else {
        timer.due = due + timer.period;
        if (!platform_ticks_virtual() && now_microseconds() - timer.due > timer.period)
          timer.due = now_microseconds() + timer.period;
      }
    }
    timer.reprimed = false;
    timer.settled.notify_all();
  }
}

// The virtual clock's mover: stops at each due time on the way and lets that call finish.
void move_clock(int64_t to_units) {
  if (!timer_lockstep) {
    set_virtual_clock_units(std::max(virtual_clock_units(), to_units));
    return;
  }
  std::unique_lock<std::mutex> held(timer.lock);
  for (;;) {
    const int64_t due_units = timer.due * UNITS_PER_MICROSECOND;
    if (!timer.running || timer.quitting || due_units > to_units) break;
    const uint64_t generation = timer.generation;
    const int64_t due = timer.due;
    set_virtual_clock_units(std::max(virtual_clock_units(), due_units));
    timer.wake.notify_all();
    timer.settled.wait(held, [&] {
      return !timer.running || timer.quitting || timer.generation != generation ||
             (timer.due != due && !timer.calling);
    });
  }
  set_virtual_clock_units(std::max(virtual_clock_units(), to_units));
  timer.wake.notify_all();
}

}  // namespace

void platform_timer_install(TimerRoutine routine, int period_microseconds) {
  std::lock_guard<std::mutex> held(timer.lock);
  timer.routine = routine;
  timer.period = std::max(period_microseconds, 1000);
  if (timer.installed) return;
  static const bool registered = [] { return std::atexit(platform_timer_shutdown) == 0; }();
  (void)registered;
  timer.installed = true;
  timer.quitting = false;
  timer.thread = std::thread(timer_thread);
  set_virtual_clock_mover(move_clock);
}

bool platform_timer_prime() {
  std::lock_guard<std::mutex> held(timer.lock);
  if (!timer.installed) return false;
  if (timer.running) {
    // A call under way may be the last (it is stopping the timer): it goes on after it.
    if (timer.calling) timer.reprimed = true;
    return false;
  }
  timer.running = true;
  ++timer.generation;
  timer.due = now_microseconds() + timer.period;
  timer.wake.notify_all();
  return true;
}

bool platform_timer_running() {
  std::lock_guard<std::mutex> held(timer.lock);
  return timer.running;
}

void platform_timer_stop() {
  std::unique_lock<std::mutex> held(timer.lock);
  timer.running = false;
  ++timer.generation;
  timer.wake.notify_all();
  if (std::this_thread::get_id() != timer.thread_id)
    timer.settled.wait(held, [] { return !timer.calling; });
}

void platform_timer_shutdown() {
  {
    std::unique_lock<std::mutex> held(timer.lock);
    if (!timer.installed) return;
    timer.running = false;
    timer.quitting = true;
    timer.wake.notify_all();
  }
  timer.thread.join();
  std::lock_guard<std::mutex> held(timer.lock);
  timer.installed = false;
  timer.quitting = false;
  timer.lateness = {};
  set_virtual_clock_mover(nullptr);
}

void platform_timer_set_lockstep(bool on) { timer_lockstep = on; }

void platform_timer_clear_lateness() {
  std::lock_guard<std::mutex> held(timer.lock);
  timer.lateness = {};
}

TimerLateness platform_timer_lateness() {
  std::lock_guard<std::mutex> held(timer.lock);
  return timer.lateness;
}
