// performance_globals.cpp: definitions of the performance code's program-wide state.
#include "performance/performance_globals.h"

#include "platform/midi.h"
#include "platform/play_timer.h"
#include "platform/synth.h"

int32_t key_spelling[12];
Drosa entry_node;
int32_t add_mode = 0;

PlayState play_state;
std::atomic<int32_t> playing_flag{0};

std::recursive_mutex midi_lock;
PlayQueue play_queue;
Drosa play_nodes_released;
std::atomic<uint32_t> last_sounded_note{0};
std::atomic<int32_t> next_click_ms{0};
DueClicks due_clicks;
std::atomic<int32_t> record_metronome_on{0};
std::atomic<int32_t> record_metronome_period{500};
std::atomic<int32_t> record_click_only_with_notes{0};
std::atomic<int32_t> record_notes_since_click{0};
std::atomic<int64_t> clock_origin{-1};
std::atomic<int32_t> output_device{0};
std::atomic<int32_t> output_destination{0};
std::atomic<int32_t> output_available{0};

MidiSendState midi_send_state;
MidiFileWriter midi_file_writer;
MidiPacket midi_event;
MidiInRing midi_in_ring;

void reset_performance_globals() {
  platform_timer_stop();
  platform_timer_set_lockstep(true);
  platform_midi_set_input_routine(nullptr);
  platform_midi_close();
  platform_midi_use_loopback(false);
  platform_synth_close();
  platform_synth_use_offline(false);
  for (int32_t& s : key_spelling) s = 0;
  entry_node = NIL;
  add_mode = 0;
  play_state = PlayState{};
  playing_flag = 0;
  {
    std::lock_guard<std::recursive_mutex> held(midi_lock);
    play_queue = PlayQueue{};
    play_nodes_released = NIL;
    due_clicks = DueClicks{};
    midi_send_state = MidiSendState{};
  }
  last_sounded_note = 0;
  clock_origin = -1;
  output_device = 0;
  output_destination = 0;
  output_available = 0;
  next_click_ms = 0;
  record_metronome_on = 0;
  record_metronome_period = 500;
  record_click_only_with_notes = 0;
  record_notes_since_click = 0;
  if (midi_file_writer.file) std::fclose(midi_file_writer.file);
  midi_file_writer = MidiFileWriter{};
  midi_event = MidiPacket{};
  for (MidiInSlot& slot : midi_in_ring.slots) slot.length = 0;
  midi_in_ring.write_index = midi_in_ring.read_index = 0;
}
