// accidentals.h: the columns of a chord's accidentals.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// place_accidentals: sets the accidentals of the staff chord first..last, together with those
// of the chords of the other layers at the same time on the pstaff, in columns left of the
// heads of a chord whose origin stands at x = left; interlock is the shift that set the
// chord's two stem groups apart (0 for none). Returns the leftmost accidental's x, or `left`
// when none stands further left.
int32_t place_accidentals(Drosa first, Drosa last, int pstaff, int32_t left, int32_t interlock = 0);

// -1, 0 or 1 as the head of note a lies below, level with or above that of note b.
int accidental_sort_cmp(Drosa a, Drosa b);
