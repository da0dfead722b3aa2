// menus.h: the menus' state for the front window and the editing state.
#pragma once

#include <cstdint>

// update_menus: recomputes the enabled state, marks and titles of every menu; source 110 and
// 118 come from the parameter editor, 0 from everywhere else.
void update_menus(int32_t source);
