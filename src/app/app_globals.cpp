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
int16_t keyboard_shift = 0;
Rect screen_device;
int midi_out_available = 0;
int start_up_done = 0;

std::string import_fsspec;

int32_t deferred_quit = 0;
uint32_t last_mouse_up_when = 0;
Point last_mouse_up_where;
uint32_t last_key_up_when = 0;
int32_t last_key_up_char = 0;
int32_t note_entry_active = 0;
uint32_t menu_modifiers = 0;

int32_t pending_goto_bar = 0;

ItemEnabledFlags item_enabled_flags;
int32_t first_system_font_item = 0;
int32_t font_menu_count = 0;
int32_t size_menu_sizes[10] = {};
int32_t midi_source_count = 0;
int32_t midi_destination_count = 0;
int32_t duplicate_warnings[6] = {};
int32_t allow_any_alt_click = 0;
int32_t duration_edits_enabled = 0;
int32_t tremolo_warned = 0;
int32_t midi_import_active = 0;
int32_t voice_highlighted = 0;
int32_t recording_from_menu = 0;
int32_t menu_bar_state = 0;

Rect grow_limits;
Point insertion_cross{-1, -1};
Point cross_drawn_at{-1, -1};
Point ruler_mark_at{-1, -1};
int32_t untitled_count = 0;
PlayFollow play_follow;

void reset_app_globals() {
  play_follow = PlayFollow{};
  MODE = MUSIC_MODE;
  current_cursor_id = 0;
  saved_cursor_id = 0;
  quiet_convert_flag = 0;
  palette_window = 0;
  music_window_title.clear();
  console_ref = nullptr;
  main_thread_id = std::thread::id();
  keyboard_shift = 0;
  screen_device = Rect{};
  midi_out_available = 0;
  start_up_done = 0;
  import_fsspec.clear();
  deferred_quit = 0;
  last_mouse_up_when = 0;
  last_mouse_up_where = Point{};
  last_key_up_when = 0;
  last_key_up_char = 0;
  note_entry_active = 0;
  menu_modifiers = 0;
  pending_goto_bar = 0;

  item_enabled_flags = ItemEnabledFlags{};
  first_system_font_item = font_menu_count = 0;
  for (int32_t& size : size_menu_sizes) size = 0;
  midi_source_count = midi_destination_count = 0;
  for (int32_t& flag : duplicate_warnings) flag = 0;
  allow_any_alt_click = duration_edits_enabled = tremolo_warned = midi_import_active = 0;
  voice_highlighted = recording_from_menu = menu_bar_state = 0;
  grow_limits = Rect{};
  insertion_cross = cross_drawn_at = ruler_mark_at = Point{-1, -1};
  untitled_count = 0;
}
