// tests/performance/play_threads_test.cpp: playback with the timer task running beside the main
// thread (the virtual clock not waiting for it), as the ThreadSanitizer build checks it.
//   PlayThreads.*:  plays started and stopped while auditions sound and keys arrive
#include <gtest/gtest.h>

#include <thread>

#include "app/app_services.h"
#include "performance/midi_out.h"
#include "performance/performance_fields.h"
#include "performance/performance_globals.h"
#include "performance/performance_services.h"
#include "performance/play_fixture.h"
#include "performance/play_queue.h"
#include "platform/midi.h"
#include "platform/play_timer.h"
#include "platform/ticks.h"
#include "support/piece_builder.h"

namespace {

class PlayThreads : public PlayTest {};

TEST_F(PlayThreads, PlaysStartAndStopWhileAuditionsSoundAndKeysArrive) {
  use_loopback();
  for (int part = 0; part < 4; ++part) {
    const int v = new_voice(("Part" + std::to_string(part)).c_str(), 0, part);
    find_next_kind(VINFO, piece_start[v])->set(xmidichan, uint8_t(part));
    if (part == 3) find_next_kind(VINFO, piece_start[v])->set(xchanmode, 2);
    if (part == 3) find_next_kind(VINFO, piece_start[v])->set(xnumchans, 4);
    for (int bar = 0; bar < 8; ++bar) {
      if (part == 0) add_text_anno(v, -5, "control 7 " + std::to_string(60 + bar));
      for (int i = 0; i < 8; ++i) add_note(v, EIGHTH, 28 + part * 3 + (i + bar) % 7);
      add_bar(v);
    }
  }
  prepare_piece();
  prefs.set_i32(PREFS_MIDI_INPUT_SOURCE, 0);
  midi_input_source_changed();
  platform_timer_set_lockstep(false);
  std::thread keyboard([] {
    for (int i = 0; i < 60; ++i) platform_midi_loopback_play({0x90, uint8_t(48 + i % 24), 90});
  });
  for (int round = 0; round < 3; ++round) {
    hear();
    for (int step = 0; step < 150 + 100 * round; ++step) {
      platform_advance_microseconds(10000);
      play_music(0, 0);
      if (step % 5 == 0) send_note_on(uint16_t((72 + step % 12) << 8), 100, 0, 9, 1, now_ms(), 0);
      if (step % 5 == 2) send_note_off(uint16_t((72 + step % 12) << 8), 0, 9, 1, now_ms(), 0);
      while (next_midi_input()) midi_event.size = 0;
    }
    stop_playing(0);
  }
  keyboard.join();
  platform_timer_set_lockstep(true);
  run_play();
  EXPECT_FALSE(play_queue_busy());
  EXPECT_FALSE(platform_timer_running());
  for (uint32_t mask : midi_send_state.sounding_keys) EXPECT_EQ(mask, 0u);
  platform_midi_take_sent();
}

}  // namespace
