// tests/editing/align_bars_test.cpp: Align Bars on three systems whose bar lines stand at
// different places.
//   AlignBars.*: the selected bar lines lined up with the leftmost and the rightmost; every
//                system's bar lines spread evenly; the refusals
#include "editing/align_bars.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/script.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"
#include "support/symbol_page.h"

namespace {

using AlignBars = SymbolPage;

// Three systems of three bars; the first bar of each is filled differently.
void three_systems() {
  const int v = staff_voice(0, 0);
  add_tokens(v, "C5 D5 E5 F5 | G5 A5 B5 C6 | G5 A5 B5 C6 | /");
  add_tokens(v, "eC5 eD5 eE5 eF5 eG5 eA5 eB5 eC6 | G5 A5 B5 C6 | G5 A5 B5 C6 | /");
  add_tokens(v, "wC5 | G5 A5 B5 C6 | G5 A5 B5 C6 |");
}

// The first notes of the second bar of each system.
std::vector<Drosa> second_bars() {
  const std::vector<Drosa> n = voice_notes(0);
  return {n[4], n[20], n[29]};
}

std::vector<int32_t> bar_xs(const std::vector<Drosa>& notes) {
  std::vector<int32_t> xs;
  for (Drosa n : notes) xs.push_back(find_system_bar_x(n, 0));
  return xs;
}

void select_group(const std::vector<Drosa>& notes) {
  set_insertion_point(NIL, 0, -10);
  for (Drosa n : notes) n->set(xselected, 1);
  group_selected = 1;
}

TEST_F(AlignBars, SelectedBarLinesGoToTheLeftmostOrTheRightmost) {
  open(three_systems);
  const std::vector<Drosa> notes = second_bars();
  const std::vector<int32_t> before = bar_xs(notes);
  ASSERT_NE(before[0], before[1]);
  const int32_t left = *std::min_element(before.begin(), before.end());
  const int32_t right = *std::max_element(before.begin(), before.end());
  select_group(notes);
  script_hit(ALIGN_TO_LEFTMOST);
  dialog_image("align_bars");
  script_hit(1);
  command(SYMBOL_MENU, 6);
  for (int32_t x : bar_xs(notes)) EXPECT_NEAR(x, left, 10);
  save_page("align_bars_leftmost");
  undo();

  select_group(notes);
  ASSERT_TRUE(align_bars_as(ALIGN_TO_RIGHTMOST));
  run_until_idle();
  for (int32_t x : bar_xs(notes)) EXPECT_NEAR(x, right, 10);
  expect_consistent();
}

TEST_F(AlignBars, EverySystemsBarLinesSpreadEvenly) {
  open(three_systems);
  ASSERT_TRUE(align_bars_as(ALIGN_SPREAD));
  run_until_idle();
  // Each system's first bar line stays; the next goes halfway along the line after the time.
  const std::vector<Drosa> n = voice_notes(0);
  const std::vector<int32_t> xs = bar_xs({n[8], n[24], n[33]});
  EXPECT_NEAR(xs[1], xs[0], 10);
  EXPECT_NEAR(xs[2], xs[0], 10);
  save_page("align_bars_spread");
}

TEST_F(AlignBars, OneSystemTwoBarsOfASystemAndAStalePageAreRefused) {
  open(three_systems);
  const std::string before = stored_voice_bytes();
  capture_reports();
  const std::vector<Drosa> n = voice_notes(0);
  select_group({n[4], n[8], n[20]});
  EXPECT_FALSE(align_bars_as(ALIGN_TO_LEFTMOST));
  select_group({n[4], n[20], n[29], n[0]});
  EXPECT_FALSE(align_bars_as(ALIGN_TO_LEFTMOST));
  for (Drosa p : n) p->set(xselected, 0);
  select_group({n[20], n[29]});
  reformat_pending = 1;
  EXPECT_FALSE(align_bars_as(ALIGN_SPREAD));
  reformat_pending = 0;
  const std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 3u);
  EXPECT_EQ(r[0].text,
            "You have selected two different bar lines on one system!  You must select only one "
            "bar line per system for Align Bars.");
  EXPECT_EQ(r[1].text,
            "Some of your selected notes are not preceded by bar lines, so Align Bars cannot be "
            "used.");
  EXPECT_EQ(r[2].text,
            "Align Bar can only be used after the screen is up to date (after the cursor returns "
            "to normal).");
  EXPECT_TRUE(stored_voice_bytes() == before);
}

}  // namespace
