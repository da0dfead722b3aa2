// test_main.cpp: runs every test without a display or a sound card.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>

#include "platform/application.h"

int main(int argc, char** argv) {
  // The window system is the offscreen one unless the caller chose another.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (!std::getenv("XDG_RUNTIME_DIR")) {
    std::string dir = "/tmp/vesk-tests-" + std::to_string(getuid());
    mkdir(dir.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  }
  ::testing::InitGoogleTest(&argc, argv);
  // One application object serves every test; fonts are measured through it.
  platform_start(argc, argv);
  int status = RUN_ALL_TESTS();
  platform_finish();
  return status;
}
