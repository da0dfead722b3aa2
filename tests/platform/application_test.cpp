// application_test.cpp: the application object, the main window and the embedded music font.
//   Application.*: the main window opens, closes as by its close box, and the loop sees it
#include "platform/application.h"

#include <gtest/gtest.h>

#include "platform/music_font.h"

namespace {

TEST(Application, MainWindowOpensAndClosesLikeTheProgramLoopExpects) {
  EXPECT_FALSE(platform_main_window_open());
  platform_open_main_window("Vesk");
  EXPECT_TRUE(platform_main_window_open());
  platform_wait_events(10);
  EXPECT_TRUE(platform_main_window_open());
  platform_close_main_window();
  platform_wait_events(10);
  EXPECT_FALSE(platform_main_window_open());
}

TEST(Application, EmbeddedMusicFontLoads) { EXPECT_EQ(platform_load_music_font(), "Bravura"); }

}  // namespace
