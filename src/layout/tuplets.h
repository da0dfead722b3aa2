// tuplets.h: tuplet groups of a system, and bar separators.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// group_tuplets: marks in every layer chain of the system which staff chords form a tuplet
// group (xtup_info on the notes, xtup_start and xtup_end on the first and last chord) and
// over which chord its number goes (xtup_mark: 1 over the chord, 2 between it and the group's
// chord before it).
// Reads:  the system's print chains, NOTE xtupl, NEST nodes, CDDATA2 xswholec.
// Writes: NTDATA xtup_info, CDDATA xtup_start, xtup_end, xtup_mark.
// Failure: polls for an interrupt at every chord: 0 when told to stop, else 1.
int32_t group_tuplets();

// find_BARSEP: the BARSEP attached before the next note after node (or before the ENDSYST
// reached first), else NIL.
Drosa find_BARSEP(Drosa node);

// toggle_BARSEP: on: a BARSEP of the current context is put before node, recorded for undo,
// when there is none; off: every BARSEP there is removed, recorded for undo. Returns the last
// BARSEP found (on: the one put there when there was none).
// Reads:  current_ncontext. Writes: the voice list of node, the undo list.
Drosa toggle_BARSEP(Drosa node, int on);
