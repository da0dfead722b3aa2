// ge_services.h: what the rest of the program asks of the graphics code: font codes, glyph
// choices, the zoom, the port in which text is measured, flashing and the GE list's state.
// Other folders include this header and no other header of graphics/.
#pragma once

#include <cstdint>

#include "graphics/flash.h"
#include "graphics/glyph_tables.h"
#include "graphics/graphics_globals.h"
#include "graphics/note_colors.h"
#include "model/model_services.h"

struct Port;

// The written value and dots of a note (a tremolo note's value re-expressed); 1 when it was
// re-expressed.
int decode_note_type(Drosa note, int* value, int* dots);

// The port of the current music window's page, in which text is measured.
Port* offscreen_port();
