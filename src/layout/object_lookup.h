// object_lookup.h: which CLEF, KEYSIG or TIMESIG applies to a node on its staff, and the
// staff number of a node's voice.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// kind CLEF, KEYSIG or TIMESIG; NIL when none applies.
Drosa find_object(int kind, Drosa node);
// The staff number (xsstaff of the PRINT in force) of the voice at the node.
int16_t find_sstaff(Drosa node);
