// file_commands.cpp: the File menu's commands and opening a piece in a window of its own.
//
// New, Open... and Import > MusicXML... share open_piece_window, which first asks whether the
// piece showing is to be closed or kept behind the new window. Close, Revert and Quit never
// let a changed piece go without asking: Close and Quit ask to save it, Revert asks whether
// the changes are to be thrown away, and does so only once it knows the disk copy can be read.
// Quit closes the views one by one and stops at the first close the user cancels; while a
// page is being formatted it waits for the main loop to finish the page (deferred_quit).
#include "app/file_commands.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <string>

#include "annotations/anno_services.h"
#include "app/app_globals.h"
#include "app/apple_events.h"
#include "app/cursors.h"
#include "app/event_loop.h"
#include "app/file_dialogs.h"
#include "app/music_window.h"
#include "app/quit.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"
#include "platform/application.h"
#include "platform/events.h"
#include "platform/os_errors.h"
#include "platform/window.h"

namespace {

int window_made_for_view = 0;  // the window made for the view being opened; 0 none

// The view used last becomes current again; with none, the program's own window stays on
// the screen so that its menus can still be reached.
void back_to_most_recent_view() {
  copy_from_VIEW_nodes(most_recent_view());
  if (count_open_views() == 0 && !platform_main_window_open()) platform_open_main_window("Vesk");
}

// Step 1 of opening: the piece showing is closed (Yes) or kept behind the new window (No).
// False when the user cancelled, or the piece could not be closed or kept.
bool put_away_current_piece() {
  if (current_view_index < 0) return true;
  if (piece_fsspec.empty()) return leave_view() != 0;
  char question[REPORT_TEXT_SIZE];
  std::snprintf(question, sizeof question, "Close '%s' window?",
                path_leaf_name(piece_fsspec.c_str()));
  const int answer = yesnocan_alert(question);
  if (answer == ANSWER_YES) return close_view(1) != 0;
  if (answer == ANSWER_NO) return leave_view() != 0;
  return false;
}

// The imported document's piece is not a file of its own: saving it must ask for a name, and
// never write over the document.
void name_imported_piece() {
  if (is_untitled_file(piece_fsspec)) return;
  make_window_title(&piece_fsspec);
  display_win_title(1, nullptr);
}

// Close: the current view, asking to save a changed piece; then the view used last.
int close_command() {
  if (current_view_index < 0) return 0;
  if (!close_view(1)) return 0;
  back_to_most_recent_view();
  return 1;
}

// Save, Save As... and Save As Published...: asking for a name for the last two (and for a
// piece without a file); the title follows the name chosen.
int save_command(int item) {
  if (current_view_index < 0) return 0;
  const int ask = item == FILE_COMMAND_SAVE_AS || item == FILE_COMMAND_SAVE_PUBLISHED;
  const int published = item == FILE_COMMAND_SAVE_PUBLISHED;
  const int saved = save_piece(ask, 0, published, &piece_fsspec);
  if (saved) display_win_title(1, nullptr);
  return saved;
}

// Whether the disk copy of the piece can be read; its error is shown when not.
bool disk_copy_readable() {
  PieceFile file;
  const int16_t result = piece_file_open(&file, piece_fsspec.c_str(), O_RDONLY);
  if (result != RESULT_OK) {
    report_file_error(result, "Revert");
    return false;
  }
  piece_file_close(&file);
  return true;
}

// Revert: the piece read again from its file, after the user agreed to lose the changes.
// Reads: the views, piece_fsspec. Writes: DrosaDirty, the views, the music window.
int revert_command() {
  if (current_view_index < 0 || is_untitled_file(piece_fsspec)) return 0;
  if (find_view_same_piece()) {
    REPORT_ERROR(2, "%s",
                 "You must close (without saving) the other windows on this piece before you "
                 "can Revert!");
    return 0;
  }
  char question[REPORT_TEXT_SIZE];
  std::snprintf(question, sizeof question,
                "Reverting to the disk copy will throw away all changes made to '%s' since the "
                "last Save.",
                path_leaf_name(piece_fsspec.c_str()));
  if (!really_alert(question, 1)) return 0;
  // The piece in memory goes only when its disk copy can take its place.
  if (!disk_copy_readable()) return 0;
  DrosaDirty = 0;
  set_cursor(CURSOR_ID_WATCH);
  const std::string file = piece_fsspec;
  close_view(0);
  piece_fsspec = file;
  prepare_window_for_view();
  const int opened = open_view(1, nullptr);
  finish_window_for_view(opened);
  if (!opened) back_to_most_recent_view();
  return opened;
}

// Quit: every view closed, each asking to save; cancelling one ends the quit there. While a
// page of a piece in front is being formatted, the quit waits for the main loop.
// Reads: recording_active, voice_count, reformat_pending. Writes: deferred_quit, the views.
int quit_command() {
  if (recording_active) return 0;
  for (;;) {
    if (count_open_views() == 0) quit_program(1);
    if (current_view_index < 0) copy_from_VIEW_nodes(most_recent_view());
    if (current_view_index < 0) return 0;  // no view can be closed: the quit cannot go on
    if (voice_count > 0 && reformat_pending) {
      deferred_quit = 1;
      return 1;
    }
    set_cursor(CURSOR_ID_WATCH);
    if (!close_view(1)) return 0;
    copy_from_VIEW_nodes(most_recent_view());
  }
}

}  // namespace

void file_preamble(int item) {
  stop_playing(0);
  if (MODE == TEXT_MODE) text_finish(1);
  const bool printing_rectangle = item == FILE_COMMAND_PRINT && !inverted_selection_rect.empty();
  if (!printing_rectangle) end_anno_selection(MUSIC_MODE, 1);
  set_undo_mark(0);
}

int file_menu(int item, int) {
  file_preamble(item);
  switch (item) {
    case FILE_COMMAND_NEW:
      return open_piece_window(OPEN_NEW);
    case FILE_COMMAND_OPEN:
      return open_piece_window(OPEN_CHOSEN);
    case FILE_COMMAND_CLOSE:
      return close_command();
    case FILE_COMMAND_SAVE:
    case FILE_COMMAND_SAVE_AS:
    case FILE_COMMAND_SAVE_PUBLISHED:
      return save_command(item);
    case FILE_COMMAND_REVERT:
      return revert_command();
    case FILE_COMMAND_LAYOUT:
      return layout_dialog();
    case FILE_COMMAND_PRINT_SETUP:
      page_setup(0);
      return 1;
    case FILE_COMMAND_PRINT:
    case FILE_COMMAND_PRINT_MULTIPLE:
      print_piece(item == FILE_COMMAND_PRINT_MULTIPLE ? 1 : 0);
      return 1;
    case FILE_COMMAND_QUIT:
      return quit_command();
    default:
      REPORT_ERROR(4, "Item %hd in File menu unrecognized!", short(item));
      return 0;
  }
}

// ---- Opening a piece in a window ------------------------------------------------------------

void prepare_window_for_view() {
  window_made_for_view = 0;
  if (music_window()) return;
  // Any size: the window is fitted to the page once the piece is open.
  const Rect screen = screen_device.empty() ? platform_screen_bounds() : screen_device;
  new_music_window(std::max(200, screen.width() / 2), std::max(200, screen.height() - 104));
  window_made_for_view = music_window();
}

void finish_window_for_view(int opened) {
  if (opened) {
    grow_music_window(0, 0);
    // The window was made hidden: the piece is shown, in front.
    activate_window(nullptr);
  } else if (window_made_for_view) {
    // A failed open may already have let go of the window's port: the window goes by number.
    dispose_music_window_of(window_made_for_view);
  }
  window_made_for_view = 0;
}

int open_piece_window(int kind) {
  if (!put_away_current_piece()) return 0;
  set_cursor(CURSOR_ID_WATCH);
  int mode = 1;
  switch (kind) {
    case OPEN_NEW:
      piece_fsspec.clear();
      make_window_title(&piece_fsspec);
      mode = 0;
      break;
    case OPEN_CHOSEN:
    case OPEN_IMPORT:
      if (!open_file_dialog(kind == OPEN_CHOSEN ? FILE_PIECE : FILE_MUSICXML)) {
        back_to_most_recent_view();
        return 0;
      }
      if (kind == OPEN_IMPORT) piece_fsspec = import_fsspec, mode = 2;
      // A MusicXML document chosen to open is imported.
      if (kind == OPEN_CHOSEN && is_musicxml_document(piece_fsspec))
        import_fsspec = piece_fsspec, mode = 2;
      break;
    case OPEN_NAMED:
      break;
    case OPEN_IMPORT_NAMED:
      piece_fsspec = import_fsspec;
      mode = 2;
      break;
    default:
      REPORT_ERROR(4, "Bad kind %hd in open_piece_window", short(kind));
      back_to_most_recent_view();
      return 0;
  }
  // The import reads the document the file specification names; the piece it makes is named
  // after it once it is read.
  prepare_window_for_view();
  const int opened = open_view(mode, nullptr);
  finish_window_for_view(opened);
  if (!opened) {
    // A new piece cancelled in its measures dialog gives its number back: the next is not
    // "New Piece 2" when it is the first made.
    if (kind == OPEN_NEW) --untitled_count;
    back_to_most_recent_view();
    return 0;
  }
  if (mode == 2) name_imported_piece();
  return 1;
}
