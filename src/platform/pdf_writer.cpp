// pdf_writer.cpp: the PDF document of a print.
//
// Objects are written as soon as they are known and found again through the cross-reference
// table at the end: each page's dictionary and content stream when the page has been
// compressed, then the fonts (every glyph the document used), the resources all pages share,
// the page tree and the catalogue. A page's drawing is kept as it comes (its shapes' points,
// its texts, their colours and clips); a compressing thread makes the page's content stream of
// it and compresses that while the program draws the next pages. Pages may also be drawn apart,
// several at once, and ended in order. Pages are written in order, and a page's stream depends
// on its drawing alone, so the file does not depend on which thread finished first. The fonts'
// glyphs are made as the pages end, in the order of their texts, and handed to the compressing
// threads a few at a time while the next are made.
#include "platform/pdf_writer.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <functional>
#include <future>
#include <libdeflate.h>
#include <map>
#include <memory>
#include <memory_resource>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include <QString>

#include "platform/cores.h"

namespace {

constexpr int GLYPH_SIZE = 1000;  // glyph outlines are made at this size: font units
// libdeflate's level 5 packs a page within 1% of its level 6 (and of zlib's 9) in three fifths
// of the time; level 4 is faster still but 5% larger.
constexpr int DEFLATE_LEVEL = 5;
// A glyph's drawing, a kilobyte or so, is packed at level 1: 1.5% larger than at level 5 in
// two thirds of the time (a one-page print packs a hundred of them, a seventh of its work).
constexpr int GLYPH_DEFLATE_LEVEL = 1;
constexpr size_t MOST_IN_FLIGHT = 8;  // pages compressed at once, at most
// A page's new glyphs are compressed in batches of this many, each handed over once made, so
// that they are packed while the next are made and while the page's content is.
constexpr size_t GLYPH_BATCH = 8;

// ---- Numbers ----------------------------------------------------------------------------------

// A number rounded to the nearest integer, halves away from zero (as llround). Below 2^52 the
// truncation and what it leaves are exact, so the rounding needs no call.
long long round_half_away(double v) {
  if (!(std::fabs(v) < 4503599627370496.0)) return std::llround(v);
  long long whole = static_cast<long long>(v);
  const double rest = v - static_cast<double>(whole);
  if (rest >= 0.5)
    ++whole;
  else if (rest <= -0.5)
    --whole;
  return whole;
}

// Appends a number with at most two decimals and no trailing zeros.
void put_num(std::string& out, double v) {
  static constexpr char PAIRS[] =
      "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
      "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
      "8081828384858687888990919293949596979899";
  if (!std::isfinite(v)) v = 0;
  const long long rounded = round_half_away(v * 100);
  unsigned long long hundredths = rounded < 0 ? 0ull - static_cast<unsigned long long>(rounded)
                                              : static_cast<unsigned long long>(rounded);
  char text[32];
  char* const end = text + sizeof text;
  char* p = end;
  const unsigned fraction = unsigned(hundredths % 100);
  if (fraction) {
    if (fraction % 10) *--p = char('0' + fraction % 10);
    *--p = char('0' + fraction / 10);
    *--p = '.';
  }
  unsigned long long whole = hundredths / 100;
  while (whole >= 100) {
    const unsigned pair = unsigned(whole % 100);
    whole /= 100;
    p -= 2;
    std::memcpy(p, PAIRS + 2 * pair, 2);
  }
  if (whole >= 10) {
    p -= 2;
    std::memcpy(p, PAIRS + 2 * whole, 2);
  } else {
    *--p = char('0' + whole);
  }
  if (rounded < 0) *--p = '-';
  out.append(p, size_t(end - p));
}

void put_colour(std::string& out, QRgb colour) {
  if (qRed(colour) == qGreen(colour) && qGreen(colour) == qBlue(colour)) {
    put_num(out, qRed(colour) / 255.0);
    out += " g\n";
    return;
  }
  put_num(out, qRed(colour) / 255.0);
  out += ' ';
  put_num(out, qGreen(colour) / 255.0);
  out += ' ';
  put_num(out, qBlue(colour) / 255.0);
  out += " rg\n";
}

void put_clip(std::string& out, const QRectF& clip) {
  out += "q ";
  put_num(out, clip.left());
  out += ' ';
  put_num(out, clip.top());
  out += ' ';
  put_num(out, clip.width());
  out += ' ';
  put_num(out, clip.height());
  out += " re W n\n";
}

// The corners of an outline of straight edges that only goes round its bounding box (the
// outline of a line drawn with a rectangular pen, along or across the page); false for any
// other outline.
bool box_outline(std::span<const QPointF> points, QRectF* box) {
  if (points.size() < 4) return false;
  double left = points[0].x(), right = left, top = points[0].y(), bottom = top;
  for (const QPointF& p : points) {
    left = std::min(left, p.x());
    right = std::max(right, p.x());
    top = std::min(top, p.y());
    bottom = std::max(bottom, p.y());
  }
  for (size_t i = 0; i < points.size(); ++i) {
    const QPointF& a = points[i];
    const QPointF& b = points[(i + 1) % points.size()];
    const bool along = a.y() == b.y() && (a.y() == top || a.y() == bottom);
    const bool across = a.x() == b.x() && (a.x() == left || a.x() == right);
    if (!along && !across) return false;
  }
  if (right <= left || bottom <= top) return false;
  *box = QRectF(QPointF(left, top), QPointF(right, bottom));
  return true;
}

// The operators of a path of `count` elements, element(i) the i-th; y turned upward when
// `flip` (glyphs are drawn in text space). Outlines that are rectangles become rectangles.
template <typename ElementAt>
void put_path(std::string& out, int count, ElementAt element, bool flip) {
  const double sy = flip ? -1 : 1;
  auto point = [&](double x, double y) {
    put_num(out, x);
    out += ' ';
    put_num(out, sy * y);
  };
  // The subpath under way while its edges are straight, in room on the stack.
  std::array<std::byte, 1024> room;
  std::pmr::monotonic_buffer_resource resource(room.data(), room.size());
  std::pmr::vector<QPointF> straight(&resource);
  straight.reserve(16);
  auto put_straight = [&] {
    if (straight.size() > 2 && straight.back() == straight.front()) straight.pop_back();
    QRectF box;
    if (!flip && box_outline(straight, &box)) {
      point(box.left(), box.top());
      out += ' ';
      put_num(out, box.width());
      out += ' ';
      put_num(out, box.height());
      out += " re\n";
    } else {
      for (size_t i = 0; i < straight.size(); ++i) {
        point(straight[i].x(), straight[i].y());
        out += i == 0 ? " m\n" : " l\n";
      }
    }
    straight.clear();
  };
  bool curved = false;  // the subpath under way has a curve: written as it comes
  for (int i = 0; i < count; ++i) {
    const QPainterPath::Element e = element(i);
    if (e.type == QPainterPath::MoveToElement) {
      if (!straight.empty()) put_straight();
      curved = false;
      straight.push_back({e.x, e.y});
    } else if (e.type == QPainterPath::LineToElement) {
      if (curved) {
        point(e.x, e.y);
        out += " l\n";
      } else if (straight.empty() || straight.back() != QPointF(e.x, e.y)) {
        straight.push_back({e.x, e.y});
      }
    } else if (e.type == QPainterPath::CurveToElement && i + 2 < count) {
      if (!curved) {
        for (size_t k = 0; k < straight.size(); ++k) {
          point(straight[k].x(), straight[k].y());
          out += k == 0 ? " m\n" : " l\n";
        }
        straight.clear();
        curved = true;
      }
      const QPainterPath::Element a = element(i + 1), b = element(i + 2);
      point(e.x, e.y);
      out += ' ';
      point(a.x, a.y);
      out += ' ';
      point(b.x, b.y);
      out += " c\n";
      i += 2;
    }
  }
  if (!straight.empty()) put_straight();
}

void put_path(std::string& out, const QPainterPath& path, bool flip) {
  put_path(
      out, path.elementCount(), [&path](int i) { return path.elementAt(i); }, flip);
}

void put_hex16(std::string& out, unsigned v) {
  static const char* const HEX = "0123456789ABCDEF";
  for (int shift = 12; shift >= 0; shift -= 4) out += HEX[(v >> shift) & 15];
}

// ---- Compression ------------------------------------------------------------------------------

// The bytes as a zlib stream (the PDF's FlateDecode) packed at the level given (DEFLATE_LEVEL or
// GLYPH_DEFLATE_LEVEL); each thread keeps its own compressor for each, made when first used.
// Empty when the compressor could not be allocated: a zlib stream never is.
// The stream is made in room the thread keeps from one stream to the next and returned in a string
// of its own size: a page's room, taken and given back to the system page after page, would
// have every thread of the program wait on the system's map of memory.
std::string deflate(const std::string& data, int level = DEFLATE_LEVEL) {
  struct Compressor {
    libdeflate_compressor* c = nullptr;
    ~Compressor() {
      if (c) libdeflate_free_compressor(c);
    }
  };
  thread_local Compressor pages, glyphs;
  thread_local std::string room;
  Compressor& compressor = level == GLYPH_DEFLATE_LEVEL ? glyphs : pages;
  if (!compressor.c) compressor.c = libdeflate_alloc_compressor(level);
  if (!compressor.c) return {};
  const size_t bound = libdeflate_zlib_compress_bound(compressor.c, data.size());
  if (room.size() < bound) room.resize(bound);
  const size_t n =
      libdeflate_zlib_compress(compressor.c, data.data(), data.size(), room.data(), bound);
  return std::string(room.data(), n);
}

// Threads that compress the document's streams, each job in the order handed over. A thread is
// started when a job finds none idle, up to the number allowed (see allow) and `most`; each keeps
// its compressors until the document ends. Jobs left when the document ends are done first.
class Compressors {
 public:
  explicit Compressors(unsigned most) : most_(std::max(most, 1u)) {}

  // Up to `threads` threads may run from now on (one at first).
  void allow(unsigned threads) {
    std::lock_guard held(lock_);
    allowed_ = std::clamp(threads, allowed_, most_);
  }
  Compressors(const Compressors&) = delete;
  Compressors& operator=(const Compressors&) = delete;
  ~Compressors() {
    let_go();
    for (ThreadBeside& thread : threads_) thread.join();
  }

  // The threads end once the jobs handed are done; a job handed after is done by the caller.
  void let_go() {
    {
      std::lock_guard held(lock_);
      closing_ = true;
    }
    wake_.notify_all();
  }

  // The job's result, the caller doing the jobs still waiting meanwhile rather than waiting idle
  // for the threads (a job's result is the same whoever does it): at the end of a short document
  // the caller and the thread share what is left to compress.
  template <typename Result>
  Result result_of(std::future<Result>& result) {
    while (result.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
      std::function<void()> job;
      {
        std::lock_guard held(lock_);
        if (jobs_.empty()) break;
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
      job();
    }
    return result.get();
  }

  template <typename Job>
  auto hand(Job job) -> std::future<decltype(job())> {
    using Result = decltype(job());
    auto task = std::make_shared<std::packaged_task<Result()>>(std::move(job));
    std::future<Result> result = task->get_future();
    bool closing;
    {
      std::lock_guard held(lock_);
      closing = closing_;
      if (!closing) {
        jobs_.push_back([task] { (*task)(); });
        if (idle_ == 0 && threads_.size() < allowed_) threads_.emplace_back([this] { run(); });
      }
    }
    if (closing)
      (*task)();
    else
      wake_.notify_one();
    return result;
  }

 private:
  void run() {
    std::unique_lock held(lock_);
    for (;;) {
      ++idle_;
      wake_.wait(held, [this] { return closing_ || !jobs_.empty(); });
      --idle_;
      if (jobs_.empty()) return;
      std::function<void()> job = std::move(jobs_.front());
      jobs_.pop_front();
      held.unlock();
      job();
      held.lock();
    }
  }

  const unsigned most_;
  unsigned allowed_ = 1;
  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  unsigned idle_ = 0;
  bool closing_ = false;
  std::vector<ThreadBeside> threads_;
};

// ---- Fonts ------------------------------------------------------------------------------------

struct Glyph {
  std::string proc;    // the glyph's drawing in font units, y upward
  std::string packed;  // proc compressed, handed over by the page that first drew the glyph
  double advance = 0;
  QRectF box;
  QString text;  // the characters it stands for
};

struct Font {
  int object = 0;    // the font dictionary's object number
  std::string name;  // its resource name
  std::map<uint8_t, Glyph> glyphs;
  std::bitset<256> made;  // the codes in glyphs
};

Glyph make_glyph(int font, int face, uint8_t code) {
  Glyph g;
  const QPainterPath outline = port_glyph_outline(font, face, code, GLYPH_SIZE, &g.advance);
  g.text = port_glyph_text(font, face, code);
  std::string& p = g.proc;
  put_num(p, std::round(g.advance));
  if (outline.isEmpty()) {
    p += " 0 0 0 0 0 d1\n";
    return g;
  }
  const QRectF r = outline.boundingRect();
  g.box = QRectF(QPointF(std::floor(r.left()), std::floor(-r.bottom())),
                 QPointF(std::ceil(r.right()), std::ceil(-r.top())));
  p += " 0 ";
  put_num(p, g.box.left());
  p += ' ';
  put_num(p, g.box.top());
  p += ' ';
  put_num(p, g.box.right());
  p += ' ';
  put_num(p, g.box.bottom());
  p += " d1\n";
  put_path(p, outline, true);
  p += "f\n";
  return g;
}

// A page's drawing in order, kept for the worker that makes its content stream.
struct PageDrawing {
  enum Kind : uint8_t { FILL, FILL_EVEN_ODD, TEXT };
  struct Step {
    Kind kind = FILL;
    QRgb colour = 0;
    QRectF clip;                              // empty: none
    uint32_t first = 0;                       // a fill's first element; a text's first byte
    uint32_t count = 0;                       // its elements; its bytes
    uint32_t font_first = 0, font_count = 0;  // a text's font name, in `bytes`, once ended
    int font = 0, face = 0, size = 0;         // a text's font number, face and size
    double x = 0, y = 0;                      // a text's pen
  };
  std::vector<Step> steps;
  std::vector<QPainterPath::Element> elements;  // the fills' outlines, one after another
  std::string bytes;                            // the texts and their fonts' names
};

// Sets the fill colour unless it is set already.
void set_colour(std::string& body, std::string& set, QRgb colour) {
  std::string op;
  put_colour(op, colour);
  if (op == set) return;
  body += op;
  set = std::move(op);
}

void put_text(std::string& b, std::string& set_font, const PageDrawing& d,
              const PageDrawing::Step& step) {
  b += "BT ";
  // The font is set again only when it changes: most texts of a page are in one font.
  char font[64];
  char* end = font;
  *end++ = '/';
  end = std::copy_n(d.bytes.data() + step.font_first, std::min<size_t>(step.font_count, 32), end);
  *end++ = ' ';
  end = std::to_chars(end, font + sizeof font, step.size).ptr;
  end = std::copy_n(" Tf ", 4, end);
  const std::string_view wanted(font, size_t(end - font));
  if (wanted != set_font) {
    b += wanted;
    set_font = wanted;
  }
  b += "1 0 0 -1 ";
  put_num(b, step.x);
  b += ' ';
  put_num(b, step.y);
  b += " Tm (";
  for (uint32_t i = step.first; i < step.first + step.count; ++i) {
    const unsigned char c = static_cast<unsigned char>(d.bytes[i]);
    if (c == '(' || c == ')' || c == '\\') {
      b += '\\';
      b += char(c);
    } else if (c < 32 || c > 126) {
      const char octal[4] = {'\\', char('0' + (c >> 6)), char('0' + ((c >> 3) & 7)),
                             char('0' + (c & 7))};
      b.append(octal, 4);
    } else {
      b += char(c);
    }
  }
  b += ") Tj ET\n";
}

// The content stream of a page drawn on a page of this setup, in `body`: the page's pixels, y
// downward from its top-left corner, then every step in order, each clipped in a saved graphics
// state (what is set inside is forgotten after it).
void page_content(const PageDrawing& d, const PdfPageSetup& s, std::string& body) {
  body.clear();
  body.reserve(d.elements.size() * 12 + d.bytes.size() * 2 + d.steps.size() * 24 + 64);
  put_num(body, s.points_per_pixel);
  body += " 0 0 ";
  put_num(body, -s.points_per_pixel);
  body += ' ';
  put_num(body, s.origin_x);
  body += ' ';
  put_num(body, s.media_height - s.origin_y);
  body += " cm\n";
  std::string colour, font;  // the fill colour's operator and the font as set last
  for (const PageDrawing::Step& step : d.steps) {
    const bool clipped = !step.clip.isEmpty();
    std::string outer_colour, outer_font;
    if (clipped) {
      outer_colour = colour;
      outer_font = font;
      put_clip(body, step.clip);
    }
    set_colour(body, colour, step.colour);
    if (step.kind == PageDrawing::TEXT) {
      put_text(body, font, d, step);
    } else {
      put_path(
          body, int(step.count), [&](int i) { return d.elements[step.first + size_t(i)]; }, false);
      body += step.kind == PageDrawing::FILL_EVEN_ODD ? "f*\n" : "f\n";
    }
    if (clipped) {
      body += "Q\n";
      colour = std::move(outer_colour);
      font = std::move(outer_font);
    }
  }
}

// The page's content stream compressed, made in room the thread keeps (see deflate).
std::string packed_content(const PageDrawing& d, const PdfPageSetup& s) {
  thread_local std::string body;
  page_content(d, s, body);
  return deflate(body);
}

using GlyphKeys = std::vector<std::pair<std::pair<int, int>, uint8_t>>;  // font key and code

// A page handed to the compressors, with the numbers of its objects.
struct PendingPage {
  int page = 0, content = 0;
  std::future<std::string> content_data;  // its content stream, compressed
  // Its new glyphs' drawings, compressed, batch by batch in the order of `glyphs`.
  std::vector<std::future<std::vector<std::string>>> glyph_data;
  GlyphKeys glyphs;
};

}  // namespace

using FontKey = std::pair<int, int>;  // font number and face

struct PdfPage {
  PageDrawing drawing;
};

struct PdfWriter {
  std::FILE* out = nullptr;  // none: the bytes are kept in memory
  std::string kept;
  PdfPageSetup setup;
  bool failed = false;
  long long written = 0;
  std::vector<long long> offsets{0};  // by object number; 0 unused
  int next_object = 4;                // 1 catalogue, 2 page tree, 3 shared resources
  std::vector<int> page_objects;
  std::map<FontKey, Font> fonts;  // by font number and face
  PdfPage* page = nullptr;        // the page under way, begun by the writer
  std::deque<PendingPage> pending;
  // Glyphs made ahead by the threads that draw pages apart, by glyph_key, for the pages' ends to
  // take; and every glyph one of them or the writer has begun to make.
  std::mutex ahead_lock;
  std::unordered_map<uint64_t, Glyph> made_ahead;
  std::unordered_set<uint64_t> begun;
  unsigned workers = 1;  // pages handed to the compressors and not yet written, at most
  std::unique_ptr<Compressors> compressors;
  size_t last_elements = 0;  // the outline elements of the page before: room made for as many
};

namespace {

int new_object(PdfWriter& w) { return w.next_object++; }

void write(PdfWriter& w, const std::string& text) {
  if (w.failed) return;
  if (!w.out)
    w.kept += text;
  else if (std::fwrite(text.data(), 1, text.size(), w.out) != text.size())
    w.failed = true;
  w.written += (long long)text.size();
}

void begin_object(PdfWriter& w, int number) {
  if (size_t(number) >= w.offsets.size()) w.offsets.resize(size_t(number) + 1, 0);
  w.offsets[size_t(number)] = w.written;
  write(w, std::to_string(number) + " 0 obj\n");
}

// A stream object: its dictionary entries (without Length and Filter) and its bytes,
// compressed when `compressed` is true.
void write_stream(PdfWriter& w, int number, const std::string& entries, const std::string& data,
                  bool compressed) {
  if (compressed && data.empty() && !w.failed) {  // out of memory when it was compressed
    w.failed = true;
    errno = ENOMEM;
  }
  begin_object(w, number);
  std::string head = "<< /Length " + std::to_string(data.size());
  if (compressed) head += " /Filter /FlateDecode";
  head += entries + " >>\nstream\n";
  write(w, head);
  write(w, data);
  write(w, "\nendstream\nendobj\n");
}

// Writes the oldest page handed to the compressors.
void write_oldest_page(PdfWriter& w) {
  PendingPage page = std::move(w.pending.front());
  w.pending.pop_front();
  size_t i = 0;
  for (std::future<std::vector<std::string>>& batch : page.glyph_data)
    for (std::string& packed : w.compressors->result_of(batch)) {
      if (i >= page.glyphs.size()) break;
      const auto& [key, code] = page.glyphs[i++];
      w.fonts[key].glyphs[code].packed = std::move(packed);
    }
  const std::string data = w.compressors->result_of(page.content_data);
  const int number = page.page, content = page.content;
  std::string dict = "<< /Type /Page /Parent 2 0 R /Resources 3 0 R /MediaBox [0 0 ";
  put_num(dict, w.setup.media_width);
  dict += ' ';
  put_num(dict, w.setup.media_height);
  dict += "] /Contents " + std::to_string(content) + " 0 R >>\nendobj\n";
  begin_object(w, number);
  write(w, dict);
  write_stream(w, content, "", data, true);
}

std::string to_unicode_map(const Font& f) {
  std::string m =
      "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
      "1 begincodespacerange\n<00> <FF>\nendcodespacerange\n";
  std::vector<std::pair<uint8_t, const QString*>> mapped;
  for (const auto& [code, g] : f.glyphs)
    if (!g.text.isEmpty()) mapped.push_back({code, &g.text});
  for (size_t i = 0; i < mapped.size(); i += 100) {
    const size_t n = std::min<size_t>(100, mapped.size() - i);
    m += std::to_string(n) + " beginbfchar\n";
    for (size_t k = i; k < i + n; ++k) {
      static const char* const HEX = "0123456789ABCDEF";
      m += '<';
      m += HEX[mapped[k].first >> 4];
      m += HEX[mapped[k].first & 15];
      m += "> <";
      for (const QChar c : *mapped[k].second) put_hex16(m, c.unicode());
      m += ">\n";
    }
    m += "endbfchar\n";
  }
  m += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
  return m;
}

// Writes a font; its ToUnicode map comes compressed.
void write_font(PdfWriter& w, const Font& f, const std::string& packed_map) {
  std::string procs, differences, widths;
  QRectF bounds;
  int last_code = -2;
  const int first = f.glyphs.empty() ? 0 : f.glyphs.begin()->first;
  const int last = f.glyphs.empty() ? 0 : f.glyphs.rbegin()->first;
  std::vector<double> advance(size_t(last - first + 1), 0);
  std::vector<std::pair<int, const Glyph*>> streams;
  for (const auto& [code, g] : f.glyphs) {
    const int object = new_object(w);
    streams.push_back({object, &g});
    procs += "/g" + std::to_string(code) + ' ' + std::to_string(object) + " 0 R ";
    if (code != last_code + 1) differences += std::to_string(code) + ' ';
    differences += "/g" + std::to_string(code) + ' ';
    last_code = code;
    advance[size_t(code - first)] = std::round(g.advance);
    if (!g.box.isEmpty()) bounds |= g.box;
  }
  for (double a : advance) {
    put_num(widths, a);
    widths += ' ';
  }
  const int unicode = new_object(w);
  std::string dict = "<< /Type /Font /Subtype /Type3 /FontMatrix [0.001 0 0 0.001 0 0]";
  dict += " /FontBBox [";
  put_num(dict, bounds.left());
  dict += ' ';
  put_num(dict, bounds.top());
  dict += ' ';
  put_num(dict, bounds.right());
  dict += ' ';
  put_num(dict, bounds.bottom());
  dict += "] /Resources << >> /CharProcs << " + procs + ">>";
  dict += " /Encoding << /Type /Encoding /Differences [" + differences + "] >>";
  dict += " /FirstChar " + std::to_string(first) + " /LastChar " + std::to_string(last);
  dict += " /Widths [" + widths + "] /ToUnicode " + std::to_string(unicode) + " 0 R >>\nendobj\n";
  begin_object(w, f.object);
  write(w, dict);
  for (const auto& [object, g] : streams)
    write_stream(w, object, "",
                 g->packed.empty() ? deflate(g->proc, GLYPH_DEFLATE_LEVEL) : g->packed, true);
  write_stream(w, unicode, "", packed_map, true);
}

void write_trailer(PdfWriter& w) {
  std::string resources = "<< /ProcSet [/PDF /Text] /Font << ";
  for (const auto& [key, f] : w.fonts)
    resources += '/' + f.name + ' ' + std::to_string(f.object) + " 0 R ";
  resources += ">> >>\nendobj\n";
  begin_object(w, 3);
  write(w, resources);
  std::string kids;
  for (int page : w.page_objects) kids += std::to_string(page) + " 0 R ";
  begin_object(w, 2);
  write(w, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(w.page_objects.size()) +
               " >>\nendobj\n");
  begin_object(w, 1);
  write(w, "<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");
  const int info = new_object(w);
  begin_object(w, info);
  write(w, "<< /Creator (Vesk) /Producer (Vesk) >>\nendobj\n");
  const long long xref = w.written;
  std::string table = "xref\n0 " + std::to_string(w.next_object) + "\n0000000000 65535 f \n";
  for (int n = 1; n < w.next_object; ++n) {
    char entry[24];
    const long long at = size_t(n) < w.offsets.size() ? w.offsets[size_t(n)] : 0;
    std::snprintf(entry, sizeof entry, "%010lld 00000 n \n", at);
    table += entry;
  }
  table += "trailer\n<< /Size " + std::to_string(w.next_object) + " /Root 1 0 R /Info " +
           std::to_string(info) + " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  write(w, table);
}

}  // namespace

PdfWriter* pdf_writer_begin(std::FILE* out, const PdfPageSetup& setup) {
  auto* w = new PdfWriter;
  w->out = out;
  w->setup = setup;
  w->workers = std::clamp(platform_usable_cores(), 1u, unsigned(MOST_IN_FLIGHT));
  w->compressors = std::make_unique<Compressors>(
      std::min(std::max(platform_usable_cores(), 2u) - 1, unsigned(MOST_IN_FLIGHT)));
  // The binary comment tells file transfers that the file is not text.
  write(*w, "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
  return w;
}

PdfPage* pdf_page_new(size_t room) {
  auto* page = new PdfPage;
  page->drawing.elements.reserve(room);
  return page;
}

PdfPage* pdf_writer_new_page(PdfWriter* w) { return pdf_page_new(w->last_elements); }

void pdf_page_dispose(PdfPage* page) { delete page; }

void pdf_writer_begin_page(PdfWriter* w) {
  pdf_page_dispose(w->page);
  w->page = pdf_writer_new_page(w);
}

void pdf_page_fill(PdfPage* page, const QPainterPath& shape, QRgb colour, const QRectF& clip) {
  if (!page || shape.isEmpty()) return;
  PageDrawing& d = page->drawing;
  PageDrawing::Step step;
  step.kind = shape.fillRule() == Qt::OddEvenFill ? PageDrawing::FILL_EVEN_ODD : PageDrawing::FILL;
  step.colour = colour;
  step.clip = clip;
  step.first = uint32_t(d.elements.size());
  step.count = uint32_t(shape.elementCount());
  for (int i = 0; i < shape.elementCount(); ++i) d.elements.push_back(shape.elementAt(i));
  d.steps.push_back(step);
}

PdfOutline& pdf_page_elements(PdfPage* page) { return page->drawing.elements; }

void pdf_page_fill_last(PdfPage* page, size_t count, QRgb colour, const QRectF& clip) {
  if (!page) return;
  PageDrawing& d = page->drawing;
  count = std::min(count, d.elements.size());
  const size_t first = d.elements.size() - count;
  // Empty as a path is: no element, or only where it would begin.
  if (count == 0 || (count == 1 && d.elements[first].type == QPainterPath::MoveToElement)) {
    d.elements.resize(first);
    return;
  }
  PageDrawing::Step step;
  step.colour = colour;
  step.clip = clip;
  step.first = uint32_t(first);
  step.count = uint32_t(count);
  d.steps.push_back(step);
}

void pdf_page_text(PdfPage* page, const SinkText& text, QRgb colour, const QRectF& clip) {
  if (!page || text.bytes.empty()) return;
  PageDrawing& d = page->drawing;
  PageDrawing::Step step;
  step.kind = PageDrawing::TEXT;
  step.colour = colour;
  step.clip = clip;
  step.first = uint32_t(d.bytes.size());
  step.count = uint32_t(text.bytes.size());
  d.bytes += text.bytes;
  step.font = text.font;
  step.face = text.face;
  step.size = int(text.size);
  step.x = text.x;
  step.y = text.y;
  d.steps.push_back(step);
}

void pdf_writer_fill(PdfWriter* w, const QPainterPath& shape, QRgb colour, const QRectF& clip) {
  pdf_page_fill(w->page, shape, colour, clip);
}

void pdf_writer_text(PdfWriter* w, const SinkText& text, QRgb colour, const QRectF& clip) {
  pdf_page_text(w->page, text, colour, clip);
}

namespace {

uint64_t glyph_key(int font, int face, uint8_t code) {
  return uint64_t(uint32_t(font)) << 32 | uint64_t(uint32_t(face) & 0xFFFFFF) << 8 | code;
}

// Glyphs made for pages drawn apart before their document began (pdf_page_make_glyphs), by
// glyph_key, for the writers of the documents the pages go to.
struct GlyphsApart {
  std::mutex lock;
  std::unordered_map<uint64_t, Glyph> made;
};

GlyphsApart& glyphs_apart() {
  static GlyphsApart apart;
  return apart;
}

// The glyph of a font, face and code: made ahead by a thread drawing pages, made for a page
// drawn apart, or made now.
Glyph take_glyph(PdfWriter& w, int font, int face, uint8_t code) {
  const uint64_t key = glyph_key(font, face, code);
  {
    std::lock_guard held(w.ahead_lock);
    auto it = w.made_ahead.find(key);
    if (it != w.made_ahead.end()) {
      Glyph g = std::move(it->second);
      w.made_ahead.erase(it);
      return g;
    }
    w.begun.insert(key);  // one begun ahead and not done yet is made twice, the same
  }
  {
    GlyphsApart& apart = glyphs_apart();
    std::lock_guard held(apart.lock);
    if (auto it = apart.made.find(key); it != apart.made.end()) return it->second;
  }
  return make_glyph(font, face, code);
}

// The glyphs of a page's texts, by glyph_key, each once.
std::vector<uint64_t> glyph_keys_of(const PageDrawing& d) {
  std::vector<uint64_t> keys;
  for (const PageDrawing::Step& step : d.steps)
    if (step.kind == PageDrawing::TEXT)
      for (uint32_t i = step.first; i < step.first + step.count; ++i)
        keys.push_back(glyph_key(step.font, step.face, static_cast<uint8_t>(d.bytes[i])));
  std::sort(keys.begin(), keys.end());
  keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
  return keys;
}

// Gives the texts of a page their fonts, in order: a font met first gets its object number
// and name; the glyphs met first are returned (font key and code), in order, to be made.
GlyphKeys name_fonts(std::map<FontKey, Font>& fonts, int& next_object, PageDrawing& d) {
  GlyphKeys made;
  const FontKey* key = nullptr;  // of the text before, most often the same
  Font* f = nullptr;
  for (PageDrawing::Step& step : d.steps) {
    if (step.kind != PageDrawing::TEXT) continue;
    if (!key || key->first != step.font || key->second != step.face) {
      auto [it, added] = fonts.try_emplace({step.font, step.face});
      key = &it->first;
      f = &it->second;
      if (added) {
        f->object = next_object++;
        f->name = "F" + std::to_string(fonts.size());
      }
    }
    for (uint32_t i = step.first; i < step.first + step.count; ++i) {
      const auto c = static_cast<unsigned char>(d.bytes[i]);
      if (f->made[c]) continue;
      f->made[c] = true;
      made.push_back({*key, c});
    }
    step.font_first = uint32_t(d.bytes.size());
    step.font_count = uint32_t(f->name.size());
    d.bytes += f->name;
  }
  return made;
}

}  // namespace

void pdf_writer_make_glyphs_ahead(PdfWriter* w, const PdfPage* page) {
  if (!page) return;
  std::vector<uint64_t> wanted = glyph_keys_of(page->drawing);
  {  // those made for pages drawn apart before are taken from there
    GlyphsApart& apart = glyphs_apart();
    std::lock_guard held(apart.lock);
    std::erase_if(wanted, [&apart](uint64_t key) { return apart.made.count(key) != 0; });
  }
  {
    std::lock_guard held(w->ahead_lock);
    std::erase_if(wanted, [w](uint64_t key) { return !w->begun.insert(key).second; });
  }
  if (wanted.empty()) return;
  std::vector<std::pair<uint64_t, Glyph>> made;
  for (const uint64_t key : wanted)
    made.push_back({key, make_glyph(int(int32_t(key >> 32)), int((key >> 8) & 0xFFFFFF),
                                    uint8_t(key & 0xFF))});
  std::lock_guard held(w->ahead_lock);
  for (auto& [key, glyph] : made) w->made_ahead.emplace(key, std::move(glyph));
}

void pdf_page_make_glyphs(const PdfPage* page) {
  if (!page) return;
  std::vector<uint64_t> wanted = glyph_keys_of(page->drawing);
  GlyphsApart& apart = glyphs_apart();
  {
    std::lock_guard held(apart.lock);
    std::erase_if(wanted, [&apart](uint64_t key) { return apart.made.count(key) != 0; });
  }
  for (const uint64_t key : wanted) {
    Glyph glyph =
        make_glyph(int(int32_t(key >> 32)), int((key >> 8) & 0xFFFFFF), uint8_t(key & 0xFF));
    std::lock_guard held(apart.lock);
    apart.made.emplace(key, std::move(glyph));
  }
}

bool pdf_writer_end_apart(PdfWriter* w, PdfPage* page) {
  if (!page) return !w->failed;
  PageDrawing drawing = std::move(page->drawing);
  pdf_page_dispose(page);
  GlyphKeys made = name_fonts(w->fonts, w->next_object, drawing);
  // Object numbers are given here, in the order of the pages, whatever the compressors do.
  const int number = new_object(*w), content = new_object(*w);
  w->last_elements = drawing.elements.size();
  w->page_objects.push_back(number);
  // A thread more than the pages ended, up to the most: the one page of a short document is
  // packed by two threads while its glyphs are made, and by the writer too once they are (a
  // thread the processors have no room for holds nothing up: the writer does its jobs), and a
  // long document's pages soon have them all.
  w->compressors->allow(unsigned(w->page_objects.size()) + 1);
  PendingPage pending{number, content, {}, {}, {}};
  pending.content_data = w->compressors->hand(
      [drawing = std::move(drawing), setup = w->setup] { return packed_content(drawing, setup); });
  // The glyphs the page meets first are made in order while its content is compressed.
  std::vector<std::string> batch;
  for (size_t i = 0; i < made.size(); ++i) {
    const auto& [key, code] = made[i];
    Font& f = w->fonts[key];
    batch.push_back(
        f.glyphs.emplace(code, take_glyph(*w, key.first, key.second, code)).first->second.proc);
    if (batch.size() < GLYPH_BATCH && i + 1 < made.size()) continue;
    pending.glyph_data.push_back(w->compressors->hand([procs = std::move(batch)] {
      std::vector<std::string> packed;
      for (const std::string& proc : procs) packed.push_back(deflate(proc, GLYPH_DEFLATE_LEVEL));
      return packed;
    }));
    batch.clear();
  }
  pending.glyphs = std::move(made);
  w->pending.push_back(std::move(pending));
  while (w->pending.size() > w->workers) write_oldest_page(*w);
  return !w->failed;
}

int pdf_writer_pages(const PdfWriter* w) { return int(w->page_objects.size()); }

bool pdf_writer_write_to(PdfWriter* w, std::FILE* out) {
  if (w->out) return !w->failed;
  w->out = out;
  if (!w->failed && !w->kept.empty() &&
      std::fwrite(w->kept.data(), 1, w->kept.size(), out) != w->kept.size())
    w->failed = true;
  std::string().swap(w->kept);
  return !w->failed;
}

bool pdf_writer_end_page(PdfWriter* w) {
  PdfPage* page = w->page;
  w->page = nullptr;
  return pdf_writer_end_apart(w, page);
}

bool pdf_writer_end(PdfWriter* w) {
  if (w->page) pdf_writer_end_page(w);
  if (w->page_objects.empty()) {
    pdf_writer_begin_page(w);
    pdf_writer_end_page(w);
  }
  // Every glyph is known once the pages have ended: the fonts' maps are compressed meanwhile.
  std::vector<std::future<std::string>> maps;
  for (const auto& [key, f] : w->fonts)
    maps.push_back(w->compressors->hand([map = to_unicode_map(f)] { return deflate(map); }));
  while (!w->pending.empty()) write_oldest_page(*w);
  size_t i = 0;
  for (const auto& [key, f] : w->fonts) write_font(*w, f, w->compressors->result_of(maps[i++]));
  // Nothing more is compressed: the threads end while the file is finished and put in place.
  w->compressors->let_go();
  write_trailer(*w);
  return !w->failed;
}

void pdf_writer_dispose(PdfWriter* w) {
  if (w) pdf_page_dispose(w->page);
  delete w;
}
