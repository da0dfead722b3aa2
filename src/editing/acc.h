// acc.h: printed accidentals. Every note keeps its full spelling (xmod7, xacc); whether the
// accidental is printed is the note's xaccplot bit, which these rules keep right as the
// music is edited: an accidental carries through its bar on its staff line, a tie carries it
// into the next bar, and the key signature implies the accidentals it holds.
//
// A line is the notes of one voice list on one xmod7 value; rests never count as notes of a
// line. Bar lines, system breaks and key signatures end the carrying of an accidental when
// the current notation context sees them.
#pragma once

#include <cstdint>

#include "editing/editing_services.h"
#include "model/model_services.h"

// ---- What is in force at a note -----------------------------------------------------------

// key_implies_accidental: whether the key signature (NIL: none) gives the step the accidental
// code without printing it; double accidentals never, and without a key only the natural.
bool key_implies_accidental(Drosa keysig, int32_t step, int accidental);

// find_adjacent_note_on_line: the note of the line that begins exactly where the note ends,
// tied or not (in the next bar when the note ends at its bar line); NIL when none. `time`,
// when given, is the BarTime of the note's chord.
Drosa find_adjacent_note_on_line(int32_t step, Drosa note, BarTime* time = nullptr);

// find_next_note_on_line: the next NOTE (a rest too) on the step after the node, before the
// next BAR, ENDSYST or KEYSIG; NIL when none.
Drosa find_next_note_on_line(int32_t step, Drosa node);

// effective_accidental: the accidental code in force for the note's step: that of the note
// it is tied from, else of the note the bar's accidental comes from, else the one the key
// signature implies (flat, natural or sharp).
int effective_accidental(Drosa note);

// record_note_change: records a NOTE for undo before the caller changes its own fields (its
// spelling, display or pitch word), which moves no key signature: a change of notes alone
// keeps the key-signature caches good, so the notes after it are not walked back again.
// Writes: the undo list.
void record_note_change(Drosa note);

// ---- Respelling -------------------------------------------------------------------------------

// respell_note: gives the note a new spelling: with a special accidental node, a copy of it
// before the note (step and accidental stay); else spelling `choice` (0..2) of MIDI key
// `key` from pitch_spelling_table. The note's and its neighbours' printed accidentals and
// its pitch word follow.
// Reads:  pitch_spelling_table, the key signature in force, the tuning.
// Writes: the note (recorded), its SPACC nodes (removed and inserted with undo), the
//         neighbours' xaccplot, the change flags.
// Failure: none; a choice outside 0..2 is taken as 0.
void respell_note(Drosa note, Drosa spacc, int32_t key, int choice);
