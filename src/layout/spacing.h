// spacing.h: the horizontal spacing of a system: the curve that gives a duration its ideal
// space, and the pass that gives every staff chord its packed and its ideal x.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// ---- The spacing curve ------------------------------------------------------------------------
// The largest ideal space one duration gets (ten thousand points): a curve pushed to its
// extremes cannot make the running positions of a system overflow.
inline constexpr int32_t MAX_DURATION_SPACE = 100000;

// init_spacing_curve: makes the curve again from parameters 221 (the effect of duration) and
// 220 (the space of an eighth) in force at `node` when either differs from the values it
// was made from; the cache of spaces is then emptied.
// Reads:  parameters 220 and 221. Writes: spacing_curve.
// Failure: none. An effect of 1 or more (which would give every space infinity) or one that
//          is not a number is taken as 0.9, the largest the context's options allow, and
//          no number as 0.
void init_spacing_curve(Drosa node);

// space_for_duration: the ideal space of a duration: 0 for none, d / 256 in a context with
// linear spacing, else the curve's space, truncated and kept within 0..MAX_DURATION_SPACE.
// Reads: spacing_curve, the context's options. Writes: the curve's cache.
int32_t space_for_duration(int32_t d);

// ---- The pass ------------------------------------------------------------------------------
// time_signature_at: the TIMESIG in force at a note of a staff chord: for the chord the
// spacing walk of its layer passed last, or the next one, what the walk keeps for its pstaff
// (or one attached before the next chord); for any other note the object lookup's.
// Reads: spacing_staff, the chord records, the page's chains.
Drosa time_signature_at(Drosa note);
// measure_length_at: the measure in force at the note (its time signature's, scaled by the
// polytempo parameter when the piece sets it); 0 when no time signature gives one.
int32_t measure_length_at(Drosa note);
// spaced_duration: note_duration, with whole-measure and multi-measure rests counted by the
// measure time_signature_at finds (so that spacing never searches the page for it); and the
// shortest of a staff chord's notes (chord_bounds, so counted).
int32_t spaced_duration(Drosa note);
int32_t spaced_chord_duration(Drosa note);

// is_placeholder_rest: a hidden rest that is not a grace note, ends its staff chord and shares
// its staff with the other stem direction (CDDATA xoppos): it takes no time in ideal spacing.
bool is_placeholder_rest(Drosa note);

// spacing_pass: places the chords, accidentals, signs and lyrics of the system
// first_pstaff..last_pstaff and gives every staff chord its packed x (xorigin) and its ideal
// x (xidealx). 0 when interrupted, else 1.
// Reads:  the print chains of the system, their chord records, the parameters, staff_data.
// Writes: CDDATA xorigin, CDDATA2 xidealx, NTDATA xhdx (moved with their chord), what
//         placecd and specspace write, spacing_staff, spacing_x, spacing_idealx,
//         system_end_time, page_first_note (emptied when the page's first system begins),
//         staff_data first_note_x.
// Failure: none of its own; polls for an interrupt before every time point.
int32_t spacing_pass();
