// openpiece.cpp: filling a newly opened view with its piece, and bringing the rest of the
// program to a known state for it: the parameter table rebuilt from the piece, the page
// prepared, the insertion point at the start and no undo history (unless the piece is only to
// be printed).
#include "model/openpiece.h"

#include <algorithm>

#include "ImportExport/musicxml_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "layout/layout_services.h"
#include "model/error_report.h"
#include "model/model_globals.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "model/piece_format.h"
#include "model/readvesk.h"
#include "model/undo.h"
#include "model/views.h"
#include "model/voice_lists.h"
#include "params/param_services.h"
#include "performance/performance_services.h"
#include "platform/window.h"

namespace {

bool has_file_name() {
  const size_t slash = piece_fsspec.find_last_of('/');
  return slash == std::string::npos ? !piece_fsspec.empty() : slash + 1 < piece_fsspec.size();
}

// What a failed open leaves: no piece. A piece shared with another view is that view's, and
// is only let go of here.
void discard_failed_piece(const ViewData* shared) {
  if (shared && voice_count && piece_start[0] == shared->piece_start[0]) {
    voice_count = 0;
    std::fill(piece_start, piece_start + MAX_VOICES, NIL);
    std::fill(page_start, page_start + MAX_VOICES, NIL);
    piece_fsspec.clear();
    DrosaDirty = 0;
    display_win_title(1, nullptr);
    return;
  }
  clear_current_piece();
}

// The two voices of a new piece, one part of two staves, with the first measures the user
// asks for, a 4/4 time signature and its default beaming. 0 when the user cancelled.
int make_new_piece() {
  make_empty_voice(0, 0);
  make_empty_voice(1, 0);
  voice_count = 2;
  page_count = 1;
  group_selected = 0;
  insertion_point = NIL;
  Drosa timesig = newDrosa(TIMESIG, 0);
  timesig->set(xbpm, 4);
  timesig->set(xbeat, 4);
  char part_name[256] = "";
  if (!make_measures(timesig, 1, part_name)) {
    destroyDrosa(timesig);
    return 0;
  }
  int32_t group = 0, sub = 0;
  get_timesig_beaming(timesig, &group, &sub);
  for (int v = 0; v < voice_count; ++v) {
    Drosa key = find_next_kind_before_note(KEYSIG, piece_start[v]);
    if (!key) continue;
    Drosa copy = copyDrosa(timesig);
    link_after(copy, key);
    Drosa beaming = newDrosa(BEAMING, 0);
    beaming->set(xbvalue, 0, group);
    beaming->set(xsbvalue, sub);
    link_after(beaming, copy);
    if (part_name[0]) {
      Drosa info = find_next_kind_before_note(VINFO, piece_start[v]);
      if (info) info->set(xpname, part_name);
    }
  }
  destroyDrosa(timesig);
  return 1;
}

}  // namespace

int openpiece(ViewData* shared, int mode, PieceFile* file) {
  if (!has_file_name()) {
    REPORT_ERROR(4, "Logic error in openpiece()");
    return 0;
  }
  if (voice_count != 0) REPORT_ERROR(4, "Bad voices value when calling openpiece()");
  if (DrosaDirty) REPORT_ERROR(4, "Warning: DrosaDirty==TRUE on calling openpiece");
  current_ncontext = 1;
  // Opened by a program started only to print: the piece is printed and let go of unseen.
  const bool only_to_print = quiet_convert_flag && platform_windows_kept_off_screen();
  if (mode == 1) {
    set_cursor(CURSOR_ID_WATCH);
    if (!read_piece(shared)) {
      discard_failed_piece(shared);
      return 0;
    }
  } else if (mode == 0 || mode == 2) {
    if (!read_header(file)) REPORT_ERROR(4, "logic error in calling read_header (piece)");
    if (mode == 0 ? !make_new_piece() : !import_musicxml(only_to_print)) {
      discard_failed_piece(nullptr);
      return 0;
    }
    // New or imported, never saved: closing asks to save it, but nothing in it has changed
    // (questions about changes since the last save are not asked of it). What the making or
    // the import changed on the way (pages the import's formatting cut) is the piece made.
    DrosaDirty = DIRTY_NEVER_SAVED;
    perf_defaults[PERF_PLATFORM_CODE] = 1;
    draw_piano_window();
  } else {
    REPORT_ERROR(4, "Logic error in openpiece()");
    return 0;
  }
  text_template->xcontext = 0;
  line_template->xcontext = 0;
  std::fill(page_start, page_start + MAX_VOICES, NIL);
  // An import has built the table and the PARAM nodes already, before it formatted every
  // page; the format only makes a note's PARAM nodes again from the same texts.
  if (mode != 2) {
    param_init();
    rebuild_param_nodes();
  }
  prepare_piece(only_to_print);
  cursor_to_time(-1, -1, 0.0);
  // The history of a piece only to be printed goes with it when it is let go of.
  if (!only_to_print) clear_undo(1);
  return 1;
}
