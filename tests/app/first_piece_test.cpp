// first_piece_test.cpp: what a newcomer meets writing a first piece and sending it elsewhere.
//   FirstPiece.*: the names and folders the export dialogs offer; the name of the first new
//   piece made; a new piece of one staff sent out as MusicXML and read back
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ImportExport/musicxml_services.h"
#include "app/app_globals.h"
#include "app/app_services.h"
#include "app/file_commands.h"
#include "app/file_dialogs.h"
#include "model/model_services.h"
#include "platform/file_dialog.h"
#include "support/app_fixture.h"

namespace {

using FirstPiece = AppTest;

TEST_F(FirstPiece, ExportsOfferThePiecesNameButNeverTheDocumentItCameFrom) {
  const auto offered = [this](int kind) {
    script_file_name("");
    EXPECT_EQ(save_file_dialog(kind, 0, 0), 0);
    const std::string text = shown().at(0).text;
    return text.substr(text.rfind('\n') + 1);
  };
  piece_fsspec = "/music/:from: chorale.xml";
  EXPECT_EQ(offered(FILE_MUSICXML), "chorale.musicxml");
  EXPECT_EQ(offered(FILE_MIDI), "chorale.mid");
  piece_fsspec = "/music/:from: chorale.musicxml";
  EXPECT_EQ(offered(FILE_MUSICXML), "chorale.xml");
  piece_fsspec = "/music/chorale.vesk";
  EXPECT_EQ(offered(FILE_MUSICXML), "chorale.xml");
  // They start beside the piece, also one opened without a dialog.
  piece_fsspec = dir + "/:from: chorale.xml";
  script_file_name("chorale.musicxml");
  EXPECT_EQ(save_file_dialog(FILE_MUSICXML, 0, 0), 1);
  EXPECT_EQ(*file_spec_of_kind(FILE_MUSICXML), dir + "/chorale.musicxml");
  shown();
}

TEST_F(FirstPiece, ANewPieceCancelledInItsDialogLeavesTheNextOneTheFirstName) {
  ASSERT_TRUE(start({}));
  script_hit(2);  // Cancel in the measures dialog
  EXPECT_EQ(file_menu(FILE_COMMAND_NEW, 'v'), 0);
  script_hit(1);
  ASSERT_EQ(file_menu(FILE_COMMAND_NEW, 'v'), 1);
  EXPECT_EQ(piece_fsspec, ":New Piece:");
  shown();
}

TEST_F(FirstPiece, ANewPieceOfOneStaffComesBackFromMusicXmlWithoutABracket) {
  // The staff of a new piece goes on with a bracket that a staff standing alone does not
  // draw; written as a group of its one part, it came back with a bracket before it.
  ASSERT_TRUE(start({}));
  script_hit(1);
  ASSERT_EQ(file_menu(FILE_COMMAND_NEW, 'v'), 1);
  shown();
  const std::string path = dir + "/one_staff.xml";
  ASSERT_EQ(export_musicxml_file(path), 1);
  std::stringstream written;
  written << std::ifstream(path).rdbuf();
  EXPECT_EQ(written.str().find("<part-group"), std::string::npos);
  const std::string document = written.str();
  ASSERT_EQ(import_musicxml_memory(document.data(), document.size(), 1), 1);
  shown();
  EXPECT_NE(find_next_kind(PRINT, piece_start[0])->get(xfirst_bracket), 1);
}

}  // namespace
