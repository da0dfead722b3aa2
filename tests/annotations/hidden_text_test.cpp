// hidden_text_test.cpp: where hidden text shows, the Hidden Text dialog and the Align command.
//   HiddenText.*: each category by its bits, a command text never a dynamic; the dialog writes
//                 the hide word and formats again, Cancel changes nothing
//   Align.*:      three centred texts refused sideways with one message and lined up by their
//                 tops; a text already there and one not drawn stay as they are; a line that
//                 runs on moves with its other segment
#include "annotations/hidden_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"
#include "platform/script.h"
#include "support/page_fixture.h"
#include "support/piece_builder.h"

namespace {

class HiddenTextTest : public LetterPageTest {
 protected:
  void SetUp() override {
    LetterPageTest::SetUp();
    script_begin();
    v = new_voice();
  }
  void TearDown() override {
    script_end();
    LetterPageTest::TearDown();
  }
  Drosa text(int font, const std::string& chars, int32_t x = 0, int32_t y = 400) {
    Drosa t = add(v, TPARAM);
    t->set(xtextfont, int16_t(font));
    t->set(xtextsize, 12);
    t->set(xtextx, x);
    t->set(xtexty, y);
    add(v, TEXT)->set(xtext, chars.c_str());
    return t;
  }
  int v = 0;
};

using HiddenText = HiddenTextTest;
using Align = HiddenTextTest;

std::string image_path(const char* name) {
  const std::filesystem::path build = std::filesystem::current_path().parent_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt")) return "";
  const std::filesystem::path folder = build / "test-output" / "dialogs";
  std::filesystem::create_directories(folder);
  return (folder / name).string();
}

TEST_F(HiddenText, EachCategoryShowsWhereItsBitsSay) {
  const ParamValue p = *param_value(P_P_DYNAMIC, NIL, nullptr);
  Drosa dynamic = text(p.font(), std::string(1, char(p.character())));
  // A parameter text in the music font, beginning with the p glyph's character.
  Drosa command =
      text(p.font(), std::string(1, char(p.character())) == "p" ? "param {174:5,7}" : "program 3");
  Drosa midi = text(-5, "program 3");
  Drosa fingering = text(-5, "135");
  fingering->set(xfing, 1);
  Drosa other = text(-5, "dolce");
  Drosa shown = text(-5, "not hidden");
  Drosa note = add_note(v, QUARTER);
  for (Drosa t : {dynamic, command, midi, fingering, other}) t->set(xhidden, 1);
  EXPECT_EQ(hidden_text_category(command, note), midi_anno_kind(command, nullptr) == COMMAND_PARAM
                                                     ? SHOW_PARAMETER_COMMANDS
                                                     : SHOW_MIDI_COMMANDS)
      << "a command, though it begins with a dynamic's glyph";
  EXPECT_EQ(hidden_text_category(dynamic, note), SHOW_DYNAMICS);
  EXPECT_EQ(hidden_text_category(midi, note), SHOW_MIDI_COMMANDS);
  EXPECT_EQ(hidden_text_category(fingering, note), SHOW_VERTICAL_TEXT);
  EXPECT_EQ(hidden_text_category(other, note), SHOW_OTHER_TEXT);
  // Dynamics on the screen only, fingerings in print only, other text everywhere.
  prefs.set_u16(PREFS_HIDE_FLAGS, SHOW_DYNAMICS | (SHOW_VERTICAL_TEXT >> 8) | SHOW_OTHER_TEXT |
                                      (SHOW_OTHER_TEXT >> 8));
  EXPECT_EQ(hidden_text_where(dynamic, note), 2);
  EXPECT_EQ(hidden_text_where(fingering, note), 3);
  EXPECT_EQ(hidden_text_where(other, note), 1);
  EXPECT_EQ(hidden_text_where(midi, note), -1);
  EXPECT_EQ(hidden_text_where(shown, note), 1);
  EXPECT_EQ(hidden_text_check(dynamic, note, 1), 1);
  EXPECT_EQ(hidden_text_check(dynamic, note, 0), 0);
  EXPECT_EQ(hidden_text_where(note, note), -1);
  EXPECT_EQ(take_reports().size(), 1u);
}

TEST_F(HiddenText, TheDialogWritesTheHideWord) {
  add_note(v, QUARTER);
  prefs.set_u16(PREFS_HIDE_FLAGS, 0x0101 | SHOW_DYNAMICS);
  if (std::string path = image_path("hidden-text.png"); !path.empty()) script_save_image(path);
  script_hit(5);   // dynamics on the screen: off
  script_hit(10);  // other text on the screen: on
  script_hit(14);  // pedal marks in print: on
  script_hit(1);
  reformat_pending = 0;
  hidden_text_dialog();
  EXPECT_EQ(prefs.u16(PREFS_HIDE_FLAGS), 0x0101 | SHOW_OTHER_TEXT | (SHOW_PEDAL_MARKS >> 8));
  EXPECT_NE(reformat_pending, 0);
  script_hit(4);
  script_hit(2);
  hidden_text_dialog();
  EXPECT_EQ(prefs.u16(PREFS_HIDE_FLAGS), 0x0101 | SHOW_OTHER_TEXT | (SHOW_PEDAL_MARKS >> 8));
}

TEST_F(Align, CentredTextsAreRefusedSidewaysAndLinedUpByTheirTops) {
  std::vector<Drosa> texts;
  for (int32_t y : {-600, -400, -480}) {
    texts.push_back(text(-5, "cresc.", 0, y));
    texts.back()->set(xjustified, 1);
    add_note(v, QUARTER);
  }
  Drosa left = text(-5, "left", 0, -200);
  add_note(v, QUARTER);
  Drosa undrawn = text(-5, "not drawn", 0, -900);
  add_note(v, QUARTER);
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
  undrawn->xnext->set(xscrx1, NOT_DRAWN);
  MODE = TEXT_MODE;
  group_selected = 1;
  for (Drosa t : texts) t->xnext->set(xanno_selected, 1);
  undrawn->xnext->set(xanno_selected, 1);
  std::vector<int32_t> xs;
  for (Drosa t : texts) xs.push_back(t->get(xtextx));
  if (std::string path = image_path("align.png"); !path.empty()) script_save_image(path);
  script_hit(6);  // left edges
  script_hit(1);
  do_align_dialog();
  std::vector<Report> got = take_reports();
  ASSERT_EQ(got.size(), 1u) << "said once";
  EXPECT_EQ(got[0].text,
            "You are trying to align a Centered text annotation, which cannot be moved "
            "horizontally.");
  for (size_t k = 0; k < texts.size(); ++k) EXPECT_EQ(texts[k]->get(xtextx), xs[k]);

  left->xnext->set(xanno_selected, 1);
  set_undo_mark(1);
  const Drosa undo_before = undo_tails[0];
  script_hit(4);  // top edges
  script_hit(1);
  do_align_dialog();
  for (Drosa t : texts) EXPECT_EQ(t->get(xtexty), -200);
  EXPECT_EQ(left->get(xtexty), -200);
  EXPECT_EQ(undrawn->get(xtexty), -900);
  int records = 0;
  for (Drosa p = undo_before; p; p = p->xnext) records += p->xkind == UNDO;
  EXPECT_EQ(records, 3) << "the text already at the top is not recorded";
}

TEST_F(Align, ALineThatRunsOnKeepsItsOtherSegment) {
  Drosa begin = add(v, LINE);
  begin->set(xline_ord, LINE_BEGIN);
  begin->set(xendx, 300);
  begin->set(xstarty, 300);
  add_note(v, QUARTER);
  add_system_break(v);
  Drosa end = add(v, LINE);
  end->set(xline_ord, LINE_END);
  end->set(xendx, 300);
  end->set(xstarty, 300);
  add_note(v, QUARTER);
  Drosa other = text(-5, "below", 0, -600);
  add_note(v, QUARTER);
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
  MODE = TEXT_MODE;
  group_selected = 1;
  begin->xnext->set(xanno_selected, 1);
  other->xnext->set(xanno_selected, 1);
  script_hit(4);
  script_hit(1);
  do_align_dialog();
  EXPECT_NE(begin->get(xstarty), 300);
  EXPECT_EQ(end->get(xstarty), begin->get(xstarty));
  EXPECT_EQ(line_geometry_wrapper(begin), end);
}

}  // namespace
