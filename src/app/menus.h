// menus.h: the menu commands as far as start-up, the main loop and quitting need them: every
// command is a pair (menu id, item) run by do_menu_item. The menus themselves, their items,
// their enabling and the other commands come later; until then a command other than those of
// the File menu below says it is not available yet.
#pragma once

#include <cstdint>

inline constexpr int16_t FILE_MENU = 2;
inline constexpr int16_t FILE_QUIT = 17;                  // Quit: not shown in the File menu
inline constexpr int16_t APPLICATION_QUIT_MENU = -20213;  // Quit of the application menu
inline constexpr int16_t CLEAR_MENU = 16;
inline constexpr int16_t HEAR_MENU = 10;

// update_menus: brings the menus into line with the program's state (source 110 and 118 come
// from the parameter editor, 0 from everywhere else); a non-zero source records the Shift and
// Option keys as menu_modifiers, 0 clears them. Nothing else to do until the menus exist.
void update_menus(int32_t source);

// build_menus: creates the menus and applies the shortcut tables of the preferences; there are
// no menus to create yet.
void build_menus();

// The menu state's flags that the main loop reads: whether the front window may be closed and
// whether Delete may clear the selected notes.
struct ItemEnabledFlags {
  int close = 1;
  int clear_note = 0;
};
extern ItemEnabledFlags item_enabled_flags;

// do_menu_item: runs the command (menu id, item) from source ('v' for the main loop, 110 the
// parameter editor).
// Failure: level 2 "This command is not available yet." for commands not built yet.
void do_menu_item(int16_t menu, int16_t item, int32_t source);
