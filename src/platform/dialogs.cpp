// dialogs.cpp: dialogs and alerts: the model of a dialog's items, its drawing on the dialog's
// port, the modal loop, and the dialog's window on a display.
//
// The model is the truth. Item texts are Mac OS Roman (the tables' UTF-8 texts are converted
// when a dialog opens); values, highlights and rectangles live in the model and are copied to
// the window's widgets whenever the program sets them. Static texts, user items and an
// alert's icon are drawn on the port; controls are drawn there too (simply), so a scripted
// dialog's port shows the whole dialog, and on a display native widgets cover them.
//
// The modal loop does the same in both modes: an update first when the dialog needs one, then
// one event (or scripted answer) at a time through the program's filter and then the dialog's
// own rules (Return and Enter hit the default item, Escape the cancel item, Tab moves to the
// next edit field, typing goes to the focused field, clicks hit enabled controls and user
// items). On a display a click on a native control is an item hit by itself.
//
// A scripted dialog records its static texts as shown once, at its first drawing or at its
// first modal call, whichever comes first, so that texts the program sets after opening are
// included. An alert records its texts when it is shown.
//
// Built without the toolkit's widgets (VESK_HEADLESS: the program that only prints, whose
// dialogs are never shown), a dialog has no window: the window's side below does nothing.
#include "platform/dialogs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <utility>

#include <QCoreApplication>
#include <QFont>
#include <QFontInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QString>
#include <QWidget>
#ifndef VESK_HEADLESS
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTextCursor>
#endif

#include "platform/event_input.h"
#include "platform/fonts.h"
#include "platform/key_names.h"
#include "platform/port.h"
#include "platform/port_image.h"
#include "platform/script.h"
#include "platform/script_answers.h"
#include "platform/text_encoding.h"
#include "platform/ticks.h"
#include "platform/window.h"

namespace {

constexpr size_t MAX_TEXT = 255;
constexpr size_t MAX_LONG_TEXT = 32000;  // a text edit item of several lines
constexpr int HIDDEN_TOP = 500;          // items moved this far down are hidden
constexpr int SYSTEM_SIZE = 12;          // the dialog font's size without a desktop
constexpr int MULTILINE_EDIT = 36;       // edit rects taller than this take several lines
constexpr uint32_t NULL_EVENT_TICKS = 30;

std::string param_texts[4];

}  // namespace

struct Dialog {
  struct Item {
    int16_t kind = ITEM_USER;  // without ITEM_DISABLED
    bool disabled = false;
    Rect rect;
    std::string text;  // Mac OS Roman
    // The first character typed into an edit text that Mac OS Roman cannot hold (UTF-8; it
    // stands as '?' in `text`), empty when there is none.
    std::string refused;
    int value = 0;
    int hilite = 0;
    std::vector<std::string> entries;  // a pop-up's menu
    UserItemProc proc = nullptr;
    QPointer<QWidget> widget;  // on a display
  };

  int id = 0;
  const DialogSpec* spec = nullptr;
  int window = 0;
  Port* port = nullptr;
  std::vector<Item> items;  // item n at index n - 1
  int default_item = 1;
  int cancel_item = 2;
  bool scripted = false;  // opened in scripted mode: no window
  bool visible = false;
  bool needs_update = true;
  bool shown_recorded = false;
  int focus_item = 0;  // the edit text with the caret (0 none)
  int selection_start = 0, selection_end = 0;
  int pending_hit = 0;    // an item hit on a native control, not yet returned
  int pressed_key = -1;   // the character of the last key pressed while the dialog is up
  QWidget* qt = nullptr;  // the window on a display
  QPointer<QWidget> previous_active;
};

namespace {

std::vector<Dialog*> open_dialogs;

// ---- The desktop's font ---------------------------------------------------------------------
// Dialogs show their texts in the desktop's font: its family (when the font registry knows it)
// at its size in pixels, kept between 11 and 14 so that the tables' rectangles hold the texts.

bool have_application() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()); }

int dialog_text_size() {
  if (!have_application()) return SYSTEM_SIZE;
  const int pixels = QFontInfo(QGuiApplication::font()).pixelSize();
  return pixels > 0 ? std::clamp(pixels, 11, 14) : SYSTEM_SIZE;
}

int dialog_font() {
  if (!have_application()) return FONT_SYSTEM;
  const int number =
      platform_font_number(QFontInfo(QGuiApplication::font()).family().toStdString());
  return number > 0 ? number : FONT_SYSTEM;
}

// ---- Items ----------------------------------------------------------------------------------

using DialogItem = Dialog::Item;

DialogItem* item_of(DialogRef dialog, int item) {
  if (!dialog || item < 1 || item > static_cast<int>(dialog->items.size())) return nullptr;
  return &dialog->items[item - 1];
}

const DialogItem* item_of(const Dialog* dialog, int item) {
  return item_of(const_cast<DialogRef>(dialog), item);
}

bool hidden(const DialogItem& item) { return item.rect.top >= HIDDEN_TOP; }

std::string clipped(const std::string& text) { return text.substr(0, MAX_TEXT); }

// An edit item tall enough for several lines holds a long text; every other text is short.
size_t text_limit(const DialogItem& item) {
  return item.kind == ITEM_EDIT_TEXT && item.rect.height() > MULTILINE_EDIT ? MAX_LONG_TEXT
                                                                            : MAX_TEXT;
}

std::string clipped(const DialogItem& item, const std::string& text) {
  return text.substr(0, text_limit(item));
}

// An item the keyboard or a click may hit: it exists, is enabled and is not deactivated.
bool usable(DialogRef dialog, int item) {
  const DialogItem* it = item_of(dialog, item);
  return it && !it->disabled && it->hilite != 255;
}

// A static text as shown: the parameter texts put in, the modifier keys named as here.
std::string substitute_params(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '^' && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '3') {
      out += param_texts[text[i + 1] - '0'];
      ++i;
    } else {
      out += text[i];
    }
  }
  return platform_key_names(out);
}

// A button's, check box's or radio button's title as shown: the modifier keys named as here.
std::string control_title(const DialogItem& item) { return platform_key_names(item.text); }

// The static texts as shown, one per line.
std::string shown_text(DialogRef dialog) {
  std::string text;
  for (const DialogItem& item : dialog->items) {
    if (item.kind != ITEM_STATIC_TEXT || hidden(item)) continue;
    const std::string shown = substitute_params(item.text);
    if (shown.empty()) continue;
    if (!text.empty()) text += '\n';
    text += shown;
  }
  return text;
}

// What a dialog shows, as standard error has it when nobody sees the dialog: an alert's texts
// alone; a dialog with fields, choices or pop-ups row by row, each item in its place, a field
// with what it holds in brackets, a radio button or check box with its mark, a pop-up with
// its choice (the Systems dialog: "(*) Density [100] % with [4] systems per page").
std::string printed_text(DialogRef dialog) {
  std::vector<const DialogItem*> shown;
  bool plain = true;
  for (const DialogItem& item : dialog->items) {
    if (hidden(item) || item.kind == ITEM_BUTTON || item.kind == ITEM_USER) continue;
    plain &= item.kind == ITEM_STATIC_TEXT;
    shown.push_back(&item);
  }
  if (plain) return shown_text(dialog);
  std::stable_sort(shown.begin(), shown.end(), [](const DialogItem* a, const DialogItem* b) {
    return a->rect.top < b->rect.top;
  });
  constexpr int ROW = 8;  // items whose tops lie closer than this stand in one row
  std::string text;
  for (size_t first = 0; first < shown.size();) {
    size_t end = first;
    while (end < shown.size() && shown[end]->rect.top - shown[first]->rect.top < ROW) ++end;
    std::stable_sort(
        shown.begin() + ptrdiff_t(first), shown.begin() + ptrdiff_t(end),
        [](const DialogItem* a, const DialogItem* b) { return a->rect.left < b->rect.left; });
    std::string row;
    for (size_t i = first; i < end; ++i) {
      const DialogItem& it = *shown[i];
      std::string word;
      if (it.kind == ITEM_STATIC_TEXT) word = substitute_params(it.text);
      if (it.kind == ITEM_EDIT_TEXT) word = "[" + it.text + "]";
      if (it.kind == ITEM_RADIO) word = (it.value ? "(*) " : "( ) ") + it.text;
      if (it.kind == ITEM_CHECK_BOX) word = (it.value ? "[x] " : "[ ] ") + it.text;
      if (it.kind == ITEM_POPUP && it.value >= 1 && it.value <= int(it.entries.size()))
        word = it.entries[size_t(it.value - 1)];
      if (word.empty()) continue;
      if (!row.empty()) row += ' ';
      row += word;
    }
    if (!row.empty()) text += (text.empty() ? "" : "\n") + row;
    first = end;
  }
  return text;
}

void record_shown_once(DialogRef dialog) {
  if (!dialog->scripted || dialog->shown_recorded) return;
  dialog->shown_recorded = true;
  script_record_shown(dialog->id, shown_text(dialog));
}

// ---- The window on a display ---------------------------------------------------------------

#ifndef VESK_HEADLESS
QString to_qstring(const std::string& macroman) {
  return QString::fromStdString(macroman_to_utf8(macroman));
}

std::string from_qstring(const QString& text) { return utf8_to_macroman(text.toStdString()); }

// The first character of a text that Mac OS Roman cannot hold, as UTF-8; empty for none.
std::string first_unheld(const QString& text) {
  std::string shown;
  for (char32_t c : text.toUcs4())
    if (c >= 0x80 && unicode_to_macroman(c, 0) == 0) {
      append_utf8(shown, c);
      break;
    }
  return shown;
}

// The dialog's window: it paints the dialog's port and holds a native widget for each
// control and edit text.
class DialogWindow : public QWidget {
 public:
  explicit DialogWindow(Dialog* dialog) : QWidget(nullptr, Qt::Dialog), dialog_(dialog) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    if (dialog_->port) painter.drawImage(0, 0, port_shown_image(dialog_->port));
  }
  // The window system's close box cancels.
  void closeEvent(QCloseEvent* event) override {
    event->ignore();
    if (usable(dialog_, dialog_->cancel_item)) dialog_->pending_hit = dialog_->cancel_item;
  }

 private:
  Dialog* dialog_;
};

void set_edit_selection(QWidget* widget, int start, int end) {
  if (auto* line = qobject_cast<QLineEdit*>(widget)) {
    line->setSelection(start, end - start);
  } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
    QTextCursor cursor = plain->textCursor();
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    plain->setTextCursor(cursor);
  }
}

// Copies the model of one item to its widget.
void sync_widget(Dialog* dialog, int item) {
  DialogItem* it = item_of(dialog, item);
  if (!it || !it->widget) return;
  QWidget* widget = it->widget;
  const QSignalBlocker blocker(widget);
  widget->setGeometry(it->rect.left, it->rect.top, it->rect.width(), it->rect.height());
  widget->setVisible(!hidden(*it));
  widget->setEnabled(it->hilite != 255);
  const QString text = to_qstring(it->text);
  const QString title = to_qstring(control_title(*it));
  if (auto* push = qobject_cast<QPushButton*>(widget)) {
    push->setText(title);
    push->setDefault(item == dialog->default_item);
  } else if (auto* check = qobject_cast<QCheckBox*>(widget)) {
    check->setText(title);
    check->setChecked(it->value != 0);
  } else if (auto* radio = qobject_cast<QRadioButton*>(widget)) {
    radio->setText(title);
    radio->setChecked(it->value != 0);
  } else if (auto* line = qobject_cast<QLineEdit*>(widget)) {
    if (line->text() != text) line->setText(text);
  } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
    if (plain->toPlainText() != text) plain->setPlainText(text);
  } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
    combo->clear();
    for (const std::string& entry : it->entries) combo->addItem(to_qstring(entry));
    combo->setCurrentIndex(it->value - 1);
  }
  if (item == dialog->focus_item)
    set_edit_selection(widget, dialog->selection_start, dialog->selection_end);
}

void sync_focus(Dialog* dialog) {
  DialogItem* it = item_of(dialog, dialog->focus_item);
  if (!it || !it->widget) return;
  const QSignalBlocker blocker(it->widget);
  it->widget->setFocus(Qt::OtherFocusReason);
  set_edit_selection(it->widget, dialog->selection_start, dialog->selection_end);
}

void edit_changed(Dialog* dialog, int item, const QString& text, int start, int end) {
  DialogItem* it = item_of(dialog, item);
  if (!it) return;
  it->text = clipped(*it, from_qstring(text));
  it->refused = first_unheld(text);
  if (dialog->focus_item == item) {
    const int length = static_cast<int>(it->text.size());
    dialog->selection_start = std::clamp(start, 0, length);
    dialog->selection_end = std::clamp(end, dialog->selection_start, length);
  }
}

QWidget* make_edit_widget(Dialog* dialog, int item, QWidget* parent) {
  const DialogItem& it = dialog->items[item - 1];
  if (it.rect.height() > MULTILINE_EDIT) {
    auto* plain = new QPlainTextEdit(parent);
    auto changed = [dialog, item, plain] {
      const QTextCursor cursor = plain->textCursor();
      edit_changed(dialog, item, plain->toPlainText(), cursor.selectionStart(),
                   cursor.selectionEnd());
    };
    QObject::connect(plain, &QPlainTextEdit::textChanged, plain, changed);
    QObject::connect(plain, &QPlainTextEdit::cursorPositionChanged, plain, changed);
    return plain;
  }
  auto* line = new QLineEdit(parent);
  line->setMaxLength(static_cast<int>(MAX_TEXT));
  auto changed = [dialog, item, line] {
    int start = line->cursorPosition(), end = start;
    if (line->hasSelectedText()) {
      start = line->selectionStart();
      end = start + static_cast<int>(line->selectedText().size());
    }
    edit_changed(dialog, item, line->text(), start, end);
  };
  QObject::connect(line, &QLineEdit::textEdited, line, changed);
  QObject::connect(line, &QLineEdit::cursorPositionChanged, line, changed);
  QObject::connect(line, &QLineEdit::selectionChanged, line, changed);
  return line;
}

// A check box or radio button keeps the model's value: the program sets it after the hit.
template <typename Toggle>
QWidget* make_toggle(Dialog* dialog, int item, QWidget* parent) {
  auto* toggle = new Toggle(parent);
  toggle->setAutoExclusive(false);
  QObject::connect(toggle, &Toggle::clicked, toggle, [dialog, item, toggle] {
    const QSignalBlocker blocker(toggle);
    toggle->setChecked(dialog->items[item - 1].value != 0);
    if (!dialog->items[item - 1].disabled) dialog->pending_hit = item;
  });
  return toggle;
}

QWidget* make_widget(Dialog* dialog, int item, QWidget* parent) {
  const DialogItem& it = dialog->items[item - 1];
  QWidget* widget = nullptr;
  switch (it.kind) {
    case ITEM_BUTTON: {
      auto* push = new QPushButton(parent);
      push->setAutoDefault(false);
      QObject::connect(push, &QPushButton::clicked, push, [dialog, item] {
        if (!dialog->items[item - 1].disabled) dialog->pending_hit = item;
      });
      widget = push;
      break;
    }
    case ITEM_CHECK_BOX:
      widget = make_toggle<QCheckBox>(dialog, item, parent);
      break;
    case ITEM_RADIO:
      widget = make_toggle<QRadioButton>(dialog, item, parent);
      break;
    case ITEM_POPUP: {
      auto* combo = new QComboBox(parent);
      QObject::connect(combo, &QComboBox::activated, combo, [dialog, item](int index) {
        dialog->items[item - 1].value = index + 1;
        if (!dialog->items[item - 1].disabled) dialog->pending_hit = item;
      });
      widget = combo;
      break;
    }
    case ITEM_EDIT_TEXT:
      return make_edit_widget(dialog, item, parent);
    default:
      return nullptr;
  }
  widget->setFocusPolicy(Qt::NoFocus);  // only edit fields take the keyboard
  return widget;
}

void make_window(Dialog* dialog) {
  if (dialog->scripted || dialog->qt ||
      !qobject_cast<QApplication*>(QCoreApplication::instance()) || !input_window_system_usable())
    return;
  auto* window = new DialogWindow(dialog);
  dialog->qt = window;
  const Rect bounds = port_bounds(dialog->port);
  window->setFixedSize(std::max(bounds.width(), 1), std::max(bounds.height(), 1));
  window->setWindowTitle(QString::fromUtf8(dialog->spec->title ? dialog->spec->title : "Vesk"));
  window->setWindowModality(Qt::ApplicationModal);
  QFont font = QApplication::font();
  font.setPixelSize(dialog_text_size());
  window->setFont(font);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
  }
  for (int item = 1; item <= static_cast<int>(dialog->items.size()); ++item) {
    dialog->items[item - 1].widget = make_widget(dialog, item, window);
    sync_widget(dialog, item);
  }
  QObject::connect(qApp, &QApplication::focusChanged, window, [dialog](QWidget*, QWidget* now) {
    for (size_t i = 0; i < dialog->items.size(); ++i)
      if (now && dialog->items[i].widget == now) dialog->focus_item = static_cast<int>(i + 1);
  });
  input_register_window(window, window, dialog->window);
}

void show_window(Dialog* dialog) {
  if (!dialog->qt || dialog->qt->isVisible()) return;
  // The window to give the activation back to: the active one, or else the main window
  // (which may not have been activated yet when the dialog opens at start-up).
  dialog->previous_active = QApplication::activeWindow();
  if (!dialog->previous_active) dialog->previous_active = input_window_numbered(MAIN_WINDOW_NUMBER);
  dialog->qt->show();
  dialog->qt->activateWindow();
  sync_focus(dialog);
}

void destroy_window(Dialog* dialog) {
  if (!dialog->qt) return;
  input_unregister_window(dialog->qt);
  dialog->qt->hide();
  delete dialog->qt;
  dialog->qt = nullptr;
  // Without a window manager nobody gives the activation back.
  if (dialog->previous_active) dialog->previous_active->activateWindow();
}

void repaint_window(Dialog* dialog) {
  if (dialog->qt) dialog->qt->update();
}

// A pop-up's list, opened by a click on its native control.
void show_popup_list(const DialogItem& it) {
  if (auto* combo = qobject_cast<QComboBox*>(it.widget.data())) combo->showPopup();
}

// The window lets input reach the admitted window (0: none) while it is up.
void admit_to_window(Dialog* dialog, int window) {
  if (!dialog->qt) return;
  QWidget* admitted = window ? input_window_numbered(window) : nullptr;
  // The window system's modality would hold back the admitted window too: a dialog that admits
  // one is not modal to the window system, and the input filter holds back the other windows.
  const bool shown = dialog->qt->isVisible();
  if (shown) dialog->qt->hide();
  dialog->qt->setWindowModality(admitted ? Qt::NonModal : Qt::ApplicationModal);
  input_admit_window(dialog->qt, admitted);
  if (shown) {
    dialog->qt->show();
    dialog->qt->activateWindow();
  }
}

// The window takes a new size, and widgets for the items from `first` on.
void grow_window(Dialog* dialog, int width, int height, int first) {
  if (!dialog->qt) return;
  dialog->qt->setFixedSize(width, height);
  for (int item = first; item <= static_cast<int>(dialog->items.size()); ++item) {
    dialog->items[item - 1].widget = make_widget(dialog, item, dialog->qt);
    sync_widget(dialog, item);
  }
}

bool save_window_png(Dialog* dialog, const char* path) {
  if (!dialog->qt) return port_save_png(dialog->port, path);
  return dialog->qt->grab().save(QString::fromUtf8(path), "PNG");
}
#else
void sync_widget(Dialog*, int) {}
void sync_focus(Dialog*) {}
void make_window(Dialog*) {}
void show_window(Dialog*) {}
void destroy_window(Dialog*) {}
void repaint_window(Dialog*) {}
void show_popup_list(const DialogItem&) {}
void admit_to_window(Dialog*, int) {}
void grow_window(Dialog*, int, int, int) {}
bool save_window_png(Dialog* dialog, const char* path) { return port_save_png(dialog->port, path); }
#endif

// ---- Drawing --------------------------------------------------------------------------------

// What drawing a dialog changes in its port, put back afterwards.
struct SavedPortState {
  Port* current;
  int font, size, face;
  PenState pen;
  Rect clip;
  RgbColour fore, back;
};

SavedPortState enter_port(Port* port) {
  SavedPortState saved;
  saved.current = platform_current_port();
  platform_set_port(port);
  saved.font = current_text_font();
  saved.size = current_text_size();
  saved.face = current_text_face();
  saved.pen = get_pen_state();
  saved.clip = get_clip();
  saved.fore = get_fore_colour();
  saved.back = get_back_colour();
  return saved;
}

void leave_port(const SavedPortState& saved) {
  text_font(saved.font);
  text_size(saved.size);
  text_face(saved.face);
  set_pen_state(saved.pen);
  clip_rect(saved.clip);
  fore_colour(saved.fore);
  back_colour(saved.back);
  platform_set_port(saved.current);
}

void system_text_style(Port* port) {
  text_font(dialog_font());
  text_size(dialog_text_size());
  text_face(FACE_PLAIN);
  text_mode(MODE_OR);
  pen_normal();
  fore_colour(COLOUR_BLACK);
  back_colour(COLOUR_WHITE);
  clip_rect(port_bounds(port));
}

Rect intersect(Rect a, Rect b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

bool fits(const std::string& line, int width) { return std::lround(string_width(line)) <= width; }

// Breaks a paragraph into lines no wider than `width` (in the current font) at spaces; a word
// wider than a line is broken between characters.
void wrap_paragraph(std::string_view paragraph, int width, std::vector<std::string>& lines) {
  std::string line;
  size_t i = 0;
  while (i < paragraph.size()) {
    size_t word_end = paragraph.find(' ', i);
    if (word_end == std::string_view::npos) word_end = paragraph.size();
    const std::string word(paragraph.substr(i, word_end - i));
    const std::string candidate = line.empty() ? word : line + ' ' + word;
    if (fits(candidate, width)) {
      line = candidate;
    } else {
      if (!line.empty()) lines.push_back(line);
      line.clear();
      for (char c : word) {
        if (!line.empty() && !fits(line + c, width)) {
          lines.push_back(line);
          line.clear();
        }
        line += c;
      }
    }
    i = word_end + 1;
  }
  lines.push_back(line);
}

std::vector<std::string> wrap_text(const std::string& text, int width) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find_first_of("\r\n", start);
    wrap_paragraph(
        std::string_view(text).substr(start, end == std::string::npos ? end : end - start), width,
        lines);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

void draw_text_in(const std::string& text, Rect r, Port* port) {
  const FontMetrics metrics = get_font_metrics();
  const int ascent = static_cast<int>(std::ceil(metrics.ascent));
  const int line_height =
      std::max(1, static_cast<int>(std::ceil(metrics.ascent + metrics.descent + metrics.leading)));
  clip_rect(intersect(r, port_bounds(port)));
  int baseline = r.top + ascent;
  for (const std::string& line : wrap_text(text, r.width())) {
    if (baseline - ascent >= r.bottom) break;
    move_to(r.left, baseline);
    draw_string(line);
    baseline += line_height;
  }
  clip_rect(port_bounds(port));
}

// A one-line title centred vertically in `r`, from `left`.
void draw_title(const std::string& title, Rect r, int left, bool centred, Port* port) {
  const FontMetrics metrics = get_font_metrics();
  const int baseline =
      r.top + static_cast<int>(std::lround((r.height() + metrics.ascent - metrics.descent) / 2));
  int x = left;
  if (centred) x = r.left + static_cast<int>(std::lround((r.width() - string_width(title)) / 2));
  clip_rect(intersect(r, port_bounds(port)));
  move_to(x, baseline);
  draw_string(title);
  clip_rect(port_bounds(port));
}

void draw_control(Dialog* dialog, int item, Port* port) {
  const DialogItem& it = dialog->items[item - 1];
  const Rect r = it.rect;
  const int box_top = r.top + (r.height() - 12) / 2;
  const Rect box{r.left, box_top, r.left + 12, box_top + 12};
  if (it.hilite == 255) fore_colour({32768, 32768, 32768});
  switch (it.kind) {
    case ITEM_BUTTON:
      frame_rect(r);
      draw_title(control_title(it), r, r.left, true, port);
      if (item == dialog->default_item) {
        pen_size(3, 3);
        frame_rect(outset_rect(r, 4));
        pen_normal();
      }
      break;
    case ITEM_CHECK_BOX:
      frame_rect(box);
      if (it.value) {
        move_to(box.left, box.top);
        line_to(box.right - 1, box.bottom - 1);
        move_to(box.right - 1, box.top);
        line_to(box.left, box.bottom - 1);
      }
      draw_title(control_title(it), r, r.left + 18, false, port);
      break;
    case ITEM_RADIO:
      frame_oval(box);
      if (it.value) paint_oval(inset_rect(box, 3));
      draw_title(control_title(it), r, r.left + 18, false, port);
      break;
    case ITEM_EDIT_TEXT:
      frame_rect(outset_rect(r, 3));
      draw_text_in(it.text, r, port);
      break;
    case ITEM_POPUP: {
      frame_rect(r);
      const bool chosen = it.value >= 1 && it.value <= static_cast<int>(it.entries.size());
      draw_title(chosen ? it.entries[it.value - 1] : std::string(), inset_rect(r, 1), r.left + 4,
                 false, port);
      const int mid = r.top + r.height() / 2;
      for (int row = 0; row < 4; ++row) {  // a small triangle pointing down
        move_to(r.right - 14 + row, mid - 2 + row);
        line_to(r.right - 8 - row, mid - 2 + row);
      }
      break;
    }
    default:
      break;
  }
  fore_colour(COLOUR_BLACK);
}

void draw_alert_icon(const Dialog* dialog) {
  const AlertKind kind = dialog->spec->alert;
  if (kind == ALERT_NONE || kind == ALERT_PLAIN) return;
  const Rect icon{20, 12, 52, 44};
  if (kind == ALERT_NOTE) {
    frame_oval(icon);
  } else if (kind == ALERT_CAUTION) {
    move_to(36, 12);
    line_to(52, 43);
    line_to(20, 43);
    line_to(36, 12);
  } else {
    pen_size(2, 2);
    frame_rect(icon);
    pen_normal();
  }
  text_size(20);
  text_face(FACE_BOLD);
  const char mark = kind == ALERT_NOTE ? 'i' : '!';
  move_to(36 - static_cast<int>(std::lround(char_width(static_cast<uint8_t>(mark)) / 2)), 40);
  draw_char(static_cast<uint8_t>(mark));
  text_size(dialog_text_size());
  text_face(FACE_PLAIN);
}

void draw_item(Dialog* dialog, int item, Port* port) {
  DialogItem& it = dialog->items[item - 1];
  if (hidden(it)) return;
  switch (it.kind) {
    case ITEM_STATIC_TEXT:
      draw_text_in(substitute_params(it.text), it.rect, port);
      break;
    case ITEM_USER:
      if (it.proc) {
        it.proc(dialog, item);
        system_text_style(port);
      }
      break;
    default:
      // On a display the native widgets show the controls; drawn under them as well, their
      // labels would show twice.
      if (!dialog->qt) draw_control(dialog, item, port);
      break;
  }
}

// Draws one item again at once, as it changes (only once the dialog has been drawn), so that
// the port shows the dialog as it is. User items are the program's to draw.
void redraw_item(Dialog* dialog, int item) {
  const DialogItem* it = item_of(dialog, item);
  if (!it || it->kind == ITEM_USER || hidden(*it) || !dialog->port || dialog->needs_update) return;
  int margin = 0;  // what the item draws around its rectangle
  if (it->kind == ITEM_EDIT_TEXT) margin = 4;
  if (it->kind == ITEM_BUTTON) margin = 5;
  const SavedPortState saved = enter_port(dialog->port);
  system_text_style(dialog->port);
  erase_rect(outset_rect(it->rect, margin));
  draw_item(dialog, item, dialog->port);
  leave_port(saved);
  repaint_window(dialog);
}

// ---- Editing in the model -------------------------------------------------------------------

void focus_edit(Dialog* dialog, int item, int start, int end) {
  DialogItem* it = item_of(dialog, item);
  if (!it || it->kind != ITEM_EDIT_TEXT) return;
  const int length = static_cast<int>(it->text.size());
  start = std::clamp(start, 0, length);
  end = std::clamp(end, 0, length);
  if (end < start) std::swap(start, end);
  dialog->focus_item = item;
  dialog->selection_start = start;
  dialog->selection_end = end;
  sync_focus(dialog);
}

// Tab: the next shown edit field after the focused one, round to the first.
void focus_next_edit(Dialog* dialog) {
  const int count = static_cast<int>(dialog->items.size());
  for (int step = 1; step <= count; ++step) {
    const int item = (dialog->focus_item - 1 + step + count) % count + 1;
    const DialogItem& it = dialog->items[item - 1];
    if (it.kind == ITEM_EDIT_TEXT && !hidden(it)) {
      focus_edit(dialog, item, 0, static_cast<int>(it.text.size()));
      return;
    }
  }
}

// A key typed into the focused field of the model: characters replace the selection,
// Backspace and Delete remove, the left and right arrows move the caret.
void type_into_model(Dialog* dialog, uint8_t c, char32_t typed, uint16_t modifiers) {
  DialogItem* it = item_of(dialog, dialog->focus_item);
  if (!it || it->kind != ITEM_EDIT_TEXT || (modifiers & MOD_COMMAND)) return;
  std::string& text = it->text;
  const int length = static_cast<int>(text.size());
  int start = std::clamp(dialog->selection_start, 0, length);
  int end = std::clamp(dialog->selection_end, start, length);
  if (c == KEY_BACKSPACE || c == KEY_DELETE) {
    if (start == end) {
      if (c == KEY_BACKSPACE && start > 0) --start;
      if (c == KEY_DELETE && end < length) ++end;
    }
    text.erase(start, end - start);
    end = start;
  } else if (c == KEY_LEFT) {
    start = end = start == end ? std::max(0, start - 1) : start;
  } else if (c == KEY_RIGHT) {
    start = end = start == end ? std::min(length, end + 1) : end;
  } else if (c >= 0x20) {
    if (length - (end - start) >= static_cast<int>(text_limit(*it))) return;
    text.replace(start, end - start, 1, static_cast<char>(c));
    start = end = start + 1;
    if (typed >= 0x80 && unicode_to_macroman(typed, 0) == 0 && it->refused.empty())
      append_utf8(it->refused, typed);
  } else {
    return;
  }
  // The stand-in of a refused character deleted again: nothing is left to refuse.
  if (text.find('?') == std::string::npos) it->refused.clear();
  dialog->selection_start = start;
  dialog->selection_end = end;
  sync_widget(dialog, dialog->focus_item);
}

// ---- The modal loop ---------------------------------------------------------------------------

EventRecord update_event(const Dialog* dialog) {
  EventRecord update;
  update.what = EVENT_UPDATE;
  update.window = dialog->window;
  update.when = platform_ticks();
  return update;
}

void draw_if_needed(Dialog* dialog) {
  if (!dialog->needs_update) return;
  platform_draw_dialog(dialog);
  dialog->needs_update = false;
}

bool handle_key(Dialog* dialog, const EventRecord& event, int* item) {
  const uint8_t c = event_char(event);
  if (c == KEY_RETURN || c == KEY_ENTER) {
    if (!usable(dialog, dialog->default_item)) return false;
    *item = dialog->default_item;
    return true;
  }
  if (c == KEY_ESCAPE) {
    if (!usable(dialog, dialog->cancel_item)) return false;
    *item = dialog->cancel_item;
    return true;
  }
  if (c == KEY_TAB) {
    focus_next_edit(dialog);
  } else if (event.what == EVENT_AUTO_KEY && c != dialog->pressed_key) {
    // A key held since before the dialog came up (the one whose command opened it, say, its
    // modifier let go) types nothing: only a key pressed in the dialog repeats into a field.
  } else if (dialog->scripted || !input_redeliver_key(event)) {
    type_into_model(dialog, c, event.typed, event.modifiers);
  }
  return false;
}

bool handle_click(Dialog* dialog, Point where, int* item) {
  for (int i = 1; i <= static_cast<int>(dialog->items.size()); ++i) {
    const DialogItem& it = dialog->items[i - 1];
    if (!it.rect.contains(where)) continue;
    // An edit field takes the caret even when disabled: disabled only means "no item hit".
    if (it.kind == ITEM_EDIT_TEXT) {
      const int end = static_cast<int>(it.text.size());
      focus_edit(dialog, i, end, end);
      return false;
    }
    if (!usable(dialog, i)) return false;
    switch (it.kind) {
      case ITEM_BUTTON:
      case ITEM_CHECK_BOX:
      case ITEM_RADIO:
      case ITEM_USER:
        *item = i;
        return true;
      case ITEM_POPUP:
        show_popup_list(it);
        return false;
      default:
        return false;
    }
  }
  return false;
}

// One event through the filter and then the dialog's rules; true with *item when an item is
// hit.
bool handle_event(Dialog* dialog, ModalFilter filter, EventRecord event, int* item) {
  if (event.what == EVENT_KEY_DOWN) dialog->pressed_key = event_char(event);
  if (filter && filter(dialog, &event, item)) return true;
  switch (event.what) {
    case EVENT_KEY_DOWN:
    case EVENT_AUTO_KEY:
      return handle_key(dialog, event, item);
    case EVENT_MOUSE_DOWN:
      return event.window == dialog->window && handle_click(dialog, event.where, item);
    case EVENT_UPDATE:
      if (event.window == dialog->window) draw_if_needed(dialog);
      return false;
    default:
      return false;
  }
}

// The update a dialog that needs one gets before its next event; true with *item when the
// filter decides an item on it.
bool give_update(Dialog* dialog, ModalFilter filter, int* item) {
  if (!dialog->needs_update) return false;
  EventRecord update = update_event(dialog);
  if (filter && filter(dialog, &update, item)) return true;
  draw_if_needed(dialog);
  return false;
}

const char* kind_word(bool alert) { return alert ? "alert" : "dialog"; }

std::string fault_prefix(const Dialog* dialog, bool alert) {
  return std::string(kind_word(alert)) + " " + std::to_string(dialog->id);
}

// A scripted item hit: returned whatever it is, but a hit no user could make is a fault.
void check_scripted_hit(const Dialog* dialog, int item, bool alert) {
  const DialogItem* it = item_of(dialog, item);
  if (!it)
    script_record_fault(fault_prefix(dialog, alert) + ": item " + std::to_string(item) +
                        " does not exist");
  else if (it->disabled || it->hilite == 255)
    script_record_fault(fault_prefix(dialog, alert) + ": item " + std::to_string(item) +
                        " is disabled");
}

// Questions asked in a row with no scripted answer left that end the run.
constexpr int MAX_UNANSWERED = 1000;

int cancel_answer(const Dialog* dialog) {
  return dialog->cancel_item > 0 ? dialog->cancel_item : 2;
}

int run_scripted(Dialog* dialog, ModalFilter filter, bool alert) {
  for (;;) {
    int item = 0;
    if (give_update(dialog, filter, &item)) return item;
    if (input_quit_requested(true)) return cancel_answer(dialog);
    ScriptAnswer answer;
    if (!script_take_answer(&answer)) {
      script_record_fault(fault_prefix(dialog, alert) + " ran out of answers");
      // A dialog that keeps asking after the script has ended would loop for ever: a script
      // that ran dry this often in a row ends the run.
      if (script_count_unanswered() > MAX_UNANSWERED) {
        std::fprintf(stderr, "%s kept asking after the script ran out of answers\n",
                     fault_prefix(dialog, alert).c_str());
        std::abort();
      }
      return cancel_answer(dialog);
    }
    const std::string prefix = fault_prefix(dialog, alert);
    switch (answer.kind) {
      case AnswerKind::HIT:
        platform_set_test_modifiers(true, answer.modifiers);
        check_scripted_hit(dialog, answer.item, alert);
        return answer.item;
      case AnswerKind::TYPE: {
        platform_set_test_modifiers(true, 0);
        DialogItem* it = item_of(dialog, answer.item);
        if (alert || !it || it->kind != ITEM_EDIT_TEXT) {
          script_record_fault(prefix + ": typing into item " + std::to_string(answer.item) +
                              ", which is no edit text");
        } else {
          platform_set_item_text(dialog, answer.item, answer.text);
        }
        break;
      }
      case AnswerKind::CHOOSE: {
        platform_set_test_modifiers(true, 0);
        DialogItem* it = item_of(dialog, answer.item);
        if (alert || !it || it->kind != ITEM_POPUP) {
          script_record_fault(prefix + ": choosing from item " + std::to_string(answer.item) +
                              ", which is no pop-up");
          break;
        }
        if (answer.entry < 1 || answer.entry > static_cast<int>(it->entries.size()))
          script_record_fault(prefix + ": pop-up " + std::to_string(answer.item) +
                              " has no entry " + std::to_string(answer.entry));
        else
          platform_set_item_value(dialog, answer.item, answer.entry);  // shown as chosen
        check_scripted_hit(dialog, answer.item, alert);
        return answer.item;
      }
      case AnswerKind::EVENT: {
        EventRecord event = answer.event;
        if (event.window == 0) event.window = dialog->window;
        platform_set_test_modifiers(true, event.modifiers);
        if (handle_event(dialog, filter, event, &item)) return item;
        break;
      }
      case AnswerKind::ALERT_FAILS:
        script_record_fault(prefix + " was given an alert's failure");
        break;
      case AnswerKind::IMAGE:
        draw_if_needed(dialog);
        if (!port_save_png(dialog->port, answer.text.c_str()))
          script_record_fault(prefix + ": its image cannot be written to " + answer.text);
        break;
    }
  }
}

int run_on_display(Dialog* dialog, ModalFilter filter) {
  // Started only to print, no window is shown and nobody could answer: what the dialog says
  // goes to standard error and its default button answers it (its Cancel where it has none).
  if (platform_windows_kept_off_screen()) {
    const std::string text = printed_text(dialog);
    if (!text.empty()) std::fprintf(stderr, "vesk: %s\n", macroman_to_utf8(text).c_str());
    return dialog->default_item > 0 ? dialog->default_item : dialog->cancel_item;
  }
  if (!dialog->qt) return dialog->cancel_item;
  dialog->visible = true;
  show_window(dialog);
  constexpr uint32_t MASK = EVERY_EVENT & ~event_mask_of(EVENT_QUIT);
  for (;;) {
    int item = 0;
    if (give_update(dialog, filter, &item)) return item;
    repaint_window(dialog);
    if (dialog->pending_hit) return std::exchange(dialog->pending_hit, 0);
    EventRecord event;
    const bool got = input_wait_for_event(MASK, NULL_EVENT_TICKS, &event, [dialog] {
      return dialog->pending_hit != 0 || input_quit_requested();
    });
    // Asked to quit (a signal, a logout): the dialog goes as cancelled, and the quit event
    // waits for the program's main loop.
    if (input_quit_requested()) return cancel_answer(dialog);
    if (got) {
      if (handle_event(dialog, filter, event, &item)) return item;
    } else if (!dialog->pending_hit && filter && filter(dialog, &event, &item)) {
      return item;
    }
    repaint_window(dialog);
  }
}

}  // namespace

// ---- Parameter texts ------------------------------------------------------------------------

void platform_set_param_texts(const std::string& p0, const std::string& p1, const std::string& p2,
                              const std::string& p3) {
  param_texts[0] = clipped(p0);
  param_texts[1] = clipped(p1);
  param_texts[2] = clipped(p2);
  param_texts[3] = clipped(p3);
}

std::string platform_param_text(int index) {
  return index >= 0 && index < 4 ? param_texts[index] : std::string();
}

// ---- Opening and closing ------------------------------------------------------------------

DialogRef platform_open_dialog(int id, bool show) {
  const DialogSpec* spec = platform_dialog_spec(id);
  if (!spec) return nullptr;
  auto* dialog = new Dialog;
  dialog->id = id;
  dialog->spec = spec;
  dialog->window = input_new_window_number();
  dialog->port = port_new_offscreen(spec->bounds.width(), spec->bounds.height());
  port_set_smooth(dialog->port, true);  // texts as smooth as the native widgets'
  dialog->default_item = spec->default_item;
  dialog->cancel_item = spec->cancel_item;
  dialog->scripted = script_active();
  for (const DialogItemSpec& item_spec : spec->items) {
    DialogItem item;
    item.kind = static_cast<int16_t>(item_spec.kind & ~ITEM_DISABLED);
    item.disabled = (item_spec.kind & ITEM_DISABLED) != 0;
    item.rect = item_spec.rect;
    item.text = clipped(item, utf8_to_macroman(item_spec.text ? item_spec.text : ""));
    dialog->items.push_back(std::move(item));
  }
  for (int item = 1; item <= static_cast<int>(dialog->items.size()); ++item) {
    const DialogItem& it = dialog->items[item - 1];
    if (it.kind == ITEM_EDIT_TEXT && !hidden(it)) {
      dialog->focus_item = item;
      dialog->selection_end = static_cast<int>(it.text.size());
      break;
    }
  }
  open_dialogs.push_back(dialog);
  make_window(dialog);
  if (show) platform_show_dialog(dialog);
  return dialog;
}

void platform_dialog_admit_window(DialogRef dialog, int window) {
  if (dialog) admit_to_window(dialog, window);
}

void platform_show_dialog(DialogRef dialog) {
  if (!dialog) return;
  if (!dialog->visible) dialog->needs_update = true;
  dialog->visible = true;
  show_window(dialog);
}

void platform_close_dialog(DialogRef dialog) {
  if (!dialog) return;
  std::erase(open_dialogs, dialog);
  destroy_window(dialog);
  port_dispose(dialog->port);
  delete dialog;
}

bool platform_append_dialog_items(DialogRef dialog, int list_id) {
  const DialogSpec* spec = platform_dialog_spec(list_id);
  if (!dialog || !spec || !dialog->port) return false;
  const Rect bounds = port_bounds(dialog->port);
  const int first = static_cast<int>(dialog->items.size()) + 1;
  // The new items go above the row of buttons along the bottom (the buttons below every other
  // item), which moves down to make room; without such a row, below everything.
  int others_bottom = 0, row_top = bounds.height();
  for (const DialogItem& it : dialog->items)
    if (it.kind != ITEM_BUTTON && !hidden(it))
      others_bottom = std::max(others_bottom, it.rect.bottom);
  for (const DialogItem& it : dialog->items)
    if (it.kind == ITEM_BUTTON && !hidden(it) && it.rect.top >= others_bottom)
      row_top = std::min(row_top, it.rect.top);
  const int added = spec->bounds.height();
  for (int i = 1; i < first; ++i) {
    DialogItem& it = dialog->items[i - 1];
    if (!hidden(it) && it.rect.top >= row_top) {
      it.rect = offset_rect(it.rect, 0, added);
      sync_widget(dialog, i);
    }
  }
  const int place = row_top < bounds.height() ? std::max(others_bottom, row_top - 12) : row_top;
  for (const DialogItemSpec& item_spec : spec->items) {
    DialogItem item;
    item.kind = static_cast<int16_t>(item_spec.kind & ~ITEM_DISABLED);
    item.disabled = (item_spec.kind & ITEM_DISABLED) != 0;
    item.rect = offset_rect(item_spec.rect, 0, place);
    item.text = clipped(item, utf8_to_macroman(item_spec.text ? item_spec.text : ""));
    dialog->items.push_back(std::move(item));
  }
  const int width = std::max(bounds.width(), spec->bounds.width());
  const int height = bounds.height() + added;
  port_set_size(dialog->port, width, height);
  grow_window(dialog, width, height, first);
  dialog->needs_update = true;
  return true;
}

int platform_dialog_window(DialogRef dialog) { return dialog ? dialog->window : 0; }
Port* platform_dialog_port(DialogRef dialog) { return dialog ? dialog->port : nullptr; }

DialogRef platform_dialog_of_port(const Port* port) {
  if (!port) return nullptr;
  for (Dialog* dialog : open_dialogs)
    if (dialog->port == port) return dialog;
  return nullptr;
}

int platform_item_count(DialogRef dialog) {
  return dialog ? static_cast<int>(dialog->items.size()) : 0;
}

int platform_take_dialog_hit(DialogRef dialog) {
  return dialog ? std::exchange(dialog->pending_hit, 0) : 0;
}

int platform_dialog_key(DialogRef dialog, const EventRecord& event) {
  if (!dialog || (event.what != EVENT_KEY_DOWN && event.what != EVENT_AUTO_KEY)) return 0;
  const uint8_t c = event_char(event);
  if (c == KEY_RETURN || c == KEY_ENTER || c == KEY_ESCAPE) return 0;
  if (event.what == EVENT_KEY_DOWN) dialog->pressed_key = c;
  int item = 0;
  handle_key(dialog, event, &item);
  const DialogItem* field = item_of(dialog, dialog->focus_item);
  return field && field->kind == ITEM_EDIT_TEXT ? dialog->focus_item : 0;
}

// ---- Items ----------------------------------------------------------------------------------

// -1 for an item the dialog does not have.
int platform_item_kind(DialogRef dialog, int item) {
  const DialogItem* it = item_of(dialog, item);
  if (!it) return -1;
  return it->kind | (it->disabled ? ITEM_DISABLED : 0);
}

Rect platform_item_rect(DialogRef dialog, int item) {
  const DialogItem* it = item_of(dialog, item);
  return it ? it->rect : Rect{};
}

void platform_set_item_rect(DialogRef dialog, int item, Rect rect) {
  DialogItem* it = item_of(dialog, item);
  if (!it) return;
  // A control moves as a whole: it is erased where it was and drawn where it goes. Other
  // items are redrawn where the program invalidates the dialog.
  const bool control = it->kind == ITEM_BUTTON || it->kind == ITEM_CHECK_BOX ||
                       it->kind == ITEM_RADIO || it->kind == ITEM_POPUP;
  if (control && dialog->port && !dialog->needs_update && !hidden(*it)) {
    const SavedPortState saved = enter_port(dialog->port);
    erase_rect(outset_rect(it->rect, it->kind == ITEM_BUTTON ? 5 : 0));
    leave_port(saved);
  }
  it->rect = rect;
  sync_widget(dialog, item);
  if (control) redraw_item(dialog, item);
}

std::string platform_item_text(DialogRef dialog, int item) {
  const DialogItem* it = item_of(dialog, item);
  return it ? it->text : std::string();
}

std::string platform_item_refused_text(DialogRef dialog, int item) {
  const DialogItem* it = item_of(dialog, item);
  return it ? it->refused : std::string();
}

void platform_set_item_text(DialogRef dialog, int item, const std::string& text) {
  DialogItem* it = item_of(dialog, item);
  if (!it) return;
  it->text = clipped(*it, text);
  it->refused.clear();
  if (item == dialog->focus_item)
    dialog->selection_start = dialog->selection_end = static_cast<int>(it->text.size());
  sync_widget(dialog, item);
  redraw_item(dialog, item);
}

void platform_select_item_text(DialogRef dialog, int item, int start, int end) {
  focus_edit(dialog, item, start, end);
}

int platform_focus_item(DialogRef dialog) { return dialog ? dialog->focus_item : 0; }

int platform_item_value(DialogRef dialog, int item) {
  const DialogItem* it = item_of(dialog, item);
  return it ? it->value : 0;
}

void platform_set_item_value(DialogRef dialog, int item, int value) {
  DialogItem* it = item_of(dialog, item);
  if (!it) return;
  it->value = value;
  sync_widget(dialog, item);
  redraw_item(dialog, item);
}

int platform_item_hilite(DialogRef dialog, int item) {
  const DialogItem* it = item_of(dialog, item);
  return it ? it->hilite : 0;
}

void platform_set_item_hilite(DialogRef dialog, int item, int hilite) {
  DialogItem* it = item_of(dialog, item);
  if (!it) return;
  it->hilite = hilite;
  sync_widget(dialog, item);
  redraw_item(dialog, item);
}

void platform_set_control_title(DialogRef dialog, int item, const std::string& title) {
  DialogItem* it = item_of(dialog, item);
  if (!it) return;
  it->text = clipped(title);
  sync_widget(dialog, item);
  redraw_item(dialog, item);
}

void platform_popup_clear(DialogRef dialog, int item) {
  DialogItem* it = item_of(dialog, item);
  if (!it) return;
  it->entries.clear();
  sync_widget(dialog, item);
}

void platform_popup_append(DialogRef dialog, int item, const std::string& text) {
  DialogItem* it = item_of(dialog, item);
  if (!it) return;
  it->entries.push_back(clipped(text));
  sync_widget(dialog, item);
}

int platform_popup_count(DialogRef dialog, int item) {
  const DialogItem* it = item_of(dialog, item);
  return it ? static_cast<int>(it->entries.size()) : 0;
}

std::string platform_popup_text(DialogRef dialog, int item, int entry) {
  const DialogItem* it = item_of(dialog, item);
  if (!it || entry < 1 || entry > static_cast<int>(it->entries.size())) return std::string();
  return it->entries[entry - 1];
}

void platform_set_user_item_proc(DialogRef dialog, int item, UserItemProc proc) {
  if (DialogItem* it = item_of(dialog, item)) it->proc = proc;
}

void platform_set_default_item(DialogRef dialog, int item) {
  if (!dialog) return;
  const int old = dialog->default_item;
  dialog->default_item = item;
  sync_widget(dialog, old);
  sync_widget(dialog, item);
}

void platform_set_cancel_item(DialogRef dialog, int item) {
  if (dialog) dialog->cancel_item = item;
}

// ---- Drawing and updates --------------------------------------------------------------------

bool platform_dialog_needs_update(DialogRef dialog) { return dialog && dialog->needs_update; }

void platform_invalidate_dialog_rect(DialogRef dialog, Rect) {
  if (!dialog) return;
  dialog->needs_update = true;
  repaint_window(dialog);
}

void platform_begin_update(DialogRef) {}

void platform_end_update(DialogRef dialog) {
  if (!dialog) return;
  dialog->needs_update = false;
  repaint_window(dialog);
}

void platform_draw_dialog(DialogRef dialog) {
  if (!dialog) return;
  record_shown_once(dialog);
  if (!dialog->port) return;
  const SavedPortState saved = enter_port(dialog->port);
  system_text_style(dialog->port);
  erase_rect(port_bounds(dialog->port));
  draw_alert_icon(dialog);
  for (int item = 1; item <= static_cast<int>(dialog->items.size()); ++item)
    draw_item(dialog, item, dialog->port);
  leave_port(saved);
  repaint_window(dialog);
}

bool platform_dialog_save_png(DialogRef dialog, const char* path) {
  if (!dialog || !path) return false;
  draw_if_needed(dialog);
  return save_window_png(dialog, path);
}

// ---- The modal loop ---------------------------------------------------------------------------

int platform_modal_dialog(DialogRef dialog, ModalFilter filter) {
  if (!dialog) return -1;
  if (dialog->scripted) {
    record_shown_once(dialog);
    return run_scripted(dialog, filter, false);
  }
  return run_on_display(dialog, filter);
}

// ---- Alerts -------------------------------------------------------------------------------------

namespace {

// The height the lines of a static text take, its parameters put in, wrapped to its width.
int text_height(Dialog* dialog, const DialogItem& text) {
  const SavedPortState saved = enter_port(dialog->port);
  system_text_style(dialog->port);
  const FontMetrics metrics = get_font_metrics();
  const int line_height =
      std::max(1, static_cast<int>(std::ceil(metrics.ascent + metrics.descent + metrics.leading)));
  const int lines =
      std::max<int>(1, wrap_text(substitute_params(text.text), text.rect.width()).size());
  leave_port(saved);
  return lines * line_height;
}

// Moves the items that stand below `from` (every item other than `except` whose top is at or
// under it) down by `dy`, and makes the dialog as much taller.
void move_items_below(Dialog* dialog, int from, int except, int dy) {
  for (int i = 1; i <= static_cast<int>(dialog->items.size()); ++i) {
    DialogItem& item = dialog->items[i - 1];
    if (i == except || item.rect.top < from) continue;
    item.rect = offset_rect(item.rect, 0, dy);
    sync_widget(dialog, i);
  }
  const Rect bounds = port_bounds(dialog->port);
  port_set_size(dialog->port, bounds.width(), bounds.height() + dy);
  grow_window(dialog, bounds.width(), bounds.height() + dy, int(dialog->items.size()) + 1);
  dialog->needs_update = true;
}

// An alert as tall as its message needs (never below its icon): the buttons move up under the
// message's last line.
void fit_alert_to_message(Dialog* alert) {
  if (alert->items.empty() || !alert->port) return;
  const int index = static_cast<int>(alert->items.size());
  DialogItem& message = alert->items.back();
  if (message.kind != ITEM_STATIC_TEXT) return;
  const int needed = std::max(message.rect.top + text_height(alert, message), 44) + 8;
  const int spare = message.rect.bottom - needed;
  if (spare <= 0) return;
  message.rect.bottom -= spare;
  // The items below the message (its buttons) move up with its end; a text above it stays.
  move_items_below(alert, message.rect.top, index, -spare);
}

}  // namespace

void platform_fit_text_item(DialogRef dialog, int item) {
  DialogItem* text = item_of(dialog, item);
  if (!text || text->kind != ITEM_STATIC_TEXT || !dialog->port) return;
  const int old_bottom = text->rect.bottom;
  const int extra = text->rect.top + text_height(dialog, *text) - old_bottom;
  if (extra <= 0) return;
  text->rect.bottom += extra;
  move_items_below(dialog, old_bottom, item, extra);
}

int platform_alert(int id) {
  if (!platform_dialog_spec(id)) return -1;
  if (script_active()) {
    if (const ScriptAnswer* next = script_peek_answer();
        next && next->kind == AnswerKind::ALERT_FAILS) {
      ScriptAnswer failure;
      script_take_answer(&failure);
      return -1;
    }
    DialogRef alert = platform_open_dialog(id, false);
    fit_alert_to_message(alert);
    platform_show_dialog(alert);
    record_shown_once(alert);
    const int item = run_scripted(alert, nullptr, true);
    platform_close_dialog(alert);
    return item;
  }
  if (!have_application() || !input_window_system_usable()) return -1;
  DialogRef alert = platform_open_dialog(id, false);
  // An alert nobody sees (a print's) only writes its message: its size needs no measuring.
  if (!platform_windows_kept_off_screen()) fit_alert_to_message(alert);
  platform_show_dialog(alert);
  const int item = run_on_display(alert, nullptr);
  platform_close_dialog(alert);
  return item;
}
