// midifile.h: Standard MIDI Files. Export writes the piece as a format-0 file with one track
// by running the play engine in file mode; import reads a file of any format whose division is
// in ticks per quarter note and hands the channel events of one track to the recorder.
//
// The reader holds the whole file in memory and never reads outside it: every length, count
// and variable-length number is checked against the bytes that are there and against the
// budget of the chunk being read, so that a damaged file ends in a message, not in a crash,
// a hang or a read past its end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "performance/performance_services.h"

// import_midi_path: the import's work from the file on: the header checked, then the
// recorder in file mode. 1 when notes were added.
int import_midi_path(const std::string& path);

// ---- Writing ------------------------------------------------------------------------------------

// write_midi_number: n > 0 writes the low n bytes of value big-endian; n = -1 writes it as a
// variable-length quantity. 1, or 0 after a write error (the file is then closed).
int write_midi_number(uint32_t value, int n);
// write_midi_bytes: bytes as they are; 1, or 0 after a write error (the file is then closed).
int write_midi_bytes(const uint8_t* bytes, size_t count);

// ---- Reading ------------------------------------------------------------------------------------

struct MidiFileHeader {
  int32_t tracks = 0;
  int32_t division = 0;
  int32_t format = 0;
  int32_t header_length = 0;
};
extern MidiFileHeader midi_file_header;

// read_midi_number: n (1..4) bytes big-endian, or n = -1 a variable-length quantity of at
// most 4 bytes. -1 at the end of the budget, after an error, or at the end of the file.
// Failure: level 2 "Premature end of MIDI file!" at the end of the file; "A number in your MIDI
//          file is longer than four bytes!" for a longer quantity. Both set the error flag.
int64_t read_midi_number(int n);

// midi_track_notes: the note-ons of track `index` on any channel (0 when the file has no such
// track or it holds no note); a damaged track counts the notes before the damage, silently.
// Reads and writes: midi_reader (its place in the file is lost), midi_event.
int32_t midi_track_notes(int index);

// set_midi_read_budget: the bytes that may be read from now on; clears the error flag.
void set_midi_read_budget(int64_t bytes);

// midi_file_debug_dump: the file's bytes as the debug dump shows them, 80 a page.
std::string midi_dump_page(const std::string& name, int page);
