// play_bench.cpp: playback of the large score (16 staves of 400 bars of 4/4 written by the
// shared generator, about 70 notes a bar), through the loopback MIDI service.
//   HearToFirstNote/1, /400: from Hear to the first note queued, with the insertion point at
//                the first bar and at the last: the engine reads silently from the start of the
//                piece up to it, so bar 400 is the worst case; each run checks that the notes
//                of the start were queued at the start's time
//   PlayTimerLateness: 30 s of playing on the system clock at a tempo that makes about 8 events
//                every 10 ms, the main loop feeding the queue once a tick as the program does:
//                how late the timer's calls come (the 99th percentile and the worst), and the
//                longest turn of the main thread (how soon the program answers an event)
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "ImportExport/musicxml_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"
#include "platform/midi.h"
#include "platform/play_timer.h"
#include "platform/ticks.h"
#include "support/bench_support.h"

namespace {

constexpr int BARS = 400;

// The generated score, written once into the build folder; empty when it cannot be.
const std::string& score() {
  static std::string text;
  if (!text.empty()) return text;
  const std::string path = std::string(VESK_BENCH_DIR) + "/score-16x400.xml";
  if (!std::ifstream(path)) {
    const std::string command = "python3 " + std::string(VESK_GEN_SCORE) + " 16 " +
                                std::to_string(BARS) + " " + path + " > /dev/null";
    if (std::system(command.c_str()) != 0) return text;
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return text = bytes.str();
}

// A fresh program holding the score, playing through the loopback.
bool load_score(benchmark::State& state) {
  if (score().empty()) {
    state.SkipWithError("the score generator could not be run");
    return false;
  }
  start_offscreen_platform();
  set_report_observer(stop_on_report);
  reset_model_globals();
  reset_layout_globals();
  reset_graphics_globals();
  reset_params_globals();
  reset_musicxml_globals();
  reset_editing_globals();
  reset_performance_globals();
  VeskMemory_Init();
  param_init();
  GE_head = newDrosa(GE_CHAR, 0);
  if (!import_musicxml_memory(score().data(), score().size(), 0)) {
    state.SkipWithError("the import failed");
    return false;
  }
  for (int v = 0; v < voice_count; ++v) page_start[v] = piece_start[v];
  current_ncontext = 1;
  platform_midi_use_loopback(true);
  midi_setup();
  midi_out_available = MIDI_OUT_SERVICE;
  prefs.set_i16(PREFS_MIDI_OUTPUT_DEVICE, 2);
  prefs.set_i32(PREFS_MIDI_OUTPUT_DEST, 1);
  install_play_timer();
  return true;
}

void unload_score() {
  finish_playing();
  reset_performance_globals();
  discard_piece_lists();
  set_report_observer(nullptr);
}

// The note-ons queued for the start's time (now + 2000 ms).
int notes_at_start(int32_t due) {
  int notes = 0;
  for (Drosa p = play_queue_first(); p; p = p->xnext)
    if (p->get(xplay_type) == PLAY_NOTE_ON && p->get(xplay_time) == due) ++notes;
  return notes;
}

void HearToFirstNote(benchmark::State& state) {
  platform_use_virtual_ticks(true);
  if (!load_score(state)) return;
  // The first note of the bar: its time in the piece is that of bar - 1 whole 4/4 bars.
  const int32_t bar = int32_t(state.range(0));
  insertion_point = NIL;
  for (Drosa p = find_next_kind(NOTE, piece_start[0]); p && !insertion_point;
       p = find_next_kind(NOTE, p))
    if (find_time_abs(p) == (bar - 1) * 65536) insertion_point = p;
  if (!insertion_point) {
    state.SkipWithError("no such bar");
    unload_score();
    return;
  }
  int notes = 0;
  for (auto _ : state) {
    const int32_t due = now_ms() + 2000;
    if (!hear_command(0, 1, 0, 0, 0)) {
      state.SkipWithError("Hear did not start");
      break;
    }
    state.PauseTiming();
    notes = notes_at_start(due);
    finish_playing();
    state.ResumeTiming();
  }
  if (notes < 16) state.SkipWithError("the notes of the start were not queued");
  state.counters["notes at the start"] = notes;
  unload_score();
}

void PlayTimerLateness(benchmark::State& state) {
  platform_use_virtual_ticks(false);
  if (!load_score(state)) return;
  insertion_point = find_measure_start(1, 0);
  using Clock = std::chrono::steady_clock;
  constexpr auto TICK = std::chrono::microseconds(16667);
  int64_t longest_turn = 0, sent = 0;
  for (auto _ : state) {
    // About 70 notes a 4/4 bar: a quarter of 40 ms gives 8 events (ons and offs) per 10 ms.
    hear_command(0, 1, 0, 1480, 3);
    platform_timer_clear_lateness();
    const auto end = Clock::now() + std::chrono::seconds(30);
    for (auto next = Clock::now(); Clock::now() < end; next += TICK) {
      const auto turn = Clock::now();
      play_music(0, 0);
      longest_turn = std::max<int64_t>(
          longest_turn,
          std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - turn).count());
      sent += int64_t(platform_midi_take_sent().size());
      std::this_thread::sleep_until(next + TICK);
    }
    stop_playing(0);
  }
  const TimerLateness lateness = platform_timer_lateness();
  int64_t counted = 0, p99 = 0;
  for (int b = 0; b < LATENESS_BUCKETS; ++b) {
    counted += lateness.buckets[b];
    if (counted * 100 >= lateness.calls * 99) {
      p99 = (b + 1) * 100;
      break;
    }
  }
  state.counters["events per 10 ms"] = double(sent) / 3000.0;
  state.counters["timer late p99 (us)"] = double(p99);
  state.counters["timer late worst (us)"] = double(lateness.worst);
  state.counters["longest main turn (us)"] = double(longest_turn);
  if (sent < 3000 * 6) state.SkipWithError("the play sent fewer events than asked for");
  unload_score();
  platform_use_virtual_ticks(true);
}

BENCHMARK(HearToFirstNote)->Arg(1)->Arg(BARS)->Unit(benchmark::kMillisecond);
BENCHMARK(PlayTimerLateness)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
