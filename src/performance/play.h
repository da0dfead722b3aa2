// play.h: the play engine: the voice lists of the current notation context turned into timed
// MIDI events, live through the play queue (the Hear command) or at once into a MIDI file.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// hear_command: starts a play. file_mode: the MIDI export's walk, which runs to the end at
// once; quiet: no Hear dialog (with the tempo tempo_bpm on beat unit tempo_unit, 0: none, and
// the ignore_repeats given). Live play starts at the insertion point (the start of the page
// without one). Non-zero when a play was started.
// Reads:  the voice lists, their VINFO channel settings, prefs (output, metronome), the
//         insertion point, the selected voice. Writes: play_state, the BAR pass counters of the
//         leading voice, the VINFO play bits (through the Hear dialog), the play queue.
// Failure: level 2 "Sorry, output is turned off or your computer has no MIDI capabilities, so
//          you cannot use Hear." and nothing starts.
int hear_command(int file_mode, int quiet, int ignore_repeats, int32_t tempo_bpm,
                 int32_t tempo_unit);

// play_music: one step of the play: every score time the clock has reached is read and its
// events queued (about 2000 ms ahead); in file mode the whole piece at once. 1 while the play
// runs, 0 when none runs (or it has just ended).
int32_t play_music(int first, int file_mode);

// parse_metronome_text: the TPARAM of the annotation (or a later style run of it) that reads
// as a metronome mark: the note-value symbol of a beat unit (1 whole .. 6 thirty-second) in
// its font, optional dot symbols, "=" and a number; NIL when none does.
// Reads: the parameters of the tempo-mark symbols (12 .. 17, 582, 583) at the annotation.
Drosa parse_metronome_text(Drosa anno, double* bpm, int32_t* unit, int32_t* dots);

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
