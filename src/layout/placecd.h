// placecd.h: horizontal placement of a chord's heads, seconds, dots, rests and stems.
#pragma once

#include <cstdint>

#include "layout/layout_services.h"
#include "model/model_services.h"

struct StaffData;

// ---- Chord placement ------------------------------------------------------------------------

// placecd: places the staff chord that begins with `note` on its pstaff and layer at the
// packed x spacing_x; returns the x of its left edge, accidentals included.
int32_t placecd(Drosa note, int pstaff, int layer);
// notehead_offsets: places the stem group first..last at x, a head a second or a unison from
// its neighbour on the far side of the stem; 1 when a head was displaced (the group is then
// marked xcluster), else 0.
int notehead_offsets(Drosa first, Drosa last, int32_t x, int staff);
