// anno_runs.h: annotations as runs of nodes before their note: walking a text's style runs,
// making TEXT nodes, deleting one whole annotation, the templates of new annotations, and the
// words the user sees for the annotation flags and line styles.
#pragma once

#include <string>

#include "annotations/anno_services.h"
#include "model/model_services.h"

// ---- Deleting -------------------------------------------------------------------------------

// delete_anno_run: delete_anno_nodes for an annotation of any notation context (the node
// must be a TPARAM or LINE; delete_anno_nodes also asks that the current context sees it).
Drosa delete_anno_run(Drosa anno);

// forget_anno_references: clears every program-wide reference to the annotation head `anno`
// (current_anno, last_template_source), as when it leaves the piece.
void forget_anno_references(Drosa anno);

// ---- Templates ------------------------------------------------------------------------------

// staff_value_of_node: the middle-line y of the printed staff that holds `node` on the
// formatted page (staff_data); 0 when it is on none.
int32_t staff_value_of_node(Drosa node);

// The palette's name of a line style (xmetaline 0..12); "ERROR BAD VALUE" for any other.
const char* line_style_name(int style);

// One flag of the annotation nodes with the words the menus and the palette use for it.
struct AnnoFlagWord {
  const NodeField* field;
  const char* menu;     // the menu's word
  const char* palette;  // the palette's word
};
extern const AnnoFlagWord anno_flag_words[];
extern const int anno_flag_word_count;
