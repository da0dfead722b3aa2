// accidentals.h: the columns of a chord's accidentals.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// place_accidentals: sets the accidentals of the notes first..last of a staff chord in
// columns to the left of the heads; returns the leftmost accidental's x, or `left` when none
// stands further left.
int32_t place_accidentals(Drosa first, Drosa last, int pstaff, int32_t left);
