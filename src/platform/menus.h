// menus.h: the program's menus by id and item as far as their keys go: how many items each
// menu has, which items are separators or carry a submenu, which are enabled, and each item's
// shortcut: a Command key (no modifier) or a Control key. Items count from 1, separators
// included.
#pragma once

#include <cstdint>
#include <vector>

inline constexpr int MENU_COUNT = 32;  // menu ids 1..32

// Gives a menu its items (all enabled, none with a key); `separators` lists its separator
// items.
void platform_define_menu(int16_t menu, int item_count, const std::vector<int>& separators);
// The menu's item count; 0 for a menu not defined.
int platform_menu_item_count(int16_t menu);
bool platform_menu_item_is_separator(int16_t menu, int item);
bool platform_menu_item_enabled(int16_t menu, int item);
void platform_enable_menu_item(int16_t menu, int item, bool enabled);

// An item's shortcut: key 0 none; a letter is kept in capitals. A Command key is also what
// menu_key_maps finds for the character (events.h).
void platform_set_item_key(int16_t menu, int item, uint8_t key, bool control);
uint8_t platform_item_key(int16_t menu, int item, bool* control);
// Hangs a submenu on an item (which then has no key); 0 none.
void platform_set_item_submenu(int16_t menu, int item, int16_t submenu);
int16_t platform_item_submenu(int16_t menu, int item);

// Forgets every menu (tests).
void platform_clear_menus();
