// tuplets_test.cpp: tuplets read from MusicXML, drawn and written back: tuplets inside one
// another, hidden numbers, brackets, where the written document starts and stops each tuplet,
// and the measure rest of a short last measure (a whole rest held in a ratio).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <unistd.h>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/musicxml_services.h"
#include "ImportExport/wild_support.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "support/engraved_page.h"
#include "support/real_scores.h"

namespace {

using Tuplets = MusicXmlTest;

constexpr int VAR_TUPLET_NUMBER = 6, VAR_TUPLET_BRACKET = 82;

// The tuplet numbers drawn, in the order of the list.
std::string tuplet_numbers() {
  std::string out;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if ((e->xkind != GE_CHAR && e->xkind != GE_STRING) || e->get(xgscreen)) continue;
    Drosa run = e;
    std::string text;
    GE_string_text(&text, &run);
    if (run->get(xgc_var) == VAR_TUPLET_NUMBER) out += (out.empty() ? "" : " ") + text;
    e = run;
  }
  return out;
}

// The notes whose tuplets are drawn in brackets on the formatted page, as "voice.note" (counted
// from 0 in the voice), and the bracket's line pieces.
std::string brackets_drawn() {
  std::map<uint32_t, std::string> names;
  for (int v = 0; v < voice_count; ++v) {
    int k = 0;
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (p->xkind == NOTE) names[p.handle()] = std::to_string(v) + "." + std::to_string(k++);
  }
  std::string out;
  Drosa owner = NIL, drawn = NIL;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind == NOTEPTR) owner = e->get(xnoteptr);
    if (e->xkind != GE_LINE || e->get(xgl_var) != VAR_TUPLET_BRACKET || !owner) continue;
    if (owner != drawn) out += (out.empty() ? "" : " ") + names[owner.handle()] + ":";
    out += "-";
    drawn = owner;
  }
  return out;
}

// Each note of voice 0: its value letter and own ratio, "n" and the ratio of the NEST before
// it, "h" when its tuplet number is hidden.
std::string tuplet_notes() {
  std::string out;
  for (Drosa p = piece_start[0]; p; p = p->xnext) {
    if (p->xkind != NOTE) continue;
    out += (out.empty() ? "" : " ") + std::string(1, "Bwhqesxyz"[p->get(xlgval) % 9]);
    if (p->get(xtupl) > 1)
      out += std::to_string(p->get(xtupl)) + ":" + std::to_string(p->get(xintimeof));
    Drosa nest = p->xback && p->xback->xkind == NEST ? p->xback : NIL;
    if (nest)
      out += "n" + std::to_string(nest->get(xnest_tupl)) + ":" +
             std::to_string(nest->get(xnest_intimeof));
    if (p->get(xhidet)) out += "h";
  }
  return out;
}

// The tuplet elements of a written document, in order, without their tabs and line ends.
std::string tuplet_elements(const std::string& written) {
  std::string out;
  for (size_t at = written.find("<tuplet "); at != std::string::npos;
       at = written.find("<tuplet ", at + 1)) {
    const size_t close = written.find('>', at);
    const size_t end = written[close - 1] == '/' ? close + 1 : written.find("</tuplet>", at) + 9;
    std::string element;
    for (char c : written.substr(at, end - at))
      if (c != '\t' && c != '\n') element += c;
    out += (out.empty() ? "" : " ") + element;
  }
  return out;
}

// A note of voice 1 in a document of 36 divisions to the quarter: a tuplet's time-modification,
// and its notations.
std::string note(const char* type, int duration, int actual, int normal,
                 const std::string& notations = "") {
  return std::string("<note><pitch><step>C</step><octave>5</octave></pitch><duration>") +
         std::to_string(duration) + "</duration><voice>1</voice><type>" + type +
         "</type><time-modification><actual-notes>" + std::to_string(actual) +
         "</actual-notes><normal-notes>" + std::to_string(normal) +
         "</normal-notes></time-modification>" +
         (notations.empty() ? "" : "<notations>" + notations + "</notations>") + "</note>";
}

// A note under a beam: "begin", "continue" or "end".
std::string beamed(std::string note, const char* beam) {
  const size_t at = note.find("<notations>") != std::string::npos ? note.find("<notations>")
                                                                  : note.find("</note>");
  return note.insert(at, std::string("<beam number=\"1\">") + beam + "</beam>");
}

std::string rest(const char* type, int duration, int actual, int normal) {
  std::string n = note(type, duration, actual, normal);
  return n.replace(n.find("<pitch>"), n.find("</pitch>") + 8 - n.find("<pitch>"), "<rest/>");
}

std::string two_four(std::initializer_list<std::string> measures) {
  std::string doc =
      "<?xml version=\"1.0\"?><score-partwise><part-list><score-part id=\"P1\"><part-name>"
      "V</part-name></score-part></part-list><part id=\"P1\">";
  int number = 1;
  for (const std::string& m : measures)
    doc += "<measure number=\"" + std::to_string(number) + "\">" +
           (number == 1 ? "<attributes><divisions>36</divisions><time><beats>2</beats><beat-type>"
                          "4</beat-type></time><clef><sign>G</sign><line>2</line></clef>"
                          "</attributes>"
                        : "") +
           m + "</measure>",
        ++number;
  return doc + "</part></score-partwise>";
}

TEST_F(Tuplets, NestedTupletsShowTheOuterNumberAndHideWhatTheDocumentHides) {
  // A duplet, a triplet holding a triplet whose number the document hides (9 notes in the
  // time of 4 in all), and a sextuplet: "9" was drawn over the outer triplet.
  platform_init_fonts();
  ASSERT_EQ(import(wild_document("wild2", "graces_tuplets"), 1), 1);
  take_reports();
  expect_page_clean("tuplets", "nested_tuplets");
  EXPECT_EQ(tuplet_numbers(), "2 3 6");
  // The inner notes last 9 in the time of 4 sixteenths, the outer 3 in the time of 2 eighths
  // (the document writes its second measure an eighth short).
  EXPECT_EQ(measure_lengths(0), "49152 90112 40960 81920");
}

TEST_F(Tuplets, TupletsAreWrittenWithTheirStartsStopsAndNestsAndComeBack) {
  // A triplet of eighths; a triplet whose middle eighth is a triplet of sixteenths (9 in the
  // time of 4: the export wrote 9:4 and nothing more, and the nest came back as one tuplet of
  // 9); a quarter and an eighth of a triplet; a triplet whose number the document hides.
  const std::string start = "<tuplet type=\"start\" number=\"1\"/>";
  const std::string stop = "<tuplet type=\"stop\" number=\"1\"/>";
  const std::string doc = two_four(
      {note("eighth", 12, 3, 2, start) + note("eighth", 12, 3, 2) + note("eighth", 12, 3, 2, stop) +
           note("eighth", 12, 3, 2, start) +
           note("16th", 4, 9, 4, "<tuplet type=\"start\" number=\"2\"/>") + note("16th", 4, 9, 4) +
           note("16th", 4, 9, 4, "<tuplet type=\"stop\" number=\"2\"/>") +
           note("eighth", 12, 3, 2, stop),
       note("quarter", 24, 3, 2, start) + note("eighth", 12, 3, 2, stop) +
           note("eighth", 12, 3, 2, "<tuplet type=\"start\" show-number=\"none\"/>") +
           note("eighth", 12, 3, 2) + note("eighth", 12, 3, 2, stop)});
  ASSERT_EQ(import(doc), 1);
  for (const Report& r : take_reports()) ADD_FAILURE() << r.text;
  const std::string read =
      "e3:8 e3:8 e3:8 e3:8 s3:8n3:8 s3:8n3:8 s3:8n3:8 e3:8 q3:8 e3:8 e3:8h e3:8h e3:8h";
  ASSERT_EQ(tuplet_notes(), read);

  const std::string written = exported_musicxml();
  const std::string starts = "<tuplet type=\"start\" number=\"1\"/>";
  const std::string stops = "<tuplet type=\"stop\" number=\"1\"/>";
  const std::string own =
      "<tuplet-actual><tuplet-number>3</tuplet-number></tuplet-actual>"
      "<tuplet-normal><tuplet-number>2</tuplet-number></tuplet-normal>";
  EXPECT_EQ(tuplet_elements(written),
            starts + " " + stops + " <tuplet type=\"start\" number=\"1\">" + own +
                "</tuplet> <tuplet type=\"start\" number=\"2\">" + own +
                "</tuplet> <tuplet type=\"stop\" number=\"2\"/> " + stops + " " + starts + " " +
                stops + " <tuplet type=\"start\" number=\"1\" show-number=\"none\"/> " + stops);
  discard_piece_lists();
  voice_count = 0;
  ASSERT_EQ(import(written), 1);
  EXPECT_EQ(tuplet_notes(), read) << written;
}

TEST_F(Tuplets, BracketsStandWhereNotesAreNotUnderOneBeamOrWhereTheDocumentAsks) {
  // Beamed eighths; a quarter and an eighth; eighths about a rest; beamed eighths the document
  // brackets; a quarter and an eighth it leaves without one; a quarter and an eighth whose
  // number it hides. The export writes the brackets the document gave, and each bracket comes
  // back as it was drawn.
  platform_init_fonts();
  const std::string start = "<tuplet type=\"start\"/>", stop = "<tuplet type=\"stop\"/>";
  const std::string doc = two_four(
      {beamed(note("eighth", 12, 3, 2, start), "begin") +
           beamed(note("eighth", 12, 3, 2), "continue") +
           beamed(note("eighth", 12, 3, 2, stop), "end") + note("quarter", 36, 1, 1),
       note("quarter", 24, 3, 2, start) + note("eighth", 12, 3, 2, stop) +
           note("eighth", 12, 3, 2, start) + rest("eighth", 12, 3, 2) +
           note("eighth", 12, 3, 2, stop),
       beamed(note("eighth", 12, 3, 2, "<tuplet type=\"start\" bracket=\"yes\"/>"), "begin") +
           beamed(note("eighth", 12, 3, 2), "continue") +
           beamed(note("eighth", 12, 3, 2, stop), "end") +
           note("quarter", 24, 3, 2, "<tuplet type=\"start\" bracket=\"no\"/>") +
           note("eighth", 12, 3, 2, stop),
       note("quarter", 24, 3, 2, "<tuplet type=\"start\" show-number=\"none\"/>") +
           note("eighth", 12, 3, 2, stop) + note("quarter", 36, 1, 1)});
  ASSERT_EQ(import(doc, 1), 1);
  take_reports();
  expect_page_clean("tuplets", "brackets");
  const std::string drawn = "0.5:---- 0.7:---- 0.10:----";
  EXPECT_EQ(brackets_drawn(), drawn);
  EXPECT_EQ(tuplet_numbers(), "3 3 3 3 3");

  const std::string written = exported_musicxml();
  std::string brackets;
  for (size_t at = written.find("bracket=\""); at != std::string::npos;
       at = written.find("bracket=\"", at + 1))
    brackets += written.substr(at + 9, written.find('"', at + 9) - at - 9) + " ";
  EXPECT_EQ(brackets, "yes no ");
  discard_piece_lists();
  voice_count = 0;
  ASSERT_EQ(import(written, 1), 1);
  take_reports();
  ASSERT_EQ(format_page(1, 0), 1);
  EXPECT_EQ(brackets_drawn(), drawn);
}

TEST_F(Tuplets, VoicesSharingAStaffHaveTheirOwnGroups) {
  // Stems up: a triplet of an eighth rest and a quarter, then a plain quarter. Stems down: a
  // triplet of an eighth rest and two eighths, then beamed triplet eighths asking for a
  // bracket, the first of them with the plain quarter. The other voice's chords broke each
  // voice's triplets (one group lost, another drawn twice); the start at the other voice's
  // note was passed over, with the bracket it asks for.
  platform_init_fonts();
  auto in_voice = [](std::string n, const char* voice, const char* step, const char* stem) {
    n.replace(n.find("<voice>1"), 8, std::string("<voice>") + voice);
    n.replace(n.find("<step>C"), 7, std::string("<step>") + step);
    return n.insert(n.find("</type>") + 7, std::string("<stem>") + stem + "</stem>");
  };
  const std::string start = "<tuplet type=\"start\"/>", stop = "<tuplet type=\"stop\"/>";
  std::string up = rest("eighth", 12, 3, 2);
  up.insert(up.find("</note>"), "<notations>" + start + "</notations>");
  up += in_voice(note("quarter", 24, 3, 2, stop), "1", "E", "up") +
        in_voice(note("quarter", 36, 1, 1), "1", "E", "up");
  std::string down = rest("eighth", 12, 3, 2);
  down.insert(down.find("</note>"), "<notations>" + start + "</notations>");
  down.replace(down.find("<voice>1"), 8, "<voice>2");
  down += in_voice(note("eighth", 12, 3, 2), "2", "A", "down") +
          in_voice(note("eighth", 12, 3, 2, stop), "2", "F", "down") +
          in_voice(
              beamed(note("eighth", 12, 3, 2, "<tuplet type=\"start\" bracket=\"yes\"/>"), "begin"),
              "2", "A", "down") +
          in_voice(beamed(note("eighth", 12, 3, 2), "continue"), "2", "F", "down") +
          in_voice(beamed(note("eighth", 12, 3, 2, stop), "end"), "2", "D", "down");
  ASSERT_EQ(import(two_four({up + "<backup><duration>72</duration></backup>" + down}), 1), 1);
  take_reports();
  expect_page_clean("tuplets", "two_voices");
  EXPECT_EQ(tuplet_numbers(), "3 3 3");
  EXPECT_EQ(brackets_drawn(), "0.1:---- 1.1:---- 1.4:----");
}

TEST_F(Tuplets, AMarkOfAnotherVoicesHiddenRestStaysWithThatVoice) {
  // A system begins with, stems up, a hidden eighth rest starting a bracketed triplet, and
  // stems down, from the same time, beamed triplet eighths; the next system's distance is put
  // before that rest, after its bracket. The bracket went to the first eighth below when the
  // voices were parted.
  std::string up = rest("eighth", 12, 3, 2);
  up.replace(up.find("<note>"), 6, "<note print-object=\"no\">");
  up.insert(up.find("</note>"), "<notations><tuplet type=\"start\" bracket=\"yes\"/></notations>");
  up += note("quarter", 24, 3, 2, "<tuplet type=\"stop\"/>") + note("quarter", 36, 1, 1);
  std::string down = beamed(note("eighth", 12, 3, 2, "<tuplet type=\"start\"/>"), "begin") +
                     beamed(note("eighth", 12, 3, 2), "continue") +
                     beamed(note("eighth", 12, 3, 2, "<tuplet type=\"stop\"/>"), "end") +
                     note("quarter", 36, 1, 1);
  for (size_t at = down.find("<voice>1"); at != std::string::npos; at = down.find("<voice>1"))
    down.replace(at, 8, "<voice>2");
  ASSERT_EQ(import(two_four({note("half", 72, 1, 1),
                             "<print new-system=\"yes\"/>" + up +
                                 "<backup><duration>72</duration></backup>" + down,
                             "<print new-system=\"yes\"><system-layout><system-distance>150"
                             "</system-distance></system-layout></print>" +
                                 note("half", 72, 1, 1)}),
                   1),
            1);
  take_reports();
  for (int v = 0; v < 2; ++v) {
    int shown = 0;
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      shown += p->xkind == TSMOD && p->get(xtupl_bracket) == TUPLET_BRACKET_SHOWN;
    EXPECT_EQ(shown, v == 0 ? 1 : 0) << "voice " << v;
  }
}

TEST_F(Tuplets, RealScoresComeBackFromTheExportWithTheirBrackets) {
  // Brackets the documents ask for, and ones the layout draws where they say nothing.
  platform_init_fonts();
  for (const char* name : {"demo-nested-tuplets", "webern-dormi-jesu-op16-no2",
                           "haydn-keyboard-sonata-hob16-6-g-major-mvt1"}) {
    const std::filesystem::path path = real_scores_folder() / (std::string(name) + ".musicxml");
    if (real_scores_folder().empty() || !std::filesystem::exists(path))
      GTEST_SKIP() << "the real scores are not there (shared/data/scores)";
    auto every_page = [] {
      std::string out;
      for (int32_t page = 1; page <= page_count; ++page)
        if (format_page(page, 0) == 1) out += brackets_drawn() + " |";
      return out;
    };
    ASSERT_EQ(import(read_file(path), 1), 1) << name;
    take_reports();
    const std::string drawn = every_page();
    EXPECT_NE(drawn.find(':'), std::string::npos) << name;
    const std::string written = exported_musicxml();
    discard_piece_lists();
    voice_count = 0;
    ASSERT_EQ(import(written, 1), 1) << name;
    take_reports();
    EXPECT_EQ(every_page(), drawn) << name;
    discard_piece_lists();
    voice_count = 0;
  }
}

TEST_F(Tuplets, AMeasureRestOfAShortLastMeasureIsCentredAndATypedRestIsNot) {
  // A pickup of one beat and a last measure of three. The second part rests through the last
  // as the document's measure rest: a whole-measure rest lasting three beats, centred. The
  // third writes a dotted half rest there: it stays one, at the measure's first beat (it was
  // made a whole-measure rest too).
  platform_init_fonts();
  auto part = [](const char* id, const std::string& last) {
    return std::string("<part id=\"") + id +
           "\"><measure number=\"0\" implicit=\"yes\"><attributes><divisions>2</divisions>"
           "<time><beats>4</beats><beat-type>4</beat-type></time><clef><sign>G</sign><line>2"
           "</line></clef></attributes><note><pitch><step>G</step><octave>4</octave></pitch>"
           "<duration>2</duration><voice>1</voice><type>quarter</type></note></measure>"
           "<measure number=\"1\"><note><pitch><step>C</step><octave>5</octave></pitch>"
           "<duration>8</duration><voice>1</voice><type>whole</type></note></measure>"
           "<measure number=\"2\" implicit=\"yes\">" +
           last + "</measure></part>";
  };
  std::string doc = "<?xml version=\"1.0\"?><score-partwise><part-list>";
  for (const char* id : {"P1", "P2", "P3"})
    doc +=
        std::string("<score-part id=\"") + id + "\"><part-name>" + id + "</part-name></score-part>";
  doc += "</part-list>" +
         part("P1",
              "<note><pitch><step>E</step><octave>5</octave></pitch><duration>6</duration>"
              "<voice>1</voice><type>half</type><dot/></note>") +
         part("P2", "<note><rest measure=\"yes\"/><duration>6</duration><voice>1</voice></note>") +
         part("P3",
              "<note><rest/><duration>6</duration><voice>1</voice><type>half</type><dot/>"
              "</note>") +
         "</score-partwise>";
  ASSERT_EQ(import(doc, 1), 1);
  take_reports();
  expect_page_clean("tuplets", "short_measure_rest");
  // Each last rest: value, dots, ratio, hidden number, rest glyph (1 the measure's), duration.
  auto last_rests = [] {
    std::string out;
    for (int v = 1; v < voice_count; ++v) {
      Drosa rest = NIL;
      for (Drosa p = piece_start[v]; p; p = p->xnext)
        if (p->xkind == NOTE && p->get(xrest)) rest = p;
      if (!rest) continue;
      Drosa nt = note_ntdata(rest);
      out += std::to_string(rest->get(xlgval)) + "." + std::to_string(rest->get(xdots)) + " " +
             std::to_string(rest->get(xtupl)) + ":" + std::to_string(rest->get(xintimeof)) +
             (rest->get(xhidet) ? "h " : " ") + std::to_string(nt ? nt->get(xrestchar) : -1) + " " +
             std::to_string(note_duration(rest, 0)) + "; ";
    }
    return out;
  };
  EXPECT_EQ(last_rests(), "1.0 4:12h 1 49152; 2.1 1:4 0 49152; ");
  EXPECT_EQ(measure_lengths(1), "16384 65536 49152");

  const std::string written = exported_musicxml();
  EXPECT_NE(
      written.find("<rest measure=\"yes\"/>\n\t\t\t\t<duration>576</duration>\n\t\t\t</note>"),
      std::string::npos)
      << written;
  discard_piece_lists();
  voice_count = 0;
  ASSERT_EQ(import(written, 1), 1);
  take_reports();
  ASSERT_EQ(format_page(1, 0), 1);
  EXPECT_EQ(last_rests(), "1.0 4:12h 1 49152; 2.1 1:4 0 49152; ");
}

}  // namespace
