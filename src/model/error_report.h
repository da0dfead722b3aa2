// error_report.h: the one route by which failures, inconsistencies and messages are reported,
// and the alerts that ask the user a question.
//
// Levels: 1 fatal; 2 a message to the user; 3 fatal (allocation, resource and string
// failures); 4 and any other value an internal inconsistency after which the caller goes on
// with a safe default. Levels 1 and 3 end the program.
#pragma once

#include <cstdint>

#include "model/model_globals.h"
#include "model/model_services.h"

inline constexpr int SHORT_ALERT_TEXT = 200;  // longer texts get the long alerts
inline constexpr int PARAM_TEXT_MAX = 255;    // characters of one alert parameter text

// Alerts by number.
inline constexpr int ALERT_FATAL = 30163, ALERT_FATAL_LONG = 9134;
inline constexpr int ALERT_MESSAGE = 16841, ALERT_MESSAGE_LONG = 9130;
inline constexpr int ALERT_INTERNAL = 22740, ALERT_INTERNAL_LONG = 9133;
inline constexpr int ALERT_YES_NO = 13717, ALERT_YES_NO_LONG = 9129;
inline constexpr int ALERT_YES_NO_RISKY = 21657, ALERT_YES_NO_RISKY_LONG = 9132;
inline constexpr int ALERT_REALLY = 20148, ALERT_REALLY_LONG = 9131;
inline constexpr int ALERT_REALLY_RISKY = 2301, ALERT_REALLY_RISKY_LONG = 9128;
inline constexpr int ALERT_ABOUT = 15462;

// Sets the alert parameter texts from one text: ^0 its first 255 characters, ^1 the next
// 255 (anything beyond is not shown), ^2 and ^3 empty.
void param_text_long(const char* text);
