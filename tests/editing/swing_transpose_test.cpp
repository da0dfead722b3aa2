// tests/editing/swing_transpose_test.cpp: Swing Eighth Beam, Transpose... and the rest flag
// through their menus.
//   Swing.*:     straight, dotted and triplet pairs on a beat get the swung times; off the beat
//                nothing changes; the whole piece
//   Transpose.*: by octaves without respelling, by half steps respelled; off the staff refused
//   RestFlag.*:  the template's flag copied into the selected rests only
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "model/model_services.h"
#include "platform/script.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"
#include "support/symbol_page.h"

namespace {

using Swing = SymbolPage;
using Transpose = SymbolPage;
using RestFlag = SymbolPage;

std::string times(const std::vector<Drosa>& notes, std::vector<int> which) {
  std::string text;
  for (int i : which)
    text += (text.empty() ? "" : " ") + std::to_string(notes[size_t(i)]->get(xttn));
  return text;
}

// Bar 1: two eighths on beat 2; bar 2: on the downbeat; bar 3: half a beat late; bar 4: a
// dotted quarter and an eighth; bar 5: a triplet quarter and a triplet eighth.
void swing_piece() {
  const int v = staff_voice(0, 0);
  add_tokens(v, "C5 eD5 eE5 hF5 | eG5 eA5 C5 hD5 | eC5 eD5 eE5 eF5 hG5 |");
  add_note(v, QUARTER, 35, 1);
  add_tokens(v, "eD5 hE5 |");
  make_tuplet(add_note(v, QUARTER, 36), 3, 2);
  make_tuplet(add_note(v, EIGHTH, 37), 3, 2);
  add_tokens(v, "C5 hC5 |");
}

TEST_F(Swing, PairsOnABeatTakeTheSwungTimesAndStayEighths) {
  open(swing_piece);
  const std::string before = stored_voice_bytes();
  const std::vector<Drosa> n = voice_notes(0);
  select(n[1]);
  command(STEM_MENU, 15);
  EXPECT_EQ(times(n, {1, 2}), "10922 5462");
  EXPECT_EQ(n[1]->get(xlgval), EIGHTH);
  undo();
  EXPECT_TRUE(stored_voice_bytes() == before);

  for (int i : {4, 9, 13, 16}) swing_eighth_beam(n[size_t(i)]);
  EXPECT_EQ(times(n, {4, 5}), "10922 5462") << "the downbeat is a beat too";
  EXPECT_EQ(times(n, {9, 10}), "8192 8192") << "half a beat late: unchanged";
  EXPECT_EQ(times(n, {13, 14}), "27306 5462");
  EXPECT_EQ(times(n, {16, 17}), "10922 5462");
  EXPECT_EQ(n[16]->get(xtupl), 1);
  EXPECT_EQ(n[16]->get(xlgval), EIGHTH) << "the triplet quarter is written as an eighth";
  EXPECT_EQ(n[17]->get(xintimeof), 4);

  swing_all_eighths();
  EXPECT_EQ(times(n, {1, 2}), "10922 5462");
  const std::string swung = stored_voice_bytes();
  swing_all_eighths();
  EXPECT_TRUE(stored_voice_bytes() == swung) << "swinging again changes nothing";
  expect_consistent();
}

TEST_F(Transpose, ByOctavesKeepsTheSpellingAndHalfStepsRespell) {
  open([] {
    const int v = staff_voice(0, 0);
    add_tokens(v, "C5 Eb5 G5 B3 | r r r r");
  });
  std::vector<Drosa> n = voice_notes(0);
  const int32_t mod7 = n[1]->get(xmod7), pitch = n[1]->get(xpitch), acc = n[1]->get(xacc);
  select(n[1]);
  script_type(4, "12");
  script_hit(1);
  command(NOTE_MENU, 8);
  EXPECT_EQ(n[1]->get(xmod7), mod7 + 7);
  EXPECT_EQ(n[1]->get(xpitch), pitch + 3072);
  EXPECT_EQ(n[1]->get(xacc), acc);

  select(n[3]);  // B3
  script_type(4, "-48");
  script_hit(1);
  command(NOTE_MENU, 8);
  EXPECT_EQ(note_keys(0), "60 75 67 47") << "below the lowest position: unchanged";

  set_insertion_point(NIL, 0, -10);
  n[0]->set(xselected, 1);
  n[2]->set(xselected, 1);
  n[4]->set(xselected, 1);  // a rest is skipped
  group_selected = 1;
  script_type(4, "1");
  script_hit(1);
  command(NOTE_MENU, 8);
  EXPECT_EQ(note_keys(0), "61 75 68 47");
  EXPECT_EQ(symbol_dump(0), "clef0 key0[] 4/4 C#5+ Eb6+ Ab5+ B3 | r r r r");
  expect_consistent();
}

TEST_F(RestFlag, TheTemplatesFlagGoesIntoTheSelectedRestsOnly) {
  open([] {
    const int v = staff_voice(0, 0);
    add_tokens(v, "C5 r D5 r");
  });
  const std::string before = stored_voice_bytes();
  std::vector<Drosa> n = voice_notes(0);
  set_insertion_point(NIL, 0, -10);
  for (int i : {0, 1, 3}) n[size_t(i)]->set(xselected, 1);
  group_selected = 1;
  command(NOTE_MENU, 15);
  EXPECT_EQ(current_note_template->get(xseparate), 1);
  EXPECT_EQ(n[0]->get(xseparate), 0);
  EXPECT_EQ(n[1]->get(xseparate), 1);
  EXPECT_EQ(n[2]->get(xseparate), 0);
  EXPECT_EQ(n[3]->get(xseparate), 1);
  undo();
  EXPECT_TRUE(stored_voice_bytes() == before);
}

}  // namespace
