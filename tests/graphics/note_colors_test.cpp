// tests/graphics/note_colors_test.cpp: note colours and the colour dialog.
//   NoteColors.*:   the colour rule (first match wins), the COLOR node kept with undo, the
//                   pass that stores the pitch-name colours before a save
//   ColorDialog.*:  swatches, redefining a colour, the pitch-name box (scripted)
#include "graphics/note_colors.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/graphics_globals.h"
#include "model/model_services.h"
#include "platform/port.h"
#include "platform/script.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

using NoteColors = ModelTest;

constexpr uint16_t SHIFT = 0x200;

Drosa color_of(Drosa note) { return find_prev_kind_stop(COLOR, note, ENDSYST); }

void undo() {
  set_undo_mark(0);
  undo_redo(1);
}

TEST_F(NoteColors, RuleFirstMatchWins) {
  const int v = new_voice();
  Drosa c = add_note(v, QUARTER, 35), b_flat = add_note(v, QUARTER, 27), rest = add_rest(v, HALF);
  b_flat->set(xacc, 2);
  for (Drosa n : {c, b_flat, rest}) EXPECT_EQ(note_color_index(n), 0);
  current_color_index = 4;
  for (Drosa n : {c, rest}) set_note_COLOR_node(n);
  EXPECT_EQ(note_color_index(c), 4);
  {
    const NoteColorMemo drawing;  // each note keeps its own colour, asked for in any order
    for (Drosa n : {c, b_flat, c, rest, rest, b_flat})
      EXPECT_EQ(note_color_index(n), n == b_flat ? 0 : 4);
  }

  prefs.set_colour_flag(COLOR_BY_PITCH_NAME, true);
  EXPECT_EQ(note_color_index(c), 1);
  EXPECT_EQ(note_color_index(b_flat), 7) << "B whatever its accidental or octave";
  EXPECT_EQ(note_color_index(rest), 4) << "rests keep their own colour";

  prefs.set_colour_flag(COLOR_BY_PITCH_NAME, false);
  prefs.set_colour_flag(COLOR_FIRST_MARKED | COLOR_SECOND_MARKED, true);
  set_node_byte(rest, 15, node_byte(rest, 15) | 0x04);
  EXPECT_EQ(note_color_index(rest), 15);
  set_node_byte(rest, 15, node_byte(rest, 15) & ~0x04);
  set_node_byte(rest, 19, node_byte(rest, 19) | 0x10);
  EXPECT_EQ(note_color_index(rest), 4) << "the second mark colours notes only";
  set_node_byte(c, 19, node_byte(c, 19) | 0x10);
  EXPECT_EQ(note_color_index(c), 15);

  EXPECT_EQ(voice_color_index(9), 3);
}

TEST_F(NoteColors, ColorNodeIsAddedChangedAndRemovedWithUndo) {
  const int v = new_voice();
  Drosa note = add_note(v, QUARTER);
  const std::string plain = dump_voice(v);

  set_undo_mark(0);
  current_color_index = 3;
  set_note_COLOR_node(note);
  ASSERT_TRUE(color_of(note));
  EXPECT_EQ(color_of(note)->xnext, note);
  EXPECT_EQ(note_color_index(note), 3);
  const std::string coloured = dump_voice(v);
  const int32_t history = undo_list_length(0);
  set_note_COLOR_node(note);
  EXPECT_EQ(undo_list_length(0), history) << "the same colour again records nothing";

  set_undo_mark(0);
  current_color_index = 0;
  set_note_COLOR_node(note);
  EXPECT_FALSE(color_of(note));
  undo();
  EXPECT_EQ(dump_voice(v), coloured) << "undo brings the COLOR node back";
  undo();
  EXPECT_EQ(dump_voice(v), plain);
}

TEST_F(NoteColors, RecolorStoresPitchColoursAndMarksKeys) {
  const int v = new_voice();
  Drosa key = add_key(v, 2);
  Drosa d = add_note(v, QUARTER, 36), rest = add_rest(v, QUARTER);
  recolor_all_notes();
  EXPECT_FALSE(color_of(d)) << "nothing without the pitch-name colours";
  prefs.set_colour_flag(COLOR_BY_PITCH_NAME, true);
  recolor_all_notes();
  ASSERT_TRUE(color_of(d));
  EXPECT_EQ(color_of(d)->get(xcolor_index), 2);
  EXPECT_FALSE(color_of(rest));
  EXPECT_TRUE(node_byte(key, 27) & 0x80);
}

class ColorDialog : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    script_begin();
    const int v = new_voice();
    note = add_note(v, QUARTER);
    insertion_point = note;
  }
  void TearDown() override {
    for (const std::string& fault : script_take_faults()) ADD_FAILURE() << "script: " << fault;
    EXPECT_EQ(script_pending(), 0);
    script_end();
    ModelTest::TearDown();
  }
  Drosa note = NIL;
};

TEST_F(ColorDialog, SwatchColoursTheNoteAtTheInsertionPoint) {
  script_hit(COLOR_FIRST_SWATCH + 6);
  color_dialog(1);
  EXPECT_EQ(note_color_index(note), 6);
  const std::vector<ShownText> s = script_take_shown();
  ASSERT_FALSE(s.empty());
  EXPECT_NE(s[0].text.find("Notehead color:"), std::string::npos) << s[0].text;
  // The first swatch takes the colour away again.
  script_hit(COLOR_FIRST_SWATCH);
  color_dialog(1);
  EXPECT_FALSE(color_of(note));
}

TEST_F(ColorDialog, ShiftClickRedefinesAColourButNeverTheFirst) {
  script_hit(COLOR_FIRST_SWATCH, SHIFT);      // nothing happens, the dialog stays
  script_hit(COLOR_FIRST_SWATCH + 3, SHIFT);  // the picker opens on colour 3
  script_colour({100, 200, 300});
  script_hit(COLOR_FIRST_SWATCH + 4, SHIFT);
  script_colour_cancel();
  script_hit(2);
  const RgbColour four = prefs.colour(4);
  color_dialog(1);
  EXPECT_EQ(prefs.colour(0), COLOUR_BLACK);
  EXPECT_EQ(prefs.colour(3), (RgbColour{100, 200, 300}));
  EXPECT_EQ(prefs.colour(4), four);
  EXPECT_FALSE(color_of(note)) << "redefining colours the note with nothing";
  EXPECT_FALSE(script_take_shown().empty());
}

TEST_F(ColorDialog, PitchNameBoxTogglesForNotesAndAnnotationsSetTheTemplates) {
  script_hit(COLOR_BY_PITCH_ITEM);
  color_dialog(1);
  EXPECT_TRUE(prefs.colour_flags() & COLOR_BY_PITCH_NAME);
  EXPECT_EQ(note_color_index(note), 1);
  script_hit(COLOR_FIRST_SWATCH + 9);
  color_dialog(0);
  EXPECT_EQ(text_template->get(xtext_color), 9);
  EXPECT_EQ(line_template->get(xline_color), 9);
  EXPECT_FALSE(color_of(note));
  const std::vector<ShownText> s = script_take_shown();
  ASSERT_EQ(s.size(), 2u);
  EXPECT_NE(s[1].text.find("Annotation color:"), std::string::npos) << s[1].text;
}

TEST_F(ColorDialog, SwatchesShowTheColourTable) {
  prefs.set_colour(15, {65535, 40000, 0});
  platform_set_param_texts("Notehead", "", "", "");
  DialogRef dialog = platform_open_dialog(COLOR_DIALOG, false);
  ASSERT_NE(dialog, nullptr);
  for (int item = COLOR_FIRST_SWATCH; item <= COLOR_LAST_SWATCH; ++item)
    platform_set_user_item_proc(dialog, item, color_dialog_sample_proc);
  platform_draw_dialog(dialog);
  Port* port = platform_dialog_port(dialog);
  for (int index : {0, 1, 15}) {
    const Rect r = platform_item_rect(dialog, COLOR_FIRST_SWATCH + index);
    const RgbColour c = prefs.colour(index);
    const uint32_t expected =
        uint32_t(c.red >> 8) << 16 | uint32_t(c.green >> 8) << 8 | c.blue >> 8;
    EXPECT_EQ(port_pixel(port, (r.left + r.right) / 2, (r.top + r.bottom) / 2), expected) << index;
  }
  const std::filesystem::path build = std::filesystem::current_path().parent_path();
  if (std::filesystem::exists(build / "CMakeCache.txt")) {
    std::filesystem::create_directories(build / "test-output");
    port_save_png(port, (build / "test-output" / "color-dialog.png").c_str());
  }
  platform_close_dialog(dialog);
  script_take_shown();
}

}  // namespace
