// port.cpp: drawing ports over QImage.
//
// Shapes, lines and text are first reduced to the set of pixels they cover; one routine then
// paints those pixels with a pattern and a transfer mode by writing the pixels directly. So
// every pixel is touched once per call, and exclusive-or drawing done twice restores the image
// exactly.
//
// A smooth port (the page shown on the screen) draws text and filled polygons with their edges
// anti-aliased: a pixel the shape only partly covers takes the ink in proportion. Solid ink in
// or and copy modes darkens such a pixel to the ink's shade over white and never lightens it
// (each channel the smaller of the two), so drawing the same shape again changes nothing, as
// with whole pixels; bit-clear mixes the background in; exclusive-or and patterns take the
// pixels at least half covered, so that exclusive-or still restores exactly. Other ports draw
// whole pixels only.
//
// Patterns are aligned to the port: pixel (x, y) takes bit 7 - x % 8 of row y % 8.
//
// Text is drawn without antialiasing: its glyphs are rendered by Qt into a coverage mask and
// painted like any shape, so text drawn in or mode is erased exactly by the same text in
// bit-clear mode. Outline and shadow faces are made from the glyph mask (the ring of pixels
// around it; the shadow adds that ring moved one pixel right and down); condense and extend
// take one pixel from or add one pixel to each character's advance. Text is measured with
// unhinted design metrics, so widths do not depend on the device, and the pen keeps the
// fraction of a pixel that text leaves it at until it is moved.
//
// Strings in a music font are glyph codes; each code goes through the glyph table
// (glyph_map.h), which gives the embedded music font's glyph, its scale and its placement. A
// code without a glyph draws nothing and has no width.
//
// A port on a sink (a printed page) has no pixels: the same calls hand outlines and text runs
// to the sink (port_sink.h), with the pen's colour and transfer mode turned into one colour.
#include "platform/port.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fontconfig/fontconfig.h>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <tuple>
#include <type_traits>
#include <unordered_map>

#include <QChar>
#include <QCoreApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPolygonF>
#include <QRawFont>
#include <QRectF>
#include <QString>
#include <QThread>

#include "platform/design_outlines.h"
#include "platform/event_input.h"
#include "platform/font_families.h"
#include "platform/fonts.h"
#include "platform/glyph_map.h"
#include "platform/port_image.h"
#include "platform/port_sink.h"
#include "platform/text_encoding.h"
#include "platform/window.h"

struct Port {
  // The pixels. A new image is white, but is painted white only when first read or drawn in
  // (blank until then): a window or page that is never drawn in never touches its memory.
  mutable QImage image;
  mutable bool blank = false;
  PenState pen;
  double pen_fraction = 0;  // of a pixel to the right of pen.position, left there by text
  RgbColour fore = COLOUR_BLACK;
  RgbColour back = COLOUR_WHITE;
  Rect clip;
  int text_font = FONT_SYSTEM;
  int text_size = 0;
  int text_face = FACE_PLAIN;
  int16_t text_mode = MODE_OR;
  QPointer<QObject> view;  // the widget that shows the port, repainted after a copy into it
  bool on_sink = false;    // a printed page: drawing goes to the sink, the image stays empty
  bool smooth = false;     // text and polygons drawn with anti-aliased edges
  // A smooth port's exclusive-or marks, a byte per pixel (1: shown inverted), made at the
  // first mark; and how many are set.
  std::vector<uint8_t> marks;
  long marks_set = 0;
  PortSink sink;
  Rect sink_bounds;
};

namespace {

// Each thread draws on a port of its own (pages are printed on several threads at once).
thread_local Port* current_port = nullptr;

constexpr int DEFAULT_TEXT_SIZE = 12;
// Larger sizes are drawn at this one. Printed fonts outline their glyphs at 1000 pixels, and
// the brace glyph is drawn at four times the size asked for.
constexpr int LARGEST_TEXT_SIZE = 4096;

// ---- Rectangles -------------------------------------------------------------------------

Rect intersection(Rect a, Rect b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

Rect image_bounds(const QImage& image) { return {0, 0, image.width(), image.height()}; }

// The port's pixels to read or change, a blank image made white first.
QImage& pixels_of(const Port& port) {
  if (port.blank) {
    port.image.fill(Qt::white);
    port.blank = false;
  }
  return port.image;
}

Rect bounds_of(const Port& port) {
  return port.on_sink ? port.sink_bounds : image_bounds(port.image);
}

// Where drawing may change pixels: the clip rectangle within the port.
Rect drawable(const Port& port) { return intersection(port.clip, bounds_of(port)); }

// ---- Painting covered pixels ------------------------------------------------------------

enum class Operation { COPY, OR, XOR, BIC };

struct Paint {
  Operation operation;
  Pattern pattern;
  QRgb fore, back;
  bool solid() const {
    for (uint8_t row : pattern.rows)
      if (row != 0xFF) return false;
    return true;
  }
};

QRgb to_qrgb(RgbColour c) { return qRgb(c.red >> 8, c.green >> 8, c.blue >> 8); }

constexpr QRgb INVERT_BITS = 0x00FFFFFF;  // every colour channel, never alpha

// The paint of a transfer mode: its low two bits choose the operation, and the modes with
// bit 2 set (the "not" variants) use the inverse pattern.
Paint paint_of(const Port& port, int16_t mode, const Pattern& pattern) {
  Paint paint{static_cast<Operation>(mode & 3), pattern, to_qrgb(port.fore), to_qrgb(port.back)};
  if (mode & 4)
    for (uint8_t& row : paint.pattern.rows) row = static_cast<uint8_t>(~row);
  return paint;
}

// Puts one pixel. `set` tells whether the source bit is set; `colour` is what copy puts
// there (and or, under a set bit).
void transfer(QRgb& pixel, Operation operation, bool set, QRgb colour, QRgb back) {
  switch (operation) {
    case Operation::COPY:
      pixel = colour;
      break;
    case Operation::OR:
      if (set) pixel = colour;
      break;
    case Operation::XOR:
      if (set) pixel ^= INVERT_BITS;
      break;
    case Operation::BIC:
      if (set) pixel = back;
      break;
  }
}

// ---- The marks of a smooth port ---------------------------------------------------------------
// Exclusive-or never touches a smooth port's pixels: it turns over marks of the pixels it
// would change, and the port shows its pixels through them. Solid exclusive-or (a rectangle
// inverted, text) marks a pixel to be shown inverted; a pattern's (the shading of a selected
// note, a grey line) marks it shaded: its paper shown black and its ink kept, as the pattern
// under the ink. So smooth ink and marks never mix, drawing ink and marking can come in any
// order with the same result, and marking twice takes the mark away whatever came in between.
// Copying the background over a pixel (an erase) takes its marks away.

constexpr uint8_t MARK_INVERTED = 1, MARK_SHADED = 2;

void flip_mark(Port& port, int x, int y, uint8_t kind) {
  const size_t size = static_cast<size_t>(port.image.width()) * port.image.height();
  if (port.marks.size() != size) port.marks.assign(size, 0);
  uint8_t& mark = port.marks[static_cast<size_t>(y) * port.image.width() + x];
  const bool was = mark != 0;
  mark ^= kind;
  port.marks_set += (mark != 0) - was;
}

void clear_mark(Port& port, int x, int y) {
  if (!port.marks_set) return;
  uint8_t& mark = port.marks[static_cast<size_t>(y) * port.image.width() + x];
  if (mark) {
    mark = 0;
    --port.marks_set;
  }
}

// A pixel as its marks show it.
inline QRgb through_mark(QRgb pixel, uint8_t mark) {
  if (mark & MARK_INVERTED) pixel ^= INVERT_BITS;
  if (mark & MARK_SHADED) {
    // Each channel darkened by the pixel's whiteness: paper goes black, ink and colour stay.
    const int white = std::min({qRed(pixel), qGreen(pixel), qBlue(pixel)});
    auto channel = [white](int c) { return c * (255 - white) / 255; };
    pixel = qRgb(channel(qRed(pixel)), channel(qGreen(pixel)), channel(qBlue(pixel)));
  }
  return pixel;
}

// What a pixel of the port shows: its colour through its marks.
QRgb shown_pixel(const Port& port, int x, int y) {
  const QRgb pixel = reinterpret_cast<const QRgb*>(pixels_of(port).constScanLine(y))[x];
  if (!port.marks_set) return pixel;
  return through_mark(pixel, port.marks[static_cast<size_t>(y) * port.image.width() + x]);
}

// Shows the marks of a row copied from a port with marks.
void show_marks(const Port& source, int source_x, int source_y, QRgb* to, int count) {
  if (!source.marks_set) return;
  const uint8_t* marks =
      source.marks.data() + static_cast<size_t>(source_y) * source.image.width() + source_x;
  for (int i = 0; i < count; ++i)
    if (marks[i]) to[i] = through_mark(to[i], marks[i]);
}

// transfer at pixel (x, y) of a port: exclusive-or on a smooth port goes to the marks, of the
// kind its pattern makes.
inline void transfer_at(Port& port, QRgb& pixel, int x, int y, Operation operation, bool set,
                        QRgb colour, QRgb back, bool solid = true) {
  if (port.smooth) {
    if (operation == Operation::XOR) {
      if (set) flip_mark(port, x, y, solid ? MARK_INVERTED : MARK_SHADED);
      return;
    }
    if (operation == Operation::COPY && !set) clear_mark(port, x, y);
  }
  transfer(pixel, operation, set, colour, back);
}

// Paints every pixel of `area` (within the clip and the port) for which covered(x, y) holds.
template <typename Covered>
void paint_area(Port& port, Rect area, const Paint& paint, Covered covered) {
  Rect r = intersection(area, drawable(port));
  const bool solid = paint.solid();
  for (int y = r.top; y < r.bottom; ++y) {
    QRgb* row = reinterpret_cast<QRgb*>(pixels_of(port).scanLine(y));
    const uint8_t bits = paint.pattern.rows[y & 7];
    for (int x = r.left; x < r.right; ++x) {
      if (!covered(x, y)) continue;
      const bool set = (bits & (0x80 >> (x & 7))) != 0;
      transfer_at(port, row[x], x, y, paint.operation, set, set ? paint.fore : paint.back,
                  paint.back, solid);
    }
  }
}

void sink_fill(Port& port, const QPainterPath& shape, const Paint& paint);
void sink_line(Port& port, Point a, Point b, int w, int h, const Paint& paint);
QPainterPath line_shape(Point a, Point b, int w, int h);
void line_hull(Point a, Point b, int w, int h, QPointF* hull);
QPainterPath rect_shape(Rect r);
QPainterPath oval_shape(Rect r);

// A rectangle copied in one colour (a pattern with every bit set, or none) is filled row by
// row, as paint_area would fill it pixel by pixel; false for any other paint. Erasing the
// page's image is one such rectangle.
bool paint_plain_rect(Port& port, Rect area, const Paint& paint) {
  const uint8_t bits = paint.pattern.rows[0];
  if (paint.operation != Operation::COPY || (bits != 0 && bits != 0xFF)) return false;
  for (uint8_t row : paint.pattern.rows)
    if (row != bits) return false;
  const Rect r = intersection(area, drawable(port));
  if (r.empty()) return true;
  const bool set = bits != 0;
  const QRgb colour = set ? paint.fore : paint.back;
  // White over a blank image changes no pixel.
  if (!port.blank || colour != qRgb(255, 255, 255)) {
    uchar* pixels = pixels_of(port).bits();
    const qsizetype row_bytes = port.image.bytesPerLine();
    for (int y = r.top; y < r.bottom; ++y) {
      QRgb* row = reinterpret_cast<QRgb*>(pixels + row_bytes * y);
      std::fill(row + r.left, row + r.right, colour);
    }
  }
  // Copying the background over a pixel takes its marks away.
  if (!port.smooth || set || !port.marks_set) return true;
  for (int y = r.top; y < r.bottom; ++y) {
    uint8_t* marks = port.marks.data() + static_cast<size_t>(y) * port.image.width();
    for (int x = r.left; x < r.right; ++x) {
      if (!marks[x]) continue;
      marks[x] = 0;
      --port.marks_set;
    }
  }
  return true;
}

void paint_rect_with(Port& port, Rect r, const Paint& paint) {
  if (port.on_sink) return sink_fill(port, rect_shape(r), paint);
  if (paint_plain_rect(port, r, paint)) return;
  paint_area(port, r, paint, [](int, int) { return true; });
}

// How much of each pixel a shape covers (0 none, 255 whole), within a bounding rectangle.
struct Mask {
  Rect area;
  std::vector<uint8_t> bits;
  explicit Mask(Rect a)
      : area(a), bits(a.empty() ? 0 : static_cast<size_t>(a.width()) * a.height(), 0) {}
  uint8_t value(int x, int y) const {
    return area.contains({x, y})
               ? bits[static_cast<size_t>(y - area.top) * area.width() + (x - area.left)]
               : 0;
  }
  bool at(int x, int y) const { return value(x, y) != 0; }
  void set(int x, int y, uint8_t coverage = 255) {
    if (area.contains({x, y}))
      bits[static_cast<size_t>(y - area.top) * area.width() + (x - area.left)] = coverage;
  }
};

constexpr uint8_t HALF_COVERED = 128;

// Solid ink over part of a pixel: each channel darkened to the ink's shade over white at that
// coverage, never lightened.
QRgb darkened(QRgb pixel, QRgb ink, int coverage) {
  auto channel = [coverage](int under, int over) {
    return std::min(under, 255 - ((255 - over) * coverage + 127) / 255);
  };
  return qRgb(channel(qRed(pixel), qRed(ink)), channel(qGreen(pixel), qGreen(ink)),
              channel(qBlue(pixel), qBlue(ink)));
}

// The background over part of a pixel, mixed in by coverage.
QRgb mixed_in(QRgb pixel, QRgb back, int coverage) {
  auto channel = [coverage](int under, int over) {
    return (over * coverage + under * (255 - coverage) + 127) / 255;
  };
  return qRgb(channel(qRed(pixel), qRed(back)), channel(qGreen(pixel), qGreen(back)),
              channel(qBlue(pixel), qBlue(back)));
}

// Paints one pixel that a shape covers by `coverage` (1..255). A part-covered pixel takes solid
// ink in proportion; under a pattern or exclusive-or it counts as covered from half on.
inline void paint_pixel(Port& port, QRgb& pixel, uint8_t coverage, const Paint& paint, uint8_t bits,
                        int x, int y) {
  const bool solid = bits == 0xFF;
  if (coverage < 255 && solid && paint.operation != Operation::XOR) {
    if (paint.operation == Operation::BIC)
      pixel = mixed_in(pixel, paint.back, coverage);
    else
      pixel = darkened(pixel, paint.fore, coverage);
    return;
  }
  if (coverage < HALF_COVERED) return;
  const bool set = (bits & (0x80 >> (x & 7))) != 0;
  transfer_at(port, pixel, x, y, paint.operation, set, set ? paint.fore : paint.back, paint.back,
              paint.operation != Operation::XOR || paint.solid());
}

// Paints the covered pixels of a mask moved by (dx, dy), row by row over the mask's bytes.
void paint_mask(Port& port, const Mask& mask, const Paint& paint, int dx = 0, int dy = 0) {
  const Rect placed = offset_rect(mask.area, dx, dy);
  const Rect r = intersection(placed, drawable(port));
  if (r.empty()) return;
  const int width = mask.area.width();
  // The image's pixels are made its own once, not at every row.
  uchar* pixels = pixels_of(port).bits();
  const qsizetype row_bytes = port.image.bytesPerLine();
  for (int y = r.top; y < r.bottom; ++y) {
    QRgb* row = reinterpret_cast<QRgb*>(pixels + row_bytes * y);
    const uint8_t* covered =
        mask.bits.data() + static_cast<size_t>(y - placed.top) * width - placed.left;
    const uint8_t bits = paint.pattern.rows[y & 7];
    if (bits == 0xFF && (paint.operation == Operation::OR || paint.operation == Operation::COPY)) {
      // Solid ink, the common case of every glyph: covered pixels take the foreground, pixels
      // covered in part are darkened (black ink, the commonest, simply to 255 - coverage).
      const bool black = (paint.fore & INVERT_BITS) == 0;
      for (int x = r.left; x < r.right; ++x) {
        const uint8_t c = covered[x];
        if (c == 255) {
          row[x] = paint.fore;
        } else if (c && black) {
          const QRgb p = row[x];
          const int v = 255 - c;
          row[x] = qRgb(std::min(qRed(p), v), std::min(qGreen(p), v), std::min(qBlue(p), v));
        } else if (c) {
          row[x] = darkened(row[x], paint.fore, c);
        }
      }
      continue;
    }
    for (int x = r.left; x < r.right; ++x)
      if (covered[x]) paint_pixel(port, row[x], covered[x], paint, bits, x, y);
  }
}

// ---- Polygons -------------------------------------------------------------------------------

constexpr int SUBROWS = 16;  // rows of samples a pixel row is cut into for smooth edges

// Paints a convex polygon (vertices in order, pixel coordinates: a pixel's area runs from
// (x, y) to (x + 1, y + 1)). Smooth: each pixel by the share of it the polygon covers (the
// exact share along each of SUBROWS sample rows); else the pixels whose centres lie inside.
void paint_convex(Port& port, const PointF* points, int count, const Paint& paint, bool smooth) {
  if (count < 3) return;
  double top = points[0].y, bottom = top, left = points[0].x, right = left;
  for (int i = 1; i < count; ++i) {
    top = std::min(top, points[i].y), bottom = std::max(bottom, points[i].y);
    left = std::min(left, points[i].x), right = std::max(right, points[i].x);
  }
  const Rect d = drawable(port);
  const Rect r = intersection({static_cast<int>(std::floor(std::max(left, -1e9))),
                               static_cast<int>(std::floor(std::max(top, -1e9))),
                               static_cast<int>(std::ceil(std::min(right, 1e9))),
                               static_cast<int>(std::ceil(std::min(bottom, 1e9)))},
                              d);
  if (r.empty()) return;
  // The edges, each from its upper end, with the change of x along y.
  struct Edge {
    double top, bottom, x, slope;
  };
  Edge edges[8];
  int edge_count = 0;
  for (int i = 0; i < count && edge_count < 8; ++i) {
    PointF a = points[i], b = points[(i + 1) % count];
    if (a.y > b.y) std::swap(a, b);
    edges[edge_count++] = {a.y, b.y, a.x, a.y == b.y ? 0.0 : (b.x - a.x) / (b.y - a.y)};
  }
  // Where the polygon crosses the level y: false when it does not.
  auto span_at = [&](double y, double* from, double* to) {
    double lo = INFINITY, hi = -INFINITY;
    for (int i = 0; i < edge_count; ++i) {
      const Edge& e = edges[i];
      if (y < e.top || y > e.bottom) continue;
      const double x = e.x + e.slope * (y - e.top);
      lo = std::min(lo, x);
      hi = std::max(hi, x);
    }
    *from = lo;
    *to = hi;
    return lo <= hi;
  };
  uchar* pixels = pixels_of(port).bits();
  const qsizetype row_bytes = port.image.bytesPerLine();
  // A row's coverage in 256ths of a pixel summed over the sample rows: the pixels at a span's
  // ends take their share directly, the whole ones between through running sums.
  const size_t width = static_cast<size_t>(r.width());
  thread_local std::vector<int> coverage, whole;  // kept from polygon to polygon: no allocation
  if (coverage.size() < width + 1) coverage.resize(width + 1), whole.resize(width + 1);
  for (int y = r.top; y < r.bottom; ++y) {
    QRgb* row = reinterpret_cast<QRgb*>(pixels + row_bytes * y);
    const uint8_t bits = paint.pattern.rows[y & 7];
    if (!smooth) {
      double from, to;
      if (!span_at(y + 0.5, &from, &to)) continue;
      const int first = std::max(r.left, static_cast<int>(std::ceil(from - 0.5)));
      const int last = std::min(r.right - 1, static_cast<int>(std::floor(to - 0.5)));
      for (int x = first; x <= last; ++x) paint_pixel(port, row[x], 255, paint, bits, x, y);
      continue;
    }
    std::fill_n(coverage.begin(), width + 1, 0);
    std::fill_n(whole.begin(), width + 1, 0);
    int low = static_cast<int>(width), high = -1;
    for (int k = 0; k < SUBROWS; ++k) {
      double from, to;
      if (!span_at(y + (k + 0.5) / SUBROWS, &from, &to)) continue;
      from = std::max(from, double(r.left)) - r.left;
      to = std::min(to, double(r.right)) - r.left;
      if (to <= from) continue;
      const int first = static_cast<int>(from);
      const int last = std::min(static_cast<int>(width) - 1, static_cast<int>(std::ceil(to)) - 1);
      low = std::min(low, first);
      high = std::max(high, last);
      if (first == last) {
        coverage[static_cast<size_t>(first)] += static_cast<int>((to - from) * 256);
        continue;
      }
      coverage[static_cast<size_t>(first)] += static_cast<int>((first + 1 - from) * 256);
      coverage[static_cast<size_t>(last)] += static_cast<int>((to - last) * 256);
      whole[static_cast<size_t>(first + 1)] += 256;
      whole[static_cast<size_t>(last)] -= 256;
    }
    int running = 0;
    for (int i = low; i <= high; ++i) {
      running += whole[static_cast<size_t>(i)];
      const int c = (coverage[static_cast<size_t>(i)] + running) / SUBROWS;
      if (c > 0)
        paint_pixel(port, row[r.left + i], static_cast<uint8_t>(std::min(c, 255)), paint, bits,
                    r.left + i, y);
    }
  }
}

// ---- Ovals --------------------------------------------------------------------------------

// True when the centre of pixel (x, y) lies in the ellipse inscribed in r.
bool in_oval(Rect r, int x, int y) {
  if (!r.contains({x, y})) return false;
  const double dx = (x + 0.5 - (r.left + r.right) / 2.0) / (r.width() / 2.0);
  const double dy = (y + 0.5 - (r.top + r.bottom) / 2.0) / (r.height() / 2.0);
  return dx * dx + dy * dy <= 1.0;
}

void paint_oval_with(Port& port, Rect r, const Paint& paint) {
  if (port.on_sink) return sink_fill(port, oval_shape(r), paint);
  paint_area(port, r, paint, [r](int x, int y) { return in_oval(r, x, y); });
}

bool pen_draws(const PenState& pen) { return pen.width > 0 && pen.height > 0; }

Rect pen_inset(Rect r, const PenState& pen) {
  return {r.left + pen.width, r.top + pen.height, r.right - pen.width, r.bottom - pen.height};
}

// ---- Printed pages ----------------------------------------------------------------------------

QRgb mixed(QRgb a, QRgb b, double share_of_a) {
  auto channel = [&](int x, int y) {
    return static_cast<int>(std::lround(x * share_of_a + y * (1 - share_of_a)));
  };
  return qRgb(channel(qRed(a), qRed(b)), channel(qGreen(a), qGreen(b)),
              channel(qBlue(a), qBlue(b)));
}

// The one colour a paint leaves on a printed page; false when it leaves none. A pattern's
// share of set bits mixes the foreground with the background (or, under or and bit-clear,
// with the white paper); exclusive-or leaves nothing.
bool sink_colour_of(const Paint& paint, QRgb* colour) {
  int set = 0;
  for (uint8_t row : paint.pattern.rows) set += std::popcount(row);
  const double share = set / 64.0;
  switch (paint.operation) {
    case Operation::XOR:
      return false;
    case Operation::BIC:
      *colour = paint.back;
      return set > 0;
    case Operation::OR:
      *colour = mixed(paint.fore, qRgb(255, 255, 255), share);
      return set > 0;
    case Operation::COPY:
      *colour = mixed(paint.fore, paint.back, share);
      return true;
  }
  return false;
}

bool sink_colour(const Paint& paint, QRgb* colour) {
  // A page's drawing asks again and again with a few paints (text, lines): the last answer of
  // each operation is kept.
  struct Kept {
    bool known = false, leaves = false;
    Pattern pattern{};
    QRgb fore = 0, back = 0, colour = 0;
  };
  thread_local Kept kept[4];
  Kept& k = kept[static_cast<int>(paint.operation) & 3];
  if (!k.known || paint.fore != k.fore || paint.back != k.back ||
      std::memcmp(paint.pattern.rows, k.pattern.rows, sizeof k.pattern.rows) != 0) {
    k.known = true;
    k.pattern = paint.pattern;
    k.fore = paint.fore;
    k.back = paint.back;
    k.leaves = sink_colour_of(paint, &k.colour);
  }
  if (k.leaves) *colour = k.colour;
  return k.leaves;
}

// Hands a shape (port pixels) to the port's sink, clipped to the port's clip.
void sink_fill(Port& port, const QPainterPath& shape, const Paint& paint) {
  QRgb colour;
  if (!port.sink.fill || !sink_colour(paint, &colour)) return;
  const Rect d = drawable(port);
  if (d.empty()) return;
  const QRectF clip(d.left, d.top, d.width(), d.height());
  const QRectF extent = shape.boundingRect();
  if (!extent.intersects(clip) && !(extent.isEmpty() && clip.contains(extent.topLeft()))) return;
  port.sink.fill(port.sink.context, shape, colour, clip.contains(extent) ? QRectF() : clip);
}

// Hands a line to the port's sink, as a line when it takes lines, else as its shape.
void sink_line(Port& port, Point a, Point b, int w, int h, const Paint& paint) {
  if (!port.sink.line) return sink_fill(port, line_shape(a, b, w, h), paint);
  QRgb colour;
  if (!sink_colour(paint, &colour)) return;
  const Rect d = drawable(port);
  const Rect extent{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + w,
                    std::max(a.y, b.y) + h};
  if (d.empty() || intersection(extent, d).empty()) return;
  const QRectF clip =
      intersection(extent, d) == extent ? QRectF() : QRectF(d.left, d.top, d.width(), d.height());
  port.sink.line(port.sink.context, a, b, w, h, colour, clip);
}

QPainterPath rect_shape(Rect r) {
  QPainterPath shape;
  shape.setFillRule(Qt::WindingFill);
  if (!r.empty()) shape.addRect(r.left, r.top, r.width(), r.height());
  return shape;
}

QPainterPath oval_shape(Rect r) {
  QPainterPath shape;
  shape.setFillRule(Qt::WindingFill);
  if (!r.empty()) shape.addEllipse(r.left, r.top, r.width(), r.height());
  return shape;
}

// The area a pen of w by h covers along a line from a to b: the hull of the pen's rectangle
// at both ends.
void line_hull(Point a, Point b, int w, int h, QPointF* hull) {
  if (b.x < a.x) std::swap(a, b);
  const double ax = a.x, ay = a.y, bx = b.x, by = b.y;
  const QPointF down[6] = {{ax, ay},         {ax + w, ay}, {bx + w, by},
                           {bx + w, by + h}, {bx, by + h}, {ax, ay + h}};
  const QPointF up[6] = {{ax, ay},         {bx, by},         {bx + w, by},
                         {bx + w, by + h}, {ax + w, ay + h}, {ax, ay + h}};
  // Down to the right, the top-right and bottom-left corners join; up, the other two.
  std::copy_n(ay <= by ? down : up, 6, hull);
}

QPainterPath line_shape(Point a, Point b, int w, int h) {
  QPointF corners[6];
  line_hull(a, b, w, h, corners);
  QPainterPath shape;
  shape.setFillRule(Qt::WindingFill);
  shape.addPolygon(QPolygonF(std::begin(corners), std::end(corners)));
  shape.closeSubpath();
  return shape;
}

// A frame: the outer shape less the inner one.
QPainterPath frame_shape(const QPainterPath& outer, const QPainterPath& inner) {
  QPainterPath shape = outer;
  shape.setFillRule(Qt::OddEvenFill);
  shape.addPath(inner);
  return shape;
}

// ---- Lines --------------------------------------------------------------------------------

// Stamps the pen rectangle at every point of the path from a to b (both ends included).
void stamp_line(Mask& mask, Point a, Point b, int pen_width, int pen_height) {
  const long long dx = std::llabs(static_cast<long long>(b.x) - a.x);
  const long long dy = -std::llabs(static_cast<long long>(b.y) - a.y);
  const int step_x = a.x < b.x ? 1 : -1, step_y = a.y < b.y ? 1 : -1;
  long long error = dx + dy;
  Point p = a;
  for (;;) {
    const Rect stamp = intersection({p.x, p.y, p.x + pen_width, p.y + pen_height}, mask.area);
    for (int y = stamp.top; y < stamp.bottom; ++y)
      for (int x = stamp.left; x < stamp.right; ++x) mask.set(x, y);
    if (p == b) break;
    const long long twice = 2 * error;
    if (twice >= dy) {
      error += dy;
      p.x += step_x;
    }
    if (twice <= dx) {
      error += dx;
      p.y += step_y;
    }
  }
}

// ---- Fonts and text -------------------------------------------------------------------------

// One character of a music font, as the embedded music font draws it (glyph_map.h).
struct MusicGlyph {
  char32_t code_point = 0;  // 0: the character draws nothing
  double scale = 1.0;       // of the text size
  double dx = 0, dy = 0;    // placement corrections, in fractions of the text size; y down
  int copies = 1;           // drawn this many times,
  double step = 0;          // this far apart (fractions of the text size)
};

MusicGlyph music_glyph(int font, uint8_t code) {
  const MusicFontGlyph* g = music_font_glyph(font, code);
  if (!g) return {};
  // One staff space at the font's design size, in fractions of the size asked for.
  const double space = 5.0 / music_font_design_size(font);
  return {g->code_point, g->scale, g->dx * space, -g->dy * space, g->copies, g->copy_step * space};
}

struct TextStyle {
  int font, size, face;
};

// Loading a font's engine sets the system's font configuration aside for a moment
// (load_plain_engine), and is done holding this lock alone; every other call into the toolkit
// that may load an engine (a fallback for a missing character) shares it, so that none loads one
// meanwhile and finds other fonts. Texts measured once are kept, so the lock is taken rarely.
std::shared_mutex& font_lock() {
  static std::shared_mutex lock;
  return lock;
}

// The faces and fonts that design_outlines.h keeps are the process's: one thread at a time uses
// them (texts measured once are kept, so the lock is taken rarely).
std::mutex& design_lock() {
  static std::mutex lock;
  return lock;
}

// The caches below are each thread's own; the main thread's go when the application object
// goes, another thread's when it says it is done drawing (port_thread_done).
void drop_when_done(void (*drop)()) {
  const QCoreApplication* app = QCoreApplication::instance();
  if (!app || app->thread() == QThread::currentThread()) qAddPostRoutine(drop);
}

// A thread that only draws printed pages apart (port_thread_draws_pages) loads a font's engine
// only when it has to measure a text no thread has measured: the toolkit keeps engines per
// thread, and loading one is most of what a thread's first page would cost.
thread_local bool engines_on_demand = false;

// Loads the font engine of a font drawn neither smooth nor hinted (make_font's), with the
// system's font configuration set aside. Loading an engine runs every substitution rule of the
// configuration and matches the font against every installed one, a good part of a millisecond
// each time, only to learn how to render it: smooth or not, hinted or not, auto-hinted, and the
// filter of subpixel rendering, none of which such a font uses. The engine's file, size and
// face come from the toolkit's own list of fonts, the same either way. Only the engine is
// loaded here (its heights need no glyph): characters missing from the font are looked for
// later, in the system's configuration.
void load_plain_engine(const QFontMetricsF& metrics) {
  static FcConfig* const bare = FcConfigCreate();
  FcConfig* const system = FcConfigReference(nullptr);  // kept while set aside
  if (bare && system && FcConfigSetCurrent(bare)) {
    (void)metrics.ascent();
    FcConfigSetCurrent(system);
  }
  if (system) FcConfigDestroy(system);
}

// The one character of a text; 0 for none or more.
char32_t sole_character(const QString& text) {
  if (text.size() == 1) return text.front().isSurrogate() ? 0 : char32_t(text.front().unicode());
  if (text.size() == 2 && text[0].isHighSurrogate() && text[1].isLowSurrogate())
    return QChar::surrogateToUcs4(text[0], text[1]);
  return 0;
}

// Whether the layout draws a character alone as the font's glyph for it, at the pen: no
// control or format character, separator of lines, combining mark (shown on a dotted circle)
// or object, and of a script whose shaping keeps one character one glyph.
bool drawn_alone(char32_t c) {
  switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
    case QChar::Other_NotAssigned:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
      return false;
    default:
      break;
  }
  if (c == QChar::ObjectReplacementCharacter) return false;
  switch (QChar::script(c)) {
    case QChar::Script_Common:
    case QChar::Script_Latin:
    case QChar::Script_Greek:
    case QChar::Script_Unknown:  // private use: the music font's glyphs
      return true;
    default:
      return false;
  }
}

// The boxes a text is measured by besides its advance: the layout's bounding box, and the
// box of its ink alone.
enum class TextBox { BOUNDS, INK };

// What a text measures in a font, each once asked for: its advance and its boxes.
struct Measure {
  double advance = 0;
  bool advance_known = false;
  QRectF boxes[2];
  bool boxes_known[2] = {false, false};
};
// The font's own heights and widest character.
struct Lines {
  double ascent, descent, leading, max_width, height;
};

// What every thread has measured in one font (family, pixel size and face): a measure is the
// same whichever thread's engine took it, so each text is measured once for all.
struct SharedMeasures {
  std::shared_mutex lock;
  QHash<QString, Measure> measures;
  bool lines_known = false;
  Lines lines{};
  static constexpr qsizetype MOST = 16384;  // texts kept, so odd texts cannot pile up
};

SharedMeasures& shared_measures(const std::tuple<std::string, int, int>& key) {
  static std::mutex lock;
  // Kept to the end of the process, by every thread.
  static auto* all = new std::map<std::tuple<std::string, int, int>, SharedMeasures>();
  std::lock_guard held(lock);
  return (*all)[key];
}

// A font with its metrics. The advance and the boxes of a text (its bounding box, its ink) are
// kept once measured: a page draws the same glyphs and words again and again, and shaping them
// each time costs more than drawing them.
struct LoadedFont {
  QFont font;
  QFontMetricsF metrics;
  SharedMeasures& shared;
  LoadedFont(const QFont& f, SharedMeasures& measured) : font(f), metrics(f), shared(measured) {
    if (!engines_on_demand) ready();
  }

  // Loads the font's engine on this thread, as a font drawn neither smooth nor hinted is loaded,
  // before anything is measured or drawn with it.
  void ready() const {
    if (engine_ready) return;
    if ((font.styleStrategy() & QFont::NoAntialias) &&
        font.hintingPreference() == QFont::PreferNoHinting) {
      std::unique_lock lock(font_lock());
      load_plain_engine(metrics);
    }
    engine_ready = true;
  }

  // The font's own heights and widest character, asked for by every text a page measures.
  const Lines& lines() const {
    if (!lines_known) {
      {
        std::shared_lock held(shared.lock);
        if (shared.lines_known) kept_lines = shared.lines, lines_known = true;
      }
      if (!lines_known) {
        ready();
        {
          std::shared_lock lock(font_lock());
          kept_lines = {metrics.ascent(), metrics.descent(), metrics.leading(), metrics.maxWidth(),
                        metrics.height()};
        }
        lines_known = true;
        std::unique_lock held(shared.lock);
        shared.lines = kept_lines;
        shared.lines_known = true;
      }
    }
    return kept_lines;
  }

  // The font's own engine (characters it lacks are drawn by others), made once.
  const QRawFont& raw() const {
    if (!raw_known) {
      ready();
      {
        std::shared_lock lock(font_lock());
        kept_raw = QRawFont::fromFont(font);
      }
      std::lock_guard held(design_lock());
      setting = kept_raw.isValid() ? text_setting(kept_raw) : TextSetting::LAID_OUT;
      raw_known = true;
    }
    return kept_raw;
  }

  // The glyph of the font's own that the layout draws for a text of one character, alone, at
  // the pen: 0 when the layout would do more (see drawn_alone) or the font lacks it.
  quint32 own_glyph(const QString& text) const {
    if (!sole_character(text)) return 0;
    const QList<quint32> glyphs = own_glyphs(text);
    return glyphs.isEmpty() ? 0 : glyphs.first();
  }

  // The advance of the text: this thread's, else another thread's, else measured here and
  // shared.
  double advance(const QString& text) const {
    Measure& m = measure(text);
    if (!m.advance_known) {
      {
        std::shared_lock held(shared.lock);
        auto it = shared.measures.constFind(text);
        if (it != shared.measures.constEnd() && it->advance_known)
          m.advance = it->advance, m.advance_known = true;
      }
      if (!m.advance_known) {
        ready();
        if (!own_advance(text, &m.advance)) {
          std::shared_lock lock(font_lock());
          m.advance = metrics.horizontalAdvance(text);
        }
        m.advance_known = true;
        share(text, m);
      }
    }
    return m.advance;
  }
  // The advance and the ink of a text of the font's own glyphs at another whole pixel size, as
  // advance() and box(INK) give them in the font at that size, read from the font's file without
  // the toolkit's engine at that size. False where the layout is needed.
  bool advance_at(const QString& text, qreal pixel_size, double* advance) const {
    const QList<quint32> glyphs = spaced_own_glyphs(text);
    if (glyphs.isEmpty()) return false;
    const QRawFont& r = raw();
    double sum = 0;
    std::lock_guard held(design_lock());
    for (quint32 glyph : glyphs) {
      double width = 0;
      if (!glyph || !design_advance_at(r, pixel_size, font.bold(), font.italic(), glyph, &width))
        return false;
      sum += width;
    }
    *advance = sum;
    return true;
  }
  // The layout's tight box: each glyph's box placed at the pen, moved by the advances before it
  // (64ths of a pixel); its right edge from the pen's next whole pixel; the base line within.
  bool ink_at(const QString& text, int pixel_size, QRectF* ink) const {
    const QList<quint32> glyphs = spaced_own_glyphs(text);
    if (glyphs.isEmpty()) return false;
    const QRawFont& r = raw();
    int64_t pen = 0, left = INT32_MAX, right = 0;
    int top = INT32_MAX, bottom = 0;
    std::lock_guard held(design_lock());
    for (quint32 glyph : glyphs) {
      GlyphBox box;
      double advance = 0;
      if (!glyph || !design_glyph_box(r, pixel_size, font.bold(), font.italic(), glyph, &box) ||
          !design_advance_at(r, pixel_size, font.bold(), font.italic(), glyph, &advance) ||
          advance <= 0)  // the layout passes over a glyph that does not advance
        return false;
      const int64_t x = pen + int64_t(box.x) * 64;
      left = std::min(left, x);
      right = std::max(right, ((x + 63) & -64) + int64_t(box.width) * 64);
      top = std::min(top, box.y);
      bottom = std::max(bottom, box.y + box.height);
      pen += std::llround(advance * 64);
    }
    *ink = QRectF(double(left) / 64, top, double(right - left) / 64, std::max(0, bottom - top));
    return true;
  }

  // A box that holds the text's box(BOUNDS) and its line, found without laying the text out: a
  // text of the font's own glyphs set one after another has their pens between 0 and its
  // advance, and each glyph lies within the box of all the font's glyphs at its pen; a pixel for
  // each glyph and a quarter em to spare for rounding. False where the layout is needed.
  bool bounds_within(const QString& text, QRectF* bound) const {
    const QList<quint32> glyphs = spaced_own_glyphs(text);
    if (glyphs.isEmpty() || glyphs.contains(0u)) return false;
    const QRawFont& r = raw();
    const double size = r.pixelSize();
    QRectF face;
    {
      std::lock_guard held(design_lock());
      if (size != std::floor(size) ||
          !design_face_box(r, int(size), font.bold(), font.italic(), &face))
        return false;
    }
    const Lines& m = lines();
    const double spare = 2 + double(glyphs.size()) + size / 4;
    const double left = std::min(0.0, face.left()) - spare;
    const double right = std::max(0.0, advance(text)) + std::max(0.0, face.right()) + spare;
    const double top = std::min(-m.ascent, face.top()) - spare;
    const double bottom = std::max(m.descent, face.bottom()) + spare;
    *bound = QRectF(left, top, right - left, bottom - top);
    return true;
  }

  // A box of the text: this thread's, else another thread's, else measured here and shared.
  QRectF box(const QString& text, TextBox kind) const {
    Measure& m = measure(text);
    const int k = int(kind);
    if (!m.boxes_known[k]) {
      {
        std::shared_lock held(shared.lock);
        auto it = shared.measures.constFind(text);
        if (it != shared.measures.constEnd() && it->boxes_known[k])
          m.boxes[k] = it->boxes[k], m.boxes_known[k] = true;
      }
      if (!m.boxes_known[k]) {
        ready();
        {
          std::shared_lock lock(font_lock());
          m.boxes[k] =
              kind == TextBox::INK ? metrics.tightBoundingRect(text) : metrics.boundingRect(text);
        }
        m.boxes_known[k] = true;
        share(text, m);
      }
    }
    return m.boxes[k];
  }

 private:
  static constexpr qsizetype MOST_MEASURES = 4096;  // texts kept, so odd texts cannot pile up
  mutable QHash<QString, Measure> measures;
  mutable Lines kept_lines{};
  mutable bool lines_known = false;
  mutable QRawFont kept_raw;
  mutable bool raw_known = false;
  mutable TextSetting setting = TextSetting::LAID_OUT;

  // The advance of a text of characters of the font's own, each laid out as if alone, in a
  // font that sets a line glyph by glyph (one character: any such font), with no spacing
  // added between letters or words: the sum of the glyphs' design widths, the layout's width
  // without laying it out or loading a glyph. False where the layout is needed.
  bool own_advance(const QString& text, double* advance) const {
    return advance_at(text, raw().pixelSize(), advance);
  }

  // The font's own glyphs of a text (see own_glyphs) in a font that adds no spacing between
  // letters or words; none where the layout is needed.
  QList<quint32> spaced_own_glyphs(const QString& text) const {
    if (font.letterSpacing() != 0 || font.wordSpacing() != 0) return {};
    return own_glyphs(text);
  }

  // The font's own glyphs for a text of characters each laid out as if alone (see
  // drawn_alone), one for each: one character in any font that sets it so, more only in a font
  // that sets a line glyph by glyph. None where the layout is needed.
  QList<quint32> own_glyphs(const QString& text) const {
    const QList<uint> characters = text.toUcs4();
    if (characters.isEmpty() || !std::all_of(characters.begin(), characters.end(),
                                             [](uint c) { return drawn_alone(char32_t(c)); }))
      return {};
    const QRawFont& r = raw();
    if (setting == TextSetting::LAID_OUT ||
        (characters.size() > 1 && setting != TextSetting::GLYPH_BY_GLYPH))
      return {};
    QList<quint32> glyphs = r.glyphIndexesForString(text);
    if (glyphs.size() != characters.size()) return {};
    return glyphs;
  }

  mutable bool engine_ready = false;

  void share(const QString& text, const Measure& m) const {
    std::unique_lock held(shared.lock);
    if (shared.measures.size() >= SharedMeasures::MOST) shared.measures.clear();
    Measure& kept = shared.measures[text];
    if (m.advance_known) kept.advance = m.advance, kept.advance_known = true;
    for (int k = 0; k < 2; ++k)
      if (m.boxes_known[k]) kept.boxes[k] = m.boxes[k], kept.boxes_known[k] = true;
  }

  // This thread's record of the text, begun from another thread's when there is one.
  Measure& measure(const QString& text) const {
    auto it = measures.find(text);
    if (it != measures.end()) return *it;
    if (measures.size() >= MOST_MEASURES) measures.clear();
    {
      std::shared_lock held(shared.lock);
      auto found = shared.measures.constFind(text);
      if (found != shared.measures.constEnd()) return *measures.insert(text, *found);
    }
    return *measures.insert(text, Measure{});
  }
};

// Fonts in use, by family, pixel size and face; emptied when the application object goes.
thread_local std::map<std::tuple<std::string, int, int>, std::unique_ptr<LoadedFont>>* font_cache =
    nullptr;

// The same fonts by font number, pixel size and face, while the registry stays as it was
// built: a measured text is found again without naming its family and comparing names.
struct NumberedFont {
  int font, pixel_size, face;
  bool operator==(const NumberedFont&) const = default;
};
struct NumberedFontHash {
  size_t operator()(const NumberedFont& f) const {
    return std::hash<uint64_t>()((uint64_t(uint32_t(f.font)) << 32) ^
                                 (uint64_t(uint32_t(f.pixel_size)) << 8) ^
                                 uint64_t(uint32_t(f.face)));
  }
};
thread_local std::unordered_map<NumberedFont, const LoadedFont*, NumberedFontHash>* numbered_fonts =
    nullptr;
thread_local int numbered_fonts_generation = -1;

void drop_font_cache() {
  delete font_cache;
  font_cache = nullptr;
  delete numbered_fonts;
  numbered_fonts = nullptr;
}

QFont make_font(const std::string& family, int pixel_size, int face) {
  QFont font;
  if (!family.empty()) font.setFamily(QString::fromStdString(family));
  font.setPixelSize(std::clamp(pixel_size, 1, LARGEST_TEXT_SIZE));
  font.setBold(face & FACE_BOLD);
  font.setItalic(face & FACE_ITALIC);
  font.setUnderline(face & FACE_UNDERLINE);
  if (face & FACE_CONDENSE) font.setLetterSpacing(QFont::AbsoluteSpacing, -1);
  if (face & FACE_EXTEND) font.setLetterSpacing(QFont::AbsoluteSpacing, 1);
  font.setKerning(false);  // widths add up character by character
  font.setHintingPreference(QFont::PreferNoHinting);
  font.setStyleStrategy(QFont::NoAntialias);
  return font;
}

// The loaded font of a family; a family that is not installed falls back to the system
// font's stand-in. Needs the application object.
const LoadedFont& loaded_font(const std::string& family, int pixel_size, int face) {
  if (!font_cache) {
    font_cache = new std::remove_pointer_t<decltype(font_cache)>();
    drop_when_done(drop_font_cache);
  }
  auto key = std::make_tuple(family, pixel_size, face);
  auto it = font_cache->find(key);
  if (it == font_cache->end()) {
    std::string drawn = family.empty() ? platform_font_family(FONT_SYSTEM) : family;
    it = font_cache
             ->emplace(key, std::make_unique<LoadedFont>(make_font(drawn, pixel_size, face),
                                                         shared_measures(key)))
             .first;
  }
  return *it->second;
}

// The loaded font of a font number: loaded_font of its family.
const LoadedFont& numbered_font(int font, int pixel_size, int face) {
  if (!numbered_fonts) numbered_fonts = new std::remove_pointer_t<decltype(numbered_fonts)>();
  if (numbered_fonts_generation != platform_font_registry_generation()) {
    numbered_fonts->clear();
    numbered_fonts_generation = platform_font_registry_generation();
  }
  const NumberedFont key{font, pixel_size, face};
  auto it = numbered_fonts->find(key);
  if (it == numbered_fonts->end())
    it = numbered_fonts->emplace(key, &loaded_font(platform_font_family(font), pixel_size, face))
             .first;
  return *it->second;
}

// A stretch of text drawn in one font, at an offset from the pen.
struct TextRun {
  const LoadedFont* font;
  QString text;
  double dx = 0, dy = 0;
  double advance = 0;
};

int pixel_size(const TextStyle& style) { return style.size > 0 ? style.size : DEFAULT_TEXT_SIZE; }

void music_runs(const TextStyle& style, const char* bytes, int length, std::vector<TextRun>& runs) {
  const std::string family = platform_font_family(style.font);
  if (family.empty()) return;
  const int size = pixel_size(style);
  for (int i = 0; i < length; ++i) {
    const MusicGlyph glyph = music_glyph(style.font, static_cast<uint8_t>(bytes[i]));
    if (glyph.code_point == 0) continue;
    const LoadedFont& font =
        loaded_font(family, static_cast<int>(std::lround(size * glyph.scale)), FACE_PLAIN);
    const QString text = QString::fromUcs4(&glyph.code_point, 1);
    const double advance = font.advance(text);
    // Repeated copies advance the pen only after the last one.
    for (int copy = 0; copy < glyph.copies; ++copy) {
      const double shift = copy * glyph.step * size;
      const bool last = copy == glyph.copies - 1;
      runs.push_back(
          {&font, text, glyph.dx * size + shift, glyph.dy * size, last ? advance + shift : 0.0});
    }
  }
}

QString text_string(const TextStyle& style, const char* bytes, int length) {
  QString text;
  text.reserve(length);
  for (int i = 0; i < length; ++i) {
    const uint8_t byte = static_cast<uint8_t>(bytes[i]);
    if (style.font == FONT_SYMBOL) {
      // The symbol font's stand-in takes the byte codes themselves.
      if (byte >= 0x20) text += QChar(byte);
    } else {
      text += QChar(static_cast<char16_t>(macroman_to_unicode(byte)));
    }
  }
  return text;
}

// The runs that draw the bytes in a style, each with its advance; a text font's single run
// without it (0) when `last_advance` is false, for what needs no pen after it.
std::vector<TextRun> text_runs(const TextStyle& style, const char* bytes, int length,
                               bool last_advance = true) {
  std::vector<TextRun> runs;
  if (!bytes || length <= 0 || !qGuiApp) return runs;
  if (platform_is_music_font(style.font)) {
    music_runs(style, bytes, length, runs);
    return runs;
  }
  const LoadedFont& font = numbered_font(style.font, pixel_size(style), style.face);
  QString text = text_string(style, bytes, length);
  runs.push_back({&font, text, 0, 0, last_advance ? font.advance(text) : 0.0});
  return runs;
}

double runs_width(const std::vector<TextRun>& runs) {
  double width = 0;
  for (const TextRun& run : runs) width += run.advance;
  return width;
}

TextStyle style_of(const Port* port) {
  if (!port) return {FONT_SYSTEM, 0, FACE_PLAIN};
  return {port->text_font, port->text_size, port->text_face};
}

// The rectangle a run may touch, its origin at its pen.
QRectF run_box(const TextRun& run) {
  const Lines& m = run.font->lines();
  return run.font->box(run.text, TextBox::BOUNDS) | QRectF(0, -m.ascent, run.advance, m.height);
}

// The pixel rectangle that the runs may touch when drawn with their origin at (x, y), given
// each run's box.
template <typename Box>
Rect runs_extent_of(const std::vector<TextRun>& runs, double x, double y, Box box) {
  QRectF extent;
  double pen = 0;
  for (size_t i = 0; i < runs.size(); ++i) {
    const TextRun& run = runs[i];
    extent |= box(i).translated(x + pen + run.dx, y + run.dy);
    pen += run.advance;
  }
  const double margin = 3 + extent.height() / 4;  // slant, underline, outline and shadow
  extent.adjust(-margin, -margin, margin, margin);
  return {static_cast<int>(std::floor(extent.left())), static_cast<int>(std::floor(extent.top())),
          static_cast<int>(std::ceil(extent.right())),
          static_cast<int>(std::ceil(extent.bottom()))};
}

Rect runs_extent(const std::vector<TextRun>& runs, double x, double y) {
  return runs_extent_of(runs, x, y, [&runs](size_t i) { return run_box(runs[i]); });
}

// The pixels the glyphs of the runs cover, drawn from (x, y), within `area`: whole pixels, or
// smooth, the share of each pixel.
Mask glyph_mask(const std::vector<TextRun>& runs, double x, double y, Rect area, bool smooth) {
  Mask mask(area);
  if (area.empty()) return mask;
  port_note_text_drawn();
  QImage glyphs(area.width(), area.height(), QImage::Format_ARGB32_Premultiplied);
  if (glyphs.isNull()) return mask;
  glyphs.fill(Qt::transparent);
  {
    QPainter painter(&glyphs);
    painter.setRenderHint(QPainter::Antialiasing, smooth);
    painter.setRenderHint(QPainter::TextAntialiasing, smooth);
    painter.setPen(Qt::black);
    double pen = 0;
    for (const TextRun& run : runs) {
      run.font->ready();
      if (smooth) {
        QFont font = run.font->font;
        font.setStyleStrategy(QFont::PreferAntialias);
        painter.setFont(font);
      } else {
        painter.setFont(run.font->font);
      }
      painter.drawText(QPointF(x + pen + run.dx - area.left, y + run.dy - area.top), run.text);
      pen += run.advance;
    }
  }
  for (int row = 0; row < area.height(); ++row) {
    const QRgb* line = reinterpret_cast<const QRgb*>(glyphs.constScanLine(row));
    for (int column = 0; column < area.width(); ++column) {
      const int alpha = qAlpha(line[column]);
      if (smooth && alpha > 0)
        mask.set(area.left + column, area.top + row, static_cast<uint8_t>(alpha));
      else if (alpha >= HALF_COVERED)
        mask.set(area.left + column, area.top + row);
    }
  }
  return mask;
}

bool any_neighbour(const Mask& mask, int x, int y) {
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx)
      if (mask.at(x + dx, y + dy)) return true;
  return false;
}

// Outline: the ring of pixels around the glyphs. Shadow: the ring and the ring moved one
// pixel right and down, leaving the glyphs' own pixels clear.
Mask outline_mask(const Mask& glyphs, bool shadow) {
  Mask ring(glyphs.area);
  for (int y = glyphs.area.top; y < glyphs.area.bottom; ++y)
    for (int x = glyphs.area.left; x < glyphs.area.right; ++x) {
      if (glyphs.at(x, y)) continue;
      if (any_neighbour(glyphs, x, y) || (shadow && any_neighbour(glyphs, x - 1, y - 1)))
        ring.set(x, y);
    }
  return ring;
}

// ---- One-character glyphs ----------------------------------------------------------------

// A single character drawn at a whole pixel is drawn so often (every glyph of a page) that its
// covered pixels and advance are kept, relative to the pen, by font, size, face and byte. The
// pixels are the same as drawing it afresh: a glyph at a whole pixel is only moved. They are
// found when the glyph is first drawn: a glyph only measured (a page only printed) needs its
// advance alone.
struct CachedGlyph {
  double advance;
  bool masked = false;
  Mask mask{Rect{}};  // covered pixels with the pen at (0, 0), once masked
};

struct GlyphKey {
  int font, size, face;
  uint8_t byte;
  bool smooth;
  bool operator==(const GlyphKey&) const = default;
};
struct GlyphKeyHash {
  size_t operator()(const GlyphKey& k) const {
    const uint64_t low = uint64_t(uint32_t(k.size)) << 32 | uint32_t(k.face) << 9 |
                         uint32_t(k.byte) << 1 | uint32_t(k.smooth);
    return std::hash<uint64_t>()(low ^ uint64_t(uint32_t(k.font)) * 0x9E3779B97F4A7C15ull);
  }
};
thread_local std::unordered_map<GlyphKey, CachedGlyph, GlyphKeyHash>* glyph_cache = nullptr;
constexpr size_t GLYPH_CACHE_LIMIT = 8192;

void drop_glyph_cache() {
  delete glyph_cache;
  glyph_cache = nullptr;
}

// The mask cut down to the pixels it covers (a glyph's box has much blank around its ink), so
// that painting it visits no more.
Mask ink_only(const Mask& mask) {
  const Rect a = mask.area;
  Rect ink{a.right, a.bottom, a.left, a.top};
  for (int y = a.top; y < a.bottom; ++y)
    for (int x = a.left; x < a.right; ++x)
      if (mask.bits[static_cast<size_t>(y - a.top) * a.width() + (x - a.left)]) {
        ink = {std::min(ink.left, x), std::min(ink.top, y), std::max(ink.right, x + 1),
               std::max(ink.bottom, y + 1)};
      }
  if (ink.empty()) return Mask(Rect{});
  Mask cut(ink);
  for (int y = ink.top; y < ink.bottom; ++y)
    for (int x = ink.left; x < ink.right; ++x) cut.set(x, y, mask.value(x, y));
  return cut;
}

// The glyph of a byte, with its mask when `masked` is asked.
const CachedGlyph& cached_glyph(const TextStyle& style, uint8_t byte, bool smooth, bool masked) {
  if (!glyph_cache) {
    glyph_cache = new std::remove_pointer_t<decltype(glyph_cache)>();
    drop_when_done(drop_glyph_cache);
  }
  if (glyph_cache->size() > GLYPH_CACHE_LIMIT) glyph_cache->clear();
  const GlyphKey key{style.font, style.size, style.face, byte, smooth};
  auto it = glyph_cache->find(key);
  const char c = static_cast<char>(byte);
  if (it == glyph_cache->end())
    it = glyph_cache->emplace(key, CachedGlyph{runs_width(text_runs(style, &c, 1))}).first;
  CachedGlyph& glyph = it->second;
  if (masked && !glyph.masked) {
    const std::vector<TextRun> runs = text_runs(style, &c, 1);
    Mask mask =
        runs.empty() ? Mask(Rect{}) : glyph_mask(runs, 0, 0, runs_extent(runs, 0, 0), smooth);
    if (style.face & (FACE_OUTLINE | FACE_SHADOW))
      mask = outline_mask(mask, (style.face & FACE_SHADOW) != 0);
    glyph.mask = ink_only(mask);
    glyph.masked = true;
  }
  return glyph;
}

// The runs of a text in a style with their boxes and width, kept by style and bytes: the
// texts of printed pages repeat (note heads, rests, digits), and laying one out takes longer
// than drawing it.
struct SinkRuns {
  std::vector<TextRun> runs;
  std::vector<QRectF> boxes;   // each run's run_box, found when first needed
  std::vector<QRectF> bounds;  // boxes holding them, found without a layout; none if any needs it
  std::vector<SinkTextRun> handed;  // the runs as a sink takes them, each at its pen
  double width = 0;
};

// Keys are the style's three numbers and the bytes in one string, looked up without making one.
struct KeyHash {
  using is_transparent = void;
  size_t operator()(std::string_view key) const { return std::hash<std::string_view>()(key); }
};
thread_local std::unordered_map<std::string, SinkRuns, KeyHash, std::equal_to<>>* sink_runs_cache =
    nullptr;
constexpr size_t SINK_RUNS_LIMIT = 8192;

void drop_sink_runs_cache() {
  delete sink_runs_cache;
  sink_runs_cache = nullptr;
}

SinkRuns& sink_runs(const TextStyle& style, const char* bytes, int length) {
  if (!sink_runs_cache) {
    sink_runs_cache = new std::remove_pointer_t<decltype(sink_runs_cache)>();
    drop_when_done(drop_sink_runs_cache);
  }
  if (sink_runs_cache->size() > SINK_RUNS_LIMIT) sink_runs_cache->clear();
  thread_local std::string key;
  const int numbers[3] = {style.font, style.size, style.face};
  key.assign(reinterpret_cast<const char*>(numbers), sizeof numbers);
  if (length > 0) key.append(bytes, static_cast<size_t>(length));
  auto it = sink_runs_cache->find(std::string_view(key));
  if (it == sink_runs_cache->end()) {
    SinkRuns kept;
    kept.runs = text_runs(style, bytes, length);
    double pen = 0;
    bool bounded = true;
    for (const TextRun& run : kept.runs) {
      QRectF bound;
      bounded = bounded && run.font->bounds_within(run.text, &bound);
      if (bounded)
        kept.bounds.push_back(
            bound | QRectF(0, -run.font->lines().ascent, run.advance, run.font->lines().height));
      kept.handed.push_back({run.font->font, run.text, pen + run.dx, run.dy});
      pen += run.advance;
    }
    if (!bounded) kept.bounds.clear();
    kept.width = runs_width(kept.runs);
    it = sink_runs_cache->emplace(key, std::move(kept)).first;
  }
  return it->second;
}

// Hands text to the port's sink as the runs the port would draw, at the pen.
void sink_text(Port& port, const TextStyle& style, const char* bytes, int length,
               const Paint& paint) {
  SinkRuns& laid = sink_runs(style, bytes, length);
  const std::vector<TextRun>& runs = laid.runs;
  const double x = port.pen.position.x + port.pen_fraction;
  const double y = port.pen.position.y;
  QRgb colour;
  const Rect d = drawable(port);
  if (port.sink.text && !runs.empty() && !d.empty() && sink_colour(paint, &colour)) {
    // Runs whose bounds lie within the drawable lie there whole: their boxes are not needed.
    Rect extent;
    if (!laid.bounds.empty())
      extent = runs_extent_of(runs, x, y, [&laid](size_t i) { return laid.bounds[i]; });
    if (laid.bounds.empty() || intersection(extent, d) != extent) {
      if (laid.boxes.empty())
        for (const TextRun& run : runs) laid.boxes.push_back(run_box(run));
      extent = runs_extent_of(runs, x, y, [&laid](size_t i) { return laid.boxes[i]; });
    }
    const Rect shown = intersection(extent, d);
    if (!shown.empty()) {
      SinkText text;
      text.font = style.font;
      text.size = pixel_size(style);
      text.face = style.face;
      text.bytes = std::string_view(bytes, static_cast<size_t>(length));
      text.x = x;
      text.y = y;
      text.runs = laid.handed;
      const QRectF clip = shown == extent ? QRectF() : QRectF(d.left, d.top, d.width(), d.height());
      port.sink.text(port.sink.context, text, colour, clip);
    }
  }
  const double end = x + laid.width;
  port.pen.position.x = static_cast<int>(std::floor(end));
  port.pen_fraction = end - std::floor(end);
}

}  // namespace

// ---- Ports ----------------------------------------------------------------------------------

Port* port_new_offscreen(int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  auto port = std::make_unique<Port>();
  port->image = QImage(width, height, QImage::Format_RGB32);
  if (port->image.isNull()) return nullptr;
  port->blank = true;
  port->clip = image_bounds(port->image);
  return port.release();
}

Port* port_new_offscreen_on(void* pixels, int width, int height, int row_bytes) {
  if (!pixels || width <= 0 || height <= 0 || row_bytes < 4 * width) return nullptr;
  auto port = std::make_unique<Port>();
  port->image = QImage(static_cast<uchar*>(pixels), width, height, row_bytes, QImage::Format_RGB32);
  if (port->image.isNull()) return nullptr;
  port->blank = true;
  port->clip = image_bounds(port->image);
  return port.release();
}

Port* port_new_on_sink(const PortSink& sink, int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  auto port = std::make_unique<Port>();
  port->on_sink = true;
  port->sink = sink;
  port->sink_bounds = {0, 0, width, height};
  port->clip = port->sink_bounds;
  return port.release();
}

QPainterPath port_line_shape(Point a, Point b, int w, int h) { return line_shape(a, b, w, h); }
void port_line_hull(Point a, Point b, int w, int h, QPointF* corners) {
  line_hull(a, b, w, h, corners);
}

namespace {

// FreeType keeps, on the face that every size of a font shares, the fraction of a pixel by
// which the glyph drawn smooth last was moved, and the toolkit takes outlines from the face with
// it: an outline made after a glyph drawn smooth three quarters of a pixel to the right came out
// moved right by three quarters of a unit of its own size, so that a printed glyph's shape
// depended on what had been drawn before it. A glyph of the font rendered at a whole pixel, by
// a font engine of its own whose cache holds nothing, sets the fraction back to none.
// Texts drawn into pixels so far (read by the threads that make a PDF's glyph outlines ahead).
std::atomic<uint64_t> texts_drawn{0};

// Whether a glyph of the font may have been drawn at a fraction of a pixel since the font's
// offset was last set back. A program that only prints shows no window: only its own drawing
// (counted) draws glyphs, and an outline needs the offset set back only after it drew some. A
// program with windows has the toolkit drawing texts of its own, and sets it back every time.
bool offset_may_be_left(const QFont& font) {
  if (!platform_windows_kept_off_screen()) return true;
  static std::mutex keeping;
  std::lock_guard kept(keeping);
  static std::map<QString, uint64_t> set_back;  // texts drawn when each font's was set back
  uint64_t& at = set_back.try_emplace(font.key(), 0).first->second;
  const uint64_t drawn = texts_drawn.load(std::memory_order_relaxed);
  if (at == drawn) return false;
  at = drawn;
  return true;
}

void clear_smooth_offset(const QFont& font, const QString& text) {
  QRawFont raw = QRawFont::fromFont(font);
  if (!raw.isValid() || text.isEmpty()) return;
  raw.setPixelSize(raw.pixelSize() == 8 ? 9 : 8);  // a small size makes a new engine
  const QList<quint32> glyphs = raw.glyphIndexesForString(text);
  if (!glyphs.isEmpty()) raw.alphaMapForGlyph(glyphs.first(), QRawFont::PixelAntialiasing);
}

}  // namespace

// Adds the outline of a run that is one character of the font's own, as laying the text out
// would, straight from the font: without the layout, and from a face of its own at the font's
// design size (see design_outlines.h). False, adding nothing, when the run needs the layout or
// the toolkit's face.
bool add_own_outline(const TextRun& run, double x, double y, QPainterPath* outline) {
  const QFont& font = run.font->font;
  if (font.underline() || font.strikeOut() || font.overline()) return false;
  const quint32 glyph = run.font->own_glyph(run.text);
  if (!glyph) return false;
  std::lock_guard held(design_lock());
  return design_outline(run.font->raw(), font.bold(), font.italic(), glyph, x, y, outline);
}

QPainterPath port_glyph_outline(int font, int face, uint8_t byte, int size, double* advance) {
  const char c = static_cast<char>(byte);
  QPainterPath outline;
  double pen = 0;
  const std::vector<TextRun> runs = text_runs({font, size, face}, &c, 1);
  for (const TextRun& run : runs) run.font->raw();  // the engine loaded, the raw font made
  std::shared_lock lock(font_lock());
  for (const TextRun& run : runs) {
    if (!add_own_outline(run, pen + run.dx, run.dy, &outline)) {
      if (offset_may_be_left(run.font->font)) clear_smooth_offset(run.font->font, run.text);
      outline.addText(pen + run.dx, run.dy, run.font->font, run.text);
    }
    pen += run.advance;
  }
  if (advance) *advance = pen;
  return outline;
}

void port_note_text_drawn() { texts_drawn.fetch_add(1, std::memory_order_relaxed); }

void port_thread_draws_pages() { engines_on_demand = true; }

void port_thread_done() {
  drop_sink_runs_cache();
  drop_glyph_cache();
  drop_font_cache();
  current_port = nullptr;
}

// The text of the runs that draw the byte, found without loading the font: a music glyph's
// repeated copies stand for one character.
QString port_glyph_text(int font, int face, uint8_t byte) {
  if (!qGuiApp) return {};
  if (platform_is_music_font(font)) {
    if (platform_font_family(font).empty()) return {};
    const MusicGlyph glyph = music_glyph(font, byte);
    return glyph.code_point && glyph.copies > 0 ? QString::fromUcs4(&glyph.code_point, 1)
                                                : QString();
  }
  const char c = static_cast<char>(byte);
  return text_string({font, DEFAULT_TEXT_SIZE, face}, &c, 1);
}

void port_dispose(Port* port) {
  if (!port) return;
  if (current_port == port) current_port = nullptr;
  delete port;
}

Rect port_bounds(const Port* port) { return port ? bounds_of(*port) : Rect{}; }

void port_set_smooth(Port* port, bool smooth) {
  if (!port || port->on_sink) return;
  port->smooth = smooth;
  port->marks.clear();
  port->marks_set = 0;
}

bool port_smooth(const Port* port) { return port && port->smooth; }

void platform_set_port(Port* port) { current_port = port; }
Port* platform_current_port() { return current_port; }

QImage* port_image(Port* port) { return port ? &pixels_of(*port) : nullptr; }

void port_set_view(Port* port, QObject* view) {
  if (port) port->view = view;
}

void port_set_size(Port* port, int width, int height) {
  if (!port || port->on_sink || width <= 0 || height <= 0) return;
  if (width == port->image.width() && height == port->image.height()) return;
  const bool whole_clip = port->clip == image_bounds(port->image);
  QImage image(width, height, QImage::Format_RGB32);
  if (image.isNull()) return;
  if (!port->blank) {
    image.fill(Qt::white);
    const int w = std::min(width, port->image.width()), h = std::min(height, port->image.height());
    for (int y = 0; y < h; ++y)
      std::memcpy(image.scanLine(y), port->image.constScanLine(y), sizeof(QRgb) * size_t(w));
  }
  port->image = image;
  port->marks.clear();  // what was marked is no longer where it was
  port->marks_set = 0;
  if (whole_clip) port->clip = image_bounds(port->image);
  if (port->view) input_repaint_view(port->view);
}
const QImage* port_image(const Port* port) { return port ? &pixels_of(*port) : nullptr; }

QImage port_shown_image(const Port* port) {
  if (!port) return QImage();
  if (!port->marks_set) return pixels_of(*port);
  QImage shown = pixels_of(*port).copy();
  for (int y = 0; y < shown.height(); ++y)
    show_marks(*port, 0, y, reinterpret_cast<QRgb*>(shown.scanLine(y)), shown.width());
  return shown;
}

// Outside the port every pixel reads as white. Pixels read as shown, marks and all.
uint32_t port_pixel(const Port* port, int x, int y) {
  if (!port || !image_bounds(port->image).contains({x, y})) return 0xFFFFFF;
  return shown_pixel(*port, x, y) & 0xFFFFFF;
}

std::vector<uint32_t> port_pixels(const Port* port) {
  std::vector<uint32_t> pixels;
  if (!port) return pixels;
  pixels.reserve(static_cast<size_t>(port->image.width()) * port->image.height());
  for (int y = 0; y < port->image.height(); ++y)
    for (int x = 0; x < port->image.width(); ++x)
      pixels.push_back(shown_pixel(*port, x, y) & 0xFFFFFF);
  return pixels;
}

bool port_save_png(const Port* port, const char* path) {
  return port && path && port_shown_image(port).save(QString::fromLocal8Bit(path), "PNG");
}

Port* port_load_image(const char* path) {
  if (!path) return nullptr;
  QImage image(QString::fromLocal8Bit(path));
  if (image.isNull()) return nullptr;
  auto port = std::make_unique<Port>();
  port->image = image.convertToFormat(QImage::Format_RGB32);
  port->clip = image_bounds(port->image);
  return port.release();
}

// Copy puts the source's colours; the other modes take the source's non-white pixels as set
// bits: or puts those pixels' own colours, exclusive-or inverts the destination under them,
// bit-clear paints the destination's background colour under them. A source pixel outside
// the source port is white.
// Copying without scaling or a transfer rule moves whole rows.
static bool copy_rows(const Port* source, Port* destination, Rect from, Rect to) {
  if (from.width() != to.width() || from.height() != to.height()) return false;
  const Rect r = intersection(to, drawable(*destination));
  const Rect source_bounds = image_bounds(source->image);
  const Rect needed = offset_rect(r, from.left - to.left, from.top - to.top);
  if (intersection(needed, source_bounds) != needed || r.empty()) return r.empty();
  const QImage pixels = source == destination ? pixels_of(*source).copy() : QImage();
  const QImage& image = source == destination ? pixels : pixels_of(*source);
  for (int y = r.top; y < r.bottom; ++y) {
    const QRgb* from_row =
        reinterpret_cast<const QRgb*>(image.constScanLine(needed.top + y - r.top));
    QRgb* to_row = reinterpret_cast<QRgb*>(pixels_of(*destination).scanLine(y));
    std::memcpy(to_row + r.left, from_row + needed.left, sizeof(QRgb) * size_t(r.width()));
    if (source != destination)
      show_marks(*source, needed.left, needed.top + y - r.top, to_row + r.left, r.width());
    for (int x = r.left; x < r.right && destination->marks_set; ++x) clear_mark(*destination, x, y);
  }
  return true;
}

void port_copy(const Port* source, Port* destination, Rect from, Rect to, int16_t mode) {
  if (!source || !destination || destination->on_sink || from.empty() || to.empty()) return;
  if (destination->view) input_repaint_view(destination->view);
  if ((mode & 3) == MODE_COPY && copy_rows(source, destination, from, to)) return;
  // A copy within one port reads what was there before.
  const QImage pixels = source == destination ? pixels_of(*source).copy() : pixels_of(*source);
  const Rect source_bounds = image_bounds(pixels);
  const Operation operation = static_cast<Operation>(mode & 3);
  const QRgb back = to_qrgb(destination->back);
  const Rect r = intersection(to, drawable(*destination));
  for (int y = r.top; y < r.bottom; ++y) {
    const int sy = from.top + static_cast<int>(static_cast<long long>(y - to.top) * from.height() /
                                               to.height());
    QRgb* row = reinterpret_cast<QRgb*>(pixels_of(*destination).scanLine(y));
    for (int x = r.left; x < r.right; ++x) {
      const int sx = from.left + static_cast<int>(static_cast<long long>(x - to.left) *
                                                  from.width() / to.width());
      QRgb colour = qRgb(255, 255, 255);
      if (source_bounds.contains({sx, sy})) {
        colour = pixels.pixel(sx, sy) | 0xFF000000;
        if (source->marks_set)
          colour =
              through_mark(colour, source->marks[static_cast<size_t>(sy) * pixels.width() + sx]) |
              0xFF000000;
      }
      transfer_at(*destination, row[x], x, y, operation, (colour & INVERT_BITS) != INVERT_BITS,
                  colour, back);
    }
  }
}

// ---- The pen and colours ----------------------------------------------------------------------

void pen_normal() {
  if (Port* port = current_port) {
    port->pen.width = port->pen.height = 1;
    port->pen.pattern = PATTERN_BLACK;
    port->pen.mode = MODE_PAT_COPY;
  }
}

void pen_size(int width, int height) {
  if (Port* port = current_port) {
    port->pen.width = width;
    port->pen.height = height;
  }
}

void pen_mode(int16_t mode) {
  if (Port* port = current_port) port->pen.mode = mode;
}

void pen_pattern(const Pattern& pattern) {
  if (Port* port = current_port) port->pen.pattern = pattern;
}

PenState get_pen_state() {
  const Port* port = current_port;
  return port ? port->pen : PenState{};
}

void set_pen_state(const PenState& state) {
  if (Port* port = current_port) {
    port->pen = state;
    port->pen_fraction = 0;
  }
}

void fore_colour(RgbColour colour) {
  if (Port* port = current_port) port->fore = colour;
}

void back_colour(RgbColour colour) {
  if (Port* port = current_port) port->back = colour;
}

RgbColour get_fore_colour() {
  const Port* port = current_port;
  return port ? port->fore : COLOUR_BLACK;
}

RgbColour get_back_colour() {
  const Port* port = current_port;
  return port ? port->back : COLOUR_WHITE;
}

void clip_rect(Rect clip) {
  if (Port* port = current_port) port->clip = clip;
}

Rect get_clip() {
  const Port* port = current_port;
  return port ? port->clip : Rect{};
}

// ---- Lines and shapes -------------------------------------------------------------------------

void move_to(int x, int y) {
  if (Port* port = current_port) {
    port->pen.position = {x, y};
    port->pen_fraction = 0;
  }
}

void move_by(int dx, int dy) {
  if (const Port* port = current_port)
    move_to(port->pen.position.x + dx, port->pen.position.y + dy);
}

void line_to(int x, int y) {
  Port* port = current_port;
  if (!port) return;
  const PenState& pen = port->pen;
  const Point from = pen.position, to = {x, y};
  if (pen_draws(pen) && port->on_sink) {
    sink_line(*port, from, to, pen.width, pen.height, paint_of(*port, pen.mode, pen.pattern));
  } else if (pen_draws(pen)) {
    Rect extent{std::min(from.x, to.x), std::min(from.y, to.y), std::max(from.x, to.x) + pen.width,
                std::max(from.y, to.y) + pen.height};
    Mask mask(intersection(extent, drawable(*port)));
    if (!mask.area.empty()) {
      stamp_line(mask, from, to, pen.width, pen.height);
      paint_mask(*port, mask, paint_of(*port, pen.mode, pen.pattern));
    }
  }
  move_to(x, y);
}

void line_by(int dx, int dy) {
  if (const Port* port = current_port)
    line_to(port->pen.position.x + dx, port->pen.position.y + dy);
}

Point pen_position() {
  const Port* port = current_port;
  return port ? port->pen.position : Point{};
}

void frame_rect(Rect r) {
  Port* port = current_port;
  if (!port || !pen_draws(port->pen)) return;
  const Rect inner = pen_inset(r, port->pen);
  if (port->on_sink)
    return sink_fill(*port, frame_shape(rect_shape(r), rect_shape(inner)),
                     paint_of(*port, port->pen.mode, port->pen.pattern));
  paint_area(*port, r, paint_of(*port, port->pen.mode, port->pen.pattern), [inner](int x, int y) {
    return !inner.contains({x, y});
  });
}

void paint_rect(Rect r) {
  if (Port* port = current_port)
    paint_rect_with(*port, r, paint_of(*port, port->pen.mode, port->pen.pattern));
}

void erase_rect(Rect r) {
  if (Port* port = current_port)
    paint_rect_with(*port, r, paint_of(*port, MODE_PAT_COPY, PATTERN_WHITE));
}

void invert_rect(Rect r) {
  if (Port* port = current_port)
    paint_rect_with(*port, r, paint_of(*port, MODE_PAT_XOR, PATTERN_BLACK));
}

void fill_rect(Rect r, const Pattern& pattern) {
  if (Port* port = current_port) paint_rect_with(*port, r, paint_of(*port, MODE_PAT_COPY, pattern));
}

void fill_polygon(const PointF* points, int count) {
  Port* port = current_port;
  if (!port || !points || count < 3 || count > 8) return;
  const Paint paint = paint_of(*port, port->pen.mode, port->pen.pattern);
  if (port->on_sink) {
    QPolygonF polygon;
    for (int i = 0; i < count; ++i) polygon << QPointF(points[i].x, points[i].y);
    QPainterPath shape;
    shape.setFillRule(Qt::WindingFill);
    shape.addPolygon(polygon);
    shape.closeSubpath();
    return sink_fill(*port, shape, paint);
  }
  paint_convex(*port, points, count, paint, port->smooth);
}

bool fill_curved_outline(const PointF* first, const PointF* second) {
  Port* port = current_port;
  if (!port || !port->on_sink || !first || !second) return false;
  QPainterPath shape;
  shape.setFillRule(Qt::WindingFill);
  shape.moveTo(first[0].x, first[0].y);
  shape.cubicTo(first[1].x, first[1].y, first[2].x, first[2].y, first[3].x, first[3].y);
  shape.lineTo(second[0].x, second[0].y);
  shape.cubicTo(second[1].x, second[1].y, second[2].x, second[2].y, second[3].x, second[3].y);
  shape.closeSubpath();
  sink_fill(*port, shape, paint_of(*port, port->pen.mode, port->pen.pattern));
  return true;
}

void frame_oval(Rect r) {
  Port* port = current_port;
  if (!port || !pen_draws(port->pen)) return;
  const Rect inner = pen_inset(r, port->pen);
  if (port->on_sink)
    return sink_fill(*port, frame_shape(oval_shape(r), oval_shape(inner)),
                     paint_of(*port, port->pen.mode, port->pen.pattern));
  paint_area(*port, r, paint_of(*port, port->pen.mode, port->pen.pattern),
             [r, inner](int x, int y) { return in_oval(r, x, y) && !in_oval(inner, x, y); });
}

void paint_oval(Rect r) {
  if (Port* port = current_port)
    paint_oval_with(*port, r, paint_of(*port, port->pen.mode, port->pen.pattern));
}

void invert_oval(Rect r) {
  if (Port* port = current_port)
    paint_oval_with(*port, r, paint_of(*port, MODE_PAT_XOR, PATTERN_BLACK));
}

// ---- Text ---------------------------------------------------------------------------------------

void text_font(int font_number) {
  if (Port* port = current_port) port->text_font = font_number;
}

void text_size(int size) {
  if (Port* port = current_port) port->text_size = size;
}

void text_face(int face) {
  if (Port* port = current_port) port->text_face = face & 0x7F;
}

void text_mode(int16_t mode) {
  if (Port* port = current_port) port->text_mode = mode;
}

int current_text_font() { return style_of(current_port).font; }
int current_text_size() { return style_of(current_port).size; }
int current_text_face() { return style_of(current_port).face; }

void draw_text(const char* bytes, int length) {
  Port* port = current_port;
  if (!port) return;
  const TextStyle style = style_of(port);
  // Text is drawn in the foreground colour wherever a glyph is, in copy mode as in or mode.
  int16_t mode = port->text_mode & 3;
  if (mode == MODE_COPY) mode = MODE_OR;
  if (port->on_sink) {
    sink_text(*port, style, bytes, length, paint_of(*port, mode, PATTERN_BLACK));
    return;
  }
  if (length == 1 && port->pen_fraction == 0 && qGuiApp) {
    const CachedGlyph& glyph =
        cached_glyph(style, static_cast<uint8_t>(bytes[0]), port->smooth, true);
    paint_mask(*port, glyph.mask, paint_of(*port, mode, PATTERN_BLACK), port->pen.position.x,
               port->pen.position.y);
    const double end = port->pen.position.x + glyph.advance;
    port->pen.position.x = static_cast<int>(std::floor(end));
    port->pen_fraction = end - std::floor(end);
    return;
  }
  const std::vector<TextRun> runs = text_runs(style, bytes, length);
  const double x = port->pen.position.x + port->pen_fraction;
  const double y = port->pen.position.y;
  if (!runs.empty()) {
    const Rect area = intersection(runs_extent(runs, x, y), drawable(*port));
    Mask mask = glyph_mask(runs, x, y, area, port->smooth);
    if (style.face & (FACE_OUTLINE | FACE_SHADOW))
      mask = outline_mask(mask, (style.face & FACE_SHADOW) != 0);
    paint_mask(*port, mask, paint_of(*port, mode, PATTERN_BLACK));
  }
  const double end = x + runs_width(runs);
  port->pen.position.x = static_cast<int>(std::floor(end));
  port->pen_fraction = end - std::floor(end);
}

void draw_string(const std::string& bytes) {
  draw_text(bytes.data(), static_cast<int>(bytes.size()));
}

void draw_char(uint8_t c) {
  const char byte = static_cast<char>(c);
  draw_text(&byte, 1);
}

double text_width(const char* bytes, int length) {
  if (length == 1 && bytes && qGuiApp)
    return cached_glyph(style_of(current_port), static_cast<uint8_t>(bytes[0]),
                        current_port && current_port->smooth, false)
        .advance;
  return runs_width(text_runs(style_of(current_port), bytes, length));
}

double string_width(const std::string& bytes) {
  return text_width(bytes.data(), static_cast<int>(bytes.size()));
}

double char_width(uint8_t c) {
  const char byte = static_cast<char>(c);
  return text_width(&byte, 1);
}

namespace {

// A font of the family and face already loaded on this thread, at any size; null when there is
// none.
const LoadedFont* loaded_sibling(const std::string& family, int face) {
  if (!font_cache) return nullptr;
  for (auto it = font_cache->lower_bound(std::make_tuple(family, INT_MIN, INT_MIN));
       it != font_cache->end() && std::get<0>(it->first) == family; ++it)
    if (std::get<2>(it->first) == face) return it->second.get();
  return nullptr;
}

// The ink of the bytes in a style as the runs' boxes give it (text_ink_box), read from the
// glyphs' boxes in the font's file by a font of the family loaded at another size: the texts
// measured for their ink are measured at sizes drawn nowhere, and loading the toolkit's engine
// at each of them and laying each text out cost more than the rest of their measuring. False
// where the layout is needed.
bool glyph_ink(const TextStyle& style, const char* bytes, int length, QRectF* ink) {
  if (!bytes || length <= 0 || !qGuiApp) return false;
  const std::string family = platform_font_family(style.font);
  const int size = pixel_size(style);
  if (!platform_is_music_font(style.font)) {
    const LoadedFont* font = loaded_sibling(family, style.face);
    QRectF box;
    if (!font || !font->ink_at(text_string(style, bytes, length), size, &box)) return false;
    if (!box.isEmpty()) *ink = box;
    return true;
  }
  // As music_runs lays the glyphs out.
  const LoadedFont* font = family.empty() ? nullptr : loaded_sibling(family, FACE_PLAIN);
  if (!font) return false;
  double pen = 0;
  for (int i = 0; i < length; ++i) {
    const MusicGlyph glyph = music_glyph(style.font, static_cast<uint8_t>(bytes[i]));
    if (glyph.code_point == 0) continue;
    const int glyph_size = static_cast<int>(std::lround(size * glyph.scale));
    const QString text = QString::fromUcs4(&glyph.code_point, 1);
    double advance = 0;
    QRectF box;
    if (!font->advance_at(text, glyph_size, &advance) || !font->ink_at(text, glyph_size, &box))
      return false;
    for (int copy = 0; copy < glyph.copies; ++copy) {
      const double shift = copy * glyph.step * size;
      if (!box.isEmpty()) *ink |= box.translated(pen + glyph.dx * size + shift, glyph.dy * size);
      if (copy == glyph.copies - 1) pen += advance + shift;
    }
  }
  return true;
}

}  // namespace

Rect text_ink_box(const char* bytes, int length) {
  const TextStyle style = style_of(current_port);
  QRectF ink;
  if (!glyph_ink(style, bytes, length, &ink)) {
    ink = QRectF();
    // The pen after the last run is not needed: its advance is not measured.
    const std::vector<TextRun> runs = text_runs(style, bytes, length, false);
    double pen = 0;
    for (const TextRun& run : runs) {
      const QRectF box = run.font->box(run.text, TextBox::INK);
      if (!box.isEmpty()) ink |= box.translated(pen + run.dx, run.dy);
      pen += run.advance;
    }
  }
  if (ink.isEmpty()) return {};
  return {static_cast<int>(std::floor(ink.left())), static_cast<int>(std::floor(ink.top())),
          static_cast<int>(std::ceil(ink.right())), static_cast<int>(std::ceil(ink.bottom()))};
}

FontMetrics get_font_metrics() {
  if (!qGuiApp) return {};
  const TextStyle style = style_of(current_port);
  const bool music = platform_is_music_font(style.font);
  const int size =
      music ? static_cast<int>(std::lround(pixel_size(style) * music_font_scale(style.font)))
            : pixel_size(style);
  const LoadedFont& font = numbered_font(style.font, size, music ? FACE_PLAIN : style.face);
  const Lines& m = font.lines();
  return {m.ascent, m.descent, m.leading, m.max_width};
}
