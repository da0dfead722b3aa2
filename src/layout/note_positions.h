// note_positions.h: vertical positions of notes, rests and tablature numbers.
#pragma once

#include <cstdint>

// note_positions_pass: gives every note, rest and tablature number of the system its y.
// 0 when interrupted, else 1.
int32_t note_positions_pass();
