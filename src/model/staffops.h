// staffops.h: staff chords: the notes of one pstaff and layer that stand at one time
// position, linked through their NTDATA records into the print chain of that staff.
#pragma once

#include <cstdint>
#include <vector>

#include "model/drosa.h"
#include "model/model_services.h"
#include "model/node_kinds.h"

// ---- Staff chords ------------------------------------------------------------------------------

// First and last note of the staff chord, and as result the shortest duration of its notes.
int32_t chord_bounds(Drosa node, Drosa* first, Drosa* last);
int startstf(Drosa note);
int endstf(Drosa node);
