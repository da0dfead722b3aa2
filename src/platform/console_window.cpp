// console_window.cpp: the console window over Qt Widgets: a read-only styled text view for the
// log, the input row, the menu buttons, the info fields and the mark buttons; the help window;
// the log file dialog; and the thread-safe posting of console messages.
//
// Posting: every console window has a small receiver object on the main thread. A message
// posted from any thread travels as a Qt event to that receiver (Qt's event posting is
// thread-safe and never waits for the main thread) and is handed to the console when the
// main thread handles window-system events. A message still queued when the window goes away
// is handed back through the discard callback, so nothing leaks.
//
// The text view keeps the log in a QTextDocument. Appended output is inserted with the
// document's undo switched off, which also empties the undo stack: appended text can never be
// undone, and undo only ever takes back the console's own edits (marks, clearing, loading).
// Styles are set per insertion; the font and size are the document's default and so apply to
// the whole text at once.
//
// Menu buttons do not carry out their commands: a choice queues a menu event (menu id and
// item, with the window's number) for the program's own dispatch, like the menu bar's.
//
// Built without the toolkit's widgets (VESK_HEADLESS: the program that only prints, which has
// no console), no console or help window can be made; a script still answers the log file
// dialog.
#include "platform/console_window.h"

#include <algorithm>
#include <map>
#include <utility>

#ifndef VESK_HEADLESS
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QColor>
#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QFont>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QRgba64>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QString>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextFragment>
#include <QTextOption>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidget>
#endif

#include "platform/application.h"
#include "platform/event_input.h"
#include "platform/events.h"
#include "platform/fonts.h"
#include "platform/script.h"
#include "platform/script_answers.h"

namespace {

constexpr int CANCELLED = -128;

#ifndef VESK_HEADLESS
constexpr int NOT_ALIVE = -9861;

// ---- Posted messages --------------------------------------------------------------------------

QEvent::Type message_event_type() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

class MessageEvent : public QEvent {
 public:
  MessageEvent(uint32_t kind, void* message, void (*discard)(void*))
      : QEvent(message_event_type()), kind_(kind), message_(message), discard_(discard) {}
  ~MessageEvent() override {
    if (message_ && discard_) discard_(message_);
  }
  uint32_t kind() const { return kind_; }
  void* take() { return std::exchange(message_, nullptr); }

 private:
  uint32_t kind_;
  void* message_;
  void (*discard_)(void*);
};

class Receiver : public QObject {
 public:
  explicit Receiver(const ConsoleWindowCallbacks* callbacks) : callbacks_(callbacks) {}

 protected:
  void customEvent(QEvent* event) override {
    if (event->type() != message_event_type()) return;
    auto* posted = static_cast<MessageEvent*>(event);
    void* message = posted->take();
    if (callbacks_->message) {
      callbacks_->message(callbacks_->context, posted->kind(), message);
    } else if (callbacks_->discard_message) {
      callbacks_->discard_message(message);
    }
  }

 private:
  const ConsoleWindowCallbacks* callbacks_;
};

// ---- Styles -------------------------------------------------------------------------------------

QTextCharFormat format_of(const ConsoleTextStyle& style) {
  QTextCharFormat format;
  format.setFontWeight((style.face & 1) ? QFont::Bold : QFont::Normal);
  format.setFontItalic((style.face & 2) != 0);
  format.setFontUnderline((style.face & 4) != 0);
  int stretch = QFont::Unstretched;
  if (style.face & 0x20) stretch = QFont::Condensed;
  if (style.face & 0x40) stretch = QFont::Expanded;
  format.setFontStretch(stretch);
  format.setForeground(QColor::fromRgba64(
      QRgba64::fromRgba64(style.colour.red, style.colour.green, style.colour.blue, 0xFFFF)));
  return format;
}

ConsoleTextStyle style_of(const QTextCharFormat& format) {
  ConsoleTextStyle style;
  if (format.fontWeight() >= QFont::Bold) style.face |= 1;
  if (format.fontItalic()) style.face |= 2;
  if (format.fontUnderline()) style.face |= 4;
  const int stretch = format.fontStretch();
  if (stretch != 0 && stretch < QFont::Unstretched) style.face |= 0x20;
  if (stretch > QFont::Unstretched) style.face |= 0x40;
  if (format.hasProperty(QTextFormat::ForegroundBrush)) {
    const QRgba64 c = format.foreground().color().rgba64();
    style.colour = {c.red(), c.green(), c.blue()};
  }
  return style;
}

QString qstring_of(const std::u16string& text) {
  return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

std::u16string u16_of(const QString& text) {
  std::u16string out(reinterpret_cast<const char16_t*>(text.utf16()),
                     static_cast<size_t>(text.size()));
  for (char16_t& c : out)
    if (c == 0x2029 || c == 0x2028) c = u'\n';
  return out;
}

}  // namespace

// ---- The window ---------------------------------------------------------------------------------

class ConsoleWidget;

struct ConsoleWindow {
  ConsoleWindowCallbacks callbacks;
  QPointer<ConsoleWidget> widget;
  Receiver* receiver = nullptr;
  QTextEdit* output = nullptr;
  QLineEdit* input = nullptr;
  QPushButton* return_button = nullptr;
  QPushButton* help_button = nullptr;
  QPushButton* mark_back = nullptr;
  QPushButton* mark_forward = nullptr;
  QToolButton* file_button = nullptr;
  QToolButton* send_button = nullptr;
  std::vector<QAction*> file_actions;  // by item - 1; separators are null
  std::vector<QAction*> send_actions;
  QLabel* info[3] = {};
  QScrollBar* hscroll = nullptr;
  int number = 0;
  int16_t file_menu_id = 0, send_menu_id = 0;
  ConsoleWindowClass kind = CONSOLE_DOCUMENT_WINDOW;
  bool close_box = true;
  bool hide_on_suspend = false;
  bool hidden_for_suspend = false;
  std::string font_family = "Monaco";
  int font_size = 10;
  int tab_width = 24;
  bool setting_hscroll = false;
};

class ConsoleWidget : public QWidget {
 public:
  explicit ConsoleWidget(ConsoleWindow* owner) : owner_(owner) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    // The console may ask to save before quitting: let it do so from the main loop, not from
    // inside the window system's handling of the click.
    ConsoleWindow* owner = owner_;
    QTimer::singleShot(0, owner->receiver, [owner] {
      if (owner->callbacks.window_event)
        owner->callbacks.window_event(owner->callbacks.context, CONSOLE_WINDOW_CLOSE);
    });
  }
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    if (owner_->callbacks.window_event)
      owner_->callbacks.window_event(owner_->callbacks.context, CONSOLE_BOUNDS_CHANGED);
  }
  void changeEvent(QEvent* event) override {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() &&
        owner_->callbacks.window_event)
      owner_->callbacks.window_event(owner_->callbacks.context, CONSOLE_SELECT_WINDOW);
  }

 private:
  ConsoleWindow* owner_;
};

namespace {

// Keys typed into the output view go to the input field when the console says so.
class OutputKeys : public QObject {
 public:
  explicit OutputKeys(ConsoleWindow* owner) : owner_(owner) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->text().isEmpty() || (key->modifiers() & Qt::ControlModifier)) return false;
    if (!owner_->callbacks.key_to_input ||
        !owner_->callbacks.key_to_input(owner_->callbacks.context))
      return false;
    owner_->input->setFocus();
    QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text(), key->isAutoRepeat(),
                   static_cast<ushort>(key->count()));
    QCoreApplication::sendEvent(owner_->input, &copy);
    return true;
  }

 private:
  ConsoleWindow* owner_;
};

void post_menu_event(const ConsoleWindow* window, int16_t menu, int item) {
  EventRecord event;
  event.what = EVENT_MENU;
  event.message = (uint32_t(uint16_t(menu)) << 16) | uint16_t(item);
  event.window = window->number;
  platform_post_event(event);
}

QToolButton* menu_button(ConsoleWindow* window, const char* title,
                         const std::vector<std::string>& items, int16_t menu_id,
                         std::vector<QAction*>* actions) {
  auto* button = new QToolButton();
  button->setText(QString::fromUtf8(title));
  button->setPopupMode(QToolButton::InstantPopup);
  auto* menu = new QMenu(button);
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i] == "-") {
      menu->addSeparator();
      actions->push_back(nullptr);
      continue;
    }
    QAction* action = menu->addAction(QString::fromUtf8(items[i].c_str()));
    const int item = static_cast<int>(i) + 1;
    QObject::connect(action, &QAction::triggered,
                     [window, menu_id, item] { post_menu_event(window, menu_id, item); });
    actions->push_back(action);
  }
  button->setMenu(menu);
  return button;
}

QPushButton* push_button(ConsoleWindow* window, const char* title, ConsoleControl control) {
  auto* button = new QPushButton(QString::fromUtf8(title));
  button->setAutoDefault(false);
  QObject::connect(button, &QPushButton::clicked, [window, control] {
    if (window->callbacks.control_hit)
      window->callbacks.control_hit(window->callbacks.context, control);
  });
  return button;
}

void apply_window_flags(ConsoleWindow* window) {
  ConsoleWidget* widget = window->widget;
  const bool shown = widget->isVisible();
  // A floating console is an ordinary top-level window too: the desktop's task bar and window
  // list leave tool windows out, and the console must be found there.
  Qt::WindowFlags flags = Qt::Window;
  flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint;
  if (window->close_box) flags |= Qt::WindowCloseButtonHint;
  widget->setWindowFlags(flags);
  if (shown) widget->show();
}

void build_widgets(ConsoleWindow* window, const ConsoleWindowSpec& spec) {
  ConsoleWidget* widget = window->widget;
  auto* layout = new QVBoxLayout(widget);
  layout->setContentsMargins(6, 6, 6, 6);
  layout->setSpacing(4);

  // The info fields: the left and right ones share the row half and half; the middle one
  // lies over the whole row, centred.
  auto* info_row = new QGridLayout();
  info_row->setContentsMargins(0, 0, 0, 0);
  for (int i = 0; i < 3; ++i) window->info[i] = new QLabel();
  window->info[0]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  window->info[1]->setAlignment(Qt::AlignCenter);
  window->info[2]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  info_row->addWidget(window->info[0], 0, 0);
  info_row->addWidget(window->info[2], 0, 1);
  info_row->addWidget(window->info[1], 0, 0, 1, 2);
  info_row->setColumnStretch(0, 1);
  info_row->setColumnStretch(1, 1);
  layout->addLayout(info_row);

  window->output = new QTextEdit();
  window->output->setReadOnly(true);
  window->output->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  window->output->setUndoRedoEnabled(true);
  window->output->setFrameShape(QFrame::StyledPanel);
  window->output->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  window->output->setLineWrapMode(QTextEdit::NoWrap);
  auto* keys = new OutputKeys(window);
  keys->setParent(window->output);
  window->output->installEventFilter(keys);
  layout->addWidget(window->output, 1);

  window->hscroll = new QScrollBar(Qt::Horizontal);
  window->hscroll->setSingleStep(24);
  window->hscroll->setPageStep(256);
  window->hscroll->setRange(0, 4000);
  QObject::connect(window->hscroll, &QScrollBar::valueChanged, [window](int value) {
    if (!window->setting_hscroll && window->callbacks.hscroll_moved)
      window->callbacks.hscroll_moved(window->callbacks.context, value);
  });
  layout->addWidget(window->hscroll);
  auto report_scroll = [window] {
    if (window->callbacks.scrolled) window->callbacks.scrolled(window->callbacks.context);
  };
  QObject::connect(window->output->horizontalScrollBar(), &QScrollBar::valueChanged, report_scroll);
  QObject::connect(window->output->horizontalScrollBar(), &QScrollBar::rangeChanged, report_scroll);

  auto* bottom = new QHBoxLayout();
  bottom->setContentsMargins(0, 0, 0, 0);
  window->file_button =
      menu_button(window, "File", spec.file_menu, spec.file_menu_id, &window->file_actions);
  window->send_button =
      menu_button(window, "Send", spec.send_menu, spec.send_menu_id, &window->send_actions);
  window->mark_back = push_button(window, "\u25C0", CONSOLE_MARK_BACK);
  window->mark_forward = push_button(window, "\u25B6", CONSOLE_MARK_FORWARD);
  window->input = new QLineEdit();
  QObject::connect(window->input, &QLineEdit::returnPressed, [window] {
    if (window->callbacks.control_hit)
      window->callbacks.control_hit(window->callbacks.context, CONSOLE_RETURN_BUTTON);
  });
  window->return_button = push_button(window, "Return", CONSOLE_RETURN_BUTTON);
  window->help_button = push_button(window, "?", CONSOLE_HELP_BUTTON);
  for (QWidget* w : {window->mark_back, window->mark_forward, window->help_button})
    w->setFixedWidth(32);
  bottom->addWidget(window->file_button);
  bottom->addWidget(window->send_button);
  bottom->addWidget(window->mark_back);
  bottom->addWidget(window->mark_forward);
  bottom->addWidget(window->input, 1);
  bottom->addWidget(window->return_button);
  bottom->addStretch(0);
  bottom->addWidget(window->help_button);
  layout->addLayout(bottom);
  window->mark_back->hide();
  window->mark_forward->hide();
}

QWidget* control_widget(const ConsoleWindow* window, ConsoleControl control) {
  switch (control) {
    case CONSOLE_OUTPUT_VIEW:
      return window->output;
    case CONSOLE_INPUT_FIELD:
      return window->input;
    case CONSOLE_RETURN_BUTTON:
      return window->return_button;
    case CONSOLE_FILE_MENU:
      return window->file_button;
    case CONSOLE_SEND_MENU:
      return window->send_button;
    case CONSOLE_HELP_BUTTON:
      return window->help_button;
    case CONSOLE_MARK_BACK:
      return window->mark_back;
    case CONSOLE_MARK_FORWARD:
      return window->mark_forward;
    case CONSOLE_INFO_LEFT:
      return window->info[0];
    case CONSOLE_INFO_MIDDLE:
      return window->info[1];
    case CONSOLE_INFO_RIGHT:
      return window->info[2];
    case CONSOLE_HSCROLL:
      return window->hscroll;
    default:
      return nullptr;
  }
}

QTextDocument* document_of(const ConsoleWindow* window) { return window->output->document(); }

int32_t clamp_offset(const ConsoleWindow* window, int32_t offset) {
  return std::clamp(offset, 0, console_view_length(window));
}

bool at_last_line(const ConsoleWindow* window) {
  const QScrollBar* bar = window->output->verticalScrollBar();
  return bar->value() >= bar->maximum();
}

}  // namespace

ConsoleWindow* console_window_create(const ConsoleWindowSpec& spec,
                                     const ConsoleWindowCallbacks& callbacks) {
  if (!input_window_system_usable() || !qobject_cast<QApplication*>(QCoreApplication::instance()))
    return nullptr;
  platform_init_fonts();
  auto* window = new ConsoleWindow;
  window->callbacks = callbacks;
  window->receiver = new Receiver(&window->callbacks);
  window->number = input_new_window_number();
  window->file_menu_id = spec.file_menu_id;
  window->send_menu_id = spec.send_menu_id;
  window->widget = new ConsoleWidget(window);
  window->widget->setObjectName(QStringLiteral("CarbonConsoleWindow"));
  console_window_set_title(window, spec.title);
  build_widgets(window, spec);
  apply_window_flags(window);
  window->widget->resize(640, 420);
  console_view_set_font(window, window->font_family, window->font_size, window->tab_width);
  // Hiding while the program is in the background, when asked to.
  QObject::connect(qApp, &QGuiApplication::applicationStateChanged, window->receiver,
                   [window](Qt::ApplicationState state) {
                     if (!window->hide_on_suspend || !window->widget) return;
                     if (state != Qt::ApplicationActive && window->widget->isVisible()) {
                       window->hidden_for_suspend = true;
                       window->widget->hide();
                     } else if (state == Qt::ApplicationActive && window->hidden_for_suspend) {
                       window->hidden_for_suspend = false;
                       window->widget->show();
                     }
                   });
  return window;
}

void console_window_dispose(ConsoleWindow* window) {
  if (!window) return;
  // Messages still queued for the receiver are discarded with it.
  delete window->receiver;
  delete window->widget.data();
  delete window;
}

int console_window_number(const ConsoleWindow* window) { return window ? window->number : 0; }

void console_window_set_kind(ConsoleWindow* window, ConsoleWindowClass kind, bool close_box,
                             bool hide_on_suspend) {
  window->kind = kind;
  window->close_box = close_box;
  window->hide_on_suspend = hide_on_suspend;
  apply_window_flags(window);
}

ConsoleWindowClass console_window_kind(const ConsoleWindow* window) { return window->kind; }

void console_window_set_title(ConsoleWindow* window, const std::string& title) {
  // "[*]" is where the changed mark shows.
  window->widget->setWindowTitle(QString::fromUtf8(title.c_str()) + QStringLiteral("[*]"));
}

std::string console_window_title(const ConsoleWindow* window) {
  QString title = window->widget->windowTitle();
  title.remove(QStringLiteral("[*]"));
  return title.toStdString();
}

void console_window_set_modified(ConsoleWindow* window, bool modified) {
  window->widget->setWindowModified(modified);
}

bool console_window_modified(const ConsoleWindow* window) {
  return window->widget->isWindowModified();
}

namespace {

// How long a window system takes to frame a window shown, at most, as seen.
constexpr int FRAME_SETTLE_MS = 100;

// A window system frames a window only once it is shown: its whole frame is kept on the screen
// when the frame is known (the console once opened half below the screen's foot).
void keep_on_screen_once_framed(ConsoleWindow* window) {
  console_window_keep_on_screen(window);
  QTimer::singleShot(FRAME_SETTLE_MS, window->widget,
                     [window] { console_window_keep_on_screen(window); });
}

}  // namespace

void console_window_show(ConsoleWindow* window, bool activate) {
  window->hidden_for_suspend = false;
  if (!activate) {
    if (!window->widget->isVisible()) {
      window->widget->setAttribute(Qt::WA_ShowWithoutActivating, true);
      window->widget->show();
      window->widget->setAttribute(Qt::WA_ShowWithoutActivating, false);
      keep_on_screen_once_framed(window);
    }
    return;
  }
  window->widget->show();
  window->widget->raise();
  window->widget->activateWindow();
  keep_on_screen_once_framed(window);
}

void console_window_hide(ConsoleWindow* window) {
  window->hidden_for_suspend = false;
  window->widget->hide();
}

bool console_window_visible(const ConsoleWindow* window) { return window->widget->isVisible(); }

void console_window_keep_on_screen(ConsoleWindow* window) {
  QScreen* screen = window->widget->screen();
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (!screen) return;
  QRect bounds = screen->availableGeometry();
  const QRect frame = window->widget->frameGeometry();
  bounds.setLeft(std::max(bounds.left(), bounds.right() - frame.width() - 128));
  const int x =
      std::clamp(frame.x(), bounds.left(), std::max(bounds.left(), bounds.right() - frame.width()));
  const int y =
      std::clamp(frame.y(), bounds.top(), std::max(bounds.top(), bounds.bottom() - frame.height()));
  window->widget->move(x, y);
}

bool console_window_save_png(ConsoleWindow* window, const char* path) {
  return window->widget->grab().save(QString::fromUtf8(path), "PNG");
}

int console_window_post(ConsoleWindow* window, uint32_t event_kind, void* message) {
  if (!window || !window->receiver || !QCoreApplication::instance()) return NOT_ALIVE;
  QCoreApplication::postEvent(
      window->receiver, new MessageEvent(event_kind, message, window->callbacks.discard_message));
  return 0;
}

// ---- Controls
// -------------------------------------------------------------------------------------

void console_control_show(ConsoleWindow* window, ConsoleControl control, bool shown) {
  if (QWidget* w = control_widget(window, control)) w->setVisible(shown);
}

bool console_control_shown(const ConsoleWindow* window, ConsoleControl control) {
  const QWidget* w = control_widget(window, control);
  return w && !w->isHidden();
}

void console_control_set_title(ConsoleWindow* window, ConsoleControl control,
                               const std::string& title) {
  QWidget* w = control_widget(window, control);
  if (auto* button = qobject_cast<QAbstractButton*>(w))
    button->setText(QString::fromUtf8(title.c_str()));
}

std::string console_control_title(const ConsoleWindow* window, ConsoleControl control) {
  const auto* button = qobject_cast<const QAbstractButton*>(control_widget(window, control));
  return button ? button->text().toStdString() : std::string();
}

void console_control_set_text(ConsoleWindow* window, ConsoleControl control,
                              const std::string& text) {
  QWidget* w = control_widget(window, control);
  if (auto* line = qobject_cast<QLineEdit*>(w)) line->setText(QString::fromUtf8(text.c_str()));
  if (auto* label = qobject_cast<QLabel*>(w)) label->setText(QString::fromUtf8(text.c_str()));
}

std::string console_control_text(const ConsoleWindow* window, ConsoleControl control) {
  const QWidget* w = control_widget(window, control);
  if (const auto* line = qobject_cast<const QLineEdit*>(w)) return line->text().toStdString();
  if (const auto* label = qobject_cast<const QLabel*>(w)) return label->text().toStdString();
  return {};
}

void console_control_focus(ConsoleWindow* window, ConsoleControl control) {
  if (QWidget* w = control_widget(window, control)) {
    window->widget->activateWindow();
    w->setFocus();
  }
}

void console_hscroll_set(ConsoleWindow* window, int value, int maximum) {
  window->setting_hscroll = true;
  window->hscroll->setRange(0, std::max(0, maximum));
  window->hscroll->setValue(value);
  window->setting_hscroll = false;
}

int console_hscroll_maximum(const ConsoleWindow* window) { return window->hscroll->maximum(); }

void console_menu_choose(ConsoleWindow* window, ConsoleControl menu, int item) {
  const std::vector<QAction*>& actions =
      menu == CONSOLE_FILE_MENU ? window->file_actions : window->send_actions;
  if (item >= 1 && item <= static_cast<int>(actions.size()) && actions[item - 1])
    actions[item - 1]->trigger();
}

// ---- The output view
// --------------------------------------------------------------------------------

int32_t console_view_length(const ConsoleWindow* window) {
  return static_cast<int32_t>(document_of(window)->characterCount() - 1);
}

void console_view_insert(ConsoleWindow* window, int32_t offset,
                         const std::vector<ConsoleStyledRun>& runs, bool undoable) {
  QTextDocument* document = document_of(window);
  const bool follow = at_last_line(window);
  // The text view follows its caret, which output at the end carries along: a line that does
  // not end yet would scroll the view sideways. Only the user scrolls sideways.
  QScrollBar* horizontal = window->output->horizontalScrollBar();
  const int across = horizontal->value();
  if (!undoable) document->setUndoRedoEnabled(false);
  QTextCursor cursor(document);
  cursor.setPosition(clamp_offset(window, offset));
  cursor.beginEditBlock();
  for (const ConsoleStyledRun& run : runs)
    cursor.insertText(qstring_of(run.text), format_of(run.style));
  cursor.endEditBlock();
  if (!undoable) document->setUndoRedoEnabled(true);
  if (follow) {
    QScrollBar* bar = window->output->verticalScrollBar();
    bar->setValue(bar->maximum());
  }
  horizontal->setValue(across);
}

bool console_view_delete_all(ConsoleWindow* window) {
  if (console_view_length(window) == 0) return false;
  QTextCursor cursor(document_of(window));
  cursor.select(QTextCursor::Document);
  cursor.beginEditBlock();
  cursor.removeSelectedText();
  cursor.setCharFormat(QTextCharFormat());
  cursor.endEditBlock();
  return true;
}

bool console_view_can_undo(const ConsoleWindow* window) {
  return document_of(window)->isUndoAvailable();
}

void console_view_undo(ConsoleWindow* window) { document_of(window)->undo(); }

void console_view_clear_undo(ConsoleWindow* window) { document_of(window)->clearUndoRedoStacks(); }

std::u16string console_view_text(const ConsoleWindow* window, int32_t start, int32_t end) {
  QTextCursor cursor(document_of(window));
  cursor.setPosition(clamp_offset(window, start));
  cursor.setPosition(clamp_offset(window, end), QTextCursor::KeepAnchor);
  return u16_of(cursor.selectedText());
}

std::vector<ConsoleStyledRun> console_view_runs(const ConsoleWindow* window, int32_t start,
                                                int32_t end) {
  std::vector<ConsoleStyledRun> runs;
  start = clamp_offset(window, start);
  end = clamp_offset(window, end);
  auto add = [&runs](const std::u16string& text, const ConsoleTextStyle& style) {
    if (text.empty()) return;
    if (!runs.empty() && runs.back().style == style) {
      runs.back().text += text;
    } else {
      runs.push_back({text, style});
    }
  };
  for (QTextBlock block = document_of(window)->findBlock(start);
       block.isValid() && block.position() < end; block = block.next()) {
    ConsoleTextStyle last = style_of(block.charFormat());
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      const int from = std::max<int>(start, fragment.position());
      const int to = std::min<int>(end, fragment.position() + fragment.length());
      last = style_of(fragment.charFormat());
      if (from < to) add(u16_of(fragment.text().mid(from - fragment.position(), to - from)), last);
    }
    const int separator = block.position() + block.length() - 1;
    if (block.next().isValid() && separator >= start && separator < end) add(u"\n", last);
  }
  return runs;
}

void console_view_set_font(ConsoleWindow* window, const std::string& family, int size,
                           int tab_width) {
  window->font_family = family;
  window->font_size = size;
  window->tab_width = tab_width;
  QFont font(QString::fromUtf8(family.c_str()));
  font.setPointSize(size);
  font.setStyleHint(QFont::TypeWriter);
  document_of(window)->setDefaultFont(font);
  // Sizes are points and the tab width is in pixels of 72 to the inch, as the font's size:
  // tabs keep their width in characters on any screen.
  window->output->setTabStopDistance(tab_width * window->output->logicalDpiX() / 72.0);
}

std::string console_view_font_family(const ConsoleWindow* window) { return window->font_family; }

int console_view_font_size(const ConsoleWindow* window) { return window->font_size; }

void console_view_set_wrap(ConsoleWindow* window, bool wrap) {
  window->output->setLineWrapMode(wrap ? QTextEdit::WidgetWidth : QTextEdit::NoWrap);
}

void console_view_set_insertion_point(ConsoleWindow* window, int32_t offset) {
  // Moving the insertion point does not scroll.
  QScrollBar* vertical = window->output->verticalScrollBar();
  QScrollBar* horizontal = window->output->horizontalScrollBar();
  const int v = vertical->value();
  const int h = horizontal->value();
  QTextCursor cursor = window->output->textCursor();
  cursor.setPosition(clamp_offset(window, offset));
  window->output->setTextCursor(cursor);
  vertical->setValue(v);
  horizontal->setValue(h);
}

int32_t console_view_insertion_point(const ConsoleWindow* window) {
  return window->output->textCursor().position();
}

void console_view_scroll_to(ConsoleWindow* window, int32_t offset) {
  QTextCursor cursor = window->output->textCursor();
  cursor.setPosition(clamp_offset(window, offset));
  window->output->setTextCursor(cursor);
  window->output->ensureCursorVisible();
}

double console_view_h_origin(const ConsoleWindow* window) {
  return window->output->horizontalScrollBar()->value();
}

void console_view_set_h_origin(ConsoleWindow* window, double x) {
  window->output->horizontalScrollBar()->setValue(static_cast<int>(x));
}

// ---- The help window
// ----------------------------------------------------------------------------------

class HelpWidget;

struct ConsoleHelpWindow {
  ConsoleHelpCallbacks callbacks;
  QPointer<HelpWidget> widget;
  QTextEdit* text = nullptr;
  QObject* lifetime = nullptr;  // queued calls end with it
};

class HelpWidget : public QWidget {
 public:
  explicit HelpWidget(ConsoleHelpWindow* owner) : owner_(owner) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    ConsoleHelpWindow* owner = owner_;
    QTimer::singleShot(0, owner->lifetime, [owner] {
      if (owner->callbacks.close) owner->callbacks.close(owner->callbacks.context);
    });
  }

 private:
  ConsoleHelpWindow* owner_;
};

ConsoleHelpWindow* console_help_window_create(const std::string& title,
                                              const ConsoleHelpCallbacks& callbacks) {
  if (!input_window_system_usable() || !qobject_cast<QApplication*>(QCoreApplication::instance()))
    return nullptr;
  auto* help = new ConsoleHelpWindow;
  help->callbacks = callbacks;
  help->lifetime = new QObject();
  help->widget = new HelpWidget(help);
  help->widget->setObjectName(QStringLiteral("CarbonConsoleHelp"));
  help->widget->setWindowTitle(QString::fromUtf8(title.c_str()));
  auto* layout = new QVBoxLayout(help->widget);
  layout->setContentsMargins(0, 0, 0, 0);
  help->text = new QTextEdit();
  help->text->setReadOnly(true);
  layout->addWidget(help->text);
  help->widget->resize(460, 420);
  return help;
}

void console_help_window_dispose(ConsoleHelpWindow* help) {
  if (!help) return;
  delete help->lifetime;
  delete help->widget.data();
  delete help;
}

void console_help_window_set_text(ConsoleHelpWindow* help, const std::string& text) {
  help->text->setPlainText(QString::fromUtf8(text.c_str()));
}

std::string console_help_window_text(const ConsoleHelpWindow* help) {
  return help->text->toPlainText().toStdString();
}

void console_help_window_scroll_to_top(ConsoleHelpWindow* help) {
  help->text->verticalScrollBar()->setValue(0);
  help->text->moveCursor(QTextCursor::Start);
}

void console_help_window_cascade(ConsoleHelpWindow* help, const ConsoleWindow* on) {
  if (on && on->widget) help->widget->move(on->widget->pos() + QPoint(24, 24));
}

void console_help_window_show(ConsoleHelpWindow* help) {
  help->widget->show();
  help->widget->raise();
  help->widget->activateWindow();
}

void console_help_window_hide(ConsoleHelpWindow* help) { help->widget->hide(); }

bool console_help_window_visible(const ConsoleHelpWindow* help) {
  return help->widget->isVisible();
}

bool console_help_window_save_png(ConsoleHelpWindow* help, const char* path) {
  return help->widget->grab().save(QString::fromUtf8(path), "PNG");
}

#else
}  // namespace

ConsoleWindow* console_window_create(const ConsoleWindowSpec&, const ConsoleWindowCallbacks&) {
  return nullptr;
}
void console_window_dispose(ConsoleWindow*) {}
int console_window_number(const ConsoleWindow*) { return 0; }
void console_window_set_kind(ConsoleWindow*, ConsoleWindowClass, bool, bool) {}
ConsoleWindowClass console_window_kind(const ConsoleWindow*) { return CONSOLE_DOCUMENT_WINDOW; }
void console_window_set_title(ConsoleWindow*, const std::string&) {}
std::string console_window_title(const ConsoleWindow*) { return {}; }
void console_window_set_modified(ConsoleWindow*, bool) {}
bool console_window_modified(const ConsoleWindow*) { return false; }
void console_window_show(ConsoleWindow*, bool) {}
void console_window_hide(ConsoleWindow*) {}
bool console_window_visible(const ConsoleWindow*) { return false; }
void console_window_keep_on_screen(ConsoleWindow*) {}
bool console_window_save_png(ConsoleWindow*, const char*) { return false; }
int console_window_post(ConsoleWindow*, uint32_t, void*) { return 0; }
void console_control_show(ConsoleWindow*, ConsoleControl, bool) {}
bool console_control_shown(const ConsoleWindow*, ConsoleControl) { return false; }
void console_control_set_title(ConsoleWindow*, ConsoleControl, const std::string&) {}
std::string console_control_title(const ConsoleWindow*, ConsoleControl) { return {}; }
void console_control_set_text(ConsoleWindow*, ConsoleControl, const std::string&) {}
std::string console_control_text(const ConsoleWindow*, ConsoleControl) { return {}; }
void console_control_focus(ConsoleWindow*, ConsoleControl) {}
void console_hscroll_set(ConsoleWindow*, int, int) {}
int console_hscroll_maximum(const ConsoleWindow*) { return 0; }
void console_menu_choose(ConsoleWindow*, ConsoleControl, int) {}
int32_t console_view_length(const ConsoleWindow*) { return 0; }
void console_view_insert(ConsoleWindow*, int32_t, const std::vector<ConsoleStyledRun>&, bool) {}
bool console_view_delete_all(ConsoleWindow*) { return false; }
bool console_view_can_undo(const ConsoleWindow*) { return false; }
void console_view_undo(ConsoleWindow*) {}
void console_view_clear_undo(ConsoleWindow*) {}
std::u16string console_view_text(const ConsoleWindow*, int32_t, int32_t) { return {}; }
std::vector<ConsoleStyledRun> console_view_runs(const ConsoleWindow*, int32_t, int32_t) {
  return {};
}
void console_view_set_font(ConsoleWindow*, const std::string&, int, int) {}
std::string console_view_font_family(const ConsoleWindow*) { return {}; }
int console_view_font_size(const ConsoleWindow*) { return 0; }
void console_view_set_wrap(ConsoleWindow*, bool) {}
void console_view_set_insertion_point(ConsoleWindow*, int32_t) {}
int32_t console_view_insertion_point(const ConsoleWindow*) { return 0; }
void console_view_scroll_to(ConsoleWindow*, int32_t) {}
double console_view_h_origin(const ConsoleWindow*) { return 0; }
void console_view_set_h_origin(ConsoleWindow*, double) {}
ConsoleHelpWindow* console_help_window_create(const std::string&, const ConsoleHelpCallbacks&) {
  return nullptr;
}
void console_help_window_dispose(ConsoleHelpWindow*) {}
void console_help_window_set_text(ConsoleHelpWindow*, const std::string&) {}
std::string console_help_window_text(const ConsoleHelpWindow*) { return {}; }
void console_help_window_scroll_to_top(ConsoleHelpWindow*) {}
void console_help_window_cascade(ConsoleHelpWindow*, const ConsoleWindow*) {}
void console_help_window_show(ConsoleHelpWindow*) {}
void console_help_window_hide(ConsoleHelpWindow*) {}
bool console_help_window_visible(const ConsoleHelpWindow*) { return false; }
bool console_help_window_save_png(ConsoleHelpWindow*, const char*) { return false; }
#endif

// ---- The log file dialog
// ------------------------------------------------------------------------------

namespace {

#ifndef VESK_HEADLESS
std::map<std::string, QString> remembered_folders;
#endif

int scripted_log_dialog(LogFileDialog& dialog, std::string* path) {
  script_record_shown(LOG_FILE_DIALOG_ID, dialog.title + "\n" + dialog.message);
  std::string name = dialog.proposed_name;
  int format = dialog.format;
  if (dialog.mode == 2 && dialog.event)
    dialog.event(dialog.context, LOG_DIALOG_START, &format, &name);
  for (const ScriptAnswer* next = script_peek_answer();
       next && next->kind == AnswerKind::CHOOSE && next->item == LOG_FORMAT_POPUP_ITEM;
       next = script_peek_answer()) {
    ScriptAnswer answer;
    script_take_answer(&answer);
    if (dialog.mode != 2 || answer.entry < 1 ||
        answer.entry > static_cast<int>(dialog.formats.size())) {
      script_record_fault("log file dialog: no format entry " + std::to_string(answer.entry));
      continue;
    }
    format = answer.entry - 1;
    if (dialog.event) dialog.event(dialog.context, LOG_DIALOG_FORMAT_CHOSEN, &format, &name);
  }
  dialog.format = format;
  std::string answer;
  if (!script_take_file_name(&answer) || answer.empty()) return CANCELLED;
  if (answer.back() == '/') {
    if (name.empty()) return CANCELLED;
    answer += name;
  }
  *path = answer;
  return 0;
}

#ifndef VESK_HEADLESS
QString filter_of(const std::string& format) { return QString::fromUtf8(format.c_str()); }
#endif

}  // namespace

int platform_log_file_dialog(LogFileDialog& dialog, std::string* path) {
  if (script_active()) return scripted_log_dialog(dialog, path);
#ifdef VESK_HEADLESS
  return CANCELLED;
#else
  if (!input_window_system_usable() || !qobject_cast<QApplication*>(QCoreApplication::instance()))
    return CANCELLED;
  QFileDialog files;
  files.setOption(QFileDialog::DontUseNativeDialog, true);
  files.setWindowModality(Qt::ApplicationModal);
  files.setWindowTitle(QString::fromUtf8(dialog.title.c_str()));
  files.setLabelText(QFileDialog::Accept, QString::fromUtf8(dialog.action.c_str()));
  files.setAcceptMode(dialog.mode == 2 ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  files.setFileMode(dialog.mode == 2 ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (auto it = remembered_folders.find(dialog.preference_key); it != remembered_folders.end())
    files.setDirectory(it->second);
  if (auto* grid = qobject_cast<QGridLayout*>(files.layout())) {
    auto* message = new QLabel(QString::fromUtf8(dialog.message.c_str()));
    grid->addWidget(message, grid->rowCount(), 0, 1, -1);
  }
  auto* name_field = files.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  if (dialog.mode == 2) {
    QStringList filters;
    for (const std::string& format : dialog.formats) filters << filter_of(format);
    files.setNameFilters(filters);
    std::string name = dialog.proposed_name;
    int format = dialog.format;
    if (dialog.event) dialog.event(dialog.context, LOG_DIALOG_START, &format, &name);
    dialog.format = format;
    if (format >= 0 && format < filters.size()) files.selectNameFilter(filters[format]);
    files.selectFile(QString::fromUtf8(name.c_str()));
    QObject::connect(&files, &QFileDialog::filterSelected, [&](const QString& filter) {
      const int chosen = static_cast<int>(filters.indexOf(filter));
      if (chosen < 0) return;
      std::string typed = name_field ? name_field->text().toStdString() : std::string();
      int format_now = chosen;
      if (dialog.event) dialog.event(dialog.context, LOG_DIALOG_FORMAT_CHOSEN, &format_now, &typed);
      dialog.format = format_now;
      if (name_field) name_field->setText(QString::fromUtf8(typed.c_str()));
    });
  }
  bool finished = false;
  QObject::connect(&files, &QDialog::finished, [&finished] { finished = true; });
  files.show();
  while (!finished) platform_wait_events(100);
  if (files.result() != QDialog::Accepted || files.selectedFiles().isEmpty()) return CANCELLED;
  remembered_folders[dialog.preference_key] = files.directory().absolutePath();
  *path = files.selectedFiles().front().toStdString();
  return 0;
#endif
}
