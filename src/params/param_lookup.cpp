// param_lookup.cpp: the value of an engraving parameter at a point of the piece, and the
// PARAM nodes that change it.
//
// A PARAM node in a voice list changes one parameter (its normal or its small-notes value)
// for the next note and everything after it in the voice, until the next change of the same
// parameter and variant. A lookup walks back from the point to the nearest such change.
//
// Invariants the lookup relies on:
//  1. A slot whose changed flag is 0 has no PARAM node anywhere that the lookup could find,
//     so its default is returned without looking at the piece. Every path that links a
//     PARAM node sets the flag (check_and_insert_param, rebuild_param_nodes, the page
//     locator, the annotation code).
//  2. The backward walk never crosses a page end: an ENDSYST with xendpage that is not the
//     start of the piece carries the voice number (xsys_voice) under which the page locator
//     listed the voice's earlier changes in page_param_lists, newest first.
//  3. Nodes that the current notation context does not see are passed over everywhere.
//  4. Like every list walk, the lookup never tests the node it starts from: a node that is
//     not a NOTE (a clef, a system break, a voice's head) takes the values in force at the
//     next NOTE or ENDSYST after it. A walk that reaches a voice's head ends there; only a
//     chain that is no voice list goes on from the insertion point.
//  5. Within a voice list the walk is answered by the index of param_index.h, which must give
//     exactly what the walk would.
#include "params/param_lookup.h"

#include <vector>

#include "model/model_services.h"
#include "params/param_index.h"
#include "params/params_globals.h"

const NodeField* const param_node_fields[] = {&xparam_index, &xparam_small, &xparam_stsize};
const int param_node_field_count = sizeof param_node_fields / sizeof param_node_fields[0];

namespace {

constexpr int DEFAULT_STAFF_SIZE = 50;

bool is_seen(Drosa node, int kind) { return effective_kind(node) == kind; }

bool valid_pindex(int pindex) { return pindex >= 1 && pindex <= PARAM_LAST; }

// A PARAM node that changes the same parameter and variant.
bool same_change(Drosa node, int pindex, int small) {
  return node->get(xparam_index) == pindex && node->get(xparam_small) == small;
}

const ParamValue* found_change(Drosa node) {
  param_ref_size = node->get(xparam_stsize);
  return xparam_value_ptr(node);
}

// The first note of the staff's layer-0 print chain: the chain successor of its dummy head.
Drosa first_chain_note(const StaffData* staff) {
  Drosa head = staff->ppnt[0];
  if (!head || !head->xnext || head->xnext->xkind != NTDATA) return NIL;
  Drosa first = head->xnext->get(xpnext);
  return is_NOTE(first) ? first : NIL;
}

// The NOTE or seen ENDSYST after the node (the node itself is not tested): a node that is not
// a NOTE takes the values in force at it. NIL when the chain ends first.
Drosa next_note_or_endsyst(Drosa node) {
  for (Drosa p = node->xnext; p; p = p->xnext) {
    if (p->xkind == NOTE || effective_kind(p) == ENDSYST) return p;
  }
  return NIL;
}

// The newest change of the voice's earlier pages; the default when there is none.
const ParamValue* page_list_change(Drosa endsyst, int pindex, int small, const ParamValue* dflt) {
  int voice = endsyst->get(xsys_voice);
  if (voice >= MAX_VOICES) return dflt;
  // A list is our own chain of PARAM nodes; a broken one (a link to no node, or a cycle)
  // must not hang or crash the lookup.
  int32_t steps = 0;
  for (Drosa p = page_param_lists[voice]; p && drosa_handle_valid(p) && steps <= total_Drosa_count;
       p = p->get(xprev_param), ++steps) {
    if (p->xkind == PARAM && same_change(p, pindex, small)) return found_change(p);
  }
  return dflt;
}

// Where a walk ends: the start of the piece gives the default, a page end the page list.
const ParamValue* value_at_stop(Drosa stop, int pindex, int small, const ParamValue* dflt) {
  if (stop->get(xstartpiece)) return dflt;
  return page_list_change(stop, pindex, small, dflt);
}

// The backward walk from p (tested first; NIL when `after`, the node after it, starts its
// chain). Running off the start of a chain that is no voice list, it goes on from the
// insertion point (tested, then the nodes before it), once.
const ParamValue* walk_back(Drosa p, Drosa after, int pindex, int small, const ParamValue* dflt) {
  bool jumped = false;
  for (;; after = p, p = p->xback) {
    if (!p) {
      if (is_voice_head(after) || !insertion_point || jumped) return dflt;
      jumped = true;
      p = insertion_point;
    }
    int kind = effective_kind(p);
    if (kind == PARAM && same_change(p, pindex, small)) return found_change(p);
    if (ends_param_walk(p)) return value_at_stop(p, pindex, small, dflt);
  }
}

// The backward walk from the node before `from`, answered by the index where it can.
const ParamValue* change_before(Drosa from, int pindex, int small, const ParamValue* dflt) {
  Drosa change, stop;
  if (!param_index_in_use() || !param_index_find(from, pindex, small, &change, &stop))
    return walk_back(from->xback, from, pindex, small, dflt);
  if (change) return found_change(change);
  return value_at_stop(stop, pindex, small, dflt);
}

// The walk of a lookup whose parameter has a change somewhere in the piece: from before the
// first note of the staff, before the note, or before the next note or ENDSYST after any other
// node; a chain that ends first is walked from its last node, or from the node before when
// that is the node itself. Kept out of line: most lookups find their parameter unchanged and
// return the default without setting up a walk.
[[gnu::noinline]] const ParamValue* changed_value(int pindex, Drosa node, const StaffData* staff,
                                                  int small, const ParamValue* dflt) {
  Drosa from;
  if (!node) {
    if (!staff) return dflt;
    from = first_chain_note(staff);
    if (!from) return dflt;
  } else if (node->xkind == NOTE) {
    from = node;
  } else {
    from = next_note_or_endsyst(node);
    if (!from) {
      Drosa last = node;
      while (last->xnext) last = last->xnext;
      if (last != node) return walk_back(last, NIL, pindex, small, dflt);
      from = node;
    }
  }
  return change_before(from, pindex, small, dflt);
}

// A parameter number outside the table: reported, with slot 0's empty value and sizes.
[[gnu::noinline]] const ParamValue* unknown_param(int pindex) {
  REPORT_ERROR(4, "param_value: no parameter %d", pindex);
  param_ref_size = 0;
  param_cur_size = DEFAULT_STAFF_SIZE;
  return &param[0].value;
}

// The lookup, with the variant given (0 normal, 1 small notes) or, with -1, taken from the
// node: a cue or grace NOTE takes the small-notes value of a pair parameter. Formatting asks
// it about a million times a page run: it is made in place in each way in.
[[gnu::always_inline]] inline const ParamValue* lookup(int pindex, Drosa node,
                                                       const StaffData* staff, int variant) {
  if (!valid_pindex(pindex)) return unknown_param(pindex);
  const ParamRecord& slot = param[pindex];
  param_ref_size = slot.ref_size;

  int small = 0;
  if (node) {
    const DrosaNode& n = *node;
    if (is_pair_type(slot.type))
      small = variant >= 0 ? variant != 0 : n.xkind == NOTE && (n.get(xcue) || n.get(xgrace));
    Drosa ntdata = n.xnext;
    int32_t note_size = ntdata && is_seen(ntdata, NTDATA) ? ntdata->get(xstsize) : 0;
    param_cur_size = note_size != 0 ? note_size : staff ? staff->staff_size : DEFAULT_STAFF_SIZE;
  } else {
    small = variant > 0 && is_pair_type(slot.type);
    param_cur_size = staff ? staff->staff_size : DEFAULT_STAFF_SIZE;
  }
  const ParamValue* dflt = small ? &slot.small : &slot.value;
  if (!slot.changed) return dflt;
  return changed_value(pindex, node, staff, small, dflt);
}

}  // namespace

const ParamValue* param_value(int pindex, Drosa node, const StaffData* staff) {
  return lookup(pindex, node, staff, -1);
}

const ParamValue* param_value_variant(int pindex, Drosa node, int small) {
  return lookup(pindex, node, nullptr, small ? 1 : 0);
}

ParamWalk::ParamWalk(int first, int second, Drosa start) : params_{first, second} {
  if (start && (ends_param_walk(start) || is_voice_head(start))) stop_ = start;
}

void ParamWalk::pass(Drosa node) {
  if (!stop_) return;
  if (ends_param_walk(node)) {
    *this = ParamWalk(params_[0], params_[1], node);
    return;
  }
  if (!is_seen(node, PARAM)) return;
  const int pindex = node->get(xparam_index);
  for (int i = 0; i < 2; ++i)
    if (pindex == params_[i]) changes_[i][node->get(xparam_small) ? 1 : 0] = node;
}

// As lookup() at a NOTE without a staff, its walk back answered by what the walk passed.
const ParamValue* ParamWalk::value(int pindex, Drosa note) const {
  const int i = pindex == params_[0] ? 0 : pindex == params_[1] ? 1 : -1;
  if (i < 0 || !stop_ || !valid_pindex(pindex) || !note || note->xkind != NOTE)
    return param_value(pindex, note, nullptr);
  const ParamRecord& slot = param[pindex];
  param_ref_size = slot.ref_size;
  const int small = is_pair_type(slot.type) && (note->get(xcue) || note->get(xgrace));
  Drosa ntdata = note->xnext;
  const int32_t note_size = ntdata && is_seen(ntdata, NTDATA) ? ntdata->get(xstsize) : 0;
  param_cur_size = note_size != 0 ? note_size : DEFAULT_STAFF_SIZE;
  const ParamValue* dflt = small ? &slot.small : &slot.value;
  if (!slot.changed) return dflt;
  if (Drosa change = changes_[i][small]) return found_change(change);
  return value_at_stop(stop_, pindex, small, dflt);
}

namespace {

int32_t scaled_length(int pindex, int32_t value, int32_t reference, int32_t current) {
  if (valid_pindex(pindex) && param[pindex].type == PARAM_COORDINATE) return value;
  // At the reference size itself the value stands as it is, without a division.
  if (reference == 0 || (reference == current && reference > 0)) return value;
  // The product is taken in 64 bits so that a large value cannot overflow before dividing.
  int64_t product = int64_t(value) * current;
  if (reference == -1) return int32_t(-product);
  return int32_t(product / reference);
}

}  // namespace

int32_t scale_param_length(int pindex, int32_t value) {
  return scaled_length(pindex, value, param_ref_size, param_cur_size);
}

int32_t page_param_length(int pindex) {
  if (!valid_pindex(pindex)) return param_length(pindex, NIL, nullptr);  // reported there
  const ParamRecord& slot = param[pindex];
  return scaled_length(pindex, slot.value.integer(), slot.ref_size, DEFAULT_STAFF_SIZE);
}

int32_t param_length(int pindex, Drosa node, const StaffData* staff) {
  int32_t value = lookup(pindex, node, staff, -1)->integer();
  return scale_param_length(pindex, value);
}

int32_t param_length_at_staff(int pindex, Drosa node, int pstaff) {
  const bool valid = pstaff >= 0 && pstaff < MAX_PSTAVES;
  return param_length(pindex, node, valid ? &staff_data[pstaff] : nullptr);
}

int param_changed(int pindex) { return valid_pindex(pindex) ? param[pindex].changed : 0; }

double param_float_value(int pindex, Drosa node) {
  return lookup(pindex, node, nullptr, -1)->real();
}

bool same_param_value(ParamValue a, ParamValue b) {
  a.bytes[5] = b.bytes[5];
  return std::memcmp(a.bytes, b.bytes, PARAM_VALUE_SIZE) == 0;
}

// ---- check_and_insert_param --------------------------------------------------------------

namespace {

// Removes the changes of the template's parameter and variant attached before the note at
// or after `at`: from the earliest PARAM before `at` forward to the next note. When `at` is
// itself attached before a note (a clef, say) the changes between it and the note go too,
// or they would stand nearer the note than the new one and hide it. `at` itself stays.
void remove_same_changes(Drosa at, int pindex, int small) {
  Drosa p = find_prev_kind_stop(PARAM, at, 0);
  int at_kind = effective_kind(at);
  if (!p && at_kind != NOTE && at_kind != ENDSYST) p = find_next_kind_before_note(PARAM, at);
  while (p) {
    Drosa next = find_next_kind_before_note(PARAM, p);
    if (p != at && same_change(p, pindex, small)) destroy_node(p);
    p = next;
  }
}

}  // namespace

void check_and_insert_param(Drosa at, Drosa templ) {
  if (!templ || !is_seen(templ, PARAM) || !valid_pindex(templ->get(xparam_index))) {
    REPORT_ERROR(4, "Not a PARAM node for check_and_insert_param!");
    return;
  }
  if (!at || !at->xback || (is_seen(at, ENDSYST) && at->get(xendpiece))) {
    REPORT_ERROR(4, "At end of piece for check_and_insert_param!");
    return;
  }
  int pindex = templ->get(xparam_index);
  remove_same_changes(at, pindex, templ->get(xparam_small));
  link_after(copyDrosa(templ), at->xback);
  param[pindex].changed = 1;

  Drosa note = at->xkind == NOTE ? at : find_next_kind(NOTE, at);
  if (note) model_hooks.param_nodes_to_annos(note);
  mark_piece_changed(1, 3, 0);
}

// ---- rebuild_param_nodes -----------------------------------------------------------------

void rebuild_param_nodes() {
  int voices = voice_count < 0 ? 0 : (voice_count > MAX_VOICES ? MAX_VOICES : voice_count);
  // Flags for the changes of every notation context: a flag set for a change the current
  // context does not see costs only a walk; a flag missing would hide the change. One walk
  // does both. The changes attached to a note (those after the previous note or system break)
  // are destroyed when the note makes its changes again, which flags those it makes; the
  // others are flagged as the walk leaves them behind, never after they could be freed.
  std::vector<Drosa> attached;
  auto flag_left = [&attached] {
    for (Drosa change : attached)
      if (valid_pindex(change->get(xparam_index))) param[change->get(xparam_index)].changed = 1;
    attached.clear();
  };
  for (int v = 0; v < voices; ++v) {
    for (Drosa p = piece_start[v]; p; p = p->xnext) {
      if (p->xkind == NOTE) {
        attached.clear();
        model_hooks.param_annos_to_nodes(p);
      } else if (p->xkind == PARAM) {
        attached.push_back(p);
      } else if (effective_kind(p) == ENDSYST) {
        flag_left();
      }
    }
    flag_left();
  }
}
