// fuzz_support.cpp: the shared start of fuzz_support.h.
#include "fuzz_support.h"

#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "app/app_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/application.h"

// The window system's font library keeps caches for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

void ignore_report(int16_t, const char*) {}

int32_t live_nodes() { return total_Drosa_count - freeCount; }

void start_fuzzed_program(int* argc, char*** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (!std::getenv("XDG_RUNTIME_DIR")) {
    std::string dir = "/tmp/vesk-fuzz-" + std::to_string(getuid());
    mkdir(dir.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  }
  platform_start(*argc, *argv);
  set_report_observer(ignore_report);
  connect_subsystems();
  VeskMemory_Init();
  param_init();
}
