// undo.cpp: the undo history's share of the node store.
#include "model/undo.h"

#include "model/voice_lists.h"

void reclaim_undo_nodes() {
  // No history is kept, so there is no step to free.
}

void removevc_with_undo(Drosa node) {
  // Without a history the removal is simply made.
  destroy_node(node);
}
