// quit.cpp: the quit path of the program.
//
// After a fatal report the program cannot trust its state enough to save over a piece's own
// file, but it must not lose the user's work either: each changed piece is written to a new
// file beside the old one, and the user is told which.
#include "app/quit.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include "app/app_globals.h"
#include "app/prefs.h"
#include "console/console_services.h"
#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"
#include "platform/application.h"

namespace {

bool quitting = false;
bool exit_failed = false;  // a document the program was started to print could not be opened

// 0 for a quit that kept the preferences and met no failure, else 1; the failure is taken.
int exit_status(int write_prefs) {
  const bool failed = std::exchange(exit_failed, false);
  return write_prefs && !failed ? 0 : 1;
}

bool exists(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

// Writes the current piece to its recovery copy when it has changed; the line for the
// message, empty when there was nothing to write.
std::string recover_current_piece() {
  if (!(DrosaDirty & 1) || voice_count <= 0) return {};
  const std::string path = recovery_path(piece_fsspec);
  if (write_piece_file(0, NIL, path)) return path;
  return "(could not be written: " + path + ")";
}

// Every changed piece of every open view, the current one first.
std::vector<std::string> recover_changed_pieces() {
  std::vector<std::string> written;
  for (int guard = 0; guard < 64; ++guard) {
    const std::string line = recover_current_piece();
    if (!line.empty()) written.push_back(line);
    if (count_open_views() == 0 || !close_view(0)) break;
    const int next = most_recent_view();
    if (next < 0) break;
    copy_from_VIEW_nodes(next);
  }
  return written;
}

void tell_where(const std::vector<std::string>& written) {
  if (written.empty()) return;
  std::string list;
  for (const std::string& line : written) list += "\n" + line;
  std::fprintf(stderr, "Vesk: changed pieces were saved to:%s\n", list.c_str());
  REPORT_ERROR(2, "Vesk must stop. Your changes were saved in new files beside the originals:%s",
               list.c_str());
}

}  // namespace

std::string recovery_path(const std::string& fsspec) {
  const size_t slash = fsspec.find_last_of('/');
  std::string folder = slash == std::string::npos ? "" : fsspec.substr(0, slash + 1);
  std::string name = fsspec.substr(slash == std::string::npos ? 0 : slash + 1);
  if (folder.empty()) {
    const char* home = std::getenv("HOME");
    folder = std::string(home && *home ? home : ".") + "/";
  }
  // The markers of an untitled piece are no part of a file name.
  if (name.rfind(":from: ", 0) == 0) name = name.substr(7);
  std::erase(name, ':');
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  if (name.empty()) name = "New Piece";
  for (int n = 1;; ++n) {
    const std::string suffix = n == 1 ? " (recovered)" : " (recovered " + std::to_string(n) + ")";
    const std::string path = folder + name + suffix + ".vesk";
    if (!exists(path)) return path;
  }
}

void quit_program(int write_prefs) {
  if (quitting) platform_exit(exit_status(write_prefs));
  // Only a test comes back from platform_exit (its exit hook throws): it quits afresh.
  struct Quitting {
    Quitting() { quitting = true; }
    ~Quitting() { quitting = false; }
  } marked;
  if (!write_prefs) tell_where(recover_changed_pieces());
  if (write_prefs) write_prefs_file(1);
  finish_playing();  // every sounding note silenced before the outputs close
  if (midi_out_available & MIDI_OUT_SERVICE) midi_teardown();
  if (midi_out_available & MIDI_OUT_SYNTH) qt_close();
  print_release();
  if (console_ref) {
    console_save_if_needed(console_ref);
    console_dispose_and_free(console_ref);
    console_ref = nullptr;
  }
  platform_exit(exit_status(write_prefs));
}

void fail_exit_status() { exit_failed = true; }
