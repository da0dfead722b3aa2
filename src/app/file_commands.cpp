// file_commands.cpp: the File menu's commands as far as they are built: Close and Quit, and
// opening a piece in a window. The other File commands are not available yet.
#include "app/file_commands.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/app_globals.h"
#include "app/cursors.h"
#include "app/event_loop.h"
#include "app/file_dialogs.h"
#include "app/menu_unavailable.h"
#include "app/menus.h"
#include "app/music_window.h"
#include "app/quit.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"
#include "platform/window.h"

namespace {
int window_made_for_view = 0;  // the window made for the view being opened; 0 none

void quit_command() {
  if (recording_active) return;
  for (;;) {
    if (count_open_views() == 0) quit_program(1);
    if (voice_count > 0 && reformat_pending) {
      deferred_quit = 1;
      return;
    }
    set_cursor(CURSOR_ID_WATCH);
    if (!close_view(1)) return;
    copy_from_VIEW_nodes(most_recent_view());
  }
}

}  // namespace

int file_menu(int item, int source) {
  (void)source;
  file_preamble(item);
  switch (item) {
    case 4:
      if (close_view(1)) copy_from_VIEW_nodes(most_recent_view());
      break;
    case 13:
    case 14:
    case 15:
      printing_unavailable(FILE_MENU, item);
      break;
    case FILE_QUIT:
      quit_command();
      break;
    case 3:
    case 5:
    case 9:
    case 11:
      REPORT_ERROR(4, "Item %hd in File menu unrecognized!", short(item));
      break;
    default:
      report_command_unavailable(FILE_MENU, item);
      break;
  }
  return 0;
}

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
  } else if (window_made_for_view) {
    // A failed open may already have let go of the window's port: the window goes by number.
    dispose_music_window_of(window_made_for_view);
  }
  window_made_for_view = 0;
}

void open_piece_window(int kind) {
  if (!piece_fsspec.empty() && current_view_index >= 0) {
    char question[REPORT_TEXT_SIZE];
    std::snprintf(question, sizeof question, "Close '%s' window?",
                  path_leaf_name(piece_fsspec.c_str()));
    const int answer = yesnocan_alert(question);
    if (answer == ANSWER_CANCEL) return;
    if (answer == ANSWER_YES && !close_view(1)) return;
    if (answer == ANSWER_NO && !leave_view()) return;
  }
  set_cursor(CURSOR_ID_WATCH);
  int mode = 1;
  switch (kind) {
    case 1:
      if (!open_file_dialog(FILE_PIECE)) {
        copy_from_VIEW_nodes(most_recent_view());
        return;
      }
      break;
    case -1:
      break;
    case -2:
      piece_fsspec = import_fsspec;
      make_window_title(&piece_fsspec);
      mode = 2;
      break;
    default:
      report_command_unavailable(FILE_MENU, kind == 2 ? 3 : 1);
      return;
  }
  prepare_window_for_view();
  const int opened = open_view(mode, nullptr);
  finish_window_for_view(opened);
  if (!opened) copy_from_VIEW_nodes(most_recent_view());
}
