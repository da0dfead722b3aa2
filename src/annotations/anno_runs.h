// anno_runs.h: annotations as runs of nodes before their note: deleting one whole annotation.
#pragma once

#include "model/model_services.h"

// delete_anno_nodes: deletes the annotation headed by `anno` (a TPARAM or a LINE): its PDATA
// and the PVIEW nodes before it without undo (they are layout records), then with undo every
// TEXT node and further style run (a TPARAM with xadjacent and its TEXT nodes) after it, and
// the head itself. Returns the node that stood before the annotation.
// Reads:  the voice list of anno.
// Writes: the list; the undo history (a trailing MARK without records is dropped first, so
//         the removals join the step before); the change flags (mark_piece_changed, with a
//         reformat of the system's neighbours for a segment of an extended line).
// Failure: a node that is not a TPARAM or LINE is reported (level 4, "Bad parameter to
//         delete_anno_nodes: %lx kind %s"); nothing is deleted and the node after it is
//         returned.
Drosa delete_anno_nodes(Drosa anno);

// delete_anno_run: delete_anno_nodes for an annotation of any notation context (the node
// must be a TPARAM or LINE; delete_anno_nodes also asks that the current context sees it).
Drosa delete_anno_run(Drosa anno);
