// music_window.cpp: the music window's title, its pending update and activation, and
// emptying it of its piece.
//
// The title is kept in music_window_title; the window itself takes it once the music window
// shows pages.
#include "app/music_window.h"

#include <cstdio>
#include <string>

#include "app/app_globals.h"
#include "layout/layout_services.h"
#include "model/model_services.h"

void display_win_title(int mode, const char* extra) {
  if (mode == 3) {
    music_window_title = extra ? extra : "";
    return;
  }
  if (piece_fsspec.empty()) {
    music_window_title = "Vesk";
    return;
  }
  size_t slash = piece_fsspec.find_last_of("/\\");
  std::string title = slash == std::string::npos ? piece_fsspec : piece_fsspec.substr(slash + 1);
  title += ", ";
  if (ncontext_count > 1) {
    title += ncontext_name_of(current_ncontext);
    title += ", ";
  }
  if (mode != 2) {
    char page[48];
    std::snprintf(page, sizeof page, "page %hd of %hd; ", short(current_page), short(page_count));
    title += page;
  }
  if (extra) {
    title += extra;
    title += "  ";
  }
  title.resize(title.size() - 2);  // the final separator
  music_window_title = title;
}

// The music window shows no page yet, so it never has an update pending.
void update_window() {}

void init_music_window_rect() {
  piece_fsspec.clear();
  discard_piece_lists();
  DrosaDirty = 0;
  display_win_title(1, nullptr);
}

void activate_window(Port*) {}

void deactivate_window(int) {}
