// zoom_during_entry_test.cpp: a zoom while notes are being entered.
//   ZoomDuringEntry.*: the zoom ends entry with its insertion point, so Note Entry starts it again
#include <gtest/gtest.h>

#include "app/app_services.h"
#include "model/model_services.h"
#include "support/selection_page.h"

namespace {

using ZoomDuringEntry = SelectionPage;

TEST_F(ZoomDuringEntry, NoteEntryAfterAZoomStartsEntryAgainAtOnce) {
  open(1, 1);
  const Drosa note = drawn(0)[2];
  click(head(note));
  click(head(note));
  ASSERT_EQ(note_entry_active, 1);
  do_menu_item(ZOOM_MENU, 9, 'v');  // Double (2x)
  run_until_idle();
  EXPECT_EQ(insertion_point, NIL);
  EXPECT_EQ(note_entry_active, 0) << "entry left on without an insertion point";
  do_menu_item(VOICE_MENU, 5, 'v');  // Note Entry
  EXPECT_NE(insertion_point, NIL);
  EXPECT_EQ(note_entry_active, 1);
}

}  // namespace
