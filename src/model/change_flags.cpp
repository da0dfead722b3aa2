// change_flags.cpp: the change marker and the view flags.
//
// The flags say which views of the piece must be reformatted: the current view by
// reformat_pending; the other views of the same piece, when the main loop passes the flags on
// (propagate_view_changes), by their own saved flag, which makes them reformat when they
// become current again.
#include "model/change_flags.h"

#include "model/kept_pages.h"
#include "model/model_globals.h"
#include "model/views.h"

void mark_piece_changed(int reformat, int kind, int context) {
  DrosaDirty |= 1;
  mark_views_changed(reformat, kind, context);
}

void mark_layout_changed(int kind, int context) {
  DrosaDirty |= DIRTY_LAYOUT;
  mark_views_changed(0, kind, context);
}

void mark_views_changed(int reformat, int kind, int context) {
  count_piece_change();
  if (reformat) reformat_pending = 1;
  if (kind == CHANGE_NO_VIEWS) return;
  if (context != current_ncontext)
    view_change_other = 1;
  else
    view_change_current = 1;
}

void clear_view_changes() { view_change_current = view_change_other = 0; }

// Reads: view_change_current, view_change_other, current_view_index, current_ncontext, the
// piece and context of every view. Writes: the saved reformat flag of the other views.
void propagate_view_changes() {
  if (!view_change_current && !view_change_other) return;
  const ViewData* piece = view_piece(current_view_index);
  if (!piece) return;  // a view that was never left shares its piece with no other view
  for (int slot = 0; slot < MAX_VIEWS; ++slot) {
    if (slot == current_view_index || view_piece(slot) != piece) continue;
    if (view_change_other || view_ncontext(slot) == current_ncontext) mark_view_for_reformat(slot);
  }
}
