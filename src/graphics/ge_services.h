// ge_services.h: what the rest of the program asks of the graphics code: font codes, glyph
// choices, the zoom, the port in which text is measured, flashing and the GE list's state.
// Other folders include this header and no other header of graphics/.
#pragma once

#include <cstdint>

#include "graphics/GE.h"
#include "graphics/beam_buffer.h"
#include "graphics/chord_parts.h"
#include "graphics/drawtie.h"
#include "graphics/flash.h"
#include "graphics/ge_fields.h"
#include "graphics/ge_visible.h"
#include "graphics/glyph_tables.h"
#include "graphics/graphics_globals.h"
#include "graphics/hit_test.h"
#include "graphics/marks.h"
#include "graphics/note_colors.h"
#include "graphics/offscreen.h"
#include "graphics/picture.h"
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
