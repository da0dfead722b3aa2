// fuzz_midi_read.cpp: a MIDI file of arbitrary bytes read as Import MIDI reads it: the header,
// the click division, every track's events, and the recorder and the rhythm templates over the
// first three tracks; the first track with notes is made into chords in a voice of whole rests
// with their playing data, as the import makes them. Nothing may be read outside the bytes,
// the voice must stay whole, and every node the recording and the voice took must go back to
// the store.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/app_services.h"
#include "fuzz_support.h"
#include "model/model_services.h"
#include "performance/performance_services.h"
#include "platform/script.h"
#include "support/piece_builder.h"

namespace {

// The recording made into chords at the first of 64 bars of whole rests in 4/4, then the voice
// and the undo history let go of.
void make_notes() {
  voice_count = 0;
  const int v = new_voice();
  add_timesig(v, 4, 4);
  for (int bar = 0; bar < 64; ++bar) add_rest(v, WHOLE), add_bar(v);
  current_ncontext = 1;
  page_start[v] = piece_start[v];
  insertion_point = find_next_kind(NOTE, piece_start[v]);
  set_default_performance(insertion_point, find_prev_kind(NOTE, voice_end(v)), 1, 0, 1, 42, 0);
  note_entry_active = 1;
  make_recorded_notes(current_note_template);
  note_entry_active = 0;
  std::string problems;
  if (check_voice_lists(&problems) != 0) {
    std::fprintf(stderr, "the chords made left the voice broken: %s\n", problems.c_str());
    std::abort();
  }
  insertion_point = NIL;
  clear_undo(1);
  discard_piece_lists();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  start_fuzzed_program(argc, argv);
  read_header(nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  script_begin();  // a question the analysis asks is answered no, afresh for every file
  const int32_t live_before = live_nodes();
  open_midi_reader(std::vector<uint8_t>(data, data + size));
  if (read_midi_header()) {
    record_settings = RecordSettings{};
    record_settings.filled = true;
    record_settings.import = 1;
    const int32_t clicks = midi_file_click_division();
    record_settings.beat_unit = clicks == 32 ? 1 : clicks == 16 ? 2 : clicks == 4 ? 4 : 3;
    record_settings.subdivision = record_settings.beat_unit + 2;
    bool made = false;
    for (int track = 0; track < 3 && midi_reader.open; ++track) {
      record_settings.track = track;
      begin_recording(1, 0);
      read_recorded_track();
      if (!recording.cancelled && normalize_recording()) {
        build_active_templates();
        match_templates();
        if (!made) make_notes(), made = true;
      }
      release_recording();
    }
  }
  close_midi_reader();
  if (live_nodes() != live_before) {
    std::fprintf(stderr, "the recording left %ld nodes in the store\n",
                 long(live_nodes() - live_before));
    std::abort();
  }
  return 0;
}
