// gselect.cpp: field assignment by field name: the values the attribute commands give the
// selection, and the questions the menus and the note palette ask of it.
//
// The callers hand over the field and the value in the gselect_ globals; the per-node routines
// run through the selection's dispatchers, which may hand them a group's notes or annotations,
// the insertion point, the selected annotation or (for a question with nothing selected) the
// annotation templates. A note's undo record is taken before any of its fields change, so that
// Undo gives back every byte.
#include "editing/gselect.h"

#include <algorithm>
#include <cstdlib>
#include <initializer_list>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_globals.h"
#include "editing/editing_services.h"
#include "editing/highlight.h"
#include "editing/selection.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/menus.h"
#include "platform/port.h"

namespace {

const NodeField& field_now() { return *gselect_field_name; }

bool is(const NodeField& f) { return gselect_field_name == &f; }

bool one_of(std::initializer_list<const NodeField*> fields) {
  for (const NodeField* f : fields)
    if (gselect_field_name == f) return true;
  return false;
}

int32_t read(Drosa node, const NodeField& f) { return node->get(Field<int32_t>{f}); }
void write(Drosa node, const NodeField& f, int32_t v) { node->set(Field<int32_t>{f}, v); }

// ---- The note fields ----------------------------------------------------------------------------

// Set on every note of the vertical chord that matches the target.
bool chord_wide() { return one_of({&xcbeam, &xebeam, &xcsbeam, &xesbeam, &xtrembeam}); }

// The NOTE fields that take the value as it is.
bool plain_note_field() {
  return one_of({&xcue,    &xaccent,   &xdir,      &xferm,      &xaccplot,   &xbstem,
                 &xnostem, &xgliss,    &xtenu,     &xstacc,     &xnoslash,   &xhider,
                 &xhidet,  &xtremolo,  &xnotehead, &xbendslur,  &xparen,     &xbendtie,
                 &xthumb,  &xdashslur, &xdashtie,  &xcrawlslur, &xnachschlag});
}

bool tsmod_field() {
  return one_of({&xhangRslur, &xhangLslur, &xleftonlyslur, &xhangRtie, &xhangLtie, &xleftonlytie,
                 &xsplitslur, &xa_altslursize, &xa_slur, &xa_crawlslur, &xa_handRslur,
                 &xa_hangLslur, &xa_leftonlyslur, &xa_splitslur, &xa_dashslur, &bendslur,
                 &xstacissimo});
}

// The fields only the check reads from the NOTE itself.
bool checked_note_field() {
  return one_of({&xlgval, &xseparate, &xdots, &xtupl, &xintimeof, &xselected});
}

// A tie and slur modifier with no bit left set goes.
bool tsmod_empty(Drosa tsmod) {
  return node_byte(tsmod, 10) == 0 && node_byte(tsmod, 11) == 0 && node_byte(tsmod, 12) == 0;
}

// The bit of word 18-19 that marks a rest's pitch as edited, cleared when a rest is hidden.
constexpr uint8_t PITCH_EDITED_BIT = 0x10;

void assign_to_vchord(Drosa target) {
  if (!chord_wide()) {
    REPORT_ERROR(4, "Unrecognized field-name in assign_to_vchord (gselect)");
    return;
  }
  const int rest = target->get(xrest), dir = target->get(xdir);
  const int32_t duration = note_duration(target, 1);
  for (Drosa p = vchord_first_note(target); p; p = p->xnext) {
    if (p->xkind != NOTE) continue;
    const int other_dir = p->get(xdir);
    const bool compatible = !(dir < 3 && other_dir < 3 && dir != other_dir);
    if (p->get(xrest) == rest && note_duration(p, 1) == duration && compatible) {
      if (p != target) modifyvc_with_undo(p);
      write(p, field_now(), gselect_field_value);
    }
    if (p->get(xendvcd)) break;
  }
}

void assign_tsmod_field(Drosa note) {
  const int32_t v = gselect_field_value;
  Drosa tsmod = find_prev_kind_stop(TSMOD, note, ENDSYST);
  if (!tsmod) {
    if (v == 0) return;
    tsmod = newDrosa(TSMOD, 0);
    insertvc_node_with_undo(tsmod, note->xback);
  } else {
    modifyvc_with_undo(tsmod);
  }
  write(tsmod, field_now(), v);
  if (tsmod_empty(tsmod)) removevc_with_undo(tsmod);
}

}  // namespace

namespace {
int assigned_nodes = 0;  // nodes the current assignment reached
}  // namespace

void do_note_field_assignment(Drosa note) {
  if (!is_NOTE(note)) return;
  ++assigned_nodes;
  const int32_t v = gselect_field_value;
  if (is(xselected)) {
    if (v != 0) REPORT_ERROR(4, "Attempted to set xselected TRUE via do_note_field_assignment");
    note->set(xselected, 0);
    return;
  }
  const bool known = chord_wide() || is(xtie) || is(xslur) || tsmod_field() || plain_note_field();
  if (!known) {
    REPORT_ERROR(4, "unrecognized gselect_field_name in do_note_field_assignment");
    return;
  }
  modifyvc_with_undo(note);
  if (chord_wide()) {
    assign_to_vchord(note);
  } else if (is(xtie) || is(xslur)) {
    const int old = read(note, field_now());
    if ((v == 1 || v == 2) && old == 0) return;  // these only turn one that is there
    write(note, field_now(), std::abs(v));
    if (is(xtie) && (old == 0) != (note->get(xtie) == 0))
      adjust_accidentals(ACC_CHANGED, note, note);
  } else if (tsmod_field()) {
    assign_tsmod_field(note);
  } else {
    write(note, field_now(), v);
    if (is(xhider) && note->get(xrest))
      set_node_byte(note, 19, uint8_t(node_byte(note, 19) & ~PITCH_EDITED_BIT));
  }
}

namespace {

void fold(int32_t value) {
  if (gselect_field_value == GSELECT_NOTHING)
    gselect_field_value = value;
  else if (gselect_field_value != value)
    gselect_field_value = GSELECT_MIXED;
}

// A value compared with the reference: it counts only when equal; reference 3 asks for any.
int32_t against_reference(int32_t value, bool any_allowed) {
  const int32_t r = gselect_reference_value;
  if (any_allowed && r == 3) return value ? 3 : 0;
  return value == r ? value : 0;
}

}  // namespace

void do_note_field_check(Drosa note) {
  if (!is_NOTE(note)) return;
  int32_t value;
  if (is(slash)) {
    value = note->get(xgrace) && !note->get(xnoslash);
  } else if (is(defbeam)) {
    value = !(note->get(xcbeam) || note->get(xebeam) || note->get(xcsbeam) || note->get(xesbeam));
  } else if (is(xspacc)) {
    value = find_prev_kind_stop(SPACC, note, ENDSYST) != NIL;
  } else if (is(xnest_tupl) || is(xnest_intimeof)) {
    Drosa nest = find_prev_kind_stop(NEST, note, ENDSYST);
    value = nest ? read(nest, field_now()) : 0;
  } else if (is(xstacc)) {
    Drosa tsmod = find_prev_kind_stop(TSMOD, note, ENDSYST);
    value = note->get(xstacc) ? (tsmod && tsmod->get(xstacissimo) ? 2 : 1) : 0;
  } else if (tsmod_field()) {
    Drosa tsmod = find_prev_kind_stop(TSMOD, note, ENDSYST);
    value = tsmod ? read(tsmod, field_now()) : 0;
  } else if (chord_wide() || is(xtie) || is(xslur) || plain_note_field() || checked_note_field()) {
    value = read(note, field_now());
  } else {
    REPORT_ERROR(4, "unrecognized gselect_field_name in do_note_field_check");
    return;
  }
  if (is(xdir) || is(xlgval)) value = against_reference(value, false);
  if (is(xslur) || is(xtie) || is(xa_slur)) value = against_reference(value, true);
  fold(value);
}

// ---- The annotation fields
// ------------------------------------------------------------------------

namespace {

bool line_only_field() {
  return one_of({&xgaplth, &xdashlth, &xlinewidth, &xfattermid, &xline_drawmode, &xline_fromstaff,
                 &xline_pagemargin, &xline_color, &xmetaline, &xline_ord, &xcurve});
}

bool text_field() {
  return one_of({&xtextfont,    &xcharset,        &xtextsize,        &xtextface,   &xtext_drawmode,
                 &xkeep_hyphen, &xkeep_underline, &xno_size_adjust,  &xpslayout,   &xspec_underline,
                 &xjustified,   &xpagemargin,     &xboxed,           &xleavespace, &xfromstaff,
                 &xfing,        &xhidden,         &xdefault,         &xfooter,     &xignore,
                 &xtext_color,  &xclassify,       &xclassify_gselect});
}

// The node that places the annotation, when it has a place on the page.
Drosa placed_pdata(Drosa anno) {
  Drosa pd = anno->xnext;
  if (!pd || effective_kind(pd) != PDATA) return NIL;
  return pd->get(xscrx1) == NOT_DRAWN && pd->get(xscry1) == NOT_DRAWN ? NIL : pd;
}

// The note an annotation stands before.
Drosa anno_note(Drosa anno) {
  for (Drosa p = anno->xnext; p; p = p->xnext) {
    if (p->xkind == NOTE) return p;
    if (effective_kind(p) == ENDSYST) return NIL;
  }
  return NIL;
}

// The annotation's further style runs: each later TPARAM with the continuation bit, past its
// TEXT nodes and layout records.
template <typename Visit>
void for_each_run(Drosa tparam, Visit visit) {
  visit(tparam);
  for (Drosa p = tparam->xnext; p; p = p->xnext) {
    if (p->xkind == TEXT || p->xkind == PDATA || p->xkind == PVIEW) continue;
    if (p->xkind != TPARAM || !p->get(xadjacent)) break;
    visit(p);
  }
}

bool seen_here(int8_t context) {
  return context == 0 || context == current_ncontext || (context == -1 && current_ncontext != 1);
}

void take_highlight(Drosa anno, bool show) {
  if (group_selected)
    group_highlight_anno(anno);
  else
    anno_highlight(anno, show ? 2 : 1);
}

// The class model slot of a TPARAM's class; nullptr for a class out of range.
Drosa* class_slot(Drosa tparam) {
  const int cls = tparam->get(xclassify);
  return cls >= 0 && cls < CLASS_MODEL_SLOTS ? &class_models[cls] : nullptr;
}

void assign_context(Drosa anno, int8_t context) {
  auto set_context = [context](Drosa p) {
    modifyvc_with_undo(p);
    p->xcontext = context;
  };
  set_context(anno);
  if (anno->xkind == TPARAM) {
    for (Drosa p = anno->xnext; p; p = p->xnext) {
      if (p->xkind == PDATA || p->xkind == PVIEW) continue;
      if (p->xkind == TEXT || (p->xkind == TPARAM && p->get(xadjacent)))
        set_context(p);
      else
        break;
    }
  }
  if (context == 0) return;
  for (Drosa p = anno->xback; p && p->xkind == PVIEW;) {
    Drosa before = p->xback;
    destroy_node(p);
    p = before;
  }
  if (seen_here(context)) return;
  Drosa pd = anno->xnext;
  if (pd && pd->xkind == PDATA) {
    pd->set(xanno_selected, 0);
    destroy_node(pd);
  }
}

void assign_line_field(Drosa line) {
  const int32_t v = gselect_field_value;
  if (is(xline_ord)) {
    if (line_pair_member(line)) remove_resizing(line);
    return;
  }
  if (is(xfattermid) && !line->get(xcurve)) return;
  if (is(xmetaline) && line->get(xcurve)) return;
  if (is(xcurve)) return;  // asked, never assigned
  write(line, field_now(), v);
}

void assign_text_fields(Drosa tparam) {
  const int32_t v = gselect_field_value;
  Drosa note = anno_note(tparam);
  const int32_t old_width = measure_anno_text(note, tparam, nullptr);
  if (is(xdefault)) {
    Drosa* slot = class_slot(tparam);
    if (v) {
      if (slot) {
        if (*slot && *slot != tparam) {
          modifyvc_with_undo(*slot);
          (*slot)->set(xdefault, 0);
        }
        *slot = tparam;
      }
    } else if (slot && *slot == tparam) {
      *slot = NIL;
    }
  }
  if ((is(xclassify) || is(xclassify_gselect)) && tparam->get(xdefault)) {
    Drosa* slot = class_slot(tparam);
    if (slot && *slot == tparam) *slot = NIL;
    tparam->set(xdefault, 0);
  }
  for_each_run(tparam, [&](Drosa run) {
    if (run != tparam) modifyvc_with_undo(run);
    write(run, is(xclassify_gselect) ? static_cast<const NodeField&>(xclassify) : field_now(), v);
  });
  if (is(xclassify_gselect)) anno_set_class(v, 1, 0, tparam, 1);
  // The text keeps its place by its justification as its width changes.
  const int32_t width = measure_anno_text(note, tparam, nullptr);
  switch (tparam->get(xjustified)) {
    case 1:
      if (note)
        tparam->set(xtextx, param_length(P_CENTERING_X_OFFSET_IF_CENTERED_CHECKED, note, nullptr));
      break;
    case 2:
      tparam->set(xtextx, tparam->get(xtextx) + old_width - width);
      break;
    case 3:
      tparam->set(xtextx, tparam->get(xtextx) + (old_width - width) / 2);
      break;
    default:
      break;
  }
  if (is_plotted_note(note)) tparam->set(xtext_stsize, note->xnext->get(xstsize) / 10);
}

}  // namespace

// A part of a line pair: its 7 bits of byte 47 are 0 and its 7 bits of byte 27 are not.
bool line_pair_member(Drosa node) {
  return node && effective_kind(node) == LINE && node->get(xline_eocvar) == 0 &&
         node->get(xline_ord) != 0;
}

void do_anno_field_assignment(Drosa anno) {
  if (!anno) return;
  ++assigned_nodes;
  const int32_t v = gselect_field_value;
  if (is(xanno_selected)) {
    if (v != 0) REPORT_ERROR(4, "Attempted to set xanno_selected in do_anno_field_assignment");
    Drosa pd = anno->xnext;
    if (pd && pd->xkind == PDATA) pd->set(xanno_selected, 0);
    return;
  }
  if (anno->xkind != TPARAM && anno->xkind != LINE) {
    REPORT_ERROR(4, "Pointer %p is kind %d in  do_anno_field_assignment",
                 reinterpret_cast<void*>(uintptr_t(anno.handle())), int(anno->xkind));
    return;
  }
  const bool placed = placed_pdata(anno) != NIL;
  if (placed) {
    take_highlight(anno, false);
    anno_draw(anno, 1, 0);
  }
  modifyvc_with_undo(anno);
  if (is(xcontext)) {
    assign_context(anno, int8_t(v));
    if (!seen_here(anno->xcontext)) {
      if (current_anno == anno) {
        current_anno = NIL;
        icon_update();
      }
      return;
    }
  } else if (anno->xkind == LINE && line_only_field()) {
    assign_line_field(anno);
    // The line's offsets from its note follow what changed (a lock, a pending reference).
    Drosa note = anno_note(anno);
    if (is_plotted_note(note) && !line_pair_member(anno)) {
      int32_t x = 0, y = 0;
      anno_refloc(note, anno, &x, &y, 0);
    }
  } else if (anno->xkind == TPARAM && text_field()) {
    assign_text_fields(anno);
  }
  if (placed && placed_pdata(anno)) {
    anno_draw(anno, 0, 0);
    take_highlight(anno, true);
  }
}

void do_anno_field_check(Drosa anno) {
  if (!anno || (anno->xkind != TPARAM && anno->xkind != LINE)) {
    REPORT_ERROR(4, "Pointer %lx is kind %hd in  do_anno_field_check",
                 anno ? (unsigned long)anno.handle() : 0ul, anno ? short(anno->xkind) : short(0));
    return;
  }
  const int32_t r = gselect_reference_value;
  int32_t value;
  if (is(xcontext)) {
    value = anno->xcontext;
  } else if (anno->xkind == LINE) {
    if (!line_only_field()) return;  // a text's field: lines have none
    value = read(anno, field_now());
    if (is(xmetaline)) {
      if (r == GSELECT_LINE_SEEN)
        gselect_seen_line = 1;
      else
        value = value == r ? value : -1;
    }
  } else {
    if (is(hyphen) || is(extend) || is(size_adjust)) {
      value = !read(anno, field_now());
    } else if (text_field()) {
      value = read(anno,
                   is(xclassify_gselect) ? static_cast<const NodeField&>(xclassify) : field_now());
    } else {
      return;  // a line's field: texts have none
    }
    if (is(xtextsize)) {
      // The size as drawn at its note (a template: at the insertion point).
      const bool templ = anno == text_template;
      Drosa note = templ ? insertion_point : anno_note(anno);
      if (is_plotted_note(note)) value = note_text_offset(note, anno, anno);
    }
    if (is(xtextsize) || is(xtextfont)) value = value == r ? value : 0;
    if (is(xtextface)) value = r == 0 ? (value != 0) : (value & r);
    if ((is(xclassify) || is(xclassify_gselect)) && r == GSELECT_TEXT_SEEN) gselect_seen_text = 1;
  }
  fold(value);
}

// ---- The questions of the menus and the palette ------------------------------------------------

namespace {

void begin_check(const NodeField& field, int32_t reference) {
  gselect_reference_value = reference;
  gselect_field_name = &field;
  gselect_field_value = GSELECT_NOTHING;
}

// The menus whose items ask the annotation selection: Annotation, Font, Style, Size, Text
// Category, Text Assistant, Line, Curve, Line and Curve Style.
bool annotation_menu(int16_t menu) {
  for (int16_t m : {11, 12, 13, 27, 26, 25, 23, 24, 28})
    if (menu == m) return true;
  return false;
}

}  // namespace

int32_t check_selection_field(int32_t* out, const Rect* box, const NodeField& field,
                              int32_t reference) {
  begin_check(field, reference);
  apply_to_cursor_or_group(do_note_field_check, 0);
  const int32_t result = gselect_field_value;
  if (result == GSELECT_MIXED) {
    if (box) {
      const PenState pen = get_pen_state();
      fill_rect(*box, PATTERN_LIGHT_GRAY);
      set_pen_state(pen);
    }
    if (out) *out = 0;
  }
  if (reference == GSELECT_ANY)
    return result == GSELECT_NOTHING || result == GSELECT_MIXED ? 0 : result;
  return result == reference ? reference : 0;
}

int32_t mark_menu_from_selection(int16_t menu, int item, const NodeField& field, int32_t reference,
                                 int32_t default_value) {
  gselect_seen_line = gselect_seen_text = 0;
  begin_check(field, reference);
  if (annotation_menu(menu))
    for_each_selected(do_anno_field_check, -1);
  else
    apply_to_cursor_or_group(do_note_field_check, 0);
  const int32_t result = gselect_field_value;
  const bool examined = result != GSELECT_NOTHING, mixed = result == GSELECT_MIXED;
  bool marked = result == reference || mixed;
  if (reference == GSELECT_ANY) marked = examined && result != 0;
  if (reference == 0) marked = examined && marked;
  if (reference == GSELECT_LINE_SEEN) marked = gselect_seen_line != 0;
  if (reference == GSELECT_TEXT_SEEN) marked = gselect_seen_text != 0;
  const uint8_t now = platform_menu_item_mark(menu, item);
  if (now == 0 || now == MENU_MARK_CHECK || now == MENU_MARK_DASH) {
    const bool dash = mixed && &field != &xcurve;
    platform_set_menu_item_mark(menu, item, marked ? (dash ? MENU_MARK_DASH : MENU_MARK_CHECK) : 0);
  }
  if (!group_selected) return default_value;
  if (reference == 0 || reference == GSELECT_ANY || reference == GSELECT_LINE_SEEN)
    return examined && !mixed ? result : default_value;
  return result == reference ? reference : 0;
}

int32_t query_selection_field(int annotations, const NodeField& field, int32_t reference) {
  begin_check(field, reference);
  if (annotations)
    for_each_selected(do_anno_field_check, -1);
  else
    apply_to_cursor_or_group(do_note_field_check, 0);
  return gselect_field_value;
}

// ---- Assigning over the selection ---------------------------------------------------------------

void assign_selection_field(const NodeField& field, int value, int reformat) {
  gselect_field_value = value;
  gselect_field_name = &field;
  assigned_nodes = 0;
  if (MODE == MUSIC_MODE) {
    if (group_selected)
      for_each_group_selected(do_note_field_assignment);
    else if (insertion_point_shown())
      do_note_field_assignment(insertion_point);
    refresh_from_offscreen();
  } else {
    for_each_selected(do_anno_field_assignment, 1);
  }
  // Nothing selected: nothing changed, nothing to save.
  if (&field != &xselected && &field != &xanno_selected && voice_count > 0 && assigned_nodes)
    mark_piece_changed(reformat, 1, 0);
}

// ---- Group membership ---------------------------------------------------------------------------

void toggle_xselected(Drosa node, int follow_rests) {
  if (!node) return;
  if (node->xkind == NOTE) {
    const int now = !node->get(xselected);
    node->set(xselected, now);
    if (now)
      group_highlight_note(node);
    else
      group_unhighlight_note(node);
    if (!follow_rests || !node->get(xrest) || !is_plotted_note(node)) return;
    const int stands_for = node->xnext->get(xscrrestchar);
    if (stands_for == 0) return;
    for (Drosa p = node->xnext->xnext; p; p = p->xnext) {
      const int k = effective_kind(p);
      if (k == ENDSYST || (k == BAR && stands_for != 2)) break;
      if (p->xkind != NOTE) continue;
      if (!p->get(xrest) || is_plotted_note(p)) break;
      p->set(xselected, !p->get(xselected));
    }
    return;
  }
  Drosa pd = node->xnext;
  if (!pd || effective_kind(pd) != PDATA) {
    REPORT_ERROR(4, "Expected anno in toggle_xselected, got %hd and %hd",
                 short(effective_kind(node)), short(pd ? effective_kind(pd) : 0));
    return;
  }
  pd->set(xanno_selected, !pd->get(xanno_selected));
  group_highlight_anno(node);
}
