// score_details_test.cpp: details of real documents that the import reads: where a tie
// curves.
#include <gtest/gtest.h>

#include "ImportExport/musicxml_fixture.h"
#include "model/model_services.h"

namespace {

using MusicXmlDetails = MusicXmlTest;

TEST_F(MusicXmlDetails, ATieCurvesWhereTheDocumentSays) {
  // Ties were all left to the layout, which put a tie over a note with its stem up below it.
  ASSERT_EQ(import_fixture("tie_orientation.xml"), 1);
  EXPECT_EQ(nth_note(0, 0)->get(xtie), 2) << "over";
  EXPECT_EQ(nth_note(0, 2)->get(xtie), 1) << "under";
  EXPECT_EQ(nth_note(0, 4)->get(xtie), 3) << "either way";
  EXPECT_EQ(nth_note(0, 6)->get(xtie), 2) << "placed above";
  EXPECT_EQ(nth_note(0, 1)->get(xtie), 0) << "the tie's end starts none";
}

}  // namespace
