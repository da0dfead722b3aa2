// main.cpp: the launcher. Asked for help, it writes how to start the program and ends before
// anything else is loaded. Otherwise it starts the program in its place, one of two files
// beside it: the whole program, or, for a run that only prints and so never opens a window,
// the program built without the toolkit's widgets and printing libraries (some thirty thousand
// names fewer for the loader to bind, a good part of a short run).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "app/command_line.h"
#include "platform/print_server.h"

// The launcher uses the C library alone, so that it loads and ends in a moment.

namespace {

constexpr char WINDOWED_PROGRAM[] = "vesk-program";
constexpr char PRINTING_PROGRAM[] = "vesk-print";

// The program's path beside the launcher's own file (symbolic links followed); false when it
// cannot be read.
bool program_path(const char* program, char* path, size_t size) {
  const ssize_t length = readlink("/proc/self/exe", path, size);
  if (length <= 0 || size_t(length) >= size) return false;
  size_t folder = size_t(length);  // up to the last slash, kept
  while (folder > 0 && path[folder - 1] != '/') --folder;
  const size_t name = std::strlen(program) + 1;
  if (folder == 0 || folder + name > size) return false;
  std::memcpy(path + folder, program, name);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (command_line_asks_for_help(argc, argv)) {
    write_command_line_usage(stdout);
    return 0;
  }
  // A run that only prints goes to the default printer when there is one: the toolkit's
  // printing library, which lists the printers, comes only with the whole program.
  const bool printing_only = command_line_needs_no_window(argc, argv) && !print_server_may_answer();
  const char* program = printing_only ? PRINTING_PROGRAM : WINDOWED_PROGRAM;
  char path[4096];
  if (program_path(program, path, sizeof path)) execv(path, argv);
  std::fprintf(stderr, "vesk: the program %s cannot be started: %s\n", program,
               std::strerror(errno ? errno : ENOENT));
  return 127;
}
