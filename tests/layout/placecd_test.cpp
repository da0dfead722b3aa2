// placecd_test.cpp: chord and accidental placement on chords laid out by the passes before.
//   Heads.*:       seconds on the far side of the stem for either stem direction
//   Voices.*:      stem-up and stem-down groups set apart, shared unisons, dots
//   Accidentals.*: columns for a cluster of seconds, an octave, six accidentals, shapes that
//                  share a column, AMOVE, more than fifteen columns
//   Edge.*:        the chord's left edge with and without room for accidentals
//   Rests.*:       rests between voices
//   Clamps.*:      stem offsets on a large staff
//
// At staff size 50 a quarter head is 60 wide, a staff space 50 and a diatonic step 25; under
// the fixture's treble clef position 42 is the middle line (y 8000). Chords are placed at
// X = 1000.
#include "layout/placecd.h"

#include <gtest/gtest.h>

#include <initializer_list>

#include "layout/accidentals.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "support/layout_fixture.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

using Heads = ModelTest;
using Voices = ModelTest;
using Accidentals = ModelTest;
using Edge = ModelTest;
using Rests = ModelTest;
using Clamps = ModelTest;

constexpr int32_t X = 1000;
constexpr int32_t MIDDLE = 8000;

Drosa nt(Drosa note) { return ntdata_of_note(note); }
int32_t hx(Drosa note) { return nt(note)->get(xhdx); }
int32_t hy(Drosa note) { return nt(note)->get(xhdy); }
int acc(Drosa note) { return nt(note)->get(xaccx); }
Drosa print_of(int v) { return find_next_kind_before_note(PRINT, piece_start[v]); }

// A chord of one voice with the given stem (1 down, 2 up) and accidentals (0 none).
std::vector<Drosa> chord(int v, int lgval, std::initializer_list<int> positions, int stem,
                         std::initializer_list<int> accidentals = {}) {
  std::vector<Drosa> notes;
  auto a = accidentals.begin();
  size_t i = 0;
  for (int position : positions) {
    Drosa n = add_note(v, lgval, position, 0, ++i < positions.size());
    n->set(xdir, stem);
    if (a != accidentals.end()) {
      n->set(xacc, *a ? *a : 3);  // no accidental shown: the natural
      n->set(xaccplot, *a ? 1 : 0);
      ++a;
    }
    notes.push_back(n);
  }
  return notes;
}

// The first note of the first chord of a pstaff's layer.
Drosa first_chord(int pstaff = 0, int layer = 0) {
  return nt(staff_data[pstaff].ppnt[layer])->get(xpnext);
}

int32_t place(Drosa first = NIL) {
  spacing_x = X;
  return placecd(first ? first : first_chord(), 0, 0);
}

Drosa cddata(Drosa note) { return cddatptr(note, 0); }

int32_t stem_width() { return param_length(P_STEM_LINE_WIDTH, NIL, nullptr); }

// Two voices on one staff, the first with stems up, the second with stems down.
void two_voices(int* up, int* down) {
  *up = new_voice("Flute", 0, 0);
  *down = new_voice("Flute", 1, 0);
  print_of(*up)->set(xprintdir, 2);
  print_of(*down)->set(xprintdir, 1);
}

TEST_F(Heads, SecondsGoToTheFarSideOfTheStem) {
  int v = new_voice();
  std::vector<Drosa> up = chord(v, QUARTER, {40, 41, 42}, 2);
  std::vector<Drosa> down = chord(v, QUARTER, {40, 41, 42}, 1);
  std::vector<Drosa> third = chord(v, QUARTER, {40, 42}, 2);
  ASSERT_EQ(format_one_system(), 1);
  int32_t sw = stem_width(), beside = 60 - sw;

  // Stem up: the lowest head left of the stem, the middle one to its right.
  EXPECT_EQ(place(up[0]), X);
  EXPECT_EQ(hx(up[0]), X);
  EXPECT_EQ(hx(up[1]), X + beside);
  EXPECT_EQ(hx(up[2]), X);
  for (Drosa n : up) EXPECT_EQ(nt(n)->get(xcluster), 1);
  EXPECT_EQ(nt(up[0])->get(xstemxoff), beside);  // the stem on the heads' right side
  EXPECT_EQ(nt(up[1])->get(xstemxoff), 0);

  // Stem down: the highest head right of the stem, the middle one to its left; the overhang
  // (head width and stem width) widens the chord's left edge.
  EXPECT_EQ(place(down[0]), X - beside - (60 + sw));
  EXPECT_EQ(hx(down[2]), X);
  EXPECT_EQ(hx(down[1]), X - beside);
  EXPECT_EQ(hx(down[0]), X);
  EXPECT_EQ(nt(down[1])->get(xstemxoff), beside);
  EXPECT_EQ(cddata(down[0])->get(xcdleft), -beside);
  EXPECT_EQ(cddata(down[0])->get(xcdoverhang), 60 + sw);

  // A third displaces nothing.
  place(third[0]);
  EXPECT_EQ(hx(third[0]), X);
  EXPECT_EQ(hx(third[1]), X);
  EXPECT_EQ(nt(third[0])->get(xcluster), 0);
}

TEST_F(Heads, UnisonsShowTwoHeadsInOneVoiceAndOneAcrossVoices) {
  int a = new_voice(), b = new_voice("Flute", 1, 0);
  std::vector<Drosa> own = chord(a, QUARTER, {42, 42}, 2);
  chord(b, QUARTER, {35}, 2);
  Drosa across_a = chord(a, QUARTER, {42}, 2)[0];
  Drosa across_b = chord(b, QUARTER, {42}, 2)[0];
  ASSERT_EQ(format_one_system(), 1);
  place(first_chord());
  EXPECT_EQ(hx(own[1]) - hx(own[0]), 60 - stem_width());  // parameter 703 is 0
  place(chord_first_note(across_a));
  EXPECT_EQ(hx(across_a), X);  // parameter 704 is 1
  EXPECT_EQ(hx(across_b), X);
}

// Two voices meeting at one time point: which group moves right, and how far.
TEST_F(Voices, StemUpAndStemDownGroupsStandApart) {
  struct Case {
    int up_position, down_position, up_value, down_value, up_dots, up_accidental;
    int32_t up_x, down_x;  // relative to X
  } cases[] = {
      {43, 42, QUARTER, QUARTER, 0, 0, 0, 70},   // a second: parameter 176
      {43, 42, QUARTER, QUARTER, 1, 0, 70, 0},   // a dotted upper note moves instead
      {42, 42, QUARTER, QUARTER, 0, 0, 0, 0},    // equal heads share one head
      {42, 42, HALF, QUARTER, 0, 0, 0, 80},      // unequal heads: parameter 130
      {42, 42, QUARTER, QUARTER, 0, 4, 153, 0},  // the stem-up sharp stands between
      {38, 42, QUARTER, QUARTER, 0, 0, 0, 80},   // crossing stems: parameter 130
      {46, 42, QUARTER, QUARTER, 0, 0, 0, 0},    // apart: nothing moves
  };
  for (const Case& c : cases) {
    reset_all_globals();
    VeskMemory_Init();
    int up, down;
    two_voices(&up, &down);
    Drosa u = chord(up, c.up_value, {c.up_position}, 2, {c.up_accidental})[0];
    u->set(xdots, c.up_dots);
    Drosa d = chord(down, c.down_value, {c.down_position}, 1)[0];
    ASSERT_EQ(format_one_system(), 1);
    ASSERT_EQ(first_chord(), d) << "one chord, stem-down group first";
    place();
    EXPECT_EQ(hx(u) - X, c.up_x) << c.up_position << " " << c.up_dots << " " << c.up_value;
    EXPECT_EQ(hx(d) - X, c.down_x) << c.up_position << " " << c.up_dots << " " << c.up_value;
    if (c.up_accidental) EXPECT_EQ(acc(u), (60 + 13) / 5);  // sharp width and parameter 735
  }
}

// Thresholds at staff size 50: sharps share a column 150 apart (parameter 122 = 3 staff
// spaces), flats 110 (2.2); column 0 stands the widest accidental and parameter 124 (30) left
// of X, each further column parameter 123 (10) and its own width further left. A sharp is 60
// wide, a flat 42, a natural 50.
TEST_F(Accidentals, ColumnsForTheClassicHardCases) {
  int v = new_voice();
  // Three seconds with sharps: top in column 0; the displaced middle head's sharp before the
  // lowest one's, which is one step below a displaced head.
  std::vector<Drosa> seconds = chord(v, QUARTER, {40, 41, 42}, 2, {4, 4, 4});
  // An octave, natural below and sharp above: 175 apart, one column.
  std::vector<Drosa> octave = chord(v, QUARTER, {35, 42}, 2, {3, 4});
  // Six sharps a third apart: columns alternate from the top and the bottom.
  std::vector<Drosa> six = chord(v, QUARTER, {33, 35, 37, 39, 41, 43}, 1, {4, 4, 4, 4, 4, 4});
  ASSERT_EQ(format_one_system(), 1);

  place(seconds[0]);
  EXPECT_EQ(acc(seconds[2]), 90 / 5);          // column 0: X - 60 - 30
  EXPECT_EQ(acc(seconds[1]), (58 + 160) / 5);  // column 1: X - 160, head at X + 58
  EXPECT_EQ(acc(seconds[0]), 230 / 5);         // column 2: X - 230
  EXPECT_EQ(place_accidentals(seconds[0], seconds[2], 0, X), X - 230);

  place(octave[0]);
  EXPECT_EQ(acc(octave[0]), 90 / 5);
  EXPECT_EQ(acc(octave[1]), 90 / 5);

  place(six[0]);
  const int column[6] = {1, 2, 0, 1, 2, 0};  // from the lowest note up
  for (int i = 0; i < 6; ++i) EXPECT_EQ(acc(six[i]), (90 + 70 * column[i]) / 5) << i;
  EXPECT_EQ(place_accidentals(six[0], six[5], 0, X), X - 230);
}

TEST_F(Accidentals, ShapesDecideWhoSharesAColumn) {
  int v = new_voice();
  std::vector<Drosa> flats = chord(v, QUARTER, {35, 40}, 2, {2, 2});   // 125 apart
  std::vector<Drosa> sharps = chord(v, QUARTER, {35, 40}, 2, {4, 4});  // 125 apart
  std::vector<Drosa> tucked = chord(v, QUARTER, {35, 39}, 2, {2, 3});  // flat under a natural
  std::vector<Drosa> none = chord(v, QUARTER, {35, 40}, 2);
  ASSERT_EQ(format_one_system(), 1);
  for (Drosa first : {flats[0], sharps[0], tucked[0], none[0]}) place(first);
  EXPECT_EQ(acc(flats[0]), acc(flats[1]));
  EXPECT_EQ(acc(sharps[0]) - acc(sharps[1]), 70 / 5);
  // The flat stands 100 below the natural (at least 80, parameter 571) and tucks its right
  // side under it: column 1 stands only the gap and 10 left of column 0 (X - 50 - 30).
  EXPECT_EQ(acc(tucked[1]), 80 / 5);
  EXPECT_EQ(acc(tucked[0]), (80 + 10 + 10) / 5);
  nt(none[0])->set(xaccx, 7);
  EXPECT_EQ(place_accidentals(none[0], none[1], 0, X), X);
  EXPECT_EQ(acc(none[0]), 7);
}

TEST_F(Accidentals, ChordsOfOtherLayersAtTheSameTimeShareTheColumns) {
  // A quarter and a half note of two stem-up voices, a second apart: two layers, one set of
  // columns (the upper sharp nearer the heads).
  int a = new_voice(), b = new_voice("Flute", 1, 0);
  Drosa lower = chord(a, QUARTER, {40}, 2, {4})[0];
  add_rest(a, QUARTER);
  Drosa upper = chord(b, HALF, {41}, 2, {4})[0];
  ASSERT_EQ(format_one_system(), 1);
  ASSERT_EQ(first_chord(0, 1), upper);
  // The upper chord overlaps the lower layer's chord of its time point, so justification will
  // move its heads right by parameter 683 (80): its accidental stands that much further from
  // its head now, and is the leftmost.
  const int32_t overlap = 80;
  EXPECT_EQ(place(lower), X + 20 - 90 - overlap);
  spacing_x = X;
  EXPECT_EQ(placecd(upper, 0, 1), X + 20 - 90 - overlap);
  EXPECT_EQ(acc(upper), (90 + overlap) / 5);
  EXPECT_EQ(acc(lower), 160 / 5);
}

TEST_F(Accidentals, AnAmoveMovesOneAccidentalAndTheDistanceStaysInItsByte) {
  int v = new_voice();
  Drosa left = add(v, AMOVE);
  left->set(xmove, -40);
  std::vector<Drosa> moved = chord(v, QUARTER, {35, 42}, 2, {4, 4});
  Drosa far = add(v, AMOVE);
  far->set(xmove, -40000);
  Drosa n1 = chord(v, QUARTER, {42}, 2, {4})[0];
  Drosa right = add(v, AMOVE);
  right->set(xmove, 500);
  Drosa n2 = chord(v, QUARTER, {42}, 2, {4})[0];
  ASSERT_EQ(format_one_system(), 1);
  place(moved[0]);
  EXPECT_EQ(acc(moved[0]), (90 + 40) / 5);
  EXPECT_EQ(acc(moved[1]), 90 / 5);
  EXPECT_EQ(place_accidentals(moved[0], moved[1], 0, X), X - 90 - 40);
  place(n1);
  EXPECT_EQ(acc(n1), 254);                         // far beyond the byte
  EXPECT_EQ(cddata(n1)->get(xcdleft), INT16_MIN);  // and the edge beyond its i16
  place(n2);
  EXPECT_EQ(acc(n2), 0);  // right of the head, not "no accidental"
}

TEST_F(Accidentals, MoreThanFifteenColumnsLeaveNoColumnNumbers) {
  // Sixteen accidentals less than 80 apart, none of a shape that shares: one is left over.
  int v = new_voice();
  std::vector<Drosa> notes;
  for (int position : {40, 41, 42, 43})
    for (int code : {1, 2, 3, 4}) {
      Drosa n = add_note(v, QUARTER, position, 0, true);
      n->set(xacc, code == 1 ? 5 : code);
      n->set(xaccplot, 1);
      notes.push_back(n);
    }
  notes.back()->set(xendvcd, 1);
  ASSERT_EQ(format_one_system(), 1);
  place(first_chord());
  std::vector<Report> got = take_reports();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].text, "Accidental placement error.");
  int none = 0;
  for (Drosa n : notes) none += acc(n) == 255;
  EXPECT_EQ(none, 1);
}

// With parameter 564 at 1 an accidental keeps parameter 569 (40) from the chord before,
// where a head keeps parameter 260 (60): the edge lies 20 right of the accidental. At 0
// accidentals add nothing.
TEST_F(Edge, AccidentalsWidenTheEdgeByParameter564) {
  int v = new_voice();
  Drosa n = chord(v, QUARTER, {42}, 2, {4})[0];
  Drosa grace = add_grace(v, EIGHTH, false, 42);
  grace->set(xacc, 4);
  grace->set(xaccplot, 1);
  add_note(v, QUARTER, 42);
  ASSERT_EQ(format_one_system(), 1);
  EXPECT_EQ(place(n), X - 90 + 20);
  EXPECT_EQ(cddata(n)->get(xcdleft), -90);  // L - X - 20
  // A grace sharp is 50 wide and stands 20 from its head (the small values of parameters 257
  // and 124); it keeps parameter 568 (20) where a grace head keeps parameter 259 (30).
  EXPECT_EQ(place(grace), X - 70 + 10);
  param[P_MULTIPLIER_FOR_EXTRA_SPACE_BETWEEN_NOTES_FOR_ACCIDENTALS].value.set_real(0.0f);
  EXPECT_EQ(place(n), X);
  EXPECT_EQ(cddata(n)->get(xcdleft), -20);
}

TEST_F(Rests, RestsStandClearOfTheOtherVoice) {
  // A rest in each voice of a shared staff: three steps (parameter 190; a step is half a staff
  // space) up for the stem-up voice, down for the other; a voice alone on its staff keeps the
  // middle line.
  int up, down;
  two_voices(&up, &down);
  int alone = new_voice("Oboe", 0, 1);
  Drosa up_rest = add_rest(up, HALF);
  Drosa down_rest = add_rest(down, HALF);
  Drosa alone_rest = add_rest(alone, HALF);
  ASSERT_EQ(format_one_system(), 1);
  place(up_rest);
  place(down_rest);
  spacing_x = X;
  placecd(alone_rest, 1, 0);
  EXPECT_EQ(hy(up_rest), MIDDLE + 75);
  EXPECT_EQ(hy(down_rest), MIDDLE - 75);
  EXPECT_EQ(hy(alone_rest), fixture_middle_y(1));
}

TEST_F(Rests, AChordedRestKeepsClearOfTheHeads) {
  // A stem-up rest in one chord with a stem-up head on the middle line: above the head (25)
  // by parameter 302 (50) and the rest's descent (80), up to the next line.
  int a = new_voice("Flute", 0, 0), b = new_voice("Flute", 1, 0);
  Drosa note = chord(a, QUARTER, {42}, 2)[0];
  Drosa rest = add_rest(b, QUARTER);
  rest->set(xdir, 2);
  ASSERT_EQ(format_one_system(), 1);
  // The layering never leaves a rest in a chord with heads: the chord is made by hand.
  ASSERT_EQ(first_chord(), note);
  insertstf(rest, note);
  nt(note)->set(xendscd, 0);
  nt(rest)->set(xendscd, 1);
  nt(rest)->set(xstmdir, 2);
  place(note);
  EXPECT_EQ(hy(rest), MIDDLE + 200);
  EXPECT_EQ(hy(note), MIDDLE);
}

// At staff size 120 a head is 144 wide: the stem offset of a stem-up head (140) is kept at
// the most its signed byte holds, and a stem-down cluster's overhang (head and stem, 149)
// is taken whole.
TEST_F(Clamps, LargeStaves) {
  int v = new_voice();
  print_of(v)->set(xstaffsize, 120);
  Drosa up = chord(v, QUARTER, {42}, 2)[0];
  std::vector<Drosa> down = chord(v, QUARTER, {41, 42}, 1);
  ASSERT_EQ(format_one_system(), 1);
  int32_t sw = param_length(P_STEM_LINE_WIDTH, up, nullptr);
  place(up);
  EXPECT_EQ(nt(up)->get(xstemxoff), 127);
  EXPECT_EQ(place(down[0]), X - (144 - sw) - (144 + sw));
  EXPECT_EQ(cddata(down[0])->get(xcdoverhang), 144 + sw);
}

}  // namespace
