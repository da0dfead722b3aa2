// tests/ImportExport/hairpins_test.cpp: imported hairpins engraved among the notes and marks
// about them, each page held to the page checker's rules and written as
// test-output/hairpins/<fixture>.png.
#include <algorithm>
#include <filesystem>
#include <vector>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/musicxml_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "support/engraved_page.h"

namespace {

class Hairpins : public EngravedPageTest {
 protected:
  Hairpins() : EngravedPageTest("hairpins") {}
};

// The left and right ends of the hairpins drawn (each leg a GE_LINE of its own), in order.
std::vector<std::pair<int32_t, int32_t>> hairpin_spans() {
  std::vector<std::pair<int32_t, int32_t>> spans;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    GEInkBox box;
    if (e->xkind == GE_LINE && !e->get(xgscreen) && e->get(xganno) && ge_ink_box(e, &box))
      spans.emplace_back(box.left, box.right);
  }
  std::sort(spans.begin(), spans.end());
  spans.erase(std::unique(spans.begin(), spans.end()), spans.end());
  return spans;
}

// The x of the bar lines of the first staff, in order.
std::vector<int32_t> bar_xs() {
  std::vector<int32_t> xs;
  for (Drosa p = piece_start[0]; p; p = p->xnext)
    if (effective_kind(p) == BAR && p->get(xbarx) != NOT_DRAWN) xs.push_back(p->get(xbarx));
  return xs;
}

TEST_F(Hairpins, AHairpinStoppedAfterItsOneNoteReachesOverThatNotesTime) {
  // A crescendo over the last eighth of a bar, a diminuendo over the dotted half ending the
  // next, each stopped at the end of its bar: they kept their first length, the crescendo
  // running through the bar line into the next bar's hairpin, the diminuendo ending early.
  engrave_clean("hairpins_stopped_at_the_measure_end");
  const std::vector<std::pair<int32_t, int32_t>> spans = hairpin_spans();
  const std::vector<int32_t> bars = bar_xs();
  ASSERT_EQ(spans.size(), 4u);
  ASSERT_GE(bars.size(), 2u);
  EXPECT_LT(spans[0].second, bars[0]) << "the crescendo ends before the bar line";
  EXPECT_LT(spans[2].second, bars[1]);
  EXPECT_GT(spans[2].second, bars[1] - 100) << "the diminuendo reaches the bar line";
}

TEST_F(Hairpins, AHairpinOffsetBackInTimeBeginsAtTheNoteSoundingThen) {
  // Crescendos written after a note with offsets back into it: they began at the next note,
  // the first one ending there too, on the diminuendo beginning at that note.
  engrave_clean("hairpins_begun_back_in_time");
  const std::vector<std::pair<int32_t, int32_t>> spans = hairpin_spans();
  ASSERT_EQ(spans.size(), 3u);
  const auto head = [](int k) { return note_ntdata(nth_note(0, k))->get(xhdx); };
  EXPECT_GT(spans[0].first, head(0)) << "past the half note's head";
  EXPECT_LT(spans[0].first, head(1)) << "the first crescendo begins at the half note";
  EXPECT_LT(spans[0].second, spans[1].first);
  EXPECT_LT(spans[2].first, head(4)) << "the second at the quarter";
}

TEST_F(Hairpins, AShortHairpinStopsShortOfTheHairpinAtItsEnd) {
  // A crescendo begun after a pp at a sixteenth, to the next, where a diminuendo begins: made
  // as long as a hairpin can be read, it ran into the diminuendo.
  engrave_clean("hairpin_after_a_dynamic_close_to_the_next");
}

TEST_F(Hairpins, AHairpinBeginsClearOfTheDynamicOfTheNoteBefore) {
  // A diminuendo beginning at the sixteenth after one with a pp: the pp reached past its start.
  engrave_clean("hairpin_beside_the_dynamic_of_the_note_before");
}

TEST_F(Hairpins, AHairpinEndsBeforeADynamicOrWordsUnderIt) {
  // A crescendo over a bar with an f at its middle, at the hairpin's height, a diminuendo over
  // the next with "dim." there: they ran through the f and the words.
  engrave_clean("hairpin_over_a_dynamic");
}

}  // namespace

// A wedge begun and never stopped is left out on import, said once about the document; the
// page then draws without a word of a hairpin that lost its end.
TEST_F(Hairpins, AHairpinTheDocumentNeverEndsIsLeftOutAndSaidOnce) {
  std::string measures;
  for (int m = 1; m <= 3; ++m) {
    measures += "<measure number=\"" + std::to_string(m) + "\">";
    if (m == 1)
      measures +=
          "<attributes><divisions>1</divisions><time><beats>4</beats><beat-type>4</beat-type>"
          "</time><clef><sign>G</sign><line>2</line></clef></attributes>"
          "<direction><direction-type><wedge type=\"crescendo\"/></direction-type></direction>";
    measures +=
        "<note><pitch><step>C</step><octave>5</octave></pitch><duration>4</duration>"
        "<type>whole</type></note></measure>";
  }
  ASSERT_EQ(import("<score-partwise version=\"3.1\"><part-list><score-part id=\"P1\"><part-name>"
                   "Flute</part-name></score-part></part-list><part id=\"P1\">" +
                       measures + "</part></score-partwise>",
                   1),
            1);
  EXPECT_EQ(annotations_of(0).find('<'), std::string::npos) << annotations_of(0);
  std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_NE(said[0].text.find("a hairpin begins in measure 1 (counting from the first) that the "
                              "document never ends"),
            std::string::npos)
      << said[0].text;
  EXPECT_TRUE(engrave_page("hairpins", "never_ended").empty());
  EXPECT_TRUE(take_reports().empty()) << "nothing said while it is drawn";
}
