// param_editor.h: the parameter editor, the window in which every engraving parameter is shown
// as it is in force at the insertion point and a new value is stored there as a change (a
// PARAM node), never as a new default.
#pragma once

#include <cstdint>
#include <string>

#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/dialogs.h"
#include "platform/events.h"

inline constexpr int PARAM_DIALOG = 13001;

// Items of the editor's dialog.
inline constexpr int PARAM_STORE_ITEM = 1;
inline constexpr int PARAM_CLOSE_ITEM = 2;
inline constexpr int PARAM_NORMAL_ITEM = 4;  // the value for normal notes
inline constexpr int PARAM_SMALL_ITEM = 5;   // the value for small (cue and grace) notes
inline constexpr int PARAM_VALUE_ITEM = 7;   // an integer, coordinate or float
inline constexpr int PARAM_LABEL_ITEM = 8;   // the label of item 9
inline constexpr int PARAM_TEXT_ITEM = 9;    // a character, or the text of a string
inline constexpr int PARAM_SAMPLE_ITEM = 10;
inline constexpr int PARAM_X_ITEM = 12;  // a character's offsets
inline constexpr int PARAM_Y_ITEM = 13;
inline constexpr int PARAM_HEADINGS_ITEM = 14;
inline constexpr int PARAM_THIS_VOICE_ITEM = 15;
inline constexpr int PARAM_ALL_VOICES_ITEM = 16;
inline constexpr int PARAM_ONLY_CONTEXT_ITEM = 17;
inline constexpr int PARAM_NOT_SCORE_ITEM = 18;
inline constexpr int PARAM_ALL_CONTEXTS_ITEM = 19;
inline constexpr int PARAM_ROWS_ITEM = 20;
inline constexpr int PARAM_FONT_NOTE_ITEM = 21;

// ---- The editor ---------------------------------------------------------------------------

// set_param_display: shows the selected parameter's value in force at the note, for the
// size chosen; a character or string also sets text_template's font, size and style.
// Reads: param_cell, param_size_radio, the piece. Writes: the dialog's items, text_template,
// param_size_radio (back to normal notes for a parameter without a small-notes value).
// Failure: level 4 "Illegal parameter type for set_param_display: %hd pindex %hd param_cell:
//          %hd, %hd".
void set_param_display(Drosa note);

// draw_parameter_item: draws the sample (item 10): the character or text of item 9 in
// text_template's font, size and style. Returns 0.
int draw_parameter_item();

// param_dialog_filter: turns one event into an item of the editor: Return and Enter Store,
// Escape Close, a click on a list 14 or 20, a menu command (carried out) 10; false for an
// event the dialog handles itself, or that belongs to another window.
bool param_dialog_filter(DialogRef dialog, EventRecord* event, int* item);

// store_parameter_change: Store: reads the value typed, makes the change and links it before
// the note, or at the note's time in every shown voice, asking first whether later changes
// of the same parameter stay.
// Reads:  the dialog's items, the radio choices, text_template, the piece.
// Writes: PARAM nodes, their "param " texts, the change flags.
// Failure: level 2 "You must specify one character.", "You cannot use a space at the start
//          of your text!", "You can use at most %hd characters!", "This parameter change
//          cannot be stored here because '%s' has no notes beyond this point!" (all voices:
//          checked for every voice before anything is asked or stored), and the range
//          messages of the item readers; each stores nothing.
void store_parameter_change(Drosa note);

// remove_later_param_changes: removes every change of the template's parameter and variant
// after `at` up to the end of its voice, rewriting the "param " texts where each one stood.
// Writes: the voice list, the annotations, the change flags.
void remove_later_param_changes(Drosa at, Drosa templ);

// ---- The lists ----------------------------------------------------------------------------

// find_parameter_heading: with h = -1 rebuilds the heading rows and returns their count;
// otherwise the position in param_order where heading row h begins.
// Reads: param, param_order, the insertion point. Writes: heading_count, heading_position and
// (through find_parameter_edit) the parameter rows.
// Failure: level 4 "Heading number %hd >= %hd in find_parameter_heading()!"; row 0's.
int find_parameter_heading(int h);

// find_parameter_edit: with row = -1 builds the parameter rows of the heading at position *io,
// returns their count and leaves in *io where the next heading starts; with row >= 0 and io
// null returns the row's parameter number; with io given stores the row's changed flag in *io
// and returns the row's position.
// Reads: param, param_order, the insertion point. Writes: param_row_count, param_row_position,
// param_row_changed.
// Failure: level 4 "Parameter list number %hd >= %hd in find_parameter_edit()!"; row 0's (0
// when there are no rows).
int find_parameter_edit(int row, int* io);

// The text of heading row h and of parameter row r of the current heading (" *" after a
// parameter changed at the insertion point).
std::string parameter_heading_text(int h);
std::string parameter_row_text(int r);
