// midi_out.h: everything the program sounds or writes as MIDI: notes by channel mode, raw
// packets, the silencing of every sounding note, and the one funnel send_midi_packet, which
// appends to the MIDI file being exported or sends live through the MIDI service (the ALSA
// sequencer) or the built-in synthesizer. Also the MIDI service's set-up and its input ring.
//
// The send routines take midi_lock themselves (any thread may call them); the timer task calls
// them with it already held.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "performance/performance_globals.h"
#include "performance/performance_services.h"

// ---- The clock ---------------------------------------------------------------------------------

// The difference a - b of two stamps, right across the wrap of the 32-bit clock.
inline int32_t ms_after(int32_t a, int32_t b) { return int32_t(uint32_t(a) - uint32_t(b)); }

// Whether live sending can reach anything: the MIDI service chosen and present, or the
// synthesizer present (the third output never is).
bool midi_output_usable();

// send_midi_packet: NIL resets the file writer. To the file: the delta time from the packet's
// time (time units; -1 resets the writer and writes no delta), then the bytes, system-exclusive
// pieces in the file's own form. Live: to the chosen destination, or the synthesizer.
// Returns 1, or 0 when writing the file failed (the file is then closed).
// Failure: level 4 "Timing error in send_midi_packet(): this_time %lx last_time %lx" once per
//          export for time that runs backwards (the event is written at the last tick).
int send_midi_packet(const MidiPacket* packet, int to_file);
// write_midi_delta_time: the delta-time part of the file writer alone, before a meta event;
// time -1 resets the writer. 1, or 0 after a write failure.
int write_midi_delta_time(int32_t time);

void send_raw_packet(const uint8_t* bytes, int count, int32_t time, int to_file);
// send_note_on: volume 0..200; mode 0 one channel (fractions of 100 and more sound the next
// key), 1 the system-exclusive stream of microtones, 2 rotation over channel .. channel +
// count - 1 with a pitch bend before each note. A channel below 0 sounds nothing (a beep,
// live, unless it is -128).
void send_note_on(uint16_t pitch, int volume, int mode, int channel, int count, int32_t time,
                  int to_file);
void send_note_off(uint16_t pitch, int mode, int channel, int count, int32_t time, int to_file);
// all_notes_off: mode 4 only resets the file writer; otherwise, when an output is usable, a
// note-off for every sounding key, sustain and all-notes-off on every channel, the pitch bend
// of every bent channel back to the centre, and the rotation tables cleared.
void all_notes_off(int mode);

// ---- The MIDI service ------------------------------------------------------------------------

// Sends a packet at once to the chosen destination of the service.
void midi_send_event(const MidiPacket* packet);

// next_midi_input: with the service as the device, takes one message of the ring into
// midi_event; true when midi_event holds an input message (its consumer clears its size).
int next_midi_input();
// take_midi_input: moves the oldest message of the ring, if any, into midi_event.
void take_midi_input();

// ---- The built-in synthesizer (the note allocator's place) -------------------------------------

// qt_send_packet: notes, the controllers 1, 7, 10, 64, 91 and 93, program changes and pitch
// bend go to the synthesizer; other messages are ignored.
void qt_send_packet(const MidiPacket* packet);

// The third output, which this program never finds.
int alt_output_init();

void alt_output_quit();

// The handler of the MIDI Input and MIDI Output items when the service is the device.
void hear_menu_stub();
