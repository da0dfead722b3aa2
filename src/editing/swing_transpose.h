// swing_transpose.h: three commands that run over the selection note by note: swung playback
// of pairs of chords written as plain eighths, transposition by half steps, and the rest flag
// copied from the note template into the selected rests.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// The half steps of the last Transpose, as typed.
extern int32_t transpose_half_steps;

// swing_eighth_beam: when the voice chord that holds the note and the chord after it are two
// straight eighths on a beat, a dotted quarter and an eighth on a beat, or a triplet quarter
// and a triplet eighth, gives them the swung times of the swing ratio (parameter 705 at the
// first chord, taken only between 0 and 1) and writes them as plain eighths. Each note changed
// is recorded for undo.
// Writes: xttn, xlength, xtupl, xintimeof, xlgval of the pair's notes; DrosaDirty.
void swing_eighth_beam(Drosa note);
// swing_all_eighths: swing_eighth_beam for every NOTE of every voice.
void swing_all_eighths();

// transpose_prompt: asks for the number of half steps (-48 to 48) and transposes the selection.
void transpose_prompt();
// transpose_note: one note by transpose_half_steps, respelled unless by whole octaves; a note
// that would leave the staff's positions (0 to 72) is left as it is. Rests are skipped.
void transpose_note(Drosa note);

// copy_rest_flag: a rest whose rest flag (xseparate) differs from the note template's takes the
// template's, recorded for undo; notes are left alone.
void copy_rest_flag(Drosa note);
// rest_flag_command: the rest flag of the note template switched, then copied into the selected
// rests.
void rest_flag_command();
