// performance_globals.h: the program-wide state of the performance code.
#pragma once

#include <cstdint>

// The spelling (0..2 in pitch_spelling_table) preferred for each pitch class.
extern int32_t key_spelling[12];

void reset_performance_globals();
