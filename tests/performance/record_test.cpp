// record_test.cpp: keys played against beats collected into onset groups, beat fillers and
// rests; the groups of each beat fitted to the rhythm templates.
#include "performance/record.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "performance/performance_fields.h"
#include "performance/performance_services.h"
#include "performance/play_fixture.h"
#include "performance/quantise.h"
#include "support/midi_bytes.h"
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
  // Two steps finer: five groups in a beat fit four sixteenths, the last two as one chord in the
  // last slot.
  record_settings.subdivision = 5;
  EXPECT_EQ(quantised({{0, 60, 150},
                       {192, 61, 150},
                       {384, 62, 150},
                       {576, 63, 150},
                       {768, 64, 150},
                       {960, 65, 900}}),
            (std::vector<std::string>{"60 5", "61 5", "62 5", "63 5", "64 5", "65 3"}));
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
            "Only 11 of the 15 notes played reached the music. 1 was left out: a chord keeps its "
            "first 9 notes. 3 played as three adjacent semitones together became rests.");
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

// A format-1 file, 480 ticks a quarter, of a tempo track and two tracks of `beats` beats drawn
// from a seed: each beat a chord of one to four keys, two eighths, four sixteenths, a triplet, a
// dotted pair, a rest or a chord held for two to five beats, every onset up to 20 ticks early or
// late; now and then the sustain pedal goes down and up again.
std::vector<uint8_t> varied_file(int beats) {
  std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 3, 0x01, 0xE0};
  auto chunk = [&file](const std::vector<uint8_t>& body) {
    const uint32_t n = uint32_t(body.size());
    file.insert(file.end(), {'M', 'T', 'r', 'k', uint8_t(n >> 24), uint8_t(n >> 16),
                             uint8_t(n >> 8), uint8_t(n)});
    file.insert(file.end(), body.begin(), body.end());
  };
  chunk({0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08, 0x00, 0xFF, 0x2F, 0x00});
  for (uint32_t seed : {7u, 11u}) {
    auto next = [&seed](int n) { return int((seed = seed * 1664525u + 1013904223u) >> 8) % n; };
    std::vector<std::array<int32_t, 4>> events;  // tick, order (offs first), status, data
    auto chord = [&](int32_t at, int32_t held, int keys, int low) {
      at = std::max(0, at + next(41) - 20);
      for (int k = 0, key = low; k < keys; ++k, key += 3 + next(3)) {
        events.push_back({at, 1, 0x90, key << 8 | (40 + next(80))});
        events.push_back({at + held * 9 / 10, 0, 0x80, key << 8});
      }
    };
    for (int32_t b = 0, t = 0; b < beats; ++b, t += 480) {
      const int keys = 1 + next(4), low = 48 + next(24), shape = next(8);
      static const int parts[8] = {1, 2, 4, 3, 2, 0, 1, 1};
      if (shape == 4) {  // dotted eighth and sixteenth
        chord(t, 360, keys, low), chord(t + 360, 120, keys, low + 2);
      } else if (shape >= 6) {  // held for two to five beats
        const int held = 2 + next(4);
        chord(t, 480 * held, keys, low);
        b += held - 1, t += 480 * (held - 1);
      } else {
        for (int i = 0; i < parts[shape]; ++i)
          chord(t + 480 * i / parts[shape], 480 / parts[shape], keys, low + i);
      }
      if (next(6) == 0)
        events.push_back({t + 100, 2, 0xB0, 64 << 8 | 127}),
            events.push_back({t + 400, 2, 0xB0, 64 << 8});
    }
    std::stable_sort(events.begin(), events.end());
    std::vector<uint8_t> body;
    int32_t last = 0;
    for (const auto& e : events) {
      append_variable_length(body, uint32_t(e[0] - last));
      last = e[0];
      body.insert(body.end(), {uint8_t(e[2]), uint8_t(e[3] >> 8), uint8_t(e[3])});
    }
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    chunk(body);
  }
  return file;
}

// A file imported in an entry run, where each chord goes on from what was found of its bar,
// gives what entering each chord from its bar line gives, node for node: the second note track
// of three, into a voice in two sharps with grace notes, split rests and key changes, in
// sixteenths, triplets and dotted values, chords held over bar lines, and pedal marks.
TEST_F(Recorder, AFileImportedInARunGivesWhatEachChordFromItsBarLineGives) {
  const std::vector<uint8_t> file = varied_file(120);
  const int voices[2] = {new_voice(), new_voice()};
  for (int v : voices) {
    add_key(v, 2);
    add_timesig(v, 4, 4);
    for (int bar = 0; bar < 40; ++bar) {
      if (bar == 4 || bar == 12) add_key(v, bar == 4 ? 7 + 1 : 4);
      if (bar == 3) add_rest(v, HALF);
      add_rest(v, bar == 3 ? HALF : WHOLE);
      if (bar == 2 || bar == 9) add_grace(v, EIGHTH, true);
      add_bar(v);
    }
  }
  prepare_piece();
  std::string pieces[2];
  int triplets = 0, ties = 0, pedals = 0, accidentals = 0;
  for (int kept = 0; kept < 2; ++kept) {
    const int v = voices[kept];
    set_insertion_point(find_next_kind(NOTE, piece_start[v]), 0, -10);
    record_settings = RecordSettings{};
    record_settings.filled = true;
    record_settings.import = 1;
    record_settings.track = 2;
    record_settings.subdivision = 5;
    record_settings.triplets = 1;
    record_settings.midi_velocity = 1;  // keeps the pedal
    entry_runs_kept = kept;
    open_midi_reader(file);
    ASSERT_EQ(read_midi_header(), 1);
    begin_recording(1, 0);
    read_recorded_track();
    ASSERT_TRUE(!recording.cancelled && normalize_recording());
    build_active_templates();
    match_templates();
    note_entry_active = 1;
    EXPECT_EQ(make_recorded_notes(current_note_template), 1);
    place_recorded_pedals(insertion_point);
    note_entry_active = 0;
    close_midi_reader();
    release_recording();
    entry_runs_kept = true;
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      pieces[kept] += dump_node(p, {});
      if (p->xkind == NOTE) {
        for (int64_t f : {int64_t(p->get(xttn)), int64_t(p->get(xlength)), int64_t(p->get(xpitch)),
                          int64_t(p->get(xvolume)), int64_t(find_time_in_bar(p))})
          pieces[kept] += " " + std::to_string(f);
        triplets += p->get(xtupl) == 3, ties += p->get(xtie) != 0;
        accidentals += p->get(xaccplot) != 0;
      }
      pedals += p->xkind == TPARAM && anno_is_pedal(NIL, p);
      pieces[kept] += "\n";
    }
  }
  EXPECT_EQ(pieces[1], pieces[0]);
  EXPECT_GE(triplets, 2 * 9);
  EXPECT_GE(ties, 2 * 5);
  EXPECT_GE(pedals, 2 * 6);
  EXPECT_GE(accidentals, 2 * 10);
  EXPECT_TRUE(take_reports().empty());
}

}  // namespace
