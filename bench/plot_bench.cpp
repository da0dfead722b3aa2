// plot_bench.cpp: the cost of drawing a full page: the GE list of sixteen staves (staff
// lines, a brace, clefs and time signatures, 512 notes with heads, stems, beams, accidentals
// and ledger lines, a slur and a tie per bar, dashed curves and lines, bar numbers, a title:
// about 3,500 elements) erased and plotted into the offscreen page of a letter page at the
// standard zoom (624 x 792 pixels). Each run checks the drawing: enough pixels set, and the
// same image every time.
//   PlotPageMusicGlyphs:  the page as built; music glyphs go through the music font's glyph table
//   PlotPageTextGlyphs:   every glyph put in a text font, so each one is rasterised (worst)
//   PlotPageSmallRect:    only a 100 x 100 pixel rectangle redrawn (best: one test per element)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/app_services.h"
#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/application.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "support/bench_support.h"
#include "support/ge_page.h"

namespace {

void set_up_page(bool text_glyphs) {
  start_offscreen_platform();
  set_report_observer(stop_on_report);
  offscreen_dispose();
  reset_model_globals();
  reset_graphics_globals();
  reset_params_globals();
  reset_prefs();
  connect_subsystems();
  VeskMemory_Init();
  param_init();
  GE_head = GE_tail = newDrosa(GE_CHAR, 0);
  offscreen_create(10, GE_PAGE_WIDTH, GE_PAGE_HEIGHT, 0, 0);
  build_ge_page(16, text_glyphs);
}

uint64_t image_hash(int* drawn) {
  uint64_t hash = 1469598103934665603ull;
  *drawn = 0;
  for (uint32_t p : port_pixels(offscreen_page)) {
    hash = (hash ^ p) * 1099511628211ull;
    *drawn += p != 0xFFFFFF;
  }
  return hash;
}

void run(benchmark::State& state, bool text_glyphs, Rect update, int at_least) {
  set_up_page(text_glyphs);
  int elements = 0;
  for (Drosa p = GE_head->xnext; p; p = p->xnext) ++elements;
  platform_set_port(offscreen_page);
  uint64_t first = 0;
  for (auto _ : state) {
    erase_rect(update);
    plot_GE_list(update, PLOT_SCREEN, 0);
    state.PauseTiming();
    int drawn;
    const uint64_t hash = image_hash(&drawn);
    if (!first) first = hash;
    if (hash != first || drawn < at_least) {
      state.SkipWithError("the page was drawn wrong");
      break;
    }
    state.ResumeTiming();
  }
  platform_set_port(nullptr);
  state.counters["elements"] = elements;
  state.SetItemsProcessed(state.iterations() * elements);
}

const Rect WHOLE_PAGE{0, 0, 624, 792};

void PlotPageMusicGlyphs(benchmark::State& state) { run(state, false, WHOLE_PAGE, 40000); }
void PlotPageTextGlyphs(benchmark::State& state) { run(state, true, WHOLE_PAGE, 45000); }
void PlotPageSmallRect(benchmark::State& state) { run(state, false, {100, 100, 200, 200}, 500); }

BENCHMARK(PlotPageMusicGlyphs)->Unit(benchmark::kMillisecond);
BENCHMARK(PlotPageTextGlyphs)->Unit(benchmark::kMillisecond);
BENCHMARK(PlotPageSmallRect)->Unit(benchmark::kMillisecond);

}  // namespace
