// printcd_test.cpp: drawing chords outside beams, on small formatted pages (staff size 50,
// middle line at 1660, lines 50 apart; a head's y is half a space below its centre).
//   ChordStems.*:      stem lengths up and down, to the middle line, chords, flags, no stem for
//                 whole notes and xnostem, the screen twin of a stem up, tremolo marks and
//                 grace slashes
//   ChordHeads.*:      ledger lines above and below, accidentals at their column and special
//                 accidentals, dots (counts, the space of a head on a line, seconds, rests)
//   ChordTablature.*:  fret numbers, a string out of range, a negative fret
//   SlurChains.*:     slur_chain_test
//   ChordPages.*:      a rendered page of chords and accidentals, one of tablature
#include "graphics/printcd.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

constexpr int32_t MIDDLE = 1660, TOP = 1760, BOTTOM = 1560;

int32_t hx(Drosa n) { return nt(n)->get(xhdx); }
int32_t hy(Drosa n) { return nt(n)->get(xhdy); }
int32_t stem_x(Drosa n) { return hx(n) + nt(n)->get(xstemxoff); }

// The elements of one var drawn for a note.
std::vector<std::string> owned(Drosa owner, int var) { return ge_lines(var, false, owner); }

// ---- Stems ---------------------------------------------------------------------------------

TEST_F(ChordStems, LengthsDirectionsChordsAndFlags) {
  param[198].value.set_integer(60);  // short stems: the middle line rule shows
  int v = new_voice();
  Drosa low = add_note(v, QUARTER, 35);  // C4, below the staff: stem up
  Drosa top = add_note(v, QUARTER, 45);  // F5, on the top line: stem down
  Drosa up8 = add_note(v, EIGHTH, 39);   // G4: flag up (the beam ends at once)
  up8->set(xebeam, 1);
  add_note(v, QUARTER, 41);
  Drosa down8 = add_note(v, EIGHTH, 43);  // D5: flag down
  down8->set(xebeam, 1);
  add_note(v, QUARTER, 41);
  add_bar(v);
  Drosa up_chord = add_chord(v, HALF, {37, 39, 41});       // E4 G4 B4
  Drosa down_chord = add_chord(v, QUARTER, {43, 45, 47});  // D5 F5 A5
  Drosa whole = add_note(v, WHOLE, 41);
  Drosa stemless = add_note(v, HALF, 41);
  stemless->set(xnostem, 1);
  format_and_draw();
  Drosa up_last = chord_last_note(up_chord), down_last = chord_last_note(down_chord);
  // Up from the lowest head + 35 to the highest + 60 + 50, at least to the middle line; down
  // from the highest head + 15 to the lowest - 60, at least to the middle line.
  EXPECT_EQ(
      owned(low, 20),
      (std::vector<std::string>{line_line(20, stem_x(low), hy(low) + 35, stem_x(low), MIDDLE, 2)}));
  EXPECT_EQ(
      owned(top, 19),
      (std::vector<std::string>{line_line(19, stem_x(top), hy(top) + 15, stem_x(top), MIDDLE, 2)}));
  EXPECT_EQ(owned(up_chord, 20),
            (std::vector<std::string>{line_line(20, stem_x(up_chord), hy(up_chord) + 35,
                                                stem_x(up_chord), hy(up_last) + 110, 2)}));
  EXPECT_EQ(owned(down_chord, 19),
            (std::vector<std::string>{line_line(19, stem_x(down_chord), hy(down_last) + 15,
                                                stem_x(down_chord), hy(down_chord) - 60, 2)}));
  // Flags at the stem end: 61 for an eighth's stem up, 66 down.
  EXPECT_EQ(owned(up8, 49),
            (std::vector<std::string>{glyph_line(49, stem_x(up8), hy(up8) + 110, 61, up8)}));
  EXPECT_EQ(owned(down8, 50),
            (std::vector<std::string>{glyph_line(50, stem_x(down8), hy(down8) - 60, 66, down8)}));
  for (Drosa n : {whole, stemless}) {
    EXPECT_TRUE(owned(n, 19).empty());
    EXPECT_TRUE(owned(n, 20).empty());
  }
}

TEST_F(ChordStems, AStemUpHasAPixelTwinAndAStemDownNone) {
  int v = new_voice();
  Drosa up = add_note(v, QUARTER, 37);
  Drosa down = add_note(v, QUARTER, 45);
  format_and_draw(3);
  const int32_t x = stem_x(up);
  const int32_t snapped = (x + 1) / 3 * 3;  // the nearest multiple of the 3-unit pixel
  const std::vector<std::string> up_lines = ge_lines(20, true);
  ASSERT_EQ(up_lines.size(), 2u);
  EXPECT_EQ(up_lines[0], "~" + line_line(20, snapped, hy(up) + 35, snapped, hy(up) + 190, 3));
  EXPECT_EQ(ge_lines(19, true).size(), 1u) << hx(down);
}

TEST_F(ChordStems, TremoloMarksAndGraceSlashes) {
  int v = new_voice();
  Drosa quarter = add_note(v, QUARTER, 37);  // stem up
  quarter->set(xtremolo, 2);
  Drosa eighth = add_note(v, EIGHTH, 45);  // stem down, lengthened by 50 for its tremolo
  eighth->set(xtremolo, 1);
  eighth->set(xebeam, 1);
  add_note(v, QUARTER, 41);
  Drosa grace = add_grace(v, EIGHTH, false, 37);
  grace->set(xebeam, 1);
  add_note(v, QUARTER, 41);
  format_and_draw();
  const int32_t quarter_end = hy(quarter) + 190;
  EXPECT_EQ(owned(quarter, 51),
            (std::vector<std::string>{glyph_line(51, stem_x(quarter) - 20,
                                                 quarter_end - tremolo_yoffset(quarter, 0) - 100,
                                                 103, quarter)}));
  const int32_t eighth_end = std::min(hy(eighth) - 140 - 50, MIDDLE);
  EXPECT_EQ(owned(eighth, 19),
            (std::vector<std::string>{
                line_line(19, stem_x(eighth), hy(eighth) + 15, stem_x(eighth), eighth_end, 2)}));
  EXPECT_EQ(owned(eighth, 51),
            (std::vector<std::string>{glyph_line(
                51, stem_x(eighth) - 20, eighth_end + tremolo_yoffset(eighth, 0), 102, eighth)}));
  // The slash of a lone grace note: from (x - 20, end - 70) to (x + 54, end - 40).
  const std::vector<std::string> stem = owned(grace, 20);
  ASSERT_EQ(stem.size(), 1u);
  int x1, y1, x2, y2, w;
  ASSERT_EQ(std::sscanf(stem[0].c_str(), "line 20 %d %d %d %d w%d", &x1, &y1, &x2, &y2, &w), 5);
  EXPECT_EQ(owned(grace, 75),
            (std::vector<std::string>{line_line(75, x2 - 20, y2 - 70, x2 + 54, y2 - 40, 2)}));
}

// ---- Heads -----------------------------------------------------------------------------------

TEST_F(ChordHeads, LedgerLinesAboveAndBelowTheStaff) {
  int v = new_voice();
  struct Case {
    int mod7;
    std::vector<int32_t> lines;
  } cases[] = {
      {46, {}},                           // G5, in the space above the top line
      {47, {TOP + 50}},                   // A5, on the first line above
      {48, {TOP + 50}},                   // B5, above it
      {49, {TOP + 50, TOP + 100}},        // C6
      {37, {}},                           // E4, on the bottom line
      {35, {BOTTOM - 50}},                // C4
      {32, {BOTTOM - 50, BOTTOM - 100}},  // G3, below the second line below
  };
  std::vector<Drosa> notes;
  for (const Case& c : cases) notes.push_back(add_note(v, QUARTER, c.mod7));
  format_and_draw();
  for (size_t i = 0; i < notes.size(); ++i) {
    std::vector<std::string> expected;
    for (int32_t y : cases[i].lines)
      expected.push_back(line_line(24, hx(notes[i]) - 20, y - 1, hx(notes[i]) + 60 + 10, y - 1, 2));
    EXPECT_EQ(owned(notes[i], 24), expected) << cases[i].mod7;
  }
}

TEST_F(ChordHeads, AccidentalsStandAtTheirColumn) {
  int v = new_voice();
  Drosa sharp = add_note(v, QUARTER, 38);
  sharp->set(xacc, 4);
  sharp->set(xaccplot, 1);
  Drosa hidden = add_note(v, QUARTER, 40);  // an accidental not to be printed
  hidden->set(xacc, 2);
  Drosa special = add_note(v, QUARTER, 40);
  special->set(xacc, 2);
  special->set(xaccplot, 1);
  Drosa spacc = newDrosa(SPACC, 0);
  spacc->set(xnumspacc, 2);
  spacc->set(xspacc_entry, 0, 6);  // special accidental 1, then a flat
  spacc->set(xspacc_entry, 1, 2);
  link_after(spacc, special->xback);
  format_and_draw();
  const int32_t sharp_x = hx(sharp) - 5 * nt(sharp)->get(xaccx);
  EXPECT_EQ(owned(sharp, 48),
            (std::vector<std::string>{glyph_line(48, sharp_x, hy(sharp), 28, sharp)}));
  EXPECT_TRUE(owned(hidden, 48).empty());
  const int32_t x = hx(special) - 5 * nt(special)->get(xaccx);
  const int32_t second_x = x + param_group_width(special, nullptr, 6, NIL);
  EXPECT_EQ(owned(special, 48),
            (std::vector<std::string>{glyph_line(48, x, hy(special), 419, special),
                                      glyph_line(48, second_x, hy(special), 26, special)}));
  // An accidental code with no glyph is reported to the user and left out.
  sharp->set(xacc, 6);
  drawacc(sharp, 0);
  const std::vector<Report> got = take_reports();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].level, 2);
  EXPECT_EQ(got[0].text, "No character for accidental number 6; accidental omitted.");
}

TEST_F(ChordHeads, DotsTakeTheSpaceAboveALineAndStepAsideForASecond) {
  int v = new_voice();
  Drosa on_line = add_note(v, QUARTER, 39, 1);     // G4 on the second line
  Drosa in_space = add_note(v, QUARTER, 40, 2);    // A4 in a space: one glyph for two dots
  Drosa triple = add_note(v, QUARTER, 40, 3);      // 21, then 740 at the same place
  Drosa second = add_chord(v, QUARTER, {39, 40});  // G4 and A4 both dotted
  second->set(xdots, 1);
  second->xnext->set(xdots, 1);
  add_bar(v);
  Drosa rest = add_rest(v, QUARTER, 1);
  format_and_draw();
  auto dot = [](Drosa n, int32_t y, int p) { return glyph_line(47, hx(n) + 60 + 30, y, p, n); };
  EXPECT_EQ(owned(on_line, 47), (std::vector<std::string>{dot(on_line, BOTTOM + 50, 20)}));
  EXPECT_EQ(owned(in_space, 47), (std::vector<std::string>{dot(in_space, BOTTOM + 50, 21)}));
  EXPECT_EQ(owned(triple, 47), (std::vector<std::string>{dot(triple, BOTTOM + 50, 21),
                                                         dot(triple, BOTTOM + 50, 740)}));
  // The displaced head of the second decides the dots' x for both notes.
  Drosa lower = chord_first_note(second), upper = chord_last_note(second);
  const int32_t dots_x = std::max(hx(lower), hx(upper)) + 60 + 30;
  EXPECT_EQ(owned(lower, 47),
            (std::vector<std::string>{glyph_line(47, dots_x, BOTTOM, 20, lower)}));
  EXPECT_EQ(owned(upper, 47),
            (std::vector<std::string>{glyph_line(47, dots_x, BOTTOM + 50, 20, upper)}));
  EXPECT_EQ(owned(rest, 47), (std::vector<std::string>{glyph_line(
                                 47, hx(rest) + rest_width(rest, 0) + 30,
                                 hy(rest) + (50 - (hy(rest) - BOTTOM) % 50) % 50, 20, rest)}));
}

// ---- Tablature -------------------------------------------------------------------------------

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
  const std::vector<std::string> texts = ge_lines(7);
  ASSERT_EQ(texts.size(), 3u);
  const char* frets[] = {"\"0\"", "\"0\"", "\"12\""};
  for (int i = 0; i < 3; ++i) {
    EXPECT_NE(texts[i].find(frets[i]), std::string::npos) << texts[i];
    EXPECT_EQ(
        texts[i].rfind("text 7 " + std::to_string(hx(notes[i]) + tab_fret_width(notes[i])), 0), 0u)
        << texts[i];
  }
  EXPECT_EQ(nt(notes[1])->get(xtabstr), 5);
  EXPECT_EQ(ge_lines(69).size(), 3u) << "the staff is erased behind every number";
  // A string out of range is reported and shows fret 0; a fret below the open string is
  // printed as computed.
  GEinit(0);
  nt(notes[0])->set(xtabstr, 8);
  notes[1]->set(xpitch, uint16_t(43 << 8));
  draw_tab_chord(notes[0], 0);
  draw_tab_chord(notes[1], 0);
  const std::vector<Report> got = take_reports();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].text.find("String number out of range for tablature: note "), 0u);
  EXPECT_NE(got[0].text.find(" string 8"), std::string::npos);
  const std::vector<std::string> shown = ge_lines(7);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_NE(shown[0].find("\"0\""), std::string::npos);
  EXPECT_NE(shown[1].find("\"-2\""), std::string::npos);
}

// ---- Chains --------------------------------------------------------------------------------

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
    first->set(xbendtie, c.bend_first ? 1 : 0);
    Drosa second = add_note(v, QUARTER, 40);
    second->set(xtie, c.tie_second ? 1 : 0);
    add_bar(v);
    Drosa note = add_note(v, QUARTER, 40);
    note->set(xparen, c.paren ? 1 : 0);
    EXPECT_EQ(slur_chain_test(note), c.expected) << c.what;
    EXPECT_EQ(slur_chain_test(first), 0) << "no note before its bar";
  }
}

// ---- Pages -----------------------------------------------------------------------------------

TEST_F(ChordPages, ChordsAndAccidentals) {
  int v = new_voice();
  auto accidental = [](Drosa n, int acc) {
    n->set(xacc, acc);
    n->set(xaccplot, 1);
  };
  accidental(add_note(v, QUARTER, 38), 4);
  Drosa chord = add_chord(v, QUARTER, {38, 40, 42, 44});
  accidental(chord, 2);
  accidental(chord->xnext, 4);
  accidental(chord->xnext->xnext, 3);
  accidental(chord->xnext->xnext->xnext, 1);
  add_chord(v, QUARTER, {39, 40, 43})->set(xdots, 1);
  add_chord(v, HALF, {44, 45, 46});
  add_bar(v);
  add_note(v, EIGHTH, 33, 1)->set(xebeam, 1);
  add_note(v, QUARTER, 50)->set(xparen, 1);
  add_note(v, SIXTEENTH, 47)->set(xtremolo, 3);
  add_note(v, QUARTER, 40);
  add_grace(v, EIGHTH, false, 44);
  add_note(v, HALF, 41, 2);
  add_rest(v, EIGHTH, 1);
  add_rest(v, SIXTEENTH);
  add_bar(v);
  add_note(v, WHOLE, 36);
  add_chord(v, WHOLE, {41, 42, 44});
  format_and_draw(3);
  save_page_image("chords_and_accidentals.png");
}

TEST_F(ChordPages, Tablature) {
  int v = new_voice();
  Drosa print = find_next_kind(PRINT, piece_start[v]);
  print->set(xtablature, 1);
  print->set(xslines, 6);
  auto tab_note = [&](int value, int key) {
    Drosa n = add_note(v, value, 40);
    n->set(xpitch, uint16_t(key << 8));
    n->set(xnotehead, 6);  // the numbers show the notes
    return n;
  };
  for (int key : {64, 59, 55, 50, 45, 40}) tab_note(QUARTER, key);
  add_bar(v);
  for (int key : {67, 71, 76, 79}) tab_note(EIGHTH, key);
  tab_note(HALF, 52)->set(xparen, 1);
  add_bar(v);
  format_and_draw(3);
  save_page_image("tablature.png");
}

}  // namespace
