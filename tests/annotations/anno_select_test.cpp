// anno_select_test.cpp: the program's editing modes and the annotation palette, driven by
// clicks on the piano window's mode icons and in the music window; the palette is written in
// each mode as test-output/editing/palette_<mode>.png of the build folder.
//   AnnoModes.*: the icons switch modes, a line that does not fit the new mode is let go, Next
//                Annotation selects a text without editing it, a published piece's palette; the
//                box beside the special accidentals gives them to the selected note
//   AnnoDrag.*:  an Option-drag moves a text of two runs, one Undo puts it back; an Option-click
//                on an accidental makes an annotation that draws it in its place; two such
//                clicks on one note undo one at a time; a Cut one keeps its element hidden
//   Flashing.*:  the insertion point's note blinks in the window only, a flash shown is taken
//                away when it stops, no burst after a busy spell
#include "annotations/anno_select.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"
#include "platform/port.h"
#include "platform/ticks.h"
#include "platform/window.h"
#include "support/selection_page.h"

namespace {

class AnnoModes : public SelectionPage {
 protected:
  // A click on a mode icon of the piano window (3 text, 4 line, 5 curve, 6 music).
  void icon(int item) {
    EventRecord e;
    e.what = EVENT_MOUSE_DOWN;
    e.window = palette_window;
    e.where = {8, 26 + 9 * (item - 3)};
    platform_post_event(e);
    e.what = EVENT_MOUSE_UP;
    platform_post_event(e);
    EXPECT_EQ(run_until_idle(), -1);
  }
  void save_palette(const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path("test-output") / "editing";
    fs::create_directories(folder);
    port_save_png(platform_window_port(piano_dialog), (folder / (name + ".png")).c_str());
  }
  // A text before a note, drawn on the page.
  Drosa placed_text(Drosa note, const char* words) {
    Drosa text = make_text_anno(note, 0, 6, P_PEDAL_MARKING, words, nullptr);
    text->set(xhidden, 0);
    return text;
  }
  // The second note of a one-page piece, given a flat that is drawn.
  Drosa note_with_accidental() {
    open(1, 1);
    Drosa note = drawn(0)[1];
    note->set(xacc, 4);
    note->set(xaccplot, 1);
    mark_piece_changed(1, 1, 0);
    run_until_idle();
    return note;
  }
};
using AnnoDrag = AnnoModes;
using Flashing = AnnoModes;

TEST_F(AnnoModes, IconsModesNextAnnotationAndAPublishedPiece) {
  open(1, 1);
  const std::vector<Drosa> notes = drawn(0);
  Drosa text = placed_text(notes[2], "Allegro");
  insertion_point = notes[3];
  Drosa line = copyDrosa(line_template);
  line->set(xcurve, 0);
  line->set(xendx, 400);
  insertvc_node_with_undo(line, notes[3]->xback);
  link_after(newDrosa(PDATA, 0), line);
  mark_piece_changed(1, 1, 0);
  run_until_idle();
  set_insertion_point(notes[0], 0, -10);

  const char* names[4] = {"palette_text", "palette_line", "palette_curve", "palette_music"};
  for (int item = 3; item <= 6; ++item) {
    icon(item);
    EXPECT_EQ(MODE, item == 6 ? MUSIC_MODE : item - 2);
    EXPECT_EQ(palette_icon, item);
    save_palette(names[item - 3]);
  }
  EXPECT_EQ(text_edit_length(), 0);
  // A Text Category chosen with no text selected: the palette names it at once (it named the
  // one before).
  icon(3);
  constexpr int16_t TEXT_CATEGORY = 26;  // the Text Category submenu; its item 9 is Dynamic
  do_menu_item(TEXT_CATEGORY, 9, 'v');
  EXPECT_EQ(anno_info.rfind("Text Annotation  Dynamic", 0), 0u) << anno_info;
  icon(6);

  // A straight line selected in line mode is let go when curve mode begins.
  select_anno(line);
  EXPECT_EQ(MODE, LINE_MODE);
  EXPECT_EQ(current_anno, line);
  icon(5);
  EXPECT_EQ(MODE, CURVE_MODE);
  EXPECT_EQ(current_anno, NIL);
  EXPECT_EQ(previous_anno, line);
  EXPECT_EQ(line_template->get(xcurve), 1);

  // Next Annotation from the first note: the text, selected but not being edited.
  end_anno_selection(MUSIC_MODE, 1);
  set_insertion_point(notes[0], 0, -10);
  do_menu_item(ANNOTATION_MENU, 2, 'v');
  EXPECT_EQ(current_anno, text);
  EXPECT_EQ(MODE, TEXT_MODE);
  EXPECT_EQ(insertion_point, notes[2]);
  EXPECT_EQ(text_edit_length(), 0);
  EXPECT_EQ(anno_info.rfind("Text Annotation  Tempo Marking", 0), 0u) << anno_info;
  save_palette("palette_selected_text");
  do_menu_item(ANNOTATION_MENU, 2, 'v');
  EXPECT_EQ(current_anno, line);
  EXPECT_EQ(MODE, LINE_MODE);

  // A published piece: every annotation mode says so, and offers nothing to create.
  set_options_i16(1, OPTIONS_PUBLISHED, 1);
  current_anno = NIL;
  for (int mode : {TEXT_MODE, LINE_MODE, CURVE_MODE}) {
    MODE = int16_t(mode);
    anno_info_text(-1, -1, NIL, insertion_point);
    EXPECT_NE(anno_info.find("Annotations are disabled because music has been published."),
              std::string::npos);
    EXPECT_EQ(anno_info.find("command-drag"), std::string::npos);
  }
  MODE = MUSIC_MODE;
  set_options_i16(1, OPTIONS_PUBLISHED, 0);
}

TEST_F(AnnoModes, TheAppliedBoxGivesTheChosenSpecialAccidentalsToTheNote) {
  open(1, 1);
  Drosa note = drawn(0)[1];
  set_insertion_point(note, 0, -10);
  do_menu_item(NOTE_MENU, 6, 'v');
  run_until_idle();
  ASSERT_NE(spacc_template, NIL);
  spacc_template->set(xnumspacc, 1);
  spacc_template->set(xspacc_entry, 0, 6);
  const std::string before = voice_bytes(true);
  EventRecord e;
  e.what = EVENT_MOUSE_DOWN;
  e.window = palette_window;
  e.where = {7, 90};
  platform_post_event(e);
  run_until_idle();
  Drosa spacc = note->xback;
  ASSERT_EQ(spacc->xkind, SPACC);
  EXPECT_EQ(spacc->get(xnumspacc), 1);
  EXPECT_EQ(spacc->get(xspacc_entry, 0), 6);
  do_menu_item(EDIT_MENU, 1, 'v');
  run_until_idle();
  EXPECT_TRUE(voice_bytes(true) == before);
  do_menu_item(NOTE_MENU, 6, 'v');
}

TEST_F(AnnoDrag, AnOptionDragMovesATextOfTwoRunsAndOneUndoPutsItBack) {
  open(1, 1);
  Drosa note = drawn(0)[1];
  Drosa text = placed_text(note, "dolce");
  Drosa run = copyDrosa(text);
  run->set(xadjacent, 1);
  insertvc_node_with_undo(run, text->xnext->xnext);  // after the PDATA and the TEXT node
  mark_piece_changed(1, 1, 0);
  run_until_idle();
  Drosa pd = text->xnext;
  ASSERT_NE(pd->get(xscrx1), NOT_DRAWN);
  const std::string before = voice_bytes(true);
  const int32_t x = text->get(xtextx), y = text->get(xtexty);
  const Point origin = scroll_origin();
  const Point at{int(pd->get(xscrx1) / zoom_factor) + origin.x,
                 origin.y + page_pixel_height - int(pd->get(xscry1) / zoom_factor)};
  drag(at, {at.x + 30, at.y - 20}, MOD_OPTION);
  EXPECT_EQ(current_anno, text);
  EXPECT_EQ(text->get(xtextx), x + int32_t(30 * zoom_factor));
  EXPECT_EQ(text->get(xtexty), y + int32_t(20 * zoom_factor)) << "up the page";
  EXPECT_NE(DrosaDirty, 0);
  end_anno_selection(MUSIC_MODE, 1);
  do_menu_item(EDIT_MENU, 1, 'v');
  run_until_idle();
  EXPECT_EQ(voice_bytes(true), before);
}

// The printed characters of a var drawn for a note (with annotations, those its annotations
// draw), in list order.
std::vector<Drosa> elements_of(Drosa note, int var, bool annotations) {
  std::vector<Drosa> found;
  Drosa owner = NIL;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind == NOTEPTR) owner = e->get(xnoteptr);
    if (owner == note && e->xkind == GE_CHAR && !e->get(xgscreen) &&
        (annotations ? e->get(xganno) != 0 : !e->get(xganno) && e->get(xgc_var) == var))
      found.push_back(e);
  }
  return found;
}

constexpr int ACCIDENTAL = 48, NOTEHEAD = 46;

// Where a printed element of the music is in the window.
Point window_point(Drosa element) {
  const Point origin = scroll_origin();
  return {int(element->get(xgc_x) / zoom_factor) + origin.x,
          origin.y + page_pixel_height - int(element->get(xgc_y) / zoom_factor)};
}

TEST_F(AnnoDrag, AnOptionClickOnAnAccidentalMakesAnAnnotationThatDrawsItWhereItWas) {
  Drosa note = note_with_accidental();
  const std::string before = voice_bytes(true);
  std::vector<Drosa> accidentals = elements_of(note, ACCIDENTAL, false);
  ASSERT_EQ(accidentals.size(), 1u);
  const int32_t x = accidentals[0]->get(xgc_x), y = accidentals[0]->get(xgc_y);
  const int glyph = accidentals[0]->get(xgc_char);
  const Point at = window_point(accidentals[0]);
  click(at, MOD_OPTION);
  Drosa anno = current_anno;
  ASSERT_NE(anno, NIL);
  EXPECT_EQ(anno->xkind, TPARAM);
  EXPECT_EQ(anno->get(xeocvar), ACCIDENTAL);
  EXPECT_EQ(anno->get(xeocord), 1);
  Drosa after = anno->xnext;
  while (after->xkind != NOTE) after = after->xnext;
  EXPECT_EQ(after, note);
  // Formatted again: the accidental is hidden and the annotation draws it in its place.
  accidentals = elements_of(note, ACCIDENTAL, false);
  ASSERT_EQ(accidentals.size(), 1u);
  EXPECT_NE(accidentals[0]->get(xgremove), 0);
  EXPECT_EQ(GE_matches_Drosa(accidentals[0], anno), 1);
  std::vector<Drosa> drawn_by_anno = elements_of(note, ACCIDENTAL, true);
  ASSERT_EQ(drawn_by_anno.size(), 1u);
  EXPECT_EQ(drawn_by_anno[0]->get(xgc_x), x);
  EXPECT_EQ(drawn_by_anno[0]->get(xgc_y), y);
  std::string text;
  Drosa attributes = drawn_by_anno[0];
  GE_string_text(&text, &attributes);
  EXPECT_EQ(text, std::string(1, char(glyph)));
  end_anno_selection(MUSIC_MODE, 1);
  do_menu_item(EDIT_MENU, 1, 'v');
  run_until_idle();
  EXPECT_EQ(voice_bytes(true), before);
  // Dragged away, it draws there while the accidental stays hidden; one Undo puts it back.
  drag(at, {at.x + 12, at.y}, MOD_OPTION);
  anno = current_anno;
  ASSERT_NE(anno, NIL);
  EXPECT_EQ(anno->get(xeocvar), ACCIDENTAL);
  end_anno_selection(MUSIC_MODE, 1);
  run_until_idle();
  EXPECT_NE(elements_of(note, ACCIDENTAL, false)[0]->get(xgremove), 0);
  std::vector<Drosa> moved = elements_of(note, ACCIDENTAL, true);
  ASSERT_EQ(moved.size(), 1u);
  EXPECT_EQ(moved[0]->get(xgc_x), x + int32_t(12 * zoom_factor));
  EXPECT_EQ(moved[0]->get(xgc_y), y);
  do_menu_item(EDIT_MENU, 1, 'v');
  run_until_idle();
  EXPECT_EQ(voice_bytes(true), before);
  EXPECT_EQ(elements_of(note, ACCIDENTAL, false)[0]->get(xgremove), 0);
}

TEST_F(AnnoDrag, TwoElementsOfANoteOptionClickedInTurnAreUndoneOneAtATime) {
  Drosa note = note_with_accidental();
  const std::string before = voice_bytes(true);
  click(window_point(elements_of(note, ACCIDENTAL, false).at(0)), MOD_OPTION);
  end_anno_selection(MUSIC_MODE, 1);
  run_until_idle();
  click(window_point(elements_of(note, NOTEHEAD, false).at(0)), MOD_OPTION);
  ASSERT_NE(current_anno, NIL);
  EXPECT_EQ(current_anno->get(xeocvar), NOTEHEAD);
  end_anno_selection(MUSIC_MODE, 1);
  run_until_idle();
  for (int undo = 0; undo < 2; ++undo) {
    do_menu_item(EDIT_MENU, 1, 'v');
    run_until_idle();
  }
  EXPECT_TRUE(voice_bytes(true) == before);
}

TEST_F(AnnoDrag, ACutMovedAccidentalStaysHiddenAndUndoBringsItBack) {
  Drosa note = note_with_accidental();
  const Point at = window_point(elements_of(note, ACCIDENTAL, false).at(0));
  drag(at, {at.x + 12, at.y}, MOD_OPTION);
  Drosa anno = current_anno;
  ASSERT_NE(anno, NIL);
  run_until_idle();
  const std::string moved = voice_bytes(true);
  do_menu_item(EDIT_MENU, 4, 'v');
  run_until_idle();
  EXPECT_EQ(current_anno, NIL);
  EXPECT_EQ(anno->get(xtext_drawmode), 2) << "kept, not drawn";
  EXPECT_NE(elements_of(note, ACCIDENTAL, false).at(0)->get(xgremove), 0);
  EXPECT_TRUE(elements_of(note, ACCIDENTAL, true).empty());
  Drosa copy = clipboard_list;
  while (copy && copy->xkind != TPARAM) copy = copy->xnext;
  ASSERT_NE(copy, NIL);
  EXPECT_EQ(copy->get(xeocvar), 0);
  EXPECT_EQ(copy->get(xeocord), 0);
  do_menu_item(EDIT_MENU, 1, 'v');
  run_until_idle();
  EXPECT_TRUE(voice_bytes(true) == moved);
  EXPECT_EQ(elements_of(note, ACCIDENTAL, true).size(), 1u) << "drawn where it was moved";
}

TEST_F(Flashing, TheNoteBlinksInTheWindowAndStopsClean) {
  open(1, 1);
  Drosa note = drawn(0)[1];
  platform_use_virtual_ticks(true);
  Port* window = platform_window_port(music_window());
  auto differing = [&] {
    const Rect area = music_area_rect();
    const Point origin = scroll_origin();
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x)
        n += port_pixel(window, x, y) != port_pixel(offscreen_page, x - origin.x, y - origin.y);
    return n;
  };
  stop_flashing(flashing_node);
  refresh_from_offscreen();
  start_flashing(NIL);
  EXPECT_EQ(flashing_node, NIL) << "nothing drawn: nothing flashes";
  start_flashing(note);
  ASSERT_EQ(flashing_node, note);
  flash_idle();
  EXPECT_EQ(flash_shown(), 1) << "the first idle call shows it";
  EXPECT_GT(differing(), 5);
  const std::vector<uint32_t> page = page_pixels();
  flash_idle();
  EXPECT_EQ(flash_shown(), 1) << "not before a caret time";
  // After a busy spell of several caret times: one blink, the next a caret time later.
  const uint32_t caret = platform_caret_ticks();
  platform_advance_ticks(5 * caret);
  flash_idle();
  EXPECT_EQ(flash_shown(), 0);
  EXPECT_EQ(differing(), 0);
  flash_idle();
  EXPECT_EQ(flash_shown(), 0);
  platform_advance_ticks(caret);
  flash_idle();
  EXPECT_EQ(flash_shown(), 1);
  show_as_flashed(note, 0);  // already so: nothing drawn
  EXPECT_EQ(flash_shown(), 1);
  stop_flashing(note);
  EXPECT_EQ(flashing_node, NIL);
  EXPECT_EQ(differing(), 0) << "the flash shown is taken away";
  EXPECT_TRUE(page_pixels() == page) << "the page image never held it";
  platform_use_virtual_ticks(false);
}

}  // namespace
