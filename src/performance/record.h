// record.h: recording. The Record command takes keys played on a MIDI keyboard (or on the
// piano window) against a beat from the metronome or from taps; Import MIDI feeds the events
// of one track of a MIDI file through the same routines. Both collect the keys as a list of
// RNOTE nodes (onset groups with their lengths and volumes) and an array of beat times, which
// the quantiser (quantise.h) turns into notes at the insertion point. Times are ms of the play
// clock when recording and ticks of the file when importing.
#pragma once

#include <cstdint>
#include <vector>

#include "model/model_services.h"
#include "platform/dialogs.h"
#include "platform/events.h"

// The settings of recording and importing, kept between uses.
struct RecordSettings {
  DialogRef dialog = nullptr;  // the open dialog
  int import = 0;              // 1 importing a file
  int beat_unit = 3;           // note value code of the beat: 1 whole .. 4 eighth
  int dotted_beat = 0;         // the beat is dotted (compound metre)
  Drosa time_signature = NIL;  // before the insertion point
  int32_t beat_period = 1000;  // ms a beat (ticks when importing)
  int metronome_on = 1;
  int tap_beats = 0;
  int play_along = 0;
  int played_along = 0;
  int silent_metronome = 0;
  int start_with_first_note = 0;
  int triplets = 0;
  int triplet_pairs = 0;
  int cluster_rest = 1;
  int keep_played_durations = 0;
  int subdivision = 4;  // note value code of the smallest value
  int midi_velocity = 0;
  int midi_monitor = 0;
  int track = 0;
  int first_channel = 0, last_channel = 15;
  int lowest_key = 0, highest_key = 127;
  bool filled = false;  // the defaults were filled at a first use
};
extern RecordSettings record_settings;

inline constexpr int BEAT_TIMES = 10000;
inline constexpr int MOST_BEATS = 9998;

// What one recording collects; lives for one command.
struct Recording {
  std::vector<int32_t> beat_times;  // BEAT_TIMES entries while recording
  int last_beat = 0;                // index of the last beat stored
  Drosa rnotes = NIL;               // head of the RNOTE list
  Drosa tail = NIL;                 // its newest node
  Drosa group_first = NIL;          // first RNOTE of the group being played
  Drosa midi_head = NIL;            // head of the sustain-pedal events (MIDI nodes)
  int32_t chord_threshold = 50;
  int32_t tolerance_percent = 100;  // engraving parameter 556 at the insertion point
  int32_t group_start = 0;
  int32_t last_event_time = 0;
  int last_key_up_beat = 0;
  int opened_beat = -1;  // the beat that last opened a group
  bool note_recorded = false;
  int32_t last_tap = -1000000;
  int click_state = 0;
  int32_t click_time = 0;
  bool active = false;     // the record loop runs
  bool cancelled = false;  // it ended without OK
  bool sysex_open = false;
  int first_onset_late = 0;  // the quantiser's (quantise.h)
  bool confusion_asked = false;
};
extern Recording recording;

// The MIDI file's ticks when the recorder imports, else the clock (ms).
// record_command: 1 when notes were added. import 1: the MIDI file open in the reader.
// Reads: insertion_point, record_settings, the MIDI input or the file. Writes: the voice list
//        at the insertion point (with undo).
// Failure: level 2 "Sorry, your computer has no MIDI capabilities, so you cannot use Record.",
//          "Not enough memory to record.", "Too many metronome beats!".
int32_t record_command(int import);

// begin_recording: a fresh recording: the beat array, the heads of the lists, beat 0 and the
// last event at `start`, the chord threshold 50 and the tolerance percentage of the insertion
// point (engraving parameter 556).
void begin_recording(int import, int32_t start);
// read_recorded_track: the import's reading: the chosen track of the open MIDI file event by
// event, with a beat at every beat period before each event, the final beat at the end of the
// music, and the list closed. A damaged track cancels the recording (recording.cancelled).
// Failure: level 2 "Too many metronome beats!", the reader's messages.
void read_recorded_track();

// The dialogs: 27029 for recording, 134 for importing.
void open_record_dialog(int import);
void recimp_dialog_event(const EventRecord& event);
// end_record_dialog: 1 when the dialog closed, 0 when a field failed its check.
int end_record_dialog(int32_t time, int cancelled, int import);

// record_midi_event: mode 0 resets it; mode 1 takes the event in midi_event. 0 when the
// recording must stop.
int record_midi_event(int mode, int importing);
// record_a_key_down: an onset (key 201 closes the list without one).
void record_a_key_down(int32_t previous_time, int32_t time, int key, int volume, int importing);
// record_key_up: the newest RNOTE of the key gets its length.
void record_key_up(int32_t time, int key);
// metronome_beat: a beat at `time` (-1 none) and the click switched (1 on, 0 off, -1 as it
// is). 0 when the beat limit is reached.
// Failure: level 2 "Too many metronome beats in recording!".
int metronome_beat(int32_t time, int importing, int click_state);
// finish_recorded_beats: the final beat at `time` and the list closed.
void finish_recorded_beats(int32_t time, int importing);

// The head of the list of recorded keys; NIL while nothing is recorded.
Drosa recorded_notes_first();
// Frees the lists and the beat array of the last recording.
void release_recording();
