// change_flags.cpp: the change marker and the view flags.
//
// Only one view exists until views are built, so there are no other views to flag.
#include "model/change_flags.h"

#include "layout/layout_services.h"
#include "model/model_globals.h"

void mark_piece_changed(int reformat, int kind, int context) {
  DrosaDirty |= 1;
  mark_views_changed(reformat, kind, context);
}

void mark_views_changed(int reformat, int kind, int context) {
  if (reformat) reformat_pending = 1;
  if (kind == CHANGE_NO_VIEWS) return;
  if (context != current_ncontext)
    view_change_other = 1;
  else
    view_change_current = 1;
}

void clear_view_changes() { view_change_current = view_change_other = 0; }

void propagate_view_changes() {
  // Every open view shows this piece's current page; none other needs the flags yet.
}
