// key_names.h: the modifier keys as this platform names them in the texts the user reads.
#pragma once

#include <string>

// platform_key_names: the text with the program's names of the modifier keys given as they
// are called here, as the menus show them: Command is Ctrl, Option is Alt and Control is Meta.
// Only a name that stands for a key changes: one joined to a letter ("Command-X" becomes
// "Ctrl+X") or to a word ("Option-click" becomes "Alt-click"), one followed by " key", and one
// after "down ", "holding ", "(not " or "Shift-"; "menu option" and "control point" stay.
std::string platform_key_names(const std::string& text);
