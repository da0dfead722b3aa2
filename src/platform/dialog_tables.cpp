// dialog_tables.cpp: the program's dialogs and alerts by number: items, rectangles (in points
// of the dialog's content) and texts. Each number has one table; a new dialog is a new entry.
//
// Alerts show their message as one static text "^0^1" (the program passes the message in
// the first two parameter texts). Short alerts hold about 200 characters, long ones 510.
// Buttons sit in a row along the bottom right; the rightmost is usually the default.
#include <initializer_list>
#include <vector>

#include "platform/dialog_table_items.h"

// The dialogs of playback (playback_dialogs.cpp).
std::vector<DialogSpec> playback_dialog_tables();
// The dialogs of the staff symbol commands (editing_dialogs.cpp).
std::vector<DialogSpec> editing_dialog_tables();
// The Hidden Text and Align dialogs (annotation_dialogs.cpp).
std::vector<DialogSpec> annotation_dialog_tables();

namespace {

constexpr int ICON_SPACE = 76;  // message left of an alert with an icon
constexpr int PLAIN_LEFT = 20;  // message left of a plain alert

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
  DialogSpec spec{id, kind, "Vesk", {0, 0, width, button_top + BUTTON_H + 12}, {}};
  for (const AlertButton& b : buttons)
    spec.items.push_back(button(button_slot(width, button_top, b.slot), b.title));
  spec.items.push_back(label({left, 12, width - MARGIN, message_bottom}, "^0^1"));
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
  DialogSpec spec{id, ALERT_NONE, title, {0, 0, width, button_top + BUTTON_H + 14}, {}};
  spec.items.push_back(button(button_slot(width, button_top, 0), "OK"));
  spec.items.push_back(button(button_slot(width, button_top, 1), "Cancel"));
  spec.items.push_back(label({20, 12, width - 20, 50}, prompt));
  for (const DialogItemSpec& field : fields) spec.items.push_back(field);
  return spec;
}

DialogSpec about_box() {
  DialogSpec spec{15462, ALERT_PLAIN, "About Vesk", {0, 0, 360, 146}, {}};
  spec.items.push_back(button(button_slot(360, 112, 0), "OK"));
  spec.items.push_back(label({20, 14, 340, 34}, "Vesk ^0"));
  spec.items.push_back(
      label({20, 40, 340, 100},
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
  spec.items.push_back(label({20, 10, WIDTH - 20, 26}, "^0 color:"));
  spec.items.push_back(label({20, 196, WIDTH - 20, 212}, "Shift-click a color to change it."));
  for (int i = 0; i < 16; ++i) {
    const int left = 20 + (i % 4) * (SWATCH_W + GAP), top = TOP + (i / 4) * (SWATCH_H + GAP);
    spec.items.push_back({ITEM_USER, {left, top, left + SWATCH_W, top + SWATCH_H}, ""});
  }
  spec.items.push_back({ITEM_CHECK_BOX, {20, 220, WIDTH - 20, 240}, "Color notes by pitch name"});
  return spec;
}

// The notation contexts: the context's name (2), the parts it shows (3, a list) and the
// contexts (7, a list) with New (9), Delete (10) and Move (12).
DialogSpec notation_contexts_dialog() {
  constexpr int WIDTH = 480, HEIGHT = 318;
  DialogSpec spec{26757, ALERT_NONE, "Notation Contexts", {0, 0, WIDTH, HEIGHT}, {}};
  spec.items = {
      button(button_slot(WIDTH, HEIGHT - 34, 0), "Done"),
      edit({70, 16, 232, 34}),
      user({16, 70, 232, 266}),
      label({16, 17, 66, 33}, "Name:"),
      label({16, 50, 232, 66}, "Parts shown in this context:"),
      label({252, 50, 464, 66}, "Notation contexts:"),
      user({252, 70, 464, 224}),
      label({16, 274, 300, 306}, "Click a part to show it in this context or to leave it out."),
      button({252, 236, 316, 256}, "New"),
      button({322, 236, 392, 256}, "Delete..."),
      label({252, 16, 464, 34}, ""),
      button({398, 236, 464, 256}, "Move..."),
  };
  spec.cancel_item = 0;
  return spec;
}

// The contexts a command is to act on: the question (^0), the list (4), All (5), None (6) and
// a check box (7) that only some commands show.
DialogSpec choose_contexts_dialog() {
  constexpr int WIDTH = 340, HEIGHT = 300;
  DialogSpec spec{9385, ALERT_NONE, "Notation Contexts", {0, 0, WIDTH, HEIGHT}, {}};
  spec.items = {
      button(button_slot(WIDTH, HEIGHT - 34, 0), "OK"),
      button(button_slot(WIDTH, HEIGHT - 34, 1), "Cancel"),
      label({20, 12, WIDTH - 20, 44}, "^0"),
      user({20, 50, 240, 222}),
      button({252, 50, 320, 70}, "All"),
      button({252, 78, 320, 98}, "None"),
      check({20, 232, WIDTH - 20, 250}, "Print every second page"),
  };
  return spec;
}

// Parts and Voices: the staves at the insertion point (4), the part and voice commands (5 to
// 13), the settings of the chosen staff (14 to 37) with the names of its voices (38 to 42),
// and whether later staff changes go (43).
DialogSpec parts_and_voices_dialog() {
  constexpr int WIDTH = 640, HEIGHT = 456;
  DialogSpec spec{140, ALERT_NONE, "Parts and Voices", {0, 0, WIDTH, HEIGHT}, {}};
  auto command = [](int row, const char* title) {
    const int top = 34 + row * 26 + (row >= 5 ? 12 : 0);
    return button({292, top, 436, top + 20}, title);
  };
  spec.items = {
      button(button_slot(WIDTH, HEIGHT - 34, 0), "OK"),
      button(button_slot(WIDTH, HEIGHT - 34, 1), "Cancel"),
      label({16, 12, 276, 30}, "Staves at this point:"),
      user({16, 34, 276, 286}),
      command(0, "New Part..."),
      command(1, "Delete Part..."),
      command(2, "Rename Part..."),
      command(3, "Start Voice..."),
      command(4, "End Voice..."),
      command(5, "Use Earlier Layout"),
      command(6, "Join Next Staff"),
      command(7, "Split Staff"),
      command(8, "Move Staff..."),
      check({16, 300, 160, 318}, "Don't Print"),
      label({16, 330, 100, 346}, "Staff lines:"),
      edit({104, 328, 144, 346}),
      label({150, 330, 240, 346}, "(0 to 12)"),
      label({16, 356, 100, 372}, "Staff size:"),
      edit({104, 354, 144, 372}),
      label({150, 356, 240, 372}, "(2 to 12)"),
      label({252, 300, 340, 316}, "Tablature:"),
      radio({252, 320, 420, 338}, "None"),
      radio({252, 340, 440, 358}, "Guitar tab, no rhythm"),
      radio({252, 360, 420, 378}, "Guitar tab"),
      radio({444, 320, 624, 338}, "Piano tab, right hand"),
      radio({444, 340, 624, 358}, "Piano tab, left hand"),
      check({452, 12, 624, 30}, "Stems by voice"),
  };
  for (int i = 0; i < 5; ++i) {
    const int top = 60 + i * 24;
    spec.items.push_back(radio({520, top, 566, top + 18}, "Up"));
    spec.items.push_back(radio({568, top, 630, top + 18}, "Down"));
  }
  for (int i = 0; i < 5; ++i) {
    const int top = 61 + i * 24;
    spec.items.push_back(label({452, top, 516, top + 16}, ""));
  }
  spec.items.push_back(
      check({16, 392, 430, 410}, "Also remove the later staff changes of these voices"));
  spec.items.push_back(label({16, 412, 16, 412}, ""));
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
  const int buttons = HEIGHT - 12 - BUTTON_H;
  spec.items = {
      button(button_slot(WIDTH, buttons, 0), "Store"),            // 1
      button(button_slot(WIDTH, buttons, 1), "Close"),            // 2
      label({LEFT, 234, LEFT + 50, 250}, "Value:"),               // 3
      radio({472, 232, 590, 250}, "Normal notes"),                // 4
      radio({592, 232, RIGHT, 250}, "Small notes"),               // 5
      label({LEFT, 330, 480, 346}, "Store the change:"),          // 6
      edit({356, 232, 456, 250}),                                 // 7
      label({LEFT, 260, 372, 276}, ""),                           // 8
      edit({376, 258, 456, 276}),                                 // 9
      user({472, 256, RIGHT, 302}),                               // 10
      label({LEFT, 286, 372, 302}, "Offset x, y:"),               // 11
      edit({376, 284, 414, 302}),                                 // 12
      edit({418, 284, 456, 302}),                                 // 13
      user({12, 12, 292, HEIGHT - 12}),                           // 14
      radio({LEFT, 350, 500, 368}, "In this voice"),              // 15
      radio({LEFT, 370, 500, 388}, "In all shown voices"),        // 16
      radio({510, 350, RIGHT, 368}, "Only in this context"),      // 17
      radio({510, 370, RIGHT, 388}, "Not in the Score"),          // 18
      radio({510, 390, RIGHT, 406}, "In all notation contexts"),  // 19
      user({LEFT, 12, RIGHT, 222}),                               // 20
      label({LEFT, 308, RIGHT, 324}, ""),                         // 21
  };
  return spec;
}

// The Systems dialog: five ways of breaking a notation context into systems and pages, each a
// radio button (4, 9, 14, 17, 18) with its fields; the list (19) takes several lines.
DialogSpec systems_dialog() {
  constexpr int WIDTH = 470, FIELD_W = 44, ROW = 30;
  auto radio = [](int top, int right, const char* title) {
    return DialogItemSpec{ITEM_RADIO, {20, top, right, top + 20}, title};
  };
  auto field = [](int left, int top) {
    return DialogItemSpec{ITEM_EDIT_TEXT, {left, top, left + FIELD_W, top + 20}, ""};
  };
  auto text_at = [](int left, int top, int right, const char* text) {
    return DialogItemSpec{ITEM_STATIC_TEXT, {left, top + 2, right, top + 20}, text};
  };
  const int r1 = 40, r2 = r1 + ROW, r3 = r2 + ROW, r4 = r3 + ROW, r5 = r4 + ROW;
  DialogSpec spec{15339, ALERT_NONE, "Systems", {0, 0, WIDTH, 320}, {}};
  spec.items.push_back(button(button_slot(WIDTH, 286, 0), "OK"));                      // 1
  spec.items.push_back(button(button_slot(WIDTH, 286, 1), "Cancel"));                  // 2
  spec.items.push_back(label({20, 10, WIDTH - 20, 30}, "Systems and pages of ^3:"));   // 3
  spec.items.push_back(radio(r1, 110, "Density"));                                     // 4
  spec.items.push_back(field(112, r1));                                                // 5
  spec.items.push_back(text_at(160, r1, 216, "% with"));                               // 6
  spec.items.push_back(field(218, r1));                                                // 7
  spec.items.push_back(text_at(266, r1, WIDTH - 20, "systems per page"));              // 8
  spec.items.push_back(radio(r2, 182, "Measures per system"));                         // 9
  spec.items.push_back(field(186, r2));                                                // 10
  spec.items.push_back(text_at(236, r2, 270, "with"));                                 // 11
  spec.items.push_back(field(272, r2));                                                // 12
  spec.items.push_back(text_at(320, r2, WIDTH - 20, "systems per page"));              // 13
  spec.items.push_back(radio(r3, 250, "Keep the present systems, with"));              // 14
  spec.items.push_back(field(252, r3));                                                // 15
  spec.items.push_back(text_at(300, r3, WIDTH - 20, "systems per page"));              // 16
  spec.items.push_back(radio(r4, WIDTH - 20, "Same systems and pages as the Score"));  // 17
  spec.items.push_back(
      radio(r5, WIDTH - 20,
            "Systems start at these bars (\",\" a new system, \";\" a new page):"));  // 18
  spec.items.push_back({ITEM_EDIT_TEXT, {40, r5 + 26, WIDTH - 20, r5 + 96}, ""});     // 19
  return spec;
}

// The shortcut-key dialog: the letter (item 3) and whether it is a Control key (item 6).
DialogSpec shortcut_dialog() {
  constexpr int WIDTH = 340;
  DialogSpec spec{7515, ALERT_NONE, "Shortcut Key", {0, 0, WIDTH, 150}, {}};
  spec.items.push_back(button(button_slot(WIDTH, 116, 0), "OK"));
  spec.items.push_back(button(button_slot(WIDTH, 116, 1), "Cancel"));
  spec.items.push_back(edit({250, 14, 280, 34}));
  spec.items.push_back(label({20, 16, 240, 34}, "Shortcut letter for this item:"));
  spec.items.push_back(
      label({20, 44, WIDTH - 20, 76}, "Type one letter, or nothing to remove the shortcut."));
  spec.items.push_back({ITEM_CHECK_BOX, {20, 84, WIDTH - 20, 104}, "Control key (not Command)"});
  return spec;
}

// Page Setup: the paper (4), the orientation (6, 7) and the scale in percent (9).
DialogSpec page_setup_dialog() {
  constexpr int WIDTH = 340;
  DialogSpec spec{20481, ALERT_NONE, "Page Setup", {0, 0, WIDTH, 170}, {}};
  spec.items = {
      button(button_slot(WIDTH, 136, 0), "OK"),
      button(button_slot(WIDTH, 136, 1), "Cancel"),
      label({20, 18, 110, 36}, "Paper:"),
      popup({116, 14, 320, 36}),
      label({20, 52, 110, 70}, "Orientation:"),
      radio({116, 50, 220, 70}, "Portrait"),
      radio({220, 50, 320, 70}, "Landscape"),
      label({20, 90, 110, 108}, "Scale:"),
      edit({120, 88, 170, 108}),
      label({178, 90, 320, 108}, "percent"),
  };
  return spec;
}

// Print: the destination (4: the printers, then a PDF file and a PostScript file), the file
// (6, chosen with 7), every page (9) or a range (10, from 11 to 13), and copies (15).
DialogSpec print_dialog() {
  constexpr int WIDTH = 420;
  DialogSpec spec{20482, ALERT_NONE, "Print", {0, 0, WIDTH, 206}, {}};
  spec.items = {
      button(button_slot(WIDTH, 172, 0), "Print"),
      button(button_slot(WIDTH, 172, 1), "Cancel"),
      label({20, 18, 100, 36}, "Print to:"),
      popup({104, 14, 400, 36}),
      label({20, 52, 100, 70}, "File:"),
      edit({108, 50, 310, 70}),
      button({322, 50, 400, 70}, "Choose..."),
      label({20, 90, 100, 108}, "Pages:"),
      radio({104, 88, 160, 108}, "All"),
      radio({164, 88, 230, 108}, "From:"),
      edit({236, 88, 276, 108}),
      label({284, 90, 304, 108}, "to"),
      edit({312, 88, 352, 108}),
      label({20, 126, 100, 144}, "Copies:"),
      edit({108, 124, 148, 144}),
  };
  return spec;
}

// The program's own items of the Print dialog, appended below it: how the page sits on the
// paper and whether the choice is kept for the notation context.
DialogSpec print_dialog_extras() {
  constexpr int WIDTH = 420;
  DialogSpec spec{167, ALERT_NONE, "", {0, 0, WIDTH, 78}, {}};
  spec.items = {
      check({20, 4, WIDTH - 20, 22}, "Center the page across the paper"),
      check({20, 28, WIDTH - 20, 46}, "Keep these choices for this notation context"),
      check({20, 52, WIDTH - 20, 70}, "Center the page down the paper"),
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
  // An entry of the Page Setup or Print dialog out of its range: the message, and OK.
  tables.push_back(alert(20483, ALERT_NOTE, SHORT, {{"OK", 0}}, 1, 1));
  tables.push_back(about_box());
  tables.push_back(colour_dialog());
  tables.push_back(page_setup_dialog());
  tables.push_back(print_dialog());
  tables.push_back(print_dialog_extras());
  tables.push_back(shortcut_dialog());
  tables.push_back(systems_dialog());
  tables.push_back(parameter_editor());
  tables.push_back(notation_contexts_dialog());
  tables.push_back(choose_contexts_dialog());
  tables.push_back(parts_and_voices_dialog());
  for (DialogSpec& spec : playback_dialog_tables()) tables.push_back(std::move(spec));
  for (DialogSpec& spec : editing_dialog_tables()) tables.push_back(std::move(spec));
  for (DialogSpec& spec : annotation_dialog_tables()) tables.push_back(std::move(spec));

  // A number: the prompt (two or three lines) comes in the first parameter text.
  tables.push_back(value_dialog(15946, "Number", "^0", {edit({22, 58, 122, 80})}));
  // A choice from a pop-up; the program sets the prompt.
  tables.push_back(value_dialog(151, "Vesk", "", {popup({20, 56, 320, 78})}));
  // A choice from a pop-up and a value.
  tables.push_back(
      value_dialog(152, "Vesk", "", {popup({20, 56, 320, 78}), edit({22, 90, 122, 112})}));
  // The single possible choice shown as text, and a value.
  tables.push_back(
      value_dialog(153, "Vesk", "", {label({20, 58, 320, 76}, ""), edit({22, 90, 122, 112})}));
  return tables;
}

}  // namespace

const DialogSpec* platform_dialog_spec(int id) {
  static const std::vector<DialogSpec> tables = make_tables();
  for (const DialogSpec& spec : tables)
    if (spec.id == id) return &spec;
  return nullptr;
}
