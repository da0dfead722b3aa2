// drawtie.h: the curves of ties and slurs that the slur layout collects, and pitch-bend marks.
#pragma once

#include <cstdint>

#include "graphics/ge_services.h"
#include "model/model_services.h"

// draw_bend: a pitch-bend mark from note1 to note2. On a tablature staff the bend glyph
// (parameter 627 up, 628 down; var 71) and, for a note alone in its chord, the range in
// semitones ("1/2", "Full", "%d", "%d 1/2"; var 74). Otherwise two lines (var 71) from
// (x1, y1) up to an apex of height parameter 623 (below for side 1) and down to (x2, y2).
// Reads:  parameters 618, 623, 627, 628, 641; staff_data.
// Writes: the GE list.
void draw_bend(Drosa note1, Drosa note2, int side, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
               int dash, int gap, int pstaff);
