// ncontexts.h: notation contexts: switching the current context, and keeping the PRINT nodes
// of the current context consistent when a part leaves it or systems are rebuilt.
#pragma once

#include <cstdint>

#include "model/drosa.h"

// ---- Switching ----------------------------------------------------------------------------------
// set_notation_context: makes context n current without asking or redrawing: every layout
// record is removed, the page starts go back to the voices' heads, the annotation templates
// take the context, and the current page becomes the one where measure `where` (>= 0) starts
// in the first shown voice, or page -where (where < 0). The caller formats the page.
// Reads:  ncontext_count, the voice lists. Writes: current_ncontext, page_start, current_page,
//         last_formatted_page, the layout records, xcontext of text_template and line_template.
// Failure: level 4 "Bad notation context %hd in set_notation_context" for a context that does
//          not exist; nothing changes.
void set_notation_context(int n, int where);
// ncontext_dialog_set_name: the same switch for the notation-context dialog, which, when it
// is open, also shows the context's name (item 2, selected) and selects the parts it shows.
void ncontext_dialog_set_name(int n, int where);
// change_ncontext: the user's switch to context n: unless no_ask, a changed piece may first be
// saved (when the preference asks for it); the page image follows the new context's page
// size and scale; the page is prepared, and the insertion point goes to `node` when it is
// drawn in the new context, else to the start of its measure (measure 1 for NIL).
// Reads:  prefs, DrosaDirty, the context's options. Writes: as set_notation_context, the page
//         image, the page, the insertion point, selected_voice; the file when saved.
// Failure: Cancel in the question changes nothing; a failed save is reported by the saving
//          code and the switch goes on.
void change_ncontext(Drosa node, int n, int no_ask);

// follow_context_page_size: re-creates the page image when the current context's page size
// differs from the one given, or its scale from the image's; 0 when that failed, else 1.
// Reads:  the current context's options record, zoom_factor.
// Writes: zoom_factor, the page image (offscreen_changesize).
int follow_context_page_size(int32_t old_width, int32_t old_height);

// rebuild_print_nodes: where, at the time of a PRINT of the current context, no shown voice
// would print, the PRINTs in force there are removed with undo (the settings before them
// stay), except at the start of the first system, where the first voice with a PRINT prints
// on staff 0 again. A voice's head PRINT is never removed.
// Reads:  the voice lists, current_ncontext. Writes: system_cursor, time_cursor; PRINT nodes
//         (with undo).
void rebuild_print_nodes();

// ---- Parts leaving a context ------------------------------------------------------------------

// Renumbers the staff fields (xsstaff, xlist) of one PRINT as if the named part's staves were
// taken out of the system at the PRINT's time.
void ncontext_staff_range(const char* part_name, Drosa print);

// 1 when, at the PRINT's time, every printing voice belongs to the named part and at least one
// does; else 0 (also when the PRINT has no note after it in its system).
int ncontext_parts_present(const char* part_name, Drosa print);

// close_up_print_staves: makes the staff numbers of every PRINT of the current notation context
// run from 0 without gaps, keeping their order (a staff nobody prints on is closed up), and
// gives every voice that has none a PRINT after its VINFO.
// Reads:  voice_count, piece_start, current_ncontext.
// Writes: PRINT xsstaff (directly, without undo records); new PRINT nodes.
// Failure: none.
void close_up_print_staves();
