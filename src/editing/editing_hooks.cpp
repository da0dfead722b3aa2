// editing_hooks.cpp: what the editing commands lend the model and the layout engine, registered
// at start-up: the insertion point, the clipboard the node store's leak check counts, and the
// page breaks the formatter moves when a page cannot hold its systems.
#include "editing/editing_services.h"
#include "editing/measures.h"
#include "layout/layout_services.h"

void register_editing_hooks() {
  model_hooks.set_insertion_point.routine = set_insertion_point;
  model_hooks.cursor_to_nearest_visnote.routine = cursor_to_nearest_visnote;
  model_hooks.clipboard_list.routine = [] { return clipboard_list; };
  model_hooks.clipboard_kind.routine = [] { return clipboard_kind; };
  model_hooks.make_cursor_visible.routine = make_cursor_visible;
  model_hooks.adjust_accidentals.routine = adjust_accidentals;
  model_hooks.unary_node.routine = unary_node;
  model_hooks.make_new_piece.routine = make_new_piece;
  layout_hooks.split_page.routine = split_page;
  layout_hooks.move_page_end.routine = move_page_end;
  layout_hooks.cut_and_join_next_system.routine = [](Drosa note, int strict) {
    return cut_and_join_next_system(note, strict);
  };
  layout_hooks.insert_system_start.routine = insert_system_start;
}
