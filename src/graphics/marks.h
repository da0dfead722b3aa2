// marks.h: the articulation marks of a staff chord and its tuplet number, stacked outward from
// the chord: each pushes the chord's extents on its side beyond itself.
#pragma once

#include "model/model_services.h"

// draw_marks_always: the marks placed before the chord's slurs: staccato (staccatissimo with
// its TSMOD flag) and tenuto, then a tuplet number to be drawn at the group's end when flag
// is set. draw_marks_sometimes: those placed after them: fermata, accent, then a tuplet
// number marked over the chord, or to be drawn at the end when flag is clear. Both are given
// the last note of a stem group.
// Reads:  the note's mark fields, its layout records and chord extents, staff_data, TSMODs,
//         options_struct (tuplet numbers shown), parameters 1, 4-10, 125, 126, 137, 140, 194,
//         195, 217, 219, 265-267, 672, 673, 713, 714.
// Writes: the GE list (vars 36, 37, 38; 6 for tuplet numbers), the chord's extents.
// Failure: level 4 "warning: calling draw_marks_always for note which is not last on stem"
//          (or draw_marks_sometimes) for a note that is not the last of its stem; nothing drawn.
void draw_marks_always(Drosa note, int pstaff, int flag);
void draw_marks_sometimes(Drosa note, int pstaff, int flag);

// place_marks: one staccato-type mark (character parameter 4 or 5) of a note that is not a
// rest, away from its stem: inside the staff in the next space beyond the chord, outside it
// by parameter 195 beyond the chord; the chord's extent moves past its height (parameter 194).
void place_marks(Drosa note, int parameter, int pstaff);

// drawtupl: the tuplet number of the note's chord, when its group's mark says this call draws
// it: a number marked over the chord (draw_marked), or one between the chord and the group's
// chord before it (draw_at_end), over the mean of the two.
// Failure: level 4 "Confusion over previous note in drawtupl()!" (nothing drawn) when no
// earlier chord of the group is found; "Bad pcddata hiy in drawtupl()!" when that chord has
// no extents (its own are used).
void drawtupl(Drosa note, int pstaff, int draw_at_end, int draw_marked);

// side_pstaff_of_note: the pstaff on which something on side (1 below, 2 above) of the note
// lies: its own, or the neighbouring staff when the note or its beam is drawn there.
int side_pstaff_of_note(Drosa note, int side, int pstaff);
