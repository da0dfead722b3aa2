// offscreen.h: the offscreen page of the current view: the whole page rendered at the current
// zoom into one image, of which the music window shows a scrolled part; the view transform
// that sizes it; rulers and selection marks.
#pragma once

#include <cstdint>

#include "graphics/graphics_globals.h"
#include "platform/geometry.h"

struct Port;

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

// ---- The page image -------------------------------------------------------------------------
// offscreen_create: makes the page image for a page (tenths of an inch) at a zoom (0 or less:
// see set_view_transform; window_width > 0 fits the page to it) and resets the scroll position.
// Returns 1, or 0 when the buffer could not be allocated (after the allocator's alert).
// Writes: zoom_factor, view_transform, page_pixel_width and _height, print_page_pixel_width
//         and _height (at print_transform's zoom), offscreen_page, offscreen_buffer(_size),
//         scroll_h, scroll_v.
int offscreen_create(float zoom, int32_t page_width, int32_t page_height, int window_width,
                     int show);
// offscreen_changesize: re-creates the page image after a change of zoom, page size or
// notation context: stops the flashing, clears the insertion point, empties the selection
// rectangles. Reads zoom_factor and the current notation context's page size.
// Failure: level 4 "Memory check logic error in offscreen_changesize"; returns 0.
int offscreen_changesize();
// offscreen_dispose: frees the page image and its buffer.
void offscreen_dispose();
// offscreen_erase: erases the whole page image, when there is one.
void offscreen_erase();

// ---- Showing the page -----------------------------------------------------------------------
// The part of a music window's port that shows the page: its content less the scroll bars and,
// with rulers, the ruler strips.
Rect music_area(const Port* window);
// copy_offscreen_to_window: copies the source page into the window's music area from the
// scroll position, with a transfer mode; what lies beyond the page comes out white.
void copy_offscreen_to_window(Port* window, const Port* source, int16_t mode);
// refresh_from_offscreen: takes the insertion cross away, copies the page to the music window
// and puts the cross back, unless copies are held back.
void refresh_from_offscreen();
// offscreen_copy_rect: copies a box of the page (pixels), widened by 3, to the window (or, or
// the transfer mode given).
void offscreen_copy_rect(Rect box, int16_t mode = 1);
// scroll_view: scrolls to the page's origin, copies the page and redraws the rulers.
void scroll_view();

// ---- Views -----------------------------------------------------------------------------------
// save_view_graphics, restore_view_graphics: the current view's graphics globals (its GE
// lists, transform, page image, scroll position and window) into or out of a record.
void save_view_graphics(ViewGraphics* record);
void restore_view_graphics(const ViewGraphics& record);
// offscreen_copy_view: copies another view's page image into its own window at its own
// scroll position.
// Reads: view_graphics[view], current_graphics_view.
// Failure: level 4 "Call to offscreen_copy_view for current view!", "Call to
// offscreen_copy_view for view %hd; ViewData pointer is NIL!"; nothing is copied.
void offscreen_copy_view(int view);

// ---- Selection marks ------------------------------------------------------------------------
// Both map layout units to page pixels through the integer part of the zoom (at least 1).
// show_selection_inverted: inverts a rectangle of the page and refreshes the window.
void show_selection_inverted(const VirtualRect& r);
// draw_selection_frame: frames a rectangle of the page in grey by exclusive-or and writes the
// number beside it; with refresh, copies the page to the window. With no voices it only
// empties framed_selection_rect.
void draw_selection_frame(const VirtualRect& r, int32_t number, int refresh);
