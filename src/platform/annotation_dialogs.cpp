// annotation_dialogs.cpp: the dialog tables of the annotation commands: Hidden Text (139), a
// check box for each category of hidden text on the screen and in print, and Align (17678),
// the five ways to line up the selected annotations. The program addresses the items by
// number; the numbers are the comments' at each item.
#include <vector>

#include "platform/dialogs.h"

namespace {

constexpr int BUTTON_W = 78, BUTTON_H = 20, MARGIN = 16, GAP = 18;

DialogItemSpec button(Rect r, const char* title) { return {ITEM_BUTTON, r, title}; }
DialogItemSpec label(Rect r, const char* text) { return {ITEM_STATIC_TEXT, r, text}; }
DialogItemSpec check(Rect r, const char* title) { return {ITEM_CHECK_BOX, r, title}; }
DialogItemSpec radio(Rect r, const char* title) { return {ITEM_RADIO, r, title}; }

// OK and Cancel along the bottom right of a dialog `width` by `height`.
void add_buttons(DialogSpec* spec, int width, int height) {
  const int top = height - 12 - BUTTON_H;
  auto slot = [&](int n) {
    const int right = width - MARGIN - n * (BUTTON_W + GAP);
    return Rect{right - BUTTON_W, top, right, top + BUTTON_H};
  };
  spec->items.push_back(button(slot(0), "OK"));      // 1
  spec->items.push_back(button(slot(1), "Cancel"));  // 2
}

DialogSpec hidden_text_dialog() {
  constexpr int WIDTH = 440, HEIGHT = 252;
  DialogSpec spec{139, ALERT_NONE, "Hidden Text", {0, 0, WIDTH, HEIGHT}, {}};
  add_buttons(&spec, WIDTH, HEIGHT);
  static const char* const categories[7] = {
      "Metronome marks",      "Dynamics",  "Pedal marks", "MIDI commands", "Parameter changes",
      "Fingerings (stacked)", "Other text"};
  const int columns[2] = {MARGIN, 230};
  spec.items.push_back(label({columns[0], 12, 214, 30}, "Show hidden text on the screen:"));  // 3
  for (int k = 0; k < 7; ++k)  // 4..10
    spec.items.push_back(check({columns[0] + 10, 36 + 22 * k, 214, 54 + 22 * k}, categories[k]));
  spec.items.push_back(label({columns[1], 12, WIDTH - MARGIN, 30}, "Print hidden text:"));  // 11
  for (int k = 0; k < 7; ++k)  // 12..18
    spec.items.push_back(
        check({columns[1] + 10, 36 + 22 * k, WIDTH - MARGIN, 54 + 22 * k}, categories[k]));
  return spec;
}

DialogSpec align_dialog() {
  constexpr int WIDTH = 340, HEIGHT = 200;
  DialogSpec spec{17678, ALERT_NONE, "Align Annotations", {0, 0, WIDTH, HEIGHT}, {}};
  add_buttons(&spec, WIDTH, HEIGHT);
  spec.items.push_back(
      label({MARGIN, 12, WIDTH - MARGIN, 30}, "Line up the selected annotations by:"));  // 3
  static const char* const ways[5] = {"Their top edges", "Their bottom edges", "Their left edges",
                                      "Their centres, under the highest", "Their right edges"};
  for (int k = 0; k < 5; ++k)  // 4..8
    spec.items.push_back(radio({MARGIN + 10, 36 + 22 * k, WIDTH - MARGIN, 54 + 22 * k}, ways[k]));
  return spec;
}

}  // namespace

std::vector<DialogSpec> annotation_dialog_tables() {
  return {hidden_text_dialog(), align_dialog()};
}
