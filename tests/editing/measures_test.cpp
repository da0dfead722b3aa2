// tests/editing/measures_test.cpp: Insert Measures and Delete Measures on pieces of two staves.
//   MeasureTemplate.*: the rests of one empty measure in each time
//   InsertMeasures.*:  at the insertion point or the end of its system, in new systems and
//                      pages with the clef restated; one staff; undone exactly; bar lines
//                      broken between the staves
//   DeleteMeasures.*:  whole measures of every voice with the settings after them kept; the
//                      questions; refusals that change nothing
#include "editing/measures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "editing/symbols.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/script.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"
#include "support/symbol_page.h"

namespace {

using MeasureTemplate = ModelTest;
using InsertMeasures = SymbolPage;
using DeleteMeasures = SymbolPage;

// Rests by value ("1" a whole, "3." a dotted quarter).
std::string rest_values(Drosa first) {
  std::string text;
  for (Drosa p = first; p; p = p->xnext) {
    if (!text.empty()) text += ' ';
    text += std::to_string(p->get(xlgval)) + (p->get(xdots) ? "." : "");
  }
  return text;
}

TEST_F(MeasureTemplate, EachTimeIsFilledByTheFewestRestsOfItsBeats) {
  const struct {
    int beats, beat;
    const char* rests;
  } cases[] = {
      {4, 4, "1"}, {3, 4, "2."},  {6, 8, "3. 3."},    {5, 4, "1 3"},          {7, 8, "3. 3. 4"},
      {2, 2, "1"}, {4, 2, "1 1"}, {9, 8, "3. 3. 3."}, {12, 8, "3. 3. 3. 3."}, {2, 4, "2"}};
  for (const auto& c : cases) {
    Drosa chain = measure_template(c.beats, c.beat);
    EXPECT_EQ(rest_values(chain), c.rests) << c.beats << "/" << c.beat;
    int32_t total = 0;
    for (Drosa p = chain; p; p = p->xnext) {
      EXPECT_TRUE(p->get(xrest) && p->get(xendvcd));
      total += int32_t(p->get(xttn));
    }
    EXPECT_EQ(total, c.beats * 65536 / c.beat) << "the playback times fill the measure";
    destroy_Drosa_list(chain);
  }
  capture_reports();
  EXPECT_FALSE(measure_template(4, 6));
  ASSERT_EQ(take_reports().size(), 1u);
}

// Two staves, four bars on one system.
void four_bars() {
  const int upper = staff_voice(0, 0), lower = staff_voice(1, 1);
  add_tokens(upper, "C5 D5 E5 F5 | G5 A5 B5 C6 | D6 C6 B5 A5 | G5 F5 E5 D5 |");
  add_tokens(lower, "hC4 hE4 | hG3 hC4 | hD4 hB3 | hD4 hG3 |");
}

TEST_F(InsertMeasures, AtTheInsertionPointEveryVoiceTakesMeasuresOfRestsUndoneExactly) {
  open(four_bars);
  const std::string before = stored_voice_bytes();
  select(voice_notes(0)[4]);
  script_type(9, "2");
  script_hit(SYMBOL_AT_INSERTION);
  script_hit(18);  // keep the present systems
  dialog_image("insert_measures");
  script_hit(1);
  ASSERT_EQ(make_measures(find_prev_kind(TIMESIG, insertion_point), 0, nullptr), 1);
  EXPECT_EQ(symbol_dump(0),
            "clef0 key0[] 4/4 C5 D5 E5 F5 | r | r | G5 A5 B5 C6 | D6 C6 B5 A5 | G5 F5 E5 D5 |");
  EXPECT_EQ(symbol_dump(1), "clef1 key0[] 4/4 C4 E4 | r | r | G3 C4 | D4 B3 | D4 G3 |");
  EXPECT_EQ(voice_notes(1)[2]->get(xlgval), WHOLE);
  expect_consistent();
  run_until_idle();
  save_page("inserted_measures");
  undo();
  EXPECT_TRUE(stored_voice_bytes() == before);
  const MeasuresDialogState& s = measures_dialog_state;
  EXPECT_EQ(s.measures, 2);
  EXPECT_EQ(s.at_insertion_point, 1) << "remembered for the next use";

  // From the menu the undo history is cleared.
  select(voice_notes(0)[0]);
  script_hit(1);
  command(PAGE_MENU, 14);
  EXPECT_EQ(undo_list_length(0), 0);
  EXPECT_EQ(symbol_dump(1), "clef1 key0[] 4/4 r | r | C4 E4 | G3 C4 | D4 B3 | D4 G3 |");
}

TEST_F(InsertMeasures, BarLinesBrokenBetweenTheStavesStayBrokenInTheNewMeasures) {
  open(four_bars);
  // A document's bar line stops at its staff: the mark stands after the bar, before the note.
  Drosa note = voice_notes(0)[4];
  link_after(newDrosa(BARSEP, 0), find_prev_kind(BAR, note));
  select(note);
  script_type(9, "2");
  script_hit(SYMBOL_AT_INSERTION);
  script_hit(18);  // keep the present systems
  script_hit(1);
  ASSERT_EQ(make_measures(find_prev_kind(TIMESIG, insertion_point), 0, nullptr), 1);
  // C5 D5 E5 F5 | r | r | G5 ...: each bar before the rests and G5 keeps its bar line broken.
  const std::vector<Drosa> notes = voice_notes(0);
  for (int i : {4, 5, 6}) EXPECT_TRUE(find_BARSEP(find_prev_kind(BAR, notes[i]))) << i;
  expect_consistent();
}

TEST_F(InsertMeasures, AtTheEndOfAFullSystemNewSystemsAndPagesTakeTheClef) {
  open(four_bars);
  set_options_i16(1, OPTIONS_CLEF_AT_EACH_SYSTEM, 1);
  select(voice_notes(1)[0]);
  script_type(9, "5");
  script_type(14, "2");
  script_type(16, "2");
  script_hit(SYMBOL_AT_SYSTEM_END);
  script_hit(19);  // new systems
  script_hit(1);
  ASSERT_EQ(make_measures(NIL, 0, nullptr), 1);
  EXPECT_EQ(symbol_dump(1),
            "clef1 key0[] 4/4 C4 E4 | G3 C4 | D4 B3 | D4 G3 | /@1 clef1@1 key0[]@1 r | r | //@1 "
            "clef1@1 key0[]@1 r | r | r |");
  expect_consistent();
  EXPECT_EQ(page_count, 2);
}

TEST_F(InsertMeasures, OneStaffOnlyAfterTheQuestionAndABeatValueOfTwoOnly) {
  open(four_bars);
  select(voice_notes(1)[2]);
  capture_reports();
  script_type(9, "1");
  script_type(12, "6");
  script_hit(1);  // refused, the dialog stays
  script_type(12, "4");
  script_hit(SYMBOL_AT_INSERTION);
  script_hit(SYMBOL_THIS_STAFF);
  script_hit(18);
  script_hit(1);
  script_hit(1);  // yes, one staff only
  ASSERT_EQ(make_measures(NIL, 0, nullptr), 1);
  EXPECT_EQ(symbol_dump(0),
            "clef0 key0[] 4/4 C5 D5 E5 F5 | G5 A5 B5 C6 | D6 C6 B5 A5 | G5 F5 E5 D5 |");
  EXPECT_EQ(symbol_dump(1), "clef1 key0[] 4/4 C4 E4 | r | G3 C4 | D4 B3 | D4 G3 |");
  const std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text, "The beat value must be a power of two (2, 4, 8, 16).");
  EXPECT_NE(shown().back().text.find("on one staff only"), std::string::npos);
}

// Bars of 4/4 with a change to 3/4 in bar 3 and a key change in bar 4; the lower voice holds a
// whole note across the middle of bar 2.
void changes_piece() {
  const int upper = staff_voice(0, 0), lower = staff_voice(1, 1);
  add_tokens(upper, "C5 D5 E5 F5 | G5 A5 B5 C6 |");
  add_timesig(upper, 3, 4);
  add_tokens(upper, "D6 C6 B5 | K2 A5 G5 F5 | E5 D5 C5 |");
  add_tokens(lower, "hC4 hE4 | wG3 |");
  add_timesig(lower, 3, 4);
  add_tokens(lower, "hD4 B3 | K2 hD4 G3 | hC4 C4 |");
}

TEST_F(DeleteMeasures, TheTimeAfterTheStretchStaysInForceAndAKeyChangeIsAskedAbout) {
  open(changes_piece);
  const std::string before = stored_voice_bytes();
  select(voice_notes(0)[4]);
  capture_reports();
  script_type(9, "2");
  script_hit(1);
  script_hit(1);  // yes, though a key change goes
  do_delete_measures();
  EXPECT_EQ(symbol_dump(0), "clef0 key0[] 4/4 C5 D5 E5 F5 | 3/4 A5 G5 F5 | E5 D5 C5 |");
  EXPECT_EQ(symbol_dump(1), "clef1 key0[] 4/4 C4 E4 | 3/4 D4 G3 | C4 C4 |");
  const std::vector<ShownText> said = shown();
  ASSERT_EQ(said.size(), 2u);
  EXPECT_EQ(said[1].text,
            "You are about to delete measures with key changes; you might need to add the key "
            "change again.");
  expect_consistent();
  undo();
  EXPECT_TRUE(stored_voice_bytes() == before);
}

TEST_F(DeleteMeasures, MoreThanNineAskAndAllOfThemAreRefused) {
  open(four_bars);
  const std::string before = stored_voice_bytes();
  select(voice_notes(0)[0]);
  capture_reports();
  script_type(9, "10");
  script_hit(1);
  script_hit(1);  // yes, all four that there are
  do_delete_measures();
  const std::vector<ShownText> said = shown();
  ASSERT_EQ(said.size(), 2u);
  EXPECT_EQ(said[1].text,
            "There are only 4 measures until the end of the piece; do you want to delete all of "
            "them?");
  const std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text, "You cannot delete all the measures in the piece!");
  EXPECT_TRUE(stored_voice_bytes() == before);

  select(voice_notes(0)[4]);
  ASSERT_EQ(delete_measures(3, 1), 1) << "three measures ask nothing";
  EXPECT_EQ(symbol_dump(0), "clef0 key0[] 4/4 C5 D5 E5 F5 |");
  EXPECT_TRUE(shown().empty());
  expect_consistent();
}

TEST_F(DeleteMeasures, ThePartsKeepTheirNamesWhenTheFirstMeasureGoes) {
  // The names a part shows stand before its first note: they went with the first measure.
  PartNames names;
  names.full = {"Flauto traverso", true};
  names.abbreviation = {"Fl.", false};
  open([&] {
    const int upper = staff_voice(0, 0);
    add_tokens(upper, "C5 D5 E5 F5 | G5 A5 B5 C6");
    ASSERT_TRUE(set_part_names(upper, names));
  });
  select(voice_notes(0)[0]);
  ASSERT_EQ(delete_measures(1, 1), 1);
  auto kept = [&] {
    const PartNames now = part_names_of_voice(0);
    return now.full.text == names.full.text && now.full.shown &&
           now.abbreviation.text == names.abbreviation.text && !now.abbreviation.shown;
  };
  EXPECT_EQ(symbol_dump(0), "clef0 key0[] 4/4 G5 A5 B5 C6");
  EXPECT_TRUE(kept());
  undo();
  EXPECT_TRUE(kept());
  expect_consistent();
}

// The clef restated at a system's start is the clef in force: deleting the measures around the
// break leaves no clef change where they joined.
TEST_F(DeleteMeasures, MeasuresAcrossASystemBreakLeaveNoStrayClef) {
  open([] {
    const int upper = staff_voice(0, 0);
    add_tokens(upper, "C5 D5 E5 F5 | G5 A5 B5 C6 |");
    add_system_break(upper);
    add_clef(upper, 0);
    add_tokens(upper, "D6 C6 B5 A5 | E5 F5 G5 A5");
  });
  select(voice_notes(0)[4]);
  ASSERT_EQ(delete_measures(2, 1), 1);
  EXPECT_EQ(symbol_dump(0), "clef0 key0[] 4/4 C5 D5 E5 F5 | E5 F5 G5 A5");
  expect_consistent();
}

// The lower voice is shorter than the upper, as a damaged file may leave it.
TEST_F(DeleteMeasures, AVoiceLeftWithoutNotesRefusesAndOneCutInsideANoteIsSaid) {
  script_hit(2);  // no further warnings of voices that disagree
  open([] {
    const int upper = staff_voice(0, 0), lower = staff_voice(1, 1);
    add_tokens(upper, "C5 D5 E5 F5 | G5 A5 B5 C6 | D6 C6 B5 A5");
    add_tokens(lower, "hC4 wE4 hG3");
  });
  for (const ShownText& t : shown()) EXPECT_EQ(t.id, 9132) << t.text;
  const std::string before = stored_voice_bytes();
  capture_reports();
  select(voice_notes(0)[0]);
  ASSERT_EQ(delete_measures(2, 1), 0);
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_NE(r[0].text.find("without any notes in the piece!"), std::string::npos);
  EXPECT_TRUE(stored_voice_bytes() == before) << "nothing removed from either voice";

  select(voice_notes(0)[0]);
  ASSERT_EQ(delete_measures(1, 1), 1);
  r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_NE(r[0].text.find("in the middle of a note on voice"), std::string::npos);
  EXPECT_EQ(symbol_dump(0), "clef0 key0[] 4/4 G5 A5 B5 C6 | D6 C6 B5 A5");
  EXPECT_EQ(symbol_dump(1), "clef1 key0[] 4/4 G3") << "carried out";
  expect_consistent();
}

}  // namespace
