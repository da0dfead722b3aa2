// object_lookup.h: which CLEF, KEYSIG or TIMESIG applies to a node on its staff, and the
// staff number of a node's voice.
#pragma once

#include <cstdint>

#include "layout/layout_services.h"
#include "model/model_services.h"

// look_in_staff_list: a node of the kind attached before the node or before a chord of its
// staff earlier on the page; else the CDDATA of the earliest chord of the staff reached, or
// NIL when the node is not near a formatted note.
Drosa look_in_staff_list(int kind, Drosa node);
// keep_staff_walks: while on, look_in_staff_list keeps, for every chord its walks pass, what
// they found, and a later walk that meets such a chord takes it. Only for walks from chords of
// finished systems, whose records and signs stay as they are until forget_staff_walks.
void keep_staff_walks(bool keep);
void forget_staff_walks();
