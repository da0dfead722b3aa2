// format.h: the page formatter's interrupt poll.
#pragma once

#include <cstdint>

// 1 when the format under way must stop now for the user's input.
int32_t format_interrupted();
