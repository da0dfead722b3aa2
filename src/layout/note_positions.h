// note_positions.h: staff geometry and the vertical positions of notes, rests and tablature
// numbers.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// ---- Clefs ----------------------------------------------------------------------------------
// The clef's whole-step offset: the diatonic position of the middle line (parameters 269 ...).
int32_t clefmod7(int clef_type, Drosa node);
// -(size x clefmod7) / 2, with the size of the pstaff (50 when staff < 0).
int32_t symbol_offset(int clef_type, Drosa node, int staff);
// base + (position x size) / 2, the position moved one step for a shaped head.
int32_t scaled_offset(Drosa note, int unused, int position, int32_t base, int32_t size);

// ---- Staff lines ----------------------------------------------------------------------------
// The width of staff line n (1..12; any other n reads line 1), scaled to the staff size.
int32_t scaled_staff_param(Drosa node, int n);
// The y of the lowest and highest line; `outer` counts staves of fewer than 3 lines as wider.
int32_t staff_bottom_y(int staff, int outer);
int32_t staff_top_y(int staff, int outer);
// The same, one staff size further out on a piano-tablature staff.
int32_t staff_bottom_y_outer(int staff);
int32_t staff_top_y_outer(int staff);

// ---- Piano tablature ------------------------------------------------------------------------
// The y of a MIDI key on a piano-tablature staff.
int32_t pitch_to_staff_y(int key, int staff);
// 0 for a white key, else the width of the key's black-key line (at least 1).
int32_t pitch_tab_string(int key, int staff);
// The pitch of the middle line; bottom and top (either may be null) get those of the outer
// lines.
int32_t staff_line_pitches(int staff, int32_t* bottom, int32_t* top);
// The nearest drawn black-key lines above and below y, with their widths; 0x80000000 for one
// not found.
void nearest_staff_positions(int32_t y, int staff, int32_t* above, int32_t* above_width,
                             int32_t* below, int32_t* below_width);
// Draws the key outline at the start of a piano-tablature staff.
void staff_lines_geometry(int32_t x, int pstaff);

// ---- The pass -------------------------------------------------------------------------------
// note_positions_pass: gives every note, rest and tablature number of the system its y, its
// staff size and tablature fields, and every staff chord its clef. 0 when interrupted, else 1.
int32_t note_positions_pass();
