// plot.h: drawing the current view's GE list into the current port, for the screen, a printed
// page or the clipboard picture, and the screen redraw.
#pragma once

#include "platform/geometry.h"

// Plot modes.
inline constexpr int PLOT_SCREEN = 1;   // into the offscreen page
inline constexpr int PLOT_PRINT = 2;    // a printed page
inline constexpr int PLOT_PICTURE = 3;  // the clipboard picture

// plot_GE_list: draws the elements that meet the update rectangle (pixels of the current
// port), clipped to it. Of a screen twin (GSCREEN) and the element after it, the screen draws
// the twin and print and picture the other; print-only annotations are left off the screen and
// screen-only ones off print and picture. With skip_text, characters and texts are left out.
// In print and picture modes the print transform stands in for the view's during the call.
// Reads:  GE_head and the list, zoom_factor, view_transform, page_pixel_width and _height,
//         print_transform, the colour table.
// Writes: the current port's pixels; its pen and text mode are put back; text_pen.
// Failure: level 4 "plot.c: Unrecognized Graphics Element kind %hd"; the walk goes on.
void plot_GE_list(Rect update, int mode, int skip_text);

// redraw_view: repaints the offscreen page from the list, copies it to the window, and puts the
// insertion point's flashing and the selection marks back on top.
// Reads:  the list, insertion_point, inverted_selection_rect, framed_selection_rect.
// Writes: the offscreen page and the music window.
void redraw_view();
