// wild3_documents_test.cpp: orchestral and choral documents written as other programs write
// MusicXML, in tests/data/wild3: systems that hide their empty staves, instruments changing
// within a part, divisi, transposing instruments, nested part groups, a player's part with
// multiple rests and cues, lines running over system breaks, staves of one and two lines,
// credits on every page, and other declarations and encodings. Each goes through the round
// trip of wild_support.h.
#include <string>
#include <vector>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/wild_support.h"
#include "layout/layout_services.h"
#include "model/model_services.h"

namespace {

class Wild3Document : public MusicXmlTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(Wild3Document, ImportsEngravesAndComesBack) { check_wild_document("wild3", GetParam()); }

// A short orchestral document repeats each of its two system breaks in all ten parts and
// hides the staves that rest in a system: the import keeps its systems and hides them (the
// oboe in the first), and where the horn closing the woodwinds' bracket is hidden, the
// clarinet above it closes the bracket, its bar lines apart from the violins' below.
TEST_F(MusicXmlTest, SystemsHideTheRestingStavesAndCloseTheirGroupsAbove) {
  std::vector<std::string> said;
  ASSERT_EQ(import_said(wild_document("wild3", "optimized_systems"), &said), 1);
  constexpr int OBOE = 1, CLARINET = 2, BRACKET_ENDS = 1;
  const Drosa oboe = find_next_kind_before_note(PRINT, piece_start[OBOE]);
  ASSERT_TRUE(oboe);
  EXPECT_LT(oboe->get(xsstaff), 0);
  const Drosa clarinet = find_next_kind_before_note(PRINT, piece_start[CLARINET]);
  ASSERT_TRUE(clarinet);
  EXPECT_EQ(clarinet->get(xfirst_bracket), BRACKET_ENDS);
  int bars = 0;
  for (Drosa p = piece_start[CLARINET]->xnext; p && p->xkind != ENDSYST; p = p->xnext)
    if (p->xkind == BAR) EXPECT_TRUE(find_BARSEP(p)) << "bar " << ++bars;
}

// The first violins divide onto a second staff for the middle system only (their staves go
// from one to two and back): the second staff is hidden in the systems before and after.
TEST_F(MusicXmlTest, AStaffADivisiAddsShowsOnlyWhereTheSectionDivides) {
  std::vector<std::string> said;
  ASSERT_EQ(import_said(wild_document("wild3", "divisi"), &said), 1);
  constexpr int SECOND_VIOLIN_I_STAFF = 1;
  std::vector<bool> shown(1, true);  // by system
  for (Drosa p = piece_start[SECOND_VIOLIN_I_STAFF]->xnext; p; p = p->xnext) {
    if (p->xkind == ENDSYST && !p->get(xendpiece)) shown.push_back(shown.back());
    if (p->xkind == PRINT) shown.back() = p->get(xsstaff) >= 0;
  }
  EXPECT_EQ(shown, std::vector<bool>({false, true, false}));
}

// Instruments written an octave or two from where they sound, by the octave-change of their
// transposition: the guitar and the double bass sound an octave lower, the glockenspiel two
// higher, beside the English horn's fifth.
TEST_F(MusicXmlTest, ATranspositionCountsItsOctaves) {
  ASSERT_EQ(import(wild_document("wild3", "doublings")), 1);
  auto sounds = [](int v) {
    const Drosa key = find_next_kind_before_note(KEYSIG, piece_start[v]);
    return key ? int(key->get(key_transposition)) : 99;
  };
  EXPECT_EQ(sounds(3), -7);   // English horn
  EXPECT_EQ(sounds(4), -12);  // guitar
  EXPECT_EQ(sounds(5), -12);  // double bass
  EXPECT_EQ(sounds(6), 24);   // glockenspiel
}

INSTANTIATE_TEST_SUITE_P(Wild3, Wild3Document,
                         ::testing::Values("optimized_systems", "doublings", "divisi", "groups",
                                           "lines", "oboe_part", "choral", "credits", "latin1_crlf",
                                           "bare_v40"));

}  // namespace
