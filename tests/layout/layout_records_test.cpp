// layout_records_test.cpp: the layout records of a page.
//   Extents.*:  chord extents read and raised, and the unset sentinels
//   ClearNtdata.*: what an NTDATA keeps across formats
//   Prepare.*:  records made and cleared for a page; stray records, PARAMs and TPARAM repairs
//   Remove.*:   the records of the page last formatted, in each mode; broken record runs
//   BuildChord.*: closing the chords of two layers; rests that cannot share a chord; stems
//               of disagreeing notes; the signed end record and xoppos
#include "layout/layout_records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "model/model_services.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

using LayoutRecords = ModelTest;

using Extents = LayoutRecords;
using ClearNtdata = LayoutRecords;
using Prepare = LayoutRecords;
using Remove = LayoutRecords;
using BuildChord = LayoutRecords;

constexpr int32_t HIGH = EXTENT_HIGH_START, LOW = EXTENT_LOW_START;

Drosa ntdata(Drosa note) { return note->xnext; }
Drosa print_of(int v) { return find_next_kind_before_note(PRINT, piece_start[v]); }

void expect_reports(const std::vector<std::string>& texts) {
  std::vector<Report> got = take_reports();
  ASSERT_EQ(got.size(), texts.size());
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(got[i].level, 4);
    EXPECT_EQ(got[i].text, texts[i]);
  }
}

// A CDDATA, CDDATA2 and CDDATA3 after the node; returns the CDDATA.
Drosa add_chord_records(Drosa after) {
  Drosa cd = add_after(after, CDDATA);
  add_after(add_after(cd, CDDATA2), CDDATA3);
  return cd;
}

// ---- Extents ------------------------------------------------------------------------------

TEST_F(Extents, AccessorsAndTheUnsetSentinels) {
  struct Case {
    int32_t uphi, downhi, uplo, downlo;
    int32_t max_hi, min_hi, min_lo;
    int reports;
  } cases[] = {
      {60, 40, -20, -10, 60, 40, -20, 0},
      {HIGH, 40, LOW, -10, 40, 40, -10, 0},  // only the stems-down extents set
      {60, HIGH, 5, LOW, 60, 60, 5, 0},
      {HIGH, HIGH, LOW, LOW, HIGH, HIGH, LOW, 3},
  };
  Drosa cd = newDrosa(CDDATA, 0);
  for (const Case& c : cases) {
    cd->set(xuphiy, c.uphi);
    cd->set(xdownhiy, c.downhi);
    cd->set(xuploy, c.uplo);
    cd->set(xdownloy, c.downlo);
    EXPECT_EQ(get_hiy(cd, 2), c.uphi);
    EXPECT_EQ(get_hiy(cd, 1), c.downhi);
    EXPECT_EQ(get_hiy(cd, 0), c.downhi) << "any direction but 2 reads the stems-down value";
    EXPECT_EQ(get_loy(cd, 2), c.uplo);
    EXPECT_EQ(get_loy(cd, 3), c.downlo);
    EXPECT_EQ(get_max_hiy(cd), c.max_hi);
    EXPECT_EQ(get_min_hiy(cd), c.min_hi);
    EXPECT_EQ(get_min_loy(cd), c.min_lo);
    EXPECT_EQ(int(take_reports().size()), c.reports);
  }
  get_max_hiy(cd);
  get_min_hiy(cd);
  get_min_loy(cd);
  expect_reports({"get_max_hiy called with xuphiy and xdownhiy uninitialized",
                  "get_min_hiy called with xuphiy and xdownhiy uninitialized",
                  "get_min_loy called with xuploy and xdownloy uninitialized"});

  set_max_hiy(cd, 2, 30);
  set_max_hiy(cd, 2, 20);
  set_max_hiy(cd, 1, -5);
  set_min_loy(cd, 2, -40);
  set_min_loy(cd, 2, -30);
  set_min_loy(cd, 0, 8);
  EXPECT_EQ(cd->get(xuphiy), 30);
  EXPECT_EQ(cd->get(xdownhiy), -5);
  EXPECT_EQ(cd->get(xuploy), -40);
  EXPECT_EQ(cd->get(xdownloy), 8);
  destroyDrosa(cd);

  EXPECT_EQ(get_hiy(NIL, 2), HIGH);
  EXPECT_EQ(get_loy(NIL, 2), LOW);
  set_max_hiy(NIL, 2, 1);
  set_min_loy(NIL, 2, 1);
}

// ---- clear_ntdata ----------------------------------------------------------------------------

TEST_F(ClearNtdata, KeepsExactlyTheFieldsThatLiveAcrossFormats) {
  int v = new_voice();
  Drosa note = add_note(v, QUARTER);
  Drosa nt = add_after(note, NTDATA);
  std::memset(nt->payload, 0xA5, DROSA_PAYLOAD_SIZE);
  clear_ntdata(note);
  // Kept: xtabtyp and xtabstr (byte 11 but its last bit), xaccx (28), xscrrestchar (29,
  // bits 5-4), xstsize (31), xscrhdx and xscrhdy (32-39).
  for (int byte = DROSA_PAYLOAD_OFFSET; byte < DROSA_NODE_SIZE; ++byte) {
    uint8_t expected = 0;
    if (byte == 11) expected = 0xA4;
    if (byte == 28 || byte == 31 || (byte >= 32 && byte <= 39)) expected = 0xA5;
    if (byte == 29) expected = 0x20;
    EXPECT_EQ(node_byte(nt, byte), expected) << "node byte " << byte;
  }

  Drosa bare = add_note(v, QUARTER);
  Drosa bar = add_bar(v);
  bar->set(xbarx, 77);
  clear_ntdata(bare);
  expect_reports({"logic error in clear_ntdata"});
  EXPECT_EQ(bar->get(xbarx), 77) << "a node of another kind is left alone";
}

// ---- prepare_layout_nodes ------------------------------------------------------------------

TEST_F(Prepare, NotesAndAnnotationsGetRecordsAndStraysGo) {
  int v = new_voice();
  print_of(v)->set(xlayer, 5);
  Drosa first = add_note(v, QUARTER);
  add_after(add_bar(v), NTDATA);  // a stray record
  add(v, PARAM);
  Drosa second = add_note(v, QUARTER);
  Drosa kept = add_after(second, NTDATA);
  std::memset(kept->payload, 0xA5, DROSA_PAYLOAD_SIZE);
  add_chord_records(kept);  // left over from another format
  Drosa fresh_line = add(v, LINE);
  Drosa old_line = add(v, LINE);
  Drosa old_pd = add(v, PDATA);
  int32_t old_values[] = {1, 2, 3, 4, 10, 11, 12, 13};
  const Field<int32_t>* rect[] = {&xscrx1,  &xscry1,  &xscrx2,  &xscry2,
                                  &xpagex1, &xpagey1, &xpagex2, &xpagey2};
  for (int i = 0; i < 8; ++i) old_pd->set(*rect[i], old_values[i]);
  old_pd->set(xy1pstaff, int8_t(2));
  old_pd->set(xchyphen, int16_t(7));
  old_pd->set(xanno_selected, 1);
  add_note(v, QUARTER);
  add_system_break(v, true);
  add_note(v, QUARTER);  // on the next page

  int hidden = new_voice();  // no PRINT in this context: not shown
  print_of(hidden)->xcontext = 2;
  add_note(hidden, QUARTER);

  EXPECT_EQ(prepare_layout_nodes(1), 1);
  EXPECT_EQ(dump_voice(v),
            "0 ENDSYST start page\n"
            "1 VINFO\n"
            "2 PRINT@1 staff0 layer0\n"
            "3 NOTE lg3 m35 endvcd\n"
            "4 NTDATA pbNIL pnNIL\n"
            "5 BAR\n"
            "6 NOTE lg3 m35 endvcd\n"
            "7 NTDATA pbNIL pnNIL\n"
            "8 LINE\n"
            "9 PDATA\n"
            "10 LINE\n"
            "11 PDATA\n"
            "12 NOTE lg3 m35 endvcd\n"
            "13 NTDATA pbNIL pnNIL\n"
            "14 ENDSYST page\n"
            "15 NOTE lg3 m35 endvcd\n"
            "16 ENDSYST end page\n");
  EXPECT_EQ(dump_voice(hidden),
            "0 ENDSYST start page\n1 VINFO\n2 PRINT@2 staff0 layer0\n3 NOTE lg3 m35 endvcd\n"
            "4 ENDSYST end page\n");

  EXPECT_EQ(ntdata(first)->get(xscrhdx), NOT_DRAWN);
  EXPECT_EQ(ntdata(first)->get(xscrhdy), NOT_DRAWN);
  EXPECT_EQ(ntdata(second), kept);
  EXPECT_EQ(kept->get(xscrhdx), int32_t(0xA5A5A5A5)) << "the screen position lives on";
  EXPECT_EQ(kept->get(xaccx), 0xA5);
  EXPECT_EQ(kept->get(xforced), 0);

  Drosa fresh_pd = fresh_line->xnext;
  for (int i = 0; i < 8; ++i) EXPECT_EQ(fresh_pd->get(*rect[i]), NOT_DRAWN) << rect[i]->name;
  EXPECT_EQ(old_line->xnext, old_pd);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(old_pd->get(*rect[i]), old_values[i]) << rect[i]->name;
  for (int i = 4; i < 8; ++i) EXPECT_EQ(old_pd->get(*rect[i]), NOT_DRAWN) << rect[i]->name;
  EXPECT_EQ(old_pd->get(xanno_selected), 1);
  EXPECT_EQ(old_pd->get(xy1pstaff), 0);
  EXPECT_EQ(old_pd->get(xchyphen), 0);
}

TEST_F(Prepare, TextlessTparamsGoAndForeignTextsTakeTheirTparam) {
  int v = new_voice();
  add(v, TPARAM);
  add_note(v, QUARTER);
  add(v, TPARAM);
  add_note(v, QUARTER);
  Drosa moved = add(v, TPARAM);
  add(v, TEXT, 2);
  add_note(v, QUARTER);
  add(v, TPARAM);
  add(v, TEXT);
  set_node_byte(add(v, TPARAM), 24, 0x02);  // a further style run: no PDATA of its own
  add(v, TEXT);
  add_note(v, QUARTER);

  EXPECT_EQ(prepare_layout_nodes(0), 1);
  expect_reports({"Removing textless TPARAM.  voice=0 context=1 next=NOTE xcontext 0,0",
                  "Changing context of TPARAM.  voice=0 context=1 next=TEXT xcontext 0,2"});
  EXPECT_EQ(moved->xcontext, 2);
  EXPECT_EQ(dump_voice(v),
            "0 ENDSYST start page\n"
            "1 VINFO\n"
            "2 PRINT@1 staff0 layer0\n"
            "3 NOTE lg3 m35 endvcd\n"
            "4 NTDATA pbNIL pnNIL\n"
            "5 NOTE lg3 m35 endvcd\n"
            "6 NTDATA pbNIL pnNIL\n"
            "7 TPARAM@2\n"
            "8 TEXT@2\n"
            "9 NOTE lg3 m35 endvcd\n"
            "10 NTDATA pbNIL pnNIL\n"
            "11 TPARAM\n"
            "12 PDATA\n"
            "13 TEXT\n"
            "14 TPARAM\n"
            "15 TEXT\n"
            "16 NOTE lg3 m35 endvcd\n"
            "17 NTDATA pbNIL pnNIL\n"
            "18 ENDSYST end page\n");
}

// ---- remove_ntdata ---------------------------------------------------------------------------

TEST_F(Remove, EachModeRemovesItsRecords) {
  struct Case {
    int mode;
    const char* left;
  } cases[] = {
      {322, "3 NOTE lg3 m35 endvcd\n4 LINE\n5 ENDSYST page\n6 NOTE lg3 m35 endvcd\n"},
      {REMOVE_SAME_PAGE,
       "3 NOTE lg3 m35 endvcd\n4 NTDATA pbNIL pnNIL\n5 LINE\n6 PDATA\n7 ENDSYST page\n"
       "8 NOTE lg3 m35 endvcd\n9 NTDATA pbNIL pnNIL\n10 CDDATA\n"},
      {REMOVE_OTHER_PAGE,
       "3 NOTE lg3 m35 endvcd\n4 LINE\n5 ENDSYST page\n"
       "6 NOTE lg3 m35 endvcd\n7 NTDATA pbNIL pnNIL\n8 CDDATA\n"},
  };
  for (const Case& c : cases) {
    int v = new_voice();
    add_chord_records(add_after(add_note(v, QUARTER), NTDATA));
    add_after(add(v, LINE), PDATA);
    add_system_break(v, true);
    add_after(add_note(v, QUARTER), NTDATA);
    add(v, CDDATA);  // the next page is not touched but by the whole-piece mode...
    if (c.mode == 322) destroy_node(voice_end(v)->xback);  // ...which would report it
    remove_ntdata(c.mode);
    std::string dump = dump_voice(v);
    std::string head = "0 ENDSYST start page\n1 VINFO\n2 PRINT@1 staff0 layer0\n";
    EXPECT_EQ(dump.substr(0, head.size()), head);
    EXPECT_EQ(dump.substr(head.size(), dump.rfind('\n', dump.size() - 2) + 1 - head.size()), c.left)
        << "mode " << c.mode;
  }
}

TEST_F(Remove, BrokenRunsOfChordRecordsAreReportedAndCleared) {
  int v = new_voice();
  Drosa nt = add_after(add_note(v, QUARTER), NTDATA);
  add_after(add_after(nt, CDDATA), CDDATA2);
  Drosa bar = add_bar(v);  // where the CDDATA3 should be
  add(v, CDDATA3);
  add(v, CDDATA2);
  remove_ntdata(REMOVE_SAME_PAGE);
  expect_reports({"CDDATA3 missing in remove_ntdata",
                  "CDDATA3 logic error in remove_ntdata - no preceding CDDATA",
                  "CDDATA2 logic error in remove_ntdata - no preceding CDDATA"});
  EXPECT_EQ(nt->xnext, bar);
  EXPECT_EQ(bar->xnext, voice_end(v));

  add_after(nt, CDDATA);
  voice_end(v)->set(xendpage, 0);  // the list ends before any page end
  remove_ntdata(REMOVE_OTHER_PAGE);
  expect_reports({"CDDATA2 missing in remove_ntdata", "logic error in remove_ntdata"});
  EXPECT_EQ(nt->xkind, FREE);
  voice_end(v)->set(xendpage, 1);
}

// ---- build_staff_chord -----------------------------------------------------------------------

// A chain head as the formatter makes it, made the pending note of the pstaff's layer.
void open_layer(int pstaff, int layer) {
  Drosa head = newDrosa(NOTE, 0);
  Drosa nt = newDrosa(NTDATA, 0);
  link_after(nt, head);
  nt->set(xendscd, 1);
  nt->set(xendbeam, 1);
  staff_data[pstaff].ppnt[layer] = staff_data[pstaff].pending[layer] = head;
  staff_data[pstaff].end_record[layer] = 0;
}

// Links a note after its layer's pending note with the given stems, as setprint does.
void pend(int pstaff, int layer, Drosa note, int dir, int forced = 0) {
  if (note->xnext->xkind != NTDATA) add_after(note, NTDATA);
  insertstf(note, staff_data[pstaff].pending[layer]);
  ntdata(note)->set(xstmdir, dir);
  ntdata(note)->set(xforced, forced);
  staff_data[pstaff].pending[layer] = note;
}

Drosa cd2_of(Drosa cd) { return cd->xnext; }
Drosa cd3_of(Drosa cd) { return cd->xnext->xnext; }

void show_voices(std::initializer_list<int> voices) {
  for (int v : voices) voice_data[v].print = print_of(v);
}

TEST_F(BuildChord, TwoLayersAreClosedChainedAndTimed) {
  first_pstaff = last_pstaff = 0;
  int a = new_voice(), b = new_voice(), c = new_voice();
  show_voices({a, b, c});
  Drosa qa = add_note(a, QUARTER), qb = add_note(b, QUARTER), hc = add_note(c, HALF);
  add_bar(a);
  Drosa qa2 = add_note(a, QUARTER);
  Drosa qa3 = add_note(a, QUARTER);
  open_layer(0, 0);
  open_layer(0, 1);
  pend(0, 0, qa, 2);
  pend(0, 0, qb, 2);
  pend(0, 1, hc, 1);
  build_staff_chord(0, 0);

  EXPECT_EQ(ntdata(qa)->get(xendscd), 0);
  EXPECT_EQ(ntdata(qb)->get(xendscd), 1);
  Drosa cd0 = ntdata(qb)->xnext, cd1 = ntdata(hc)->xnext;
  ASSERT_EQ(cd0->xkind, CDDATA);
  ASSERT_EQ(cd1->xkind, CDDATA);
  EXPECT_EQ(cd2_of(cd1)->xkind, CDDATA2);
  EXPECT_EQ(cd3_of(cd1)->xkind, CDDATA3);
  for (const Field<int32_t>* f : {&xuphiy, &xdownhiy, &xprehiy}) EXPECT_EQ(cd0->get(*f), HIGH);
  for (const Field<int32_t>* f : {&xuploy, &xdownloy, &xpreloy}) EXPECT_EQ(cd0->get(*f), LOW);
  EXPECT_EQ(cd3_of(cd0)->get(xcdlayer), 0);
  EXPECT_EQ(cd3_of(cd1)->get(xcdlayer), 1);
  EXPECT_EQ(cd3_of(cd1)->get(xpstaff), 0);
  EXPECT_EQ(cd3_of(cd0)->get(xprevchord), NIL);
  EXPECT_EQ(cd3_of(cd0)->get(xnextchord), cd1);
  EXPECT_EQ(cd3_of(cd1)->get(xprevchord), cd0);
  EXPECT_EQ(last_chord, cd1);
  EXPECT_EQ(cddatptr(qa, 0), cd0);
  EXPECT_EQ(layer_last(qa), cd1);
  EXPECT_EQ(staff_data[0].end_record[0], -16384);  // stems up
  EXPECT_EQ(staff_data[0].end_record[1], 32768);   // stems down

  // The next time points; setprint clears the end records of chords that have ended.
  staff_data[0].end_record[0] = 0;
  pend(0, 0, qa2, 2);
  build_staff_chord(16384, 1);
  staff_data[0].end_record[0] = 0;
  pend(0, 0, qa3, 2);
  build_staff_chord(32768, 2);
  Drosa cd2 = ntdata(qa2)->xnext, cd3 = ntdata(qa3)->xnext;
  EXPECT_EQ(cd3_of(cd1)->get(xnextchord), cd2) << "the half note's layer had nothing to close";
  EXPECT_EQ(last_chord, cd3);
  struct Expect {
    Drosa cd;
    int chord_number, new_measure;
    int32_t time, in_measure;
  } expect[] = {
      {cd0, 0, 0, 0, 0},
      {cd1, 0, 0, 0, 0},
      {cd2, 1, 1, 16384, 0},  // a BAR before it
      {cd3, 2, 0, 32768, 16384},
  };
  for (const Expect& e : expect) {
    EXPECT_EQ(cd2_of(e.cd)->get(xchordNum), e.chord_number);
    EXPECT_EQ(cd2_of(e.cd)->get(xswholec), e.time);
    EXPECT_EQ(cd2_of(e.cd)->get(xmwholec), e.in_measure);
    EXPECT_EQ(e.cd->get(xnewmeas), e.new_measure);
    EXPECT_EQ(e.cd->get(xoppos), 0);
  }
  EXPECT_EQ(measure_start[0], 16384);
  clear_chord_table();
  EXPECT_EQ(measure_start[0], 0);
}

TEST_F(BuildChord, RestsThatCannotShareLeaveTheChord) {
  struct Case {
    int rest_value, note_value;
    int rest_forced, rest_dir, note_forced, note_dir;
    bool removed;
  } cases[] = {
      {QUARTER, QUARTER, 0, 2, 0, 2, true},  {HALF, QUARTER, 0, 2, 0, 2, true},
      {QUARTER, HALF, 0, 2, 0, 2, false},     // the note sounds longer
      {QUARTER, QUARTER, 1, 1, 1, 2, false},  // both forced, stems apart
      {QUARTER, QUARTER, 1, 1, 0, 1, true},
  };
  first_pstaff = last_pstaff = 0;
  for (const Case& c : cases) {
    int v = new_voice();
    Drosa note = add_note(v, c.note_value);
    Drosa rest = add_rest(v, c.rest_value);
    open_layer(0, 0);
    pend(0, 0, note, c.note_dir, c.note_forced);
    pend(0, 0, rest, c.rest_dir, c.rest_forced);
    build_staff_chord(0, 0);
    Drosa closing = c.removed ? note : rest;
    EXPECT_EQ(staff_data[0].pending[0], closing);
    EXPECT_EQ(ntdata(closing)->get(xendscd), 1);
    EXPECT_EQ(ntdata(closing)->xnext->xkind, CDDATA);
    EXPECT_EQ(is_visible_note(rest), c.removed ? 0 : 1);
  }
}

TEST_F(BuildChord, DisagreeingStemsAreSettled) {
  struct Note {
    int value, forced, dir;
  };
  struct Case {
    std::vector<Note> before, after;
  } cases[] = {
      // Forced and unforced notes of one value: all forced, stems as they were.
      {{{QUARTER, 1, 1}, {QUARTER, 0, 2}}, {{QUARTER, 1, 1}, {QUARTER, 1, 2}}},
      // Of different values: the forced note's value keeps its stems, the others turn.
      {{{QUARTER, 1, 1}, {HALF, 0, 1}}, {{QUARTER, 1, 1}, {HALF, 1, 2}}},
      {{{QUARTER, 1, 2}, {QUARTER, 0, 1}, {HALF, 0, 2}},
       {{QUARTER, 1, 2}, {QUARTER, 1, 2}, {HALF, 1, 1}}},
      // No note forced: the last note's value stems down, the others up.
      {{{QUARTER, 0, 1}, {HALF, 0, 1}}, {{QUARTER, 1, 2}, {HALF, 1, 1}}},
      {{{QUARTER, 0, 1}, {QUARTER, 0, 1}}, {{QUARTER, 0, 1}, {QUARTER, 0, 1}}},
  };
  first_pstaff = last_pstaff = 0;
  for (const Case& c : cases) {
    int v = new_voice();
    open_layer(0, 0);
    std::vector<Drosa> notes;
    for (const Note& n : c.before) {
      notes.push_back(add_note(v, n.value));
      pend(0, 0, notes.back(), n.dir, n.forced);
    }
    build_staff_chord(0, 0);
    for (size_t i = 0; i < notes.size(); ++i) {
      EXPECT_EQ(ntdata(notes[i])->get(xforced), c.after[i].forced) << "case note " << i;
      EXPECT_EQ(ntdata(notes[i])->get(xstmdir), c.after[i].dir) << "case note " << i;
    }
  }
}

TEST_F(BuildChord, OverlappingChordsOfOneLayerKeepTheLongestEnd) {
  first_pstaff = last_pstaff = 0;
  int v = new_voice();
  show_voices({v});
  Drosa half = add_note(v, HALF);
  Drosa rest = add_rest(v, QUARTER);
  rest->set(xhider, 1);
  Drosa longer = add_note(v, HALF);
  open_layer(0, 0);
  pend(0, 0, half, 1);
  build_staff_chord(0, 0);
  EXPECT_EQ(staff_data[0].end_record[0], 32768);
  EXPECT_EQ(ntdata(half)->xnext->get(xoppos), 0);

  pend(0, 0, rest, 2, 1);  // stemmed against the half note, which still sounds
  build_staff_chord(16384, 1);
  EXPECT_EQ(staff_data[0].end_record[0], 32768) << "the half note outlasts the rest";
  Drosa cd = ntdata(rest)->xnext;
  EXPECT_EQ(cd->get(xoppos), 1);
  EXPECT_EQ(cd2_of(cd)->get(xopposhide), 1);

  pend(0, 0, longer, 2, 1);
  build_staff_chord(24576, 2);
  EXPECT_EQ(staff_data[0].end_record[0], -(24576 + 32768)) << "now the later half sounds longest";
  EXPECT_EQ(ntdata(longer)->xnext->get(xoppos), 1);
}

TEST_F(BuildChord, XopposWhenAnotherVoiceOnTheStaffStemsOtherwise) {
  struct Case {
    int other_dir, other_staff, oppos;
  } cases[] = {{1, 0, 1}, {3, 0, 0}, {1, 1, 0}};
  first_pstaff = 0;
  last_pstaff = 1;
  for (const Case& c : cases) {
    int v = new_voice(), other = new_voice();
    print_of(other)->set(xprintdir, int16_t(c.other_dir));
    print_of(other)->set(xsstaff, int16_t(c.other_staff));
    show_voices({v, other});
    Drosa note = add_note(v, QUARTER);
    open_layer(0, 0);
    pend(0, 0, note, 1);
    build_staff_chord(0, 0);
    EXPECT_EQ(ntdata(note)->xnext->get(xoppos), c.oppos)
        << "other voice stems " << c.other_dir << " on staff " << c.other_staff;
    voice_data[v].print = voice_data[other].print = NIL;
  }
}

}  // namespace
