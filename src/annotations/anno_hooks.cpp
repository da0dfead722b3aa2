// anno_hooks.cpp: what the annotations lend the layout engine, registered at start-up: their
// passes of each system and the state they keep for a page.
#include "annotations/anno_services.h"
#include "annotations/hairpin_room.h"
#include "layout/layout_services.h"
#include "params/param_services.h"

void register_anno_hooks() {
  model_hooks.param_annos_to_nodes.routine = param_annos_to_nodes;
  model_hooks.param_nodes_to_annos.routine = param_nodes_to_annos;
  model_hooks.midi_nodes_to_annos.routine = midi_nodes_to_annos;
  model_hooks.end_anno_selection.routine = end_anno_selection;
  model_hooks.midi_anno_kind.routine = midi_anno_kind;
  model_hooks.anno_run_text.routine = [](Drosa tparam, int limit) {
    return anno_run_text(tparam, limit);
  };
  model_hooks.delete_anno_nodes.routine = delete_anno_nodes;
  model_hooks.make_text_anno.routine = make_text_anno;
  model_hooks.anno_set_class.routine = anno_set_class;
  model_hooks.delete_marked_annos.routine = delete_marked_annos;
  param_hooks.pixels_to_tenths.routine = pixels_to_tenths;
  layout_hooks.anno_fold_request_before_layout.routine = anno_fold_request_before_layout;
  layout_hooks.measure_anno_text.routine = measure_anno_text;
  layout_hooks.anno_lowered_at_paper_top.routine = anno_lowered_at_paper_top;
  layout_hooks.anno_shift_lyric_lines.routine = anno_shift_lyric_lines;
  layout_hooks.anno_footer_boxes.routine = anno_footer_boxes;
  layout_hooks.anno_lyric_lines.routine = anno_lyric_lines;
  layout_hooks.hairpin_room_after.routine = hairpin_room_after;
  layout_hooks.draw_voice_annos.routine = draw_voice_annos;
  layout_hooks.draw_pstaff_texts.routine = draw_pstaff_texts;
  layout_hooks.draw_pstaff_annos.routine = draw_pstaff_annos;
  layout_hooks.clear_anno_lowered_at_paper_top.routine = clear_anno_lowered_at_paper_top;
  layout_hooks.clear_anno_footer_boxes.routine = clear_anno_footer_boxes;
  layout_hooks.clear_anno_lyric_lines.routine = clear_anno_lyric_lines;
}
