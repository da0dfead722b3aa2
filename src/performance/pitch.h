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
