// midi_out.cpp: MIDI output and input.
//
// Three channel modes sound a note. Mode 0 plays it on the voice's channel, rounding a
// fraction of half a semitone or more up to the next key. Mode 1 sends microtones in a
// system-exclusive stream that stays open from the first note to the next message that is not
// part of it. Mode 2 rotates the notes over a block of channels so that each can carry its own
// pitch bend: the channel whose note started longest ago is taken over.
//
// A key outside 0..127 never reaches the tables or the wire: keys are clamped where they are
// formed. Channels are taken modulo 16 and a rotation block is kept inside the 16 channels.
#include "performance/midi_out.h"

#include <algorithm>

#include "app/app_services.h"
#include "performance/midifile.h"
#include "performance/performance_globals.h"
#include "platform/beep.h"
#include "platform/midi.h"
#include "platform/synth.h"
#include "platform/ticks.h"

namespace {

constexpr int MIDI_OUT_SERVICE_BIT = 1, MIDI_OUT_SYNTH_BIT = 2;
constexpr int DEVICE_SERVICE = 2;
constexpr int32_t LOOKAHEAD_MS = 2000;
constexpr uint8_t STREAM_OPEN[4] = {0xF0, 0x43, 0x75, 0x70};
constexpr int PREFS_INPUT_SOURCE = 396;
constexpr int PREFS_OUTPUT_DEST = 400;
constexpr int PREFS_OUTPUT_DEVICE = 4;

using Lock = std::lock_guard<std::recursive_mutex>;

bool sequencer_missing = true;  // the last set-up found no sequencer at all

int clamp_key(int key) { return std::clamp(key, 0, 127); }

// The service is the path in use: chosen, present, and a destination of its own chosen.
bool service_path() {
  return output_device == DEVICE_SERVICE && (output_available & MIDI_OUT_SERVICE_BIT) &&
         output_destination != 0;
}

void send_bytes(const uint8_t* bytes, int count, int32_t time, int to_file) {
  MidiPacket packet;
  packet.time = uint32_t(time);
  packet.time_high = time < 0 ? -1 : 0;
  count = std::clamp(count, 0, int(sizeof packet.bytes));
  packet.size = uint16_t(count + 6);
  std::copy(bytes, bytes + count, packet.bytes);
  send_midi_packet(&packet, to_file);
}

// Closes an open system-exclusive stream before a message that is not part of it.
void close_stream(int32_t time, int to_file) {
  if (midi_send_state.stream_channel == -128) return;
  if (!to_file && !service_path()) return;
  const uint8_t end = 0xF7;
  send_bytes(&end, 1, time, to_file);
  midi_send_state.stream_channel = -128;
}

void open_stream(int channel, int32_t time, int to_file) {
  if (midi_send_state.stream_channel != -128) return;
  send_bytes(STREAM_OPEN, 4, time, to_file);
  midi_send_state.stream_channel = channel;
}

void set_sounding(int key, int channel, bool on) {
  const uint32_t bit = 1u << (channel & 15);
  if (on)
    midi_send_state.sounding_keys[clamp_key(key)] |= bit;
  else
    midi_send_state.sounding_keys[clamp_key(key)] &= ~bit;
}

// The channel block of a rotation: channel .. channel + count - 1, inside the 16 channels.
void rotation_block(int channel, int count, int* first, int* last) {
  *first = channel & 15;
  *last = *first + std::clamp(count, 1, 16 - *first) - 1;
}

void clear_rotation() {
  std::fill(std::begin(midi_send_state.rotation_pitch), std::end(midi_send_state.rotation_pitch),
            0);
  std::fill(std::begin(midi_send_state.rotation_time), std::end(midi_send_state.rotation_time), 0);
}

// Notes which channels a pitch-bend message leaves off centre.
void note_bend(const uint8_t* bytes, int count) {
  if (count < 3 || (bytes[0] & 0xF0) != 0xE0) return;
  const uint16_t bit = uint16_t(1u << (bytes[0] & 15));
  if (bytes[1] == 0 && bytes[2] == 0x40)
    midi_send_state.bent_channels &= uint16_t(~bit);
  else
    midi_send_state.bent_channels |= bit;
}

// ---- The file writer
// ------------------------------------------------------------------------------

void reset_writer() {
  midi_file_writer.last_tick = 0;
  midi_file_writer.timing_reported = false;
  midi_file_writer.stream_open = false;
}

bool write_delta(int32_t time) {
  MidiFileWriter& w = midi_file_writer;
  if (time == -1) {
    reset_writer();
    return true;
  }
  int64_t ticks = int64_t(double(time) * w.divisions / 16384.0 + 0.5);
  if (ticks < w.last_tick) {
    if (!w.timing_reported)
      REPORT_ERROR(4, "Timing error in send_midi_packet(): this_time %lx last_time %lx",
                   static_cast<unsigned long>(ticks), static_cast<unsigned long>(w.last_tick));
    w.timing_reported = true;
    ticks = w.last_tick;
  }
  const int64_t delta = std::min<int64_t>(ticks - w.last_tick, 0x0FFFFFFF);
  w.last_tick = ticks;
  return write_midi_number(uint32_t(delta), -1);
}

bool write_packet_to_file(const MidiPacket* packet) {
  MidiFileWriter& w = midi_file_writer;
  if (!write_delta(int32_t(packet->time))) return false;
  const int n = std::clamp(int(packet->size) - 6, 0, int(sizeof packet->bytes));
  if (n == 0) return true;
  const uint8_t* b = packet->bytes;
  const uint8_t f7 = 0xF7;
  if (b[0] == 0xF7 && n == 1) {
    w.stream_open = false;
    return write_midi_bytes(&f7, 1) && write_midi_number(1, -1) && write_midi_bytes(&f7, 1);
  }
  if (b[0] == 0xF0) {
    w.stream_open = b[n - 1] != 0xF7;
    return write_midi_bytes(b, 1) && write_midi_number(uint32_t(n - 1), -1) &&
           write_midi_bytes(b + 1, size_t(n - 1));
  }
  if (w.stream_open) {
    w.stream_open = b[n - 1] != 0xF7;
    return write_midi_bytes(&f7, 1) && write_midi_number(uint32_t(n), -1) &&
           write_midi_bytes(b, size_t(n));
  }
  return write_midi_bytes(b, size_t(n));
}

// ---- Input
// -------------------------------------------------------------------------------------------

// The service's input thread: keys and the controllers 64..95 go into the ring.
void midi_read_proc(const uint8_t* message, int length) {
  if (length < 3) return;
  const int kind = message[0] & 0xF0;
  if (kind != 0x90 && kind != 0x80 && !(kind == 0xB0 && message[1] >= 64 && message[1] <= 95))
    return;
  MidiInSlot& slot = midi_in_ring.slots[midi_in_ring.write_index];
  if (slot.length.load(std::memory_order_acquire) != 0) {  // full: dropped, and counted
    midi_in_dropped.fetch_add(1);
    return;
  }
  std::copy(message, message + 3, slot.bytes);
  slot.time = now_ms();
  slot.length.store(3, std::memory_order_release);
  midi_in_ring.write_index = (midi_in_ring.write_index + 1) % MIDI_IN_SLOTS;
}

}  // namespace

// ---- The clock
// -------------------------------------------------------------------------------------

int32_t now_ms() {
  const int64_t now = platform_microseconds();
  int64_t origin = clock_origin.load();
  if (origin < 0 && !clock_origin.compare_exchange_strong(origin, now))
    origin = clock_origin.load();
  if (origin < 0) origin = now;
  return int32_t(uint32_t(uint64_t((now - origin) / 1000)));
}

// ---- Output
// ------------------------------------------------------------------------------------------

void refresh_output_choice() {
  output_device = prefs.i16(PREFS_OUTPUT_DEVICE);
  output_destination = prefs.i32(PREFS_OUTPUT_DEST);
  output_available = midi_out_available;
}

bool midi_output_usable() {
  return (output_device == DEVICE_SERVICE && (output_available & MIDI_OUT_SERVICE_BIT)) ||
         (output_available & MIDI_OUT_SYNTH_BIT);
}

int send_midi_packet(const MidiPacket* packet, int to_file) {
  Lock held(midi_lock);
  if (!packet) {
    reset_writer();
    return 1;
  }
  const int n = std::clamp(int(packet->size) - 6, 0, int(sizeof packet->bytes));
  note_bend(packet->bytes, n);
  if (to_file) return write_packet_to_file(packet) ? 1 : 0;
  if (output_destination < 0 || n == 0) return 1;
  if ((output_available & MIDI_OUT_SERVICE_BIT) && output_destination != 0)
    midi_send_event(packet);
  else if (output_available & MIDI_OUT_SYNTH_BIT)
    qt_send_packet(packet);
  return 1;
}

int write_midi_delta_time(int32_t time) {
  Lock held(midi_lock);
  return write_delta(time) ? 1 : 0;
}

void send_raw_packet(const uint8_t* bytes, int count, int32_t time, int to_file) {
  Lock held(midi_lock);
  if (count <= 0 || (!to_file && !midi_output_usable())) return;
  close_stream(time, to_file);
  send_bytes(bytes, count, time, to_file);
}

void send_note_on(uint16_t pitch, int volume, int mode, int channel, int count, int32_t time,
                  int to_file) {
  Lock held(midi_lock);
  if (channel < 0) {
    if (channel != -128 && !to_file) platform_beep();
    return;
  }
  if (!to_file && !midi_output_usable()) return;
  channel &= 15;
  const uint8_t velocity = uint8_t(std::clamp(volume * 127 / 200, 1, 127));
  const int fraction = std::min(pitch & 0xFF, 199);
  if (mode == 1) {
    const int key = clamp_key(pitch >> 8);
    open_stream(channel, time, to_file);
    const uint8_t group[4] = {uint8_t(0x10 + channel), uint8_t(key), uint8_t(fraction * 127 / 200),
                              velocity};
    send_bytes(group, 4, time, to_file);
    set_sounding(key, channel, true);
  } else if (mode == 2) {
    if (pitch == 0) {
      clear_rotation();
      return;
    }
    int first, last;
    rotation_block(channel, count, &first, &last);
    int chosen = first;
    for (int c = first + 1; c <= last; ++c)
      if (ms_after(midi_send_state.rotation_time[c], midi_send_state.rotation_time[chosen]) < 0)
        chosen = c;
    if (midi_send_state.rotation_pitch[chosen])
      send_note_off(midi_send_state.rotation_pitch[chosen], 2, channel, count, time, to_file);
    midi_send_state.rotation_pitch[chosen] = pitch;
    midi_send_state.rotation_time[chosen] = time;
    close_stream(time, to_file);
    const int bend = fraction * 4095 / 200;
    const uint8_t bend_message[3] = {uint8_t(0xE0 | chosen), uint8_t(bend & 127),
                                     uint8_t((bend >> 7) + 64)};
    send_bytes(bend_message, 3, time, to_file);
    const int key = clamp_key(pitch >> 8);
    const uint8_t on[3] = {uint8_t(0x90 | chosen), uint8_t(key), velocity};
    send_bytes(on, 3, time, to_file);
    set_sounding(key, chosen, true);
  } else {
    const int key = clamp_key((pitch + 156) >> 8);
    close_stream(time, to_file);
    const uint8_t on[3] = {uint8_t(0x90 | channel), uint8_t(key), velocity};
    send_bytes(on, 3, time, to_file);
    set_sounding(key, channel, true);
  }
}

void send_note_off(uint16_t pitch, int mode, int channel, int count, int32_t time, int to_file) {
  Lock held(midi_lock);
  if (channel < 0 || (!to_file && !midi_output_usable())) return;
  channel &= 15;
  const int fraction = std::min(pitch & 0xFF, 199);
  if (mode == 1) {
    const int key = clamp_key(pitch >> 8);
    open_stream(channel, time, to_file);
    const uint8_t group[3] = {uint8_t(channel), uint8_t(key), uint8_t(fraction * 127 / 200)};
    send_bytes(group, 3, time, to_file);
    set_sounding(key, channel, false);
  } else if (mode == 2) {
    if (pitch == 0) {
      clear_rotation();
      return;
    }
    int first, last, found = -1;
    rotation_block(channel, count, &first, &last);
    for (int c = first; c <= last; ++c)
      if (midi_send_state.rotation_pitch[c] == pitch) found = c;
    if (found < 0) return;
    midi_send_state.rotation_time[found] = time - 10000;
    midi_send_state.rotation_pitch[found] = 0;
    close_stream(time, to_file);
    const int key = clamp_key(pitch >> 8);
    const uint8_t off[3] = {uint8_t(0x90 | found), uint8_t(key), 0};
    send_bytes(off, 3, time, to_file);
    set_sounding(key, found, false);
  } else {
    const int key = clamp_key((pitch + 156) >> 8);
    close_stream(time, to_file);
    const uint8_t off[3] = {uint8_t(0x90 | channel), uint8_t(key), 0};
    send_bytes(off, 3, time, to_file);
    set_sounding(key, channel, false);
  }
}

void all_notes_off(int mode) {
  Lock held(midi_lock);
  if (mode == 4) {
    reset_writer();
    return;
  }
  if (!midi_output_usable()) return;
  const int32_t time = mode == 2 ? 0 : now_ms() + LOOKAHEAD_MS;
  close_stream(time, 0);
  for (int key = 0; key < 128; ++key) {
    uint32_t& mask = midi_send_state.sounding_keys[key];
    for (int c = 0; c < 16 && mask; ++c)
      if (mask & (1u << c)) {
        const uint8_t off[3] = {uint8_t(0x90 | c), uint8_t(key), 0};
        send_bytes(off, 3, time, 0);
      }
    mask = 0;
  }
  for (int c = 0; c < 16; ++c) {
    const uint8_t sustain[3] = {uint8_t(0xB0 | c), 64, 0};
    const uint8_t notes[3] = {uint8_t(0xB0 | c), 123, 0};
    send_bytes(sustain, 3, time, 0);
    send_bytes(notes, 3, time, 0);
  }
  for (int c = 0; c < 16; ++c)
    if (midi_send_state.bent_channels & (1u << c)) {
      const uint8_t centre[3] = {uint8_t(0xE0 | c), 0, 0x40};
      send_bytes(centre, 3, time, 0);
    }
  clear_rotation();
}

// ---- The MIDI service
// -------------------------------------------------------------------------------

int32_t midi_setup() {
  platform_midi_set_input_routine(midi_read_proc);
  int codes[3];
  const bool opened = platform_midi_open("Vesk", "Vesk Input", "Vesk Output", codes);
  sequencer_missing = codes[0] < 0;
  if (!opened) {
    if (codes[0] == 0)
      REPORT_ERROR(2, "Your computer does not have the ALSA sequencer available.  %d %d %d",
                   codes[0], codes[1], codes[2]);
    return 1;
  }
  const int32_t source = prefs.i32(PREFS_INPUT_SOURCE);
  if (source >= 0) platform_midi_connect_source(source);
  if (platform_midi_destinations().empty()) {
    platform_midi_close();
    return 1;
  }
  return 0;
}

void midi_teardown() { platform_midi_close(); }

void midi_send_event(const MidiPacket* packet) {
  const int n = std::clamp(int(packet->size) - 6, 0, int(sizeof packet->bytes));
  platform_midi_send(output_destination - 1, packet->bytes, n);
}

void midi_input_source_changed() { platform_midi_connect_source(prefs.i32(PREFS_INPUT_SOURCE)); }

std::vector<std::string> midi_source_names() { return platform_midi_sources(); }

std::vector<std::string> midi_destination_names() { return platform_midi_destinations(); }

void take_midi_input() {
  MidiInSlot& slot = midi_in_ring.slots[midi_in_ring.read_index];
  const uint32_t length = slot.length.load(std::memory_order_acquire);
  if (length == 0) return;
  std::copy(slot.bytes, slot.bytes + 3, midi_event.bytes);
  midi_event.size = uint16_t(std::min<uint32_t>(length, 3) + 6);
  midi_event.time = uint32_t(slot.time);
  midi_event.time_high = slot.time < 0 ? -1 : 0;
  slot.length.store(0, std::memory_order_release);
  midi_in_ring.read_index = (midi_in_ring.read_index + 1) % MIDI_IN_SLOTS;
}

int next_midi_input() {
  if (prefs.i16(PREFS_OUTPUT_DEVICE) == DEVICE_SERVICE) take_midi_input();
  return midi_event.size != 0;
}

// ---- The built-in synthesizer
// ----------------------------------------------------------------------

int32_t qt_open_note_channels() { return platform_synth_open() != SYNTH_NONE ? 1 : 0; }

void qt_send_packet(const MidiPacket* packet) {
  const int n = std::clamp(int(packet->size) - 6, 0, int(sizeof packet->bytes));
  if (n < 2) return;
  const uint8_t* b = packet->bytes;
  switch (b[0] & 0xF0) {
    case 0x80:
    case 0x90:
    case 0xC0:
    case 0xE0:
      platform_synth_send(b, n);
      break;
    case 0xB0:
      if (n >= 3 && (b[1] == 1 || b[1] == 7 || b[1] == 10 || b[1] == 64 || b[1] == 91 ||
                     b[1] == 93 || b[1] == 123))
        platform_synth_send(b, n);
      break;
    default:
      break;
  }
}

void qt_close() { platform_synth_close(); }

int alt_output_init() { return 0; }
void alt_output_quit() {}
void hear_menu_stub() {}

std::string midi_service_status() {
  if (platform_midi_is_open()) return "";
  return sequencer_missing ? "No MIDI ports: the ALSA sequencer is not available" : "No MIDI ports";
}

std::string synth_menu_text() {
  return platform_synth_state() == SYNTH_SILENT ? "Built-in Synthesizer (no sound device)"
                                                : "Built-in Synthesizer";
}
