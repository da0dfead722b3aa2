// event_loop_test.cpp: the main loop with a piece open.
//   MainLoop.*: an edit is reformatted and redrawn once, not on every idle pass; idle passes
//               wait for the next event instead of spinning, an update alone does not keep
//               the loop awake; a quit asked during a reformat waits for it
//   Keys.*:     double clicks by time and distance; Command keys run their menu item; a
//               Control letter without a command beeps
//   Windows.*:  the piece whose window the window system brings forward, by its title or a
//               click in it, becomes the current one
#include <gtest/gtest.h>

#include "app/app_globals.h"
#include "app/app_services.h"
#include "app/menus.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/beep.h"
#include "platform/events.h"
#include "platform/port.h"
#include "platform/script.h"
#include "platform/ticks.h"
#include "platform/window.h"
#include "support/app_fixture.h"
#include "support/piece_files.h"

namespace {

class MainLoop : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    ASSERT_TRUE(write_piece_of_pages(dir + "/song.vesk", 2, 2));
    ASSERT_TRUE(start({dir + "/song.vesk"}));
  }

  // A mark in the window that only a redraw from the page image takes away.
  void mark_window() {
    Port* window = platform_window_port(music_window());
    platform_set_port(window);
    fill_rect({40, 20, 48, 28}, PATTERN_BLACK);
    ASSERT_GT(misplaced_pixels(), 0);
  }

  void post(int16_t what, uint32_t message = 0) {
    EventRecord e;
    e.what = what;
    e.window = music_window();
    e.message = message;
    platform_post_event(e);
  }
};

using Keys = MainLoop;

TEST_F(MainLoop, AnEditIsReformattedAndRedrawnOnceNotOnEveryIdlePass) {
  mark_window();
  Drosa note = find_next_kind(NOTE, piece_start[0]);
  note->set(xmod7, int8_t(note->get(xmod7) + 2));
  mark_piece_changed(1, 1, 0);
  ASSERT_EQ(pass(), -1);
  EXPECT_EQ(reformat_pending, 0);
  EXPECT_EQ(misplaced_pixels(), 0) << "the page was drawn again";
  mark_window();
  const long waits = platform_idle_wait_count();
  for (int i = 0; i < 3; ++i) ASSERT_EQ(pass(), -1);
  EXPECT_GT(misplaced_pixels(), 0) << "nothing was drawn again";
  EXPECT_EQ(platform_idle_wait_count(), waits + 3);
}

TEST_F(MainLoop, IdlePassesWaitForTheNextEventAndAnUpdateAloneKeepsNothingAwake) {
  const uint32_t ticks = platform_ticks();
  const long waits = platform_idle_wait_count();
  ASSERT_EQ(pass(), -1);
  EXPECT_EQ(platform_idle_wait_count(), waits + 1);
  EXPECT_EQ(platform_ticks(), ticks + 6) << "one wait of 6 ticks";
  post(EVENT_KEY_DOWN, 'x');
  ASSERT_EQ(pass(), -1);
  EXPECT_EQ(platform_idle_wait_count(), waits + 1) << "a pass that handled an event does not wait";
  post(EVENT_UPDATE);
  ASSERT_EQ(pass(), -1);
  EXPECT_EQ(platform_idle_wait_count(), waits + 2);

  // With an event waiting, the wait returns at once.
  post(EVENT_MOUSE_UP);
  platform_wait_for_event(6);
  EXPECT_EQ(platform_idle_wait_count(), waits + 2);
  EXPECT_EQ(platform_ticks(), ticks + 12);
}

TEST_F(MainLoop, AQuitAskedDuringAReformatWaitsForIt) {
  mark_piece_changed(1, 1, 0);
  reformat_pending = 1;
  do_menu_item(FILE_MENU, FILE_QUIT, 'v');
  EXPECT_EQ(deferred_quit, 1);
  EXPECT_EQ(count_open_views(), 1);
  script_hit(3);  // No, do not save
  EXPECT_EQ(pass(), 0);
  EXPECT_EQ(reformat_pending, 0) << "the page was formatted first";
}

TEST_F(Keys, DoubleClicksCommandKeysAndControlLetters) {
  EventRecord up;
  up.what = EVENT_MOUSE_UP;
  up.when = 1000;
  up.where = {50, 50};
  handle_event(&up);
  EXPECT_TRUE(is_double_click_at({53, 52}, 1000 + platform_double_click_ticks()));
  EXPECT_FALSE(is_double_click_at({53, 53}, 1001)) << "6 pixels away";
  EXPECT_FALSE(is_double_click_at({50, 50}, 1001 + platform_double_click_ticks()));
  up.where = {200, 200};
  up.modifiers = MOD_COMMAND;
  handle_event(&up);
  EXPECT_TRUE(is_double_click_at({50, 50}, 1001)) << "a mouse-up with Command is no reference";

  set_menu_key('K', 9, 6);  // Align Bars...
  EventRecord key;
  key.what = EVENT_KEY_DOWN;
  key.message = 'k' | (40u << 8);
  key.modifiers = MOD_COMMAND;
  script_hit(2);  // Cancel
  handle_event(&key);
  const std::vector<ShownText> dialogs = shown();
  ASSERT_FALSE(dialogs.empty());
  EXPECT_EQ(dialogs.back().id, 1000) << "the menu item ran: its dialog was shown";

  const int beeps = platform_beeps_sounded();
  key.modifiers = MOD_CONTROL;  // no Control letter is set for K
  handle_event(&key);
  EXPECT_EQ(platform_beeps_sounded(), beeps + 1);
  EXPECT_TRUE(take_reports().empty());
}

using Windows = AppTest;

TEST_F(Windows, ThePieceWhoseWindowComesForwardBecomesCurrent) {
  ASSERT_TRUE(write_piece_of_pages(dir + "/other.vesk", 1, 1));
  ASSERT_TRUE(write_piece_of_pages(dir + "/song.vesk", 2, 2));
  ASSERT_TRUE(start({dir + "/song.vesk"}));
  const int first = music_window();
  const std::string first_file = piece_fsspec;
  script_hit(3);  // No: the first piece stays open behind
  script_file_name(dir + "/other.vesk");
  ASSERT_EQ(file_menu(FILE_COMMAND_OPEN, 'v'), 1);
  const int second = music_window();
  ASSERT_NE(second, first);
  script_take_shown();

  // Its title clicked: the window system activates the first window.
  platform_set_test_front_window(true, first);
  EventRecord activate;
  activate.what = EVENT_ACTIVATE;
  activate.window = first;
  activate.modifiers = MOD_ACTIVE;
  platform_post_event(activate);
  run_until_idle();
  EXPECT_EQ(music_window(), first);
  EXPECT_EQ(piece_fsspec, first_file);

  // A click in the second window, which the window system has already brought to the front.
  platform_set_test_front_window(true, second);
  EventRecord click;
  click.what = EVENT_MOUSE_DOWN;
  click.window = second;
  click.where = {200, 200};
  platform_post_event(click);
  run_until_idle();
  platform_set_test_front_window(false, 0);
  EXPECT_EQ(music_window(), second);
  EXPECT_EQ(piece_fsspec, dir + "/other.vesk");
  EXPECT_TRUE(take_reports().empty()) << "no window is unrecognised";
}

}  // namespace
