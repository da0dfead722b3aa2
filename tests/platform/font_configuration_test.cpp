// font_configuration_test.cpp: the font configuration read as one document.
//   InOne.*: the document gives what fontconfig's files give (fonts, folders, rules in their order,
//            texts kept whole); a file it cannot take in is left to fontconfig in its place, and
//            a configuration that does not read is read from its files
#include "platform/font_configuration.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

FcConfig* from_files(const std::string& file) {
  FcConfig* config = FcConfigCreate();
  EXPECT_TRUE(FcConfigParseAndLoad(config, reinterpret_cast<const FcChar8*>(file.c_str()), FcTrue));
  return config;
}

FcConfig* in_one(const std::string& file, std::string* text) {
  FcConfig* config = FcConfigCreate();
  *text = platform_font_configuration_in_one(config, file.c_str());
  EXPECT_FALSE(text->empty());
  EXPECT_TRUE(FcConfigParseAndLoadFromMemory(
      config, reinterpret_cast<const FcChar8*>(text->c_str()), FcTrue));
  return config;
}

// What the rules make of a pattern, and the file matched for it.
std::string chosen(FcConfig* config, const std::string& name) {
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(name.c_str()));
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcChar8* unparsed = FcNameUnparse(pattern);
  std::string result = reinterpret_cast<const char*>(unparsed);
  std::free(unparsed);
  FcResult found;
  if (FcPattern* match = FcFontMatch(config, pattern, &found)) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch)
      result += std::string(" -> ") + reinterpret_cast<const char*>(file);
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return result;
}

std::string listed(FcStrList* list) {
  std::string names;
  while (FcChar8* name = FcStrListNext(list))
    names += std::string(reinterpret_cast<char*>(name)) + ";";
  FcStrListDone(list);
  return names;
}

TEST(InOne, TheSystemsConfigurationGivesWhatItsFilesGive) {
  FcChar8* file = FcConfigGetFilename(nullptr, nullptr);
  ASSERT_NE(file, nullptr);
  const std::string path = reinterpret_cast<const char*>(file);
  FcStrFree(file);
  std::string text;
  FcConfig* files = from_files(path);
  FcConfig* one = in_one(path, &text);
  ASSERT_TRUE(FcConfigBuildFonts(files) && FcConfigBuildFonts(one));
  EXPECT_EQ(text.find("<!--"), std::string::npos);
  EXPECT_EQ(listed(FcConfigGetFontDirs(one)), listed(FcConfigGetFontDirs(files)));
  EXPECT_EQ(listed(FcConfigGetCacheDirs(one)), listed(FcConfigGetCacheDirs(files)));
  EXPECT_EQ(FcConfigGetFonts(one, FcSetSystem)->nfont, FcConfigGetFonts(files, FcSetSystem)->nfont);
  // Aliases, generic names, languages and styles, and a family nobody has.
  for (const char* name :
       {"Times", "Arial:bold", "Helvetica:italic", "Courier New", "mono", "sans", "serif:lang=ja",
        "sans-serif:lang=ar", "monospace:lang=zh-cn", "system-ui", "emoji", "Symbol",
        "DejaVu Sans:lang=fa", "Liberation Serif:pixelsize=9", "No Such Family:lang=ru"})
    EXPECT_EQ(chosen(one, name), chosen(files, name)) << name;
  FcConfigDestroy(files);
  FcConfigDestroy(one);
}

class MadeUp : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/vesk-fontconfig-XXXXXX";
    dir = mkdtemp(pattern);
    fs::create_directory(dir + "/conf.d");
  }
  void TearDown() override { fs::remove_all(dir); }

  void write(const std::string& name, const std::string& text) {
    std::ofstream(dir + "/" + name) << text;
  }
  // A rule renaming one family to another.
  static std::string renaming(const std::string& from, const std::string& to) {
    return "<match target=\"pattern\"><test name=\"family\"><string>" + from +
           "</string></test><edit name=\"family\" mode=\"assign\"><string>" + to +
           "</string></edit></match>\n";
  }
  static std::string file_of(const std::string& body,
                             const std::string& head = "<?xml version=\"1.0\"?>\n") {
    return head + "<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n<fontconfig>\n" +
           body + "</fontconfig>\n";
  }

  std::string dir;
};

TEST_F(MadeUp, RulesKeepTheirOrderTextsStayWholeAndOddFilesAreLeftToFontconfig) {
  write("fonts.conf",
        file_of("<!-- first -->\n<description>Test</description>\n" + renaming("a", "b") +
                "<include ignore_missing=\"yes\">" + dir + "/conf.d</include>\n" +
                renaming("e", "f") + "<include ignore_missing=\"yes\">missing.conf</include>\n"));
  // A comment within a name, blanks as a whole name, an entity.
  write("conf.d/10-text.conf",
        file_of(renaming("b", "c<!-- no -->") + renaming("x", "  ") + renaming("y", "R&amp;D")));
  // In another encoding, and with a declaration of its own: fontconfig reads them.
  write("conf.d/20-latin1.conf",
        file_of(renaming("c", "d"), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"));
  write("conf.d/30-cdata.conf", file_of("<![CDATA[ ]]>" + renaming("d", "e")));
  write("conf.d/notes.conf", file_of(renaming("a", "wrong")));  // not a numbered file
  const std::string top = dir + "/fonts.conf";
  std::string text;
  FcConfig* files = from_files(top);
  FcConfig* one = in_one(top, &text);
  EXPECT_EQ(text.find("Test"), std::string::npos);
  EXPECT_NE(text.find("<include ignore_missing=\"yes\">" + dir + "/conf.d/20-latin1.conf"),
            std::string::npos);
  EXPECT_NE(text.find(dir + "/conf.d/30-cdata.conf</include>"), std::string::npos);
  for (const char* name : {"a", "x", "y"}) {
    EXPECT_EQ(chosen(one, name), chosen(files, name)) << name;
  }
  EXPECT_EQ(chosen(one, "a").rfind("f-12", 0), 0u) << chosen(one, "a");
  EXPECT_EQ(chosen(one, "x").rfind("  -12", 0), 0u) << chosen(one, "x");
  FcConfigDestroy(files);
  FcConfigDestroy(one);
}

TEST_F(MadeUp, AConfigurationThatDoesNotReadIsReadFromItsFiles) {
  write("fonts.conf", file_of("<include>" + dir + "/conf.d</include>\n"));
  write("conf.d/10-open.conf", file_of("<match>"));  // never closed
  FcConfig* config = FcConfigCreate();
  EXPECT_EQ(platform_font_configuration_in_one(config, (dir + "/fonts.conf").c_str()),
            "<fontconfig><include ignore_missing=\"no\">" + dir +
                "/conf.d/10-open.conf</include></fontconfig>");
  FcConfigDestroy(config);
  // Both ways fail; the program's own reading says so as fontconfig does.
  setenv("FONTCONFIG_FILE", (dir + "/fonts.conf").c_str(), 1);
  EXPECT_EQ(platform_read_font_configuration(), nullptr);
  write("conf.d/10-open.conf", file_of(renaming("a", "b")));
  FcConfig* read = platform_read_font_configuration();
  unsetenv("FONTCONFIG_FILE");
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(chosen(read, "a").rfind("b-12", 0), 0u);
  FcConfigDestroy(read);
}

}  // namespace
