// console_menus.h: the menus of the console window's File and Send buttons: their ids, their
// items, and carrying out a choice.
//
// A choice from either button arrives as a menu event (platform/events.h) carrying the menu id
// and item, and the console window's number in EventRecord::window. The program's dispatch
// hands such events to console_menu_event before its own menus.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "console/console_services.h"
#include "platform/events.h"

inline constexpr int16_t CONSOLE_FILE_MENU_ID = 40;
inline constexpr int16_t CONSOLE_SEND_MENU_ID = 41;

// The items from item 1 on ("-" a separator line); the item numbers are those that
// console_file_menu and console_send_menu take.
std::vector<std::string> console_file_menu_items();
std::vector<std::string> console_send_menu_items();
