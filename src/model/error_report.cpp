// error_report.cpp: REPORT_ERROR, the question alerts and the alert parameter texts.
//
// Every alert saves the cursor, shows the arrow (or, while a page is being formatted, the
// formatting cursor for reports) and restores it afterwards. The alerts whose first item
// ends the program keep that item, but their default button continues.
#include "model/error_report.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <unordered_set>

#include "model/debug_dump.h"
#include "platform/dialogs.h"
#include "platform/events.h"
#include "platform/port.h"

namespace {

ReportObserver report_observer = nullptr;

int once_depth = 0;                             // report_each_once spans open
std::unordered_set<std::string> reported_once;  // what they reported

int report_alert_for(int16_t level, bool long_text) {
  switch (level) {
    case 1:
    case 3:
      return long_text ? ALERT_FATAL_LONG : ALERT_FATAL;
    case 2:
      return long_text ? ALERT_MESSAGE_LONG : ALERT_MESSAGE;
    default:
      return long_text ? ALERT_INTERNAL_LONG : ALERT_INTERNAL;
  }
}

// Shows an alert with the arrow cursor and the text as its parameters; the item hit or -1.
int ask(int alert, const char* text) {
  model_hooks.save_cursor();
  model_hooks.set_cursor(CURSOR_ID_ARROW);
  param_text_long(text);
  int item = platform_alert(alert);
  model_hooks.restore_cursor();
  return item;
}

bool is_long(const char* text) { return std::strlen(text) > SHORT_ALERT_TEXT; }

// A two-answer question: 1 for item 1, 0 for item 2; a failure is reported and answers 0.
int ask_two_ways(int alert, const char* text, const char* not_drawn, const char* unknown) {
  int item = ask(alert, text);
  if (item == 1) return 1;
  if (item == 2) return 0;
  REPORT_ERROR(4, "%s", item == -1 ? not_drawn : unknown);
  return 0;
}

}  // namespace

const char* debug_hook(const char* p) { return p; }

void set_report_observer(ReportObserver observer) { report_observer = observer; }

void param_text_long(const char* text) {
  size_t length = std::strlen(text);
  std::string p0(text, length < PARAM_TEXT_MAX ? length : PARAM_TEXT_MAX);
  std::string p1;
  if (length > PARAM_TEXT_MAX) {
    size_t rest = length - PARAM_TEXT_MAX;
    p1.assign(text + PARAM_TEXT_MAX, rest < PARAM_TEXT_MAX ? rest : PARAM_TEXT_MAX);
  }
  platform_set_param_texts(p0, p1, "", "");
}

void report_each_once(bool on) {
  once_depth = std::max(once_depth + (on ? 1 : -1), 0);
  if (once_depth == 0) reported_once.clear();
}

void REPORT_ERROR(int16_t level, const char* format, ...) {
  char text[REPORT_TEXT_SIZE];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(text, sizeof text, debug_hook(format), args);
  va_end(args);
  if (n < 1)
    std::snprintf(text, sizeof text, debug_hook("REPORT_ERROR %hd: %s"), static_cast<short>(n),
                  format);
  if (once_depth > 0 && level != 1 && level != 3 && !reported_once.insert(text).second) return;

  if (report_observer) {
    report_observer(level, text);
  } else {
    Port* port = platform_current_port();
    model_hooks.save_cursor();
    model_hooks.set_cursor(reformat_pending ? CURSOR_ID_FORMATTING : CURSOR_ID_ARROW);
    param_text_long(text);
    int item = platform_alert(report_alert_for(level, is_long(text)));
    model_hooks.restore_cursor();
    // A report that cannot be shown is written where it can still be read.
    if (item == -1) std::fprintf(stderr, "Vesk: %s\n", text);
    if (item != -1) {
      if (model_hooks.debug_modifier_down()) {
        debug_dump_menu(text);
      } else if (item == 1 && level != 1 && level != 3) {
        // The user's Quit: the main loop takes the quit path, asking about changed pieces;
        // questions until then are cancelled.
        EventRecord quit;
        quit.what = EVENT_QUIT;
        platform_post_event(quit);
      }
    }
    platform_set_port(port);
  }
  if (level == 1 || level == 3) model_hooks.quit_program(0);
}

int yesnocan_alert(const char* text) {
  int item = ask(ALERT_YES_NO_CANCEL, text);
  switch (item) {
    case 1:
      return ANSWER_YES;
    case 2:
      return ANSWER_CANCEL;
    case 3:
      return ANSWER_NO;
    case -1:
      REPORT_ERROR(4, "yesnocan_alert not drawn");
      return ANSWER_CANCEL;
    default:
      REPORT_ERROR(4, "Unknown alert_result in yesnocan_alert");
      return ANSWER_CANCEL;
  }
}

int yesno_alert(const char* text, int variant) {
  int alert = variant ? (is_long(text) ? ALERT_YES_NO_LONG : ALERT_YES_NO)
                      : (is_long(text) ? ALERT_YES_NO_RISKY_LONG : ALERT_YES_NO_RISKY);
  return ask_two_ways(alert, text, "yesno_alert not drawn", "Unknown alert_result in yesno_alert");
}

int really_alert(const char* text, int variant) {
  int alert = variant ? (is_long(text) ? ALERT_REALLY_LONG : ALERT_REALLY)
                      : (is_long(text) ? ALERT_REALLY_RISKY_LONG : ALERT_REALLY_RISKY);
  return ask_two_ways(alert, text, "really_alert not drawn",
                      "Unknown alert_result in really_alert.");
}

void about_vesk_alert() {
  std::string version = std::string(model_hooks.version_string()) + model_hooks.version_suffix();
  if (version.size() > PARAM_TEXT_MAX) version.resize(PARAM_TEXT_MAX);
  platform_set_param_texts(version, "", "", "");
  model_hooks.save_cursor();
  model_hooks.set_cursor(CURSOR_ID_ARROW);
  int item = platform_alert(ALERT_ABOUT);
  model_hooks.restore_cursor();
  if (item == -1)
    REPORT_ERROR(4, "about_vesk_alert not drawn");
  else if (item != 1)
    REPORT_ERROR(4, "Unknown alert_result in about_vesk_alert");
}
