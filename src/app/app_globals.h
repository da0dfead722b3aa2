// app_globals.h: the program-wide state of the application frame.
#pragma once

#include <cstdint>
#include <string>
#include <thread>

struct console_record;

// Editing modes of the music window.
enum Mode : int16_t { MUSIC_MODE = 0, TEXT_MODE = 1, LINE_MODE = 2, CURVE_MODE = 3 };
extern int16_t MODE;  // the music window's editing mode

extern int32_t current_cursor_id;  // the id last passed to set_cursor
extern int32_t saved_cursor_id;    // the id put aside by save_cursor

extern char version_string[17];     // the program's version, "%3.2f"
extern const char* version_suffix;  // the release suffix shown after the version

// Set while documents are opened to be printed: the piece reader then asks none of its
// conversion questions (converting as if answered Yes) and shows no Page Setup notice.
extern int16_t quiet_convert_flag;

// Window number of the floating palette dialog; 0 while it is not open.
extern int palette_window;
// The music window's title as display_win_title made it last.
extern std::string music_window_title;

// The console window's record, or nullptr when creating it failed.
extern console_record* console_ref;
// The main thread's identity; no thread (the default id) until start-up stores it.
extern std::thread::id main_thread_id;

void reset_app_globals();
