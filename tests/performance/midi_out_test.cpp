// tests/performance/midi_out_test.cpp: MIDI output and input.
//   Modes.*:    notes in one channel, rotated over a block, and in the microtone stream
//   MidiFile.*:    the file writer's delta times and system-exclusive forms
//   Silence.*:  all notes off
//   MidiInput.*:   the input ring
#include "performance/midi_out.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "app/app_services.h"
#include "performance/performance_globals.h"
#include "performance/performance_services.h"
#include "performance/play_fixture.h"
#include "platform/midi.h"

namespace {

class Modes : public PlayTest {};
class MidiFile : public PlayTest {};
class Silence : public PlayTest {};
class MidiInput : public PlayTest {};

std::string sent_bytes() {
  std::string out;
  for (const SentMidi& m : platform_midi_take_sent()) {
    for (uint8_t b : m.bytes) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%02X ", b);
      out += hex;
    }
    out += "| ";
  }
  return out;
}

TEST_F(Modes, OneChannelRoundsHalfASemitoneUpAndRotationReusesTheOldestChannel) {
  use_loopback();
  send_note_on(uint16_t((60 << 8) + 150), 200, 0, 0, 1, 0, 0);
  send_note_on(uint16_t((60 << 8) + 99), 100, 0, 17, 1, 0, 0);  // channel 17 is channel 1
  EXPECT_EQ(sent_bytes(), "90 3D 7F | 91 3C 3F | ");
  // Three channels from 3, four notes: the fourth ends the first and takes its channel.
  for (int i = 0; i < 4; ++i)
    send_note_on(uint16_t(((60 + i) << 8) + 100), 200, 2, 3, 3, 100 + 10 * i, 0);
  EXPECT_EQ(sent_bytes(),
            "E3 7F 4F | 93 3C 7F | E4 7F 4F | 94 3D 7F | E5 7F 4F | 95 3E 7F | "
            "93 3C 00 | E3 7F 4F | 93 3F 7F | ");
  // A block reaching past channel 16 stays within it.
  send_note_on(uint16_t(70 << 8), 200, 2, 15, 16, 50, 0);
  EXPECT_EQ(sent_bytes(), "EF 00 40 | 9F 46 7F | ");
}

TEST_F(MidiFile, AStreamVoiceWritesItsSystemExclusivePiecesAndTimeNeverRunsBack) {
  midi_file_writer = MidiFileWriter{};
  midi_file_writer.open = true;
  midi_file_writer.divisions = 480;
  send_midi_packet(nullptr, 1);
  send_note_on(uint16_t((60 << 8) + 100), 200, 1, 0, 1, 16384, 1);  // a quarter in: tick 480
  send_note_off(uint16_t((60 << 8) + 100), 1, 0, 1, 32768, 1);
  send_note_on(uint16_t(62 << 8), 200, 0, 0, 1, 16384, 1);  // earlier than the last: reported
  EXPECT_EQ(midi_file_writer.bytes,
            (std::vector<uint8_t>{0x83, 0x60, 0xF0, 0x03, 0x43, 0x75, 0x70,  // open
                                  0x00, 0xF7, 0x04, 0x10, 0x3C, 0x3F, 0x7F,  // on
                                  0x83, 0x60, 0xF7, 0x03, 0x00, 0x3C, 0x3F,  // off
                                  0x00, 0xF7, 0x01, 0xF7,                    // closed
                                  0x00, 0x90, 0x3E, 0x7F}));
  const std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].text, "Timing error in send_midi_packet(): this_time 1e0 last_time 3c0");
  midi_file_writer = MidiFileWriter{};
}

TEST_F(Silence, AllNotesOffEndsWhatSoundsAndEveryControllerAndBend) {
  use_loopback();
  all_notes_off(2);
  EXPECT_EQ(platform_midi_take_sent().size(), 32u);
  send_note_on(uint16_t(64 << 8), 100, 0, 2, 1, 0, 0);
  send_note_on(uint16_t((67 << 8) + 40), 100, 2, 5, 2, 0, 0);
  platform_midi_take_sent();
  all_notes_off(2);
  const std::string sent = sent_bytes();
  EXPECT_EQ(sent.substr(0, 18), "92 40 00 | 95 43 0");
  EXPECT_NE(sent.find("E5 00 40"), std::string::npos) << "the bent channel comes back";
  for (uint32_t mask : midi_send_state.sounding_keys) EXPECT_EQ(mask, 0u);
}

TEST_F(MidiInput, KeysReachTheRingUntilItIsFull) {
  use_loopback();
  prefs.set_i32(PREFS_MIDI_INPUT_SOURCE, 0);
  midi_input_source_changed();
  for (int i = 0; i < 21; ++i)
    platform_midi_loopback_play({0x90, uint8_t(40 + i), 100, 0xC0, 5, 0xB0, 7, 100});
  platform_midi_loopback_play({0xB0, 64, 127});
  int taken = 0;
  while (next_midi_input()) {
    EXPECT_EQ(midi_event.bytes[1], 40 + taken);
    midi_event.size = 0;
    ++taken;
  }
  EXPECT_EQ(taken, 20) << "the 21st key and the pedal find the ring full";
  platform_midi_loopback_play({0xB0, 64, 127});
  ASSERT_TRUE(next_midi_input());
  EXPECT_EQ(midi_event.bytes[0], 0xB0);
}

}  // namespace
