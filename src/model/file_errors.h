// file_errors.h: result codes of file, resource, clipboard and printing operations as texts
// for the user.
#pragma once

#include <cstdint>

// 1 when code is 0 (nothing is shown). Otherwise shows the code's text, after "context: "
// when the context is not empty, and returns 0; code -49 (the file is already open) asks
// instead and returns the answer (1 go ahead, 0 stop).
int report_file_error(int16_t code, const char* context);

// The message shown when a piece does not fit into the node store.
void out_of_memory_alert();
