// fuzz_musicxml_import.cpp: the MusicXML import's two passes over arbitrary bytes. After an
// import the voice lists must be sound; once they are freed (or after a refused document)
// the node store must hold as many live nodes as before.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "ImportExport/musicxml_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/application.h"

namespace {

void ignore_report(int16_t, const char*) {}

int32_t live_nodes() { return total_Drosa_count - freeCount; }

}  // namespace

// The window system's font library keeps caches for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (!std::getenv("XDG_RUNTIME_DIR")) {
    std::string dir = "/tmp/vesk-fuzz-" + std::to_string(getuid());
    mkdir(dir.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  }
  platform_start(*argc, *argv);
  set_report_observer(ignore_report);
  VeskMemory_Init();
  param_init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int32_t live_before = live_nodes();
  if (import_musicxml_memory(data, size, 0)) {
    std::string problems;
    if (check_voice_lists(&problems) != 0) {
      std::fprintf(stderr, "unsound voice lists after the import:\n%s", problems.c_str());
      std::abort();
    }
  }
  discard_piece_lists();
  clear_undo(1);
  if (live_nodes() != live_before) {
    std::fprintf(stderr, "the import left %ld nodes in the store\n",
                 long(live_nodes() - live_before));
    std::abort();
  }
  return 0;
}
