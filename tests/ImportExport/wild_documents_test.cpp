// wild_documents_test.cpp: small documents written as other programs write MusicXML, with
// their quirks (encodings, declarations, notations, staves and layouts our real scores do not
// hold), in tests/data/wild. Each imports without an alert, engraves every page clean by the
// page checker (pages drawn into test-output/wild of the build folder), exports and reads
// again with every note it had, and is saved and read again as a piece.
#include <string>
#include <vector>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/wild_support.h"
#include "model/model_services.h"

namespace {

class WildDocument : public MusicXmlTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(WildDocument, ImportsEngravesAndComesBack) { check_wild_document("wild", GetParam()); }

TEST_F(MusicXmlTest, ATimewiseDocumentIsRefusedSayingWhy) {
  std::vector<std::string> said;
  EXPECT_EQ(import_said(wild_document("wild", "timewise"), &said), 0);
  ASSERT_FALSE(said.empty());
  EXPECT_EQ(said.front().rfind("Vesk can only import MusicXML files in score-partwise format.", 0),
            0u);
  EXPECT_EQ(voice_count, 0);
}

INSTANTIATE_TEST_SUITE_P(Wild, WildDocument,
                         ::testing::Values("utf16le", "utf16be", "utf8_bom", "version2",
                                           "notation_marks", "transposing", "percussion",
                                           "tablature", "piano_odd_order", "meters",
                                           "credits_groups_layout"));

}  // namespace
