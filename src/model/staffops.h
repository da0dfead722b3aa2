// staffops.h: staff chords: the notes of one pstaff and layer that stand at one time
// position, linked through their NTDATA records into the print chain of that staff.
#pragma once

#include <cstdint>
#include <vector>

#include "model/drosa.h"
#include "model/node_kinds.h"

// ---- Walking a print chain -------------------------------------------------------------------
// The NTDATA right after a note (a chain head too), as the current context sees it; NIL for
// anything that is not a NOTE and for a note the layout has not formatted. The layout links a
// note's NTDATA straight after it, so this is what find_next_kind_before_note(NTDATA, note)
// finds, without walking on past a note that has none.
inline Drosa note_ntdata(Drosa note) {
  Drosa nt = note && note->xkind == NOTE ? note->xnext : NIL;
  return nt && effective_kind(nt) == NTDATA ? nt : NIL;
}
// The next and the previous note of a note's print chain; NIL at its ends or without NTDATA.
Drosa chain_next(Drosa note);
Drosa chain_prev(Drosa note);
// The notes of the staff chord that begins with `first`, in chain order.
std::vector<Drosa> staff_chord_notes(Drosa first);
// The CDDATA and CDDATA2 that follow the NTDATA of a staff chord's last note; NIL when they
// are not there.
Drosa last_note_cddata(Drosa last);
Drosa last_note_cddata2(Drosa last);

// ---- Staff chords ------------------------------------------------------------------------------
Drosa chord_first_note(Drosa node);
Drosa chord_last_note(Drosa node);
void chord_extent(Drosa node, Drosa* first, Drosa* last);
// First and last note of the staff chord, and as result the shortest duration of its notes.
int32_t chord_bounds(Drosa node, Drosa* first, Drosa* last);
void stem_group_bounds(Drosa note, Drosa* first, Drosa* last);
Drosa stem_group_extreme(Drosa note, int* cue_out);
// The CDDATA of the staff chord of a visible note; NIL (reported unless quiet) otherwise.
Drosa cddatptr(Drosa note, int quiet);
Drosa layer_first(Drosa node);
Drosa layer_last(Drosa node);
int startstf(Drosa note);
int endstf(Drosa node);
void insertstf(Drosa note, Drosa place);
// Takes a note out of its staff chord and print chain; returns its NTDATA.
Drosa removestf(Drosa note);
Drosa beam_next(Drosa note, int* hand_out);
int precedingLHRH(Drosa first, Drosa last, Drosa* print_out);
int followingLHRH(Drosa first, Drosa last);
inline constexpr int ALL_VOICES = -100;
Drosa search_staff_chord(int kind, Drosa first, Drosa last, int voice);
