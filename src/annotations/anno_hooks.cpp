// anno_hooks.cpp: what the annotations lend the layout engine, registered at start-up: their
// passes of each system and the state they keep for a page.
#include "annotations/anno_services.h"
#include "layout/layout_services.h"

void register_anno_hooks() {
  layout_hooks.draw_voice_annos.routine = draw_voice_annos;
  layout_hooks.draw_pstaff_texts.routine = draw_pstaff_texts;
  layout_hooks.draw_pstaff_annos.routine = draw_pstaff_annos;
  layout_hooks.clear_anno_lowered_at_paper_top.routine = clear_anno_lowered_at_paper_top;
  layout_hooks.clear_anno_footer_boxes.routine = clear_anno_footer_boxes;
  layout_hooks.clear_anno_lyric_lines.routine = clear_anno_lyric_lines;
}
