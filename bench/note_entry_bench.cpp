// note_entry_bench.cpp: a note entered from the piano window into the large score the shared
// generator writes (16 staves of 400 bars of 4/4), imported whole, as a user enters it: the key
// pressed and released, the chord made and inserted at the insertion point, then the page
// formatted again and drawn, as the main loop does after every entry. Then undone (not timed).
//   EnterNote/1:   at the first bar, on page 1
//   EnterNote/400: at the last bar, on the piece's last page: the time must be the same
// Every run checks what it did: the entered note in the voice in place of the note at the
// insertion point, the insertion point moved on past it, and the undo taking it out again.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "ImportExport/musicxml_services.h"
#include "app/app_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"
#include "platform/script.h"
#include "support/bench_support.h"

namespace {

constexpr int STAVES = 16;

// Imports the score once and keeps it in a music window; false when the generator cannot run.
bool load_score() {
  static bool loaded = false;
  if (loaded) return voice_count == STAVES;
  loaded = true;
  return import_generated_score(STAVES, 400) && voice_count == STAVES;
}

// The notes of voice v sounding the key.
int keys_of(int v, int key) {
  int n = 0;
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    n += p->xkind == NOTE && p->get(xpitch) >> 8 == key;
  return n;
}

void EnterNote(benchmark::State& state) {
  if (!load_score()) return state.SkipWithError("the score could not be imported");
  const int32_t bar = int32_t(state.range(0));
  current_page = find_measure_any_voice(bar);
  if (reformat_and_update(current_page, 0) != 1) return state.SkipWithError("no page formatted");
  Drosa start = find_measure_start(bar, 0);
  if (!is_plotted_note(start)) return state.SkipWithError("the bar is not on the page shown");
  constexpr int KEY = 108;  // a top C, which the score never plays
  if (keys_of(0, KEY) != 0) return state.SkipWithError("the score plays the key entered");
  const int32_t page = current_page;
  for (auto _ : state) {
    state.PauseTiming();
    set_insertion_point(start, 0, -10);
    note_entry_active = 1;
    state.ResumeTiming();
    add_played_key(KEY, false);
    enter_played_chord();
    reformat_and_update(current_page, 0);
    state.PauseTiming();
    if (keys_of(0, KEY) != 1) return state.SkipWithError("no note was entered");
    if (!insertion_point || insertion_point == start)
      return state.SkipWithError("the insertion point did not move on");
    set_undo_mark(0);
    undo_redo(1);
    if (keys_of(0, KEY) != 0) return state.SkipWithError("the undo did not take the note out");
    current_page = page;
    reformat_and_update(current_page, 0);
    start = find_measure_start(bar, 0);
    state.ResumeTiming();
  }
  note_entry_active = 0;
  clear_undo(1);
  state.counters["page"] = double(page);
}

BENCHMARK(EnterNote)->Arg(1)->Arg(400)->Unit(benchmark::kMillisecond);

}  // namespace
