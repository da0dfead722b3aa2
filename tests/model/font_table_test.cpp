// font_table_test.cpp: the font records of a piece.
//   FontTable.*: records made once for fonts other than the standard ones, replaced when the
//                system's name changed, left alone when voice 0 has no note; reading a record;
//                a save that adds a record leaves Undo and Redo undoing what they did
#include "model/font_table.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "annotations/anno_services.h"
#include "model/model_globals.h"
#include "model/node_kinds.h"
#include "model/options.h"
#include "model/piece_format.h"
#include "model/undo.h"
#include "model/voice_lists.h"
#include "model/writevesk.h"
#include "params/param_services.h"
#include "platform/fonts.h"
#include "support/model_fixture.h"
#include "support/piece_builder.h"

namespace {

class FontTable : public ModelTest {
 protected:
  void SetUp() override {
    ModelTest::SetUp();
    platform_init_fonts();
    param_init();
    new_voice();
    note = add_note(0, QUARTER);
  }
  // A text annotation in the font before the note just added.
  void annotation_in(int font) {
    Drosa head = add(0, TPARAM);
    set_rec_i16(head, 10, int16_t(font));
    add(0, TEXT);
    add_note(0, QUARTER);
  }
  // The font records of the piece, as "number name" lines.
  std::string records() {
    std::string s;
    for (Drosa p = piece_start[0]; p; p = p->xnext) {
      int number = 0;
      CString name;
      if (parse_font_record(p, &number, &name))
        s += std::to_string(number) + " " + static_cast<const char*>(name) + "\n";
    }
    return s;
  }
  Drosa note;
};

TEST_F(FontTable, OneRecordPerFontKeptAcrossSaves) {
  annotation_in(-5);
  write_font_table();
  EXPECT_EQ(records(), "") << "the standard fonts need no record";

  for (int i = 0; i < 3; ++i) annotation_in(FONT_MONACO);
  write_font_table();
  write_font_table();
  EXPECT_EQ(records(), "4 Monaco\n");
  CString name;
  Drosa record = find_font_record(FONT_MONACO, &name);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->xnext->xnext, note) << "the record stands before the first note";
  EXPECT_EQ(rec_i16(record, 10),
            param[P_FONT_INFO_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG].value.font());
}

TEST_F(FontTable, RenamedFontGetsANewRecord) {
  annotation_in(FONT_MONACO);
  make_text_anno(note, 0, FONT_RECORD_CLASSIFY,
                 P_FONT_INFO_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG,
                 format_font_record(FONT_MONACO, "Old Monaco"), nullptr);
  write_font_table();
  EXPECT_EQ(records(), "4 Monaco\n");
}

TEST_F(FontTable, RecordsNeedANumberInRangeAClosingQuoteAndAVoiceWithNotes) {
  Drosa broken = make_text_anno(note, 0, 120, P_FONT_INFO_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG,
                                "font 4 \"Monaco", nullptr);
  int number = 0;
  CString name;
  EXPECT_EQ(parse_font_record(broken, &number, &name), 0);
  EXPECT_STREQ(name, "Monaco");
  delete_anno_nodes(broken);
  // A number past any font's is no record (it once wrapped round to some other font).
  Drosa huge = make_text_anno(note, 0, 120, P_FONT_INFO_FOR_HIDDEN_TEXT_MADE_BY_PARAMETERS_DIALOG,
                              "font 99999999999 \"Monaco\"", nullptr);
  EXPECT_EQ(parse_font_record(huge, &number, &name), 0);
  delete_anno_nodes(huge);

  // Without a note in voice 0 the table is not touched.
  destroy_Drosa_list(piece_start[0]);
  voice_count = 0;
  new_voice();
  annotation_in(FONT_MONACO);
  destroy_node(find_next_kind(NOTE, piece_start[0]));
  write_font_table();
  EXPECT_EQ(records(), "");
}

TEST_F(FontTable, ASaveThatAddsARecordLeavesUndoAndRedoAsTheyWere) {
  annotation_in(FONT_MONACO);
  set_options_i32(1, OPTIONS_PAGE_WIDTH, 76);
  set_options_i32(1, OPTIONS_PAGE_HEIGHT, 101);
  char pattern[] = "/tmp/vesk-fonts-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  auto first_note = [] { return find_next_kind(NOTE, piece_start[0]); };
  // A note put before the first one; the File menu's mark; the save.
  set_undo_mark(0);
  Drosa inserted = copyDrosa(note);
  insertvc_node_with_undo(inserted, note->xback);
  set_undo_mark(0);
  ASSERT_EQ(write_piece_file(0, NIL, dir + "/fonts.vesk"), 1);
  ASSERT_EQ(records(), "4 Monaco\n");
  // One Undo takes the inserted note away and leaves the record; Redo brings the note back
  // after the record.
  set_undo_mark(0);
  undo_redo(1);
  EXPECT_EQ(first_note(), note);
  EXPECT_EQ(records(), "4 Monaco\n");
  set_undo_mark(0);
  undo_redo(0);
  ASSERT_NE(first_note(), note);
  CString name;
  Drosa record = find_font_record(FONT_MONACO, &name);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->xnext->xnext, first_note());
  std::filesystem::remove_all(dir);
}

}  // namespace
