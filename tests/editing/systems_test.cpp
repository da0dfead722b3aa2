// tests/editing/systems_test.cpp: system and page breaks.
//   MeasureTable.*: the bars measured for breaking: runs of rest bars, the least width of a bar
//   BreakChoice.*:  the list of bars, the density cut, and a page too small for a system
//   Systems.*:      whole pieces broken into systems and pages through the Systems dialog
//   OneBreak.*:     a break made and removed at one note: the symbols there, repeat bar lines,
//                   restated clefs, refusals, undo
//   Pages.*:        Split Page, Combine with Next Page, and notes that print nowhere
#include "editing/systems.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/dialogs.h"
#include "platform/port.h"
#include "platform/script.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

constexpr int REST_BAR = 350;  // P_MINIMUM_WIDTH_OF_BAR_CONTAINING_ONLY_RESTS at staff size 50

class Breaks : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    script_begin();
    set_options_i32(1, OPTIONS_PAGE_WIDTH, 76);  // 7.6 inches, margins of 200: 5072 wide
    set_options_i32(1, OPTIONS_PAGE_HEIGHT, 101);
    set_options_float(1, OPTIONS_NOTE_SPACING, 0.7f);  // a new piece's spacing
    param_init();
    for (int margin : {22, 30, 34, 54, 58, 62, 88, 92}) set_options_i32(1, margin, 200);
    set_options_i16(1, OPTIONS_FIRST_MEASURE, 1);
    std::snprintf(ncontext_name[1], NCONTEXT_NAME_SIZE, "Score");
    GE_head = newDrosa(GE_CHAR, 0);
  }
  void TearDown() override {
    for (const std::string& fault : script_take_faults()) ADD_FAILURE() << "script: " << fault;
    EXPECT_EQ(script_pending(), 0);
    script_end();
    destroy_pstaff_lists();
    ModelTest::TearDown();
  }
};

using MeasureTable = Breaks;
using BreakChoice = Breaks;
using Systems = Breaks;
using OneBreak = Breaks;
using Pages = Breaks;

// Bars of notes: each string is one bar, "q" a quarter, "e" an eighth, "h" a half, "r" a
// quarter rest, "R" a whole rest; a system break follows a bar marked "/".
void add_bars(int v, const std::vector<std::string>& bars) {
  for (size_t b = 0; b < bars.size(); ++b) {
    for (char c : bars[b]) {
      if (c == 'q') add_note(v, QUARTER);
      if (c == 'e') add_note(v, EIGHTH);
      if (c == 'h') add_note(v, HALF);
      if (c == 'r') add_rest(v, QUARTER);
      if (c == 'R') add_rest(v, WHOLE);
    }
    if (b + 1 < bars.size()) add_bar(v);
    if (bars[b].back() == '/') add_system_break(v);
  }
}

// The bars at which the voice's systems begin, as the Systems dialog lists them: "1,5;9".
std::string breaks_of(int v) {
  std::string text = "1";
  int bar = 1;
  for (Drosa p : voice_nodes(v)) {
    if (effective_kind(p) == BAR) ++bar;
    if (effective_kind(p) == ENDSYST && !p->get(xstartpiece) && !p->get(xendpiece))
      text += (p->get(xendpage) ? ";" : ",") + std::to_string(bar);
  }
  return text;
}

// The voice as symbols: n a note, r a rest, | a bar line, / a system break, // a page break,
// C a clef, K a key signature, T a time signature.
std::string layout_of(int v) {
  std::string text;
  for (Drosa p : voice_nodes(v)) {
    std::string t;
    switch (effective_kind(p)) {
      case NOTE:
        t = p->get(xrest) ? "r" : "n";
        break;
      case BAR:
        t = "|";
        break;
      case CLEF:
        t = "C";
        break;
      case KEYSIG:
        t = "K";
        break;
      case TIMESIG:
        t = "T";
        break;
      case ENDSYST:
        if (!p->get(xstartpiece) && !p->get(xendpiece)) t = p->get(xendpage) ? "//" : "/";
        break;
      default:
        break;
    }
    if (!t.empty()) text += (text.empty() ? "" : " ") + t;
  }
  return text;
}

std::vector<measure_record> measure(size_t capacity = 100) {
  voices_to_system(0, 0);
  voices_to_system_at_time(0, 0, 0);
  init_spacing_curve(piece_start[0]);
  std::vector<measure_record> table;
  EXPECT_EQ(get_meas_info(&table, capacity, {30, 60}, REST_BAR), 1);
  return table;
}

std::vector<std::string> report_texts() {
  std::vector<std::string> texts;
  for (const Report& r : take_reports()) texts.push_back(r.text);
  return texts;
}

Drosa nth_note(int v, int n) {
  for (Drosa p : voice_nodes(v))
    if (p->xkind == NOTE && n-- == 0) return p;
  return NIL;
}

void undo() {
  set_undo_mark(0);
  undo_redo(1);
}

TEST_F(MeasureTable, RestBarsInEveryVoiceMakeOneEntryOfARestBarsWidth) {
  std::vector<std::string> bars = {"qqqq", "qqqq", "qqqq", "qqqq", "R",    "R",
                                   "R",    "R",    "hh",   "qqqq", "qqqq", "e"};
  for (int v : {new_voice("Flute"), new_voice("Oboe", 0, 1)}) add_bars(v, bars);
  std::vector<measure_record> table = measure();
  ASSERT_EQ(table.size(), 9u);
  EXPECT_EQ(table[4].bar_number, 5);
  EXPECT_EQ(table[4].bars, 4);
  EXPECT_EQ(table[4].width, REST_BAR);
  EXPECT_EQ(table[5].bar_number, 9);
  EXPECT_EQ(table[5].staves, 2);
  EXPECT_GT(table[0].width, table[5].width) << "four quarters need more than two halves";
  EXPECT_EQ(table[8].width, REST_BAR) << "a bar of one eighth is as wide as a bar of rests";
  EXPECT_TRUE(table[0].starts_system && table[0].starts_page);
}

TEST_F(MeasureTable, BarLinesInOneVoiceOnlyAndSilentBarsAreRefused) {
  int flute = new_voice("Flute"), oboe = new_voice("Oboe", 0, 1);
  add_bars(flute, {"qqqq", "qqqq"});
  add_bars(oboe, std::vector<std::string>(14, "q"));
  std::vector<measure_record> table;
  voices_to_system(0, 0);
  voices_to_system_at_time(0, 0, 0);
  EXPECT_EQ(get_meas_info(&table, 1 + 10, {30, 60}, REST_BAR), 0) << "room for the flute's bars";
  EXPECT_EQ(report_texts(), std::vector<std::string>{"You have bar lines on some staves but not "
                                                     "on others!"});
  reset_all_globals();
  VeskMemory_Init();
  set_options_i16(1, OPTIONS_FIRST_MEASURE, 1);
  int v = new_voice();
  add_bars(v, {"qqqq", "|"});
  add_print(v, 1, -1);
  add_note(v, WHOLE);
  voices_to_system(0, 0);
  voices_to_system_at_time(0, 0, 0);
  EXPECT_EQ(get_meas_info(&table, 100, {30, 60}, REST_BAR), 0);
  EXPECT_EQ(report_texts(), std::vector<std::string>{"At bar 2 no voices are printing in this "
                                                     "notation context.  Add a part that prints "
                                                     "in bar 2."});
}

TEST_F(BreakChoice, ListOfBarsAndItsMistakes) {
  int v = new_voice();
  add_bars(v, std::vector<std::string>(12, "qqqq"));
  std::vector<measure_record> table = measure();
  ASSERT_EQ(parse_systems_list("1,5;9\n", table), 1);
  for (const measure_record& m : table)
    EXPECT_EQ(m.new_system * 10 + m.new_page, m.bar_number == 5   ? 10
                                              : m.bar_number == 9 ? 11
                                                                  : 0)
        << m.bar_number;
  const std::pair<const char*, const char*> mistakes[] = {
      {"1;0", "Measure number 0 is not allowed."},
      {"1,13", "Measure number 13 is not allowed."},
      {"1 5",
       "There is a problem in the list around 5.  Use only commas and semicolons between "
       "bar numbers."},
      {"x", "The list must start with a number."},
  };
  for (const auto& [list, message] : mistakes) {
    EXPECT_EQ(parse_systems_list(list, table), 0) << list;
    EXPECT_EQ(report_texts(), std::vector<std::string>{message});
  }
}

TEST_F(BreakChoice, DensityCarriesEachSystemsErrorIntoTheNext) {
  const int32_t S = 2000;
  std::vector<measure_record> table(4);
  for (measure_record& m : table) m.width = S / 2;
  SystemsChoice choice;
  choice.systems_per_page = 1;
  choice.density = 100;
  int32_t largest = 0, smallest = 0;
  systems_by_density(table, 2 * S, S, &choice, &largest, &smallest);
  EXPECT_EQ(choice.systems, 2);
  EXPECT_EQ(choice.pages, 2);
  EXPECT_EQ(largest, 100);
  EXPECT_EQ(smallest, 100);
  for (size_t i = 0; i < table.size(); ++i) EXPECT_EQ(table[i].new_system, i == 2) << i;
  // An overshoot no larger than the shortfall stays on the system.
  table = std::vector<measure_record>(3);
  table[0].width = 1400, table[1].width = 1200, table[2].width = 1400;
  systems_by_density(table, 4000, S, &choice, &largest, &smallest);
  EXPECT_EQ(table[1].new_system, 0) << "2600 overshoots 2000 by 600, short of it by 600";
}

TEST_F(BreakChoice, APageWithNoRoomForASystemIsRefused) {
  int v = new_voice();
  add_bars(v, {"qqqq", "qqqq"});
  set_options_i32(1, OPTIONS_PAGE_WIDTH, 5);  // narrower than its margins
  const std::string before = dump_voice(v);
  EXPECT_EQ(systems(piece_start[v], SYSTEMS_MENU, nullptr), 0);
  const std::vector<std::string> said = report_texts();
  EXPECT_EQ(said.size(), 1u) << testing::PrintToString(said);
  EXPECT_EQ(dump_voice(v), before);
}

// The dialog's items do not overlap; its picture is written for a look.
TEST_F(BreakChoice, TheSystemsDialogIsLaidOutWithoutOverlaps) {
  platform_set_param_texts("", "", "", "Score");
  DialogRef dialog = platform_open_dialog(15339, false);
  ASSERT_NE(dialog, nullptr);
  for (int item : {5, 7, 10, 12, 15}) platform_set_item_text(dialog, item, "100");
  platform_set_item_text(dialog, 19, "1,5,9;13,17");
  platform_set_item_value(dialog, 4, 1);
  for (int a = 1; a <= platform_item_count(dialog); ++a)
    for (int b = a + 1; b <= platform_item_count(dialog); ++b) {
      Rect x = platform_item_rect(dialog, a), y = platform_item_rect(dialog, b);
      EXPECT_TRUE(x.right <= y.left || y.right <= x.left || x.bottom <= y.top || y.bottom <= x.top)
          << "items " << a << " and " << b;
    }
  platform_draw_dialog(dialog);
  const std::filesystem::path build = std::filesystem::current_path().parent_path();
  if (std::filesystem::exists(build / "CMakeCache.txt")) {
    std::filesystem::create_directories(build / "test-output");
    port_save_png(platform_dialog_port(dialog),
                  (build / "test-output" / "systems-dialog.png").c_str());
  }
  platform_close_dialog(dialog);
}

// A piece imported with 20 system breaks and no page break keeps its systems, four to a page.
TEST_F(Systems, TwentyBreaksWithoutPagesArePagedKeepingTheSystems) {
  int flute = new_voice("Flute"), oboe = new_voice("Oboe", 0, 1);
  std::vector<std::string> bars;
  for (int s = 0; s < 21; ++s) bars.insert(bars.end(), {"qqqq", s < 20 ? "hh/" : "hh"});
  add_bars(flute, bars);
  add_bars(oboe, bars);
  script_type(15, "4");
  script_hit(1);
  EXPECT_EQ(systems(piece_start[flute], SYSTEMS_KEEP_SYSTEMS, nullptr), 1);
  report_texts();
  const std::string expected = "1,3,5,7;9,11,13,15;17,19,21,23;25,27,29,31;33,35,37,39;41";
  EXPECT_EQ(breaks_of(flute), expected);
  EXPECT_EQ(breaks_of(oboe), expected);
  EXPECT_EQ(page_count, 6);
  std::vector<ShownText> shown = script_take_shown();
  ASSERT_FALSE(shown.empty());
  EXPECT_NE(shown[0].text.find("Systems and pages of Score:"), std::string::npos);
}

// Every system of a broken piece holds about the nominal width (four tenths of the line) and
// so fits the line; every voice breaks at the same bars.
void expect_systems_fit(int voices) {
  const std::vector<measure_record> table = measure();
  const int32_t S = nominal_system_width(piece_start[0]);
  int64_t width = 0;
  int systems = 0;
  for (size_t i = 0; i <= table.size(); ++i) {
    if (i == table.size() || (i > 0 && table[i].starts_system)) {
      ++systems;
      EXPECT_LE(width, int64_t(S) * 5 / 2) << "system " << systems << " overflows the line";
      if (i < table.size()) EXPECT_GE(width, S / 2) << "system " << systems;
      width = 0;
    }
    if (i < table.size()) width += table[i].width;
  }
  EXPECT_GT(systems, 3);
  for (int v = 1; v < voices; ++v) EXPECT_EQ(breaks_of(v), breaks_of(0));
}

TEST_F(Systems, ALongMelodyIsBrokenToTheDensityAsked) {
  int v = new_voice();
  std::vector<std::string> bars;
  for (int i = 0; i < 60; ++i) bars.push_back(i % 3 ? "qqqq" : "eeeeeeee");
  add_bars(v, bars);
  script_hit(1);  // the density of 100 percent offered first
  script_hit(1);  // and the pages it rounds to
  EXPECT_EQ(systems(piece_start[v], SYSTEMS_NO_BREAKS, nullptr), 1);
  EXPECT_EQ(report_texts(),
            std::vector<std::string>{"The MusicXML has no systems or pagination data, so they "
                                     "must be determined.\n\n"});
  std::vector<ShownText> shown = script_take_shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_NE(shown[1].text.find("pages in the Score Notation Context.  Maximum density of any "
                               "system is "),
            std::string::npos);
  expect_systems_fit(1);
}

TEST_F(Systems, SeveralVoicesBreakTogetherAndRestBarsTakeLittleRoom) {
  int a = new_voice("Flute"), b = new_voice("Oboe", 0, 1), c = new_voice("Horn", 0, 2);
  std::vector<std::string> bars[3];
  for (int i = 0; i < 48; ++i) {
    const bool resting = i >= 20 && i < 30;
    bars[0].push_back(resting ? "R" : "qqqq");
    bars[1].push_back(resting ? "R" : "eeeeqq");
    bars[2].push_back(resting ? "R" : "hh");
  }
  add_bars(a, bars[0]);
  add_bars(b, bars[1]);
  add_bars(c, bars[2]);
  insertion_point = nth_note(a, 0);
  script_hit(1);
  script_hit(1);
  systems_command();
  expect_systems_fit(3);
  EXPECT_FALSE(insertion_point) << "the insertion point is cleared";
  EXPECT_EQ(undo_list_length(0), 0);
  EXPECT_EQ(last_formatted_page, 1) << "the page is formatted again";
}

TEST_F(Systems, MeasuresPerSystemAndSystemsPerPage) {
  int v = new_voice();
  std::vector<std::string> bars(10, "qqqq/");
  bars.back() = "qqqq";
  add_bars(v, bars);
  script_click(200, 75);  // in the measures field, which selects its radio button
  script_type(10, "3");
  script_type(12, "2");
  script_hit(1);
  EXPECT_EQ(systems(piece_start[v], SYSTEMS_NO_BREAKS, nullptr), 1);
  report_texts();
  EXPECT_EQ(breaks_of(v), "1,4;7,10");
}

// A voice whose values add up to a 128th more than its bar lines say (as a document's notes
// may) is a 128th late at every later bar: the systems still begin at the bars asked for.
TEST_F(Systems, VoicesOutOfStepWithinTheirBarsBreakAtTheirBarLines) {
  int a = new_voice("Flute"), b = new_voice("Oboe", 0, 1);
  add_bars(a, std::vector<std::string>(10, "qqqq"));
  for (int bar = 0; bar < 10; ++bar) {
    for (int i = 0; i < 4; ++i) add_note(b, QUARTER);
    if (bar == 1) add_note(b, 8);  // a 128th more than the bar holds
    if (bar < 9) add_bar(b);
  }
  script_click(200, 75);
  script_type(10, "3");
  script_type(12, "2");
  script_hit(1);
  EXPECT_EQ(systems(piece_start[a], SYSTEMS_NO_BREAKS, nullptr), 1);
  EXPECT_EQ(report_texts().size(), 1u) << "only what the Systems dialog's reason says";
  EXPECT_EQ(breaks_of(a), "1,4;7,10");
  EXPECT_EQ(breaks_of(b), breaks_of(a));
}

// A new notation context takes the Score's systems, with the Score's pages or n to a page.
TEST_F(Systems, ANewContextTakesTheScoresSystemsAndPages) {
  ncontext_count = 2;
  std::snprintf(ncontext_name[2], NCONTEXT_NAME_SIZE, "Parts");
  std::memcpy(options_struct[2], options_struct[1], OPTIONS_SIZE);
  int v = new_voice();
  add_print(v, 2, 0);
  for (int bar = 1; bar <= 8; ++bar) {
    add_bars(v, {"qqqq", "|"});
    if (bar % 2 == 0 && bar < 8) add_system_break(v, bar == 4, 1);
  }
  current_ncontext = 2;
  const std::pair<int, const char*> runs[] = {{17, "1,3;5,7"}, {14, "1;3;5;7"}};
  for (const auto& [radio, expected] : runs) {
    script_hit(radio);
    if (radio == 14) script_type(15, "1");
    script_hit(1);
    EXPECT_EQ(systems(piece_start[v], SYSTEMS_NEW_CONTEXT, nullptr), 1);
    EXPECT_EQ(report_texts(),
              std::vector<std::string>{"Since Parts is a new Notation Context, its systems and "
                                       "possible pagination need to be determined before you go "
                                       "on.\n\n"});
    EXPECT_EQ(breaks_of(v), expected);
  }
  current_ncontext = 1;
  EXPECT_EQ(breaks_of(v), "1,3;5,7") << "the Score keeps its own breaks";
}

// Breaks where the number of printing staves changes stay; the others are remade.
TEST_F(Systems, ABreakWhereTheStavesChangeStays) {
  int flute = new_voice("Flute"), oboe = new_voice("Oboe", 0, -1);
  std::vector<std::string> bars(14, "qqqq");
  bars[3] = bars[7] = "qqqq/";
  add_bars(flute, bars);
  add_bars(oboe, std::vector<std::string>(bars.begin(), bars.begin() + 8));
  add_print(oboe, 1, 1);  // the oboe prints from bar 9 on
  add_bars(oboe, std::vector<std::string>(bars.begin() + 8, bars.end()));
  Drosa oboe_break = find_next_kind(ENDSYST, find_next_kind(ENDSYST, piece_start[oboe]));
  link_after(newDrosa(BAR, 0), oboe_break->xback);  // the bar line before it, as the flute's
  script_hit(9);
  script_type(10, "3");
  script_type(12, "10");
  script_hit(1);
  EXPECT_EQ(systems(piece_start[flute], SYSTEMS_NO_BREAKS, nullptr), 1);
  report_texts();
  EXPECT_EQ(breaks_of(flute), "1,4,7,9,10,13");
  EXPECT_EQ(breaks_of(oboe), breaks_of(flute));
  // A listed page start where the kept break stands makes that break start a page.
  script_hit(18);
  script_type(19, "1,6;9");
  script_hit(1);
  EXPECT_EQ(systems(piece_start[flute], SYSTEMS_MENU, nullptr), 1);
  EXPECT_EQ(breaks_of(flute), "1,6;9");
  EXPECT_EQ(breaks_of(oboe), breaks_of(flute));
}

TEST_F(OneBreak, SymbolsAtTheBreakEndThePreviousSystem) {
  int v = new_voice();
  add_bars(v, {"qq", "qq"});
  Drosa at = nth_note(v, 2);
  for (int kind : {TIMESIG, KEYSIG, CLEF, CLEF})
    link_after(newDrosa(kind, 0), find_next_kind(BAR, piece_start[v]));
  const std::string before = dump_voice(v);
  EXPECT_EQ(layout_of(v), "n n | C C K T n n");
  insertion_point = at;
  set_undo_mark(1);
  split_system_command();
  EXPECT_EQ(layout_of(v), "n n C | K T / n n");
  EXPECT_EQ(at->xback->xkind, ENDSYST);
  EXPECT_EQ(report_texts(), std::vector<std::string>{"Removing extraneous CLEF node."});
  undo();  // brings back the second clef too, which was removed with undo
  EXPECT_EQ(dump_voice(v), before);
}

TEST_F(OneBreak, AStartRepeatBarLineStaysAfterTheBreakUnnumbered) {
  for (int end_dots : {0, 1}) {
    reset_all_globals();
    VeskMemory_Init();
    int v = new_voice();
    add_bars(v, {"qq", "qq"});
    Drosa bar = find_next_kind(BAR, piece_start[v]);
    bar->set(xrepeat_start, 1);
    bar->set(xrepeat_end, end_dots);
    bar->set(xdouble, 2);
    const std::string before = dump_voice(v);
    insertion_point = nth_note(v, 2);
    set_undo_mark(1);
    split_system_command();
    Drosa copy = find_next_kind(BAR, piece_start[v]);
    Drosa after = find_next_kind(BAR, copy);
    EXPECT_EQ(dump_node(copy, {}), end_dots ? "BAR :| style2" : "BAR");
    EXPECT_EQ(dump_node(after, {}), "BAR |: style2 unnumbered");
    EXPECT_EQ(layout_of(v), "n n | / | n n");
    undo();
    EXPECT_EQ(dump_voice(v), before);
  }
}

TEST_F(OneBreak, RestatedClefsComeAndGoWithTheBreak) {
  set_options_i16(1, OPTIONS_CLEF_AT_EACH_SYSTEM, 1);
  int v = new_voice();
  add_clef(v, 3);
  add_bars(v, {"qq", "qq", "qq"});
  insertion_point = nth_note(v, 2);
  split_system_command();
  EXPECT_EQ(layout_of(v), "C n n | / C n n | n n");
  combine_with_next_system_cb(nth_note(v, 0));
  EXPECT_EQ(layout_of(v), "C n n | n n | n n") << "the restated clef goes with the break";
  set_options_i16(1, OPTIONS_CLEF_AT_EACH_SYSTEM, 0);
  split_system_command();
  Drosa change = newDrosa(CLEF, 0);
  change->set(xclef, 4);
  link_after(change, nth_note(v, 2)->xback);
  combine_with_next_system_cb(nth_note(v, 0));
  EXPECT_EQ(layout_of(v), "C n n | C n n | n n") << "a real clef change stays";
}

TEST_F(OneBreak, RefusalsLeaveThePieceAsItWas) {
  int flute = new_voice("Flute"), oboe = new_voice("Oboe", 0, -1);
  add_bars(flute, {"qqqq/", "qqqq"});
  add_bars(oboe, {"hh/"});
  add_print(oboe, 1, 1);  // the oboe prints from the second system on
  add_bars(oboe, {"hh"});
  const std::string before = dump_voice(flute) + dump_voice(oboe);
  insertion_point = nth_note(flute, 0);
  combine_with_next_system_command();
  insertion_point = nth_note(flute, 1);
  split_system_command();
  EXPECT_EQ(report_texts(),
            (std::vector<std::string>{
                "You must use the Parts and Voices... menu option to make the number of staves "
                "the same in both systems before you combine systems!",
                "You cannot make a system start at a note which is not at a timing boundary for "
                "all voices.  Bar 1."}));
  EXPECT_EQ(dump_voice(flute) + dump_voice(oboe), before);
  // Over a group, said for the first such note only.
  insertion_point = NIL;
  page_start[flute] = piece_start[flute];
  page_start[oboe] = piece_start[oboe];
  for (int n : {1, 3, 5}) nth_note(flute, n)->set(xselected, 1);
  group_selected = 1;
  split_system_command();
  const std::vector<std::string> said = report_texts();
  EXPECT_EQ(said.size(), 1u) << testing::PrintToString(said);
  EXPECT_EQ(dump_voice(flute) + dump_voice(oboe), before);
}

TEST_F(Pages, SplitAndCombinePagesAtTheInsertionPoint) {
  int v = new_voice();
  add_bars(v, {"qqqq/", "qqqq/", "qqqq"});
  count_pages();
  insertion_point = nth_note(v, 4);
  set_undo_mark(1);
  split_page_command();
  EXPECT_EQ(breaks_of(v), "1;2,3");
  EXPECT_EQ(page_count, 2);
  EXPECT_FALSE(insertion_point);
  EXPECT_EQ(undo_list_length(0), 0);
  insertion_point = nth_note(v, 8);
  combine_with_next_page_command();
  EXPECT_EQ(breaks_of(v), "1,2;3") << "the systems from the insertion point on start a page";
  EXPECT_EQ(page_count, 2);
  combine_with_next_page_command();
  EXPECT_EQ(breaks_of(v), "1,2,3");
  EXPECT_EQ(page_count, 1);
}

TEST_F(Pages, NotesThatPrintNowhereBecomeRestsAfterAYes) {
  int v = new_voice();
  add_bars(v, {"qq", "qq"});
  invisible_notes_command();
  EXPECT_EQ(report_texts(), std::vector<std::string>{"All the notes in this piece are visible in "
                                                     "at least one notation context."});
  add_print(v, 1, -1);
  add_bars(v, {"qq", "qq"});
  script_hit(1);
  invisible_notes_command();
  EXPECT_EQ(layout_of(v), "n n | n n r r | r r");
  std::vector<ShownText> shown = script_take_shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].text.find("on 'Flute' may be around bar 2."), std::string::npos);
}

}  // namespace
