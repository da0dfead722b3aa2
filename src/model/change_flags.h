// change_flags.h: saying that the piece changed, and which views must be reformatted.
#pragma once

// Change kinds: 4 marks the piece changed without flagging any view.
inline constexpr int CHANGE_NO_VIEWS = 4;

// Marks the piece changed (bit 0 of DrosaDirty), then as mark_views_changed.
void mark_piece_changed(int reformat, int kind, int context);
// A change that formatting made (systems cut to fit, nodes moved to their zones): saved with
// the piece, but no change of the user's that questions before changing pages or contexts
// would protect, and formatting makes it again when the piece is opened. Marks DIRTY_LAYOUT,
// then as mark_views_changed without a reformat.
void mark_layout_changed(int kind, int context);
// Requests a reformat when reformat is non-zero; unless kind is 4 flags the views of the
// context (context 0 or another context: the other views; the current context: its views).
void mark_views_changed(int reformat, int kind, int context);
void clear_view_changes();
// Passes the flags on to the other open views of the same piece: a change of another context
// (or of every context) marks them all for reformatting, a change of the current context those
// that show it. Views of other pieces are never marked.
void propagate_view_changes();
