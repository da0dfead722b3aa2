// console_services.h: what the other subsystems may call of the console window: creating and
// disposing of it, printing into it from any thread, banners and marks, the log's files and
// menus. Other folders include this header and no other header of console/.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <pthread.h>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console_window.h"
#include "platform/events.h"

// ==== console_record.h ===========================================================================
// The console record, the messages that carry text and calls to the main thread, the attribute
// words of console text, and the console's constants.

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

// ==== console_core.cpp ===========================================================================
// Creating and disposing of a console, its pipes and reader thread, and the messages that carry
// text and calls from any thread to the main thread.

// A running console with the title (UTF-8, or nullptr for "Console" with a number after the first),
// the initial text of its input field (or nullptr) and the creation flags. Given a record that is
// alive, only brings its window to the front; given one that is not, rebuilds it in place; given
// none, allocates one. A console that could not be made whole comes back with its alive state 0 (no
// pipes) or -1 (no reader thread), and has given standard output back. Main thread only.
console_record* console_create(console_record* record, const char* title, const char* initial_input,
                               uint32_t flags);
// Offers to save a changed log, stops the reader thread, closes the pipes (standard output and
// input go back to where they went before) and the window. Returns the record.
console_record* console_dispose(console_record* record);
// console_dispose, and frees the record when console_create allocated it.
void console_dispose_and_free(console_record* record);

// Shows the window in front, with the keyboard focus in the input field. Any thread.
void console_show(console_record* record);

// Hides the window; whether it shows.
void console_hide(console_record* record);

bool console_shown(const console_record* record);

// Keeps the window on the screen, near its right edge (start-up).
void console_keep_on_screen(console_record* record);

// ==== console_files.cpp ==========================================================================
// The console's log: the File menu, saving it to a file in one of four formats, loading a log file
// into it, the question to save a changed log, clearing and undo.

// When the log has grown since it was last saved and is kept in a file (or the console always
// tracks changes), asks for a file and saves: 1 saved, -1 nothing to save, -2 cancelled.
// Asks once: after that the question waits for the next save, clear or load.
int console_save_if_needed(console_record* record);

// ==== console_log_formats.cpp ====================================================================
// The console log's file formats and text encodings: UTF-8, UTF-16 and Mac OS Roman conversions,
// the RTF writer, and the reader that loads a log file of any of the four formats.

enum ConsoleLogFormatIndex : int8_t {
  LOG_FORMAT_RTF = 0,     // RTF with Unicode text
  LOG_FORMAT_UTF16 = 1,   // plain UTF-16 with a byte-order mark
  LOG_FORMAT_UTF8 = 2,    // plain UTF-8 with a byte-order mark
  LOG_FORMAT_SYSTEM = 3,  // plain Mac OS Roman
  LOG_FORMAT_COUNT = 4,
};

// ---- Encodings ----------------------------------------------------------------------------------

// Text in the system encoding: UTF-8 when the bytes are valid UTF-8, else Mac OS Roman.
std::u16string console_system_to_utf16(std::string_view bytes);

// ---- Writing and reading log files --------------------------------------------------------------

// The bytes of a log file of the given format. `font` and `size` describe the view's font
// for RTF.
std::string console_encode_log(const std::vector<ConsoleStyledRun>& runs, int format,
                               const std::string& font, int size);

// The text and styles of an RTF document; what is not understood is skipped.
std::vector<ConsoleStyledRun> console_read_rtf(std::string_view rtf);

// The text of a log file in any of the four formats, recognised by its first bytes (RTF,
// a UTF-16 or UTF-8 byte-order mark; else UTF-8 when valid, else Mac OS Roman). Line ends
// become "\n".
std::vector<ConsoleStyledRun> console_decode_log(std::string_view bytes);

// ==== console_menus.cpp ==========================================================================
// The menus of the console window's File and Send buttons: their ids, their items, and carrying out
// a choice.

// Carries out a console menu event for the console whose window it names. False (doing
// nothing) when the event is not a console menu's.
bool console_menu_event(const EventRecord& event);

// ==== console_text.cpp ===========================================================================
// Putting text into the console's log: control characters, UTF-8 sequences and ANSI escape
// sequences cut anywhere, the style rule, the font, banners, marks and the mark table, and the
// horizontal scroll bar.

// The scanner under console_append, which tests and fuzzing drive directly: it splits a byte
// stream into runs, keeping the record's escape sequence and UTF-8 bytes that are cut off at
// the end for the next stream. Runs never hold an ESC byte.
struct ConsoleScanSink {
  void* context = nullptr;
  void (*run)(void* context, const char* bytes, size_t length, AttributeWords words) = nullptr;
  void (*style)(void* context, AttributeWords words) = nullptr;  // an empty remainder
  void (*beep)(void* context) = nullptr;
};
void console_scan(console_record* record, const char* bytes, size_t length, AttributeWords given,
                  const ConsoleScanSink& sink);

// Prints a dated banner line at the end ("_______ " and " _______" by default).
void console_banner(console_record* record, const char* prefix, const char* suffix);
