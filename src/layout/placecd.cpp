// placecd.cpp: horizontal placement of a chord's heads, seconds, dots, rests and stems.
//
// Not built yet: the chord keeps the x it has.
#include "layout/placecd.h"

#include "layout/layout_fields.h"

int32_t placecd(Drosa note, int /*pstaff*/, int /*layer*/) {
  Drosa nt = note ? note->xnext : NIL;
  return nt && nt->xkind == NTDATA ? nt->get(xhdx) : 0;
}
