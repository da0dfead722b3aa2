// tests/performance/hear_command_test.cpp: Hear as the user meets it, through the whole program
// on a machine without a sound device or a MIDI service.
//   HearCommand.*:  a piece plays silently from the menu; Command-period and quitting silence it;
//                   the window marks the notes sounding and turns to the page they are on
#include <gtest/gtest.h>

#include "app/app_services.h"
#include "layout/layout_services.h"
#include "performance/performance_globals.h"
#include "performance/performance_services.h"
#include "performance/play_queue.h"
#include "platform/events.h"
#include "platform/play_timer.h"
#include "platform/synth.h"
#include "support/app_fixture.h"
#include "support/piece_files.h"

namespace {

class HearCommand : public AppTest {
 protected:
  // Main-loop passes while the play goes on; a pass waits a tick while it plays.
  void passes(int count) {
    for (int i = 0; i < count; ++i) ASSERT_EQ(pass(), -1);
  }
  // Command-period, the key that stops a play.
  static void press_command_period() {
    EventRecord key;
    key.what = EVENT_KEY_DOWN;
    key.message = '.';
    key.modifiers = MOD_COMMAND;
    platform_post_event(key);
  }
  bool silent() {
    for (uint32_t mask : midi_send_state.sounding_keys)
      if (mask) return false;
    return !play_queue_busy();
  }
};

TEST_F(HearCommand, APiecePlaysSilentlyAndStopsOnCommandPeriodOrQuit) {
  const std::string path = dir + "/song.vesk";
  ASSERT_TRUE(write_piece_of_pages(path, 2, 2));
  ASSERT_TRUE(start({path}));
  EXPECT_EQ(platform_synth_state(), SYNTH_SILENT);
  script_hit(1);  // Hear: OK
  do_menu_item(HEAR_MENU, 1, SOURCE_MENU_BAR);
  ASSERT_TRUE(is_playing());
  passes(200);  // over three seconds: notes sound
  EXPECT_FALSE(silent());
  press_command_period();
  passes(3);
  EXPECT_FALSE(is_playing());
  EXPECT_TRUE(silent());
  EXPECT_FALSE(platform_timer_running());

  script_hit(1);
  do_menu_item(HEAR_MENU, 1, SOURCE_MENU_BAR);
  passes(200);
  ASSERT_TRUE(is_playing());
  shown();  // the Hear dialogs
  EventRecord quit;
  quit.what = EVENT_QUIT;
  platform_post_event(quit);
  EXPECT_EQ(run_until_idle(), 0);
  EXPECT_TRUE(silent());
  EXPECT_FALSE(platform_timer_running());
  // Playing changed nothing: no question about saving.
  for (const ShownText& text : shown()) ADD_FAILURE() << text.id << ": " << text.text;
}

TEST_F(HearCommand, TheWindowMarksTheNotesSoundingFollowsThemToTheNextPageAndComesBack) {
  const std::string path = dir + "/pages.vesk";
  ASSERT_TRUE(write_piece_of_pages(path, 2, 2));
  ASSERT_TRUE(start({path}));
  ASSERT_EQ(page_count, 2);
  script_hit(1);
  do_menu_item(HEAR_MENU, 1, SOURCE_MENU_BAR);
  ASSERT_TRUE(is_playing());
  // Page 1 plays for about 16 seconds (four bars at 60 a minute) after the queue's 2.
  bool marked = false;
  for (int i = 0; i < 1500 && current_page == 1; ++i) {
    ASSERT_EQ(pass(), -1);
    if (!marked && i > 200 && misplaced_pixels() > 0) {
      marked = true;  // the window shows marks over the page
      save_window("hear-marks-page1");
    }
  }
  EXPECT_TRUE(marked);
  ASSERT_EQ(current_page, 2) << "the window turned to the page the music went on to";
  passes(10);
  EXPECT_GT(misplaced_pixels(), 0) << "the notes sounding on page 2 are marked";
  save_window("hear-marks-page2");

  press_command_period();
  passes(2);
  EXPECT_FALSE(is_playing());
  EXPECT_EQ(current_page, 1) << "the page the play began on is shown again";
  EXPECT_EQ(misplaced_pixels(), 0) << "no mark is left";
  for (const ShownText& text : shown())
    if (text.id != 9384) ADD_FAILURE() << text.id << ": " << text.text;
}

// The insertion point does not blink over the marks; a note a click takes out while the play
// goes on is no longer among those sounding.
TEST_F(HearCommand, TheInsertionPointRestsAndANoteDeletedWhilePlayingIsForgotten) {
  const std::string path = dir + "/song.vesk";
  ASSERT_TRUE(write_piece_of_pages(path, 1, 1));
  ASSERT_TRUE(start({path}));
  pass();
  Drosa first = NIL;
  for (Drosa p = piece_start[0]; p && !first; p = p->xnext)
    if (p->xkind == NOTE && !p->get(xrest)) first = p;
  ASSERT_TRUE(first && is_plotted_note(first));
  set_insertion_point(first, 1, -10);
  script_hit(1);
  do_menu_item(HEAR_MENU, 1, SOURCE_MENU_BAR);
  std::vector<Drosa> sounding;
  for (int i = 0; i < 400 && sounding.empty(); ++i) {
    ASSERT_EQ(pass(), -1);
    EXPECT_FALSE(flash_shown()) << "pass " << i;
    sounding_notes_at(now_ms(), &sounding);
  }
  ASSERT_FALSE(sounding.empty());
  const Drosa gone = sounding.back();
  set_insertion_point(gone, 1, -10);
  delete_notes_command(1);  // as the palette's Kill box does, the play going on
  ASSERT_TRUE(is_playing());
  sounding_notes_at(now_ms(), &sounding);
  EXPECT_EQ(std::count(sounding.begin(), sounding.end(), gone), 0);
  passes(5);
}

}  // namespace
