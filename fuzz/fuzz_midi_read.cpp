// fuzz_midi_read.cpp: a MIDI file of arbitrary bytes read as Import MIDI reads it: the header,
// the click division, every track's events, and the recorder and the rhythm templates over the
// first track with notes. Nothing may be read outside the bytes, and every node the recording
// took must go back to the store.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fuzz_support.h"
#include "model/model_services.h"
#include "performance/performance_services.h"
#include "platform/script.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  start_fuzzed_program(argc, argv);
  script_begin();  // a question the analysis asks is answered no
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int32_t live_before = live_nodes();
  open_midi_reader(std::vector<uint8_t>(data, data + size));
  if (read_midi_header()) {
    record_settings = RecordSettings{};
    record_settings.filled = true;
    record_settings.import = 1;
    const int32_t clicks = midi_file_click_division();
    record_settings.beat_unit = clicks == 32 ? 1 : clicks == 16 ? 2 : clicks == 4 ? 4 : 3;
    record_settings.subdivision = record_settings.beat_unit + 2;
    for (int track = 0; track < 3 && midi_reader.open; ++track) {
      record_settings.track = track;
      begin_recording(1, 0);
      read_recorded_track();
      if (!recording.cancelled && normalize_recording()) {
        build_active_templates();
        match_templates();
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
