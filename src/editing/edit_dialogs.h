// edit_dialogs.h: the dialogs that edit settings of the piece and the program directly: Layout,
// Options and Internal Fields. Each reads every field and checks its range before anything
// changes; a value out of range is said ("Illegal ...; please use ...") and the dialog stays.
#pragma once

// layout_dialog: the Layout command (File menu, and the first item of the Zoom menu): for the
// notation contexts chosen first ("Change Layout for Which Contexts?"), the page size (inches
// or centimetres), the margins around the staves (points), the minimum line width and the
// zoom; with the thinnest PostScript line and its switch, and whether the console window
// shows. 1 when confirmed, 0 when cancelled (nothing changed but the unit of the page size).
// Reads:  options_struct of the current context, prefs, zoom_factor, console_ref.
// Writes: options_struct (record 0 as scratch, and the chosen contexts' page size, margins,
//         line width, zoom divisor and window flag), prefs (bytes 393, 394), zoom_factor and
//         the offscreen page when the size or zoom changed, DrosaDirty when a context's values
//         changed (kept as it was for a published Score), the views flagged for reformatting.
// Failure: the range messages; level 4 "Memory logic error in layout_dialog()" when the
//          offscreen page cannot be made again (the values stay stored).
int layout_dialog();

// options_dialog: the Options command (Edit menu): the switches and numbers of the options
// records (for a piece with voices, of the contexts chosen first, "Change Options for Which
// Notation Contexts?"; the bar number, clef and key at each system, three-key rests and locked
// notes of every context), the MIDI output, the music font, the default zoom and display
// preferences. 1 when confirmed, 0 when cancelled (nothing changed).
// Reads:  options_struct of the current context, prefs, output_available, the fonts found.
// Writes: options_struct (record 0 as scratch), prefs, parameter 221 (the note spacing typed),
//         the parameter table (rebuilt when the music font changes), default_scale, the piano
//         window's place.
// Failure: the range messages of "bar number", "page number", "Note spacing factor" and
//          "default zoom factor"; the dialog stays open.
int options_dialog();

// internal_fields_dialog: the Internal Fields command (Note menu): every stored field of the
// note or rest at the insertion point by its internal name; OK replaces the note by a copy
// with the fields typed (bits the dialog does not show kept; the pitch-edited and
// volume-edited marks set when the pitch or volume changes), under undo, and makes it the
// insertion point. With the debug modifier held the note's layout records are shown first.
// 1 when the note was replaced; 0 without an insertion point, after Cancel, when nothing
// changed, or when the edit would set or clear the end of its chord or (without duration
// edits) make a note a grace note or the other way (said at level 2).
// Reads:  insertion_point, duration_edits_enabled, the layout records of the note.
// Writes: the voice list, the undo history, insertion_point, the flashing note.
// Failure: the range messages of the fields; the dialog stays open.
int internal_fields_dialog();
