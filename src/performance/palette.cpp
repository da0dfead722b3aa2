// palette.cpp: the note-attribute palette of the piano window (palette.h): the boxes' layout,
// the palette's drawing with the selection's values, clicks on boxes with their grace and
// tuplet dialogs, the per-note callbacks, and the special-accidental rows.
//
// Box layout. The boxes fill 25 columns of 20 pixels from x 18, rows 31..60; a box is full
// height or the upper or lower half of its column (a full or lower box ends a column). A few
// boxes are moved by a pixel or two to fit their symbols.
//
// The palette is drawn whole after every change it shows (the port keeps what is drawn, so
// nothing flickers); a click first inverts its box as feedback.
#include "performance/palette.h"

#include <algorithm>
#include <cmath>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "params/param_services.h"
#include "performance/note_entry.h"
#include "performance/perfdata.h"
#include "performance/performance_globals.h"
#include "performance/performance_services.h"
#include "performance/piano_draw.h"
#include "performance/pianowin.h"
#include "platform/fonts.h"
#include "platform/window.h"

namespace {

constexpr int FULL = 0, UPPER = 1, LOWER = 2;
constexpr int8_t KINDS[PALETTE_BOXES] = {
    UPPER, LOWER, UPPER, LOWER, UPPER, LOWER, UPPER, LOWER, UPPER, LOWER, UPPER, LOWER,
    UPPER, LOWER, UPPER, LOWER, FULL,  FULL,  FULL,  FULL,  FULL,  FULL,  FULL,  FULL,
    FULL,  FULL,  FULL,  FULL,  FULL,  FULL,  FULL,  UPPER, LOWER, UPPER, LOWER};
// The engraving parameter of each box's symbol (0: a label, or drawn otherwise).
constexpr int16_t GLYPHS[PALETTE_BOXES] = {0,
                                           0,
                                           P_ACCENT_HORIZONTAL,
                                           P_FERMATA_ABOVE_NOTE,
                                           P_STACCATO_MARK,
                                           P_TENUTO_MARK,
                                           0,
                                           0,
                                           0,
                                           P_TRIPLE_SLASH_TREMOLO_MARK,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           P_PIANOWINDOW_BREVE_SYMBOL,
                                           P_WHOLE_NOTE_FOR_TEMPO_MARKINGS,
                                           P_HALF_NOTE_FOR_TEMPO_MARKINGS,
                                           P_QUARTER_NOTE_FOR_TEMPO_MARKINGS,
                                           P_EIGHTH_NOTE_FOR_TEMPO_MARKINGS,
                                           P_16TH_NOTE_FOR_TEMPO_MARKINGS,
                                           P_32ND_NOTE_FOR_TEMPO_MARKINGS,
                                           P_PIANOWINDOW_64TH_SYMBOL,
                                           P_PIANOWINDOW_128TH_SYMBOL,
                                           P_ACCIDENTAL_FOR_PIANO_WINDOW_ONLY_573,
                                           P_ACCIDENTAL_FOR_PIANO_WINDOW_ONLY_574,
                                           P_ACCIDENTAL_FOR_PIANO_WINDOW_ONLY_575,
                                           P_ACCIDENTAL_FOR_PIANO_WINDOW_ONLY_576,
                                           P_ACCIDENTAL_FOR_PIANO_WINDOW_ONLY_577,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0};
constexpr const char* LABELS[PALETTE_BOXES] = {
    "",     "", "",      "", "", "", "Tie", "Slur", "( )", "", "Cue", "Gliss",
    "Kill", "", "Grace", "", "", "", "",    "",     "",    "", "",    "",
    "",     "", "",      "", "", "", "",    "",     "",    "", ""};
constexpr int8_t X_OFFSETS[PALETTE_BOXES] = {2, 2, 7, 6, 6, 6, 3, 1, 5, 7, 1, 0, 3, 5, 0, 5, 1, 3,
                                             4, 4, 2, 2, 2, 2, 2, 6, 6, 6, 6, 6, 0, 3, 3, 0, 5};
constexpr int8_t Y_OFFSETS[PALETTE_BOXES] = {2, 3, 2, 4, 5, 4, 2, 3, 3, 3, 2, 3, 2, 3, 2,  2, 4, 4,
                                             4, 4, 4, 4, 4, 4, 4, 4, 4, 6, 6, 5, 0, 3, 11, 0, 0};
// Usable outside entry mode, without and with duration edits.
constexpr bool ENABLED_NORMAL[PALETTE_BOXES] = {
    false, false, true,  true,  true,  true,  true,  true,  true,  true,  true,  true,
    false, true,  false, false, false, false, false, false, false, false, false, false,
    false, true,  true,  true,  true,  true,  false, true,  true,  false, true};
constexpr bool ENABLED_EDITS[PALETTE_BOXES] = {
    false, false, true,  true, true, true, true,  true, true, true,  true, true,
    true,  true,  false, true, true, true, true,  true, true, true,  true, true,
    true,  true,  true,  true, true, true, false, true, true, false, true};

constexpr int BOX_ACCENT = 2, BOX_FERMATA = 3, BOX_STACCATO = 4, BOX_TENUTO = 5, BOX_TIE = 6;
constexpr int BOX_SLUR = 7, BOX_PAREN = 8, BOX_TREMOLO = 9, BOX_CUE = 10, BOX_GLISS = 11;
constexpr int BOX_ADD = 12, BOX_HEAD = 13, BOX_GRACE = 14, BOX_TUPLET = 15, BOX_BREVE = 16;
constexpr int BOX_LAST_VALUE = 24, BOX_FIRST_ACC = 25, BOX_LAST_ACC = 29, BOX_UP = 31;
constexpr int BOX_DOWN = 32, BOX_SQUARE = 34;

constexpr int ROWS_TOP = 60, SPECIAL_CODES = 60, FIRST_SPECIAL = 6, MAX_GROUP = 15;
constexpr int GROUP_ITEM = 9;

bool notes_locked_with_voices() {
  return voice_count > 0 && options_i16(current_ncontext, OPTIONS_CONTEXT_EDIT_LOCK) != 0;
}
bool published_with_view() {
  return current_view_index >= 0 && options_i16(1, OPTIONS_PUBLISHED) != 0;
}
bool palette_refused() { return notes_locked_with_voices() || published_with_view(); }

bool box_usable(int box, bool entry) {
  if (recording_active || palette_refused()) return false;
  if (entry) return true;
  return duration_edits_enabled ? ENABLED_EDITS[box] : ENABLED_NORMAL[box];
}

Drosa tmpl() { return current_note_template; }

Rect box_rect(int box) {
  Rect r;
  boxnum_to_rect(box, &r);
  return r;
}

// Sets the text style of parameter 1 (the tuplet numbers) and gives back what was set before.
struct TupletFont {
  int font = current_text_font(), size = current_text_size(), face = current_text_face();
  explicit TupletFont(bool with_style) {
    ParamValue value;
    scaled_char_param(&value, P_FONT_INFORMATION_FOR_TUPLET_NUMBERS, NIL, nullptr);
    text_font(font_from_code(value.font()));
    scaled_TextSize(value.size());
    text_face(with_style ? value.style() : FACE_PLAIN);
    text_mode(MODE_OR);
  }
  ~TupletFont() {
    text_font(font);
    text_size(size);
    text_face(face);
  }
};

// ---- Taking the selection's values ----------------------------------------------------------

// The selection's value of a field; a mixed value clears *agree (and greys the box given).
int32_t selection_value(bool* agree, const Rect* box, const NodeField& field, int32_t reference) {
  int32_t out = 1;
  const int32_t value = check_selection_field(&out, box, field, reference);
  if (out == 0) *agree = false;
  return value;
}

void take_tuplet(bool* agree, const Rect* box) {
  Drosa t = tmpl();
  const int32_t number = selection_value(agree, box, xtupl, GSELECT_ANY);
  const int32_t intimeof = selection_value(agree, box, xintimeof, GSELECT_ANY);
  if (number == 0 || intimeof == 0) {
    t->set(xtupl, 1);
    t->set(xintimeof, 4);
  } else {
    t->set(xtupl, uint8_t(number));
    t->set(xintimeof, uint8_t(intimeof));
    if (number != 1) palette_tuplet = {number, intimeof};
  }
  bool nested_agree = true;
  const int32_t nested = selection_value(&nested_agree, nullptr, xnest_tupl, GSELECT_ANY);
  const int32_t nested_of = selection_value(&nested_agree, nullptr, xnest_intimeof, GSELECT_ANY);
  if (nested_agree && nested > 1)
    palette_nested_tuplet = {true, nested, nested_of};
  else
    palette_nested_tuplet = {false, t->get(xtupl), t->get(xintimeof)};
}

// Step 4 of the drawing for one box: the template takes the selection's value.
void take_box_value(int box, bool usable, bool* agree) {
  Drosa t = tmpl();
  const Rect r = box_rect(box);
  const Rect* grey = usable ? &r : nullptr;
  const bool value_boxes = !entry_node();
  if (box == BOX_TUPLET) {
    if (value_boxes) take_tuplet(agree, grey);
    return;
  }
  if (box >= BOX_BREVE && box <= BOX_LAST_VALUE) {
    if (!value_boxes) return;
    const int32_t value = selection_value(agree, grey, xlgval, box - BOX_BREVE);
    if (box == BOX_BREVE) {
      t->set(xlgval, 0);
      *agree = false;
    } else if (value == box - BOX_BREVE) {
      bool dots_agree = true;
      t->set(xlgval, uint8_t(value));
      t->set(xdots, uint8_t(selection_value(&dots_agree, nullptr, xdots, GSELECT_ANY)));
    }
    return;
  }
  if (!usable || in_entry_mode()) return;
  static const Field<int>* const PLAIN[PALETTE_BOXES] = {
      nullptr, nullptr, &xaccent,  &xferm, nullptr, &xtenu,  nullptr,
      nullptr, &xparen, &xtremolo, &xcue,  &xgliss, nullptr, &xnotehead};
  if (box < BOX_GRACE && PLAIN[box]) {
    t->set(*PLAIN[box], uint8_t(selection_value(agree, grey, *PLAIN[box], GSELECT_ANY)));
  } else if (box == BOX_TIE || box == BOX_SLUR) {
    const Field<int>& field = box == BOX_TIE ? xtie : xslur;
    t->set(field, uint8_t(selection_value(agree, grey, field, 3)));
  } else if (box == BOX_STACCATO) {
    const int32_t value = selection_value(agree, grey, xstacc, GSELECT_ANY);
    t->set(xstacc, value != 0);
    template_staccatissimo = value > 1;
  }
}

// ---- Symbols ------------------------------------------------------------------------------------

void draw_arrow(int x, int y, int dir) {
  fore_colour(COLOUR_BLACK);
  scaled_MoveTo(x, y);
  scaled_LineTo(x, y - 7 * dir);
  scaled_LineTo(x - 2, y - 5 * dir);
  scaled_LineTo(x + 2, y - 5 * dir);
  scaled_LineTo(x, y - 7 * dir);
}

void draw_box_symbol(int box) {
  Drosa t = tmpl();
  const Rect r = box_rect(box);
  int x = r.left + X_OFFSETS[box];
  const int y = r.bottom - Y_OFFSETS[box];
  int glyph = GLYPHS[box];
  const char* label = LABELS[box];
  switch (box) {
    case BOX_ACCENT:
      glyph = t->get(xaccent) == 2 ? P_ACCENT_ABOVE : glyph;
      break;
    case BOX_STACCATO:
      glyph = template_staccatissimo ? P_STACCATISSIMO_MARK_ABOVE_NOTE : glyph;
      break;
    case BOX_ADD:
      label = entry_node() ? "Add" : "Kill";
      x = r.left + (entry_node() ? 2 : 3);
      break;
    case BOX_PAREN:
      label = t->get(xparen) == 2 ? "(  " : t->get(xparen) == 1 ? "  )" : "( )";
      break;
    case BOX_HEAD: {
      const int head = t->get(xnotehead);
      if (head == 6) return;
      // A piano-roll head is shown as the tenuto dash, the bar it becomes on the staff.
      glyph = head == 7 ? P_TENUTO_MARK : notehead_glyph(head, 3, NIL);
      break;
    }
    case BOX_TREMOLO: {
      const int tremolo = t->get(xtremolo);
      glyph = tremolo == 0 ? GLYPHS[BOX_TREMOLO] : P_SINGLE_SLASH_TREMOLO_MARK + tremolo - 1;
      break;
    }
    default:
      break;
  }
  if (box == BOX_TUPLET) {
    if (palette_nested_tuplet.nested) x -= 4;
    if (palette_tuplet.number > 9) x -= 2;
    scaled_MoveTo(x, y);
    piano_draw_ratio(palette_tuplet.number,
                     palette_nested_tuplet.nested ? palette_nested_tuplet.number : 1);
  } else if (box == BOX_UP || box == BOX_DOWN) {
    draw_arrow(x, y, box == BOX_UP ? 1 : -1);
  } else if (box == BOX_SQUARE) {
    draw_spacc_box_symbol();
  } else if (glyph) {
    scaled_MoveTo(x, y);
    text_mode(MODE_OR);
    pDrawChar(glyph, NIL, nullptr, DRAW_CHAR_PALETTE);
  } else if (label[0]) {
    scaled_MoveTo(x, y);
    piano_draw_string(label);
  }
}

// Step 6: the dots of the note value in force.
void draw_value_dots() {
  Drosa t = tmpl();
  const int dots = t->get(xdots);
  if (!dots || !(entry_node() || duration_edits_enabled)) return;
  const int box = BOX_BREVE + t->get(xlgval);
  if (box > BOX_LAST_VALUE) return;
  const Rect r = box_rect(box);
  const int y = r.bottom - Y_OFFSETS[box];
  text_mode(MODE_OR);
  scaled_MoveTo(r.right - (box == BOX_BREVE ? 4 : 8), y);
  pDrawChar(dots == 1 ? P_DOT_FOR_DOTTED_NOTES : P_DOUBLE_DOT, NIL, nullptr, DRAW_CHAR_PALETTE);
  if (dots == 3) {
    const double smaller = std::min(piano_hscale, piano_vscale);
    scaled_MoveTo(r.right - int(9 - 2 * smaller), y);
    pDrawChar(P_THIRD_DOT_FOR_TRIPLE_DOTTED_NOTES, NIL, nullptr, DRAW_CHAR_PALETTE);
  }
}

// Step 7: the values in force, inverted.
void draw_highlights(const bool agree[PALETTE_BOXES]) {
  Drosa t = tmpl();
  auto mark = [&](int box, bool on) {
    if (on && agree[box]) invert_piano_box(box);
  };
  mark(BOX_TIE, t->get(xtie));
  mark(BOX_STACCATO, t->get(xstacc));
  mark(BOX_TENUTO, t->get(xtenu));
  mark(BOX_SLUR, t->get(xslur));
  mark(BOX_FERMATA, t->get(xferm));
  mark(BOX_ACCENT, t->get(xaccent));
  mark(BOX_TREMOLO, t->get(xtremolo));
  mark(BOX_PAREN, t->get(xparen));
  mark(BOX_CUE, t->get(xcue));
  mark(BOX_GLISS, t->get(xgliss));
  mark(BOX_HEAD, t->get(xnotehead));
  const bool values = voice_count > 0 && (entry_node() || duration_edits_enabled);
  mark(BOX_TUPLET, values && t->get(xtupl) != 1);
  if (values) mark(BOX_BREVE + std::min<int>(t->get(xlgval), 8), true);
  if (!in_entry_mode()) return;
  mark(BOX_GRACE, t->get(xgrace));
  if (t->get(xacc) && t->get(xacc) <= 5 && !spacc_template)
    mark(BOX_FIRST_ACC - 1 + t->get(xacc), true);
  mark(BOX_ADD, add_mode);
}

void draw_text_at(int x, int y, const char* text) {
  scaled_MoveTo(x, y);
  draw_string(text);
}

// Steps 8 and 9: how to start entering notes, or why the notes cannot change.
void draw_palette_texts() {
  if (entry_node() || duration_edits_enabled || palette_refused()) entry_hint_shown = false;
  if (entry_hint_shown) {
    const Rect r = box_rect(BOX_BREVE);
    TupletFont font(false);
    draw_text_at(r.left, r.top + 12, "To enter notes: double-click in");
    draw_text_at(r.left, r.top + 24, "your piece, then play the keyboard.");
  }
  if (!palette_refused()) return;
  text_font(FONT_TIMES);
  scaled_TextSize(12);
  text_face(FACE_PLAIN);
  text_mode(MODE_OR);
  draw_text_at(60, 52,
               published_with_view()
                   ? "This file has been published.  You cannot make any changes to the music."
                   : "Changing notes was disabled in Options.");
}

// ---- Clicks
// --------------------------------------------------------------------------------------

// The change of the template goes to the selection too, outside entry mode (palette_click
// has opened the click's undo step).
void assign(const NodeField& field, int value) {
  if (in_entry_mode()) return;
  assign_selection_field(field, value, 1);
}

void recompute_lengths() {
  if (in_entry_mode() || perf_setting(PERF_KEEP_NOMINAL)) return;
  recompute_selection_playback(0, 0, PERF_KEEP_TOTAL, 0);
}

void apply_callback(void (*callback)(Drosa)) {
  if (in_entry_mode()) return;
  apply_to_cursor_or_group(callback, 1);
}

// Grace turned on: no tuplet; a tuplet turned on: no grace.
void grace_on(bool after) {
  Drosa t = tmpl();
  t->set(xgrace, 1);
  t->set(xnoslash, 1);
  t->set(xnachschlag, after);
  if (t->get(xtupl) != 1) {
    t->set(xtupl, 1);
    t->set(xtrembeam, 0);
  }
}

void toggle_grace() {
  Drosa t = tmpl();
  if (!t->get(xgrace)) {
    grace_on(grace_after);
    return;
  }
  t->set(xgrace, 0);
  t->set(xnoslash, 1);
  t->set(xnachschlag, 0);
}

void tuplet_on_changed() {
  Drosa t = tmpl();
  if (t->get(xtupl) != 1 && t->get(xgrace)) {
    t->set(xgrace, 0);
    t->set(xnachschlag, 0);
  }
  apply_callback(set_tuplet_cb);
}

void toggle_tuplet() {
  Drosa t = tmpl();
  if (t->get(xtupl) == 1) {
    t->set(xtupl, uint8_t(palette_tuplet.number));
    t->set(xintimeof, uint8_t(palette_tuplet.intimeof));
  } else {
    t->set(xtupl, 1);
    t->set(xintimeof, 4);
  }
  tuplet_on_changed();
}

// A dialog of the palette: the arrow cursor while it is up, the cursor as it was afterwards.
struct PaletteDialog {
  DialogRef dialog;
  explicit PaletteDialog(int id) {
    save_cursor();
    set_cursor(CURSOR_ID_ARROW);
    dialog = platform_open_dialog(id, true);
  }
  ~PaletteDialog() {
    if (dialog) platform_close_dialog(dialog);
    restore_cursor();
  }
};

constexpr int GRACE_BEFORE = 4, GRACE_AFTER = 5;

// The grace dialog (a double click): OK sets grace with the choice; Cancel undoes the first
// click of the double click.
void grace_dialog() {
  PaletteDialog run(29350);
  DialogRef d = run.dialog;
  if (!d) return;
  platform_set_item_value(d, grace_after ? GRACE_AFTER : GRACE_BEFORE, 1);
  draw_dialog_frame(d, nullptr, nullptr);
  for (;;) {
    const int item = platform_modal_dialog(d, dialog_key_filter);
    if (item == GRACE_BEFORE || item == GRACE_AFTER) {
      platform_set_item_value(d, GRACE_BEFORE, item == GRACE_BEFORE);
      platform_set_item_value(d, GRACE_AFTER, item == GRACE_AFTER);
    } else if (item == 1) {
      grace_after = platform_item_value(d, GRACE_AFTER) != 0;
      grace_on(grace_after);
      return;
    } else if (item == 2 || item < 0) {
      toggle_grace();
      return;
    } else {
      REPORT_ERROR(4, "Unexpected item returned from grace dialog");
    }
  }
}

constexpr int TUPLET_NUMBER = 4, TUPLET_OF = 5, TUPLET_NESTED = 7, NESTED_NUMBER = 8;
constexpr int NESTED_OF = 9;

// Reads the tuplet dialog's fields; false after a complaint about one.
bool read_tuplet_fields(DialogRef d) {
  const int32_t number = get_long_item(d, TUPLET_NUMBER, "tuplet", 2, 64);
  if (number == BAD_LONG_ITEM) return false;
  const double of = get_double_item(d, TUPLET_OF, "in time of", 1, 60, nullptr);
  if (of == BAD_DOUBLE_ITEM) return false;
  const bool nested = platform_item_value(d, TUPLET_NESTED) != 0;
  int32_t nested_number = palette_nested_tuplet.number;
  double nested_of = palette_nested_tuplet.intimeof / 4.0;
  if (nested) {
    nested_number = get_long_item(d, NESTED_NUMBER, "nested tuplet", 2, 64);
    if (nested_number == BAD_LONG_ITEM) return false;
    nested_of = get_double_item(d, NESTED_OF, "nested in time of", 1, 60, nullptr);
    if (nested_of == BAD_DOUBLE_ITEM) return false;
  }
  palette_tuplet = {number, round_nearest_int(of * 4)};
  palette_nested_tuplet.nested = nested;
  if (nested) palette_nested_tuplet = {true, nested_number, round_nearest_int(nested_of * 4)};
  return true;
}

// The tuplet dialog (a double click): OK makes the template that tuplet; Cancel undoes the
// first click of the double click.
void tuplet_dialog() {
  PaletteDialog run(29349);
  DialogRef d = run.dialog;
  if (!d) return;
  set_long_item(d, TUPLET_NUMBER, palette_tuplet.number);
  set_double_item(d, TUPLET_OF, palette_tuplet.intimeof / 4.0);
  platform_set_item_value(d, TUPLET_NESTED, palette_nested_tuplet.nested);
  set_long_item(d, NESTED_NUMBER, palette_nested_tuplet.number);
  set_double_item(d, NESTED_OF, palette_nested_tuplet.intimeof / 4.0);
  platform_select_item_text(d, TUPLET_NUMBER, 0, 32767);
  draw_dialog_frame(d, nullptr, nullptr);
  for (;;) {
    const int item = platform_modal_dialog(d, dialog_key_filter);
    if (item == TUPLET_NESTED) {
      platform_set_item_value(d, TUPLET_NESTED, !platform_item_value(d, TUPLET_NESTED));
      continue;
    }
    if (item == 2 || item < 0) {
      toggle_tuplet();
      return;
    }
    if (item != 1) REPORT_ERROR(4, "Unexpected item returned from tuplet dialog");
    if (!read_tuplet_fields(d)) continue;
    Drosa t = tmpl();
    t->set(xtupl, uint8_t(palette_tuplet.number));
    t->set(xintimeof, uint8_t(std::clamp(palette_tuplet.intimeof, 1, 255)));
    t->set(xtrembeam, 0);
    tuplet_on_changed();
    return;
  }
}

void click_value_box(int box) {
  Drosa t = tmpl();
  const int value = box - BOX_BREVE;
  if (value == t->get(xlgval)) {
    int dots = (t->get(xdots) + 1) % 4;
    if (value + dots > 8) dots = 0;
    t->set(xdots, uint8_t(dots));
  } else {
    t->set(xdots, 0);
    t->set(xlgval, uint8_t(value));
  }
  apply_callback(set_duration_cb);
  if (t->get(xgrace)) {
    t->set(xgrace, 0);
    t->set(xnachschlag, 0);
  }
  t->set(xtrembeam, 0);
}

void click_accidental_box(int box) {
  const int code = box - BOX_FIRST_ACC + 1;
  if (spacc_template) {
    add_special_accidental(code);
    return;
  }
  Drosa t = tmpl();
  t->set(xacc, uint8_t(t->get(xacc) == code ? 0 : code));
  apply_callback(apply_palette_accidental_cb);
}

void click_articulation_box(int box) {
  Drosa t = tmpl();
  switch (box) {
    case BOX_ACCENT:
      t->set(xaccent, uint8_t((t->get(xaccent) + 1) % 3));
      assign(xaccent, t->get(xaccent));
      break;
    case BOX_FERMATA:
      t->set(xferm, !t->get(xferm));
      assign(xferm, t->get(xferm));
      break;
    case BOX_STACCATO:
      if (!t->get(xstacc) || template_staccatissimo) {
        t->set(xstacc, !t->get(xstacc));
        template_staccatissimo = false;
      } else {
        template_staccatissimo = true;
      }
      assign(xstacc, t->get(xstacc));
      assign(xstacissimo, template_staccatissimo);
      recompute_lengths();
      break;
    case BOX_TENUTO:
      t->set(xtenu, !t->get(xtenu));
      assign(xtenu, t->get(xtenu));
      recompute_lengths();
      break;
    case BOX_TIE:
    case BOX_SLUR: {
      const Field<int>& field = box == BOX_TIE ? xtie : xslur;
      t->set(field, uint8_t(t->get(field) ? 0 : 3));
      assign(field, t->get(field));
      recompute_lengths();
      break;
    }
    case BOX_GLISS:
      t->set(xgliss, !t->get(xgliss));
      assign(xgliss, t->get(xgliss));
      break;
    case BOX_PAREN: {
      const int value = t->get(xparen) - 1;
      t->set(xparen, uint8_t(value < 0 ? 3 : value));
      assign(xparen, t->get(xparen));
      break;
    }
    case BOX_TREMOLO:
      t->set(xtremolo, uint8_t(t->get(xtremolo) == 0 ? 3 : t->get(xtremolo) - 1));
      assign(xtremolo, t->get(xtremolo));
      break;
    default:
      break;
  }
}

void click_note_box(int box, bool double_click) {
  Drosa t = tmpl();
  switch (box) {
    case BOX_CUE:
      t->set(xcue, !t->get(xcue));
      if (!group_selected && insertion_point) start_flashing(insertion_point);
      assign(xcue, t->get(xcue));
      break;
    case BOX_HEAD: {
      int head = (t->get(xnotehead) + 1) % 9;
      if (head == 7 &&
          (voice_count == 0 || !options_i16(current_ncontext, OPTIONS_PIANO_ROLL_HEADS)))
        head = 8;
      t->set(xnotehead, uint8_t(head));
      if (!group_selected && insertion_point) start_flashing(insertion_point);
      assign(xnotehead, head);
      break;
    }
    case BOX_ADD:
      if (entry_node()) {
        add_mode = !add_mode;
      } else if (duration_edits_enabled) {
        delete_notes_command(1);
      }
      break;
    case BOX_GRACE:
      if (double_click)
        grace_dialog();
      else
        toggle_grace();
      break;
    case BOX_TUPLET:
      if (double_click)
        tuplet_dialog();
      else
        toggle_tuplet();
      break;
    default:
      break;
  }
}

}  // namespace

// ---- Boxes -----------------------------------------------------------------------------------

void boxnum_to_rect(int box, Rect* rect) {
  int column = 0;
  const bool known = box >= 0 && box < PALETTE_BOXES;
  for (int b = 0; known && b < box; ++b)
    if (KINDS[b] != UPPER) ++column;
  const int kind = known ? KINDS[box] : -1;
  const int left = 18 + 20 * column;
  Rect r{left, 31, left + 19, 60};
  if (kind == UPPER)
    r.bottom = 45;
  else if (kind == LOWER)
    r.top = 46;
  else if (kind != FULL)
    REPORT_ERROR(4, "Logic error in boxnum_to_rect (pianowin)");
  if (box == BOX_TREMOLO) r.right -= 1;
  if (box == BOX_GLISS || box == BOX_GRACE) r.left -= 1, r.right += 2;
  if (box == BOX_HEAD) r.left += 2, r.right -= 1;
  if (box == BOX_BREVE) r.left += 2;
  *rect = r;
}

int palette_box_at(Point where) {
  const int h = where.x, v = where.y;
  if (v < 31 || v > 60 || h < 18) return -1;
  const int column = (h - 18) / 20;
  if (column > 24 || (column == 24 && v > 45)) return -1;
  int col = 0;
  for (int b = 0; b < PALETTE_BOXES; ++b) {
    if (col == column) return (v > 45 && KINDS[b] == UPPER) ? b + 1 : b;
    if (KINDS[b] != UPPER) ++col;
  }
  return -1;
}

bool in_entry_mode() { return entry_node() && !group_selected; }

// ---- Drawing -----------------------------------------------------------------------------------

void draw_piano_window() {
  if (MODE != MUSIC_MODE || !tmpl()) return;
  if (palette_draws_held > 0) {
    palette_draw_waiting = true;
    return;
  }
  InPianoPort in;
  if (!in.ok()) return;
  ++palette_draw_count;
  draw_memory_indicator();
  text_font(FONT_QUOR);
  text_mode(MODE_OR);
  pen_normal();
  const bool entry = in_entry_mode();
  // The template takes the selection's values only when something is selected: with nothing
  // selected it keeps what the user chose for the next notes.
  const bool take_values = group_selected || insertion_point_shown();
  // The lines between the boxes are erased too: the hint's text and glyphs reaching past their
  // boxes left strokes there.
  Rect boxes = box_rect(0);
  for (int box = 1; box < PALETTE_BOXES; ++box) {
    const Rect r = box_rect(box);
    boxes = {std::min(boxes.left, r.left), std::min(boxes.top, r.top),
             std::max(boxes.right, r.right), std::max(boxes.bottom, r.bottom)};
  }
  scaled_EraseRect(boxes);
  bool agree[PALETTE_BOXES];
  for (int box = 0; box < PALETTE_BOXES; ++box) {
    // The whole box is erased: its last column too, which the feedback of a click inverted.
    scaled_EraseRect(box_rect(box));
    agree[box] = true;
    const bool usable = box_usable(box, entry);
    if (take_values) take_box_value(box, usable, &agree[box]);
    if (usable) draw_box_symbol(box);
  }
  const bool refused = recording_active || palette_refused();
  if (!refused) {
    draw_value_dots();
    draw_highlights(agree);
  }
  draw_palette_texts();
}

PaletteDrawsHeld::PaletteDrawsHeld() { ++palette_draws_held; }

PaletteDrawsHeld::~PaletteDrawsHeld() {
  if (--palette_draws_held > 0 || !palette_draw_waiting) return;
  palette_draw_waiting = false;
  draw_piano_window();
}

void redraw_piano_box(int box) {
  InPianoPort in;
  if (!in.ok()) return;
  scaled_ClipRect(box_rect(box));
  draw_piano_window();
}

void invert_piano_box(int box) {
  InPianoPort in;
  if (!in.ok() || box < 0 || box >= PALETTE_BOXES) return;
  scaled_InvertRect(box_rect(box));
}

void erase_piano_window() {
  InPianoPort in;
  if (!in.ok()) return;
  const Rect port = piano_dialog_bounds();
  scaled_EraseRect({18, 31, port.right, port.bottom});
}

void piano_draw_ratio(int n, int m) {
  TupletFont font(true);
  char text[16];
  if (m != 1)
    std::snprintf(text, sizeof text, "%d|%d", n % 100, m % 100);
  else
    std::snprintf(text, sizeof text, "%d", n % 100);
  draw_string(text);
}

void piano_draw_string(const char* text) {
  TupletFont font(false);
  draw_string(text);
}

void draw_spacc_box_symbol() {
  InPianoPort in;
  if (!in.ok()) return;
  const Rect r = box_rect(BOX_SQUARE);
  const int x = r.left + X_OFFSETS[BOX_SQUARE], y = r.bottom - Y_OFFSETS[BOX_SQUARE];
  scaled_MoveTo(x, y);
  scaled_LineTo(x - 6, y);
  scaled_LineTo(x - 6, y - 6);
  scaled_LineTo(x, y - 6);
}

// ---- Clicks
// --------------------------------------------------------------------------------------

void palette_click(int box, bool double_click) {
  if (palette_refused() || box < 0 || box >= PALETTE_BOXES) return;
  const bool entry = in_entry_mode();
  if (!entry && !box_usable(box, false)) return;
  if (box == 0 || box == 1 || box == 30 || box == 33) return;
  invert_piano_box(box);
  if (!entry) set_undo_mark(0);  // one undo step for all the click changes
  if (box <= BOX_TREMOLO || box == BOX_GLISS)
    click_articulation_box(box);
  else if (box <= BOX_TUPLET)
    click_note_box(box, double_click);
  else if (box <= BOX_LAST_VALUE)
    click_value_box(box);
  else if (box <= BOX_LAST_ACC)
    click_accidental_box(box);
  else if (box == BOX_UP || box == BOX_DOWN) {
    keyboard_shift = int16_t(box == BOX_UP ? std::min(keyboard_shift + 12, 36)
                                           : std::max(keyboard_shift - 12, -36));
    place_piano_window();
    redraw_piano_keyboard();
  }
  draw_piano_window();
}

// ---- Special accidentals ------------------------------------------------------------------------

void draw_special_accidental_rows() {
  if (!spacc_template) return;
  InPianoPort in;
  if (!in.ok()) return;
  text_mode(MODE_OR);
  const DialogSpec* spec = platform_dialog_spec(4460);
  const Rect item = spec ? spec->items[GROUP_ITEM - 1].rect : Rect{};
  scaled_EraseRect(item);
  const int count = std::min<int>(spacc_template->get(xnumspacc), MAX_GROUP);
  Drosa sized = find_first_visible_noterest();
  if (sized && sized->xkind != NOTE) sized = NIL;
  if (count > 0) {
    int32_t total = param_group_width(NIL, nullptr, 0, spacc_template);
    const int32_t available = (item.width() - 6) * 10;
    int32_t overlap = 0;
    if (total > available && count >= 2) {
      overlap = (total - available) / (count - 1);
      total = available;
    }
    int32_t x = (item.left + item.right) * 5 - total / 2;
    for (int i = 0; i < count; ++i) {
      const int code = spacc_template->get(xspacc_entry, i);
      scaled_MoveTo(x / 10, item.bottom - 9);
      if (const int glyph = glyph_table_entry(code, 1))
        pDrawChar(glyph, sized, nullptr, DRAW_CHAR_PALETTE);
      x += param_group_width(NIL, nullptr, code, NIL) - overlap;
    }
    scaled_InvertRect(item);
  }
  for (int i = 0; i < SPECIAL_CODES; ++i) {
    scaled_MoveTo(18 + 13 * (i % 30), i < 30 ? 75 : 93);
    if (const int glyph = glyph_table_entry(FIRST_SPECIAL + i, 1))
      pDrawChar(glyph, NIL, nullptr, DRAW_CHAR_PALETTE);
  }
  text_font(0);
  text_face(0);
  text_size(0);
}

bool click_special_accidental_rows(Point where) {
  if (!spacc_template || where.y <= ROWS_TOP || where.x < 15 || where.x > 411) return false;
  // The upper row's last glyph ends at 408: a press right of it is still that glyph.
  int index = std::min((where.x - 14) / 13, 29);
  if (where.y > 80) index += 30;
  add_special_accidental(std::min(index, SPECIAL_CODES - 1) + FIRST_SPECIAL);
  return true;
}

void add_special_accidental(int code) {
  if (!spacc_template) return;
  const int count = spacc_template->get(xnumspacc);
  if (count >= MAX_GROUP) return;
  spacc_template->set(xspacc_entry, count, uint8_t(code));
  spacc_template->set(xnumspacc, uint8_t(count + 1));
  if (piano_dialog) platform_invalidate_window(piano_dialog, piano_dialog_bounds());
}

void clear_special_accidental_choice() {
  if (!spacc_template || spacc_template->get(xnumspacc) == 0) return;
  spacc_template->set(xnumspacc, 0);
  if (piano_dialog) platform_invalidate_window(piano_dialog, piano_dialog_bounds());
}

int set_template_accidental() {
  if (!spacc_template) return 0;
  Drosa t = tmpl();
  const int count = spacc_template->get(xnumspacc);
  if (count == 0) {
    t->set(xacc, 0);
    return 0;
  }
  const int code = spacc_template->get(xspacc_entry, 0);
  if (count == 1 && code >= 1 && code <= 5) {
    t->set(xacc, uint8_t(code));
    return 0;
  }
  t->set(xacc, 3);
  return 1;
}

// ---- Callbacks over the selection -------------------------------------------------------------

namespace {

// Records every note of the note's vertical chord for undo; the chord's first and last notes.
void record_chord(Drosa note, Drosa* first, Drosa* last) {
  *first = vchord_first_note(note);
  *last = chord_end_note(note);
  for (Drosa p = *first; p; p = p->xnext) {
    if (p->xkind == NOTE) modifyvc_with_undo(p);
    if (p == *last) break;
  }
}

void recompute_chord(Drosa first, Drosa last) {
  set_default_performance(first, last, 0, 0, 0, PERF_LATER_MOVE, 0);
  mark_piece_changed(1, 1, 0);
}

}  // namespace

void set_duration_cb(Drosa note) {
  if (!is_NOTE(note)) return;
  Drosa first, last;
  record_chord(note, &first, &last);
  note->set(xlgval, tmpl()->get(xlgval));
  note->set(xdots, tmpl()->get(xdots));
  recompute_chord(first, last);
}

void set_tuplet_cb(Drosa note) {
  if (!is_NOTE(note)) return;
  Drosa first, last;
  record_chord(note, &first, &last);
  Drosa t = tmpl();
  note->set(xtupl, t->get(xtupl));
  note->set(xintimeof, t->get(xintimeof));
  Drosa nest = find_prev_kind_stop(NEST, note, ENDSYST);
  const bool nested =
      t->get(xtupl) != 1 && palette_nested_tuplet.nested && palette_nested_tuplet.number != 1;
  if (!nested) {
    if (nest) removevc_with_undo(nest);
  } else {
    if (nest) {
      modifyvc_with_undo(nest);
    } else {
      nest = newDrosa(NEST, 0);
      insertvc_node_with_undo(nest, note->xback);
    }
    nest->set(xnest_tupl, uint8_t(palette_nested_tuplet.number));
    nest->set(xnest_intimeof, uint8_t(std::clamp(palette_nested_tuplet.intimeof, 1, 255)));
  }
  recompute_chord(first, last);
}

void insert_rest_cb(Drosa note) {
  if (!is_NOTE(note)) return;
  Drosa first = vchord_first_note(note);
  bool before_symbol = false;
  for (Drosa p = first->xback; p && p->xkind != NOTE; p = p->xback) {
    const int k = effective_kind(p);
    if (k == ENDSYST) break;
    if (k == CLEF || k == KEYSIG || k == BAR || k == PRINT) before_symbol = true;
  }
  if (!before_symbol) return;
  Drosa rest = newDrosa(NOTE, 0);
  rest->set(xrest, 1);
  rest->set(xendvcd, 1);
  rest->set(xlgval, note->get(xlgval));
  rest->set(xdots, note->get(xdots));
  rest->set(xtupl, note->get(xtupl));
  rest->set(xintimeof, note->get(xintimeof));
  rest->set(xdir, note->get(xdir));
  insertvc_node_with_undo(rest, first->xback);
  set_default_performance(rest, rest, 0, 0, 0, PERF_LATER_MOVE, 0);
  mark_piece_changed(1, 1, 0);
}
