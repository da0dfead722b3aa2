// tablature_heads_test.cpp: notes on a guitar tablature staff as a guitarist enters them (the
// ordinary head shape), on the staff the Parts and Voices dialog makes: six lines of size 10.
// The page is written as test-output/graphics/tablature_heads.png.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "support/chord_page.h"
#include "support/piece_builder.h"

namespace {

using TablatureHeads = ChordPageTest;

constexpr int VAR_FRET = 7, VAR_TAB_HEAD = 45;

TEST_F(TablatureHeads, TheFretNumberStandsForAnOrdinaryHead) {
  int v = new_voice("Guitar");
  Drosa print = find_next_kind(PRINT, piece_start[v]);
  print->set(xtablature, 1);
  print->set(xslines, 6);
  print->set(xstaffsize, 100);
  std::vector<Drosa> notes;
  for (int value : {QUARTER, HALF, WHOLE}) {
    notes.push_back(add_note(v, value, 35));
    notes.back()->set(xpitch, uint16_t(60 << 8));  // fret 1 on the second string
  }
  Drosa small = add_note(v, QUARTER, 35);
  small->set(xpitch, uint16_t(57 << 8));
  small->set(xnotehead, 1);  // the small head of a tablature staff
  Drosa rest = add_rest(v, QUARTER);
  format_and_draw(5);
  save_page_image("tablature_heads.png");
  for (Drosa n : notes) {
    EXPECT_TRUE(ge_lines(VAR_TAB_HEAD, false, n).empty()) << "no head over the number";
    const std::vector<std::string> fret = ge_lines(VAR_FRET, false, n);
    ASSERT_EQ(fret.size(), 1u);
    EXPECT_NE(fret[0].find("\"1\""), std::string::npos) << fret[0];
  }
  EXPECT_EQ(ge_lines(VAR_TAB_HEAD, false, small).size(), 1u);
  EXPECT_EQ(ge_lines(VAR_TAB_HEAD, false, rest).size(), 1u) << "a rest keeps its glyph";
}

}  // namespace
