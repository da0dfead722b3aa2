// views_least.cpp: one view of one piece at a time, until views of several pieces exist.
//
// Opening reads the piece, makes its page image and formats its first page; closing asks to
// save a changed piece, forgets the piece and disposes of the window. A second piece is
// refused with a message rather than half opened.
#include "model/views_least.h"

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "platform/ticks.h"

namespace {
constexpr int VIEW_SLOTS_KEPT = 20;
int32_t view_ticks[VIEW_SLOTS_KEPT] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                       -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};

void release_slot() {
  if (current_view_index >= 0 && current_view_index < VIEW_SLOTS_KEPT)
    view_ticks[current_view_index] = -1;
}

void free_graphics_list() {
  if (old_GE_head) destroy_Drosa_list(old_GE_head);
  if (GE_head) destroy_Drosa_list(GE_head);
  GE_head = GE_tail = old_GE_head = NIL;
  GE_list_complete = 0;
}
}  // namespace

int32_t current_view_index = -1;

void clear_view_array() {
  for (int32_t& tick : view_ticks) tick = -1;
}

int count_open_views() {
  int n = 0;
  for (int32_t tick : view_ticks) n += tick != -1;
  return n;
}

int most_recent_view() {
  int best = -1;
  for (int i = 0; i < VIEW_SLOTS_KEPT; ++i)
    if (view_ticks[i] != -1 && (best < 0 || uint32_t(view_ticks[i]) > uint32_t(view_ticks[best])))
      best = i;
  return best;
}

int view_index_of_window(int window) {
  return window && window == music_window() ? current_view_index : -1;
}

int open_view(int mode, PieceFile* file) {
  if (current_view_index != -1) REPORT_ERROR(4, "Bad current_view_index when calling open_view");
  if (count_open_views() > 0) {
    REPORT_ERROR(2, "%s", "Only one piece can be open at a time for now.");
    return 0;
  }
  current_view_index = 0;
  view_ticks[0] = int32_t(platform_ticks() & 0x7FFFFFFF);
  GE_head = GE_tail = newDrosa(GE_CHAR, 0);
  old_GE_head = NIL;
  GEinit(0);
  clear_view_changes();
  if (openpiece(nullptr, mode, file)) return 1;
  release_slot();
  offscreen_dispose();
  dispose_music_window();
  free_graphics_list();
  indicate_no_current_view();
  return 0;
}

int openpiece(ViewData*, int mode, PieceFile*) {
  if (piece_fsspec.empty()) {
    REPORT_ERROR(4, "Logic error in openpiece()");
    return 0;
  }
  current_ncontext = 1;
  if (mode == 0) {
    REPORT_ERROR(2, "%s", "New pieces cannot be made yet.");
    return 0;
  }
  if (mode == 2) {
    REPORT_ERROR(2, "%s", "MusicXML import is not available yet.");
    return 0;
  }
  set_cursor(CURSOR_ID_WATCH);
  if (!read_piece(nullptr)) {
    piece_fsspec.clear();
    clear_current_piece();
    return 0;
  }
  if (!offscreen_create(default_scale.divisor, options_i32(1, OPTIONS_PAGE_WIDTH),
                        options_i32(1, OPTIONS_PAGE_HEIGHT), 0, 1)) {
    clear_current_piece();
    return 0;
  }
  text_template->xcontext = 0;
  line_template->xcontext = 0;
  for (Drosa& start : page_start) start = NIL;
  param_init();
  prepare_piece();
  insertion_point = NIL;
  clear_undo(1);
  return 1;
}

int leave_view() {
  REPORT_ERROR(2, "%s", "Only one piece can be open at a time for now.");
  return 0;
}

void copy_from_VIEW_nodes(int slot) {
  if (slot == -1) piece_fsspec.clear();
}

int close_view(int ask) {
  if (MODE != MUSIC_MODE) end_anno_selection(0, 1);
  if (ask && !ask_save_piece()) return 0;
  clear_undo(1);
  if (insertion_point) stop_flashing(insertion_point);
  insertion_point = NIL;
  inverted_selection_rect = framed_selection_rect = VirtualRect{};
  release_slot();
  clear_current_piece();
  offscreen_dispose();
  free_graphics_list();
  dispose_music_window();
  indicate_no_current_view();
  return 1;
}

void indicate_no_current_view() {
  current_view_index = -1;
  if (MODE != MUSIC_MODE) end_anno_selection(0, 1);
  music_window_port = nullptr;
  ncontext_count = 0;
  voice_count = 0;
  for (Drosa& start : piece_start) start = NIL;
  insertion_point = NIL;
  selected_voice = -1;
  piece_fsspec.clear();
  DrosaDirty = 0;
  reformat_pending = 0;
}
