// anno_codes.h: the escape-code language of annotation text: the code table, the parser that
// turns coded text into styled characters, the builder that writes styled runs back as
// coded text, an annotation's font, and text sizes on staves of other sizes.
#pragma once

#include <cstdint>
#include <string>

#include "model/model_services.h"
#include "params/param_services.h"

// ---- The code table ----------------------------------------------------------------------------
inline constexpr int ANNO_CODE_COUNT = 76;
inline constexpr int ANNO_ESCAPE_COUNT = 4;

// glyph_or_op below 0: the operations.
inline constexpr int CODE_TOGGLE_FACE = -1;  // arg: the face bits toggled
inline constexpr int CODE_SIZE_STEP = -4;    // arg: points added to the size
inline constexpr int CODE_FONT = -5;         // arg: the font code switched to
// arg of a glyph code: 0 one glyph, above 0 a second glyph's parameter, -2 a superscript
// switch, -3 a chord-symbol alteration.
inline constexpr int CODE_SUPERSCRIPT = -2;
inline constexpr int CODE_ALTERATION = -3;

// One record of the code table: the code (backslash included) and what it stands for; the
// glyph values are filled when the builder is prepared, one for each of the two glyphs.
struct anno_code_entry {
  char code[10];
  int16_t glyph_or_op;  // a character parameter (1 and up), or an operation
  int16_t arg;
  int16_t font[2], character[2], size[2], yoffset[2];
};

// The table, in its fixed order (searched from the last record to the first).
extern const anno_code_entry anno_code_table[ANNO_CODE_COUNT];
// The two-character escapes: the letter after the backslash and the character it stands for
// ("\R" return, "\N" line feed, "\\" backslash, "\ " the non-breaking space 202).
extern const char anno_escape_table[ANNO_ESCAPE_COUNT][4];

// ---- Parsing --------------------------------------------------------------------------------
// parse_anno_escapes: reads one character of coded text into `style` (a character value that
// holds the run's font, size and face on entry, and the offsets the caller wants for plain
// characters) and returns the bytes consumed. `node` is the note the text belongs to (glyph
// parameters are looked up and scaled there). With `literal` the first byte is the character
// as it is (the font override and an active superscript still apply). A null text resets the
// parser and gives 0; so does an empty one. When the text ends after operations only, the
// character is 0. A two-glyph code reports one byte less and hands out its second glyph at
// the next call. A final backslash is a backslash of its own.
// Reads and writes: anno_parse_state. Reads: the parameters at node.
int parse_anno_escapes(const char* text, ParamValue* style, Drosa node, int literal);

// ---- Building
// -------------------------------------------------------------------------------------- An
// annotation's font: font code, size, face and character set.
struct AnnoFontSpec {
  int16_t font = -5;
  int16_t size = 12;
  uint8_t face = 0;
  uint8_t charset = 0;
};

// anno_font_spec: the font of the annotation headed by `tparam`: Times 12 plain by default; a
// TPARAM without xbackslash its own; one with it the font, face and character set of its first
// run not in a music font, the size of its first run.
AnnoFontSpec anno_font_spec(Drosa tparam);

// anno_text_to_codes: with a null text, prepares the builder for the annotation headed by the
// TPARAM `run` (its font, the table's glyphs resolved at `node`) and gives 1, or 0 when the
// annotation is not coded (xbackslash clear: its runs are written as they are). Otherwise
// rewrites *text, every character of which has the font, size, face and offsets of the style
// run `run`, as coded text, going on from the state of the previous run of the annotation;
// gives 1 when the result holds a code. The text grows as it must.
// Reads and writes: anno_build_state. Reads: the parameters at node.
int anno_text_to_codes(std::string* text, Drosa run, Drosa node);

// emit_baseline_shift: appends the size-step codes that bring the builder's size to `size`
// ("\<<", "\<", "\>>", "\>"); nothing while the builder's size is 0.
void emit_baseline_shift(std::string* out, int size);

// ---- Reading an annotation character by character ---------------------------------------------
// next_anno_in_group: moves a reader to the next character of the annotation's text, across
// its TEXT nodes and further style runs: *tparam the run, *text the TEXT node, *index the
// character in it. Start with *text NIL and *tparam the head. Returns 0 at the end, with both
// nodes cleared.
int next_anno_in_group(Drosa* tparam, Drosa* text, int* index);

// ---- Text on staves of other sizes ------------------------------------------------------------
// note_text_offset: the size in points at which the run `run` of the annotation headed by
// `tparam` is drawn at `node` (a NOTE with its layout record): scaled to the note's staff
// size when the text was set for another (xtext_stsize), smaller by parameter 386 on a small
// staff for a text without one; unchanged with xno_size_adjust.
int note_text_offset(Drosa node, Drosa tparam, Drosa run);
// anno_baseline_y: that size at the screen's scale (pixels, nearest whole).
int anno_baseline_y(Drosa node, Drosa tparam, Drosa run);
// adjusted_texty: the annotation's xtexty scaled the same way (on a small staff without a set
// staff size, an offset below the reference point comes 10 x parameter 386 nearer).
// Failure: a note without a layout record seen in the current context: level 4 "Error in
// adjusted_texty()." and xtexty unchanged.
int32_t adjusted_texty(Drosa node, Drosa tparam);
