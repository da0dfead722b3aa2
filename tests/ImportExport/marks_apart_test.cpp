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
#include "support/page_checker.h"
#include "support/page_image.h"

namespace {

class MarksApart : public MusicXmlTest {
 protected:
  // Imports, formats and draws the first page of a fixture, writes it as an image and gives
  // what the page checker finds.
  std::vector<PageFault> engrave(const std::string& name) {
    platform_init_fonts();
    if (import_fixture((name + ".xml").c_str(), 1) != 1)
      return {{"import", "the fixture did not import and format"}};
    return engrave_first_page("real_scores", name);
  }
};

TEST_F(MarksApart, MarksOfNeighbouringNotesStandClearOfEachOther) {
  // Tempo words at a bar's start and the metronome mark its offset puts at the last beat; words
  // under the first note running on under the next note's dynamic; a dynamic and the words of
  // the note after it: each pair met at the one height the document gives them. Words at the
  // document's height stood on the head of the high note they are at, words at a syllable's
  // height on the syllable.
  const std::vector<PageFault> faults = engrave("marks_of_neighbouring_notes");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  offscreen_dispose();
}

TEST_F(MarksApart, MarksPlacedOverTheOtherStaffOfTheirPartStandBetweenTheStaves) {
  // The left hand's mf and words placed above its staff farther than the staves stand apart,
  // under the right hand's high notes; the right hand's p as far below its staff, on the left
  // hand's notes: each stood on the other staff's heads.
  const std::vector<PageFault> faults = engrave("dynamic_over_the_staff_above");
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  offscreen_dispose();
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
