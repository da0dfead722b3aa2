// print_bench.cpp: printing every page of a piece, as the Print command does it without its
// dialog: each page formatted for printing and written to the document, then the screen's
// page formatted again.
//   PrintEveryPage/<format>/<staves>: format 0 a PDF file (each page plotted on the PDF's
//   page), 1 a PostScript file (the program's own PostScript, texts in Type 3 fonts made from
//   the glyphs each page uses). The piece is the layout benchmark's: 400 bars of 4/4, two bars
//   a system and two systems a page (100 pages), quarters, slurred and beamed eighths and
//   chords over tied half notes, rests and triplets, with clefs, key changes and
//   time-signature restatements. 16 staves (24 voices) is the worst case, 2 staves the best.
// Every run checks what it printed: the session's pages, the file's size, and the page count
// the PostScript trailer or the PDF page tree gives.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "app/app_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/application.h"
#include "platform/fonts.h"
#include "platform/printing.h"
#include "support/bench_support.h"
#include "support/engraved_piece.h"

namespace {

constexpr int BARS = 400, BARS_PER_SYSTEM = 2, SYSTEMS_PER_PAGE = 2;
constexpr int PAGES = BARS / (BARS_PER_SYSTEM * SYSTEMS_PER_PAGE);

void build(int staves) {
  start_offscreen_platform();
  set_report_observer(stop_on_report);
  offscreen_dispose();
  reset_model_globals();
  reset_layout_globals();
  reset_graphics_globals();
  reset_params_globals();
  reset_prefs();
  connect_subsystems();
  VeskMemory_Init();
  param_init();
  GE_head = newDrosa(GE_CHAR, 0);
  build_engraved_piece(staves, BARS, BARS_PER_SYSTEM, SYSTEMS_PER_PAGE);
  // A page tall enough for two systems of 16 staves: the 11-inch page gives one of them to
  // the next page, and the piece would print on more pages than it was built with.
  set_options_i32(1, OPTIONS_PAGE_HEIGHT, 220);
  if (page_count != PAGES) {
    std::fprintf(stderr, "built %d pages, not %d\n", page_count, PAGES);
    std::abort();
  }
  offscreen_create(10, 85, 110, 0, 0);
  current_page = 1;
  disable_format_interrupts();
  format_page(1, 0);
  platform_print_set_test_printers(true, {});
  Print_init();
}

std::string file_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void PrintEveryPage(benchmark::State& state) {
  const bool postscript = state.range(0) != 0;
  build(int(state.range(1)));
  const std::string path =
      std::string(VESK_BENCH_DIR) + (postscript ? "/print_bench.ps" : "/print_bench.pdf");
  print_settings->destination = postscript ? PRINT_TO_POSTSCRIPT_FILE : PRINT_TO_PDF_FILE;
  print_settings->file = path;
  for (auto _ : state) {
    std::remove(path.c_str());
    print_piece(PRINT_WITHOUT_DIALOG);
    state.PauseTiming();
    const std::string text = file_text(path);
    bool good = platform_print_pages_done(print_session) == PAGES && text.size() > 1000;
    if (postscript) good = good && text.find("%%Pages: 100\n") != std::string::npos;
    if (!postscript) good = good && text.find("/Count 100 >>") != std::string::npos;
    state.counters["MB"] = double(text.size()) / 1e6;
    state.ResumeTiming();
    if (!good) {
      state.SkipWithError("the document is not the piece's pages");
      break;
    }
  }
  state.counters["pages_per_s"] =
      benchmark::Counter(double(state.iterations()) * PAGES, benchmark::Counter::kIsRate);
  print_release();
}

BENCHMARK(PrintEveryPage)
    ->Args({0, 16})
    ->Args({1, 16})
    ->Args({0, 2})
    ->Args({1, 2})
    ->Unit(benchmark::kSecond)
    ->Iterations(2);

}  // namespace
