// anno_refloc_test.cpp: the reference points of annotations on a small formatted page (page
// 6120 wide and 2160 high; staff 0's top line at 1760).
//   RefLoc.*: without a request nothing changes; every request of a text or line leaves it
//             where the request puts it and where the next call finds it; the margin and bar
//             line requests; a chord request waiting for the chord's layout
#include "annotations/anno_refloc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "annotations/anno_fields.h"
#include "annotations/anno_services.h"
#include "annotations/drawanno.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"
#include "support/chord_page.h"
#include "support/piece_builder.h"

namespace {

constexpr int32_t PAGE_WIDTH = 6120, PAGE_HEIGHT = 2160, STAFF_TOP = 1760;

class RefLoc : public ChordPageTest {
 protected:
  void SetUp() override {
    ChordPageTest::SetUp();
    v = new_voice();
    first = add_note(v, QUARTER);
    add_bar(v);
    second = add_note(v, QUARTER);
    format_and_draw();
  }
  // A text or line linked before the note after the page was laid out.
  Drosa anno_before(Drosa note, int kind) {
    Drosa a = newDrosa(kind, 0);
    link_after(a, note->xback);
    if (kind == TPARAM) link_after(newDrosa(TEXT, 0), a);
    return a;
  }
  int32_t note_x(Drosa n) { return nt(n)->get(xhdx); }
  // A chord's x: the note's, moved by the chord's left edge less a displaced head's overhang.
  int32_t chord_x(Drosa n) {
    Drosa cd = last_note_cddata(n);
    return note_x(n) + cd->get(xcdleft) - (node_byte(nt(n), 11) ? 0 : cd->get(xcdoverhang));
  }
  int32_t note_y(Drosa n) { return nt(n)->get(xhdy); }
  int v;
  Drosa first, second;
};

// Where an annotation stands: its reference point plus its offsets.
struct Place {
  int32_t x, y;
  friend bool operator==(const Place&, const Place&) = default;
};
Place place(Drosa note, Drosa a) {
  int32_t x = 0, y = 0;
  anno_refloc(note, a, &x, &y, 1);
  const bool line = a->xkind == LINE;
  return {x + a->get(line ? xstartx : xtextx), y + a->get(line ? xstarty : xtexty)};
}

TEST_F(RefLoc, WithoutARequestNothingChanges) {
  Drosa t = anno_before(second, TPARAM);
  t->set(xtextx, 30);
  t->set(xtexty, -40);
  uint8_t before[DROSA_NODE_SIZE];
  std::memcpy(before, t->bytes(), DROSA_NODE_SIZE);
  EXPECT_EQ(place(second, t), (Place{note_x(second) + 30, note_y(second) - 40}));
  EXPECT_EQ(std::memcmp(before, t->bytes(), DROSA_NODE_SIZE), 0);
  // Locked: from the staff's top line; from the page's left edge, or its centre when centred;
  // Position Lock from the page's top.
  t->set(xfromstaff, 1);
  t->set(xpagemargin, 1);
  EXPECT_EQ(place(second, t), (Place{30, STAFF_TOP - 40}));
  t->set(xjustified, 1);
  EXPECT_EQ(place(second, t), (Place{PAGE_WIDTH / 2 + 30, STAFF_TOP - 40}));
  t->set(xfooter, 1);
  EXPECT_EQ(place(second, t), (Place{PAGE_WIDTH / 2 + 30, PAGE_HEIGHT - 40}));
}

TEST_F(RefLoc, EveryRequestPutsItWhereItSaysAndStaysThere) {
  const int32_t left = staff_left_x(0, 1), right = staff_right_x(0, 1);
  const int32_t bar = find_system_bar_x(second, -1);
  ASSERT_NE(bar, NOT_DRAWN);
  const int32_t above = anno_note_extent_y(second, 0, 1), below = anno_note_extent_y(second, 0, -1);
  // The point each horizontal and vertical request measures the offsets from.
  const std::vector<int32_t> xs = {
      note_x(second),  note_x(second), 0,   PAGE_WIDTH, PAGE_WIDTH / 2, left, right,
      chord_x(second), note_x(second), bar, right};
  const std::vector<int32_t> ys = {note_y(second),
                                   note_y(second),
                                   PAGE_HEIGHT,
                                   0,
                                   PAGE_HEIGHT / 2,
                                   STAFF_TOP,
                                   anno_note_extent_y(second, 0, 0),
                                   above,
                                   below};
  for (int kind : {TPARAM, LINE}) {
    for (int h = 1; h <= 10; ++h) {
      for (int vmode = 1; vmode <= 8; ++vmode) {
        SCOPED_TRACE(testing::Message()
                     << (kind == LINE ? "line" : "text") << " h" << h << " v" << vmode);
        Drosa a = anno_before(second, kind);
        const bool line = kind == LINE;
        a->set(line ? xstartx : xtextx, 70);
        a->set(line ? xstarty : xtexty, -90);
        a->set(line ? xline_relx : xrelativex, h);
        a->set(line ? xline_rely : xrelativey, vmode);
        const Place resolved = place(second, a);
        EXPECT_EQ(resolved, (Place{xs[h] + 70, ys[vmode] - 90}));
        EXPECT_EQ(a->get(line ? xline_relx : xrelativex), 0);
        EXPECT_EQ(a->get(line ? xline_rely : xrelativey), 0);
        EXPECT_EQ(place(second, a), resolved) << "the next call finds it there";
      }
    }
  }
}

TEST_F(RefLoc, MarginsBarLinesAndAChordNotYetLaidOut) {
  // From the right margin: the offset counts from the page's left edge, locked.
  Drosa t = anno_before(second, TPARAM);
  t->set(xtextx, -200);
  t->set(xrelativex, REF_X_RIGHT_MARGIN);
  EXPECT_EQ(place(second, t).x, PAGE_WIDTH - 200);
  EXPECT_EQ(t->get(xtextx), PAGE_WIDTH - 200);
  EXPECT_EQ(t->get(xpagemargin), 1);
  // No bar line before the first note of the system: the staff's left end.
  Drosa b = anno_before(first, TPARAM);
  b->set(xrelativex, REF_X_PREVIOUS_BAR);
  EXPECT_EQ(place(first, b).x, staff_left_x(0, 1));
  // A line locked to the page's top keeps its place, now counted from the staff's top line.
  Drosa l = anno_before(second, LINE);
  l->set(xstarty, -300);
  l->set(xline_rely, REF_Y_PAGE_TOP);
  EXPECT_EQ(place(second, l).y, PAGE_HEIGHT - 300);
  EXPECT_EQ(l->get(xline_fromstaff), 1);
  EXPECT_EQ(l->get(xstarty), PAGE_HEIGHT - 300 - STAFF_TOP);

  // A chord request waits while the note has no chord laid out.
  Drosa later = add_note(v, QUARTER);
  add_after(later, NTDATA);
  Drosa c = anno_before(later, TPARAM);
  c->set(xrelativex, REF_X_CHORD);
  int32_t x = 0, y = 0;
  anno_refloc(later, c, &x, &y, 1);
  EXPECT_EQ(c->get(xrelativex), REF_X_CHORD);
  format_and_draw();
  EXPECT_EQ(c->get(xrelativex), 0) << "the page's drawing resolved it";

  // Not an annotation, or no layout record: reported, nothing placed.
  anno_refloc(later, later, &x, &y, 1);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(take_reports().size(), 1u);
}

}  // namespace
