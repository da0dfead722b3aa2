// anno_runs.cpp: annotations as runs of nodes standing before their note.
//
// A run is, in list order: PVIEW nodes (one per view that placed it), the head (a TPARAM for
// a text, a LINE for a line or curve), its PDATA, and for a text the TEXT nodes of the head's
// style run followed by further style runs, each a TPARAM with xadjacent and its TEXT nodes.
// Several annotations may stand before one note; each run ends at the first node that is none
// of these, so deleting one never touches the next.
#include "annotations/anno_runs.h"

#include "annotations/anno_fields.h"
#include "model/model_services.h"

namespace {

// A part of the text run after its head: a TEXT, or a further style run's TPARAM.
bool continues_text(Drosa node) {
  return node && (node->xkind == TEXT || (node->xkind == TPARAM && node->get(xadjacent)));
}

}  // namespace

Drosa delete_anno_nodes(Drosa anno) {
  int kind = anno ? effective_kind(anno) : NA;
  if (kind != TPARAM && kind != LINE) {
    REPORT_ERROR(4, "Bad parameter to delete_anno_nodes: %lx kind %s",
                 static_cast<unsigned long>(anno.handle()), node_kind_name(anno));
    return anno ? anno->xnext : NIL;
  }
  return delete_anno_run(anno);
}

Drosa delete_anno_run(Drosa anno) {
  int kind = anno->xkind;
  bool segment = kind == LINE && anno->get(xline_ord) != 0 && anno->get(xline_eocvar) == 0;
  mark_piece_changed(segment ? 2 : 1, 1, anno->xcontext);
  if (anno->xnext && anno->xnext->xkind == PDATA) destroy_node(anno->xnext);
  while (anno->xback && anno->xback->xkind == PVIEW) destroy_node(anno->xback);
  drop_last_mark();
  Drosa last = anno;
  if (kind == TPARAM)
    while (continues_text(last->xnext)) last = last->xnext;
  Drosa before = anno->xback;
  removevc_list_with_undo(anno, last);
  return before;
}
