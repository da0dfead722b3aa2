// record_app_test.cpp: Import MIDI and Record as the user drives them on an empty piece (4/4,
// whole rests): a melody of known rhythm read from a file, the same melody exported and read
// back, its sustain pedal changes as pedal marks, and a scale played with human timing on a
// MIDI keyboard against the metronome. The two dialogs are written as images
// (test-output/performance/import-midi-dialog.png, record-dialog.png with the MIDI monitor).
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "model/model_services.h"
#include "performance/entry_fixture.h"
#include "performance/performance_services.h"
#include "performance/record.h"
#include "platform/dialogs.h"
#include "platform/midi.h"
#include "platform/script.h"
#include "platform/synth.h"
#include "platform/ticks.h"
#include "support/midi_bytes.h"

namespace {

using Note = std::array<int32_t, 3>;  // tick (or ms), key, length

// A format-1 file of a tempo track and a track of notes, `division` ticks a quarter, with
// sustain pedal changes (tick, value).
void write_two_track_file(const std::string& path, const std::vector<Note>& notes,
                          int division = 960,
                          const std::vector<std::array<int32_t, 2>>& pedals = {}) {
  const std::vector<uint8_t> body = note_track_body(notes, 90, pedals);
  auto chunk = [](std::ofstream& out, const char* type, const std::vector<uint8_t>& bytes) {
    const uint32_t n = uint32_t(bytes.size());
    out.write(type, 4);
    const char length[4] = {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
    out.write(length, 4);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(n));
  };
  std::ofstream out(path, std::ios::binary);
  chunk(out, "MThd", {0, 1, 0, 2, uint8_t(division >> 8), uint8_t(division)});
  chunk(out, "MTrk", {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x2F, 0x00});
  chunk(out, "MTrk", body);
}

class Recording : public EntryPage {
 protected:
  void SetUp() override {
    EntryPage::SetUp();
    record_settings = RecordSettings{};
  }
  void TearDown() override {
    record_loop_hook = nullptr;
    platform_synth_use_offline(false);
    EntryPage::TearDown();
  }
  // The notes and rests of voice 0 from its first note: "key value[.][~]" (r for a rest,
  // a dot for each dot, ~ tied on).
  static std::vector<std::string> notes() {
    std::vector<std::string> list;
    for (Drosa p = piece_start[0]; p; p = p->xnext) {
      if (p->xkind != NOTE) continue;
      std::string s = p->get(xrest) ? "r" : std::to_string(p->get(xpitch) >> 8);
      s += " " + std::to_string(p->get(xlgval)) + std::string(p->get(xdots), '.');
      if (p->get(xtie)) s += "~";
      list.push_back(s);
    }
    return list;
  }
  // Import MIDI with the file, its dialog taken as it comes.
  void import(const std::string& path) {
    script_file_name(path);
    script_save_image(image_path("import-midi-dialog"));
    script_hit(1);  // the import dialog's OK
    do_menu_item(IMPORT_MENU, 2, 'v');
    EXPECT_EQ(run_until_idle(), -1);
  }
};

// Two bars and a half of 4/4 at a quarter of 960 ticks, each note held 90 % of its value.
const std::vector<Note> MELODY = {
    {0, 60, 3456},     // a whole note
    {3840, 62, 864},   // quarter
    {4800, 64, 432},   // eighth
    {5280, 65, 432},   // eighth
    {5760, 67, 1728},  // half
    {7680, 69, 2592},  // dotted half
    {10560, 71, 864},  // quarter
};
const std::vector<std::string> MELODY_NOTES = {"60 1", "62 3",  "64 4", "65 4",
                                               "67 2", "69 2.", "71 3"};

TEST_F(Recording, ImportMidiWritesTheRhythmOfTheFileAndExportReadsBackTheSame) {
  open_empty(4);
  start_entry();
  const std::string file = dir + "/melody.mid";
  write_two_track_file(file, MELODY);
  import(file);
  std::vector<std::string> got = notes();
  ASSERT_GE(got.size(), MELODY_NOTES.size());
  EXPECT_EQ(std::vector<std::string>(got.begin(), got.begin() + 7), MELODY_NOTES);
  EXPECT_EQ(insertion_point, find_next_kind(NOTE, piece_start[0])) << "at the first note";

  // Exported, then imported into an empty piece: the same pitches and values.
  const std::string exported = dir + "/exported.mid";
  script_file_name(exported);
  script_hit(1);  // the divisions asked, as they are
  do_menu_item(EXPORT_MENU, 2, 'v');
  EXPECT_EQ(run_until_idle(), -1);
  script_hit(3);  // No: the piece is not saved
  do_menu_item(FILE_MENU, FILE_COMMAND_CLOSE, 'v');
  run_until_idle();
  open_empty(4);
  start_entry();
  import(exported);
  EXPECT_EQ(notes(), got);
}

TEST_F(Recording, SustainPedalChangesBecomePedalMarksBeforeTheirNotes) {
  open_empty(4);
  start_entry();
  const std::string file = dir + "/pedalled.mid";
  // Down in the middle of the first eighth, up where the dotted half begins.
  write_two_track_file(file, MELODY, 960, {{4800 + 240, 127}, {7680, 0}});
  script_file_name(file);
  script_hit(16);  // volume from velocity, which keeps the pedal
  script_hit(1);
  do_menu_item(IMPORT_MENU, 2, 'v');
  EXPECT_EQ(run_until_idle(), -1);
  std::vector<std::string> marks;  // "key mark" for each pedal mark, by the note it stands before
  std::vector<int> pending;
  for (Drosa p = piece_start[0]; p; p = p->xnext) {
    if (p->xkind == TPARAM)
      if (const int mark = anno_is_pedal(NIL, p)) pending.push_back(mark);
    if (p->xkind != NOTE) continue;
    for (int mark : pending)
      marks.push_back(std::to_string(p->get(xpitch) >> 8) + " " + (mark == 606 ? "down" : "up"));
    pending.clear();
  }
  EXPECT_EQ(marks, (std::vector<std::string>{"64 down", "69 up"}));
}

TEST_F(Recording, ADamagedFileAddsNothing) {
  open_empty(2);
  start_entry();
  const std::vector<std::string> before = notes();
  const std::string file = dir + "/damaged.mid";
  write_two_track_file(file, MELODY);
  std::filesystem::resize_file(file, std::filesystem::file_size(file) - 20);
  import(file);
  EXPECT_EQ(notes(), before);
  const std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].text, "Premature end of MIDI file!");
}

TEST_F(Recording, WithoutAnInsertionPointRecordSaysWhereToClick) {
  open_empty(2);
  const std::vector<std::string> before = notes();
  insertion_point = NIL;
  EXPECT_EQ(record_command(0), 0);
  EXPECT_EQ(notes(), before);
  const std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].level, 2);
  EXPECT_NE(said[0].text.find("then choose Record... again"), std::string::npos) << said[0].text;
}

// With no keyboard connected, Record says so and that the piano window can be played; the
// dialog still opens.
TEST_F(Recording, WithNoMidiInputRecordSaysThePianoWindowCanBePlayed) {
  open_empty(2);
  start_entry();
  static bool opened = false;
  opened = false;
  record_loop_hook = [] {
    opened = true;
    EventRecord key;
    key.what = EVENT_KEY_DOWN;
    key.message = uint8_t(KEY_ESCAPE);
    platform_post_event(key);
  };
  do_menu_item(VOICE_MENU, 4, 'v');
  record_loop_hook = nullptr;
  EXPECT_EQ(run_until_idle(), -1);
  EXPECT_TRUE(opened);
  const std::vector<Report> said = take_reports();
  ASSERT_GE(said.size(), 1u);
  EXPECT_EQ(said[0].level, 2);
  EXPECT_EQ(said[0].text,
            "There is no MIDI input: no MIDI keyboard is connected (Hear > MIDI Input chooses "
            "one). You can record by playing the keys of the piano window instead.");
}

// Keys typed while recording: digits into the tempo field, which has the caret when the
// dialog opens (they went nowhere), and a tempo out of range said when Done is asked for.
TEST_F(Recording, ATempoTypedIntoTheRecordDialogIsTakenAndOneOutOfRangeIsSaid) {
  open_empty(2, true);
  start_entry();
  static std::string keys;
  static int turns = 0;
  auto record = [] {
    turns = 0;
    // The keys, then (should the dialog stay up) Escape after a while.
    record_loop_hook = [] {
      platform_advance_microseconds(5000);
      for (char c : turns == 0 ? keys : turns == 500 ? std::string(1, char(KEY_ESCAPE)) : "") {
        EventRecord key;
        key.what = EVENT_KEY_DOWN;
        key.message = uint8_t(c);
        platform_post_event(key);
      }
      ++turns;
    };
    do_menu_item(VOICE_MENU, 4, 'v');
    record_loop_hook = nullptr;
  };
  keys = "120\r";
  record();
  EXPECT_LT(turns, 500) << "Return did not end the recording";
  EXPECT_EQ(run_until_idle(), -1);
  EXPECT_EQ(record_settings.beat_period, 500);
  for (const Report& r : take_reports()) ADD_FAILURE() << r.text;
  keys = std::string("\b\b\b5\r") + char(KEY_ESCAPE);
  record();
  EXPECT_EQ(run_until_idle(), -1);
  EXPECT_EQ(record_settings.beat_period, 500);
  const std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].text, "Illegal tempo; please use an integer between 10 and 300.");
}

// A C major scale in quarters at 60 a minute, each key a little early or late.
TEST_F(Recording, AScalePlayedWithHumanTimingBecomesQuarterNotes) {
  open_empty(4, true);
  start_entry();
  // The clicks sound on the synthesizer, the keys come from the MIDI service.
  platform_synth_use_offline(true);
  ASSERT_EQ(qt_open_note_channels(), 1);
  midi_out_available |= MIDI_OUT_SYNTH;
  prefs.set_i32(PREFS_MIDI_OUTPUT_DEST, 0);
  static const int keys[8] = {60, 62, 64, 65, 67, 69, 71, 72};
  static const int jitter[8] = {-30, 25, 10, -20, 30, -5, -30, 15};
  static int32_t start = 0;
  static int played = 0;
  static bool released = false, pictured = false;
  start = now_ms();
  played = 0;
  pictured = false;
  record_loop_hook = [] {
    platform_advance_microseconds(5000);  // the loop's turns take time
    record_settings.midi_monitor = 1;     // as its check box would
    const int32_t t = now_ms() - start;
    // The first click comes a second after the start; the scale begins on the second click.
    if (played == 4 && !pictured) {  // the dialog as it shows during the recording
      pictured = true;
      platform_dialog_save_png(record_settings.dialog, image_path("record-dialog").c_str());
    }
    if (played < 8 && t >= 2000 + 1000 * played + jitter[played]) {
      if (played) platform_midi_loopback_play({0x80, uint8_t(keys[played - 1]), 0});
      platform_midi_loopback_play({0x90, uint8_t(keys[played]), 80});
      ++played;
      released = false;
    } else if (played == 8 && !released && t >= 9900) {
      platform_midi_loopback_play({0x80, uint8_t(keys[7]), 0});
      released = true;
    } else if ((released && t >= 10100) || t > 20000) {
      EventRecord done;
      done.what = EVENT_KEY_DOWN;
      done.message = KEY_RETURN;
      platform_post_event(done);
      record_loop_hook = nullptr;
    }
  };
  do_menu_item(VOICE_MENU, 4, 'v');
  EXPECT_EQ(run_until_idle(), -1);
  EXPECT_TRUE(platform_midi_take_sent().empty()) << "no click reached the MIDI service";
  EXPECT_EQ(notes(), (std::vector<std::string>{"60 3", "62 3", "64 3", "65 3", "67 3", "69 3",
                                               "71 3", "72 3", "r 1", "r 1"}));
}

}  // namespace
