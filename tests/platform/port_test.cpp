// port_test.cpp: drawing ports.
//   Xor.*:      exclusive-or drawing done twice restores every pixel (shapes, lines, text, copies)
//   Modes.*:    copy, or, exclusive-or and bit-clear with a pattern aligned to the port
//   Lines.*:    the pen hangs below and right of the path; a zero pen draws nothing
//   Shapes.*:   frames, fills and ovals cover pixels inside their rectangle; clipping
//   Copying.*:  port_copy scales, and reads a port's old pixels when copying within it; a port
//               not yet drawn in reads, copies and grows white
//   Text.*:     widths agree with the pen's advance and the layout's, inks at other sizes with the
//               layout's tight box; symbol and music fonts; faces; modes
//   Outlines:   a glyph outline for printing is the same whatever was drawn smooth before it,
//               also in a program that only prints; outlines and advances read from the font's
//               file are the layout's own, to the bit
//   Smooth.*:   smooth text and polygons: edges in part covered, the same widths, drawing again
//               changes nothing, exclusive-or marks apart from the ink restore in any order;
//               other ports stay whole pixels
#include "platform/port.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fontconfig/fontconfig.h>
#include <string>
#include <vector>

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>

#include "platform/design_outlines.h"
#include "platform/font_families.h"
#include "platform/fonts.h"
#include "platform/glyph_map.h"
#include "platform/port_image.h"
#include "platform/port_sink.h"
#include "platform/text_encoding.h"
#include "platform/window.h"

namespace {

constexpr uint32_t WHITE = 0xFFFFFF, BLACK = 0x000000;
constexpr int W = 64, H = 48;

class PortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port = port_new_offscreen(W, H);
    ASSERT_NE(port, nullptr);
    platform_set_port(port);
  }
  void TearDown() override { port_dispose(port); }

  int count(uint32_t colour) const {
    int n = 0;
    for (uint32_t p : port_pixels(port)) n += p == colour;
    return n;
  }
  // Colours the port unevenly, so that restoring it means something.
  void scribble() {
    fore_colour({65535, 0, 0});
    back_colour({0, 0, 32768});
    fill_rect(port_bounds(port), PATTERN_DARK_GRAY);
    fore_colour({0, 40000, 0});
    pen_mode(MODE_PAT_OR);
    pen_pattern(PATTERN_LIGHT_GRAY);
    paint_oval({5, 5, 50, 40});
    pen_normal();
    fore_colour(COLOUR_BLACK);
    back_colour(COLOUR_WHITE);
  }

  Port* port = nullptr;
};

QString mac_roman(const std::string& bytes) {
  QString text;
  for (char c : bytes) text += QChar(char16_t(macroman_to_unicode(uint8_t(c))));
  return text;
}

TEST_F(PortTest, XorShapesAndLinesTwiceRestoreEveryPixel) {
  scribble();
  const std::vector<uint32_t> before = port_pixels(port);
  void (*drawings[])() = {
      [] {
        paint_rect({3, 4, 40, 30});
      },
      [] {
        pen_pattern(PATTERN_GRAY), paint_rect({-5, 2, 70, 30});
      },
      [] {
        pen_size(3, 2), frame_rect({2, 2, 30, 30});
      },
      [] { pen_size(3, 2), move_to(1, 1), line_to(50, 37); },
      [] { pen_size(2, 5), move_to(40, 2), line_to(35, 45); },
      [] {
        pen_size(2, 2), frame_oval({10, 8, 47, 33});
      },
      [] {
        invert_oval({0, 0, 20, 20});
      },
  };
  for (size_t i = 0; i < std::size(drawings); ++i) {
    for (int pass = 0; pass < 2; ++pass) {
      pen_normal();
      pen_mode(MODE_PAT_XOR);
      drawings[i]();
      if (pass == 0) {
        EXPECT_NE(port_pixels(port), before) << "drawing " << i << " drew nothing";
      }
    }
    EXPECT_EQ(port_pixels(port), before) << "drawing " << i;
  }
}

TEST_F(PortTest, XorTextTwiceRestoresEveryPixel) {
  scribble();
  const std::vector<uint32_t> before = port_pixels(port);
  text_font(FONT_TIMES);
  text_size(18);
  text_mode(MODE_XOR);
  for (int face : {0, FACE_BOLD | FACE_ITALIC | FACE_UNDERLINE, int{FACE_SHADOW}}) {
    text_face(face);
    for (int pass = 0; pass < 2; ++pass) {
      move_to(3, 30);
      draw_string("Vesk g");
      if (pass == 0) {
        EXPECT_NE(port_pixels(port), before) << "face " << face;
      }
    }
    EXPECT_EQ(port_pixels(port), before) << "face " << face;
  }
}

TEST_F(PortTest, PatternModesFollowThePatternAlignedToThePort) {
  const struct {
    int16_t mode;
    uint32_t start;                   // what the port holds before
    uint32_t where_set, where_clear;  // after, under set and clear bits
  } cases[] = {
      {MODE_PAT_COPY, 0x808080, BLACK, WHITE},
      {MODE_PAT_OR, 0x808080, BLACK, 0x808080},
      {MODE_PAT_XOR, 0x00FF00, 0xFF00FF, 0x00FF00},
      {MODE_PAT_BIC, 0x123456, WHITE, 0x123456},
  };
  const Rect r{3, 5, 29, 22};  // not on a multiple of 8
  for (const auto& c : cases) {
    fore_colour({uint16_t((c.start >> 16) * 257), uint16_t((c.start >> 8 & 0xFF) * 257),
                 uint16_t((c.start & 0xFF) * 257)});
    paint_rect(port_bounds(port));
    fore_colour(COLOUR_BLACK);
    pen_pattern(PATTERN_LIGHT_GRAY);
    pen_mode(c.mode);
    paint_rect(r);
    pen_normal();
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        const bool set = PATTERN_LIGHT_GRAY.rows[y % 8] >> (7 - x % 8) & 1;
        const uint32_t expected = !r.contains({x, y}) ? c.start : set ? c.where_set : c.where_clear;
        ASSERT_EQ(port_pixel(port, x, y), expected) << "mode " << c.mode << " at " << x << "," << y;
      }
  }
  // Copy puts the background colour under clear bits.
  back_colour({0, 0, 65535});
  fill_rect({0, 0, 8, 1}, PATTERN_GRAY);
  EXPECT_EQ(port_pixel(port, 0, 0), BLACK);
  EXPECT_EQ(port_pixel(port, 1, 0), 0x0000FFu);
}

TEST_F(PortTest, LinesHangThePenBelowAndRightOfThePath) {
  const struct {
    int pen_width, pen_height;
    Point from, to;
    Rect covered;  // every black pixel
  } cases[] = {
      {1, 1, {0, 0}, {3, 0}, {0, 0, 4, 1}},
      {1, 1, {5, 9}, {5, 2}, {5, 2, 6, 10}},
      {2, 3, {10, 10}, {20, 10}, {10, 10, 22, 13}},
      {4, 1, {30, 5}, {30, 5}, {30, 5, 34, 6}},
      {0, 3, {1, 1}, {30, 30}, {}},
  };
  for (const auto& c : cases) {
    erase_rect(port_bounds(port));
    pen_size(c.pen_width, c.pen_height);
    move_to(c.from.x, c.from.y);
    line_to(c.to.x, c.to.y);
    EXPECT_EQ(pen_position(), c.to);
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        ASSERT_EQ(port_pixel(port, x, y), c.covered.contains({x, y}) ? BLACK : WHITE)
            << x << "," << y;
  }
  erase_rect(port_bounds(port));
  pen_normal();
  move_to(2, 3);
  line_by(10, 5);  // a slope: one pixel per column, both ends drawn
  EXPECT_EQ(port_pixel(port, 2, 3), BLACK);
  EXPECT_EQ(port_pixel(port, 12, 8), BLACK);
  EXPECT_EQ(count(BLACK), 11);
}

TEST_F(PortTest, ShapesCoverPixelsInsideTheirRectangle) {
  const struct {
    int pen;
    void (*draw)(Rect);
    int black;
  } cases[] = {
      {1, frame_rect, 36},  {2, frame_rect, 64},   {6, frame_rect, 100}, {0, frame_rect, 0},
      {1, paint_rect, 100}, {1, invert_rect, 100}, {1, paint_oval, 80},  {1, frame_oval, 32},
  };
  const Rect r{7, 9, 17, 19};
  for (const auto& c : cases) {
    erase_rect(port_bounds(port));
    pen_size(c.pen, c.pen);
    c.draw(r);
    EXPECT_NEAR(count(BLACK), c.black, 4) << "case with " << c.black;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        if (!r.contains({x, y})) {
          ASSERT_EQ(port_pixel(port, x, y), WHITE) << x << "," << y;
        }
  }
  EXPECT_EQ(port_pixel(port, 7, 14), BLACK);  // an oval reaches the middle of each side
  EXPECT_EQ(port_pixel(port, 16, 14), BLACK);
  EXPECT_EQ(port_pixel(port, 12, 9), BLACK);
  EXPECT_EQ(port_pixel(port, 7, 9), WHITE);
}

TEST_F(PortTest, NothingIsDrawnOutsideTheClipOrThePort) {
  EXPECT_EQ(get_clip(), port_bounds(port));
  clip_rect({10, 10, 20, 20});
  pen_size(3, 3);
  paint_rect({-100, -100, 1000, 1000});
  move_to(-50, 15);
  line_to(200, 15);
  text_font(FONT_TIMES);
  move_to(0, 30);
  draw_string("WWWWWWWW");
  paint_oval({0, 0, W, H});
  EXPECT_EQ(count(BLACK), 100);
  clip_rect({-30, -30, 100, 100});
  paint_oval({-40, -40, 200, 200});
  move_to(-1000000, -1000000);
  line_to(1000000, 1000000);
  EXPECT_EQ(count(BLACK), W * H);
  EXPECT_EQ(port_pixel(port, -1, 0), WHITE);  // outside the port
}

TEST_F(PortTest, CopyScalesAndXorCopyTwiceRestores) {
  Port* source = port_new_offscreen(8, 8);
  platform_set_port(source);
  fore_colour({0, 0, 65535});
  paint_rect({0, 0, 4, 4});
  platform_set_port(port);

  port_copy(source, port, {0, 0, 8, 8}, {10, 10, 26, 26}, MODE_COPY);  // twice the size
  EXPECT_EQ(port_pixel(port, 17, 17), 0x0000FFu);
  EXPECT_EQ(port_pixel(port, 18, 18), WHITE);
  EXPECT_EQ(count(0x0000FF), 64);

  scribble();
  const std::vector<uint32_t> before = port_pixels(port);
  port_copy(source, port, {0, 0, 8, 8}, {30, 20, 38, 28}, MODE_XOR);
  EXPECT_NE(port_pixels(port), before);
  port_copy(source, port, {0, 0, 8, 8}, {30, 20, 38, 28}, MODE_XOR);
  EXPECT_EQ(port_pixels(port), before);

  paint_rect(port_bounds(port));
  port_copy(source, port, {0, 0, 8, 8}, {0, 0, 8, 8}, MODE_BIC);  // the blue turns white
  EXPECT_EQ(count(WHITE), 16);
  port_copy(source, port, {0, 0, 8, 8}, {0, 0, 8, 8}, MODE_OR);  // and blue again
  EXPECT_EQ(count(0x0000FF), 16);
  EXPECT_EQ(count(BLACK), W * H - 16);
  port_dispose(source);
}

TEST_F(PortTest, CopyWithinOnePortReadsThePixelsBeforeTheCopy) {
  paint_rect({0, 0, 4, 1});
  port_copy(port, port, {0, 0, 8, 1}, {2, 0, 10, 1}, MODE_COPY);
  EXPECT_EQ(count(BLACK), 6);  // pixels 0..5; a copy that smeared forward would give 10
}

TEST_F(PortTest, TextWidthAgreesWithThePensAdvance) {
  text_font(FONT_TIMES);
  text_size(12);
  const double width = string_width("Vesk");
  EXPECT_GT(width, 12);
  EXPECT_LT(width, 40);
  move_to(5, 20);
  draw_string("Vesk");
  EXPECT_EQ(pen_position(), (Point{5 + int(std::floor(width)), 20}));
  draw_string("Vesk");  // the pen keeps the fraction
  EXPECT_EQ(pen_position().x, 5 + int(std::floor(2 * width)));
  EXPECT_GT(count(BLACK), 20);

  double sum = 0;
  for (char c : std::string("Vesk")) sum += char_width(uint8_t(c));
  EXPECT_NEAR(sum, width, 1e-9);  // no kerning: widths add up
  text_size(0);
  EXPECT_EQ(string_width("Vesk"), width);
  text_face(FACE_EXTEND);
  EXPECT_NEAR(string_width("Vesk"), width + 4, 1e-9);
  text_face(FACE_CONDENSE);
  EXPECT_NEAR(string_width("Vesk"), width - 4, 1e-9);

  // A font loaded afresh sets the system's font configuration aside only while it loads:
  // characters a font lacks are still looked for among every installed font.
  text_face(FACE_PLAIN);
  text_size(37);
  EXPECT_GT(string_width("Vesk"), 2 * width);
  const FcFontSet* installed = FcConfigGetFonts(nullptr, FcSetSystem);
  ASSERT_NE(installed, nullptr);
  EXPECT_GT(installed->nfont, 0);

  platform_set_port(nullptr);  // measuring needs no port and no window
  EXPECT_GT(string_width("Vesk"), 0);
  EXPECT_GT(get_font_metrics().ascent, 5);
}

// A lone character at a whole pixel is drawn from what was kept of its first drawing: the
// same pixels as drawing it within a string, moved with the pen.
TEST_F(PortTest, LoneCharactersDrawTheirPixelsAgainAnywhere) {
  text_font(FONT_TIMES);
  text_size(20);
  move_to(4, 30);
  draw_string("Wg");
  const std::vector<uint32_t> string = port_pixels(port);
  erase_rect(port_bounds(port));
  for (int round = 0; round < 2; ++round) {
    move_to(4, 30);
    draw_char('W');
    draw_char('g');  // at the fraction the W left: drawn afresh
    EXPECT_EQ(port_pixels(port), string) << round;
    erase_rect(port_bounds(port));
  }
  move_to(4, 30);
  draw_char('W');
  const std::vector<uint32_t> here = port_pixels(port);
  erase_rect(port_bounds(port));
  move_to(4 + 17, 30 + 9);
  draw_char('W');
  for (int y = 0; y + 9 < H; ++y)
    for (int x = 0; x + 17 < W; ++x)
      ASSERT_EQ(here[size_t(y) * W + x], port_pixel(port, x + 17, y + 9)) << x << "," << y;
}

TEST_F(PortTest, TextDrawsAboveTheBaselineInTheForegroundColour) {
  text_font(FONT_GENEVA);
  text_size(20);
  fore_colour({0, 65535, 0});
  move_to(2, 30);
  draw_string("HH");
  int above = 0, below = 0;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      if (port_pixel(port, x, y) == 0x00FF00) (y < 30 ? above : below)++;
  EXPECT_GT(above, 30);
  EXPECT_EQ(below, 0);
  EXPECT_EQ(count(WHITE) + count(0x00FF00), W * H);  // no antialiasing

  text_face(FACE_UNDERLINE);  // adds a line below the baseline
  move_to(2, 30);
  draw_string("HH");
  for (int y = 30; y < H; ++y)
    for (int x = 0; x < W; ++x) below += port_pixel(port, x, y) == 0x00FF00;
  EXPECT_GE(below, 20);
}

TEST_F(PortTest, BitClearTextErasesWhatOrTextDrew) {
  text_font(FONT_TIMES);
  text_size(14);
  text_face(FACE_ITALIC | FACE_BOLD);
  move_to(4, 25);
  draw_string("Erase me");
  EXPECT_GT(count(BLACK), 0);
  text_mode(MODE_BIC);
  move_to(4, 25);
  draw_string("Erase me");
  EXPECT_EQ(count(WHITE), W * H);
}

TEST_F(PortTest, SymbolFontCodesAndMacRomanBytesDrawTheirGlyphs) {
  auto drawn = [this](int font, uint8_t c) {
    erase_rect(port_bounds(port));
    text_font(font);
    text_size(24);
    move_to(5, 30);
    draw_char(c);
    return port_pixels(port);
  };
  // 'a' in the symbol font is alpha, drawn by the symbol font's own stand-in.
  const std::vector<uint32_t> alpha = drawn(FONT_SYMBOL, 'a');
  EXPECT_GT(count(BLACK), 10);
  EXPECT_NE(alpha, drawn(FONT_GENEVA, 'a'));
  EXPECT_NE(alpha, drawn(FONT_TIMES, 'a'));

  // 0xA5 is a bullet, clear of the baseline and the capitals (a yen sign would reach both).
  drawn(FONT_TIMES, 0xA5);
  int inside = 0, outside = 0;
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x)
      if (port_pixel(port, x, y) == BLACK) (y >= 27 || y < 12 ? outside : inside)++;
  EXPECT_GT(inside, 10);
  EXPECT_EQ(outside, 0);
}

std::vector<std::pair<int, int>> unmapped;
void note_unmapped(int font, int code) { unmapped.push_back({font, code}); }

TEST_F(PortTest, MusicFontCharactersAreDrawnThroughTheGlyphTable) {
  platform_forget_unmapped_glyphs();
  platform_set_unmapped_glyph_handler(note_unmapped);
  unmapped.clear();
  // A code without a glyph has no width, draws nothing and is reported once.
  text_font(FONT_QUOR);
  text_size(12);
  EXPECT_EQ(char_width('Z'), 0);
  move_to(5, 30);
  draw_string("ZZ");
  EXPECT_EQ(pen_position(), (Point{5, 30}));
  EXPECT_EQ(count(WHITE), W * H);
  EXPECT_EQ(unmapped, (std::vector<std::pair<int, int>>{{FONT_QUOR, 'Z'}}));
  // A quarter head at 12 points is as wide as the layout's head: 1.18 spaces of 5 pixels.
  EXPECT_NEAR(char_width(141), 5.9, 0.1);
  draw_char(141);
  EXPECT_GT(W * H - count(WHITE), 15);
  // The double dot is two dots, the second 0.55 spaces on.
  EXPECT_NEAR(char_width(112) - char_width(111), 0.55 * 5, 0.05);
  platform_set_unmapped_glyph_handler(nullptr);
}

// A printed font outlines each glyph at 1000 pixels: the brace, drawn at four times the size
// asked for, is as tall as its em (it came out half as tall, its size cut to the largest).
TEST(Port, TheBraceIsOutlinedForPrintingAtItsFullSize) {
  double advance = 0;
  const QPainterPath brace = port_glyph_outline(FONT_SONATA, FACE_PLAIN, 167, 1000, &advance);
  EXPECT_NEAR(brace.boundingRect().height(), 4000, 40);
}

// A glyph's outline for printing is the same whatever was drawn smooth before it: the outline
// was taken moved by the fraction of a pixel that the glyph drawn smooth last was moved by.
TEST(Port, GlyphOutlinesDoNotDependOnWhatWasDrawnSmoothBefore) {
  double advance = 0;
  const QPainterPath outline = port_glyph_outline(FONT_QUOR, FACE_PLAIN, 112, 1000, &advance);
  ASSERT_FALSE(outline.isEmpty());
  QFont font(QString::fromStdString(platform_font_family(FONT_QUOR)));
  font.setPixelSize(20);
  font.setHintingPreference(QFont::PreferNoHinting);
  QImage image(60, 60, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(font);
    painter.drawText(QPointF(10.75, 40), QString(QChar(0xE1E7)));
  }
  EXPECT_EQ(port_glyph_outline(FONT_QUOR, FACE_PLAIN, 112, 1000, &advance), outline);

  // Started only to print, the program draws glyphs only on its own ports: those count.
  platform_keep_windows_off_screen(true);
  EXPECT_EQ(port_glyph_outline(FONT_QUOR, FACE_PLAIN, 112, 1000, &advance), outline);
  Port* page = port_new_offscreen(60, 60);
  port_set_smooth(page, true);
  platform_set_port(page);
  text_font(FONT_QUOR);
  text_size(20);
  move_to(10, 40);
  draw_string("ppp");  // the second and third at fractions of a pixel
  EXPECT_EQ(port_glyph_outline(FONT_QUOR, FACE_PLAIN, 112, 1000, &advance), outline);
  platform_set_port(nullptr);
  port_dispose(page);
  platform_keep_windows_off_screen(false);
}

// Every character of the text font in its faces and every music glyph, drawn with the pen off
// the pixel grid: the outline and the advance read from the font's file are the layout's.
TEST(Port, OutlinesAndAdvancesFromTheFontFileAreTheLayouts) {
  auto check = [](int number, bool bold, bool italic, int size, const std::vector<char32_t>& cs) {
    QFont font(QString::fromStdString(platform_font_family(number)));
    font.setPixelSize(size);
    font.setBold(bold);
    font.setItalic(italic);
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::NoAntialias);
    const QRawFont raw = QRawFont::fromFont(font);
    const QFontMetricsF metrics(font);
    int checked = 0;
    for (char32_t c : cs) {
      const QString text = QString::fromUcs4(&c, 1);
      const QList<quint32> glyphs = raw.glyphIndexesForString(text);
      if (glyphs.size() != 1 || glyphs[0] == 0) continue;
      QPainterPath own, laid;
      ASSERT_TRUE(design_outline(raw, bold, italic, glyphs[0], 3.3, -0.71, &own)) << int(c);
      laid.addText(3.3, -0.71, font, text);
      bool same = own.elementCount() == laid.elementCount() || (own.isEmpty() && laid.isEmpty());
      for (int i = 0; same && i < own.elementCount(); ++i) {
        const QPainterPath::Element a = own.elementAt(i), b = laid.elementAt(i);
        same = a.type == b.type && a.x == b.x && a.y == b.y;
      }
      EXPECT_TRUE(same) << number << ' ' << bold << italic << " U+" << std::hex << int(c);
      double advance = -1;
      ASSERT_TRUE(design_advance_at(raw, raw.pixelSize(), bold, italic, glyphs[0], &advance));
      EXPECT_EQ(advance, metrics.horizontalAdvance(text)) << number << " U+" << std::hex << int(c);
      ++checked;
    }
    EXPECT_GT(checked, int(cs.size()) / 2);
  };
  std::vector<char32_t> roman;
  for (int byte = 0x20; byte < 0x100; ++byte)
    if (byte != 0x7F) roman.push_back(macroman_to_unicode(uint8_t(byte)));
  for (int face = 0; face < 4; ++face) check(FONT_TIMES, face & 1, face & 2, 1000, roman);
  int count = 0;
  const MusicFontGlyph* table = music_font_glyph_table(&count);
  std::vector<char32_t> music;
  for (int i = 0; i < count; ++i)
    if (table[i].code_point) music.push_back(table[i].code_point);
  check(FONT_QUOR, false, false, 1000, music);
  check(FONT_QUOR, false, false, 1333, music);
  // The toolkit thickens a face asked bold that is not: that outline is the toolkit's to make.
  QFont bold(QString::fromStdString(platform_font_family(FONT_QUOR)));
  bold.setPixelSize(1000);
  bold.setBold(true);
  QPainterPath untouched;
  EXPECT_FALSE(design_outline(QRawFont::fromFont(bold), true, false, 1, 0, 0, &untouched));
  EXPECT_TRUE(untouched.isEmpty());
}

// A line of the text font is as wide as the layout makes it, kerning pairs and all (the
// program's fonts turn kerning off), though it is not laid out.
TEST_F(PortTest, TextWidthsAreTheLayoutsOwn) {
  const std::string line = "AVAWAY To, Ty. Wa f. L'T";
  for (int face : {FACE_PLAIN, FACE_BOLD, FACE_ITALIC}) {
    text_font(FONT_TIMES);
    text_size(13);
    text_face(face);
    QFont font(QString::fromStdString(platform_font_family(FONT_TIMES)));
    font.setPixelSize(13);
    font.setBold(face == FACE_BOLD);
    font.setItalic(face == FACE_ITALIC);
    font.setKerning(false);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::NoAntialias);
    EXPECT_EQ(text_width(line.data(), int(line.size())),
              QFontMetricsF(font).horizontalAdvance(QString::fromLatin1(line)))
        << face;
    // The ink at sizes not otherwise used is read from the glyphs' boxes in the font's file,
    // the font loaded at 13 pixels: every character alone and words, as the layout's tight box.
    std::vector<std::string> texts = {line, "in", "Cre", "11a. Credo", " a b ", "1 ", "-'"};
    for (int byte = 0x20; byte < 0x100; ++byte)
      if (byte != 0x7F) texts.push_back(std::string(1, char(byte)));
    for (int size : {57, 120}) {
      text_size(size);
      font.setPixelSize(size);
      const QFontMetricsF metrics(font);
      for (const std::string& text : texts) {
        const QRectF laid = metrics.tightBoundingRect(mac_roman(text));
        const Rect expected =
            laid.isEmpty() ? Rect{}
                           : Rect{int(std::floor(laid.left())), int(std::floor(laid.top())),
                                  int(std::ceil(laid.right())), int(std::ceil(laid.bottom()))};
        const Rect ink = text_ink_box(text.data(), int(text.size()));
        EXPECT_TRUE(ink.left == expected.left && ink.top == expected.top &&
                    ink.right == expected.right && ink.bottom == expected.bottom)
            << face << ' ' << size << " [" << text << ']';
      }
    }
  }
}

TEST_F(PortTest, CopyingFromOrGrowingAPortNotYetDrawnInGivesWhite) {
  Port* fresh = port_new_offscreen(8, 8);
  port_set_size(fresh, 12, 10);
  scribble();
  port_copy(fresh, port, {0, 0, 12, 10}, {0, 0, 12, 10}, MODE_COPY);
  EXPECT_EQ(count(WHITE), 120);

  platform_set_port(fresh);
  erase_rect(port_bounds(fresh));
  paint_rect({0, 0, 2, 2});
  port_set_size(fresh, 16, 16);  // what was drawn stays, the new pixels are white
  const std::vector<uint32_t> pixels = port_pixels(fresh);
  EXPECT_EQ(std::count(pixels.begin(), pixels.end(), BLACK), 4);
  EXPECT_EQ(std::count(pixels.begin(), pixels.end(), WHITE), 16 * 16 - 4);
  platform_set_port(port);
  port_dispose(fresh);
}

TEST(Port, DisposingTheCurrentPortLeavesNoneAndBadSizesFail) {
  EXPECT_EQ(port_new_offscreen(0, 10), nullptr);
  Port* port = port_new_offscreen(4, 4);
  platform_set_port(port);
  port_dispose(port);
  EXPECT_EQ(platform_current_port(), nullptr);
  paint_rect({0, 0, 4, 4});  // with no port, nothing happens
}

TEST_F(PortTest, SmoothEdgesKeepTheRulesOfWholePixels) {
  auto shades = [this] {
    int part = 0;
    for (uint32_t p : port_pixels(port)) part += p != WHITE && p != BLACK;
    return part;
  };
  auto draw = [] {
    text_font(FONT_TIMES);
    text_size(24);
    move_to(4, 30);
    draw_string("Sg");
    move_to(40, 30);
    draw_char('&');
    const PointF wedge[4] = {{2, 40}, {60, 34}, {60, 37}, {2, 44}};
    fill_polygon(wedge, 4);
  };
  draw();
  EXPECT_EQ(shades(), 0) << "a port is not smooth unless made so";
  const int whole_width = int(std::lround(string_width("Sg") * 100));
  erase_rect(port_bounds(port));
  port_set_smooth(port, true);
  draw();
  EXPECT_GT(shades(), 40) << "edges in part covered";
  EXPECT_EQ(int(std::lround(string_width("Sg") * 100)), whole_width);
  const std::vector<uint32_t> drawn = port_pixels(port);
  draw();
  EXPECT_EQ(port_pixels(port), drawn) << "ink over itself changes nothing";
  text_mode(MODE_XOR);
  pen_mode(MODE_PAT_XOR);
  draw();
  EXPECT_NE(port_pixels(port), drawn);
  // Ink drawn while marked stays under the mark, and the mark still goes without a trace.
  text_mode(MODE_OR);
  pen_mode(MODE_PAT_COPY);
  draw();
  text_mode(MODE_XOR);
  pen_mode(MODE_PAT_XOR);
  draw();
  EXPECT_EQ(port_pixels(port), drawn) << "exclusive-or twice restores";
  invert_rect({0, 0, 10, 10});
  erase_rect(port_bounds(port));
  EXPECT_EQ(count(WHITE), W * H) << "erasing takes the marks too";
}

}  // namespace
