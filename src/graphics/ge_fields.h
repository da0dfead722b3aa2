// ge_fields.h: the payload fields of the graphics elements NOTEPTR, GE_CHAR, GE_STRING,
// GE_LINE and GE_CURVE (descriptors as in model/node_fields.h).
//
// A published save writes these nodes as they lie in memory, so every offset and width here is
// file content. Coordinates are layout units (tenths of a point, y upward from the bottom of
// the page). Byte 9, where other kinds keep their notation context, holds the element's flags.
#pragma once

#include <cstdint>

#include "graphics/ge_services.h"
#include "model/model_services.h"

// drawmode values.
inline constexpr int NORMALMODE = 0;

// GANNO values: the annotation class of an element.
inline constexpr int GANNO_NONE = 0;

// yreloc values: how an element follows a vertical move of staves.
inline constexpr int YRELOC_OWN_STAFF = 0;
inline constexpr int YRELOC_HALF_ABOVE = 1;  // between its pstaff and pstaff - 1
inline constexpr int YRELOC_HALF_BELOW = 2;  // between its pstaff and pstaff + 1
inline constexpr int YRELOC_NEVER = 3;

// Var codes of the elements that join the staves of a system: its left bar line, the joins
// of its brackets, bar lines and the pieces of braces; and the separator between two systems.
inline constexpr int VAR_SYSTEM_BAR = 12, VAR_BRACKET_JOIN = 15, VAR_BAR_LINE = 26,
                     VAR_BAR_JOIN = 29;
inline constexpr int VAR_BRACE_TOP = 39, VAR_BRACE_UPPER = 40, VAR_BRACE_MIDDLE = 41;
inline constexpr int VAR_BRACE_LOWER = 42, VAR_BRACE_BOTTOM = 43;
inline constexpr int VAR_SEPARATOR = 76;
// Var code of the names of the parts before a system.
inline constexpr int VAR_PART_NAME = 81;

// Text bytes a GE_STRING holds (a NUL follows them).
inline constexpr int GE_STRING_BYTES = 24;

inline constexpr auto xgc_cset = word_field<uint8_t>("xgc_cset", GE_CHAR, 22);
inline constexpr auto xgc_layout =
    bit_field("xgc_layout", GE_CHAR, 27, 7, 7);  // line-layout flag of a run
inline constexpr auto xgc_color = bit_field("xgc_color", GE_CHAR, 27, 6, 3);  // colour index
inline constexpr auto xgc_yreloc = bit_field("xgc_yreloc", GE_CHAR, 27, 2, 1);
inline constexpr auto xgc_dy = word_field<int8_t>("xgc_dy", GE_CHAR, 28);  // added when drawn
inline constexpr auto xgc_dx = word_field<int8_t>("xgc_dx", GE_CHAR, 29);

// ---- GE_STRING: up to 24 bytes of a text run ------------------------------------------------
inline constexpr TextField xgs_text{"xgs_text", GE_STRING, 10, GE_STRING_BYTES + 1};
inline constexpr auto xgl_clipy1 = word_field<int32_t>("xgl_clipy1", GE_LINE, 32);
inline constexpr auto xgl_clipy2 = word_field<int32_t>("xgl_clipy2", GE_LINE, 40);
inline constexpr auto xgl_color = bit_field("xgl_color", GE_LINE, 45, 7, 4);
inline constexpr auto xgl_yreloc1 = bit_field("xgl_yreloc1", GE_LINE, 45, 3, 2);
inline constexpr auto xgl_yreloc2 = bit_field("xgl_yreloc2", GE_LINE, 45, 1, 0);
inline constexpr auto xgv_gap = bit_field("xgv_gap", GE_CURVE, 37, 3, 0);
inline constexpr auto xgv_fill = bit_field("fill", GE_CURVE, 46, 7, 7);  // a tapering lens
inline constexpr auto xgv_color = bit_field("xgv_color", GE_CURVE, 46, 6, 3);
