// window.h: document windows: a titled, resizable window with a close box whose content is a
// port the program draws in, and what the program asks of the screen and the mouse.
//
// Windows are known by their number (the number their events carry). The program draws into
// a window's port and says when it has drawn (platform_window_changed); the window shows the
// port's pixels. What the window system does to a window becomes events: closing it is a
// mouse-down in its close box (IN_GO_AWAY), resizing it a mouse-down in its grow box (IN_GROW)
// that carries the new content size, activating it an activate event, uncovering or growing
// its content an update event.
#pragma once

#include <cstdint>
#include <string>

#include "platform/events.h"
#include "platform/geometry.h"

struct Port;

// ---- Windows ---------------------------------------------------------------------------------
// platform_keep_windows_off_screen: while kept, windows and menus made have nothing of the
// window system: a window is its port alone, drawn on, shown and hidden as any, but never on
// the screen. For a program that only prints: it has nothing to show. Alerts and dialogs
// still come up. Whether they are kept: what is drawn only for a window is then seen by nobody.
void platform_keep_windows_off_screen(bool keep);
bool platform_windows_kept_off_screen();

// A document window with its content at `bounds` (screen pixels), titled (UTF-8), in front of
// the others; hidden until shown when `visible` is false. Returns its number, 0 on failure.
int platform_new_window(const std::string& title, Rect bounds, bool visible);
void platform_dispose_window(int window);
// A floating window: a small window without a menu bar, kept in front of the document windows,
// that never takes the keyboard from them (keys typed while it is clicked go on reaching the
// document window). The user does not resize or close it; mouse presses in it are events of
// its number like any window's.
int platform_new_floating_window(const std::string& title, Rect bounds, bool visible);

// The port of a window's content, and the window of a port (0 when it is no window's).
Port* platform_window_port(int window);
int platform_window_of_port(const Port* port);

void platform_set_window_title(int window, const std::string& title);
std::string platform_window_title(int window);

void platform_show_window(int window);
void platform_hide_window(int window);
bool platform_window_visible(int window);

// Brings a window to the front and activates it.
void platform_select_window(int window);

// Sizes a window's content (its port follows, keeping what it shows in the part that stays);
// with `update`, what the window gained needs drawing (an update event follows).
void platform_size_window(int window, int width, int height, bool update);

// Where the window's content lies on the screen.
Rect platform_window_bounds(int window);
// Moves a window so that its content's top left lies at that point of the screen.
void platform_move_window(int window, int left, int top);
// Follows the mouse from a mouse-down in the window while its button is held, moving the window
// with it, its content kept inside `limits` (screen pixels). *top_left receives where the
// content's top left ends; false when the window did not move.
bool platform_drag_window(int window, const EventRecord& event, Rect limits, Point* top_left);

// ---- Drawing and updates ----------------------------------------------------------------
// Says that the program drew into the window's port outside an update: the window shows it.
void platform_window_changed(int window);
// Marks a rectangle of the content as needing drawing; an update event for the window is
// queued unless one is already waiting.
void platform_invalidate_window(int window, Rect r);
bool platform_window_needs_update(int window);
// Bracket the drawing done in answer to an update: ending it clears the need and shows it.
void platform_begin_window_update(int window);
void platform_end_window_update(int window);

// ---- Growing -----------------------------------------------------------------------------
// The content size a mouse-down in the grow box asks for, within the limits (left and top are
// the smallest width and height, right and bottom the largest): a resize by the window system
// carries its size; a press on the grow box follows the mouse while the button is held.
// False when the size does not change.
bool platform_grow_window(const EventRecord& event, Rect limits, int* width, int* height);
// The largest content (limits.right wide, limits.bottom high) the window system's frame may
// give a document window; a size the program gives it stays allowed.
void platform_set_window_limits(int window, Rect limits);

// ---- The screen and the mouse ------------------------------------------------------------
// The part of the main screen where windows may be placed.
Rect platform_screen_bounds();
// Test double: the screen bounds reported while `on`.
void platform_set_test_screen(bool on, Rect bounds);

// The mouse position in a window's content.
Point platform_mouse_position(int window);
// Test double: the position reported while `on`, in every window.
void platform_set_test_mouse(bool on, Point where);

// Following the mouse while its button is held: true while it is held, with the mouse's
// position in the window; false once it is released, with the release's position when its
// mouse-up is waiting (the mouse-up is taken), else *where is left as it was.
bool platform_track_mouse(int window, Point* where);

// The longest time between two clicks of a double click, and the caret's blink time (ticks).
uint32_t platform_double_click_ticks();
uint32_t platform_caret_ticks();
