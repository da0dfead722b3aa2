// engraved_page.h: cases that engrave pages and hold them to the page checker. Each page goes
// to test-output/<folder>/<name>.png of the build folder, for engravers to look at.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ImportExport/musicxml_fixture.h"
#include "support/page_checker.h"

// Formats page `page` of the piece in the node store, writes it as <name>.png in the folder
// (and, when VESK_ZOOM asks for a zoom, <name>-zoom.png as the screen shows it there) and gives
// what the page checker finds on it: the reports taken, then its elements. A page that does not
// format is one fault.
std::vector<PageFault> engrave_page(const std::string& folder, const std::string& name,
                                    int32_t page = 1);
// engrave_page, each fault failing the case.
void expect_page_clean(const std::string& folder, const std::string& name, int32_t page = 1);

// A case that imports documents of tests/data/ImportExport and engraves their pages into one
// folder of test-output; the offscreen page is let go after it.
class EngravedPageTest : public MusicXmlTest {
 protected:
  explicit EngravedPageTest(std::string folder) : folder_(std::move(folder)) {}
  void TearDown() override;
  // Imports <name>.xml with its systems and layout and engraves its first page; a document that
  // does not import is one fault.
  std::vector<PageFault> engrave(const std::string& name);
  // engrave, each fault failing the case.
  void engrave_clean(const std::string& name);

 private:
  std::string folder_;
};
