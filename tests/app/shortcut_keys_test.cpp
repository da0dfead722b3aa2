// shortcut_keys_test.cpp: changing the menus' shortcut letters, and the file dialogs' names.
//   ShortcutKeys.*: the dialog's refusals change nothing; Control letters; taking a letter
//                   from another item; built-in keys; asking an item for its key
//   FileDialogs.*:  the names proposed for exports and what a cancelled dialog leaves
#include "app/shortcut_keys.h"

#include <gtest/gtest.h>

#include "app/app_globals.h"
#include "app/app_services.h"
#include "app/file_dialogs.h"
#include "model/model_services.h"
#include "platform/events.h"
#include "platform/file_dialog.h"
#include "platform/menus.h"
#include "support/app_fixture.h"

namespace {

class ShortcutKeys : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    VeskMemory_Init();
    platform_define_menu(2, 15, {3, 5});
    platform_define_menu(5, 15, {3});
    platform_define_menu(6, 13, {});
    // The Command table's letters go to their items, as the menus are built.
    for (int letter = 'A'; letter <= 'Z'; ++letter) {
      const MenuCommand c = prefs.command_key(letter);
      if (c.menu) set_menu_item_key(c.menu, c.item, letter, 0);
    }
  }

  // Runs the dialog for (menu, item) typing `text` with or without Control, then OK; the
  // dialog's refusals are answered by Cancel.
  std::vector<std::string> change(int menu, int item, const std::string& text, bool control,
                                  bool refused) {
    if (control) script_hit(6);
    script_type(3, text);
    script_hit(1);
    if (refused) script_hit(2);
    do_command_key_dialog(menu, item);
    std::vector<std::string> said;
    for (const Report& r : take_reports()) said.push_back(r.text);
    return said;
  }
};

using FileDialogs = AppTest;

TEST_F(ShortcutKeys, RefusalsChangeNothingAndLettersMoveBetweenItems) {
  // Control-Q on Voice item 4: the Control table and the item.
  EXPECT_TRUE(change(6, 4, "q", true, false).empty());
  EXPECT_EQ(prefs.control_key('Q'), (MenuCommand{6, 4}));
  EXPECT_EQ(set_menu_item_key(6, 4, ASK_ITEM_KEY, 0), -'Q');
  EXPECT_EQ(prefs.command_key('R'), MenuCommand{}) << "its Command letter R went";

  const PrefsRecord before = prefs;
  EXPECT_EQ(change(6, 4, "h", true, true),
            std::vector<std::string>{"Control-H and Control-C cannot be used."});
  EXPECT_EQ(change(6, 4, "ab", false, true),
            std::vector<std::string>{"You must type one letter (a-z), or type nothing at all."});
  EXPECT_EQ(std::memcmp(before.bytes, prefs.bytes, PREFS_SIZE), 0);

  // A letter of the Command table moves: A from Page item 11 to Voice item 4.
  EXPECT_TRUE(change(6, 4, "a", false, false).empty());
  EXPECT_EQ(prefs.command_key('A'), (MenuCommand{6, 4}));
  EXPECT_EQ(set_menu_item_key(5, 11, ASK_ITEM_KEY, 0), 0);
  EXPECT_EQ(menu_key_maps('A'), (6 << 16) | 4);
  EXPECT_EQ(prefs.control_key('Q'), MenuCommand{}) << "its Control letter went";

  // A key that comes with the menu (no table entry) is neither changed nor taken, and a
  // refusal leaves the asking item's own letter.
  set_menu_item_key(5, 1, '[', 0);
  EXPECT_EQ(change(5, 1, "b", false, true),
            std::vector<std::string>{"You cannot change Command-[!"});
  prefs.set_command_key('S', {});
  const PrefsRecord kept = prefs;
  EXPECT_EQ(change(6, 4, "s", false, true),
            std::vector<std::string>{"Command-S cannot be changed."});
  EXPECT_EQ(std::memcmp(kept.bytes, prefs.bytes, PREFS_SIZE), 0);
  EXPECT_EQ(set_menu_item_key(6, 4, ASK_ITEM_KEY, 0), 'A');

  // An empty field removes the shortcut.
  EXPECT_TRUE(change(6, 4, "", false, false).empty());
  EXPECT_EQ(set_menu_item_key(6, 4, ASK_ITEM_KEY, 0), 0);
  EXPECT_EQ(prefs.command_key('A'), MenuCommand{});

  // Separators and items past the end have no key and are left alone.
  EXPECT_EQ(set_menu_item_key(2, 3, 'Z', 0), 0);
  EXPECT_EQ(set_menu_item_key(2, 16, ASK_ITEM_KEY, 0), 0);
  EXPECT_EQ(set_menu_item_key(33, 1, ASK_ITEM_KEY, 0), 0);
  int letter = 0;
  EXPECT_EQ(shortcut_letter_of_key(16u << 8, &letter), 1);
  EXPECT_EQ(letter, 'Y');
  EXPECT_EQ(shortcut_letter_of_key(50u << 8, &letter), 0) << "the key of a digit";
}

TEST_F(FileDialogs, ExportNamesAndCancelledDialogs) {
  std::string name;
  make_file_name(&name, "/music/Song.old", ".mid");
  EXPECT_EQ(name, "Song.mid");
  make_file_name(&name, "/music/a:b.vesk", "xml");
  EXPECT_EQ(name, "ab.xml");
  make_file_name(&name, "/music/", ".mid");
  EXPECT_EQ(name, "");
  make_file_name(&name, std::string(70, 'x') + "\xc3\xa9.vesk", ".mid");
  EXPECT_EQ(name.size(), 63u);

  piece_fsspec = "/music/Song.old";
  script_file_name("/tmp/out.mid");
  EXPECT_EQ(save_file_dialog(FILE_MIDI, 0, 0), 1);
  EXPECT_EQ(*file_spec_of_kind(FILE_MIDI), "/tmp/out.mid");
  piece_fsspec = ":New Piece:";
  script_file_name("");
  EXPECT_EQ(save_file_dialog(FILE_MIDI, 0, 0), 0);
  std::vector<ShownText> seen = shown();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].text, "Vesk - Export Midi File\nSave Midi file\nExport Midi\nSong.mid");
  EXPECT_EQ(seen[1].text.substr(seen[1].text.rfind('\n') + 1), "New Piece.mid");

  import_fsspec = "/kept.xml";
  script_file_name("");
  EXPECT_EQ(open_file_dialog(FILE_MUSICXML), 0);
  EXPECT_EQ(import_fsspec, "/kept.xml");
  EXPECT_EQ(shown()[0].text, "Vesk - Import MusicXML\nChoose MusicXML file to import\nImport XML");
}

}  // namespace
