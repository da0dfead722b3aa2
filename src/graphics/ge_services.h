// ge_services.h: what the rest of the program asks of the graphics code: font codes, glyph
// choices, the zoom, the port in which text is measured, flashing and the GE list's state.
// Other folders include this header and no other header of graphics/.
#pragma once

#include <cstdint>

#include "graphics/GE.h"
#include "graphics/beam_buffer.h"
#include "graphics/chord_parts.h"
#include "graphics/drawtie_services.h"
#include "graphics/flash.h"
#include "graphics/ge_fields.h"
#include "graphics/ge_visible.h"
#include "graphics/glyph_tables.h"
#include "graphics/graphics_globals.h"
#include "graphics/note_colors.h"
#include "graphics/offscreen.h"
#include "graphics/plot.h"
#include "graphics/plot_page.h"
#include "graphics/postscript.h"
#include "graphics/print.h"
#include "graphics/printbeam.h"
#include "graphics/printcd.h"
#include "graphics/raster.h"
#include "graphics/specplot.h"
#include "model/model_services.h"

struct Port;

// The port of the current music window's page (offscreen.cpp), in which text is measured; a
// small port of its own while there is no page.
Port* offscreen_port();

// ---- Asked by the layout passes (least versions until drawing is built) -------------------

// flash_idle: one tick of the insertion point's flashing.
void flash_idle();

// ---- Asked by the debug dumps (least versions until drawing is built) ---------------------

// debug_GE: writes "\nContents of the GE list:\n" and a line per element of the current view's
// GE list (its kind and node) to the debug stream.
// Reads: GE_head and the list.
void debug_GE();
// dump_GE: writes the same into the file "Graphics Objects.dump" of the working folder,
// announced on the debug stream.
// Failure: a file that cannot be opened is said on the debug stream; nothing else happens.
void dump_GE();
