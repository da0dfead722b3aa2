// postscript_driver.h: inside the platform layer, the PostScript document that printing
// writes: the document's structure, the program's PostScript blocks, and what is drawn on a
// page's port, turned into PostScript.
//
// The driver sets each page up in the port's pixels (y downward, the page's top-left corner
// at the origin), so that the program's blocks and the port's drawing share one coordinate
// system. Texts are shown in Type 3 fonts made, page by page, of the outlines of the glyphs
// the page uses, in the fonts the screen uses; the driver's text operators `:M` (move) and
// `S` (show) may be redefined by the program's blocks.
#pragma once

#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <tuple>

#include <QPainterPath>
#include <QRectF>
#include <QRgb>

#include "platform/port_sink.h"

struct PostScriptPageSetup {
  // The media as the page sees it (wider than high for a landscape page, which is drawn
  // turned by a quarter on upright paper), points.
  double media_width = 612, media_height = 792;
  double origin_x = 0, origin_y = 0;  // the page's top-left on the media, points
  double points_per_pixel = 1;
  bool landscape = false;
  std::string title;
};

struct PostScriptDriver {
  std::FILE* out = nullptr;
  PostScriptPageSetup setup;
  int pages = 0;  // pages written
  bool header_written = false;
  bool page_open = false;
  bool in_block = false;  // a block of the program's PostScript is open
  bool prolog_block = false;
  std::string prolog;  // the program's prolog
  std::string body;    // the page under way
  // Glyphs the page uses, by font number and face: the character codes.
  std::map<std::pair<int, int>, std::set<uint8_t>> page_glyphs;
  // Glyph procedures already made, by font, face and code.
  std::map<std::tuple<int, int, uint8_t>, std::pair<std::string, QRectF>> glyph_procs;
  bool write_failed = false;
};

// Starts the document; the header and the prolog are written with the first page.
void ps_driver_begin(PostScriptDriver* driver, std::FILE* out, const PostScriptPageSetup& setup);
void ps_driver_begin_page(PostScriptDriver* driver);
// Writes the page out; false when writing failed.
bool ps_driver_end_page(PostScriptDriver* driver);
// Writes the trailer; false when writing failed.
bool ps_driver_end(PostScriptDriver* driver);

// A block of the program's PostScript: the current point is set to the pen first (not in a
// prolog block).
void ps_driver_block_begin(PostScriptDriver* driver, bool prolog, double pen_x, double pen_y);
void ps_driver_data(PostScriptDriver* driver, const char* data, size_t length);
void ps_driver_block_end(PostScriptDriver* driver);
void ps_driver_comment(PostScriptDriver* driver, int kind);

// The port's drawing (port_sink.h): nothing while a block is open.
void ps_driver_fill(void* driver, const QPainterPath& shape, QRgb colour, const QRectF& clip);
void ps_driver_text(void* driver, const SinkText& text, QRgb colour, const QRectF& clip);

// A PostScript string literal of the bytes: "(...)" with ( ) \ and bytes outside 32..126
// escaped.
std::string ps_string_literal(const std::string& bytes);
