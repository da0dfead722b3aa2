// console_files_test.cpp: the log's files and the window's menus, input and help.
//   Saving.*:   each format saved and loaded back keeps the text (and RTF its styles); the
//               save goes through a temporary file beside the log; failures alert and keep
//               the old file; the format pop-up changes the name's extension
//   Asking.*:   when a changed log is offered for saving, and that a copy stays a copy
//   Undo.*:     undoing a mark, a clear, and nothing
//   Window.*:   help, input into the input pipe with end of file, a menu choice through the
//               event queue, and an image of the window
#include "console/console_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "console/console_controls.h"
#include "console/console_globals.h"
#include "console/console_record.h"
#include "console/console_text.h"
#include "console_fixture.h"
#include "platform/beep.h"
#include "platform/script.h"

namespace {

namespace fs = std::filesystem;

std::string file_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool has_temporary_file(const fs::path& folder) {
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().find("~vesk") != std::string::npos) return true;
  return false;
}

using Saving = ConsoleTest;

TEST_F(Saving, EachFormatSavedAndLoadedBackKeepsTheText) {
  const struct {
    int format;
    const char* bytes_start;
    bool unicode;
  } formats[] = {{LOG_FORMAT_RTF, "{\\rtf1", true},
                 {LOG_FORMAT_UTF16, "\xFF\xFE", true},
                 {LOG_FORMAT_UTF8, "\xEF\xBB\xBF", true},
                 {LOG_FORMAT_SYSTEM, "plain", false}};
  for (const auto& f : formats) {
    console_record* record = make();
    std::string log = "plain \x1b[1;31mbold red\x1b[0m\t{tab} caf\xC3\xA9 \xE2\x82\xAC\nline two\n";
    if (f.unicode) log += "clef \xF0\x9D\x84\x9E\n";
    console_append(record, log.c_str(), 0, ATTR_CURRENT, 0);
    const std::string shown = text(record);
    const fs::path path = folder() / ("log" + std::to_string(f.format) + ".rtf");
    script_choose(LOG_FORMAT_POPUP_ITEM, f.format + 1);
    script_file_name(path.string());
    ASSERT_EQ(console_file_menu(record, CONSOLE_ITEM_SAVE_AS), 0);
    EXPECT_EQ(record->log_format, f.format);
    EXPECT_TRUE(file_bytes(path).starts_with(f.bytes_start)) << f.format;
    EXPECT_FALSE(has_temporary_file(folder()));
    EXPECT_FALSE(console_window_modified(record->window));

    console_record* loaded = make();
    script_file_name(path.string());
    ASSERT_EQ(console_file_menu(loaded, CONSOLE_ITEM_ADD), 0);
    EXPECT_TRUE(text(loaded).starts_with(shown)) << f.format << ": " << text(loaded);
    EXPECT_TRUE(text(loaded).ends_with(" _______\n")) << "a mark after the loaded log";
    EXPECT_EQ(loaded->log_file, path.string());
    if (f.format == LOG_FORMAT_RTF)
      EXPECT_EQ(style_of(loaded, "bold red"), (ConsoleTextStyle{1, {0xFFFF, 0, 0}}));
    // The mark made the loaded log longer than its file: disposing asks once (cancelled).
    script_file_name("");
    console_dispose(loaded);
  }
}

TEST_F(Saving, ThroughATemporaryFileFailuresAlertAndKeepTheOldFile) {
  console_record* record = make();
  // An empty log writes no file but counts as saved.
  const fs::path path = folder() / "session.rtf";
  script_file_name(path.string());
  ASSERT_EQ(console_file_menu(record, CONSOLE_ITEM_SAVE), 0);
  EXPECT_FALSE(fs::exists(path));
  EXPECT_EQ(record->log_saved, 1u);
  const std::vector<ShownText> dialog = shown();
  ASSERT_EQ(dialog.size(), 1u);
  EXPECT_EQ(dialog[0].text, "Test - Save Log File\nSave console display to a log file");

  console_append(record, "kept\n", 0, ATTR_CURRENT, 0);
  ASSERT_EQ(console_file_menu(record, CONSOLE_ITEM_SAVE), 0) << "saved at once, no dialog";
  const std::string saved = file_bytes(path);
  // A folder where the log should go: the rename fails, the alert says so, nothing is left.
  console_append(record, "more\n", 0, ATTR_CURRENT, 0);
  fs::create_directory(folder() / "taken.rtf");
  script_file_name((folder() / "taken.rtf").string());
  script_hit(1);
  const int beeps = platform_beeps_sounded();
  EXPECT_EQ(console_file_menu(record, CONSOLE_ITEM_SAVE_AS), CONSOLE_RENAME_FAILED);
  EXPECT_EQ(platform_beeps_sounded(), beeps + 1);
  const std::vector<ShownText> alert = shown();
  ASSERT_EQ(alert.size(), 2u);
  EXPECT_EQ(alert[1].id, CONSOLE_WRITE_ALERT_ID);
  EXPECT_TRUE(alert[1].text.starts_with("Error writing console log file (-36)!")) << alert[1].text;
  EXPECT_FALSE(has_temporary_file(folder()));
  EXPECT_EQ(file_bytes(path), saved);
  EXPECT_TRUE(console_window_modified(record->window));
  record->log_saved = 0;  // nothing more to ask at the end
}

TEST_F(Saving, TheFormatPopUpChangesTheExtension) {
  console_record* record = make();
  const struct {
    std::string name;
    int event, format;
    std::string new_name;
    int new_format;
  } cases[] = {
      {"log.rtf", LOG_DIALOG_FORMAT_CHOSEN, LOG_FORMAT_UTF8, "log.txt", LOG_FORMAT_UTF8},
      {"log.txt", LOG_DIALOG_FORMAT_CHOSEN, LOG_FORMAT_UTF16, "log.utxt", LOG_FORMAT_UTF16},
      {"notes", LOG_DIALOG_FORMAT_CHOSEN, LOG_FORMAT_RTF, "notes.rtf", LOG_FORMAT_RTF},
      {"", LOG_DIALOG_FORMAT_CHOSEN, LOG_FORMAT_RTF, "", LOG_FORMAT_RTF},
      {"old.utxt", LOG_DIALOG_START, LOG_FORMAT_RTF, "old.utxt", LOG_FORMAT_UTF16},
      {"old.txt", LOG_DIALOG_START, LOG_FORMAT_RTF, "old.txt", LOG_FORMAT_UTF8},
      {"old.log", LOG_DIALOG_START, LOG_FORMAT_SYSTEM, "old.log", LOG_FORMAT_SYSTEM},
  };
  for (const auto& c : cases) {
    std::string name = c.name;
    int format = c.format;
    console_nav_event(record, c.event, &format, &name);
    EXPECT_EQ(name, c.new_name) << c.name;
    EXPECT_EQ(format, c.new_format) << c.name;
    EXPECT_EQ(record->log_format, c.new_format) << "the format written is the one shown";
  }
  // Through the dialog: a name proposed from the log file, the pop-up, then the folder.
  record->log_file = (folder() / "log.rtf").string();
  console_append(record, "x\n", 0, ATTR_CURRENT, 0);
  script_choose(LOG_FORMAT_POPUP_ITEM, LOG_FORMAT_UTF8 + 1);
  script_file_name(folder().string() + "/");
  ASSERT_EQ(console_file_menu(record, CONSOLE_ITEM_SAVE_AS), 0);
  EXPECT_EQ(file_bytes(folder() / "log.txt"), "\xEF\xBB\xBFx\n");
}

using Asking = ConsoleTest;

TEST_F(Asking, AChangedLogIsOfferedOnceAndACopyStaysACopy) {
  console_record* record = make();
  console_append(record, "one\n", 0, ATTR_CURRENT, 0);
  script_file_name((folder() / "copy.txt").string());
  ASSERT_EQ(console_file_menu(record, CONSOLE_ITEM_SAVE_COPY), 0);
  EXPECT_TRUE(record->log_file.empty()) << "the copy is not the log's file";
  EXPECT_EQ(console_save_if_needed(record), -1) << "never saved: nothing to ask";

  const fs::path log = folder() / "log.rtf";
  script_file_name(log.string());
  ASSERT_EQ(console_file_menu(record, CONSOLE_ITEM_SAVE_AS), 0);
  EXPECT_EQ(console_save_if_needed(record), -1) << "not changed since";
  console_append(record, "two\n", 0, ATTR_CURRENT, 0);
  EXPECT_TRUE(console_window_modified(record->window));
  // A copy now does not count as saving the log...
  script_file_name((folder() / "copy2.txt").string());
  ASSERT_EQ(console_file_menu(record, CONSOLE_ITEM_SAVE_COPY), 0);
  EXPECT_EQ(record->log_file, log.string());
  EXPECT_TRUE(console_window_modified(record->window));
  // ...so the log is offered: cancelled once, then not asked again until the next save.
  script_file_name("");
  EXPECT_EQ(console_save_if_needed(record), -2);
  EXPECT_EQ(console_save_if_needed(record), -1);
  ASSERT_EQ(console_file_menu(record, CONSOLE_ITEM_SAVE), 0) << "saved to the log's own file";
  EXPECT_NE(file_bytes(log).find("two"), std::string::npos);
  EXPECT_EQ(file_bytes(folder() / "copy.txt").find("two"), std::string::npos);
}

using Undo = ConsoleTest;

TEST_F(Undo, MarksAndClearingAreUndone) {
  console_record* record = make();
  console_banner(record, nullptr, nullptr);  // a mark that no undo may take away
  console_append(record, "hello\n", 0, ATTR_CURRENT, 0);
  const std::string before = text(record);
  ASSERT_EQ(record->marks->count, 2);

  console_file_menu(record, CONSOLE_ITEM_CLEAR);
  EXPECT_EQ(text(record), "");
  ASSERT_EQ(console_file_menu(record, CONSOLE_ITEM_UNDO), 0);
  EXPECT_EQ(text(record), before);
  EXPECT_EQ(record->marks->count, 2) << "undoing the clear keeps the banner's mark";

  console_file_menu(record, CONSOLE_ITEM_MARK);
  EXPECT_EQ(record->marks->count, 3);
  EXPECT_NE(text(record), before);
  ASSERT_EQ(console_file_menu(record, CONSOLE_ITEM_UNDO), 0);
  EXPECT_EQ(text(record), before);
  EXPECT_EQ(record->marks->count, 2) << "the mark left the table";

  // Output cannot be undone, and it ends what could be.
  console_file_menu(record, CONSOLE_ITEM_MARK);
  console_append(record, "out\n", 0, ATTR_CURRENT, 0);
  const int beeps = platform_beeps_sounded();
  EXPECT_EQ(console_undo(record), CONSOLE_CANNOT_UNDO);
  EXPECT_EQ(console_file_menu(record, CONSOLE_ITEM_UNDO), CONSOLE_CANNOT_UNDO);
  EXPECT_EQ(platform_beeps_sounded(), beeps + 1);
  EXPECT_TRUE(text(record).ends_with("out\n"));
}

using Window = ConsoleTest;

TEST_F(Window, HelpOpensForItsConsoleAndTogglesTheButton) {
  console_record* quiet = make();
  console_help(quiet);
  ASSERT_NE(console_help_window, nullptr);
  EXPECT_TRUE(console_help_window_visible(console_help_window));
  const std::string help = console_help_window_text(console_help_window);
  EXPECT_TRUE(help.starts_with("\n    The console is a basic text oriented monitoring"));
  EXPECT_EQ(help.find("Enter input text"), std::string::npos) << "no console has input";
  EXPECT_EQ(console_control_title(quiet->window, CONSOLE_HELP_BUTTON), "\u00BF");
  console_help(quiet);
  EXPECT_FALSE(console_help_window_visible(console_help_window));
  EXPECT_EQ(console_control_title(quiet->window, CONSOLE_HELP_BUTTON), "?");
  // A console with input asks for the second part, in a help window made afresh.
  reset_console_globals();
  console_record* talking = make(CONSOLE_START_HIDDEN);
  console_help(talking);
  EXPECT_NE(console_help_window_text(console_help_window).find("\nEnter input text"),
            std::string::npos);
}

TEST_F(Window, InputIsSentEchoedAndEndsWithEndOfFile) {
  console_record* record = make(CONSOLE_START_HIDDEN);
  console_control_set_text(record->window, CONSOLE_INPUT_FIELD, "hello");
  ASSERT_EQ(console_send_menu(record, 5), 0);  // with CR LF
  char line[16] = {};
  ASSERT_NE(std::fgets(line, sizeof line, record->input_stream), nullptr);
  EXPECT_STREQ(line, "hello\r\n");
  EXPECT_EQ(console_control_text(record->window, CONSOLE_INPUT_FIELD), "");
  EXPECT_EQ(style_of(record, "hello"), (ConsoleTextStyle{1, {0, 0, 0xFFFF}}));
  console_control_set_text(record->window, CONSOLE_INPUT_FIELD, "last");
  ASSERT_EQ(console_send_menu(record, 7), 0);  // then end of file
  ASSERT_NE(std::fgets(line, sizeof line, record->input_stream), nullptr);
  EXPECT_STREQ(line, "last");
  EXPECT_EQ(std::fgets(line, sizeof line, record->input_stream), nullptr);
  EXPECT_TRUE(std::feof(record->input_stream));
  const int beeps = platform_beeps_sounded();
  EXPECT_EQ(console_send_input(record, '\n'), -1);
  EXPECT_EQ(console_send_menu(record, 4), CONSOLE_NOT_ALIVE);
  EXPECT_EQ(platform_beeps_sounded(), beeps + 1);
}

TEST_F(Window, AMenuChoiceIsQueuedAndCarriedOut) {
  console_record* record = make();
  platform_flush_events(EVERY_EVENT);
  console_menu_choose(record->window, CONSOLE_FILE_MENU, CONSOLE_ITEM_MARK);
  EventRecord event;
  ASSERT_TRUE(platform_get_event(EVERY_EVENT, 0, &event));
  EXPECT_EQ(event.what, EVENT_MENU);
  EXPECT_TRUE(console_menu_event(event));
  EXPECT_EQ(record->marks->count, 2);
  event.message = (uint32_t(2) << 16) | 2;  // another menu's item: not the console's
  EXPECT_FALSE(console_menu_event(event));
}

TEST_F(Window, ImageOfTheWindow) {
  console_record* record = make(CONSOLE_NO_INPUT | CONSOLE_FLOATING_CLASS);
  console_banner(record, nullptr, nullptr);
  console_append(record,
                 "plain \x1b[1mbold\x1b[22m \x1b[3mitalic\x1b[23m \x1b[4munderlined\x1b[24m "
                 "\x1b[2mfaint\x1b[0m\n"
                 "\x1b[31mred \x1b[32mgreen \x1b[33myellow \x1b[34mblue \x1b[35mmagenta "
                 "\x1b[36mcyan \x1b[2;31mfaint red\x1b[0m\n"
                 "tab\tstops\tevery\t24 pixels\n"
                 "broken \x1b[31;\n escape\n",
                 0, ATTR_CURRENT, 0);
  console_file_menu(record, CONSOLE_ITEM_MARK);
  console_append(record, "after the mark: caf\xC3\xA9 \xE2\x82\xAC\n", 0, ATTR_CURRENT, 0);
  console_help(record);
  const fs::path build = fs::current_path().parent_path();
  if (!fs::exists(build / "CMakeCache.txt")) return;
  const fs::path out = build / "test-output" / "console";
  fs::create_directories(out);
  EXPECT_TRUE(console_window_save_png(record->window, (out / "console.png").c_str()));
  EXPECT_TRUE(console_help_window_save_png(console_help_window, (out / "help.png").c_str()));
}

}  // namespace
