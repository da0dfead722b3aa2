// ge_services.h: what the rest of the program asks of the graphics code: font codes, glyph
// choices, the zoom, the port in which text is measured, flashing and the GE list's state.
// Other folders include this header and no other header of graphics/.
#pragma once

#include <cstdint>

#include "graphics/flash.h"
#include "graphics/graphics_globals.h"
#include "model/model_services.h"

struct Port;

// The standard font codes: -1 Quor, -2 Sayl, -3 Sonata, -4 Geneva, -5 Times, -6 Symbol.
// Codes -1..-6 give the number found at start-up; anything else is already a number.
int32_t font_from_code(int32_t code);
// A standard font's number gives its code; any other number is returned unchanged.
int32_t code_from_font(int32_t number);

// The written value and dots of a note (a tremolo note's value re-expressed); 1 when it was
// re-expressed.
int decode_note_type(Drosa note, int* value, int* dots);

// The character parameter of an accidental code (1..5 ordinary, above 5 special).
int glyph_table_entry(int code, int allow_simplified);

// The port of the current music window's page, in which text is measured.
Port* offscreen_port();

// ---- The page's graphics elements ----------------------------------------------------------
// GEinit: starts a new, empty graphics-element list after GE_head. With save_old set and a
// complete list, that list is kept as old_GE_head (for erasing and hit tests) until the format
// completes; otherwise its elements are freed.
// Reads:  GE_head, GE_list_complete, old_GE_head, reformat_pending.
// Writes: old_GE_head, GE_tail, GE_list_complete; the elements of the list.
// Failure: level 4 "GEinit called with GE_head == NIL", "GEinit called with !save_old and
//          old_GE_head != NIL", "Old Graphics Object list not NIL in GEinit."
void GEinit(int save_old);

// plot_page: the drawing pass of the system being formatted; 0 when interrupted, else 1.
int32_t plot_page();

// redraw_view: draws the view from its graphics-element list.
void redraw_view();

// flash_idle: one tick of the insertion point's flashing.
void flash_idle();
