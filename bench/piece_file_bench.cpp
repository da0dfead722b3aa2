// piece_file_bench.cpp: writing and reading a piece file of a million nodes.
//   PieceFileWrite: the piece written (header, every node record, flush, rename)
//   PieceFileRead:  the file read back (records, checks of every voice, parameter table)
//   Each direction should stay well under a second for a million nodes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "model/drosa.h"
#include "model/model_globals.h"
#include "model/node_fields.h"
#include "model/readvesk.h"
#include "model/writevesk.h"
#include "params/param_table.h"
#include "support/piece_builder.h"

namespace {

constexpr int VOICES = 4;
constexpr int NODES_PER_VOICE = 250000;

std::string bench_path() { return "/tmp/vesk-bench-" + std::to_string(getpid()) + ".vesk"; }

// Four voices of notes with a bar every four, about a million nodes in all.
void million_node_piece() {
  reset_model_globals();
  VeskMemory_Init();
  read_header(nullptr);
  voice_count = 0;
  for (int v = 0; v < VOICES; ++v) {
    new_voice("Strings", v, v);
    for (int i = 4; i < NODES_PER_VOICE; ++i) {
      if (i % 5 == 0)
        add_bar(v);
      else
        add_note(v, QUARTER, 30 + i % 7)->set(xacc, 3);
    }
  }
}

void PieceFileWrite(benchmark::State& state) {
  million_node_piece();
  std::string path = bench_path();
  for (auto _ : state) benchmark::DoNotOptimize(write_piece_file(0, NIL, path));
  state.SetItemsProcessed(state.iterations() * int64_t(VOICES) * NODES_PER_VOICE);
  std::remove(path.c_str());
}
BENCHMARK(PieceFileWrite)->Unit(benchmark::kMillisecond);

void PieceFileRead(benchmark::State& state) {
  million_node_piece();
  param_init();
  std::string path = bench_path();
  write_piece_file(0, NIL, path);
  piece_fsspec = path;
  for (auto _ : state) {
    discard_piece_lists();
    benchmark::DoNotOptimize(read_piece(nullptr));
  }
  state.SetItemsProcessed(state.iterations() * int64_t(VOICES) * NODES_PER_VOICE);
  discard_piece_lists();
  std::remove(path.c_str());
}
BENCHMARK(PieceFileRead)->Unit(benchmark::kMillisecond);

}  // namespace
