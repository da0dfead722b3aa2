// anno_runs.h: annotations as runs of nodes before their note: walking a text's style runs,
// making TEXT nodes, deleting one whole annotation, the templates of new annotations, and the
// words the user sees for the annotation flags and line styles.
#pragma once

#include <string>

#include "model/model_services.h"

// ---- Walking an annotation ---------------------------------------------------------------------
// is_anno_head: 1 for a TPARAM that starts a text annotation (no xadjacent) or a LINE, as the
// current notation context sees it.
int is_anno_head(Drosa node);

// next_style_run: the continuation TPARAM (xadjacent) of the next style run of the text whose
// run `run` is (its head or an earlier continuation); NIL at the end of the annotation. The
// walk steps over the head's PDATA, the run's TEXT nodes and nodes another notation context
// owns; it ends at the first other node.
Drosa next_style_run(Drosa run);

// run_text: every character of the TEXT nodes of one style run, whatever its length (each
// node gives at most its 21 characters, up to its NUL).
std::string run_text(Drosa run);

// make_text_nodes: a detached chain of TEXT nodes of the context holding `text`, 21
// characters a node (every node but the last full); *last gets its last node. NIL and *last
// NIL for an empty text.
Drosa make_text_nodes(const std::string& text, int context, Drosa* last);

// ---- Deleting -------------------------------------------------------------------------------
// delete_anno_nodes: deletes the annotation headed by `anno` (a TPARAM or a LINE the current
// context sees): its PDATA and the PVIEW nodes before it without undo (they are layout
// records), then with undo every TEXT node and further style run (a TPARAM with xadjacent and
// its TEXT nodes) after it, and the head itself. The program's references to the head
// (current_anno, last_template_source) are cleared. Returns the node that stood before it.
// Reads:  the voice list of anno.
// Writes: the list; the undo history (the removals join the step under way: a command that
//         set its mark deletes in its own step); the change flags (mark_piece_changed with a
//         reformat, for the annotation's context); current_anno, last_template_source.
// Failure: a node that is not a visible TPARAM or LINE is reported (level 4, "Bad parameter
//         to delete_anno_nodes: %lx kind %s"); nothing is deleted and the node after it is
//         returned.
Drosa delete_anno_nodes(Drosa anno);

// delete_anno_run: delete_anno_nodes for an annotation of any notation context (the node
// must be a TPARAM or LINE; delete_anno_nodes also asks that the current context sees it).
Drosa delete_anno_run(Drosa anno);

// delete_marked_annos: deletes, with undo, the annotations before `node` that stand for a
// layout element (xeocvar of a TPARAM or xline_eocvar of a LINE not 0), from the earliest
// PDATA before it (back to the previous note or visible ENDSYST) forward to the next note.
// Returns NIL.
Drosa delete_marked_annos(Drosa node);

// forget_anno_references: clears every program-wide reference to the annotation head `anno`
// (current_anno, last_template_source), as when it leaves the piece.
void forget_anno_references(Drosa anno);

// ---- Templates ------------------------------------------------------------------------------
// anno_make_template: makes the annotation the model of the next new one. A visible TPARAM is
// copied into text_template (links, xeocvar, xeocord and xdefault cleared, the font, size and
// face of its first text-font style run) and gives line_template its locks, draw mode and
// context; a visible LINE is copied into line_template (links, xline_ord and xline_eocvar
// cleared, xcurve kept) and gives text_template the same. Nothing happens for NIL, for any
// other node, or (force 0) for the node copied last.
// Reads:  the annotation and its style runs. Writes: text_template, line_template,
//         last_template_source.
void anno_make_template(Drosa node, int force);

// staff_value_of_node: the middle-line y of the printed staff that holds `node` on the
// formatted page (staff_data); 0 when it is on none.
int32_t staff_value_of_node(Drosa node);

// ---- The user's words
// ---------------------------------------------------------------------------- The palette's name
// of a line style (xmetaline 0..10); "ERROR BAD VALUE" for any other.
const char* line_style_name(int style);

// One flag of the annotation nodes with the words the menus and the palette use for it.
struct AnnoFlagWord {
  const NodeField* field;
  const char* menu;     // the menu's word
  const char* palette;  // the palette's word
};
extern const AnnoFlagWord anno_flag_words[];
extern const int anno_flag_word_count;
