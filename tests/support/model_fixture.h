// model_fixture.h: a test fixture that starts every case from a fresh node store and checks
// that nothing is reported that the case did not expect.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/model_services.h"

struct Report {
  int level;
  std::string text;
};

// Every report since the last take, oldest first.
const std::vector<Report>& reports();

// Returns the reports so far and forgets them (a case takes what it expects).
std::vector<Report> take_reports();

// From now on every report is captured (reports(), take_reports()) instead of shown.
void capture_reports();

// Resets every subsystem's globals and the test doubles of the platform layer.
void reset_all_globals();

class ModelTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// A model case whose alerts and dialogs run in the platform's scripted mode: every case must
// use up its answers without faults.
class ScriptedModelTest : public ModelTest {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// The same, on a new piece with no voice yet: the parameter table built, the default piece's
// header read.
class ScriptedNewPieceTest : public ScriptedModelTest {
 protected:
  void SetUp() override;
};

// The number of nodes on the free list, counted by walking it (both ways must agree).
int free_list_length();
