// record_test.cpp: keys played against beats collected into onset groups, beat fillers and
// rests; the groups of each beat fitted to the rhythm templates.
#include "performance/record.h"

#include <gtest/gtest.h>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "performance/performance_services.h"
#include "performance/play_fixture.h"
#include "support/piece_builder.h"

namespace {

class Recorder : public PlayTest {
 protected:
  void SetUp() override {
    PlayTest::SetUp();
    record_settings = RecordSettings{};
    record_settings.filled = true;
  }
  void TearDown() override {
    release_recording();
    record_settings = RecordSettings{};
    PlayTest::TearDown();
  }
  void message(int32_t time, uint8_t status, uint8_t a, uint8_t b, int importing) {
    midi_event.size = 9;
    midi_event.time = uint32_t(time);
    midi_event.bytes[0] = status;
    midi_event.bytes[1] = a;
    midi_event.bytes[2] = b;
    record_midi_event(1, importing);
  }
  // A file's event at tick t: first a beat at every period before it, as the import adds them.
  void at(int32_t t, uint8_t status, uint8_t key, uint8_t velocity) {
    for (; next_beat < t; next_beat += record_settings.beat_period)
      metronome_beat(next_beat, 1, -1);
    message(t, status, key, velocity, 1);
  }
  // A file of notes given as (tick, key, ticks held), quantised to the template values.
  std::vector<std::string> quantised(const std::vector<std::array<int32_t, 3>>& notes) {
    begin_recording(1, 0);
    record_settings.beat_period = 960;
    std::vector<std::array<int32_t, 3>> events;  // tick, key, velocity
    for (const auto& n : notes) {
      events.push_back({n[0], n[1], 100});
      events.push_back({n[0] + n[2], n[1], 0});
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const auto& a, const auto& b) { return a[0] < b[0]; });
    for (const auto& e : events) at(e[0], 0x90, uint8_t(e[1]), uint8_t(e[2]));
    const int32_t end = (events.back()[0] + 959) / 960 * 960;
    for (; next_beat < end; next_beat += 960) metronome_beat(next_beat, 1, -1);
    finish_recorded_beats(end, 1);
    EXPECT_EQ(normalize_recording(), 1);
    build_active_templates();
    match_templates();
    std::vector<std::string> values;
    for (Drosa p = recorded_notes_first()->xnext; p; p = p->xnext)
      values.push_back(std::to_string(p->get(rnotenum)) + " " + std::to_string(p->get(rlgval)) +
                       (p->get(rdots) ? "." : "") + (p->get(rtupl) == 3 ? "t" : ""));
    return values;
  }
  // The recorded list: key (R a rest, F a beat filler), onset, time to the next group, and
  // c for the end of a group, b for the group that opens a beat.
  static std::vector<std::string> recorded() {
    std::vector<std::string> list;
    for (Drosa p = recorded_notes_first()->xnext; p; p = p->xnext) {
      const int key = p->get(rnotenum);
      std::string s = key == RNOTE_REST          ? "R"
                      : key == RNOTE_BEAT_FILLER ? "F"
                                                 : std::to_string(key);
      s += "@" + std::to_string(p->get(rstart_time)) + " " + std::to_string(p->get(rttn));
      if (p->get(rendchord) || p->get(rnewbeat)) s += " ";
      if (p->get(rendchord)) s += "c";
      if (p->get(rnewbeat)) s += "b";
      list.push_back(s);
    }
    return list;
  }
  int32_t next_beat = 960;
};

TEST_F(Recorder, KeysMakeChordsBeatFillersAndRestsAgainstTheBeats) {
  begin_recording(0, 0);
  record_settings.lowest_key = 40;
  // Before the first note the beats do not pile up: the recording starts at the last one.
  metronome_beat(1000, 0, -1);
  metronome_beat(2000, 0, -1);
  EXPECT_EQ(recording.last_beat, 0);
  message(2010, 0x90, 60, 100, 0);
  message(2040, 0x90, 64, 100, 0);  // within the chord threshold (165 ms)
  message(2060, 0x90, 30, 100, 0);  // below the lowest key
  message(2500, 0x80, 60, 0, 0);
  message(2500, 0x90, 64, 0, 0);
  metronome_beat(3000, 0, -1);
  message(3020, 0x90, 62, 100, 0);  // held over the next beat, which has no onset
  metronome_beat(4000, 0, -1);
  metronome_beat(5000, 0, -1);
  message(5010, 0x90, 65, 100, 0);
  message(5400, 0x80, 62, 0, 0);
  message(5400, 0x80, 65, 0, 0);
  metronome_beat(6000, 0, -1);
  metronome_beat(7000, 0, -1);
  message(7100, 0x90, 67, 100, 0);  // after a beat and more of silence: a rest first
  finish_recorded_beats(8000, 0);
  EXPECT_EQ(recorded(), (std::vector<std::string>{"60@2010 0 b", "64@2040 1010 c", "62@3020 980 cb",
                                                  "F@0 1010 cb", "65@5010 990 cb", "R@6000 1100 cb",
                                                  "67@7100 900 cb"}));

  // Taps make beats, but not one within 80 ms of the last.
  record_settings.tap_beats = 1;
  const int beats = recording.last_beat;
  message(8500, 0xB0, 64, 127, 0);
  message(8550, 0xB0, 64, 127, 0);
  message(9500, 0xB0, 80, 127, 0);
  EXPECT_EQ(recording.last_beat, beats + 2);
}

TEST_F(Recorder, EachBeatTakesTheTemplateThatFitsItBest) {
  // Nothing finer than the beat: a group a quarter of a beat late is still a beat.
  record_settings.subdivision = record_settings.beat_unit = 3;
  EXPECT_EQ(quantised({{0, 60, 900}, {1200, 62, 700}, {1920, 64, 900}}),
            (std::vector<std::string>{"60 3", "62 3", "64 3"}));
  release_recording();
  next_beat = 960;
  // Two steps finer: five groups in a beat fit four sixteenths, the last group in the last slot.
  record_settings.subdivision = 5;
  EXPECT_EQ(quantised({{0, 60, 150},
                       {192, 61, 150},
                       {384, 62, 150},
                       {576, 63, 150},
                       {768, 64, 150},
                       {960, 65, 900}}),
            (std::vector<std::string>{"60 5", "61 5", "62 5", "64 5", "65 3"}));
  release_recording();
  next_beat = 960;
  // Half-quarter-quarter and quarter-half-quarter fit as well: the earlier template wins.
  EXPECT_EQ(quantised({{0, 60, 300}, {360, 62, 300}, {720, 64, 200}, {960, 65, 900}}),
            (std::vector<std::string>{"60 4", "62 5", "64 5", "65 3"}));
}

TEST_F(Recorder, AClusterBecomesARestAndAChordOfTenKeysKeepsNine) {
  const int v = new_voice();
  add_timesig(v, 4, 4);
  for (int bar = 0; bar < 2; ++bar) add_rest(v, WHOLE), add_bar(v);
  prepare_piece();
  set_insertion_point(find_next_kind(NOTE, piece_start[v]), 0, -10);
  record_settings.cluster_rest = 1;
  record_settings.subdivision = 3;
  std::vector<std::array<int32_t, 3>> played = {{0, 60, 900}, {0, 61, 900}, {0, 62, 900}};
  for (int k = 0; k < 10; ++k) played.push_back({960, 48 + 2 * k, 900});
  played.push_back({1920, 72, 900});
  played.push_back({2880, 74, 900});
  quantised(played);
  note_entry_active = 1;
  EXPECT_EQ(make_recorded_notes(current_note_template), 1);
  note_entry_active = 0;
  std::vector<std::string> chords;  // "keys value" of each chord, r a rest
  std::string chord;
  for (Drosa p = find_next_kind(NOTE, piece_start[v]); p; p = find_next_kind(NOTE, p)) {
    chord += p->get(xrest) ? "r" : std::to_string(p->get(xpitch) >> 8) + ",";
    if (!p->get(xendvcd)) continue;
    chords.push_back(chord + " " + std::to_string(p->get(xlgval)));
    chord.clear();
  }
  ASSERT_GE(chords.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(chords.begin(), chords.begin() + 4),
            (std::vector<std::string>{"r 3", "48,50,52,54,56,58,60,62,64, 3", "72, 3", "74, 3"}));
  const std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].text,
            "Some chords held more than 9 notes: only the first 9 notes of each were kept.");
}

// Kept played durations: every chord of a bar sounds as long as it was held, not only the
// bar's last. A chord struck on the bar's last beat and held over the bar line is tied to its
// repeat in the next bar: it sounds up to the repeat, and the repeat, struck by no key, its value.
TEST_F(Recorder, KeptDurationsGiveEveryChordItsPlayedLength) {
  const int v = new_voice();
  add_timesig(v, 4, 4);
  for (int bar = 0; bar < 3; ++bar) add_rest(v, WHOLE), add_bar(v);
  prepare_piece();
  set_insertion_point(find_next_kind(NOTE, piece_start[v]), 0, -10);
  record_settings.subdivision = 3;
  record_settings.keep_played_durations = 1;
  quantised({{0, 72, 480},
             {960, 72, 480},
             {1920, 72, 480},
             {2880, 60, 1400},
             {2880, 64, 1400},
             {4800, 67, 480}});
  note_entry_active = 1;
  EXPECT_EQ(make_recorded_notes(current_note_template), 1);
  note_entry_active = 0;
  std::vector<std::string> notes;  // "key value[~] ttn length"
  for (Drosa p = find_next_kind(NOTE, piece_start[v]); p; p = find_next_kind(NOTE, p))
    if (!p->get(xrest))
      notes.push_back(std::to_string(p->get(xpitch) >> 8) + " " + std::to_string(p->get(xlgval)) +
                      (p->get(xtie) ? "~ " : " ") + std::to_string(p->get(xttn)) + " " +
                      std::to_string(p->get(xlength)));
  EXPECT_EQ(notes,
            (std::vector<std::string>{"72 3 16384 8192", "72 3 16384 8192", "72 3 16384 8192",
                                      "60 3~ 0 16384", "64 3~ 16384 16384", "60 3 0 14745",
                                      "64 3 16384 14745", "67 3 16384 8192"}));
  EXPECT_TRUE(take_reports().empty());
}

}  // namespace
