// error_report.h: the one route by which failures, inconsistencies and messages are reported,
// and the alerts that ask the user a question.
//
// Levels: 1 fatal; 2 a message to the user; 3 fatal (allocation, resource and string
// failures); 4 and any other value an internal inconsistency after which the caller goes on
// with a safe default. Levels 1 and 3 end the program.
#pragma once

#include <cstdint>

#include "model/model_globals.h"

inline constexpr int SHORT_ALERT_TEXT = 200;  // longer texts get the long alerts
inline constexpr int PARAM_TEXT_MAX = 255;    // characters of one alert parameter text

// Answers of yesnocan_alert: the character codes of V, W and X.
inline constexpr int ANSWER_YES = 86;
inline constexpr int ANSWER_NO = 87;
inline constexpr int ANSWER_CANCEL = 88;

// Alerts by number.
inline constexpr int ALERT_FATAL = 30163, ALERT_FATAL_LONG = 9134;
inline constexpr int ALERT_MESSAGE = 16841, ALERT_MESSAGE_LONG = 9130;
inline constexpr int ALERT_INTERNAL = 22740, ALERT_INTERNAL_LONG = 9133;
inline constexpr int ALERT_YES_NO_CANCEL = 20062;
inline constexpr int ALERT_YES_NO = 13717, ALERT_YES_NO_LONG = 9129;
inline constexpr int ALERT_YES_NO_RISKY = 21657, ALERT_YES_NO_RISKY_LONG = 9132;
inline constexpr int ALERT_REALLY = 20148, ALERT_REALLY_LONG = 9131;
inline constexpr int ALERT_REALLY_RISKY = 2301, ALERT_REALLY_RISKY_LONG = 9128;
inline constexpr int ALERT_ABOUT = 15462;

// Formats the report, shows it in the alert its level and length choose, and acts on the
// answer: item 1 of a shown alert (Quit) asks the program to quit through its quit path,
// which asks about every changed piece, once the command running now is over (a quit event);
// with Shift held it opens the debug dump chooser instead. Levels 1 and 3 end the program at
// once whatever the answer, writing changed pieces to recovery copies. A text
// that comes from data goes in as an argument ("%s"), never as the format.
void REPORT_ERROR(int16_t level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Returns p unchanged: the one place every reported message passes, for a debugger to
// stop at.
const char* debug_hook(const char* p);

// Sets the alert parameter texts from one text: ^0 its first 255 characters, ^1 the next
// 255 (anything beyond is not shown), ^2 and ^3 empty.
void param_text_long(const char* text);

// Questions. yesnocan_alert answers ANSWER_YES, ANSWER_NO or ANSWER_CANCEL (also when the
// alert cannot be shown); yesno_alert and really_alert answer 1 (yes, go ahead) or 0. A zero
// variant is for questions whose yes risks a loss: their alerts default to no.
int yesnocan_alert(const char* text);
int yesno_alert(const char* text, int variant);
int really_alert(const char* text, int variant);
void about_vesk_alert();

// Test double: while an observer is set, every report goes to it (after formatting)
// instead of an alert; fatal levels still end the program afterwards.
using ReportObserver = void (*)(int16_t level, const char* text);
void set_report_observer(ReportObserver observer);
