// octave_lines_test.cpp: octave lines a document writes for one voice of a staff over the
// notes of another: the line goes to the voice whose notes it covers, and is drawn whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ImportExport/musicxml_fixture.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "support/page_checker.h"
#include "support/page_image.h"

namespace {

using MusicXmlOctaveLines = MusicXmlTest;

// Writes the GE list of the page formatted last to test-output/<name>.png of the build folder.
void save_page(const std::string& name) {
  EXPECT_TRUE(save_drawn_page("octave_lines", name + ".png")) << name;
}

TEST_F(MusicXmlOctaveLines, ALineWrittenAfterAWholeBarRestGoesToTheVoiceWhoseNotesItCovers) {
  // Voice 1 of the upper staff rests through the bar; two 8va lines of that staff, written
  // after its rest and reaching back by their offsets, cover the second and fourth beats,
  // where voice 2 of the lower staff writes its notes on the upper one. Both lines once stayed
  // with the rest: their words stood stacked at it, the first line's notes were not shifted and
  // the second line lost its end.
  platform_init_fonts();
  ASSERT_EQ(import_fixture("octave_lines_over_another_voice.xml", 1), 1);
  ASSERT_EQ(voice_count, 2);
  EXPECT_EQ(notes_of(1), "C5q C6q D5q E6q | C4w |");
  EXPECT_EQ(annotations_of(0), "");
  EXPECT_EQ(annotations_of(1), "8va@1 <@1 >@1 8va@3 <@3 >@3");
  ASSERT_EQ(format_page(1, 0), 1);
  save_page("lines_over_another_voice");
  for (const Report& r : take_reports()) ADD_FAILURE() << r.text;
  const std::vector<PageFault> faults = check_page_elements(formatted_page_frame(1));
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  // Each line is drawn dashed with its end hook, over the upper staff, as the document places
  // it there.
  int dashes = 0, hooks = 0;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind != GE_LINE || e->get(xgscreen)) continue;
    const int var = e->get(xgl_var);
    if (var != 67 && var != 68) continue;
    (var == 68 ? dashes : hooks) += 1;
    EXPECT_EQ(e->get(xge_pstaff1), 0);
    EXPECT_GT(e->get(xge_y1), staff_data[0].middle_y + 150);
  }
  EXPECT_EQ(dashes, 2);
  EXPECT_EQ(hooks, 2);
  offscreen_dispose();
}

}  // namespace
