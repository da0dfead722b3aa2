// ncontext_dialog_test.cpp: the notation-context and choose-contexts dialogs, scripted.
//   ContextDialog.*:  contexts made, named, given parts, moved, deleted and saved; parts placed
//                     below the staves there, taken out, and the refusals
//   ChooseContexts.*: no question with one context; All, None, Cancel and the check box
#include "app/ncontext_dialog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/script.h"
#include "support/page_fixture.h"
#include "support/piece_builder.h"

namespace {

using ContextDialog = ScriptedPieceTest;
using ChooseContexts = ScriptedPieceTest;

// Flute, Oboe and Horn, one voice each on staves 0 to 2 of the Score, four measures with a
// system break of the Score after the second.
void three_parts() {
  const char* parts[] = {"Flute", "Oboe", "Horn"};
  for (int v = 0; v < 3; ++v) {
    new_voice(parts[v], 0, v);
    add_clef(v, 0);
    add_timesig(v, 4, 4);
    for (int m = 0; m < 4; ++m) {
      if (m == 2) add_system_break(v, false, 1);
      for (int i = 0; i < 4; ++i) add_note(v, QUARTER, 30 + i);
      add_bar(v);
    }
  }
  prepare_piece();
}

// Clicks on a row of the parts list and of the contexts list.
void click_part(int row) { script_click(50, 70 + 14 * row + 7); }

// The staff of the voice's first PRINT of context c; -2 when it has none.
int staff_in(int v, int c) {
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    if (p->xkind == PRINT && p->xcontext == c) return p->get(xsstaff);
  return -2;
}

// The contexts of the voice's nodes that belong to one context.
std::set<int> contexts_of(int v) {
  std::set<int> s;
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    if (p->xcontext > 0) s.insert(p->xcontext);
  return s;
}

int breaks_in(int v, int c) {
  int n = 0;
  for (Drosa p = piece_start[v]; p; p = p->xnext) n += p->xkind == ENDSYST && p->xcontext == c;
  return n;
}

std::vector<std::string> texts(const std::vector<Report>& reports) {
  std::vector<std::string> t;
  for (const Report& r : reports) t.push_back(std::to_string(r.level) + " " + r.text);
  return t;
}

// A path in the build folder's test-output/dialogs, or "" outside a build folder.
std::string image_path(const char* name) {
  const std::filesystem::path build = std::filesystem::current_path().parent_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt")) return "";
  const std::filesystem::path folder = build / "test-output" / "dialogs";
  std::filesystem::create_directories(folder);
  return (folder / name).string();
}

const char* const NAME_IT =
    "2 Name the new Notation Context you are creating, and select the parts that will appear "
    "in it.  The order in which you select parts determines the order of staves in each "
    "system.";

// The Systems dialog a context with new parts asks: the same systems and pages as the Score.
void same_systems_as_the_score() {
  script_hit(17);
  script_hit(1);
}

TEST_F(ContextDialog, ContextsAreMadeNamedMovedDeletedAndSaved) {
  three_parts();
  // A context of the winds, then one of the horn alone.
  script_hit(NCONTEXT_NEW);
  script_hit(NCONTEXT_DONE);  // refused: nothing selected yet
  script_type(NCONTEXT_NAME, "Winds of the orchestra");
  click_part(1);
  click_part(2);
  script_hit(NCONTEXT_NEW);
  same_systems_as_the_score();
  click_part(2);
  script_type(NCONTEXT_NAME, "Horn");
  if (std::string path = image_path("notation-contexts.png"); !path.empty())
    script_save_image(path);
  script_hit(NCONTEXT_DONE);
  same_systems_as_the_score();
  ncontext_dialog(1);
  EXPECT_EQ(texts(take_reports()),
            (std::vector<std::string>{NAME_IT,
                                      "2 This notation context has no parts selected for it! "
                                      "This makes editing impossible.",
                                      "2 Since Winds of the or is a new Notation Context, its "
                                      "systems and possible pagination need to be determined "
                                      "before you go on.\n\n",
                                      NAME_IT,
                                      "2 Since Horn is a new Notation Context, its systems and "
                                      "possible pagination need to be determined before you go "
                                      "on.\n\n"}));
  ASSERT_EQ(ncontext_count, 3);
  EXPECT_STREQ(ncontext_name[2], "Winds of the or") << "a name keeps its first 15 characters";
  EXPECT_STREQ(ncontext_name[3], "Horn");
  EXPECT_EQ(current_ncontext, 3);
  EXPECT_EQ(pstaff_count, 2) << "the horn alone, in each of two systems";
  EXPECT_EQ(staff_in(0, 2), -2);
  EXPECT_EQ(staff_in(1, 2), 0);
  EXPECT_EQ(staff_in(2, 2), 1) << "a part added later goes below";
  EXPECT_EQ(staff_in(2, 3), 0);
  EXPECT_EQ(breaks_in(1, 2) + breaks_in(2, 2) + breaks_in(2, 3), 3) << "the Score's break";
  EXPECT_EQ(undo_list_length(0), 0) << "the contexts of nodes changed without records";

  // The horn's context moves to 2, its page setup with it; then it is deleted.
  print_record[3][0] = 33;
  script_hit(NCONTEXT_MOVE);
  script_type(4, "2");
  script_hit(1);
  script_hit(NCONTEXT_DONE);
  ncontext_dialog(1);
  EXPECT_STREQ(ncontext_name[2], "Horn");
  EXPECT_STREQ(ncontext_name[3], "Winds of the or");
  EXPECT_EQ(print_record[2][0], 33);
  EXPECT_EQ(staff_in(1, 3), 0);
  EXPECT_EQ(staff_in(2, 2), 0);
  EXPECT_EQ(staff_in(2, 3), 1);

  Drosa horn_note = find_next_kind(NOTE, piece_start[2]);
  horn_note->xcontext = 2;  // a note is seen in every context, whatever its number
  script_hit(NCONTEXT_DELETE);
  script_hit(1);  // go ahead
  script_hit(NCONTEXT_DONE);
  ncontext_dialog(1);
  EXPECT_EQ(find_next_kind(NOTE, piece_start[2]), horn_note) << "the note stays";
  EXPECT_EQ(horn_note->xcontext, 0);
  EXPECT_EQ(ncontext_count, 2);
  EXPECT_EQ(current_ncontext, 1);
  EXPECT_STREQ(ncontext_name[2], "Winds of the or");
  EXPECT_NE(print_record[2][0], 33);
  EXPECT_EQ(contexts_of(2), (std::set<int>{1, 2})) << "context 3 became 2";
  EXPECT_EQ(staff_in(2, 2), 1);

  // What was made survives a save and a read.
  char dir[] = "/tmp/vesk-ncontext-XXXXXX";
  ASSERT_TRUE(mkdtemp(dir));
  piece_fsspec = std::string(dir) + "/contexts.vesk";
  ASSERT_EQ(write_piece_file(0, NIL, piece_fsspec), 1);
  discard_piece_lists();
  ASSERT_EQ(read_piece(nullptr), 1);
  std::filesystem::remove_all(dir);
  EXPECT_EQ(ncontext_count, 2);
  EXPECT_STREQ(ncontext_name[2], "Winds of the or");
  EXPECT_EQ(staff_in(1, 2), 0);
  EXPECT_EQ(staff_in(2, 2), 1);
  EXPECT_EQ(breaks_in(1, 2), 1);
}

TEST_F(ContextDialog, PartsLeaveOnlyWhereOthersPrintAndNeverTheScore) {
  three_parts();
  script_hit(NCONTEXT_NEW);
  click_part(0);
  click_part(2);
  script_hit(NCONTEXT_DONE);
  same_systems_as_the_score();
  ncontext_dialog(1);
  take_reports();
  ASSERT_EQ(staff_in(2, 2), 1);

  click_part(0);  // the flute leaves: the horn moves up
  script_hit(1);
  click_part(2);        // the horn prints alone: refused
  click_part(1);        // the oboe joins below the horn, with the context's system break
  script_key(KEY_TAB);  // to the Score
  click_part(1);
  script_hit(NCONTEXT_DELETE);
  script_hit(NCONTEXT_MOVE);
  script_hit(NCONTEXT_DONE);
  ncontext_dialog(1);
  EXPECT_EQ(texts(take_reports()),
            (std::vector<std::string>{
                "2 This part cannot be removed, because it is the only thing printing at bar 1!",
                "2 You cannot remove parts from the 'Score' notation context.",
                "2 You cannot delete the 'Score' notation context.",
                "2 The 'Score' notation context cannot be moved."}));
  EXPECT_EQ(current_ncontext, 1);
  EXPECT_EQ(contexts_of(0), (std::set<int>{1})) << "the flute has left context 2";
  EXPECT_EQ(staff_in(2, 2), 0);
  EXPECT_EQ(staff_in(1, 2), 1);
  EXPECT_EQ(breaks_in(1, 2), 1);
  EXPECT_EQ(staff_in(1, 1), 1) << "the Score keeps the oboe";
}

TEST_F(ChooseContexts, AsksOnlyWhenThereIsAChoice) {
  uint8_t chosen[MAX_NCONTEXTS + 1] = {};
  EXPECT_EQ(choose_contexts_dialog("Change Options for Which Notation Contexts?", nullptr, chosen),
            1);
  EXPECT_EQ(chosen[1], 1);
  EXPECT_TRUE(script_take_shown().empty()) << "one context: nothing asked";

  ncontext_count = 3;
  current_ncontext = 2;
  chosen[1] = 7;
  script_hit(CHOOSE_ALL);
  script_hit(2);
  EXPECT_EQ(choose_contexts_dialog("Print Which Notation Contexts?", nullptr, chosen), 0);
  EXPECT_EQ(chosen[1], 7) << "Cancel leaves the choice alone";

  int every_second = -1;
  script_hit(CHOOSE_CHECK);
  script_click(30, 50 + 7);  // adds the first context to the second
  script_hit(1);
  EXPECT_EQ(choose_contexts_dialog("Print Which Notation Contexts?", &every_second, chosen), 1);
  EXPECT_EQ(std::vector<int>(chosen + 1, chosen + 4), (std::vector<int>{1, 1, 0}));
  EXPECT_EQ(every_second, 1);

  script_hit(CHOOSE_NONE);
  script_hit(1);
  EXPECT_EQ(choose_contexts_dialog("Print Which Notation Contexts?", &every_second, chosen), 0);
  EXPECT_EQ(std::vector<int>(chosen + 1, chosen + 4), (std::vector<int>{0, 0, 0}));
  const std::vector<ShownText> shown = script_take_shown();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_NE(shown[0].text.find("Print Which Notation Contexts?"), std::string::npos);
}

}  // namespace
