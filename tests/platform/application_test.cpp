// application_test.cpp: the application object, the main window and the embedded music font.
//   Application.*: the main window opens, closes as by its close box, and the loop sees it
#include "platform/application.h"

#include <gtest/gtest.h>

#include "platform/music_font.h"

namespace {

void start_application() {
  static char name[] = "vesk_tests";
  static char* argv[] = {name, nullptr};
  platform_start(1, argv);
}

TEST(Application, MainWindowOpensAndClosesLikeTheProgramLoopExpects) {
  start_application();
  EXPECT_FALSE(platform_main_window_open());
  platform_open_main_window("Vesk");
  EXPECT_TRUE(platform_main_window_open());
  platform_wait_events(10);
  EXPECT_TRUE(platform_main_window_open());
  platform_close_main_window();
  platform_wait_events(10);
  EXPECT_FALSE(platform_main_window_open());
  platform_finish();
}

TEST(Application, EmbeddedMusicFontLoads) {
  start_application();
  EXPECT_EQ(platform_load_music_font(), "Bravura");
  platform_finish();
}

}  // namespace
