// prefs.cpp: the preferences and the fonts found at start-up.
#include "app/prefs.h"

#include "platform/fonts.h"

PrefsRecord prefs;
int32_t music_font_numbers[FONT_SLOT_COUNT];

namespace {
constexpr int slot_fonts[FONT_SLOT_COUNT] = {FONT_QUOR,
                                             FONT_SAYL,
                                             FONT_TIMES,
                                             FONT_SYMBOL,
                                             FONT_SONATA,
                                             FONT_GENEVA,
                                             FONT_SIMPLIFIED_NOTATION};
}

void find_music_fonts() {
  for (int i = 0; i < FONT_SLOT_COUNT; ++i)
    music_font_numbers[i] = platform_font_installed(slot_fonts[i]) ? slot_fonts[i] : 0;
  if (!music_font_numbers[FONT_SLOT_SONATA]) prefs.use_sonata_font = 0;
}

void reset_prefs() {
  prefs = PrefsRecord{};
  for (int i = 0; i < FONT_SLOT_COUNT; ++i) music_font_numbers[i] = slot_fonts[i];
  music_font_numbers[FONT_SLOT_SIMPLIFIED] = 0;
}
