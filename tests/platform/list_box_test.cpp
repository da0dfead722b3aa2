// list_box_test.cpp: list boxes drawn in a port.
//   ListGeometry.*: visible rows, the scroll bar's place, clamped scrolling, auto-scroll
//   ListClicks.*:   selection rules, clicks below the rows, scroll-bar arrows and pages,
//                   double clicks
//   ListDrawing.*:  nothing drawn while drawing is off; rows, selection and scroll bar after
#include "platform/list_box.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/events.h"
#include "platform/port.h"

namespace {

// A 100-pixel view of 14-pixel rows (7 visible) at (10, 20) in a 200 x 150 port.
class ListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port = port_new_offscreen(200, 150);
    ASSERT_NE(port, nullptr);
  }
  void TearDown() override {
    if (list) list_box_dispose(list);
    port_dispose(port);
  }
  ListBox* make(int rows) {
    list = list_box_new(port, view, rows, 14);
    for (int r = 0; r < rows; ++r) list_box_set_cell(list, r, "Row " + std::to_string(r));
    return list;
  }
  // A click on row r of the view as it stands.
  bool click_row(int r, uint16_t modifiers = 0) {
    const int y = view.top + (r - list_box_top_row(list)) * 14 + 7;
    return list_box_click(list, {view.left + 20, y}, modifiers, clock += 100);
  }
  bool click_bar(int y) { return list_box_click(list, {view.right + 8, y}, 0, clock += 100); }
  std::vector<int> selected() const {
    std::vector<int> rows;
    for (int r = list_box_next_selected(list, 0); r >= 0; r = list_box_next_selected(list, r + 1))
      rows.push_back(r);
    return rows;
  }
  const Rect view = make_rect(10, 20, 110, 120);
  Port* port = nullptr;
  ListBox* list = nullptr;
  uint32_t clock = 1000;
};

using ListGeometry = ListTest;
using ListClicks = ListTest;
using ListDrawing = ListTest;

TEST_F(ListGeometry, ViewShowsWholeRowsAndScrollingIsClamped) {
  make(20);
  EXPECT_EQ(list_box_visible_rows(list), 7);
  EXPECT_EQ(list_box_rows(list), 20);
  EXPECT_EQ(list_box_row_height(list), 14);
  EXPECT_EQ(list_box_view(list), view);
  list_box_scroll(list, 5);
  EXPECT_EQ(list_box_top_row(list), 5);
  list_box_scroll(list, 100);
  EXPECT_EQ(list_box_top_row(list), 13);  // 20 rows - 7 visible
  list_box_scroll(list, -100);
  EXPECT_EQ(list_box_top_row(list), 0);
  list_box_dispose(list);
  make(4);  // fewer rows than fit: nothing to scroll
  list_box_scroll(list, 3);
  EXPECT_EQ(list_box_top_row(list), 0);
}

TEST_F(ListGeometry, AutoScrollBringsTheFirstSelectedRowIntoView) {
  make(30);
  list_box_select(list, 15, true);
  list_box_auto_scroll(list);
  EXPECT_EQ(list_box_top_row(list), 9);  // row 15 is the last in view
  list_box_select(list, 2, true);
  list_box_auto_scroll(list);
  EXPECT_EQ(list_box_top_row(list), 2);
  list_box_select(list, 2, false);
  list_box_select(list, 15, false);
  list_box_auto_scroll(list);  // nothing selected: stays
  EXPECT_EQ(list_box_top_row(list), 2);
}

TEST_F(ListClicks, SelectionRules) {
  const struct {
    ListSelection mode;
    uint16_t modifiers;
    std::vector<int> after;  // rows 1 and 3 selected beforehand, then row 3 and 5 clicked
  } cases[] = {
      {LIST_ONLY_ONE, 0, {5}},
      {LIST_ONLY_ONE, MOD_SHIFT, {5}},
      {LIST_TOGGLE, 0, {5}},
      {LIST_TOGGLE, MOD_SHIFT, {1, 5}},
      {LIST_TOGGLE, MOD_RIGHT_SHIFT, {1, 5}},
  };
  for (const auto& c : cases) {
    make(10);
    list_box_set_selection(list, c.mode);
    list_box_select(list, 1, true);
    list_box_select(list, 3, true);
    click_row(3, c.modifiers);
    click_row(5, c.modifiers);
    EXPECT_EQ(selected(), c.after) << int(c.mode) << " " << c.modifiers;
    list_box_dispose(list);
    list = nullptr;
  }
}

TEST_F(ListClicks, ClickBelowTheLastRowChangesNothing) {
  make(3);
  list_box_select(list, 1, true);
  EXPECT_FALSE(list_box_click(list, {view.left + 5, view.top + 3 * 14 + 2}, 0, 10));
  EXPECT_EQ(selected(), std::vector<int>{1});
}

TEST_F(ListClicks, ScrollBarArrowsAndPages) {
  make(30);  // 23 rows to scroll; a page is 6 rows
  const struct {
    int y;
    int top_after;
  } steps[] = {
      {view.top + 4, 0},       // up arrow at the top: clamped
      {view.bottom - 4, 1},    // down arrow
      {view.bottom - 4, 2},    // down arrow
      {view.bottom - 20, 8},   // below the thumb: a page down
      {view.bottom - 20, 14},  // again
      {view.top + 20, 8},      // above the thumb: a page up
      {view.bottom - 20, 14},  // down
      {view.bottom - 20, 20},  // down
      {view.bottom - 20, 23},  // clamped at the end
      {view.bottom - 4, 23},   // down arrow at the end
      {view.top + 4, 22},      // up arrow
  };
  for (const auto& step : steps) {
    EXPECT_FALSE(click_bar(step.y));
    EXPECT_EQ(list_box_top_row(list), step.top_after) << "click at y " << step.y;
  }
  // Clicks left of the view or below the bar do nothing.
  list_box_click(list, {view.left - 1, view.top + 5}, 0, clock += 100);
  list_box_click(list, {view.right + 8, view.bottom + 1}, 0, clock += 100);
  EXPECT_EQ(list_box_top_row(list), 22);
  EXPECT_TRUE(selected().empty());
}

TEST_F(ListClicks, DoubleClickIsASecondClickOnTheSameRowSoonAfter) {
  make(10);
  const Point row2{view.left + 5, view.top + 2 * 14 + 3};
  const Point row3{view.left + 5, view.top + 3 * 14 + 3};
  EXPECT_FALSE(list_box_click(list, row2, 0, 100));
  EXPECT_TRUE(list_box_click(list, row2, 0, 130));   // 30 ticks: still a double click
  EXPECT_FALSE(list_box_click(list, row2, 0, 161));  // 31 ticks
  EXPECT_FALSE(list_box_click(list, row3, 0, 165));  // another row
  EXPECT_FALSE(list_box_click(list, {view.right + 8, view.bottom - 4}, 0, 166));
  EXPECT_FALSE(list_box_click(list, row3, 0, 167));  // the scroll bar came between
  EXPECT_TRUE(list_box_click(list, row3, 0, 168));
}

bool any_dark(const Port* port, Rect r) {
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x)
      if ((port_pixel(port, x, y) & 0xFF) < 0x80) return true;
  return false;
}

TEST_F(ListDrawing, NothingIsDrawnUntilDrawingIsTurnedOn) {
  make(10);
  list_box_select(list, 1, true);
  list_box_scroll(list, 2);
  EXPECT_FALSE(any_dark(port, port_bounds(port)));
  list_box_set_drawing(list, true);
  // Row 2 (text only) and row 1 scrolled out of view: the first row shown is row 2.
  EXPECT_TRUE(any_dark(port, make_rect(view.left, view.top, view.right, view.top + 14)));
  // The scroll bar's frame and the space left of the view.
  EXPECT_TRUE(any_dark(port, make_rect(view.right, view.top, view.right + 16, view.top + 1)));
  EXPECT_FALSE(any_dark(port, make_rect(0, 0, view.left, 150)));
  EXPECT_FALSE(any_dark(port, make_rect(view.right + 16, 0, 200, 150)));
}

TEST_F(ListDrawing, SelectedRowsAreInverted) {
  Port* const caller_port = platform_current_port();
  make(10);
  list_box_set_drawing(list, true);
  const Rect row0{view.left, view.top, view.right, view.top + 14};
  const uint32_t corner_before = port_pixel(port, row0.right - 2, row0.top + 1);
  list_box_select(list, 0, true);
  EXPECT_EQ(corner_before, 0xFFFFFFu);
  EXPECT_EQ(port_pixel(port, row0.right - 2, row0.top + 1), 0x000000u);
  list_box_select(list, 0, false);
  EXPECT_EQ(port_pixel(port, row0.right - 2, row0.top + 1), 0xFFFFFFu);
  // The caller's port is left as it was.
  EXPECT_EQ(platform_current_port(), caller_port);
}

}  // namespace
