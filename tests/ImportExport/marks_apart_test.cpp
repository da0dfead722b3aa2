// tests/ImportExport/marks_apart_test.cpp: imported marks of neighbouring notes (words, tempo
// marks, dynamics) engraved clear of one another, held to the page checker's rules; the page
// goes to test-output/real_scores of the build folder.
#include <cstdlib>
#include <filesystem>

#include "ImportExport/musicxml_fixture.h"
#include "annotations/anno_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "support/engraved_page.h"

namespace {

class MarksApart : public EngravedPageTest {
 protected:
  MarksApart() : EngravedPageTest("real_scores") {}
};

TEST_F(MarksApart, MarksOfNeighbouringNotesStandClearOfEachOther) {
  // Tempo words at a bar's start and the metronome mark its offset puts at the last beat; words
  // under the first note running on under the next note's dynamic; a dynamic and the words of
  // the note after it: each pair met at the one height the document gives them. Words at the
  // document's height stood on the head of the high note they are at, words at a syllable's
  // height on the syllable.
  engrave_clean("marks_of_neighbouring_notes");
}

TEST_F(MarksApart, MarksPlacedOverTheOtherStaffOfTheirPartStandBetweenTheStaves) {
  // The left hand's mf and words placed above its staff farther than the staves stand apart,
  // under the right hand's high notes; the right hand's p as far below its staff, on the left
  // hand's notes: each stood on the other staff's heads.
  engrave_clean("dynamic_over_the_staff_above");
}

TEST_F(MarksApart, DirectionsPlacedFromTheMeasuresStartStandAtTheirNotes) {
  // Each direction's x a little less than its note's, both counted from the measure's start:
  // taken from the note, each stood as far right of it as its note stands in the measure, the
  // first one too once the others told how the document counts.
  ASSERT_EQ(import_fixture("directions_placed_from_the_measure.xml"), 1);
  constexpr int DYNAMIC = 7;
  int dynamics = 0;
  for (Drosa p = piece_start[0]; p; p = p->xnext) {
    if (p->xkind != TPARAM || p->get(xadjacent) || p->get(xclassify) != DYNAMIC) continue;
    // Centred at its note, within a space of it.
    EXPECT_LT(std::abs(p->get(xtextx) + 50), 60) << "dynamic " << dynamics;
    ++dynamics;
  }
  EXPECT_EQ(dynamics, 3);
}

}  // namespace
