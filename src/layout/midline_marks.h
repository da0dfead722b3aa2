// midline_marks.h: the marks that carry a line annotation across a system between its first
// and last segment: inserted by the annotation pass, checked and removed.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// The segment roles of a line in xline_ord.
inline constexpr int LINE_WHOLE = 0;
inline constexpr int LINE_END = 1;
inline constexpr int LINE_MIDDLE = 2;  // MIDLINE: a mark laid across a system
inline constexpr int LINE_BEGIN = 3;
inline constexpr int LINE_OLD_RESIZING = 6;

// insert_resizing: a copy of line made a MIDLINE and linked before node with a new PDATA, its
// ends set across node's staff from the left end (parameter 685 in) to the right end
// (parameter 684 in); when that is shorter than parameter 260 its ends stay as copied.
// Reads:  the page, the staff of node's chord, parameters 260, 684, 685.
// Writes: the voice list of node (the mark and its PDATA, not recorded for undo).
Drosa insert_resizing(Drosa line, Drosa node);

// check_PDATA_after_MIDLINE: removes the mark at *position and its PDATA; *position becomes
// the node before the mark, so that the caller's walk goes on from there.
// Failure: level 4 "PDATA node missing after MIDLINE" (the mark is still removed).
void check_PDATA_after_MIDLINE(Drosa* position);

// remove_resizing: an older resizing line becomes an ordinary line (0); a MIDLINE mark is
// removed with its PDATA, the removal recorded for undo (1).
// Writes: the line's fields, or the voice list and the undo list.
// Failure: level 4 "Bad node for remove_resizing" for anything else; nothing changes, 0.
int32_t remove_resizing(Drosa line);
