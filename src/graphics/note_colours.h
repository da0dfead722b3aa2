// note_colours.h: which colour index a note is drawn in, and the colour of each index.
#pragma once

#include "model/model_services.h"
#include "platform/port.h"

// The colour index 0..15 of a note: its COLOR node's index, else 0.
int note_color_index(Drosa note);

// The colour of an index 1..15 in the colour table (the default table); index 0 and anything
// out of range are black.
RgbColour color_table_entry(int index);
