// layout_bench.cpp: formatting pages of a large piece.
// The piece: 16 staves by 400 bars of 4/4, 100 pages of two systems of two bars. Staves 0-7
// carry one voice each (quarters, two slurred eighths, a three-note chord per bar), staves
// 8-15 two voices each (half notes, the second tied into the next bar and so across every
// system and page break, over quarters, a rest and a triplet of eighths), 24 voices in all; a
// key change every 48 bars, a time-signature restatement every 96, a beaming change and a
// parameter change every 100 bars.
//   FormatEveryPage:        pages 1 to 100 in turn, as when paging through the piece;
//                           the time per page
//   FormatAllPages:         format_all_pages, first page to last; the time per page
//   ReformatAfterNoteChange/1 and /100: one note of the page changed (recorded for undo), then
//                           the page formatted again; the first and the last page must cost
//                           the same, since formatting a page never walks earlier pages
//   ReformatLastPageAfterChangeOnFirst: the worst case: a note of page 1 changed while page
//                           100 is shown, then page 100 formatted again
// Every run checks what it formatted: the page, its 16 pstaves, its first bar number, where
// each voice's page starts, and that its last system was spaced (packed positions growing
// along the first staff, the system as wide as its last chord) and drew its slurs and ties.
//   SpaceSystem/<bars>/<texture>: the spacing pass alone on one system of 16 staves and
//                           `bars` bars, after the passes before it (not timed); the time per
//                           time point must not grow with the system's length. Texture 0, the
//                           best case: the page piece's music, one voice a staff. Texture 1,
//                           the worst: a second voice on every staff in a layer of its own,
//                           grace notes, clef changes, a lyric under every note of the first
//                           staff, and two bars of rests in every staff every eight bars (merged
//                           into a multi-measure rest).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"
#include "support/bench_support.h"
#include "support/engraved_piece.h"
#include "support/layout_fixture.h"
#include "support/piece_builder.h"

namespace {

constexpr int STAVES = 16, BARS = 400, BARS_PER_SYSTEM = 2, SYSTEMS_PER_PAGE = 2;
constexpr int PAGES = BARS / (BARS_PER_SYSTEM * SYSTEMS_PER_PAGE);

struct Piece {
  int voices = 0;
  std::vector<std::vector<Drosa>> page_starts;  // [voice][page - 1]
  std::vector<std::vector<Drosa>> first_notes;  // [voice][page - 1]
};

Piece build_piece() {
  set_report_observer(stop_on_report);
  reset_model_globals();
  reset_layout_globals();
  reset_graphics_globals();
  reset_params_globals();
  connect_subsystems();
  VeskMemory_Init();
  param_init();
  set_options_i32(1, OPTIONS_PAGE_HEIGHT, 220);
  set_options_i16(1, OPTIONS_FIRST_MEASURE, 1);
  set_options_i16(1, OPTIONS_FIRST_PAGE, 1);
  GE_head = newDrosa(GE_CHAR, 0);
  Piece piece;
  for (int staff = 0; staff < STAVES; ++staff) {
    for (int layer = 0; layer < (staff < 8 ? 1 : 2); ++layer) {
      int v = new_voice("Part", layer, staff);
      std::vector<Drosa> starts{piece_start[v]};
      add_timesig(v, 4, 4);
      add_key(v, 0);
      for (int bar = 0; bar < BARS; ++bar) {
        if (bar % 48 == 47) add_key(v, bar % 96 == 47 ? 2 : -1);
        if (bar % 96 == 95) add_timesig(v, 4, 4);
        if (bar % 100 == 50) add_beaming(v, {16384});
        if (bar % 100 == 25) {
          Drosa change = add(v, PARAM);
          change->set(xparam_index, int16_t(174));
          change->set(xparam_stsize, int16_t(50));
          param[174].changed = 1;
        }
        add_engraved_bar(v, staff < 8 ? 0 : layer + 1, bar);
        add_bar(v);
        if (bar % BARS_PER_SYSTEM == BARS_PER_SYSTEM - 1 && bar + 1 < BARS) {
          bool page = bar % (BARS_PER_SYSTEM * SYSTEMS_PER_PAGE) == 3;
          Drosa brk = add_system_break(v, page);
          if (page) starts.push_back(brk);
        }
      }
      set_default_performance(find_next_kind(NOTE, piece_start[v]),
                              find_prev_kind(NOTE, voice_end(v)), 0, 0, 0, 42, 0);
      piece.page_starts.push_back(starts);
      ++piece.voices;
    }
  }
  // The first note of each voice's page, for the note changes.
  piece.first_notes.resize(piece.voices);
  for (int v = 0; v < piece.voices; ++v)
    for (Drosa start : piece.page_starts[v])
      piece.first_notes[v].push_back(find_next_kind(NOTE, start));
  count_pages();
  if (page_count != PAGES) {
    std::fprintf(stderr, "built %d pages, not %d\n", page_count, PAGES);
    std::abort();
  }
  return piece;
}

// The system formatted last was spaced: packed positions grow along the first staff's
// layer 0 and the system reaches past its last chord.
bool system_spaced() {
  int32_t previous = INT32_MIN;
  Drosa last = NIL;
  Drosa head = staff_data[first_pstaff].ppnt[0];
  for (Drosa n = head->xnext->get(xpnext); n; n = n->xnext->get(xpnext)) {
    Drosa cd = cddatptr(n, 1);
    if (!cd) continue;
    if (cd->get(xorigin) < previous) return false;
    previous = cd->get(xorigin);
    last = n;
  }
  return last && spacing_x > previous && first_note_x() > 0;
}

// The page's slurs (var 5) and ties (var 4): a slur a bar on staves 0-7 (none while every
// chord stands at one x, as before spacing); on staves 8-15 a tie within each system and one
// from each system's end, drawn in two halves (the first system's left half only when the page
// before was formatted first).
bool curves_drawn() {
  int slurs = 0, ties = 0;
  for (Drosa p = GE_head->xnext; p; p = p->xnext) {
    if (p->xkind != GE_CURVE) continue;
    slurs += p->get(xgv_var) == 5;
    ties += p->get(xgv_var) == 4;
  }
  constexpr int bars = BARS_PER_SYSTEM * SYSTEMS_PER_PAGE, tied_staves = STAVES / 2;
  const int least_ties = tied_staves * (bars + SYSTEMS_PER_PAGE - 1);
  const bool slurs_drawn = slurs == tied_staves * bars || slurs == 0;  // 0: chords not spaced
  return slurs_drawn && ties >= least_ties && ties <= least_ties + tied_staves;
}

void check_page(const Piece& piece, int page, benchmark::State& state) {
  bool good = system_spaced() && last_formatted_page == page && reformat_pending == 0 &&
              pstaff_count == STAVES * SYSTEMS_PER_PAGE &&
              page_first_bar == (page - 1) * BARS_PER_SYSTEM * SYSTEMS_PER_PAGE + 1 &&
              curves_drawn();
  for (int v = 0; v < piece.voices && good; ++v)
    good = page_start[v] == piece.page_starts[v][page - 1];
  if (!good) {
    std::fprintf(stderr, "page %d: last %d pending %d pstaves %d first bar %d\n", page,
                 last_formatted_page, reformat_pending, pstaff_count, page_first_bar);
    state.SkipWithError("the page was not formatted as built");
  }
}

// One note of the page changed as an edit does it: recorded, then the piece marked changed.
void change_note(const Piece& piece, int page, int round) {
  Drosa note = piece.first_notes[5][page - 1];
  set_undo_mark(1);
  modifyvc_with_undo(note);
  note->set(xmod7, int8_t(30 + round % 5));
  mark_piece_changed(1, 3, current_ncontext);
}

void FormatEveryPage(benchmark::State& state) {
  Piece piece = build_piece();
  for (auto _ : state) {
    for (int page = 1; page <= PAGES; ++page) {
      current_page = page;
      if (format_page(page, 0) != 1) state.SkipWithError("interrupted");
    }
    check_page(piece, PAGES, state);
  }
  state.SetItemsProcessed(state.iterations() * PAGES);
  state.counters["page_us"] = benchmark::Counter(
      double(state.iterations()) * PAGES, benchmark::Counter::kIsRate | benchmark::Counter::kInvert,
      benchmark::Counter::kIs1000);
}
BENCHMARK(FormatEveryPage)->Unit(benchmark::kMillisecond);

void FormatAllPages(benchmark::State& state) {
  Piece piece = build_piece();
  for (auto _ : state) {
    format_all_pages();
    check_page(piece, PAGES, state);
  }
  state.SetItemsProcessed(state.iterations() * PAGES);
}
BENCHMARK(FormatAllPages)->Unit(benchmark::kMillisecond);

void ReformatAfterNoteChange(benchmark::State& state) {
  int page = int(state.range(0));
  Piece piece = build_piece();
  current_page = page;
  format_page(page, 0);
  int round = 0;
  for (auto _ : state) {
    change_note(piece, page, ++round);
    if (format_page(page, 0) != 1) state.SkipWithError("interrupted");
  }
  check_page(piece, page, state);
}
BENCHMARK(ReformatAfterNoteChange)->Arg(1)->Arg(PAGES)->Unit(benchmark::kMicrosecond);

void ReformatLastPageAfterChangeOnFirst(benchmark::State& state) {
  Piece piece = build_piece();
  current_page = PAGES;
  format_page(PAGES, 0);
  int round = 0;
  for (auto _ : state) {
    change_note(piece, 1, ++round);
    if (format_page(PAGES, 0) != 1) state.SkipWithError("interrupted");
  }
  check_page(piece, PAGES, state);
}
BENCHMARK(ReformatLastPageAfterChangeOnFirst)->Unit(benchmark::kMicrosecond);

// ---- The spacing pass alone ---------------------------------------------------------------

void add_lyric_before(int v, const char* text) {
  Drosa tparam = add(v, TPARAM);
  tparam->set(xtextfont, int16_t(-5));
  tparam->set(xtextsize, uint8_t(12));
  tparam->set(xleavespace, 1);
  tparam->set(xjustified, 1);
  add(v, TEXT)->set(xtext, text);
}

void build_system(int bars, bool worst) {
  set_report_observer(stop_on_report);
  reset_model_globals();
  reset_layout_globals();
  reset_graphics_globals();
  reset_params_globals();
  connect_subsystems();
  VeskMemory_Init();
  for (int staff = 0; staff < STAVES; ++staff) {
    for (int layer = 0; layer < (worst || staff >= 8 ? 2 : 1); ++layer) {
      int v = new_voice("Part", layer, staff);
      // Two voices of one staff with stems one way and different values need two layers.
      if (worst) find_next_kind_before_note(PRINT, piece_start[v])->set(xprintdir, int16_t(2));
      add_clef(v, 0);
      add_timesig(v, 4, 4);
      for (int bar = 0; bar < bars; ++bar) {
        if (worst && bar % 8 >= 6) {
          add_rest(v, WHOLE);
        } else if (worst && layer == 1) {
          if (bar % 4 == 2) add_grace(v, EIGHTH, false, 30);
          if (bar % 4 == 3) add_clef(v, 1);
          add_note(v, HALF, 28);
          add_chord(v, QUARTER, {26, 30});
          add_rest(v, QUARTER);
        } else if (worst && staff == 0) {  // quarters and eighths, each with its syllable
          for (int lgval : {QUARTER, EIGHTH, EIGHTH, QUARTER, QUARTER}) {
            add_lyric_before(v, "la-");
            add_note(v, lgval, 30 + bar % 7);
          }
        } else {
          add_engraved_bar(v, worst || staff < 8 ? 0 : layer + 1, bar);
        }
        add_bar(v);
      }
    }
  }
}

void SpaceSystem(benchmark::State& state) {
  int bars = int(state.range(0));
  bool worst = state.range(1) != 0;
  build_system(bars, worst);
  int points = 0;
  bool merged = false;
  for (auto _ : state) {
    state.PauseTiming();
    const bool formatted = format_one_system();
    points = staff_data[0].chord_count;
    state.ResumeTiming();
    if (!formatted) {
      state.SkipWithError("a pass was interrupted");
      break;
    }
    if (spacing_pass() != 1) state.SkipWithError("interrupted");
    if (!system_spaced()) state.SkipWithError("the system was not spaced");
    merged = false;
    for (Drosa n = staff_data[0].ppnt[0]->xnext->get(xpnext); n; n = n->xnext->get(xpnext))
      merged |= n->get(xrest) && n->xnext->get(xrestchar) == 2;
  }
  if (worst && bars >= 8 && !merged) state.SkipWithError("no multi-measure rest");
  state.SetComplexityN(points);
  state.counters["points"] = double(points);
  // Time per time point (shown as seconds with a unit prefix).
  state.counters["per_point"] = benchmark::Counter(
      double(points), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(SpaceSystem)->ArgsProduct({{4, 16, 64, 256}, {0, 1}})->Unit(benchmark::kMicrosecond);

}  // namespace
