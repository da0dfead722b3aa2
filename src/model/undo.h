// undo.h: the undo and redo histories as the node store sees them.
//
// The histories themselves (MARK and UNDO steps, undo_redo) are not kept yet: nothing is
// recorded, so no node is ever held by them.
#pragma once

#include "model/drosa.h"
#include "model/model_globals.h"

// Frees the oldest undo step to make room in a nearly empty node store.
void reclaim_undo_nodes();

// Removes a node from its voice list as an undoable step.
void removevc_with_undo(Drosa node);
