// accidentals.cpp: the columns of a chord's accidentals.
//
// The accidentals of a staff chord, and of the chords of the other layers at the same time on
// the same pstaff, stand in columns left of the heads: column 0 nearest the heads, each
// further column left of the one before. The notes are sorted from the lowest up, and each
// column is filled in one pass over the notes not yet placed. The first pass walks down from
// the highest note; a pass that ends on a note it had to leave turns the next one round, so
// that the columns take accidentals alternately from the top and the bottom of the chord. A
// note joins the column when it stands far enough from the accidental placed last in the pass:
// three staff spaces (parameter 122) for any pair, less where flats, naturals and double sharps
// leave room for each other. A column's x is then the least that keeps each of its accidentals
// clear of the overlapping ones of the column to its right, a flat or natural tucking its
// right side under an accidental above it.
//
// Each note's NTDATA keeps its accidental's distance from its head in units of 5 (xaccx, 255
// for none); however far an AMOVE takes an accidental, the distance stays within 0..254.
#include "layout/accidentals.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory_resource>
#include <span>
#include <vector>

#include "layout/layout_fields.h"
#include "layout/layout_globals.h"
#include "layout/placecd.h"
#include "layout/relocate.h"
#include "model/model_services.h"
#include "params/param_services.h"

namespace {

constexpr int LAST_COLUMN = 14;

// Accidental codes.
constexpr int DOUBLE_FLAT = 1, FLAT = 2, NATURAL = 3, SHARP = 4, DOUBLE_SHARP = 5;

struct Candidate {
  Drosa note, nt;
  int32_t y;
  int code;
  Drosa spacc;  // the special accidentals before the note, or NIL
  int32_t width;
  int column = -1;  // -1 while unplaced
};

const StaffData* staff_of(int pstaff) {
  return pstaff >= 0 && pstaff < MAX_PSTAVES ? &staff_data[pstaff] : nullptr;
}

// The lists of one time point's accidentals, kept in room on the stack: placing them takes no
// memory of the heap unless the time point has very many notes.
using Notes = std::pmr::vector<Drosa>;

// Visits the notes of a staff chord from first along the chain to last (or to the chord's end).
template <typename Visit>
void each_chord_note(Drosa first, Drosa last, Visit& visit) {
  for (Drosa n = first; note_ntdata(n); n = chain_next(n)) {
    visit(n);
    if (n == last || note_ntdata(n)->get(xendscd)) break;
  }
}

// Visits the notes of the chord first..last and, in layer order around it, of the chords of
// the other layers that start at the same time on its pstaff.
template <typename Visit>
void each_note_at_time(Drosa first, Drosa last, Visit visit) {
  Drosa cd = note_ntdata(last) ? note_ntdata(last)->xnext : NIL;
  if (!cd || cd->xkind != CDDATA || !cd->xnext || cd->xnext->xkind != CDDATA2 ||
      !cd->xnext->xnext || cd->xnext->xnext->xkind != CDDATA3) {
    each_chord_note(first, last, visit);
    return;
  }
  // A chord whose neighbours in the chord chain stand on other pstaves is the only one of
  // its time point here (most are): the layer walks would find it alone.
  Drosa cd3 = cd->xnext->xnext;
  auto on_other_pstaff = [&](Drosa other) {
    Drosa other3 = other && other->xkind == CDDATA && other->xnext ? other->xnext->xnext : NIL;
    return !other3 || other3->xkind != CDDATA3 || other3->get(xpstaff) != cd3->get(xpstaff);
  };
  if (on_other_pstaff(cd3->get(xprevchord)) && on_other_pstaff(cd3->get(xnextchord))) {
    each_chord_note(first, last, visit);
    return;
  }
  int32_t time = cd->xnext->get(xswholec);
  Drosa end = layer_last(cd);
  for (Drosa c = layer_first(cd); c;) {
    if (c == cd) {
      each_chord_note(first, last, visit);
    } else if (std::abs(c->xnext->get(xswholec) - time) <= TIME_TOLERANCE) {
      each_chord_note(chord_first_note(c), chord_last_note(c), visit);
    }
    if (c == end) break;
    Drosa cd3 = c->xnext ? c->xnext->xnext : NIL;
    c = cd3 && cd3->xkind == CDDATA3 ? cd3->get(xnextchord) : NIL;
  }
}

Drosa special_accidentals(Drosa note) { return find_prev_kind_stop_2(SPACC, note, NTDATA); }

int32_t accidental_width(Drosa note, int pstaff, int code, Drosa spacc) {
  return param_group_width(note, staff_of(pstaff), spacc ? 0 : code, spacc);
}

uint8_t distance_in_fives(int32_t head_x, int32_t accidental_x) {
  int64_t fives = (int64_t(head_x) - accidental_x) / 5;
  return uint8_t(std::clamp<int64_t>(fives, 0, NO_ACCIDENTAL_X - 1));
}

bool code_in(int code, int a, int b, int c) { return code == a || code == b || code == c; }

struct Thresholds {
  int32_t space;                   // the staff space S
  int32_t sharps, flats, partial;  // Ts, Tf, Tp
  bool simplified;
};

// Whether candidate i joins the column after the last placed accidental (y, code) of a pass.
bool joins_column(std::span<const Candidate> list, size_t i, int64_t last_y, int last_code,
                  const Thresholds& t) {
  const Candidate& c = list[i];
  if (i + 1 < list.size()) {
    const Candidate& above = list[i + 1];
    if (above.column < 0 && c.nt->get(xhdx) < above.nt->get(xhdx) &&
        above.note->get(xmod7) - c.note->get(xmod7) == 1)
      return false;
  }
  int64_t d = std::llabs(c.y - last_y);
  int a = c.code, a_last = last_code;
  if (d >= t.sharps || (c.y == last_y && a == a_last)) return true;
  if (d >= t.space && t.simplified) return true;
  bool flat_shape = code_in(a, DOUBLE_FLAT, FLAT, DOUBLE_SHARP);
  if (d >= t.partial && a_last == DOUBLE_SHARP && flat_shape) return true;
  return d >= t.flats && (a_last == DOUBLE_SHARP || flat_shape ||
                          ((a_last == FLAT || a_last == NATURAL) && a == NATURAL));
}

// Fills columns 0, 1, ... one pass each; returns the number of columns used.
int fill_columns(std::span<Candidate> list, const Thresholds& t) {
  bool downward = true;
  int columns = 0;
  size_t placed = 0;
  for (int column = 0; column <= LAST_COLUMN && placed < list.size(); ++column) {
    columns = column + 1;
    int64_t last_y = NO_TIME;
    int last_code = 0;
    bool last_skipped = false;
    for (size_t k = 0; k < list.size(); ++k) {
      size_t i = downward ? list.size() - 1 - k : k;
      Candidate& c = list[i];
      if (c.column >= 0) continue;
      last_skipped = !joins_column(list, i, last_y, last_code, t);
      if (last_skipped) continue;
      c.column = column;
      last_y = c.y;
      last_code = c.code;
      ++placed;
    }
    if (last_skipped) downward = !downward;
  }
  return columns;
}

using Columns = std::array<int32_t, LAST_COLUMN + 1>;

// The x of each column, from the chord's origin leftwards.
Columns column_xs(std::span<const Candidate> list, int columns, int32_t origin, int32_t reduction,
                  Drosa at, int pstaff, const Thresholds& t, std::pmr::memory_resource* room) {
  // The candidates of each column in list order: column k's are by_column[start[k]..start[k+1]).
  std::array<size_t, LAST_COLUMN + 2> start{};
  for (const Candidate& c : list)
    if (c.column >= 0) ++start[size_t(c.column) + 1];
  for (size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
  std::pmr::vector<const Candidate*> by_column(start.back(), nullptr, room);
  std::array<size_t, LAST_COLUMN + 1> filled{};
  for (const Candidate& c : list)
    if (c.column >= 0) by_column[start[size_t(c.column)] + filled[size_t(c.column)]++] = &c;
  auto in = [&](int col) {
    return std::span<const Candidate* const>(by_column).subspan(
        start[size_t(col)], start[size_t(col) + 1] - start[size_t(col)]);
  };
  const StaffData* staff = staff_of(pstaff);
  int32_t gap = param_length(t.simplified ? P_SIMPLIFIED_X_SPACE_BETWEEN_ACCIDENTALS
                                          : P_X_SPACE_LEFT_BETWEEN_ACCIDENTALS_IN_KEYS_AND_CHORDS,
                             at, staff);
  int32_t natural_width = param_group_width(at, staff, NATURAL, NIL);
  Columns x{};
  int32_t widest = 0;
  for (const Candidate* c : in(0)) widest = std::max(widest, c->width);
  x[0] = origin - widest - param_length(P_SPACE_LEFT_BETWEEN_ACCIDENTAL_AND_NOTE, at, staff) -
         reduction;
  for (int col = 1; col < columns; ++col) {
    x[col] = x[col - 1];
    for (const Candidate* a : in(col)) {
      for (const Candidate* b : in(col - 1)) {
        int64_t rise = int64_t(b->y) - a->y;  // how far B stands above A
        if (std::llabs(rise) >= t.sharps) continue;
        int32_t candidate = x[col - 1] - gap - a->width;
        bool plain = !a->spacc && !b->spacc;
        if (rise >= t.partial && plain && b->code != SHARP &&
            code_in(a->code, FLAT, NATURAL, DOUBLE_SHARP))
          candidate += a->width - 10;
        else if (rise >= t.flats && ((!b->spacc && b->code == NATURAL) ||
                                     (!a->spacc && (a->code == FLAT || a->code == NATURAL))))
          candidate += natural_width - 10;
        x[col] = std::min(x[col], candidate);
      }
    }
  }
  return x;
}

// How much further left column 0 stands than the widest accidental needs: half the interlock
// shift, or else a head width when a stem-down group of the time point has displaced heads.
int32_t column_reduction(std::span<const Drosa> notes, int32_t interlock) {
  if (interlock != 0) return std::abs(interlock) / 2;
  int32_t reduction = 0;
  for (Drosa n : notes) {
    Drosa nt = note_ntdata(n);
    if (nt->get(xstmdir) != 2 && nt->get(xcluster))
      reduction = std::max(reduction, hdw(stem_group_extreme(n, nullptr), 0));
  }
  return reduction;
}

}  // namespace

int accidental_sort_cmp(Drosa a, Drosa b) {
  int32_t ya = note_ntdata(a)->get(xhdy), yb = note_ntdata(b)->get(xhdy);
  return ya < yb ? -1 : ya > yb ? 1 : 0;
}

// place_accidentals: see the file's opening comment.
// Reads:  the print chains and chord chain of the pstaff, NTDATA xhdy, xhdx, xstmdir,
//         xcluster; NOTE xacc, xaccplot, xmod7; SPACC and AMOVE nodes before the notes;
//         staff_data[pstaff].staff_size; parameters 122, 123, 124, 571, 572, 735, 745, the
//         accidental widths; the simplified-notation preference.
// Writes: NTDATA xaccx of every note whose accidental is drawn.
// Failure: "Accidental placement error." (level 4) when the accidentals need more than 15
//         columns; the notes left over get no accidental (255), the others their places.
int32_t place_accidentals(Drosa first, Drosa last, int pstaff, int32_t left, int32_t interlock) {
  if (!note_ntdata(first)) return left;
  // Most time points show no accidental: they are told in a walk that makes no list.
  bool shown = false;
  each_note_at_time(first, last,
                    [&](Drosa n) { shown = shown || layout_hooks.accidental_shown(n); });
  if (!shown) return left;
  std::array<std::byte, 4096> room;
  std::pmr::monotonic_buffer_resource resource(room.data(), room.size());
  Notes notes(&resource);
  notes.reserve(32);
  each_note_at_time(first, last, [&](Drosa n) { notes.push_back(n); });
  const StaffData* staff = staff_of(pstaff);
  int32_t result = left;
  std::pmr::vector<Candidate> list(&resource);
  list.reserve(notes.size());
  Drosa before = NIL;
  for (Drosa n : notes) {
    Drosa nt = note_ntdata(n);
    Drosa prev = before;
    before = n;
    if (!layout_hooks.accidental_shown(n)) continue;
    Drosa spacc = special_accidentals(n);
    int code = n->get(xacc);
    int32_t width = accidental_width(n, pstaff, code, spacc);
    // A stem-up head set beside the stem-down head of the same note name keeps its accidental
    // between the two heads.
    Drosa prev_nt = note_ntdata(prev);
    if (prev_nt && prev_nt->get(xpnext) == n && !prev_nt->get(xendscd) && nt->get(xstmdir) == 2 &&
        prev_nt->get(xstmdir) == 1 && nt->get(xhdy) == prev_nt->get(xhdy) &&
        nt->get(xhdx) > prev_nt->get(xhdx)) {
      int32_t x = nt->get(xhdx) - width -
                  param_length(P_SPACE_FOR_SECOND_ACC_IN_CHORD_AT_SAME_NOTENAME, n, staff) +
                  AMOVE_value(n) - accidental_overlap_space(n);
      nt->set(xaccx, distance_in_fives(nt->get(xhdx), x));
      result = std::min(result, x);
      continue;
    }
    nt->set(xaccx, NO_ACCIDENTAL_X);
    list.push_back({n, nt, nt->get(xhdy), code, spacc, width});
  }
  if (list.empty()) return result;
  // From the lowest up; notes at one height keep their order. A few are put in place one by
  // one, which takes no memory.
  auto lower = [](const Candidate& a, const Candidate& b) {
    return accidental_sort_cmp(a.note, b.note) < 0;
  };
  if (list.size() <= 16) {
    for (size_t i = 1; i < list.size(); ++i)
      for (size_t j = i; j > 0 && lower(list[j], list[j - 1]); --j) std::swap(list[j], list[j - 1]);
  } else {
    std::stable_sort(list.begin(), list.end(), lower);
  }

  Thresholds t;
  t.space = staff && staff->staff_size > 0 ? staff->staff_size : 50;
  t.sharps =
      param_value(P_SHARPS_THIS_MANY_VERTICAL_STAFF_SPACES_APART_DO_NOT_OVERLAP, first, staff)
          ->integer() *
      t.space;
  t.flats = int32_t(float(t.space) *
                    float(param_float_value(
                        P_FLATS_THIS_MANY_VERTICAL_STAFF_SPACES_APART_DO_NOT_OVERLAP, first)));
  t.partial = int32_t(float(t.space) *
                      float(param_float_value(
                          P_FLATS_NATURALS_THIS_MANY_STAFF_SPACES_APART_PARTIALLY_OVERLAP, first)));
  t.simplified = layout_hooks.simplified_notation_on();

  int columns = fill_columns(list, t);
  const Columns x = column_xs(list, columns, left, column_reduction(notes, interlock), first,
                              pstaff, t, &resource);
  bool reported = false;
  for (Candidate& c : list) {
    if (c.column < 0) {
      if (!reported) REPORT_ERROR(4, "Accidental placement error.");
      reported = true;
      c.nt->set(xaccx, NO_ACCIDENTAL_X);
      continue;
    }
    int32_t at = x[c.column] + AMOVE_value(c.note) - accidental_overlap_space(c.note);
    c.nt->set(xaccx, distance_in_fives(c.nt->get(xhdx), at));
    result = std::min(result, at);
  }
  return result;
}
