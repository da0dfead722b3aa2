// params_globals.h: the program-wide state of the engraving parameters.
#pragma once

#include <cstdint>

#include "model/model_services.h"
#include "params/param_editor.h"
#include "params/param_table.h"

// ---- The table ------------------------------------------------------------------------------
extern ParamRecord param[PARAM_SLOTS];    // every parameter by pindex 1..753 (slot 0 unused)
extern int16_t param_order[PARAM_SLOTS];  // the editor's display order of pindexes
extern int32_t param_order_count;         // entries of param_order
extern int32_t param_heading_count;       // headings among them
extern int32_t min_line_width;            // minimum line width the table was last built with

// ---- Lookups --------------------------------------------------------------------------------
extern int32_t param_ref_size;  // reference staff size of the value param_value returned last
extern int32_t param_cur_size;  // staff size at the point of the last lookup
// Each voice's PARAM nodes before the page last located, newest first, chained through
// xprev_param (built by the page locator).
extern Drosa page_param_lists[64];

// ---- The parameter editor -------------------------------------------------------------------
extern Cell heading_cell;  // the selected row of the headings list
extern Cell param_cell;    // the selected row of the parameters list

// Empties the table (param_init builds it), puts the lookup and editor state back to its
// start and empties the lookup index.
void reset_params_globals();
