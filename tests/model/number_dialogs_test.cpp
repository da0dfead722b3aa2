// number_dialogs_test.cpp: the number and pop-up dialogs.
//   NumberDialog.*:     retry after a bad entry, limits, cancel, unexpected items
//   PopupDialogs.*:     a choice, a choice with a typed text, the single-choice dialog
#include "model/number_dialogs.h"

#include <gtest/gtest.h>

#include <string>

#include "app/app_services.h"
#include "model/dialog_items.h"
#include "model/error_report.h"
#include "support/script_fixture.h"

namespace {

using NumberDialog = ScriptedTest;
using PopupDialogs = ScriptedTest;

TEST_F(NumberDialog, BadEntryIsRefusedAndAskedAgain) {
  script_type(4, "101");
  script_hit(1);
  script_hit(2);  // the range message
  script_type(4, "100");
  script_hit(1);
  int32_t result = 0;
  EXPECT_EQ(number_dialog_long("Move to what position?", 2, 2, 100, &result), 1);
  EXPECT_EQ(result, 100);
  std::vector<ShownText> s = shown();
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].id, NUMBER_DIALOG);
  EXPECT_NE(s[0].text.find("Move to what position?"), std::string::npos);
  EXPECT_EQ(s[1].text, "Illegal number; please use an integer between 2 and 100.");
}

TEST_F(NumberDialog, LowLimitAndTheInitialValue) {
  script_hit(1);  // OK on the initial value
  int32_t result = 0;
  EXPECT_EQ(number_dialog_long("Half steps?", -12, -12, 12, &result), 1);
  EXPECT_EQ(result, -12);
  shown();
}

TEST_F(NumberDialog, CancelGivesZeroAndTheFailureValue) {
  set_cursor(CURSOR_ID_WATCH);
  script_type(4, "5");
  script_hit(2);
  int32_t result = 0;
  EXPECT_EQ(number_dialog_long("Divisions?", 2, 1, 960, &result), 0);
  EXPECT_EQ(result, BAD_LONG_ITEM);
  double real = 0;
  script_hit(2);
  EXPECT_EQ(number_dialog_double("Size?", 12, 1, 127, &real, nullptr), 0);
  EXPECT_EQ(real, BAD_DOUBLE_ITEM);
  EXPECT_EQ(current_cursor_id, CURSOR_ID_WATCH) << "the cursor comes back";
  shown();
}

TEST_F(NumberDialog, RealNumbersWithASecondValue) {
  script_type(4, "1.5,2");
  script_hit(1);
  double value = 0, second = 0;
  EXPECT_EQ(number_dialog_double("Scale?", 1, 0.5, 4, &value, &second), 1);
  EXPECT_EQ(value, 1.5);
  EXPECT_EQ(second, 2);
  shown();
}

TEST_F(NumberDialog, UnexpectedItemIsReportedAndReadAsOk) {
  script_hit(3);  // the prompt text
  script_hit(2);  // the internal-error alert
  int32_t result = 0;
  EXPECT_EQ(number_dialog_long("?", 7, 0, 10, &result), 1);
  EXPECT_EQ(result, 7);
  std::vector<ShownText> s = shown();
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[1].text, "Unexpected item returned from number dialog");
  script_take_faults();  // hitting a static text is not a real click
}

TEST_F(PopupDialogs, PopupReturnsTheChoiceOrZero) {
  const char* choices[] = {nullptr, "Flute", "Oboe", "Horn", nullptr};
  script_choose(4, 3);
  script_hit(1);
  EXPECT_EQ(popup_dialog("End Voice:", choices), 3);
  script_choose(4, 2);
  script_hit(2);
  EXPECT_EQ(popup_dialog("End Voice:", choices), 0);
  std::vector<ShownText> s = shown();
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].id, POPUP_DIALOG);
  EXPECT_NE(s[0].text.find("End Voice:"), std::string::npos);
}

TEST_F(PopupDialogs, SingleChoiceWithTextRunsAgainAndCloses) {
  const char* one[] = {nullptr, "Flute", nullptr};
  char text[256] = "";
  script_type(5, "Fl-ute");
  script_hit(1);
  EXPECT_EQ(popup_text_dialog(text, "New part name:", one), 1);
  EXPECT_STREQ(text, "Fl-ute");
  // The caller refused the name and runs the dialog again.
  script_type(5, "Flute2");
  script_hit(1);
  EXPECT_EQ(popup_text_dialog(text, nullptr, nullptr), 1);
  EXPECT_STREQ(text, "Flute2");
  EXPECT_EQ(popup_text_dialog(nullptr, nullptr, nullptr), 0);
  std::vector<ShownText> s = shown();
  ASSERT_GE(s.size(), 1u);
  EXPECT_EQ(s[0].id, POPUP_TEXT_SINGLE_DIALOG);
}

TEST_F(PopupDialogs, ChoiceWithTextAndCancelClosesItself) {
  const char* two[] = {nullptr, "Flute", "Oboe", nullptr};
  char text[256] = "";
  script_choose(4, 2);
  script_type(5, "x");
  script_hit(1);
  EXPECT_EQ(popup_text_dialog(text, "Part:", two), 2);
  script_hit(2);
  EXPECT_EQ(popup_text_dialog(text, nullptr, nullptr), 0);
  EXPECT_EQ(popup_text_dialog(nullptr, nullptr, nullptr), 0) << "nothing left open to close";
  EXPECT_EQ(shown()[0].id, POPUP_TEXT_DIALOG);
}

}  // namespace
