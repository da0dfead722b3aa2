// tuplets_test.cpp: tuplet groups and bar separators.
//   TupletGroups.*:  complete groups marked at both ends and in the middle; groups broken by a
//                    plain note or a system break undone; a group runs across a bar line
//   BarSeparators.*: switched on once however often asked, off altogether, undone
#include "layout/tuplets.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "support/model_fixture.h"
#include "support/page_fixture.h"
#include "support/piece_builder.h"

namespace {

using TupletTest = LetterPageTest;

using TupletGroups = TupletTest;
using BarSeparators = TupletTest;

Drosa triplet(int v, int lgval) {
  Drosa n = add_note(v, lgval);
  make_tuplet(n, 3, 2);
  return n;
}

// The chords of a pstaff's layer-0 chain: S first of a group, E last, 1 or 2 the number's
// mark, i the note in a group; "." a chord outside any group.
std::string marks(int pstaff) {
  std::string text;
  for (Drosa n = staff_data[pstaff].ppnt[0]->xnext->get(xpnext); n; n = n->xnext->get(xpnext)) {
    Drosa cd = cddatptr(n, 1);
    std::string chord = cd->get(xtup_start) ? "S" : "";
    if (int mark = cd->get(xtup_mark)) chord += std::to_string(mark);
    if (cd->get(xtup_end)) chord += "E";
    if (n->xnext->get(xtup_info)) chord += "i";
    text += (text.empty() ? "" : " ") + (chord.empty() ? "." : chord);
  }
  return text;
}

TEST_F(TupletGroups, GroupsAreMarkedOrUndoneByTheirTimes) {
  struct Case {
    const char* what;
    std::function<void(int)> build;
    std::string system1, system2;
  } cases[] = {
      {"a triplet of eighths",
       [](int v) {
         for (int i = 0; i < 3; ++i) triplet(v, EIGHTH);
       },
       "Si 1i Ei", ""},
      {"two triplets, numbers between chords",
       [](int v) {
         triplet(v, QUARTER);
         triplet(v, EIGHTH);
         triplet(v, EIGHTH);
         triplet(v, QUARTER);
       },
       "Si 2Ei Si 2Ei", ""},
      {"a plain eighth between triplet eighths",
       [](int v) {
         triplet(v, EIGHTH);
         triplet(v, EIGHTH);
         add_note(v, EIGHTH);
         triplet(v, EIGHTH);
       },
       ". . . .", ""},
      {"across a bar line",
       [](int v) {
         triplet(v, EIGHTH);
         triplet(v, EIGHTH);
         add_bar(v);
         triplet(v, EIGHTH);
       },
       "Si 1i Ei", ""},
      {"across a system break",
       [](int v) {
         triplet(v, EIGHTH);
         triplet(v, EIGHTH);
         add_system_break(v);
         triplet(v, EIGHTH);
       },
       ". .", "."},
      {"a grace note inside",
       [](int v) {
         triplet(v, EIGHTH);
         add_grace(v, EIGHTH);
         triplet(v, EIGHTH);
         triplet(v, EIGHTH);
       },
       "Si . 1i Ei", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int v = new_voice();
    c.build(v);
    count_pages();
    ASSERT_EQ(format_page(1, 0), 1);
    EXPECT_EQ(marks(0), c.system1);
    if (!c.system2.empty()) EXPECT_EQ(marks(1), c.system2);
    TearDown();
    SetUp();
  }
}

TEST_F(BarSeparators, SwitchedOnOnceOffAltogetherAndUndone) {
  int v = new_voice();
  add_note(v, QUARTER);
  Drosa bar = add_bar(v);
  add_note(v, QUARTER);
  auto count = [&] {
    int n = 0;
    for (Drosa p = piece_start[v]; p; p = p->xnext) n += p->xkind == BARSEP;
    return n;
  };
  set_undo_mark(0);
  Drosa made = toggle_BARSEP(bar, 1);
  ASSERT_TRUE(made);
  EXPECT_EQ(made->xnext, bar);
  EXPECT_EQ(toggle_BARSEP(bar, 1), made) << "a second switch finds the first";
  EXPECT_EQ(find_BARSEP(bar), made);
  EXPECT_EQ(count(), 1);
  link_after(newDrosa(BARSEP, 0), bar);  // a second one, as a damaged piece may have
  set_undo_mark(0);
  EXPECT_TRUE(toggle_BARSEP(bar, 0));
  EXPECT_EQ(count(), 0);
  EXPECT_EQ(find_BARSEP(bar), NIL);
  set_undo_mark(0);  // Undo as the command runs it: a mark, then the replay
  undo_redo(1);
  EXPECT_EQ(count(), 2);
}

}  // namespace
