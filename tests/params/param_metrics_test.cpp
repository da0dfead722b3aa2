// param_metrics_test.cpp: lengths derived from parameters at hand-built notes and staves.
//   HeadWidth.*:    note-head widths by value, cue size and staff size; the bad-call fallback;
//                   the catalogue's defaults
//   RestMetrics.*:  rest widths by glyph kind and value; the missing-rest report
//   CharParams.*:   character parameters scaled to the staff; pDrawChar's offsets and refusal
//   RoundNearest.*: round_nearest_int
//   StaffMargins.*: staff_left_x of the piece's first system and of later ones; staff_right_x
//                   of its last system, until a break follows the staff's first note
#include "params/param_metrics.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "app/app_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_lookup.h"
#include "params/params_globals.h"
#include "platform/port.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

class ParamMetrics : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    reset_params_globals();
    // Head widths, rest widths and margins, as the catalogue's first set has them.
    pair(P_HALF_AND_QUARTER_NOTE_HEAD_WIDTH, 60, 50);
    pair(P_WHOLE_NOTE_HEAD_WIDTH, 75, 60);
    pair(P_WHOLE_NOTE_HEAD_WIDTH_AT_WIDEST_POINT, 80, 70);
    pair(P_BREVE_NOTE_HEAD_WIDTH, 109, 92);
    pair(P_SPACE_GIVEN_FOR_WIDTH_OF_MULTI_REST_SYMBOL, 150, 120);
    pair(P_WIDTH_OF_WHOLE_REST, 200, 160);
    pair(P_WIDTH_OF_EIGHTH_REST, 50, 40);
    pair(P_MARGIN_WIDTH_ON_LEFT_OF_PAGE, 30, 30);
  }
  void TearDown() override {
    ModelTest::TearDown();
    destroy_pstaff_lists();
    reset_params_globals();
  }
  static void pair(int p, int32_t normal, int32_t small) {
    param[p].type = PARAM_COORDINATE_PAIR;
    param[p].ref_size = 50;
    param[p].value.set_integer(normal);
    param[p].small.set_integer(small);
  }
};

using HeadWidth = ParamMetrics;
using RestMetrics = ParamMetrics;
using CharParams = ParamMetrics;
using RoundNearest = ParamMetrics;
using StaffMargins = ParamMetrics;

Drosa sized(Drosa note, int stsize) {
  add_after(note, NTDATA)->set(xstsize, int8_t(stsize));
  return note;
}

struct HeadCase {
  int lgval, cue, widest, stsize;
  int32_t expected;
};
const HeadCase HEAD_CASES[] = {
    {QUARTER, 0, 0, 50, 60},   {QUARTER, 1, 0, 50, 50}, {HALF, 0, 1, 50, 60},
    {WHOLE, 0, 0, 50, 75},     {WHOLE, 0, 1, 50, 80},   {BREVE, 0, 0, 50, 109},
    {QUARTER, 0, 0, 100, 120}, {WHOLE, 0, 1, 100, 160}, {BREVE, 0, 0, 100, 218},
};

void check_heads(int v) {
  for (const HeadCase& c : HEAD_CASES) {
    SCOPED_TRACE(testing::Message()
                 << "value " << c.lgval << " cue " << c.cue << " size " << c.stsize);
    Drosa n = sized(add_note(v, c.lgval), c.stsize);
    n->set(xcue, c.cue);
    EXPECT_EQ(hdw(n, c.widest), c.expected);
  }
}

TEST_F(HeadWidth, ByValueCueAndStaffSize) { check_heads(new_voice()); }

TEST_F(HeadWidth, CatalogueDefaults) {
  prefs.set_use_sonata_font(0);
  param_init();
  EXPECT_TRUE(take_reports().empty());
  check_heads(new_voice());
  int v = new_voice();
  EXPECT_EQ(rest_width(sized(add_rest(v, EIGHTH), 50), 0), 50);
}

TEST_F(HeadWidth, WithoutNtdataIsReported) {
  Drosa n = add_note(new_voice(), WHOLE);
  EXPECT_EQ(hdw(n, 1), 60);
  auto r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text, "Bad call to hdw!");
}

TEST_F(RestMetrics, WidthByGlyphKindAndValue) {
  int v = new_voice();
  struct Case {
    int lgval, printed_kind, screen_kind, screen, stsize;
    int32_t expected;
  } cases[] = {
      {EIGHTH, 0, 0, 0, 50, 50}, {EIGHTH, 0, 0, 0, 100, 100}, {WHOLE, 2, 0, 0, 50, 150},
      {WHOLE, 1, 0, 0, 50, 200}, {WHOLE, 0, 2, 1, 50, 150},   {EIGHTH, 2, 0, 1, 50, 50},
  };
  for (const Case& c : cases) {
    Drosa rest = add_rest(v, c.lgval);
    Drosa nt = add_after(rest, NTDATA);
    nt->set(xstsize, int8_t(c.stsize));
    nt->set(xrestchar, c.printed_kind);
    nt->set(xscrrestchar, c.screen_kind);
    EXPECT_EQ(rest_width(rest, c.screen), c.expected) << "case " << &c - cases;
  }
  EXPECT_EQ(rest_ascend_size(NIL, 0), 0);
  auto r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text, "NIL rest pointer in rest_ascend_size");
}

TEST_F(CharParams, ScaledToTheStaff) {
  param[P_REPEAT_DOTS].type = PARAM_CHARACTER_PAIR;
  param[P_REPEAT_DOTS].ref_size = 50;
  param[P_REPEAT_DOTS].value.set_size(12);
  param[P_REPEAT_DOTS].value.set_x(15);
  param[P_REPEAT_DOTS].value.set_y(-90);
  param[P_REPEAT_DOTS].value.set_character(80);
  ParamValue v;
  Drosa n = sized(add_note(new_voice(), QUARTER), 100);
  scaled_char_param(&v, P_REPEAT_DOTS, n, nullptr);
  EXPECT_EQ(v.size(), 24);
  EXPECT_EQ(v.x(), 30);
  EXPECT_EQ(v.y(), -180);
  EXPECT_EQ(v.character(), 80);
  param[P_REPEAT_DOTS].ref_size = 0;
  scaled_char_param(&v, P_REPEAT_DOTS, n, nullptr);
  EXPECT_EQ(v.size(), 12) << "reference size 0: not scaled";
}

TEST_F(CharParams, DrawRaisesTheWholeRestUnlessSonata) {
  param[P_WHOLE_REST].type = PARAM_CHARACTER_PAIR;
  param[P_WHOLE_REST].ref_size = 50;
  param[P_WHOLE_REST].value.set_y(-100);
  param[P_WHOLE_REST].value.set_x(40);
  Port* port = port_new_offscreen(200, 200);
  platform_set_port(port);
  for (int sonata : {0, 1}) {
    prefs.set_use_sonata_font(int16_t(sonata));
    move_to(100, 100);
    pDrawChar(P_WHOLE_REST, NIL, "x", DRAW_CHAR_UNZOOMED);
    EXPECT_EQ(pen_position().y, sonata ? 110 : 109) << "y -99 moves down 9, toward zero";
    EXPECT_GE(pen_position().x, 104);
  }
  Drosa clef = add_clef(new_voice(), 1);
  move_to(100, 100);
  pDrawChar(P_WHOLE_REST, clef, nullptr, DRAW_CHAR_ZOOMED);
  EXPECT_EQ(pen_position().x, 100) << "nothing drawn";
  EXPECT_EQ(take_reports().size(), 1u);
  platform_set_port(nullptr);
  port_dispose(port);
}

TEST_F(RoundNearest, HalvesAwayFromZero) {
  const std::pair<double, int32_t> cases[] = {
      {2.5, 3},          {-2.5, -3},         {2.49, 2},
      {-0.4, 0},         {0.0, 0},           {std::nan(""), INT32_MIN},
      {1e12, INT32_MAX}, {-1e12, INT32_MIN},
  };
  for (auto [x, expected] : cases) EXPECT_EQ(round_nearest_int(x), expected) << x;
}

TEST_F(StaffMargins, FirstSystemIgnoresPageParity) {
  set_options_i32(1, 22, 200);  // left, odd pages
  set_options_i32(1, 88, 300);  // left, even pages
  set_options_i32(1, 26, 400);  // left, the piece's first system
  int v = new_voice();
  Drosa first = sized(add_note(v, QUARTER), 50);
  add_system_break(v);
  Drosa later = sized(add_note(v, QUARTER), 50);
  for (auto [staff, note] : {std::pair{0, first}, std::pair{1, later}}) {
    Drosa head = newDrosa(NOTE, 0);
    add_after(head, NTDATA)->set(xpnext, note);
    staff_data[staff].ppnt[0] = head;
  }
  EXPECT_EQ(staff_left_x(0, 1), 430);
  EXPECT_EQ(staff_left_x(0, 2), 430);
  EXPECT_EQ(staff_left_x(1, 1), 230);
  EXPECT_EQ(staff_left_x(1, 2), 330);
  EXPECT_EQ(staff_left_x(-1, 2), 300) << "no staff: no margin parameter";
}

TEST_F(StaffMargins, LastSystemUntilABreakFollowsTheFirstNote) {
  set_options_i32(1, 30, 200);  // right, odd pages
  set_options_i32(1, 34, 500);  // right, the piece's last system
  int v = new_voice();
  Drosa first = sized(add_note(v, QUARTER), 50);
  add_note(v, QUARTER);
  Drosa head = newDrosa(NOTE, 0);
  add_after(head, NTDATA)->set(xpnext, first);
  staff_data[0].ppnt[0] = head;
  const int32_t last_system = staff_right_x(0, 1);
  add_after(first->xnext, ENDSYST);  // after its NTDATA: the piece goes on after one note
  EXPECT_EQ(staff_right_x(0, 1), last_system + 300);
}

}  // namespace
