// ge_services.h: what the rest of the program asks of the graphics code: font codes, glyph
// choices, the zoom, the port in which text is measured, flashing and the GE list's state.
// Other folders include this header and no other header of graphics/.
#pragma once

#include <cstdint>

#include "graphics/GE.h"
#include "graphics/drawtie_services.h"
#include "graphics/flash.h"
#include "graphics/ge_fields.h"
#include "graphics/ge_visible.h"
#include "graphics/glyph_tables.h"
#include "graphics/graphics_globals.h"
#include "graphics/note_colors.h"
#include "graphics/offscreen.h"
#include "graphics/plot.h"
#include "graphics/printbeam.h"
#include "graphics/printcd.h"
#include "graphics/raster.h"
#include "model/model_services.h"

struct Port;

// The written value and dots of a note (a tremolo note's value re-expressed); 1 when it was
// re-expressed.
int decode_note_type(Drosa note, int* value, int* dots);

// The port of the current music window's page (offscreen.cpp), in which text is measured; a
// small port of its own while there is no page.
Port* offscreen_port();

// ---- Asked by the layout passes (least versions until drawing is built) -------------------

// Set by beam drawing on a system's ending ENDSYST when a beam of stems up (down) goes on into
// the next system.
inline constexpr auto xsys_beamup = bit_field("xsys_beamup", ENDSYST, 29, 7, 7);
inline constexpr auto xsys_beamdown = bit_field("xsys_beamdown", ENDSYST, 29, 6, 6);

// Whether the voice's system-start ENDSYST says a beam of stems up (2) or down (1) continues
// into the system; for now without the swap of a voice that changed staves there.
int stemdir_by_voice_pair(int voice, int direction);

// The fret of the note on a tablature string 1..7 (tuned by parameters 543..549); negative
// when the note cannot be played there.
int32_t check_tab_string(Drosa note, int string);

// plot_page: the drawing pass of the system being formatted; 0 when interrupted, else 1.
int32_t plot_page();

// flash_idle: one tick of the insertion point's flashing.
void flash_idle();

// ---- Asked by chord and accidental placement (least versions until drawing is built) -----

// Non-zero when the note's accidental is to be drawn beside its head. For now the note's
// accidental-plot bit, with simplified notation too (no head shape shows an accidental yet).
int shape_hides_accidental(Drosa note);

// ---- Asked by the debug dumps (least versions until drawing is built) ---------------------

// debug_GE: writes "\nContents of the GE list:\n" and a line per element of the current view's
// GE list (its kind and node) to the debug stream.
// Reads: GE_head and the list.
void debug_GE();
// dump_GE: writes the same into the file "Graphics Objects.dump" of the working folder,
// announced on the debug stream.
// Failure: a file that cannot be opened is said on the debug stream; nothing else happens.
void dump_GE();
// print_beam_buffer: writes the open beams of the layout to the debug stream; nothing to
// write until beams are drawn.
void print_beam_buffer();
