// tuplets.h: tuplet groups of a system, and bar separators.
#pragma once

#include <cstdint>

#include "layout/layout_services.h"
#include "model/model_services.h"

// group_tuplets: marks in every layer chain of the system which stem groups form a tuplet
// group of a voice (xtup_info on their last notes, xtup_first and xtup_last on the group's
// first and last; xtup_start and xtup_end on the first and last chord) and over which chord
// its number goes (xtup_mark: 1 over the chord, 2 between it and the group's chord before it
// on the same chain). A group goes on to another chain where its voice does.
// Reads:  the system's print chains, the voice lists, NOTE xtupl, xintimeof, xvoice, NEST
//         nodes, CDDATA2 xswholec, CDDATA3.
// Writes: NTDATA xtup_info, xtup_first, xtup_last, CDDATA xtup_start, xtup_end, xtup_mark.
// Failure: polls for an interrupt at every chord: 0 when told to stop, else 1.
int32_t group_tuplets();
