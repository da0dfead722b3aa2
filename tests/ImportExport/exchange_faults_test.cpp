// exchange_faults_test.cpp: documents that came in or went out changed: a part shorter than
// the others, a pickup measure's number, the margins of odd and even pages, the keys of
// percussion notes, the sheet of a PDF.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/musicxml_services.h"
#include "ImportExport/wild_support.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"
#include "platform/fonts.h"
#include "platform/printing.h"
#include "support/real_scores.h"

namespace {

using ExchangeFaults = MusicXmlTest;

std::filesystem::path output_folder() {
  std::filesystem::path build = std::filesystem::current_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt")) build = build.parent_path();
  const std::filesystem::path folder = std::filesystem::exists(build / "CMakeCache.txt")
                                           ? build / "test-output" / "exchange"
                                           : std::filesystem::temp_directory_path();
  std::filesystem::create_directories(folder);
  return folder;
}

// A part of `measures` measures of 3/4, each a dotted half C5.
std::string part(const char* id, int measures) {
  std::string text = std::string("<part id=\"") + id + "\">";
  for (int m = 0; m < measures; ++m) {
    text += "<measure number=\"" + std::to_string(m + 1) + "\">";
    if (m == 0)
      text +=
          "<attributes><divisions>1</divisions><time><beats>3</beats><beat-type>4</beat-type>"
          "</time><clef><sign>G</sign><line>2</line></clef></attributes>";
    text +=
        "<note><pitch><step>C</step><octave>5</octave></pitch><duration>3</duration>"
        "<type>half</type><dot/></note></measure>";
  }
  return text + "</part>";
}

std::string score(const std::vector<std::string>& parts, const std::string& defaults = "") {
  std::string text = "<score-partwise version=\"3.1\">" + defaults + "<part-list>";
  for (size_t p = 0; p < parts.size(); ++p)
    text += "<score-part id=\"P" + std::to_string(p + 1) + "\"><part-name>Part " +
            std::to_string(p + 1) + "</part-name></score-part>";
  text += "</part-list>";
  for (const std::string& p : parts) text += p;
  return text + "</score-partwise>";
}

// Saves the piece and reads it again: what reading it showed.
std::vector<std::string> saved_and_read_again(const std::string& name) {
  const std::filesystem::path piece = output_folder() / (name + ".vesk");
  EXPECT_EQ(write_piece_file(0, NIL, piece.string()), 1);
  discard_piece_lists();
  piece_fsspec = piece.string();
  script_begin();
  EXPECT_EQ(read_piece(nullptr), 1);
  std::vector<std::string> shown;
  for (const ShownText& t : script_take_shown()) shown.push_back(t.text);
  script_take_faults();
  script_end();
  take_reports();
  return shown;
}

// A part that ends before the others goes on with measures of rest: the piece is consistent,
// and read again from its file it asks nothing. Whichever part is the short one.
TEST_F(ExchangeFaults, AShortPartGoesOnWithMeasuresOfRest) {
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases{
      {"second-short", {part("P1", 4), part("P2", 2)}},
      {"first-short", {part("P1", 1), part("P2", 3)}}};
  for (const auto& [name, parts] : cases) {
    std::vector<std::string> said;
    ASSERT_EQ(import_said(score(parts), &said), 1) << name;
    ASSERT_EQ(voice_count, 2) << name;
    const int shorter = name == "first-short" ? 0 : 1;
    const std::string expected = shorter == 0 ? "C5h. | rh. | rh. |" : "C5h. | C5h. | rh. | rh. |";
    EXPECT_EQ(notes_of(shorter), expected) << name;
    EXPECT_EQ(measure_lengths(0), measure_lengths(1)) << name;
    EXPECT_EQ(saved_and_read_again(name), std::vector<std::string>{}) << name;
  }
}

}  // namespace
