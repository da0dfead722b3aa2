// setprint.h: the print chains of a system's staves and their layers.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// ---- Chain heads ----------------------------------------------------------------------------
// A chain head is a dummy NOTE followed by its NTDATA, linked into no voice list.
inline constexpr int CHAIN_HEAD_VOICE = 54;  // the voice number a head carries
Drosa new_chain_head();
// Empties a head: xendscd and xendbeam set, no chain links.
void reset_chain_head(Drosa head);
bool is_chain_head(Drosa note);
// The first note of a pstaff's layer chain; NIL when the chain is empty or has no head.
Drosa first_in_chain(int pstaff, int layer);

// ---- Building the chains ------------------------------------------------------------------
// setprint: links the notes of the system first_pstaff..last_pstaff into the print chains of
// their staves and layers, in time order. 0 when interrupted, else 1.
int32_t setprint();

// split_voices_to_layers: moves a voice that cannot share chords to layer r (1..7); non-zero
// when it moved one (the caller then runs setprint again).
int32_t split_voices_to_layers(int r);

// For sorting: -1 when a is more than 50 units shorter than b, 1 when more than 50 longer,
// else 0.
int compare_note_durations(Drosa a, Drosa b);

// split_unequal_chords: takes apart staff chords whose notes cannot share a stem. 0 when
// interrupted, else 1.
int32_t split_unequal_chords();
// split_off_chord: 1 when the staff chord that starts at `first` was taken out of the chord
// before it in its layer (it stands at the same time point), else 0. The signs attached
// before its notes (another voice's clef, key, time signature or bar line at that time) are
// stood for by the chord it was taken out of: nothing places or draws them a second time.
// Reads: the chain, the chords' CDDATA2 xchordNum.
int split_off_chord(Drosa first);

// ---- The system's first note ------------------------------------------------------------
// Writes the x of the system's first note into every pstaff of the system.
void set_first_note_x(int32_t x);
// That x, as the system's first pstaff holds it.
int32_t first_note_x();
