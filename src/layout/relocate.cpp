// relocate.cpp: springs-and-rods justification of a system, relocation zones, and the moves
// that shift chords, accidentals and notes.
//
// The spacing pass leaves every staff chord two x's: xorigin, packed as tightly as the chords
// and what stands before them allow, and xidealx, spaced by duration alone. Justification
// puts a spring between each two consecutive ideal positions, the stiffer the shorter the
// ideal distance, so that under one force the springs keep the ideal proportions. Packed
// distances become rods: a rod says that springs left..right together are at least so long.
// Relocation zones (ZONE marks) pin a chord to a fraction of the staff width; the staff's
// left and right edges are the first and last zone. Rods are resolved strongest first, each
// raising the springs of its span to the force it needs; then the springs' lengths, zone by
// zone scaled onto the zone's width, give every chord its final x.
//
// Invariants: springs and rods exist only inside one call of relocate; springs are numbered
// 0, 1, ... in creation order and spring_index[n] is spring n; a stored rod spans at least
// two springs (a single spring is lengthened at once) and is not yet reached by its springs
// at their least forces; of two rods over the same springs only the longer is stored.
//
// Guards beyond the plain algorithm: a spring is never softer than stiffness 1 (an ideal
// distance over 30000 units would otherwise give stiffness 0, a spring of no length, and
// chords on top of each other); a zone whose springs have no length is placed at its target
// instead of being divided by zero; an accidental distance stays within 0 and its byte; a chord
// that takes no spring (a grace run) moves with the next chord of its layer; the signs before
// grace chords and the main chords of other layers at the same time move together, as the one
// column they were set in.
#include "layout/relocate.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "layout/format.h"
#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "layout/setprint.h"
#include "layout/spacing.h"
#include "model/model_services.h"
#include "params/param_services.h"

namespace {

// clang-format off
// The placed x of the objects that stand before a chord, and the packed x of the chord they
// were placed for (the clef's pair is the model's xclefx and xcleforigin). A bar line keeps
// no origin: its own packed x serves, until justification moves it.
constexpr auto xkeysigx = word_field<int32_t>("xkeysigx", KEYSIG, 28);
constexpr auto xkeysig_origin = word_field<int32_t>("xkeysig_origin", KEYSIG, 32);
constexpr auto xtimesigx = word_field<int32_t>("xtimesigx", TIMESIG, 14);
constexpr auto xtimesig_origin = word_field<int32_t>("xtimesig_origin", TIMESIG, 18);
// clang-format on

constexpr float STIFFNESS_NUMERATOR = 30000.0f;  // a spring of ideal length g has 30000 / g
constexpr int32_t BAR_SEARCH_NODES = 100;        // how far back a chord's bar is looked for

// ---- Numbers ------------------------------------------------------------------------------

// Toward zero, kept within 32 bits (not a number gives 0).
int32_t truncate(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 2147483647.0) return INT32_MAX;
  if (x <= -2147483648.0) return INT32_MIN;
  return int32_t(x);
}

bool same_time(int32_t a, int32_t b) { return std::abs(int64_t(a) - b) <= TIME_TOLERANCE; }

// The stiffness of a spring whose ideal length is `gap`: 30000 / gap in integers, never below
// 1; a gap of 0 or less (two chords at one ideal x) gives 30000.
float stiffness(int64_t gap) {
  if (gap <= 0) return STIFFNESS_NUMERATOR;
  return float(std::max<int64_t>(1, 30000 / gap));
}

// ---- The two lists ------------------------------------------------------------------------

void unlink(Drosa node, Drosa& head, Drosa& tail) {
  if (node->xback) node->xback->xnext = node->xnext;
  if (node->xnext) node->xnext->xback = node->xback;
  if (head == node) head = node->xnext;
  if (tail == node) tail = node->xback;
  node->xnext = node->xback = NIL;
}

// Links node before `at`, or at the end when `at` is NIL.
void link_before(Drosa node, Drosa at, Drosa& head, Drosa& tail) {
  node->xnext = at;
  node->xback = at ? at->xback : tail;
  if (node->xback)
    node->xback->xnext = node;
  else
    head = node;
  if (at)
    at->xback = node;
  else
    tail = node;
}

void set_float(Drosa node, const Field<uint32_t>& field, float value) {
  node->set(field, std::bit_cast<uint32_t>(value));
}

// A spring goes before the first spring whose least force is not smaller.
// The place is found in spring_order (a force that is not a number counts as the least).
void insert_spring(Drosa spring) {
  const float force = spring_minforce(spring);
  const float key = std::isnan(force) ? -INFINITY : force;
  const auto first_not_smaller = spring_order.lower_bound(key);
  link_before(spring, first_not_smaller == spring_order.end() ? NIL : first_not_smaller->second,
              spring_head, spring_tail);
  const size_t number = size_t(spring->get(xspringnum));
  if (spring_places.size() <= number) spring_places.resize(number + 1, spring_order.end());
  spring_places[number] = spring_order.emplace_hint(first_not_smaller, key, spring);
}

void set_spring_minforce(Drosa spring, float force) {
  unlink(spring, spring_head, spring_tail);
  spring_order.erase(spring_places[size_t(spring->get(xspringnum))]);
  set_float(spring, xminforce, force);
  insert_spring(spring);
}

// A rod goes after the rods of equal or greater force.
void insert_rod(Drosa rod) {
  Drosa at = rod_head;
  while (at && rod_force(at) >= rod_force(rod)) at = at->xnext;
  link_before(rod, at, rod_head, rod_tail);
}

void destroy_rod(Drosa rod) {
  unlink(rod, rod_head, rod_tail);
  destroyDrosa(rod);
}

struct RodSpan {
  int32_t left, right, length;
};

// Destroys, weakest first, every rod whose span overlaps first..last, then adds each again
// (with the springs as they now are it may need less force, or none).
void readd_rods_over(int32_t first, int32_t last) {
  std::vector<RodSpan> again;
  for (Drosa rod = rod_tail; rod;) {
    Drosa stronger = rod->xback;
    int32_t left = rod->get(xrodleft), right = rod->get(xrodright);
    if (left <= last && right >= first) {
      again.push_back({left, right, rod->get(xrodlength)});
      destroy_rod(rod);
    }
    rod = stronger;
  }
  for (const RodSpan& span : again) new_rod(span.left, span.right, span.length);
}

Drosa find_rod(int32_t left, int32_t right) {
  for (Drosa rod = rod_head; rod; rod = rod->xnext)
    if (rod->get(xrodleft) == left && rod->get(xrodright) == right) return rod;
  return NIL;
}

// find_perfect_force: the force that springs left..right, raised to it where they carry less,
// need to be `length` long together. False when they already are at their least forces.
bool find_perfect_force(int32_t left, int32_t right, int32_t length, double* force) {
  int64_t natural = 0;
  for (int32_t n = std::max(left, 0); n <= right && n < spring_count; ++n) {
    Drosa spring = spring_index[size_t(n)];
    if (spring_k(spring) != 0)
      natural = truncate(double(natural) + double(spring_minforce(spring)) / spring_k(spring));
  }
  if (natural >= length) return false;
  const double extra = double(length) - double(natural);
  // Raising the weakest springs first: from one least force to the next the springs raised so
  // far act in series (stiffness K) and grow by the force step / K.
  Drosa current = NIL;
  double K = 0, grown = 0;
  for (Drosa spring = spring_head; spring; spring = spring->xnext) {
    int32_t n = spring->get(xspringnum);
    if (n < left || n > right) continue;
    if (!current) {
      current = spring;
      K = spring_k(spring);
      continue;
    }
    if (K == 0) break;
    double step =
        std::trunc((double(spring_minforce(spring)) - double(spring_minforce(current))) / K);
    if (extra <= grown + step) break;
    double k = spring_k(spring);
    K = K * k / (K + k);
    grown += step;
    current = spring;
  }
  if (!current) {
    REPORT_ERROR(4, "No spring in range for find_perfect_force()!");
    *force = 0;
    return true;
  }
  *force = double(spring_minforce(current)) + K * (extra - grown);
  return true;
}

// A single spring made at least `length` long; the rods over it are added again.
void lengthen_spring(int32_t number, int32_t length) {
  Drosa spring = find_spring(number);
  if (!spring) {
    REPORT_ERROR(4, "Bad spring number in new_rod: left==right==%hd, springs==%hd", short(number),
                 short(spring_count));
    return;
  }
  float force = float(double(spring_k(spring)) * length);
  if (!(force > spring_minforce(spring))) return;
  set_spring_minforce(spring, force);
  readd_rods_over(number, number);
}

// ---- Debugging dump --------------------------------------------------------------------------

void dump_springs_and_rods() {
  char line[160];
  for (Drosa rod = rod_head; rod; rod = rod->xnext) {
    std::snprintf(line, sizeof line,
                  "ROD    %08x  xrodleft %d xrodright %d xrodlength %d xrodforce %ld\n",
                  rod.handle(), rod->get(xrodleft), rod->get(xrodright), rod->get(xrodlength),
                  long(rod_force(rod)));
    debug_out(line);
  }
  for (Drosa spring = spring_head; spring; spring = spring->xnext) {
    std::snprintf(line, sizeof line,
                  "SPRING %08x  xspringnum %d springk %ld xminforce %ld length %ld\n",
                  spring.handle(), spring->get(xspringnum), long(spring_k(spring)),
                  long(spring_minforce(spring)), long(spring_length(spring)));
    debug_out(line);
  }
}

// stretch_springs: resolves the rods, strongest first: the springs of its span that carry less
// than its force are raised to it, and the rods over them are added again.
void stretch_springs(bool log) {
  char line[48];
  if (log) {
    debug_out("stretch_springs begin\n");
    dump_springs_and_rods();
  }
  for (int iteration = 1; rod_head; ++iteration) {
    Drosa rod = rod_head;
    int32_t left = rod->get(xrodleft), right = rod->get(xrodright);
    float force = rod_force(rod);
    for (int32_t n = std::max(left, 0); n <= right && n < spring_count; ++n) {
      Drosa spring = spring_index[size_t(n)];
      if (spring_minforce(spring) < force) set_spring_minforce(spring, force);
    }
    destroy_rod(rod);
    readd_rods_over(left, right);
    if (log) {
      std::snprintf(line, sizeof line, "stretch_springs iteration %d\n", iteration);
      debug_out(line);
      dump_springs_and_rods();
    }
  }
}

// ---- Chords of the system -----------------------------------------------------------------

struct Chord {
  Drosa first, last;  // first and last note in the print chain
  Drosa cd, cd2;      // its CDDATA and CDDATA2
  // Its ideal and packed x, which justification reads often and never changes, and its
  // spring (CDDATA2 xreloc_spring, -1 for none), kept here as it is written there.
  int32_t ideal = 0, packed = 0, spring = -1;
  int32_t idealx() const { return ideal; }
  int32_t origin() const { return packed; }
};

// The chords of one layer, walked in time order.
struct Layer {
  int pstaff = 0;
  std::vector<Chord> chords;
  size_t next = 0;              // the chord the walk comes to next
  int32_t last_spring = -1;     // the spring at whose left end its last relocated chord stands
  int32_t last_origin = 0;      // that chord's packed x
  std::vector<size_t> pending;  // chords passed over, placed with the layer's next chord
  double last_shift = 0;        // how far the last placed chord moved
  // The layers of its pstaff (itself among them): layers[staff_begin..staff_end).
  size_t staff_begin = 0, staff_end = 0;
  bool ended() const { return next >= chords.size(); }
  // The last note of the chord before the walk's place, NIL at the start.
  Drosa current() const { return next ? chords[next - 1].last : NIL; }
};

std::vector<Layer> system_layers() {
  std::vector<Layer> layers;
  for (int p = first_pstaff; p <= last_pstaff && p >= 0 && p < MAX_PSTAVES; ++p) {
    for (Drosa head : staff_data[p].ppnt) {
      Layer layer;
      layer.pstaff = p;
      layer.last_origin = staff_data[p].first_note_x;
      for (Drosa note = chain_next(head); note;) {
        Chord chord{note, note, NIL, NIL};
        Drosa nt = note_ntdata(chord.last);
        while (nt && !nt->get(xendscd)) {
          chord.last = nt->get(xpnext);
          nt = note_ntdata(chord.last);
        }
        Drosa cd = nt ? nt->xnext : NIL;
        Drosa cd2 = cd ? cd->xnext : NIL;
        if (!cd || cd->xkind != CDDATA || !cd2 || cd2->xkind != CDDATA2) {
          REPORT_ERROR(4, "relocate: a staff chord without its chord records");
          break;
        }
        chord.cd = cd;
        chord.cd2 = cd2;
        chord.ideal = cd2->get(xidealx);
        chord.packed = cd->get(xorigin);
        chord.spring = cd2->get(xreloc_spring);
        layer.chords.push_back(chord);
        note = nt->get(xpnext);
      }
      if (!layer.chords.empty()) layers.push_back(std::move(layer));
    }
  }
  // The layers of one pstaff follow each other.
  for (size_t begin = 0, end = 0; begin < layers.size(); begin = end) {
    while (end < layers.size() && layers[end].pstaff == layers[begin].pstaff) ++end;
    for (size_t i = begin; i < end; ++i) {
      layers[i].staff_begin = begin;
      layers[i].staff_end = end;
    }
  }
  return layers;
}

// The notes of a chord in chain order.
template <typename Visit>
void for_each_note(const Chord& chord, Visit visit) {
  for (Drosa note = chord.first; note; note = chain_next(note)) {
    visit(note);
    if (note == chord.last) break;
  }
}

// The BAR attached before a note, when it has been placed.
Drosa placed_bar_before(Drosa note) {
  int32_t walked = 0;
  for (Drosa p = note->xback; p && walked < BAR_SEARCH_NODES; p = p->xback, ++walked) {
    int kind = effective_kind(p);
    if (p->xkind == NOTE || kind == ENDSYST) break;
    if (kind == BAR) return p->get(xbarx) != NOT_DRAWN ? p : NIL;
  }
  return NIL;
}

// The note before `note` in its voice (NIL at the system's start).
Drosa previous_note_of_voice(Drosa note) {
  for (Drosa p = note->xback; p; p = p->xback) {
    if (p->xkind == NOTE) return p;
    if (effective_kind(p) == ENDSYST) break;
  }
  return NIL;
}

Drosa next_note_of_voice(Drosa node) {
  for (Drosa p = node->xnext; p; p = p->xnext) {
    if (p->xkind == NOTE) return p;
    if (effective_kind(p) == ENDSYST) break;
  }
  return NIL;
}

bool is_fore_grace(Drosa note) { return note->get(xgrace) && !note->get(xnachschlag); }

// The highest and lowest diatonic position of a chord's notes (rests, whose position says
// nothing of where they stand, left out); false for a chord of rests.
bool chord_span(const Chord& chord, int* low, int* high) {
  *low = INT32_MAX;
  *high = INT32_MIN;
  for_each_note(chord, [&](Drosa note) {
    if (note->get(xrest)) return;
    *low = std::min<int>(*low, note->get(xmod7));
    *high = std::max<int>(*high, note->get(xmod7));
  });
  return *low <= *high;
}

// Whether a layer's packed distance to its new chord may reach one spring further back: the
// two chords belong to different tuplets, the new one is inside its measure and starts
// before the previous one ends, both have their stems the same way, and they stand more than
// three steps apart on the side their stems face (with stems up the new chord below the
// previous one, with stems down above it). A chord of rests faces nothing: a rest the document
// hides took no room, and the new chord keeps its distance from the chord before the rest.
bool rod_reaches_back(const Layer& layer, const Chord& chord) {
  if (layer.next == 0) return false;
  const Chord& previous = layer.chords[layer.next - 1];
  if (previous.last->get(xtupl) == chord.first->get(xtupl)) return false;
  int32_t starts = chord.cd2->get(xmwholec);
  if (std::abs(starts) <= TIME_TOLERANCE) return false;
  int64_t previous_end = int64_t(previous.cd2->get(xmwholec)) + note_duration(previous.last, 0);
  if (previous_end - starts <= TIME_TOLERANCE) return false;
  int direction = note_ntdata(chord.last)->get(xstmdir);
  if (note_ntdata(previous.last)->get(xstmdir) != direction) return false;
  int previous_low, previous_high, low, high;
  if (!chord_span(previous, &previous_low, &previous_high) || !chord_span(chord, &low, &high))
    return false;
  if (direction == 2) return previous_low - high > 3;
  if (direction == 1) return low - previous_high > 3;
  return false;
}

// ---- Relocation zones -------------------------------------------------------------------------

// A change that formatting makes to the piece joins the newest undo step (that of the edit
// which made it necessary, as a rule), marks it as a change formatting made and flags the
// other views that see the node. The format under way carries on with the change made.
void mark_layout_change(Drosa node) {
  mark_layout_changed(1, node->xcontext > 0 ? node->xcontext : 0);
}

// A ZONE attached to a grace note before its main note goes before the next note of the
// voice that is not such a grace note.
void move_zone_off_grace(Drosa zone) {
  Drosa owner = next_note_of_voice(zone);
  if (!owner || !is_fore_grace(owner)) return;
  Drosa target = next_note_of_voice(owner);
  while (target && is_fore_grace(target)) target = next_note_of_voice(target);
  if (!target) return;
  Drosa moved = copyDrosa(zone);
  removevc_with_undo(zone);
  insertvc_node_with_undo(moved, target->xback);
  mark_layout_change(moved);
}

// The zone a ZONE asks for at the candidate chord, or its removal when it no longer fits.
void use_zone(Drosa zone, const Chord& chord, int32_t end_time, int32_t left_x, int32_t right_x,
              int32_t bar_spring, int32_t bar_time) {
  const int64_t width = int64_t(right_x) - left_x;
  const int32_t target = truncate(double(left_x + zone->get(xzone_xpermil) * width / 1000));
  const RelocationZone& previous = relocation_zones[zone_count - 1];
  int32_t start = chord.cd2->get(xswholec);
  if (!same_time(zone->get(xzone_sys_wholec), end_time) ||
      !same_time(zone->get(xzone_wholec), start) || target <= previous.target) {
    mark_layout_change(zone);
    removevc_with_undo(zone);
    return;
  }
  if (zone_count - 1 >= MAX_RELOCATION_ZONES) {
    REPORT_ERROR(2, "Too many relocation zones on one system!");
    return;
  }
  RelocationZone& entry = relocation_zones[zone_count];
  entry.target = target;
  entry.origin = chord.origin();
  entry.idealx = chord.idealx();
  entry.start_time = start;
  bool at_bar = zone->get(xzone_bar) && bar_spring >= 0 && bar_spring > previous.first_spring &&
                same_time(bar_time, start);
  entry.first_spring = at_bar ? bar_spring : spring_count;
  // A zone that begins where the previous one does has no spring to stretch.
  if (entry.first_spring - 1 >= previous.first_spring)
    new_rod(previous.first_spring, entry.first_spring - 1, target - previous.target);
  ++zone_count;
}

// ---- Placement --------------------------------------------------------------------------------

// A natural position P of a zone goes to f P - c = f (P - start) + target (the second form
// keeps a chord at the zone's start exactly on its target).
struct ZoneScale {
  double f, start, target;
  double c() const { return f * start - target; }
  double at(double P) const { return f * (P - start) + target; }
};

// Each zone's natural start (the left edge's is its target) and its scale onto its width. A
// zone of no natural length is placed at its target.
std::vector<ZoneScale> zone_scales() {
  std::vector<ZoneScale> scales(size_t(zone_count), ZoneScale{1.0, 0.0, 0.0});
  double start = relocation_zones[0].target;
  for (int32_t z = 0; z + 1 < zone_count; ++z) {
    const RelocationZone &zone = relocation_zones[z], &next = relocation_zones[z + 1];
    int64_t length = 0;
    for (int32_t s = zone.first_spring; s < next.first_spring && s < spring_count; ++s)
      if (s >= 0) length += spring_length(spring_index[size_t(s)]);
    double f = length != 0 ? double(next.target - zone.target) / double(length) : 1.0;
    scales[size_t(z)] = ZoneScale{f, start, double(zone.target)};
    start += double(length);
  }
  return scales;
}

// The accidental's distance from its head follows the stretch f. A squeeze takes the gap
// away from the distance, which never goes below 0 (an accidental right beside its head: a
// distance of 0 is usual, and any squeeze would otherwise make it negative); it stays within
// its byte (255 would read as no accidental), and that clamp is reported for an accidental
// that is drawn.
void stretch_accidental(Drosa note, Drosa nt, double f, int pstaff) {
  int distance = nt->get(xaccx);
  if (f == 1.0 || nt->get(xtabtyp) != 0 || distance == NO_ACCIDENTAL_X) return;
  double gap = param_length(P_SPACE_LEFT_BETWEEN_ACCIDENTAL_AND_NOTE, note, &staff_data[pstaff]);
  int32_t stretched = std::max(0, truncate(distance + (gap + 2.5) * (1.0 - f) / -5.0));
  if (stretched >= NO_ACCIDENTAL_X) {
    if (note->get(xaccplot))
      REPORT_ERROR(4, "relocate: accidental distance %d out of range, kept at %d", int(stretched),
                   NO_ACCIDENTAL_X - 1);
    stretched = NO_ACCIDENTAL_X - 1;
  }
  nt->set(xaccx, uint8_t(stretched));
}

// A bar line, key, time signature or clef attached before the note.
bool signs_before(Drosa note) {
  for (Drosa p = note->xback; p; p = p->xback) {
    const int kind = effective_kind(p);
    if (p->xkind == NOTE || kind == ENDSYST) return false;
    if (kind == BAR || kind == KEYSIG || kind == TIMESIG || kind == CLEF) return true;
  }
  return false;
}

// How the signs attached before a chord move: relocate_attached's a, f and b.
struct SignMove {
  double a, f, b;
};

// Calls visit(node, x field, origin field) for each bar, key, time signature and clef attached
// before the note: of two of a kind, the one nearest the note, which the spacing placed (a
// clef that a voice holding a note makes before a clef back holds for no note, is not drawn
// and has no place to move from).
// The same walk finds, when asked (cmove not null), the CMOVE nearest the note.
template <typename Visit>
void for_each_attached_sign(Drosa note, Visit visit, Drosa* cmove = nullptr) {
  uint64_t seen = 0;  // a bit for each kind met (the kinds lie within 64 of each other)
  for (Drosa p = note ? note->xback : NIL; p; p = p->xback) {
    int kind = effective_kind(p);
    if (cmove && kind == CMOVE && !*cmove) *cmove = p;
    if (p->xkind == NOTE || kind == ENDSYST) break;
    const uint64_t bit = uint64_t(1) << (unsigned(kind) & 63);
    if (seen & bit) continue;
    seen |= bit;
    switch (kind) {
      case BAR:
        if (p->get(xbarx) != NOT_DRAWN) visit(p, xbarx, xbarx);
        break;
      case KEYSIG:
        visit(p, xkeysigx, xkeysig_origin);
        break;
      case TIMESIG:
        visit(p, xtimesigx, xtimesig_origin);
        break;
      case CLEF:
        visit(p, xclefx, xcleforigin);
        break;
      default:
        break;
    }
  }
}

// The signs attached before each note of a chord and the chord's CMOVE, found by one walk back
// from each note: moving a note's signs changes nothing another note's walk reads (each walks
// its own nodes), so they may be found before any moves.
struct ChordSigns {
  struct Sign {
    Drosa node;
    const Field<int32_t>* x;
    const Field<int32_t>* origin;
  };
  std::vector<Sign> signs;
  std::vector<size_t> ends;  // the signs of the chord's note k end at ends[k]
  int32_t cmove = 0;         // the chord's move, as CMOVE_value gives it

  void find(const Chord& chord) {
    signs.clear();
    ends.clear();
    Drosa nearest_to_last = NIL;
    for_each_note(chord, [&](Drosa note) {
      Drosa own = NIL;
      for_each_attached_sign(
          note,
          [&](Drosa node, const Field<int32_t>& x, const Field<int32_t>& origin) {
            signs.push_back({node, &x, &origin});
          },
          &own);
      ends.push_back(signs.size());
      // The CMOVE nearest the chord's last note: that of the last note that has one.
      if (own) nearest_to_last = own;
    });
    cmove = nearest_to_last ? nearest_to_last->get(xchordmove) : 0;
  }

  // relocate_attached for the chord's note k.
  void move(size_t k, const SignMove& m) const {
    for (size_t i = k ? ends[k - 1] : 0; i < ends[k]; ++i) {
      const Sign& sign = signs[i];
      const double o = sign.node->get(*sign.origin);
      sign.node->set(*sign.x, truncate(sign.node->get(*sign.x) + m.f * (m.a + o) - (m.b + o)));
    }
  }
};

// The signs attached before a grace chord (a bar line that grace notes begin, say) and those
// before the main chords of other layers that start at the same time stand in one column, set
// with the grace chord: the main chords' signs move as the grace chord's do, so that the
// column stays one. (The signs of main chords alone move with their own chords: where the
// voices disagree about a time, those chords stand at different bar lines.) A chord passed
// over, one that takes no spring, sets no column.
class SignColumns {
 public:
  const SignMove& at(const Chord& chord, const SignMove& own, bool takes_spring) {
    const int32_t time = chord.cd2->get(xswholec);
    auto found = moves_.lower_bound(int64_t(time) - TIME_TOLERANCE);
    if (found != moves_.end() && found->first <= int64_t(time) + TIME_TOLERANCE)
      return found->second;
    const bool sets = takes_spring && is_fore_grace(chord.first) && signs_before(chord.first);
    return sets ? moves_.emplace(time, own).first->second : own;
  }

 private:
  std::map<int64_t, SignMove> moves_;
};

// Moves the signs of the chord's note k.
void move_signs(SignColumns& columns, const Chord& chord, const ChordSigns& signs, size_t k,
                const SignMove& own, bool takes_spring) {
  signs.move(k, columns.at(chord, own, takes_spring));
}

// The chord's CDDATA as cddatptr finds it from the chord's last note (known here, not walked
// to): NIL unless the note is in a chain and its three chord records follow it.
Drosa whole_chord_records(const Chord& chord) {
  if (!is_visible_note(chord.last)) return NIL;
  Drosa cd3 = chord.cd2->xnext;
  return effective_kind(chord.cd) == CDDATA && effective_kind(chord.cd2) == CDDATA2 && cd3 &&
                 effective_kind(cd3) == CDDATA3
             ? chord.cd
             : NIL;
}

// A chord passed over (one that takes no spring) keeps its packed distance to the chord of
// its layer that follows it: it moves by `shift` as that chord's origin did.
void move_with(SignColumns& columns, const Chord& chord, double shift) {
  chord.cd->set(xprex, truncate(chord.cd->get(xprex) + shift));
  thread_local ChordSigns signs;
  signs.find(chord);
  double m = signs.cmove;
  const LowerLayerNotes lower(whole_chord_records(chord));
  size_t k = 0;
  for_each_note(chord, [&](Drosa note) {
    Drosa nt = note->xnext;  // (a chord's notes have their NTDATA right after them)
    nt->set(xhdx, truncate(nt->get(xhdx) + shift + m + lower.overlap_space(note)));
    move_signs(columns, chord, signs, k++, {shift, 1.0, 0.0}, false);
  });
}

void flush_pending(SignColumns& columns, Layer& layer, double shift) {
  for (size_t i : layer.pending) move_with(columns, layer.chords[i], shift);
  layer.pending.clear();
}

// Places a chord whose spring begins at the natural position P.
void place_chord(SignColumns& columns, Layer& layer, const Chord& chord, double P,
                 const std::vector<ZoneScale>& scales) {
  int z = std::clamp<int>(chord.cd2->get(xreloc_zone), 0, std::max(0, zone_count - 2));
  const ZoneScale& zone = scales[size_t(z)];
  const double f = zone.f, o = chord.origin();
  const double shift = zone.at(P) - o;  // f P - c - o
  flush_pending(columns, layer, shift);
  layer.last_shift = shift;
  // f (P - o + xprex) - c
  chord.cd->set(xprex, truncate(zone.at(P - o + chord.cd->get(xprex))));
  thread_local ChordSigns signs;
  signs.find(chord);
  const double m = signs.cmove;
  const LowerLayerNotes lower(whole_chord_records(chord));
  size_t k = 0;
  for_each_note(chord, [&](Drosa note) {
    Drosa nt = note->xnext;  // (a chord's notes have their NTDATA right after them)
    nt->set(xhdx, truncate(nt->get(xhdx) + shift + m + lower.overlap_space(note)));
    stretch_accidental(note, nt, f, layer.pstaff);
    // x + f (P - o + o') - (c + o'), o' the object's origin, written from the zone's start
    move_signs(columns, chord, signs, k++, {P - zone.start - o, f, -zone.target}, true);
  });
}

// Finds the ZONE or CMOVE of a note's staff chord.
Drosa find_in_chord(Drosa note, int kind, const char* bad_parameter, const char* no_end) {
  if (!note || note->xkind != NOTE) {
    REPORT_ERROR(4, "%s", bad_parameter);
    return NIL;
  }
  Drosa last = note;
  while (note_ntdata(last) && !note_ntdata(last)->get(xendscd)) last = chain_next(last);
  if (!note_ntdata(last)) {
    REPORT_ERROR(4, "%s", no_end);
    return NIL;
  }
  for (Drosa n = last; n && !is_chain_head(n);) {
    if (Drosa found = find_prev_kind_stop_2(kind, n, 0)) return found;
    Drosa before = note_ntdata(n)->get(xpback);
    if (!note_ntdata(before) || note_ntdata(before)->get(xendscd)) break;
    n = before;
  }
  return NIL;
}

// The move of a node of `kind` attached before the note.
int32_t attached_move(Drosa note, int kind) {
  Drosa move = note && note->xkind == NOTE ? find_prev_kind_stop_2(kind, note, 0) : NIL;
  return move ? move->get(xmove) : 0;
}

}  // namespace

// ---- Springs and rods -----------------------------------------------------------------------

float spring_k(Drosa spring) { return std::bit_cast<float>(spring->get(xspringk)); }
float spring_minforce(Drosa spring) { return std::bit_cast<float>(spring->get(xminforce)); }
float rod_force(Drosa rod) { return std::bit_cast<float>(rod->get(xrodforce)); }

int32_t spring_length(Drosa spring) {
  float k = spring_k(spring);
  return k != 0 ? truncate(double(spring_minforce(spring)) / k) : 0;
}

int32_t add_spring(float k, float minforce) {
  Drosa spring = newDrosa(SPRING, 0);
  spring->set(xspringnum, spring_count);
  set_float(spring, xspringk, k);
  set_float(spring, xminforce, minforce);
  insert_spring(spring);
  spring_index.push_back(spring);
  return spring_count++;
}

Drosa find_spring(int32_t number) {
  return number >= 0 && number < spring_count && size_t(number) < spring_index.size()
             ? spring_index[size_t(number)]
             : NIL;
}

void destroy_springs_and_rods() {
  while (rod_head) destroy_rod(rod_head);
  while (spring_head) {
    Drosa spring = spring_head;
    unlink(spring, spring_head, spring_tail);
    destroyDrosa(spring);
  }
  spring_order.clear();
  spring_places.clear();
  spring_index.clear();
  spring_count = 0;
}

void new_rod(int32_t left, int32_t right, int32_t length) {
  if (left > right) {
    if (!new_rod_error_reported)
      REPORT_ERROR(4, "relocation error: new_rod left %d right %d", int(left), int(right));
    new_rod_error_reported = true;
    return;
  }
  if (left == right) {
    lengthen_spring(right, length);
    return;
  }
  // Only the longer of two rods over the same springs is kept, so there is at most one.
  if (Drosa rod = find_rod(left, right)) {
    if (rod->get(xrodlength) >= length) return;
    destroy_rod(rod);
  }
  double force = 0;
  if (!find_perfect_force(left, right, length, &force)) return;
  Drosa rod = newDrosa(ROD, 0);
  rod->set(xrodlength, length);
  set_float(rod, xrodforce, float(force));
  rod->set(xrodleft, int16_t(left));
  rod->set(xrodright, int16_t(right));
  insert_rod(rod);
}

// ---- Zones and moves ----------------------------------------------------------------------------

Drosa find_zone(Drosa note) {
  return find_in_chord(note, ZONE, "Bad parameter for find_zone.",
                       "find_zone: no xendscd note found!");
}

Drosa find_cmove(Drosa note) {
  return find_in_chord(note, CMOVE, "Bad parameter for find_cmove.",
                       "find_cmove: no xendscd note found!");
}

int32_t CMOVE_value(Drosa note) {
  Drosa cmove = find_cmove(note);
  return cmove ? cmove->get(xchordmove) : 0;
}

int32_t AMOVE_value(Drosa note) { return attached_move(note, AMOVE); }

int32_t RMOVE_offset(Drosa note, const StaffData* staff) {
  int64_t move = attached_move(note, RMOVE);
  return staff ? truncate(double(move * staff->staff_size) / 2.0) : int32_t(move);
}

void relocate_attached(Drosa note, double a, double f, double b) {
  for_each_attached_sign(note,
                         [&](Drosa node, const Field<int32_t>& x, const Field<int32_t>& origin) {
                           double o = node->get(origin);
                           node->set(x, truncate(node->get(x) + f * (a + o) - (b + o)));
                         });
}

void set_attached_origins(Drosa note, int32_t origin) {
  // A bar line's origin is its own packed x (until justification moves it): it keeps its
  // place in the line, as its bar spring does, and its distance from the chord after it is
  // squeezed or stretched with the line.
  for_each_attached_sign(
      note, [&](Drosa node, const Field<int32_t>&, const Field<int32_t>& origin_field) {
        if (effective_kind(node) != BAR) node->set(origin_field, origin);
      });
}

LowerLayerNotes::LowerLayerNotes(Drosa own) {
  if (!own) return;
  // A chord of the first layer has none below it.
  Drosa own3 = own->xnext ? own->xnext->xnext : NIL;
  if (own3 && own3->xkind == CDDATA3 && own3->get(xcdlayer) == 0) return;
  // The chords come from the lowest layer up, so that each note's offsets are known before
  // a chord above meets it.
  for (Drosa cd = layer_first(own); cd && cd != own;) {
    Drosa last = cd->xback ? cd->xback->xback : NIL;
    if (!is_NOTE(last)) break;
    Chord chord{chord_first_note(last), last, cd, cd->xnext};
    std::vector<Step> steps;
    for_each_note(chord, [&](Drosa other) {
      if (!other->get(xrest)) steps.push_back({other->get(xmod7), offsets(other, chords_.size())});
    });
    std::sort(steps.begin(), steps.end(),
              [](const Step& a, const Step& b) { return a.step < b.step; });
    chords_.push_back(std::move(steps));
    Drosa cd3 = cd->xnext ? cd->xnext->xnext : NIL;
    cd = cd3 && cd3->xkind == CDDATA3 ? cd3->get(xnextchord) : NIL;
  }
}

int32_t LowerLayerNotes::offsets(Drosa note, size_t below) const {
  if (!is_visible_note(note) || note->get(xrest)) return 0;
  int low = note->get(xmod7), high = low;
  Drosa nt = note_ntdata(note);
  if (nt && note->get(xlgval) >= 2 && !note->get(xnostem)) {
    if (nt->get(xstmdir) == 2) high += 8;
    if (nt->get(xstmdir) == 1) low -= 8;
  }
  int32_t count = 0, beyond = 0;
  for (size_t c = 0; c < below && c < chords_.size(); ++c) {
    const std::vector<Step>& steps = chords_[c];
    auto near = std::lower_bound(steps.begin(), steps.end(), low - 1,
                                 [](const Step& s, int step) { return s.step < step; });
    if (near == steps.end() || near->step > high + 1) continue;
    ++count;
    for (; near != steps.end() && near->step <= high + 1; ++near)
      beyond = std::max(beyond, near->offsets + 1);
  }
  return std::max(count, beyond);
}

int32_t LowerLayerNotes::overlap_space(Drosa note) const {
  if (chords_.empty()) return 0;
  const int32_t n = offsets(note, chords_.size());
  return n ? n * param_length(P_X_OFFSET_FOR_CHORDS_WITH_MULTIPLE_STEMS_UP_DOWN, note, nullptr) : 0;
}

int32_t accidental_overlap_space(Drosa note) {
  if (!is_visible_note(note) || note->get(xrest)) return 0;
  return LowerLayerNotes(cddatptr(note, 1)).overlap_space(note);
}

// ---- The pass ---------------------------------------------------------------------------------

namespace {

// What one justification of a system works with.
struct Relocation {
  std::vector<Layer> layers;
  bool linear = false;  // linear spacing: no rods from the chords' packed distances
  int32_t left_x = 0, right_x = 0;
  int32_t end_time = 0;                   // the system's end, left by the spacing pass
  int32_t previous_ideal = 0;             // the ideal x of the last time point that took a spring
  int32_t bar_spring = -1, bar_time = 0;  // the last bar spring and its chord's time
  // A line whose packed music is a little wider than its staff: every least distance gives up
  // as much as a line may be squeezed, and the line is then justified as any other, its
  // springs in their proportions (all of them at their least would space a bar of quarters as
  // tightly as one of sixteenths). A line wider still (one that cannot be cut) is squeezed as
  // a whole into its staff, its accidentals' distances with it.
  double squeeze = 1.0;
  int32_t least(double length) const { return truncate(length * squeeze); }
};

// A time point in ideal order: its chord, and what the bar line before it asks.
struct TimePoint {
  Layer* layer = nullptr;  // the layer whose chord comes next in ideal order
  int32_t I = 0;           // that chord's ideal x
  bool takes_spring = false;
  bool bar_line = false;  // a bar line across the system stands before the time point
  int64_t distance = 0;   // the chord's packed distance from that bar line
  const Chord& chord() const { return layer->chords[layer->next]; }
};

// Zone 0 at the first note, no springs yet, the system's layers at their starts.
Relocation begin_relocation(int32_t first_x) {
  destroy_springs_and_rods();
  zone_count = 1;
  relocation_zones[0] = RelocationZone{first_x, 0, 0, first_x, 0};
  Relocation r;
  r.layers = system_layers();
  r.linear = linear_spacing_context();
  r.left_x = staff_left_x(first_pstaff, current_page);
  r.right_x = staff_right_x(first_pstaff, current_page);
  r.end_time = system_end_time;
  const int64_t width = int64_t(r.right_x) - first_x, packed = int64_t(spacing_x) - first_x;
  // A line spaced with its least gaps is not squeezed further: its signs and heads would meet.
  if (!r.linear && !spacing_tight && packed > width &&
      packed * LEAST_LINE_SQUEEZE_PERCENT <= width * 100)
    r.squeeze = double(LEAST_LINE_SQUEEZE_PERCENT) / 100.0;
  return r;
}

// The next chord in ideal order over all layers; false when every layer has ended.
bool next_time_point(std::vector<Layer>& layers, TimePoint* point) {
  *point = TimePoint{};
  for (Layer& layer : layers)
    if (!layer.ended() && (!point->layer || layer.chords[layer.next].idealx() < point->I)) {
      point->layer = &layer;
      point->I = layer.chords[layer.next].idealx();
    }
  if (!point->layer) return false;
  point->takes_spring = point->chord().spring != -1;
  return true;
}

// The chord's ZONE, moved first off a grace note to the chord it belongs to.
Drosa zone_of(const Chord& chord) {
  Drosa zone = find_zone(chord.first);
  if (!zone) return NIL;
  move_zone_off_grace(zone);
  return find_zone(chord.first);
}

// The note whose minimum space sets the least force of the time point's spring: the chord's
// last note when a visible grace note stands before the chord in its voice.
Drosa minimum_space_note(const Chord& chord) {
  Drosa before = previous_note_of_voice(chord.first);
  return before && is_visible_note(before) && before->get(xgrace) ? chord.last : NIL;
}

// A bar before every layer's next chord, with no layer inside a grace run, is a bar line
// across the system: the chord stands a fixed distance after it.
void find_bar_line(const std::vector<Layer>& layers, TimePoint* point) {
  bool have_distance = false;
  for (const Layer& layer : layers) {
    if (layer.ended()) continue;
    Drosa current = layer.current();
    const Chord& next = layer.chords[layer.next];
    Drosa bar = placed_bar_before(next.first);
    if ((current && current->get(xgrace)) || !bar) return;
    if (!have_distance && next.idealx() == point->I) {
      point->distance = std::max<int64_t>(0, int64_t(next.origin()) - bar->get(xbarx));
      have_distance = true;
    }
  }
  point->bar_line = have_distance;
}

// The spring from the previous time point to this one and, after a bar line, the bar spring
// that holds the chord at its distance from the bar. True when a bar spring was made.
bool add_time_point_springs(Relocation& r, const TimePoint& point, Drosa M) {
  if (point.I <= 0 || !point.takes_spring) return false;
  float k = stiffness(int64_t(point.I) - r.previous_ideal);
  float least = 0;
  if (M)
    least = float(std::trunc(
        double(k) *
        r.least(tight_gap(param_length(P_MINIMUM_SPACE_BETWEEN_NORMAL_NOTE_AND_NEXT_CHORD, M,
                                       &staff_data[point.layer->pstaff]),
                          TIGHT_NOTE_GAP_PERCENT) +
                hdw(M, 0))));
  add_spring(k, least);
  r.previous_ideal = point.I;
  if (!point.bar_line) return false;
  r.bar_spring =
      add_spring(STIFFNESS_NUMERATOR, float(STIFFNESS_NUMERATOR * double(point.distance)));
  r.bar_time = point.chord().cd2->get(xswholec);
  return true;
}

// A bar line met while a layer's chord still sounds: the bar clears the chord.
void clear_sounding_chord(const Relocation& r, const Layer& layer, const TimePoint& point) {
  Drosa current = layer.current();
  if (layer.last_spring < 0 || r.linear || !current) return;
  const Chord& sounding = layer.chords[layer.next - 1];
  new_rod(layer.last_spring, layer.last_spring,
          r.least(double(layout_hooks.paren_right_x(current)) - sounding.origin() +
                  double(point.distance)));
}

// The rods that keep a layer's chord at its packed distance from the chord before it in its
// layer, and from the chords of the other layers of the staff since then.
void add_chord_rods(const Relocation& r, const Layer& layer, const Chord& chord) {
  int32_t back = rod_reaches_back(layer, chord) ? 1 : 0;
  new_rod(std::max(0, layer.last_spring - back), spring_count - 1,
          r.least(chord.origin() - layer.last_origin));
  // The chords of the other layers of the staff since this layer's last one: the packed
  // distance from them keeps this chord's heads and signs clear of their heads.
  for (size_t i = layer.staff_begin; i < layer.staff_end; ++i) {
    const Layer& other = r.layers[i];
    if (&other != &layer && other.last_spring > layer.last_spring &&
        other.last_spring < spring_count && chord.origin() > other.last_origin)
      new_rod(other.last_spring, spring_count - 1, r.least(chord.origin() - other.last_origin));
  }
}

// Every layer's chord at the time point takes its spring and zone, and its rods; a layer
// without a chord there keeps its sounding chord clear of a bar line.
void relocate_layers_at(Relocation& r, const TimePoint& point, bool made_bar_spring) {
  for (Layer& layer : r.layers) {
    if (layer.ended() || layer.chords[layer.next].idealx() != point.I) {
      if (made_bar_spring) clear_sounding_chord(r, layer, point);
      continue;
    }
    Chord& chord = layer.chords[layer.next];
    if (chord.spring != -1) {
      chord.spring = spring_count;
      chord.cd2->set(xreloc_spring, spring_count);
    }
    chord.cd2->set(xreloc_zone, uint8_t(zone_count - 1));
    // (Two chords at one ideal x have no spring between them to hold apart.)
    if (point.takes_spring && layer.last_spring >= 0 && layer.last_spring < spring_count &&
        !r.linear)
      add_chord_rods(r, layer, chord);
    if (point.takes_spring) {
      layer.last_spring = spring_count;
      layer.last_origin = chord.origin();
    }
    ++layer.next;
  }
}

// Springs between the ideal positions, rods from the packed ones, in ideal order.
void build_springs_and_rods(Relocation& r) {
  TimePoint point;
  while (next_time_point(r.layers, &point)) {
    const Chord& chosen = point.chord();
    Drosa zone = zone_of(chosen);
    Drosa M = minimum_space_note(chosen);
    find_bar_line(r.layers, &point);
    bool made_bar_spring = add_time_point_springs(r, point, M);
    if (zone) use_zone(zone, chosen, r.end_time, r.left_x, r.right_x, r.bar_spring, r.bar_time);
    relocate_layers_at(r, point, made_bar_spring);
  }
}

// The closing spring, the width behind each layer's last chord, and the right edge as the
// last zone, which it returns.
const RelocationZone& close_springs(const Relocation& r) {
  add_spring(spacing_idealx == r.previous_ideal
                 ? STIFFNESS_NUMERATOR
                 : stiffness(int64_t(spacing_idealx) - r.previous_ideal),
             0);
  if (!r.linear)
    for (const Layer& layer : r.layers)
      if (layer.last_spring >= 0)
        new_rod(layer.last_spring, spring_count - 1,
                r.least(spacing_staff[layer.pstaff].trailing_width));
  RelocationZone& right_edge = relocation_zones[zone_count];
  right_edge = RelocationZone{r.right_x, spring_count, spacing_idealx, spacing_x, r.end_time};
  const RelocationZone& last_zone = relocation_zones[zone_count - 1];
  if (spring_count - 1 >= last_zone.first_spring)
    new_rod(last_zone.first_spring, spring_count - 1, r.right_x - last_zone.target);
  ++zone_count;
  return right_edge;
}

// Placement: every chord at the natural position of its spring, scaled by its zone.
void place_chords(std::vector<Layer>& layers) {
  const std::vector<ZoneScale> scales = zone_scales();
  SignColumns columns;
  double P = relocation_zones[0].target;
  for (Layer& layer : layers) layer.next = 0;
  auto place_up_to = [&](int32_t s) {
    for (Layer& layer : layers) {
      for (; !layer.ended(); ++layer.next) {
        const Chord& chord = layer.chords[layer.next];
        int32_t spring = chord.spring;
        if (spring == -1) {
          layer.pending.push_back(layer.next);
          continue;
        }
        if (spring > s) break;
        place_chord(columns, layer, chord, P, scales);
      }
    }
  };
  for (int32_t s = 0; s < spring_count; ++s) {
    place_up_to(s);
    if (Drosa spring = find_spring(s))
      P += spring_length(spring);
    else
      REPORT_ERROR(4, "Spring %hd not found out of %hd springs in relocate_note()!", short(s),
                   short(spring_count));
  }
  place_up_to(INT32_MAX);
  for (Layer& layer : layers) flush_pending(columns, layer, layer.last_shift);
}

// What ends each voice's system moves with the right edge.
void move_system_ends(const RelocationZone& right_edge) {
  const double end_shift = double(right_edge.target) - right_edge.origin;
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v) {
    Drosa system_end = voice_data[v].system_end;
    if (voice_not_shown(v) || !system_end || effective_kind(system_end) != ENDSYST) continue;
    relocate_attached(system_end, end_shift, 1.0, 0.0);
  }
}

// Whether any chord of the system is drawn: a system of a pickup may begin with rests that
// are not, which take no room, so that its note stands left of its first time point.
bool draws_a_chord(const std::vector<Layer>& layers) {
  for (const Layer& layer : layers)
    for (const Chord& chord : layer.chords)
      if (!chord.first->get(xrest) || !chord.first->get(xhider)) return true;
  return false;
}

}  // namespace

int32_t relocate(int32_t system) {
  if (first_pstaff < 0 || first_pstaff >= MAX_PSTAVES) return 1;
  const int32_t first_x = staff_data[first_pstaff].first_note_x;
  if (first_x > spacing_x && !draws_a_chord(system_layers()))
    REPORT_ERROR(2, "Warning:  This system has no notes!  (page %d system %d context %d)",
                 int(current_page), int(system), int(current_ncontext));
  if (skip_relocate) return 1;

  Relocation r = begin_relocation(first_x);
  build_springs_and_rods(r);
  const RelocationZone& right_edge = close_springs(r);
  stretch_springs(dump_springs_next);
  dump_springs_next = false;
  place_chords(r.layers);
  move_system_ends(right_edge);

  destroy_springs_and_rods();
  return format_interrupted() ? 0 : 1;
}
