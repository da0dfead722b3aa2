// fonts_test.cpp: the font registry.
//   FixedFonts.*:    the fixed numbers and names, both ways, and which of them can be drawn
//   OtherFamilies.*: installed families get stable numbers of their own, never a fixed one;
//                    the Font menu's list is sorted and names each font once
#include "platform/fonts.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(FixedFonts, NumbersAndNamesBothWays) {
  platform_init_fonts();
  const struct {
    int number;
    const char* name;
  } fonts[] = {
      {FONT_GENEVA, "Geneva"}, {FONT_MONACO, "Monaco"},
      {FONT_TIMES, "Times"},   {FONT_SYMBOL, "Symbol"},
      {FONT_QUOR, "Quor"},     {FONT_SAYL, "Sayl"},
      {FONT_SONATA, "Sonata"}, {FONT_SIMPLIFIED_NOTATION, "Simplified Music Notation"},
  };
  for (const auto& f : fonts) {
    EXPECT_EQ(platform_font_name(f.number), f.name);
    EXPECT_EQ(platform_font_number(f.name), f.number) << f.name;
    EXPECT_TRUE(platform_font_installed(f.number)) << f.name;
  }
  EXPECT_EQ(platform_font_name(FONT_SYSTEM), "Geneva");
  EXPECT_TRUE(platform_font_installed(FONT_SYSTEM));
  // Unknown names and numbers; names match exactly.
  EXPECT_EQ(platform_font_number("times"), -1);
  EXPECT_EQ(platform_font_number("No Such Family"), -1);
  EXPECT_EQ(platform_font_name(999), "");
  EXPECT_FALSE(platform_font_installed(999));
  // The music font itself is reached only through the music font numbers.
  EXPECT_EQ(platform_font_number("Bravura"), -1);
}

TEST(OtherFamilies, InstalledFamiliesHaveStableDerivedNumbers) {
  // "Nimbus Sans" is offered by several foundries and is still one font.
  for (const char* family : {"Liberation Serif", "DejaVu Sans", "Nimbus Sans"}) {
    const int number = platform_font_number(family);
    EXPECT_GE(number, 1024) << family;
    EXPECT_LE(number, 31999) << family;
    EXPECT_EQ(platform_font_name(number), family);
    platform_init_fonts();  // building the registry again changes nothing
    EXPECT_EQ(platform_font_number(family), number) << family;
  }
}

TEST(OtherFamilies, FontListIsSortedAndNamesEachFontOnce) {
  const std::vector<FontEntry> list = platform_font_list();
  std::set<int> numbers;
  std::set<std::string> names;
  std::string previous;
  for (const FontEntry& entry : list) {
    EXPECT_TRUE(numbers.insert(entry.number).second) << entry.name;
    EXPECT_TRUE(names.insert(entry.name).second) << entry.name;
    EXPECT_EQ(platform_font_number(entry.name), entry.number);
    std::string key = entry.name;
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_LE(previous, key);
    previous = key;
  }
  for (const char* name :
       {"Times", "Sonata", "Simplified Music Notation", "Liberation Serif", "Nimbus Roman"})
    EXPECT_TRUE(names.count(name)) << name;
}

}  // namespace
