// percussion_test.cpp: unpitched notes on percussion staves (tests/data/wild/percussion.xml: a
// drum set on five lines, a triangle on one).
//   PercussionStaff.*: the heads drawn where the document displays them (the page goes to
//                      test-output/percussion of the build folder); the document written back
//                      with the display steps and octaves, the x heads and the staff lines it
//                      gave.
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/musicxml_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "support/page_image.h"
#include "support/real_scores.h"

namespace {

using PercussionStaff = MusicXmlTest;

std::string percussion_document() {
  return read_file(std::string(VESK_TEST_DATA) + "/wild/percussion.xml");
}

std::filesystem::path output_folder() {
  std::filesystem::path build = std::filesystem::current_path();
  if (!std::filesystem::exists(build / "CMakeCache.txt")) build = build.parent_path();
  const std::filesystem::path folder = std::filesystem::exists(build / "CMakeCache.txt")
                                           ? build / "test-output" / "percussion"
                                           : std::filesystem::temp_directory_path();
  std::filesystem::create_directories(folder);
  return folder;
}

// Every display step and octave of a document, in order ("C5 C5 F4 ...").
std::string displayed(const std::string& document) {
  static const std::regex pair(
      "<display-step>([A-G])</display-step>\\s*<display-octave>(-?[0-9]+)</display-octave>");
  std::string out;
  for (auto m = std::sregex_iterator(document.begin(), document.end(), pair);
       m != std::sregex_iterator(); ++m)
    out += (*m)[1].str() + (*m)[2].str() + " ";
  return out;
}

TEST_F(PercussionStaff, HeadsStandWhereTheDocumentDisplaysThem) {
  platform_init_fonts();
  ASSERT_EQ(import(percussion_document(), 1), 1);
  zoom_factor = 3;
  offscreen_changesize();
  ASSERT_EQ(format_page(1, 0), 1);
  save_drawn_page("percussion", "percussion-1.png", PLOT_SCREEN);
  offscreen_dispose();
  // A head's y is half a space below its centre.
  auto centre_steps = [](Drosa note, int pstaff) {
    const StaffData& s = staff_data[pstaff];
    return 2 * (note_ntdata(note)->get(xhdy) - s.middle_y) / s.staff_size + 1;
  };
  ASSERT_EQ(voice_count, 3);
  EXPECT_EQ(centre_steps(nth_note(0, 0), 0), 1) << "the snare (C5) in the third space";
  EXPECT_EQ(centre_steps(nth_note(1, 0), 0), -3) << "the bass drum (F4) in the first space";
  EXPECT_EQ(staff_data[1].lines, 1);
  EXPECT_EQ(centre_steps(nth_note(2, 0), 1), 0) << "the triangle (E4) on its one line";
}

TEST_F(PercussionStaff, WrittenBackAsTheDocumentDisplaysThem) {
  const std::string document = percussion_document();
  ASSERT_EQ(import(document), 1);
  const std::filesystem::path path = output_folder() / "percussion-written.xml";
  ASSERT_EQ(export_musicxml_file(path.string()), 1);
  const std::string written = read_file(path);
  EXPECT_EQ(displayed(written), displayed(document));
  auto x_heads = [](const std::string& d) {
    size_t n = 0;
    for (size_t at = d.find("<notehead>x</notehead>"); at != std::string::npos;
         at = d.find("<notehead>x</notehead>", at + 1))
      ++n;
    return n;
  };
  EXPECT_EQ(x_heads(written), x_heads(document));
  const size_t triangle = written.find("<part id=\"P2\">");
  ASSERT_NE(triangle, std::string::npos);
  EXPECT_EQ(written.find("<staff-lines>"), written.find("<staff-lines>1</staff-lines>", triangle))
      << "the drum set's five lines are not written, the triangle's one is";
}

}  // namespace
