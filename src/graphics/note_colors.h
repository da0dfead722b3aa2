// note_colors.h: the colour of notes and annotations: which colour index (0 black, 1..15 the
// preferences' colour table) a note is drawn in, a note's own colour kept in a COLOR node
// before it, and the colour dialog.
#pragma once

#include "model/model_services.h"
#include "platform/dialogs.h"
#include "platform/port.h"

// The dialog of the colours (resource number) and its items.
inline constexpr int COLOR_DIALOG = 138;
inline constexpr int COLOR_FIRST_SWATCH = 5;  // items 5..20: colour indexes 0..15
inline constexpr int COLOR_LAST_SWATCH = 20;
inline constexpr int COLOR_BY_PITCH_ITEM = 21;

// The colour of voice v when voices are coloured: v % 7 + 1.
int voice_color_index(int v);

// The colour index of a note: by pitch name (C 1 .. B 7) when the preferences ask for it,
// 15 for a note marked by either of the two marking flags the preferences colour, else the
// index of the note's COLOR node, else 0.
// Reads: prefs' colour flags, the note, its COLOR node.
int note_color_index(Drosa note);

// The colour of an index 1..15 in the preferences' colour table; index 0 and anything out of
// range are black.
RgbColour color_table_entry(int index);

// Makes the note's COLOR node agree with current_color_index, with undo: removes it for
// index 0, adds one for a note without, changes its index; a note already of that colour is
// left alone (nothing is recorded).
// Reads: current_color_index. Writes: the voice list (undo recorded); the change flags.
void set_note_COLOR_node(Drosa note);

// When notes are coloured by pitch name, stores each note's colour in its COLOR node (so
// that the file keeps them) and marks every key signature passed (bit 7 of the byte after
// xkey). Called by the piece writer before it writes the nodes.
// Reads: every voice list in the current context. Writes: COLOR nodes (undo recorded),
// KEYSIG nodes, current_color_index.
void recolor_all_notes();

// The modal colour dialog, for the notes at the insertion point or the group selection
// (for_notes non-zero) or for annotations: a swatch chooses a colour, a Shift-click on a
// swatch other than the first redefines its colour, and for notes a check box colours
// notes by pitch name.
// Writes: current_color_index, notes' COLOR nodes, the annotation templates, prefs.
void color_dialog(int for_notes);

// Draws one swatch of the colour dialog (items 5..20) in its table colour.
void color_dialog_sample_proc(DialogRef dialog, int item);
