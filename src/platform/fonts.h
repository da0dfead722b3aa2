// fonts.h: the font registry. Every font has a number that stays the same on every machine,
// because pieces store fonts by number.
#pragma once

#include <string>
#include <vector>

// Fixed numbers. Text fonts are drawn with installed stand-ins; the music fonts with the
// embedded music font.
enum FixedFontNumber {
  FONT_SYSTEM = 0,
  FONT_GENEVA = 3,   // drawn as DejaVu Sans
  FONT_MONACO = 4,   // drawn as DejaVu Sans Mono
  FONT_TIMES = 20,   // drawn as Liberation Serif
  FONT_SYMBOL = 23,  // drawn as Standard Symbols PS, byte codes of the Symbol font
  FONT_QUOR = 32001,
  FONT_SAYL = 32002,
  FONT_SONATA = 32003,
  FONT_SIMPLIFIED_NOTATION = 32004,  // "Simplified Music Notation"
};

// Needs the application object. Loads the embedded music font and builds the registry of
// installed families. Safe to call more than once.
void platform_init_fonts();

// A count that moves on each time the registry is built: what was found by font number holds
// while it stays the same.
int platform_font_registry_generation();

// The number of a family by name, or -1 when no such font is installed.
int platform_font_number(const std::string& name);

// The name of a font number; empty when the number names no installed font.
std::string platform_font_name(int number);

// True when a font of that number can be drawn.
bool platform_font_installed(int number);

struct FontEntry {
  int number;
  std::string name;
};
// Every installed family, sorted by name (the Font menu).
std::vector<FontEntry> platform_font_list();
