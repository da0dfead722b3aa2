// prefs.h: the preferences of the program and the fonts found at start-up.
#pragma once

#include <cstdint>

// The preference fields the rest of the program reads.
struct PrefsRecord {
  int16_t ask_save_before_context_change = 0;  // ask to save before switching notation contexts
  int16_t use_sonata_font = 0;          // 1: the second default set of the engraving parameters
  int32_t use_simplified_notation = 0;  // simplified notation while its font is installed
};
extern PrefsRecord prefs;

// The fonts looked up at start-up, by their number; 0 for an optional font not installed.
enum MusicFontSlot {
  FONT_SLOT_QUOR,
  FONT_SLOT_SAYL,
  FONT_SLOT_TIMES,
  FONT_SLOT_SYMBOL,
  FONT_SLOT_SONATA,
  FONT_SLOT_GENEVA,
  FONT_SLOT_SIMPLIFIED,
  FONT_SLOT_COUNT
};
extern int32_t music_font_numbers[FONT_SLOT_COUNT];

// Looks the fonts up (the font registry must be ready) and clears use_sonata_font when
// Sonata is not installed.
void find_music_fonts();

void reset_prefs();
