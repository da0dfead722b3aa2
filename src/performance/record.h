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
#include "performance/performance_services.h"
#include "platform/dialogs.h"
#include "platform/events.h"

// Test double: called at every turn of the record loop, nullptr none.
extern void (*record_loop_hook)();

inline constexpr int BEAT_TIMES = 10000;
inline constexpr int MOST_BEATS = 9998;

// The dialogs: 27029 for recording, 134 for importing.
void open_record_dialog(int import);

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
