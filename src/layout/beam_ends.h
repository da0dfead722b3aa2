// beam_ends.h: where beams end and where they join.
#pragma once

#include <cstdint>

#include "layout/layout_services.h"
#include "model/model_services.h"

// setendbm: marks the stem group first..last of one staff chord; time is the chord's time from
// the start of its measure.
void setendbm(Drosa first, Drosa last, int pstaff, int32_t time);

// Whether a note may carry a beam: not a rest, not stemless, not on a staff of type 2, and
// shorter than a quarter note.
bool can_carry_beam(Drosa note, int pstaff);

// Closes the beams still open at the last note of a layer's chain.
void beam_chain_recurse(Drosa note);
