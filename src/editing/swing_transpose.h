// swing_transpose.h: three commands that run over the selection note by note: swung playback
// of pairs of chords written as plain eighths, transposition by half steps, and the rest flag
// copied from the note template into the selected rests.
#pragma once

#include <cstdint>

#include "editing/editing_services.h"
#include "model/model_services.h"

// The half steps of the last Transpose, as typed.
extern int32_t transpose_half_steps;

// transpose_note: one note by transpose_half_steps, respelled unless by whole octaves, with the
// chord symbols attached before it; a note that would leave the staff's positions (0 to 72) is
// left as it is, its chord symbols too. A rest moves only its chord symbols.
void transpose_note(Drosa note);

// copy_rest_flag: a rest whose rest flag (xseparate) differs from the note template's takes the
// template's, recorded for undo; notes are left alone.
void copy_rest_flag(Drosa note);
