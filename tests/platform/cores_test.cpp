// cores_test.cpp: a thread started beside its starter runs its job, may use every core the
// process may once started (it would otherwise wait on a busy core while others idle), and
// hands over like std::thread.
#include "platform/cores.h"

#include <gtest/gtest.h>

#include <sched.h>

TEST(ThreadBeside, RunsItsJobFreeOfAnyOneCore) {
  cpu_set_t process;
  ASSERT_EQ(sched_getaffinity(0, sizeof process, &process), 0);
  cpu_set_t seen;
  CPU_ZERO(&seen);
  bool ran = false;
  ThreadBeside thread([&] {
    ran = true;
    sched_getaffinity(0, sizeof seen, &seen);
  });
  ThreadBeside moved = std::move(thread);
  EXPECT_FALSE(thread.joinable());
  ASSERT_TRUE(moved.joinable());
  moved.join();
  EXPECT_FALSE(moved.joinable());
  EXPECT_TRUE(ran);
  EXPECT_TRUE(CPU_EQUAL(&seen, &process)) << CPU_COUNT(&seen) << " of " << CPU_COUNT(&process);
}
