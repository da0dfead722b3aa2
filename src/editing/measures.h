// measures.h: Insert Measures and Delete Measures. Whole measures of rests go into every voice
// (or the voices of one staff) at the insertion point or at the end of its system, in new
// systems and pages when asked; measures come out of the voices at the insertion point with the
// staff, clef, time and beaming settings in force after them kept. The same routine fills a new
// piece with its first measures.
#pragma once

#include <cstdint>

#include "editing/editing_services.h"
#include "model/model_services.h"

// get_timesig_beaming: the default beam grouping of a time signature: the beat value of its
// groups and of its secondary groups (time units).
// Failure: level 4 "bad call to get_timesig_beaming" for a node that is no visible TIMESIG;
//          0 and 0.
void get_timesig_beaming(Drosa timesig, int32_t* group, int32_t* sub);

// make_new_piece: the two voices of a new piece, one part of two staves, with the first
// measures the user asks for (make_measures), a 4/4 time signature and its default beaming;
// the model opens a new piece through its hook.
// Writes: voice_count, piece_start, page_count, group_selected, insertion_point (cleared).
// Failure: 0 when the user cancelled (the voices made stay for the caller to let go of).
int make_new_piece();

// Delete Measures: all staves (1) or the insertion point's staff (0), kept between uses.
extern int32_t delete_measures_all_staves;

// The rests that fill one empty measure of `beats` beats of value `beat_value` (a power of two
// from 1 to 64): a chain of rest NOTE nodes linked to nothing, with their playback data; NIL
// after the level 4 report for a beat value that is no power of two.
Drosa measure_template(int beats, int beat_value);

// adjust_deletion_bounds: widens the stretch first..last of one voice to whole nodes between
// notes: back to just after the previous note when the break after the stretch is to go with
// it, else forward to just before the next note and the nodes that qualify it. 0 (nothing
// changed) when no note would be left in the voice.
int adjust_deletion_bounds(Drosa* first, Drosa* last);

// restore_settings_in_force: before first..last is removed, puts a copy of each PRINT, CLEF,
// TIMESIG and BEAMING that is in force after the stretch, and not before it, in front of first
// (replacing one attached there). Recorded for undo.
void restore_settings_in_force(Drosa first, Drosa last);
