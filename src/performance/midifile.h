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

// export_midi_file: asks for a file name and the divisions per quarter note, then writes the
// file through a temporary file in the same folder, renamed over the chosen name only when
// every write succeeded. 1 on success, 0 otherwise (Cancel changes nothing on the disk).
// Reads: the voice lists, prefs (divisions). Writes: prefs (divisions), the file.
int export_midi_file();
// write_midi_file: the export's writing alone, to `path`, with `divisions` ticks a quarter.
// Failure: level 2 with the system's words for what went wrong; nothing is left at `path`
// that was not there before.
int write_midi_file(const std::string& path, int32_t divisions);

// import_midi_file: asks about a starting point inside a measure, chooses a file and reads it
// through the recorder into notes at the insertion point. 1 when notes were added.
int import_midi_file();
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

// The reader: the file's bytes, where reading stands, what may still be read of the chunk
// (the budget), whether reading failed, the running status and the tick time of the track.
struct MidiReader {
  std::vector<uint8_t> data;
  int64_t position = 0;
  int64_t budget = 0;
  bool error = false;
  int running_status = 0;
  int64_t tick_time = 0;
  bool open = false;
};
extern MidiReader midi_reader;

// open_midi_reader: takes the bytes as the file being read; close_midi_reader forgets them.
void open_midi_reader(std::vector<uint8_t> bytes);
void close_midi_reader();
// read_midi_header: "MThd" and its fields into midi_file_header; 1 when the file can be read.
// Failure: level 2 "The is not a valid MIDI file!", "The timing in your MIDI file must be in
//          divisions of quarter notes, not absolute time!" (also for a division of 0).
int read_midi_header();

// read_midi_number: n (1..4) bytes big-endian, or n = -1 a variable-length quantity of at
// most 4 bytes. -1 at the end of the budget, after an error, or at the end of the file.
// Failure: level 2 "Premature end of MIDI file!" at the end of the file; "A number in your MIDI
//          file is longer than four bytes!" for a longer quantity. Both set the error flag.
int64_t read_midi_number(int n);
// set_midi_read_budget: the bytes that may be read from now on; clears the error flag.
void set_midi_read_budget(int64_t bytes);
// find_midi_track: the length of track `index` (the first MTrk is 0), with reading placed at
// its first byte and the budget set to what of it the file holds; 0 on failure.
// Failure: level 2 "Could not find track in your MIDI file!" (the reader is closed).
int64_t find_midi_track(int index);
// read_midi_event: with reset 1 clears the tick time and the running status and returns 1;
// otherwise 1 with the next channel event of an accepted channel (record_settings) in
// midi_event (time = ticks since the track's start), 0 at the end of the track or on an error
// (error flag set). System-exclusive and meta events of any length are skipped; an end-of-track
// event ends the track.
// Failure: level 2 "Illegal 'System Status Byte' in your MIDI file!" for F1..FE and for a data
//          byte with no status before it; "An event in your MIDI file runs past the end of its
//          track!"; "A data byte in your MIDI file has its top bit set!".
int read_midi_event(int reset);
// midi_file_click_division: thirty-second notes per metronome click of the first time
// signature at the start of track 0, or 8.
int32_t midi_file_click_division();
// midi_file_debug_dump: the file's bytes as the debug dump shows them, 80 a page.
std::string midi_dump_page(const std::string& name, int page);
