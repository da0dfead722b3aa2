// cores.cpp: the processor cores the program may run on, and threads started away from their
// starter's core.
#include "platform/cores.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <sched.h>
#include <system_error>
#include <thread>
#include <utility>

unsigned platform_usable_cores() {
  cpu_set_t cores;
  const int usable = sched_getaffinity(0, sizeof cores, &cores) == 0
                         ? CPU_COUNT(&cores)
                         : int(std::thread::hardware_concurrency());
  return unsigned(std::max(usable, 1));
}

namespace {

struct Start {
  std::function<void()> job;
  cpu_set_t cores;      // the cores the thread may use once started
  bool placed = false;  // it was started away from its starter's core
};

// Once started away from its starter, the thread may use every core again: were the others busy
// with other programs, it would otherwise wait for one while its starter's core is idle.
void* run_job(void* start) {
  std::unique_ptr<Start> owned(static_cast<Start*>(start));
  if (owned->placed) pthread_setaffinity_np(pthread_self(), sizeof owned->cores, &owned->cores);
  owned->job();
  return nullptr;
}

}  // namespace

ThreadBeside::ThreadBeside(std::function<void()> job) {
  auto start = std::make_unique<Start>();
  start->job = std::move(job);
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  const int here = sched_getcpu();
  if (here >= 0 && sched_getaffinity(0, sizeof start->cores, &start->cores) == 0 &&
      CPU_COUNT(&start->cores) > 1 && CPU_ISSET(here, &start->cores)) {
    cpu_set_t elsewhere = start->cores;
    CPU_CLR(here, &elsewhere);
    start->placed = pthread_attr_setaffinity_np(&attributes, sizeof elsewhere, &elsewhere) == 0;
  }
  const int failed = pthread_create(&thread_, &attributes, run_job, start.get());
  pthread_attr_destroy(&attributes);
  if (failed)
    throw std::system_error(failed, std::generic_category(), "a thread cannot be started");
  start.release();  // the thread owns it
  started_ = true;
}

ThreadBeside::ThreadBeside(ThreadBeside&& other) noexcept
    : thread_(other.thread_), started_(std::exchange(other.started_, false)) {}

ThreadBeside& ThreadBeside::operator=(ThreadBeside&& other) noexcept {
  if (this != &other) {
    if (started_) std::terminate();  // as std::thread: a running thread is not dropped
    thread_ = other.thread_;
    started_ = std::exchange(other.started_, false);
  }
  return *this;
}

ThreadBeside::~ThreadBeside() {
  if (started_) std::terminate();
}

void ThreadBeside::join() {
  if (!started_) return;
  pthread_join(thread_, nullptr);
  started_ = false;
}
