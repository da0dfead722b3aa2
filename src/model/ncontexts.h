// ncontexts.h: notation contexts: switching the current context, and keeping the PRINT nodes
// of the current context consistent when a part leaves it or systems are rebuilt.
#pragma once

#include <cstdint>

#include "model/drosa.h"
#include "model/model_services.h"

// ---- Switching ----------------------------------------------------------------------------------

// ncontext_dialog_set_name: the same switch for the notation-context dialog, which, when it
// is open, also shows the context's name (item 2, selected) and selects the parts it shows.
void ncontext_dialog_set_name(int n, int where);

// ---- Parts leaving a context ------------------------------------------------------------------

// Renumbers the staff fields (xsstaff, xlist) of one PRINT as if the named part's staves were
// taken out of the system at the PRINT's time.
void ncontext_staff_range(const char* part_name, Drosa print);

// 1 when, at the PRINT's time, every printing voice belongs to the named part and at least one
// does; else 0 (also when the PRINT has no note after it in its system).
int ncontext_parts_present(const char* part_name, Drosa print);
