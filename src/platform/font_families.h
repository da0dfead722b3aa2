// font_families.h: inside the platform layer, the installed family that draws a font number.
#pragma once

#include <string>

// The family that draws a font number: the stand-in of a fixed text font ("Liberation Serif"
// for Times), the embedded music font for the music fonts, the family itself for any other
// installed font. Empty when nothing installed draws that number.
std::string platform_font_family(int number);

// True for the music font numbers, whose strings are glyph codes and never converted.
bool platform_is_music_font(int number);
