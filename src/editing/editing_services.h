// editing_services.h: what the rest of the program asks of the selection and editing code.
// Other folders include this header and no other header of editing/.
#pragma once

#include "editing/acc.h"
#include "editing/align_bars.h"
#include "editing/copypaste.h"
#include "editing/drags.h"
#include "editing/edit_dialogs.h"
#include "editing/editing_globals.h"
#include "editing/gselect.h"
#include "editing/highlight.h"
#include "editing/key_transpose.h"
#include "editing/keysig.h"
#include "editing/measures.h"
#include "editing/selection.h"
#include "editing/swing_transpose.h"
#include "editing/symbol_commands.h"
#include "editing/symbols.h"
#include "editing/systems.h"
#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "platform/geometry.h"

// Operations on the SPACC, COLOR, TSMOD and NEST nodes attached before a NOTE: 1 appends
// copies of them (one of each kind, in that order) to the clipboard list after clipboard_tail;
// 2 removes them with undo; 3 and 4 skip them forward or backward.
inline constexpr int UNARY_COPY = 1, UNARY_DELETE = 2, UNARY_SKIP_FORWARD = 3, UNARY_SKIP_BACK = 4;
Drosa unary_node(int op, Drosa node);

// ---- Staff drags -------------------------------------------------------------------------------
// update_SDRAG_on_page: removes, with undo, every SDRAG of the node's voice between the ENDSYST
// that starts the node's page and the one that ends it, and marks the piece changed when
// one went.
// Reads: current_ncontext. Writes: the voice list (recorded), DrosaDirty.
void update_SDRAG_on_page(Drosa node);

// ---- Measures and beaming ----------------------------------------------------------------
// get_timesig_beaming: the default beam grouping of a time signature: the beat value of its
// groups and of its secondary groups (time units).
// Failure: level 4 "bad call to get_timesig_beaming" for a node that is no visible TIMESIG;
//          0 and 0.
void get_timesig_beaming(Drosa timesig, int32_t* group, int32_t* sub);

// clear_music_scrap: 0 frees the internal clipboard and empties the system clipboard; 1 frees
// the internal clipboard only when another program has put text or a picture on the system
// clipboard, and leaves the system clipboard alone.
// Writes: clipboard_list, clipboard_kind.
void clear_music_scrap(int flag);
