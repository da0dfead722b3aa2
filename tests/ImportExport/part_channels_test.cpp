// part_channels_test.cpp: the MIDI channel and program of each part of a MusicXML document:
// those of its midi-instrument, a channel of its own for a part that names none, channel 10 for
// unpitched percussion; the piece exported as a MIDI file and read back by an independent
// reader (Mido, which scripts/setup installs; skipped when no python3 has it).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "ImportExport/musicxml_fixture.h"
#include "model/model_services.h"
#include "performance/performance_services.h"
#include "support/real_scores.h"

namespace {

using PartChannels = MusicXmlTest;

// A part of two quarters: a pitched one, or one of a drum's sound.
std::string part_of(const std::string& id, bool drum) {
  std::string notes;
  for (int i = 0; i < 2; ++i)
    notes += drum ? "<note><unpitched><display-step>C</display-step><display-octave>5"
                    "</display-octave></unpitched><duration>1</duration><instrument id=\"" +
                        id + "-I1\"/><type>quarter</type></note>"
                  : "<note><pitch><step>G</step><octave>4</octave></pitch><duration>1</duration>"
                    "<type>quarter</type></note>";
  return "<part id=\"" + id +
         "\"><measure number=\"1\"><attributes><divisions>1</divisions><time><beats>2</beats>"
         "<beat-type>4</beat-type></time><clef><sign>G</sign><line>2</line></clef>"
         "</attributes>" +
         notes + "</measure></part>";
}

std::string score_part(const std::string& id, const std::string& instrument) {
  return "<score-part id=\"" + id + "\"><part-name>" + id + "</part-name><score-instrument id=\"" +
         id + "-I1\"><instrument-name>i</instrument-name></score-instrument>" + instrument +
         "</score-part>";
}

// A python3 that has Mido, "" when none has.
std::string python_with_mido() {
  for (const char* python : {"/usr/bin/python3", "python3"})
    if (std::system((std::string(python) + " -c 'import mido' >/dev/null 2>&1").c_str()) == 0)
      return python;
  return "";
}

TEST_F(PartChannels, EachPartPlaysOnItsOwnChannelWithItsProgram) {
  const std::string document =
      "<score-partwise version=\"4.0\"><part-list>" +
      score_part("P1",
                 "<midi-instrument id=\"P1-I1\"><midi-channel>3</midi-channel>"
                 "<midi-program>74</midi-program></midi-instrument>") +
      score_part("P2",
                 "<midi-instrument id=\"P2-I1\"><midi-program>42</midi-program>"
                 "</midi-instrument>") +
      score_part("P3", "") +
      score_part("P4",
                 "<midi-instrument id=\"P4-I1\"><midi-unpitched>39</midi-unpitched>"
                 "</midi-instrument>") +
      "</part-list>" + part_of("P1", false) + part_of("P2", false) + part_of("P3", false) +
      part_of("P4", true) + "</score-partwise>";
  ASSERT_EQ(import(document, 1), 1);
  ASSERT_EQ(voice_count, 4);
  std::string channels;
  for (int v = 0; v < 4; ++v)
    channels +=
        std::to_string(find_next_kind_until(VINFO, piece_start[v], NOTE, 0)->get(xmidichan) + 1) +
        " ";
  EXPECT_EQ(channels, "3 1 2 10 ");
  // Written as MusicXML and read again, each pitched part keeps its channel and its program.
  auto channels_and_programs = [] {
    std::string text;
    for (int v = 0; v < 4; ++v) {
      const Drosa info = find_next_kind_until(VINFO, piece_start[v], NOTE, 0);
      text += std::to_string(info->get(xmidichan) + 1) + "/" +
              std::to_string(node_byte(info, 27) & 0x7F) + " ";
    }
    return text;
  };
  const std::string played = channels_and_programs();
  EXPECT_EQ(played, "3/73 1/41 2/0 10/0 ");
  ASSERT_EQ(import(exported_musicxml(), 1), 1);
  EXPECT_EQ(channels_and_programs(), played);
  ASSERT_EQ(import(document, 1), 1);

  const std::string python = python_with_mido();
  if (python.empty()) GTEST_SKIP() << "no python3 with Mido (python3-mido) to read the export";
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "vesk-channels";
  std::filesystem::create_directories(folder);
  const std::string midi = (folder / "parts.mid").string(), out = (folder / "read.txt").string();
  ASSERT_EQ(write_midi_file(midi, 480), 1);
  const std::string script =
      "import mido,sys\n"
      "m=mido.MidiFile(sys.argv[1])\n"
      "print('format',m.type,'tracks',len(m.tracks))\n"
      "seen=set()\n"
      "for e in m.tracks[0]:\n"
      "  if e.type=='program_change': print('program',e.channel+1,e.program+1)\n"
      "  if e.type=='note_on' and e.velocity and e.channel not in seen:\n"
      "    seen.add(e.channel); print('notes',e.channel+1,e.note)\n";
  std::ofstream((folder / "read.py").string()) << script;
  ASSERT_EQ(
      std::system((python + " " + (folder / "read.py").string() + " " + midi + " >" + out).c_str()),
      0);
  EXPECT_EQ(read_file(out),
            "format 0 tracks 1\nprogram 3 74\nprogram 1 42\nnotes 3 67\nnotes 1 67\nnotes 2 67\n"
            "notes 10 38\n");
}

// A document whose last bar line repeats it: the export plays it twice.
TEST_F(PartChannels, ARepeatAtTheLastBarIsPlayedInTheExport) {
  std::string document =
      "<score-partwise version=\"4.0\"><part-list><score-part id=\"P1\"><part-name>P"
      "</part-name></score-part></part-list><part id=\"P1\">";
  for (int m = 1; m <= 2; ++m) {
    document += "<measure number=\"" + std::to_string(m) + "\">";
    if (m == 1)
      document +=
          "<attributes><divisions>1</divisions><time><beats>2</beats><beat-type>4"
          "</beat-type></time><clef><sign>G</sign><line>2</line></clef></attributes>";
    for (const char* step : {"C", "E"})
      document += std::string("<note><pitch><step>") + step + "</step><octave>" +
                  std::to_string(4 + m - 1) +
                  "</octave></pitch><duration>1</duration><type>quarter</type></note>";
    if (m == 2)
      document +=
          "<barline location=\"right\"><bar-style>light-heavy</bar-style>"
          "<repeat direction=\"backward\"/></barline>";
    document += "</measure>";
  }
  document += "</part></score-partwise>";
  ASSERT_EQ(import(document, 1), 1);
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "vesk-channels";
  std::filesystem::create_directories(folder);
  const std::string midi = (folder / "repeat.mid").string();
  ASSERT_EQ(write_midi_file(midi, 480), 1);
  const std::string bytes = read_file(midi);
  std::string keys;
  for (size_t i = 22; i + 2 < bytes.size(); ++i)
    if ((uint8_t(bytes[i]) & 0xF0) == 0x90 && bytes[i + 2] != 0)
      keys += std::to_string(int(bytes[i + 1])) + " ";
  EXPECT_EQ(keys, "60 64 72 76 60 64 72 76 ");
}

}  // namespace
