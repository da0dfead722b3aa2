// tempo_marks_test.cpp: tempo marks of imported documents, as shown, played and written back.
//   TempoMarks.MetronomeMarkReadsAsWrittenAndComesBack: a metronome mark is "note = N",
//     spaced, plays at N and is written back as the same mark.
//   TempoMarks.SoundTempoCountsTheBeat: a tempo the document gives only for the performance
//     (in quarter notes a minute) is played in the beat of the time signature.
//   TempoMarks.SoundTempoAloneIsHidden: such a tempo, with words or with nothing beside it,
//     is a hidden metronome text the page does not show, written back as a sound only.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/musicxml_services.h"
#include "annotations/anno_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"
#include "support/real_scores.h"

namespace {

using TempoMarks = MusicXmlTest;

// A document of one part of one measure: the time signature, what comes before its note,
// and the note filling the measure.
std::string one_measure(int beats, int beat_type, const std::string& before, const char* type) {
  return "<?xml version=\"1.0\"?><score-partwise version=\"3.1\"><part-list><score-part "
         "id=\"P1\"><part-name>P</part-name></score-part></part-list><part id=\"P1\"><measure "
         "number=\"1\"><attributes><divisions>1</divisions><time><beats>" +
         std::to_string(beats) + "</beats><beat-type>" + std::to_string(beat_type) +
         "</beat-type></time></attributes>" + before +
         "<note><pitch><step>C</step><octave>5</octave></pitch><duration>" +
         std::to_string(beats * 4 / beat_type) + "</duration><voice>1</voice><type>" + type +
         "</type></note></measure></part></score-partwise>";
}

// The first annotation of voice 0 that reads as a metronome mark; NIL for none.
Drosa first_metronome() {
  double bpm = 0;
  int32_t unit = 0, dots = 0;
  for (Drosa p = piece_start[0]; p; p = p->xnext)
    if (p->xkind == TPARAM && !p->get(xadjacent) && parse_metronome_text(p, &bpm, &unit, &dots))
      return p;
  return NIL;
}

// The tempo the first metronome mark of voice 0 plays at: "bpm unit dots", or "none".
std::string played_tempo() {
  double bpm = 0;
  int32_t unit = 0, dots = 0;
  const Drosa first = first_metronome();
  if (!first || !parse_metronome_text(first, &bpm, &unit, &dots)) return "none";
  return std::to_string(int(bpm)) + " " + std::to_string(unit) + " " + std::to_string(dots);
}

TEST_F(TempoMarks, MetronomeMarkReadsAsWrittenAndComesBack) {
  const std::string d = one_measure(
      4, 4,
      "<direction placement=\"above\"><direction-type><metronome><beat-unit>quarter"
      "</beat-unit><beat-unit-dot/><per-minute>120</per-minute></metronome></direction-type>"
      "</direction>",
      "whole");
  ASSERT_EQ(import(d), 1);
  // The note, then the number set apart from it by spaced "=": it stood pressed on "=120".
  const std::string shown = annotations_of(0);
  EXPECT_NE(shown.find("+ = 120@0"), std::string::npos) << shown;
  EXPECT_EQ(played_tempo(), "120 3 1");

  const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("vesk-tempo-" + std::to_string(::getpid()) + ".xml");
  ASSERT_EQ(export_musicxml_file(path.string()), 1);
  const std::string written = read_file(path);
  std::filesystem::remove(path);
  EXPECT_NE(written.find("<beat-unit>quarter</beat-unit>"), std::string::npos) << written;
  EXPECT_NE(written.find("<beat-unit-dot/>"), std::string::npos) << written;
  EXPECT_NE(written.find("<per-minute>120</per-minute>"), std::string::npos) << written;
  EXPECT_EQ(written.find("<words>"), std::string::npos) << "no words around the mark";
  discard_piece_lists();
  voice_count = 0;
  ASSERT_EQ(import(written), 1);
  // (The written document adds commands of its page layout before the mark.)
  EXPECT_NE(annotations_of(0).find(" " + shown), std::string::npos) << annotations_of(0);
}

TEST_F(TempoMarks, SoundTempoCountsTheBeat) {
  // 40 quarters a minute in 4/8 are 80 eighths: the mark said 40 eighths and played at half
  // the speed. 120 quarters in 2/2 are 60 halves; 75 quarters make no whole number of halves
  // and stay quarters; 4/4 keeps its quarters. 6/8 counts dotted quarters (120 quarters are
  // 80), unless they make no whole number (100 quarters stay 200 eighths).
  const struct {
    int beats, beat_type;
    const char* tempo;
    const char* type;
    const char* played;
  } cases[] = {{4, 8, "40", "half", "80 4 0"},  {2, 2, "120", "whole", "60 2 0"},
               {2, 2, "75", "whole", "75 3 0"}, {4, 4, "96", "whole", "96 3 0"},
               {6, 8, "120", "half", "80 3 1"}, {6, 8, "100", "half", "200 4 0"}};
  for (const auto& c : cases) {
    discard_piece_lists();
    voice_count = 0;
    ASSERT_EQ(import(one_measure(c.beats, c.beat_type,
                                 "<sound tempo=\"" + std::string(c.tempo) + "\"/>", c.type)),
              1);
    EXPECT_EQ(played_tempo(), c.played) << c.beats << "/" << c.beat_type << " at " << c.tempo;
  }
}

TEST_F(TempoMarks, SoundTempoAloneIsHidden) {
  // A tempo for the performance alone, and one beside tempo words: the mark "= 35" once stood
  // over the first system where the document prints none (or only the words).
  const char* const befores[] = {
      "<direction><sound tempo=\"35\"/></direction>",
      "<direction placement=\"above\"><direction-type><words>Adagio</words></direction-type>"
      "<sound tempo=\"35\"/></direction>"};
  for (const char* before : befores) {
    discard_piece_lists();
    voice_count = 0;
    ASSERT_EQ(import(one_measure(4, 4, before, "whole")), 1);
    EXPECT_EQ(played_tempo(), "35 3 0") << before;
    const Drosa mark = first_metronome();
    ASSERT_TRUE(mark) << annotations_of(0);
    EXPECT_EQ(mark->get(xhidden), 1) << before;
    const std::string written = exported_musicxml();
    EXPECT_NE(written.find("<sound tempo=\"35\"/>"), std::string::npos) << written;
    EXPECT_EQ(written.find("<metronome"), std::string::npos) << written;
    EXPECT_EQ(written.find("Adagio") != std::string::npos,
              std::string(before).find("Adagio") != std::string::npos);
    discard_piece_lists();
    voice_count = 0;
    ASSERT_EQ(import(written), 1);
    EXPECT_EQ(played_tempo(), "35 3 0") << written;
  }
}

}  // namespace
