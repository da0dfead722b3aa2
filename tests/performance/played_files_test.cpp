// played_files_test.cpp: Standard MIDI Files as other programs and players write them, imported
// into an empty piece (4/4, whole rests): notes played a little before or after their beats;
// every track offered, the first of a format-1 file too; pieces that go on past the measures and
// pages the piece has; 6/8 with an upbeat, whose notes are tied over the 4/4 bar lines; files
// and tracks without notes.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/app_services.h"
#include "model/model_services.h"
#include "performance/entry_fixture.h"
#include "performance/performance_services.h"
#include "performance/record.h"
#include "platform/script.h"
#include "support/midi_bytes.h"

namespace {

using Note = std::array<int32_t, 3>;  // tick, key, length

// A format-0 file of one track, `division` ticks a quarter.
void write_file(const std::string& path, const std::vector<Note>& notes, int division) {
  const std::vector<uint8_t> body = note_track_body(notes, 80);
  std::vector<uint8_t> file = {
      'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, uint8_t(division >> 8), uint8_t(division),
      'M', 'T', 'r', 'k'};
  const uint32_t n = uint32_t(body.size());
  file.insert(file.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
  file.insert(file.end(), body.begin(), body.end());
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
}

// A Standard MIDI File of the format with the tracks' bodies.
void write_tracks(const std::string& path, int format, int division,
                  const std::vector<std::vector<uint8_t>>& tracks) {
  std::vector<uint8_t> file = {'M',
                               'T',
                               'h',
                               'd',
                               0,
                               0,
                               0,
                               6,
                               0,
                               uint8_t(format),
                               0,
                               uint8_t(tracks.size()),
                               uint8_t(division >> 8),
                               uint8_t(division)};
  for (const std::vector<uint8_t>& body : tracks) {
    const uint32_t n = uint32_t(body.size());
    file.insert(file.end(), {'M', 'T', 'r', 'k', uint8_t(n >> 24), uint8_t(n >> 16),
                             uint8_t(n >> 8), uint8_t(n)});
    file.insert(file.end(), body.begin(), body.end());
  }
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
}

// A track body with a time signature (numerator, power of two of the denominator, clocks a
// click) at its start.
std::vector<uint8_t> with_time_signature(int nn, int dd, int cc, std::vector<uint8_t> body) {
  body.insert(body.begin(), {0x00, 0xFF, 0x58, 0x04, uint8_t(nn), uint8_t(dd), uint8_t(cc), 8});
  return body;
}

std::vector<Onset> onsets_of(const std::vector<Note>& notes) {
  std::vector<Onset> list;
  for (const Note& n : notes) list.push_back({n[0], n[1]});
  std::sort(list.begin(), list.end());
  return list;
}

class PlayedFile : public EntryPage {
 protected:
  void SetUp() override {
    EntryPage::SetUp();
    record_settings = RecordSettings{};
  }
  // Voice 0's notes of the first `bars` bars: "key value" (r for a rest).
  static std::vector<std::string> notes(int bars) {
    std::vector<std::string> list;
    for (Drosa p = piece_start[0]; p && bars > 0; p = p->xnext) {
      if (p->xkind == BAR) --bars;
      if (p->xkind != NOTE) continue;
      std::string s = p->get(xrest) ? "r" : std::to_string(p->get(xpitch) >> 8);
      list.push_back(s + " " + std::to_string(p->get(xlgval)));
    }
    return list;
  }
  void import(const std::string& path, int track = -1) {
    script_file_name(path);
    if (track >= 0) script_type(33, std::to_string(track));
    script_hit(1);  // the import dialog's OK
    do_menu_item(IMPORT_MENU, 2, 'v');
    EXPECT_EQ(run_until_idle(), -1);
  }
};

TEST_F(PlayedFile, NotesPlayedJustBeforeTheirBeatsAreAllKept) {
  // Sixteen quarters at 96 ticks a quarter, as a player plays them: up to a twelfth of a beat
  // early or late, each held a little shorter than its beat.
  const int keys_played[16] = {60, 64, 67, 72, 67, 64, 60, 55, 60, 64, 67, 72, 67, 64, 60, 55};
  const int onsets[16] = {0,   90,  187, 294,  388,  475,  568,  677,
                          760, 864, 955, 1048, 1144, 1240, 1342, 1432};
  const int lengths[16] = {84, 78, 85, 85, 76, 85, 82, 89, 84, 77, 80, 70, 90, 82, 83, 86};
  std::vector<Note> played;
  for (int i = 0; i < 16; ++i) played.push_back({onsets[i], keys_played[i], lengths[i]});
  open_empty(4);
  start_entry();
  const std::string file = dir + "/played.mid";
  write_file(file, played, 96);
  import(file);
  // Every note is kept, a quarter on its beat.
  std::vector<std::string> quarters;
  for (int key : keys_played) quarters.push_back(std::to_string(key) + " 3");
  EXPECT_EQ(notes(4), quarters);
}

}  // namespace

namespace {

// Four bars of 4/4 in quarters and eighths for each hand, from tick 0, 480 ticks a quarter.
std::vector<Note> hand(int low, int bars) {
  std::vector<Note> notes;
  for (int bar = 0; bar < bars; ++bar) {
    const int32_t s = 1920 * bar;
    notes.push_back({s, low + bar % 7, 480});
    notes.push_back({s + 480, low + 2, 240});
    notes.push_back({s + 720, low + 4, 240});
    notes.push_back({s + 960, low + 5, 960});
  }
  return notes;
}

TEST_F(PlayedFile, EveryTrackIsOfferedTheFirstOfAFormat1FileToo) {
  // The right hand in track 0, as notation programs write it, the left in track 1.
  const std::vector<Note> right = hand(72, 4), left = hand(48, 4);
  const std::string file = dir + "/hands.mid";
  write_tracks(
      file, 1, 480,
      {with_time_signature(4, 2, 24, note_track_body(right, 80)), note_track_body(left, 80)});
  open_empty(4);
  start_entry();
  import(file);  // track 0, offered first
  EXPECT_EQ(struck_keys(480), onsets_of(right));
  for (const Report& r : take_reports()) ADD_FAILURE() << r.text;

  script_hit(3);  // No: the piece is not saved
  do_menu_item(FILE_MENU, FILE_COMMAND_CLOSE, 'v');
  run_until_idle();
  open_empty(4);
  start_entry();
  import(file, 1);
  EXPECT_EQ(struck_keys(480), onsets_of(left));
  for (const Report& r : take_reports()) ADD_FAILURE() << r.text;
}

TEST_F(PlayedFile, ATrackOrFileWithoutNotesSaysSo) {
  open_empty(2);
  start_entry();
  const std::vector<std::string> before = notes(2);
  const std::string empty = dir + "/empty.mid", tempo_only = dir + "/tempo-track.mid";
  write_tracks(empty, 1, 480, {with_time_signature(4, 2, 24, {0x00, 0xFF, 0x2F, 0x00})});
  script_file_name(empty);  // no dialog comes
  do_menu_item(IMPORT_MENU, 2, 'v');
  EXPECT_EQ(run_until_idle(), -1);
  EXPECT_EQ(notes(2), before);
  std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].text, "Your MIDI file holds no notes: nothing was imported.");

  write_tracks(
      tempo_only, 1, 480,
      {with_time_signature(4, 2, 24, {0x00, 0xFF, 0x2F, 0x00}), note_track_body(hand(60, 1), 80)});
  script_file_name(tempo_only);
  script_type(33, "0");
  script_hit(1);  // refused: the dialog stays
  script_hit(2);  // Cancel
  do_menu_item(IMPORT_MENU, 2, 'v');
  EXPECT_EQ(run_until_idle(), -1);
  EXPECT_EQ(notes(2), before);
  said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].text, "Track 0 of your MIDI file holds no notes; track 1 holds notes.");
}

TEST_F(PlayedFile, AFileLongerThanThePieceGoesOnOverPagesAndIntoNewMeasures) {
  // Twenty bars into eight of two pages: all of it goes in, with bars added at the end.
  const std::vector<Note> melody = hand(60, 20);
  const std::string file = dir + "/long.mid";
  write_tracks(file, 0, 480, {with_time_signature(4, 2, 24, note_track_body(melody, 80))});
  open_empty(8);
  start_entry();
  import(file);
  EXPECT_EQ(struck_keys(480), onsets_of(melody));
  for (const Report& r : take_reports()) ADD_FAILURE() << r.text;
  int bars = 0;
  for (Drosa p = piece_start[0]; p; p = p->xnext) bars += effective_kind(p) == BAR ? 1 : 0;
  EXPECT_GE(bars, 20);
  EXPECT_LE(bars, 24) << "no more bars than the music needs, and a few to spare";
}

TEST_F(PlayedFile, SixEightWithAnUpbeatIsTiedOverTheBarLinesOfTheFourFourPiece) {
  // An eighth before the first bar, then four bars of quarter, eighth, quarter, eighth.
  std::vector<Note> melody = {{0, 67, 220}};
  for (int bar = 0; bar < 4; ++bar) {
    const int32_t s = 240 + 1440 * bar;
    for (const Note& n : std::vector<Note>{
             {s, 72, 460}, {s + 480, 71, 220}, {s + 720, 69, 460}, {s + 1200, 67 + bar, 220}})
      melody.push_back(n);
  }
  const std::string file = dir + "/six-eight.mid";
  write_tracks(file, 0, 480, {with_time_signature(6, 3, 36, note_track_body(melody, 80))});
  open_empty(4);
  start_entry();
  import(file);
  EXPECT_EQ(struck_keys(480), onsets_of(melody));
  for (const Report& r : take_reports()) ADD_FAILURE() << r.text;
}

}  // namespace
