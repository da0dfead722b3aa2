// text_encoding_test.cpp: Mac OS Roman <-> UTF-8.
//   MacRoman.*:    every byte round-trips through UTF-8; known characters; aliases on the way in
//   Utf8Decoding.*: malformed input becomes the replacement byte and is never read past its end
#include "platform/text_encoding.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace {

TEST(MacRoman, EveryByteRoundTripsThroughUtf8) {
  std::set<char32_t> code_points;
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(utf8_to_macroman(macroman_to_utf8(byte), '#'), byte) << "byte " << b;
    code_points.insert(macroman_to_unicode(static_cast<uint8_t>(b)));
  }
  EXPECT_EQ(code_points.size(), 256u);  // no two bytes share a character
}

TEST(MacRoman, KnownCharacters) {
  struct Case {
    uint8_t byte;
    char32_t code_point;
    const char* utf8;
  };
  const Case cases[] = {
      {'A', U'A', "A"},
      {0x80, 0x00C4, "\xC3\x84"},      // A with diaeresis
      {0x8E, 0x00E9, "\xC3\xA9"},      // e with acute
      {0xA5, 0x2022, "\xE2\x80\xA2"},  // bullet
      {0xA7, 0x00DF, "\xC3\x9F"},      // sharp s
      {0xC9, 0x2026, "\xE2\x80\xA6"},  // ellipsis
      {0xCA, 0x00A0, "\xC2\xA0"},      // no-break space
      {0xD2, 0x201C, "\xE2\x80\x9C"},  // left double quote
      {0xD3, 0x201D, "\xE2\x80\x9D"},  // right double quote
      {0xD5, 0x2019, "\xE2\x80\x99"},  // right single quote
      {0xDB, 0x20AC, "\xE2\x82\xAC"},  // euro sign
      {0xF0, 0xF8FF, "\xEF\xA3\xBF"},  // Apple logo
      {0xFF, 0x02C7, "\xCB\x87"},      // caron
  };
  for (const Case& c : cases) {
    EXPECT_EQ(macroman_to_unicode(c.byte), c.code_point) << int(c.byte);
    EXPECT_EQ(unicode_to_macroman(c.code_point), c.byte) << int(c.byte);
    EXPECT_EQ(macroman_to_utf8(std::string(1, static_cast<char>(c.byte))), c.utf8);
  }
}

TEST(MacRoman, OtherSpellingsOfTheSameCharactersAreAccepted) {
  EXPECT_EQ(unicode_to_macroman(0x2126), 0xBD);  // ohm sign -> Omega
  EXPECT_EQ(unicode_to_macroman(0x03BC), 0xB5);  // Greek mu -> micro sign
  EXPECT_EQ(unicode_to_macroman(0x4E2D), '?');   // no such character
  EXPECT_EQ(unicode_to_macroman(0x1F600, '*'), '*');
}

TEST(Utf8Decoding, MalformedAndUnmappableInputBecomesTheReplacement) {
  struct Case {
    std::string utf8;
    std::string expected;
  };
  const Case cases[] = {
      {"ab\x80"
       "c",
       "ab?c"},           // stray continuation byte
      {"\xC3", "?"},      // truncated at the end
      {"\xE2\x80", "?"},  // truncated three-byte form
      {"\xE2\x80"
       "A",
       "?A"},                        // cut short by an ASCII byte
      {"\xC0\xAF", "??"},            // overlong slash
      {"\xE0\x80\xAF", "???"},       // overlong three-byte form
      {"\xED\xA0\x80", "???"},       // a surrogate
      {"\xF4\x90\x80\x80", "????"},  // past U+10FFFF
      {"\xFF\xFE", "??"},            // bytes that never occur
      {"\xE4\xB8\xAD", "?"},         // a character the encoding lacks
      {"caf\xC3\xA9 \xE2\x80\xA6", "caf\x8E \xC9"},
  };
  for (const Case& c : cases) EXPECT_EQ(utf8_to_macroman(c.utf8), c.expected) << c.utf8;
  EXPECT_EQ(utf8_to_macroman("\xC3", '_'), "_");
}

TEST(Utf8Decoding, ATruncatedSequenceIsNotReadPastItsEnd) {
  // The buffer holds exactly the bytes given, so reading beyond them is caught.
  const char bytes[] = {'x', '\xF0', '\x9F', '\x98'};
  auto buffer = std::make_unique<char[]>(sizeof bytes);
  std::copy(bytes, bytes + sizeof bytes, buffer.get());
  EXPECT_EQ(utf8_to_macroman(std::string_view(buffer.get(), sizeof bytes)), "x?");
}

TEST(Utf8Decoding, AppendUtf8ReplacesValuesThatAreNotCharacters) {
  std::string out;
  append_utf8(out, 0xD800);
  append_utf8(out, 0x110000);
  append_utf8(out, 0x1F600);
  EXPECT_EQ(out, "\xEF\xBF\xBD\xEF\xBF\xBD\xF0\x9F\x98\x80");
}

}  // namespace
