// performance_services.h: what the rest of the program asks of the performance code.
// Other folders include this header and no other header of performance/.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/model_services.h"
#include "performance/hear_dialogs.h"
#include "performance/midi_out.h"
#include "performance/midifile_meta.h"
#include "performance/perfdata.h"
#include "performance/performance_fields.h"
#include "performance/performance_globals.h"
#include "performance/pitch.h"
#include "performance/play.h"
#include "performance/play_queue.h"
#include "platform/events.h"

// ---- Idle work while a page is formatted ------------------------------------------------------
// The piano window's idle work (MIDI input, played keys); non-zero when it did something.
int32_t piano_idle(int flag);
// Non-zero when the piano window takes the typed key.
int32_t piano_key_equivalent(const EventRecord& event, int flag);
// Redraws the piano palette window.
void draw_piano_window();

// ---- The piano window and recording (performance_least.cpp until they exist) -------------------
void create_piano_window();
// Set while the record loop runs: every event goes to recimp_dialog_event then.
extern int32_t recording_active;
void recimp_dialog_event(const EventRecord& event);
// An event in the piano palette; a key-up that applies a pending palette change.
void piano_event(const EventRecord& event);
void piano_apply_pending(const EventRecord& event);
// The palette spells entered notes in the key of this KEYSIG.
void set_key_spelling(Drosa keysig);
// Inverts a box of the palette as feedback (12: the delete box).
void invert_piano_box(int box);

// ---- The note-attribute palette (least until the piano window exists) -------------------------
// set_template_accidental: lets the palette set the accidental of current_note_template;
// non-zero when a special accidental set (spacc_template) is chosen. No palette yet: the
// template keeps its accidental.
int set_template_accidental();

// ---- The menus ----------------------------------------------------------------------------------
// Until the piano window exists there is no window to place (performance_least.cpp).
// place_piano_window: places the piano window beside the music window for the current mode.
void place_piano_window();
// new_entry_nest_node: the nested-tuplet node for an entered note; NIL (no nested tuplet
// entry yet).
Drosa new_entry_nest_node();

// ---- Asked by the debug dumps ------------------------------------------------------------------
// The head of the list of recorded keys; NIL while nothing is recorded (always, until
// recording is built).
Drosa recorded_notes_first();
