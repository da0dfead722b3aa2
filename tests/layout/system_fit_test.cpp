// system_fit_test.cpp: systems that hold more music than their staves take, cut into systems
// that fit, and pages that the new systems make too tall, cut too; each page goes to
// test-output/layout of the build tree.
//   SystemFit.*:       a long line of bars cut into even systems that pass the page checker,
//                      a short one left whole, one a little longer set with its least
//                      gaps rather than cut, also on a page fitted to the paper where
//                      the piece ends it, but cut where only the format does; a page of four staves
//                      whose cut systems no longer fit its height; a page whose staves a small
//                      squeeze lets hold one more system; a page cut for its height drawn as when
//                      formatted again; systems set with their least gaps going on as the page
//                      formatted again for them would
//   DocumentSystems.*: an imported document whose own systems hold more bars than fit
//                      its bar lines in one column on every staff when grace notes begin a
//                      bar of one of them; a page of a document that cannot hold its systems;
//                      a real fugue's systems set with their least gaps and a real piano
//                      piece's pages drawn again for their ink, each as the page formatted again
#include "layout/system_fit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/musicxml_services.h"
#include "graphics/ge_services.h"
#include "layout/format.h"
#include "layout/layout_globals.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "support/page_checker.h"
#include "support/page_fixture.h"
#include "support/page_image.h"
#include "support/piece_builder.h"
#include "support/real_scores.h"

namespace {

// Formats every page (the count may grow as pages are cut), writes each to
// test-output/layout/<name>-<page>.png and gives the rules the pages break (each broken rule
// is a failure).
std::vector<std::string> format_and_check(const std::string& name) {
  std::vector<std::string> rules;
  for (int32_t page = 1; page <= page_count; ++page) {
    EXPECT_EQ(format_page(page, 0), 1);
    save_drawn_page("layout", name + "-" + std::to_string(page) + ".png");
    for (const PageFault& f : check_page_elements(formatted_page_frame(page)))
      if (std::find(rules.begin(), rules.end(), f.rule) == rules.end()) {
        rules.push_back(f.rule);
        ADD_FAILURE() << name << " page " << page << ": " << f.rule << ": " << f.text;
      }
  }
  return rules;
}

class SystemFit : public LetterPageTest {
 protected:
  void SetUp() override {
    LetterPageTest::SetUp();
    read_header(nullptr);  // a new piece's margins and options
    voice_count = 0;       // and no voice yet
    set_options_i32(1, OPTIONS_PAGE_WIDTH, 85);
    set_options_i32(1, OPTIONS_PAGE_HEIGHT, 110);
    param_init();
    platform_init_fonts();
    ASSERT_EQ(offscreen_create(10, 85, 110, 0, 0), 1);
  }
  void TearDown() override {
    offscreen_dispose();
    LetterPageTest::TearDown();
  }
};

class DocumentSystems : public MusicXmlTest {
 protected:
  // Imports the real score of that name; the test is skipped when the real scores are not
  // beside the repository.
  void import_real_score(const std::string& name) {
    const std::filesystem::path path = real_scores_folder() / (name + ".musicxml");
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "the real scores are not beside it";
    platform_init_fonts();
    const std::string document = read_file(path);
    ASSERT_EQ(import_musicxml_memory(document.data(), document.size(), 1), 1) << name;
  }

  void TearDown() override {
    offscreen_dispose();
    MusicXmlTest::TearDown();
  }
};

// A voice on staff `staff` in G major and 4/4, with bars of eighths and sixteenths with
// accidentals; a system break after every `per_system` bars (none when 0), a page break when
// `pages`.
int eighths_voice(int staff, int bars, int per_system = 0, bool pages = false) {
  const int v = new_voice("Violin", 0, staff);
  add_clef(v, 0);
  Drosa key = add_key(v, 1);
  key->set(xkeysig_entry, 0, uint8_t(3 + 7));
  key->set(xkeycnt, 1);
  add_timesig(v, 4, 4);
  for (int bar = 0; bar < bars; ++bar) {
    if (per_system && bar && bar % per_system == 0) add_system_break(v, pages);
    for (int i = 0; i < 6; ++i)
      add_note(v, EIGHTH, 30 + (bar + i + staff) % 7)->set(xacc, 1 + i % 4);
    for (int i = 0; i < 4; ++i) add_note(v, SIXTEENTH, 32 + (bar + i) % 5);
    add_bar(v);
  }
  return v;
}

TEST_F(SystemFit, ALongLineOfBarsIsCutIntoEvenSystemsThatFit) {
  const int v = eighths_voice(0, 24);
  EXPECT_EQ(format_and_check("long-line"), std::vector<std::string>{});
  const std::vector<int> bars = bars_per_system(v);
  ASSERT_GT(bars.size(), 3u);
  const auto [fewest, most] = std::minmax_element(bars.begin(), bars.end());
  EXPECT_LE(*most - *fewest, 1) << "the parts are as even as the bars allow";
  EXPECT_EQ(page_count, 1);
  take_reports();
}

TEST_F(SystemFit, AShortLineStaysWhole) {
  const int v = eighths_voice(0, 3);
  EXPECT_EQ(format_and_check("short-line"), std::vector<std::string>{});
  EXPECT_EQ(bars_per_system(v).size(), 1u);
  take_reports();
}

TEST_F(SystemFit, ALineItsPieceEndsIsSetWithItsLeastGapsRatherThanCut) {
  // Five bars of eighths and sixteenths with accidentals, wider packed than a squeeze of the
  // staff takes back: the line was cut in two. With the gaps behind its notes and signs at
  // their least it holds every bar, heads and accidentals clear of each other (the page
  // checker), no head nearer the next than its own width and a fifth of a space.
  const int v = eighths_voice(0, 5);
  EXPECT_EQ(format_and_check("least-gaps"), std::vector<std::string>{});
  EXPECT_EQ(bars_per_system(v), std::vector<int>{5});
  std::vector<int32_t> heads;
  for (Drosa e = GE_head->xnext; e; e = e->xnext)
    if (e->xkind == GE_CHAR && !e->get(xgscreen) && e->get(xgc_var) == 46)
      heads.push_back(e->get(xgc_x));
  std::sort(heads.begin(), heads.end());
  ASSERT_EQ(heads.size(), 50u);
  for (size_t k = 1; k < heads.size(); ++k)
    EXPECT_GE(heads[k] - heads[k - 1], 60 + 10) << "head " << k;
  take_reports();
}

// A piece that breaks its systems but not its pages (its page fitted to the paper, as the
// import fits a document's): its systems of five bars were cut at once, as if the format had
// ended them. Set with their least gaps they hold their bars; the same bars in one system that
// no break of the piece's ends are still cut, squeezed as the format's own lines are.
TEST_F(SystemFit, ASystemItsPieceEndsOnAPageFittedToThePaperIsSetWithItsLeastGaps) {
  const int v = eighths_voice(0, 10, 5);
  fit_page_to_paper(piece_start[v]);
  EXPECT_EQ(format_and_check("fitted-chosen"), std::vector<std::string>{});
  EXPECT_EQ(bars_per_system(v), (std::vector<int>{5, 5}));
  take_reports();
}

TEST_F(SystemFit, ALineNoBreakOfItsPieceEndsOnAPageFittedToThePaperIsCut) {
  const int v = eighths_voice(0, 5);
  fit_page_to_paper(piece_start[v]);
  EXPECT_EQ(format_and_check("fitted-own"), std::vector<std::string>{});
  EXPECT_GT(bars_per_system(v).size(), 1u);
  take_reports();
}

TEST_F(SystemFit, APageThatItsCutSystemsMakeTooTallGoesOnOnPagesOfItsOwn) {
  for (int staff = 0; staff < 4; ++staff) eighths_voice(staff, 30, 15);
  EXPECT_EQ(format_and_check("tall-page"), std::vector<std::string>{});
  EXPECT_GT(page_count, 1);
  take_reports();
}

TEST_F(SystemFit, SystemsThatAPageCannotHoldGoOnAtTheTopOfTheNextPage) {
  // Four pages of one system each, every system cut in parts: what a page cannot hold once
  // became a page of its own, leaving pages of one system between full ones.
  for (int staff = 0; staff < 4; ++staff) eighths_voice(staff, 48, 12, true);
  count_pages();
  EXPECT_EQ(format_and_check("carried-systems"), std::vector<std::string>{});
  std::vector<int> systems{1};  // of each page
  for (Drosa p = piece_start[0]->xnext; p; p = p->xnext) {
    if (effective_kind(p) != ENDSYST || p->get(xendpiece)) continue;
    if (p->get(xendpage))
      systems.push_back(1);
    else
      ++systems.back();
  }
  ASSERT_EQ(int(systems.size()), page_count);
  ASSERT_GT(page_count, 2);
  for (size_t k = 1; k + 1 < systems.size(); ++k)
    EXPECT_EQ(systems[k], systems[0]) << "page " << k + 1 << " is as full as the first";
  EXPECT_LE(systems.back(), systems[0]);
  take_reports();
}

TEST_F(SystemFit, ASystemSetWithItsLeastGapsGoesOnAsThePageFormattedAgainWould) {
  // Two staves of systems the piece ends after five bars each, every one set with its least
  // gaps: each goes on from the records its passes made before its spacing, with the systems
  // above it as they stand, and the page is what formatting it again for each draws.
  eighths_voice(0, 15, 5);
  eighths_voice(1, 15, 5);
  for (const int keep : {0, 1}) {
    ASSERT_EQ(format_page(1, 0), 1);  // the records there, for a format that keeps them
    respace_systems_in_place(true);
    ASSERT_EQ(format_page(1, keep), 1);
    EXPECT_EQ(systems_respaced_in_place(), 3) << "keep " << keep;
    const std::string in_place = drawn_page();
    respace_systems_in_place(false);
    ASSERT_EQ(format_page(1, keep), 1);
    EXPECT_EQ(systems_respaced_in_place(), 0);
    EXPECT_EQ(in_place, drawn_page()) << "keep " << keep;
    respace_systems_in_place(true);
  }
  EXPECT_EQ(format_and_check("least-gaps-in-place"), std::vector<std::string>{});
  take_reports();
}

TEST_F(SystemFit, APageCutForItsHeightIsDrawnAsWhenFormattedAgain) {
  // The pages of carried systems, cut for their height as they are formatted: each goes on in
  // the same format with the records of the systems it keeps, and is drawn and placed as a
  // second format of it draws and places it.
  for (int staff = 0; staff < 4; ++staff) eighths_voice(staff, 48, 12, true);
  count_pages();
  for (int32_t page = 1; page <= page_count; ++page) {
    ASSERT_EQ(format_page(page, 0), 1);
    const std::string cut = drawn_page();
    ASSERT_EQ(format_page(page, 0), 1);
    EXPECT_EQ(cut, drawn_page()) << "page " << page;
  }
  EXPECT_GT(page_count, 4) << "no page was cut for its height";
  take_reports();
}

TEST_F(SystemFit, APageHoldsASystemItsStavesMoveALittleCloserTogetherFor) {
  // Three systems of two staves, 600 apart within a system and 900 between systems: the last
  // staff stands 3600 below the first. A page that lacks less than an eighth of that keeps
  // the third system, squeezing its staves; one that lacks more gives it to the next page.
  const std::vector<int32_t> staves{2, 2, 2};
  for (int p = 0; p < 6; ++p) staff_data[p].distance_below = p % 2 ? 900 : 600;
  EXPECT_EQ(first_system_too_low(staves, 3600), 0);
  EXPECT_EQ(first_system_too_low(staves, 3300), 0);
  EXPECT_EQ(first_system_too_low(staves, 3200), 0);
  EXPECT_EQ(first_system_too_low(staves, 3100), 2);
  EXPECT_EQ(first_system_too_low(staves, 1000), 1) << "the first system is never cut off";
}

TEST_F(DocumentSystems, SystemsOfADocumentThatHoldMoreBarsThanFitAreCutIntoSystemsThatDo) {
  platform_init_fonts();
  ASSERT_EQ(import_fixture("systems_too_full.xml", 1), 1);
  ASSERT_EQ(offscreen_create(10, options_i32(current_ncontext, OPTIONS_PAGE_WIDTH),
                             options_i32(current_ncontext, OPTIONS_PAGE_HEIGHT), 0, 0),
            1);
  EXPECT_EQ(format_and_check("systems-too-full"), std::vector<std::string>{});
  EXPECT_GT(bars_per_system(0).size(), 2u) << "two systems of eight bars in the document";
  take_reports();
}

// A fugue whose systems are its own, eight of them set with their least gaps and some cut even
// so: each page is what formatting it again for those systems draws.
TEST_F(DocumentSystems, SystemsOfARealFugueSetWithTheirLeastGapsGoOnAsThePageFormattedAgain) {
  import_real_score("bach-wtc1-fugue-no12-bwv857");
  if (IsSkipped() || HasFatalFailure()) return;
  int respaced = 0;
  for (int32_t page = 1; page <= page_count; ++page) {
    respace_systems_in_place(false);
    ASSERT_EQ(format_page(page, 0), 1);  // the systems cut as they must be
    respace_systems_in_place(true);
    ASSERT_EQ(format_page(page, 0), 1);
    respaced += systems_respaced_in_place();
    const std::string in_place = drawn_page();
    respace_systems_in_place(false);
    ASSERT_EQ(format_page(page, 0), 1);
    EXPECT_EQ(in_place, drawn_page()) << "page " << page;
  }
  respace_systems_in_place(true);
  EXPECT_GT(respaced, 0);
  take_reports();
}

// A piano piece whose staves stand apart once the marks between them are drawn, its beams
// between the staves placed anew: each page drawn again from what its systems' passes left is
// the page formatted again.
TEST_F(DocumentSystems, PagesOfARealPianoPieceDrawnAgainForTheirInkAreThePagesFormattedAgain) {
  import_real_score("brahms-klavierstucke-op118-no2-intermezzo");
  if (IsSkipped() || HasFatalFailure()) return;
  const int before = pages_drawn_again_for_ink();
  for (int32_t page = 1; page <= page_count; ++page) {
    move_staves_for_ink(false);
    ASSERT_EQ(format_page(page, 0), 1);
    const std::string again = drawn_page();
    move_staves_for_ink(true);
    ASSERT_EQ(format_page(page, 0), 1);
    EXPECT_EQ(again, drawn_page()) << "page " << page;
  }
  EXPECT_GT(pages_drawn_again_for_ink(), before);
  take_reports();
}

// A page of the document that cannot hold its systems, their lyrics and high notes at their
// least distances, gives the systems it cannot hold to the next page: squeezed to the paper,
// the lyrics stood on the piano's notes.
TEST_F(DocumentSystems, SystemsAPageCannotHoldWithTheirLyricsGoOnToTheNextPage) {
  platform_init_fonts();
  ASSERT_EQ(import_fixture("systems_a_page_cannot_hold.xml", 1), 1);
  ASSERT_EQ(offscreen_create(10, options_i32(current_ncontext, OPTIONS_PAGE_WIDTH),
                             options_i32(current_ncontext, OPTIONS_PAGE_HEIGHT), 0, 0),
            1);
  EXPECT_EQ(format_and_check("systems-a-page-cannot-hold"), std::vector<std::string>{});
  EXPECT_GT(page_count, 1);
  take_reports();
}

// Rests that the document does not show, which keep a voice in time where it has no notes,
// take no room: they once stood after the other voice's chord at their own time, and each bar
// grew by that chord's width, so that a system of eight bars was cut in two.
TEST_F(DocumentSystems, RestsTheDocumentDoesNotShowTakeNoRoom) {
  platform_init_fonts();
  ASSERT_EQ(import_fixture("hidden_rests_voice.xml", 1), 1);
  ASSERT_EQ(offscreen_create(10, options_i32(current_ncontext, OPTIONS_PAGE_WIDTH),
                             options_i32(current_ncontext, OPTIONS_PAGE_HEIGHT), 0, 0),
            1);
  EXPECT_EQ(format_and_check("hidden-rests-voice"), std::vector<std::string>{});
  EXPECT_EQ(bars_per_system(0).size(), 1u);
  take_reports();
}

// The bar that grace notes begin in one part stands in one column with the other part's bar,
// whose chord comes at the next time point; justified, the column stays one.
TEST_F(DocumentSystems, ABarLineBeforeGraceNotesStaysInColumnWithTheOtherStaves) {
  platform_init_fonts();
  ASSERT_EQ(import_fixture("grace_bar_column.xml", 1), 1);
  ASSERT_EQ(format_page(1, 0), 1);
  Drosa bar = find_next_kind(BAR, piece_start[0]), other = find_next_kind(BAR, piece_start[1]);
  for (int n = 0; n < 2; ++n) {
    ASSERT_TRUE(bar && other);
    EXPECT_EQ(bar->get(xbarx), other->get(xbarx)) << "bar line " << n + 1;
    bar = find_next_kind(BAR, bar);
    other = find_next_kind(BAR, other);
  }
}

}  // namespace
