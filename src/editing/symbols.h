// symbols.h: staff symbols (clefs, bar lines, key and time signatures, beaming rules, zones)
// placed into, changed in or taken out of every voice that sounds at one moment, on the
// insertion point's staff or on every staff, at the insertion point or at the end of its
// system; and the scope buttons that every symbol dialog carries.
#pragma once

#include <cstdint>

#include "editing/editing_services.h"
#include "model/model_services.h"
#include "platform/dialogs.h"

// The items every symbol dialog shares.
inline constexpr int SYMBOL_OK = 1, SYMBOL_CANCEL = 2, SYMBOL_DELETE = 3;
inline constexpr int SYMBOL_THIS_STAFF = 6, SYMBOL_ALL_STAVES = 7;

// The operations of insert_symbol_in_voice.
inline constexpr int SYMBOL_INSERT = 5;  // place a copy, replacing what stands there
inline constexpr int SYMBOL_MODIFY = 6;  // hand each symbol that stands there to after_fn
inline constexpr int SYMBOL_REMOVE = 7;  // take out what stands there

using SymbolCallback = void (*)(Drosa node);

// ---- The scope buttons ------------------------------------------------------------------------

// init_scope_buttons: sets up items 3 to 7: Delete (3) active only when delete_allowed_here;
// the staff pair (6 this staff, 7 all staves) from all_staves_init, both inactive with one
// voice in the piece; the placement pair (4 at the insertion point, 5 at the end of the system)
// at 4 unless no_end_of_system, which leaves both clear and 5 inactive.
// Writes: *all_staves, *at_insertion_point (unless no_end_of_system).
void init_scope_buttons(DialogRef dialog, int all_staves_init, int32_t* all_staves,
                        int32_t* at_insertion_point, int delete_allowed_here, int no_end_of_system);
// scope_button_hit: handles an item of the modal loop: 1 (OK) leaves the dialog open; 2
// (Cancel) and 3 (Delete) close it and restore the cursor; 4 and 5 choose the placement (Delete
// follows what may be deleted there), 6 and 7 the scope. 1 when the item was one of these, 0
// for the dialog's own items.
int scope_button_hit(DialogRef dialog, int item, int32_t* all_staves, int32_t* at_insertion_point,
                     int delete_allowed_here, int delete_allowed_at_end);

// ---- Placing --------------------------------------------------------------------------------

// insert_symbol_all_voices: at the time of `cursor` (a note of the current page) in every shown
// voice (with staff_only, those on the cursor's staff or without a staff of their own in its
// part): looks for symbols of `kind` attached before the voice's note at that time (or the
// first after it; for a BAR or ZONE only a note within 50 time units, and symbols before the
// main note of a grace group count too). With replace they are removed (before_delete_fn
// first), else after_fn is given the first one. With a template a copy of it then goes first
// among the nodes attached to that note (last after a system start), and after_fn is given
// the copy. 1 when some voice had a symbol of the kind there.
// Reads:  voice_count, page_start, the voice lists, current_ncontext.
// Writes: the voice lists (recorded for undo), system_cursor, time_cursor.
int insert_symbol_all_voices(Drosa cursor, int kind, int replace, Drosa symbol_template,
                             SymbolCallback after_fn, int staff_only,
                             SymbolCallback before_delete_fn);
// symbol_exists_on_staff: 1 when a shown voice of the cursor's staff has a symbol of the kind
// attached before the ENDSYST that ends the cursor's system.
// Writes: system_cursor.
int symbol_exists_on_staff(Drosa cursor, int kind);
// check_timing_boundary: 1 when every shown voice (on the cursor's staff with staff_only) has
// a note within 50 time units of the cursor's time, or when the user confirms the placement of
// the symbol named; 0 when refused.
// Writes: symbol_edit_state.step_answer ('V' confirmed, 'X' refused), the voice cursors.
int check_timing_boundary(Drosa cursor, int staff_only, const char* symbol_name);
// insert_symbol_in_voice: what the commands call: `operation` SYMBOL_INSERT, SYMBOL_MODIFY or
// SYMBOL_REMOVE at the insertion point (through insert_symbol_all_voices) or, with
// at_end_of_system, before the ENDSYST that ends the cursor's system, in every shown voice or
// those of the cursor's staff. The kind is the template's as the current context sees it.
// Writes: the voice lists (recorded for undo), the voice cursors.
void insert_symbol_in_voice(Drosa symbol_template, Drosa cursor, int operation,
                            int at_end_of_system, int all_staves, SymbolCallback after_fn,
                            SymbolCallback before_delete_fn);

// at_system_start: no NOTE stands between the node and the visible ENDSYST before it.
bool at_system_start(Drosa node);
