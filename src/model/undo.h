// undo.h: the undo and redo histories: every change to a voice list goes through the three
// recording primitives (insert a chain after a node, remove a chain, modify a node in place);
// commands are separated by MARK nodes.
#pragma once

#include <cstdint>

#include "model/drosa.h"
#include "model/model_globals.h"
#include "model/model_services.h"
#include "model/node_fields.h"

// UNDO operations.
inline constexpr int UNDO_INSERT_AFTER = 0;
inline constexpr int UNDO_DELETE_AFTER = 1;
inline constexpr int UNDO_MODIFY = 2;

// clang-format off
inline constexpr auto xmark_page = word_field<uint8_t>("xmark_page", MARK, 10);       // page of the step
inline constexpr auto xmark_context = word_field<uint8_t>("xmark_context", MARK, 11); // its notation context
inline constexpr auto xmark_insx = word_field<int32_t>("xmark_insx", MARK, 12);       // insertion point
inline constexpr auto xmark_insy = word_field<int32_t>("xmark_insy", MARK, 16);
// the insertion point's note when the step began (in the redo list: when it was undone)
inline constexpr LinkField xmark_point{"xmark_point", MARK, 20};
inline constexpr LinkField xundo_last{"xundo_last", UNDO, 14};  // insertions: the last node inserted
inline constexpr auto xundo_op = word_field<uint8_t>("xundo_op", UNDO, 18);
inline constexpr auto xundo_prevkind = word_field<uint8_t>("xundo_prevkind", UNDO, 19);
// clang-format on

// Frees the oldest step to make room in a nearly empty node store. While a primitive records or
// a step is replayed, the newest step of each list stays.
void reclaim_undo_nodes();

// While one lives, the primitives make the program's own changes (the font table and the
// colours a save brings up to date) without recording them, and keep every record of both
// histories pointing where it did: a chain inserted where a record's range began is stepped
// over, a removed chain's place passes to the node before it. A record that cannot be kept
// so (one that modifies or ends at a removed node) throws both histories away.
// Reads and writes: undo_unrecorded, and the records of both histories.
struct UnrecordedChanges {
  UnrecordedChanges();
  ~UnrecordedChanges();
  UnrecordedChanges(const UnrecordedChanges&) = delete;
  UnrecordedChanges& operator=(const UnrecordedChanges&) = delete;
};

// While one lives, a change to a node of first..last, a chain just inserted and recorded in the
// current step, is not recorded: undoing the insertion takes the chain away as it then is, and
// Redo puts it back so. (An entered chord's accidentals are settled right after it goes in.)
// Reads and writes: fresh_chain_first, fresh_chain_last.
struct FreshChain {
  FreshChain(Drosa first, Drosa last);
  ~FreshChain();
  FreshChain(const FreshChain&) = delete;
  FreshChain& operator=(const FreshChain&) = delete;
};
