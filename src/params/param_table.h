// param_table.h: the engraving parameter table: 754 slots (slot 0 unused) addressed by a
// parameter number (pindex) 1..753, each with a type, a description, a changed flag, a
// reference staff size and a 14-byte value for normal notes and one for small notes.
#pragma once

#include <cstdint>
#include <cstring>

inline constexpr int PARAM_SLOTS = 754;
inline constexpr int PARAM_LAST = 753;
inline constexpr int PARAM_VALUE_SIZE = 14;
inline constexpr int DURATION_MULTIPLIER_PARAM = 553;  // note durations under polytempo

enum ParamType : uint32_t {
  PARAM_NONE = 0,  // a slot no filler has declared
  PARAM_HEADING = 1,
  PARAM_INTEGER = 2,
  PARAM_INTEGER_PAIR = 3,
  PARAM_COORDINATE = 4,
  PARAM_COORDINATE_PAIR = 5,
  PARAM_FLOAT = 6,
  PARAM_FLOAT_PAIR = 7,
  PARAM_CHARACTER = 8,
  PARAM_CHARACTER_PAIR = 9,
  PARAM_STRING = 10,
  PARAM_STRING_PAIR = 11,
  PARAM_UNUSED = 12,
};

// The pair types are the odd codes 3 to 11: they have a value for small notes.
inline bool is_pair_type(uint32_t type) { return type >= 3 && type <= 11 && (type & 1); }

// A 14-byte value, laid out as a PARAM node and the piece file hold it (big-endian):
// integer or coordinate: i32 at 0; float: IEEE single at 0; character: font code i16 at 0,
// point size u8 at 3, style u8 at 4, character code u8 at 5, x i32 at 6, y i32 at 10;
// string: font code i16 at 0, text of at most 7 characters and a zero at 2-9.
struct ParamValue {
  uint8_t bytes[PARAM_VALUE_SIZE];

  int32_t integer() const;
  void set_integer(int32_t v);
  float real() const;
  void set_real(float v);
  int16_t font() const;
  void set_font(int16_t code);
  uint8_t size() const { return bytes[3]; }
  void set_size(uint8_t v) { bytes[3] = v; }
  uint8_t style() const { return bytes[4]; }
  void set_style(uint8_t v) { bytes[4] = v; }
  uint8_t character() const { return bytes[5]; }
  void set_character(uint8_t v) { bytes[5] = v; }
  int32_t x() const;
  void set_x(int32_t v);
  int32_t y() const;
  void set_y(int32_t v);
  // The string's text (at most 7 characters).
  const char* text() const { return reinterpret_cast<const char*>(bytes + 2); }
  void set_text(const char* text);
};

// One slot of the table.
struct ParamRecord {
  uint32_t type;            // ParamType
  const char* description;  // the editor's text; a heading's title
  uint8_t changed;          // a PARAM node of this parameter exists in the piece
  int8_t ref_size;          // staff size at which the defaults hold (50; 100 for six)
  ParamValue value;         // normal notes (the only value of single types)
  ParamValue small;         // small (cue and grace) notes, pair types only
};

// Builds the whole table: every default, every changed flag cleared, the display order.
void param_init();

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
