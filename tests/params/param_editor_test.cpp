// param_editor_test.cpp: the parameter editor, run with scripted answers.
//   ParamEditor.StoredChange*:   a change stored at the insertion point is a PARAM node with
//                                its "param " text, in force from the note on and nowhere
//                                before; "Not in the Score" is not offered in the Score
//   ParamEditor.AllVoices*:      every shown voice gets the change, a No removes later ones;
//                                one voice without notes beyond the point stores nothing at
//                                all, and nothing is asked first
//   ParamEditor.Variant*:        the value shown and stored is the one chosen (normal or
//                                small); the note's cue and grace flags stay as they are while
//                                menu commands run
//   ParamEditor.ChangesOnly*:    the changes-only lists, and the message when there are none
//   ParamEditor.Entries*:        what Store accepts and refuses of each type
#include "params/param_editor.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "annotations/anno_services.h"
#include "editing/editing_services.h"
#include "model/model_services.h"
#include "params/param_lookup.h"
#include "params/params_globals.h"
#include "platform/port.h"
#include "platform/script.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

class ParamEditor : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    script_begin();
    param_init();
  }
  void TearDown() override {
    for (const std::string& fault : script_take_faults())
      ADD_FAILURE() << "script fault: " << fault;
    EXPECT_EQ(script_pending(), 0) << "answers left unused";
    EXPECT_EQ(param_dialog_window, nullptr);
    script_end();
    ModelTest::TearDown();
  }
  std::vector<ShownText> shown() { return script_take_shown(); }
};

std::vector<Drosa> quarters(int v, int count) {
  std::vector<Drosa> notes;
  for (int i = 0; i < count; ++i) notes.push_back(add_note(v, QUARTER, 35 + i));
  return notes;
}

// Makes the parameter the selected row of the lists, as a click on it would.
void select_parameter(int pindex) {
  int headings = find_parameter_heading(-1);
  for (int h = 0; h < headings; ++h) {
    int position = find_parameter_heading(h);
    int rows = find_parameter_edit(-1, &position);
    for (int r = 0; r < rows; ++r)
      if (find_parameter_edit(r, nullptr) == pindex) {
        heading_cell.v = int16_t(h);
        param_cell.v = int16_t(r);
        return;
      }
  }
  ADD_FAILURE() << "parameter " << pindex << " is not listed";
}

// A change put into a voice as the page locator would find it.
Drosa later_change(Drosa before, int pindex, int32_t value) {
  Drosa change = newDrosa(PARAM, 0);
  change->set(xparam_index, int16_t(pindex));
  change->set(xparam_stsize, 50);
  ParamValue v{};
  v.set_integer(value);
  set_xparam_value(change, v);
  link_after(change, before->xback);
  param[pindex].changed = 1;
  return change;
}

// The changes of a parameter attached before a note, nearest last.
std::vector<Drosa> changes_before(Drosa note, int pindex) {
  std::vector<Drosa> found;
  for (Drosa p = find_prev_kind_stop(PARAM, note, ENDSYST); p;
       p = find_next_kind_before_note(PARAM, p))
    if (p->get(xparam_index) == pindex) found.push_back(p);
  return found;
}

int32_t value_at(int pindex, Drosa node) { return param_value(pindex, node, nullptr)->integer(); }

bool shows_alert(const std::vector<ShownText>& shown, int id) {
  for (const ShownText& s : shown)
    if (s.id == id) return true;
  return false;
}

TEST_F(ParamEditor, StoredChangeIsInForceFromTheInsertionPointOn) {
  int flute = new_voice("Flute"), oboe = new_voice("Oboe", 0, 1);
  std::vector<Drosa> f = quarters(flute, 4), o = quarters(oboe, 4);
  select_parameter(P_NORMAL_LENGTH_OF_NOTE_STEMS);
  // "Not in the Score" cannot be chosen while the Score is shown: all contexts instead.
  param_context_radio = PARAM_NOT_SCORE_ITEM;
  script_hit(PARAM_THIS_VOICE_ITEM);
  script_type(PARAM_VALUE_ITEM, "1.25");
  script_hit(PARAM_STORE_ITEM);
  script_hit(PARAM_CLOSE_ITEM);
  parameter_dialog(f[2], 0);

  std::vector<Drosa> made = changes_before(f[2], P_NORMAL_LENGTH_OF_NOTE_STEMS);
  ASSERT_EQ(made.size(), 1u);
  EXPECT_EQ(made[0]->xcontext, 0) << "all notation contexts";
  EXPECT_EQ(param_context_radio, PARAM_ALL_CONTEXTS_ITEM);
  EXPECT_EQ(made[0]->get(xparam_small), 0);
  EXPECT_EQ(made[0]->get(xparam_stsize), 50);
  EXPECT_EQ(get_xparam_value(made[0]).integer(), 13) << "1.25 points, rounded to tenths";
  EXPECT_EQ(value_at(P_NORMAL_LENGTH_OF_NOTE_STEMS, f[1]), 140);
  EXPECT_EQ(value_at(P_NORMAL_LENGTH_OF_NOTE_STEMS, f[2]), 13);
  EXPECT_EQ(value_at(P_NORMAL_LENGTH_OF_NOTE_STEMS, f[3]), 13);
  EXPECT_EQ(value_at(P_NORMAL_LENGTH_OF_NOTE_STEMS, o[2]), 140)
      << "the other voice keeps the default";
  Drosa text = find_prev_kind_stop(TEXT, f[2], ENDSYST);
  ASSERT_TRUE(text);
  EXPECT_EQ(text->get(xtext).rfind("param {198:", 0), 0u) << text->get(xtext);
  EXPECT_EQ(DrosaDirty & 1, 1);
  EXPECT_TRUE(changes_before(f[3], P_NORMAL_LENGTH_OF_NOTE_STEMS).empty());
  shown();
}

TEST_F(ParamEditor, AllVoicesGetTheChangeAndNoRemovesLaterChanges) {
  int flute = new_voice("Flute"), oboe = new_voice("Oboe", 0, 1);
  std::vector<Drosa> f = quarters(flute, 4), o = quarters(oboe, 4);
  later_change(o[3], P_NORMAL_LENGTH_OF_NOTE_STEMS, 70);
  select_parameter(P_NORMAL_LENGTH_OF_NOTE_STEMS);
  script_type(PARAM_VALUE_ITEM, "2");
  script_hit(PARAM_STORE_ITEM);
  script_hit(3);  // No: the later changes go
  script_hit(PARAM_CLOSE_ITEM);
  parameter_dialog(f[2], 0);

  EXPECT_EQ(value_at(P_NORMAL_LENGTH_OF_NOTE_STEMS, f[3]), 20);
  EXPECT_EQ(value_at(P_NORMAL_LENGTH_OF_NOTE_STEMS, o[2]), 20);
  EXPECT_EQ(value_at(P_NORMAL_LENGTH_OF_NOTE_STEMS, o[3]), 20) << "the later change was removed";
  EXPECT_TRUE(changes_before(o[3], P_NORMAL_LENGTH_OF_NOTE_STEMS).empty());
  std::vector<ShownText> s = shown();
  ASSERT_TRUE(shows_alert(s, ALERT_YES_NO_CANCEL));
}

TEST_F(ParamEditor, AllVoicesStoresNothingWhenOneVoiceEndsBeforeThePoint) {
  int flute = new_voice("Flute"), oboe = new_voice("Oboe", 0, 1);
  std::vector<Drosa> f = quarters(flute, 4);
  quarters(oboe, 2);
  Drosa later = later_change(f[3], P_NORMAL_LENGTH_OF_NOTE_STEMS,
                             70);  // would be asked about first, were it checked first
  select_parameter(P_NORMAL_LENGTH_OF_NOTE_STEMS);
  script_type(PARAM_VALUE_ITEM, "2");
  script_hit(PARAM_STORE_ITEM);
  script_hit(PARAM_CLOSE_ITEM);
  std::string before_flute = dump_voice(flute), before_oboe = dump_voice(oboe);
  parameter_dialog(f[2], 0);

  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].level, 2);
  EXPECT_EQ(r[0].text,
            "This parameter change cannot be stored here because 'Oboe' has no notes beyond "
            "this point!");
  EXPECT_EQ(dump_voice(flute), before_flute);
  EXPECT_EQ(dump_voice(oboe), before_oboe);
  EXPECT_EQ(changes_before(f[3], P_NORMAL_LENGTH_OF_NOTE_STEMS), std::vector<Drosa>{later});
  EXPECT_FALSE(shows_alert(shown(), ALERT_YES_NO_CANCEL)) << "nothing is asked";
}

// Reports while the editor is open, with the grace note's flags as they were then.
struct Seen {
  std::string text;
  int grace, cue;
};
std::vector<Seen> seen;
Drosa watched;

// Also draws the open editor as an update would and keeps its image.
void watch(int16_t, const char* text) {
  seen.push_back({text, watched->get(xgrace), watched->get(xcue)});
  if (!param_dialog_window) return;
  platform_invalidate_dialog_rect(param_dialog_window, Rect{});
  EventRecord update;
  update.what = EVENT_UPDATE;
  update.window = platform_dialog_window(param_dialog_window);
  int item = 0;
  param_dialog_filter(param_dialog_window, &update, &item);
  std::filesystem::path build = std::filesystem::current_path().parent_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt")) return;
  std::filesystem::path folder = build / "test-output" / "params";
  std::filesystem::create_directories(folder);
  port_save_png(platform_dialog_port(param_dialog_window), (folder / "param_editor.png").c_str());
}

TEST_F(ParamEditor, VariantChosenIsShownAndStoredAndTheNoteIsLeftAlone) {
  int v = new_voice();
  watched = add_grace(v, EIGHTH);
  add_note(v, QUARTER);
  seen.clear();
  set_report_observer(watch);
  std::snprintf(ncontext_name[1], 16, "Score");
  select_parameter(P_QUARTER_NOTE_HEAD);
  param_scope_radio = PARAM_THIS_VOICE_ITEM;
  script_hit(PARAM_STORE_ITEM);  // the normal note head as shown
  script_hit(PARAM_SMALL_ITEM);
  EventRecord menu;
  menu.what = EVENT_MENU;
  menu.message = (99u << 16) | 1;
  script_event(menu);            // a menu command runs while the editor is open
  script_hit(PARAM_STORE_ITEM);  // the small note head as shown
  script_hit(PARAM_CLOSE_ITEM);
  parameter_dialog(watched, 0);

  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, "Logic error in do_menu_item: menu 99");  // it ran, for no menu
  EXPECT_EQ(seen[0].grace, 1) << "the note is not changed while a command can run";
  EXPECT_EQ(seen[0].cue, 0);
  std::vector<Drosa> made = changes_before(watched, P_QUARTER_NOTE_HEAD);
  ASSERT_EQ(made.size(), 2u);
  EXPECT_EQ(made[0]->get(xparam_small), 0);
  EXPECT_EQ(get_xparam_value(made[0]).character(), param[P_QUARTER_NOTE_HEAD].value.character());
  EXPECT_EQ(made[1]->get(xparam_small), 1);
  EXPECT_EQ(get_xparam_value(made[1]).character(), param[P_QUARTER_NOTE_HEAD].small.character());
  EXPECT_NE(param[P_QUARTER_NOTE_HEAD].value.character(),
            param[P_QUARTER_NOTE_HEAD].small.character());
  EXPECT_EQ(param_size_radio, PARAM_SMALL_ITEM) << "the choice outlives the window";
  shown();
}

TEST_F(ParamEditor, ChangesOnlyListsWhatIsChangedAtTheNote) {
  int v = new_voice();
  std::vector<Drosa> n = quarters(v, 3);
  later_change(n[1], P_NORMAL_LENGTH_OF_NOTE_STEMS, 70);

  parameter_dialog(n[0], 1);
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text, "There are no parameter changes at this point in the piece.");
  EXPECT_TRUE(shown().empty()) << "the editor does not open";

  heading_cell.v = 5;
  script_hit(PARAM_CLOSE_ITEM);
  parameter_dialog(n[1], 1);
  EXPECT_EQ(heading_count, 1);
  EXPECT_EQ(param_row_count, 1);
  EXPECT_EQ(parameter_heading_text(0), "NOTE STEMS");
  EXPECT_EQ(parameter_row_text(0), "normal length of note-stems *");

  heading_cell.v = 5;
  script_hit(PARAM_CLOSE_ITEM);
  parameter_dialog(n[1], 0);
  EXPECT_EQ(heading_cell.v, 0) << "after a changes-only opening the lists start at the top";
  EXPECT_EQ(heading_count, param_heading_count);
  shown();
}

TEST_F(ParamEditor, EntriesAcceptedAndRefusedByType) {
  int v = new_voice();
  Drosa note = add_note(v, QUARTER);
  param_scope_radio = PARAM_THIS_VOICE_ITEM;
  param_size_radio = PARAM_SMALL_ITEM;
  param_order[param_order_count++] =
      P_FONT_AND_TEXT_FOR_CRES;  // listed under the last heading, to be edited
  struct Case {
    int pindex, item;
    const char* typed;
    const char* refusal;  // nullptr: stored
  };
  const Case cases[] = {
      {P_MULTIPLIER_TO_COMPUTE_BEAM_SLOPE_FROM_NOTE_LOCATIONS, PARAM_VALUE_ITEM, "0.5", nullptr},
      {P_NORMAL_LENGTH_OF_NOTE_STEMS, PARAM_VALUE_ITEM, "-1.25", nullptr},
      {P_NORMAL_LENGTH_OF_NOTE_STEMS, PARAM_VALUE_ITEM, "3201",
       "Illegal value; please use a number between -3200 and 3200."},
      {P_FONT_AND_TEXT_FOR_CRES, PARAM_TEXT_ITEM, "1234567", nullptr},
      {P_FONT_AND_TEXT_FOR_CRES, PARAM_TEXT_ITEM, "", nullptr},
      {P_FONT_AND_TEXT_FOR_CRES, PARAM_TEXT_ITEM, "12345678", "You can use at most 7 characters!"},
      {P_FONT_AND_TEXT_FOR_CRES, PARAM_TEXT_ITEM, " cres",
       "You cannot use a space at the start of your text!"},
      {P_FONT_INFORMATION_FOR_BAR_NUMBERS, PARAM_TEXT_ITEM, "ab",
       "You must specify one character."},
      {P_QUARTER_NOTE_HEAD, PARAM_X_ITEM, "1.5", nullptr},
  };
  for (const Case& c : cases) {
    select_parameter(c.pindex);
    script_type(c.item, c.typed);
    script_hit(PARAM_STORE_ITEM);
    script_hit(PARAM_CLOSE_ITEM);
    parameter_dialog(note, 0);
    std::vector<Report> r = take_reports();
    std::vector<Drosa> made = changes_before(note, c.pindex);
    if (c.refusal) {
      ASSERT_EQ(r.size(), 1u) << c.typed;
      EXPECT_EQ(r[0].text, c.refusal);
      continue;
    }
    EXPECT_TRUE(r.empty()) << c.typed;
    ASSERT_FALSE(made.empty()) << c.typed;
    ParamValue stored = get_xparam_value(made.back());
    if (c.pindex == P_MULTIPLIER_TO_COMPUTE_BEAM_SLOPE_FROM_NOTE_LOCATIONS) {
      EXPECT_FLOAT_EQ(stored.real(), 0.5f);
      EXPECT_EQ(param_size_radio, PARAM_NORMAL_ITEM) << "a single value: back to normal notes";
    }
    if (c.pindex == P_NORMAL_LENGTH_OF_NOTE_STEMS) EXPECT_EQ(stored.integer(), -13);
    if (c.pindex == P_FONT_AND_TEXT_FOR_CRES) EXPECT_STREQ(stored.text(), c.typed);
    if (c.pindex == P_QUARTER_NOTE_HEAD) {
      EXPECT_EQ(stored.x(), 15);
      EXPECT_EQ(stored.character(), param[P_QUARTER_NOTE_HEAD].value.character());
    }
  }
  shown();
}

}  // namespace
