// dialog_items_test.cpp: typed dialog item routines.
//   Numbers.*:   reading integers, hex values and reals with their range messages
//   Format.*:    writing numbers into items
//   Items.*:     kinds, highlighting, hiding, moving, pop-up menus, the key filter
#include "model/dialog_items.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "model/error_report.h"
#include "model/number_dialogs.h"
#include "platform/port.h"
#include "support/script_fixture.h"

namespace {

constexpr int FIELD = 4;  // the edit text of the number dialog

class DialogTest : public ScriptedTest {
 protected:
  void SetUp() override {
    ScriptedTest::SetUp();
    dialog = platform_open_dialog(NUMBER_DIALOG, true);
    ASSERT_NE(dialog, nullptr);
  }
  void TearDown() override {
    platform_close_dialog(dialog);
    ScriptedTest::TearDown();
  }
  // The message shown for a refused entry ("" when none).
  std::string message() {
    std::vector<ShownText> s = shown();
    for (const ShownText& t : s)
      if (t.id == ALERT_MESSAGE) return t.text;
    return "";
  }
  DialogRef dialog = nullptr;
};

using Numbers = DialogTest;
using Format = DialogTest;
using Items = DialogTest;

TEST_F(Numbers, LongItemAcceptsOneIntegerInRange) {
  const struct {
    const char* typed;
    int32_t result;
    const char* message;
  } cases[] = {
      {"12", 12, ""},
      {"  7", 7, ""},
      {"0", 0, ""},
      {"100", 100, ""},
      {"5abc", BAD_LONG_ITEM, "Illegal staff; please use an integer between 0 and 100."},
      {"12.5", BAD_LONG_ITEM, "Illegal staff; please use an integer between 0 and 100."},
      {"12 ", 12, ""},
      {"12 13", BAD_LONG_ITEM, "Illegal staff; please use one integer between 0 and 100."},
      {"", BAD_LONG_ITEM, "Illegal staff; please use one integer between 0 and 100."},
      {"abc", BAD_LONG_ITEM, "Illegal staff; please use one integer between 0 and 100."},
      {"101", BAD_LONG_ITEM, "Illegal staff; please use an integer between 0 and 100."},
      {"-1", BAD_LONG_ITEM, "Illegal staff; please use an integer between 0 and 100."},
      {"4294967296", BAD_LONG_ITEM, "Illegal staff; please use an integer between 0 and 100."},
      {"99999999999999999999999", BAD_LONG_ITEM,
       "Illegal staff; please use an integer between 0 and 100."},
  };
  for (const auto& c : cases) {
    platform_set_item_text(dialog, FIELD, c.typed);
    if (c.message[0]) script_hit(2);
    EXPECT_EQ(get_long_item(dialog, FIELD, "staff", 0, 100), c.result) << c.typed;
    EXPECT_EQ(message(), c.message) << c.typed;
  }
}

TEST_F(Numbers, LongItemWithoutANameStaysSilent) {
  platform_set_item_text(dialog, FIELD, "4294967297");
  EXPECT_EQ(get_long_item(dialog, FIELD, nullptr, INT32_MIN + 1, INT32_MAX), BAD_LONG_ITEM);
  platform_set_item_text(dialog, FIELD, "-2147483647");
  EXPECT_EQ(get_long_item(dialog, FIELD, nullptr, INT32_MIN + 1, INT32_MAX), -2147483647);
  EXPECT_EQ(message(), "");
}

TEST_F(Numbers, HexItemReadsThirtyTwoBitsSigned) {
  const struct {
    const char* typed;
    int32_t result;
    const char* message;
  } cases[] = {
      {"ff", 255, ""},
      {"0x1F", 31, ""},
      {"ffffffff", -1, ""},
      {"-1", -1, ""},
      {"1ffffffff", BAD_LONG_ITEM, "Illegal mask; please use a hex value between ffffff00 and ff."},
      {"100", BAD_LONG_ITEM, "Illegal mask; please use a hex value between ffffff00 and ff."},
      {"1 2", BAD_LONG_ITEM, "Illegal mask; please use one hex value between ffffff00 and ff."},
      {"fg", BAD_LONG_ITEM, "Illegal mask; please use a hex value between ffffff00 and ff."},
      {"xyz", BAD_LONG_ITEM, "Illegal mask; please use one hex value between ffffff00 and ff."},
  };
  for (const auto& c : cases) {
    platform_set_item_text(dialog, FIELD, c.typed);
    if (c.message[0]) script_hit(2);
    EXPECT_EQ(get_hex_item(dialog, FIELD, "mask", -256, 255), c.result) << c.typed;
    EXPECT_EQ(message(), c.message) << c.typed;
  }
}

TEST_F(Numbers, DoubleItemReadsOneOrTwoNumbers) {
  double second = -9;
  platform_set_item_text(dialog, FIELD, "1.5,2.5");
  EXPECT_EQ(get_double_item(dialog, FIELD, "scale", 0, 10, &second), 1.5);
  EXPECT_EQ(second, 2.5);
  second = -9;
  platform_set_item_text(dialog, FIELD, "1.5 ");
  EXPECT_EQ(get_double_item(dialog, FIELD, "scale", 0, 10, &second), 1.5);
  EXPECT_EQ(second, -9);
  platform_set_item_text(dialog, FIELD, " 10");
  EXPECT_EQ(get_double_item(dialog, FIELD, "scale", 0.25, 10, nullptr), 10);
  platform_set_item_text(dialog, FIELD, "0.25");
  EXPECT_EQ(get_double_item(dialog, FIELD, "scale", 0.25, 10, nullptr), 0.25);
  for (const char* bad : {"10.01", "nan", "inf", "", "x", "0,5", "1x", "1.0.1"}) {
    platform_set_item_text(dialog, FIELD, bad);
    script_hit(2);
    EXPECT_EQ(get_double_item(dialog, FIELD, "scale", 0.25, 1.2, nullptr), BAD_DOUBLE_ITEM) << bad;
    EXPECT_EQ(message(), "Illegal scale; please use a number between 0.25 and 1.2.") << bad;
  }
}

TEST_F(Format, FloatsLoseTrailingZerosAndPoint) {
  const std::pair<double, const char*> cases[] = {
      {1.5, "1.5"},          {2.0, "2"},     {0.0, "0"},        {100.0, "100"},
      {0.333333, "0.33333"}, {-2.5, "-2.5"}, {10.000001, "10"}, {1e6, "1000000"},
  };
  char text[64];
  for (auto [value, expected] : cases) {
    format_float_trimmed(value, text, sizeof text);
    EXPECT_STREQ(text, expected) << value;
  }
}

TEST_F(Format, NumbersWrittenIntoItems) {
  set_long_item(dialog, FIELD, -2147483647 - 1);
  EXPECT_EQ(platform_item_text(dialog, FIELD), "-2147483648");
  set_hex_item(dialog, FIELD, -1);
  EXPECT_EQ(platform_item_text(dialog, FIELD), "ffffffff");
  set_double_item(dialog, FIELD, 0.5);
  EXPECT_EQ(platform_item_text(dialog, FIELD), "0.5");
}

TEST_F(Items, WrongKindsAreReportedAndUsedAnyway) {
  script_hit(2);
  get_check_item(dialog, 1);
  script_hit(2);
  get_radio_item(dialog, 1);
  script_hit(2);
  set_long_item(dialog, 1, 5);  // a button
  std::vector<ShownText> s = shown();
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(s[0].text, "Expected item number 1 to be a check box");
  EXPECT_EQ(s[1].text, "Expected item number 1 to be a radio button");
  EXPECT_EQ(s[2].text, "Expected item number 1 to be editable-text");
}

TEST_F(Items, KeyFilterTakesKeyDownsButNotRepeats) {
  EventRecord e;
  int item = 0;
  e.what = EVENT_KEY_DOWN;
  e.message = KEY_RETURN;
  EXPECT_TRUE(dialog_key_filter(dialog, &e, &item));
  EXPECT_EQ(item, 1);
  e.message = KEY_ENTER;
  EXPECT_TRUE(dialog_key_filter(dialog, &e, &item));
  EXPECT_EQ(item, 1);
  e.message = KEY_ESCAPE;
  EXPECT_TRUE(dialog_key_filter(dialog, &e, &item));
  EXPECT_EQ(item, 2);
  e.message = 'a';
  EXPECT_FALSE(dialog_key_filter(dialog, &e, &item));
  e.what = EVENT_AUTO_KEY;
  e.message = KEY_RETURN;
  EXPECT_FALSE(dialog_key_filter(dialog, &e, &item));
}

TEST_F(Items, HidingTwiceMovesOnce) {
  Rect r = platform_item_rect(dialog, FIELD);
  show_hide_item(dialog, FIELD, 0);
  show_hide_item(dialog, FIELD, 0);
  EXPECT_EQ(platform_item_rect(dialog, FIELD), offset_rect(r, 0, 500));
  show_hide_item(dialog, FIELD, 1);
  show_hide_item(dialog, FIELD, 1);
  EXPECT_EQ(platform_item_rect(dialog, FIELD), r);
  move_dialog_control(dialog, FIELD, 30, 40);
  EXPECT_EQ(platform_item_rect(dialog, FIELD), make_rect(30, 40, 30 + r.width(), 40 + r.height()));
}

TEST_F(Items, InvertingAndLightGrayTwiceRestoreThePicture) {
  draw_dialog_frame(dialog, nullptr, "Prompt");
  std::vector<uint32_t> before = port_pixels(platform_dialog_port(dialog));
  for (int op : {INVERT_ITEM, LIGHT_GRAY_ITEM}) {
    invert_item(dialog, 3, 2, op);
    EXPECT_NE(port_pixels(platform_dialog_port(dialog)), before) << op;
    invert_item(dialog, 3, 2, op);
    EXPECT_EQ(port_pixels(platform_dialog_port(dialog)), before) << op;
  }
  script_hit(2);
  invert_item(dialog, 3, 0, 123);
  EXPECT_EQ(shown().back().text, "Illegal operation for invert_item()!");
}

TEST_F(Items, EnablingSetsTheHilite) {
  enable_item(dialog, 1, 0);
  EXPECT_EQ(platform_item_hilite(dialog, 1), 255);
  enable_item(dialog, 1, 1);
  EXPECT_EQ(platform_item_hilite(dialog, 1), 0);
}

TEST(PopupMenus, FilledFromEntryOneUpToTheFirstNull) {
  script_begin();
  DialogRef d = platform_open_dialog(POPUP_DIALOG, true);
  ASSERT_NE(d, nullptr);
  const char* none[] = {"unused", nullptr};
  fill_popup_menu(d, 4, none);
  EXPECT_EQ(platform_popup_count(d, 4), 0);
  const char* three[] = {"unused", "Flute", "Oboe", "Horn", nullptr, "never"};
  fill_popup_menu(d, 4, three);
  EXPECT_EQ(platform_popup_count(d, 4), 3);
  EXPECT_EQ(platform_popup_text(d, 4, 2), "Oboe");
  EXPECT_EQ(platform_item_rect(d, 4).width(), 220);
  platform_close_dialog(d);
  script_take_shown();
  script_end();
}

}  // namespace
