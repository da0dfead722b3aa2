// tests/editing/copypaste_test.cpp: Copy Music, Copy Measures and Paste Music through the Edit
// menu, and the picture of a page rectangle on the system clipboard.
//   CopyMusic.*:     a partly copied chord stays a chord; notes of two voices
//   CopyMeasures.*:  whole measures of one voice or all; a key change refuses and leaves the
//                    clipboard empty
//   PasteMusic.*:    the key question; timing boundaries; refusals that change nothing; between
//                    two pieces and two notation contexts
//   CopyRectangle.*: PDF and PNG on the system clipboard
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/clipboard.h"
#include "platform/script.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"
#include "support/piece_files.h"
#include "support/symbol_page.h"

namespace {

using CopyMusic = SymbolPage;
using CopyMeasures = SymbolPage;
using PasteMusic = SymbolPage;
using CopyRectangle = SymbolPage;

std::string clipboard_kinds() {
  std::string text;
  for (Drosa p = clipboard_list; p; p = p->xnext)
    text += std::string(text.empty() ? "" : " ") + node_kind_name(p);
  return text;
}

// A chord of three notes, then rests; the lower staff holds halves.
void chord_piece() {
  const int upper = staff_voice(0, 0), lower = staff_voice(1, 1);
  add_chord(upper, QUARTER, {28, 30, 32});
  add_tokens(upper, "D5 r r | r r r r |");
  add_tokens(lower, "hC4 hE4 | hG3 hC4 |");
}

TEST_F(CopyMusic, TwoNotesOfAChordKeepItsEndAndTimeAndPasteAsTheChord) {
  open(chord_piece);
  std::vector<Drosa> notes = voice_notes(0);
  set_insertion_point(NIL, 0, -10);
  notes[0]->set(xselected, 1);
  notes[1]->set(xselected, 1);
  group_selected = 1;
  command(EDIT_MENU, 5);
  EXPECT_EQ(clipboard_kind, 2);
  EXPECT_EQ(clipboard_kinds(), "KEYSIG PRINT NOTE NOTE");
  Drosa second = clipboard_list->xnext->xnext->xnext;
  EXPECT_TRUE(second->get(xendvcd));
  EXPECT_EQ(second->get(xttn), notes[2]->get(xttn)) << "the chord's time";
  EXPECT_FALSE(second->xback->get(xendvcd));

  notes[0]->set(xselected, 0);
  notes[1]->set(xselected, 0);
  group_selected = 0;
  select(voice_notes(0)[6]);  // the first rest of bar 2
  command(EDIT_MENU, 6);
  EXPECT_EQ(symbol_dump(0), "clef0 key0[] 4/4 C4 E4 G4 D5 r r | C4 E4 r r r |");
  EXPECT_EQ(voice_notes(0)[6]->get(xendvcd), 0);
  EXPECT_EQ(voice_notes(0)[7]->get(xendvcd), 1);
  expect_consistent();
}

TEST_F(CopyMusic, NotesOfTwoVoicesAreSaidOnceAndAHiddenRestIsNamed) {
  open(chord_piece);
  capture_reports();
  set_insertion_point(NIL, 0, -10);
  for (Drosa n : {voice_notes(0)[3], voice_notes(1)[0], voice_notes(1)[1]}) n->set(xselected, 1);
  group_selected = 1;
  command(EDIT_MENU, 5);
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text,
            "When you copy music, all the notes must be from one voice!  (Try Highlight Voice to "
            "avoid selecting multiple voices.)");
  EXPECT_EQ(clipboard_kinds(), "KEYSIG PRINT NOTE") << "the first voice's note stays copied";

  voice_notes(0)[4]->set(xhider, 1);  // a hidden rest of the upper voice
  voice_notes(0)[4]->set(xselected, 1);
  command(EDIT_MENU, 5);
  r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_NE(r[0].text.find("(You have a hidden rest selected.)"), std::string::npos);
}

// Two staves of 4/4 quarters; a key change to G major before bar 3.
void keys_piece() {
  const int upper = staff_voice(0, 0), lower = staff_voice(1, 1);
  add_tokens(upper, "C5 D5 E5 F5 | G5 A5 B5 C6 | K1 D6 C6 B5 A5 | G5 F#5 E5 D5 | r r r r |");
  add_tokens(lower, "hC4 hE4 | hG3 hC4 | K1 hD4 hB3 | hD4 hG3 | hC4 hC4 |");
}

TEST_F(CopyMeasures, WholeMeasuresOfAllVoicesAndAKeyChangeRefused) {
  open(keys_piece);
  select(voice_notes(0)[0]);
  script_type(4, "2");
  script_hit(7);   // all voices
  script_hit(11);  // no annotations
  dialog_image("copy_measures");
  script_hit(1);
  command(EDIT_MENU, 8);
  EXPECT_EQ(copy_voice_count, 2);
  EXPECT_EQ(clipboard_kinds(),
            "KEYSIG PRINT NOTE NOTE NOTE NOTE NOTE NOTE NOTE NOTE COPY KEYSIG PRINT NOTE NOTE NOTE "
            "NOTE");

  capture_reports();
  select(voice_notes(0)[4]);
  script_type(4, "2");
  script_hit(5);
  script_hit(1);
  command(EDIT_MENU, 8);
  const std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text, "You cannot Copy Music over key changes!");
  EXPECT_EQ(clipboard_kind, 0) << "nothing copied, nothing to paste";
  EXPECT_FALSE(clipboard_list);
}

TEST_F(PasteMusic, IntoAnotherKeyAsksAndCancelChangesNothing) {
  open(keys_piece);
  select(voice_notes(0)[0]);
  script_type(4, "1");
  script_hit(5);
  script_hit(1);
  command(EDIT_MENU, 8);  // C D E F of C major
  const std::string before = stored_voice_bytes();
  select(voice_notes(0)[12]);  // bar 4, in G major
  script_hit(2);               // Cancel
  command(EDIT_MENU, 6);
  EXPECT_EQ(shown().back().text,
            "The notes were copied from a different key signature.  Do you want to transpose "
            "them?");
  EXPECT_TRUE(stored_voice_bytes() == before);

  script_hit(1);  // Yes: into G major
  command(EDIT_MENU, 6);
  EXPECT_EQ(note_keys(0), "60 62 64 65 67 69 71 72 74 72 71 69 55 57 59 60")
      << "C D E F down a fourth, the nearest way into G major";
  expect_consistent();
  undo();
  EXPECT_TRUE(stored_voice_bytes() == before);
}

TEST_F(PasteMusic, SeveralVoicesNeedATimingBoundaryAndEveryRefusalChangesNothing) {
  open(keys_piece);
  select(voice_notes(0)[0]);
  script_type(4, "1");
  script_hit(7);
  script_hit(1);
  command(EDIT_MENU, 8);
  const std::string before = stored_voice_bytes();
  capture_reports();
  select(voice_notes(0)[1]);  // the lower voice has no note here
  command(EDIT_MENU, 6);
  std::vector<Report> r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_EQ(r[0].text, "You cannot paste here because all voices are not at a timing boundary.");
  EXPECT_TRUE(stored_voice_bytes() == before);

  // One voice needs no boundary; past the end of the piece is refused.
  select(voice_notes(0)[0]);
  script_type(4, "2");
  script_hit(5);
  script_hit(1);
  command(EDIT_MENU, 8);
  select(voice_notes(0)[17]);
  command(EDIT_MENU, 6);
  r = take_reports();
  ASSERT_EQ(r.size(), 1u);
  EXPECT_NE(r[0].text.find("not enough time"), std::string::npos);
  EXPECT_TRUE(stored_voice_bytes() == before);

  // An insertion refused part way (a whole note across a bar line) takes back what was pasted.
  select(voice_notes(0)[1]);
  command(EDIT_MENU, 5);  // D5 alone; a whole note is added after it
  Drosa q = copyDrosa(clipboard_list->xnext->xnext);
  q->set(xlgval, WHOLE);
  link_after(q, clipboard_list->xnext->xnext);
  select(voice_notes(1)[1]);  // E4, the last half of bar 1
  command(EDIT_MENU, 6);
  r = take_reports();
  ASSERT_EQ(r.size(), 1u) << "the whole note does not fit before the bar line";
  EXPECT_TRUE(stored_voice_bytes() == before);
  expect_consistent();
}

TEST_F(PasteMusic, BetweenTwoPiecesAndTwoNotationContexts) {
  const std::string other = dir + "/other.vesk";
  ASSERT_TRUE(write_built_piece(other, [] {
    ncontext_count = 2;
    const int v = staff_voice(0, 0);
    add_print(v, 2, 0);
    add_tokens(v, "r r r r | r r r r |");
  }));
  open(keys_piece);
  select(voice_notes(0)[0]);
  command(EDIT_MENU, 5);  // C5
  ASSERT_EQ(file_menu(FILE_COMMAND_CLOSE, 'v'), 1);
  script_file_name(other);
  ASSERT_EQ(file_menu(FILE_COMMAND_OPEN, 'v'), 1);
  run_until_idle();
  ASSERT_EQ(clipboard_kind, 2) << "the clipboard outlives its piece";
  select(voice_notes(0)[1]);
  command(EDIT_MENU, 6);
  EXPECT_EQ(symbol_dump(0), "clef0 key0[] 4/4 r C5 r r | r r r r |");

  ncontext_count = 2;
  change_ncontext(voice_notes(0)[0], 2, 1);
  run_until_idle();
  ASSERT_EQ(current_ncontext, 2);
  select(voice_notes(0)[4]);
  command(EDIT_MENU, 6);
  change_ncontext(voice_notes(0)[0], 1, 1);
  EXPECT_EQ(symbol_dump(0), "clef0 key0[] 4/4 r C5 r r | C5 r r r |");
  expect_consistent();
}

TEST_F(CopyRectangle, APictureAsPdfAndPngThatKeepsNoMusic) {
  open(keys_piece);
  select(voice_notes(0)[0]);
  command(EDIT_MENU, 5);
  ASSERT_EQ(clipboard_kind, 2);
  clear_music_scrap(1);
  EXPECT_EQ(clipboard_kind, 2) << "nothing of another program's on the clipboard";

  set_insertion_point(NIL, 0, -10);
  inverted_selection_rect = {500, 5600, 3000, 6900};
  command(EDIT_MENU, 5);
  EXPECT_EQ(clipboard_kind, 0);
  const std::vector<std::string> formats = platform_clipboard_formats();
  const std::string png = platform_clipboard_data("image/png"),
                    pdf = platform_clipboard_data("application/pdf");
  ASSERT_GT(png.size(), 100u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  EXPECT_EQ(pdf.substr(0, 5), "%PDF-");
  EXPECT_FALSE(platform_clipboard_has_foreign_text_or_picture()) << "our own picture";
  save_bytes("rectangle.png", png);
}

}  // namespace
