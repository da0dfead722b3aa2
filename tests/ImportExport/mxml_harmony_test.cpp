// tests/ImportExport/mxml_harmony_test.cpp: chord symbols of imported documents.
//   MusicXmlChordSymbols.*: each harmony becomes a chord-symbol annotation at the note of its
//                           time, as typing its coded text makes it; harmonies the import
//                           cannot read are left out and the rest of the document is kept;
//                           every kind comes back from its export as a harmony as it went;
//                           chord symbols at close notes are drawn apart (the page goes to
//                           test-output/graphics of the build folder); a chord diagram is a
//                           fret grid over its symbol, drawn without the music font, and
//                           written back as the harmony's frame.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/musicxml_services.h"
#include "annotations/anno_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/fonts.h"
#include "support/anno_text.h"
#include "support/chord_page.h"
#include "support/page_checker.h"

namespace {

using MusicXmlChordSymbols = MusicXmlTest;

constexpr int CHORD_SYMBOL = 11;

// The style runs of the annotation headed by `head`: font, size, offsets and text of each.
std::string runs_of(Drosa head) {
  std::string out;
  for (Drosa p = head; p; p = p->xnext) {
    if (p->xkind == TPARAM) {
      if (p != head && !p->get(xadjacent)) break;
      out += "[" + std::to_string(p->get(xtextfont)) + " " + std::to_string(p->get(xtextsize)) +
             " " + std::to_string(p->get(xsuper)) + " " + std::to_string(p->get(xexpand)) + "]";
    } else if (p->xkind == TEXT) {
      out += p->get(xtext);
    } else if (p->xkind != PDATA) {
      break;
    }
  }
  return out;
}

// The runs typing a coded text makes.
std::string typed(const std::string& coded) {
  Drosa last = NIL;
  Drosa head = coded_annotation(coded, AnnoFontSpec{}, &last);
  const std::string runs = runs_of(head);
  destroy_Drosa_list(head);
  return runs;
}

// The chord symbols of voice v: the runs of each, with the 0-based number of its note.
std::vector<std::pair<int, std::string>> chord_symbols(int v) {
  std::vector<std::pair<int, std::string>> found;
  int notes = 0;
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    if (p->xkind == NOTE) ++notes;
    if (p->xkind == TPARAM && !p->get(xadjacent) && p->get(xclassify) == CHORD_SYMBOL)
      found.push_back({notes, runs_of(p)});
  }
  return found;
}

TEST_F(MusicXmlChordSymbols, EachHarmonyIsAChordSymbolAtTheNoteOfItsTime) {
  ASSERT_EQ(import_fixture("chord_symbols.xml"), 1);
  ASSERT_EQ(voice_count, 1);
  EXPECT_EQ(notes_of(0), "C5q D5q E5h | F5h G5h | rw |");
  const std::vector<std::pair<int, std::string>> expected = {
      {0, typed("B\\-\\u7(\\alt-9)\\u/D")}, {2, typed("F\\+m\\u7")},      {3, typed("N.C.")},
      {4, typed("Cmaj\\u7\\u/E\\-")},       {5, typed("D\\usus4(add9)")}, {5, typed("A+\\u5")},
  };
  EXPECT_EQ(chord_symbols(0), expected);
  // Over the staff, left-justified at their notes, not played; the two of the rest stand one
  // over the other.
  std::vector<int32_t> heights;
  for (Drosa p = piece_start[0]; p; p = p->xnext) {
    if (p->xkind != TPARAM || p->get(xadjacent) || part_name_record(p)) continue;
    EXPECT_GT(p->get(xtexty), 0);
    EXPECT_EQ(p->get(xjustified), 0);
    EXPECT_EQ(p->get(xignore), 1);
    heights.push_back(p->get(xtexty));
  }
  ASSERT_EQ(heights.size(), 6u);
  EXPECT_GE(std::abs(heights[5] - heights[4]), 120);
}

TEST_F(MusicXmlChordSymbols, HarmoniesThatCannotBeReadAreLeftOut) {
  auto harmony = [](const std::string& inside) { return "<harmony>" + inside + "</harmony>"; };
  const std::string note =
      "<note><pitch><step>C</step><octave>5</octave></pitch><duration>1</duration>"
      "<voice>1</voice><type>quarter</type></note>";
  const std::string document =
      "<?xml version=\"1.0\"?>\n<score-partwise version=\"3.1\"><part-list>"
      "<score-part id=\"P1\"><part-name>Lead</part-name></score-part></part-list>"
      "<part id=\"P1\"><measure number=\"1\"><attributes><divisions>1</divisions>"
      "<time><beats>4</beats><beat-type>4</beat-type></time></attributes>" +
      harmony("<root><root-step>X</root-step></root><kind>major</kind>") +
      harmony("<root><root-step>C</root-step><root-alter>3</root-alter></root><kind>major</kind>") +
      harmony(
          "<root><root-step>C</root-step><root-alter>sharp</root-alter></root>"
          "<kind>major</kind>") +
      harmony("<root><root-step>C</root-step></root><kind>no-such-kind</kind>") +
      harmony("<kind>major</kind>") + harmony("<root><root-step>D</root-step></root>") +
      harmony("<root><root-step/></root><kind>minor</kind><offset>zz</offset>") + note +
      harmony(
          "<root><root-step>E</root-step></root><kind>minor</kind>"
          "<degree><degree-value>99</degree-value><degree-type>add</degree-type></degree>"
          "<degree><degree-value>7</degree-value><degree-type>twist</degree-type></degree>"
          "<bass><bass-step>H</bass-step></bass>") +
      harmony(
          "<root><root-step>E</root-step></root><kind>minor</kind>"
          "<degree><degree-value>99</degree-value><degree-type>add</degree-type></degree>"
          "<degree><degree-value>7</degree-value><degree-type>twist</degree-type></degree>"
          "<offset>-3</offset><staff>9</staff>") +
      "<direction><direction-type><words>dolce</words></direction-type></direction>" + note + note +
      note + "</measure></part></score-partwise>";
  ASSERT_EQ(import(document), 1);
  EXPECT_EQ(notes_of(0), "C5q C5q C5q C5q |");
  // Of the two minor chords on E the one with a bass that is no letter is left out; the other
  // keeps its root and kind, without its unreadable degrees, and goes, with its offset back in
  // time and a staff the part does not have, to the next note.
  const std::vector<std::pair<int, std::string>> expected = {{1, typed("Em")}};
  EXPECT_EQ(chord_symbols(0), expected);
  EXPECT_EQ(annotations_of(0), "Em@1 dolce@1");
}

TEST_F(MusicXmlChordSymbols, EveryKindComesBackFromItsExportAsItWent) {
  // Each kind without a text of its own, in letters and in symbols, with a degree and a bass:
  // written as a harmony and read again, the same chord symbol.
  const char* kinds[] = {"French",
                         "German",
                         "Italian",
                         "Neapolitan",
                         "Tristan",
                         "augmented",
                         "augmented-seventh",
                         "diminished",
                         "diminished-seventh",
                         "dominant",
                         "dominant-11th",
                         "dominant-13th",
                         "dominant-ninth",
                         "half-diminished",
                         "major",
                         "major-11th",
                         "major-13th",
                         "major-minor",
                         "major-ninth",
                         "major-seventh",
                         "major-sixth",
                         "minor",
                         "minor-11th",
                         "minor-13th",
                         "minor-ninth",
                         "minor-seventh",
                         "minor-sixth",
                         "pedal",
                         "power",
                         "suspended-fourth",
                         "suspended-second",
                         "none"};
  std::string measures;
  int number = 0;
  for (const char* kind : kinds)
    for (const char* symbols : {"no", "yes"})
      measures += "<measure number=\"" + std::to_string(++number) +
                  "\"><harmony><root><root-step>E</root-step><root-alter>-1</root-alter></root>"
                  "<kind use-symbols=\"" +
                  symbols + "\">" + kind +
                  "</kind><degree><degree-value>9</degree-value><degree-alter>1</degree-alter>"
                  "<degree-type>add</degree-type></degree><bass><bass-step>G</bass-step></bass>"
                  "</harmony><note><rest/><duration>4</duration><voice>1</voice><type>whole"
                  "</type></note></measure>";
  ASSERT_EQ(import("<?xml version=\"1.0\"?>\n<score-partwise version=\"3.1\"><part-list>"
                   "<score-part id=\"P1\"><part-name>Lead</part-name></score-part></part-list>"
                   "<part id=\"P1\"><measure number=\"0\"><attributes><divisions>1</divisions>"
                   "<time><beats>4</beats><beat-type>4</beat-type></time></attributes>"
                   "<note><rest/><duration>4</duration><voice>1</voice><type>whole</type></note>"
                   "</measure>" +
                   measures + "</part></score-partwise>"),
            1);
  const std::vector<std::pair<int, std::string>> first = chord_symbols(0);
  EXPECT_EQ(first.size(), 2 * std::size(kinds));
  const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("vesk-kinds-" + std::to_string(::getpid()) + ".xml");
  ASSERT_EQ(export_musicxml_file(path.string()), 1);
  std::ifstream in(path);
  const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::filesystem::remove(path);
  ASSERT_EQ(import(written), 1);
  EXPECT_EQ(chord_symbols(0), first);
}

TEST_F(MusicXmlChordSymbols, ChordSymbolsAtCloseNotesStandApart) {
  // A chord symbol at every eighth of four bars, most wider than eighths stand apart.
  const char* chords[] = {
      "<root-step>C</root-step></root><kind>major-seventh</kind>"
      "<bass><bass-step>G</bass-step><bass-alter>-1</bass-alter></bass>",
      "<root-step>A</root-step></root><kind>minor-seventh</kind>",
      "<root-step>D</root-step><root-alter>1</root-alter></root>"
      "<kind>dominant-ninth</kind>",
      "<root-step>E</root-step></root><kind>half-diminished</kind>"};
  std::string measures;
  for (int m = 0; m < 4; ++m) {
    measures += "<measure number=\"" + std::to_string(m + 1) + "\">";
    if (m == 0)
      measures +=
          "<attributes><divisions>2</divisions><time><beats>4</beats>"
          "<beat-type>4</beat-type></time><clef><sign>G</sign><line>2</line></clef>"
          "</attributes>";
    for (int i = 0; i < 8; ++i)
      measures += "<harmony><root>" + std::string(chords[(m + i) % 4]) +
                  "</harmony><note><pitch><step>" + "CDEFGABC"[i] + "</step><octave>" +
                  (i < 7 ? "4" : "5") +
                  "</octave></pitch><duration>1</duration><voice>1</voice><type>eighth</type>"
                  "</note>";
    measures += "</measure>";
  }
  platform_init_fonts();
  ASSERT_EQ(import("<?xml version=\"1.0\"?>\n<score-partwise version=\"3.1\"><part-list>"
                   "<score-part id=\"P1\"><part-name>Lead</part-name></score-part></part-list>"
                   "<part id=\"P1\">" +
                       measures + "</part></score-partwise>",
                   1),
            1);
  ASSERT_EQ(format_page(1, 0), 1);
  save_page_image("chord_symbols_at_every_eighth.png");
  std::vector<PageFault> faults = check_page_reports(take_reports());
  for (PageFault& f : check_page_elements(formatted_page_frame(1))) faults.push_back(f);
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  offscreen_dispose();
}

TEST_F(MusicXmlChordSymbols, AChordDiagramIsAFretGridOverItsSymbol) {
  // C with the low string muted; a barre chord at the fifth fret; a ukulele's four strings; a
  // C diagram the harmony says not to print.
  auto frame = [](const std::string& inside) {
    return "<frame><frame-strings>6</frame-strings><frame-frets>4</frame-frets>" + inside +
           "</frame>";
  };
  auto at = [](int string, int fret, const char* barre = "") {
    return "<frame-note><string>" + std::to_string(string) + "</string><fret>" +
           std::to_string(fret) + "</fret>" + barre + "</frame-note>";
  };
  auto measure = [](int number, const std::string& root, const std::string& diagram) {
    return "<measure number=\"" + std::to_string(number) + "\"><harmony><root><root-step>" + root +
           "</root-step></root><kind>major</kind>" + diagram +
           "</harmony><note><pitch><step>C</step><octave>5</octave></pitch><duration>4</duration>"
           "<voice>1</voice><type>whole</type></note></measure>";
  };
  const std::string c = frame(at(5, 3) + at(4, 2) + at(3, 0) + at(2, 1) + at(1, 0));
  const std::string d =
      frame("<first-fret>5</first-fret>" + at(6, 5, "<barre type=\"start\"/>") + at(5, 5) +
            at(4, 7) + at(3, 7) + at(2, 7) + at(1, 5, "<barre type=\"stop\"/>"));
  const std::string g =
      "<frame><frame-strings>4</frame-strings><frame-frets>4</frame-frets>" + at(1, 2) + "</frame>";
  std::string unprinted = measure(4, "E", c);
  unprinted.insert(unprinted.find("<harmony") + 8, " print-frame=\"no\"");
  // A harmony of no chord whose text is empty shows only its diagram.
  std::string alone =
      measure(5, "C", frame(at(6, 0) + at(5, 2) + at(4, 2) + at(3, 1) + at(2, 0) + at(1, 0)));
  alone.replace(alone.find("<kind>major"), 11, "<kind text=\"\">none");
  // A diagram of no note: every string muted.
  const std::string muted = measure(6, "A", frame(""));
  // In two halves of a measure: strings with no note unmarked, no nut and no number; no nut and
  // the number 1.
  auto half = [&](const std::string& root, const std::string& diagram) {
    std::string m = measure(7, root, diagram);
    m.replace(m.find("<duration>4"), 11, "<duration>2");
    m.replace(m.find(">whole<"), 7, ">half<");
    return m.substr(m.find("<harmony"), m.find("</measure>") - m.find("<harmony"));
  };
  std::string unmarked = frame("<first-fret text=\"\">3</first-fret>" + at(4, 4) + at(3, 3));
  unmarked.insert(6, " unplayed=\"\"");
  const std::string halves = "<measure number=\"7\">" + half("F", unmarked) +
                             half("F", frame("<first-fret text=\"1\">1</first-fret>" + at(2, 1))) +
                             "</measure>";
  platform_init_fonts();
  ASSERT_EQ(import("<?xml version=\"1.0\"?>\n<score-partwise version=\"3.1\"><part-list>"
                   "<score-part id=\"P1\"><part-name>Guitar</part-name></score-part>"
                   "</part-list><part id=\"P1\">" +
                       measure(1, "C", c).insert(20,
                                                 "<attributes><divisions>1</divisions><clef><sign>"
                                                 "G</sign><line>2</line></clef></attributes>") +
                       measure(2, "D", d) + measure(3, "G", g) + unprinted + alone + muted +
                       halves + "</part></score-partwise>",
                   1),
            1);
  auto grids = [] {
    std::vector<std::string> found;
    for (Drosa p = piece_start[0]; p; p = p->xnext)
      if (p->xkind == TPARAM && !p->get(xadjacent) && p->get(xclassify) == 10)
        found.push_back(runs_of(p));
    return found;
  };
  // Strings from the lowest; the barre joins each string to the next; the ukulele's and the
  // one its harmony does not print are left out.
  std::vector<std::string> expected = {
      "[-2 10 0 0]a9`3`2`0`1`0`", "[-2 10 0 0]A1!1!3!3!3!1`[-5 6 120 0]5",
      "[-2 10 0 0]a0`2`2`1`0`0`", "[-2 10 0 0]a9`9`9`9`9`9`",
      "[-2 10 0 0]A````2`1`````", "[-2 10 0 0]A9`9`9`9`1`9`[-5 6 120 0]1"};
  EXPECT_EQ(grids(), expected);
  EXPECT_EQ(chord_symbols(0).size(), 7u);
  ASSERT_EQ(format_page(1, 0), 1);
  save_page_image("fret_grids.png");
  // Drawn as lines and dots: no character of the music font goes unmapped.
  std::vector<PageFault> faults = check_page_reports(take_reports());
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  offscreen_dispose();
  // Exported as frames of their harmonies (the lone one of its own) and read back the same; the
  // grid of no note is left out (a frame must hold a note).
  const std::string written = exported_musicxml();
  discard_piece_lists();
  ASSERT_EQ(import_musicxml_memory(written.data(), written.size(), 0), 1);
  expected.erase(expected.begin() + 3);
  EXPECT_EQ(grids(), expected) << written;
  EXPECT_EQ(chord_symbols(0).size(), 7u);
}

}  // namespace
