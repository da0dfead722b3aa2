// window_bench.cpp: the music window's path through a large real score, as the user waits for
// it, on the toolkit's offscreen platform: the largest score of the shared real scores (a
// symphony movement of some fifty pages and a score of staves), opened from the command line.
//   OpenScoreToFirstPage:       start-up, the document imported, its first page formatted and
//                               drawn, the window made and the page shown
//   TurnPage/<page>:            Next Page from the page before, until the page is shown
//   GoToPage/<page>:            Go To Page from page 1, the page asked for typed into its dialog
//                               (the last page when the score has fewer)
//   FormatAndPlotPage/<page>:   the page formatted and plotted into the page image alone, as a
//                               print formats and plots it: the floor the window's steps are
//                               measured against
//   EnterNoteInWindow/<page>:   a note entered at the first bar of the page from the piano
//                               window (as the user enters it), the page formatted again and
//                               shown; undone untimed
// Every run checks what it timed: the window shows the page asked for, pixel for pixel as the
// page image, and an entered note is in the voice and gone again after its undo.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "app/app_services.h"
#include "console/console_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"
#include "platform/script.h"
#include "support/bench_support.h"

namespace {

// The largest real score, by its file's size.
std::string largest_score() {
  std::string largest;
  uintmax_t size = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(VESK_SCORES_DIR, error))
    if (entry.path().extension() == ".musicxml" && entry.file_size() > size) {
      size = entry.file_size();
      largest = entry.path().string();
    }
  return largest;
}

// Opens the score as the command line does, up to its first page shown.
void open_score_window(const std::string& path) {
  std::string copy = path;
  char name[] = "vesk";
  char* argv[] = {name, copy.data(), nullptr};
  start_up(2, argv);
  run_pending_events();
}

// The same, and false when the first page is not shown.
bool open_score(const std::string& path) {
  open_score_window(path);
  return window_shows_page(page_count, 1);
}

// The score opened once for the benchmarks that move through it (the start-up benchmarks close
// whatever they open).
bool score_open() {
  start_window_platform();
  if (current_view_index >= 0) return page_count > 1;
  reset_window_program();  // whatever the benchmarks before left
  const std::string path = largest_score();
  if (path.empty() || !open_score(path)) return false;
  // The console takes the program's standard output, where the results are written.
  if (console_ref) console_dispose(console_ref);
  console_ref = nullptr;
  return true;
}

int32_t page_asked(int64_t page) { return std::min<int32_t>(int32_t(page), page_count); }

// Moves the window to page n, untimed.
void show_page(int32_t n) {
  if (current_page == n) return;
  script_begin();
  script_type(4, std::to_string(n).c_str());
  script_hit(1);
  page_navigation_command(PAGE_COMMAND_GO_TO_PAGE);
  script_end();
  run_pending_events();
}

void OpenScoreToFirstPage(benchmark::State& state) {
  const std::string path = largest_score();
  if (path.empty()) return state.SkipWithError("no real score found");
  start_window_platform();
  reset_window_program();  // whatever the benchmarks before left
  for (auto _ : state) {
    open_score_window(path);
    state.PauseTiming();  // the page compared with its image, pixel for pixel, untimed
    const bool shown = window_shows_page(page_count, 1);
    state.counters["pages"] = page_count;
    reset_window_program();
    state.ResumeTiming();
    if (!shown) return state.SkipWithError("the first page is not shown");
  }
}

void TurnPage(benchmark::State& state) {
  if (!score_open()) return state.SkipWithError("the score could not be opened");
  const int32_t page = page_asked(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    show_page(page - 1);
    state.ResumeTiming();
    page_navigation_command(PAGE_COMMAND_NEXT);
    run_pending_events();
    state.PauseTiming();
    const bool shown = window_shows_page(page_count, page);
    state.ResumeTiming();
    if (!shown) return state.SkipWithError("the next page is not shown");
  }
  state.counters["page"] = page;
}

void GoToPage(benchmark::State& state) {
  if (!score_open()) return state.SkipWithError("the score could not be opened");
  const int32_t page = page_asked(state.range(0));
  const std::string answer = std::to_string(page);
  for (auto _ : state) {
    state.PauseTiming();
    show_page(1);
    script_begin();
    script_type(4, answer.c_str());
    script_hit(1);
    state.ResumeTiming();
    page_navigation_command(PAGE_COMMAND_GO_TO_PAGE);
    run_pending_events();
    state.PauseTiming();
    script_end();
    const bool shown = window_shows_page(page_count, page);
    state.ResumeTiming();
    if (!shown) return state.SkipWithError("the page asked for is not shown");
  }
  state.counters["page"] = page;
}

constexpr int KEY = 108;  // a top C, which the score never plays

// The notes of voice v sounding the key.
int keys_of(int v) {
  int n = 0;
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    n += p->xkind == NOTE && p->get(xpitch) >> 8 == KEY;
  return n;
}

// The first note drawn on the page shown at the first bar starting on it, in the first voice
// that draws one there; NIL when none is.
Drosa first_bar_note(int32_t page, int* voice) {
  int32_t bar = 1;
  while (find_measure_any_voice(bar) < page && bar < 100000) ++bar;
  for (int v = 0; v < voice_count; ++v) {
    Drosa start = find_measure_start(bar, v);
    if (start && is_plotted_note(start)) {
      *voice = v;
      return start;
    }
  }
  return NIL;
}

void EnterNoteInWindow(benchmark::State& state) {
  if (!score_open()) return state.SkipWithError("the score could not be opened");
  const int32_t page = page_asked(state.range(0));
  show_page(page);
  int voice = 0;
  Drosa start = first_bar_note(page, &voice);
  if (!start) return state.SkipWithError("no note is drawn at the page's first bar");
  if (keys_of(voice) != 0) return state.SkipWithError("the score plays the key entered");
  for (auto _ : state) {
    state.PauseTiming();
    set_insertion_point(start, 0, -10);
    note_entry_active = 1;
    state.ResumeTiming();
    add_played_key(KEY, false);
    enter_played_chord();
    reformat_and_update(current_page, 0);
    run_pending_events();
    state.PauseTiming();
    if (keys_of(voice) != 1) return state.SkipWithError("no note was entered");
    if (!window_shows_page(page_count, page)) return state.SkipWithError("the page is not shown");
    set_undo_mark(0);
    undo_redo(1);
    if (keys_of(voice) != 0) return state.SkipWithError("the undo did not take the note out");
    reformat_and_update(current_page, 0);
    run_pending_events();
    start = first_bar_note(page, &voice);
    state.ResumeTiming();
    if (!start) return state.SkipWithError("the page's first bar is gone");
  }
  note_entry_active = 0;
  clear_undo(1);
  DrosaDirty &= ~DIRTY_CHANGED;  // every entry was undone: moving on asks nothing
  state.counters["page"] = page;
}

void FormatAndPlotPage(benchmark::State& state) {
  if (!score_open()) return state.SkipWithError("the score could not be opened");
  const int32_t page = page_asked(state.range(0));
  show_page(page);
  for (auto _ : state) {
    disable_format_interrupts();
    if (format_page(page, 0) != 1) return state.SkipWithError("the page was not formatted");
  }
  state.counters["page"] = page;
}

BENCHMARK(OpenScoreToFirstPage)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(TurnPage)->Arg(2)->Arg(40)->Unit(benchmark::kMillisecond);
BENCHMARK(GoToPage)->Arg(40)->Unit(benchmark::kMillisecond);
BENCHMARK(FormatAndPlotPage)->Arg(1)->Arg(40)->Unit(benchmark::kMillisecond);
BENCHMARK(EnterNoteInWindow)->Arg(1)->Arg(40)->Unit(benchmark::kMillisecond);

}  // namespace
