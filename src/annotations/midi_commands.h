// midi_commands.h: what playback asks of text annotations: the MIDI bytes of a command text,
// the pedal marks, and the volume of the dynamic in force at a note.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// parse_midi_anno: the MIDI bytes (0 to 12) of the command text whose TPARAM is given:
// "program N" (C0+channel, N-1), "control C V" (B0+channel, C, V), "pressure V" (D0+channel,
// V), "midi XX XX ..." (up to 12 raw hexadecimal bytes); each may end in " time T" (T
// hexadecimal, returned through *time, else 0). "channel N" (1..16) changes *channel to N-1
// and "note N" (0..127) makes the next note of the system, before the end of the system,
// sound key N instead of its own through the 128-byte key_map (may be null); both give 0
// bytes. A program, controller or pressure whose data byte would not fit in 7 bits gives
// nothing (it would reach the instrument as a status byte); raw bytes are sent as written.
// Reads: the annotation's first style run, the next note's pitch word.
// Writes: *channel, *time, bytes, key_map.
int parse_midi_anno(Drosa tparam, int* channel, uint8_t* bytes, int32_t* time, uint8_t* key_map);

// anno_is_style_b: 606 for an annotation that is the pedal-down mark (the glyph of parameter
// 606 in its font as its first character), 607 for the pedal-up mark (parameter 607), else 0.
// A release glyph followed by the press glyph (a pedal change) counts as pedal down.
// Reads: the parameters at the annotation, current_ncontext.
int anno_is_style_b(Drosa tparam);

// anno_text_style_index: the text style (an index of style_level_table) whose font, size and
// face the annotation has, -1 when none; *second receives the alternative style of a two-part
// dynamic, or -1. Text styles are not kept yet: always -1.
int anno_text_style_index(Drosa tparam, int* second);
// style_level_table: the dynamic level (0..9) each text style stands for, or -1.
int style_level_table(int style);

// first_styled_anno_value: the volume of the dynamic in force at a note, as the dynamic levels
// of perf_defaults give it; the sixth level while dynamics are not recognised.
// Reads: perf_defaults.
int first_styled_anno_value(Drosa note);
