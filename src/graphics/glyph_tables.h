// glyph_tables.h: the standard font codes and the choice of the character parameter that
// draws each note head, rest and accidental, with the Simplified Music Notation mode, in which
// a note head's shape tells whether the note is sharp or flat.
#pragma once

#include <cstdint>

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

// Codes -1..-6 give the number found at start-up; anything else is already a number.
int32_t font_from_code(int32_t code);
// The code of the first standard font (Quor, Sayl, Sonata, Geneva, Times, Symbol) with that
// number; any other number is returned unchanged.
int32_t code_from_font(int32_t number);

// From now on a character of a music font that has no glyph is reported (once per font and
// code, at level 2) when it is first drawn or measured. Called at start-up.
void init_glyph_tables();

// ---- Glyph choice -------------------------------------------------------------------------
// Simplified Music Notation is on while its font is installed and the preference is set.
bool simplified_notation_on();

// The character parameter of accidental index i: 1..5 double flat, flat, natural, sharp,
// double sharp (the history marks instead when allow_simplified is set and the mode is on),
// 6..65 the special accidentals 1..60; 0 for anything else.
int glyph_table_entry(int i, int allow_simplified);

// The character parameter of a note's head or a rest's glyph; `screen` chooses the rest glyph
// the screen shows rather than the printed one.
// Reads: the note, its NTDATA (rest glyph codes, stem side, staff kind), prefs.
int note_glyph(Drosa note, int screen);

// The character parameter of a head of that shape (0..15) and value code (0 breve .. 8);
// `note` may be NIL (then no simplified head and no tablature exception).
int notehead_glyph(int shape, int value, Drosa note);

// The accidental index of the history mark a note needs in Simplified Music Notation: 0 none,
// 4 E or B sharp, 2 C or F flat, 5 a double sharp, 1 a double flat.
int shape_notehead_kind(Drosa note);

// The parameter of the stem end's y offset at the note's head: `down` 1 the top of a down
// stem, otherwise the bottom of an up stem.
int stem_end_offset_param(Drosa note, int down);

// Whether an accidental sign is drawn before the note.
int accidental_shown(Drosa note);

// Whether the note and the note before it in its staff chord share one simplified head.
// Reads: both notes' NTDATA (stem direction, head y), parameter 733 at the note.
int pair_shares_notehead(Drosa note);
