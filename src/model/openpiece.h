// openpiece.h: filling a view that has just been opened with its piece: a new piece, a piece
// read from its file, or a piece imported from MusicXML.
#pragma once

#include "model/piece_format.h"

struct ViewData;

// openpiece: fills the current, empty view with a piece: mode 0 a new piece (its first
// measures asked for), 1 the piece read from the file named by piece_fsspec (with `shared`,
// the ViewData of another view of that file, only the file's header is read and the piece is
// that view's), 2 the MusicXML document named by piece_fsspec. `file` goes to the header
// reader for modes 0 and 2. Then the parameter table is rebuilt from the piece, the piece
// prepared (pages counted, the requested page formatted, unless the program was started only to
// print and the page is kept as the import formatted it), the insertion point reset and the
// undo history cleared (one only to be printed keeps it: it goes when the piece is let go of).
// 1 when the view holds its piece.
// Reads:  piece_fsspec, requested_page, quiet_convert_flag. Writes: every piece global,
//         current_ncontext, page_start, the parameter table, the page, the insertion point, the
//         undo lists; DrosaDirty and the platform code of perf_defaults for a new or imported
//         piece.
// Failure: level 4 "Logic error in openpiece()" (no file name), "Bad voices value when calling
//          openpiece()", "Warning: DrosaDirty==TRUE on calling openpiece", "logic error in
//          calling read_header (piece)" (opening goes on); the reader's, the measures' or the
//          import's failure, after which nothing of the piece is kept (a shared piece stays
//          whole with its other views); 0.
int openpiece(ViewData* shared, int mode, PieceFile* file);
