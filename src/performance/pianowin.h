// pianowin.h: the piano window: a small floating window that stays on the screen while the
// program runs. Its top strip is an 88-key keyboard (A0 to C8) with a rest key; below it lies
// the note-attribute palette (palette.h) and, while a special-accidental set is chosen, two rows
// of special accidentals. Played keys are marked on the keyboard.
//
// Coordinates are the window's own layout pixels (x = h to the right, y = v downward); the
// drawing goes through the scaled wrappers of piano_draw.h.
#pragma once

#include <cstdint>

#include "performance/performance_services.h"
#include "platform/events.h"
#include "platform/geometry.h"
#include "platform/port.h"

// ---- The keyboard ----------------------------------------------------------------------------

// point_to_piano_key: the key under a point of the window: true with *key (-1 the rest key;
// else 21..108 moved by keyboard_shift and kept to 1..125), false when the point is on no key.
// Reads: keyboard_shift.
bool point_to_piano_key(Point where, int32_t* key);

// highlight_piano_key: toggles the mark of a key (the rest key: gray when on, dark gray when
// off). A key that is not on the keyboard after the shift is taken off draws nothing.
// Reads: keyboard_shift.
void highlight_piano_key(int32_t key, bool on);

// draw_piano_octave: the keys of one octave starting at x0 whose semitones lie in lo..hi.
void draw_piano_octave(int32_t x0, int lo, int hi);

// draw_rest_key: the rest key's strip and box in the pattern, then its symbol;
// draw_rest_key_symbol: erases the symbol's place and, when asked, draws the quarter rest.
void draw_rest_key(const Pattern& pattern);

void draw_rest_key_symbol(bool draw);

// ---- The memory indicator -----------------------------------------------------------------------

// draw_memory_indicator: "Memory" and the percentage of the node store in use, white on black,
// while a piece is open and more than 49 percent is used; erased once it is no longer so.
// Reads: voice_count, the node store. Writes: memory_shown.
void draw_memory_indicator();

// ---- Events ----------------------------------------------------------------------------------

// piano_update: draws the whole window afresh (its update event).
void piano_update();

// show_entry_hint_if_useful: after a key was played (clicked or typed) outside entry mode, with
// or without an insertion point, the palette tells how to enter notes.
// Reads: insertion_point, entry_node, duration_edits_enabled, notes_locked. Writes:
// entry_hint_shown.
void show_entry_hint_if_useful();
