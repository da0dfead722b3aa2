// test_main.cpp: runs every test without a display or a sound card.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "app/app_services.h"
#include "platform/application.h"

namespace {

// The console window takes the process's standard output while a test of start-up runs, and
// the failures printed there would not be seen: every failed assertion is also written to
// standard error, which nothing takes.
class FailuresToStandardError : public ::testing::EmptyTestEventListener {
  void OnTestPartResult(const ::testing::TestPartResult& result) override {
    if (!result.failed()) return;
    std::fprintf(stderr, "%s:%d: Failure\n%s\n", result.file_name() ? result.file_name() : "?",
                 result.line_number(), result.message());
  }
};

}  // namespace

int main(int argc, char** argv) {
  // The window system is the offscreen one unless the caller chose another.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (!std::getenv("XDG_RUNTIME_DIR")) {
    std::string dir = "/tmp/vesk-tests-" + std::to_string(getuid());
    mkdir(dir.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  }
  // The preferences file of the tests lives in a folder of their own, never the user's.
  std::string config = "/tmp/vesk-tests-config-" + std::to_string(getpid());
  mkdir(config.c_str(), 0700);
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new FailuresToStandardError);
  // One application object serves every test; fonts are measured through it.
  platform_start(argc, argv);
  platform_wait_font_configuration();
  // The hooks of the subsystems, as start-up registers them; tests that replace one put it back.
  connect_subsystems();
  int status = RUN_ALL_TESTS();
  std::error_code ignored;
  std::filesystem::remove_all(config, ignored);
  platform_finish();
  return status;
}
