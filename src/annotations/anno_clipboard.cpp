// anno_clipboard.cpp: annotations cut, copied, pasted and cleared; duplicates at each system,
// on each page and in every part, and how their copies follow when systems are rebuilt; the
// counts the menus enable and warn by.
#include "annotations/anno_clipboard.h"

#include <algorithm>
#include <string>

#include "annotations/anno_fields.h"
#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"

namespace {

// The state of one cut, copy or clear.
Drosa anno_clip_tail;
int anno_clip_label = 'M';
int anno_clip_item = 5;
bool anno_clip_refused = false;
Drosa anno_clip_note;

bool is_segment(Drosa anno) {
  return anno->xkind == LINE && anno->get(xline_ord) && !anno->get(xline_eocvar);
}

Drosa anchor_of(Drosa anno) {
  for (Drosa p = anno ? anno->xnext : NIL; p; p = p->xnext) {
    if (p->xkind == ENDSYST) return NIL;
    if (p->xkind == NOTE && is_plotted_note(p)) return p;
  }
  return NIL;
}

// Any NOTE after the annotation (drawn or not): where its copies go in other systems.
Drosa note_after(Drosa anno) {
  for (Drosa p = anno ? anno->xnext : NIL; p; p = p->xnext)
    if (p->xkind == NOTE) return p;
  return NIL;
}

bool placed(Drosa anno) {
  Drosa pd = anno->xnext;
  return pd && pd->xkind == PDATA && pd->get(xscrx1) != NOT_DRAWN;
}

// The last node of an annotation's run: its PDATA, TEXT nodes and further style runs.
Drosa run_end(Drosa anno) {
  Drosa last = anno;
  if (last->xnext && last->xnext->xkind == PDATA) last = last->xnext;
  if (anno->xkind != TPARAM) return last;
  while (last->xnext && (last->xnext->xkind == TEXT ||
                         (last->xnext->xkind == TPARAM && last->xnext->get(xadjacent))))
    last = last->xnext;
  return last;
}

bool is_head(Drosa p) { return p->xkind == LINE || (p->xkind == TPARAM && !p->get(xadjacent)); }

enum RepeatFlags { EACH_SYSTEM, EACH_PAGE, EVERY_PART };

int flag_of(Drosa anno, RepeatFlags f) {
  if (anno->xkind == LINE)
    return f == EACH_SYSTEM ? anno->get(xline_eachsys)
           : f == EACH_PAGE ? anno->get(xline_eachpage)
                            : anno->get(xline_everypart);
  if (anno->xkind == TPARAM && !anno->get(xadjacent))
    return f == EACH_SYSTEM ? anno->get(xeachsys)
           : f == EACH_PAGE ? anno->get(xeachpage)
                            : anno->get(xeverypart);
  return 0;
}
void set_flag(Drosa anno, RepeatFlags f, int on) {
  if (anno->xkind == LINE) {
    if (f == EACH_SYSTEM) anno->set(xline_eachsys, on);
    if (f == EACH_PAGE) anno->set(xline_eachpage, on);
    if (f == EVERY_PART) anno->set(xline_everypart, on);
  } else if (anno->xkind == TPARAM) {
    if (f == EACH_SYSTEM) anno->set(xeachsys, on);
    if (f == EACH_PAGE) anno->set(xeachpage, on);
    if (f == EVERY_PART) anno->set(xeverypart, on);
  }
}

// The clipboard's copies: each head's repetition flag cleared.
void clear_clipboard_flag(RepeatFlags f) {
  for (Drosa p = clipboard_list; p; p = p->xnext)
    if (is_head(p)) set_flag(p, f, 0);
}

// Removes one annotation: one that stands for an element of the music stays, not drawn, so
// that the element stays hidden; any other is deleted. A dynamic's notes are played again at
// the dynamic in force.
void remove_one(Drosa anno) {
  if (current_anno == anno) {
    anno_highlight(anno, 1);
    current_anno = NIL;
    icon_update();
  }
  if (previous_anno == anno) previous_anno = NIL;
  Drosa note = note_after(anno);
  const bool dynamic = anno->xkind == TPARAM && note && note_ntdata(note) &&
                       dynamic_index(note, anno, nullptr) != -1;
  const bool element =
      anno->xkind == TPARAM ? anno->get(xeocvar) != 0 : anno->get(xline_eocvar) != 0;
  if (element) {
    modifyvc_with_undo(anno);
    if (anno->xkind == TPARAM)
      anno->set(xtext_drawmode, 2);
    else
      anno->set(xline_drawmode, 2);
    if (Drosa pd = anno->xnext; pd && pd->xkind == PDATA) pd->set(xscrx1, NOT_DRAWN);
    mark_piece_changed(1, 1, anno->xcontext);
  } else {
    delete_anno_nodes(anno);
  }
  anno_draw(NIL, 1, 0);
  if (dynamic) apply_dynamic_velocity(note);
}

// The selection check: no extended-line segment, every annotation of one note.
void check_one(Drosa anno) {
  if (is_segment(anno)) anno_clip_refused = true;
  Drosa note = anchor_of(anno);
  if (anno_clip_note && note != anno_clip_note) anno_clip_refused = true;
  anno_clip_note = note;
}

// Copies an annotation, after anno_clip_tail, with its PDATA relative to its reference point.
void append_copy(Drosa anno, Drosa note) {
  Drosa last = run_end(anno);
  Drosa end = NIL;
  Drosa first = copy_detached_chain(anno, last, &end);
  if (first->xkind == TPARAM) {
    first->set(xeocvar, 0);
    first->set(xeocord, 0);
  } else if (first->get(xline_eocvar)) {
    first->set(xline_eocvar, 0);
    first->set(xline_ord, 0);
  }
  if (anno_clip_label == 'M') {
    for (RepeatFlags f : {EACH_SYSTEM, EACH_PAGE, EVERY_PART}) set_flag(first, f, 0);
  }
  Drosa pd = first->xnext;
  if (pd && pd->xkind == PDATA) {
    int32_t x = 0, y = 0;
    if (note) anno_refloc(note, first, &x, &y, 0);
    pd->set(xscrx1, pd->get(xscrx1) - x);
    pd->set(xscrx2, pd->get(xscrx2) - x);
    pd->set(xscry1, pd->get(xscry1) - y);
    pd->set(xscry2, pd->get(xscry2) - y);
    pd->set(xanno_selected, 0);
  }
  link_chain_after(first, end, anno_clip_tail);
  anno_clip_tail = end;
}

// Inserts a copy of the clipboard's list before a note of another system, its layout records
// left to the format that comes.
void insert_raw_copy(Drosa note) {
  if (!clipboard_list || !note) return;
  Drosa anchor = note->xback;
  insertvc_list_with_undo(clipboard_list, NIL, anchor);
  for (Drosa p = anchor->xnext; p && p != note;) {
    Drosa next = p->xnext;
    if (p->xkind == PDATA || p->xkind == PVIEW) destroy_node(p);
    p = next;
  }
}

// The first NOTE of the system that the ENDSYST starts.
Drosa first_note_after(Drosa endsyst) {
  for (Drosa p = endsyst->xnext; p; p = p->xnext) {
    if (p->xkind == NOTE) return p;
    if (p->xkind == ENDSYST) return NIL;
  }
  return NIL;
}

bool begins_page(Drosa endsyst) { return endsyst->get(xendpage) != 0; }

bool is_end(Drosa endsyst) { return endsyst->get(xendpiece) != 0; }

}  // namespace

// ---- Cut, copy, paste and clear ---------------------------------------------------------------

void anno_copy_one(Drosa anno) {
  Drosa note = anchor_of(anno);
  if (!placed(anno) && anno_clip_item != 7) {
    REPORT_ERROR(4, "Annotation not visible for cut or copy.");
    return;
  }
  if (anno_clip_label != 'M') {
    // A Duplicate marks the annotation itself, with undo.
    modifyvc_with_undo(anno);
    set_flag(anno, EVERY_PART, anno_clip_label == 'B');
    set_flag(anno, EACH_SYSTEM, anno_clip_label == 'I');
    set_flag(anno, EACH_PAGE, anno_clip_label == 'K');
  }
  if (anno_clip_item == 7) {
    remove_one(anno);
    return;
  }
  append_copy(anno, note);
  if (anno_clip_item == 4) remove_one(anno);
}

int anno_cut_copy(int item, int label, Drosa only_this_anno) {
  if (item != 4 && item != 5 && item != 7) {
    REPORT_ERROR(4, "bad menu_item on anno_cut_copy in annotate.c");
    return 0;
  }
  if (label != 'B' && label != 'I' && label != 'K' && label != 'M') {
    REPORT_ERROR(4, "bad set_label on anno_cut_copy in annotate.c");
    return 0;
  }
  anno_clip_item = item;
  anno_clip_label = label;
  anno_clip_refused = false;
  anno_clip_note = NIL;
  if (!only_this_anno && item != 7) {
    for_each_selected(check_one, 0);
    if (anno_clip_refused) {
      const char* what = label == 'B'   ? "Duplicate In Every Part"
                         : label == 'I' ? "Duplicate At Each System"
                         : label == 'K' ? "Duplicate On Each Page"
                                        : "Cut Annotations or Copy Annotations";
      REPORT_ERROR(2, "All the selected annotations must be from one note for %s.", what);
      return 0;
    }
  }
  // Clear copies nothing: the clipboard is left as it is.
  Drosa head = NIL;
  if (item != 7) {
    clear_music_scrap(0);
    head = newDrosa(NOTE, 0);
    clipboard_list = head;
    clipboard_kind = 1;
    anno_clip_tail = head;
  }
  if (only_this_anno)
    anno_copy_one(only_this_anno);
  else
    for_each_selected(anno_copy_one, 0);
  if (head) {
    clipboard_list = head->xnext;
    if (clipboard_list) clipboard_list->xback = NIL;
    head->xnext = NIL;
    destroyDrosa(head);
  }
  if (item == 5) return 1;
  if (only_this_anno) REPORT_ERROR(4, "Bad value of only_this_anno in anno_cut_copy!");
  if (group_selected) end_anno_selection(MODE, 1);
  if (MODE == TEXT_MODE) text_start(2);
  return 1;
}

void anno_paste_one(Drosa note) {
  if (!is_plotted_note(note)) return;
  if (clipboard_kind != 1) {
    REPORT_ERROR(4, "Paste type confusion for annotations.");
    return;  // music on the clipboard is never pasted as annotations
  }
  if (!clipboard_list) return;
  Drosa anchor = note->xback;
  insertvc_list_with_undo(clipboard_list, NIL, anchor);
  bool dynamic = false;
  for (Drosa p = anchor->xnext; p && p != note; p = p->xnext) {
    if (!is_head(p)) continue;
    Drosa pd = p->xnext;
    if (pd && pd->xkind == PDATA) {
      int32_t x = 0, y = 0;
      anno_refloc(note, p, &x, &y, 0);
      pd->set(xscrx1, pd->get(xscrx1) + x);
      pd->set(xscrx2, pd->get(xscrx2) + x);
      pd->set(xscry1, pd->get(xscry1) + y);
      pd->set(xscry2, pd->get(xscry2) + y);
    }
    if (p->xkind == TPARAM && !p->get(xignore) && dynamic_index(note, p, nullptr) != -1)
      dynamic = true;
  }
  anno_draw(NIL, 0, 1);
  if (dynamic) apply_dynamic_velocity(note);
}

// ---- Duplicates ----------------------------------------------------------------------------

namespace {

// Puts the clipboard's copies at every later system (each_system) or page of the piece: on
// the systems shown now pasted and placed, beyond the page raw for the format to place.
void duplicate_forward(Drosa anno, bool each_system) {
  mark_piece_changed(0, 3, current_ncontext);
  int page = current_page;
  bool crossed = false;
  for (Drosa p = anno->xnext; p; p = p->xnext) {
    if (effective_kind(p) != ENDSYST) continue;
    if (is_end(p)) break;
    const bool new_page = begins_page(p);
    if (new_page) {
      crossed = true;
      ++page;
      if (each_system) {
        // Copies follow a different left margin on the new page.
        const int32_t shift = staff_left_x(-1, page) - staff_left_x(-1, page - 1);
        for (Drosa c = clipboard_list; c; c = c->xnext) {
          if (c->xkind == TPARAM && !c->get(xadjacent))
            c->set(xtextx, c->get(xtextx) + shift);
          else if (c->xkind == LINE)
            c->set(xstartx, c->get(xstartx) + shift);
        }
      }
    }
    if (!each_system && !new_page) continue;
    Drosa note = first_note_after(p);
    if (!note) continue;
    if (!crossed && each_system)
      anno_paste_one(note);
    else
      insert_raw_copy(note);
  }
}

}  // namespace

void anno_duplicate_each_system(Drosa anno) {
  if (!anno_cut_copy(5, 'I', anno)) return;
  duplicate_forward(anno, true);
  clear_clipboard_flag(EACH_SYSTEM);
}

void anno_duplicate_each_page(Drosa anno) {
  if (!anno_cut_copy(5, 'K', anno)) return;
  duplicate_forward(anno, false);
  clear_clipboard_flag(EACH_PAGE);
}

void anno_duplicate_every_part(Drosa anno) {
  if (current_ncontext != 1) {
    REPORT_ERROR(4, "Bad call to everyparter; not in Score!");
    return;
  }
  if (!anno_cut_copy(5, 'B', anno)) return;
  for (Drosa p = clipboard_list; p;) {
    Drosa next = p->xnext;
    if (p->xkind == PDATA || p->xkind == PVIEW) {
      if (p->xback) p->xback->xnext = next;
      if (next) next->xback = p->xback;
      if (p == clipboard_list) clipboard_list = next;
      p->xnext = p->xback = NIL;
      destroyDrosa(p);
    } else {
      p->xcontext = -1;
    }
    p = next;
  }
  if (Drosa note = anchor_of(anno)) everyparter(note, clipboard_list);
  for (Drosa p = clipboard_list; p; p = p->xnext) p->xcontext = 1;
  clear_clipboard_flag(EVERY_PART);
}

namespace {

// Deletes the In Every Part copies (context -1) standing before a note.
void delete_part_copies(Drosa note) {
  const int16_t saved = current_ncontext;
  current_ncontext = -1;  // the copies are seen as what they are
  Drosa p = note->xback;
  while (p && p->xkind != NOTE && p->xkind != ENDSYST) p = p->xback;
  for (p = p ? p->xnext : NIL; p && p != note;) {
    if (p->xcontext == -1 && is_head(p) && flag_of(p, EVERY_PART)) {
      p = delete_anno_nodes(p);
      p = p ? p->xnext : NIL;
    } else {
      p = p->xnext;
    }
  }
  current_ncontext = saved;
}

}  // namespace

void everyparter(Drosa note, Drosa list) {
  if (current_ncontext != 1) {
    REPORT_ERROR(4, "Bad call to everyparter; not in Score!");
    return;  // copies for other parts are made from the Score only
  }
  if (!note) return;
  voices_to_system(system_number_on_page(note, 0), 0);
  voices_to_system_at_time(find_time_in_system(note), 0, 0);
  for (int v = 0; v < voice_count; ++v) {
    if (voice_not_shown(v)) continue;
    Drosa at = time_cursor[v];
    if (!at || at->xkind != NOTE) continue;
    if (list) {
      insertvc_list_with_undo(list, NIL, at->xback);
      continue;
    }
    delete_part_copies(at);
    for (Drosa g = at; g && g->xkind == NOTE && g->get(xgrace);) {
      Drosa next = g->xnext;
      while (next && next->xkind != NOTE && next->xkind != ENDSYST) next = next->xnext;
      if (!next || next->xkind != NOTE) break;
      delete_part_copies(next);
      g = next;
    }
  }
  if (MODE >= TEXT_MODE && MODE <= CURVE_MODE) icon_update();
}

// ---- Clearing repetitions ---------------------------------------------------------------------

void anno_part_label_clear(Drosa node) {
  if (current_ncontext != 1) {
    REPORT_ERROR(4, "Not editing Score for anno_part_label_clear!");
    return;
  }
  mark_piece_changed(0, 1, 0);
  Drosa note = node;
  while (note && !(note->xkind == NOTE && is_plotted_note(note))) note = note->xnext;
  if (!note) return;
  everyparter(note, NIL);
  for (Drosa p = note->xback; p && p->xkind != NOTE && p->xkind != ENDSYST; p = p->xback) {
    if (is_head(p) && flag_of(p, EVERY_PART)) {
      modifyvc_with_undo(p);
      set_flag(p, EVERY_PART, 0);
    }
  }
}

namespace {

// Flagged for At Each System: the flag, or a left-justified text or a line locked to the left
// margin that lies left of the staff (a copy that lost its flag).
bool repeats_at_system(Drosa p) {
  if (flag_of(p, EACH_SYSTEM)) return true;
  const int32_t staff_left = staff_left_x(-1, current_page);
  if (p->xkind == TPARAM && !p->get(xadjacent))
    return p->get(xjustified) == 0 && p->get(xpagemargin) && p->get(xtextx) < staff_left;
  if (p->xkind == LINE)
    return p->get(xline_pagemargin) && p->get(xstartx) < staff_left &&
           p->get(xstartx) + p->get(xendx) < staff_left;
  return false;
}

bool repeats_on_page(Drosa p) { return flag_of(p, EACH_PAGE) != 0; }

void remove_repeats(Drosa node, bool (*flagged)(Drosa), RepeatFlags f) {
  mark_piece_changed(0, 3, current_ncontext);
  if (!node || (node->xkind == NOTE && !is_plotted_note(node))) return;
  bool first_page = true;
  for (Drosa p = node; p;) {
    if (p->xkind == ENDSYST && begins_page(p)) first_page = false;
    if (!is_head(p) || !flagged(p)) {
      p = p->xnext;
      continue;
    }
    Drosa pd = p->xnext;
    const bool chosen = p == current_anno || (pd && pd->xkind == PDATA && pd->get(xanno_selected));
    if (first_page && chosen) {
      modifyvc_with_undo(p);
      set_flag(p, f, 0);
      p = p->xnext;
      continue;
    }
    Drosa before = p->xback;
    if (first_page)
      remove_one(p);
    else
      delete_anno_nodes(p);
    p = before ? before->xnext : NIL;
  }
}

}  // namespace

void anno_remove_repeats_a(Drosa node) { remove_repeats(node, repeats_at_system, EACH_SYSTEM); }
void anno_remove_repeats_b(Drosa node) { remove_repeats(node, repeats_on_page, EACH_PAGE); }

// ---- Copies that follow rebuilt systems -----------------------------------------------------

namespace {

// The system's starting ENDSYST of a node.
Drosa system_start(Drosa node) {
  for (Drosa p = node; p; p = p->xback)
    if (p != node && effective_kind(p) == ENDSYST) return p;
  return NIL;
}

// The end of a system's first chord: its first NOTE that ends a vertical chord.
Drosa first_chord_end(Drosa start) {
  for (Drosa p = start->xnext; p; p = p->xnext) {
    if (p->xkind == ENDSYST) return NIL;
    if (p->xkind == NOTE && p->get(xendvcd)) return p;
  }
  return NIL;
}

Drosa repeat_annos(Drosa node, int make, RepeatFlags f, bool page) {
  if (!node) return node;
  if (!make) {
    Drosa start = node->xkind == ENDSYST ? node : system_start(node);
    Drosa end = start ? first_chord_end(start) : NIL;
    if (!start || !end) return NIL;
    for (Drosa p = start->xnext; p && p != end;) {
      if (is_head(p) && flag_of(p, f)) {
        Drosa before = delete_anno_nodes(p);
        p = before ? before->xnext : NIL;
      } else {
        p = p->xnext;
      }
    }
    return NIL;
  }
  Drosa start = node->xkind == ENDSYST ? node : system_start(node);
  if (!start || start->get(xstartpiece)) return node;
  // The source: the previous system, or the first system of the previous page.
  Drosa source = system_start(start);
  if (page) {
    while (source && !source->get(xstartpiece) && !begins_page(source))
      source = system_start(source);
    if (source && begins_page(source) && source == start) source = NIL;
  }
  if (!source) return node;
  Drosa end = first_chord_end(source);
  // After the system's start, or before the note it was given: copies stand before a note.
  Drosa last = node->xkind == NOTE ? node->xback : node;
  for (Drosa p = source->xnext; p && p != end; p = p->xnext) {
    if (!is_head(p) || !flag_of(p, f)) continue;
    Drosa run_last = run_end(p);
    Drosa copy_end = NIL;
    Drosa copy = copy_detached_chain(p, run_last, &copy_end);
    for (Drosa c = copy; c;) {
      Drosa next = c == copy_end ? NIL : c->xnext;
      if (c->xkind == PDATA || c->xkind == PVIEW) {
        if (c->xback) c->xback->xnext = c->xnext;
        if (c->xnext) c->xnext->xback = c->xback;
        if (c == copy) copy = c->xnext;
        if (c == copy_end) copy_end = c->xback;
        c->xnext = c->xback = NIL;
        destroyDrosa(c);
      }
      c = next;
    }
    if (!copy) continue;
    insertvc_with_undo(copy, copy_end, last);
    last = copy_end;
    p = run_last;
  }
  return last == node->xback && node->xkind == NOTE ? node : last;
}

}  // namespace

Drosa repeat_annos_at_system(Drosa node, int make) {
  return repeat_annos(node, make, EACH_SYSTEM, false);
}

void repeat_annos_at_page(Drosa endsyst, int make) { repeat_annos(endsyst, make, EACH_PAGE, true); }

// ---- What the menus ask --------------------------------------------------------------------

namespace {

int32_t* count_flags = nullptr;

void count_selected(Drosa anno) {
  int32_t* f = count_flags;
  if (is_segment(anno)) {
    f[0] = f[1] = f[2] = 0;
  } else if (current_ncontext != 1) {
    f[2] = 0;
  }
  const bool line = anno->xkind == LINE;
  const bool locked_h = line ? anno->get(xline_pagemargin) : anno->get(xpagemargin);
  const bool locked_v = line ? anno->get(xline_fromstaff) : anno->get(xfromstaff);
  if (!(locked_h && locked_v) || anno->xcontext == 0) f[3] = f[4] = 1;
  Drosa start = system_start(anno);
  if (start && !begins_page(start) && !start->get(xstartpiece)) f[4] = 1;
  if (!locked_v || anno->xcontext != 1) f[5] = 1;
  // Repetitions among every annotation before the same note.
  Drosa p = anno;
  while (p->xback && p->xback->xkind != NOTE && p->xback->xkind != ENDSYST) p = p->xback;
  for (; p && p->xkind != NOTE && p->xkind != ENDSYST; p = p->xnext) {
    if (!is_head(p)) continue;
    if (flag_of(p, EACH_SYSTEM)) f[6] = 1;
    if (flag_of(p, EACH_PAGE)) f[7] = 1;
    if (flag_of(p, EVERY_PART) && current_ncontext == 1) f[8] = 1;
  }
}

void count_before_note(Drosa note) {
  int32_t* f = count_flags;
  Drosa p = note;
  while (p->xback && p->xback->xkind != NOTE && p->xback->xkind != ENDSYST) p = p->xback;
  for (; p && p != note; p = p->xnext) {
    if (!is_head(p)) continue;
    if (flag_of(p, EACH_SYSTEM)) f[6] = 1;
    if (flag_of(p, EACH_PAGE)) f[7] = 1;
    if (flag_of(p, EVERY_PART) && current_ncontext == 1) f[8] = 1;
  }
}

}  // namespace

void count_annotations(int32_t flags[9]) {
  count_flags = flags;
  if (MODE != MUSIC_MODE) {
    flags[0] = flags[1] = flags[2] = 1;
    for (int i = 3; i < 9; ++i) flags[i] = 0;
    if (current_ncontext != 1) flags[2] = 0;
    if (!current_anno && !group_selected) flags[0] = flags[1] = flags[2] = 0;
    for_each_selected(count_selected, 0);
  } else {
    flags[0] = flags[1] = flags[2] = 0;
    flags[6] = flags[7] = flags[8] = 0;
    apply_to_cursor_or_group(count_before_note, 0);
  }
  count_flags = nullptr;
}
