// midi.h: live MIDI through the system's MIDI service, the ALSA sequencer: the program's own
// client with an input and an output port that other programs connect to, the lists of the
// system's sources and destinations, bytes sent at once to a destination, and complete input
// messages handed to a routine on the service's own thread.
//
// A machine without the sequencer (no sound support in its kernel) gets no client: opening
// fails with the system's codes, the lists are empty and sending does nothing.
//
// Test double: a loopback stands in for the sequencer. It offers one destination and one
// source, both named LOOPBACK_PORT_NAME; everything sent to the destination is recorded with
// the clock's time and, while the source is connected, comes back as input.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Makes the client and its two ports. True when all three were made; otherwise nothing is
// left open and codes[0..2] hold the result of each step (0 done, a negative system error
// code, 1 not tried).
bool platform_midi_open(const char* client_name, const char* input_port, const char* output_port,
                        int codes[3]);
// Disconnects the source and removes the ports and the client (nothing when none is open).
void platform_midi_close();
bool platform_midi_is_open();

// The names of the other programs' ports that can be read from (sources) and written to
// (destinations), as "client: port", in the service's order; empty without a client.
std::vector<std::string> platform_midi_sources();
std::vector<std::string> platform_midi_destinations();

// Connects the source of that index to the input port, after disconnecting the one connected
// before; -1 (or any index that names no source now) only disconnects. True when connected.
bool platform_midi_connect_source(int index);
// True while a source is connected to the input port: a keyboard can be played into Vesk.
bool platform_midi_source_connected();

// Sends bytes at once to the destination of that index: channel messages, or a piece of a
// system-exclusive message (a packet that begins with F0, the bytes that follow while it is
// open, the closing F7). False when there is no such destination or the service refuses.
bool platform_midi_send(int destination, const uint8_t* bytes, int count);

// The routine that receives every complete input message (status byte first) of the
// connected source; it runs on the service's input thread. nullptr: input is dropped.
using MidiInputRoutine = void (*)(const uint8_t* message, int length);
void platform_midi_set_input_routine(MidiInputRoutine routine);

// ---- Test doubles -------------------------------------------------------------------------------
inline constexpr const char* LOOPBACK_PORT_NAME = "Vesk Loopback";
// With the loopback on, the next open makes the loopback instead of a sequencer client.
void platform_midi_use_loopback(bool on);
struct SentMidi {
  int64_t microseconds;  // the clock when it was sent
  int destination;
  std::vector<uint8_t> bytes;
};
// What the loopback received since the last take, oldest first.
std::vector<SentMidi> platform_midi_take_sent();
// Plays bytes into the loopback's source, as a keyboard would: they reach the input routine
// (when the source is connected) as complete messages, on the loopback's input thread, before
// this returns. What is sent to the loopback comes back the same way, without waiting.
void platform_midi_loopback_play(const std::vector<uint8_t>& bytes);
