// file_commands_test.cpp: the File menu's commands.
//   FileCommands.*: pieces opened from the menus are shown in front with their page drawn;
//                   an imported document is saved beside itself with the piece extension, and
//                   never written over without a question; the file dialogs start where the
//                   last one ended, in this run and the next;
//                   New, Save As, Close and Open carry a piece through the dialogs and its file
//                   unchanged; New over a saved piece asks whether to close it; Close and
//                   Revert of a changed piece ask first, and Revert gives up the piece only for
//                   a disk copy it can read
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/app_services.h"
#include "model/model_services.h"
#include "platform/application.h"
#include "platform/file_dialog.h"
#include "platform/script.h"
#include "platform/window.h"
#include "support/app_fixture.h"
#include "support/piece_builder.h"
#include "support/piece_files.h"

namespace {

using FileCommands = AppTest;

// The music of every voice, without layout records and per-view copies.
std::string music() {
  std::string s;
  for (int v = 0; v < voice_count; ++v)
    for (Drosa p = piece_start[v]; p; p = p->xnext)
      if (!temp_node(p, 1000)) s += dump_node(p, {}) + "\n";
  return s;
}

Drosa first_note() { return find_next_kind(NOTE, piece_start[0]); }

void raise_first_note() {
  first_note()->set(xmod7, int8_t(first_note()->get(xmod7) + 3));
  mark_piece_changed(1, 1, 0);
}

std::vector<std::string> texts_shown(const std::vector<ShownText>& shown) {
  std::vector<std::string> texts;
  for (const ShownText& s : shown) texts.push_back(s.text);
  return texts;
}

TEST_F(FileCommands, PiecesOpenedFromTheMenusAreShownWithTheirPage) {
  const std::string path = dir + "/song.vesk";
  ASSERT_TRUE(write_piece_of_pages(path, 2, 2));
  ASSERT_TRUE(start({}));
  EXPECT_TRUE(platform_main_window_open()) << "the program's own window while nothing is open";
  auto expect_shown = [this](const char* how) {
    ASSERT_NE(music_window(), 0) << how;
    EXPECT_TRUE(platform_window_visible(music_window())) << how;
    EXPECT_FALSE(platform_main_window_open()) << how;
    EXPECT_EQ(run_until_idle(), -1);
    EXPECT_EQ(misplaced_pixels(), 0) << how;
    EXPECT_GT(dark_pixels(), 1000) << how;
  };
  script_file_name(path);
  ASSERT_EQ(file_menu(FILE_COMMAND_OPEN, 'v'), 1);
  expect_shown("Open");
  script_hit(3);  // No: the piece stays behind
  script_file_name(std::string(VESK_TEST_DATA) + "/ImportExport/piano_two_staves.xml");
  do_menu_item(IMPORT_MENU, 1, 'v');
  ASSERT_EQ(count_open_views(), 2);
  expect_shown("Import");
  save_window("imported_from_the_menu");
  script_hit(3);  // No: the imported piece is not saved
  ASSERT_EQ(file_menu(FILE_COMMAND_CLOSE, 'v'), 1);
  ASSERT_EQ(file_menu(FILE_COMMAND_CLOSE, 'v'), 1);
  EXPECT_TRUE(platform_main_window_open());
  // A click in the program's own window is no fault.
  EventRecord click;
  click.what = EVENT_MOUSE_DOWN;
  click.window = MAIN_WINDOW_NUMBER;
  platform_post_event(click);
  EXPECT_EQ(run_until_idle(), -1);
  shown();
}

std::string file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(FileCommands, AnImportedDocumentIsSavedBesideItselfAndNeverOverIt) {
  const std::string xml = dir + "/tune.musicxml";
  std::filesystem::copy_file(std::string(VESK_TEST_DATA) + "/ImportExport/piano_two_staves.xml",
                             xml);
  const std::string document = file_bytes(xml);
  ASSERT_TRUE(start({xml}));  // recognised by its content
  ASSERT_EQ(count_open_views(), 1);
  EXPECT_TRUE(is_untitled_file(piece_fsspec));

  // Save proposes the piece extension in the document's folder.
  script_file_name(dir + "/tune.vesk");
  ASSERT_EQ(file_menu(FILE_COMMAND_SAVE, 'v'), 1);
  std::vector<ShownText> asked = shown();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].text.substr(asked[0].text.rfind('\n') + 1), "tune.vesk");
  FileDialogRequest save;
  save.preference_key = "2";
  EXPECT_EQ(platform_file_dialog_folder(save), dir);
  EXPECT_EQ(piece_fsspec, dir + "/tune.vesk");
  EXPECT_EQ(file_bytes(xml), document);

  // Save As over the document: the question says what would be lost, and No keeps it.
  script_file_name(xml);
  script_hit(2);  // No
  EXPECT_EQ(file_menu(FILE_COMMAND_SAVE_AS, 'v'), 0);
  asked = shown();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[1].text,
            "The file 'tune.musicxml' is not a Vesk piece. Saving the piece under its name "
            "replaces the file, and what it holds now is lost. Replace it?");
  EXPECT_EQ(file_bytes(xml), document);
  EXPECT_EQ(piece_fsspec, dir + "/tune.vesk");
  script_file_name(dir + "/copy.vesk");
  ASSERT_EQ(file_menu(FILE_COMMAND_SAVE_AS, 'v'), 1);
  EXPECT_EQ(file_bytes(dir + "/copy.vesk"), file_bytes(dir + "/tune.vesk"));
  shown();

  // Open takes the document too, and imports it; the dialogs start in its folder, also in
  // the next run.
  script_hit(3);  // No: the saved piece stays behind
  script_file_name(xml);
  ASSERT_EQ(file_menu(FILE_COMMAND_OPEN, 'v'), 1);
  EXPECT_EQ(count_open_views(), 2);
  EXPECT_EQ(piece_fsspec, dir + "/:from: tune.musicxml");
  platform_forget_file_dialog_folders();
  FileDialogRequest import;
  import.preference_key = "99";  // never used: the folder used last
  EXPECT_EQ(platform_file_dialog_folder(import), dir);
  EXPECT_EQ(file_bytes(xml), document);
  shown();
}

TEST_F(FileCommands, NewSaveAsCloseAndOpenCarryThePieceThroughItsFile) {
  ASSERT_TRUE(start({}));
  script_type(9, "3");  // three measures
  script_hit(1);
  ASSERT_EQ(file_menu(FILE_COMMAND_NEW, 'v'), 1);
  const std::vector<ShownText> asked = shown();
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_EQ(asked[0].text.substr(0, asked[0].text.find('\n')),
            "The new piece begins with these measures:")
      << "the dialog names no piece to insert measures into";
  EXPECT_EQ(count_open_views(), 1);
  EXPECT_TRUE(is_untitled_file(piece_fsspec));
  EXPECT_NE(DrosaDirty, 0);
  const std::string made = music();
  ASSERT_FALSE(made.empty());

  const std::string path = dir + "/new.vesk";
  script_file_name(path);
  ASSERT_EQ(file_menu(FILE_COMMAND_SAVE_AS, 'v'), 1);
  EXPECT_EQ(piece_fsspec, path);
  EXPECT_EQ(DrosaDirty, 0);
  EXPECT_EQ(platform_window_title(music_window()).rfind("new.vesk, page 1 of 1", 0), 0u);

  ASSERT_EQ(file_menu(FILE_COMMAND_CLOSE, 'v'), 1);
  EXPECT_EQ(count_open_views(), 0);
  EXPECT_EQ(music_window(), 0);

  script_file_name(path);
  ASSERT_EQ(file_menu(FILE_COMMAND_OPEN, 'v'), 1);
  EXPECT_EQ(piece_fsspec, path);
  EXPECT_EQ(music(), made);
  EXPECT_EQ(DrosaDirty, 0);
  shown();

  // New over a saved piece asks whether to close it; No keeps it behind, and a cancelled New
  // brings it back.
  script_hit(3);  // No
  script_hit(2);  // Cancel in the measures dialog
  EXPECT_EQ(file_menu(FILE_COMMAND_NEW, 'v'), 0);
  EXPECT_EQ(shown().at(0).text, "Close 'new.vesk' window?");
  EXPECT_EQ(count_open_views(), 1);
  EXPECT_EQ(piece_fsspec, path);
  EXPECT_EQ(music(), made);
}

TEST_F(FileCommands, CloseOfAChangedPieceAsksAndKeepsItOnCancel) {
  const std::string path = dir + "/song.vesk";
  ASSERT_TRUE(write_piece_of_pages(path, 2, 1));
  ASSERT_TRUE(start({path}));
  const int8_t position = first_note()->get(xmod7);
  raise_first_note();
  script_hit(2);  // Cancel
  EXPECT_EQ(file_menu(FILE_COMMAND_CLOSE, 'v'), 0);
  EXPECT_EQ(count_open_views(), 1);
  EXPECT_NE(DrosaDirty, 0);
  script_hit(3);  // No: the changes go
  EXPECT_EQ(file_menu(FILE_COMMAND_CLOSE, 'v'), 1);
  EXPECT_EQ(texts_shown(shown()),
            std::vector<std::string>(2, "Save changes to file '" + path + "'?"));
  EXPECT_EQ(count_open_views(), 0);

  script_file_name(path);
  ASSERT_EQ(file_menu(FILE_COMMAND_OPEN, 'v'), 1);
  EXPECT_EQ(first_note()->get(xmod7), position) << "the file was not written";
}

TEST_F(FileCommands, RevertAsksAndGivesUpThePieceOnlyForADiskCopyItCanRead) {
  const std::string path = dir + "/song.vesk";
  ASSERT_TRUE(write_piece_of_pages(path, 2, 1));
  ASSERT_TRUE(start({path}));
  const std::string saved = music();
  const int8_t position = first_note()->get(xmod7);

  // With a second window on the piece there is nothing to revert to.
  script_hit(3);  // No: the first window stays open
  script_file_name(path);
  ASSERT_EQ(file_menu(FILE_COMMAND_OPEN, 'v'), 1);
  ASSERT_EQ(count_open_views(), 2);
  EXPECT_EQ(file_menu(FILE_COMMAND_REVERT, 'v'), 0);
  std::vector<Report> said = take_reports();
  ASSERT_EQ(said.size(), 1u);
  EXPECT_EQ(said[0].text,
            "You must close (without saving) the other windows on this piece before you can "
            "Revert!");
  ASSERT_EQ(file_menu(FILE_COMMAND_CLOSE, 'v'), 1);
  ASSERT_EQ(count_open_views(), 1);
  shown();

  raise_first_note();
  script_hit(2);  // Cancel
  EXPECT_EQ(file_menu(FILE_COMMAND_REVERT, 'v'), 0);
  EXPECT_EQ(texts_shown(shown()),
            std::vector<std::string>{"Reverting to the disk copy will throw away all changes "
                                     "made to 'song.vesk' since the last Save."});
  EXPECT_EQ(first_note()->get(xmod7), position + 3);

  // A disk copy that has gone: the changed piece stays.
  std::filesystem::rename(path, path + ".away");
  script_hit(1);  // OK
  EXPECT_EQ(file_menu(FILE_COMMAND_REVERT, 'v'), 0);
  EXPECT_EQ(take_reports().size(), 1u);
  EXPECT_EQ(count_open_views(), 1);
  EXPECT_EQ(first_note()->get(xmod7), position + 3);
  EXPECT_NE(DrosaDirty, 0);

  std::filesystem::rename(path + ".away", path);
  script_hit(1);  // OK
  ASSERT_EQ(file_menu(FILE_COMMAND_REVERT, 'v'), 1);
  EXPECT_EQ(count_open_views(), 1);
  EXPECT_EQ(music(), saved);
  EXPECT_EQ(DrosaDirty, 0);
  shown();
}

}  // namespace
