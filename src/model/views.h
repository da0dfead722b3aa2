// views.h: the views: up to twenty music windows, each showing a piece, which take turns at
// holding the program-wide globals. The piece state of an open file (ViewData) is shared by
// all views of that file; each view also keeps the state of its own window.
#pragma once

#include <cstdint>
#include <string>

#include "model/drosa.h"
#include "model/model_globals.h"
#include "model/piece_format.h"

struct Port;
struct ViewWindowState;  // a view's window state while another view is current (views.cpp)

inline constexpr int MAX_VIEWS = 20;

// The saved piece state of one open file, shared by every view of that file.
struct ViewData {
  std::string fsspec;  // the file's path; a name beginning with ':' is untitled
  uint8_t DrosaDirty = 0;
  int16_t requested_page = 0;
  uint8_t perf_defaults[PERF_DEFAULTS_SIZE] = {};
  uint8_t print_record[MAX_NCONTEXTS + 1][PRINT_RECORD_SIZE] = {};
  int16_t voice_count = 0;
  int16_t ncontext_count = 0;
  Drosa piece_start[MAX_VOICES];
  uint8_t options_struct[MAX_NCONTEXTS + 1][OPTIONS_SIZE] = {};
  char ncontext_name[MAX_NCONTEXTS + 1][NCONTEXT_NAME_SIZE] = {};
};

// One of the twenty view slots.
struct ViewSlot {
  ViewData* piece = nullptr;          // the view's piece state; nullptr until first left
  ViewWindowState* window = nullptr;  // its window state; nullptr until first left
  int32_t last_activation = -1;       // tick when it last became current; -1 a free slot
};

// ---- Globals of the views -----------------------------------------------------------------
extern ViewSlot view_array[MAX_VIEWS];
extern int32_t current_view_index;  // slot of the current view; -1 none

// Frees every view's records (parked page images included) and frees every slot; the node
// store is left alone. For the tests.
void reset_views_globals();

// ---- Slots --------------------------------------------------------------------------------
// clear_view_array: every slot free. Called once at start-up.
void clear_view_array();
// Slots in use.
int count_open_views();
// The used slot made current last; -1 when none.
int most_recent_view();
// The slot of the view shown in a window: the current view's for the current music window,
// else the parked view whose window it is; -1 when none.
int view_index_of_window(const Port* window);
// The ViewData of another used view whose file is the current file specification (the whole
// path is compared); nullptr when there is none.
// Reads: piece_fsspec, current_view_index, view_array.
ViewData* find_view_same_piece();

// ---- Opening, switching, closing ------------------------------------------------------------
// open_view: opens a view of the file named by piece_fsspec in a free slot and makes it
// current: mode 0 a new piece, 1 the piece read from the file (sharing the piece of a view of
// the same file that is open already), 2 an imported MusicXML document; `file` goes to the
// header reader for modes 0 and 2 (nullptr: no file). 1 when the view holds its piece. The
// current view must have been left first.
// Writes: every global of the piece and of the window; view_array, current_view_index.
// Failure: level 2 "You cannot open so many windows!" and level 4 "Bad current_view_index
//          when calling open_view" while a view is current (nothing changes); the failure of
//          opening the piece, after which the slot is free again, nothing of the piece is
//          kept and there is no current view; 0.
int open_view(int mode, PieceFile* file);

// leave_view: parks the current view: its piece state into its ViewData, its window state into
// its record, the layout records of its page into NTVIEW and PVIEW copies; the undo history
// is cleared and the other views of the piece learn of its changes. No view is current after.
// Writes: view_array, the voice lists (layout records), the undo lists, the globals as
//         indicate_no_current_view. Failure: 0 when its records cannot be allocated (the
//         view stays current, nothing changed); level 4 "Bad current_view_index when calling
//         leave_view" with no current view.
int leave_view();

// copy_from_VIEW_nodes: makes the parked view of `slot` current again (slot -1: empties the
// file name only): restores its globals, finds its page again, turns its copies back into
// layout records, formats the page (prepared anew when another page was formatted last) and
// puts the insertion point on the drawn note nearest to where it stood.
// Failure: level 4 "Pre-existing NTDATA on voice %hd in copy_from_VIEW_nodes!", "Pre-existing
//          PDATA on voice %hd in copy_from_VIEW_nodes!", "Voice %hd has an orphaned PVIEW
//          node! ptr=%lx", "Voice %hd has a PVIEW node (%lx) before %s (%lx)!" (the copy is
//          deleted), "Bad view %hd in copy_from_VIEW_nodes!" for a slot that is not parked
//          or while another view is current (nothing changes).
void copy_from_VIEW_nodes(int slot);

// save_and_release_view: frees the current view's slot and its page image; with save its
// piece state is copied into its ViewData first. 1 when the ViewData went with it (no other
// view holds it), 0 when another view still shows the piece.
int save_and_release_view(int save);

// close_view: closes the current view, with `ask` asking to save a changed piece first. The
// last view of a file discards the piece; otherwise the piece stays with the other views.
// Runs the node store's leak check when no view is left. 0 when the user cancelled.
int close_view(int ask);

// indicate_no_current_view: the globals as they are with no current view: no piece, no
// selection, no file name, no page image or graphics list of a view.
// Failure: level 4 "GROUP_SELECT in indicate_no_current_view()." when a group selection is left.
void indicate_no_current_view();

// restore_view_data: a ViewData into the piece globals.
void restore_view_data(const ViewData& piece);

// ---- The other views, for the change flags ----------------------------------------------------
// The piece state of a slot (nullptr: none); the notation context a parked view shows (0 for
// a slot without a window record); marks a parked view for reformatting when it comes back,
// and whether it is so marked.
const ViewData* view_piece(int slot);
int view_ncontext(int slot);
void mark_view_for_reformat(int slot);
int view_reformat_pending(int slot);
// renumber_view_contexts: after the current piece's notation contexts were deleted or moved,
// every other view of the piece shows its context under the number `map` gives it (a context
// that no longer exists maps to the Score, 1), its annotation templates take that number, and
// it is formatted anew when it comes back.
// Reads: piece_fsspec, ncontext_count, view_array. Writes: the other views' window records.
void renumber_view_contexts(int (*map)(int context, int from, int to), int from, int to);

// ---- Per-view copies ---------------------------------------------------------------------------
// Whether the node is an NTVIEW or PVIEW of the current view.
bool is_current_view_copy(Drosa node);
