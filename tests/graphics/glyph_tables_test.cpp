// tests/graphics/glyph_tables_test.cpp: font codes and the choice of glyph parameters.
//   FontCodes.*:  codes and numbers round trip while the fonts are distinct
//   Glyphs.*:     heads by shape and value, rests by glyph code, stem-end offsets
//   Simplified.*: the simplified-notation heads, history marks and shown accidentals
#include "graphics/glyph_tables.h"

#include <gtest/gtest.h>

#include "app/app_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/fonts.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

using FontCodes = ModelTest;
using Glyphs = ModelTest;

enum { C = 0, E = 2, F = 3, B = 6 };
enum { DFLAT = 1, FLAT = 2, NATURAL = 3, SHARP = 4, DSHARP = 5 };

// A note of a voice with its NTDATA after it.
Drosa laid_out_note(int value, int step, int acc, bool printed = false) {
  static int v = -1;
  if (v < 0 || voice_count == 0) v = new_voice();
  Drosa note = add_note(v, value, 35 + step);
  note->set(xacc, acc);
  note->set(xaccplot, printed);
  add_after(note, NTDATA);
  return note;
}

TEST_F(FontCodes, CodesAndNumbersRoundTrip) {
  for (int32_t code = -1; code >= -6; --code) EXPECT_EQ(code_from_font(font_from_code(code)), code);
  EXPECT_EQ(font_from_code(FONT_CODE_TIMES), FONT_TIMES);
  EXPECT_EQ(font_from_code(12345), 12345);
  EXPECT_EQ(code_from_font(12345), 12345);
  // Missing fonts have number 0, so 0 is the code of the first missing one.
  music_font_numbers[FONT_SLOT_SONATA] = 0;
  music_font_numbers[FONT_SLOT_GENEVA] = 0;
  EXPECT_EQ(code_from_font(0), FONT_CODE_SONATA);
}

TEST_F(Glyphs, HeadsRestsAndStemOffsets) {
  const struct {
    int shape, value, glyph;
  } heads[] = {{0, 0, 371}, {0, 1, 71},  {0, 2, 72}, {0, 8, 73}, {1, 0, 74}, {1, 2, 75},
               {1, 3, 76},  {2, 5, 77},  {5, 1, 80}, {6, 3, 81}, {7, 3, 82}, {8, 0, 385},
               {8, 1, 336}, {8, 4, 338}, {9, 3, 81}, {15, 0, 81}};
  for (const auto& h : heads)
    EXPECT_EQ(notehead_glyph(h.shape, h.value, NIL), h.glyph) << h.shape << "/" << h.value;

  Drosa perc = laid_out_note(QUARTER, C, NATURAL);
  perc->xnext->set(xtabtyp, 1);
  EXPECT_EQ(notehead_glyph(1, QUARTER, perc), 653);
  EXPECT_EQ(notehead_glyph(1, HALF, perc), 75) << "the tablature head is for quarters and shorter";
  perc->set(xnotehead, 1);
  EXPECT_EQ(stem_end_offset_param(perc, 0), 159);
  EXPECT_EQ(stem_end_offset_param(perc, 1), 143);

  const struct {
    int value, print_code, screen_code, print_glyph, screen_glyph;
  } rests[] = {{BREVE, 0, 0, 372, 372},
               {EIGHTH, 0, 0, 54, 54},
               {QUARTER, 1, 0, 51, 53},
               {HALF, 2, 1, 30, 51}};
  for (const auto& r : rests) {
    int v = new_voice();
    Drosa rest = add_rest(v, r.value);
    Drosa nt = add_after(rest, NTDATA);
    nt->set(xrestchar, r.print_code);
    nt->set(xscrrestchar, r.screen_code);
    EXPECT_EQ(note_glyph(rest, 0), r.print_glyph) << r.value;
    EXPECT_EQ(note_glyph(rest, 1), r.screen_glyph) << r.value;
    rest->set(xnotehead, 7);
    EXPECT_EQ(note_glyph(rest, 0), 81) << "a piano-roll rest is blank";
  }
  EXPECT_EQ(glyph_table_entry(6, 1), 419);
  EXPECT_EQ(glyph_table_entry(65, 0), 478);
  EXPECT_EQ(glyph_table_entry(66, 0), 0);
  EXPECT_EQ(glyph_table_entry(0, 0), 0);
}

class Simplified : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    music_font_numbers[FONT_SLOT_SIMPLIFIED] = FONT_SIMPLIFIED_NOTATION;
    prefs.set_use_simplified_notation(1);
  }
};

TEST_F(Simplified, HeadsMarksAndShownAccidentals) {
  const struct {
    int step, acc;
    bool printed;
    int head, mark, shown;
  } cases[] = {
      {F, SHARP, true, 679, 0, 0},    // F sharp: a sharp head says it all
      {E, SHARP, false, 73, 4, 1},    // E sharp: normal head, mark shown even unprinted
      {B, SHARP, true, 73, 4, 1},     //
      {F, FLAT, false, 73, 2, 1},     // F flat
      {B, FLAT, true, 678, 0, 0},     // B flat: a flat head
      {C, NATURAL, true, 73, 0, 0},   // C natural: normal head, nothing to show
      {C, NATURAL, false, 73, 0, 0},  //
      {E, DFLAT, false, 73, 1, 0},    // double flat: mark only when printed
      {E, DFLAT, true, 73, 1, 1},     //
      {F, DSHARP, true, 73, 5, 1},    //
  };
  for (const auto& c : cases) {
    Drosa note = laid_out_note(QUARTER, c.step, c.acc, c.printed);
    EXPECT_EQ(note_glyph(note, 0), c.head) << c.step << "/" << c.acc;
    EXPECT_EQ(shape_notehead_kind(note), c.mark) << c.step << "/" << c.acc;
    EXPECT_EQ(accidental_shown(note), c.shown) << c.step << "/" << c.acc << "/" << c.printed;
  }
  EXPECT_EQ(glyph_table_entry(shape_notehead_kind(laid_out_note(QUARTER, E, SHARP)), 1), 717);
  EXPECT_EQ(glyph_table_entry(3, 1), 27);
  EXPECT_EQ(glyph_table_entry(4, 0), 28);

  // A flat half note: stem right 676, stem left 702; the template never gets a shape.
  Drosa half = laid_out_note(HALF, B, FLAT);
  EXPECT_EQ(note_glyph(half, 0), 702);
  half->xnext->set(xstemxoff, 58);
  EXPECT_EQ(note_glyph(half, 0), 676);
  current_note_template->set(xacc, FLAT);
  EXPECT_EQ(notehead_glyph(0, HALF, current_note_template), 72);

  // Stem ends of simplified heads: open and closed pairs, flat and sharp.
  EXPECT_EQ(stem_end_offset_param(half, 0), 697);
  EXPECT_EQ(stem_end_offset_param(half, 1), 691);
  EXPECT_EQ(stem_end_offset_param(laid_out_note(EIGHTH, F, SHARP), 0), 700);
  EXPECT_EQ(stem_end_offset_param(laid_out_note(EIGHTH, E, SHARP), 0), 158) << "exceptional";

  // Without the font the preference changes nothing.
  music_font_numbers[FONT_SLOT_SIMPLIFIED] = 0;
  EXPECT_EQ(note_glyph(half, 0), 72);
  EXPECT_EQ(glyph_table_entry(4, 1), 28);
}

TEST_F(Simplified, SharedHeadNeedsOppositeStemsOneYAndLikeValues) {
  int v = new_voice();
  Drosa low = add_note(v, QUARTER, 38, 0, true);
  Drosa low_nt = add_after(low, NTDATA);
  Drosa high = add_note(v, QUARTER, 38);
  Drosa high_nt = add_after(high, NTDATA);
  for (Drosa n : {low, high}) n->set(xacc, SHARP);
  high_nt->set(xpback, low);
  low_nt->set(xstmdir, 1);
  high_nt->set(xstmdir, 2);
  EXPECT_EQ(pair_shares_notehead(high), 1);
  EXPECT_EQ(stem_end_offset_param(high, 0), 738);
  high->set(xdots, 1);
  EXPECT_EQ(pair_shares_notehead(high), 0) << "dots differ and parameter 733 is 0";
  high->set(xdots, 0);
  high_nt->set(xhdy, 25);
  EXPECT_EQ(pair_shares_notehead(high), 0) << "heads at different y";
  high_nt->set(xhdy, 0);
  low_nt->set(xendscd, 1);
  EXPECT_EQ(pair_shares_notehead(high), 0) << "the first note of its chord";
}

}  // namespace
