// printbeam.cpp: drawing one beam group.
//
// Not built yet: the group's chords are drawn one by one without a beam.
#include "graphics/printbeam.h"

#include "graphics/printcd.h"

int32_t printbeam(Drosa first, Drosa last, int staff, int flag) {
  return printcd(first, last, staff, flag);
}
