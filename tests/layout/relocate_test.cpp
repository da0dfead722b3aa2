// relocate_test.cpp: justification of a system by springs and rods.
//   Justify.*: a line filled to the staff's right edge in ideal proportion; relocation zones
//              honoured, stale ones removed with undo, too many refused; the guarded edges
//              (a zone with no spring, a spring of no stiffness, an overfull line, a grace run)
//   Rods.*:    which rods are kept
//   Pages.*:   through the page formatter: every spring and rod goes back to the store
//
// The system is laid out by the passes before the spacing pass; the test then spaces it as
// the spacing pass would (packed and ideal x of every chord, the end of the system) and the
// expectations follow from the justification's formulas: a spring of ideal length g has
// stiffness 30000 / g, a packed distance is a rod, the right edge is the last zone, and
// springs under one force F are F / k long.
#include "layout/relocate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "graphics/ge_services.h"
#include "layout/layout_globals.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "support/layout_fixture.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

struct Chord {
  Drosa note, cd, cd2;
  int32_t x() const { return note->xnext->get(xhdx); }
};

// The chords of pstaff 0, layer 0, in order.
std::vector<Chord> chords() {
  std::vector<Chord> found;
  Drosa note = staff_data[0].ppnt[0]->xnext->get(xpnext);
  for (; note; note = note->xnext->get(xpnext)) {
    Drosa first = note;
    while (!note->xnext->get(xendscd)) note = note->xnext->get(xpnext);
    found.push_back({first, note->xnext->xnext, note->xnext->xnext->xnext});
  }
  return found;
}

class Justify : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    set_options_i32(1, OPTIONS_PAGE_WIDTH, 85);  // 6120 units
    current_page = 1;
  }
  void TearDown() override {
    destroy_pstaff_lists();
    ModelTest::TearDown();
  }
  // Lays the system out up to the spacing pass; the staff's left and right x into left and
  // right, and the first chord's packed x (L) 100 right of the staff's start.
  void prepare() {
    ASSERT_EQ(format_one_system(), 1);
    left = staff_left_x(0, current_page);
    right = staff_right_x(0, current_page);
    L = left + 100;
  }
  // Spaces it: chord i packed at origins[i] (its heads there too) and ideally at ideals[i];
  // the system ends at end_x, ideally at end_ideal, and needs `trailing` behind its last chord.
  std::vector<Chord> space(std::vector<int32_t> origins, std::vector<int32_t> ideals, int32_t end_x,
                           int32_t end_ideal, int32_t trailing = 60) {
    std::vector<Chord> line = chords();
    EXPECT_EQ(line.size(), origins.size());
    for (size_t i = 0; i < line.size() && i < origins.size(); ++i) {
      line[i].cd->set(xorigin, origins[i]);
      line[i].cd2->set(xidealx, ideals[i]);
      line[i].note->xnext->set(xhdx, origins[i]);
    }
    set_first_note_x(origins[0]);
    spacing_x = end_x;
    spacing_idealx = end_ideal;
    spacing_staff[0].trailing_width = trailing;
    system_end_time = end_time_of_voices();
    return line;
  }
  // The system's end from its start, as the spacing pass leaves it: the longest voice.
  static int32_t end_time_of_voices() {
    int32_t end = 0;
    for (int v = 0; v < voice_count; ++v)
      if (voice_data[v].system_end)
        end = std::max(end, find_time_in_system(voice_data[v].system_end));
    return end;
  }
  int32_t left = 0, right = 0, L = 0;
};

using Rods = ModelTest;
using JustifyPages = Justify;

// A half note and two quarters: ideal x 0, 200, 300, the end at 400, so the springs have
// stiffness 150, 300 and 300. Packed 60 apart with 60 behind the last chord, each spring
// first carries 60 units (forces 9000, 18000, 18000); the right edge asks W of all three.
// Raised in series to one force F, their lengths F/150 + F/300 + F/300 = W give F = 75 W:
// the half note takes W/2 and each quarter W/4, and the end bar lands on the right edge.
TEST_F(Justify, ALineFillsTheStaffInIdealProportionAndItsEndBarMeetsTheRightEdge) {
  int v = new_voice();
  add_note(v, HALF);
  Drosa clef = add_clef(v, 2);
  add_note(v, QUARTER);
  add_note(v, QUARTER);
  Drosa end_bar = add_bar(v);
  prepare();
  L += (right - L) % 4;
  std::vector<Chord> line = space({L, L + 60, L + 120}, {0, 200, 300}, L + 180, 400);
  const int32_t W = right - L;
  ASSERT_EQ(W % 4, 0);
  clef->set(xcleforigin, L + 60);
  clef->set(xclefx, L + 20);  // 40 before its chord
  end_bar->set(xbarx, L + 180);
  const int32_t free_before = freeCount;

  ASSERT_EQ(relocate(1), 1);
  EXPECT_EQ(line[0].x(), L);
  EXPECT_EQ(line[1].x(), L + W / 2);
  EXPECT_EQ(line[2].x(), L + 3 * W / 4);
  EXPECT_EQ(clef->get(xclefx), L + W / 2 - 40) << "the clef keeps its place before its chord";
  EXPECT_NEAR(end_bar->get(xbarx), right, 1);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(line[size_t(i)].cd2->get(xreloc_spring), i);
  EXPECT_EQ(freeCount, free_before) << "every spring and rod is back in the store";
  EXPECT_EQ(spring_head, NIL);
  EXPECT_EQ(rod_head, NIL);
}

// A ZONE pins the first quarter at T = left + 400/1000 of the staff; the half note's spring
// takes T - L, and the two quarters share the rest equally (the same stiffness).
TEST_F(Justify, AZoneIsHonouredAndAStaleOneGoesWithTheEditThatMadeItStale) {
  int v = new_voice();
  Drosa half = add_note(v, HALF);
  Drosa zone = add(v, ZONE);
  Drosa quarter = add_note(v, QUARTER);
  add_note(v, QUARTER);
  zone->set(xzone_xpermil, 400);
  zone->set(xzone_wholec, 32768);
  zone->set(xzone_sys_wholec, 65536);
  prepare();
  std::vector<Chord> line = space({L, L + 60, L + 120}, {0, 200, 300}, L + 180, 400);
  const int32_t T = left + 400 * (right - left) / 1000;
  ASSERT_EQ(relocate(1), 1);
  EXPECT_EQ(line[1].x(), T);
  EXPECT_NEAR(line[2].x(), T + (right - T) / 2, 1);
  EXPECT_EQ(line[2].cd2->get(xreloc_zone), 1);
  EXPECT_EQ(find_zone(quarter), zone) << "a zone in use stays";

  // The zone was made when the system had another length; the user's last edit (here a
  // staccato, recorded for undo) left it out of date. Formatting removes it within that step.
  zone->set(xzone_sys_wholec, 49152);
  set_undo_mark(1);
  modifyvc_with_undo(half);
  half->set(xstacc, 1);
  DrosaDirty = 0;
  line = space({L, L + 60, L + 120}, {0, 200, 300}, L + 180, 400);
  ASSERT_EQ(relocate(1), 1);
  EXPECT_EQ(find_zone(quarter), NIL);
  EXPECT_EQ(DrosaDirty, DIRTY_LAYOUT) << "formatting changed the piece";
  EXPECT_NEAR(line[2].x(), L + 3 * (right - L) / 4, 1) << "justified as without a zone";
  set_undo_mark(0);
  undo_redo(1);
  EXPECT_EQ(half->get(xstacc), 0);
  Drosa back = find_prev_kind_stop(ZONE, quarter, 0);
  ASSERT_NE(back, NIL) << "one Undo gives back the edit and the zone together";
  EXPECT_EQ(back->get(xzone_xpermil), 400);
}

TEST_F(Justify, TheFortyNinthZoneOfASystemIsRefused) {
  int v = new_voice();
  std::vector<Drosa> zones;
  for (int i = 0; i < 50; ++i) {
    if (i > 0) zones.push_back(add(v, ZONE));
    add_note(v, SIXTEENTH);
  }
  prepare();
  std::vector<int32_t> origins, ideals;
  for (int i = 0; i < 50; ++i) {
    origins.push_back(L + 10 * i);
    ideals.push_back(30 * i);
  }
  for (size_t i = 0; i < zones.size(); ++i) {
    zones[i]->set(xzone_xpermil, int16_t(100 + 10 * i));
    zones[i]->set(xzone_wholec, int32_t(4096 * (i + 1)));
    zones[i]->set(xzone_sys_wholec, 4096 * 50);
  }
  std::vector<Chord> line = space(origins, ideals, L + 500, 1500);
  ASSERT_EQ(relocate(1), 1);
  std::vector<Report> got = take_reports();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].level, 2);
  EXPECT_EQ(got[0].text, "Too many relocation zones on one system!");
  EXPECT_EQ(line[48].cd2->get(xreloc_zone), 48);
  EXPECT_EQ(line[48].x(), left + (100 + 10 * 47) * (right - left) / 1000);
  EXPECT_EQ(line[49].cd2->get(xreloc_zone), 48) << "the 49th zone is not used";
  EXPECT_NE(find_zone(line[49].note), NIL) << "but stays in the piece";
}

TEST_F(Justify, GuardedEdges) {
  {
    SCOPED_TRACE(
        "a zone on the first chord has no spring before it: the chord goes to its "
        "target, nothing is divided by zero");
    int v = new_voice();
    Drosa zone = add(v, ZONE);
    add_note(v, HALF);
    add_note(v, HALF);
    zone->set(xzone_xpermil, 200);
    zone->set(xzone_sys_wholec, 65536);
    prepare();
    std::vector<Chord> line = space({L, L + 60}, {0, 200}, L + 120, 400);
    const int32_t T = left + 200 * (right - left) / 1000;
    ASSERT_EQ(relocate(1), 1);
    EXPECT_EQ(line[0].x(), T);
    EXPECT_NEAR(line[1].x(), T + (right - T) / 2, 1);
    TearDown();
    SetUp();
  }
  {
    SCOPED_TRACE(
        "an ideal distance over 30000 still gives a spring that holds the chords "
        "apart: it takes all the width the last chord leaves");
    int v = new_voice();
    add_note(v, BREVE);
    add_note(v, QUARTER);
    prepare();
    std::vector<Chord> line = space({L, L + 60}, {0, 40000}, L + 120, 40100);
    ASSERT_EQ(relocate(1), 1);
    EXPECT_EQ(line[0].x(), L);
    EXPECT_EQ(line[1].x(), right - 60);
    TearDown();
    SetUp();
  }
  {
    SCOPED_TRACE(
        "an overfull line is squeezed (f < 1); an accidental next to its head stays there, "
        "neither wrapping round to 'no accidental' nor reported");
    int v = new_voice();
    add_note(v, QUARTER);
    Drosa sharp = add_note(v, QUARTER);
    sharp->set(xacc, 4);
    sharp->set(xaccplot, 1);
    prepare();
    const int32_t W = right - L;
    std::vector<Chord> line = space({L, L + 2 * W}, {0, 100}, L + 4 * W, 200, 2 * W);
    sharp->xnext->set(xaccx, 0);
    ASSERT_EQ(relocate(1), 1);
    EXPECT_NEAR(line[1].x(), L + W / 2, 1) << "packed 2W of 4W: half the staff";
    EXPECT_EQ(sharp->xnext->get(xaccx), 0);
    EXPECT_TRUE(take_reports().empty());
    TearDown();
    SetUp();
  }
  {
    SCOPED_TRACE("a grace chord that takes no spring keeps its packed distance to its note");
    int v = new_voice();
    add_note(v, HALF);
    add_grace(v, EIGHTH);
    add_note(v, HALF);
    prepare();
    std::vector<Chord> line = space({L, L + 60, L + 100}, {0, 200, 201}, L + 160, 401);
    line[1].cd2->set(xreloc_spring, -1);
    ASSERT_EQ(relocate(1), 1);
    EXPECT_GT(line[2].x(), L + 100);
    EXPECT_EQ(line[1].x(), line[2].x() - 40);
  }
}

// Springs 0 and 1 of stiffness 100 carry nothing; 100 units over both need the force F with
// F/100 + F/100 = 100, F = 5000.
TEST_F(Rods, OnlyTheLongerOfTwoRodsIsKeptAndAReachedOneGoes) {
  add_spring(100, 0);
  add_spring(100, 0);
  new_rod(0, 1, 100);
  ASSERT_NE(rod_head, NIL);
  EXPECT_FLOAT_EQ(rod_force(rod_head), 5000);
  new_rod(0, 1, 80);
  new_rod(0, 1, 120);
  EXPECT_EQ(rod_head, rod_tail);
  EXPECT_EQ(rod_head->get(xrodlength), 120);
  EXPECT_FLOAT_EQ(rod_force(rod_head), 6000);
  new_rod(1, 1, 130);  // spring 1 alone is now 130 long: the rod is reached
  EXPECT_EQ(rod_head, NIL);
  EXPECT_FLOAT_EQ(spring_minforce(find_spring(1)), 13000);
  new_rod(0, 1, 100);
  EXPECT_EQ(rod_head, NIL) << "springs that already reach a rod's length store none";
  new_rod(4, 6, 100);
  ASSERT_EQ(take_reports().size(), 1u);  // no spring in range: force 0
  destroy_springs_and_rods();
  EXPECT_EQ(spring_count, 0);
}

// Through the page formatter (with the spacing pass still leaving every chord at x 0): the
// page formats, formats again at the same cost in nodes (besides the copy of the page kept for
// printing once it formats without a change), and a zone out of date goes.
TEST_F(JustifyPages, EverySpringAndRodGoesBackToTheStore) {
  int v = new_voice();
  int w = new_voice("Oboe", 0, 1);
  for (int u : {v, w}) {
    add_note(u, QUARTER);
    add_bar(u);
    add_note(u, HALF);
  }
  Drosa zone = add_after(find_next_kind(BAR, piece_start[v]), ZONE);
  zone->set(xzone_sys_wholec, 1);
  GE_head = newDrosa(GE_CHAR, 0);
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
  const int32_t free_after_first = freeCount + int32_t(kept_page_nodes());
  ASSERT_EQ(format_page(1, 0), 1);
  EXPECT_EQ(freeCount + int32_t(kept_page_nodes()), free_after_first);
  EXPECT_EQ(find_next_kind(ZONE, piece_start[v]), NIL);
}

}  // namespace
