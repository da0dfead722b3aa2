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
// The program that only prints has the copy of its music font that the build puts beside it
// (VESK_MUSIC_FONT_COPY) described by fontconfig on the reading's thread, before the
// configuration is read. Waits for that, then returns the description (the caller's to destroy)
// and the copy's path, kept for the program's life; null after it was taken, or where there is
// none (the program with windows describes its font itself).
typedef struct _FcPattern FcPattern;
#define VESK_MUSIC_FONT_COPY "vesk-music-font.otf"
FcPattern* platform_take_music_font_description(const char** file);
// Waits for the thread to end; the process may then end (a thread left running when it ends would
// end it abnormally).
void platform_end_font_configuration();
