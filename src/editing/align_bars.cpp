// align_bars.cpp: bar lines of the formatted page as the bar-aligning code finds them: the bar
// line before or after a staff chord within its system.
#include "editing/align_bars.h"

#include "layout/layout_services.h"
#include "model/model_services.h"

namespace {

int32_t drawn_x(Drosa bar) { return bar->get(reformat_pending ? xbarx : xscrbarx); }

// The bar line of one note in the direction; NOT_DRAWN for none.
int32_t bar_of_note(Drosa note, int direction) {
  if (direction > 0) {
    for (Drosa p = note->xnext; p && effective_kind(p) != ENDSYST; p = p->xnext)
      if (effective_kind(p) == BAR && drawn_x(p) != NOT_DRAWN) return drawn_x(p);
    return NOT_DRAWN;
  }
  for (Drosa p = note->xback; p && effective_kind(p) != ENDSYST; p = p->xback) {
    if (direction == 0 && p->xkind == NOTE) break;
    if (effective_kind(p) == BAR && drawn_x(p) != NOT_DRAWN) return drawn_x(p);
  }
  return NOT_DRAWN;
}

}  // namespace

int32_t find_system_bar_x(Drosa note, int direction) {
  if (!is_NOTE(note) || !note_ntdata(note)) return NOT_DRAWN;
  Drosa first = NIL, last = NIL;
  chord_extent(note, &first, &last);
  if (!first) first = last = note;
  for (Drosa n = first; n; n = n == last ? NIL : chain_next(n)) {
    const int32_t x = bar_of_note(n, direction);
    if (x != NOT_DRAWN) return x;
  }
  return NOT_DRAWN;
}
