// param_metrics.h: engraving parameters turned into the lengths that layout and drawing use:
// character parameters scaled to the staff, measured and drawn, and metrics chosen by the
// kind of note or rest. Every length is in tenths of a point, scaled to the staff size at
// the point of use as param_lookup.h's scale_param_length does.
#pragma once

#include <cstdint>

#include "model/model_services.h"
#include "params/param_table.h"

struct StaffData;

// ---- Character parameters -----------------------------------------------------------------
// Copies the character value in force into dest, with its point size, x and y scaled to the
// staff (the size kept to 8 bits); returns dest.
ParamValue* scaled_char_param(ParamValue* dest, int pindex, Drosa node, const StaffData* staff);

// Width of text (or, with nullptr, of the value's own character) drawn in the value's font,
// style and size, measured in the measuring port at the current zoom.
int32_t param_string_width(ParamValue value, const char* text);

// Drawing modes of pDrawChar.
inline constexpr int DRAW_CHAR_UNZOOMED = 0;  // sizes and offsets as they are (tenths / 10)
inline constexpr int DRAW_CHAR_ZOOMED = 1;    // the music window at its zoom
inline constexpr int DRAW_CHAR_PALETTE = 2;   // any other mode: the piano window's palette

// pDrawChar: draws the parameter's character (or text in its font) at the pen of the
// current port, offset by the parameter's x and y.
// Reads:  the parameter at node (a NOTE or NIL), prefs.use_sonata_font(), zoom_factor.
// Writes: the current port's pen, text font, face and size.
// Failure: a node that is not a NOTE is reported at level 4 and nothing is drawn.
void pDrawChar(int pindex, Drosa node, const char* text, int mode);

// The nearest 32-bit integer, halves away from zero; not a number gives INT32_MIN, and a
// value beyond the range gives the nearest end of it.
int32_t round_nearest_int(double x);

// ---- Metrics by note value ------------------------------------------------------------------
// Note-head width of a note with its NTDATA; widest: a whole note at its widest point.
int32_t hdw(Drosa note, int widest);
// How far a rest's glyph reaches below (descend) and above (ascend) its y, and the space
// given to it; screen: use the screen rest glyph (xscrrestchar) rather than the printed one.
int32_t rest_descend_size(Drosa rest, int screen);
int32_t rest_ascend_size(Drosa rest, int screen);
int32_t rest_width(Drosa rest, int screen);
// Offsets of slur ends; side 2 = above, anything else below.
int32_t slur_end_xoffset(Drosa note, int at_stem_end, int side);
int32_t slur_end_yclearance(Drosa note, int side, int32_t extra);
// y offset of a single-pitch tremolo from the stem end or the beam.
int32_t tremolo_yoffset(Drosa note, int beamed);
// x offset of a tuplet number; direction 2 = stem up.
int32_t tuplet_number_xoffset(Drosa note, int direction, int at_stem_end);
// The space after a key signature (0 for one without accidentals).
int32_t param_pair_select(Drosa node, const StaffData* staff);
// The width of accidental `code`, or with a group (a node holding a count byte and that many
// accidental codes, as KEYSIG and SPACC do) the summed width of its codes.
int32_t param_group_width(Drosa node, const StaffData* staff, int code, Drosa group);

// ---- Page margins of a staff ----------------------------------------------------------------
// Left and right x of a staff's systems on the page (staff: a pstaff of the page, negative
// for none); parity: the page number, whose low bit chooses the odd-page margins.
int32_t staff_left_x(int staff, int parity);
int32_t staff_right_x(int staff, int parity);

// The page's left x, width and height in the current view, in tenths of a point. No view
// keeps a page offset yet, so the left x is 0; the width and height come from the current
// notation context's options (tenths of an inch, 72 tenths of a point each). y grows upward
// from the page's bottom, so the height is also the y of its top.
int32_t layout_page_left_x();
int32_t layout_page_width();
int32_t layout_page_height();

// ---- Debugging ------------------------------------------------------------------------------
// param_value with checks: the slot's type must suit `expected` (PARAM_INTEGER,
// PARAM_COORDINATE, PARAM_FLOAT, PARAM_CHARACTER or PARAM_STRING, each with its pair type);
// a node with neither link needs an insertion point; a pair type looked up at a node without
// its NTDATA needs a staff. Each failed check is reported at level 4; tag names the caller.
const ParamValue* Debug_xval(int pindex, Drosa node, const StaffData* staff, int expected,
                             const char* tag);
