// menus.cpp: the menus' state and the carrying out of menu commands.
//
// The menus are not built yet, so there is nothing to enable, mark or retitle, and no command
// to carry out.
#include "app/menus.h"

#include "model/model_services.h"

// Does nothing until the menus exist.
void update_menus(int32_t /*source*/) {}

void do_menu_item(int16_t /*menu*/, int16_t /*item*/, int32_t /*source*/) {
  REPORT_ERROR(2, "This command is not available yet.");
}
