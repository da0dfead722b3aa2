// console_log_formats_test.cpp: log file bytes.
//   LogFormats.*: RTF written and read back keeps awkward text and styles; foreign RTF; plain
//                 files of every encoding and line end; unpaired surrogates
#include "console/console_log_formats.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string utf8(const std::vector<ConsoleStyledRun>& runs) {
  std::u16string text;
  for (const ConsoleStyledRun& run : runs) text += run.text;
  return console_utf16_to_utf8(text);
}

TEST(LogFormats, RtfKeepsAwkwardTextAndStyles) {
  const std::vector<ConsoleStyledRun> runs = {
      {console_utf8_to_utf16("{braces} \\back\\ tab\there\n"), {}},
      {console_utf8_to_utf16("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9D\x84\x9E"), {5, {0xFFFF, 0, 0}}},
      {u"\nend", {2, {0, 0x8080, 0}}}};
  const std::string rtf = console_write_rtf(runs, "Monaco", 10);
  for (const char c : rtf) ASSERT_LT(static_cast<unsigned char>(c), 0x80) << "7-bit RTF";
  const std::vector<ConsoleStyledRun> back = console_read_rtf(rtf);
  ASSERT_EQ(back.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(back[i].text, runs[i].text) << i;
    EXPECT_EQ(back[i].style, (ConsoleTextStyle{runs[i].style.face, runs[i].style.colour})) << i;
  }
}

TEST(LogFormats, ForeignRtfIsReadAsFarAsUnderstood) {
  const std::string rtf =
      "{\\rtf1\\mac\\deff0{\\fonttbl{\\f0 Times;}}{\\colortbl\\red0\\green0\\blue255;\\red255"
      "\\green0\\blue0;}{\\*\\generator x;}{\\info{\\title T}}\\pard Caf\\'8e \\cf1 red\\cf0 "
      "\\b bold\\b0\\par\r\n\\uc2\\u8364 EU next\\line {\\i it}\\~x}";
  const std::vector<ConsoleStyledRun> runs = console_read_rtf(rtf);
  EXPECT_EQ(utf8(runs), "Caf\xC3\xA9 redbold\n\xE2\x82\xAC next\nit\xC2\xA0x");
  ASSERT_GE(runs.size(), 3u);
  EXPECT_EQ(runs[1].style, (ConsoleTextStyle{0, {0xFFFF, 0, 0}}));
  // Damaged or hostile documents cost no more than their length.
  EXPECT_EQ(utf8(console_read_rtf(std::string(100000, '{') + "{\\rtf1 x")), "x");
  EXPECT_EQ(utf8(console_read_rtf("{\\rtf1 \\u-4\\'")), "\xEF\xBF\xBC");
}

TEST(LogFormats, PlainFilesOfEveryEncodingAndLineEnd) {
  const struct {
    std::string bytes;
    std::string text;
  } cases[] = {
      {"\xEF\xBB\xBF"
       "a\r\nb\rc\n",
       "a\nb\nc\n"},
      {std::string("\xFF\xFE"
                   "a\0\x34\xD8\x1E\xDD",
                   8),
       "a\xF0\x9D\x84\x9E"},                                     // a pair
      {std::string("\xFE\xFF\0a\xD8\x34", 6), "a\xEF\xBF\xBD"},  // big-endian, a lone half
      {"caf\xC3\xA9", "caf\xC3\xA9"},                            // valid UTF-8
      {"caf\x8E", "caf\xC3\xA9"},                                // else Mac OS Roman
  };
  for (const auto& c : cases) EXPECT_EQ(utf8(console_decode_log(c.bytes)), c.text) << c.text;
  // Writing: the UTF-8 writer puts the replacement character for an unpaired half.
  const std::vector<ConsoleStyledRun> lone = {{std::u16string(u"x") + char16_t(0xD834), {}}};
  EXPECT_EQ(console_encode_log(lone, LOG_FORMAT_UTF8, "Monaco", 10), "\xEF\xBB\xBFx\xEF\xBF\xBD");
  EXPECT_EQ(console_encode_log({{u"\u00E9\u20AC\u4E00", {}}}, LOG_FORMAT_SYSTEM, "Monaco", 10),
            "\x8E\xDB?");
}

}  // namespace
