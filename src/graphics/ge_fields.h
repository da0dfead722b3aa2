// ge_fields.h: the payload fields of the graphics elements NOTEPTR, GE_CHAR, GE_STRING,
// GE_LINE and GE_CURVE (descriptors as in model/node_fields.h).
//
// A published save writes these nodes as they lie in memory, so every offset and width here is
// file content. Coordinates are layout units (tenths of a point, y upward from the bottom of
// the page). Byte 9, where other kinds keep their notation context, holds the element's flags.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// drawmode values.
inline constexpr int NORMALMODE = 0;
inline constexpr int BICMODE = 1;  // the element erases what lies under it

// GANNO values: the annotation class of an element.
inline constexpr int GANNO_NONE = 0;
inline constexpr int GANNO_BOTH = 1;         // on screen and in print
inline constexpr int GANNO_SCREEN_ONLY = 2;  // not printed, not in pictures
inline constexpr int GANNO_PRINT_ONLY = 3;   // not on screen

// yreloc values: how an element follows a vertical move of staves.
inline constexpr int YRELOC_OWN_STAFF = 0;
inline constexpr int YRELOC_HALF_ABOVE = 1;  // between its pstaff and pstaff - 1
inline constexpr int YRELOC_HALF_BELOW = 2;  // between its pstaff and pstaff + 1
inline constexpr int YRELOC_NEVER = 3;

// x and y of a text that continues at the pen where the previous text ended.
inline constexpr int32_t ADJACENT_TEXT = -32768;
// Text bytes a GE_STRING holds (a NUL follows them).
inline constexpr int GE_STRING_BYTES = 24;
// The default clip box and hit box reach this far beyond an element's ends.
inline constexpr int32_t GE_BOX_MARGIN = 280;

constexpr Field<int> ge_flag_field(const char* name, int high, int low) {
  return Field<int>{{name, uint8_t(GE_CHAR), uint8_t(GE_LINE), 9, 1, uint8_t(low),
                     uint8_t(high - low + 1), false}};
}

// clang-format off
// ---- Flags of every graphics element (byte 9) ------------------------------------------
inline constexpr auto xdrawmode = ge_flag_field("drawmode", 7, 6);  // 0 normal, 1 BICMODE
inline constexpr auto xganno = ge_flag_field("GANNO", 5, 4);        // annotation class 0-3
inline constexpr auto xgremove = ge_flag_field("GREMOVE", 3, 3);    // removed: not drawn, not hit
inline constexpr auto xgscreen = ge_flag_field("GSCREEN", 2, 2);    // screen twin of the next element

// ---- NOTEPTR: the owner of the elements that follow --------------------------------------
inline constexpr LinkField xnoteptr{"xnoteptr", NOTEPTR, 10};

// ---- GE_CHAR: one character, or the attribute node that closes a text run ---------------
inline constexpr auto xgc_x = word_field<int32_t>("xgc_x", GE_CHAR, 10);
inline constexpr auto xgc_y = word_field<int32_t>("xgc_y", GE_CHAR, 14);
inline constexpr auto xgc_pstaff = word_field<int8_t>("xgc_pstaff", GE_CHAR, 18);
inline constexpr auto xgc_var = word_field<uint8_t>("xgc_var", GE_CHAR, 19);      // 4 and up, else 0
inline constexpr auto xgc_font = word_field<int16_t>("xgc_font", GE_CHAR, 20);    // a font number
inline constexpr auto xgc_cset = word_field<uint8_t>("xgc_cset", GE_CHAR, 22);
inline constexpr auto xgc_size = word_field<uint8_t>("xgc_size", GE_CHAR, 23);    // points
inline constexpr auto xgc_char = word_field<int16_t>("xgc_char", GE_CHAR, 24);    // 0 in an attribute node
inline constexpr auto xgc_style = word_field<uint8_t>("xgc_style", GE_CHAR, 26);  // face bits
inline constexpr auto xgc_layout = bit_field("xgc_layout", GE_CHAR, 27, 7, 7);    // line-layout flag of a run
inline constexpr auto xgc_color = bit_field("xgc_color", GE_CHAR, 27, 6, 3);      // colour index
inline constexpr auto xgc_yreloc = bit_field("xgc_yreloc", GE_CHAR, 27, 2, 1);
inline constexpr auto xgc_dy = word_field<int8_t>("xgc_dy", GE_CHAR, 28);         // added when drawn
inline constexpr auto xgc_dx = word_field<int8_t>("xgc_dx", GE_CHAR, 29);

// ---- GE_STRING: up to 24 bytes of a text run ------------------------------------------------
inline constexpr TextField xgs_text{"xgs_text", GE_STRING, 10, GE_STRING_BYTES + 1};

// ---- GE_LINE and GE_CURVE: the two ends ------------------------------------------------
inline constexpr auto xge_x1 = word_field<int32_t>("xge_x1", GE_LINE, 10, GE_CURVE);
inline constexpr auto xge_y1 = word_field<int32_t>("xge_y1", GE_LINE, 14, GE_CURVE);
inline constexpr auto xge_pstaff1 = word_field<int8_t>("xge_pstaff1", GE_LINE, 18, GE_CURVE);
inline constexpr auto xge_pstaff2 = word_field<int8_t>("xge_pstaff2", GE_LINE, 19, GE_CURVE);
inline constexpr auto xge_x2 = word_field<int32_t>("xge_x2", GE_LINE, 20, GE_CURVE);
inline constexpr auto xge_y2 = word_field<int32_t>("xge_y2", GE_LINE, 24, GE_CURVE);

// ---- GE_LINE: a straight line with its clip box ----------------------------------------
inline constexpr auto xgl_clipx1 = word_field<int32_t>("xgl_clipx1", GE_LINE, 28);
inline constexpr auto xgl_clipy1 = word_field<int32_t>("xgl_clipy1", GE_LINE, 32);
inline constexpr auto xgl_clipx2 = word_field<int32_t>("xgl_clipx2", GE_LINE, 36);
inline constexpr auto xgl_clipy2 = word_field<int32_t>("xgl_clipy2", GE_LINE, 40);
inline constexpr auto xgl_width = word_field<uint8_t>("xgl_width", GE_LINE, 44);  // layout units
inline constexpr auto xgl_color = bit_field("xgl_color", GE_LINE, 45, 7, 4);
inline constexpr auto xgl_yreloc1 = bit_field("xgl_yreloc1", GE_LINE, 45, 3, 2);
inline constexpr auto xgl_yreloc2 = bit_field("xgl_yreloc2", GE_LINE, 45, 1, 0);
inline constexpr auto xgl_var = word_field<uint8_t>("xgl_var", GE_LINE, 46);
inline constexpr auto xgl_dash = bit_field("xgl_dash", GE_LINE, 47, 7, 4);  // points; 0 solid
inline constexpr auto xgl_gap = bit_field("xgl_gap", GE_LINE, 47, 3, 0);

// ---- GE_CURVE: a cubic Bezier curve ----------------------------------------------------
inline constexpr auto xgv_c1x = word_field<int32_t>("xgv_c1x", GE_CURVE, 28);  // first control point
inline constexpr auto xgv_c1y = word_field<int32_t>("xgv_c1y", GE_CURVE, 32);
inline constexpr auto xgv_dash = bit_field("xgv_dash", GE_CURVE, 37, 7, 4);
inline constexpr auto xgv_gap = bit_field("xgv_gap", GE_CURVE, 37, 3, 0);
inline constexpr auto xgv_c2x = word_field<int32_t>("xgv_c2x", GE_CURVE, 38);  // second control point
inline constexpr auto xgv_c2y = word_field<int32_t>("xgv_c2y", GE_CURVE, 42);
inline constexpr auto xgv_fill = bit_field("fill", GE_CURVE, 46, 7, 7);        // a tapering lens
inline constexpr auto xgv_color = bit_field("xgv_color", GE_CURVE, 46, 6, 3);
inline constexpr auto xgv_var = word_field<uint8_t>("xgv_var", GE_CURVE, 47);
// clang-format on

// The fields above, for checks and for finding a field by its name.
extern const NodeField* const ge_node_fields[];
extern const int ge_node_field_count;
