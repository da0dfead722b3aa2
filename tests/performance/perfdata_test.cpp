// tests/performance/perfdata_test.cpp: performance data of notes and the playback edits.
//   Lengths.*:    sounding lengths by articulation, tie and slur
//   GraceTime.*:  grace groups take their time from their main note, at most half of it
//   Recompute.*:  the modes of set_default_performance
//   Edits.*:      the Modify Playback edits, with undo
#include "performance/perfdata.h"

#include <gtest/gtest.h>

#include "editing/editing_services.h"
#include "performance/performance_services.h"
#include "performance/play_fixture.h"
#include "support/piece_builder.h"

namespace {

class Lengths : public PlayTest {};
class GraceTime : public PlayTest {};
class Recompute : public PlayTest {};
class Edits : public PlayTest {};

constexpr uint32_t Q = 16384;

TEST_F(Lengths, StaccatoTieTenutoAndSlur) {
  const int v = new_voice();
  Drosa staccato = add_note(v, QUARTER);
  staccato->set(xstacc, 1);
  Drosa tied = add_note(v, QUARTER);
  tied->set(xtie, 1);
  Drosa modifier = add(v, TSMOD);
  Drosa left_only = add_note(v, QUARTER);
  left_only->set(xtie, 1);
  modifier->set(xleftonlytie, 1);
  Drosa tenuto = add_note(v, QUARTER);
  tenuto->set(xtenu, 1);
  Drosa slurred = add_note(v, QUARTER);
  slurred->set(xslur, 1);
  set_perf_setting(PERF_SLUR_LENGTH, 80);
  for (Drosa n : {staccato, tied, left_only, tenuto, slurred}) set_default_duration(n, Q);
  EXPECT_EQ(staccato->get(xlength), 8192u);
  EXPECT_EQ(tied->get(xlength), Q);
  EXPECT_EQ(left_only->get(xlength), Q * 90 / 100) << "a left-only tie sounds as a plain note";
  EXPECT_EQ(tenuto->get(xlength), Q * 75 / 100);
  EXPECT_EQ(slurred->get(xlength), Q * 80 / 100);
  set_perf_setting(PERF_KEEP_NOMINAL, 1);
  set_default_duration(staccato, Q);
  EXPECT_EQ(staccato->get(xlength), Q);
}

TEST_F(GraceTime, AGroupTakesItsTimeFromTheNoteBeforeItUpToHalf) {
  const int v = new_voice();
  Drosa main = add_note(v, QUARTER);
  Drosa g1 = add_grace(v, SIXTEENTH);
  Drosa g2 = add_grace(v, SIXTEENTH);
  Drosa g3 = add_grace(v, SIXTEENTH);
  Drosa after = add_note(v, QUARTER);
  prepare_piece();
  EXPECT_EQ(g1->get(xttn) + g2->get(xttn) + g3->get(xttn), 1024u);
  EXPECT_EQ(std::vector<uint32_t>({g1->get(xttn), g2->get(xttn), g3->get(xttn)}),
            std::vector<uint32_t>({341, 341, 342}));
  EXPECT_EQ(main->get(xttn), Q - 1024);
  EXPECT_EQ(after->get(xttn), Q);
  EXPECT_EQ(g1->get(xnachschlag), 0);
  // Taken back, then given again to a main note only 1000 long: it loses 500.
  change_grace_time(g1, g3, 0);
  EXPECT_EQ(main->get(xttn), Q);
  EXPECT_EQ(g2->get(xttn), 0u);
  main->set(xttn, 1000u);
  change_grace_time(g2, g2, 1);
  EXPECT_EQ(main->get(xttn), 500u);
  EXPECT_EQ(g1->get(xttn) + g2->get(xttn) + g3->get(xttn), 500u);
}

TEST_F(GraceTime, GraceNotesOnTheBeatOrAtTheEndOfAMeasure) {
  set_perf_setting(PERF_GRACE_ON_BEAT, 1);
  const int v = new_voice();
  Drosa before = add_note(v, QUARTER);
  Drosa grace = add_grace(v, EIGHTH);
  Drosa main = add_note(v, QUARTER);
  Drosa last = add_grace(v, EIGHTH, true);
  prepare_piece();
  EXPECT_EQ(before->get(xttn), Q);
  EXPECT_EQ(grace->get(xttn), 1024u);
  EXPECT_EQ(main->get(xttn), Q - 1024);
  // A group at the end of the piece ends its measure, and without a main note after it, it
  // neither gives nor takes time.
  EXPECT_EQ(last->get(xnachschlag), 1);
  EXPECT_EQ(last->get(xttn), 0u);
  EXPECT_EQ(main->get(xttn), Q - 1024);
}

TEST_F(Recompute, KeepingTheTotalScalesTheChordsAndARangeOfGraceNotesAloneDividesByNothing) {
  const int v = new_voice();
  Drosa a = add_note(v, QUARTER);
  Drosa b = add_note(v, QUARTER);
  Drosa c = add_note(v, HALF);
  prepare_piece();
  a->set(xttn, 10000u);  // a passage 10000 + 16384 + 32768 long, held to that length
  set_default_performance(a, c, 0, 0, 0, PERF_KEEP_TOTAL, 0);
  EXPECT_EQ(a->get(xttn) + b->get(xttn) + c->get(xttn), 10000u + Q + 2 * Q);
  EXPECT_EQ(a->get(xttn), (10000u + 3 * Q) / 4);
  set_default_performance(a, a, 0, 0, 0, PERF_LATER_MOVE, 0);
  EXPECT_EQ(a->get(xttn), Q);

  const int w = new_voice();
  Drosa g = add_grace(w, EIGHTH);
  set_default_performance(g, g, 1, 0, 1, PERF_FILL_TOTAL, 5000);  // no division by zero
  EXPECT_EQ(g->get(xttn), 0u);
  set_default_performance(a, c, 0, 0, 0, 77, 0);
  EXPECT_EQ(take_reports()[0].text, "bad call on set_default_performance");
}

TEST_F(Edits, HigherCarriesIntoTheKeyAndUndoRestoresIt) {
  const int v = new_voice();
  Drosa n = add_note(v, QUARTER, 35);
  prepare_piece();
  n->set(xpitch, uint16_t((60 << 8) | 190));
  insertion_point = n;
  set_undo_mark(1);
  modify_playback_command(6);  // Higher
  EXPECT_EQ(n->get(xpitch), (61 << 8) | 10);
  EXPECT_EQ(n->get(xpitch_edited), 1);
  set_undo_mark(0);  // Undo as the menu runs it
  undo_redo(1);
  EXPECT_EQ(n->get(xpitch), (60 << 8) | 190);
}

TEST_F(Edits, LaterIsRefusedWhenItWouldPassTheNextNoteAndAChordMovesOnce) {
  const int v = new_voice();
  add_note(v, QUARTER, 35);
  Drosa chord = add_chord(v, EIGHTH, {37, 39, 41});
  Drosa last = add_note(v, QUARTER, 42);
  prepare_piece();
  Drosa chord_end = chord_end_note(chord);
  for (Drosa p = chord; p; p = p->xnext) {
    if (p->xkind == NOTE) p->set(xselected, 1);
    if (p == chord_end) break;
  }
  group_selected = 1;
  set_undo_mark(1);
  modify_playback_command(12);  // Later by a quarter of a sixteenth, three selected notes
  EXPECT_EQ(chord_end->get(xttn), 8192u - 1024) << "moved once, not once per note";
  chord_end->set(xttn, 1024u);
  modify_playback_command(12);
  const std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u) << "one refusal for the command";
  EXPECT_EQ(said[0].text,
            "This note cannot be 25% of a sixteenth later because that would make it start "
            "after the next note!");
  EXPECT_EQ(chord_end->get(xttn), 1024u);
  (void)last;
}

TEST_F(Edits, SettingsReadWithAPieceAreKeptInTheirRanges) {
  set_perf_setting(PERF_LENGTH_CHANGE, -100);
  set_perf_setting(PERF_PITCH_CHANGE, 900);
  set_tuning_cents(2, 2, 1e9f);
  check_perf_defaults();
  EXPECT_EQ(perf_setting(PERF_LENGTH_CHANGE), 1);
  EXPECT_EQ(perf_setting(PERF_PITCH_CHANGE), 200);
  EXPECT_EQ(tuning_cents(2, 2), 10000);
}

}  // namespace
