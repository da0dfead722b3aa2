// raster.h: drawing in layout units into the current port: the mapping from layout units to
// pixels, characters and strings, lines of any width with dashes, and Bezier curves of
// constant or tapering width.
//
// This is the one place where layout units (tenths of a point, y upward from the bottom of
// the page) become pixels (y downward): pixel x = x / zoom_factor, pixel y = page height -
// y / zoom_factor, each to the nearest integer with halves away from zero. Coordinates stay
// 32-bit all the way; what lies far outside the port is clipped before it is drawn.
#pragma once

#include <cstdint>
#include <string_view>

#include "graphics/ge_services.h"
#include "graphics/graphics_globals.h"
#include "platform/geometry.h"

// ---- The mapping --------------------------------------------------------------------------

// The pixel lengths of a zoom: one pixel, half a pixel and so on, in layout units.
ViewTransform transform_for_zoom(float zoom);

// ---- Text ------------------------------------------------------------------------------------

// draw_string_at: text in a font number, cset, pixel size and face, at (x + dx, y + dy); at
// x or y ADJACENT_TEXT it continues where the last text ended, moved by dx and re-based by a
// change of dy. A non-zero colour index draws in its table colour.
// Reads and writes: the text pen memory (the last text's dx, dy, y and pixel row), the
// current port's pen and text state.
void draw_string_at(int32_t x, int32_t y, int dx, int dy, int font, int cset, int pixel_size,
                    int face, int colour, std::string_view text);
// draw_char_at: one character the same way, at a real position.
void draw_char_at(int32_t x, int32_t y, int font, int cset, int pixel_size, int face, int colour,
                  uint8_t c);

// ---- Lines --------------------------------------------------------------------------------

// draw_line_rounded: a line of a width in layout units, drawn as one-pixel strokes side by
// side (about width / zoom_factor of them), shifted across the line's main direction.
void draw_line_rounded(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t width);
// draw_thick_line: the same, dashed when dash and gap (points) are both non-zero, starting
// at phase (layout units into a dash period); returns the phase at the line's end, so that a
// curve's dashes run on across its segments. A non-zero colour index draws in its colour.
double draw_thick_line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t width, int dash,
                       int gap, int colour, double phase);
void offscreen_line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t width, int dash,
                    int gap, int colour);

// ---- Curves -------------------------------------------------------------------------------

// draw_curve: a cubic Bezier curve from (x1, y1) to (x2, y2), split into 8 to 256 straight
// segments by integer subdivision (more at larger zooms and for long curves). Without fill
// it has the constant width of parameter 328; with fill it tapers from one pixel at the ends
// to twice parameter 326 in the middle. On a printed page an undashed curve is one shape, the
// band its segments would cover.
// Reads: zoom_factor, view_transform, parameters 326 and 328 at the page's staff size.
void draw_curve(int32_t x1, int32_t y1, int32_t c1x, int32_t c1y, int32_t c2x, int32_t c2y,
                int32_t x2, int32_t y2, int fill, int dash, int gap, int colour);
void offscreen_curve(int32_t x1, int32_t y1, int32_t c1x, int32_t c1y, int32_t c2x, int32_t c2y,
                     int32_t x2, int32_t y2, int fill, int dash, int gap, int colour);

// The width in layout units of segment i of the curve being drawn.
int32_t curve_segment_width(int i);

// bezier_subdivide: halves the curve p0..p3 by de Casteljau midpoints in integer arithmetic
// down to curve_state's depth, drawing each leaf as a segment from the last point.
// Reads and writes: curve_state.
void bezier_subdivide(CurvePoint p0, CurvePoint p1, CurvePoint p2, CurvePoint p3, int level);

// curve_widths: the widths of the page's curves: this thread's kept ones (page_curve_widths), else
// parameters 326 and 328 as the table holds them, with `kept` set.
// Reads: page_curve_widths, the parameter table.
PageCurveWidths curve_widths();
