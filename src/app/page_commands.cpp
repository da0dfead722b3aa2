// page_commands.cpp: the Page menu's navigation commands; not available yet.
#include "app/page_commands.h"

#include "app/menu_unavailable.h"
#include "app/menus.h"

void page_navigation_command(int item) {
  report_command_unavailable(PAGE_MENU, item == PAGE_GOTO_PENDING_BAR ? 5 : item);
}
