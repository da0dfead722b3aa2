// relocate.h: springs-and-rods justification of a system.
#pragma once

#include <cstdint>

// relocate: justifies system `system_number` of the page to its line width. 0 when
// interrupted, else 1.
int32_t relocate(int32_t system_number);
