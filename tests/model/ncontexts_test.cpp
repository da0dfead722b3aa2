// ncontexts_test.cpp: notation contexts.
//   ContextSwitch.*: the staves a context shows, the question before switching, the page
//                    image following the context's page size
//   PrintRebuild.*:  PRINT nodes where no voice would print: removed (with undo), made to print
//                    at the piece's start, a voice's head PRINT kept; a sound piece unchanged;
//                    silent points found in later systems and pages, voice after voice
#include <gtest/gtest.h>

#include <string>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_globals.h"
#include "model/model_services.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "model/options.h"
#include "model/readvesk.h"
#include "model/undo.h"
#include "model/voice_lists.h"
#include "params/param_services.h"
#include "platform/script.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

class ContextTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    script_begin();
    param_init();
    read_header(nullptr);
    voice_count = 0;
  }
  void TearDown() override {
    for (const std::string& fault : script_take_faults())
      ADD_FAILURE() << "script fault: " << fault;
    script_end();
    destroy_pstaff_lists();
    ModelTest::TearDown();
  }
};

using ContextSwitch = ContextTest;
using PrintRebuild = ContextTest;

void add_measure(int v, int mod7) {
  for (int i = 0; i < 4; ++i) add_note(v, QUARTER, mod7 + i);
  add_bar(v);
}

TEST_F(ContextSwitch, ShowsTheStavesOfTheContextAndFollowsItsPageSize) {
  // The Score shows three parts; context 2 only the Oboe.
  const char* parts[] = {"Flute", "Oboe", "Horn"};
  ncontext_count = 2;
  for (int v = 0; v < 3; ++v) {
    new_voice(parts[v], 0, v);
    if (v == 1) add_print(v, 2, 0);
    add_measure(v, 30);
    add_measure(v, 32);
  }
  set_options_i32(2, OPTIONS_PAGE_WIDTH, 60);
  GE_head = newDrosa(GE_CHAR, 0);
  prepare_piece();
  ASSERT_EQ(pstaff_count, 3);
  const int32_t score_width = page_pixel_width;
  Drosa oboe_note = find_next_kind(NOTE, find_next_kind(BAR, piece_start[1]));

  prefs.set_ask_save_before_context_change(1);
  DrosaDirty = 1;
  script_hit(2);  // Cancel
  change_ncontext(oboe_note, 2, 0);
  EXPECT_EQ(current_ncontext, 1);
  script_hit(3);  // No: switch without saving
  change_ncontext(oboe_note, 2, 0);
  ASSERT_EQ(script_take_shown().size(), 2u);
  EXPECT_EQ(current_ncontext, 2);
  EXPECT_EQ(pstaff_count, 1);
  EXPECT_TRUE(voice_not_shown(0) && voice_not_shown(2));
  EXPECT_FALSE(voice_not_shown(1));
  EXPECT_EQ(insertion_point, oboe_note) << "the note is drawn in the new context";
  EXPECT_EQ(text_template->xcontext, 2);
  EXPECT_LT(page_pixel_width, score_width) << "the page image follows the page size";

  change_ncontext(NIL, 1, 1);
  EXPECT_EQ(pstaff_count, 3);
  EXPECT_EQ(page_pixel_width, score_width);
  const Port* image = offscreen_page;
  change_ncontext(NIL, 1, 0);  // the same context: no question, the page prepared again
  EXPECT_EQ(offscreen_page, image);
  EXPECT_EQ(last_formatted_page, 1);
  EXPECT_EQ(script_take_shown().size(), 0u);
}

// Two voices, each with a head PRINT of the given staff, then a PRINT of the given staff
// before its second measure (-2: none), then a third measure.
struct PrintCase {
  const char* what;
  int head[2];
  int later[2];
  std::string expected;  // the PRINTs of both voices afterwards, as "staff,staff..;staff.."
};

std::string prints() {
  std::string s;
  for (int v = 0; v < voice_count; ++v) {
    if (v) s += ";";
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (p->xkind == PRINT) s += std::to_string(p->get(xsstaff)) + ",";
  }
  return s;
}

TEST_F(PrintRebuild, SilentPointsLoseTheirPrintsButNeverTheHeadPrint) {
  const PrintCase cases[] = {
      {"both print throughout: nothing changes", {0, 1}, {1, 0}, "0,1,;1,0,"},
      {"nobody prints from measure 2: both later PRINTs go", {0, 1}, {-1, -1}, "0,;1,"},
      {"the silent head PRINT of voice 1 stays", {0, -1}, {-1, -2}, "0,;-1,"},
      {"nobody prints at the start: voice 0 prints on staff 0", {-1, -1}, {-2, -2}, "0,;-1,"},
  };
  for (const PrintCase& c : cases) {
    SCOPED_TRACE(c.what);
    discard_piece_lists();
    for (int v = 0; v < 2; ++v) {
      new_voice(v ? "Oboe" : "Flute", 0, c.head[v]);
      add_measure(v, 30);
      if (c.later[v] != -2) add_print(v, 1, c.later[v]);
      add_measure(v, 32);
      add_measure(v, 34);
    }
    const std::string before = dump_voice(0) + dump_voice(1);
    set_undo_mark(1);
    rebuild_print_nodes();
    EXPECT_EQ(prints(), c.expected);
    set_undo_mark(0);  // Undo as the command runs it
    undo_redo(1);
    EXPECT_EQ(dump_voice(0) + dump_voice(1), before) << "undone";
    clear_undo(1);
  }
}

TEST_F(PrintRebuild, FindsTheSilentPointsOfLaterSystemsInEveryVoice) {
  // Five systems, a page break after the third; each voice's PRINTs by system (-2: none). Only
  // at system 4 does no voice print: the three PRINTs there go, those of systems 2 and 5 stay.
  const int later[3][5] = {{-2, -1, -2, -1, 0}, {-2, 0, -2, -1, -2}, {-2, -2, -2, -1, -1}};
  for (int v = 0; v < 3; ++v) {
    new_voice(v == 0 ? "Flute" : v == 1 ? "Oboe" : "Horn", 0, v);
    for (int s = 0; s < 5; ++s) {
      if (s) add_system_break(v, s == 3);
      if (later[v][s] != -2) add_print(v, 1, later[v][s]);
      add_measure(v, 30 + s);
    }
  }
  rebuild_print_nodes();
  EXPECT_EQ(prints(), "0,-1,0,;1,0,;2,-1,");
}

}  // namespace
