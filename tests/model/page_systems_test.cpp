// page_systems_test.cpp: systems and pages of the voice lists.
//   SystemCursor.*:  every shown voice put at the n-th system of the piece or of the page
//   TimeCursor.*:    every shown voice put at a time of its system: grace notes, missing
//                    chords, voices that ended, the page limit
//   PageSystems.*:   system numbers, first and last notes and systems of a page, visibility of
//                    system breaks by notation context, NIL starts
//   PstaffLookup.*:  the pstaff of a note and of a node, staff numbers, a page position
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "layout/layout_services.h"
#include "model/model_globals.h"
#include "model/model_services.h"
#include "model/node_fields.h"
#include "model/voice_lists.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

using PageTest = ModelTest;

using SystemCursor = PageTest;
using TimeCursor = PageTest;
using PageSystems = PageTest;
using PstaffLookup = PageTest;

// Quarter notes and system breaks: a number is that many quarters, -1 a system break, -2 a
// page break. Returns the notes and breaks in order.
std::vector<Drosa> fill(int v, const std::vector<int>& plan) {
  std::vector<Drosa> nodes;
  for (int step : plan) {
    if (step < 0) {
      nodes.push_back(add_system_break(v, step == -2));
    } else {
      for (int i = 0; i < step; ++i) nodes.push_back(add_note(v, QUARTER));
    }
  }
  return nodes;
}

// Puts a note at the end of the print chain whose head is staff_data[pstaff].ppnt[0].
void link_into_chain(Drosa note, int pstaff) {
  Drosa& head = staff_data[pstaff].ppnt[0];
  if (!head) {
    head = newDrosa(NOTE, 0);
    link_after(newDrosa(NTDATA, 0), head);
    head->xnext->set(xendscd, 1);
  }
  Drosa tail = head;
  while (tail->xnext->get(xpnext)) tail = tail->xnext->get(xpnext);
  Drosa nt = note->xnext->xkind == NTDATA ? note->xnext : add_after(note, NTDATA);
  tail->xnext->set(xpnext, note);
  nt->set(xpback, tail);
  pstaff_count = std::max(pstaff_count, pstaff + 1);
}

TEST_F(SystemCursor, HeadsAndNthSystemsOfThePieceAndThePage) {
  int a = new_voice(), b = new_voice("Oboe"), hidden = new_voice("Horn");
  auto na = fill(a, {1, -1, 1, -2, 1, -1, 1});                           // three systems on page 2
  auto nb = fill(b, {1, -1, 1, -2, 1});                                  // one system on page 2
  find_next_kind_before_note(PRINT, piece_start[hidden])->xcontext = 2;  // not in the Score

  EXPECT_EQ(voices_to_system(0, 0), 1);
  EXPECT_EQ(system_cursor[a], piece_start[a]);
  EXPECT_EQ(system_cursor[b], piece_start[b]);
  EXPECT_EQ(system_cursor[hidden], NIL);

  EXPECT_EQ(voices_to_system(1, 0), 0);
  EXPECT_EQ(system_cursor[a], na[1]);
  EXPECT_EQ(voices_to_system(2, 0), 1);  // both stand at the page break
  EXPECT_EQ(system_cursor[b], nb[3]);
  EXPECT_EQ(voices_to_system(3, 0), 0);  // b has ended; a stands at a plain system break
  EXPECT_EQ(system_cursor[a], na[5]);
  EXPECT_EQ(system_cursor[b], voice_end(b));
  EXPECT_EQ(voices_to_system(9, 0), 1);  // both have ended
  EXPECT_EQ(system_cursor[a], voice_end(a));

  // Counted from the page, the page's end stops the count.
  EXPECT_EQ(voices_to_system(5, 1), 1);
  EXPECT_EQ(system_cursor[a], na[3]);
  page_start[a] = na[3];
  page_start[b] = nb[3];
  EXPECT_EQ(voices_to_system(1, 1), 0);
  EXPECT_EQ(system_cursor[a], na[5]);
  EXPECT_EQ(system_cursor[b], voice_end(b));
  EXPECT_EQ(voices_to_system(0, 1), 1);
  EXPECT_EQ(system_cursor[a], na[3]);
}

TEST_F(TimeCursor, GraceNoteBeforeTheTimeBelongsToTheChordThere) {
  int a = new_voice(), b = new_voice("Oboe");
  add_note(a, QUARTER);
  Drosa grace = add_grace(a, EIGHTH);
  add_note(a, QUARTER);
  add_note(b, QUARTER);
  add_grace(b, EIGHTH, true);  // played after the first note: no part of the next chord
  Drosa second = add_note(b, QUARTER);
  voices_to_system(0, 0);
  EXPECT_EQ(voices_to_system_at_time(16384, 0, 0), 0);
  EXPECT_EQ(time_cursor[a], grace);
  EXPECT_EQ(time_cursor[b], second);
  EXPECT_EQ(voices_to_system_at_time(16404, 0, 0), 0);  // within the tolerance
  EXPECT_EQ(time_cursor[b], second);
}

TEST_F(TimeCursor, AVoiceWithoutAChordAtTheTime) {
  int a = new_voice(), b = new_voice("Oboe");
  auto na = fill(a, {2, -1, 1});
  auto nb = fill(b, {1, -1, 1});
  add_note(b, EIGHTH);
  voices_to_system(0, 0);

  EXPECT_EQ(voices_to_system_at_time(8192, 1, 0), 1);
  EXPECT_EQ(time_cursor[a], na[1]);  // kept: the next chord after the time
  EXPECT_EQ(time_cursor[b], nb[1]);  // kept: the system's end
  EXPECT_EQ(voices_to_system_at_time(8192, 0, 0), 1);
  EXPECT_EQ(time_cursor[a], NIL);
  EXPECT_EQ(time_cursor[b], NIL);
  EXPECT_EQ(voices_to_system_at_time(16384, 0, 0), 0);  // b's system ends at that time
  EXPECT_EQ(time_cursor[a], na[1]);
  EXPECT_EQ(time_cursor[b], nb[1]);
}

TEST_F(TimeCursor, AVoiceThatEndedKeepsItsLastSystemBreakOnlyWhenAsked) {
  int a = new_voice(), b = new_voice("Oboe");
  auto na = fill(a, {1, -2, 1, -1, 1});
  fill(b, {1});
  EXPECT_EQ(voices_to_system(2, 0), 0);
  EXPECT_EQ(system_cursor[b], voice_end(b));
  EXPECT_EQ(voices_to_system_at_time(0, 1, 0), 1);
  EXPECT_EQ(time_cursor[a], na[4]);
  EXPECT_EQ(time_cursor[b], voice_end(b));
  EXPECT_EQ(voices_to_system_at_time(0, 0, 0), 1);
  EXPECT_EQ(time_cursor[b], NIL);

  // With the page limit, a cursor standing at the page's end has no chord either.
  EXPECT_EQ(voices_to_system(1, 0), 1);  // a at the page's end, b ended
  EXPECT_EQ(voices_to_system_at_time(0, 0, 1), 1);
  EXPECT_EQ(time_cursor[a], NIL);
  EXPECT_EQ(voices_to_system_at_time(0, 0, 0), 1);  // b still has ended
  EXPECT_EQ(time_cursor[a], na[2]);
}

TEST_F(PageSystems, SystemNumbersCountVisibleBreaksOnly) {
  int v = new_voice();
  auto n = fill(v, {1, -1, 1, -2, 1, -1, 1});
  EXPECT_EQ(system_number_on_page(n[0], 1), 0);
  EXPECT_EQ(system_number_on_page(n[2], 1), 1);
  EXPECT_EQ(system_number_on_page(n[4], 1), 0);  // two systems on the second page
  EXPECT_EQ(system_number_on_page(n[6], 1), 1);
  EXPECT_EQ(system_number_on_page(n[6], 0), 3);
  EXPECT_EQ(system_number_on_page(NIL, 1), 0);

  // A break of every context but the Score.
  link_after(newDrosa(ENDSYST, 0), n[4]);
  n[4]->xnext->xcontext = -1;
  EXPECT_EQ(system_number_on_page(n[6], 1), 1);
  current_ncontext = 2;
  EXPECT_EQ(system_number_on_page(n[6], 1), 2);
  current_ncontext = 1;
}

TEST_F(PageSystems, FirstAndLastNotesAndSystemsOfAPage) {
  int v = new_voice();
  auto n = fill(v, {2, -1, 1, -2, 1, -1, 1});
  // n: q0 q1 break2 q3 page4 q5 break6 q7
  EXPECT_EQ(check_first_note_of_voice_on_page(n[0]), 1);  // the voice's head ends the walk
  EXPECT_EQ(check_first_note_of_voice_on_page(n[1]), 0);
  EXPECT_EQ(check_first_note_of_voice_on_page(n[5]), 1);
  EXPECT_EQ(check_first_note_of_voice_on_page(n[7]), 0);
  EXPECT_EQ(check_last_note_of_voice_on_page(n[3]), 1);
  EXPECT_EQ(check_last_note_of_voice_on_page(n[0]), 0);
  EXPECT_EQ(check_last_note_of_voice_on_page(n[7]), 1);

  EXPECT_EQ(last_system_of_page(n[3]), 1);
  EXPECT_EQ(last_system_of_page(n[0]), 0);
  EXPECT_EQ(last_system_of_page(n[2]), 1);  // the break starts the page's last system
  EXPECT_EQ(first_system_of_page(n[0]), 1);
  EXPECT_EQ(first_system_of_page(n[3]), 0);
  EXPECT_EQ(first_system_of_page(n[4]), 1);
  EXPECT_EQ(first_system_of_page(n[5]), 1);
  EXPECT_EQ(first_system_of_page(n[7]), 0);
}

TEST_F(PageSystems, NilStartsAreReported) {
  EXPECT_EQ(check_first_note_of_voice_on_page(NIL), 0);
  EXPECT_EQ(check_last_note_of_voice_on_page(NIL), 0);
  EXPECT_EQ(last_system_of_page(NIL), 0);
  EXPECT_EQ(first_system_of_page(NIL), 0);
  const char* expected[] = {"testing check_first_note_of_voice_on_page(NIL)",
                            "testing check_last_note_of_voice_on_page(NIL)",
                            "testing last_system_of_page(NIL)",
                            "testing first_system_of_page(NIL)"};
  auto taken = take_reports();
  ASSERT_EQ(taken.size(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(taken[i].text, expected[i]);
}

TEST_F(PstaffLookup, PstaffOfANoteAndOfANode) {
  int a = new_voice("Flute", 0, 0), b = new_voice("Oboe", 0, 1);
  auto na = fill(a, {1, -1, 1});
  auto nb = fill(b, {1, -1, 1});
  Drosa loose = add_note(b, QUARTER);
  // Two systems of two staves each.
  link_into_chain(na[0], 0);
  link_into_chain(nb[0], 1);
  link_into_chain(na[2], 2);
  link_into_chain(nb[2], 3);
  staff_data[0].place = staff_data[2].place = 1;
  staff_data[1].place = staff_data[3].place = 2;

  EXPECT_EQ(Find_pstaff(na[0], 0), 0);
  EXPECT_EQ(Find_pstaff(nb[2], 0), 3);
  EXPECT_EQ(pstaff_of_node(nb[0]), 1);
  EXPECT_EQ(pstaff_of_node(nb[2]), 3);
  EXPECT_EQ(pstaff_of_node(na[2]), 2);

  EXPECT_EQ(Find_pstaff(loose, 1), 0);
  reformat_pending = 1;
  EXPECT_EQ(Find_pstaff(nb[0], 1), 1);
  EXPECT_EQ(Find_pstaff(nb[0], 0), 1);
  auto taken = take_reports();
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_EQ(taken[0].text, "Find_pstaff is unsuccessful.");
  EXPECT_EQ(taken[1].text, "Find_pstaff called while partially formatted!");
}

TEST_F(PstaffLookup, StaffNumberIsThatOfThePrintInForce) {
  int v = new_voice("Flute", 0, 1);
  Drosa first = add_note(v, QUARTER);
  add_print(v, 1, 3);
  Drosa later = add_note(v, QUARTER);
  add_print(v, 2, 0);  // another notation context's staff
  Drosa last = add_note(v, QUARTER);
  EXPECT_EQ(find_sstaff(piece_start[v]), 1);
  EXPECT_EQ(find_sstaff(first), 1);
  EXPECT_EQ(find_sstaff(later), 3);
  EXPECT_EQ(find_sstaff(last), 3);
  EXPECT_EQ(find_sstaff(NIL), 0);
  auto taken = take_reports();
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0].text, "Bad call on find_sstaff");

  EXPECT_EQ(find_object(105, first), NIL);
  taken = take_reports();
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0].text, "unrecognized objkind in find_object");
}

TEST_F(PstaffLookup, PagePositionCountsTheVoicesOfTheNodesStaff) {
  int a = new_voice("Flute", 0, 0), b = new_voice("Flute", 1, 0), c = new_voice("Oboe", 0, 1);
  auto na = fill(a, {2, -2, 1, -1, 2});
  auto nb = fill(b, {2, -2, 1, -1, 2});
  auto nc = fill(c, {2, -2, 1, -1, 1});
  page_start[a] = na[2];
  page_start[b] = nb[2];
  page_start[c] = nc[2];

  EXPECT_EQ(goto_page_position(na[6]), 2);
  EXPECT_EQ(system_cursor[a], na[4]);
  EXPECT_EQ(system_cursor[c], nc[4]);
  EXPECT_EQ(time_cursor[b], nb[6]);
  EXPECT_EQ(time_cursor[c], voice_end(c));  // kept: c's system ends at that time
  EXPECT_EQ(goto_page_position(nc[5]), 1);
  EXPECT_EQ(time_cursor[a], na[5]);
}

}  // namespace
