// setstdir.h: stem directions.
#pragma once

#include <cstdint>

// setstdir: decides the stem direction of every stem group of the system. 0 when
// interrupted, else 1.
int32_t setstdir();
