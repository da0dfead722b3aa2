// quit.h: ending the program.
#pragma once

#include <string>

// quit_program: the one way out of the process. With write_prefs (the Quit command, the quit
// event) the preferences are written and the exit status is 0. Without (a fatal report) every
// changed piece is first written to a recovery copy beside its file, never over it, and the
// user is told where; the exit status is 1. Then MIDI, printing and the console are closed
// (each only when it was set up). A fatal report during the quit ends the process at once.
// Reads: prefs, the open views, midi_out_available, console_ref.
// Writes: the preferences file, the recovery copies.
[[noreturn]] void quit_program(int write_prefs);

// The path a recovery copy of a piece's file is written to: beside it (an untitled piece in
// the home folder), its name followed by " (recovered)" or " (recovered N)" and ".vesk", a
// name no file has yet.
std::string recovery_path(const std::string& fsspec);
