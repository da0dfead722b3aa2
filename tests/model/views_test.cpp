// views_test.cpp: views and opening a piece into a view.
//   Switching.*: views of two pieces come back as they were left, byte for byte; a parked
//                page keeps its layout records as copies of its own; a view that cannot be
//                parked for want of memory stays current as it was
//   Sharing.*:   a second view of a file shares its piece; an edit in one view marks the
//                views of the piece that must reformat, and no others; a context deleted in
//                one view leaves the others in the Score; closing one of two views keeps the
//                piece, closing the last discards it without a leak
//   Opening.*:   a read piece is prepared on its saved page; a new piece, cancelled or made;
//                an import that fails; the twenty-first window; opening while a view is current
#include "model/views.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/change_flags.h"
#include "model/model_globals.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "model/options.h"
#include "model/readvesk.h"
#include "model/undo.h"
#include "model/writevesk.h"
#include "params/param_services.h"
#include "platform/memory.h"
#include "platform/port.h"
#include "platform/script.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

class ViewsTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    script_begin();
    param_init();
    char pattern[] = "/tmp/vesk-views-XXXXXX";
    dir = mkdtemp(pattern);
  }
  void TearDown() override {
    for (const std::string& fault : script_take_faults())
      ADD_FAILURE() << "script fault: " << fault;
    script_end();
    std::filesystem::remove_all(dir);
    ModelTest::TearDown();
  }

  // Writes a piece of `voices` voices and `pages` pages (two measures of four quarters a
  // page) whose saved page is `saved_page`, and leaves no piece in memory.
  // With two contexts, the second shows every voice as the Score does.
  std::string write_piece(const char* name, int voices, int pages, int saved_page = 1,
                          int32_t page_width = 76, int contexts = 1) {
    read_header(nullptr);
    set_options_i32(1, OPTIONS_PAGE_WIDTH, page_width);
    ncontext_count = int16_t(contexts);
    voice_count = 0;
    for (int v = 0; v < voices; ++v) {
      new_voice(v ? "Oboe" : "Flute", 0, v);
      if (contexts > 1) add_print(v, 2, v);
      add_clef(v, v ? 1 : 0);
      add_timesig(v, 4, 4);
      for (int p = 0; p < pages; ++p) {
        if (p) add_system_break(v, true);
        if (v == 0) {  // a text annotation on every page
          add(v, TPARAM);
          add(v, TEXT)->set(xtext, "Allegro");
        }
        for (int m = 0; m < 2; ++m) {
          for (int i = 0; i < 4; ++i) add_note(v, QUARTER, 28 + v * 3 + i + p);
          add_bar(v);
        }
      }
      add_note(v, QUARTER);
    }
    current_page = saved_page;
    std::string path = dir + "/" + name;
    EXPECT_EQ(write_piece_file(0, NIL, path), 1);
    discard_piece_lists();
    DrosaDirty = 0;
    offscreen_dispose();
    return path;
  }

  // Opens the file in a window of its own, as the Open command does.
  int open(const std::string& path) {
    piece_fsspec = path;
    return open_in_window(1);
  }
  // open_view of a new (0), read (1) or imported (2) piece in a window made for it.
  static int open_in_window(int mode) {
    prepare_window_for_view();
    const int opened = open_view(mode, nullptr);
    finish_window_for_view(opened);
    return opened;
  }

  std::string dir;
};

using Switching = ViewsTest;
using Sharing = ViewsTest;
using Opening = ViewsTest;

// What a view shows and edits, as text: every voice list (with the bytes of its NTDATA and
// PDATA records), the options, the page, the context, the insertion point and the file.
std::string snapshot() {
  std::string s = piece_fsspec + "\n";
  char line[96];
  std::snprintf(line, sizeof line, "page %d of %d, context %d, selected voice %d\n",
                int(current_page), int(page_count), int(current_ncontext), int(selected_voice));
  s += line;
  for (int v = 0; v < voice_count; ++v) {
    s += dump_voice(v);
    std::vector<Drosa> nodes = voice_nodes(v);
    for (size_t i = 0; i < nodes.size(); ++i) {
      if (nodes[i] == insertion_point)
        s += "insertion point: voice " + std::to_string(v) + " node " + std::to_string(i) + "\n";
      if (nodes[i]->xkind != NTDATA && nodes[i]->xkind != PDATA) continue;
      s += std::to_string(i) + ":";
      for (int b = DROSA_PAYLOAD_OFFSET; b < DROSA_NODE_SIZE; ++b) {
        std::snprintf(line, sizeof line, "%02x", nodes[i]->bytes()[b]);
        s += line;
      }
      s += "\n";
    }
  }
  std::snprintf(line, sizeof line, "insertion point at %d,%d\n", int(insertion_point_pos.x),
                int(insertion_point_pos.y));
  s += line;
  for (int c = 1; c <= ncontext_count; ++c)
    for (int b = 0; b < OPTIONS_SIZE; ++b) s += std::to_string(options_struct[c][b]) + ",";
  return s;
}

constexpr int PERMANENT_NODES = 5;  // the template nodes

// A voice list without its layout records and copies.
std::string music(int v) {
  std::string s;
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    if (!temp_node(p, 1000)) s += dump_node(p, {}) + "\n";
  return s;
}

// The current view's page image, into the build folder's test-output/model.
void save_page_image(const char* name) {
  std::filesystem::path build = std::filesystem::current_path().parent_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt")) return;
  std::filesystem::path folder = build / "test-output" / "model";
  std::filesystem::create_directories(folder);
  EXPECT_TRUE(port_save_png(offscreen_page, (folder / name).c_str()));
}

int count_kind(Drosa head, int kind) {
  int n = 0;
  for (Drosa p = head; p; p = p->xnext) n += p->xkind == kind;
  return n;
}

// ---- Switching ----------------------------------------------------------------------------

TEST_F(Switching, TwoPiecesComeBackByteForByte) {
  std::string a = write_piece("a.vesk", 2, 3, 2), b = write_piece("b.vesk", 1, 2, 1, 60);
  ASSERT_EQ(open(a), 1);
  insertion_point = NIL;
  cursor_to_time(3, 1, 2.0);  // the second beat of measure 3, page 2, tried in voice 1 first
  ASSERT_TRUE(insertion_point);
  const std::string first = snapshot();
  const int ntdata = count_kind(piece_start[0], NTDATA);
  ASSERT_GT(ntdata, 0);
  platform_refuse_allocations_after(0);
  EXPECT_EQ(leave_view(), 0) << "no memory for the view's records";
  platform_refuse_allocations_after(-1);
  EXPECT_EQ(take_reports().size(), 1u);
  EXPECT_EQ(snapshot(), first) << "the view stays current as it was";

  ASSERT_EQ(leave_view(), 1);
  const ViewData* parked = view_array[0].piece;
  EXPECT_EQ(count_kind(parked->piece_start[0], NTDATA), 0);
  EXPECT_EQ(count_kind(parked->piece_start[0], NTVIEW), ntdata) << "every NTDATA is parked";
  EXPECT_EQ(count_kind(parked->piece_start[0], PVIEW), 1);
  EXPECT_EQ(count_kind(parked->piece_start[0], CDDATA), 0);

  ASSERT_EQ(open(b), 1);
  EXPECT_EQ(current_view_index, 1);
  const std::string second = snapshot();
  EXPECT_NE(first, second);
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(leave_view(), 1);
    copy_from_VIEW_nodes(0);
    EXPECT_EQ(snapshot(), first) << "round " << round;
    EXPECT_EQ(count_kind(piece_start[0], NTVIEW), 0);
    if (round) save_page_image("view_a_page_2_of_two_voices.png");
    ASSERT_EQ(leave_view(), 1);
    copy_from_VIEW_nodes(1);
    EXPECT_EQ(snapshot(), second) << "round " << round;
    if (round) save_page_image("view_b_page_1_of_one_narrower_voice.png");
  }
  EXPECT_EQ(view_index_of_window(music_window_port), 1);
  EXPECT_EQ(close_view(0), 1);
  copy_from_VIEW_nodes(0);
  EXPECT_EQ(snapshot(), first);
  EXPECT_EQ(close_view(0), 1);
  EXPECT_EQ(count_open_views(), 0);
}

// ---- Sharing ------------------------------------------------------------------------------

TEST_F(Sharing, AnEditMarksTheViewsOfThePieceThatMustReformat) {
  std::string x = write_piece("x.vesk", 2, 2, 1, 76, 2), y = write_piece("y.vesk", 1, 1);
  ASSERT_EQ(open(x), 1);  // slot 0: the Score
  ASSERT_EQ(leave_view(), 1);
  ASSERT_EQ(open(y), 1);  // slot 1: another piece
  ASSERT_EQ(leave_view(), 1);
  ASSERT_EQ(open(x), 1);  // slot 2: context 2 of the first piece
  EXPECT_EQ(view_array[2].piece, view_array[0].piece) << "only the header was read";
  EXPECT_EQ(piece_start[0], view_array[0].piece->piece_start[0]);
  change_ncontext(NIL, 2, 1);
  ASSERT_EQ(leave_view(), 1);
  ASSERT_EQ(open(x), 1);  // slot 3: the Score again

  // A change of the current context reaches the views of the piece in that context only.
  Drosa note = find_next_kind(NOTE, piece_start[1]);
  const int32_t y_before = note->xnext->get(xhdy);
  set_undo_mark(1);
  modifyvc_with_undo(note);
  note->set(xmod7, int8_t(note->get(xmod7) + 4));
  mark_piece_changed(1, 0, current_ncontext);
  ASSERT_EQ(leave_view(), 1);
  EXPECT_EQ(view_reformat_pending(0), 1) << "the other view of the Score";
  EXPECT_EQ(view_reformat_pending(1), 0) << "a view of another piece";
  EXPECT_EQ(view_reformat_pending(2), 0) << "a view of another context";

  copy_from_VIEW_nodes(0);
  EXPECT_EQ(find_next_kind(NOTE, piece_start[1]), note) << "the edit is in this view's lists";
  EXPECT_NE(note->xnext->get(xhdy), y_before) << "the page was formatted again";

  // A change of every context (context 0) reaches every view of the piece.
  mark_piece_changed(1, 0, 0);
  ASSERT_EQ(leave_view(), 1);
  EXPECT_EQ(view_reformat_pending(2), 1);
  EXPECT_EQ(view_reformat_pending(3), 1);
  EXPECT_EQ(view_reformat_pending(1), 0);
}

TEST_F(Sharing, AContextDeletedInOneViewSendsTheOthersToTheScore) {
  std::string x = write_piece("x.vesk", 2, 1, 1, 76, 2);
  ASSERT_EQ(open(x), 1);
  change_ncontext(NIL, 2, 1);
  ASSERT_EQ(leave_view(), 1);
  ASSERT_EQ(open(x), 1);
  change_ncontext(NIL, 2, 1);
  script_hit(NCONTEXT_DELETE);
  script_hit(1);  // go ahead
  script_hit(NCONTEXT_DONE);
  ncontext_dialog(1);
  ASSERT_EQ(ncontext_count, 1);
  ASSERT_EQ(leave_view(), 1);
  copy_from_VIEW_nodes(0);
  EXPECT_EQ(current_ncontext, 1);
  EXPECT_EQ(text_template->xcontext, 1) << "annotations made here belong to the Score";
  EXPECT_EQ(pstaff_count, 2);
  script_take_shown();
}

TEST_F(Sharing, ClosingOneViewKeepsThePieceAndTheLastDiscardsIt) {
  std::string x = write_piece("x.vesk", 2, 2);
  ASSERT_EQ(open(x), 1);
  ASSERT_EQ(leave_view(), 1);
  ASSERT_EQ(open(x), 1);
  const std::string lists = music(0) + music(1);
  EXPECT_EQ(close_view(0), 1);
  EXPECT_EQ(count_open_views(), 1);
  copy_from_VIEW_nodes(0);
  EXPECT_EQ(music(0) + music(1), lists) << "the piece stays whole";
  EXPECT_EQ(count_kind(piece_start[0], NTVIEW) + count_kind(piece_start[0], PVIEW), 0);

  // A second view whose file can no longer be read fails without touching the piece.
  ASSERT_EQ(leave_view(), 1);
  std::filesystem::remove(x);
  EXPECT_EQ(open(x), 0);
  EXPECT_EQ(take_reports().size(), 1u);
  copy_from_VIEW_nodes(0);
  EXPECT_EQ(music(0) + music(1), lists);
  EXPECT_EQ(close_view(0), 1);
  EXPECT_EQ(voice_count, 0);
  EXPECT_EQ(freeCount, total_Drosa_count - PERMANENT_NODES) << "every node is back";
}

// ---- Opening ------------------------------------------------------------------------------

TEST_F(Opening, AReadPieceIsPreparedOnItsSavedPage) {
  std::string a = write_piece("a.vesk", 2, 3, 3);
  ASSERT_EQ(open(a), 1);
  EXPECT_EQ(current_page, 3);
  EXPECT_EQ(last_formatted_page, 3);
  EXPECT_EQ(page_count, 3);
  EXPECT_EQ(GE_list_complete, 1);
  EXPECT_TRUE(offscreen_page);
  EXPECT_EQ(undo_list_length(0) + undo_list_length(1), 0);
  EXPECT_EQ(DrosaDirty, 0);
  ASSERT_TRUE(insertion_point);
  EXPECT_TRUE(is_plotted_note(insertion_point));
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = page_start[v]->xnext; p && !p->get(xendpage); p = p->xnext)
      if (p->xkind == NOTE) EXPECT_EQ(p->xnext->xkind, NTDATA) << "every note of the page";
  EXPECT_EQ(count_kind(piece_start[0], CDDATA), 8 + 1) << "two measures of quarters and the last";
}

TEST_F(Opening, ANewPieceIsTwoVoicesInFourFourOrNothingWhenCancelled) {
  piece_fsspec = ":New Piece:";
  script_hit(2);  // Cancel in the measures dialog
  EXPECT_EQ(open_in_window(0), 0);
  EXPECT_EQ(count_open_views(), 0);
  EXPECT_EQ(freeCount, total_Drosa_count - PERMANENT_NODES);
  EXPECT_FALSE(offscreen_page);
  script_take_shown();

  piece_fsspec = ":New Piece:";
  script_type(9, "3");
  script_hit(22);  // two voices
  script_hit(1);
  ASSERT_EQ(open_in_window(0), 1);
  ASSERT_EQ(voice_count, 2);
  EXPECT_EQ(DrosaDirty, DIRTY_NEVER_SAVED) << "made, not changed";
  EXPECT_EQ(current_page, 1);
  EXPECT_EQ(undo_list_length(0), 0);
  for (int v = 0; v < 2; ++v) {
    Drosa key = find_next_kind(KEYSIG, piece_start[v]);
    ASSERT_TRUE(key);
    ASSERT_EQ(key->xnext->xkind, TIMESIG);
    EXPECT_EQ(key->xnext->get(xbpm), 4);
    ASSERT_EQ(key->xnext->xnext->xkind, BEAMING);
    EXPECT_EQ(key->xnext->xnext->get(xbvalue, 0), 16384);
    EXPECT_EQ(key->xnext->xnext->get(xsbvalue), 8192);
    EXPECT_EQ(count_kind(piece_start[v], BAR), 3);
  }
  EXPECT_EQ(find_next_kind(CLEF, piece_start[1])->get(xclef), 1) << "one part: treble and bass";
  EXPECT_EQ(measures_dialog_state.measures, 3) << "the measures dialog remembers its values";
  EXPECT_EQ(measures_dialog_state.measures_per_system, 4);
  script_take_shown();
}

TEST_F(Opening, AFailedImportLeavesNoView) {
  piece_fsspec = dir + "/score.xml";
  EXPECT_EQ(open_in_window(2), 0);
  std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].level, 2);
  EXPECT_EQ(count_open_views(), 0);
  EXPECT_EQ(current_view_index, -1);
}

TEST_F(Opening, TheTwentyFirstWindowIsRefused) {
  std::string x = write_piece("x.vesk", 1, 1);
  for (int i = 0; i < MAX_VIEWS; ++i) {
    ASSERT_EQ(open(x), 1) << i;
    ASSERT_EQ(leave_view(), 1);
  }
  EXPECT_EQ(open(x), 0);
  std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].text, "You cannot open so many windows!");
  EXPECT_EQ(count_open_views(), MAX_VIEWS);
  copy_from_VIEW_nodes(most_recent_view());
  EXPECT_EQ(voice_count, 1);
}

// Opening over a view still current would overwrite it: it is refused.
TEST_F(Opening, OpeningWhileAViewIsCurrentIsRefused) {
  std::string a = write_piece("a.vesk", 2, 2), b = write_piece("b.vesk", 1, 1);
  ASSERT_EQ(open(a), 1);
  const std::string first = snapshot();
  EXPECT_EQ(open(b), 0);
  std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].text, "Bad current_view_index when calling open_view");
  piece_fsspec = a;  // the caller named the other file
  EXPECT_EQ(snapshot(), first);
  EXPECT_EQ(count_open_views(), 1);
}

}  // namespace
