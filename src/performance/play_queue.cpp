// play_queue.cpp: the play queue and the timer task.
//
// The queue is a list of PLAY nodes in ascending order of their due time (events of the same
// time in the order queued), linked through xnext. The task walks it from the head: while a
// play runs it stops at the first event not yet due; once the play has stopped every event is
// due, so a stop sends the pending note-offs at once (note-ons are dropped then). The end
// event silences everything and hands the whole queue back to the main thread, which returns
// it to the node store the next time it queues or polls.
//
// Times are compared by their wrapped difference, so the queue keeps its order when the 32-bit
// millisecond clock wraps (after 24.8 days).
#include "performance/play_queue.h"

#include <algorithm>

#include "app/app_services.h"
#include "performance/midi_out.h"
#include "performance/performance_fields.h"
#include "performance/performance_globals.h"
#include "platform/play_timer.h"
#include "platform/ticks.h"

namespace {

using Lock = std::lock_guard<std::recursive_mutex>;

constexpr int TIMER_PERIOD_US = 10000;
constexpr int32_t LOOKAHEAD_MS = 2000;
constexpr int DEVICE_THIRD = 1;
constexpr int DRAIN_STEP_TICKS = 10;
constexpr int DRAIN_STEPS = 600;  // 100 s: the longest a stopped play can take to drain

// Unlinks the run of sent nodes at the head (midi_lock held); returns it as a chain.
Drosa take_sent_run() {
  Drosa first = play_queue.head, last = NIL;
  for (Drosa p = play_queue.head; p && !p->get(xplay_pending); p = p->xnext) {
    last = p;
    --play_queue.count;
  }
  if (!last) return NIL;
  play_queue.head = last->xnext;
  if (play_queue.head)
    play_queue.head->xback = NIL;
  else
    play_queue.tail = NIL;
  last->xnext = NIL;
  return first;
}

void free_chain(Drosa first) {
  if (first) destroy_Drosa_list(first);
}

// Links a fully built node into the queue by its time (midi_lock held).
void link_by_time(Drosa node) {
  const int32_t time = node->get(xplay_time);
  if (!play_queue.head) {
    play_queue.head = play_queue.tail = node;
  } else {
    Drosa p = play_queue.tail;
    while (p && ms_after(p->get(xplay_time), time) > 0) p = p->xback;
    if (!p) {
      node->xnext = play_queue.head;
      play_queue.head->xback = node;
      play_queue.head = node;
    } else {
      node->xback = p;
      node->xnext = p->xnext;
      if (p->xnext)
        p->xnext->xback = node;
      else
        play_queue.tail = node;
      p->xnext = node;
    }
  }
  ++play_queue.count;
}

void queue_event(Drosa node) {
  release_play_nodes();
  node->set(xplay_pending, 1);
  Drosa sent;
  {
    Lock held(midi_lock);
    sent = take_sent_run();
    link_by_time(node);
  }
  free_chain(sent);
}

Drosa new_event(int type, int32_t time) {
  Drosa node = newDrosa(PLAY, 0);
  node->set(xplay_type, uint8_t(type));
  node->set(xplay_time, time);
  return node;
}

// Sends one pending event (midi_lock held); to_file in file mode.
void send_event(Drosa p, bool playing, int to_file) {
  const uint16_t pitch = p->get(xplay_pitch);
  const int mode = p->get(xplay_chanmode), channel = p->get(xplay_channel),
            count = p->get(xplay_chancount);
  const int32_t time = p->get(xplay_time);
  switch (p->get(xplay_type)) {
    case PLAY_NOTE_ON:
      if (!playing) break;
      send_note_on(pitch, p->get(xplay_volume), mode, channel, count, time, to_file);
      if (Drosa note = p->get(xplay_note)) last_sounded_note = note.handle();
      break;
    case PLAY_NOTE_OFF:
      send_note_off(pitch, mode, channel, count, time, to_file);
      break;
    case PLAY_PACKET: {
      uint8_t bytes[12];
      const int n = std::min<int>(p->get(xplay_volume), 12);
      for (int i = 0; i < n; ++i) bytes[i] = p->get(xplay_packet, i);
      send_raw_packet(bytes, n, time, to_file);
      break;
    }
    default:
      break;
  }
}

// The recording metronome's click, when one is due: marked for the record loop.
void mark_due_click(int32_t now) {
  const int32_t click = next_click_ms;
  if (!click || ms_after(now, click) < 0 || !record_metronome_on) return;
  if (record_click_only_with_notes && !record_notes_since_click) return;
  Lock held(midi_lock);
  if (due_clicks.count < DUE_CLICKS) due_clicks.times[due_clicks.count++] = click;
  next_click_ms = click + std::max<int32_t>(record_metronome_period, 1);
  record_notes_since_click = 0;
}

}  // namespace

// ---- The timer
// -----------------------------------------------------------------------------------

void install_play_timer() {
  now_ms();  // fixes the clock's origin
  refresh_output_choice();
  platform_timer_install(play_timer_task, TIMER_PERIOD_US);
}

void prime_play_timer() {
  refresh_output_choice();
  if (!midi_output_usable() || output_device == DEVICE_THIRD) return;
  next_click_ms = 0;
  platform_timer_prime();
}

bool play_timer_task() {
  const int32_t now = now_ms();
  mark_due_click(now);
  Lock held(midi_lock);
  const bool playing = playing_flag != 0;
  for (Drosa p = play_queue.head; p; p = p->xnext) {
    if (playing && ms_after(p->get(xplay_time), now) > 0) break;
    if (!p->get(xplay_pending)) continue;
    if (p->get(xplay_type) == PLAY_END) {
      all_notes_off(2);
      if (play_queue.head) {
        if (play_nodes_released) {
          Drosa last = play_nodes_released;
          while (last->xnext) last = last->xnext;
          last->xnext = play_queue.head;
          play_queue.head->xback = last;
        } else {
          play_nodes_released = play_queue.head;
        }
        play_nodes_waiting.store(true, std::memory_order_release);
      }
      play_queue = PlayQueue{};
      next_click_ms = 0;
      return false;
    }
    send_event(p, playing, 0);
    p->set(xplay_pending, 0);
  }
  return true;
}

void dispatch_file_events(int32_t time) {
  for (;;) {
    Drosa p;
    {
      Lock held(midi_lock);
      p = play_queue.head;
      if (!p || p->get(xplay_time) > time) return;
      if (p->get(xplay_type) != PLAY_END) send_event(p, true, 1);
      play_queue.head = p->xnext;
      if (play_queue.head)
        play_queue.head->xback = NIL;
      else
        play_queue.tail = NIL;
      --play_queue.count;
    }
    p->xnext = NIL;
    destroyDrosa(p);
  }
}

// ---- Queueing
// ---------------------------------------------------------------------------------------

void queue_note_on_event(uint16_t pitch, int volume, int mode, int channel, int count, int32_t time,
                         Drosa note) {
  Drosa node = new_event(PLAY_NOTE_ON, time);
  node->set(xplay_pitch, pitch);
  node->set(xplay_volume, uint8_t(std::clamp(volume, 0, 200)));
  node->set(xplay_chanmode, uint8_t(mode));
  node->set(xplay_channel, uint8_t(channel));
  node->set(xplay_chancount, uint8_t(count));
  node->set(xplay_note, note);
  queue_event(node);
}

void queue_note_off_event(uint16_t pitch, int mode, int channel, int count, int32_t time) {
  Drosa node = new_event(PLAY_NOTE_OFF, time);
  node->set(xplay_pitch, pitch);
  node->set(xplay_chanmode, uint8_t(mode));
  node->set(xplay_channel, uint8_t(channel));
  node->set(xplay_chancount, uint8_t(count));
  queue_event(node);
}

void queue_packet_event(const uint8_t* bytes, int count, int32_t time) {
  count = std::clamp(count, 0, 12);
  Drosa node = new_event(PLAY_PACKET, time);
  node->set(xplay_volume, uint8_t(count));
  for (int i = 0; i < count; ++i) node->set(xplay_packet, i, bytes[i]);
  queue_event(node);
}

void queue_end_event(int32_t time) { queue_event(new_event(PLAY_END, time)); }

// ---- The metronome ------------------------------------------------------------------------------

void set_metronome_running(int on, int32_t period_ms) {
  if (!on) {
    refresh_output_choice();
    if (output_device != DEVICE_THIRD) queue_end_event(now_ms() + 10);
    return;
  }
  // A metronome restarted right after a stop waits until the end event has run, so that the
  // end event does not stop it again at once.
  for (int step = 0; step < DRAIN_STEPS && platform_timer_running() && play_queue_busy(); ++step)
    platform_delay_ticks(1);
  record_metronome_period = std::max<int32_t>(period_ms, 1);
  prime_play_timer();
  next_click_ms = now_ms() + record_metronome_period;
}

int take_due_clicks(int32_t* times, int most) {
  Lock held(midi_lock);
  const int n = std::min(most, due_clicks.count);
  std::copy(due_clicks.times, due_clicks.times + n, times);
  std::copy(due_clicks.times + n, due_clicks.times + due_clicks.count, due_clicks.times);
  due_clicks.count -= n;
  return n;
}

// ---- Starting and stopping
// -------------------------------------------------------------------------

int is_playing() { return playing_flag != 0; }

int32_t stop_playing(int reset_tempo) {
  if (reset_tempo) play_state.tempo_factor = 1.0;
  if (!playing_flag) return 0;
  if (play_state.timer_used)
    queue_end_event(now_ms() + LOOKAHEAD_MS);
  else
    all_notes_off(3);
  playing_flag = 0;
  end_play_display();
  return 1;
}

void release_play_nodes() {
  // Polled at every step of a format: without a chain handed back, no lock is taken.
  if (!play_nodes_waiting.load(std::memory_order_acquire)) return;
  Drosa chain;
  {
    Lock held(midi_lock);
    chain = play_nodes_released;
    play_nodes_released = NIL;
    play_nodes_waiting.store(false, std::memory_order_relaxed);
  }
  free_chain(chain);
}

bool play_queue_busy() {
  Lock held(midi_lock);
  return play_queue.head != NIL;
}

int32_t play_queue_count() {
  Lock held(midi_lock);
  return play_queue.count;
}

void finish_playing() {
  stop_playing(0);
  platform_timer_stop();
  Drosa chain;
  {
    Lock held(midi_lock);
    refresh_output_choice();
    all_notes_off(2);
    chain = play_queue.head;
    play_queue = PlayQueue{};
  }
  free_chain(chain);
  release_play_nodes();
  next_click_ms = 0;
}

// Waits (in steps of 10 ticks) while the queue of a stopped play drains; the wait is bounded,
// and a queue left then is silenced and freed at once.
void wait_for_queue_to_drain() {
  for (int step = 0; step < DRAIN_STEPS && play_queue_busy(); ++step) {
    if (!platform_timer_running()) break;
    platform_delay_ticks(DRAIN_STEP_TICKS);
  }
  if (play_queue_busy()) finish_playing();
  release_play_nodes();
}

Drosa play_queue_first() {
  Lock held(midi_lock);
  return play_queue.head;
}
