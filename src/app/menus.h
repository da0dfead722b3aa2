// menus.h: the program's 32 menus and their commands. Every command is a pair (menu id, item)
// run by do_menu_item; the item numbers are fixed (separators count), because the shortcut
// tables of the preferences, the enabling rules and several callers name items by number.
// update_menus brings every item's enabled state, check mark and text into line with the
// program's state after each event.
#pragma once

#include <cstdint>

#include "app/app_services.h"
#include "platform/menus.h"

// ---- Menu ids ----------------------------------------------------------------------------------

// 1..11 stand in the menu bar (Hear left of Symbol), 12..32 are submenus.
inline constexpr int16_t APPLE_MENU = 1;
inline constexpr int16_t CONTEXT_MENU = 4;
inline constexpr int16_t FONT_MENU = 12;
inline constexpr int16_t MODIFY_PLAYBACK_MENU = 14;
inline constexpr int16_t KEYBOARD_SHIFT_MENU = 15;
inline constexpr int16_t TAB_STRING_MENU = 17;
inline constexpr int16_t MODIFY_TIE_MENU = 19;
inline constexpr int16_t MIDI_INPUT_MENU = 20;
inline constexpr int16_t MIDI_OUTPUT_MENU = 21;
inline constexpr int16_t DUPLICATE_MENU = 22;
inline constexpr int16_t LINE_MENU = 23;
inline constexpr int16_t CURVE_MENU = 24;
inline constexpr int16_t TEXT_CATEGORY_MENU = 26;
inline constexpr int16_t LINE_STYLE_MENU = 28;
inline constexpr int16_t ADDITIONAL_SLUR_MENU = 29;

inline constexpr int16_t FILE_QUIT = 17;  // Quit: a command of the File menu not shown in it
inline constexpr int16_t APPLICATION_QUIT_MENU = PLATFORM_QUIT_MENU;  // the application's Quit
inline constexpr int16_t PAGE_GOTO_PENDING_BAR = 55;  // go to the bar the note-entry keys stored

inline constexpr int32_t SOURCE_PARAMETER_EDITOR = 'n';

// build_menus: makes the 32 menus with their items in their fixed order, hangs the submenus on
// their items, fills the MIDI menus from the MIDI devices, the Font menu from the installed fonts
// and the Size menu, then gives the items the letters of the preferences' Command and Control
// tables. Called once at start-up; does not draw the menu bar.
// Reads:  music_font_numbers (the "Simplified Music Notation" font), the installed fonts, the MIDI
//         devices, the shortcut tables of prefs.
// Writes: the menus, first_system_font_item, font_menu_count, size_menu_sizes, midi_source_count,
//         midi_destination_count, text_template's xtextfont and xcharset; table entries naming no
//         item are cleared in prefs.
void build_menus();
// Whether Edit holds "Simplified Music Notation" (item 18), and the numbers of the Edit items
// after it.
bool simplified_notation_item_present();
int edit_shortcut_keys_item();  // "Shortcut Keys...": 18, or 19 after that item
// The classification code of a Text Category item; -1 for separators and other items.
int text_category_code(int item);
// The font code of a Font item (the six standard fonts -1..-6, else the font's number); 0 none.
int font_code_of_item(int item);

// The handlers of the menus, each with the item and the source.
void context_menu(int item, int32_t source);
void page_menu(int item, int32_t source);
void voice_menu(int item, int32_t source);
void note_menu(int item, int32_t source);
void stem_menu(int item, int32_t source);
void symbol_menu(int item, int32_t source);
void hear_menu(int item, int32_t source);
void annotation_menu(int item, int32_t source);
void font_menu(int item, int32_t source);
void style_menu(int item, int32_t source);
void modify_playback_menu(int item, int32_t source);
void clear_menu(int item, int32_t source);
void modify_slur_menu(int item, int32_t source);
void additional_slur_menu(int item, int32_t source);
void modify_tie_menu(int item, int32_t source);
void text_category_menu(int item, int32_t source);
void size_menu(int item, int32_t source);
void line_menu(int item, int32_t source);
void curve_menu(int item, int32_t source);
void line_style_menu(int item, int32_t source);

// menu_key_command: the enabled menu item a Command-key character chooses, as (menu << 16) |
// item; 0 when it chooses none or the item is disabled. With Shift held, a letter that is an
// item's shifted key chooses that item (or nothing while it is disabled), any other letter
// what it chooses without Shift.
int32_t menu_key_command(uint8_t character, bool shift = false);
