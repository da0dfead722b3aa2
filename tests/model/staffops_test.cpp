// staffops_test.cpp: staff chords in hand-built print chains.
//   Members.*: first, last, extent and bounds of a chord from any note or its CDDATA
//   StemGroups.*: stem group bounds and the last note that is not a cue note
//   Records.*: cddatptr and its checks; the chords of one time point across layers
//   Chain.*: ends of a chain, inserting, removing a note and handing its chord records on
//   Beams.*: where a beam continues: within the chord, to the next chord, across hands
//   Hands.*: the hand in force before and after a stem group
//   Search.*: nodes before a chord's notes: by voice, BAR, CLEF settled by PRINTs, LINE
#include "model/staffops.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "layout/layout_services.h"
#include "model/durashn.h"
#include "model/model_globals.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "model/voice_lists.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

using StaffChains = ModelTest;

using Members = StaffChains;
using StemGroups = StaffChains;
using Records = StaffChains;
using Chain = StaffChains;
using Beams = StaffChains;
using Hands = StaffChains;
using Search = StaffChains;

Drosa ntdata(Drosa note) { return note->xnext; }

Drosa with_ntdata(Drosa note) {
  if (note->xnext->xkind != NTDATA) add_after(note, NTDATA);
  return note;
}

// A chain head as the formatter makes it: a NOTE outside every list, its NTDATA with
// xendscd and xendbeam.
Drosa chain_head() {
  Drosa head = newDrosa(NOTE, 0);
  Drosa nt = newDrosa(NTDATA, 0);
  link_after(nt, head);
  nt->set(xendscd, 1);
  nt->set(xendbeam, 1);
  return head;
}

// Links the chords' notes into the chain after `after`, stems up; each chord ends with
// xendscd and its CDDATA, CDDATA2 and CDDATA3. Returns the CDDATA of each chord.
std::vector<Drosa> link_chords(Drosa after, const std::vector<std::vector<Drosa>>& chords) {
  std::vector<Drosa> cds;
  for (const std::vector<Drosa>& chord : chords) {
    for (Drosa n : chord) {
      insertstf(with_ntdata(n), after);
      ntdata(n)->set(xstmdir, 2);
      after = n;
    }
    ntdata(after)->set(xendscd, 1);
    Drosa cd = add_after(ntdata(after), CDDATA);
    add_after(add_after(cd, CDDATA2), CDDATA3);
    cds.push_back(cd);
  }
  return cds;
}

std::vector<Drosa> notes_of(int v) {
  std::vector<Drosa> notes;
  for (Drosa p : voice_nodes(v))
    if (p->xkind == NOTE) notes.push_back(p);
  return notes;
}

Drosa print_of(int v) { return find_next_kind_before_note(PRINT, piece_start[v]); }

void expect_reports(const std::vector<std::string>& texts) {
  std::vector<Report> got = take_reports();
  ASSERT_EQ(got.size(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(got[i].level, 4);
    EXPECT_EQ(got[i].text, texts[i]);
  }
}

// ---- Members ------------------------------------------------------------------------------

TEST_F(Members, FirstLastExtentAndBoundsFromAnyNote) {
  int v = new_voice();
  add_chord(v, QUARTER, {30, 32, 34});
  add_note(v, HALF);
  add_note(v, QUARTER, 35, 0, true);
  add_note(v, EIGHTH, 37);
  std::vector<Drosa> n = notes_of(v);
  std::vector<Drosa> cds = link_chords(chain_head(), {{n[0], n[1], n[2]}, {n[3]}, {n[4], n[5]}});
  struct Case {
    Drosa node, first, last;
    int32_t shortest;
  } cases[] = {
      {n[0], n[0], n[2], 16384},   {n[1], n[0], n[2], 16384}, {n[2], n[0], n[2], 16384},
      {n[3], n[3], n[3], 32768},    // a one-note chord: the note is first and last
      {cds[0], n[0], n[2], 16384},  // a CDDATA stands for its chord
      {n[4], n[4], n[5], 8192},    {n[5], n[4], n[5], 8192},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(dump_node(c.node, voice_nodes(v)));
    EXPECT_EQ(chord_first_note(c.node), c.first);
    EXPECT_EQ(chord_last_note(c.node), c.last);
    Drosa first = NIL, last = NIL;
    chord_extent(c.node, &first, &last);
    EXPECT_EQ(first, c.first);
    EXPECT_EQ(last, c.last);
    first = last = NIL;
    EXPECT_EQ(chord_bounds(c.node, &first, &last), c.shortest);
    EXPECT_EQ(first, c.first);
    EXPECT_EQ(last, c.last);
  }
  EXPECT_EQ(chord_first_note(NIL), NIL);
  EXPECT_EQ(chord_last_note(NIL), NIL);
  EXPECT_EQ(chord_bounds(NIL, nullptr, nullptr), NO_TIME);
}

// ---- Stem groups ----------------------------------------------------------------------------

TEST_F(StemGroups, BoundsFollowTheStemDirectionAndCueNotesYield) {
  int v = new_voice();
  add_chord(v, QUARTER, {28, 30, 32, 34});
  add_chord(v, QUARTER, {30, 32});
  std::vector<Drosa> n = notes_of(v);
  link_chords(chain_head(), {{n[0], n[1], n[2], n[3]}, {n[4], n[5]}});
  ntdata(n[2])->set(xstmdir, 1);
  ntdata(n[3])->set(xstmdir, 1);
  for (int i : {0, 2, 3}) n[i]->set(xcue, 1);
  struct Case {
    Drosa note, first, last, extreme;
    int cue;
  } cases[] = {
      {n[0], n[0], n[1], n[1], 1}, {n[1], n[0], n[1], n[1], 1},
      {n[3], n[2], n[3], n[3], 1},  // every note a cue note: the start note
      {n[2], n[2], n[3], n[2], 1}, {n[4], n[4], n[5], n[5], 0},
  };
  for (const Case& c : cases) {
    Drosa first = NIL, last = NIL;
    stem_group_bounds(c.note, &first, &last);
    EXPECT_EQ(first, c.first);
    EXPECT_EQ(last, c.last);
    int cue = -1;
    EXPECT_EQ(stem_group_extreme(c.note, &cue), c.extreme);
    EXPECT_EQ(cue, c.cue);
  }
  EXPECT_EQ(stem_group_extreme(NIL, nullptr), NIL);
}

// ---- Records ----------------------------------------------------------------------------------

TEST_F(Records, CddatptrFindsTheChordRecordsAndChecksThem) {
  int v = new_voice();
  add_note(v, QUARTER, 30, 0, true);
  add_note(v, QUARTER, 32);
  add_note(v, QUARTER);
  Drosa loose = add_note(v, QUARTER);
  std::vector<Drosa> n = notes_of(v);
  Drosa head = chain_head();
  std::vector<Drosa> cds = link_chords(head, {{n[0], n[1]}, {n[2]}});
  EXPECT_EQ(cddatptr(n[0], 0), cds[0]);
  EXPECT_EQ(cddatptr(n[1], 0), cds[0]);
  EXPECT_EQ(cddatptr(n[2], 0), cds[1]);

  for (Drosa not_visible : {head, loose, NIL}) {
    EXPECT_EQ(cddatptr(not_visible, 1), NIL);
    expect_reports({});
    EXPECT_EQ(cddatptr(not_visible, 0), NIL);
    expect_reports({"bad call on cddatptr: works only for visible notes"});
  }

  destroy_node(cds[1]->xnext);  // the CDDATA2 of the second chord
  EXPECT_EQ(cddatptr(n[2], 1), NIL);
  expect_reports({});
  EXPECT_EQ(cddatptr(n[2], 0), cds[1]);
  expect_reports({"Logic error in staffops, routine cddatptr()"});
  destroy_node(cds[1]->xnext);  // the orphaned CDDATA3
  destroy_node(cds[1]);

  insertstf(with_ntdata(loose), n[2]);  // a chord left open: no xendscd to the chain's end
  EXPECT_EQ(cddatptr(loose, 0), NIL);
  expect_reports({"cddatptr: no xendscd note found!"});
}

TEST_F(Records, LayerWalksStayAtOneTimePointOfOnePstaff) {
  int v = new_voice();
  for (int i = 0; i < 5; ++i) add_note(v, QUARTER);
  std::vector<Drosa> n = notes_of(v);
  // The page's chords in the order closed: X, three layers of one time point, Y.
  struct Chord {
    int pstaff, number;
  } order[] = {{0, 0}, {0, 1}, {0, 1}, {0, 1}, {1, 1}};
  std::vector<Drosa> cds;
  for (int i = 0; i < 5; ++i) {
    Drosa cd = link_chords(chain_head(), {{n[i]}})[0];
    cd->xnext->set(xchordNum, int16_t(order[i].number));
    cd->xnext->xnext->set(xpstaff, uint8_t(order[i].pstaff));
    if (!cds.empty()) {
      cds.back()->xnext->xnext->set(xnextchord, cd);
      cd->xnext->xnext->set(xprevchord, cds.back());
    }
    cds.push_back(cd);
  }
  EXPECT_EQ(layer_first(cds[2]), cds[1]);
  EXPECT_EQ(layer_first(n[3]), cds[1]);
  EXPECT_EQ(layer_first(cds[1]), cds[1]);
  EXPECT_EQ(layer_first(cds[0]), cds[0]);
  EXPECT_EQ(layer_last(cds[1]), cds[3]);
  EXPECT_EQ(layer_last(n[2]), cds[3]);
  EXPECT_EQ(layer_last(cds[4]), cds[4]);

  Drosa bar = add_bar(v);
  EXPECT_EQ(layer_first(bar), bar);
  EXPECT_EQ(layer_last(NIL), NIL);
  expect_reports({"confusion in layer_first", "confusion in layer_first"});
}

// ---- Chain
// ----------------------------------------------------------------------------------------

TEST_F(Chain, EndsOfTheChainAndInsertingWithoutAPlace) {
  int v = new_voice();
  Drosa note = add_note(v, QUARTER);
  Drosa head = chain_head();
  link_chords(head, {{note}});
  EXPECT_EQ(startstf(head), 1);
  EXPECT_EQ(startstf(note), 0);
  EXPECT_EQ(endstf(NIL), 1);
  EXPECT_EQ(endstf(note), 0);
  Drosa bar = add_bar(v);
  EXPECT_EQ(endstf(bar), 0);
  expect_reports({"staffops warning: endstf tested for a BAR (" + std::to_string(BAR) +
                  ") node (not a visible note))"});
  insertstf(note, NIL);
  expect_reports({"insertstf has place == NIL!!!!!"});
}

TEST_F(Chain, RemovingTheLastNoteHandsTheChordRecordsToThePreviousNote) {
  struct Case {
    int removed_dir;  // the removed note's stems; the note before it has 2
    int beam_moves;
  } cases[] = {{2, 1}, {1, 0}};
  for (const Case& c : cases) {
    int v = new_voice();
    add_note(v, QUARTER, 30, 0, true);
    add_note(v, QUARTER, 32);
    add_note(v, QUARTER);
    std::vector<Drosa> n = notes_of(v);
    std::vector<Drosa> cds = link_chords(chain_head(), {{n[0], n[1]}, {n[2]}});
    ntdata(n[1])->set(xstmdir, c.removed_dir);
    ntdata(n[1])->set(xendbeam, 1);
    ntdata(n[1])->set(xtmpbeam, 1);

    EXPECT_EQ(removestf(n[1]), ntdata(n[1]));
    Drosa kept_nt = ntdata(n[0]);
    EXPECT_EQ(kept_nt->get(xendscd), 1);
    EXPECT_EQ(kept_nt->xnext, cds[0]);
    EXPECT_EQ(cds[0]->xnext->xkind, CDDATA2);
    EXPECT_EQ(cds[0]->xnext->xnext->xkind, CDDATA3);
    EXPECT_EQ(cds[0]->xnext->xnext->xnext, n[1]);
    EXPECT_EQ(ntdata(n[1])->xnext, n[2]);
    EXPECT_EQ(kept_nt->get(xendbeam), c.beam_moves);
    EXPECT_EQ(kept_nt->get(xtmpbeam), c.beam_moves);
    EXPECT_EQ(kept_nt->get(xpnext), n[2]);
    EXPECT_EQ(ntdata(n[2])->get(xpback), n[0]);
    EXPECT_EQ(ntdata(n[1])->get(xpnext), NIL);
    EXPECT_EQ(ntdata(n[1])->get(xpback), NIL);
    EXPECT_EQ(cddatptr(n[0], 0), cds[0]);
    EXPECT_EQ(chord_first_note(n[2]), n[2]);
  }
}

TEST_F(Chain, RemovingTheOnlyNoteOfAChordIsReportedAndLeavesItsRecords) {
  int v = new_voice();
  add_note(v, QUARTER);
  add_note(v, QUARTER);
  std::vector<Drosa> n = notes_of(v);
  std::vector<Drosa> cds = link_chords(chain_head(), {{n[0]}, {n[1]}});
  removestf(n[1]);
  expect_reports({"removestf in staffops: Attempt to remove only note in a chord"});
  EXPECT_EQ(ntdata(n[1])->xnext, cds[1]);
  EXPECT_EQ(ntdata(n[0])->xnext, cds[0]);
  EXPECT_EQ(ntdata(n[0])->get(xpnext), NIL);
  EXPECT_EQ(removestf(NIL), NIL);
}

// ---- Beams
// ----------------------------------------------------------------------------------------

TEST_F(Beams, ContinueInTheChordThenToTheNextChordOfTheSameKind) {
  int v = new_voice();
  add_note(v, EIGHTH, 30, 0, true);
  add_note(v, EIGHTH, 32);
  add_note(v, EIGHTH);
  add_grace(v, SIXTEENTH);
  add_note(v, EIGHTH);
  std::vector<Drosa> n = notes_of(v);  // a1 a2 b g d
  link_chords(chain_head(), {{n[0], n[1]}, {n[2]}, {n[3]}, {n[4]}});
  struct Case {
    Drosa note, next;
  } cases[] = {
      {n[0], n[1]},  // within the chord
      {n[1], n[2]},  // on to the next chord
      {n[2], n[4]},  // over the grace chord
      {n[3], NIL},   // a grace note never continues to a normal note
  };
  for (const Case& c : cases) {
    int hand = 0;
    EXPECT_EQ(beam_next(c.note, &hand), c.next);
    EXPECT_EQ(hand, 3);
  }
  ntdata(n[2])->set(xendbeam, 1);
  EXPECT_EQ(beam_next(n[2], nullptr), NIL);

  EXPECT_EQ(beam_next(NIL, nullptr), NIL);
  EXPECT_EQ(beam_next(add_note(v, EIGHTH), nullptr), NIL);
  expect_reports({"beam_next(NIL)", "Bad call on beam_next (not formatter_vis_noterest)"});
}

TEST_F(Beams, APrintWithAHandCodeCarriesTheBeamToTheOtherStaff) {
  int v = new_voice();
  Drosa first = add_note(v, EIGHTH);
  add_print(v, 1, 1)->set(xlhrh, int16_t(1));
  Drosa second = add_note(v, EIGHTH);
  link_chords(chain_head(), {{first}});
  link_chords(chain_head(), {{second}});
  int hand = 0;
  EXPECT_EQ(beam_next(first, &hand), second);
  EXPECT_EQ(hand, 2);

  // A second hand change before the same chord brings the beam home: nothing follows there.
  Drosa back = newDrosa(PRINT, 1);
  back->set(xlhrh, int16_t(2));
  link_after(back, second->xback);
  EXPECT_EQ(beam_next(first, &hand), NIL);
  EXPECT_EQ(hand, 3);
}

// ---- Hands
// ----------------------------------------------------------------------------------------

TEST_F(Hands, PrintsBeforeAndAfterAGroupGiveTheHand) {
  int v = new_voice();
  Drosa one = add_print(v, 1, 0);
  one->set(xlhrh, int16_t(1));
  add_note(v, QUARTER);
  add_note(v, QUARTER);
  Drosa other = add_print(v, 1, 0);
  other->set(xlhrh, int16_t(2));
  add_note(v, QUARTER);
  std::vector<Drosa> n = notes_of(v);
  link_chords(chain_head(), {{n[0]}, {n[1]}, {n[2]}});
  struct Case {
    Drosa note;
    int preceding;
    Drosa print;
    int following;
  } cases[] = {
      {n[0], 1, one, 3},
      {n[1], 3, NIL, 1},
      {n[2], 2, other, 3},
  };
  for (const Case& c : cases) {
    Drosa print = c.note;  // overwritten by the call
    EXPECT_EQ(precedingLHRH(c.note, c.note, &print), c.preceding);
    EXPECT_EQ(print, c.print);
    EXPECT_EQ(followingLHRH(c.note, c.note), c.following);
  }

  ntdata(n[1])->set(xstmdir, 1);
  EXPECT_EQ(precedingLHRH(n[0], n[1], nullptr), 3);
  EXPECT_EQ(followingLHRH(n[0], n[1]), 3);
  char text[120];
  std::snprintf(text, sizeof text,
                "Bad stmdirs in calling precedingLHRH (staffops): first %lx, last %lx",
                (unsigned long)n[0].handle(), (unsigned long)n[1].handle());
  expect_reports({text, "Bad stmdirs in calling followingLHRH (staffops)"});
}

// ---- Search
// -----------------------------------------------------------------------------------------

TEST_F(Search, ByVoiceAndForAllVoicesTheNodeBeforeANote) {
  // Of two key signatures before a note, the one nearest it is in force.
  int a = new_voice(), b = new_voice();
  Drosa bar_a = add_bar(a);
  Drosa na = add_note(a, QUARTER);
  add_key(b, 2);
  Drosa key2 = add_key(b, 3);
  Drosa bar_b = add_bar(b);
  Drosa nb = add_note(b, QUARTER);
  link_chords(chain_head(), {{na, nb}});
  EXPECT_EQ(search_staff_chord(KEYSIG, na, NIL, ALL_VOICES), key2);
  EXPECT_EQ(search_staff_chord(KEYSIG, NIL, nb, b), key2);
  EXPECT_EQ(search_staff_chord(KEYSIG, na, nb, a), NIL);
  EXPECT_EQ(search_staff_chord(BAR, na, NIL, ALL_VOICES), bar_a);
  destroy_node(bar_a);
  EXPECT_EQ(search_staff_chord(BAR, na, NIL, ALL_VOICES), bar_b);
  EXPECT_EQ(search_staff_chord(CLEF, na, nb, ALL_VOICES), NIL);
  EXPECT_EQ(search_staff_chord(KEYSIG, NIL, NIL, ALL_VOICES), NIL);
}

TEST_F(Search, DifferingClefsAreSettledByWhichVoiceIsAtHome) {
  struct Case {
    int hand_a, hand_b;  // hand codes of the two voices' PRINTs
    int staff_b;         // staff number of the second voice's PRINT
    int same_clef;
    int expect_b;  // 1: the second voice's CLEF wins
  } cases[] = {
      {0, 0, 0, 1, 0},  // one clef type: the first found
      {1, 0, 0, 0, 1},  // the first voice came over from the other hand
      {0, 1, 0, 0, 0},  // the second voice came over
      {0, 0, 1, 0, 0},  // the second voice stands on another staff
      {0, 0, 0, 0, 0},  // no PRINT decides: the first found
  };
  for (const Case& c : cases) {
    int a = new_voice(), b = new_voice();
    print_of(a)->set(xlhrh, int16_t(c.hand_a));
    print_of(b)->set(xlhrh, int16_t(c.hand_b));
    print_of(b)->set(xsstaff, int16_t(c.staff_b));
    Drosa clef_a = add_clef(a, 1);
    Drosa na = add_note(a, QUARTER);
    Drosa clef_b = add_clef(b, c.same_clef ? 1 : 2);
    Drosa nb = add_note(b, QUARTER);
    link_chords(chain_head(), {{na, nb}});
    EXPECT_EQ(search_staff_chord(CLEF, na, nb, ALL_VOICES), c.expect_b ? clef_b : clef_a)
        << "hands " << c.hand_a << "," << c.hand_b << " staff " << c.staff_b;
  }
}

TEST_F(Search, LinesCountWhenPlacedInTheChordsWindow) {
  // Heads at x 100, 200, 300: the middle chord's window runs from 150 to 250.
  struct Case {
    int32_t x1, x2;
    uint8_t style_byte, order_byte, variety_byte;
    bool found;
  } cases[] = {
      {180, 400, 0x10, 0, 0, true},     // starts inside the window
      {260, 400, 0x10, 0, 0, false},    // starts beyond it
      {100, 220, 0x10, 0, 0, true},     // spans the first head
      {100, 190, 0x10, 0, 0, false},    // ends before it
      {180, 400, 0x00, 0, 0, false},    // another line style
      {180, 400, 0x10, 2, 0, false},    // the closing piece of a broken line...
      {180, 400, 0x10, 2, 0x01, true},  // ...counts only with low bits set
  };
  for (const Case& c : cases) {
    int v = new_voice();
    Drosa n0 = add_note(v, QUARTER);
    Drosa line = add(v, LINE);
    Drosa pd = add(v, PDATA);
    Drosa n1 = add_note(v, QUARTER);
    Drosa n2 = add_note(v, QUARTER);
    link_chords(chain_head(), {{n0}, {n1}, {n2}});
    ntdata(n0)->set(xhdx, 100);
    ntdata(n1)->set(xhdx, 200);
    ntdata(n2)->set(xhdx, 300);
    pd->set(xpagex1, c.x1);
    pd->set(xpagex2, c.x2);
    set_node_byte(line, 46, c.style_byte);
    set_node_byte(line, 27, c.order_byte);
    set_node_byte(line, 47, c.variety_byte);
    EXPECT_EQ(search_staff_chord(LINE, n1, NIL, ALL_VOICES), c.found ? line : NIL)
        << c.x1 << ".." << c.x2;
  }
}

}  // namespace
