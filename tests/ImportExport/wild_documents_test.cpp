// wild_documents_test.cpp: small documents written as other programs write MusicXML, with
// their quirks (encodings, declarations, notations, staves and layouts our real scores do not
// hold), in tests/data/wild. Each imports without an alert, engraves every page clean by the
// page checker (pages drawn into test-output/wild of the build folder), exports and reads
// again with every note it had.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/musicxml_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/dialogs.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "platform/script.h"
#include "support/page_checker.h"

namespace {

std::string wild_document(const std::string& name) {
  std::ifstream in(std::string(VESK_TEST_DATA) + "/wild/" + name + ".xml", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The notes (not rests) of every voice.
int note_count() {
  int n = 0;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext) n += p->xkind == NOTE && !p->get(xrest);
  return n;
}

// Imports the document whole, the Systems dialog answered with what it proposes; what the
// import reported or showed, but for that exchange, goes to `said`.
int import_said(const std::string& document, std::vector<std::string>* said) {
  script_begin();
  script_hit(1);
  const int imported = import_musicxml_memory(document.data(), document.size(), 1);
  for (const ShownText& shown : script_take_shown()) {
    const DialogSpec* spec = platform_dialog_spec(shown.id);
    if (spec && spec->alert != ALERT_NONE) said->push_back(shown.text);
  }
  script_take_faults();
  script_end();
  for (const Report& r : take_reports()) said->push_back(r.text);
  std::erase_if(*said, [](const std::string& t) {
    return (t.rfind("The MusicXML has ", 0) == 0 && t.find("must be determined") != t.npos) ||
           t.rfind("This rounds to ", 0) == 0;
  });
  return imported;
}

std::filesystem::path output_folder() {
  std::filesystem::path build = std::filesystem::current_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt")) build = build.parent_path();
  const std::filesystem::path folder = std::filesystem::exists(build / "CMakeCache.txt")
                                           ? build / "test-output" / "wild"
                                           : std::filesystem::temp_directory_path();
  std::filesystem::create_directories(folder);
  return folder;
}

class WildDocument : public MusicXmlTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(WildDocument, ImportsEngravesAndComesBack) {
  const std::string name = GetParam();
  platform_init_fonts();
  std::vector<std::string> said;
  ASSERT_EQ(import_said(wild_document(name), &said), 1) << name;
  for (const std::string& t : said) std::cout << name << " said: " << t << "\n";
  const int notes = note_count();
  EXPECT_GT(notes, 0);
  std::vector<PageFault> faults;
  for (int32_t page = 1; page <= page_count; ++page) {
    ASSERT_EQ(format_page(page, 0), 1) << name << " page " << page;
    offscreen_erase();
    platform_set_port(offscreen_page);
    plot_GE_list(port_bounds(offscreen_page), 0, 0);
    platform_set_port(nullptr);
    port_save_png(offscreen_page,
                  (output_folder() / (name + "-" + std::to_string(page) + ".png")).c_str());
    for (PageFault& f : check_page_reports(take_reports())) faults.push_back(f);
    for (PageFault& f : check_page_elements(formatted_page_frame(page))) faults.push_back(f);
  }
  offscreen_dispose();
  EXPECT_TRUE(faults.empty()) << name << ":\n" << page_faults_text(faults);

  const std::filesystem::path path = output_folder() / (name + "-written.xml");
  ASSERT_EQ(export_musicxml_file(path.string()), 1) << name;
  std::ifstream in(path, std::ios::binary);
  std::stringstream written;
  written << in.rdbuf();
  discard_piece_lists();
  voice_count = 0;
  std::vector<std::string> said_again;
  ASSERT_EQ(import_said(written.str(), &said_again), 1) << name << " written as " << path;
  EXPECT_EQ(note_count(), notes) << name << " written as " << path;
}

TEST_F(MusicXmlTest, ATimewiseDocumentIsRefusedSayingWhy) {
  std::vector<std::string> said;
  EXPECT_EQ(import_said(wild_document("timewise"), &said), 0);
  ASSERT_FALSE(said.empty());
  EXPECT_EQ(said.front().rfind("Vesk can only import MusicXML files in score-partwise format.", 0),
            0u);
  EXPECT_EQ(voice_count, 0);
}

INSTANTIATE_TEST_SUITE_P(Wild, WildDocument,
                         ::testing::Values("utf16le", "utf16be", "utf8_bom", "version2",
                                           "notation_marks", "transposing", "percussion",
                                           "tablature", "piano_odd_order", "meters",
                                           "credits_groups_layout"));

}  // namespace
