// printcd_test.cpp: chords outside beams on small formatted pages (staff 0: bottom line 1560,
// middle 1660, top 1760; a head's y is half a space below its centre; heads 60 wide).
//   ChordStems.*:     stems up and down, to the middle line, of chords; flags; none for whole
//                     notes and xnostem; the pixel twin of a stem up; tremolo marks; grace slash
//   ChordHeads.*:     ledger lines, accidentals at their column and special accidentals, dots,
//                     a measure rest left to the page pass
//   ChordTablature.*: fret numbers, a string out of range, a negative fret
//   SlurChains.*:     slur_chain_test
//   ChordPages.*:     rendered pages of chords and accidentals, and of tablature
#include "graphics/printcd.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "graphics/chord_parts.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"
#include "support/chord_page.h"
#include "support/piece_builder.h"

namespace {

using ChordStems = ChordPageTest;
using ChordHeads = ChordPageTest;
using ChordTablature = ChordPageTest;
using SlurChains = ChordPageTest;
using ChordPages = ChordPageTest;
using Lines = std::vector<std::string>;

constexpr int32_t MIDDLE = 1660, TOP = 1760, BOTTOM = 1560;

int32_t hx(Drosa n) { return nt(n)->get(xhdx); }
int32_t hy(Drosa n) { return nt(n)->get(xhdy); }
int32_t sx(Drosa n) { return hx(n) + nt(n)->get(xstemxoff); }
Lines owned(Drosa owner, int var) { return ge_lines(var, false, owner); }
Drosa alone(Drosa eighth) {  // a beam ends at the note
  eighth->set(xebeam, 1);
  return eighth;
}

TEST_F(ChordStems, LengthsDirectionsChordsAndFlags) {
  param[P_NORMAL_LENGTH_OF_NOTE_STEMS].value.set_integer(
      60);  // short stems: the middle-line rule shows
  int v = new_voice();
  Drosa low = add_note(v, QUARTER, 35);  // C4 below the staff: up, to the middle line
  Drosa top = add_note(v, QUARTER, 45);  // F5 on the top line: down, to the middle line
  Drosa up8 = alone(add_note(v, EIGHTH, 39));
  Drosa down8 = alone(add_note(v, EIGHTH, 43));
  add_bar(v);
  Drosa up_chord = add_chord(v, HALF, {37, 39, 41});
  Drosa down_chord = add_chord(v, QUARTER, {43, 45, 47});
  Drosa whole = add_note(v, WHOLE, 41);
  Drosa stemless = add_note(v, HALF, 41);
  stemless->set(xnostem, 1);
  format_and_draw(3);
  // Up from the lowest head + 35 to the highest + 60 + 50; down from the highest + 15 to the
  // lowest - 60; both at least to the middle line.
  EXPECT_EQ(owned(low, 20), Lines{line_line(20, sx(low), hy(low) + 35, sx(low), MIDDLE, 2)});
  EXPECT_EQ(owned(top, 19), Lines{line_line(19, sx(top), hy(top) + 15, sx(top), MIDDLE, 2)});
  Drosa up_last = chord_last_note(up_chord), down_last = chord_last_note(down_chord);
  EXPECT_EQ(owned(up_chord, 20), Lines{line_line(20, sx(up_chord), hy(up_chord) + 35, sx(up_chord),
                                                 hy(up_last) + 110, 2)});
  EXPECT_EQ(owned(down_chord, 19), Lines{line_line(19, sx(down_chord), hy(down_last) + 15,
                                                   sx(down_chord), hy(down_chord) - 60, 2)});
  EXPECT_EQ(owned(up8, 49), Lines{glyph_line(49, sx(up8), hy(up8) + 110, 61, up8)});
  EXPECT_EQ(owned(down8, 50), Lines{glyph_line(50, sx(down8), hy(down8) - 60, 66, down8)});
  for (Drosa n : {whole, stemless}) EXPECT_TRUE(owned(n, 19).empty() && owned(n, 20).empty());
  // The screen shows a stem up on whole pixels of 3 units, one pixel wide.
  const int32_t snapped = (sx(low) + 1) / 3 * 3;
  EXPECT_EQ(ge_lines(20, true, low).front(),
            "~" + line_line(20, snapped, hy(low) + 35, snapped, MIDDLE, 3));
}

TEST_F(ChordStems, TremoloMarksAndGraceSlashes) {
  int v = new_voice();
  Drosa quarter = add_note(v, QUARTER, 37);  // up; the mark stands 100 below its point
  quarter->set(xtremolo, 2);
  Drosa eighth = alone(add_note(v, EIGHTH, 45));  // down, 50 longer for its tremolo
  eighth->set(xtremolo, 1);
  Drosa grace = alone(add_grace(v, EIGHTH, false, 37));
  add_note(v, QUARTER, 41);
  format_and_draw();
  const int32_t quarter_end = hy(quarter) + 190, eighth_end = hy(eighth) - 190;
  EXPECT_EQ(owned(quarter, 51),
            Lines{glyph_line(51, sx(quarter) - 20, quarter_end - tremolo_yoffset(quarter, 0) - 100,
                             103, quarter)});
  EXPECT_EQ(owned(eighth, 19),
            Lines{line_line(19, sx(eighth), hy(eighth) + 15, sx(eighth), eighth_end, 2)});
  EXPECT_EQ(
      owned(eighth, 51),
      Lines{glyph_line(51, sx(eighth) - 20, eighth_end + tremolo_yoffset(eighth, 0), 102, eighth)});
  // The slash of a lone grace note: from (x - 20, end - 70) to (x + 54, end - 40).
  int x, y1, y2, w, var;
  ASSERT_EQ(std::sscanf(owned(grace, 20).at(0).c_str(), "line %d %d %d %d %d w%d", &var, &x, &y1,
                        &x, &y2, &w),
            6);
  EXPECT_EQ(owned(grace, 75), Lines{line_line(75, x - 20, y2 - 70, x + 54, y2 - 40, 2)});
}

TEST_F(ChordHeads, LedgerLinesAboveAndBelowTheStaff) {
  int v = new_voice();
  const std::vector<std::pair<int, std::vector<int32_t>>> cases = {
      {46, {}},                           // G5, in the space above the top line
      {47, {TOP + 50}},                   // A5, on the first line above
      {48, {TOP + 50}},                   // B5, above it
      {49, {TOP + 50, TOP + 100}},        // C6
      {37, {}},                           // E4, on the bottom line
      {35, {BOTTOM - 50}},                // C4
      {32, {BOTTOM - 50, BOTTOM - 100}},  // G3
  };
  std::vector<Drosa> notes;
  for (const auto& c : cases) notes.push_back(add_note(v, QUARTER, c.first));
  format_and_draw();
  for (size_t i = 0; i < notes.size(); ++i) {
    Lines expected;  // 20 left of the head to 10 right of it, centred on the line
    for (int32_t y : cases[i].second)
      expected.push_back(line_line(24, hx(notes[i]) - 20, y - 1, hx(notes[i]) + 70, y - 1, 2));
    EXPECT_EQ(owned(notes[i], 24), expected) << cases[i].first;
  }
}

TEST_F(ChordHeads, AccidentalsStandAtTheirColumn) {
  int v = new_voice();
  Drosa sharp = add_note(v, QUARTER, 38);
  sharp->set(xacc, 4);
  sharp->set(xaccplot, 1);
  add_note(v, QUARTER, 40)->set(xacc, 2);  // not to be printed
  Drosa special = add_note(v, QUARTER, 40);
  special->set(xacc, 2);
  special->set(xaccplot, 1);
  Drosa spacc = newDrosa(SPACC, 0);  // special accidental 1, then a flat
  spacc->set(xnumspacc, 2);
  spacc->set(xspacc_entry, 0, 6);
  spacc->set(xspacc_entry, 1, 2);
  link_after(spacc, special->xback);
  format_and_draw();
  EXPECT_EQ(ge_lines(48).size(), 3u);
  EXPECT_EQ(owned(sharp, 48),
            Lines{glyph_line(48, hx(sharp) - 5 * nt(sharp)->get(xaccx), hy(sharp), 28, sharp)});
  const int32_t x = hx(special) - 5 * nt(special)->get(xaccx);
  EXPECT_EQ(owned(special, 48),
            (Lines{glyph_line(48, x, hy(special), 419, special),
                   glyph_line(48, x + param_group_width(special, nullptr, 6, NIL), hy(special), 26,
                              special)}));
  sharp->set(xacc, 6);  // no glyph: the user is told
  drawacc(sharp, 0);
  const std::vector<Report> got = take_reports();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].level, 2);
  EXPECT_EQ(got[0].text, "No character for accidental number 6; accidental omitted.");
}

TEST_F(ChordHeads, DotsTakeTheSpaceAboveALineAndStepAsideForASecond) {
  int v = new_voice();
  Drosa on_line = add_note(v, QUARTER, 39, 1);   // G4 on the second line
  Drosa in_space = add_note(v, QUARTER, 40, 2);  // A4 in a space: one glyph for two dots
  Drosa triple = add_note(v, QUARTER, 40, 3);    // 21, then 740 at the same place
  Drosa second = add_chord(v, QUARTER, {39, 40});
  second->set(xdots, 1);
  second->xnext->set(xdots, 1);
  add_bar(v);
  Drosa rest = add_rest(v, QUARTER, 1);
  format_and_draw();
  auto dot = [](Drosa n, int32_t x, int32_t y, int p) { return glyph_line(47, x, y, p, n); };
  const int32_t x = hx(on_line) + 90;  // head 60 and gap 30
  EXPECT_EQ(owned(on_line, 47), Lines{dot(on_line, x, BOTTOM + 50, 20)});
  EXPECT_EQ(owned(in_space, 47), Lines{dot(in_space, hx(in_space) + 90, BOTTOM + 50, 21)});
  EXPECT_EQ(owned(triple, 47), (Lines{dot(triple, hx(triple) + 90, BOTTOM + 50, 21),
                                      dot(triple, hx(triple) + 90, BOTTOM + 50, 740)}));
  // The second's dots stand after its displaced head, the lower one a space lower.
  Drosa lower = chord_first_note(second), upper = chord_last_note(second);
  const int32_t chord_x = std::max(hx(lower), hx(upper)) + 90;
  EXPECT_EQ(owned(lower, 47), Lines{dot(lower, chord_x, BOTTOM, 20)});
  EXPECT_EQ(owned(upper, 47), Lines{dot(upper, chord_x, BOTTOM + 50, 20)});
  EXPECT_EQ(owned(rest, 47).size(), 1u);
  EXPECT_EQ(owned(rest, 47)[0].find("char 47 " +
                                    std::to_string(hx(rest) + rest_width(rest, 0) + 30) + " "),
            0u);
}

// A rest filling its measure is left by the chord drawer for the page pass, which draws it
// once, centred in its measure, and empties the staff record's slot.
TEST_F(ChordHeads, AMeasureRestWaitsForThePagePass) {
  int v = new_voice();
  add_timesig(v, 4, 4);
  for (int i = 0; i < 4; ++i) add_note(v, QUARTER, 39);
  add_bar(v);
  Drosa rest = add_rest(v, WHOLE);
  add_bar(v);
  format_and_draw();
  EXPECT_EQ(nt(rest)->get(xrestchar), 1);
  EXPECT_FALSE(staff_data[0].rest_group[0]);
  EXPECT_EQ(owned(rest, 46).size(), 1u);
}

TEST_F(ChordTablature, FretNumbersOnTheirStrings) {
  int v = new_voice();
  Drosa print = find_next_kind(PRINT, piece_start[v]);
  print->set(xtablature, 1);
  print->set(xslines, 6);
  std::vector<Drosa> notes;
  for (int key : {64, 45, 76}) {  // string 1 open, string 5 open, string 1 at fret 12
    notes.push_back(add_note(v, QUARTER, 40));
    notes.back()->set(xpitch, uint16_t(key << 8));
  }
  format_and_draw();
  const Lines texts = ge_lines(7);
  ASSERT_EQ(texts.size(), 3u);
  const char* frets[] = {"\"0\"", "\"0\"", "\"12\""};
  for (int i = 0; i < 3; ++i) {
    EXPECT_NE(texts[i].find(frets[i]), std::string::npos) << texts[i];
    EXPECT_EQ(texts[i].find("text 7 " + std::to_string(hx(notes[i]) + tab_fret_width(notes[i]))),
              0u);
  }
  EXPECT_EQ(nt(notes[1])->get(xtabstr), 5);
  EXPECT_EQ(ge_lines(69).size(), 3u) << "the staff is erased behind every number";
  // String 8 is reported and shows fret 0; a fret below the open string shows as computed.
  GEinit(0);
  nt(notes[0])->set(xtabstr, 8);
  notes[1]->set(xpitch, uint16_t(43 << 8));
  draw_tab_chord(notes[0], 0);
  draw_tab_chord(notes[1], 0);
  const std::vector<Report> got = take_reports();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].text.find("String number out of range for tablature: note "), 0u);
  const Lines shown = ge_lines(7);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_NE(shown[0].find("\"0\""), std::string::npos);
  EXPECT_NE(shown[1].find("\"-2\""), std::string::npos);
}

TEST_F(SlurChains, ABentTieReachesTheBarThroughTiedChords) {
  struct Case {
    const char* what;
    bool bend_first, tie_second, paren;
    int expected;
  } cases[] = {
      {"bent tie, then a tied chord before the bar", true, true, false, 1},
      {"the chord before the bar is not tied", true, false, false, 0},
      {"no bend", false, true, false, 0},
      {"a note in parentheses never", true, true, true, 0},
  };
  for (const Case& c : cases) {
    int v = new_voice();
    Drosa first = add_note(v, QUARTER, 40);
    first->set(xtie, 1);
    first->set(xbendtie, c.bend_first);
    add_note(v, QUARTER, 40)->set(xtie, c.tie_second);
    add_bar(v);
    Drosa note = add_note(v, QUARTER, 40);
    note->set(xparen, c.paren);
    EXPECT_EQ(slur_chain_test(note), c.expected) << c.what;
    EXPECT_EQ(slur_chain_test(first), 0) << "no note before its bar";
  }
}

TEST_F(ChordPages, ChordsAccidentalsAndTablature) {
  int v = new_voice();
  auto accidental = [](Drosa n, int acc) {
    n->set(xacc, acc);
    n->set(xaccplot, 1);
  };
  accidental(add_note(v, QUARTER, 38), 4);
  Drosa chord = add_chord(v, QUARTER, {38, 40, 42, 44});
  for (int acc : {2, 4, 3, 1}) {
    accidental(chord, acc);
    chord = chord->xnext;
  }
  add_chord(v, QUARTER, {39, 40, 43})->set(xdots, 1);
  add_chord(v, HALF, {44, 45, 46});
  add_bar(v);
  alone(add_note(v, EIGHTH, 33, 1));
  add_note(v, QUARTER, 50)->set(xparen, 1);
  add_note(v, SIXTEENTH, 47)->set(xtremolo, 3);
  add_grace(v, EIGHTH, false, 44);
  add_note(v, HALF, 41, 2);
  add_rest(v, EIGHTH, 1);
  add_rest(v, SIXTEENTH);
  add_bar(v);
  add_note(v, WHOLE, 36);
  add_chord(v, WHOLE, {41, 42, 44});
  int t = new_voice("Guitar", 0, 1);
  Drosa print = find_next_kind(PRINT, piece_start[t]);
  print->set(xtablature, 1);
  print->set(xslines, 6);
  for (int key : {64, 59, 55, 50, 45, 40, 67, 71, 76, 79, 52}) {
    Drosa n = add_note(t, key < 65 ? QUARTER : EIGHTH, 40);
    n->set(xpitch, uint16_t(key << 8));
    n->set(xnotehead, 6);  // the numbers show the notes
    n->set(xparen, key == 52);
  }
  format_and_draw(3);
  save_page_image("chords_accidentals_tablature.png");
}

}  // namespace
