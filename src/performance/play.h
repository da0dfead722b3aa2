// play.h: the play engine: the voice lists of the current notation context turned into timed
// MIDI events, live through the play queue (the Hear command) or at once into a MIDI file.
#pragma once

#include <cstdint>

#include "model/model_services.h"
#include "performance/performance_services.h"

// repeat_jump: at score time `time`, the node the leading voice goes on from when the bar
// line before its next note makes a jump (a repeat back, an ending skipped, a jump to a
// measure), else NIL; with committing the bar's pass counter counts this pass.
Drosa repeat_jump(int64_t time, int first, int committing);

// end_due_notes: a note-off for every sounding note of the tied class (0 untied, 1 tied, 2
// both) that ends at or before `time`, at its own end.
void end_due_notes(int64_t time, int tied_class, int file_mode);

// The rate of a tempo: time units per ms for bpm beats per minute of note value `unit` (3 a
// quarter) with the Hear dialog's factor.
double tempo_rate_of(double factor, double bpm, int32_t unit);
