// startup_test.cpp: the program from start-up to quit.
//   StartUp.*:      a piece file on the command line opens in a window showing its first page;
//                   --help, an unknown option, a file named once; missing fonts; a failed
//                   allocation at start-up ends the program cleanly
//   Documents.*:    which documents go to the MusicXML import; printing opens, prints and
//                   closes without asking, with no printer to a PDF file beside each;
//                   started only to print, a failure is said first, and no synthesizer,
//                   console or piano window is made, nor a window put on the screen
//   Quit.*:         quitting with a changed piece asks and saves or discards as answered, from
//                   the quit event and the last window's close box; Quit in a message and a
//                   signal during an alert or the notation-context dialog take that path
//                   too; a signal during a save;
//                   a fatal report writes recovery copies
#include "app/startup.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "app/app_services.h"
#include "app/apple_events.h"
#include "app/command_line.h"
#include "app/menus.h"
#include "app/quit.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"
#include "platform/application.h"
#include "platform/event_input.h"
#include "platform/events.h"
#include "platform/memory.h"
#include "platform/midi.h"
#include "platform/printing.h"
#include "platform/script.h"
#include "platform/window.h"
#include "support/app_fixture.h"
#include "support/piece_files.h"

namespace {

using StartUp = AppTest;
using Documents = AppTest;
using Quit = AppTest;

std::string file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The first note of the piece in memory.
Drosa first_note() { return voice_count ? find_next_kind(NOTE, piece_start[0]) : NIL; }

// Reads a piece file into a fresh node store; the first note's diatonic position, or -1.
int first_note_position_in(const std::string& path) {
  reset_all_globals();
  VeskMemory_Init();
  param_init();
  piece_fsspec = path;
  if (!read_piece(nullptr)) return -1;
  return first_note()->get(xmod7);
}

// An edit of the first note, as an edit command leaves the piece.
void raise_first_note() {
  first_note()->set(xmod7, int8_t(first_note()->get(xmod7) + 3));
  mark_piece_changed(1, 1, 0);
}

void post_quit_event() {
  EventRecord quit;
  quit.what = EVENT_QUIT;
  platform_post_event(quit);
}

std::vector<std::string> report_texts() {
  std::vector<std::string> texts;
  for (const Report& r : take_reports()) texts.push_back(r.text);
  return texts;
}

TEST_F(StartUp, APieceFileArgumentOpensInAWindowShowingItsFirstPage) {
  const std::string path = dir + "/song.vesk";
  ASSERT_TRUE(write_piece_of_pages(path, 3, 2));
  ASSERT_TRUE(start({path}));
  EXPECT_EQ(count_open_views(), 1);
  const int window = music_window();
  ASSERT_NE(window, 0);
  EXPECT_TRUE(platform_window_visible(window));
  // The insertion point's voice is selected, so the title names it.
  EXPECT_EQ(platform_window_title(window), "song.vesk, page 1 of 3; Part-1");
  EXPECT_EQ(current_page, 1);
  EXPECT_EQ(misplaced_pixels(), 0);
  EXPECT_GT(dark_pixels(), 2000) << "staves and notes are shown";
  EXPECT_EQ(current_cursor_id, CURSOR_ID_ARROW) << "the watch of start-up and opening is gone";
  save_window("startup_first_page");
}

}  // namespace

TEST_F(StartUp, HelpAnUnknownOptionAndAFileNamedOnce) {
  std::string help = "--help", bad = "--hepl", name = "song", print = "--print", dash = "-";
  std::vector<char*> words{help.data(), help.data(), name.data(), nullptr};
  EXPECT_TRUE(command_line_asks_for_help(3, words.data()));
  words = {help.data(), name.data(), print.data(), dash.data(), nullptr};
  EXPECT_FALSE(command_line_asks_for_help(4, words.data()));
  EXPECT_FALSE(report_unknown_option(4, words.data(), stderr)) << "a lone '-' is a file name";
  char* text = nullptr;
  size_t size = 0;
  std::FILE* err = open_memstream(&text, &size);
  words = {help.data(), name.data(), bad.data(), nullptr};
  EXPECT_TRUE(report_unknown_option(3, words.data(), err));
  write_command_line_usage(err);
  std::fclose(err);
  EXPECT_NE(std::string(text).find("vesk: unknown option '--hepl'"), std::string::npos) << text;
  EXPECT_NE(std::string(text).find("--print FILE"), std::string::npos) << text;
  std::free(text);
  int status = -1;
  try {
    start_up(3, words.data());
  } catch (const ProgramExit& exit) {
    status = exit.status;
  }
  EXPECT_EQ(status, 2) << "the program ends before a window opens";
  EXPECT_FALSE(platform_main_window_open());

  // The window system leaves a null after the arguments it did not take, and the words it
  // moved down still stand after it: the piece opens once.
  const std::string path = dir + "/song.vesk";
  ASSERT_TRUE(write_piece_of_pages(path, 1, 1));
  ASSERT_TRUE(start({}));
  std::string moved = path;
  words = {help.data(), moved.data(), nullptr, moved.data(), nullptr};
  platform_post_command_line_events(4, words.data());
  run_until_idle();
  EXPECT_EQ(count_open_views(), 1);
}

TEST_F(StartUp, MissingFontsAreReportedAndAMissingSonataIsNotUsed) {
  for (int32_t& font : music_font_numbers) font = 1;
  music_font_numbers[FONT_SLOT_QUOR] = music_font_numbers[FONT_SLOT_SAYL] = 0;
  music_font_numbers[FONT_SLOT_TIMES] = 0;
  music_font_numbers[FONT_SLOT_SONATA] = 0;
  prefs.set_use_sonata_font(1);
  report_missing_fonts();
  EXPECT_EQ(report_texts(), (std::vector<std::string>{
                                "Vesk's Quor and Sayl fonts are not installed in your system!",
                                "You must install the Times font!",
                                "Vesk will not use the Sonata font because it is not installed!"}));
  EXPECT_EQ(prefs.use_sonata_font(), 0);
  music_font_numbers[FONT_SLOT_QUOR] = music_font_numbers[FONT_SLOT_TIMES] = 1;
  music_font_numbers[FONT_SLOT_SYMBOL] = 0;
  report_missing_fonts();
  EXPECT_EQ(report_texts(),
            (std::vector<std::string>{"Vesk's Sayl font is not installed in your system!",
                                      "You must install the Symbol font!"}));
}

TEST_F(StartUp, AFailedAllocationEndsTheProgramWithItsReport) {
  platform_refuse_allocations_after(0);
  std::vector<std::string> words{"vesk"};
  char* argv[] = {words[0].data(), nullptr};
  int status = -1;
  try {
    start_up(1, argv);
  } catch (const ProgramExit& exit) {
    status = exit.status;
  }
  platform_refuse_allocations_after(-1);
  EXPECT_EQ(status, 1);
  EXPECT_EQ(report_texts(), std::vector<std::string>{"VeskMemory allocation fails in Drosa."});
}

TEST_F(Documents, MusicXmlNamesGoToTheImportAndPrintedPiecesCloseWithoutAsking) {
  EXPECT_TRUE(is_musicxml_name("a.xml"));
  EXPECT_TRUE(is_musicxml_name("B.XML"));
  EXPECT_FALSE(is_musicxml_name(".xml")) << "four characters: a piece file";
  EXPECT_FALSE(is_musicxml_name("a.Xml"));
  const std::string score = dir + "/score";
  for (const std::string& start :
       {std::string("\xEF\xBB\xBF \n<?xml version=\"1.0\"?>"), std::string("\t<score-timewise>"),
        std::string("\xFF\xFE<\0?\0x\0m\0l\0", 12)}) {
    std::ofstream(score) << start;
    EXPECT_TRUE(is_musicxml_document(score)) << start;
  }
  std::ofstream(score) << "<html>";
  EXPECT_FALSE(is_musicxml_document(score));

  // A piece file after a MusicXML document of the same event is still read as a piece.
  const std::string path = dir + "/song.vesk";
  ASSERT_TRUE(write_piece_of_pages(path, 1, 1));
  // The default printer's documents go to a file instead of the spooler.
  platform_print_set_test_printers(true, {"Office"});
  platform_print_spool_to_file(dir + "/spooled.ps");
  ASSERT_TRUE(start({dir + "/tune.xml", path}));
  EXPECT_EQ(report_texts().size(), 1u) << "the document could not be imported";
  EXPECT_EQ(count_open_views(), 1);
  EXPECT_EQ(piece_fsspec, path);
  ASSERT_EQ(close_view(0), 1);
  EXPECT_EQ(music_window(), 0);

  // Started only to print: the piece is opened, printed on the default printer without a
  // dialog, and the program ends without a question, the piece left to the system.
  platform_post_command_line_events(
      3, std::vector<char*>{const_cast<char*>("vesk"), const_cast<char*>("--print"),
                            const_cast<char*>(path.c_str())}
             .data());
  EXPECT_EQ(run_until_idle(), 0);
  EXPECT_EQ(report_texts(), std::vector<std::string>{});
  std::ifstream spooled(dir + "/spooled.ps");
  std::string first_line;
  std::getline(spooled, first_line);
  EXPECT_EQ(first_line, "%!PS-Adobe-3.0");
  EXPECT_EQ(count_open_views(), 1) << "not taken apart before the end";
  EXPECT_FALSE(platform_main_window_open()) << "about to quit, no window of its own is shown";
  EXPECT_TRUE(shown().empty()) << "no question was asked";
}

TEST_F(Documents, WithNoPrinterEachDocumentIsPrintedToAPdfFileBesideIt) {
  const std::string tune = dir + "/tune.musicxml";
  std::ofstream(tune)
      << "<?xml version=\"1.0\"?><score-partwise version=\"3.1\"><part-list><score-part "
         "id=\"P1\"><part-name>Voice</part-name></score-part></part-list><part id=\"P1\">"
         "<measure number=\"1\"><attributes><divisions>1</divisions></attributes><note><pitch>"
         "<step>G</step><octave>4</octave></pitch><duration>4</duration><type>whole</type>"
         "</note></measure></part></score-partwise>";
  // A piece named as its PDF would be is not written over.
  const std::string song = dir + "/song.pdf";
  ASSERT_TRUE(write_piece_of_pages(song, 2, 1));
  const std::string piece = file_bytes(song);
  std::string vesk = "vesk", print = "--print";
  std::vector<char*> words{vesk.data(), print.data(), const_cast<char*>(tune.c_str()),
                           const_cast<char*>(song.c_str()), nullptr};
  try {
    start_up(4, words.data());
  } catch (const ProgramExit& exit) {
    FAIL() << "the program ended in start-up with " << exit.status;
  }
  EXPECT_EQ(run_until_idle(), 0);
  EXPECT_TRUE(shown().empty()) << "nothing was asked";
  EXPECT_EQ(report_texts(), std::vector<std::string>{});
  EXPECT_EQ(file_bytes(dir + "/tune.pdf").substr(0, 5), "%PDF-");
  EXPECT_EQ(file_bytes(song), piece);
  EXPECT_EQ(file_bytes(song + ".pdf").substr(0, 5), "%PDF-");
}

TEST_F(Documents, StartedOnlyToPrintTheProgramSaysWhatFailedBeforeItQuits) {
  ASSERT_TRUE(start({}));
  // A quit waiting in the queue while a message is up would take the message away unseen.
  static bool quit_waiting = true;
  static std::string said;
  set_report_observer([](int16_t, const char* text) {
    said = text;
    EventRecord waiting;
    quit_waiting = peek_event(event_mask_of(EVENT_QUIT), &waiting);
  });
  const std::string missing = dir + "/missing.vesk";
  std::vector<char*> words{const_cast<char*>("vesk"), const_cast<char*>("--print"),
                           const_cast<char*>(missing.c_str()), nullptr};
  platform_post_command_line_events(3, words.data());
  EXPECT_EQ(run_until_idle(), 1) << "the program ends, saying to its caller that it failed";
  EXPECT_NE(said.find("could not be opened"), std::string::npos) << said;
  EXPECT_FALSE(quit_waiting);
}

TEST_F(Documents, StartedOnlyToPrintTheProgramMakesNoSynthesizerAndShowsNoWindow) {
  std::string vesk = "vesk", print = "--print", song = dir + "/missing.vesk";
  std::vector<char*> both{vesk.data(), song.data(), print.data(), song.data(), nullptr};
  EXPECT_FALSE(platform_command_line_only_prints(4, both.data())) << "it opens one too";
  std::vector<char*> words{vesk.data(), print.data(), song.data(), nullptr};
  EXPECT_FALSE(platform_command_line_only_prints(2, words.data())) << "nothing to print";
  ASSERT_TRUE(platform_command_line_only_prints(3, words.data()));
  platform_midi_use_loopback(true);  // a MIDI service it could open
  try {
    start_up(3, words.data());
  } catch (const ProgramExit& exit) {
    FAIL() << "the program ended in start-up with " << exit.status;
  }
  platform_midi_use_loopback(false);
  EXPECT_EQ(midi_out_available, 0) << "it quits before it could play: no synthesizer, no MIDI";
  EXPECT_EQ(console_ref, nullptr);
  EXPECT_EQ(piano_dialog, 0);
  const int window = platform_new_window("Song", {0, 0, 300, 200}, true);
  EXPECT_TRUE(platform_window_visible(window));
  EXPECT_EQ(input_window_numbered(window), nullptr) << "a port alone, not on the screen";
  platform_dispose_window(window);
  EXPECT_EQ(run_until_idle(), 1);
  EXPECT_EQ(report_texts().size(), 1u) << "the missing document is said";
}

TEST_F(Quit, AChangedPieceIsKeptOrDiscardedAsAnsweredWhenQuitIsAsked) {
  const std::string path = dir + "/song.vesk";
  ASSERT_TRUE(write_piece_of_pages(path, 2, 2));
  const std::string before = file_bytes(path);
  ASSERT_TRUE(start({path}));
  raise_first_note();
  // SIGTERM, SIGINT and the window system's quit all arrive as the quit event.
  post_quit_event();
  script_hit(2);  // Cancel
  EXPECT_EQ(run_until_idle(), -1) << "the program goes on";
  EXPECT_EQ(count_open_views(), 1);
  post_quit_event();
  script_hit(3);  // No
  EXPECT_EQ(run_until_idle(), 0);
  const std::vector<ShownText> asked = shown();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].text, "Save changes to file '" + path + "'?");
  EXPECT_EQ(file_bytes(path), before) << "discarded";
}

TEST_F(Quit, ClosingTheLastWindowSavesAChangedPieceWhenAskedAndQuits) {
  const std::string path = dir + "/song.vesk";
  ASSERT_TRUE(write_piece_of_pages(path, 2, 2));
  ASSERT_TRUE(start({path}));
  const int position = first_note()->get(xmod7);
  raise_first_note();
  EventRecord close;
  close.what = EVENT_MOUSE_DOWN;
  close.window = music_window();
  close.message = IN_GO_AWAY;
  platform_post_event(close);
  script_hit(1);  // Yes
  EXPECT_EQ(run_until_idle(), 0);
  EXPECT_EQ(shown().size(), 1u);
  EXPECT_EQ(first_note_position_in(path), position + 3);
}

TEST_F(Quit, QuitInAMessageAndASignalDuringAnAlertTakeTheQuitPath) {
  const std::string path = dir + "/song.vesk";
  ASSERT_TRUE(write_piece_of_pages(path, 2, 2));
  ASSERT_TRUE(start({path}));
  raise_first_note();
  // Quit in the message that Record cannot run without MIDI asks about the changed piece;
  // Cancel there goes on.
  set_report_observer(nullptr);  // the message is shown as the user sees it
  midi_out_available = 0;
  script_hit(1);  // Quit
  do_menu_item(VOICE_MENU, 4, 'v');
  script_hit(2);  // Cancel
  EXPECT_EQ(run_until_idle(), -1);
  std::vector<ShownText> asked = shown();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[1].text, "Save changes to file '" + path + "'?");
  EXPECT_EQ(count_open_views(), 1);

  // A signal while an alert is up cancels the alert, then quits the same way.
  std::raise(SIGTERM);
  EXPECT_EQ(file_menu(FILE_COMMAND_CLOSE, 'v'), 0) << "the close was cancelled";
  EXPECT_EQ(count_open_views(), 1);
  script_hit(2);  // Cancel
  EXPECT_EQ(run_until_idle(), -1);
  asked = shown();
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0].text, asked[1].text);

  // A second signal while the quit asks: the changes go to a recovery copy and the program
  // ends.
  post_quit_event();
  std::raise(SIGTERM);
  EXPECT_EQ(run_until_idle(), 1);
  EXPECT_GT(first_note_position_in(dir + "/song (recovered).vesk"), 0);
}

// The notation-context dialog has no Cancel: a signal closes it all the same, and the program
// ends (before, the dialog took the quit's cancel for its name field and never closed).
TEST_F(Quit, ASignalDuringTheNotationContextDialogClosesItAndQuits) {
  const std::string path = dir + "/song.vesk";
  ASSERT_TRUE(write_piece_of_pages(path, 2, 2));
  ASSERT_TRUE(start({path}));
  std::raise(SIGTERM);
  do_menu_item(CONTEXT_MENU, 4, 'v');
  EXPECT_EQ(current_ncontext, 1);
  EXPECT_EQ(run_until_idle(), 0);
}

TEST_F(Quit, ASignalDuringASaveIsHandledAfterTheSaveCompletes) {
  const std::string path = dir + "/song.vesk";
  ASSERT_TRUE(write_piece_of_pages(path, 2, 2));
  ASSERT_TRUE(start({path}));  // start-up catches SIGTERM and SIGINT
  const int position = first_note()->get(xmod7);
  raise_first_note();
  std::raise(SIGTERM);
  ASSERT_EQ(save_piece(0, 0, 0, &piece_fsspec), 1) << "the process lives through the signal";
  EXPECT_EQ(DrosaDirty, 0);
  // The signal's quit is handled by the main loop: nothing is left to ask about.
  EXPECT_EQ(run_until_idle(), 0);
  EXPECT_TRUE(shown().empty());
  EXPECT_EQ(first_note_position_in(path), position + 3);
}

TEST_F(Quit, AFatalReportWritesChangedPiecesToRecoveryCopiesBesideThem) {
  const std::string path = dir + "/song.vesk";
  ASSERT_TRUE(write_piece_of_pages(path, 2, 2));
  const std::string before = file_bytes(path);
  ASSERT_TRUE(start({path}));
  const int position = first_note()->get(xmod7);
  raise_first_note();
  int status = -1;
  try {
    REPORT_ERROR(3, "%s", "Something went badly wrong.");
  } catch (const ProgramExit& exit) {
    status = exit.status;
  }
  EXPECT_EQ(status, 1);
  const std::string recovered = dir + "/song (recovered).vesk";
  const std::vector<std::string> said = report_texts();
  ASSERT_EQ(said.size(), 2u);
  EXPECT_NE(said[1].find(recovered), std::string::npos) << said[1];
  EXPECT_EQ(file_bytes(path), before) << "the original is never written over";
  EXPECT_EQ(recovery_path(path), dir + "/song (recovered 2).vesk") << "nor an earlier copy";
  EXPECT_EQ(recovery_path(":New Piece:2").find(":"), std::string::npos);
  EXPECT_EQ(first_note_position_in(recovered), position + 3);
}
