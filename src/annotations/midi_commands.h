// midi_commands.h: command texts that send MIDI: the bytes playback sends for one, and the
// MIDI nodes of older pieces turned into such texts.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// parse_midi_anno: the MIDI bytes (0 to 12) of the command text whose TPARAM is given:
// "program N" (C0+channel, N-1), "control C V" (B0+channel, C, V), "pressure V" (D0+channel,
// V), "midi XX XX ..." (up to 12 raw hexadecimal bytes); each may end in " time T" (T
// hexadecimal, returned through *time, else 0). "channel N" (1..16) changes *channel to N-1
// and "note N" (0..127) makes the next note of the system, before the end of the system,
// sound key N instead of its own through the 128-byte key_map (may be null; a note whose key
// does not fit the map leaves it alone); both give 0
// bytes. A program, controller or pressure whose data byte would not fit in 7 bits gives
// nothing (it would reach the instrument as a status byte); raw bytes are sent as written.
// Reads: the annotation's first style run (get_anno_text), the next note's pitch word.
// Writes: *channel, *time, bytes, key_map.
int parse_midi_anno(Drosa tparam, int* channel, uint8_t* bytes, int32_t* time, uint8_t* key_map);

// midi_nodes_to_annos: each MIDI node attached before `note` (up to 12 message bytes, a time,
// a byte count) becomes a hidden command text of class "midi" there, the first 12 units above
// the note and each further one a line higher: "program N", "pressure N" or "control C V" for
// those messages on any channel (the channel is not kept), else "midi" and each byte in two
// hexadecimal digits; a time other than 0 as " time T" in hexadecimal. The node is destroyed.
// A count above 12 takes 12 bytes, one of 0 or less none.
// Reads: parameters 578 and 579 at the note. Writes: the annotations (with undo), the list.
void midi_nodes_to_annos(Drosa note);
