// ge_visible.h: whether a graphics element meets a rectangle of the page.
#pragma once

#include "model/model_services.h"
#include "platform/geometry.h"

// check_GE_visible_in_rect: 1 when the element's box meets the rectangle (page pixels) with a
// positive area. A text whose origin lies inside meets it; other texts are measured in their
// font; lines take their width on every side; curves the box of their ends and control points
// widened by their greatest width.
// Reads: zoom_factor, page_pixel_height, offscreen_port() (its text state is kept).
// Failure: level 4 "Unrecognized Graphics Element kind %hd in check_GE_visible_in_rect"; 0.
int check_GE_visible_in_rect(Drosa element, Rect pixels);
