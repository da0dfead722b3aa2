// app_globals.h: the program-wide state of the application frame.
#pragma once

#include <cstdint>
#include <string>
#include <thread>

struct console_record;

#include "platform/geometry.h"

struct Control;

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

// ---- Start-up ----------------------------------------------------------------------------
// The console window's record, or nullptr when creating it failed.
extern console_record* console_ref;
// The main thread's identity; no thread (the default id) until start-up stores it.
extern std::thread::id main_thread_id;
extern int16_t keyboard_shift;  // semitones the computer-key piano is shifted by
extern Rect screen_device;      // the screen the program lays its windows out on
// What the MIDI set-up found usable (bits): output through the MIDI service, the synthesizer.
inline constexpr int MIDI_OUT_SERVICE = 1, MIDI_OUT_SYNTH = 2;
extern int midi_out_available;
extern int start_up_done;  // set once start-up has reached the main loop

// ---- Files the dialogs chose --------------------------------------------------------------
// The file of a MusicXML import (the file dialog's kind 3; kind 1 is piece_fsspec).
extern std::string import_fsspec;

// ---- The main loop ------------------------------------------------------------------------
extern int32_t deferred_quit;        // quit once no reformat is pending
extern uint32_t last_mouse_up_when;  // the last mouse-up without Command or Option
extern Point last_mouse_up_where;
extern uint32_t last_key_up_when;  // the last key-up without Command or Option
extern int32_t last_key_up_char;
extern int32_t note_entry_active;  // 1 after a double click in the music area, 0 after a single
extern uint32_t menu_modifiers;    // Shift and Option held when the menu bar was clicked

// ---- Page navigation ------------------------------------------------------------------------
extern int32_t pending_goto_bar;  // the bar the note-entry keys ask to go to (Page item 55)

// ---- The menus ------------------------------------------------------------------------------
// The menu state's flags read elsewhere: whether the front window may be closed and whether
// Delete may clear the selected notes; the others say which moves of the selection are
// enabled; the last two are only cleared.
struct ItemEnabledFlags {
  int32_t close = 1;  // File > Close (before the first menu pass: allowed)
  int32_t clear_note = 0;
  int32_t previous_voice = 0, next_voice = 0;  // Voice > Previous / Next Part or Voice
  int32_t previous_note = 0, next_note = 0;    // Note > Previous / Next Note
  int32_t previous_anno = 0, next_anno = 0;    // Annotation > Previous / Next Annotation
  int32_t spare[2] = {};
};
extern ItemEnabledFlags item_enabled_flags;
extern int32_t first_system_font_item;  // the Font item of the first installed font (8)
extern int32_t font_menu_count;         // the Font menu's item count
extern int32_t size_menu_sizes[10];     // the point sizes of the Size menu
extern int32_t midi_source_count;       // MIDI Input's items: the sources and 2
extern int32_t midi_destination_count;  // MIDI Output's items: the destinations and 3
// What the annotations counted for the Duplicate and Clear commands: settings unusual for At
// Each System, On Each Page, In Every Context, then repetitions of each kind present.
extern int32_t duplicate_warnings[6];
extern int32_t allow_any_alt_click;     // Edit > Allow Any Alt-click
extern int32_t duration_edits_enabled;  // Edit > Enable Duration Edits
extern int32_t tremolo_warned;          // the tremolo check warned during this command
extern int32_t midi_import_active;      // 1 while Import > MIDI... runs
extern int32_t voice_highlighted;       // Voice > Highlight Voice
extern int32_t recording_from_menu;     // 1 while Voice > Record... runs
extern int32_t menu_bar_state;          // 1, or 3 with a music window, at the last bar redraw

// ---- The music window ---------------------------------------------------------------------
// Its other state is the graphics code's: the page image, its size, the scroll position
// (scroll_h, scroll_v: the scroll bars' values) and the window's port (music_window_port).
extern Rect grow_limits;        // smallest (left, top) and largest (right, bottom) size
extern Point insertion_cross;   // x = h, y = v in page units, v upward; -1: not shown
extern Point cross_drawn_at;    // window point where the cross was drawn; (-1, -1) none
extern Point ruler_mark_at;     // window point where the ruler marks were drawn; (-1, -1)
extern int32_t untitled_count;  // untitled pieces made so far

void reset_app_globals();
