// menus.cpp: the menu commands that start-up, the main loop and quitting need: Quit. Other
// commands say that they are not available yet.
#include "app/menus.h"

#include <cstdio>
#include <string>

#include "app/app_globals.h"
#include "app/cursors.h"
#include "app/event_loop.h"
#include "app/file_commands.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"
#include "platform/events.h"
#include "platform/window.h"

ItemEnabledFlags item_enabled_flags;

void update_menus(int32_t source) {
  menu_modifiers = source ? platform_modifiers() & (MOD_EITHER_SHIFT | MOD_EITHER_OPTION) : 0;
}

void build_menus() {}

void do_menu_item(int16_t menu, int16_t item, int32_t source) {
  if (menu == APPLICATION_QUIT_MENU) {
    file_menu(FILE_QUIT, source);
    return;
  }
  if (menu == FILE_MENU && item == FILE_QUIT) {
    file_menu(item, source);
    return;
  }
  REPORT_ERROR(2, "%s", "This command is not available yet.");
}
