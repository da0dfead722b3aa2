// selection.h: the selection (selection.cpp) and the presses and arrow keys that change it
// (mouse_and_keys.cpp).
#pragma once

#include <cstdint>

#include "editing/editing_globals.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "platform/geometry.h"

// ---- Dispatching commands over the selection ----------------------------------------------------

// for_each_group_selected: fn for each member of the group on the current page (selected notes
// in MUSIC_MODE, annotations marked in their PDATA otherwise), voice by voice, each handed on
// only when the next is found: fn may change or remove the node it is given.
void for_each_group_selected(void (*fn)(Drosa node));
// apply_with_line_partner: fn for the node, first for its partner when it is one part of a line
// pair whose other part the walk will not visit.
void apply_with_line_partner(Drosa node, void (*fn)(Drosa node));
Drosa find_first_walked_node();
Drosa find_last_walked_node();
// set_note_selected: xselected of the note, or of every note of its vertical chord, made equal
// to `selected`, marking and unmarking only the notes that change.
void set_note_selected(Drosa note, int selected, int whole_chord);

// find_voice_start_note: the first NOTE (drawn_only: drawn note) on the page of the first voice,
// from `voice` by `step` (a negative voice counts from the end), that has one; that voice is
// selected. None: no voice is selected, NIL.
Drosa find_voice_start_note(int voice, int step, int drawn_only);

// button_still_down: true while the mouse button is held, with the mouse's place in `where`; a
// queued release ends a drag at its place (when in `window`) and stays queued for the main loop,
// which keeps it as the reference of the next double click.
// Reads: the event queue, the modifiers, the mouse.
bool button_still_down(int window, Point* where);
