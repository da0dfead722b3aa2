// exchange_faults_test.cpp: documents that came in or went out changed: a part shorter than
// the others, a pickup measure's number, the margins of odd and even pages, the keys of
// percussion notes, the sheet of a PDF.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/musicxml_services.h"
#include "ImportExport/wild_support.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"
#include "platform/fonts.h"
#include "platform/printing.h"
#include "support/real_scores.h"

namespace {

// Fields of a notation context's page setup (print_record): the scale in percent, the landscape
// flag and the paper's top, left, bottom and right (points).
constexpr int PRINT_SCALE = 120, PRINT_LANDSCAPE = 124, PRINT_PAPER = 128;

using ExchangeFaults = MusicXmlTest;

std::filesystem::path output_folder() {
  std::filesystem::path build = std::filesystem::current_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt")) build = build.parent_path();
  const std::filesystem::path folder = std::filesystem::exists(build / "CMakeCache.txt")
                                           ? build / "test-output" / "exchange"
                                           : std::filesystem::temp_directory_path();
  std::filesystem::create_directories(folder);
  return folder;
}

// A part of `measures` measures of 3/4, each a dotted half C5.
std::string part(const char* id, int measures) {
  std::string text = std::string("<part id=\"") + id + "\">";
  for (int m = 0; m < measures; ++m) {
    text += "<measure number=\"" + std::to_string(m + 1) + "\">";
    if (m == 0)
      text +=
          "<attributes><divisions>1</divisions><time><beats>3</beats><beat-type>4</beat-type>"
          "</time><clef><sign>G</sign><line>2</line></clef></attributes>";
    text +=
        "<note><pitch><step>C</step><octave>5</octave></pitch><duration>3</duration>"
        "<type>half</type><dot/></note></measure>";
  }
  return text + "</part>";
}

std::string score(const std::vector<std::string>& parts, const std::string& defaults = "") {
  std::string text = "<score-partwise version=\"3.1\">" + defaults + "<part-list>";
  for (size_t p = 0; p < parts.size(); ++p)
    text += "<score-part id=\"P" + std::to_string(p + 1) + "\"><part-name>Part " +
            std::to_string(p + 1) + "</part-name></score-part>";
  text += "</part-list>";
  for (const std::string& p : parts) text += p;
  return text + "</score-partwise>";
}

// Saves the piece and reads it again: what reading it showed.
std::vector<std::string> saved_and_read_again(const std::string& name) {
  const std::filesystem::path piece = output_folder() / (name + ".vesk");
  EXPECT_EQ(write_piece_file(0, NIL, piece.string()), 1);
  discard_piece_lists();
  piece_fsspec = piece.string();
  script_begin();
  EXPECT_EQ(read_piece(nullptr), 1);
  std::vector<std::string> shown;
  for (const ShownText& t : script_take_shown()) shown.push_back(t.text);
  script_take_faults();
  script_end();
  take_reports();
  return shown;
}

// A part that ends before the others goes on with measures of rest: the piece is consistent,
// and read again from its file it asks nothing. Whichever part is the short one.
TEST_F(ExchangeFaults, AShortPartGoesOnWithMeasuresOfRest) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases{
      {"second-short", {part("P1", 4), part("P2", 2)}},
      {"first-short", {part("P1", 1), part("P2", 3)}}};
  for (const auto& [name, parts] : cases) {
    std::vector<std::string> said;
    ASSERT_EQ(import_said(score(parts), &said), 1) << name;
    ASSERT_EQ(voice_count, 2) << name;
    const int shorter = name == "first-short" ? 0 : 1;
    const std::string expected = shorter == 0 ? "C5h. | rh. | rh. |" : "C5h. | C5h. | rh. | rh. |";
    EXPECT_EQ(notes_of(shorter), expected) << name;
    EXPECT_EQ(measure_lengths(0), measure_lengths(1)) << name;
    EXPECT_EQ(saved_and_read_again(name), std::vector<std::string>{}) << name;
  }
}

// A piano part of two staves whose first measure, "0", is a pickup; numbered "1" as the
// next, as the export wrote it before, when `one_twice`.
std::string piano_with_pickup(bool one_twice = false) {
  std::string text =
      "<score-partwise version=\"3.1\"><part-list><score-part id=\"P1\"><part-name>Piano"
      "</part-name></score-part></part-list><part id=\"P1\">";
  for (int m = 0; m < 4; ++m) {
    const std::string d = m == 0 ? "1" : "3", type = m == 0 ? "quarter" : "half";
    const std::string dot = m == 0 ? "" : "<dot/>";
    text += "<measure number=\"" + std::to_string(one_twice ? std::max(m, 1) : m) + "\"" +
            (m == 0 && !one_twice ? " implicit=\"yes\"" : "") + ">";
    if (m == 0)
      text +=
          "<attributes><divisions>1</divisions><time><beats>3</beats><beat-type>4</beat-type>"
          "</time><staves>2</staves><clef number=\"1\"><sign>G</sign><line>2</line></clef>"
          "<clef number=\"2\"><sign>F</sign><line>4</line></clef></attributes>";
    text += "<note><pitch><step>C</step><octave>5</octave></pitch><duration>" + d +
            "</duration><voice>1</voice><type>" + type + "</type>" + dot +
            "<staff>1</staff></note><backup><duration>" + d +
            "</duration></backup><note><pitch><step>C</step><octave>3</octave></pitch>"
            "<duration>" +
            d + "</duration><voice>5</voice><type>" + type + "</type>" + dot +
            "<staff>2</staff></note></measure>";
  }
  return text + "</part></score-partwise>";
}

// The number the program gives each measure of every voice, at its first note.
std::string bar_numbers() {
  std::string out;
  for (int v = 0; v < voice_count; ++v) {
    out += v ? " /" : "";
    bool at_start = true;
    for (Drosa p = piece_start[v]->xnext; p; p = p->xnext) {
      if (effective_kind(p) == BAR) at_start = true;
      if (p->xkind != NOTE || !at_start) continue;
      out += " " + std::to_string(bar_number_of_node(p));
      at_start = false;
    }
  }
  return out;
}

// A pickup stays out of the count in every staff: it and the next measure are both 1 to the
// program. Written, the pickup is measure 0, implicit, and the next 1; read again, numbered
// as before.
TEST_F(ExchangeFaults, APickupIsMeasureZeroWrittenAndReadAgain) {
  ASSERT_EQ(import(piano_with_pickup(), 1), 1);
  ASSERT_EQ(voice_count, 2);
  const std::string numbers = bar_numbers();
  EXPECT_EQ(numbers, " 1 1 2 3 / 1 1 2 3");
  const std::filesystem::path path = output_folder() / "pickup-written.xml";
  ASSERT_EQ(export_musicxml_file(path.string()), 1);
  const std::string written = read_file(path);
  EXPECT_NE(written.find("<measure number=\"0\" implicit=\"yes\">"), std::string::npos);
  EXPECT_NE(written.find("<measure number=\"1\">"), std::string::npos);
  EXPECT_EQ(written.find("<measure number=\"1\" implicit"), std::string::npos);
  discard_piece_lists();
  ASSERT_EQ(import(written, 1), 1);
  EXPECT_EQ(bar_numbers(), numbers);
  // A measure numbered as the one before is kept out of the count in every staff.
  discard_piece_lists();
  ASSERT_EQ(import(piano_with_pickup(true), 1), 1);
  EXPECT_EQ(bar_numbers(), numbers);
}

// Odd pages wider on the left, even pages on the right, as a bound book's: the piece keeps
// both, and writes them back so.
TEST_F(ExchangeFaults, OddAndEvenPagesKeepTheirOwnMargins) {
  const std::string defaults =
      "<defaults><scaling><millimeters>7.0556</millimeters><tenths>40</tenths></"
      "scaling><page-layout>"
      "<page-height>1600</page-height><page-width>1200</page-width>"
      "<page-margins type=\"odd\"><left-margin>150</left-margin><right-margin>80</right-margin>"
      "<top-margin>80</top-margin><bottom-margin>80</bottom-margin></page-margins>"
      "<page-margins type=\"even\"><left-margin>80</left-margin><right-margin>150</right-margin>"
      "<top-margin>80</top-margin><bottom-margin>80</bottom-margin></page-margins>"
      "</page-layout></defaults>";
  ASSERT_EQ(import(score({part("P1", 2)}, defaults), 1), 1);
  constexpr int LEFT_ODD = 22, LEFT_FIRST_SYSTEM = 26, RIGHT_ODD = 30, LEFT_EVEN = 88,
                RIGHT_EVEN = 92;
  const int32_t wide = options_i32(1, LEFT_ODD), narrow = options_i32(1, RIGHT_ODD);
  EXPECT_GT(wide, narrow * 3 / 2);
  EXPECT_EQ(options_i32(1, LEFT_EVEN), narrow);
  EXPECT_EQ(options_i32(1, RIGHT_EVEN), wide);
  EXPECT_EQ(options_i32(1, LEFT_FIRST_SYSTEM), wide);
  const std::filesystem::path path = output_folder() / "margins-written.xml";
  ASSERT_EQ(export_musicxml_file(path.string()), 1);
  const std::string written = read_file(path);
  EXPECT_NE(written.find("<page-margins type=\"odd\">\n\t\t\t\t<left-margin>150</left-margin>\n"
                         "\t\t\t\t<right-margin>80</right-margin>"),
            std::string::npos)
      << written.substr(0, 1200);
  EXPECT_NE(written.find("<page-margins type=\"even\">\n\t\t\t\t<left-margin>80</left-margin>\n"
                         "\t\t\t\t<right-margin>150</right-margin>"),
            std::string::npos);
}

// Fourteen staves whose distances the page cannot hold: the document written says them closer,
// so that another program's page holds them too: from the top margin down, the last staff's
// middle line stands above the bottom margin.
TEST_F(ExchangeFaults, APageDrawnCloserIsWrittenCloser) {
  constexpr int STAVES = 14;
  const std::string defaults =
      "<defaults><scaling><millimeters>7.0556</millimeters><tenths>40</tenths></scaling>"
      "<page-layout><page-height>1600</page-height><page-width>1200</page-width>"
      "<page-margins type=\"both\"><left-margin>80</left-margin><right-margin>80</right-margin>"
      "<top-margin>80</top-margin><bottom-margin>80</bottom-margin></page-margins></page-layout>"
      "<system-layout><top-system-distance>70</top-system-distance></system-layout>"
      "<staff-layout><staff-distance>80</staff-distance></staff-layout></defaults>";
  std::vector<std::string> ids, parts;
  for (int p = 1; p <= STAVES; ++p) ids.push_back("P" + std::to_string(p));
  for (const std::string& id : ids) parts.push_back(part(id.c_str(), 2));
  ASSERT_EQ(import(score(parts, defaults), 1), 1);
  ASSERT_EQ(page_count, 1);
  const std::filesystem::path path = output_folder() / "squeezed-written.xml";
  ASSERT_EQ(export_musicxml_file(path.string()), 1);
  const std::string written = read_file(path);
  // The number of the first element of that name from `from` on, before `until`; -1 none.
  auto number_in = [&](const std::string& element, size_t from = 0,
                       size_t until = std::string::npos) {
    const size_t at = written.find("<" + element + ">", from);
    return at >= until ? -1 : std::atol(written.c_str() + at + element.size() + 2);
  };
  const long given = number_in("staff-distance");
  long down = number_in("top-margin") + number_in("top-system-distance");
  for (size_t at = written.find("<part id=");
       (at = written.find("<part id=", at + 1)) != std::string::npos;) {
    const long printed = number_in("staff-distance", at, written.find("</measure>", at));
    down += (printed > 0 ? printed : given) + 40;
  }
  EXPECT_LT(given, 80);
  EXPECT_LE(down + 20, number_in("page-height") - number_in("bottom-margin"));
}

// The keys the notes of voice v sound (the MIDI key of each), "*" after a key set apart from
// the note's place.
std::string sounded_keys(int v) {
  std::string out;
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    if (p->xkind == NOTE && !p->get(xrest))
      out += " " + std::to_string(p->get(xpitch) >> 8) + (p->get(xpitch_edited) ? "*" : "");
  return out;
}

int channel_of(int v) {
  return find_next_kind_until(VINFO, piece_start[v], NOTE, 0)->get(xmidichan) + 1;
}

// A drum set's notes sound their instruments' keys on the channel the document gives (the
// snare 39 and the bass drum 36 of midi-unpitched, counted from 1), not the keys of their
// places on the staff; written and read again, the same. The triangle, which names no sound,
// plays the key of its place.
TEST_F(ExchangeFaults, PercussionNotesSoundTheirInstrumentsKeys) {
  ASSERT_EQ(import(read_file(std::string(VESK_TEST_DATA) + "/wild/percussion.xml"), 1), 1);
  ASSERT_EQ(voice_count, 3);
  const std::string snare = " 38* 38* 38* 38* 38* 38* 38* 38*";
  const std::string expected[3] = {snare + snare, " 35* 35* 35* 35*", " 60 60"};
  for (int v = 0; v < 3; ++v) EXPECT_EQ(sounded_keys(v), expected[v]) << v;
  EXPECT_EQ(channel_of(0), 10);
  EXPECT_EQ(channel_of(1), 10);
  EXPECT_EQ(channel_of(2), 1);
  const std::filesystem::path path = output_folder() / "percussion-keys.xml";
  ASSERT_EQ(export_musicxml_file(path.string()), 1);
  const std::string written = read_file(path);
  EXPECT_NE(written.find("<midi-unpitched>39</midi-unpitched>"), std::string::npos);
  EXPECT_NE(written.find("<midi-unpitched>36</midi-unpitched>"), std::string::npos);
  discard_piece_lists();
  ASSERT_EQ(import(written, 1), 1);
  for (int v = 0; v < 3; ++v) EXPECT_EQ(sounded_keys(v), expected[v]) << v;
  EXPECT_EQ(channel_of(0), 10);
  // A drum set written on a bass staff: its notes keep their keys, written back as unpitched.
  std::string document =
      "<score-partwise version=\"3.1\"><part-list><score-part id=\"P1\"><part-name>Drums"
      "</part-name><score-instrument id=\"P1-X1\"><instrument-name>Kick</instrument-name>"
      "</score-instrument><midi-instrument id=\"P1-X1\"><midi-channel>10</midi-channel>"
      "<midi-unpitched>37</midi-unpitched></midi-instrument></score-part></part-list>"
      "<part id=\"P1\"><measure number=\"1\"><attributes><divisions>1</divisions><time>"
      "<beats>2</beats><beat-type>4</beat-type></time><clef><sign>F</sign><line>4</line></clef>"
      "</attributes>";
  for (int i = 0; i < 2; ++i)
    document +=
        "<note><unpitched><display-step>A</display-step><display-octave>2</display-octave>"
        "</unpitched><duration>1</duration><instrument id=\"P1-X1\"/><type>quarter</type></note>";
  document += "</measure></part></score-partwise>";
  discard_piece_lists();
  ASSERT_EQ(import(document, 1), 1);
  EXPECT_EQ(sounded_keys(0), " 36* 36*");
  ASSERT_EQ(export_musicxml_file(path.string()), 1);
  const std::string drums = read_file(path);
  EXPECT_NE(drums.find("<display-step>A</display-step>"), std::string::npos);
  discard_piece_lists();
  ASSERT_EQ(import(drums, 1), 1);
  EXPECT_EQ(sounded_keys(0), " 36* 36*");
  EXPECT_EQ(notes_of(0), "A2q A2q |");
}

// What pdfinfo says of the sheet of the piece printed to a PDF file.
std::string pdf_sheet(const std::string& name) {
  const std::filesystem::path pdf = output_folder() / (name + ".pdf");
  std::filesystem::remove(pdf);
  Print_init();
  print_settings->destination = PRINT_TO_PDF_FILE;
  print_settings->file = pdf.string();
  print_piece(PRINT_WITHOUT_DIALOG);
  print_release();
  std::string output;
  if (FILE* pipe = popen(("pdfinfo '" + pdf.string() + "' 2>&1").c_str(), "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, pipe))
      if (std::string(line).rfind("Page size:", 0) == 0) output = line;
    pclose(pipe);
  }
  return output;
}

// A document's page is laid out larger than its paper (by as much as its staves are smaller
// than the program's) and printed at the scale that gives the paper back; a document without a
// page size is laid out on the page setup's paper at 125 per cent and printed at 80. Printed to
// a PDF file, the sheet is the paper, not the page laid out: never a paper no printer has (a
// page without a size once came out 7.6 by 10.1 inches).
TEST_F(ExchangeFaults, APdfOfADocumentIsItsPaper) {
  platform_init_fonts();
  ASSERT_EQ(import_fixture("scaled_page.xml", 1), 1);
  EXPECT_EQ(pdf_sheet("scaled-page"), "Page size:       595 x 842 pts (A4)\n");
  discard_piece_lists();
  ASSERT_EQ(import(score({part("P1", 2)}), 1), 1);
  EXPECT_EQ(get_be32(print_record[1] + PRINT_SCALE), 80);
  EXPECT_EQ(pdf_sheet("no-page-size"), "Page size:       612 x 792 pts (letter)\n");
  // On A4 paper, turned for landscape.
  discard_piece_lists();
  const int32_t a4[4] = {-12, -12, 830, 583};
  for (int i = 0; i < 4; ++i) put_be32(print_record[1] + PRINT_PAPER + 4 * i, a4[i]);
  put_be32(print_record[1] + PRINT_LANDSCAPE, 1);
  ASSERT_EQ(import(score({part("P1", 2)}), 1), 1);
  EXPECT_EQ(pdf_sheet("no-page-size-a4"), "Page size:       842 x 595 pts (A4)\n");
  take_reports();
}

}  // namespace
