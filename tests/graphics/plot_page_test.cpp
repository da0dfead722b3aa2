// plot_page_test.cpp: the page drawing pass, the system symbols and the beam buffer, through
// format_page on built pieces and text dumps of the GE list; each drawing test also writes its
// page to test-output/graphics of the build tree.
//   Staves.*:     staff lines, brackets, braces and the system's left bar line
//   Signs.*:      clefs, key and time signatures at the start and as changes, bar lines,
//                 repeats, bar numbers and the title
//   MeasureRests.*:      whole-measure and multi-measure rests
//   BeamBuffer.*: what reaches the chord and beam drawers, and beams left open
#include "graphics/plot_page.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "graphics/beam_buffer.h"
#include "graphics/ge_services.h"
#include "graphics/graphics_globals.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/events.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "platform/script.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

constexpr int LEFT = 500, RIGHT = 400;  // page margins

// What the beam buffer handed out: "cd" or "beam", the notes (voice.number of the note in its
// voice, from 1) and the pstaff. A whole-measure rest is kept for the page pass, as the chord
// drawer does.
std::vector<std::string> drawn;

std::string note_name(Drosa note) {
  int v = note->get(xvoice), number = 0;
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    if (p->xkind == NOTE) ++number;
    if (p == note) break;
  }
  return std::to_string(v) + "." + std::to_string(number);
}

std::string call(const char* what, Drosa first, Drosa last, int staff) {
  std::string text = std::string(what) + " " + note_name(first);
  if (last != first) text += "-" + note_name(last);
  return text + " s" + std::to_string(staff);
}

int32_t record_chord(Drosa first, Drosa last, int staff, int layer) {
  drawn.push_back(call("cd", first, last, staff));
  if (first->get(xrest) && first->xnext->get(xrestchar))
    staff_data[staff].rest_group[layer] = first;
  return 0;
}

int32_t record_beam(Drosa first, Drosa last, int staff, int) {
  drawn.push_back(call("beam", first, last, staff));
  return 0;
}

class PageTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    script_begin();
    param_init();
    platform_init_fonts();
    set_options_i32(1, OPTIONS_PAGE_WIDTH, 85);
    set_options_i32(1, OPTIONS_PAGE_HEIGHT, 110);
    for (int margin : {22, 26, 88}) set_options_i32(1, margin, LEFT);
    for (int margin : {30, 34, 92}) set_options_i32(1, margin, RIGHT);
    for (int margin : {50, 54, 58, 62}) set_options_i32(1, margin, 600);
    set_options_i16(1, OPTIONS_FIRST_PAGE, 1);
    set_options_i16(1, OPTIONS_FIRST_MEASURE, 1);
    GE_head = newDrosa(GE_CHAR, 0);
    drawn.clear();
    beam_buffer_chord_drawer = record_chord;
    beam_buffer_beam_drawer = record_beam;
  }
  void TearDown() override {
    platform_flush_events(EVERY_EVENT);
    script_end();
    destroy_pstaff_lists();
    offscreen_dispose();
    ModelTest::TearDown();
  }

  static void format() {
    count_pages();
    ASSERT_EQ(format_page(1, 0), 1);
  }

  // The page plotted as the screen shows it, written as an image for looking at.
  static void save_page(const char* name, float zoom = 10) {
    std::filesystem::path build = std::filesystem::current_path().parent_path();
    if (!std::filesystem::exists(build / "CMakeCache.txt")) return;
    offscreen_dispose();
    ASSERT_EQ(offscreen_create(zoom, 85, 110, 0, 0), 1);
    offscreen_erase();
    platform_set_port(offscreen_page);
    plot_GE_list(port_bounds(offscreen_page), PLOT_SCREEN, 0);
    platform_set_port(nullptr);
    std::filesystem::path folder = build / "test-output" / "graphics";
    std::filesystem::create_directories(folder);
    EXPECT_TRUE(port_save_png(offscreen_page, (folder / name).c_str()));
  }
};

using PlotStaves = PageTest;
using PlotSigns = PageTest;
using PlotMeasureRests = PageTest;
using PlotBeamBuffer = PageTest;

// One line per element whose var is in `vars` (every element when empty): "L<var> x1,y1
// x2,y2 w<width>" for lines, "C<var> x,y <font code>:<character>" for glyphs, "T<var> x,y
// <text>" for texts.
std::string dump(const std::set<int>& vars = {}) {
  std::string text;
  char line[200];
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    int var = -1;
    if (e->xkind == GE_LINE) {
      var = e->get(xgl_var);
      std::snprintf(line, sizeof line, "L%d %d,%d %d,%d w%d\n", var, int(e->get(xge_x1)),
                    int(e->get(xge_y1)), int(e->get(xge_x2)), int(e->get(xge_y2)),
                    int(e->get(xgl_width)));
    } else if (e->xkind == GE_STRING) {
      std::string s;
      GE_string_text(&s, &e);
      var = e->get(xgc_var);
      std::snprintf(line, sizeof line, "T%d %d,%d %s\n", var, int(e->get(xgc_x)),
                    int(e->get(xgc_y)), s.c_str());
    } else if (e->xkind == GE_CHAR) {
      var = e->get(xgc_var);
      std::snprintf(line, sizeof line, "C%d %d,%d %d:%d\n", var, int(e->get(xgc_x)),
                    int(e->get(xgc_y)), int(code_from_font(e->get(xgc_font))),
                    int(e->get(xgc_char)));
    }
    if (var >= 0 && (vars.empty() || vars.count(var))) text += line;
  }
  return text;
}

constexpr auto xtimesymbol = word_field<uint8_t>("xtimesymbol", TIMESIG, 22);  // 2: common

int32_t middle(int p) { return staff_data[p].middle_y; }

std::string fmt(const char* f, long a = 0, long b = 0, long c = 0, long d = 0, long e = 0,
                long g = 0) {
  char text[160];
  std::snprintf(text, sizeof text, f, a, b, c, d, e, g);
  return text;
}

Drosa key_of(int v, std::vector<int> codes) {
  Drosa key = add(v, KEYSIG);
  key->set(xkeycnt, uint8_t(codes.size()));
  for (size_t i = 0; i < codes.size(); ++i) key->set(xkeysig_entry, int(i), uint8_t(codes[i]));
  return key;
}

// ---- Staves -----------------------------------------------------------------------------------
// Staves of size 50 with five lines: top line 100 above the middle, bottom 100 below. Left
// margin 500: brackets at 500 - 40, 20 wide, hooks of 50 from 466, 14 wide; braces of pieces
// 120 high at 380.

TEST_F(PlotStaves, LinesBracketsBracesAndTheSystemsBarLine) {
  // A brace over staves 0 and 1, a bracket of staff 1 alone, one over staves 2 and 3.
  const int bracket[4] = {2, 1, 0, 0}, brace[4] = {1, 0, 0, 0};
  for (int s = 0; s < 4; ++s) {
    int v = new_voice("Part", s, s);
    Drosa print = find_next_kind(PRINT, piece_start[v]);
    print->set(xfirst_bracket, bracket[s]);
    print->set(xfirst_brace, brace[s]);
    add_note(v, WHOLE);
    add_bar(v);
  }
  format();
  ASSERT_EQ(std::vector<int32_t>({middle(0), middle(1), middle(2), middle(3)}),
            std::vector<int32_t>({7320, 6520, 5720, 4920}));
  EXPECT_EQ(dump({10}).substr(0, 5 * 26),
            "L10 500,7419 5720,7419 w2\nL10 500,7369 5720,7369 w2\nL10 500,7319 5720,7319 w2\n"
            "L10 500,7269 5720,7269 w2\nL10 500,7219 5720,7219 w2\n");
  // The brace spans 7420 down to 6420 (h 1000): the music font's brace at an em of 1000 (its
  // size 25), 82 wide, half a space left of the bracket line since staff 1 has a bracket.
  EXPECT_EQ(dump({12, 13, 14, 15, 16, 39, 40, 41, 42, 43}),
            "C39 353,7170 -3:167\n"
            "L13 466,6620 516,6670 w14\nL14 460,6620 460,6420 w20\nL16 466,6420 516,6370 w14\n"
            "L13 466,5820 516,5870 w14\nL14 460,5820 460,5620 w20\nL15 460,5620 460,5020 w20\n"
            "L14 460,5020 460,4820 w20\nL16 466,4820 516,4770 w14\n"
            "L12 500,7420 500,4820 w2\n");
  // Its ink reaches from the upper staff's top line to the lower's bottom line, a space wide
  // in the middle stroke's place, clear of the bracket (its line from 450 to 470).
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind != GE_CHAR || e->get(xgc_var) != 39) continue;
    GEInkBox ink;
    ASSERT_TRUE(ge_ink_box(e, &ink));
    EXPECT_NEAR(ink.top, 7420, 10);
    EXPECT_NEAR(ink.bottom, 6420, 10);
    EXPECT_GT(ink.right - ink.left, 60);
    EXPECT_LT(ink.right, 450);
  }
  save_page("staves.png", 4);
}

TEST_F(PlotStaves, OneStaffSystemsAndManyLines) {
  struct Case {
    int bar_at_left, bracket;  // parameter 706, the staff's bracket
    const char* drawn;
  } cases[] = {
      {0, 0, ""},
      {0, 2, ""},
      {0, 1, "13 14 16 "},
      {1, 0, "13 14 16 12 "},  // a bracket going on ends on the system's last staff
      {1, 2, "12 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bar_at_left * 10 + c.bracket);
    TearDown();
    SetUp();
    param[P_DRAW_BARLINE_AT_LEFT_OF_SINGLE_STAFF_SYSTEM].value.set_integer(c.bar_at_left);
    int v = new_voice("Solo", 0, 0);
    find_next_kind(PRINT, piece_start[v])->set(xfirst_bracket, c.bracket);
    add_note(v, WHOLE);
    format();
    std::string vars;
    for (Drosa e = GE_head->xnext; e; e = e->xnext)
      if (e->xkind == GE_LINE && e->get(xgl_var) >= 12 && e->get(xgl_var) <= 16)
        vars += std::to_string(e->get(xgl_var)) + " ";
    EXPECT_EQ(vars, c.drawn);
  }
  // Lines beyond the twelfth take the first line's width.
  TearDown();
  SetUp();
  param[P_WIDTH_OF_FIRST_STAFF_LINE_OR_B_FLAT_IN_PIANO_TAB].value.set_integer(4);
  param[P_WIDTH_OF_TWELFTH_STAFF_LINE].value.set_integer(6);
  int v = new_voice("Solo", 0, 0);
  find_next_kind(PRINT, piece_start[v])->set(xslines, 14);
  add_note(v, WHOLE);
  format();
  std::string widths;
  for (Drosa e = GE_head->xnext; e; e = e->xnext)
    if (e->xkind == GE_LINE && e->get(xgl_var) == 10) widths += std::to_string(e->get(xgl_width));
  EXPECT_EQ(widths, "42222222222644");
}

// ---- Signs ------------------------------------------------------------------------------------
// Treble clef: the middle line is position 42; a key accidental at position q has y middle +
// (q - 42) x 25, less 20 (the glyph's offset). Glyphs: treble clef 113 and bass change 121 of
// the second music font (offset -50); sharp 102, flat 115, time digits 193 ("1"), 170 ("2"),
// 165 ("8"), common time 208 (offset -70) of the first.

TEST_F(PlotSigns, ClefKeyAndTimeAtTheStartAndAsChanges) {
  int v = new_voice("Flute", 0, 0);
  Drosa clef = add_clef(v, 0);
  Drosa key = key_of(v, {10, 7});  // F sharp (position 45), C sharp (42)
  Drosa time = add_timesig(v, 12, 8);
  add_note(v, WHOLE);
  Drosa bar = add_bar(v);
  Drosa common = add_timesig(v, 4, 4);
  common->set(xtimesymbol, 2);
  Drosa flats = key_of(v, {6, 2, 5});  // B flat (41), E flat (44), A flat (40)
  add_note(v, HALF);
  Drosa bass = add_clef(v, 1);
  bass->set(xclefchange, 1);
  add_note(v, HALF);
  add_bar(v);
  format();
  const int32_t m = middle(0), k = key->get(xkeyx), t = time->get(xtimex);
  const int32_t f = flats->get(xkeyx);
  EXPECT_EQ(
      dump({26, 52, 53, 55, 58}),
      // Twelve: its digits side by side, the eight centred under them; sharps 10 + 60
      // apart.
      fmt("C53 %ld,%ld -1:193\nC53 %ld,%ld -1:170\n", t, m, t + 80, m) +
          fmt("C53 %ld,%ld -1:165\n", t + 40, m - 100) +
          fmt("C58 %ld,%ld -1:102\nC58 %ld,%ld -1:102\n", k, m + 55, k + 70, m - 20) +
          fmt("C52 %ld,%ld -2:113\n", clef->get(xclefx), m - 50) +
          // After the bar: time, key (flats 10 + 42 apart), bar, in that order.
          fmt("C55 %ld,%ld -1:208\n", common->get(xtimex), m - 70) +
          fmt("C58 %ld,%ld -1:115\nC58 %ld,%ld -1:115\n", f, m - 45, f + 52, m + 30) +
          fmt("C58 %ld,%ld -1:115\n", f + 104, m - 70) +
          fmt("L26 %ld,%ld %ld,%ld w2\n", bar->get(xbarx), m + 100, bar->get(xbarx), m - 100) +
          fmt("C52 %ld,%ld -2:121\n", bass->get(xclefx), m - 50) +
          fmt("L26 5720,%ld 5720,%ld w2\n", m + 100, m - 100));
  save_page("signs.png", 4);
}

// What a user or a damaged file can set: a time signature of 100 beats, a clef type beyond the
// table.
TEST_F(PlotSigns, OutOfRangeSettingsAreDrawnWithoutReadingPastTables) {
  Drosa clef = NIL, time = NIL;
  for (int s = 0; s < 2; ++s) {
    int v = new_voice("Piano", s, s);
    find_next_kind(PRINT, piece_start[v])->set(xfirst_brace, s == 0 ? 1 : 0);
    Drosa c = add_clef(v, 15), t = add_timesig(v, 100, 4);
    add_note(v, WHOLE);
    if (s == 0) clef = c, time = t;
  }
  format();
  EXPECT_EQ(take_reports().empty(), false);  // the layout's unknown clef type
  // 100 shows all its digits; the clef is a treble clef.
  const int32_t m = middle(0), t = time->get(xtimex);
  EXPECT_NE(dump({53}).find(fmt("C53 %ld,%ld -1:193\nC53 %ld,%ld -1:188\nC53 %ld,%ld -1:188\n", t,
                                m, t + 80, m, t + 160, m) +
                            fmt("C53 %ld,%ld -1:162\n", t + 40, m - 100)),
            std::string::npos);
  EXPECT_NE(dump({52}).find(fmt("C52 %ld,%ld -2:113\n", clef->get(xclefx), m - 50)),
            std::string::npos);
}

// Two staves, three systems: a bar with a bar separator (not joined), a repeat with wings
// and dots on both sides, a thin-thick bar; then an unnumbered bar and one that restarts the
// count at 10.
TEST_F(PlotSigns, BarLinesRepeatsNumbersAndTheTitle) {
  Drosa repeat = NIL;
  for (int s = 0; s < 2; ++s) {
    int v = new_voice("Piano", s, s);
    add_clef(v, s);
    add_note(v, WHOLE);
    add_bar(v);
    if (s == 0) add(v, BARSEP);
    add_note(v, WHOLE);
    Drosa bar = add_bar(v);
    bar->set(xdouble, 1);
    bar->set(xrepeat_end, 1);
    bar->set(xrepeat_start, 1);
    bar->set(xbarthick, 1);  // the wings
    if (s == 0) repeat = bar;
    add_note(v, WHOLE);
    add_bar(v)->set(xdouble, 2);
    add_system_break(v);
    add_clef(v, s);
    add_note(v, WHOLE);
    add_bar(v)->set(xunnumbered, 1);
    add_note(v, WHOLE);
    Drosa restart = add_bar(v);
    restart->set(xrestart_number, 1);
    restart->set(xbarnumber, 10);
    add_note(v, WHOLE);
    add_bar(v);
    add_system_break(v);
    add_clef(v, s);
    add_note(v, WHOLE);
  }
  piece_fsspec = "/home/user/Sonatina.vesk";
  set_options_i16(1, 68, 1);  // the title line shows the file name
  format();
  const int32_t x = repeat->get(xbarx), m0 = middle(0), m1 = middle(1);
  std::string expected;
  for (int p : {1, 0}) {  // the staff below first, so that the one above knows it may join
    const int32_t m = p ? m1 : m0;
    expected += fmt("C56 %ld,%ld -1:80\n", x, m - 90);
    for (int i = 0; i < 3; ++i) {
      const int32_t at = x + 40 + (i == 0 ? 0 : i == 1 ? 20 : 60);
      expected += fmt("L%ld %ld,%ld %ld,%ld", 26 + i, at, m + 100, at, m - 100) +
                  (i == 1 ? " w20\n" : " w2\n");
      if (p == 0)
        expected += fmt("L%ld %ld,%ld %ld,%ld", 29 + i, at, m - 100, at, m1 + 100) +
                    (i == 1 ? " w20\n" : " w2\n");
    }
    // Wings (14 wide, 50 long) from the thick line at x + 60: outward over the dots after,
    // back over the dots before; at the top of the first staff, the bottom of the last.
    const int32_t y = p ? m - 100 : m + 100, s = p ? -1 : 1;
    expected +=
        fmt("L%ld %ld,%ld %ld,%ld w14\n", p ? 34 : 32, x + 32, y - s * 28, x + 138, y + s * 78) +
        fmt("L%ld %ld,%ld %ld,%ld w14\n", p ? 35 : 33, x + 94, y - s * 28, x - 12, y + s * 78) +
        fmt("C57 %ld,%ld -1:80\n", x + 120, m - 90);
  }
  EXPECT_EQ(
      dump({26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 56, 57}).find(expected) != std::string::npos,
      true)
      << dump({26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 56, 57}) << "\nexpected\n"
      << expected;
  // The bar with a separator stands alone on the upper staff; the others join.
  const std::string joins = dump({29, 30, 31});
  EXPECT_EQ(std::count(joins.begin(), joins.end(), '\n'), 3 + 2 + 3);
  // The page's line a quarter inch of the paper and its descent above the paper's foot (it
  // once stood 4 points above it, at the cut edge of a file's sheet).
  EXPECT_EQ(dump({8, 9}),
            "T8 480,7500 1\nT9 2671,207       Sonatina.vesk\nT8 480,5900 4\n"
            "T8 480,4300 11\n");
  save_page("bars.png", 4);
}

// ---- Rests ------------------------------------------------------------------------------------

TEST_F(PlotMeasureRests, WholeAndMultiMeasureRestsAreCentredInTheirMeasures) {
  int v = new_voice("Flute", 0, 0);
  Drosa clef = add_clef(v, 0);
  Drosa time = add_timesig(v, 4, 4);
  Drosa first = add_rest(v, WHOLE);
  Drosa bar1 = add_bar(v);
  add_note(v, WHOLE);
  Drosa bar2 = add_bar(v);
  Drosa many = add_rest(v, WHOLE);
  for (int i = 0; i < 12; ++i) {
    if (i) add_rest(v, WHOLE);
    add_bar(v);
  }
  Drosa after = find_prev_kind(BAR, voice_end(v));
  add_note(v, WHOLE);
  add_bar(v);
  format();
  const int32_t m = middle(0);
  // The first measure begins after the clef (150 wide) and the time signature (80 wide).
  const int32_t begins = std::max(clef->get(xclefx) + 150, time->get(xtimex) + 80);
  const int32_t x1 = (bar1->get(xbarx) + begins + 1) / 2 - rest_width(first, 0) / 2;
  const int32_t x2 = (after->get(xbarx) + bar2->get(xbarx) + 1) / 2 - rest_width(many, 0) / 2;
  // Whole rest 81 and multi-measure rest 79 (offset -90) on the middle line; the count 12 as
  // "1" (193) and "2" (170), 80 apart, centred 75 right of the rest, 110 above the middle.
  EXPECT_EQ(dump({44, 46}),
            fmt("C46 %ld,%ld -1:81\nC46 %ld,%ld -1:79\n", x1, m - 90, x2, m - 90) +
                fmt("C44 %ld,%ld -1:170\nC44 %ld,%ld -1:193\n", x2 + 75, m + 110, x2 - 5, m + 110));
  save_page("rests.png", 4);
}

// ---- The beam buffer --------------------------------------------------------------------------

TEST_F(PlotBeamBuffer, ChordsAndBeamGroupsReachTheDrawersInColumnOrder) {
  int v = new_voice("Flute", 0, 0);
  add_note(v, QUARTER, 40);
  add_note(v, EIGHTH, 40);
  add_note(v, EIGHTH, 41);
  add_note(v, QUARTER, 40);
  add_grace(v, EIGHTH);
  add_grace(v, EIGHTH);
  add_note(v, QUARTER, 40);
  // Two voices in one layer of staff 1, stems apart: each chord reaches the buffer as two.
  int a = new_voice("Horn", 0, 1), b = new_voice("Horn", 1, 1);
  for (int i = 0; i < 2; ++i) {
    add_note(a, HALF, 40)->set(xdir, 2);
    add_note(b, HALF, 33)->set(xdir, 1);
  }
  format();
  EXPECT_EQ(drawn, std::vector<std::string>({"cd 0.1 s0", "cd 2.1 s1", "cd 1.1 s1",
                                             "beam 0.2-0.3 s0", "cd 0.4 s0", "cd 2.2 s1",
                                             "cd 1.2 s1", "beam 0.5-0.6 s0", "cd 0.7 s0"}));
}

// A beam whose next chord stands on the staff below moves to that staff's entry after its
// column and is drawn there whole (the switching note ends its staff's chain: the layout
// once ended the beam there).
TEST_F(PlotBeamBuffer, ABeamGoingOnAtTheStaffBelowIsDrawnWhole) {
  int v = new_voice("Piano", 0, 0);
  add_beaming(v, {32768});
  add_note(v, EIGHTH, 40);
  add_note(v, EIGHTH, 41);
  add_print(v, 1, 1)->set(xlhrh, int16_t(1));
  add_note(v, EIGHTH, 30);
  add_note(v, EIGHTH, 31);
  format();
  EXPECT_EQ(drawn, std::vector<std::string>({"beam 0.1-0.4 s1"}));
}

TEST_F(PlotBeamBuffer, BrokenAndUnterminatedBeamsAreDrawnWithWhatTheyHold) {
  int v = new_voice("Flute", 0, 0);
  Drosa q1 = add_note(v, QUARTER, 40);
  Drosa e1 = add_note(v, EIGHTH, 40);
  add_note(v, EIGHTH, 40);
  Drosa q2 = add_note(v, QUARTER, 40);
  format();
  drawn.clear();
  beam_buffer_reset();
  endchord(e1, e1, 0, 0);  // opens a beam of stems up
  testing::internal::CaptureStdout();
  print_beam_buffer();
  EXPECT_NE(testing::internal::GetCapturedStdout().find(
                "\nContents of the beam buffer:\nBeam: pstaff 0, layer 0, dir 2, grace 0; first "),
            std::string::npos);
  endchord(q2, q2, 0, 0);  // not the beam's next chord: the beam is drawn first
  for (int i = 0; i < 2; ++i) {
    endchord(e1, e1, 0, 0);
    check_beam_buffer();  // drawn with what it holds, no fault of the program
  }
  endchord(q1, q1, -1, 0);
  EXPECT_EQ(drawn,
            std::vector<std::string>({"beam 0.2 s0", "cd 0.4 s0", "beam 0.2 s0", "beam 0.2 s0"}));
  std::vector<std::string> texts;
  for (const Report& r : take_reports()) texts.push_back(r.text);
  EXPECT_EQ(texts, std::vector<std::string>({"bad pstaff in endchord (spacing2.c)"}));
}

}  // namespace
