// font_reading.h: the system's font configuration read on a thread of its own while the program
// starts, and waiting for it. The program that only prints has it in a library of its own
// (libvesk-fonts.so), which its launcher loads and starts before the program itself: the
// configuration is then read while the loader binds the toolkit's libraries. C library and
// C++ declarations only, for the launcher too.
#pragma once

// The name the launcher looks the start up by, in libvesk-fonts.so.
#define VESK_FONT_READING_ENTRY "vesk_start_font_reading"

// Starts the thread reading the font configuration, once: a second call does nothing.
extern "C" void vesk_start_font_reading();
using FontReadingEntry = void (*)();

// Starts the reading unless it was started (platform_start calls it).
void platform_start_font_configuration();
// Waits until the configuration is current and its fonts are built.
void platform_wait_font_configuration();
// A program that only prints has its fonts without the rules that substitute and match them:
// this reads those the first time it is called, from any thread (the others wait meanwhile);
// call it before anything substitutes, matches or looks for fallbacks with the system's
// configuration.
void platform_wait_font_rules();
// Waits for the thread to end; the process may then end (a thread left running when it ends would
// end it abnormally).
void platform_end_font_configuration();
