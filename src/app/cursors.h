// cursors.h: the mouse cursor by id, and the modifier keys as the program asks for them.
// (adjust_cursor, which picks a cursor for the mouse's place, is the main loop's.)
#pragma once

#include <cstdint>

#include "app/app_services.h"

inline constexpr int32_t CURSOR_ID_IBEAM = 1;
