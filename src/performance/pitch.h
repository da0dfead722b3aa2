// pitch.h: the pitch of notes: spelling a pitch class, the MIDI key of a spelled note, and a
// note's pitch word (MIDI key << 8 plus a fraction 0..199 in 1/200 semitone).
#pragma once

#include <cstdint>

#include "model/model_services.h"

// One spelling of a pitch class: the diatonic step from C of the octave (-1 is B of the
// octave below, 7 C of the octave above) and the accidental code (1 double flat .. 5 double
// sharp).
struct Spelling {
  int8_t step;
  uint8_t accidental;
};

// The three spellings of each of the 12 pitch classes (C natural, B sharp, D double flat; ...).
extern const Spelling pitch_spelling_table[12][3];

// step_to_key: the MIDI key of diatonic position `position` (middle C is 35) with the
// accidental code (0 none) and a transposition in semitones.
int32_t step_to_key(int32_t position, int accidental, int32_t transposition);

// special_pitch: the pitch in 1/200 semitone of a position with standard or special
// accidentals (count codes; none: the accidental code), tuned by the piece's tuning table;
// special codes (6 and up) take their cents from parameters 479.. read at the note.
// Reads: perf_defaults (tuning), the parameters.
int32_t special_pitch(int32_t position, int count, int accidental, const uint8_t* codes,
                      int32_t transposition, Drosa note);

// note_pitch_word: the pitch word of a NOTE, from the SPACC attached before it when there is
// one, else from its accidental, with the transposition in force at the note.
uint16_t note_pitch_word(Drosa note, int32_t transposition);

// key_to_pitch_word: the pitch word of a played MIDI key spelled as key_spelling prefers,
// tuned by the piece's tuning table.
// Reads: key_spelling, perf_defaults (tuning).
uint16_t key_to_pitch_word(int32_t key);

// A key of a played chord, as the piano window, MIDI input and the recorder hand it on.
struct PlayedNote {
  int32_t key = 0;      // MIDI key; -1 a rest
  bool tie = false;     // tied to the next chord
  int spacc_count = 0;  // special accidentals chosen (up to 15)
  uint8_t spacc_codes[15] = {};
  int requested_accidental = 0;  // accidental asked for in the palette, 0 none
  int accidental = 0;            // the accidental chosen
  int32_t position = 0;          // diatonic position chosen (middle C is 35)
  uint16_t pitch = 0;            // pitch word
  uint8_t volume = 100;
  int32_t template_staccatissimo = 0;  // put a staccatissimo before the note
};

// special_acc_entry: spells one played key at the insertion note (its voice's transposition
// taken off): by the special accidentals chosen (white keys only), else the accidental asked
// for, else the spelling of an earlier note on the same line in the measure (a tied one
// first), else key_spelling; then gives the record its position, accidental and pitch word.
// Reads: key_spelling, the voice before the insertion note, notes_locked of the current
//        context, perf_defaults. Writes: the record.
// Failure: level 2 warnings when special accidentals meet a black key.
void special_acc_entry(PlayedNote* note, Drosa insertion_note);

// insert_played_notes: enters the played chord (count records) at the insertion point as
// copies of the current-note template, spelled, with their special accidentals and
// staccatissimo marks; mode 2 leaves the annotation style alone. Returns the first NOTE
// inserted, NIL when nothing was (the template's one-shot attributes are cleared either way).
// Reads:  insertion_point, entry_node, note_entry_active, duration_edits_enabled,
//         current_note_template, spacc_template, options of the Score and current context.
// Writes: the voice list through insert_note (with undo), the template's one-shot fields.
Drosa insert_played_notes(PlayedNote* notes, int count, int mode);
