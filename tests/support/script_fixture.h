// script_fixture.h: a fixture for code that shows alerts and dialogs: everything runs in
// the platform's scripted mode, the program's exit is caught, and every case must use up its
// answers without faults.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/script.h"

// Thrown by the exit hook instead of ending the process.
struct ProgramExit {
  int status;
};

class ScriptedTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The alerts and dialogs shown since the last call.
  std::vector<ShownText> shown() { return script_take_shown(); }
};
