// tests/editing/drags_test.cpp: chord, rest, accidental and staff drags and the Clear commands
// of their offsets.
//   ChordDrag.*: Command-drags of a chord add up in one offset and go at 0; the limits of rest
//                and accidental drags; a rest moved by whole steps
//   StaffDrag.*: one staff, the staves below, every later system; a drag with the mouse; the
//                page's or the piece's staff drags cleared and undone
#include "editing/drags.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/events.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"
#include "support/selection_page.h"
#include "support/symbol_page.h"

namespace {

using ChordDrag = SelectionPage;
using StaffDrag = SelectionPage;
using RestDrag = SymbolPage;

int32_t chord_move(Drosa note) {
  Drosa m = find_prev_kind_stop(CMOVE, vchord_first_note(note), 0);
  return m ? m->get(xchordmove) : 0;
}

TEST_F(ChordDrag, TwoDragsRightAddUpAndOneBackRemovesTheOffset) {
  open(1, 2);
  prefs.set_u8(PREFS_CHORD_DRAG_TYPE, DRAG_CMOVE);
  const std::string before = voice_bytes(true);
  Drosa n = drawn(0)[2];
  for (int step = 0; step < 2; ++step) {
    const Point at = head(n);
    drag(at, {at.x + 6, at.y}, MOD_COMMAND);
    ASSERT_EQ(insertion_point, n);
    EXPECT_EQ(chord_move(n), 60 * (step + 1));
  }
  save_page("chord_drag");
  const Point at = head(n);
  drag(at, {at.x - 12, at.y}, MOD_COMMAND);
  EXPECT_EQ(chord_move(n), 0);
  EXPECT_TRUE(voice_bytes(true) == before) << "an offset of 0 is no node";
}

TEST_F(RestDrag, ARestMovesByWholeStepsAndAnAccidentalWithinItsColumn) {
  open([] {
    const int v = staff_voice(0, 0);
    add_tokens(v, "C5 r F#5+ r");
  });
  std::vector<Drosa> n = voice_notes(0);
  int32_t left = 0, right = 0;
  ASSERT_TRUE(chord_drag_limits(n[1], DRAG_RMOVE, &left, &right));
  const int32_t s = right / 20;
  ASSERT_GT(s, 0);
  EXPECT_EQ(left, -20 * s);
  ASSERT_TRUE(chord_drag_limits(n[2], DRAG_AMOVE, &left, &right));
  const int32_t column = note_ntdata(n[2])->get(xaccx);
  EXPECT_EQ(left, 5 * column - 1250);
  EXPECT_EQ(right, 5 * column);

  select(n[1]);
  set_undo_mark(0);
  store_chord_drag(n[1], DRAG_RMOVE, 2 * s);  // 2.5 steps down, cut to whole steps by the drag
  Drosa m = find_prev_kind_stop(RMOVE, n[1], 0);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->get(xmove), -2);
  store_chord_drag(n[1], DRAG_RMOVE, -2 * s);
  EXPECT_FALSE(find_prev_kind_stop(RMOVE, n[1], 0));
  expect_consistent();
}

// The SDRAG moves of the first notes of each system, voice by voice ("." none).
std::string staff_drags() {
  std::string text;
  for (int v = 0; v < voice_count; ++v) {
    text += v ? " | " : "";
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      if (p->xkind != NOTE) continue;
      Drosa before = p->xback;
      bool system_start = false;
      for (Drosa q = before; q && q->xkind != NOTE; q = q->xback)
        if (effective_kind(q) == ENDSYST) system_start = true;
      if (!system_start) continue;
      Drosa d = find_prev_kind_stop(SDRAG, p, 0);
      text += d ? std::to_string(d->get(xstaffdrag)) + " " : ". ";
    }
  }
  return text;
}

TEST_F(StaffDrag, OneStaffTheStavesBelowAndEveryLaterSystem) {
  open(2, 4);
  const std::string before = voice_bytes(true);
  Drosa second_staff = drawn(1)[0];
  apply_staff_drag(second_staff, 1, STAFF_DRAG_BELOW, 40);
  EXPECT_EQ(staff_drags(), ". . . .  | 40 . . .  | 40 . . .  | 40 . . . ");
  apply_staff_drag(second_staff, 1, STAFF_DRAG_LATER, -40);
  EXPECT_EQ(staff_drags(), ". . . .  | . -40 -40 -40  | . -40 -40 -40  | . -40 -40 -40 ");
  apply_staff_drag(second_staff, 2, STAFF_DRAG_THIS, 25);
  EXPECT_EQ(staff_drags(), ". . . .  | . -40 -40 -40  | 25 -40 -40 -40  | . -40 -40 -40 ");

  menu_modifiers = MOD_SHIFT;
  do_menu_item(CLEAR_MENU, 9, SOURCE_MENU_BAR);
  menu_modifiers = 0;
  EXPECT_TRUE(voice_bytes(true) == before) << "every staff drag of the piece cleared";
  do_menu_item(EDIT_MENU, 1, SOURCE_MENU_BAR);
  EXPECT_EQ(staff_drags(), ". . . .  | . -40 -40 -40  | 25 -40 -40 -40  | . -40 -40 -40 ")
      << "one undo gives them back";
}

TEST_F(StaffDrag, TheMouseLowersAStaffAndThePageFollows) {
  open(1, 2);
  prefs.set_i16(PREFS_STAFF_DRAG_MODE, STAFF_DRAG_THIS);
  const std::vector<Drosa> upper = drawn(0), lower = drawn(1);
  // On the lower staff's middle line, halfway between its first two notes.
  const Point a = head(lower[0]), b = head(lower[1]);
  const int32_t p = Find_pstaff(lower[0], 0);
  const Point origin = scroll_origin();
  const int middle =
      origin.y + page_pixel_height - int(std::lround(staff_data[p].screen_middle_y / zoom_factor));
  const Point at{(a.x + b.x) / 2, middle};
  const int32_t y_before = note_ntdata(lower[0])->get(xscrhdy);
  drag(at, {at.x, at.y + 10}, MOD_COMMAND);
  EXPECT_EQ(staff_drags(), ". .  | 100 . ");
  EXPECT_EQ(note_ntdata(lower[0])->get(xscrhdy), y_before - 100) << "the staff drawn lower";
  save_page("staff_drag");
}

}  // namespace
