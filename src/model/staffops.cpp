// staffops.cpp: staff chords: finding a chord's notes and records from any of its notes,
// keeping a print chain consistent when a note leaves its chord, following beams and piano
// hand changes from chord to chord, and finding what stands before a chord's notes.
//
// A print chain runs through the NTDATA records of the notes of one pstaff and layer: xpnext
// forward, xpback back, from a dummy head note whose NTDATA carries xendscd. A staff chord
// is the run of chain notes after a note with xendscd up to and including the next note
// with xendscd; its CDDATA, CDDATA2 and CDDATA3 follow the NTDATA of that last note.
//
// Every routine accepts NIL and notes outside any chain and answers with a neutral value
// rather than following a missing link; the chain walks stop where a link leads to no note.
#include "model/staffops.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "model/durashn.h"
#include "model/error_report.h"
#include "model/node_fields.h"
#include "model/node_kinds.h"
#include "model/voice_chords.h"
#include "model/voice_lists.h"

namespace {

constexpr int32_t NO_RIGHT_EDGE = 2100000000;  // the right edge of a chord with no note after it

// The NTDATA of a note in place, as note_ntdata finds it; nullptr where that gives NIL. The
// chain walks below read it at once: the node is reached once, not again through its link.
DrosaNode* ntdata_node(Drosa note) {
  const Drosa nt = note_ntdata(note);
  return nt ? &*nt : nullptr;
}

// ---- Chain links -------------------------------------------------------------------------

bool ends_chord(Drosa note) {
  const DrosaNode* nt = ntdata_node(note);
  return nt && nt->get(xendscd);
}

int stem_dir(Drosa note) {
  Drosa nt = note_ntdata(note);
  return nt ? nt->get(xstmdir) : 0;
}

// The note a node stands for: a note itself; for a CDDATA the note two nodes before it.
Drosa chord_note_of(Drosa node) {
  if (!node) return NIL;
  const DrosaNode& n = *node;
  if (n.xkind == NOTE) return node;
  if (n.xkind != CDDATA || !n.xback) return NIL;
  Drosa note = n.xback->xback;
  return is_NOTE(note) ? note : NIL;
}

// The notes first..last in chain order (stopping early where the chain breaks off).
std::vector<Drosa> chain_run(Drosa first, Drosa last) {
  std::vector<Drosa> notes;
  for (Drosa p = first; note_ntdata(p); p = chain_next(p)) {
    notes.push_back(p);
    if (p == last) break;
  }
  return notes;
}

// ---- Chord records -------------------------------------------------------------------------

// CDDATA2 and CDDATA3 of a CDDATA, or NIL when the run of records is broken.
Drosa cddata2_of(Drosa cd) {
  if (!cd || cd->xkind != CDDATA) return NIL;
  Drosa cd2 = cd->xnext;
  return cd2 && cd2->xkind == CDDATA2 ? cd2 : NIL;
}

Drosa cddata3_of(Drosa cd) {
  Drosa cd2 = cddata2_of(cd);
  Drosa cd3 = cd2 ? cd2->xnext : NIL;
  return cd3 && cd3->xkind == CDDATA3 ? cd3 : NIL;
}

// Moves the run first..last (linked in order) from where it stands to right after anchor.
void move_run_after(Drosa first, Drosa last, Drosa anchor) {
  Drosa before = first->xback, after = last->xnext;
  if (before) before->xnext = after;
  if (after) after->xback = before;
  first->xback = NIL;
  last->xnext = NIL;
  link_chain_after(first, last, anchor);
}

// The CDDATA of a layer walk's start: a visible CDDATA itself, or that of a visible note's
// staff chord; NIL for anything else.
Drosa layer_walk_start(Drosa node) {
  if (!node) return NIL;
  if (effective_kind(node) == CDDATA) return node;
  if (is_visible_note(node)) return cddatptr(node, 1);
  return NIL;
}

// The neighbouring chord through the CDDATA3 link when it stands at the same time point of
// the same pstaff; else NIL.
Drosa same_time_neighbour(Drosa cd, const LinkField& link) {
  Drosa cd3 = cddata3_of(cd);
  if (!cd3) return NIL;
  Drosa other = cd3->get(link);
  Drosa other3 = cddata3_of(other);
  if (!other3 || other3->get(xpstaff) != cd3->get(xpstaff)) return NIL;
  if (cddata2_of(other)->get(xchordNum) != cddata2_of(cd)->get(xchordNum)) return NIL;
  return other;
}

Drosa layer_walk(Drosa node, const LinkField& link) {
  Drosa cd = layer_walk_start(node);
  if (!cd) {
    REPORT_ERROR(4, "confusion in layer_first");
    return node;
  }
  for (Drosa next = same_time_neighbour(cd, link); next; next = same_time_neighbour(cd, link))
    cd = next;
  return cd;
}

// ---- Piano hands ----------------------------------------------------------------------------

// The hand a PRINT's hand code gives a note before it (backward) or after it (forward).
int hand_before(int16_t code) { return code == 1 ? 1 : 2; }
int hand_after(int16_t code) { return code == 1 ? 2 : 1; }

// Looks from a note through the nodes attached to it for a visible PRINT with a hand code:
// backward before the note, or forward after its NTDATA, up to a visible ENDSYST or a note
// (grace notes are passed over unless the group itself is of grace notes).
Drosa hand_print_near(Drosa note, bool forward, bool grace_group) {
  Drosa start = forward ? note_ntdata(note) : note;
  if (!start) return NIL;
  for (Drosa p = forward ? start->xnext : start->xback; p; p = forward ? p->xnext : p->xback) {
    if (p->xkind == NOTE) {
      if (p->get(xgrace) && !grace_group) continue;
      return NIL;
    }
    int kind = effective_kind(p);
    if (kind == ENDSYST) return NIL;
    if (kind == PRINT && p->get(xlhrh) != 0) return p;
  }
  return NIL;
}

// The PRINT with a hand code found first for the notes first..last, or NIL.
Drosa hand_print_of_group(Drosa first, Drosa last, bool forward) {
  bool grace_group = first->get(xgrace);
  for (Drosa n = first; note_ntdata(n); n = n == last ? NIL : chain_next(n)) {
    Drosa print = hand_print_near(n, forward, grace_group);
    if (print) return print;
  }
  return NIL;
}

// ---- Searching before the notes of a chord ---------------------------------------------------

// The node of the kind attached before the note: of two clefs, keys or time signatures there,
// the one nearest the note, which is in force at it (the other, a change that a voice holding
// a note through it makes before a change back, holds for no note); of other kinds the
// earliest.
Drosa attached_before(int kind, Drosa note) {
  if (kind == CLEF || kind == KEYSIG || kind == TIMESIG)
    return find_prev_kind_stop_2(kind, note, 0);
  return find_prev_kind_stop(kind, note, 0);
}

// Two notes of a chord carry CLEFs of different types: the voice that is at home on the
// staff decides. P1 and P2 are the PRINTs in force for the two notes; a voice that came over
// from the other hand, or that stood on another staff earlier, is the visitor.
Drosa resolve_clefs(Drosa first_clef, Drosa first_note, Drosa other_clef, Drosa other_note) {
  Drosa p1 = find_prev_kind(PRINT, first_note);
  Drosa p2 = find_prev_kind(PRINT, other_note);
  if (!p1 || !p2) return first_clef;
  int16_t s = p1->get(xsstaff);
  for (;;) {
    if (p1->get(xlhrh)) return other_clef;
    if (p2->get(xlhrh)) return first_clef;
    if (p1->get(xsstaff) != s) return other_clef;
    if (p2->get(xsstaff) != s) return first_clef;
    p1 = find_prev_kind(PRINT, p1);
    p2 = find_prev_kind(PRINT, p2);
    if (!p1 || !p2) return first_clef;
  }
}

Drosa search_clef(const std::vector<Drosa>& notes) {
  Drosa first_clef = NIL, first_note = NIL, other_clef = NIL, other_note = NIL;
  for (Drosa n : notes) {
    Drosa clef = attached_before(CLEF, n);
    if (!clef) continue;
    if (!first_clef) {
      first_clef = clef;
      first_note = n;
    } else if (clef->get(xclef) != first_clef->get(xclef)) {
      other_clef = clef;
      other_note = n;
    }
  }
  if (!other_clef) return first_clef;
  return resolve_clefs(first_clef, first_note, other_clef, other_note);
}

// A LINE counts when it is of line kind 1; the closing piece of a line broken across systems
// (order 1) only when its element variant is set.
bool line_counts(Drosa line) {
  if (line->get(xmetaline) != 1) return false;
  return line->get(xline_ord) != 1 || line->get(xline_eocvar) != 0;
}

int32_t midpoint(int32_t a, int32_t b) { return int32_t((int64_t(a) + b) / 2); }

int32_t head_x(Drosa note) { return note_ntdata(note)->get(xhdx); }

// The chord's horizontal window and the first note's head x, against which lines are tested.
struct LineWindow {
  int32_t left, right, head;

  bool holds(Drosa line) const {
    if (effective_kind(line) != LINE || !line_counts(line)) return false;
    Drosa pd = line->xnext;
    if (!pd || effective_kind(pd) != PDATA) return false;
    int32_t x1 = pd->get(xpagex1), x2 = pd->get(xpagex2);
    return (x1 >= left && x1 <= right) || (x1 <= head && x2 >= head);
  }
};

// A counting LINE before the note (back to a visible ENDSYST), then after it.
Drosa line_near(Drosa note, const LineWindow& window) {
  for (Drosa p = note->xback; p && effective_kind(p) != ENDSYST; p = p->xback)
    if (window.holds(p)) return p;
  for (Drosa p = note->xnext; p && effective_kind(p) != ENDSYST; p = p->xnext)
    if (window.holds(p)) return p;
  return NIL;
}

Drosa search_line(const std::vector<Drosa>& notes) {
  Drosa first = notes.front(), last = notes.back();
  Drosa prev = chain_prev(first), next = chain_next(last);
  LineWindow window{0, NO_RIGHT_EDGE, head_x(first)};
  if (note_ntdata(prev) && chain_prev(prev)) window.left = midpoint(head_x(prev), window.head);
  if (note_ntdata(next)) window.right = midpoint(head_x(last), head_x(next));
  int first_voice = first->get(xvoice);
  for (size_t i = 0; i < notes.size(); ++i) {
    if (i > 0 && notes[i]->get(xvoice) == first_voice) continue;
    Drosa line = line_near(notes[i], window);
    if (line) return line;
  }
  return NIL;
}

}  // namespace

// ---- Walking a print chain -------------------------------------------------------------------

Drosa chain_next(Drosa note) {
  const DrosaNode* nt = ntdata_node(note);
  return nt ? nt->get(xpnext) : Drosa();
}

Drosa chain_prev(Drosa note) {
  const DrosaNode* nt = ntdata_node(note);
  return nt ? nt->get(xpback) : Drosa();
}

Drosa last_note_cddata(Drosa last) {
  const DrosaNode* nt = ntdata_node(last);
  if (!nt || !nt->xnext) return NIL;
  const Drosa cd = nt->xnext;
  return cd->xkind == CDDATA ? cd : Drosa();
}

Drosa last_note_cddata2(Drosa last) {
  const DrosaNode* nt = ntdata_node(last);
  if (!nt || !nt->xnext) return NIL;
  const DrosaNode& cd = *nt->xnext;
  if (cd.xkind != CDDATA || !cd.xnext) return NIL;
  const Drosa cd2 = cd.xnext;
  return cd2->xkind == CDDATA2 ? cd2 : Drosa();
}

void staff_chord_notes(Drosa first, std::vector<Drosa>& notes) {
  notes.clear();
  for (Drosa n = first, nt = note_ntdata(n); nt; nt = note_ntdata(n)) {
    notes.push_back(n);
    if (nt->get(xendscd)) break;
    n = nt->get(xpnext);
  }
}

std::vector<Drosa> staff_chord_notes(Drosa first) {
  std::vector<Drosa> notes;
  staff_chord_notes(first, notes);
  return notes;
}

// ---- Chord members ------------------------------------------------------------------------------

// chord_first_note: the first note of the staff chord of a note (or of a CDDATA's chord).
// Reads: xpback, xendscd. A note outside the chains is its own chord; other nodes give NIL.
Drosa chord_first_note(Drosa node) {
  Drosa p = chord_note_of(node);
  const DrosaNode* nt = ntdata_node(p);
  if (!nt) return p;
  for (;;) {
    const Drosa prev = nt->get(xpback);
    const DrosaNode* prev_nt = ntdata_node(prev);
    if (!prev_nt || prev_nt->get(xendscd)) return p;
    p = prev;
    nt = prev_nt;
  }
}

// chord_last_note: the note with xendscd that ends the staff chord; where the chain ends
// without one, its last note.
Drosa chord_last_note(Drosa node) {
  Drosa p = chord_note_of(node);
  const DrosaNode* nt = ntdata_node(p);
  if (!nt) return p;
  while (!nt->get(xendscd)) {
    const Drosa next = nt->get(xpnext);
    const DrosaNode* next_nt = ntdata_node(next);
    if (!next_nt) return p;
    p = next;
    nt = next_nt;
  }
  return p;
}

void chord_extent(Drosa node, Drosa* first, Drosa* last) {
  if (first) *first = chord_first_note(node);
  if (last) *last = chord_last_note(node);
}

// chord_bounds: first and last note, and the shortest duration of the chord's notes
// (whole-measure rests count as their measure); 2100000000 when there is no note.
int32_t chord_bounds(Drosa node, Drosa* first, Drosa* last) {
  Drosa a = chord_first_note(node), b = chord_last_note(node);
  if (first) *first = a;
  if (last) *last = b;
  int32_t shortest = NO_TIME;
  if (!a) return shortest;
  if (!note_ntdata(a)) return note_duration(a, 0);
  for (Drosa n = a; note_ntdata(n); n = n == b ? NIL : chain_next(n)) {
    int32_t d = note_duration(n, 0);
    if (d < shortest) shortest = d;
  }
  return shortest;
}

// stem_group_bounds: the run of chain notes of the note's staff chord that stand next to it
// with the same xstmdir.
void stem_group_bounds(Drosa note, Drosa* first, Drosa* last) {
  Drosa a = note, b = note;
  if (note_ntdata(note)) {
    Drosa chord_first = chord_first_note(note), chord_last = chord_last_note(note);
    int dir = stem_dir(note);
    while (a != chord_first && note_ntdata(chain_prev(a)) && stem_dir(chain_prev(a)) == dir)
      a = chain_prev(a);
    while (b != chord_last && note_ntdata(chain_next(b)) && stem_dir(chain_next(b)) == dir)
      b = chain_next(b);
  }
  if (first) *first = a;
  if (last) *last = b;
}

// stem_group_extreme: the last note of the stem group that is not a cue note; the note
// itself when every note is a cue note. cue_out: 1 when the group holds a cue note.
Drosa stem_group_extreme(Drosa note, int* cue_out) {
  if (cue_out) *cue_out = 0;
  if (!is_NOTE(note)) return NIL;
  Drosa first, last;
  stem_group_bounds(note, &first, &last);
  Drosa extreme = NIL;
  bool cue = false;
  for (Drosa n = first; note_ntdata(n); n = n == last ? NIL : chain_next(n)) {
    if (n->get(xcue))
      cue = true;
    else
      extreme = n;
  }
  if (cue_out) *cue_out = cue ? 1 : 0;
  return extreme ? extreme : note;
}

// cddatptr: the CDDATA of the staff chord of a visible note.
// Failure: "bad call on cddatptr: works only for visible notes" (NIL; silent when quiet);
// "cddatptr: no xendscd note found!" and "cddatptr logic error (staffops)" (NIL); a broken
// run of records: "Logic error in staffops, routine cddatptr()" (silent when quiet), giving
// the CDDATA when one stands there, else NIL.
Drosa cddatptr(Drosa note, int quiet) {
  if (!is_visible_note(note)) {
    if (!quiet) REPORT_ERROR(4, "bad call on cddatptr: works only for visible notes");
    return NIL;
  }
  Drosa p = note;
  const DrosaNode* nt = ntdata_node(p);
  while (nt && !nt->get(xendscd)) {
    p = nt->get(xpnext);
    nt = ntdata_node(p);
  }
  // A note without NTDATA ends the walk as the chain's end does; a link to something else
  // than a note is a broken chain.
  if (!nt && is_NOTE(p)) p = NIL;
  if (!p) {
    REPORT_ERROR(4, "cddatptr: no xendscd note found!");
    return NIL;
  }
  if (!nt) {
    REPORT_ERROR(4, "cddatptr logic error (staffops)");
    return NIL;
  }
  Drosa cd = nt->xnext;
  Drosa cd2 = cd ? cd->xnext : NIL;
  Drosa cd3 = cd2 ? cd2->xnext : NIL;
  if (cd && effective_kind(cd) == CDDATA && cd2 && effective_kind(cd2) == CDDATA2 && cd3 &&
      effective_kind(cd3) == CDDATA3)
    return cd;
  if (quiet) return NIL;
  REPORT_ERROR(4, "Logic error in staffops, routine cddatptr()");
  return cd && cd->xkind == CDDATA ? cd : NIL;
}

// layer_first / layer_last: along the page's chord chain, the earliest (latest) CDDATA of
// the same pstaff and time point as the node's chord: its chord in the lowest (highest)
// layer. Failure: "confusion in layer_first" for anything but a visible CDDATA or a visible
// note with its chord records; the node comes back unchanged.
Drosa layer_first(Drosa node) { return layer_walk(node, xprevchord); }
Drosa layer_last(Drosa node) { return layer_walk(node, xnextchord); }

// ---- The chain itself ---------------------------------------------------------------------------

int startstf(Drosa note) { return chain_prev(note) ? 0 : 1; }

int endstf(Drosa node) {
  if (!node) return 1;
  if (is_visible_note(node)) return 0;
  REPORT_ERROR(4, "staffops warning: endstf tested for a %s (%hd) node (not a visible note))",
               node_kind_name(node), short(effective_kind(node)));
  return 0;
}

// insertstf: links the note into place's print chain right after place.
// Writes: xpback and xpnext of the note, of place and of place's old successor.
void insertstf(Drosa note, Drosa place) {
  if (!place) {
    REPORT_ERROR(4, "insertstf has place == NIL!!!!!");
    return;
  }
  Drosa nt = note_ntdata(note), place_nt = note_ntdata(place);
  if (!nt || !place_nt) {
    REPORT_ERROR(4, "insertstf: note %lx or place %lx has no NTDATA", (unsigned long)note.handle(),
                 (unsigned long)place.handle());
    return;
  }
  Drosa next = place_nt->get(xpnext);
  nt->set(xpback, place);
  nt->set(xpnext, next);
  if (Drosa next_nt = note_ntdata(next)) next_nt->set(xpback, note);
  place_nt->set(xpnext, note);
}

// removestf: takes a note out of its staff chord and print chain and returns its NTDATA.
// When the note ended its chord, the note before it takes over: xendscd, the beam end (when
// the stems agree), and the chord's CDDATA, CDDATA2 and CDDATA3.
// Failure: "removestf in staffops: Attempt to remove only note in a chord" (the note is
// unlinked and its chord records stay behind it, for remove_ntdata to clear); "cddata logic
// error in removestf" and its kin: the records stay where they are.
Drosa removestf(Drosa note) {
  Drosa nt = note_ntdata(note);
  if (!nt) return NIL;
  Drosa prev = nt->get(xpback), next = nt->get(xpnext);
  Drosa prev_nt = note_ntdata(prev);
  if (nt->get(xendscd)) {
    if (!prev_nt) {
      REPORT_ERROR(4, "ntdata logic error in removestf");
    } else if (prev_nt->get(xendscd)) {
      REPORT_ERROR(4, "removestf in staffops: Attempt to remove only note in a chord");
    } else {
      prev_nt->set(xendscd, 1);
      if (nt->get(xendbeam) && !prev_nt->get(xendbeam) &&
          nt->get(xforced) == prev_nt->get(xforced) && nt->get(xstmdir) == prev_nt->get(xstmdir)) {
        prev_nt->set(xendbeam, 1);
        prev_nt->set(xtmpbeam, nt->get(xtmpbeam));
      }
      Drosa cd = nt->xnext;
      Drosa cd2 = cd ? cd->xnext : NIL;
      Drosa cd3 = cd2 ? cd2->xnext : NIL;
      if (!cd || effective_kind(cd) != CDDATA)
        REPORT_ERROR(4, "cddata logic error in removestf");
      else if (!cd2 || effective_kind(cd2) != CDDATA2)
        REPORT_ERROR(4, "cddata2 logic error in removestf");
      else if (!cd3 || effective_kind(cd3) != CDDATA3)
        REPORT_ERROR(4, "cddata3 logic error in removestf");
      else
        move_run_after(cd, cd3, prev_nt);
    }
  }
  if (prev_nt) prev_nt->set(xpnext, next);
  if (Drosa next_nt = note_ntdata(next)) next_nt->set(xpback, prev);
  nt->set(xpnext, NIL);
  nt->set(xpback, NIL);
  return nt;
}

// ---- Beams and hands --------------------------------------------------------------------------

// beam_next: the note to which the beam of note continues: a later note of its own staff
// chord, else a note of the next chord of its voice, on the other hand's staff when a PRINT
// with a hand code stands between (hand_out: 3 no change, 2 after code 1, 1 after another
// code; a second change gives 3 again). Grace notes continue only to grace notes, normal
// notes only to normal notes, and both only to notes of the same xstmdir. On its own staff a
// beam never passes over its voice's next chord: when that chord stems the other way, the
// beam ends (it would otherwise reach the voice's next chord of its own direction, beyond).
// Across a hand change the beam runs between the staves: it goes to the note of the next
// chord's staff chord whose stem points back at the staff it came from (stem direction
// hand_out), as the beam joining asks.
// Reads: NTDATA xendbeam, xendscd, xstmdir, the chains; NOTE xgrace; the voice list up to the
// voice's system end (endvc). Failure: "beam_next(NIL)", "Bad call on beam_next (not
// formatter_vis_noterest)", "beam_next: endstf because missing xendscd"; each gives NIL.
Drosa beam_next(Drosa note, int* hand_out) {
  if (hand_out) *hand_out = 3;
  if (!note) {
    REPORT_ERROR(4, "beam_next(NIL)");
    return NIL;
  }
  if (!is_visible_note(note)) {
    REPORT_ERROR(4, "Bad call on beam_next (not formatter_vis_noterest)");
    return NIL;
  }
  if (note_ntdata(note)->get(xendbeam)) return NIL;
  int grace = note->get(xgrace), dir = stem_dir(note);
  auto continues = [&](Drosa n) { return n->get(xgrace) == grace && stem_dir(n) == dir; };

  for (Drosa p = note; !ends_chord(p);) {
    p = chain_next(p);
    if (!note_ntdata(p)) {
      REPORT_ERROR(4, "beam_next: endstf because missing xendscd");
      return NIL;
    }
    if (continues(p)) return p;
  }

  // The next vertical chord of the voice that is printed, and the hand changes before it.
  int hand = 3;
  Drosa found = NIL;
  Drosa end = chord_end_note(note);
  for (Drosa p = end ? end->xnext : NIL; p && !found; p = p->xnext) {
    if (p->xkind == NOTE) {
      if (is_visible_note(p) && (grace || !p->get(xgrace))) found = p;
    } else if (effective_kind(p) == PRINT && p->get(xlhrh) != 0) {
      hand = hand == 3 ? hand_after(p->get(xlhrh)) : 3;
    } else if (endvc(p)) {
      break;
    }
  }
  if (hand_out) *hand_out = hand;
  if (!found || (hand == 3 && found->get(xgrace) == grace && stem_dir(found) != dir)) return NIL;

  if (hand != 3) {
    Drosa last = chord_last_note(found);
    for (Drosa p = chord_first_note(found); note_ntdata(p); p = chain_next(p)) {
      if (p->get(xgrace) == grace && stem_dir(p) == hand) return p;
      if (p == last) break;
    }
    return NIL;
  }
  for (Drosa p = chain_next(chord_last_note(note)); note_ntdata(p); p = chain_next(p))
    if (continues(p)) return p;
  return NIL;
}

// precedingLHRH: the hand in force for the stem group first..last: 1 when the first PRINT
// with a hand code found before its notes has code 1, 2 for another code, 3 when there is
// none. print_out receives that PRINT (NIL when none).
// Failure: "Bad stmdirs in calling precedingLHRH (staffops): first %lx, last %lx" → 3.
int precedingLHRH(Drosa first, Drosa last, Drosa* print_out) {
  if (print_out) *print_out = NIL;
  if (!note_ntdata(first) || !note_ntdata(last)) return 3;
  if (stem_dir(first) != stem_dir(last)) {
    REPORT_ERROR(4, "Bad stmdirs in calling precedingLHRH (staffops): first %lx, last %lx",
                 (unsigned long)first.handle(), (unsigned long)last.handle());
    return 3;
  }
  Drosa print = hand_print_of_group(first, last, false);
  if (!print) return 3;
  if (print_out) *print_out = print;
  return hand_before(print->get(xlhrh));
}

// followingLHRH: the hand in force before the next hand change after the group: 2 when the
// first PRINT with a hand code after its notes has code 1, 1 for another code, 3 for none.
// Failure: "Bad stmdirs in calling followingLHRH (staffops)" → 3.
int followingLHRH(Drosa first, Drosa last) {
  if (!note_ntdata(first) || !note_ntdata(last)) return 3;
  if (stem_dir(first) != stem_dir(last)) {
    REPORT_ERROR(4, "Bad stmdirs in calling followingLHRH (staffops)");
    return 3;
  }
  Drosa print = hand_print_of_group(first, last, true);
  return print ? hand_after(print->get(xlhrh)) : 3;
}

// ---- What stands before a chord -------------------------------------------------------------

// search_staff_chord: a node of the kind attached before the notes of the staff chord
// first..last (either may be NIL and is then found from the other). With a voice number
// only that voice's notes are searched; with ALL_VOICES every note, with special rules for
// BAR (the first and last note only), CLEF (differing clefs are settled by which voice is at
// home on the staff) and LINE (lines placed near the chord, before or after its notes).
// Reads: the nodes around the chord's notes in the voice lists, NOTE xvoice, CLEF xclef,
// PRINT xsstaff and xlhrh, NTDATA xhdx, LINE and its PDATA page x.
Drosa search_staff_chord(int kind, Drosa first, Drosa last, int voice) {
  if (!last) last = chord_last_note(first);
  if (!first) first = chord_first_note(last);
  if (!is_NOTE(first) || !is_NOTE(last)) return NIL;
  // The notes are walked along the chain; a list of them is made only for the kinds that
  // compare notes with one another.
  const bool chained = bool(note_ntdata(first));
  auto next = [&](Drosa n) { return chained && n != last ? chain_next(n) : NIL; };
  if (voice != ALL_VOICES || (kind != BAR && kind != CLEF && kind != LINE)) {
    for (Drosa n = first; n && (!chained || note_ntdata(n)); n = next(n)) {
      if (voice != ALL_VOICES && n->get(xvoice) != voice) continue;
      if (Drosa found = attached_before(kind, n)) return found;
    }
    return NIL;
  }
  if (kind == BAR) {
    Drosa found = attached_before(BAR, first);
    return found ? found : attached_before(BAR, last);
  }
  if (!chained) return kind == CLEF ? search_clef({first}) : NIL;
  const std::vector<Drosa> notes = chain_run(first, last);
  return kind == CLEF ? search_clef(notes) : search_line(notes);
}
