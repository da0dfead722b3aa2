// dialog_tables.cpp: the program's dialogs and alerts by number: items, rectangles (in points
// of the dialog's content) and texts. Each number has one table; a new dialog is a new entry.
//
// Alerts show their message as one static text "^0^1" (the program passes the message in
// the first two parameter texts). Short alerts hold about 200 characters, long ones 510.
// Buttons sit in a row along the bottom right; the rightmost is usually the default.
#include <initializer_list>
#include <vector>

#include "platform/dialogs.h"

namespace {

constexpr int BUTTON_WIDTH = 78;
constexpr int BUTTON_HEIGHT = 20;
constexpr int BUTTON_GAP = 18;
constexpr int MARGIN = 16;
constexpr int ICON_SPACE = 76;  // message left of an alert with an icon
constexpr int PLAIN_LEFT = 20;  // message left of a plain alert

DialogItemSpec button(Rect r, const char* title) { return {ITEM_BUTTON, r, title}; }
DialogItemSpec static_text(Rect r, const char* text) { return {ITEM_STATIC_TEXT, r, text}; }
DialogItemSpec edit_text(Rect r) { return {ITEM_EDIT_TEXT, r, ""}; }
DialogItemSpec popup(Rect r) { return {ITEM_POPUP, r, ""}; }

// A button in a row along the bottom of a dialog `width` wide: slot 0 is the rightmost.
Rect button_slot(int width, int top, int slot) {
  const int right = width - MARGIN - slot * (BUTTON_WIDTH + BUTTON_GAP);
  return {right - BUTTON_WIDTH, top, right, top + BUTTON_HEIGHT};
}

struct AlertButton {
  const char* title;
  int slot;
};

// An alert: its buttons are items 1.. in the order given, the message the last item.
DialogSpec alert(int16_t id, AlertKind kind, bool long_message,
                 std::initializer_list<AlertButton> buttons, int16_t default_item,
                 int16_t cancel_item) {
  const int width = long_message ? 500 : 420;
  const int message_bottom = long_message ? 192 : 102;
  const int left = kind == ALERT_PLAIN ? PLAIN_LEFT : ICON_SPACE;
  const int button_top = message_bottom + 6;
  DialogSpec spec{id, kind, "Vesk", {0, 0, width, button_top + BUTTON_HEIGHT + 12}, {}};
  for (const AlertButton& b : buttons)
    spec.items.push_back(button(button_slot(width, button_top, b.slot), b.title));
  spec.items.push_back(static_text({left, 12, width - MARGIN, message_bottom}, "^0^1"));
  spec.default_item = default_item;
  spec.cancel_item = cancel_item;
  return spec;
}

// The dialogs that ask for a value: OK and Cancel, a prompt, and below it `fields`.
DialogSpec value_dialog(int16_t id, const char* title, const char* prompt,
                        std::initializer_list<DialogItemSpec> fields) {
  const int width = 340;
  int bottom = 48;
  for (const DialogItemSpec& field : fields) bottom = field.rect.bottom;
  const int button_top = bottom + 12;
  DialogSpec spec{id, ALERT_NONE, title, {0, 0, width, button_top + BUTTON_HEIGHT + 14}, {}};
  spec.items.push_back(button(button_slot(width, button_top, 0), "OK"));
  spec.items.push_back(button(button_slot(width, button_top, 1), "Cancel"));
  spec.items.push_back(static_text({20, 12, width - 20, 44}, prompt));
  for (const DialogItemSpec& field : fields) spec.items.push_back(field);
  return spec;
}

DialogSpec about_box() {
  DialogSpec spec{15462, ALERT_PLAIN, "About Vesk", {0, 0, 360, 146}, {}};
  spec.items.push_back(button(button_slot(360, 112, 0), "OK"));
  spec.items.push_back(static_text({20, 14, 340, 34}, "Vesk ^0"));
  spec.items.push_back(static_text(
      {20, 40, 340, 100},
      "A music notation editor: write a score, lay it out on pages, print it and play it."));
  spec.default_item = 1;
  spec.cancel_item = 1;
  return spec;
}

// The colour dialog: a swatch for each of the 16 colours (items 5 to 20, drawn by the
// program), and for notes a check box for colouring by pitch name (item 21).
DialogSpec colour_dialog() {
  constexpr int WIDTH = 330, SWATCH_W = 60, SWATCH_H = 26, GAP = 8, TOP = 44;
  DialogSpec spec{138, ALERT_NONE, "Color", {0, 0, WIDTH, 290}, {}};
  spec.items.push_back(button(button_slot(WIDTH, 256, 0), "OK"));
  spec.items.push_back(button(button_slot(WIDTH, 256, 1), "Cancel"));
  spec.items.push_back(static_text({20, 10, WIDTH - 20, 26}, "^0 color:"));
  spec.items.push_back(
      static_text({20, 196, WIDTH - 20, 212}, "Shift-click a color to change it."));
  for (int i = 0; i < 16; ++i) {
    const int left = 20 + (i % 4) * (SWATCH_W + GAP), top = TOP + (i / 4) * (SWATCH_H + GAP);
    spec.items.push_back({ITEM_USER, {left, top, left + SWATCH_W, top + SWATCH_H}, ""});
  }
  spec.items.push_back({ITEM_CHECK_BOX, {20, 220, WIDTH - 20, 240}, "Color notes by pitch name"});
  return spec;
}

// The parameter editor: the headings (item 14) and the parameters of the chosen heading (item
// 20) are list boxes over user items; the value of a number (7), the character or text (9)
// with its sample (10) and a character's offsets (12, 13); which value, where and in which
// notation contexts a change is stored (radio buttons 4-5, 15-16, 17-19; the program titles
// 17 and 18 with the context names).
DialogSpec parameter_editor() {
  constexpr int WIDTH = 720, HEIGHT = 440, LEFT = 302, RIGHT = WIDTH - MARGIN;
  DialogSpec spec{13001, ALERT_NONE, "Engraving Parameters", {0, 0, WIDTH, HEIGHT}, {}};
  auto radio = [](Rect r, const char* title) { return DialogItemSpec{ITEM_RADIO, r, title}; };
  auto user = [](Rect r) { return DialogItemSpec{ITEM_USER, r, ""}; };
  const int buttons = HEIGHT - 12 - BUTTON_HEIGHT;
  spec.items = {
      button(button_slot(WIDTH, buttons, 0), "Store"),            // 1
      button(button_slot(WIDTH, buttons, 1), "Close"),            // 2
      static_text({LEFT, 234, LEFT + 50, 250}, "Value:"),         // 3
      radio({472, 232, 590, 250}, "Normal notes"),                // 4
      radio({592, 232, RIGHT, 250}, "Small notes"),               // 5
      static_text({LEFT, 330, 480, 346}, "Store the change:"),    // 6
      edit_text({356, 232, 456, 250}),                            // 7
      static_text({LEFT, 260, 372, 276}, ""),                     // 8
      edit_text({376, 258, 456, 276}),                            // 9
      user({472, 256, RIGHT, 302}),                               // 10
      static_text({LEFT, 286, 372, 302}, "Offset x, y:"),         // 11
      edit_text({376, 284, 414, 302}),                            // 12
      edit_text({418, 284, 456, 302}),                            // 13
      user({12, 12, 292, HEIGHT - 12}),                           // 14
      radio({LEFT, 350, 500, 368}, "In this voice"),              // 15
      radio({LEFT, 370, 500, 388}, "In all shown voices"),        // 16
      radio({510, 350, RIGHT, 368}, "Only in this context"),      // 17
      radio({510, 370, RIGHT, 388}, "Not in the Score"),          // 18
      radio({510, 390, RIGHT, 406}, "In all notation contexts"),  // 19
      user({LEFT, 12, RIGHT, 222}),                               // 20
      static_text({LEFT, 308, RIGHT, 324}, ""),                   // 21
  };
  return spec;
}

std::vector<DialogSpec> make_tables() {
  constexpr bool SHORT = false;
  constexpr bool LONG = true;
  std::vector<DialogSpec> tables;
  // Fatal reports: the program ends whatever is answered.
  for (auto [id, length] : {std::pair{30163, SHORT}, std::pair{9134, LONG}})
    tables.push_back(alert(int16_t(id), ALERT_CAUTION, length, {{"Quit", 0}}, 1, 1));
  // Messages to the user: Return goes on.
  for (auto [id, length] : {std::pair{16841, SHORT}, std::pair{9130, LONG}})
    tables.push_back(alert(int16_t(id), ALERT_NOTE, length, {{"Quit", 1}, {"OK", 0}}, 2, 2));
  // Internal errors: the user may go on or quit.
  for (auto [id, length] : {std::pair{22740, SHORT}, std::pair{9133, LONG}})
    tables.push_back(
        alert(int16_t(id), ALERT_CAUTION, length, {{"Quit", 1}, {"Continue", 0}}, 2, 2));
  // Questions.
  tables.push_back(alert(20062, ALERT_PLAIN, SHORT, {{"Yes", 0}, {"Cancel", 1}, {"No", 2}}, 1, 2));
  for (auto [id, length] : {std::pair{13717, SHORT}, std::pair{9129, LONG}})
    tables.push_back(alert(int16_t(id), ALERT_PLAIN, length, {{"Yes", 0}, {"No", 1}}, 1, 2));
  // Questions whose Yes risks a loss: No is the default.
  for (auto [id, length] : {std::pair{21657, SHORT}, std::pair{9132, LONG}})
    tables.push_back(alert(int16_t(id), ALERT_PLAIN, length, {{"Yes", 1}, {"No", 0}}, 2, 2));
  for (auto [id, length] : {std::pair{20148, SHORT}, std::pair{9131, LONG}})
    tables.push_back(alert(int16_t(id), ALERT_PLAIN, length, {{"OK", 0}, {"Cancel", 1}}, 1, 2));
  // Risky confirmations: Cancel is the default.
  for (auto [id, length] : {std::pair{2301, SHORT}, std::pair{9128, LONG}})
    tables.push_back(
        alert(int16_t(id), ALERT_PLAIN, length, {{"Go Ahead", 1}, {"Cancel", 0}}, 2, 2));
  // The console's log file could not be written: the message, then the file's path.
  tables.push_back(alert(1282, ALERT_STOP, LONG, {{"OK", 0}}, 1, 1));
  tables.push_back(about_box());
  tables.push_back(colour_dialog());

  // A number: the prompt comes in the first parameter text.
  tables.push_back(value_dialog(15946, "Number", "^0", {edit_text({22, 50, 122, 70})}));
  // A choice from a pop-up; the program sets the prompt.
  tables.push_back(value_dialog(151, "Vesk", "", {popup({20, 48, 320, 68})}));
  // A choice from a pop-up and a value.
  tables.push_back(
      value_dialog(152, "Vesk", "", {popup({20, 48, 320, 68}), edit_text({22, 80, 122, 100})}));
  // The single possible choice shown as text, and a value.
  tables.push_back(value_dialog(
      153, "Vesk", "", {static_text({20, 50, 320, 68}, ""), edit_text({22, 80, 122, 100})}));
  tables.push_back(parameter_editor());
  return tables;
}

}  // namespace

const DialogSpec* platform_dialog_spec(int id) {
  static const std::vector<DialogSpec> tables = make_tables();
  for (const DialogSpec& spec : tables)
    if (spec.id == id) return &spec;
  return nullptr;
}
