// application_test.cpp: the application object, the main window and the embedded music font.
//   Application.*: the main window opens, shows copied pages, closes as by its close box; the
//                  font configuration read at the start is the system's, as fontconfig reads it;
//                  the description a print takes of the music font's copy is the font's own
#include "platform/application.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fontconfig/fontconfig.h>
#include <signal.h>
#include <string>

#include <QByteArray>
#include <QResource>

#include "platform/design_outlines.h"
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

// A print takes the description of a copy of the music font made as fontconfig describes a font
// file: it must be the one the program makes of the font it holds, for a file of that name.
TEST(Application, TheMusicFontsCopyIsDescribedAsTheFontHeld) {
  const QResource resource(QStringLiteral(":/fonts/bravura.otf"));
  ASSERT_TRUE(resource.isValid());
  const QByteArray bytes = resource.uncompressedData();
  const std::string file = testing::TempDir() + "music-font-copy.otf";
  std::FILE* out = std::fopen(file.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  ASSERT_EQ(std::fwrite(bytes.constData(), 1, size_t(bytes.size()), out), size_t(bytes.size()));
  std::fclose(out);
  int faces = 0;
  FcPattern* copy =
      FcFreeTypeQuery(reinterpret_cast<const FcChar8*>(file.c_str()), 0, nullptr, &faces);
  FcPattern* held = note_font_data(bytes, file.c_str());
  ASSERT_NE(copy, nullptr);
  ASSERT_NE(held, nullptr);
  EXPECT_TRUE(FcPatternEqual(copy, held));
  FcPatternDestroy(copy);
  FcPatternDestroy(held);
  std::remove(file.c_str());
}

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
