// layout_hooks.cpp: what the model calls of the layout engine (its object lookup, the page index,
// the page of a view made current again and the dumps of its rods, springs and slur and tie
// buffers), registered at start-up, and the hooks through which the page formatter reaches the
// drawing, the annotations, the editing of page breaks, the piano palette and the frame's poll,
// which those subsystems register at start-up.
#include <algorithm>
#include <string>

#include "layout/layout_services.h"
#include "layout/relocate.h"

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

// A node of the justification in the debug dumps: its line; 0 for another kind.
int layout_node_text(Drosa n, std::string* line) {
  switch (n->xkind) {
    case ROD:
      append_dump_text(line, "ROD    %p  xrodleft %d xrodright %d xrodlength %d xrodforce %ld",
                       dump_id(n), n->get(xrodleft), n->get(xrodright), n->get(xrodlength),
                       long(rod_force(n)));
      return 1;
    case SPRING:
      append_dump_text(line, "SPRING %p  xspringnum %d springk %ld xminforce %ld length %ld",
                       dump_id(n), n->get(xspringnum), long(spring_k(n)), long(spring_minforce(n)),
                       long(spring_length(n)));
      return 1;
    default:
      return 0;
  }
}

// The slur buffer of the normal layer, written to the debug stream.
void dump_slur_buffer() {
  debug_out("Contents of the slur buffer (normal layer):\n");
  bool any = false;
  for (int staff = 0; staff < MAX_PSTAVES; ++staff)
    for (int dir = 1; dir <= 2; ++dir)
      for (int grace = 0; grace <= 1; ++grace) {
        const SlurEntry& e = slur_buffer[staff][0][dir - 1][grace];
        if (!e.first_note) continue;
        any = true;
        std::string text;
        append_dump_text(&text,
                         "staff %d, voice %d, dir %d grace %d: begx %d, begy %d, head %p, tail "
                         "%p\n",
                         staff, e.voice, dir, grace, e.start_x, e.start_y, dump_id(e.first_note),
                         dump_id(e.chord));
        debug_out(text.c_str());
      }
  if (!any) debug_out("*** empty slur buffer ***\n");
}

// The tie buffer, written to the debug stream.
void dump_tie_buffer() {
  debug_out("Contents of the tie buffer:\n");
  const int count = std::clamp<int32_t>(tie_count, 0, TIE_STACK_SIZE);
  for (int i = 0; i < count; ++i) {
    const TieEntry& e = tie_struct[i];
    std::string text;
    append_dump_text(&text, "staff %d, voice %d, dir %d, x %d, mod7 %d, wholec 0x%X\n", e.pstaff,
                     e.voice, e.side, e.start_x, e.position, unsigned(e.end_time));
    debug_out(text.c_str());
  }
  if (count == 0) debug_out("*** empty tie buffer ***\n");
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
  model_hooks.layout_node_text.routine = layout_node_text;
  model_hooks.rod_list.routine = [] { return rod_head; };
  model_hooks.spring_list.routine = [] { return spring_head; };
  model_hooks.dump_slur_buffer.routine = dump_slur_buffer;
  model_hooks.dump_tie_buffer.routine = dump_tie_buffer;
  model_hooks.find_measure_any_voice.routine = find_measure_any_voice;
}
