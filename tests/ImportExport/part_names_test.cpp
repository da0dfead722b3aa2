// part_names_test.cpp: the names of the parts before the systems: read from a document with
// the room it leaves for them, drawn left of each system (full names at the first, the
// abbreviations after), kept in the piece file and written back.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/musicxml_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/fonts.h"
#include "support/engraved_page.h"
#include "support/real_scores.h"

namespace {

using MusicXmlPartNames = MusicXmlTest;

constexpr int VAR_NAME = 81;
constexpr int OPTIONS_LEFT_ODD = 22, OPTIONS_LEFT_FIRST = 26;

// A clarinet and a violin in a bracket, and a piano of two staves; six bars, a system break
// before bar 3 and a page break before bar 5. The first system is indented 120 tenths, the
// later ones 40. The violin's names are not printed.
std::string document() {
  std::string d =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><score-partwise><defaults><scaling>"
      "<millimeters>7</millimeters><tenths>40</tenths></scaling><page-layout>"
      "<page-height>1700</page-height><page-width>1200</page-width>"
      "<page-margins type=\"both\"><left-margin>80</left-margin><right-margin>80"
      "</right-margin><top-margin>80</top-margin><bottom-margin>80</bottom-margin>"
      "</page-margins></page-layout><system-layout><system-margins><left-margin>0"
      "</left-margin><right-margin>0</right-margin></system-margins></system-layout>"
      "</defaults><part-list>"
      "<part-group number=\"1\" type=\"start\"><group-symbol>bracket</group-symbol></part-group>"
      "<score-part id=\"P1\"><part-name>Clarinet in B\xE2\x99\xAD</part-name>"
      "<part-abbreviation>Cl.</part-abbreviation></score-part>"
      "<score-part id=\"P2\"><part-name print-object=\"no\">Violin</part-name>"
      "<part-abbreviation print-object=\"no\">Vl.</part-abbreviation></score-part>"
      "<part-group number=\"1\" type=\"stop\"/>"
      "<score-part id=\"P3\"><part-name>Piano</part-name><part-name-display>"
      "<display-text>Piano\n</display-text><display-text>forte</display-text>"
      "</part-name-display><part-abbreviation>Pno.</part-abbreviation></score-part>"
      "</part-list>";
  for (int part = 1; part <= 3; ++part) {
    const int staves = part == 3 ? 2 : 1;
    d += "<part id=\"P" + std::to_string(part) + "\">";
    for (int bar = 1; bar <= 6; ++bar) {
      d += "<measure number=\"" + std::to_string(bar) + "\">";
      if (bar == 1)
        d += "<print><system-layout><system-margins><left-margin>120</left-margin>"
             "<right-margin>0</right-margin></system-margins></system-layout></print>"
             "<attributes><divisions>1</divisions><time><beats>4</beats><beat-type>4"
             "</beat-type></time>" +
             std::string(staves == 2 ? "<staves>2</staves><clef number=\"1\"><sign>G</sign>"
                                       "<line>2</line></clef><clef number=\"2\"><sign>F</sign>"
                                       "<line>4</line></clef>"
                                     : "<clef><sign>G</sign><line>2</line></clef>") +
             "</attributes>";
      if (bar == 3 || bar == 5)
        d += std::string("<print ") + (bar == 5 ? "new-page" : "new-system") +
             "=\"yes\"><system-layout><system-margins><left-margin>40</left-margin>"
             "<right-margin>0</right-margin></system-margins></system-layout></print>";
      for (int staff = 1; staff <= staves; ++staff) {
        if (staff == 2) d += "<backup><duration>4</duration></backup>";
        d += "<note><pitch><step>" + std::string(staff == 2 ? "C" : "G") +
             "</step><octave>4</octave></pitch><duration>4</duration><type>whole</type>" +
             (staves == 2 ? "<staff>" + std::to_string(staff) + "</staff>" : "") + "</note>";
      }
      d += "</measure>";
    }
    d += "</part>";
  }
  return d + "</score-partwise>";
}

// The names of every part, first voice of each, as "full/abbreviation" with "*" after a name
// drawn.
std::string names_of_parts() {
  std::string out;
  for (int v = 0; v < voice_count; ++v) {
    bool first = true;
    for (int u = 0; u < v; ++u) first = first && !voices_same_part(u, v);
    if (!first) continue;
    const PartNames names = part_names_of_voice(v);
    out += (out.empty() ? "" : " | ") + names.full.text + (names.full.shown ? "*" : "") + "/" +
           names.abbreviation.text + (names.abbreviation.shown ? "*" : "");
  }
  return out;
}

struct DrawnName {
  std::string text;
  GEInkBox box;
  int pstaff = 0;
};

std::vector<DrawnName> drawn_names() {
  std::vector<DrawnName> names;
  for (Drosa e = GE_head ? GE_head->xnext : NIL; e; e = e->xnext) {
    if (e->xkind != GE_CHAR || e->get(xgc_var) != VAR_NAME) continue;
    DrawnName name;
    Drosa element = e;
    GE_string_text(&name.text, &element);
    if (!ge_ink_box(e, &name.box)) continue;
    name.pstaff = e->get(xgc_pstaff);
    names.push_back(name);
  }
  return names;
}

// The leftmost ink of what begins the system of a pstaff (staff lines, brackets, braces, its
// bar line).
int32_t system_start_left(const PageFrame& frame, int pstaff) {
  auto system = [&](int p) {
    return p >= 0 && size_t(p) < frame.system_of_pstaff.size() ? frame.system_of_pstaff[size_t(p)]
                                                               : -1;
  };
  int32_t left = INT32_MAX;
  for (Drosa e = GE_head ? GE_head->xnext : NIL; e; e = e->xnext) {
    GEInkBox box;
    if (e->xkind != GE_LINE && e->xkind != GE_CHAR) continue;
    const int var = e->xkind == GE_LINE ? e->get(xgl_var) : e->get(xgc_var);
    const bool start = (var >= 10 && var <= 16) || (var >= 39 && var <= 43);
    const int p = e->xkind == GE_LINE ? e->get(xge_pstaff1) : e->get(xgc_pstaff);
    if (start && system(p) == system(pstaff) && ge_ink_box(e, &box))
      left = std::min(left, box.left);
  }
  return left;
}

TEST_F(MusicXmlPartNames, ReadDrawnBeforeTheSystemsKeptAndWrittenBack) {
  // Part names were read only as the parts' keys and never drawn: the staves of every score
  // stood unlabelled, and the room the document left for the names was not read.
  platform_init_fonts();
  ASSERT_EQ(import(document(), 1), 1);
  for (const Report& r : take_reports()) ADD_FAILURE() << r.text;
  const std::string read = names_of_parts();
  EXPECT_EQ(read, "Clarinet in Bb*/Cl.* | Violin/Vl. | Piano\rforte*/Pno.*");
  // The first system is indented by 80 tenths more than the later ones.
  const int context = std::max<int>(current_ncontext, 1);
  EXPECT_GT(options_i32(context, OPTIONS_LEFT_FIRST), options_i32(context, OPTIONS_LEFT_ODD));
  ASSERT_GE(page_count, 2);

  // Page 1: the full names before the first system, the abbreviations before the second;
  // page 2 the abbreviations. Each stands left of its system's bracket and brace and within
  // the paper, centred on its part's staves (the piano's between its two).
  const std::vector<std::vector<std::string>> expected = {
      {"Clarinet in Bb", "Piano", "forte", "Cl.", "Pno."}, {"Cl.", "Pno."}};
  for (int32_t page = 1; page <= 2; ++page) {
    expect_page_clean("part_names", "names-" + std::to_string(page), page);
    const PageFrame frame = formatted_page_frame(page);
    std::vector<std::string> texts;
    for (const DrawnName& name : drawn_names()) {
      texts.push_back(name.text);
      EXPECT_GE(name.box.left, 0) << name.text;
      EXPECT_LT(name.box.right, system_start_left(frame, name.pstaff)) << name.text;
      // The clarinet's staff, or the piano's two: the middle of the part's lines.
      const bool piano = name.text != "Clarinet in Bb" && name.text != "Cl.";
      const int32_t top = staff_top_y(name.pstaff, 0);
      const int32_t bottom = staff_bottom_y(name.pstaff + (piano ? 1 : 0), 0);
      const int32_t middle = (top + bottom) / 2;
      const int32_t centre = (name.box.top + name.box.bottom) / 2;
      const int32_t lines = name.text == "Piano" || name.text == "forte" ? 80 : 0;
      EXPECT_LE(std::abs(centre - middle), 30 + lines) << name.text << " page " << page;
    }
    EXPECT_EQ(texts, expected[size_t(page - 1)]) << "page " << page;
  }

  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("vesk-part-names-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string saved = (folder / "names.piece").string();
  ASSERT_EQ(write_piece_file(0, NIL, saved), 1);
  discard_piece_lists();
  piece_fsspec = saved;
  ASSERT_EQ(read_piece(nullptr), 1);
  EXPECT_EQ(names_of_parts(), read) << "read from the piece file";

  const std::filesystem::path written = folder / "names.xml";
  ASSERT_EQ(export_musicxml_file(written.string()), 1);
  const std::string exported = read_file(written);
  EXPECT_NE(exported.find("<part-name print-object=\"no\">Violin</part-name>"), std::string::npos);
  EXPECT_NE(exported.find("<part-abbreviation>Cl.</part-abbreviation>"), std::string::npos);
  discard_piece_lists();
  voice_count = 0;
  ASSERT_EQ(import(exported, 1), 1);
  EXPECT_EQ(names_of_parts(), read) << "imported again";
  std::filesystem::remove_all(folder);
  offscreen_dispose();
}

}  // namespace
