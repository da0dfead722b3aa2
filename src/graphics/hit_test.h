// hit_test.h: what lies where on the drawn page: the element nearest to a point and the node
// it was drawn for, whether an element is the one an annotation draws, and the GE list
// written out as text.
#pragma once

#include <cstdint>

#include "graphics/ge_services.h"
#include "model/model_services.h"

// ---- Hit testing (hit_test.cpp) ----------------------------------------------------------

// find_GE_under_point: what a click at the page point (x, y) lands on: the element that
// find_nearest_GE finds, when the point lies in its hit box (its ends widened by
// GE_BOX_MARGIN on every side, expand_box_by_margin), with its note in *owner (may be null);
// NIL, and NIL in *owner, when the click is on empty paper.
// Reads and fails as find_nearest_GE.
Drosa find_GE_under_point(int32_t x, int32_t y, Drosa* owner);
