// hear_dialogs.h: the modal dialogs of the Hear menu (Hear..., Tuning..., Dynamic Levels...,
// Default Playback..., Recompute Playback...), the voice's MIDI channel dialog and the
// spelling dialog of entered notes. Each reads its numbers through the typed item routines,
// which refuse an entry out of range with its message and keep the dialog open.
#pragma once

#include <cstdint>

// Dialog numbers.
inline constexpr int HEAR_DIALOG = 9384;
inline constexpr int TUNING_DIALOG = 20202;
inline constexpr int VOLUME_DIALOG = 21178;
inline constexpr int LENGTHS_DIALOG = 7273;
inline constexpr int RECOMPUTE_DIALOG = 129;
inline constexpr int MIDI_CHANNELS_DIALOG = 131;
inline constexpr int SPELLING_DIALOG = 23407;

// hear_dialog: the tempo factor (percent of normal tempo / 100), whether repeats are ignored,
// and which voices are heard (the parts of the list; every voice of a part alike). 1 after OK,
// 0 after Cancel. On OK the VINFO play bits follow the list, and a touched list marks the
// piece changed unless the Score is published.
// Reads: the parts, the VINFO play bits. Writes: *factor, *ignore, play[], the VINFO play bits.
int hear_dialog(double* factor, bool* ignore, bool* play);

// tuning_dialog: the offsets in cents of the five accidentals of each step. 1 after OK.
// Writes: perf_defaults' tuning, the change flags.
int tuning_dialog();
// volume_dialog: the ten dynamic levels (percent) and "one level for all". 1 after OK.
int volume_dialog();
// lengths_dialog: the default sounding lengths, grace notes and the steps of the Modify
// Playback commands. 1 after OK; values read before a refused one stay stored.
int lengths_dialog();
// recompute_dialog: which playback data to recompute and how: pitches, volumes and the mode
// of set_default_performance (44 times kept, 42 later notes move, 41 the passage's length
// kept). 1 after OK.
// Failure: level 4 "Unexpected item returned from recompute dialog".
int recompute_dialog(int* pitches, int* volumes, int* mode);
// midi_channels_dialog: the selected voice's MIDI channel, channel mode and channel count,
// with undo. Nothing without a selected voice.
void midi_channels_dialog();
// spelling_dialog: how entered notes of each pitch class are spelled. 1 after OK (the new
// spellings kept), 0 after Cancel (the old ones back).
int spelling_dialog();
