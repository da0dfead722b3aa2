// file_dialogs.h: the dialogs in which the user chooses a file to open or a name to save
// under, for the five kinds of file the program reads and writes.
#pragma once

#include <string>

#include "app/app_services.h"

inline constexpr const char* PIECE_EXTENSION = ".vesk";
inline constexpr const char* SCRIPT_EXTENSION = ".vscr";

// make_file_name: `in`'s name (after its last '/'), its own extension (from its last '.')
// replaced by `extension` (whose leading '.' is not doubled), every ':' removed, at most 63
// bytes (never cutting a character in two); empty when `in` has no name.
void make_file_name(std::string* out, const std::string& in, const char* extension);
