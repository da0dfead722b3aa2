// file_commands.h: the File menu's commands (New, Open, Close, the saves, Revert, Layout, the
// print commands and Quit) and opening a piece in a window of its own.
#pragma once

#include <cstdint>

#include "app/app_services.h"

// Kinds of open_piece_window.
enum OpenKind {
  OPEN_NEW = 0,            // a new piece
  OPEN_CHOSEN = 1,         // a piece file chosen in the open dialog
  OPEN_IMPORT = 2,         // a MusicXML document chosen in the open dialog
  OPEN_NAMED = -1,         // the piece file piece_fsspec names
  OPEN_IMPORT_NAMED = -2,  // the MusicXML document import_fsspec names
};

// file_preamble: what every command of the File, Import and Export menus does first: stops
// playback, finishes the text being edited, ends annotation editing (not for Print... while a
// page rectangle is selected, which prints that rectangle) and opens an undo step.
// Writes: MODE, the text being edited, the undo list.
void file_preamble(int item);

// open_piece_window: opens a piece in a new view with a window of its own (see OpenKind). With
// a piece showing, first asks "Close '%s' window?": Yes closes it (asking to save), No keeps it
// open behind the new one. A cancelled dialog or a failed open makes the view used last current
// again. 1 when the new view holds its piece. An imported piece has no file of its own: it is
// named ":from: " and the document's name, so that saving it asks for a name.
// Reads:  piece_fsspec, import_fsspec, the views. Writes: as open_view; piece_fsspec,
//         import_fsspec (the dialogs), the music window, untitled_count (a new piece's number,
//         given back when the piece is not made).
int open_piece_window(int kind);
