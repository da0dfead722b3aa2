// script.h: the scripted mode of dialogs and alerts, for tests.
//
// While scripted, no window is shown: every modal dialog and alert takes its answers from a
// queue, and every text shown is recorded. A dialog or alert that finds the queue empty
// records the fault and answers its cancel item (2).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/events.h"
#include "platform/port.h"

void script_begin();  // scripted mode on, queue and records cleared
void script_end();    // scripted mode off
bool script_active();

// Answers, taken in order:
// the item to hit, with the modifier keys held as it is hit;
void script_hit(int item, uint16_t modifiers = 0);
// a text typed into an edit item (replacing its text), then the dialog goes on;
void script_type(int item, const std::string& macroman_text);
// a pop-up entry chosen (from 1), which is an item hit on the pop-up;
void script_choose(int item, int entry);
// an event given to the dialog's filter and then to the dialog (keys, clicks, updates);
void script_event(const EventRecord& event);
// a key pressed (key down, or auto-key when `repeat`);
void script_key(uint8_t character, uint16_t modifiers = 0, bool repeat = false);
// a click at a point of the dialog's port;
void script_click(int x, int y, uint16_t modifiers = 0);
// the next alert cannot be shown (it answers -1);
void script_alert_fails();
// the dialog's port, as it is drawn at that moment, written to a PNG file; the dialog goes on.
void script_save_image(const std::string& path);

// The answer of the next file dialog: the path chosen, or "" for Cancel; a name without a
// folder is taken in the folder the dialog shows first, as one typed into it. File names form
// a queue of their own beside the answers above.
void script_file_name(const std::string& path);
// Takes the next file name; false (and a fault recorded) when none is left.
bool script_take_file_name(std::string* path);

// The answer of the next colour picker: a colour chosen, or Cancel. Colours form a queue of
// their own too.
void script_colour(RgbColour colour);
void script_colour_cancel();
// Takes the next colour answer: false for Cancel, or (with a fault recorded) when none is left.
bool script_take_colour(RgbColour* colour);

// Answers, file names and colours left unused.
int script_pending();

struct ShownText {
  int id;            // dialog or alert number
  std::string text;  // an alert's message, or a dialog's static texts joined by newlines
};
// Everything shown since script_begin (or the last take), oldest first.
std::vector<ShownText> script_take_shown();

// Faults: dialogs that ran out of answers, answers that did not fit the dialog.
std::vector<std::string> script_take_faults();
