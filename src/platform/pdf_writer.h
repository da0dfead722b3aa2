// pdf_writer.h: inside the platform layer, the PDF document that printing writes: pages of
// filled shapes and texts, written as they end.
//
// A page is drawn in the port's pixels (y downward, the page's top-left corner at the
// origin). Texts are shown in Type 3 fonts made of the outlines of the glyphs the document
// uses, in the fonts the screen uses, each font once for the whole document with only the
// glyphs drawn, and with the characters of every glyph so that the text can be selected and
// searched. Page contents are compressed on worker threads while the next pages are drawn;
// the file is the same, byte for byte, for the same drawing.
#pragma once

#include <cstdio>
#include <vector>

#include <QPainterPath>
#include <QRectF>
#include <QRgb>

#include "platform/port_sink.h"

struct PdfPageSetup {
  double media_width = 612, media_height = 792;  // points
  double origin_x = 0, origin_y = 0;             // the page's top-left on the media, points
  double points_per_pixel = 1;
};

struct PdfWriter;

// Starts the document on an open file (the caller closes it after pdf_writer_end).
PdfWriter* pdf_writer_begin(std::FILE* out, const PdfPageSetup& setup);
void pdf_writer_begin_page(PdfWriter* writer);
void pdf_writer_fill(PdfWriter* writer, const QPainterPath& shape, QRgb colour, const QRectF& clip);
// A shape given as the elements a QPainterPath would hold (gathered without a path's
// overhead: the many small outlines of a page's lines), filled by the nonzero winding rule.
// They are gathered in place, at the end of the page's own: the caller appends them to
// pdf_writer_page_elements, then pdf_writer_fill_last makes the last `count` one fill (none when
// they are no element, or only where a path would begin, or no page is open: then they go).
using PdfOutline = std::vector<QPainterPath::Element>;
PdfOutline& pdf_writer_page_elements(PdfWriter* writer);
void pdf_writer_fill_last(PdfWriter* writer, size_t count, QRgb colour, const QRectF& clip);
void pdf_writer_text(PdfWriter* writer, const SinkText& text, QRgb colour, const QRectF& clip);
// Hands the page to be compressed and written; false when writing has failed.
bool pdf_writer_end_page(PdfWriter* writer);
// Writes what is left, the fonts and the file's trailer; false when writing failed. A
// document without pages gets one, empty.
bool pdf_writer_end(PdfWriter* writer);
// Frees the writer (waiting for pages still being compressed); nothing more is written.
void pdf_writer_dispose(PdfWriter* writer);
