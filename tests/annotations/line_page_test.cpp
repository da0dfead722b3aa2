// line_page_test.cpp: two letter pages of a piece with line annotations of every kind, drawn
// on the screen into test-output/annotations of the build folder (line_page_1.png,
// line_page_2.png) and printed to a PDF.
//   LinePage.*: hairpins and an octave line over a system break and a page break, brackets,
//               a pedal line, a tuplet bracket, rectangles, texts of several lines and a
//               fingering stack; a hidden text shown on the screen and left out of print
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "annotations/anno_refloc.h"
#include "annotations/anno_services.h"
#include "annotations/anno_shapes.h"
#include "app/app_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "platform/printing.h"
#include "platform/script.h"
#include "support/anno_text.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace fs = std::filesystem;

namespace {

constexpr float ZOOM = 5;  // 144 pixels an inch

fs::path output_folder() {
  fs::path build = fs::current_path().parent_path();
  fs::path folder = fs::exists(build / "CMakeCache.txt") ? build / "test-output" / "annotations"
                                                         : fs::temp_directory_path() / "vesk-anno";
  fs::create_directories(folder);
  return folder;
}

class LinePage : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    script_begin();
    param_init();
    platform_init_fonts();
    set_options_i32(1, OPTIONS_PAGE_WIDTH, 85);
    set_options_i32(1, OPTIONS_PAGE_HEIGHT, 110);
    set_options_i16(1, OPTIONS_FIRST_PAGE, 1);
    set_options_i16(1, OPTIONS_FIRST_MEASURE, 1);
    for (int margin : {22, 26, 88}) set_options_i32(1, margin, 500);
    for (int margin : {30, 34, 92}) set_options_i32(1, margin, 400);
    for (int margin : {50, 58, 62, 54}) set_options_i32(1, margin, 900);
    GE_head = GE_tail = newDrosa(GE_CHAR, 0);
    Print_init();
  }
  void TearDown() override {
    print_release();
    script_end();
    destroy_pstaff_lists();
    offscreen_dispose();
    ModelTest::TearDown();
  }

  // A text of coded characters in Times before the voice's next note, from the staff.
  Drosa text(const std::string& coded, int size, int32_t x, int32_t y, int justified = 0) {
    AnnoFontSpec base;
    base.size = int16_t(size);
    Drosa last = NIL;
    Drosa head = coded_annotation(coded, base, &last);
    head->set(xtextx, x);
    head->set(xtexty, y);
    head->set(xrelativex, REF_X_NOTE);
    head->set(xrelativey, REF_Y_STAFF);
    head->set(xjustified, justified);
    link_chain_after(head, last, voice_end(voice)->xback);
    return head;
  }
  // A line of a style before the voice's next note: from (x, y) above the staff's top line,
  // reaching (dx, dy) on.
  Drosa line(int style, int role, int32_t x, int32_t y, int32_t dx, int32_t dy, int width = 10,
             int dash = 0, int gap = 0) {
    Drosa l = add(voice, LINE);
    l->set(xmetaline, style);
    l->set(xline_ord, role);
    l->set(xstartx, x);
    l->set(xstarty, y);
    l->set(xendx, dx);
    l->set(xendy, dy);
    l->set(xlinewidth, width);
    l->set(xdashlth, dash);
    l->set(xgaplth, gap);
    l->set(xline_rely, REF_Y_STAFF);
    VirtualRect box;
    expand_box_by_margin(0, 0, dx, dy, &box);
    l->set(xc1x, box.x1);
    l->set(xc1y, box.y1);
    l->set(xc2x, box.x2);
    l->set(xc2y, box.y2);
    lines.push_back(l);
    return l;
  }
  Drosa note(int lgval, int position) { return add_note(voice, lgval, position); }
  void bar_of_quarters(std::vector<int> positions) {
    for (int p : positions) note(QUARTER, p);
    add_bar(voice);
  }

  int voice = 0;
  std::vector<Drosa> lines;
};

// Ink (0 white .. 1 black) in a rectangle of a page image (pixels), summed.
double ink_in(const Port* port, Rect r) {
  double mass = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) {
      const uint32_t p = port_pixel(port, x, y);
      mass += 1 - (((p >> 16) & 255) * 0.3 + ((p >> 8) & 255) * 0.59 + (p & 255) * 0.11) / 255;
    }
  return mass;
}

int run(const std::string& command, std::string* output) {
  output->clear();
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) *output += buffer;
  return pclose(pipe);
}

TEST_F(LinePage, EveryKindOfLineOnTwoPages) {
  voice = new_voice("Piano");
  add_clef(voice, 0);
  add_timesig(voice, 4, 4);
  // Page 1, system 1: a crescendo that goes on into the next system, brackets, a rectangle.
  text("\\p", 12, -60, -420);
  bar_of_quarters({35, 37, 39, 40});
  line(STYLE_HAIRPIN, LINE_BEGIN, 0, -460, 600, 50);
  note(QUARTER, 42);
  note(QUARTER, 44);
  line(STYLE_PLAIN_BRACKET, LINE_WHOLE, -20, 260, 900, 0);
  text("a 2", 10, 400, 300, 1);
  note(QUARTER, 46);
  note(QUARTER, 47);
  add_bar(voice);
  line(STYLE_RECTANGLE, LINE_WHOLE, -60, 200, 1500, -500);
  bar_of_quarters({44, 42, 40, 39});
  add_system_break(voice);
  // System 2: the crescendo ends, an octave line begins and goes over the page turn.
  bar_of_quarters({40, 42});
  line(STYLE_HAIRPIN, LINE_END, -400, -460, 600, 50);
  text("\\f", 12, -20, -420);
  note(HALF, 44);
  add_bar(voice);
  text("\\8va", 12, -40, 300);
  line(STYLE_RIGHT_BRACKET, LINE_BEGIN, 180, 330, 800, 0, 6, 3, 3);
  bar_of_quarters({49, 51, 53, 54});
  text("Ped.", 12, -40, -560);
  line(STYLE_RIGHT_BRACKET, LINE_WHOLE, 200, -540, 1000, 0, 6);
  line(STYLE_LEFT_BRACKET, LINE_WHOLE, -20, 500, 600, 0);
  bar_of_quarters({51, 49, 47, 46});
  add_system_break(voice, true);
  // Page 2, system 1: the octave line ends; a pedal line, a tuplet bracket, texts of lines.
  note(QUARTER, 51);
  line(STYLE_RIGHT_BRACKET, LINE_END, -300, 330, 800, 0, 6, 3, 3);
  note(QUARTER, 49);
  note(HALF, 47);
  add_bar(voice);
  Drosa tuplet = NIL;
  {
    line(STYLE_TUPLET_BRACKET, LINE_WHOLE, -40, 260, 700, 0, 8);
    tuplet = note(EIGHTH, 40);
    make_tuplet(tuplet, 3, 2);
    make_tuplet(note(EIGHTH, 42), 3, 2);
    make_tuplet(note(EIGHTH, 44), 3, 2);
  }
  text("first line\nsecond, longer line\n\\bthird\\b", 10, 0, 700, 1);
  note(QUARTER, 40);
  note(HALF, 39);
  add_bar(voice);
  text("\\i\\ped\\i", 12, -60, -560);
  line(STYLE_RIGHT_BRACKET, LINE_WHOLE, 140, -520, 1400, 0, 10);
  Drosa fingered = note(QUARTER, 35);
  Drosa fingering = text("531", 9, 0, 420, 1);
  fingering->set(xfing, 1);
  fingering->set(xclassify, 8);
  note(QUARTER, 37);
  Drosa hidden = text("hidden: only on the screen", 9, 0, -700);
  hidden->set(xhidden, 1);
  note(HALF, 39);
  add_bar(voice);
  line(STYLE_RECTANGLE_TOP, LINE_WHOLE, -40, 180, 700, -360);
  bar_of_quarters({40, 42, 44, 46});
  add_system_break(voice);
  // Page 2, system 2: a diminuendo.
  line(STYLE_HAIRPIN, LINE_WHOLE, 0, -410, 1200, -50);
  bar_of_quarters({47, 46, 44, 42});
  bar_of_quarters({40, 39, 37, 35});
  count_pages();
  ASSERT_EQ(page_count, 2);
  param[P_DEFAULT_VERTICAL_DISTANCE_BETWEEN_SYSTEMS].value.set_integer(140);
  // The hidden text shows on the screen only.
  prefs.set_u16(PREFS_HIDE_FLAGS, 0x0800);

  ASSERT_EQ(offscreen_create(ZOOM, 85, 110, 0, 0), 1);
  const fs::path folder = output_folder();
  for (int page : {1, 2}) {
    current_page = page;
    ASSERT_EQ(format_page(page, 0), 1);
    const std::string name = "line_page_" + std::to_string(page) + ".png";
    EXPECT_TRUE(port_save_png(offscreen_page, (folder / name).c_str()));
  }
  EXPECT_TRUE(take_reports().empty());
  (void)tuplet;
  (void)fingered;

  // Printed, page 2 shows everything the screen does but the hidden text.
  const fs::path pdf = folder / "line_pages.pdf";
  fs::remove(pdf);
  script_choose(PRINT_DIALOG_DESTINATION, 1);
  script_type(PRINT_DIALOG_FILE, pdf.string());
  script_hit(PRINT_DIALOG_ITEMS + 1);
  script_hit(1);
  print_piece(PRINT_CURRENT_CONTEXT);
  ASSERT_TRUE(fs::exists(pdf));
  std::string output;
  ASSERT_EQ(run("pdftoppm -r 144 -png -f 2 -l 2 -singlefile '" + pdf.string() + "' '" +
                    (folder / "line_page_2-pdf").string() + "'",
                &output),
            0)
      << output;
  current_page = 2;
  ASSERT_EQ(format_page(2, 0), 1);
  Port* printed = port_load_image((folder / "line_page_2-pdf.png").c_str());
  ASSERT_NE(printed, nullptr);
  auto band = [](Drosa head) {
    Drosa pd = head->xnext;
    Rect box;
    virtual_rect_to_screen(&box, pd->get(xpagex1), pd->get(xpagey1) - 20, pd->get(xpagex2),
                           pd->get(xpagey1) + 60);
    return box;
  };
  EXPECT_GT(ink_in(offscreen_page, band(hidden)), 10) << "on the screen";
  EXPECT_LT(ink_in(printed, band(hidden)), 1) << "not in print";
  EXPECT_GT(ink_in(printed, band(fingering)), 5) << "a text printed where the screen has it";
  port_dispose(printed);
}

}  // namespace
