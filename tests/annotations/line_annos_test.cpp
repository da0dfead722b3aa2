// line_annos_test.cpp: line annotations on formatted letter pages, read back as their elements.
//   LineSegments.*: a hairpin over a system break and an octave line over a page break, drawn on
//                   both sides, the same at every format; segments that lost their partner
//   LineShapes.*:   the parts of every style, hooks toward the note, shapes too small to draw
//   ExtendLine.*:   what Extend Line To Here refuses, and the pair it makes, undone
//   LineDrag.*:     a line made by dragging, a click that makes none, an end dragged with its
//                   partner kept
#include "annotations/line_annos.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "annotations/anno_refloc.h"
#include "annotations/anno_services.h"
#include "annotations/anno_shapes.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"
#include "platform/events.h"
#include "platform/window.h"
#include "support/page_fixture.h"
#include "support/piece_builder.h"

namespace {

class LineTest : public LetterPageTest {
 protected:
  void SetUp() override {
    LetterPageTest::SetUp();
    v = new_voice();
  }
  // A line of a style before the voice's next note, (dx, dy) long from (x, y) above the
  // staff's top line, its clip box the ends widened by 280.
  Drosa line(int style, int role, int32_t x, int32_t y, int32_t dx, int32_t dy, int width = 10) {
    Drosa l = add(v, LINE);
    l->set(xmetaline, style);
    l->set(xline_ord, role);
    l->set(xstartx, x);
    l->set(xstarty, y);
    l->set(xendx, dx);
    l->set(xendy, dy);
    l->set(xlinewidth, width);
    l->set(xline_rely, REF_Y_STAFF);
    VirtualRect box;
    expand_box_by_margin(0, 0, dx, dy, &box);
    l->set(xc1x, box.x1);
    l->set(xc1y, box.y1);
    l->set(xc2x, box.x2);
    l->set(xc2y, box.y2);
    return l;
  }
  Drosa quarter() { return add_note(v, QUARTER); }
  int v = 0;
};

using LineSegments = LineTest;
using LineShapes = LineTest;
using ExtendLine = LineTest;
using LineDrag = LineTest;

// An element drawn for an annotation: of an annotation class, or a part of a shape.
bool annotation_part(Drosa e) {
  if (e->get(xganno)) return true;
  const int var = e->xkind == GE_LINE ? e->get(xgl_var) : e->get(xgc_var);
  return (var >= 66 && var <= 68) || var == 70 || (var >= 77 && var <= 80);
}

// The annotation lines drawn for an owner note.
std::vector<Drosa> lines_of(Drosa owner) {
  std::vector<Drosa> out;
  Drosa current = NIL;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind == NOTEPTR) current = e->get(xnoteptr);
    if (current == owner && e->xkind == GE_LINE && annotation_part(e)) out.push_back(e);
  }
  return out;
}

// Each line drawn for an owner as its variety ("a" for an annotation line), texts as "t".
std::string parts_of(Drosa owner) {
  std::string out;
  Drosa current = NIL;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind == NOTEPTR) current = e->get(xnoteptr);
    if (current != owner || e->xkind == NOTEPTR || !annotation_part(e)) continue;
    if (e->xkind == GE_LINE)
      out += (e->get(xganno) ? std::string("a") : std::to_string(e->get(xgl_var))) + " ";
    else if (e->xkind == GE_CHAR && e->xback->xkind == GE_STRING)
      out += "t ";
  }
  return out;
}

int32_t head_x(Drosa note) { return note->xnext->get(xhdx); }
int32_t length(int pindex, Drosa at) { return param_length(pindex, at, nullptr); }

// Every byte of the voice's nodes but its layout records.
std::vector<uint8_t> voice_bytes(int v) {
  std::vector<uint8_t> bytes;
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    if (p->xkind != NTDATA && p->xkind != CDDATA && p->xkind != CDDATA2 && p->xkind != CDDATA3)
      bytes.insert(bytes.end(), p->bytes() + 8, p->bytes() + 64);
  return bytes;
}

TEST_F(LineSegments, AHairpinAndAnOctaveLineOverASystemBreakAndAPageBreak) {
  quarter();
  Drosa hairpin = line(STYLE_HAIRPIN, LINE_BEGIN, 0, -400, 600, 50);
  Drosa a2 = quarter();
  quarter();
  add_system_break(v);
  quarter();
  Drosa hairpin_end = line(STYLE_HAIRPIN, LINE_END, -400, -400, 600, 50);
  Drosa b2 = quarter();
  Drosa octave = line(STYLE_RIGHT_BRACKET, LINE_BEGIN, 100, 300, 800, 0);
  Drosa b3 = quarter();
  add_system_break(v, true);
  quarter();
  Drosa octave_end = line(STYLE_RIGHT_BRACKET, LINE_END, -300, 300, 800, 0);
  Drosa c2 = quarter();
  count_pages();
  ASSERT_EQ(page_count, 2);
  EXPECT_EQ(line_geometry_wrapper(hairpin), hairpin_end);
  EXPECT_EQ(line_geometry_wrapper(hairpin_end), hairpin);
  EXPECT_EQ(line_geometry_wrapper(octave_end), octave);
  const double more =
      1 + param_value(P_AMOUNT_TO_EXTEND_CLIPPED_HAIRPINS_LINES_BEYOND_STAFF, a2, nullptr)->real();

  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE(pass);
    ASSERT_EQ(format_page(1, 0), 1);
    // The crescendo's first segment: geometrically 1 + p686 times as long as what shows of it
    // (up to p684 before the staff's end), its legs drawn up to there, so that they keep their
    // angle: open 50 / (1 + p686) there.
    const int32_t start = head_x(a2);
    const int32_t visible =
        staff_right_x(0, 1) -
        length(P_X_OFFSET_FOR_CLIPPING_HAIRPINS_LINES_AT_RIGHT_END_OF_STAFF, a2) - start;
    EXPECT_EQ(hairpin->get(xendx), int32_t(more * visible));
    EXPECT_EQ(hairpin->get(xc2x), visible);
    const int32_t open = int32_t(std::lround(50.0 * visible / hairpin->get(xendx)));
    std::vector<Drosa> legs = lines_of(a2);
    ASSERT_EQ(legs.size(), 2u);
    for (Drosa leg : legs) {
      EXPECT_EQ(leg->get(xganno), GANNO_BOTH);
      EXPECT_EQ(leg->get(xge_x1), start);
      EXPECT_EQ(leg->get(xge_x2), start + visible);
    }
    EXPECT_EQ(legs[0]->get(xge_y2) - legs[0]->get(xge_y1), open);
    EXPECT_EQ(legs[1]->get(xge_y2) - legs[1]->get(xge_y1), -open) << "mirrored about its start";
    // Its last segment on the next system shows from p685 after the staff's start to where it
    // was put, the rest of the same angle.
    legs = lines_of(b2);
    ASSERT_EQ(legs.size(), 2u);
    const int32_t end = head_x(b2) - 400 + 600;
    const int32_t from = staff_left_x(1, 1) +
                         length(P_X_OFFSET_FOR_CLIPPING_HAIRPINS_LINES_AT_LEFT_END_OF_STAFF, b2);
    EXPECT_EQ(hairpin_end->get(xendx), int32_t(more * (end - from)));
    EXPECT_EQ(head_x(b2) + hairpin_end->get(xstartx) + hairpin_end->get(xendx), end);
    for (Drosa leg : legs) {
      EXPECT_EQ(leg->get(xge_x1), from);
      EXPECT_EQ(leg->get(xge_x2), end);
    }
    EXPECT_EQ(legs[0]->get(xge_y2) - legs[0]->get(xge_y1),
              int32_t(std::lround(50.0 * (end - from) / hairpin_end->get(xendx))));
    // The octave line goes on over the page turn: its line to the staff's end, no hook.
    EXPECT_EQ(parts_of(b3), "68 ");
    EXPECT_EQ(lines_of(b3)[0]->get(xgl_clipx2),
              staff_right_x(1, 1) -
                  length(P_X_OFFSET_FOR_CLIPPING_HAIRPINS_LINES_AT_RIGHT_END_OF_STAFF, b3));
    if (pass == 0) {
      // A second format of the page writes nothing new into the piece.
      const std::vector<uint8_t> before = voice_bytes(v);
      ASSERT_EQ(format_page(1, 0), 1);
      EXPECT_EQ(voice_bytes(v), before);
    }
  }
  ASSERT_EQ(format_page(2, 0), 1);
  EXPECT_EQ(parts_of(c2), "67 68 ") << "the end hook, then the line";
  const std::vector<Drosa> parts = lines_of(c2);
  EXPECT_EQ(
      parts[1]->get(xgl_clipx1),
      staff_left_x(0, 2) + length(P_X_OFFSET_FOR_CLIPPING_HAIRPINS_LINES_AT_LEFT_END_OF_STAFF, c2));
  EXPECT_EQ(parts[1]->get(xge_x2), head_x(c2) - 300 + 800);
  EXPECT_EQ(parts[0]->get(xge_x1), parts[1]->get(xge_x2));
  EXPECT_LT(parts[0]->get(xge_y2), parts[0]->get(xge_y1)) << "the hook turns toward the note";
  EXPECT_TRUE(take_reports().empty());
}

// A line from page 1 to page 3 is drawn across the whole system of page 2.
TEST_F(LineSegments, ALineOverAWholePageCrossesIt) {
  line(STYLE_PLAIN_LINE, LINE_BEGIN, 0, 300, 400, 0);
  quarter();
  add_system_break(v, true);
  Drosa middle = quarter();
  add_system_break(v, true);
  line(STYLE_PLAIN_LINE, LINE_END, -400, 300, 400, 0);
  quarter();
  count_pages();
  ASSERT_EQ(page_count, 3);
  ASSERT_EQ(format_page(2, 0), 1);
  std::vector<Drosa> across = lines_of(middle);
  ASSERT_EQ(across.size(), 1u);
  EXPECT_EQ(across[0]->get(xge_x1),
            staff_left_x(0, 2) +
                length(P_X_OFFSET_FOR_CLIPPING_HAIRPINS_LINES_AT_LEFT_END_OF_STAFF, middle));
  EXPECT_EQ(across[0]->get(xge_x2),
            staff_right_x(0, 2) -
                length(P_X_OFFSET_FOR_CLIPPING_HAIRPINS_LINES_AT_RIGHT_END_OF_STAFF, middle));
}

TEST_F(LineSegments, ASegmentThatLostItsPartnerIsNotDrawnAndSaidOnce) {
  Drosa begin = line(STYLE_HAIRPIN, LINE_BEGIN, 0, -400, 600, 50);
  Drosa a = quarter();
  add_system_break(v);
  Drosa end = line(STYLE_HAIRPIN, LINE_END, -400, -400, 600, 60);  // its opening changed
  Drosa b = quarter();
  Drosa whole = line(STYLE_PLAIN_LINE, LINE_WHOLE, 0, 300, 400, 0);
  quarter();
  count_pages();
  EXPECT_EQ(line_geometry_wrapper(begin), NIL);
  for (int pass = 0; pass < 2; ++pass) {
    ASSERT_EQ(format_page(1, 0), 1);
    EXPECT_TRUE(lines_of(a).empty());
    EXPECT_TRUE(lines_of(b).empty());
    std::vector<Report> got = take_reports();
    if (pass == 1) {
      EXPECT_TRUE(got.empty()) << "said once";
      continue;
    }
    ASSERT_EQ(got.size(), 1u) << "the first of the piece's lost segments only";
    EXPECT_EQ(got[0].level, 2);
    EXPECT_NE(got[0].text.find("hairpin that begins in bar 1 has lost its end"), std::string::npos)
        << got[0].text;
  }
  // Its partner deleted, the same; a line of one system never has one.
  EXPECT_EQ(line_geometry_wrapper(whole), NIL);
  end->set(xendy, 50);
  EXPECT_EQ(line_geometry_wrapper(begin), end);
  delete_anno_nodes(end);
  EXPECT_EQ(line_geometry_wrapper(begin), NIL);
}

// One line of each style on its own note: the varieties of its parts.
TEST_F(LineShapes, EachStyleIsMadeOfItsParts) {
  const char* expected[11] = {"a ",        "a a ",      "a a a a t ",   "66 67 68 ",
                              "67 68 ",    "66 68 ",    "77 78 79 80 ", "78 79 80 ",
                              "77 79 80 ", "77 78 80 ", "77 78 79 "};
  std::vector<Drosa> notes;
  for (int style = 0; style <= 10; ++style) {
    line(style, LINE_WHOLE, -20, 300, 700, style == STYLE_HAIRPIN ? 50 : 0);
    Drosa n = add_note(v, EIGHTH);
    if (style == STYLE_TUPLET_BRACKET) make_tuplet(n, 3, 2);
    notes.push_back(n);
    if (style % 3 == 2) add_system_break(v);
  }
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
  for (int style = 0; style <= 10; ++style)
    EXPECT_EQ(parts_of(notes[style]), expected[style]) << style;
  // A bracket above its note hooks down to it; every part at least the context's minimum width.
  std::vector<Drosa> bracket = lines_of(notes[STYLE_PLAIN_BRACKET]);
  EXPECT_EQ(bracket[0]->get(xge_y2) - bracket[0]->get(xge_y1),
            -length(P_LENGTH_OF_SMALL_VERTICAL_LINES_AT_ENDS_OF_TUPLET_BRACKETS, notes[3]));
  for (Drosa part : bracket) EXPECT_GE(part->get(xgl_width), current_min_line_width());
}

TEST_F(LineShapes, ShapesWithNoRoomDrawNothing) {
  const int32_t too_short =
      length(P_SPACE_GIVEN_FOR_WIDTH_OF_TUPLET_NUMBER, NIL) +
      2 * length(P_DISTANCE_BETWEEN_EITHER_SIDE_OF_TUPLET_NUMBER_AND_BRACKET, NIL) - 1;
  line(STYLE_TUPLET_BRACKET, LINE_WHOLE, 0, 300, too_short, 0);
  Drosa tuplet = quarter();
  line(STYLE_PLAIN_BRACKET, LINE_WHOLE, 0, 300, 0, 0);
  line(STYLE_HAIRPIN, LINE_WHOLE, 0, 300, 0, 0);
  line(STYLE_RECTANGLE, LINE_WHOLE, 0, 300, 0, 0);
  Drosa points = quarter();
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
  EXPECT_EQ(parts_of(tuplet), "");
  EXPECT_EQ(parts_of(points), "");
}

TEST_F(ExtendLine, RefusalsAreSaidAndChangeNothing) {
  Drosa first = quarter();
  Drosa curve = line(STYLE_PLAIN_LINE, LINE_WHOLE, 0, 300, 400, 0);
  curve->set(xcurve, 1);
  Drosa second = quarter();
  Drosa bracket = line(STYLE_PLAIN_BRACKET, LINE_WHOLE, 0, 300, 400, 0);
  quarter();
  const int other = new_voice("Oboe");
  Drosa elsewhere = add_note(other, QUARTER);
  const std::vector<uint8_t> before = voice_bytes(v);
  struct Case {
    Drosa selected, note;
    const char* says;
  } cases[] = {
      {NIL, second, "To create a line or hairpin across page turns or systems:  First, select"},
      {curve, second, "the annotation you most recently selected cannot be the start of a line"},
      {bracket, first,
       "the bracket you most recently selected is later in the piece than the note"},
      {bracket, elsewhere, "the bracket you most recently selected is not on the same voice as"},
  };
  for (const Case& c : cases) {
    previous_anno = c.selected;
    insertion_point = c.note;
    EXPECT_EQ(extend_line_to_here(), 0);
    std::vector<Report> got = take_reports();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].level, 2);
    EXPECT_NE(got[0].text.find(c.says), std::string::npos) << got[0].text;
  }
  bracket->set(xline_pagemargin, 1);
  current_anno = bracket;
  previous_anno = NIL;
  insertion_point = elsewhere;
  EXPECT_EQ(extend_line_to_here(), 0);
  EXPECT_NE(take_reports()[0].text.find("has Horizontal Lock set."), std::string::npos);
  bracket->set(xline_pagemargin, 0);
  EXPECT_EQ(voice_bytes(v), before);
}

TEST_F(ExtendLine, TheLineBecomesAPairAndUndoTakesItBack) {
  Drosa hairpin = line(STYLE_HAIRPIN, LINE_WHOLE, 0, -400, 500, 50);
  hairpin->set(xline_eachsys, 1);
  quarter();
  quarter();
  add_system_break(v);
  quarter();
  Drosa last = quarter();
  count_pages();
  previous_anno = hairpin;
  insertion_point = last;
  set_undo_mark(1);
  ASSERT_EQ(extend_line_to_here(), 1);
  EXPECT_EQ(hairpin->get(xline_ord), LINE_BEGIN);
  EXPECT_EQ(hairpin->get(xline_eachsys), 0);
  Drosa end = line_geometry_wrapper(hairpin);
  ASSERT_NE(end, NIL);
  EXPECT_EQ(end->xnext, last) << "before the note";
  EXPECT_EQ(end->get(xline_ord), LINE_END);
  EXPECT_EQ(end->get(xstartx), -500) << "it ends at the note and keeps the length";
  ASSERT_EQ(format_page(1, 0), 1);
  EXPECT_EQ(lines_of(last).size(), 2u) << "the hairpin's end is drawn on the next system";
  // Extending it again moves the end: the former ENDLINE goes.
  Drosa third = quarter();
  insertion_point = third;
  set_undo_mark(1);
  ASSERT_EQ(extend_line_to_here(), 1);
  EXPECT_EQ(line_geometry_wrapper(hairpin)->xnext, third);
  int ends = 0;
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    ends += p->xkind == LINE && p->get(xline_ord) == LINE_END;
  EXPECT_EQ(ends, 1);
  set_undo_mark(1);
  undo_redo(1);
  undo_redo(1);
  ends = 0;
  for (Drosa p = piece_start[v]; p; p = p->xnext) ends += p->xkind == LINE;
  EXPECT_EQ(ends, 1);
  EXPECT_EQ(hairpin->get(xline_ord), LINE_WHOLE);
  EXPECT_EQ(hairpin->get(xline_eachsys), 1);
}

// The window point of a page point at the standard zoom, the page image's top at the window's.
Point window_point(int32_t x, int32_t y) { return {int(x / 10), int(page_pixel_height - y / 10)}; }

void release_at(Point where) {
  EventRecord up{};
  up.what = EVENT_MOUSE_UP;
  up.where = where;
  up.window = music_window();
  platform_post_event(up);
}

TEST_F(LineDrag, ADragMakesALineAndAClickMakesNone) {
  Drosa note = quarter();
  quarter();
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
  insertion_point = note;
  line_template->set(xcurve, 0);
  line_template->set(xmetaline, STYLE_HAIRPIN);
  line_template->set(xline_eachpage, 1);
  const std::vector<uint8_t> before = voice_bytes(v);
  DrosaDirty = 0;
  const int32_t x = head_x(note), y = note->xnext->get(xhdy);
  // A click that moves two pixels: nothing is left.
  release_at(window_point(x + 20, y));
  create_line_anno_drag(window_point(x, y));
  EXPECT_EQ(voice_bytes(v), before);
  EXPECT_EQ(current_anno, NIL);
  EXPECT_EQ(DrosaDirty, 0);
  // A drag to the right and up makes a line from the note's head to there.
  release_at(window_point(x + 800, y + 100));
  create_line_anno_drag(window_point(x, y));
  Drosa made = note->xback;
  ASSERT_EQ(made->xkind, PDATA);
  made = made->xback;
  ASSERT_EQ(made->xkind, LINE);
  EXPECT_EQ(made->get(xmetaline), STYLE_HAIRPIN);
  EXPECT_EQ(made->get(xline_eachpage), 0);
  EXPECT_EQ(made->get(xendx), 800);
  EXPECT_EQ(made->get(xendy), 100);
  EXPECT_EQ(previous_anno, made);
  EXPECT_EQ(current_anno, NIL);
  EXPECT_NE(DrosaDirty, 0);
  ASSERT_EQ(format_page(1, 0), 1);
  EXPECT_EQ(lines_of(note).size(), 2u);
}

TEST_F(LineDrag, DraggingTheEndOfAFirstSegmentKeepsItsPartner) {
  Drosa begin = line(STYLE_PLAIN_LINE, LINE_BEGIN, 0, 300, 400, 0);
  Drosa note = quarter();
  add_system_break(v);
  Drosa end = line(STYLE_PLAIN_LINE, LINE_END, -400, 300, 400, 0);
  quarter();
  count_pages();
  ASSERT_EQ(format_page(1, 0), 1);
  current_anno = begin;
  Drosa pd = begin->xnext;
  const Point grab = window_point(pd->get(xscrx2), pd->get(xscry2));
  release_at({grab.x, grab.y - 5});  // 50 units up
  line_anno_handle_drag(grab, 4, 0);
  EXPECT_EQ(begin->get(xendy), 50);
  EXPECT_EQ(end->get(xendy), 50);
  EXPECT_EQ(line_geometry_wrapper(begin), end);
  set_undo_mark(1);
  undo_redo(1);
  EXPECT_EQ(begin->get(xendy), 0);
  EXPECT_EQ(end->get(xendy), 0);
  (void)note;
}

}  // namespace
