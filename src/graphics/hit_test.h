// hit_test.h: what lies where on the drawn page: the element nearest to a point and the node
// it was drawn for, whether an element is the one an annotation draws, and the GE list
// written out as text.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// The distance that stands for none: no element was found.
inline constexpr int32_t NO_GE_DISTANCE = 2100000000;

// ---- Hit testing (hit_test.cpp) ----------------------------------------------------------
// find_nearest_GE: the element of the current view's list nearest to the page point (x, y),
// the note it was drawn for and their distance, |dx|/2 + |dy|/2 with each half truncated. Only
// characters, text runs (by their closing GE_CHAR), lines and curves drawn for a note plotted
// on the screen count; annotation, removed and screen-only elements never do. A character or
// text is reached at its left end and at its right end, a line or curve at its two ends. Of
// two at the same distance the earlier in the list wins. Nothing found: NIL, NIL and
// NO_GE_DISTANCE. Any out-pointer may be null.
// Reads:  GE_head (the old list, old_GE_head, while the current one is incomplete),
//         GE_list_complete, the owners' NTDATA, the texts' fonts in offscreen_port().
// Failure: level 4 "Call to find_nearest_GE without any Graphics Object lists" (an
//          incomplete list with no old one: the incomplete list is searched); "ADJACENT GE
//          without ganno set in find_nearest_GE" (that element is passed over).
void find_nearest_GE(int32_t x, int32_t y, Drosa* element, Drosa* owner, int32_t* distance);

// find_GE_under_point: what a click at the page point (x, y) lands on: the element that
// find_nearest_GE finds, when the point lies in its hit box (its ends widened by
// GE_BOX_MARGIN on every side, expand_box_by_margin), with its note in *owner (may be null);
// NIL, and NIL in *owner, when the click is on empty paper.
// Reads and fails as find_nearest_GE.
Drosa find_GE_under_point(int32_t x, int32_t y, Drosa* owner);

// GE_matches_Drosa: 1 when the element is exactly what the annotation (a TPARAM or LINE
// followed by its PDATA) draws: the same place, shape, text, font, width, dashes, drawmode
// and colour; 0 otherwise.
// Reads:  the annotation, its PDATA and TEXT nodes; the element and its text run.
// Failure: level 4 "No PDATA node for GE_matches_Drosa", "Annotation GE passed to
//          GE_matches_Drosa", "Bad GE kind for GE_matches_Drosa"; each gives 0.
int GE_matches_Drosa(Drosa element, Drosa annotation);

// GE_var: what a character, line or curve draws (its var); -1 for any other node.
int GE_var(Drosa element);

// move_GE_to_Drosa: turns a drawn element of the music (a character, a text run by any of its
// nodes, a line or a curve drawn for the note `owner`) into an annotation that draws it
// instead, inserted with undo just before the owner and returned: a LINE (curve flag for a
// curve) or a TPARAM with its TEXT nodes, followed by a PDATA holding where the element
// stands, stored from the owner's reference point so that it draws at the element's place.
// It names the element by its variety (xline_eocvar, xeocvar) and by which of the owner's
// printed elements of that variety it is (xline_ord, xeocord, from 1); the element and its
// run are marked removed.
// Reads:  the element, the GE list (the old one while the current one is incomplete), the
//         owner's layout record. Writes: the owner's voice list, the undo history, the
//         change flags (a reformat); the element's GREMOVE.
// Failure: level 4 "Annotation error in move_GE_to_Drosa", "Screen-version annotation given
//          to move_GE_to_Drosa" (both go on); "Illegal occurrance of ADJACENT GE in
//          GEToDrosa" and "Bad kind of GE for move_GE_to_Drosa %0lx %hd %hd" give NIL, as
//          does an owner that is not a note.
Drosa move_GE_to_Drosa(Drosa element, Drosa owner);

// ---- The GE list as text (ge_dump.cpp) -------------------------------------------------------
// debug_GE: writes "\nContents of the GE list:\n" and a line per node of the current view's
// list to the debug stream: each element kind in its own format, then its flag words
// (BICMODE or BADMODE, GSCREEN, GANNO, GREMOVE).
// Reads:  GE_head and the list; the owners of NOTEPTRs.
// Writes: the debug stream.
void debug_GE();
// dump_GE: writes the list into the file "Graphics Objects.dump" of the working folder, a line
// per character, line, curve and text run, announced on the debug stream.
// Writes: that file (replaced), the debug stream.
// Failure: a file that cannot be written is said on the debug stream; level 4 "dump_GE.c:
//          Unrecognized Graphics Element kind %hd" for a node of another kind.
void dump_GE();
