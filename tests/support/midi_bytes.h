// tests/support/midi_bytes.h: bytes of Standard MIDI Files that tests build by hand.
#pragma once

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
