// glyph_map.h: the one table by which the music fonts that pieces and parameters name (Quor,
// Sayl, Sonata and "Simplified Music Notation", none of which exists here) are drawn with the
// embedded music font: each (font, character code) gives a glyph of the embedded font by its
// SMuFL name and code point, a scale and a placement correction. Ports draw and measure every
// character of a music font through it (port.cpp).
#pragma once

#include <cstdint>

// One character of a music font as the embedded font draws it.
struct MusicFontGlyph {
  int16_t font;         // FONT_QUOR, FONT_SAYL, FONT_SONATA or FONT_SIMPLIFIED_NOTATION
  uint8_t code;         // the character code in that font
  const char* name;     // SMuFL name of the glyph drawn
  char32_t code_point;  // its code point in the embedded font; 0 draws nothing
  float scale;          // em of the embedded font, in units of the point size asked for
  float dx, dy;         // correction, in staff spaces at the font's design size; y upward
  uint8_t copies = 1;   // the glyph is drawn this many times (a double dot: 2)
  float copy_step = 0;  // apart by this much, in the same unit as dx
};

// The entry of a character of a music font; nullptr when the font is no music font or the
// code has no glyph (the first time that happens for a code it is reported, see below).
const MusicFontGlyph* music_font_glyph(int font_number, int code);
// The code of a music font that draws the glyph of a SMuFL name; -1 when it has none.
int music_font_code(int font_number, const char* name);
// Every entry, for tests that check the table against the font and the parameters.
const MusicFontGlyph* music_font_glyph_table(int* count);

// The point size at which a music font's staff space is 5 points: 12 (Quor, simplified
// notation), 24 (Sayl), 20 (Sonata); 0 for any other font.
int music_font_design_size(int font_number);
// The em of the embedded font per point of a music font's size (20 points of em at the design
// size, the size of a 5-point staff space).
double music_font_scale(int font_number);

// True when the embedded music font has a glyph for the code point. Needs the application.
bool music_font_has_glyph(char32_t code_point);

// A character of a music font without a glyph is drawn as nothing and reported once per font
// and code through the handler the program installs (nothing is reported without one).
using UnmappedGlyphHandler = void (*)(int font_number, int code);
void platform_set_unmapped_glyph_handler(UnmappedGlyphHandler handler);
// Forgets which codes were reported (tests).
void platform_forget_unmapped_glyphs();
