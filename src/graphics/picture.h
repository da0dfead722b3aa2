// picture.h: a picture of a rectangle of the formatted page for the system clipboard.
#pragma once

#include "graphics/graphics_globals.h"

// picture_of_page_rect: draws the elements of the view's GE list that meet the rectangle (layout
// units) into a picture of it and puts that on the system clipboard: as printed, at the printing
// resolution, or with `screen_size` as the screen shows it, at the screen's. The bytes put
// there; -1 when the clipboard could not take it.
// Reads: the GE list, zoom_factor, page_pixel_width and _height. Writes: the system clipboard.
long picture_of_page_rect(const VirtualRect& r, bool screen_size);
