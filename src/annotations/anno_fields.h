// anno_fields.h: the payload fields of the annotation nodes TPARAM and LINE that the rest of
// the program reads (descriptors as in model/node_fields.h).
#pragma once

#include "model/model_services.h"

// clang-format off
// ---- TPARAM: head of a text annotation and of each further style run -----------------
inline constexpr auto xtextx = word_field<int32_t>("xtextx", TPARAM, 10);  // position of the text
inline constexpr auto xtexty = word_field<int32_t>("xtexty", TPARAM, 14);
inline constexpr auto xtextfont = word_field<int16_t>("xtextfont", TPARAM, 18);  // font code or number
inline constexpr auto xcharset = word_field<uint8_t>("xcharset", TPARAM, 20);    // character set
inline constexpr auto xtextsize = word_field<uint8_t>("xtextsize", TPARAM, 21);  // points
inline constexpr auto xtextface = word_field<uint8_t>("xtextface", TPARAM, 22);  // face bits
inline constexpr auto xjustified = bit_field("xjustified", TPARAM, 24, 7, 6);  // 0 left, 1 and 3 centred, 2 right
inline constexpr auto xboxed = bit_field("xboxed", TPARAM, 24, 4, 4);          // "Boxed"
inline constexpr auto xfromstaff = bit_field("xfromstaff", TPARAM, 24, 2, 2);  // "Vertical Lock"
inline constexpr auto xadjacent = bit_field("xadjacent", TPARAM, 24, 1, 1);  // a further style run
inline constexpr auto xhidden = bit_field("xhidden", TPARAM, 25, 5, 5);      // "Hidden"
inline constexpr auto xdefault = bit_field("xdefault", TPARAM, 25, 4, 4);    // model of its class
inline constexpr auto xignore = bit_field("xignore", TPARAM, 25, 0, 0);      // "Do Not Interpret"
inline constexpr auto xclassify = word_field<uint8_t>("xclassify", TPARAM, 31);  // annotation class 0..24
inline constexpr auto xtext_color = bit_field("xtext_color", TPARAM, 26, 3, 0);  // colour index, 0 default
inline constexpr auto xrelativex = bit_field("xrelativex", TPARAM, 33, 3, 0);  // pending horizontal reference mode
inline constexpr auto xrelativey = bit_field("xrelativey", TPARAM, 33, 7, 4);  // pending vertical reference mode
// The voice an imported annotation belongs to: bits 0-6 part + 1, 7-11 voice + 1, 12-15 staff.
inline constexpr auto xstyleref = word_field<uint16_t>("xstyleref", TPARAM, 36);

// ---- TEXT: up to 21 characters of a style run's text and a NUL -------------------------
inline constexpr TextField xtext{"xtext", TEXT, 10, 22};
inline constexpr int TEXT_NODE_CHARS = 21;

// ---- LINE: a line or curve annotation -------------------------------------------------
inline constexpr auto xstartx = word_field<int32_t>("xstartx", LINE, 10);  // start, from the reference point
inline constexpr auto xstarty = word_field<int32_t>("xstarty", LINE, 14);
inline constexpr auto xendx = word_field<int32_t>("xendx", LINE, 18);  // end, from the start point
inline constexpr auto xendy = word_field<int32_t>("xendy", LINE, 22);
inline constexpr auto xc1x = word_field<int32_t>("xc1x", LINE, 28);  // first control point, or the
inline constexpr auto xc1y = word_field<int32_t>("xc1y", LINE, 32);  // corners of a straight line's
inline constexpr auto xc2x = word_field<int32_t>("xc2x", LINE, 36);  // clip box, from the start point
inline constexpr auto xc2y = word_field<int32_t>("xc2y", LINE, 40);
inline constexpr auto xline_relx = bit_field("xline_relx", LINE, 49, 3, 0);  // pending reference modes
inline constexpr auto xline_rely = bit_field("xline_rely", LINE, 49, 7, 4);
inline constexpr auto xline_styleref = word_field<uint16_t>("xline_styleref", LINE, 50);  // as xstyleref
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
