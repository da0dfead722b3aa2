// fuzz_read_prefs.cpp: the preferences file reader over arbitrary bytes. Whatever the file
// holds, loading ends with either an accepted record or the defaults, and never reads outside
// the file's bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "app/app_services.h"
#include "fuzz_support.h"
#include "model/model_services.h"

namespace {

std::string folder;
void remove_folder() {
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
}

std::string prepare() {
  folder = "/tmp/vesk-fuzz-prefs-" + std::to_string(getpid());
  ::mkdir(folder.c_str(), 0700);
  std::atexit(remove_folder);
  ::setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
  set_report_observer(ignore_report);
  open_prefs_file();  // makes the Vesk folder
  return prefs_file_path();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = prepare();
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);
  release_prefs_lock();
  reset_prefs();
  const int loaded = open_prefs_file();
  PrefsRecord read = prefs;
  set_default_prefs();
  const bool is_default = std::memcmp(read.bytes, prefs.bytes, PREFS_SIZE) == 0;
  // A record that was not accepted leaves nothing of itself behind.
  if (!loaded && !is_default) std::abort();
  return 0;
}
