// page_fixture.h: fixtures for cases that lay out a page: a fresh node store with the parameter
// table and an empty GE list; the page's staff records are freed after each case.
//   LetterPageTest:    the Score on a letter page (8.5 by 11 inches) numbering pages and
//                      measures from 1
//   ScriptedPieceTest: a piece's header as a new piece has it and no voice yet, its alerts and
//                      dialogs in scripted mode
#pragma once

#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "support/model_fixture.h"

class LetterPageTest : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    param_init();
    set_options_i32(1, OPTIONS_PAGE_WIDTH, 85);
    set_options_i32(1, OPTIONS_PAGE_HEIGHT, 110);
    set_options_i16(1, OPTIONS_FIRST_PAGE, 1);
    set_options_i16(1, OPTIONS_FIRST_MEASURE, 1);
    GE_head = newDrosa(GE_CHAR, 0);
  }
  void TearDown() override {
    destroy_pstaff_lists();
    ModelTest::TearDown();
  }
};

class ScriptedPieceTest : public ScriptedNewPieceTest {
 protected:
  void SetUp() override {
    ScriptedNewPieceTest::SetUp();
    GE_head = newDrosa(GE_CHAR, 0);
  }
  void TearDown() override {
    destroy_pstaff_lists();
    ScriptedNewPieceTest::TearDown();
  }
};
