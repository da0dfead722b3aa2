// hit_test_test.cpp: hit testing, element matching and the GE list as text.
//   HitPage.*:  clicks on a formatted page find the node each element was drawn for; a click
//               on empty paper finds nothing
//   HitRules.*: which elements count, ties, texts reached at their right end, the list used
//   Match.*:    GE_matches_Drosa for lines, curves and texts
//   GEDumps.*:  dump_GE of a small page and debug_GE's flag words, stated by hand
#include "graphics/hit_test.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "annotations/anno_services.h"
#include "graphics/GE.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "support/chord_page.h"
#include "support/piece_builder.h"

namespace {

using HitPage = ChordPageTest;
using HitRules = ChordPageTest;
using Match = ChordPageTest;
using GEDumps = ChordPageTest;

// The small page: a clef, 2/4, two beamed eighths and a quarter, a bar, a half and a bar.
struct SmallPage {
  Drosa first_eighth, quarter, half;
};

SmallPage small_page() {
  SmallPage page;
  int v = new_voice();
  add_clef(v, 0);
  add_timesig(v, 2, 4);
  page.first_eighth = add_note(v, EIGHTH, 40);
  add_note(v, EIGHTH, 42);
  page.quarter = add_note(v, QUARTER, 39);
  add_bar(v);
  page.half = add_note(v, HALF, 38);
  add_bar(v);
  format_and_draw();
  return page;
}

// The first printed element of a var drawn for owner.
Drosa drawn(Drosa owner, int var) {
  Drosa current = NIL;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind == NOTEPTR) current = e->get(xnoteptr);
    const int v = e->xkind == GE_CHAR ? e->get(xgc_var) : e->xkind == GE_LINE ? e->get(xgl_var) : 0;
    if (current == owner && v == var && !e->get(xgscreen)) return e;
  }
  return NIL;
}

// A note drawn on the screen (its NTDATA holds a screen position), or one that is not.
Drosa note_owner(bool plotted) {
  Drosa note = add_note(new_voice(), QUARTER);
  add_after(note, NTDATA)->set(xscrhdx, plotted ? 0 : NOT_DRAWN);
  return note;
}

TEST_F(HitPage, ClicksFindTheNodeTheirElementWasDrawnFor) {
  const SmallPage page = small_page();
  save_page_image("hit_test_small_page.png");
  Drosa head = drawn(page.quarter, 46), stem = drawn(page.quarter, 20);
  Drosa bar_line = drawn(page.half, 26), clef = drawn(page.first_eighth, 52);
  Drosa beam = drawn(page.first_eighth, 17);
  ASSERT_TRUE(head && stem && bar_line && clef && beam);
  const struct {
    const char* what;
    int32_t x, y;
    Drosa element, owner;  // element NIL: any element of the owner
  } clicks[] = {
      {"head", head->get(xgc_x) + 20, head->get(xgc_y) + 15, head, page.quarter},
      {"stem's end", stem->get(xge_x2) + 6, stem->get(xge_y2) - 10, stem, page.quarter},
      {"beam over its first stem", beam->get(xgl_clipx1) + 10, beam->get(xge_y1) + 10, NIL,
       page.first_eighth},
      {"bar line's top", bar_line->get(xge_x1) - 8, bar_line->get(xge_y1) - 4, bar_line, page.half},
      {"clef", clef->get(xgc_x) + 30, clef->get(xgc_y) + 10, clef, page.first_eighth},
  };
  for (const auto& c : clicks) {
    Drosa element = NIL, owner = NIL;
    int32_t distance = -1;
    find_nearest_GE(c.x, c.y, &element, &owner, &distance);
    EXPECT_EQ(owner, c.owner) << c.what;
    if (c.element) EXPECT_EQ(element, c.element) << c.what;
    EXPECT_EQ(find_GE_under_point(c.x, c.y, nullptr), element) << c.what;
  }
  // Empty paper below the staff: the nearest element is far beyond its hit box.
  Drosa owner = page.quarter;
  EXPECT_EQ(find_GE_under_point(3000, 600, &owner), NIL);
  EXPECT_EQ(owner, NIL);
}

TEST_F(HitRules, OnlyPrintedMusicOfPlottedNotesCountsAndTheEarlierWinsATie) {
  Drosa a = note_owner(true), b = note_owner(true), hidden = note_owner(false);
  GEline_screen(0, 1000, 1000, 0, 0, 1000, 1400, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 20, a, 1);
  Drosa twin = GEline(0, 1004, 1000, 0, 0, 1004, 1400, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 20, a);
  GEline(0, 1000, 1000, 0, 0, 2000, 1000, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, GANNO_BOTH, a);
  GEcharacter(0, 1000, 1000, 0, P_QUARTER_NOTE_HEAD, 0, 46, a, 0);
  GE_tail->set(xgremove, 1);
  GEcharacter(0, 1000, 1000, 0, P_QUARTER_NOTE_HEAD, 0, 46, hidden, 0);
  GEline(0, 996, 1000, 0, 0, 996, 1400, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 20, b);  // as near
  Drosa text = GEstring(0, 3000, 500, 0, 0, 0, 20, 0, 12, 0, 0, "12", 0, 6, b, NIL);
  GE_list_complete = 1;
  Drosa element = NIL, owner = NIL;
  int32_t distance = 0;
  find_nearest_GE(1000, 1000, &element, &owner, &distance);
  EXPECT_EQ(element, twin);  // not the later line at the same distance
  EXPECT_EQ(owner, a);
  EXPECT_EQ(distance, 2);
  // A text is reached at its right end, as wide in layout units as drawing makes it.
  const int32_t right = 3000 + int32_t(std::lround(10 * measure_GE_text(text).width));
  find_nearest_GE(right, 500, &element, &owner, &distance);
  EXPECT_EQ(element, text);
  EXPECT_EQ(distance, 0);
}

TEST_F(HitRules, TheOldListAnswersWhileTheNewOneIsBuilt) {
  Drosa a = note_owner(true), element = a;
  find_nearest_GE(0, 0, &element, nullptr, nullptr);  // nothing drawn yet, nothing found
  EXPECT_EQ(element, NIL);
  EXPECT_EQ(take_reports().at(0).text, "Call to find_nearest_GE without any Graphics Object lists");
  Drosa old_line = GEline(0, 0, 0, 0, 0, 0, 100, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 20, a);
  GE_list_complete = 1;
  GEinit(1);
  Drosa new_line = GEline(0, 0, 0, 0, 0, 0, 100, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 20, a);
  find_nearest_GE(0, 0, &element, nullptr, nullptr);
  EXPECT_EQ(element, old_line);
  GE_list_complete = 1;
  find_nearest_GE(0, 0, &element, nullptr, nullptr);
  EXPECT_EQ(element, new_line);
}

// A LINE or TPARAM annotation with its PDATA before a note.
Drosa annotation(int kind, Drosa note, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  Drosa anno = newDrosa(kind, 0);
  link_after(anno, note->xback);
  Drosa pdata = newDrosa(PDATA, 0);
  link_after(pdata, anno);
  pdata->set(xpagex1, x1), pdata->set(xpagey1, y1), pdata->set(xpagex2, x2);
  pdata->set(xpagey2, y2);
  return anno;
}

TEST_F(Match, ElementsMatchTheAnnotationThatDrawsThemExactly) {
  Drosa note = note_owner(true);
  Drosa line = annotation(LINE, note, 100, 200, 900, 300);
  line->set(xc1x, -10), line->set(xc1y, -20), line->set(xc2x, 810), line->set(xc2y, 120);
  line->set(xlinewidth, 7), line->set(xdashlth, 3), line->set(xgaplth, 2);
  Drosa drawn_line =
      GEline(0, 100, 200, 0, 0, 900, 300, 0, 0, 7, 3, 2, 90, 180, 910, 320, 0, 70, note);
  Drosa curve = annotation(LINE, note, 100, 200, 900, 300);
  curve->set(xcurve, 1), curve->set(xc1x, 200), curve->set(xc2x, 600), curve->set(xc2y, 150);
  Drosa drawn_curve =
      GEcurve(0, 100, 200, 0, 300, 200, 0, 700, 350, 0, 900, 300, 0, 1, 0, 0, 0, 4, note);
  Drosa text = annotation(TPARAM, note, 400, 500, 0, 0);
  text->set(xtextfont, -5), text->set(xtextsize, 14), text->set(xtextface, 1);
  add_after(text->xnext, TEXT)->set(xtext, "dolce");
  Drosa drawn_text =
      GEstring(0, 400, 500, 0, 0, 0, font_from_code(-5), 0, 14, 1, 0, "dolce", 0, 74, note, NIL);
  auto matches = [&] {
    return std::vector<int>{GE_matches_Drosa(drawn_line, line),
                            GE_matches_Drosa(drawn_curve, curve),
                            GE_matches_Drosa(drawn_text, text), GE_matches_Drosa(drawn_curve, line),
                            GE_matches_Drosa(drawn_line, curve)};
  };
  EXPECT_EQ(matches(), (std::vector<int>{1, 1, 1, 0, 0}));  // a line never draws a curve
  line->set(xline_color, 3), curve->set(xdashlth, 1), text->set(xtextsize, 12);
  EXPECT_EQ(matches(), (std::vector<int>{0, 0, 0, 0, 0}));
}

TEST_F(GEDumps, TheFileHoldsEveryShapeOfTheSmallPage) {
  small_page();
  // In a folder of its own: other tests write the same file name at the same time.
  const std::filesystem::path home = std::filesystem::current_path();
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("vesk-dump-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::filesystem::current_path(folder);
  dump_GE();
  std::filesystem::current_path(home);
  std::ifstream file(folder / "Graphics Objects.dump");
  std::stringstream text;
  text << file.rdbuf();
  std::filesystem::remove_all(folder);
  // The beam, drawn from (460, 1486) to (734, 1557) and clipped at its stems (x 510 and 684),
  // is written as far as it shows: 1486 + 50 x 71 / 274 = 1499, 1486 + 224 x 71 / 274 = 1544.
  // The quarter's stem is written twice: the screen's, snapped to a pixel, and the printed one.
  EXPECT_EQ(text.str(),
            "L   0 1759 6120 1759  0.2\nL   0 1709 6120 1709  0.2\nL   0 1659 6120 1659  0.2\n"
            "L   0 1609 6120 1609  0.2\nL   0 1559 6120 1559  0.2\n"
            "C 320 1660 170 32001 12 0\nC 320 1560 162 32001 12 0\nC  60 1610 113 32002 24 0\n"
            "STRING at (-20, 1840), '1', font 20, cset 0, size 12, style 0\n"
            "C 510 1610 141 32001 12 0\nC 684 1660 141 32001 12 0\n"
            "L 510 1499 684 1544  2.5\nL 510 1625 510 1511  0.2\nL 684 1675 684 1556  0.2\n"
            "C 858 1585 141 32001 12 0\nL 920 1620 920 1775  1.0\nL 916 1620 916 1775  0.2\n"
            "L 1721 1760 1721 1560  0.2\n"
            "C 1801 1560 197 32001 12 0\nL 1860 1595 1860 1750  1.0\nL 1859 1595 1859 1750  0.2\n"
            "L 6120 1760 6120 1560  0.2\n");
}

TEST_F(GEDumps, DebugLinesEndWithTheFlagWords) {
  Drosa hidden = note_owner(false);
  GEline(BICMODE, 10, 20, 1, 0, 30, 40, 2, 0, 25, 3, 2, 0, 0, 0, 0, 5, 17, hidden);
  GEcurve(0, 1, 2, 0, 3, 4, 0, 5, 6, 0, 7, 8, 0, 0, 0, 0, 0, GANNO_SCREEN_ONLY, hidden);
  GE_tail->set(xgremove, 1);
  GEstring(0, 50, 60, 0, 0, 0, 20, 0, 12, 0, 0, "ab", 0, 9, hidden, NIL)->set(xgscreen, 1);
  ::testing::internal::CaptureStdout();
  debug_GE();
  std::fflush(stdout);
  char pointer[40];
  std::snprintf(pointer, sizeof pointer, "%p", (void*)uintptr_t(hidden.handle()));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "\nContents of the GE list:\nNOTEPTR xnoteptr " + std::string(pointer) +
                " (note not currently visible) \n"
                " LINE var 17 wid 2.5 ( 10, 20)1 to ( 30, 40)2 clip (-270,-260)(310,320) color 5"
                "  DASH 3 GAP 2 BICMODE\n"
                "GE_CURVE var 0 (  1,  2)0 to (  7,  8)0 ctl (3,4)(5,6) clr 0  GANNO GREMOVE\n"
                "GE_STRING  ab \n"
                "CHAR ( 50, 60)0 var 9 ch 0 fon 20 cset 0 sz 12 stl 0 clr 0 yreloc 0  GSCREEN\n");
}

}  // namespace
