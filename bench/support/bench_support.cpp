// bench_support.cpp: the shared set-up of bench_support.h.
#include "support/bench_support.h"

#include <cstdio>
#include <cstdlib>

#include "platform/application.h"
#include "platform/fonts.h"

void stop_on_report(int16_t level, const char* text) {
  std::fprintf(stderr, "unexpected report (level %d): %s\n", level, text);
  std::abort();
}

void start_offscreen_platform() {
  static bool started = false;
  if (started) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static char name[] = "vesk_bench";
  static char* argv[] = {name, nullptr};
  platform_start(1, argv);
  platform_init_fonts();
  started = true;
}
