// beam_ends.h: where beams end and where they join.
#pragma once

#include <cstdint>

// beam_end_pass: orders the notes of every staff chord and marks where beams must end or may
// go on. 0 when interrupted, else 1.
int32_t beam_end_pass();

// join_beams_pass: joins beams across chords once stems are known. 0 when interrupted, else 1.
int32_t join_beams_pass();
