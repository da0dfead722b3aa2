// glyph_tables.h: the standard font codes and the choice of the character parameter that
// draws each note head, rest and accidental, with the Simplified Music Notation mode, in which
// a note head's shape tells whether the note is sharp or flat.
#pragma once

#include <cstdint>

#include "graphics/ge_services.h"
#include "model/model_services.h"

// ---- Font codes ------------------------------------------------------------------------

// Fonts are stored as one of six codes for the standard fonts, or as a plain font number.
enum FontCode : int16_t {
  FONT_CODE_QUOR = -1,  // the main music font
  FONT_CODE_SAYL = -2,  // the second music font (clefs, special accidentals)
  FONT_CODE_SONATA = -3,
  FONT_CODE_GENEVA = -4,
  FONT_CODE_TIMES = -5,
  FONT_CODE_SYMBOL = -6,
};

// ---- Glyph choice -------------------------------------------------------------------------

// The character parameter of a note's head or a rest's glyph; `screen` chooses the rest glyph
// the screen shows rather than the printed one.
// Reads: the note, its NTDATA (rest glyph codes, stem side, staff kind), prefs.
int note_glyph(Drosa note, int screen);

// The parameter of the stem end's y offset at the note's head: `down` 1 the top of a down
// stem, otherwise the bottom of an up stem.
int stem_end_offset_param(Drosa note, int down);
