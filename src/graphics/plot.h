// plot.h: drawing the current view's GE list into the current port, for the screen, a printed
// page or the clipboard picture, and the screen redraw.
#pragma once

#include <cstdint>

#include "graphics/graphics_globals.h"
#include "model/model_services.h"
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
// selection's marks (the group's notes, the voice marks), the insertion point's flashing and
// the selection rectangles back on top.
// Reads:  the list, insertion_point, group_selected, voice_highlighted, selected_voice,
//         inverted_selection_rect, framed_selection_rect.
// Writes: the offscreen page and the music window.
void redraw_view();

// plot_text_run: draws the text run that holds the element at its position, then the adjacent
// runs that continue it at the pen (with skip_text, only steps over them); returns the last
// node drawn or stepped over.
// Reads: the list, zoom_factor. Writes: the current port; text_pen.
Drosa plot_text_run(Drosa element, int skip_text);

// The view transform as it was while the print transform stands in for it: zoom_factor and the
// page's pixel size follow the print transform's zoom.
struct SavedViewTransform {
  ViewTransform transform;
  float zoom = 10.0f;
  int32_t width = 0, height = 0;
};
// Reads: print_transform. Writes: view_transform, zoom_factor, page_pixel_width and _height,
// transform_saved.
SavedViewTransform use_print_transform();
void restore_view_transform(const SavedViewTransform& saved);
