// model_fixture.cpp: fresh globals for every case, and the report capture.
#include "support/model_fixture.h"

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"
#include "platform/memory.h"
#include "platform/printing.h"
#include "platform/script.h"
#include "platform/synth.h"
#include "platform/ticks.h"
#include "platform/window.h"

namespace {
std::vector<Report> captured;

void capture_report(int16_t level, const char* text) { captured.push_back({level, text}); }
}  // namespace

const std::vector<Report>& reports() { return captured; }

void capture_reports() {
  captured.clear();
  set_report_observer(capture_report);
}

std::vector<Report> take_reports() {
  std::vector<Report> taken;
  taken.swap(captured);
  return taken;
}

void reset_all_globals() {
  reset_views_globals();
  reset_model_globals();
  reset_graphics_globals();
  reset_editing_globals();
  reset_anno_globals();
  reset_layout_globals();
  reset_app_globals();
  reset_prefs();
  init_glyph_tables();
  reset_params_globals();
  reset_performance_globals();
  platform_refuse_allocations_after(-1);
  platform_refuse_reservations_over(-1);
  platform_print_set_test_printers(true, {});
  platform_keep_windows_off_screen(false);
  platform_print_spool_to_file("");
  platform_print_fail_at(0, 0, 0);
  platform_use_virtual_ticks(true);
  platform_synth_use_no_device(true);  // no test sounds, whatever the machine has
}

void ModelTest::SetUp() {
  reset_all_globals();
  captured.clear();
  set_report_observer(capture_report);
  VeskMemory_Init();
}

void ModelTest::TearDown() {
  std::string problems;
  EXPECT_EQ(check_voice_lists(&problems), 0) << problems;
  for (const Report& r : captured)
    ADD_FAILURE() << "unexpected report (level " << r.level << "): " << r.text;
  captured.clear();
  set_report_observer(nullptr);
  reset_all_globals();
}

int free_list_length() {
  drosa_build_free_nodes();
  int forward = 0;
  Drosa last = NIL;
  for (Drosa p = freeHead; p; p = p->xnext) {
    EXPECT_EQ(p->xback, last) << "free list links disagree";
    last = p;
    ++forward;
  }
  return forward;
}

void ScriptedModelTest::SetUp() {
  ModelTest::SetUp();
  script_begin();
}

void ScriptedNewPieceTest::SetUp() {
  ScriptedModelTest::SetUp();
  param_init();
  read_header(nullptr);
  voice_count = 0;
}

void ScriptedModelTest::TearDown() {
  for (const std::string& fault : script_take_faults()) ADD_FAILURE() << "script fault: " << fault;
  EXPECT_EQ(script_pending(), 0) << "answers left unused";
  script_end();
  ModelTest::TearDown();
}
