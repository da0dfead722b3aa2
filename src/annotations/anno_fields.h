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
inline constexpr auto xtext_drawmode = bit_field("xtext_drawmode", TPARAM, 23, 7, 6);  // 0 drawn, 1 in white, 2 not drawn
inline constexpr auto xkeep_hyphen = bit_field("xkeep_hyphen", TPARAM, 23, 5, 5);  // "Center Hyphens"
inline constexpr auto xkeep_underline = bit_field("xkeep_underline", TPARAM, 23, 4, 4);  // "Extend Underlines"
inline constexpr auto xno_size_adjust = bit_field("xno_size_adjust", TPARAM, 23, 3, 3);  // "Staff Size Adjust"
inline constexpr auto xpslayout = bit_field("xpslayout", TPARAM, 23, 2, 2);  // line layout of the printed text
inline constexpr auto xspec_underline = bit_field("xspec_underline", TPARAM, 23, 1, 1);  // "Flat Underlines"
inline constexpr auto xbackslash = bit_field("xbackslash", TPARAM, 23, 0, 0);
inline constexpr auto xjustified = bit_field("xjustified", TPARAM, 24, 7, 6);  // 0 left, 2 right, else centred
inline constexpr auto xpagemargin = bit_field("xpagemargin", TPARAM, 24, 5, 5);  // "Horizontal Lock"
inline constexpr auto xboxed = bit_field("xboxed", TPARAM, 24, 4, 4);  // "Boxed"
inline constexpr auto xleavespace = bit_field("xleavespace", TPARAM, 24, 3, 3);  // "Leave Space"
inline constexpr auto xfromstaff = bit_field("xfromstaff", TPARAM, 24, 2, 2);  // "Vertical Lock"
inline constexpr auto xadjacent = bit_field("xadjacent", TPARAM, 24, 1, 1);  // a further style run
inline constexpr auto xeachsys = bit_field("xeachsys", TPARAM, 24, 0, 0);    // "At Each System"
inline constexpr auto xfing = bit_field("xfing", TPARAM, 25, 7, 7);          // "Fingering": one character a line
inline constexpr auto xeverypart = bit_field("xeverypart", TPARAM, 25, 6, 6);  // "In Every Context"
inline constexpr auto xhidden = bit_field("xhidden", TPARAM, 25, 5, 5);      // "Hidden"
inline constexpr auto xdefault = bit_field("xdefault", TPARAM, 25, 4, 4);    // model of its class
inline constexpr auto xeachpage = bit_field("xeachpage", TPARAM, 25, 3, 3);  // "On Each Page"
inline constexpr auto xfooter = bit_field("xfooter", TPARAM, 25, 1, 1);      // "Position Lock"
inline constexpr auto xignore = bit_field("xignore", TPARAM, 25, 0, 0);      // "Do Not Interpret"
inline constexpr auto xclassify = word_field<uint8_t>("xclassify", TPARAM, 31);  // annotation class 0..24
inline constexpr auto xtext_stsize = bit_field("xtext_stsize", TPARAM, 26, 7, 4);  // staff size of the text
inline constexpr auto xtext_color = bit_field("xtext_color", TPARAM, 26, 3, 0);  // colour index, 0 default
inline constexpr auto xeocord = word_field<uint8_t>("xeocord", TPARAM, 27);  // ordinal of the element replaced
inline constexpr auto xeocvar = word_field<uint8_t>("xeocvar", TPARAM, 28);  // its variety; 0 an ordinary text
inline constexpr auto xsuper = word_field<uint8_t>("xsuper", TPARAM, 29);    // superscript value
inline constexpr auto xexpand = word_field<int8_t>("xexpand", TPARAM, 30);   // character expansion
inline constexpr auto xrelativey = bit_field("xrelativey", TPARAM, 33, 7, 4);  // pending reference modes
inline constexpr auto xrelativex = bit_field("xrelativex", TPARAM, 33, 3, 0);
// Three packed numbers p, v and s: bits 0-6 p + 1, bits 7-11 v + 1, bits 12-15 s.
inline constexpr auto xstyle_reference = word_field<uint16_t>("xstyle_reference", TPARAM, 36);

// ---- TEXT: up to 21 characters of a style run's text and a NUL -------------------------
inline constexpr TextField xtext{"xtext", TEXT, 10, 22};
inline constexpr int TEXT_NODE_CHARS = 21;

// ---- LINE: a line or curve annotation -------------------------------------------------
inline constexpr auto xstartx = word_field<int32_t>("xstartx", LINE, 10);  // start, from the reference point
inline constexpr auto xstarty = word_field<int32_t>("xstarty", LINE, 14);
inline constexpr auto xendx = word_field<int32_t>("xendx", LINE, 18);      // end, from the start
inline constexpr auto xendy = word_field<int32_t>("xendy", LINE, 22);
inline constexpr auto xdashlth = bit_field("xdashlth", LINE, 26, 7, 4);    // dash length; 0 solid
inline constexpr auto xgaplth = bit_field("xgaplth", LINE, 26, 3, 0);
inline constexpr auto xcurve = bit_field("xcurve", LINE, 27, 0, 0);        // a curve, not a line
inline constexpr auto xc1x = word_field<int32_t>("xc1x", LINE, 28);  // control points (a line's clip
inline constexpr auto xc1y = word_field<int32_t>("xc1y", LINE, 32);  // box), from the start
inline constexpr auto xc2x = word_field<int32_t>("xc2x", LINE, 36);
inline constexpr auto xc2y = word_field<int32_t>("xc2y", LINE, 40);
inline constexpr auto xline_relx = bit_field("xline_relx", LINE, 49, 3, 0);  // pending reference modes
inline constexpr auto xline_rely = bit_field("xline_rely", LINE, 49, 7, 4);
inline constexpr auto xline_styleref = word_field<uint16_t>("xline_styleref", LINE, 50);  // as xstyle_reference
inline constexpr auto xfattermid = bit_field("xfattermid", LINE, 44, 7, 7);  // thicker in the middle
inline constexpr auto xline_fromstaff = bit_field("xline_fromstaff", LINE, 44, 6, 6);  // placed from the staff
inline constexpr auto xline_eachsys = bit_field("xline_eachsys", LINE, 44, 5, 5);      // "At Each System"
inline constexpr auto xline_eachpage = bit_field("xline_eachpage", LINE, 44, 4, 4);    // "On Each Page"
inline constexpr auto xline_everypart = bit_field("xline_everypart", LINE, 44, 3, 3);  // "In Every Context"
inline constexpr auto xline_drawmode = bit_field("xline_drawmode", LINE, 44, 2, 1);    // as xdrawmode
inline constexpr auto xline_pagemargin = bit_field("xline_pagemargin", LINE, 44, 0, 0);  // "Horizontal Lock"
inline constexpr auto xlinewidth = word_field<uint8_t>("xlinewidth", LINE, 45);        // line width
inline constexpr auto xline_ord = bit_field("xline_ord", LINE, 27, 7, 1);  // piece of a broken line
inline constexpr auto xmetaline = bit_field("xmetaline", LINE, 46, 7, 4);   // line kind
inline constexpr auto xline_eocvar = bit_field("xline_eocvar", LINE, 47, 6, 0);
inline constexpr auto xline_color = bit_field("xline_color", LINE, 46, 3, 0);  // colour index, 0 default
// clang-format on

extern const NodeField* const anno_node_fields[];
extern const int anno_node_field_count;
