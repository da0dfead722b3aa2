// file_dialog.h: the system's dialogs for choosing a file to open or a name to save under.
//
// On a display they are the toolkit's own (non-native) file dialogs, run in the program's
// event loop while they are shown; in scripted mode the answer is the script's next file name
// (script.h), and what the dialog would have shown is recorded as its text.
#pragma once

#include <string>
#include <vector>

// The number under which a scripted file dialog records what it shows (script_take_shown).
inline constexpr int FILE_DIALOG_ID = -1;

struct FileDialogRequest {
  bool save = false;
  std::string client;                // the program's name
  std::string title;                 // the window title
  std::string message;               // the line of advice under the files
  std::string action_button;         // the text of the Open or Save button
  std::string preference_key;        // the folder last used under this key is offered again
  std::vector<std::string> filters;  // name filters ("Vesk pieces (*.vesk)"), the first chosen
  std::string default_name;          // save: the name proposed
  std::string folder;                // the folder shown first; empty: the one last used
};

// Runs the dialog; true with the path chosen, false when cancelled. Only one file can be
// chosen. The folder of the file chosen is remembered under the request's key, and as the
// folder last used by any file dialog, in "Folders" of the program's configuration folder
// ($XDG_CONFIG_HOME/Vesk, else ~/.config/Vesk), so that later runs start there too.
bool platform_file_dialog(const FileDialogRequest& request, std::string* path);

// The folder the dialog shows first: the request's folder when it exists, else the one last
// used under its key, else the one last used by any file dialog, else the home folder.
std::string platform_file_dialog_folder(const FileDialogRequest& request);
// Test double: forgets the folders kept in memory, so that they are read again from the file
// as a new run would.
void platform_forget_file_dialog_folders();
