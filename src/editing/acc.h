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

#include "model/model_services.h"

// Operations of adjust_accidentals.
inline constexpr int ACC_CHANGED = 102;   // after notes were inserted or changed
inline constexpr int ACC_REMOVING = 103;  // before notes are removed or re-pitched
inline constexpr int ACC_OWN_ONLY = 104;  // the notes' own display only

// ---- What is in force at a note -----------------------------------------------------------
// key_implies_accidental: whether the key signature (NIL: none) gives the step the accidental
// code without printing it; double accidentals never, and without a key only the natural.
bool key_implies_accidental(Drosa keysig, int32_t step, int accidental);

// find_prev_note_on_line: the note of the line from which the accidental in force at the note
// comes: walking back from the node before it to the first BAR, ENDSYST or KEYSIG, the
// nearest note of the unbroken run of equal accidentals that prints its accidental, else
// the earliest note of that run; NIL when the line has no note there.
Drosa find_prev_note_on_line(int32_t step, Drosa note);

// BarTime: a note's time in its bar (find_time_in_bar), found when first asked for and kept
// for further questions about the same place while nothing of its bar changes.
class BarTime {
 public:
  explicit BarTime(Drosa note) : note_(note) {}
  int32_t operator()();

 private:
  Drosa note_;
  int32_t time_ = 0;
  bool known_ = false;
};

// find_tied_prev_note_on_line: the earlier note of the line whose tie ends where the note
// begins (within 50 time units): in the note's bar, or, for a note at the start of its bar,
// in the bar before. NIL when the nearest earlier note of the line is not tied. `time`, when
// given, is the note's BarTime, shared by several questions.
Drosa find_tied_prev_note_on_line(int32_t step, Drosa note);
Drosa find_tied_prev_note_on_line(int32_t step, Drosa note, BarTime* time);

// find_adjacent_note_on_line: the note of the line that begins exactly where the note ends,
// tied or not (in the next bar when the note ends at its bar line); NIL when none.
Drosa find_adjacent_note_on_line(int32_t step, Drosa note);

// find_next_note_on_line: the next NOTE (a rest too) on the step after the node, before the
// next BAR, ENDSYST or KEYSIG; NIL when none.
Drosa find_next_note_on_line(int32_t step, Drosa node);

// keysig_before: the key signature in force before the node (NIL none), as find_prev_kind
// finds it. A walk that reaches the node the last answer was found for takes that answer, so
// steps from note to note cost what lies between them, not the bars before.
// Reads: the voice list, keysig_answers. Writes: keysig_answers.
Drosa keysig_before(Drosa node);

// note_keysig_value: the transposition (key_transposition) of the key signature in force
// before the note; 0 without one.
int32_t note_keysig_value(Drosa note);

// effective_accidental: the accidental code in force for the note's step: that of the note
// it is tied from, else of the note the bar's accidental comes from, else the one the key
// signature implies (flat, natural or sharp).
int effective_accidental(Drosa note);

// record_note_change: records a NOTE for undo before the caller changes its own fields (its
// spelling, display or pitch word), which moves no key signature: a change of notes alone
// keeps the key-signature caches good, so the notes after it are not walked back again.
// Writes: the undo list.
void record_note_change(Drosa note);

// ---- Keeping the printed accidentals right --------------------------------------------------
// adjust_accidentals: re-evaluates xaccplot of the notes first..last of one voice list and
// of the note that follows each of them on its line. ACC_REMOVING judges the followers
// against what stands before the range, as if the range were gone; ACC_CHANGED against the
// notes as they now stand; ACC_OWN_ONLY decides only whether each note prints its own.
// Reads:  the voice list, current_ncontext, keysig_answers.
// Writes: xaccplot of the notes (each change recorded with modifyvc_with_undo), keysig_answers.
// Failure: level 4 "acc.c: unrecognized operation in adjust_accidental_plotting" (nothing
//          changes) and "Bad accidental in adjust_accidentals" (the note is passed over).
void adjust_accidentals(int op, Drosa first, Drosa last);

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

// respell_by_key_spelling_cb: respells a note (not a rest) as key_spelling prefers its
// pitch class. Reads: key_spelling.
void respell_by_key_spelling_cb(Drosa note);

// apply_palette_accidental_cb: gives a note (not a rest) the accidental chosen in the palette
// (that of current_note_template) or the chosen special accidental set (spacc_template); a
// pitch that the three spellings cannot give that accidental stays as it is.
// Reads: current_note_template, spacc_template.
void apply_palette_accidental_cb(Drosa note);
