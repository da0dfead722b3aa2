// tests/editing/keysig_test.cpp: key signatures and the music brought into a new key.
//   KeyBuild.*:       entries and names of a key with its cancelling naturals; damaged keys
//   KeyTranspose.*:   written notes and chord symbols moved between keys or by half steps
//   KeyCommand.*:     Insert Key Signature on a piece of two staves: transposed and kept notes,
//                     later keys rebuilt, Delete, the questions, undo and redo; its dialog
#include "editing/keysig.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "editing/key_transpose.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"
#include "platform/script.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"
#include "support/symbol_page.h"

namespace {

using KeyBuild = ModelTest;
using KeyTranspose = ModelTest;
using KeyCommand = SymbolPage;

// A free-standing key of n sharps (n > 0) or -n flats, built from its code.
Drosa key_of(int n, bool minor = false) {
  Drosa key = newDrosa(KEYSIG, 0);
  key->set(xkey, int8_t(encode_xkey(n >= 0, n >= 0 ? n : -n, minor)));
  build_keysig(nullptr, key, NIL);
  return key;
}

std::string entries(Drosa key) {
  std::string text;
  for (int i = 0; i < std::min<int>(key->get(xkeycnt), 14); ++i)
    text += (i ? "," : "") + std::to_string(key->get(xkeysig_entry, i));
  return text;
}

TEST_F(KeyBuild, NaturalsCancelTheSurplusOfTheKeyBefore) {
  struct Case {
    int from, to;
    bool minor;
    const char* entries;
    int xkey;
  };
  const Case cases[] = {
      {-3, 1, false, "20,16,19,10", 1},  // three flats to one sharp: B, E, A cancelled
      {2, 4, false, "10,7,11,8", 4},     // more sharps: nothing to cancel
      {4, 2, false, "25,22,10,7", 2},    // fewer sharps: G and D cancelled
      {0, -2, true, "6,2", 24},          // two flats minor
      {-7, 0, false, "20,16,19,15,18,14,17", 0},
  };
  for (const Case& c : cases) {
    Drosa before = key_of(c.from), key = key_of(c.to, c.minor);
    EXPECT_EQ(build_keysig(nullptr, key, before), c.to >= 0 ? c.to : -c.to);
    EXPECT_EQ(entries(key), c.entries) << c.from << " to " << c.to;
    EXPECT_EQ(key->get(xkey), c.xkey);
    destroyDrosa(before);
    destroyDrosa(key);
  }
  EXPECT_STREQ(KEY_NAMES[1][0], "G Major");
  EXPECT_STREQ(KEY_NAMES[1][1], "E Minor");
  EXPECT_STREQ(KEY_NAMES[2][2], "B Flat Major");
  EXPECT_STREQ(KEY_NAMES[2][3], "G Minor");

  Drosa key = key_of(1);
  Drosa before = key_of(-3);
  build_keysig(nullptr, key, before);
  remove_naturals_from_key(key);
  EXPECT_EQ(entries(key), "10");
  EXPECT_EQ(key->get(xkeycnt), 1);
  remove_naturals_from_key(NIL);
  EXPECT_EQ(take_reports()[0].text, "NIL pointer for remove_naturals_from_key");

  // A key read from a damaged file: a count past the entries, a negative code.
  key->set(xkeycnt, 200);
  key->set(xkey, int8_t(-3));
  const KeyCode code = decode_xkey(key->get(xkey));
  EXPECT_TRUE(code.count >= 0 && code.count <= 7);
  EXPECT_GE(key_tonic(key), 0);
  EXPECT_LE(key_tonic(key), 6);
  build_keysig(nullptr, key, before);
  EXPECT_LE(key->get(xkeycnt), 14);
  destroyDrosa(key);
  destroyDrosa(before);
}

TEST_F(KeyTranspose, WrittenNotesMoveByTheDistanceBetweenTheTonics) {
  Drosa c = key_of(0), d = key_of(2), b_flat = key_of(-2);
  struct Case {
    Drosa from, to;
    int direction, step, accidental;
    int new_step, new_accidental, semitones;
  };
  const Case cases[] = {
      {c, d, KEY_MOVE_UP, 37, 3, 38, 4, 2},             // E to F sharp
      {c, d, KEY_MOVE_UP, 41, 3, 42, 4, 2},             // B to C sharp
      {c, b_flat, KEY_MOVE_NEAREST, 35, 3, 34, 2, -2},  // C to B flat, a step down
      {c, c, KEY_MOVE_DOWN, 35, 3, 28, 3, -12},         // the same key: an octave down
      {c, c, KEY_MOVE_UP, 35, 3, 42, 3, 12},            // or up
      {c, d, KEY_MOVE_UP, 37, 5, 39, 4, 2},             // E double sharp: spelled afresh, G sharp
  };
  for (const Case& k : cases) {
    int32_t step = k.step;
    uint16_t pitch = uint16_t(step_to_key(k.step, k.accidental, 0) << 8);
    const int acc = transpose_written_note(&pitch, &step, k.accidental, k.to, k.from, k.direction);
    EXPECT_EQ(step, k.new_step) << k.step;
    EXPECT_EQ(acc, k.new_accidental) << k.step;
    EXPECT_EQ((pitch >> 8) - step_to_key(k.step, k.accidental, 0), k.semitones) << k.step;
  }

  // A transposing instrument's key without a direction: only the pitch word moves.
  const int v = new_voice();
  Drosa note = add_note(v, QUARTER, 37);
  note->set(xpitch, uint16_t(64 << 8));
  Drosa concert = key_of(0), in_b_flat = key_of(2);
  in_b_flat->set(key_transposition, -2);
  set_undo_mark(0);
  transpose_note_for_key(note, concert, in_b_flat, KEY_MOVE_NONE, 1, ACC_OWN_ONLY);
  EXPECT_EQ(symbol_dump(v), "E5");
  EXPECT_EQ(note->get(xpitch) >> 8, 62);
  for (Drosa key : {c, d, b_flat, concert, in_b_flat}) destroyDrosa(key);
}

// The characters of an annotation's text, across its TEXT nodes and style runs, with "{b}"
// for a character of a run in the chord-symbol flat's font, "{#}" in the sharp's.
std::string chord_text(Drosa head) {
  const ParamValue *flat = param_value(P_FLAT_FOR_CHORD_SYMBOLS, NIL, nullptr),
                   *sharp = param_value(P_SHARP_FOR_CHORD_SYMBOLS, NIL, nullptr);
  std::string text;
  Drosa run = head, node = NIL;
  int index = 0;
  while (next_anno_in_group(&run, &node, &index)) {
    const char c = node->get(xtext)[size_t(index)];
    if (run->get(xtextfont) == flat->font() && uint8_t(c) == flat->character())
      text += "{b}";
    else if (run->get(xtextfont) == sharp->font() && uint8_t(c) == sharp->character())
      text += "{#}";
    else
      text += c;
  }
  return text;
}

Drosa add_run(int v, bool head, int font, const std::string& text) {
  Drosa run = add(v, TPARAM);
  run->set(xtextfont, int16_t(font));
  run->set(xtextsize, 12);
  run->set(xadjacent, head ? 0 : 1);
  if (head) run->set(xclassify, 11);
  Drosa chars = add(v, TEXT);
  chars->set(xtext, text.c_str());
  return run;
}

TEST_F(KeyTranspose, ChordSymbolsFollowTheirNoteAndLoseOrGainTheirAccidentalRuns) {
  param_init();
  const int v = new_voice();
  const ParamValue* flat = param_value(P_FLAT_FOR_CHORD_SYMBOLS, NIL, nullptr);
  Drosa head = add_run(v, true, -5, "E");
  add_run(v, false, flat->font(), std::string(1, char(flat->character())));
  add_run(v, false, -5, "/G");
  Drosa rest = add_rest(v, QUARTER);
  ASSERT_EQ(chord_text(head), "E{b}/G");
  Drosa e_flat = key_of(-3), f = key_of(-1);
  set_undo_mark(0);
  transpose_note_for_key(rest, e_flat, f, KEY_MOVE_UP, 0, ACC_OWN_ONLY);
  EXPECT_EQ(chord_text(head), "F/A") << "F is natural in F major: the flat's run goes";
  EXPECT_EQ(symbol_dump(v), "r") << "a rest keeps its place";
  set_undo_mark(0);
  transpose_note_for_key(rest, f, e_flat, KEY_MOVE_DOWN, 0, ACC_OWN_ONLY);
  EXPECT_EQ(chord_text(head), "E{b}/G") << "a run of its own for the new flat";

  // "fm7" in one run: the flat's run goes after the letter, the rest into a copy of its run.
  Drosa minor = add_run(v, true, -5, "fm7");
  Drosa note = add_note(v, QUARTER, 37);
  Drosa c = key_of(0), b_flat = key_of(-2);
  set_undo_mark(0);
  transpose_note_for_key(note, c, b_flat, KEY_MOVE_DOWN, 0, ACC_OWN_ONLY);
  EXPECT_EQ(chord_text(minor), "e{b}m7");
  EXPECT_EQ(symbol_dump(v), "r D5");
  set_undo_mark(0);
  undo_redo(1);
  EXPECT_EQ(chord_text(minor), "fm7") << "undone";
  EXPECT_EQ(symbol_dump(v), "r E5");
  for (Drosa key : {e_flat, f, c, b_flat}) destroyDrosa(key);
}

TEST_F(KeyTranspose, ChordSymbolsMoveByHalfStepsSpelledAsTheKeyPrefers) {
  param_init();
  const int v = new_voice();
  const ParamValue* flat = param_value(P_FLAT_FOR_CHORD_SYMBOLS, NIL, nullptr);
  Drosa head = add_run(v, true, -5, "A");
  add_run(v, false, flat->font(), std::string(1, char(flat->character())));
  add_run(v, false, -5, "m6/9/C");  // the bass follows the last slash
  // An alteration's sharp after a slash, no bass.
  const ParamValue* raised = param_value(P_SHARP_FOR_CHORD_SYMBOL_ALTERATIONS, NIL, nullptr);
  Drosa sharp_ninth = add_run(v, true, -5, "C7/");
  add_run(v, false, raised->font(), std::string(1, char(raised->character())));
  add_run(v, false, -5, "9");
  // The same with the alteration's sharp given a glyph of its own, and a flat typed as a letter.
  const uint8_t sharp_glyph = raised->character();
  param[P_SHARP_FOR_CHORD_SYMBOL_ALTERATIONS].value.set_character('e');
  Drosa own_sharp = add_run(v, true, -5, "C7/");
  add_run(v, false, raised->font(), "e");
  add_run(v, false, -5, "9");
  Drosa typed_flat = add_run(v, true, -5, "C7/b9");
  Drosa rest = add_rest(v, QUARTER);
  Drosa after = add_run(v, true, -5, "G");
  add_note(v, QUARTER, 37);
  set_key_spelling(NIL);  // C major: F sharp, B flat
  const std::string before = chord_text(head);
  set_undo_mark(0);
  EXPECT_FALSE(transpose_chord_symbols_by(rest, -24)) << "whole octaves change nothing";
  EXPECT_TRUE(transpose_chord_symbols_by(rest, 2));
  EXPECT_EQ(chord_text(head), "B{b}m6/9/D");
  EXPECT_EQ(chord_text(sharp_ninth), "D7/{#}9") << "a sharp after the slash is no bass";
  EXPECT_EQ(chord_text(own_sharp), "D7/e9");
  EXPECT_EQ(chord_text(typed_flat), "D7/b9");
  EXPECT_EQ(chord_text(after), "G") << "a symbol of the next note stays";
  set_undo_mark(0);
  EXPECT_TRUE(transpose_chord_symbols_by(rest, -4));
  EXPECT_EQ(chord_text(head), "F{#}m6/9/B{b}") << "the flat's run leaves the root, joins the bass";
  set_undo_mark(0);
  undo_redo(1);
  EXPECT_EQ(chord_text(head), "B{b}m6/9/D") << "undone";
  undo_redo(1);
  EXPECT_EQ(chord_text(head), before);
  param[P_SHARP_FOR_CHORD_SYMBOL_ALTERATIONS].value.set_character(sharp_glyph);
}

// Two staves in C major: the upper in the treble clef, the lower in the bass clef, changing to
// G major at bar 3, a system break after it.
void two_staves() {
  const int upper = staff_voice(0, 0), lower = staff_voice(1, 1);
  add_tokens(upper, "C5 D5 E5 F5 | E5 F#5+ Gn5+ A5 | K1 B5 C6 D6 E6 / F#5 G5 A5 B5");
  add_tokens(lower, "hC4 hE4 | hG3 hC4 | K1 hD4 hB3 / hD4 hG3");
}

constexpr const char* UPPER =
    "clef0 key0[] 4/4 C5 D5 E5 F5 | E5 F#5+ Gn5+ A5 | key1[10] B5 C6 D6 E6 / F#5 G5 A5 B5";
constexpr const char* LOWER = "clef1 key0[] 4/4 C4 E4 | G3 C4 | key1[10] D4 B3 / D4 G3";

TEST_F(KeyCommand, DMajorMovesTheMusicUpToTheNextKeyWhichCancelsItsSharp) {
  open(two_staves);
  ASSERT_EQ(symbol_dump(0), UPPER);
  ASSERT_EQ(symbol_dump(1), LOWER);
  ASSERT_EQ(note_keys(0), "60 62 64 65 64 66 67 69 71 72 74 76 66 67 69 71");
  const std::string before = stored_voice_bytes();
  select(voice_notes(0)[4]);
  script_type(9, "2");
  script_hit(17);  // transpose the notes, up
  dialog_image("key_signature");
  script_hit(1);
  command(SYMBOL_MENU, 2);
  EXPECT_EQ(
      symbol_dump(0),
      "clef0 key0[] 4/4 C5 D5 E5 F5 key2[10,7] | F#5 G#5+ An5+ B5 | key1[21,10] B5 C6 D6 E6 / "
      "F#5 G5 A5 B5");
  EXPECT_EQ(symbol_dump(1),
            "clef1 key0[] 4/4 C4 E4 key2[10,7] | A3 D4 | key1[21,10] D4 B3 / D4 G3");
  EXPECT_EQ(note_keys(0), "60 62 64 65 66 68 69 71 71 72 74 76 66 67 69 71");
  EXPECT_EQ(note_keys(1), "48 52 45 50 50 47 50 43");
  expect_consistent();
  const std::string after = stored_voice_bytes();
  save_page("key_d_major_over_c");
  undo();
  EXPECT_TRUE(stored_voice_bytes() == before) << "undone";
  redo();
  EXPECT_TRUE(stored_voice_bytes() == after) << "redone";
  expect_consistent();

  // Delete, moving the music down again: the piece is as it was.
  select(voice_notes(0)[4]);
  script_hit(17);
  script_hit(20);  // down
  script_hit(3);
  command(SYMBOL_MENU, 2);
  EXPECT_EQ(symbol_dump(0), UPPER);
  EXPECT_EQ(symbol_dump(1), LOWER);
  EXPECT_TRUE(stored_voice_bytes() == before) << "the same bytes as before the key came";
  expect_consistent();
}

TEST_F(KeyCommand, AKeyChangeInsideATieKeepsTheNotesAndJudgesTheirAccidentalsAgain) {
  open([] {
    const int v = staff_voice(0, 0);
    add_tokens(v, "C5 D5 hE5~ | hE5 F5 G5 | A5 B5 C6 D6");
  });
  const std::string keys = note_keys(0);
  select(voice_notes(0)[3]);
  script_type(9, "2");
  script_event(EventRecord{});  // a pause: the preview follows the count typed
  dialog_image("key_signature_count_typed");
  script_hit(1);
  command(SYMBOL_MENU, 2);
  EXPECT_EQ(symbol_dump(0), "clef0 key0[] 4/4 C5 D5 E5~ key2[10,7] | E5 Fn5+ G5 | A5 B5 Cn6+ D6");
  EXPECT_EQ(note_keys(0), keys) << "no direction: the notes sound as they did";
  save_page("key_change_inside_a_tie");
  expect_consistent();
}

TEST_F(KeyCommand, TheSameKeyAgainAsksAboutRemindersAndAnEmptyKeyIsConfirmed) {
  open(two_staves);
  const std::string before = stored_voice_bytes();
  for (int answer : {1, 3}) {  // Yes: reminders go; No: they stay
    select(voice_notes(0)[4]);
    script_hit(1);       // OK: C major again
    script_hit(1);       // yes, a key without accidentals
    script_hit(answer);  // reminder accidentals
    command(SYMBOL_MENU, 2);
    const std::vector<ShownText> asked = shown();
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[1].text, "Do you really want to insert a key signature with no accidentals?");
    EXPECT_EQ(asked[2].text,
              "Do you want to get rid of any reminder accidentals (redundant accidentals) you "
              "might have on your notes?");
    EXPECT_EQ(symbol_dump(0),
              answer == 1 ? "clef0 key0[] 4/4 C5 D5 E5 F5 key0[] | E5 F#5+ G5 A5 | key1[10] B5 C6 "
                            "D6 E6 / F#5 G5 A5 B5"
                          : "clef0 key0[] 4/4 C5 D5 E5 F5 key0[] | E5 F#5+ Gn5+ A5 | key1[10] B5 "
                            "C6 D6 E6 / F#5 G5 A5 B5");
    expect_consistent();
    undo();
    EXPECT_TRUE(stored_voice_bytes() == before);
  }
  // Cancel at the reminder question changes nothing.
  select(voice_notes(0)[4]);
  script_hit(1);
  script_hit(1);
  script_hit(2);
  command(SYMBOL_MENU, 2);
  shown();
  EXPECT_TRUE(stored_voice_bytes() == before);
}

TEST_F(KeyCommand, RefusalsAndDeclinedQuestionsLeaveThePieceAsItWas) {
  open([] {
    const int upper = staff_voice(0, 0), lower = staff_voice(1, 1);
    add_tokens(upper, "C5 D5 E5 F5 | E5 F#5+ Gn5+ A5 | K1 B5 C6 D6 E6");
    add_tokens(lower, "hC4 hE4 | hG3 hC4 | K-1 hD4 hB3");
  });
  const std::string before = stored_voice_bytes();
  select(voice_notes(0)[4]);
  script_hit(22);
  script_type(23, "37");
  script_hit(1);  // refused: the dialog stays
  script_type(9, "8");
  script_type(23, "-2");
  script_hit(1);  // refused again
  script_hit(2);
  command(SYMBOL_MENU, 2);
  const std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 2u);
  EXPECT_EQ(said[0].text,
            "Illegal transposing instrument; please use an integer between -36 and 36.");
  EXPECT_EQ(said[1].text,
            "Illegal number of sharps or flats; please use an integer between 0 and 7.");
  EXPECT_TRUE(stored_voice_bytes() == before);
  shown();

  // All staves where the staves' keys differ: the question, declined.
  select(voice_notes(0)[8]);
  script_type(9, "3");
  script_hit(1);
  script_hit(2);
  command(SYMBOL_MENU, 2);
  std::vector<ShownText> asked = shown();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[1].text,
            "You selected All Staves, but the keys on your staves do not match.  This might have "
            "unusual results; continue anyway?");
  EXPECT_TRUE(stored_voice_bytes() == before);

  // Selected notes under different keys: asked before the dialog, declined.
  set_insertion_point(NIL, 0, -10);
  for (int n : {0, 8}) voice_notes(0)[size_t(n)]->set(xselected, 1);
  group_selected = 1;
  script_hit(2);
  command(SYMBOL_MENU, 2);
  asked = shown();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].text,
            "You selected notes with keys that do not match.  This might have unusual results; "
            "continue anyway?");
  EXPECT_TRUE(stored_voice_bytes() == before);
}

}  // namespace
