// spacing.h: the horizontal spacing of a system: the curve that gives a duration its ideal
// space, and the pass that gives every staff chord its packed and its ideal x.
#pragma once

#include <cstdint>

#include "layout/layout_services.h"
#include "model/model_services.h"

// ---- The spacing curve ------------------------------------------------------------------------

// The largest ideal space one duration gets (ten thousand points): a curve pushed to its
// extremes cannot make the running positions of a system overflow.
inline constexpr int32_t MAX_DURATION_SPACE = 100000;

// ---- The pass ------------------------------------------------------------------------------

// spacing_tight: set while the system being formatted is spaced with its least gaps: one its
// piece ends where it does although its music, spaced as usual, is wider than its staves even
// squeezed. The gaps the spacing leaves clear between a chord and what follows it (behind a
// note, before an accidental, after a bar line, between syllables) then shrink to a share of
// themselves; what the chords and their signs cover does not, so nothing drawn meets.
extern bool spacing_tight;
// The shares, in per cent, of the gap behind a note (heads, dots and flags stay a little
// apart) and of the gaps before an accidental, after a bar line and between syllables (which a
// reader needs wider to tell them from the note or word they belong to).
inline constexpr int TIGHT_NOTE_GAP_PERCENT = 25;
inline constexpr int TIGHT_SIGN_GAP_PERCENT = 50;
// tight_gap: a gap of the spacing as the system takes it: whole, or while spacing_tight the
// share `percent` of it. Reads: spacing_tight.
inline int32_t tight_gap(int32_t gap, int percent) {
  return spacing_tight ? int32_t(int64_t(gap) * percent / 100) : gap;
}

// spacing_before and end_spacing: the spacing of a system whose print chains were ended before
// the chords at `time` (a measure's start: end_chains_before) goes on from where the spacing
// pass stood when it had placed the last chord before that time, and ends the system there, as
// a spacing of only the chords kept ends it. spacing_before puts back the pass's state (packed
// and ideal x, each pstaff's walk, the right edges specspace kept, the system's end time as a
// spacing of the kept chords finds it at its start); false, and nothing changed, when the
// pass kept no such place or a layer's chords were all cut off. end_spacing then spaces the
// system's end (what a caller leaves unplaced after the last chords, such as bar lines, is
// placed there as at any system end).
// Reads and writes what spacing_pass does.
bool spacing_before(int32_t time);
void end_spacing();

// find_next_chord: the layer's next chord as spacing_staff keeps it (next_first, next_last,
// next_cd2, next_point), read from the chains after its current note; find_next_chords reads
// it for every layer of the system. The walk calls it where it moves, and whatever changes the
// chains ahead of the walk (measures of rests taking chords out) must call it after.
void find_next_chord(SpacingStaff& s, int l);
void find_next_chords();

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
