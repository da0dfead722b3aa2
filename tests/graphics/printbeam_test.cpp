// printbeam_test.cpp: beam groups on small formatted pages (staff 0: bottom line 1560, top line
// 1760, lines 50 apart and 10 wide; a head's y is half a space below its centre). The stems of
// a group end at the beam's centre line, so their ends show where the beam lies.
//   BeamSlopes.*:  the slope of grace groups (whose ends are not snapped): the heads' slope
//                  scaled, clamped, raised to the least rise or flattened, level ends
//   BeamHeights.*: a higher middle head lifts the beam
//   BeamSnapping.*:    the windows of beam_slope_limits, and a beam moved to straddle a line
//   BeamLines.*:   secondary beams over runs, partial beams at either end
//   BeamBreaks.*:  beams continued across a system break are flat and reach past the stem;
//                  two stems at one x give a flat beam
//   BeamPages.*:   a rendered page of beams of every kind
#include "graphics/printbeam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"
#include "support/chord_page.h"
#include "support/piece_builder.h"

namespace {

using BeamSlopes = ChordPageTest;
using BeamHeights = ChordPageTest;
using BeamSnapping = ChordPageTest;
using BeamLines = ChordPageTest;
using BeamBreaks = ChordPageTest;
using BeamPages = ChordPageTest;

struct Line {
  int32_t x1, y1, x2, y2, width;
};

Line parse_line(const std::string& text) {
  Line l{};
  int var = 0;
  std::sscanf(text.c_str(), "line %d %d %d %d %d w%d", &var, &l.x1, &l.y1, &l.x2, &l.y2, &l.width);
  return l;
}

std::vector<Line> lines_of(int var) {
  std::vector<Line> found;
  for (const std::string& text : ge_lines(var)) found.push_back(parse_line(text));
  return found;
}

// The y at which each beamed stem ends, stems up (var 22) and down (var 21) in list order.
std::vector<int32_t> stem_ends() {
  std::vector<int32_t> ends;
  for (const std::string& text : ge_lines()) {
    if (text.rfind("line 21 ", 0) == 0 || text.rfind("line 22 ", 0) == 0)
      ends.push_back(parse_line(text).y2);
  }
  return ends;
}

int32_t stem_x(Drosa n) { return nt(n)->get(xhdx) + nt(n)->get(xstemxoff); }

// ---- Slopes ---------------------------------------------------------------------------------

// Two grace eighths a step apart (heads 25 apart, stems 110 apart): the heads' slope
// 25/110 = 0.227 times parameter 131 (0.9) is 0.2045, a rise of 22 over the stems.
TEST_F(BeamSlopes, GraceGroupsFollowTheirHeadsScaledClampedAndFlattened) {
  struct Case {
    const char* what;
    int second;          // diatonic position of the second grace (the first is 39)
    int32_t least_rise;  // small value of parameter 323
    float least_slope;   // small value of parameter 181
    int32_t rise;        // expected rise from the first stem's end to the second's
  } cases[] = {
      {"the heads' slope scaled", 40, 15, 0.1f, 22},
      {"a sixth: clamped to parameter 180 (0.4), 44 over 110", 44, 15, 0.1f, 44},
      {"a rise below 323 but above a quarter of it: exactly 323", 40, 60, 0.1f, 60},
      {"a rise below a quarter of 323: flat", 40, 100, 0.1f, 0},
      {"a slope below 181 but above half of it: 181 (0.3 x 110 = 33)", 40, 15, 0.3f, 33},
      {"a slope below half of 181: flat", 40, 15, 0.5f, 0},
      {"falling heads fall", 38, 15, 0.1f, -22},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    param[P_MIN_CHANGE_IN_Y_BETWEEN_BEAM_ENDS_FLAT_BEAM_FOR_LESSER].small.set_integer(c.least_rise);
    param[P_MINIMUM_SLOPE_FOR_BEAM_USE_FLAT_BEAM_FOR_LESSER_SLOPE].small.set_real(c.least_slope);
    int v = new_voice();
    Drosa first = add_grace(v, EIGHTH, false, 39);
    Drosa second = add_grace(v, EIGHTH, false, c.second);
    add_note(v, QUARTER, 41);
    format_and_draw();
    ASSERT_EQ(stem_x(second) - stem_x(first), 110);
    const std::vector<int32_t> ends = stem_ends();
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_NEAR(ends[1] - ends[0], c.rise, 1);
    TearDown();
    SetUp();
  }
}

TEST_F(BeamSlopes, LevelEndsAndRepeatedFiguresAreFlat) {
  struct Case {
    const char* what;
    std::vector<int> heads;
  } cases[] = {
      {"first and last heads level, the middle higher", {39, 44, 39}},
      {"first and last heads level, the middle lower", {41, 37, 38, 41}},
      {"a figure of period 2 rising overall", {39, 42, 39, 42, 39, 42, 39, 42}},
      {"a figure of period 3", {38, 40, 42, 38, 40, 42}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int v = new_voice();
    for (size_t i = 0; i < c.heads.size(); ++i)
      add_note(v, EIGHTH, c.heads[i])->set(xcbeam, i + 1 < c.heads.size() ? 1 : 0);
    format_and_draw();
    const std::vector<Line> beams = lines_of(17);
    ASSERT_EQ(beams.size(), 1u);
    EXPECT_EQ(beams[0].y1, beams[0].y2);
    TearDown();
    SetUp();
  }
}

// ---- Heights ------------------------------------------------------------------------------

// Stems up over E4 E5 E4: the E5 (head y 1710) needs a stem of 100 and a head of 50, so the
// beam lies at 1860 at least; it lies more than two beam bands above the staff and is not
// snapped.
TEST_F(BeamHeights, AHigherMiddleHeadLiftsTheBeam) {
  int v = new_voice();
  add_note(v, EIGHTH, 37)->set(xcbeam, 1);
  add_note(v, EIGHTH, 44)->set(xcbeam, 1);
  add_note(v, EIGHTH, 37);
  format_and_draw();
  EXPECT_EQ(stem_ends(), (std::vector<int32_t>{1860, 1860, 1860}));
}

// ---- End snapping ----------------------------------------------------------------------------

// Staff 0 of the page, lines 2 wide, beam band 20 (0.8 x 25), beams 40 apart: a line L keeps
// inside the band of a beam line at y for shifts from L + 1 - (y + 10) to L - 1 - (y - 10).
TEST_F(BeamSnapping, WindowsKeepTheNearestLineInsideTheBand) {
  int v = new_voice();
  Drosa note = add_note(v, QUARTER, 41);
  format_and_draw();
  struct Case {
    const char* what;
    int32_t y;
    int n, direction;
    int32_t lo, hi;
  } cases[] = {
      {"25 above the bottom line: the line above is nearest (1610)", 1585, 4, 2, 16, 34},
      {"beams down at 1600 and 1640: 1660 gives [11, 29], 1610 then [11, 19]", 1600, 5, 1, 11, 19},
      {"stems down, beyond the bottom line by more than two bands", 1510, 4, 1, -2100000000,
       2100000000},
      {"stems up, beyond the top line by more than two bands", 1810, 4, 2, -2100000000, 2100000000},
      {"stems up above the top line within two bands: drawn to it", 1790, 4, 2, -39, -21},
      {"an eighth's value is the least: nothing below it", 1585, 3, 2, -2100000000, 2100000000},
  };
  for (const Case& c : cases) {
    int32_t lo = 0, hi = 0;
    beam_slope_limits(c.y, c.n, c.direction, 0, note, &lo, &hi);
    EXPECT_EQ(std::vector<int32_t>({lo, hi}), std::vector<int32_t>({c.lo, c.hi})) << c.what;
  }
  // A damaged staff size divides nothing.
  staff_data[0].staff_size = 0;
  int32_t lo = 0, hi = 0;
  beam_slope_limits(1585, 4, 2, 0, note, &lo, &hi);
  EXPECT_EQ(std::vector<int32_t>({lo, hi}), std::vector<int32_t>({-2100000000, 2100000000}));
}

// G4 A4 B4 G4 stems up: level ends make it flat; the B4 head (1635) needs the beam at 1785 at
// least. There the top line (1760) lies 25 below the beam's centre: the window
// [1760 + 1 - 1795, 1760 - 1 - 1775] = [-34, -16] moves the beam by -16 - 5 to straddle it.
TEST_F(BeamSnapping, ABeamNearALineIsMovedToStraddleIt) {
  int v = new_voice();
  for (int head : {39, 40, 41}) add_note(v, EIGHTH, head)->set(xcbeam, 1);
  add_note(v, EIGHTH, 39);
  format_and_draw();
  EXPECT_EQ(stem_ends(), (std::vector<int32_t>{1764, 1764, 1764, 1764}));
}

// Two notes, or three with the middle one a fifth above or below (it sets the beam's height),
// rising or falling by a second to a fourth, eighths and sixteenths, on every line and space
// of the staff: the beam rises as the slope rule gives for its notes (0.9 of the heads'
// least-squares slope, at least the least rise of parameter 323 and the least slope of
// parameter 181, at most parameter 180), never more. Ends snapped apart to their nearest lines
// made some twice as steep.
TEST_F(BeamSnapping, EndsSnappedToTheLinesNeverSteepenTheBeam) {
  for (int value : {EIGHTH, SIXTEENTH})
    for (int step : {1, 2, 3, -1, -2, -3})
      for (int middle : {0, 4, -4})
        for (int low = 30; low <= 44; ++low) {
          SCOPED_TRACE(std::to_string(value) + " " + std::to_string(low) + " by " +
                       std::to_string(step) + " over " + std::to_string(middle));
          int v = new_voice();
          std::vector<Drosa> notes;
          for (int head : middle ? std::vector<int>{low, low + middle, low + step}
                                 : std::vector<int>{low, low + step})
            notes.push_back(add_note(v, value, head));
          for (size_t i = 0; i + 1 < notes.size(); ++i) notes[i]->set(xcbeam, 1);
          add_note(v, HALF, 39);
          format_and_draw();
          const std::vector<int32_t> ends = stem_ends();
          ASSERT_EQ(ends.size(), notes.size());
          const double n = double(notes.size());
          double mx = 0, my = 0, sxy = 0, sxx = 0;
          for (Drosa d : notes) mx += nt(d)->get(xhdx) / n, my += nt(d)->get(xhdy) / n;
          for (Drosa d : notes) {
            sxy += (nt(d)->get(xhdx) - mx) * (nt(d)->get(xhdy) - my);
            sxx += (nt(d)->get(xhdx) - mx) * (nt(d)->get(xhdx) - mx);
          }
          const double dx = stem_x(notes.back()) - stem_x(notes.front());
          const double rule =
              std::min(0.4 * dx, std::max({20.0, 0.9 * std::fabs(sxy / sxx) * dx, 0.1 * dx}));
          EXPECT_LE(std::abs(ends.back() - ends.front()), rule + 1);
          TearDown();
          SetUp();
        }
}

// ---- Beam lines ---------------------------------------------------------------------------

TEST_F(BeamLines, SecondaryBeamsOverRunsAndPartialBeamsAtTheEnds) {
  int v = new_voice();
  Drosa a = add_note(v, EIGHTH, 39);  // beat 1: eighth, sixteenth, sixteenth
  Drosa b = add_note(v, SIXTEENTH, 40);
  Drosa c = add_note(v, SIXTEENTH, 41);
  add_note(v, EIGHTH, 39, 1);  // beat 2: dotted eighth, sixteenth
  Drosa d = add_note(v, SIXTEENTH, 40);
  Drosa e = add_note(v, SIXTEENTH, 39);  // beat 3: sixteenth, dotted eighth
  add_note(v, EIGHTH, 40, 1);
  add_note(v, QUARTER, 41);
  format_and_draw();
  (void)a;
  const std::vector<Line> lines = lines_of(18);
  ASSERT_EQ(lines.size(), 3u);
  // A run of two: from stem to stem; a lone last chord: 60 to the left of its stem; a lone
  // first chord: 60 to the right.
  EXPECT_EQ(std::vector<int32_t>({lines[0].x1, lines[0].x2}),
            std::vector<int32_t>({stem_x(b), stem_x(c)}));
  EXPECT_EQ(std::vector<int32_t>({lines[1].x1, lines[1].x2}),
            std::vector<int32_t>({stem_x(d) - 60, stem_x(d)}));
  EXPECT_EQ(std::vector<int32_t>({lines[2].x1, lines[2].x2}),
            std::vector<int32_t>({stem_x(e), stem_x(e) + 60}));
  // Stems up: the secondary beam lies 40 below the main beam, toward the heads.
  const std::vector<Line> main = lines_of(17);
  ASSERT_EQ(main.size(), 3u);
  const double slope = double(main[0].y2 - main[0].y1) / (main[0].x2 - main[0].x1);
  const double main_at_b = main[0].y1 + slope * (stem_x(b) - main[0].x1);
  EXPECT_NEAR(lines[0].y1, main_at_b - 40, 1);
}

// ---- System breaks and degenerate groups
// ---------------------------------------------------------

TEST_F(BeamBreaks, BeamsAcrossASystemBreakAreFlatAndReachPastTheStem) {
  int v = new_voice();
  Drosa first = add_note(v, EIGHTH, 37);  // from the previous system, whose drawing left the
  add_note(v, EIGHTH, 44);                // mark for stems up
  add_note(v, HALF, 41);
  add_note(v, EIGHTH, 37)->set(xcbeam, 1);
  Drosa last = add_note(v, EIGHTH, 44);  // on into the next system
  last->set(xcbeam, 1);
  piece_start[v]->set(xsys_beamup, 1);
  format_and_draw();
  ASSERT_EQ(nt(first)->get(xstmdir), 2);
  const std::vector<Line> beams = lines_of(17);
  ASSERT_EQ(beams.size(), 2u);
  for (const Line& beam : beams) EXPECT_EQ(beam.y1, beam.y2) << "rising heads, yet flat";
  EXPECT_EQ(beams[0].x1, stem_x(first) - 50 - 120);
  EXPECT_EQ(beams[1].x2, stem_x(last) + 50 + 120);
  Drosa end = voice_data[v].system_end;
  EXPECT_EQ(end->get(xsys_beamup) + end->get(xsys_beamdown), 1);
}

// A voice that moves one staff at the ENDSYST: the mark of stems up stands for stems down.
TEST_F(BeamBreaks, TheMarksSwapForAVoiceMovedToANeighbouringStaff) {
  for (int staff : {0, 1}) {
    int v = new_voice();
    add_note(v, EIGHTH, 39);
    Drosa brk = add_system_break(v);
    add_print(v, 1, staff);
    add_note(v, EIGHTH, 39);
    voice_data[v].system_start = brk;
    brk->set(xsys_beamup, 1);
    EXPECT_EQ(stemdir_by_voice_pair(v, 2), staff == 0 ? 1 : 0) << staff;
    EXPECT_EQ(stemdir_by_voice_pair(v, 1), staff == 0 ? 0 : 1) << staff;
  }
}

// Two beamed stems squeezed onto one x (an overfull system): flat, with the report.
TEST_F(BeamBreaks, StemsAtOneXGiveAFlatBeam) {
  int v = new_voice();
  Drosa first = add_note(v, EIGHTH, 37);
  Drosa second = add_note(v, EIGHTH, 44);
  format_and_draw();
  GEinit(0);
  nt(second)->set(xhdx, nt(first)->get(xhdx));
  EXPECT_EQ(printbeam(first, second, 0, 0), 1);
  EXPECT_TRUE(take_reports().empty()) << "chords squeezed together are no fault";
  const std::vector<Line> beams = lines_of(17);
  ASSERT_EQ(beams.size(), 1u);
  EXPECT_EQ(beams[0].y1, beams[0].y2);
}

// Parameters set to 0 or out of their sense, and a staff size of 0 from a damaged file: every
// group is still drawn, and nothing is divided by zero or cast from a value out of range.
TEST_F(BeamBreaks, ZeroParametersAndAZeroStaffSizeDivideNothing) {
  int v = new_voice();
  for (int head : {35, 44, 39, 47}) add_note(v, SIXTEENTH, head)->set(xcbeam, 1);
  add_note(v, SIXTEENTH, 40);
  add_note(v, EIGHTH, 41, 1)->set(xcbeam, 1);
  add_note(v, SIXTEENTH, 38);
  add_note(v, QUARTER, 35, 1);
  for (int p : {P_OFFSET_BETWEEN_SUCCESSIVE_BEAMS, P_LENGTH_OF_PARTIAL_BEAMS_BETWEEN_NOTE_STEMS,
                P_NORMAL_LENGTH_OF_NOTE_STEMS, P_STEM_CONNECTION_BEAM_LINE_WIDTH,
                P_EXTEND_BEAM_LINES_THIS_FAR_PAST_NOTE_STEM,
                P_MIN_CHANGE_IN_Y_BETWEEN_BEAM_ENDS_FLAT_BEAM_FOR_LESSER,
                P_NORMAL_LENGTH_OF_NOTE_STEMS_IN_BEAMS})
    param[p].value.set_integer(0);
  for (int p : {P_MULTIPLIER_TO_COMPUTE_BEAM_SLOPE_FROM_NOTE_LOCATIONS, P_MAXIMUM_SLOPE_FOR_BEAM,
                P_MINIMUM_SLOPE_FOR_BEAM_USE_FLAT_BEAM_FOR_LESSER_SLOPE})
    param[p].value.set_real(0);
  format_and_draw();
  const size_t groups = lines_of(17).size();
  EXPECT_GE(groups, 1u);
  param[P_MULTIPLIER_TO_COMPUTE_BEAM_SLOPE_FROM_NOTE_LOCATIONS].value.set_real(1e30f);
  param[P_MAXIMUM_SLOPE_FOR_BEAM].value.set_real(1e30f);
  param[P_OFFSET_TO_ADD_TO_FINAL_BEAM_SLOPE].value.set_real(std::nanf(""));
  staff_data[0].staff_size = 0;
  GEinit(0);
  draw_page_chords();
  EXPECT_EQ(lines_of(17).size(), groups);
}

// ---- Pages -----------------------------------------------------------------------------------

TEST_F(BeamPages, BeamsOfEveryKind) {
  int v = new_voice();
  auto group = [&](int value, std::vector<int> heads) {
    for (size_t i = 0; i < heads.size(); ++i)
      add_note(v, value, heads[i])->set(xcbeam, i + 1 < heads.size() ? 1 : 0);
  };
  group(EIGHTH, {39, 39, 39, 39});  // flat
  group(EIGHTH, {37, 38, 40, 41});  // rising
  group(EIGHTH, {46, 44, 43, 41});  // falling, stems down
  group(EIGHTH, {35, 44});          // steep: clamped
  add_bar(v);
  group(SIXTEENTH, {39, 40, 41, 42});
  add_note(v, EIGHTH, 44, 1)->set(xcbeam, 1);
  add_note(v, SIXTEENTH, 43);
  add_note(v, SIXTEENTH, 38)->set(xcbeam, 1);
  add_note(v, EIGHTH, 39, 1);
  add_note(v, 6, 41)->set(xcbeam, 1);  // thirty-seconds under an eighth
  add_note(v, 6, 42)->set(xcbeam, 1);
  add_note(v, SIXTEENTH, 43)->set(xcbeam, 1);
  add_note(v, EIGHTH, 44);
  add_bar(v);
  group(EIGHTH, {49, 50, 51});  // ledger lines above: drawn to the staff
  chord_last_note(find_prev_kind(NOTE, voice_end(v)))->set(xebeam, 1);
  add_grace(v, SIXTEENTH, false, 44)->set(xcbeam, 1);
  add_grace(v, SIXTEENTH, false, 45)->set(xcbeam, 1);
  add_grace(v, SIXTEENTH, false, 46);
  add_note(v, QUARTER, 40);
  add_note(v, EIGHTH, 41)->set(xcbeam, 1);
  add_rest(v, EIGHTH)->set(xcbeam, 1);
  add_note(v, EIGHTH, 40)->set(xcbeam, 1);
  add_note(v, EIGHTH, 38)->set(xcbeam, 1);  // goes on into the next system
  format_and_draw(3);
  save_page_image("beams.png");
}

}  // namespace
