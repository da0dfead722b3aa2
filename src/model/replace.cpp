// replace.cpp: the replace primitives.
//
// Times are compared with a tolerance of 50 units. New nodes are plain nodes of the store
// until linked; a refused change destroys its new chain and leaves the voice as it was.
#include "model/replace.h"

#include <cstdlib>

#include "model/change_flags.h"
#include "model/durashn.h"
#include "model/error_report.h"
#include "model/model_globals.h"
#include "model/model_services.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "model/undo.h"
#include "model/voice_chords.h"
#include "model/voice_lists.h"
#include "platform/ticks.h"

namespace {

constexpr int32_t TOL = TIME_TOLERANCE;
constexpr uint32_t FAILURE_QUIET_TICKS = 3600;  // one minute between failure messages

bool within(int32_t a, int32_t b) { return std::abs(int64_t(a) - b) <= TOL; }

struct KindTable {
  RestKind kinds[MAX_REST_KINDS];
  int count = 0;

  bool same(const RestKind& a, const RestKind& b) const {
    return a.tupl == b.tupl && a.intimeof == b.intimeof && a.nest_tupl == b.nest_tupl &&
           a.nest_intimeof == b.nest_intimeof;
  }
  void add(const RestKind& k) {
    if (count >= MAX_REST_KINDS) return;
    for (int i = 0; i < count; ++i)
      if (same(kinds[i], k)) return;
    kinds[count++] = k;
  }
};

// The kind of a note: its tuplet and the multipliers of the NEST before it.
RestKind kind_of(Drosa note) {
  RestKind k = {note->get(xlgval), note->get(xtupl), note->get(xintimeof), 1, 4};
  if (Drosa nest = find_prev_kind_stop_2(NEST, note, 0)) {
    k.nest_tupl = nest->get(xnest_tupl);
    k.nest_intimeof = nest->get(xnest_intimeof);
  }
  return k;
}

void add_kinds_of_notes(KindTable& table, Drosa first, Drosa last) {
  for (Drosa p = first; p; p = p->xnext) {
    if (p->xkind == NOTE) table.add(kind_of(p));
    if (p == last) break;
  }
}

// The last of the layout records that follow a node (the node itself when none).
Drosa after_layout(Drosa node) {
  while (node->xnext && temp_node(node->xnext, 1002)) node = node->xnext;
  return node;
}

Drosa prev_note(Drosa node) {
  for (Drosa p = node->xback; p; p = p->xback)
    if (p->xkind == NOTE) return p;
  return NIL;
}

// The next NOTE after node, none past a visible ENDSYST.
Drosa next_note(Drosa node) {
  for (Drosa p = node->xnext; p; p = p->xnext) {
    if (p->xkind == NOTE) return p;
    if (effective_kind(p) == ENDSYST) return NIL;
  }
  return NIL;
}

// Builds rests on a temporary head; the chain after it, or NIL (destroyed) on failure.
bool build_rests(int32_t duration, int32_t position, const KindTable& table, Drosa* first,
                 Drosa* last) {
  Drosa head = newDrosa(NOTE, 0);
  Drosa tail = head;
  if (!make_fill_rests(duration, position, &tail, table.kinds, table.count)) {
    destroy_Drosa_list(head);
    return false;
  }
  *first = head->xnext;
  *last = tail == head ? NIL : tail;
  if (*first) (*first)->xback = NIL;
  destroyDrosa(head);
  return true;
}

// Whether x lies within 50 units of a non-zero multiple of m.
bool near_nonzero_multiple(int32_t x, int32_t m) {
  if (m <= 0 || x < m - TOL) return false;
  int32_t r = x % m;
  return r <= TOL || m - r <= TOL;
}

void refuse(int report, const char* message) {
  if (report) REPORT_ERROR(2, "%s", message);
}

// Moves the insertion point on after an insertion.
void advance_insertion_point(Drosa from, Drosa fallback, int keep_view) {
  insertion_point = fallback;
  for (Drosa p = from; p; p = p->xnext) {
    if (p->xkind == NOTE) {
      insertion_point = p;
      break;
    }
    if (effective_kind(p) == ENDSYST && p->get(xendpage) && (!keep_view || p->get(xendpiece)))
      break;
  }
  model_hooks.start_flashing(insertion_point);
  if (!keep_view) model_hooks.make_cursor_visible();
}

// The bookkeeping of a delete before the notes go: grace times, chord marks, PRINT nodes.
void prepare_delete(Drosa old_start, Drosa old_end, Drosa* prev_out, Drosa* next_out) {
  if (old_start->get(xgrace)) {
    // The time given back from the grace notes is recorded, the notes that go included: Undo
    // gives each its time again.
    model_hooks.record_grace_time(old_start);
    if (old_end != old_start && old_end->get(xgrace)) model_hooks.record_grace_time(old_end);
    model_hooks.change_grace_time(old_start, old_end, 0);
  }
  Drosa prev = prev_note(old_start), next = next_note(old_end);
  *prev_out = prev;
  *next_out = next;
  if (old_start == old_end && old_start->xkind == NOTE) {
    uint32_t ttn = old_start->get(xttn);
    if (prev && !prev->get(xendvcd)) {
      modifyvc_with_undo(prev);
      prev->set(xendvcd, old_start->get(xendvcd));
      prev->set(xttn, prev->get(xttn) + ttn);
    } else if (!old_start->get(xendvcd) && next) {
      modifyvc_with_undo(next);
      next->set(xttn, next->get(xttn) + ttn);
    }
  }
  Drosa print_before = find_prev_kind_stop_2(PRINT, old_start, 0);
  Drosa print_after = find_next_kind_before_note(PRINT, old_end);
  if (!next) {
    if (prev && print_before) removevc_with_undo(print_before);
    if (print_after) removevc_with_undo(print_after);
  } else if (print_before && print_after) {
    removevc_with_undo(print_after);
  }
}

// Removes old_start..old_end with undo; returns the node before the stretch.
Drosa remove_stretch(Drosa old_start, Drosa old_end, int adjust_acc) {
  if (adjust_acc) model_hooks.adjust_accidentals(ACC_REMOVING, old_start, old_end);
  old_end = after_layout(old_end);
  if (old_start->xkind == NOTE) model_hooks.unary_node(UNARY_DELETE, old_start);
  model_hooks.delete_marked_annos(old_start);
  for (Drosa p = old_start->xback; p && p->xkind != NOTE && effective_kind(p) != ENDSYST;) {
    Drosa before = p->xback;
    if (p->xkind == PDATA) destroy_node(p);
    p = before;
  }
  Drosa place = old_start->xback;
  removevc_list_with_undo(old_start, old_end);
  return place;
}

}  // namespace

int fit_rest_value(Drosa rest, int short_values, int32_t gap, int32_t position,
                   const RestKind* kinds, int count, int by_gap) {
  rest->set(xdots, 0);
  Drosa nest = rest->xback;
  if (!nest || effective_kind(nest) != NEST) REPORT_ERROR(3, "No nest node!");
  int last_value = short_values ? 6 : 8;
  for (int i = 0; i < count; ++i) {
    const RestKind& k = kinds[i];
    rest->set(xtupl, uint8_t(k.tupl));
    rest->set(xintimeof, uint8_t(k.intimeof));
    nest->set(xnest_tupl, uint8_t(k.nest_tupl));
    nest->set(xnest_intimeof, uint8_t(k.nest_intimeof));
    for (int value = k.tupl == 1 ? 1 : k.value; value <= last_value; ++value) {
      rest->set(xlgval, value);
      int32_t d = note_duration(rest, 1);
      rest->set(xttn, uint32_t(d));
      if (d > gap + TOL) continue;
      if (d >= -TOL && d <= TOL) return 0;
      int32_t r = (by_gap ? gap : position) % d;
      if ((r >= -TOL && r <= TOL) || std::abs(r - d) <= TOL) return 1;
    }
  }
  return 0;
}

namespace {

// Gives the rest (its NEST before it) the longest value that fills part of the gap at
// `position` in step with it: by short values first, then by any; a document's gap may take
// the longest plain value that fits when none keeps step. False when none fits.
bool fit_fill_rest(Drosa rest, int32_t gap, int32_t position, const RestKind* kinds, int count,
                   int document_gap) {
  return fit_rest_value(rest, 1, gap, position, kinds, count, 1) ||
         fit_rest_value(rest, 1, gap, position, kinds, count, 0) ||
         fit_rest_value(rest, 0, gap, position, kinds, count, 1) ||
         fit_rest_value(rest, 0, gap, position, kinds, count, 0) ||
         (document_gap && fit_rest_value(rest, 0, gap, 0, kinds, 1, 0));
}

}  // namespace

std::vector<int> document_gap_rest_values(int32_t gap, int32_t position) {
  std::vector<int> values;
  Drosa rest = newDrosa(NOTE, 0), nest = newDrosa(NEST, 0);
  rest->set(xrest, 1);
  nest->xnext = rest;
  rest->xback = nest;
  while (gap > TOL && fit_fill_rest(rest, gap, position, &PLAIN_REST_KIND, 1, 1)) {
    const int32_t d = int32_t(rest->get(xttn));
    values.push_back(rest->get(xlgval));
    gap -= d;
    position += d;
  }
  if (gap > TOL) values.clear();
  rest->xback = NIL;
  nest->xnext = NIL;
  destroyDrosa(rest);
  destroyDrosa(nest);
  return values;
}

int make_fill_rests(int32_t gap, int32_t position, Drosa* tail, const RestKind* kinds, int count,
                    int document_gap) {
  while (gap > TOL) {
    Drosa rest = newDrosa(NOTE, 0);
    rest->set(xrest, 1);
    if (document_gap) rest->set(xhider, 1);
    rest->set(xendvcd, 1);
    rest->set(xdir, 3);
    Drosa nest = newDrosa(NEST, 0);
    nest->xnext = rest;
    rest->xback = nest;
    const bool fitted = fit_fill_rest(rest, gap, position, kinds, count, document_gap);
    if (!fitted) {
      destroyDrosa(rest);
      destroyDrosa(nest);
      if (document_gap) return 0;
      uint32_t now = platform_ticks();
      // The first failure is always shown; later ones at most once a minute.
      if (last_rest_failure_tick == 0 || last_rest_failure_tick > now ||
          now - last_rest_failure_tick > FAILURE_QUIET_TICKS) {
        REPORT_ERROR(2, "Unable to make a rest of right length to fill time gap.");
        last_rest_failure_tick = now ? now : 1;
      }
      return 0;
    }
    int32_t d = int32_t(rest->get(xttn));
    rest->xback = NIL;
    nest->xnext = NIL;
    if (nest->get(xnest_tupl) == 1) {
      destroyDrosa(nest);
      link_after(rest, *tail);
    } else {
      link_after(nest, *tail);
      link_after(rest, nest);
    }
    *tail = rest;
    gap -= d;
    position += d;
  }
  return 1;
}

void do_Drosa_update(int mode, Drosa new_first, Drosa new_last, Drosa old_start, Drosa old_end,
                     int perf_mode, int adjust_acc) {
  model_hooks.stop_flashing(insertion_point);
  insertion_point = NIL;
  int32_t old_time = 0;
  Drosa place = NIL;
  switch (mode) {
    case UPDATE_REPLACE: {
      Drosa p = old_start;
      for (; p; p = p->xnext) {
        if (p->xkind == NOTE) old_time += int32_t(p->get(xttn));
        if (p == old_end) break;
      }
      if (!p) {
        REPORT_ERROR(4, "bad delend in do_Drosa_update (replace)");
        destroy_Drosa_list(new_first);
        return;
      }
      place = remove_stretch(old_start, old_end, adjust_acc);
      break;
    }
    case UPDATE_EXTEND_CHORD:
      modifyvc_with_undo(old_start);
      old_time = int32_t(old_start->get(xttn));
      old_start->set(xttn, 0u);
      old_start->set(xendvcd, 0);
      place = after_layout(old_start);
      break;
    case UPDATE_INSERT_AFTER:
      place = after_layout(old_start);
      break;
    case UPDATE_DELETE: {
      Drosa prev, next;
      prepare_delete(old_start, old_end, &prev, &next);
      remove_stretch(old_start, old_end, adjust_acc);
      // The grace group beside the stretch takes new times: recorded, so that Undo gives back
      // the times the group and its main chord had.
      Drosa grace = prev && prev->get(xgrace) ? prev : next && next->get(xgrace) ? next : NIL;
      if (grace) {
        model_hooks.record_grace_time(grace);
        model_hooks.change_grace_time(grace, grace, 1);
      }
      return;
    }
    default:
      return;
  }
  if (!new_first) return;
  const bool recorded = bool(insertvc_with_undo(new_first, new_last, place));
  Drosa first_note = model_hooks.unary_node(UNARY_SKIP_FORWARD, new_first);
  {
    FreshChain fresh(recorded ? new_first : NIL, new_last);
    model_hooks.adjust_accidentals(ACC_CHANGED, first_note, new_last);
  }
  if (perf_mode) {
    if (recorded) model_hooks.record_default_performance(first_note, new_last);
    model_hooks.set_default_performance(first_note, new_last, 1, 0, perf_mode != 2, 43, old_time);
  }
}

void restify(Drosa old_start, Drosa old_end, int32_t duration, int adjust_acc) {
  if (!old_start || !old_end || duration < 0) {
    REPORT_ERROR(4, "Bad restify() parameter: oldstart %0lx oldend %0lx dur %0lx",
                 static_cast<unsigned long>(old_start.handle()),
                 static_cast<unsigned long>(old_end.handle()),
                 static_cast<unsigned long>(duration));
    return;
  }
  KindTable table;
  add_kinds_of_notes(table, old_start, old_end);
  table.add(PLAIN_REST_KIND);
  Drosa first = NIL, last = NIL;
  if (duration > 0 && !build_rests(duration, find_time_in_bar(old_start), table, &first, &last))
    return;
  if (!first)
    do_Drosa_update(UPDATE_DELETE, NIL, NIL, old_start, old_end, 0, adjust_acc);
  else
    do_Drosa_update(UPDATE_REPLACE, first, last, old_start, old_end, 1, adjust_acc);
}

int fill_time_gap(Drosa location, int before_import_timing, int32_t position, int32_t duration) {
  if (!location || duration < 1) {
    REPORT_ERROR(4, "Bad fill_time_gap() parameter: location %0lx dur %lx",
                 static_cast<unsigned long>(location.handle()),
                 static_cast<unsigned long>(duration));
    return 0;
  }
  voices_to_system(system_number_on_page(location, 0), 0);
  KindTable table;
  table.add(PLAIN_REST_KIND);
  for (int v = 0; v < voice_count; ++v) {
    for (Drosa p = system_cursor[v] ? system_cursor[v]->xnext : NIL; p; p = p->xnext) {
      if (effective_kind(p) == ENDSYST) break;
      if (p->xkind == NOTE) table.add(kind_of(p));
    }
  }
  Drosa first = NIL, last = NIL;
  if (!build_rests(duration, position, table, &first, &last)) return 0;
  if (!first) return 1;
  Drosa before = location;
  if (before_import_timing)
    if (Drosa xmlt = find_prev_kind_until(XMLT, location, BAR, 0)) before = xmlt;
  insertvc_with_undo(first, last, before->xback);
  return 1;
}

namespace {

// Where a grace chord goes that is not added to a chord (the insertion point is C).
Drosa grace_place(Drosa n, Drosa chord_first, Drosa chord_last, int nachschlag_after) {
  if (!n->get(xnachschlag)) return model_hooks.unary_node(UNARY_SKIP_BACK, chord_first->xback);
  Drosa prev = prev_note(chord_first);
  if (prev && !nachschlag_after) return prev;
  // After the chord and every nachschlag grace chord that follows it.
  Drosa place = chord_last;
  for (Drosa next = next_note(after_layout(place));
       next && next->get(xgrace) && next->get(xnachschlag); next = next_note(after_layout(place)))
    place = chord_end_note(next);
  return place;
}

// Case C of insert_note: finds the last note of the stretch the new note replaces, and the
// time it covers; NIL after a refusal (reported when `report`).
Drosa replaced_stretch(Drosa n, int32_t dn, Drosa chord_first, Drosa chord_last, int32_t dc,
                       int report, int32_t* covered_out) {
  int32_t t0 = find_time_in_bar(insertion_point);
  int32_t covered = dc;
  Drosa cur_first = chord_first, cur_last = chord_last;
  for (;;) {
    Drosa next = next_note(after_layout(cur_last));
    if (within(covered, dn) && !(next && next->get(xgrace) && next->get(xnachschlag))) break;
    if (covered > dn + TOL) {
      bool on_beat =
          near_nonzero_multiple(t0 + covered, 2048) && near_nonzero_multiple(covered - dn, dn / 4);
      bool same_tuplet = [&] {
        for (Drosa c : {cur_first, cur_last})
          if (c->get(xtupl) == n->get(xtupl) && c->get(xintimeof) == n->get(xintimeof)) return true;
        return false;
      }();
      if (on_beat || same_tuplet) break;
    }
    Drosa print_here = find_prev_kind(PRINT, cur_first);
    Drosa p = cur_last->xnext;
    const char* refusal = nullptr;
    bool end_here = false;
    for (; p; p = p->xnext) {
      int k = effective_kind(p);
      if (p->xkind == NOTE) break;
      if (k == BAR) refusal = "Not enough time in measure to insert note.";
      if (k == PRINT && (!print_here || p->get(xsstaff) != print_here->get(xsstaff)))
        refusal =
            "Not enough time to insert this note before a new specification made with the "
            "Parts and Voices... menu option.";
      if (k == ENDSYST) refusal = "Not enough time on system to insert this note.";
      if (refusal) {
        end_here = true;
        break;
      }
    }
    if (!p || end_here) {
      if (covered >= dn - TOL) break;
      refuse(report, refusal ? refusal : "Not enough time on system to insert this note.");
      return NIL;
    }
    int32_t d = vchord_bounds(p, &cur_first, &cur_last);
    covered += d == NO_TIME ? 0 : d;
  }
  *covered_out = covered;
  return cur_last;
}

}  // namespace

int insert_note(Drosa first, Drosa last, int add_to_chord, int perf_mode, int keep_view, int report,
                int nachschlag_after) {
  if (!last) {
    last = first;
    while (last && last->xnext) last = last->xnext;
  }
  if (!insertion_point || !first) {
    destroy_Drosa_list(first);
    return 0;
  }
  Drosa n = model_hooks.unary_node(UNARY_SKIP_FORWARD, first);
  if (!n || n->xkind != NOTE) {
    destroy_Drosa_list(first);
    return 0;
  }
  int32_t dn = note_duration(n, 1);
  Drosa chord_first, chord_last;
  int32_t dc = vchord_bounds(insertion_point, &chord_first, &chord_last);
  if (dc == NO_TIME) dc = 0;
  Drosa resume_from = NIL, fallback = NIL;

  if (add_to_chord) {
    if (n->get(xgrace) != insertion_point->get(xgrace)) {
      destroy_Drosa_list(first);
      refuse(
          report,
          "You cannot mix grace notes and normal notes in one chord.  If you want to insert grace "
          "notes before a chord, do not use the ADD box.");
      return 0;
    }
    if (n->get(xgrace) && n->get(xnachschlag) != insertion_point->get(xnachschlag)) {
      destroy_Drosa_list(first);
      refuse(report,
             "You cannot mix nachschlag grace notes and normal grace notes in one chord.  If you "
             "want to insert different types of grace notes, do not use the ADD box.");
      return 0;
    }
    if (dc > dn + TOL) {
      KindTable table;
      table.add(kind_of(n));
      table.add(kind_of(chord_first));
      Drosa tail = last;
      if (!make_fill_rests(dc - dn, dn + find_time_in_bar(insertion_point), &tail, table.kinds,
                           table.count)) {
        destroy_Drosa_list(first);
        return 0;
      }
      if (tail != last) {
        resume_from = n;
        fallback = n;
      }
      last = tail;
    }
    do_Drosa_update(UPDATE_EXTEND_CHORD, first, last, chord_last, NIL, perf_mode, 1);
  } else if (n->get(xgrace)) {
    if (insertion_point->get(xgrace))
      do_Drosa_update(UPDATE_REPLACE, first, last, chord_first, chord_last, perf_mode, 1);
    else
      do_Drosa_update(UPDATE_INSERT_AFTER, first, last,
                      grace_place(n, chord_first, chord_last, nachschlag_after), NIL, perf_mode, 1);
  } else {
    int32_t covered = 0;
    Drosa stretch_last = replaced_stretch(n, dn, chord_first, chord_last, dc, report, &covered);
    if (!stretch_last) {
      destroy_Drosa_list(first);
      return 0;
    }
    if (covered - dn > TOL) {
      KindTable table;
      table.add(kind_of(n));
      add_kinds_of_notes(table, chord_first, stretch_last);
      table.add(PLAIN_REST_KIND);
      Drosa tail = last;
      if (!make_fill_rests(covered - dn, find_time_in_bar(insertion_point) + dn, &tail, table.kinds,
                           table.count)) {
        destroy_Drosa_list(first);
        return 0;
      }
      // The insertion point goes on to the first rest that fills the time after the new chord,
      // where the next note belongs.
      if (tail != last) resume_from = last;
      last = tail;
    }
    do_Drosa_update(UPDATE_REPLACE, first, last, chord_first, stretch_last, perf_mode, 1);
  }
  advance_insertion_point(resume_from ? resume_from->xnext : after_layout(last)->xnext,
                          fallback ? fallback : last, keep_view);
  return 1;
}

void delete_to_rests(Drosa note, int no_rests, int adjust_acc) {
  if (!note || note->xkind != NOTE) return;
  if (vchord_first_note(note) == note) {
    Drosa end = note->get(xendvcd) ? note : NIL;
    for (Drosa p = note; p; p = p->xnext) {
      int k = effective_kind(p);
      if (p->xkind == NOTE) {
        if (!p->get(xselected)) break;
        if (p->get(xendvcd)) end = p;
      } else if (k == PRINT || k == BAR || k == CLEF || k == ENDSYST) {
        break;
      }
    }
    if (end) {
      int32_t sum = 0;
      for (Drosa c = note; c;) {
        Drosa f, l;
        int32_t d = vchord_bounds(c, &f, &l);
        sum += d == NO_TIME ? 0 : d;
        if (l == end || !l) break;
        c = next_note(after_layout(l));
      }
      if (!no_rests && sum > TOL) {
        restify(note, end, sum, adjust_acc);
      } else {
        if (Drosa xmlt = find_prev_kind_until(XMLT, note, BAR, 0)) removevc_with_undo(xmlt);
        restify(note, end, no_rests ? 0 : sum, adjust_acc);
      }
      mark_piece_changed(1, 1, 0);
      return;
    }
  }
  Drosa chord_first, chord_last;
  int32_t dchord = vchord_bounds(note, &chord_first, &chord_last);
  int32_t dnote = note_duration(note, 1);
  int shortest = 0;
  for (Drosa p = chord_first; p; p = p->xnext) {
    if (p->xkind == NOTE && within(note_duration(p, 1), dchord)) ++shortest;
    if (p == chord_last) break;
  }
  if (within(dnote, dchord) && shortest == 1 && dchord != 0 && !no_rests) {
    Drosa rest = newDrosa(NOTE, 0);
    rest->set(xrest, 1);
    rest->set(xendvcd, 1);
    rest->set(xdir, 3);
    rest->set(xlgval, note->get(xlgval));
    rest->set(xdots, note->get(xdots));
    rest->set(xtupl, note->get(xtupl));
    rest->set(xintimeof, note->get(xintimeof));
    Drosa chain = rest;
    if (Drosa nest = find_prev_kind_stop_2(NEST, note, 0)) {
      chain = copyDrosa(nest);
      link_after(rest, chain);
    }
    do_Drosa_update(UPDATE_EXTEND_CHORD, chain, rest, chord_last, NIL, 1, 1);
  }
  do_Drosa_update(UPDATE_DELETE, NIL, NIL, note, note, 0, adjust_acc);
  mark_piece_changed(1, 1, 0);
}

void measure_keeps_a_note(Drosa node) {
  Drosa start = find_prev_kind_until(BAR, node, ENDSYST, 0);
  if (!start) start = find_prev_kind(ENDSYST, node);
  if (!start) return;
  for (Drosa p = start->xnext; p; p = p->xnext) {
    if (p->xkind == NOTE && !p->get(xgrace) && !p->get(xselected) && p != insertion_point) return;
    int k = effective_kind(p);
    if (k == BAR || k == ENDSYST) {
      empty_measure_found = 1;
      return;
    }
  }
}
