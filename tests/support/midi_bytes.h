// tests/support/midi_bytes.h: bytes of Standard MIDI Files that tests build by hand.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

// Appends a variable-length number (a delta time): seven bits a byte, the highest first, every
// byte but the last with its top bit set.
inline void append_variable_length(std::vector<uint8_t>& bytes, uint32_t value) {
  uint8_t groups[5];
  int n = 0;
  groups[n++] = value & 0x7F;
  while (value >>= 7) groups[n++] = 0x80 | (value & 0x7F);
  while (n) bytes.push_back(groups[--n]);
}

// A track's events for notes (tick, key, length) played at one velocity, with sustain pedal
// changes (tick, value), in time order and ended: a note-on of velocity 0 ends each note.
inline std::vector<uint8_t> note_track_body(
    const std::vector<std::array<int32_t, 3>>& notes, uint8_t velocity,
    const std::vector<std::array<int32_t, 2>>& pedals = {}) {
  std::vector<std::array<int32_t, 3>> events;  // tick, key (-1 the pedal), velocity or value
  for (const auto& n : notes) {
    events.push_back({n[0], n[1], velocity});
    events.push_back({n[0] + n[2], n[1], 0});
  }
  for (const auto& p : pedals) events.push_back({p[0], -1, p[1]});
  std::stable_sort(events.begin(), events.end(),
                   [](const auto& a, const auto& b) { return a[0] < b[0]; });
  std::vector<uint8_t> body;
  int32_t last = 0;
  for (const auto& e : events) {
    append_variable_length(body, uint32_t(e[0] - last));
    last = e[0];
    if (e[1] < 0)
      body.insert(body.end(), {0xB0, 0x40, uint8_t(e[2])});
    else
      body.insert(body.end(), {0x90, uint8_t(e[1]), uint8_t(e[2])});
  }
  body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
  return body;
}
