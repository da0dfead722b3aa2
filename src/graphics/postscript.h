// postscript.h: the program's own PostScript for a printed page: the prolog of procedures,
// the calibration of each page, and the page's lines and curves as calls of those procedures;
// texts are drawn on the page's port and written by the printing session.
//
// Coordinates of the line procedures are layout units with y downward from the page's top,
// snapped to the printed page's pixels; those of the curve procedures are pixels.
#pragma once

#include <cstdint>
#include <string>

#include "model/model_services.h"
#include "platform/geometry.h"

// ps_emit: sends the text and a carriage return to the printing session, inside the block
// that is open. When the session refuses PostScript, says so once per run.
// Reads: print_session. Writes: ps_driver_warning_given.
// Failure: level 2 "Your printer driver is having trouble with PostScript from Vesk.  ..."
//          (once per run); nothing is sent.
void ps_emit(const char* text);
// ps_emit_format: the same for a formatted text.
void ps_emit_format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Opening a block sends the two empty procedures every block of ours begins with; closing
// one ends it. Both do nothing when the block is already open or closed.
// Reads and writes: ps_page.block_open.
void ps_open_block();
void ps_close_block();

// ps_prolog_text: the prolog's procedures, for the current zoom_factor.
std::string ps_prolog_text();
// ps_calibrate: the calibration blocks of a page and the minimum line width.
// Reads: prefs (the minimum printed line width). Writes: the current port's pen.
void ps_calibrate();

// ps_line: one line element, cut to the dash when it is dashed, or whole: from (x1, y1) to
// (x2, y2) in layout units, with the element's width, clip box and drawmode; the page
// rectangle is the printed page's pixels.
// Reads: zoom_factor and page_pixel_height (the print transform in force).
void ps_line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Drosa element, Rect page);

// draw_postscript_page: one page as PostScript: with prolog set, the prolog first; then the
// calibration, the elements, and the end of the page.
// Reads:  the GE list, print_transform, zoom_factor, parameters 326 and 328.
// Writes: ps_page, the current port (the printed page's).
// Failure: level 4 "Bad mode in print.c", "draw_postscript_page.c: Unrecognized Graphics
//          Element kind %hd"; the page goes on.
void draw_postscript_page(Rect page, int prolog);
