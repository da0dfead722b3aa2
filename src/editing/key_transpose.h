// key_transpose.h: notes and chord symbols brought from one key signature into another: the
// sounding pitch by the difference of the keys' transpositions and, when a direction is
// chosen, the written step and accidental by the distance between the keys' tonics.
#pragma once

#include <cstdint>

#include "editing/editing_services.h"
#include "model/model_services.h"

// key_tonic: the tonic step (0 C .. 6 B) of a key signature, from its last entry: a flat c
// gives (c + 4) mod 7, a sharp c (c + 1) mod 7; no entry, a natural or no key gives C.
int key_tonic(Drosa keysig);

// key_accidental_for_step: the accidental (2 flat, 3 natural, 4 sharp) the key gives a step.
int key_accidental_for_step(Drosa keysig, int32_t step);

// transpose_written_note: moves a written step and accidental from the old key to the new one
// by the distance between their tonics (direction 1 down, 2 up, 3 the nearest way, 0 as 2 but
// without the octave for equal tonics) and returns the new accidental; a result outside
// double flat..double sharp is spelled afresh from its key number by key_spelling. With a
// pitch word, it moves by the same number of semitones.
// Reads: key_spelling.
int transpose_written_note(uint16_t* pitch, int32_t* step, int accidental, Drosa new_key,
                           Drosa old_key, int direction);

// transpose_note_for_key: one note from the old key to the new: its pitch word by the
// difference of the keys' transpositions; with a direction its written step and accidental
// and the chord symbols attached before it, root and bass (the letter after the last '/'; rests
// take only the chord symbols); then, unless keep_display, its printed accidental is judged
// again (adjust_accidentals with acc_op).
// Reads:  the keys, the annotations before the note, key_spelling, parameters 25-29 and
//         584-588 at the note.
// Writes: the note, the chord symbols' text and style runs (all recorded for undo).
void transpose_note_for_key(Drosa note, Drosa old_key, Drosa new_key, int direction,
                            int keep_display, int acc_op);

// transpose_chord_symbol: the letter name at a character of a chord symbol's text (blanks
// skipped; the run, TEXT node and index of the character) with the accidental that follows it
// (a character in the font of one of the chord-symbol or note accidental parameters) moved
// from the old key to the new by the nearest way. The accidental is rewritten, given its own
// style run, or taken out. Anything but a letter a..g or A..G is left alone.
// Writes: the annotation's TEXT and TPARAM nodes (recorded for undo).
void transpose_chord_symbol(Drosa note, Drosa run, Drosa text, int index, Drosa new_key,
                            Drosa old_key);

// transpose_chord_symbols_by: the root and bass of every chord symbol attached before a note
// or rest (back to the previous note or the system's start) moved by a number of half steps
// and spelled as key_spelling prefers; whole octaves leave them alone. True when any moved.
// Reads:  key_spelling, parameters 25-29 and 584-588 at the note.
// Writes: the annotations' TEXT and TPARAM nodes (recorded for undo).
bool transpose_chord_symbols_by(Drosa note, int32_t half_steps);

// chord_symbol_head: an annotation head the current context sees that is classified as a
// chord symbol.
bool chord_symbol_head(Drosa node);
