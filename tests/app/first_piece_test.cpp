// first_piece_test.cpp: what a newcomer meets writing a first piece and sending it elsewhere.
//   FirstPiece.*: the names the export dialogs offer
#include <gtest/gtest.h>

#include "app/app_globals.h"
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
}

}  // namespace
