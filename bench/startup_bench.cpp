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
#include "support/bench_support.h"
#include "support/piece_files.h"

namespace {

constexpr int STAVES = 6;  // two systems of them fit the piece's 11-inch page

void StartUpToShownPage(benchmark::State& state) {
  const int pages = int(state.range(0)), shown = int(state.range(1));
  start_window_platform();
  reset_window_program();  // whatever the benchmarks before left
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
    run_pending_events();
    state.PauseTiming();
    const bool good = window_shows_page(pages, shown);
    reset_window_program();
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
