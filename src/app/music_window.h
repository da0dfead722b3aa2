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

#include "platform/events.h"
#include "platform/geometry.h"

struct Control;

// ---- The window and its geometry ----------------------------------------------------------
// The current music window (the window the current view's page is shown in), 0 when none.
int music_window();
// Widths of the left and top ruler strips: 16 with rulers, else 0.
int ruler_width();
int ruler_height();
// The music area of the current music window (empty when there is none).
Rect music_area_rect();
// Where page pixel (0, 0) lies in the window.
Point scroll_origin();
// The current music window's scroll bars (nullptr when there is no window).
Control* hscroll_bar();
Control* vscroll_bar();

// new_music_window: creates the current music window (hidden, titled "New Piece"), its
// content w by h pixels, 22 pixels lower for every open view, with its two scroll bars.
// Reads: screen_device, the open views. Writes: music_window_port.
void new_music_window(int width, int height);
// Disposes of the current music window and its scroll bars; music_window_port becomes
// nullptr.
void dispose_music_window();
// dispose_music_window_of: the same for a music window by number, current or not.
void dispose_music_window_of(int window);
// layout_scroll_bars: places the scroll bars for the window's size and gives them their
// ranges; a value beyond a new maximum scrolls the page back. A maximum of 0 or less makes the
// bar inactive.
void layout_scroll_bars();
// grow_music_window: sizes the window (creating it when there is none) so that the music
// area's width is a multiple of 16; with (0, 0) the size follows the page and the screen. Sets
// grow_limits and redraws the window.
// Reads: page_pixel_width and _height, the rulers, screen_device, the open views,
//        default_scale. Writes: the window's size, grow_limits, the scroll bars.
void grow_music_window(int width, int height);
// The size limits of growing the window (also set by the main loop before a grow).
void set_grow_limits();
// draw_MusicWindow_controls: draws a music window's scroll bars and grow box.
// Failure: level 4 "Not a MusicWindow in draw_MusicWindow_controls"; nothing drawn.
void draw_MusicWindow_controls(int window);
// erase_music_window: erases the window's content and the page image.
void erase_music_window();
// invalidate_music_area: applies the ruler setting of the preferences; with flag set and the
// rulers changed, keeps the page where it was in the music area and resizes the window.
// Writes: music_window_rulers, insertion_cross (hidden without rulers).
void invalidate_music_area(int flag);
// clip_to_music_area: mode 1 keeps the port, its pen and clip and opens the clip to the whole
// window; mode 0 puts them back (flag: switch back to the kept port too).
void clip_to_music_area(int mode, int flag);

// ---- The title -----------------------------------------------------------------------------
// display_win_title: titles the music window from the file name, the notation context's name
// when the piece has several, and "page %hd of %hd" (not in mode 2), the selected voice's
// name, then `extra` when given. Mode 3 shows `extra` alone; a negative mode redraws the title
// at once.
// Reads:  piece_fsspec, ncontext_count, current_ncontext, current_page, page_count, the
//         selected voice. Writes: music_window_title, the window's title.
// Failure: level 4 "NIL call to display_win_title()" while a view is current but has no
//          window (the title is kept for when it has one).
void display_win_title(int mode, const char* extra);
// make_window_title: names an untitled piece: a name already there becomes ":from: " and the
// name (at most 63 characters); none becomes ":New Piece:" (":New Piece:2" for the second).
// Writes: *fsspec, untitled_count.
void make_window_title(std::string* fsspec);
// path_leaf_name: the part of a path after its last '/' or '\' that is not its last character.
const char* path_leaf_name(const char* path);

// clear_current_piece: forgets the current piece: its file name, its voice lists and layout,
// the selection and the graphics list; the window is retitled.
void clear_current_piece();

// ---- Scrolling -----------------------------------------------------------------------------
// scroll_music_by: moves the page by (dx, dy) in the window (the scroll origin moves) and
// shows it. Failure: level 4 "xscroll %hd not zero mod 16" (applied anyway).
void scroll_music_by(int dx, int dy);
// do_scroll: scrolls by a request (dx, dy) within the scroll bars' ranges, the horizontal step
// snapped to a multiple of 16, and writes back the steps taken.
// Failure: level 4 "xscroll logic error in event.c" (no horizontal step).
void do_scroll(int* dx, int* dy);
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
// draw_ruler: erases both ruler strips and forgets the marks; with flag set draws the scales:
// a tick every 90 / zoom pixels, every eighth numbered.
void draw_ruler(int flag);
// track_ruler_marks: moves the marks on the rulers to the point (the mouse with `none`); the
// point (-1, -1) only takes them away.
void track_ruler_marks(Point where, bool none);
// toggle_insertion_cursor: mode 0 moves the cross to its place, 1 draws it into the page
// image, 2 takes it away.
void toggle_insertion_cursor(int mode);
// drag_insertion_cursor: sets a line of the cross from a window coordinate (axis 1: the
// horizontal line, dragged in the left ruler; 0 the vertical line) and follows the mouse.
void drag_insertion_cursor(int coordinate, int axis);
// snap_to_previous_point: the point with each coordinate replaced by the cross's when that is
// shown and within zoom x 5 page units.
void snap_to_previous_point(Point* out, Point point);
