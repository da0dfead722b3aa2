// slurs.h: ties and slurs of a system.
#pragma once

#include <cstdint>

// layout_slurs: shapes and draws the ties and slurs of the system. 0 when interrupted, else
// 1.
int32_t layout_slurs();
