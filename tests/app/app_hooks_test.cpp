// app_hooks_test.cpp: the hooks through which the model, the parameters and the layout engine
// call the subsystems built on them.
//   Hooks.*: start-up registers every hook; one left unregistered reports and does nothing
#include <gtest/gtest.h>

#include <string>

#include "app/app_services.h"
#include "support/model_fixture.h"

namespace {

using Hooks = ModelTest;

TEST_F(Hooks, ConnectingTheSubsystemsRegistersEveryHook) {
  connect_subsystems();
  std::string missing;
  for (const char* name : unregistered_hooks()) missing += std::string(name) + " ";
  EXPECT_EQ(missing, "");
}

int calls = 0;
int count_call(int n) { return calls += n; }

TEST_F(Hooks, AnUnregisteredHookReportsAndGivesZero) {
  Hook<int, int> hook{"count_call"};
  EXPECT_EQ(unregistered_hooks().back(), std::string("count_call"));
  EXPECT_EQ(hook(5), 0);
  const auto said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].level, 4);
  EXPECT_EQ(said[0].text, "count_call was called before its subsystem registered it");
  hook.routine = count_call;
  EXPECT_EQ(hook(5), 5);
  EXPECT_TRUE(reports().empty());
}

}  // namespace
