// setprint_test.cpp: the print chains and layers of a system.
//   Layers.*:     voices that cannot share staff chords go to layers of their own
//   TimePoints.*: notes within 50 units are one time point; grace notes before the beat first
//   Switch.*:     a voice that moves to the next staff stems both staves' notes apart
//   Unequal.*:    notes of one stem that differ in length become chords of their own
#include "layout/setprint.h"

#include <gtest/gtest.h>

#include "layout/layout_services.h"
#include "model/model_services.h"
#include "support/layout_fixture.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

using Layers = ModelTest;
using TimePoints = ModelTest;
using Switch = ModelTest;
using Unequal = ModelTest;

Drosa print_of(int v) { return find_next_kind_before_note(PRINT, piece_start[v]); }

void set_stems(int v, int dir) { print_of(v)->set(xprintdir, int16_t(dir)); }

int chord_number_of(Drosa note) { return cddatptr(note, 0)->xnext->get(xchordNum); }

TEST_F(Layers, VoicesThatCannotShareAChordAreSplit) {
  struct Case {
    int a_value, b_value, a_stems, b_stems;
    int runs;
    const char *layer0, *layer1;
  } cases[] = {
      // A quarter and an eighth with the same stems: the longer goes to layer 1.
      {QUARTER, EIGHTH, 2, 2, 2, "[1:40^!=] [1:40^!]", "[0:35^!]"},
      // Equal values with stems apart share one chord, stems down first.
      {QUARTER, QUARTER, 2, 1, 1, "[1:40v! 0:35^!] [1:40v!]", ""},
  };
  for (const Case& c : cases) {
    int a = new_voice(), b = new_voice();
    set_stems(a, c.a_stems);
    set_stems(b, c.b_stems);
    add_note(a, c.a_value, 35);
    for (int i = 0; i < 2; ++i) add_note(b, c.b_value, 40);
    prepare_one_system();
    EXPECT_EQ(layer_system(), c.runs);
    beam_end_pass();
    setstdir();
    join_beams_pass();
    EXPECT_EQ(chain_text(0, 0), c.layer0);
    EXPECT_EQ(chain_text(0, 1), c.layer1);
    EXPECT_EQ(print_of(a)->get(xlayer), c.runs - 1);
    TearDown();
    SetUp();
  }
}

TEST_F(Layers, EveryFormatStartsTheVoicesInLayerZero) {
  int a = new_voice();
  add_note(a, QUARTER, 35);
  print_of(a)->set(xlayer, 3);  // left by a split while another page was formatted
  ASSERT_EQ(format_one_system(), 1);
  EXPECT_EQ(chain_text(0, 0), "[0:35^]");
  EXPECT_EQ(chain_text(0, 3), "");
}

// Septuplet sixteenths run 3 units long per quarter, quintuplet sixteenths 1: voice a's note
// after them comes 50 (or 51) units after voice b's note after as many quarters.
TEST_F(TimePoints, NotesWithin50UnitsShareATimePoint) {
  for (int late : {50, 51}) {
    int a = new_voice("A", 0, 0), b = new_voice("B", 0, 1);
    int septuplets = late == 50 ? 16 : 17, quintuplets = late == 50 ? 2 : 0;
    for (int i = 0; i < 7 * septuplets; ++i) make_tuplet(add_note(a, SIXTEENTH), 7, 4);
    for (int i = 0; i < 5 * quintuplets; ++i) make_tuplet(add_note(a, SIXTEENTH), 5, 4);
    for (int i = 0; i < septuplets + quintuplets; ++i) add_note(b, QUARTER);
    Drosa after_a = add_note(a, QUARTER), after_b = add_note(b, QUARTER);
    ASSERT_EQ(format_one_system(), 1);
    int32_t t_a = cddatptr(after_a, 0)->xnext->get(xswholec);
    EXPECT_EQ(chord_number_of(after_a) == chord_number_of(after_b), late == 50) << late;
    EXPECT_EQ(t_a - cddatptr(after_b, 0)->xnext->get(xswholec), late == 50 ? 0 : late);
    TearDown();
    SetUp();
  }
}

TEST_F(TimePoints, GraceNotesBeforeTheBeatComeFirstThenAfterGraceNotes) {
  int a = new_voice("A", 0, 0), b = new_voice("B", 0, 1), c = new_voice("C", 0, 2);
  add_note(a, QUARTER);
  Drosa after1 = add_grace(a, EIGHTH, true);
  Drosa after2 = add_grace(a, EIGHTH, true);
  Drosa a2 = add_note(a, QUARTER);
  add_note(b, QUARTER);
  Drosa before = add_grace(b, EIGHTH);
  Drosa b2 = add_note(b, QUARTER);
  add_note(c, QUARTER);
  Drosa after_c = add_grace(c, EIGHTH, true);
  add_note(c, QUARTER);
  ASSERT_EQ(format_one_system(), 1);
  // At the second beat: b's grace note, then a's first after-grace note alone (a has the
  // most), then the last after-grace notes of a and c together, then the beat itself.
  EXPECT_EQ(chord_number_of(before), 1);
  EXPECT_EQ(chord_number_of(after1), 2);
  EXPECT_EQ(chord_number_of(after2), 3);
  EXPECT_EQ(chord_number_of(after_c), 3);
  EXPECT_EQ(chord_number_of(a2), 4);
  EXPECT_EQ(chord_number_of(b2), 4);
}

TEST_F(Switch, AVoiceMovingDownAStaffPointsItsStemsAtTheOtherStaffAndTheOthersAway) {
  int a = new_voice("Piano", 0, 0), c = new_voice("Piano", 1, 0), b = new_voice("Piano", 2, 1);
  Drosa before = add_note(a, EIGHTH, 35);
  add_print(a, 1, 1);  // a moves from staff 0 to staff 1
  Drosa moved = add_note(a, EIGHTH, 36);
  add_bar(a);
  Drosa after_bar = add_note(a, QUARTER, 30);
  Drosa left1 = add_note(c, EIGHTH, 40), left2 = add_note(c, EIGHTH, 40);
  add_bar(c);
  add_note(c, QUARTER, 40);
  Drosa there = add_note(b, QUARTER, 30);
  add_bar(b);
  add_note(b, QUARTER, 30);
  ASSERT_EQ(format_one_system(), 1);
  EXPECT_EQ(find_prev_kind(PRINT, moved)->get(xlhrh), 1);
  // Before the switch the two eighths of staff 0 shared a chord with free stems: the moving
  // voice's now stems down, toward the staff it goes to, the one left behind up; on staff 1
  // the moved eighth stems up and the voice it meets down. After the bar line the stem is
  // free again (and its low head takes it up).
  struct Expect {
    Drosa note;
    int forced, dir;
  } expect[] = {{before, 1, 1}, {moved, 1, 2}, {left1, 1, 2},
                {left2, 1, 2},  {there, 1, 1}, {after_bar, 0, 2}};
  for (const Expect& e : expect) {
    EXPECT_EQ(ntdata_of_note(e.note)->get(xforced), e.forced);
    EXPECT_EQ(ntdata_of_note(e.note)->get(xstmdir), e.dir);
  }
  EXPECT_EQ(print_of(b)->get(xpartstaves), 2);
  EXPECT_EQ(print_of(b)->get(xpartstaff), 1);
}

TEST_F(Unequal, ALongerNoteOfTheSameStemBecomesAChordOfItsOwn) {
  int v = new_voice();
  set_stems(v, 2);
  add_note(v, QUARTER, 37, 0, true);
  add_note(v, EIGHTH, 35);
  add_note(v, EIGHTH, 35);
  add_note(v, QUARTER, 35);
  ASSERT_EQ(format_one_system(), 1);
  // The quarter stands after the eighth at the same time point, in a chord of its own, and
  // the eighth's beam, which would now lead to the quarter, ends.
  EXPECT_EQ(chain_text(0, 0), "[0:35^!] [0:37^!] [0:35^!] [0:35^!]");
  Drosa quarter = piece_start[v];
  while (quarter->xkind != NOTE) quarter = quarter->xnext;
  EXPECT_EQ(chord_number_of(quarter), 0);
}

}  // namespace
