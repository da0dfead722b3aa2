// param_lookup_test.cpp: parameter values in force at nodes of hand-built pieces.
//   LookupAt.*:    defaults while nothing changed; two changes in a voice; small-note changes
//                  of pair parameters; other voices; notation contexts; a clef before a note;
//                  a staff without a node; a page's changes found through the page lists
//   LookupScale.*: lengths scaled by type, reference size (-1, 0) and staff sizes 50 and 100
//   ParamInsert.*: check_and_insert_param replacing a change and keeping the other variant;
//                  its two refusals
//   ParamValues.*: same_param_value; rebuilding the changes and their flags from the texts
//   LookupIndex.*: the index and a forward walk agree with the plain walk through random
//                  pieces and edits
#include "params/param_lookup.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "annotations/anno_services.h"
#include "editing/editing_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_index.h"
#include "params/params_globals.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

constexpr int P = P_NORMAL_LENGTH_OF_NOTE_STEMS;  // a coordinate pair
constexpr int S = P_LINE_WIDTH_FOR_BAR_LINES;     // a single coordinate

class ParamLookup : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    reset_params_globals();
    declare(P, PARAM_COORDINATE_PAIR, 60, 40);
    declare(S, PARAM_COORDINATE, 20, 0);
  }
  void TearDown() override {
    std::string problems;
    EXPECT_EQ(check_voice_lists(&problems), 0) << problems;
    ModelTest::TearDown();
    reset_params_globals();
  }

  static void declare(int p, uint32_t type, int32_t normal, int32_t small) {
    param[p].type = type;
    param[p].ref_size = 50;
    param[p].changed = 0;
    param[p].value.set_integer(normal);
    param[p].small.set_integer(small);
  }
};

using LookupAt = ParamLookup;
using LookupScale = ParamLookup;
using ParamInsert = ParamLookup;
using ParamValues = ParamLookup;
using LookupIndex = ParamLookup;

// A note whose NTDATA gives its staff size.
Drosa sized_note(int v, int stsize = 50) {
  Drosa n = add_note(v, QUARTER);
  add_after(n, NTDATA)->set(xstsize, int8_t(stsize));
  return n;
}

Drosa make_change(int p, int32_t value, int small = 0, int context = 0, int stsize = 50) {
  Drosa c = newDrosa(PARAM, context);
  c->set(xparam_index, int16_t(p));
  c->set(xparam_small, small);
  c->set(xparam_stsize, int16_t(stsize));
  ParamValue v{};
  v.set_integer(value);
  set_xparam_value(c, v);
  return c;
}

Drosa add_change(int v, int p, int32_t value, int small = 0, int context = 0, int stsize = 50) {
  Drosa c = make_change(p, value, small, context, stsize);
  link_after(c, voice_end(v)->xback);
  param[p].changed = 1;
  return c;
}

int32_t at(int p, Drosa node, const StaffData* staff = nullptr) {
  return param_value(p, node, staff)->integer();
}

TEST_F(LookupAt, DefaultWhileUnchangedWithTheNotesStaffSize) {
  int v = new_voice();
  Drosa n = sized_note(v, 100);
  EXPECT_EQ(param_value(P, n, nullptr), &param[P].value);
  EXPECT_EQ(param_cur_size, 100);
  EXPECT_EQ(param_ref_size, 50);
  staff_data[0].staff_size = 75;
  at(P, NIL, &staff_data[0]);
  EXPECT_EQ(param_cur_size, 75);
  at(P, NIL);
  EXPECT_EQ(param_cur_size, 50);
}

TEST_F(LookupAt, TwoChangesInAVoice) {
  int v = new_voice();
  int w = new_voice("Oboe");
  Drosa n1 = sized_note(v);
  add_change(v, P, 70, 0, 0, 25);
  Drosa n2 = sized_note(v);
  Drosa n3 = sized_note(v);
  Drosa clef = add_clef(v, 1);
  add_change(v, P, 80);
  Drosa n4 = sized_note(v);
  add_system_break(v);
  Drosa n5 = sized_note(v);
  Drosa other = sized_note(w);

  EXPECT_EQ(at(P, n1), 60);
  EXPECT_EQ(at(P, n2), 70);
  EXPECT_EQ(param_ref_size, 25);
  EXPECT_EQ(at(P, n3), 70);
  EXPECT_EQ(at(P, clef), 80) << "a clef takes the value in force at the next note";
  EXPECT_EQ(at(P, n4), 80);
  EXPECT_EQ(at(P, n5), 80) << "a system break that is no page end does not stop the walk";
  EXPECT_EQ(at(P, other), 60) << "another voice is unaffected";
}

TEST_F(LookupAt, ListEndsAndSystemBreaksTakeTheValueAtTheNextNote) {
  int v = new_voice();
  int w = new_voice("Oboe");
  add_change(w, P, 70);
  insertion_point = sized_note(w);
  Drosa n1 = sized_note(v);
  Drosa system_break = add_system_break(v);
  add_change(v, P, 80);
  sized_note(v);

  EXPECT_EQ(at(P, piece_start[v]), 60) << "a voice's head never goes to the insertion point";
  EXPECT_EQ(at(P, n1), 60);
  EXPECT_EQ(at(P, system_break), 80) << "the change before the next system's first note";
  EXPECT_EQ(at(P, voice_end(v)), 80) << "the end of the piece: the last value in force";
  insertion_point = NIL;
}

TEST_F(LookupAt, SmallChangesOnlyForCueAndGraceNotesOfPairs) {
  int v = new_voice();
  add_change(v, P, 30, 1);
  add_change(v, S, 5, 1);
  Drosa normal = sized_note(v);
  Drosa cue = sized_note(v);
  cue->set(xcue, 1);
  Drosa grace = add_grace(v, EIGHTH);

  EXPECT_EQ(at(P, normal), 60);
  EXPECT_EQ(at(P, cue), 30);
  EXPECT_EQ(at(P, grace), 30);
  EXPECT_EQ(at(S, cue), 20) << "a single-value parameter has no small-notes value";
}

TEST_F(LookupAt, NotationContexts) {
  struct Case {
    int change_context, current, expected;
  } cases[] = {{3, 2, 60}, {3, 3, 90}, {-1, 1, 60}, {-1, 2, 90}, {-1, 5, 90}, {0, 1, 90}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "change in " << c.change_context << ", current " << c.current);
    int v = new_voice();
    add_change(v, P, 90, 0, c.change_context);
    Drosa n = sized_note(v);
    current_ncontext = int16_t(c.current);
    EXPECT_EQ(at(P, n), c.expected);
    current_ncontext = 1;
  }
}

TEST_F(LookupAt, StaffWithoutANodeTakesItsFirstChainNote) {
  int v = new_voice();
  add_change(v, P, 70);
  Drosa first = sized_note(v);
  Drosa head = newDrosa(NOTE, 0);
  add_after(head, NTDATA)->set(xpnext, first);
  staff_data[0].ppnt[0] = head;
  EXPECT_EQ(at(P, NIL, &staff_data[0]), 70);
  EXPECT_EQ(at(P, NIL), 60) << "neither node nor staff: the default";
  destroy_pstaff_lists();
}

TEST_F(LookupAt, LaterPageFindsEarlierChangesThroughItsPageList) {
  new_voice();
  int v = new_voice("Oboe");
  Drosa on_page_1 = sized_note(v);
  Drosa change = add_change(v, P, 70);
  sized_note(v);
  Drosa page_end = add_system_break(v, true);
  page_end->set(xsys_voice, uint8_t(v));
  Drosa on_page_2 = sized_note(v);

  EXPECT_EQ(at(P, on_page_1), 60) << "nothing before it on page 1";
  EXPECT_EQ(at(P, on_page_2), 60) << "the walk stops at the page end; the list is empty";
  page_param_lists[v] = change;
  EXPECT_EQ(at(P, on_page_2), 70);
}

TEST_F(LookupScale, ByTypeReferenceAndStaffSize) {
  struct Case {
    uint32_t type;
    int ref, staff;
    int32_t expected;
  } cases[] = {
      {PARAM_COORDINATE_PAIR, 50, 50, 60},    {PARAM_COORDINATE_PAIR, 50, 100, 120},
      {PARAM_COORDINATE_PAIR, 50, 25, 30},    {PARAM_COORDINATE, 50, 100, 60},
      {PARAM_COORDINATE, -1, 100, 60},        {PARAM_COORDINATE_PAIR, 0, 100, 60},
      {PARAM_COORDINATE_PAIR, -1, 50, -3000}, {PARAM_COORDINATE_PAIR, 100, 50, 30},
      {PARAM_INTEGER_PAIR, 50, 100, 120},
  };
  int v = new_voice();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "type " << c.type << " ref " << c.ref << " staff " << c.staff);
    param[P].type = c.type;
    param[P].ref_size = int8_t(c.ref);
    EXPECT_EQ(param_length(P, sized_note(v, c.staff), nullptr), c.expected);
  }
  // A change's own reference size rules: -1 negates the product, 0 leaves the value.
  param[P].type = PARAM_COORDINATE_PAIR;
  add_change(v, P, 7, 0, 0, -1);
  EXPECT_EQ(param_length(P, sized_note(v, 100), nullptr), -700);
  add_change(v, P, 7, 0, 0, 0);
  EXPECT_EQ(param_length(P, sized_note(v, 100), nullptr), 7);
}

TEST_F(ParamInsert, ReplacesTheSameChangeAndKeepsTheOtherVariant) {
  int v = new_voice();
  sized_note(v);
  add_change(v, P, 70, 0);
  Drosa small = add_change(v, P, 30, 1);
  add_change(v, S, 5, 0);
  Drosa note = sized_note(v);
  param[P].changed = 0;
  Drosa templ = make_change(P, 90);

  check_and_insert_param(note, templ);

  std::vector<int32_t> normal_changes;
  for (Drosa p = note->xback; p->xkind != NOTE && p->xkind != NTDATA; p = p->xback)
    if (p->get(xparam_index) == P && !p->get(xparam_small))
      normal_changes.push_back(get_xparam_value(p).integer());
  EXPECT_EQ(normal_changes, std::vector<int32_t>{90});
  Drosa copy = find_prev_kind_stop_2(PARAM, note, 0);
  EXPECT_EQ(copy->get(xparam_index), P) << "the copy is the nearest change before the note";
  EXPECT_NE(copy, templ);
  EXPECT_EQ(find_prev_kind_stop(PARAM, note, 0), small) << "the small-notes change stays";
  EXPECT_EQ(param_changed(P), 1);
  EXPECT_EQ(DrosaDirty & 1, 1);
  EXPECT_EQ(at(P, note), 90);
  destroyDrosa(templ);
}

TEST_F(ParamInsert, Refusals) {
  int v = new_voice();
  Drosa note = sized_note(v);
  Drosa clef = newDrosa(CLEF, 0);
  Drosa unseen = make_change(P, 90, 0, 3);
  Drosa templ = make_change(P, 90);
  std::string before = dump_voice(v);

  check_and_insert_param(note, clef);
  check_and_insert_param(note, unseen);
  check_and_insert_param(voice_end(v), templ);

  auto r = take_reports();
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0].text, "Not a PARAM node for check_and_insert_param!");
  EXPECT_EQ(r[1].text, "Not a PARAM node for check_and_insert_param!");
  EXPECT_EQ(r[2].text, "At end of piece for check_and_insert_param!");
  EXPECT_EQ(dump_voice(v), before);
  EXPECT_EQ(param_changed(P), 0);
  for (Drosa n : {clef, unseen, templ}) destroyDrosa(n);
}

TEST_F(ParamValues, SameValueIgnoresTheCharacterCode) {
  ParamValue a{};
  a.set_font(-1);
  a.set_size(12);
  a.set_character(80);
  a.set_y(-90);
  ParamValue b = a;
  b.set_character(81);
  EXPECT_TRUE(same_param_value(a, b));
  b.set_size(13);
  EXPECT_FALSE(same_param_value(a, b));
  b = a;
  b.set_y(-91);
  EXPECT_FALSE(same_param_value(a, b));
}

// The changes are made again from their texts, whatever their notation context; a text that
// names no parameter makes none. A change after the last note is no note's: it stays, flagged.
TEST_F(ParamValues, RebuildMakesTheChangesOfEveryContextFromTheirTexts) {
  constexpr int Q = P_WHOLE_NOTE_HEAD_WIDTH;
  declare(Q, PARAM_COORDINATE_PAIR, 75, 60);
  int v = new_voice();
  Drosa note = sized_note(v);
  make_text_anno(note, 3, 1, 0, "param {198:5,7}", nullptr);
  make_text_anno(note, 0, 1, 0, "param {900:5,7}", nullptr);
  Drosa stale = make_change(S, 5);
  link_after(stale, note->xback);
  link_after(make_change(Q, 9), voice_end(v)->xback);
  rebuild_param_nodes();
  EXPECT_EQ(find_prev_kind_raw(PARAM, voice_end(v))->get(xparam_index), Q);
  EXPECT_EQ(param_changed(Q), 1);
  Drosa change = find_prev_kind_raw(PARAM, note);
  ASSERT_TRUE(change);
  EXPECT_EQ(change->xcontext, 3);
  EXPECT_EQ(get_xparam_value(change).integer(), 70);
  EXPECT_EQ(find_prev_kind_raw(PARAM, change), NIL) << "the change without a text is gone";
  EXPECT_EQ(param_changed(P), 1);
  EXPECT_EQ(param_changed(S), 0);
}

// Random voices of notes (some cue or grace), chords, clefs, bars, system and page breaks and
// changes of two parameters in several contexts; then random edits: changes inserted by
// check_and_insert_param, notes inserted and nodes removed with undo, Undo and Redo, page ends
// switched in place, contexts switched, page lists replaced. After each edit every node of
// every voice must get the same value, reference size and staff size with and without the
// index, and from a walk forward (ParamWalk).
TEST_F(LookupIndex, AgreesWithThePlainWalkThroughEdits) {
  constexpr int Q = P_WHOLE_NOTE_HEAD_WIDTH;
  declare(Q, PARAM_COORDINATE_PAIR, 75, 60);
  param[P].changed = param[Q].changed = 1;
  std::mt19937 rng(2024);
  auto pick = [&](int n) { return int(rng() % unsigned(n)); };
  const int contexts[] = {0, 0, 0, 1, 2, -1};
  auto random_change = [&](int context) {
    return make_change(pick(2) ? P : Q, 100 + pick(900), pick(4) == 0, context, 10 * (1 + pick(9)));
  };
  auto random_node = [&](int v, bool (*fits)(Drosa)) {
    std::vector<Drosa> nodes;
    for (Drosa p : voice_nodes(v))
      if (p->xback && p->xnext && fits(p)) nodes.push_back(p);
    return nodes.empty() ? NIL : nodes[size_t(pick(int(nodes.size())))];
  };
  int checked = 0;
  for (int round = 0; round < 4; ++round) {
    int first = voice_count;
    for (int v = first; v < first + 3; ++v) {
      new_voice();
      for (int i = 0; i < 50; ++i) {
        int what = pick(12);
        if (what < 5) {
          Drosa n = what == 4 ? add_grace(v, EIGHTH) : add_note(v, QUARTER, 30, 0, what == 3);
          n->set(xcue, what == 2);
          add_after(n, NTDATA)->set(xstsize, int8_t(pick(2) ? 50 : 40));
        } else if (what < 8) {
          link_after(random_change(contexts[pick(6)]), voice_end(v)->xback);
        } else if (what < 10) {
          add_system_break(v, pick(3) == 0, pick(4) ? 0 : 2)->set(xsys_voice, uint8_t(pick(8)));
        } else {
          what == 10 ? add_bar(v) : add_clef(v, 1, contexts[pick(6)]);
        }
      }
    }
    for (int step = 0; step < 40; ++step) {
      int v = first + pick(3);
      set_undo_mark(1);
      switch (pick(8)) {
        case 0:
          if (Drosa at = random_node(v, [](Drosa p) { return p->xkind != NTDATA; })) {
            Drosa templ = random_change(0);
            check_and_insert_param(at, templ);
            destroyDrosa(templ);
          }
          break;
        case 1:
          if (Drosa at = random_node(v, [](Drosa p) { return p->xkind != NOTE; })) {
            Drosa n = newDrosa(NOTE, 0);
            n->set(xendvcd, 1);
            insertvc_node_with_undo(n, at);
          }
          break;
        case 2:
          if (Drosa gone = random_node(v, [](Drosa p) { return p->xkind != NTDATA; })) {
            bool laid_out = gone->xkind == NOTE && gone->xnext->xkind == NTDATA;
            removevc_list_with_undo(gone, laid_out ? gone->xnext : gone);
          }
          break;
        case 3:
          undo_redo(pick(2));
          break;
        case 4:
          if (Drosa e = random_node(v, [](Drosa p) { return p->xkind == ENDSYST; })) {
            modifyvc_with_undo(e);
            e->set(xendpage, !e->get(xendpage));
          }
          break;
        case 5:
          current_ncontext = int16_t(1 + pick(3));
          break;
        case 6:
          page_param_lists[pick(8)] = random_node(v, [](Drosa p) { return p->xkind == PARAM; });
          break;
        default:
          if (Drosa gone = random_node(v, [](Drosa p) { return p->xkind == PARAM; }))
            destroy_node(gone);
      }
      for (int u = first; u < first + 3; ++u) {
        ParamWalk forward(P, Q, piece_start[u]);  // and a forward walk, at every note
        for (Drosa p : voice_nodes(u)) {
          if (p != piece_start[u]) forward.pass(p);
          for (int pindex : {P, Q}) {
            use_param_index(false);
            const ParamValue* walked = param_value(pindex, p, nullptr);
            int32_t sizes[2] = {param_ref_size, param_cur_size};
            use_param_index(true);
            ASSERT_EQ(param_value(pindex, p, nullptr), walked)
                << "round " << round << " step " << step << " voice " << u << "\n"
                << dump_voice(u);
            ASSERT_EQ(param_ref_size, sizes[0]);
            ASSERT_EQ(param_cur_size, sizes[1]);
            ASSERT_EQ(forward.value(pindex, p), walked) << "forward, step " << step;
            ASSERT_EQ(param_ref_size, sizes[0]);
            ASSERT_EQ(param_cur_size, sizes[1]);
            ++checked;
          }
        }
      }
    }
  }
  EXPECT_GT(checked, 40000);
}

}  // namespace
