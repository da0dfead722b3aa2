// hidden_text.h: where hidden text shows (the screen, print, both or neither, by its category
// and the preferences' hide word), the Hidden Text dialog, and the Align command.
#pragma once

#include "annotations/anno_services.h"
#include "model/model_services.h"

// Screen bits of the categories of hidden text in the preferences' hide word; the print bit
// of each is the same bit of the low byte. A set bit shows the category.
enum HiddenTextBit : uint16_t {
  SHOW_METRONOME = 0x8000,
  SHOW_DYNAMICS = 0x4000,
  SHOW_MIDI_COMMANDS = 0x2000,
  SHOW_PARAMETER_COMMANDS = 0x1000,
  SHOW_OTHER_TEXT = 0x0800,
  SHOW_PEDAL_MARKS = 0x0400,
  SHOW_VERTICAL_TEXT = 0x0200,
};

// hidden_text_category: the screen bit of a TPARAM's category: a command text (parameter or
// MIDI), a metronome mark, a dynamic, a pedal mark, else vertical text (xfing) or other text.
uint16_t hidden_text_category(Drosa tparam, Drosa note);
// hidden_text_check: 1 when the text shows on the screen (screen 1) or in print (0): always
// when it is not Hidden, else by its category's bit.
// Reads: prefs (the hide word). Failure: level 4 "Bad call to hidden_text_check!" for a node
// that is not a TPARAM seen in the current context; 0.
int hidden_text_check(Drosa tparam, Drosa note, int screen);
// hidden_text_where: 1 shown everywhere, 2 on the screen only, 3 in print only, -1 nowhere.
// Failure: as hidden_text_check; -1.
int hidden_text_where(Drosa tparam, Drosa note);

// align_one_anno: moves one annotation to the alignment chosen (the callback of the second
// pass).
void align_one_anno(Drosa anno);
