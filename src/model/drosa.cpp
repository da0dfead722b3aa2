// drosa.cpp: the node store.
//
// All nodes come from blocks of 1,048,480 bytes committed in one reservation of address
// space, each at its handle's place (drosa_node_base); a block is never given back. Free nodes form
// one doubly linked list, used last in, first out: a take unlinks the head, a return pushes onto
// it. A new block is built from its highest node down, so the highest node of the newest block is
// the next one taken.
//
// Invariants:
//  - a free node has xkind FREE and xcontext 0, and lies on the free list exactly once (the
//    lowest nodes of a block hold nothing until the free list reaches them: see built_from);
//  - freeCount is the length of the free list, total_Drosa_count the nodes of all blocks;
//  - after a take, the store holds more than DROSA_LOW_WATER free nodes unless the system
//    refused to grow it.
#include "model/drosa.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <execinfo.h>

#include "model/debug_dump.h"
#include "model/error_report.h"
#include "model/file_errors.h"
#include "model/model_globals.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "model/undo.h"
#include "platform/memory.h"
#include "platform/ticks.h"

#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(undefined_behavior_sanitizer)
#define VESK_SANITIZER_RUNTIME 1
#endif
#endif
#if !defined(VESK_SANITIZER_RUNTIME) && defined(__SANITIZE_ADDRESS__)
#define VESK_SANITIZER_RUNTIME 1
#endif
#ifdef VESK_SANITIZER_RUNTIME
#include <sanitizer/common_interface_defs.h>
#endif

namespace {

constexpr uintptr_t ALIGN = DROSA_NODE_SIZE;
constexpr int LEAK_ALERTS = 8;  // leaked nodes listed in alerts; the rest go to the debug stream
constexpr uint32_t LEAK_RECHECK_TICKS = 333;  // wait for late returns before reporting a leak

// Per block, how many of its lowest nodes were never taken since it was built: they are free,
// and still linked to one another as built (each to the one below it), which is the order
// order_free_nodes gives them; only the highest one's link back and the lowest one's link on
// may have changed. A take lowers it to the node taken when that lies below it.
uint32_t never_taken[DROSA_MAX_BLOCKS + 1];

// Per block, the lowest of its nodes whose links are written, but for the lowest node, written
// at once. A block's nodes are linked in turns of BUILD_TURN from the highest down, as the free
// list reaches them: a print takes a few thousand nodes of the first block's 16,381, and the
// pages of the others are never touched. The nodes not yet built are never taken: the free
// list's head is always built, and so is the highest of the nodes never taken.
uint32_t built_from[DROSA_MAX_BLOCKS + 1];
constexpr uint32_t BUILD_TURN = 512;  // 32 KB of nodes

Drosa handle_of(uint32_t block, uint32_t index) {
  return Drosa((block << DROSA_INDEX_BITS) | index);
}

uint32_t nodes_in_block(uint32_t block) {
  return block == 1 ? uint32_t(first_block_nodes) : uint32_t(DROSA_GROWTH_NODES);
}

// Writes the links of a block's nodes from `from` up to the lowest built one, each free and
// linked to the one below it, as the whole block was built at first.
void build_nodes(uint32_t block, uint32_t from) {
  const uint32_t end = built_from[block];
  if (from < 1) from = 1;  // the lowest node is built with the block
  if (from >= end) return;
  for (uint32_t i = end - 1;; --i) {
    DrosaNode* node = drosa_block_base[block] + i;
    node->xkind = FREE;
    node->xcontext = 0;
    node->xnext = handle_of(block, i - 1);
    node->xback = handle_of(block, i + 1);
    if (i == from) break;
  }
  built_from[block] = from;
}

// True when the links of the node a link names are not written yet.
bool is_unbuilt(Drosa node) {
  const uint32_t index = node.handle() & DROSA_INDEX_MASK;
  return index < built_from[node.handle() >> DROSA_INDEX_BITS] && index > 0;
}

// The node a link names is built, with a turn of the nodes below it.
void build_up_to(Drosa node) {
  if (!is_unbuilt(node)) return;
  const uint32_t index = node.handle() & DROSA_INDEX_MASK;
  build_nodes(node.handle() >> DROSA_INDEX_BITS,
              index + 1 > BUILD_TURN ? index + 1 - BUILD_TURN : 1);
}

// Builds the nodes of a new block from the highest down, in front of the free list, and
// returns how many it made. The first block uses all of its aligned bytes; later blocks
// always make DROSA_GROWTH_NODES nodes.
int build_block(void* allocation, long size, bool first) {
  uintptr_t raw = reinterpret_cast<uintptr_t>(allocation);
  uintptr_t start = (raw + ALIGN - 1) & ~(ALIGN - 1);
  uintptr_t end = first ? (raw + size) & ~(ALIGN - 1) : start + DROSA_GROWTH_NODES * ALIGN;
  int count = int((end - start) / ALIGN);

  uint32_t block = ++drosa_block_total;
  never_taken[block] = uint32_t(count);
  drosa_block_allocation[block] = allocation;
  drosa_block_base[block] = reinterpret_cast<DrosaNode*>(start);
  if (first) {
    first_block = {start, start, end, long(end - start)};
    first_block_nodes = count;
  }
  // A node's payload is cleared when it is taken (newDrosa) and its links are written as the
  // free list reaches it (build_nodes): the block's megabyte is not cleared first. The highest
  // node and the lowest, which links to the list before, are built now.
  Drosa old_head = first ? NIL : freeHead;
  DrosaNode* lowest_node = drosa_block_base[block];
  lowest_node->xkind = FREE;
  lowest_node->xcontext = 0;
  lowest_node->xnext = old_head;
  lowest_node->xback = count > 1 ? handle_of(block, 1) : NIL;
  built_from[block] = uint32_t(count);
  build_nodes(block, uint32_t(count) > BUILD_TURN ? uint32_t(count) - BUILD_TURN : 1);
  if (count > 1) drosa_block_base[block][count - 1].xback = NIL;
  Drosa lowest = handle_of(block, 0);
  if (old_head) old_head->xback = lowest;
  freeHead = handle_of(block, count - 1);
  if (first) {
    freeTail = lowest;
    freeCount = total_Drosa_count = count;
  } else {
    freeCount += count;
    total_Drosa_count += count;
  }
  return count;
}

// The reservation, made with the first block: room up to the memory limit, else (a process
// limited to less address space) half as much again and again, down to one block.
void* reserve_store() {
  for (uint32_t blocks = DROSA_RESERVED_BLOCKS;; blocks /= 2) {
    if (void* at = platform_reserve(drosa_reservation_bytes(blocks))) {
      drosa_reserved_blocks = blocks;
      return at;
    }
    if (blocks == 1) return nullptr;
  }
}

// The room of the next block in the reservation, committed for `size` bytes (at most a block's
// span). nullptr when the system refuses.
void* commit_next_block(long size) {
  if (!drosa_reservation) {
    drosa_reservation = reserve_store();
    if (!drosa_reservation) return nullptr;
    drosa_node_base = reinterpret_cast<uintptr_t>(drosa_reservation);
  }
  const uint32_t block = drosa_block_total + 1;
  if (block > drosa_reserved_blocks || size > DROSA_BLOCK_SPAN) return nullptr;
  void* at = reinterpret_cast<void*>(drosa_node_base + uintptr_t(block) * DROSA_BLOCK_SPAN);
  return platform_commit(at, size) ? at : nullptr;
}

// Adds one block to the store; false when the system refuses the memory.
bool grow_store() {
  if (drosa_block_total >= DROSA_MAX_BLOCKS) return false;
  void* allocation = commit_next_block(DROSA_BLOCK_REQUEST);
  if (!allocation) return false;
  build_block(allocation, DROSA_BLOCK_REQUEST, false);
  return true;
}

Drosa make_template(int kind) { return newDrosa(kind, 0); }

void make_templates() {
  line_template = make_template(LINE);
  line_template->set(xfattermid, 1);  // the two highest bits of the byte before the width
  line_template->set(xline_fromstaff, 1);
  line_template->set(xlinewidth, 2);

  print_template = make_template(PRINT);
  print_template->set(xsstaff, int16_t(-1));
  print_template->set(xslines, int16_t(5));

  beaming_head = make_template(BEAMING);
  beaming_head->set(xsbvalue, 8192);
  beaming_head->set(xbvalue, 0, 16384);

  current_note_template = make_template(NOTE);
  current_note_template->set(xlgval, 4);
  current_note_template->set(xtupl, 1);
  current_note_template->set(xintimeof, 4);
  current_note_template->set(xdir, 3);
  current_note_template->set(xvolume, 100);

  text_template = make_template(TPARAM);
  text_template->set(xtextx, 0);
  text_template->set(xtexty, -16);
}

int32_t chain_length(Drosa first) {
  int32_t n = 0;
  for (Drosa p = first; p; p = p->xnext) ++n;
  return n;
}

// One line of the leak listing for a live node, built in turns so that each turn appends
// to the text of the one before.
void describe_live_node(Drosa node, char* line, size_t size) {
  char before[REPORT_TEXT_SIZE];
  std::snprintf(line, size, "Here is a non-FREE node at %p (number %ld): %s",
                static_cast<void*>(node.address()), long(drosa_index_of(node)),
                node_kind_name(node));
  if (node->xkind == NOTE) {
    Drosa next = node->xnext;
    std::snprintf(before, sizeof before, "%s", line);
    std::snprintf(line, size, "%s m7 %d res %d nxt %p", before, int(node->get(xmod7)),
                  int(node->get(xrest)), next ? static_cast<void*>(next.address()) : nullptr);
    if (next) {
      std::snprintf(before, sizeof before, "%s", line);
      std::snprintf(line, size, "%s voc %d", before, int(node->get(xvoice)));
    }
  } else if (node->xkind == TEXT) {
    char text[22];  // the node's 21 characters, terminated here rather than in the node
    std::memcpy(text, node->bytes() + DROSA_PAYLOAD_OFFSET, 21);
    text[21] = 0;
    std::snprintf(before, sizeof before, "%s", line);
    std::snprintf(line, size, "%s %s", before, text);
  }
}

}  // namespace

bool drosa_handle_valid(Drosa node) {
  uint32_t block = node.handle() >> DROSA_INDEX_BITS;
  if (block < 1 || block > drosa_block_total) return false;
  return (node.handle() & DROSA_INDEX_MASK) < nodes_in_block(block);
}

int drosa_block_of(Drosa node) { return int(node.handle() >> DROSA_INDEX_BITS) - 1; }

int drosa_index_of(Drosa node) { return int(node.handle() & DROSA_INDEX_MASK); }

void VeskMemory_Init() {
  if (drosa_block_total != 0) {
    REPORT_ERROR(4, "VeskMemory_Init called twice");
    return;
  }
  void* allocation = commit_next_block(first_block.size);
  // Without its first block the program cannot hold a piece at all.
  if (!allocation) REPORT_ERROR(3, "VeskMemory allocation fails in Drosa.");
  build_block(allocation, first_block.size, true);
  if (total_Drosa_count != freeCount)
    REPORT_ERROR(4, "VeskMemory_Init logic error: total_Drosa_count %ld, freeCount %ld",
                 long(total_Drosa_count), long(freeCount));
  make_templates();
  model_hooks.anno_set_class(5, 1, 50, text_template, 0);
  GE_head = old_GE_head = GE_tail = NIL;
  GE_list_complete = 0;
}

namespace {

// The rare ends of a take, kept out of line so that a take saves few registers.
// An empty list is possible only after the system refused to grow the store: try once more,
// and end the program rather than hand out NIL.
[[gnu::noinline]] Drosa take_from_empty_store(int kind, int context) {
  if (!grow_store()) REPORT_ERROR(3, "ERROR - VESK IS OUT OF MEMORY FOR DROSA NODES.");
  return newDrosa(kind, context);
}

// The free nodes an edit may take before the store must grow: kept free before each command
// that changes the piece, so that no change stops halfway for want of nodes.
constexpr int32_t EDIT_RESERVE = 4096;

// After a take: the new head of the free list built, and the store refilled when it is low.
[[gnu::noinline]] void settle_after_take() {
  if (freeHead) {
    build_up_to(freeHead);
    freeHead->xback = NIL;
  }
  if (freeCount > DROSA_LOW_WATER) return;
  reclaim_undo_nodes();
  if (freeCount > DROSA_LOW_WATER) return;
  grow_store();  // a refusal is silent: the remaining free nodes serve until it succeeds
}

}  // namespace

int room_for_edit() {
  if (freeCount > EDIT_RESERVE) return 1;
  grow_store();
  // Old undo steps go before the change is refused.
  while (freeCount <= EDIT_RESERVE && (undo_heads[0] || undo_heads[1])) {
    const int32_t held = undo_node_count;
    reclaim_undo_nodes();
    if (undo_node_count == held) break;
  }
  if (freeCount > EDIT_RESERVE) return 1;
  REPORT_ERROR(2, "%s",
               "Vesk is out of memory for this piece, so it cannot make this change; the piece "
               "is as it was. Save it, then close other pieces to make room.");
  return 0;
}

Drosa newDrosa(int kind, int context) {
  if (!freeHead) [[unlikely]]
    return take_from_empty_store(kind, context);

  --freeCount;
  Drosa node = freeHead;
  DrosaNode* p = node.address();
  const uint32_t taken_block = node.handle() >> DROSA_INDEX_BITS,
                 taken_index = node.handle() & DROSA_INDEX_MASK;
  if (taken_index < never_taken[taken_block]) never_taken[taken_block] = taken_index;
  const Drosa next = p->xnext;
  freeHead = next;
  p->xnext = p->xback = NIL;
  p->xcontext = int8_t(context);
  p->xkind = uint8_t(kind);
  std::memset(p->payload, 0, sizeof p->payload);
  if (kind == SDRAG) ++staff_drag_nodes;
  if (kind == NEST) ++nest_nodes;

  if (!next || is_unbuilt(next) || freeCount <= DROSA_LOW_WATER) [[unlikely]]
    settle_after_take();
  else
    next->xback = NIL;
  return node;
}

void destroyDrosa(Drosa node) {
  if (!node) {
    REPORT_ERROR(4, "destroyDrosa(NIL)!!");
    return;
  }
  DrosaNode* p = node.address();
  if (p->xkind == FREE) {
    REPORT_ERROR(4, "destroyDrosa called for a FREE node!!");
    return;
  }
  forget_place(node);  // its handle may come back elsewhere
  if (p->xkind == SDRAG) --staff_drag_nodes;
  if (p->xkind == NEST) --nest_nodes;
  p->xkind = FREE;
  p->xcontext = 0;
  p->xnext = freeHead;
  p->xback = NIL;
  if (freeHead) freeHead->xback = node;
  freeHead = node;
  ++freeCount;
}

int32_t destroy_Drosa_list(Drosa first) {
  if (!first) return 0;
  ++list_change_count;  // nodes a cache may name are freed
  if (Drosa before = first->xback) {
    before->xnext = NIL;
    first->xback = NIL;
  }
  int32_t count = 0;
  Drosa last = NIL;
  for (Drosa p = first; p; p = p->xnext) {
    if (p->xkind == FREE) {
      REPORT_ERROR(4, "destroy_Drosa_list called for a FREE node!!");
      break;
    }
    if (p->xkind == SDRAG) --staff_drag_nodes;
    if (p->xkind == NEST) --nest_nodes;
    p->xkind = FREE;
    p->xcontext = 0;
    ++count;
    last = p;
  }
  if (!last) return 0;  // the chain began with a free node: nothing to return
  // The nodes before a free node are returned; the free node and what follows are left alone.
  last->xnext = freeHead;
  if (freeHead) freeHead->xback = last;
  freeHead = first;
  freeCount += count;
  return count;
}

void drosa_build_free_nodes() {
  for (uint32_t block = 1; block <= drosa_block_total; ++block) build_nodes(block, 1);
}

void order_free_nodes() {
  // A count that differs means a free node off the list or a listed node in use: the list
  // is left as it was rather than changed on a guess. The nodes never taken are free.
  long count = 0;
  for (uint32_t block = 1; block <= drosa_block_total; ++block) {
    count += never_taken[block];
    for (uint32_t i = never_taken[block]; i < nodes_in_block(block); ++i)
      if (drosa_block_base[block][i].xkind == FREE) ++count;
  }
  if (count != long(freeCount)) {
    REPORT_ERROR(4, "order_free_nodes: %ld free nodes in the blocks, %ld on the free list", count,
                 long(freeCount));
    return;
  }
  // Every block from its lowest node up, each free node put in front: the list is then taken
  // as new blocks are, the newest block first and each from its highest node down. The nodes
  // never taken are linked so already: only the ends of their run are set.
  Drosa head = NIL, far_end = NIL;
  for (uint32_t block = 1; block <= drosa_block_total; ++block) {
    if (const uint32_t run = never_taken[block]) {
      const Drosa lowest = handle_of(block, 0), highest = handle_of(block, run - 1);
      build_up_to(highest);
      lowest->xnext = head;
      if (head) head->xback = lowest;
      highest->xback = NIL;
      if (!far_end) far_end = lowest;
      head = highest;
    }
    for (uint32_t i = never_taken[block]; i < nodes_in_block(block); ++i) {
      DrosaNode* node = drosa_block_base[block] + i;
      if (node->xkind != FREE) continue;
      const Drosa handle = handle_of(block, i);
      node->xnext = head;
      node->xback = NIL;
      if (head) head->xback = handle;
      if (!far_end) far_end = handle;
      head = handle;
    }
  }
  freeHead = head;
  freeTail = far_end;
}

Drosa copyDrosa(Drosa node) {
  Drosa copy = newDrosa(node->xkind, node->xcontext);
  std::memcpy(copy->payload, node->payload, DROSA_PAYLOAD_SIZE);
  return copy;
}

int same_Drosa(Drosa a, Drosa b) {
  if (effective_kind(a) != effective_kind(b)) return 0;
  return std::memcmp(a->payload, b->payload, DROSA_PAYLOAD_SIZE) == 0 ? 1 : 0;
}

int32_t memory_use_percent(int32_t* limit) {
  if (limit) *limit = int32_t(DROSA_MEMORY_LIMIT);
  int64_t used = (int64_t(total_Drosa_count) - freeCount - undo_node_count) * DROSA_NODE_SIZE;
  return int32_t(used * 100 / DROSA_MEMORY_LIMIT);
}

namespace {

// The first frame of the stack outside the node store's own files, as "in routine
// file:line:column"; empty where the program cannot name its own source lines.
void find_caller(char* caller, size_t size) {
  caller[0] = 0;
#ifdef VESK_SANITIZER_RUNTIME
  void* frames[32];
  int count = backtrace(frames, 32);
  for (int i = 1; i < count; ++i) {
    // One pc may stand for several inlined routines: NUL-separated, ended by an empty one.
    char text[2048] = {};
    __sanitizer_symbolize_pc(static_cast<char*>(frames[i]) - 1, "%F %S", text, sizeof text - 1);
    for (const char* frame = text; *frame; frame += std::strlen(frame) + 1)
      if (!std::strstr(frame, "model/drosa.")) {
        std::snprintf(caller, size, "%s", frame);
        return;
      }
  }
#else
  (void)size;
#endif
}

}  // namespace

void drosa_link_fault(uint32_t handle, const char* access) {
  char caller[1024];
  find_caller(caller, sizeof caller);
  std::fprintf(stderr, "Drosa link fault: %s through %s (handle 0x%08" PRIx32 ")%s%s\n", access,
               handle ? "a handle that names no node" : "NIL", handle, caller[0] ? " " : "",
               caller);
#ifdef VESK_SANITIZER_RUNTIME
  __sanitizer_print_stack_trace();
#else
  void* frames[64];
  backtrace_symbols_fd(frames, backtrace(frames, 64), 2);
#endif
  std::abort();
}

void* NewPtr_or_alert(long size) {
  void* p = platform_allocate(size);
  if (!p) out_of_memory_alert();
  return p;
}

void CheckfreeDrosa() {
  Drosa clipboard_list = model_hooks.clipboard_list();
  if (model_hooks.clipboard_kind() == 0 && clipboard_list)
    REPORT_ERROR(4, "Your paste_type is NO_PASTE, but paste_list is %lx!!!",
                 static_cast<unsigned long>(clipboard_list.handle()));
  int32_t in_clipboard = chain_length(clipboard_list);
  int32_t permanent = spacc_template ? 6 : 5;
  // A stopped play's queue still sends its last note-offs: its nodes are not lost.
  model_hooks.release_play_nodes();
  auto balanced = [&] {
    return freeCount ==
           total_Drosa_count - permanent - in_clipboard - model_hooks.play_queue_count();
  };
  if (balanced()) return;
  // Playback may still be returning its queue: give it time before calling it a leak.
  platform_delay_ticks(LEAK_RECHECK_TICKS);
  if (balanced()) return;

  long used = long(total_Drosa_count) - freeCount;
  long alerts = (used < LEAK_ALERTS ? used : LEAK_ALERTS) + 3;
  REPORT_ERROR(
      4, "CheckfreeDrosa: %ld nodes used; expected %hd; total %ld. Press RETURN %ld more times.",
      used, short(permanent + in_clipboard), long(total_Drosa_count), alerts);
  drosa_build_free_nodes();  // the free list is walked
  REPORT_ERROR(4, "%s: total_Drosa_count %ld; freeCount %ld; actual free %ld", "CheckfreeDrosa",
               long(total_Drosa_count), long(freeCount), long(chain_length(freeHead)));
  REPORT_ERROR(4, "CheckfreeDrosa: undo %ld paste_count %hd paste_ptr %lx paste_list %lx.",
               long(undo_node_count), short(in_clipboard), 0ul,
               static_cast<unsigned long>(clipboard_list.handle()));

  // List the live nodes of every block: the first few as alerts, the rest on the debug stream.
  long listed = 0;
  for (uint32_t block = 1; block <= drosa_block_total; ++block) {
    for (uint32_t i = never_taken[block]; i < nodes_in_block(block); ++i) {
      Drosa node = handle_of(block, i);
      if (node->xkind == FREE) continue;
      describe_live_node(node, message_buffer, sizeof message_buffer);
      if (listed++ < LEAK_ALERTS) {
        REPORT_ERROR(4, "%s", message_buffer);
      } else {
        debug_out(message_buffer);
        debug_out("\n");
      }
    }
  }
}
