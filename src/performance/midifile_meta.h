// midifile_meta.h: the meta events the play engine writes into a MIDI file being exported:
// tempo, time signature and text, each at its own time (time units, as the walk gives it).
#pragma once

#include <cstdint>

#include "model/model_services.h"

// write_midi_tempo: FF 51 03 and the microseconds per quarter note of `rate` (time units per
// ms), kept within 1 .. 16777215. Writes: the MIDI file.
void write_midi_tempo(double rate, int32_t time);
// write_midi_timesig: FF 58 04 nn dd cc 08 for a TIMESIG seen in the current context; nothing
// for a beat value below 1. Writes: the MIDI file.
void write_midi_timesig(Drosa timesig, int32_t time);
// write_midi_text: the annotation's text as a marker (6: boxed), text (1) or lyric (5, with a
// trailing blank unless it ends in a blank, "-" or "_") event; the text in ISO 8859-1 ('?' for
// a character it lacks), the glyphs of a music font written as words (a dynamic as "mf") or
// left out (anno_run_words). Nothing for an empty text. Writes: the MIDI file.
void write_midi_text(Drosa tparam, int32_t time);
