// drosa.h: the Drosa node, its 32-bit handle, and the node store that hands nodes out.
//
// Every record of a piece in memory is a 64-byte node on a 64-byte boundary: two 32-bit
// links, the kind byte, the context byte and 54 payload bytes. A link is a 32-bit handle,
// not an address: the handle names a block and a node within it, and turns into the node's
// address in constant time. Handle 0 is NIL.
//
// The payload is kept in big-endian byte order, as it is in the piece file, and is read and
// written only through the field accessors of node_fields.h (or the raw byte helpers here).
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

struct DrosaNode;

// Handles: the top 18 bits are the block number + 1, the low 14 bits the node's index in
// its block (a block holds at most 16,382 nodes).
inline constexpr int DROSA_INDEX_BITS = 14;
inline constexpr uint32_t DROSA_INDEX_MASK = (1u << DROSA_INDEX_BITS) - 1;
inline constexpr uint32_t DROSA_MAX_BLOCKS = (1u << (32 - DROSA_INDEX_BITS)) - 1;

// Address of the lowest node of each block, indexed by block number + 1 (entry 0 unused);
// nullptr for a block that does not exist. Owned by the node store.
extern DrosaNode* drosa_block_base[DROSA_MAX_BLOCKS + 1];

// Reaching a node through a link that names none (NIL, or a handle of no block) is a fault
// of the caller. Debug and sanitizer builds check every -> and * and stop there, naming the
// handle and the caller (drosa_link_fault). Release builds do not check: such an access reads
// or writes near address 0 and the program crashes there.
#if !defined(NDEBUG) || defined(VESK_CHECKED_LINKS)
inline constexpr bool DROSA_CHECKED_LINKS = true;
#else
inline constexpr bool DROSA_CHECKED_LINKS = false;
#endif

// Reports an access (access: "->" or "*") through a handle that names no node, with the
// caller and the stack, and ends the program.
[[noreturn]] void drosa_link_fault(uint32_t handle, const char* access);

// A link to a node: behaves like a pointer to it (->, *, tests against NIL).
class Drosa {
 public:
  constexpr Drosa() = default;
  constexpr explicit Drosa(uint32_t handle) : handle_(handle) {}

  DrosaNode* operator->() const { return checked_address("->"); }
  DrosaNode& operator*() const { return *checked_address("*"); }
  constexpr explicit operator bool() const { return handle_ != 0; }
  constexpr uint32_t handle() const { return handle_; }
  friend constexpr bool operator==(Drosa a, Drosa b) = default;

  inline DrosaNode* address() const;

 private:
  inline DrosaNode* checked_address(const char* access) const;

  uint32_t handle_ = 0;
};

inline constexpr Drosa NIL{};

inline constexpr int DROSA_NODE_SIZE = 64;
inline constexpr int DROSA_PAYLOAD_OFFSET = 10;  // node byte of the first payload byte
inline constexpr int DROSA_PAYLOAD_SIZE = 54;

template <typename T>
struct Field;
template <typename T>
struct ArrayField;
struct TextField;
struct LinkField;

// The node. Node bytes: xnext 0-3, xback 4-7, xkind 8, xcontext 9, payload 10-63.
struct alignas(DROSA_NODE_SIZE) DrosaNode {
  Drosa xnext;      // next node of the list the node is in; NIL at the end
  Drosa xback;      // previous node; NIL at the head
  uint8_t xkind;    // node kind, 76..126
  int8_t xcontext;  // notation context: 0 all, n only context n, -1 all but the Score
  uint8_t payload[DROSA_PAYLOAD_SIZE];

  // The node's 64 bytes, addressed by node byte.
  uint8_t* bytes() { return reinterpret_cast<uint8_t*>(this); }
  const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(this); }

  // Named payload fields, defined with their accessors in node_fields.h.
  template <typename T>
  T get(const Field<T>& field) const;
  template <typename T>
  void set(const Field<T>& field, std::type_identity_t<T> value);
  template <typename T>
  T get(const ArrayField<T>& field, int index) const;
  template <typename T>
  void set(const ArrayField<T>& field, int index, std::type_identity_t<T> value);
  std::string get(const TextField& field) const;
  void set(const TextField& field, const char* text);
  Drosa get(const LinkField& field) const;
  void set(const LinkField& field, Drosa link);
};

inline DrosaNode* Drosa::address() const {
  return drosa_block_base[handle_ >> DROSA_INDEX_BITS] + (handle_ & DROSA_INDEX_MASK);
}

inline DrosaNode* Drosa::checked_address(const char* access) const {
  if constexpr (DROSA_CHECKED_LINKS) {
    constexpr uint32_t most_nodes_in_a_block = 16382;
    if (!drosa_block_base[handle_ >> DROSA_INDEX_BITS] ||
        (handle_ & DROSA_INDEX_MASK) >= most_nodes_in_a_block) [[unlikely]]
      drosa_link_fault(handle_, access);
  }
  return address();
}

static_assert(sizeof(DrosaNode) == DROSA_NODE_SIZE, "a Drosa node is 64 bytes");
static_assert(alignof(DrosaNode) == DROSA_NODE_SIZE, "Drosa nodes lie on 64-byte boundaries");
static_assert(sizeof(Drosa) == 4, "node links are 32 bits");

// ---- The node store -------------------------------------------------------------------

// Makes the first block, the free list and the permanent template nodes; clears the
// graphics-list globals. Called once at start-up.
void VeskMemory_Init();

// A node of the given kind and context, links NIL, payload zero. Never NIL: a store that is
// empty and cannot grow is a fatal report.
Drosa newDrosa(int kind, int context);

// Returns one unlinked node to the store. NIL and an already free node are reported and
// change nothing.
void destroyDrosa(Drosa node);

// Returns the chain from first along xnext to its end, after detaching first from its
// predecessor. NIL does nothing.
void destroy_Drosa_list(Drosa first);

// A new node with node's kind, context and payload; links NIL.
Drosa copyDrosa(Drosa node);

// 1 when both nodes have the same effective kind in the current notation context and the
// same 54 payload bytes; links and xcontext are not compared.
int same_Drosa(Drosa a, Drosa b);

// Percentage of the 2,100,000,000-byte limit used by live nodes (the undo history counts
// as free). When limit is given it receives the limit.
int32_t memory_use_percent(int32_t* limit);

// The leak check run when a piece closes and a view opens.
void CheckfreeDrosa();

// A system allocation; on failure an out-of-memory report and nullptr.
void* NewPtr_or_alert(long size);

// True when handle names a node of an existing block.
bool drosa_handle_valid(Drosa node);

// The block number (0 = first block) and index within it of a valid node.
int drosa_block_of(Drosa node);
int drosa_index_of(Drosa node);
