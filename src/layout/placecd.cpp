// placecd.cpp: horizontal placement of a chord's heads, seconds, dots, rests and stems.
//
// A staff chord is placed at the packed x where the spacing pass stands (spacing_x). Each
// stem group puts its heads there, a head a second or a unison from its neighbour going to
// the far side of the stem (so the heads of a run of seconds alternate), and gives every head
// the stem's x relative to it. A chord with stems both ways has its stem-down group first in
// the chain; when the two groups meet or cross, one of them moves right so that no stem-up
// head overlaps a stem-down head, unless a unison of equal heads can share one head. Then the
// accidentals take their columns, rests in a staff shared by several voices move out of the
// way, and the chord's left edge is worked out from its heads and its accidentals.
//
// The distances here count in staff spaces (the staff size, 50 normally): heads closer than
// one staff space overlap, and the rest offsets and accidental thresholds are given in staff
// spaces. Stem offsets are signed bytes and the overhang of a displaced head an unsigned byte:
// a value beyond what the field holds (heads on very large staves) is kept at the nearest
// value it does hold.
#include "layout/placecd.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "layout/accidentals.h"
#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "layout/layout_services.h"
#include "layout/lyrics.h"
#include "layout/relocate.h"
#include "layout/spacing.h"
#include "model/model_services.h"
#include "params/param_services.h"

namespace {

constexpr int STEM_DOWN = 1, STEM_UP = 2;
constexpr int PIANO_TAB = 3;
constexpr int REST_WHOLE_MEASURE = 1;

// The NTDATA of a note of the chord being placed (ChordNotes takes only notes that have
// one): it stands right after the note, so note_ntdata's test is not made again at each read.
Drosa chord_nt(Drosa note) { return note->xnext; }

int stem_of(Drosa note) { return chord_nt(note)->get(xstmdir); }
int32_t head_x(Drosa note) { return chord_nt(note)->get(xhdx); }
int32_t head_y(Drosa note) { return chord_nt(note)->get(xhdy); }

const StaffData* staff_of(int pstaff) {
  return pstaff >= 0 && pstaff < MAX_PSTAVES ? &staff_data[pstaff] : nullptr;
}

int32_t staff_space(int pstaff) {
  const StaffData* s = staff_of(pstaff);
  return s && s->staff_size > 0 ? s->staff_size : 50;
}

int32_t integer(int pindex, Drosa node, int pstaff) {
  return param_value(pindex, node, staff_of(pstaff))->integer();
}

bool is_small(Drosa note) { return note->get(xcue) || note->get(xgrace); }

void set_stem_offset(Drosa nt, int32_t offset) {
  nt->set(xstemxoff, int8_t(std::clamp<int32_t>(offset, INT8_MIN, INT8_MAX)));
}

// The notes of a chord, kept in room on the stack: a chord takes no memory of the heap to be
// placed unless it has very many notes.
class ChordNotes {
 public:
  // The notes first..last along the print chain, stopping at the end of the staff chord.
  std::span<const Drosa> chain_run(Drosa first, Drosa last) {
    count_ = 0;
    more_.clear();
    for (Drosa n = first; note_ntdata(n); n = chain_next(n)) {
      add(n);
      if (n == last || note_ntdata(n)->get(xendscd)) break;
    }
    if (more_.empty()) return std::span<const Drosa>(room_.data(), count_);
    return more_;
  }

 private:
  // The first notes stand in room_; a chord of more has them all in more_.
  void add(Drosa n) {
    if (more_.empty() && count_ < room_.size()) {
      room_[count_++] = n;
      return;
    }
    if (more_.empty()) more_.assign(room_.begin(), room_.end());
    more_.push_back(n);
  }

  std::array<Drosa, 64> room_;
  size_t count_ = 0;
  std::vector<Drosa> more_;
};

// The group's reference head: its last note that is not a cue note, else its first.
Drosa reference_head(std::span<const Drosa> group) {
  for (auto n = group.rbegin(); n != group.rend(); ++n)
    if (!(*n)->get(xcue)) return *n;
  return group.front();
}

// Every note of a stem group that is not a rest must last as long as the group's first note.
void check_durations(std::span<const Drosa> group) {
  Drosa model = NIL;
  for (Drosa n : group) {
    if (n->get(xrest)) continue;
    if (!model) {
      model = n;
    } else if (std::abs(note_duration(n, 0) - note_duration(model, 0)) > TIME_TOLERANCE) {
      REPORT_ERROR(4, "placecd note length error; noteptr %lx", (unsigned long)n.handle());
    }
  }
}

// ---- Two stem groups side by side -----------------------------------------------------------

// The heads of a unison in two voices share one head: with simplified notation as that
// notation allows, otherwise when parameter 704 allows it and the heads are alike (halves, or
// quarters and shorter, with the same accidental and the same dots unless parameter 733 lets
// the dots differ).
bool heads_shared(Drosa up, Drosa down, int pstaff) {
  if (head_x(up) != head_x(down)) return false;
  if (layout_hooks.pair_shares_notehead(up)) return true;
  if (integer(P_SUPPRESS_DOUBLE_NOTEHEADS_FROM_MULTIPLE_VOICES, up, pstaff) == 0) return false;
  int up_value = up->get(xlgval), down_value = down->get(xlgval);
  bool alike = (up_value == 2 && down_value == 2) || (up_value > 2 && down_value > 2);
  if (!alike || up->get(xacc) != down->get(xacc) || up->get(xaccplot) != down->get(xaccplot))
    return false;
  return up->get(xdots) == down->get(xdots) ||
         integer(P_DOT_DISCREPANCY_OK_FOR_SHARED_NOTE_HEADS, up, pstaff) != 0;
}

// The distances that stem-up and stem-down heads keep, read once per chord.
struct Overlaps {
  int32_t complete, half_step, second_accidental, space;
};

// What one pair of heads asks: the distance between them (0 for none) and which group moves.
struct Demand {
  Drosa up, down;
  int32_t distance = 0;
  bool up_moves = false;
};

Demand pair_demand(Drosa up, Drosa down, bool shared, const Overlaps& o, int pstaff) {
  Demand d{up, down};
  int32_t rise = head_y(up) - head_y(down);
  if (rise == 0) {
    if (shared) return d;
    d.distance = o.complete;
    // The stem-up head's own accidental stands between the heads.
    if (layout_hooks.accidental_shown(up)) {
      d.distance +=
          param_group_width(up, staff_of(pstaff), up->get(xacc), NIL) + o.second_accidental;
      d.up_moves = true;
    }
  } else if (std::abs(rise) < o.space) {  // a second
    d.distance = o.half_step;
    // A dotted stem-up head over an undotted stem-down one keeps its dot clear by moving.
    d.up_moves = rise > 0 && up->get(xdots) && !down->get(xdots);
  } else if (rise < 0 && (up->get(xlgval) > 1 || down->get(xlgval) > 1)) {
    d.distance = o.complete;  // crossing stems
  }
  return d;
}

// Moves the stem-down group or the stem-up group right, far enough for every pair of heads
// that would overlap; the pair that asks most decides which. Returns the shift, positive when
// the stem-down group moved and negative when the stem-up group did.
int32_t set_groups_apart(std::span<const Drosa> down, std::span<const Drosa> up, int pstaff) {
  Drosa at = up.front();
  Overlaps o{
      param_length_at_staff(P_X_OFFSET_FOR_COMPLETE_OVERLAP_IN_STEM_UP_AND_STEM_DOWN, at, pstaff),
      param_length_at_staff(P_X_OFFSET_FOR_HALF_STEP_OVERLAP_IN_STEM_UP_AND_STEM_DOWN, at, pstaff),
      param_length_at_staff(P_SPACE_FOR_SECOND_ACC_IN_CHORD_AT_SAME_NOTENAME, at, pstaff),
      staff_space(pstaff)};
  bool shared = heads_shared(up.front(), down.back(), pstaff);
  std::vector<Demand> demands;
  const Demand* decider = nullptr;
  for (Drosa u : up)
    for (Drosa p : down) {
      if (u->get(xrest) || p->get(xrest)) continue;
      Demand d = pair_demand(u, p, shared && u == up.front() && p == down.back(), o, pstaff);
      if (d.distance > 0) demands.push_back(d);
    }
  for (const Demand& d : demands)
    if (!decider || d.distance > decider->distance) decider = &d;
  if (!decider) return 0;
  bool up_moves = decider->up_moves;
  int32_t shift = 0;
  for (const Demand& d : demands) {
    int32_t apart = up_moves ? head_x(d.down) - head_x(d.up) : head_x(d.up) - head_x(d.down);
    shift = std::max(shift, apart + d.distance);
  }
  for (Drosa n : up_moves ? up : down) chord_nt(n)->set(xhdx, head_x(n) + shift);
  return up_moves ? -shift : shift;
}

// ---- Rests ----------------------------------------------------------------------------------

// The y of a rest beyond the heads on its side, keeping parameter 302 from the nearest head,
// on a line of the staff (a drawn key line on piano tablature).
int32_t chorded_rest_y(Drosa rest, bool above, int32_t highest, int32_t lowest, int pstaff) {
  const StaffData& s = staff_data[pstaff];
  int32_t half_head = param_length_at_staff(P_NOTE_HEAD_HEIGHT, rest, pstaff) / 2;
  int32_t space =
      param_length_at_staff(P_MINIMUM_SPACE_LEFT_BETWEEN_CHORDED_RESTS_AND_NOTES, rest, pstaff);
  int32_t y = above ? highest + half_head + space + rest_descend_size(rest, 0)
                    : lowest - half_head - space - rest_ascend_size(rest, 0);
  if (s.staff_type == PIANO_TAB) {
    int32_t line_above, above_width, line_below, below_width;
    nearest_staff_positions(y, pstaff, &line_above, &above_width, &line_below, &below_width);
    int32_t line = above ? line_above : line_below;
    return line == NOT_DRAWN ? y : line;
  }
  int32_t size = staff_space(pstaff);
  int64_t lines = (int64_t(y) - s.middle_y) / size;  // toward the middle line
  int64_t snapped = s.middle_y + lines * size;
  if (above && snapped < y) snapped += size;
  if (!above && snapped > y) snapped -= size;
  return int32_t(snapped);
}

void place_rests(std::span<const Drosa> notes, int pstaff) {
  if (!staff_of(pstaff) ||
      std::none_of(notes.begin(), notes.end(), [](Drosa n) { return n->get(xrest) != 0; }))
    return;
  const StaffData& s = staff_data[pstaff];
  int32_t highest = EXTENT_HIGH_START, lowest = EXTENT_LOW_START;
  int heads_stem = STEM_DOWN;
  for (Drosa n : notes) {
    if (n->get(xrest)) continue;
    highest = std::max(highest, head_y(n));
    lowest = std::min(lowest, head_y(n));
    heads_stem = stem_of(n);
  }
  if (highest != EXTENT_HIGH_START) {
    for (Drosa n : notes) {
      if (!n->get(xrest)) continue;
      int stem = stem_of(n);
      bool above = stem == STEM_UP || (stem != STEM_DOWN && heads_stem == STEM_DOWN);
      int32_t y = chorded_rest_y(n, above, highest, lowest, pstaff);
      chord_nt(n)->set(xhdy, y + RMOVE_offset(n, &s));
    }
    return;
  }
  Drosa first = notes.front(), last = notes.back();
  bool two_alike = first != last && last->get(xrest) && first->get(xdir) == 3 &&
                   last->get(xdir) == 3 &&
                   std::abs(note_duration(first, 0) - note_duration(last, 0)) <= TIME_TOLERANCE;
  // A voice of the other stem direction that only rests unseen beside the chord leaves its
  // rests where a voice alone on the staff has them.
  Drosa cd = note_ntdata(last)->xnext, cd2 = cd ? cd->xnext : NIL;
  bool shared_staff = cd && cd->xkind == CDDATA && cd->get(xoppos) &&
                      !(cd2 && cd2->xkind == CDDATA2 && cd2->get(xopposhide));
  for (Drosa n : notes) {
    int32_t y = s.middle_y;
    if (shared_staff && !two_alike) {
      int32_t offset = staff_space(pstaff) / 2 *
                       integer(P_STAFF_SPACES_TO_OFFSET_RESTS_FOR_MULTIPLE_VOICES, n, pstaff);
      y += stem_of(n) == STEM_UP ? offset : -offset;
    }
    chord_nt(n)->set(xhdy, y);
    adjust_rest_y(n, pstaff);
  }
}

}  // namespace

// ---- One stem group -------------------------------------------------------------------------

namespace {

// Places the stem group (its notes in chain order) at x.
int place_stem_group(std::span<const Drosa> group, int32_t x, int staff) {
  if (group.empty()) return 0;
  bool up = stem_of(group.front()) == STEM_UP;
  Drosa reference = reference_head(group);
  int32_t head = hdw(reference, 0);
  int32_t stem_width = param_length_at_staff(P_STEM_LINE_WIDTH, reference, staff);
  int32_t stem_line = up ? x + head - stem_width : x;
  for (Drosa n : group) {
    Drosa nt = chord_nt(n);
    nt->set(xhdx, x);
    nt->set(xcluster, 0);
    set_stem_offset(nt, stem_line - x);
  }
  // Up stems: from the lowest head up; other stems: from the highest head down.
  auto from_stem_end = [&](size_t i) { return up ? group[i] : group[group.size() - 1 - i]; };
  int32_t space = staff_space(staff);
  bool cluster = false;
  for (size_t i = 1; i < group.size(); ++i) {
    Drosa p = from_stem_end(i - 1), n = from_stem_end(i);
    Drosa pnt = chord_nt(p), nnt = chord_nt(n);
    if (p->get(xrest) || n->get(xrest)) continue;
    if (nnt->get(xtabtyp) == 1 || nnt->get(xtabtyp) == 2) continue;
    int32_t apart = std::abs(nnt->get(xhdy) - pnt->get(xhdy));
    if (apart >= space) continue;
    if (apart == 0) {
      bool one_voice = n->get(xvoice) == p->get(xvoice);
      if (integer(one_voice ? P_SUPPRESS_DOUBLE_NOTEHEADS_FROM_ONE_VOICE
                            : P_SUPPRESS_DOUBLE_NOTEHEADS_FROM_MULTIPLE_VOICES,
                  n, staff) != 0)
        continue;
    }
    if (nnt->get(xother_staff) != pnt->get(xother_staff)) continue;
    cluster = true;
    if (pnt->get(xhdx) != x) continue;  // its neighbour already stands aside
    nnt->set(xhdx, x + (up ? head - stem_width : stem_width - head));
    set_stem_offset(nnt, stem_line - nnt->get(xhdx));
  }
  // Small heads left of the stem line stand against it.
  if (!is_small(reference)) {
    for (Drosa n : group) {
      Drosa nt = chord_nt(n);
      if (!is_small(n) || nt->get(xhdx) >= stem_line) continue;
      nt->set(xhdx, nt->get(xhdx) + head - hdw(n, 0));
      set_stem_offset(nt, stem_line - nt->get(xhdx));
    }
  }
  if (cluster) {
    for (Drosa n : group) chord_nt(n)->set(xcluster, 1);
    return 1;
  }
  int32_t extra = param_length_at_staff(up ? P_X_OFFSET_ADDED_TO_NORMAL_UP_STEM_POSITION
                                           : P_X_OFFSET_ADDED_TO_NORMAL_DOWN_STEM_POSITION,
                                        reference, staff);
  for (Drosa n : group) set_stem_offset(chord_nt(n), chord_nt(n)->get(xstemxoff) + extra);
  return 0;
}

}  // namespace

// notehead_offsets: places the stem group first..last at x.
// Reads:  NTDATA xstmdir, xhdy, xtabtyp, xother_staff; NOTE xrest, xvoice, xcue, xgrace;
//         the head widths; parameters 197, 672, 673, 703, 704; the staff size.
// Writes: NTDATA xhdx, xstemxoff, xcluster of the group's notes.
int notehead_offsets(Drosa first, Drosa last, int32_t x, int staff) {
  ChordNotes group;
  return place_stem_group(group.chain_run(first, last), x, staff);
}

// ---- Rests ----------------------------------------------------------------------------------

// adjust_rest_y: reads NTDATA xhdy and xrestchar, NOTE xlgval, xcue and xgrace, the staff's
// type, size and lines, the rest's RMOVE. Writes: NTDATA xhdy.
void adjust_rest_y(Drosa rest, int staff) {
  Drosa nt = note_ntdata(rest);
  if (!nt) return;
  const StaffData* s = staff_of(staff);
  int32_t space = staff_space(staff);
  int glyph = nt->get(xrestchar);
  bool whole = glyph == REST_WHOLE_MEASURE || (glyph == 0 && rest->get(xlgval) == 1);
  int32_t y = nt->get(xhdy), change = 0;
  if (s && s->staff_type == PIANO_TAB) {
    int32_t target = y + (whole ? space : 0);
    int32_t above, above_width, below, below_width;
    nearest_staff_positions(target, staff, &above, &above_width, &below, &below_width);
    int32_t line = above == NOT_DRAWN                                      ? below
                   : below == NOT_DRAWN || above - target < target - below ? above
                                                                           : below;
    if (line != NOT_DRAWN) change = line - target;
  }
  if (whole && is_small(rest)) change += space - 30;
  if (whole && s && s->lines == 1) change -= space;
  nt->set(xhdy, y + change + RMOVE_offset(rest, s));
}

// ---- The chord ------------------------------------------------------------------------------

// placecd: see the file's opening comment.
// Reads:  spacing_x; the chord's notes along the print chain (NOTE and NTDATA fields), the
//         chords of other layers at its time (through place_accidentals), staff_data[pstaff],
//         CDDATA xoppos and CDDATA2 xopposhide of a chord of rests;
//         parameters 130, 176, 197, 259, 260, 302, 141, 190, 564, 568, 569, 672, 673, 703,
//         704, 733, 735 and the head, rest and accidental metrics.
// Writes: NTDATA xhdx, xstemxoff, xcluster, xaccx of the chord's notes (xaccx also of the
//         other layers' notes at its time), xhdy of its rests; CDDATA xcdleft, xcdoverhang.
// Failure: level 4 "bad chord stdirs in placecd: first %lx, last %lx" when a stem-up group
//         stands before a stem-down one, and "placecd note length error; noteptr %lx" for a
//         note of a stem group that lasts otherwise than the group's first; placement goes
//         on with what it has.
int32_t placecd(Drosa note, int pstaff, int /*layer*/) {
  const int32_t origin = spacing_x;
  if (!note_ntdata(note)) return origin;
  ChordNotes chord;
  const std::span<const Drosa> notes = chord.chain_run(note, NIL);
  Drosa first = notes.front(), last = notes.back();
  int first_stem = stem_of(first);
  if (first_stem != stem_of(last) && first_stem == STEM_UP)
    REPORT_ERROR(4, "bad chord stdirs in placecd: first %lx, last %lx",
                 (unsigned long)first.handle(), (unsigned long)last.handle());
  size_t split = 1;
  while (split < notes.size() && stem_of(notes[split]) == first_stem) ++split;
  const std::span<const Drosa> group_a = notes.first(split), group_b = notes.subspan(split);

  check_durations(group_a);
  check_durations(group_b);
  int cluster_a = place_stem_group(group_a, origin, pstaff);
  int cluster_b = place_stem_group(group_b, origin, pstaff);

  // The stem-down group first, then the stem-up group: they interlock when the lowest stem-up
  // head stands less than a staff space above the highest stem-down head.
  int32_t shift = 0;
  bool interlock = false;
  if (!group_b.empty() && first_stem != STEM_UP) {
    Drosa up = group_b.front(), down = group_a.back();
    interlock =
        !up->get(xrest) && !down->get(xrest) && head_y(up) < head_y(down) + staff_space(pstaff);
    if (interlock) shift = set_groups_apart(group_a, group_b, pstaff);
  }

  int32_t accidental_x = place_accidentals(first, last, pstaff, origin, shift);
  place_rests(notes, pstaff);

  int32_t least = EXTENT_LOW_START;
  for (Drosa n : notes) least = std::min(least, head_x(n));
  if (interlock) least -= std::abs(shift) / 2;
  // A displaced head's overhang; one in the stem-down group widens the chord to the left.
  bool a_is_down = first_stem != STEM_UP;
  bool down_cluster = a_is_down ? cluster_a : cluster_b;
  int32_t overhang = 0;
  if (cluster_a || cluster_b) {
    bool use_a = down_cluster ? a_is_down : cluster_a;
    Drosa reference = reference_head(use_a ? group_a : group_b);
    overhang = hdw(reference, 0) + param_length_at_staff(P_STEM_LINE_WIDTH, reference, pstaff);
  }
  int32_t edge = down_cluster ? least - overhang : least;

  int32_t left = edge;
  bool accidental_edge = false;
  if (accidental_x < origin) {
    bool grace = first->get(xgrace);
    // The spacing leaves the gap behind a note before the chord's left edge: an accidental's
    // edge stands in so far that the gap before the accidental is its own.
    auto gap = [&](int pindex, int percent) {
      return tight_gap(param_length_at_staff(pindex, first, pstaff), percent);
    };
    int32_t keep =
        grace
            ? gap(P_MINIMUM_SPACE_BETWEEN_GRACE_NOTE_AND_NEXT_CHORD, TIGHT_NOTE_GAP_PERCENT) -
                  gap(P_MIN_SPACE_BETWEEN_GRACE_NOTE_AND_NEXT_NOTES_ACCIDENTAL,
                      TIGHT_SIGN_GAP_PERCENT)
            : gap(P_MINIMUM_SPACE_BETWEEN_NORMAL_NOTE_AND_NEXT_CHORD, TIGHT_NOTE_GAP_PERCENT) -
                  gap(P_MIN_SPACE_BETWEEN_NORMAL_NOTE_AND_NOTES_ACCIDENTAL, TIGHT_SIGN_GAP_PERCENT);
    int32_t accidental_edge_x = accidental_x + keep;
    if (accidental_edge_x < edge) {
      float factor = float(
          param_float_value(P_MULTIPLIER_FOR_EXTRA_SPACE_BETWEEN_NOTES_FOR_ACCIDENTALS, first));
      left = int32_t(float(edge) - float(edge - accidental_edge_x) * factor);
      accidental_edge = true;
    }
  }

  Drosa cd = note_ntdata(last)->xnext;
  if (cd && cd->xkind == CDDATA) {
    int64_t extent = accidental_edge ? int64_t(left) + (down_cluster ? overhang : 0) - origin - 20
                                     : int64_t(least) - origin;
    cd->set(xcdleft, int16_t(std::clamp<int64_t>(extent, INT16_MIN, INT16_MAX)));
    cd->set(xcdoverhang, uint8_t(std::clamp<int32_t>(overhang, 0, UINT8_MAX)));
  }

  // The chord's lyrics keep clear of the syllables of their own lines, not of the notes
  // before (the spacing asks that of them on its own).
  return left;
}
