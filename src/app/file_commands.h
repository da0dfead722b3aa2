// file_commands.h: the File menu's commands, and opening a piece in a window of its own.
#pragma once

// file_menu: the File menu's command `item` (Part of the File menu's items, and 17 Quit) from
// `source`, after the file commands' preamble. Quit closes every open view, asking to save a
// changed piece, and then ends the program; cancelling a save stops the quit; while a page is
// being reformatted the quit waits for it (deferred_quit); while recording it is ignored.
// Close closes the current view, asking to save it. Returns 0.
// Reads:  the views, recording_active, reformat_pending. Writes: the views, deferred_quit.
// Failure: the commands not built here are not available yet (level 2).
int file_menu(int item, int source);

// open_piece_window: opens a piece in a new view and its window: kind -1 the file named by
// piece_fsspec, -2 the MusicXML file named by import_fsspec, 1 a file chosen in the open
// dialog. With a piece showing, first asks whether to close its window.
// Writes: the views, piece_fsspec, the music window.
void open_piece_window(int kind);

// Makes the music window the view about to open shows its page in, when there is none;
// after the open, fits the window to the page (opened) or disposes of it (failed).
void prepare_window_for_view();
void finish_window_for_view(int opened);
