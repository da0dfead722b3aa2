// views_least.h: views of pieces, as little as one open piece needs, until views of several
// pieces (each with its own window, page and zoom) exist. One view can be open at a time.
#pragma once

#include <cstdint>

#include "model/drosa.h"
#include "model/piece_format.h"

struct ViewData;

extern int32_t current_view_index;  // the slot of the current view; -1 none

// clear_view_array: every slot free.
void clear_view_array();
// count_open_views: the slots in use.
int count_open_views();
// most_recent_view: the slot in use made current last; -1 none.
int most_recent_view();
// view_index_of_window: the slot of a music window (its number); -1 none.
int view_index_of_window(int window);

// open_view: opens a view of the piece named by piece_fsspec (mode 1), a new piece (0) or a
// MusicXML import (2) and makes it current; 1 when opened. A second view is refused for now.
// Writes: the view slots, the GE list head, everything openpiece writes.
// Failure: level 4 "Bad current_view_index when calling open_view"; level 2 the reason; 0.
int open_view(int mode, PieceFile* file);
// openpiece: fills the view just opened with its piece: reads it, rebuilds the parameter table,
// makes the page image and formats the first page. 1 when the view holds a piece.
// Failure: level 4 "Logic error in openpiece()"; a new piece or an import says it is not
//          available yet (level 2); 0 with nothing left of the piece.
int openpiece(ViewData* shared, int mode, PieceFile* file);
// leave_view: parks the current view so that another can be made current; none can be parked
// yet, which is said (level 2), and 0.
int leave_view();
// copy_from_VIEW_nodes: makes a slot's view current; -1 empties the file name.
void copy_from_VIEW_nodes(int slot);
// close_view: closes the current view, asking to save a changed piece when `ask`; 0 when the
// user cancelled. Disposes of its window.
int close_view(int ask);
// indicate_no_current_view: the globals as they are with no view current.
void indicate_no_current_view();
