// music_window.h: the music window: its geometry, title, scroll bars, scrolling and growing,
// the ruler strips with their mouse marks, and the insertion cross.
//
// The window shows a part of the current view's page image: page pixel (px, py) is drawn at
// window point (px + origin x, py + origin y), where the scroll origin is (ruler width -
// scroll_h, ruler height - scroll_v), so the scroll bars' values are scroll_h and scroll_v.
// The music area lies right of the left ruler strip and below the top one, 15 pixels inside
// the window's right and bottom edges (the scroll bars and the grow box).
#pragma once

#include <cstdint>
#include <string>

#include "app/app_services.h"
#include "platform/events.h"
#include "platform/geometry.h"

struct Control;

// ---- The window and its geometry ----------------------------------------------------------

// The current music window's scroll bars (nullptr when there is no window).
Control* hscroll_bar();
Control* vscroll_bar();

// dispose_music_window_of: the same for a music window by number, current or not.
void dispose_music_window_of(int window);
// layout_scroll_bars: places the scroll bars for the window's size and gives them their
// ranges; a value beyond a new maximum scrolls the page back. A maximum of 0 or less makes the
// bar inactive.
void layout_scroll_bars();
// The size limits of growing the window (also set by the main loop before a grow).
void set_grow_limits();
// draw_MusicWindow_controls: draws a music window's scroll bars and grow box.
// Failure: level 4 "Not a MusicWindow in draw_MusicWindow_controls"; nothing drawn.
void draw_MusicWindow_controls(int window);
// erase_music_window: erases the window's content and the page image.
void erase_music_window();
// clip_to_music_area: mode 1 keeps the port, its pen and clip and opens the clip to the whole
// window; mode 0 puts them back (flag: switch back to the kept port too).
void clip_to_music_area(int mode, int flag);

// ---- The title -----------------------------------------------------------------------------

// make_window_title: names an untitled piece: a name already there becomes ":from: " and the
// whole name; none becomes ":New Piece:" (":New Piece:2" for the second).
// Writes: *fsspec, untitled_count.
void make_window_title(std::string* fsspec);
// path_leaf_name: the part of a path after its last '/' or '\' that is not its last character.
const char* path_leaf_name(const char* path);

// ---- Scrolling -----------------------------------------------------------------------------

// scroll_music_by: moves the page by (dx, dy) in the window (the scroll origin moves) and
// shows it. Failure: level 4 "xscroll %hd not zero mod 16" (applied anyway).
void scroll_music_by(int dx, int dy);
// repeating_scroll_proc: the tracking action of the scroll bars' arrows and page areas.
// Failure: level 4 "repeating_scroll_proc: unrecognized control", "repeating_scroll_proc:
//          Unrecognized control part %hd".
void repeating_scroll_proc(Control* control, int part);
// wheel_scroll: scrolls the current music window by a wheel event's distance (the horizontal
// part in steps of 16, the rest kept for the next turn).
void wheel_scroll(const EventRecord& event);
// key_scroll: the arrow keys scroll by an arrow's step, Page Up and Page Down by a page area's;
// 0 for any other key (nothing done).
int key_scroll(uint8_t c);
// Tracks a press on a scroll bar: the thumb moves the page where it is released (horizontally
// in steps of 16), the arrows and page areas repeat while held.
// Failure: level 4 "x offset logic error in event.c" (the thumb does not move the page).
void track_scroll_bar(Control* control, Point where);

// ---- Rulers and the insertion cross ---------------------------------------------------------

// track_ruler_marks: moves the marks on the rulers to the point (the mouse with `none`); the
// point (-1, -1) only takes them away.
void track_ruler_marks(Point where, bool none);
// drag_insertion_cursor: sets a line of the cross from a window coordinate (axis 1: the
// horizontal line, dragged in the left ruler; 0 the vertical line) and follows the mouse.
void drag_insertion_cursor(int coordinate, int axis);
// snap_to_previous_point: the point with each coordinate replaced by the cross's when that is
// shown and within zoom x 5 page units.
void snap_to_previous_point(Point* out, Point point);
