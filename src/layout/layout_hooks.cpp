// layout_hooks.cpp: what the model calls of the layout engine (its object lookup, the page index
// and the page of a view made current again), registered at start-up, and the hooks through
// which the page formatter reaches the drawing, the annotations, the editing of page breaks,
// the piano palette and the frame's poll, which those subsystems register at start-up.
#include "layout/layout_services.h"

LayoutHooks layout_hooks;

namespace {

// Shows the page of a view made current again: formatted anew, so that its chord records are
// there again (prepared anew when another page was formatted last).
void format_view_page() {
  if (last_formatted_page != current_page) {
    requested_page = int16_t(current_page);  // preparing keeps the view's page
    prepare_piece();
    return;
  }
  disable_format_interrupts();
  format_page(current_page, 1);
  enable_format_interrupts();
}

}  // namespace

void register_layout_hooks() {
  model_hooks.find_sstaff.routine = find_sstaff;
  model_hooks.find_object.routine = find_object;
  model_hooks.forget_fitted_pages_freed.routine = forget_fitted_pages_freed;
  model_hooks.clear_page_index.routine = clear_page_index;
  model_hooks.count_pages.routine = [] {
    count_pages();
    return int(page_count);
  };
  model_hooks.locate_page.routine = locate_page;
  model_hooks.format_view_page.routine = format_view_page;
  model_hooks.remove_piece_layout_records.routine = [] { remove_ntdata(REMOVE_WHOLE_PIECE); };
}
