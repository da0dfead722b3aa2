// wild2_documents_test.cpp: more documents written as other programs write MusicXML, in
// tests/data/wild2: voices sharing a staff, graces and nested tuplets, clef and key changes
// with transposing parts, verses and chord symbols, marks and repeats, nested groups with a
// hidden part and a one-line staff. Each goes through the round trip of wild_support.h.
#include <string>
#include <vector>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/wild_support.h"
#include "model/model_services.h"

namespace {

class Wild2Document : public MusicXmlTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(Wild2Document, ImportsEngravesAndComesBack) { check_wild_document("wild2", GetParam()); }

INSTANTIATE_TEST_SUITE_P(Wild2, Wild2Document,
                         ::testing::Values("voices", "graces_tuplets", "clefs_keys",
                                           "concert_pitch", "lyrics_chords", "marks", "ensemble"));

}  // namespace
