// tests/performance/pitch_test.cpp: pitch words of notes and the spelling of played keys.
//   PitchWords.*:  keys of spelled notes, tuning, special accidentals, damaged values
//   Spelling.*:    played keys spelled by key_spelling, the measure, the palette's choices
#include "performance/pitch.h"

#include <gtest/gtest.h>

#include <cstring>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "params/param_services.h"
#include "performance/perfdata.h"
#include "performance/performance_services.h"
#include "performance/play_fixture.h"
#include "support/piece_builder.h"

namespace {

class PitchWords : public PlayTest {};
class Spelling : public PlayTest {};

TEST_F(PitchWords, KeysTuningAndSpecialAccidentals) {
  EXPECT_EQ(step_to_key(35, 4, 0), 61);  // C sharp above middle C
  EXPECT_EQ(step_to_key(34, 5, 0), 61);  // B double sharp below it
  EXPECT_EQ(step_to_key(-1, 0, 0), -1);  // B of the octave below key 0
  EXPECT_EQ(step_to_key(35, 7, 0), 60) << "a damaged accidental code counts as none";
  key_spelling[3] = 1;  // E flat
  set_tuning_cents(2, 2, 50);
  EXPECT_EQ(key_to_pitch_word(63), (63 << 8) | 100);
  key_spelling[1] = 1;
  EXPECT_EQ(key_to_pitch_word(61), 61 << 8);
  // A quarter-tone sign (the first special accidental, at 50 cents) on middle C.
  const int v = new_voice();
  Drosa spacc = add(v, SPACC);
  spacc->set(xnumspacc, 200);  // damaged: only 15 entries are read
  spacc->set(xspacc_entry, 0, 6);
  Drosa c = add_note(v, QUARTER, 35);
  c->set(xacc, 0);
  ParamValue cents;
  cents.set_real(50);
  param[P_CENTS_OFFSET_FOR_SPECIAL_ACCIDENTAL_1].value = cents;
  EXPECT_EQ(note_pitch_word(c, 0), (60 << 8) | 100);
  c->set(xmod7, 127);
  spacc->set(xnumspacc, 0);
  EXPECT_EQ(note_pitch_word(c, 12) >> 8, 127) << "kept to keys 0..127";
  // A damaged piece's transposition or cents far beyond any pitch still give the last key.
  EXPECT_EQ(note_pitch_word(c, 100000000) >> 8, 127);
  EXPECT_EQ(note_pitch_word(c, -100000000), 0);
  spacc->set(xnumspacc, 1);
  cents.set_real(1e12);
  param[P_CENTS_OFFSET_FOR_SPECIAL_ACCIDENTAL_1].value = cents;
  EXPECT_EQ(note_pitch_word(c, 0) >> 8, 127);
}

// A measure of one voice with the insertion point on a rest after its notes.
Drosa measure_with(int v, const std::vector<std::pair<int, int>>& notes) {
  add_timesig(v, 4, 4);
  for (auto [position, accidental] : notes) add_note(v, QUARTER, position)->set(xacc, accidental);
  Drosa rest = add_rest(v, QUARTER);
  add_bar(v);
  return rest;
}

TEST_F(Spelling, AnEarlierNoteOnTheLineWinsOverTheKeySpelling) {
  const int v = new_voice();
  Drosa rest = measure_with(v, {{38, 4}});  // F sharp
  key_spelling[6] = 1;                      // G flat preferred
  PlayedNote note;
  note.key = 66;
  special_acc_entry(&note, rest);
  EXPECT_EQ(note.position, 38);
  EXPECT_EQ(note.accidental, 4);
  EXPECT_EQ(note.pitch, 66 << 8);
  PlayedNote other;
  other.key = 78;  // no F sharp an octave up: the preferred G flat
  special_acc_entry(&other, rest);
  EXPECT_EQ(other.position, 46);
  EXPECT_EQ(other.accidental, 2);
}

TEST_F(Spelling, ABlackKeyWithSpecialAccidentalsIsWarnedAndTakenAsTheWhiteKey) {
  const int v = new_voice();
  Drosa rest = measure_with(v, {});
  PlayedNote note;
  note.key = 61;
  note.spacc_count = 1;
  note.spacc_codes[0] = 6;
  special_acc_entry(&note, rest);
  const std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].text,
            "When you add notes with special accidentals, you should play only white keys on the "
            "music keyboard.\r\rUse black keys when you add notes with standard accidentals.");
  EXPECT_EQ(note.position, 35);
  EXPECT_EQ(note.accidental, 3);
}

TEST_F(Spelling, PlayedNotesAreEnteredAtTheInsertionPoint) {
  const int v = new_voice();
  Drosa rest = measure_with(v, {{35, 3}, {36, 3}, {37, 3}});
  prepare_piece();
  set_insertion_point(rest, 0, -10);
  note_entry_active = 1;
  current_note_template->set(xlgval, QUARTER);
  PlayedNote chord[2];
  chord[0].key = 67;
  chord[1].key = 71;
  chord[1].template_staccatissimo = 1;
  Drosa first = insert_played_notes(chord, 2, 0);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->get(xmod7), 39);
  EXPECT_EQ(first->get(xpitch), 67 << 8);
  Drosa second = find_next_kind(NOTE, first);
  EXPECT_EQ(second->get(xpitch), 71 << 8);
  EXPECT_EQ(second->get(xendvcd), 1);
  Drosa tsmod = find_prev_kind_stop(TSMOD, second, 0);
  ASSERT_TRUE(tsmod);
  EXPECT_EQ(tsmod->get(xstacissimo), 1);
  note_entry_active = 0;
}

}  // namespace
