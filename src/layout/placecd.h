// placecd.h: horizontal placement of a chord's heads, seconds, dots, rests and stems.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// placecd: places the chord that begins with `note` on its pstaff and layer; returns the x of
// its left edge.
int32_t placecd(Drosa note, int pstaff, int layer);
