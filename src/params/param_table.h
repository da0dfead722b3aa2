// param_table.h: the engraving parameter table: 754 slots (slot 0 unused) addressed by a
// parameter number (pindex) 1..753, each with a type, a description, a changed flag, a
// reference staff size and a 14-byte value for normal notes and one for small notes.
#pragma once

#include <cstdint>
#include <cstring>

#include "params/param_services.h"

// A character default: code, font code, style, size and offsets.
struct CharSpec {
  int32_t code;
  int32_t font;
  int32_t style;
  int32_t size;
  int32_t x;
  int32_t y;
};

// The declaration routines of the group fillers. Each fills a slot, clears its changed flag,
// sets its reference size to 50 (not for headings and strings) and appends it to the display
// order. Character declarations take the first default set, or the second when the
// preference use_sonata_font is 1.
void declare_param_heading(int pindex, const char* description);
void declare_integer_param(int pindex, int32_t value, const char* description);
void declare_integer_pair_param(int pindex, int32_t normal, int32_t small, const char* description);
void declare_coordinate_param(int pindex, int32_t value, const char* description);
void declare_coordinate_pair_param(int pindex, int32_t normal, int32_t small,
                                   const char* description);
void declare_float_param(int pindex, float value, const char* description);
void declare_float_pair_param(int pindex, float normal, float small, const char* description);
void declare_character_param(int pindex, CharSpec first, CharSpec second, const char* description);
void declare_character_pair_param(int pindex, CharSpec first_normal, CharSpec first_small,
                                  CharSpec second_normal, CharSpec second_small,
                                  const char* description);
void declare_string_param(int pindex, const char* text, int32_t font, const char* description);
void declare_string_pair_param(int pindex, const char* normal, int32_t normal_font,
                               const char* small, int32_t small_font, const char* description);
void declare_line_width_param(int pindex, int32_t value, const char* description);
void declare_line_width_pair_param(int pindex, int32_t normal, int32_t small,
                                   const char* description);
// Takes the last declared parameter off the display order again (it is still declared).
void unlist_last_param();
