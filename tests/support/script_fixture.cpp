// script_fixture.cpp: scripted dialogs and a caught exit for every case.
#include "support/script_fixture.h"

#include "app/app_services.h"
#include "layout/layout_services.h"
#include "platform/application.h"
#include "support/model_fixture.h"

namespace {
[[noreturn]] void throw_exit(int status) { throw ProgramExit{status}; }
}  // namespace

void ScriptedTest::SetUp() {
  reset_all_globals();
  platform_set_exit_hook(throw_exit);
  script_begin();
}

void ScriptedTest::TearDown() {
  for (const std::string& fault : script_take_faults()) ADD_FAILURE() << "script fault: " << fault;
  EXPECT_EQ(script_pending(), 0) << "answers left unused";
  script_end();
  platform_set_exit_hook(nullptr);
  reset_all_globals();
}
