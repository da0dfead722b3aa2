// cursors.h: the mouse cursor by id, and the modifier keys as the program asks for them.
// (adjust_cursor, which picks a cursor for the mouse's place, is the main loop's.)
#pragma once

#include <cstdint>

inline constexpr int32_t CURSOR_ID_ARROW = -10;
inline constexpr int32_t CURSOR_ID_IBEAM = 1;
inline constexpr int32_t CURSOR_ID_WATCH = 4;
inline constexpr int32_t CURSOR_ID_FORMATTING = 17380;  // shown while a page is being formatted

// Shows the cursor of that id (-10 arrow, 1 I-beam, 4 watch, 17380 the program's own); any
// other id changes nothing on the screen. The id becomes current_cursor_id either way.
void set_cursor(int32_t id);

// Puts the current id aside and clears it, so that any following set_cursor takes effect.
void save_cursor();

// set_cursor with the id put aside.
void restore_cursor();

// Non-zero when either Shift key is held at the moment of the call.
int debug_modifier_down();

// Non-zero when Shift or Option is held.
int shift_or_option_down();
