// raster.cpp: the drawers that turn layout units into pixels: text, lines of any width with
// dashes, and Bezier curves.
//
// Widths are drawn as one-pixel strokes side by side and curves by integer subdivision into
// straight segments, so the same element looks the same at every redraw and in every port;
// on a printed page an undashed curve is instead one shape of two Bezier curves round the band
// its segments would cover.
// The pixel lengths of the zoom (one pixel, a pixel and a half...) are derived from
// zoom_factor at each call, so a caller that swaps the zoom (printing) needs nothing else.
#include "graphics/raster.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "graphics/ge_fields.h"
#include "graphics/ge_services.h"
#include "graphics/graphics_globals.h"
#include "graphics/note_colors.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/port.h"

namespace {

// How far outside the clip a line may reach before it is cut: lines that stay within this
// are drawn exactly as they are; longer ones are cut so that huge coordinates cost nothing.
constexpr double CUT_MARGIN = 64;
constexpr int64_t PEN_LIMIT = int64_t(1) << 30;  // pen positions are kept within this

double zoom() { return zoom_factor > 0 ? zoom_factor : 10.0; }

// The nearest integer, halves away from zero, in 64 bits.
int64_t rounded(double v) {
  if (!std::isfinite(v)) return 0;
  v = std::clamp(v, -9.0e15, 9.0e15);
  return v >= 0 ? int64_t(std::floor(v + 0.5)) : -int64_t(std::floor(-v + 0.5));
}

int64_t map_x(int64_t x) { return rounded(double(x) / zoom()); }
int64_t map_y(int64_t y) { return page_pixel_height - rounded(double(y) / zoom()); }
int pen_coordinate(int64_t v) { return int(std::clamp(v, -PEN_LIMIT, PEN_LIMIT)); }

// How far apart, in layout units, the one-pixel strokes of a wide line stand. At very small
// zooms the pixel lengths round to 0; a step of at least one unit still ends.
int32_t stroke_step() { return std::max(transform_for_zoom(float(zoom())).one_pixel, 1); }

// How many one-pixel strokes a line of `width` layout units is drawn with: one, and one more
// for every step of the width from a pixel and a half on.
int64_t strokes_of(int32_t width) {
  const int32_t enough = std::max(transform_for_zoom(float(zoom())).pixel_and_half, 1);
  return width < enough ? 1 : 2 + (int64_t(width) - enough) / stroke_step();
}

// Cuts the segment a-b to the rectangle (Liang-Barsky); false when nothing of it is inside.
bool cut_to(double& ax, double& ay, double& bx, double& by, double left, double top, double right,
            double bottom) {
  double t0 = 0, t1 = 1;
  const double dx = bx - ax, dy = by - ay;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {ax - left, right - ax, ay - top, bottom - ay};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0)
      t0 = std::max(t0, t);
    else
      t1 = std::min(t1, t);
    if (t0 > t1) return false;
  }
  const double x0 = ax + t0 * dx, y0 = ay + t0 * dy;
  bx = ax + t1 * dx;
  by = ay + t1 * dy;
  ax = x0;
  ay = y0;
  return true;
}

// The stretch [*first, *last] of a line, in layout units from its first end, that may reach
// the current port's clip; false when none does.
bool visible_span(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t width, double* first,
                  double* last) {
  Port* port = platform_current_port();
  if (!port) return false;
  const Rect bounds = port_bounds(port), clip = get_clip();
  const double z = zoom(), reach = CUT_MARGIN * z + std::abs(width);
  const double left = std::max(bounds.left, clip.left) * z - reach;
  const double right = std::min(bounds.right, clip.right) * z + reach;
  const double low = (page_pixel_height - std::min(bounds.bottom, clip.bottom)) * z - reach;
  const double high = (page_pixel_height - std::max(bounds.top, clip.top)) * z + reach;
  double ax = x1, ay = y1, bx = x2, by = y2;
  if (!cut_to(ax, ay, bx, by, left, low, right, high)) return false;
  *first = std::hypot(ax - x1, ay - y1);
  *last = std::hypot(bx - x1, by - y1);
  return true;
}

// A one-pixel line between two pixel points with the current pen.
void stroke_pixels(int64_t ax, int64_t ay, int64_t bx, int64_t by) {
  Port* port = platform_current_port();
  if (!port) return;
  const Rect bounds = port_bounds(port), clip = get_clip();
  const double left = std::max(bounds.left, clip.left) - CUT_MARGIN;
  const double top = std::max(bounds.top, clip.top) - CUT_MARGIN;
  const double right = std::min(bounds.right, clip.right) + CUT_MARGIN;
  const double bottom = std::min(bounds.bottom, clip.bottom) + CUT_MARGIN;
  auto inside = [&](int64_t x, int64_t y) {
    return x >= left && x <= right && y >= top && y <= bottom;
  };
  if (!inside(ax, ay) || !inside(bx, by)) {
    double x0 = double(ax), y0 = double(ay), x1 = double(bx), y1 = double(by);
    if (!cut_to(x0, y0, x1, y1, left, top, right, bottom)) return;
    ax = rounded(x0), ay = rounded(y0), bx = rounded(x1), by = rounded(y1);
  }
  move_to(int(ax), int(ay));
  line_to(int(bx), int(by));
}

void stroke(int64_t x1, int64_t y1, int64_t x2, int64_t y2) {
  stroke_pixels(map_x(x1), map_y(y1), map_x(x2), map_y(y2));
}

// The one-pixel strokes of a line, `strokes` of them `step` layout units apart (up for a flat
// line, right for a steep one), as one stroke of a pen as tall (or wide) as they stand, when
// they come out one pixel apart and need no cutting to the port: they cover the same pixels.
// False when they must be drawn one by one.
bool stroke_as_band(int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool flat, int64_t strokes,
                    int32_t step) {
  Port* port = platform_current_port();
  if (!port) return false;
  const int64_t more = strokes - 1, across = more * step;
  const int64_t ax = map_x(x1), ay = map_y(y1), bx = map_x(x2), by = map_y(y2);
  // The last stroke's ends.
  const int64_t cx = flat ? ax : map_x(int64_t(x1) + across), cy = flat ? map_y(y1 + across) : ay;
  const int64_t dx = flat ? bx : map_x(int64_t(x2) + across), dy = flat ? map_y(y2 + across) : by;
  if (flat ? (ay - cy != more || by - dy != more) : (cx - ax != more || dx - bx != more))
    return false;
  const Rect bounds = port_bounds(port), clip = get_clip();
  const double left = std::max(bounds.left, clip.left) - CUT_MARGIN;
  const double top = std::max(bounds.top, clip.top) - CUT_MARGIN;
  const double right = std::min(bounds.right, clip.right) + CUT_MARGIN;
  const double bottom = std::min(bounds.bottom, clip.bottom) + CUT_MARGIN;
  for (const int64_t x : {ax, bx, cx, dx})
    if (x < left || x > right) return false;
  for (const int64_t y : {ay, by, cy, dy})
    if (y < top || y > bottom) return false;
  const PenState pen = get_pen_state();
  if (flat) {
    pen_size(pen.width, pen.height + int(more));
    move_to(int(cx), int(cy));
    line_to(int(dx), int(dy));
  } else {
    pen_size(pen.width + int(more), pen.height);
    move_to(int(ax), int(ay));
    line_to(int(bx), int(by));
  }
  pen_size(pen.width, pen.height);
  move_to(int(dx), int(dy));  // where the last stroke ended
  return true;
}

// A line that is neither level nor upright on a smooth port (the page on the screen) is drawn
// as the band its strokes would cover, with smooth edges; level and upright lines keep their
// whole pixels, which are sharp already.
bool slanted_on_smooth_port(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  return port_smooth(platform_current_port()) && map_x(x1) != map_x(x2) && map_y(y1) != map_y(y2);
}

// The band the one-pixel strokes of a line cover, where the line really lies (the strokes
// round each end to a pixel): from the first stroke to the last one, `across` layout units up
// (a flat line) or right (a steep one), each stroke half a pixel to either side of its path
// through the pixels' centres, its ends half a pixel beyond them. Lines that meet at an end
// (the pieces of a beam or a curve) meet without a kink.
void smooth_band(int32_t x1, int32_t y1, int32_t x2, int32_t y2, bool flat, int64_t across) {
  const double z = zoom();
  auto at = [z](double x, double y) {
    return PointF{x / z + 0.5, page_pixel_height - y / z + 0.5};
  };
  PointF a = at(x1, y1), b = at(x2, y2);
  const double dx = b.x - a.x, dy = b.y - a.y;
  if (dx == 0 && dy == 0) return;
  // Half a pixel beyond each end along the line's main direction.
  const double along = 0.5 / std::max(std::abs(dx), std::abs(dy));
  a = {a.x - dx * along, a.y - dy * along};
  b = {b.x + dx * along, b.y + dy * along};
  // The last stroke's distance from the first, in pixels (whole ones, as the strokes step).
  const double ox = flat ? 0.0 : double(map_x(x1 + across) - map_x(x1));
  const double oy = flat ? double(map_y(y1 + across) - map_y(y1)) : 0.0;
  PointF band[4];
  if (flat) {
    const double low = std::max(oy, 0.0) + 0.5, high = std::min(oy, 0.0) - 0.5;
    band[0] = {a.x, a.y + low};
    band[1] = {b.x, b.y + low};
    band[2] = {b.x, b.y + high};
    band[3] = {a.x, a.y + high};
  } else {
    const double left = std::min(ox, 0.0) - 0.5, right = std::max(ox, 0.0) + 0.5;
    band[0] = {a.x + left, a.y};
    band[1] = {a.x + right, a.y};
    band[2] = {b.x + right, b.y};
    band[3] = {b.x + left, b.y};
  }
  fill_polygon(band, 4);
}

void set_colour(int colour) {
  if (colour) fore_colour(color_table_entry(colour));
}
void reset_colour(int colour) {
  if (colour) fore_colour(COLOUR_BLACK);
}

// Draws into the page image, keeping the current port.
template <typename Draw>
void in_offscreen_page(Draw draw) {
  if (!offscreen_page) return;
  Port* saved = platform_current_port();
  platform_set_port(offscreen_page);
  draw();
  platform_set_port(saved);
}

// Segments N, halving depth and taper divisor of each subdivision class 1..6.
struct SubdivisionClass {
  int segments, depth, divisor;
};
constexpr SubdivisionClass SUBDIVISION[7] = {
    {8, 2, 1}, {8, 2, 1}, {16, 3, 1}, {32, 4, 1}, {64, 5, 2}, {128, 6, 4}, {256, 7, 8},
};

int subdivision_class(float z) {
  if (z > 6.6666665f) return 1;
  if (z > 2.5f) return 3;
  if (z > 1.25f) return 2;
  return 4;
}

CurvePoint midpoint(CurvePoint a, CurvePoint b) {
  return {(a.x + b.x + 1) >> 1, (a.y + b.y + 1) >> 1};
}
CurvePoint midpoint(CurvePoint a, CurvePoint b, CurvePoint c) {
  return {(a.x + 2 * b.x + c.x + 2) >> 2, (a.y + 2 * b.y + c.y + 2) >> 2};
}
CurvePoint midpoint(CurvePoint a, CurvePoint b, CurvePoint c, CurvePoint d) {
  return {(a.x + 3 * b.x + 3 * c.x + d.x + 4) >> 3, (a.y + 3 * b.y + 3 * c.y + d.y + 4) >> 3};
}

// A curve of curve_state on a printed page as one shape: the band its segments' strokes
// would cover, from half a pixel outside its path to half a pixel beyond its widest stroke,
// up from a wide curve and right of a tall one. A tapering band is a lens as wide in the
// middle as the widest stroke and a pixel wide at the ends. False on other ports, which draw
// the segments.
bool fill_curve_band(CurvePoint p0, CurvePoint p1, CurvePoint p2, CurvePoint p3) {
  const CurveState& s = curve_state;
  int32_t widest = s.pen_width;
  if (s.max_width >= 1) {
    widest = 0;
    for (int i = 0; i < s.segments; ++i) widest = std::max(widest, curve_segment_width(i));
  }
  const double z = zoom();
  const double across = double(strokes_of(widest) - 1) * stroke_step() / z;  // pixels
  auto at = [z](CurvePoint p) {
    return PointF{double(p.x) / z + 0.5, page_pixel_height - double(p.y) / z + 0.5};
  };
  const PointF path[4] = {at(p0), at(p1), at(p2), at(p3)};
  const bool wide = std::llabs(p3.x - p0.x) > std::llabs(p3.y - p0.y);
  auto moved = [wide](PointF p, double d) {
    return wide ? PointF{p.x, p.y - d} : PointF{p.x + d, p.y};
  };
  // A Bezier curve's middle moves by three quarters of what its control points move.
  const bool tapered = s.max_width >= 1;
  const double ends = tapered ? 0.5 : 0.5 + across;
  const double controls = tapered ? 0.5 + across * 4 / 3 : ends;
  const PointF near[4] = {moved(path[0], -0.5), moved(path[1], -0.5), moved(path[2], -0.5),
                          moved(path[3], -0.5)};
  const PointF far[4] = {moved(path[3], ends), moved(path[2], controls), moved(path[1], controls),
                         moved(path[0], ends)};
  return fill_curved_outline(near, far);
}

// One leaf of the subdivision: a segment from the last point to `end`.
void curve_leaf(CurvePoint end) {
  CurveState& s = curve_state;
  const CurvePoint from = s.last;
  s.phase = draw_thick_line(int32_t(from.x), int32_t(from.y), int32_t(end.x), int32_t(end.y),
                            curve_segment_width(s.segment), s.dash, s.gap, 0, s.phase);
  s.last = end;
  ++s.segment;
}

}  // namespace

// ---- The mapping ----------------------------------------------------------------------------

int32_t screen_x(int32_t x) { return pen_coordinate(map_x(x)); }
int32_t screen_y(int32_t y) { return pen_coordinate(map_y(y)); }

void virtual_rect_to_screen(Rect* out, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const int a = screen_x(x1), b = screen_x(x2), c = screen_y(y1), d = screen_y(y2);
  *out = {std::min(a, b), std::min(c, d), std::max(a, b), std::max(c, d)};
}

ViewTransform transform_for_zoom(float z) {
  // Every stroke asks at the zoom of the page under way: the last one's answer is kept.
  thread_local uint32_t last_bits = 0;
  thread_local ViewTransform last{0.0f};
  thread_local bool known = false;
  if (known && std::bit_cast<uint32_t>(z) == last_bits) return last;
  ViewTransform t;
  t.zoom = z;
  t.half = double(z) * 0.5;
  t.one_pixel = int32_t(rounded(z));
  t.half_pixel = int32_t(rounded(t.half));
  t.pixel_and_half = int32_t(rounded(z + t.half));
  t.two_pixels = int32_t(rounded(2.0 * z));
  last_bits = std::bit_cast<uint32_t>(z);
  last = t;
  known = true;
  return t;
}

// ---- Text -----------------------------------------------------------------------------------

void draw_string_at(int32_t x, int32_t y, int dx, int dy, int font, int /*cset*/, int pixel_size,
                    int face, int colour, std::string_view text) {
  text_font(font);
  text_size(std::max(pixel_size, 1));
  text_face(face);
  set_colour(colour);
  if (x != ADJACENT_TEXT && y != ADJACENT_TEXT) {
    const int64_t row = map_y(int64_t(y) + dy);
    move_to(pen_coordinate(map_x(int64_t(x) + dx)), pen_coordinate(row));
    text_pen.y = y;
    text_pen.row = int32_t(std::clamp(row, -PEN_LIMIT, PEN_LIMIT));
  } else if (dx != 0 || dy != text_pen.dy) {
    const int64_t row = std::clamp(map_y(int64_t(text_pen.y) + dy), -PEN_LIMIT, PEN_LIMIT);
    move_by(int(rounded((dx ? dx : text_pen.dx) / zoom())), int(row - text_pen.row));
    text_pen.row = int32_t(row);
  }
  text_pen.dx = dx;
  text_pen.dy = dy;
  draw_text(text.data(), int(text.size()));
  reset_colour(colour);
}

void draw_char_at(int32_t x, int32_t y, int font, int cset, int pixel_size, int face, int colour,
                  uint8_t c) {
  const char byte = char(c);
  draw_string_at(x, y, 0, 0, font, cset, pixel_size, face, colour, std::string_view(&byte, 1));
}

void offscreen_char(int32_t x, int32_t y, int pindex, int colour, Drosa node) {
  if (node && !is_plotted_note(node)) {
    const char* description = pindex >= 1 && pindex <= PARAM_LAST && param[pindex].description
                                  ? param[pindex].description
                                  : "";
    REPORT_ERROR(4,
                 "Got a %s (%lx) for offscreen_char parameter %hd '%s'. Should be a "
                 "scr_vis_noterest.",
                 node_kind_name(node), (unsigned long)node.handle(), short(pindex), description);
    return;
  }
  if (colour == -1) colour = note_color_index(node);
  ParamValue glyph;
  scaled_char_param(&glyph, pindex, node, nullptr);
  const int pixels = int(rounded(glyph.size() * 10.0 / zoom()));
  in_offscreen_page([&] {
    draw_char_at(x + glyph.x(), y + glyph.y(), font_from_code(glyph.font()), glyph.bytes[2], pixels,
                 glyph.style(), colour & 15, glyph.character());
  });
}

void offscreen_string(int32_t x, int32_t y, int dx, int dy, int font, int cset, int pixel_size,
                      int face, int colour, std::string_view text) {
  in_offscreen_page(
      [&] { draw_string_at(x, y, dx, dy, font, cset, pixel_size, face, colour, text); });
}

// ---- Lines ----------------------------------------------------------------------------------

void draw_line_rounded(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t width) {
  const int32_t step = stroke_step();
  const bool flat = std::llabs(int64_t(x2) - x1) > std::llabs(int64_t(y2) - y1);
  const int64_t strokes = strokes_of(width);
  if (slanted_on_smooth_port(x1, y1, x2, y2)) {
    smooth_band(x1, y1, x2, y2, flat, (strokes - 1) * step);
    return;
  }
  if (strokes > 1 && stroke_as_band(x1, y1, x2, y2, flat, strokes, step)) return;
  int64_t ax = x1, ay = y1, bx = x2, by = y2;
  stroke(ax, ay, bx, by);
  for (int64_t i = 1; i < strokes; ++i) {
    if (flat) {
      ay += step;
      by += step;
    } else {
      ax += step;
      bx += step;
    }
    stroke(ax, ay, bx, by);
  }
}

double draw_thick_line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t width, int dash,
                       int gap, int colour, double phase) {
  set_colour(colour);
  if (dash == 0 || gap == 0) {
    draw_line_rounded(x1, y1, x2, y2, width);
    reset_colour(colour);
    return phase;
  }
  const double dx = double(x2) - x1, dy = double(y2) - y1;
  const double length = std::hypot(dx, dy);
  const double dash_length = (dash - 1) * 10.0, period = dash_length + (gap + 1) * 10.0;
  // A line without length has no direction to dash along: nothing is drawn and the rhythm
  // carries on unchanged.
  if (length == 0) {
    reset_colour(colour);
    return phase;
  }
  auto at = [&](double s, bool along_x) {
    const double v = along_x ? x1 + dx * s / length : y1 + dy * s / length;
    return int32_t(rounded(v));
  };
  double start = -std::fmod(std::max(phase, 0.0), period);  // where the current period began
  // Only the dashes that can reach the port are drawn; the rhythm still counts the whole line.
  double first = 0, last = length;
  if (!visible_span(x1, y1, x2, y2, width, &first, &last)) first = last = length;
  if (first > period) start += std::floor((first - start) / period) * period;
  for (; start < last; start += period) {
    const double a = std::max(start, 0.0), b = std::min(start + dash_length, length);
    // A dash of no length is a dot, drawn where its period begins.
    if (b > a || (dash_length == 0 && start >= 0))
      draw_line_rounded(at(a, true), at(a, false), at(b, true), at(b, false), width);
  }
  reset_colour(colour);
  if (start < length) start += std::ceil((length - start) / period) * period;
  return std::fmod(length - (start - period), period);
}

void offscreen_line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t width, int dash,
                    int gap, int colour) {
  in_offscreen_page([&] { draw_thick_line(x1, y1, x2, y2, width, dash, gap, colour, 0); });
}

// ---- Curves ---------------------------------------------------------------------------------

PageCurveWidths curve_widths() {
  if (page_curve_widths.kept) return page_curve_widths;
  return {1, page_param_length(P_TIE_AND_SLUR_THICKNESS_CONTROL),
          page_param_length(P_WIDTH_FOR_CURVES_WITHOUT_THICKER_CENTER)};
}

int32_t curve_segment_width(int i) {
  const CurveState& s = curve_state;
  if (s.max_width < 1) return s.pen_width;
  const ViewTransform t = transform_for_zoom(float(zoom()));
  const int n = s.segments;
  if (s.max_width < rounded(2.0 * t.zoom + t.half))
    return i < n / 4 || i >= n - n / 4 ? t.one_pixel : t.two_pixels;
  const double w = i < n / 2 ? t.zoom * (i + 1) * s.taper_slope : t.zoom * (n - i) * s.taper_slope;
  return int32_t(std::clamp<int64_t>(rounded(w), 1, std::max(s.max_width, 1)));
}

void draw_curve(int32_t x1, int32_t y1, int32_t c1x, int32_t c1y, int32_t c2x, int32_t c2y,
                int32_t x2, int32_t y2, int fill, int dash, int gap, int colour) {
  if (x1 == x2 && y1 == y2) {
    draw_thick_line(x1, y1, x2, y2, 0, 0, 0, colour, 0);
    return;
  }
  CurveState s;
  int cls = subdivision_class(zoom_factor);
  if (!fill) {
    s.pen_width = curve_widths().width;
  } else {
    int32_t w = 2 * curve_widths().thickness;
    const int64_t adx = std::llabs(int64_t(x2) - x1), ady = std::llabs(int64_t(y2) - y1);
    if (adx < 5 * int64_t(w) && ady < 5 * int64_t(w))
      w = w / 2 + 1;
    else if (adx > 2047 || ady > 2047)
      cls += 2;
    else if (adx > 1023 || ady > 1023)
      cls += 1;
    s.max_width = w;
  }
  s.segments = SUBDIVISION[cls].segments;
  s.depth = SUBDIVISION[cls].depth;
  s.taper_divisor = SUBDIVISION[cls].divisor;
  const double z = zoom();
  s.taper_slope =
      std::min(s.max_width / ((s.segments / (2.0 * s.taper_divisor)) * z), 1.0) / s.taper_divisor;
  s.dash = dash;
  s.gap = gap;
  s.colour = colour;
  s.last = {x1, y1};
  curve_state = s;
  set_colour(colour);
  const bool whole = !(dash && gap) && fill_curve_band({x1, y1}, {c1x, c1y}, {c2x, c2y}, {x2, y2});
  if (!whole) bezier_subdivide({x1, y1}, {c1x, c1y}, {c2x, c2y}, {x2, y2}, 0);
  reset_colour(colour);
}

void bezier_subdivide(CurvePoint p0, CurvePoint p1, CurvePoint p2, CurvePoint p3, int level) {
  for (;;) {
    const CurvePoint m01 = midpoint(p0, p1), m012 = midpoint(p0, p1, p2);
    const CurvePoint mid = midpoint(p0, p1, p2, p3);
    const CurvePoint m123 = midpoint(p1, p2, p3), m23 = midpoint(p2, p3);
    if (level >= curve_state.depth) {
      curve_leaf(mid);
      curve_leaf(p3);
      return;
    }
    ++level;
    bezier_subdivide(p0, m01, m012, mid, level);
    p0 = mid;
    p1 = m123;
    p2 = m23;
  }
}

void offscreen_curve(int32_t x1, int32_t y1, int32_t c1x, int32_t c1y, int32_t c2x, int32_t c2y,
                     int32_t x2, int32_t y2, int fill, int dash, int gap, int colour) {
  in_offscreen_page(
      [&] { draw_curve(x1, y1, c1x, c1y, c2x, c2y, x2, y2, fill, dash, gap, colour); });
}
