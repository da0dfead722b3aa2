// midline_marks_test.cpp: the marks that carry a line annotation across a whole system.
//   MidlineMarks.*: drawn again at every format and never left in the voice list; removed
//                   with undo; what remove_resizing refuses or only reorders
//   MidlineMarksOverPages.*: a line from an earlier page crossing only the systems before its
//                   end, whichever page was formatted before
#include "layout/midline_marks.h"

#include <gtest/gtest.h>

#include <vector>

#include "annotations/anno_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "support/model_fixture.h"
#include "support/page_fixture.h"
#include "support/piece_builder.h"

namespace {

Drosa add_line(int v, int role, int starty = 100) {
  Drosa l = add(v, LINE);
  l->set(xline_ord, role);
  l->set(xstarty, starty);
  l->set(xendx, 300);
  l->set(xlinewidth, 10);
  return l;
}

class MidlineMarks : public LetterPageTest {
 protected:
  void SetUp() override {
    LetterPageTest::SetUp();
    // A line from the first system's note to the third's: the second is crossed whole.
    v = new_voice();
    begline = line(LINE_BEGIN);
    add_note(v, QUARTER);
    add_system_break(v);
    crossed = add_note(v, QUARTER);
    add_system_break(v);
    line(LINE_END);
    add_note(v, QUARTER);
    count_pages();
  }
  Drosa line(int role) { return add_line(v, role); }
  int count(int kind) {
    int n = 0;
    for (Drosa p = piece_start[v]; p; p = p->xnext) n += p->xkind == kind;
    return n;
  }
  int v;
  Drosa begline, crossed;
};

// The annotation lines of the GE list.
std::vector<Drosa> annotation_lines() {
  std::vector<Drosa> found;
  for (Drosa p = GE_head->xnext; p; p = p->xnext)
    if (p->xkind == GE_LINE && p->get(xganno) == GANNO_BOTH) found.push_back(p);
  return found;
}

TEST_F(MidlineMarks, ACrossedSystemIsDrawnAtEveryFormatAndNoMarkStays) {
  for (int keep : {0, 0, 1}) {
    SCOPED_TRACE(keep);
    ASSERT_EQ(format_page(1, keep), 1);
    // The first segment on the first system, the mark on the second, the last on the third.
    std::vector<Drosa> lines = annotation_lines();
    ASSERT_EQ(lines.size(), 3u);
    Drosa l = lines[1];
    EXPECT_EQ(l->get(xge_pstaff1), 1);
    EXPECT_EQ(l->get(xge_x1),
              staff_left_x(1, 1) +
                  param_length(P_X_OFFSET_FOR_CLIPPING_HAIRPINS_LINES_AT_LEFT_END_OF_STAFF, crossed,
                               nullptr));
    EXPECT_EQ(l->get(xge_x2),
              staff_right_x(1, 1) -
                  param_length(P_X_OFFSET_FOR_CLIPPING_HAIRPINS_LINES_AT_RIGHT_END_OF_STAFF,
                               crossed, nullptr));
    // 100 above the crossed system's note: the line's start counts from the note it stands at.
    EXPECT_EQ(l->get(xge_y1), crossed->xnext->get(xhdy) + 100);
    EXPECT_EQ(count(LINE), 2);
    EXPECT_EQ(count(PDATA), 2);
  }
}

using MidlineMarksOverPages = LetterPageTest;

TEST_F(MidlineMarksOverPages, ALineFromAnEarlierPageCrossesOnlyTheSystemsBeforeItsEnd) {
  // Page 1 begins a line that ends on page 2's second system, and a hairpin that ends on page 1:
  // page 2's first system alone is crossed whole, by the line.
  const int v = new_voice();
  add_line(v, LINE_BEGIN);
  add_line(v, LINE_BEGIN, 200);
  add_note(v, QUARTER);
  add_line(v, LINE_END, 200);
  add_note(v, QUARTER);
  add_system_break(v, true);
  add_note(v, QUARTER);
  add_system_break(v);
  add_line(v, LINE_END);
  add_note(v, QUARTER);
  add_system_break(v);
  add_note(v, QUARTER);
  count_pages();
  ASSERT_EQ(page_count, 2);
  for (auto [page, keep] : {std::pair{2, 0}, {1, 0}, {2, 0}, {2, 1}}) {
    SCOPED_TRACE(testing::Message() << "page " << page << " keep " << keep);
    ASSERT_EQ(format_page(page, keep), 1);
    if (page != 2) continue;
    // The mark across the first system's whole staff, the line's end on the second.
    std::vector<Drosa> lines = annotation_lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0]->get(xge_pstaff1), 0);
    EXPECT_EQ(lines[1]->get(xge_pstaff1), 1);
    EXPECT_EQ(lines[0]->get(xge_x2),
              staff_right_x(0, 2) -
                  param_length(P_X_OFFSET_FOR_CLIPPING_HAIRPINS_LINES_AT_RIGHT_END_OF_STAFF, NIL,
                               nullptr));
  }
}

TEST_F(MidlineMarks, RemovalIsUndoneAndOtherNodesAreRefusedOrReordered) {
  ASSERT_EQ(format_page(1, 0), 1);
  Drosa mark = insert_resizing(begline, crossed);
  ASSERT_EQ(mark->xnext->xkind, PDATA);
  set_undo_mark(0);
  EXPECT_EQ(remove_resizing(mark), 1);
  EXPECT_EQ(count(LINE), 2);
  EXPECT_EQ(count(PDATA), 2) << "the mark's PDATA went with it";
  set_undo_mark(0);
  undo_redo(1);
  EXPECT_EQ(count(LINE), 3);

  Drosa text = add(v, TPARAM);
  EXPECT_EQ(remove_resizing(text), 0);
  std::vector<Report> got = take_reports();
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].text, "Bad node for remove_resizing");

  Drosa old = line(LINE_OLD_RESIZING);
  old->set(xc1x, 900);
  old->set(xc2x, 100);
  EXPECT_EQ(remove_resizing(old), 0);
  EXPECT_EQ(old->get(xline_ord), LINE_WHOLE);
  EXPECT_EQ(old->get(xc1x), 780);
  EXPECT_EQ(old->get(xc2x), 500);
}

}  // namespace
