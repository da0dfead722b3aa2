// beam_ends.h: where beams end and where they join.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// beam_end_pass: orders the notes of every staff chord and marks where beams must end or may
// go on. 0 when interrupted, else 1.
int32_t beam_end_pass();

// setendbm: marks the stem group first..last of one staff chord; time is the chord's time from
// the start of its measure.
void setendbm(Drosa first, Drosa last, int pstaff, int32_t time);

// Whether a note may carry a beam: not a rest, not stemless, not on a staff of type 2, and
// shorter than a quarter note.
bool can_carry_beam(Drosa note, int pstaff);

// Closes the beams still open at the last note of a layer's chain.
void beam_chain_recurse(Drosa note);

// join_beams_pass: joins beams across chords once stems are known. 0 when interrupted, else 1.
int32_t join_beams_pass();
