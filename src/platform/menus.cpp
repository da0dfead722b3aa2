// menus.cpp: the program's menus: a table of items by menu id (texts, separators, enabling,
// marks, styles, shortcut keys, submenus) that the program reads and writes, shown through Qt
// menus when there is a display.
//
// The table is the truth; the Qt menus follow it item by item. A choice in a Qt menu becomes a
// menu event in our queue and nothing else; opening a menu of the bar becomes a mouse-down in
// the menu bar, after which the program's menu pass brings the open menu up to date. Shortcut
// keys are shown after a tab in the item's text (never bound as Qt shortcuts: the program
// looks keys up itself), and a Command key is registered with the key table of events.cpp.
// Built without the toolkit's widgets (VESK_HEADLESS: the program that only prints), the
// table has no Qt menus to follow it.
#include "platform/menus.h"

#include <algorithm>

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QString>
#ifndef VESK_HEADLESS
#include <QFont>
#include <QMainWindow>
#endif

#include "platform/event_input.h"
#include "platform/events.h"
#include "platform/text_encoding.h"

namespace {

#ifndef VESK_HEADLESS
constexpr char APPLICATION_MENU_TITLE[] = "\x14";
#endif

struct Item {
  std::string text;
  bool separator = false;
  bool enabled = true;
  bool checked = false;
  uint8_t mark = 0;  // MENU_MARK_CHECK when checked, MENU_MARK_DASH, or 0
  uint8_t style = 0;
  uint8_t key = 0;
  bool control = false;
  uint8_t shifted_key = 0;  // a Command key taken with Shift held; 0 none
  int16_t submenu = 0;
  QPointer<QAction> action;
};

struct Menu {
  bool defined = false;
  std::string title;
  std::vector<Item> items;
  QPointer<QMenu> qmenu;
  // The application's Quit, outside the item numbering.
  bool has_quit = false;
  std::string quit_text;
  uint8_t quit_key = 0;
  QPointer<QAction> quit_separator;
};

Menu menus[MENU_COUNT + 1];
std::vector<int16_t> bar;
std::vector<QPointer<QMenuBar>> bars;  // the menu bar of every window that has one
long bar_draws = 0;
int16_t hilited = 0;
int16_t open_menu = 0;  // the menu of the bar shown; 0 none

bool valid_menu(int16_t menu) { return menu >= 1 && menu <= MENU_COUNT; }

Item* item_of(int16_t menu, int item) {
  if (!valid_menu(menu) || item < 1 || item > int(menus[menu].items.size())) return nullptr;
  return &menus[menu].items[size_t(item - 1)];
}

uint8_t capital(uint8_t c) { return c >= 'a' && c <= 'z' ? uint8_t(c - 'a' + 'A') : c; }

void post_menu_event(int16_t menu, int item) {
  EventRecord event;
  event.what = EVENT_MENU;
  event.message = (uint32_t(uint16_t(menu)) << 16) | uint16_t(item);
  event.modifiers = platform_modifiers();
  event.window = MENU_BAR_WINDOW;
  platform_post_event(event);
}

void post_menu_bar_click(int16_t menu) {
  EventRecord event;
  event.what = EVENT_MOUSE_DOWN;
  event.message = uint32_t(uint16_t(menu));
  event.modifiers = platform_modifiers();
  event.window = MENU_BAR_WINDOW;
  platform_post_event(event);
}

// ---- The Qt side -------------------------------------------------------------------------------

#ifndef VESK_HEADLESS
QString shown_text(const std::string& macroman) {
  QString text = QString::fromUtf8(macroman_to_utf8(macroman).c_str());
  text.replace('&', "&&");  // no mnemonics: the text stands as it is
  return text;
}

QString shown_title(const Menu& m) {
  if (m.title == APPLICATION_MENU_TITLE) {
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty()) return QString("Vesk");
    name[0] = name[0].toUpper();  // the program file's name, as a title
    return name;
  }
  return shown_text(m.title);
}

QString key_text(uint8_t key, bool control) {
  if (!key) return {};
  return QString(control ? "Meta+" : "Ctrl+") + QChar(key);
}

void show_item(const Item& it) {
  QAction* a = it.action;
  if (!a || it.separator) return;
  QString text = shown_text(it.text);
  if (it.mark == MENU_MARK_DASH) text = QString::fromUtf8("\u2013 ") + text;
  if (it.key)
    text += '\t' + key_text(it.key, it.control);
  else if (it.shifted_key)
    text += QString("\tCtrl+Shift+") + QChar(it.shifted_key);
  a->setText(text);
  a->setEnabled(it.enabled);
  a->setCheckable(it.checked);
  a->setChecked(it.checked);
  QFont font = a->font();
  font.setBold(it.style & ITEM_STYLE_BOLD);
  font.setItalic(it.style & ITEM_STYLE_ITALIC);
  font.setUnderline(it.style & ITEM_STYLE_UNDERLINE);
  a->setFont(font);  // an outlined item is shown plain: the toolkit has no outline face
  QMenu* sub = it.submenu && valid_menu(it.submenu) ? menus[it.submenu].qmenu.data() : nullptr;
  a->setMenu(sub);
}

// The item number of an action of a menu now (items may have moved since it was made).
int item_of_action(int16_t menu, const QAction* action) {
  const auto& items = menus[menu].items;
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].action == action) return int(i) + 1;
  return 0;
}

QMenu* qt_menu(int16_t menu) {
  Menu& m = menus[menu];
  if (!m.qmenu && input_window_widgets_usable()) {
    m.qmenu = new QMenu();
    m.qmenu->setTitle(shown_title(m));
  }
  return m.qmenu;
}

// Makes the Qt action of the item at `index` (0-based), placed before the next item's.
void make_action(int16_t menu, size_t index) {
  QMenu* q = qt_menu(menu);
  if (!q) return;
  Item& it = menus[menu].items[index];
  QAction* before = nullptr;
  for (size_t j = index + 1; j < menus[menu].items.size() && !before; ++j)
    before = menus[menu].items[j].action;
  QAction* a = new QAction(q);
  if (it.separator) {
    a->setSeparator(true);
  } else {
    QObject::connect(a, &QAction::triggered, [menu, a] {
      if (const int item = item_of_action(menu, a)) post_menu_event(menu, item);
    });
  }
  if (before)
    q->insertAction(before, a);
  else if (menus[menu].quit_separator)
    q->insertAction(menus[menu].quit_separator, a);
  else
    q->addAction(a);
  it.action = a;
  show_item(it);
}

void add_to_bar(QMenuBar* menu_bar, int16_t menu) {
  if (QMenu* q = qt_menu(menu)) menu_bar->addMenu(q);
}

void show_quit_item(int16_t menu) {
  QMenu* q = qt_menu(menu);
  Menu& m = menus[menu];
  if (!q || !m.has_quit) return;
  m.quit_separator = q->addSeparator();
  QString text = shown_text(m.quit_text);
  if (m.quit_key) text += '\t' + key_text(m.quit_key, false);
  QAction* quit = q->addAction(text);
  quit->setMenuRole(QAction::NoRole);
  QObject::connect(quit, &QAction::triggered, [] { post_menu_event(PLATFORM_QUIT_MENU, 1); });
}

void show_title(int16_t menu) {
  if (QMenu* q = qt_menu(menu)) q->setTitle(shown_title(menus[menu]));
}

void enable_action(const Item& it) {
  if (it.action) it.action->setEnabled(it.enabled);
}

void check_action(const Item& it) {
  if (!it.action) return;
  it.action->setCheckable(it.checked);
  it.action->setChecked(it.checked);
}

// A menu of the bar: opening it is a click in the menu bar; it joins every window's bar.
void show_in_bar(int16_t menu) {
  QMenu* q = qt_menu(menu);
  if (!q) return;
  QObject::connect(q, &QMenu::aboutToShow, [menu] {
    open_menu = menu;
    post_menu_bar_click(menu);
  });
  QObject::connect(q, &QMenu::aboutToHide, [menu] {
    if (open_menu == menu) open_menu = 0;
  });
  for (const auto& menu_bar : bars)
    if (menu_bar) add_to_bar(menu_bar, menu);
}

// Chooses the item's Qt action, which posts its menu event; false when it has none.
bool trigger_action(const Item& it) {
  if (!it.action) return false;
  it.action->trigger();
  return true;
}

void repaint_bars() {
  for (const auto& menu_bar : bars)
    if (menu_bar) menu_bar->update();
}
#else
QMenu* qt_menu(int16_t) { return nullptr; }
void show_item(const Item&) {}
void make_action(int16_t, size_t) {}
void show_quit_item(int16_t) {}
void show_title(int16_t) {}
void enable_action(const Item&) {}
void check_action(const Item&) {}
void show_in_bar(int16_t) {}
bool trigger_action(const Item&) { return false; }
void repaint_bars() {}
#endif

}  // namespace

// ---- Inside the platform: a window's menu bar ---------------------------------------------------

#ifndef VESK_HEADLESS
void input_attach_menu_bar(QMainWindow* window) {
  if (!window) return;
  auto* menu_bar = new QMenuBar(window);
  menu_bar->setNativeMenuBar(false);
  for (int16_t menu : bar) add_to_bar(menu_bar, menu);
  window->setMenuBar(menu_bar);
  bars.erase(std::remove_if(bars.begin(), bars.end(), [](const auto& b) { return b.isNull(); }),
             bars.end());
  bars.emplace_back(menu_bar);
}
#endif

// ---- Building --------------------------------------------------------------------------------

void platform_new_menu(int16_t menu, const std::string& title) {
  if (!valid_menu(menu)) return;
  platform_define_menu(menu, 0, {});
  menus[menu].title = title;
  show_title(menu);
}

void platform_append_menu_item(int16_t menu, const std::string& text) {
  if (!valid_menu(menu)) return;
  Menu& m = menus[menu];
  m.defined = true;
  m.items.push_back(Item{});
  m.items.back().text = text;
  make_action(menu, m.items.size() - 1);
}

void platform_append_menu_separator(int16_t menu) {
  if (!valid_menu(menu)) return;
  Menu& m = menus[menu];
  m.defined = true;
  m.items.push_back(Item{});
  m.items.back().separator = true;
  m.items.back().enabled = false;
  make_action(menu, m.items.size() - 1);
}

void platform_delete_menu_item(int16_t menu, int item) {
  Item* it = item_of(menu, item);
  if (!it) return;
  if (it->key && !it->control && menu_key_maps(it->key) == ((int32_t(menu) << 16) | item))
    set_menu_key(it->key, 0, 0);
  delete it->action.data();
  auto& items = menus[menu].items;
  items.erase(items.begin() + (item - 1));
  // The Command keys of the items that moved up follow them.
  for (size_t i = size_t(item - 1); i < items.size(); ++i)
    if (items[i].key && !items[i].control) set_menu_key(items[i].key, menu, int16_t(i + 1));
}

void platform_insert_menu(int16_t menu, bool in_bar) {
  if (!valid_menu(menu) || !in_bar) return;
  if (std::find(bar.begin(), bar.end(), menu) != bar.end()) return;
  bar.push_back(menu);
  show_in_bar(menu);
}

std::vector<int16_t> platform_menu_bar() { return bar; }

void platform_add_quit_item(int16_t menu, const std::string& text, uint8_t key) {
  if (!valid_menu(menu) || menus[menu].has_quit) return;
  Menu& m = menus[menu];
  m.has_quit = true;
  m.quit_text = text;
  m.quit_key = capital(key);
  if (m.quit_key) set_menu_key(m.quit_key, PLATFORM_QUIT_MENU, 1);
  show_quit_item(menu);
}

void platform_define_menu(int16_t menu, int item_count, const std::vector<int>& separators) {
  if (!valid_menu(menu) || item_count < 0) return;
  Menu& m = menus[menu];
  for (const Item& old : m.items) {
    if (old.key && !old.control) set_menu_key(old.key, 0, 0);
    delete old.action.data();
  }
  m.defined = true;
  m.items.assign(size_t(item_count), Item{});
  for (int s : separators)
    if (Item* it = item_of(menu, s)) it->separator = true, it->enabled = false;
  for (size_t i = 0; i < m.items.size(); ++i) make_action(menu, i);
}

// ---- Items -------------------------------------------------------------------------------------

int platform_menu_item_count(int16_t menu) {
  return valid_menu(menu) ? int(menus[menu].items.size()) : 0;
}

std::string platform_menu_title(int16_t menu) { return valid_menu(menu) ? menus[menu].title : ""; }

bool platform_menu_item_is_separator(int16_t menu, int item) {
  const Item* it = item_of(menu, item);
  return it && it->separator;
}

std::string platform_menu_item_text(int16_t menu, int item) {
  const Item* it = item_of(menu, item);
  return it ? it->text : std::string();
}

void platform_set_menu_item_text(int16_t menu, int item, const std::string& text) {
  Item* it = item_of(menu, item);
  if (!it || it->separator || it->text == text) return;
  it->text = text;
  show_item(*it);
}

bool platform_menu_item_enabled(int16_t menu, int item) {
  const Item* it = item_of(menu, item);
  return it && it->enabled;
}

void platform_enable_menu_item(int16_t menu, int item, bool enabled) {
  Item* it = item_of(menu, item);
  if (!it || it->separator || it->enabled == enabled) return;
  it->enabled = enabled;
  enable_action(*it);
}

bool platform_menu_item_checked(int16_t menu, int item) {
  const Item* it = item_of(menu, item);
  return it && it->checked;
}

void platform_check_menu_item(int16_t menu, int item, bool checked) {
  platform_set_menu_item_mark(menu, item, checked ? MENU_MARK_CHECK : 0);
}

uint8_t platform_menu_item_mark(int16_t menu, int item) {
  const Item* it = item_of(menu, item);
  return it ? it->mark : 0;
}

void platform_set_menu_item_mark(int16_t menu, int item, uint8_t mark) {
  Item* it = item_of(menu, item);
  if (!it || it->separator || it->mark == mark) return;
  const bool dash_changed = (it->mark == MENU_MARK_DASH) != (mark == MENU_MARK_DASH);
  it->mark = mark;
  it->checked = mark == MENU_MARK_CHECK;
  if (dash_changed)
    show_item(*it);
  else
    check_action(*it);
}

uint8_t platform_menu_item_style(int16_t menu, int item) {
  const Item* it = item_of(menu, item);
  return it ? it->style : 0;
}

void platform_set_menu_item_style(int16_t menu, int item, uint8_t style) {
  Item* it = item_of(menu, item);
  if (!it || it->separator || it->style == style) return;
  it->style = style;
  show_item(*it);
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
  show_item(*it);
}

uint8_t platform_item_key(int16_t menu, int item, bool* control) {
  const Item* it = item_of(menu, item);
  *control = it && it->control;
  return it ? it->key : 0;
}

void platform_set_item_shifted_key(int16_t menu, int item, uint8_t key) {
  Item* it = item_of(menu, item);
  if (!it || it->separator) return;
  it->shifted_key = capital(key);
  show_item(*it);
}

int32_t platform_shifted_key_command(uint8_t character) {
  character = capital(character);
  if (!character) return 0;
  for (int16_t menu = 1; menu <= MENU_COUNT; ++menu) {
    const auto& items = menus[menu].items;
    for (size_t i = 0; i < items.size(); ++i)
      if (items[i].shifted_key == character) return (int32_t(menu) << 16) | int32_t(i + 1);
  }
  return 0;
}

void platform_set_item_submenu(int16_t menu, int item, int16_t submenu) {
  Item* it = item_of(menu, item);
  if (!it || it->separator) return;
  if (submenu) platform_set_item_key(menu, item, 0, false);
  if (it->submenu == submenu) return;
  it->submenu = submenu;
  if (submenu && valid_menu(submenu)) qt_menu(submenu);
  show_item(*it);
}

int16_t platform_item_submenu(int16_t menu, int item) {
  const Item* it = item_of(menu, item);
  return it ? it->submenu : 0;
}

// ---- The menu bar ------------------------------------------------------------------------------

void platform_draw_menu_bar() {
  ++bar_draws;
  repaint_bars();
}

long platform_menu_bar_draw_count() { return bar_draws; }

void platform_hilite_menu(int16_t menu) { hilited = menu; }

int16_t platform_hilited_menu() { return hilited; }

// ---- Choosing ----------------------------------------------------------------------------------

int16_t platform_open_menu() { return open_menu; }

void platform_click_menu_bar(int16_t menu) {
  if (std::find(bar.begin(), bar.end(), menu) == bar.end()) return;
  open_menu = menu;
  post_menu_bar_click(menu);
}

bool platform_choose_menu_item(int16_t menu, int item) {
  const Item* it = item_of(menu, item);
  if (!it || it->separator || !it->enabled || it->submenu) return false;
  open_menu = 0;
  if (!trigger_action(*it)) post_menu_event(menu, item);
  return true;
}

bool platform_save_menu_png(int16_t menu, const char* path) {
#ifdef VESK_HEADLESS
  (void)menu, (void)path;
  return false;
#else
  QMenu* q = valid_menu(menu) ? menus[menu].qmenu.data() : nullptr;
  if (!q) return false;
  q->adjustSize();
  return q->grab().save(QString::fromUtf8(path), "PNG");
#endif
}

bool platform_save_menu_bar_png(int window, const char* path) {
#ifdef VESK_HEADLESS
  (void)window, (void)path;
  return false;
#else
  auto* main = qobject_cast<QMainWindow*>(input_window_numbered(window));
  QMenuBar* menu_bar = main ? qobject_cast<QMenuBar*>(main->menuWidget()) : nullptr;
  if (!menu_bar) return false;
  menu_bar->adjustSize();
  return menu_bar->grab().save(QString::fromUtf8(path), "PNG");
#endif
}

void platform_clear_menus() {
  for (Menu& m : menus) {
    for (const Item& it : m.items) delete it.action.data();
    delete m.qmenu.data();
    m = Menu{};
  }
  bar.clear();
  bar_draws = 0;
  hilited = 0;
  open_menu = 0;
  clear_menu_keys();
}
