// tremolo_test.cpp: the strokes of a tremolo on one note read from MusicXML and written back;
// string numbers kept on their notes and written back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/musicxml_services.h"
#include "model/model_services.h"

namespace {

using MusicXmlTremolo = MusicXmlTest;

std::string note(const char* step, const std::string& ornaments,
                 const std::string& technical = "") {
  return std::string("<note><pitch><step>") + step +
         "</step><octave>5</octave></pitch><duration>1</duration><voice>1</voice>"
         "<type>quarter</type><notations><ornaments>" +
         ornaments + "</ornaments><technical>" + technical + "</technical></notations></note>";
}

// The strokes of every note of voice v, in order.
std::string strokes_of(int v) {
  std::string out;
  for (Drosa p = piece_start[v]; p; p = p->xnext)
    if (p->xkind == NOTE) out += std::to_string(p->get(xtremolo));
  return out;
}

TEST_F(MusicXmlTremolo, StrokesOfOneNoteAreKeptAndWrittenBackStringNumbersToo) {
  // One, three and five strokes (drawn as three, and said), none, and the two notes of a
  // tremolo between notes that each last their whole value, which cannot be beamed as a
  // tremolo: they keep their values with the strokes on each. A string number is kept on its
  // note (the string it takes when the staff is made tablature) and written back.
  const std::string document =
      "<?xml version=\"1.0\"?><score-partwise><part-list><score-part id=\"P1\"><part-name>V"
      "</part-name></score-part></part-list><part id=\"P1\"><measure number=\"1\"><attributes>"
      "<divisions>1</divisions><time><beats>4</beats><beat-type>4</beat-type></time><clef>"
      "<sign>G</sign><line>2</line></clef></attributes>" +
      note("C", "<tremolo type=\"single\">1</tremolo>") + note("D", "<tremolo>3</tremolo>") +
      note("E", "<tremolo type=\"single\">5</tremolo>") + note("F", "<trill-mark/>") +
      "</measure><measure number=\"2\">" + note("G", "<tremolo type=\"start\">2</tremolo>") +
      note("A", "<tremolo type=\"stop\">2</tremolo>") +
      note("B", "<tremolo type=\"unmeasured\"/>") + note("C", "", "<string>2</string>") +
      "</measure></part>"
      "</score-partwise>";
  ASSERT_EQ(import(document), 1);
  EXPECT_EQ(strokes_of(0), "13302200");
  const std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_NE(r[0].text.find("5 strokes"), std::string::npos) << r[0].text;
  EXPECT_EQ(nth_note(0, 7)->get(xstring), 2);

  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("vesk-tremolo-" + std::to_string(::getpid()));
  ASSERT_EQ(export_musicxml_file(path.string()), 1);
  std::ifstream in(path, std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(in)), {});
  std::filesystem::remove(path);
  EXPECT_NE(written.find("<tremolo type=\"single\">3</tremolo>"), std::string::npos);
  EXPECT_NE(written.find("<technical>\n\t\t\t\t\t\t<string>2</string>"), std::string::npos);
  discard_piece_lists();
  voice_count = 0;
  ASSERT_EQ(import(written), 1);
  EXPECT_EQ(strokes_of(0), "13302200");
}

}  // namespace
