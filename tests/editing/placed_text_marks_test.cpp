// placed_text_marks_test.cpp: marks of the selection that a page drawn afresh must show again.
//   PlacedTextMarks.*: the corners of an annotation the Text Assistant has just placed
#include <gtest/gtest.h>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "platform/script.h"
#include "support/selection_page.h"

namespace {

using PlacedTextMarks = SelectionPage;

TEST_F(PlacedTextMarks, ATextJustPlacedKeepsItsCornersWhenThePageIsDrawnAgainAndLeavesNoneBehind) {
  open(1, 1);
  set_insertion_point(drawn(0)[1], 0, -10);
  script_begin();
  script_hit(1);  // a tempo marking, as the Tempo dialog offers it
  do_menu_item(TEXT_ASSISTANT_MENU, 8, 'v');
  script_end();
  ASSERT_NE(current_anno, NIL);
  redraw_view();
  const std::vector<uint32_t> selected = page_pixels();

  end_anno_selection(MUSIC_MODE, 1);
  const std::vector<uint32_t> left = page_pixels();
  redraw_view();
  EXPECT_EQ(left, page_pixels()) << "corners drawn when the text was let go";
  EXPECT_NE(selected, page_pixels()) << "no corners while it was selected";
}

}  // namespace
