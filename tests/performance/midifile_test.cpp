// midifile_test.cpp: MIDI files written from a built piece and checked byte by byte and by an
// independent reader; damaged files of every kind read to a message, never past their end.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "annotations/anno_services.h"
#include "performance/performance_services.h"
#include "performance/play_fixture.h"
#include "support/piece_builder.h"

namespace {

using Bytes = std::vector<uint8_t>;

class SmfFile : public PlayTest {
 protected:
  void SetUp() override {
    PlayTest::SetUp();
    folder = std::filesystem::temp_directory_path() /
             ("vesk-midifile-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
              ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder);
  }
  void TearDown() override {
    close_midi_reader();
    std::filesystem::remove_all(folder);
    PlayTest::TearDown();
  }
  static Bytes read_all(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // Every accepted event of a track as "tick status data..." and the messages reported.
  std::vector<std::string> events(const Bytes& file, int track) {
    std::vector<std::string> out;
    open_midi_reader(file);
    if (!read_midi_header() || find_midi_track(track) <= 0) return out;
    read_midi_event(1);
    while (read_midi_event(0)) {
      char line[40];
      const int n = midi_event.size - 6;
      std::snprintf(line, sizeof line, "%u %02X %02X", midi_event.time, midi_event.bytes[0],
                    midi_event.bytes[1]);
      out.push_back(line + (n == 3 ? " " + std::to_string(midi_event.bytes[2]) : std::string()));
    }
    return out;
  }
  std::filesystem::path folder;
};

// A lyric as the export knows one: a text font, no box, centred under its note.
Drosa add_lyric(int v, const std::string& text) {
  Drosa t = add_text_anno(v, 0, text);
  t->bytes()[24] = 0x0C;
  t->bytes()[25] = 0x00;
  return t;
}

Bytes track(std::initializer_list<Bytes> events) {
  Bytes body;
  for (const Bytes& e : events) body.insert(body.end(), e.begin(), e.end());
  Bytes file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
  const uint32_t n = uint32_t(body.size());
  file.insert(file.end(), {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)});
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

TEST_F(SmfFile, ExportWritesEveryEventInTimeOrderAndAnIndependentReaderAgrees) {
  const int v = new_voice();
  add_timesig(v, 6, 8);
  add_lyric(v, "la");
  add_note(v, QUARTER, 35);  // C4, key 60
  add_note(v, EIGHTH, 36);   // D4
  add_bar(v);
  add_lyric(v, "ri-");
  add_note(v, QUARTER, 37, 1);  // E4, dotted
  set_perf_setting(PERF_NORMAL_LENGTH, 100);
  prepare_piece();
  const std::filesystem::path path = folder / "piece.mid";
  std::ofstream(path) << "an older and much longer file that the export replaces whole";
  ASSERT_EQ(write_midi_file(path.string(), 480), 1);
  const Bytes file = read_all(path);
  const Bytes expected = {'M',  'T',  'h',  'd',  0,    0,    0,    6,
                          0,    0,    0,    1,    0x01, 0xE0,            // format 0, one track, 480
                          'M',  'T',  'r',  'k',  0,    0,    0,    60,  // the track's length
                          0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40,      // a quarter = 60
                          0x00, 0xFF, 0x58, 0x04, 0x06, 0x03, 0x0C, 0x08,  // 6/8
                          0x00, 0xFF, 0x05, 0x03, 'l',  'a',  ' ',         // lyric with its blank
                          0x00, 0x90, 0x3C, 0x4C,                          // C4
                          0x83, 0x60, 0x90, 0x3C, 0x00,                    // 480 later
                          0x00, 0x90, 0x3E, 0x4C,                          // D4
                          0x81, 0x70, 0xFF, 0x05, 0x03, 'r',  'i',  '-',   // 240 later, unchanged
                          0x00, 0x90, 0x3E, 0x00,                          //
                          0x00, 0x90, 0x40, 0x4C,                          // E4
                          0x85, 0x50, 0x90, 0x40, 0x00,                    // 720 later
                          0x01, 0xFF, 0x2F, 0x00};                         // the end, a tick on
  EXPECT_EQ(file, expected);
  EXPECT_EQ(file.size() - 22, 60u);
  EXPECT_FALSE(std::filesystem::exists(path.string() + ".part" + std::to_string(getpid())));

  const std::string script =
      "import mido,sys\n"
      "f=mido.MidiFile(sys.argv[1])\n"
      "print(f.type,f.ticks_per_beat,len(f.tracks))\n"
      "t=0\n"
      "for m in f.tracks[0]:\n"
      "  t+=m.time\n"
      "  if m.type=='note_on': print(t,m.channel,m.note,m.velocity)\n"
      "  elif m.type=='set_tempo': print(t,'tempo',m.tempo)\n"
      "  elif m.type=='time_signature': print(t,'time',m.numerator,m.denominator)\n"
      "  elif m.type=='lyrics': print(t,'lyric',repr(m.text))\n"
      "  else: print(t,m.type)\n";
  std::ofstream(folder / "read.py") << script;
  const std::string command =
      "/usr/bin/python3 " + (folder / "read.py").string() + " " + path.string();
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_TRUE(pipe);
  std::string said;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe)) said += buffer;
  ASSERT_EQ(pclose(pipe), 0) << "python3-mido is needed (scripts/setup installs it)";
  EXPECT_EQ(said,
            "0 480 1\n0 tempo 1000000\n0 time 6 8\n0 lyric 'la '\n0 0 60 76\n480 0 60 0\n"
            "480 0 62 76\n720 lyric 'ri-'\n720 0 62 0\n720 0 64 76\n1440 0 64 0\n"
            "1441 end_of_track\n");
}

// A lyric typed in the program is never played (flag 0x0001); the note before it ends early.
TEST_F(SmfFile, ALyricNotPlayedComesAfterTheReleaseOfTheNoteBefore) {
  const int v = new_voice();
  add_note(v, QUARTER, 35);
  add_lyric(v, "la")->bytes()[25] = 0x01;
  add_note(v, QUARTER, 36);
  set_perf_setting(PERF_NORMAL_LENGTH, 90);
  prepare_piece();
  capture_reports();
  const std::filesystem::path path = folder / "piece.mid";
  ASSERT_EQ(write_midi_file(path.string(), 480), 1);
  for (const Report& r : take_reports()) ADD_FAILURE() << r.text;
  EXPECT_EQ(events(read_all(path), 0),
            (std::vector<std::string>{"0 90 3C 76", "432 90 3C 0", "480 90 3E 76", "912 90 3E 0"}));
}

// The texts of a file's text events (FF 01), in order.
std::vector<std::string> text_events(const Bytes& file) {
  std::vector<std::string> texts;
  for (size_t i = 0; i + 3 < file.size(); ++i)
    if (file[i] == 0xFF && file[i + 1] == 0x01 && i + 3 + file[i + 2] <= file.size())
      texts.emplace_back(file.begin() + long(i) + 3, file.begin() + long(i) + 3 + file[i + 2]);
  return texts;
}

// A dynamic's glyphs are written as its letters, not as the music font's characters ("n" for
// mf); glyphs without a name are left out, text-font letters kept, in ISO 8859-1.
TEST_F(SmfFile, TextEventsSayWhatTheAnnotationsShow) {
  const int v = new_voice();
  add_glyph_anno(v, 46);  // mf
  add_note(v, QUARTER);
  add_text_anno(v, -5, "s");
  add_glyph_anno(v, 47)->set(xadjacent, 1);  // f, a further style run
  add_text_anno(v, -5, "z", true);
  add_note(v, QUARTER);
  add_glyph_anno(v, 41);                         // pppp
  add_glyph_anno(v, 723);                        // segno
  add_text_anno(v, -1, "U", true);               // a glyph of no name
  add_text_anno(v, -5, "dolce Tr\x8Anen \xCE");  // Mac OS Roman: a umlaut, OE
  add_note(v, QUARTER);
  prepare_piece();
  const std::filesystem::path path = folder / "piece.mid";
  ASSERT_EQ(write_midi_file(path.string(), 480), 1);
  EXPECT_EQ(text_events(read_all(path)),
            (std::vector<std::string>{"mf", "sfz", "pppp", "Segno", "dolce Tr\xE4nen ?"}));
}

TEST_F(SmfFile, AnExportThatCannotBeWrittenSaysSoAndLeavesNothing) {
  const int v = new_voice();
  add_note(v, QUARTER);
  prepare_piece();
  capture_reports();
  const std::filesystem::path path = folder / "no such folder" / "piece.mid";
  EXPECT_EQ(write_midi_file(path.string(), 480), 0);
  const std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].text.rfind("The MIDI file could not be written: ", 0), 0u) << said[0].text;
  EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST_F(SmfFile, FormatsRunningStatusAndEventsOfAnyLengthAreRead) {
  Bytes long_meta = {0x00, 0xFF, 0x01, 0x81, 0x48};  // a text of 200 bytes
  long_meta.resize(long_meta.size() + 200, 'x');
  const Bytes one = track({{0x00, 0xF0, 0x03, 0x7E, 0x09, 0xF7},  // SysEx
                           long_meta,
                           {0x00, 0x91, 0x3C, 0x40},  // channel 1
                           {0x60, 0x3E, 0x41},        // running status
                           {0x00, 0xC1, 0x05},        // one data byte
                           {0x81, 0x00, 0x81, 0x3C, 0x00},
                           {0x00, 0xFF, 0x2F, 0x00},
                           {0x00, 0x90, 0x40, 0x40}});  // after the end: never read
  EXPECT_EQ(events(one, 0),
            (std::vector<std::string>{"0 91 3C 64", "96 91 3E 65", "96 C1 05", "224 81 3C 0"}));
  // Format 1: a chunk of another kind between the tracks is passed over.
  Bytes two = one;
  two[9] = 1;
  two[11] = 2;
  const Bytes other = {'X', 'x', 'x', 'x', 0, 0, 0, 2, 1, 2};
  two.insert(two.end(), other.begin(), other.end());
  const Bytes second = track({{0x00, 0x92, 0x30, 0x50}});
  two.insert(two.end(), second.begin() + 14, second.end());
  EXPECT_EQ(events(two, 1), (std::vector<std::string>{"0 92 30 80"}));
  record_settings.first_channel = 2;
  EXPECT_EQ(events(two, 0), std::vector<std::string>{});  // channel 1 is not accepted
  record_settings = RecordSettings{};
  EXPECT_EQ(midi_file_click_division(), 8);
  // A RIFF MIDI file: the Standard MIDI File in its data chunk, after a chunk of odd length
  // and its pad byte.
  const std::string head("RIFF\0\0\0\0RMIDLIST\1\0\0\0x\0data", 26);
  Bytes riff(head.begin(), head.end());
  riff.insert(riff.end(), {uint8_t(one.size()), uint8_t(one.size() >> 8), 0, 0});
  riff.insert(riff.end(), one.begin(), one.end());
  EXPECT_EQ(events(riff, 0).size(), 4u);
}

TEST_F(SmfFile, DamagedFilesEndInAMessageNeverPastTheirEnd) {
  capture_reports();
  const Bytes note = {0x00, 0x90, 0x3C, 0x40};
  struct Case {
    const char* what;
    Bytes file;
    int track;
    size_t events_read;
    const char* message;
  };
  Bytes truncated = track({note, note});
  truncated.resize(truncated.size() - 2);
  Bytes smpte = track({note});
  smpte[12] = 0xE7;
  Bytes no_division = track({note});
  no_division[12] = no_division[13] = 0;
  Bytes more_tracks = track({note});
  more_tracks[11] = 3;
  Bytes huge_chunk = track({note});
  huge_chunk.insert(huge_chunk.begin() + 14, {'J', 'u', 'n', 'k', 0xFF, 0xFF, 0xFF, 0xF0});
  const std::vector<Case> cases = {
      {"not MIDI", {'h', 'e', 'l', 'l', 'o'}, 0, 0, "This is not a valid MIDI file!"},
      {"a header too short",
       {'M', 'T', 'h', 'd', 0, 0, 0, 2, 0, 0},
       0,
       0,
       "This is not a valid MIDI file!"},
      {"SMPTE time", smpte, 0, 0,
       "The timing in your MIDI file must be in divisions of quarter notes, not absolute time!"},
      {"division 0", no_division, 0, 0,
       "The timing in your MIDI file must be in divisions of quarter notes, not absolute time!"},
      {"a lone F4", track({note, {0x00, 0xF4}}), 0, 1,
       "Illegal 'System Status Byte' in your MIDI file!"},
      {"data with no status", track({{0x00, 0x3C, 0x40}}), 0, 0,
       "Illegal 'System Status Byte' in your MIDI file!"},
      {"a five-byte number", track({{0x80, 0x80, 0x80, 0x80, 0x00, 0x90, 0x3C, 0x40}}), 0, 0,
       "A number in your MIDI file is longer than four bytes!"},
      {"SysEx past its track", track({{0x00, 0xF0, 0x8F, 0xFF, 0xFF, 0x7F, 0x01}}), 0, 0,
       "An event in your MIDI file runs past the end of its track!"},
      {"a data byte with its top bit", track({{0x00, 0x90, 0x3C, 0x40, 0x00, 0x3E, 0xC0}}), 0, 1,
       "A data byte in your MIDI file has its top bit set!"},
      {"a track running past the file", truncated, 0, 1, "Premature end of MIDI file!"},
      {"a track that is not there", more_tracks, 2, 0, "Could not find track in your MIDI file!"},
      {"a chunk longer than the file", huge_chunk, 0, 0, "Could not find track in your MIDI file!"},
      {"an empty track", track({}), 0, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(events(c.file, c.track).size(), c.events_read);
    const std::vector<Report> said = take_reports();
    if (!c.message) {
      EXPECT_TRUE(said.empty());
      continue;
    }
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].level, 2);
    EXPECT_EQ(said[0].text, c.message);
  }
}

}  // namespace
