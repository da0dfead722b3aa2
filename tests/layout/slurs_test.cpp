// slurs_test.cpp: ties and slurs laid out by the page formatter.
//   Ties.*:  a system break splits a tie into two halves on the right systems, matched by
//            position; sides of a tied chord; at most five ties a side go on; a voice's tie
//            ends at its own note when another voice's chords stand between
//   Slurs.*: sides for stems up, down, mixed and shared staves, carried across a system break
//            and into the next page with their style
//   Drawn.*: a system of ties, slurs and glissandi spaced by hand, written as an image
#include "layout/slurs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

#include "graphics/ge_services.h"
#include "layout/layout_fields.h"
#include "layout/layout_services.h"
#include "layout/tuplets.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/port.h"
#include "support/layout_fixture.h"
#include "support/model_fixture.h"
#include "support/page_fixture.h"
#include "support/piece_builder.h"

namespace {

constexpr int TIE = 4, SLUR = 5;

using SlurTest = LetterPageTest;

using Ties = SlurTest;
using Slurs = SlurTest;
using Drawn = SlurTest;

struct Curve {
  int pstaff, end_pstaff;
  int32_t x1, y1, c1y, x2, y2;
  int dash;
  int32_t c1x, c2x, c2y;
};

// The height of the curve where it passes x (sampled along it).
int32_t height_at(const Curve& c, int32_t x) {
  double best_y = c.y1, best_dx = 1e18;
  for (int i = 0; i <= 256; ++i) {
    const double t = i / 256.0, u = 1 - t;
    const double px =
        u * u * u * c.x1 + 3 * u * u * t * c.c1x + 3 * u * t * t * c.c2x + t * t * t * c.x2;
    const double py =
        u * u * u * c.y1 + 3 * u * u * t * c.c1y + 3 * u * t * t * c.c2y + t * t * t * c.y2;
    if (std::abs(px - x) < best_dx) {
      best_dx = std::abs(px - x);
      best_y = py;
    }
  }
  return int32_t(best_y);
}

std::vector<Curve> curves(int var) {
  std::vector<Curve> found;
  for (Drosa p = GE_head->xnext; p; p = p->xnext)
    if (p->xkind == GE_CURVE && p->get(xgv_var) == var)
      found.push_back({p->get(xge_pstaff1), p->get(xge_pstaff2), p->get(xge_x1), p->get(xge_y1),
                       p->get(xgv_c1y), p->get(xge_x2), p->get(xge_y2), p->get(xgv_dash),
                       p->get(xgv_c1x), p->get(xgv_c2x), p->get(xgv_c2y)});
  return found;
}

std::vector<Curve> on_pstaff(const std::vector<Curve>& all, int pstaff) {
  std::vector<Curve> found;
  for (const Curve& c : all)
    if (c.pstaff == pstaff) found.push_back(c);
  return found;
}

int32_t length(int pindex, Drosa note) { return param_length(pindex, note, nullptr); }
int32_t head_x(Drosa note) { return note->xnext->get(xhdx); }
int32_t head_y(Drosa note) { return note->xnext->get(xhdy); }
int32_t head_top(Drosa note) { return head_y(note) + length(P_NOTE_HEAD_HEIGHT, note); }
// Where a tie or slur going on into the next system ends: the staff's right end.
int32_t page_right(int pstaff) { return staff_right_x(pstaff, 1); }

// Gives every note of the voices a pitch word that rises with its position, as entered notes
// have.
void give_pitches() {
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (p->xkind == NOTE) p->set(xpitch, uint16_t((40 + p->get(xmod7)) << 8));
}

// A curve bowing on side (2 above, 1 below) of a note: it starts beyond the head on that
// side and its control points lie further out.
void expect_side(const Curve& c, Drosa note, int side) {
  if (side == 2) {
    EXPECT_GT(c.y1, head_top(note));
    EXPECT_GT(c.c1y, c.y1);
  } else {
    EXPECT_LT(c.y1, head_y(note));
    EXPECT_LT(c.c1y, c.y1);
  }
}

// ---- Ties -------------------------------------------------------------------------------------

TEST_F(Ties, ASystemBreakSplitsATieIntoTwoHalvesMatchedByPosition) {
  int v = new_voice("Flute", 0, 0), w = new_voice("Oboe", 0, 1);
  Drosa a = add_note(v, WHOLE, 30);
  a->set(xtie, 2);
  Drosa c = add_note(w, WHOLE, 33);
  c->set(xtie, 1);
  Drosa breaks[2] = {add_system_break(v), add_system_break(w)};
  Drosa b = add_note(v, WHOLE, 30);
  add_note(w, WHOLE, 34);  // another position: w's tie goes no further
  give_pitches();
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
  EXPECT_EQ(breaks[0]->get(xsys_tieup, 0), 30);
  EXPECT_EQ(breaks[1]->get(xsys_tiedown, 0), 33);
  EXPECT_EQ(a->xnext->get(xtieup), 1);
  EXPECT_EQ(c->xnext->get(xtieup), 0);

  std::vector<Curve> ties = curves(TIE);
  ASSERT_EQ(ties.size(), 3u);
  // v's first half: from its head to the right edge of system 1, above the head.
  std::vector<Curve> first = on_pstaff(ties, 0), second = on_pstaff(ties, 2);
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].x1,
            head_x(a) + hdw(a, 0) + length(P_SPACE_LEFT_BETWEEN_TIE_END_AND_NOTE_HEAD, a));
  EXPECT_EQ(first[0].x2, page_right(0) - length(P_SPACE_LEFT_BETWEEN_TIE_END_AND_NOTE_HEAD, a));
  EXPECT_EQ(first[0].y1, first[0].y2);
  expect_side(first[0], a, 2);
  // Its second half on system 2 (pstaff 2), from the left edge to b, at the same height over
  // its staff.
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(second[0].x1, staff_data[2].first_note_x -
                              length(P_TIES_AND_SLURS_ONTO_SYSTEM_EXTEND_THIS_FAR_TO_LEFT, b));
  EXPECT_EQ(second[0].x2, head_x(b) - length(P_SPACE_LEFT_BETWEEN_TIE_END_AND_NOTE_HEAD, b));
  EXPECT_EQ(second[0].y1 - staff_data[2].middle_y, first[0].y1 - staff_data[0].middle_y);
  // w: only the half to the edge; nothing on pstaff 3.
  EXPECT_EQ(on_pstaff(ties, 1).size(), 1u);
  expect_side(on_pstaff(ties, 1)[0], c, 1);
  EXPECT_TRUE(on_pstaff(ties, 3).empty());
}

TEST_F(Ties, HalvesWidenedToTheShortestTieStayWithinTheirSystems) {
  // Both halves are shorter than the shortest tie: they grew at both ends alike, past the
  // staff's right end and back over the next system's clef.
  param[P_SHORTEST_TIE_OR_SLUR_SYMBOL].value.set_integer(7000);
  int v = new_voice("Flute", 0, 0);
  Drosa a = add_note(v, WHOLE, 30);
  a->set(xtie, 2);
  add_system_break(v);
  Drosa b = add_note(v, WHOLE, 30);
  give_pitches();
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
  std::vector<Curve> first = on_pstaff(curves(TIE), 0), second = on_pstaff(curves(TIE), 1);
  ASSERT_EQ(first.size(), 1u);
  ASSERT_EQ(second.size(), 1u);
  EXPECT_EQ(first[0].x2, page_right(0) - length(P_SPACE_LEFT_BETWEEN_TIE_END_AND_NOTE_HEAD, a));
  EXPECT_EQ(first[0].x2 - first[0].x1, 7000);
  EXPECT_EQ(second[0].x1, staff_data[1].first_note_x -
                              length(P_TIES_AND_SLURS_ONTO_SYSTEM_EXTEND_THIS_FAR_TO_LEFT, b));
  EXPECT_EQ(second[0].x2 - second[0].x1, 7000);
}

TEST_F(Ties, AChordTiesLowestBelowHighestAboveAndATieWithNoNoteAtItsEndIsDropped) {
  int v = new_voice();
  Drosa low = add_chord(v, HALF, {28, 30, 32});
  Drosa middle = low->xnext, high = middle->xnext;
  for (Drosa n : {low, middle, high}) n->set(xtie, 3);
  add_chord(v, HALF, {28, 30, 32});
  add_note(v, QUARTER, 35)->set(xtie, 3);
  add_rest(v, QUARTER);
  add_note(v, QUARTER, 35);  // comes after the tie's end: no curve
  give_pitches();
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
  const int middle_side = middle->xnext->get(xstmdir) == 2 ? 1 : 2;  // away from the stem
  EXPECT_EQ(low->xnext->get(xtieup), 0);
  EXPECT_EQ(middle->xnext->get(xtieup), middle_side == 2);
  EXPECT_EQ(high->xnext->get(xtieup), 1);
  std::vector<Curve> ties = curves(TIE);
  ASSERT_EQ(ties.size(), 3u);
  expect_side(ties[0], low, 1);
  expect_side(ties[1], middle, middle_side);
  expect_side(ties[2], high, 2);
}

TEST_F(Ties, OnlyFiveTiesASideGoOnIntoTheNextSystem) {
  int v = new_voice();
  Drosa first = add_chord(v, WHOLE, {24, 26, 28, 30, 32, 34});
  for (Drosa n = first; n->xkind == NOTE; n = n->xnext) n->set(xtie, 2);
  Drosa brk = add_system_break(v);
  add_chord(v, WHOLE, {24, 26, 28, 30, 32, 34});
  give_pitches();
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
  int recorded = 0;
  for (int i = 0; i < 5; ++i) recorded += brk->get(xsys_tieup, i) != 0;
  EXPECT_EQ(recorded, 5);
  EXPECT_EQ(on_pstaff(curves(TIE), 0).size(), 6u) << "each still drawn to the edge";
  EXPECT_EQ(on_pstaff(curves(TIE), 1).size(), 5u);
}

TEST_F(Ties, TwoVoicesOnAStaffTieTheirOwnNotesWhateverStandsBetween) {
  int v = new_voice("Piano", 0, 0), w = new_voice("Piano", 1, 0);
  Drosa start = add_note(v, HALF, 35);
  start->set(xtie, 3);
  Drosa end = add_note(v, HALF, 35);
  add_note(w, QUARTER, 26);
  for (int i = 0; i < 3; ++i) make_tuplet(add_note(w, EIGHTH, 28), 3, 2);  // chords between
  add_note(w, HALF, 26);
  give_pitches();
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
  Drosa next_chord = chord_last_note(start)->xnext->get(xpnext);
  ASSERT_NE(cddatptr(next_chord, 1), cddatptr(end, 1)) << "w's chords stand in the layer between";
  std::vector<Curve> ties = curves(TIE);
  ASSERT_EQ(ties.size(), 1u);
  EXPECT_LT(ties[0].x2, staff_right_x(0, 1)) << "it ends at the note, not at the system's end";
  EXPECT_EQ(voice_end(v)->get(xsys_tiedown, 0) + voice_end(v)->get(xsys_tieup, 0), 0);
}

// ---- Slurs ------------------------------------------------------------------------------------

TEST_F(Slurs, SidesFollowTheStemsAndGoOnIntoTheNextSystem) {
  struct Case {
    const char* what;
    int staff, first_stem, second_stem, kind;
    int side;
  } cases[] = {
      {"stems up", 0, 2, 2, 3, 1},
      {"stems down", 1, 1, 1, 3, 2},
      {"mixed stems", 2, 2, 1, 3, 2},
      {"asked below", 3, 1, 1, 1, 1},
      {"sharing a staff, stems up", 4, 2, 2, 3, 2},
      {"sharing a staff, stems down", 4, 1, 1, 3, 1},
  };
  constexpr int STAVES = 5;
  std::vector<Drosa> firsts, breaks;
  for (const Case& c : cases) {
    int v = new_voice("Choir", int(firsts.size()), c.staff);
    Drosa n1 = add_note(v, QUARTER, 31), n2 = add_note(v, QUARTER, 31);
    n1->set(xdir, c.first_stem);
    n2->set(xdir, c.second_stem);
    n1->set(xslur, c.kind);
    n2->set(xslur, c.kind);  // the slur goes on past the system's end
    breaks.push_back(add_system_break(v));
    add_note(v, QUARTER, 31)->set(xdir, c.second_stem);
    firsts.push_back(n1);
  }
  give_pitches();
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
  std::vector<Curve> slurs = curves(SLUR);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.what);
    Drosa n1 = firsts[i];
    EXPECT_EQ(breaks[i]->get(xsys_slurup), c.side == 2);
    EXPECT_EQ(breaks[i]->get(xsys_slurdown), c.side == 1);
    std::vector<Curve> mine;
    for (int p : {c.staff, c.staff + STAVES})
      for (const Curve& s : on_pstaff(slurs, p))
        if ((s.c1y > s.y1) == (c.side == 2)) mine.push_back(s);
    ASSERT_EQ(mine.size(), 2u);
    expect_side(mine[0], n1, c.side);
    EXPECT_EQ(mine[0].x1, head_x(n1) + slur_end_xoffset(n1, c.first_stem == c.side, c.side));
    EXPECT_EQ(mine[0].x2, page_right(c.staff));
    EXPECT_EQ(mine[1].x1, staff_data[STAVES].first_note_x -
                              length(P_TIES_AND_SLURS_ONTO_SYSTEM_EXTEND_THIS_FAR_TO_LEFT, n1));
    EXPECT_EQ(mine[1].y1, mine[1].y2) << "the start takes the end's height";
    // Room beyond the slur is kept for what stacks on the chord after it.
    Drosa cd = cddatptr(n1, 1);
    const int32_t room = length(P_SPACE_LEFT_BETWEEN_SLUR_END_AND_NOTEHEAD, n1) +
                         length(P_EXTRA_SPACE_BETWEEN_SLUR_END_AND_ACCENT_FERMATA_SYMBOLS, n1);
    if (c.side == 2)
      EXPECT_GE(get_max_hiy(cd), head_top(n1) + room);
    else
      EXPECT_LE(get_min_loy(cd), head_y(n1) - room);
  }
}

TEST_F(Slurs, ADashedSlurRunsIntoTheNextPage) {
  int v = new_voice();
  Drosa n1 = add_note(v, QUARTER, 31);
  n1->set(xslur, 2);
  n1->set(xdashslur, 1);
  Drosa page_end = add_system_break(v, true);
  Drosa n2 = add_note(v, QUARTER, 31);
  count_pages();
  ASSERT_EQ(page_count, 2);
  ASSERT_EQ(format_page(1, 0), 1);
  EXPECT_EQ(page_end->get(xsys_slurup), 1);
  EXPECT_EQ(page_end->get(xsys_dash_slurup), 1);
  const int dash = param_value(P_DASH_LENGTH_IN_DASHED_TIES_AND_SLURS, n1, nullptr)->integer();
  std::vector<Curve> before = curves(SLUR);
  ASSERT_EQ(before.size(), 1u);
  EXPECT_EQ(before[0].x2, page_right(0));
  EXPECT_EQ(before[0].dash, dash);

  int32_t first_y = 0;
  for (int format = 0; format < 2; ++format) {  // a reformat draws it once again
    ASSERT_EQ(format_page(2, 0), 1);
    std::vector<Curve> after = curves(SLUR);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].x1, staff_data[0].first_note_x -
                               length(P_TIES_AND_SLURS_ONTO_SYSTEM_EXTEND_THIS_FAR_TO_LEFT, n2));
    EXPECT_EQ(after[0].x2, head_x(n2) + slur_end_xoffset(n2, n2->xnext->get(xstmdir) == 2, 2));
    // Above the up-stem's end, which the chord's drawn stem reaches: higher than the head.
    EXPECT_GT(after[0].y1, head_top(n2) + length(P_SPACE_LEFT_BETWEEN_SLUR_END_AND_NOTEHEAD, n2));
    if (format == 1) EXPECT_EQ(after[0].y1, first_y) << "a reformat puts it in the same place";
    first_y = after[0].y1;
    EXPECT_EQ(after[0].dash, dash);
  }
}

// ---- Drawn ------------------------------------------------------------------------------------

TEST_F(Drawn, ASystemOfTiesSlursAndGlissandiSpacedByHand) {
  int v = new_voice("Piano", 0, 0), w = new_voice("Piano", 1, 1);
  std::vector<Drosa> top;
  for (int pos : {38, 52, 40, 47, 39, 37, 37, 45}) top.push_back(add_note(v, QUARTER, pos));
  for (int i : {0, 1, 4, 5}) top[i]->set(xslur, 3);
  top[5]->set(xtie, 3);
  top[3]->set(xgliss, 1);
  top[3]->set(xpitch, 70 << 8);
  top[4]->set(xpitch, 66 << 8);
  top[7]->set(xtie, 2);  // tied past the system's end
  Drosa chord = add_chord(w, HALF, {40, 42, 44});
  for (Drosa n = chord;; n = n->xnext) {
    n->set(xtie, 3);
    if (n->get(xendvcd)) break;
  }
  add_chord(w, HALF, {40, 42, 44});
  Drosa low = add_note(w, HALF, 36);
  low->set(xslur, 1);
  add_note(w, HALF, 41);
  add_system_break(v);
  add_system_break(w);
  give_pitches();
  ASSERT_EQ(format_one_system(), 1);
  for (int p = 0; p < 2; ++p)  // spaced as the spacing pass will: by time
    for (Drosa n = staff_data[p].ppnt[0]->xnext->get(xpnext); n; n = n->xnext->get(xpnext))
      n->xnext->set(xhdx, 600 + cddatptr(n, 1)->xnext->get(xswholec) / 30);
  set_first_note_x(600);
  ASSERT_EQ(plot_page(), 1);
  ASSERT_EQ(group_tuplets(), 1);
  ASSERT_EQ(layout_slurs(), 1);
  ASSERT_EQ(curves(SLUR).size(), 3u);
  // The first slur clears the high chord it passes on its way.
  EXPECT_GT(height_at(curves(SLUR)[0], head_x(top[1])), head_top(top[1]));
  EXPECT_EQ(curves(TIE).size(), 5u);

  std::filesystem::path build = std::filesystem::current_path().parent_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt")) return;
  ASSERT_EQ(offscreen_create(10, 85, 125, 0, 0), 1);
  offscreen_erase();
  platform_set_port(offscreen_page);
  plot_GE_list(port_bounds(offscreen_page), PLOT_SCREEN, 0);
  platform_set_port(nullptr);
  std::filesystem::path folder = build / "test-output" / "layout";
  std::filesystem::create_directories(folder);
  EXPECT_TRUE(port_save_png(offscreen_page, (folder / "ties_slurs.png").c_str()));
  offscreen_dispose();
}

}  // namespace
