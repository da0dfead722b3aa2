// hear_dialogs.h: the modal dialogs of the Hear menu (Hear..., Tuning..., Dynamic Levels...,
// Default Playback..., Recompute Playback...), the voice's MIDI channel dialog and the
// spelling dialog of entered notes. Each reads its numbers through the typed item routines,
// which refuse an entry out of range with its message and keep the dialog open.
#pragma once

#include <cstdint>

#include "performance/performance_services.h"

// draw_dialog_glyph: a character parameter's glyph (as it stands at no note) drawn at (x, y)
// of the current port at `points`, its offsets scaled with it: the music the dialogs show.
void draw_dialog_glyph(int pindex, int x, int y, int points);

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
