// pdf_writer.h: inside the platform layer, the PDF document that printing writes: pages of
// filled shapes and texts, written as they end.
//
// A page is drawn in the port's pixels (y downward, the page's top-left corner at the
// origin). Texts are shown in Type 3 fonts made of the outlines of the glyphs the document
// uses, in the fonts the screen uses, each font once for the whole document with only the
// glyphs drawn, and with the characters of every glyph so that the text can be selected and
// searched. Page contents are compressed on worker threads while the next pages are drawn;
// the file is the same, byte for byte, for the same drawing, whichever threads drew its pages.
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
  bool operator==(const PdfPageSetup&) const = default;
};

struct PdfWriter;

// Starts the document on an open file (the caller closes it after pdf_writer_end); without one
// (nullptr), the document is kept in memory until pdf_writer_write_to gives it its file.
PdfWriter* pdf_writer_begin(std::FILE* out, const PdfPageSetup& setup);
// Writes what the document kept in memory to the file, which takes what follows; false when
// writing has failed.
bool pdf_writer_write_to(PdfWriter* writer, std::FILE* out);
// The pages ended so far.
int pdf_writer_pages(const PdfWriter* writer);
void pdf_writer_begin_page(PdfWriter* writer);
void pdf_writer_fill(PdfWriter* writer, const QPainterPath& shape, QRgb colour, const QRectF& clip);
// A shape given as the elements a QPainterPath would hold (gathered without a path's
// overhead: the many small outlines of a page's lines), filled by the nonzero winding rule.
// They are gathered in place, at the end of the page's own: the caller appends them to
// pdf_page_elements, then pdf_page_fill_last makes the last `count` one fill (none when they
// are no element, or only where a path would begin: then they go).
using PdfOutline = std::vector<QPainterPath::Element>;
void pdf_writer_text(PdfWriter* writer, const SinkText& text, QRgb colour, const QRectF& clip);
// Hands the page to be compressed and written; false when writing has failed.
bool pdf_writer_end_page(PdfWriter* writer);

// Pages drawn apart from the writer (several at once, on threads of their own) and ended by it
// in order. A page apart takes the same drawing as the page under way; nothing of it touches
// the writer until it ends, so pages apart may be drawn on different threads at once.
struct PdfPage;
// A new page apart (room made for as many outline elements as the page ended last had).
PdfPage* pdf_writer_new_page(PdfWriter* writer);
// A new page apart with room made for `room` outline elements.
PdfPage* pdf_page_new(size_t room);
void pdf_page_fill(PdfPage* page, const QPainterPath& shape, QRgb colour, const QRectF& clip);
PdfOutline& pdf_page_elements(PdfPage* page);
void pdf_page_fill_last(PdfPage* page, size_t count, QRgb colour, const QRectF& clip);
void pdf_page_text(PdfPage* page, const SinkText& text, QRgb colour, const QRectF& clip);
// Ends a page apart as the next page of the document (the page is freed); false when writing
// has failed. The fonts and glyphs its texts meet first are made here, on the writer's thread.
bool pdf_writer_end_apart(PdfWriter* writer, PdfPage* page);
// Makes ahead, on the calling thread, the glyphs of the page's texts that no page has begun to
// make, for the pages' ends to take (a glyph is the same whichever thread makes it). Only this
// of the writer may be called while its pages end.
void pdf_writer_make_glyphs_ahead(PdfWriter* writer, const PdfPage* page);
// Makes, on the calling thread, the glyphs of the texts of a page drawn before any writer was
// begun that no such page has made, for the writers its pages end in to take.
void pdf_page_make_glyphs(const PdfPage* page);
void pdf_page_dispose(PdfPage* page);
// Writes what is left, the fonts and the file's trailer; false when writing failed (errno
// ENOMEM when a stream could not be compressed). A document without pages gets one, empty.
bool pdf_writer_end(PdfWriter* writer);
// Frees the writer (waiting for pages still being compressed); nothing more is written.
void pdf_writer_dispose(PdfWriter* writer);
