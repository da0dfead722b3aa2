// undo_test.cpp: the undo and redo histories.
//   RoundTrips.*: insert, remove and modify, undone and redone, give back the exact lists
//   Steps.*:      several steps in order; a new edit discards what could be redone
//   Reclaim.*:    trimming the oldest step when the store runs low, never mid-replay
//   Failures.*:   bad calls, and histories that no longer fit the piece or their replay
#include "model/undo.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "editing/editing_services.h"
#include "model/model_globals.h"
#include "model/model_services.h"
#include "model/node_kinds.h"
#include "model/voice_lists.h"
#include "platform/memory.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

// The stored bytes of every node of a voice, in order, one line of hex per node.
using Snapshot = std::string;
Snapshot snapshot(int v) {
  std::string s;
  char hex[4];
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    for (int b = 8; b < DROSA_NODE_SIZE; ++b) {
      std::snprintf(hex, sizeof hex, "%02x", p->bytes()[b]);
      s += hex;
    }
    s += "\n";
  }
  return s;
}

void expect_consistent() {
  std::string problems;
  EXPECT_EQ(check_voice_lists(&problems), 0) << problems;
  // Every node is free, in a voice, in a history, or a template.
  int32_t in_voices = 0;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext) ++in_voices;
  EXPECT_EQ(total_Drosa_count - freeCount, in_voices + undo_node_count + 5);
  EXPECT_EQ(undo_node_count, undo_list_length(0) + undo_list_length(1));
}

// Undo and Redo as the command dispatch runs them: a mark first, then the replay.
void undo() {
  set_undo_mark(0);
  undo_redo(1);
}
void redo() {
  set_undo_mark(0);
  undo_redo(0);
}

class UndoTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    v = new_voice();
    a = add_note(v, QUARTER, 30);
    b = add_note(v, QUARTER, 31);
    add_bar(v);
    c = add_note(v, HALF, 32);
  }
  int v = 0;
  Drosa a, b, c;
};

using RoundTrips = UndoTest;
using Steps = UndoTest;
using Reclaim = UndoTest;
using Failures = UndoTest;

TEST_F(RoundTrips, InsertRemoveAndModify) {
  struct Edit {
    const char* name;
    void (*apply)(Drosa a, Drosa b, Drosa c);
  } edits[] = {
      {"insert",
       [](Drosa a, Drosa, Drosa) {
         Drosa n = newDrosa(NOTE, 0), m = newDrosa(CLEF, 0);
         link_after(m, n);
         insertvc_with_undo(n, m, a);
       }},
      {"remove", [](Drosa, Drosa b, Drosa c) { removevc_list_with_undo(b->xnext, c); }},
      {"modify",
       [](Drosa a, Drosa, Drosa) {
         modifyvc_with_undo(a);
         a->set(xlgval, WHOLE);
         a->xcontext = 3;
       }},
      {"copy in", [](Drosa a, Drosa b, Drosa c) { insertvc_list_with_undo(a, b, c); }},
      {"insert after an insertion that then goes",
       [](Drosa a, Drosa, Drosa) {
         // Undone, the removal is replayed first and gives the second insertion its place.
         Drosa first = newDrosa(CLEF, 0), second = newDrosa(CLEF, 0);
         insertvc_node_with_undo(first, a);
         insertvc_node_with_undo(second, first);
         removevc_with_undo(first);
       }},
  };
  for (const Edit& e : edits) {
    Snapshot before = snapshot(v);
    set_undo_mark(1);
    e.apply(a, b, c);
    Snapshot after = snapshot(v);
    EXPECT_NE(after, before) << e.name;
    expect_consistent();
    undo();
    EXPECT_EQ(snapshot(v), before) << e.name << " undone";
    expect_consistent();
    redo();
    EXPECT_EQ(snapshot(v), after) << e.name << " redone";
    expect_consistent();
    undo();
    EXPECT_EQ(snapshot(v), before) << e.name << " undone again";
    clear_undo(1);
  }
  EXPECT_EQ(undo_node_count, 0);
}

TEST_F(RoundTrips, RemovedNoteComesBackAfterItsLayoutRecordsUnselected) {
  Drosa nt = add_after(a, NTDATA);
  b->set(xselected, 1);
  set_undo_mark(1);
  removevc_with_undo(b);
  undo();
  EXPECT_EQ(nt->xnext, b) << "after the note's layout record";
  EXPECT_EQ(b->get(xselected), 0);
  expect_consistent();
}

TEST_F(RoundTrips, UndoingAModifyKeepsTheKind) {
  set_undo_mark(1);
  modifyvc_with_undo(c);
  c->set(xdots, 2);
  undo();
  EXPECT_EQ(c->get(xdots), 0);
  EXPECT_EQ(c->xkind, NOTE);
}

TEST_F(Steps, SeveralStepsUndoneAndRedoneInOrder) {
  std::vector<Snapshot> states = {snapshot(v)};
  for (int step = 0; step < 3; ++step) {
    set_undo_mark(1);
    Drosa n = newDrosa(NOTE, 0);
    n->set(xlgval, step);
    insertvc_node_with_undo(n, a);
    states.push_back(snapshot(v));
  }
  for (int step = 3; step > 0; --step) {
    undo();
    EXPECT_EQ(snapshot(v), states[step - 1]) << step;
  }
  EXPECT_EQ(undo_heads[0], NIL) << "the oldest step undone empties the undo list";
  undo();  // nothing left: nothing happens
  EXPECT_EQ(snapshot(v), states[0]);
  for (int step = 1; step <= 3; ++step) {
    redo();
    EXPECT_EQ(snapshot(v), states[step]) << step;
  }
  expect_consistent();
}

TEST_F(Steps, ANewEditDiscardsWhatCouldBeRedone) {
  set_undo_mark(1);
  modifyvc_with_undo(a);
  a->set(xdots, 1);
  undo();
  EXPECT_NE(undo_heads[1], NIL);
  set_undo_mark(1);
  modifyvc_with_undo(b);
  EXPECT_EQ(undo_heads[1], NIL);
  Snapshot now = snapshot(v);
  redo();
  EXPECT_EQ(snapshot(v), now) << "nothing to redo";
  expect_consistent();
}

TEST_F(Steps, TrailingMarksAreReusedAndDropped) {
  set_undo_mark(1);
  set_undo_mark(1);
  EXPECT_EQ(undo_list_length(0), 1);
  drop_last_mark();
  EXPECT_EQ(undo_list_length(0), 1) << "a list of one MARK keeps it";
  modifyvc_with_undo(a);
  set_undo_mark(0);
  EXPECT_EQ(undo_list_length(0), 4);
  drop_last_mark();
  EXPECT_EQ(undo_list_length(0), 3);
  expect_consistent();
}

TEST_F(Reclaim, OldestStepGoesWhenTheStoreRunsLow) {
  for (int step = 0; step < 2; ++step) {
    set_undo_mark(1);
    modifyvc_with_undo(a);
  }
  set_undo_mark(0);
  int32_t held = undo_node_count;
  reclaim_undo_nodes();
  EXPECT_EQ(undo_node_count, held - 3) << "the first MARK, the UNDO and its copy";
  expect_consistent();
  reclaim_undo_nodes();
  EXPECT_EQ(undo_node_count, 0);
  reclaim_undo_nodes();
  EXPECT_EQ(undo_node_count, 0);
}

TEST_F(Reclaim, AnUnfinishedStepIsKept) {
  set_undo_mark(1);
  modifyvc_with_undo(a);
  int32_t held = undo_node_count;
  reclaim_undo_nodes();
  EXPECT_EQ(undo_node_count, held);
}

TEST_F(Reclaim, NearlyEmptyStoreTrimsHistoryAndKeepsThePiece) {
  // Build a long history, then drain the store to its low-water mark.
  for (int step = 0; step < 20; ++step) {
    set_undo_mark(1);
    modifyvc_with_undo(a);
    a->set(xdots, step % 3);
  }
  set_undo_mark(0);
  Snapshot piece = snapshot(v);
  int32_t held = undo_node_count;
  std::vector<Drosa> taken;
  while (freeCount > 10) taken.push_back(newDrosa(CLEF, 0));
  taken.push_back(newDrosa(CLEF, 0));
  EXPECT_LT(undo_node_count, held) << "the oldest step was freed";
  EXPECT_GT(freeCount, 9);
  EXPECT_EQ(snapshot(v), piece);
  for (Drosa t : taken) destroyDrosa(t);
  undo();
  expect_consistent();
}

// While a step is replayed only older steps go: the one replayed stays.
TEST_F(Reclaim, WhileReplayingOnlyOlderStepsGo) {
  for (int step = 0; step < 2; ++step) {
    set_undo_mark(1);
    modifyvc_with_undo(a);
  }
  set_undo_mark(0);
  undo_replaying = true;
  const int32_t held = undo_node_count;
  reclaim_undo_nodes();
  EXPECT_EQ(undo_node_count, held - 3) << "the oldest step went";
  reclaim_undo_nodes();
  EXPECT_EQ(undo_node_count, held - 3) << "the newest stays";
  undo_replaying = false;
  expect_consistent();
}

// A store that cannot grow frees old undo steps for an edit, then refuses the edit with a
// message rather than ending the program; the piece stays as it was.
TEST_F(Reclaim, AStoreThatCannotGrowRefusesTheEditAndKeepsThePiece) {
  for (int step = 0; step < 5; ++step) {
    set_undo_mark(1);
    modifyvc_with_undo(a);
    a->set(xdots, step % 2);
  }
  set_undo_mark(0);
  const Snapshot piece = snapshot(v);
  platform_refuse_allocations_after(0);
  std::vector<Drosa> taken;
  while (freeCount > 100) taken.push_back(newDrosa(CLEF, 0));
  EXPECT_EQ(room_for_edit(), 0);
  EXPECT_EQ(undo_node_count, 0) << "the history went first";
  std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].level, 2);
  EXPECT_NE(said[0].text.find("cannot make this change"), std::string::npos);
  EXPECT_EQ(snapshot(v), piece);
  for (Drosa t : taken) destroyDrosa(t);
  platform_refuse_allocations_after(-1);
  EXPECT_EQ(room_for_edit(), 1);
}

TEST_F(Failures, BadCallsAreReportedAndChangeNothingHarmful) {
  std::string before = dump_voice(v);
  removevc_list_with_undo(piece_start[v], a);  // the head cannot be removed
  EXPECT_EQ(dump_voice(v), before);
  modifyvc_with_undo(NIL);
  Drosa nt = add_after(a, NTDATA);
  modifyvc_with_undo(nt);
  Drosa lone = newDrosa(CLEF, 0);
  EXPECT_EQ(insertvc_with_undo(lone, lone, NIL), NIL) << "nowhere to insert";
  EXPECT_EQ(lone->xnext, NIL);
  destroyDrosa(lone);
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0].text, "Bad call to removevc_list_with_undo!");
  EXPECT_EQ(r[1].text, "Bad call to modifyvc_with_undo!");
  EXPECT_EQ(r[2].text, "Temporary node for modifyvc_with_undo 112 (NTDATA)!");
  EXPECT_EQ(r[3].text, "Bad call to insertvc_with_undo!");
  expect_consistent();
}

TEST_F(Failures, ADamagedRecordStopsTheUndoBeforeAnythingIsReplayed) {
  // Each case records a step of two modifications, damages the newer record, and undoes.
  const char* sorry = "Sorry, due to a program problem, you cannot Undo.";
  struct Case {
    const char* what;
    void (*damage)(Drosa undo, Drosa a, Drosa c);
    const char* report;
  } cases[] = {
      {"unknown operation", [](Drosa u, Drosa, Drosa) { u->set(xundo_op, 7); },
       "Unexpected Undo/Redo operation = 7"},
      {"modify of no node", [](Drosa u, Drosa, Drosa) { u->set(xundo_prev, NIL); }, sorry},
      {"modify without its copy",
       [](Drosa u, Drosa, Drosa) {
         Drosa copy = u->xnext;  // the list's tail
         u->xnext = NIL;
         undo_tails[0] = u;
         destroyDrosa(copy);
         --undo_node_count;
       },
       sorry},
      {"insertion at no place",
       [](Drosa u, Drosa, Drosa) {
         u->set(xundo_op, UNDO_INSERT_AFTER);
         u->set(xundo_prev, NIL);
       },
       sorry},
      {"insertion whose last node lies before its place",
       [](Drosa u, Drosa a, Drosa c) {
         u->set(xundo_op, UNDO_INSERT_AFTER);
         u->set(xundo_prev, c);
         u->set(xundo_last, a);
       },
       sorry},
  };
  for (const Case& k : cases) {
    set_undo_mark(1);
    modifyvc_with_undo(a);
    a->set(xdots, 1);
    modifyvc_with_undo(b);
    b->set(xdots, 1);
    k.damage(undo_tails[0]->xback, a, c);
    std::string before = dump_voice(v);
    undo();
    std::vector<Report> r = take_reports();
    ASSERT_EQ(r.size(), 1u) << k.what;
    EXPECT_EQ(r[0].text, k.report) << k.what;
    EXPECT_EQ(dump_voice(v), before) << k.what;
    EXPECT_EQ(undo_heads[0], NIL) << k.what;
    expect_consistent();
    a->set(xdots, 0);
    b->set(xdots, 0);
  }
}

TEST_F(Failures, RecordsThatOnlyFitInAnotherOrderStopTheUndo) {
  // Two insertions, one after the other; their records swapped, the newer one replayed first
  // would take the first insertion out and leave the other's place outside the piece.
  set_undo_mark(1);
  Drosa first = newDrosa(CLEF, 0), second = newDrosa(CLEF, 0);
  insertvc_node_with_undo(first, a);
  insertvc_node_with_undo(second, first);
  auto point = [](Drosa undo, Drosa place, Drosa last) {
    undo->set(xundo_prev, place);
    undo->set(xundo_prevkind, place->xkind);
    undo->set(xundo_last, last);
  };
  Drosa newer = undo_tails[0];
  point(newer, a, first);
  point(newer->xback, first, second);
  std::string before = dump_voice(v);
  undo();
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text, "Sorry, due to a program problem, you cannot Undo.");
  EXPECT_EQ(dump_voice(v), before);
  expect_consistent();
}

TEST_F(Failures, AHistoryThatNoLongerFitsIsThrownAway) {
  set_undo_mark(1);
  modifyvc_with_undo(b);
  b->xkind = CLEF;  // changed behind the history's back
  undo();
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text, "Sorry, due to a program problem, you cannot Undo.");
  EXPECT_EQ(undo_heads[0], NIL);
  EXPECT_EQ(undo_node_count, 0);
  b->xkind = NOTE;
}

}  // namespace
