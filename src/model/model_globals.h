// model_globals.h: the program-wide state of the piece model and its node store.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "model/drosa.h"
#include "model/model_services.h"

// ---- Node store ----------------------------------------------------------------------

inline constexpr long DROSA_BLOCK_REQUEST = 1048480;  // bytes asked of the system per block
inline constexpr int DROSA_GROWTH_NODES = 16381;      // nodes in every block after the first
inline constexpr int DROSA_LOW_WATER = 9;  // a take leaving this many or fewer free grows
inline constexpr int64_t DROSA_MEMORY_LIMIT = 2100000000;  // limit shown to the user, bytes

// The first block as it was asked of the system and built.
struct DrosaFirstBlock {
  uintptr_t start;   // the block's start, rounded up to 64 once built
  uintptr_t lowest;  // its lowest node's address (the same as start once aligned)
  uintptr_t end;     // its end, a multiple of 64
  long size;         // usable size in bytes; the request size until the block is built
};

extern Drosa freeTail;               // lowest node of the first block: far end of the list as built
extern DrosaFirstBlock first_block;  // the first block's bounds
extern int32_t first_block_nodes;    // nodes in the first block (16,381 or 16,382)
// NEST nodes taken from the store (or read from a file) and not given back, wherever they lie,
// like staff_drag_nodes. None means no note lies in a nested tuplet.
extern int32_t nest_nodes;
// The system allocation behind each block, indexed like drosa_block_base: its place in the
// reservation.
extern void* drosa_block_allocation[DROSA_MAX_BLOCKS + 1];

// The reservation all blocks lie in (see drosa_node_base): room for a block below block 1,
// never committed, then room for drosa_reserved_blocks blocks, each DROSA_BLOCK_SPAN bytes
// apart: those up to the memory limit, or as many as the system gives address space for (a
// process may be limited to less). nullptr and 0 before the store is made.
inline constexpr long DROSA_BLOCK_SPAN = long(DROSA_NODE_SIZE) << DROSA_INDEX_BITS;
inline constexpr uint32_t DROSA_RESERVED_BLOCKS =
    uint32_t(DROSA_MEMORY_LIMIT / DROSA_BLOCK_SPAN) + 1;
inline constexpr long drosa_reservation_bytes(uint32_t blocks) {
  return (long(blocks) + 1) * DROSA_BLOCK_SPAN;
}
extern void* drosa_reservation;
extern uint32_t drosa_reserved_blocks;

// ---- Permanent template nodes (made by VeskMemory_Init, never freed) --------------------

extern Drosa print_template;  // PRINT: defaults of new staff settings

// ---- List changes ------------------------------------------------------------------------

inline void forget_place(Drosa node) {
  for (auto& table : kept_places) {
    Drosa& slot = table[node.handle() % KEPT_PLACE_SLOTS];
    if (slot == node) slot = NIL;
  }
}

// ---- Undo history ----------------------------------------------------------------------

extern int32_t undo_list_index;  // the list new records go to: 0, or 1 while an Undo replays
extern bool undo_replaying;      // set while undo_redo replays: the redo list is not cleared
extern int32_t undo_busy;        // primitives at work on the histories: no step may be reclaimed
extern int32_t undo_unrecorded;  // the program's own changes under way: none is recorded
// The chain a primitive has just inserted and recorded, while it adjusts it (FreshChain): NIL
// none.
extern Drosa fresh_chain_first, fresh_chain_last;

// ---- Replace primitives -----------------------------------------------------------------

// Tick at which "Unable to make a rest of right length to fill time gap." was last shown.
extern uint32_t last_rest_failure_tick;

// ---- Change flags ----------------------------------------------------------------------

inline constexpr uint8_t DIRTY_NEVER_SAVED = 0x02;
extern int32_t view_change_current;  // views of the current context need reformatting
extern int32_t view_change_other;    // views of other contexts need reformatting

struct ListBox;

// ---- The piece file -----------------------------------------------------------------------

extern int16_t header_length;      // header bytes after the length field, of the file at hand
extern int32_t header_bytes_done;  // header bytes read or written so far; -4 before the version

// ---- Debug dumps -------------------------------------------------------------------------

extern std::FILE* debug_stream;    // where dumps go; nullptr until the first write
extern int32_t debug_last_choice;  // the number last chosen in the dump chooser
extern bool stop_in_relocate;      // the justification stops at its debugging point
extern bool record_transcribe;     // recording writes what it transcribes
