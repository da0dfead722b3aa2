// list_boxes_test.cpp: dialog list boxes.
//   ListBoxes.*: geometry, initial selection and scrolling, clicks, toggling, unknown types
#include "model/list_boxes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "model/error_report.h"
#include "model/model_globals.h"
#include "model/number_dialogs.h"
#include "platform/dialogs.h"
#include "platform/port.h"
#include "support/script_fixture.h"

namespace {

class ListBoxes : public ScriptedTest {
 protected:
  void SetUp() override {
    ScriptedTest::SetUp();
    dialog = platform_open_dialog(NUMBER_DIALOG, true);
    platform_set_port(platform_dialog_port(dialog));
  }
  void TearDown() override {
    platform_set_port(nullptr);
    platform_close_dialog(dialog);
    shown();
    ScriptedTest::TearDown();
  }
  void make_contexts(int count) {
    ncontext_count = int16_t(count);
    for (int n = 1; n <= count; ++n) std::snprintf(ncontext_name[n], 16, "Context%d", n);
  }
  EventRecord click_at(int x, int y) {
    EventRecord e;
    e.what = EVENT_MOUSE_DOWN;
    e.where = {x, y};
    e.when = ++clock;
    return e;
  }
  DialogRef dialog = nullptr;
  uint32_t clock = 1000;
};

TEST_F(ListBoxes, ViewHoldsWholeRowsBesideTheScrollBar) {
  make_contexts(3);
  ListBox* list = list_create(2, make_rect(10, 20, 210, 120), true, nullptr);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list_box_visible_rows(list), 7);
  EXPECT_EQ(list_box_view(list), make_rect(10, 20, 194, 118));
  EXPECT_EQ(list_box_cell(list, 2), "Context3");
  list_dispose(list);
}

TEST_F(ListBoxes, SelectedRowOpensNearTheMiddle) {
  make_contexts(30);
  current_ncontext = 21;
  ListBox* list = list_create(3, make_rect(0, 0, 200, 100), false, nullptr);
  EXPECT_TRUE(list_box_selected(list, 20));
  EXPECT_EQ(list_box_top_row(list), 17);
  EXPECT_EQ(list_box_cell(list, 4), " 5: Context5");
  list_dispose(list);
  current_ncontext = 7;
  list = list_create(3, make_rect(0, 0, 200, 100), false, nullptr);
  EXPECT_TRUE(list_box_selected(list, 6));
  EXPECT_EQ(list_box_top_row(list), 0);
  list_dispose(list);
}

TEST_F(ListBoxes, ClicksBelowTheLastRowChangeNothing) {
  make_contexts(3);
  ListBox* list = list_create(2, make_rect(0, 0, 200, 100), true, nullptr);
  EventRecord below = click_at(50, 60);
  EXPECT_TRUE(list_click(&below, list));
  EXPECT_TRUE(list_box_selected(list, 0));
  EXPECT_FALSE(list_box_selected(list, 1));
  EventRecord outside = click_at(250, 10);
  EXPECT_FALSE(list_click(&outside, list));
  EventRecord key;
  key.what = EVENT_KEY_DOWN;
  EXPECT_FALSE(list_click(&key, list));
  list_dispose(list);
}

TEST_F(ListBoxes, PlainClicksToggleRowsOfAMultipleList) {
  make_contexts(5);
  ListBox* list = list_create(2, make_rect(0, 0, 200, 100), true, nullptr);
  EventRecord row2 = click_at(20, 2 * 14 + 5);
  EXPECT_TRUE(list_click(&row2, list));
  EXPECT_TRUE(list_box_selected(list, 0));
  EXPECT_TRUE(list_box_selected(list, 2));
  EventRecord row0 = click_at(20, 5);
  list_click(&row0, list);
  EXPECT_FALSE(list_box_selected(list, 0)) << "a selected row is deselected alone";
  EXPECT_TRUE(list_box_selected(list, 2));
  list_dispose(list);
}

TEST_F(ListBoxes, SingleSelectionListKeepsOneRow) {
  make_contexts(5);
  ListBox* list = list_create(3, make_rect(0, 0, 200, 100), false, nullptr);
  EventRecord row3 = click_at(20, 3 * 14 + 5);
  list_click(&row3, list);
  EXPECT_EQ(list_box_next_selected(list, 0), 3);
  EXPECT_EQ(list_box_next_selected(list, 4), -1);
  list_dispose(list);
}

TEST_F(ListBoxes, ScrollBarClicksScroll) {
  make_contexts(40);
  current_ncontext = 1;
  ListBox* list = list_create(2, make_rect(0, 0, 200, 100), true, nullptr);
  EventRecord down_arrow = click_at(190, 90);
  EXPECT_TRUE(list_click(&down_arrow, list));
  EXPECT_EQ(list_box_top_row(list), 1);
  EXPECT_TRUE(list_box_selected(list, 0)) << "scrolling does not select";
  list_dispose(list);
}

TEST_F(ListBoxes, DrawingFramesTheListAndItsScrollBar) {
  make_contexts(3);
  ListBox* list = list_create(2, make_rect(10, 10, 110, 52), true, nullptr);
  list_draw(list);
  Port* port = platform_current_port();
  EXPECT_EQ(port_pixel(port, 9, 30), 0x000000u) << "left edge of the frame";
  EXPECT_EQ(port_pixel(port, 109, 30), 0x000000u) << "right edge, past the scroll bar";
  list_dispose(list);
}

TEST_F(ListBoxes, UnknownTypeIsReported) {
  script_hit(2);
  EXPECT_EQ(list_create(8, make_rect(0, 0, 100, 100), false, nullptr), nullptr);
  EXPECT_EQ(shown().back().text, "Unrecognized list_type in list_create");
}

TEST_F(ListBoxes, EmptyListsForWhatThePieceDoesNotHoldYet) {
  for (short type : {1, 4, 5, 6, 7}) {
    ListBox* list = list_create(type, make_rect(0, 0, 100, 100), false, nullptr);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list_box_rows(list), 0);
    list_dispose(list);
  }
}

}  // namespace
