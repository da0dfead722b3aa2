// file_commands.h: the File menu's commands (New, Open, Close, the saves, Revert, Layout, the
// print commands and Quit) and opening a piece in a window of its own.
#pragma once

#include <cstdint>

// Items of the File menu, counted with its separators; Quit is not shown in the menu.
enum FileCommand {
  FILE_COMMAND_NEW = 1,
  FILE_COMMAND_OPEN = 2,
  FILE_COMMAND_CLOSE = 4,
  FILE_COMMAND_SAVE = 6,
  FILE_COMMAND_SAVE_AS = 7,
  FILE_COMMAND_SAVE_PUBLISHED = 8,
  FILE_COMMAND_REVERT = 10,
  FILE_COMMAND_LAYOUT = 12,
  FILE_COMMAND_PRINT_SETUP = 13,
  FILE_COMMAND_PRINT = 14,
  FILE_COMMAND_PRINT_MULTIPLE = 15,
  FILE_COMMAND_QUIT = 17,
};

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

// file_menu: runs a File command after file_preamble. 1 when the command was carried out; 0
// when the user cancelled it, it was refused or failed (each after its own message), or the
// item is not a command.
// Reads:  the current view and its piece, menu_modifiers (through the dialogs),
//         recording_active, reformat_pending. Writes: the views, piece_fsspec, the piece file,
//         DrosaDirty, deferred_quit; Quit may end the program.
// Failure: level 4 "Item %hd in File menu unrecognized!"; Revert's level 2 "You must close
//          (without saving) the other windows on this piece before you can Revert!" and the
//          file's own error when it cannot be read again (nothing is closed then).
int file_menu(int item, int source);

// open_piece_window: opens a piece in a new view with a window of its own (see OpenKind). With
// a piece showing, first asks "Close '%s' window?": Yes closes it (asking to save), No keeps it
// open behind the new one. A cancelled dialog or a failed open makes the view used last current
// again. 1 when the new view holds its piece. An imported piece has no file of its own: it is
// named ":from: " and the document's name, so that saving it asks for a name.
// Reads:  piece_fsspec, import_fsspec, the views. Writes: as open_view; piece_fsspec,
//         import_fsspec (the dialogs), the music window.
int open_piece_window(int kind);

// Makes the music window the view about to open shows its page in, when there is none;
// after the open, fits the window to the page (opened) or disposes of it (failed).
void prepare_window_for_view();
void finish_window_for_view(int opened);
