// shortcut_keys.cpp: shortcut letters of the menu items and the dialog that changes them.
//
// A Command letter given in the Command-letter table can be moved from item to item; a
// Command key that comes with the menu's own definition (its table entry is empty, or it is no
// letter at all, like '[' or a digit) is the menu's and cannot be changed or taken.
#include "app/shortcut_keys.h"

#include <cctype>
#include <string>

#include "app/app_globals.h"
#include "app/cursors.h"
#include "app/prefs.h"
#include "model/model_services.h"
#include "platform/dialogs.h"
#include "platform/events.h"
#include "platform/menus.h"

namespace {

constexpr int DIALOG = 7515;
constexpr int ITEM_OK = 1, ITEM_CANCEL = 2, ITEM_LETTER = 3, ITEM_CONTROL = 6;

// Key codes of the letters A..Z.
constexpr uint8_t LETTER_CODES[26] = {0,  11, 8,  2,  14, 3, 5,  4,  34, 38, 40, 37, 46,
                                      45, 31, 35, 12, 15, 1, 17, 32, 9,  13, 7,  16, 6};

bool is_letter(int c) { return c >= 'A' && c <= 'Z'; }

bool valid_item(int menu, int item) {
  return menu >= 1 && menu <= MENU_COUNT && item >= 1 &&
         item <= platform_menu_item_count(int16_t(menu)) &&
         !platform_menu_item_is_separator(int16_t(menu), item);
}

// The item that carries a Command letter, or (0, 0).
MenuCommand command_holder(int letter) {
  const int32_t found = menu_key_maps(uint8_t(letter));
  if (found) return {int16_t(found >> 16), int16_t(found & 0xFFFF)};
  return prefs.command_key(letter);
}

MenuCommand control_holder(int letter) { return prefs.control_key(letter); }

// Checks the letter typed (0 for an empty field) for the item; true when it may be given.
bool letter_allowed(int menu, int item, int letter, bool control) {
  if (control && (letter == 'H' || letter == 'C')) {
    REPORT_ERROR(2, "%s", "Control-H and Control-C cannot be used.");
    return false;
  }
  const int current = set_menu_item_key(menu, item, ASK_ITEM_KEY, 0);
  if (current > 0 && (!is_letter(current) || prefs.command_key(current).menu == 0)) {
    REPORT_ERROR(2, "You cannot change Command-%c!", current);
    return false;
  }
  if (letter && !control) {
    const MenuCommand holder = command_holder(letter);
    const MenuCommand self{int16_t(menu), int16_t(item)};
    if (holder.menu && !(holder == self) && prefs.command_key(letter).menu == 0) {
      REPORT_ERROR(2, "Command-%c cannot be changed.", letter);
      return false;
    }
  }
  return true;
}

// Gives the item the letter (0: no shortcut), taking it from an item that holds it.
void give_letter(int menu, int item, int letter, bool control) {
  const int current = set_menu_item_key(menu, item, ASK_ITEM_KEY, 0);
  if (current < 0) prefs.set_control_key(-current, {});
  if (current > 0) prefs.set_command_key(current, {});
  set_menu_item_key(menu, item, 0, 0);
  if (!letter) return;
  const MenuCommand self{int16_t(menu), int16_t(item)};
  const MenuCommand holder = control ? control_holder(letter) : command_holder(letter);
  if (holder.menu && !(holder == self)) set_menu_item_key(holder.menu, holder.item, 0, 0);
  if (control)
    prefs.set_control_key(letter, self);
  else
    prefs.set_command_key(letter, self);
  set_menu_item_key(menu, item, control ? -letter : letter, 0);
}

}  // namespace

int set_menu_item_key(int menu, int item, int key, int submenu) {
  if (!valid_item(menu, item)) return 0;
  const int16_t m = int16_t(menu);
  if (key == ASK_ITEM_KEY) {
    for (int letter = 'A'; letter <= 'Z'; ++letter)
      if (prefs.control_key(letter) == MenuCommand{m, int16_t(item)}) return -letter;
    bool control = false;
    const int found = platform_item_key(m, item, &control);
    return control ? -found : found;
  }
  if (key == ATTACH_SUBMENU) {
    platform_set_item_submenu(m, item, int16_t(submenu));
  } else {
    const int letter = key < 0 ? -key : key;
    platform_set_item_key(m, item, uint8_t(letter), key < 0);
  }
  bool control = false;
  const int now = platform_item_key(m, item, &control);
  return control ? -now : now;
}

int shortcut_letter_of_key(uint32_t message, int* letter) {
  const uint8_t code = uint8_t((message >> 8) & 0xFF);
  for (int i = 0; i < 26; ++i) {
    if (LETTER_CODES[i] == code) {
      *letter = 'A' + i;
      return 1;
    }
  }
  return 0;
}

void do_command_key_dialog(int menu, int item) {
  save_cursor();
  set_cursor(CURSOR_ID_ARROW);
  DialogRef dialog = platform_open_dialog(DIALOG, true);
  if (!dialog) {
    restore_cursor();
    return;
  }
  platform_set_item_value(dialog, ITEM_CONTROL, 0);
  platform_select_item_text(dialog, ITEM_LETTER, 0, 0);
  for (;;) {
    const int hit = platform_modal_dialog(dialog, nullptr);
    if (hit == ITEM_CANCEL) break;
    if (hit == ITEM_CONTROL) {
      platform_set_item_value(dialog, ITEM_CONTROL, !platform_item_value(dialog, ITEM_CONTROL));
      continue;
    }
    if (hit != ITEM_OK) {
      REPORT_ERROR(4, "Unexpected item returned from command dialog");
      continue;
    }
    std::string typed = platform_item_text(dialog, ITEM_LETTER);
    if (typed.size() == 1) typed[0] = char(std::toupper(uint8_t(typed[0])));
    if (typed.size() > 1 || (typed.size() == 1 && !is_letter(typed[0]))) {
      REPORT_ERROR(2, "%s", "You must type one letter (a-z), or type nothing at all.");
      continue;
    }
    const int letter = typed.empty() ? 0 : typed[0];
    const bool control = platform_item_value(dialog, ITEM_CONTROL) != 0;
    if (!letter_allowed(menu, item, letter, control)) continue;
    give_letter(menu, item, letter, control);
    break;
  }
  platform_close_dialog(dialog);
  restore_cursor();
}

void show_shortcut_help() {
  REPORT_ERROR(2,
               "To change the shortcut key for a menu option, hold down %s as you select the "
               "menu option with the mouse.%s%sTo change an alphanumeric key that corresponds to "
               "the Piano Window, hold down %s as you click in the Piano Window.",
               "Command", "\n", "\n", "Command");
}
