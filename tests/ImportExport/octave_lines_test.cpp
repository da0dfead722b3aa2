// octave_lines_test.cpp: octave lines a document writes for one voice of a staff over the
// notes of another: the line goes to the voice whose notes it covers, and is drawn whole; and
// pedal marks and lines written after a voice's last note, before the voices read after it,
// or before a rest that gives way to another voice's note.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "ImportExport/exchange_checks.h"
#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/musicxml_services.h"
#include "annotations/anno_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/fonts.h"
#include "platform/port.h"
#include "support/engraved_page.h"
#include "support/page_image.h"

namespace {

using MusicXmlOctaveLines = MusicXmlTest;

// Writes the GE list of the page formatted last to test-output/<name>.png of the build folder.
void save_page(const std::string& name) {
  EXPECT_TRUE(save_drawn_page("octave_lines", name + ".png")) << name;
}

TEST_F(MusicXmlOctaveLines, ALineWrittenAfterAWholeBarRestGoesToTheVoiceWhoseNotesItCovers) {
  // Voice 1 of the upper staff rests through the bar; two 8va lines of that staff, written
  // after its rest and reaching back by their offsets, cover the second and fourth beats,
  // where voice 2 of the lower staff writes its notes on the upper one. Both lines once stayed
  // with the rest: their words stood stacked at it, the first line's notes were not shifted and
  // the second line lost its end.
  platform_init_fonts();
  ASSERT_EQ(import_fixture("octave_lines_over_another_voice.xml", 1), 1);
  ASSERT_EQ(voice_count, 2);
  EXPECT_EQ(notes_of(1), "C5q C6q D5q E6q | C4w |");
  EXPECT_EQ(annotations_of(0), "");
  EXPECT_EQ(annotations_of(1), "8va@1 <@1 >@1 8va@3 <@3 >@3");
  expect_page_clean("octave_lines", "lines_over_another_voice");
  // Each line is drawn dashed with its end hook, over the upper staff, as the document places
  // it there.
  int dashes = 0, hooks = 0;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind != GE_LINE || e->get(xgscreen)) continue;
    const int var = e->get(xgl_var);
    if (var != 67 && var != 68) continue;
    (var == 68 ? dashes : hooks) += 1;
    EXPECT_EQ(e->get(xge_pstaff1), 0);
    EXPECT_GT(e->get(xge_y1), staff_data[0].middle_y + 150);
  }
  EXPECT_EQ(dashes, 2);
  EXPECT_EQ(hooks, 2);
  offscreen_dispose();
}

// Bar 1: a pedal pressed at voice 1's third beat and released after its last note, before the
// backup to voice 2. Bar 2: a pedal line pressed at the first beat and released at the third.
const std::string PEDALS =
    "<?xml version=\"1.0\"?><score-partwise><part-list><score-part id=\"P1\"><part-name>P"
    "</part-name></score-part></part-list><part id=\"P1\"><measure number=\"1\"><attributes>"
    "<divisions>1</divisions><time><beats>4</beats><beat-type>4</beat-type></time><clef>"
    "<sign>G</sign><line>2</line></clef></attributes>"
    "<note><pitch><step>C</step><octave>5</octave></pitch><duration>2</duration><voice>1</voice>"
    "<type>half</type><stem>up</stem></note>"
    "<direction placement=\"below\"><direction-type><pedal type=\"start\"/></direction-type>"
    "</direction>"
    "<note><pitch><step>D</step><octave>5</octave></pitch><duration>2</duration><voice>1</voice>"
    "<type>half</type><stem>up</stem></note>"
    "<direction placement=\"below\"><direction-type><pedal type=\"stop\"/></direction-type>"
    "</direction><backup><duration>4</duration></backup>"
    "<note><pitch><step>E</step><octave>4</octave></pitch><duration>4</duration><voice>2</voice>"
    "<type>whole</type><stem>down</stem></note></measure><measure number=\"2\">"
    "<direction placement=\"below\"><direction-type><pedal type=\"start\" line=\"yes\" "
    "default-y=\"-70\"/></direction-type></direction>"
    "<note><pitch><step>C</step><octave>5</octave></pitch><duration>2</duration><voice>1</voice>"
    "<type>half</type></note>"
    "<direction placement=\"below\"><direction-type><pedal type=\"stop\" line=\"yes\"/>"
    "</direction-type></direction>"
    "<note><pitch><step>D</step><octave>5</octave></pitch><duration>2</duration><voice>1</voice>"
    "<type>half</type></note></measure></part></score-partwise>";

// The pedal lines of voice v: each segment as its role (3 first, 1 last) "@" the number of the
// note it stands before.
std::string pedal_lines_of(int v) {
  std::string out;
  int k = 0;
  for (Drosa p = piece_start[v]; p; p = p->xnext) {
    if (p->xkind == NOTE) ++k;
    if (p->xkind == LINE && p->get(xmetaline) == 12)
      out += std::to_string(p->get(xline_ord)) + "@" + std::to_string(k) + " ";
  }
  return out;
}

TEST_F(MusicXmlOctaveLines, APedalReleasedAfterAVoiceStaysAfterItsPressAndALineIsDrawn) {
  // The release written before the backup went to voice 2's first note, at the bar's start,
  // before its press; a pedal asked as a line drew marks.
  platform_init_fonts();
  ASSERT_EQ(import(PEDALS, 1), 1);
  EXPECT_EQ(pedal_lines_of(0), "3@2 1@2 ") << "a line from the third note over its time";
  ASSERT_EQ(format_page(1, 0), 1);
  save_page("pedal_line");
  // A bracket: its hooks reach up from its line's ends; the line runs over the half note.
  constexpr int START_HOOK = 66, BRACKET_LINE = 68;  // the end's hook is 67
  GEInkBox parts[3] = {};
  int found = 0;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    const int var = e->xkind == GE_LINE ? e->get(xgl_var) : 0;
    if (var >= START_HOOK && var <= BRACKET_LINE && ge_ink_box(e, &parts[var - START_HOOK]))
      ++found;
  }
  ASSERT_EQ(found, 3);
  // The marks of bar 1: "Ped.", then its release, after it.
  std::vector<GEInkBox> marks;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    GEInkBox box;
    if (e->xkind != GE_LINE && e->xkind != NOTEPTR && e->get(xganno) && ge_ink_box(e, &box))
      marks.push_back(box);
  }
  ASSERT_EQ(marks.size(), 2u);
  auto width = [](const GEInkBox& b) { return b.right - b.left; };
  const bool press_first = width(marks[0]) > width(marks[1]);  // "Ped." is the wider
  const GEInkBox& press = marks[press_first ? 0 : 1];
  const GEInkBox& release = marks[press_first ? 1 : 0];
  EXPECT_LT(press.right, release.left) << "the release after its press";
  const GEInkBox& line = parts[2];
  for (const GEInkBox& hook : {parts[0], parts[1]}) {
    EXPECT_LE(hook.bottom, line.bottom + 5);
    EXPECT_GT(hook.top, line.top + 40) << "up from the line";
  }
  EXPECT_LT(parts[0].right, line.left + 20);
  EXPECT_GT(parts[1].left, line.right - 20);
  EXPECT_GT(line.right - line.left, 400) << "over the half note";

  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("vesk-pedals-" + std::to_string(::getpid()));
  ASSERT_EQ(export_musicxml_file(path.string()), 1);
  std::ifstream in(path);
  std::stringstream written;
  written << in.rdbuf();
  EXPECT_NE(written.str().find("<pedal type=\"start\" line=\"yes\" default-y=\"-70\""),
            std::string::npos)
      << written.str();
  discard_piece_lists();
  voice_count = 0;
  ASSERT_EQ(import(written.str()), 1);
  EXPECT_EQ(pedal_lines_of(0), "3@2 1@2 ") << "written back and read again";
  std::filesystem::remove(path);
  take_reports();
}

TEST_F(MusicXmlOctaveLines, APedalLineWrittenBeforeARestGoesToTheNoteSoundingThen) {
  // Voice 1 rests on the first beat where voice 2 sounds: the rest gives way to the note on the
  // page, and the line once went with it.
  const std::string document =
      "<?xml version=\"1.0\"?><score-partwise><part-list><score-part id=\"P1\"><part-name>P"
      "</part-name></score-part></part-list><part id=\"P1\"><measure number=\"1\"><attributes>"
      "<divisions>1</divisions><time><beats>2</beats><beat-type>4</beat-type></time><clef>"
      "<sign>G</sign><line>2</line></clef></attributes>"
      "<direction><direction-type><pedal type=\"start\" line=\"yes\"/></direction-type>"
      "</direction><note><rest/><duration>1</duration><voice>1</voice><type>quarter</type>"
      "</note><note><pitch><step>C</step><octave>5</octave></pitch><duration>1</duration>"
      "<voice>1</voice><type>quarter</type><stem>up</stem></note><backup><duration>2</duration>"
      "</backup><note><pitch><step>E</step><octave>4</octave></pitch><duration>1</duration>"
      "<voice>2</voice><type>quarter</type><stem>down</stem></note><note><pitch><step>F</step>"
      "<octave>4</octave></pitch><duration>1</duration><voice>2</voice><type>quarter</type>"
      "<stem>down</stem></note><direction><direction-type><pedal type=\"stop\" line=\"yes\"/>"
      "</direction-type></direction></measure></part></score-partwise>";
  ASSERT_EQ(import(document, 1), 1);
  ASSERT_EQ(voice_count, 2);
  EXPECT_EQ(pedal_lines_of(0), "");
  EXPECT_EQ(pedal_lines_of(1), "3@0 1@1 ");
}

// Two voices of a staff under an 8va line that the first voice carries, then under a 15ma
// line; the pitches are the sounding ones.
std::string two_voices_under_octave_lines() {
  auto shift = [](const char* type, int size) {
    return std::string("<direction placement=\"above\"><direction-type><octave-shift type=\"") +
           type + "\" size=\"" + std::to_string(size) + "\"/></direction-type></direction>";
  };
  auto note = [](const char* step, int octave, int voice, int duration, const char* type) {
    return std::string("<note><pitch><step>") + step + "</step><octave>" + std::to_string(octave) +
           "</octave></pitch><duration>" + std::to_string(duration) + "</duration><voice>" +
           std::to_string(voice) + "</voice><type>" + type + "</type></note>";
  };
  const std::string backup = "<backup><duration>4</duration></backup>";
  return "<score-partwise version=\"3.1\"><part-list><score-part id=\"P1\"><part-name>Pno"
         "</part-name></score-part></part-list><part id=\"P1\"><measure number=\"1\">"
         "<attributes><divisions>1</divisions><time><beats>4</beats><beat-type>4</beat-type>"
         "</time><clef><sign>G</sign><line>2</line></clef></attributes>" +
         shift("down", 8) + note("C", 6, 1, 2, "half") + note("D", 6, 1, 2, "half") + backup +
         note("E", 5, 2, 4, "whole") + "</measure><measure number=\"2\">" +
         note("C", 6, 1, 4, "whole") + shift("stop", 8) + backup + note("G", 5, 2, 4, "whole") +
         "</measure><measure number=\"3\">" + shift("down", 15) + note("C", 7, 1, 4, "whole") +
         shift("stop", 15) + backup + note("E", 6, 2, 4, "whole") +
         "</measure><measure number=\"4\">" + note("C", 5, 1, 4, "whole") + backup +
         note("E", 4, 2, 4, "whole") + "</measure></part></score-partwise>";
}

TEST_F(MusicXmlOctaveLines, EveryVoiceUnderALineKeepsItsOctavesWrittenAndReadAgain) {
  // The second voice's notes came back an octave lower each time, and the 15ma line was left
  // out, its notes written two octaves low.
  const std::string document = two_voices_under_octave_lines();
  ASSERT_EQ(import(document, 1), 1);
  ASSERT_EQ(voice_count, 2);
  const std::string shown[2] = {notes_of(0), notes_of(1)};
  EXPECT_EQ(shown[0], "C5h D5h | C5w | C5w | C5w |");
  EXPECT_EQ(shown[1], "E4w | G4w | E4w | E4w |");
  std::string written = exported_musicxml();
  for (int cycle = 0; cycle < 2; ++cycle) {
    EXPECT_EQ(note_differences(measure_notes(document), measure_notes(written)),
              std::vector<std::string>{})
        << "cycle " << cycle;
    EXPECT_NE(written.find("size=\"15\""), std::string::npos);
    discard_piece_lists();
    voice_count = 0;
    ASSERT_EQ(import(written, 1), 1);
    EXPECT_EQ(notes_of(0), shown[0]) << "cycle " << cycle;
    EXPECT_EQ(notes_of(1), shown[1]) << "cycle " << cycle;
    written = exported_musicxml();
  }
  take_reports();
}

TEST_F(MusicXmlOctaveLines, ALineAnotherVoiceTakesOnShiftsItsNotesToItsStop) {
  // The second voice begins an 8va line in bar 1 and has no notes after it; the first voice
  // takes the music on in bar 2, under the line to its stop. The line ended with the second
  // voice's last note, and the first voice's E6 was written where it was shown, an octave low.
  const std::string document =
      "<score-partwise version=\"3.1\"><part-list><score-part id=\"P1\"><part-name>Pno"
      "</part-name></score-part></part-list><part id=\"P1\"><measure number=\"1\"><attributes>"
      "<divisions>1</divisions><time><beats>4</beats><beat-type>4</beat-type></time><clef>"
      "<sign>G</sign><line>2</line></clef></attributes><note><pitch><step>E</step><octave>4"
      "</octave></pitch><duration>2</duration><voice>1</voice><type>half</type></note><note>"
      "<rest/><duration>2</duration><voice>1</voice><type>half</type></note><backup><duration>2"
      "</duration></backup><direction><direction-type><octave-shift type=\"down\" size=\"8\"/>"
      "</direction-type></direction><note><pitch><step>C</step><octave>6</octave></pitch>"
      "<duration>1</duration><voice>2</voice><type>quarter</type></note><note><pitch><step>D"
      "</step><octave>6</octave></pitch><duration>1</duration><voice>2</voice><type>quarter"
      "</type></note></measure><measure number=\"2\"><print new-system=\"yes\"/><note><pitch>"
      "<step>E</step><octave>6</octave></pitch><duration>1</duration><voice>1</voice><type>"
      "quarter</type></note><direction><direction-type><octave-shift type=\"stop\" size=\"8\"/>"
      "</direction-type></direction><note><pitch><step>F</step><octave>4</octave></pitch>"
      "<duration>3</duration><voice>1</voice><type>half</type><dot/></note></measure></part>"
      "</score-partwise>";
  platform_init_fonts();
  ASSERT_EQ(import(document, 1), 1);
  // The line goes on in the first voice, its words again at the start of the second system.
  EXPECT_EQ(annotations_of(0), "8va@2 <@2 >@2");
  EXPECT_EQ(annotations_of(1), "8va@1 <@1 >@2");
  ASSERT_EQ(format_page(1, 0), 1);
  save_page("line_another_voice_takes_on");
  const std::vector<PageFault> faults = check_page_elements(formatted_page_frame(1));
  EXPECT_TRUE(faults.empty()) << page_faults_text(faults);
  offscreen_dispose();
  const std::string written = exported_musicxml();
  EXPECT_EQ(note_differences(measure_notes(document), measure_notes(written)),
            std::vector<std::string>{});
  discard_piece_lists();
  voice_count = 0;
  ASSERT_EQ(import(written, 1), 1);
  EXPECT_EQ(exported_musicxml(), written);
  take_reports();
}

}  // namespace
