// tests/performance/palette_test.cpp: the note-attribute palette of the piano window.
//   PaletteBoxes.*:  where the boxes lie and which a point falls on
//   PaletteClicks.*: the cycles of the boxes in entry mode, grace against tuplet, the tuplet
//                    and grace dialogs; nothing left between the boxes when the hint or the
//                    values go
//   PaletteSelection.*: the palette shows and edits the selected notes, with undo
//   SpecialAccidentals.*: the rows of special accidentals and the group chosen
#include "performance/palette.h"

#include <gtest/gtest.h>

#include <vector>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "model/model_services.h"
#include "performance/entry_fixture.h"
#include "performance/performance_globals.h"
#include "performance/performance_services.h"
#include "platform/port.h"
#include "platform/script.h"
#include "platform/window.h"

namespace {

constexpr int BOX_ACCENT = 2, BOX_STACCATO = 4, BOX_PAREN = 8, BOX_TREMOLO = 9, BOX_GRACE = 14;
constexpr int BOX_TUPLET = 15, BOX_64TH = 23, BOX_128TH = 24, BOX_FLAT = 26;

using PaletteClicks = EntryPage;
using PaletteSelection = EntryPage;
using SpecialAccidentals = EntryPage;

// The share of the box's pixels that are dark in the piano window.
double dark_share(int box) {
  Rect r;
  boxnum_to_rect(box, &r);
  const Port* port = platform_window_port(palette_window);
  int dark = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) dark += (port_pixel(port, x, y) & 0xFF) < 0x80;
  return double(dark) / (r.width() * r.height());
}

}  // namespace

TEST(PaletteBoxes, EveryBoxLiesWhereAPointOnItFindsIt) {
  Rect r;
  boxnum_to_rect(0, &r);
  EXPECT_EQ(r, (Rect{18, 31, 37, 45}));
  boxnum_to_rect(16, &r);
  EXPECT_EQ(r, (Rect{180, 31, 197, 60})) << "the breve's box is narrowed";
  for (int box = 0; box < PALETTE_BOXES; ++box) {
    boxnum_to_rect(box, &r);
    const Point middle{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    // The last column holds only its upper box.
    EXPECT_EQ(palette_box_at(middle), box == 34 ? -1 : box) << "box " << box;
  }
  EXPECT_EQ(palette_box_at({17, 40}), -1);
  EXPECT_EQ(palette_box_at({520, 40}), -1);
  EXPECT_EQ(palette_box_at({100, 61}), -1);
}

TEST_F(PaletteClicks, BoxesCycleThroughTheirValuesAndGraceAndTupletExcludeEachOther) {
  open_empty(4);
  start_entry();
  const Drosa t = current_note_template;
  click_piano(box_point(BOX_64TH));
  EXPECT_EQ(t->get(xlgval), 7);
  std::vector<int> dots;
  for (int i = 0; i < 3; ++i) {
    click_piano(box_point(BOX_64TH));
    dots.push_back(t->get(xdots));
  }
  EXPECT_EQ(dots, (std::vector<int>{1, 0, 1}));
  click_piano(box_point(BOX_128TH));
  click_piano(box_point(BOX_128TH));
  EXPECT_EQ(t->get(xdots), 0) << "a 128th has no dot";
  std::vector<int> parens, tremolos, accents;
  for (int i = 0; i < 4; ++i) {
    click_piano(box_point(BOX_PAREN));
    parens.push_back(t->get(xparen));
    click_piano(box_point(BOX_TREMOLO));
    tremolos.push_back(t->get(xtremolo));
    click_piano(box_point(BOX_ACCENT));
    accents.push_back(t->get(xaccent));
  }
  EXPECT_EQ(parens, (std::vector<int>{3, 2, 1, 0}));
  EXPECT_EQ(tremolos, (std::vector<int>{3, 2, 1, 0}));
  EXPECT_EQ(accents, (std::vector<int>{1, 2, 0, 1}));
  click_piano(box_point(BOX_GRACE));
  EXPECT_EQ(t->get(xgrace), 1);
  click_piano(box_point(BOX_TUPLET));
  EXPECT_EQ(t->get(xtupl), 3);
  EXPECT_EQ(t->get(xgrace), 0) << "a tuplet turns grace off";
  click_piano(box_point(BOX_GRACE));
  EXPECT_EQ(t->get(xgrace), 1);
  EXPECT_EQ(t->get(xtupl), 1) << "grace turns the tuplet off";
}

TEST_F(PaletteClicks, TheHintAndTheValuesLeaveNothingBehindWhenTheyGo) {
  open_empty(4);
  auto pixels = [] { return port_pixels(platform_window_port(palette_window)); };
  // The palette drawn whole, as a window update draws it.
  auto drawn_whole = [&] {
    erase_piano_window();
    draw_piano_window();
    return pixels();
  };
  // A key played outside entry mode writes how to enter notes over the value boxes; entry mode
  // then draws the values over the boxes, and leaving it takes them away again.
  click(head(drawn(0)[0]));
  click_piano(piano_key_point(60));
  ASSERT_TRUE(entry_hint_shown);
  start_entry();
  save_piano("palette_after_the_hint");
  const std::vector<uint32_t> entering = pixels();
  EXPECT_TRUE(entering == drawn_whole()) << "no stroke of the hint between the boxes";
  click(head(drawn(0)[0]));
  const std::vector<uint32_t> left = pixels();
  EXPECT_TRUE(left == drawn_whole()) << "no stroke of the values between the boxes";
}

TEST_F(PaletteClicks, TheDialogsOfADoubleClickSetTheTupletAndTheGraceNotes) {
  open_empty(4);
  start_entry();
  const Drosa t = current_note_template;
  type('4');  // eighths
  // A double click: the first click turns the 3:2 tuplet on, the second opens the dialog.
  script_type(4, "5");
  script_type(5, "4");
  script_hit(1);
  click_piano(box_point(BOX_TUPLET), 0, false);
  click_piano(box_point(BOX_TUPLET));
  EXPECT_EQ(t->get(xtupl), 5);
  EXPECT_EQ(t->get(xintimeof), 16);
  type('a');
  Drosa entered = find_prev_kind(NOTE, insertion_point);
  EXPECT_EQ(entered->get(xtupl), 5);
  EXPECT_EQ(entered->get(xintimeof), 16);
  // Cancel gives back the state before the double click.
  script_hit(2);
  click_piano(box_point(BOX_TUPLET), 0, false);
  click_piano(box_point(BOX_TUPLET));
  EXPECT_EQ(t->get(xtupl), 5);
  // Grace notes after their main note.
  script_hit(5);
  script_hit(1);
  click_piano(box_point(BOX_GRACE), 0, false);
  click_piano(box_point(BOX_GRACE));
  EXPECT_TRUE(grace_after);
  EXPECT_EQ(t->get(xgrace), 1);
  EXPECT_EQ(t->get(xnachschlag), 1);
  EXPECT_EQ(t->get(xtupl), 1);
  save_piano("palette_grace_after");
}

TEST_F(PaletteSelection, MixedValuesAreGreyedAndAClickSetsEveryNoteInOneStep) {
  open(1, 1);
  const std::vector<Drosa> notes = drawn(0);
  const Drosa a = notes[0], b = notes[3];  // a quarter and an eighth
  a->set(xstacc, 1);
  click(head(a));
  click(head(b), MOD_SHIFT);
  ASSERT_EQ(selected(), (std::vector<Drosa>{a, b}));
  const int length_b = b->get(xlength);
  const std::string before = voice_text();
  draw_piano_window();
  EXPECT_EQ(current_note_template->get(xstacc), 0) << "mixed: the template takes none";
  const double greyed = dark_share(BOX_STACCATO);
  EXPECT_GT(greyed, 0.05);
  EXPECT_LT(greyed, 0.5) << "greyed, not highlighted";
  save_piano("palette_mixed_selection");
  click_piano(box_point(BOX_STACCATO));
  EXPECT_EQ(a->get(xstacc), 1);
  EXPECT_EQ(b->get(xstacc), 1);
  EXPECT_LT(b->get(xlength), length_b) << "a staccato note sounds shorter";
  EXPECT_GT(dark_share(BOX_STACCATO), 0.5) << "now every note has it: highlighted";
  do_menu_item(EDIT_MENU, 1, 'v');
  EXPECT_EQ(run_until_idle(), -1);
  EXPECT_EQ(voice_text(), before) << "one step undoes the click";
}

TEST_F(SpecialAccidentals, TheRowsAndTheBoxesAddToTheGroup) {
  open_empty(4);
  start_entry();
  do_menu_item(NOTE_MENU, 6, 'v');
  EXPECT_EQ(run_until_idle(), -1);
  ASSERT_TRUE(spacc_template);
  EXPECT_EQ(piano_dialog_bounds().height(), 100);
  click_piano({15, 70});
  click_piano({411, 85});  // past the last glyph of the lower row: the last one
  click_piano({406, 70});  // past the last glyph of the upper row: the upper row's last
  click_piano(box_point(BOX_FLAT));
  std::vector<int> codes;
  for (int i = 0; i < spacc_template->get(xnumspacc); ++i)
    codes.push_back(spacc_template->get(xspacc_entry, i));
  EXPECT_EQ(codes, (std::vector<int>{6, 65, 35, 2}));
  for (int i = 0; i < 20; ++i) click_piano({15, 70});
  EXPECT_EQ(spacc_template->get(xnumspacc), 15) << "a group holds at most 15";
  EXPECT_EQ(pass(), -1);  // the window is drawn again
  save_piano("palette_special_accidentals");
  do_menu_item(NOTE_MENU, 6, 'v');
  EXPECT_EQ(run_until_idle(), -1);
  EXPECT_EQ(piano_dialog_bounds().height(), 60);
}
