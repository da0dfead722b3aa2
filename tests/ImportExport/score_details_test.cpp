// score_details_test.cpp: details of real documents: where a tie curves; signs of the music
// font in directions; words kept off the slurs and ties they meet (its page goes to
// test-output/real_scores of the build folder).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "ImportExport/musicxml_fixture.h"
#include "annotations/anno_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "support/engraved_page.h"

namespace {

using MusicXmlDetails = MusicXmlTest;

TEST_F(MusicXmlDetails, ATieCurvesWhereTheDocumentSays) {
  // Ties were all left to the layout, which put a tie over a note with its stem up below it.
  ASSERT_EQ(import_fixture("tie_orientation.xml"), 1);
  EXPECT_EQ(nth_note(0, 0)->get(xtie), 2) << "over";
  EXPECT_EQ(nth_note(0, 2)->get(xtie), 1) << "under";
  EXPECT_EQ(nth_note(0, 4)->get(xtie), 3) << "either way";
  EXPECT_EQ(nth_note(0, 6)->get(xtie), 2) << "placed above";
  EXPECT_EQ(nth_note(0, 1)->get(xtie), 0) << "the tie's end starts none";
}

TEST_F(MusicXmlDetails, SignsOfTheMusicFontAreDrawnWithIt) {
  // A segno or coda direction was passed over; words of one music-font character were drawn
  // as "?", whether the character is a SMuFL sign or one of another program's font.
  ASSERT_EQ(import_fixture("music_font_signs.xml"), 1);
  const ParamValue segno = *param_value(P_SEGNO, NIL, nullptr),
                   coda = *param_value(P_CODA_SYMBOL, NIL, nullptr);
  const std::string s(1, char(segno.character())), c(1, char(coda.character()));
  EXPECT_EQ(annotations_of(0), s + "@0 " + s + "@1 Andante@2 " + c + "@3 D.S. al Fine@4");
  std::vector<Drosa> annotations;
  for (Drosa p = piece_start[0]; p; p = p->xnext)
    if (p->xkind == TPARAM && !part_name_record(p)) annotations.push_back(p);
  ASSERT_EQ(annotations.size(), 5u);
  EXPECT_EQ(annotations[0]->get(xtextfont), segno.font());
  EXPECT_EQ(annotations[0]->get(xclassify), 17) << "a repeat sign";
  // The words that draw nothing take no line: the next words stand where words stand.
  EXPECT_EQ(annotations[2]->get(xtexty), annotations[4]->get(xtexty));
  const std::vector<Report> reports = take_reports();
  ASSERT_FALSE(reports.empty());
  EXPECT_NE(reports[0].text.find("(U+E167) that Vesk has no sign for; it is left out."),
            std::string::npos);
}

// The highest (or lowest) point of a drawn curve between two x.
double curve_top(Drosa c, int32_t left, int32_t right, bool lowest = false) {
  const double xs[4] = {double(c->get(xge_x1)), double(c->get(xgv_c1x)), double(c->get(xgv_c2x)),
                        double(c->get(xge_x2))};
  const double ys[4] = {double(c->get(xge_y1)), double(c->get(xgv_c1y)), double(c->get(xgv_c2y)),
                        double(c->get(xge_y2))};
  double top = -1e9;
  for (int k = 0; k <= 100; ++k) {
    const double t = k / 100.0, u = 1 - t;
    auto at = [&](const double(&v)[4]) {
      return u * u * u * v[0] + 3 * u * u * t * v[1] + 3 * u * t * t * v[2] + t * t * t * v[3];
    };
    if (at(xs) >= left && at(xs) <= right) top = std::max(top, lowest ? -at(ys) : at(ys));
  }
  return lowest ? -top : top;
}

TEST_F(MusicXmlDetails, WordsStandClearOfTheSlursAndTiesTheyMeet) {
  // Words the document sets just over the staff, at a note under a slur over high notes: the
  // slur, lower in the document's own engraving, ran through them. Words under a tie that
  // deepens as they run on, moved down beyond its first stretches, stood on the next.
  platform_init_fonts();
  ASSERT_EQ(import_fixture("words_over_a_slur.xml", 1), 1);
  expect_page_clean("real_scores", "words_over_a_slur");
  Drosa slur = GE_head->xnext;
  while (slur && slur->xkind != GE_CURVE) slur = slur->xnext;
  Drosa words = find_next_kind(TPARAM, piece_start[0]);
  while (part_name_record(words)) words = find_next_kind(TPARAM, words);
  ASSERT_TRUE(slur && words && words->xnext && words->xnext->xkind == PDATA);
  const Drosa place = words->xnext;
  const double top = curve_top(slur, place->get(xpagex1), place->get(xpagex2));
  ASSERT_GT(top, -1e9) << "the words stand over the slur";
  EXPECT_GT(place->get(xpagey1), top) << "the words' base line stands above the slur";
  Drosa tie = slur->xnext;
  while (tie && (tie->xkind != GE_CURVE || tie->get(xgv_var) != 4)) tie = tie->xnext;
  ASSERT_TRUE(tie);
  GEInkBox under{0, INT32_MAX, 0, INT32_MAX};  // the lowest text's ink: the words under the tie
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    GEInkBox b;
    if (e->xkind == GE_CHAR && e->get(xganno) && !e->get(xgscreen) &&
        e->xback->xkind == GE_STRING && ge_ink_box(e, &b) && b.bottom < under.bottom)
      under = b;
  }
  const double bottom = curve_top(tie, under.left, under.right, true);
  ASSERT_LT(bottom, 1e9) << "the words stand under the tie";
  EXPECT_GT(bottom - under.top, 10) << "the words stand a fifth of a space clear of the tie";
  offscreen_dispose();
}

}  // namespace
