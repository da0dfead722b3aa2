// ge_hooks.cpp: what the drawing lends the model and the layout engine, registered at start-up:
// the flash, the zoom, the drawing of each system, the graphics list of each page and how near
// the paper's top and foot ink may stand.
#include "graphics/ge_services.h"
#include "graphics/specplot.h"
#include "layout/layout_services.h"
#include "params/param_services.h"

void register_ge_hooks() {
  model_hooks.flashing_node.routine = [] { return flashing_node; };
  model_hooks.stop_flashing.routine = stop_flashing;
  model_hooks.start_flashing.routine = start_flashing;
  model_hooks.set_graphics_view.routine = [](int slot) { current_graphics_view = slot; };
  model_hooks.forget_view_graphics.routine = [](int slot) { view_graphics[slot] = nullptr; };
  model_hooks.GEinit.routine = GEinit;
  model_hooks.offscreen_dispose.routine = offscreen_dispose;
  model_hooks.zoom_factor.routine = [] { return zoom_factor; };  // the calling thread's
  layout_hooks.plot_page.routine = plot_page;
  layout_hooks.GEinit.routine = GEinit;
  model_hooks.redraw_view.routine = redraw_view;
  model_hooks.font_from_code.routine = font_from_code;
  model_hooks.recolor_all_notes.routine = recolor_all_notes;
  model_hooks.code_from_font.routine = code_from_font;
  model_hooks.debug_GE.routine = debug_GE;
  model_hooks.dump_GE.routine = dump_GE;
  model_hooks.print_beam_buffer.routine = print_beam_buffer;
  param_hooks.decode_note_type.routine = decode_note_type;
  param_hooks.glyph_table_entry.routine = glyph_table_entry;
  param_hooks.offscreen_port.routine = offscreen_port;
  layout_hooks.keep_page_graphics.routine = keep_page_graphics;
  layout_hooks.settle_page_graphics.routine = settle_page_graphics;
  layout_hooks.last_page_final.routine = last_page_final;
  layout_hooks.accidental_shown.routine = accidental_shown;
  layout_hooks.simplified_notation_on.routine = simplified_notation_on;
  layout_hooks.pair_shares_notehead.routine = pair_shares_notehead;
  layout_hooks.stemdir_by_voice_pair.routine = stemdir_by_voice_pair;
  layout_hooks.shape_notehead_kind.routine = shape_notehead_kind;
  layout_hooks.check_tab_string.routine = check_tab_string;
  layout_hooks.unprinted_note.routine = unprinted_note;
  layout_hooks.dot_positions.routine = dot_positions;
  layout_hooks.paren_left_x.routine = paren_left_x;
  layout_hooks.paren_right_x.routine = paren_right_x;
  layout_hooks.kept_page_graphics.routine = kept_page_graphics;
  layout_hooks.kept_pages_graphics.routine = kept_pages_graphics;
  layout_hooks.ge_ink_box.routine = ge_ink_box;
  layout_hooks.ge_pstaff.routine = ge_pstaff;
  layout_hooks.GEline.routine = GEline;
  layout_hooks.draw_tab_fret.routine = draw_tab_fret;
  layout_hooks.drawtie.routine = drawtie;
  layout_hooks.draw_chord_ties.routine = draw_chord_ties;
  layout_hooks.draw_bendtie.routine = draw_bendtie;
  layout_hooks.draw_marks_always.routine = draw_marks_always;
  layout_hooks.draw_marks_sometimes.routine = draw_marks_sometimes;
  layout_hooks.side_pstaff_of_note.routine = side_pstaff_of_note;
  layout_hooks.ge_shift_staves.routine = ge_shift_staves;
  layout_hooks.ge_redraw_braces.routine = ge_redraw_braces;
  layout_hooks.paper_top.routine = [](int context) { return paper_edges(context).top; };
  layout_hooks.lowest_music_y.routine = lowest_music_y;
}
