// wild2_documents_test.cpp: more documents written as other programs write MusicXML, in
// tests/data/wild2: voices sharing a staff, graces and nested tuplets, clef and key changes
// with transposing parts, verses and chord symbols, marks and repeats, nested groups with a
// hidden part and a one-line staff. Each goes through the round trip of wild_support.h.
#include <algorithm>
#include <string>
#include <vector>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/wild_support.h"
#include "model/model_services.h"

namespace {

class Wild2Document : public MusicXmlTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(Wild2Document, ImportsEngravesAndComesBack) { check_wild_document("wild2", GetParam()); }

// The document places its title and composer at the page's top and gives its first system no
// distance from there: the system goes below them (the composer's line reaches 186 tenths
// down, 92 points at 7 mm to 40 tenths), not over them at the top margin of later pages.
TEST_F(MusicXmlTest, AFirstSystemGivenNoPlaceStandsBelowTheCredits) {
  std::vector<std::string> said;
  ASSERT_EQ(import_said(wild_document("wild2", "graces_tuplets"), &said), 1);
  const int context = std::max<int>(current_ncontext, 1);
  constexpr int FIRST_PAGE_TOP = 54, LATER_PAGE_TOP = 50;  // tenths of a point
  EXPECT_GT(options_i32(context, FIRST_PAGE_TOP), 920);
  EXPECT_LT(options_i32(context, LATER_PAGE_TOP), 920);
}

INSTANTIATE_TEST_SUITE_P(Wild2, Wild2Document,
                         ::testing::Values("voices", "graces_tuplets", "clefs_keys",
                                           "concert_pitch", "lyrics_chords", "marks", "ensemble"));

}  // namespace
