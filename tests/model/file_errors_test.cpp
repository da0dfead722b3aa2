// file_errors_test.cpp: texts of operating-system result codes.
//   FileErrors.*: the texts by code, the context prefix, the already-open question
#include "model/file_errors.h"

#include <gtest/gtest.h>

#include "model/error_report.h"
#include "support/script_fixture.h"

namespace {

using FileErrors = ScriptedTest;

TEST_F(FileErrors, TextsByCodeWithAndWithoutContext) {
  const struct {
    int16_t code;
    const char* context;
    const char* text;
  } cases[] = {
      {-43, "Exporting MusicXML", "Exporting MusicXML: File not found"},
      {-34, "", "The disk is full"},
      {-70, "", "Low level disk error: error number -70"},
      {-64, "", "Low level disk error: error number -64"},
      {-84, "", "Low level disk error: error number -84"},
      {-85, "", "System error number -85."},
      {12, "", "System error number 12."},
      {-108, nullptr, "Sorry, not enough memory."},
      {-39, "Reading '50% off'", "Reading '50% off': Premature end-of-file"},
  };
  for (const auto& c : cases) {
    script_hit(2);
    EXPECT_EQ(report_file_error(c.code, c.context), 0);
    std::vector<ShownText> s = shown();
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].id, ALERT_MESSAGE);
    EXPECT_EQ(s[0].text, c.text);
  }
}

TEST_F(FileErrors, NoErrorShowsNothing) {
  EXPECT_EQ(report_file_error(0, "Saving"), 1);
  EXPECT_TRUE(shown().empty());
}

TEST_F(FileErrors, AlreadyOpenAsksWithoutContext) {
  script_hit(1);
  EXPECT_EQ(report_file_error(-49, "Opening"), 1);
  std::vector<ShownText> s = shown();
  ASSERT_EQ(s.size(), 1u);
  EXPECT_EQ(s[0].id, ALERT_REALLY_RISKY);
  EXPECT_EQ(s[0].text.rfind("This file is already open.", 0), 0u);
  script_hit(2);
  EXPECT_EQ(report_file_error(-49, ""), 0);
  shown();
}

}  // namespace
