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
#include "graphics/plot.h"
#include "graphics/plot_page.h"
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

// ---- Printing (print_least.cpp until the printing session exists) ---------------------------
// Print_init: creates the printing session's objects at start-up.
void Print_init();
// print_release: releases them at quit (nothing when they were never made).
void print_release();
// print_piece: prints the current piece (-1: as a document given to be printed, without the
// print dialog); says that printing is not available yet.
void print_piece(int mode);
// page_setup: the Page Setup dialog for the current notation context (mode 0 from the menu);
// says that page setup is not available yet.
void page_setup(int mode);
