// console_menus.cpp: the items of the console window's File and Send menus, and carrying out
// a choice from them.
#include "console/console_menus.h"

#include "console/console_controls.h"
#include "console/console_files.h"
#include "console/console_globals.h"
#include "console/console_record.h"
#include "platform/console_window.h"

std::vector<std::string> console_file_menu_items() {
  return {"-", "Mark",      "-",     "Save", "Save As\u2026", "Save a Copy\u2026",
          "-", "Add\u2026", "Clear", "-",    "Undo"};
}

std::vector<std::string> console_send_menu_items() {
  std::vector<std::string> items = {"-",
                                    "Send Without a Line End",
                                    "Send With Return (CR)",
                                    "Send With Line Feed (LF)",
                                    "Send With CR LF",
                                    "Send With Control-C Control-C LF",
                                    "Send With End of File",
                                    "-"};
  // Items 9 to 39 send the one byte item - 7.
  for (int byte = 2; byte <= 32; ++byte) {
    std::string name;
    if (byte <= 26) {
      name = std::string("Control-") + static_cast<char>('A' + byte - 1);
    } else if (byte == 27) {
      name = "Escape";
    } else if (byte < 32) {
      name = std::string("Control-") + "\\]^_"[byte - 28];
    } else {
      name = "Space";
    }
    items.push_back("Send " + name + " (" + std::to_string(byte) + ")");
  }
  items.push_back("-");
  items.push_back("Send Delete (127)");  // item 41
  return items;
}

bool console_menu_event(const EventRecord& event) {
  if (event.what != EVENT_MENU) return false;
  const auto menu = static_cast<int16_t>(event.message >> 16);
  const int item = static_cast<int>(event.message & 0xFFFF);
  if (menu != CONSOLE_FILE_MENU_ID && menu != CONSOLE_SEND_MENU_ID) return false;
  for (console_record* record : console_list) {
    if (console_window_number(record->window) != event.window) continue;
    if (menu == CONSOLE_FILE_MENU_ID) {
      console_file_menu(record, item);
    } else {
      console_send_menu(record, item);
    }
    break;
  }
  return true;
}
