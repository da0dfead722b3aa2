// drags.h: the engraved page adjusted with the mouse: a chord moved sideways (a chord offset or
// a relocation zone), a rest up or down, an accidental sideways, a staff up or down. Each drag
// ends in an offset node before the note concerned, which the layout honours on every format;
// the Chord Drag and Staff Drag dialogs choose what a drag does, and the Clear menu takes the
// offsets away again.
#pragma once

#include <cstdint>

#include "editing/editing_services.h"
#include "model/model_services.h"
#include "platform/geometry.h"

// Staff drag modes: this staff; it and the staves below; those in this and every later system.
inline constexpr int STAFF_DRAG_THIS = 333, STAFF_DRAG_BELOW = 444, STAFF_DRAG_LATER = 555;

// chord_drag_limits: the offsets (page units) a drag of the type may reach from the insertion
// point's drawn place: *left <= 0 <= *right. False when the drag cannot be made (a zone at the
// start of its system, a rest on a staff without line distance).
bool chord_drag_limits(Drosa note, int type, int32_t* left, int32_t* right);
// insert_zone: pins the chord of the note at x (page units) with a ZONE in every voice at its
// time, replacing the ZONEs there.
void insert_zone(Drosa note, int32_t x);

// apply_staff_drag: moves staff `staff` (the PRINT numbering) of the system that `in_system`
// stands in by `move` page units (down positive) as the mode says, through SDRAG nodes at the
// first note of each system concerned.
// Writes: the voice lists (recorded), DrosaDirty.
void apply_staff_drag(Drosa in_system, int16_t staff, int mode, int32_t move);
