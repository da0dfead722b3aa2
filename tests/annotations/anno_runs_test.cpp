// anno_runs_test.cpp: annotations as runs of nodes: their fields, their text, deleting one,
// the templates of new annotations.
//   AnnoFields.*:    each named flag is its byte and mask; the bytes no field names are carried
//   AnnoText.*:      the text of a run in TEXT nodes of 21 characters; other contexts' nodes
//                    skipped; a deleted head is no longer referred to
//   AnnoTemplates.*: a text or line becomes the model of the next new ones, once unless forced
#include "annotations/anno_runs.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "annotations/anno_fields.h"
#include "annotations/anno_globals.h"
#include "model/model_services.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

using AnnoFields = ModelTest;
using AnnoText = ModelTest;
using AnnoTemplates = ModelTest;

TEST_F(AnnoFields, EachFlagIsItsByteAndMaskAndUnnamedBytesAreCarried) {
  struct Case {
    const Field<int>& field;
    int byte;
    uint8_t mask;
  } cases[] = {
      {xtext_drawmode, 23, 0xC0},  {xkeep_hyphen, 23, 0x20},   {xkeep_underline, 23, 0x10},
      {xno_size_adjust, 23, 0x08}, {xpslayout, 23, 0x04},      {xspec_underline, 23, 0x02},
      {xbackslash, 23, 0x01},      {xjustified, 24, 0xC0},     {xpagemargin, 24, 0x20},
      {xboxed, 24, 0x10},          {xleavespace, 24, 0x08},    {xfromstaff, 24, 0x04},
      {xadjacent, 24, 0x02},       {xeachsys, 24, 0x01},       {xfing, 25, 0x80},
      {xeverypart, 25, 0x40},      {xhidden, 25, 0x20},        {xdefault, 25, 0x10},
      {xeachpage, 25, 0x08},       {xfooter, 25, 0x02},        {xignore, 25, 0x01},
      {xtext_stsize, 26, 0xF0},    {xtext_color, 26, 0x0F},    {xrelativey, 33, 0xF0},
      {xrelativex, 33, 0x0F},      {xdashlth, 26, 0xF0},       {xgaplth, 26, 0x0F},
      {xline_ord, 27, 0xFE},       {xcurve, 27, 0x01},         {xfattermid, 44, 0x80},
      {xline_fromstaff, 44, 0x40}, {xline_eachsys, 44, 0x20},  {xline_eachpage, 44, 0x10},
      {xline_everypart, 44, 0x08}, {xline_drawmode, 44, 0x06}, {xline_pagemargin, 44, 0x01},
      {xmetaline, 46, 0xF0},       {xline_color, 46, 0x0F},    {xline_eocvar, 47, 0x7F},
      {xline_rely, 49, 0xF0},      {xline_relx, 49, 0x0F},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field.name);
    Drosa node = newDrosa(c.field.kind, 0);
    node->set(c.field, 0xFF);
    for (int b = DROSA_PAYLOAD_OFFSET; b < DROSA_NODE_SIZE; ++b)
      EXPECT_EQ(node_byte(node, b), b == c.byte ? c.mask : 0) << "byte " << b;
    destroyDrosa(node);
  }
  // A template made from a text keeps the bytes that no field names.
  Drosa text = add(new_voice(), TPARAM);
  for (int b : {32, 34, 35}) set_node_byte(text, b, uint8_t(b));
  text->set(xeocvar, 9);
  anno_make_template(text, 1);
  for (int b : {32, 34, 35}) EXPECT_EQ(node_byte(text_template, b), b);
  EXPECT_EQ(text_template->get(xeocvar), 0);
}

TEST_F(AnnoText, TextsFillNodesOfTwentyOneCharactersAndOtherContextsAreSkipped) {
  const std::string text(45, 'a');
  Drosa last = NIL;
  Drosa first = make_text_nodes(text + "b", 0, &last);
  std::vector<std::string> parts;
  for (Drosa p = first; p; p = p->xnext) parts.push_back(p->get(xtext));
  EXPECT_EQ(parts, (std::vector<std::string>{std::string(21, 'a'), std::string(21, 'a'), "aaab"}));
  destroy_Drosa_list(first);
  EXPECT_EQ(make_text_nodes("", 0, &last), NIL);
  EXPECT_EQ(last, NIL);

  // A head, its PDATA, a TEXT with no terminating 0 (read as its 21 characters), a TEXT of
  // another context, then a further style run.
  int v = new_voice();
  Drosa head = add(v, TPARAM);
  add(v, PDATA);
  Drosa full = add(v, TEXT);
  for (int b = 10; b < 32; ++b) set_node_byte(full, b, 'x');
  add(v, TEXT, 3)->set(xtext, "unseen");
  Drosa run = add(v, TPARAM);
  run->set(xadjacent, 1);
  add(v, TEXT)->set(xtext, "two");
  add_note(v, QUARTER);
  EXPECT_EQ(run_text(head), std::string(21, 'x'));
  EXPECT_EQ(next_style_run(head), run);
  EXPECT_EQ(next_style_run(run), NIL);
  EXPECT_EQ(run_text(run), "two");
  EXPECT_TRUE(is_anno_head(head));
  EXPECT_FALSE(is_anno_head(run));

  // Deleting the annotation forgets it as the selected one and as the templates' source, and
  // is a step of its own even as a command's first change: one Undo gives the text back and
  // keeps the change of the command before.
  set_undo_mark(1);
  modifyvc_with_undo(run);
  run->set(xtextsize, 30);
  current_anno = last_template_source = head;
  set_undo_mark(1);
  delete_anno_nodes(head);
  EXPECT_EQ(current_anno, NIL);
  EXPECT_EQ(last_template_source, NIL);
  set_undo_mark(0);  // as the Undo command begins
  undo_redo(1);
  EXPECT_EQ(next_style_run(head), run);
  EXPECT_EQ(run->get(xtextsize), 30);
}

TEST_F(AnnoTemplates, ALockedTextLocksTheNextLineOnceUnlessForced) {
  int v = new_voice();
  Drosa text = add(v, TPARAM, 1);
  text->set(xpagemargin, 1);
  text->set(xfromstaff, 1);
  text->set(xtext_drawmode, 1);
  text->set(xtextfont, -6);
  text->set(xtextsize, 17);
  text->set(xdefault, 1);
  add(v, TEXT, 1)->set(xtext, "A");
  anno_make_template(text, 0);
  EXPECT_EQ(text_template->get(xtextfont), -6);
  EXPECT_EQ(text_template->get(xtextsize), 17);
  EXPECT_EQ(text_template->get(xdefault), 0);
  EXPECT_EQ(line_template->get(xline_pagemargin), 1);
  EXPECT_EQ(line_template->get(xline_fromstaff), 1);
  EXPECT_EQ(line_template->get(xline_drawmode), 1);
  EXPECT_EQ(line_template->xcontext, 1);

  // The same text again changes nothing unless forced.
  text->set(xtextsize, 9);
  anno_make_template(text, 0);
  EXPECT_EQ(text_template->get(xtextsize), 17);
  anno_make_template(text, 1);
  EXPECT_EQ(text_template->get(xtextsize), 9);

  // A segment of an extended curve makes a whole curve the model, and unlocks texts.
  Drosa curve = add(v, LINE);
  curve->set(xcurve, 1);
  curve->set(xline_ord, 3);
  curve->set(xline_eocvar, 5);
  anno_make_template(curve, 0);
  EXPECT_EQ(line_template->get(xcurve), 1);
  EXPECT_EQ(line_template->get(xline_ord), 0);
  EXPECT_EQ(line_template->get(xline_eocvar), 0);
  EXPECT_EQ(text_template->get(xpagemargin), 0);
  EXPECT_EQ(text_template->get(xfromstaff), 0);
  EXPECT_EQ(text_template->xcontext, 0);
}

}  // namespace
