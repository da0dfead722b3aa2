// command_texts_test.cpp: parameter changes held as "param " texts, and annotation runs.
//   ParamTexts.*:  every kind of value written as a text and made again from it, in every
//                  context, without duplicates; texts that make nothing; the command kinds
//   AnnoRuns.*:    deleting one whole annotation, and undoing it; the hidden text made for a
//                  change
#include "annotations/command_texts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "annotations/anno_fields.h"
#include "annotations/anno_runs.h"
#include "app/prefs.h"
#include "model/check_lists.h"
#include "model/model_globals.h"
#include "model/node_kinds.h"
#include "model/undo.h"
#include "model/voice_lists.h"
#include "params/param_lookup.h"
#include "params/param_table.h"
#include "params/params_globals.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

class CommandTexts : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    prefs.set_use_sonata_font(0);
    param_init();
    v = new_voice();
    add_note(v, QUARTER);
    note = add_note(v, QUARTER);
  }
  void TearDown() override {
    std::string problems;
    EXPECT_EQ(check_voice_lists(&problems), 0) << problems;
    ModelTest::TearDown();
  }

  // The texts of the annotations before the note, in order.
  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (Drosa p = piece_start[v]; p != note; p = p->xnext) {
      if (p->xkind != TPARAM) continue;
      out.emplace_back();
      for (Drosa t = p->xnext; t->xkind == TEXT; t = t->xnext) out.back() += t->get(xtext);
    }
    return out;
  }
  // The PARAM nodes before the note, in order.
  std::vector<Drosa> changes() const {
    std::vector<Drosa> out;
    for (Drosa p = piece_start[v]; p != note; p = p->xnext)
      if (p->xkind == PARAM) out.push_back(p);
    return out;
  }
  Drosa change(int p, int small, int context, const ParamValue& value, int stsize = 50) {
    Drosa c = newDrosa(PARAM, context);
    c->set(xparam_index, int16_t(p));
    c->set(xparam_small, small);
    c->set(xparam_stsize, int16_t(stsize));
    set_xparam_value(c, value);
    link_after(c, note->xback);
    return c;
  }
  Drosa text(const char* t, int context = 0) {
    return make_text_anno(note, context, 1, 0, t, nullptr);
  }

  int v = 0;
  Drosa note;
};

using ParamTexts = CommandTexts;
using AnnoRuns = CommandTexts;

ParamValue integer(int32_t i) {
  ParamValue value{};
  value.set_integer(i);
  return value;
}

TEST_F(ParamTexts, EveryKindOfValueIsMadeAgainFromItsText) {
  ParamValue real{};
  real.set_real(0.125f);
  ParamValue glyph = param[24].value;  // a character pair
  glyph.bytes[2] = 3;                  // character set
  glyph.set_character(7);              // a control character cannot stand in a text
  glyph.set_x(-15);
  glyph.set_y(125);
  ParamValue bracket = param[585].value;  // the character '(' and a description with a code
  bracket.set_character('(');
  change(122, 0, 0, integer(-4), 40);  // integer pair
  change(174, 0, 2, integer(65));      // coordinate pair, in context 2
  change(174, 1, -1, integer(-35));    // its small-notes value, in every context but the Score
  change(180, 0, 0, real);             // float pair
  change(24, 1, 0, glyph);
  change(585, 0, 0, bracket);
  std::vector<std::vector<uint8_t>> before;
  for (Drosa c : changes()) before.emplace_back(c->bytes() + 9, c->bytes() + 34);

  param_nodes_to_annos(note);
  param_nodes_to_annos(note->xback);  // again: the texts are replaced, not added
  std::vector<std::string> written = texts();
  EXPECT_EQ(written, (std::vector<std::string>{
                         "param {122:4,-4} sharps this many vertical staff spaces apart do not "
                         "overlap",
                         "param {174:5,6.5} half and quarter note head width",
                         "param {-174:5,-3.5} half and quarter note head width",
                         "param {180:5,0.125} maximum slope for beam",
                         "param {-24:5,-1,12,0, ,-1.5,12.5,3,7} repeat dots",
                         "param {585:5,-1,12,0,(,1,0,0,40} flat for chord symbols ",
                     }));

  current_ncontext = 3;  // every context's changes are made again, whatever context is current
  param_annos_to_nodes(note);
  current_ncontext = 1;
  std::vector<std::vector<uint8_t>> after;
  for (Drosa c : changes()) after.emplace_back(c->bytes() + 9, c->bytes() + 34);
  EXPECT_EQ(after, before);
  EXPECT_EQ(param_changed(180), 1);
  take_reports();
}

TEST_F(ParamTexts, TextsThatMakeNoChange) {
  for (const char* t :
       {"param {000:5,7}", "param {754:5,7}", "param {-179:5,7}", "param {174:5,1e12}",
        "param {174:5}", "param {024:5,-1,12,0,x,0}", "param {024:5,-1,300,0,x,0,0}",
        "param {174:5,7,8}", "param{174:5,7}", "param {174:99999,7}", "param {+-174:5,7}"})
    text(t);
  Drosa ignored = text("param {174:5,7}");
  ignored->set(xignore, 1);
  param_annos_to_nodes(note);
  EXPECT_TRUE(changes().empty());
  EXPECT_EQ(midi_anno_kind(ignored, nullptr), COMMAND_NONE) << "Do Not Interpret";

  text(" param {174:5,7}");       // a leading blank: no command
  text("param {174:+5,  7.26}");  // blanks and a plus sign, as a formatted scan takes them
  param_annos_to_nodes(note);
  ASSERT_EQ(changes().size(), 1u);
  EXPECT_EQ(get_xparam_value(changes()[0]).integer(), 73);
  EXPECT_EQ(changes()[0]->get(xparam_stsize), 50);
}

TEST_F(ParamTexts, CommandKindsAndTheNextHead) {
  Drosa first = text("programme");
  Drosa run = text("x");
  run->set(xadjacent, 1);
  Drosa second = text("parameter");
  Drosa third = text("param {174:5,7}", 2);
  const struct {
    const char* text;
    int kind;
  } cases[] = {{"param {1:5,1}", 1}, {"program 3", 2}, {"control 7 9", 3},
               {"pressure 2", 4},    {"midi 90", 5},   {"channel 3", 6},
               {"note 60", 7},       {"notes", 7},     {"Param", 0}};
  for (const auto& c : cases) {
    Drosa head = text(c.text);
    EXPECT_EQ(midi_anno_kind(head, nullptr), c.kind) << c.text;
  }
  Drosa next = NIL;
  EXPECT_EQ(midi_anno_kind(first, &next), COMMAND_PROGRAM);
  EXPECT_EQ(next, second) << "a further style run is no annotation";
  EXPECT_EQ(midi_anno_kind(second, &next), COMMAND_NONE);
  EXPECT_EQ(midi_anno_kind(third, &next), COMMAND_NONE) << "not seen in the Score";
  EXPECT_EQ(next, NIL);
}

TEST_F(AnnoRuns, DeletingOneAnnotationAndUndoingIt) {
  add(v, PVIEW);
  Drosa head = add(v, TPARAM);
  add(v, PDATA);
  add(v, TEXT);
  Drosa run = add(v, TPARAM);
  run->set(xadjacent, 1);
  add(v, TEXT);
  add(v, TEXT);
  Drosa line = add(v, LINE);
  add(v, PDATA);
  Drosa last = add_note(v, HALF);
  set_undo_mark(1);
  Drosa before = delete_anno_nodes(head);
  EXPECT_EQ(before->xnext, line);
  EXPECT_EQ(line->xnext->xkind, PDATA);
  EXPECT_EQ(delete_anno_nodes(last), last->xnext);
  auto r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text.rfind("Bad parameter to delete_anno_nodes: ", 0), 0u);
  EXPECT_EQ(r[0].text.substr(r[0].text.size() - 10), " kind NOTE");

  set_undo_mark(0);
  undo_redo(1);
  std::vector<int> kinds;
  for (Drosa p = note->xnext; p != last; p = p->xnext) kinds.push_back(p->xkind);
  EXPECT_EQ(kinds, (std::vector<int>{TPARAM, TEXT, TPARAM, TEXT, TEXT, LINE, PDATA}));
}

TEST_F(AnnoRuns, HiddenTextForAChange) {
  int y = 10;
  Drosa head =
      make_text_anno(note, 2, 1, 578, "param {174:5,7} half and quarter note head width", &y);
  const ParamValue& style = param[578].value;
  EXPECT_EQ(head->xcontext, 2);
  EXPECT_EQ(head->get(xtextfont), style.font());
  EXPECT_EQ(head->get(xtextsize), style.size());
  EXPECT_EQ(head->get(xhidden), 1);
  EXPECT_EQ(head->get(xfromstaff), 1);
  EXPECT_EQ(head->get(xtextx), param[579].value.integer());
  EXPECT_EQ(head->get(xtexty), 10);
  EXPECT_EQ(y, 10 - 10 * style.size());
  std::string stored;
  int parts = 0;
  for (Drosa p = head->xnext; p != note; p = p->xnext, ++parts) stored += p->get(xtext);
  EXPECT_EQ(parts, 3) << "21 characters a TEXT";
  EXPECT_EQ(stored, "param {174:5,7} half and quarter note head width");
  EXPECT_EQ(make_text_anno(note, 0, 1, 578, "", &y), NIL);
}

}  // namespace
