// undo.cpp: the undo and redo histories.
//
// A history list reads MARK, the records of one command, MARK, the records of the next, ...,
// MARK. A record is an UNDO node followed by what reverses it: nothing for an insertion, the
// removed chain for a removal, a copy of the node as it was for a modification. Records point
// only at permanent nodes (never at layout records, which formatting destroys and rebuilds).
//
// Undo replays the newest step backwards through the same primitives, which record the
// inverse operations on the other list; Redo does the same the other way round.
//
// While a primitive or a replay is working on a list, no step is reclaimed: a nearly empty
// node store grows instead (undo_busy, undo_replaying).
//
// Every record of a step is checked, in the order of the replay, before the step is replayed:
// a record that could not be carried out (its node gone, its saved copy missing, its place
// not where the records replayed before it leave it, an unknown operation) throws the
// histories away with the piece untouched, rather than undoing half a command.
//
// Program-wide state: reads and writes the histories (undo_heads, undo_tails, undo_list_index,
// undo_node_count, undo_busy, undo_replaying); a step's MARK keeps current_page and
// current_ncontext; Undo and Redo clear insertion_point and its flashing and mark the piece
// changed.
#include "model/undo.h"

#include <unordered_map>

#include "model/change_flags.h"
#include "model/error_report.h"
#include "model/model_globals.h"
#include "model/node_kinds.h"
#include "model/voice_lists.h"

namespace {

// Keeps the histories from being trimmed while a primitive holds pointers into them.
struct Busy {
  Busy() { ++undo_busy; }
  ~Busy() { --undo_busy; }
};

bool permanent(Drosa node) { return !temp_node(node, 1000); }

bool visible_mark(Drosa node) { return node && effective_kind(node) == MARK; }

// The nearest permanent node at or before `from` (walking back), reported when none.
Drosa find_perm_node(Drosa from, bool in_chain) {
  for (Drosa p = from; p; p = p->xback)
    if (permanent(p)) return p;
  REPORT_ERROR(4, "NIL search result in find_perm_node(xxx,%s)", in_chain ? "TRUE" : "FALSE");
  return NIL;
}

// Links a node after the tail of list L.
void append_to_list(int list, Drosa first, Drosa last) {
  if (undo_tails[list]) {
    undo_tails[list]->xnext = first;
    first->xback = undo_tails[list];
  } else {
    undo_heads[list] = first;
    first->xback = NIL;
  }
  last->xnext = NIL;
  undo_tails[list] = last;
}

// MARKs made for each list: MARK nodes come into a list only through append_mark.
uint64_t marks_made[2];

// Makes (or reuses) the MARK at the tail of list L.
void append_mark(int list) {
  Drosa mark = undo_tails[list];
  bool reuse = visible_mark(mark);
  if (!reuse) mark = newDrosa(MARK, 0), ++marks_made[list];
  mark->set(xmark_page, uint8_t(current_page));
  mark->set(xmark_context, uint8_t(current_ncontext));
  mark->set(xmark_insx, insertion_point_pos.x);
  mark->set(xmark_insy, insertion_point_pos.y);
  mark->set(xmark_point, insertion_point);
  if (!reuse) {
    ++undo_node_count;
    append_to_list(list, mark, mark);
  }
}

void destroy_list(int list) {
  undo_node_count -= destroy_Drosa_list(undo_heads[list]);
  undo_heads[list] = undo_tails[list] = NIL;
}

// The first steps of every primitive: discard what could be redone (unless replaying), and
// open a step on an empty list.
void begin_record() {
  if (!undo_replaying) {
    destroy_list(1);
    undo_list_index = 0;
  }
  if (!undo_heads[undo_list_index]) append_mark(undo_list_index);
  // A step's first record: its MARK keeps where the insertion point stood as it began.
  Drosa tail = undo_tails[undo_list_index];
  if (!undo_replaying && visible_mark(tail)) tail->set(xmark_point, insertion_point);
}

Drosa new_record(int op, Drosa prev) {
  Drosa undo = newDrosa(UNDO, 0);
  undo->set(xundo_op, uint8_t(op));
  undo->set(xundo_prev, prev);
  undo->set(xundo_prevkind, uint8_t(prev ? prev->xkind : 0));
  return undo;
}

// The last of the layout records that follow a note (the note itself when none).
Drosa after_layout_records(Drosa node) {
  if (!node || node->xkind != NOTE) return node;
  while (node->xnext && temp_node(node->xnext, 1002)) node = node->xnext;
  return node;
}

void clear_selection_marks(Drosa first, Drosa end) {
  for (Drosa p = first; p && p != end; p = p->xnext)
    if (p->xkind == NOTE) p->set(xselected, 0);
}

// Replays one record of a step (the UNDO and the end of what belongs to it); false when the
// operation is unknown. The record has passed step_records_sound.
bool replay_record(Drosa undo, Drosa end) {
  Drosa target = undo->get(xundo_prev);
  switch (undo->get(xundo_op)) {
    case UNDO_DELETE_AFTER: {
      Drosa first = undo->xnext, last = end->xback;
      if (first == end) return true;  // an empty chain
      undo->xnext = end;
      end->xback = undo;
      clear_selection_marks(first, end);
      last->xnext = NIL;
      if (!target) {
        destroy_Drosa_list(first);
        return true;
      }
      insertvc_with_undo(first, last, after_layout_records(target));
      return true;
    }
    case UNDO_MODIFY: {
      Drosa saved = undo->xnext;
      modifyvc_with_undo(target);
      target->xcontext = saved->xcontext;
      std::memcpy(target->payload, saved->payload, DROSA_PAYLOAD_SIZE);
      if (target->xkind == NOTE) target->set(xselected, 0);
      return true;
    }
    case UNDO_INSERT_AFTER: {
      Drosa first = after_layout_records(target)->xnext;
      Drosa last = after_layout_records(undo->get(xundo_last));
      removevc_list_with_undo(first, last);
      return true;
    }
    default:
      REPORT_ERROR(4, "Unexpected Undo/Redo operation = %hd", short(undo->get(xundo_op)));
      return false;
  }
}

// A history whose records no longer fit the piece is thrown away.
bool history_still_valid(int list) {
  for (Drosa p = undo_heads[list]; p; p = p->xnext) {
    if (effective_kind(p) != UNDO) continue;
    Drosa target = p->get(xundo_prev);
    if (target && target->xkind != p->get(xundo_prevkind)) return false;
  }
  return true;
}

// The links of the voice lists as each record of a step will find them when the step is
// replayed, newest record first: a record's replay re-links nodes that the records replayed
// after it look for (a removal put back makes the place of an older insertion). The piece is
// not touched: the links a replay would change are kept aside.
class ReplayedLinks {
 public:
  Drosa next(Drosa node) const {
    auto moved = next_.find(node.handle());
    return moved == next_.end() ? node->xnext : moved->second;
  }

  // As after_layout_records, over the links the replay will have made.
  Drosa after_layout_records(Drosa node) const {
    if (!node || node->xkind != NOTE) return node;
    while (next(node) && temp_node(next(node), 1002)) node = next(node);
    return node;
  }

  // True when `last` follows `from`. A walk longer than the store holds nodes has met a loop
  // that a damaged record would make.
  bool follows(Drosa from, Drosa last) const {
    int32_t steps = 0;
    for (Drosa p = next(from); p && steps <= total_Drosa_count; p = next(p), ++steps)
      if (p == last) return true;
    return false;
  }

  // A removal's replay: first..last goes back in after `place`.
  void put_back(Drosa first, Drosa last, Drosa place) {
    Drosa anchor = after_layout_records(place);
    next_[last.handle()] = next(anchor);
    next_[anchor.handle()] = first;
  }

  // An insertion's replay: what follows `place` up to `last` leaves the list.
  void take_out(Drosa place, Drosa last) {
    Drosa anchor = after_layout_records(place), end = after_layout_records(last);
    next_[anchor.handle()] = next(end);
    next_[end.handle()] = NIL;
  }

 private:
  std::unordered_map<uint32_t, Drosa> next_;  // by handle
};

enum class StepCheck { SOUND, DAMAGED, UNKNOWN_OPERATION };

// Checks every record of the newest step of a list (ending at its tail MARK) in the order of
// the replay, before any is replayed, so that a damaged record stops the Undo with the piece
// untouched: a modification needs its node and the saved copy of it; an insertion needs its
// place and its last node after that place, as the records replayed before it leave them. On
// an unknown operation `op` receives it.
StepCheck step_records_sound(int list, int* op) {
  ReplayedLinks links;
  Drosa end = undo_tails[list];
  for (Drosa p = end->xback; p && !visible_mark(p); p = p->xback) {
    if (effective_kind(p) != UNDO) continue;
    Drosa target = p->get(xundo_prev);
    switch (p->get(xundo_op)) {
      case UNDO_DELETE_AFTER:
        if (p->xnext != end && target) links.put_back(p->xnext, end->xback, target);
        break;
      case UNDO_MODIFY:
        if (!target || !p->xnext || p->xnext->xkind != p->get(xundo_prevkind))
          return StepCheck::DAMAGED;
        break;
      case UNDO_INSERT_AFTER: {
        Drosa last = p->get(xundo_last);
        if (!target || !last || !links.follows(target, last)) return StepCheck::DAMAGED;
        links.take_out(target, last);
        break;
      }
      default:
        *op = p->get(xundo_op);
        return StepCheck::UNKNOWN_OPERATION;
    }
    end = p;
  }
  return StepCheck::SOUND;
}

// Reports a history that cannot be undone and throws both lists away; false then.
bool history_replayable(int list) {
  if (!history_still_valid(list)) {
    REPORT_ERROR(4, "Sorry, due to a program problem, you cannot Undo.");
    clear_undo(1);
    return false;
  }
  if (!visible_mark(undo_tails[list])) {
    REPORT_ERROR(4, "Undo does not end with a MARK node!  Cannot undo.");
    clear_undo(1);
    return false;
  }
  int op = 0;
  switch (step_records_sound(list, &op)) {
    case StepCheck::SOUND:
      return true;
    case StepCheck::DAMAGED:
      REPORT_ERROR(4, "Sorry, due to a program problem, you cannot Undo.");
      break;
    case StepCheck::UNKNOWN_OPERATION:
      REPORT_ERROR(4, "Unexpected Undo/Redo operation = %hd", short(op));
      break;
  }
  clear_undo(1);
  return false;
}

// ---- Changes that are not recorded -----------------------------------------------------------

// Calls fn on every record of both histories.
template <typename Fn>
void each_record(Fn fn) {
  for (int list = 0; list < 2; ++list)
    for (Drosa p = undo_heads[list]; p; p = p->xnext)
      if (effective_kind(p) == UNDO) fn(p);
}

void point_record_at(Drosa undo, Drosa node) {
  undo->set(xundo_prev, node);
  undo->set(xundo_prevkind, uint8_t(node ? node->xkind : 0));
}

// A chain ending with the permanent node `last` went in right after `place` (and its layout
// records): records whose range began there now begin after the chain.
void step_records_over(Drosa place, Drosa last) {
  each_record([&](Drosa undo) {
    if (undo->get(xundo_op) != UNDO_MODIFY && undo->get(xundo_prev) == place)
      point_record_at(undo, last);
  });
}

// first..last is about to leave the piece after `before` (its nearest permanent node). False
// when a record cannot be kept pointing at what it did.
bool move_records_off(Drosa first, Drosa last, Drosa before) {
  auto in_chain = [&](Drosa node) {
    for (Drosa p = first; p; p = p->xnext) {
      if (p == node) return true;
      if (p == last) break;
    }
    return false;
  };
  bool kept = true;
  each_record([&](Drosa undo) {
    const int op = undo->get(xundo_op);
    const bool ends_inside = op == UNDO_INSERT_AFTER && in_chain(undo->get(xundo_last));
    if (op == UNDO_MODIFY ? in_chain(undo->get(xundo_prev)) : ends_inside)
      kept = false;
    else if (in_chain(undo->get(xundo_prev)))
      point_record_at(undo, before);
  });
  return kept;
}

}  // namespace

UnrecordedChanges::UnrecordedChanges() { ++undo_unrecorded; }
UnrecordedChanges::~UnrecordedChanges() { --undo_unrecorded; }

uint64_t undo_marks_made(int list) { return marks_made[list & 1]; }

int32_t undo_list_length(int list) {
  int32_t n = 0;
  for (Drosa p = undo_heads[list]; p; p = p->xnext) ++n;
  return n;
}

void set_undo_mark(int force) {
  if (undo_heads[undo_list_index] || force) append_mark(undo_list_index);
}

Drosa insertvc_with_undo(Drosa first, Drosa last, Drosa anchor) {
  Busy busy;
  if (first && !last) {
    last = first;
    while (last->xnext) last = last->xnext;
  }
  if (!first || !last || !anchor) {
    // With no place to go, the chain stays with the caller, unlinked.
    REPORT_ERROR(4, "Bad call to insertvc_with_undo!");
    if (first && anchor) link_chain_after(first, last, anchor);
    return NIL;
  }
  first->xback = NIL;
  Drosa last_permanent = NIL;
  for (Drosa p = last; p; p = p->xback)
    if (permanent(p)) {
      last_permanent = p;
      break;
    }
  if (!last_permanent) {
    REPORT_ERROR(4, "NIL search result in find_perm_node(xxx,%s)", "TRUE");
    REPORT_ERROR(4, "Call to insertvc_with_undo without permanent nodes! First node %hd (%s).",
                 short(effective_kind(first)), node_kind_name(first));
    link_chain_after(first, last, anchor);
    return NIL;
  }
  if (undo_unrecorded) {
    Drosa place = NIL;
    for (Drosa p = anchor; p && !place; p = p->xback)
      if (permanent(p)) place = p;
    link_chain_after(first, last, anchor);
    if (place) step_records_over(place, last_permanent);
    return NIL;
  }
  begin_record();
  link_chain_after(first, last, anchor);
  Drosa undo = new_record(UNDO_INSERT_AFTER, find_perm_node(anchor, false));
  undo->set(xundo_last, last_permanent);
  ++undo_node_count;
  append_to_list(undo_list_index, undo, undo);
  return undo;
}

Drosa insertvc_node_with_undo(Drosa node, Drosa anchor) {
  return insertvc_with_undo(node, node, anchor);
}

Drosa insertvc_list_with_undo(Drosa source, Drosa stop, Drosa anchor) {
  if (!source) return anchor;
  Busy busy;
  Drosa last;
  Drosa first = copy_detached_chain(source, stop, &last);
  // Outside the Score, copies of context-bound nodes belong to the current context.
  if (current_ncontext != 1)
    for (Drosa p = first; p; p = p->xnext)
      if (p->xcontext > 0) p->xcontext = int8_t(current_ncontext);
  insertvc_with_undo(first, last, anchor);
  return last;
}

void removevc_list_with_undo(Drosa first, Drosa last) {
  Busy busy;
  if (!first || !last || !first->xback || !last->xnext) {
    // Removing a list's head or end would leave the voice without them: nothing is removed.
    REPORT_ERROR(4, "Bad call to removevc_list_with_undo!");
    return;
  }
  if (undo_unrecorded) {
    Drosa before = NIL;
    for (Drosa p = first->xback; p && !before; p = p->xback)
      if (permanent(p)) before = p;
    if (!move_records_off(first, last, before)) clear_undo(1);
    count_chain_change(first, last);
    first->xback->xnext = last->xnext;
    last->xnext->xback = first->xback;
    last->xnext = NIL;
    first->xback = NIL;
    destroy_Drosa_list(first);
    return;
  }
  begin_record();
  Drosa undo = new_record(UNDO_DELETE_AFTER, find_perm_node(first->xback, false));
  count_chain_change(first, last);
  Drosa before = first->xback, after = last->xnext;
  before->xnext = after;
  after->xback = before;
  int32_t count = 1;
  for (Drosa p = first; p; p = p->xnext) {
    ++count;
    if (p == last) break;
  }
  undo->xnext = first;
  first->xback = undo;
  last->xnext = NIL;
  undo_node_count += count;
  append_to_list(undo_list_index, undo, last);
}

void removevc_with_undo(Drosa node) { removevc_list_with_undo(node, node); }

FreshChain::FreshChain(Drosa first, Drosa last) {
  fresh_chain_first = first;
  fresh_chain_last = last;
}

FreshChain::~FreshChain() { fresh_chain_first = fresh_chain_last = NIL; }

namespace {

bool in_fresh_chain(Drosa node) {
  for (Drosa p = fresh_chain_first; p; p = p->xnext) {
    if (p == node) return true;
    if (p == fresh_chain_last) break;
  }
  return false;
}

}  // namespace

void modifyvc_with_undo(Drosa node) {
  if (!node) {
    REPORT_ERROR(4, "Bad call to modifyvc_with_undo!");
    return;
  }
  Busy busy;
  if (!permanent(node)) {
    REPORT_ERROR(4, "Temporary node for modifyvc_with_undo %hd (%s)!", short(effective_kind(node)),
                 node_kind_name(node));
    return;
  }
  ++list_change_count;  // the caller changes the node in place next
  if (node->xkind == NOTE) ++note_change_count;
  if (undo_unrecorded || in_fresh_chain(node)) return;
  begin_record();
  Drosa undo = new_record(UNDO_MODIFY, node);
  Drosa copy = copyDrosa(node);
  undo->xnext = copy;
  copy->xback = undo;
  undo_node_count += 2;
  append_to_list(undo_list_index, undo, copy);
}

void drop_last_mark() {
  int list = undo_list_index;
  Drosa tail = undo_tails[list];
  if (undo_unrecorded || !tail || tail->xkind != MARK || tail == undo_heads[list]) return;
  undo_tails[list] = tail->xback;
  undo_tails[list]->xnext = NIL;
  destroyDrosa(tail);
  --undo_node_count;
  --marks_made[list];
}

void clear_undo(int also_undo) {
  destroy_list(1);
  if (also_undo) destroy_list(0);
  undo_list_index = 0;
}

void reclaim_undo_nodes() {
  // While a primitive records or a step is replayed, the newest step of each list (the one
  // being written or replayed) stays; older steps go first then as at any other time.
  const bool at_work = undo_busy || undo_replaying;
  // A list found to hold one unfinished step still holds one while its head and the MARKs made
  // for it are the same, so a long command is not walked again each time the store runs low.
  static struct {
    Drosa head;
    uint64_t marks;
  } unfinished[2];
  for (int list = 0; list < 2; ++list) {
    Drosa head = undo_heads[list];
    if (!head) continue;
    if (unfinished[list].head == head && unfinished[list].marks == marks_made[list]) continue;
    int32_t count = 1;
    Drosa mark = head->xnext;
    while (mark && !visible_mark(mark)) {
      mark = mark->xnext;
      ++count;
    }
    if (!mark) {  // one unfinished step: keep it
      unfinished[list] = {head, marks_made[list]};
      continue;
    }
    if (mark == undo_tails[list]) {
      if (at_work) continue;
      destroy_list(list);
      return;
    }
    mark->xback->xnext = NIL;
    mark->xback = NIL;
    destroy_Drosa_list(head);
    undo_node_count -= count;
    undo_heads[list] = mark;
    return;
  }
}

// True when node is a note of some voice list: a link kept in a MARK may name a note that a
// later change took out of the piece (and the store gave to something else).
bool note_in_piece(Drosa node) {
  if (!node || !drosa_handle_valid(node) || node->xkind != NOTE) return false;
  Drosa head = node;
  while (head->xback) head = head->xback;
  for (int v = 0; v < voice_count; ++v)
    if (piece_start[v] == head) return true;
  return false;
}

// The insertion point after a step is undone or redone: the note it stood on when the step
// began (for Undo) or when it was undone (for Redo), so that entry goes on after the music
// kept instead of replacing it; the note nearest its old place when that note is gone.
void point_after_replay(Drosa point) {
  if (note_in_piece(point)) {
    model_hooks.set_insertion_point(point, 1, -10);
    return;
  }
  model_hooks.cursor_to_nearest_visnote(insertion_point_pos, 0, 0, 1);
}

void undo_redo(int undo) {
  int source = undo ? 0 : 1;
  if (!undo_heads[source] || !history_replayable(source)) return;
  Drosa point_now = insertion_point;
  model_hooks.end_anno_selection(0, 1);
  model_hooks.stop_flashing(insertion_point);
  insertion_point = NIL;
  insertion_point_flashing = 0;
  undo_list_index = undo ? 1 : 0;
  Drosa other_tail = undo_tails[undo_list_index];
  undo_replaying = true;
  Busy busy;

  Drosa tail_mark = undo_tails[source];
  Drosa end = tail_mark;
  Drosa p = tail_mark->xback;
  bool replaying = true;  // a record that cannot be replayed ends the replay of its step
  while (p && !visible_mark(p)) {
    Drosa before = p->xback;
    --undo_node_count;
    if (replaying && effective_kind(p) == UNDO) {
      replaying = replay_record(p, end);
      end = p;
    }
    p = before;
  }
  Drosa start_mark = p;  // NIL only for a list that does not begin with a MARK
  Drosa point_then = start_mark ? start_mark->get(xmark_point) : NIL;
  if (undo_heads[undo_list_index]) append_mark(undo_list_index);
  // The step now recorded in the other list began where the insertion point stood before this
  // replay: replaying that step back puts it there again.
  Drosa other_start = visible_mark(other_tail) ? other_tail : undo_heads[undo_list_index];
  if (visible_mark(other_start) && other_start != undo_tails[undo_list_index])
    other_start->set(xmark_point, point_now);

  if (start_mark && start_mark != undo_heads[source]) {
    // The step's records and its start MARK go; the tail MARK now ends the previous step.
    --undo_node_count;
    Drosa before = start_mark->xback;
    Drosa last_of_step = tail_mark->xback;
    before->xnext = tail_mark;
    tail_mark->xback = before;
    last_of_step->xnext = NIL;
    start_mark->xback = NIL;
    destroy_Drosa_list(start_mark);
  } else {
    // The oldest step: the whole list goes.
    undo_node_count -= start_mark ? 2 : 1;
    destroy_Drosa_list(undo_heads[source]);
    undo_heads[source] = undo_tails[source] = NIL;
  }
  undo_replaying = false;
  undo_list_index = 0;
  mark_piece_changed(1, 2, 0);
  point_after_replay(point_then);
}
