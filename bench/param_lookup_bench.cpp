// param_lookup_bench.cpp: the cost of one parameter lookup at a laid-out note of a realistic
// piece: four voices in two parts (chords of two and four notes, triplets, grace notes, bars,
// key and time changes, systems of four bars), every note with its NTDATA, about N notes a
// page in each voice (N = 32, 320, 3200: the argument). The page in the middle of the piece
// is located as the formatter would: its page lists hold each voice's earlier changes.
// Parameters of other numbers change before every page's first note, so walks and lists are
// never empty. Every lookup's value is checked against the plain walk back over the list.
//   Unchanged:     a parameter with no change anywhere (its flag is 0): returns at once
//   OnPage:        a change before each page's first note; looked up at each voice's first
//                  note of the page (/0, best) or its last (/1, the deepest: worst)
//   EarlierPage:   one change on page 1 only, found through the page list; first or last note
//   AfterEdit:     a change linked and unlinked elsewhere before each lookup at the last note
//                  of the page: what the first lookup after an edit costs (the page's
//                  stretch of each voice is indexed again)
//   PlainWalk:     OnPage without the index: the walk back over the page it saves
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/app_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "support/bench_support.h"
#include "support/piece_builder.h"

namespace {

constexpr int P = 174;          // the parameter looked up (a coordinate pair)
constexpr int UNCHANGED = 250;  // never changed
constexpr int OTHERS[] = {175, 176, 177, 178, 369, 414};
constexpr int VOICES = 4;
constexpr int NOTES_A_BAR = 8;  // in every voice
constexpr int BARS_A_SYSTEM = 4;
constexpr int PAGES = 9;

enum Changes { NONE, ON_PAGE, PAGE_ONE };

Drosa add_change(int v, int pindex, int32_t value) {
  Drosa c = add(v, PARAM);
  c->set(xparam_index, int16_t(pindex));
  c->set(xparam_stsize, int16_t(50));
  ParamValue pv{};
  pv.set_integer(value);
  set_xparam_value(c, pv);
  param[pindex].changed = 1;
  return c;
}

// One bar of voice v: eight notes as chords, triplets, graces and plain notes.
void add_bar_of_notes(int v, int bar) {
  auto note = [&](Drosa n) { add_after(n, NTDATA)->set(xstsize, int8_t(v == 3 ? 40 : 50)); };
  switch (v) {
    case 0:  // four chords of two notes
      for (int i = 0; i < 4; ++i) {
        Drosa first = add_chord(v, QUARTER, {30 + i, 34 + i});
        note(first);
        note(first->xnext->xnext);
      }
      break;
    case 1:  // two triplets of eighths and two quarters
      for (int t = 0; t < 2; ++t) {
        add_nest(v, 3, 8);
        for (int i = 0; i < 3; ++i) {
          Drosa n = add_note(v, EIGHTH, 28 + i);
          make_tuplet(n, 3, 2);
          note(n);
        }
      }
      note(add_note(v, QUARTER, 30));
      note(add_note(v, QUARTER, 31));
      break;
    case 2:  // a grace note and seven eighths (the last a rest)
      note(add_grace(v, SIXTEENTH));
      for (int i = 0; i < 6; ++i) note(add_note(v, EIGHTH, 20 + (bar + i) % 7));
      note(add_rest(v, EIGHTH));
      break;
    default: {  // two chords of four notes
      for (int i = 0; i < 2; ++i) {
        Drosa n = add_chord(v, HALF, {14, 16, 18, 21});
        for (int k = 0; k < 4; ++k, n = n->xnext->xnext) note(n);
      }
    }
  }
  add_bar(v);
}

struct Piece {
  // Each voice's first and last note on the located page.
  std::vector<Drosa> first_on_page, last_on_page;
  Drosa edit_anchor;  // a node of page 1 where AfterEdit links its change
};

// Builds the piece and locates page `located` as the page locator would.
Piece build(int notes_a_page, Changes changes) {
  set_report_observer(stop_on_report);
  reset_model_globals();
  reset_layout_globals();
  reset_params_globals();
  connect_subsystems();
  VeskMemory_Init();
  for (int p : {P, UNCHANGED}) {
    param[p].type = PARAM_COORDINATE_PAIR;
    param[p].ref_size = 50;
    param[p].value.set_integer(60);
    param[p].small.set_integer(50);
  }
  for (int p : OTHERS) param[p] = param[P];
  const int bars_a_page = notes_a_page / NOTES_A_BAR;
  const int located = PAGES / 2 + 1;
  Piece piece;
  piece.first_on_page.resize(VOICES);
  piece.last_on_page.resize(VOICES);
  for (int v = 0; v < VOICES; ++v) {
    new_voice(v < 2 ? "Piano" : "Strings", v % 2);
    add_clef(v, v % 2 ? 2 : 1);
    add_key(v, 2);
    add_timesig(v, 4, 4);
    Drosa head = piece_start[v];
    page_param_lists[v] = NIL;
    for (int page = 1; page <= PAGES; ++page) {
      if (changes == ON_PAGE) add_change(v, P, 70 + page % 5);
      if (changes == PAGE_ONE && page == 1) add_change(v, P, 80);
      add_change(v, OTHERS[(page + v) % 6], 90);
      for (int bar = 0; bar < bars_a_page; ++bar) {
        if (bar % 12 == 11) add_key(v, bar % 5 - 2);
        if (bar % 20 == 19) add_timesig(v, 3 + bar % 2, 4);
        Drosa before = voice_end(v)->xback;
        add_bar_of_notes(v, bar);
        if (page == located && bar == 0) piece.first_on_page[v] = find_next_kind(NOTE, before);
        if (page == 1 && bar == 0 && v == 0) piece.edit_anchor = before;
        if ((bar + 1) % BARS_A_SYSTEM == 0 || bar + 1 == bars_a_page) {
          if (page == located && bar + 1 == bars_a_page)
            piece.last_on_page[v] = find_prev_kind(NOTE, voice_end(v));
          add_system_break(v, bar + 1 == bars_a_page);
        }
      }
    }
    // The page locator: each voice's changes before the located page, newest first, and the
    // voice byte of every ENDSYST passed.
    int page = 1;
    for (Drosa p = head; p && page < located; p = p->xnext) {
      if (p->xkind == PARAM) {
        p->set(xprev_param, page_param_lists[v]);
        page_param_lists[v] = p;
      }
      if (p->xkind == ENDSYST) {
        p->set(xsys_voice, uint8_t(v));
        if (p != head && p->get(xendpage)) ++page;
      }
    }
  }
  return piece;
}

// The value at each target by the plain walk.
std::vector<int32_t> plain_values(int pindex, const std::vector<Drosa>& targets) {
  use_param_index(false);
  std::vector<int32_t> values;
  for (Drosa n : targets) values.push_back(param_value(pindex, n, nullptr)->integer());
  use_param_index(true);
  return values;
}

void run(benchmark::State& state, Changes changes, int pindex, bool edit, bool index = true) {
  Piece piece = build(int(state.range(0)), changes);
  const std::vector<Drosa>& targets = state.range(1) ? piece.last_on_page : piece.first_on_page;
  std::vector<int32_t> expected = plain_values(pindex, targets);
  size_t i = 0;
  bool wrong = false;
  use_param_index(index);
  for (auto _ : state) {
    if (edit) {
      Drosa change = newDrosa(PARAM, 0);
      change->set(xparam_index, int16_t(OTHERS[0]));
      link_after(change, piece.edit_anchor);
      destroy_node(change);
    }
    wrong |= param_value(pindex, targets[i], nullptr)->integer() != expected[i];
    if (++i == targets.size()) i = 0;
  }
  use_param_index(true);
  if (wrong) state.SkipWithError("a lookup differs from the plain walk");
  state.SetItemsProcessed(state.iterations());
}

void ParamLookupUnchanged(benchmark::State& state) { run(state, ON_PAGE, UNCHANGED, false); }
void ParamLookupOnPage(benchmark::State& state) { run(state, ON_PAGE, P, false); }
void ParamLookupEarlierPage(benchmark::State& state) { run(state, PAGE_ONE, P, false); }
void ParamLookupAfterEdit(benchmark::State& state) { run(state, ON_PAGE, P, true); }
void ParamLookupPlainWalk(benchmark::State& state) { run(state, ON_PAGE, P, false, false); }

void page_sizes(benchmark::internal::Benchmark* b) {
  for (int notes : {32, 320, 3200})
    for (int deep : {0, 1}) b->Args({notes, deep});
}

BENCHMARK(ParamLookupUnchanged)->Apply(page_sizes);
BENCHMARK(ParamLookupOnPage)->Apply(page_sizes);
BENCHMARK(ParamLookupEarlierPage)->Apply(page_sizes);
BENCHMARK(ParamLookupAfterEdit)->Apply(page_sizes);
BENCHMARK(ParamLookupPlainWalk)->Apply(page_sizes);

}  // namespace
