// print_program.h: the entry of the program that only prints, a library the launcher (main.cpp)
// loads.
#pragma once

// The name the launcher looks the entry up by.
#define VESK_PRINT_PROGRAM_ENTRY "vesk_print_program_main"

// vesk_print_program_main: start-up, then the main loop; ends only through quit_program.
extern "C" [[noreturn]] void vesk_print_program_main(int argc, char** argv);
using PrintProgramEntry = void (*)(int argc, char** argv);
