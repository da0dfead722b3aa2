// port_sink.h: inside the platform layer, ports that draw on a page of a printed document
// instead of into an image.
//
// Such a port keeps its pen, patterns, text style and clip like any port, and turns what is
// drawn on it into shapes and texts handed to its sink: lines with the pen's rectangle along
// them, rectangles and ovals become filled outlines in the port's pixels, text becomes the
// runs of fonts the port would have drawn, at the pen. Exclusive-or drawing leaves no mark on
// such a page.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <QFont>
#include <QPainterPath>
#include <QRectF>
#include <QRgb>
#include <QString>

#include "platform/geometry.h"

struct Port;

// One stretch of text in one font, at an offset from the pen.
struct SinkTextRun {
  QFont font;
  QString text;
  double dx = 0, dy = 0;
};

// A text handed to a sink; the bytes and runs last only while the sink takes it.
struct SinkText {
  int font = 0, size = 0, face = 0;   // the port's text style (size in pixels)
  std::string_view bytes;             // as the program drew them
  double x = 0, y = 0;                // the pen: the baseline's left end, in pixels
  std::span<const SinkTextRun> runs;  // how the port lays the bytes out
};

// Where a sink port's drawing goes. `clip` is empty when the shape lies inside the port's
// clip, else the clip rectangle to apply.
struct PortSink {
  void* context = nullptr;
  void (*fill)(void* context, const QPainterPath& shape, QRgb colour, const QRectF& clip) = nullptr;
  // A line from a to b drawn with a pen of w by h pixels (the area port_line_shape gives);
  // without it, lines go to fill.
  void (*line)(void* context, Point a, Point b, int w, int h, QRgb colour,
               const QRectF& clip) = nullptr;
  void (*text)(void* context, const SinkText& text, QRgb colour, const QRectF& clip) = nullptr;
};

// A port of width by height pixels drawing into the sink; nullptr for an empty size.
Port* port_new_on_sink(const PortSink& sink, int width, int height);

// The area a pen of w by h pixels covers along a line from a to b: the hull of the pen's
// rectangle at both ends.
QPainterPath port_line_shape(Point a, Point b, int w, int h);
// The six corners of that area, in the order of its outline.
void port_line_hull(Point a, Point b, int w, int h, QPointF* corners);

// The outline of one character of a font number in a face at a pixel size, drawn with the pen
// at (0, 0) (y downward), as the port would draw it; *advance gets how far the pen moves.
QPainterPath port_glyph_outline(int font, int face, uint8_t byte, int size, double* advance);

// The characters one byte of a font number in a face stands for (empty when it draws none).
QString port_glyph_text(int font, int face, uint8_t byte);

// Says that text was drawn into pixels outside the ports (glyph outlines taken afterwards
// make sure they do not depend on it).
void port_note_text_drawn();

// A thread other than the main one that only draws printed pages into a PDF document says so
// first: it then loads the fonts' engines only to measure what no thread has measured (the runs
// it hands to its sinks hold fonts that must not be drawn with on it).
void port_thread_draws_pages();
// A thread other than the main one that drew on ports (a printed page's) lets go of the fonts
// and texts it kept; called on that thread before it ends.
void port_thread_done();
