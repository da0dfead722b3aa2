// quit.h: ending the program.
#pragma once

// Ends the process and does not return. With save non-zero the program is quitting
// normally and the exit status is 0; with save 0 (after a fatal report) it is 1.
[[noreturn]] void quit_program(int save);
