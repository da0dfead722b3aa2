// performance_services.h: what the rest of the program asks of the performance code.
// Other folders include this header and no other header of performance/.
#pragma once

#include <cstdint>

#include "model/model_services.h"
#include "platform/events.h"

// Recomputes the default sounding lengths (xlength) and times to the next note (xttn) of
// the notes from first to last, with set_pitch their pitch words (xpitch) and with
// set_volume their volumes.
// Reads:  perf_defaults (dynamic levels), the KEYSIG in force (key_transposition).
// Writes: xlength, xttn, and as asked xpitch and xvolume of the notes.
void set_default_performance(Drosa first, Drosa last, int set_pitch, int keep, int set_volume,
                             int code, int32_t old_ttn);

// Recomputes the start times of the grace notes before a note (mode 0 before a grace stretch
// is deleted, 1 for the neighbour after a deletion).
void change_grace_time(Drosa first, Drosa last, int mode);

// ---- Idle work while a page is formatted ------------------------------------------------------
// One step of the play engine; the state it gives goes to adjust_cursor.
int32_t play_music(int a, int b);
// The piano window's idle work (MIDI input, played keys); non-zero when it did something.
int32_t piano_idle(int flag);
// Non-zero when the piano window takes the typed key.
int32_t piano_key_equivalent(const EventRecord& event, int flag);
// Redraws the piano palette window.
void draw_piano_window();
