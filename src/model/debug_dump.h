// debug_dump.h: the debug stream, to which dumps and long diagnostics are written.
#pragma once

// Writes the text to the debug stream (standard output, which the console window shows).
void debug_out(const char* text);
