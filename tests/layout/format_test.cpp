// format_test.cpp: the page formatter.
//   Distribution.*: the middle lines of the staves: one staff, natural distances, staves
//                   compressed to fit, distances between systems, nothing to share; distances
//                   a system changes
//   Split.*:        more than 64 staves on a page (said once for a whole piece); a first
//                   system that alone needs more
//   Interrupts.*:   which waiting input stops a reformat of the same page, and that another
//                   page always completes
//   ScreenCopies.*: what the screen shows after a format
//   Carry.*:        signs carried from system to system and to the next page
//   Limits.*:       a system of more time points than 16 bits count; one longer than its
//                   times can count
#include "layout/format.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "layout/pages.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/events.h"
#include "platform/script.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

constexpr int PRINT_SCALE = 120;  // the page setup's scale in percent (print_record, i32)

constexpr int TOP_FIRST = 54, BOTTOM_FIRST = 62, SEPARATORS = 82;

class Formatting : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    script_begin();
    param_init();
    set_options_i32(1, OPTIONS_PAGE_HEIGHT, 100);  // 10 inches: 7200 layout units
    set_options_i32(1, TOP_FIRST, 400);
    set_options_i32(1, BOTTOM_FIRST, 400);
    // Printed at twice the size: the quarter inch of the paper that ink keeps from its edge is
    // 90 units of the page, clear of the first staff's clef under a top margin of 400.
    put_be32(print_record[1] + PRINT_SCALE, 200);
    set_options_i16(1, OPTIONS_FIRST_PAGE, 1);
    set_options_i16(1, OPTIONS_FIRST_MEASURE, 1);
    GE_head = newDrosa(GE_CHAR, 0);  // the view's list head, as opening a view makes it
  }
  void TearDown() override {
    platform_flush_events(EVERY_EVENT);
    platform_set_test_front_window(false, 0);
    clear_menu_keys();
    for (const std::string& fault : script_take_faults()) ADD_FAILURE() << fault;
    script_end();
    destroy_pstaff_lists();
    ModelTest::TearDown();
  }
};

using Distribution = Formatting;
using Split = Formatting;
using Interrupts = Formatting;
using ScreenCopies = Formatting;
using Carry = Formatting;
using Limits = Formatting;

// One voice per staff; every voice has `systems` systems of one note each.
void build_staves(int staves, int systems) {
  for (int s = 0; s < staves; ++s) {
    int v = new_voice("Choir", s, s);
    for (int sys = 0; sys < systems; ++sys) {
      if (sys) add_system_break(v);
      add_note(v, QUARTER);
    }
  }
}

std::string middle_lines() {
  std::string text;
  for (int p = 0; p < pstaff_count; ++p)
    text += (p ? " " : "") + std::to_string(staff_data[p].middle_y);
  return text;
}

std::vector<Report> take_level(int level) {
  std::vector<Report> found;
  for (const Report& r : take_reports())
    if (r.level == level) found.push_back(r);
  return found;
}

// ---- Distribution -------------------------------------------------------------------------
// The page is 7200 high; with first-page margins of 400 the first middle line is at 6800 and
// 6400 units are available.

TEST_F(Distribution, OneStaffStaysAtTheTopAndStavesAreCompressedButNeverSpread) {
  struct Case {
    const char* what;
    int staves, systems;
    int32_t staff_distance;  // parameter 129, points
    int16_t separators;
    int32_t top, bottom;
    std::string expected;
  } cases[] = {
      {"one staff", 1, 1, 80, 0, 400, 400, "6800"},
      {"natural distances fit", 3, 1, 80, 0, 400, 400, "6800 6000 5200"},
      {"twice too high: every distance halved", 17, 1, 80, 0, 400, 400,
       "6800 6400 6000 5600 5200 4800 4400 4000 3600 3200 2800 2400 2000 1600 1200 800 400"},
      {"between systems", 1, 2, 30, 0, 400, 400, "6800 6000"},
      {"between separated systems", 1, 2, 30, 1, 400, 400, "6800 5700"},
      {"no distances and margins beyond the page", 3, 1, 0, 0, 8000, 400, "-800 -800 -800"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    param[P_DEFAULT_DISTANCE_BETWEEN_THIS_VOICES_STAFF_AND_NEXT].value.set_integer(
        c.staff_distance);
    set_options_i16(1, SEPARATORS, c.separators);
    set_options_i32(1, TOP_FIRST, c.top);
    set_options_i32(1, BOTTOM_FIRST, c.bottom);
    build_staves(c.staves, c.systems);
    count_pages();
    ASSERT_EQ(format_page(1, 0), 1);
    EXPECT_EQ(middle_lines(), c.expected);
    for (int p = 0; p < pstaff_count; ++p)
      EXPECT_EQ(staff_data[p].screen_middle_y, staff_data[p].middle_y);
    TearDown();  // every case on a fresh piece
    SetUp();
  }
  // Printed at its size, the clef would reach within a quarter inch of the paper's top: the
  // staff stands lower.
  put_be32(print_record[1] + PRINT_SCALE, 100);
  build_staves(1, 1);
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
  EXPECT_LT(staff_data[0].middle_y, 6800);
  EXPECT_GE(staff_data[0].middle_y, 6700);
}

TEST_F(Distribution, DistancesChangedInASystemHoldBelowItAndTheSystemsAfter) {
  // Two staves, three systems of one note: the lower staff's voice changes the distance below
  // its system to 100 points in the second system, the upper staff's voice the distance below
  // its staff to 50 points in the third.
  build_staves(2, 3);
  auto change = [](int pindex, int v, int nth_note, int32_t points) {
    Drosa at = piece_start[v];
    for (int n = 0; n <= nth_note; ++n) at = find_next_kind(NOTE, at);
    Drosa templ = newDrosa(PARAM, 0);
    templ->set(xparam_index, int16_t(pindex));
    templ->set(xparam_stsize, int16_t(50));
    ParamValue value = param[pindex].value;
    value.set_integer(points);
    set_xparam_value(templ, value);
    check_and_insert_param(at, templ);
    destroyDrosa(templ);
  };
  change(P_DEFAULT_VERTICAL_DISTANCE_BETWEEN_SYSTEMS, 1, 1, 100);
  change(P_DEFAULT_DISTANCE_BETWEEN_THIS_VOICES_STAFF_AND_NEXT, 0, 2, 50);
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
  EXPECT_EQ(middle_lines(), "6800 6000 5200 4400 3400 2900");
}

// ---- Split ------------------------------------------------------------------------------------

TEST_F(Split, SeventyStavesAreSplitOnceAndThePageCountGrows) {
  build_staves(35, 2);  // two systems of 35 staves
  count_pages();
  ASSERT_EQ(page_count, 1);
  ASSERT_EQ(format_page(1, 0), 1);
  std::vector<Report> user = take_level(2);
  ASSERT_EQ(user.size(), 1u);
  EXPECT_EQ(user[0].text, "Too many staves on the page; the page will be split.");
  EXPECT_EQ(page_count, 2);
  EXPECT_EQ(system_count, 1);
  EXPECT_EQ(pstaff_count, 35);
  Drosa cut = find_next_kind(ENDSYST, piece_start[20]);
  EXPECT_TRUE(cut->get(xendpage));
  EXPECT_FALSE(is_NOTE(cut->xnext) && cut->xnext->xnext->xkind == NTDATA)
      << "what moved to the next page keeps no layout record";

  ASSERT_EQ(format_page(1, 0), 1);  // the page now fits: nothing more to say
  ASSERT_EQ(format_page(2, 0), 1);
  EXPECT_TRUE(take_reports().empty());
  EXPECT_EQ(pstaff_count, 35);
  count_pages();
  EXPECT_EQ(page_count, 2);
}

TEST_F(Split, AWholePieceFormatSaysOnceThatItSplitsPages) {
  build_staves(35, 4);  // each page holds one system of 35 staves
  count_pages();
  format_all_pages();
  EXPECT_EQ(take_level(2).size(), 1u);
  EXPECT_EQ(page_count, 4);
}

TEST_F(Split, AFirstSystemOfSeventyStavesKeepsItsFirst64AndIsNeverCutAway) {
  int high = new_voice("Flute", 0, 69);  // staff 70 of the system
  int low = new_voice("Oboe", 0, 0);
  for (int v : {high, low}) {
    add_note(v, QUARTER);
    add_system_break(v);
    add_note(v, QUARTER);
  }
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
  std::vector<Report> got = take_reports();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].text, "Too many staves on the page; the page will be split.");
  EXPECT_EQ(got[1].text, "format: trying to use 70 staves for system 1; max staves 64");
  EXPECT_EQ(pstaff_count, 64);
  EXPECT_EQ(system_count, 1);
  EXPECT_EQ(page_count, 2) << "the second system went to a page of its own, the first stayed";
  EXPECT_TRUE(find_next_kind(ENDSYST, piece_start[low])->get(xendpage));

  ASSERT_EQ(format_page(1, 0), 1);  // reformatting the same page says nothing again
  EXPECT_TRUE(take_reports().empty());
  EXPECT_EQ(page_count, 2);
}

// ---- Interrupts ---------------------------------------------------------------------------

EventRecord mouse_down(int window) {
  EventRecord e;
  e.what = EVENT_MOUSE_DOWN;
  e.window = window;
  return e;
}

EventRecord key(uint8_t c, uint16_t modifiers = 0) {
  EventRecord e;
  e.what = EVENT_KEY_DOWN;
  e.message = c;
  e.modifiers = modifiers;
  return e;
}

TEST_F(Interrupts, WaitingInputStopsAReformatOfTheSamePageOnly) {
  constexpr int PALETTE = 104;
  struct Case {
    const char* what;
    EventRecord event;
    int16_t mode;
    int32_t same_page;  // what a reformat of page 1 gives
  } cases[] = {
      {"a click in the menu bar", mouse_down(MENU_BAR_WINDOW), MUSIC_MODE, 0},
      {"a click in the front music window", mouse_down(MAIN_WINDOW_NUMBER), MUSIC_MODE, 0},
      {"a click in the palette", mouse_down(PALETTE), MUSIC_MODE, 0},
      {"a click in another window", mouse_down(120), MUSIC_MODE, 1},
      {"a click anywhere while editing text", mouse_down(120), TEXT_MODE, 0},
      {"an arrow key", key(KEY_UP), MUSIC_MODE, 0},
      {"a Command key of a menu item", key('s', MOD_COMMAND), MUSIC_MODE, 0},
      {"a Command key of no menu item", key('t', MOD_COMMAND), MUSIC_MODE, 1},
      {"a plain key (the piano window takes it)", key('x'), MUSIC_MODE, 0},
      {"an Option key no one takes", key('x', MOD_OPTION), MUSIC_MODE, 1},
  };
  int v = new_voice();
  add_note(v, QUARTER);
  add_system_break(v, true);
  add_note(v, QUARTER);
  count_pages();
  platform_set_test_front_window(true, MAIN_WINDOW_NUMBER);
  palette_window = PALETTE;
  set_menu_key('S', 129, 3);
  ASSERT_EQ(format_page(1, 0), 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MODE = c.mode;
    platform_post_event(c.event);
    Drosa shown_list = GE_head->xnext;
    EXPECT_EQ(format_page(1, 0), c.same_page);
    if (c.same_page == 0) {
      EXPECT_EQ(reformat_pending, 1);
      EXPECT_EQ(GE_head->xnext, shown_list) << "the old picture stays";
      EXPECT_EQ(format_page(2, 0), 1) << "another page is never interrupted";
      EXPECT_EQ(format_page(1, 0), 1) << "nor the first format after it";
    }
    EXPECT_EQ(reformat_pending, 0);
    EXPECT_EQ(format_interrupts_disabled(), 0);
    platform_flush_events(EVERY_EVENT);
  }
  MODE = MUSIC_MODE;
}

// ---- ScreenCopies ---------------------------------------------------------------------------

TEST_F(ScreenCopies, NotesInPrintChainsShowTheirHeadsAndOthersAreNotDrawn) {
  int v = new_voice();
  add_note(v, QUARTER);
  Drosa bar = add_bar(v);
  add_rest(v, QUARTER);
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
  int notes = 0;
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    if (p->xkind == BAR) EXPECT_EQ(p->get(xscrbarx), p->get(xbarx));
    if (p->xkind != NOTE) continue;
    ++notes;
    Drosa nt = p->xnext;
    ASSERT_EQ(nt->xkind, NTDATA);
    EXPECT_TRUE(is_visible_note(p)) << "every note of the page is in a print chain";
    if (is_visible_note(p)) {
      EXPECT_EQ(nt->get(xscrhdx), nt->get(xhdx));
      EXPECT_EQ(nt->get(xscrhdy), nt->get(xhdy));
    } else {
      EXPECT_EQ(nt->get(xscrhdx), NOT_DRAWN);
      EXPECT_EQ(nt->get(xscrhdy), NOT_DRAWN);
    }
  }
  EXPECT_EQ(notes, 2);
  EXPECT_NE(bar->get(xscrbarx), NOT_DRAWN);
  EXPECT_EQ(staff_data[0].screen_place, 1);
  EXPECT_EQ(GE_list_complete, 1);
  EXPECT_EQ(old_GE_head, NIL);
}

// ---- Carry ----------------------------------------------------------------------------------

TEST_F(Carry, AKeyAtASystemsEndIsInForceOnTheNextSystemAndPage) {
  int v = new_voice("Flute", 0, 0);
  int w = new_voice("Oboe", 0, 1);
  add_note(v, QUARTER);
  Drosa key_change = add_key(v, 2);
  add_note(w, QUARTER);
  for (int voice : {v, w}) {
    add_system_break(voice);
    add_note(voice, QUARTER);
    add_system_break(voice, true);
    add_note(voice, QUARTER);
  }
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
  EXPECT_EQ(voice_data[v].keysig, key_change) << "carried through the second system";
  EXPECT_EQ(voice_data[w].keysig, NIL) << "the other staff has no key";
  EXPECT_EQ(system_number, 2);
  ASSERT_EQ(format_page(2, 0), 1);
  EXPECT_EQ(voice_data[v].keysig, key_change) << "in force at the next page's start";
}

// The walk that finds a sign among a staff's chords passes over the chords of the staves
// between them; here a voice takes the key another voice of its staff changed, through
// systems whose chords alternate with those of two other staves.
TEST_F(Carry, AVoiceTakesTheKeyAnotherVoiceOfItsStaffChangedThroughTheSystemsAfter) {
  const int a = new_voice("Flute", 0, 0), b = new_voice("Flute", 1, 0);
  const int others[] = {new_voice("Oboe", 0, 1), new_voice("Horn", 0, 2)};
  for (int voice : {a, b, others[0], others[1]}) add_note(voice, QUARTER);
  Drosa key_change = add_key(a, 3);
  for (int voice : {a, b, others[0], others[1]}) {
    for (int system = 0; system < 3; ++system) {
      if (system) add_system_break(voice);
      for (int n = 0; n < 3; ++n) add_note(voice, QUARTER, 35 - voice);
    }
  }
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
  EXPECT_EQ(system_number, 3);
  EXPECT_EQ(voice_data[b].keysig, key_change) << "from the chords of its staff";
  for (int other : others) EXPECT_EQ(voice_data[other].keysig, NIL) << "another staff";
}

// ---- Limits -----------------------------------------------------------------------------------

TEST_F(Limits, EveryTimePointOfASystemPast16BitsKeepsANumberOfItsOwn) {
  int v = new_voice();
  add_clef(v, 0);
  add_timesig(v, 4, 4);
  const int notes = 32800;
  for (int i = 0; i < notes; ++i) add_note(v, SIXTEENTH, 32 + i % 2 * 4);
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
  int32_t expected = 0, out_of_order = 0;
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    if (p->xkind == NOTE) out_of_order += cddatptr(p, 0)->xnext->get(xchordNum) != expected++;
  EXPECT_EQ(out_of_order, 0);
  EXPECT_EQ(staff_data[0].chord_count, notes);
  EXPECT_TRUE(take_reports().empty()) << "squeezed beams are no fault";
}

TEST_F(Limits, ASystemLongerThanItsTimesCountEndsThereWithAMessage) {
  int v = new_voice();
  add_clef(v, 0);
  for (int i = 0; i < 400; ++i) make_tuplet(add_note(v, BREVE, 35, 2), 2, 63);
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
  std::vector<std::string> said;
  for (const Report& r : take_reports()) said.push_back(std::to_string(r.level) + " " + r.text);
  EXPECT_EQ(said, std::vector<std::string>{
                      "2 System 1 of page 1 lasts longer than 32043 whole notes, the most one "
                      "system can hold: the notes after that are left out of its layout."});
}

}  // namespace
