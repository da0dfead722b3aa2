// app_globals.h: the program-wide state of the application frame.
#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "app/app_services.h"

struct console_record;

struct Control;

extern int32_t saved_cursor_id;  // the id put aside by save_cursor

// The music window's title as display_win_title made it last.
extern std::string music_window_title;

// ---- Start-up ----------------------------------------------------------------------------

extern Rect screen_device;  // the screen the program lays its windows out on
extern int start_up_done;   // set once start-up has reached the main loop

// ---- Files the dialogs chose --------------------------------------------------------------

// The file of a MusicXML import (the file dialog's kind 3; kind 1 is piece_fsspec).
extern std::string import_fsspec;

// ---- The main loop ------------------------------------------------------------------------

extern int32_t deferred_quit;        // quit once no reformat is pending
extern uint32_t last_mouse_up_when;  // the last mouse-up without Command or Option
extern Point last_mouse_up_where;
extern uint32_t last_key_up_when;  // the last key-up without Command or Option
extern int32_t last_key_up_char;

// ---- The menus ------------------------------------------------------------------------------

extern int32_t first_system_font_item;  // the Font item of the first installed font (8)
extern int32_t font_menu_count;         // the Font menu's item count
extern int32_t midi_source_count;       // MIDI Input's items: the sources and 2
extern int32_t midi_destination_count;  // MIDI Output's items: the destinations and 3
// What the annotations counted for the Duplicate and Clear commands: settings unusual for At
// Each System, On Each Page, In Every Context, then repetitions of each kind present.
extern int32_t duplicate_warnings[6];
extern int32_t allow_any_alt_click;  // Edit > Allow Any Alt-click
extern int32_t tremolo_warned;       // the tremolo check warned during this command
extern int32_t midi_import_active;   // 1 while Import > MIDI... runs
extern int32_t recording_from_menu;  // 1 while Voice > Record... runs
extern int32_t menu_bar_state;       // 1, or 3 with a music window, at the last bar redraw

// ---- The music window ---------------------------------------------------------------------

// Its other state is the graphics code's: the page image, its size, the scroll position
// (scroll_h, scroll_v: the scroll bars' values) and the window's port (music_window_port).
extern Rect grow_limits;        // smallest (left, top) and largest (right, bottom) size
extern Point insertion_cross;   // x = h, y = v in page units, v upward; -1: not shown
extern Point cross_drawn_at;    // window point where the cross was drawn; (-1, -1) none
extern Point ruler_mark_at;     // window point where the ruler marks were drawn; (-1, -1)
extern int32_t untitled_count;  // untitled pieces made so far
// How the window stood when the play it follows began, and the notes it shows marked.
struct PlayFollow {
  bool active = false;  // a play is being followed
  int32_t page = 1;     // the page shown when it began (or the one the user kept)
  int32_t scroll_h = 0, scroll_v = 0;
  std::vector<Drosa> marked;  // the notes shown marked, in the engine's order
};
extern PlayFollow play_follow;
