// shared_time_chords_test.cpp: chords that stand at one time with the chords of other staves
// and layers, imported and engraved; each page goes to test-output/layout of the build tree.
//   UnplacedChords.*: a chord due at a time point that places other chords first (grace notes)
//                     asks no room from chords not placed yet: a system spaced again packs
//                     as before, a page formatted again draws the same
//   SplitChords.*:    a chord whose notes cannot share a stem is drawn as chords side by side
//                     at its time
//   Pickups.*:        a system of a pickup whose silence is not drawn is not told empty
#include <gtest/gtest.h>

#include <string>

#include "ImportExport/musicxml_fixture.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "support/engraved_page.h"
#include "support/page_image.h"

namespace {

class SharedTime : public EngravedPageTest {
 protected:
  SharedTime() : EngravedPageTest("layout") {}
};

using UnplacedChords = SharedTime;

// The packed x of every staff chord of every voice, one voice a line.
std::string packed_xs() {
  std::string text;
  for (int v = 0; v < voice_count; ++v, text += "\n")
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (p->xkind == CDDATA) text += std::to_string(p->get(xorigin)) + " ";
  return text;
}

TEST_F(UnplacedChords, ASystemWithGraceNotesBeforeAStaffSwitchPacksAlikeWhenSpacedAgain) {
  // The sung note on the lower staff follows two grace notes on the upper. At the first grace
  // note it asked to clear the second, not placed yet, from the x that note held: none on a
  // fresh format, the justified one when the system was spaced again, which pushed the rest
  // of the system right.
  engrave_clean("graces_before_a_note_on_the_other_staff");
  const std::string first = drawn_page();
  ASSERT_EQ(format_page(1, 0), 1);
  save_drawn_page("layout", "graces_before_a_note_on_the_other_staff-again.png");
  EXPECT_EQ(drawn_page(), first);
  // Spaced again with the x the format left in the chords, the system packs as before.
  const std::string packed = packed_xs();
  ASSERT_EQ(spacing_pass(), 1);
  EXPECT_EQ(packed_xs(), packed);
}

using SplitChords = SharedTime;

TEST_F(SplitChords, AChordOfAQuarterAndAHalfAfterAHiddenRestStandsTogetherAtItsBeat) {
  // The half note leaves the quarter's chord for one of its own at the same time. The hidden
  // rest before them, split from the lower voice's quarter, ended the first beat without
  // its time, and the whole note sounding below gave the half the time of a beat after the
  // quarter: the quarter stood at the first beat, the half at the second.
  engrave_clean("chord_of_two_values_after_a_hidden_rest");
  const auto x = [](int v, int k) { return note_ntdata(nth_note(v, k))->get(xhdx); };
  const int32_t first = x(1, 0), quarter = x(0, 1), half = x(0, 2), third = x(0, 3);
  EXPECT_GT(quarter - first, (third - quarter) / 2) << "the chord stands at the second beat";
  EXPECT_LT(half - quarter, (third - quarter) / 4) << "the half stands beside the quarter";
}

using Pickups = SharedTime;

TEST_F(Pickups, ASystemOfAnUpbeatAfterSilenceNotDrawnIsNotToldEmpty) {
  // The upbeat's note stands left of the rest not drawn before it, which begins the system:
  // the system was told to have no notes, though it draws one.
  engrave_clean("pickup_system_after_a_forward");
  const std::vector<Report> told = take_reports();
  EXPECT_TRUE(told.empty()) << told.front().text;
}

}  // namespace
