// text_numbers_test.cpp: numbers read from outside text.
//   TextNumbers.*: integers with their range, reals in single precision, what is no number
#include "Editor/text_numbers.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(TextNumbers, IntegersAreReadLikeAScanAndCheckedAgainstTheirRange) {
  struct Row {
    const char* text;
    int64_t low, high;
    size_t used;  // 0: no number
    int64_t value;
  } rows[] = {
      {" \t42 \"x\"", 0, 100, 4, 42},
      {"-7", -10, 10, 2, -7},
      {"+7abc", 0, 10, 2, 7},
      {"2147483647", INT32_MIN, INT32_MAX, 10, 2147483647},
      {"2147483648", INT32_MIN, INT32_MAX, 0, 0},
      {"-2147483648", INT32_MIN, INT32_MAX, 11, INT32_MIN},
      {"99999999999999999999999", INT64_MIN, INT64_MAX, 0, 0},
      {"-9223372036854775808", INT64_MIN, INT64_MAX, 20, INT64_MIN},
      {"9223372036854775808", INT64_MIN, INT64_MAX, 0, 0},
      {"100", 0, 99, 0, 0},
      {"- 5", -10, 10, 0, 0},
      {"x1", 0, 10, 0, 0},
      {"", 0, 10, 0, 0},
  };
  for (const Row& r : rows) {
    int64_t value = 0;
    size_t used = scan_decimal(r.text, r.low, r.high, &value);
    EXPECT_EQ(used, r.used) << r.text;
    if (used) EXPECT_EQ(value, r.value) << r.text;
  }
}

TEST(TextNumbers, RealsAreFiniteSinglePrecisionNumbersWithAPoint) {
  struct Row {
    const char* text;
    size_t used;  // 0: no number
    float value;
  } rows[] = {
      {" 1.5", 4, 1.5f}, {"+7", 2, 7.0f}, {"-2.5e1x", 6, -25.0f}, {".25", 3, 0.25f},
      {"3,5", 1, 3.0f},  {"1e999", 0, 0}, {"-1e39", 0, 0},        {"inf", 0, 0},
      {"nan", 0, 0},     {"0x10", 1, 0},  {"e5", 0, 0},           {"", 0, 0},
  };
  for (const Row& r : rows) {
    float value = -1;
    size_t used = scan_single(r.text, &value);
    EXPECT_EQ(used, r.used) << r.text;
    if (used) EXPECT_EQ(value, r.value) << r.text;
  }
}

}  // namespace
