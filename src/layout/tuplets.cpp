// tuplets.cpp: tuplet groups of a system, found for the drawing of their numbers, and the bar
// separator marks that stand before the note after a bar.
//
// Groups are found voice by voice: where two voices share a chain, the stem groups of the
// other neither join nor break a group. A group opens at a note whose tuplet factor (xtupl
// times the NEST multiplier) is not 1 and takes in the voice's following chords while each
// lies in an outermost tuplet of the same pace (a 5:4 after a 3:2 starts a group of its own)
// and starts where the group's running time says it should; it is complete when the running
// time is a whole multiple of the group's expected total (the factor times the shortest
// duration met). A note of factor 1 or of another pace, a gap in time or the end of the chain
// leaves an incomplete group unmarked, unless the voice goes on with it on another chain of
// the system (its notes moved to the other staff). Grace notes take no time and are passed
// over.
#include "layout/tuplets.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_set>
#include <vector>

#include "layout/format.h"
#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "layout/layout_records.h"
#include "model/model_services.h"

namespace {

// The last note of its stem group: it ends its chord, or the next note stems the other way.
bool ends_stem_group(Drosa note) {
  Drosa nt = note_ntdata(note);
  if (nt->get(xendscd)) return true;
  Drosa next = chain_next(note);
  return !note_ntdata(next) || note_ntdata(next)->get(xstmdir) != nt->get(xstmdir);
}

int32_t tuplet_factor(Drosa note) {
  int32_t f = note->get(xtupl);
  if (Drosa nest = attached_to_note(NEST, note)) f *= nest->get(xnest_tupl);
  return f;
}

void set_chord_marks(Drosa cd, int start, int end, int mark) {
  cd->set(xtup_start, start);
  cd->set(xtup_end, end);
  cd->set(xtup_mark, mark);
}

// The outermost tuplet a note lies in, as its count and the time it takes (xintimeof): the
// NEST's when one stands before the note, else the note's own. Two are the same tuplet when
// their notes move at the same pace: a 6:4 goes on with a 3:2, not with a 5:4.
struct Outer {
  int32_t actual = 1, intimeof = 4;
  bool operator==(const Outer& o) const {
    return int64_t(actual) * o.intimeof == int64_t(o.actual) * intimeof;
  }
};

Outer outer_tuplet(Drosa note) {
  if (Drosa nest = attached_to_note(NEST, note); nest && nest->get(xnest_tupl) > 1)
    return {nest->get(xnest_tupl), nest->get(xnest_intimeof)};
  return {note->get(xtupl), note->get(xintimeof)};
}

struct Group {
  bool open = false;
  Outer outer;              // the outermost tuplet of its notes
  int32_t start_time;       // time of the first chord from the system start
  int32_t expected;         // the total that completes the group
  int32_t time;             // the running time
  std::vector<Drosa> ends;  // the last notes of its stem groups, in time
};

// Notes a group took in from another chain, when the voice carried the group across to it,
// and their chords' records: that chain's own walk leaves them as they are.
using TakenAcross = std::unordered_set<uint32_t>;

// Where the number of a complete group goes. m is the middle of the group's time: a chord
// whose middle lies within 50 of m gets mark 1 (over it); otherwise the number goes between
// the two chords whose middles lie either side of m, and the later of them gets mark 2 (the
// number stands before it: it is drawn when both chords are known). A first chord with m in
// its first half, or a last one with m in its second half, gets mark 1, and so does the later
// chord when the two stand on different chains (the voice went on to the other staff).
void mark_middle(const Group& g) {
  const int32_t m = g.time / 2;
  int32_t s = 0;
  Drosa previous = NIL, previous_note = NIL;
  bool mark_next = false;  // the number goes between the chord just passed and this one
  for (Drosa n : g.ends) {
    Drosa cd = cddatptr(n, 1);
    if (mark_next) {
      if (cd) cd->set(xtup_mark, chord_chain(n) == chord_chain(previous_note) ? 2 : 1);
      return;
    }
    const int32_t d = note_duration(n, 0), middle = s + d / 2;
    if (cd && std::abs(middle - m) <= TIME_TOLERANCE) {
      cd->set(xtup_mark, 1);
      return;
    }
    if (cd && s + d >= m - TIME_TOLERANCE) {
      if (m >= middle && n != g.ends.back()) {
        mark_next = true;
      } else {
        const bool between = m < middle && previous && chord_chain(n) == chord_chain(previous_note);
        cd->set(xtup_mark, between ? 2 : 1);
        return;
      }
    }
    s += d;
    previous = cd;
    previous_note = n;
  }
}

// A complete group is marked: its notes, its first and last chords and its number's chord.
// Marks of another voice's group in a chord both share stay.
void mark_group(const Group& g) {
  for (Drosa n : g.ends) note_ntdata(n)->set(xtup_info, 1);
  note_ntdata(g.ends.front())->set(xtup_first, 1);
  note_ntdata(g.ends.back())->set(xtup_last, 1);
  cddatptr(g.ends.front(), 1)->set(xtup_start, 1);
  cddatptr(g.ends.back(), 1)->set(xtup_end, 1);
  mark_middle(g);
}

void open_group(Group& g, Drosa note, Drosa cd, int32_t f, int32_t d) {
  g = Group{true, outer_tuplet(note), cd->xnext->get(xswholec), f * d, d, {note}};
}

// The chord n of factor f and duration d goes on with the open group: true when the group is
// then complete (marked, and closed).
bool take_in(Group& g, Drosa n, int32_t f, int32_t d) {
  if (f * d < g.expected - TIME_TOLERANCE) g.expected = f * d;
  g.time += d;
  g.ends.push_back(n);
  if (div_round50(g.time, g.expected) == 0) return false;
  mark_group(g);
  g.open = false;
  return true;
}

// Whether the chord of n goes on with the open group: in the same outermost tuplet, where the
// group's running time says.
bool goes_on(const Group& g, Drosa n, int32_t f, Drosa cd) {
  return f != 1 && outer_tuplet(n) == g.outer &&
         std::abs(cd->xnext->get(xswholec) - g.start_time - g.time) <= TIME_TOLERANCE;
}

// A group its chain leaves incomplete goes on with the voice's next chord when that stands on
// another chain of the system (the voice went on to the other staff) where the group has come
// to: the chords of that chain from there are taken in. True when that completes it.
bool complete_across(Group& g, int chain, TakenAcross& taken_across) {
  Drosa n = g.ends.back();
  const int voice = n->get(xvoice);
  while (n && !(n->xkind == NOTE && n->get(xendvcd))) n = n->xnext;
  for (n = n ? n->xnext : NIL; n && effective_kind(n) != ENDSYST; n = n->xnext)
    if (n->xkind == NOTE && n->get(xvoice) == voice && !n->get(xgrace)) break;
  if (!n || n->xkind != NOTE || !note_ntdata(n) || chord_chain(n) < 0 || chord_chain(n) == chain)
    return false;
  std::vector<Drosa> taken;
  for (; note_ntdata(n); n = chain_next(n)) {
    if (!ends_stem_group(n) || n->get(xgrace) || n->get(xvoice) != voice) continue;
    Drosa cd = cddatptr(n, 1);
    const int32_t f = tuplet_factor(n);
    if (!cd || !goes_on(g, n, f, cd)) return false;
    taken.push_back(n);
    if (take_in(g, n, f, note_duration(n, 0))) {
      for (Drosa t : taken) {
        taken_across.insert(t.handle());
        taken_across.insert(cddatptr(t, 1).handle());
      }
      return true;
    }
  }
  return false;
}

// The groups of one voice on a chain: the stem groups of other voices sharing it neither go on
// with a group of this one nor break it.
void group_voice(Drosa head, int chain, int voice, TakenAcross& taken_across) {
  Group g;
  for (Drosa n = chain_next(head); note_ntdata(n); n = chain_next(n)) {
    if (!ends_stem_group(n) || n->get(xgrace) || n->get(xvoice) != voice) continue;
    if (taken_across.count(n.handle())) {
      g.open = false;
      continue;
    }
    const int32_t f = tuplet_factor(n);
    if (f == 1 && !g.open) continue;
    Drosa cd = cddatptr(n, 1);
    if (!cd) continue;
    const int32_t d = note_duration(n, 0);
    if (g.open) {
      if (goes_on(g, n, f, cd)) {
        take_in(g, n, f, d);
        continue;
      }
      complete_across(g, chain, taken_across);
      g.open = false;
    }
    if (f != 1) open_group(g, n, cd, f, d);
  }
  if (g.open) complete_across(g, chain, taken_across);
}

// One chain: its marks cleared (but for notes a group of another chain took in), then the
// groups of each voice with tuplets on it found; false when interrupted.
bool group_chain(Drosa head, int chain, TakenAcross& taken_across) {
  std::vector<int> voices;
  for (Drosa n = chain_next(head); note_ntdata(n); n = chain_next(n)) {
    Drosa nt = note_ntdata(n);
    if (nt->get(xendscd) && format_interrupted()) return false;
    if (taken_across.count(n.handle())) continue;
    nt->set(xtup_info, 0);
    nt->set(xtup_first, 0);
    nt->set(xtup_last, 0);
    Drosa cd = cddatptr(n, 1);
    if (cd && !taken_across.count(cd.handle())) set_chord_marks(cd, 0, 0, 0);
    const int voice = n->get(xvoice);
    if (cd && tuplet_factor(n) != 1 &&
        std::find(voices.begin(), voices.end(), voice) == voices.end())
      voices.push_back(voice);
  }
  for (int voice : voices) group_voice(head, chain, voice, taken_across);
  return true;
}

}  // namespace

int32_t group_tuplets() {
  TakenAcross taken_across;
  for (int p = std::max(first_pstaff, 0); p <= std::min(last_pstaff, MAX_PSTAVES - 1); ++p)
    for (int layer = 0; layer < LAYERS; ++layer)
      if (Drosa head = staff_data[p].ppnt[layer];
          head && !group_chain(head, p * LAYERS + layer, taken_across))
        return 0;
  return 1;
}

// ---- Bar separators -----------------------------------------------------------------------

namespace {

// The next NOTE after node, or the ENDSYST reached first; NIL at the end of the list.
Drosa next_note_or_endsyst(Drosa node) {
  for (Drosa p = node ? node->xnext : NIL; p; p = p->xnext) {
    int kind = effective_kind(p);
    if (kind == NOTE || kind == ENDSYST) return p;
  }
  return NIL;
}

}  // namespace

Drosa find_BARSEP(Drosa node) {
  Drosa target = next_note_or_endsyst(node);
  return target ? find_prev_kind_stop(BARSEP, target, 0) : NIL;
}

Drosa toggle_BARSEP(Drosa node, int on) {
  Drosa target = next_note_or_endsyst(node);
  if (!node || !target) return NIL;
  Drosa found = find_prev_kind_stop(BARSEP, target, 0);
  if (on) {
    if (found || !node->xback) return found;
    Drosa mark = newDrosa(BARSEP, current_ncontext);
    insertvc_node_with_undo(mark, node->xback);
    return mark;
  }
  Drosa last = NIL;
  for (; found; found = find_prev_kind_stop(BARSEP, target, 0)) {
    removevc_with_undo(found);
    last = found;
  }
  return last;
}
