// performance_globals.cpp: definitions of the performance code's program-wide state.
#include "performance/performance_globals.h"

#include "platform/midi.h"
#include "platform/play_timer.h"
#include "platform/synth.h"
#include "platform/window.h"

int32_t key_spelling[12];
int32_t key_spelling_key = -1;

int piano_dialog = 0;
Rect screen_avail_rect;
Rect piano_drag_bounds;
bool piano_tall = false;
int16_t memory_shown = 0;
double piano_hscale = 1.0;
double piano_vscale = 1.0;

int32_t add_mode = 0;
bool template_staccatissimo = false;
bool grace_after = false;
PaletteTuplet palette_tuplet;
PaletteNestedTuplet palette_nested_tuplet;
bool entry_hint_shown = false;
int palette_draws_held = 0;
bool palette_draw_waiting = false;
uint64_t palette_draw_count = 0;

PlayedNote played_keys[PLAYED_KEYS];
int32_t played_key_count = 0;
uint32_t shift_chord_pending = 0;
int32_t typed_key_pending = 0;
bool midi_sysex_open = false;
std::atomic<int32_t> midi_in_dropped{0};
int32_t midi_in_dropped_seen = 0;

PlayState play_state;
std::vector<ScheduledNote> scheduled_notes;
std::atomic<int32_t> playing_flag{0};

std::recursive_mutex midi_lock;
PlayQueue play_queue;
Drosa play_nodes_released;
std::atomic<bool> play_nodes_waiting{false};
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
  key_spelling_key = -1;
  if (piano_dialog) platform_dispose_window(piano_dialog);
  piano_dialog = 0;
  screen_avail_rect = piano_drag_bounds = Rect{};
  piano_tall = false;
  memory_shown = 0;
  piano_hscale = piano_vscale = 1.0;
  add_mode = 0;
  template_staccatissimo = false;
  grace_after = false;
  palette_tuplet = PaletteTuplet{};
  palette_nested_tuplet = PaletteNestedTuplet{};
  entry_hint_shown = false;
  palette_draws_held = 0;
  palette_draw_waiting = false;
  palette_draw_count = 0;
  for (PlayedNote& k : played_keys) k = PlayedNote{};
  played_key_count = 0;
  shift_chord_pending = 0;
  typed_key_pending = 0;
  midi_sysex_open = false;
  midi_in_dropped = 0;
  midi_in_dropped_seen = 0;
  play_state = PlayState{};
  scheduled_notes.clear();
  playing_flag = 0;
  {
    std::lock_guard<std::recursive_mutex> held(midi_lock);
    play_queue = PlayQueue{};
    play_nodes_released = NIL;
    play_nodes_waiting.store(false, std::memory_order_release);
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
  midi_file_writer = MidiFileWriter{};
  midi_event = MidiPacket{};
  for (MidiInSlot& slot : midi_in_ring.slots) slot.length = 0;
  midi_in_ring.write_index = midi_in_ring.read_index = 0;
}
