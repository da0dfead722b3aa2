// command_line.cpp: the options of the command line. The program takes the documents to open,
// "--print" before the documents to print without the dialog, and "--help"; anything else that
// looks like an option is refused before a window opens, rather than read as a file name.
#include "app/command_line.h"

#include <cstring>

namespace {

bool is_help(const char* argument) {
  return std::strcmp(argument, "--help") == 0 || std::strcmp(argument, "-h") == 0;
}

}  // namespace

bool command_line_asks_for_help(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (argv[i] && is_help(argv[i])) return true;
  return false;
}

void write_command_line_usage(std::FILE* out) {
  std::fputs(
      "Usage: vesk [FILE...] [--print FILE...]\n"
      "Opens each FILE (a Vesk piece or a MusicXML document) in a music window.\n"
      "\n"
      "  --print FILE...  print the files that follow on the default printer, without the\n"
      "                   Print dialog (with no printer, to a PDF file beside each: FILE\n"
      "                   with the extension .pdf); with nothing to open, quit when they\n"
      "                   are printed\n"
      "  -h, --help       show this text and quit\n",
      out);
}

bool command_line_needs_no_window(int argc, char** argv) {
  bool printing = false, documents = false;
  for (int i = 1; i < argc && argv[i]; ++i) {
    const char* argument = argv[i];
    if (std::strcmp(argument, "--print") == 0) {
      printing = true;
      continue;
    }
    if (argument[0] == '\0') continue;
    if (argument[0] == '-' && argument[1] != '\0') return false;
    if (!printing) return false;  // a document to open
    documents = true;
  }
  return documents;
}

bool report_unknown_option(int argc, char** argv, std::FILE* err) {
  for (int i = 1; i < argc; ++i) {
    const char* argument = argv[i];
    if (!argument || argument[0] != '-' || argument[1] == '\0') continue;
    if (std::strcmp(argument, "--print") == 0 || is_help(argument)) continue;
    std::fprintf(err, "vesk: unknown option '%s'\nTry 'vesk --help' for the options.\n", argument);
    return true;
  }
  return false;
}
