// pitch.h: the pitch of notes: spelling a pitch class, the MIDI key of a spelled note, and a
// note's pitch word (MIDI key << 8 plus a fraction 0..199 in 1/200 semitone).
#pragma once

#include <cstdint>

#include "model/model_services.h"
#include "performance/performance_services.h"

// special_pitch: the pitch in 1/200 semitone of a position with standard or special
// accidentals (count codes; none: the accidental code), tuned by the piece's tuning table;
// special codes (6 and up) take their cents from parameters 479.. read at the note.
// Reads: perf_defaults (tuning), the parameters.
int32_t special_pitch(int32_t position, int count, int accidental, const uint8_t* codes,
                      int32_t transposition, Drosa note);

// key_to_pitch_word: the pitch word of a played MIDI key spelled as key_spelling prefers,
// tuned by the piece's tuning table.
// Reads: key_spelling, perf_defaults (tuning).
uint16_t key_to_pitch_word(int32_t key);

// insert_played_notes: enters the played chord (count records) at the insertion point as
// copies of the current-note template, spelled, with their special accidentals and
// staccatissimo marks; mode 2 (a recording) leaves the annotation style alone and moves the
// insertion point on over page ends without turning the page. Returns the first NOTE
// inserted, NIL when nothing was (the template's one-shot attributes are cleared either way).
// Reads:  insertion_point, entry_node, note_entry_active, duration_edits_enabled,
//         current_note_template, spacc_template, options of the Score and current context.
// Writes: the voice list through insert_note (with undo), the template's one-shot fields.
Drosa insert_played_notes(PlayedNote* notes, int count, int mode);
