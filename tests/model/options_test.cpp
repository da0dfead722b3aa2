// options_test.cpp: the fields of the options records.
//   Records.*: record 0 and every context's record are read and written; a context or field
//              outside them is reported, reads the new piece's field and writes nothing
#include "model/options.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/model_fixture.h"

namespace {

using Records = ModelTest;

TEST_F(Records, OutOfRangeIsReportedAndReadsTheNewPiecesField) {
  set_options_i16(0, OPTIONS_MIN_LINE_WIDTH, 7);
  set_options_float(MAX_NCONTEXTS, OPTIONS_SCALE, 12.5f);
  EXPECT_EQ(options_i16(0, OPTIONS_MIN_LINE_WIDTH), 7);
  EXPECT_EQ(options_float(MAX_NCONTEXTS, OPTIONS_SCALE), 12.5f);
  EXPECT_TRUE(take_reports().empty());

  uint8_t before[MAX_NCONTEXTS + 1][OPTIONS_SIZE];
  std::memcpy(before, options_struct, sizeof before);
  set_options_i32(-1, OPTIONS_PAGE_WIDTH, 1);
  set_options_i16(MAX_NCONTEXTS + 1, OPTIONS_TITLE, 1);
  set_options_float(1, OPTIONS_SIZE - 2, 1.0f);
  EXPECT_EQ(std::memcmp(before, options_struct, sizeof before), 0);
  EXPECT_EQ(options_i32(MAX_NCONTEXTS + 1, OPTIONS_PAGE_WIDTH), 76);
  EXPECT_EQ(options_float(-1, OPTIONS_SCALE), 10.0f);
  EXPECT_EQ(options_i16(1, OPTIONS_SIZE), 0);
  const auto reports = take_reports();
  ASSERT_EQ(reports.size(), 6u);
  for (const Report& r : reports) EXPECT_EQ(r.level, 4);
  EXPECT_EQ(reports[0].text, "Bad call to set_options_i32: context -1, offset 0");
}

}  // namespace
