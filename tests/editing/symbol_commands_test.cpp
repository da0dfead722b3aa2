// tests/editing/symbol_commands_test.cpp: the Clef, Bar Line, Time Signature, System Bracket
// and Beaming Rule commands on a piece of two staves, through their dialogs.
//   ClefCommand.*:    notes that keep their place, restated clefs replaced, each staff moved
//                     from its own clef; a clef inside a beam
//   BarLineCommand.*: styles, separators, numbering and jumps carried on; Delete; refusals
//   TimeCommand.*:    the beaming that comes with a time signature; the end of a system;
//                     refusals
//   BracketCommand.*: brackets and braces of a system and the later ones
//   BeamingCommand.*: rules in eighths for one voice or all; the end of a system refused; a
//                     beam going on into the next system, undone
//   BarSamples.*:     the bar line dialog's samples follow the repeat-dot parameters
#include "editing/symbol_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "editing/symbols.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"
#include "platform/dialogs.h"
#include "platform/port.h"
#include "platform/script.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"
#include "support/symbol_page.h"

namespace {

using ClefCommand = SymbolPage;
using BarLineCommand = SymbolPage;
using TimeCommand = SymbolPage;
using BracketCommand = SymbolPage;
using BeamingCommand = SymbolPage;

// Two staves, treble over bass, four bars in two systems; the upper staff restates its clef
// for the Score at the second system and changes to the treble clef again in bar 4.
void clef_piece() {
  const int upper = staff_voice(0, 0), lower = staff_voice(1, 1);
  add_tokens(upper, "C5 D5 E5 F5 | G5 A5 B5 C6 /");
  add_clef(upper, 0, 1);
  add_tokens(upper, "D6 E6 F6 G6 |");
  add_clef(upper, 0)->set(xclef_in_system, 1);
  add_tokens(upper, "A5 B5 C6 D6");
  add_tokens(lower, "hC4 hE4 | hG3 hC4 / hD4 hB3 | hD4 hG3");
}

TEST_F(ClefCommand, NotesKeepTheirPlaceAndRestatedClefsFollowUpToTheNextClef) {
  open(clef_piece);
  const std::string before = stored_voice_bytes();
  select(voice_notes(0)[4]);
  script_hit(10);  // the bass clef
  script_hit(23);  // the notes keep their place on the staff
  dialog_image("clef");
  script_hit(1);
  command(SYMBOL_MENU, 1);
  EXPECT_EQ(symbol_dump(0),
            "clef0 key0[] 4/4 C5 D5 E5 F5 clef1' | B3 C4 D4 E4 / clef1@1 F4 G4 A4 B4 | clef0' A5 "
            "B5 C6 D6");
  EXPECT_EQ(symbol_dump(1), "clef1 key0[] 4/4 C4 E4 | G3 C4 / D4 B3 | D4 G3") << "this staff only";
  EXPECT_EQ(note_keys(0), "60 62 64 65 47 48 50 52 53 55 57 59 69 71 72 74");
  expect_consistent();
  const std::string after = stored_voice_bytes();
  undo();
  EXPECT_TRUE(stored_voice_bytes() == before);
  redo();
  EXPECT_TRUE(stored_voice_bytes() == after);

  // Every staff to the alto clef: each staff's notes move from its own clef.
  undo();
  select(voice_notes(0)[4]);
  script_hit(SYMBOL_ALL_STAVES);
  script_hit(11);  // alto
  script_hit(23);
  script_hit(22);  // past every later clef
  script_hit(1);
  command(SYMBOL_MENU, 1);
  EXPECT_EQ(symbol_dump(0),
            "clef0 key0[] 4/4 C5 D5 E5 F5 clef2' | A4 B4 C5 D5 / clef2@1 E5 F5 G5 A5 | B4 C5 D5 "
            "E5");
  EXPECT_EQ(symbol_dump(1), "clef1 key0[] 4/4 C4 E4 clef2' | F4 B4 / C5 A4 | C5 F4");
  expect_consistent();
}

TEST_F(ClefCommand, AClefInsideABeamIsDrawnBetweenItsNotes) {
  open([] {
    const int v = staff_voice(0, 0);
    add_beaming(v, {32768}, 8192);  // eighths beamed by halves
    add_tokens(v, "eC5 eD5 eE5 eF5 eG5 eA5 eB5 eC6 | eC6 eB5 eA5 eG5 eF5 eE5 eD5 eC5");
  });
  select(voice_notes(0)[2]);
  script_hit(10);
  script_hit(23);
  script_hit(1);
  command(SYMBOL_MENU, 1);
  EXPECT_EQ(symbol_dump(0),
            "clef0 key0[] 4/4 beam1:4,0,0,0 C5 D5 clef1' G3 A3 B3 C4 D4 E4 | E4 D4 C4 B3 A3 G3 F3 "
            "E3");
  save_page("clef_inside_a_beam");
  expect_consistent();
}

// Two staves of two voices... one voice each, bars of quarters.
void bars_piece() {
  const int upper = staff_voice(0, 0), lower = staff_voice(1, 1);
  add_tokens(upper, "C5 D5 E5 F5 | G5 A5 B5 C6 | D6 C6 B5 A5 | G5 F5 E5 D5");
  add_tokens(lower, "hC4 hE4 | hG3 hC4 | hD4 hB3 | hD4 hG3");
}

TEST_F(BarLineCommand, AStyleWithItsJumpAndNumberingGoesIntoEveryStaff) {
  open(bars_piece);
  const std::string before = stored_voice_bytes();
  select(voice_notes(0)[6]);  // B5 of bar 2, at a half note's time
  script_hit(12);             // dots both sides
  script_hit(22);             // only on this staff
  script_hit(29);
  script_type(30, "10001");  // out of range
  script_hit(31);
  script_hit(34);
  script_type(35, "12");
  script_type(37, "4th");
  script_hit(1);  // refused: the bar number
  script_type(30, "7");
  script_hit(1);  // refused: 4th
  script_type(37, "2nd");
  dialog_image("bar_line");
  script_hit(1);
  command(SYMBOL_MENU, 5);
  const std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 2u);
  EXPECT_EQ(said[0].text, "Illegal bar number; please use an integer between -10000 and 10000.");
  EXPECT_EQ(said[1].text, "You must type 1st, 2nd, or 3rd for the Time Through");
  EXPECT_EQ(symbol_dump(0),
            "clef0 key0[] 4/4 C5 D5 E5 F5 | G5 A5 sep@1 :|:s1 B5 C6 | D6 C6 B5 A5 | G5 F5 E5 D5");
  EXPECT_EQ(symbol_dump(1), "clef1 key0[] 4/4 C4 E4 | G3 sep@1 :|:s1 C4 | D4 B3 | D4 G3");
  Drosa bar = find_prev_kind(BAR, voice_notes(0)[6]);
  EXPECT_EQ(bar->get(xrepeat_code), 4);
  EXPECT_EQ(bar->get(xrepeat_target), 12);
  EXPECT_EQ(bar->get(xrestart_number), 1);
  EXPECT_EQ(bar->get(xbarnumber), 7);
  expect_consistent();
  const std::string after = stored_voice_bytes();
  undo();
  EXPECT_TRUE(stored_voice_bytes() == before);
  redo();
  EXPECT_TRUE(stored_voice_bytes() == after);

  // Delete takes it out of every staff without asking about the time.
  select(voice_notes(0)[6]);
  script_hit(3);
  command(SYMBOL_MENU, 5);
  EXPECT_TRUE(stored_voice_bytes() == before) << "the bar goes with its separator";
  expect_consistent();
}

TEST_F(BarLineCommand, LaterBarsTakeTheStyleAndTheNumberingSetting) {
  open(bars_piece);
  select(voice_notes(0)[4]);  // the first note of bar 2: its bar line is in force
  script_hit(14);             // thin-thick
  script_hit(26);             // later bars take the style
  script_hit(27);             // not numbered
  script_hit(1);
  command(SYMBOL_MENU, 5);
  EXPECT_EQ(symbol_dump(0),
            "clef0 key0[] 4/4 C5 D5 E5 F5 |s2 G5 A5 B5 C6 |s2 D6 C6 B5 A5 |s2 G5 F5 E5 D5");
  for (Drosa p = piece_start[1]; p; p = p->xnext)
    if (p->xkind == BAR) EXPECT_EQ(p->get(xbar_no_number), 1);
  expect_consistent();
}

TEST_F(TimeCommand, SixEightAtTheEndOfTheSystemBringsItsBeaming) {
  open([] {
    const int upper = staff_voice(0, 0), lower = staff_voice(1, 1);
    add_tokens(upper, "C5 D5 E5 F5 | G5 A5 B5 C6 / D6 C6 B5 A5");
    add_tokens(lower, "hC4 hE4 | hG3 hC4 / hD4 hB3");
  });
  const std::string before = stored_voice_bytes();
  select(voice_notes(0)[6]);
  script_hit(SYMBOL_AT_SYSTEM_END);
  script_type(8, "6");
  script_type(9, "3");
  script_hit(1);  // refused: a beat value of 3
  script_type(8, "0");
  script_type(9, "8");
  script_hit(1);  // refused: no beats
  script_type(8, "6");
  script_event(EventRecord{});  // a pause: the sample follows the numbers typed
  dialog_image("time_signature");
  script_hit(1);
  command(SYMBOL_MENU, 3);
  const std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 2u);
  EXPECT_EQ(said[0].text, "Illegal beat value; please use 1, 2, 4, 8, 16, 32 or 64.");
  EXPECT_EQ(said[1].text, "Illegal number of beats; please use an integer between 1 and 99.");
  EXPECT_EQ(symbol_dump(0),
            "clef0 key0[] 4/4 C5 D5 E5 F5 | G5 A5 B5 C6 6/8 beam1:3,0,0,0 / D6 C6 B5 A5");
  EXPECT_EQ(symbol_dump(1), "clef1 key0[] 4/4 C4 E4 | G3 C4 6/8 beam1:3,0,0,0 / D4 B3");
  expect_consistent();
  undo();
  EXPECT_TRUE(stored_voice_bytes() == before);

  // Alla breve at the insertion point, then deleted with its beaming.
  select(voice_notes(0)[4]);
  script_hit(11);
  script_hit(1);
  command(SYMBOL_MENU, 3);
  EXPECT_EQ(symbol_dump(0),
            "clef0 key0[] 4/4 C5 D5 E5 F5 beam2:4,0,0,0 2/2.c | G5 A5 B5 C6 / D6 C6 B5 A5");
  select(voice_notes(0)[4]);
  script_hit(3);
  command(SYMBOL_MENU, 3);
  EXPECT_TRUE(stored_voice_bytes() == before);
  expect_consistent();
}

// 3/4 put on a bar of four quarters leaves the notes and says the bar now disagrees; 2/2 on
// it says nothing.
TEST_F(TimeCommand, ABarThatNoLongerFitsItsTimeIsSaid) {
  open(clef_piece);
  select(voice_notes(0)[4]);
  script_type(8, "3");
  script_hit(1);
  command(SYMBOL_MENU, 3);
  const std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].level, 2);
  EXPECT_EQ(said[0].text,
            "Measure 2 holds 4 beats, but its new time signature of 3/4 asks for 3. The notes are "
            "as they were: you may want to correct the measure (possibly with the help of Enable "
            "Duration Edits).");
  EXPECT_EQ(symbol_dump(0).substr(0, 48), "clef0 key0[] 4/4 C5 D5 E5 F5 beam1:2,0,0,0 3/4 |");
}

TEST_F(BracketCommand, ABraceForAllStavesIsRefusedAndLaterSystemsFollow) {
  open([] {
    const int upper = staff_voice(0, 0), lower = staff_voice(1, 1);
    add_tokens(upper, "C5 D5 E5 F5 / G5 A5 B5 C6 / D6 E6 F6 G6");
    add_tokens(lower, "hC4 hE4 / hG3 hC4 / wD4");
  });
  const std::string before = stored_voice_bytes();
  select(voice_notes(0)[0]);
  script_hit(9);   // the bracket goes on to the staff below
  script_hit(12);  // a brace to the next staff
  script_hit(SYMBOL_ALL_STAVES);
  script_hit(1);  // refused
  script_hit(SYMBOL_THIS_STAFF);
  script_hit(11);  // every later system
  dialog_image("system_bracket");
  script_hit(1);
  command(SYMBOL_MENU, 7);
  const std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].level, 2);
  EXPECT_EQ(said[0].text,
            "Do not select All Staves when you use Draw Brace Between This Staff and Next.");
  Drosa print = find_next_kind_before_note(PRINT, piece_start[0]);
  EXPECT_EQ(print->get(xfirst_bracket), 0);
  EXPECT_EQ(print->get(xfirst_brace), 1);
  int later = 0;
  for (Drosa p = piece_start[0]->xnext; p; p = p->xnext)
    if (p->xkind == ENDSYST && !p->get(xendpiece)) {
      EXPECT_EQ(p->get(xbracket), 0);
      EXPECT_EQ(p->get(xbrace), 1);
      ++later;
    }
  EXPECT_EQ(later, 2);
  EXPECT_EQ(find_next_kind_before_note(PRINT, piece_start[1])->get(xfirst_brace), 0);
  save_page("brace_and_bracket");
  undo();
  EXPECT_TRUE(stored_voice_bytes() == before);
}

TEST_F(BeamingCommand, RulesInEighthsForOneVoiceOrAll) {
  open(bars_piece);
  const std::string before = stored_voice_bytes();
  select(voice_notes(0)[4]);
  script_hit(SYMBOL_THIS_STAFF);
  script_type(9, "2");
  script_type(10, "3");
  script_type(11, "0");
  script_type(12, "51");
  script_hit(1);  // refused: the fourth number
  script_type(12, "0");
  script_type(14, "1");
  dialog_image("beaming_rule");
  script_hit(1);
  command(STEM_MENU, 12);
  ASSERT_EQ(take_reports().size(), 1u);
  Drosa rule = find_prev_kind(BEAMING, voice_notes(0)[4]);
  ASSERT_TRUE(rule);
  EXPECT_EQ(rule->get(xbvalue, 0), 16384);
  EXPECT_EQ(rule->get(xbvalue, 1), 24576);
  EXPECT_EQ(rule->get(xsbvalue), 8192);
  EXPECT_EQ(symbol_dump(0),
            "clef0 key0[] 4/4 C5 D5 E5 F5 | beam1:2,3,0,0 G5 A5 B5 C6 | D6 C6 B5 A5 | G5 F5 E5 D5");
  EXPECT_EQ(symbol_dump(1).find("beam"), std::string::npos) << "this voice only";
  expect_consistent();

  // A rule of a dotted eighth comes back as one eighth; every voice takes it.
  rule->set(xbvalue, 0, 12288);
  select(voice_notes(0)[6]);
  script_hit(1);
  command(STEM_MENU, 12);
  EXPECT_EQ(find_prev_kind(BEAMING, voice_notes(1)[3])->get(xbvalue, 0), 8192);
  EXPECT_EQ(find_prev_kind(BEAMING, voice_notes(0)[6])->get(xbvalue, 0), 8192);

  // The end of the system is refused, and nothing changes.
  const std::string now = stored_voice_bytes();
  select(voice_notes(0)[6]);
  script_hit(SYMBOL_AT_SYSTEM_END);
  script_hit(1);
  command(STEM_MENU, 12);
  ASSERT_EQ(take_reports().size(), 1u);
  EXPECT_TRUE(stored_voice_bytes() == now);
  undo();
  undo();
  EXPECT_TRUE(stored_voice_bytes() == before);

  // Without a rule before it, the dialog offers the default: 2 and a subbeam of 1.
  select(voice_notes(0)[0]);
  script_hit(1);
  command(STEM_MENU, 12);
  rule = find_prev_kind(BEAMING, voice_notes(0)[0]);
  EXPECT_EQ(rule->get(xbvalue, 0), 16384);
  EXPECT_EQ(rule->get(xsbvalue), 8192);
  expect_consistent();
}

TEST_F(BeamingCommand, ABeamGoingOnIntoTheNextSystemUndoneLeavesThatSystemAsItWas) {
  // The second system opens with rising beams, stems down; while the first system's last beam
  // goes on into it, its first beam comes level from the left edge.
  open([] {
    add_tokens(staff_voice(0, 0),
               "eC5 eD5 eE5 eF5 eG5 eA5 eB5 eC6 / eB5 eF6 eB5 eF6 eB5 eF6 eB5 eF6");
  });
  const std::vector<uint32_t> page = port_pixels(offscreen_page);
  select(voice_notes(0)[7]);
  command(STEM_MENU, 7);  // Continue Primary Beam
  ASSERT_TRUE(port_pixels(offscreen_page) != page);
  undo();
  EXPECT_TRUE(port_pixels(offscreen_page) == page);
}

// ---- The bar line samples ---------------------------------------------------------------------

class BarSamples : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    script_begin();
    param_init();
  }
  void TearDown() override {
    script_end();
    ModelTest::TearDown();
  }
  // The dialog's samples drawn afresh: the ink columns above each style button.
  std::vector<std::vector<int>> samples() {
    DialogRef dialog = platform_open_dialog(29854, false);
    Port* saved = platform_current_port();
    Port* port = platform_dialog_port(dialog);
    platform_set_port(port);
    erase_rect({0, 0, 1000, 1000});
    draw_bar_line_samples(dialog);
    platform_set_port(saved);
    std::vector<std::vector<int>> columns;
    const int top = platform_item_rect(dialog, 8).top;
    for (int item = 8; item <= 21; ++item) {
      const int left = platform_item_rect(dialog, item).left;
      std::vector<int> ink;
      for (int x = left - 10; x < left + 24; ++x) {
        int dark = 0;
        for (int y = top - 40; y < top - 4; ++y)
          if ((port_pixel(port, x, y) & 0xFF) < 128) ++dark;
        ink.push_back(dark);
      }
      columns.push_back(ink);
    }
    platform_close_dialog(dialog);
    return columns;
  }
};

// The first column right of `from` (an offset into a sample) with more ink than a staff line.
int dots_column(const std::vector<int>& ink, int from) {
  for (int i = from; i < int(ink.size()); ++i)
    if (ink[size_t(i)] > 6) return i;
  return -1;
}

TEST_F(BarSamples, RepeatDotsFollowTheirParametersAndEverySampleDiffers) {
  param[P_DISTANCE_BETWEEN_BAR_LINE_AND_REPEAT_DOTS].value.set_integer(40);
  std::vector<std::vector<int>> a = samples();
  param[P_DISTANCE_BETWEEN_BAR_LINE_AND_REPEAT_DOTS].value.set_integer(60);
  std::vector<std::vector<int>> b = samples();
  const int left_of_dots = 10 + 11;  // past the lines of item 10
  EXPECT_EQ(dots_column(b[2], left_of_dots) - dots_column(a[2], left_of_dots), 2)
      << "item 10's dots move with the distance between bar line and dots";
  param[P_SPACE_GIVEN_FOR_WIDTH_OF_REPEAT_DOTS].value.set_integer(60);
  std::vector<std::vector<int>> c = samples();
  EXPECT_LT(dots_column(c[3], 0), dots_column(b[3], 0))
      << "item 11's dots move left with their width";
  for (size_t i = 0; i < a.size(); ++i)
    for (size_t j = i + 1; j < a.size(); ++j) EXPECT_NE(a[i], a[j]) << i + 8 << " and " << j + 8;
}

}  // namespace
