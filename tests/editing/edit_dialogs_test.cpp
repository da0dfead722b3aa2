// edit_dialogs_test.cpp: the Layout, Options and Internal Fields dialogs, driven through the
// scripted dialog mode on a piece opened in its window; each dialog's image is written to
// test-output/editing/dialogs of the build folder.
//   LayoutDialog.*:         values out of range refused before anything changes; the page,
//                           margins and zoom stored in the contexts; units; Cancel
//   OptionsDialog.*:        the fields of every context and of the chosen ones; the default
//                           zoom; a piece without voices
//   InternalFieldsDialog.*: a note replaced by the fields typed, under undo; what it refuses
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"
#include "platform/port.h"
#include "platform/script.h"
#include "platform/window.h"
#include "support/app_fixture.h"
#include "support/model_fixture.h"
#include "support/piece_files.h"

namespace {

std::string build_folder() {
  std::filesystem::path build = std::filesystem::current_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt")) build = build.parent_path();
  return build.string();
}

class EditDialogs : public AppTest {
 protected:
  void open_piece(int staves = 2) {
    ASSERT_TRUE(write_piece_of_pages(dir + "/song.vesk", 1, staves));
    ASSERT_TRUE(start({dir + "/song.vesk"}));
    take_reports();
  }
  // The dialog as it is now, as test-output/editing/dialogs/<name>.png.
  void dialog_image(const std::string& name) {
    const std::filesystem::path folder =
        std::filesystem::path(build_folder()) / "test-output" / "editing" / "dialogs";
    std::filesystem::create_directories(folder);
    script_save_image((folder / (name + ".png")).string());
  }
  std::vector<std::string> said() {
    std::vector<std::string> texts;
    for (const Report& r : take_reports()) texts.push_back(r.text);
    return texts;
  }
};

using LayoutDialog = EditDialogs;

TEST_F(LayoutDialog, ValuesOutOfRangeAreRefusedBeforeAnythingChanges) {
  open_piece();
  const int c = current_ncontext;
  set_options_i32(c, OPTIONS_PAGE_WIDTH, 85);
  set_options_i32(c, OPTIONS_PAGE_HEIGHT, 110);
  uint8_t before[OPTIONS_SIZE];
  std::memcpy(before, options_struct[c], OPTIONS_SIZE);
  const float zoom = zoom_factor;
  DrosaDirty = 0;

  dialog_image("layout");
  script_type(25, "1.4");
  script_hit(1);  // refused: the page is too narrow
  script_type(25, "8.5");
  script_type(17, "700");
  script_type(21, "70");
  script_hit(1);  // refused: 792 points less 30 and the 700 above leave 62 below
  script_type(40, "250");
  script_hit(42);
  script_hit(2);  // Cancel: nothing of it stays
  layout_dialog();
  EXPECT_EQ(said(),
            (std::vector<std::string>{
                "Illegal page size in X; please use a number between 1.5 and 4000.",
                "Illegal Points below bottom staff; please use a number between 1 and 62."}));
  EXPECT_EQ(std::memcmp(before, options_struct[c], OPTIONS_SIZE), 0);
  EXPECT_EQ(zoom_factor, zoom);
  EXPECT_EQ(DrosaDirty, 0);
}

TEST_F(LayoutDialog, PageMarginsAndZoomGoToTheContext) {
  open_piece();
  const int c = current_ncontext;
  set_options_i32(c, OPTIONS_PAGE_WIDTH, 85);
  set_options_i32(c, OPTIONS_PAGE_HEIGHT, 110);
  DrosaDirty = 0;
  // In centimetres the page shows 21.59 wide; typed back in inches, 8 by 10.
  script_hit(46);
  dialog_image("layout_centimetres");
  script_hit(47);
  script_type(25, "8");
  script_type(27, "10");
  script_type(17, "36");
  script_type(5, "54.5");
  script_type(29, "0.4");
  script_hit(34);  // 200 percent
  script_hit(1);
  const int window_width = port_bounds(platform_window_port(music_window())).width();
  EXPECT_EQ(layout_dialog(), 1);
  EXPECT_GT(port_bounds(platform_window_port(music_window())).width(), window_width)
      << "the window takes the size the page needs at the new zoom";
  EXPECT_TRUE(said().empty());
  EXPECT_EQ(options_i32(c, OPTIONS_PAGE_WIDTH), 80);
  EXPECT_EQ(options_i32(c, OPTIONS_PAGE_HEIGHT), 100);
  EXPECT_EQ(options_i32(c, 50), 360);
  EXPECT_EQ(options_i32(c, 22), 545);
  EXPECT_EQ(options_i16(c, OPTIONS_MIN_LINE_WIDTH), 4);
  EXPECT_EQ(options_float(c, OPTIONS_SCALE), 5.0f);
  EXPECT_EQ(zoom_factor, 5.0f);
  EXPECT_TRUE(DrosaDirty & DIRTY_CHANGED);

  // A typed percentage: 250 percent is divisor 4; the window keeps a divisor of 1 at least.
  script_hit(42);
  script_type(40, "250");
  script_hit(1);
  EXPECT_EQ(layout_dialog(), 1);
  EXPECT_EQ(options_float(c, OPTIONS_SCALE), 4.0f);
  script_hit(42);
  script_type(40, "0.5");
  script_hit(1);
  script_hit(2);
  EXPECT_EQ(layout_dialog(), 0);
  EXPECT_EQ(said(), std::vector<std::string>{
                        "Illegal Zoom Percent; please use a number between 1 and 1000."});
  EXPECT_EQ(options_float(c, OPTIONS_SCALE), 4.0f);
}

using OptionsDialog = EditDialogs;

TEST_F(OptionsDialog, NumbersOutOfRangeAreRefusedAndCancelChangesNothing) {
  open_piece();
  const int c = current_ncontext;
  uint8_t before[OPTIONS_SIZE];
  std::memcpy(before, options_struct[c], OPTIONS_SIZE);
  const PrefsRecord prefs_before = prefs;
  dialog_image("options");
  script_type(25, "32001");
  script_hit(1);
  script_type(25, "3");
  script_type(27, "0.95");
  script_hit(1);
  script_hit(16);
  script_hit(2);
  EXPECT_EQ(options_dialog(), 0);
  EXPECT_EQ(said(), (std::vector<std::string>{
                        "Illegal bar number; please use an integer between 0 and 32000.",
                        "Illegal Note spacing factor; please use a number between 0 and 0.9."}));
  EXPECT_EQ(std::memcmp(before, options_struct[c], OPTIONS_SIZE), 0);
  EXPECT_EQ(std::memcmp(prefs_before.bytes, prefs.bytes, PREFS_SIZE), 0);
}

TEST_F(OptionsDialog, FieldsGoToTheContextAndTheZoomToThePreferences) {
  open_piece();
  const int c = current_ncontext;
  const int16_t bar_numbers = options_i16(c, 8), tuplet_numbers = options_i16(c, 16);
  script_type(25, "5");
  script_type(23, "3");
  script_type(27, "0");
  script_type(33, "2.5");
  script_hit(16);  // bar numbers: the box shows the field's opposite
  script_hit(12);  // tuplet numbers
  script_hit(9);   // the label of three-key rests toggles its box
  script_hit(1);
  DrosaDirty = 0;
  do_menu_item(EDIT_MENU, edit_options_item(), SOURCE_MENU_BAR);
  EXPECT_TRUE(said().empty());
  EXPECT_EQ(options_i16(c, 10), 5);
  EXPECT_EQ(options_i16(c, 40), 3);
  EXPECT_EQ(options_float(c, OPTIONS_NOTE_SPACING), 1.0f);
  EXPECT_EQ(param[P_EFFECT_OF_DURATION_ON_NOTE_SPACING].value.real(), 0.0f);
  EXPECT_EQ(options_i16(c, 8), !bar_numbers);
  EXPECT_EQ(options_i16(c, 16), !tuplet_numbers);
  EXPECT_EQ(prefs.zoom_step(), 5);
  EXPECT_TRUE(DrosaDirty & DIRTY_CHANGED) << "a piece with voices is marked changed";

  // 16 takes the step of the zoom commands; a piece without voices edits only the scratch
  // record.
  script_type(33, "16");
  script_type(25, "7");
  script_hit(1);
  const int16_t voices = voice_count;
  voice_count = 0;
  EXPECT_EQ(options_dialog(), 1);
  voice_count = voices;
  EXPECT_EQ(prefs.zoom_step(), std::abs(int(default_scale.step)));
  EXPECT_EQ(options_i16(c, 10), 5);
}

using InternalFieldsDialog = EditDialogs;

// The first note (not a rest) of voice 0.
Drosa first_note() {
  for (Drosa p = piece_start[0]; p; p = p->xnext)
    if (p->xkind == NOTE && !p->get(xrest)) return p;
  return NIL;
}

TEST_F(InternalFieldsDialog, TheNoteIsReplacedByTheFieldsTypedUnderUndo) {
  open_piece();
  Drosa note = first_note();
  ASSERT_TRUE(note);
  note->set(xthumb, 1);
  set_insertion_point(note, 0, note->get(xvoice));
  const uint8_t old_volume = note->get(xvolume);
  std::string before(reinterpret_cast<const char*>(note->payload), DROSA_PAYLOAD_SIZE);
  dialog_image("internal_fields");
  script_type(10, "200");
  script_hit(1);  // refused: a position from 0 to 127
  script_type(10, std::to_string(int(note->get(xmod7))));
  script_type(41, "60.999");
  script_type(59, "60");
  script_hit(1);
  do_menu_item(NOTE_MENU, 18, SOURCE_MENU_BAR);
  EXPECT_EQ(said(),
            std::vector<std::string>{"Illegal mod7; please use an integer between 0 and 127."});
  Drosa edited = insertion_point;
  ASSERT_NE(edited, note);
  EXPECT_EQ(edited->get(xpitch), 61 << 8);
  EXPECT_EQ(edited->get(xvolume), 120);
  EXPECT_EQ(edited->get(xpitch_edited), 1);
  EXPECT_EQ(edited->get(xvolume_edited), old_volume != 120);
  EXPECT_EQ(edited->get(xthumb), 1) << "a bit the dialog does not show is kept";
  do_menu_item(EDIT_MENU, 1, SOURCE_MENU_BAR);  // Undo
  Drosa back = first_note();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(back->payload), DROSA_PAYLOAD_SIZE), before);

  // OK without a change changes nothing; the end of a chord cannot be set or cleared.
  set_insertion_point(back, 0, back->get(xvoice));
  script_hit(1);
  EXPECT_EQ(internal_fields_dialog(), 0);
  EXPECT_EQ(insertion_point, back);
  script_hit(48);
  script_hit(1);
  EXPECT_EQ(internal_fields_dialog(), 0);
  EXPECT_EQ(said(), std::vector<std::string>{back->get(xendvcd) ? "You cannot remove end-of-chord."
                                                                : "You cannot set end-of-chord."});
  EXPECT_EQ(first_note(), back);
}

}  // namespace
