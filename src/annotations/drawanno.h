// drawanno.h: the annotation passes of the page formatter, the binding of an annotation to
// the element of the music it stands for, and the clearance points above and below a note.
#pragma once

#include <cstdint>

#include "annotations/anno_services.h"
#include "model/model_services.h"

// ---- Annotations standing for elements ------------------------------------------------------

// find_obj: binds the annotation *anno (a TPARAM with xeocvar and xeocord, or a LINE with
// xline_eocvar and its ordinal in xline_ord) to the element of its variety and ordinal drawn
// for `note`, and hides that element (GREMOVE) so that the annotation draws its changed
// version: 1. An annotation that cannot bind (no PDATA, an empty list, no such element), or
// that would draw the element unchanged and is neither the current annotation nor selected,
// is deleted: 0, and *anno becomes the node that took its place.
// Reads:  the GE list, current_anno. Writes: the elements' GREMOVE; the voice list (undo).
// Failure: level 4 "Bad Drosa node for find_obj!", "No PDATA node in find_obj!" (deleted);
//          "Bad variety value in find_obj!", "Bad ordinal value in find_obj!" (goes on).
int find_obj(Drosa* anno, Drosa note);

// anno_note_extent_y: the y just clear of a note's chord above (side +1) or below (-1) it,
// with the room of a fermata or ornament: above the chord's top or the staff's top line, below
// its bottom or the bottom line. Side 0 chooses below for a chord of two stem directions whose
// stems go down here, else above. pstaff: the note's printed staff.
// Reads: the chord's CDDATA and CDDATA2, staff_data, parameters 137 and 140.
int32_t anno_note_extent_y(Drosa note, int pstaff, int side);
