// clef_change_test.cpp: a staff's clef changing in the middle of a measure in which several
// voices share the staff: every voice takes the change at the time the document gives it.
#include <gtest/gtest.h>

#include <string>

#include "ImportExport/musicxml_fixture.h"
#include "layout/layout_services.h"
#include "model/model_services.h"

namespace {

using MusicXmlClefChange = MusicXmlTest;

std::string note(const char* step, int octave, int duration, const char* type, int voice, int staff,
                 const char* dot = "") {
  return "<note><pitch><step>" + std::string(step) + "</step><octave>" + std::to_string(octave) +
         "</octave></pitch><duration>" + std::to_string(duration) + "</duration><voice>" +
         std::to_string(voice) + "</voice><type>" + type + "</type>" + dot + "<staff>" +
         std::to_string(staff) + "</staff></note>";
}

std::string forward(int duration, int voice, int staff) {
  return "<forward><duration>" + std::to_string(duration) + "</duration><voice>" +
         std::to_string(voice) + "</voice><staff>" + std::to_string(staff) + "</staff></forward>";
}

// A piano part whose lower staff turns to the treble clef at the first measure's third beat,
// read with its upper voice after a forward; its lower voice, read after it, holds a dotted
// half from the second beat, and a fourth voice begins only in the second measure.
std::string piano_document() {
  const std::string backup = "<backup><duration>16</duration></backup>";
  return "<?xml version=\"1.0\"?>\n<score-partwise version=\"3.1\"><part-list>"
         "<score-part id=\"P1\"><part-name>Piano</part-name></score-part></part-list>"
         "<part id=\"P1\"><measure number=\"1\"><attributes><divisions>4</divisions>"
         "<time><beats>4</beats><beat-type>4</beat-type></time><staves>2</staves>"
         "<clef number=\"1\"><sign>G</sign><line>2</line></clef>"
         "<clef number=\"2\"><sign>F</sign><line>4</line></clef></attributes>" +
         note("C", 5, 16, "whole", 1, 1) + backup + forward(8, 2, 2) +
         "<attributes><clef number=\"2\"><sign>G</sign><line>2</line></clef></attributes>" +
         note("C", 5, 4, "quarter", 2, 2) + forward(4, 2, 2) + backup +
         "<note><rest/><duration>4</duration><voice>3</voice><type>quarter</type><staff>2"
         "</staff></note>" +
         note("A", 2, 12, "half", 3, 2, "<dot/>") + "</measure><measure number=\"2\">" +
         note("D", 5, 16, "whole", 1, 1) + backup + note("E", 5, 16, "whole", 2, 2) + backup +
         note("G", 4, 8, "half", 3, 2) + note("A", 4, 8, "half", 3, 2) + backup +
         note("C", 4, 16, "whole", 4, 2) + "</measure></part></score-partwise>";
}

// The voice's notes with its clef changes among them: "G" or "F" for a shown one, "(G)" for a
// hidden one.
std::string notes_and_clefs(int v) {
  std::string s;
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    if (p->xkind == CLEF && p->get(xclef_change)) {
      const char* sign = p->get(xclef) == 0 ? "G" : p->get(xclef) == 1 ? "F" : "?";
      s += p->get(xclefhide) ? std::string("(") + sign + ") " : std::string(sign) + " ";
    } else if (p->xkind == NOTE) {
      s += p->get(xrest) ? "r " : "n ";
    } else if (p->xkind == BAR) {
      s += "| ";
    }
  }
  return s;
}

// The clef code in force before the voice's k-th note.
int clef_before(int v, int k) {
  int clef = -1;
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    if (p->xkind == CLEF) clef = p->get(xclef);
    if (p->xkind == NOTE && k-- == 0) return clef;
  }
  return -2;
}

TEST_F(MusicXmlClefChange, EveryVoiceOfTheStaffTakesTheChangeAtItsTime) {
  ASSERT_EQ(import(piano_document()), 1);
  ASSERT_EQ(voice_count, 4);
  EXPECT_EQ(notes_and_clefs(0), "n | n | ");
  // The upper voice of the lower staff shows the change before its quarter, after its rest.
  EXPECT_EQ(notes_and_clefs(1), "r G n r | n | ");
  EXPECT_EQ(clef_before(1, 1), 0);
  // The lower voice keeps its dotted half in the bass clef and takes the change after it,
  // hidden, as does the voice that has no note before the change: the upper voice shows it.
  EXPECT_EQ(notes_and_clefs(2), "r n (G) | n n | ");
  EXPECT_EQ(clef_before(2, 1), 1);
  EXPECT_EQ(clef_before(2, 2), 0);
  EXPECT_EQ(notes_and_clefs(3), "r (G) r | n | ");
}

TEST_F(MusicXmlClefChange, AChangeWrittenByTheVoiceComingFromTheOtherStaffStandsAtItsTime) {
  // In a measure that opens a system, read before any note of the staff: it took the place of
  // the clef the system begins with, before the left hand's first note. Written again by the
  // left hand, it was a second change.
  ASSERT_EQ(import_fixture("clef_change_written_by_the_voice_crossing_at_a_system_start.xml", 1),
            1);
  ASSERT_EQ(voice_count, 2);
  EXPECT_EQ(notes_and_clefs(1), "n | n G r F n | n | ");
  EXPECT_EQ(clef_before(1, 1), 1);
}

// The upper staff turns to the treble clef after the second measure's notes, while a voice
// that begins only in the third has its gap there filled with hidden rests: the change is
// written where it comes in force, at the third measure, not before the second one's notes.
TEST_F(MusicXmlClefChange, AChangeAtAMeasureEndIsWrittenForTheNextMeasure) {
  ASSERT_EQ(import(musicxml_fixture("clef_at_a_measure_end_beside_a_later_voice.xml")), 1);
  const std::string written = exported_musicxml();
  const size_t second = written.find("<measure number=\"2\""),
               third = written.find("<measure number=\"3\"");
  EXPECT_EQ(written.find("<sign>G</sign>", second), written.find("<sign>G</sign>", third));
}

}  // namespace
