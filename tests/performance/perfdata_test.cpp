// tests/performance/perfdata_test.cpp: performance data of notes and the playback edits.
//   Lengths.*:    sounding lengths by articulation, tie and slur
//   GraceTime.*:  grace groups take their time from their main note, at most half of it
//   Recompute.*:  the modes of set_default_performance
//   Edits.*:      the Modify Playback edits, with undo
//   KnownBars.*:  chords entered one after another, with what is known of their bar kept
#include "performance/perfdata.h"

#include <gtest/gtest.h>

#include <string>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "performance/performance_services.h"
#include "performance/pitch.h"
#include "performance/play_fixture.h"
#include "support/piece_builder.h"

namespace {

class Lengths : public PlayTest {};
class GraceTime : public PlayTest {};
class Recompute : public PlayTest {};
class Edits : public PlayTest {};
class KnownBars : public PlayTest {};

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

// Two voices alike: 4/4 in two sharps, bars of whole rests; the third bar has a grace note
// after its rest, the fourth two half rests, the second of whose time was edited, the fifth a
// key change.
void entry_voice(int v) {
  add_key(v, 2);
  add_timesig(v, 4, 4);
  for (int bar = 0; bar < 7; ++bar) {
    if (bar == 4) add_key(v, 7 + 1);
    if (bar == 3) {
      add_rest(v, HALF);
      add_rest(v, HALF);
    } else {
      add_rest(v, WHOLE);
    }
    if (bar == 2) add_grace(v, EIGHTH, true);
    add_bar(v);
  }
}

// Enters the same chords into voice v: values (with dots, triplets and ties) and keys that
// repeat steps with and without accidentals, at the voice's first rest.
void enter_chords(int v) {
  struct Chord {
    int value, dots, triplet, tie;
    std::vector<int> keys;
  };
  const std::vector<Chord> chords = {
      {QUARTER, 0, 0, 0, {60, 64, 67}}, {EIGHTH, 0, 1, 0, {61}},   {EIGHTH, 0, 1, 1, {63, 66}},
      {EIGHTH, 0, 1, 0, {63, 65}},      {EIGHTH, 1, 0, 1, {66}},   {SIXTEENTH, 0, 0, 0, {66}},
      {QUARTER, 0, 0, 0, {61, 72}},     {HALF, 0, 0, 0, {70, 73}}, {QUARTER, 0, 0, 0, {60, 73}},
      {EIGHTH, 0, 0, 0, {65}},          {EIGHTH, 0, 0, 0, {66}},   {QUARTER, 0, 0, 0, {65, 68}},
      {QUARTER, 1, 0, 0, {63}},         {EIGHTH, 0, 0, 0, {62}},   {QUARTER, 0, 0, 0, {63, 70}},
      {QUARTER, 0, 0, 0, {58}},         {EIGHTH, 0, 1, 0, {58}},   {EIGHTH, 0, 1, 0, {59}},
      {EIGHTH, 0, 1, 0, {58, 61}},      {HALF, 0, 0, 0, {61}},     {QUARTER, 0, 0, 0, {56}},
      {QUARTER, 0, 0, 0, {56, 63}},     {HALF, 0, 0, 0, {66}},
  };
  set_insertion_point(find_next_kind(NOTE, piece_start[v]), 0, -10);
  note_entry_active = 1;
  for (const Chord& c : chords) {
    Drosa t = current_note_template;
    t->set(xlgval, c.value);
    t->set(xdots, c.dots);
    t->set(xtupl, c.triplet ? 3 : 1);
    t->set(xintimeof, c.triplet ? 8 : 4);
    t->set(xtie, c.tie ? 3 : 0);
    std::vector<PlayedNote> notes(c.keys.size());
    for (size_t i = 0; i < c.keys.size(); ++i) notes[i].key = c.keys[i];
    insert_played_notes(notes.data(), int(notes.size()), 2);
  }
  note_entry_active = 0;
}

// The notes of voice v as entered: spelling, display, value, playing data and time in the bar.
std::string entered(int v) {
  std::string s;
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    s += kind_name(p->xkind);
    if (p->xkind == NOTE)
      for (int64_t f :
           {int64_t(p->get(xmod7)), int64_t(p->get(xacc)), int64_t(p->get(xaccplot)),
            int64_t(p->get(xlgval)), int64_t(p->get(xtupl)), int64_t(p->get(xtie)),
            int64_t(p->get(xendvcd)), int64_t(p->get(xttn)), int64_t(p->get(xlength)),
            int64_t(p->get(xpitch)), int64_t(p->get(xvolume)), int64_t(find_time_in_bar(p))})
        s += " " + std::to_string(f);
    s += "\n";
  }
  return s;
}

TEST_F(KnownBars, ChordsEnteredInARunGetWhatEnteringThemOneByOneGives) {
  const int alone = new_voice(), run = new_voice();
  entry_voice(alone);
  entry_voice(run);
  prepare_piece();
  for (int v : {alone, run})
    for (Drosa p = piece_start[v]; p; p = p->xnext)  // the fourth bar's second rest, edited
      if (p->xkind == NOTE && find_time_abs(p) == 3 * 65536 + 32768) p->set(xttn, 30000u);
  enter_chords(alone);
  const std::string expected = entered(alone);
  const size_t refusals = take_reports().size();
  {
    EntryRun entries;
    enter_chords(run);
    EXPECT_EQ(entered(run), expected) << "times in the bar asked for during the run";
  }
  EXPECT_EQ(entered(run), expected);
  EXPECT_EQ(take_reports().size(), refusals);
  int triplets = 0, ties = 0;
  for (Drosa p = piece_start[run]; p; p = p->xnext)
    if (p->xkind == NOTE) triplets += p->get(xtupl) == 3, ties += p->get(xtie) != 0;
  EXPECT_GE(triplets, 6);
  EXPECT_GE(ties, 2);
}

}  // namespace
