// voice_lists.h: voice lists as the current notation context sees them: the walks that find
// nodes forward and backward, the link primitives, and small predicates on nodes and voices.
//
// A walk never tests its start node. At each node it first tests for a match, then for a
// stop. Walks given NIL return NIL.
#pragma once

#include <cstdint>
#include <string>

#include "model/drosa.h"
#include "model/model_services.h"

// ---- Search walks (kinds are compared as each node's effective kind) -------------------

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
// which never counts as notes alone (count_list_change, declared in model_services.h).
void count_chain_change(Drosa first, Drosa last);

// ---- Linking -----------------------------------------------------------------------------

// Copies source..stop (stop NIL: to the chain's end) after anchor; returns the last copy, or
// anchor when source is NIL.
Drosa copy_node_chain(Drosa source, Drosa stop, Drosa anchor);

// ---- Predicates and small routines -------------------------------------------------------

int is_TPARAM_with_PDATA(Drosa node);
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
