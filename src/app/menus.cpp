// menus.cpp: the menus' state.
//
// The menus are not built yet, so there is nothing to enable, mark or retitle.
#include "app/menus.h"

// Does nothing until the menus exist.
void update_menus(int32_t /*source*/) {}
