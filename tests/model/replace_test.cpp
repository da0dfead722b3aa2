// replace_test.cpp: the replace primitives.
//   FillRests.*:  rests of fitting values for a gap, triplet gaps, tiny gaps, failures
//   InsertNote.*: replacing notes in time, adding to chords, refusals that change nothing
//   Delete.*:     deleting notes and runs of chords so that rests keep their time
#include "model/replace.h"

#include <gtest/gtest.h>

#include <string>

#include "editing/editing_services.h"
#include "model/durashn.h"
#include "model/model_globals.h"
#include "model/model_services.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "model/undo.h"
#include "model/voice_lists.h"
#include "platform/ticks.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

constexpr int32_t QUARTER_TIME = 16384;

// A note value as its denominator: 1 whole, 2 half, 4 quarter...; 0 the breve.
std::string value_name(int lgval) { return lgval == 0 ? "0" : std::to_string(1 << (lgval - 1)); }

// The values of the notes and rests of a voice, as "q r8 q." (r for rests, . for dots).
std::string rhythm(int v) {
  std::string s;
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    if (p->xkind == BAR) s += "| ";
    if (p->xkind != NOTE) continue;
    if (p->get(xrest)) s += "r";
    s += value_name(p->get(xlgval));
    if (p->get(xtupl) != 1) s += "t" + std::to_string(p->get(xtupl));
    for (int d = 0; d < p->get(xdots); ++d) s += ".";
    if (!p->get(xendvcd)) s += "+";
    s += " ";
  }
  return s;
}

int32_t live_nodes() { return total_Drosa_count - freeCount - undo_node_count; }

void expect_consistent() {
  std::string problems;
  EXPECT_EQ(check_voice_lists(&problems), 0) << problems;
}

Drosa new_note(int lgval, int dots = 0) {
  Drosa n = newDrosa(NOTE, 0);
  n->set(xlgval, lgval);
  n->set(xacc, 3);
  n->set(xdots, dots);
  n->set(xtupl, 1);
  n->set(xintimeof, 4);
  n->set(xendvcd, 1);
  n->set(xdir, 3);
  return n;
}

using FillRests = ModelTest;

std::string fill(int32_t gap, int32_t position, std::vector<RestKind> kinds) {
  Drosa head = newDrosa(NOTE, 0), tail = head;
  int ok = make_fill_rests(gap, position, &tail, kinds.data(), int(kinds.size()));
  std::string s = ok ? "" : "failed ";
  for (Drosa p = head->xnext; p; p = p->xnext) {
    if (p->xkind == NEST) {
      s += "nest" + std::to_string(p->get(xnest_tupl)) + " ";
      continue;
    }
    s += "r" + value_name(p->get(xlgval));
    if (p->get(xtupl) != 1) s += "t" + std::to_string(p->get(xtupl));
    s += " ";
  }
  destroy_Drosa_list(head);
  return s;
}

TEST_F(FillRests, ValuesThatDivideTheGapComeFirst) {
  EXPECT_EQ(fill(3 * QUARTER_TIME, 0, {PLAIN_REST_KIND}), "r4 r2 ");
  EXPECT_EQ(fill(QUARTER_TIME + QUARTER_TIME / 2, QUARTER_TIME / 2, {PLAIN_REST_KIND}), "r8 r4 ");
  EXPECT_EQ(fill(50, 0, {PLAIN_REST_KIND}), "") << "50 units or less is no gap";
  EXPECT_EQ(fill(4 * QUARTER_TIME, 0, {PLAIN_REST_KIND}), "r1 ");
}

TEST_F(FillRests, TripletGapsUseTheTripletKind) {
  RestKind triplet = {4, 3, 8, 1, 4};  // eighth triplets
  EXPECT_EQ(fill(2 * 5461, 5461, {triplet, PLAIN_REST_KIND}), "r8t3 r8t3 ");
  RestKind nested = {4, 3, 8, 3, 8};
  std::string s = fill(QUARTER_TIME / 3, 0, {nested});
  EXPECT_EQ(s.rfind("nest3 ", 0), 0u) << "a NEST only when its multiplier is not 1: " << s;
}

TEST_F(FillRests, AGapNothingFitsFailsAndSaysSoOnceAMinute) {
  platform_advance_ticks(10);
  EXPECT_EQ(fill(300, 0, {PLAIN_REST_KIND}), "failed ");
  ASSERT_EQ(take_reports().size(), 1u);
  EXPECT_EQ(fill(300, 0, {PLAIN_REST_KIND}), "failed ");
  EXPECT_TRUE(take_reports().empty()) << "silent within a minute";
  platform_advance_ticks(3601);
  fill(300, 0, {PLAIN_REST_KIND});
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text, "Unable to make a rest of right length to fill time gap.");
}

class InsertTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    v = new_voice();
  }
  int v = 0;
};

using InsertNotes = InsertTest;

TEST_F(InsertNotes, AQuarterReplacesTwoEighths) {
  insertion_point = add_note(v, EIGHTH);
  add_note(v, EIGHTH);
  add_note(v, HALF);
  add_bar(v);
  EXPECT_EQ(insert_note(new_note(QUARTER), NIL, 0, 1, 0, 1, 0), 1);
  EXPECT_EQ(rhythm(v), "4 2 | ");
  EXPECT_EQ(insertion_point->get(xlgval), HALF) << "the insertion point moves on";
  expect_consistent();
}

TEST_F(InsertNotes, AQuarterOverADottedQuarterLeavesAnEighthRest) {
  insertion_point = add_note(v, QUARTER, 35, 1);
  add_note(v, EIGHTH);
  add_bar(v);
  EXPECT_EQ(insert_note(new_note(QUARTER), NIL, 0, 1, 0, 1, 0), 1);
  EXPECT_EQ(rhythm(v), "4 r8 8 | ");
  expect_consistent();
}

TEST_F(InsertNotes, RefusalsLeaveTheVoiceAndTheStoreUnchanged) {
  add_note(v, HALF);
  add_note(v, QUARTER);
  insertion_point = add_note(v, EIGHTH);
  add_bar(v);
  add_note(v, WHOLE);
  std::string before = rhythm(v);
  int32_t live = live_nodes();
  EXPECT_EQ(insert_note(new_note(QUARTER), NIL, 0, 1, 0, 1, 0), 0);
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text, "Not enough time in measure to insert note.");
  EXPECT_EQ(rhythm(v), before);
  EXPECT_EQ(live_nodes(), live) << "the refused chain went back to the store";
  // Grace notes and normal notes in one chord are refused too.
  Drosa grace = new_note(EIGHTH);
  grace->set(xgrace, 1);
  EXPECT_EQ(insert_note(grace, NIL, 1, 1, 0, 1, 0), 0);
  EXPECT_EQ(take_reports().size(), 1u);
  EXPECT_EQ(insert_note(new_note(QUARTER), NIL, 0, 1, 0, 0, 0), 0) << "silent without report";
  EXPECT_TRUE(take_reports().empty());
  EXPECT_EQ(live_nodes(), live);
  insertion_point = NIL;
  EXPECT_EQ(insert_note(new_note(QUARTER), NIL, 0, 1, 0, 1, 0), 0);
  EXPECT_EQ(live_nodes(), live);
  expect_consistent();
}

TEST_F(InsertNotes, AddingAQuarterToAHalfChordLeavesARestAfterIt) {
  insertion_point = add_note(v, HALF);
  add_bar(v);
  EXPECT_EQ(insert_note(new_note(QUARTER), NIL, 1, 1, 0, 1, 0), 1);
  EXPECT_EQ(rhythm(v), "2+ 4 r4 | ") << "the chord takes a quarter, the rest the other";
  EXPECT_TRUE(insertion_point->get(xrest)) << "the insertion point is on the rest";
  expect_consistent();
}

TEST_F(InsertNotes, UndoGivesBackTheOldNotes) {
  insertion_point = add_note(v, EIGHTH);
  add_note(v, EIGHTH);
  add_bar(v);
  std::string before = rhythm(v);
  set_undo_mark(1);
  insert_note(new_note(QUARTER), NIL, 0, 1, 0, 1, 0);
  set_undo_mark(0);
  undo_redo(1);
  EXPECT_EQ(rhythm(v), before);
  expect_consistent();
}

using Deletes = InsertTest;

TEST_F(Deletes, TheOnlyShortestNoteOfAChordLeavesARest) {
  Drosa first = add_chord(v, HALF, {30, 32});
  first->set(xlgval, QUARTER);  // a quarter in a chord with a half
  delete_to_rests(first, 0, 0);
  EXPECT_EQ(rhythm(v), "2+ r4 ");
  expect_consistent();
}

TEST_F(Deletes, ASelectedRunBecomesRestsOfTheSameTime) {
  add_note(v, QUARTER);
  Drosa a = add_note(v, EIGHTH);
  Drosa b = add_note(v, QUARTER);
  add_note(v, EIGHTH);
  add_bar(v);
  a->set(xselected, 1);
  b->set(xselected, 1);
  delete_to_rests(a, 0, 0);
  EXPECT_EQ(rhythm(v), "4 r8 r4 8 | ");
  expect_consistent();
}

TEST_F(Deletes, WithoutRestsTheRunIsRemoved) {
  add_note(v, QUARTER);
  Drosa a = add_note(v, EIGHTH);
  add_note(v, EIGHTH);
  a->set(xselected, 1);
  delete_to_rests(a, 1, 0);
  EXPECT_EQ(rhythm(v), "4 8 ");
  expect_consistent();
}

}  // namespace
