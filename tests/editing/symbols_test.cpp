// tests/editing/symbols_test.cpp: staff symbols placed into every voice at one moment.
//   SymbolPlacement.*: bar lines only where a voice has a note within 50 units, other symbols
//                      before the next note; symbols before a grace group; the end of a system;
//                      one staff or every staff; one Undo for every voice
//   ScopeButtons.*:    the placement and scope pairs and Delete of a symbol dialog
#include "editing/symbols.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editing/editing_globals.h"
#include "editing/editing_services.h"
#include "model/model_services.h"
#include "platform/dialogs.h"
#include "platform/script.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"
#include "support/symbol_page.h"

namespace {

class SymbolPlacement : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    script_begin();
  }
  void TearDown() override {
    for (const std::string& fault : script_take_faults()) ADD_FAILURE() << "script: " << fault;
    EXPECT_EQ(script_pending(), 0);
    script_end();
    ModelTest::TearDown();
  }
};
using ScopeButtons = SymbolPlacement;

// A note lasting `units` time units: a 128th-note tuplet (512 x intimeof / 4 / tupl).
Drosa add_short(int v, int tupl, int intimeof4) {
  Drosa n = add_note(v, 8, 35);
  n->set(xtupl, uint8_t(tupl));
  n->set(xintimeof, uint8_t(intimeof4));
  return n;
}

Drosa template_of(int kind) {
  Drosa t = newDrosa(kind, 0);
  if (kind == TIMESIG) {
    t->set(xbpm, 3);
    t->set(xbeat, 4);
  }
  return t;
}

void place(Drosa symbol, Drosa cursor, int operation, int at_end, int all_staves) {
  set_undo_mark(0);
  insert_symbol_in_voice(symbol, cursor, operation, at_end, all_staves, nullptr, nullptr);
}

TEST_F(SymbolPlacement, BarLinesGoOnlyWithin50UnitsAndTheQuestionComesFirst) {
  const int a = staff_voice(0, 0), b = staff_voice(1, 0), c = staff_voice(2, 0);
  for (int i = 0; i < 4; ++i) add_note(a, QUARTER);
  add_note(b, QUARTER);
  add_short(b, 16, 5);  // 40 units
  for (int i = 0; i < 3; ++i) add_note(b, QUARTER);
  add_note(c, QUARTER);
  add_short(c, 32, 15);  // 60 units
  for (int i = 0; i < 3; ++i) add_note(c, QUARTER);
  Drosa cursor = voice_notes(a)[2];

  script_hit(1);  // OK: put it here
  EXPECT_EQ(check_timing_boundary(cursor, 0, "bar line"), 1);
  std::vector<ShownText> asked = script_take_shown();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].text,
            "The bar line is not at a timing boundary for all voices; are you sure you want to "
            "put it here?");
  EXPECT_EQ(symbol_edit_state.step_answer, 'V');
  EXPECT_EQ(check_timing_boundary(cursor, 1, "bar line"), 1) << "its own staff is on time";

  Drosa bar = template_of(BAR);
  place(bar, cursor, SYMBOL_INSERT, 0, 1);
  EXPECT_EQ(symbol_dump(a), "clef0 key0[] 4/4 C5 C5 | C5 C5");
  EXPECT_EQ(symbol_dump(b), "clef0 key0[] 4/4 C5 C5 C5 | C5 C5") << "40 units late: placed";
  EXPECT_EQ(symbol_dump(c), "clef0 key0[] 4/4 C5 C5 C5 C5 C5") << "60 units late: passed over";

  script_hit(2);  // Cancel
  EXPECT_EQ(check_timing_boundary(cursor, 0, "clef"), 0);
  EXPECT_EQ(symbol_edit_state.step_answer, 'X');
  script_take_shown();
  destroyDrosa(bar);
}

TEST_F(SymbolPlacement, OtherSymbolsGoBeforeTheNextNoteAndGraceGroupsCountAsTheirNote) {
  const int a = staff_voice(0, 0), b = staff_voice(1, 0);
  add_note(a, QUARTER);
  add_note(a, QUARTER);
  add_note(a, HALF);
  add_note(b, HALF);
  add_timesig(b, 2, 4);
  add_grace(b, EIGHTH);
  add_timesig(b, 2, 2);
  add_note(b, HALF);
  Drosa clef = newDrosa(CLEF, 0);
  clef->set(xclef, 1);
  place(clef, voice_notes(a)[1], SYMBOL_INSERT, 0, 1);
  EXPECT_EQ(symbol_dump(a), "clef0 key0[] 4/4 C5 clef1 C5 C5");
  EXPECT_EQ(symbol_dump(b), "clef0 key0[] 4/4 C5 clef1 2/4 C5 2/2 C5")
      << "no note at the time: before the next one, first of what stands there";

  Drosa time = template_of(TIMESIG);
  place(time, voice_notes(a)[2], SYMBOL_INSERT, 0, 1);
  EXPECT_EQ(symbol_dump(b), "clef0 key0[] 4/4 C5 3/4 clef1 C5 C5")
      << "the grace note's time signature and its main note's are both replaced";
  EXPECT_EQ(insert_symbol_all_voices(voice_notes(a)[2], TIMESIG, 0, NIL, nullptr, 1, nullptr), 1);
  EXPECT_EQ(insert_symbol_all_voices(voice_notes(a)[1], TIMESIG, 0, NIL, nullptr, 1, nullptr), 0);
  destroyDrosa(clef);
  destroyDrosa(time);
}

TEST_F(SymbolPlacement, OneStaffOrEveryStaffAtTheEndOfTheSystemUndoneInOneStep) {
  const int a = staff_voice(0, 0, 0, "Flute"), b = staff_voice(0, 0, 0, "Flute"),
            c = staff_voice(1, 0), d = staff_voice(2, 0);
  for (int v : {a, b, c, d}) {
    add_note(v, HALF);
    add_note(v, HALF);
    add_bar(v);
    add_system_break(v);
    add_note(v, WHOLE);
  }
  const std::string before = stored_voice_bytes();
  Drosa time = template_of(TIMESIG);
  place(time, voice_notes(b)[1], SYMBOL_INSERT, 1, 0);
  EXPECT_EQ(symbol_dump(a), "clef0 key0[] 4/4 C5 C5 | 3/4 / C5");
  EXPECT_EQ(symbol_dump(b), "clef0 key0[] 4/4 C5 C5 | 3/4 / C5");
  EXPECT_EQ(symbol_dump(c), "clef0 key0[] 4/4 C5 C5 | / C5") << "another staff";
  EXPECT_EQ(symbol_exists_on_staff(voice_notes(a)[0], TIMESIG), 1);
  EXPECT_EQ(symbol_exists_on_staff(voice_notes(c)[0], TIMESIG), 0);

  place(time, voice_notes(d)[0], SYMBOL_INSERT, 0, 1);
  EXPECT_EQ(symbol_dump(a), "clef0 key0[] 3/4 C5 C5 | 3/4 / C5") << "the 4/4 replaced";
  EXPECT_EQ(symbol_dump(d), "clef0 key0[] 3/4 C5 C5 | / C5");
  set_undo_mark(0);
  undo_redo(1);
  undo_redo(1);
  EXPECT_TRUE(stored_voice_bytes() == before) << "each placement undone in one step";
  destroyDrosa(time);
}

TEST_F(ScopeButtons, OneVoiceDisablesTheScopeAndDeleteFollowsThePlacement) {
  staff_voice(0, 0);
  DialogRef dialog = platform_open_dialog(20815, false);
  ASSERT_TRUE(dialog);
  int32_t all = 0, here = 0;
  init_scope_buttons(dialog, 1, &all, &here, 0, 0);
  EXPECT_EQ(platform_item_hilite(dialog, SYMBOL_THIS_STAFF), 255);
  EXPECT_EQ(platform_item_hilite(dialog, SYMBOL_ALL_STAVES), 255);
  EXPECT_EQ(platform_item_value(dialog, SYMBOL_AT_INSERTION), 1);
  EXPECT_EQ(here, 1);
  EXPECT_EQ(platform_item_hilite(dialog, SYMBOL_DELETE), 255) << "nothing to delete here";
  EXPECT_EQ(scope_button_hit(dialog, SYMBOL_AT_SYSTEM_END, &all, &here, 0, 1), 1);
  EXPECT_EQ(here, 0);
  EXPECT_EQ(platform_item_hilite(dialog, SYMBOL_DELETE), 0) << "a symbol ends the system";
  EXPECT_EQ(scope_button_hit(dialog, 9, &all, &here, 0, 1), 0) << "the dialog's own item";
  init_scope_buttons(dialog, 1, &all, &here, 1, 1);
  EXPECT_EQ(platform_item_hilite(dialog, SYMBOL_AT_SYSTEM_END), 255) << "no end of system";
  EXPECT_EQ(platform_item_hilite(dialog, SYMBOL_DELETE), 0);
  EXPECT_EQ(scope_button_hit(dialog, SYMBOL_CANCEL, &all, &here, 0, 1), 1) << "closes it";
}

}  // namespace
