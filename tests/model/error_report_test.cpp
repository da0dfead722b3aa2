// error_report_test.cpp: reports and questions through alerts.
//   Reports.*:    alert chosen by level and length, what ends or quits the program, the debug
//                 chooser
//   Texts.*:      formatting, the fallback text, cutting long texts
//   Questions.*:  yes/no/cancel, yes/no and go-ahead questions and their failures
#include "model/error_report.h"

#include <gtest/gtest.h>

#include <string>

#include "app/app_services.h"
#include "layout/layout_services.h"
#include "model/number_dialogs.h"
#include "platform/cursors.h"
#include "platform/dialogs.h"
#include "platform/events.h"
#include "support/script_fixture.h"

namespace {

using Reports = ScriptedTest;
using Texts = ScriptedTest;
using Questions = ScriptedTest;

struct AlertCase {
  int level;
  size_t length;
  int alert;
};

TEST_F(Reports, AlertFollowsLevelAndLength) {
  const AlertCase cases[] = {
      {2, 200, ALERT_MESSAGE},        {2, 201, ALERT_MESSAGE_LONG}, {4, 200, ALERT_INTERNAL},
      {4, 201, ALERT_INTERNAL_LONG},  {0, 10, ALERT_INTERNAL},      {5, 10, ALERT_INTERNAL},
      {-3, 300, ALERT_INTERNAL_LONG},
  };
  for (const AlertCase& c : cases) {
    std::string text(c.length, 'x');
    script_hit(2);  // the item that goes on
    REPORT_ERROR(int16_t(c.level), "%s", text.c_str());
    std::vector<ShownText> s = shown();
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].id, c.alert) << "level " << c.level << " length " << c.length;
    EXPECT_EQ(s[0].text, text);
  }
}

TEST_F(Reports, FatalLevelsEndTheProgramWhateverTheAnswer) {
  for (int level : {1, 3}) {
    script_hit(1);
    EXPECT_THROW(REPORT_ERROR(int16_t(level), "fatal %d", level), ProgramExit);
    EXPECT_EQ(shown()[0].id, ALERT_FATAL);
    script_alert_fails();  // not even shown
    EXPECT_THROW(REPORT_ERROR(int16_t(level), "fatal"), ProgramExit);
    EXPECT_TRUE(shown().empty());
  }
  // With Shift held the dump chooser comes first, and the program still ends.
  script_hit(1, MOD_SHIFT);
  script_hit(2);  // cancel the chooser
  EXPECT_THROW(REPORT_ERROR(3, "String error %s %d", "x.cpp", 7), ProgramExit);
  std::vector<ShownText> s = shown();
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[1].id, NUMBER_DIALOG);
}

TEST_F(Reports, ItemOneAsksToQuitAndTheDefaultGoesOn) {
  platform_flush_events(EVERY_EVENT);
  script_hit(1);
  REPORT_ERROR(2, "message");
  // The quit path runs from the main loop; meanwhile questions are cancelled.
  EventRecord quit;
  ASSERT_TRUE(peek_event(event_mask_of(EVENT_QUIT), &quit));
  EXPECT_EQ(yesnocan_alert("Save this piece?"), ANSWER_CANCEL);
  platform_flush_events(EVERY_EVENT);
  script_hit(2);
  REPORT_ERROR(2, "message");
  script_hit(2);
  REPORT_ERROR(4, "inconsistency");
  EXPECT_EQ(shown().size(), 4u);
  // Return on a message continues: the message alerts do not make Quit their default.
  for (int alert : {ALERT_MESSAGE, ALERT_MESSAGE_LONG, ALERT_INTERNAL, ALERT_INTERNAL_LONG})
    EXPECT_NE(platform_dialog_spec(alert)->default_item, 1) << alert;
}

TEST_F(Reports, ShiftOnItemOneOpensTheDumpChooserInsteadOfQuitting) {
  script_hit(1, MOD_RIGHT_SHIFT);
  script_type(4, "-1");
  script_hit(1);
  script_hit(2);  // the chooser's own report "Will stop."
  REPORT_ERROR(4, "Bad call to anno_refloc!");
  std::vector<ShownText> s = shown();
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(s[1].id, NUMBER_DIALOG);
  EXPECT_NE(s[1].text.find("\"Bad call to anno_refloc!\""), std::string::npos) << s[1].text;
  EXPECT_EQ(s[2].text, "Will stop.");
}

TEST_F(Reports, CursorIsRestoredAfterTheAlert) {
  set_cursor(CURSOR_ID_WATCH);
  reformat_pending = 1;
  script_hit(2);
  REPORT_ERROR(4, "while formatting");
  EXPECT_EQ(current_cursor_id, CURSOR_ID_WATCH);
  EXPECT_EQ(platform_cursor_shown(), CURSOR_WATCH);
  shown();
}

TEST_F(Texts, EmptyTextShowsTheFallback) {
  script_hit(2);
  REPORT_ERROR(2, "%s", "");
  EXPECT_EQ(shown()[0].text, "REPORT_ERROR 0: %s");
}

TEST_F(Texts, ParameterTextsSplitAfterTheTwoHundredFiftyFifthCharacter) {
  const std::pair<size_t, size_t> cases[] = {{0, 0}, {255, 0}, {256, 1}, {510, 255}, {600, 255}};
  for (auto [length, in_second] : cases) {
    std::string text(length, 'a');
    if (length > 255) text[255] = 'b';
    param_text_long(text.c_str());
    EXPECT_EQ(platform_param_text(0), text.substr(0, 255)) << length;
    EXPECT_EQ(platform_param_text(1).size(), in_second) << length;
    if (in_second) {
      EXPECT_EQ(platform_param_text(1)[0], 'b');
    }
    EXPECT_EQ(platform_param_text(2), "");
  }
}

TEST_F(Texts, LongTextsAreCutAfterFiveHundredTenCharacters) {
  std::string text;
  for (int i = 0; i < 600; ++i) text += char('a' + i % 26);
  script_hit(2);
  REPORT_ERROR(2, "%s", text.c_str());
  std::vector<ShownText> s = shown();
  EXPECT_EQ(s[0].text, text.substr(0, 510));
  EXPECT_EQ(s[0].id, ALERT_MESSAGE_LONG);
}

TEST_F(Texts, DataInAMessageIsNeverAFormat) {
  script_hit(2);
  REPORT_ERROR(2, "Save changes to file '%s'?", "100%s %d %n");
  EXPECT_EQ(shown()[0].text, "Save changes to file '100%s %d %n'?");
}

TEST_F(Questions, YesNoCancelAnswers) {
  const std::pair<int, int> cases[] = {{1, ANSWER_YES}, {3, ANSWER_NO}, {2, ANSWER_CANCEL}};
  for (auto [item, answer] : cases) {
    script_hit(item);
    EXPECT_EQ(yesnocan_alert("Save changes to file 'a'?"), answer);
    EXPECT_EQ(shown()[0].id, ALERT_YES_NO_CANCEL);
  }
  script_alert_fails();
  script_hit(2);  // the report that the alert was not drawn
  EXPECT_EQ(yesnocan_alert("Save?"), ANSWER_CANCEL);
  std::vector<ShownText> s = shown();
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].text, "yesnocan_alert not drawn");
}

TEST_F(Questions, YesNoAndReallyPickAlertsByVariantAndLength) {
  std::string long_text(250, 'q');
  struct Case {
    int (*ask)(const char*, int);
    int variant;
    const char* text;
    int alert;
  } cases[] = {
      {yesno_alert, 1, "Convert?", ALERT_YES_NO},
      {yesno_alert, 1, long_text.c_str(), ALERT_YES_NO_LONG},
      {yesno_alert, 0, "Convert?", ALERT_YES_NO_RISKY},
      {yesno_alert, 0, long_text.c_str(), ALERT_YES_NO_RISKY_LONG},
      {really_alert, 1, "Really?", ALERT_REALLY},
      {really_alert, 1, long_text.c_str(), ALERT_REALLY_LONG},
      {really_alert, 0, "Really?", ALERT_REALLY_RISKY},
      {really_alert, 0, long_text.c_str(), ALERT_REALLY_RISKY_LONG},
  };
  for (const Case& c : cases) {
    script_hit(1);
    EXPECT_EQ(c.ask(c.text, c.variant), 1);
    script_hit(2);
    EXPECT_EQ(c.ask(c.text, c.variant), 0);
    std::vector<ShownText> s = shown();
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].id, c.alert);
  }
  // Questions whose yes risks a loss default to no.
  EXPECT_EQ(platform_dialog_spec(ALERT_YES_NO_RISKY)->default_item, 2);
  EXPECT_EQ(platform_dialog_spec(ALERT_REALLY_RISKY)->default_item, 2);
}

TEST_F(Questions, FailedQuestionsAnswerNoAndSaySo) {
  script_alert_fails();
  script_hit(2);
  EXPECT_EQ(yesno_alert("?", 1), 0);
  script_alert_fails();
  script_hit(2);
  EXPECT_EQ(really_alert("?", 1), 0);
  std::vector<ShownText> s = shown();
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].text, "yesno_alert not drawn");
  EXPECT_EQ(s[1].text, "really_alert not drawn");
}

TEST_F(Questions, AboutBoxShowsTheVersion) {
  script_hit(1);
  about_vesk_alert();
  std::vector<ShownText> s = shown();
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].id, ALERT_ABOUT);
  EXPECT_NE(s[0].text.find(version_string), std::string::npos) << s[0].text;
}

}  // namespace
