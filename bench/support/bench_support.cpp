// bench_support.cpp: the shared set-up of bench_support.h.
#include "support/bench_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "ImportExport/musicxml_services.h"
#include "app/app_services.h"
#include "console/console_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/application.h"
#include "platform/events.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "platform/script.h"
#include "platform/window.h"

void stop_on_report(int16_t level, const char* text) {
  std::fprintf(stderr, "unexpected report (level %d): %s\n", level, text);
  std::abort();
}

void start_offscreen_platform() {
  static bool started = false;
  if (started) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static char name[] = "vesk_bench";
  static char* argv[] = {name, nullptr};
  platform_start(1, argv);
  platform_init_fonts();
  started = true;
}

void fresh_letter_page_program() {
  start_offscreen_platform();
  set_report_observer(stop_on_report);
  offscreen_dispose();
  reset_model_globals();
  reset_editing_globals();  // no insertion point left from the benchmark before
  reset_layout_globals();
  reset_graphics_globals();
  reset_params_globals();
  reset_prefs();
  connect_subsystems();
  VeskMemory_Init();
  param_init();
  set_options_i32(1, OPTIONS_PAGE_WIDTH, 85);
  set_options_i32(1, OPTIONS_PAGE_HEIGHT, 110);
  for (int margin : {22, 26, 88}) set_options_i32(1, margin, 500);
  for (int margin : {30, 34, 92}) set_options_i32(1, margin, 400);
  for (int margin : {50, 54, 58, 62}) set_options_i32(1, margin, 400);
  set_options_i16(1, OPTIONS_FIRST_PAGE, 1);
  set_options_i16(1, OPTIONS_FIRST_MEASURE, 1);
  GE_head = newDrosa(GE_CHAR, 0);
}

namespace {

// The import asks how to break pages of a document without breaks, and a page of more staves
// than one page holds is split: both are the road of a large generated score.
void stop_on_other_than_pagination(int16_t level, const char* text) {
  if (level == 2 &&
      (std::strstr(text, "no pagination data") || std::strstr(text, "Too many staves on the page")))
    return;
  stop_on_report(level, text);
}

}  // namespace

bool import_generated_score(int staves, int bars) {
  const std::string path = std::string(VESK_BENCH_DIR) + "/score-" + std::to_string(staves) + "x" +
                           std::to_string(bars) + ".xml";
  if (!std::ifstream(path)) {
    const std::string command = "python3 " + std::string(VESK_GEN_SCORE) + " " +
                                std::to_string(staves) + " " + std::to_string(bars) + " " + path +
                                " > /dev/null";
    if (std::system(command.c_str()) != 0) return false;
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string doc = text.str();
  fresh_letter_page_program();
  set_report_observer(stop_on_other_than_pagination);
  script_begin();
  script_hit(9);
  script_type(10, "4");
  script_type(12, "1");
  script_hit(1);
  const bool imported = import_musicxml_memory(doc.data(), doc.size(), 1) != 0;
  script_take_faults();
  script_end();
  set_report_observer(stop_on_report);
  if (!imported) return false;
  offscreen_create(10.0f, 85, 110, 0, 0);
  new_music_window(900, 700);
  disable_format_interrupts();
  return true;
}

void start_window_platform() {
  static bool started = false;
  if (started) return;
  started = true;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  if (!std::getenv("XDG_RUNTIME_DIR")) {
    std::string dir = "/tmp/vesk-bench-" + std::to_string(getuid());
    mkdir(dir.c_str(), 0700);
    setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
  }
  // The preferences of the benchmark live in a folder of their own.
  std::string config = "/tmp/vesk-bench-config-" + std::to_string(getpid());
  mkdir(config.c_str(), 0700);
  setenv("XDG_CONFIG_HOME", config.c_str(), 1);
  static int argc = 1;
  static char name[] = "vesk_bench";
  static char* argv[] = {name, nullptr};
  platform_start(argc, argv);
}

void reset_window_program() {
  if (current_view_index >= 0) close_view(0);
  dispose_music_window();
  if (console_ref) console_dispose(console_ref);
  platform_flush_events(EVERY_EVENT);
  reset_model_globals();
  reset_graphics_globals();
  reset_editing_globals();
  reset_layout_globals();
  reset_app_globals();
  reset_prefs();
  reset_params_globals();
}

void run_pending_events(int passes) {
  EventRecord waiting;
  for (int pass = 0; pass < passes && peek_event(EVERY_EVENT, &waiting); ++pass) main_event_pass();
}

bool window_shows_page(int pages, int page) {
  Port* window = platform_window_port(music_window());
  if (!window || !offscreen_page || page_count != pages || current_page != page) return false;
  const Rect area = music_area_rect();
  const Point origin = scroll_origin();
  int dark = 0;
  for (int y = area.top; y < area.bottom; ++y)
    for (int x = area.left; x < area.right; ++x) {
      const uint32_t shown = port_pixel(window, x, y);
      if (shown != port_pixel(offscreen_page, x - origin.x, y - origin.y)) return false;
      dark += (shown & 0xFF) < 0x80;
    }
  return dark > 1000;
}
