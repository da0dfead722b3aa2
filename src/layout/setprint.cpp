// setprint.cpp: the print chains and layers of one system.
//
// setprint walks the shown voices of the system together in time order and links every
// printed note into the chain of its pstaff and layer (the voice's PRINT gives both), after
// that layer's pending note; at each time point the open staff chords are closed. Notes that
// sound together in one layer form one staff chord, so voices that cannot share chords are
// moved to higher layers by split_voices_to_layers and the chains are built again.
//
// Design notes:
//  - Time points within 50 units of each other are one time point: a voice is due while its
//    next time is at most 50 past the current one, and the next time point is a voice's
//    next time only when it is more than 50 earlier than the one found so far.
//  - Grace notes before the beat are taken first, at a time point of their own; after-grace
//    notes after them, the voices with the most of them first, so that the after-grace
//    notes of all voices end together.
//  - The stem of a note is forced when anything but the stem pass decides it: the note's own
//    direction, a piano staff switch, its PRINT, or a chord still sounding in its layer
//    (which it stems against, so that overlapping chords of one layer stem apart).
//  - The PRINT's layer is written during layout: every format starts the voices of the page
//    in layer 0, and a split keeps the voice in its new layer for the rest of the page.
#include "layout/setprint.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

#include "layout/format.h"
#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "layout/layout_records.h"
#include "layout/object_lookup.h"
#include "model/model_services.h"

namespace {

// ---- Chains -------------------------------------------------------------------------------

int stem_of(Drosa note) { return note_ntdata(note)->get(xstmdir); }

bool valid_pstaff(int p) { return p >= 0 && p < MAX_PSTAVES; }

int system_from() { return std::max(first_pstaff, 0); }
int system_to() { return std::min(last_pstaff, MAX_PSTAVES - 1); }

int voice_count_here() { return std::clamp<int>(voice_count, 0, MAX_VOICES); }

// The first NOTE from `from` (itself included) before `end` or any visible ENDSYST.
Drosa next_note(Drosa from, Drosa end) {
  for (Drosa p = from; p && p != end; p = p->xnext) {
    if (p->xkind == NOTE) return p;
    if (effective_kind(p) == ENDSYST) return NIL;
  }
  return NIL;
}

// ---- The run of one system ------------------------------------------------------------------

struct Run {
  bool shown[MAX_VOICES] = {};
  bool outside_reported[MAX_VOICES] = {};
  bool too_long_said = false;
  // The print chains (pstaff * LAYERS + layer) that took a note at this time point: only
  // their staff chords are open.
  std::vector<int> open_chains;
  bool open[MAX_PSTAVES * LAYERS] = {};
  // Whether a note an open chain took stands after a BAR.
  bool bar_before[MAX_PSTAVES * LAYERS] = {};
  // The notes each open chain took, in chain order, with their durations.
  std::vector<ChordNote> taken[MAX_PSTAVES * LAYERS];
  // Each voice's first NOTE after its cursor, as found when the cursor last moved (only
  // chord records go into the lists meanwhile); NIL when not known.
  Drosa cursor_seen[MAX_VOICES] = {}, first_note[MAX_VOICES] = {};

  // The first NOTE from the voice's cursor before its system's end or a visible ENDSYST.
  Drosa find_first_note(int v) {
    const VoiceData& vd = voice_data[v];
    cursor_seen[v] = vd.cursor;
    return first_note[v] = next_note(vd.cursor, vd.system_end);
  }
  // Where a walk from the voice's cursor to its first NOTE may begin.
  Drosa from_first_note(int v) const {
    const VoiceData& vd = voice_data[v];
    return first_note[v] && cursor_seen[v] == vd.cursor ? first_note[v] : vd.cursor;
  }
  StaffStems stems;  // as the voices' PRINTs in force set them

  void note_linked(int pstaff, int layer, bool bar) {
    const int chain = pstaff * LAYERS + layer;
    bar_before[chain] |= bar;
    if (open[chain]) return;
    open[chain] = true;
    open_chains.push_back(chain);
  }
  // Closes the open staff chords, chain by chain in order, as every chain's would be.
  void close_chords() {
    std::sort(open_chains.begin(), open_chains.end());
    close_staff_chords(open_chains, bar_before, stems, setprint_time, chord_number, taken);
    for (int chain : open_chains) open[chain] = bar_before[chain] = false;
    open_chains.clear();
  }
};

// What a voice met since its previous note.
struct Step {
  Drosa switch_from = NIL;  // the PRINT in force before a PRINT met, and that PRINT
  Drosa switch_to = NIL;
  bool bar = false;
  bool print_met = false;  // in any voice during this time point
  // A CLEF, a BEAMING met since its previous note.
  bool clef = false, beaming = false;
};

struct Placement {
  int pstaff = -1;  // -1 when the voice is not printed
  int layer = 0;
};

Placement placement_of(int v, Drosa print, Run& run) {
  int16_t staff = print ? print->get(xsstaff) : int16_t(-1);
  if (staff < 0) return {};
  int p = first_pstaff + staff;
  if (!valid_pstaff(p) || p > last_pstaff) {
    // A system of more staves than a page holds keeps its first ones: the others are left out
    // without a word (the formatter has said so once).
    const bool cut_at_page_limit = last_pstaff == MAX_PSTAVES - 1 && p >= MAX_PSTAVES;
    if (!run.outside_reported[v] && !cut_at_page_limit)
      REPORT_ERROR(4, "relink: staff %hd of voice %hd lies outside the system", staff, short(v));
    run.outside_reported[v] = true;
    return {};
  }
  return {p, std::min<int>(print->get(xlayer), LAYERS - 1)};
}

void copy_staff_settings(Drosa print, int pstaff) {
  StaffData& s = staff_data[pstaff];
  s.lines = uint8_t(print->get(xslines));
  s.staff_size = print->get(xstaffsize);
  s.staff_type = uint8_t(print->get(xtablature));
}

// Step 1: each shown voice starts at its system start. The first run of a page's first
// system starts every voice in layer 0; a repeated run starts again from the same PRINTs.
void start_voices(Run& run) {
  bool rerun = layering_rerun;
  layering_rerun = false;
  for (int v = 0; v < voice_count_here(); ++v) {
    VoiceData& vd = voice_data[v];
    vd.next_time = NO_TIME;
    vd.cursor = NIL;
    vd.switch_direction = 3;
    vd.switch_active = 0;
    run.shown[v] = !voice_not_shown(v) && vd.system_start && vd.system_end;
    if (!run.shown[v]) continue;
    if (rerun && layering_start_print[v]) {
      vd.print = layering_start_print[v];
    } else {
      if (first_pstaff == 0 && vd.print) vd.print->set(xlayer, 0);
      layering_start_print[v] = vd.print;
    }
    vd.cursor = vd.system_start->xnext;
    if (run.find_first_note(v)) vd.next_time = 0;
  }
}

// Step 2: empty chains, each head its layer's pending note.
void reset_chains() {
  for (int p = system_from(); p <= system_to(); ++p) {
    StaffData& s = staff_data[p];
    for (int l = 0; l < LAYERS; ++l) {
      if (s.ppnt[l]) reset_chain_head(s.ppnt[l]);
      s.pending[l] = s.ppnt[l];
      s.end_record[l] = 0;
    }
    s.clef_points = 0;
    s.beamings_before_notes = false;
  }
}

// ---- Step 3.1: which voices take a step ------------------------------------------------------

// The grace notes at the voice's cursor, up to its first normal note.
void count_graces(const Run& run, int v, int* before, int* after) {
  const VoiceData& vd = voice_data[v];
  *before = *after = 0;
  for (Drosa p = run.from_first_note(v); p && p != vd.system_end; p = p->xnext) {
    if (p->xkind != NOTE) {
      if (effective_kind(p) == ENDSYST) return;
      continue;
    }
    if (!p->get(xgrace)) return;
    ++*(p->get(xnachschlag) ? after : before);
  }
}

void choose_stepping(const Run& run, bool stepping[]) {
  int before[MAX_VOICES] = {}, after[MAX_VOICES] = {};
  bool due[MAX_VOICES] = {};
  bool any_before = false;
  int most_after = 0;
  int64_t limit = int64_t(setprint_time) + TIME_TOLERANCE;
  for (int v = 0; v < voice_count_here(); ++v) {
    const VoiceData& vd = voice_data[v];
    if (!run.shown[v] || vd.next_time == NO_TIME || vd.next_time > limit) continue;
    due[v] = true;
    count_graces(run, v, &before[v], &after[v]);
    any_before |= before[v] > 0;
    most_after = std::max(most_after, after[v]);
  }
  for (int v = 0; v < voice_count_here(); ++v) {
    stepping[v] = due[v] && (any_before       ? before[v] > 0
                             : most_after > 0 ? after[v] == most_after
                                              : true);
  }
}

// ---- Step 3.2: staff switches -------------------------------------------------------------

// The notes of a layer's chain back to the chord that begins the measure, those not forced
// yet: the switching voice's take `own`, the others the opposite.
void mark_back(Placement at, int v, int own, const char* missing) {
  Drosa n = staff_data[at.pstaff].pending[at.layer];
  if (!n) {
    REPORT_ERROR(4, "%s", missing);
    return;
  }
  bool chord_has_bar = false;
  for (bool first = true; n && !is_chain_head(n); first = false) {
    Drosa nt = note_ntdata(n);
    if (!nt) break;
    if (!first && nt->get(xendscd) && chord_has_bar) break;
    if (find_prev_kind_stop(BAR, n, 0)) chord_has_bar = true;
    if (!nt->get(xforced)) {
      nt->set(xforced, 1);
      nt->set(xstmdir, n->get(xvoice) == v ? own : 3 - own);
      if (n->get(xgrace)) nt->set(xtmpdir, 1);
    }
    n = nt->get(xpback);
  }
}

bool on_staff(int w, int16_t staff, int layer, const Run& run) {
  Drosa print = voice_data[w].print;
  return run.shown[w] && voice_data[w].next_time != NO_TIME && print &&
         print->get(xsstaff) == staff && (layer < 0 || print->get(xlayer) == layer);
}

// A PRINT with a staff switch moved voice v from `from` to `to`. The voice's stems point at
// the other staff on both (a switch down: down before it, up after it), so that its beam runs
// between the staves as the beam rules join it, and the voices it meets or leaves stem away
// from it.
void staff_switch(int v, Drosa from, Drosa to, Run& run) {
  int d = to->get(xlhrh) == 1 ? 2 : 1;  // the voice's stems on the staff it moved to
  int16_t old_staff = from->get(xsstaff), new_staff = to->get(xsstaff);
  int16_t highest = int16_t(last_pstaff - first_pstaff);
  if (new_staff < 0 || new_staff > highest) {
    REPORT_ERROR(4, "Fatal error: LHRH switch from sstaff %hd to %hd. Legal range %hd..%hd",
                 old_staff, new_staff, short(0), highest);
    return;
  }
  Placement old_at = placement_of(v, from, run), new_at = placement_of(v, to, run);
  int old_layer = from->get(xlayer), new_layer = to->get(xlayer);
  for (int w = 0; w < voice_count_here(); ++w) {
    VoiceData& wd = voice_data[w];
    if (w == v || !on_staff(w, old_staff, old_layer, run) || wd.switch_direction != 3) continue;
    wd.switch_direction = d;
    wd.switch_active = 1;
  }
  if (old_at.pstaff >= 0) mark_back(old_at, v, 3 - d, "pnote logic error1 in relink setprint()");
  bool shared = false;
  for (int w = 0; w < voice_count_here(); ++w) {
    if (w == v || !on_staff(w, new_staff, -1, run)) continue;
    shared = true;
    if (!on_staff(w, new_staff, new_layer, run)) continue;
    voice_data[w].switch_direction = 3 - d;
    voice_data[w].switch_active = 1;
  }
  if (new_at.pstaff >= 0) mark_back(new_at, v, d, "pnote logic error2 in relink setprint()");
  voice_data[v].switch_direction = shared ? d : 3;
  voice_data[v].switch_active = shared ? 1 : 0;
}

// A PRINT met in the voice becomes its PRINT: staff settings, and whether it moved the voice
// one staff down (xlhrh 1) or up (2).
void apply_print(int v, Drosa print, Step& step, Run& run) {
  VoiceData& vd = voice_data[v];
  Drosa previous = vd.print;
  int16_t old_staff = previous ? previous->get(xsstaff) : int16_t(-1);
  int16_t new_staff = print->get(xsstaff);
  int16_t code = 0;
  if (old_staff >= 0 && new_staff >= 0 && new_staff == old_staff + 1) code = 1;
  if (old_staff >= 0 && new_staff >= 0 && new_staff == old_staff - 1) code = 2;
  print->set(xlhrh, code);
  hand_prints_in_system |= code != 0;
  vd.print = print;
  vd.switch_direction = 3;
  vd.switch_active = 0;
  step.print_met = true;
  step.switch_from = previous;
  step.switch_to = code ? print : NIL;
  Placement at = placement_of(v, print, run);
  if (at.pstaff >= 0) copy_staff_settings(print, at.pstaff);
}

// ---- Step 3.2: one note ---------------------------------------------------------------------

// The stem of a note as the layering pass sees it.
void decide_stem(int v, Drosa note, Drosa nt, Placement at) {
  const VoiceData& vd = voice_data[v];
  int own = note->get(xdir), setting = vd.print ? vd.print->get(xprintdir) : 3;
  int32_t sounding = staff_data[at.pstaff].end_record[at.layer];
  int dir, forced = 1;
  if (own == 1 || own == 2)
    dir = own;
  else if (vd.switch_active && vd.switch_direction != 3)
    dir = vd.switch_direction;
  else if (setting == 1 || setting == 2)
    dir = setting;
  else if (sounding == 0) {
    dir = 1;
    forced = 0;
  } else
    dir = sounding > 0 ? 2 : 1;
  nt->set(xstmdir, dir);
  nt->set(xforced, forced);
}

// False when the chain has no pending note to link after.
bool link_note(Drosa note, Drosa nt, Placement at) {
  Drosa& pending = staff_data[at.pstaff].pending[at.layer];
  Drosa pending_nt = note_ntdata(pending);
  if (!pending_nt) {
    REPORT_ERROR(4, "logic error in relink: staff_data(%hd)->ppnt[%d] is NIL", short(at.pstaff),
                 at.layer);
    return false;
  }
  nt->set(xpback, pending);
  nt->set(xpnext, NIL);
  pending_nt->set(xpnext, note);
  pending = note;
  return true;
}

// Takes the note into its chain; returns where the chain's list of notes taken stands for
// it, or null when the note was linked into no chain.
std::vector<ChordNote>* take_note(int v, Drosa note, Step& step, Run& run) {
  VoiceData& vd = voice_data[v];
  note->set(xvoice, v);
  if (step.bar && vd.switch_active) {
    if (vd.switch_direction == 3) REPORT_ERROR(4, "LHRHend inconsistency");
    vd.switch_active = 0;
    vd.switch_direction = 3;
  }
  const bool bar = std::exchange(step.bar, false);
  if (step.switch_to) {
    if (step.switch_from) staff_switch(v, step.switch_from, step.switch_to, run);
    step.switch_to = NIL;
  }
  Placement at = placement_of(v, vd.print, run);
  Drosa nt = note_ntdata(note);
  const bool clef = std::exchange(step.clef, false), beaming = std::exchange(step.beaming, false);
  if (at.pstaff < 0 || !nt) return nullptr;
  StaffData& staff = staff_data[at.pstaff];
  if (clef) staff.clef_points |= uint64_t(1) << (chord_number & 63);
  staff.beamings_before_notes |= beaming;
  if (nt->get(xforced)) REPORT_ERROR(4, "Unexpected xforced in relink");
  decide_stem(v, note, nt, at);
  nt->set(xtmpdir, note->get(xgrace));
  const bool linked = link_note(note, nt, at);
  run.note_linked(at.pstaff, at.layer, bar);
  return linked ? &run.taken[at.pstaff * LAYERS + at.layer] : nullptr;
}

// The voice's next vertical chord; returns its shortest duration, or NO_TIME when the
// system ended first (the voice is then done).
int32_t take_vertical_chord(int v, Step& step, Run& run) {
  VoiceData& vd = voice_data[v];
  int32_t shortest = NO_TIME;
  for (Drosa p = vd.cursor;; p = p->xnext) {
    if (!p || p == vd.system_end || effective_kind(p) == ENDSYST) {
      REPORT_ERROR(4, "relink: logic error in get_notes_until_xend");
      vd.cursor = vd.system_end;
      vd.next_time = NO_TIME;
      return NO_TIME;
    }
    int kind = effective_kind(p);
    if (kind == PRINT) apply_print(v, p, step, run);
    if (kind == BAR) step.bar = true;
    if (kind == CLEF) step.clef = true;
    if (kind == BEAMING) step.beaming = true;
    if (p->xkind != NOTE) continue;
    std::vector<ChordNote>* chain = take_note(v, p, step, run);
    const int32_t duration = note_duration(p, 0);
    if (chain) chain->push_back({p, note_ntdata(p), duration});
    shortest = std::min(shortest, duration);
    if (p->get(xendvcd)) {
      vd.cursor = p->xnext;
      return shortest;
    }
  }
}

// ---- Steps 3.3 to 5 -------------------------------------------------------------------------

// Each voice's staff within its part and its part's staff count, from the staves of the
// part's voices.
void update_part_staves(const Run& run) {
  std::string names[MAX_VOICES];
  bool named[MAX_VOICES] = {};
  for (int v = 0; v < voice_count_here(); ++v) {
    if (!run.shown[v] || !voice_data[v].print) continue;
    names[v] = voice_part_name(v);
    named[v] = true;
  }
  for (int v = 0; v < voice_count_here(); ++v) {
    if (!named[v]) continue;
    int lowest = MAX_PSTAVES, highest = -1;
    for (int w = 0; w < voice_count_here(); ++w) {
      if (!named[w] || !names_equal16(names[v].c_str(), names[w].c_str())) continue;
      int16_t staff = voice_data[w].print->get(xsstaff);
      if (staff < 0) continue;
      lowest = std::min<int>(lowest, staff);
      highest = std::max<int>(highest, staff);
    }
    if (highest < 0) continue;
    Drosa print = voice_data[v].print;
    int16_t own = print->get(xsstaff);
    print->set(xpartstaff, std::min(own >= 0 ? own - lowest : 0, 15));
    print->set(xpartstaves, std::min(highest - lowest + 1, 15));
  }
}

// Times within a system are kept in 32 bits below NO_TIME: a system lasts at most this many
// whole notes (about 32,000, far past any music). A voice that goes on longer ends there.
constexpr int32_t MAX_SYSTEM_WHOLE_NOTES = NO_TIME / WHOLE_NOTE_TIME;

void advance_voice(int v, int32_t duration, Run& run) {
  VoiceData& vd = voice_data[v];
  if (vd.next_time == NO_TIME || duration == NO_TIME) return;
  if (!run.find_first_note(v)) {
    vd.next_time = NO_TIME;
    return;
  }
  int64_t t = int64_t(vd.next_time) + duration;
  if (t > NO_TIME - 1) {
    if (!run.too_long_said)
      REPORT_ERROR(2,
                   "System %d of page %d lasts longer than %d whole notes, the most one system "
                   "can hold: the notes after that are left out of its layout.",
                   int(system_number), int(current_page), int(MAX_SYSTEM_WHOLE_NOTES));
    run.too_long_said = true;
    vd.next_time = NO_TIME;
    return;
  }
  vd.next_time = int32_t(t);
}

// Step 3.6: the next time point, and the layers whose chords have ended by then.
void next_time_point(const Run& run) {
  int32_t next = NO_TIME;
  for (int v = 0; v < voice_count_here(); ++v) {
    int32_t t = voice_data[v].next_time;
    if (run.shown[v] && int64_t(t) < int64_t(next) - TIME_TOLERANCE) next = t;
  }
  for (int p = system_from(); p <= system_to(); ++p)
    for (int32_t& record : staff_data[p].end_record)
      if (record != 0 && std::abs(int64_t(record)) - TIME_TOLERANCE <= next) record = 0;
  if (chord_number < INT32_MAX) ++chord_number;
  setprint_time = next;
}

// Steps 4 and 5.
void finish_system(const Run& run) {
  for (int p = system_from(); p <= system_to(); ++p) {
    staff_data[p].chord_count = chord_number;
    for (int32_t& record : staff_data[p].end_record) record = 0;
  }
  for (int v = 0; v < voice_count_here(); ++v) {
    if (!run.shown[v]) continue;
    VoiceData& vd = voice_data[v];
    if (vd.switch_active && vd.switch_direction == 3) REPORT_ERROR(4, "LHRHend inconsistency");
    vd.switch_active = 0;
    vd.switch_direction = 3;
    for (Drosa q = vd.cursor; q && q != vd.system_end; q = q->xnext) {
      if (effective_kind(q) != PRINT) continue;
      hand_prints_in_system |= q->get(xlhrh) != 0;
      vd.print = q;
      int16_t staff = q->get(xsstaff);
      int p = first_pstaff + staff;
      if (staff >= 0 && valid_pstaff(p) && p <= last_pstaff) copy_staff_settings(q, p);
    }
  }
}

// ---- Ending the chains early ----------------------------------------------------------------

// The CDDATA3 of a staff chord from its CDDATA.
Drosa chord_records3(Drosa cd) {
  Drosa cd3 = cd && cd->xnext ? cd->xnext->xnext : NIL;
  return cd3 && cd3->xkind == CDDATA3 ? cd3 : NIL;
}

// ---- split_voices_to_layers ------------------------------------------------------------------

int32_t duration_of(Drosa note) { return note_duration(note, 0); }

bool can_share(Drosa a, Drosa b) {
  return std::abs(int64_t(duration_of(a)) - duration_of(b)) <= TIME_TOLERANCE &&
         stem_of(a) == stem_of(b);
}

// The notes of the chord (at most 9) that cannot share a staff chord with each other, of
// voices whose PRINT puts them in this layer.
std::vector<Drosa> conflicting_notes(const std::vector<Drosa>& chord, int layer) {
  std::vector<Drosa> taken;
  for (Drosa n : chord) {
    Drosa print = voice_data[n->get(xvoice)].print;
    if (!print || print->get(xlayer) != layer || taken.size() >= 9) continue;
    bool apart = std::all_of(taken.begin(), taken.end(), [&](Drosa t) {
      return t->get(xvoice) != n->get(xvoice) && !can_share(t, n);
    });
    if (apart) taken.push_back(n);
  }
  return taken;
}

// The voice's PRINTs of this system go to layer r.
void move_voice_to_layer(int v, int r) {
  const VoiceData& vd = voice_data[v];
  if (vd.print) vd.print->set(xlayer, uint8_t(r));
  if (layering_start_print[v]) layering_start_print[v]->set(xlayer, uint8_t(r));
  for (Drosa p = vd.system_start; p && p != vd.system_end; p = p->xnext)
    if (effective_kind(p) == PRINT) p->set(xlayer, uint8_t(r));
}

// The chord records and note records of every shown voice's system, for a fresh run.
void clear_system_records() {
  for (int v = 0; v < voice_count_here(); ++v) {
    const VoiceData& vd = voice_data[v];
    if (voice_not_shown(v) || !vd.system_start) continue;
    for (Drosa p = vd.system_start->xnext; p && p != vd.system_end;) {
      Drosa next = p->xnext;
      if (p->xkind == CDDATA) {
        Drosa cd2 = next, cd3 = cd2 && cd2->xkind == CDDATA2 ? cd2->xnext : NIL;
        if (cd3 && cd3->xkind == CDDATA3) {
          next = cd3->xnext;
          destroy_node(cd3);
          destroy_node(cd2);
        }
        destroy_node(p);
      } else if (p->xkind == NOTE && note_ntdata(p)) {
        clear_ntdata(p);
      }
      p = next;
    }
  }
}

// ---- split_unequal_chords ---------------------------------------------------------------------

// A note taken out of its staff chord becomes a chord of its own right after it, at the same
// time point.
void reinsert_as_own_chord(Drosa note, Drosa chord_last) {
  Drosa nt = note_ntdata(note), last_nt = note_ntdata(chord_last);
  Drosa cd = last_nt->xnext, cd2 = cd ? cd->xnext : NIL, cd3 = cd2 ? cd2->xnext : NIL;
  if (!cd || cd->xkind != CDDATA || !cd2 || cd2->xkind != CDDATA2 || !cd3 || cd3->xkind != CDDATA3)
    return;
  Drosa after = last_nt->get(xpnext);
  nt->set(xpback, chord_last);
  nt->set(xpnext, after);
  last_nt->set(xpnext, note);
  if (Drosa after_nt = note_ntdata(after)) after_nt->set(xpback, note);
  nt->set(xendscd, 1);

  Drosa ncd = newDrosa(CDDATA, 0), ncd2 = newDrosa(CDDATA2, 0), ncd3 = newDrosa(CDDATA3, 0);
  link_after(ncd, nt);
  link_after(ncd2, ncd);
  link_after(ncd3, ncd2);
  for (const auto* f : {&xuphiy, &xdownhiy, &xprehiy}) ncd->set(*f, EXTENT_HIGH_START);
  for (const auto* f : {&xuploy, &xdownloy, &xpreloy}) ncd->set(*f, EXTENT_LOW_START);
  ncd->set(xnewmeas, cd->get(xnewmeas));
  ncd->set(xoppos, cd->get(xoppos));
  ncd2->set(xswholec, cd2->get(xswholec));
  ncd2->set(xmwholec, cd2->get(xmwholec));
  ncd2->set(xchordNum, cd2->get(xchordNum));
  ncd3->set(xpstaff, cd3->get(xpstaff));
  ncd3->set(xcdlayer, cd3->get(xcdlayer));
  Drosa next_cd = cd3->get(xnextchord);
  ncd3->set(xprevchord, cd);
  ncd3->set(xnextchord, next_cd);
  cd3->set(xnextchord, ncd);
  if (next_cd && next_cd->xnext && next_cd->xnext->xnext)
    next_cd->xnext->xnext->set(xprevchord, ncd);
  if (last_chord == cd) last_chord = ncd;
}

int32_t run_duration(Drosa note) { return note->get(xgrace) ? 0 : duration_of(note); }

bool differs(int32_t a, int32_t b) { return std::abs(int64_t(a) - b) > TIME_TOLERANCE; }

// A rest shown for less than its measure.
bool rest_within_measure(Drosa n) {
  if (!n->get(xrest) || n->get(xhider)) return false;
  Drosa timesig = find_object(TIMESIG, n);
  if (!timesig || timesig->get(xbeat) <= 0 || timesig->get(xbpm) <= 0) return false;
  const int64_t measure = int64_t(timesig->get(xbpm)) * WHOLE_NOTE_TIME / timesig->get(xbeat);
  return run_duration(n) + TIME_TOLERANCE < measure;
}

// Which notes of a run (notes of a staff chord with one stem direction) leave the chord: when
// their durations differ, all but those of the shortest duration; rests too, unless the run
// ends with a note of that duration. A run that starts with a rest is always looked at. A run
// of shown rests alone, shorter than their measure, stays beside a run of the other stem
// direction that holds a note, or such rests of a voice whose stems are set: the chord puts
// the rests over or under its heads, or over one another, in its column. A chord of their
// own beside it widened the time point: the next chord of every staff moved away from it, a
// triplet's first note apart from its second.
std::vector<Drosa> notes_to_move(const std::vector<Drosa>& run, bool beside) {
  if (run.size() == 1 && !run.front()->get(xrest)) return {};
  if (beside && std::all_of(run.begin(), run.end(), rest_within_measure)) return {};
  int32_t d0 = run_duration(run.front()), target = d0;
  bool unequal = false;
  for (Drosa n : run) {
    int32_t d = run_duration(n);
    unequal |= differs(d, d0);
    if (int64_t(d) < int64_t(target) - TIME_TOLERANCE) target = d;
  }
  std::vector<Drosa> moved;
  if (!unequal && !run.front()->get(xrest)) return moved;
  Drosa tail = run.back();
  bool keep_rests = !tail->get(xrest) && !differs(run_duration(tail), target);
  for (Drosa n : run)
    if (differs(run_duration(n), target) || (n->get(xrest) && !keep_rests)) moved.push_back(n);
  return moved;
}

bool contains(const std::vector<Drosa>& notes, Drosa n) {
  return std::find(notes.begin(), notes.end(), n) != notes.end();
}

// Takes the unequal notes out of one staff chord and gives each a chord of its own after it.
// A chord of one note or rest keeps it.
void split_chord(const std::vector<Drosa>& chord) {
  if (chord.size() == 1) return;
  std::vector<std::vector<Drosa>> runs;
  for (Drosa n : chord) {
    if (runs.empty() || stem_of(runs.back().back()) != stem_of(n)) runs.emplace_back();
    runs.back().push_back(n);
  }
  std::vector<Drosa> moved;
  for (const std::vector<Drosa>& run : runs) {
    // Rests of two voices whose stems are set apart stand one over the other.
    const bool apart = run.front()->get(xdir) != 3;
    const bool beside = std::any_of(chord.begin(), chord.end(), [&](Drosa n) {
      return stem_of(n) != stem_of(run.front()) &&
             (!n->get(xrest) || (apart && n->get(xdir) != 3 && rest_within_measure(n)));
    });
    for (Drosa n : notes_to_move(run, beside)) moved.push_back(n);
  }
  if (moved.size() == chord.size()) moved.pop_back();  // a chord keeps at least one note
  if (moved.empty()) return;
  std::vector<bool> beam_ended(runs.size(), false);
  for (size_t r = 0; r < runs.size(); ++r)
    for (Drosa n : runs[r])
      if (contains(moved, n) && note_ntdata(n)->get(xendbeam)) beam_ended[r] = true;
  for (Drosa n : moved) removestf(n);
  Drosa anchor = NIL;
  for (size_t r = 0; r < runs.size(); ++r) {
    for (auto it = runs[r].rbegin(); it != runs[r].rend(); ++it) {
      if (contains(moved, *it)) continue;
      if (beam_ended[r]) {
        note_ntdata(*it)->set(xendbeam, 1);
        note_ntdata(*it)->set(xtmpbeam, 1);
      }
      anchor = *it;
      break;
    }
  }
  anchor = chord_last_note(anchor);
  for (Drosa n : moved) {
    reinsert_as_own_chord(n, anchor);
    anchor = n;
  }
}

}  // namespace

// ---- Walking the chains -----------------------------------------------------------------------

Drosa first_in_chain(int pstaff, int layer) {
  if (pstaff < 0 || pstaff >= MAX_PSTAVES || layer < 0 || layer >= LAYERS) return NIL;
  Drosa head = staff_data[pstaff].ppnt[layer];
  return head ? chain_next(head) : NIL;
}

// ---- Chain heads ------------------------------------------------------------------------------

Drosa new_chain_head() {
  Drosa head = newDrosa(NOTE, 0);
  link_after(newDrosa(NTDATA, 0), head);
  reset_chain_head(head);
  return head;
}

void reset_chain_head(Drosa head) {
  head->set(xvoice, CHAIN_HEAD_VOICE);
  Drosa nt = note_ntdata(head);
  if (!nt) return;
  nt->set(xendscd, 1);
  nt->set(xendbeam, 1);
  nt->set(xpback, NIL);
  nt->set(xpnext, NIL);
}

// A head stands in no voice list: nothing before it.
bool is_chain_head(Drosa note) { return note && note->xkind == NOTE && !note->xback; }

// ---- setprint ---------------------------------------------------------------------------------

// setprint: builds the print chains of the system first_pstaff..last_pstaff.
// Reads:  voice_count, voice_data (system start and end, PRINT), staff_data chain heads,
//         first_pstaff, last_pstaff, the voice lists of the system, layering_rerun.
// Writes: NTDATA xforced, xstmdir, xtmpdir, xpback, xpnext; NOTE xvoice; PRINT xlhrh,
//         xlayer, xpartstaff, xpartstaves; the chord records (close_staff_chords);
//         staff_data pending notes, end records, chord count, lines, size and type;
//         voice_data cursor, next time, PRINT and staff-switch state; setprint_time,
//         chord_number, layering_start_print.
// Failure: level 4 "relink: logic error in get_notes_until_xend" (the voice ends there),
//         "LHRHend inconsistency", "Fatal error: LHRH switch ...", "pnote logic error1/2 in
//         relink setprint()", "Unexpected xforced in relink", "logic error in relink:
//         staff_data(%hd)->ppnt[%d] is NIL"; goes on. Level 2 once when a system lasts longer
//         than its times can count: its voices end there.
//         Polls for an interrupt at every time point: 0 when told to stop.
int32_t setprint() {
  Run run;
  hand_prints_in_system = false;
  start_voices(run);
  read_staff_stems(run.stems);
  reset_chains();
  setprint_time = 0;
  chord_number = 0;
  clear_chord_table();
  while (setprint_time <= NO_TIME - 1) {
    if (format_interrupted()) return 0;
    bool stepping[MAX_VOICES] = {};
    choose_stepping(run, stepping);
    Step any;
    for (int v = 0; v < voice_count_here(); ++v) {
      if (!stepping[v]) continue;
      Step step;
      int32_t duration = take_vertical_chord(v, step, run);
      any.print_met |= step.print_met;
      advance_voice(v, duration, run);
    }
    if (any.print_met) {
      update_part_staves(run);
      read_staff_stems(run.stems);
    }
    run.close_chords();
    next_time_point(run);
  }
  finish_system(run);
  return 1;
}

bool end_chains_before(int32_t time, bool* rests) {
  const int64_t from = int64_t(time) - TIME_TOLERANCE;
  *rests = false;
  // First only looked at: the chords left out, each chain's first one, and what the chains
  // hold that the layering would count otherwise.
  int32_t first_point = INT32_MAX;
  Drosa cut[MAX_PSTAVES][LAYERS] = {};
  for (int p = system_from(); p <= system_to(); ++p)
    for (int l = 0; l < LAYERS; ++l)
      for (Drosa first = first_in_chain(p, l); first;) {
        Drosa last = chord_last_note(first);
        Drosa cd2 = last_note_cddata2(last);
        if (!cd2) return false;
        const bool left_out = cd2->get(xswholec) >= from;
        for (Drosa n = first; n; n = n == last ? NIL : chain_next(n)) {
          // Grace notes at the time of the cut may belong to the music kept (after-grace
          // notes of its last chord), which a layering of it alone would keep with it; those
          // of a later time belong to the music left out.
          if (left_out && n->get(xgrace) && cd2->get(xswholec) <= int64_t(time) + TIME_TOLERANCE)
            return false;
          *rests = *rests || n->get(xrest);
        }
        if (left_out) {
          if (!cut[p][l]) cut[p][l] = first;
          first_point = std::min<int32_t>(first_point, cd2->get(xchordNum));
        }
        first = chain_next(last);
      }
  if (first_point == INT32_MAX) return false;
  for (int p = system_from(); p <= system_to(); ++p) {
    StaffData& s = staff_data[p];
    s.chord_count = first_point;
    for (int l = 0; l < LAYERS; ++l) {
      if (!cut[p][l]) continue;
      Drosa before = chain_prev(cut[p][l]);
      if (Drosa nt = note_ntdata(before)) nt->set(xpnext, NIL);
      s.pending[l] = before;
    }
  }
  Drosa cd = last_chord;
  for (Drosa cd3 = chord_records3(cd); cd3 && cd->xnext->get(xswholec) >= from;
       cd3 = chord_records3(cd))
    cd = cd3->get(xprevchord);
  if (Drosa cd3 = chord_records3(cd)) cd3->set(xnextchord, NIL);
  last_chord = cd;
  return true;
}

// split_voices_to_layers: for each staff chord of layers below r that holds notes of voices
// that cannot share it (durations more than 50 apart or stems apart), keeps the shortest
// (two in layer 0 when their stems differ) and moves the others' voices to layer r; then
// drops the system's chord records and clears its note records for a fresh run.
// Reads:  the chains of the system, voice_data PRINTs. Writes: PRINT xlayer,
//         layering_start_print, layering_rerun, the system's layout records.
int32_t split_voices_to_layers(int r) {
  if (r < 1 || r >= LAYERS) return 0;
  bool moved = false;
  std::vector<Drosa> chord;
  for (int p = system_from(); p <= system_to(); ++p) {
    for (int l = 0; l < r; ++l) {
      for (Drosa first = first_in_chain(p, l); first;) {
        staff_chord_notes(first, chord);
        first = chain_next(chord.back());
        if (chord.size() < 2) continue;
        std::vector<Drosa> taken = conflicting_notes(chord, l);
        if (taken.size() < 2) continue;
        for (size_t i = 1; i < taken.size(); ++i)  // shortest first, ties kept in order
          for (size_t j = i; j > 0 && compare_note_durations(taken[j], taken[j - 1]) < 0; --j)
            std::swap(taken[j], taken[j - 1]);
        size_t keep = 1;
        if (l == 0 && (stem_of(taken[0]) != stem_of(taken[1]) || stem_of(taken[0]) == 3)) keep = 2;
        for (size_t i = keep; i < taken.size(); ++i) move_voice_to_layer(taken[i]->get(xvoice), r);
        moved |= taken.size() > keep;
      }
    }
  }
  if (!moved) return 0;
  clear_system_records();
  layering_rerun = true;
  return 1;
}

int compare_note_durations(Drosa a, Drosa b) {
  int64_t d = int64_t(duration_of(a)) - duration_of(b);
  return d < -TIME_TOLERANCE ? -1 : d > TIME_TOLERANCE ? 1 : 0;
}

// split_unequal_chords: within each staff chord of the system, a run of notes with one stem
// direction keeps only the notes of its shortest duration (and rests only beside a note of
// that duration, or in a run of their own beside the other stem direction, as notes_to_move
// says); a note or rest taken out becomes a staff chord of its own at the same time point,
// and a chord always keeps one note. A beam that ended at a note taken out ends at the run's
// last remaining note.
// Reads:  the chains of the system, the time signature in force at a rest. Writes: the chains,
// NTDATA xendscd, xendbeam, xtmpbeam,
//         chord records, last_chord. Polls for an interrupt per chord: 0 when told to stop.
int32_t split_unequal_chords() {
  std::vector<Drosa> chord;
  for (int p = system_from(); p <= system_to(); ++p) {
    for (int l = 0; l < LAYERS; ++l) {
      for (Drosa first = first_in_chain(p, l); first;) {
        if (format_interrupted()) return 0;
        staff_chord_notes(first, chord);
        first = chain_next(chord.back());
        split_chord(chord);
      }
    }
  }
  return 1;
}

int split_off_chord(Drosa first) {
  Drosa prev = chain_prev(first);
  if (!first || !prev || is_chain_head(prev)) return 0;
  Drosa before = last_note_cddata2(prev), own = last_note_cddata2(chord_last_note(first));
  return before && own && before->get(xchordNum) == own->get(xchordNum);
}

// ---- The system's first note ------------------------------------------------------------------

void set_first_note_x(int32_t x) {
  for (int p = system_from(); p <= system_to(); ++p) staff_data[p].first_note_x = x;
}

int32_t first_note_x() {
  return valid_pstaff(first_pstaff) ? staff_data[first_pstaff].first_note_x : 0;
}
