// endings_test.cpp: the endings of repeats ("1." and "2." over the bars played the first and
// the second time) read from MusicXML, drawn from bar line to bar line over their staff, kept
// in the piece file and written back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
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
#include "support/real_scores.h"

namespace {

using MusicXmlEndings = MusicXmlTest;

// Each ending of voice v as its number, the notes (counted from 0) its first and last segments
// stand before, and "open" when it is left open at its end.
std::string endings_of(int v) {
  std::string out;
  int notes = 0;
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    if (p->xkind == NOTE) ++notes;
    if (p->xkind != LINE || p->get(xline_ord) != 3 || !ending_number_of(p)) continue;
    Drosa end = line_geometry_wrapper(p);
    int last = notes;
    for (Drosa q = p; q && end; q = q->xnext) {
      if (q == end) break;
      if (q->xkind == NOTE) ++last;
    }
    out += (out.empty() ? "" : " ") + run_text(ending_number_of(p)) + "[" + std::to_string(notes) +
           "-" + (end ? std::to_string(last) : "?") + (p->get(xmetaline) == 5 ? " open" : "") + "]";
  }
  return out;
}

TEST_F(MusicXmlEndings, AreReadDrawnOverTheirBarsKeptAndWrittenBack) {
  // A first ending of one bar that stops, a second left open, an ending for the first and
  // second time broken across two systems, and a third, open, after it. Endings were read and
  // dropped: nothing told which bars are played which time.
  platform_init_fonts();
  ASSERT_EQ(import_fixture("endings.xml", 1), 1);
  for (const Report& r : take_reports()) ADD_FAILURE() << r.text;
  const std::string read = endings_of(0);
  EXPECT_EQ(read, "1.[7-9] 2.[10-10 open] 1, 2.[15-19] 3.[20-22 open]");

  expect_page_clean("endings", "endings");
  // Five lines (the broken ending's two segments), a hook at each start but the second
  // segment's, at the ends of those that stop; all over the staff, above its notes.
  int lines = 0, starts = 0, ends = 0;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind != GE_LINE || e->get(xgscreen)) continue;
    const int var = e->get(xgl_var);
    if (var < 66 || var > 68) continue;
    (var == 66 ? starts : var == 67 ? ends : lines) += 1;
    const int pstaff = e->get(xge_pstaff1);
    EXPECT_GE(std::min(e->get(xge_y1), e->get(xge_y2)), staff_top_y(pstaff, 0) + 50);
  }
  EXPECT_EQ(lines, 5);
  EXPECT_EQ(starts, 4);
  EXPECT_EQ(ends, 2);
  // A start hook stands after every line of the bar line before it (the second ending's after
  // the repeat's thick line, not between its lines).
  for (Drosa h = GE_head->xnext; h; h = h->xnext) {
    if (h->xkind != GE_LINE || h->get(xgscreen) || h->get(xgl_var) != 66) continue;
    for (Drosa b = GE_head->xnext; b; b = b->xnext)
      if (b->xkind == GE_LINE && b->get(xgl_var) >= 26 && b->get(xgl_var) <= 31 &&
          b->get(xge_pstaff1) == h->get(xge_pstaff1) &&
          std::abs(b->get(xge_x1) - h->get(xge_x1)) < 50)
        EXPECT_LT(b->get(xge_x1), h->get(xge_x1));
  }

  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("vesk-endings-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const std::string saved = (folder / "endings.piece").string();
  ASSERT_EQ(write_piece_file(0, NIL, saved), 1);
  discard_piece_lists();
  piece_fsspec = saved;
  ASSERT_EQ(read_piece(nullptr), 1);
  EXPECT_EQ(endings_of(0), read) << "read from the piece file";

  const std::filesystem::path written = folder / "endings-written.xml";
  ASSERT_EQ(export_musicxml_file(written.string()), 1);
  const std::string document = read_file(written);
  EXPECT_NE(document.find("<ending number=\"1, 2\" type=\"start\">1, 2.</ending>"),
            std::string::npos);
  EXPECT_NE(document.find("<ending number=\"2\" type=\"discontinue\"/>"), std::string::npos);
  discard_piece_lists();
  voice_count = 0;
  ASSERT_EQ(import(document, 1), 1);
  EXPECT_EQ(endings_of(0), read) << "imported again";
  std::filesystem::remove_all(folder);
  offscreen_dispose();
}

TEST_F(MusicXmlEndings, OneThatStopsWhereNoneBeganSpansTheMeasureItStopsIn) {
  // A first ending whose start and number the document leaves out, before a second ending,
  // and at the end one that nothing gives a number: both were left out, with an alert.
  platform_init_fonts();
  auto measure = [](int n, const std::string& left, const char* step, const std::string& right) {
    return "<measure number=\"" + std::to_string(n) + "\">" +
           (n == 1 ? "<attributes><divisions>1</divisions><time><beats>4</beats><beat-type>4"
                     "</beat-type></time><clef><sign>G</sign><line>2</line></clef></attributes>"
                   : "") +
           (left.empty() ? "" : "<barline location=\"left\">" + left + "</barline>") +
           "<note><pitch><step>" + step + "</step><octave>5</octave></pitch><duration>4" +
           "</duration><voice>1</voice><type>whole</type></note>" +
           (right.empty() ? "" : "<barline location=\"right\">" + right + "</barline>") +
           "</measure>";
  };
  const std::string document =
      "<?xml version=\"1.0\"?>\n<score-partwise version=\"3.1\"><part-list><score-part "
      "id=\"P1\"><part-name>Violin</part-name></score-part></part-list><part id=\"P1\">" +
      measure(1, "", "C", "") +
      measure(2, "", "D",
              "<bar-style>light-heavy</bar-style><ending type=\"stop\" number=\"\"/>"
              "<repeat direction=\"backward\"/>") +
      measure(3, "<ending type=\"start\" number=\"2\"/>", "E",
              "<ending type=\"discontinue\" number=\"2\"/>") +
      measure(4, "", "F", "<ending type=\"stop\"/>") + "</part></score-partwise>";
  ASSERT_EQ(import(document, 1), 1);
  const std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_NE(r[0].text.find("the ending that stops in measure 4 began nowhere"), std::string::npos)
      << r[0].text;
  EXPECT_EQ(endings_of(0), "1.[1-1] 2.[2-2 open]  [3-3]");

  expect_page_clean("endings", "unstarted");

  // Written back, the first ending begins and stops as any other.
  const std::filesystem::path written = std::filesystem::temp_directory_path() /
                                        ("vesk-unstarted-" + std::to_string(::getpid()) + ".xml");
  ASSERT_EQ(export_musicxml_file(written.string()), 1);
  const std::string exported = read_file(written);
  std::filesystem::remove(written);
  EXPECT_NE(exported.find("<ending number=\"1\" type=\"start\">1.</ending>"), std::string::npos);
  EXPECT_NE(exported.find("<ending number=\"1\" type=\"stop\"/>"), std::string::npos);
  discard_piece_lists();
  voice_count = 0;
  ASSERT_EQ(import(exported, 1), 1);
  EXPECT_EQ(endings_of(0).rfind("1.[1-1] 2.[2-2 open] ", 0), 0u) << endings_of(0);
  offscreen_dispose();
}

}  // namespace
