// printbeam.h: drawing one beam group of one printed staff with its chords and stems.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// printbeam: draws the beam group from first to last on the printed staff; a group of one
// staff chord is drawn by printcd and its result returned.
int32_t printbeam(Drosa first, Drosa last, int staff, int flag);
