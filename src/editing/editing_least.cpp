// editing_least.cpp: the clicks, drags and keys of the music window that the selection and
// editing commands will take, until they exist: every click is left to the main loop's own
// rule (the nearest note becomes the insertion point), and drags, the rubber band, the arrow
// keys and deletion do nothing. The Layout dialog says that it is not available yet.
#include <cmath>

#include "editing/editing_services.h"
#include "layout/layout_services.h"

int music_click(Point, uint32_t, int, int) { return 1; }

Drosa find_nearest_visnote(PagePoint point, int, int) {
  Drosa best = NIL;
  double best_distance = 0;
  for (int v = 0; v < voice_count; ++v) {
    if (voice_not_shown(v) || !page_start[v]) continue;
    for (Drosa p = page_start[v]; p; p = p->xnext) {
      if (p != page_start[v] && effective_kind(p) == ENDSYST && p->get(xendpage)) break;
      if (!is_visible_note(p)) continue;
      Drosa nt = p->xnext;
      const double d = std::hypot(double(nt->get(xhdx)) - point.x, double(nt->get(xhdy)) - point.y);
      if (!best || d < best_distance) best = p, best_distance = d;
    }
  }
  return best;
}

void toggle_xselected(Drosa node, int) {
  if (node && node->xkind == NOTE) node->set(xselected, !node->get(xselected));
}

void drag_chord(Point, int) {}
void next_drag_staff(Point, Rect) {}
int drag_select_rect(Point, uint32_t, VirtualRect*) { return 0; }
int move_selection_by_key(int, int, int, int) { return 0; }
void delete_notes_command(int) {}
bool node_window_rect(Drosa, Rect*) { return false; }

int layout_dialog() {
  REPORT_ERROR(2, "%s", "The Layout dialog is not available yet.");
  return 0;
}
