// tests/ImportExport/hairpins_meeting_test.cpp: imported hairpins that meet at one note, drawn
// apart, each page held to the page checker's rules and written as
// test-output/hairpins/<fixture>.png.
#include <algorithm>
#include <vector>

#include "ImportExport/musicxml_fixture.h"
#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "support/engraved_page.h"

namespace {

class HairpinsMeeting : public EngravedPageTest {
 protected:
  HairpinsMeeting() : EngravedPageTest("hairpins") {}
};

// The hairpins drawn, each as the left and right ends of its legs (a GE_LINE each), in order.
std::vector<std::pair<int32_t, int32_t>> hairpins_drawn() {
  std::vector<std::pair<int32_t, int32_t>> legs;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    GEInkBox box;
    if (e->xkind == GE_LINE && !e->get(xgscreen) && e->get(xganno) && ge_ink_box(e, &box))
      legs.emplace_back(box.left, box.right);
  }
  std::sort(legs.begin(), legs.end());
  std::vector<std::pair<int32_t, int32_t>> hairpins;
  for (size_t k = 0; k + 1 < legs.size(); k += 2)
    hairpins.emplace_back(legs[k].first, std::max(legs[k].second, legs[k + 1].second));
  return hairpins;
}

// Each fixture holds a pair of hairpins that met: a crescendo to a bar's end, made as long as one
// can be read after a pp, ran into the diminuendo begun at the next bar's first note; a crescendo
// and a diminuendo over one held note both ran to the bar line. Drawn, they stand apart, neither
// shrunk to nothing. In a line the document ends where it does, not stretched to the staff's
// end, the notes stood too close for the crescendo: the spacing leaves it its room.
TEST_F(HairpinsMeeting, HairpinsMeetingAtOneNoteStandApart) {
  for (const char* name : {"hairpins_meeting_at_a_note", "hairpins_meeting_in_a_line_of_its_own",
                           "hairpins_inside_one_held_note"}) {
    SCOPED_TRACE(name);
    engrave_clean(name);
    const std::vector<std::pair<int32_t, int32_t>> hairpins = hairpins_drawn();
    ASSERT_EQ(hairpins.size(), 2u);
    EXPECT_LT(hairpins[0].second, hairpins[1].first) << "the first ends before the second";
    for (const auto& [left, right] : hairpins) EXPECT_GT(right - left, 60);
  }
}

}  // namespace
