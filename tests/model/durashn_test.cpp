// durashn_test.cpp: durations and times.
//   NoteDuration.*:   note values, dots, tuplets, grace notes, whole-measure and multi-measure
//                     rests, damaged time signatures
//   TupletOf.*:       the tuplet of a note with and without NEST, and tuplet comparison
//   DurationCarry.*:  exact sums of triplets, quintuplets and nested tuplets chord by chord
//   DivRound50.*:     the near-multiple division
//   VoiceTime.*:      times from the voice, system and measure start; time left in a measure
//   Beatbound.*:      beat boundaries by unit and by beaming pattern, bar lines, beam flags,
//                     the tempo multiplier
//   TimesigLookup.*:  the time signature of a whole-measure rest found on its staff
#include "model/durashn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "layout/layout_services.h"
#include "model/model_globals.h"
#include "model/node_fields.h"
#include "model/voice_lists.h"
#include "params/param_services.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

using TimeTest = ModelTest;

// A formatted print chain of one pstaff (layer 0), made by hand as the formatter would: a
// dummy head, then staff chords whose last note's NTDATA has xendscd and is followed by
// CDDATA, CDDATA2 and CDDATA3, the chords linked into the page's chord chain.
struct PrintChain {
  int pstaff;
  Drosa tail;             // the note linked last
  int16_t chord_num = 0;  // time step of the next chord

  explicit PrintChain(int staff) : pstaff(staff) {
    Drosa head = newDrosa(NOTE, 0);
    Drosa nt = newDrosa(NTDATA, 0);
    link_after(nt, head);
    nt->set(xendscd, 1);
    nt->set(xendbeam, 1);
    staff_data[staff].ppnt[0] = head;
    pstaff_count = std::max(pstaff_count, staff + 1);
    tail = head;
  }

  // Links the notes as one staff chord; returns its CDDATA.
  Drosa chord(const std::vector<Drosa>& notes, int32_t mwholec = 0) {
    for (Drosa n : notes) {
      Drosa nt = n->xnext->xkind == NTDATA ? n->xnext : add_after(n, NTDATA);
      tail->xnext->set(xpnext, n);
      nt->set(xpback, tail);
      tail = n;
    }
    Drosa nt = tail->xnext;
    nt->set(xendscd, 1);
    Drosa cd = add_after(nt, CDDATA);
    Drosa cd2 = add_after(cd, CDDATA2);
    cd2->set(xmwholec, mwholec);
    cd2->set(xchordNum, chord_num++);
    Drosa cd3 = add_after(cd2, CDDATA3);
    cd3->set(xpstaff, uint8_t(pstaff));
    cd3->set(xprevchord, last_chord);
    if (last_chord) last_chord->xnext->xnext->set(xnextchord, cd);
    last_chord = cd;
    return cd;
  }
};

Drosa tuplet_note(int v, int lgval, int tupl, int intimeof) {
  Drosa n = add_note(v, lgval);
  make_tuplet(n, tupl, intimeof);
  return n;
}

// Durations of consecutive chords starting at the first, summed with the carry.
std::vector<int32_t> chord_durations(Drosa first, int count, int32_t* total) {
  std::vector<int32_t> durations;
  int32_t time = 0, carry_num = 0, carry_den = 1, duration = 0;
  for (Drosa p = first; p && int(durations.size()) < count; p = p->xnext) {
    if (p->xkind != NOTE) continue;
    p = chord_duration_carry(p, &time, &carry_num, &carry_den, &duration);
    durations.push_back(duration);
  }
  *total = time;
  return durations;
}

using NoteDuration = TimeTest;
using TupletOf = TimeTest;
using DurationCarry = TimeTest;
using DivRound50 = TimeTest;
using VoiceTime = TimeTest;
using Beatbound = TimeTest;
using TimesigLookup = TimeTest;

TEST_F(NoteDuration, NoteValuesDotsAndTuplets) {
  struct Row {
    int lgval, dots, tupl, intimeof4;
    int32_t expected;
  };
  const Row rows[] = {
      {QUARTER, 0, 1, 4, 16384},   {QUARTER, 1, 1, 4, 24576}, {EIGHTH, 0, 1, 4, 8192},
      {HALF, 2, 1, 4, 57344},      {BREVE, 3, 1, 4, 245760},  {EIGHTH, 0, 3, 8, 5461},
      {EIGHTH, 0, 1, 8, 8192},  // xtupl 1 is no tuplet whatever xintimeof says
      {SIXTEENTH, 0, 5, 16, 3277}, {QUARTER, 1, 3, 8, 16384},
  };
  int v = new_voice();
  for (const Row& r : rows) {
    Drosa n = add_note(v, r.lgval, 35, r.dots);
    n->set(xtupl, uint8_t(r.tupl));
    n->set(xintimeof, uint8_t(r.intimeof4));
    EXPECT_EQ(note_duration(n, 0), r.expected) << r.lgval << " " << r.dots << " " << r.tupl;
  }
  EXPECT_EQ(note_duration(add_grace(v, EIGHTH), 0), 0);
  EXPECT_EQ(note_duration(add_rest(v, HALF), 0), 32768);  // no NTDATA: an ordinary rest
  EXPECT_EQ(note_duration(NIL, 0), 0);
}

TEST_F(NoteDuration, WholeMeasureRestFillsItsMeasure) {
  int v = new_voice();
  add_timesig(v, 3, 4);
  add_note(v, QUARTER);
  add_system_break(v);  // the time signature stands in an earlier system
  Drosa rest = add_rest(v, WHOLE);
  add_after(rest, NTDATA)->set(xrestchar, 1);
  EXPECT_EQ(note_duration(rest, 0), 49152);
  EXPECT_EQ(note_duration(rest, 1), 65536);
}

TEST_F(NoteDuration, DamagedOrMissingTimeSignatureCountsTheRestByItsValue) {
  int v = new_voice();
  Drosa rest = add_rest(v, WHOLE);
  add_after(rest, NTDATA)->set(xrestchar, 1);
  EXPECT_EQ(note_duration(rest, 0), 65536);  // no time signature at all

  Drosa timesig = add_timesig(v, 3, 0);  // beat value 0 from a damaged file
  Drosa rest2 = add_rest(v, HALF);
  add_after(rest2, NTDATA)->set(xrestchar, 1);
  EXPECT_EQ(note_duration(rest2, 0), 32768);
  timesig->set(xbeat, int16_t(-4));
  EXPECT_EQ(note_duration(rest2, 0), 32768);

  auto taken = take_reports();
  ASSERT_EQ(taken.size(), 3u);
  for (const Report& r : taken) EXPECT_EQ(r.text, "timesig logic error in durashn");
}

TEST_F(NoteDuration, MultiMeasureRestTimesItsMeasures) {
  int v = new_voice();
  add_timesig(v, 2, 4);
  Drosa rest = add_rest(v, WHOLE);
  add_after(rest, NTDATA)->set(xrestchar, 2);
  PrintChain chain(0);
  chain.chord({rest})->set(xrcmeas, int16_t(4));
  EXPECT_EQ(note_duration(rest, 0), 4 * 32768);
  EXPECT_EQ(note_duration(rest, 1), 65536);
}

TEST_F(TupletOf, NestMultipliesTheNotesTuplet) {
  int v = new_voice();
  add_nest(v, 3, 8);
  Drosa nested = tuplet_note(v, EIGHTH, 3, 2);
  Drosa plain = add_note(v, EIGHTH);
  plain->set(xintimeof, 8);
  Drosa clef = add_clef(v, 1);
  int32_t tupl = 0, intimeof = 0;
  EXPECT_EQ(get_tuplet(nested, &tupl, &intimeof), 1);
  EXPECT_EQ(tupl, 9);
  EXPECT_EQ(intimeof, 16);
  EXPECT_EQ(get_tuplet(plain, &tupl, &intimeof), 0);
  EXPECT_EQ(tupl, 1);
  EXPECT_EQ(intimeof, 4);
  EXPECT_EQ(get_tuplet(clef, &tupl, &intimeof), 0);
  EXPECT_EQ(get_tuplet(NIL, &tupl, &intimeof), 0);
  auto taken = take_reports();
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_EQ(taken[0].text, "Bad type for get_tuplet: 102");
  EXPECT_EQ(taken[1].text, "Bad type for get_tuplet: -1");
}

TEST_F(TupletOf, SameTuplAnswersOneWhenTheNotesDiffer) {
  int v = new_voice();
  Drosa triplet = tuplet_note(v, EIGHTH, 3, 2);
  Drosa triplet2 = tuplet_note(v, EIGHTH, 3, 2);
  Drosa wide_triplet = tuplet_note(v, EIGHTH, 3, 4);
  Drosa plain = add_note(v, EIGHTH);
  Drosa plain_odd = add_note(v, EIGHTH);
  plain_odd->set(xintimeof, 8);  // no tuplet, whatever its xintimeof
  add_nest(v, 3, 8);
  Drosa nested = tuplet_note(v, EIGHTH, 3, 2);
  add_nest(v, 3, 4);
  Drosa nested_other = tuplet_note(v, EIGHTH, 3, 2);
  struct Row {
    Drosa a, b;
    int differ;
  };
  const Row rows[] = {
      {triplet, triplet2, 0}, {triplet, plain, 1},       {plain, plain_odd, 0},
      {triplet, nested, 1},   {nested, nested_other, 1}, {triplet, wide_triplet, 1},
  };
  for (const Row& r : rows) EXPECT_EQ(same_tupl(r.a, r.b), r.differ);
  EXPECT_EQ(same_tupl(triplet, piece_start[v]), 0);
  auto taken = take_reports();
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0].text, "Bad types for same_tupl: 101 115");
}

TEST_F(DurationCarry, TupletsAddUpExactly) {
  int v = new_voice();
  Drosa triplet = tuplet_note(v, EIGHTH, 3, 2);
  tuplet_note(v, EIGHTH, 3, 2);
  tuplet_note(v, EIGHTH, 3, 2);
  int32_t total = 0;
  EXPECT_EQ(chord_durations(triplet, 3, &total), (std::vector<int32_t>{5461, 5462, 5461}));
  EXPECT_EQ(total, 16384);

  Drosa quintuplet = tuplet_note(v, SIXTEENTH, 5, 4);
  for (int i = 1; i < 5; ++i) tuplet_note(v, SIXTEENTH, 5, 4);
  EXPECT_EQ(chord_durations(quintuplet, 5, &total),
            (std::vector<int32_t>{3277, 3277, 3276, 3277, 3277}));
  EXPECT_EQ(total, 16384);
}

TEST_F(DurationCarry, NestedTupletsAddUpExactly) {
  // A triplet of triplet eighths: nine notes in the time of a half note.
  int v = new_voice();
  Drosa first = NIL;
  for (int i = 0; i < 9; ++i) {
    add_nest(v, 3, 8);
    Drosa n = tuplet_note(v, EIGHTH, 3, 2);
    if (!first) first = n;
  }
  int32_t total = 0;
  chord_durations(first, 9, &total);
  EXPECT_EQ(total, 32768);

  // Notes that are tuplets only through their NEST carry their remainders too.
  Drosa nest_only = NIL;
  for (int i = 0; i < 3; ++i) {
    add_nest(v, 3, 8);
    Drosa n = add_note(v, EIGHTH);
    if (!nest_only) nest_only = n;
  }
  chord_durations(nest_only, 3, &total);
  EXPECT_EQ(total, 16384);
}

TEST_F(DivRound50, WithinFiftyOfAMultiple) {
  struct Row {
    int32_t a, b, expected;
  };
  const Row rows[] = {{65500, 65536, 1},  {65586, 65536, 1},  {65587, 65536, 0}, {100, 0, 0},
                      {131072, 65536, 2}, {0, 16384, 0},      {16434, 16384, 1}, {16435, 16384, 0},
                      {-50, 16384, 0},    {-65536, 65536, -1}};
  for (const Row& r : rows) EXPECT_EQ(div_round50(r.a, r.b), r.expected) << r.a << " " << r.b;
}

TEST_F(VoiceTime, FromTheVoiceSystemAndMeasureStart) {
  int v = new_voice();
  Drosa first = add_note(v, QUARTER);
  add_note(v, QUARTER);
  add_bar(v);
  Drosa t1 = tuplet_note(v, EIGHTH, 3, 2);
  Drosa t2 = tuplet_note(v, EIGHTH, 3, 2);
  Drosa t3 = tuplet_note(v, EIGHTH, 3, 2);
  Drosa chord = add_chord(v, QUARTER, {30, 32});
  add_system_break(v);
  Drosa next = add_note(v, HALF);
  Drosa other_bar = add_bar(v, 2);  // a bar line of another notation context
  Drosa after = add_note(v, QUARTER);

  EXPECT_EQ(find_time_abs(first), 0);
  EXPECT_EQ(find_time_in_bar(t1), 0);
  EXPECT_EQ(find_time_in_bar(t2), 5461);
  EXPECT_EQ(find_time_in_bar(t3), 10923);
  EXPECT_EQ(find_time_in_bar(chord), 16384);
  EXPECT_EQ(find_time_in_bar(chord->xnext), 16384);  // the chord's second note
  EXPECT_EQ(find_time_abs(chord->xnext), 49152);
  EXPECT_EQ(find_time_in_system(next), 0);
  EXPECT_EQ(find_time_abs(next), 65536);
  EXPECT_EQ(find_time_in_bar(after), 32768);
  EXPECT_EQ(find_time_abs(other_bar), 98304);
  current_ncontext = 2;
  EXPECT_EQ(find_time_in_bar(after), 0);
  current_ncontext = 1;

  EXPECT_EQ(find_time(NIL, 0), 0);
  auto taken = take_reports();
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0].text, "find_time(NIL)");
}

TEST_F(VoiceTime, TimeLeftInTheMeasure) {
  int v = new_voice();
  Drosa q1 = add_note(v, QUARTER);
  Drosa chord = add_chord(v, EIGHTH, {30, 32});
  Drosa second = chord->xnext;
  second->set(xlgval, QUARTER);  // an eighth and a quarter: the eighth counts
  add_after(chord, NTDATA);
  add_note(v, QUARTER);
  add_bar(v);
  Drosa q2 = add_note(v, HALF);
  Drosa brk = add_system_break(v);
  Drosa clef = add_clef(v, 1);

  EXPECT_EQ(find_meas_time_left(q1), 16384 + 8192 + 16384);
  EXPECT_EQ(find_meas_time_left(second), 8192 + 16384);
  EXPECT_EQ(find_meas_time_left(q2), 32768);  // the system break ends the measure
  EXPECT_EQ(find_meas_time_left(brk), 0);
  EXPECT_EQ(find_meas_time_left(clef), 0);
  EXPECT_EQ(find_meas_time_left(NIL), 0);
  auto taken = take_reports();
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_EQ(taken[0].text, "find_meas_time_left(non-note)");
  EXPECT_EQ(taken[1].text, "find_meas_time_left(NIL)");
}

TEST_F(Beatbound, ByUnitAndByBeamingPattern) {
  int v = new_voice();
  Drosa note = add_note(v, EIGHTH);
  PrintChain chain(0);
  Drosa cddata2 = chain.chord({note})->xnext;
  Drosa three_two = newDrosa(BEAMING, 0);  // 3 + 2 eighths, repeated
  three_two->set(xbvalue, 0, 24576);
  three_two->set(xbvalue, 1, 16384);
  Drosa no_beats = newDrosa(BEAMING, 0);
  struct Row {
    int32_t mwholec, unit;
    int place;
    Drosa beaming;  // the voice's BEAMING at the system end; NIL: the default
    int expected;
  };
  const Row rows[] = {
      {32768, 16384, NOTE_START, NIL, 1},
      {32868, 16384, NOTE_START, NIL, 0},
      {32718, 16384, NOTE_START, NIL, 1},
      {8192, 16384, NOTE_END, NIL, 1},
      {16384, 16384, NOTE_END, NIL, 0},
      {32768, 0, NOTE_START, NIL, 1},
      {8192, 0, NOTE_START, NIL, 0},
      {24576, 0, NOTE_START, three_two, 1},
      {16384, 0, NOTE_START, three_two, 0},
      {40960, 0, NOTE_START, three_two, 1},
      {57344, 0, NOTE_START, three_two, 0},
      {81900, 0, NOTE_START, three_two, 1},
      {16384, 0, NOTE_START, no_beats, 0},
      {2000019426, 0, NOTE_START, three_two, 1},
      {2000000000, 0, NOTE_START, three_two, 0},
  };
  for (const Row& r : rows) {
    cddata2->set(xmwholec, r.mwholec);
    voice_data[v].beaming_end = r.beaming;
    EXPECT_EQ(beatbound(note, r.unit, ANY_BEAMS, r.place), r.expected)
        << r.mwholec << " " << r.unit << " " << r.place;
  }
}

TEST_F(Beatbound, BeamFlagsGraceNotesAndBarLines) {
  int v = new_voice();
  Drosa note = add_note(v, EIGHTH);
  add_bar(v);
  Drosa after_bar = add_note(v, EIGHTH);
  Drosa grace = add_grace(v, SIXTEENTH);
  Drosa last = add_note(v, EIGHTH);
  PrintChain chain(0);
  chain.chord({note}, 8192);
  chain.chord({after_bar}, 100);  // off any beat, but just after a bar line
  chain.chord({grace}, 0);
  chain.chord({last}, 8192);

  EXPECT_EQ(beatbound(note, 16384, ANY_BEAMS, NOTE_END), 1);  // the bar after its chord
  EXPECT_EQ(beatbound(after_bar, 16384, ANY_BEAMS, NOTE_START), 1);
  EXPECT_EQ(beatbound(after_bar, 16384, ANY_BEAMS, NOTE_END), 0);
  EXPECT_EQ(beatbound(grace, 16384, ANY_BEAMS, NOTE_START), 0);
  last->set(xcbeam, 1);
  EXPECT_EQ(beatbound(last, 16384, MAIN_BEAMS, NOTE_END), 0);
  EXPECT_EQ(beatbound(last, 16384, ANY_BEAMS, NOTE_END), 1);
  last->set(xcsbeam, 1);
  EXPECT_EQ(beatbound(last, 16384, SECONDARY_BEAMS, NOTE_END), 0);
  EXPECT_EQ(beatbound(last, 16384, 44, NOTE_END), 1);
  EXPECT_EQ(beatbound(last, 16384, ANY_BEAMS, 85), 0);  // its start, 8192, is off the beat
  auto taken = take_reports();
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_EQ(taken[0].text, "Bad beamtype in call of beatbound (durashn): beamtype 44, place 84");
  EXPECT_EQ(taken[1].text, "Bad place in call of beatbound (durashn)");
}

TEST_F(Beatbound, TheTempoMultiplierScalesTheTimeAndANearZeroOneStaysInRange) {
  int v = new_voice();
  Drosa note = add_note(v, EIGHTH);
  PrintChain chain(0);
  chain.chord({note}, 32768);
  param[P_POLYTEMPO_NOTE_DURATION_MULTIPLIER].changed = 1;
  param[P_POLYTEMPO_NOTE_DURATION_MULTIPLIER].value.set_real(
      2.0f);  // the measure time 32768 counts as 16384
  EXPECT_EQ(beatbound(note, 16384, ANY_BEAMS, NOTE_START), 1);
  EXPECT_EQ(beatbound(note, 32768, ANY_BEAMS, NOTE_START), 0);
  param[P_POLYTEMPO_NOTE_DURATION_MULTIPLIER].value.set_real(
      1e-30f);  // the scaled time becomes no time, on no beat
  EXPECT_EQ(beatbound(note, 16384, ANY_BEAMS, NOTE_START), 0);
}

TEST_F(TimesigLookup, TheStaffAndThenTheVoicesCarriedTimeSignatureApply) {
  int a = new_voice(), b = new_voice("Oboe");  // both on staff 0
  Drosa first = add_note(a, QUARTER);
  Drosa rest = add_rest(a, WHOLE);
  add_after(rest, NTDATA)->set(xrestchar, 1);
  Drosa timesig = add_timesig(b, 2, 4);
  Drosa other = add_note(b, QUARTER);
  PrintChain chain(0);
  chain.chord({first, other});
  chain.chord({rest});
  EXPECT_EQ(note_duration(rest, 0), 32768);  // from the other voice of the staff

  // Without one on the page, the time signature the staff's voice carried in applies.
  timesig->xcontext = 2;
  Drosa carried = newDrosa(TIMESIG, 0);
  carried->set(xbpm, int16_t(6));
  carried->set(xbeat, int16_t(8));
  voice_data[b].timesig = carried;  // the voice whose note ends the earliest chord
  EXPECT_EQ(note_duration(rest, 0), 49152);
}

}  // namespace
