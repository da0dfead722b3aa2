// score_details_test.cpp: details of real documents that the import reads: where a tie
// curves; signs of the music font in directions.
#include <gtest/gtest.h>

#include "ImportExport/musicxml_fixture.h"
#include "annotations/anno_services.h"
#include "model/model_services.h"
#include "params/param_services.h"

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
  const ParamValue segno = *param_value(723, NIL, nullptr), coda = *param_value(724, NIL, nullptr);
  const std::string s(1, char(segno.character())), c(1, char(coda.character()));
  EXPECT_EQ(annotations_of(0), s + "@0 " + s + "@1 Andante@2 " + c + "@3 D.S. al Fine@4");
  std::vector<Drosa> annotations;
  for (Drosa p = piece_start[0]; p; p = p->xnext)
    if (p->xkind == TPARAM) annotations.push_back(p);
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

}  // namespace
