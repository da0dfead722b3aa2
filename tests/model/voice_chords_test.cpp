// voice_chords_test.cpp: vertical chords and the ends of a voice's system.
//   VoiceChord.*:  the first and last note of a chord, where the backward walk stops, the
//                  shortest duration of a chord
//   SystemEnds.*:  system heads and ends as voice_data marks them, and NIL starts
#include "model/voice_chords.h"

#include <gtest/gtest.h>

#include "layout/layout_services.h"
#include "model/durashn.h"
#include "model/model_globals.h"
#include "model/node_fields.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

using ChordTest = ModelTest;

using VoiceChord = ChordTest;
using SystemEnds = ChordTest;

TEST_F(VoiceChord, FirstAndLastNoteFromEveryNoteOfAChord) {
  int v = new_voice();
  add_note(v, QUARTER);
  Drosa first = add_chord(v, QUARTER, {30, 32, 34});
  add_after(first, NTDATA);  // layout records between the notes are passed over
  Drosa middle = first->xnext->xnext, last = middle->xnext;
  for (Drosa n : {first, middle, last}) {
    EXPECT_EQ(vchord_first_note(n), first);
    EXPECT_EQ(chord_end_note(n), last);
  }
}

TEST_F(VoiceChord, BackwardWalkStopsAtBarsAndSystemStarts) {
  int v = new_voice();
  Drosa open = add_note(v, QUARTER, 30, 0, true);  // a chord left open by a damaged list
  Drosa bar = add_bar(v);
  Drosa after_bar = add_note(v, QUARTER, 30, 0, true);
  add_note(v, QUARTER, 32);
  add_system_break(v);
  Drosa after_break = add_note(v, QUARTER, 30, 0, true);
  EXPECT_EQ(vchord_first_note(after_bar), after_bar);
  EXPECT_EQ(vchord_first_note(after_bar->xnext), after_bar);
  EXPECT_EQ(vchord_first_note(after_break), after_break);

  // A bar line of another notation context is no boundary in the Score.
  bar->xcontext = 2;
  EXPECT_EQ(vchord_first_note(after_bar), open);
  EXPECT_EQ(vchord_first_note(NIL), NIL);
  EXPECT_EQ(chord_end_note(NIL), NIL);
}

TEST_F(VoiceChord, BoundsGiveTheShortestNoteByItsOwnValue) {
  int v = new_voice();
  add_timesig(v, 3, 4);
  Drosa quarter = add_note(v, QUARTER, 30, 0, true);
  Drosa eighth = add_note(v, EIGHTH, 32);
  Drosa rest = add_rest(v, WHOLE);
  add_after(rest, NTDATA)->set(xrestchar, 1);  // a whole-measure rest

  Drosa first = NIL, last = NIL;
  EXPECT_EQ(vchord_bounds(eighth, &first, &last), 8192);
  EXPECT_EQ(first, quarter);
  EXPECT_EQ(last, eighth);
  EXPECT_EQ(vchord_bounds(rest, &first, &last), WHOLE_NOTE_TIME);  // not the 3/4 measure
  EXPECT_EQ(first, rest);
  EXPECT_EQ(vchord_bounds(NIL, &first, &last), NO_TIME);
  EXPECT_EQ(first, NIL);
  EXPECT_EQ(last, NIL);
}

TEST_F(SystemEnds, HeadsAndEndsAreThoseOfTheSystemBeingFormatted) {
  int v = new_voice();
  Drosa n1 = add_note(v, QUARTER);
  Drosa brk = add_system_break(v);
  Drosa n2 = add_note(v, QUARTER);
  Drosa end = voice_end(v);
  voice_data[v].system_start = brk;
  voice_data[v].system_end = end;

  EXPECT_EQ(is_voice_head_ENDSYST(brk), 1);
  EXPECT_EQ(is_voice_head_ENDSYST(piece_start[v]), 0);
  EXPECT_EQ(endvc(brk), 0);
  EXPECT_EQ(endvc(end), 1);  // a system end, and the last node of the list
  EXPECT_EQ(endvc(n2), 0);
  EXPECT_EQ(endvcnotes(n1->xnext), 0);  // a note comes before the system end
  EXPECT_EQ(endvcnotes(n2->xnext), 1);

  // The break ends the system being formatted: endvcnotes stops there too.
  voice_data[v].system_start = piece_start[v];
  voice_data[v].system_end = brk;
  EXPECT_EQ(endvc(brk), 1);
  Drosa clef = add_after(n1, CLEF);
  EXPECT_EQ(endvcnotes(clef), 1);
  // Seen from another notation context the break is no node of this voice's systems.
  brk->xcontext = 1;
  current_ncontext = 2;
  EXPECT_EQ(endvc(brk), 0);
  EXPECT_EQ(is_voice_head_ENDSYST(brk), 0);
  current_ncontext = 1;
}

TEST_F(SystemEnds, NilStartsWarnAndAnswerEnd) {
  EXPECT_EQ(endvc(NIL), 1);
  EXPECT_EQ(endvcnotes(NIL), 1);
  EXPECT_EQ(is_voice_head_ENDSYST(NIL), 0);
  auto taken = take_reports();
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_EQ(taken[0].text, "staffops warning: testing endvc(NIL)");
  EXPECT_EQ(taken[1].text, "staffops warning: testing endvcnotes(NIL)");
}

}  // namespace
