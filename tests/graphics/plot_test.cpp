// plot_test.cpp: plotting the GE list in its three modes, and the screen redraw.
//   PlotModes.*:  screen twins and annotation classes per mode; the view transform comes
//                 back exactly after a print plot; an unknown kind is reported and skipped
//   PlotTexts.*:  adjacent runs continue at the pen; a change of dy re-bases the row
//   PlotPages.*:  a full page of sixteen staves, drawn and written as images; redraw_view
#include "graphics/plot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "graphics/ge_fields.h"
#include "graphics/ge_services.h"
#include "graphics/graphics_globals.h"
#include "graphics/raster.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "support/ge_page.h"
#include "support/model_fixture.h"

namespace {

constexpr int32_t LINE_WIDTH = 10;

class PlotTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    param_init();
    platform_init_fonts();
    GE_head = GE_tail = newDrosa(GE_CHAR, 0);
    ASSERT_EQ(offscreen_create(10, 40, 30, 0, 0), 1);  // 288 x 216 pixels
  }
  void TearDown() override {
    destroy_Drosa_list(GE_head);
    offscreen_dispose();
    ModelTest::TearDown();
  }

  // Plots the list into a fresh page image in a mode.
  void plot(int mode) {
    offscreen_erase();
    platform_set_port(offscreen_page);
    plot_GE_list(port_bounds(offscreen_page), mode, 0);
    platform_set_port(nullptr);
  }
  // A horizontal line at row `row` of the page, with a var or annotation class.
  static Drosa line_at_row(int row, int var) {
    const int32_t y = (page_pixel_height - row) * 10;
    return GEline(0, 100, y, 0, 0, 1000, y, 0, 0, LINE_WIDTH, 0, 0, 0, 0, 0, 0, 0, var, NIL);
  }
  bool row_drawn(int row) const { return port_pixel(offscreen_page, 50, row) != 0xFFFFFF; }
  std::vector<bool> rows_drawn(std::initializer_list<int> rows) const {
    std::vector<bool> v;
    for (int r : rows) v.push_back(row_drawn(r));
    return v;
  }
  std::vector<uint32_t> pixels() const { return port_pixels(offscreen_page); }
};

void save_image(const Port* port, const char* name) {
  std::filesystem::path build = std::filesystem::current_path().parent_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt")) return;
  std::filesystem::path folder = build / "test-output" / "graphics";
  std::filesystem::create_directories(folder);
  EXPECT_TRUE(port_save_png(port, (folder / name).c_str()));
}

using PlotModes = PlotTest;
using PlotTexts = PlotTest;
using PlotPages = PlotTest;

TEST_F(PlotModes, TwinsAndAnnotationClassesFollowTheMode) {
  const int32_t y_twin = (page_pixel_height - 20) * 10, y_print = (page_pixel_height - 30) * 10;
  GEline_screen(0, 100, y_twin, 0, 0, 1000, y_twin, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 17, NIL, 1);
  GEline(0, 100, y_print, 0, 0, 1000, y_print, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 17, NIL);
  line_at_row(40, GANNO_BOTH);
  line_at_row(50, GANNO_SCREEN_ONLY);
  line_at_row(60, GANNO_PRINT_ONLY);
  line_at_row(70, 10)->set(xgremove, 1);
  plot(PLOT_SCREEN);
  EXPECT_EQ(rows_drawn({20, 30, 40, 50, 60, 70}),
            std::vector<bool>({true, false, true, true, false, false}));
  for (int mode : {PLOT_PRINT, PLOT_PICTURE}) {
    plot(mode);
    EXPECT_EQ(rows_drawn({20, 30, 40, 50, 60, 70}),
              std::vector<bool>({false, true, true, false, true, false}))
        << mode;
  }
}

TEST_F(PlotModes, PrintPlotPutsTheViewTransformBackExactly) {
  line_at_row(40, 10);
  print_transform = transform_for_zoom(2.5f);
  const float zoom = zoom_factor;
  const ViewTransform view = view_transform;
  const int32_t width = page_pixel_width, height = page_pixel_height;
  plot(PLOT_PRINT);
  EXPECT_EQ(zoom_factor, zoom);
  EXPECT_EQ(std::vector<int32_t>({page_pixel_width, page_pixel_height, view.one_pixel}),
            std::vector<int32_t>({width, height, view_transform.one_pixel}));
  EXPECT_EQ(transform_saved, 0);
  // At the print zoom the line (x 100 to 1000, row 40 at zoom 10) reaches pixel 250 of row
  // 4 x 216 - 4 x 176 = 160.
  EXPECT_NE(port_pixel(offscreen_page, 250, 160), 0xFFFFFFu);
}

TEST_F(PlotModes, AnUnknownKindIsReportedAndTheRestDrawn) {
  link_after(newDrosa(NOTE, 0), GE_tail);
  GE_tail = GE_tail->xnext;
  line_at_row(40, 10);
  plot(PLOT_SCREEN);
  std::vector<Report> got = take_reports();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].text, "plot.c: Unrecognized Graphics Element kind 101");
  EXPECT_TRUE(row_drawn(40));
}

TEST_F(PlotTexts, AdjacentRunsContinueAtThePenAndDyRebasesTheRow) {
  const int32_t y = (page_pixel_height - 100) * 10;
  GEstring(0, 200, y, 0, 0, 0, FONT_TIMES, 0, 24, 0, 0, "Allegro", 0, 1, NIL, NIL);
  plot(PLOT_SCREEN);
  const std::vector<uint32_t> whole = pixels();
  auto drawn_above = [&](int row) {  // dark pixels above a row
    int n = 0;
    for (int x = 0; x < page_pixel_width; ++x)
      for (int r = 0; r < row; ++r) n += port_pixel(offscreen_page, x, r) != 0xFFFFFF;
    return n;
  };
  const int whole_above = drawn_above(86);
  GEinit(0);
  GEstring(0, 200, y, 0, 0, 0, FONT_TIMES, 0, 24, 0, 0, "All", 0, 1, NIL, NIL);
  GEstring(0, ADJACENT_TEXT, ADJACENT_TEXT, 0, 0, 0, FONT_TIMES, 0, 24, 0, 0, "eg", 0, 1, NIL, NIL);
  Drosa last = GEstring(0, ADJACENT_TEXT, ADJACENT_TEXT, 0, 0, 0, FONT_TIMES, 0, 24, 0, 0, "ro", 0,
                        1, NIL, NIL);
  plot(PLOT_SCREEN);
  EXPECT_EQ(pixels(), whole);
  last->set(xgc_dy, 100);  // ten pixels up
  plot(PLOT_SCREEN);
  EXPECT_GT(drawn_above(86), whole_above + 5);
  save_image(offscreen_page, "adjacent_texts.png");
}

TEST_F(PlotPages, SixteenStavesAreDrawnAndRedrawn) {
  offscreen_dispose();
  ASSERT_EQ(offscreen_create(10, GE_PAGE_WIDTH, GE_PAGE_HEIGHT, 0, 0), 1);
  build_ge_page(16, false);
  Port* window = port_new_offscreen(500, 400);
  music_window_port = window;
  inverted_selection_rect = {600, 6800, 1400, 7400};
  redraw_view();
  int drawn = 0;
  for (uint32_t p : pixels()) drawn += p != 0xFFFFFF;
  EXPECT_GT(drawn, 20000);
  // The window shows the page's top left corner.
  EXPECT_EQ(port_pixel(window, 60, 100), port_pixel(offscreen_page, 60, 100));
  save_image(offscreen_page, "page_16_staves.png");
  save_image(window, "page_16_staves_window.png");
  GEinit(0);
  build_ge_page(16, true);
  plot(PLOT_SCREEN);
  save_image(offscreen_page, "page_16_staves_text_glyphs.png");
  music_window_port = nullptr;
  port_dispose(window);
}

}  // namespace
