// tuplets.h: tuplet groups of a system.
#pragma once

#include <cstdint>

// group_tuplets: marks which staff chords of the system form tuplet groups and where each
// group's number goes. 0 when interrupted, else 1.
int32_t group_tuplets();
