// pianowin.h: the piano window: a small floating window that stays on the screen while the
// program runs. Its top strip is an 88-key keyboard (A0 to C8) with a rest key; below it lies
// the note-attribute palette (palette.h) and, while a special-accidental set is chosen, two rows
// of special accidentals. Played keys are marked on the keyboard.
//
// Coordinates are the window's own layout pixels (x = h to the right, y = v downward); the
// drawing goes through the scaled wrappers of piano_draw.h.
#pragma once

#include <cstdint>

#include "platform/events.h"
#include "platform/geometry.h"
#include "platform/port.h"

// ---- The window ------------------------------------------------------------------------------
// create_piano_window: makes, sizes, places and shows the window (start-up): at its stored
// place and size (clamped to 427..1006 x 51..120 and to the screen), or at the bottom left of
// the screen, 503 x 60, when none is stored.
// Reads:  prefs (piano corner and size), the screen's bounds.
// Writes: piano_dialog, palette_window, screen_avail_rect, piano_drag_bounds, the scale
//         factors, prefs (the clamped place and size).
void create_piano_window();
// place_piano_window: sizes the window for what it shows (503 x 100 while a special-accidental
// set is chosen, else 503 x 60), keeps it at the bottom of the screen when it was docked there,
// and has the palette and the rows below the keyboard drawn again.
// Reads: spacc_template, piano_tall. Writes: piano_tall, the scale factors.
void place_piano_window();

// ---- The keyboard ----------------------------------------------------------------------------
// point_to_piano_key: the key under a point of the window: true with *key (-1 the rest key;
// else 21..108 moved by keyboard_shift and kept to 1..125), false when the point is on no key.
// Reads: keyboard_shift.
bool point_to_piano_key(Point where, int32_t* key);
// highlight_piano_key: toggles the mark of a key (the rest key: gray when on, dark gray when
// off). A key that is not on the keyboard after the shift is taken off draws nothing.
// Reads: keyboard_shift.
void highlight_piano_key(int32_t key, bool on);
// draw_piano_keyboard: every key, the mark of the key that sounds middle C, and the rest key
// unmarked; redraw_piano_keyboard the same with the pen kept, and the rest's symbol.
void draw_piano_keyboard();
void redraw_piano_keyboard();
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
// piano_event: a mouse-down or update event of the window. An update draws the window afresh;
// a press on a key plays it (and enters it when the button goes up, unless Shift holds the
// chord open); Command-press assigns a computer key to the point; a press on a palette box or
// a special accidental acts on it; a press anywhere else drags the window (not while keys are
// collected), and its new place is kept in the preferences.
// Failure: level 4 "piano_event incorrectly received an activateEvt!" for an activate event.
void piano_event(const EventRecord& event);
// piano_update: draws the whole window afresh (its update event).
void piano_update();
