// postscript_driver.cpp: the PostScript document of a print: its structure, the program's
// blocks, and the port's shapes and texts as PostScript.
//
// A page is kept in memory until it ends, because the Type 3 fonts it uses are defined in
// its setup, before its body, and only the body says which glyphs they need. Each page is
// enclosed in save and restore, so pages do not depend on each other; the program's prolog
// and the driver's few procedures stand in the document's prolog.
#include "platform/postscript_driver.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include <QPainterPath>
#include <QRectF>

namespace {

constexpr int GLYPH_SIZE = 1000;  // glyph outlines are made at this size: font units

// A number with at most two decimals and no trailing zeros.
std::string num(double v) {
  if (!std::isfinite(v)) v = 0;
  char text[40];
  std::snprintf(text, sizeof text, "%.2f", v);
  std::string s = text;
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  if (s == "-0") s = "0";
  return s;
}

std::string integer(double v) { return num(std::round(v)); }

// The path operators of a shape: m, l, c as defined in the prolog.
std::string path_ops(const QPainterPath& path, bool whole_numbers) {
  auto n = [whole_numbers](double v) { return whole_numbers ? integer(v) : num(v); };
  std::string ops;
  for (int i = 0; i < path.elementCount(); ++i) {
    const QPainterPath::Element e = path.elementAt(i);
    if (e.type == QPainterPath::MoveToElement) {
      ops += n(e.x) + ' ' + n(e.y) + " m\n";
    } else if (e.type == QPainterPath::LineToElement) {
      ops += n(e.x) + ' ' + n(e.y) + " l\n";
    } else if (e.type == QPainterPath::CurveToElement && i + 2 < path.elementCount()) {
      const QPainterPath::Element a = path.elementAt(i + 1), b = path.elementAt(i + 2);
      ops += n(e.x) + ' ' + n(e.y) + ' ' + n(a.x) + ' ' + n(a.y) + ' ' + n(b.x) + ' ' + n(b.y) +
             " c\n";
      i += 2;
    }
  }
  return ops;
}

std::string colour_op(QRgb colour) {
  if (qRed(colour) == qGreen(colour) && qGreen(colour) == qBlue(colour))
    return num(qRed(colour) / 255.0) + " setgray\n";
  return num(qRed(colour) / 255.0) + ' ' + num(qGreen(colour) / 255.0) + ' ' +
         num(qBlue(colour) / 255.0) + " setrgbcolor\n";
}

std::string clip_op(const QRectF& clip) {
  return num(clip.left()) + ' ' + num(clip.top()) + ' ' + num(clip.width()) + ' ' +
         num(clip.height()) + " rectclip\n";
}

std::string font_name(int font, int face) {
  return "VF" + std::to_string(font) + '_' + std::to_string(face);
}

// The procedure that draws one glyph in font units, with its width and box for the cache.
const std::pair<std::string, QRectF>& glyph_proc(PostScriptDriver& d, int font, int face,
                                                 uint8_t code) {
  const auto key = std::make_tuple(font, face, code);
  auto it = d.glyph_procs.find(key);
  if (it != d.glyph_procs.end()) return it->second;
  double advance = 0;
  const QPainterPath outline = port_glyph_outline(font, face, code, GLYPH_SIZE, &advance);
  const QRectF r = outline.boundingRect();
  std::string proc = "/g" + std::to_string(code) + " {" + integer(advance) + " 0 ";
  if (outline.isEmpty())
    proc += "0 0 0 0 setcachedevice}";
  else
    proc += integer(std::floor(r.left())) + ' ' + integer(std::floor(r.top())) + ' ' +
            integer(std::ceil(r.right())) + ' ' + integer(std::ceil(r.bottom())) +
            " setcachedevice\nnewpath\n" + path_ops(outline, true) + "fill}";
  proc += " bind def\n";
  return d.glyph_procs.emplace(key, std::make_pair(std::move(proc), r)).first->second;
}

// The Type 3 fonts of the page's glyphs.
std::string page_fonts(PostScriptDriver& d) {
  std::string out;
  for (const auto& [font_face, codes] : d.page_glyphs) {
    const auto [font, face] = font_face;
    std::string encoding, procs;
    QRectF bounds;
    for (uint8_t code : codes) {
      const auto& [proc, box] = glyph_proc(d, font, face, code);
      procs += proc;
      bounds |= box;
      encoding += "Encoding " + std::to_string(code) + " /g" + std::to_string(code) + " put\n";
    }
    out += '/' + font_name(font, face) + " 10 dict dup begin\n";
    out += "/FontType 3 def\n/FontMatrix [0.001 0 0 0.001 0 0] def\n";
    out += "/FontBBox [" + integer(std::floor(bounds.left())) + ' ' +
           integer(std::floor(bounds.top())) + ' ' + integer(std::ceil(bounds.right())) + ' ' +
           integer(std::ceil(bounds.bottom())) + "] def\n";
    out += "/Encoding 256 array def 0 1 255 {Encoding exch /.notdef put} for\n" + encoding;
    out += "/CharProcs " + std::to_string(codes.size() + 1) + " dict def CharProcs begin\n";
    out += "/.notdef {0 0 0 0 0 0 setcachedevice} def\n" + procs + "end\n";
    out +=
        "/BuildGlyph {exch /CharProcs get exch 2 copy known not {pop /.notdef} if get exec} "
        "bind def\n";
    out += "/BuildChar {1 index /Encoding get exch get 1 index /BuildGlyph get exec} bind def\n";
    out += "end definefont pop\n";
  }
  return out;
}

void write(PostScriptDriver& d, const std::string& text) {
  if (!d.out || d.write_failed) return;
  if (std::fwrite(text.data(), 1, text.size(), d.out) != text.size()) d.write_failed = true;
}

void write_header(PostScriptDriver& d) {
  const PostScriptPageSetup& s = d.setup;
  std::string h = "%!PS-Adobe-3.0\n%%Creator: Vesk\n";
  h += "%%Title: " + (s.title.empty() ? std::string("Vesk") : s.title) + '\n';
  h += "%%Pages: (atend)\n";
  // A landscape page is drawn turned on upright paper.
  const double paper_w = s.landscape ? s.media_height : s.media_width;
  const double paper_h = s.landscape ? s.media_width : s.media_height;
  h += "%%BoundingBox: 0 0 " + integer(std::ceil(paper_w)) + ' ' + integer(std::ceil(paper_h)) +
       '\n';
  h += "%%LanguageLevel: 2\n";
  h += std::string("%%Orientation: ") + (s.landscape ? "Landscape" : "Portrait") + '\n';
  h += "%%EndComments\n%%BeginProlog\n";
  h += "/m {moveto} bind def /l {lineto} bind def /c {curveto} bind def\n";
  h += "/:M {moveto} bind def /S {show} bind def /gR {grestore} bind def\n";
  h += d.prolog;
  h += "\n%%EndProlog\n%%BeginSetup\n";
  h += "/setpagedevice where {pop << /PageSize [" + num(paper_w) + ' ' + num(paper_h) +
       "] >> setpagedevice} if\n";
  h += "%%EndSetup\n";
  write(d, h);
  d.header_written = true;
}

}  // namespace

std::string ps_string_literal(const std::string& bytes) {
  std::string s = "(";
  for (unsigned char c : bytes) {
    if (c == '(' || c == ')' || c == '\\') {
      s += '\\';
      s += char(c);
    } else if (c < 32 || c > 126) {
      char octal[8];
      std::snprintf(octal, sizeof octal, "\\%03o", c);
      s += octal;
    } else {
      s += char(c);
    }
  }
  return s + ')';
}

void ps_driver_begin(PostScriptDriver* d, std::FILE* out, const PostScriptPageSetup& setup) {
  *d = PostScriptDriver();
  d->out = out;
  d->setup = setup;
}

void ps_driver_begin_page(PostScriptDriver* d) {
  d->page_open = true;
  d->in_block = false;
  d->body.clear();
  d->page_glyphs.clear();
}

bool ps_driver_end_page(PostScriptDriver* d) {
  if (!d->page_open) return !d->write_failed;
  if (!d->header_written) write_header(*d);
  const PostScriptPageSetup& s = d->setup;
  const int number = d->pages + 1;
  std::string page = "%%Page: " + std::to_string(number) + ' ' + std::to_string(number) + '\n';
  page += "%%BeginPageSetup\n/vesk_page save def\n" + page_fonts(*d);
  if (s.landscape) page += num(s.media_height) + " 0 translate 90 rotate\n";
  page += num(s.origin_x) + ' ' + num(s.media_height - s.origin_y) + " translate " +
          num(s.points_per_pixel) + ' ' + num(-s.points_per_pixel) + " scale\n";
  page += "%%EndPageSetup\n";
  write(*d, page);
  write(*d, d->body);
  write(*d, "\nvesk_page restore\nshowpage\n%%PageTrailer\n");
  d->body.clear();
  d->page_open = false;
  d->pages = number;
  return !d->write_failed;
}

bool ps_driver_end(PostScriptDriver* d) {
  if (!d->header_written) write_header(*d);
  write(*d, "%%Trailer\n%%Pages: " + std::to_string(d->pages) + "\n%%EOF\n");
  return !d->write_failed;
}

void ps_driver_block_begin(PostScriptDriver* d, bool prolog, double pen_x, double pen_y) {
  d->in_block = true;
  d->prolog_block = prolog;
  if (!prolog) d->body += '\n' + num(pen_x) + ' ' + num(pen_y) + " moveto\n";
}

void ps_driver_data(PostScriptDriver* d, const char* data, size_t length) {
  (d->prolog_block ? d->prolog : d->body).append(data, length);
}

void ps_driver_block_end(PostScriptDriver* d) {
  if (!d->prolog_block) d->body += '\n';
  d->in_block = false;
  d->prolog_block = false;
}

void ps_driver_comment(PostScriptDriver* d, int kind) {
  d->body += "\n% picture comment " + std::to_string(kind) + '\n';
}

void ps_driver_fill(void* driver, const QPainterPath& shape, QRgb colour, const QRectF& clip) {
  auto* d = static_cast<PostScriptDriver*>(driver);
  if (d->in_block || !d->page_open) return;
  std::string out = "gsave\n";
  if (!clip.isEmpty()) out += clip_op(clip);
  out += colour_op(colour) + "newpath\n" + path_ops(shape, false);
  out += shape.fillRule() == Qt::OddEvenFill ? "eofill\n" : "fill\n";
  d->body += out + "grestore\n";
}

void ps_driver_text(void* driver, const SinkText& text, QRgb colour, const QRectF& clip) {
  auto* d = static_cast<PostScriptDriver*>(driver);
  if (d->in_block || !d->page_open || text.bytes.empty()) return;
  std::set<uint8_t>& codes = d->page_glyphs[{text.font, text.face}];
  for (unsigned char c : text.bytes) codes.insert(c);
  std::string out;
  if (!clip.isEmpty()) out += "gsave\n" + clip_op(clip);
  out += colour_op(colour);
  out += '/' + font_name(text.font, text.face) + ' ' + std::to_string(text.size) + " selectfont\n";
  out += num(text.x) + ' ' + num(text.y) + " :M " + ps_string_literal(std::string(text.bytes)) +
         " S\n";
  if (!clip.isEmpty()) out += "grestore\n";
  d->body += out;
}
