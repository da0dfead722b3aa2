// console_record.h: the console record, the messages that carry text and calls to the main
// thread, the attribute words of console text, and the console's constants.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <pthread.h>
#include <string>
#include <vector>

#include "console/console_services.h"
#include "platform/console_window.h"

// ---- Results ----------------------------------------------------------------------------------

inline constexpr int CONSOLE_NOT_ALIVE = -9861;    // the console is not running
inline constexpr int CONSOLE_BAD_LENGTH = -50;     // a negative or too long length, a bad range
inline constexpr int CONSOLE_CANCELLED = -128;     // the user cancelled a dialog
inline constexpr int CONSOLE_OPEN_FAILED = -23;    // a log file could not be opened
inline constexpr int CONSOLE_RENAME_FAILED = -36;  // the finished log could not be put in place
inline constexpr int CONSOLE_RANGE_PAST_END = -22011;
inline constexpr int CONSOLE_CANNOT_UNDO = -22020;

// ---- Creation flags ---------------------------------------------------------------------------

// Bits of the second flag byte.
inline constexpr uint8_t CONSOLE_HAS_NO_INPUT = 0x40;
inline constexpr uint8_t CONSOLE_RECORD_ALLOCATED = 0x80;

// ---- Attribute words --------------------------------------------------------------------------

inline constexpr uint32_t ATTR_SYSTEM_TEXT = 0x08000000;

inline constexpr uint32_t ATTR_PLAIN_7BIT = 0x10000000;

inline constexpr uint32_t ATTR_BOLD = 0x00010000;

inline constexpr uint32_t ATTR_ITALIC = 0x00020000;

inline constexpr uint32_t ATTR_UNDERLINE = 0x00040000;

inline constexpr uint32_t ATTR_FAINT = 0x00600000;  // condense and extend

// ---- Messages ---------------------------------------------------------------------------------

enum ConsoleMessageKind : uint8_t {
  CONSOLE_TEXT_MESSAGE = 2,
  CONSOLE_CALL_MESSAGE = 8,
  CONSOLE_NUMBER_REQUEST = 9,  // a call whose result is written into the input pipe
};
// Event kinds that the messages travel as.
inline constexpr uint32_t CONSOLE_EVENT_TEXT = 0x45546174;  // 'ETat', message kinds 1 to 3
inline constexpr uint32_t CONSOLE_EVENT_CALL = 0x45546466;  // 'ETdf', kinds 8 and 9
inline constexpr uint32_t CONSOLE_EVENT_NONE = 0x45543030;  // 'ET00', anything else

using ConsoleFunction = int (*)(void* argument);

// Allocated by the sender, owned by the main thread once posted, freed after it has run.
// A text message's bytes follow the header in the same block.
struct console_message {
  uint8_t kind = 0;
  uint32_t word1 = 0;  // text: attribute word 1 (ATTR_CURRENT for the current attributes)
  uint32_t word2 = 0;  // text: attribute word 2; call: the input-enabled value to restore
  uint16_t length = 0;
  ConsoleFunction function = nullptr;
  void* argument = nullptr;
  char* text() { return reinterpret_cast<char*>(this + 1); }
};

// ---- The record ---------------------------------------------------------------------------------

inline constexpr uint16_t CONSOLE_DEFAULT_CHUNK = 255;

inline constexpr uint16_t CONSOLE_LARGEST_CHUNK = 16383;
