// measures_paste_bench.cpp: editing commands on the large score the shared generator writes
// (16 staves of 400 bars of 4/4), imported whole, each followed by the format of page 1 that
// redraws what it changed, then undone outside the timing.
//   InsertMeasuresAtBar1: ten measures of rests in every voice at bar 1, four to a new system
//   DeleteMeasuresAtBar1: bars 1 to 10 of every voice taken out
//   CopyPaste100Bars:     Copy Measures of 100 bars of all sixteen voices from bar 1, pasted
//                         back at bar 1 (every note inserted in turn, as typed notes are)
//   ChordDragStep/0:      one step of a chord drag: the frame moved and the window refreshed
//   ChordDragStep/1:      the end of a drag: the chord offset stored and the page formatted
// Every run checks what it did (bar counts, pasted pitches, the offset) and that the undo gives
// the voices back.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/port.h"
#include "platform/script.h"
#include "support/bench_support.h"

namespace {

constexpr int STAVES = 16;

bool load_score() {
  static bool loaded = false, ok = false;
  if (loaded) return ok;
  loaded = true;
  ok = import_generated_score(STAVES, 400) && voice_count == STAVES;
  return ok;
}

void show_page_1() {
  current_page = 1;
  disable_format_interrupts();
  format_page(1, 0);
}

int32_t bars_of(int v) {
  int32_t bars = 0;
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    if (effective_kind(p) == BAR) ++bars;
  return bars;
}

std::vector<uint16_t> pitches_from(Drosa first, int count) {
  std::vector<uint16_t> words;
  for (Drosa p = first; p && int(words.size()) < count; p = p->xnext)
    if (p->xkind == NOTE) words.push_back(p->get(xpitch));
  return words;
}

void undo_step() {
  set_undo_mark(1);
  undo_redo(1);
  clear_undo(1);
}

void InsertMeasuresAtBar1(benchmark::State& state) {
  if (!load_score()) return state.SkipWithError("the score could not be made");
  show_page_1();
  const int32_t bars = bars_of(0);
  for (auto _ : state) {
    set_insertion_point(find_measure_start(1, 0), 0, -10);
    script_begin();
    script_type(9, "10");
    script_hit(SYMBOL_AT_INSERTION);
    script_hit(19);  // new systems, four measures each
    script_hit(1);
    set_undo_mark(1);
    const int made = make_measures(NIL, 0, nullptr);
    show_page_1();
    state.PauseTiming();
    script_end();
    if (!made || bars_of(0) != bars + 10 || bars_of(STAVES - 1) != bars + 10)
      return state.SkipWithError("ten bars were not inserted in every voice");
    undo_step();
    if (bars_of(0) != bars) return state.SkipWithError("the undo did not take them out");
    show_page_1();
    state.ResumeTiming();
  }
}

void DeleteMeasuresAtBar1(benchmark::State& state) {
  if (!load_score()) return state.SkipWithError("the score could not be made");
  show_page_1();
  const int32_t bars = bars_of(0);
  for (auto _ : state) {
    set_insertion_point(find_measure_start(1, 0), 0, -10);
    script_begin();
    script_hit(1);  // yes, ten measures
    set_undo_mark(1);
    const int done = delete_measures(10, 1);
    show_page_1();
    state.PauseTiming();
    script_end();
    if (!done || bars_of(0) != bars - 10 || bars_of(STAVES - 1) != bars - 10)
      return state.SkipWithError("ten bars were not deleted from every voice");
    undo_step();
    if (bars_of(0) != bars) return state.SkipWithError("the undo did not give them back");
    show_page_1();
    state.ResumeTiming();
  }
}

void CopyPaste100Bars(benchmark::State& state) {
  if (!load_score()) return state.SkipWithError("the score could not be made");
  show_page_1();
  const std::vector<uint16_t> copied = pitches_from(find_measure_start(1, 0), 200);
  size_t notes = 0;
  for (auto _ : state) {
    set_insertion_point(find_measure_start(1, 0), 0, -10);
    script_begin();
    script_type(4, "100");
    script_hit(7);   // all voices
    script_hit(11);  // no annotations
    script_hit(1);
    copy_measures_dialog();
    state.PauseTiming();
    script_end();
    if (copy_voice_count != STAVES) return state.SkipWithError("not every voice was copied");
    notes = 0;
    for (Drosa p = clipboard_list; p; p = p->xnext) notes += p->xkind == NOTE;
    set_insertion_point(find_measure_start(1, 0), 0, -10);
    set_undo_mark(1);
    state.ResumeTiming();
    paste_music_command();
    state.PauseTiming();
    if (pitches_from(find_measure_start(1, 0), 200) != copied)
      return state.SkipWithError("the pasted notes are not the copied ones");
    undo_step();
    clear_music_scrap(0);
    show_page_1();
    state.ResumeTiming();
  }
  state.counters["notes"] = double(notes);
}

void ChordDragStep(benchmark::State& state) {
  if (!load_score()) return state.SkipWithError("the score could not be made");
  show_page_1();
  Drosa note = find_measure_start(2, STAVES / 2);
  if (!is_plotted_note(note)) return state.SkipWithError("the note is not drawn");
  set_insertion_point(note, 0, -10);
  Rect box;
  DrosaRect(note, &box);
  int shift = 0;
  for (auto _ : state) {
    if (state.range(0) == 0) {
      // One mouse step: the frame taken from its last place, drawn at the next, and the window
      // brought up to date from the page image.
      Port* saved = platform_current_port();
      platform_set_port(music_window_port);
      pen_mode(MODE_PAT_XOR);
      frame_rect(offset_rect(box, shift, 0));
      shift = shift == 6 ? 0 : shift + 1;
      frame_rect(offset_rect(box, shift, 0));
      platform_set_port(saved);
      refresh_from_offscreen();
    } else {
      set_undo_mark(1);
      store_chord_drag(note, DRAG_CMOVE, 60);
      format_page(1, 0);
      state.PauseTiming();
      Drosa m = find_prev_kind_stop(CMOVE, vchord_first_note(note), 0);
      if (!m || m->get(xchordmove) != 60) return state.SkipWithError("the offset was not stored");
      undo_step();
      format_page(1, 0);
      state.ResumeTiming();
    }
  }
}

}  // namespace

BENCHMARK(InsertMeasuresAtBar1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(DeleteMeasuresAtBar1)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(CopyPaste100Bars)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(ChordDragStep)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
