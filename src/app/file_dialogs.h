// file_dialogs.h: the dialogs in which the user chooses a file.
#pragma once

#include <string>

// make_file_name: the name an untitled piece is proposed under in the save dialog: the old
// name of a ":from: name" copy, else "Untitled.vesk" ("New Piece 2.vesk" and so on for
// ":New Piece:2"); any other name is proposed as it is.
std::string make_file_name(const std::string& fsspec);

// save_file_dialog: the save dialog for a piece (mode 1), told whether graphics are saved and
// whether the piece is published. Proposes *fsspec and fills it with the path chosen. Returns 0
// when the user cancels. In scripted mode the path is the next scripted file name ("" is
// Cancel). The dialog on the screen is not there yet: it says so and counts as cancelled.
int save_file_dialog(int mode, int with_graphics, int published, std::string* fsspec);
