// error_report.cpp: REPORT_ERROR and its hook.
//
// Reports are written to standard error, one line each, with their level. Fatal levels
// end the program through quit_program(0) after the report.
#include "model/error_report.h"

#include <cstdarg>
#include <cstdio>

#include "app/quit.h"

char message_buffer[REPORT_TEXT_SIZE];

namespace {
ReportObserver report_observer = nullptr;

void show_report(int16_t level, const char* text) {
  if (report_observer) {
    report_observer(level, text);
    return;
  }
  const char* kind = (level == 1 || level == 3) ? "fatal"
                     : level == 2               ? "message"
                                                : "internal error";
  std::fprintf(stderr, "Vesk %s (level %d): %s\n", kind, int(level), text);
  std::fflush(stderr);
}
}  // namespace

const char* debug_hook(const char* p) { return p; }

void set_report_observer(ReportObserver observer) { report_observer = observer; }

void REPORT_ERROR(int16_t level, const char* format, ...) {
  char text[REPORT_TEXT_SIZE];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  if (n < 1) {
    std::snprintf(text, sizeof text, debug_hook("REPORT_ERROR %hd: %s"), static_cast<short>(n),
                  format);
  }
  show_report(level, debug_hook(text));
  if (level == 1 || level == 3) quit_program(0);
}
