// voice_lists.h: voice lists as the current notation context sees them: the walks that find
// nodes forward and backward, the link primitives, and small predicates on nodes and voices.
//
// A walk never tests its start node. At each node it first tests for a match, then for a
// stop. Walks given NIL return NIL.
#pragma once

#include <cstdint>
#include <string>

#include "model/drosa.h"

// ---- Search walks (kinds are compared as each node's effective kind) -------------------
// Backward; gives up at a visible ENDSYST that starts the piece, or the list's start.
Drosa find_prev_kind(int kind, Drosa node);
// Backward; also gives up at a node of kind stop1 or stop2.
Drosa find_prev_kind_until(int kind, Drosa node, int stop1, int stop2);
// Backward by xkind, seeing every context; gives up at the list's start.
Drosa find_prev_kind_raw(int kind, Drosa node);
// Forward to the list's end.
Drosa find_next_kind(int kind, Drosa node);
// Forward; also gives up at a node of kind stop1 or stop2.
Drosa find_next_kind_until(int kind, Drosa node, int stop1, int stop2);
// Backward among the nodes attached before a note: stops at any NOTE, a visible ENDSYST, a
// node of kind stop, or the list's start. `_stop` gives the match farthest back, `_stop_2`
// the nearest.
Drosa find_prev_kind_stop(int kind, Drosa node, int stop);
Drosa find_prev_kind_stop_2(int kind, Drosa node, int stop);
// Forward to the next NOTE or visible ENDSYST (how a note's NTDATA is found).
Drosa find_next_kind_before_note(int kind, Drosa node);
// Forward to the next NOTE or visible ENDSYST, for a node of xkind `kind` that belongs to
// another notation context (unseen here); NA never matches.
Drosa node_kind_between(int kind, Drosa node);

// ---- Counting list changes ---------------------------------------------------------------
// Every link primitive here, the undo primitives and the freeing of whole chains count their
// change in list_change_count when it may move, add or remove a NOTE, ENDSYST, PARAM or KEYSIG
// node, and in text_change_count when it moves a TPARAM or TEXT (count_chain_change for a
// chain linked or unlinked, first..last, last NIL to its end: NOTE nodes alone also count in
// note_change_count); every node counted is taken out of the kept places. Code that changes the
// kind, context, page flags (xendpage, xstartpiece) or parameter fields (xparam_index,
// xparam_small) of such a node while it is linked counts the change itself with count_list_change,
// which never counts as notes alone.
void count_list_change(Drosa node);
void count_chain_change(Drosa first, Drosa last);

// ---- Linking -----------------------------------------------------------------------------
// Puts node between anchor and its successor.
void link_after(Drosa node, Drosa anchor);
// Puts the chain first..last (last NIL: to the chain's end) after anchor; returns first.
Drosa link_chain_after(Drosa first, Drosa last, Drosa anchor);
// Unlinks one node and returns it to the store; a chord's last note hands xendvcd to the
// note before it.
void destroy_node(Drosa node);
// Copies source..stop (stop NIL: to the chain's end) after anchor; returns the last copy, or
// anchor when source is NIL.
Drosa copy_node_chain(Drosa source, Drosa stop, Drosa anchor);
// Copies source..stop (stop NIL: to the chain's end) into a new chain linked to nothing;
// returns its first node (NIL for a NIL source) and its last through *last.
Drosa copy_detached_chain(Drosa source, Drosa stop, Drosa* last);
// destroy_node on first..last (last NIL: to the list's end).
void destroy_chain(Drosa first, Drosa last);

// ---- Predicates and small routines -------------------------------------------------------
int is_NOTE(Drosa node);
// 1 when the node's kind is in a set of run-time kinds (subsets 1000 to 1004).
int temp_node(Drosa node, int subset);
int is_TPARAM_with_PDATA(Drosa node);
int is_visible_note(Drosa node);
int is_plotted_note(Drosa node);
int voice_not_shown(int v);
int voice_list_empty(int v);
// Clears the layer chain heads of every pstaff and returns their nodes to the store.
void destroy_pstaff_lists();
const char* ncontext_name_of(int n);
void swap_word(int32_t* a, int32_t* b);

// ---- Strings -------------------------------------------------------------------------------
// Length-prefixed strings: a length byte, then the text.
void pstr_copy(unsigned char* dst, const unsigned char* src);
int pstr_equal(const unsigned char* a, const unsigned char* b);
int pstr_is_relative_path(const unsigned char* s);

enum StringEncoding { ENCODING_MAC_ROMAN, ENCODING_UTF8 };
// A newly allocated (malloc) C string of a UTF-8 text in the encoding; empty when the text
// cannot be converted; nullptr when the allocation fails. The caller frees it.
char* cfstring_to_cstring(const std::string& utf8, StringEncoding encoding);

void set_text_font(int font);
