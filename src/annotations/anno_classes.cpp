// anno_classes.cpp: the classes of text annotations and the style and place each gives a text.
//
// A class's style comes from its model, an annotation the user marked as the model of its
// class, when there is one still standing in the current context; else from the built-in
// defaults below. A font and size chosen by hand stay when the same class is given again
// without force: the defaults' font and size come only with a class other than the last one.
#include "annotations/anno_classes.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "annotations/anno_fields.h"
#include "annotations/anno_globals.h"
#include "annotations/anno_refloc.h"
#include "annotations/anno_runs.h"
#include "annotations/drawtext.h"
#include "editing/editing_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"

namespace {

constexpr int STANDARD_STAFF = 50;
constexpr int FONT_QUOR = -1, FONT_SAYL = -2, FONT_TIMES = -5;

const char* const CLASS_NAMES[CLASS_COUNT][2] = {
    {"not classified", "Not Classified"},
    {"other", "Other"},
    {"title", "Title"},
    {"composer", "Composer"},
    {"rehearsal", "Rehearsal"},
    {"lyric", "Lyric"},
    {"tempo marking", "Tempo Marking"},
    {"dynamic", "Dynamic"},
    {"fingering", "Fingering"},
    {"pedal", "Pedal"},
    {"fret grid", "Fret Grid"},
    {"chord symbol", "Chord Symbol"},
    {"midi", "Midi"},
    {"label", "Label"},
    {"articulation", "Articulation"},
    {"breath mark", "Breath Mark"},
    {"ornament", "Ornament"},
    {"repeat/ending/segno", "Repeat/Ending/Segno"},
    {"copyright", "Copyright"},
    {"bowing", "Bowing"},
    {"pause", "Pause"},
    {"mood", "Mood"},
    {"tempo alteration", "Tempo Alteration"},
    {"poet", "Poet"},
    {"subtitle", "Subtitle"},
};

bool one_of(int c, std::initializer_list<int> classes) {
  return std::find(classes.begin(), classes.end(), c) != classes.end();
}

bool music_font(int code) { return code >= -3 && code <= -1; }

// The class's model when it still counts: seen here, a head, of that class, marked.
Drosa model_of(int c) {
  Drosa m = class_models[c];
  if (!m || effective_kind(m) != TPARAM || m->get(xadjacent) || m->get(xclassify) != c ||
      !m->get(xdefault))
    return NIL;
  return m;
}

// The line template takes the text template's locks and context.
void mirror_into_line_template(Drosa t) {
  if (t != text_template || !line_template) return;
  line_template->set(xline_fromstaff, t->get(xfromstaff));
  line_template->set(xline_pagemargin, t->get(xpagemargin));
  line_template->xcontext = t->xcontext;
}

void take_from_model(Drosa t, Drosa m, int keep_music_font) {
  for (const auto* f : {&xleavespace, &xjustified, &xtext_drawmode, &xboxed, &xignore,
                        &xspec_underline, &xkeep_hyphen, &xkeep_underline, &xno_size_adjust,
                        &xpslayout, &xfing, &xfooter, &xfromstaff, &xpagemargin})
    t->set(*f, m->get(*f));
  t->set(xtextface, m->get(xtextface));
  t->set(xcharset, m->get(xcharset));
  t->set(xhidden, 0);
  t->xcontext = m->xcontext;
  if (!(keep_music_font && music_font(t->get(xtextfont)))) {
    t->set(xtextfont, m->get(xtextfont));
    t->set(xtextsize, m->get(xtextsize));
    t->set(xtext_stsize, m->get(xtext_stsize));
  }
}

// The note a style is read at: the insertion point, else the drawn note nearest its place.
Drosa style_note() {
  if (insertion_point) return insertion_point;
  return find_nearest_visnote(insertion_point_pos, 0, 1);
}

void fingering_style(Drosa t) {
  const ParamValue v = *param_value(P_DEFAULT_FONT_INFO_FOR_FINGERINGS, style_note(), nullptr);
  t->set(xtextfont, v.font());
  t->set(xcharset, v.bytes[2]);
  t->set(xtextsize, v.size());
  t->set(xtextface, v.style());
}

}  // namespace

const char* anno_class_name(int cls, bool capitalised) {
  if (cls < 0 || cls >= CLASS_COUNT) return "ERROR BAD VALUE";
  return CLASS_NAMES[cls][capitalised ? 1 : 0];
}

int anno_set_class(int c, int force, int z, Drosa t, int keep_music_font) {
  if (!t || t->xkind != TPARAM) return c;
  t->set(xclassify, uint8_t(c));
  if (c < 0 || c >= CLASS_COUNT) return c;
  if (Drosa m = model_of(c)) {
    take_from_model(t, m, keep_music_font);
    mirror_into_line_template(t);
    return c;
  }
  if (z <= 0) z = STANDARD_STAFF;
  t->set(xleavespace, c == CLASS_LYRIC);
  t->set(xjustified, one_of(c, {CLASS_TITLE, CLASS_LYRIC, CLASS_COPYRIGHT, CLASS_SUBTITLE}));
  t->set(xtextface, 0);
  t->set(xtext_drawmode, 0);
  if (t == text_template && line_template) line_template->set(xline_drawmode, 0);
  t->set(xboxed, c == CLASS_REHEARSAL);
  t->set(xhidden, 0);
  t->set(xignore, !one_of(c, {CLASS_TEMPO, CLASS_DYNAMIC, CLASS_PEDAL, CLASS_MIDI,
                              CLASS_ARTICULATION, CLASS_ORNAMENT}));
  t->set(xspec_underline, c == CLASS_CHORD_SYMBOL);
  const bool keeps = one_of(c, {CLASS_TITLE, CLASS_COMPOSER, CLASS_REHEARSAL, CLASS_FINGERING,
                                CLASS_LABEL, CLASS_COPYRIGHT, CLASS_POET, CLASS_SUBTITLE});
  t->set(xkeep_hyphen, keeps);
  t->set(xkeep_underline, keeps);
  t->set(xno_size_adjust, one_of(c, {CLASS_TITLE, CLASS_COMPOSER, CLASS_REHEARSAL, CLASS_COPYRIGHT,
                                     CLASS_POET, CLASS_SUBTITLE}));
  t->set(xfing, c == CLASS_FINGERING);
  t->set(xfooter, c == CLASS_COPYRIGHT);
  const bool marks = one_of(c, {CLASS_ARTICULATION, CLASS_ORNAMENT, CLASS_BOWING, CLASS_PAUSE});
  t->set(xfromstaff, !marks);
  t->set(xpagemargin, one_of(c, {CLASS_TITLE, CLASS_COMPOSER, CLASS_LABEL, CLASS_COPYRIGHT,
                                 CLASS_POET, CLASS_SUBTITLE}));
  if (force || c != last_class_set) {
    const int font = marks ? FONT_QUOR : c == CLASS_FRET_GRID ? FONT_SAYL : FONT_TIMES;
    int size = z * 12 / STANDARD_STAFF;
    if (c == CLASS_TITLE) size = 28;
    if (c == CLASS_SUBTITLE) size = 14;
    if (c == CLASS_COMPOSER || c == CLASS_POET) size = 11;
    if (c == CLASS_COPYRIGHT) size = 10;
    if (c == CLASS_FRET_GRID) size = 24;
    if (!(keep_music_font && music_font(t->get(xtextfont)))) {
      t->set(xtextfont, int16_t(font));
      t->set(xtextsize, uint8_t(std::clamp(size, 1, 255)));
      t->set(xtext_stsize, std::clamp(z / 10, 0, 15));
    }
    t->set(xtextface, 0);
    t->set(xcharset, 0);
    const bool here =
        one_of(c, {CLASS_TITLE, CLASS_COMPOSER, CLASS_LABEL, CLASS_POET, CLASS_SUBTITLE});
    t->xcontext = int8_t(here ? current_ncontext : 0);
  }
  if (c == CLASS_FINGERING) {
    fingering_style(t);
    t->set(xkeep_hyphen, 1);
    t->set(xkeep_underline, 1);
    t->set(xspec_underline, 0);
    t->set(xjustified, 0);
    t->set(xboxed, 0);
    t->set(xpagemargin, 0);
    t->set(xfooter, 0);
    t->set(xfromstaff, 1);
  }
  mirror_into_line_template(t);
  last_class_set = c;
  return c;
}

void anno_set_default_style(Drosa tparam) {
  if (tparam && tparam->xkind == TPARAM) fingering_style(tparam);
}

// ---- Template resets ------------------------------------------------------------------------

namespace {

void reset_templates() {
  text_template->set(xpagemargin, 0);
  text_template->set(xtext_drawmode, 0);
  text_template->set(xtext_color, 0);
  text_template->set(xfromstaff, 1);
  line_template->set(xline_fromstaff, 1);
  line_template->set(xline_pagemargin, 0);
  line_template->set(xline_drawmode, 0);
  line_template->set(xdashlth, 0);
  line_template->set(xgaplth, 0);
  line_template->set(xline_color, 0);
  text_template->xcontext = 0;
  line_template->xcontext = 0;
}

}  // namespace

void curve_mode_reset(int style) {
  if (!text_template || !line_template) return;
  reset_templates();
  line_template->set(xcurve, 1);
  line_template->set(xfattermid, 1);
  line_template->set(xmetaline, 0);
  new_curve_direction = style == 2 ? 1 : 0;
}

void line_mode_reset(int style) {
  if (!text_template || !line_template) return;
  reset_templates();
  line_template->set(xmetaline, std::clamp(style, 0, 15));
  line_template->set(xfattermid, 0);
  line_template->set(xlinewidth, 10);
  line_template->set(xline_ord, 0);
  line_template->set(xline_eocvar, 0);
  line_template->set(xcurve, 0);
}

// ---- Where a new text goes --------------------------------------------------------------------

int anno_text_origin(int32_t* x, int32_t* y) {
  Drosa note = insertion_point;
  if (!note || !is_plotted_note(note) || !text_template) return 0;
  const int c = text_template->get(xclassify);
  if (c < 0 || c >= CLASS_COUNT) return 0;
  if (Drosa m = model_of(c)) {
    int32_t rx = 0, ry = 0;
    anno_refloc(note, m, &rx, &ry, 0);
    *x = rx + m->get(xtextx);
    *y = ry + m->get(xtexty);
    return 1;
  }
  Drosa nt = note_ntdata(note);
  const int pstaff = std::clamp<int>(pstaff_of_node(note), 0, MAX_PSTAVES - 1);
  const int32_t top = staff_top_y(pstaff, 0), bottom = staff_bottom_y(pstaff, 0);
  const int lines = std::max<int>(staff_data[pstaff].lines, 2);
  const int32_t step = (top - bottom) / (2 * (lines - 1));  // one diatonic step
  const int32_t page_width = layout_page_width(), page_height = layout_page_height();
  const int32_t size = text_template->get(xtextsize);
  const int32_t note_x = nt->get(xscrhdx);
  switch (c) {
    case CLASS_TITLE:
      *x = page_width / 2;
      *y = page_height - (size + 8) * 10;
      return 1;
    case CLASS_SUBTITLE:
      *x = page_width / 2;
      *y = page_height - (size + 36) * 10;
      return 1;
    case CLASS_COPYRIGHT: {
      const int number =
          param_value(P_FONT_INFORMATION_FOR_PAGE_NUMBERS, note, nullptr)->size() + 5;
      *x = page_width / 2;
      *y = param_length(P_PAGE_NUMBER_Y_OFFSET_FROM_BOTTOM_OF_PAGE, note, nullptr) +
           (number + (number & 1)) * 10;
      return 1;
    }
    case CLASS_COMPOSER:
      *x = staff_right_x(pstaff, current_page) - 2500;
      *y = top + step * 4;
      return 1;
    case CLASS_POET:
      *x = staff_left_x(-1, current_page);
      *y = top + step * 4;
      return 1;
    case CLASS_LABEL:
      *x = staff_left_x(-1, current_page);
      *y = top - step;
      return 1;
    case CLASS_ARTICULATION:
    case CLASS_ORNAMENT:
    case CLASS_BOWING:
    case CLASS_PAUSE: {
      Drosa cd = cddatptr(note, 1);
      *x = note_x;
      *y = std::max(cd ? get_max_hiy(cd) : top, top) + 50;
      return 1;
    }
    case CLASS_OTHER:
    case CLASS_REHEARSAL:
    case CLASS_TEMPO:
    case CLASS_FRET_GRID:
    case CLASS_BREATH:
    case CLASS_REPEAT:
    case CLASS_MOOD:
      *x = note_x;
      *y = top + step * 3;
      return 1;
    default:
      return 0;
  }
}

// ---- Lyrics for export --------------------------------------------------------------------------

int anno_words_near_note(Drosa tparam, int* verse) {
  if (verse) *verse = 1;
  if (!tparam || effective_kind(tparam) != TPARAM) return 0;
  Drosa note = tparam;
  while (note && note->xkind != NOTE && effective_kind(note) != ENDSYST) note = note->xnext;
  if (!note) return 0;
  auto is_lyric = [](Drosa t) {
    return t->get(xclassify) == CLASS_LYRIC ||
           (t->get(xjustified) == 1 && t->get(xleavespace) && !music_font(t->get(xtextfont)));
  };
  const int32_t y = tparam->get(xtexty);
  int32_t highest = y;
  Drosa same = NIL;
  for (Drosa p = note->xback; p && p->xkind != NOTE && effective_kind(p) != ENDSYST; p = p->xback) {
    if (effective_kind(p) != TPARAM || p->get(xadjacent) || !is_lyric(p)) continue;
    highest = std::max(highest, p->get(xtexty));
    if (std::abs(int64_t(p->get(xtexty)) - y) <= 20) same = p;
  }
  if (verse) {
    const int32_t line = (tparam->get(xtextsize) + 4) * 10;
    *verse = int((int64_t(highest) - y + line / 2) / line) + 1;
  }
  if (!same) return 0;
  const std::string text = anno_run_text(same);
  return text.size() >= 2 && text.back() == '-';
}

// ---- Pedal marks ------------------------------------------------------------------------------

Drosa new_pedal_anno(Drosa note, int down) {
  if (!note || note->xkind != NOTE || !note->xback) {
    REPORT_ERROR(4, "Bad call to new_pedal_anno: no note");
    return NIL;
  }
  const ParamValue glyph = *param_value(down ? P_PEDAL_MARKING : P_PEDAL_UP_MARKING, note, nullptr);
  Drosa t = newDrosa(TPARAM, 0);
  t->set(xtextfont, glyph.font());
  t->set(xcharset, glyph.bytes[2]);
  t->set(xtextsize, glyph.size());
  t->set(xtextface, glyph.style());
  t->set(xfromstaff, 1);
  t->set(xhidden, 1);
  t->set(xtextx, param_length(P_X_OFFSET_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG, note, nullptr));
  t->set(xtexty, param_length(P_Y_OFFSET_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG, note, nullptr));
  Drosa text = newDrosa(TEXT, 0);
  const char chars[2] = {char(glyph.character()), 0};
  text->set(xtext, chars);
  link_after(text, t);
  insertvc_with_undo(t, text, note->xback);
  return t;
}
