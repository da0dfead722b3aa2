// pages_test.cpp: pages, systems and measures.
//   Locate.*:    pages beyond the end, what is in force at a page start, PARAM changes of
//                earlier pages, voices that disagree before a page
//   BarNumbers.*: restart and unnumbered bars, the page's first bar, measure lookups
//   Beats.*:     the note at a beat, time signatures without a beat
//   Index.*:     the kept page index agrees with a walk from the voice's head after edits,
//                undo and redo
//   PreparePiece.*: the page to show, class models, pages held to their paper across pieces
#include "layout/pages.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "annotations/anno_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "layout/object_lookup.h"
#include "layout/page_index.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/script.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

class Pages : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    script_begin();
    param_init();
    set_options_i32(1, OPTIONS_PAGE_HEIGHT, 110);
    set_options_i16(1, OPTIONS_FIRST_MEASURE, 1);
    GE_head = newDrosa(GE_CHAR, 0);
  }
  void TearDown() override {
    for (const std::string& fault : script_take_faults()) ADD_FAILURE() << fault;
    EXPECT_EQ(script_pending(), 0);
    script_end();
    destroy_pstaff_lists();
    ModelTest::TearDown();
  }
};

using Locate = Pages;
using BarNumbers = Pages;
using Beats = Pages;
using Index = Pages;
using PreparePiece = Pages;

Drosa add_quarter(int v, uint32_t ttn = 16384) {
  Drosa n = add_note(v, QUARTER);
  n->set(xttn, ttn);
  return n;
}

Drosa add_param(int v, int pindex) {
  Drosa p = add(v, PARAM);
  p->set(xparam_index, int16_t(pindex));
  return p;
}

// ---- Locate -------------------------------------------------------------------------------

TEST_F(Locate, PagesBeyondTheEndAndWhatIsInForceAtAPageStart) {
  int v = new_voice();
  Drosa clef = add_clef(v, 2);
  add_quarter(v);
  Drosa change = add_param(v, P_HALF_AND_QUARTER_NOTE_HEAD_WIDTH);
  add_system_break(v, true);  // page 2
  Drosa key = add_key(v, -3);
  add_quarter(v);
  Drosa beaming = add_beaming(v, {8192});
  Drosa page3 = add_system_break(v, true);
  Drosa last_note = add_quarter(v);
  ParamValue value{};
  value.set_integer(99);
  set_xparam_value(change, value);
  count_pages();
  ASSERT_EQ(page_count, 3);

  param[P_HALF_AND_QUARTER_NOTE_HEAD_WIDTH].changed = 0;
  EXPECT_EQ(locate_page(9), 3);
  std::vector<Report> got = take_reports();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].level, 2);
  EXPECT_EQ(got[0].text, "Vesk cannot show page 9: you have only 3 pages.");
  EXPECT_EQ(page_start[v], page3);
  const VoiceData& record = voice_data[v];
  EXPECT_EQ(record.clef, clef);
  EXPECT_EQ(record.keysig, key);
  EXPECT_EQ(record.beaming_start, beaming);
  EXPECT_EQ(record.timesig, NIL);
  EXPECT_EQ(record.print, find_next_kind(PRINT, piece_start[v]));
  EXPECT_EQ(record.switch_direction, 3);
  EXPECT_EQ(page_param_lists[v], change) << "a change of an earlier page is on the page list";
  EXPECT_EQ(param[P_HALF_AND_QUARTER_NOTE_HEAD_WIDTH].changed, 1);
  EXPECT_EQ(param_value(P_HALF_AND_QUARTER_NOTE_HEAD_WIDTH, last_note, nullptr)->integer(), 99)
      << "a change on a page never formatted is in force two pages on";

  locate_page(1);
  EXPECT_EQ(page_start[v], piece_start[v]);
  EXPECT_EQ(voice_data[v].beaming_start, beaming_head) << "the default beaming";
  EXPECT_EQ(voice_data[v].clef, NIL);
  EXPECT_EQ(page_param_lists[v], NIL);
}

TEST_F(Locate, VoicesWhoseBeatsDifferByMoreThan4045BeforeAPageAreReportedOnce) {
  int a = new_voice("Flute"), b = new_voice("Oboe"), c = new_voice("Horn");
  for (int v : {a, b, c}) {
    add_bar(v);
    add_quarter(v, 16384 + (v == b ? 4045 : v == c ? 4046 : 0));
    add_system_break(v, true);
    add_bar(v);
    add_quarter(v);
  }
  count_pages();
  script_hit(2);  // No: no more of these warnings
  locate_page(2);
  std::vector<ShownText> shown = script_take_shown();
  ASSERT_EQ(shown.size(), 1u) << "Oboe is within the tolerance, Horn is not";
  EXPECT_NE(shown[0].text.find("'Flute' has a different number of beats before this page than "
                               "'Horn'.  The timing problem first appears on page 1;"),
            std::string::npos)
      << shown[0].text;
  EXPECT_EQ(consistency_warnings_on, 0);
  locate_page(2);
  EXPECT_TRUE(script_take_shown().empty());

  consistency_warnings_on = 1;
  set_undo_mark(1);
  insertvc_node_with_undo(newDrosa(BAR, 0), find_next_kind(NOTE, piece_start[c]));
  script_hit(1);  // Yes: go on warning
  locate_page(2);
  shown = script_take_shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].text.find("'Flute' has 1 barlines before this page, but 'Horn' has 2.  The "
                               "barline problem first appears on page 1;"),
            std::string::npos)
      << shown[0].text;
  EXPECT_EQ(consistency_warnings_on, 1);
}

// ---- BarNumbers ---------------------------------------------------------------------------

TEST_F(BarNumbers, RestartAndUnnumberedBarsAcrossPages) {
  int v = new_voice();
  std::vector<Drosa> notes;
  notes.push_back(add_quarter(v));  // measure 1
  add_bar(v);
  notes.push_back(add_quarter(v));  // 2
  add_bar(v)->set(xunnumbered, 1);
  notes.push_back(add_quarter(v));  // still 2
  Drosa restart = add_bar(v);
  restart->set(xrestart_number, 1);
  restart->set(xbarnumber, 10);
  notes.push_back(add_quarter(v));  // 10
  add_system_break(v, true);
  notes.push_back(add_quarter(v));  // 10, on page 2
  add_bar(v);
  notes.push_back(add_quarter(v));  // 11
  count_pages();
  const int32_t expected[] = {1, 2, 2, 10, 10, 11};
  for (size_t i = 0; i < notes.size(); ++i) EXPECT_EQ(bar_number_of_node(notes[i]), expected[i]);
  EXPECT_EQ(bar_number_of_node(NIL), 1);
  EXPECT_EQ(count_bars_before(notes[5]), 5);

  locate_page(2);  // the index now knows page 1: the same answers through it
  EXPECT_EQ(page_first_bar, 10);
  for (size_t i = 0; i < notes.size(); ++i) EXPECT_EQ(bar_number_of_node(notes[i]), expected[i]);
  EXPECT_EQ(count_bars_before(notes[5]), 5);

  EXPECT_EQ(find_measure_start(1, v), notes[0]);
  EXPECT_EQ(find_measure_start(2, v), notes[1]);
  EXPECT_EQ(find_measure_start(10, v), notes[3]);
  EXPECT_EQ(find_measure_start(11, v), notes[5]);
  EXPECT_EQ(find_measure_start(12, v), NIL);
  EXPECT_EQ(find_measure_any_voice(11), 2);
  EXPECT_EQ(find_measure_any_voice(0), 1);
  EXPECT_EQ(find_note_after_bars(3, v), notes[2]);
  EXPECT_EQ(find_note_after_bars(9, v), NIL);
}

// ---- Beats ----------------------------------------------------------------------------------

TEST_F(Beats, TheNoteSoundingAtABeat) {
  int v = new_voice();
  Drosa timesig = add_timesig(v, 6, 8);
  add_bar(v);
  Drosa quarter = add_note(v, QUARTER);
  std::vector<Drosa> eighths;
  for (int i = 0; i < 4; ++i) eighths.push_back(add_note(v, EIGHTH));
  add_bar(v);
  add_note(v, QUARTER);
  EXPECT_EQ(find_note_at_beat(quarter, 1.0), quarter);
  EXPECT_EQ(find_note_at_beat(quarter, 2.5), quarter) << "an eighth beat: the quarter sounds";
  EXPECT_EQ(find_note_at_beat(quarter, 3), eighths[0]);
  EXPECT_EQ(find_note_at_beat(quarter, 6), eighths[3]);
  EXPECT_EQ(find_note_at_beat(quarter, 9), eighths[3]) << "the measure's last note";
  timesig->set(xbeat, 0);  // damaged: read as a quarter beat, never a division by zero
  EXPECT_EQ(find_note_at_beat(quarter, 2), eighths[0]);
}

// ---- Index ----------------------------------------------------------------------------------

// What findpage must give, from a walk of the voice from its head.
struct Walked {
  Drosa start;
  int32_t bars = 0;
  int64_t times = 0;
  std::vector<Drosa> params;  // newest first
};

Walked walk_to_page(int v, int n) {
  Walked w;
  w.start = piece_start[v];
  int page = 1;
  for (Drosa p = piece_start[v]->xnext; p && page < n; p = p->xnext) {
    int kind = effective_kind(p);
    if (kind == BAR) ++w.bars;
    if (kind == NOTE) w.times += p->get(xttn);
    if (kind == PARAM) w.params.insert(w.params.begin(), p);
    if (kind == ENDSYST && p->get(xendpiece)) {
      w.start = p;
      break;
    }
    if (kind == ENDSYST && p->get(xendpage) && ++page == n) w.start = p;
  }
  return w;
}

void expect_index_agrees(int voices, const char* after) {
  take_reports();
  SCOPED_TRACE(after);
  int most = 1;
  for (int v = 0; v < voices; ++v) {
    int pages = 1;
    for (Drosa p = piece_start[v]->xnext; p; p = p->xnext) {
      if (p->xkind != ENDSYST) continue;
      if (p->get(xendpiece)) break;
      if (p->get(xendpage)) ++pages;
    }
    most = std::max(most, pages);
  }
  count_pages();
  ASSERT_EQ(page_count, most);
  std::vector<int32_t> bars;
  std::vector<int64_t> times;
  for (int v = 0; v < voices; ++v) {
    for (int n = 1; n <= most + 1; ++n) {
      Walked w = walk_to_page(v, n);
      ASSERT_EQ(findpage(v, n, &bars, &times), w.start) << "voice " << v << " page " << n;
      if (w.start->get(xendpiece)) continue;
      EXPECT_EQ(bars[n], w.bars);
      EXPECT_EQ(times[n], w.times);
      std::vector<Drosa> listed;
      for (Drosa p = page_param_lists[v]; p && listed.size() < 100; p = p->get(xprev_param))
        listed.push_back(p);
      EXPECT_EQ(listed, w.params) << "voice " << v << " page " << n;
    }
  }
}

Drosa new_node(int kind) {
  Drosa n = newDrosa(kind, 0);
  if (kind == NOTE) {
    n->set(xlgval, QUARTER);
    n->set(xtupl, 1);
    n->set(xintimeof, 4);
    n->set(xendvcd, 1);
    n->set(xttn, 16384);
  }
  if (kind == ENDSYST) n->set(xendpage, 1);
  if (kind == PARAM) n->set(xparam_index, P_HALF_AND_QUARTER_NOTE_HEAD_WIDTH);
  return n;
}

int page_of(int v, Drosa node) {
  int page = 1;
  for (Drosa p = piece_start[v]->xnext; p && p != node->xnext; p = p->xnext)
    if (p->xkind == ENDSYST && p->get(xendpage) && !p->get(xendpiece)) ++page;
  return page;
}

TEST_F(Index, FollowsEveryEditUndoAndRedo) {
  constexpr int VOICES = 3;
  std::mt19937 random(2);
  for (int v = 0; v < VOICES; ++v) {
    new_voice();
    for (int i = 0; i < 40; ++i) {
      add_quarter(v, 16384 + i);
      if (i % 4 == 3) add_bar(v);
      if (i % 8 == 7) add_system_break(v, i % 16 == 15);
      if (i % 13 == 5) add_param(v, P_HALF_AND_QUARTER_NOTE_HEAD_WIDTH);
    }
  }
  expect_index_agrees(VOICES, "building");
  const int kinds[] = {NOTE, BAR, ENDSYST};
  // Up to three edits between two page locations: a node put in and then taken out again,
  // or edits after a page break made in the same batch.
  auto edit = [&](bool alone) {
    int v = int(random() % VOICES);
    std::vector<Drosa> nodes = voice_nodes(v);
    // Neither its head nor its end, and after its PRINT, so that the voice stays shown.
    const size_t first =
        size_t(std::find_if(nodes.begin(), nodes.end(), [](Drosa n) { return n->xkind == PRINT; }) -
               nodes.begin() + 1);
    Drosa at = nodes[first + random() % (nodes.size() - 1 - first)];
    int what = int(random() % 8);
    set_undo_mark(what < 6);
    if (what == 3 && alone) {
      // PARAM nodes are linked without undo, and only on the page shown.
      link_after(new_node(PARAM), at);
      last_formatted_page = page_of(v, at);
    } else if (what < 4) {
      insertvc_node_with_undo(new_node(kinds[what % 3]), at);
    } else if (what == 4 && at->xkind == ENDSYST) {
      modifyvc_with_undo(at);
      at->set(xendpage, !at->get(xendpage));
    } else if (what == 4 || what == 5) {
      if (at->xkind == NOTE || at->xkind == BAR || at->xkind == ENDSYST || at->xkind == PARAM)
        removevc_with_undo(at);
    } else {
      undo_redo(what == 6);  // an Undo, or a Redo when there is one
    }
  };
  for (int step = 0; step < 150; ++step) {
    const int edits = 1 + int(random() % 3);
    for (int e = 0; e < edits; ++e) edit(edits == 1);
    expect_index_agrees(VOICES, ("step " + std::to_string(step)).c_str());
    if (HasFatalFailure()) return;
  }
  take_reports();  // a Redo with nothing to redo says so
}

// ---- Prepare -------------------------------------------------------------------------------

TEST_F(PreparePiece, TheSavedPageOrPageOneIsFormattedAndClassModelsAreUnique) {
  int v = new_voice();
  Drosa models[3];
  for (Drosa& model : models) {
    model = add(v, TPARAM);
    model->set(xdefault, 1);
    model->set(xclassify, 7);
    add(v, TEXT);
  }
  models[2]->set(xclassify, 30);  // out of range: unclassified
  add_quarter(v);
  add_system_break(v, true);
  add_quarter(v);
  for (int16_t saved : {0, 2, 3}) {
    requested_page = saved;
    prepare_piece();
    EXPECT_EQ(current_page, saved == 2 ? 2 : 1);
    EXPECT_EQ(last_formatted_page, current_page);
    EXPECT_EQ(reformat_pending, 0);
    EXPECT_EQ(first_format, 0);
    EXPECT_EQ(page_count, 2);
  }
  EXPECT_EQ(class_models[7], models[0]);
  EXPECT_EQ(models[1]->get(xdefault), 0) << "a second model of class 7 is a model no more";
  EXPECT_EQ(class_models[0], models[2]);
  EXPECT_EQ(models[2]->get(xclassify), 0);
}

TEST_F(PreparePiece, APieceLetGoOfLeavesNoPageOfTheNextHeldToItsPaper) {
  // The store gives the freed nodes' handles to the next piece: a page start of the next one
  // must not be taken for the start of a page held to its paper.
  int v = new_voice();
  add_quarter(v);
  fit_page_to_paper(piece_start[v]);
  discard_piece_lists();
  for (int i = 0; i < 4; ++i) {
    v = new_voice();
    add_quarter(v);
  }
  for (int w = 0; w < voice_count; ++w)
    EXPECT_EQ(fitted_page_starts.count(piece_start[w].handle()), 0u) << "voice " << w;
}

}  // namespace
