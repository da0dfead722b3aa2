// object_lookup_test.cpp: the object lookup.
//   SystemStaves.*: the staves a system uses, by the PRINT nodes in force in it
#include "layout/object_lookup.h"

#include <gtest/gtest.h>

#include "model/model_services.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

using SystemStaves = ModelTest;

TEST_F(SystemStaves, TheLargestStaffNumberInForceInTheSystemPlusOne) {
  int voices[4];
  for (int staff = 0; staff < 4; ++staff) voices[staff] = new_voice("Strings", staff, staff);
  Drosa first_note = NIL, second_system_note = NIL;
  for (int v : voices) {
    Drosa n = add_note(v, QUARTER);
    if (!first_note) first_note = n;
    add_system_break(v);
    if (v == voices[3]) add_print(v, 1, 6);  // the last voice moves to staff 7
    n = add_note(v, QUARTER);
    if (!second_system_note) second_system_note = n;
  }
  EXPECT_EQ(max_print_staves_in_system(first_note, 0), 4);
  EXPECT_EQ(max_print_staves_in_system(second_system_note, 0), 7);
  EXPECT_EQ(max_print_staves_in_system(NIL, 0), 1);
}

}  // namespace
