// event_loop.h: the main loop, the dispatch of every event to the windows and commands, the
// window updates and activation, reformatting a page an edit left out of date, group
// selections, and the modifier-key and double-click tests.
#pragma once

#include <cstdint>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "platform/dialogs.h"
#include "platform/events.h"

// ---- The main loop -------------------------------------------------------------------------

// main_event_loop: runs main_event_pass for ever; the program ends only through quit_program.
[[noreturn]] void main_event_loop();

// mouse_down_other: the mouse-downs that are not the current music window's: the menu bar,
// the desk, other windows; 1 when it consumed the click.
int mouse_down_other(EventRecord* event, DialogRef dialog);
// do_update_event: update and activate events by window; 1 when handled.
int do_update_event(EventRecord* event, DialogRef dialog);

// deactivate_window: 1 highlights the music window and shows its scroll bars; 0 makes the
// scroll bars inactive. Both redraw the grow box.
void deactivate_window(int flag);

// ---- The cursor ----------------------------------------------------------------------------

// adjust_cursor: with Command and Option held over the music window, shows the rectangle
// selection's feedback; `state` is the play engine's last state.
void adjust_cursor(int32_t state);

// ---- Modifier keys and double clicks -------------------------------------------------------

int cmd_key_down();                        // Command held now
int cmd_option_only();                     // a music window, Command and Option, nothing else
int event_mod_6a00(const EventRecord& e);  // the event's Shift and Option bits (both sides)
int option_key_down();                     // either Option key held now
