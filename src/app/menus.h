// menus.h: the menus' state for the front window and the editing state, and the one way a
// menu command is carried out.
#pragma once

#include <cstdint>

// update_menus: recomputes the enabled state, marks and titles of every menu; source 110 and
// 118 come from the parameter editor, 0 from everywhere else.
void update_menus(int32_t source);

// do_menu_item: runs the command (menu id, item) from source ('v' for the main loop, 110 the
// parameter editor). The commands come with the menus; until then every command says so.
// Failure: level 2 "This command is not available yet." for commands not built yet.
void do_menu_item(int16_t menu, int16_t item, int32_t source);
