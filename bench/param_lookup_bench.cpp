// param_lookup_bench.cpp: the cost of one parameter lookup at a laid-out note. One voice of
// 20,000 notes, each with its NTDATA (staff size 50), 32 notes to a page; every iteration
// looks up parameter 174 at the next note in turn.
//   ParamLookupUnchanged:       no PARAM node, changed flag 0: must return at once (a few
//                               tens of nanoseconds at most)
//   ParamLookupChangedNearby:   a change before every 8th note: a short walk back
//   ParamLookupChangedPageList: one change on page 1; every later lookup walks back to its
//                               page's start and finds the change in the page list
//   ParamLookupOtherParameter:  changes of another parameter before every 8th note; 174
//                               itself is flagged changed but has no change in the voice
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "model/drosa.h"
#include "model/error_report.h"
#include "model/model_globals.h"
#include "model/node_fields.h"
#include "params/param_lookup.h"
#include "support/piece_builder.h"

namespace {

constexpr int P = 174;
constexpr int OTHER = 175;
constexpr int NOTES = 20000;
constexpr int NOTES_PER_PAGE = 32;

void stop_on_report(int16_t level, const char* text) {
  std::fprintf(stderr, "unexpected report (level %d): %s\n", level, text);
  std::abort();
}

// How the piece carries its changes.
enum Changes { NONE, NEARBY, PAGE_ONE, OTHER_ONLY };

struct Piece {
  std::vector<Drosa> notes;
};

void add_change(int voice, int pindex, int32_t value, int page_list_voice) {
  Drosa c = add(voice, PARAM);
  c->set(xparam_index, int16_t(pindex));
  c->set(xparam_stsize, int16_t(50));
  ParamValue pv{};
  pv.set_integer(value);
  set_xparam_value(c, pv);
  param[pindex].changed = 1;
  // The newest change before the page.
  if (pindex == P && page_list_voice >= 0) page_param_lists[page_list_voice] = c;
}

Piece build(Changes changes) {
  set_report_observer(stop_on_report);
  reset_model_globals();
  reset_layout_globals();
  reset_params_globals();
  reset_params_lookup_globals();
  VeskMemory_Init();
  for (int p : {P, OTHER}) {
    param[p].type = PARAM_COORDINATE_PAIR;
    param[p].ref_size = 50;
    param[p].value.set_integer(60);
    param[p].small.set_integer(50);
  }
  int v = new_voice();
  Piece piece;
  piece.notes.reserve(NOTES);
  for (int i = 0; i < NOTES; ++i) {
    if (i > 0 && i % NOTES_PER_PAGE == 0) {
      Drosa page = add(v, ENDSYST);
      page->set(xendpage, 1);
      page->set(xsys_voice, uint8_t(v));
    }
    if (i % 8 == 0) {
      if (changes == NEARBY) add_change(v, P, 60 + i % 7, -1);
      if (changes == OTHER_ONLY) add_change(v, OTHER, 70, -1);
    }
    if (i == 1 && changes == PAGE_ONE) add_change(v, P, 80, v);
    Drosa n = add(v, NOTE);
    n->set(xlgval, QUARTER);
    n->set(xendvcd, 1);
    add(v, NTDATA)->set(xstsize, int8_t(50));
    piece.notes.push_back(n);
  }
  if (changes == OTHER_ONLY) param[P].changed = 1;
  return piece;
}

void run(benchmark::State& state, Changes changes, int32_t at_last_note) {
  Piece piece = build(changes);
  if (param_value(P, piece.notes.back(), nullptr)->integer() != at_last_note)
    state.SkipWithError("the piece was built wrong");
  size_t i = 0;
  int64_t sum = 0;
  for (auto _ : state) {
    const ParamValue* v = param_value(P, piece.notes[i], nullptr);
    benchmark::DoNotOptimize(v);
    sum += param_cur_size;
    if (++i == piece.notes.size()) i = 0;
  }
  benchmark::DoNotOptimize(sum);
  state.SetItemsProcessed(state.iterations());
}

void ParamLookupUnchanged(benchmark::State& state) { run(state, NONE, 60); }
void ParamLookupChangedNearby(benchmark::State& state) {
  run(state, NEARBY, 60 + (NOTES - 1) / 8 * 8 % 7);
}
void ParamLookupChangedPageList(benchmark::State& state) { run(state, PAGE_ONE, 80); }
void ParamLookupOtherParameter(benchmark::State& state) { run(state, OTHER_ONLY, 60); }

BENCHMARK(ParamLookupUnchanged);
BENCHMARK(ParamLookupChangedNearby);
BENCHMARK(ParamLookupChangedPageList);
BENCHMARK(ParamLookupOtherParameter);

}  // namespace
