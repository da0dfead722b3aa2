// console_log_formats.h: the console log's file formats and text encodings: UTF-8, UTF-16
// and Mac OS Roman conversions, the RTF writer, and the reader that loads a log file of any of
// the four formats.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console_window.h"

enum ConsoleLogFormatIndex : int8_t {
  LOG_FORMAT_RTF = 0,     // RTF with Unicode text
  LOG_FORMAT_UTF16 = 1,   // plain UTF-16 with a byte-order mark
  LOG_FORMAT_UTF8 = 2,    // plain UTF-8 with a byte-order mark
  LOG_FORMAT_SYSTEM = 3,  // plain Mac OS Roman
  LOG_FORMAT_COUNT = 4,
};

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
// Text in the system encoding: UTF-8 when the bytes are valid UTF-8, else Mac OS Roman.
std::u16string console_system_to_utf16(std::string_view bytes);

// ---- Writing and reading log files --------------------------------------------------------------
// The bytes of a log file of the given format. `font` and `size` describe the view's font
// for RTF.
std::string console_encode_log(const std::vector<ConsoleStyledRun>& runs, int format,
                               const std::string& font, int size);
// An RTF document of the runs.
std::string console_write_rtf(const std::vector<ConsoleStyledRun>& runs, const std::string& font,
                              int size);
// The text and styles of an RTF document; what is not understood is skipped.
std::vector<ConsoleStyledRun> console_read_rtf(std::string_view rtf);
// The text of a log file in any of the four formats, recognised by its first bytes (RTF,
// a UTF-16 or UTF-8 byte-order mark; else UTF-8 when valid, else Mac OS Roman). Line ends
// become "\n".
std::vector<ConsoleStyledRun> console_decode_log(std::string_view bytes);
