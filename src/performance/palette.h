// palette.h: the note-attribute palette under the piano window's keyboard: 35 boxes, one per
// attribute of the next entered note (articulations, tie, slur, parentheses, tremolo, cue,
// glissando, note head, grace, tuplet, the nine note values with their dots, the five
// accidentals, the octave arrows, Add/Kill), and the two rows of special accidentals shown
// while a special-accidental set is chosen.
//
// The palette shows and edits current_note_template. In entry mode (an entry note and no group
// selection) it edits only the template; otherwise drawing it first reads the selection's
// common values into the template, and a click gives the new value to the selected notes too,
// with undo. With Enable Duration Edits on, the Add box reads Kill and the note-value and
// tuplet boxes edit the selection.
#pragma once

#include <cstdint>

#include "model/model_services.h"
#include "performance/performance_services.h"
#include "platform/geometry.h"

inline constexpr int PALETTE_BOXES = 35;

// PaletteDrawsHeld: while one is alive, draw_piano_window only notes that the palette is to be
// drawn; when the last goes, the palette is drawn once if it was asked for. For work that asks
// for the palette many times and lets no one look in between (opening a document).
// Reads and writes: palette_draws_held, palette_draw_waiting; as draw_piano_window.
class PaletteDrawsHeld {
 public:
  PaletteDrawsHeld();
  ~PaletteDrawsHeld();
  PaletteDrawsHeld(const PaletteDrawsHeld&) = delete;
  PaletteDrawsHeld& operator=(const PaletteDrawsHeld&) = delete;
};

// ---- Boxes -----------------------------------------------------------------------------------

// boxnum_to_rect: a box's rectangle in the window.
// Failure: level 4 "Logic error in boxnum_to_rect (pianowin)" for a box outside the table (a
//          full-height rectangle of column 0).
void boxnum_to_rect(int box, Rect* rect);
// palette_box_at: the box under a point of the window, -1 none.
int palette_box_at(Point where);
// in_entry_mode: there is an entry note and no group selection.
bool in_entry_mode();

// ---- Drawing -----------------------------------------------------------------------------------

// redraw_piano_box: the palette drawn with the clip set to one box.
void redraw_piano_box(int box);

// piano_draw_ratio: n, and when m is not 1 a bar and m, in the tuplet numbers' font;
// piano_draw_string: a text in that font, plain. Both keep the port's font, face and size.
void piano_draw_ratio(int n, int m);

void piano_draw_string(const char* text);

// draw_spacc_box_symbol: the open square of the last box (the annotation palette's).
void draw_spacc_box_symbol();

// ---- Clicks

// --------------------------------------------------------------------------------------
// palette_click: acts on a click on a box (double: a double click, which opens the grace and
// tuplet dialogs): changes the template and, outside entry mode, the selection (one undo step).
// Nothing happens for a piece whose notes cannot change, nor outside entry mode on a box not
// usable there.
void palette_click(int box, bool double_click);

// ---- Special accidentals ------------------------------------------------------------------------

// click_special_accidental_rows: adds the special accidental under the point to the group;
// false when the point is on none (or no group is chosen).
bool click_special_accidental_rows(Point where);

// add_special_accidental: appends a code to the chosen group (at most 15).
void add_special_accidental(int code);

// clear_special_accidental_choice: empties the chosen group.
void clear_special_accidental_choice();

// set_duration_cb: the note takes the template's value and dots; set_tuplet_cb its tuplet (and the
// nested tuplet chosen, as a NEST before it); both record the chord's notes for undo and give the
// chord its playback afresh.
void set_duration_cb(Drosa note);
void set_tuplet_cb(Drosa note);
// insert_rest_cb: a rest of the note's value goes before its chord when a clef, key, bar line
// or staff setting stands right before the chord.
void insert_rest_cb(Drosa note);
