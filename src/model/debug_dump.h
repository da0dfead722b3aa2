// debug_dump.h: the debug stream and the chooser of text dumps.
#pragma once

// Writes the text to the debug stream (standard output, which the console window shows).
void debug_out(const char* text);

// Asks which dump to write (the message, when given, heads the question) and acts on the
// answer: closes the stream, toggles the debugging switches, or writes a dump.
void debug_dump_menu(const char* message);
