// editing_services.cpp: the nodes attached before a note, the staff drags of a page.
#include "editing/editing_services.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "app/app_services.h"
#include "editing/copypaste.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"

namespace {

bool is_attached_kind(Drosa node) {
  int k = effective_kind(node);
  return k == SPACC || k == COLOR || k == TSMOD || k == NEST;
}

}  // namespace

Drosa unary_node(int op, Drosa node) {
  switch (op) {
    case UNARY_COPY: {
      if (!node || node->xkind != NOTE) {
        REPORT_ERROR(4, "Note error for UNARY_COPY in unary_node()!");
        return NIL;
      }
      Drosa start = node;
      while (start->xback && start->xback->xkind != NOTE && effective_kind(start->xback) != ENDSYST)
        start = start->xback;
      for (int kind : {SPACC, COLOR, TSMOD, NEST}) {
        for (Drosa p = start; p != node; p = p->xnext) {
          if (effective_kind(p) != kind) continue;
          link_after(copyDrosa(p), clipboard_tail);
          clipboard_tail = clipboard_tail->xnext;
          break;
        }
      }
      return NIL;
    }
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

void update_SDRAG_on_page(Drosa node) {
  // A page is walked only when some list may hold a staff drag.
  if (!node || staff_drag_nodes == 0) return;
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
