// setstdir_test.cpp: stem directions.
//   Stems.*: single notes and chords by their heads, beam groups, several voices on a staff,
//            grace notes, and a beam continued from the previous system
#include <gtest/gtest.h>

#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "support/layout_fixture.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

using Stems = ModelTest;

// Under the treble clef position 42 is the middle line and a step is 25 units; the note
// head height is 50. A stem goes up when the lowest head lies further below the middle line
// than the highest lies above it by more than a head's height.
TEST_F(Stems, SingleNotesAndChordsFollowTheirHeads) {
  int v = new_voice();
  for (const std::vector<int>& chord :
       std::vector<std::vector<int>>{{42}, {34}, {44}, {40, 42}, {39, 42}, {38, 46}})
    add_chord(v, QUARTER, chord);
  ASSERT_EQ(format_one_system(), 1);
  EXPECT_EQ(chain_text(0, 0), "[0:42v] [0:34^] [0:44v] [0:40v 0:42v] [0:39^ 0:42^] [0:38v 0:46v]");
}

TEST_F(Stems, ABeamGroupTakesOneDirection) {
  int v = new_voice();
  for (int position : {30, 48, 46, 47}) add_note(v, EIGHTH, position);
  ASSERT_EQ(format_one_system(), 1);
  EXPECT_EQ(chain_text(0, 0), "[0:30^=] [0:48^] [0:46v=] [0:47v]");
}

TEST_F(Stems, VoicesSharingAChordShareItsDirection) {
  int a = new_voice(), b = new_voice();
  add_note(a, QUARTER, 30);
  add_note(b, QUARTER, 44);
  ASSERT_EQ(format_one_system(), 1);
  EXPECT_EQ(chain_text(0, 0), "[0:30^ 1:44^]");
}

TEST_F(Stems, GraceNotesBeforeAUniformChordStemUp) {
  int v = new_voice();
  add_grace(v, EIGHTH, false, 46);
  add_chord(v, QUARTER, {44, 46});
  ASSERT_EQ(format_one_system(), 1);
  EXPECT_EQ(chain_text(0, 0), "[0:46g^] [0:44v 0:46v]");
}

TEST_F(Stems, ABeamFromThePreviousSystemKeepsItsDirection) {
  int v = new_voice();
  piece_start[v]->set(xsys_beamup, 1);
  add_note(v, EIGHTH, 46)->set(xebeam, 1);  // the continued beam ends at the first chord
  add_note(v, EIGHTH, 46);
  ASSERT_EQ(format_one_system(), 1);
  EXPECT_EQ(chain_text(0, 0), "[0:46^] [0:46v]");
}

}  // namespace
