// app_globals.cpp: definitions of the application frame's program-wide state.
#include "app/app_globals.h"

int16_t MODE = MUSIC_MODE;

int32_t current_cursor_id = 0;
int32_t saved_cursor_id = 0;

char version_string[17] = "9.14";
const char* version_suffix = ".9.6";

int16_t quiet_convert_flag = 0;

int palette_window = 0;
std::string music_window_title;

console_record* console_ref = nullptr;
std::thread::id main_thread_id;

void reset_app_globals() {
  MODE = MUSIC_MODE;
  current_cursor_id = 0;
  saved_cursor_id = 0;
  quiet_convert_flag = 0;
  palette_window = 0;
  music_window_title.clear();
  console_ref = nullptr;
  main_thread_id = std::thread::id();
}
