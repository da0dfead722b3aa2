// param_table_test.cpp: the engraving parameter table built by param_init.
//   Shape.*:      types and counts of all slots, reference sizes, value byte layout, string
//                 length report
//   Order.*:      the display order with and without the simplified-notation font
//   Sets.*:       what the second default set changes; the repeat dots in both sets
//   Floors.*:     line widths floored by the minimum line width; the note spacing default
//   Rebuild.*:    running param_init again
//   Spots.*:      defaults of a few parameters under every heading, in both sets
//   Special.*:    the special accidentals and their cents offsets
#include "params/param_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/app_services.h"
#include "model/model_services.h"
#include "params/params_globals.h"
#include "platform/fonts.h"
#include "support/model_fixture.h"

namespace {

const std::set<int> NOT_LISTED = {18,  19,  151, 152, 153, 154, 155, 156, 157, 167, 168,
                                  169, 170, 171, 172, 173, 209, 223, 261, 268, 315, 327,
                                  329, 330, 359, 361, 363, 370, 386, 394, 551, 552, 562,
                                  563, 566, 567, 573, 574, 575, 576, 577};

std::set<int> simplified_params() {
  const int ranges[][2] = {{674, 679}, {687, 702}, {715, 722}, {736, 738}, {743, 750}};
  std::set<int> s;
  for (auto& r : ranges)
    for (int p = r[0]; p <= r[1]; ++p) s.insert(p);
  return s;
}

class ParamTableTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    reset_params_globals();
  }
  void TearDown() override {
    reset_params_globals();
    ModelTest::TearDown();
  }
  void build(int min_width = 0, int sonata = 0, bool simplified = true) {
    set_options_i16(1, OPTIONS_MIN_LINE_WIDTH, int16_t(min_width));
    prefs.set_use_sonata_font(int16_t(sonata));
    music_font_numbers[FONT_SLOT_SIMPLIFIED] = simplified ? FONT_SIMPLIFIED_NOTATION : 0;
    param_init();
  }
  std::vector<int> order() const {
    return std::vector<int>(param_order, param_order + param_order_count);
  }
};

bool same_record(const ParamRecord& a, const ParamRecord& b) {
  return a.type == b.type && a.description == b.description && a.changed == b.changed &&
         a.ref_size == b.ref_size && !std::memcmp(&a.value, &b.value, sizeof a.value) &&
         !std::memcmp(&a.small, &b.small, sizeof a.small);
}

// A value written the way the catalogue writes it.
std::string show_value(const ParamValue& v, uint32_t type) {
  char buf[80];
  switch (type) {
    case PARAM_INTEGER:
    case PARAM_INTEGER_PAIR:
    case PARAM_COORDINATE:
    case PARAM_COORDINATE_PAIR:
      std::snprintf(buf, sizeof buf, "%d", v.integer());
      return buf;
    case PARAM_FLOAT:
    case PARAM_FLOAT_PAIR:
      std::snprintf(buf, sizeof buf, "%g", double(v.real()));
      return buf;
    case PARAM_STRING:
      std::snprintf(buf, sizeof buf, "%d \"%s\"", v.font(), v.text());
      return buf;
    default: {
      std::string font = std::to_string(v.font());
      if (v.font() == music_font_numbers[FONT_SLOT_SYMBOL]) font = "Sym";
      if (v.font() == music_font_numbers[FONT_SLOT_SIMPLIFIED] && v.font()) font = "S";
      std::snprintf(buf, sizeof buf, "%s %d %d %d (%d, %d)", font.c_str(), v.size(), v.style(),
                    v.character(), v.x(), v.y());
      return buf;
    }
  }
}

std::string show(int pindex) {
  const ParamRecord& r = param[pindex];
  std::string s = show_value(r.value, r.type);
  if (is_pair_type(r.type)) s += " | " + show_value(r.small, r.type);
  return s;
}

// ---- Shape -------------------------------------------------------------------------------

TEST_F(ParamTableTest, ShapeEverySlotTypedWithTheStatedCounts) {
  build();
  int by_type[13] = {};
  int ref100 = 0;
  for (int i = 1; i <= PARAM_LAST; ++i) {
    ASSERT_GE(param[i].type, 1u) << i;
    ASSERT_LE(param[i].type, 12u) << i;
    ++by_type[param[i].type];
    if (param[i].ref_size == 100) ++ref100;
  }
  EXPECT_EQ(param_heading_count, 27);
  const int expected[13] = {0, 27, 38, 4, 77, 227, 75, 3, 49 + 2, 218, 2, 0, 31};
  for (int t = 1; t <= 12; ++t) EXPECT_EQ(by_type[t], expected[t]) << "type " << t;
  EXPECT_EQ(ref100, 6);
  for (int p : {P_FONT_INFORMATION_FOR_GUITAR_TABLATURE_NUMBERS,
                P_PARENTHESIS_TO_LEFT_OF_GUITAR_TABLATURE_NOTE,
                P_PARENTHESIS_TO_RIGHT_OF_GUITAR_TABLATURE_NOTE,
                P_SYMBOL_FOR_BEND_TO_HIGHER_PITCH_ON_TABLATURE_STAFF,
                P_SYMBOL_FOR_BEND_TO_LOWER_PITCH_ON_TABLATURE_STAFF,
                P_FONT_AND_X_Y_OFFSET_FOR_BEND_RANGE_ON_TABLATURE_STAFF})
    EXPECT_EQ(param[p].ref_size, 100) << p;
  EXPECT_EQ(param[P_NORMAL_LENGTH_OF_NOTE_STEMS].ref_size, 50);
  EXPECT_EQ(param[P_FONT_AND_TEXT_FOR_CRES].ref_size, 0);  // strings and headings keep theirs unset
  EXPECT_EQ(param[284].ref_size, 0);                       // a heading
  for (int p : {P_EDITOR_PARAMETER_417, P_EDITOR_PARAMETER_105}) {
    EXPECT_EQ(param[p].type, PARAM_CHARACTER);
    EXPECT_STREQ(param[p].description, "editor parameter");
  }
  EXPECT_EQ(show(P_EDITOR_PARAMETER_417), "-1 12 0 104 (0, 0)");
  EXPECT_EQ(show(P_EDITOR_PARAMETER_105), "-1 12 0 92 (0, 0)");
}

TEST_F(ParamTableTest, ShapeValueBytesAreBigEndian) {
  build();
  const uint8_t repeat_dots[14] = {0xFF, 0xFF, 0, 12, 0, 80, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xA6};
  EXPECT_EQ(0, std::memcmp(param[P_REPEAT_DOTS].value.bytes, repeat_dots, 14));
  const uint8_t two_point_two[4] = {0x40, 0x0C, 0xCC, 0xCD};
  EXPECT_EQ(0, std::memcmp(
                   param[P_FLATS_THIS_MANY_VERTICAL_STAFF_SPACES_APART_DO_NOT_OVERLAP].value.bytes,
                   two_point_two, 4));
  const uint8_t cres[14] = {0xFF, 0xFB, 'c', 'r', 'e', 's', 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(param[P_FONT_AND_TEXT_FOR_CRES].value.bytes, cres, 14));
  const uint8_t minus_200[4] = {0xFF, 0xFF, 0xFF, 0x38};
  EXPECT_EQ(0,
            std::memcmp(param[P_Y_OFFSET_FROM_STAFF_IF_VERT_LOCK_CHECKED_BUT_NOT_HORIZ].value.bytes,
                        minus_200, 4));
}

TEST_F(ParamTableTest, ShapeTooLongStringIsReportedAndCut) {
  declare_string_param(P_FONT_AND_TEXT_FOR_CRES, "crescendo", -5, "font and text for cres");
  auto taken = take_reports();
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0].level, 4);
  EXPECT_EQ(taken[0].text, "String too long for 'font and text for cres' parameter!");
  EXPECT_STREQ(param[P_FONT_AND_TEXT_FOR_CRES].value.text(), "crescen");
}

// ---- Order -------------------------------------------------------------------------------

TEST_F(ParamTableTest, OrderWithAndWithoutTheSimplifiedFont) {
  const std::set<int> simplified = simplified_params();
  ASSERT_EQ(simplified.size(), 41u);
  for (bool installed : {true, false}) {
    SCOPED_TRACE(installed ? "font installed" : "font missing");
    build(0, 0, installed);
    std::vector<int> o = order();
    EXPECT_EQ(o.size(), installed ? 679u : 638u);
    std::set<int> seen;
    int headings = 0;
    for (int p : o) {
      EXPECT_TRUE(seen.insert(p).second) << p << " listed twice";
      if (param[p].type == PARAM_HEADING) ++headings;
      EXPECT_FALSE(NOT_LISTED.count(p) || p == P_EDITOR_PARAMETER_417 ||
                   p == P_EDITOR_PARAMETER_105)
          << p;
      EXPECT_FALSE(!installed && simplified.count(p)) << p;
    }
    EXPECT_EQ(headings, 27);
    for (int p : simplified) EXPECT_EQ(seen.count(p), installed ? 1u : 0u) << p;
    // The not-listed and hidden ones are declared all the same.
    for (int p : NOT_LISTED) EXPECT_NE(param[p].type, PARAM_NONE) << p;
  }
  build();
  const std::vector<int> start = {284, 25, 26, 27, 28, 29, 715};
  EXPECT_EQ(std::vector<int>(param_order, param_order + 7), start);
  EXPECT_EQ(param_order[param_order_count - 1], 216);
}

// ---- Sets --------------------------------------------------------------------------------

TEST_F(ParamTableTest, SetsSecondSetChangesTheStatedParameters) {
  build(0, 0);
  std::vector<ParamRecord> first(param, param + PARAM_SLOTS);
  build(0, 1);
  int characters = 0, coordinate_pairs = 0, others = 0;
  for (int i = 1; i <= PARAM_LAST; ++i) {
    if (same_record(first[i], param[i])) continue;
    if (param[i].type == PARAM_CHARACTER || param[i].type == PARAM_CHARACTER_PAIR)
      ++characters;
    else if (param[i].type == PARAM_COORDINATE_PAIR)
      ++coordinate_pairs;
    else
      ++others;
  }
  EXPECT_EQ(characters, 117);
  EXPECT_EQ(coordinate_pairs, 10);
  EXPECT_EQ(others, 0);
  build(0, 2);  // only 1 selects the second set
  for (int i = 1; i <= PARAM_LAST; ++i) ASSERT_TRUE(same_record(first[i], param[i])) << i;
}

TEST_F(ParamTableTest, SetsRepeatDots) {
  build(0, 1);
  EXPECT_EQ(show(P_REPEAT_DOTS), "-3 20 0 123 (0, -100) | -3 12 0 123 (0, -60)");
  build(0, 0);
  EXPECT_EQ(show(P_REPEAT_DOTS), "-1 12 0 80 (0, -90) | -1 7 0 80 (0, -53)");
}

// ---- Floors ------------------------------------------------------------------------------

TEST_F(ParamTableTest, FloorsFollowTheMinimumLineWidth) {
  struct Case {
    int min_width, pindex;
    const char* expected;
  } cases[] = {
      {5, 179, "5"},   {1, 179, "2"}, {30, 202, "30 | 30"}, {20, 202, "25 | 20"}, {30, 322, "30"},
      {30, 623, "70"}, {0, 327, "0"}, {3, 327, "3"},        {30, 134, "20"},  // not a line width
  };
  for (const Case& c : cases) {
    build(c.min_width);
    EXPECT_EQ(show(c.pindex), c.expected) << c.pindex << " at " << c.min_width;
    EXPECT_EQ(min_line_width, c.min_width);
  }
  // Every one of the 33 floored widths lies below 999, and no other length is 999.
  build(999);
  int floored = 0;
  for (int i = 1; i <= PARAM_LAST; ++i)
    if ((param[i].type == PARAM_COORDINATE || param[i].type == PARAM_COORDINATE_PAIR) &&
        param[i].value.integer() == 999)
      ++floored;
  EXPECT_EQ(floored, 33);
}

TEST_F(ParamTableTest, FloorsNoteSpacingDefaultFollowsTheContext) {
  build();
  EXPECT_EQ(param[P_EFFECT_OF_DURATION_ON_NOTE_SPACING].value.real(),
            1.0f);  // a cleared options record
  set_options_float(1, 18, 0.25f);
  build();
  EXPECT_EQ(param[P_EFFECT_OF_DURATION_ON_NOTE_SPACING].value.real(), 0.75f);
}

// ---- Rebuild -----------------------------------------------------------------------------

TEST_F(ParamTableTest, RebuildGivesTheSameTableAndClearsChangedFlags) {
  build(2, 1);
  std::vector<ParamRecord> once(param, param + PARAM_SLOTS);
  std::vector<int> order_once = order();
  param[P_NORMAL_LENGTH_OF_NOTE_STEMS].changed = 1;
  param[P_REPEAT_DOTS].changed = 1;
  param[P_NORMAL_LENGTH_OF_NOTE_STEMS].value.set_integer(500);
  param[P_OUTDATED_POINTS_SEPARATION_BETW_LINES_OF_STAFF].small.set_integer(-1);
  param_order[0] = 1;
  param_init();
  for (int i = 0; i < PARAM_SLOTS; ++i) ASSERT_TRUE(same_record(once[i], param[i])) << i;
  for (int i = 1; i <= PARAM_LAST; ++i) ASSERT_EQ(param[i].changed, 0) << i;
  EXPECT_EQ(order(), order_once);
  EXPECT_EQ(param_heading_count, 27);
}

// ---- Spots -------------------------------------------------------------------------------

TEST_F(ParamTableTest, SpotsUnderEveryHeading) {
  struct Spot {
    int pindex;
    uint32_t type;
    const char* first;
    const char* second;  // null: as the first set
  } spots[] = {
      // accidentals, keys, chord symbols
      {284, PARAM_HEADING, "", nullptr},
      {25, 9, "-1 12 0 97 (0, -23) | -1 12 0 129 (0, -23)",
       "-3 20 0 186 (-2, 24) | -3 12 0 186 (-5, 24)"},
      {715, 9, "S 10 0 71 (0, 5) | S 7 0 71 (0, 12)", nullptr},
      {588, 8, "-1 13 0 103 (10, 10)", "-3 20 0 220 (8, 55)"},
      {257, 5, "60 | 50", "50 | 40"},
      {122, 3, "3 | 2", nullptr},
      {572, 6, "2.2", nullptr},
      {577, 9, "-1 12 0 103 (0, -20) | -1 12 0 237 (0, -20)", nullptr},
      // bar lines, repeats
      {324, 3, "1 | 1", nullptr},
      {682, 4, "-25", nullptr},
      {724, 9, "-1 12 0 35 (0, 0) | -1 7 0 35 (0, 0)", "-3 20 0 222 (0, 0) | -3 12 0 222 (0, 0)"},
      // beaming
      {180, 7, "0.4 | 0.4", nullptr},
      {335, 2, "3", nullptr},
      {567, 5, "50 | 40", nullptr},
      // brackets and braces
      {399, 9, "-6 14 1 236 (0, 0) | -6 12 1 236 (0, 0)", nullptr},
      {712, 6, "0.75", nullptr},
      {359, 2, "0", nullptr},
      // clefs and 8va
      {112, 9, "-2 24 0 113 (0, -50) | -2 14 0 113 (0, -29)",
       "-3 20 0 38 (0, -100) | -3 12 0 38 (0, -60)"},
      {405, 9, "-2 24 0 101 (0, -100) | -2 14 0 101 (0, -59)",
       "-3 20 0 66 (0, -150) | -3 20 0 66 (0, -90)"},
      {133, 5, "150 | 140", "150 | 120"},
      {349, 2, "36", nullptr},
      // editing defaults
      {578, 8, "-5 9 0 65 (0, 0)", nullptr},
      {556, 2, "33", nullptr},
      // dots
      {740, 9, "-1 12 0 111 (53, 10) | -1 12 0 111 (53, 10)", nullptr},
      {22, 9, "-1 12 0 91 (0, 0) | -1 12 0 211 (0, 0)",
       "-3 20 0 46 (-28, 15) | -3 12 0 46 (-19, 15)"},
      {315, 2, "0", nullptr},
      // dynamics
      {44, 8, "-1 12 0 118 (0, 0)", "-3 20 0 112 (-15, 0)"},
      {686, 6, "0.5", nullptr},
      {330, 10, "-5 \"dim\"", nullptr},
      // fingerings
      {612, 8, "-5 10 0 49 (0, 0)", nullptr},
      {615, 4, "-10", nullptr},
      // ledger lines
      {743, 5, "25 | 20", nullptr},
      {276, 5, "2 | 2", nullptr},
      // lyrics
      {664, 4, "1440", nullptr},
      {386, 2, "2", nullptr},
      // note heads
      {73, 9, "-1 12 0 141 (0, 0) | -1 12 0 130 (0, 0)",
       "-3 20 0 207 (0, 25) | -3 12 0 207 (0, 25)"},
      {749, 9, "S 10 0 80 (-2, 4) | S 6 0 80 (-6, 8)", "S 10 0 80 (-8, 4) | S 6 0 80 (-6, 8)"},
      {369, 5, "109 | 92", "123 | 74"},
      {361, 8, "-1 8 0 130 (0, 8)", "-3 8 0 207 (0, 16)"},
      // flags
      {70, 9, "-1 12 0 201 (0, 0) | -1 12 0 199 (0, 0)", nullptr},
      {657, 4, "-40", nullptr},
      // stems
      {198, 5, "140 | 100", nullptr},
      {694, 5, "46 | 41", nullptr},
      {157, 5, "20 | 10", nullptr},
      // tempo notes
      {17, 8, "-1 12 0 121 (0, 0)", nullptr},
      {19, 8, "-1 12 0 105 (0, 0)", nullptr},
      // page numbers, bar numbers, tuplets
      {1, 9, "-5 10 2 51 (0, 0) | -5 7 2 51 (0, 0)", nullptr},
      {394, 5, "2 | 2", nullptr},
      // pedal, breath marks, bowing
      {606, 9, "-1 12 0 45 (0, 0) | -1 12 0 45 (0, 0)",
       "-3 20 0 161 (35, 0) | -3 12 0 161 (31, 0)"},
      {671, 9, "-5 20 0 34 (0, 0) | -5 14 0 34 (0, 0)", nullptr},
      // rests
      {58, 9, "-1 12 0 73 (0, -90) | -1 12 0 233 (0, -60)",
       "-3 20 0 229 (-14, -125) | -3 12 0 229 (3, -75)"},
      {604, 8, "-1 12 0 187 (0, 0)", "-3 20 0 57 (7, 50)"},
      {190, 3, "3 | 3", nullptr},
      {231, 5, "-10 | -10", nullptr},
      // tremolo
      {104, 9, "-1 12 0 108 (0, 0) | -1 8 0 108 (0, 0)",
       "-3 20 0 190 (-10, 0) | -3 12 0 190 (2, 0)"},
      {212, 5, "100 | 60", nullptr},
      // special accidentals
      {539, PARAM_HEADING, "", nullptr},
      {433, 9, "Sym 12 0 221 (0, -20) | Sym 8 0 221 (0, 0)", nullptr},
      {451, 9, "Sym 12 0 103 (0, -20) | Sym 8 0 103 (0, 0)", nullptr},
      {511, 6, "15", nullptr},
      {478, 9, "-5 12 0 43 (0, -20) | -5 8 0 43 (0, 0)", nullptr},
      {537, 6, "-90", nullptr},
      // articulations
      {713, 9, "-1 14 0 66 (-5, -4) | -1 10 0 66 (0, 0)",
       "-1 16 0 66 (-5, -5) | -1 10 0 66 (-5, -5)"},
      {362, 8, "-2 12 0 111 (0, 0)", "-2 14 0 111 (6, -20)"},
      {705, 6, "0.666667", nullptr},
      // staff lines, margins, note spacing
      {683, 5, "80 | 70", "82 | 49"},
      {560, 2, "80", nullptr},
      {220, 4, "120", nullptr},
      {552, 5, "50 | 30", nullptr},
      // tablature
      {549, 2, "36", nullptr},
      {581, 9, "-5 6 1 51 (7, 7) | -5 6 1 51 (7, 7)", nullptr},
      {562, 9, "-1 12 0 141 (0, 0) | -1 12 0 130 (0, 0)",
       "-3 20 0 207 (0, 25) | -3 12 0 207 (0, 25)"},
      // ties, slurs
      {379, 5, "1250 | 1250", nullptr},
      {627, 9, "-2 25 0 40 (0, 30) | -2 25 0 40 (30, 30)", nullptr},
      {209, 5, "50 | 30", nullptr},
      // time signatures
      {31, 9, "-1 12 0 188 (0, 0) | -1 7 0 188 (0, 0)", "-3 20 0 48 (4, 50) | -3 12 0 48 (2, 29)"},
      {215, 5, "80 | 47", nullptr},
  };
  for (int sonata : {0, 1}) {
    build(0, sonata);
    for (const Spot& s : spots) {
      SCOPED_TRACE("parameter " + std::to_string(s.pindex) + (sonata ? ", second set" : ""));
      ASSERT_EQ(param[s.pindex].type, s.type);
      if (s.type == PARAM_HEADING) continue;
      EXPECT_EQ(show(s.pindex), sonata && s.second ? s.second : s.first);
    }
  }
  // Exact texts, odd spellings and backslashes included.
  const std::pair<int, const char*> texts[] = {
      {284, "ACCIDENTALS, KEYS, CHORD SYMBOLS"},
      {541, "SPECIAL ACCIDENTALS (41-60)"},
      {671, "breath mark (double) (\\\")"},
      {362, "vertical slash character (\\|)"},
      {607, "pedal up marking (\\*)"},
      {127, "offset between succesive beams"},
      {146, "y offset for top of down-stem, open lozengess"},
      {622, "vertical offset for for glissando line ends in tablature"},
      {649, "length of slur with 'hang right' selected"},
      {209, "OUTDATED"},
  };
  for (auto& [p, text] : texts) EXPECT_STREQ(param[p].description, text) << p;
}

// ---- Special accidentals ------------------------------------------------------------------

TEST_F(ParamTableTest, SpecialAccidentalsFollowTheirFormula) {
  build();
  std::vector<int> o = order();
  for (int n = 1; n <= 60; ++n) {
    SCOPED_TRACE("special accidental " + std::to_string(n));
    const ParamRecord& glyph = param[418 + n];
    const ParamRecord& cents = param[478 + n];
    EXPECT_EQ(glyph.type, PARAM_CHARACTER_PAIR);
    EXPECT_EQ(std::string(glyph.description), "special accidental " + std::to_string(n));
    EXPECT_EQ(cents.type, PARAM_FLOAT);
    EXPECT_EQ(std::string(cents.description),
              "cents offset for special accidental " + std::to_string(n));
    // Listed under the heading of its group of twenty, each glyph followed by its offset.
    auto at = std::find(o.begin(), o.end(), 418 + n) - o.begin();
    int heading = 539 + (n - 1) / 20;
    auto heading_at = std::find(o.begin(), o.end(), heading) - o.begin();
    ASSERT_LT(at + 1, int(o.size()));
    EXPECT_EQ(o[at + 1], 478 + n);
    EXPECT_EQ(at, heading_at + 1 + 2 * ((n - 1) % 20));
  }
}

}  // namespace
