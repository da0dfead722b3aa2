// acc.cpp: printed accidentals carried through bars, ties and keys, and respelling.
//
// The rules judge one note N at a time against G, the note the accidental in force at N
// comes from (the note N is tied from, else the nearest printing note of the unbroken run on
// its line in the bar), and then judge F, the note that follows N on its line, against N.
// When F begins exactly where N ends (A, the adjacent note), F is judged afresh by the same
// rules instead; such chains of adjacent notes (repeated notes, long ties) are followed in
// a loop, never by recursion, so a chain of any length costs no stack.
//
// Judging F as if a range of notes were gone (ACC_REMOVING), N is marked as a rest while the
// chain after it is judged. The mark is not recorded for undo and is always taken off before
// the routine returns.
#include "editing/acc.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "editing/editing_globals.h"
#include "performance/performance_services.h"

namespace {

constexpr int FLAT = 2, NATURAL = 3, SHARP = 4;

KeysigAnswer& keysig_slot(Drosa node) {
  return keysig_answers[node.handle() % KEYSIG_ANSWER_SLOTS];
}

// The answer kept for the node, or null.
const KeysigAnswer* kept_keysig_answer(Drosa node) {
  const KeysigAnswer& a = keysig_slot(node);
  if (a.from != node || a.changes != changes_beside_notes() || a.context != current_ncontext ||
      !kept_place(KEPT_KEYSIGS, node))
    return nullptr;
  return &a;
}

void keep_keysig_answer(Drosa node, Drosa keysig) {
  keysig_slot(node) = {node, keysig, changes_beside_notes(), current_ncontext};
  keep_place(KEPT_KEYSIGS, node);
}
constexpr int SPACC_ENTRIES = 15;

// A note of the line: a NOTE on the step that is not a rest.
bool line_note(Drosa p, int32_t step) {
  return p->xkind == NOTE && !p->get(xrest) && p->get(xmod7) == step;
}

// A bar line, system break or key signature the current context sees: an accidental is
// carried no further.
bool ends_carrying(Drosa p) {
  int k = effective_kind(p);
  return k == BAR || k == ENDSYST || k == KEYSIG;
}

int32_t duration_of(Drosa note) { return note_duration(note, 0); }

Drosa spacc_of(Drosa note) { return note ? find_prev_kind_stop_2(SPACC, note, 0) : NIL; }

bool same_spacc(Drosa a, Drosa b) {
  int count = a->get(xnumspacc);
  if (count != b->get(xnumspacc)) return false;
  for (int i = 0; i < std::min(count, SPACC_ENTRIES); ++i)
    if (a->get(xspacc_entry, i) != b->get(xspacc_entry, i)) return false;
  return true;
}

// Sets a note's xaccplot, recorded for undo.
void set_accplot(Drosa note, int value) {
  record_note_change(note);
  note->set(xaccplot, value);
}

// The entry of a chord end whose bar's notes on lines are known up to it (an entry run keeps
// them): a walk back along a step from there takes the step's notes alone, up to the bar line.
const KnownChord* known_lines_at(Drosa p) {
  if (p->xkind != NOTE || !p->get(xendvcd)) return nullptr;
  const KnownChord* k = known_chord(p);
  return k && k->lines_known ? k : nullptr;
}

// find_prev_note_on_line, walking back from p itself.
Drosa prev_note_on_line_from(int32_t step, Drosa p) {
  Drosa candidate = NIL;
  // Takes one note of the line; true when the walk ends with the candidate.
  auto take = [&](Drosa q) {
    if (candidate && q->get(xacc) != candidate->get(xacc)) return true;
    candidate = q;
    return q->get(xaccplot) != 0;
  };
  for (; p; p = p->xback) {
    if (ends_carrying(p)) break;
    if (const KnownChord* k = entry_run_open() ? known_lines_at(p) : nullptr) {
      for (int32_t i = known_line_last(*k, step); i >= 0; i = known_line_prev(i))
        if (line_note(known_line_note(i), step) && take(known_line_note(i))) break;
      return candidate;
    }
    if (line_note(p, step) && take(p)) break;
  }
  return candidate;
}

// The next note of the line after the node, in its bar (before a BAR, ENDSYST or KEYSIG).
Drosa next_line_note(int32_t step, Drosa node) {
  for (Drosa p = node->xnext; p; p = p->xnext) {
    if (ends_carrying(p)) return NIL;
    if (line_note(p, step)) return p;
  }
  return NIL;
}

// The range handed to adjust_accidentals: its ends as given, and its first and last NOTE.
struct AccRange {
  Drosa first, last;
  Drosa first_note, last_note;
};

AccRange note_range(Drosa first, Drosa last) {
  AccRange r{first, last, NIL, NIL};
  for (Drosa p = first; p; p = p->xnext) {
    if (p->xkind == NOTE) {
      if (!r.first_note) r.first_note = p;
      r.last_note = p;
    }
    if (p == last) break;
  }
  return r;
}

// Whether N keeps its accidental hidden, judged against G (NIL none).
bool own_accidental_hidden(Drosa n, Drosa g, int32_t step) {
  Drosa n_spacc = spacc_of(n);
  if (!g) return !n_spacc && key_implies_accidental(keysig_before(n), step, n->get(xacc));
  Drosa g_spacc = spacc_of(g);
  if (!g_spacc && !n_spacc)
    return g->get(xacc) == n->get(xacc) &&
           (g->get(xaccplot) || key_implies_accidental(keysig_before(n), step, n->get(xacc)));
  return g_spacc && n_spacc && same_spacc(g_spacc, n_spacc) && g->get(xaccplot);
}

// Whether F prints its accidental, judged against what stands before it.
int follower_display(int op, Drosa n, Drosa g, Drosa f, const AccRange& r, int32_t step) {
  Drosa f_spacc = spacc_of(f);
  if (op == ACC_CHANGED) {
    if (Drosa n_spacc = spacc_of(n)) return f_spacc && same_spacc(n_spacc, f_spacc) ? 0 : 1;
    if (f_spacc) return 1;
    return f->get(xacc) != n->get(xacc);
  }
  if (!g) {
    if (f_spacc) return 1;
    return !key_implies_accidental(keysig_before(r.first), step, f->get(xacc));
  }
  if (Drosa g_spacc = spacc_of(g)) return f_spacc && same_spacc(g_spacc, f_spacc) ? 0 : 1;
  if (f_spacc) return 1;
  return f->get(xacc) != g->get(xacc);
}

// Judges one note N of the range. Returns a note to be judged next on its own with
// ACC_CHANGED (NIL none); *mask_n is set when N must count as a rest meanwhile.
Drosa adjust_one(int op, Drosa n, const AccRange& r, bool* mask_n, BarTime* time = nullptr) {
  *mask_n = false;
  BarTime own(n);
  if (!time) time = &own;
  int acc = n->get(xacc);
  if (acc == 0 || acc > 5) {
    REPORT_ERROR(4, "Bad accidental in adjust_accidentals");
    return NIL;
  }
  const int32_t step = n->get(xmod7);
  const bool removing = op == ACC_REMOVING, follow = op != ACC_OWN_ONLY;
  Drosa t = !removing || n == r.first_note ? find_tied_prev_note_on_line(step, n, time) : NIL;
  Drosa a =
      follow && (!removing || n == r.last_note) ? find_adjacent_note_on_line(step, n, time) : NIL;
  Drosa g = t ? t : prev_note_on_line_from(step, (removing ? r.first : n)->xback);
  Drosa f = NIL;
  if (follow) f = a ? a : next_line_note(step, removing ? r.last : n);

  if (!removing && !t && !n->get(xaccplot) && !own_accidental_hidden(n, g, step)) set_accplot(n, 1);
  if (!follow || !f) return NIL;
  if (a) {
    if (a->get(xaccplot)) set_accplot(a, 0);
    *mask_n = removing;
    return a;
  }
  if (op == ACC_CHANGED && t && (*time)() == 0) return f;
  int x = follower_display(op, n, g, f, r, step);
  if (f->get(xaccplot) != x) set_accplot(f, x);
  return NIL;
}

// Judges a note on its own with ACC_CHANGED, and each note that this hands on in turn.
void adjust_chain(Drosa note) {
  while (note) {
    AccRange alone{note, note, note, note};
    bool unused;
    note = adjust_one(ACC_CHANGED, note, alone, &unused);
  }
}

int32_t floor_mod(int32_t a, int32_t b) { return ((a % b) + b) % b; }

}  // namespace

void record_note_change(Drosa note) { modifyvc_with_undo(note); }

// The key signature in force before the node (NIL none), as find_prev_kind finds it; a walk
// that reaches a node with a kept answer takes that answer.
Drosa keysig_before(Drosa node) {
  if (const KeysigAnswer* a = kept_keysig_answer(node)) return a->keysig;
  Drosa found = NIL;
  // The handles of the system starts passed, which take the answer too (not cleared: used up
  // to the count).
  std::array<uint32_t, KEYSIG_ANSWER_SLOTS> passed;
  uint32_t passed_count = 0;
  for (Drosa p = node->xback; p; p = p->xback) {
    // A key signature is the answer itself, even where an answer for the nodes before it is kept.
    int k = effective_kind(p);
    if (k == KEYSIG) {
      found = p;
      break;
    }
    if (const KeysigAnswer* a = kept_keysig_answer(p)) {
      found = a->keysig;
      break;
    }
    if (k != ENDSYST) continue;
    if (p->get(xstartpiece)) break;
    if (passed_count < KEYSIG_ANSWER_SLOTS) passed[passed_count++] = p.handle();
  }
  for (uint32_t i = 0; i < passed_count; ++i) keep_keysig_answer(Drosa(passed[i]), found);
  keep_keysig_answer(node, found);
  return found;
}

bool key_implies_accidental(Drosa keysig, int32_t step, int accidental) {
  if (!keysig) return accidental == NATURAL;
  if (accidental == 1 || accidental == 5) return false;
  const int s = floor_mod(step, 7);
  const int count = std::min<int>(keysig->get(xkeycnt), xkeysig_entry.count);
  for (int i = 0; i < count; ++i) {
    int code = keysig->get(xkeysig_entry, i);
    if (code == s) return accidental == FLAT;
    if (code == s + 7) return accidental == SHARP;
  }
  return accidental == NATURAL;
}

Drosa find_prev_note_on_line(int32_t step, Drosa note) {
  return note ? prev_note_on_line_from(step, note->xback) : NIL;
}

int32_t BarTime::operator()() {
  if (!known_) time_ = find_time_in_bar(note_), known_ = true;
  return time_;
}

int32_t BarTime::left() {
  if (!left_known_) left_ = find_meas_time_left(note_), left_known_ = true;
  return left_;
}

Drosa find_tied_prev_note_on_line(int32_t step, Drosa note) {
  BarTime time(note);
  return find_tied_prev_note_on_line(step, note, &time);
}

// The note's time in its bar is asked for only at a bar line or at a tied note of the line.
Drosa find_tied_prev_note_on_line(int32_t step, Drosa note, BarTime* time) {
  if (!note) return NIL;
  BarTime& t = *time;
  int bars = 0;
  // Whether the walk ends at the line's note p: with p in `found` when p is tied into the note,
  // with NIL when p is not tied; a tied note that ends elsewhere is passed.
  Drosa found = NIL;
  auto ends_at = [&](Drosa p) {
    if (!p->get(xtie)) return true;
    int64_t miss = t() == 0 ? int64_t(find_meas_time_left(p)) - duration_of(p)
                            : int64_t(find_time_in_bar(p)) + duration_of(p) - t();
    if (std::llabs(miss) > TIME_TOLERANCE) return false;
    found = p;
    return true;
  };
  for (Drosa p = note->xback; p; p = p->xback) {
    if (effective_kind(p) == BAR) {
      if (t() != 0 || ++bars == 2) return NIL;
      continue;
    }
    // In the bar of a note that does not begin it, the walk ends at the bar line.
    if (const KnownChord* k = bars == 0 && entry_run_open() ? known_lines_at(p) : nullptr;
        k && t() != 0) {
      for (int32_t i = known_line_last(*k, step); i >= 0; i = known_line_prev(i))
        if (line_note(known_line_note(i), step) && ends_at(known_line_note(i))) return found;
      return NIL;
    }
    if (line_note(p, step) && ends_at(p)) return found;
  }
  return NIL;
}

Drosa find_adjacent_note_on_line(int32_t step, Drosa note, BarTime* time) {
  if (!note) return NIL;
  BarTime own(note);
  BarTime& start = time ? *time : own;
  // Whether the note ends its bar, and where it ends in the bar: asked only when needed.
  int ends_at_bar = -1;
  auto at_bar_end = [&] {
    if (ends_at_bar < 0)
      ends_at_bar = std::llabs(int64_t(start.left()) - duration_of(note)) <= TIME_TOLERANCE;
    return ends_at_bar == 1;
  };
  int bars = 0;
  for (Drosa p = note->xnext; p; p = p->xnext) {
    if (effective_kind(p) == BAR) {
      if (!at_bar_end() || ++bars == 2) return NIL;
      continue;
    }
    if (!line_note(p, step)) continue;
    const int64_t t = find_time_in_bar(p);
    if (at_bar_end() ? t == 0 : std::llabs(t - start() - duration_of(note)) <= TIME_TOLERANCE)
      return p;
  }
  return NIL;
}

Drosa find_next_note_on_line(int32_t step, Drosa node) {
  for (Drosa p = node ? node->xnext : NIL; p; p = p->xnext) {
    if (ends_carrying(p)) return NIL;
    if (p->xkind == NOTE && p->get(xmod7) == step) return p;
  }
  return NIL;
}

int32_t note_keysig_value(Drosa note) {
  Drosa keysig = note ? keysig_before(note) : NIL;
  return keysig ? keysig->get(key_transposition) : 0;
}

int effective_accidental(Drosa note) {
  const int32_t step = note->get(xmod7);
  if (Drosa t = find_tied_prev_note_on_line(step, note)) return t->get(xacc);
  if (Drosa g = find_prev_note_on_line(step, note)) return g->get(xacc);
  Drosa keysig = keysig_before(note);
  for (int acc : {FLAT, NATURAL, SHARP})
    if (key_implies_accidental(keysig, step, acc)) return acc;
  return NATURAL;
}

void adjust_accidentals(int op, Drosa first, Drosa last) {
  if (op != ACC_CHANGED && op != ACC_REMOVING && op != ACC_OWN_ONLY) {
    REPORT_ERROR(4, "acc.c: unrecognized operation in adjust_accidental_plotting");
    return;
  }
  if (!first || !last || first->xback == last) return;
  const AccRange range = note_range(first, last);
  // The notes of a chord share its time in the bar, found once for them.
  BarTime chord_time(first);
  bool begins_chord = true;
  for (Drosa p = first; p; p = p->xnext) {
    const int kind = effective_kind(p);
    if (kind == BAR || kind == ENDSYST) begins_chord = true;
    if (p->xkind == NOTE) {
      if (begins_chord) chord_time = BarTime(p);
      begins_chord = p->get(xendvcd) != 0;
    }
    if (p->xkind == NOTE && !p->get(xrest)) {
      bool mask = false;
      Drosa next = adjust_one(op, p, range, &mask, &chord_time);
      if (next) {
        if (mask) p->set(xrest, 1);
        adjust_chain(next);
        if (mask) p->set(xrest, 0);
      }
    }
    if (p == last) break;
  }
}

void respell_note(Drosa note, Drosa spacc, int32_t key, int choice) {
  if (!is_NOTE(note)) return;
  modifyvc_with_undo(note);
  adjust_accidentals(ACC_REMOVING, note, note);
  while (Drosa old = spacc_of(note)) removevc_with_undo(old);
  if (spacc) {
    insertvc_node_with_undo(copyDrosa(spacc), note->xback);
  } else {
    const Spelling& s = pitch_spelling_table[floor_mod(key, 12)][std::clamp(choice, 0, 2)];
    int32_t position = (key - floor_mod(key, 12)) / 12 * 7 + s.step;
    note->set(xmod7, int8_t(std::clamp<int32_t>(position, INT8_MIN, INT8_MAX)));
    note->set(xacc, s.accidental);
  }
  note->set(xaccplot, 0);
  adjust_accidentals(ACC_CHANGED, note, note);
  note->set(xpitch, note_pitch_word(note, note_keysig_value(note)));
  mark_piece_changed(1, 1, current_ncontext);
}

void respell_by_key_spelling_cb(Drosa note) {
  if (!is_NOTE(note) || note->get(xrest)) return;
  int32_t key = step_to_key(note->get(xmod7), note->get(xacc), 0);
  respell_note(note, NIL, key, key_spelling[floor_mod(key, 12)]);
}

void apply_palette_accidental_cb(Drosa note) {
  if (!is_NOTE(note) || note->get(xrest)) return;
  const bool special = set_template_accidental() != 0;
  const int wanted = current_note_template->get(xacc);
  if (!special && note->get(xacc) == wanted && !spacc_of(note)) return;
  if (special) {
    respell_note(note, spacc_template, 0, 0);
    return;
  }
  int32_t key = step_to_key(note->get(xmod7), note->get(xacc), 0);
  for (int i = 0; i < 3; ++i) {
    if (pitch_spelling_table[floor_mod(key, 12)][i].accidental != wanted) continue;
    respell_note(note, NIL, key, i);
    return;
  }
}
