// setstdir.cpp: stem directions.
//
// Not built yet.
#include "layout/setstdir.h"

int32_t setstdir() { return 1; }
