// piece_file_bench.cpp: writing and reading a piece file of a million nodes, and finding the
// first bar at which the voices of such a piece disagree.
//   PieceFileWrite:           the piece written (header, every node record, flush, naming)
//   PieceFileRead/warm:       read back with the file in the page cache (records, the checks of
//                             every voice, the parameter table)
//   PieceFileRead/cold:       the same with the file dropped from the page cache before each
//                             read, as when a piece is first opened
//   FirstInconsistentBar/S/B: four voices of 50,000 measures with a system every S measures (0:
//                             one system for the whole piece) whose last voice lacks bar line B:
//                             2 the first (best case), 50,000 the last (worst case)
// The piece has four voices in two parts, with chords, triplets, rests, and key, time, system
// and page changes. Each run checks what it timed: a failed write or read, a piece read back
// short, or a wrong bar stops it with an error.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "app/app_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "support/bench_support.h"
#include "support/piece_builder.h"

namespace {

constexpr int VOICES = 4;
constexpr int MEASURES = 25000;  // about 10 nodes each: a million nodes in all

std::string bench_path() { return "/tmp/vesk-bench-" + std::to_string(getpid()) + ".vesk"; }

// A report means the piece was built or read wrong; the numbers would mean nothing.
void fresh_piece() {
  set_report_observer(stop_on_report);
  reset_model_globals();
  reset_layout_globals();
  connect_subsystems();
  VeskMemory_Init();
  read_header(nullptr);
  voice_count = 0;
  current_page = 1;
}

int count_nodes() {
  int nodes = 0;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext) ++nodes;
  return nodes;
}

// Two parts of two voices: 4/4 measures of a three-note chord, a triplet of eighths, two
// eighths and a quarter rest; every 16 measures the time changes between 4/4 and 3/4 (a 3/4
// measure leaves out the eighths), every 32 the key; a system every 4 measures, a page every 5
// systems.
void realistic_piece() {
  fresh_piece();
  for (int v = 0; v < VOICES; ++v) {
    new_voice(v < 2 ? "Piano" : "Strings", v % 2, v);
    add_clef(v, v % 2);
    add_key(v, 2);
    add_timesig(v, 4, 4);
    for (int m = 1; m <= MEASURES; ++m) {
      bool three = (m - 1) / 16 % 2 == 1;
      int base = 28 + 7 * (v % 2) + m % 5;
      add_chord(v, QUARTER, {base, base + 2, base + 4});
      for (int i = 0; i < 3; ++i) make_tuplet(add_note(v, EIGHTH, base + i), 3, 2);
      if (!three) {
        add_note(v, EIGHTH, base + 1);
        add_note(v, EIGHTH, base + 3);
      }
      add_rest(v, QUARTER);
      add_bar(v);
      if (m % 4 == 0) add_system_break(v, m % 20 == 0, 1);
      if (m % 16 == 0) add_timesig(v, three ? 4 : 3, 4);
      if (m % 32 == 0) add_key(v, m % 64 ? -3 : 2);
    }
  }
}

void PieceFileWrite(benchmark::State& state) {
  realistic_piece();
  const int nodes = count_nodes();
  const std::string path = bench_path();
  for (auto _ : state)
    if (!write_piece_file(0, NIL, path)) {
      state.SkipWithError("the piece was not written");
      break;
    }
  state.SetItemsProcessed(state.iterations() * int64_t(nodes));
  std::remove(path.c_str());
}
BENCHMARK(PieceFileWrite)->Unit(benchmark::kMillisecond);

// Drops the file's pages from the page cache (they are clean: the save flushed them).
bool drop_from_cache(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool done = ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
  ::close(fd);
  return done;
}

void PieceFileRead(benchmark::State& state) {
  const bool cold = state.range(0) != 0;
  realistic_piece();
  param_init();
  const int nodes = count_nodes();
  const std::string path = bench_path();
  const bool written = write_piece_file(0, NIL, path);
  if (!written) state.SkipWithError("the piece was not written");
  piece_fsspec = path;
  for (auto _ : state) {
    if (!written) break;
    state.PauseTiming();
    discard_piece_lists();
    if (cold && !drop_from_cache(path)) {
      state.SkipWithError("the file stayed in the cache");
      break;
    }
    state.ResumeTiming();
    if (!read_piece(nullptr)) {
      state.SkipWithError("the piece was not read");
      break;
    }
    state.PauseTiming();
    if (voice_count != VOICES || count_nodes() < nodes) {
      state.SkipWithError("read back short");
      break;
    }
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * int64_t(nodes));
  state.SetLabel(cold ? "cold" : "warm");
  discard_piece_lists();
  std::remove(path.c_str());
}
BENCHMARK(PieceFileRead)->ArgName("cold")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Four voices of 4/8 measures of eighths, the last lacking the bar line before measure
// `missing`: the voices disagree there.
void disagreeing_piece(int measures, int systems_every, int missing) {
  fresh_piece();
  for (int v = 0; v < VOICES; ++v) {
    new_voice("Strings", v, v);
    for (int m = 1; m <= measures; ++m) {
      if (m > 1 && !(v == VOICES - 1 && m == missing)) add_bar(v);
      if (systems_every && m > 1 && (m - 1) % systems_every == 0) add_system_break(v, false, 1);
      for (int i = 0; i < 4; ++i) add_note(v, EIGHTH, 30 + (m + i) % 7);
    }
  }
}

void FirstInconsistentBar(benchmark::State& state) {
  constexpr int measures = 50000;
  const int systems_every = int(state.range(0)), missing = int(state.range(1));
  disagreeing_piece(measures, systems_every, missing);
  for (auto _ : state) {
    int bar = first_inconsistent_bar();
    if (bar != missing) {
      state.SkipWithError(("found bar " + std::to_string(bar)).c_str());
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * int64_t(count_nodes()));
}
BENCHMARK(FirstInconsistentBar)
    ->ArgNames({"systems", "bar"})
    ->Args({8, 2})
    ->Args({8, 50000})
    ->Args({0, 2})
    ->Args({0, 50000})
    ->Unit(benchmark::kMillisecond);

}  // namespace
