// spacing.cpp: the horizontal spacing of a system: the curve that turns a duration into its
// ideal space, and the spacing pass.
//
// The pass walks the print chains of every pstaff and layer of the system together, one time
// point (CDDATA2 xchordNum) after the other. At each time point it places the chords there
// (placecd), asks specspace how far the packed position must advance for those chords and the
// signs before them to clear what stands before them, and moves the chords there: their packed
// x is xorigin. Beside it runs the ideal position, which grows by the space the curve gives
// the shortest note sounding across the gap to the next time point: its x is xidealx.
// Justification later blends the two.
//
// Design notes:
//  - Every time point adds one unit to both positions, so that no two chords share an x.
//  - A layer's walk keeps its current note: the last note of the chord it passed last, or the
//    chain head before its first chord. Its next chord is the one after that note.
//  - The curve: space(d) = s x (d / eighth)^k with k = -ln(1 - r) for r the effect of
//    duration (parameter 221) and s the space of an eighth (parameter 220). Each doubling of
//    a duration multiplies its space by 2^k; an eighth gets s exactly, whatever r is.
#include "layout/spacing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <utility>
#include <vector>

#include "layout/format.h"
#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "layout/lyrics.h"
#include "layout/object_lookup.h"
#include "layout/placecd.h"
#include "layout/relocate.h"
#include "layout/setprint.h"
#include "layout/specspace.h"
#include "model/model_services.h"
#include "params/param_services.h"

namespace {

constexpr double LARGEST_EFFECT = 0.9;  // the largest effect the context's options allow
constexpr int32_t SIXTY_FOURTH = 1024;

// ---- Chains and chords ---------------------------------------------------------------------

// The start time and the time point of the chord that begins with `first`.
int32_t chord_start(Drosa first) {
  Drosa cd2 = last_note_cddata2(chord_last_note(first));
  return cd2 ? cd2->get(xswholec) : NO_TIME;
}

int chord_point(Drosa first) {
  Drosa cd2 = last_note_cddata2(chord_last_note(first));
  return cd2 ? cd2->get(xchordNum) : INT32_MAX;
}

bool is_after_grace(Drosa n) { return n && n->get(xgrace) && n->get(xnachschlag); }

// The start time of the layer's next chord as find_next_chord read it.
int32_t next_chord_start(const SpacingStaff& s, int l) {
  return s.next_cd2[l] ? s.next_cd2[l]->get(xswholec) : NO_TIME;
}

bool near(int64_t a, int64_t b) { return std::llabs(a - b) <= TIME_TOLERANCE; }

// Within the tolerance of a multiple of a 64th note.
bool on_sixty_fourth(int64_t t) {
  int64_t r = t % SIXTY_FOURTH;
  if (r < 0) r += SIXTY_FOURTH;
  return r <= TIME_TOLERANCE || SIXTY_FOURTH - r <= TIME_TOLERANCE;
}

int32_t clamp_i32(double v) {
  if (!(v > double(INT32_MIN))) return v != v ? 0 : INT32_MIN;
  if (v >= double(INT32_MAX)) return INT32_MAX;
  return int32_t(v);
}

int system_from() { return std::max(first_pstaff, 0); }
int system_to() { return std::min(last_pstaff, MAX_PSTAVES - 1); }

bool at_start(Drosa current) { return !current || is_chain_head(current); }

// The first note and start time of each layer's current chord, read as the walk passes the
// chord rather than at every time point after it. `last` is the current note they belong to.
struct CurrentChord {
  Drosa last, first;
  int64_t start = 0;
};
CurrentChord current_chords[MAX_PSTAVES][LAYERS];

// Where the pass stood when it had placed the chords before a measure's start: what a spacing
// of only those chords would end the system from. One for each measure start of the system.
struct MeasureEnd {
  int32_t next = 0;  // the measure's start
  int32_t T = 0;     // the time point placed last
  int32_t x = 0, idealx = 0;
  std::vector<SpacingStaff> staves;  // of the system's pstaves
  std::vector<std::array<bool, LAYERS>> placed;
  std::vector<KeptRightEdge> edges;
};
std::vector<MeasureEnd> measure_ends;
// Each chord's start and the latest end of a note of it or of a chord before it, as the
// pass's start found them (no rest given its measure yet), in start order: a spacing of only
// the chords before a time finds its system's end there.
std::vector<std::pair<int32_t, int32_t>> chord_ends;
// The one the system's spacing goes on from.
int32_t spacing_resumed_at = 0;
std::vector<std::array<bool, LAYERS>> resumed_placed;

// The layer's current chord, `last` its current note.
const CurrentChord& current_chord(int p, int l, Drosa last) {
  CurrentChord& c = current_chords[p][l];
  if (c.last != last) {
    c.last = last;
    c.first = chord_first_note(last);
    c.start = chord_start(c.first);
  }
  return c;
}

// The layer's next chord, or NIL when its walk has ended.
Drosa next_chord(int p, int l) {
  const SpacingStaff& s = spacing_staff[p];
  return s.next_time[l] == NO_TIME ? NIL : s.next_first[l];
}

// The TIMESIG attached before a note of the chord that begins with `first`.
Drosa timesig_before(Drosa first) {
  Drosa last = chord_last_note(first);
  for (Drosa n = first; n; n = n == last ? NIL : chain_next(n))
    for (Drosa p = n->xback; p; p = p->xback) {
      int k = effective_kind(p);
      if (k == NOTE || k == ENDSYST) break;
      if (k == TIMESIG) return p;
    }
  return NIL;
}

// A node at which the parameters of the system's start are looked up.
Drosa system_first_node() {
  for (int p = system_from(); p <= system_to(); ++p)
    for (Drosa head : staff_data[p].ppnt)
      if (Drosa first = chain_next(head)) return first;
  for (int v = 0; v < std::min<int>(voice_count, MAX_VOICES); ++v)
    if (voice_data[v].system_start) return voice_data[v].system_start;
  return NIL;
}

// Whether a chord of the system begins with a grace note (start_walks finds out).
bool system_has_graces = true;

// ---- Setting up the walk -------------------------------------------------------------------

// Every layer's walk at its chain head; the system's end is where its longest-sounding note
// ends. Returns the number of staff chords of the system.
int start_walks() {
  int chords = 0;
  system_end_time = 0;
  chord_ends.clear();
  system_has_graces = false;
  for (int p = system_from(); p <= system_to(); ++p) {
    SpacingStaff& s = spacing_staff[p];
    s.layers = 0;
    for (int l = 0; l < LAYERS; ++l) {
      s.current[l] = staff_data[p].ppnt[l];
      current_chords[p][l] = {};
      find_next_chord(s, l);
      Drosa first = s.next_first[l];
      s.next_time[l] = first ? next_chord_start(s, l) : NO_TIME;
      s.left_edge[l] = 0;
      if (first) s.layers = l + 1;
      for (Drosa n = first; n;) {
        // Chord by chord: the walk to a chord's last note is taken once, not for every note.
        Drosa last = chord_last_note(n);
        Drosa cd2 = last_note_cddata2(last);
        chords += cd2 ? 1 : 0;
        system_has_graces |= n->get(xgrace) != 0;
        int32_t chord_end = 0;
        for (Drosa m = n; m && cd2; m = m == last ? NIL : chain_next(m)) {
          int64_t end = int64_t(cd2->get(xswholec)) + spaced_duration(m);
          chord_end = int32_t(std::clamp<int64_t>(end, chord_end, NO_TIME - 1));
        }
        if (cd2) chord_ends.emplace_back(cd2->get(xswholec), chord_end);
        system_end_time = std::max(system_end_time, chord_end);
        n = chain_next(last);
      }
    }
    s.front_space = 0;
    s.trailing_width = 0;
    // What the staff's first chord finds is in force before it too (a time signature
    // attached to that chord is found there again).
    Drosa first = chain_next(staff_data[p].ppnt[0]);
    s.timesig = first ? find_object(TIMESIG, first) : NIL;
  }
  std::stable_sort(chord_ends.begin(), chord_ends.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t k = 1; k < chord_ends.size(); ++k)
    chord_ends[k].second = std::max(chord_ends[k].second, chord_ends[k - 1].second);
  return chords;
}

// ---- One time point ------------------------------------------------------------------------

struct TimePoint {
  bool occupied = false;
  bool grace_seen = false;
  bool after_grace_seen = false;
  bool all_placeholders = true;
  int32_t grace_run = 0;  // time points from a grace chord to its main chord
};

// The time points from a grace chord to the first chord of its layer that is no grace.
int32_t grace_run_from(Drosa grace_first) {
  for (Drosa n = grace_first; n; n = chain_next(chord_last_note(n)))
    if (!n->get(xgrace)) return chord_point(n) - chord_point(grace_first);
  return 0;
}

// The layer's next chord when it stands at time T, else NIL.
Drosa chord_due(int p, int l, int32_t T) {
  const SpacingStaff& s = spacing_staff[p];
  const bool due = s.next_time[l] != NO_TIME && s.next_time[l] <= int64_t(T) + TIME_TOLERANCE;
  return due ? s.next_first[l] : NIL;
}

// The earliest time point of the grace chords at time T (INT32_MAX when none). A chord split
// off its staff chord keeps that chord's number though it may stand at a later time, so the
// walk's count can run ahead of the time points: the grace chords at T must still come
// first, one time point after the other, before the other chords at T.
int earliest_grace_point(int32_t T) {
  int earliest = INT32_MAX;
  if (!system_has_graces) return earliest;
  for (int p = system_from(); p <= system_to(); ++p)
    for (int l = 0; l < spacing_staff[p].layers; ++l)
      if (Drosa first = chord_due(p, l, T); first && first->get(xgrace))
        earliest = std::min(earliest, spacing_staff[p].next_point[l]);
  return earliest;
}

// Step 2: places the chords that stand at time point t and fills the width table.
TimePoint place_chords(int t, int32_t T, bool grace_carry, SpacingWidths& widths) {
  TimePoint tp;
  const int graces = earliest_grace_point(T);
  for (int p = system_from(); p <= system_to(); ++p) {
    std::fill(std::begin(widths.x[p]), std::end(widths.x[p]), spacing_x);
    std::fill(std::begin(widths.placed[p]), std::end(widths.placed[p]), false);
    for (int l = 0; l < spacing_staff[p].layers; ++l) {
      Drosa first = chord_due(p, l, T);
      if (!first) continue;
      const int point = spacing_staff[p].next_point[l];
      if (t < point) continue;
      if (graces < t && (!first->get(xgrace) || point > graces)) continue;
      if (!page_first_note) page_first_note = first;
      if (first->get(xgrace)) {
        tp.grace_seen = true;
        if (first->get(xnachschlag)) tp.after_grace_seen = true;
      }
      if (tp.grace_seen && !tp.after_grace_seen && !grace_carry && find_time_in_bar(first) > 0)
        tp.grace_run = grace_run_from(first);
      if (!is_placeholder_rest(first)) tp.all_placeholders = false;
      // The chord's notes stand at the packed position until placecd places them.
      Drosa last = spacing_staff[p].next_last[l];
      for (Drosa n = first; n; n = n == last ? NIL : chain_next(n))
        note_ntdata(n)->set(xhdx, spacing_x);
      widths.x[p][l] = placecd(first, p, l);
      widths.placed[p][l] = tp.occupied = true;
    }
  }
  return tp;
}

// Step 7: the chords placed at this time point move by the advance to the new packed
// position; each layer's walk passes them. Only those: a chord split off from its staff chord
// stands at the time point of the chord it came from and takes a step of its own, so another
// layer's chord of the same number may belong to a later time and has not been placed yet.
void move_chords(const SpacingWidths& widths, int32_t advance, bool first_point, int32_t key_gap) {
  for (int p = system_from(); p <= system_to(); ++p) {
    SpacingStaff& s = spacing_staff[p];
    for (int l = 0; l < s.layers; ++l) {
      Drosa first = next_chord(p, l);
      if (!first || !widths.placed[p][l]) continue;
      Drosa last = s.next_last[l];
      for (Drosa n = first; n; n = n == last ? NIL : chain_next(n)) {
        Drosa nt = note_ntdata(n);
        nt->set(xhdx, clamp_i32(double(nt->get(xhdx)) + advance));
        set_attached_origins(n, spacing_x);
      }
      if (Drosa cd = last_note_cddata(last)) cd->set(xorigin, spacing_x);
      if (Drosa cd2 = s.next_cd2[l]) cd2->set(xidealx, spacing_idealx);
      if (Drosa timesig = timesig_before(first)) s.timesig = timesig;
      // The chord passed becomes the layer's current one: its first note and start are known
      // here (after the chain head, a chord's first note is the one after the chord before).
      if (!at_start(s.current[l])) current_chords[p][l] = {last, first, next_chord_start(s, l)};
      s.current[l] = last;
      int32_t shortest = NO_TIME;
      for (Drosa n = first; n; n = n == last ? NIL : chain_next(n))
        shortest = std::min(shortest, spaced_duration(n));
      s.shortest[l] = shortest;
      find_next_chord(s, l);
      s.next_time[l] = s.next_first[l] ? next_chord_start(s, l) : NO_TIME;
    }
  }
  if (!first_point) return;
  set_first_note_x(spacing_x);
  for (int p = system_from(); p <= system_to(); ++p)
    for (int32_t& edge : spacing_staff[p].left_edge) edge = spacing_x - 2 * key_gap;
}

// Step 8: the earliest next chord of any layer.
int32_t next_time_point() {
  int32_t tn = NO_TIME;
  for (int p = system_from(); p <= system_to(); ++p)
    for (int l = 0; l < spacing_staff[p].layers; ++l)
      if (next_chord(p, l)) tn = std::min(tn, spacing_staff[p].next_time[l]);
  return tn;
}

// The shortest duration of the nearest earlier chord of the chain that is neither grace nor
// hidden from the current context.
int32_t earlier_normal_duration(Drosa first) {
  for (Drosa n = chain_prev(first); n && !is_chain_head(n); n = chain_prev(n)) {
    Drosa f = chord_first_note(n);
    if (!f->get(xgrace) && is_visible_note(f)) return spaced_chord_duration(f);
    n = f;
  }
  return 0;
}

// Step 9: the shortest duration still sounding at the next time point, and its chord.
struct Shortest {
  int32_t S = NO_TIME;
  Drosa N;
};

Shortest shortest_sounding(int32_t Tn) {
  Shortest best;
  for (int p = system_from(); p <= system_to(); ++p) {
    for (int l = 0; l < spacing_staff[p].layers; ++l) {
      Drosa L = spacing_staff[p].current[l];
      if (at_start(L)) continue;
      const CurrentChord& current = current_chord(p, l, L);
      Drosa F = current.first;
      int32_t umin = spacing_staff[p].shortest[l];
      int32_t u = umin;
      Drosa after = spacing_staff[p].next_first[l];
      if (after && is_placeholder_rest(after)) {
        int32_t dF = spaced_duration(F), dL = spaced_duration(L);
        if (!near(dF, dL)) u = std::max(dF, dL);
      }
      if (is_after_grace(after))
        u = 0;
      else if (is_after_grace(L))
        u = earlier_normal_duration(F);
      const int64_t start = current.start;
      bool sounding = start + umin >= int64_t(Tn) - TIME_TOLERANCE;
      if (start >= int64_t(Tn) - TIME_TOLERANCE) sounding = near(start, Tn) && near(umin, 0);
      if (u < int64_t(best.S) - TIME_TOLERANCE && sounding) {
        best.S = u;
        best.N = F;
      }
    }
  }
  return best;
}

// A whole-measure rest at N (alone in its chord, or followed by another): the length of its
// measure from the time signature in force; -1 when there is none to read.
int32_t measure_of_rest(Drosa N) {
  Drosa nt = note_ntdata(N);
  if (!N->get(xrest) || !nt->get(xrestchar)) return -1;
  Drosa after = chain_next(N);
  bool whole =
      nt->get(xendscd) || (after && after->get(xrest) && note_ntdata(after)->get(xrestchar));
  if (!whole) return -1;
  Drosa timesig = time_signature_at(N);
  // A time signature without a beat (a damaged one) gives no measure.
  if (!timesig || timesig->get(xbeat) <= 0 || timesig->get(xbpm) < 0) return -1;
  const int32_t measure =
      int32_t(int64_t(timesig->get(xbpm)) * WHOLE_NOTE_TIME / timesig->get(xbeat));
  // The rest of a measure shorter than its time signature lasts its own value.
  return nt->get(xrestchar) == 1 ? std::min(measure, note_duration(N, 1)) : measure;
}

// Step 10: the ideal position advances across the gap T..Tn.
void advance_ideal(int32_t T, int32_t Tn, const Shortest& sh) {
  int32_t measure = measure_of_rest(sh.N);
  if (measure >= 0) {
    spacing_idealx += measure > 0 ? space_for_duration(measure) : 0;
    return;
  }
  int64_t gap = int64_t(Tn) - T;
  if (on_sixty_fourth(gap)) {
    int32_t d = Tn == T ? sh.S : gap > 0 ? int32_t(std::min<int64_t>(gap, NO_TIME)) : 0;
    spacing_idealx += space_for_duration(d);
  } else {
    spacing_idealx =
        clamp_i32(double(gap) / sh.S * space_for_duration(sh.S) + double(spacing_idealx));
  }
}

// Step 12: when the next time point comes before the shortest note ends, that note keeps its
// share of the minimum space from the chord at the next time point.
void keep_minimum_space(int32_t T, int32_t Tn, const Shortest& sh) {
  if (int64_t(T) + sh.S <= int64_t(Tn) + TIME_TOLERANCE) return;
  int32_t m =
      tight_gap(param_length(P_MINIMUM_SPACE_BETWEEN_NORMAL_NOTE_AND_NEXT_CHORD, sh.N, nullptr),
                TIGHT_NOTE_GAP_PERCENT) +
      hdw(sh.N, 0);
  Drosa cd = last_note_cddata(chord_last_note(sh.N));
  if (!cd) return;
  int32_t reach = clamp_i32(cd->get(xorigin) + std::trunc(double(Tn - T) / sh.S * m));
  if (reach > spacing_x)
    spacing_x = reach;
  else if (on_sixty_fourth(sh.S))
    spacing_x += m;
}

// Whether the step at time T moves the ideal position on to Tn by the shortest note sounding
// (sh). Not when only placeholder rests (hidden rests beside another voice) have stood at T:
// such a time takes no room of its own; but the step of a rest split off a chord at T ends
// a time that held the chord. Nor when the next step places chords split off at this same
// time (Tn equals T, no grace notes here): a split-off chord stands beside the chord it came
// from, though a note of another staff sounds on through both.
bool timed_step(const TimePoint& tp, bool drawn_at_T, int32_t T, int32_t Tn, const Shortest& sh) {
  if (sh.S <= 0 || !sh.N || !drawn_at_T) return false;
  return tp.grace_seen || !near(T, Tn);
}

// Step 5: the system is at least as wide as its last chords with their lyrics.
void widen_for_last_chords() {
  int32_t widest = INT32_MIN;
  for (int p = system_from(); p <= system_to(); ++p) {
    spacing_staff[p].end_time = system_end_time;
    for (Drosa current : spacing_staff[p].current)
      if (!at_start(current)) widest = std::max(widest, space_lyrics(current));
  }
  spacing_x = std::max(spacing_x, widest);
}

// Whether a chord due at Tn begins a measure.
bool starts_measure(int32_t Tn) {
  for (int p = system_from(); p <= system_to(); ++p)
    for (int l = 0; l < spacing_staff[p].layers; ++l) {
      Drosa first = chord_due(p, l, Tn);
      if (!first || !near(spacing_staff[p].next_time[l], Tn)) continue;
      Drosa cd2 = spacing_staff[p].next_cd2[l];
      return cd2 && cd2->get(xmwholec) == 0;
    }
  return false;
}

void keep_measure_end(int32_t Tn, int32_t T, const SpacingWidths& widths) {
  MeasureEnd end{Tn, T, spacing_x, spacing_idealx, {}, {}, {}};
  for (int p = system_from(); p <= system_to(); ++p) {
    end.staves.push_back(spacing_staff[p]);
    std::array<bool, LAYERS> placed;
    std::copy(std::begin(widths.placed[p]), std::end(widths.placed[p]), placed.begin());
    end.placed.push_back(placed);
  }
  end.edges = copy_right_edges(system_from(), system_to());
  measure_ends.push_back(std::move(end));
}

// Steps 5 and 6: the system ends after the time point T.
void end_system(int32_t T, SpacingWidths& widths) {
  if (system_end_time > T) spacing_idealx += space_for_duration(system_end_time - T);
  widen_for_last_chords();
  for (int p = system_from(); p <= system_to(); ++p)
    for (int32_t& x : widths.x[p]) x = spacing_x;
  spacing_x += specspace(widths, 0, SPACE_SYSTEM_END, 0, 0, 0, 0);
}

}  // namespace

void find_next_chord(SpacingStaff& s, int l) {
  const Drosa first = s.current[l] ? chain_next(s.current[l]) : NIL;
  const Drosa last = first ? chord_last_note(first) : NIL;
  const Drosa cd2 = last ? last_note_cddata2(last) : NIL;
  s.next_first[l] = first;
  s.next_last[l] = last;
  s.next_cd2[l] = cd2;
  s.next_point[l] = cd2 ? cd2->get(xchordNum) : INT32_MAX;
}

void find_next_chords() {
  for (int p = system_from(); p <= system_to(); ++p)
    for (int l = 0; l < LAYERS; ++l) find_next_chord(spacing_staff[p], l);
}

// ---- The spacing curve ------------------------------------------------------------------------

void init_spacing_curve(Drosa node) {
  double r = param_float_value(P_EFFECT_OF_DURATION_ON_NOTE_SPACING, node);
  int32_t s = param_length(P_SPACE_GIVEN_TO_EIGHTH_NOTE_BEFORE_JUSTIFICATION, node, nullptr);
  SpacingCurve& c = spacing_curve;
  if (r == c.r && s == c.s) return;
  double effect = std::isnan(r) ? 0.0 : r >= 1.0 ? LARGEST_EFFECT : r;
  c.k = -std::log(1.0 - effect);
  c.A = s / std::exp(c.k * std::log(0.125));
  for (int32_t& key : c.key) key = 0;
  c.index = 0;
  c.r = r;
  c.s = s;
}

int32_t space_for_duration(int32_t d) {
  if (d < 1) return 0;
  if (linear_spacing_context()) return d >> 8;
  SpacingCurve& c = spacing_curve;
  for (int i = 0; i < 3; ++i)
    if (c.key[i] == d) return c.space[i];
  // s x (d / eighth)^k, which is A x (d / whole)^k, but exactly s for an eighth.
  double space = c.s * std::exp(c.k * std::log(double(d) / (WHOLE_NOTE_TIME / 8)));
  int32_t result = int32_t(std::clamp(space, 0.0, double(MAX_DURATION_SPACE)));
  c.index = (c.index + 1) % 3;
  c.key[c.index] = d;
  c.space[c.index] = result;
  return result;
}

// ---- The pass ------------------------------------------------------------------------------

Drosa time_signature_at(Drosa note) {
  Drosa last = chord_last_note(note);
  Drosa cd = last_note_cddata(last);
  Drosa cd3 = cd && cd->xnext ? cd->xnext->xnext : NIL;
  if (cd3 && cd3->xkind == CDDATA3 && cd3->get(xpstaff) < MAX_PSTAVES &&
      cd3->get(xcdlayer) < LAYERS) {
    const SpacingStaff& s = spacing_staff[cd3->get(xpstaff)];
    Drosa current = s.current[cd3->get(xcdlayer)];
    if (s.timesig && current == last) return s.timesig;
    if (s.timesig && current && chain_next(current) == chord_first_note(note)) {
      Drosa attached = timesig_before(chain_next(current));
      return attached ? attached : s.timesig;
    }
  }
  return find_object(TIMESIG, note);
}

int32_t measure_length_at(Drosa note) {
  Drosa timesig = time_signature_at(note);
  // A time signature without a beat (a damaged one) gives no measure.
  if (!timesig || timesig->get(xbeat) <= 0 || timesig->get(xbpm) <= 0) return 0;
  double m = double(timesig->get(xbpm)) * WHOLE_NOTE_TIME / timesig->get(xbeat);
  if (param_changed(P_POLYTEMPO_NOTE_DURATION_MULTIPLIER))
    m *= param_float_value(P_POLYTEMPO_NOTE_DURATION_MULTIPLIER, note);
  return m >= 1 && m < NO_TIME ? int32_t(m) : 0;
}

int32_t spaced_duration(Drosa note) {
  Drosa nt = note_ntdata(note);
  int glyph = nt && note->get(xrest) ? nt->get(xrestchar) : 0;
  if (!glyph) return note_duration(note, 0);
  int64_t d = measure_length_at(note);
  if (d <= 0) return note_duration(note, 0);
  if (glyph == 2) {
    Drosa cd = last_note_cddata(chord_last_note(note));
    d *= cd ? std::max<int16_t>(cd->get(xrcmeas), 0) : 1;
  } else {
    d = std::min<int64_t>(d, note_duration(note, 1));  // a measure shorter than its signature
  }
  return int32_t(std::min<int64_t>(d, NO_TIME - 1));
}

int32_t spaced_chord_duration(Drosa note) {
  Drosa first = chord_first_note(note), last = chord_last_note(note);
  int32_t shortest = NO_TIME;
  for (Drosa n = first; n; n = n == last ? NIL : chain_next(n))
    shortest = std::min(shortest, spaced_duration(n));
  return shortest;
}

bool is_placeholder_rest(Drosa note) {
  if (!is_NOTE(note) || !note->get(xrest) || !note->get(xhider) || note->get(xgrace)) return false;
  Drosa nt = note_ntdata(note);
  if (!nt || !nt->get(xendscd)) return false;
  Drosa cd = last_note_cddata(note);
  return cd && cd->get(xoppos);
}

int32_t spacing_pass() {
  if (first_pstaff <= 0) page_first_note = NIL;  // the page's first system
  forget_right_edges();
  measure_ends.clear();
  spacing_x = 0;
  spacing_idealx = 0;
  if (system_from() > system_to()) return 1;
  const KeptTextWidths kept_widths;
  Drosa start = system_first_node();
  init_spacing_curve(start);
  const int chords = start_walks();

  int mode = SPACE_SYSTEM_START;
  int32_t T = 0, key_gap = 0;
  bool grace_carry = false;
  bool drawn_at_T = false;  // a chord other than hidden placeholder rests stood at T
  SpacingWidths widths;
  // Chords split off at the time point of the chord they came from each take a step of their
  // own, so a system may take more steps than it has time points (never more than it has
  // time points and chords together).
  const int64_t steps = int64_t(staff_data[system_from()].chord_count) + chords;
  for (int t = 0; t < steps; ++t) {
    if (format_interrupted()) return 0;
    TimePoint tp = place_chords(t, T, grace_carry, widths);
    if (!tp.occupied) continue;
    drawn_at_T |= !tp.all_placeholders;
    int32_t advance =
        specspace(widths, T, mode, tp.grace_seen, tp.after_grace_seen, grace_carry, tp.grace_run);
    if (format_interrupted()) return 0;
    bool first_point = mode == SPACE_SYSTEM_START;
    if (first_point) {
      key_gap = param_length(P_ADDITIONAL_SPACE_BETWEEN_KEY_TIME_AND_FIRST_NOTE_ON_STAFF, start,
                             &staff_data[system_from()]);
      advance += std::abs(key_gap);
      key_gap = std::max(key_gap, 0);
      mode = SPACE_INSIDE;
    }
    spacing_x += advance;
    move_chords(widths, advance, first_point, key_gap);
    int32_t Tn = next_time_point();
    if (Tn == NO_TIME) break;
    if (starts_measure(Tn)) keep_measure_end(Tn, T, widths);
    Shortest sh = shortest_sounding(Tn);
    const bool timed = timed_step(tp, drawn_at_T, T, Tn, sh);
    if (timed) advance_ideal(T, Tn, sh);
    ++spacing_x;
    ++spacing_idealx;
    if (timed) keep_minimum_space(T, Tn, sh);
    grace_carry = tp.grace_seen && !tp.after_grace_seen;
    if (!near(T, Tn)) drawn_at_T = false;
    T = Tn;
  }
  if (format_interrupted()) return 0;
  end_system(T, widths);
  return 1;
}

bool spacing_before(int32_t time) {
  auto at = std::find_if(measure_ends.begin(), measure_ends.end(),
                         [&](const MeasureEnd& e) { return near(e.next, time); });
  if (at == measure_ends.end()) return false;
  // The layers that hold a chord now, as the pass's start counts them, must be those it
  // counted: a layer whose chords were all cut off is not walked by a spacing of the rest.
  for (int p = system_from(); p <= system_to(); ++p) {
    int layers = 0;
    for (int l = 0; l < LAYERS; ++l)
      if (chain_next(staff_data[p].ppnt[l])) layers = l + 1;
    if (layers != at->staves[size_t(p - system_from())].layers) return false;
  }
  spacing_x = at->x;
  spacing_idealx = at->idealx;
  for (int p = system_from(); p <= system_to(); ++p) {
    SpacingStaff& s = spacing_staff[p];
    s = at->staves[size_t(p - system_from())];
    for (int l = 0; l < LAYERS; ++l) find_next_chord(s, l);
    for (int l = 0; l < s.layers; ++l)  // the walks end where the chains now end
      if (!next_chord(p, l)) s.next_time[l] = NO_TIME;
  }
  restore_right_edges(system_from(), at->edges);
  // The system's end is where the longest-sounding of the chords kept (those before the time,
  // as the chains were ended) ends, as a spacing of only them finds it at its start: before
  // any of their rests was given its measure, with those a measure of rests took in.
  const int64_t from = int64_t(time) - TIME_TOLERANCE;
  auto kept_end = std::partition_point(chord_ends.begin(), chord_ends.end(),
                                       [&](const auto& c) { return c.first < from; });
  system_end_time = kept_end == chord_ends.begin() ? 0 : std::prev(kept_end)->second;
  spacing_resumed_at = at->T;
  resumed_placed = at->placed;
  return true;
}

void end_spacing() {
  const KeptTextWidths kept_widths;
  SpacingWidths widths;
  for (int p = system_from(); p <= system_to(); ++p)
    std::copy(resumed_placed[size_t(p - system_from())].begin(),
              resumed_placed[size_t(p - system_from())].end(), std::begin(widths.placed[p]));
  end_system(spacing_resumed_at, widths);
  measure_ends.clear();
  chord_ends.clear();
}
