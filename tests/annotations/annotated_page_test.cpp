// annotated_page_test.cpp: a letter page of a song with its annotations, drawn on the screen
// (test-output/annotations/annotated_page.png of the build folder) and printed to a PDF that
// Poppler renders beside it.
//   AnnotatedPage.*: a title block, a tempo mark, dynamics, two verses of lyrics with hyphens
//                    and melismas and a text in every reference mode, all on the paper; the
//                    printed page shows every one of them where the screen does
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "annotations/anno_refloc.h"
#include "annotations/anno_services.h"
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

constexpr float ZOOM = 5;  // 144 pixels an inch, as the printed page is rendered
constexpr int MARGIN = 0;  // the printed page's corner on the rendered image, in those pixels

fs::path output_folder() {
  fs::path build = fs::current_path().parent_path();
  fs::path folder = fs::exists(build / "CMakeCache.txt") ? build / "test-output" / "annotations"
                                                         : fs::temp_directory_path() / "vesk-anno";
  fs::create_directories(folder);
  return folder;
}

class AnnotatedPage : public ModelTest {
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
    for (int margin : {50, 58, 62}) set_options_i32(1, margin, 600);
    set_options_i32(1, 54, 1500);  // the first page's top margin: room for the titles
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

  // An annotation of coded text in Times at `size` before the voice's next note, placed by
  // its reference modes; returns its head.
  Drosa anno(const std::string& coded, int size, int32_t x, int32_t y, int h, int v,
             int justified = 0) {
    AnnoFontSpec base;
    base.size = int16_t(size);
    Drosa last = NIL;
    Drosa head = coded_annotation(coded, base, &last);
    head->set(xtextx, x);
    head->set(xtexty, y);
    head->set(xrelativex, h);
    head->set(xrelativey, v);
    head->set(xjustified, justified);
    link_chain_after(head, last, voice_end(voice)->xback);
    heads.push_back(head);
    return head;
  }
  // A lyric: centred under the note, making room for itself ("Leave Space").
  Drosa lyric(const char* syllable, int verse) {
    Drosa t = anno(syllable, 12, 30, -420 - 150 * verse, REF_X_NOTE, REF_Y_STAFF, 1);
    t->set(xleavespace, 1);
    return t;
  }
  Drosa note(int lgval, int position, const char* first = nullptr, const char* second = nullptr) {
    if (first) lyric(first, 0);
    if (second) lyric(second, 1);
    return add_note(voice, lgval, position);
  }

  int voice = 0;
  std::vector<Drosa> heads;
};

// Ink (0 white .. 1 black) of a pixel; outside the image white.
double ink(const Port* port, int x, int y) {
  const uint32_t p = port_pixel(port, x, y);
  const double light = (((p >> 16) & 255) * 0.3 + ((p >> 8) & 255) * 0.59 + (p & 255) * 0.11);
  return 1 - light / 255;
}

struct Ink {
  double mass = 0, y = 0;  // the ink and its centre's height
  int left = 0;            // its first column
};

// The ink in a rectangle of a page image (pixels).
Ink ink_in(const Port* port, Rect r, int shift) {
  Ink i;
  i.left = r.right;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) {
      const double v = ink(port, x + shift, y + shift);
      i.mass += v, i.y += v * y;
      if (v > 0.3) i.left = std::min(i.left, x);
    }
  if (i.mass > 0) i.y /= i.mass;
  return i;
}

int run(const std::string& command, std::string* output) {
  output->clear();
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) *output += buffer;
  return pclose(pipe);
}

TEST_F(AnnotatedPage, EveryAnnotationIsDrawnOnThePaperAndPrinted) {
  voice = new_voice("Voice");
  add_clef(voice, 0);
  add_timesig(voice, 4, 4);
  // The title block, the tempo and the first dynamic stand before the first note.
  anno("\\bEvening Hymn\\b", 24, 0, -700, REF_X_PAGE_CENTRE, REF_Y_PAGE_TOP, 1);
  anno("\\ifor voice alone\\i", 12, 0, -960, REF_X_PAGE_CENTRE, REF_Y_PAGE_TOP, 1);
  anno("Words: Thomas Ken", 10, 0, -1250, REF_X_STAFF_LEFT, REF_Y_PAGE_TOP);
  anno("Music: after Tallis", 10, 0, -1250, REF_X_STAFF_RIGHT, REF_Y_PAGE_TOP, 2);
  anno("\\iPrinted by Vesk\\i", 8, 0, 300, REF_X_PAGE_CENTRE, REF_Y_PAGE_BOTTOM, 1);
  anno("\\bAndante\\b \\q = 72", 12, -80, 420, REF_X_NOTE, REF_Y_STAFF);
  anno("\\p", 12, -30, -300, REF_X_NOTE, REF_Y_STAFF);
  // Two verses: hyphens inside words and across a bar line, melismas with their extenders.
  note(QUARTER, 37, "Glo-", "All");
  note(QUARTER, 38, "ry", "praise");
  note(QUARTER, 39, "to", "be");
  note(QUARTER, 40, "thee,_", "thine,_");
  add_bar(voice);
  anno("\\icresc.\\i", 12, 0, -300, REF_X_NOTE, REF_Y_STAFF);
  note(QUARTER, 41, "_", "_");
  note(QUARTER, 42, "my", "for");
  note(HALF, 41, "God,", "all");
  add_bar(voice);
  anno("\\mf", 12, -30, -300, REF_X_NOTE, REF_Y_STAFF);
  note(QUARTER, 40, "for", "the");
  note(QUARTER, 39, "all", "good-");
  note(QUARTER, 38, "the", "ness");
  note(QUARTER, 37, "bless-", "shown");
  add_bar(voice);
  anno("\\ff", 12, -30, -300, REF_X_NOTE, REF_Y_STAFF);
  note(WHOLE, 38, "ings_", "here._");
  add_bar(voice);
  add_system_break(voice);
  // A text in every reference mode, each saying where it counts from.
  anno("H1 from the note", 9, 0, 380, REF_X_NOTE, REF_Y_STAFF);
  anno("H2 from the left margin", 9, 150, 560, REF_X_LEFT_MARGIN, REF_Y_STAFF);
  anno("H3 from the right margin", 9, -1300, 560, REF_X_RIGHT_MARGIN, REF_Y_STAFF);
  anno("H5 from the staff's left end", 9, 0, -420, REF_X_STAFF_LEFT, REF_Y_STAFF);
  anno("V2 from the page's top", 9, -150, -7300, REF_X_RIGHT_MARGIN, REF_Y_PAGE_TOP, 2);
  anno("V4 from the page's middle", 9, 150, -400, REF_X_LEFT_MARGIN, REF_Y_PAGE_MIDDLE);
  note(QUARTER, 39);
  anno("H4 from the page's centre", 9, 0, -560, REF_X_PAGE_CENTRE, REF_Y_STAFF, 1);
  anno("V1 from the note", 9, 90, -260, REF_X_NOTE, REF_Y_NOTE);
  note(QUARTER, 43);
  anno("V7 above the chord", 9, 0, 0, REF_X_NOTE, REF_Y_ABOVE_CHORD);
  add_chord(voice, HALF, {37, 39, 44});
  add_bar(voice);
  note(QUARTER, 40);
  anno("H9 from the bar line before", 9, 40, -700, REF_X_PREVIOUS_BAR, REF_Y_STAFF);
  anno("V8 below the chord", 9, 0, -80, REF_X_NOTE, REF_Y_BELOW_CHORD);
  note(QUARTER, 51);
  note(HALF, 39);
  add_bar(voice);
  anno("H7 from the chord", 9, 0, 250, REF_X_CHORD, REF_Y_STAFF);
  Drosa sharp = note(QUARTER, 40);
  sharp->set(xacc, 4);
  sharp->set(xaccplot, 1);
  anno("H10 to the next bar line", 9, -40, -860, REF_X_NEXT_BAR, REF_Y_STAFF, 2);
  anno("V6 clear of the chord", 9, 0, 0, REF_X_NOTE, REF_Y_CLEAR_OF_CHORD);
  note(QUARTER, 46);
  note(HALF, 42);
  add_bar(voice);
  anno("H6 to the staff's right end", 9, 0, -420, REF_X_STAFF_RIGHT, REF_Y_STAFF, 2);
  note(WHOLE, 39);
  add_bar(voice);
  count_pages();
  ASSERT_EQ(page_count, 1);
  param[P_DEFAULT_VERTICAL_DISTANCE_BETWEEN_SYSTEMS].value.set_integer(
      140);  // room between the systems for the verses and labels

  ASSERT_EQ(offscreen_create(ZOOM, 85, 110, 0, 0), 1);
  current_page = 1;
  ASSERT_EQ(format_page(1, 0), 1);
  const fs::path folder = output_folder();
  EXPECT_TRUE(port_save_png(offscreen_page, (folder / "annotated_page.png").c_str()));

  // Every annotation is placed, resolved and on the paper.
  const int32_t width = 85 * 72, height = 110 * 72;
  for (Drosa head : heads) {
    SCOPED_TRACE(anno_run_text(head));
    Drosa pd = head->xnext;
    ASSERT_EQ(pd->xkind, PDATA);
    EXPECT_EQ(node_byte(head, 33), 0) << "its reference requests are resolved";
    if (run_text(head).empty() || run_text(head) == "_") continue;  // only an extender mark
    EXPECT_GE(pd->get(xpagex1), 0);
    EXPECT_LE(pd->get(xpagex2), width);
    EXPECT_GE(pd->get(xpagey1), 0);
    EXPECT_LE(pd->get(xpagey1), height);
  }

  // Printed to a PDF, rendered as the screen's page is, every text shows its ink where the
  // screen does.
  const fs::path pdf = folder / "annotated_page.pdf";
  fs::remove(pdf);
  script_choose(PRINT_DIALOG_DESTINATION, 1);
  script_type(PRINT_DIALOG_FILE, pdf.string());
  script_hit(PRINT_DIALOG_ITEMS + 1);
  script_hit(1);
  print_piece(PRINT_CURRENT_CONTEXT);
  ASSERT_TRUE(fs::exists(pdf));
  std::string output;
  ASSERT_EQ(run("pdftoppm -r 144 -png -singlefile '" + pdf.string() + "' '" +
                    (folder / "annotated_page-pdf").string() + "'",
                &output),
            0)
      << "pdftoppm (package poppler-utils, installed by scripts/setup): " << output;
  ASSERT_EQ(current_page, 1);
  ASSERT_EQ(format_page(1, 0), 1);
  Port* printed = port_load_image((folder / "annotated_page-pdf.png").c_str());
  ASSERT_NE(printed, nullptr);
  int compared = 0;
  for (Drosa head : heads) {
    Drosa pd = head->xnext;
    if (pd->get(xpagex1) == NOT_DRAWN || run_text(head) == "_") continue;
    SCOPED_TRACE(anno_run_text(head));
    AnnoTextMeasure m;
    measure_anno_text(find_next_kind(NOTE, head), head, &m);
    // The text's own band: its descent below the base line and three quarters of its size
    // above it, clear of the staff lines next to it.
    Rect box;
    virtual_rect_to_screen(&box, pd->get(xpagex1), pd->get(xpagey1) - m.descent, pd->get(xpagex2),
                           pd->get(xpagey1) + m.max_size * 10 * 3 / 4);
    const Ink s = ink_in(offscreen_page, box, 0), p = ink_in(printed, box, MARGIN);
    EXPECT_GT(s.mass, 2) << "drawn on the screen";
    EXPECT_GT(p.mass, s.mass / 2) << "printed";
    // Where it begins and its height: a text's width differs a little with the rendering.
    EXPECT_LE(std::abs(s.left - p.left), 2) << "printed where the screen begins it";
    EXPECT_LT(std::fabs(s.y - p.y), 2) << "printed at the screen's height";
    ++compared;
  }
  EXPECT_GE(compared, 40);
  port_dispose(printed);
}

}  // namespace
