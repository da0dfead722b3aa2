// debug_dump.cpp: the debug stream.
#include "model/debug_dump.h"

#include <cstdio>

void debug_out(const char* text) { std::fputs(text, stdout); }
