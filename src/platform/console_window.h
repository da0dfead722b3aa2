// console_window.h: the console's window with its output view and controls, the help window
// shared by every console, the log file dialog, and the posting of console messages to the
// main thread from any thread.
//
// The console's own logic (what text goes where, in which style, what a button does) lives
// outside the platform layer; this layer only shows and reports. Every routine here runs on
// the main thread, except console_window_post.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/port.h"

struct ConsoleWindow;
struct ConsoleHelpWindow;

// The views of a console window.
enum ConsoleControl : int {
  CONSOLE_OUTPUT_VIEW,    // the styled, read-only text of the log
  CONSOLE_INPUT_FIELD,    // one line of input
  CONSOLE_RETURN_BUTTON,  // sends the input
  CONSOLE_FILE_MENU,      // a button with the File menu
  CONSOLE_SEND_MENU,      // a button with the Send menu
  CONSOLE_HELP_BUTTON,    // "?"
  CONSOLE_MARK_BACK,      // to the previous mark
  CONSOLE_MARK_FORWARD,   // to the next mark
  CONSOLE_INFO_LEFT,      // the three info fields above the log
  CONSOLE_INFO_MIDDLE,
  CONSOLE_INFO_RIGHT,
  CONSOLE_HSCROLL,  // the horizontal scroll bar, used when lines do not wrap
  CONSOLE_CONTROL_COUNT
};

// Window events handed to the console.
enum ConsoleWindowEvent : int {
  CONSOLE_BOUNDS_CHANGED = 27,
  CONSOLE_WINDOW_CLOSE = 72,   // the close box was clicked (the window stays open)
  CONSOLE_WINDOW_CLOSED = 73,  // the window went away without the console asking
  CONSOLE_SELECT_WINDOW = 74,  // the window was brought to the front by the user
};

// The style of a run of text: QuickDraw face bits (1 bold, 2 italic, 4 underline,
// 0x20 condense, 0x40 extend) and a colour.
struct ConsoleTextStyle {
  uint8_t face = 0;
  RgbColour colour;
  friend bool operator==(const ConsoleTextStyle&, const ConsoleTextStyle&) = default;
};

struct ConsoleStyledRun {
  std::u16string text;  // line ends are "\n"
  ConsoleTextStyle style;
};

struct ConsoleWindowCallbacks {
  void* context = nullptr;
  // A click on the Return, Help, mark-back or mark-forward button, or Return typed in the
  // input field (as CONSOLE_RETURN_BUTTON).
  void (*control_hit)(void* context, ConsoleControl control) = nullptr;
  // A ConsoleWindowEvent. The close box's event comes after the click has been handled, from
  // the main loop, so that the console may ask questions.
  void (*window_event)(void* context, int event) = nullptr;
  // A message posted with console_window_post, on the main thread; the console owns it again.
  void (*message)(void* context, uint32_t event_kind, void* message) = nullptr;
  // A posted message that was never delivered (the window went away first).
  void (*discard_message)(void* message) = nullptr;
  // The output view scrolled, or the width of its text changed.
  void (*scrolled)(void* context) = nullptr;
  // The user moved the horizontal scroll bar to `value`.
  void (*hscroll_moved)(void* context, int value) = nullptr;
  // A key typed into the output view: true when it should go to the input field instead.
  bool (*key_to_input)(void* context) = nullptr;
};

enum ConsoleWindowClass : int { CONSOLE_DOCUMENT_WINDOW, CONSOLE_FLOATING_WINDOW };

struct ConsoleWindowSpec {
  std::string title;  // UTF-8
  // The items of the File and Send menus from item 1 on ("-" is a separator line, which
  // counts as an item), and the menu ids their choices carry.
  std::vector<std::string> file_menu;
  std::vector<std::string> send_menu;
  int16_t file_menu_id = 0;
  int16_t send_menu_id = 0;
};

// ---- The window ---------------------------------------------------------------------------
// A new console window, hidden; nullptr without a window system.
ConsoleWindow* console_window_create(const ConsoleWindowSpec& spec,
                                     const ConsoleWindowCallbacks& callbacks);
// Closes it; messages posted to it and not yet delivered are discarded.
void console_window_dispose(ConsoleWindow* window);
// The number its menu events carry in EventRecord::window.
int console_window_number(const ConsoleWindow* window);

// Window class and attributes: the close box, the collapse box, hiding while the program is
// in the background.
void console_window_set_kind(ConsoleWindow* window, ConsoleWindowClass kind, bool close_box,
                             bool hide_on_suspend);
ConsoleWindowClass console_window_kind(const ConsoleWindow* window);

void console_window_set_title(ConsoleWindow* window, const std::string& title);
std::string console_window_title(const ConsoleWindow* window);
// The changed mark of the window's title bar.
void console_window_set_modified(ConsoleWindow* window, bool modified);
bool console_window_modified(const ConsoleWindow* window);

void console_window_show(ConsoleWindow* window, bool activate);
void console_window_hide(ConsoleWindow* window);
bool console_window_visible(const ConsoleWindow* window);
// Moves the window so that its right edge stands 128 pixels left of the right edge of the
// screen's available area, and keeps it inside that area.
void console_window_keep_on_screen(ConsoleWindow* window);
// Writes an image of the window (a PNG) to the path; false on failure.
bool console_window_save_png(ConsoleWindow* window, const char* path);

// Posts a message to the window's console, to be handed to the message callback on the main
// thread. Any thread. 0 when posted (the console no longer owns the message), else an error
// (-9861 when there is no application to post to).
int console_window_post(ConsoleWindow* window, uint32_t event_kind, void* message);

// ---- Controls -----------------------------------------------------------------------------
void console_control_show(ConsoleWindow* window, ConsoleControl control, bool shown);
bool console_control_shown(const ConsoleWindow* window, ConsoleControl control);
void console_control_set_title(ConsoleWindow* window, ConsoleControl control,
                               const std::string& title);
std::string console_control_title(const ConsoleWindow* window, ConsoleControl control);
// The text of the input field or an info field (UTF-8).
void console_control_set_text(ConsoleWindow* window, ConsoleControl control,
                              const std::string& text);
std::string console_control_text(const ConsoleWindow* window, ConsoleControl control);
// Gives the keyboard focus to a control (and the window the user focus).
void console_control_focus(ConsoleWindow* window, ConsoleControl control);
// The horizontal scroll bar's value and maximum.
void console_hscroll_set(ConsoleWindow* window, int value, int maximum);
int console_hscroll_maximum(const ConsoleWindow* window);
// Makes every item of a menu button carry out the menu's command (as the user choosing it
// would): the menu event is queued for the program.
void console_menu_choose(ConsoleWindow* window, ConsoleControl menu, int item);

// ---- The output view ----------------------------------------------------------------------
// Offsets count UTF-16 units; CONSOLE_END is the end of the text.
inline constexpr int32_t CONSOLE_END = 0x7FFFFFFF;

int32_t console_view_length(const ConsoleWindow* window);
// Inserts runs at an offset. Undoable insertions make one step of the view's undo; any other
// insertion (appended output) clears the undo. When the view showed its last line, it goes on
// showing it.
void console_view_insert(ConsoleWindow* window, int32_t offset,
                         const std::vector<ConsoleStyledRun>& runs, bool undoable);
// Removes the whole text as one undoable step; false when there was nothing to remove.
bool console_view_delete_all(ConsoleWindow* window);
bool console_view_can_undo(const ConsoleWindow* window);
void console_view_undo(ConsoleWindow* window);
void console_view_clear_undo(ConsoleWindow* window);
std::u16string console_view_text(const ConsoleWindow* window, int32_t start, int32_t end);
// The text of a range as runs of one style each.
std::vector<ConsoleStyledRun> console_view_runs(const ConsoleWindow* window, int32_t start,
                                                int32_t end);
// The font of the whole text (family name as the program knows it, size in points) and the
// width of a tab in pixels.
void console_view_set_font(ConsoleWindow* window, const std::string& family, int size,
                           int tab_width);
std::string console_view_font_family(const ConsoleWindow* window);
int console_view_font_size(const ConsoleWindow* window);
void console_view_set_wrap(ConsoleWindow* window, bool wrap);
void console_view_set_insertion_point(ConsoleWindow* window, int32_t offset);
int32_t console_view_insertion_point(const ConsoleWindow* window);
// Scrolls so that the offset shows.
void console_view_scroll_to(ConsoleWindow* window, int32_t offset);
// The view's horizontal origin in pixels, and setting it.
double console_view_h_origin(const ConsoleWindow* window);
void console_view_set_h_origin(ConsoleWindow* window, double x);

// ---- The help window --------------------------------------------------------------------------
struct ConsoleHelpCallbacks {
  void* context = nullptr;
  void (*close)(void* context) = nullptr;   // the close box was clicked; the window stays
  void (*closed)(void* context) = nullptr;  // the window went away
};
ConsoleHelpWindow* console_help_window_create(const std::string& title,
                                              const ConsoleHelpCallbacks& callbacks);
void console_help_window_dispose(ConsoleHelpWindow* help);
void console_help_window_set_text(ConsoleHelpWindow* help, const std::string& text);  // UTF-8
std::string console_help_window_text(const ConsoleHelpWindow* help);
void console_help_window_scroll_to_top(ConsoleHelpWindow* help);
// Places the help window a little down and right of the console window.
void console_help_window_cascade(ConsoleHelpWindow* help, const ConsoleWindow* on);
void console_help_window_show(ConsoleHelpWindow* help);
void console_help_window_hide(ConsoleHelpWindow* help);
bool console_help_window_visible(const ConsoleHelpWindow* help);
bool console_help_window_save_png(ConsoleHelpWindow* help, const char* path);

// ---- The log file dialog --------------------------------------------------------------------
enum LogDialogEvent : int { LOG_DIALOG_START = 1, LOG_DIALOG_FORMAT_CHOSEN = 2 };

struct LogFileDialog {
  int mode = 1;                        // 1 open a file, 2 save to a file
  std::string title, message, action;  // UTF-8
  std::string client_name;
  std::string preference_key;        // the dialog remembers its folder under this key
  std::string proposed_name;         // save: the name first shown
  std::vector<std::string> formats;  // save: the entries of the format pop-up
  int format = 0;                    // save: the format shown (from 0)
  // Called at the start of a save dialog and when the user picks a format: may change the
  // format shown and the name in the name field.
  void* context = nullptr;
  void (*event)(void* context, int event, int* format, std::string* name) = nullptr;
};

// Runs the dialog; returns 0 with the path chosen, or -128 when cancelled. In scripted mode
// (platform/script.h) a script_choose(1, entry) answer picks the format pop-up's entry, and
// the next scripted file name is the answer: "" cancels, and a name ending in "/" names the
// folder, in which the name the name field holds then is chosen. What the dialog shows is
// recorded as shown with the id LOG_FILE_DIALOG_ID (title and message, one a line).
inline constexpr int LOG_FILE_DIALOG_ID = 1281;
// The stop alert that says a log file could not be written: the message in the first
// parameter text, the file's path in the second (platform/dialogs.h).
inline constexpr int CONSOLE_WRITE_ALERT_ID = 1282;
inline constexpr int LOG_FORMAT_POPUP_ITEM = 1;
int platform_log_file_dialog(LogFileDialog& dialog, std::string* path);
