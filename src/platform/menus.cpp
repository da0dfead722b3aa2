// menus.cpp: the item table of the program's menus: counts, separators, enabling, shortcut
// keys and submenus. A Command key is registered with the key table of events.cpp too, so that
// menu_key_maps finds its item.
#include "platform/menus.h"

#include <vector>

#include "platform/events.h"

namespace {

struct Item {
  bool separator = false;
  bool enabled = true;
  uint8_t key = 0;
  bool control = false;
  int16_t submenu = 0;
};

std::vector<Item> menus[MENU_COUNT + 1];

Item* item_of(int16_t menu, int item) {
  if (menu < 1 || menu > MENU_COUNT || item < 1 || item > int(menus[menu].size())) return nullptr;
  return &menus[menu][size_t(item - 1)];
}

uint8_t capital(uint8_t c) { return c >= 'a' && c <= 'z' ? uint8_t(c - 'a' + 'A') : c; }

}  // namespace

void platform_define_menu(int16_t menu, int item_count, const std::vector<int>& separators) {
  if (menu < 1 || menu > MENU_COUNT || item_count < 0) return;
  for (const Item& old : menus[menu])
    if (old.key && !old.control) set_menu_key(old.key, 0, 0);
  menus[menu].assign(size_t(item_count), Item{});
  for (int s : separators)
    if (Item* it = item_of(menu, s)) it->separator = true, it->enabled = false;
}

int platform_menu_item_count(int16_t menu) {
  return menu >= 1 && menu <= MENU_COUNT ? int(menus[menu].size()) : 0;
}

bool platform_menu_item_is_separator(int16_t menu, int item) {
  const Item* it = item_of(menu, item);
  return it && it->separator;
}

bool platform_menu_item_enabled(int16_t menu, int item) {
  const Item* it = item_of(menu, item);
  return it && it->enabled;
}

void platform_enable_menu_item(int16_t menu, int item, bool enabled) {
  if (Item* it = item_of(menu, item); it && !it->separator) it->enabled = enabled;
}

void platform_set_item_key(int16_t menu, int item, uint8_t key, bool control) {
  Item* it = item_of(menu, item);
  if (!it || it->separator) return;
  if (it->key && !it->control && menu_key_maps(it->key) == ((int32_t(menu) << 16) | item))
    set_menu_key(it->key, 0, 0);
  it->key = capital(key);
  it->control = key && control;
  if (key) it->submenu = 0;
  if (it->key && !it->control) set_menu_key(it->key, menu, int16_t(item));
}

uint8_t platform_item_key(int16_t menu, int item, bool* control) {
  const Item* it = item_of(menu, item);
  *control = it && it->control;
  return it ? it->key : 0;
}

void platform_set_item_submenu(int16_t menu, int item, int16_t submenu) {
  Item* it = item_of(menu, item);
  if (!it || it->separator) return;
  if (submenu) platform_set_item_key(menu, item, 0, false);
  it->submenu = submenu;
}

int16_t platform_item_submenu(int16_t menu, int item) {
  const Item* it = item_of(menu, item);
  return it ? it->submenu : 0;
}

void platform_clear_menus() {
  for (auto& menu : menus) menu.clear();
  clear_menu_keys();
}
