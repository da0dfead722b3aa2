// wild3_documents_test.cpp: orchestral and choral documents written as other programs write
// MusicXML, in tests/data/wild3: systems that hide their empty staves, instruments changing
// within a part, divisi, transposing instruments, nested part groups, a player's part with
// multiple rests and cues, lines running over system breaks, staves of one and two lines,
// credits on every page, and other declarations and encodings. Each goes through the round
// trip of wild_support.h.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/musicxml_services.h"
#include "ImportExport/wild_support.h"
#include "annotations/anno_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "support/real_scores.h"

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
// higher, beside the English horn's fifth; the flute takes up the piccolo in its fourth
// measure, with no new key, and sounds an octave higher from there only.
TEST_F(MusicXmlTest, ATranspositionCountsItsOctaves) {
  ASSERT_EQ(import(wild_document("wild3", "doublings")), 1);
  EXPECT_EQ(nth_note(0, 10)->get(xpitch) >> 8, 82) << "the flute's last B flat";
  EXPECT_EQ(nth_note(0, 11)->get(xpitch) >> 8, 94) << "the piccolo's first";
  auto sounds = [](int v) {
    const Drosa key = find_next_kind_before_note(KEYSIG, piece_start[v]);
    return key ? int(key->get(key_transposition)) : 99;
  };
  EXPECT_EQ(sounds(3), -7);   // English horn
  EXPECT_EQ(sounds(4), -12);  // guitar
  EXPECT_EQ(sounds(5), -12);  // double bass
  EXPECT_EQ(sounds(6), 24);   // glockenspiel
}

// The brackets, braces and joined bar lines of each staff in the first system.
std::string groups_of_staves() {
  std::string text;
  for (int v = 0; v < voice_count; ++v) {
    const Drosa print = find_next_kind_before_note(PRINT, piece_start[v]);
    const Drosa bar = find_next_kind_until(BAR, piece_start[v], ENDSYST, 0);
    text += std::to_string(print ? int(print->get(xfirst_bracket)) : -1) +
            std::to_string(print ? int(print->get(xfirst_brace)) : -1) +
            (bar && find_BARSEP(bar) ? "|" : ":") + " ";
  }
  return text;
}

// Exports the piece and imports what was written in its place.
void export_and_import_again() {
  // Named after the test: the tests run side by side, each exporting its own document.
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() /
      (std::string("wild3-again-") +
       ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".xml");
  ASSERT_EQ(export_musicxml_file(path.string()), 1);
  std::ifstream in(path, std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::filesystem::remove(path);
  discard_piece_lists();
  std::vector<std::string> said;
  ASSERT_EQ(import_said(written, &said), 1);
}

// Nested groups (named brackets, a brace of violins inside the strings' bracket, a harp and
// a piano standing apart) keep their brackets, braces and bar lines through the export.
TEST_F(MusicXmlTest, GroupsOfPartsComeBackFromTheExport) {
  std::vector<std::string> said;
  ASSERT_EQ(import_said(wild_document("wild3", "groups"), &said), 1);
  const std::string groups = groups_of_staves();
  export_and_import_again();
  EXPECT_EQ(groups_of_staves(), groups);
}

// The size of each voice's staff, where it is not the piece's.
std::string staff_sizes() {
  std::string text;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (p->xkind == PRINT && p->get(xstaffsize) != 50)
        text += std::to_string(v) + ":" + std::to_string(p->get(xstaffsize)) + " ";
  return text;
}

// The piano reduction under a choir stands on staves of 70 percent, and comes back from the
// export so.
TEST_F(MusicXmlTest, ACueSizedStaffKeepsItsSize) {
  std::vector<std::string> said;
  ASSERT_EQ(import_said(wild_document("wild3", "choral"), &said), 1);
  const std::string sizes = staff_sizes();
  EXPECT_NE(sizes.find(":35"), std::string::npos) << sizes;
  export_and_import_again();
  EXPECT_EQ(staff_sizes(), sizes);
}

// An alteration far past a double sharp or flat, as a damaged document may hold, is read as
// one: adding to it overflowed.
TEST_F(MusicXmlTest, AnAlterationOutOfAllMeasureIsReadAsADoubleOne) {
  const std::string note =
      "<note><pitch><step>C</step><alter>%s</alter><octave>5</octave></pitch>"
      "<duration>2</duration><voice>1</voice><type>half</type></note>";
  std::string notes;
  for (const char* alter : {"2147483647", "-2147483647"}) {
    std::string n = note;
    notes += n.replace(n.find("%s"), 2, alter);
  }
  ASSERT_EQ(import("<score-partwise><part-list><score-part id=\"P1\"><part-name>A</part-name>"
                   "</score-part></part-list><part id=\"P1\"><measure number=\"1\"><attributes>"
                   "<divisions>1</divisions></attributes>" +
                   notes + "</measure></part></score-partwise>"),
            1);
  EXPECT_EQ(notes_of(0), "C##5h Cbb5h |");
}

// The first baseline of each credit ("Credit...") before the first note, by its text.
std::map<std::string, int32_t> credit_baselines() {
  std::map<std::string, int32_t> baselines;
  for (Drosa t = piece_start[0]; t && t->xkind != NOTE; t = t->xnext)
    if (t->xkind == TPARAM && run_text(t).rfind("Credit", 0) == 0)
      baselines[run_text(t)] = t->get(xtexty);
  return baselines;
}

// Credits given one height, one by the top of its letters, one by their middle, one by
// their first baseline and one by the bottom of its two lines, stand in that order from the
// lowest up, a line and more apart at the ends.
TEST_F(MusicXmlTest, ACreditStandsByTheEdgeOfItsLinesItsDocumentGives) {
  std::string credits;
  const char* valigns[] = {"top", "middle", "", "bottom"};
  for (int i = 0; i < 4; ++i)
    credits += "<credit page=\"1\"><credit-words default-x=\"" + std::to_string(150 + 250 * i) +
               "\" default-y=\"1500\" font-size=\"10\"" +
               (*valigns[i] ? std::string(" valign=\"") + valigns[i] + "\"" : "") + ">Credit" +
               std::to_string(i) + (i == 3 ? "&#10;line" : "") + "</credit-words></credit>";
  ASSERT_EQ(import("<score-partwise><part-list><score-part id=\"P1\"><part-name>A</part-name>"
                   "</score-part></part-list>" +
                   credits +
                   "<part id=\"P1\"><measure number=\"1\"><attributes><divisions>1</divisions>"
                   "</attributes><note><rest/><duration>4</duration></note></measure></part>"
                   "</score-partwise>"),
            1);
  std::map<std::string, int32_t> y = credit_baselines();
  ASSERT_EQ(y.size(), 4u);
  const int32_t top = y["Credit0"], middle = y["Credit1"], baseline = y["Credit2"];
  const int32_t bottom = y["Credit3\nline"];
  EXPECT_LT(top, middle);
  EXPECT_LT(middle, baseline);
  EXPECT_LT(baseline, bottom);
  EXPECT_GT(bottom - top, 2 * 10 * 10) << "two lines of ten points";
}

// Harp pedal words with the natural, flat and sharp signs draw them as the music font's and
// write them back as they were.
TEST_F(MusicXmlTest, AccidentalSignsOfWordsAreTheMusicFontsAndComeBack) {
  const std::string document =
      "<score-partwise><part-list><score-part id=\"P1\"><part-name>Harp</part-name>"
      "</score-part></part-list><part id=\"P1\"><measure number=\"1\"><attributes>"
      "<divisions>1</divisions></attributes><direction placement=\"below\"><direction-type>"
      "<words>E\u266E B\u266D F\u266F\\-</words></direction-type></direction>"
      "<note><rest/><duration>4</duration></note></measure></part></score-partwise>";
  ASSERT_EQ(import(document), 1);
  const std::string shown = annotations_of(0);
  EXPECT_EQ(shown.find('?'), std::string::npos) << shown;
  EXPECT_EQ(std::count(shown.begin(), shown.end(), '+'), 6) << shown;
  EXPECT_NE(exported_musicxml().find("<words font-size=\"12\">E\u266E B\u266D F\u266F\\-</words>"),
            std::string::npos);
}

// A pedal change (release and press in one mark) comes back from the export as a change, not
// a press alone.
TEST_F(MusicXmlTest, APedalChangeComesBackAsAChange) {
  ASSERT_GE(import(read_file(std::string(VESK_TEST_DATA) + "/wild3/lines.xml")), 1);
  const std::string exported = exported_musicxml();
  size_t changes = 0;
  for (size_t at = exported.find("<pedal type=\"change\""); at != std::string::npos;
       at = exported.find("<pedal type=\"change\"", at + 1))
    ++changes;
  EXPECT_EQ(changes, 3u);
}

INSTANTIATE_TEST_SUITE_P(Wild3, Wild3Document,
                         ::testing::Values("optimized_systems", "doublings", "divisi", "groups",
                                           "lines", "oboe_part", "choral", "credits", "latin1_crlf",
                                           "bare_v40"));

}  // namespace
