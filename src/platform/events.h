// events.h: the program's event records, the event queue and the state of the keyboard.
//
// Window-system input is translated into these records and queued; the program takes them
// one at a time. Event kinds, modifier bits and key characters have fixed values that the
// program's code compares against.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/geometry.h"

enum EventKind : int16_t {
  EVENT_NULL = 0,  // nothing happened before the wait ended
  EVENT_MOUSE_DOWN = 1,
  EVENT_MOUSE_UP = 2,
  EVENT_KEY_DOWN = 3,
  EVENT_KEY_UP = 4,
  EVENT_AUTO_KEY = 5,     // a key held down repeating
  EVENT_UPDATE = 6,       // a window needs redrawing (window: the window's id)
  EVENT_ACTIVATE = 8,     // a window became active or inactive (MOD_ACTIVE set when active)
  EVENT_MENU = 20,        // a menu command: menu id in the high 16 bits of message, item in the low
  EVENT_QUIT = 21,        // the window system or a signal asks the program to quit
  EVENT_WHEEL = 22,       // the wheel or touchpad scrolls a window (see wheel_distance)
  EVENT_HIGH_LEVEL = 23,  // open, print or quit documents: message is the event's four-letter id
};

// Four-letter ids of the high-level events (in `message`).
inline constexpr uint32_t four_letters(const char (&id)[5]) {
  return uint32_t(uint8_t(id[0])) << 24 | uint32_t(uint8_t(id[1])) << 16 |
         uint32_t(uint8_t(id[2])) << 8 | uint32_t(uint8_t(id[3]));
}
inline constexpr uint32_t EVENT_OPEN_APPLICATION = four_letters("oapp");
inline constexpr uint32_t EVENT_OPEN_DOCUMENTS = four_letters("odoc");
inline constexpr uint32_t EVENT_PRINT_DOCUMENTS = four_letters("pdoc");
inline constexpr uint32_t EVENT_QUIT_APPLICATION = four_letters("quit");

// Modifier bits of an event (and of platform_modifiers()).
enum ModifierBits : uint16_t {
  MOD_ACTIVE = 0x0001,     // activate events: the window became active
  MOD_BUTTON_UP = 0x0080,  // the mouse button is up
  MOD_COMMAND = 0x0100,    // Ctrl
  MOD_SHIFT = 0x0200,      // left Shift
  MOD_CAPS_LOCK = 0x0400,
  MOD_OPTION = 0x0800,   // Alt
  MOD_CONTROL = 0x1000,  // Meta (the Super key)
  MOD_RIGHT_SHIFT = 0x2000,
  MOD_RIGHT_OPTION = 0x4000,
  MOD_RIGHT_CONTROL = 0x8000,
};

inline constexpr uint16_t MOD_EITHER_SHIFT = MOD_SHIFT | MOD_RIGHT_SHIFT;
inline constexpr uint16_t MOD_EITHER_OPTION = MOD_OPTION | MOD_RIGHT_OPTION;

// Character codes of special keys in a key event's message (low byte).
enum KeyChar : uint8_t {
  KEY_HOME = 1,
  KEY_ENTER = 3,
  KEY_END = 4,
  KEY_BACKSPACE = 8,
  KEY_TAB = 9,
  KEY_PAGE_UP = 11,
  KEY_PAGE_DOWN = 12,
  KEY_RETURN = 13,
  KEY_FUNCTION = 16,  // a function key; which one is in the key code
  KEY_ESCAPE = 27,
  KEY_LEFT = 28,
  KEY_RIGHT = 29,
  KEY_UP = 30,
  KEY_DOWN = 31,
  KEY_DELETE = 127,  // forward delete
};

struct EventRecord {
  int16_t what = EVENT_NULL;
  uint32_t message = 0;    // keys: character (Mac OS Roman) in bits 0-7, key code in 8-15
  uint32_t when = 0;       // ticks
  Point where;             // mouse position in the content of `window` (pixels, y down)
  uint16_t modifiers = 0;  // ModifierBits at the time of the event
  int window = 0;          // the window the event belongs to (0 none; see dialogs.h)
  char32_t typed = 0;      // keys: the character typed, in Unicode (0 none); a character that
                           // Mac OS Roman cannot hold has '?' in `message`
};

inline uint8_t event_char(const EventRecord& e) { return uint8_t(e.message & 0xFF); }
// A wheel event's distance in pixels as a scroll bar counts them: the low 16 bits across, the
// high 16 bits down, each signed and positive toward the start (left, up). A notch of a mouse
// wheel is the desktop's lines a notch (three as a rule) of WHEEL_LINE pixels each; a touchpad
// gives its own pixels; Shift turns a vertical wheel into a horizontal one.
inline constexpr int WHEEL_LINE = 16;
inline Point wheel_distance(const EventRecord& e) {
  return {int16_t(e.message & 0xFFFF), int16_t(e.message >> 16)};
}

// Window numbers carried in EventRecord::window: 0 none (the desk), the main (music) window,
// and the menu bar, whose mouse-downs carry MENU_BAR_WINDOW. Dialogs and later windows take
// numbers from 100 upward.
inline constexpr int MAIN_WINDOW_NUMBER = 1;
inline constexpr int MENU_BAR_WINDOW = 2;

// Puts an event at the end of the queue (its `when` is set to now when 0).
void platform_post_event(const EventRecord& event);

// Takes the first queued event whose kind is in `mask` (bit 1 << kind; EVERY_EVENT all).
// When none is queued, handles window-system input and waits for one, at most
// `timeout_ticks`; returns false (and a null event) when the wait ends without one.
bool platform_get_event(uint32_t mask, uint32_t timeout_ticks, EventRecord* event);

// Waits until an event is queued, at most `timeout_ticks`, without taking it and without
// using the processor meanwhile; returns at once when one is waiting. With the virtual clock
// of the tests, the clock moves by the ticks waited for instead.
void platform_wait_for_event(uint32_t timeout_ticks);
// The number of waits that found no event waiting (the tests read it).
long platform_idle_wait_count();

// ---- Documents given by the window system or the command line ----------------------------
// Queues a high-level event with its list of documents (paths); with `quit_when_done` the
// program is to quit once it has handled them.
void platform_post_document_event(uint32_t id, const std::vector<std::string>& paths,
                                  bool quit_when_done = false);
// The documents of a high-level event (taken: a second call gives none), and whether the
// program quits when they are done.
std::vector<std::string> platform_take_event_documents(const EventRecord& event,
                                                       bool* quit_when_done = nullptr);
// The events the command line asks for: its file arguments are one open-documents event,
// the files after "--print" one print-documents event (after which the program quits when
// there is nothing to open); with no files, open-application.
void platform_post_command_line_events(int argc, char** argv);
// True when the command line names documents to print and none to open: the program quits
// once they are printed.
bool platform_command_line_only_prints(int argc, char** argv);

// peek_event: copies the first queued event whose kind is in `mask` into *event and leaves
// it queued; window-system input is handled first, but nothing is waited for. False (and a
// null event) when no such event is queued.
bool peek_event(uint32_t mask, EventRecord* event);

// Drops every queued event whose kind is in `mask`.
void platform_flush_events(uint32_t mask);

// The modifier keys held at the moment of the call (MOD_BUTTON_UP when the button is up): the
// window system is asked at most once in 20 ms but after input the program takes.
uint16_t platform_modifiers();
// The number of times the window system was asked for the keys held (the tests read it).
long platform_modifier_queries();

// Test double: the modifiers platform_modifiers() reports, instead of the keyboard's.
void platform_set_test_modifiers(bool on, uint16_t modifiers);

// ---- Where a mouse-down falls ---------------------------------------------------------------
enum WindowPart : int16_t {
  IN_DESK = 0,      // outside every window
  IN_MENU_BAR = 1,  // the menu bar
  IN_CONTENT = 3,   // the content of a window
  IN_GROW = 5,      // a document window's grow box, or a resize by the window system
  IN_GO_AWAY = 6,   // a document window's close box
};

// The part of the screen a mouse-down falls in, and the number of its window (0 for the desk
// and the menu bar). The window system's closes and resizes arrive as mouse-downs whose
// message holds the part (IN_GO_AWAY, IN_GROW); a press in the 15 x 15 pixels at the bottom
// right of a document window's content is in its grow box.
int find_window_part(const EventRecord& event, int* window);

// The number of the front (active) window; 0 when none of the program's windows is active.
int front_window();
// Test double: the number front_window() reports while `on`.
void platform_set_test_front_window(bool on, int number);

// ---- Command-key equivalents of menu items ----------------------------------------------
// The menus register the Command-key character of each item that has one; 0 as the menu
// takes a character's registration away. Letters are registered and looked up in capitals.
void set_menu_key(uint8_t character, int16_t menu, int16_t item);
void clear_menu_keys();
// menu_key_maps: the menu command (menu id in the high 16 bits, item in the low) that the
// Command-key character chooses, or 0 when it chooses none. Nothing is carried out.
int32_t menu_key_maps(uint8_t character);

inline constexpr uint32_t EVERY_EVENT = 0xFFFFFFFF;  // menu and quit events too
inline constexpr uint32_t event_mask_of(int kind) { return 1u << kind; }
