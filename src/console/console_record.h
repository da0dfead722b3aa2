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
enum ConsoleFlags : uint32_t {
  CONSOLE_CLOSE_BEEPS = 0x00000001,      // the close box beeps instead of hiding
  CONSOLE_CLOSE_QUITS = 0x00000002,      // closing offers to save the log, then quits
  CONSOLE_ALWAYS_TRACK = 0x00000004,     // a changed log is always offered for saving
  CONSOLE_SYSTEM_TEXT = 0x00000010,      // text is in the system encoding
  CONSOLE_SHOW_ON_OUTPUT = 0x00000080,   // shown whenever text arrives
  CONSOLE_DOCUMENT_CLASS = 0x00000100,   // a document window
  CONSOLE_FLOATING_CLASS = 0x00000200,   // a floating window
  CONSOLE_HIDE_ON_SUSPEND = 0x00000400,  // hidden while the program is in the background
  CONSOLE_NO_CLOSE_BOX = 0x00000800,
  CONSOLE_WRAP_LINES = 0x00002000,        // else a horizontal scroll bar is used
  CONSOLE_NO_MENU_BUTTONS = 0x00008000,   // the File, Send and Help buttons are hidden
  CONSOLE_INPUT_IS_STDIN = 0x00010000,    // the input pipe becomes the process's standard input
  CONSOLE_OUTPUT_IS_STDOUT = 0x00020000,  // the output pipe becomes descriptor 1
  CONSOLE_NO_INPUT = 0x00100000,          // no input pipe, field, Return button or Send menu
  CONSOLE_START_HIDDEN = 0x01000000,
};

// Bits of the second flag byte.
inline constexpr uint8_t CONSOLE_HAS_NO_INPUT = 0x40;
inline constexpr uint8_t CONSOLE_RECORD_ALLOCATED = 0x80;

// ---- Attribute words --------------------------------------------------------------------------
// Word 1: red in bits 0-15, style bits in 16-22 (bold 0x10000, italic 0x20000, underline
// 0x40000, condense 0x200000, extend 0x400000; condense and extend together mean faint),
// 0x08000000 text in the system encoding, 0x10000000 plain 7-bit text, bit 31 "use the
// console's current attributes". Word 2: green in bits 16-31, blue in 0-15.
struct AttributeWords {
  uint32_t word1 = 0;
  uint32_t word2 = 0;
  friend bool operator==(const AttributeWords&, const AttributeWords&) = default;
};
inline constexpr uint32_t ATTR_CURRENT = 0x80000000;
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

// ---- Marks and undo ---------------------------------------------------------------------------
// Entry 0 holds the index of the mark most recently added (0 when the last action added none);
// entries 1 to count - 1 are the text offsets of marks, ascending.
struct console_mark_table {
  uint16_t capacity = 16;
  uint16_t count = 1;
  uint16_t current = 0;
  std::vector<uint32_t> entries = std::vector<uint32_t>(16, 0);
};

struct console_undo_record {
  uint32_t saved_length = 0;
  uint16_t mark_index = 0;
};

// count 1 means empty; valid records are 2 to count (records[count - 1] the last).
struct console_undo_records {
  uint16_t capacity = 16;
  uint16_t count = 1;
  std::vector<console_undo_record> records = std::vector<console_undo_record>(16);
};

// ---- The record ---------------------------------------------------------------------------------
inline constexpr uint16_t CONSOLE_DEFAULT_CHUNK = 255;
inline constexpr uint16_t CONSOLE_LARGEST_CHUNK = 16383;
// An escape sequence longer than this is not one: its bytes are shown as text.
inline constexpr size_t CONSOLE_ESCAPE_LIMIT = 64;

struct console_record {
  // 1 running; 0 not yet started, or disposed; -1 creation failed, or disposal under way.
  std::atomic<int8_t> alive{0};
  uint8_t options = 0;        // the low byte of the creation flags
  int16_t input_enabled = 0;  // -32768 once the input pipe is made; 0 during a number request
  int input_read_fd = -1, input_write_fd = -1;
  int output_read_fd = -1, output_write_fd = -1;
  FILE* input_stream = nullptr;
  FILE* output_stream = nullptr;
  ConsoleWindow* window = nullptr;  // the window with its views and controls
  AttributeWords input_attributes;  // typed and sent text: bold blue
  AttributeWords output_default;    // what ANSI codes 0 and 39 return to
  AttributeWords mark_attributes;   // banners and marks: underlined purple
  uint32_t navigation_key = 0;      // 'CCl0': where the file dialogs remember their place
  pthread_t reader{};
  bool reader_started = false;
  float h_origin_x = 0, h_origin_y = 0;  // the output view's horizontal origin
  AttributeWords last_applied;           // style last set at the end; word 1 0x80000000 none
  AttributeWords current;                // what ANSI codes in persistent text change
  uint8_t second_flags = 0;  // bits 16-21 of the flags; CONSOLE_HAS_NO_INPUT; ..._ALLOCATED
  std::atomic<uint32_t> input_pipe_open{0};
  std::atomic<uint32_t> output_pipe_open{0};
  std::atomic<uint16_t> chunk_size{0};  // bytes asked of the pipe in one read; 0 means 255
  std::string escape;                   // an ANSI escape sequence not yet complete, from ESC
  int8_t pending_utf8_count = 0;        // the start of a UTF-8 sequence cut off at the end
  uint8_t pending_utf8[3] = {};
  uint32_t log_saved = 0;     // 1 once saved (not as a copy) or loaded
  int8_t log_format = 0;      // index into the log formats
  std::string log_file;       // the log's file (empty: none)
  uint32_t saved_length = 0;  // text length when last saved, cleared or loaded
  console_mark_table* marks = nullptr;
  console_undo_records undo;

  // The style of text appended at the end, and of text inserted inside the log, as the style
  // rule made them from attribute words.
  ConsoleTextStyle typing_style;
  ConsoleTextStyle insert_style;
  bool wrap_lines = false;  // the output view wraps lines: no horizontal scroll bar
  bool hscroll_shown = false;
  std::string title;  // the window's title

  // Standard output and input as they were before the console took them over (-1: not
  // taken), given back when the console goes.
  int saved_stdout_fd = -1;
  int saved_stdin_fd = -1;

  // Guards the window against disposal while another thread posts to it.
  std::mutex post_lock;
  // The text posted and not yet shown, and how many messages the main thread has shown.
  std::mutex queue_lock;
  std::condition_variable queue_shrunk;
  size_t queued_bytes = 0;
  uint64_t messages_shown = 0;
  uint64_t stalled_at = UINT64_MAX;  // messages_shown when senders last gave up waiting
};
