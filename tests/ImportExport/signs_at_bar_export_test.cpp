// signs_at_bar_export_test.cpp: the signs a piece sets at a measure's first note, exported.
//   SignsAtBarExport.*: a key and a time signature standing before the bar line they follow
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/musicxml_services.h"
#include "model/model_services.h"
#include "support/real_scores.h"

namespace {

using SignsAtBarExport = MusicXmlTest;

TEST_F(SignsAtBarExport, AKeyAndTimeSetAtAMeasuresFirstNoteAreWrittenInThatMeasure) {
  const std::string document =
      "<?xml version=\"1.0\"?><score-partwise><part-list><score-part id=\"P1\"><part-name>Fl"
      "</part-name></score-part></part-list><part id=\"P1\"><measure number=\"1\"><attributes>"
      "<divisions>1</divisions><key><fifths>0</fifths></key><time><beats>4</beats><beat-type>4"
      "</beat-type></time><clef><sign>G</sign><line>2</line></clef></attributes><note><pitch>"
      "<step>C</step><octave>5</octave></pitch><duration>4</duration><type>whole</type></note>"
      "</measure><measure number=\"2\"><attributes><key><fifths>2</fifths></key><time><beats>3"
      "</beats><beat-type>4</beat-type></time></attributes><note><pitch><step>D</step><octave>5"
      "</octave></pitch><duration>3</duration><type>half</type><dot/></note></measure></part>"
      "</score-partwise>";
  ASSERT_EQ(import(document), 1);
  // The Key Signature and Time Signature commands set them after the last note of the
  // measure before, ahead of its bar line: moved there.
  Drosa bar = nth_note(0, 0);
  while (bar && bar->xkind != BAR) bar = bar->xnext;
  ASSERT_NE(bar, NIL);
  for (Drosa p = bar->xnext; p && p->xkind != NOTE;) {
    Drosa next = p->xnext;
    if (p->xkind == KEYSIG || p->xkind == TIMESIG) {
      link_after(copyDrosa(p), bar->xback);
      destroy_node(p);
    }
    p = next;
  }
  const std::filesystem::path path = std::filesystem::temp_directory_path() /
                                     ("vesk-signs-" + std::to_string(::getpid()) + ".xml");
  ASSERT_EQ(export_musicxml_file(path.string()), 1);
  std::string written = read_file(path);
  std::filesystem::remove(path);
  written = written.substr(std::min(written.find("<measure number=\"2\""), written.size()));
  std::erase_if(written, [](char c) { return c == '\n' || c == '\t'; });
  EXPECT_NE(written.find("<attributes><key><fifths>2</fifths></key><time><beats>3</beats>"
                         "<beat-type>4</beat-type></time></attributes>"),
            std::string::npos)
      << written;
}

}  // namespace
