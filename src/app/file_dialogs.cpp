// file_dialogs.cpp: the save dialog of pieces.
//
// Only its scripted form exists yet: tests and scripts give the path chosen. On the screen it
// tells the user that saving under a new name is not available.
#include "app/file_dialogs.h"

#include "model/model_services.h"
#include "platform/script.h"

std::string make_file_name(const std::string& fsspec) {
  size_t slash = fsspec.find_last_of('/');
  std::string folder = slash == std::string::npos ? "" : fsspec.substr(0, slash + 1);
  std::string name = fsspec.substr(slash == std::string::npos ? 0 : slash + 1);
  if (name.rfind(":from: ", 0) == 0) return folder + name.substr(7);
  if (name.rfind(":New Piece:", 0) == 0) {
    std::string count = name.substr(11);
    return folder + (count.empty() ? "Untitled.vesk" : "New Piece " + count + ".vesk");
  }
  return fsspec;
}

int save_file_dialog(int /*mode*/, int /*with_graphics*/, int /*published*/, std::string* fsspec) {
  if (!script_active()) {
    REPORT_ERROR(2, "%s", "Saving under a new name is not available yet.");
    return 0;
  }
  std::string path;
  if (!script_take_file_name(&path) || path.empty()) return 0;
  *fsspec = path;
  return 1;
}
