// performance_globals.h: the program-wide state of the performance code: the spelling of
// entered notes, the play engine's state, the play queue that the main thread shares with the
// timer task, the state of MIDI sending, and the MIDI input ring shared with the input thread.
//
// Sharing between threads. The main thread (the play engine, auditions) and the timer task
// both send MIDI and both touch the play queue: everything marked "midi_lock" below is read
// and written only while holding midi_lock, briefly. The task never enters the node store:
// the PLAY nodes it is done with at the end of a play are handed back (play_nodes_released)
// and the main thread returns them to the store. The input thread and the main thread share
// only the input ring, through each slot's length word (release and acquire).
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <vector>

#include "model/model_services.h"
#include "performance/performance_services.h"
#include "performance/pitch.h"
#include "platform/geometry.h"

// ---- Spelling of entered notes -----------------------------------------------------------------

// The pitch class's spelling was last set from a KEYSIG of this xkey; -1 none yet.
extern int32_t key_spelling_key;

// ---- The piano window (pianowin.cpp) and its scaled drawing (piano_draw.cpp) -------------------

// Layout constants: the x where the C of MIDI key 0 would begin (an octave is 63 pixels, seven
// white keys of 9), and the right end of the keys (the rest key's box begins there).
inline constexpr int32_t keyboard_origin_x = -90;

inline constexpr int32_t keyboard_right_x = 487;

extern Rect screen_avail_rect;  // the screen's bounds for windows, read at creation

extern Rect piano_drag_bounds;  // where the window may be dragged

extern bool piano_tall;  // the window has its tall size (special accidentals shown)

extern int16_t memory_shown;  // the memory percentage shown; 0 none

extern double piano_hscale;  // factor of horizontal coordinates of the drawing

extern double piano_vscale;  // factor of vertical coordinates

// ---- The note-attribute palette (palette.cpp) ---------------------------------------------------

extern int32_t add_mode;  // the Add box: entered notes join the chord

extern bool grace_after;  // grace notes made in the palette follow their main note

struct PaletteTuplet {
  int32_t number = 3;    // tuplet number
  int32_t intimeof = 8;  // in the time of, x 4
};

extern PaletteTuplet palette_tuplet;  // the tuplet the tuplet box switches on

struct PaletteNestedTuplet {
  bool nested = false;
  int32_t number = 3;
  int32_t intimeof = 8;  // x 4
};

extern PaletteNestedTuplet palette_nested_tuplet;

extern bool entry_hint_shown;  // the palette shows how to start entering notes

extern int palette_draws_held;       // PaletteDrawsHeld guards alive: draws wait for the last
extern bool palette_draw_waiting;    // a draw asked while held, made when the last guard goes
extern uint64_t palette_draw_count;  // whole-palette draws made since start-up

// ---- Note entry (note_entry.cpp) -----------------------------------------------------------

inline constexpr int PLAYED_KEYS = 88;
extern PlayedNote played_keys[PLAYED_KEYS];  // the keys of the chord being played
extern int32_t played_key_count;
extern uint32_t
    shift_chord_pending;           // the last key was clicked or typed with Shift: the chord waits
extern int32_t typed_key_pending;  // key last added from a computer key, entered at its key-up
extern bool midi_sysex_open;       // a system-exclusive message goes on in the next input
// Messages the input ring had no room for, counted by the input thread; the main thread beeps
// once for every count it has not yet seen.
extern std::atomic<int32_t> midi_in_dropped;
extern int32_t midi_in_dropped_seen;

// ---- The play engine (play.cpp)

// ------------------------------------------------------------------
inline constexpr int MAX_SOUNDING_NOTES = 40;
inline constexpr int64_t VOICE_FINISHED = 2100000000;  // a voice's next time when it is done

// Channel modes of a voice (VINFO xchanmode).
inline constexpr int CHANNEL_SINGLE = 0;    // one channel
inline constexpr int CHANNEL_STREAM = 1;    // a system-exclusive stream of microtones
inline constexpr int CHANNEL_ROTATION = 2;  // notes rotated over a block, each with its bend
inline constexpr int CHANNEL_SILENT = 3;    // the voice is not played

// A note the engine has started and not yet ended.
struct SoundingNote {
  int64_t end = 0;       // score time of its end
  uint16_t pitch = 0;    // pitch word sent
  uint16_t bend_to = 0;  // pitch word a bend goes to; 0 none
  uint8_t mode = 0, channel = 0, count = 1;
  bool tied = false;  // tied on, or bent: ended after the notes of its end's time start
};

// What the engine knows of one voice while it plays.
struct VoicePlay {
  Drosa next;                 // next node to read
  int64_t next_time = 0;      // score time of that node's note; VOICE_FINISHED when done
  uint8_t mode = 0;           // channel mode
  uint8_t channel = 0;        // first channel 0..15
  uint8_t count = 1;          // channels of a rotation block
  bool play = false;          // heard (the Hear dialog's part list)
  bool pedal_down[16] = {};   // per channel
  int16_t volume_offset = 0;  // added to its notes on a repeat's second pass
  bool bend_pending = false;  // a bend was sent and not yet reset
  bool after_jump = false;    // a repeat moved it and no main note was read since
  uint8_t key_map[128] = {};  // substitute keys from "note" commands; 0 none
};

struct PlayState {
  int timer_used = 0;         // 1 live through the timer task, 0 in file mode
  int file_mode = 0;          // the walk writes a MIDI file
  int32_t last_reading = 0;   // ms clock at the last call
  double position = 0;        // score time that corresponds to last_reading
  double tempo_rate = 0;      // time units per ms
  double tempo_factor = 1.0;  // the Hear dialog's percentage / 100
  int32_t imposed_bpm = 0;    // a caller's tempo, 0 none
  int32_t imposed_unit = 3;   // its beat unit (3 a quarter)
  double file_tempo = 0;      // the last tempo written to the file
  VoicePlay voices[MAX_VOICES];
  int leading_voice = -1;  // repeats and time signatures are read from it; -1 none
  SoundingNote sounding[MAX_SOUNDING_NOTES];
  int sounding_count = 0;
  bool first = false;  // catching up to the start (the first call)
  bool just_jumped = false;
  bool note_since_bar = false;  // the leading voice read a note since its last bar line
  bool second_pass = false;
  bool ignore_repeats = false;
  int64_t catch_up_stamp = 0;     // while catching up: the ms stamp events get (the start's)
  uint64_t notes_checked_at = 0;  // list_change_count when scheduled_notes were last checked
};
// A note of the live play as the screen follows it: sounding from `on` until `off` (ms
// stamps). Main thread only.
struct ScheduledNote {
  Drosa note;
  int32_t on = 0, off = 0;
};
// The notes queued and not yet ended, in the order they were read (at most about two seconds
// of music). Main thread only.
extern std::vector<ScheduledNote> scheduled_notes;
extern PlayState play_state;
// Non-zero while a play runs; read by the timer task.
extern std::atomic<int32_t> playing_flag;

// Guards what is marked "midi_lock". Recursive: a send routine that another one calls (a rotation's
// note-off inside its note-on) takes it again.
extern std::recursive_mutex midi_lock;
struct PlayQueue {
  Drosa head;         // earliest PLAY node, pending or dispatched (midi_lock)
  Drosa tail;         // latest (midi_lock)
  int32_t count = 0;  // nodes linked (midi_lock)
};
extern PlayQueue play_queue;
extern Drosa play_nodes_released;  // chain the task is done with, for the main thread (midi_lock)
// Set (under midi_lock) while play_nodes_released holds a chain: the main thread's polls look at
// it first and take the lock only when there is something to take back.
extern std::atomic<bool> play_nodes_waiting;
extern std::atomic<uint32_t> last_sounded_note;  // handle of the NOTE sounded last; 0 none
extern std::atomic<int32_t> next_click_ms;       // the recording metronome's next click; 0 none
// Clicks the task found due, for the record loop to sound and store (midi_lock).
inline constexpr int DUE_CLICKS = 16;
struct DueClicks {
  int32_t times[DUE_CLICKS] = {};
  int count = 0;
};
extern DueClicks due_clicks;
// The recording metronome (set by the record command): on, its period, clicking only while
// notes arrive, and whether notes arrived since the last click.
extern std::atomic<int32_t> record_metronome_on;
extern std::atomic<int32_t> record_metronome_period;  // ms
extern std::atomic<int32_t> record_click_only_with_notes;
extern std::atomic<int32_t> record_notes_since_click;
// The clock's reading (microseconds) that now_ms counts from, fixed at start-up (or by the first
// reading); -1 until then.
extern std::atomic<int64_t> clock_origin;

// The output chosen in the preferences, as the sending threads see it (copied from the preferences
// by the main thread whenever a play starts or stops and at every audition): the device (2 the MIDI
// service, 0 the synthesizer, 1 the third output) and the destination (negative none, 0 the
// synthesizer, n the service's destination n - 1).
extern std::atomic<int32_t> output_device;

extern std::atomic<int32_t> output_destination;

// All midi_lock: -------------------------------------------------
struct MidiSendState {
  uint32_t sounding_keys[128] = {};  // bit c set while a note sounds on channel c at that key
  uint16_t rotation_pitch[16] = {};  // pitch word sounding on each channel of rotations; 0 none
  int32_t rotation_time[16] = {};    // ms its note started
  int32_t stream_channel = -128;     // channel of the open system-exclusive stream; -128 none
  uint16_t bent_channels = 0;        // channels whose pitch bend is off centre
};
extern MidiSendState midi_send_state;

// The MIDI file being written by an export (midi_lock while playing into it). Its bytes are
// gathered here, and the export writes them to the file at the end.
struct MidiFileWriter {
  bool open = false;             // an export runs: the events go into `bytes`
  std::vector<uint8_t> bytes;    // the file so far
  int32_t divisions = 960;       // ticks per quarter
  int64_t last_tick = 0;         // of the event written last
  bool timing_reported = false;  // the backwards-time report was given in this export
  bool stream_open = false;      // a system-exclusive message is open in the file
};
extern MidiFileWriter midi_file_writer;

// ---- MIDI input (midi_out.cpp) ------------------------------------------------------------------

inline constexpr int MIDI_IN_SLOTS = 20;
struct MidiInSlot {
  std::atomic<uint32_t> length{0};  // 0 free; written last by the input thread, cleared last here
  uint8_t bytes[3] = {};
  int32_t time = 0;  // ms
};
struct MidiInRing {
  MidiInSlot slots[MIDI_IN_SLOTS];
  int write_index = 0;  // the input thread's
  int read_index = 0;   // the main thread's
};
extern MidiInRing midi_in_ring;
