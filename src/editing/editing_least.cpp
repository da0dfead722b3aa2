// editing_least.cpp: the clicks, drags and keys of the music window that the selection and
// editing commands will take, until they exist: every click is left to the main loop's own
// rule (the nearest note becomes the insertion point), and drags, the rubber band, the arrow
// keys and deletion do nothing; the Layout dialog says that it is not available yet. Also the
// menus' view of the selection: the marks of note fields, and no annotation or clipboard
// content to find.
#include <cmath>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "layout/layout_services.h"
#include "platform/menus.h"

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

// ---- The menus' view of the selection --------------------------------------------------------

namespace {

// Whether a field's value shows the item's value: -333 (any colour) and -444 (any line kind)
// match every value but 0.
bool value_matches(int found, int value) {
  return value == -333 || value == -444 ? found != 0 : found == value;
}

// A note field's value at a note: the NOTE's own, or its tie and slur modifier's (0 without one).
int note_field_value(Drosa note, const NodeField& field) {
  const Field<int> typed{field};
  if (field.kind == NOTE) return note->get(typed);
  Drosa modifier = find_prev_kind_stop(TSMOD, note, 0);
  return modifier ? modifier->get(typed) : 0;
}

}  // namespace

int mark_menu_from_selection(int16_t menu, int item, const NodeField& field, int value,
                             int template_value) {
  const bool note_field = field.kind == NOTE || field.kind == TSMOD;
  if (!note_field || MODE != MUSIC_MODE) {
    // Annotations cannot be selected yet.
    platform_check_menu_item(menu, item, false);
    return template_value;
  }
  if (!group_selected) {
    const bool marked =
        is_NOTE(insertion_point) && value_matches(note_field_value(insertion_point, field), value);
    platform_check_menu_item(menu, item, marked);
    return template_value;
  }
  bool any = false, mixed = false;
  int common = 0;
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v) {
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      if (p->xkind != NOTE || !p->get(xselected)) continue;
      const int found = note_field_value(p, field);
      if (!any) common = found;
      mixed = mixed || (any && found != common);
      any = true;
    }
  }
  const bool uniform = any && !mixed;
  platform_check_menu_item(menu, item, uniform && value_matches(common, value));
  return uniform ? common : template_value;
}

Drosa prev_visible_anno(Drosa) { return NIL; }
Drosa next_visible_anno(Drosa) { return NIL; }

void clear_music_scrap(int flag) {
  if (flag) return;  // the system clipboard is not read yet: it never holds text or a picture
  if (clipboard_list) destroy_chain(clipboard_list, NIL);
  clipboard_list = NIL;
  clipboard_kind = 0;
}
