// drawtie.h: the curves of ties and slurs that the slur layout collects, and pitch-bend marks.
#pragma once

#include <cstdint>

#include "model/model_services.h"

// curve_geometry: the two control points of a curve from (x1, y1) to (x2, y2), its bow read
// from the slur-shape parameters 378-383 at node; side 1 bows downward; flat doubles the reach
// along the curve (at most half its length less 10) and halves its height.
void curve_geometry(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Drosa node, int side, int flat,
                    int32_t* c1x, int32_t* c1y, int32_t* c2x, int32_t* c2y);

// drawtie: draws the open slur of (pstaff, layer, direction, grace) to (x_end, y_end) and
// empties its entry. y_end 2100000000: the slur runs off the end of the system. end_extent:
// from y_end to the end's other height, beside its stem (0: none); shorten_end: the end takes
// that height whenever it has one. Each end takes its height over the chord or beside its
// stem, the slope is limited, a short slur widened, and the slur is lifted clear of the chords
// under it (end_chord, a CDDATA, is the last of them; NIL: to the chain's end).
// Reads:  slur_buffer, first_note_x, staff_data, the chords' extents and heads, TSMODs,
//         parameters 141, 192, 222, 228, 249, 360, 378-383, 387, 391, 415, 416, 668, 669.
// Writes: the GE list (one GE_CURVE, var 5, owned by the first chord's last note; or a bend
//         mark), the entry (emptied).
// Returns the height at which the curve ends (y_end when nothing was drawn), for the room the
// end chord keeps beyond it.
// Failure: level 4 "NIL slurptr->head in drawtie.c!" for an empty entry (nothing drawn);
//          "cddata logic error in drawtie.c" for a chord without its record (no lift).
int32_t drawtie(int32_t x_end, int32_t y_end, int32_t end_extent, int shorten_end, int direction,
                int grace, int pstaff, int layer, Drosa end_chord);

// draw_chord_ties: at the end of a system, draws every slur still open on the system's pstaves
// to x_end and, on a staff of normal notation, records it in its voice's ending ENDSYST so that
// the next system starts it again.
// Reads:  slur_buffer, first_pstaff, last_pstaff, staff_data, voice_data.
// Writes: the slur flags of the system's ending ENDSYSTs, bits 0-1 of byte 46 of each slur's
//         first note (the sides it went on with), the GE list, the entries (emptied).
void draw_chord_ties(int32_t x_end);

// draw_bendtie: one tie from x1 to x2 (less the gap of parameter 211) at y, or its bend mark;
// the owner is note, or the first note of layer 0 of pstaff (none: nothing drawn). Widens the
// extents of chord (a CDDATA, may be NIL) by the tie's height.
// Reads:  parameters 141, 192, 211, 378-383, 415, 416, 668; staff_data.
// Writes: the GE list (one GE_CURVE, var 4, or the bend mark), the chord's extents and xprex.
void draw_bendtie(int32_t x1, int32_t y, int32_t x2, Drosa note, Drosa chord, int bend, int dashed,
                  int side, int pstaff);

// draw_bend: a pitch-bend mark from note1 to note2. On a tablature staff the bend glyph
// (parameter 627 up, 628 down; var 71) and, for a note alone in its chord, the range in
// semitones ("1/2", "Full", "%d", "%d 1/2"; var 74). Otherwise two lines (var 71) from
// (x1, y1) up to an apex of height parameter 623 (below for side 1) and down to (x2, y2).
// Reads:  parameters 618, 623, 627, 628, 641; staff_data.
// Writes: the GE list.
void draw_bend(Drosa note1, Drosa note2, int side, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
               int dash, int gap, int pstaff);
