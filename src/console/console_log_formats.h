// console_log_formats.h: the console log's file formats and text encodings: UTF-8, UTF-16
// and Mac OS Roman conversions, the RTF writer, and the reader that loads a log file of any of
// the four formats.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/console_services.h"
#include "platform/console_window.h"

struct ConsoleLogFormat {
  const char* name;       // the entry of the save dialog's format pop-up
  const char* extension;  // with its point
};
extern const ConsoleLogFormat CONSOLE_LOG_FORMATS[LOG_FORMAT_COUNT];

// ---- Encodings ----------------------------------------------------------------------------------

// Malformed sequences become U+FFFD.
std::u16string console_utf8_to_utf16(std::string_view utf8);

bool console_utf8_valid(std::string_view bytes);

std::u16string console_macroman_to_utf16(std::string_view macroman);

// Unpaired surrogates become U+FFFD.
std::string console_utf16_to_utf8(std::u16string_view text);

// ---- Writing and reading log files --------------------------------------------------------------

// An RTF document of the runs.
std::string console_write_rtf(const std::vector<ConsoleStyledRun>& runs, const std::string& font,
                              int size);
