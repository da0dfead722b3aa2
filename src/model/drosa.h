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

#include "model/model_services.h"

struct DrosaNode;

template <typename T>
struct Field;
template <typename T>
struct ArrayField;
struct TextField;
struct LinkField;

// ---- The node store -------------------------------------------------------------------

// The leak check run when a piece closes and a view opens.
void CheckfreeDrosa();

// Links the free list again in the order of the nodes in memory, as the blocks were built:
// after many nodes were taken and returned in turn, the nodes taken one after another lie
// scattered over the blocks, and every walk of the lists made of them is slower for it.
// Reads and writes: the free list (freeHead, freeTail); the free nodes' links. Failure:
// level 4 "order_free_nodes: %ld free nodes in the blocks, %ld on the free list", the list
// left as it was.
void order_free_nodes();

// The block number (0 = first block) and index within it of a valid node.
int drosa_block_of(Drosa node);
int drosa_index_of(Drosa node);
