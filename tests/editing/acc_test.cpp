// tests/editing/acc_test.cpp: printed accidentals.
//   AccCarry.*: what a voice prints as it is read note by note (as an import does): accidentals
//            carried through a bar and cancelled, ties across a bar line, key signatures and
//            key changes, double and special accidentals, the accidental in force
//   AccEdit.*:  re-evaluation when a note is removed, respelt or given the palette's accidental,
//            and undo of each
#include "editing/acc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editing/editing_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

constexpr int C5 = 35;  // middle C; the tokens name the notes of its octave
const char* const STEPS = "CDEFGAB";
const char* const ACCIDENTALS[] = {"?", "bb", "b", "n", "#", "x"};

// A key signature of n sharps (n > 0) or -n flats, linked to nothing.
Drosa keysig_node(int n) {
  static const int sharp_steps[] = {3, 0, 4, 1, 5, 2, 6}, flat_steps[] = {6, 2, 5, 1, 4, 0, 3};
  Drosa key = newDrosa(KEYSIG, 0);
  key->set(xkey, int8_t(n >= 0 ? n : 7 - n));
  for (int i = 0; i < (n >= 0 ? n : -n); ++i)
    key->set(xkeysig_entry, i, uint8_t(n > 0 ? sharp_steps[i] + 7 : flat_steps[i]));
  key->set(xkeycnt, uint8_t(n >= 0 ? n : -n));
  return key;
}

Drosa add_keysig(int v, int n) {
  Drosa key = keysig_node(n);
  link_after(key, voice_end(v)->xback);
  return key;
}

// One voice from tokens: a note is a letter with "bb", "b", "n", "#" or "x", and "~" when
// tied onward; "|" is a bar line; "K2" a key of two sharps, "K-1" one flat, "K0" none.
int build(const std::string& tokens) {
  int v = new_voice();
  size_t at = 0;
  while (at < tokens.size()) {
    size_t end = tokens.find(' ', at);
    std::string t = tokens.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? tokens.size() : end + 1;
    if (t == "|") {
      add_bar(v);
    } else if (t[0] == 'K') {
      add_keysig(v, std::stoi(t.substr(1)));
    } else {
      bool tied = t.back() == '~';
      if (tied) t.pop_back();
      Drosa n = add_note(v, QUARTER, C5 + int(std::string(STEPS).find(t[0])));
      for (int a = 1; a <= 5; ++a)
        if (t.substr(1) == ACCIDENTALS[a]) n->set(xacc, a);
      n->set(xtie, tied ? 1 : 0);
      n->set(xpitch, uint16_t(step_to_key(n->get(xmod7), n->get(xacc), 0) << 8));
    }
  }
  return v;
}

// The voice in the tokens of `build`, with "+" after every accidental that prints.
std::string shown(int v) {
  std::string text;
  for (Drosa p : voice_nodes(v)) {
    std::string t;
    if (p->xkind == BAR) t = "|";
    if (p->xkind == KEYSIG) {
      int key = p->get(xkey);
      t = "K" + std::to_string(key > 7 ? 7 - key : key);
    }
    if (p->xkind == NOTE) {
      t = std::string(1, STEPS[p->get(xmod7) % 7]) + ACCIDENTALS[p->get(xacc)];
      if (p->get(xaccplot)) t += "+";
      if (p->get(xtie)) t += "~";
    }
    if (!t.empty()) text += (text.empty() ? "" : " ") + t;
  }
  return text;
}

std::vector<Drosa> notes_of(int v) {
  std::vector<Drosa> notes;
  for (Drosa p : voice_nodes(v))
    if (p->xkind == NOTE) notes.push_back(p);
  return notes;
}

std::string read_note_by_note(const std::string& tokens) {
  int v = build(tokens);
  for (Drosa n : notes_of(v)) adjust_accidentals(ACC_OWN_ONLY, n, n);
  return shown(v);
}

using AccCarry = ModelTest;
using AccEdit = ModelTest;

// Undo as the command dispatch runs it: a mark, then the replay.
void undo() {
  set_undo_mark(0);
  undo_redo(1);
}

TEST_F(AccCarry, BarsTiesAndKeys) {
  const std::pair<const char*, const char*> cases[] = {
      // carried through the bar, cancelled by a natural, forgotten after the bar line
      {"F# F# Fn F# | F#", "F#+ F# Fn+ F#+ | F#+"},
      {"C# Dn C#", "C#+ Dn C#"},
      // the key implies its accidentals; a natural against it prints, and so does the key's
      // own accidental after it
      {"K1 F# F#", "K1 F# F#"},
      {"K1 Fn F# | F#", "K1 Fn+ F#+ | F#"},
      // a tie carries the accidental over the bar line, but the hidden one goes no further
      {"F#~ | F# F#", "F#+~ | F# F#+"},
      {"F#~ | F#~ | F#", "F#+~ | F#~ | F#"},
      {"K1 F#~ | F# F#", "K1 F#~ | F# F#"},
      {"F#~ F#", "F#+~ F#"},
      // a key change inside a bar ends the carrying, and the new key implies its own
      {"F# K0 F#", "F#+ K0 F#+"},
      {"Bb K-1 Bb | Bb Bn", "Bb+ K-1 Bb | Bb Bn+"},
      // double accidentals print unless the same one printed before on the line
      {"Fx Fx F#", "Fx+ Fx F#+"},
      {"K1 Fx", "K1 Fx+"},
  };
  for (const auto& [tokens, expected] : cases) {
    reset_all_globals();
    VeskMemory_Init();
    EXPECT_EQ(read_note_by_note(tokens), expected) << tokens;
  }
}

TEST_F(AccCarry, SpecialAccidentalsCarryOnlyFromAPrintedEqualGroup) {
  int v = new_voice();
  auto special = [v](std::vector<uint8_t> codes) {
    Drosa spacc = add(v, SPACC);
    spacc->set(xnumspacc, uint8_t(codes.size()));
    for (size_t i = 0; i < codes.size(); ++i) spacc->set(xspacc_entry, int(i), codes[i]);
    return add_note(v, QUARTER, C5 + 3);
  };
  Drosa a = special({6}), b = special({6}), c = special({6, 7}), d = special({6, 7});
  for (Drosa n : {a, b, c, d}) adjust_accidentals(ACC_OWN_ONLY, n, n);
  EXPECT_EQ(shown(v), "Fn+ Fn Fn+ Fn");
  // an equal group after one that does not print prints itself
  a->set(xaccplot, 0);
  adjust_accidentals(ACC_OWN_ONLY, b, b);
  EXPECT_TRUE(b->get(xaccplot));
}

TEST_F(AccCarry, AccidentalInForceAndKeyTransposition) {
  int v = build("F# Gn");
  Drosa bflat_key = add_keysig(v, -1);
  bflat_key->set(key_transposition, -2);
  Drosa b = add_note(v, QUARTER, C5 + 6), f = add_note(v, QUARTER, C5 + 3);
  std::vector<Drosa> notes = notes_of(v);
  EXPECT_EQ(effective_accidental(notes[0]), 3) << "nothing earlier, no key: natural";
  EXPECT_EQ(effective_accidental(notes[1]), 3);
  EXPECT_EQ(effective_accidental(b), 2) << "the key of one flat";
  EXPECT_EQ(effective_accidental(f), 3) << "the key signature ended the bar's sharp";
  EXPECT_EQ(note_keysig_value(f), -2);
  EXPECT_EQ(note_keysig_value(notes[0]), 0);
  Drosa g = add_note(v, QUARTER, C5 + 3);
  g->set(xacc, 4);
  g->set(xaccplot, 1);
  EXPECT_EQ(effective_accidental(add_note(v, QUARTER, C5 + 3)), 4);
}

TEST_F(AccCarry, AKeySignatureLinkedInAfterALookupIsSeen) {
  int v = build("Gn | Fn");
  std::vector<Drosa> notes = notes_of(v);
  EXPECT_EQ(effective_accidental(notes[0]), 3);
  link_after(keysig_node(1), notes[0]->xback);
  EXPECT_EQ(effective_accidental(notes[1]), 4) << "the F after it takes the key's sharp";
}

// The answers kept for notes asked about survive notes entered and removed, but never a key
// signature entered or undone, nor a note asked about that has moved.
TEST_F(AccCarry, KeyAnswersFollowKeysEnteredUndoneAndNotesMoved) {
  int v = build("Fn | Fn Fn");
  std::vector<Drosa> notes = notes_of(v);
  for (Drosa n : notes) EXPECT_EQ(keysig_before(n), NIL);
  Drosa entered = add_note(v, QUARTER, C5 + 3);  // notes alone: the answers stay
  EXPECT_EQ(keysig_before(entered), NIL);
  Drosa bar = notes[1]->xback;
  set_undo_mark(1);
  Drosa key = keysig_node(1);
  insertvc_node_with_undo(key, bar);
  EXPECT_EQ(keysig_before(notes[2]), key) << "a key entered later";
  EXPECT_EQ(keysig_before(add_note(v, QUARTER, C5 + 3)), key) << "and a note entered after it";
  undo();
  EXPECT_EQ(keysig_before(notes[2]), NIL) << "the key undone";
  // A note asked about, moved behind a key signature, is not taken at its old answer.
  key = add_keysig(v, 2);
  EXPECT_EQ(keysig_before(notes[0]), NIL);
  Drosa moved = notes[0];  // unlinked by hand and linked again, as runs of nodes are moved
  moved->xback->xnext = moved->xnext;
  moved->xnext->xback = moved->xback;
  link_after(moved, voice_end(v)->xback);
  EXPECT_EQ(keysig_before(add_note(v, QUARTER, C5 + 3)), key);
}

TEST_F(AccEdit, RemovingANaturalHidesTheSharpTheKeyImpliesAndUndoBringsItBack) {
  int v = build("K1 Fn F#");
  for (Drosa n : notes_of(v)) adjust_accidentals(ACC_OWN_ONLY, n, n);
  const std::string before = dump_voice(v);
  Drosa natural = notes_of(v)[0];
  set_undo_mark(1);
  adjust_accidentals(ACC_REMOVING, natural, natural);
  removevc_with_undo(natural);
  EXPECT_EQ(shown(v), "K1 F#");
  undo();
  EXPECT_EQ(dump_voice(v), before);
}

TEST_F(AccEdit, RespellingKeepsThePitchAndRejudgesTheNextNote) {
  int v = build("C# C#");
  for (Drosa n : notes_of(v)) adjust_accidentals(ACC_CHANGED, n, n);
  ASSERT_EQ(shown(v), "C#+ C#");
  const std::string before = dump_voice(v);
  Drosa first = notes_of(v)[0];
  const uint16_t pitch = first->get(xpitch);
  set_undo_mark(1);
  respell_note(first, NIL, 61, 1);
  EXPECT_EQ(shown(v), "Db+ C#+");
  EXPECT_EQ(first->get(xpitch), pitch);
  EXPECT_EQ(pitch, 61 << 8);
  undo();
  EXPECT_EQ(dump_voice(v), before);
  // the spelling the key spelling prefers for the pitch class
  key_spelling[1] = 1;
  respell_by_key_spelling_cb(notes_of(v)[1]);
  EXPECT_EQ(shown(v), "C#+ Db+");
}

TEST_F(AccEdit, PaletteAccidentalRespellsWhenThePitchHasThatSpelling) {
  int v = build("C# G# Gn");
  current_note_template->set(xacc, 2);
  for (Drosa n : notes_of(v)) apply_palette_accidental_cb(n);
  EXPECT_EQ(shown(v), "Db+ Ab+ Gn") << "G natural has no spelling with a single flat";
  current_note_template->set(xacc, 3);
  apply_palette_accidental_cb(notes_of(v)[2]);
  EXPECT_EQ(shown(v), "Db+ Ab+ Gn");
}

TEST_F(AccEdit, BadOperationsAndAccidentalsAreReportedAndChangeNothing) {
  int v = build("F# F#");
  std::vector<Drosa> notes = notes_of(v);
  adjust_accidentals(101, notes[0], notes[1]);
  notes[1]->set(xacc, 0);
  adjust_accidentals(ACC_CHANGED, notes[1], notes[1]);
  std::vector<Report> got = take_reports();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].text, "acc.c: unrecognized operation in adjust_accidental_plotting");
  EXPECT_EQ(got[1].text, "Bad accidental in adjust_accidentals");
  EXPECT_FALSE(notes[0]->get(xaccplot));
}

}  // namespace
