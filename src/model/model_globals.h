// model_globals.h: the program-wide state of the piece model and its node store.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "model/drosa.h"

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

extern Drosa freeHead;               // first node of the free list: takes and returns happen here
extern Drosa freeTail;               // lowest node of the first block: far end of the list as built
extern int32_t freeCount;            // nodes on the free list
extern int32_t total_Drosa_count;    // nodes made in all blocks together
extern DrosaFirstBlock first_block;  // the first block's bounds
extern uint32_t drosa_block_total;   // blocks built so far (the first is block 0)
extern int32_t first_block_nodes;    // nodes in the first block (16,381 or 16,382)
// The system allocation behind each block, indexed like drosa_block_base.
extern void* drosa_block_allocation[DROSA_MAX_BLOCKS + 1];

// ---- Permanent template nodes (made by VeskMemory_Init, never freed) --------------------
extern Drosa line_template;          // LINE: defaults of new line annotations
extern Drosa print_template;         // PRINT: defaults of new staff settings
extern Drosa beaming_head;           // BEAMING: beams break at every quarter, secondary at eighths
extern Drosa current_note_template;  // NOTE: defaults of entered notes (an eighth)
extern Drosa text_template;          // TPARAM: defaults of new text annotations
extern Drosa spacc_template;  // SPACC held by the note-entry menu's special accidental; NIL none

// ---- The piece -------------------------------------------------------------------------
inline constexpr int MAX_VOICES = 64;
extern int16_t voice_count;              // voices 0 .. voice_count - 1 exist
extern Drosa piece_start[MAX_VOICES];    // head ENDSYST of each voice list
extern Drosa page_start[MAX_VOICES];     // where the current page begins in each voice
extern Drosa system_cursor[MAX_VOICES];  // each shown voice's ENDSYST after voices_to_system
extern Drosa time_cursor[MAX_VOICES];    // each shown voice's node at a time of its system

// ---- List changes ------------------------------------------------------------------------
// Counts the changes that may alter the order of the NOTE, ENDSYST, PARAM and KEYSIG nodes of
// a list, or their kinds, contexts and page or parameter fields (count_list_change,
// voice_lists.h); caches of what the lists hold compare it with the count they were built at.
extern uint64_t list_change_count;
// The part of list_change_count that came from NOTE nodes alone being linked, unlinked or
// changed in place (none freed). A note never is the key signature,
// system break, parameter change or annotation a walk back looks for, so caches of those
// compare changes_beside_notes() and outlive the entry and removal of notes.
extern uint64_t note_change_count;
inline uint64_t changes_beside_notes() { return list_change_count - note_change_count; }
// Links and unlinks of TPARAM and TEXT nodes (annotation texts), which list_change_count does
// not count; a change in place of one counts in list_change_count as for any node.
extern uint64_t text_change_count;
// Nodes whose place in their list a cache keeps, a table per cache and one slot per handle
// modulo the table's size. Linking, unlinking or freeing a node takes it out of every table
// (forget_place), so a cache that takes an answer only for a node still kept never takes it
// from a node that has moved or been reused.
enum KeptPlaceTable { KEPT_KEYSIGS, KEPT_DYNAMICS, KEPT_PLACE_TABLES };
inline constexpr uint32_t KEPT_PLACE_SLOTS = 256;
extern Drosa kept_places[KEPT_PLACE_TABLES][KEPT_PLACE_SLOTS];
inline void keep_place(int table, Drosa node) {
  kept_places[table][node.handle() % KEPT_PLACE_SLOTS] = node;
}
inline bool kept_place(int table, Drosa node) {
  return node && kept_places[table][node.handle() % KEPT_PLACE_SLOTS] == node;
}
inline void forget_place(Drosa node) {
  for (auto& table : kept_places) {
    Drosa& slot = table[node.handle() % KEPT_PLACE_SLOTS];
    if (slot == node) slot = NIL;
  }
}

// ---- Undo history ----------------------------------------------------------------------
extern Drosa undo_heads[2];      // oldest node of the undo (0) and redo (1) lists
extern Drosa undo_tails[2];      // newest node of each list
extern int32_t undo_list_index;  // the list new records go to: 0, or 1 while an Undo replays
// Nodes held by the undo and redo lists; the node store counts them as free.
extern int32_t undo_node_count;
extern bool undo_replaying;      // set while undo_redo replays: the redo list is not cleared
extern int32_t undo_busy;        // primitives at work on the histories: no step may be reclaimed
extern int32_t undo_unrecorded;  // the program's own changes under way: none is recorded

// ---- Replace primitives -----------------------------------------------------------------
// Tick at which "Unable to make a rest of right length to fill time gap." was last shown.
extern uint32_t last_rest_failure_tick;
extern int32_t empty_measure_found;  // set when a delete would leave a measure without a note

// ---- Change flags ----------------------------------------------------------------------
extern uint8_t DrosaDirty;  // bit 0: the piece changed since it was saved;
                            // DIRTY_NEVER_SAVED: new or imported, never saved;
                            // DIRTY_LAYOUT: formatting changed it (systems cut to fit)
inline constexpr uint8_t DIRTY_CHANGED = 0x01;
inline constexpr uint8_t DIRTY_NEVER_SAVED = 0x02;
inline constexpr uint8_t DIRTY_LAYOUT = 0x04;
extern int32_t view_change_current;  // views of the current context need reformatting
extern int32_t view_change_other;    // views of other contexts need reformatting
extern int32_t current_page;         // page shown in the current view, from 1

// ---- Notation contexts -----------------------------------------------------------------
inline constexpr int MAX_NCONTEXTS = 65;
inline constexpr int NCONTEXT_NAME_SIZE = 16;  // a name of at most 15 characters and a NUL
extern int16_t current_ncontext;               // notation context in force; 1 is the Score
extern int16_t ncontext_count;                 // contexts 1 .. ncontext_count exist
extern char ncontext_name[MAX_NCONTEXTS + 1][NCONTEXT_NAME_SIZE];  // by context number from 1
inline constexpr int OPTIONS_SIZE = 102;       // options_struct of a context, big-endian
inline constexpr int PRINT_RECORD_SIZE = 144;  // print_record (page setup) of a context
extern uint8_t options_struct[MAX_NCONTEXTS + 1][OPTIONS_SIZE];     // by context from 1
extern uint8_t print_record[MAX_NCONTEXTS + 1][PRINT_RECORD_SIZE];  // by context from 1
struct Dialog;
struct ListBox;
extern Dialog* dialog_ncontext;        // the notation-context dialog while it is open; else nullptr
extern ListBox* parts_list_handle;     // its list of parts while it is open
extern ListBox* contexts_list_handle;  // its list of contexts while it is open
// The current context has just been made or has just received its first parts: its systems
// must be built before the notation-context dialog leaves it.
extern int32_t systems_pending;
extern ListBox* choose_contexts_list;  // the choose-contexts dialog's list while it is open

// ---- The Parts and Voices dialog (while it is open) ----------------------------------------
extern Drosa staff_list_head;   // its staff records (VOICES nodes) in list order; else NIL
extern ListBox* staff_list;     // the list box that shows them
extern int32_t voices_removed;  // a voice with a staff was removed while it was open
extern int32_t voices_added;    // a part or voice was added while it was open

// ---- The piece file -----------------------------------------------------------------------
inline constexpr int PERF_DEFAULTS_SIZE = 334;     // playback, tuning and notehead-colour record
extern uint8_t perf_defaults[PERF_DEFAULTS_SIZE];  // big-endian, as the piece file holds it
extern int16_t requested_page;  // page to show when the piece is next prepared; 0 or too big: 1
// Path of the current piece's file. A name (the part after the last '/') beginning with ':'
// marks an untitled piece that has no file of its own yet.
extern std::string piece_fsspec;
extern int16_t header_length;      // header bytes after the length field, of the file at hand
extern int32_t header_bytes_done;  // header bytes read or written so far; -4 before the version

// ---- Debug dumps -------------------------------------------------------------------------
extern std::FILE* debug_stream;    // where dumps go; nullptr until the first write
extern int32_t debug_last_choice;  // the number last chosen in the dump chooser
extern bool stop_in_relocate;      // the justification stops at its debugging point
extern bool skip_relocate;         // the justification is skipped
extern bool dump_springs_next;     // the next justification dumps its springs
extern bool record_transcribe;     // recording writes what it transcribes

// ---- Reports and lists shared by dialogs --------------------------------------------
inline constexpr int REPORT_TEXT_SIZE = 512;   // a report is at most 511 characters
extern char message_buffer[REPORT_TEXT_SIZE];  // callers format a text here before handing it on
extern int16_t
    part_first_voices[MAX_VOICES];      // first voice of each part, from list_part_first_voices
extern int16_t part_first_voice_count;  // how many of part_first_voices are filled

// Puts every model global back to its state before start-up and releases the node blocks,
// so that VeskMemory_Init can run again (tests start each case from here).
void reset_model_globals();
