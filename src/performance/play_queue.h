// play_queue.h: the play queue of timed MIDI events and the 10 ms timer task that sends them
// as they fall due; the start and the stop of live playback.
//
// The play engine, on the main thread, queues events about two seconds before they are due;
// the task, on the timer's thread, sends those that are due. The queue is the only thing they
// share (under midi_lock): the main thread links only fully built nodes and unlinks only
// nodes the task has marked sent; the task only clears the pending byte and, for the end
// event, hands the whole queue back. Only the main thread enters the node store.
#pragma once

#include <cstdint>

#include "model/model_services.h"
#include "performance/performance_services.h"

// The time routine, the clock: see midi_out.h (now_ms).

// prime_play_timer: starts the task for the next 10 ms, when an output is usable, the third
// output is not the chosen one and the task is not running already; clears the next click.
void prime_play_timer();

// Each queues one event, due at `time` (ms live, time units when a MIDI file is written).
// note: the NOTE a note-on plays (it becomes the last sounded note when sent), or NIL.
void queue_note_on_event(uint16_t pitch, int volume, int mode, int channel, int count, int32_t time,
                         Drosa note);
void queue_note_off_event(uint16_t pitch, int mode, int channel, int count, int32_t time);
void queue_packet_event(const uint8_t* bytes, int count, int32_t time);  // up to 12 bytes
void queue_end_event(int32_t time);

// play_timer_task: one turn of the timer task (sends what is due); false when it handled the
// end event and the timer stops. Runs on the timer's thread.
bool play_timer_task();

// Dispatches, in order, the queued events due at or before `time`, in file mode (the play
// engine's walk over a MIDI file); the end event is not sent there.
void dispatch_file_events(int32_t time);

// set_metronome_running: the recording metronome on (the task marks a click due every period
// from now + period) or off (an end event at now + 10 ms).
void set_metronome_running(int on, int32_t period_ms);
// The clicks the task found due since the last take (for the record loop), oldest first.
int take_due_clicks(int32_t* times, int most);

// Whether the queue still holds anything (pending or sent).
bool play_queue_busy();

// wait_for_queue_to_drain: before a new play: waits (in steps of 10 ticks, bounded) while the
// queue of the last play drains; what is left then is silenced and freed at once.
void wait_for_queue_to_drain();
