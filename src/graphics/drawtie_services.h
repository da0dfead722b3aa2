// drawtie_services.h: what the tie, slur and glissando layout asks of the drawing side: the
// curves of ties and slurs, the edges of a note's parentheses and dots, and the marks drawn
// around the slurs of a chord.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// ---- Curves -------------------------------------------------------------------------------
// curve_geometry: the two control points of a curve from (x1, y1) to (x2, y2), its bow read
// from the slur-shape parameters at node; side 1 bows downward; flat doubles the reach along
// the curve and halves its height.
void curve_geometry(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Drosa node, int side, int flat,
                    int32_t* c1x, int32_t* c1y, int32_t* c2x, int32_t* c2y);

// drawtie: draws the open slur of (pstaff, layer, direction, grace) to (x_end, y_end) and
// frees its entry. y_end 2100000000: the slur runs off the end of the system. A slur that
// comes from the previous system starts at the system's first note less parameter 669.
// Reads:  slur_buffer, first_note_x, staff_data, parameters 192, 378-383, 415, 416, 668, 669.
// Writes: the GE list (one GE_CURVE, var 5, owned by the slur's first note), the entry.
// Failure: level 4 "NIL slurptr->head in drawtie.c!" for a free entry; nothing drawn.
void drawtie(int32_t x_end, int32_t y_end, int32_t end_extent, int shorten_end, int direction,
             int grace, int pstaff, int layer, Drosa end_chord);

// draw_chord_ties: at the end of a system, draws every slur still open on the system's
// pstaves to x_end and, on a staff of normal notation, records it in its voice's ending
// ENDSYST so that the next system starts it again.
// Reads:  slur_buffer, first_pstaff, last_pstaff, staff_data, voice_data.
// Writes: the slur flags of the system's ending ENDSYSTs, the GE list, the entries (freed).
void draw_chord_ties(int32_t x_end);

// draw_bendtie: one tie from x1 to x2 (less the gap of parameter 211) at y; the owner is note,
// or the first note of layer 0 of pstaff. Widens the extents of chord (a CDDATA, may be NIL)
// by the tie's height. A bend tie is drawn as a plain tie until bend marks are drawn.
// Reads:  parameters 192, 211, 378-383, 415, 416, 668; staff_data.
// Writes: the GE list (one GE_CURVE, var 4), the chord's extents and xprex.
void draw_bendtie(int32_t x1, int32_t y, int32_t x2, Drosa note, Drosa chord, int bend, int dashed,
                  int side, int pstaff);

// ---- Marks around slurs -------------------------------------------------------------------
// The marks of a chord that do not, and that do, depend on the slurs; for now none is drawn.
void draw_marks_always(Drosa note, int pstaff, int slur_open);
void draw_marks_sometimes(Drosa note, int pstaff, int flag);

// side_pstaff_of_note: the pstaff on which something on side (1 below, 2 above) of the note
// lies: its own, or the neighbouring staff when the note or its beam is drawn there.
int side_pstaff_of_note(Drosa note, int side, int pstaff);
