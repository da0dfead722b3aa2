// annotation_dialogs.cpp: the dialog tables of the annotation commands: Hidden Text (139), a
// check box for each category of hidden text on the screen and in print, and Align (17678),
// the five ways to line up the selected annotations, and the Text Assistant's dialogs. The
// program addresses the items by number; the numbers are the comments' at each item.
#include <algorithm>
#include <vector>

#include "platform/dialog_table_items.h"

namespace {

DialogSpec hidden_text_dialog() {
  constexpr int WIDTH = 440, HEIGHT = 252;
  DialogSpec spec = dialog_with_buttons(139, "Hidden Text", WIDTH, HEIGHT);
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
  DialogSpec spec = dialog_with_buttons(17678, "Align Annotations", WIDTH, HEIGHT);
  spec.items.push_back(
      label({MARGIN, 12, WIDTH - MARGIN, 30}, "Line up the selected annotations by:"));  // 3
  static const char* const ways[5] = {"Their top edges", "Their bottom edges", "Their left edges",
                                      "Their centres, under the highest", "Their right edges"};
  for (int k = 0; k < 5; ++k)  // 4..8
    spec.items.push_back(radio({MARGIN + 10, 36 + 22 * k, WIDTH - MARGIN, 54 + 22 * k}, ways[k]));
  return spec;
}

// The Text Assistant: item 3 shows the text composed; from item 4 on, the text typed and the
// box that asks for older texts of the kind to go, or the pop-ups of the choices.
DialogSpec assistant_text_dialog(int id, const char* title, const char* prompt) {
  constexpr int WIDTH = 420, HEIGHT = 150;
  DialogSpec spec = dialog_with_buttons(int16_t(id), title, WIDTH, HEIGHT);
  spec.items.push_back(label({MARGIN, 12, WIDTH - MARGIN, 30}, prompt));                    // 3
  spec.items.push_back(edit({MARGIN, 36, WIDTH - MARGIN, 58}));                             // 4
  spec.items.push_back(check({MARGIN, 70, WIDTH - MARGIN, 90}, "Replace the older ones"));  // 5
  return spec;
}

DialogSpec assistant_popup_dialog(int id, const char* title, const std::vector<const char*>& labels,
                                  int columns) {
  const int rows = (int(labels.size()) + columns - 1) / columns;
  const int column_width = 190;
  const int width = std::max(360, MARGIN * 2 + columns * column_width);
  const int height = 90 + rows * 28 + BUTTON_H;
  DialogSpec spec = dialog_with_buttons(int16_t(id), title, width, height);
  spec.items.push_back(label({MARGIN, 12, width - MARGIN, 30}, "Text:  "));  // 3
  for (size_t k = 0; k < labels.size(); ++k) {                               // 4, 5, ...
    const int c = int(k) / rows, r = int(k) % rows;
    const int left = MARGIN + c * column_width, top = 40 + r * 28;
    spec.items.push_back(popup({left + 70, top, left + column_width - 8, top + 22}));
  }
  for (size_t k = 0; k < labels.size(); ++k) {
    const int c = int(k) / rows, r = int(k) % rows;
    const int left = MARGIN + c * column_width, top = 40 + r * 28;
    spec.items.push_back(label({left, top + 3, left + 68, top + 21}, labels[k]));
  }
  return spec;
}

std::vector<DialogSpec> assistant_dialogs() {
  std::vector<const char*> grid{"Nut"};
  static const char* const strings[6][2] = {{"String 1", "Bar 1"}, {"String 2", "Bar 2"},
                                            {"String 3", "Bar 3"}, {"String 4", "Bar 4"},
                                            {"String 5", "Bar 5"}, {"String 6", "Bar 6"}};
  for (const auto& s : strings) grid.insert(grid.end(), {s[0], s[1]});
  return {assistant_text_dialog(3568, "Title", "The title:"),
          assistant_text_dialog(3562, "Composer", "The composer:"),
          assistant_text_dialog(3565, "Poet, Lyricist", "The poet or lyricist:"),
          assistant_text_dialog(3563, "Copyright", "The copyright:"),
          assistant_popup_dialog(1422, "Dynamic", {"Dynamic"}, 1),
          assistant_popup_dialog(141, "Tempo Marking", {"Tempo", "Note", "Number"}, 1),
          assistant_popup_dialog(155, "Ornament", {"Ornament"}, 1),
          assistant_popup_dialog(154, "Other Symbols", {"Symbol"}, 1),
          assistant_popup_dialog(143, "Fret Grid", grid, 2),
          assistant_popup_dialog(144, "Chord Symbol",
                                 {"Root", "Quality", "Extension", "Alteration", "Bass"}, 1),
          assistant_popup_dialog(145, "General MIDI", {"Family", "Program"}, 1)};
}

}  // namespace

std::vector<DialogSpec> annotation_dialog_tables() {
  std::vector<DialogSpec> tables{hidden_text_dialog(), align_dialog()};
  for (DialogSpec& spec : assistant_dialogs()) tables.push_back(std::move(spec));
  return tables;
}
