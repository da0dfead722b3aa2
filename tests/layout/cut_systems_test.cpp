// cut_systems_test.cpp: documents whose systems the import cuts for their width as it formats
// their pages, system by system, the rest of a cut system joining the next. A page formatted a
// second time finds its systems fit and cuts nothing: every page the import's format kept is drawn
// as that second format draws it, element for element.
//   CutSystems.*: generated scores of 16 staves x 100 bars and 32 x 24 (four bars a system,
//                 one system a page: too many bars for 16 staves and more) and the real scores
//                 whose systems are cut, all beside the repository in shared/ (skipped when they
//                 are not there).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ImportExport/musicxml_fixture.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/fonts.h"
#include "platform/script.h"
#include "support/page_image.h"
#include "support/real_scores.h"

namespace {

// shared/ beside the repository (or beside the folder of worktrees it lies in).
std::filesystem::path shared_folder() {
  const std::filesystem::path scores = real_scores_folder();
  return scores.empty() ? scores : scores.parent_path().parent_path();
}

// The document of a case: "SxB" a generated score of S staves and B bars, else a real score's
// name; empty when it is not there.
std::string document(const std::string& name) {
  const std::filesystem::path shared = shared_folder();
  if (shared.empty()) return "";
  if (name.find('x') == std::string::npos || name.find('-') != std::string::npos)
    return read_file(shared / "data" / "scores" / (name + ".musicxml"));
  const std::string staves = name.substr(0, name.find('x')), bars = name.substr(name.find('x') + 1);
  const std::filesystem::path out =
      std::filesystem::temp_directory_path() / ("vesk-cut-systems-" + name + ".xml");
  const std::string command = "python3 '" + (shared / "tools" / "gen-score.py").string() + "' " +
                              staves + " " + bars + " '" + out.string() + "' > /dev/null";
  if (std::system(command.c_str()) != 0) return "";
  std::string text = read_file(out);
  std::filesystem::remove(out);
  return text;
}

class CutSystems : public MusicXmlTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(CutSystems, EveryPageIsDrawnAsWhenFormattedAgain) {
  const std::string doc = document(GetParam());
  if (doc.empty()) GTEST_SKIP() << GetParam() << " is not there beside the repository";
  platform_init_fonts();
  // A generated score has no page breaks: on a letter page of half-inch margins (0.4 inch at
  // the top and bottom) the Systems dialog is answered with four bars a system and one system
  // a page, as the benchmarks of the whole road answer it.
  if (GetParam().find('-') == std::string::npos) {
    set_options_i32(1, OPTIONS_PAGE_WIDTH, 85);
    set_options_i32(1, OPTIONS_PAGE_HEIGHT, 110);
    for (int margin : {22, 26, 88}) set_options_i32(1, margin, 500);
    for (int margin : {30, 34, 92}) set_options_i32(1, margin, 400);
    for (int margin : {50, 54, 58, 62}) set_options_i32(1, margin, 400);
    answer_systems = [] {
      script_hit(9);
      script_type(10, "4");
      script_type(12, "1");
      script_hit(1);
    };
  }
  ASSERT_EQ(import(doc, 1), 1);
  std::vector<std::string> kept;  // as the import's format drew each page
  for (int32_t page = 1; page <= page_count; ++page) {
    const Drosa list = kept_page_graphics(page);
    ASSERT_TRUE(list) << "page " << page << " was not kept";
    kept.push_back(drawn_elements(list));
  }
  for (int32_t page = 1; page <= int32_t(kept.size()); ++page) {
    ASSERT_EQ(format_page(page, 0), 1) << "page " << page;
    EXPECT_TRUE(kept_page_graphics(page)) << "page " << page << " changed the piece again";
    EXPECT_TRUE(kept[size_t(page - 1)] == drawn_elements(GE_head)) << "page " << page;
    if (const char* folder = std::getenv("VESK_DUMP_CUT")) {  // the two lists, to compare
      const std::string at = std::string(folder) + "/" + std::to_string(page);
      std::ofstream(at + "-kept") << kept[size_t(page - 1)];
      std::ofstream(at + "-again") << drawn_elements(GE_head);
    }
  }
  take_reports();
}

INSTANTIATE_TEST_SUITE_P(
    Documents, CutSystems,
    ::testing::Values("16x100", "32x24", "beethoven-string-quartet-op59-no2-mvt3",
                      "beach-gaelic-symphony-op32-mvt2", "brahms-symphony-no2-op73-mvt1",
                      "debussy-images-book1-reflets-dans-leau", "bach-wtc1-fugue-no12-bwv857",
                      "ciconia-gloria-pmfc24-no8", "corelli-trio-sonata-op3-no1-mvt1-grave",
                      "foster-jeanie-with-the-light-brown-hair-lead-sheet",
                      "handel-rinaldo-lascia-chio-pianga", "johnson-lift-every-voice-and-sing",
                      "liliuokalani-aloha-oe", "lusitano-allor-che-ignuda",
                      "monteverdi-madrigals-book3-no1-la-giovinetta-pianta",
                      "schumann-dichterliebe-op48-no2", "weber-clarinet-concertino-op26",
                      "webern-dormi-jesu-op16-no2"),
    [](const ::testing::TestParamInfo<std::string>& info) {
      std::string name = info.param;
      for (char& c : name)
        if (c == '-') c = '_';
      return name.substr(0, 24);
    });

}  // namespace
