// offscreen.h: the offscreen page of the current view: the whole page rendered at the current
// zoom into one image, of which the music window shows a scrolled part; the view transform
// that sizes it; rulers and selection marks.
#pragma once

#include <cstdint>

#include "graphics/ge_services.h"
#include "graphics/graphics_globals.h"
#include "platform/geometry.h"

struct Port;

// A thread other than the main one that measures texts (one printing pages) sets a port of its
// own here, which offscreen_port() then gives it; nullptr on the main thread.
extern thread_local constinit Port* own_measuring_port;

inline constexpr int SCROLL_BAR_WIDTH = 15;  // at the window's right and bottom
inline constexpr int RULER_WIDTH = 16;       // of each ruler strip, at the top and the left
inline constexpr int MAX_PAGE_PIXEL_WIDTH = 4080;
inline constexpr int MAX_PAGE_PIXEL_HEIGHT = 4095;

// ---- The view transform ---------------------------------------------------------------------

// set_view_transform: the pixel size of a page (width and height in tenths of an inch) at a
// zoom, the width raised to a multiple of 16. A zoom of 0 or less is the standard zoom 10.0,
// or, with a record and a window width (fit-to-width), the zoom that fits the page into the
// window's content less its scroll bar. Unless no_limit, a page wider than 4080 or higher than
// 4095 pixels is scaled down with its zoom. The record (when given) takes the zoom, its pixel
// lengths and the two flags. Returns the zoom.
float set_view_transform(float zoom, int32_t page_width, int32_t page_height, int window_width,
                         ViewTransform* record, uint8_t flag1, uint8_t flag2, int no_limit,
                         int32_t* pixel_width, int32_t* pixel_height);
// offscreen_rowbytes: the row length and the buffer size (a multiple of 64) of a page image.
void offscreen_rowbytes(int32_t width, int32_t height, int32_t* row_bytes, long* size);

// ---- Showing the page -----------------------------------------------------------------------

// The part of a music window's port that shows the page: its content less the scroll bars and,
// with rulers, the ruler strips.
Rect music_area(const Port* window);
// copy_offscreen_to_window: copies the source page into the window's music area from the
// scroll position, with a transfer mode; what lies beyond the page comes out white.
void copy_offscreen_to_window(Port* window, const Port* source, int16_t mode);
// offscreen_copy_rect: copies a box of the page (pixels), widened by 3, to the window (or, or
// the transfer mode given).
void offscreen_copy_rect(Rect box, int16_t mode = 1);
// scroll_view: scrolls to the page's origin, copies the page and redraws the rulers.
void scroll_view();

// ---- Selection marks ------------------------------------------------------------------------

// draw_selection_frame: frames a rectangle of the page in grey by exclusive-or and writes the
// number beside it; with refresh, copies the page to the window. With no voices it only
// empties framed_selection_rect.
void draw_selection_frame(const VirtualRect& r, int32_t number, int refresh);
