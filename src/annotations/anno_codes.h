// anno_codes.h: the escape-code language of annotation text: the code table, the parser that
// turns coded text into styled characters, the builder that writes styled runs back as
// coded text, an annotation's font, and text sizes on staves of other sizes.
#pragma once

#include <cstdint>
#include <string>

#include "annotations/anno_services.h"
#include "model/model_services.h"
#include "params/param_services.h"

// ---- The code table ----------------------------------------------------------------------------

inline constexpr int ANNO_ESCAPE_COUNT = 4;

// glyph_or_op below 0: the operations.
inline constexpr int CODE_TOGGLE_FACE = -1;  // arg: the face bits toggled
inline constexpr int CODE_SIZE_STEP = -4;    // arg: points added to the size
inline constexpr int CODE_FONT = -5;         // arg: the font code switched to
// arg of a glyph code: 0 one glyph, above 0 a second glyph's parameter, -2 a superscript
// switch, -3 a chord-symbol alteration.
inline constexpr int CODE_SUPERSCRIPT = -2;
inline constexpr int CODE_ALTERATION = -3;

// The table, in its fixed order (searched from the last record to the first).
extern const anno_code_entry anno_code_table[ANNO_CODE_COUNT];
// The two-character escapes: the letter after the backslash and the character it stands for
// ("\R" return, "\N" line feed, "\\" backslash, "\ " the non-breaking space 202).
extern const char anno_escape_table[ANNO_ESCAPE_COUNT][4];

// anno_font_spec: the font of the annotation headed by `tparam`: Times 12 plain by default; a
// TPARAM without xbackslash its own; one with it the font, face and character set of its first
// run not in a music font, the size of its first run.
AnnoFontSpec anno_font_spec(Drosa tparam);

// emit_baseline_shift: appends the size-step codes that bring the builder's size to `size`
// ("\<<", "\<", "\>>", "\>"); nothing while the builder's size is 0.
void emit_baseline_shift(std::string* out, int size);

// ---- Text on staves of other sizes ------------------------------------------------------------

// anno_baseline_y: that size at the screen's scale (pixels, nearest whole).
int anno_baseline_y(Drosa node, Drosa tparam, Drosa run);
// adjusted_texty: the annotation's xtexty scaled the same way (on a small staff without a set
// staff size, an offset below the reference point comes 10 x parameter 386 nearer).
// Failure: a note without a layout record seen in the current context: level 4 "Error in
// adjusted_texty()." and xtexty unchanged.
int32_t adjusted_texty(Drosa node, Drosa tparam);
