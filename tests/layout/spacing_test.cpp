// spacing_test.cpp: the spacing curve, the spacing pass, system spacing and lyric spacing,
// through the page formatter on pieces built in code.
//   Curve.*:   the space a duration gets, its cache and the effects no curve can take
//   Ideal.*:   the ideal x of a system's chords
//   Columns.*: clefs, keys, time signatures and bars take their columns across the staves
//   MeasureRests.*: measures of rests become one multi-measure rest
//   Lyrics.*:  a lyric widens the space after its own note only, wherever its note stood before,
//              and the system's end after any syllable reaching past its last chord
//
// Expectations come from the formulas: space(d) = s x (d / eighth)^k with k = -ln(1 - r),
// parameter 220 = s = 120 and parameter 221 = r = 0.5 here, so k = ln 2 and each doubling of
// a note value multiplies its space by 2^ln 2 = 1.6168: a 16th 74, an eighth 120, a quarter
// 194, a half 313, a whole 507, a breve 819 (each truncated). Every time point adds 1 to the
// ideal and packed positions. Default lengths used: 260 (minimum space after a note) 60, 196
// (after the signs at a system start) 30, 128 (after a bar) 80, 133/132/317 (clef) 150/60/10,
// 215/214 (time signature) 80/120, 257 (sharp) 60, 255 (flat) 42, 264 (after a key) 70.
#include "layout/spacing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "annotations/anno_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_globals.h"
#include "layout/layout_services.h"
#include "layout/lyrics.h"
#include "layout/specspace.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/events.h"
#include "platform/script.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

constexpr int HIGH = 45;  // three steps above the middle line: stems down, the stem at the head's x

class SpacingTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    script_begin();
    set_options_float(1, OPTIONS_NOTE_SPACING, 0.5f);  // parameter 221 becomes 1 - 0.5
    param_init();
    set_options_i32(1, OPTIONS_PAGE_HEIGHT, 100);
    set_options_i32(1, OPTIONS_PAGE_WIDTH, 85);
    set_options_i16(1, OPTIONS_FIRST_PAGE, 1);
    set_options_i16(1, OPTIONS_FIRST_MEASURE, 1);
    GE_head = newDrosa(GE_CHAR, 0);
    skip_relocate = true;  // the positions checked are the spacing pass's, before justification
  }
  void TearDown() override {
    platform_flush_events(EVERY_EVENT);
    for (const std::string& fault : script_take_faults()) ADD_FAILURE() << fault;
    script_end();
    destroy_pstaff_lists();
    ModelTest::TearDown();
  }
  static void format_first_page() {
    count_pages();
    ASSERT_EQ(format_page(1, 0), 1);
  }
};

using Curve = SpacingTest;
using Ideal = SpacingTest;
using Columns = SpacingTest;
using MeasureRests = SpacingTest;
using Lyrics = SpacingTest;

Drosa cd_of(Drosa note) { return cddatptr(note, 0); }
Drosa cd2_of(Drosa note) { return cd_of(note)->xnext; }
int32_t origin(Drosa note) { return cd_of(note)->get(xorigin); }
int32_t ideal(Drosa note) { return cd2_of(note)->get(xidealx); }

// The gaps between the ideal x of consecutive notes.
std::string ideal_gaps(const std::vector<Drosa>& notes) {
  std::string text;
  for (size_t i = 1; i < notes.size(); ++i)
    text += (i > 1 ? " " : "") + std::to_string(ideal(notes[i]) - ideal(notes[i - 1]));
  return text;
}

std::string packed_gaps(const std::vector<Drosa>& notes) {
  std::string text;
  for (size_t i = 1; i < notes.size(); ++i)
    text += (i > 1 ? " " : "") + std::to_string(origin(notes[i]) - origin(notes[i - 1]));
  return text;
}

// A key signature of `count` sharps (code 7 up) or flats (codes 0 up, count negative).
Drosa add_key_of(int v, int count) {
  Drosa key = add_key(v, count);
  int n = std::abs(count);
  key->set(xkeycnt, uint8_t(n));
  for (int i = 0; i < n; ++i) key->set(xkeysig_entry, i, uint8_t(count > 0 ? 7 + i : i));
  return key;
}

// A left-aligned lyric ("Leave Space") in Times 12 before the voice's next note.
Drosa add_lyric(int v, const char* text) {
  Drosa tparam = add(v, TPARAM);
  tparam->set(xtextfont, int16_t(-5));
  tparam->set(xtextsize, uint8_t(12));
  tparam->set(xleavespace, 1);
  add(v, TEXT)->set(xtext, text);
  return tparam;
}

// ---- Curve ------------------------------------------------------------------------------------

TEST_F(Curve, EachDoublingOfANoteValueMultipliesItsSpaceByTwoToTheK) {
  int v = new_voice();
  Drosa note = add_note(v, QUARTER);
  const int32_t values[] = {512, 4096, 8192, 16384, 32768, 65536, 131072};
  struct Case {
    const char* what;
    float effect;
    std::vector<int32_t> spaces;
  } cases[] = {
      {"r = 0.5: ratio 1.6168", 0.5f, {17, 74, 120, 194, 313, 507, 819}},
      {"r = 0: every duration the same", 0.0f, {120, 120, 120, 120, 120, 120, 120}},
      // r of 1 or more would make k infinite: the options' largest, 0.9, is taken (ratio 4.93).
      {"r = 1", 1.0f, {0, 24, 120, 592, 2920, 14408, 71083}},
      {"r = 7", 7.0f, {0, 24, 120, 592, 2920, 14408, 71083}},
      {"r not a number",
       std::numeric_limits<float>::quiet_NaN(),
       {120, 120, 120, 120, 120, 120, 120}},
      // A large negative r gives a 128th more space than any system can hold: kept at the
      // largest space.
      {"r = -3200", -3200.0f, {MAX_DURATION_SPACE, 32274, 120, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    param[P_EFFECT_OF_DURATION_ON_NOTE_SPACING].value.set_real(c.effect);
    init_spacing_curve(note);
    std::vector<int32_t> spaces;
    for (int32_t d : values) spaces.push_back(space_for_duration(d));
    EXPECT_EQ(spaces, c.spaces);
    EXPECT_EQ(space_for_duration(0), 0);
    EXPECT_EQ(space_for_duration(-8192), 0);
  }
}

TEST_F(Curve, TheCacheIsEmptiedWhenAParameterChangesAndLinearSpacingIgnoresTheCurve) {
  int v = new_voice();
  Drosa note = add_note(v, QUARTER);
  init_spacing_curve(note);
  EXPECT_EQ(space_for_duration(16384), 194);
  param[P_SPACE_GIVEN_TO_EIGHTH_NOTE_BEFORE_JUSTIFICATION].value.set_integer(
      240);  // twice the eighth: twice every space
  init_spacing_curve(note);
  EXPECT_EQ(space_for_duration(16384), 388) << "not the cached 194";
  init_spacing_curve(note);  // the same values: the curve and its cache stay
  EXPECT_EQ(spacing_curve.key[spacing_curve.index], 16384);
  set_options_i16(1, OPTIONS_LINEAR_SPACING, 1);
  EXPECT_EQ(space_for_duration(16384), 64);
  EXPECT_EQ(space_for_duration(65536), 256);
}

// ---- Ideal ------------------------------------------------------------------------------------

TEST_F(Ideal, ChordsStandApartByTheSpaceOfTheShortestNoteSounding) {
  // Voice 1: half, quarter, eighth, eighth | whole. Voice 2 on its own staff: whole | whole.
  int v = new_voice("Flute", 0, 0);
  int w = new_voice("Cello", 0, 1);
  std::vector<Drosa> top = {add_note(v, HALF, HIGH), add_note(v, QUARTER, HIGH),
                            add_note(v, EIGHTH, HIGH), add_note(v, EIGHTH, HIGH)};
  add_bar(v);
  top.push_back(add_note(v, WHOLE, HIGH));
  std::vector<Drosa> bottom = {add_note(w, WHOLE, HIGH)};
  add_bar(w);
  bottom.push_back(add_note(w, WHOLE, HIGH));
  format_first_page();
  // The whole note below sounds across every gap, but the shortest note sounding decides.
  EXPECT_EQ(ideal_gaps(top), "314 195 121 121");
  EXPECT_EQ(ideal(top[0]), 0);
  EXPECT_EQ(ideal(bottom[1]), ideal(top[4])) << "the second bar starts together";
  // The system ends a whole note after its last time point.
  EXPECT_EQ(spacing_idealx, ideal(top[4]) + 507);
  // Packed positions grow and the heads move with their chords.
  for (size_t i = 1; i < top.size(); ++i) EXPECT_GT(origin(top[i]), origin(top[i - 1]));
  for (Drosa n : top) EXPECT_EQ(note_ntdata(n)->get(xhdx), origin(n));
  EXPECT_EQ(first_note_x(), origin(top[0]));
  EXPECT_EQ(page_first_note, top[0]);
}

TEST_F(Ideal, AGapThatIsNoMultipleOfASixtyFourthGoesInProportionToTheShortestNote) {
  // Quarter triplets (10923 units each) over a half note: the triplet decides.
  int v = new_voice("Flute", 0, 0);
  int w = new_voice("Cello", 0, 1);
  std::vector<Drosa> triplet;
  for (int i = 0; i < 3; ++i) {
    triplet.push_back(add_note(v, QUARTER, HIGH));
    make_tuplet(triplet.back(), 3, 2);
  }
  add_note(w, HALF, HIGH);
  format_first_page();
  // Each gap G advances by G / S x space(S), S the triplet's duration, truncated, and 1.
  const double S = note_duration(triplet[0], 0);
  const double space = 120 * std::exp(std::log(2.0) * std::log(S / 8192));
  ASSERT_NE(int(S) % 1024, 0);
  std::string expected;
  double x = 0;
  for (int i = 1; i < 3; ++i) {
    double G = cd2_of(triplet[i])->get(xswholec) - cd2_of(triplet[i - 1])->get(xswholec);
    double next = std::trunc(G / S * space + x) + 1;
    expected += (i > 1 ? " " : "") + std::to_string(int(next - x));
    x = next;
  }
  EXPECT_EQ(ideal_gaps(triplet), expected);
}

// ---- Columns ----------------------------------------------------------------------------------

TEST_F(Columns, SignsAtTheSystemStartStandInOneColumnPerKindOnEveryStaff) {
  // Staff 0: clef, two sharps, 4/4; staff 1: clef, three flats, 12/8 (a two-digit time
  // signature takes twice parameter 215).
  int v = new_voice("Flute", 0, 0);
  int w = new_voice("Cello", 0, 1);
  Drosa clefs[2] = {add_clef(v, 0), add_clef(w, 1)};
  Drosa keys[2] = {add_key_of(v, 2), add_key_of(w, -3)};
  Drosa times[2] = {add_timesig(v, 4, 4), add_timesig(w, 12, 8)};
  Drosa a = add_note(v, QUARTER, HIGH);
  add_note(w, QUARTER, HIGH);
  format_first_page();
  // Nearest the chord first: time signatures 80 + 120 and 160 + 120: column at -280; keys
  // 2 x 60 + 70 and 3 x 42 + 70: column at -280 - 196 = -476; clefs 150 + 60 + 10: -696. With
  // no chord before, the clef keeps parameter 260 from the staff's left x, and parameter 196
  // follows the signs.
  const int32_t left = staff_left_x(0, 1);
  EXPECT_EQ(origin(a), left + 696 + 60 + 30);
  for (int s = 0; s < 2; ++s) {
    SCOPED_TRACE(s);
    EXPECT_EQ(clefs[s]->get(xclefx), left + 60);
    EXPECT_EQ(keys[s]->get(xkeyx), left + 60 + 220);
    EXPECT_EQ(times[s]->get(xtimex), left + 60 + 220 + 196);
  }
  EXPECT_EQ(first_note_x(), origin(a));
  EXPECT_EQ(spacing_staff[0].front_space, 696 + 60 + left);
}

TEST_F(Columns, SignsAreFoundBeforeTheChordHoweverManyAnnotationsStandBetween) {
  // Sixty texts (a hundred and twenty nodes) between the signs and the first chord: the signs
  // once went unplaced, drawn at the paper's edge.
  int v = new_voice("Canto", 0, 0);
  Drosa clef = add_clef(v, 0), key = add_key_of(v, -1), time = add_timesig(v, 4, 4);
  for (int i = 0; i < 60; ++i) {
    add(v, TPARAM);
    add(v, TEXT)->set(xtext, "la");
  }
  add_note(v, QUARTER, HIGH);
  format_first_page();
  const int32_t left = staff_left_x(0, 1);
  EXPECT_EQ(clef->get(xclefx), left + 60);
  EXPECT_GT(key->get(xkeyx), clef->get(xclefx));
  EXPECT_GT(time->get(xtimex), key->get(xkeyx));
}

TEST_F(Columns, ABarAndChangesInsideTheSystemTakeTheirColumnsBeforeTheChord) {
  // Quarters on two staves; before the third a bar on both, a key change on staff 0, a clef
  // change (drawn small: 140 + 60 + 10) on staff 1. Inside a system the order is clef, bar,
  // key, time, chord.
  int v = new_voice("Flute", 0, 0);
  int w = new_voice("Cello", 0, 1);
  std::vector<Drosa> top = {add_note(v, QUARTER, HIGH), add_note(v, QUARTER, HIGH)};
  Drosa half = add_note(w, HALF, HIGH);
  Drosa bars[2] = {add_bar(v), add_bar(w)};
  Drosa key = add_key_of(v, 1);
  Drosa clef = add_clef(w, 1);
  clef->set(xclefchange, 1);
  top.push_back(add_note(v, QUARTER, HIGH));
  add_note(w, QUARTER, HIGH);
  format_first_page();
  const int32_t x = origin(top[2]);
  EXPECT_EQ(key->get(xkeyx), x - (60 + 70));
  EXPECT_EQ(bars[0]->get(xbarx), x - 130 - 80);
  EXPECT_EQ(bars[1]->get(xbarx), bars[0]->get(xbarx)) << "one bar column";
  EXPECT_EQ(clef->get(xclefx), x - 130 - 80 - 210);
  // The clef keeps parameter 260 from the right of the half note before it, which, stem
  // down, ends one head (60) right of its x; the key on the other staff then has room.
  ASSERT_EQ(note_ntdata(half)->get(xstmdir), 1);
  EXPECT_EQ(clef->get(xclefx), origin(half) + 60 + 60);
}

TEST_F(Columns, ABarBeforeGraceNotesStandsInOneColumnWithTheOtherStavesBar) {
  // Staff 0: quarter | grace, quarter. Staff 1: quarter | quarter. The bars stand before the
  // grace, 60 after the quarter's head; the grace follows the bar's 80; the main chords keep
  // parameter 259 (30) from the grace's flag (stem up: its stem x and the small value of
  // parameter 138, 30).
  int v = new_voice("Flute", 0, 0);
  int w = new_voice("Cello", 0, 1);
  Drosa first = add_note(v, QUARTER, HIGH);
  add_note(w, QUARTER, HIGH);
  Drosa bars[2] = {add_bar(v), add_bar(w)};
  Drosa grace = add_grace(v, EIGHTH, false, HIGH);
  Drosa main[2] = {add_note(v, QUARTER, HIGH), add_note(w, QUARTER, HIGH)};
  format_first_page();
  const int32_t o = origin(first);
  EXPECT_EQ(bars[0]->get(xbarx), o + 60 + 60);
  EXPECT_EQ(bars[1]->get(xbarx), bars[0]->get(xbarx));
  EXPECT_EQ(origin(grace), bars[0]->get(xbarx) + 80);
  ASSERT_EQ(note_ntdata(grace)->get(xstmdir), 2);
  EXPECT_EQ(origin(main[0]), origin(grace) + note_ntdata(grace)->get(xstemxoff) + 30 + 30);
  EXPECT_EQ(origin(main[1]), origin(main[0]));
  EXPECT_EQ(ideal(main[0]), ideal(grace) + 1) << "a grace takes no time";
}

TEST_F(Columns, BarWidthsAndAPlainBarThatEndsTheSystem) {
  int v = new_voice();
  Drosa last = add_note(v, QUARTER, HIGH);
  Drosa bar = add_bar(v);
  format_first_page();
  // Neither a key nor a time signature follows: the bar stands 60 after the note's head
  // (its parameter 128 taken off), and the system ends there.
  EXPECT_EQ(bar->get(xbarx), origin(last) + 60 + 60);
  EXPECT_EQ(spacing_x, bar->get(xbarx));
  EXPECT_EQ(spacing_staff[0].trailing_width, 120);
  // The widths of lines and dots: (dots before + dots after) x (20 + 20), a second line 20
  // (times the dot columns when thick), a thick line 20 - 5.
  struct Case {
    int before, after, type, thick, width;
  } cases[] = {{0, 0, 0, 0, 0},  {1, 0, 0, 0, 40}, {1, 1, 0, 0, 80},
               {0, 0, 1, 0, 20}, {0, 0, 2, 0, 35}, {1, 1, 1, 1, 80 + 40 + 15}};
  for (const Case& c : cases) {
    bar->set(xrepeat_end, uint8_t(c.before));
    bar->set(xrepeat_start, uint8_t(c.after));
    bar->set(xdouble, uint8_t(c.type));
    bar->set(xbarthick, c.thick);
    int repeat = -1;
    EXPECT_EQ(bar_width(bar, 0, &repeat), c.width) << c.before << c.after << c.type << c.thick;
    EXPECT_EQ(repeat, c.after);
  }
}

// ---- Rests ------------------------------------------------------------------------------------

// Each chord of the staff's layer 0: its time in quarters, and R, W (whole-measure rest) or
// M<count> (multi-measure rest) for a rest.
std::string chain_summary(int pstaff) {
  std::string text;
  for (Drosa n = staff_data[pstaff].ppnt[0]->xnext->get(xpnext); n; n = n->xnext->get(xpnext)) {
    Drosa last = chord_last_note(n);
    text += text.empty() ? "" : " ";
    text += std::to_string(cd2_of(last)->get(xswholec) / 16384);
    if (n->get(xrest)) {
      int glyph = note_ntdata(n)->get(xrestchar);
      text += glyph == 2 ? "M" + std::to_string(cd_of(last)->get(xrcmeas)) : glyph ? "W" : "R";
    }
    n = last;
  }
  return text;
}

TEST_F(MeasureRests, EmptyMeasuresInEveryStaffBecomeOneMultiMeasureRest) {
  // 4/4. Bar 1 quarters; bars 2 to 5 whole rests in both staves except a note on staff 1 in
  // bar 4; bar 6 quarters. Bars 2-3 become one rest of two measures, bar 5 a whole-measure rest,
  // and so does staff 0's rest of bar 4, beside staff 1's note.
  int v = new_voice("Flute", 0, 0);
  int w = new_voice("Cello", 0, 1);
  for (int voice : {v, w}) {
    add_timesig(voice, 4, 4);
    add_note(voice, WHOLE, HIGH);
    for (int bar = 2; bar <= 5; ++bar) {
      add_bar(voice);
      if (voice == w && bar == 4)
        add_note(voice, WHOLE, HIGH);
      else
        add_rest(voice, WHOLE);
    }
    add_bar(voice);
    add_note(voice, WHOLE, HIGH);
  }
  format_first_page();
  EXPECT_EQ(chain_summary(0), "0 4M2 12W 16W 20");
  EXPECT_EQ(chain_summary(1), "0 4M2 12 16W 20");
  // The multi-measure rest lasts its two measures and takes the ideal space of one.
  Drosa multi = staff_data[0].ppnt[0]->xnext->get(xpnext)->xnext->get(xpnext);
  EXPECT_EQ(note_duration(multi, 0), 2 * 65536);
  Drosa after = multi->xnext->get(xpnext);
  EXPECT_EQ(ideal(after) - ideal(multi), 507 + 1);
  // The rest of bar 3 left its chain and its chord records.
  Drosa bar3 = find_next_kind(NOTE, find_next_kind(BAR, find_next_kind(BAR, piece_start[v])));
  EXPECT_FALSE(is_visible_note(bar3));
  EXPECT_NE(bar3->xnext->xnext->xkind, CDDATA);
  // A whole-measure rest alone in its bar reserves parameter 393 (350) from its x.
  Drosa single = chord_first_note(after->xnext->get(xpnext));
  EXPECT_GE(space_lyrics(single), note_ntdata(single)->get(xhdx) + 350);
}

// Three bars of whole rests in 4/`beat`, the third with a text when `annotated`.
std::string three_bars_of_rests(int beat, bool annotated) {
  int v = new_voice();
  add_timesig(v, 4, beat);
  for (int bar = 1; bar <= 3; ++bar) {
    if (bar > 1) add_bar(v);
    if (annotated && bar == 3) add_lyric(v, "tacet");
    add_rest(v, WHOLE);
  }
  count_pages();
  EXPECT_EQ(format_page(1, 0), 1);
  return chain_summary(0);
}

TEST_F(MeasureRests, AnAnnotatedRestEndsTheRun) {
  // It is a whole-measure rest of its own.
  EXPECT_EQ(three_bars_of_rests(4, true), "0M2 8W");
}

TEST_F(MeasureRests, ATimeSignatureWithoutABeatMergesNothingAndDividesNothingByZero) {
  EXPECT_EQ(three_bars_of_rests(0, false), "0R 4R 8R");
}

// ---- Lyrics -----------------------------------------------------------------------------------

TEST_F(Lyrics, ALongLyricWidensTheSpaceUpToTheNextSyllableOfItsLineOnly) {
  // Two voices of four quarters, the second with a long lyric under its second and its last
  // note, none under the third.
  std::vector<Drosa> plain, sung;
  Drosa lyric = NIL;
  for (bool words : {false, true}) {
    int v = new_voice(words ? "Voice" : "Flute", 0, words ? 1 : 0);
    std::vector<Drosa>& notes = words ? sung : plain;
    for (int i = 0; i < 4; ++i) {
      if (words && (i == 1 || i == 3)) lyric = add_lyric(v, "Hallelujah, hallelujah");
      notes.push_back(add_note(v, QUARTER, HIGH));
    }
  }
  // Staves are spaced together: compare with a piece without the lyrics.
  format_first_page();
  const int32_t width = measure_anno_text(sung[1], lyric, nullptr);
  ASSERT_GT(width, 300);
  // The third note stands under the lyric of the second, a quarter's gap from it (the
  // stem-down head, 60, and parameter 260); the last note's lyric keeps parameter 260 from the
  // end of the second's.
  EXPECT_EQ(packed_gaps(sung), "120 120 " + std::to_string(width + 60 - 120));
  EXPECT_EQ(packed_gaps(plain), packed_gaps(sung));
  EXPECT_EQ(ideal_gaps(sung), "195 195 195") << "the ideal spacing knows no lyrics";
  // The last lyric widens the system: it ends parameter 260 after the lyric.
  EXPECT_EQ(spacing_x, note_ntdata(sung[3])->get(xhdx) + width + 60);
  int32_t left = 0, right = 0;
  lyrlth(sung[3], NO_LYRIC_PLACE, NO_LYRIC_PLACE, &left, &right);
  EXPECT_EQ(left, note_ntdata(sung[3])->get(xhdx));
  EXPECT_EQ(right, left + width);
  // Centred, the lyric moves left by half its width (rounded toward zero); without lyrics
  // the extent is empty.
  lyric->set(xjustified, 1);
  lyrlth(sung[3], NO_LYRIC_PLACE, NO_LYRIC_PLACE, &left, &right);
  EXPECT_EQ(left, note_ntdata(sung[3])->get(xhdx) - width / 2);
  lyrlth(sung[0], NO_LYRIC_PLACE, NO_LYRIC_PLACE, &left, &right);
  EXPECT_EQ(left, 2100000000);
  EXPECT_EQ(right, -2100000000);
}

TEST_F(Lyrics, ASyllableReachingPastTheLastChordEndsTheSystemAfterIt) {
  // A long lyric under the third of four quarters, none under the fourth.
  int v = new_voice("Voice", 0, 1);
  std::vector<Drosa> notes;
  Drosa lyric = NIL;
  for (int i = 0; i < 4; ++i) {
    if (i == 2) lyric = add_lyric(v, "Hallelujah, hallelujah");
    notes.push_back(add_note(v, QUARTER, HIGH));
  }
  format_first_page();
  const int32_t width = measure_anno_text(notes[2], lyric, nullptr);
  ASSERT_GT(note_ntdata(notes[2])->get(xhdx) + width, note_ntdata(notes[3])->get(xhdx) + 60);
  EXPECT_EQ(spacing_x, note_ntdata(notes[2])->get(xhdx) + width + 60);
}

TEST_F(Lyrics, ASyllableAtTheTimeOfAnotherStaffsGraceNoteIsSpacedWhereItsNoteStands) {
  // A grace note on the first staff before its third quarter; a syllable under every quarter
  // of the second. The sung third quarter is placed after the grace note: spaced twice, the
  // system comes out the same.
  std::vector<Drosa> sung;
  for (bool words : {false, true}) {
    int v = new_voice(words ? "Voice" : "Flute", 0, words ? 1 : 0);
    for (int i = 0; i < 4; ++i) {
      if (!words && i == 2) add_grace(v, EIGHTH);
      if (words) add_lyric(v, "la");
      Drosa note = add_note(v, QUARTER, HIGH);
      if (words) sung.push_back(note);
    }
  }
  format_first_page();
  const std::string gaps = packed_gaps(sung);
  EXPECT_LT(origin(sung[2]) - origin(sung[1]), 2 * (origin(sung[1]) - origin(sung[0])));
  ASSERT_EQ(format_page(1, 0), 1);
  EXPECT_EQ(packed_gaps(sung), gaps);
}

}  // namespace
