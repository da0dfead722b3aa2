// openpiece.cpp: filling a newly opened view with its piece, and bringing the rest of the
// program to a known state for it: the parameter table rebuilt from the piece, the page
// prepared, the insertion point at the start and no undo history (unless the piece is only to
// be printed).
#include "model/openpiece.h"

#include <algorithm>

#include "model/error_report.h"
#include "model/model_globals.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "model/piece_format.h"
#include "model/readvesk.h"
#include "model/undo.h"
#include "model/views.h"
#include "model/voice_lists.h"
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
    model_hooks.display_win_title(1, nullptr);
    return;
  }
  model_hooks.clear_current_piece();
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
  const bool only_to_print = model_hooks.quiet_convert_flag() && platform_windows_kept_off_screen();
  if (mode == 1) {
    model_hooks.set_cursor(CURSOR_ID_WATCH);
    if (!read_piece(shared)) {
      discard_failed_piece(shared);
      return 0;
    }
  } else if (mode == 0 || mode == 2) {
    if (!read_header(file)) REPORT_ERROR(4, "logic error in calling read_header (piece)");
    if (mode == 0 ? !model_hooks.make_new_piece() : !model_hooks.import_musicxml(only_to_print)) {
      discard_failed_piece(nullptr);
      return 0;
    }
    // New or imported, never saved: closing asks to save it, but nothing in it has changed
    // (questions about changes since the last save are not asked of it). What the making or
    // the import changed on the way (pages the import's formatting cut) is the piece made.
    DrosaDirty = DIRTY_NEVER_SAVED;
    perf_defaults[PERF_PLATFORM_CODE] = 1;
    model_hooks.draw_piano_window();
  } else {
    REPORT_ERROR(4, "Logic error in openpiece()");
    return 0;
  }
  text_template->xcontext = 0;
  line_template->xcontext = 0;
  std::fill(page_start, page_start + MAX_VOICES, NIL);
  // An import has built the table and the PARAM nodes already, before it formatted every
  // page; the format only makes a note's PARAM nodes again from the same texts.
  if (mode != 2) model_hooks.rebuild_param_table();
  model_hooks.piece_opened(only_to_print);
  // The history of a piece only to be printed goes with it when it is let go of.
  if (!only_to_print) clear_undo(1);
  return 1;
}
