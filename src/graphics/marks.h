// marks.h: the articulation marks of a staff chord and its tuplet number, stacked outward from
// the chord: each pushes the chord's extents on its side beyond itself.
#pragma once

#include "graphics/ge_services.h"
#include "model/model_services.h"

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
