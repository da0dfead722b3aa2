// menu_unavailable.cpp: what a command says while the part of the program that does its work
// is not built yet.
#include "app/menu_unavailable.h"

#include <string>

#include "model/model_services.h"
#include "platform/menus.h"

void report_command_unavailable(int16_t menu, int item) {
  std::string title = platform_menu_title(menu);
  while (!title.empty() && title.back() == ' ') title.pop_back();
  std::string text = menu == PLATFORM_QUIT_MENU ? "Quit" : platform_menu_item_text(menu, item);
  if (text.empty()) text = "#" + std::to_string(item);
  REPORT_ERROR(2, "The command \"%s\" of the %s menu is not available yet.", text.c_str(),
               title.c_str());
}

void editing_command_unavailable(int16_t menu, int item) { report_command_unavailable(menu, item); }
