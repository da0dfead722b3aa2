// parts_voices_dialog_test.cpp: the Parts and Voices dialog and moving voices between staves,
// scripted on a formatted piece.
//   PartsVoicesDialog.*: the staff list at the insertion point; staff settings written from
//                        there on and undone; a new part placed and the voices regrouped; a
//                        staff moved to the top and joined with the next
//   MoveVoice.*:         a voice moved down a staff until it switches back; no staff below
#include "app/parts_voices_dialog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/script.h"
#include "support/page_fixture.h"
#include "support/piece_builder.h"

namespace {

class PartsVoicesTest : public ScriptedPieceTest {
 protected:
  void SetUp() override {
    ScriptedPieceTest::SetUp();
    std::snprintf(ncontext_name[1], NCONTEXT_NAME_SIZE, "Score");
  }
};

using PartsVoicesDialog = PartsVoicesTest;
using MoveVoice = PartsVoicesTest;

// A piano of two voices on staff 0 and a horn on staff 1; four measures, a system break after
// the second.
void piano_and_horn() {
  const int parts[][3] = {{0, 0, 0}, {0, 1, 0}, {1, 0, 1}};  // part, voice in part, staff
  for (const auto& [part, in_part, staff] : parts) {
    const int v = new_voice(part ? "Horn" : "Piano", in_part, staff);
    add_clef(v, 0);
    add_timesig(v, 4, 4);
    for (int m = 0; m < 4; ++m) {
      if (m == 2) add_system_break(v);
      for (int i = 0; i < 2; ++i) add_note(v, HALF, 28 + 3 * v + i);
      add_bar(v);
    }
  }
}

// Formats the piece and puts the insertion point on the first note of the measure in voice 0.
void start_at(int measure) {
  prepare_piece();
  set_insertion_point(find_measure_start(measure, 0), 0, -10);
}

// Every voice list without its layout records.
std::string music() {
  remove_ntdata(REMOVE_WHOLE_PIECE);
  std::string s;
  for (int v = 0; v < voice_count; ++v) s += dump_voice(v) + "--\n";
  return s;
}

// The voice's PRINT attached before the chord of `note`, as "staff/list/size", or "none".
std::string print_before(Drosa note) {
  Drosa p = find_PRINT_before_note(note);
  if (!p) return "none";
  return std::to_string(p->get(xsstaff)) + "/" + std::to_string(p->get(xlist)) + "/" +
         std::to_string(p->get(xstaffsize));
}

std::string image_path(const char* name) {
  const std::filesystem::path build = std::filesystem::current_path().parent_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt")) return "";
  const std::filesystem::path folder = build / "test-output" / "dialogs";
  std::filesystem::create_directories(folder);
  return (folder / name).string();
}

TEST_F(PartsVoicesDialog, StaffSettingsHoldFromTheInsertionPointAndUndo) {
  piano_and_horn();
  const std::string before = music();
  std::vector<Drosa> at;
  for (int v = 0; v < 3; ++v) at.push_back(find_measure_start(3, v));
  start_at(3);

  set_undo_mark(1);
  if (std::string path = image_path("parts-and-voices.png"); !path.empty()) script_save_image(path);
  script_key(KEY_TAB);  // the horn's staff
  script_hit(PV_PIANO_RIGHT);
  script_type(PV_LINES, "8");
  script_hit(PV_OK);  // refused: right-hand piano tab has 7 lines
  script_hit(PV_TAB_NONE);
  script_type(PV_SIZE, "4");
  script_key(KEY_TAB);  // back to the piano, which splits into a staff per voice
  script_hit(PV_SPLIT);
  script_hit(PV_OK);
  script_hit(2);  // No: the horn's earlier staves keep their size
  parts_and_voices_dialog();
  std::vector<Report> messages = take_reports();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text,
            "For right hand piano tab you must have 7 staff lines, for left hand you must "
            "have 8!");
  const std::vector<ShownText> shown = script_take_shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].text, "Do you want to adjust the staff size setting for all of voice 'Horn'?");
  EXPECT_EQ(print_before(at[0]), "0/1/50");
  EXPECT_EQ(print_before(at[1]), "1/2/50");
  EXPECT_EQ(print_before(at[2]), "2/3/40");
  EXPECT_EQ(print_before(find_measure_start(1, 2)), "1/0/50") << "the start keeps its settings";
  EXPECT_EQ(pstaff_count, 5) << "two staves before the break, three after";

  set_undo_mark(0);
  undo_redo(1);
  EXPECT_EQ(music(), before);
}

TEST_F(PartsVoicesDialog, ANewPartJoinsBelowItsStaffAndTheVoicesRegroup) {
  piano_and_horn();
  char row[256];
  staff_list_head = newDrosa(VOICES, 0);
  staff_list_head->set(xstaffrec_count, 2);
  staff_list_head->set(xstaffrec_voice, 1, 1);
  staff_list_head->set(xstaffrec_printed, 1);
  link_after(newDrosa(VOICES, 0), staff_list_head);
  staff_list_head->xnext->set(xstaffrec_count, 1);
  staff_list_head->xnext->set(xstaffrec_voice, 0, 2);
  staff_list_text(staff_list_head, row);
  EXPECT_STREQ(row, "Staff 1:  Piano-1,Piano-2");
  staff_list_text(staff_list_head->xnext, row);
  EXPECT_STREQ(row, "Staff \xD0:  Horn") << "a staff that does not print";
  destroy_Drosa_list(staff_list_head);
  staff_list_head = NIL;

  start_at(1);
  script_hit(PV_NEW_PART);
  script_type(5, "Tuba");  // item 5 of the pop-up text dialog: the name
  script_hit(1);
  script_key(KEY_ESCAPE);  // Cancel is off once a part is made
  script_hit(PV_OK);
  set_undo_mark(1);
  parts_and_voices_dialog();
  ASSERT_EQ(voice_count, 4);
  EXPECT_EQ(undo_list_length(0), 0) << "a voice was made: no undo across it";
  EXPECT_EQ(voice_part_name(2), "Tuba") << "the tuba's staff follows the piano's";
  EXPECT_EQ(voice_part_name(3), "Horn");
  EXPECT_EQ(print_before(find_measure_start(1, 2)), "1/2/50");
  EXPECT_EQ(print_before(find_measure_start(1, 3)), "2/3/50");
  EXPECT_EQ(staff_list_head, NIL) << "the staff records are freed";
}

TEST_F(PartsVoicesDialog, AStaffMovedToTheTopAndJoinedWithTheNext) {
  const char* parts[] = {"A", "B", "C", "D"};
  for (int v = 0; v < 4; ++v) {
    new_voice(parts[v], 0, v);
    add_note(v, WHOLE, 30);
    add_bar(v);
  }
  start_at(1);
  script_key(KEY_TAB);
  script_key(KEY_TAB);  // C
  script_hit(PV_MOVE);
  script_type(4, "1");
  script_hit(1);
  script_hit(PV_JOIN);  // C takes A onto its staff
  script_hit(PV_OK);
  parts_and_voices_dialog();
  std::string order, layout;
  for (int v = 0; v < 4; ++v) {
    order += voice_part_name(v);
    layout += print_before(find_measure_start(1, v)) + " ";
  }
  EXPECT_EQ(order, "CABD") << "the voices follow their staves";
  EXPECT_EQ(layout, "0/1/50 0/1/50 1/2/50 2/3/50 ");
}

TEST_F(MoveVoice, DownAStaffUntilItSwitchesBack) {
  piano_and_horn();
  Drosa again = add_after(find_measure_start(3, 1)->xback, PRINT, 1);  // voice 1, from m. 3
  again->set(xprintdir, 3);
  again->set(xslines, 5);
  again->set(xstaffsize, 50);
  const std::string before = music();
  start_at(1);

  set_undo_mark(1);
  move_voice_down_a_staff(find_measure_start(2, 2));
  EXPECT_EQ(music(), before) << "no staff below the horn";
  script_hit(1);  // yes: switch back at measure 3
  move_voice_down_a_staff(find_measure_start(2, 1));
  EXPECT_EQ(print_before(find_measure_start(2, 1)), "1/0/50");
  EXPECT_EQ(script_take_shown()[0].text, "Do you want this voice to switch back in 1 measures?");
  set_undo_mark(0);
  undo_redo(1);
  EXPECT_EQ(music(), before);
}

}  // namespace
