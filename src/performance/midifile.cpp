// midifile.cpp: Standard MIDI File export and import.
#include "performance/midifile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "app/app_services.h"
#include "performance/midi_out.h"
#include "performance/performance_globals.h"
#include "performance/play.h"
#include "performance/record.h"
#include "platform/files.h"

MidiFileHeader midi_file_header;
MidiReader midi_reader;

namespace {

constexpr int32_t DEFAULT_DIVISIONS = 960;
constexpr int64_t UNLIMITED_BUDGET = 2100000000;
constexpr int64_t LARGEST_FILE = 256 << 20;  // a MIDI file is seldom a thousandth of this
constexpr int DUMP_PAGE_BYTES = 80;

// ---- Writing ------------------------------------------------------------------------------------

bool write_header(int32_t divisions) {
  static const uint8_t head[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1};
  static const uint8_t track[] = {'M', 'T', 'r', 'k', 0, 0, 0, 0};
  return write_midi_bytes(head, sizeof head) && write_midi_number(uint32_t(divisions), 2) &&
         write_midi_bytes(track, sizeof track);
}

void report_write_problem(const PlatformFileProblem& why) {
  REPORT_ERROR(2, "The MIDI file could not be written: %s.", file_problem_text(why).c_str());
}

// ---- Reading ------------------------------------------------------------------------------------

MidiReader& rd = midi_reader;
bool quiet_reading = false;  // a damaged track ends the reading without a message

void reader_error(const char* message) {
  if (!rd.error && !quiet_reading) REPORT_ERROR(2, "%s", message);
  rd.error = true;
}

int read_byte() {
  if (rd.error || rd.budget <= 0) return -1;
  if (rd.position >= int64_t(rd.data.size())) {
    reader_error("Premature end of MIDI file!");
    return -1;
  }
  --rd.budget;
  return rd.data[size_t(rd.position++)];
}

// Skips `count` bytes of the chunk; false (with a message) when they are not all there.
bool skip_bytes(int64_t count) {
  if (rd.error) return false;
  if (count > rd.budget) {
    reader_error("An event in your MIDI file runs past the end of its track!");
    return false;
  }
  if (rd.position + count > int64_t(rd.data.size())) {
    reader_error("Premature end of MIDI file!");
    return false;
  }
  rd.position += count;
  rd.budget -= count;
  return true;
}

bool chunk_type_is(int64_t at, const char* type) {
  return at + 4 <= int64_t(rd.data.size()) && std::memcmp(&rd.data[size_t(at)], type, 4) == 0;
}

uint32_t big_endian_at(int64_t at) {
  const uint8_t* b = &rd.data[size_t(at)];
  return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
}

// Places reading at the first byte of track `index` with its length as the budget; the length,
// or -1 when the file has no such track. Chunks of other types are passed over.
int64_t locate_track(int index) {
  set_midi_read_budget(UNLIMITED_BUDGET);
  int64_t offset = int64_t(midi_file_header.header_length) + 8;
  int count = 0;
  while (index >= 0 && offset + 8 <= int64_t(rd.data.size())) {
    const int64_t length = big_endian_at(offset + 4);
    if (chunk_type_is(offset, "MTrk")) {
      if (count == index) {
        rd.position = offset + 8;
        set_midi_read_budget(length);
        return length;
      }
      ++count;
    }
    offset += length + 8;
  }
  return -1;
}

bool read_file(const std::string& path, std::vector<uint8_t>* bytes) {
  std::string text;
  PlatformFileStatus status;
  const int error = platform_file_read_whole(path, LARGEST_FILE, &text, &status);
  if (error == EFBIG) {
    REPORT_ERROR(2, "%s", "The file is far too large to be a MIDI file.");
    return false;
  }
  if (error) {
    const std::string not_file = error == EISDIR || error == EINVAL
                                     ? not_a_file_text(path, status.mode)
                                     : file_problem_text(error, path, false, false);
    REPORT_ERROR(2, "The MIDI file could not be read: %s.", not_file.c_str());
    return false;
  }
  bytes->assign(text.begin(), text.end());
  return true;
}

bool show_debug_dump(const std::string& path) {
  const std::string name = path.substr(path.find_last_of('/') + 1);
  const int pages = int((rd.data.size() + DUMP_PAGE_BYTES - 1) / DUMP_PAGE_BYTES);
  for (int page = 1; page <= std::max(pages, 1); ++page)
    if (!yesno_alert(midi_dump_page(name, page).c_str(), 1)) break;
  return true;
}

}  // namespace

// ---- Export -------------------------------------------------------------------------------------

int write_midi_bytes(const uint8_t* bytes, size_t count) {
  MidiFileWriter& w = midi_file_writer;
  if (!w.open) return 0;
  w.bytes.insert(w.bytes.end(), bytes, bytes + count);
  return 1;
}

int write_midi_number(uint32_t value, int n) {
  uint8_t buffer[5];
  int count = 0;
  if (n > 0) {
    n = std::min(n, 4);
    for (int i = n - 1; i >= 0; --i) buffer[count++] = uint8_t(value >> (8 * i));
  } else {
    value &= 0x0FFFFFFF;
    uint8_t groups[4];
    int g = 0;
    groups[g++] = uint8_t(value & 0x7F);
    while (value >>= 7) groups[g++] = uint8_t(0x80 | (value & 0x7F));
    while (g) buffer[count++] = groups[--g];
  }
  return write_midi_bytes(buffer, size_t(count));
}

int write_midi_file(const std::string& path, int32_t divisions) {
  // The new file is made first, so that a file that cannot be written is said at once.
  const PlatformReplaceOptions options;
  PlatformReplacement replacement;
  PlatformFileProblem why;
  if (!platform_replace_begin(path, options, &replacement, &why)) {
    report_write_problem(why);
    return 0;
  }
  {
    std::lock_guard<std::recursive_mutex> held(midi_lock);
    midi_file_writer = MidiFileWriter{};
    midi_file_writer.open = true;
    midi_file_writer.divisions = divisions;
  }
  write_header(divisions);
  all_notes_off(4);
  hear_command(1, 0, 0, 0, 0);
  static const uint8_t end_of_track[] = {0x01, 0xFF, 0x2F, 0x00};
  write_midi_bytes(end_of_track, sizeof end_of_track);
  std::vector<uint8_t> bytes;
  {
    std::lock_guard<std::recursive_mutex> held(midi_lock);
    bytes.swap(midi_file_writer.bytes);
    midi_file_writer.open = false;
  }
  // The track's length, after its header at byte 22.
  const uint32_t track_length = uint32_t(bytes.size() - 22);
  for (int i = 0; i < 4; ++i) bytes[size_t(18 + i)] = uint8_t(track_length >> (8 * (3 - i)));
  if (const int error = platform_file_write_all(replacement.fd, bytes.data(), bytes.size())) {
    platform_replace_abandon(&replacement);
    why = PlatformFileProblem{};
    why.error_number = error;
    why.path = replacement.target;
    why.writing = true;
    report_write_problem(why);
    return 0;
  }
  if (!platform_replace_finish(&replacement, options, &why)) {
    report_write_problem(why);
    return 0;
  }
  return 1;
}

int export_midi_file() {
  if (!save_file_dialog(FILE_MIDI, 0, 0)) return 0;
  const std::string path = *file_spec_of_kind(FILE_MIDI);
  int32_t divisions = prefs.i32(PREFS_SMF_TICKS);
  if (divisions < 1 || divisions > 16384) divisions = DEFAULT_DIVISIONS;
  if (!number_dialog_long("How many divisions per quarter would you like in the MIDI encoding?",
                          divisions, 1, 16384, &divisions, "number of divisions per quarter"))
    return 0;
  prefs.set_i32(PREFS_SMF_TICKS, divisions);
  set_cursor(CURSOR_ID_WATCH);
  const int done = write_midi_file(path, divisions);
  set_cursor(CURSOR_ID_ARROW);
  return done;
}

// ---- Reading ------------------------------------------------------------------------------------

namespace {

// A RIFF MIDI file (RMID) holds a Standard MIDI File in its "data" chunk: the bytes of that
// chunk, or the bytes as they are when they are no such file. RIFF numbers are little-endian.
std::vector<uint8_t> unwrap_riff_midi(std::vector<uint8_t> bytes) {
  auto type_at = [&](size_t at, const char* type) {
    return at + 4 <= bytes.size() && std::memcmp(&bytes[at], type, 4) == 0;
  };
  if (!type_at(0, "RIFF") || !type_at(8, "RMID")) return bytes;
  for (size_t at = 12; at + 8 <= bytes.size();) {
    const uint32_t length = uint32_t(bytes[at + 4]) | uint32_t(bytes[at + 5]) << 8 |
                            uint32_t(bytes[at + 6]) << 16 | uint32_t(bytes[at + 7]) << 24;
    const size_t body = at + 8, left = bytes.size() - body;
    if (type_at(at, "data"))
      return std::vector<uint8_t>(bytes.begin() + ptrdiff_t(body),
                                  bytes.begin() + ptrdiff_t(body + std::min<size_t>(length, left)));
    if (length >= left) break;
    at = body + length + (length & 1);  // chunks are padded to an even length
  }
  return bytes;
}

}  // namespace

void open_midi_reader(std::vector<uint8_t> bytes) {
  rd = MidiReader{};
  rd.data = unwrap_riff_midi(std::move(bytes));
  rd.open = true;
  rd.budget = int64_t(rd.data.size());
}

void close_midi_reader() { rd = MidiReader{}; }

void set_midi_read_budget(int64_t bytes) {
  rd.budget = bytes;
  rd.error = false;
}

int64_t read_midi_number(int n) {
  if (n > 0) {
    int64_t value = 0;
    for (int i = 0; i < std::min(n, 4); ++i) {
      const int b = read_byte();
      if (b < 0) return -1;
      value = value << 8 | b;
    }
    return value;
  }
  int64_t value = 0;
  for (int i = 0; i < 4; ++i) {
    const int b = read_byte();
    if (b < 0) return -1;
    value = value << 7 | (b & 0x7F);
    if (!(b & 0x80)) return value;
  }
  reader_error("A number in your MIDI file is longer than four bytes!");
  return -1;
}

int read_midi_header() {
  midi_file_header = MidiFileHeader{};
  if (!chunk_type_is(0, "MThd") || rd.data.size() < 14) {
    REPORT_ERROR(2, "%s", "This is not a valid MIDI file!");
    return 0;
  }
  const uint32_t length = big_endian_at(4);
  if (length < 6 || length > uint32_t(rd.data.size())) {
    REPORT_ERROR(2, "%s", "This is not a valid MIDI file!");
    return 0;
  }
  rd.position = 8;
  set_midi_read_budget(6);
  midi_file_header.header_length = int32_t(length);
  midi_file_header.format = int32_t(read_midi_number(2));
  midi_file_header.tracks = int32_t(read_midi_number(2));
  midi_file_header.division = int32_t(read_midi_number(2));
  if (midi_file_header.division & 0x8000 || midi_file_header.division == 0) {
    REPORT_ERROR(2, "%s",
                 "The timing in your MIDI file must be in divisions of quarter notes, not "
                 "absolute time!");
    return 0;
  }
  return 1;
}

int64_t find_midi_track(int index) {
  const int64_t length = locate_track(index);
  if (length >= 0) return length;
  REPORT_ERROR(2, "%s", "Could not find track in your MIDI file!");
  close_midi_reader();
  return 0;
}

int read_midi_event(int reset) {
  if (reset) {
    rd.tick_time = 0;
    rd.running_status = 0;
    return 1;
  }
  for (;;) {
    const int64_t delta = read_midi_number(-1);
    if (delta < 0) return 0;
    rd.tick_time = std::min<int64_t>(rd.tick_time + delta, INT32_MAX);
    const int status = read_byte();
    if (status < 0) return 0;
    if (status == 0xF0 || status == 0xF7) {
      const int64_t length = read_midi_number(-1);
      if (length < 0 || !skip_bytes(length)) return 0;
      continue;
    }
    if (status == 0xFF) {
      const int type = read_byte();
      const int64_t length = type < 0 ? -1 : read_midi_number(-1);
      if (length < 0 || !skip_bytes(length)) return 0;
      if (type == 0x2F) return 0;  // the end of the track
      continue;
    }
    int first;
    if (status & 0x80) {
      rd.running_status = status;
      first = -2;
    } else {
      first = status;
    }
    if (rd.running_status == 0 || rd.running_status >= 0xF0) {
      reader_error("Illegal 'System Status Byte' in your MIDI file!");
      return 0;
    }
    const int s = rd.running_status;
    const int count = (s & 0xF0) == 0xC0 || (s & 0xF0) == 0xD0 ? 1 : 2;
    uint8_t data[2] = {};
    for (int i = 0; i < count; ++i) {
      const int b = i == 0 && first >= 0 ? first : read_byte();
      if (b < 0) return 0;
      if (b & 0x80) {
        reader_error("A data byte in your MIDI file has its top bit set!");
        return 0;
      }
      data[i] = uint8_t(b);
    }
    const int channel = s & 15;
    if (channel < record_settings.first_channel || channel > record_settings.last_channel) continue;
    midi_event.time = uint32_t(rd.tick_time);
    midi_event.time_high = 0;
    midi_event.size = uint16_t(6 + 1 + count);
    midi_event.bytes[0] = uint8_t(s);
    midi_event.bytes[1] = data[0];
    midi_event.bytes[2] = data[1];
    return 1;
  }
}

int32_t midi_track_notes(int index) {
  const RecordSettings kept = record_settings;
  record_settings.first_channel = 0;
  record_settings.last_channel = 15;
  quiet_reading = true;
  int32_t notes = 0;
  if (locate_track(index) >= 0) {
    read_midi_event(1);
    while (read_midi_event(0))
      if ((midi_event.bytes[0] & 0xF0) == 0x90 && midi_event.bytes[2] != 0) ++notes;
  }
  record_settings = kept;
  rd.error = quiet_reading = false;
  return notes;
}

int32_t midi_file_click_division() {
  if (locate_track(0) <= 0) return 8;
  for (;;) {
    if (read_midi_number(-1) != 0 || read_byte() != 0xFF) return 8;
    const int type = read_byte();
    const int64_t size = type < 0 ? -1 : read_midi_number(-1);
    if (size < 0) return 8;
    if (type != 0x58) {
      if (!skip_bytes(size)) return 8;
      continue;
    }
    if (size < 4) return 8;
    read_byte();  // nn
    read_byte();  // dd
    const int cc = read_byte();
    const int bb = read_byte();
    if (cc < 0 || bb < 0) return 8;
    return cc * bb / 24;
  }
}

std::string midi_dump_page(const std::string& name, int page) {
  char title[320];
  std::snprintf(title, sizeof title, "Dump of %s (page %hd):\r", name.substr(0, 255).c_str(),
                short(page));
  std::string text = title;
  const size_t from = size_t(page - 1) * DUMP_PAGE_BYTES;
  for (size_t i = from; i < std::min(rd.data.size(), from + DUMP_PAGE_BYTES); ++i) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%2x ", rd.data[i]);
    text += hex;
  }
  return text + "\x8aSee More?\x8a";
}

// ---- Import -------------------------------------------------------------------------------------

int import_midi_path(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (!read_file(path, &bytes)) return 0;
  open_midi_reader(std::move(bytes));
  if (debug_modifier_down()) {
    show_debug_dump(path);
    close_midi_reader();
    return 0;
  }
  if (!read_midi_header()) {
    close_midi_reader();
    return 0;
  }
  bool notes = false;
  for (int t = 0; t < midi_file_header.tracks && !notes; ++t) notes = midi_track_notes(t) > 0;
  if (!notes) {
    REPORT_ERROR(2, "%s", "Your MIDI file holds no notes: nothing was imported.");
    close_midi_reader();
    return 0;
  }
  const int done = record_command(1);
  close_midi_reader();
  return done;
}

int import_midi_file() {
  if (!insertion_point) return 0;
  if (find_time_in_bar(insertion_point) > 50 &&
      !yesno_alert("The note you have selected is not at the beginning of a measure.  Do you "
                   "really want to use it as the starting point for Import MIDI?",
                   0))
    return 0;
  if (!open_file_dialog(FILE_MIDI)) return 0;
  return import_midi_path(*file_spec_of_kind(FILE_MIDI));
}
