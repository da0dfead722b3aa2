// menus.h: the program's menus, addressed by menu id and item number. Items count from 1,
// separators included. Every item has a literal text (8-bit Mac OS Roman), an enabled state, a
// check mark, a text style, a shortcut (a Command key, or a Control key) and may carry a
// submenu. Menus inserted into the menu bar stand in the order they were inserted.
//
// On a display the menus are shown as the window system's own menus in the menu bar of every
// document window and of the main window. Choosing an item carries nothing out: it queues a
// menu event (menu id in the high 16 bits of the message, item in the low) with the modifier
// keys held, and opening a menu of the bar queues a mouse-down in the menu bar
// (MENU_BAR_WINDOW) first, so that the program can bring the items up to date. Shortcut keys
// are shown beside their items but are never bound: the program looks keys up itself
// (menu_key_maps, events.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline constexpr int MENU_COUNT = 32;  // menu ids 1..32

// The menu id a choice of the application's Quit carries (its item is 1).
inline constexpr int16_t PLATFORM_QUIT_MENU = -20213;

// Text styles of an item (bits).
enum MenuItemStyle : uint8_t {
  ITEM_STYLE_BOLD = 1,
  ITEM_STYLE_ITALIC = 2,
  ITEM_STYLE_UNDERLINE = 4,
  ITEM_STYLE_OUTLINE = 8,
};

// ---- Building --------------------------------------------------------------------------------
// platform_new_menu: makes menu `menu` (1..32) with its title and no items, replacing a menu of
// that id. A title of the single character 0x14 names the application's own menu, which
// shows the application's name.
void platform_new_menu(int16_t menu, const std::string& title);
// Appends an item with the text as it stands (no character has a meaning of its own).
void platform_append_menu_item(int16_t menu, const std::string& text);
// Appends a separator line (an item that is never enabled).
void platform_append_menu_separator(int16_t menu);
// Deletes an item; the items after it move up by one.
void platform_delete_menu_item(int16_t menu, int item);
// platform_insert_menu: puts a menu at the right end of the menu bar (in_bar) or among the
// submenus, which show only where an item carries them.
void platform_insert_menu(int16_t menu, bool in_bar);
// The menus of the bar, left to right.
std::vector<int16_t> platform_menu_bar();
// platform_add_quit_item: the application's Quit, shown after the items of a menu of the bar
// but outside its item numbering; choosing it queues the menu event (PLATFORM_QUIT_MENU, 1).
// Its key is registered as a Command key (events.h) unless key is 0.
void platform_add_quit_item(int16_t menu, const std::string& text, uint8_t key);

// Gives a menu `item_count` items without texts (all enabled, none with a key); `separators`
// lists its separator items.
void platform_define_menu(int16_t menu, int item_count, const std::vector<int>& separators);

// ---- Items -------------------------------------------------------------------------------------
// The menu's item count; 0 for a menu not defined.
int platform_menu_item_count(int16_t menu);
std::string platform_menu_title(int16_t menu);
bool platform_menu_item_is_separator(int16_t menu, int item);
std::string platform_menu_item_text(int16_t menu, int item);
void platform_set_menu_item_text(int16_t menu, int item, const std::string& text);
bool platform_menu_item_enabled(int16_t menu, int item);
void platform_enable_menu_item(int16_t menu, int item, bool enabled);
bool platform_menu_item_checked(int16_t menu, int item);
void platform_check_menu_item(int16_t menu, int item, bool checked);
// An item's mark: 0 none, the check mark, or the dash that says a selection's values differ.
// Only the check mark counts as checked.
inline constexpr uint8_t MENU_MARK_CHECK = 0x12, MENU_MARK_DASH = 0xD0;
uint8_t platform_menu_item_mark(int16_t menu, int item);
void platform_set_menu_item_mark(int16_t menu, int item, uint8_t mark);
uint8_t platform_menu_item_style(int16_t menu, int item);
void platform_set_menu_item_style(int16_t menu, int item, uint8_t style);

// An item's shortcut: key 0 none; a letter is kept in capitals. A Command key is also what
// menu_key_maps finds for the character (events.h).
void platform_set_item_key(int16_t menu, int item, uint8_t key, bool control);
uint8_t platform_item_key(int16_t menu, int item, bool* control);
// An item's Command key taken with Shift held (a letter, kept in capitals; 0 none), shown
// beside an item that has no key of its own. platform_shifted_key_command: the item whose
// shifted key the character is, as (menu << 16) | item; 0 none.
void platform_set_item_shifted_key(int16_t menu, int item, uint8_t key);
int32_t platform_shifted_key_command(uint8_t character);
// Hangs a submenu on an item (which then has no key); 0 none.
void platform_set_item_submenu(int16_t menu, int item, int16_t submenu);
int16_t platform_item_submenu(int16_t menu, int item);

// ---- The menu bar ------------------------------------------------------------------------------
// Redraws the menu bar; counted for tests.
void platform_draw_menu_bar();
long platform_menu_bar_draw_count();
// Highlights the title of a menu of the bar; 0 none.
void platform_hilite_menu(int16_t menu);
int16_t platform_hilited_menu();

// The menu of the bar the user has open; 0 while none is.
int16_t platform_open_menu();

// ---- Choosing, as the user would ---------------------------------------------------------------
// Opens a menu of the bar: queues the mouse-down in the menu bar, with the modifiers held.
void platform_click_menu_bar(int16_t menu);
// Chooses an item (closing the open menu): queues its menu event with the modifiers held; a
// disabled item, a separator or an item that carries a submenu queues nothing (false).
bool platform_choose_menu_item(int16_t menu, int item);

// Images of a menu as it would open and of a window's menu bar, as PNG files (tests); false
// when there is no display or the file cannot be written.
bool platform_save_menu_png(int16_t menu, const char* path);
bool platform_save_menu_bar_png(int window, const char* path);

// Forgets every menu (tests).
void platform_clear_menus();
