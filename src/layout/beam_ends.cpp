// beam_ends.cpp: where beams end and where they join.
//
// A beam runs along a print chain from a note without xendbeam to the next note (of the same
// grace kind and stem direction) that has it. Beams are decided in two steps around the stem
// pass: beam_end_pass orders each staff chord and marks the ends the beaming rules force
// (xendbeam) and the ends that depend on stems not yet known (xendbeam with xtmpbeam, a
// candidate); once stems are set, join_beams_pass joins each candidate to the next beam note
// when the rules allow it.
//
// Design notes:
//  - Beams are open by default; a beam ends at a user's end mark, at a note that cannot
//    carry one, on a beat boundary of the voice's BEAMING, at a tuplet's edge, at a time gap
//    and at a staff switch.
//  - Times are compared in one frame, from the system start (xswholec): a note's end is its
//    chord's time plus its duration.
//  - The voice's BEAMING is followed along the chains: each pass starts every voice with the
//    BEAMING in force at the system start, and a BEAMING before a chain note replaces it.
#include "layout/beam_ends.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "layout/format.h"
#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "model/model_services.h"

namespace {

// A note of the chain, not its head (a head stands in no voice list).
bool chain_note(Drosa n) { return n && n->xkind == NOTE && n->xback && note_ntdata(n); }

// The NTDATA of a note the chains hold: it stands right after the note (note_ntdata's test,
// which every such note passes, is not made again at each field read here).
Drosa chain_nt(Drosa n) { return n->xnext; }

bool ended(Drosa n) { return chain_nt(n)->get(xendbeam); }
int stem(Drosa n) { return chain_nt(n)->get(xstmdir); }
bool forced(Drosa n) { return chain_nt(n)->get(xforced); }
bool grace(Drosa n) { return n->get(xgrace); }

// A beam must end here.
void close_beam(Drosa n) {
  Drosa nt = note_ntdata(n);
  nt->set(xendbeam, 1);
  nt->set(xtmpbeam, 0);
}

// A staff switch after the note.
bool switch_after(Drosa n) { return hand_prints_in_system && followingLHRH(n, n) != 3; }

// A candidate before a staff switch: its beam may go on to the other staff's chain, whose
// note's stem the stem pass forces only later.
bool candidate_at_switch(Drosa n) { return note_ntdata(n)->get(xtmpbeam) && switch_after(n); }

// A beam ends here unless the stems allow it to go on (a candidate).
void mark_candidate(Drosa n) {
  Drosa nt = note_ntdata(n);
  nt->set(xendbeam, 1);
  nt->set(xtmpbeam, 1);
}

Drosa chord_records2(Drosa note) {
  Drosa cd = cddatptr(note, 1);
  return cd ? cd->xnext : NIL;
}

int32_t start_time(Drosa note) {
  Drosa cd2 = chord_records2(note);
  return cd2 ? cd2->get(xswholec) : 0;
}

int64_t end_time(Drosa note) { return int64_t(start_time(note)) + note_duration(note, 0); }

int pstaff_type(int pstaff) {
  return pstaff >= 0 && pstaff < MAX_PSTAVES ? staff_data[pstaff].staff_type : 0;
}

// A BEAMING attached before the note becomes its voice's BEAMING.
void follow_beaming(Drosa note) {
  Drosa beaming = find_prev_kind_stop_2(BEAMING, note, 0);
  int v = note->get(xvoice);
  if (beaming && v < MAX_VOICES) voice_data[v].beaming_end = beaming;
}

// Whether a BEAMING stands before any note of the pstaff's chains: else following the
// BEAMINGs along them changes nothing.
bool beamings_before_notes(int pstaff) { return staff_data[pstaff].beamings_before_notes; }

void start_beamings() {
  for (VoiceData& vd : voice_data) vd.beaming_end = vd.beaming_start;
}

// ---- Ordering a staff chord ---------------------------------------------------------------

// Stems down before stems up; within one direction notes from low to high, rests after them.
bool sorts_before(Drosa a, Drosa b) {
  if (stem(a) != stem(b)) return stem(a) < stem(b);
  if (a->get(xrest) != b->get(xrest)) return !a->get(xrest);
  if (a->get(xrest)) return false;
  return a->get(xmod7) < b->get(xmod7);
}

// Moves the CDDATA, CDDATA2 and CDDATA3 after `from` to after `to`.
void move_chord_records(Drosa from, Drosa to) {
  Drosa cd = from->xnext, cd2 = cd ? cd->xnext : NIL, cd3 = cd2 ? cd2->xnext : NIL;
  if (!cd || cd->xkind != CDDATA || !cd2 || cd2->xkind != CDDATA2 || !cd3 || cd3->xkind != CDDATA3)
    return;
  Drosa before = cd->xback, after = cd3->xnext;
  before->xnext = after;
  if (after) after->xback = before;
  cd->xback = NIL;
  cd3->xnext = NIL;
  link_chain_after(cd, cd3, to);
}

// Puts the chord's notes in order within the chain; the new last note takes the chord's end
// mark and records.
void order_chord(std::vector<Drosa>& notes) {
  // Most chords are in order already: they are left as they are without a copy to sort.
  if (std::is_sorted(notes.begin(), notes.end(), sorts_before)) return;
  std::vector<Drosa> sorted = notes;
  std::stable_sort(sorted.begin(), sorted.end(), sorts_before);
  if (sorted == notes) return;
  Drosa before = chain_prev(notes.front()), after = chain_next(notes.back());
  Drosa old_last = notes.back(), new_last = sorted.back();
  for (size_t i = 0; i < sorted.size(); ++i) {
    Drosa nt = note_ntdata(sorted[i]);
    nt->set(xpback, i ? sorted[i - 1] : before);
    nt->set(xpnext, i + 1 < sorted.size() ? sorted[i + 1] : after);
    nt->set(xendscd, 0);
  }
  if (note_ntdata(before)) note_ntdata(before)->set(xpnext, sorted.front());
  if (note_ntdata(after)) note_ntdata(after)->set(xpback, new_last);
  note_ntdata(new_last)->set(xendscd, 1);
  if (new_last != old_last) move_chord_records(note_ntdata(old_last), note_ntdata(new_last));
  notes = sorted;
}

// ---- setendbm helpers -----------------------------------------------------------------------

// The first grace note going back from `from` (itself included) whose stem is the opposite
// of `dir`, within a run of grace notes; NIL when the run ends first.
Drosa grace_turn_before(Drosa from, int dir) {
  for (Drosa g = from; chain_note(g) && grace(g); g = chain_prev(g))
    if (stem(g) == 3 - dir) return g;
  return NIL;
}

// Step 3.1: the grace notes before the group end their beams at the group and at their own
// change of stem direction.
void close_graces_before(Drosa first) {
  Drosa nearest = chain_prev(first);
  if (!chain_note(nearest) || !grace(nearest)) return;
  if (!ended(nearest)) close_beam(nearest);
  Drosa turn = grace_turn_before(chain_prev(nearest), stem(nearest));
  if (turn && !ended(turn)) {
    note_ntdata(turn)->set(xendbeam, 1);
    note_ntdata(turn)->set(xtmpbeam, note_ntdata(turn)->get(xtmpdir));
  }
}

// The note of the previous normal chord whose beam may lead to `first`: the last note of its
// stem group of first's direction, else its last note; NIL at the chain head.
Drosa previous_chord_note(Drosa first) {
  Drosa p = chain_prev(chord_first_note(first));
  while (chain_note(p) && grace(p)) p = chain_prev(p);
  if (!chain_note(p)) return NIL;
  Drosa last = p;
  for (Drosa q = p; chain_note(q); q = chain_prev(q)) {
    if (stem(q) == stem(first)) return q;
    Drosa before = chain_prev(q);
    if (!chain_note(before) || note_ntdata(before)->get(xendscd)) break;
  }
  return last;
}

// Step 3.3: whether the beam from p must end before `first`.
bool beam_breaks_before(Drosa p, Drosa first, int pstaff) {
  if (!can_carry_beam(p, pstaff) && !p->get(xcbeam)) return true;
  if (beatbound(p, 0, MAIN_BEAMS, NOTE_END)) return true;
  // A beam goes on only to a note that can carry one, or over a rest marked to continue it:
  // an eighth before a quarter, a half or a plain rest keeps its flag.
  if (!can_carry_beam(first, pstaff) && !(first->get(xrest) && first->get(xcbeam))) return true;
  if (p->get(xcbeam)) return false;
  if (same_tupl(p, first)) return true;
  return end_time(p) < int64_t(start_time(first)) - TIME_TOLERANCE;
}

void normal_group(Drosa first, Drosa last, int pstaff) {
  close_graces_before(first);
  if (!ended(last)) {
    if (!can_carry_beam(last, pstaff) && !last->get(xcbeam))
      close_beam(last);
    else if (switch_after(last))
      mark_candidate(last);
  }
  Drosa p = previous_chord_note(first);
  if (!p || (forced(p) && forced(first) && stem(p) != stem(first))) return;
  if (forced(p) == forced(first)) {
    if (!ended(p) && beam_breaks_before(p, first, pstaff)) close_beam(p);
    return;
  }
  if (!ended(p)) mark_candidate(p);
  if (forced(first)) return;
  for (Drosa q = chain_prev(p); chain_note(q); q = chain_prev(q)) {
    if (grace(q) != grace(p) || stem(q) != 3 - stem(p)) continue;
    mark_candidate(q);
    break;
  }
}

void grace_group(Drosa first, Drosa last, int pstaff) {
  Drosa print = NIL;
  Drosa a, b;
  stem_group_bounds(first, &a, &b);
  if (hand_prints_in_system && precedingLHRH(a, b, &print) != 3) {
    Drosa before = print;
    while (before && before->xkind != NOTE) before = before->xback;
    if (before && is_visible_note(before) && grace(before)) {
      mark_candidate(before);
      return;
    }
  }
  if (!ended(last) && !can_carry_beam(last, pstaff) && !last->get(xcbeam)) close_beam(last);
  Drosa before = chain_prev(first);
  if (!chain_note(before) || !grace(before) || before->get(xnachschlag) == first->get(xnachschlag))
    return;
  if (!before->get(xcbeam)) close_beam(before);
  Drosa turn = grace_turn_before(chain_prev(before), stem(before));
  if (turn && !turn->get(xcbeam)) close_beam(turn);
}

// Step 3 of beam_chain_recurse: walking back, the last forced note before an unforced one;
// but not a candidate before a staff switch: the beam may go on to the other staff, whose
// note's stem the stem pass forces only later (its voice alone on the staff it moved to).
void close_last_forced_run(Drosa last) {
  for (Drosa later = last, q = chain_prev(last); chain_note(q); later = q, q = chain_prev(q)) {
    if (forced(q) && !forced(later)) {
      if (!candidate_at_switch(q)) close_beam(q);
      return;
    }
  }
}

// ---- join_beams_pass --------------------------------------------------------------------------

// The note to which a candidate's beam would go on, and the staff-switch direction.
Drosa candidate_next(Drosa n, int* hand) {
  Drosa nt = note_ntdata(n);
  nt->set(xendbeam, 0);
  Drosa m = beam_next(n, hand);
  nt->set(xendbeam, 1);
  return m;
}

bool may_join(Drosa n, int pstaff, bool linear) {
  bool xc = n->get(xcbeam);
  if (!can_carry_beam(n, pstaff) && !(n->get(xrest) && xc)) return false;
  if (beatbound(n, 0, MAIN_BEAMS, NOTE_END)) return false;
  int hand = 3;
  Drosa m = candidate_next(n, &hand);
  if (!m || (grace(n) && !grace(m))) return false;
  if (!can_carry_beam(m, pstaff) && !(xc && m->get(xrest))) return false;
  if (hand != 3 ? stem(m) != hand || stem(n) == hand : stem(m) != stem(n)) return false;
  if (int64_t(start_time(m)) - end_time(n) > TIME_TOLERANCE && !xc) return false;
  return !(grace(n) && linear);
}

}  // namespace

// can_carry_beam: false for a rest, a stemless note, a note on a staff of type 2 and a note
// of a quarter or longer.
bool can_carry_beam(Drosa note, int pstaff) {
  if (!note || note->get(xrest) || note->get(xnostem)) return false;
  if (pstaff_type(pstaff) == 2) return false;
  return note->get(xlgval) > 3;
}

// setendbm: marks where the beams of the stem group first..last of one staff chord end. The
// time gap before the group is measured from the system start, so `time` (the chord's time in
// its measure) is not needed for it.
// Reads:  the chain, NOTE xebeam, xcbeam, grace flags, xlgval; NTDATA xforced, xstmdir,
//         xendbeam, the grace copy bit; chord times; voice_data BEAMING; the context's linear
//         spacing. Writes: NTDATA xendbeam, xtmpbeam of the group, the previous chord and
//         the grace notes before it.
// Failure: level 4 "Bad call to setendbm: first %lx %s dir %hd, last %lx %s dir %hd" when the
//         ends differ in grace kind or stem, "Logic error in setendbm" for a grace first with
//         a normal last (nothing is marked then).
void setendbm(Drosa first, Drosa last, int pstaff, int32_t /*time*/) {
  if (!chain_note(first) || !chain_note(last)) return;
  if (grace(first) != grace(last) || stem(first) != stem(last)) {
    REPORT_ERROR(4, "Bad call to setendbm: first %lx %s dir %hd, last %lx %s dir %hd",
                 (unsigned long)first.handle(), grace(first) ? "GRACE" : "non-grace",
                 short(stem(first)), (unsigned long)last.handle(),
                 grace(last) ? "GRACE" : "non-grace", short(stem(last)));
  }
  if (last->get(xebeam)) close_beam(last);
  if (grace(last) && linear_spacing_context()) close_beam(last);
  if (!grace(last)) {
    if (grace(first)) {
      REPORT_ERROR(4, "Logic error in setendbm");
      return;
    }
    normal_group(first, last, pstaff);
  } else {
    grace_group(first, last, pstaff);
  }
}

// beam_chain_recurse: the last note of a chain ends its beam, unless it is a candidate before
// a staff switch (its beam may go on to the other staff's chain); before a grace note, each run
// of grace notes of one stem direction ends too; and the last forced note that an unforced
// one follows.
// Writes: NTDATA xendbeam, xtmpbeam.
void beam_chain_recurse(Drosa note) {
  if (!chain_note(note)) return;
  if (!candidate_at_switch(note)) close_beam(note);
  if (grace(note)) {
    for (Drosa later = note, q = chain_prev(note); chain_note(q) && grace(q);
         later = q, q = chain_prev(q))
      if (stem(q) != stem(later)) close_beam(q);
  }
  close_last_forced_run(note);
}

// beam_end_pass: for each staff chord of the system, orders its notes and marks the beam
// ends of its stem groups (setendbm); closes what is open at each chain's end.
// Reads:  the chains of the system, voice_data BEAMINGs. Writes: the chains' order, NTDATA
//         xendscd, xendbeam, xtmpbeam, the place of the chord records, voice_data
//         beaming_end. Polls for an interrupt per staff chord: 0 when told to stop.
int32_t beam_end_pass() {
  start_beamings();
  std::vector<Drosa> notes;
  for (int p = std::max(first_pstaff, 0); p <= std::min(last_pstaff, MAX_PSTAVES - 1); ++p) {
    const bool beamings = beamings_before_notes(p);
    for (int l = 0; l < LAYERS; ++l) {
      Drosa head = staff_data[p].ppnt[l];
      Drosa last_note = NIL;
      for (Drosa first = head ? chain_next(head) : NIL; chain_note(first);) {
        if (format_interrupted()) return 0;
        staff_chord_notes(first, notes);
        first = chain_next(notes.back());
        if (beamings)
          for (Drosa n : notes) follow_beaming(n);
        order_chord(notes);
        size_t split = 1;
        while (split < notes.size() && stem(notes[split]) == stem(notes.front())) ++split;
        // (setendbm measures time gaps from the system start: the chord's time in its measure
        // is not asked for.)
        setendbm(notes.front(), notes[split - 1], p, 0);
        if (split < notes.size()) setendbm(notes[split], notes.back(), p, 0);
        last_note = notes.back();
      }
      if (last_note) beam_chain_recurse(last_note);
    }
  }
  return 1;
}

// join_beams_pass: each candidate (xtmpbeam) joins its beam to the next beam note when both
// can carry a beam (or a rest with xcbeam lies between), no beat boundary of the BEAMING
// lies between, the stems agree (across a staff switch, the next note takes the switch's
// direction and the candidate the other), no time gap lies between (unless xcbeam), and it
// is not a grace note in a linear-spacing context. Then every beam that has no next beam
// note to go on to ends where it is: a voice whose stems change direction without a staff
// switch (as imported documents have them) would otherwise leave a beam open at the change
// and draw it on to the voice's next chord of that direction, or never close it.
// Reads:  the chains, NTDATA, chord times, voice_data BEAMINGs. Writes: NTDATA xtmpbeam
//         (cleared), xendbeam, voice_data beaming_end. Polls for an interrupt per layer and
//         per candidate: 0 when told to stop.
int32_t join_beams_pass() {
  start_beamings();
  bool linear = linear_spacing_context();
  for (int p = std::max(first_pstaff, 0); p <= std::min(last_pstaff, MAX_PSTAVES - 1); ++p) {
    const bool beamings = beamings_before_notes(p);
    for (int l = 0; l < LAYERS; ++l) {
      if (format_interrupted()) return 0;
      Drosa head = staff_data[p].ppnt[l];
      for (Drosa n = head ? chain_next(head) : NIL; chain_note(n); n = chain_next(n)) {
        if (beamings) follow_beaming(n);
        Drosa nt = note_ntdata(n);
        if (!nt->get(xtmpbeam)) continue;
        if (format_interrupted()) return 0;
        nt->set(xtmpbeam, 0);
        if (may_join(n, p, linear)) nt->set(xendbeam, 0);
      }
      for (Drosa n = head ? chain_next(head) : NIL; chain_note(n); n = chain_next(n))
        if (!ended(n) && !beam_next(n, nullptr)) close_beam(n);
    }
  }
  return 1;
}
