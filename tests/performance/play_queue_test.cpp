// tests/performance/play_queue_test.cpp: the play queue and the timer task.
//   PlayQueue.*:  order of the queue, the end event, a stop, the clock
#include "performance/play_queue.h"

#include <gtest/gtest.h>

#include "performance/midi_out.h"
#include "performance/performance_globals.h"
#include "performance/performance_services.h"
#include "performance/play_fixture.h"
#include "platform/midi.h"
#include "platform/play_timer.h"
#include "platform/ticks.h"

namespace {

class PlayQueue : public PlayTest {};

std::vector<int> keys_sent() {
  std::vector<int> keys;
  for (const SentMidi& m : platform_midi_take_sent())
    if (m.bytes.size() == 3 && (m.bytes[0] & 0xF0) == 0x90)
      keys.push_back(m.bytes[2] ? m.bytes[1] : -m.bytes[1]);
  return keys;
}

TEST_F(PlayQueue, EventsGoOutInTimeOrderAndTheEndSilencesEverything) {
  use_loopback();
  const int32_t now = now_ms();
  playing_flag = 1;
  prime_play_timer();
  queue_note_on_event(uint16_t(62 << 8), 100, 0, 0, 1, now + 50, NIL);
  queue_note_on_event(uint16_t(64 << 8), 100, 0, 0, 1, now + 50, NIL);  // same time: after
  queue_note_on_event(uint16_t(60 << 8), 100, 0, 0, 1, now + 20, NIL);  // earliest: the head
  EXPECT_EQ(play_queue_first()->get(xplay_pitch), 60 << 8);
  queue_note_off_event(uint16_t(60 << 8), 0, 0, 1, now + 60);
  platform_advance_microseconds(100000);
  EXPECT_EQ(keys_sent(), (std::vector<int>{60, 62, 64, -60}));
  queue_end_event(now + 150);
  platform_advance_microseconds(100000);
  EXPECT_EQ(keys_sent(), (std::vector<int>{-62, -64}));  // then the 32 controllers
  EXPECT_FALSE(play_queue_busy());
  EXPECT_FALSE(platform_timer_running());
  for (uint32_t mask : midi_send_state.sounding_keys) EXPECT_EQ(mask, 0u);
  release_play_nodes();
  playing_flag = 0;
}

TEST_F(PlayQueue, AfterAStopNoteOffsStillGoOutAndNoteOnsDoNot) {
  use_loopback();
  const int32_t now = now_ms();
  playing_flag = 1;
  play_state.timer_used = 1;
  prime_play_timer();
  queue_note_on_event(uint16_t(60 << 8), 100, 0, 0, 1, now + 10, NIL);
  queue_note_off_event(uint16_t(60 << 8), 0, 0, 1, now + 500);
  queue_note_on_event(uint16_t(62 << 8), 100, 0, 0, 1, now + 400, NIL);
  platform_advance_microseconds(20000);
  EXPECT_EQ(stop_playing(0), 1);
  EXPECT_EQ(stop_playing(0), 0);
  platform_advance_microseconds(20000);
  EXPECT_EQ(keys_sent(), (std::vector<int>{60, -60}));
  EXPECT_FALSE(play_queue_busy());
}

TEST_F(PlayQueue, TheClockStartsAtZeroAndStampsCompareAcrossItsWrap) {
  clock_origin = -1;
  EXPECT_EQ(now_ms(), 0);
  EXPECT_GT(ms_after(INT32_MIN + 5, INT32_MAX - 5), 0);
  EXPECT_LT(ms_after(INT32_MAX - 5, INT32_MIN + 5), 0);
}

}  // namespace
