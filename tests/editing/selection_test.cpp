// selection_test.cpp: the selection on a page of three voices, driven by scripted clicks, drags
// and keys.
//   SelectionState.*: the insertion point selects its note's voice and the voice's channels;
//                     commands over a group visit the page's notes only and may remove them;
//                     clicks take the nearest note; Delete Notes refuses an empty measure,
//                     hands each note on once and leaves the insertion point in its place;
//                     undoing a recompute or a deletion gives back the playback edited
//                     before it in its measure
//   MouseAndKeys.*:   rubber bands, Shift-bands and small presses; Shift-arrows stretch the
//                     group round its anchor; arrows by chords, through the voices and the
//                     annotations; the view follows the insertion point
#include "editing/selection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"
#include "platform/events.h"
#include "platform/menus.h"
#include "platform/script.h"
#include "platform/window.h"
#include "support/selection_page.h"

namespace {

using SelectionState = SelectionPage;
using MouseAndKeys = SelectionPage;

TEST_F(SelectionState, TheInsertionPointSelectsItsNotesVoiceAndItsChannels) {
  open(2, 3);
  Drosa vinfo = find_next_kind_before_note(VINFO, piece_start[2]);
  set_node_byte(vinfo, 26, 5);
  set_node_byte(vinfo, 28, 2);
  set_node_byte(vinfo, 29, 0xFF);
  set_insertion_point(drawn(2)[0], 0, 0);
  EXPECT_EQ(selected_voice, 2) << "a drawn note's own voice, whatever was passed";
  EXPECT_EQ(audition_channel.mode, 2);
  EXPECT_EQ(audition_channel.first, 5);
  EXPECT_EQ(audition_channel.count, -1) << "sign-extended";

  Drosa elsewhere = find_next_kind(NOTE, page_start[1]);
  while (is_plotted_note(elsewhere) || !elsewhere->get(xendvcd))
    elsewhere = find_next_kind(NOTE, elsewhere);  // a note of the next page: not drawn
  set_insertion_point(elsewhere, 0, 1);
  EXPECT_EQ(selected_voice, 1);
  set_insertion_point(elsewhere, 0, -10);
  EXPECT_EQ(selected_voice, 1) << "-10 keeps the voice";

  set_selected_voice(voice_count);
  const std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].text,
            "Voice number 3 is out of range in set_selected_voice!  There are 3 voices.");
  EXPECT_EQ(selected_voice, 0);
  set_selected_voice(-10);
  EXPECT_EQ(audition_channel.count, 16);
}

int visits = 0;
void delete_visited(Drosa note) {
  ++visits;
  delete_to_rests(note, 0, 1);
}

TEST_F(SelectionState, CommandsOverAGroupVisitThePageOnlyAndMayRemoveTheirNote) {
  open(2, 3);
  click(head(drawn(0)[0]), MOD_SHIFT);
  click(head(drawn(1)[6]), MOD_SHIFT);
  click(head(drawn(2)[7]), MOD_SHIFT);
  ASSERT_EQ(group_selected, 1u);
  EXPECT_EQ(insertion_point, NIL);
  ASSERT_EQ(selected().size(), 3u);
  Drosa other_page = find_next_kind(NOTE, page_start[1]);
  while (is_plotted_note(other_page)) other_page = find_next_kind(NOTE, other_page);
  other_page->set(xselected, 1);
  EXPECT_EQ(find_first_walked_node(), drawn(0)[0]);
  EXPECT_EQ(find_last_walked_node(), drawn(2)[7]);
  set_undo_mark(0);
  apply_to_cursor_or_group(delete_visited, 0);
  EXPECT_EQ(visits, 3);
  std::string problems;
  EXPECT_EQ(check_voice_lists(&problems), 0) << problems;
  EXPECT_EQ(other_page->get(xselected), 1) << "a selected note of another page is untouched";
  other_page->set(xselected, 0);
}

TEST_F(SelectionState, ClicksTakeTheNearestDrawnNote) {
  open(1, 3);
  const std::vector<Drosa> upper = drawn(0), lower = drawn(1);
  click(head(upper[6]));
  EXPECT_EQ(insertion_point, upper[6]);
  EXPECT_EQ(selected_voice, 0);
  Point near_lower = head(lower[6]);
  near_lower.x += 2;
  click(near_lower);
  EXPECT_EQ(insertion_point, lower[6]);
  EXPECT_EQ(selected_voice, 1);

  // Halfway between two heads at one x: the lower voice wins.
  Drosa a = upper[0]->xnext, b = lower[0]->xnext;
  ASSERT_EQ(a->get(xscrhdx), b->get(xscrhdx));
  const int32_t mid = (a->get(xscrhdy) + b->get(xscrhdy)) / 2;
  EXPECT_EQ(find_nearest_visnote({a->get(xscrhdx), mid}, 0, 1), upper[0]);
  EXPECT_EQ(half_city_distance(0, 0, -3, 5), 1 + 2);

  // A page with nothing drawn leaves the insertion point where it was.
  const Point there = head(lower[0]);
  for (int v = 0; v < 3; ++v)
    for (Drosa n : drawn(v)) n->xnext->set(xscrhdx, NOT_DRAWN);
  cursor_to_nearest_visnote({there.x, there.y}, 1, 1, 1);
  EXPECT_EQ(insertion_point, lower[6]);
  mark_piece_changed(1, 1, 0);
  run_until_idle();
}

TEST_F(SelectionState, DeleteNotesRefusesAnEmptyMeasureAndLeavesRestsOtherwise) {
  open(1, 3);
  std::vector<Drosa> bar = drawn(0);
  bar.resize(7);  // every note of the first bar of voice 0
  for (Drosa n : bar) click(head(n), MOD_SHIFT);
  ASSERT_EQ(selected().size(), 7u);
  const std::string before = voice_bytes(), unselected = voice_bytes(true);
  key(KEY_DELETE, MOD_COMMAND);  // Command-Delete takes notes out
  const std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].level, 2);
  EXPECT_EQ(said[0].text.rfind("You cannot do this because it would leave an empty measure", 0),
            0u);
  EXPECT_EQ(selected().size(), 7u);
  EXPECT_TRUE(voice_bytes() == before) << "nothing changed";

  do_menu_item(CLEAR_MENU, 1, 'v');  // Clear > Note leaves rests
  run_until_idle();
  EXPECT_EQ(group_selected, 0u);
  std::string problems;
  EXPECT_EQ(check_voice_lists(&problems), 0) << problems;
  for (Drosa n : drawn(0)) {
    if (find_time_abs(n) >= 65536) break;
    EXPECT_EQ(n->get(xrest), 1) << "the first bar is rests";
  }
  ASSERT_TRUE(is_NOTE(insertion_point)) << "the insertion point lands near the old place";
  do_menu_item(EDIT_MENU, 1, 'v');
  run_until_idle();
  EXPECT_TRUE(voice_bytes() == unselected) << "undone";
}

// Delete twice: the rest that took the note's place keeps the insertion point, so the second
// Delete changes nothing, where it took a note of the next system, nearer than the rest's
// neighbours and drawn before the rest was.
TEST_F(SelectionState, DeleteLeavesTheInsertionPointOnTheRestInTheNotesPlace) {
  open(1, 3);
  const std::vector<Drosa> notes = drawn(0);
  ASSERT_GT(notes.size(), 3u);
  Drosa target = notes[2];
  const int32_t time = find_time_abs(target);
  click(head(target));
  key(KEY_DELETE);
  ASSERT_TRUE(is_NOTE(insertion_point));
  EXPECT_EQ(insertion_point->get(xrest), 1);
  EXPECT_EQ(find_time_abs(insertion_point), time);
  EXPECT_EQ(insertion_point->get(xvoice), 0);
  run_until_idle();
  const std::string once = voice_bytes(true);
  key(KEY_DELETE);
  run_until_idle();
  EXPECT_TRUE(voice_bytes(true) == once) << "the rest stays a rest; no other note goes";
}

// Recomputing a note's playback, or clearing it, gives the notes before it in its measure
// their playback data again; Undo gave back only the note's own, and a volume edited before
// it was lost.
TEST_F(SelectionState, UndoGivesBackThePlaybackEditedBeforeARecomputedOrClearedNote) {
  open(1, 1);
  const std::vector<Drosa> notes = drawn(0);
  ASSERT_GT(notes.size(), 2u);
  ASSERT_LT(find_time_abs(notes[2]), 65536) << "in the first bar";
  set_insertion_point(notes[0], 0, -10);
  constexpr int16_t MODIFY_PLAYBACK_MENU = 14;
  do_menu_item(MODIFY_PLAYBACK_MENU, 2, 'v');  // Louder
  run_until_idle();
  ASSERT_EQ(notes[0]->get(xvolume_edited), 1);
  const std::string edited = voice_bytes(true);
  const int32_t volume = notes[0]->get(xvolume);
  const auto undone = [&](int16_t menu, int16_t item, bool asks) {
    set_insertion_point(notes[2], 0, -10);
    if (asks) script_hit(1);  // the dialog's OK
    do_menu_item(menu, item, 'v');
    run_until_idle();
    script_take_shown();
    EXPECT_NE(notes[0]->get(xvolume), volume) << "given its volume again";
    do_menu_item(EDIT_MENU, 1, 'v');
    run_until_idle();
    return voice_bytes(true) == edited;
  };
  EXPECT_TRUE(undone(HEAR_MENU, 7, true)) << "Recompute Playback undone";
  EXPECT_TRUE(undone(CLEAR_MENU, 1, false)) << "Clear > Note undone";
}

TEST_F(SelectionState, NothingSelectedAHiddenVoiceAndThePageEndChangeNothing) {
  open(2, 3);
  set_insertion_point(NIL, 0, -10);
  DrosaDirty = 0;
  const std::string before = voice_bytes();
  assign_selection_field(xstacc, 1, 1);
  for (int remove : {0, 1}) {
    delete_notes_command(remove);
    set_insertion_point(NIL, 0, -10);  // Delete Notes put it on the note nearest its old place
  }
  visits = 0;
  apply_to_cursor_or_group(delete_visited, 1);
  EXPECT_EQ(visits, 0);
  for (int k : {KEY_LEFT, KEY_RIGHT, KEY_UP, KEY_DOWN}) key(k, MOD_SHIFT);
  EXPECT_EQ(DrosaDirty, 0) << "nothing to save";

  // At the end of the last page: nothing further to step to or stretch over.
  ASSERT_TRUE(platform_choose_menu_item(PAGE_MENU, 2));
  run_until_idle();
  ASSERT_EQ(current_page, 2);
  const std::string on_page_2 = voice_bytes();  // the page's layout notes its systems' voices
  click(head(drawn(0).back()));
  key(KEY_RIGHT, MOD_SHIFT);
  key(KEY_RIGHT);
  EXPECT_EQ(insertion_point, drawn(0).back());
  const Point corner{head(drawn(2).back()).x + 40, page_pixel_height + 200};
  drag(head(drawn(0).back()), corner);
  EXPECT_TRUE(voice_bytes(true) == on_page_2);
  if (group_selected) end_group_selection(1);

  // Voice 1 no longer shown in this context: its notes are left alone, selected or not.
  Drosa print = find_next_kind_before_note(PRINT, piece_start[1]);
  print->xcontext = 7;
  mark_views_changed(1, 2, 0);
  run_until_idle();
  ASSERT_TRUE(voice_not_shown(1));
  const std::string shown_two = voice_bytes();
  Drosa hidden = find_next_kind(NOTE, piece_start[1]);
  set_insertion_point(hidden, 0, -10);
  assign_selection_field(xstacc, 1, 1);
  delete_notes_command(1);
  set_insertion_point(hidden, 0, -10);
  delete_notes_command(0);
  set_insertion_point(NIL, 0, -10);
  begin_group_selection();
  hidden->set(xselected, 1);
  assign_selection_field(xstacc, 1, 1);
  hidden->set(xselected, 0);
  end_group_selection(1);
  EXPECT_TRUE(voice_bytes() == shown_two);
  print->xcontext = 1;

  std::string problems;
  EXPECT_EQ(check_voice_lists(&problems), 0) << problems;
}

TEST_F(MouseAndKeys, ADoubleClickOnANoteStartsNoteEntryThere) {
  open(1, 3);
  const Drosa note = drawn(1)[6];
  click(head(drawn(0)[0]));
  EXPECT_EQ(note_entry_active, 0);
  click(head(note));
  click(head(note));
  EXPECT_EQ(note_entry_active, 1);
  EXPECT_EQ(insertion_point, note);
}

TEST_F(MouseAndKeys, ABandSelectsTheNotesInsideItAndAShiftBandAddsToThem) {
  open(1, 3);
  const std::vector<Drosa> upper = drawn(0), middle = drawn(1);
  // A band round the first quarter of voices 0 and 1.
  Point from = head(upper[0]), to = head(middle[0]);
  from.x -= 5, from.y -= 5, to.x += 5, to.y += 5;
  drag(from, to);
  EXPECT_EQ(selected(), (std::vector<Drosa>{upper[0], middle[0]}));
  // A press that moves 2 pixels is a click: the group ends at the note.
  drag(head(upper[6]), {head(upper[6]).x + 2, head(upper[6]).y + 2});
  EXPECT_EQ(group_selected, 0u);
  EXPECT_EQ(insertion_point, upper[6]);
  // A Shift-band adds the chord of voice 1 to the group a Shift-click began.
  click(head(upper[0]), MOD_SHIFT);
  Point c1 = head(middle[3]), c2 = head(middle[5]);
  drag({std::min(c1.x, c2.x) - 4, std::min(c1.y, c2.y) - 4},
       {std::max(c1.x, c2.x) + 4, std::max(c1.y, c2.y) + 4}, MOD_SHIFT);
  EXPECT_EQ(selected(), (std::vector<Drosa>{upper[0], upper[6], middle[3], middle[4], middle[5]}))
      << "the insertion point the band began with joined the group";
}

TEST_F(MouseAndKeys, ShiftArrowsStretchTheGroupRoundItsAnchor) {
  open(1, 3);
  const std::vector<Drosa> notes = drawn(1);
  click(head(notes[0]));
  for (int i = 0; i < 3; ++i) key(KEY_RIGHT, MOD_SHIFT);
  EXPECT_EQ(selected(), (std::vector<Drosa>{notes[0], notes[1], notes[2], notes[3]}));
  key(KEY_LEFT, MOD_SHIFT);
  EXPECT_EQ(selected(), (std::vector<Drosa>{notes[0], notes[1], notes[2]}));
  key(KEY_RIGHT);
  EXPECT_EQ(group_selected, 0u);
  EXPECT_EQ(insertion_point, notes[3]) << "the anchor moved on, and the group ended there";
  EXPECT_TRUE(selected().empty());
  // Command steps by chords: over a chord's other notes onto the next chord's first.
  key(KEY_RIGHT, MOD_COMMAND);
  EXPECT_EQ(insertion_point, notes[6]);
  key(KEY_RIGHT, MOD_COMMAND);
  EXPECT_EQ(insertion_point, notes[7]);
  set_insertion_point(notes[4], 0, -10);
  key(KEY_LEFT, MOD_COMMAND);
  EXPECT_EQ(insertion_point, notes[2]) << "past the start of its own chord to the one before";
  key(KEY_LEFT, MOD_COMMAND);
  EXPECT_EQ(insertion_point, notes[1]);
}

TEST_F(MouseAndKeys, UpAndDownStepThroughTheVoicesAndWrapRound) {
  open(1, 3);
  click(head(drawn(2)[6]));
  ASSERT_EQ(selected_voice, 2);
  key(KEY_DOWN);
  EXPECT_EQ(selected_voice, 0) << "down from the last voice wraps to the first";
  EXPECT_EQ(insertion_point, drawn(0)[6]) << "the note at the same time";
  key(KEY_UP);
  EXPECT_EQ(selected_voice, 2);
  Drosa at = insertion_point;
  EXPECT_EQ(move_selection_by_key(KEY_UP, 1, 0, 0), 1) << "Option-Up is taken";
  EXPECT_EQ(insertion_point, at) << "and does nothing";
  EXPECT_EQ(move_selection_by_key(KEY_UP, 0, 0, 1), 0) << "Shift-Up is not taken";
}

TEST_F(MouseAndKeys, TheViewScrollsToKeepTheInsertionPointInSight) {
  platform_set_test_screen(true, {0, 0, 420, 420});
  open(1, 3);
  click(head(drawn(0)[0]));
  const Rect area = music_area_rect();
  for (int i = 0; i < 13; ++i) key(KEY_RIGHT);
  const Point p = head(insertion_point);
  EXPECT_GT(scroll_h, 0) << "the window followed the insertion point to the right";
  EXPECT_TRUE(area.contains(p)) << p.x << "," << p.y;
  EXPECT_EQ(misplaced_pixels(), 0);
}

TEST_F(MouseAndKeys, RepeatedClicksStepThroughAnnotationsAtOneDistance) {
  open(1, 3);
  // Two texts placed at the same corners, before the first note of voice 0.
  Drosa note = drawn(0)[0];
  std::vector<Drosa> texts;
  for (int i = 0; i < 2; ++i) {
    Drosa t = newDrosa(TPARAM, 0), pd = newDrosa(PDATA, 0);
    link_after(t, note->xback);
    link_after(pd, t);
    pd->set(xscrx1, 1000);
    pd->set(xscry1, 2000);
    pd->set(xscrx2, 1400);
    pd->set(xscry2, 2100);
    texts.push_back(t);
  }
  const Point origin = scroll_origin();
  const Point at{origin.x + 100, origin.y + page_pixel_height - 200};
  int32_t d = 0;
  Drosa first = find_nearest_anno(at, 1, &d), second = find_nearest_anno(at, 1, &d),
        third = find_nearest_anno(at, 1, &d);
  EXPECT_EQ(d, 0);
  EXPECT_NE(first, second);
  EXPECT_EQ(first, third);
  EXPECT_EQ(next_visible_anno(texts[1]), NIL);
  EXPECT_EQ(prev_visible_anno(texts[1]), texts[0]);
  for (Drosa t : texts) {
    destroy_node(t->xnext);
    destroy_node(t);
  }
}

}  // namespace
