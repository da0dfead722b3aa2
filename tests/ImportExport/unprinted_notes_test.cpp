// unprinted_notes_test.cpp: notes a document does not print (print-object "no") and cue notes:
// kept in the piece with their pitches, drawn as nothing, written back unprinted, and heard
// unless they are cue notes.
//   UnprintedNotes.KeepTheirPitchesDrawNothingAndComeBack: a note, a chord, a grace note and a
//     cue note the document does not print stay notes of the blank head, without stem, dot,
//     accidental, ledger line or beam (test-output/unprinted/unprinted_notes.png), and the
//     export writes them back unprinted.
//   UnprintedNotes.SoundUnlessTheyAreCueNotes: the MIDI export plays the unprinted notes but not
//     the cue notes.
//   UnprintedNotes.CueGraceNoteKeepsItsCueAndLengthlessNotesAreCounted: a cue grace note stays a
//     cue note there and back; notes of no length are left out with one message that counts them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "ImportExport/musicxml_fixture.h"
#include "ImportExport/musicxml_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"
#include "platform/fonts.h"
#include "support/page_image.h"

namespace {

using UnprintedNotes = MusicXmlTest;

constexpr int VAR_STEM_DOWN = 19, VAR_STEM_UP = 20, VAR_LEDGER = 24, VAR_DOT = 47;
constexpr int VAR_ACCIDENTAL = 48, VAR_FLAG_UP = 49, VAR_FLAG_DOWN = 50;

// The drawn (not screen) elements of the page formatted last whose variant is `var`.
int drawn_with_var(int var) {
  int n = 0;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->get(xgscreen)) continue;
    if ((e->xkind == GE_CHAR && e->get(xgc_var) == var) ||
        (e->xkind == GE_LINE && e->get(xgl_var) == var))
      ++n;
  }
  return n;
}

int count_of(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

// The MIDI keys the MIDI export sounds, in order.
std::string played_keys() {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("vesk-unprinted-" + std::to_string(::getpid()));
  EXPECT_EQ(write_midi_file(path.string(), 480), 1);
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  std::filesystem::remove(path);
  std::string keys;
  open_midi_reader(bytes);
  if (read_midi_header() && find_midi_track(0) > 0) {
    read_midi_event(1);
    while (read_midi_event(0))
      if ((midi_event.bytes[0] & 0xF0) == 0x90 && midi_event.bytes[2] > 0)
        keys += (keys.empty() ? "" : " ") + std::to_string(midi_event.bytes[1]);
  }
  close_midi_reader();
  return keys;
}

TEST_F(UnprintedNotes, KeepTheirPitchesDrawNothingAndComeBack) {
  // They were hidden rests, or left out (the chord, the grace note), without a word.
  platform_init_fonts();
  ASSERT_EQ(import_fixture("unprinted_notes.xml", 1), 1);
  for (const Report& r : take_reports()) ADD_FAILURE() << r.text;
  ASSERT_EQ(voice_count, 1);
  const char* const read = "C5q ?A#5q. G4e+?C6e ?C4e+?E4e ?D4e | g?D5e E5h ?F5h |";
  EXPECT_EQ(notes_of(0), read);
  for (int k : {1, 3, 4, 5, 6, 7, 9}) {
    Drosa n = nth_note(0, k);
    EXPECT_EQ(n->get(xnotehead), 6) << k;  // the blank head
    EXPECT_EQ(n->get(xnostem), 1) << k;
    EXPECT_EQ(n->get(xaccplot) + n->get(xstacc) + n->get(xcbeam), 0) << k;
    EXPECT_EQ(n->get(xcue), k == 9) << k;
  }
  EXPECT_NE(nth_note(0, 9)->get(xtie), 0);  // the cue note's drawn tie says it is tied

  ASSERT_EQ(format_page(1, 0), 1);
  EXPECT_TRUE(save_drawn_page("unprinted", "unprinted_notes.png"));
  for (const Report& r : take_reports()) ADD_FAILURE() << r.text;
  // The stems (and the eighth's flag) of the three printed notes, within the staff: the
  // eighth's does not reach the note over it that is not printed. Nothing of the others.
  EXPECT_EQ(drawn_with_var(VAR_STEM_UP) + drawn_with_var(VAR_STEM_DOWN), 3);
  int32_t space = 0;
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (e->xkind != GE_LINE || (e->get(xgl_var) != VAR_STEM_UP && e->get(xgl_var) != VAR_STEM_DOWN))
      continue;
    const int pstaff = e->get(xge_pstaff1);
    const int32_t top = staff_top_y(pstaff, 0);
    space = (top - staff_bottom_y(pstaff, 0)) / 4;
    EXPECT_LT(std::max(e->get(xge_y1), e->get(xge_y2)), top + space);
  }
  EXPECT_EQ(drawn_with_var(VAR_FLAG_UP) + drawn_with_var(VAR_FLAG_DOWN), 1);
  // The notes not printed keep their time on the page: the printed notes stand apart, each
  // measure with its bar line between them, as if hidden rests stood there.
  auto head_x = [](int k) { return note_ntdata(nth_note(0, k))->get(xhdx); };
  EXPECT_GT(head_x(2) - head_x(0), 4 * space);  // C5 to G4
  EXPECT_GT(head_x(8) - head_x(2), 4 * space);  // G4 to E5
  EXPECT_EQ(drawn_with_var(VAR_LEDGER), 0);
  EXPECT_EQ(drawn_with_var(VAR_DOT), 0);
  EXPECT_EQ(drawn_with_var(VAR_ACCIDENTAL), 0);

  const std::string written = exported_musicxml();
  EXPECT_EQ(count_of(written, "<note print-object=\"no\">"), 7) << written;
  EXPECT_EQ(count_of(written, "<cue/>"), 1);
  ASSERT_EQ(import(written), 1);
  EXPECT_EQ(notes_of(0), read);
  EXPECT_NE(nth_note(0, 9)->get(xtie), 0);
}

TEST_F(UnprintedNotes, SoundUnlessTheyAreCueNotes) {
  ASSERT_EQ(import_fixture("unprinted_notes.xml", 1), 1);
  take_reports();
  // C5 A#5 G4+C6 C4+E4 D4 | D5 (grace) E5; the cue note F5 is silent.
  EXPECT_EQ(played_keys(), "72 82 67 84 60 64 62 74 76");
}

TEST_F(UnprintedNotes, CueGraceNoteKeepsItsCueAndLengthlessNotesAreCounted) {
  ASSERT_EQ(import_fixture("cue_grace_and_lengthless_notes.xml", 1), 1);
  std::vector<Report> reports = take_reports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].text.find("neither a type nor a duration"), std::string::npos)
      << reports[0].text;
  EXPECT_NE(reports[0].text.find("2 such places"), std::string::npos) << reports[0].text;
  EXPECT_EQ(notes_of(0), "gB4s A4q C5q |");
  EXPECT_EQ(nth_note(0, 0)->get(xcue), 1);
  EXPECT_EQ(played_keys(), "69 72");  // the cue grace note is silent

  const std::string written = exported_musicxml();
  const size_t grace = written.find("<grace"), cue = written.find("<cue/>");
  ASSERT_NE(cue, std::string::npos) << written;
  EXPECT_LT(grace, cue);
  EXPECT_LT(cue, written.find("<pitch>"));
  ASSERT_EQ(import(written), 1);
  EXPECT_EQ(nth_note(0, 0)->get(xcue), 1);
}

}  // namespace
