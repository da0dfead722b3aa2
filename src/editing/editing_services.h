// editing_services.h: what the rest of the program asks of the selection and editing code.
// Other folders include this header and no other header of editing/.
#pragma once

#include "editing/editing_globals.h"
#include "model/model_services.h"

// Makes the visible note nearest to a page point the insertion point.
void cursor_to_nearest_visnote(PagePoint point, int a, int b, int c);

// Operations on the SPACC, COLOR, TSMOD and NEST nodes attached before a NOTE:
// 2 removes them with undo; 3 and 4 skip them forward or backward.
inline constexpr int UNARY_DELETE = 2, UNARY_SKIP_FORWARD = 3, UNARY_SKIP_BACK = 4;
Drosa unary_node(int op, Drosa node);

// Re-evaluates the printed accidentals around a stretch of a voice: 103 before it is
// removed, 102 after a new stretch is inserted.
void adjust_accidentals(int op, Drosa first, Drosa last, int flag);

// Applies a per-note routine to each note of the group selection, or to the insertion point
// when there is no group selection (there is none yet: the insertion point only).
void apply_to_cursor_or_group(void (*per_note)(Drosa note), int flag);

// Sets a field on every selected note or annotation of the field's kind (the group selection,
// else the insertion point or the selected annotation), with undo, and marks the piece
// changed. Only the insertion point can be selected yet.
void assign_selection_field(const NodeField& field, int value, int refresh);

// Scrolls so that the insertion point is in view.
void make_cursor_visible();

// ---- Systems and page breaks (systems.cpp) ----------------------------------------------------
// Reasons for breaking a notation context into systems.
inline constexpr int SYSTEMS_MENU = 0;          // the Systems... command
inline constexpr int SYSTEMS_NEW_CONTEXT = 1;   // a notation context was just made
inline constexpr int SYSTEMS_NO_BREAKS = 2;     // an imported document gave no breaks
inline constexpr int SYSTEMS_KEEP_SYSTEMS = 3;  // an imported document gave systems only

// systems: breaks the current notation context into systems and pages from the page-starting
// ENDSYST `start` on. A piece without breaks gets a system every four bar lines in every
// voice; with SYSTEMS_KEEP_SYSTEMS the systems stay and only pages are made, as many
// systems a page as the page height holds at the default staff and system distances. Other
// reasons first rebuild the PRINT nodes. 1 when done.
// Reads:  voice_count, piece_start, current_ncontext, its page height, parameters 129, 560.
// Writes: ENDSYST nodes of every voice and their xendpage (recorded for undo), the PRINT
//         nodes (rebuild_print_nodes), the change flags.
// Failure: level 4 "Bad pointer for systems()." when start is not a page-starting ENDSYST;
//          nothing changes and the result is 0.
int systems(Drosa start, int reason, const char* extra);

// ---- Key signatures (keysig.cpp) ---------------------------------------------------------------
// remove_naturals_from_key: drops every cancelling natural (code 14 and up) of a KEYSIG,
// keeping the order of the other entries, and sets the count to what remains.
// Failure: level 4 "NIL pointer for remove_naturals_from_key" for no node.
void remove_naturals_from_key(Drosa key);

// split_page: makes the page end before system `system` (1-based on the current page): the
// ENDSYST that ends the system before it gets xendpage in every shown voice, and the layout
// records of what now lies on the next page are dropped; the page count grows by one.
// Reads:  voice_count, page_start, current_ncontext.
// Writes: ENDSYST xendpage, layout records after the new page end, page_count, DrosaDirty.
// Failure: a system of 1 or less, or one the page does not have, changes nothing.
void split_page(int system);
