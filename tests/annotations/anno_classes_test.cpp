// anno_classes_test.cpp: what a class gives a text, the template resets, where a new text of a
// class goes, lyrics' verses, and pedal marks made for recorded pedals.
//   AnnoClasses.*: a title and a lyric by the built-in defaults; the same class twice keeps a
//                  font chosen by hand unless forced; a model's style; a class out of range;
//                  the Line and Curve resets; default places; verses; pedal marks
#include "annotations/anno_classes.h"

#include <gtest/gtest.h>

#include "annotations/anno_globals.h"
#include "annotations/anno_services.h"
#include "annotations/anno_shapes.h"
#include "editing/editing_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"
#include "support/page_fixture.h"
#include "support/piece_builder.h"

namespace {

using AnnoClasses = LetterPageTest;

Drosa tparam(int v, int cls, int32_t y = 0) {
  Drosa t = add(v, TPARAM);
  t->set(xclassify, cls);
  t->set(xtexty, y);
  t->set(xtextfont, -5);
  t->set(xtextsize, 12);
  return t;
}

TEST_F(AnnoClasses, DefaultsModelsAndTheFontChosenByHand) {
  current_ncontext = 1;
  Drosa t = newDrosa(TPARAM, 0);
  anno_set_class(CLASS_TITLE, 1, 50, t, 0);
  EXPECT_EQ(t->get(xjustified), 1);
  EXPECT_EQ(t->get(xtextsize), 28);
  EXPECT_EQ(t->get(xtextfont), -5);
  EXPECT_EQ(t->get(xkeep_hyphen), 1);
  EXPECT_EQ(t->get(xkeep_underline), 1);
  EXPECT_EQ(t->get(xpagemargin), 1);
  EXPECT_EQ(t->get(xignore), 1);
  EXPECT_EQ(t->xcontext, 1) << "only in the current context";
  anno_set_class(CLASS_LYRIC, 1, 50, t, 0);
  EXPECT_EQ(t->get(xjustified), 1);
  EXPECT_EQ(t->get(xtextsize), 12);
  EXPECT_EQ(t->get(xleavespace), 1);
  EXPECT_EQ(t->get(xignore), 1);
  EXPECT_EQ(t->get(xkeep_hyphen), 0);
  EXPECT_EQ(t->xcontext, 0);
  // Again without force: the size chosen by hand stays; forced, the class's comes back.
  t->set(xtextsize, 17);
  anno_set_class(CLASS_LYRIC, 0, 50, t, 0);
  EXPECT_EQ(t->get(xtextsize), 17);
  anno_set_class(CLASS_LYRIC, 1, 50, t, 0);
  EXPECT_EQ(t->get(xtextsize), 12);
  // Dynamics are interpreted; articulations in the music font, unlocked; at a small staff the
  // size follows it.
  anno_set_class(CLASS_DYNAMIC, 0, 40, t, 0);
  EXPECT_EQ(t->get(xignore), 0);
  EXPECT_EQ(t->get(xtextsize), 9);
  anno_set_class(CLASS_ARTICULATION, 0, 50, t, 0);
  EXPECT_EQ(t->get(xtextfont), -1);
  EXPECT_EQ(t->get(xfromstaff), 0);
  // A fingering takes parameter 612's style.
  anno_set_class(CLASS_FINGERING, 0, 50, t, 0);
  const ParamValue fingering = *param_value(P_DEFAULT_FONT_INFO_FOR_FINGERINGS, NIL, nullptr);
  EXPECT_EQ(t->get(xtextsize), fingering.size());
  EXPECT_EQ(t->get(xfing), 1);

  // A model of its class in the piece gives its style, and does not count as the class set.
  const int v = new_voice();
  Drosa model = tparam(v, CLASS_TEMPO);
  model->set(xdefault, 1);
  model->set(xboxed, 1);
  model->set(xtextsize, 15);
  model->set(xtextface, 1);
  add_note(v, QUARTER);
  class_models[CLASS_TEMPO] = model;
  anno_set_class(CLASS_TEMPO, 1, 50, t, 0);
  EXPECT_EQ(t->get(xboxed), 1);
  EXPECT_EQ(t->get(xtextsize), 15);
  EXPECT_EQ(t->get(xtextface), 1);
  EXPECT_EQ(last_class_set, CLASS_FINGERING);
  model->set(xdefault, 0);  // no longer a model
  anno_set_class(CLASS_TEMPO, 1, 50, t, 0);
  EXPECT_EQ(t->get(xboxed), 0);
  // Deleting the model forgets it.
  model->set(xdefault, 1);
  delete_anno_nodes(model);
  EXPECT_EQ(class_models[CLASS_TEMPO], NIL);
  // A class out of range is kept as it is, with no style.
  t->set(xtextsize, 33);
  EXPECT_EQ(anno_set_class(120, 1, 50, t, 0), 120);
  EXPECT_EQ(t->get(xclassify), 120);
  EXPECT_EQ(t->get(xtextsize), 33);
  EXPECT_STREQ(anno_class_name(120, true), "ERROR BAD VALUE");
  EXPECT_STREQ(anno_class_name(17, false), "repeat/ending/segno");
}

TEST_F(AnnoClasses, LineAndCurveResets) {
  text_template->set(xpagemargin, 1);
  line_template->set(xdashlth, 3);
  line_template->set(xline_ord, 3);
  line_mode_reset(STYLE_RECTANGLE);
  EXPECT_EQ(text_template->get(xpagemargin), 0);
  EXPECT_EQ(text_template->get(xfromstaff), 1);
  EXPECT_EQ(line_template->get(xmetaline), STYLE_RECTANGLE);
  EXPECT_EQ(line_template->get(xlinewidth), 10);
  EXPECT_EQ(line_template->get(xline_ord), 0);
  EXPECT_EQ(line_template->get(xdashlth), 0);
  EXPECT_EQ(line_template->get(xcurve), 0);
  curve_mode_reset(2);
  EXPECT_EQ(line_template->get(xcurve), 1);
  EXPECT_EQ(line_template->get(xfattermid), 1);
  EXPECT_EQ(line_template->get(xmetaline), 0);
  EXPECT_EQ(new_curve_direction, 1);
}

TEST_F(AnnoClasses, PlacesVersesAndPedalMarks) {
  const int v = new_voice();
  Drosa first = tparam(v, CLASS_LYRIC, -400);
  add(v, TEXT)->set(xtext, "glo-");
  Drosa second = tparam(v, CLASS_LYRIC, -560);
  add(v, TEXT)->set(xtext, "all");
  Drosa note = add_note(v, QUARTER);
  add_note(v, QUARTER);
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
  int verse = 0;
  EXPECT_EQ(anno_words_near_note(first, &verse), 1);
  EXPECT_EQ(verse, 1);
  EXPECT_EQ(anno_words_near_note(second, &verse), 0);
  EXPECT_EQ(verse, 2);

  insertion_point = note;
  int32_t x = 0, y = 0;
  text_template->set(xclassify, CLASS_TITLE);
  text_template->set(xtextsize, 28);
  ASSERT_EQ(anno_text_origin(&x, &y), 1);
  EXPECT_EQ(x, layout_page_width() / 2);
  EXPECT_LT(y, layout_page_height());
  text_template->set(xclassify, CLASS_ARTICULATION);
  ASSERT_EQ(anno_text_origin(&x, &y), 1);
  EXPECT_EQ(x, note->xnext->get(xscrhdx));
  EXPECT_GE(y, staff_top_y(0, 0) + 50);
  text_template->set(xclassify, CLASS_LYRIC);
  EXPECT_EQ(anno_text_origin(&x, &y), 0);

  set_undo_mark(1);
  Drosa pedal = new_pedal_anno(note, 1);
  ASSERT_NE(pedal, NIL);
  EXPECT_EQ(pedal->get(xhidden), 1);
  EXPECT_EQ(pedal->get(xtextx),
            param_length(P_X_OFFSET_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG, note, nullptr));
  EXPECT_EQ(uint8_t(anno_run_text(pedal)[0]),
            param_value(P_PEDAL_MARKING, note, nullptr)->character());
  EXPECT_EQ(new_pedal_anno(NIL, 0), NIL);
  EXPECT_EQ(take_reports().size(), 1u);
}

}  // namespace
