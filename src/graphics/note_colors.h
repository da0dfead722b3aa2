// note_colors.h: the colour of notes and annotations: which colour index (0 black, 1..15 the
// preferences' colour table) a note is drawn in, a note's own colour kept in a COLOR node
// before it, and the colour dialog.
#pragma once

#include "graphics/ge_services.h"
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

// While one is held (on the main thread, by a drawing pass that changes no colour), the colour
// index of the note note_color_index was asked for last is kept for its next elements rather
// than looked up again.
class NoteColorMemo {
 public:
  NoteColorMemo();
  ~NoteColorMemo();
  NoteColorMemo(const NoteColorMemo&) = delete;
  NoteColorMemo& operator=(const NoteColorMemo&) = delete;
};

// The colour of an index 1..15 in the preferences' colour table; index 0 and anything out of
// range are black.
RgbColour color_table_entry(int index);

// Draws one swatch of the colour dialog (items 5..20) in its table colour.
void color_dialog_sample_proc(DialogRef dialog, int item);
