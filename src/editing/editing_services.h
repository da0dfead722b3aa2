// editing_services.h: what the rest of the program asks of the selection and editing code.
// Other folders include this header and no other header of editing/.
#pragma once

#include "editing/acc.h"
#include "editing/editing_globals.h"
#include "editing/systems.h"
#include "model/model_services.h"

// Makes the visible note nearest to a page point the insertion point.
void cursor_to_nearest_visnote(PagePoint point, int a, int b, int c);

// Operations on the SPACC, COLOR, TSMOD and NEST nodes attached before a NOTE:
// 2 removes them with undo; 3 and 4 skip them forward or backward.
inline constexpr int UNARY_DELETE = 2, UNARY_SKIP_FORWARD = 3, UNARY_SKIP_BACK = 4;
Drosa unary_node(int op, Drosa node);

// Applies a per-note routine to each note of the group selection, or to the insertion point
// when there is no group selection (there is none yet: the insertion point only).
void apply_to_cursor_or_group(void (*per_note)(Drosa note), int flag);

// Sets a field on every selected note or annotation of the field's kind (the group selection,
// else the insertion point or the selected annotation), with undo, and marks the piece
// changed. Only the insertion point can be selected yet.
void assign_selection_field(const NodeField& field, int value, int refresh);

// Scrolls so that the insertion point is in view.
void make_cursor_visible();

// ---- Key signatures (keysig.cpp) ---------------------------------------------------------------
// remove_naturals_from_key: drops every cancelling natural (code 14 and up) of a KEYSIG,
// keeping the order of the other entries, and sets the count to what remains.
// Failure: level 4 "NIL pointer for remove_naturals_from_key" for no node.
void remove_naturals_from_key(Drosa key);

// ---- Staff drags -------------------------------------------------------------------------------
// update_SDRAG_on_page: removes, with undo, every SDRAG of the node's voice between the ENDSYST
// that starts the node's page and the one that ends it, and marks the piece changed when
// one went.
// Reads: current_ncontext. Writes: the voice list (recorded), DrosaDirty.
void update_SDRAG_on_page(Drosa node);
