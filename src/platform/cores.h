// cores.h: how many processor cores the program may run on, for work shared between threads, and
// the threads that share it.
#pragma once

#include <functional>
#include <pthread.h>

// The cores in the process's affinity mask (what `taskset` leaves it), else the machine's;
// at least 1. Any thread.
unsigned platform_usable_cores();

// A thread started on another core than the one that starts it, where the process may use more
// than one: started beside its starter, a new thread takes the starter's core at once and keeps
// it until the system moves one of them, and the starter (the main thread, whose work the
// others help) waits meanwhile. Once started it may use every core. Like std::thread, it is moved,
// joined by join(), and ends the program when destroyed unjoined.
class ThreadBeside {
 public:
  ThreadBeside() = default;
  explicit ThreadBeside(std::function<void()> job);
  ThreadBeside(ThreadBeside&& other) noexcept;
  ThreadBeside& operator=(ThreadBeside&& other) noexcept;
  ThreadBeside(const ThreadBeside&) = delete;
  ThreadBeside& operator=(const ThreadBeside&) = delete;
  ~ThreadBeside();
  bool joinable() const { return started_; }
  void join();

 private:
  pthread_t thread_{};
  bool started_ = false;
};
