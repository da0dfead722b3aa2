// object_lookup.h: which CLEF, KEYSIG or TIMESIG applies to a node on its staff, and the
// staff number of a node's voice.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// find_object: the CLEF, KEYSIG or TIMESIG (kind) that applies to the node on its staff: one
// attached before it or before a chord of its staff earlier on the page, else what its voice
// carried in from earlier systems, else the last one before it in its own voice.
// Reads: the print chains, the page's chord chain, voice_data. Failure: level 4
// "unrecognized objkind in find_object" (NIL), "FtoE: Inconsistent result from
// 'look_in_staff_list' in find_object".
Drosa find_object(int kind, Drosa node);

// look_in_staff_list: a node of the kind attached before the node or before a chord of its
// staff earlier on the page; else the CDDATA of the earliest chord of the staff reached, or
// NIL when the node is not near a formatted note.
Drosa look_in_staff_list(int kind, Drosa node);
// keep_staff_walks: while on, look_in_staff_list keeps, for every chord its walks pass, what
// they found, and a later walk that meets such a chord takes it. Only for walks from chords of
// finished systems, whose records and signs stay as they are until forget_staff_walks.
void keep_staff_walks(bool keep);
void forget_staff_walks();
// The staff number (xsstaff of the PRINT in force) of the voice at the node.
int16_t find_sstaff(Drosa node);

// max_print_staves_in_system: the staves the node's system uses: 1 + the largest staff number
// of a PRINT of any shown voice in force in that system (1 when none).
// Reads: page_start or piece_start (by rule), the voice lists. Writes: system_cursor.
int32_t max_print_staves_in_system(Drosa node, int rule);
