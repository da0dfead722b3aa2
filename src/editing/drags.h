// drags.h: the engraved page adjusted with the mouse: a chord moved sideways (a chord offset or
// a relocation zone), a rest up or down, an accidental sideways, a staff up or down. Each drag
// ends in an offset node before the note concerned, which the layout honours on every format;
// the Chord Drag and Staff Drag dialogs choose what a drag does, and the Clear menu takes the
// offsets away again.
#pragma once

#include <cstdint>

#include "model/model_services.h"
#include "platform/geometry.h"

// Chord drag types (the preference byte): the kind letter of the node each writes.
inline constexpr int DRAG_ZONE = '|', DRAG_CMOVE = '{', DRAG_RMOVE = 'a', DRAG_AMOVE = 'c';
// Staff drag modes: this staff; it and the staves below; those in this and every later system.
inline constexpr int STAFF_DRAG_THIS = 333, STAFF_DRAG_BELOW = 444, STAFF_DRAG_LATER = 555;

// chord_drag_dialog: dialog 17680, the chord drag type kept in the preferences.
void chord_drag_dialog();
// staff_drag_dialog: dialog 137, the staff drag mode kept in the preferences.
void staff_drag_dialog();

// drag_chord: follows the mouse from a press on the insertion point (or its accidental, type
// 'c') and stores the offset of the drag; 1 when a drag took place.
// Failure: level 4 "non-visible insertion_point %lx in drag_chord()"; 0.
int drag_chord(Point where, int type);
// chord_drag_limits: the offsets (page units) a drag of the type may reach from the insertion
// point's drawn place: *left <= 0 <= *right. False when the drag cannot be made (a zone at the
// start of its system, a rest on a staff without line distance).
bool chord_drag_limits(Drosa note, int type, int32_t* left, int32_t* right);
// store_chord_drag: the offset of a finished drag (page units; a rest's downward) stored in the
// node of the type, added to the one there; an offset that sums to 0 removes the node.
// Writes: the voice list (recorded), DrosaDirty.
void store_chord_drag(Drosa note, int type, int32_t offset);
// insert_zone: pins the chord of the note at x (page units) with a ZONE in every voice at its
// time, replacing the ZONEs there.
void insert_zone(Drosa note, int32_t x);

// next_drag_staff: follows a drag of the staff nearest a press in the music area; 1 when it
// handled the press (a drag, a refusal with its message), else 0.
// Failure: level 2 "Staff position cannot be changed until the screen is up to date.  (Wait for
//          the filled arrow-cursor.)"; level 4 "Bad drag type in next_drag_staff!".
int next_drag_staff(Point where, Rect area);
// apply_staff_drag: moves staff `staff` (the PRINT numbering) of the system that `in_system`
// stands in by `move` page units (down positive) as the mode says, through SDRAG nodes at the
// first note of each system concerned.
// Writes: the voice lists (recorded), DrosaDirty.
void apply_staff_drag(Drosa in_system, int16_t staff, int mode, int32_t move);

// clear_staff_drags: every SDRAG of the current page, or of the piece with whole_piece.
void clear_staff_drags(int whole_piece);
// The offsets of one kind attached to a note of a formatted print chain, removed one at a time
// with undo: chord offsets and zones, rest offsets, accidental offsets.
void delete_chord_offsets(Drosa note);
void delete_rest_offsets(Drosa note);
void delete_accidental_offsets(Drosa note);
