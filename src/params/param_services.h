// param_services.h: what the other subsystems may call of the engraving parameters: the table,
// the lookup of the value in force at a node, the derived metrics and the editor's lists.
// Other folders include this header and no other header of params/.
#pragma once

#include "params/param_editor.h"
#include "params/param_lookup.h"
#include "params/param_metrics.h"
#include "params/param_table.h"
#include "params/params_globals.h"
