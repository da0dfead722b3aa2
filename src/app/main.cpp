// main.cpp: the launcher. Asked for help, it writes how to start the program and ends before
// anything else is loaded. Otherwise it starts the program, one of two files beside it: the
// whole program, started in its place, or, for a run that only prints and so never opens a
// window, the program built without the toolkit's widgets and printing libraries (some thirty
// thousand names fewer for the loader to bind, a good part of a short run). That one is a library
// the launcher loads and runs itself: a process started afresh would map the C library and the
// loader's own files a second time, about a millisecond. Before it, the launcher loads the
// program's font reading (libvesk-fonts.so) and starts it, so that the system's font
// configuration is read while the program is loaded.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

#include "app/command_line.h"
#include "app/print_program.h"
#include "platform/font_reading.h"
#include "platform/print_server.h"

// The launcher uses the C library alone, so that it loads and ends in a moment.

namespace {

constexpr char WINDOWED_PROGRAM[] = "vesk-program";
constexpr char PRINTING_PROGRAM[] = "libvesk-print.so";
constexpr char FONT_READING[] = "libvesk-fonts.so";

// The loader binds the print program's own calls as they are first made; a sanitizer build binds
// them all at once, so that a call left without its definition fails the first run.
#ifdef VESK_LOAD_NOW
constexpr int LOADING = RTLD_NOW | RTLD_LOCAL;
#else
constexpr int LOADING = RTLD_LAZY | RTLD_LOCAL;
#endif

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

void cannot_start(const char* program, const char* why) {
  std::fprintf(stderr, "vesk: the program %s cannot be started: %s\n", program, why);
}

// The stand-in beside the launcher for the libraries the toolkit names that a print never calls
// (src/CMakeLists.txt), and their names, each followed by a colon. Loaded by those names before
// the print program (the launcher's search path leads to links to it), it is taken for the real
// ones, which are then not loaded at all.
#ifdef VESK_PRINT_STAND_INS
constexpr char STAND_IN_NAMES[] = VESK_PRINT_STAND_INS;
#else
constexpr char STAND_IN_NAMES[] = "";
#endif
constexpr char STAND_IN[] = "print-stand-ins/libvesk-stand-ins.so";
constexpr int MOST_STAND_INS = 32;
// In the environment of a print started again after a function of the stand-in was called.
constexpr char NO_STAND_IN[] = "VESK_NO_STAND_IN";
char NO_STAND_IN_SETTING[] = "VESK_NO_STAND_IN=1";

char** command_line = nullptr;  // the launcher's own, for a print started again

// Whether the stand-in is loaded: only for the toolkit's platform that keeps windows off the
// screen, which a print run takes built into the program (a window system's, which it takes when
// asked for one, calls the window system's libraries), and not in a print started again.
bool stand_in_wanted() {
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  return platform && std::strcmp(platform, "offscreen") == 0 && !std::getenv(NO_STAND_IN);
}

// Loads the stand-in by its own file, then by each name (only when it is there: a name alone could
// also be found among the system's libraries), keeping each hold in held[]; returns how many.
int load_stand_ins(void* (&held)[MOST_STAND_INS]) {
  int count = 0;
  char path[4096];
  if (!*STAND_IN_NAMES || !stand_in_wanted() || !program_path(STAND_IN, path, sizeof path))
    return 0;
  void* stand_in = dlopen(path, LOADING);
  if (!stand_in) return 0;
  held[count++] = stand_in;
  for (const char* name = STAND_IN_NAMES; *name && count < MOST_STAND_INS;) {
    const char* end = std::strchr(name, ':');
    if (!end) break;
    char file[256];
    const size_t length = size_t(end - name);
    if (length < sizeof file) {
      std::memcpy(file, name, length);
      file[length] = 0;
      if (void* library = dlopen(file, LOADING)) held[count++] = library;
    }
    name = end + 1;
  }
  return count;
}

// Loads the print program's font reading and starts it: the font configuration is read on its
// thread while the program is loaded. nullptr when it could not be loaded (the program then
// starts the reading itself).
void* start_font_reading() {
  char path[4096];
  if (!program_path(FONT_READING, path, sizeof path)) return nullptr;
  void* library = dlopen(path, LOADING);
  const auto entry =
      library ? reinterpret_cast<FontReadingEntry>(dlsym(library, VESK_FONT_READING_ENTRY))
              : nullptr;
  if (entry) entry();
  return library;
}

bool has_value(const char* variable) {
  const char* value = std::getenv(variable);
  return value && *value;
}

// The launcher started again in the process's place, with the same command line, without the
// stand-ins; returns only when it could not be.
void print_again_without_stand_ins() {
  size_t count = 0;
  while (environ[count]) ++count;
  auto** environment = static_cast<char**>(std::malloc((count + 2) * sizeof(char*)));
  char path[4096];
  const ssize_t path_length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (environment && path_length > 0 && command_line) {
    path[path_length] = 0;
    std::memcpy(environment, environ, count * sizeof(char*));
    environment[count] = NO_STAND_IN_SETTING;
    environment[count + 1] = nullptr;
    execve(path, command_line, environment);
  }
  cannot_start("vesk", std::strerror(errno ? errno : ENOMEM));
}

// Loads the print program and runs it; returns only when it could not be loaded.
void run_printing_program(int argc, char** argv) {
  char path[4096];
  if (!program_path(PRINTING_PROGRAM, path, sizeof path)) {
    cannot_start(PRINTING_PROGRAM, std::strerror(errno ? errno : ENOENT));
    return;
  }
  // A print opens no window: without a platform asked for, it takes the one that keeps windows
  // off any screen (as the print program itself would), so the stand-in serves it too.
  if (!has_value("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  void* stand_ins[MOST_STAND_INS];
  const int stand_in_count = load_stand_ins(stand_ins);
  // The toolkit then waits for events with its own loop, not GLib's, whose library has a
  // stand-in too.
  if (stand_in_count > 0) setenv("QT_NO_GLIB", "1", 1);
  const void* font_reading = start_font_reading();
  void* program = dlopen(path, LOADING);
  if (!program && stand_in_count > 0) {
    // Stand-ins made for libraries since updated may lack a name the toolkit now asks for: the
    // program is loaded once more with the real ones, in a process started afresh when the font
    // reading holds the stand-ins.
    if (font_reading) print_again_without_stand_ins();
    for (int i = 0; i < stand_in_count; ++i) dlclose(stand_ins[i]);
    program = dlopen(path, LOADING);
  }
  const auto entry =
      program ? reinterpret_cast<PrintProgramEntry>(dlsym(program, VESK_PRINT_PROGRAM_ENTRY))
              : nullptr;
  if (!entry) {
    const char* why = dlerror();
    cannot_start(PRINTING_PROGRAM, why ? why : "it has no entry");
    return;
  }
  entry(argc, argv);
}

}  // namespace

// Called by a function of the stand-in, which it names, were a print ever to reach one: the
// launcher is started again in the process's place, with the same command line, to print with
// the real libraries (a temporary file of the print under way may be left beside its document).
extern "C" [[gnu::visibility("default"), noreturn]] void vesk_stand_in_called(
    const char* function) {
  char line[512];
  const int length =
      std::snprintf(line, sizeof line,
                    "vesk: %s was called, which a print does without: printing again\n", function);
  if (length > 0) (void)!write(STDERR_FILENO, line, std::min(size_t(length), sizeof line - 1));
  print_again_without_stand_ins();
  std::abort();
}

int main(int argc, char** argv) {
  command_line = argv;
  if (command_line_asks_for_help(argc, argv)) {
    write_command_line_usage(stdout);
    return 0;
  }
  // A run that only prints goes to the default printer when there is one: the toolkit's
  // printing library, which lists the printers, comes only with the whole program.
  if (command_line_needs_no_window(argc, argv)) {
    if (!print_server_may_answer()) {
      run_printing_program(argc, argv);
      return 127;
    }
    // The whole program prints too without a window: where no window system is named (a remote
    // shell, a server), it takes the platform that keeps windows off any screen rather than
    // failing to start.
    if (!has_value("QT_QPA_PLATFORM") && !has_value("DISPLAY") && !has_value("WAYLAND_DISPLAY"))
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  char path[4096];
  if (program_path(WINDOWED_PROGRAM, path, sizeof path)) execv(path, argv);
  cannot_start(WINDOWED_PROGRAM, std::strerror(errno ? errno : ENOENT));
  return 127;
}
