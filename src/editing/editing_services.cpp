// editing_services.cpp: the insertion point, the nodes attached before a note and the staff
// drags of a page.
//
// There is no window to scroll yet: making the insertion point visible does nothing for now.
#include "editing/editing_services.h"

#include <algorithm>
#include <cstdint>

#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"

namespace {

bool is_attached_kind(Drosa node) {
  int k = effective_kind(node);
  return k == SPACC || k == COLOR || k == TSMOD || k == NEST;
}

}  // namespace

void cursor_to_nearest_visnote(PagePoint point, int, int, int) {
  Drosa best = NIL;
  int64_t best_distance = INT64_MAX;
  for (int v = 0; v < voice_count; ++v) {
    if (voice_not_shown(v)) continue;
    for (Drosa p = page_start[v]; p; p = p->xnext) {
      if (p != page_start[v] && effective_kind(p) == ENDSYST && p->get(xendpage)) break;
      if (!is_visible_note(p)) continue;
      Drosa nt = p->xnext;
      int64_t dx = int64_t(nt->get(xhdx)) - point.x, dy = int64_t(nt->get(xhdy)) - point.y;
      if (dx * dx + dy * dy < best_distance) {
        best_distance = dx * dx + dy * dy;
        best = p;
      }
    }
  }
  if (!best || best == insertion_point) return;
  insertion_point = best;
  insertion_point_flashing = 1;
  start_flashing(best);
}

Drosa unary_node(int op, Drosa node) {
  switch (op) {
    case UNARY_DELETE: {
      if (!node || node->xkind != NOTE) {
        REPORT_ERROR(4, "Note error for UNARY_DELETE in unary_node()!");
        return NIL;
      }
      Drosa p = node->xback;
      while (p && is_attached_kind(p)) {
        Drosa before = p->xback;
        removevc_with_undo(p);
        p = before;
      }
      return node;
    }
    case UNARY_SKIP_FORWARD: {
      Drosa p = node;
      while (p && is_attached_kind(p)) p = p->xnext;
      return p;
    }
    case UNARY_SKIP_BACK: {
      Drosa p = node;
      while (p && is_attached_kind(p)) p = p->xback;
      return p;
    }
    default:
      REPORT_ERROR(4, "Illegal operation for unary_node()!");
      return NIL;
  }
}

void make_cursor_visible() {}

void apply_to_cursor_or_group(void (*per_note)(Drosa note), int /*flag*/) {
  if (is_NOTE(insertion_point)) per_note(insertion_point);
}

void assign_selection_field(const NodeField& field, int value, int /*refresh*/) {
  Drosa node = insertion_point;
  if (!node || node->xkind != field.kind) return;
  Field<int> typed{field};
  if (node->get(typed) == value) return;
  modifyvc_with_undo(node);
  node->set(typed, value);
  mark_piece_changed(1, 1, current_ncontext);
}

void update_SDRAG_on_page(Drosa node) {
  if (!node) return;
  Drosa start = node->xback;
  while (start &&
         !(effective_kind(start) == ENDSYST && (start->get(xendpage) || start->get(xstartpiece))))
    start = start->xback;
  bool removed = false;
  for (Drosa p = start ? start->xnext : node; p;) {
    Drosa next = p->xnext;
    int k = effective_kind(p);
    if (k == ENDSYST && (p->get(xendpage) || p->get(xendpiece))) break;
    if (k == SDRAG) {
      removevc_with_undo(p);
      removed = true;
    }
    p = next;
  }
  if (removed) mark_piece_changed(1, 1, current_ncontext);
}
