// dynamics_test.cpp: what texts say by their content, and the velocities dynamics give.
//   Dynamics.*:  every single and compound dynamic recognised by its glyphs and letters; the
//                velocity in force, Do Not Interpret, the following notes given it with undo
//   GlyphTests.*: trills, pedal marks (a change counts as down), breath marks; the class a
//                content suggests
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "annotations/anno_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

class DynamicsTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    param_init();
    v = new_voice();
  }
  // A text of style runs, each (font code, characters), before the voice's next note.
  Drosa runs(std::vector<std::pair<int, std::string>> parts) {
    Drosa head = NIL;
    for (const auto& [font, chars] : parts) {
      Drosa t = add(v, TPARAM);
      t->set(xtextfont, int16_t(font));
      t->set(xtextsize, 12);
      if (head) t->set(xadjacent, 1);
      if (!head) head = t;
      add(v, TEXT)->set(xtext, chars.c_str());
    }
    return head;
  }
  // The glyph of a character parameter as a run.
  std::pair<int, std::string> glyph(int pindex) {
    const ParamValue* g = param_value(pindex, NIL, nullptr);
    return {g->font(), std::string(1, char(g->character()))};
  }
  std::pair<int, std::string> times(const char* letters) { return {-5, letters}; }
  int v = 0;
};

using Dynamics = DynamicsTest;
using GlyphTests = DynamicsTest;

TEST_F(Dynamics, EveryFormIsRecognised) {
  const auto f = glyph(47), p = glyph(44), pp = glyph(43), ff = glyph(48);
  const struct {
    std::vector<std::pair<int, std::string>> text;
    int index, glyph;
  } cases[] = {
      {{glyph(41)}, 0, -1},
      {{pp}, 2, -1},
      {{glyph(46)}, 5, -1},
      {{glyph(50)}, 9, -1},
      {{f}, 6, -1},
      {{times("s"), f}, 11, -1},
      {{times("s"), f, times("z")}, 12, -1},
      {{times("s"), f, times("foo")}, 12, -1},
      {{f, times("z")}, 13, -1},
      {{f, p}, 14, -1},
      {{f, times("p")}, 14, -1},
      {{times("r"), f}, 15, -1},
      {{times("r"), f, times("z")}, 16, -1},
      {{times("s"), f, p}, 17, 3},
      {{times("s"), f, pp}, 18, 2},
      {{times("s"), ff}, 19, -1},
      {{times("sf")}, -1, -1},  // letters only
      {{times("p")}, -1, -1},
      {{times("s"), p}, -1, -1},
      {{{-1, "Z"}}, -1, -1},
  };
  for (const auto& c : cases) {
    Drosa head = runs(c.text);
    int g = 99;
    EXPECT_EQ(dynamic_index(NIL, head, &g), c.index) << c.index;
    EXPECT_EQ(g, c.glyph) << c.index;
  }
  EXPECT_EQ(dynamic_velocity_slot(12), 6);
  EXPECT_EQ(dynamic_velocity_slot(19), 7);
  EXPECT_EQ(dynamic_velocity_slot(10), 3);
  EXPECT_EQ(dynamic_velocity_slot(-1), -1);
}

TEST_F(Dynamics, TheFollowingNotesTakeTheVelocityInForceWithUndo) {
  Drosa before = add_note(v, QUARTER);
  Drosa piano = runs({glyph(44)});
  Drosa a = add_note(v, QUARTER);
  Drosa b = add_note(v, QUARTER);
  Drosa ignored = runs({glyph(50)});
  ignored->set(xignore, 1);
  Drosa c = add_note(v, QUARTER);
  runs({times("s"), glyph(47), times("z")});
  Drosa d = add_note(v, QUARTER);
  const int mf = dynamic_level_volume(5), pv = dynamic_level_volume(3),
            fv = dynamic_level_volume(6);
  EXPECT_EQ(dynamic_velocity_at(before), mf) << "before any dynamic";
  EXPECT_EQ(dynamic_velocity_at(a), pv);
  EXPECT_EQ(dynamic_velocity_at(c), pv) << "Do Not Interpret is not played";
  EXPECT_EQ(dynamic_velocity_at(d), fv) << "sfz plays at f";
  for (Drosa n : {before, a, b, c, d}) n->set(xvolume, 100);
  b->set(xvolume_edited, 1);
  set_undo_mark(1);
  EXPECT_EQ(apply_dynamic_velocity(piano), 12) << "up to the next dynamic played";
  EXPECT_EQ(a->get(xvolume), pv);
  EXPECT_EQ(b->get(xvolume), pv);
  EXPECT_EQ(b->get(xvolume_edited), 0);
  EXPECT_EQ(c->get(xvolume), pv);
  EXPECT_EQ(d->get(xvolume), 100);
  EXPECT_EQ(before->get(xvolume), 100);
  set_undo_mark(0);
  undo_redo(1);
  for (Drosa n : {a, b, c}) EXPECT_EQ(n->get(xvolume), 100);
  EXPECT_EQ(b->get(xvolume_edited), 1);
  // With every note at one level, nothing changes.
  set_perf_setting(PERF_ONE_LEVEL_FOR_ALL, 1);
  EXPECT_EQ(apply_dynamic_velocity(piano), -1);
  EXPECT_EQ(a->get(xvolume), 100);
}

// The dynamic in force kept for notes asked about follows a dynamic entered later, its undo,
// a change of its level and notes entered after it.
TEST_F(Dynamics, TheVelocityInForceFollowsDynamicsEnteredUndoneAndChanged) {
  Drosa a = add_note(v, QUARTER);
  Drosa b = add_note(v, QUARTER);
  const int mf = dynamic_level_volume(5), pv = dynamic_level_volume(3);
  EXPECT_EQ(dynamic_velocity_at(b), mf);
  EXPECT_EQ(dynamic_velocity_at(add_note(v, QUARTER)), mf);
  // A dynamic put in before b as the annotation commands do.
  Drosa piano = runs({glyph(44)});
  Drosa text = piano->xnext, note = add_note(v, QUARTER);
  removevc_list_with_undo(piano, text);
  set_undo_mark(1);
  insertvc_with_undo(piano, text, a);
  EXPECT_EQ(dynamic_velocity_at(note), pv);
  EXPECT_EQ(dynamic_velocity_at(add_note(v, QUARTER)), pv) << "a note entered after it";
  set_perf_setting(PERF_DYNAMIC_LEVELS + 2 * 3, 33);
  EXPECT_EQ(dynamic_velocity_at(note), 33);
  set_undo_mark(0);
  undo_redo(1);
  EXPECT_EQ(dynamic_velocity_at(note), mf) << "the dynamic undone";
}

TEST_F(GlyphTests, TrillsPedalsBreathMarksAndSuggestedClasses) {
  Drosa trill = runs({glyph(11)});
  Drosa down = runs({glyph(606)});
  Drosa up = runs({glyph(607)});
  const auto release = glyph(607), press = glyph(606);
  Drosa change = runs({{release.first, release.second + press.second}});
  Drosa breath = runs({glyph(670)});
  Drosa two = runs({{glyph(670).first, glyph(670).second + "x"}});
  Drosa command = runs({times("program 3")});
  command->set(xignore, 0);
  Drosa param = runs({times("param {174:5,7}")});
  Drosa classified = runs({glyph(44)});
  classified->set(xclassify, 4);
  Drosa plain = runs({times("dolce")});
  add_note(v, QUARTER);
  EXPECT_EQ(anno_is_trill(NIL, trill), 11);
  EXPECT_EQ(anno_is_trill(NIL, down), 0);
  EXPECT_EQ(anno_is_pedal(NIL, down), 606);
  EXPECT_EQ(anno_is_pedal(NIL, up), 607);
  EXPECT_EQ(anno_is_pedal(NIL, change), 606) << "a change puts the pedal down again";
  EXPECT_EQ(anno_is_style_670(NIL, breath), 670);
  EXPECT_EQ(anno_is_style_670(NIL, two), 0) << "one character only";
  const struct {
    Drosa text;
    int cls, code;
  } cases[] = {{down, 9, 9},       {breath, 15, 15}, {command, 12, 12},        {param, 1, 1},
               {classified, 4, 7}, {plain, 0, 0},    {runs({glyph(46)}), 7, 7}};
  for (const auto& c : cases) {
    int code = -1;
    EXPECT_EQ(anno_kind_code(c.text, NIL, &code), c.cls);
    EXPECT_EQ(code, c.code);
  }
}

}  // namespace
