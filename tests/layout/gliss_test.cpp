// gliss_test.cpp: glissando lines on a system spaced by hand.
//   Glissandi.*: the partner at the same place in the next chord, or its only note; a line to
//                a note drawn on the next staff; too short a line grown to the shortest length
//                about its middle; a line from a rest starts after the rest's own glyph
#include "layout/gliss.h"

#include <gtest/gtest.h>

#include <functional>

#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "support/layout_fixture.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

class Glissandi : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    param_init();
    GE_head = GE_tail = newDrosa(GE_CHAR, 0);
  }
  void TearDown() override {
    destroy_pstaff_lists();
    ModelTest::TearDown();
  }
};

struct Line {
  int32_t x1, y1, x2, y2;
  int pstaff1, pstaff2, var;
};

Line last_line() {
  Drosa p = GE_tail;
  return {p->get(xge_x1),      p->get(xge_y1),      p->get(xge_x2), p->get(xge_y2),
          p->get(xge_pstaff1), p->get(xge_pstaff2), p->get(xgl_var)};
}

Drosa note_at(int v, int position) { return add_note(v, QUARTER, position); }

// Pitch words rising with position, and stems up unless a note asks otherwise.
void give_pitches_and_stems(int v) {
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    if (p->xkind != NOTE) continue;
    p->set(xpitch, uint16_t((40 + p->get(xmod7)) << 8));
    if (p->get(xdir) == 3) p->set(xdir, 2);
  }
}

// The chords of staff 0 placed `gap` apart from x 600, as spacing places them by time.
void space_chords(int32_t gap) {
  int i = 0;
  for (Drosa n = staff_data[0].ppnt[0]->xnext->get(xpnext); n; n = n->xnext->get(xpnext)) {
    n->xnext->set(xhdx, 600 + gap * i);
    if (n->xnext->get(xendscd)) ++i;
  }
}

int32_t middle_of_head(Drosa note) {
  return note->xnext->get(xhdy) + param_length(P_NOTE_HEAD_HEIGHT, note, nullptr) / 2;
}

TEST_F(Glissandi, LinesFindTheirPartnersAndKeepTheirLength) {
  struct Case {
    const char* what;
    std::function<void(int, Drosa*, Drosa*)> build;  // the glissando note and its partner
    int32_t gap;
    std::function<void(const Line&, Drosa, Drosa)> check;
  } cases[] = {
      {"from the second-lowest of two to the second-lowest",
       [](int v, Drosa* from, Drosa* to) {
         Drosa first = add_chord(v, QUARTER, {40, 42, 46});
         first->set(xgliss, 1);
         first->xnext->set(xgliss, 1);
         *from = first->xnext;
         *to = add_chord(v, QUARTER, {39, 41, 47})->xnext;
       },
       3000, nullptr},
      {"to the only note of the next chord",
       [](int v, Drosa* from, Drosa* to) {
         Drosa low = note_at(v, 40);
         low->set(xendvcd, 0);
         *from = note_at(v, 46);
         (*from)->set(xgliss, 1);
         *to = note_at(v, 30);
       },
       3000, nullptr},
      {"to a note drawn on the staff below",
       [](int v, Drosa* from, Drosa* to) {
         *from = note_at(v, 40);
         (*from)->set(xgliss, 1);
         *to = note_at(v, 36);
         (*to)->set(xdir, 1);
       },
       3000,
       [](const Line& line, Drosa, Drosa) {
         EXPECT_EQ(line.pstaff1, 0);
         EXPECT_EQ(line.pstaff2, 1);
       }},
      {"too short: grown about its middle",
       [](int v, Drosa* from, Drosa* to) {
         *from = note_at(v, 40);
         (*from)->set(xgliss, 1);
         *to = note_at(v, 42);
       },
       20,
       [](const Line& line, Drosa from, Drosa to) {
         EXPECT_EQ(line.x2 - line.x1,
                   param_length(P_MINIMUM_HORIZONTAL_LENGTH_OF_GLISSANDO_LINE, from, nullptr));
         const int32_t half_head = hdw(from, 0) / 2;
         EXPECT_EQ(line.x1 + line.x2, 600 + half_head + 620 + half_head);
         (void)to;
       }},
      {"from a rest, after its glyph",
       [](int v, Drosa* from, Drosa* to) {
         *from = add_rest(v, QUARTER);
         (*from)->set(xgliss, 1);
         *to = note_at(v, 42);
       },
       3000,
       [](const Line& line, Drosa from, Drosa) { EXPECT_EQ(line.x1, 600 + rest_width(from, 0)); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int v = new_voice();
    Drosa from = NIL, to = NIL;
    c.build(v, &from, &to);
    give_pitches_and_stems(v);
    ASSERT_EQ(format_one_system(), 1);
    space_chords(c.gap);
    if (from->get(xrest) == 0 && to->get(xdir) == 1) to->xnext->set(xother_staff, 1);
    ASSERT_EQ(draw_gliss(from, 0), 1);
    Line line = last_line();
    EXPECT_EQ(line.var, 73);
    if (!from->get(xrest)) EXPECT_EQ(line.y1, middle_of_head(from));
    EXPECT_EQ(line.y2, middle_of_head(to));
    EXPECT_GT(line.x2, line.x1);
    if (c.check) c.check(line, from, to);
    TearDown();
    SetUp();
  }
}

}  // namespace
