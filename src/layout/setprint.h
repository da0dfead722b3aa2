// setprint.h: the print chains of a system's staves and their layers.
#pragma once

#include <cstdint>

#include "layout/layout_services.h"
#include "model/model_services.h"

// ---- Chain heads ----------------------------------------------------------------------------

// A chain head is a dummy NOTE followed by its NTDATA, linked into no voice list.
inline constexpr int CHAIN_HEAD_VOICE = 54;  // the voice number a head carries
// Empties a head: xendscd and xendbeam set, no chain links.
void reset_chain_head(Drosa head);
// The first note of a pstaff's layer chain; NIL when the chain is empty or has no head.
Drosa first_in_chain(int pstaff, int layer);

// ---- Building the chains ------------------------------------------------------------------

// end_chains_before: the print chains of the system first_pstaff..last_pstaff and the page's
// chord chain end before the staff chords at `time` (in the system) and after, as a layering
// of only the music before that time leaves them: each layer's chain ends at its last chord
// before the time, last_chord is the staff chord closed last before it, and the system's
// chord count is the number of the first time point left out. False, and nothing changed,
// when a chord left out at the time of the cut holds a grace note (it may belong to the music
// kept, as an after-grace note of its last chord), or no chord is left out. `rests`
// tells whether a chord of the system holds a rest: the spacing gives rests the measures they
// fill, and a spacing of the kept chords over again would find them given already.
// Reads:  staff_data chain heads, the chains' notes and chord records, last_chord.
// Writes: the NTDATA xpnext of each chain's new last note, staff_data pending notes and
//         chord count, the CDDATA3 xnextchord of the new last chord, last_chord.
bool end_chains_before(int32_t time, bool* rests);

// For sorting: -1 when a is more than 50 units shorter than b, 1 when more than 50 longer,
// else 0.
int compare_note_durations(Drosa a, Drosa b);
