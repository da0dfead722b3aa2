// engraved_page.cpp: engraving a page and holding it to the page checker, for cases of any
// folder.
#include "support/engraved_page.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "support/page_image.h"

std::vector<PageFault> engrave_page(const std::string& folder, const std::string& name,
                                    int32_t page) {
  if (const char* zoom = std::getenv("VESK_ZOOM")) {
    const float standard = zoom_factor;
    zoom_factor = std::strtof(zoom, nullptr);
    offscreen_changesize();
    if (format_page(page, 0) == 1) save_drawn_page(folder, name + "-zoom.png", PLOT_SCREEN);
    zoom_factor = standard;
    offscreen_changesize();
  }
  if (format_page(page, 0) != 1)
    return {{"import", "page " + std::to_string(page) + " did not format"}};
  const bool saved = save_drawn_page(folder, name + ".png");
  std::vector<PageFault> faults = check_page_reports(take_reports());
  for (PageFault& f : check_page_elements(formatted_page_frame(page))) faults.push_back(f);
  if (!saved) faults.push_back({"image", "the page's image could not be written"});
  return faults;
}

void expect_page_clean(const std::string& folder, const std::string& name, int32_t page) {
  const std::vector<PageFault> faults = engrave_page(folder, name, page);
  EXPECT_TRUE(faults.empty()) << name << ":\n" << page_faults_text(faults);
}

void EngravedPageTest::TearDown() {
  offscreen_dispose();
  MusicXmlTest::TearDown();
}

std::vector<PageFault> EngravedPageTest::engrave(const std::string& name) {
  platform_init_fonts();
  if (import_fixture((name + ".xml").c_str(), 1) != 1)
    return {{"import", "the fixture did not import and format"}};
  return engrave_page(folder_, name);
}

void EngravedPageTest::engrave_clean(const std::string& name) {
  platform_init_fonts();
  if (import_fixture((name + ".xml").c_str(), 1) != 1)
    ADD_FAILURE() << name << ": the fixture did not import and format";
  else
    expect_page_clean(folder_, name);
}
