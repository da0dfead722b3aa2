// menus.cpp: the menu commands that start-up, the main loop and quitting need: Quit, and
// opening a piece in a window. Other commands say that they are not available yet.
#include "app/menus.h"

#include <cstdio>
#include <string>

#include "app/app_globals.h"
#include "app/cursors.h"
#include "app/event_loop.h"
#include "app/file_dialogs.h"
#include "app/music_window.h"
#include "app/quit.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"
#include "platform/events.h"
#include "platform/window.h"

ItemEnabledFlags item_enabled_flags;

namespace {
int window_made_for_view = 0;  // the window made for the view being opened; 0 none
}  // namespace

void update_menus(int32_t source) {
  menu_modifiers = source ? platform_modifiers() & (MOD_EITHER_SHIFT | MOD_EITHER_OPTION) : 0;
}

void build_menus() {}

void do_menu_item(int16_t menu, int16_t item, int32_t source) {
  if (menu == APPLICATION_QUIT_MENU) {
    file_menu(FILE_QUIT, source);
    return;
  }
  if (menu == FILE_MENU && item == FILE_QUIT) {
    file_menu(item, source);
    return;
  }
  REPORT_ERROR(2, "%s", "This command is not available yet.");
}

void file_menu(int item, int32_t) {
  if (item != FILE_QUIT) {
    REPORT_ERROR(4, "Item %hd in File menu unrecognized!", short(item));
    return;
  }
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
      REPORT_ERROR(2, "%s", "This command is not available yet.");
      return;
  }
  prepare_window_for_view();
  const int opened = open_view(mode, nullptr);
  finish_window_for_view(opened);
  if (!opened) copy_from_VIEW_nodes(most_recent_view());
}
