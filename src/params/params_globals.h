// params_globals.h: the program-wide state of the engraving parameters.
#pragma once

#include <cstdint>
#include <vector>

#include "model/model_services.h"
#include "params/param_editor.h"
#include "params/param_services.h"
#include "params/param_table.h"
#include "platform/dialogs.h"
#include "platform/list_box.h"

// ---- The table ------------------------------------------------------------------------------

extern int16_t param_order[PARAM_SLOTS];  // the editor's display order of pindexes

extern int32_t param_order_count;  // entries of param_order

extern int32_t param_heading_count;  // headings among them

// ---- The parameter editor -------------------------------------------------------------------

// All of it lives as long as the program: the cells, the radio choices and the changes-only
// flag are found again by the next opening.
extern DialogRef param_dialog_window;  // the open editor; nullptr while it is closed

extern ListBox* heading_list;  // the headings (item 14) while the editor is open

extern ListBox* param_list;  // the parameters of the selected heading (item 20)

extern Cell heading_cell;  // the selected row of the headings list

extern Cell param_cell;  // the selected row of the parameters list

extern int heading_count;  // headings listed

extern Drosa param_editor_note;  // the insertion point the open editor shows; NIL closed

extern int param_changes_only;  // the lists show only what is changed at the note

extern std::vector<int> heading_position;  // each listed heading's position in param_order

extern int param_row_count;  // rows of the parameter list

extern std::vector<int> param_row_position;  // each row's position in param_order

extern std::vector<int> param_row_changed;  // 1: the row's parameter is changed at the note

extern int param_size_radio;  // 4 value for normal notes, 5 for small notes

extern int param_scope_radio;  // 15 this voice, 16 all shown voices

extern int param_context_radio;  // 17 only this context, 18 not in the Score, 19 all
