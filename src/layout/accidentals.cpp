// accidentals.cpp: the columns of a chord's accidentals.
//
// Not built yet: no accidental is placed.
#include "layout/accidentals.h"

int32_t place_accidentals(Drosa /*first*/, Drosa /*last*/, int /*pstaff*/, int32_t left) {
  return left;
}
