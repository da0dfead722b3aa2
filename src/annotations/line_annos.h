// line_annos.h: line annotations that run over several systems and pages as segments (a
// BEGLINE, MIDLINEs, an ENDLINE), their ends on each system, the Extend Line To Here command,
// and the mouse loops that make a line and drag its handles.
#pragma once

#include <cstdint>

#include "annotations/anno_services.h"
#include "model/model_services.h"
#include "platform/geometry.h"

// ---- Segments -------------------------------------------------------------------------------

// line_geometry: the segment that belongs with `line`. A BEGLINE and an ENDLINE belong
// together when both are seen in the current context, stand for no element, have equal
// xstarty and equal xendy, and no segment with those heights stands between them. *partner
// (may be null) receives it, NIL for none; *same_system (may be null) 0 when a seen ENDSYST
// lies between them, else 1. Returns 0 for an ENDLINE, 1 for a BEGLINE or any other node.
// Reads: the voice list around the line, current_ncontext.
int line_geometry(Drosa line, Drosa* partner, int* same_system);
// line_end_after: the ENDLINE that belongs with the BEGLINE `line`, as line_geometry finds it;
// NIL for none. *crossed (may be null) is set when a seen ENDSYST lies between them, *passed (may
// be null) when `mark` does (or is the ENDLINE).
// Reads: the voice list after the line, current_ncontext.
Drosa line_end_after(Drosa line, Drosa mark, bool* crossed, bool* passed);

// layout_lines: 1 when the BEGLINE `line` belongs with an ENDLINE that lies after a seen
// ENDSYST after `first_note` (the first note of a system after the BEGLINE), so that the line
// crosses that system whole and a MIDLINE is drawn there; else 0.
int layout_lines(Drosa line, Drosa first_note);

// layout_hairpins: 1 when the line attached before `chord`, which stands on the printed staff
// `pstaff` (the staff whose print chain holds it), is drawn on this system, its ends
// first fitted to it: a BEGLINE reaches its ENDLINE's end on the same system (a trill line the
// end of its ENDLINE chord's time, parameter 684 before the next chord or bar line), but not past
// parameter 684 before the staff's right end, or is clipped
// parameter 684 before the staff's right end when the ENDLINE is on a later system (its
// geometric end 1 + parameter 686 times the visible length on, so that a hairpin keeps its
// angle); an ENDLINE continued from an earlier system starts parameter 685 after the staff's
// left end, and not before the end of the signs drawn there. Not drawn (0): an ENDLINE on its
// BEGLINE's system, a segment whose other segment is gone (the first such of a piece is said once,
// level 2), and a segment with less than parameter 260 of it left on the staff. Reads:  the partner
// segment, the layout of both notes, staff_data (signs_end_x too),
//         parameters 260, 684-686.
// Writes: the line's xstartx, xendx, xc1x, xc2x (only when they change); unpaired_lines_said.
int layout_hairpins(Drosa line, Drosa chord, int pstaff);

// ---- Making and reshaping lines with the mouse ----------------------------------------------

// create_line_anno_drag: a new line (or curve) from the line template, before the insertion
// point, from the window point `where` to where the mouse is released (shown by exclusive-or
// while it moves; Shift keeps it horizontal or vertical). A click that moves less than 3
// pixels makes nothing (the line made for it is taken out again).
// Reads:  line_template, insertion_point, zoom_factor, the mouse.
// Writes: the voice list with undo, current_anno (NIL after), previous_anno (the new line),
//         the change flags; the page image while it moves.
void create_line_anno_drag(Point where);
// line_anno_handle_drag: drags a handle of current_anno, a LINE, from the window point
// `where`: 1 its start, 4 its end, 2 and 3 a curve's control points. The other segment of an
// extended line is kept matching. `side` is the curve's bow (1 down) when a straight line's
// ends move.
// Writes: the line and its partner with undo, the change flags; the page image while it moves.
void line_anno_handle_drag(Point where, int handle, int side);
