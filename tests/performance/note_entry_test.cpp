// tests/performance/note_entry_test.cpp: entering notes from the piano window, computer keys
// and MIDI input.
//   Melody.*:     one melody (chords, a rest, a tie, accidentals in two keys, a triplet)
//                 typed, clicked and played on MIDI gives the same voice list node by node, and
//                 undoes step by step back to the empty piece
//   PlayedKeys.*: the table of played keys: duplicates, rests, the 89th key, clusters
//   MidiEntry.*:  chords at the first release, velocity 0, input held while a page formats,
//                 a full input ring
//   ComputerKeys.*: a key given to a point with a Command-click, Shift chords
//   PageTurn.*:   entering the last chord of a page's last system shows the next page
//   KeySpelling.*: the spelling of entered keys by the key signature
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "performance/entry_fixture.h"
#include "performance/performance_globals.h"
#include "performance/performance_services.h"
#include "platform/beep.h"
#include "platform/midi.h"
#include "platform/script.h"
#include "support/piece_builder.h"

namespace {

constexpr int BOX_TIE = 6, BOX_TUPLET = 15, BOX_WHOLE = 17, BOX_HALF = 18, BOX_QUARTER = 19;
constexpr int BOX_EIGHTH = 20;
constexpr Point REST_KEY{495, 10};

// A step of the melody: palette boxes clicked, keys played together, or the rest key.
struct Step {
  enum Kind { BOXES, KEYS, REST } kind;
  std::vector<int> values;
};

const std::vector<Step> MELODY = {
    {Step::BOXES, {BOX_QUARTER}},
    {Step::KEYS, {67}},      // G4
    {Step::KEYS, {66}},      // F#4, in the key
    {Step::KEYS, {71, 74}},  // B4 and D5
    {Step::REST, {}},
    {Step::BOXES, {BOX_HALF, BOX_TIE}},
    {Step::KEYS, {69}},  // A4, tied on
    {Step::BOXES, {BOX_QUARTER}},
    {Step::KEYS, {69}},
    {Step::BOXES, {BOX_EIGHTH, BOX_TUPLET}},
    {Step::KEYS, {71}},  // a triplet: B4, C#5, D5
    {Step::KEYS, {73}},
    {Step::KEYS, {74}},
    {Step::BOXES, {BOX_TUPLET, BOX_QUARTER}},
    {Step::KEYS, {70}},  // bar 3, F major: B flat in the key, then B natural
    {Step::KEYS, {71}},
    {Step::BOXES, {BOX_HALF}},
    {Step::KEYS, {65, 69}},  // F4 and A4
    {Step::BOXES, {BOX_WHOLE}},
    {Step::KEYS, {72}},  // C5
};
constexpr int MELODY_ENTRIES = 13;  // chords and the rest: one undo step each

// The computer key the default table gives a box or a key.
char key_char(int key) {
  switch (key) {
    case 65:
      return 'f';
    case 66:
      return 't';
    case 67:
      return 'g';
    case 69:
      return 'h';
    case 70:
      return 'u';
    case 71:
      return 'j';
    case 72:
      return 'k';
    case 73:
      return 'o';
    case 74:
      return 'l';
    default:
      return 0;
  }
}
char box_char(int box) {
  switch (box) {
    case BOX_TIE:
      return '9';
    case BOX_TUPLET:
      return '7';
    case BOX_WHOLE:
      return '1';
    case BOX_HALF:
      return '2';
    case BOX_QUARTER:
      return '3';
    case BOX_EIGHTH:
      return '4';
    default:
      return 0;
  }
}

enum class Input { KEYS, CLICKS, MIDI };

class Melody : public EntryPage, public ::testing::WithParamInterface<Input> {
 protected:
  void play(const Step& step) {
    const Input input = GetParam();
    if (step.kind == Step::REST) {
      if (input == Input::KEYS)
        type('r');
      else
        click_piano(REST_KEY);
      return;
    }
    if (step.kind == Step::BOXES) {
      for (int box : step.values) {
        if (input == Input::KEYS)
          type(box_char(box));
        else
          click_piano(box_point(box));
      }
      return;
    }
    const bool chord = step.values.size() > 1;
    if (input == Input::MIDI) {
      for (int key : step.values) midi({0x90, uint8_t(key), 90});
      for (int key : step.values) midi({0x80, uint8_t(key), 0});
      return;
    }
    for (int key : step.values) {
      const uint16_t shift = chord ? MOD_SHIFT : 0;
      if (input == Input::KEYS)
        type(key_char(key), shift);
      else
        click_piano(piano_key_point(key), shift);
    }
    if (chord) release_shift();
  }
};

// The melody as every input gives it: one text, checked once by hand below and equal for all.
std::string& entered_text() {
  static std::string text;
  return text;
}

}  // namespace

TEST_P(Melody, EveryInputGivesTheSameVoiceAndUndoesToTheEmptyPiece) {
  open_empty(4, GetParam() == Input::MIDI);
  const std::string empty = voice_text();
  start_entry();
  for (const Step& step : MELODY) play(step);
  const std::string text = voice_text();

  // What the melody must be: the notes in order, with their spelling and marks.
  std::vector<std::string> notes;
  for (Drosa p = piece_start[0]; p; p = p->xnext)
    if (p->xkind == NOTE) notes.push_back(dump_node(p, {}));
  const std::vector<std::string> expected = {"NOTE lg3 m39 endvcd",
                                             "NOTE lg3 m38 endvcd acc4",
                                             "NOTE lg3 m41",
                                             "NOTE lg3 m43 endvcd",
                                             "REST lg3 endvcd acc0",
                                             "NOTE lg2 m40 endvcd tie",
                                             "NOTE lg3 m40 endvcd",
                                             "NOTE lg4 m41 3:8 endvcd",
                                             "NOTE lg4 m42 3:8 endvcd acc4+",
                                             "NOTE lg4 m43 3:8 endvcd",
                                             "NOTE lg3 m41 endvcd acc2",
                                             "NOTE lg3 m41 endvcd acc3+",
                                             "NOTE lg2 m38",
                                             "NOTE lg2 m40 endvcd",
                                             "NOTE lg1 m42 endvcd"};
  EXPECT_EQ(notes, expected);

  if (entered_text().empty()) {
    entered_text() = text;
    save_page("melody_entered");
    save_piano("piano_window_entry_mode");
  } else
    EXPECT_EQ(text, entered_text()) << "the inputs disagree";

  for (int step = 0; step < MELODY_ENTRIES; ++step) do_menu_item(EDIT_MENU, 1, 'v');
  EXPECT_EQ(run_until_idle(), -1);
  EXPECT_EQ(voice_text(), empty);
  EXPECT_EQ(undo_list_length(0), 0) << "every step undone, and no more";
  // Redone, the entries come back as they were, their accidentals with them.
  for (int step = 0; step < MELODY_ENTRIES; ++step) do_menu_item(EDIT_MENU, 2, 'v');
  EXPECT_EQ(run_until_idle(), -1);
  EXPECT_EQ(voice_text(), text);
}

INSTANTIATE_TEST_SUITE_P(Inputs, Melody,
                         ::testing::Values(Input::KEYS, Input::CLICKS, Input::MIDI));

namespace {

class PlayedKeys : public EntryPage {
 protected:
  // Note entry on an empty piece of four bars, quarters entered.
  void start(bool midi_service = false) {
    open_empty(4, midi_service);
    start_entry();
    type('3');
  }
  // The note (or rest) the last entry made: the chord before the insertion point.
  Drosa entered_before(Drosa point) { return find_prev_kind(NOTE, point); }
};

using MidiEntry = PlayedKeys;
using ComputerKeys = PlayedKeys;

// The notes of the chord that ends with `last`, lowest position first.
std::vector<int> chord_positions(Drosa last) {
  std::vector<int> positions;
  for (Drosa p = vchord_first_note(last); p; p = p->xnext) {
    if (p->xkind != NOTE) continue;
    positions.push_back(p->get(xrest) ? -1 : p->get(xmod7));
    if (p == last) break;
  }
  return positions;
}

}  // namespace

TEST_F(PlayedKeys, AKeyCountsOnceARestOnlyAloneAndAChordHoldsAtMostEightyEightKeys) {
  start();
  add_played_key(60, false);
  add_played_key(60, false);
  add_played_key(-1, false);
  EXPECT_EQ(played_key_count, 1);
  for (int key = 0; key < 128; ++key) add_played_key(key, false);
  EXPECT_EQ(played_key_count, PLAYED_KEYS) << "the 89th key is left out";
  redraw_played_keys(false);
  played_key_count = 0;
  // The rest key alone enters at once, Shift or not.
  const Drosa point = insertion_point;
  click_piano(REST_KEY, MOD_SHIFT);
  EXPECT_EQ(played_key_count, 0);
  EXPECT_EQ(shift_chord_pending, 0u);
  ASSERT_NE(insertion_point, point);
  EXPECT_EQ(chord_positions(entered_before(insertion_point)), (std::vector<int>{-1}));
}

TEST_F(PlayedKeys, ThreeAdjacentSemitonesAreARestWhereTheOptionsSaySo) {
  start();
  set_options_i16(current_ncontext, OPTIONS_CLUSTER_REST, 1);
  for (int key : {60, 61, 62}) add_played_key(key, false);
  enter_played_chord();
  EXPECT_EQ(chord_positions(entered_before(insertion_point)), (std::vector<int>{-1}));
  for (int key : {60, 62, 64}) add_played_key(key, false);
  enter_played_chord();
  EXPECT_EQ(chord_positions(entered_before(insertion_point)), (std::vector<int>{35, 36, 37}));
}

TEST_F(MidiEntry, TheFirstReleaseEntersTheChordAndVelocityZeroIsARelease) {
  start(true);
  for (int key : {60, 64, 67}) midi({0x90, uint8_t(key), 80});
  EXPECT_EQ(played_key_count, 3);
  const Drosa point = insertion_point;
  midi({0x80, 64, 0});
  EXPECT_EQ(chord_positions(entered_before(insertion_point)), (std::vector<int>{35, 37, 39}));
  const Drosa after = insertion_point;
  midi({0x80, 60, 0});
  midi({0x80, 67, 0});
  EXPECT_EQ(insertion_point, after) << "the later releases enter nothing";
  EXPECT_NE(point, after);
  midi({0x90, 62, 80});
  midi({0x90, 62, 0});
  EXPECT_EQ(chord_positions(entered_before(insertion_point)), (std::vector<int>{36}));
}

TEST_F(MidiEntry, InputWaitsWhileAPageFormatsAndAFullRingBeeps) {
  start(true);
  const std::string before = voice_text();
  platform_midi_loopback_play({0x90, 60, 80});
  platform_midi_loopback_play({0x80, 60, 0});
  // A format running now stops for the input and leaves it to the main loop.
  EXPECT_EQ(format_interrupted(), 1);
  EXPECT_EQ(voice_text(), before);
  EXPECT_EQ(pass(), -1);
  EXPECT_EQ(run_until_idle(), -1);
  EXPECT_EQ(chord_positions(entered_before(insertion_point)), (std::vector<int>{35}));
  // More than the ring holds: what it drops is not lost silently.
  const int beeps = platform_beeps_sounded();
  for (int i = 0; i < MIDI_IN_SLOTS + 4; ++i) platform_midi_loopback_play({0x90, 72, 80});
  EXPECT_EQ(pass(), -1);
  EXPECT_EQ(platform_beeps_sounded(), beeps + 1);
  midi({0x80, 72, 0});
}

TEST_F(ComputerKeys, ACommandClickGivesAKeyToAPointAndShiftHoldsAChord) {
  start();
  // Two letters are refused, then one is taken.
  script_type(3, "qq");
  script_hit(1);
  script_type(3, "q");
  script_hit(1);
  click_piano(piano_key_point(60), MOD_COMMAND);
  const std::vector<Report> seen = take_reports();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, "Please type one letter, number, or punctuation.");
  EXPECT_EQ(prefs.key_piano('q'), (PalettePoint{20, int16_t(piano_key_point(60).x)}));
  type('q');
  EXPECT_EQ(chord_positions(entered_before(insertion_point)), (std::vector<int>{35}));
  type('A', MOD_SHIFT);
  type('D', MOD_SHIFT);
  EXPECT_EQ(shift_chord_pending, 1u);
  release_shift();
  EXPECT_EQ(chord_positions(entered_before(insertion_point)), (std::vector<int>{35, 37}));
}

// A key typed after a single click enters nothing; the palette says how to begin.
TEST_F(ComputerKeys, AKeyTypedWithoutNoteEntryShowsHowToBegin) {
  open_empty(4);
  const Drosa rest = drawn(0).at(0);
  click(head(rest));
  ASSERT_EQ(insertion_point, rest);
  ASSERT_EQ(note_entry_active, 0);
  const std::string before = voice_text();
  type('a');
  EXPECT_EQ(voice_text(), before);
  EXPECT_TRUE(entry_hint_shown);
  save_piano("piano_window_entry_hint");
}

namespace {

// The staff positions of the voice's notes, rests left out, in order.
std::vector<int> entered_positions() {
  std::vector<int> positions;
  for (Drosa p = piece_start[0]; p; p = p->xnext)
    if (p->xkind == NOTE && !p->get(xrest)) positions.push_back(p->get(xmod7));
  return positions;
}

}  // namespace

// Entry after Undo and Redo goes on after the music kept, never over it.
TEST_F(ComputerKeys, EntryAfterUndoAndRedoGoesOnAfterTheMusicKept) {
  start();
  for (char c : std::string("ghjk")) type(c);
  ASSERT_EQ(entered_positions(), (std::vector<int>{39, 40, 41, 42}));
  do_menu_item(EDIT_MENU, 1, 'v');
  do_menu_item(EDIT_MENU, 1, 'v');
  EXPECT_EQ(run_until_idle(), -1);
  ASSERT_EQ(entered_positions(), (std::vector<int>{39, 40}));
  type('f');
  EXPECT_EQ(entered_positions(), (std::vector<int>{39, 40, 38}));
  do_menu_item(EDIT_MENU, 1, 'v');
  do_menu_item(EDIT_MENU, 2, 'v');
  EXPECT_EQ(run_until_idle(), -1);
  ASSERT_EQ(entered_positions(), (std::vector<int>{39, 40, 38}));
  type('g');
  EXPECT_EQ(entered_positions(), (std::vector<int>{39, 40, 38, 39}));
}

// A note entered with the tie box on is tied on only to a following note of its pitch.
TEST_F(ComputerKeys, AnEnteredTieGoesOnlyToTheSamePitch) {
  start();
  for (char c : std::string("9gg9gh")) type(c);
  auto ties = [] {
    std::vector<int> list;
    for (Drosa p = piece_start[0]; p; p = p->xnext)
      if (p->xkind == NOTE && !p->get(xrest)) list.push_back(p->get(xtie) != 0);
    return list;
  };
  EXPECT_EQ(ties(), (std::vector<int>{1, 0, 0, 0}));
  do_menu_item(EDIT_MENU, 1, 'v');
  EXPECT_EQ(run_until_idle(), -1);
  EXPECT_EQ(ties(), (std::vector<int>{1, 0, 1})) << "the tie comes back with the Undo";
}

// With no insertion point at all, a note key or a piano key says how to begin and changes
// nothing.
TEST_F(ComputerKeys, AKeyPlayedWithNoInsertionPointShowsHowToBegin) {
  open_empty(4);
  set_insertion_point(NIL, 0, -10);
  entry_hint_shown = false;
  const std::string before = voice_text();
  type('a');
  EXPECT_TRUE(entry_hint_shown);
  entry_hint_shown = false;
  click_piano(piano_key_point(60));
  EXPECT_TRUE(entry_hint_shown);
  EXPECT_EQ(voice_text(), before);
  EXPECT_EQ(insertion_point, NIL);
}

class PageTurn : public EntryPage {};

TEST_F(PageTurn, TheLastChordOfAPageShowsTheNextPageAndOtherChordsDoNot) {
  open_empty(8);
  prefs.set_ask_save_before_context_change(0);  // no question before the page changes
  ASSERT_GE(page_count, 2);
  const std::vector<Drosa> rests = drawn(0);  // a whole rest a bar
  ASSERT_GE(rests.size(), 2u);
  const Drosa before_last = rests[rests.size() - 2];
  click(head(before_last));
  click(head(before_last));
  ASSERT_EQ(note_entry_active, 1);
  type('3');
  type('g');  // the bar before the page's last: the page stays
  EXPECT_EQ(current_page, 1);
  click(head(rests.back()));
  click(head(rests.back()));
  type('g');  // the page's last bar, before its rest
  EXPECT_EQ(current_page, 1);
  type('g');  // the bar's last chord: nothing follows it on the page
  EXPECT_EQ(current_page, 2);
  EXPECT_EQ(note_entry_active, 1);
}

TEST(KeySpelling, TheKeySignatureChoosesTheSpellingOfEachPitchClass) {
  reset_all_globals();
  VeskMemory_Init();
  Drosa key = newDrosa(KEYSIG, 0);
  key->set(xkey, 9);  // two flats: B and E
  key->set(xkeycnt, 2);
  key->set(xkeysig_entry, 0, 6);
  key->set(xkeysig_entry, 1, 2);
  set_key_spelling(key);
  EXPECT_EQ(key_spelling[1], 1);
  EXPECT_EQ(key_spelling[3], 1);
  EXPECT_EQ(key_spelling[6], 0);
  key_spelling[1] = 0;
  set_key_spelling(key);
  EXPECT_EQ(key_spelling[1], 0) << "the same key again changes nothing";
  set_key_spelling(NIL);
  EXPECT_EQ(key_spelling[3], 1) << "without a key, E flat";
  EXPECT_EQ(key_spelling[10], 1) << "and B flat";
  destroyDrosa(key);
  reset_all_globals();
}
