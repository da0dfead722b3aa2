// console_controls.cpp: the console window's controls: input sent into the input pipe, the
// Send menu, the help window shared by every console, and the close box.
#include "console/console_controls.h"

#include <cstdio>
#include <string>
#include <unistd.h>

#include "console/console_core.h"
#include "console/console_files.h"
#include "console/console_globals.h"
#include "console/console_record.h"
#include "console/console_text.h"
#include "platform/beep.h"
#include "platform/console_window.h"
#include "platform/event_input.h"
#include "platform/events.h"
#include "platform/text_encoding.h"

namespace {

// The help texts: the first always, the second when any console was created with input.
constexpr const char* HELP_TEXT_1 =
    "\n    The console is a basic text oriented monitoring and control console.\n\nUse the "
    "'File' menu to save log to a file.  Unless saved as a 'copy', after saving, if the log "
    "is changed, you will be prompted to re-save when the application closes or the log is "
    "cleared.\n\nClear (new) clears the log and starts a new one.\n\nMark writes a simple "
    "time-stamp onto the log to assist in subsequent analysis. If any mark is created, "
    "navigation buttons appear, enabling scrolling to a previous mark (or next one).\n\nThe "
    "File>Add menu item allows you to read in an existing log as a starting point for "
    "subsequent logging.  A mark is added at the insertion point.  You will be prompted to "
    "save again if the log changes.\n\nMarks, clearing and adding can be Undone.\n";
constexpr const char* HELP_TEXT_2 =
    "\nEnter input text in the 'Input Field' and press <return> to send it.  Output is "
    "displayed in the main area along with any input; different colours being used to "
    "distinguish them.\n\nUse the 'Send' menu at the bottom left to send the input text with "
    "something other than <return> (new line).  This includes the ability to send an "
    "End-of-File (EOF) condition or any control character.\n";

constexpr const char* HELP_CLOSED_TITLE = "?";
constexpr const char* HELP_OPEN_TITLE = "\u00BF";  // an inverted question mark

void set_help_title(console_record* record, const char* title) {
  if (record && record->window)
    console_control_set_title(record->window, CONSOLE_HELP_BUTTON, title);
}

void help_close(void*) {
  if (console_help_window) console_help_window_hide(console_help_window);
  set_help_title(console_help_owner, HELP_CLOSED_TITLE);
  console_help_owner = nullptr;
}

void help_closed(void*) {
  help_close(nullptr);
  console_help_window_dispose(console_help_window);
  console_help_window = nullptr;
}

uint32_t terminator_of(int item) {
  switch (item) {
    case 3:
      return 13;
    case 4:
      return 10;
    case 5:
      return 0x0D0A;
    case 6:
      return 0x03030A;
    case 7:
      return CONSOLE_SEND_EOF;
    case 41:
      return 127;
    default:
      return item >= 9 && item <= 39 ? static_cast<uint32_t>(item - 7) : 0;
  }
}

}  // namespace

int console_send_input(console_record* record, uint32_t terminator) {
  if (!record || !record->input_pipe_open) return -1;
  std::string text;
  if (record->window) text = console_control_text(record->window, CONSOLE_INPUT_FIELD);
  if (record->options & CONSOLE_SYSTEM_TEXT) text = utf8_to_macroman(text);
  for (int shift = 16; shift >= 0; shift -= 8)
    if (const char byte = static_cast<char>((terminator >> shift) & 0xFF)) text += byte;
  if (!text.empty()) {
    if (record->window) console_control_set_text(record->window, CONSOLE_INPUT_FIELD, "");
    console_append(record, text.data(), static_cast<int32_t>(text.size()),
                   record->input_attributes.word1, record->input_attributes.word2);
    if (const int written = console_write_input(record, text.data(), text.size()); written < 0)
      return written;
  }
  if ((terminator >> 24) == 0x80 && record->input_pipe_open.exchange(0)) {
    // The reader of the pipe sees the end of the file.
    close(record->input_write_fd);
    record->input_write_fd = -1;
  }
  return static_cast<int>(text.size());
}

int console_send_menu(console_record* record, int item) {
  if (!record || record->alive < 1 || !record->input_enabled ||
      console_send_input(record, terminator_of(item)) < 0) {
    platform_beep();
    return CONSOLE_NOT_ALIVE;
  }
  return 0;
}

void console_return_button(console_record* record) {
  if (!record || record->alive < 1 || !record->input_enabled ||
      console_send_input(record, '\n') < 0)
    platform_beep();
}

void console_help(console_record* record) {
  if (!record || record->alive < 1) return;
  if (!console_help_window) {
    ConsoleHelpCallbacks callbacks;
    callbacks.close = help_close;
    callbacks.closed = help_closed;
    console_help_window = console_help_window_create("Console Help", callbacks);
    if (!console_help_window) return;
    std::string text = HELP_TEXT_1;
    if (console_input_requested) text += HELP_TEXT_2;
    console_help_window_set_text(console_help_window, text);
    console_help_window_scroll_to_top(console_help_window);
  }
  if (console_help_owner == record && console_help_window_visible(console_help_window)) {
    console_help_window_hide(console_help_window);
    set_help_title(record, HELP_CLOSED_TITLE);
    return;
  }
  console_help_window_cascade(console_help_window, record->window);
  if (console_help_owner && console_help_owner != record)
    set_help_title(console_help_owner, HELP_CLOSED_TITLE);
  console_help_owner = record;
  console_help_window_show(console_help_window);
  set_help_title(record, HELP_OPEN_TITLE);
}

int console_window_handler(console_record* record, int event) {
  if (!record || record->alive < 1) return CONSOLE_NOT_ALIVE;
  switch (event) {
    case CONSOLE_WINDOW_CLOSE:
      if (record->options & CONSOLE_CLOSE_QUITS) {
        console_save_if_needed(record);
        platform_post_quit_event();
      } else if (record->options & CONSOLE_CLOSE_BEEPS) {
        platform_beep();
      } else if (record->window) {
        console_window_hide(record->window);
      }
      return 0;
    case CONSOLE_WINDOW_CLOSED:
      std::fputs("CarbonConsole - Unexpected closed event. \n", stderr);
      console_dispose(record);
      return 0;
    case CONSOLE_SELECT_WINDOW:
      if (!(record->second_flags & CONSOLE_HAS_NO_INPUT) && record->window)
        console_control_focus(record->window, CONSOLE_INPUT_FIELD);
      return 0;
    case CONSOLE_BOUNDS_CHANGED:
      return 0;  // the window's layout keeps the info fields half and half
    default:
      return CONSOLE_NOT_ALIVE;
  }
}
