// printcd.cpp: drawing one staff chord.
//
// Not built yet: nothing is drawn.
#include "graphics/printcd.h"

int32_t printcd(Drosa /*first*/, Drosa /*last*/, int /*staff*/, int /*flag*/) { return 0; }
