// ncontexts.h: notation contexts: keeping the PRINT nodes of the current context consistent
// when a part leaves it.
#pragma once

#include "model/drosa.h"

// Renumbers the staff fields (xsstaff, xlist) of one PRINT as if the named part's staves were
// taken out of the system at the PRINT's time.
void ncontext_staff_range(const char* part_name, Drosa print);

// 1 when, at the PRINT's time, every printing voice belongs to the named part and at least one
// does; else 0 (also when the PRINT has no note after it in its system).
int ncontext_parts_present(const char* part_name, Drosa print);

// rebuild_print_nodes: makes the staff numbers of every PRINT of the current notation context
// run from 0 without gaps, keeping their order (a staff nobody prints on is closed up), and
// gives every voice that has none a PRINT after its VINFO.
// Reads:  voice_count, piece_start, current_ncontext.
// Writes: PRINT xsstaff (directly, without undo records); new PRINT nodes.
// Failure: none.
void rebuild_print_nodes();
