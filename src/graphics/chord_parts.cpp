// chord_parts.cpp: what the chord and beam drawers draw note by note: heads and rest glyphs,
// ledger lines, accidentals, augmentation dots, parentheses and tablature fret numbers; and
// the x positions of dots, parentheses and fret numbers that ties, slurs and the
// justification read back.
//
// Every position comes from the layout records: the head at (xhdx, xhdy), where xhdy is the
// bottom of the head (half a space below its centre), the accidental column in xaccx, the
// stem side in xstemxoff. Nothing here walks further than the note's own staff chord.
#include "graphics/chord_parts.h"

#include <algorithm>
#include <cstdio>

#include "app/app_services.h"
#include "graphics/GE.h"
#include "graphics/glyph_tables.h"
#include "graphics/graphics_globals.h"
#include "graphics/note_colors.h"
#include "graphics/printbeam.h"
#include "layout/layout_services.h"
#include "params/param_services.h"

namespace {

constexpr int VAR_FRET_TEXT = 7, VAR_TAB_LINE = 23, VAR_LEDGER = 24, VAR_PIANO_LEDGER = 25;
constexpr int VAR_TAB_HEAD = 45, VAR_HEAD = 46, VAR_DOT = 47, VAR_ACCIDENTAL = 48;
constexpr int VAR_TAB_ERASE = 69, VAR_PARENTHESIS = 72;
constexpr int PIANO_ROLL_SHAPE = 7;
constexpr int MAX_LEDGER_LINES = 60;  // no real note needs more; a damaged y is cut short
constexpr int32_t NO_X = 255;

// 1 guitar tablature, 2 a staff without heads, stems and dots, 3 piano tablature.
int staff_kind(Drosa nt) { return nt->get(xtabtyp); }
bool on_string_tablature(Drosa nt) { return staff_kind(nt) == 1 || staff_kind(nt) == 2; }

int32_t line_spacing(int staff) {
  return staff >= 0 && staff < MAX_PSTAVES ? staff_data[staff].staff_size : 0;
}

// The written dots of a note (re-expressed for a tremolo note).
int dot_count(Drosa note) {
  int value = note->get(xlgval), dots = note->get(xdots);
  if (note->get(xtrembeam)) decode_note_type(note, &value, &dots);
  return dots;
}

// The next note of the note's staff chord along the print chain; NIL at the chord's end.
Drosa next_in_chord(Drosa note) {
  Drosa nt = note_ntdata(note);
  if (!nt || nt->get(xendscd)) return NIL;
  Drosa next = nt->get(xpnext);
  return note_ntdata(next) ? next : NIL;
}

// A head's x as the stem side of a chord with a displaced head sees it.
int32_t head_column_x(Drosa nt) {
  int32_t x = nt->get(xhdx);
  if (nt->get(xcluster) && nt->get(xstemxoff) > 0) x += nt->get(xstemxoff);
  return x;
}

}  // namespace

// ---- Heads, ledger lines, accidentals -------------------------------------------------------

void draw_notehead_char(Drosa note, int staff) {
  Drosa nt = note_ntdata(note);
  if (!nt || note->get(xhider) || note->get(xnotehead) == PIANO_ROLL_SHAPE) return;
  if (staff_kind(nt) == 2 || unprinted_note(note)) return;
  // On guitar tablature the fret number stands for the note: an ordinary head would be drawn
  // over it and hide it. The other shapes (the small head made for the tablature staff,
  // harmonics) are drawn as asked.
  if (staff_kind(nt) == 1 && !note->get(xrest) && note->get(xnotehead) == 0) return;
  const int var = staff_kind(nt) == 1 ? VAR_TAB_HEAD : VAR_HEAD;
  const int32_t x = nt->get(xhdx), y = nt->get(xhdy);
  const int print = note_glyph(note, 0);
  if (note->get(xrest)) {
    // The screen may show another rest glyph (a measure rest); the whole rest of the first
    // glyph set stands one pixel higher on the screen.
    const int screen = note_glyph(note, 1);
    const bool lifted = screen == P_WHOLE_REST && prefs.use_sonata_font() != 1;
    if (screen != print || lifted)
      GEcharacter_screen(0, x, y + (lifted ? view_transform.one_pixel : 0), staff, screen, -1, var,
                         note, 1);
  }
  GEcharacter(0, x, y, staff, print, -1, var, note, 0);
}

int screen_head_glyph(Drosa note, int32_t* x, int32_t* y) {
  Drosa nt = note_ntdata(note);
  if (!nt || note->get(xhider) || note->get(xnotehead) == PIANO_ROLL_SHAPE || staff_kind(nt) == 2 ||
      unprinted_note(note))
    return 0;
  *x = nt->get(xscrhdx);
  *y = nt->get(xscrhdy);
  if (!note->get(xrest)) return note_glyph(note, 0);
  const int screen = note_glyph(note, 1);
  if (screen == P_WHOLE_REST && prefs.use_sonata_font() != 1) *y += view_transform.one_pixel;
  return screen;
}

namespace {

// Piano tablature: the black-key lines between the staff and the note's key.
void draw_piano_ledger_lines(Drosa note, int staff, int32_t x1, int32_t x2) {
  const int key = (int(note->get(xpitch)) + 156) >> 8;
  int32_t low = 0, high = 0;
  staff_line_pitches(staff, &low, &high);
  int from = key, to = low - 1;
  if (key > high) {
    from = high + 1;
    to = key;
  } else if (key >= low) {
    return;
  }
  for (int k = std::max(from, 0); k <= std::min(to, 127); ++k) {
    const int32_t width = pitch_tab_string(k, staff);
    if (width <= 0) continue;
    const int32_t y = std::max<int32_t>(0, pitch_to_staff_y(k, staff) - width / 2);
    GEline(0, x1, y, staff, 0, x2, y, staff, 0, width, 0, 0, 0, 0, 0, 0, 0, VAR_PIANO_LEDGER, note);
  }
}

}  // namespace

void draw_ledger_lines(Drosa note, int staff) {
  Drosa nt = note_ntdata(note);
  if (!nt || note->get(xrest) || on_string_tablature(nt) || unprinted_note(note)) return;
  const bool piano = staff >= 0 && staff < MAX_PSTAVES && staff_data[staff].staff_type == 3;
  const int32_t s = line_spacing(staff), y = nt->get(xhdy);
  if (!piano && s <= 0) return;
  // The first line out from the staff towards the head, found before the lines are measured:
  // most heads need none.
  const bool above = !piano && y >= staff_data[staff].middle_y;
  const int32_t from = piano ? 0 : above ? staff_top_y(staff, 0) + s : staff_bottom_y(staff, 0) - s;
  if (!piano && (above ? from >= y + s : from <= y)) return;
  const bool simplified = simplified_notation_on();
  const int32_t x = nt->get(xhdx);
  const int32_t x1 = x - param_length(simplified ? P_SIMPLIFIED_NOTATION_LEDGER_LINE_TO_LEFT_OF_NOTE
                                                 : P_LEDGER_LINE_LENGTH_TO_LEFT_OF_NOTE,
                                      note);
  const int32_t x2 =
      x + hdw(note, 0) +
      param_length(simplified ? P_SIMPLIFIED_NOTATION_LEDGER_LINE_TO_RIGHT_OF_NOTEHEAD
                              : P_LEDGER_LINE_LENGTH_TO_RIGHT_OF_NOTEHEAD,
                   note);
  if (piano) {
    draw_piano_ledger_lines(note, staff, x1, x2);
    return;
  }
  const int32_t width = param_length(P_LEDGER_LINE_WIDTH, note);
  auto line_at = [&](int32_t line) {
    const int32_t at = std::max<int32_t>(0, line - width / 2);
    GEline(0, x1, at, staff, 0, x2, at, staff, 0, width, 0, 0, 0, 0, 0, 0, 0, VAR_LEDGER, note);
  };
  int n = 0;
  if (above) {
    for (int32_t line = from; line < y + s && n < MAX_LEDGER_LINES; line += s, ++n) line_at(line);
  } else {
    for (int32_t line = from; line > y && n < MAX_LEDGER_LINES; line -= s, ++n) line_at(line);
  }
}

void drawacc(Drosa note, int staff) {
  Drosa nt = note_ntdata(note);
  if (!nt || !accidental_shown(note) || staff_kind(nt) != 0) return;
  const int acc = note->get(xacc);
  if (acc > 5) {
    REPORT_ERROR(2, "No character for accidental number %hd; accidental omitted.", short(acc));
    return;
  }
  int32_t x = nt->get(xhdx) - 5 * int32_t(nt->get(xaccx));
  const int32_t y = nt->get(xhdy);
  Drosa spacc = find_prev_kind_stop(SPACC, note, ENDSYST);
  if (!spacc) {
    GEcharacter(0, x, y, staff, glyph_table_entry(acc, 1), -1, VAR_ACCIDENTAL, note, 0);
    return;
  }
  const int count = spacc->get(xnumspacc);
  if (count < 1 || count > 15) {
    REPORT_ERROR(4, "drawacc finds xnumspacc(%lx) out of range: %hd", (unsigned long)spacc.handle(),
                 short(count));
    return;
  }
  for (int i = 0; i < count; ++i) {
    const int entry = spacc->get(xspacc_entry, i);
    const int glyph = glyph_table_entry(entry, 1);
    if (glyph == 0) continue;
    GEcharacter(0, x, y, staff, glyph, -1, VAR_ACCIDENTAL, note, 0);
    x += param_group_width(note, nullptr, entry, NIL);
  }
}

// ---- Dots -----------------------------------------------------------------------------------

int32_t dot_x_offset(Drosa note) {
  Drosa nt = note_ntdata(note);
  if (!nt) return 0;
  if (note->get(xrest))
    return nt->get(xhdx) + rest_width(note, 0) +
           param_length(P_SPACE_LEFT_BETWEEN_NOTE_AND_ITS_DOT, note);
  Drosa extreme = stem_group_extreme(note, nullptr);
  return head_column_x(nt) + hdw(note, 0) +
         param_length(P_SPACE_LEFT_BETWEEN_NOTE_AND_ITS_DOT, extreme ? extreme : note);
}

int32_t dot_positions(Drosa note) {
  const int32_t x = dot_x_offset(note);
  if (!note_ntdata(note) || note->get(xrest)) return x;
  Drosa first = NIL, last = NIL;
  chord_extent(note, &first, &last);
  Drosa a = note_ntdata(first), b = note_ntdata(last);
  if (!a || !b || first->get(xrest) || last->get(xrest)) return x;
  if (a->get(xstmdir) == b->get(xstmdir)) return x;
  if (a->get(xhdx) + a->get(xstemxoff) == b->get(xhdx) + b->get(xstemxoff)) return x;
  return std::max(dot_x_offset(first), dot_x_offset(last));
}

namespace {

// The y at which a note's dots stand: in the space of a head in a space, in the space above a
// head on a line, moved clear of the chord's other notes. NO_DOTS when another note of the
// chord draws them.
constexpr int32_t NO_DOTS = INT32_MIN;

// Whether a note of the chord other than `note` stands at y.
bool chord_has_head_at(Drosa note, int32_t y) {
  Drosa first = NIL, last = NIL;
  chord_extent(note, &first, &last);
  for (Drosa p = first; note_ntdata(p); p = note_ntdata(p)->get(xpnext)) {
    if (p != note && !p->get(xrest) && note_ntdata(p)->get(xhdy) == y) return true;
    if (p == last || note_ntdata(p)->get(xendscd)) break;
  }
  return false;
}

// In a chord of two voices: a stem-down note leaves its dots to a stem-up note at the same
// place, and takes them below its line unless it stands above the stem-up group.
int32_t opposed_stems_dot_y(Drosa note, Drosa nt, int32_t y, bool on_line, int32_t s) {
  if (nt->get(xstmdir) == 2)
    return on_line && chord_has_head_at(note, nt->get(xhdy) + s / 2) ? y - s : y;
  if (param_value(P_DOTS_OK_BELOW_LINE_FOR_NOTES_ON_LINE, note, nullptr)->integer() == 0) return y;
  Drosa first = NIL, last = NIL;
  chord_extent(note, &first, &last);
  int32_t highest_up = INT32_MIN;
  for (Drosa p = first; note_ntdata(p); p = note_ntdata(p)->get(xpnext)) {
    Drosa pnt = note_ntdata(p);
    if (pnt->get(xstmdir) == 2 && !p->get(xrest)) {
      if (pnt->get(xhdy) == nt->get(xhdy) && pnt->get(xhdx) == nt->get(xhdx) &&
          dot_count(p) == dot_count(note))
        return NO_DOTS;
      highest_up = std::max(highest_up, pnt->get(xhdy));
    }
    if (p == last || pnt->get(xendscd)) break;
  }
  return on_line && highest_up != INT32_MIN && nt->get(xhdy) <= highest_up ? y - s : y;
}

int32_t dot_y(Drosa note, Drosa nt, int staff) {
  const int32_t s = line_spacing(staff), head = nt->get(xhdy);
  if (s <= 0) return head;
  const int32_t bottom = staff_bottom_y(staff, 0);
  const int64_t d = int64_t(head) - bottom;
  const int64_t steps = d >= 0 ? (d + s - 1) / s : -((-d) / s);
  int32_t y = int32_t(bottom + steps * s);
  const bool on_line = y != head;
  if (note->get(xrest)) return note->get(xlgval) > 5 ? y + s : y;
  Drosa cd = cddatptr(note, 1);
  if (cd && cd->get(xoppos)) {
    y = opposed_stems_dot_y(note, nt, y, on_line, s);
    if (y == NO_DOTS) return y;
  }
  // A second above a note on a line takes the space above it: this note's dots go below.
  Drosa next = next_in_chord(note);
  if (on_line && next && !next->get(xrest) && dot_count(next) > 0 &&
      note_ntdata(next)->get(xhdy) - head == s / 2)
    y -= s;
  return y;
}

}  // namespace

void draw_dots(Drosa note, int staff) {
  Drosa nt = note_ntdata(note);
  if (!nt || staff_kind(nt) == 2 || note->get(xnotehead) == PIANO_ROLL_SHAPE) return;
  if ((note->get(xrest) && note->get(xhider)) || unprinted_note(note)) return;
  const int dots = dot_count(note);
  if (dots == 0) return;
  const int32_t y = dot_y(note, nt, staff);
  if (y == NO_DOTS) return;
  const int32_t x = dot_positions(note);
  GEcharacter(0, x, y, staff, dots == 1 ? P_DOT_FOR_DOTTED_NOTES : P_DOUBLE_DOT, -1, VAR_DOT, note,
              0);
  if (dots == 3)
    GEcharacter(0, x, y, staff, P_THIRD_DOT_FOR_TRIPLE_DOTTED_NOTES, -1, VAR_DOT, note, 0);
}

// ---- Marks beside the head --------------------------------------------------------------------

int32_t paren_right_x(Drosa note) {
  Drosa nt = note_ntdata(note);
  if (!nt) return 0;
  if (on_string_tablature(nt) && !note->get(xrest)) {
    VirtualRect box;
    int32_t x = 0;
    draw_tab_fret(note, &box, &x);
    return box.x2;
  }
  static const int dot_space[4] = {0, P_SPACE_GIVEN_FOR_WIDTH_OF_DOT,
                                   P_SPACE_GIVEN_FOR_WIDTH_OF_DOUBLE_DOT,
                                   P_SPACE_GIVEN_FOR_WIDTH_OF_TRIPLE_DOT};
  if (const int dots = dot_count(note))
    return dot_positions(note) + param_length(dot_space[dots], note);
  if (note->get(xrest)) return nt->get(xhdx) + rest_width(note, 0);
  return head_column_x(nt) + hdw(note, 0);
}

int32_t paren_left_x(Drosa note) {
  Drosa nt = note_ntdata(note);
  if (!nt) return 0;
  int32_t left = nt->get(xhdx);
  if (on_string_tablature(nt) && !note->get(xrest)) {
    VirtualRect box;
    draw_tab_fret(note, &box, &left);
  } else if (accidental_shown(note) && nt->get(xaccx) != NO_X) {
    left = std::min(left, nt->get(xhdx) - 5 * int32_t(nt->get(xaccx)));
  }
  return left - param_length(P_WIDTH_OF_NOTE_HEAD_PARENTHESES_CHARACTERS, note);
}

void draw_note_marks(Drosa note, int staff) {
  Drosa nt = note_ntdata(note);
  if (!nt || note->get(xparen) == 0) return;
  const bool tablature = on_string_tablature(nt);
  const int32_t y = nt->get(xhdy);
  GEcharacter(0, paren_left_x(note), y, staff,
              tablature ? P_PARENTHESIS_TO_LEFT_OF_GUITAR_TABLATURE_NOTE
                        : P_PARENTHESIS_TO_LEFT_OF_STANDARD_NOTATION_NOTE_HEAD,
              -1, VAR_PARENTHESIS, note, 0);
  GEcharacter(0, paren_right_x(note), y, staff,
              tablature ? P_PARENTHESIS_TO_RIGHT_OF_GUITAR_TABLATURE_NOTE
                        : P_PARENTHESIS_TO_RIGHT_OF_STANDARD_NOTATION_NOTE_HEAD,
              -1, VAR_PARENTHESIS, note, 0);
}

// ---- Tablature ------------------------------------------------------------------------------

int32_t check_tab_string(Drosa note, int string) {
  if (string < 1 || string > 7) {
    REPORT_ERROR(4, "String number out of range for tablature: note %lx string %hd",
                 (unsigned long)note.handle(), short(string));
    return 0;
  }
  const int32_t open =
      param_value(P_MIDI_PITCH_FOR_STRING_1_IN_GUITAR_TABLATURE - 1 + string, note, nullptr)
          ->integer();
  return int32_t(note->get(xpitch) >> 8) - open;
}

namespace {

// The x adjustment of a fret number of one or of two digits.
int32_t fret_x_adjust(Drosa note, Drosa nt, int32_t fret) {
  const bool up = nt->get(xstmdir) == 2;
  if (fret > 9)
    return param_length(up ? P_X_ADJUST_FOR_TWO_DIGIT_STEM_UP_GUITAR_TABLATURE_NUMBERS
                           : P_X_ADJUST_FOR_TWO_DIGIT_STEMLESS_GUITAR_TABLATURE_NUMBERS,
                        note);
  return param_length(up ? P_X_ADJUST_FOR_SINGLE_DIGIT_STEM_UP_GUITAR_TABLATURE_NUMBERS
                         : P_X_ADJUST_FOR_SINGLE_DIGIT_STEMLESS_GUITAR_TABLATURE_NUMBERS,
                      note);
}

}  // namespace

int32_t tab_fret_width(Drosa note) {
  Drosa nt = note_ntdata(note);
  return nt ? fret_x_adjust(note, nt, check_tab_string(note, nt->get(xtabstr))) : 0;
}

namespace {

// The fret number's text, font and place: after the x adjustment of its digits, its digits
// centred on the string line (the head's centre, half a staff space above xhdy).
struct FretText {
  char text[16];
  ParamValue font;
  int32_t fret, x, y, width, height;
};

FretText fret_text(Drosa note, Drosa nt) {
  FretText f;
  f.fret = check_tab_string(note, nt->get(xtabstr));
  std::snprintf(f.text, sizeof f.text, "%hd", short(f.fret));
  scaled_char_param(&f.font, note->get(xthumb) ? 581 : 550, note, nullptr);
  f.width = param_string_width(f.font, f.text);
  f.height = 7 * int32_t(f.font.size());  // a digit's height: about 0.7 of the point size
  f.x = nt->get(xhdx) + fret_x_adjust(note, nt, f.fret);
  f.y = nt->get(xhdy) + nt->get(xstsize) / 2 - f.height / 2;
  return f;
}

}  // namespace

int32_t draw_tab_fret(Drosa note, VirtualRect* box, int32_t* x) {
  Drosa nt = note_ntdata(note);
  if (!nt) return 0;
  const FretText f = fret_text(note, nt);
  if (box) *box = VirtualRect{f.x, f.y, f.x + f.width, f.y + f.height};
  if (x) *x = f.x;
  return f.fret;
}

void draw_tab_chord(Drosa note, int staff) {
  Drosa nt = note_ntdata(note);
  if (!nt || !on_string_tablature(nt) || note->get(xrest)) return;
  const FretText f = fret_text(note, nt);
  if (note->get(xnotehead) == PIANO_ROLL_SHAPE) {
    const int32_t width = param_length(P_PIANO_ROLL_WIDTH, note), y = nt->get(xhdy);
    GEline(0, nt->get(xhdx), y, staff, 0, f.x + f.width, y, staff, 0, width, 0, 0, 0, 0, 0, 0,
           note_color_index(note), VAR_TAB_LINE, note);
    return;
  }
  if (const int32_t erase = param_length(P_LENGTH_OF_STAFF_TO_ERASE_AROUND_TABLATURE, note);
      erase > 0) {
    GEline(BICMODE, f.x - erase, f.y, staff, 0, f.x + f.width + erase, f.y, staff, 0, f.height, 0,
           0, 0, 0, 0, 0, 0, VAR_TAB_ERASE, note);
  }
  GEstring(0, f.x, f.y, 0, 0, staff, font_from_code(f.font.font()), f.font.bytes[2], f.font.size(),
           f.font.style(), -1, f.text, 0, VAR_FRET_TEXT, note, NIL);
}

// ---- For the slur pass ------------------------------------------------------------------------

int slur_chain_test(Drosa note) {
  if (!is_NOTE(note) || note->get(xparen) != 0) return 0;
  Drosa bar = NIL;
  for (Drosa p = note->xback; p && !bar; p = p->xback) {
    const int kind = effective_kind(p);
    if (kind == BAR || kind == ENDSYST) bar = p;
  }
  Drosa p = bar ? find_prev_kind(NOTE, bar) : NIL;
  int tied = 0;
  for (bool first = true; p; p = find_prev_kind(NOTE, p), first = false) {
    // Entering an earlier chord: the walk goes on only through a chord that was tied.
    if (p->get(xendvcd) && !first) {
      if (!tied) return 0;
      tied = 0;
    }
    if ((p->get(xbendtie) && p->get(xtie)) || (p->get(xbendslur) && p->get(xslur))) return 1;
    tied |= p->get(xtie);
  }
  return 0;
}
