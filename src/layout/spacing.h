// spacing.h: the horizontal spacing of a system.
#pragma once

#include <cstdint>

// spacing_pass: places the chords, accidentals and lyrics of the system and gives every chord
// its ideal x. 0 when interrupted, else 1.
int32_t spacing_pass();
