// drawanno.h: the annotation passes of the page formatter, the binding of an annotation to
// the element of the music it stands for, and the clearance points above and below a note.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// ---- The passes (run in this order by format_page for each system, after the slurs) ---------
// draw_voice_annos: the texts and lines attached before every staff chord of the system's
// printed staves (the lines carried across the system by mid-line marks too), except those
// that stand for elements of the music.
// Reads:  the system's print chains, the annotations, voice_data, staff_data.
// Writes: the GE list, the annotations' PDATA, the CDDATA pre-annotation extents
//         (xprehiy, xpreloy), anno_refers_to_GE and anno_hyphens_pending (cleared first),
//         the mid-line marks (put in and taken out again).
// Failure: polls format_interrupted at every staff chord; 0 when told to stop, else 1.
int32_t draw_voice_annos();
// draw_pstaff_texts: the centred hyphens between a syllable that ends in "-" and the next
// syllable at its height in the same layer (or the system's right end), as many as parameter
// 664 "centered hyphens: maximum distance for each hyphen" asks for. Runs only when a text of
// the system ends in such a hyphen. 0 when interrupted.
int32_t draw_pstaff_texts();
// draw_pstaff_annos: the annotations that stand for elements of the music, once those are
// drawn. Runs only when the first pass met one. 0 when interrupted.
int32_t draw_pstaff_annos();

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
// mark_string_chain: marks removed (GREMOVE) the element ge with the GE_STRING run before it,
// and, when the node before that run is a screen twin, that twin and its own run.
void mark_string_chain(Drosa ge);

// anno_note_extent_y: the y just clear of a note's chord above (side +1) or below (-1) it,
// with the room of a fermata or ornament: above the chord's top or the staff's top line, below
// its bottom or the bottom line. Side 0 chooses below for a chord of two stem directions whose
// stems go down here, else above. pstaff: the note's printed staff.
// Reads: the chord's CDDATA and CDDATA2, staff_data, parameters 137 and 140.
int32_t anno_note_extent_y(Drosa note, int pstaff, int side);
