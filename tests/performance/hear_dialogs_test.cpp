// tests/performance/hear_dialogs_test.cpp: the Hear dialogs, answered through the platform's
// script.
//   HearDialogs.*:  the tempo's range and the parts heard, the MIDI channel, dynamic levels,
//                   default playback and spelling
#include <gtest/gtest.h>

#include <filesystem>

#include "editing/editing_services.h"
#include "performance/perfdata.h"
#include "performance/performance_fields.h"
#include "performance/performance_globals.h"
#include "performance/performance_services.h"
#include "performance/play_fixture.h"
#include "platform/midi.h"
#include "platform/script.h"
#include "support/piece_builder.h"

namespace {

class HearDialogs : public PlayTest {
 protected:
  void SetUp() override {
    PlayTest::SetUp();
    script_begin();
  }
  void TearDown() override {
    EXPECT_EQ(script_take_faults(), std::vector<std::string>{});
    EXPECT_EQ(script_pending(), 0);
    script_end();
    PlayTest::TearDown();
  }
  // The dialog as it is drawn now, as test-output/performance/<name>.png of the build folder.
  void save(const std::string& name) {
    const std::filesystem::path folder =
        std::filesystem::current_path().parent_path() / "test-output" / "performance";
    std::filesystem::create_directories(folder);
    script_save_image((folder / (name + ".png")).string());
  }
  std::string said() {
    const std::vector<Report> reports = take_reports();
    return reports.empty() ? "" : reports.back().text;
  }
};

TEST_F(HearDialogs, TheTempoIsRefusedOutOfRangeAndAnUntickedPartIsNotHeard) {
  use_loopback();
  const int flute = new_voice("Flute");
  const int horn = new_voice("Horn", 0, 1);
  find_next_kind(VINFO, piece_start[horn])->set(xmidichan, 1);
  add_note(flute, QUARTER, 35);
  add_note(horn, QUARTER, 28);
  prepare_piece();
  script_type(8, "5");
  script_hit(1);
  script_type(8, "500");
  script_click(50, 32 + 14 + 7);  // the second part's row: no longer heard
  save("hear_dialog");
  script_hit(1);
  hear_ms = now_ms();
  const int32_t first = hear_ms + 2000;
  ASSERT_EQ(hear_command(0, 0, 0, 0, 0), 1);
  EXPECT_EQ(said(), "Illegal percent of normal tempo; please use an integer between 10 and 500.");
  EXPECT_EQ(play_state.tempo_factor, 5.0);
  run_play();
  for (const std::string& line : take_sent(first))
    EXPECT_EQ(line.find(" 91 "), std::string::npos) << line;
  EXPECT_EQ(find_next_kind(VINFO, piece_start[flute])->get(xvoice_heard), 1);
  EXPECT_EQ(find_next_kind(VINFO, piece_start[horn])->get(xvoice_heard), 0);
}

TEST_F(HearDialogs, ChannelFifteenTakesAtMostTwoChannels) {
  const int v = new_voice();
  add_note(v, QUARTER);
  prepare_piece();
  set_selected_voice(v);
  script_type(5, "15");
  script_hit(8);  // rotation over several channels
  script_type(11, "3");
  script_hit(1);
  script_type(11, "2");
  save("midi_channel_dialog");
  script_hit(1);
  set_undo_mark(1);
  midi_channels_dialog();
  EXPECT_EQ(said(), "Illegal number of channels; please use an integer between 1 and 2.");
  Drosa vinfo = find_next_kind(VINFO, piece_start[v]);
  EXPECT_EQ(vinfo->get(xmidichan), 14);
  EXPECT_EQ(vinfo->get(xchanmode), 2);
  EXPECT_EQ(vinfo->get(xnumchans), 2);
}

TEST_F(HearDialogs, LevelsAndDefaultPlaybackKeepWhatWasRead) {
  script_type(4, "62.3");
  save("dynamic_levels_dialog");
  script_hit(1);
  ASSERT_EQ(volume_dialog(), 1);
  EXPECT_EQ(dynamic_level_volume(0), 125);
  // Default Playback stores the fields read before a refused one, even after Cancel.
  script_type(8, "60");
  script_type(9, "999");
  save("default_playback_dialog");
  script_hit(1);
  script_hit(2);
  EXPECT_EQ(lengths_dialog(), 0);
  EXPECT_EQ(said(), "Illegal tenuto length; please use an integer between 0 and 200.");
  EXPECT_EQ(perf_setting(PERF_STACCATO_LENGTH), 60);
  EXPECT_EQ(perf_setting(PERF_TENUTO_LENGTH), 75);
}

TEST_F(HearDialogs, CancellingTheSpellingDialogRestoresEverySpelling) {
  script_hit(5);  // C sharp -> D flat -> B double sharp
  script_hit(5);
  script_hit(12);  // G sharp -> A flat
  save("spelling_dialog");
  script_hit(2);
  EXPECT_EQ(spelling_dialog(), 0);
  EXPECT_EQ(key_spelling[1], 0);
  EXPECT_EQ(key_spelling[8], 0);
  script_hit(5);
  script_hit(12);
  script_hit(12);  // G sharp has two spellings only: back to the first
  script_hit(1);
  EXPECT_EQ(spelling_dialog(), 1);
  EXPECT_EQ(key_spelling[1], 1);
  EXPECT_EQ(key_spelling[8], 0);
  PlayedNote note;
  note.key = 61;
  special_acc_entry(&note, NIL);
  EXPECT_EQ(note.position, 36);
  EXPECT_EQ(note.accidental, 2) << "D flat";
}

TEST_F(HearDialogs, TuningAndRecomputeAreDrawnAndCancelled) {
  set_tuning_cents(2, 2, -13.5f);
  save("tuning_dialog");
  script_hit(2);
  EXPECT_EQ(tuning_dialog(), 0);
  save("recompute_dialog");
  script_hit(4);  // times kept
  script_hit(1);
  int pitches = 0, volumes = 0, mode = 0;
  EXPECT_EQ(recompute_dialog(&pitches, &volumes, &mode), 1);
  EXPECT_EQ(mode, PERF_PITCH_VOLUME);
  EXPECT_EQ(pitches, 1);
}

}  // namespace
