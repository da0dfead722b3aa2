// gselect_test.cpp: field assignment by field name on a page of three voices.
//   FieldAssignment.*: every note, tie-and-slur and annotation field assigned over the selection
//                      is undone and redone byte for byte; the tie and slur values; chord-wide
//                      beams; modifiers made and removed; the group bits cost no undo step
//   SelectionMarks.*:  the menus' marks and the palette's grey box from the selection's values;
//                      the slur menus' hanging rules through the menus themselves
//   AnnotationFields.*: a text keeps its right edge when it grows; a context that hides the
//                      selected annotation lets it go
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/events.h"
#include "platform/menus.h"
#include "platform/port.h"
#include "support/selection_page.h"

namespace {

class FieldAssignment : public SelectionPage {
 protected:
  // Assigns over what is selected, then checks Undo and Redo through the Edit menu.
  void check_undo_redo(const NodeField& field, int value) {
    const std::string before = voice_bytes(true);
    set_undo_mark(0);
    assign_selection_field(field, value, 1);
    const std::string after = voice_bytes(true);
    EXPECT_FALSE(after == before) << field.name << " changed nothing";
    do_menu_item(EDIT_MENU, 1, 'v');
    EXPECT_TRUE(voice_bytes(true) == before) << field.name << " undone";
    do_menu_item(EDIT_MENU, 2, 'v');
    EXPECT_TRUE(voice_bytes(true) == after) << field.name << " redone";
    do_menu_item(EDIT_MENU, 1, 'v');
  }
};
using SelectionMarks = SelectionPage;
using AnnotationFields = SelectionPage;

TEST_F(FieldAssignment, EveryFieldIsUndoneAndRedoneByteForByte) {
  open(1, 3);
  const std::vector<Drosa> notes = drawn(1);
  const NodeField* const fields[] = {&xcue,
                                     &xaccent,
                                     &xdir,
                                     &xferm,
                                     &xaccplot,
                                     &xcbeam,
                                     &xebeam,
                                     &xcsbeam,
                                     &xesbeam,
                                     &xtrembeam,
                                     &xbstem,
                                     &xnostem,
                                     &xtie,
                                     &xgliss,
                                     &xtenu,
                                     &xstacc,
                                     &xnoslash,
                                     &xhider,
                                     &xhidet,
                                     &xslur,
                                     &xtremolo,
                                     &xnotehead,
                                     &xbendslur,
                                     &xparen,
                                     &xbendtie,
                                     &xthumb,
                                     &xdashslur,
                                     &xdashtie,
                                     &xcrawlslur,
                                     &xnachschlag,
                                     &xhangRslur,
                                     &xhangLslur,
                                     &xleftonlyslur,
                                     &xhangRtie,
                                     &xhangLtie,
                                     &xleftonlytie,
                                     &xsplitslur,
                                     &xa_altslursize,
                                     &xa_slur,
                                     &xa_crawlslur,
                                     &xa_handRslur,
                                     &xa_hangLslur,
                                     &xa_leftonlyslur,
                                     &xa_splitslur,
                                     &xa_dashslur,
                                     &bendslur,
                                     &xstacissimo};
  for (const NodeField* field : fields) {
    // A group of a single note, the first note of a chord and a rest-free quarter.
    for (int i : {0, 3, 6}) notes[i]->set(xselected, 1);
    group_selected = 1;
    int value = field->bits == 1 ? 1 : 2;
    if (field == &xtie || field == &xslur) value = 3;
    if (field == &xdir) value = 1;
    check_undo_redo(*field, value);
    for (int i : {0, 3, 6}) notes[i]->set(xselected, 0);
    group_selected = 0;
  }

  // The annotation fields, on a text and a line before the first note of voice 2.
  Drosa note = drawn(2)[0];
  Drosa text = make_text_anno(note, 0, 1, P_PEDAL_MARKING, "Allegro", nullptr);
  Drosa line = newDrosa(LINE, 0);
  insertvc_node_with_undo(line, note->xback);
  set_undo_mark(0);
  const struct {
    Drosa anno;
    int mode;
    const NodeField* field;
    int value;
  } annos[] = {
      {text, TEXT_MODE, &xtextfont, -5},
      {text, TEXT_MODE, &xcharset, 1},
      {text, TEXT_MODE, &xtextsize, 18},
      {text, TEXT_MODE, &xtextface, 3},
      {text, TEXT_MODE, &xtext_drawmode, 1},
      {text, TEXT_MODE, &xkeep_hyphen, 1},
      {text, TEXT_MODE, &xkeep_underline, 1},
      {text, TEXT_MODE, &xno_size_adjust, 1},
      {text, TEXT_MODE, &xpslayout, 1},
      {text, TEXT_MODE, &xspec_underline, 1},
      {text, TEXT_MODE, &xjustified, 2},
      {text, TEXT_MODE, &xpagemargin, 1},
      {text, TEXT_MODE, &xboxed, 1},
      {text, TEXT_MODE, &xleavespace, 1},
      {text, TEXT_MODE, &xfromstaff, 0},
      {text, TEXT_MODE, &xfing, 1},
      {text, TEXT_MODE, &xhidden, 0},
      {text, TEXT_MODE, &xdefault, 1},
      {text, TEXT_MODE, &xfooter, 1},
      {text, TEXT_MODE, &xignore, 1},
      {text, TEXT_MODE, &xtext_color, 3},
      {text, TEXT_MODE, &xclassify, 7},
      {text, TEXT_MODE, &xclassify_gselect, 7},
      {text, TEXT_MODE, &xcontext, 1},
      {line, LINE_MODE, &xgaplth, 4},
      {line, LINE_MODE, &xdashlth, 5},
      {line, LINE_MODE, &xlinewidth, 25},
      {line, LINE_MODE, &xline_drawmode, 1},
      {line, LINE_MODE, &xline_fromstaff, 1},
      {line, LINE_MODE, &xline_pagemargin, 1},
      {line, LINE_MODE, &xline_color, 2},
      {line, LINE_MODE, &xmetaline, 3},
      {line, CURVE_MODE, &xfattermid, 1},
  };
  for (const auto& a : annos) {
    if (a.mode == CURVE_MODE) a.anno->set(xcurve, 1);
    current_anno = a.anno;
    MODE = int16_t(a.mode);
    check_undo_redo(*a.field, a.value);
    current_anno = NIL;
    MODE = MUSIC_MODE;
  }
  for (Drosa& slot : class_models) slot = NIL;
}

TEST_F(FieldAssignment, TiesAndSlursTurnOnlyWhatIsThereAndTiesMoveAccidentals) {
  open(1, 3);
  const std::vector<Drosa> notes = drawn(0);
  Drosa a = notes[6], b = notes[7];  // the last quarter of bar 1 and the first of bar 2
  b->set(xmod7, a->get(xmod7));
  for (Drosa n : {a, b}) {
    n->set(xacc, 4);
    n->set(xaccplot, 1);
  }
  set_insertion_point(a, 0, -10);
  const std::string untied = voice_bytes();
  assign_selection_field(xtie, 1, 1);
  EXPECT_TRUE(voice_bytes() == untied) << "1 does not turn a tie that is not there";
  assign_selection_field(xslur, 2, 1);
  EXPECT_TRUE(voice_bytes() == untied);
  assign_selection_field(xtie, 3, 1);
  EXPECT_EQ(a->get(xtie), 3);
  EXPECT_EQ(b->get(xaccplot), 0) << "a tied note carries its accidental over the bar line";
  assign_selection_field(xtie, 1, 1);
  EXPECT_EQ(a->get(xtie), 1) << "a tie that is there turns";
  assign_selection_field(xtie, 0, 1);
  EXPECT_EQ(a->get(xtie), 0);
  EXPECT_EQ(b->get(xaccplot), 1) << "and shows it again without the tie";
}

TEST_F(FieldAssignment, ChordBeamsModifiersAndGroupBits) {
  open(1, 3);
  const std::vector<Drosa> notes = drawn(0);
  // A chord of three quarters: the target stems up, one automatic, one down.
  notes[3]->set(xdir, 2);
  notes[4]->set(xdir, 3);
  notes[5]->set(xdir, 1);
  set_insertion_point(notes[3], 0, -10);
  assign_selection_field(xcbeam, 1, 1);
  EXPECT_EQ(notes[3]->get(xcbeam), 1);
  EXPECT_EQ(notes[4]->get(xcbeam), 1);
  EXPECT_EQ(notes[5]->get(xcbeam), 0) << "the other stem direction keeps its own beaming";

  // A modifier is made for the first switch set and goes with the last one cleared.
  set_insertion_point(notes[6], 0, -10);
  assign_selection_field(xhangRslur, 0, 1);
  EXPECT_EQ(find_prev_kind_stop(TSMOD, notes[6], ENDSYST), NIL) << "0 makes nothing";
  set_undo_mark(0);
  assign_selection_field(xhangRslur, 1, 1);
  Drosa tsmod = find_prev_kind_stop(TSMOD, notes[6], ENDSYST);
  ASSERT_TRUE(tsmod);
  EXPECT_EQ(tsmod->get(xhangRslur), 1);
  set_undo_mark(0);
  assign_selection_field(xhangRslur, 0, 1);
  EXPECT_EQ(find_prev_kind_stop(TSMOD, notes[6], ENDSYST), NIL);
  do_menu_item(EDIT_MENU, 1, 'v');
  ASSERT_TRUE(find_prev_kind_stop(TSMOD, notes[6], ENDSYST)) << "undo brings it back";

  // Ending a group clears its bits without an undo step or a change to save.
  run_until_idle();
  DrosaDirty = 0;
  click(head(notes[0]), MOD_SHIFT);
  click(head(notes[1]), MOD_SHIFT);
  const int32_t undo_nodes = undo_list_length(0);
  click(head(notes[7]));
  EXPECT_TRUE(selected().empty());
  EXPECT_EQ(undo_list_length(0), undo_nodes);
  EXPECT_EQ(DrosaDirty, 0);
  set_insertion_point(notes[7], 0, -10);
  assign_selection_field(xselected, 1, 0);
  EXPECT_EQ(take_reports().size(), 1u) << "xselected is never set through a field name";
  EXPECT_EQ(notes[7]->get(xselected), 0);
}

TEST_F(SelectionMarks, MixedValuesShowADashAndGreyThePaletteBox) {
  open(1, 3);
  const std::vector<Drosa> notes = drawn(0);
  set_insertion_point(NIL, 0, -10);
  EXPECT_EQ(mark_menu_from_selection(STEM_MENU, 4, slash, 0, 7), 7) << "nothing selected";
  EXPECT_EQ(platform_menu_item_mark(STEM_MENU, 4), 0) << "a reference-0 item stays unmarked";
  int accents[] = {1, 1, 2};
  int i = 0;
  for (Drosa n : {notes[0], notes[1], notes[2]}) {
    n->set(xaccent, accents[i++]);
    click(head(n), MOD_SHIFT);
  }
  EXPECT_EQ(query_selection_field(0, xaccent, 1), GSELECT_MIXED);
  mark_menu_from_selection(NOTE_MENU, 4, xaccent, 1, 0);
  EXPECT_EQ(platform_menu_item_mark(NOTE_MENU, 4), MENU_MARK_DASH);
  EXPECT_FALSE(platform_menu_item_checked(NOTE_MENU, 4)) << "a dash is no check mark";
  Port* palette = port_new_offscreen(20, 20);
  platform_set_port(palette);
  const Rect box{2, 2, 18, 18};
  int32_t out = 5;
  EXPECT_EQ(check_selection_field(&out, &box, xaccent, 1), 0);
  EXPECT_EQ(out, 0);
  int grey = 0;
  for (int y = 2; y < 18; ++y)
    for (int x = 2; x < 18; ++x) grey += port_pixel(palette, x, y) != 0xFFFFFF;
  EXPECT_EQ(grey, 16 * 16 / 4) << "the light grey pattern";
  port_dispose(palette);

  // The menu pass marks the Stem menu from the selection: all stems up marks Stem Up.
  for (Drosa n : selected()) n->set(xdir, 2);
  update_menus(0);
  EXPECT_EQ(platform_menu_item_mark(STEM_MENU, 1), MENU_MARK_CHECK);
  EXPECT_EQ(platform_menu_item_mark(STEM_MENU, 2), 0);
  notes[1]->set(xdir, 1);
  update_menus(0);
  EXPECT_EQ(platform_menu_item_mark(STEM_MENU, 1), MENU_MARK_DASH);
}

TEST_F(SelectionMarks, TheHangingSwitchesOfTheSlurMenusWorkTogether) {
  open(1, 3);
  Drosa note = drawn(0)[6];
  note->set(xslur, 2);
  click(head(note));
  ASSERT_TRUE(platform_choose_menu_item(MODIFY_SLUR_MENU, 7));  // Only Left
  run_until_idle();
  Drosa tsmod = find_prev_kind_stop(TSMOD, note, ENDSYST);
  ASSERT_TRUE(tsmod);
  EXPECT_EQ(tsmod->get(xleftonlyslur), 1);
  EXPECT_EQ(tsmod->get(xhangLslur), 1) << "Only Left hangs left";
  EXPECT_EQ(tsmod->get(xhangRslur), 0);
  EXPECT_EQ(platform_menu_item_mark(MODIFY_SLUR_MENU, 7), MENU_MARK_CHECK);
  ASSERT_TRUE(platform_choose_menu_item(MODIFY_SLUR_MENU, 6));  // Hangs Left, marked: off
  run_until_idle();
  EXPECT_EQ(find_prev_kind_stop(TSMOD, note, ENDSYST), NIL) << "no switch left: no modifier";
  ASSERT_TRUE(platform_choose_menu_item(STEM_MENU, 1));  // Stem Up
  run_until_idle();
  EXPECT_EQ(note->get(xdir), 2);
  ASSERT_TRUE(platform_choose_menu_item(STEM_MENU, 1));  // chosen again while marked: automatic
  run_until_idle();
  EXPECT_EQ(note->get(xdir), 3);
}

TEST_F(AnnotationFields, ATextKeepsItsRightEdgeAndAContextThatHidesItLetsItGo) {
  open(1, 3);
  Drosa note = drawn(0)[0];
  Drosa text = make_text_anno(note, 0, 1, P_PEDAL_MARKING, "cresc.", nullptr);
  text->set(xjustified, 2);
  text->set(xtextx, 500);
  const int32_t right = 500 + measure_anno_text(note, text, nullptr);
  end_anno_selection(TEXT_MODE, 1);
  current_anno = text;
  assign_selection_field(xtextsize, 24, 1);
  EXPECT_EQ(text->get(xtextsize), 24);
  EXPECT_NEAR(text->get(xtextx) + measure_anno_text(note, text, nullptr), right, 1);
  EXPECT_EQ(query_selection_field(1, xtextsize, 24), 24);
  current_ncontext = 1;
  assign_selection_field(xcontext, -1, 1);  // not in the Score, which is shown
  EXPECT_EQ(current_anno, NIL);
  EXPECT_EQ(text->xcontext, -1);
  end_anno_selection(MUSIC_MODE, 1);
}

TEST_F(AnnotationFields, ABandOverATextSelectsItForTheStyleCommands) {
  open(1, 3);
  Drosa text = make_text_anno(drawn(0)[0], 0, 1, P_PEDAL_MARKING, "Allegro", nullptr);
  text->set(xhidden, 0);
  mark_piece_changed(1, 1, 0);
  run_until_idle();
  Drosa pd = text->xnext;
  ASSERT_EQ(pd->xkind, PDATA);
  ASSERT_NE(pd->get(xscrx1), NOT_DRAWN) << "the text is drawn on the page";
  const std::vector<uint32_t> unmarked = page_pixels();
  auto window = [](int32_t x, int32_t y) {
    const Point origin = scroll_origin();
    return Point{int(x / zoom_factor) + origin.x,
                 origin.y + page_pixel_height - int(y / zoom_factor)};
  };
  Point a = window(pd->get(xscrx1), pd->get(xscry1)), b = window(pd->get(xscrx2), pd->get(xscry2));
  drag({std::min(a.x, b.x) - 8, std::min(a.y, b.y) - 8},
       {std::max(a.x, b.x) + 8, std::max(a.y, b.y) + 8});
  EXPECT_EQ(MODE, TEXT_MODE);
  EXPECT_EQ(group_selected, 1u);
  EXPECT_EQ(pd->get(xanno_selected), 1);
  EXPECT_FALSE(page_pixels() == unmarked) << "the group's marks show";
  save_page("text_band");

  do_menu_item(SIZE_MENU, 3, 'v');
  run_until_idle();
  EXPECT_EQ(text->get(xtextsize), size_menu_sizes[2]);
  pd = text->xnext;
  EXPECT_EQ(pd->get(xanno_selected), 1) << "still selected after the page was drawn again";
  const std::vector<uint32_t> kept = page_pixels();
  redraw_view();
  EXPECT_TRUE(page_pixels() == kept) << "the marks were put back on the page drawn afresh";

  click(head(drawn(1)[6]));  // a note: the group ends
  EXPECT_EQ(group_selected, 0u);
  EXPECT_EQ(pd->get(xanno_selected), 0);
  const std::vector<uint32_t> after = page_pixels();
  redraw_view();
  EXPECT_TRUE(page_pixels() == after) << "no mark left behind";
  end_anno_selection(MUSIC_MODE, 1);
}

}  // namespace
