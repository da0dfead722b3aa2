// param_index.h: an index of the PARAM nodes of each stretch of a voice list between two page
// ends, so that a lookup finds the change in force at a note without walking back over the
// notes of the page; and the two rules of the backward walk that it shares with the lookup.
#pragma once

#include "model/model_services.h"
#include "params/param_services.h"

// A node at which the backward walk of a lookup ends: a seen ENDSYST that ends a page or
// starts the piece.
inline bool ends_param_walk(Drosa node) {
  return effective_kind(node) == ENDSYST && (node->get(xendpage) || node->get(xstartpiece));
}

// A voice's head ENDSYST, seen here or not: a walk that runs off the start of its chain there
// has reached the start of the piece.
inline bool is_voice_head(Drosa node) { return node->xkind == ENDSYST && node->get(xstartpiece); }

// param_index_find: what the backward walk from the node before `target` (a NOTE, or an
// ENDSYST seen in the current context) meets first: the nearest seen PARAM of parameter
// pindex and variant small, or the end of the walk.
//   true:  the walk stays in a voice list. *change is that PARAM, or NIL when the walk first
//          reaches *stop: a node where ends_param_walk holds, or the voice's head.
//   false: the walk would run off the start of a chain that is no voice list; the caller
//          walks.
// Reads:  the list of target, current_ncontext, list_change_count.
// Writes: the index, a cache private to this file. It holds, for each stretch of a list from
//         one end of the walk to the next, the position of every NOTE and seen ENDSYST and
//         the seen PARAM nodes by parameter and variant. It depends on nothing but the order
//         of the NOTE, ENDSYST and PARAM nodes and their kinds, contexts, page flags and
//         parameter fields, so it is emptied whenever current_ncontext or list_change_count
//         (counted by every change of those, voice_lists.h) differ from when it was built.
//         It is then rebuilt a stretch at a time: the first lookup in a stretch walks it once.
//         The values of the PARAM nodes and the page lists are read when a lookup needs them.
//         The index keeps the room it has grown to (about 32 bytes a NOTE indexed).
// Failure: none.
bool param_index_find(Drosa target, int pindex, int small, Drosa* change, Drosa* stop);

bool param_index_in_use();

// Empties the index and turns it on.
void reset_param_index();
