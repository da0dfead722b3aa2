// setstdir.cpp: stem directions of the beam groups and single chords the layering pass left
// free.
//
// A beam group runs along beam_next from a note to the next note with xendbeam; a chord
// without a beam is a group of its own. Every member of a group gets one direction: the one
// a piano staff switch next to the group imposes, else the one a beam continued from the
// previous system had, else the one the head positions ask for (up when the lowest head lies
// further below the middle line than the highest lies above it, by more than a head's
// height). Grace notes are done in a second sweep and follow the next normal note.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "layout/format.h"
#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"

namespace {

bool grace(Drosa n) { return n->get(xgrace); }
int stem(Drosa n) { return note_ntdata(n)->get(xstmdir); }
bool copy_bit(Drosa n) { return note_ntdata(n)->get(xtmpdir); }
bool fixed(Drosa n) { return note_ntdata(n)->get(xforced) && !copy_bit(n); }

// A beam group; one is kept for every group of a system, and the notes of the groups found
// so far that the sweep has yet to reach.
struct Group {
  std::vector<Drosa> members;
  std::vector<bool> across;  // the member was reached across a staff switch
  std::vector<uint32_t> ahead;
};

// The group that starts at `first`, into g.
void collect_group(Drosa first, Group& g) {
  g.members.assign(1, first);
  g.across.assign(1, false);
  Drosa n = first;
  bool switch_reported = false;
  for (int32_t steps = 0; !note_ntdata(n)->get(xendbeam) && steps <= total_Drosa_count; ++steps) {
    int hand = 3;
    Drosa next = beam_next(n, &hand);
    if (!next) break;  // a beam its notes never end (a damaged piece): it ends here
    if (hand != 3 && !switch_reported) {
      REPORT_ERROR(4, "setstdir: missing xendbeam before LHRH");
      switch_reported = true;
    }
    if (fixed(next))
      REPORT_ERROR(
          4, "Confusion about forced stdirs in setstdir: startbeam %lx, beam_next %lx, temp %lx",
          (unsigned long)first.handle(), (unsigned long)next.handle(), (unsigned long)n.handle());
    g.members.push_back(next);
    g.across.push_back(hand != 3);
    n = next;
  }
  if (grace(g.members.front()) != grace(g.members.back()))
    REPORT_ERROR(4, "grace logic error in setstdir");
}

// Step 3.1: a staff switch before the group's first chord or after its last; 3 when none.
int switch_direction(const Group& g) {
  if (!hand_prints_in_system) return 3;
  Drosa a, b;
  stem_group_bounds(g.members.front(), &a, &b);
  int preceding = precedingLHRH(a, b, nullptr);
  stem_group_bounds(g.members.back(), &a, &b);
  int following = followingLHRH(a, b);
  if (following != 3) return 3 - following;
  if (preceding != 3) return 3 - preceding;
  return 3;
}

// Step 3.2: a beam continued from the previous system, at the system's first chord.
int continued_direction(const Group& g) {
  Drosa cd = cddatptr(g.members.back(), 1);
  if (!cd || cd->xnext->get(xswholec) != 0) return 3;
  int voice = g.members.front()->get(xvoice);
  if (layout_hooks.stemdir_by_voice_pair(voice, 2)) return 2;
  if (layout_hooks.stemdir_by_voice_pair(voice, 1)) return 1;
  return 3;
}

// Step 3.3: the head positions.
int heads_direction(const Group& g, int pstaff) {
  int32_t lo = INT32_MAX, hi = INT32_MIN;
  for (size_t i = 0; i < g.members.size(); ++i) {
    Drosa n = g.members[i];
    if (g.across[i]) {
      REPORT_ERROR(4, "tmpdir logic error in setstdir");
      continue;
    }
    if (n->get(xrest)) continue;
    int32_t y = note_ntdata(n)->get(xhdy);
    lo = std::min(lo, y);
    hi = std::max(hi, y);
  }
  if (hi == INT32_MIN) return 1;
  int64_t middle = staff_data[pstaff].middle_y;
  int64_t h = param_length(P_NOTE_HEAD_HEIGHT, g.members.front(), &staff_data[pstaff]);
  return middle - lo > h + hi - middle ? 2 : 1;
}

// Step 4: grace notes follow the next normal note of the chain.
int grace_direction(const Group& g) {
  Drosa first = g.members.front();
  if (!grace(first)) {
    REPORT_ERROR(4, "Setstdir: bad call of grace_stmdir");
    return stem(first);
  }
  Drosa normal = chain_next(first);
  while (normal && note_ntdata(normal) && grace(normal)) normal = chain_next(normal);
  int d;
  if (!normal || !note_ntdata(normal))
    d = copy_bit(first) ? stem(first) : 2;
  else if (stem(normal) == stem(chord_last_note(normal)))
    d = 2;
  else
    d = stem(first);
  if (d == 3) REPORT_ERROR(4, "curstdir logic error in setstdir");
  return d;
}

void set_group(const Group& g, int d, bool forced) {
  for (Drosa n : g.members) {
    Drosa nt = note_ntdata(n);
    nt->set(xstmdir, d);
    nt->set(xtmpdir, 0);
    if (forced) nt->set(xforced, 1);
  }
}

// Whether the note belongs to a group found before; it is then no longer ahead.
bool reached(Group& g, Drosa n) {
  auto at = std::find(g.ahead.begin(), g.ahead.end(), n.handle());
  if (at == g.ahead.end()) return false;
  *at = g.ahead.back();
  g.ahead.pop_back();
  return true;
}

// One sweep over one layer's chain; false when interrupted.
bool sweep(int pstaff, int layer, bool graces, Group& g) {
  Drosa head = staff_data[pstaff].ppnt[layer];
  g.ahead.clear();
  for (Drosa n = head ? chain_next(head) : NIL; n && note_ntdata(n); n = chain_next(n)) {
    if (fixed(n) || grace(n) != graces || reached(g, n)) continue;
    if (format_interrupted()) return false;
    collect_group(n, g);
    for (size_t i = 1; i < g.members.size(); ++i) g.ahead.push_back(g.members[i].handle());
    if (graces) {
      set_group(g, grace_direction(g), false);
      continue;
    }
    int d = switch_direction(g);
    bool forced = d != 3;
    if (!forced) d = continued_direction(g);
    if (d == 3) d = heads_direction(g, pstaff);
    set_group(g, d, forced);
  }
  return true;
}

}  // namespace

// setstdir: gives every beam group and single chord of the system that the layering pass
// left unforced its stem direction, normal notes first, then grace notes.
// Reads:  the chains of the system, NTDATA xforced, xstmdir, the grace copy bit, xendbeam,
//         xhdy; NOTE grace and rest flags; staff_data middle y; parameter 141; the voices'
//         system-start ENDSYSTs. Writes: NTDATA xstmdir, xforced (a staff switch decided),
//         the grace copy bit (cleared); never relinks a voice list.
// A beam group that its notes never end stops at its last note that has a next one.
// Failure: level 4 "setstdir: missing xendbeam before
//         LHRH", "Confusion about forced stdirs in setstdir: ...", "grace logic error in
//         setstdir", "tmpdir logic error in setstdir", "Setstdir: bad call of grace_stmdir",
//         "curstdir logic error in setstdir"; then goes on. Polls for an interrupt before
//         every group: 0 when told to stop.
int32_t setstdir() {
  Group g;
  for (int p = std::max(first_pstaff, 0); p <= std::min(last_pstaff, MAX_PSTAVES - 1); ++p)
    for (int l = 0; l < LAYERS; ++l)
      for (bool graces : {false, true})
        if (!sweep(p, l, graces, g)) return 0;
  return 1;
}
