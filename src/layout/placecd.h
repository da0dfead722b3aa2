// placecd.h: horizontal placement of a chord's heads, seconds, dots, rests and stems.
#pragma once

#include <cstdint>

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
// adjust_rest_y: the final y of a rest: snapped to a key line on piano tablature, whole rests
// moved on one-line staves and when small, and the rest's RMOVE added.
void adjust_rest_y(Drosa rest, int staff);

// ---- Moves and lyric extents read by chord placement ------------------------------------
// The move of the AMOVE node attached before the note, else 0.
int32_t AMOVE_value(Drosa note);
// The RMOVE move of the note, in diatonic steps of the work record's staff when one is
// given; 0 without an RMOVE.
int32_t RMOVE_offset(Drosa note, const StaffData* staff);
// How far justification moves the note right of chords of lower layers it would overlap;
// for now 0 (no chord is moved).
int32_t accidental_overlap_space(Drosa note);
// The least left and greatest right x of the chord's lyrics (left and right keep their values
// when there are none); for now no chord has lyrics.
void lyrlth(Drosa note, int pstaff, int32_t y, int32_t* left, int32_t* right);
