// events.cpp: the event queue, the wait for events, the modifier keys, and the translation of
// window-system input into event records.
//
// One application-wide Qt event filter does all translation. Key presses aimed at a
// registered window, and mouse presses and releases aimed at its content widget, become event
// records at the end of our queue; the Qt events themselves are consumed, so nothing acts on
// them before the program has seen them. A key press is remembered (a copy of the Qt event) so
// that a dialog can hand it back to its focused edit field when the program leaves it alone.
//
// While a modal window is up, the filter also drops input aimed at any other window: Qt's own
// modality stops real input only, not the synthetic input that tests and posted events make.
//
// Key releases become key-up events too (the widgets still get them); the repeats of a key
// held down give auto-key events and no release.
//
// Wheel and touchpad movements over a window's content become wheel events of that window,
// in whole pixels (the fractions are kept for the next movement).
//
// Peeking (peek_event) handles window-system input like the wait but takes nothing from the
// queue. Mouse-downs in the menu bar carry the window number MENU_BAR_WINDOW. Command-key
// equivalents of menu items are kept in a table by character, which the menus fill; looking
// a character up chooses nothing.
//
// The wait never spins: it blocks in Qt's dispatcher with a single-shot timer as the wake-up,
// and runs posted deletions by hand (outside exec() nothing else would).
//
// Key codes (bits 8-15 of a key event's message) are our own, for the US layout: the letters
// A..Z have the codes 0, 11, 8, 2, 14, 3, 5, 4, 34, 38, 40, 37, 46, 45, 31, 35, 12, 15, 1, 17,
// 32, 9, 13, 7, 16, 6 that the program's shortcut table expects; the digits 0..9 of the main
// row 50..59; space and the punctuation keys ` - = [ ] \ ; ' , . / 60..71 (shifted symbols
// count as their key); the keypad digits 80..89, keypad . * + - / = 90..95, keypad Enter 96;
// Return 100, Tab 101, Backspace 102, Escape 103, forward Delete 104, Home 105, End 106,
// Page Up 107, Page Down 108, Left 109, Right 110, Up 111, Down 112; function keys F1..F20
// 121..140; any other key 255.
#include "platform/events.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <pthread.h>
#include <set>
#include <time.h>
#include <unistd.h>
#include <vector>

#ifndef VESK_HEADLESS
#include <QApplication>
#include <QDialog>
#endif
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <QThread>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>

#include "platform/event_input.h"
#include "platform/text_encoding.h"
#include "platform/ticks.h"

namespace {

std::deque<EventRecord> queue;

// A copy of the process made by fork() (a test's death case) shares the window-system
// connection of its parent and must not use it. The copy knows itself from the fork handler,
// without asking the system for its process id at every poll.
bool forked_copy = false;
[[maybe_unused]] const int fork_handler =
    pthread_atfork(nullptr, nullptr, [] { forked_copy = true; });

bool test_modifiers_on = false;
uint16_t test_modifiers = 0;

// The modifier keys the window system gave when last asked. Asking waits for its answer (a round
// trip to an X server), and a format asks at every step (the cursor it shows depends on the keys
// held): a page turn in a window took a third of a second so. An answer serves for a moment
// shorter than any hand changes keys in, and any input the program takes asks afresh. The
// moment is told by the kernel's coarse clock, read without asking the hardware: a format asks
// some hundred thousand times, and the exact clock took 9 ms of opening a symphony so.
constexpr auto MODIFIERS_KEPT = std::chrono::milliseconds(20);
struct AskedModifiers {
  bool known = false;
  std::chrono::nanoseconds when{};
  Qt::KeyboardModifiers keys;
};
AskedModifiers asked_modifiers;
long modifier_queries = 0;  // times the window system was asked

bool test_front_window_on = false;
int test_front_window = 0;

// Command-key equivalents of menu items, by character: (menu << 16) | item, 0 none.
int32_t menu_keys[256] = {};

long idle_waits = 0;  // waits that found no event waiting

// The document lists of the high-level events queued, by the serial in their `where.x`.
std::map<int, std::vector<std::string>> document_lists;
std::set<int> lists_quitting_when_done;  // document lists after which the program quits
int document_list_serial = 0;

// ---- The queue ----------------------------------------------------------------------------

bool in_mask(uint32_t mask, int16_t what) { return what >= 0 && what < 32 && (mask >> what) & 1u; }

bool take_queued(uint32_t mask, EventRecord* event) {
  for (auto it = queue.begin(); it != queue.end(); ++it) {
    if (in_mask(mask, it->what)) {
      *event = *it;
      queue.erase(it);
      return true;
    }
  }
  return false;
}

void set_null_event(EventRecord* event) {
  *event = EventRecord{};
  event->when = platform_ticks();
  event->modifiers = platform_modifiers();
}

// ---- Modifiers --------------------------------------------------------------------------

// The middle button is a second Option: most window systems of this platform take Alt with a
// press or a drag for moving and sizing windows, so that an Alt-click or Alt-drag never
// reaches the program. A press of the middle button (with the other modifiers as they are) is
// the Option-click, and held it is the Option key, for as long as a drag lasts.
uint16_t modifiers_of(Qt::KeyboardModifiers keys, Qt::MouseButtons buttons) {
  uint16_t bits = 0;
  if (keys & Qt::ControlModifier) bits |= MOD_COMMAND;
  if ((keys & Qt::AltModifier) || (buttons & Qt::MiddleButton)) bits |= MOD_OPTION;
  if (keys & Qt::MetaModifier) bits |= MOD_CONTROL;
  if (keys & Qt::ShiftModifier) bits |= MOD_SHIFT;
  if (buttons == Qt::NoButton) bits |= MOD_BUTTON_UP;
  return bits;
}

// ---- Keys ---------------------------------------------------------------------------------

#ifndef VESK_HEADLESS

constexpr uint8_t LETTER_CODES[26] = {0,  11, 8,  2,  14, 3, 5,  4,  34, 38, 40, 37, 46,
                                      45, 31, 35, 12, 15, 1, 17, 32, 9,  13, 7,  16, 6};
constexpr char PUNCTUATION_KEYS[] = " `-=[]\\;',./";  // codes 60..71
constexpr char SHIFTED_SYMBOLS[] = "~!@#$%^&*()_+{}|:\"<>?";
constexpr char UNSHIFTED_KEYS[] = "`1234567890-=[]\\;',./";
constexpr char KEYPAD_SYMBOLS[] = ".*+-/=";  // codes 90..95
constexpr uint8_t UNKNOWN_KEY_CODE = 255;

// The key on the US layout that types an ASCII character.
char base_key(int ascii) {
  if (ascii >= 'a' && ascii <= 'z') return static_cast<char>(ascii - 'a' + 'A');
  for (int i = 0; SHIFTED_SYMBOLS[i]; ++i)
    if (SHIFTED_SYMBOLS[i] == ascii) return UNSHIFTED_KEYS[i];
  return static_cast<char>(ascii);
}

struct SpecialKey {
  int qt_key;
  uint8_t character;
  uint8_t code;
};
constexpr SpecialKey SPECIAL_KEYS[] = {
    {Qt::Key_Return, KEY_RETURN, 100},
    {Qt::Key_Enter, KEY_ENTER, 96},
    {Qt::Key_Tab, KEY_TAB, 101},
    {Qt::Key_Backtab, KEY_TAB, 101},
    {Qt::Key_Backspace, KEY_BACKSPACE, 102},
    {Qt::Key_Escape, KEY_ESCAPE, 103},
    {Qt::Key_Delete, KEY_DELETE, 104},
    {Qt::Key_Home, KEY_HOME, 105},
    {Qt::Key_End, KEY_END, 106},
    {Qt::Key_PageUp, KEY_PAGE_UP, 107},
    {Qt::Key_PageDown, KEY_PAGE_DOWN, 108},
    {Qt::Key_Left, KEY_LEFT, 109},
    {Qt::Key_Right, KEY_RIGHT, 110},
    {Qt::Key_Up, KEY_UP, 111},
    {Qt::Key_Down, KEY_DOWN, 112},
};

bool is_modifier_key(int key) {
  switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
      return true;
    default:
      return false;
  }
}

uint8_t code_of_ascii_key(int ascii, bool keypad) {
  if (keypad) {
    if (ascii >= '0' && ascii <= '9') return static_cast<uint8_t>(80 + ascii - '0');
    for (int i = 0; KEYPAD_SYMBOLS[i]; ++i)
      if (KEYPAD_SYMBOLS[i] == ascii) return static_cast<uint8_t>(90 + i);
  }
  const char key = base_key(ascii);
  if (key >= 'A' && key <= 'Z') return LETTER_CODES[key - 'A'];
  if (key >= '0' && key <= '9') return static_cast<uint8_t>(50 + key - '0');
  for (int i = 0; PUNCTUATION_KEYS[i]; ++i)
    if (PUNCTUATION_KEYS[i] == key) return static_cast<uint8_t>(60 + i);
  return UNKNOWN_KEY_CODE;
}

// The record of a key press; false for keys the program never sees (modifier keys alone,
// keys that type nothing).
bool translate_key(const QKeyEvent& key_event, EventRecord* record) {
  const int key = key_event.key();
  if (is_modifier_key(key)) return false;
  const Qt::KeyboardModifiers qt_modifiers = key_event.modifiers();
  const bool keypad = (qt_modifiers & Qt::KeypadModifier) != 0;
  uint8_t character = 0;
  uint8_t code = UNKNOWN_KEY_CODE;
  bool found = false;
  for (const SpecialKey& special : SPECIAL_KEYS) {
    if (special.qt_key == key) {
      character = special.character;
      code = special.code;
      found = true;
      break;
    }
  }
  if (!found && key >= Qt::Key_F1 && key <= Qt::Key_F20) {
    character = KEY_FUNCTION;
    code = static_cast<uint8_t>(121 + key - Qt::Key_F1);
    found = true;
  }
  if (!found) {
    const QList<uint> text = key_event.text().toUcs4();
    const char32_t typed = text.isEmpty() ? 0 : text.front();
    if (typed >= 0x20 && typed != 0x7F) {
      character = unicode_to_macroman(typed);
    } else if (key >= 0x20 && key <= 0x7E) {
      // Control and Command keys type control characters or nothing: report the key's own
      // character (letters small unless Shift is held).
      character = static_cast<uint8_t>(key);
      if (key >= 'A' && key <= 'Z' && !(qt_modifiers & Qt::ShiftModifier))
        character = static_cast<uint8_t>(key - 'A' + 'a');
    } else {
      return false;
    }
    code = key >= 0x20 && key <= 0x7E
               ? code_of_ascii_key(key, keypad)
               : (character < 0x80 ? code_of_ascii_key(character, keypad) : UNKNOWN_KEY_CODE);
  }
  *record = EventRecord{};
  record->what = key_event.isAutoRepeat() ? EVENT_AUTO_KEY : EVENT_KEY_DOWN;
  record->message = character | (uint32_t{code} << 8);
  record->when = platform_ticks();
  record->modifiers = modifiers_of(qt_modifiers, QGuiApplication::mouseButtons());
  if (!found) {
    const QList<uint> text = key_event.text().toUcs4();
    if (!text.isEmpty() && text.front() >= 0x20 && text.front() != 0x7F)
      record->typed = text.front();
  }
  return true;
}
#endif

// ---- Registered windows and remembered keys -----------------------------------------------

struct InputWindow {
  QPointer<QWidget> window;
  QPointer<QWidget> content;
  int number;
};
std::vector<InputWindow> input_windows;

// The window a modal window lets input reach besides itself.
struct Admitted {
  QPointer<QWidget> modal, admitted;
};
std::vector<Admitted> admitted_windows;

struct RememberedKey {
  EventRecord record;
  std::unique_ptr<QKeyEvent> key;
  QPointer<QWidget> window;
};
std::deque<RememberedKey> remembered_keys;
#ifndef VESK_HEADLESS
constexpr size_t MAX_REMEMBERED_KEYS = 64;
bool redelivering = false;
// The last key released: its scan code and time stamp.
struct KeyRelease {
  quint32 scan_code = 0;
  quint64 when = 0;
} last_release;

const InputWindow* input_window_of(const QWidget* window) {
  for (const InputWindow& entry : input_windows)
    if (entry.window == window) return &entry;
  return nullptr;
}

void remember_key(const EventRecord& record, const QKeyEvent& key_event, QWidget* window) {
  auto copy = std::make_unique<QKeyEvent>(key_event.type(), key_event.key(), key_event.modifiers(),
                                          key_event.nativeScanCode(), key_event.nativeVirtualKey(),
                                          key_event.nativeModifiers(), key_event.text(),
                                          key_event.isAutoRepeat(), key_event.count());
  remembered_keys.push_back({record, std::move(copy), window});
  if (remembered_keys.size() > MAX_REMEMBERED_KEYS) remembered_keys.pop_front();
}
#endif

#ifndef VESK_HEADLESS
bool is_input_event(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::InputMethod:
      return true;
    default:
      return false;
  }
}

// True when input for `widget` may go on while `modal` is the modal window: it is inside
// it or in the window it admits, or in a pop-up (a menu or a pop-up's list, which opens as a
// window of its own).
bool reaches_modal(const QWidget* widget, const QWidget* modal) {
  const QWidget* admitted = nullptr;
  for (const Admitted& a : admitted_windows)
    if (a.modal == modal) admitted = a.admitted;
  for (const QWidget* w = widget; w; w = w->parentWidget()) {
    if (w == modal || (admitted && w == admitted)) return true;
    if (w->isWindow() && w->windowType() == Qt::Popup) return true;
  }
  return false;
}

// The shown window that admits one other window, modal to the program alone; nullptr none.
QWidget* admitting_window() {
  for (const Admitted& a : admitted_windows)
    if (a.modal && a.modal->isVisible()) return a.modal;
  return nullptr;
}

// The wheel's turns not yet given as whole pixels, by window.
std::map<int, QPointF> wheel_rest;

// The record of a wheel or touchpad movement over a window's content; false while it adds up
// to less than a pixel.
bool translate_wheel(const QWheelEvent& wheel, int window, EventRecord* record) {
  QPointF pixels;
  if (!wheel.pixelDelta().isNull()) {
    pixels = QPointF(wheel.pixelDelta());
  } else {
    const double lines = QApplication::wheelScrollLines();
    pixels = QPointF(wheel.angleDelta()) / 120.0 * lines * WHEEL_LINE;
  }
  if (wheel.inverted()) pixels = -pixels;
  if ((wheel.modifiers() & Qt::ShiftModifier) && pixels.x() == 0) pixels = {pixels.y(), 0};
  QPointF& rest = wheel_rest[window];
  rest += pixels;
  const int dx = static_cast<int>(std::clamp(rest.x(), -30000.0, 30000.0));
  const int dy = static_cast<int>(std::clamp(rest.y(), -30000.0, 30000.0));
  rest -= QPointF(dx, dy);
  if (dx == 0 && dy == 0) return false;
  *record = EventRecord{};
  record->what = EVENT_WHEEL;
  record->message = uint32_t(uint16_t(int16_t(dx))) | uint32_t(uint16_t(int16_t(dy))) << 16;
  const QPoint at = wheel.position().toPoint();
  record->where = {at.x(), at.y()};
  record->when = platform_ticks();
  record->modifiers = modifiers_of(wheel.modifiers(), wheel.buttons());
  record->window = window;
  return true;
}

class InputFilter : public QObject {
 public:
  bool eventFilter(QObject* receiver, QEvent* event) override {
    if (!is_input_event(event->type())) return false;
    asked_modifiers.known = false;
    if (redelivering) return false;
    auto* widget = qobject_cast<QWidget*>(receiver);
    if (!widget) return false;
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) modal = admitting_window();
    if (modal && !reaches_modal(widget, modal)) return true;
    const InputWindow* entry = input_window_of(widget->window());
    if (!entry) return false;
    switch (event->type()) {
      case QEvent::KeyPress: {
        const auto* key_event = static_cast<QKeyEvent*>(event);
        EventRecord record;
        if (!translate_key(*key_event, &record)) return false;
        // A window system may give a held key's repeats as releases and presses of their own,
        // a release and the next press at the same moment: such a press is a repeat.
        if (key_event->nativeScanCode() == last_release.scan_code &&
            key_event->timestamp() == last_release.when)
          record.what = EVENT_AUTO_KEY;
        record.window = entry->number;
        platform_post_event(record);
        remember_key(record, *key_event, entry->window);
        return true;
      }
      case QEvent::KeyRelease: {
        // A key's release is an event of its own; the widget sees it as well. A key held down
        // repeats without being released.
        const auto* key_event = static_cast<QKeyEvent*>(event);
        last_release = {key_event->nativeScanCode(), key_event->timestamp()};
        EventRecord record;
        if (key_event->isAutoRepeat() || !translate_key(*key_event, &record)) return false;
        record.what = EVENT_KEY_UP;
        record.window = entry->number;
        platform_post_event(record);
        return false;
      }
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseButtonRelease: {
        if (widget != entry->content) return false;
        const auto* mouse = static_cast<QMouseEvent*>(event);
        EventRecord record;
        record.what =
            event->type() == QEvent::MouseButtonRelease ? EVENT_MOUSE_UP : EVENT_MOUSE_DOWN;
        const QPoint at = mouse->position().toPoint();
        record.where = {at.x(), at.y()};
        record.modifiers = modifiers_of(mouse->modifiers(), mouse->buttons());
        record.window = entry->number;
        platform_post_event(record);
        return true;
      }
      case QEvent::InputMethod: {
        // What an input method composed arrives as keys typed one after the other.
        const auto* composed = static_cast<QInputMethodEvent*>(event);
        for (const uint code_point : composed->commitString().toUcs4()) {
          EventRecord record;
          record.what = EVENT_KEY_DOWN;
          record.message = unicode_to_macroman(code_point);
          record.typed = code_point;
          record.when = platform_ticks();
          record.window = entry->number;
          platform_post_event(record);
        }
        return true;
      }
      case QEvent::Wheel: {
        if (widget != entry->content) return false;
        EventRecord record;
        if (translate_wheel(*static_cast<QWheelEvent*>(event), entry->number, &record))
          platform_post_event(record);
        return true;
      }
      default:
        return false;
    }
  }
};

InputFilter* input_filter = nullptr;
#endif

// The filter turns the input of the program's widgets into its events: built without the
// toolkit's widgets (VESK_HEADLESS: the program that only prints) there are none.
void ensure_input_filter() {
#ifndef VESK_HEADLESS
  if (input_filter || !QCoreApplication::instance()) return;
  input_filter = new InputFilter();
  input_filter->setParent(QCoreApplication::instance());  // goes with the application
  QCoreApplication::instance()->installEventFilter(input_filter);
  QObject::connect(input_filter, &QObject::destroyed, [] { input_filter = nullptr; });
#endif
}

void handle_window_system_input() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Lets the window system deliver its input, sleeping while there is none, until `done` says
// so (asked after each delivery) or timeout_ticks have passed.
void wait_for_window_system(uint32_t timeout_ticks, const std::function<bool()>& done) {
  QElapsedTimer clock;
  clock.start();
  const qint64 limit_ms = static_cast<qint64>(timeout_ticks) * 1000 / 60;
  QTimer wake;
  wake.setSingleShot(true);
  for (;;) {
    const qint64 left = limit_ms - clock.elapsed();
    if (left <= 0) return;
    wake.start(static_cast<int>(std::min<qint64>(left, INT_MAX)));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (done()) return;
  }
}

}  // namespace

// ---- The queue --------------------------------------------------------------------------------

void platform_post_event(const EventRecord& event) {
  queue.push_back(event);
  if (queue.back().when == 0) queue.back().when = platform_ticks();
}

bool platform_get_event(uint32_t mask, uint32_t timeout_ticks, EventRecord* event) {
  return input_wait_for_event(mask, timeout_ticks, event, {});
}

bool peek_event(uint32_t mask, EventRecord* event) {
  if (input_window_system_usable()) {
    ensure_input_filter();
    handle_window_system_input();
  }
  for (const EventRecord& queued : queue) {
    if (in_mask(mask, queued.what)) {
      *event = queued;
      return true;
    }
  }
  set_null_event(event);
  return false;
}

void platform_flush_events(uint32_t mask) {
  std::erase_if(queue, [mask](const EventRecord& e) { return in_mask(mask, e.what); });
}

uint16_t platform_modifiers() {
  if (test_modifiers_on) return test_modifiers;
  if (!qGuiApp) return MOD_BUTTON_UP;
  timespec coarse{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &coarse);
  const auto now = std::chrono::seconds(coarse.tv_sec) + std::chrono::nanoseconds(coarse.tv_nsec);
  if (!asked_modifiers.known || now - asked_modifiers.when >= MODIFIERS_KEPT) {
    ++modifier_queries;
    asked_modifiers = {true, now, QGuiApplication::queryKeyboardModifiers()};
  }
  // The buttons are the toolkit's own record, which asks nothing.
  return modifiers_of(asked_modifiers.keys, QGuiApplication::mouseButtons());
}

long platform_modifier_queries() { return modifier_queries; }

void platform_set_test_modifiers(bool on, uint16_t modifiers) {
  test_modifiers_on = on;
  test_modifiers = modifiers;
}

void platform_wait_for_event(uint32_t timeout_ticks) {
  if (!queue.empty()) return;
  if (input_window_system_usable()) {
    ensure_input_filter();
    handle_window_system_input();
    if (!queue.empty()) return;
  }
  ++idle_waits;
  if (input_ticks_are_virtual() || !input_window_system_usable()) {
    platform_delay_ticks(timeout_ticks);
    return;
  }
  wait_for_window_system(timeout_ticks, [] { return !queue.empty(); });
}

long platform_idle_wait_count() { return idle_waits; }

// ---- Documents ------------------------------------------------------------------------------

void platform_post_document_event(uint32_t id, const std::vector<std::string>& paths,
                                  bool quit_when_done) {
  EventRecord event;
  event.what = EVENT_HIGH_LEVEL;
  event.message = id;
  event.where.x = ++document_list_serial;
  document_lists[event.where.x] = paths;
  if (quit_when_done) lists_quitting_when_done.insert(event.where.x);
  platform_post_event(event);
}

std::vector<std::string> platform_take_event_documents(const EventRecord& event,
                                                       bool* quit_when_done) {
  std::vector<std::string> paths;
  if (quit_when_done) *quit_when_done = false;
  auto it = document_lists.find(event.where.x);
  if (event.what != EVENT_HIGH_LEVEL || it == document_lists.end()) return paths;
  paths = std::move(it->second);
  document_lists.erase(it);
  const bool quits = lists_quitting_when_done.erase(event.where.x) != 0;
  if (quit_when_done) *quit_when_done = quits;
  return paths;
}

namespace {

// The documents to open and those to print that the command line names.
void command_line_documents(int argc, char** argv, std::vector<std::string>* open,
                            std::vector<std::string>* print) {
  bool printing = false;
  // The window system takes its own options out of argv and ends what is left with a null.
  for (int i = 1; i < argc && argv[i]; ++i) {
    const std::string argument = argv[i];
    if (argument == "--print") {
      printing = true;
      continue;
    }
    if (argument.empty()) continue;
    (printing ? print : open)->push_back(argument);
  }
}

}  // namespace

bool platform_command_line_only_prints(int argc, char** argv) {
  std::vector<std::string> open, print;
  command_line_documents(argc, argv, &open, &print);
  return open.empty() && !print.empty();
}

void platform_post_command_line_events(int argc, char** argv) {
  std::vector<std::string> open, print;
  command_line_documents(argc, argv, &open, &print);
  if (!open.empty()) platform_post_document_event(EVENT_OPEN_DOCUMENTS, open);
  // Started only to print: the program quits once the documents are printed (and what went
  // wrong with them said: a quit waiting in the queue would take every message away).
  if (!print.empty()) platform_post_document_event(EVENT_PRINT_DOCUMENTS, print, open.empty());
  if (open.empty() && print.empty()) platform_post_document_event(EVENT_OPEN_APPLICATION, {});
}

// ---- Windows and menu keys ------------------------------------------------------------------

int find_window_part(const EventRecord& event, int* window) {
  *window = 0;
  if (event.window == MENU_BAR_WINDOW) return IN_MENU_BAR;
  if (event.window <= 0) return IN_DESK;
  *window = event.window;
  if (event.what == EVENT_MOUSE_DOWN && (event.message == IN_GROW || event.message == IN_GO_AWAY))
    return int(event.message);
  if (event.what == EVENT_MOUSE_DOWN && input_in_grow_box(event.window, event.where))
    return IN_GROW;
  return IN_CONTENT;
}

int front_window() {
  if (test_front_window_on) return test_front_window;
  if (!input_window_system_usable()) return 0;
#ifdef VESK_HEADLESS
  return 0;
#else
  const QWidget* active = QApplication::activeWindow();
  const InputWindow* entry = active ? input_window_of(active) : nullptr;
  return entry ? entry->number : 0;
#endif
}

void platform_set_test_front_window(bool on, int number) {
  test_front_window_on = on;
  test_front_window = number;
}

void set_menu_key(uint8_t character, int16_t menu, int16_t item) {
  if (character >= 'a' && character <= 'z') character = uint8_t(character - 'a' + 'A');
  menu_keys[character] = menu ? int32_t((uint32_t(uint16_t(menu)) << 16) | uint16_t(item)) : 0;
}

void clear_menu_keys() {
  for (int32_t& key : menu_keys) key = 0;
}

int32_t menu_key_maps(uint8_t character) {
  if (character >= 'a' && character <= 'z') character = uint8_t(character - 'a' + 'A');
  return menu_keys[character];
}

// ---- Inside the platform layer ------------------------------------------------------------

int input_new_window_number() {
  static int next_number = 100;
  return next_number++;
}

void input_register_window(QWidget* window, QWidget* content, int number) {
  if (!window) return;
  ensure_input_filter();
  input_unregister_window(window);
  input_windows.push_back({window, content ? content : window, number});
#ifndef VESK_HEADLESS
  (content ? content : window)->setAttribute(Qt::WA_InputMethodEnabled);
#endif
}

QWidget* input_window_numbered(int number) {
  for (const InputWindow& entry : input_windows)
    if (entry.number == number && entry.window) return entry.window;
  return nullptr;
}

void input_unregister_window(QWidget* window) {
  std::erase_if(input_windows, [window](const InputWindow& entry) {
    return entry.window == window || entry.window.isNull();
  });
  input_admit_window(window, nullptr);
}

void input_admit_window(QWidget* modal, QWidget* admitted) {
  std::erase_if(admitted_windows,
                [modal](const Admitted& a) { return a.modal == modal || a.modal.isNull(); });
  if (modal && admitted) admitted_windows.push_back({modal, admitted});
}

bool input_wait_for_event(uint32_t mask, uint32_t timeout_ticks, EventRecord* event,
                          const std::function<bool()>& stop) {
  if (take_queued(mask, event)) return true;
  if (input_window_system_usable()) {
    ensure_input_filter();
    handle_window_system_input();
    if (take_queued(mask, event)) return true;
    if (timeout_ticks > 0 && !(stop && stop()) && !input_ticks_are_virtual()) {
      bool taken = false;
      wait_for_window_system(timeout_ticks, [&] {
        taken = take_queued(mask, event);
        return taken || (stop && stop());
      });
      if (taken) return true;
    }
  }
  set_null_event(event);
  return false;
}

#ifndef VESK_HEADLESS
bool input_run_dialog(QDialog* dialog) {
  bool done = false;
  const QMetaObject::Connection finished =
      QObject::connect(dialog, &QDialog::finished, [&done](int) { done = true; });
  dialog->setWindowModality(Qt::ApplicationModal);
  dialog->show();
  EventRecord ignored;
  while (!done) {
    input_wait_for_event(0, 6, &ignored, [&done] { return done || input_quit_requested(); });
    if (!done && input_quit_requested()) dialog->reject();
  }
  QObject::disconnect(finished);
  return dialog->result() == QDialog::Accepted;
}
#endif

void input_repaint_view(QObject* view) {
#ifndef VESK_HEADLESS
  if (auto* widget = qobject_cast<QWidget*>(view)) widget->update();
#else
  (void)view;  // without the toolkit's widgets no widget shows a port
#endif
}

bool input_quit_requested(bool handle_input) {
  if (handle_input && input_window_system_usable()) {
    ensure_input_filter();
    handle_window_system_input();
  }
  return std::any_of(queue.begin(), queue.end(),
                     [](const EventRecord& e) { return e.what == EVENT_QUIT; });
}

bool input_redeliver_key(const EventRecord& event) {
  if (event.what != EVENT_KEY_DOWN && event.what != EVENT_AUTO_KEY) return false;
  auto match = std::find_if(
      remembered_keys.begin(), remembered_keys.end(), [&event](const RememberedKey& k) {
        return k.record.what == event.what && k.record.message == event.message &&
               k.record.when == event.when && k.record.window == event.window;
      });
  if (match == remembered_keys.end()) return false;
  std::unique_ptr<QKeyEvent> key = std::move(match->key);
  QPointer<QWidget> window = match->window;
  remembered_keys.erase(remembered_keys.begin(), match + 1);
#ifdef VESK_HEADLESS
  return false;
#else
  QWidget* target = QApplication::focusWidget();
  if (!target || !window || target->window() != window) return false;
  redelivering = true;
  QCoreApplication::sendEvent(target, key.get());
  redelivering = false;
  return true;
#endif
}

void platform_post_quit_event() {
  QCoreApplication* app = QCoreApplication::instance();
  if (app && QThread::currentThread() != app->thread()) {
    QMetaObject::invokeMethod(
        app, [] { platform_post_quit_event(); }, Qt::QueuedConnection);
    return;
  }
  EventRecord quit;
  quit.what = EVENT_QUIT;
  platform_post_event(quit);
}

// The virtual clock moves only when told to, so moving it by a day and reading it back shows
// which clock runs; the move is undone at once (unsigned arithmetic wraps back exactly). The
// real clock ignores the move.
bool input_window_system_usable() { return QCoreApplication::instance() && !forked_copy; }

bool input_ticks_are_virtual() { return platform_ticks_virtual(); }
