// file_dialogs.h: the dialogs in which the user chooses a file to open or a name to save
// under, for the five kinds of file the program reads and writes.
#pragma once

#include <string>

// File kinds: 0 any, 1 a piece, 2 a MIDI file, 3 MusicXML, 4 a script.
enum FileKind { FILE_ANY = 0, FILE_PIECE = 1, FILE_MIDI = 2, FILE_MUSICXML = 3, FILE_SCRIPT = 4 };
inline constexpr const char* PIECE_EXTENSION = ".vesk";
inline constexpr const char* SCRIPT_EXTENSION = ".vscr";

// The file specification a dialog of that kind fills: kind 1 is piece_fsspec, kind 3
// import_fsspec; a kind out of 0..4 counts as 0.
std::string* file_spec_of_kind(int kind);

// open_file_dialog: the open dialog of a kind (its absolute value; above 4 counts as 0); one
// file only. 1 with the file in file_spec_of_kind(kind), else 0 and nothing changed.
int open_file_dialog(int kind);

// save_file_dialog: the save dialog of a kind (negative: the folder is not preset), for a
// piece told whether it is saved published and with graphics. Exports (kinds 2 and 3) propose
// the piece's name with their extension; an empty name proposes "New Piece" and the kind's
// extension. 1 with the path in file_spec_of_kind(kind), else 0 and nothing changed. The file
// itself is made by the writer, not by the dialog.
int save_file_dialog(int kind, int published, int graphics);

// make_file_name: `in`'s name (after its last '/'), its own extension (from its last '.')
// replaced by `extension` (whose leading '.' is not doubled), every ':' removed, at most 63
// bytes (never cutting a character in two); empty when `in` has no name.
void make_file_name(std::string* out, const std::string& in, const char* extension);
