// error_report.h: the one route by which failures, inconsistencies and messages are reported.
//
// Levels: 1 fatal; 2 a message to the user; 3 fatal (allocation, resource and string
// failures); 4 and any other value an internal inconsistency after which the caller goes on
// with a safe default. Levels 1 and 3 end the program.
#pragma once

#include <cstdint>

inline constexpr int REPORT_TEXT_SIZE = 512;  // a report is at most 511 characters

// Shared buffer in which callers format a text before handing it on.
extern char message_buffer[REPORT_TEXT_SIZE];

// Formats the report and delivers it by its level. The format is always a literal or a
// routine's own text; data (a file name, a part name) goes in as an argument.
void REPORT_ERROR(int16_t level, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Returns p unchanged: the one place every reported message passes, for a debugger to
// stop at.
const char* debug_hook(const char* p);

// Test double: while an observer is set, every report goes to it (after formatting)
// instead of being shown, and fatal levels still end the program afterwards.
using ReportObserver = void (*)(int16_t level, const char* text);
void set_report_observer(ReportObserver observer);
