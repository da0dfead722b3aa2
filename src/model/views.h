// views.h: the views: up to twenty music windows, each showing a piece, which take turns at
// holding the program-wide globals. The piece state of an open file (ViewData) is shared by
// all views of that file; each view also keeps the state of its own window.
#pragma once

#include <cstdint>
#include <string>

#include "model/drosa.h"
#include "model/model_globals.h"
#include "model/model_services.h"
#include "model/piece_format.h"

inline constexpr int MAX_VIEWS = 20;

// One of the twenty view slots.
struct ViewSlot {
  ViewData* piece = nullptr;          // the view's piece state; nullptr until first left
  ViewWindowState* window = nullptr;  // its window state; nullptr until first left
  int32_t last_activation = -1;       // tick when it last became current; -1 a free slot
};

// ---- Globals of the views -----------------------------------------------------------------

extern ViewSlot view_array[MAX_VIEWS];

// ---- Opening, switching, closing ------------------------------------------------------------

// save_and_release_view: frees the current view's slot and its page image; with save its
// piece state is copied into its ViewData first. 1 when the ViewData went with it (no other
// view holds it), 0 when another view still shows the piece.
int save_and_release_view(int save);

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
