// GE.h: the graphics-element list of the current view and its constructors.
//
// The drawing passes never draw: they append elements here, at GE_tail. Before the elements of
// a new owner (the node they were drawn for) each constructor appends a NOTEPTR naming it.
// A var argument below 4 is the element's annotation class (GANNO); 4 and up is stored as the
// element's variety code. A colour of -1 asks for the owner's note colour.
#pragma once

#include <cstdint>
#include <string>

#include "graphics/ge_fields.h"
#include "graphics/graphics_globals.h"
#include "model/model_services.h"
#include "platform/port.h"

// ---- Starting a list ----------------------------------------------------------------------
// GEinit: starts a new list after GE_head. With save_old and a complete list, the list moves
// under a copy of the head that becomes old_GE_head (hit testing uses it until the new list is
// complete); otherwise the elements are freed.
// Reads:  GE_head, old_GE_head, GE_list_complete, reformat_pending.
// Writes: GE_head's links, GE_tail, old_GE_head, last_GE_owner (NIL), GE_list_complete (0).
// Failure: level 4 "GEinit called with GE_head == NIL" (nothing done), "GEinit called with
//          !save_old and old_GE_head != NIL", "Old Graphics Object list not NIL in GEinit."
//          (the older list is freed), "New Graphics Object list is empty in GEinit.".
void GEinit(int save_old);

// ---- Pages kept formatted -------------------------------------------------------------------
// keep_page_graphics: keeps a copy of the complete list as page `page`'s, formatted from change
// count `count` on (nothing when the piece changed since). kept_page_graphics: the head of the
// list kept for the page, NIL when there is none or it was made in another state: another
// notation context, view, zoom or mode, other options, page setup, parameters or preferences,
// or a piece changed since.
void keep_page_graphics(int32_t page, uint32_t count);
Drosa kept_page_graphics(int32_t page);

// ---- Constructors -------------------------------------------------------------------------
// All of them: Reads last_GE_owner, GE_tail, the owner's note colour for colour -1.
// Writes: the list (a NOTEPTR when the owner changes, then the element), GE_tail,
//         last_GE_owner. Failure: level 4 "unrecognized drawmode in GE.c" for a drawmode
//         above 1 (the element is still made with it).

// GEcharacter: the glyph of character parameter param at (x, y) plus the glyph's offsets;
// size above 0 replaces the glyph's size. Returns the font number stored.
// Also reads: the parameter in force at the owner (or, for clefs, time and key signatures and
// repeat dots, at pstaff's staff record), param_cur_size and param_ref_size.
// Also fails: level 4 "bad pstaff value for GEcharacter" (the element is still made).
int32_t GEcharacter(int drawmode, int32_t x, int32_t y, int pstaff, int param, int colour, int var,
                    Drosa owner, int size);
// GEcharacter_screen: nothing unless flag; then a screen twin (GSCREEN) of the glyph, always
// looked up at the owner. Returns the font number stored, 0 when nothing was made.
int32_t GEcharacter_screen(int drawmode, int32_t x, int32_t y, int pstaff, int param, int colour,
                           int var, Drosa owner, int flag);
// GEstring: a text run (GE_STRING nodes of 24 bytes and an attribute GE_CHAR) for the text
// in a font number; returns the attribute node. x = y = ADJACENT_TEXT continues at the pen.
// The run never follows staff moves when anno's flag word (node byte 24) has bit 1 set.
Drosa GEstring(int drawmode, int32_t x, int32_t y, int dx, int dy, int pstaff, int font, int cset,
               int size, int style, int colour, const char* text, int line_layout, int var,
               Drosa owner, Drosa anno);
// GEline: a line from (x1, y1) to (x2, y2) of a width in layout units, dashed when dash and
// gap (points) are both non-zero; a clip coordinate of 0 takes the ends' box widened by 280.
// Var 1 widens it to the notation context's minimum line width. Returns the line.
Drosa GEline(int drawmode, int32_t x1, int32_t y1, int pstaff1, int yreloc1, int32_t x2, int32_t y2,
             int pstaff2, int yreloc2, int width, int dash, int gap, int32_t clipx1, int32_t clipy1,
             int32_t clipx2, int32_t clipy2, int colour, int var, Drosa owner);
// GEline_screen: nothing (NIL) unless flag; then a screen twin of the line, without the var-1
// width rule.
Drosa GEline_screen(int drawmode, int32_t x1, int32_t y1, int pstaff1, int yreloc1, int32_t x2,
                    int32_t y2, int pstaff2, int yreloc2, int width, int dash, int gap,
                    int32_t clipx1, int32_t clipy1, int32_t clipx2, int32_t clipy2, int colour,
                    int var, Drosa owner, int flag);
// GEcurve: a cubic Bezier curve; fill draws it as a tapering lens. The control points' staff
// numbers are not stored. Returns the curve.
Drosa GEcurve(int drawmode, int32_t x1, int32_t y1, int pstaff1, int32_t c1x, int32_t c1y,
              int c1pstaff, int32_t c2x, int32_t c2y, int c2pstaff, int32_t x2, int32_t y2,
              int pstaff2, int fill, int dash, int gap, int colour, int var, Drosa owner);

// ---- Reading a list ---------------------------------------------------------------------
// GE_string_text: the text of the run that holds *element (a lone GE_CHAR's one character);
// leaves *element on the run's attribute node. Returns 1 when the next run is an adjacent
// text, else 0.
// Failure: level 4 "GE.c: bad GE kind in STRING: GE_CHAR expected" for another kind inside a
// run; its bytes are taken as text.
int GE_string_text(std::string* text, Drosa* element);
// GE_string_width: the width in pixels at its point size of the run that holds element (a
// lone GE_CHAR's character), in the element's font, size and style.
// Reads: offscreen_port(); the current port and its text state are kept.
int32_t GE_string_width(Drosa element);
// measure_GE_text: the text of the run that holds element, its attribute node, and its width
// (pixels) and font metrics at its font, size and style, measured in the offscreen port.
struct GEMeasuredText {
  std::string text;
  Drosa attributes;
  double width = 0;
  FontMetrics metrics;
};
GEMeasuredText measure_GE_text(Drosa element);

// ---- Changing a list --------------------------------------------------------------------
// GEyrelocate: moves the elements of printed staff pstaff down by dy, and those lying
// between it and a neighbour by half of dy (truncated toward zero), by each one's yreloc.
// Reads and writes: the current list. Failure: level 4 "GEyrelocate.c: Unrecognized
// graphics-Graphics Object kind %hd" for a node of another kind; the walk goes on.
void GEyrelocate(int pstaff, int32_t dy);

// expand_box_by_margin: the box of two corners, ordered and widened by 280 on every side.
void expand_box_by_margin(int32_t x1, int32_t y1, int32_t x2, int32_t y2, VirtualRect* box);
