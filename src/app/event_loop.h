// event_loop.h: the main loop, the dispatch of every event to the windows and commands, the
// window updates and activation, reformatting a page an edit left out of date, group
// selections, and the modifier-key and double-click tests.
#pragma once

#include <cstdint>

#include "editing/editing_services.h"
#include "platform/dialogs.h"
#include "platform/events.h"

// ---- The main loop -------------------------------------------------------------------------
// main_event_loop: runs main_event_pass for ever; the program ends only through quit_program.
[[noreturn]] void main_event_loop();
// One pass: idle time to playback, flashing, text editing, the cursor and the piano window;
// at most one event dispatched; the ruler marks; the menus; a pending reformat, or else a
// wait of 6 ticks for the next event when the pass did nothing; a deferred quit.
// Reads:  reformat_pending, first_format, deferred_quit, the event queue, insertion_point,
//         MODE, recording_active. Writes: what the handlers write; the cursor.
void main_event_pass();

// handle_event: dispatches one event by its kind; always 0.
int handle_event(EventRecord* event);
// mouse_down_other: the mouse-downs that are not the current music window's: the menu bar,
// the desk, other windows; 1 when it consumed the click.
int mouse_down_other(EventRecord* event, DialogRef dialog);
// do_update_event: update and activate events by window; 1 when handled.
int do_update_event(EventRecord* event, DialogRef dialog);

// update_window: redraws the current music window: the page from the page image, the rulers,
// the scroll bars and the grow box.
void update_window();
// activate_window: shows the current music window in front and activates it, then puts the
// palette (and the dialog, when given) in front of it.
void activate_window(DialogRef dialog);
// deactivate_window: 1 highlights the music window and shows its scroll bars; 0 makes the
// scroll bars inactive. Both redraw the grow box.
void deactivate_window(int flag);

// reformat_and_update: redraws the window and formats the page; 1 when the page was formatted
// to its end, 0 when input interrupted it (the reformat stays pending).
// Writes: everything format_page writes, page_graphics_stale, the piano window's key spelling.
int reformat_and_update(int32_t page, int keep);
// reformat_with_flag: the same without looking at input: the page is always formatted.
int reformat_with_flag(int32_t page, int keep);

// adjust_cursor: with Command and Option held over the music window, shows the rectangle
// selection's feedback; `state` is the play engine's last state.
void adjust_cursor(int32_t state);

// begin_group_selection: starts a group selection: the insertion point and text editing end,
// the note template's marks are cleared, the window retitled.
void begin_group_selection();
// end_group_selection: ends it: the template is reset, the selected marks cleared, the page
// redrawn; with flag set the palette is redrawn too.
void end_group_selection(int flag);

// ---- Modifier keys and double clicks -------------------------------------------------------
int cmd_key_down();                        // Command held now
int cmd_option_only();                     // a music window, Command and Option, nothing else
int event_mod_6a00(const EventRecord& e);  // the event's Shift and Option bits (both sides)
int option_key_down();                     // either Option key held now
// is_double_click_at: within the double-click time of the last mouse-up and 5 pixels
// (|dh| + |dv|) of it.
int is_double_click_at(Point where, uint32_t when);
// is_double_keystroke: the same character's key went up within the double-click time.
int is_double_keystroke(int character, uint32_t when);

// The page point (layout units, y upward) under a point of the music window.
PagePoint window_to_page_point(Point where);
