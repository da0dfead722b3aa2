// param_metrics.h: engraving parameters turned into the lengths that layout and drawing use:
// character parameters scaled to the staff, measured and drawn, and metrics chosen by the
// kind of note or rest. Every length is in tenths of a point, scaled to the staff size at
// the point of use as param_lookup.h's scale_param_length does.
#pragma once

#include <cstdint>

#include "model/model_services.h"
#include "params/param_services.h"
#include "params/param_table.h"

struct StaffData;

// ---- Character parameters -----------------------------------------------------------------

inline constexpr int DRAW_CHAR_ZOOMED = 1;  // the music window at its zoom

// ---- Metrics by note value ------------------------------------------------------------------

int32_t slur_end_yclearance(Drosa note, int side, int32_t extra);

// ---- Debugging ------------------------------------------------------------------------------

// param_value with checks: the slot's type must suit `expected` (PARAM_INTEGER,
// PARAM_COORDINATE, PARAM_FLOAT, PARAM_CHARACTER or PARAM_STRING, each with its pair type);
// a node with neither link needs an insertion point; a pair type looked up at a node without
// its NTDATA needs a staff. Each failed check is reported at level 4; tag names the caller.
const ParamValue* Debug_xval(int pindex, Drosa node, const StaffData* staff, int expected,
                             const char* tag);
