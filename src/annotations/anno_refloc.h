// anno_refloc.h: the reference point from which an annotation's stored offsets count.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// Pending reference requests of an annotation's mode byte (xrelativex / xline_relx, and
// xrelativey / xline_rely), folded into its offsets by anno_refloc.
enum AnnoHorizontalMode {
  REF_X_NONE = 0,
  REF_X_NOTE = 1,
  REF_X_LEFT_MARGIN = 2,
  REF_X_RIGHT_MARGIN = 3,
  REF_X_PAGE_CENTRE = 4,
  REF_X_STAFF_LEFT = 5,
  REF_X_STAFF_RIGHT = 6,
  REF_X_CHORD = 7,
  REF_X_PREVIOUS_BAR = 9,
  REF_X_NEXT_BAR = 10,
};
enum AnnoVerticalMode {
  REF_Y_NONE = 0,
  REF_Y_NOTE = 1,
  REF_Y_PAGE_TOP = 2,
  REF_Y_PAGE_BOTTOM = 3,
  REF_Y_PAGE_MIDDLE = 4,
  REF_Y_STAFF = 5,
  REF_Y_CLEAR_OF_CHORD = 6,
  REF_Y_ABOVE_CHORD = 7,
  REF_Y_BELOW_CHORD = 8,
};

// anno_refloc: the point of the page (x, y in page units, y upward) from which the offsets of
// the annotation `anno` (a TPARAM or LINE the current context sees) count: the annotation
// stands at x + its x offset and y + its y offset. A pending reference request is first
// folded into the offsets and the locks, and its mode cleared.
// pstaff1 0 takes the note's position on the screen and the printed staff that holds it;
// k > 0 takes its position as being laid out and printed staff k - 1.
// The reference of the locks: Horizontal Lock (or Position Lock) the page's left edge, its
// centre for a centred text; Position Lock the page's top; Vertical Lock the staff's top line;
// otherwise the note. After a request the point returned is the one the new locks give. The
// requests from the page's top, bottom and middle keep the offset and lock a text to the
// page's top, a line to its staff.
// Reads:  the note's NTDATA and staff chord, staff_data, the page size, bar lines, chord
//         extents. Writes: the annotation's offsets, locks and mode byte (not for undo: its
//         place on the page does not change).
// Failure: anno not a visible TPARAM or LINE, or a note without its layout record: level 4
//         "Bad call to anno_refloc!"; x = y = 0 and nothing changes.
void anno_refloc(Drosa note, Drosa anno, int32_t* x, int32_t* y, int pstaff1);
