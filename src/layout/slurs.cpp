// slurs.cpp: ties and slurs of a system.
//
// Not built yet: no tie or slur is drawn.
#include "layout/slurs.h"

int32_t layout_slurs() { return 1; }
