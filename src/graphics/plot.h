// plot.h: drawing the current view's GE list into the current port, for the screen, a printed
// page or the clipboard picture, and the screen redraw.
#pragma once

#include <cstdint>

#include "graphics/ge_services.h"
#include "graphics/graphics_globals.h"
#include "model/model_services.h"
#include "platform/geometry.h"

inline constexpr int PLOT_PRINT = 2;    // a printed page
inline constexpr int PLOT_PICTURE = 3;  // the clipboard picture

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
// The view transform that use_print_transform would put in place for the print transform
// `print` (of a zoom above 0), from this thread's.
// Reads: zoom_factor, page_pixel_width and _height.
SavedViewTransform print_view_of(const ViewTransform& print);
// Puts a view transform in place on this thread (another thread's stays as it is).
// Writes: view_transform, zoom_factor, page_pixel_width and _height.
void put_view_transform(const SavedViewTransform& view);

// plot_GE_list_of: plot_GE_list of the list that `head` leads, with the view transform as it
// stands (a print has put the print transform in place already). Changes nothing but the
// current port and this thread's text pen: pages are printed on several threads at once.
// Reads: the list, zoom_factor, page_pixel_height, the curve parameters.
void plot_GE_list_of(Drosa head, Rect update, int mode, int skip_text);
