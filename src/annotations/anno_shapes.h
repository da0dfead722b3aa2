// anno_shapes.h: lines of the shapes other than a plain line (hairpins, brackets, tuplet
// brackets, rectangles) and texts of several lines or stacked vertically, emitted as plain
// elements through temporary copies of the annotation.
#pragma once

#include <cstdint>
#include <vector>

#include "model/model_services.h"

// A point of the page (page units, y upward).
struct AnnoPoint {
  int32_t x = 0;
  int32_t y = 0;
};

// Line styles (xmetaline).
enum LineStyle {
  STYLE_PLAIN_LINE = 0,
  STYLE_HAIRPIN = 1,
  STYLE_TUPLET_BRACKET = 2,
  STYLE_PLAIN_BRACKET = 3,
  STYLE_RIGHT_BRACKET = 4,
  STYLE_LEFT_BRACKET = 5,
  STYLE_RECTANGLE = 6,
  STYLE_RECTANGLE_LEFT = 7,
  STYLE_RECTANGLE_RIGHT = 8,
  STYLE_RECTANGLE_TOP = 9,
  STYLE_RECTANGLE_BOTTOM = 10,
  STYLE_TRILL_LINE = 11,
  STYLE_PEDAL_LINE = 12,
};

// The element varieties of the parts of shapes.
inline constexpr int VAR_BRACKET_START_HOOK = 66, VAR_BRACKET_END_HOOK = 67, VAR_BRACKET_LINE = 68;
inline constexpr int VAR_TEXT_LINE_PIECE = 70;
inline constexpr int VAR_RECT_X_MIN = 77, VAR_RECT_X_MAX = 78, VAR_RECT_Y_MAX = 79,
                     VAR_RECT_Y_MIN = 80;

// ---- Shapes -----------------------------------------------------------------------------------
// draw_anno_graphic: the elements of a LINE whose style is not a plain line, attached before
// `note` on printed staff pstaff, between the ends its PDATA holds; mode -2 emits elements
// (every other mode would draw on the screen, which the page's redrawing does). Each part is a
// temporary copy of the line, at least the context's minimum line width, emitted by place_LINE:
//   hairpin: the line is its upper leg, the lower one mirrors it about the horizontal through
//     the closed end (the leg's lower end); tuplet bracket: hooks toward the note at both ends,
//     a gap for the note's tuplet number with the number in it; brackets: hooks toward the
//     note at the ends their style names; rectangles: the sides their style names; a trill
//     line: a row of the music font's trill wiggles (parameter 731), as many as fit between its
//     ends, going on from the "tr" drawn before its note on its first segment, on that sign's
//     base line (at its start's height on the other segments); a pedal line: a bracket whose
//     hooks reach up wherever it stands.
//   A line that runs on shows its start's hook or side only on its first segment and its end's
//   only where it ends; the parts of the line itself keep its clip box.
// Reads:  the line, its PDATA, the note's layout, the trill sign's PDATA, parameters 1, 217,
//         218, 395, 396, 731.
// Writes: the GE list.
void draw_anno_graphic(Drosa line, Drosa note, int mode, int pstaff);
// draw_anno_shape: the sides of a rectangle between the line's two ends: vertical mask bit 2
// the side at x min, bit 1 at x max; horizontal mask bit 1 the side at y max (reaching past x
// max by the line width less 5, less 6 above zoom 5), bit 2 at y min.
void draw_anno_shape(Drosa line, Drosa note, int mode, int pstaff, int vertical, int horizontal);
// draw_anno_arrow: a bracket: mask bit 2 the hook at the start, bit 1 at the end, then the
// bracket line; `up`: the hooks reach up, not toward the note. An upward hook is lengthened by the
// line width less 5 (6 above zoom 5), a downward one at the higher end of a sloping line shortened
// by that width times the sine of the slope.
void draw_anno_arrow(Drosa line, Drosa note, int mode, int pstaff, int mask, bool up = false);

// trill_sign_drawn: the "tr" a trill line's first segment goes on from: a trill sign before
// the line's note, after the note before, drawn on the staff; NIL for none (or another line).
Drosa trill_sign_drawn(Drosa line, Drosa note, int pstaff);

// ---- Parts ------------------------------------------------------------------------------------
// place_LINE: emits a temporary copy `node` (a LINE or a TPARAM, followed by its PDATA and, for
// a text, its TEXT nodes) and frees it with what follows it: mode -2 a line from its PDATA's
// first point to its second (the width, dash, gap, colour, and the clip box of its control
// offsets) or a text at its PDATA's first point in its own style, with the element variety var;
// any other mode would draw it on the screen. The copy must be linked to nothing before it.
void place_LINE(Drosa node, Drosa note, int var, int mode, int pstaff);
// anno_line_element: the element of the straight annotation line `line` (its draw mode, width,
// dash, gap and colour) from (x1, y1) to (x2, y2), its ends brought in to where its clip box
// (page corners) cuts it, with that clip box; nothing when it lies wholly outside the box.
// Returns the element, NIL for none.
Drosa anno_line_element(Drosa line, Drosa note, int pstaff, int64_t x1, int64_t y1, int64_t x2,
                        int64_t y2, int64_t clip_x1, int64_t clip_y1, int64_t clip_x2,
                        int64_t clip_y2, int var);
// line_end_geometry: sets a line from two points, p1 made the left one: its PDATA's page and
// screen rectangles; with offsets, its start from its reference point (anno_refloc) and its
// end from its start; with control, a curve's control points (curve_geometry, bowing down for
// side 1) or a straight line's clip box (the ends widened by 280), both from the start.
void line_end_geometry(Drosa line, Drosa note, AnnoPoint p1, AnnoPoint p2, int side, int offsets,
                       int control);

// ---- Texts of several lines --------------------------------------------------------------------
// layout_anno_text: a text of several lines (lines other than 0, or lines 0 and not xfing) or a
// vertical text (lines 0 or less and xfing) one line at a time, from its PDATA's block (left,
// first base line, right): each style run's text split at line feeds (the next line) and
// returns (the same line from its left again), each piece a temporary copy of its run. The
// lines step down by spacing (else the size) plus parameter 615; a fingering above its note
// stacks upward so that its last line stands nearest the note. A vertical text puts one
// character a line (at most 10 lines), "-", "/", "(" and ")" of a music font on the line of
// the digit they join and the blank 0xCA as a line of its own.
// Reads:  the annotation, its PDATA, parameter 615. Writes: the GE list.
void layout_anno_text(Drosa tparam, Drosa note, int mode, int pstaff, int lines, int spacing);
// justify_lines: shifts the pieces of one line (temporary copies with their PDATA) in a block of
// `width` by 0 (justification 0), width - line_width (2) or half that (1, 3), and emits each
// with place_LINE, variety 70 (or the text's screen-only or print-only class, 2 or 3, when it
// is hidden from one of them: `var`).
void justify_lines(const std::vector<Drosa>& lines, Drosa note, int mode, int pstaff,
                   int justification, int32_t width, int32_t line_width, int var = 70);
