// page_breaks_test.cpp: the pages of imported documents that break their systems but not their
// pages, or their pages too seldom for the paper: they are broken where they are full, without
// a word to the user; a document whose pages fit keeps them. Pages are drawn into
// test-output/page_breaks of the build folder.
#include <filesystem>
#include <string>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/musicxml_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/fonts.h"
#include "platform/port.h"

namespace {

std::filesystem::path output_folder() {
  std::filesystem::path build = std::filesystem::current_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt")) build = build.parent_path();
  const std::filesystem::path folder = std::filesystem::exists(build / "CMakeCache.txt")
                                           ? build / "test-output" / "page_breaks"
                                           : std::filesystem::temp_directory_path();
  std::filesystem::create_directories(folder);
  return folder;
}

// A document of `staves` parts of one staff each (treble and bass in turn, an mf at the start)
// and `bars` bars of quarter notes (or `dense` ones), breaking its systems every `system` bars and
// its pages every `page` bars (0: never) in the first part, as exporters write them: no page layout
// of its own.
std::string score(int staves, int bars, int system, int page, bool dense = false) {
  static const char* const steps[] = {"C", "E", "G", "B", "D", "F", "A"};
  std::string d = "<?xml version=\"1.0\"?>\n<score-partwise version=\"3.1\"><part-list>";
  for (int p = 1; p <= staves; ++p)
    d += "<score-part id=\"P" + std::to_string(p) + "\"><part-name>Part " + std::to_string(p) +
         "</part-name></score-part>";
  d += "</part-list>";
  for (int p = 1; p <= staves; ++p) {
    const bool bass = p % 2 == 0;
    d += "<part id=\"P" + std::to_string(p) + "\">";
    for (int m = 1; m <= bars; ++m) {
      d += "<measure number=\"" + std::to_string(m) + "\">";
      if (p == 1 && m > 1 && page && (m - 1) % page == 0)
        d += "<print new-page=\"yes\"/>";
      else if (p == 1 && m > 1 && (m - 1) % system == 0)
        d += "<print new-system=\"yes\"/>";
      if (m == 1)
        d += std::string(
                 "<attributes><divisions>4</divisions><time><beats>4</beats><beat-type>4"
                 "</beat-type></time><clef><sign>") +
             (bass ? "F</sign><line>4" : "G</sign><line>2") +
             "</line></clef></attributes><direction placement=\"below\"><direction-type>"
             "<dynamics><mf/></dynamics></direction-type></direction>";
      // Dense bars: eighths with sharps, and on the lower staves sixteenths between them.
      const int notes = dense ? (bass ? 12 : 8) : 4;
      for (int n = 0; n < notes; ++n) {
        const bool sixteenth = dense && bass && n % 3 != 1;
        d += std::string("<note><pitch><step>") + steps[(m * 3 + n * 2 + p) % 7] + "</step>" +
             (dense && n % 2 ? "<alter>1</alter>" : "") + "<octave>" + (bass ? "3" : "4") +
             "</octave></pitch><duration>" +
             (!dense      ? "4"
              : sixteenth ? "1"
                          : "2") +
             "</duration><voice>1</voice><type>" +
             (!dense      ? "quarter"
              : sixteenth ? "16th"
                          : "eighth") +
             "</type>" + (dense && n % 2 ? "<accidental>sharp</accidental>" : "") + "</note>";
      }
      d += "</measure>";
    }
    d += "</part>";
  }
  return d + "</score-partwise>";
}

// Formats and draws every page; says which hold more staves than a page takes or, holding more
// than one system, stand them closer than 88 per cent of their natural distances.
std::string pages_not_held(const std::string& name) {
  platform_init_fonts();
  if (!offscreen_page) offscreen_changesize();
  std::string not_held;
  for (int32_t page = 1; page <= page_count; ++page) {
    EXPECT_EQ(format_page(page, 0), 1) << name << " page " << page;
    int systems = 0;
    int64_t natural = 0;
    for (int p = 0; p < pstaff_count; ++p) {
      systems += staff_data[p].place == 1;
      if (p + 1 < pstaff_count) natural += staff_data[p].distance_below;
    }
    const int64_t placed = staff_data[0].middle_y - staff_data[pstaff_count - 1].middle_y;
    if (pstaff_count > MAX_PSTAVES || (systems > 1 && natural * 88 > placed * 100))
      not_held += "page " + std::to_string(page) + ": " + std::to_string(systems) + " systems, " +
                  std::to_string(pstaff_count) + " staves " + std::to_string(placed) +
                  " high, naturally " + std::to_string(natural) + "\n";
    offscreen_erase();
    platform_set_port(offscreen_page);
    plot_GE_list(port_bounds(offscreen_page), 0, 0);
    platform_set_port(nullptr);
    port_save_png(offscreen_page,
                  (output_folder() / (name + "-" + std::to_string(page) + ".png")).c_str());
  }
  offscreen_dispose();
  return not_held;
}

int page_breaks() {
  int n = 0;
  for (Drosa p = piece_start[0]->xnext; p; p = p->xnext)
    n += p->xkind == ENDSYST && p->get(xendpage) && !p->get(xendpiece);
  return n;
}

using ImportedPages = MusicXmlTest;

// Sixteen staves, a system every four bars: four systems are more staves than a page takes
// (the format once said "Too many staves on the page; the page will be split." before the
// window showed, and squeezed the staves); each system has a page of its own. Eight staves:
// two systems to a page would stand too close; a page each. Four staves: three a page. Thirty-two
// staves of dense bars: a system too wide for its page sends its last bars to the next page,
// which is broken where it is full too (it once said the message).
TEST_F(ImportedPages, SystemsWithoutPagesAreBrokenIntoPagesThatHoldThem) {
  for (auto [staves, per_page] : {std::pair{16, 1}, {8, 1}, {4, 3}}) {
    const std::string name = "systems-" + std::to_string(staves);
    ASSERT_EQ(import(score(staves, 20, 4, 0), 1), 1) << name;
    EXPECT_EQ(pages_not_held(name), "") << name;
    EXPECT_EQ(page_count, (5 + per_page - 1) / per_page) << name;
    EXPECT_EQ(page_breaks(), page_count - 1) << name << ": the breaks are the piece's";
  }
  ASSERT_EQ(import(score(32, 16, 4, 0, true), 1), 1);
  EXPECT_EQ(pages_not_held("dense-32"), "");
}

// Page breaks every twenty bars, five systems of sixteen staves: the document's pages were
// made for other paper; every page holds what fits. Three systems of four staves stand a little
// closer on this paper than they would on a page of their own: the document's breaks stand.
TEST_F(ImportedPages, PagesTooLongForThePaperAreBrokenWhereTheyAreFull) {
  ASSERT_EQ(import(score(16, 40, 4, 20), 1), 1);
  EXPECT_EQ(pages_not_held("pages-16"), "");
  EXPECT_EQ(page_count, 10);
  ASSERT_EQ(import(score(4, 24, 4, 12), 1), 1);
  pages_not_held("pages-4");
  EXPECT_EQ(page_count, 2);
}

}  // namespace
