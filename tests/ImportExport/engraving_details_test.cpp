// engraving_details_test.cpp: what real documents ask of the engraving, read from MusicXML
// and drawn: tremolos between two notes, lyric elisions, multiple rests under a rehearsal mark,
// coloured lyrics.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/musicxml_services.h"
#include "annotations/anno_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "support/engraved_page.h"

namespace {

using EngravingDetails = MusicXmlTest;

constexpr int VAR_TUPLET_NUMBER = 6, VAR_MAIN_BEAM = 17, VAR_FURTHER_BEAM = 18;
constexpr int LYRIC_CLASS = 5;  // the annotation class of lyrics

std::string document(const std::string& measures, const std::string& time = "4") {
  return "<?xml version=\"1.0\"?><score-partwise><part-list><score-part id=\"P1\"><part-name>"
         "V</part-name></score-part></part-list><part id=\"P1\"><measure number=\"1\">"
         "<attributes><divisions>2</divisions><time><beats>" +
         time +
         "</beats><beat-type>4</beat-type></time><clef><sign>G</sign><line>2</line></clef>"
         "</attributes>" +
         measures + "</measure></part></score-partwise>";
}

std::string pitched(const char* step, int duration, const char* type,
                    const std::string& inside = "", const std::string& notations = "") {
  return std::string("<note><pitch><step>") + step + "</step><octave>5</octave></pitch><duration>" +
         std::to_string(duration) + "</duration><voice>1</voice><type>" + type + "</type>" +
         inside + (notations.empty() ? "" : "<notations>" + notations + "</notations>") + "</note>";
}

// A note of a tremolo between two notes, as documents write it: sounding half its value.
std::string tremolo_note(const char* step, int duration, const char* type, const char* which,
                         int strokes, bool chord = false) {
  return std::string("<note>") + (chord ? "<chord/>" : "") + "<pitch><step>" + step +
         "</step><octave>5</octave></pitch><duration>" + std::to_string(duration) +
         "</duration><voice>1</voice><type>" + type +
         "</type><time-modification><actual-notes>2</actual-notes><normal-notes>1</normal-"
         "notes></time-modification><notations><ornaments><tremolo type=\"" +
         which + "\">" + std::to_string(strokes) + "</tremolo></ornaments></notations></note>";
}

// Each note of voice 0 as its written value (a tremolo beam's decoded), "~" for a note of a
// tremolo beam, "h" for a hidden tuplet number and its single strokes.
std::string written_notes() {
  std::string out;
  for (Drosa p = piece_start[0]; p; p = p->xnext) {
    if (p->xkind != NOTE || p->get(xrest)) continue;
    int value = 0, dots = 0;
    decode_note_type(p, &value, &dots);
    out += (out.empty() ? "" : " ") + std::string(1, "Bwhqesxyz"[value]) + std::string(dots, '.');
    if (p->get(xtrembeam)) out += "~";
    if (p->get(xhidet)) out += "h";
    if (p->get(xtremolo)) out += std::to_string(p->get(xtremolo));
  }
  return out;
}

// Printed lines, or texts and characters, of the var code.
int drawn_count(int kind, int var) {
  int n = 0;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind != kind || e->get(xgscreen)) continue;
    n += (kind == GE_LINE    ? e->get(xgl_var)
          : kind == GE_CURVE ? e->get(xgv_var)
                             : e->get(xgc_var)) == var;
  }
  return n;
}

TEST_F(EngravingDetails, TremolosBetweenTwoNotesAreBeamedWithTheirWrittenValues) {
  // Half notes of three strokes, quarter chords of two, whole notes of three, and a first note
  // whose second never comes. Each pair was read as two notes of a duplet, its "2" drawn.
  platform_init_fonts();
  const std::string doc =
      document(tremolo_note("C", 2, "half", "start", 3) + tremolo_note("E", 2, "half", "stop", 3) +
               tremolo_note("D", 1, "quarter", "start", 2) +
               tremolo_note("F", 1, "quarter", "start", 2, true) +
               tremolo_note("G", 1, "quarter", "stop", 2) +
               tremolo_note("B", 1, "quarter", "stop", 2, true) + pitched("A", 2, "quarter") +
               "</measure><measure number=\"2\">" + tremolo_note("C", 4, "whole", "start", 3) +
               tremolo_note("G", 4, "whole", "stop", 3) + "</measure><measure number=\"3\">" +
               tremolo_note("E", 2, "half", "start", 1) + pitched("D", 2, "quarter") +
               pitched("C", 4, "half"));
  ASSERT_EQ(import(doc, 1), 1);
  for (const Report& r : take_reports()) ADD_FAILURE() << r.text;
  const std::string read = "h~ h~ q~ q~ q~ q~ q w~ w~ hh1 q h";
  EXPECT_EQ(written_notes(), read);
  EXPECT_EQ(measure_lengths(0), "65536 65536 65536");
  expect_page_clean("engraving", "tremolos");
  EXPECT_EQ(drawn_count(GE_CHAR, VAR_TUPLET_NUMBER), 0);
  // Three strokes between the half notes and the whole notes, two between the quarter chords.
  EXPECT_EQ(drawn_count(GE_LINE, VAR_MAIN_BEAM) + drawn_count(GE_LINE, VAR_FURTHER_BEAM), 8);

  const std::string written = exported_musicxml();
  EXPECT_NE(written.find("<tremolo type=\"start\">3</tremolo>"), std::string::npos);
  EXPECT_NE(written.find("<tremolo type=\"stop\">2</tremolo>"), std::string::npos);
  discard_piece_lists();
  voice_count = 0;
  ASSERT_EQ(import(written), 1);
  // The lone note comes back with its strokes and its tuplet number hidden.
  EXPECT_EQ(written_notes(), read) << written;
}

std::string with_lyric(const char* step, const std::string& lyric,
                       const std::string& attributes = "") {
  return pitched(step, 2, "quarter", "<lyric number=\"1\"" + attributes + ">" + lyric + "</lyric>");
}

TEST_F(EngravingDetails, LyricElisionsAreTiedKeptAndWrittenBack) {
  // An undertie in the text, one between two texts, and an elision the document shows as a
  // blank. The undertie was a blank: it is not a character of the system's text.
  platform_init_fonts();
  const std::string doc =
      document(with_lyric("C", "<syllabic>single</syllabic><text>glo\u203Fry</text>") +
               with_lyric("D",
                          "<syllabic>single</syllabic><text>to</text><elision>\u203F</elision>"
                          "<syllabic>single</syllabic><text>a</text>") +
               with_lyric("E",
                          "<syllabic>single</syllabic><text>6</text><elision> </elision>"
                          "<syllabic>single</syllabic><text>5</text>") +
               pitched("F", 2, "quarter"));
  ASSERT_EQ(import(doc, 1), 1);
  for (const Report& r : take_reports()) ADD_FAILURE() << r.text;
  const std::string read =
      "glo\x1Fry@0 to\x1F"
      "a@1 6 5@2";
  EXPECT_EQ(annotations_of(0), read);
  expect_page_clean("engraving", "elisions");
  int curves = 0;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) curves += e->xkind == GE_CURVE;
  EXPECT_EQ(curves, 2);

  const std::filesystem::path saved =
      std::filesystem::temp_directory_path() / ("vesk-elisions-" + std::to_string(::getpid()));
  ASSERT_EQ(write_piece_file(0, NIL, saved.string()), 1);
  discard_piece_lists();
  piece_fsspec = saved.string();
  ASSERT_EQ(read_piece(nullptr), 1);
  std::filesystem::remove(saved);
  EXPECT_EQ(annotations_of(0), read) << "read from the piece file";
  const std::string written = exported_musicxml();
  EXPECT_NE(written.find("<text>to</text>\n\t\t\t\t\t<elision>\u203F</elision>"), std::string::npos)
      << written;
  discard_piece_lists();
  voice_count = 0;
  ASSERT_EQ(import(written), 1);
  EXPECT_NE(annotations_of(0).find(read), std::string::npos) << written;
}

TEST_F(EngravingDetails, ColouredLyricsAreDrawnInTheNearestColourOfTheTable) {
  // Red letters marking a theme, a dark red one, and a black one: the marks were black.
  platform_init_fonts();
  ASSERT_EQ(import(document(with_lyric("C", "<text>a</text>", " color=\"#FF0000\"") +
                            with_lyric("D", "<text>b</text>", " color=\"#C01010\"") +
                            with_lyric("E", "<text>c</text>", " color=\"#000000\"") +
                            pitched("F", 2, "quarter")),
                   1),
            1);
  std::string colours;
  for (Drosa p = piece_start[0]; p; p = p->xnext)
    if (p->xkind == TPARAM && !part_name_record(p)) colours += std::to_string(p->get(xtext_color));
  EXPECT_EQ(colours, "110");
  expect_page_clean("engraving", "coloured_lyrics");
  const std::string written = exported_musicxml();
  discard_piece_lists();
  voice_count = 0;
  ASSERT_EQ(import(written), 1);
  colours.clear();
  for (Drosa p = piece_start[0]; p; p = p->xnext)
    if (p->xkind == TPARAM && p->get(xclassify) == LYRIC_CLASS)
      colours += std::to_string(p->get(xtext_color));
  EXPECT_EQ(colours, "110") << written;
}

TEST_F(EngravingDetails, AMultipleRestUnderARehearsalMarkIsOneRest) {
  // Three bars of rest, a rehearsal mark over the first: one rest of 3 bars with the mark
  // over it. The mark kept its bar out, and the other two were a rest of 2.
  platform_init_fonts();
  const std::string rest =
      "<note><rest measure=\"yes\"/><duration>8</duration><voice>1</voice></note>";
  const std::string doc = document(
      pitched("C", 8, "whole") +
      "</measure><measure number=\"2\"><direction placement=\"above\">"
      "<direction-type><rehearsal>B</rehearsal></direction-type></direction>" +
      rest + "</measure><measure number=\"3\">" + rest + "</measure><measure number=\"4\">" + rest +
      "</measure><measure number=\"5\">" + pitched("D", 8, "whole"));
  ASSERT_EQ(import(doc, 1), 1);
  for (const Report& r : take_reports()) ADD_FAILURE() << r.text;
  expect_page_clean("engraving", "multiple_rest");
  std::string rests;  // each rest's glyph choice, with the bars of a multiple rest
  for (Drosa p = piece_start[0]; p; p = p->xnext) {
    if (p->xkind != NOTE || !p->get(xrest) || !note_ntdata(p)) continue;
    const int glyph = note_ntdata(p)->get(xrestchar);
    Drosa cd = glyph == 2 ? last_note_cddata(p) : NIL;
    rests += std::to_string(glyph) + (cd ? "x" + std::to_string(cd->get(xrcmeas)) : "") + " ";
  }
  EXPECT_EQ(rests, "2x3 0 0 ");
}

}  // namespace
