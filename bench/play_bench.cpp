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
#include <iterator>
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
#include "support/piece_builder.h"

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
  connect_subsystems();
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

// ---- MIDI files -------------------------------------------------------------------------------

// ExportMidi: the score written as a MIDI file of 960 ticks a quarter; each run checks that every
// note-on has its note-off and that the track ends with the 400th bar.
void ExportMidi(benchmark::State& state) {
  platform_use_virtual_ticks(true);
  if (!load_score(state)) return;
  const std::string path = std::string(VESK_BENCH_DIR) + "/score-16x400.mid";
  int64_t ons = 0, offs = 0, last_tick = 0;
  for (auto _ : state) {
    if (!write_midi_file(path, 960)) {
      state.SkipWithError("the export failed");
      break;
    }
    state.PauseTiming();
    std::ifstream in(path, std::ios::binary);
    open_midi_reader(std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {}));
    ons = offs = 0;
    if (read_midi_header() && find_midi_track(0) > 0 && read_midi_event(1))
      while (read_midi_event(0)) {
        (midi_event.bytes[2] ? ons : offs) += (midi_event.bytes[0] & 0xF0) == 0x90;
        last_tick = midi_event.time;
      }
    close_midi_reader();
    state.ResumeTiming();
  }
  state.counters["notes"] = double(ons);
  if (ons < 16 * BARS * 2 || ons != offs || last_tick < (BARS - 1) * 4 * 960)
    state.SkipWithError("the file does not hold the score's notes");
  unload_score();
}

// A track of beats in 4/4 at 960 ticks a quarter, of about `bytes`, in running status with
// note-offs as note-ons of velocity 0. Dense (`keys` 2 to 9): each beat four sixteenths that
// are chords of `keys` keys, moving each beat. Sparse (`keys` 1): each beat one quarter note
// under the pitch bends of a played performance, one every 30 ticks.
std::vector<uint8_t> midi_track_of(int bytes, int keys) {
  static const int shape[9] = {0, 4, 7, 12, 16, 19, 24, 28, 31};
  std::vector<uint8_t> body = {0x00, 0x90};
  if (keys == 1) {
    for (int beat = 0; int(body.size()) < bytes - 140; ++beat) {
      const uint8_t key = uint8_t(48 + (beat * 5) % 24);
      if (beat) body.insert(body.end(), {0x54, 0x90});  // 84 ticks after the last bend
      body.insert(body.end(), {key, 80});
      for (int b = 0; b < 30; ++b)
        body.insert(body.end(), {uint8_t(b ? 30 : 6), 0xE0, uint8_t(b * 4), uint8_t(64 + b % 8)});
      body.insert(body.end(), {0x00, 0x90, key, 0});
    }
  } else {
    const int beat_bytes = 4 * (6 * keys + 1);
    for (int beat = 0; int(body.size()) < bytes - beat_bytes - 4; ++beat)
      for (int s = 0; s < 4; ++s) {
        const int key = 36 + (beat * 5 + s * 2) % 24;
        for (int i = 0; i < keys; ++i) {
          if (i)
            body.push_back(0x00);
          else if (s || beat)
            body.push_back(0x08);  // 8 ticks after the last note-off
          body.insert(body.end(), {uint8_t(key + shape[i]), 80});
        }
        for (int i = 0; i < keys; ++i) {
          if (i)
            body.push_back(0x00);
          else
            body.insert(body.end(), {0x81, 0x68});  // 232 ticks after the onset
          body.insert(body.end(), {uint8_t(key + shape[i]), 0});
        }
      }
  }
  body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
  return body;
}

// A format-1 MIDI file of about `bytes`: a tempo track, then `tracks` tracks alike that share
// the bytes (midi_track_of).
std::vector<uint8_t> midi_file_of(int bytes, int keys, int tracks) {
  std::vector<uint8_t> file = {'M',  'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, uint8_t(tracks + 1),
                               0x03, 0xC0};
  auto chunk = [&file](const std::vector<uint8_t>& body) {
    const uint32_t n = uint32_t(body.size());
    file.insert(file.end(), {'M', 'T', 'r', 'k', uint8_t(n >> 24), uint8_t(n >> 16),
                             uint8_t(n >> 8), uint8_t(n)});
    file.insert(file.end(), body.begin(), body.end());
  };
  chunk({0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08, 0x00, 0xFF, 0x2F, 0x00});
  const std::vector<uint8_t> track = midi_track_of((bytes - 34) / tracks - 8, keys);
  for (int t = 0; t < tracks; ++t) chunk(track);
  return file;
}

// ImportMidi/KB/keys/tracks: the import of the last track of a file of 64 KB, 256 KB and 1 MB
// into a voice of whole rests with their playing data, from the reading to the last chord
// inserted (quantising included). The worst cases are dense tracks of chords of sixteenths,
// each chord with its spelling, accidentals and playing data: of five keys, the most chords a
// megabyte can hold within the beats a recording keeps (its time grows with the file), and of
// nine keys (the most a chord keeps), the most notes. Beside them the best: a sparse track
// (quarter notes under a stream of pitch bends: the reading dominates) and a megabyte of
// sixteen dense tracks, of which one is made into notes. Each run checks the chords inserted,
// their values and times.
void ImportMidi(benchmark::State& state) {
  const int bytes = int(state.range(0)) << 10, keys = int(state.range(1));
  const int tracks = int(state.range(2));
  const std::vector<uint8_t> file = midi_file_of(bytes, keys, tracks);
  const int track_bytes = bytes / tracks;
  const int beats = keys == 1 ? track_bytes / 128 : track_bytes / (4 * (6 * keys + 1));
  const int chords_asked = keys == 1 ? beats - 2 : beats * 4 - 8;
  const int value = keys == 1 ? QUARTER : SIXTEENTH;
  const uint32_t time = keys == 1 ? 16384 : 4096;
  int chords = 0, made = 0;
  bool values = true;
  for (auto _ : state) {
    state.PauseTiming();
    fresh_letter_page_program();
    set_report_observer(stop_on_report);
    read_header(nullptr);
    voice_count = 0;
    const int v = new_voice();
    add_timesig(v, 4, 4);
    for (int b = 0; b < beats / 4 + 8; ++b) add_rest(v, WHOLE), add_bar(v);
    current_ncontext = 1;
    page_start[v] = piece_start[v];
    insertion_point = find_next_kind(NOTE, piece_start[v]);
    // The rests' playing data, as a piece read from its file has it.
    set_default_performance(insertion_point, find_prev_kind(NOTE, voice_end(v)), 1, 0, 1, 42, 0);
    note_entry_active = 1;
    record_settings = RecordSettings{};
    record_settings.filled = true;
    record_settings.import = 1;
    record_settings.subdivision = 5;
    record_settings.track = tracks;
    state.ResumeTiming();
    open_midi_reader(file);
    read_midi_header();
    begin_recording(1, 0);
    read_recorded_track();
    made = 0;
    if (!recording.cancelled && normalize_recording()) {
      build_active_templates();
      match_templates();
      made = make_recorded_notes(current_note_template);
    }
    close_midi_reader();
    state.PauseTiming();
    release_recording();
    chords = 0;
    for (Drosa p = insertion_point; p; p = p->xnext)
      if (p->xkind == NOTE && p->get(xendvcd) && !p->get(xrest)) {
        ++chords;
        values = values && p->get(xlgval) == value && p->get(xttn) == time;
      }
    discard_piece_lists();
    set_report_observer(nullptr);
    state.ResumeTiming();
  }
  state.counters["chords"] = chords;
  state.counters["notes"] = chords * keys;
  if (!made) state.SkipWithError("nothing was imported");
  if (chords < chords_asked || !values)
    state.SkipWithError("the chords are not the file's sixteenths or quarters");
}

BENCHMARK(ExportMidi)->Unit(benchmark::kMillisecond);
BENCHMARK(ImportMidi)
    ->Args({64, 5, 1})
    ->Args({256, 5, 1})
    ->Args({1024, 5, 1})
    ->Args({1024, 9, 1})
    ->Args({1024, 1, 1})
    ->Args({1024, 5, 16})
    ->ArgNames({"KB", "keys", "tracks"})
    ->Unit(benchmark::kMillisecond);

BENCHMARK(HearToFirstNote)->Arg(1)->Arg(BARS)->Unit(benchmark::kMillisecond);
BENCHMARK(PlayTimerLateness)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
