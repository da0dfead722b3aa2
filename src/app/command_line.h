// command_line.h: the options of the program's command line.
#pragma once

#include <cstdio>

// command_line_asks_for_help: whether an argument is "--help" or "-h" (looked at before the
// window system starts, so that the answer needs no display).
bool command_line_asks_for_help(int argc, char** argv);

// write_command_line_usage: the short text on how to start the program, to out.
void write_command_line_usage(std::FILE* out);

// command_line_needs_no_window: whether the program is started only to print: "--print" and
// the documents after it, with no document to open and no argument that looks like an option
// (the window system's own options are taken out of the arguments only when it starts, and
// one of them may want a window). Looked at before the toolkit is loaded.
bool command_line_needs_no_window(int argc, char** argv);

// report_unknown_option: the first argument that begins with '-' and is no option of the
// program (the window system has taken its own out of argv by then) is named on err with a
// hint to --help; returns whether there was one. A lone "-" is taken as a file name.
bool report_unknown_option(int argc, char** argv, std::FILE* err);
