// font_configuration_test.cpp: the font configuration read as documents.
//   ConfigurationDocuments.*: read as a print reads them, they give what the files give
//   MadeUpConfiguration.*:    rules keep their order and texts stay whole; a file that cannot be
//                             taken in is left to fontconfig in its place; what chooses the fonts
//                             comes apart unless an inclusion left to fontconfig may name
//                             folders; a configuration that does not read is read from its files;
//                             a file or folder reached again is read once
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

// Read as a print reads it: what chooses the fonts, the fonts, then the rules.
FcConfig* in_documents(const std::string& file, FontConfigurationDocuments* documents) {
  FcConfig* config = FcConfigCreate();
  *documents = platform_font_configuration_documents(config, file.c_str());
  EXPECT_FALSE(documents->fonts.empty());
  EXPECT_TRUE(FcConfigParseAndLoadFromMemory(
      config, reinterpret_cast<const FcChar8*>(documents->fonts.c_str()), FcTrue));
  EXPECT_TRUE(FcConfigBuildFonts(config));
  EXPECT_TRUE(platform_read_font_rules(config, documents->rules));
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

TEST(ConfigurationDocuments, TheSystemsConfigurationGivesWhatItsFilesGive) {
  FcChar8* file = FcConfigGetFilename(nullptr, nullptr);
  ASSERT_NE(file, nullptr);
  const std::string path = reinterpret_cast<const char*>(file);
  FcStrFree(file);
  FontConfigurationDocuments documents;
  FcConfig* files = from_files(path);
  FcConfig* read = in_documents(path, &documents);
  ASSERT_TRUE(FcConfigBuildFonts(files));
  EXPECT_EQ((documents.fonts + documents.rules).find("<!--"), std::string::npos);
  EXPECT_EQ(listed(FcConfigGetFontDirs(read)), listed(FcConfigGetFontDirs(files)));
  EXPECT_EQ(listed(FcConfigGetCacheDirs(read)), listed(FcConfigGetCacheDirs(files)));
  EXPECT_EQ(FcConfigGetFonts(read, FcSetSystem)->nfont,
            FcConfigGetFonts(files, FcSetSystem)->nfont);
  // Aliases, generic names, languages and styles, and a family nobody has.
  for (const char* name :
       {"Times", "Arial:bold", "Helvetica:italic", "Courier New", "mono", "sans", "serif:lang=ja",
        "sans-serif:lang=ar", "monospace:lang=zh-cn", "system-ui", "emoji", "Symbol",
        "DejaVu Sans:lang=fa", "Liberation Serif:pixelsize=9", "No Such Family:lang=ru"})
    EXPECT_EQ(chosen(read, name), chosen(files, name)) << name;
  FcConfigDestroy(files);
  FcConfigDestroy(read);
}

class MadeUpConfiguration : public ::testing::Test {
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

TEST_F(MadeUpConfiguration, RulesKeepTheirOrderTextsStayWholeAndOddFilesAreLeftToFontconfig) {
  write("fonts.conf", file_of("<!-- first -->\n<description>Test</description>\n" +
                              renaming("a", "b") + "<include ignore_missing=\"yes\">" + dir +
                              "/conf.d</include>\n" + renaming("e", "f")));
  // A comment within a name, blanks as a whole name, an entity.
  write("conf.d/10-text.conf",
        file_of(renaming("b", "c<!-- no -->") + renaming("x", "  ") + renaming("y", "R&amp;D")));
  // In another encoding, and with a declaration of its own: fontconfig reads them.
  write("conf.d/20-latin1.conf",
        file_of(renaming("c", "d"), "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"));
  write("conf.d/30-cdata.conf", file_of("<![CDATA[ ]]>" + renaming("d", "e")));
  write("conf.d/notes.conf", file_of(renaming("a", "wrong")));  // not a numbered file
  const std::string top = dir + "/fonts.conf";
  FontConfigurationDocuments documents;
  FcConfig* files = from_files(top);
  FcConfig* read = in_documents(top, &documents);
  // Files left to fontconfig may name folders of fonts: the document stays whole.
  EXPECT_EQ(documents.rules, "");
  EXPECT_EQ(documents.fonts.find("Test"), std::string::npos);
  EXPECT_NE(
      documents.fonts.find("<include ignore_missing=\"yes\">" + dir + "/conf.d/20-latin1.conf"),
      std::string::npos);
  EXPECT_NE(documents.fonts.find(dir + "/conf.d/30-cdata.conf</include>"), std::string::npos);
  for (const char* name : {"a", "x", "y"})
    EXPECT_EQ(chosen(read, name), chosen(files, name)) << name;
  EXPECT_EQ(chosen(read, "a").rfind("f-12", 0), 0u) << chosen(read, "a");
  EXPECT_EQ(chosen(read, "x").rfind("  -12", 0), 0u) << chosen(read, "x");
  FcConfigDestroy(files);
  FcConfigDestroy(read);
}

TEST_F(MadeUpConfiguration, WhatChoosesTheFontsComesApartUnlessAnInclusionMayNameFolders) {
  fs::create_directory(dir + "/fonts");
  fs::create_directory(dir + "/more");
  write("fonts.conf", file_of("<dir>" + dir + "/fonts</dir>\n" + renaming("a", "b") +
                              "<include ignore_missing=\"yes\">" + dir + "/conf.d</include>\n" +
                              "<cachedir>" + dir + "/cache</cachedir>\n"));
  write("conf.d/10-more.conf",
        file_of(renaming("b", "c") + "<dir>" + dir + "/more</dir>\n<reset-dirs/>" +
                "<match target=\"scan\"><edit name=\"family\"><string>s</string></edit></match>" +
                "<include ignore_missing=\"yes\">" + dir + "/later.conf</include>\n"));
  const std::string top = dir + "/fonts.conf";
  FontConfigurationDocuments documents;
  FcConfig* files = from_files(top);
  FcConfig* read = in_documents(top, &documents);
  ASSERT_TRUE(FcConfigBuildFonts(files));
  EXPECT_EQ(documents.fonts, "<fontconfig><dir>" + dir + "/fonts</dir><dir>" + dir +
                                 "/more</dir><reset-dirs/><match target=\"scan\"><edit "
                                 "name=\"family\"><string>s</string></edit></match><cachedir>" +
                                 dir + "/cache</cachedir></fontconfig>");
  EXPECT_EQ(documents.rules.find("<dir"), std::string::npos);
  EXPECT_NE(documents.rules.find("later.conf"), std::string::npos);
  EXPECT_EQ(listed(FcConfigGetFontDirs(read)), listed(FcConfigGetFontDirs(files)));
  EXPECT_EQ(chosen(read, "a"), chosen(files, "a"));
  FcConfigDestroy(files);
  FcConfigDestroy(read);
  // The file included is there: it may name folders, and is read in its place.
  write("later.conf", file_of(""));
  FcConfig* config = FcConfigCreate();
  documents = platform_font_configuration_documents(config, top.c_str());
  EXPECT_EQ(documents.rules, "");
  EXPECT_NE(documents.fonts.find(renaming("a", "b").substr(0, 30)), std::string::npos);
  FcConfigDestroy(config);
}

TEST_F(MadeUpConfiguration, AConfigurationThatDoesNotReadIsReadFromItsFiles) {
  write("fonts.conf", file_of("<include>" + dir + "/conf.d</include>\n"));
  write("conf.d/10-open.conf", file_of("<match>"));  // never closed
  FcConfig* config = FcConfigCreate();
  EXPECT_EQ(platform_font_configuration_documents(config, (dir + "/fonts.conf").c_str()).fonts,
            "<fontconfig><include ignore_missing=\"no\">" + dir +
                "/conf.d/10-open.conf</include></fontconfig>");
  FcConfigDestroy(config);
  // Both ways fail; fontconfig says why. A configuration the machine names is given back for
  // the cases after this one.
  const char* named = std::getenv("FONTCONFIG_FILE");
  const bool machine_names_one = named != nullptr;
  const std::string machines = named ? named : "";
  setenv("FONTCONFIG_FILE", (dir + "/fonts.conf").c_str(), 1);
  std::string rules;
  EXPECT_EQ(platform_read_font_configuration(&rules), nullptr);
  write("conf.d/10-open.conf", file_of(renaming("a", "b")));
  FcConfig* read = platform_read_font_configuration(&rules);
  if (machine_names_one)
    setenv("FONTCONFIG_FILE", machines.c_str(), 1);
  else
    unsetenv("FONTCONFIG_FILE");
  ASSERT_NE(read, nullptr);
  EXPECT_TRUE(platform_read_font_rules(read, rules));
  EXPECT_EQ(chosen(read, "a").rfind("b-12", 0), 0u);
  FcConfigDestroy(read);
}

}  // namespace

TEST_F(MadeUpConfiguration, AFileOrFolderReachedAgainIsReadOnce) {
  const std::string appending =
      "<match target=\"pattern\"><test name=\"family\"><string>a</string></test><edit "
      "name=\"family\" mode=\"append\"><string>z</string></edit></match>\n";
  const std::string folder = "<include ignore_missing=\"yes\">" + dir + "/conf.d</include>\n";
  write("fonts.conf", file_of(folder + folder));
  write("appending.conf", file_of(appending));
  fs::create_symlink(dir + "/appending.conf", dir + "/conf.d/10-one.conf");
  fs::create_symlink("../appending.conf", dir + "/conf.d/20-two.conf");
  const std::string top = dir + "/fonts.conf";
  FontConfigurationDocuments documents;
  FcConfig* files = from_files(top);
  FcConfig* read = in_documents(top, &documents);
  EXPECT_EQ(chosen(read, "a"), chosen(files, "a"));
  EXPECT_EQ(chosen(read, "a").rfind("a,z-12", 0), 0u) << chosen(read, "a");
  FcConfigDestroy(files);
  FcConfigDestroy(read);
}
