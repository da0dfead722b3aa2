// CString_test.cpp: the program's string class.
//   CStringSharing.*:  copies share a counted block; writing a copy leaves the original; the
//                      shared empty string; locked strings
//   CStringLimits.*:   1,000,000 characters allowed, one more a fatal string error
//   CStringSearch.*:   find, find_last, find_any and their bounds
//   CStringExtract.*:  substr, left, right, leading runs; whole strings shared
//   CStringModify.*:   insert, erase, replace, remove_all, trims, texts from the string itself
//   CStringBuffer.*:   direct writes, spare room, exact growth, shrinking
//   CStringFormat.*:   formatted texts, the length estimate and its limit, bad conversions
//   CStringDeathTest.*: a string error ends the real program
#include "Editor/CString.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <functional>
#include <string>

#include "platform/application.h"
#include "support/model_fixture.h"
#include "support/script_fixture.h"

namespace {

[[noreturn]] void throw_exit(int status) { throw ProgramExit{status}; }

class CStringTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    platform_set_exit_hook(throw_exit);
  }
  void TearDown() override {
    platform_set_exit_hook(nullptr);
    ModelTest::TearDown();
  }

  // The operation must end the program with one string error at level 3.
  static void expect_string_error(const std::function<void()>& operation) {
    EXPECT_THROW(operation(), ProgramExit);
    std::vector<Report> r = take_reports();
    ASSERT_EQ(r.size(), 1u);
    EXPECT_EQ(r[0].level, 3);
    EXPECT_EQ(r[0].text.rfind("String error Editor/CString.cpp ", 0), 0u) << r[0].text;
  }
};

using CStringSharing = CStringTest;
using CStringLimits = CStringTest;
using CStringSearch = CStringTest;
using CStringExtract = CStringTest;
using CStringModify = CStringTest;
using CStringBuffer = CStringTest;
using CStringFormat = CStringTest;

std::string text(const CString& s) { return std::string(s, size_t(s.length())); }
int count(const CString& s) { return s.header()->count; }
int allocated(const CString& s) { return s.header()->allocated; }
// Formats through the arguments' list, out of reach of the compiler's format check.
void format_unchecked(CString& s, const char* format, ...) {
  va_list args;
  va_start(args, format);
  s.format_args(format, args);
  va_end(args);
}

bool is_shared_empty(const CString& s) {
  return static_cast<const char*>(s) == *CString_empty_ptr();
}

TEST_F(CStringSharing, WritingACopyLeavesTheOriginal) {
  const struct {
    const char* name;
    std::function<void(CString&)> write;
    const char* result;
  } writes[] = {
      {"set_char", [](CString& s) { s.set_char(0, 'x'); }, "xbcabc"},
      {"insert", [](CString& s) { s.insert(1, "--"); }, "a--bcabc"},
      {"erase", [](CString& s) { s.erase(0, 3); }, "abc"},
      {"replace char", [](CString& s) { s.replace('a', 'z'); }, "zbczbc"},
      {"replace text", [](CString& s) { s.replace("bc", "."); }, "a.a."},
      {"remove_all", [](CString& s) { s.remove_all('b'); }, "acac"},
      {"trim_right", [](CString& s) { s.trim_right('c'); }, "abcab"},
      {"append", [](CString& s) { s += "!"; }, "abcabc!"},
      {"assign", [](CString& s) { s = "new"; }, "new"},
      {"writable", [](CString& s) { s.get_writable(0)[0] = 'w'; }, "wbcabc"},
      {"lock", [](CString& s) { s.lock()[1] = 'L'; }, "aLcabc"},
  };
  for (const auto& w : writes) {
    CString original("abcabc");
    CString copy(original);
    EXPECT_EQ(static_cast<const char*>(copy), static_cast<const char*>(original)) << w.name;
    EXPECT_EQ(count(original), 2) << w.name;
    w.write(copy);
    EXPECT_EQ(text(original), "abcabc") << w.name;
    EXPECT_EQ(count(original), 1) << w.name;
    EXPECT_EQ(text(copy), w.result) << w.name;
  }
}

TEST_F(CStringSharing, EveryEmptyResultIsTheSharedEmptyString) {
  CString abc("abc");
  const CString empties[] = {
      CString(),          CString(""),           CString(nullptr),     CString('x', 0),
      CString(CString()), abc.left(-1),          abc.substr(3),        abc.right(0),
      CString() + "",     CString() + CString(), abc.leading_in("xyz")};
  for (const CString& e : empties) {
    EXPECT_TRUE(is_shared_empty(e));
    EXPECT_EQ(e.length(), 0);
    EXPECT_EQ(count(e), -1);
  }
  CString s("abc");
  s.clear();
  EXPECT_TRUE(is_shared_empty(s));
}

TEST_F(CStringSharing, LockedStringsAreCopiedAsTextAndKeepTheirBlock) {
  CString s("abc");
  const char* block = s.lock();
  EXPECT_EQ(count(s), -1);
  CString copy(s);
  EXPECT_NE(static_cast<const char*>(copy), block);
  EXPECT_EQ(count(copy), 1);
  CString assigned("x");
  assigned = s;
  EXPECT_EQ(text(assigned), "abc");
  EXPECT_EQ(count(s), -1);
  s = "xy";  // fits: the locked block stays
  EXPECT_EQ(static_cast<const char*>(s), block);
  s.clear();
  EXPECT_EQ(static_cast<const char*>(s), block);
  EXPECT_EQ(s.length(), 0);
  s.unlock();
  EXPECT_EQ(count(s), 1);
  expect_string_error([&] { s.unlock(); });
}

TEST_F(CStringLimits, AMillionCharactersAndNoMore) {
  CString big('a', CSTRING_MAX_LENGTH);
  EXPECT_EQ(big.length(), CSTRING_MAX_LENGTH);
  EXPECT_EQ(CString(std::string(CSTRING_MAX_LENGTH, 'b').c_str()).length(), CSTRING_MAX_LENGTH);
  expect_string_error([] { CString('a', CSTRING_MAX_LENGTH + 1); });
  expect_string_error([&] { big += 'x'; });
  expect_string_error([&] { CString joined = big + "x"; });
  expect_string_error([&] { big.insert(0, "x"); });
  EXPECT_EQ(big.length(), CSTRING_MAX_LENGTH);
}

TEST_F(CStringSearch, FindsAndBounds) {
  CString s("abcabc");
  EXPECT_EQ(CString().find('a'), -1);
  EXPECT_EQ(s.find('c'), 2);
  EXPECT_EQ(s.find('c', 3), 5);
  EXPECT_EQ(s.find('a', 6), -1);
  EXPECT_EQ(s.find('a', -4), 0);
  EXPECT_EQ(CString("abc").find(""), 0);
  EXPECT_EQ(s.find("", 6), 6);  // found at the end, but no later
  EXPECT_EQ(s.find("", 7), -1);
  EXPECT_EQ(s.find("bc", 2), 4);
  EXPECT_EQ(s.find("cab"), 2);
  EXPECT_EQ(s.find("abcd"), -1);
  EXPECT_EQ(s.find_last('a'), 3);
  EXPECT_EQ(s.find_last('z'), -1);
  EXPECT_EQ(s.find_any("zc"), 2);
  EXPECT_EQ(s.find_any("xyz"), -1);
}

TEST_F(CStringExtract, PartsAndWholes) {
  CString s("abc");
  CString whole = s.left(10);
  EXPECT_EQ(static_cast<const char*>(whole), static_cast<const char*>(s));
  EXPECT_EQ(count(s), 2);
  EXPECT_EQ(static_cast<const char*>(s.substr(0, 3)), static_cast<const char*>(s));
  EXPECT_EQ(text(s.substr(1)), "bc");
  EXPECT_EQ(text(s.substr(1, 1)), "b");
  EXPECT_EQ(text(s.substr(-2, 2)), "ab");
  EXPECT_EQ(text(s.substr(1, 50)), "bc");
  EXPECT_EQ(text(s.left(2)), "ab");
  EXPECT_EQ(text(s.right(2)), "bc");
  EXPECT_EQ(allocated(s.right(2)), 2);  // exact blocks
  EXPECT_EQ(text(CString("  \tx ").leading_in(" \t")), "  \t");
  EXPECT_EQ(text(CString("key=value").leading_not_in("=")), "key");
  expect_string_error([&] { s.substr(5, 1); });
}

TEST_F(CStringModify, InsertEraseReplace) {
  CString s("abcd");
  EXPECT_EQ(s.erase(1, 1), 4);
  EXPECT_EQ(text(s), "acd");
  EXPECT_EQ(s.erase(1, 99), 3);  // cut at the end
  EXPECT_EQ(text(s), "a");
  EXPECT_EQ(s.erase(5, 1), 1);
  EXPECT_EQ(s.erase(0, 0), 1);

  CString ab("ab");
  EXPECT_EQ(ab.insert(10, 'x'), 3);
  EXPECT_EQ(ab.insert(-3, "<<"), 5);
  EXPECT_EQ(ab.insert(2, nullptr), 5);
  EXPECT_EQ(text(ab), "<<abx");
  EXPECT_EQ(ab.insert(1, '\0'), 6);  // a NUL is a character like any other
  EXPECT_EQ(ab.length(), 6);

  CString a4("aaaa");
  EXPECT_EQ(a4.replace("aa", "b"), 2);
  EXPECT_EQ(text(a4), "bb");
  CString grow("x.x");
  EXPECT_EQ(grow.replace("x", "long"), 2);
  EXPECT_EQ(text(grow), "long.long");
  EXPECT_EQ(grow.replace("long", nullptr), 2);
  EXPECT_EQ(text(grow), ".");
  EXPECT_EQ(grow.replace("", "y"), 0);
  EXPECT_EQ(grow.replace('.', '.'), 0);
  CString r("banana");
  EXPECT_EQ(r.replace('a', 'o'), 3);
  EXPECT_EQ(r.remove_all('o'), 3);
  EXPECT_EQ(text(r), "bnn");
  expect_string_error([&] { r.set_char(3, 'x'); });
  expect_string_error([&] { r.set_char(-1, 'x'); });
}

TEST_F(CStringModify, TextsFromTheStringItself) {
  CString s("abc");
  s.get_writable(20);  // room, so the insert happens in place
  s.insert(1, static_cast<const char*>(s));
  EXPECT_EQ(text(s), "aabcbc");
  s += static_cast<const char*>(s);
  EXPECT_EQ(text(s), "aabcbcaabcbc");
  s = static_cast<const char*>(s) + 6;
  EXPECT_EQ(text(s), "aabcbc");
  s.replace(static_cast<const char*>(s) + 4, static_cast<const char*>(s) + 3);  // "bc" by "cbc"
  EXPECT_EQ(text(s), "aacbccbc");
}

TEST_F(CStringModify, Trims) {
  CString s(" \t x y \n");
  s.trim_left();
  EXPECT_EQ(text(s), "x y \n");
  s.trim_right();
  EXPECT_EQ(text(s), "x y");
  CString d("--a-b--");
  d.trim_left('-');
  d.trim_right('-');
  EXPECT_EQ(text(d), "a-b");
  CString set("xyaxy");
  set.trim_left("");
  set.trim_left(nullptr);
  EXPECT_EQ(text(set), "xyaxy");
  set.trim_left("yx");
  set.trim_right("y");
  EXPECT_EQ(text(set), "ax");
  CString high("\xA5name");  // a character above 127, not white space
  high.trim_left();
  EXPECT_EQ(text(high), "\xA5name");
}

TEST_F(CStringBuffer, SpareRoomAndExactGrowth) {
  CString s("abc");
  char* room = s.get_writable(100);
  EXPECT_EQ(allocated(s), 100);
  EXPECT_EQ(s.length(), 3);
  s += "def";
  EXPECT_EQ(static_cast<const char*>(s), room);  // appended in place
  EXPECT_EQ(text(s), "abcdef");
  s.shrink();
  EXPECT_EQ(allocated(s), 6);
  s += 'g';
  EXPECT_EQ(allocated(s), 7);  // a full block grows by exactly what is added

  char* w = s.get_writable_with_length(4);
  EXPECT_EQ(text(s), "abcd");
  std::strcpy(w, "xy");
  s.commit_writable(-1);
  EXPECT_EQ(text(s), "xy");
  s.commit_writable(5);
  EXPECT_EQ(s.length(), 5);
  expect_string_error([&] { s.commit_writable(allocated(s) + 1); });
  expect_string_error([&] { s.get_writable(-1); });
  expect_string_error([&] { s.get_writable_with_length(-1); });
}

TEST_F(CStringFormat, FormatsLikePrintf) {
  const char unterminated[3] = {'a', 'b', 'c'};
  CString s;
  s.format("%d|%5s|%-3x|%.2f|%%|%.2s|%ld|%08.3e", -42, "ab", 255, 3.14159, unterminated,
           1234567890123L, 0.5);
  EXPECT_EQ(text(s), "-42|   ab|ff |3.14|%|ab|1234567890123|5.000e-01");
  s.format("%*d|%.*s", 4, 7, 1, "xyz");
  EXPECT_EQ(text(s), "   7|x");
  s.format("[%s]", static_cast<const char*>(s));  // its own text as an argument
  EXPECT_EQ(text(s), "[   7|x]");
  s.format("%s", "");
  EXPECT_EQ(s.length(), 0);
  CString wide;
  wide.format("%.1f", 1e300);  // long, but estimated exactly
  EXPECT_EQ(wide.length(), 303);
}

TEST_F(CStringFormat, TheEstimateAndBadConversions) {
  // Each plain character adds the rest of the format: 1,413 characters estimate 998,991.
  std::string plain(1413, 'p');
  CString s;
  format_unchecked(s, plain.c_str());
  EXPECT_EQ(text(s), plain);
  plain += 'p';
  expect_string_error([&] { format_unchecked(s, plain.c_str()); });
  expect_string_error([&] { s.format("%c", 'x'); });
  expect_string_error([&] { s.format("%E", 1.0); });
  expect_string_error([&] { s.format("%*d", -3, 1); });
  expect_string_error([&] { format_unchecked(s, "100%"); });
}

TEST(CStringDeathTest, StringErrorEndsTheProgram) {
  EXPECT_EXIT(
      {
        reset_all_globals();
        CString('a', CSTRING_MAX_LENGTH + 1);
      },
      ::testing::ExitedWithCode(1), "String error Editor/CString.cpp [0-9]+");
}

}  // namespace
