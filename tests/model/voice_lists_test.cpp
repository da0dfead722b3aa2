// voice_lists_test.cpp: voice lists as a notation context sees them.
//   Visibility.*: the effective kind of nodes of each context, in the Score and elsewhere
//   Walks.*:      matches before stops, farthest and nearest matches, giving up at the head
//   Links.*:      linking, copying and destroying chains; chords keep a last note
//   Predicates.*: run-time kinds, voices shown, length-prefixed strings
#include "model/voice_lists.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "layout/layout_services.h"
#include "model/model_globals.h"
#include "model/model_services.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

using Visibility = ModelTest;
using Walks = ModelTest;
using Links = ModelTest;
using Predicates = ModelTest;

void expect_consistent() {
  std::string problems;
  EXPECT_EQ(check_voice_lists(&problems), 0) << problems;
}

TEST_F(Visibility, ContextMatrixInTheScoreAndElsewhere) {
  struct Case {
    int kind, context;
    int in_score, in_context2;  // effective kinds
  } cases[] = {
      {CLEF, 0, CLEF, CLEF},
      {CLEF, 1, CLEF, NA},
      {CLEF, 2, NA, CLEF},
      {CLEF, 3, NA, NA},
      {CLEF, -1, NA, CLEF},
      {NOTE, 3, NOTE, NOTE},
      {NOTE, -1, NOTE, NOTE},
      {GE_CHAR, 3, GE_CHAR, GE_CHAR},
      {GE_CURVE, -1, GE_CURVE, GE_CURVE},
      {ENDSYST, -1, NA, ENDSYST},
  };
  for (const Case& c : cases) {
    Drosa n = newDrosa(c.kind, c.context);
    current_ncontext = 1;
    EXPECT_EQ(effective_kind(n), c.in_score) << kind_name(c.kind) << " @" << c.context;
    current_ncontext = 2;
    EXPECT_EQ(effective_kind(n), c.in_context2) << kind_name(c.kind) << " @" << c.context;
    destroyDrosa(n);
  }
  current_ncontext = 1;
}

TEST_F(Walks, BackwardWalksSeeOnlyTheirContext) {
  int v = new_voice();
  Drosa bar1 = add_bar(v);
  add_note(v, QUARTER);
  Drosa bar2 = add_bar(v, 2);  // only in context 2
  Drosa n = add_note(v, QUARTER);
  EXPECT_EQ(find_prev_kind(BAR, n), bar1);
  current_ncontext = 2;
  EXPECT_EQ(find_prev_kind(BAR, n), bar2);
  current_ncontext = 1;
  EXPECT_EQ(find_prev_kind(CLEF, n), NIL) << "gives up at the head";
  EXPECT_EQ(find_prev_kind(ENDSYST, n), piece_start[v]) << "the head matches before it stops";
  EXPECT_EQ(find_prev_kind(BAR, bar1), NIL) << "the start node is never tested";
  EXPECT_EQ(find_prev_kind_raw(BAR, n), bar2) << "the raw walk sees every context";
  EXPECT_EQ(find_prev_kind_until(BAR, n, NOTE, 0), NIL) << "stops at the note before";
  EXPECT_EQ(find_next_kind_until(BAR, bar1, NOTE, 0), NIL);
  EXPECT_EQ(find_next_kind(ENDSYST, n), voice_end(v));
  for (auto walk : {find_prev_kind, find_prev_kind_raw, find_next_kind})
    EXPECT_EQ(walk(BAR, NIL), NIL);
}

TEST_F(Walks, StopVariantsGiveFarthestAndNearestMatch) {
  int v = new_voice();
  add_note(v, QUARTER);
  Drosa far = add(v, COLOR);
  add(v, TSMOD);
  Drosa near = add(v, COLOR);
  Drosa n = add_note(v, QUARTER);
  EXPECT_EQ(find_prev_kind_stop(COLOR, n, 0), far);
  EXPECT_EQ(find_prev_kind_stop_2(COLOR, n, 0), near);
  EXPECT_EQ(find_prev_kind_stop(COLOR, n, TSMOD), near) << "stops at the given kind";
  EXPECT_EQ(find_prev_kind_stop(NOTE, n, 0), far->xback) << "a match is tested before the stop";
  EXPECT_EQ(find_next_kind_before_note(TSMOD, far), far->xnext);
  EXPECT_EQ(find_next_kind_before_note(NTDATA, far), NIL);
  EXPECT_EQ(find_prev_kind_stop(COLOR, NIL, 0), NIL);
}

TEST_F(Walks, NodesOfOtherContextsBetweenNotes) {
  int v = new_voice();
  Drosa n = add_note(v, QUARTER);
  add(v, CLEF, 0);
  Drosa other = add(v, CLEF, 4);
  add_note(v, QUARTER);
  EXPECT_EQ(node_kind_between(CLEF, n), other);
  EXPECT_EQ(node_kind_between(NA, n), NIL);
  current_ncontext = 4;
  EXPECT_EQ(node_kind_between(CLEF, n), NIL) << "seen here, so not of another context";
  current_ncontext = 1;
}

TEST_F(Links, DestroyingAChordsLastNoteHandsOnItsMark) {
  int v = new_voice();
  Drosa single = add_note(v, QUARTER);
  Drosa first = add_chord(v, QUARTER, {30, 32, 34});
  Drosa middle = first->xnext, last = middle->xnext;
  destroy_node(last);
  EXPECT_EQ(middle->get(xendvcd), 1);
  EXPECT_EQ(first->get(xendvcd), 0);
  Drosa lone = add_note(v, HALF);
  destroy_node(lone);
  EXPECT_EQ(middle->get(xendvcd), 1);
  EXPECT_EQ(single->get(xendvcd), 1);
  destroy_node(NIL);
  expect_consistent();
}

TEST_F(Links, CopiedChainsAreLinkedBothWays) {
  int v = new_voice();
  Drosa a = add_note(v, QUARTER, 30);
  add_bar(v);
  Drosa c = add_note(v, HALF, 32);
  int w = new_voice("Oboe");
  Drosa anchor = add_bar(w);
  Drosa last = copy_node_chain(a, c, anchor);
  EXPECT_EQ(last->xkind, NOTE);
  EXPECT_EQ(last->get(xlgval), HALF);
  EXPECT_EQ(dump_voice(w),
            "0 ENDSYST start page\n1 VINFO\n2 PRINT@1 staff0 layer0\n3 BAR\n4 NOTE lg3 m30 endvcd\n"
            "5 BAR\n6 NOTE lg2 m32 endvcd\n7 ENDSYST end page\n");
  EXPECT_EQ(copy_node_chain(NIL, NIL, anchor), anchor);
  expect_consistent();
  destroy_chain(anchor->xnext, last);
  EXPECT_EQ(anchor->xnext, voice_end(w));
  destroy_chain(anchor, anchor);
  expect_consistent();
  EXPECT_EQ(dump_voice(w),
            "0 ENDSYST start page\n1 VINFO\n2 PRINT@1 staff0 layer0\n3 ENDSYST end page\n");
}

TEST_F(Links, ChainsLinkAfterAnAnchor) {
  Drosa anchor = newDrosa(BAR, 0), tail = newDrosa(BAR, 0);
  link_after(tail, anchor);
  Drosa x = newDrosa(NOTE, 0), y = newDrosa(NOTE, 0);
  link_after(y, x);
  EXPECT_EQ(link_chain_after(x, NIL, anchor), x);
  EXPECT_EQ(anchor->xnext, x);
  EXPECT_EQ(y->xnext, tail);
  EXPECT_EQ(tail->xback, y);
  EXPECT_EQ(link_chain_after(NIL, NIL, anchor), NIL);
  destroy_Drosa_list(anchor);
}

TEST_F(Predicates, RunTimeKindSubsets) {
  Drosa pdata = newDrosa(PDATA, 0), noteptr = newDrosa(NOTEPTR, 0), ntview = newDrosa(NTVIEW, 0);
  EXPECT_EQ(temp_node(pdata, 1000), 1);
  EXPECT_EQ(temp_node(pdata, 1002), 0);
  EXPECT_EQ(temp_node(noteptr, 1000), 0);
  EXPECT_EQ(temp_node(noteptr, 1003), 1);
  EXPECT_EQ(temp_node(ntview, 1004), 1);
  EXPECT_EQ(temp_node(NIL, 1000), 0);
  EXPECT_EQ(temp_node(pdata, 999), 0);
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text, "Bad subset of kinds in temp_node = 999");
}

TEST_F(Predicates, VoicesShownAndNotesFormattedOrDrawn) {
  int v = new_voice();
  int hidden = new_voice("Horn");
  destroy_node(find_next_kind_before_note(PRINT, piece_start[hidden]));
  Drosa n = add_note(v, QUARTER);
  EXPECT_EQ(voice_not_shown(v), 0);
  EXPECT_EQ(voice_not_shown(hidden), 1);
  current_ncontext = 2;
  EXPECT_EQ(voice_not_shown(v), 1) << "its PRINT belongs to the Score";
  current_ncontext = 1;
  page_start[v] = voice_end(v);
  EXPECT_EQ(voice_not_shown(v), 1) << "ended before this page";
  page_start[v] = piece_start[v];
  EXPECT_EQ(is_visible_note(n), 0);
  Drosa nt = add_after(n, NTDATA);
  nt->set(xscrhdx, NOT_DRAWN);
  EXPECT_EQ(is_plotted_note(n), 0);
  nt->set(xpback, n);
  EXPECT_EQ(is_visible_note(n), 1);
  nt->set(xscrhdx, 100);
  EXPECT_EQ(is_plotted_note(n), 1);
  EXPECT_EQ(is_NOTE(NIL), 0);
}

TEST_F(Predicates, LengthPrefixedStringsAndConversion) {
  unsigned char a[8] = {3, 'a', 'b', 'c'}, b[8] = {0}, c[8] = {2, 'a', 'b'};
  pstr_copy(b, a);
  EXPECT_EQ(pstr_equal(a, b), 1);
  EXPECT_EQ(pstr_equal(a, c), 0);
  unsigned char untitled[8] = {4, ':', 'N', 'e', 'w'}, empty[2] = {0};
  EXPECT_EQ(pstr_is_relative_path(untitled), 1);
  EXPECT_EQ(pstr_is_relative_path(empty), 0);
  char* roman = cfstring_to_cstring("Caf\xc3\xa9", ENCODING_MAC_ROMAN);
  EXPECT_STREQ(roman, "Caf\x8e");
  std::free(roman);
  int32_t x = 1, y = 2;
  swap_word(&x, &y);
  EXPECT_EQ(x, 2);
}

}  // namespace
