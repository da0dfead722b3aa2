// key_signature_bench.cpp: Insert Key Signature at bar 1 of the large score the shared generator
// writes (16 staves of 400 bars of 4/4, about 70 notes a bar), imported whole: the key placed in
// every voice and every later note of the piece brought into it, then undone.
//   InsertKeyAtBar1/0: D major over the old key, the notes kept where they are: every note's
//                      printed accidental judged again (the usual case)
//   InsertKeyAtBar1/1: the same with the notes transposed up to the new key: every note moved,
//                      respelt and judged again (the worst case)
// Every run checks what it did: the key before every voice's first note, the notes moved or
// not, and the undo giving every note back as it was.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ImportExport/musicxml_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/script.h"
#include "support/bench_support.h"

namespace {

constexpr int STAVES = 16;

// Imports the score once and keeps it, page 1 formatted; false when the generator cannot run.
bool load_score() {
  static bool loaded = false;
  if (loaded) return voice_count == STAVES;
  loaded = true;
  if (!import_generated_score(16, 400)) return false;
  current_page = 1;
  format_page(1, 0);
  return voice_count == STAVES;
}

std::vector<uint16_t> pitches() {
  std::vector<uint16_t> words;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (p->xkind == NOTE) words.push_back(p->get(xpitch));
  return words;
}

void InsertKeyAtBar1(benchmark::State& state) {
  if (!load_score()) return state.SkipWithError("the score could not be imported");
  Drosa first = find_measure_start(1, 0);
  if (!is_plotted_note(first)) return state.SkipWithError("bar 1 is not drawn");
  const std::vector<uint16_t> before = pitches();
  KeyCommandState& st = key_command_state;
  st.all_staves = 1;
  st.at_insertion_point = 1;
  st.direction = state.range(0) ? KEY_MOVE_UP : KEY_MOVE_NONE;
  st.keep_display = st.direction ? 1 : 0;
  Drosa in_force = keysig_before(first);
  st.new_key = newDrosa(KEYSIG, 0);
  st.new_key->set(xkey, 2);
  build_keysig(nullptr, st.new_key, in_force);
  st.key_before = in_force ? copyDrosa(in_force) : newDrosa(KEYSIG, 0);
  int moved = 0;
  for (auto _ : state) {
    set_undo_mark(0);
    st.answer = KEY_UNDECIDED;
    apply_key_cb(first);
    state.PauseTiming();
    for (int v = 0; v < voice_count; ++v) {
      Drosa key = find_prev_kind(KEYSIG, find_next_kind(NOTE, piece_start[v]));
      if (!key || key->get(xkey) != 2) return state.SkipWithError("a voice has no new key");
    }
    const std::vector<uint16_t> after = pitches();
    moved = 0;
    for (size_t i = 0; i < after.size(); ++i) moved += after[i] != before[i];
    state.ResumeTiming();
    set_undo_mark(0);
    undo_redo(1);
  }
  if (pitches() != before) return state.SkipWithError("the undo did not give the notes back");
  if ((moved > 0) != (state.range(0) != 0)) return state.SkipWithError("the notes moved wrongly");
  destroyDrosa(st.new_key);
  destroyDrosa(st.key_before);
  st.new_key = st.key_before = NIL;
  clear_undo(1);
  state.counters["notes"] = double(before.size());
  state.counters["moved"] = double(moved);
}

BENCHMARK(InsertKeyAtBar1)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
