// startup_bench.cpp: from start-up to the first page of a piece drawn in its window, as the
// user waits for it: start-up in its order, the piece file given on the command line read,
// its page image made, the page formatted and drawn, the window made and the page shown. The
// piece: 6 staves, one voice each, four 4/4 bars a page of quarters, eighths and a chord.
//   StartUpToShownPage/1/1:     a piece of one page (the best case)
//   StartUpToShownPage/100/1:   a piece of 100 pages, opened at its first page
//   StartUpToShownPage/100/100: the same piece saved while its last page was shown, which it
//                               opens at (the worst case)
// Every run checks that the window shows the page it should, pixel for pixel.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "app/app_services.h"
#include "console/console_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/application.h"
#include "platform/events.h"
#include "platform/port.h"
#include "platform/window.h"
#include "support/piece_files.h"

namespace {

constexpr int STAVES = 6;  // two systems of them fit the piece's 11-inch page

void start_platform() {
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

void reset_program() {
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

// The window shows the page of the piece it should, where the scroll position puts it.
bool shows_page(int pages, int page) {
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

void StartUpToShownPage(benchmark::State& state) {
  const int pages = int(state.range(0)), shown = int(state.range(1));
  start_platform();
  char pattern[] = "/tmp/vesk-bench-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  std::string path = dir + "/piece.vesk";
  if (!write_piece_of_pages(path, pages, STAVES, shown)) {
    state.SkipWithError("the piece could not be written");
    return;
  }
  char name[] = "vesk";
  char* argv[] = {name, path.data(), nullptr};
  for (auto _ : state) {
    start_up(2, argv);
    EventRecord waiting;
    for (int pass = 0; pass < 20 && peek_event(EVERY_EVENT, &waiting); ++pass) main_event_pass();
    state.PauseTiming();
    const bool good = shows_page(pages, shown);
    reset_program();
    state.ResumeTiming();
    if (!good) {
      state.SkipWithError("the page is not shown");
      break;
    }
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(StartUpToShownPage)
    ->Args({1, 1})
    ->Args({100, 1})
    ->Args({100, 100})
    ->Unit(benchmark::kMillisecond);

}  // namespace
