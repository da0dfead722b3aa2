// gliss.h: glissando lines between notes, the partner of a note in the next chord, and the
// left and right edges of a note.
#pragma once

#include <cstdint>
#include <vector>

#include "layout/layout_services.h"
#include "model/model_services.h"

// note_right_x: the x just right of a note: past its parentheses or dots (plus extra), past a
// rest's glyph, or past its head (x beyond it).
int32_t note_right_x(Drosa note, int32_t x, int32_t extra);
// note_left_x: the x just left of a note: before its parentheses (less extra), or its head
// (x before it).
int32_t note_left_x(Drosa note, int32_t x, int32_t extra);

// chord_notes: the notes of the staff chord a note belongs to, in chain order (glissandi and
// slurs look at a note's neighbours in its chord).
std::vector<Drosa> chord_notes(Drosa note);

// draw_gliss: the glissando line from the note to its partner in the next chord, drawn between
// the staves the two notes are drawn on. 0 when the note has no partner, else 1.
// Reads:  the chains and NTDATA of both notes, staff_data, parameters 141, 619-622, 642.
// Writes: the GE list (one GE_LINE, var 73, owned by the note).
int32_t draw_gliss(Drosa note, int pstaff);
