// performance_services.h: what the rest of the program asks of the performance code.
// Other folders include this header and no other header of performance/.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/model_services.h"
#include "performance/performance_fields.h"
#include "performance/performance_globals.h"
#include "performance/pitch.h"
#include "platform/events.h"

// Recomputes the default sounding lengths (xlength) and times to the next note (xttn) of
// the notes from first to last, with set_pitch their pitch words (xpitch) and with
// set_volume their volumes.
// Reads:  perf_defaults (dynamic levels), the KEYSIG in force (key_transposition).
// Writes: xlength, xttn, and as asked xpitch and xvolume of the notes.
void set_default_performance(Drosa first, Drosa last, int set_pitch, int keep, int set_volume,
                             int code, int32_t old_ttn);

// Recomputes the start times of the grace notes before a note (mode 0 before a grace stretch
// is deleted, 1 for the neighbour after a deletion).
void change_grace_time(Drosa first, Drosa last, int mode);

// ---- Idle work while a page is formatted ------------------------------------------------------
// One step of the play engine; the state it gives goes to adjust_cursor.
int32_t play_music(int a, int b);
// The piano window's idle work (MIDI input, played keys); non-zero when it did something.
int32_t piano_idle(int flag);
// Non-zero when the piano window takes the typed key.
int32_t piano_key_equivalent(const EventRecord& event, int flag);
// Redraws the piano palette window.
void draw_piano_window();

// Non-zero while the piece is playing.
int is_playing();

// ---- Start-up, quit and the main loop -------------------------------------------------------
// Until playback, MIDI and the piano window exist these have nothing to set up, play or show
// (performance_least.cpp).
// midi_setup: 0 when MIDI output is usable, 1 when not (no destination).
int32_t midi_setup();
// qt_init: non-zero when the synthesizer is usable.
int32_t qt_init();
void midi_teardown();
void qt_close();
void install_play_timer();
// stop_playing: stops playback (1 also resets the tempo factor); non-zero when something
// was playing.
int32_t stop_playing(int reset_tempo);
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
// Until the piano window and MIDI exist there is no window to place, no device to list and no
// tablature string to move to (performance_least.cpp).
// place_piano_window: places the piano window beside the music window for the current mode.
void place_piano_window();
// can_move_tab_string: whether a tablature note can move by `strings` strings (0: to its
// default string).
int can_move_tab_string(Drosa note, int strings);
// The names of the MIDI input sources and output destinations, in the devices' order.
std::vector<std::string> midi_source_names();
std::vector<std::string> midi_destination_names();

// ---- Asked by the debug dumps ------------------------------------------------------------------
// The first entry of the play queue and the head of the list of recorded keys; NIL while
// nothing is queued or recorded (always, until playback and recording are built).
Drosa play_queue_first();
Drosa recorded_notes_first();
