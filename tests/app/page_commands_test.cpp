// page_commands_test.cpp: moving between pages and bars.
//   RhythmErrors.*:   a measure's length against its time signature, within 50 units, and the
//                     incomplete measures allowed after a bar line that is not a plain one
//   PageNavigation.*: Go To Bar and Go To Page land on the page and note asked for; leaving a
//                     changed page asks to save first and clears the undo history, an
//                     imported piece not changed since is not asked about; Next Rhythm
//                     Error finds the faulty bar on its page and then says there is no other
#include "app/page_commands.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/app_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/script.h"
#include "platform/window.h"
#include "support/app_fixture.h"
#include "support/piece_builder.h"
#include "support/piece_files.h"
#include "support/real_scores.h"

namespace {

using PageNavigation = AppTest;

TEST(RhythmErrors, MeasuresWithinFiftyUnitsAreSoundAndIncompleteOnesEndOnABeat) {
  struct Case {
    int32_t actual, beats, beat_value;
    bool after_plain_bar, faulty;
  } cases[] = {
      {65536 + 44, 4, 4, true, false}, {65536 + 64, 4, 4, true, true},
      {65536 - 64, 4, 4, true, true},  {49152, 3, 4, true, false},
      {32768, 3, 4, false, false},     {24576, 3, 4, false, true},
      {49152 + 64, 3, 4, false, true}, {16384 + 30, 3, 4, false, false},
      {12345, 4, 0, true, false},  // a time signature without a beat value compares nothing
  };
  for (const Case& c : cases)
    EXPECT_EQ(measure_has_rhythm_error(c.actual, c.beats, c.beat_value, c.after_plain_bar),
              c.faulty)
        << c.actual << " in " << c.beats << "/" << c.beat_value;
}

// Four bars a page: bar n starts page (n + 3) / 4.
TEST_F(PageNavigation, GoToBarAndGoToPageLandOnThePageAndNoteAskedFor) {
  const std::string path = dir + "/song.vesk";
  ASSERT_TRUE(write_piece_of_pages(path, 3, 2));
  ASSERT_TRUE(start({path}));

  script_type(4, "7,3");  // bar 7, third beat: the chord
  script_hit(1);
  page_navigation_command(PAGE_COMMAND_GO_TO_BAR);
  EXPECT_EQ(current_page, 2);
  ASSERT_TRUE(insertion_point);
  EXPECT_EQ(bar_number_of_node(insertion_point), 7);
  EXPECT_EQ(find_time_in_bar(insertion_point), 32768);
  EXPECT_EQ(platform_window_title(music_window()).find("working"), std::string::npos);
  run_until_idle();
  EXPECT_EQ(misplaced_pixels(), 0) << "the window shows the new page";
  save_window("go_to_bar_7");

  script_type(4, "99");  // beyond the last bar: the last
  script_hit(1);
  page_navigation_command(PAGE_COMMAND_GO_TO_BAR);
  EXPECT_EQ(current_page, 3);
  EXPECT_EQ(bar_number_of_node(insertion_point), 12);

  for (auto [answer, page] : {std::pair{"0", 1}, {"999", 3}}) {
    script_type(4, answer);
    script_hit(1);
    page_navigation_command(PAGE_COMMAND_GO_TO_PAGE);
    EXPECT_EQ(current_page, page) << answer;
    EXPECT_EQ(bar_number_of_node(insertion_point), page == 1 ? 1 : 9) << "the page's start";
  }
  page_navigation_command(PAGE_COMMAND_PREVIOUS);
  EXPECT_EQ(current_page, 2);
  shown();
}

TEST_F(PageNavigation, LeavingAChangedPageAsksToSaveFirstAndClearsTheUndoHistory) {
  const std::string path = dir + "/song.vesk";
  ASSERT_TRUE(write_piece_of_pages(path, 2, 1));
  ASSERT_TRUE(start({path}));
  set_undo_mark(1);
  mark_piece_changed(1, 1, 0);
  ASSERT_GT(undo_list_length(0), 0);
  script_hit(2);  // Cancel
  page_navigation_command(PAGE_COMMAND_NEXT);
  EXPECT_EQ(current_page, 1);
  EXPECT_GT(undo_list_length(0), 0);
  script_hit(3);  // No
  page_navigation_command(PAGE_COMMAND_NEXT);
  EXPECT_EQ(current_page, 2);
  EXPECT_EQ(undo_list_length(0), 0);
  EXPECT_NE(DrosaDirty, 0) << "not saved";
  const std::vector<ShownText> asked = shown();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[1].text, "Do you want to save your piece now, before you change pages?");
  page_navigation_command(PAGE_COMMAND_NEXT);
  EXPECT_EQ(current_page, 2) << "there is no page 3";
  EXPECT_TRUE(shown().empty());
}

// A real score beside the repository; empty when it is not there.
std::filesystem::path real_score(const char* name) {
  const std::filesystem::path folder = real_scores_folder();
  if (folder.empty() || !std::filesystem::exists(folder / name)) return {};
  return folder / name;
}

TEST_F(PageNavigation, AnImportedPieceNotChangedSinceIsNotAskedAboutButClosingItAsks) {
  const std::filesystem::path score = real_score("joplin-maple-leaf-rag.musicxml");
  if (score.empty()) GTEST_SKIP() << "the real scores are not beside the repository";
  const std::string copy = dir + "/rag.musicxml";
  std::filesystem::copy_file(score, copy);
  ASSERT_TRUE(start({copy}));
  ASSERT_GT(page_count, 1);
  take_reports();
  page_navigation_command(PAGE_COMMAND_NEXT);
  EXPECT_EQ(current_page, 2);
  EXPECT_TRUE(shown().empty()) << "nothing changed since the import";
  mark_piece_changed(1, 1, 0);
  script_hit(3);  // No
  page_navigation_command(PAGE_COMMAND_PREVIOUS);
  EXPECT_EQ(shown().size(), 1u) << "a change is asked about";
  script_hit(3);  // No
  ASSERT_EQ(file_menu(FILE_COMMAND_CLOSE, 'v'), 1);
  EXPECT_EQ(shown().at(0).text, "Save this piece?") << "never saved";
  take_reports();
}

TEST_F(PageNavigation, NextRhythmErrorFindsTheFaultyBarOnItsPageThenNoOther) {
  const std::string path = dir + "/song.vesk";
  ASSERT_TRUE(write_piece_of_pages(path, 3, 2, 1, 10));
  ASSERT_TRUE(start({path}));
  ASSERT_TRUE(insertion_point);
  page_navigation_command(PAGE_COMMAND_NEXT_RHYTHM_ERROR);
  EXPECT_EQ(current_page, 3);
  ASSERT_TRUE(insertion_point);
  EXPECT_EQ(bar_number_of_node(insertion_point), 10);
  EXPECT_EQ(find_time_in_bar(insertion_point), 0);
  EXPECT_TRUE(take_reports().empty());

  // Also when the last measure has no closing bar line: it is examined, found sound, and the
  // search ends there rather than stopping at it.
  for (int pass = 0; pass < 2; ++pass) {
    page_navigation_command(PAGE_COMMAND_NEXT_RHYTHM_ERROR);
    std::vector<Report> said = take_reports();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].text, "No more bars with rhythm errors.");
    EXPECT_EQ(current_page, 3);
    EXPECT_EQ(bar_number_of_node(insertion_point), 10);
    for (int v = 0; v < voice_count; ++v) destroy_node(find_prev_kind(BAR, voice_end(v)));
  }
}

}  // namespace
