// relocate_bench.cpp: justification of one system of 16 staves by springs and rods; the time
// per system must grow linearly with its time points. The system is laid out by the passes
// before the spacing pass and then spaced here as that pass would: every time point an ideal
// x by its duration and a packed x.
//   Loose:  one voice per staff (eighths, a triplet, a chord), packed at half the ideal
//           distances: no packed distance binds, one rod (the staff's width) stretches all;
//           the best case
//   Tight:  a second voice per staff in its own layer, every time point packed 80 apart
//           whatever its duration (as when accidentals crowd short notes), so that the short
//           notes' rods bind and are resolved one by one, and a relocation zone at every
//           bar: the worst case
// Every run checks what it placed: pstaff 0's chords stand left to right, none beyond the
// staff's right edge, and no spring or rod is left.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "app/app_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "support/bench_support.h"
#include "support/layout_fixture.h"
#include "support/piece_builder.h"

namespace {

void fresh_store() {
  set_report_observer(stop_on_report);
  reset_model_globals();
  reset_layout_globals();
  reset_params_globals();
  connect_subsystems();
  VeskMemory_Init();
  set_options_i32(1, OPTIONS_PAGE_WIDTH, 85);
  current_page = 1;
}

constexpr int STAVES = 16;
constexpr int32_t MEASURE = 65536;

void build_system(int measures, bool two_voices) {
  for (int s = 0; s < STAVES; ++s) {
    int a = new_voice("Upper", 0, s);
    find_next_kind_before_note(PRINT, piece_start[a])->set(xprintdir, int16_t(2));
    for (int m = 0; m < measures; ++m) {
      if (two_voices && m > 0) {
        Drosa zone = add(a, ZONE);
        zone->set(xzone_xpermil, int16_t(50 + 900 * m / measures));
        zone->set(xzone_wholec, MEASURE * m);
        zone->set(xzone_sys_wholec, MEASURE * measures);
      }
      for (int i = 0; i < 4; ++i) add_note(a, EIGHTH, 36 + (i + m) % 8);
      for (int i = 0; i < 3; ++i) make_tuplet(add_note(a, EIGHTH, 38 + i), 3, 2);
      add_chord(a, QUARTER, {33, 35, 37});
      add_bar(a);
    }
    if (!two_voices) continue;
    int b = new_voice("Lower", 0, s);
    find_next_kind_before_note(PRINT, piece_start[b])->set(xprintdir, int16_t(1));
    for (int m = 0; m < measures; ++m) {
      add_note(b, HALF, 28);
      add_chord(b, QUARTER, {26, 30});
      add_rest(b, QUARTER);
      add_bar(b);
    }
  }
}

struct Placed {
  Drosa first, nt, cd, cd2;  // first note, NTDATA of the last, chord records
  Drosa bar;                 // the BAR before the chord, or NIL
};

// Every chord of the system, and the packed and ideal x of each time point by its start.
std::vector<Placed> chords_of_system() {
  std::vector<Placed> chords;
  for (int p = first_pstaff; p <= last_pstaff; ++p)
    for (Drosa head : staff_data[p].ppnt)
      for (Drosa n = head ? head->xnext->get(xpnext) : NIL, first = n; n;
           n = n->xnext->get(xpnext)) {
        if (!n->xnext->get(xendscd)) continue;
        chords.push_back({first, n->xnext, n->xnext->xnext, n->xnext->xnext->xnext,
                          find_prev_kind_stop(BAR, first, 0)});
        first = n->xnext->get(xpnext);
      }
  return chords;
}

// The packed and ideal x of every chord: each time point's ideal distance grows with its
// duration; packed at half of it (loose) or 80 apart (tight).
struct Spacing {
  std::vector<int32_t> origin, ideal;
  int32_t end_x = 0, end_ideal = 0;
};

Spacing space(const std::vector<Placed>& chords, bool tight, int32_t left) {
  std::map<int32_t, std::pair<int32_t, int32_t>> at;  // start -> packed, ideal
  for (const Placed& c : chords) at[c.cd2->get(xswholec)] = {0, 0};
  int32_t packed = left + 100, ideal = 0, before = 0;
  for (auto& [start, xs] : at) {
    int32_t gap = start - before;
    ideal += gap / 80 + 1;
    packed += tight ? (start ? 80 : 0) : gap / 160;
    xs = {packed, ideal};
    before = start;
  }
  Spacing spacing{{}, {}, packed + 80, ideal + 200};
  for (const Placed& c : chords) {
    spacing.origin.push_back(at[c.cd2->get(xswholec)].first);
    spacing.ideal.push_back(at[c.cd2->get(xswholec)].second);
  }
  return spacing;
}

// What the spacing pass leaves, written again before every run.
void apply(const std::vector<Placed>& chords, const Spacing& spacing, int32_t left) {
  for (size_t i = 0; i < chords.size(); ++i) {
    const Placed& c = chords[i];
    int32_t x = spacing.origin[i];
    c.cd->set(xorigin, x);
    c.cd2->set(xidealx, spacing.ideal[i]);
    c.cd2->set(xreloc_spring, 0);
    c.nt->set(xhdx, x);
    if (c.bar) c.bar->set(xbarx, x - 40);  // the bar line 40 before its chord
  }
  set_first_note_x(left + 100);
  spacing_x = spacing.end_x;
  spacing_idealx = spacing.end_ideal;
  for (int p = first_pstaff; p <= last_pstaff; ++p) spacing_staff[p].trailing_width = 80;
}

bool placed_in_order(int32_t right) {
  int32_t last = INT32_MIN;
  Drosa head = staff_data[0].ppnt[0];
  for (Drosa n = head->xnext->get(xpnext); n; n = n->xnext->get(xpnext)) {
    int32_t x = n->xnext->get(xhdx);
    if (!n->xnext->get(xendscd)) continue;
    if (x < last || x > right) return false;  // chords split at one time share an x
    last = x;
  }
  return !spring_head && !rod_head;
}

void run(benchmark::State& state, bool tight) {
  fresh_store();
  const int measures = int(state.range(0));
  build_system(measures, tight);
  if (!format_one_system()) state.SkipWithError("a pass was interrupted");
  const int32_t left = staff_left_x(0, 1), right = staff_right_x(0, 1);
  const std::vector<Placed> chords = chords_of_system();
  int time_points = 0;
  for (const Placed& c : chords)
    time_points = std::max<int>(time_points, c.cd2->get(xchordNum) + 1);
  const Spacing spacing = space(chords, tight, left);
  for (auto _ : state) {
    apply(chords, spacing, left);
    if (!relocate(1)) state.SkipWithError("interrupted");
    if (!placed_in_order(right)) state.SkipWithError("chords out of place");
  }
  state.SetComplexityN(time_points);
  state.counters["time_points"] = double(time_points);
  state.counters["chords"] = double(chords.size());
}

void Loose(benchmark::State& state) { run(state, false); }
void Tight(benchmark::State& state) { run(state, true); }

BENCHMARK(Loose)->Arg(2)->Arg(8)->Arg(32)->Complexity(benchmark::oN);
BENCHMARK(Tight)->Arg(2)->Arg(8)->Arg(32)->Complexity(benchmark::oN);

}  // namespace
