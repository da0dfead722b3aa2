// file_errors.h: result codes of file, resource, clipboard and printing operations as texts
// for the user.
#pragma once

#include <cstdint>
#include <string>

// 1 when code is 0 (nothing is shown). Otherwise shows the code's text, after "context: "
// when the context is not empty, and returns 0; code -49 (the file is already open) asks
// instead and returns the answer (1 go ahead, 0 stop).
int report_file_error(int16_t code, const char* context);

// The message shown when a piece does not fit into the node store.
void out_of_memory_alert();

// Words for what the system said (errno) went wrong with the file or folder at `path`, naming
// it: "you may not change the folder '/a'", "'/a/b' is a symbolic link that leads round in a
// loop". `folder` says which of the two `path` is, `writing` whether it was to be changed.
std::string file_problem_text(int error_number, const std::string& path, bool folder, bool writing);

// Words for an existing `path` that is not a regular file (st_mode from stat), or "" when it is
// one: "'/a' is a folder, not a file".
std::string not_a_file_text(const std::string& path, unsigned st_mode);
