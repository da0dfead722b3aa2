// note_positions_test.cpp: staff geometry and the vertical positions of notes.
//   Geometry.*:  the outer lines of staves, and piano-tablature keys
//   Positions.*: heads under each clef, clef changes within a system, guitar-tablature
//                strings and piano-tablature keys
#include <gtest/gtest.h>

#include "layout/layout_fields.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "support/layout_fixture.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

using Geometry = ModelTest;
using Positions = ModelTest;

Drosa print_of(int v) { return find_next_kind_before_note(PRINT, piece_start[v]); }
int32_t head_y(Drosa note) { return ntdata_of_note(note)->get(xhdy); }
constexpr int32_t MIDDLE = 8000;  // the first pstaff's middle line in the fixture

TEST_F(Geometry, OuterLinesOfStaves) {
  param_init();
  struct Case {
    int lines, type;
    int32_t bottom, top, bottom_outer, top_outer;
  } cases[] = {
      {5, 0, -100, 100, -100, 100},
      {1, 0, 0, 0, -100, 100},  // a one-line staff counts two staff sizes out
      {2, 0, 0, 50, -50, 100},
      // Piano tablature, lines byte 5: the lines run from b + 61 to b + 75 around b + 68.
      {5, 3, -200, 200, -250, 250},
  };
  for (const Case& c : cases) {
    staff_data[0] = StaffData{};
    staff_data[0].staff_size = 50;
    staff_data[0].lines = uint8_t(c.lines);
    staff_data[0].staff_type = uint8_t(c.type);
    staff_data[0].middle_y = 0;
    EXPECT_EQ(staff_bottom_y(0, 0), c.bottom) << c.lines;
    EXPECT_EQ(staff_top_y(0, 0), c.top) << c.lines;
    EXPECT_EQ(staff_bottom_y_outer(0), c.bottom_outer) << c.lines;
    EXPECT_EQ(staff_top_y_outer(0), c.top_outer) << c.lines;
  }
}

TEST_F(Geometry, PianoTablatureKeys) {
  param_init();
  staff_data[0].staff_size = 50;
  staff_data[0].lines = 5;
  staff_data[0].staff_type = 3;
  // Fourteen positions an octave: a semitone each and a gap between E and F.
  EXPECT_EQ(pitch_to_staff_y(68, 0), 0);
  EXPECT_EQ(pitch_to_staff_y(68 + 4, 0) - pitch_to_staff_y(68 + 3, 0), 50);  // G sharp up to C
  EXPECT_EQ(pitch_to_staff_y(65, 0) - pitch_to_staff_y(64, 0), 50);          // E to F: a gap
  EXPECT_EQ(pitch_to_staff_y(68 - 12, 0), -14 * 25);
  staff_data[0].lines = 8;  // the second pitch set
  EXPECT_EQ(pitch_to_staff_y(50, 0), 0);
  EXPECT_EQ(pitch_tab_string(60, 0), 0) << "a white key";
  EXPECT_GE(pitch_tab_string(61, 0), 1);
  int32_t above, above_width, below, below_width;
  nearest_staff_positions(pitch_to_staff_y(62, 0), 0, &above, &above_width, &below, &below_width);
  EXPECT_EQ(above, pitch_to_staff_y(63, 0));
  EXPECT_EQ(below, pitch_to_staff_y(61, 0));
}

TEST_F(Positions, HeadsUnderEachClef) {
  struct Case {
    int clef, middle_position;
  } cases[] = {{0, 42}, {1, 30}, {2, 36}, {3, 34}, {5, 35}, {10, 38}};
  for (const Case& c : cases) {
    int v = new_voice();
    add_clef(v, c.clef);
    Drosa on_middle = add_note(v, QUARTER, c.middle_position);
    Drosa space_up = add_note(v, QUARTER, c.middle_position + 1);
    Drosa below = add_note(v, QUARTER, c.middle_position - 3);
    ASSERT_EQ(format_one_system(), 1);
    EXPECT_EQ(head_y(on_middle), MIDDLE) << "clef " << c.clef;
    EXPECT_EQ(head_y(space_up), MIDDLE + 25);
    EXPECT_EQ(head_y(below), MIDDLE - 75);
    EXPECT_EQ(cddatptr(on_middle, 0)->get(xcdclef), c.clef);
    TearDown();
    SetUp();
  }
}

TEST_F(Positions, AClefChangeHoldsFromItsChordOn) {
  int v = new_voice();
  add_clef(v, 0);
  Drosa treble = add_note(v, QUARTER, 42);
  add_clef(v, 1);
  Drosa bass = add_note(v, QUARTER, 42);
  Drosa still_bass = add_note(v, QUARTER, 42);
  print_of(v)->set(xstaffsize, int16_t(40));
  ASSERT_EQ(format_one_system(), 1);
  EXPECT_EQ(head_y(treble), MIDDLE);
  EXPECT_EQ(head_y(bass), MIDDLE + 12 * 20);  // twelve steps of half the staff size 40
  EXPECT_EQ(head_y(still_bass), MIDDLE + 12 * 20);
  EXPECT_EQ(ntdata_of_note(still_bass)->get(xstsize), 40);
}

// On a staff of two layers a clef in one voice holds for the other voice's later chords (and
// for the chords of higher layers at its own time point).
TEST_F(Positions, AClefInOneLayerHoldsForTheOtherLayer) {
  int a = new_voice(), b = new_voice();
  print_of(a)->set(xprintdir, int16_t(2));
  print_of(b)->set(xprintdir, int16_t(2));
  add_clef(a, 0);
  Drosa eighths[4];
  for (Drosa& n : eighths) n = add_note(a, EIGHTH, 42);
  add_note(b, QUARTER, 30);
  add_clef(b, 1);
  Drosa bass = add_note(b, QUARTER, 30);
  ASSERT_EQ(format_one_system(), 1);
  ASSERT_EQ(chain_text(0, 1), "[1:30^!] [1:30^!]");
  EXPECT_EQ(head_y(eighths[1]), MIDDLE);
  EXPECT_EQ(head_y(eighths[2]), MIDDLE) << "a clef of a higher layer at the same time point";
  EXPECT_EQ(head_y(bass), MIDDLE);
  EXPECT_EQ(head_y(eighths[3]), MIDDLE + 12 * 25);
}

TEST_F(Positions, GuitarTablatureStrings) {
  int v = new_voice();
  print_of(v)->set(xtablature, 1);
  print_of(v)->set(xslines, int16_t(6));
  auto pitched = [](Drosa n, int key) {
    n->set(xpitch, uint16_t(key << 8));
    return n;
  };
  // E2 and B3 take the lowest and the second string, the first free strings that can play
  // them counting from string 1; an explicit string is kept, a rest goes to string 8.
  Drosa low = pitched(add_note(v, QUARTER, 23, 0, true), 40);
  Drosa high = pitched(add_note(v, QUARTER, 34), 59);
  Drosa kept = pitched(add_note(v, QUARTER, 34), 59);
  kept->set(xstring, 3);
  Drosa rest = add_rest(v, QUARTER);
  ASSERT_EQ(format_one_system(), 1);
  struct Expect {
    Drosa note;
    int string;
  } expect[] = {{low, 6}, {high, 2}, {kept, 3}, {rest, 8}};
  for (const Expect& e : expect) {
    EXPECT_EQ(ntdata_of_note(e.note)->get(xtabstr), e.string);
    EXPECT_EQ(ntdata_of_note(e.note)->get(xtabtyp), 1);
    EXPECT_EQ(head_y(e.note), MIDDLE + 50 * (3 - e.string) + 25);
  }
}

TEST_F(Positions, PianoTablatureKeysRoundUpFromHalfASemitone) {
  int v = new_voice();
  print_of(v)->set(xtablature, 3);
  Drosa stays = add_note(v, QUARTER);
  stays->set(xpitch, uint16_t((68 << 8) + 99));
  Drosa next_key = add_note(v, QUARTER);
  next_key->set(xpitch, uint16_t((68 << 8) + 100));
  ASSERT_EQ(format_one_system(), 1);
  // Key 68 is the middle line and key 69 a position above it, each less half a staff size.
  EXPECT_EQ(head_y(stays), MIDDLE - 25);
  EXPECT_EQ(head_y(next_key), MIDDLE);
}

}  // namespace
