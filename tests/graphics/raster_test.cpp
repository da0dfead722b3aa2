// raster_test.cpp: the view transform, the page image, and the drawers in layout units.
//   RasterTransform.*: page pixel sizes, the multiple of 16, the 4080/4095 clamps,
//                      fit-to-width, row bytes, making the page image and failing to
//   RasterLines.*:     widths as bands of one-pixel strokes, dash rhythm, coordinates
//                      beyond 16 bits
//   RasterCurves.*:    subdivision classes, taper widths, dashes running on across segments;
//                      on a printed page a curve is one shape covering what its strokes cover
//   RasterMarks.*:     the selection frame at a zoom below 1
//   RasterPage.*:      glyphs drawn into the page for notes on the screen; another view's
//                      page copied into its own window; the page's smooth edges
#include "graphics/raster.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "graphics/ge_services.h"
#include "graphics/graphics_globals.h"
#include "graphics/offscreen.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/fonts.h"
#include "platform/memory.h"
#include "platform/port.h"
#include "platform/port_sink.h"
#include "support/model_fixture.h"

namespace {

constexpr int W = 240, H = 160;

class RasterTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    param_init();
    platform_init_fonts();
    port = port_new_offscreen(W, H);
    platform_set_port(port);
    page_pixel_height = H;
  }
  void TearDown() override {
    platform_set_port(nullptr);
    port_dispose(port);
    ModelTest::TearDown();
  }

  bool dark(int x, int y) const { return port_pixel(port, x, y) != 0xFFFFFF; }
  int dark_count() const {
    int n = 0;
    for (uint32_t p : port_pixels(port)) n += p != 0xFFFFFF;
    return n;
  }
  // The lengths of the alternating dark and light runs of a row, from its first dark pixel.
  std::vector<int> runs(int y) const {
    std::vector<int> r;
    int x = 0;
    while (x < W && !dark(x, y)) ++x;
    while (x < W) {
      const bool d = dark(x, y);
      int n = 0;
      while (x < W && dark(x, y) == d) ++n, ++x;
      r.push_back(n);
    }
    if (!r.empty() && r.size() % 2 == 0) r.pop_back();  // the light run after the last dash
    return r;
  }

  Port* port = nullptr;
};

void save_image(const Port* port, const char* name) {
  std::filesystem::path build = std::filesystem::current_path().parent_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt")) return;
  std::filesystem::path folder = build / "test-output" / "graphics";
  std::filesystem::create_directories(folder);
  EXPECT_TRUE(port_save_png(port, (folder / name).c_str()));
}

using RasterTransform = RasterTest;
using RasterLines = RasterTest;
using RasterCurves = RasterTest;
using RasterMarks = RasterTest;
using RasterPage = RasterTest;

TEST_F(RasterTransform, PageSizesRoundClampAndFit) {
  ViewTransform t;
  int32_t w, h;
  EXPECT_FLOAT_EQ(set_view_transform(10, 85, 110, 0, &t, 1, 2, 0, &w, &h), 10);
  EXPECT_EQ(std::vector<int>({w, h}), std::vector<int>({624, 792}));  // 612 raised to 624
  EXPECT_EQ(
      std::vector<int>({t.one_pixel, t.half_pixel, t.pixel_and_half, t.two_pixels, t.flags[1]}),
      std::vector<int>({10, 5, 15, 20, 2}));
  // A landscape page at zoom 1.5 is 5280 wide: 4080, with height and zoom scaled alike.
  const float zoom = set_view_transform(1.5f, 110, 85, 0, &t, 0, 0, 0, &w, &h);
  EXPECT_EQ(std::vector<int>({w, h}), std::vector<int>({4080, 3153}));
  EXPECT_NEAR(zoom, 1.5 * 5280 / 4080, 1e-4);
  // A tall page: the height clamps and the width follows without a multiple of 16.
  set_view_transform(5, 40, 400, 0, nullptr, 0, 0, 0, &w, &h);
  EXPECT_EQ(std::vector<int>({w, h}), std::vector<int>({410, 4095}));
  set_view_transform(5, 40, 400, 0, nullptr, 0, 0, 1, &w, &h);
  EXPECT_EQ(std::vector<int>({w, h}), std::vector<int>({576, 5760}));
  // Fit to a window 800 wide: 785 cut to 784.
  EXPECT_NEAR(set_view_transform(0, 85, 110, 800, &t, 0, 0, 0, &w, &h), 612.0 * 10 / 784, 1e-4);
  EXPECT_EQ(w, 784);
  int32_t row;
  long size;
  offscreen_rowbytes(624, 792, &row, &size);
  EXPECT_EQ(row, 2496);
  EXPECT_EQ(size, 2496L * 792);
  offscreen_rowbytes(7, 3, &row, &size);
  EXPECT_EQ(std::vector<long>({row, size}), std::vector<long>({28, 128}));
}

TEST_F(RasterTransform, PageImageIsMadeAtTheZoomAndAFailureIsReported) {
  ASSERT_EQ(offscreen_create(10, 85, 110, 0, 1), 1);
  EXPECT_EQ(port_bounds(offscreen_port()), (Rect{0, 0, 624, 792}));
  EXPECT_EQ(offscreen_buffer_size, 2496L * 792);
  EXPECT_EQ(std::vector<int>({print_page_pixel_width, print_page_pixel_height}),
            std::vector<int>({624, 792}));
  zoom_factor = 20;
  set_options_i32(current_ncontext, OPTIONS_PAGE_WIDTH, 85);
  set_options_i32(current_ncontext, OPTIONS_PAGE_HEIGHT, 110);
  inverted_selection_rect = {0, 0, 100, 100};
  ASSERT_EQ(offscreen_changesize(), 1);
  EXPECT_EQ(port_bounds(offscreen_port()), (Rect{0, 0, 320, 396}));
  EXPECT_TRUE(inverted_selection_rect.empty());
  platform_refuse_allocations_after(0);
  EXPECT_EQ(offscreen_changesize(), 0);
  platform_refuse_allocations_after(-1);
  std::vector<Report> got = take_reports();
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got.back().text, "Memory check logic error in offscreen_changesize");
  EXPECT_EQ(offscreen_page, nullptr);
}

TEST_F(RasterLines, WidthsAreBandsOfOnePixelStrokes) {
  // 3 points wide at the standard zoom: three adjacent rows (the band grows upward).
  draw_thick_line(100, 500, 1500, 500, 30, 0, 0, 0, 0);
  EXPECT_EQ(std::vector<bool>({dark(50, H - 49), dark(50, H - 50), dark(50, H - 51),
                               dark(50, H - 52), dark(50, H - 53)}),
            std::vector<bool>({false, true, true, true, false}));
  draw_thick_line(2000, 200, 2000, 1200, 20, 0, 0, 0, 0);  // vertical: columns to the right
  EXPECT_EQ(std::vector<bool>(
                {dark(199, H - 70), dark(200, H - 70), dark(201, H - 70), dark(202, H - 70)}),
            std::vector<bool>({false, true, true, false}));
  for (int width : {0, 10, 14}) {
    erase_rect(port_bounds(port));
    draw_thick_line(100, 500, 1500, 500, width, 0, 0, 0, 0);
    EXPECT_EQ(dark_count(), 141) << width;  // one stroke of 141 pixels
  }
  erase_rect(port_bounds(port));
  draw_thick_line(100, 500, 1500, 500, 0, 0, 0, 3, 0);  // colour index 3: blue
  EXPECT_EQ(port_pixel(port, 50, H - 50), 0x0000FFu);
  zoom_factor = 0.3f;  // a pixel rounds to no layout units: the strokes still come to an end
  draw_thick_line(10, 10, 40, 10, 30, 0, 0, 0, 0);
}

TEST_F(RasterLines, DashesKeepTheirRhythmAndZeroLengthIsSafe) {
  // dash 4, gap 2 points: dashes of 3 points drawn with both ends, gaps of 3 less the end.
  const double phase = draw_thick_line(100, 500, 2110, 500, 0, 4, 2, 0, 0);
  std::vector<int> r = runs(H - 50);
  ASSERT_GE(r.size(), 30u);
  for (size_t i = 0; i < r.size(); ++i) EXPECT_EQ(r[i], i % 2 ? 2 : 4) << i;
  EXPECT_NEAR(phase, 30, 1e-9);  // 2010 is 33 periods of 60 and one dash
  erase_rect(port_bounds(port));
  EXPECT_EQ(draw_thick_line(300, 300, 300, 300, 10, 4, 2, 0, 25), 25);
  EXPECT_EQ(dark_count(), 0);
}

TEST_F(RasterLines, CoordinatesBeyondSixteenBitsAreClippedNotWrapped) {
  draw_thick_line(-2000000000, 500, 2000000000, 500, 0, 0, 0, 0, 0);
  EXPECT_EQ(runs(H - 50), std::vector<int>({W}));
  erase_rect(port_bounds(port));
  // 65536 pixels to the right: cut to 16 bits this would land inside the port.
  draw_thick_line(655360 + 100, 500, 655360 + 900, 500, 30, 4, 2, 0, 0);
  draw_thick_line(655360 + 100, 500, 655360 + 900, 500, 30, 0, 0, 0, 0);
  EXPECT_EQ(dark_count(), 0);
}

TEST_F(RasterCurves, SubdivisionAndTaperFollowTheZoom) {
  struct Case {
    float zoom;
    int32_t dx;
    int segments;
    std::vector<int> widths;  // of the first half; the second mirrors it
  } cases[] = {
      {10, 1000, 8, {10, 10, 20, 20}},  // W 20 is under 2.5 pixels: 1 and 2 pixels
      {5, 1000, 32, {1, 3, 4, 5, 6, 8, 9, 10, 11, 13, 14, 15, 16, 18, 19, 20}},
      {5, 1500, 64, {1,  1,  2,  3,  3,  4,  4,  5,  6,  6,  7,  8,  8,  9,  9,  10,
                     11, 11, 12, 13, 13, 14, 14, 15, 16, 16, 17, 18, 18, 19, 19, 20}},
  };
  for (const Case& c : cases) {
    zoom_factor = c.zoom;
    draw_curve(0, 0, c.dx / 3, 400, 2 * c.dx / 3, 400, c.dx, 0, 1, 0, 0, 0);
    EXPECT_EQ(curve_state.segments, c.segments) << c.zoom;
    EXPECT_EQ(curve_state.segment, c.segments);
    std::vector<int> first, second;
    for (int i = 0; i < c.segments / 2; ++i) {
      first.push_back(curve_segment_width(i));
      second.push_back(curve_segment_width(c.segments - 1 - i));
    }
    EXPECT_EQ(first, c.widths) << c.zoom;
    EXPECT_EQ(second, c.widths) << c.zoom;
  }
  zoom_factor = 10;
  draw_curve(0, 0, 10, 10, 20, 20, 1000, 0, 0, 0, 0, 0);
  EXPECT_EQ(curve_segment_width(3), param_length(P_WIDTH_FOR_CURVES_WITHOUT_THICKER_CENTER, NIL,
                                                 nullptr));  // constant width
  erase_rect(port_bounds(port));
  draw_curve(500, 500, 900, 900, 100, 900, 500, 500, 1, 0, 0, 0);
  EXPECT_EQ(dark_count(), 1);  // start equal to end: one point
}

TEST_F(RasterCurves, DashesRunOnAcrossSegments) {
  // A straight curve cut into segments that are no multiple of the dash period.
  draw_curve(100, 500, 700, 500, 1400, 500, 2100, 500, 0, 4, 2, 0);
  std::vector<int> r = runs(H - 50);
  ASSERT_GE(r.size(), 30u);
  for (size_t i = 0; i < r.size(); ++i) EXPECT_NEAR(r[i], i % 2 ? 2 : 4, 1) << i;
  save_image(port, "dashed_curve.png");
}

// What a port on a printed page hands on: its fills' shapes and how many lines.
struct SinkRecord {
  std::vector<QPainterPath> fills;
  int lines = 0;
};

TEST_F(RasterCurves, OnAPrintedPageACurveIsOneShapeCoveringItsStrokes) {
  SinkRecord record;
  PortSink sink;
  sink.context = &record;
  sink.fill = [](void* c, const QPainterPath& shape, QRgb, const QRectF&) {
    static_cast<SinkRecord*>(c)->fills.push_back(shape);
  };
  sink.line = [](void* c, Point, Point, int, int, QRgb, const QRectF&) {
    ++static_cast<SinkRecord*>(c)->lines;
  };
  Port* page = port_new_on_sink(sink, W, H);
  ASSERT_NE(page, nullptr);
  zoom_factor = 5;
  struct Case {
    int fill;
    int32_t x2, y2;  // a wide and a tall curve from (100, 100)
  } cases[] = {{1, 1000, 100}, {0, 1000, 100}, {1, 300, 700}, {0, 300, 700}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.fill << " to " << c.x2 << "," << c.y2);
    auto draw = [&] {
      draw_curve(100, 100, 300, 500, c.x2 - 100, 500, c.x2, c.y2, c.fill, 0, 0, 0);
    };
    erase_rect(port_bounds(port));
    draw();
    Rect strokes{W, H, 0, 0};
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x)
        if (dark(x, y))
          strokes = {std::min(strokes.left, x), std::min(strokes.top, y),
                     std::max(strokes.right, x + 1), std::max(strokes.bottom, y + 1)};
    record = {};
    platform_set_port(page);
    draw();
    platform_set_port(port);
    ASSERT_EQ(record.fills.size(), 1u);
    EXPECT_EQ(record.lines, 0);
    int curves = 0;
    for (int i = 0; i < record.fills[0].elementCount(); ++i)
      curves += record.fills[0].elementAt(i).type == QPainterPath::CurveToElement;
    EXPECT_EQ(curves, 2);
    const QRectF shape = record.fills[0].boundingRect();
    EXPECT_NEAR(shape.left(), strokes.left, 1.5);
    EXPECT_NEAR(shape.right(), strokes.right, 1.5);
    EXPECT_NEAR(shape.top(), strokes.top, 1.5);
    EXPECT_NEAR(shape.bottom(), strokes.bottom, 1.5);
  }
  // A dashed curve is its dashes.
  record = {};
  platform_set_port(page);
  draw_curve(100, 100, 300, 500, 900, 500, 1000, 100, 0, 4, 2, 0);
  platform_set_port(port);
  EXPECT_TRUE(record.fills.empty());
  EXPECT_GT(record.lines, 4);
  port_dispose(page);
}

TEST_F(RasterMarks, SelectionFrameAtAZoomBelowOneDividesByOne) {
  ASSERT_EQ(offscreen_create(0.5f, 10, 10, 0, 1), 1);
  voice_count = 1;
  draw_selection_frame({0, 0, 40, 40}, 7, 0);
  int framed = 0;
  for (uint32_t p : port_pixels(offscreen_page)) framed += p != 0xFFFFFF;
  EXPECT_GT(framed, 40);
  voice_count = 0;
  framed_selection_rect = {0, 0, 40, 40};
  draw_selection_frame(framed_selection_rect, 7, 0);
  EXPECT_TRUE(framed_selection_rect.empty());
}

TEST_F(RasterPage, OffscreenCharDrawsOnlyForANoteOnTheScreen) {
  ASSERT_EQ(offscreen_create(10, 40, 30, 0, 0), 1);
  offscreen_char(500, 1000, P_FONT_INFORMATION_FOR_BAR_NUMBERS, 0,
                 NIL);  // the sample character of the bar numbers' font
  int drawn = 0;
  for (uint32_t p : port_pixels(offscreen_page)) drawn += p != 0xFFFFFF;
  EXPECT_GT(drawn, 10);
  offscreen_erase();
  offscreen_char(500, 1000, P_FONT_INFORMATION_FOR_BAR_NUMBERS, 0, newDrosa(NOTE, 0));
  std::vector<Report> got = take_reports();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_NE(got[0].text.find("Should be a scr_vis_noterest."), std::string::npos);
  for (uint32_t p : port_pixels(offscreen_page)) ASSERT_EQ(p, 0xFFFFFFu);
}

TEST_F(RasterPage, ThePageHasSmoothEdgesAndLevelLinesOfWholePixels) {
  ASSERT_EQ(offscreen_create(10, 40, 30, 0, 0), 1);
  auto shades = [] {
    int part = 0;
    for (uint32_t p : port_pixels(offscreen_page)) part += p != 0xFFFFFF && p != 0;
    return part;
  };
  offscreen_line(500, 1000, 2500, 1000, 50, 0, 0, 0);  // level, five pixels thick
  offscreen_line(500, 1500, 500, 2000, 30, 0, 0, 0);   // upright
  EXPECT_EQ(shades(), 0);
  offscreen_line(600, 1200, 2600, 1700, 50, 0, 0, 0);  // a beam
  EXPECT_GT(shades(), 100);
  // The band the strokes would cover: the same middle, edges in part.
  offscreen_erase();
  offscreen_line(600, 1200, 2600, 1700, 50, 0, 0, 0);
  const int column = screen_x(1600);
  int ink = 0;
  for (int y = 0; y < page_pixel_height; ++y) {
    const uint32_t p = port_pixel(offscreen_page, column, y);
    ink += 255 - int(p & 0xFF);
  }
  EXPECT_NEAR(ink / 255.0, 5.0, 0.6) << "as much ink as five one-pixel strokes";
}

TEST_F(RasterPage, AnotherViewIsCopiedIntoItsOwnWindowAtItsScroll) {
  ASSERT_EQ(offscreen_create(10, 40, 30, 0, 0), 1);
  offscreen_line(600, (page_pixel_height - 40) * 10, 900, (page_pixel_height - 40) * 10, 0, 0, 0,
                 0);
  Port* window = port_new_offscreen(100, 80);
  music_window_port = window;
  scroll_h = 50;
  scroll_v = 30;
  ViewGraphics other;
  save_view_graphics(&other);
  view_graphics[3] = &other;
  current_graphics_view = 0;
  restore_view_graphics(ViewGraphics{});
  offscreen_copy_view(3);
  EXPECT_NE(port_pixel(window, 60 - 50, 40 - 30), 0xFFFFFFu);
  EXPECT_EQ(port_pixel(window, 60 - 50, 41 - 30), 0xFFFFFFu);
  offscreen_copy_view(0);
  offscreen_copy_view(4);
  std::vector<Report> got = take_reports();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].text, "Call to offscreen_copy_view for current view!");
  EXPECT_EQ(got[1].text, "Call to offscreen_copy_view for view 4; ViewData pointer is NIL!");
  restore_view_graphics(other);
  music_window_port = nullptr;
  port_dispose(window);
}

}  // namespace
