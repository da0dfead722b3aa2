// param_lookup.h: engraving parameter values in force at a node of the piece, the PARAM
// nodes that change them, and the staff sizes with which a looked-up length is scaled.
#pragma once

#include <cstdint>
#include <cstring>

#include "model/model_services.h"
#include "params/param_table.h"

struct StaffData;

// clang-format off
// ---- PARAM: a change of one engraving parameter from the next note on ------------------
// Link to the next older PARAM of the same voice in its page list (page_param_lists); only
// meaningful after the page locator has run.
inline constexpr LinkField xprev_param{"xprev_param", PARAM, 10};
inline constexpr auto xparam_index = word_field<int16_t>("xparam_index", PARAM, 14);   // pindex, 1..753
inline constexpr auto xparam_small = bit_field("xparam_small", PARAM, 16, 7, 7);       // 1: the small-notes value
inline constexpr auto xparam_stsize = word_field<int16_t>("xparam_stsize", PARAM, 32); // reference staff size; -1 negate, 0 unscaled
// clang-format on

// The scalar PARAM fields above, for checks and for finding a field by its name.
extern const NodeField* const param_node_fields[];
extern const int param_node_field_count;

// xparam_value: the new value, 14 bytes at node bytes 18-31, laid out by the parameter's type.
inline constexpr int XPARAM_VALUE_OFFSET = 18;

inline const ParamValue* xparam_value_ptr(Drosa node) {
  return reinterpret_cast<const ParamValue*>(node->bytes() + XPARAM_VALUE_OFFSET);
}
inline ParamValue get_xparam_value(Drosa node) {
  ParamValue v;
  std::memcpy(v.bytes, node->bytes() + XPARAM_VALUE_OFFSET, PARAM_VALUE_SIZE);
  return v;
}
inline void set_xparam_value(Drosa node, const ParamValue& v) {
  std::memcpy(node->bytes() + XPARAM_VALUE_OFFSET, v.bytes, PARAM_VALUE_SIZE);
}

// ---- Lookup -------------------------------------------------------------------------------
// param_value: the value of parameter pindex in force at node (any node of a voice list, or
// NIL) or, with no node, at the start of staff's layer-0 print chain. Small (cue and grace)
// notes take the small-notes value of pair parameters. A node that is not a NOTE takes the
// value in force at the next NOTE or ENDSYST after it (the end of the piece: the last value).
// Reads:  param, current_ncontext, page_param_lists, the ENDSYST voice byte (xsys_voice),
//         the node's NTDATA (xstsize), staff->staff_size and ppnt[0]; insertion_point only
//         for a node of a chain that is no voice list.
// Writes: param_ref_size, param_cur_size, the lookup's index (param_index.h). The result
//         points into the table or into a PARAM node: it must not be kept across edits.
// Failure: a pindex outside 1..753 is reported (level 4) and gives slot 0's empty value.
const ParamValue* param_value(int pindex, Drosa node, const StaffData* staff);

// param_value_variant: param_value with the variant chosen by the caller rather than by the
// node's cue and grace flags: small non-zero takes the small-notes value of a pair parameter
// (a single parameter has only its normal value). The parameter editor asks this way, so that
// it never has to change the note it shows the values at.
// Reads, Writes and Failure: as param_value (no staff).
const ParamValue* param_value_variant(int pindex, Drosa node, int small);

// The length v of parameter pindex scaled by the sizes of the last lookup: a single
// coordinate (type 4) is never scaled; reference size 0 leaves v; -1 gives -(v x current);
// otherwise v x current / reference, truncated toward zero.
int32_t scale_param_length(int pindex, int32_t value);

// The integer or coordinate value in force at the node, scaled as scale_param_length does.
int32_t param_length(int pindex, Drosa node, const StaffData* staff = nullptr);
// param_length with the staff record of pstaff; none for a pstaff outside the table.
int32_t param_length_at_staff(int pindex, Drosa node, int pstaff);

// Non-zero when the parameter has been changed anywhere in the piece (0 outside 1..753).
int param_changed(int pindex);

// The value of a float parameter in force at the node.
double param_float_value(int pindex, Drosa node);

// ---- Changing -----------------------------------------------------------------------------
// True when the two values are equal in every byte but byte 5 (a character's code).
bool same_param_value(ParamValue a, ParamValue b);

// check_and_insert_param: links a copy of the PARAM node templ directly before at, after
// removing the changes of the same parameter and variant attached before the note at or
// after at. Not recorded for undo.
// Reads:  current_ncontext.
// Writes: the voice list of at, param[].changed, the parameter annotations before the note,
//         the change flags (mark_piece_changed).
// Failure: level 4 "Not a PARAM node for check_and_insert_param!" (also for a parameter
//         number outside 1..753) and "At end of piece for check_and_insert_param!" (also for
//         no node or a list head); the piece is left unchanged.
void check_and_insert_param(Drosa at, Drosa templ);

// rebuild_param_nodes: after a piece is read or its voice lists are replaced, makes every
// voice's PARAM nodes again from their "param " texts (of every notation context) and sets
// the changed flag of every parameter that has a PARAM node anywhere, so that a change made
// on an earlier page is in force on every later page before any page has been formatted.
// Reads:  voice_count, piece_start.
// Writes: the PARAM nodes of every voice (through param_annos_to_nodes: a PARAM node before
//         a note without a text goes), param[].changed.
// Failure: none.
void rebuild_param_nodes();
