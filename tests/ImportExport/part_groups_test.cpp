// part_groups_test.cpp: groups of parts in the part list, and the brackets and braces they
// give the staves.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImportExport/musicxml_fixture.h"
#include "model/model_services.h"

namespace {

using MusicXmlPartGroups = MusicXmlTest;

TEST_F(MusicXmlPartGroups, TwoGroupsBeginningAtOnePartLieOneInsideTheOther) {
  // A brace about the two violins begins before a bracket about them and the piano, and ends
  // first: the bracket holds the brace. Read as overlapping, the bracket was dropped with a
  // message.
  std::string d = musicxml_fixture("brackets_braces.xml");
  d.replace(d.find("<part-group number=\"1\" type=\"start\">"), 0,
            "<part-group number=\"3\" type=\"start\"><group-symbol>brace</group-symbol>"
            "</part-group>");
  d.replace(d.find("<part-group number=\"1\" type=\"stop\"/>"), 34,
            "<part-group number=\"3\" type=\"stop\"/>");
  d.replace(d.find("<part-group number=\"2\" type=\"start\">"), 0,
            "<part-group number=\"1\" type=\"stop\"/>");
  ASSERT_EQ(import(d), 1);
  for (const Report& r : take_reports()) ADD_FAILURE() << r.text;
  ASSERT_EQ(voice_count, 7);
  // Per voice "bracket brace" at the start of the piece: 0 a bracket going on, 1 its end, 2
  // none; 1 a brace going on.
  std::string signs;
  for (int v = 0; v < voice_count; ++v) {
    Drosa print = find_next_kind(PRINT, piece_start[v]);
    signs +=
        std::to_string(print->get(xfirst_bracket)) + std::to_string(print->get(xfirst_brace)) + " ";
  }
  EXPECT_EQ(signs, "01 00 01 10 21 20 20 ");
}

}  // namespace
