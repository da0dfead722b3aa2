// tests/support/page_checker_test.cpp: the page checker on pages built element by element.
//   PageChecker.*: a clean page of two systems passes; the same page with one fault added
//                  breaks exactly the rule that fault breaks; reports and messages by their level
//                  and text; a note no page draws.
#include "support/page_checker.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "annotations/anno_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "platform/fonts.h"
#include "support/page_fixture.h"

namespace {

constexpr int V_STAFF_LINE = 10, V_SYSTEM_BAR = 12, V_STEM_UP = 20, V_BAR_LINE = 26;
constexpr int V_HEAD = 46, V_ACCIDENTAL = 48, V_CLEF = 52, V_TIME_DIGIT = 53, V_KEY = 58;

// Staff tops: staves 0 and 1 form the first system, staff 2 the second.
constexpr int32_t TOPS[] = {6200, 5700, 4200};

class PageChecker : public LetterPageTest {
 protected:
  void SetUp() override {
    LetterPageTest::SetUp();
    platform_init_fonts();
    for (int p = 0; p < 3; ++p) staff_data[p].staff_size = 50;
  }
  void TearDown() override {
    offscreen_dispose();
    LetterPageTest::TearDown();
  }

  Drosa note() {
    Drosa n = newDrosa(NOTE, 0);
    n->set(xendvcd, 1);
    return n;
  }
  void line(int32_t x1, int32_t y1, int p1, int32_t x2, int32_t y2, int p2, int var,
            Drosa owner = NIL) {
    GEline(0, x1, y1, p1, 0, x2, y2, p2, 0, 4, 0, 0, 0, 0, 0, 0, 0, var, owner);
  }
  // A slur (var 5) from x1 to x2 over staff p.
  void slur(int32_t x1, int32_t x2, int p) {
    const int32_t y = TOPS[p] + 50, third = (x2 - x1) / 3;
    GEcurve(0, x1, y, p, x1 + third, y + 60, p, x2 - third, y + 60, p, x2, y, p, 1, 0, 0, 0, 5,
            note());
  }
  void glyph(int32_t x, int32_t y, int p, int param, int var, Drosa owner) {
    GEcharacter(0, x, y, p, param, 0, var, owner, 0);
  }

  // An annotation of a class, a TPARAM with its PDATA standing before a note (its place on the
  // page kept there as drawing keeps it), drawn as a 12-point text.
  void words(Drosa note, int32_t x, int32_t y, int p, const char* text, int cls = 1) {
    Drosa t = newDrosa(TPARAM, 0);
    t->set(xclassify, uint8_t(cls));
    link_after(t, note->xback);
    Drosa pd = newDrosa(PDATA, 0);
    pd->set(xpagex1, x), pd->set(xpagey1, y);
    link_after(pd, t);
    GEstring(0, x, y, 0, 0, p, font_from_code(-5), 0, 12, 0, 0, text, 0, 1, note, t);
  }
  // A hairpin opening from x1 to x2 at y, a LINE before a note, drawn as its two legs.
  void hairpin(Drosa note, int32_t x1, int32_t x2, int32_t y, int p) {
    Drosa l = newDrosa(LINE, 0);
    l->set(xmetaline, 1);
    l->set(xc1x, -280), l->set(xc2x, x2 - x1 + 280);
    link_after(l, note->xback);
    Drosa pd = newDrosa(PDATA, 0);
    pd->set(xpagex1, x1), pd->set(xpagey1, y);
    link_after(pd, l);
    line(x1, y, p, x2, y + 40, p, 1, note);
    line(x1, y, p, x2, y - 40, p, 1, note);
  }
  // A note standing in a list of its own, after a bar, so that annotations can stand before it.
  Drosa listed_note() {
    Drosa bar = newDrosa(BAR, 0), n = note();
    link_after(n, bar);
    return n;
  }

  // Two systems of clean music: staves, the first system's bar, a clef, bar lines at the same
  // x on both staves of the first system, a head with its sharp, and a head of another chord.
  void clean_page() {
    GEinit(0);
    for (int p = 0; p < 3; ++p) {
      for (int i = 0; i < 5; ++i)
        line(600, TOPS[p] - 50 * i, p, 5500, TOPS[p] - 50 * i, p, V_STAFF_LINE);
      line(5500, TOPS[p], p, 5500, TOPS[p] - 200, p, V_BAR_LINE);
      glyph(650, TOPS[p] - 150, p, P_TREBLE_CLEF_AT_START_OF_STAFF, V_CLEF, NIL);
    }
    // A key of two sharps and a time signature of 3/4 after the clef of the last staff.
    glyph(880, TOPS[2], 2, P_SHARP, V_KEY, NIL);
    glyph(960, TOPS[2] - 75, 2, P_SHARP, V_KEY, NIL);
    glyph(1080, TOPS[2] - 50, 2, P_0_FOR_TIME_SIGNATURES + 3, V_TIME_DIGIT, NIL);
    glyph(1080, TOPS[2] - 150, 2, P_0_FOR_TIME_SIGNATURES + 4, V_TIME_DIGIT, NIL);
    line(600, TOPS[0], 0, 600, TOPS[1] - 200, 1, V_SYSTEM_BAR);
    for (int p = 0; p < 2; ++p) line(3000, TOPS[p], p, 3000, TOPS[p] - 200, p, V_BAR_LINE);
    Drosa first = listed_note(), second = listed_note();
    glyph(1200, TOPS[0] - 100, 0, P_SHARP, V_ACCIDENTAL, first);
    glyph(1300, TOPS[0] - 100, 0, P_QUARTER_NOTE_HEAD, V_HEAD, first);
    glyph(1600, TOPS[0] - 100, 0, P_QUARTER_NOTE_HEAD, V_HEAD, second);
    // Marks clear of the notes and of each other: words above, a dynamic and a hairpin after
    // it below, and a hairpin meeting the next at its open end.
    words(first, 1200, TOPS[0] + 150, 0, "Grave");
    words(first, 1250, TOPS[0] - 400, 0, "mf", 7);
    hairpin(first, 1450, 1900, TOPS[0] - 380, 0);
    hairpin(second, 1900, 2300, TOPS[0] - 380, 0);
    // A slur going on into the next system ends at the staff's end, and goes on from its start.
    slur(4800, 5500, 1);
    slur(600, 1000, 2);
    marked = first;
  }
  Drosa marked = NIL;

  std::vector<std::string> broken_rules() {
    PageFrame frame;
    frame.paper_width = 6120, frame.paper_height = 7920;
    frame.left = 600, frame.right = 5500, frame.bottom = 500, frame.top = 7400;
    std::vector<std::string> rules;
    for (const PageFault& f : check_page_elements(frame))
      if (std::find(rules.begin(), rules.end(), f.rule) == rules.end()) rules.push_back(f.rule);
    return rules;
  }
};

TEST_F(PageChecker, ACleanPagePassesAndEachFaultBreaksItsOwnRule) {
  clean_page();
  EXPECT_EQ(broken_rules(), std::vector<std::string>{});
  const struct {
    const char* rule;
    std::function<void()> add_fault;
    const char* also = nullptr;  // a second rule the fault breaks
  } cases[] = {
      {"paper", [&] { glyph(-200, 3000, 2, P_TREBLE_CLEF_AT_START_OF_STAFF, V_CLEF, NIL); }},
      {"margins", [&] { glyph(5700, TOPS[2] - 100, 2, P_QUARTER_NOTE_HEAD, V_HEAD, note()); }},
      {"staves",
       [&] {
         for (int i = 0; i < 5; ++i)
           line(600, 5650 - 50 * i, 3, 5500, 5650 - 50 * i, 3, V_STAFF_LINE);
       }},
      {"barlines", [&] { line(4000, TOPS[1], 1, 4000, TOPS[1] - 200, 1, V_BAR_LINE); }},
      {"heads", [&] { glyph(1630, TOPS[0] - 125, 0, P_QUARTER_NOTE_HEAD, V_HEAD, note()); }},
      {"signs", [&] { glyph(1600, TOPS[0] - 100, 0, P_SHARP, V_ACCIDENTAL, note()); }},
      {"signs",
       [&] {
         glyph(3500, TOPS[1] - 150, 1, P_TREBLE_CLEF_AT_START_OF_STAFF, V_CLEF, NIL),
             glyph(3520, TOPS[1] - 100, 1, P_QUARTER_NOTE_HEAD, V_HEAD, note());
       }},
      {"signatures",
       [&] { glyph(1100, TOPS[2] - 150, 2, P_TREBLE_CLEF_AT_START_OF_STAFF, V_CLEF, NIL); }},
      {"signatures", [&] { glyph(700, TOPS[2] - 25, 2, P_SHARP, V_KEY, NIL); }},
      {"systems", [&] { line(2000, TOPS[1], 1, 2000, TOPS[2] - 300, 1, V_STEM_UP, note()); }},
      {"systems",
       [&] {
         line(2000, TOPS[1] - 200, 1, 2000, TOPS[2] + 400, 1, V_STEM_UP, note());
         glyph(1980, TOPS[2] + 420, 2, P_QUARTER_NOTE_HEAD, V_HEAD, note());
       }},
      {"marks", [&] { words(listed_note(), 1400, TOPS[0] + 160, 0, "=60", 6); }},
      {"marks", [&] { words(listed_note(), 1550, TOPS[0] - 120, 0, "Ped.", 9); }},
      {"notes",
       [&] {
         Drosa n = listed_note();
         line(2500, TOPS[0] - 100, 0, 2500, TOPS[0] - 440, 0, V_STEM_UP, n);
         words(n, 2450, TOPS[0] - 400, 0, "sfz", 7);
       }},
      {"marks", [&] { words(listed_note(), 1700, TOPS[0] - 400, 0, "p", 7); }},
      {"marks", [&] { hairpin(listed_note(), 1700, 2100, TOPS[0] - 360, 0); }},
      {"marks", [&] { words(listed_note(), 1260, TOPS[0] - 410, 0, "la", 5); }},
      {"lyrics", [&] { words(listed_note(), 1300, TOPS[1] - 80, 0, "la", 5); }},
      {"curves",
       [&] {
         slur(2000, 2600, 0);
         words(listed_note(), 2150, TOPS[0] + 60, 0, "dolce");
       }},
      {"curves",
       [&] {
         slur(1900, 2700, 0);
         hairpin(listed_note(), 2000, 2500, TOPS[0] + 80, 0);
       }},
      {"drawn", [&] { glyph(2200, 4900, 3, P_QUARTER_NOTE_HEAD, V_HEAD, note()); }},
      {"ends", [&] { slur(5000, 5660, 0); }, "reach"},
      {"ends", [&] { slur(420, 1000, 2); }, "reach"},
      // Within half a space of the staff's end by its control points, the curve itself still
      // reaches past the system's end, or back before its start.
      {"reach", [&] { slur(5000, 5515, 0); }},
      {"reach", [&] { slur(588, 1000, 2); }},
      {"ends", [&] { hairpin(listed_note(), 5100, 5600, TOPS[1] - 380, 1); }},
      {"ends", [&] { words(listed_note(), 5450, TOPS[2] - 400, 2, "pp", 7); }},
  };
  for (const auto& c : cases) {
    clean_page();
    c.add_fault();
    std::vector<std::string> rules{c.rule};
    if (c.also) rules.push_back(c.also);
    EXPECT_EQ(broken_rules(), rules) << c.rule;
  }
  take_reports();
}

TEST_F(PageChecker, ANoteNoPageDrawsIsAFault) {
  clean_page();
  std::set<uint32_t> drawn;
  add_drawn_notes(&drawn);
  const Drosa hidden = listed_note();
  const std::vector<PageFault> faults = check_notes_drawn({marked, hidden}, drawn);
  ASSERT_EQ(faults.size(), 1u);
  EXPECT_EQ(faults[0].rule, "drawn");
  EXPECT_NE(faults[0].text.find("bar 2"), std::string::npos) << faults[0].text;
  take_reports();
}

// The sheet a page is printed on, the ink near its edge and the credits' sizes, on the clean
// page printed on Letter at a scale.
TEST_F(PageChecker, TheSheetItsEdgeAndTheCreditsSizes) {
  const auto rules_on = [](double sheet_width, double sheet_height, int scale, double own,
                           std::vector<std::pair<std::string, double>> credits = {}) {
    PageFrame frame;
    frame.paper_width = 6120, frame.paper_height = 7920;
    frame.left = 600, frame.right = 5500, frame.bottom = 500, frame.top = 7400;
    frame.sheet_width = sheet_width, frame.sheet_height = sheet_height;
    frame.print_scale = scale;
    frame.own_width = own > 0 ? sheet_width : own, frame.own_height = own > 0 ? sheet_height : own;
    frame.credit_sizes = std::move(credits);
    std::vector<std::string> rules;
    for (const PageFault& f : check_page_elements(frame))
      if (std::find(rules.begin(), rules.end(), f.rule) == rules.end()) rules.push_back(f.rule);
    return rules;
  };
  using Rules = std::vector<std::string>;
  clean_page();
  EXPECT_EQ(rules_on(612, 792, 100, 0), Rules{});
  EXPECT_EQ(rules_on(792, 612, 100, 0), Rules{});
  EXPECT_EQ(rules_on(595, 842, 100, 0), Rules{});
  // A paper no printer has: right only when it is the document's own (own 1).
  EXPECT_EQ(rules_on(640, 800, 100, 0), Rules{"sheet"});
  EXPECT_EQ(rules_on(640, 800, 100, 1), Rules{});
  // Ink within a quarter inch of an edge, on the page or past its foot where the sheet ends
  // higher; at half the size a quarter inch of the paper is half an inch of the page.
  clean_page();
  glyph(250, 4000, 2, P_TREBLE_CLEF_AT_START_OF_STAFF, V_CLEF, NIL);
  EXPECT_EQ(rules_on(612, 792, 100, 0), Rules{});
  EXPECT_EQ(rules_on(612, 792, 50, 0), Rules{"edge"});
  clean_page();
  GEstring(0, 3000, 100, 0, 0, -1, font_from_code(-5), 0, 10, 0, 0, "3", 0, 9, NIL, NIL);
  EXPECT_EQ(rules_on(612, 792, 100, 0), Rules{"edge"});
  clean_page();
  glyph(3000, 1800, 2, P_QUARTER_NOTE_HEAD, V_HEAD, note());
  EXPECT_EQ(rules_on(612, 792, 100, 0), Rules{});
  EXPECT_EQ(rules_on(612, 620, 100, 1), Rules{"edge"});
  // A credit stands where the document puts it, at its size on the paper.
  clean_page();
  words(listed_note(), 3000, 100, 0, "Copyright 1900", 18);
  EXPECT_EQ(rules_on(612, 792, 100, 0, {{"Copyright 1900 by Someone", 12}}), Rules{});
  EXPECT_EQ(rules_on(612, 792, 100, 0, {{"Copyright 1900", 16}}), Rules{"credits"});
  EXPECT_EQ(rules_on(612, 792, 50, 0, {{"Copyright 1900", 12}}), Rules{"credits"});
  EXPECT_EQ(rules_on(612, 792, 50, 0, {{"Copyright 1900", 6}}), Rules{});
  take_reports();
}

TEST_F(PageChecker, EveryReportAndMessageIsAFault) {
  const std::vector<PageFault> faults = check_page_reports(
      {{2, "The bracket that begins in bar 22 has lost its end, and is not drawn."},
       {3, "a problem"},
       {4, "Unterminated beam"},
       {2, "voices 1 and 2 have a different number of beats before this page"}});
  ASSERT_EQ(faults.size(), 4u);
  EXPECT_EQ(faults[0].rule, "alert");
  EXPECT_EQ(faults[1].rule, "report");
  EXPECT_EQ(faults[2].text, "level 4: Unterminated beam");
  EXPECT_EQ(faults[3].rule, "beats");
}

}  // namespace
