// glyph_tables.cpp: font codes, and which character parameter draws each note head, rest and
// accidental. Pure lookups over a note and the NTDATA that follows it.
//
// In Simplified Music Notation the shape of a head tells a black key: a flat head for a note
// spelled flat, a sharp head for every other spelled alteration. A note whose spelling the
// shape cannot show (E, B sharp, C, F flat, double alterations: "exceptional") keeps the normal
// head and gets a small history mark before it. Diatonic steps are taken modulo 7 rounding
// down, so a position below the lowest octave still names its note.
#include "graphics/glyph_tables.h"

#include "app/app_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"
#include "platform/fonts.h"
#include "platform/glyph_map.h"

namespace {

// Parameters of the head-shape table, by value code 0 (breve), 1 (whole), 2 (half), 3..8.
constexpr int NORMAL_HEADS[4] = {P_BREVE_NOTE_HEAD, P_WHOLE_NOTE_HEAD, P_HALF_NOTE_HEAD,
                                 P_QUARTER_NOTE_HEAD};
constexpr int PERCUSSION_HEADS[4] = {P_PERCUSSION_WHOLE_NOTE_HEAD, P_PERCUSSION_WHOLE_NOTE_HEAD,
                                     P_PERCUSSION_HALF_NOTE_HEAD, P_PERCUSSION_QUARTER_NOTE_HEAD};
constexpr int SQUARE_HEADS[4] = {P_SQUARE_BREVE_NOTE_HEAD, P_SQUARE_WHOLE_NOTE_HEAD,
                                 P_SQUARE_HALF_NOTE_HEAD, P_SQUARE_QUARTER_NOTE_HEAD};
constexpr int BLANK_SHAPE = 6;  // the head shape drawn with the blank head
// Shapes 2..7 draw one parameter for every value.
constexpr int SHAPE_HEADS[8] = {0,
                                0,
                                P_OPEN_HARMONIC_NOTE_HEAD,
                                P_CLOSED_HARMONIC_NOTE_HEAD,
                                P_OPEN_LOZENGE_NOTE_HEAD,
                                P_CLOSED_LOZENGE_NOTE_HEAD,
                                P_BLANK_NOTE_HEAD,
                                P_PIANO_ROLL_INDICATOR};

// Simplified heads by value code 0, 1, 2, 3..8.
constexpr int SHARP_STEM_RIGHT[4] = {
    P_SIMPLIFIED_SHARP_BREVE_NOTE_HEAD, P_SIMPLIFIED_SHARP_OPEN_NOTE_HEAD_STEM_LEFT_747,
    P_SIMPLIFIED_SHARP_OPEN_NOTE_HEAD_STEM_RIGHT, P_SIMPLIFIED_SHARP_CLOSED_NOTE_HEAD_STEM_RIGHT};
constexpr int SHARP_STEM_LEFT[4] = {
    P_SIMPLIFIED_SHARP_BREVE_NOTE_HEAD, P_SIMPLIFIED_SHARP_OPEN_NOTE_HEAD_STEM_LEFT_747,
    P_SIMPLIFIED_SHARP_OPEN_NOTE_HEAD_STEM_LEFT_677, P_SIMPLIFIED_SHARP_CLOSED_NOTE_HEAD_STEM_LEFT};
constexpr int FLAT_STEM_RIGHT[4] = {
    P_SIMPLIFIED_FLAT_BREVE_NOTE_HEAD, P_SIMPLIFIED_FLAT_OPEN_NOTE_HEAD_STEM_LEFT_748,
    P_SIMPLIFIED_FLAT_OPEN_NOTE_HEAD_STEM_RIGHT, P_SIMPLIFIED_FLAT_CLOSED_NOTE_HEAD_STEM_RIGHT};
constexpr int FLAT_STEM_LEFT[4] = {
    P_SIMPLIFIED_FLAT_BREVE_NOTE_HEAD, P_SIMPLIFIED_FLAT_OPEN_NOTE_HEAD_STEM_LEFT_748,
    P_SIMPLIFIED_FLAT_OPEN_NOTE_HEAD_STEM_LEFT_702, P_SIMPLIFIED_FLAT_CLOSED_NOTE_HEAD_STEM_LEFT};

// Rests by value code 0..8, and the whole-measure and multi-measure rests.
constexpr int RESTS[9] = {P_DOUBLE_WHOLE_REST, P_WHOLE_REST,  P_HALF_REST,
                          P_QUARTER_REST,      P_EIGHTH_REST, P_16TH_REST,
                          P_32ND_REST,         P_64TH_REST,   P_128TH_REST};

// Simplified stem offsets: flat then sharp, for breves, open heads and closed heads.
constexpr int SIMPLIFIED_UP_STEM[3][2] = {
    {P_Y_OFFSET_FOR_BOT_OF_UP_STEM_SIMPLIFIED_FLAT_BREVE_HEAD,
     P_Y_OFFSET_FOR_BOT_OF_UP_STEM_SIMPLIFIED_SHARP_BREVE_HEAD},
    {P_Y_OFFSET_FOR_BOT_OF_UP_STEM_SIMPLIFIED_FLAT_OPEN_HEAD,
     P_Y_OFFSET_FOR_BOT_OF_UP_STEM_SIMPLIFIED_SHARP_OPEN_HEAD},
    {P_Y_OFFSET_FOR_BOT_OF_UP_STEM_SIMPLIFIED_FLAT_CLOSED_HEAD,
     P_Y_OFFSET_FOR_BOT_OF_UP_STEM_SIMPLIFIED_SHARP_CLOSED_HEAD}};
constexpr int SIMPLIFIED_DOWN_STEM[3][2] = {
    {P_Y_OFFSET_FOR_TOP_OF_DN_STEM_SIMPLIFIED_FLAT_BREVE_HEAD,
     P_Y_OFFSET_FOR_TOP_OF_DN_STEM_SIMPLIFIED_SHARP_BREVE_HEAD},
    {P_Y_OFFSET_FOR_TOP_OF_DN_STEM_SIMPLIFIED_FLAT_OPEN_HEAD,
     P_Y_OFFSET_FOR_TOP_OF_DN_STEM_SIMPLIFIED_SHARP_OPEN_HEAD},
    {P_Y_OFFSET_FOR_TOP_OF_DN_STEM_SIMPLIFIED_FLAT_CLOSED_HEAD,
     P_Y_OFFSET_FOR_TOP_OF_DN_STEM_SIMPLIFIED_SHARP_CLOSED_HEAD}};

enum Accidental { DOUBLE_FLAT = 1, FLAT = 2, NATURAL = 3, SHARP = 4, DOUBLE_SHARP = 5 };

// The column of a value code in the tables of four.
int value_column(int value) { return value < 0 ? 3 : value > 3 ? 3 : value; }

int step_of(int position) { return ((position % 7) + 7) % 7; }

// The NTDATA of a note in the print chain (the layout keeps it right after the note).
Drosa layout_record(Drosa note) { return is_NOTE(note) ? note_ntdata(note) : NIL; }

int standard_font(int32_t code) {
  switch (code) {
    case FONT_CODE_QUOR:
      return music_font_numbers[FONT_SLOT_QUOR];
    case FONT_CODE_SAYL:
      return music_font_numbers[FONT_SLOT_SAYL];
    case FONT_CODE_SONATA:
      return music_font_numbers[FONT_SLOT_SONATA];
    case FONT_CODE_GENEVA:
      return music_font_numbers[FONT_SLOT_GENEVA];
    case FONT_CODE_TIMES:
      return music_font_numbers[FONT_SLOT_TIMES];
    case FONT_CODE_SYMBOL:
      return music_font_numbers[FONT_SLOT_SYMBOL];
    default:
      return code;
  }
}

// The head of shape 0: normal, or simplified by the note's spelling and stem side.
int normal_head(int value, Drosa note) {
  const int column = value_column(value);
  if (!note || note == current_note_template || !simplified_notation_on() ||
      note->get(xacc) == NATURAL || shape_notehead_kind(note) != 0)
    return NORMAL_HEADS[column];
  const bool flat = note->get(xacc) == FLAT;
  Drosa nt = note_ntdata(note);
  const bool stem_right = nt && nt->get(xstemxoff) != 0;
  if (flat) return stem_right ? FLAT_STEM_RIGHT[column] : FLAT_STEM_LEFT[column];
  return stem_right ? SHARP_STEM_RIGHT[column] : SHARP_STEM_LEFT[column];
}

// The value code drawn for a note: a tremolo-beam note's value is re-expressed.
int drawn_value(Drosa note) {
  int value = note->get(xlgval), dots = 0;
  if (note->get(xtrembeam)) decode_note_type(note, &value, &dots);
  return value;
}

void report_unmapped_glyph(int font_number, int code) {
  REPORT_ERROR(2, "The music font %s has no symbol for character %d, so it is left out.",
               platform_font_name(font_number).c_str(), code);
}

}  // namespace

void init_glyph_tables() {
  platform_forget_unmapped_glyphs();
  platform_set_unmapped_glyph_handler(report_unmapped_glyph);
}

int32_t font_from_code(int32_t code) { return standard_font(code); }

int32_t code_from_font(int32_t number) {
  for (int32_t code = FONT_CODE_QUOR; code >= FONT_CODE_SYMBOL; --code)
    if (standard_font(code) == number) return code;
  return number;
}

bool simplified_notation_on() {
  return music_font_numbers[FONT_SLOT_SIMPLIFIED] != 0 && prefs.use_simplified_notation() != 0;
}

int glyph_table_entry(int i, int allow_simplified) {
  static const int plain[6] = {0, 25, 26, 27, 28, 29};
  static const int simplified[6] = {0, 715, 716, 27, 717, 718};
  if (i >= 6 && i <= 65) return 413 + i;
  if (i < 1 || i > 5) return 0;
  return allow_simplified && simplified_notation_on() ? simplified[i] : plain[i];
}

int note_glyph(Drosa note, int screen) {
  if (!is_NOTE(note)) return P_BLANK_NOTE_HEAD;
  const int value = drawn_value(note);
  if (!note->get(xrest)) return notehead_glyph(note->get(xnotehead), value, note);
  if (note->get(xnotehead) == 7) return P_BLANK_NOTE_HEAD;
  Drosa nt = note_ntdata(note);
  const int code = nt ? (screen ? nt->get(xscrrestchar) : nt->get(xrestchar)) : 0;
  if (code == 1) return P_WHOLE_REST;
  if (code == 2) return P_MULTI_REST;
  return RESTS[value < 0 ? 0 : value > 8 ? 8 : value];
}

int notehead_glyph(int shape, int value, Drosa note) {
  const int column = value_column(value);
  switch (shape) {
    case 0:
      return normal_head(value, note);
    case 1: {
      Drosa nt = note ? note_ntdata(note) : NIL;
      const int staff_kind = nt ? nt->get(xtabtyp) : 0;
      if (value > 2 && (staff_kind == 1 || staff_kind == 2))
        return P_PERCUSSION_QUARTER_NOTE_HEAD_FOR_GUITAR_TAB_STAFF;
      return PERCUSSION_HEADS[column];
    }
    case 8:
      return SQUARE_HEADS[column];
    default:
      return shape >= 2 && shape <= 7 ? SHAPE_HEADS[shape] : P_BLANK_NOTE_HEAD;
  }
}

int shape_notehead_kind(Drosa note) {
  if (!simplified_notation_on() || !is_NOTE(note)) return 0;
  const int step = step_of(note->get(xmod7));
  switch (note->get(xacc)) {
    case SHARP:
      return step == 2 || step == 6 ? SHARP : 0;  // E sharp, B sharp
    case FLAT:
      return step == 0 || step == 3 ? FLAT : 0;  // C flat, F flat
    case DOUBLE_SHARP:
      return DOUBLE_SHARP;
    case DOUBLE_FLAT:
      return DOUBLE_FLAT;
    default:
      return 0;
  }
}

int stem_end_offset_param(Drosa note, int down) {
  const int shape = note ? note->get(xnotehead) : 0;
  if (simplified_notation_on() && is_NOTE(note) && shape_notehead_kind(note) == 0 &&
      note->get(xacc) != NATURAL) {
    const int sharp = note->get(xacc) == FLAT ? 0 : 1;
    if (!down && sharp && pair_shares_notehead(note))
      return P_Y_OFFSET_FOR_UP_STEM_SHARED_SIMPLIFIED_SHARP_HEAD;
    const int value = note->get(xlgval);
    const int kind = value == 0 ? 0 : value <= 2 ? 1 : 2;
    return down == 1 ? SIMPLIFIED_DOWN_STEM[kind][sharp] : SIMPLIFIED_UP_STEM[kind][sharp];
  }
  return down == 1 ? P_Y_OFFSET_FOR_TOP_OF_DOWN_STEM_NORMAL_NOTE_HEADS + shape
                   : P_Y_OFFSET_FOR_BOTTOM_OF_UP_STEM_NORMAL_NOTE_HEADS + shape;
}

int unprinted_note(Drosa note) {
  return is_NOTE(note) && !note->get(xrest) && note->get(xnotehead) == BLANK_SHAPE &&
         note->get(xnostem);
}

int accidental_shown(Drosa note) {
  if (!is_NOTE(note) || note->get(xacc) == 0 || unprinted_note(note)) return 0;
  if (!simplified_notation_on()) return note->get(xaccplot);
  const int mark = shape_notehead_kind(note);
  if (note->get(xaccplot)) return mark != 0;
  return mark == SHARP || mark == FLAT;
}

int pair_shares_notehead(Drosa note) {
  if (!is_NOTE(note) || note->get(xnotehead) != 0 || note->get(xrest) || !simplified_notation_on())
    return 0;
  Drosa nt = layout_record(note);
  if (!nt || nt->get(xstmdir) != 2) return 0;
  Drosa prev = nt->get(xpback);
  Drosa prev_nt = layout_record(prev);
  // The previous note of the chain ends the chord before this one: this note is its first.
  if (!prev_nt || prev_nt->get(xendscd) || prev_nt->get(xstmdir) != 1 || prev->get(xrest)) return 0;
  if (nt->get(xhdy) != prev_nt->get(xhdy)) return 0;
  // Both halves, or both quarters and shorter; longer values never share.
  const int a = note->get(xlgval), b = prev->get(xlgval);
  if (!((a == 2 && b == 2) || (a >= 3 && b >= 3))) return 0;
  if (note->get(xacc) != prev->get(xacc) || note->get(xaccplot) != prev->get(xaccplot)) return 0;
  if (note->get(xdots) != prev->get(xdots) &&
      param_value(P_DOT_DISCREPANCY_OK_FOR_SHARED_NOTE_HEADS, note, nullptr)->integer() == 0)
    return 0;
  return 1;
}
