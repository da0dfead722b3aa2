// window.cpp: document windows over Qt Widgets, the screen, the mouse and the beep.
//
// A document window is a main window whose central widget shows the window's port. The
// port's size is the content's size: the program sizes the port first and the window after
// it, so a resize whose new size is the port's is the program's own, and any other resize
// came from the window system and is queued as a grow (the program answers by sizing the
// window to the size it allows). Closing a window never closes it: it queues a click in its
// close box, and the program decides.
//
// Built without the toolkit's widgets (VESK_HEADLESS: the program that only prints, whose
// windows are kept off the screen), a window is its record and port alone: the widget side
// below does nothing.
#include "platform/window.h"

#include <algorithm>
#include <map>

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QSize>
#include <QStyleHints>
#include <QWidget>
#ifndef VESK_HEADLESS
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QEvent>
#include <QImage>
#include <QMainWindow>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QShowEvent>
#include <QString>
#include <QTimer>
#include <QWindow>
#endif

#include "platform/event_input.h"
#include "platform/port.h"
#include "platform/port_image.h"
#include "platform/ticks.h"

namespace {

constexpr int GROW_BOX = 15;  // the grow box's size at the content's bottom right

void post_window_event(int16_t what, int window, uint32_t message, Point where,
                       uint16_t modifiers) {
  EventRecord event;
  event.what = what;
  event.window = window;
  event.message = message;
  event.where = where;
  event.modifiers = modifiers;
  platform_post_event(event);
}

#ifndef VESK_HEADLESS
// The content of a document window: shows the port's pixels, white beyond them.
class ContentView : public QWidget {
 public:
  ContentView(Port* port, int number) : port_(port), number_(number) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(1, 1);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
    if (port_) painter.drawImage(QPoint(0, 0), port_shown_image(port_));
  }
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    const Rect bounds = port_bounds(port_);
    const QSize size = event->size();
    if (size.width() != bounds.width() || size.height() != bounds.height())
      post_window_event(EVENT_MOUSE_DOWN, number_, IN_GROW, {size.width(), size.height()}, 0);
  }

 private:
  Port* port_;
  int number_;
};

// A floating window shows its port itself: it is its own content. It belongs to the document
// window shown or brought forward last, which keeps it in front (and takes it along when
// minimised).
class FloatingView : public QWidget {
 public:
  FloatingView(Port* port)
      : QWidget(nullptr, Qt::Tool | Qt::WindowDoesNotAcceptFocus), port_(port) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
    if (const QImage* image = port_image(port_)) painter.drawImage(QPoint(0, 0), *image);
  }
  // The window stays as long as the program: the window system's close box does nothing.
  void closeEvent(QCloseEvent* event) override { event->ignore(); }

 private:
  Port* port_;
};

void float_over(int number);

class DocumentWindow : public QMainWindow {
 public:
  explicit DocumentWindow(int number) : number_(number) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    post_window_event(EVENT_MOUSE_DOWN, number_, IN_GO_AWAY, {}, platform_modifiers());
  }
  void changeEvent(QEvent* event) override {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange) return;
    // The floating windows go with the window the user brought forward.
    if (isActiveWindow()) float_over(number_);
    post_window_event(EVENT_ACTIVATE, number_, 0, {}, isActiveWindow() ? MOD_ACTIVE : 0);
  }
  void showEvent(QShowEvent* event) override {
    QMainWindow::showEvent(event);
    QWindow* handle = windowHandle();
    if (handle && handle != watched_) {
      handle->installEventFilter(this);
      watched_ = handle;
    }
  }
  // A window system raises the window the user clicks, over the floating windows too, also
  // when it is in front already (and so not activated again): they are brought up at once.
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == watched_ && event->type() == QEvent::MouseButtonPress) float_over(number_);
    return QMainWindow::eventFilter(watched, event);
  }

 private:
  int number_;
  QPointer<QWindow> watched_;
};
#endif

struct WindowRecord {
  QPointer<QWidget> window;
  QWidget* view = nullptr;
  Port* port = nullptr;
  std::string title;
  bool visible = false;
  bool needs_update = false;
  bool floating = false;
  QSize largest;  // the largest content the program lets the window system give, none when empty
};
std::map<int, WindowRecord> windows;

WindowRecord* record_of(int number) {
  auto it = windows.find(number);
  return it == windows.end() ? nullptr : &it->second;
}

bool windows_off_screen = false;  // windows are ports alone: the program only prints

// ---- The widget side --------------------------------------------------------------------------

#ifndef VESK_HEADLESS
// The window's size for a content size: the content plus whatever the window puts around it.
QSize window_size_for(const WindowRecord& r, int width, int height) {
  const auto* main = qobject_cast<const QMainWindow*>(r.window.data());
  const QWidget* top = main ? main->menuWidget() : nullptr;
  // The menu bar is part of every window from its making, shown or not yet.
  const int above = top ? top->sizeHint().height() : 0;
  return {width, height + above};
}

// A document window grows by the window system's frame no larger than its limits, nor than
// the content the program gave it.
void apply_largest(const WindowRecord& r) {
  if (!r.window || r.floating || r.largest.isEmpty()) return;
  const Rect port = port_bounds(r.port);
  r.window->setMaximumSize(window_size_for(r, std::max(r.largest.width(), port.width()),
                                           std::max(r.largest.height(), port.height())));
}

// The document window the floating windows belong to.
QPointer<QWindow> floating_parent;

// The floating windows belong to this document window from now on (a floating window shown
// joins the one they belong to).
void attach_floating_windows(const WindowRecord& shown) {
  if (!shown.window) return;
  if (!shown.floating) floating_parent = shown.window->windowHandle();
  if (!floating_parent) return;
  for (auto& [number, record] : windows) {
    QWindow* handle = record.window && record.floating ? record.window->windowHandle() : nullptr;
    if (handle && (!shown.floating || &record == &shown) &&
        handle->transientParent() != floating_parent) {
      handle->setTransientParent(floating_parent);
      // The window system learns a window's owner when the window is mapped: a floating window
      // shown already is mapped again, else it stays under the window it first belonged to.
      if (record.window->isVisible() && &record != &shown) {
        record.window->hide();
        record.window->show();
      }
    }
    // A window system may keep a shown floating window with the owner it was first shown with,
    // under the document window now in front: it is brought up with that window.
    if (handle && !shown.floating && record.window->isVisible()) record.window->raise();
  }
}

void float_over(int number) {
  if (WindowRecord* r = record_of(number)) attach_floating_windows(*r);
}

// A document window's widgets: the window, its menu bar and its content showing the port.
void make_document_widgets(WindowRecord& record, int number, Rect bounds) {
  auto* window = new DocumentWindow(number);
  record.window = window;
  record.view = new ContentView(record.port, number);
  port_set_view(record.port, record.view);
  window->setCentralWidget(record.view);
  input_attach_menu_bar(window);
  record.window->setWindowTitle(QString::fromStdString(record.title));
  record.window->move(bounds.left, bounds.top);
  record.window->resize(window_size_for(record, bounds.width(), bounds.height()));
  input_register_window(record.window, record.view, number);
}

// A floating window's widget, its own content.
void make_floating_widgets(WindowRecord& record, int number, Rect bounds) {
  auto* view = new FloatingView(record.port);
  record.window = view;
  record.view = view;
  port_set_view(record.port, view);
  view->setWindowTitle(QString::fromStdString(record.title));
  view->setFixedSize(bounds.width(), bounds.height());
  view->setGeometry(bounds.left, bounds.top, bounds.width(), bounds.height());
  input_register_window(view, view, number);
}

void title_widgets(const WindowRecord& r) {
  if (r.window) r.window->setWindowTitle(QString::fromStdString(r.title));
}

// How long a window system takes to frame a window shown, at most, as seen.
constexpr int FRAME_SETTLE_MS = 100;

// The window's whole frame, title bar included, moved onto the screen's free area where it
// reaches past it. A window system frames a window only once it is shown, and places a window
// asked for at a point with its frame's corner there: a window placed at the foot of the
// screen came out with its lower edge under the screen's.
void keep_frame_on_screen(QWidget* window) {
  if (!window || !window->isVisible()) return;
  QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect free = screen->availableGeometry(), frame = window->frameGeometry();
  const int x =
      std::clamp(frame.x(), free.left(), std::max(free.left(), free.right() + 1 - frame.width()));
  const int y =
      std::clamp(frame.y(), free.top(), std::max(free.top(), free.bottom() + 1 - frame.height()));
  if (x != frame.x() || y != frame.y()) window->move(x, y);
}

void show_widgets(const WindowRecord& r) {
  if (!r.window) return;
  const bool was_shown = r.window->isVisible();
  if (r.floating && !was_shown && floating_parent) {
    // Its owner set before it is mapped: a window system keeps it in front of that window only
    // when it knows the owner as it maps it.
    r.window->winId();
    if (QWindow* handle = r.window->windowHandle()) handle->setTransientParent(floating_parent);
  }
  r.window->show();
  r.window->raise();
  attach_floating_windows(r);
  if (was_shown) return;
  QPointer<QWidget> window = r.window;
  for (int wait : {FRAME_SETTLE_MS, 6 * FRAME_SETTLE_MS, 20 * FRAME_SETTLE_MS})
    QTimer::singleShot(wait, window, [window] { keep_frame_on_screen(window); });
}

void hide_widgets(const WindowRecord& r) {
  if (r.window) r.window->hide();
}

void select_widgets(const WindowRecord& r) {
  if (!r.window) return;
  r.window->raise();
  if (!r.floating) r.window->activateWindow();
  attach_floating_windows(r);
}

void size_widgets(const WindowRecord& r, int width, int height) {
  apply_largest(r);
  if (r.window && r.floating)
    r.window->setFixedSize(width, height);
  else if (r.window)
    r.window->resize(window_size_for(r, width, height));
}

// Where content of that size lies on the screen: at the content's widget.
Rect widget_bounds(const WindowRecord& r, Rect size) {
  if (!r.window) return size;
  const QPoint at = r.view->mapToGlobal(QPoint(0, 0));
  return offset_rect(size, at.x(), at.y());
}

void move_widgets(const WindowRecord& r, int left, int top) {
  if (!r.window) return;
  // The geometry of a window is its client area's (the frame lies around it); the content may
  // lie below a menu bar within it.
  const QPoint content = r.view->mapTo(r.window, QPoint(0, 0));
  r.window->setGeometry(left - content.x(), top - content.y(), r.window->width(),
                        r.window->height());
}

Point widget_mouse_position(const WindowRecord& r) {
  if (!r.view) return {-1, -1};
  const QPoint at = r.view->mapFromGlobal(QCursor::pos());
  return {at.x(), at.y()};
}
#else
void apply_largest(const WindowRecord&) {}
void make_document_widgets(WindowRecord&, int, Rect) {}
void make_floating_widgets(WindowRecord&, int, Rect) {}
void title_widgets(const WindowRecord&) {}
void show_widgets(const WindowRecord&) {}
void hide_widgets(const WindowRecord&) {}
void select_widgets(const WindowRecord&) {}
void size_widgets(const WindowRecord&, int, int) {}
Rect widget_bounds(const WindowRecord&, Rect size) { return size; }
void move_widgets(const WindowRecord&, int, int) {}
Point widget_mouse_position(const WindowRecord&) { return {-1, -1}; }
#endif

bool screen_on_test = false;
Rect test_screen;
bool mouse_on_test = false;
Point test_mouse;

}  // namespace

// ---- Windows ---------------------------------------------------------------------------------

bool input_window_widgets_usable() {
#ifdef VESK_HEADLESS
  return false;
#else
  return !windows_off_screen && qobject_cast<QApplication*>(QCoreApplication::instance()) &&
         input_window_system_usable();
#endif
}

void platform_keep_windows_off_screen(bool keep) { windows_off_screen = keep; }

bool platform_windows_kept_off_screen() { return windows_off_screen; }

namespace {

// A new window: its port, its title and, where the window system's widgets are used, its
// widgets, a document window's or a floating one's; shown when `visible`. 0 when the bounds are
// empty or the port cannot be made.
int new_window(const std::string& title, Rect bounds, bool visible, bool floating) {
  if (bounds.empty()) return 0;
  const int number = input_new_window_number();
  WindowRecord record;
  record.port = port_new_offscreen(bounds.width(), bounds.height());
  if (!record.port) return 0;
  record.title = title;
  record.floating = floating;
  if (input_window_widgets_usable())
    (floating ? make_floating_widgets : make_document_widgets)(record, number, bounds);
  windows[number] = record;
  if (visible) platform_show_window(number);
  return number;
}

}  // namespace

int platform_new_window(const std::string& title, Rect bounds, bool visible) {
  return new_window(title, bounds, visible, false);
}

int platform_new_floating_window(const std::string& title, Rect bounds, bool visible) {
  return new_window(title, bounds, visible, true);
}

void platform_dispose_window(int window) {
  WindowRecord* r = record_of(window);
  if (!r) return;
  if (r->window) {
    input_unregister_window(r->window);
    delete r->window.data();
  }
  if (platform_current_port() == r->port) platform_set_port(nullptr);
  port_dispose(r->port);
  windows.erase(window);
}

Port* platform_window_port(int window) {
  WindowRecord* r = record_of(window);
  return r ? r->port : nullptr;
}

int platform_window_of_port(const Port* port) {
  if (!port) return 0;
  for (const auto& [number, record] : windows)
    if (record.port == port) return number;
  return 0;
}

void platform_set_window_title(int window, const std::string& title) {
  WindowRecord* r = record_of(window);
  if (!r) return;
  r->title = title;
  title_widgets(*r);
}

std::string platform_window_title(int window) {
  WindowRecord* r = record_of(window);
  return r ? r->title : std::string();
}

void platform_show_window(int window) {
  WindowRecord* r = record_of(window);
  if (!r) return;
  const bool was_visible = r->visible;
  r->visible = true;
  show_widgets(*r);
  if (!was_visible) platform_invalidate_window(window, port_bounds(r->port));
}

void platform_hide_window(int window) {
  WindowRecord* r = record_of(window);
  if (!r) return;
  r->visible = false;
  hide_widgets(*r);
}

bool platform_window_visible(int window) {
  WindowRecord* r = record_of(window);
  return r && r->visible;
}

void platform_select_window(int window) {
  WindowRecord* r = record_of(window);
  if (r) select_widgets(*r);
}

void platform_size_window(int window, int width, int height, bool update) {
  WindowRecord* r = record_of(window);
  if (!r || width <= 0 || height <= 0) return;
  const Rect old = port_bounds(r->port);
  // A size the port has already is left alone: a window system that insists on a size the
  // program does not take then stops asking, instead of the two resizing each other for ever.
  if (old.width() == width && old.height() == height) return;
  port_set_size(r->port, width, height);
  size_widgets(*r, width, height);
  if (update && (width > old.width() || height > old.height()))
    platform_invalidate_window(window, port_bounds(r->port));
}

Rect platform_window_bounds(int window) {
  WindowRecord* r = record_of(window);
  if (!r) return {};
  return widget_bounds(*r, port_bounds(r->port));
}

void platform_move_window(int window, int left, int top) {
  WindowRecord* r = record_of(window);
  if (r) move_widgets(*r, left, top);
}

bool platform_drag_window(int window, const EventRecord& event, Rect limits, Point* top_left) {
  WindowRecord* r = record_of(window);
  if (!r) return false;
  const Rect start = platform_window_bounds(window);
  const Point grip{start.left + event.where.x, start.top + event.where.y};
  Point where = event.where, at{start.left, start.top};
  for (;;) {
    // The mouse's position is read in the window as it stands, moved or not.
    const bool held = platform_track_mouse(window, &where);
    const Rect now = platform_window_bounds(window);
    const Point mouse{now.left + where.x, now.top + where.y};
    at = {std::clamp(start.left + mouse.x - grip.x, limits.left,
                     std::max(limits.left, limits.right - start.width())),
          std::clamp(start.top + mouse.y - grip.y, limits.top,
                     std::max(limits.top, limits.bottom - start.height()))};
    if (at.x != now.left || at.y != now.top) platform_move_window(window, at.x, at.y);
    if (!held) break;
  }
  *top_left = at;
  return at.x != start.left || at.y != start.top;
}

// ---- Drawing and updates ----------------------------------------------------------------

void platform_window_changed(int window) {
  WindowRecord* r = record_of(window);
  if (r && r->view) input_repaint_view(r->view);
}

void platform_invalidate_window(int window, Rect rect) {
  WindowRecord* r = record_of(window);
  if (!r || rect.empty() || r->needs_update) return;
  r->needs_update = true;
  post_window_event(EVENT_UPDATE, window, 0, {}, 0);
}

bool platform_window_needs_update(int window) {
  WindowRecord* r = record_of(window);
  return r && r->needs_update;
}

void platform_begin_window_update(int) {}

void platform_end_window_update(int window) {
  WindowRecord* r = record_of(window);
  if (!r) return;
  r->needs_update = false;
  platform_window_changed(window);
}

// ---- Growing -----------------------------------------------------------------------------

bool platform_grow_window(const EventRecord& event, Rect limits, int* width, int* height) {
  WindowRecord* r = record_of(event.window);
  if (!r) return false;
  const Rect now = port_bounds(r->port);
  int w, h;
  if (event.message == IN_GROW) {
    w = event.where.x;
    h = event.where.y;
  } else {
    Point mouse = event.where;
    while (platform_track_mouse(event.window, &mouse)) {
    }
    w = now.width() + mouse.x - event.where.x;
    h = now.height() + mouse.y - event.where.y;
  }
  w = std::clamp(w, limits.left, std::max(limits.left, limits.right));
  h = std::clamp(h, limits.top, std::max(limits.top, limits.bottom));
  *width = w;
  *height = h;
  return w != now.width() || h != now.height();
}

void platform_set_window_limits(int window, Rect limits) {
  WindowRecord* r = record_of(window);
  if (!r) return;
  r->largest = QSize(limits.right, limits.bottom);
  apply_largest(*r);
}

bool input_in_grow_box(int window, Point where) {
  WindowRecord* r = record_of(window);
  if (!r) return false;
  const Rect b = port_bounds(r->port);
  return where.x >= b.right - GROW_BOX && where.x < b.right && where.y >= b.bottom - GROW_BOX &&
         where.y < b.bottom;
}

// ---- The screen and the mouse ------------------------------------------------------------

Rect platform_screen_bounds() {
  if (screen_on_test) return test_screen;
  if (!qGuiApp || !QGuiApplication::primaryScreen()) return {0, 0, 1024, 768};
  const QRect g = QGuiApplication::primaryScreen()->availableGeometry();
  return {g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
}

void platform_set_test_screen(bool on, Rect bounds) {
  screen_on_test = on;
  test_screen = bounds;
}

Point platform_mouse_position(int window) {
  if (mouse_on_test) return test_mouse;
  WindowRecord* r = record_of(window);
  return r ? widget_mouse_position(*r) : Point{-1, -1};
}

void platform_set_test_mouse(bool on, Point where) {
  mouse_on_test = on;
  test_mouse = where;
}

bool platform_track_mouse(int window, Point* where) {
  EventRecord up;
  if (peek_event(event_mask_of(EVENT_MOUSE_UP), &up)) {
    platform_get_event(event_mask_of(EVENT_MOUSE_UP), 0, &up);
    if (up.window == window) *where = up.where;
    return false;
  }
  if (platform_modifiers() & MOD_BUTTON_UP) return false;
  *where = platform_mouse_position(window);
  return true;
}

uint32_t platform_double_click_ticks() {
  const int ms = qGuiApp ? QGuiApplication::styleHints()->mouseDoubleClickInterval() : 500;
  return uint32_t(std::max(1, ms * 60 / 1000));
}

uint32_t platform_caret_ticks() {
  const int ms = qGuiApp ? QGuiApplication::styleHints()->cursorFlashTime() / 2 : 500;
  return uint32_t(std::max(1, ms * 60 / 1000));
}
