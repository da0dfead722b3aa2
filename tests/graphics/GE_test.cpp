// GE_test.cpp: the graphics-element list and its constructors.
//   GERecords.*:     the bytes of each element kind as a published page stores them
//   GEOwners.*:      one NOTEPTR per run of elements of one owner, and after every GEinit
//   GEText.*:        runs cut into 24-byte nodes, read back whole, adjacent runs detected
//   GELines.*:       default clip boxes and the annotation line width
//   GEGlyphs.*:      glyph offsets, font numbers, colours and the reports of GEcharacter
//   GERelocate.*:    GEyrelocate by yreloc code, half moves truncated, adjacent texts fixed
//   GEInit.*:        GEinit keeps the complete list as the old list, or frees it
#include "graphics/GE.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "graphics/ge_fields.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/fonts.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

class GETest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    param_init();
    platform_init_fonts();
    GE_head = GE_tail = newDrosa(GE_CHAR, 0);
  }

  // The elements after the head, in order.
  static std::vector<Drosa> elements() {
    std::vector<Drosa> v;
    for (Drosa p = GE_head->xnext; p; p = p->xnext) v.push_back(p);
    return v;
  }
  static std::vector<int> kinds() {
    std::vector<int> v;
    for (Drosa p : elements()) v.push_back(p->xkind);
    return v;
  }
};

// A note of a new voice with a COLOR node of the given index before it.
Drosa add_note_with_colour(int index) {
  int v = new_voice();
  add(v, COLOR)->set(xcolor_index, uint8_t(index));
  return add_note(v, QUARTER);
}

// Node bytes [from, to) in hex.
std::string hex(Drosa node, int from, int to) {
  std::string s;
  char byte[4];
  for (int i = from; i < to; ++i) {
    std::snprintf(byte, sizeof byte, "%02X", node->bytes()[i]);
    s += byte;
  }
  return s;
}

using GERecords = GETest;
using GEOwners = GETest;
using GEText = GETest;
using GELines = GETest;
using GEGlyphs = GETest;
using GERelocate = GETest;
using GEInit = GETest;

TEST_F(GERecords, EachKindHasThePublishedLayout) {
  Drosa owner = newDrosa(NOTE, 0);
  Drosa line =
      GEline(BICMODE, 0x01020304, -2, 3, 1, 100, 200, -4, 2, 30, 4, 2, 1, 2, 3, 4, 5, 17, owner);
  Drosa pointer = line->xback;
  ASSERT_EQ(pointer->xkind, NOTEPTR);
  char handle[9];
  std::snprintf(handle, sizeof handle, "%08X", owner.handle());
  EXPECT_EQ(hex(pointer, 8, 14), std::string("5500") + handle);
  EXPECT_EQ(hex(line, 8, 64),
            "5F40"
            "01020304"
            "FFFFFFFE"
            "03FC"
            "00000064"
            "000000C8"
            "00000001"
            "00000002"
            "00000003"
            "00000004"
            "1E561142" +
                std::string(32, '0'));
  Drosa curve = GEcurve(0, 10, 20, 1, 30, 40, 9, 50, 60, 9, 70, 80, 2, 1, 3, 1, 2, 5, owner);
  EXPECT_EQ(hex(curve, 8, 48),
            "6000"
            "0000000A"
            "00000014"
            "0102"
            "00000046"
            "00000050"
            "0000001E"
            "00000028"
            "0031"
            "00000032"
            "0000003C"
            "9005");
  Drosa text =
      GEstring(0, ADJACENT_TEXT, ADJACENT_TEXT, -3, 5, 2, 20, 1, 12, 2, 3, "ab", 1, 6, owner, NIL);
  EXPECT_EQ(hex(text->xback, 8, 14), "5E0061620000");
  EXPECT_EQ(hex(text, 8, 30),
            "5D00"
            "FFFF8000"
            "FFFF8000"
            "0206"
            "0014"
            "01"
            "0C"
            "0000"
            "02"
            "98"
            "05"
            "FD");
}

TEST_F(GEOwners, OneNoteptrPerOwnerRunAndAfterEveryInit) {
  Drosa a = newDrosa(NOTE, 0), b = newDrosa(NOTE, 0);
  GEline(0, 0, 0, 0, 0, 10, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 10, a);
  GEcurve(0, 0, 0, 0, 1, 1, 0, 2, 2, 0, 3, 3, 0, 0, 0, 0, 0, 5, a);
  GEline(0, 0, 0, 0, 0, 10, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 10, b);
  GEline(0, 0, 0, 0, 0, 10, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 10, a);
  EXPECT_EQ(kinds(),
            (std::vector<int>{NOTEPTR, GE_LINE, GE_CURVE, NOTEPTR, GE_LINE, NOTEPTR, GE_LINE}));
  EXPECT_EQ(elements()[3]->get(xnoteptr), b);
  EXPECT_EQ(GE_tail, elements().back());
  GEinit(0);
  GEline(0, 0, 0, 0, 0, 10, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 10, a);
  EXPECT_EQ(kinds(), (std::vector<int>{NOTEPTR, GE_LINE}));
}

TEST_F(GEText, RunsAreCutInto24ByteNodesAndReadBackWhole) {
  const std::string full(24, 'x'), longer = std::string(24, 'y') + "z";
  struct Case {
    std::string text;
    std::vector<std::string> nodes;
  } cases[] = {{full, {full}}, {longer, {std::string(24, 'y'), "z"}}, {"", {""}}};
  for (const Case& c : cases) {
    GEinit(0);
    Drosa attributes =
        GEstring(0, 100, 200, 0, 0, 0, 20, 0, 12, 0, 0, c.text.c_str(), 0, 0, NIL, NIL);
    std::vector<Drosa> all = elements();
    ASSERT_EQ(all.size(), c.nodes.size() + 1) << c.text;
    for (size_t i = 0; i < c.nodes.size(); ++i) {
      EXPECT_EQ(all[i]->xkind, GE_STRING);
      EXPECT_EQ(all[i]->get(xgs_text), c.nodes[i]);
    }
    EXPECT_EQ(all.back(), attributes);
    EXPECT_EQ(attributes->get(xgc_char), 0);
    std::string text;
    Drosa at = all.front();
    EXPECT_EQ(GE_string_text(&text, &at), 0);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(at, attributes);
  }
  EXPECT_EQ(node_byte(elements()[0], 34), 0);  // a full node ends with its NUL at byte 34
}

TEST_F(GEText, AdjacentRunsAndLoneCharactersAreRecognised) {
  GEstring(0, 100, 200, 0, 0, 0, 20, 0, 12, 0, 0, "one ", 0, 0, NIL, NIL);
  Drosa second =
      GEstring(0, ADJACENT_TEXT, ADJACENT_TEXT, 0, 0, 0, 20, 0, 12, 0, 0, "two", 0, 0, NIL, NIL);
  GEcharacter(0, 300, 400, 0, P_QUARTER_NOTE_HEAD, 0, 46, NIL, 0);
  std::string text;
  Drosa at = GE_head->xnext;
  EXPECT_EQ(GE_string_text(&text, &at), 1);
  EXPECT_EQ(text, "one ");
  at = at->xnext;
  EXPECT_EQ(GE_string_text(&text, &at), 0);
  EXPECT_EQ(text, "two");
  EXPECT_EQ(at, second);
  at = GE_tail;
  EXPECT_EQ(GE_string_text(&text, &at), 0);
  EXPECT_EQ(text, std::string(1, char(param[P_QUARTER_NOTE_HEAD].value.character())));
  EXPECT_GT(GE_string_width(GE_head->xnext), 10);
}

TEST_F(GELines, ZeroClipsTakeTheWidenedBoxAndAnnotationsTheMinimumWidth) {
  Drosa line = GEline(0, 100, 100, 0, 0, 500, 100, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 10, NIL);
  EXPECT_EQ(std::vector<int>({line->get(xgl_clipx1), line->get(xgl_clipy1), line->get(xgl_clipx2),
                              line->get(xgl_clipy2)}),
            std::vector<int>({-180, -180, 780, 380}));
  Drosa reversed = GEline(0, 500, 300, 0, 0, 100, 100, 0, 0, 10, 0, 0, 0, 7, 0, 0, 0, 10, NIL);
  EXPECT_EQ(std::vector<int>({reversed->get(xgl_clipx1), reversed->get(xgl_clipy1),
                              reversed->get(xgl_clipx2), reversed->get(xgl_clipy2)}),
            std::vector<int>({780, 7, -180, -180}));
  set_options_i16(current_ncontext, OPTIONS_MIN_LINE_WIDTH, 25);
  for (int var : {1, 2, 3}) {
    Drosa a = GEline(0, 0, 0, 0, 0, 10, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, var, NIL);
    EXPECT_EQ(a->get(xgl_width), var == 1 ? 25 : 10) << var;
    EXPECT_EQ(a->get(xganno), var);
    EXPECT_EQ(a->get(xgl_var), 0);
  }
  EXPECT_EQ(GEline(0, 0, 0, 0, 0, 1, 0, 0, 0, 900, 0, 0, 0, 0, 0, 0, 0, 17, NIL)->get(xgl_width),
            255);  // too wide for its byte: the widest, not a wrapped thin line
  EXPECT_FALSE(GEline_screen(0, 0, 0, 0, 0, 1, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 17, NIL, 0));
  EXPECT_EQ(
      GEline_screen(0, 0, 0, 0, 0, 1, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 1, NIL, 1)->get(xgl_width),
      10);
  EXPECT_EQ(GE_tail->get(xgscreen), 1);
}

TEST_F(GEGlyphs, TakeTheGlyphsOffsetsFontNumberAndColour) {
  Drosa note = add_note_with_colour(7);
  const ParamValue& head = param[P_QUARTER_NOTE_HEAD].value;
  EXPECT_EQ(GEcharacter(0, 1000, 2000, 3, P_QUARTER_NOTE_HEAD, -1, 46, note, 0),
            font_from_code(head.font()));
  Drosa c = GE_tail;
  EXPECT_EQ(c->get(xgc_x), 1000 + head.x());
  EXPECT_EQ(c->get(xgc_y), 2000 + head.y());
  EXPECT_EQ(c->get(xgc_char), head.character());
  EXPECT_EQ(c->get(xgc_size), head.size());
  EXPECT_EQ(c->get(xgc_var), 46);
  EXPECT_EQ(c->get(xgc_color), 7);
  GEcharacter(0, 0, 0, 3, P_QUARTER_NOTE_HEAD, -1, 46, NIL, 30);  // colour -1 without a note: 15
  EXPECT_EQ(GE_tail->get(xgc_color), 15);
  EXPECT_EQ(GE_tail->get(xgc_size), 30);
  GEcharacter(0, 0, 0, 3, P_QUARTER_NOTE_HEAD, 18, 2, NIL, 0);
  EXPECT_EQ(GE_tail->get(xgc_color), 2);
  EXPECT_EQ(GE_tail->get(xganno), 2);
  EXPECT_EQ(GEcharacter_screen(0, 0, 0, 3, P_QUARTER_NOTE_HEAD, 0, 46, note, 0), 0);
  GEcharacter_screen(0, 0, 0, 3, P_QUARTER_NOTE_HEAD, 0, 46, note, 1);
  EXPECT_EQ(GE_tail->get(xgscreen), 1);
  GEcharacter(2, 0, 0, 65, P_QUARTER_NOTE_HEAD, 0, 46, NIL, 0);
  std::vector<Report> got = take_reports();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].text, "bad pstaff value for GEcharacter");
  EXPECT_EQ(got[1].text, "unrecognized drawmode in GE.c");
  EXPECT_EQ(GE_tail->get(xdrawmode), 2);
}

TEST_F(GERelocate, MovesByYrelocHalvesTowardZeroAndLeavesAdjacentTexts) {
  auto glyph_with = [](int pstaff, int reloc) {
    GEcharacter(0, 0, 1000, pstaff, P_QUARTER_NOTE_HEAD, 0, 46, NIL, 0);
    GE_tail->set(xgc_yreloc, reloc);
    return GE_tail;
  };
  Drosa own = glyph_with(2, 0), other = glyph_with(3, 0), above = glyph_with(3, 1),
        below = glyph_with(1, 2), never = glyph_with(2, 3);
  Drosa adjacent = GEstring(0, ADJACENT_TEXT, 500, 0, 0, 2, 20, 0, 12, 0, 0, "a", 0, 0, NIL, NIL);
  Drosa line = GEline(0, 0, 100, 2, 1, 0, 200, 5, 0, 10, 0, 0, 0, 0, 0, 0, 0, 10, NIL);
  Drosa curve = GEcurve(0, 0, 100, 2, 0, 150, 2, 0, 250, 2, 0, 300, 4, 0, 0, 0, 0, 5, NIL);
  const int y0 = own->get(xgc_y);
  GEyrelocate(2, -7);
  EXPECT_EQ(own->get(xgc_y), y0 + 7);
  EXPECT_EQ(other->get(xgc_y), y0);
  EXPECT_EQ(above->get(xgc_y), y0 + 3);  // between staves 2 and 3: half of -7 is -3
  EXPECT_EQ(below->get(xgc_y), y0 + 3);
  EXPECT_EQ(never->get(xgc_y), y0);
  EXPECT_EQ(adjacent->get(xgc_y), 500);
  EXPECT_EQ(std::vector<int>({line->get(xge_y1), line->get(xgl_clipy1), line->get(xge_y2)}),
            std::vector<int>({103, 100 - 280 + 3, 200}));
  EXPECT_EQ(std::vector<int>(
                {curve->get(xge_y1), curve->get(xgv_c1y), curve->get(xgv_c2y), curve->get(xge_y2)}),
            std::vector<int>({107, 157, 250, 300}));
}

TEST_F(GEInit, CompleteListBecomesTheOldListOtherwiseItIsFreed) {
  GEline(0, 0, 0, 0, 0, 10, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 10, NIL);
  Drosa first = GE_head->xnext;
  const int free_before = freeCount;
  GE_list_complete = 1;
  GEinit(1);
  ASSERT_TRUE(old_GE_head);
  EXPECT_EQ(old_GE_head->xkind, GE_CHAR);
  EXPECT_EQ(old_GE_head->xnext, first);
  EXPECT_EQ(first->xback, old_GE_head);
  EXPECT_FALSE(GE_head->xnext);
  EXPECT_EQ(GE_tail, GE_head);
  EXPECT_EQ(GE_list_complete, 0);
  EXPECT_EQ(freeCount, free_before - 1);  // only the copied head is new
  GEline(0, 0, 0, 0, 0, 10, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 10, NIL);
  GEinit(1);  // an incomplete list is thrown away, the old one kept
  EXPECT_FALSE(GE_head->xnext);
  EXPECT_EQ(old_GE_head->xnext, first);
  EXPECT_EQ(freeCount, free_before - 1);
  GEinit(0);
  GE_list_complete = 1;
  GEinit(1);
  std::vector<Report> got = take_reports();
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0].text, "GEinit called with !save_old and old_GE_head != NIL");
  EXPECT_EQ(got[1].text, "Old Graphics Object list not NIL in GEinit.");
  EXPECT_EQ(got[2].text, "New Graphics Object list is empty in GEinit.");
  EXPECT_FALSE(old_GE_head->xnext);  // the older list went back to the store
  destroy_Drosa_list(old_GE_head);
  old_GE_head = NIL;
}

}  // namespace
