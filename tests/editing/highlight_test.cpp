// highlight_test.cpp: the selection's marks on the page image.
//   PageMarks.*:  marking a note twice gives back every pixel (notes, chord notes, rests,
//                 coloured heads); a hidden rest is never painted; the voice marks follow the
//                 selected voice; marks kept right through scrolling, zooming, page changes and
//                 reformatting, and equal to what a page drawn afresh shows
//   MarkImages.*: pictures of voice marks, a group over a system break and a rubber band, in
//                 test-output/editing
#include "editing/highlight.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/events.h"
#include "platform/menus.h"
#include "platform/port.h"
#include "platform/window.h"
#include "support/selection_page.h"

namespace {

class PageMarks : public SelectionPage {
 protected:
  // The page image drawn afresh from the selection's state must equal the marks kept so far.
  void expect_as_drawn_afresh(const char* when) {
    const std::vector<uint32_t> kept = page_pixels();
    redraw_view();
    EXPECT_TRUE(page_pixels() == kept) << when;
    EXPECT_EQ(misplaced_pixels(), 0) << when;
  }
};
using MarkImages = SelectionPage;

TEST_F(PageMarks, MarkingTwiceGivesBackEveryPixel) {
  open(1, 3);
  // A rest and a coloured head among the notes of voice 2.
  std::vector<Drosa> notes = drawn(2);
  notes[1]->set(xrest, 1);
  current_color_index = 2;
  set_note_COLOR_node(notes[6]);
  mark_piece_changed(1, 1, 0);
  run_until_idle();
  notes = drawn(2);
  const std::vector<uint32_t> unmarked = page_pixels();
  for (Drosa n : {notes[0], notes[1], notes[3], notes[4], notes[6]}) {
    group_highlight_note(n);
    EXPECT_FALSE(page_pixels() == unmarked) << "the mark shows";
    group_unhighlight_note(n);
    EXPECT_TRUE(page_pixels() == unmarked) << "and goes without a trace";
  }
  highlight_voice(1, 1);
  EXPECT_TRUE(page_pixels() == unmarked) << "the same voice: nothing";

  // A hidden rest is never painted; selecting it changes only its bit.
  notes[1]->set(xhider, 1);
  highlight_note(notes[1], 0, PATTERN_BLACK, 0);
  EXPECT_TRUE(page_pixels() == unmarked);
  set_insertion_point(NIL, 0, -10);
  begin_group_selection();
  toggle_xselected(notes[1], 1);
  EXPECT_EQ(notes[1]->get(xselected), 1);
  EXPECT_TRUE(page_pixels() == unmarked);
  end_group_selection(1);
  EXPECT_EQ(notes[1]->get(xselected), 0);
}

// A selected note shows at every size: each pixel of its rectangle changes, so that the head
// stands out in reverse, and marking it again gives the page back.
TEST_F(PageMarks, EveryPixelOfASelectedHeadChangesAtEverySize) {
  open(1, 3);
  for (int item : {6, 7, 9}) {  // Reduce, Standard, Double (2x)
    do_menu_item(ZOOM_MENU, item, 'v');
    run_until_idle();
    Drosa note = drawn(1)[2];
    Rect r;
    DrosaRect(note, &r);
    ASSERT_GT(r.right, r.left);
    std::vector<uint32_t> before;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) before.push_back(port_pixel(offscreen_page, x, y));
    group_highlight_note(note);
    size_t i = 0, unchanged = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        unchanged += port_pixel(offscreen_page, x, y) == before[i++];
    EXPECT_EQ(unchanged, 0u) << "zoom item " << item;
    if (item == 7) save_page("selected_head");
    group_unhighlight_note(note);
    i = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x)
        unchanged += port_pixel(offscreen_page, x, y) == before[i++];
    EXPECT_EQ(unchanged, before.size()) << "given back";
  }
}

TEST_F(PageMarks, VoiceMarksFollowTheSelectedVoice) {
  open(1, 3);
  const std::vector<uint32_t> unmarked = page_pixels();
  click(head(drawn(0)[0]));
  ASSERT_TRUE(platform_choose_menu_item(VOICE_MENU, 12));  // Highlight Voice
  run_until_idle();
  ASSERT_EQ(voice_highlighted, 1);
  EXPECT_FALSE(page_pixels() == unmarked);
  expect_as_drawn_afresh("voices 1 and 2 marked");
  click(head(drawn(2)[3]));  // voice 2 selected: its marks go, voice 0 gets them
  EXPECT_EQ(selected_voice, 2);
  expect_as_drawn_afresh("voices 0 and 1 marked");
  key(KEY_DOWN);  // to voice 0, wrapping round
  EXPECT_EQ(selected_voice, 0);
  expect_as_drawn_afresh("after a move by key");
  highlight_voice(selected_voice, -10);
  selected_voice = -10;
  EXPECT_TRUE(page_pixels() == unmarked) << "no voice: no marks";
  voice_highlighted = 0;
}

TEST_F(PageMarks, MarksStayRightThroughScrollingZoomingPagesAndReformatting) {
  platform_set_test_screen(true, {0, 0, 500, 500});
  open(2, 3);
  const std::vector<Drosa> notes = drawn(1);
  set_insertion_point(NIL, 0, -10);
  for (int i : {2, 3, 4, 5, 6}) click(head(notes[i]), MOD_SHIFT);
  ASSERT_EQ(selected().size(), 5u);
  int dx = -32, dy = -200;
  do_scroll(&dx, &dy);
  EXPECT_EQ(misplaced_pixels(), 0) << "the window shows the marked page where it scrolled to";
  expect_as_drawn_afresh("after scrolling");

  do_menu_item(ZOOM_MENU, 9, 'v');  // Double (2x)
  run_until_idle();
  EXPECT_EQ(selected().size(), 5u);
  expect_as_drawn_afresh("at double size");

  notes[0]->set(xmod7, int8_t(notes[0]->get(xmod7) + 1));  // an edit: the page is formatted
  mark_piece_changed(1, 1, 0);
  run_until_idle();
  expect_as_drawn_afresh("after reformatting");

  script_hit(3);                                         // not saved before the page changes
  ASSERT_TRUE(platform_choose_menu_item(PAGE_MENU, 2));  // Next Page
  run_until_idle();
  EXPECT_EQ(current_page, 2);
  EXPECT_EQ(group_selected, 0u) << "the group stayed with its page";
  expect_as_drawn_afresh("on the next page");
  script_hit(3);
  ASSERT_TRUE(platform_choose_menu_item(PAGE_MENU, 1));
  run_until_idle();
  expect_as_drawn_afresh("back on the first page: no mark left behind");
}

TEST_F(MarkImages, AVoiceAGroupOverASystemBreakAndARubberBand) {
  open(1, 3);
  click(head(drawn(1)[0]));
  ASSERT_TRUE(platform_choose_menu_item(VOICE_MENU, 12));
  run_until_idle();
  save_page("voice_marks");
  ASSERT_TRUE(platform_choose_menu_item(VOICE_MENU, 12));
  run_until_idle();

  // The last notes of the first system and the first of the second, stretched by Shift-Right.
  const std::vector<Drosa> notes = drawn(0);
  click(head(notes[12]));
  for (int i = 0; i < 4; ++i) key(KEY_RIGHT, MOD_SHIFT);
  ASSERT_EQ(selected().size(), 5u);
  EXPECT_NE(system_number_on_page(notes[12], 1), system_number_on_page(notes[16], 1));
  save_page("group_over_system_break");
  click(head(notes[0]));

  Point from = head(drawn(0)[3]), to = head(drawn(2)[9]);
  from.x -= 6, from.y -= 12, to.x += 6, to.y += 12;
  drag(from, to);
  EXPECT_GT(selected().size(), 10u);
  save_page("rubber_band");
}

}  // namespace
