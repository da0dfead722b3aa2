// drawtie_test.cpp: ties, slurs and bends on small formatted pages (a head's y is its bottom,
// heads 60 wide and 50 high; slur ends 20 off the chord, at the head's x + 30, or + 60 over a
// stem going up).
//   CurveShape.*:   control points by length, side and flatness, and of a vertical curve
//   SlurEnds.*:     each end over its chord or beside its stem: stems up, mixed stems, a
//                   crawling slur; a steep slur eased to the slope limit
//   SystemBreaks.*: a slur over three systems and a tie over a break, in halves on the right
//                   systems
//   Bends.*:        a bent tie on a staff; bend marks and their ranges on tablature
#include "graphics/drawtie.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"
#include "support/chord_page.h"
#include "support/piece_builder.h"

namespace {

using CurveShape = ChordPageTest;
using SlurEnds = ChordPageTest;
using SystemBreaks = ChordPageTest;
using Bends = ChordPageTest;
using Lines = std::vector<std::string>;

constexpr int TIE = 4, SLUR = 5, BEND = 71, BEND_RANGE = 74;

int32_t hx(Drosa n) { return nt(n)->get(xhdx); }
int32_t hy(Drosa n) { return nt(n)->get(xhdy); }

std::string curve(int pstaff, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  return "curve 5 s" + std::to_string(pstaff) + " " + std::to_string(x1) + " " +
         std::to_string(y1) + " " + std::to_string(x2) + " " + std::to_string(y2);
}

// The y at which the note's drawn stem ends.
int32_t stem_end(Drosa note) {
  Drosa current = NIL;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind == NOTEPTR) current = e->get(xnoteptr);
    if (e->xkind == GE_LINE && current == note && e->get(xgl_var) == 20) return e->get(xge_y2);
  }
  ADD_FAILURE() << "no stem";
  return 0;
}

Drosa note(int v, int pos, int stem, int slur) {
  Drosa n = add_note(v, QUARTER, pos);
  n->set(xdir, stem);
  n->set(xslur, slur);
  return n;
}

// Formats page 1 of a page height tenths of an inch high, with left and right margins.
void format_high_page(int height) {
  set_options_i32(1, OPTIONS_PAGE_HEIGHT, height);
  for (int margin : {22, 26, 30, 34}) set_options_i32(1, margin, 300);
  offscreen_dispose();
  ASSERT_EQ(offscreen_create(3, CHORD_PAGE_WIDTH, height, 0, 0), 1);
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
}

TEST_F(CurveShape, ControlPointsByLengthSideAndFlatness) {
  // Lengths 250 and 1250 give x offsets 60 and 100, y offsets 50 and 150, in proportion
  // between them and below the first.
  struct Case {
    int32_t x1, y1, x2, y2;
    int side, flat;
    int32_t c1x, c1y, c2x, c2y;
  } cases[] = {
      {0, 0, 750, 0, 2, 0, 80, 100, 670, 100},       // halfway: 80, 100
      {0, 0, 750, 0, 1, 1, 160, -50, 590, -50},      // flat: reach doubled, height halved
      {0, 0, 125, 0, 2, 0, 30, 25, 95, 25},          // half the first length
      {1000, 0, 1000, 300, 2, 0, 945, 62, 945, 238}  // vertical: (x - yo, y +- xo)
  };
  for (const Case& c : cases) {
    int32_t p[4];
    curve_geometry(c.x1, c.y1, c.x2, c.y2, NIL, c.side, c.flat, &p[0], &p[1], &p[2], &p[3]);
    EXPECT_EQ((std::vector<int32_t>{p[0], p[1], p[2], p[3]}),
              (std::vector<int32_t>{c.c1x, c.c1y, c.c2x, c.c2y}))
        << c.x1 << "," << c.y1 << " to " << c.x2 << "," << c.y2;
  }
}

TEST_F(SlurEnds, OverTheChordOrBesideTheStemAndEasedToTheSlopeLimit) {
  int v = new_voice();
  Drosa up1 = note(v, 33, 2, 2), up2 = note(v, 33, 2, 0);        // both over the stems
  Drosa mixed1 = note(v, 33, 2, 2), mixed2 = note(v, 33, 1, 0);  // beside, then over the head
  Drosa crawl1 = note(v, 33, 2, 2), crawl2 = note(v, 33, 2, 0);  // beside both stems
  Drosa steep1 = note(v, 28, 1, 2), steep2 = note(v, 52, 1, 0);  // the start raised
  crawl1->set(xcrawlslur, 1);
  format_and_draw(3);
  const Lines slurs = ge_lines(SLUR);
  ASSERT_EQ(slurs.size(), 4u);
  EXPECT_EQ(slurs[0], curve(0, hx(up1) + 60, stem_end(up1) + 20, hx(up2) + 60, stem_end(up2) + 20));
  EXPECT_EQ(slurs[1], curve(0, hx(mixed1) + 90, hy(mixed1) + 70, hx(mixed2) + 30, hy(mixed2) + 70));
  EXPECT_EQ(slurs[2], curve(0, hx(crawl1) + 90, hy(crawl1) + 70, hx(crawl2) + 30, hy(crawl2) + 70));
  // Above the end's head, the start raised until the slope is 0.4; then both lifted alike.
  int32_t x1, y1, x2, y2;
  ASSERT_EQ(std::sscanf(slurs[3].c_str(), "curve 5 s0 %d %d %d %d", &x1, &y1, &x2, &y2), 4);
  EXPECT_EQ(x1, hx(steep1) + 30);
  EXPECT_EQ(x2, hx(steep2) + 30);
  EXPECT_GE(y2, hy(steep2) + 70);
  EXPECT_EQ(y2 - y1, std::lround(0.4 * (x2 - x1)));
  save_page_image("slur_ends.png");
}

TEST_F(SlurEnds, AnEndBeforeItsStartDrawsNothingAShortSlurWidensAnEmptyEntryIsReported) {
  int v = new_voice();
  Drosa n = note(v, 41, 1, 0);
  format_and_draw(3);
  GEinit(0);
  SlurEntry& entry = slur_buffer[0][0][1][0];
  auto open = [&] {
    entry = SlurEntry{};
    entry.first_note = n;
    entry.start_x = 5000;
    entry.start_y = 1800;
  };
  open();
  EXPECT_EQ(drawtie(5000, 1800, 0, 0, 2, 0, 0, 0, NIL), 1800);
  EXPECT_FALSE(entry.first_note) << "freed";
  open();
  drawtie(5040, 1800, 0, 0, 2, 0, 0, 0, NIL);  // 40 long: 20 more at each end
  EXPECT_EQ(ge_lines(SLUR), Lines{curve(0, 4980, 1800, 5060, 1800)});
  drawtie(5040, 1800, 0, 0, 2, 0, 0, 0, NIL);
  const std::vector<Report> got = take_reports();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].text, "NIL slurptr->head in drawtie.c!");
  EXPECT_EQ(ge_lines(SLUR).size(), 1u);
}

TEST_F(SystemBreaks, ASlurOverThreeSystemsAndATieOverOneBreakInHalves) {
  int v = new_voice();
  note(v, 38, 2, 0);
  note(v, 42, 2, 0);
  Drosa q1 = note(v, 40, 2, 3);  // A4, stems up: tie and slur below
  q1->set(xtie, 3);
  add_system_break(v);
  for (int pos : {40, 42, 44}) note(v, pos, 2, 3);  // the slur goes on over this system
  add_system_break(v);
  Drosa q3 = note(v, 37, 2, 0);
  note(v, 39, 2, 0);
  note(v, 41, 2, 0);
  format_high_page(60);
  save_page_image("ties_slurs_system_break.png");
  ASSERT_EQ(pstaff_count, 3);
  auto right = [](int p) { return staff_right_x(p, 1); };
  auto left = [](int p) {
    return staff_data[p].first_note_x -
           param_length(P_TIES_AND_SLURS_ONTO_SYSTEM_EXTEND_THIS_FAR_TO_LEFT, NIL, nullptr);
  };
  const Lines ties = ge_lines(TIE);
  ASSERT_EQ(ties.size(), 2u);
  int32_t tie_y;
  ASSERT_EQ(std::sscanf(ties[0].c_str(), "curve 4 s0 %*d %d", &tie_y), 1);
  EXPECT_EQ(ties[1].find("curve 4 s1 " + std::to_string(left(1)) + " "), 0u) << ties[1];
  // Below the tie, off the first system at its start's height; across the second at a line's
  // space under the staff; onto the third at its end's height.
  EXPECT_EQ(
      ge_lines(SLUR),
      (Lines{curve(0, hx(q1) + 30, tie_y - 20, right(0), tie_y - 20),
             curve(1, left(1), staff_bottom_y(1, 0) - 50, right(1), staff_bottom_y(1, 0) - 50),
             curve(2, left(2), hy(q3) - 20, hx(q3) + 30, hy(q3) - 20)}));
  EXPECT_EQ(node_byte(q1, 46) & 3, 1) << "the first note records the side that went on";
  EXPECT_EQ(voice_end(v)->get(xsys_slurdown), 0);
}

TEST_F(Bends, ABentTieOnAStaffAndBendMarksWithTheirRangesOnTablature) {
  int v = new_voice();
  Drosa b1 = add_note(v, QUARTER, 38), b2 = add_note(v, QUARTER, 40);
  b1->set(xtie, 3);
  b1->set(xbendtie, 1);
  b1->set(xpitch, 65 << 8);
  b2->set(xpitch, 67 << 8);
  int t = new_voice("Guitar", 0, 1);
  Drosa print = find_next_kind(PRINT, piece_start[t]);
  print->set(xtablature, 1);
  print->set(xslines, 6);
  std::vector<Drosa> tab;
  for (int key : {64, 66, 69, 64}) {  // up 2 semitones, then down 5
    tab.push_back(add_note(t, QUARTER, 40));
    tab.back()->set(xpitch, uint16_t(key << 8));
    tab.back()->set(xnotehead, 6);  // the fret numbers show the notes
  }
  for (int i : {0, 2}) {
    tab[i]->set(xtie, 3);
    tab[i]->set(xbendtie, 1);
  }
  format_high_page(40);
  save_page_image("bends.png");

  // On the staff: two lines from beside the first head, 25 up, to before the second; their
  // apex 70 from the middle of the two ends, below them as the tie goes below.
  const Lines staff_bend = ge_lines(BEND, false, b1);
  ASSERT_EQ(staff_bend.size(), 2u);
  int32_t x1, y1, ax, ay, bx, by, x2, y2;
  ASSERT_EQ(std::sscanf(staff_bend[0].c_str(), "line 71 %d %d %d %d w10", &x1, &y1, &ax, &ay), 4);
  ASSERT_EQ(std::sscanf(staff_bend[1].c_str(), "line 71 %d %d %d %d w10", &bx, &by, &x2, &y2), 4);
  EXPECT_EQ(
      (std::vector<int32_t>{x1, y1, bx, by, x2, y2}),
      (std::vector<int32_t>{hx(b1) + 60 + 15, hy(b1) + 25, ax, ay, hx(b2) - 15, hy(b2) + 25}));
  EXPECT_NEAR(std::hypot(ax - (x1 + x2) / 2.0, ay - (y1 + y2) / 2.0), 70, 1);
  EXPECT_LT(ay, (y1 + y2) / 2);
  EXPECT_TRUE(ge_lines(TIE).empty());

  // On tablature: the glyph of a bend up or down at the first note, and the range right-aligned
  // on the note at the staff's top plus the font's offsets.
  ParamValue font;
  scaled_char_param(&font, P_FONT_AND_X_Y_OFFSET_FOR_BEND_RANGE_ON_TABLATURE_STAFF, tab[0],
                    nullptr);
  auto range = [&](Drosa n, const char* text) {
    return "text 74 " + std::to_string(hx(n) + font.x() - param_string_width(font, text)) + " " +
           std::to_string(staff_top_y(1, 0) + font.y()) + " \"" + text + "\"";
  };
  EXPECT_EQ(ge_lines(BEND, false, tab[0]),
            Lines{glyph_line(BEND, hx(tab[0]), hy(tab[0]), 627, tab[0])});
  EXPECT_EQ(ge_lines(BEND, false, tab[2]),
            Lines{glyph_line(BEND, hx(tab[2]), hy(tab[2]), 628, tab[2])});
  EXPECT_EQ(ge_lines(BEND_RANGE), (Lines{range(tab[0], "Full"), range(tab[2], "2 1/2")}));
}

}  // namespace
