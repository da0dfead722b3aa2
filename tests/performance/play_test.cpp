// tests/performance/play_test.cpp: the play engine, heard through the loopback MIDI service and
// the offline synthesizer on the virtual clock.
//   Hear.*:      a piece with a tempo change, repeats with endings, a tie, a grace note, pedal
//                marks and a MIDI command gives exactly the MIDI stated by hand; the same piece
//                rendered by the synthesizer starts each note within 10 ms of its time
//   Engine.*:    repeats, metronome marks, ties, silent voices, glissandos, the end of a play
//   Stopping.*:  a stop in the middle leaves no note sounding
#include "performance/play.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <set>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "params/param_services.h"
#include "performance/midi_out.h"
#include "performance/performance_fields.h"
#include "performance/performance_globals.h"
#include "performance/performance_services.h"
#include "performance/play_fixture.h"
#include "performance/play_queue.h"
#include "platform/midi.h"
#include "platform/play_timer.h"
#include "platform/synth.h"
#include "platform/ticks.h"
#include "support/piece_builder.h"

namespace {

// Diatonic positions (middle C, key 60, is 35).
constexpr int C3 = 28, G2 = 25, E3 = 30, F3 = 31, C4 = 35, D4 = 36, E4 = 37, F4 = 38, G4 = 39,
              A4 = 40, B4 = 41, C5 = 42;

// The piece of the hand-stated lists, in 2/4 at a quarter = 60, every note sounding its full
// length, a group of grace notes half a sixteenth long (125 ms at 60):
//   voice 0, channel 1: "program 14", pedal down, C4 D4~ | D4 (grace E4) F4 |: tempo 120,
//                       pedal up, G4 A4 |1. B4 C5 :|2. C5 half
//   voice 1, channel 2: "program 14", C3 half | G2 | E3 | F3 | C3
// Heard: bars 1 2 3 4 3 5.
void build_hand_piece() {
  set_perf_setting(PERF_NORMAL_LENGTH, 100);
  set_perf_setting(PERF_GRACE_LENGTH, 50);
  const int v = new_voice("Flute");
  const int w = new_voice("Cello", 0, 1);
  find_next_kind(VINFO, piece_start[w])->set(xmidichan, 1);
  for (int u : {v, w}) add_timesig(u, 2, 4);
  add_text_anno(v, -5, "program 14");  // a xylophone
  add_glyph_anno(v, P_PEDAL_MARKING);
  add_note(v, QUARTER, C4);
  add_note(v, QUARTER, D4)->set(xtie, 1);
  add_bar(v);
  add_note(v, QUARTER, D4);
  add_grace(v, EIGHTH, false, E4);
  add_note(v, QUARTER, F4);
  add_repeat_bar(v, false, true, 0);
  add_tempo_mark(v, 120);
  add_glyph_anno(v, P_PEDAL_UP_MARKING);
  add_note(v, QUARTER, G4);
  add_note(v, QUARTER, A4);
  add_repeat_bar(v, false, false, 1);
  add_note(v, QUARTER, B4);
  add_note(v, QUARTER, C5);
  add_repeat_bar(v, true, false, 2);
  add_note(v, HALF, C5);
  add_text_anno(w, -5, "program 14");
  for (int pos : {C3, G2, E3, F3, C3}) {
    if (pos != C3 || find_next_kind(NOTE, piece_start[w])) add_bar(w);
    add_note(w, HALF, pos);
  }
}

std::vector<std::string> lines(std::initializer_list<const char*> list) {
  return {list.begin(), list.end()};
}

// Times of the first note-on of each distinct time in a list of "<ms> <bytes>" lines.
std::vector<int> note_on_times(const std::vector<std::string>& sent) {
  std::set<int> times;
  for (const std::string& line : sent) {
    int ms = 0;
    unsigned status = 0, key = 0, velocity = 0;
    if (std::sscanf(line.c_str(), "%d %x %x %x", &ms, &status, &key, &velocity) == 4 &&
        (status & 0xF0) == 0x90 && velocity)
      times.insert(ms);
  }
  return {times.begin(), times.end()};
}

class Hear : public PlayTest {};
class Engine : public PlayTest {};
class Stopping : public PlayTest {};

TEST_F(Hear, APieceGivesTheMidiStatedByHand) {
  use_loopback();
  build_hand_piece();
  prepare_piece();
  const int32_t first = hear();
  run_play();
  std::vector<std::string> sent = take_sent(first);
  ASSERT_GE(sent.size(), 32u);
  // What the end of the play sends at the next turn of the timer: every controller back.
  const std::vector<std::string> end(sent.end() - 32, sent.end());
  sent.erase(sent.end() - 32, sent.end());
  EXPECT_EQ(sent, lines({
                      // bar 1 at a quarter = 60: the command 1 ms before its note, then the pedal
                      "0 C0 0D",
                      "0 B0 40 7F",
                      "0 C1 0D",
                      "0 90 3C 4C",
                      "0 91 30 4C",
                      "1000 90 3C 00",
                      "1000 90 3E 4C",  // D4 tied on into bar 2: one note
                      "2000 91 30 00",
                      "2000 91 2B 4C",
                      // the grace note takes its 125 ms from the D4 before it (due at 2875)
                      "2880 90 3E 00",
                      "2880 90 40 4C",
                      "3000 90 40 00",
                      "3000 90 41 4C",
                      // bar 3: a quarter = 120, pedal up
                      "4000 91 2B 00",
                      "4000 90 41 00",
                      "4000 B0 40 00",
                      "4000 90 43 4C",
                      "4000 91 34 4C",
                      "4500 90 43 00",
                      "4500 90 45 4C",
                      // bar 4, the first ending
                      "5000 91 34 00",
                      "5000 90 45 00",
                      "5000 90 47 4C",
                      "5000 91 35 4C",
                      "5500 90 47 00",
                      "5500 90 48 4C",
                      // back to bar 3
                      "6000 91 35 00",
                      "6000 90 48 00",
                      "6000 B0 40 00",
                      "6000 90 43 4C",
                      "6000 91 34 4C",
                      "6500 90 43 00",
                      "6500 90 45 4C",
                      // the second ending
                      "7000 91 34 00",
                      "7000 90 45 00",
                      "7000 90 48 4C",
                      "7000 91 30 4C",
                      "8000 90 48 00",
                      "8000 91 30 00",
                  }));
  for (int c = 0; c < 16; ++c) {
    char sustain[32], notes[32];
    std::snprintf(sustain, sizeof sustain, "8010 B%X 40 00", c);
    std::snprintf(notes, sizeof notes, "8010 B%X 7B 00", c);
    EXPECT_EQ(end[size_t(2 * c)], sustain);
    EXPECT_EQ(end[size_t(2 * c + 1)], notes);
  }
  EXPECT_FALSE(is_playing());
  EXPECT_FALSE(platform_timer_running());
}

// The onsets of a rendering: where the energy of a millisecond jumps well above the loudest
// millisecond of the 100 before it, as ms from the start of the rendering.
std::vector<int> onsets(const std::vector<int16_t>& stereo) {
  constexpr int FRAME = SYNTH_SAMPLE_RATE / 1000;  // 1 ms
  std::vector<double> energy;
  for (size_t at = 0; at + 2 * FRAME <= stereo.size(); at += 2 * FRAME) {
    double sum = 0;
    for (int i = 0; i < 2 * FRAME; ++i)
      sum += double(stereo[at + size_t(i)]) * stereo[at + size_t(i)];
    energy.push_back(std::log10(sum / (2 * FRAME) + 1));
  }
  std::vector<int> found;
  for (size_t i = 100; i < energy.size(); ++i) {
    double before = 0;
    for (size_t k = i - 100; k < i - 3; ++k) before = std::max(before, energy[k]);
    const int ms = int(i * FRAME * 1000 / SYNTH_SAMPLE_RATE);
    if (energy[i] > before + 0.3 && (found.empty() || ms - found.back() > 40)) found.push_back(ms);
  }
  return found;
}

TEST_F(Hear, TheRenderedPieceStartsEachNoteWithin10MsOfItsTime) {
  use_loopback();
  build_hand_piece();
  prepare_piece();
  const int32_t first = hear();
  run_play();
  const std::vector<int> scheduled = note_on_times(take_sent(first));
  finish_playing();
  reset_performance_globals();

  use_offline_synth();
  const int32_t start_ms = now_ms();
  const int32_t due = hear();
  run_play();
  const std::filesystem::path folder =
      std::filesystem::current_path().parent_path() / "test-output" / "performance";
  std::filesystem::create_directories(folder);
  const int64_t length_us = int64_t(now_ms() - start_ms) * 1000;
  ASSERT_TRUE(platform_synth_write_wav((folder / "hand_piece.wav").string(), length_us));
  std::vector<int> heard = onsets(platform_synth_rendered(length_us));
  for (int& ms : heard) ms -= due - start_ms;
  ASSERT_EQ(heard.size(), scheduled.size()) << "onsets found: " << ::testing::PrintToString(heard);
  for (size_t i = 0; i < heard.size(); ++i) EXPECT_NEAR(heard[i], scheduled[i], 10) << i;
}

TEST_F(Engine, ARepeatedBarIsHeardTwiceUnlessRepeatsAreIgnored) {
  use_loopback();
  const int v = new_voice();
  add_timesig(v, 2, 4);
  add_note(v, QUARTER, C4);
  add_repeat_bar(v, false, true, 0);
  add_note(v, QUARTER, D4);
  add_note(v, QUARTER, E4);
  add_repeat_bar(v, true, false, 0);
  add_note(v, QUARTER, F4);
  prepare_piece();
  auto keys_heard = [&](int ignore) {
    const int32_t first = hear(ignore);
    run_play();
    std::string keys;
    for (const std::string& line : take_sent(first))
      if (line.size() > 8 && line.find(" 90 ") != std::string::npos &&
          line.substr(line.size() - 3) != " 00")
        keys += line.substr(line.find(" 90 ") + 4, 2) + " ";
    return keys;
  };
  EXPECT_EQ(keys_heard(0), "3C 3E 40 3E 40 41 ");
  EXPECT_EQ(keys_heard(1), "3C 3E 40 41 ");
}

// A repeat that ends the piece: its bar is played again, in playback and in the file written.
TEST_F(Engine, ARepeatAtThePiecesLastBarIsPlayed) {
  use_loopback();
  const int v = new_voice();
  add_timesig(v, 2, 4);
  add_note(v, QUARTER, E4);
  add_note(v, QUARTER, F4);
  add_repeat_bar(v, true, false, 0);
  prepare_piece();
  const int32_t first = hear();
  run_play();
  std::string keys;
  for (const std::string& line : take_sent(first))
    if (line.find(" 90 ") != std::string::npos && line.substr(line.size() - 3) != " 00")
      keys += line.substr(line.find(" 90 ") + 4, 2) + " ";
  EXPECT_EQ(keys, "40 41 40 41 ");
  EXPECT_FALSE(is_playing());

  midi_file_writer = MidiFileWriter{};
  midi_file_writer.open = true;
  midi_file_writer.divisions = 480;
  send_midi_packet(nullptr, 1);
  ASSERT_EQ(hear_command(1, 0, 0, 0, 0), 1);
  const std::vector<uint8_t> bytes = midi_file_writer.bytes;
  midi_file_writer = MidiFileWriter{};
  std::string written;
  for (size_t i = 0; i + 2 < bytes.size(); ++i)
    if (bytes[i] == 0x90 && bytes[i + 2] != 0) written += std::to_string(bytes[i + 1]) + " ";
  EXPECT_EQ(written, "64 65 64 65 ");
}

TEST_F(Engine, MetronomeMarksSetTheTempo) {
  const int v = new_voice();
  add_tempo_mark(v, 120);
  Drosa plain = find_next_kind(TPARAM, piece_start[v]);
  add_note(v, QUARTER, C4);
  add(v, TPARAM);
  double bpm = 0;
  int32_t unit = 0, dots = 0;
  ASSERT_TRUE(parse_metronome_text(plain, &bpm, &unit, &dots));
  EXPECT_EQ(bpm, 120);
  EXPECT_EQ(unit, 3);
  EXPECT_EQ(dots, 0);
  EXPECT_DOUBLE_EQ(tempo_rate_of(1.0, bpm, unit), 32.768);
  // A dotted quarter: the dot symbol before "=" makes the rate half as large again.
  const ParamValue* quarter = param_value(P_QUARTER_NOTE_FOR_TEMPO_MARKINGS, NIL, nullptr);
  const ParamValue* dot = param_value(P_DOT_FOR_TEMPO_MARKINGS, NIL, nullptr);
  ASSERT_EQ(quarter->font(), dot->font());
  Drosa dotted =
      add_text_anno(v, quarter->font(), {char(quarter->character()), char(dot->character())});
  add_text_anno(v, -5, "= 80", true);
  ASSERT_TRUE(parse_metronome_text(dotted, &bpm, &unit, &dots));
  EXPECT_EQ(dots, 1);
  EXPECT_EQ(bpm, 80);
  EXPECT_FALSE(parse_metronome_text(add_text_anno(v, -5, "Allegro = 120"), &bpm, &unit, &dots));
  // Words before another annotation whose runs make a mark are no mark.
  Drosa words = add_text_anno(v, -5, "cresc.");
  Drosa mark = add_text_anno(v, -5, "(");
  add_text_anno(v, quarter->font(), {char(quarter->character())}, true);
  add_text_anno(v, -5, "= 90)", true);
  EXPECT_TRUE(parse_metronome_text(mark, &bpm, &unit, &dots));
  EXPECT_FALSE(parse_metronome_text(words, &bpm, &unit, &dots));
}

TEST_F(Engine, TiedNotesSoundOnceAndASilentVoiceNotAtAll) {
  use_loopback();
  const int v = new_voice();
  add_note(v, QUARTER, C4)->set(xtie, 1);
  add_note(v, QUARTER, C4);
  const int w = new_voice("Horn", 0, 1);
  find_next_kind(VINFO, piece_start[w])->set(xchanmode, 3);
  add_note(w, HALF, C3);
  prepare_piece();
  const int32_t first = hear();
  run_play();
  std::vector<std::string> sent = take_sent(first);
  sent.resize(sent.size() - 32);  // the end of the play
  EXPECT_EQ(sent, lines({"0 90 3C 4C", "1900 90 3C 00"}));
}

TEST_F(Engine, AGlissandoRunsInSemitonesOverItsLength) {
  use_loopback();
  const int v = new_voice();
  add_note(v, QUARTER, C4)->set(xgliss, 1);
  add_note(v, QUARTER, E4);
  set_perf_setting(PERF_NORMAL_LENGTH, 100);
  prepare_piece();
  const int32_t first = hear();
  run_play();
  std::vector<std::string> sent = take_sent(first);
  sent.resize(sent.size() - 32);
  EXPECT_EQ(sent, lines({"0 90 3C 4C", "250 90 3C 00", "250 90 3D 4C", "500 90 3D 00",
                         "500 90 3E 4C", "750 90 3E 00", "750 90 3F 4C", "1000 90 3F 00",
                         "1000 90 40 4C", "2000 90 40 00"}));
}

TEST_F(Engine, InFileModeEventsAreWrittenInTimeOrderAfterTheTempo) {
  const int v = new_voice();
  add_note(v, QUARTER, C4)->set(xgliss, 1);
  add_note(v, QUARTER, E4);
  set_perf_setting(PERF_NORMAL_LENGTH, 100);
  prepare_piece();
  midi_file_writer = MidiFileWriter{};
  midi_file_writer.open = true;
  midi_file_writer.divisions = 480;
  send_midi_packet(nullptr, 1);
  ASSERT_EQ(hear_command(1, 0, 0, 0, 0), 1);
  EXPECT_FALSE(is_playing());
  const std::vector<uint8_t> bytes = midi_file_writer.bytes;
  midi_file_writer = MidiFileWriter{};
  // A quarter = 60 (1,000,000 microseconds), then the glissando's four steps of 120 ticks.
  EXPECT_EQ(bytes,
            (std::vector<uint8_t>{0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40,  // tempo
                                  0x00, 0x90, 0x3C, 0x4C, 0x78, 0x90, 0x3C, 0x00, 0x00, 0x90, 0x3D,
                                  0x4C, 0x78, 0x90, 0x3D, 0x00, 0x00, 0x90, 0x3E, 0x4C, 0x78, 0x90,
                                  0x3E, 0x00, 0x00, 0x90, 0x3F, 0x4C, 0x78, 0x90, 0x3F, 0x00, 0x00,
                                  0x90, 0x40, 0x4C, 0x83, 0x60, 0x90, 0x40, 0x00}));
}

TEST_F(Engine, WithoutAnOutputHearSaysSoAndNothingPlays) {
  const int v = new_voice();
  add_note(v, QUARTER, C4);
  prepare_piece();
  midi_out_available = 0;
  EXPECT_EQ(hear_command(0, 1, 0, 0, 0), 0);
  const std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].text,
            "Sorry, output is turned off or your computer has no MIDI capabilities, so you "
            "cannot use Hear.");
  EXPECT_FALSE(is_playing());
}

TEST_F(Stopping, AStopInTheMiddleLeavesNoNoteSounding) {
  use_loopback();
  build_hand_piece();
  prepare_piece();
  const int32_t first = hear();
  run_play(first - hear_ms + 4250);  // bar 3 sounding
  ASSERT_TRUE(is_playing());
  EXPECT_EQ(stop_playing(0), 1);
  run_play();
  std::map<std::pair<int, int>, int> sounding;  // (channel, key) -> notes on
  for (const std::string& line : take_sent(first)) {
    unsigned status = 0, key = 0, velocity = 0;
    if (std::sscanf(line.c_str(), "%*d %x %x %x", &status, &key, &velocity) != 3) continue;
    if ((status & 0xF0) == 0x90) sounding[{int(status & 15), int(key)}] += velocity ? 1 : -1;
  }
  for (const auto& [note, count] : sounding)
    EXPECT_LE(count, 0) << "channel " << note.first << " key " << note.second;
  for (uint32_t mask : midi_send_state.sounding_keys) EXPECT_EQ(mask, 0u);
  EXPECT_FALSE(play_queue_busy());
  EXPECT_FALSE(platform_timer_running());
}

}  // namespace
