// application_test.cpp: the application object, the main window and the embedded music font.
//   Application.*: the main window opens, shows copied pages, closes as by its close box; the
//                  font configuration read at the start is the system's, as fontconfig reads it
#include "platform/application.h"

#include <gtest/gtest.h>

#include <fontconfig/fontconfig.h>
#include <signal.h>
#include <string>

#include "platform/events.h"
#include "platform/music_font.h"
#include "platform/port.h"

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

TEST(Application, OffscreenPageIsCopiedIntoTheWindow) {
  platform_open_main_window("Vesk");
  Port* window = platform_main_window_port();
  ASSERT_NE(window, nullptr);
  Port* page = port_new_offscreen(200, 100);
  platform_set_port(page);
  paint_rect(make_rect(10, 10, 20, 20));
  port_copy(page, window, make_rect(0, 0, 200, 100), make_rect(50, 60, 250, 160), MODE_COPY);
  EXPECT_EQ(port_pixel(window, 65, 75), 0x000000u);
  EXPECT_EQ(port_pixel(window, 55, 65), 0xFFFFFFu);
  port_copy(page, window, make_rect(0, 0, 200, 100), make_rect(0, 0, 100, 50), MODE_COPY);
  EXPECT_EQ(port_pixel(window, 7, 7), 0x000000u) << "scaled to half";
  platform_set_port(nullptr);
  port_dispose(page);
  platform_close_main_window();
  platform_wait_events(1);
}

TEST(Application, ClosingTheWindowAndQuitSignalsAskToQuit) {
  platform_catch_quit_signals();
  platform_flush_events(EVERY_EVENT);
  EventRecord event;
  raise(SIGTERM);
  ASSERT_TRUE(platform_get_event(event_mask_of(EVENT_QUIT), 60, &event));
  EXPECT_EQ(event.what, EVENT_QUIT);
  platform_open_main_window("Vesk");
  platform_close_main_window();
  ASSERT_TRUE(platform_get_event(event_mask_of(EVENT_QUIT), 60, &event));
  EXPECT_EQ(event.what, EVENT_QUIT);
}

TEST(Application, EmbeddedMusicFontLoads) { EXPECT_EQ(platform_load_music_font(), "Bravura"); }

// The file fontconfig chooses for a family in a configuration.
std::string chosen_file(FcConfig* config, const char* family) {
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(config, pattern, &result);
  FcChar8* file = nullptr;
  std::string chosen = match && FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch
                           ? reinterpret_cast<const char*>(file)
                           : "";
  if (match) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  return chosen;
}

TEST(Application, TheFontConfigurationReadAtTheStartIsTheSystems) {
  platform_wait_font_configuration();
  FcConfig* read = FcConfigGetCurrent();
  FcConfig* system = FcInitLoadConfigAndFonts();
  ASSERT_NE(system, nullptr);
  EXPECT_EQ(FcConfigGetFonts(read, FcSetSystem)->nfont,
            FcConfigGetFonts(system, FcSetSystem)->nfont);
  // The aliases of the rules, and the default families.
  for (const char* family : {"Times New Roman", "Arial", "Courier New", "sans-serif", "serif",
                             "monospace", "Liberation Serif:bold"})
    EXPECT_EQ(chosen_file(read, family), chosen_file(system, family)) << family;
  FcConfigDestroy(system);
}

}  // namespace
