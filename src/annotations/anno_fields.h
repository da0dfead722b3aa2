// anno_fields.h: the payload fields of the annotation nodes TPARAM and LINE that the rest of
// the program reads (descriptors as in model/node_fields.h).
#pragma once

#include "model/model_services.h"

// clang-format off
// ---- TPARAM: head of a text annotation and of each further style run -----------------
inline constexpr auto xtextx = word_field<int32_t>("xtextx", TPARAM, 10);  // position of the text
inline constexpr auto xtexty = word_field<int32_t>("xtexty", TPARAM, 14);
inline constexpr auto xadjacent = bit_field("xadjacent", TPARAM, 24, 1, 1);  // a further style run
inline constexpr auto xclassify = word_field<uint8_t>("xclassify", TPARAM, 31);  // annotation class 0..24
inline constexpr auto xtext_color = bit_field("xtext_color", TPARAM, 26, 3, 0);  // colour index, 0 default

// ---- LINE: a line or curve annotation -------------------------------------------------
inline constexpr auto xfattermid = bit_field("xfattermid", LINE, 44, 7, 7);  // thicker in the middle
inline constexpr auto xline_fromstaff = bit_field("xline_fromstaff", LINE, 44, 6, 6);  // placed from the staff
inline constexpr auto xlinewidth = word_field<uint8_t>("xlinewidth", LINE, 45);        // line width
inline constexpr auto xline_ord = bit_field("xline_ord", LINE, 27, 7, 1);  // piece of a broken line
inline constexpr auto xmetaline = bit_field("xmetaline", LINE, 46, 7, 4);   // line kind
inline constexpr auto xline_eocvar = bit_field("xline_eocvar", LINE, 47, 6, 0);
inline constexpr auto xline_color = bit_field("xline_color", LINE, 46, 3, 0);  // colour index, 0 default
// clang-format on

extern const NodeField* const anno_node_fields[];
extern const int anno_node_field_count;
