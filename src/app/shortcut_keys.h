// shortcut_keys.h: the Command and Control shortcut letters of the menu items, and the dialog
// in which the user changes them. The two letter tables live in the preferences record.
#pragma once

#include <cstdint>

// Asks for an item's shortcut instead of setting it.
inline constexpr int ASK_ITEM_KEY = -772;
// Hangs a submenu on the item instead of setting a key.
inline constexpr int ATTACH_SUBMENU = 27;

// set_menu_item_key: sets an item's shortcut: a positive key is a Command key, a negative one
// a Control key, 0 none; ASK_ITEM_KEY only asks; ATTACH_SUBMENU hangs `submenu` on the item.
// Returns the item's key afterwards (+letter Command, -letter Control, 0 none), or 0 for a menu
// above 32, an item past the menu's end or a separator (which are left alone).
// Reads: the Control-letter table of prefs (for the question). Writes: the menu item.
int set_menu_item_key(int menu, int item, int key, int submenu);

// shortcut_letter_of_key: the letter 'A'..'Z' of a key event's key code; 0 for other keys.
int shortcut_letter_of_key(uint32_t message, int* letter);

// do_command_key_dialog: the dialog that changes an item's shortcut letter. Everything typed is
// checked before anything changes: a refused letter leaves the item, the other items and both
// tables as they were.
// Writes: the Command- and Control-letter tables of prefs, the menu items' keys.
// Failure: level 2 "You must type one letter (a-z), or type nothing at all.", "Control-H and
//          Control-C cannot be used.", "You cannot change Command-%c!", "Command-%c cannot be
//          changed." (the dialog stays open); level 4 "Unexpected item returned from command
//          dialog".
void do_command_key_dialog(int menu, int item);

// show_shortcut_help: tells how to change a shortcut (level 2).
void show_shortcut_help();
