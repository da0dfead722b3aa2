// printbeam.cpp: where a beam group's beam lies. The chords are drawn and counted per stem
// direction; a group of both directions (a beam between two staves) takes a fixed rise through
// the middle of its heads; a group of one direction takes the least-squares slope of its heads,
// clamped, flattened when small and for repeated figures, then is raised or lowered until every
// stem is long enough and every head and rest clears it. Last, its ends are snapped so that no
// beam line grazes a staff line (never making it steeper than its notes made it), and the slope
// and height offsets of the parameters are added.
// The lines themselves are drawn in beam_lines.cpp.
//
// The main beam's y at x is intercept + trunc(slope x); a beam line is centred on its y. Stems
// go up for xstmdir 2 and are "not up" for every other value. The beam record is program-wide:
// one group is drawn to its end before the next begins.
#include "graphics/printbeam.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "graphics/GE.h"
#include "graphics/chord_parts.h"
#include "graphics/graphics_globals.h"
#include "graphics/printcd.h"
#include "layout/layout_services.h"
#include "params/param_services.h"

namespace {

constexpr int STEM_UP = 2;
constexpr int32_t NO_LIMIT = 2100000000;
constexpr int MAX_CHORDS = 4096;  // a walk that goes on longer has met a broken chain

bool valid_staff(int staff) { return staff >= 0 && staff < MAX_PSTAVES; }

// A staff of the system being drawn (any staff when no system is set).
bool system_staff(int staff) {
  if (!valid_staff(staff)) return false;
  return first_pstaff < 0 || last_pstaff < first_pstaff ||
         (staff >= first_pstaff && staff <= last_pstaff);
}

// A double truncated toward zero into 32 bits; a slope from damaged parameters (not a number,
// or far out of range) gives 0 or the nearest end of the range instead of an undefined cast.
int32_t truncated(double v) {
  if (std::isnan(v)) return 0;
  return int32_t(std::clamp(std::trunc(v), double(INT32_MIN), double(INT32_MAX)));
}

int32_t trunc_product(double slope, int64_t x) { return truncated(slope * double(x)); }

// A height worked out in 64 bits, kept to the 32 of the beam's record: a slope from damaged
// parameters may give heights out of range, never an overflow.
int32_t saturated(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// Whether first..last is one staff chord: no chord ends before last along the print chain.
bool one_staff_chord(Drosa first, Drosa last) {
  for (Drosa n = first; n != last; n = note_ntdata(n)->get(xpnext)) {
    if (!note_ntdata(n) || note_ntdata(n)->get(xendscd)) return false;
  }
  return true;
}

// The ENDSYST on which a voice's continued-beam marks are kept: the one closing its system.
Drosa system_end_of_voice(int voice) {
  if (voice < 0 || voice >= MAX_VOICES) return NIL;
  Drosa end = voice_data[voice].system_end;
  return end && effective_kind(end) == ENDSYST ? end : NIL;
}

// Whether the voice moved to a neighbouring staff at this ENDSYST.
bool staff_changed_by_one(Drosa endsyst) {
  Drosa after = find_next_kind_before_note(PRINT, endsyst);
  if (!after) return false;
  Drosa before = find_prev_kind(PRINT, endsyst);
  return before && std::abs(after->get(xsstaff) - before->get(xsstaff)) == 1;
}

}  // namespace

int32_t beam_y(int64_t x) {
  return int32_t(std::clamp<int64_t>(
      int64_t(beam_record.intercept) + trunc_product(beam_record.slope, x), INT32_MIN, INT32_MAX));
}

// ---- Values -------------------------------------------------------------------------------

int decode_note_type(Drosa note, int* value, int* dots) {
  const int v = note->get(xlgval), d = note->get(xdots);
  *value = v;
  *dots = d;
  const int t = note->get(xintimeof);
  if (!note->get(xtrembeam) || v < 4 || note->get(xtupl) != 2 || t == 0) return 0;
  int k = 0;
  while (!((t >> k) & 1)) ++k;
  const int m = t >> k;
  int new_value = v - k + 2, new_dots = d;
  if (m == 3) {
    --new_value;
    ++new_dots;
  } else if (m != 1) {
    return 0;
  }
  if (new_value < 1 || new_value > 4 || new_dots > 3) return 0;
  *value = new_value;
  *dots = new_dots;
  return 1;
}

// ---- Beams across system breaks ---------------------------------------------------------------

int stemdir_by_voice_pair(int voice, int direction) {
  if (voice < 0 || voice >= MAX_VOICES) return 0;
  Drosa start = voice_data[voice].system_start;
  if (!start || effective_kind(start) != ENDSYST) return 0;
  int up = start->get(xsys_beamup), down = start->get(xsys_beamdown);
  if (up == down) return up;  // nothing to swap
  if (staff_changed_by_one(start)) std::swap(up, down);
  return direction == STEM_UP ? up : down;
}

void clear_voice_beam_flags() {
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v) {
    if (voice_not_shown(v)) continue;
    if (Drosa end = system_end_of_voice(v)) {
      end->set(xsys_beamup, 0);
      end->set(xsys_beamdown, 0);
    }
  }
}

void beam_group_bounds(Drosa first, Drosa last, int* continued_in, int* continues_out) {
  *continued_in = *continues_out = 0;
  Drosa fnt = note_ntdata(first), lnt = note_ntdata(last);
  if (!fnt || !lnt) return;
  Drosa next = lnt->get(xpnext);
  if (last->get(xcbeam) && !is_visible_note(next) && last->get(xlgval) > 3) {
    *continues_out = 1;
    if (Drosa end = system_end_of_voice(last->get(xvoice)))
      end->set(lnt->get(xstmdir) == STEM_UP ? xsys_beamup : xsys_beamdown, 1);
  }
  Drosa cd = cddatptr(first, 1);
  if (cd && cd->xnext->get(xswholec) == 0)
    *continued_in =
        stemdir_by_voice_pair(first->get(xvoice), fnt->get(xstmdir) == STEM_UP ? STEM_UP : 1);
}

// ---- The chords ---------------------------------------------------------------------------------

namespace {

// The staff a beamed chord is drawn on: its own chord's, or the neighbour for a chord moved
// there.
int beamed_chord_staff(Drosa cd, Drosa nt) {
  int staff = beam_record.pstaff;
  if (cd && cd->xnext && cd->xnext->xnext) staff = cd->xnext->xnext->get(xpstaff);
  if (nt->get(xother_staff)) staff += nt->get(xstmdir) == STEM_UP ? -1 : 1;
  return valid_staff(staff) ? staff : beam_record.pstaff;
}

// One chord of the group: its notes drawn, its heads counted in its extents, its place kept.
BeamChord draw_beamed_chord(Drosa first, Drosa last) {
  BeamChord c;
  Drosa nt = note_ntdata(first);
  c.first = first;
  c.last = last;
  c.cddata = cddatptr(first, 1);
  c.pstaff = beamed_chord_staff(c.cddata, nt);
  c.up = nt->get(xstmdir) == STEM_UP;
  c.value = first->get(xlgval);
  c.head_x = nt->get(xhdx);
  c.head_y = nt->get(xhdy);
  c.stem_x = c.head_x + nt->get(xstemxoff);
  const int dir = nt->get(xstmdir);
  const int32_t head = param_length(P_NOTE_HEAD_HEIGHT, first);
  for_chord_notes(first, last, [&](Drosa n) {
    if (!n->get(xrest)) {
      draw_tab_chord(n, c.pstaff);
      drawacc(n, c.pstaff);
      draw_note_marks(n, c.pstaff);
      draw_ledger_lines(n, c.pstaff);
      if (c.cddata) {
        set_max_hiy(c.cddata, dir, note_ntdata(n)->get(xhdy) + head);
        set_min_loy(c.cddata, dir, note_ntdata(n)->get(xhdy));
      }
    } else if (c.cddata) {
      set_max_hiy(c.cddata, dir, note_ntdata(n)->get(xhdy) + rest_ascend_size(n, 0));
      set_min_loy(c.cddata, dir, note_ntdata(n)->get(xhdy) - rest_descend_size(n, 0));
    }
    draw_notehead_char(n, c.pstaff);
  });
  for_chord_notes(first, last, [&](Drosa n) { draw_dots(n, c.pstaff); });
  return c;
}

// Whether the chord first..last holds the note.
bool chord_holds(Drosa first, Drosa last, Drosa note) {
  bool found = false;
  for_chord_notes(first, last, [&](Drosa n) { found = found || n == note; });
  return found;
}

void report_walk(Drosa at) {
  REPORT_ERROR(4, "Inconsistency in printbeam: first %lx, last %lx, ptr %lx",
               (unsigned long)beam_record.first.handle(), (unsigned long)beam_record.last.handle(),
               (unsigned long)at.handle());
}

// The first note of the chord after the one ending at `last`.
// Failure: "printbeam.c: advance(%lx) returns NIL in advance()!!!" when the beam ends there.
Drosa advance(Drosa last) {
  Drosa next = beam_next(last, nullptr);
  if (!next)
    REPORT_ERROR(4, "printbeam.c: advance(%lx) returns NIL in advance()!!!",
                 (unsigned long)last.handle());
  return next;
}

}  // namespace

void draw_beamed_notes() {
  BeamRecord& b = beam_record;
  b.chords.clear();
  b.count[0] = b.count[1] = 0;
  b.sum_x[0] = b.sum_x[1] = b.sum_y[0] = b.sum_y[1] = 0;
  b.largest_value = 4;
  Drosa chord = b.first;
  for (int n = 0; chord && n < MAX_CHORDS; ++n) {
    if (!note_ntdata(chord) || (b.grace && !chord->get(xgrace))) {
      report_walk(chord);
      break;
    }
    Drosa first = NIL, last = NIL;
    stem_group_bounds(chord, &first, &last);
    const BeamChord c = draw_beamed_chord(chord, last);
    b.chords.push_back(c);
    b.largest_value = std::max(b.largest_value, c.value);
    b.count[c.up] += 1;
    b.sum_x[c.up] += c.head_x;
    b.sum_y[c.up] += c.head_y;
    if (chord_holds(chord, last, b.last)) break;
    chord = advance(last);
  }
  for (int d = 0; d < 2; ++d) {
    b.mean_x[d] = b.count[d] ? int32_t(b.sum_x[d] / b.count[d]) : 0;
    b.mean_y[d] = b.count[d] ? int32_t(b.sum_y[d] / b.count[d]) : 0;
  }
}

// ---- The slope ----------------------------------------------------------------------------------

namespace {

// A group of both directions: a fixed rise between the two staves, through the middle of the
// heads.
void slope_both_directions() {
  BeamRecord& b = beam_record;
  const BeamChord &f = b.chords.front(), &l = b.chords.back();
  b.slope = 0;
  const int64_t dx = int64_t(l.stem_x) - f.stem_x;
  if (f.up != l.up && dx != 0) {  // two stems at one x stay flat
    const int32_t h =
        f.up ? param_length(P_CHANGE_IN_Y_BETWEEN_ENDS_OF_BEAMS_OVER_SWITCH_TO_RH_LH, f.first)
             : -param_length(P_CHANGE_IN_Y_BETWEEN_ENDS_OF_BEAMS_OVER_SWITCH_TO_RH_LH, f.first);
    const double limit = param_float_value(P_MAXIMUM_SLOPE_FOR_BEAM, f.first);
    b.slope = double(h) / double(dx);
    b.slope = f.up ? std::min(b.slope, limit) : std::max(b.slope, -limit);
  }
  const int32_t xm = int32_t((int64_t(f.stem_x) + l.stem_x + 1) / 2);
  int above = 0, below = 0;
  if (f.cddata && f.cddata->xnext) {
    above = f.cddata->xnext->get(xabovebeam, f.up);
    below = f.cddata->xnext->get(xbelowbeam, f.up);
  }
  Drosa extreme = stem_group_extreme(f.first, nullptr);
  int32_t ym = int32_t((int64_t(b.mean_y[1]) + b.mean_y[0]) / 2) +
               param_length(P_OFFSET_BETWEEN_SUCCESSIVE_BEAMS, extreme ? extreme : f.first) *
                   (below - above) / 2;
  if (system_staff(b.upper_pstaff)) ym = std::min(ym, staff_bottom_y(b.upper_pstaff, 0));
  if (system_staff(b.lower_pstaff)) ym = std::max(ym, staff_top_y(b.lower_pstaff, 0));
  b.intercept = saturated(int64_t(ym) - trunc_product(b.slope, xm));
}

// A figure whose first and last heads stand level, or that repeats a period of heads, is flat.
bool level_or_repeated() {
  const std::vector<BeamChord>& chords = beam_record.chords;
  static std::vector<int32_t> x, y;  // the stem columns: each stem x once, its first chord's y
  x.clear();
  y.clear();
  for (const BeamChord& c : chords) {
    if (std::find(x.begin(), x.end(), c.stem_x) != x.end()) continue;
    x.push_back(c.stem_x);
    y.push_back(c.head_y);
  }
  if (chords.front().head_y == y.back()) return true;
  const size_t n = y.size();
  if (n < 4) return false;
  for (size_t period = 2; period <= n / 2; ++period) {
    if (n % period) continue;
    bool repeats = true;
    for (size_t i = period; i < n && repeats; ++i) repeats = y[i] == y[i % period];
    if (repeats) return true;
  }
  return false;
}

// A group of one direction: the least-squares slope of the heads, scaled, clamped and
// flattened.
void slope_one_direction() {
  BeamRecord& b = beam_record;
  const BeamChord &f = b.chords.front(), &l = b.chords.back();
  int64_t s = 0;
  double q = 0;
  for (const BeamChord& c : b.chords) {
    if (b.grace && !c.first->get(xgrace)) {
      REPORT_ERROR(4, "Inconsistency in leastsq: ptr %lx", (unsigned long)c.first.handle());
      break;
    }
    const int64_t dx = int64_t(c.head_x) - b.mean_x[c.up], dy = int64_t(c.head_y) - b.mean_y[c.up];
    s += dx * dy;
    q += double(dx) * double(dx);
  }
  double slope = q != 0 ? double(s) / q : 0;
  slope *= param_float_value(P_MULTIPLIER_TO_COMPUTE_BEAM_SLOPE_FROM_NOTE_LOCATIONS, f.first);
  const double largest = param_float_value(P_MAXIMUM_SLOPE_FOR_BEAM, f.first);
  slope = std::clamp(slope, -std::fabs(largest), std::fabs(largest));
  const int64_t span = int64_t(l.stem_x) - f.stem_x;
  const int64_t h = trunc_product(slope, span);
  const int32_t m = param_length(P_MIN_CHANGE_IN_Y_BETWEEN_BEAM_ENDS_FLAT_BEAM_FOR_LESSER, f.first);
  if (-m < h && h < m) {
    if ((-(m / 4) < h && h < m / 4) || span == 0)
      slope = 0;
    else
      slope = double(h < 0 ? -m : m) / double(span);
  }
  const double least =
      param_float_value(P_MINIMUM_SLOPE_FOR_BEAM_USE_FLAT_BEAM_FOR_LESSER_SLOPE, f.first);
  if (-least < slope && slope < least)
    slope = (-0.5 * least < slope && slope < 0.5 * least) ? 0 : std::copysign(least, slope);
  if (b.continued_in || b.continues_out) slope = 0;
  if (slope != 0 && level_or_repeated()) slope = 0;
  b.slope = slope;
}

// ---- The height -------------------------------------------------------------------------------

// The y every beam line must stay beyond at a note of the group (direction `up` of the group).
int32_t clearance_limit(Drosa note, const BeamChord& c, bool up) {
  BeamRecord& b = beam_record;
  Drosa f = b.chords.front().first, nt = note_ntdata(note);
  const int32_t y = nt->get(xhdy), head = param_length(P_NOTE_HEAD_HEIGHT, f),
                heads = param_length(P_MINIMUM_DISTANCE_FROM_NOTEHEADS_UNDER_BEAMS_TO_BEAMS, f);
  if (note->get(xgrace) && !b.grace && c.cddata)
    return up ? get_max_hiy(c.cddata) + heads : get_min_loy(c.cddata) - heads;
  if (note->get(xrest)) {
    const int32_t gap = param_length(P_MINIMUM_DISTANCE_FROM_RESTS_UNDER_BEAMS_TO_BEAMS, f);
    return up ? y + rest_ascend_size(note, 0) + gap : y - rest_descend_size(note, 0) - gap;
  }
  if ((nt->get(xstmdir) == STEM_UP) != up) return up ? y + heads + head : y - heads;
  const int32_t stem =
      param_length(P_MINIMUM_LENGTH_OF_NOTE_STEMS_IN_BEAMS, f) +
      (note->get(xtremolo) ? param_length(P_EXTEND_STEM_LENGTH_FOR_TREMOLO_ON_BEAMED_NOTES, f) : 0);
  return up ? y + stem + head : y - stem;
}

// Step 4: lowers (stems not up) or raises (stems up) the beam until its innermost line clears
// every head and rest.
void clear_heads_and_rests(bool up) {
  BeamRecord& b = beam_record;
  const int32_t apart = param_length(P_OFFSET_BETWEEN_SUCCESSIVE_BEAMS, b.chords.front().first);
  bool reported = false;
  for (const BeamChord& c : b.chords) {
    const int32_t inner = apart * std::max(0, c.value - 4);
    for_chord_notes(c.first, c.last, [&](Drosa n) {
      if (b.grace && !n->get(xgrace) && !reported) {
        REPORT_ERROR(4, "Grace logic error in printbeam");
        reported = true;
      }
      const int32_t limit = clearance_limit(n, c, up);
      const int32_t at = beam_y(c.stem_x);
      if (!up && limit < at + inner)
        b.intercept = saturated(int64_t(limit) - inner - trunc_product(b.slope, c.stem_x));
      else if (up && limit > at - inner)
        b.intercept = saturated(int64_t(limit) + inner - trunc_product(b.slope, c.stem_x));
    });
  }
}

void height_one_direction() {
  BeamRecord& b = beam_record;
  const BeamChord &f = b.chords.front(), &l = b.chords.back();
  const bool up = f.up;
  const int32_t mean_y = b.mean_y[up], at_mean = trunc_product(b.slope, b.mean_x[up]);
  int value = 0, dots = 0;
  if (decode_note_type(l.first, &value, &dots) && value == 1) {
    // A whole-note tremolo: the beams lie between the heads.
    const int32_t head = param_length(P_NOTE_HEAD_HEIGHT, f.first);
    const int32_t beams =
        param_length(P_OFFSET_BETWEEN_SUCCESSIVE_BEAMS, f.first) * (l.first->get(xlgval) - 4);
    b.intercept =
        saturated(mean_y + (up ? int64_t(head) + beams : int64_t(head) - beams) / 2 - at_mean);
    return;
  }
  if (f.first->get(xrest)) {
    const int32_t gap = param_length(P_MINIMUM_DISTANCE_FROM_RESTS_UNDER_BEAMS_TO_BEAMS, f.first);
    b.intercept = saturated(up ? int64_t(mean_y) + rest_ascend_size(f.first, 0) + gap - at_mean
                               : int64_t(mean_y) - rest_descend_size(f.first, 0) - gap - at_mean);
  } else {
    const int32_t stem = param_length(P_NORMAL_LENGTH_OF_NOTE_STEMS_IN_BEAMS, f.first);
    b.intercept =
        saturated(up ? int64_t(mean_y) + param_length(P_NOTE_HEAD_HEIGHT, f.first) + stem - at_mean
                     : int64_t(mean_y) - stem - at_mean);
  }
  clear_heads_and_rests(up);
  // Chords squeezed onto one x (a system of more notes than its width holds) are no fault.
  if (b.chords.size() == 1 && !b.continued_in && !b.continues_out)
    REPORT_ERROR(4, "Only one chord in beam in leastsq()!");
}

// The slope and height offsets of the parameters: the beam turns about its middle.
void final_offsets() {
  BeamRecord& b = beam_record;
  const BeamChord &f = b.chords.front(), &l = b.chords.back();
  const double turn = param_float_value(P_OFFSET_TO_ADD_TO_FINAL_BEAM_SLOPE, l.first);
  if (turn != 0) {
    b.turn_x = int32_t((int64_t(f.stem_x) + l.stem_x) / 2);
    b.turn_y = truncated(b.turn_x * b.slope + b.intercept);
    b.slope += turn;
    b.intercept = truncated(b.turn_y - b.slope * b.turn_x);
  }
  b.intercept += param_length(P_Y_OFFSET_TO_ADD_TO_FINAL_BEAM_LOCATION, l.first);
}

}  // namespace

// ---- End snapping ---------------------------------------------------------------------------

void beam_slope_limits(int32_t y, int n, int direction, int staff, Drosa note, int32_t* lo,
                       int32_t* hi) {
  *lo = -NO_LIMIT;
  *hi = NO_LIMIT;
  if (n < 4 || !valid_staff(staff)) return;
  const int32_t s = staff_data[staff].staff_size;
  if (s <= 0) return;
  const bool piano = staff_data[staff].staff_type == 3;
  const int32_t band = int32_t(0.8 * param_length(P_STEM_CONNECTION_BEAM_LINE_WIDTH, note)),
                apart = param_length(P_OFFSET_BETWEEN_SUCCESSIVE_BEAMS, note);
  const int32_t top = staff_top_y(staff, 0), bottom = staff_bottom_y(staff, 0);
  for (int k = n - 4; k >= 0; --k) {
    const int64_t line =
        direction != STEM_UP ? int64_t(y) + int64_t(k) * apart : int64_t(y) - int64_t(k) * apart;
    if (direction != STEM_UP && line < int64_t(bottom) - 2 * band) break;
    if (direction == STEM_UP && line > int64_t(top) + 2 * band) break;
    int64_t nearest = 0, width = 0;
    if (piano) {
      int32_t above = 0, above_width = 0, below = 0, below_width = 0;
      nearest_staff_positions(int32_t(line), staff, &above, &above_width, &below, &below_width);
      const bool has_above = above != NOT_DRAWN, has_below = below != NOT_DRAWN;
      if (!has_above && !has_below) continue;
      const bool take_above = has_above && (!has_below || above - line <= line - below);
      nearest = take_above ? above : below;
      width = take_above ? above_width : below_width;
    } else {
      // The staff line nearest to it (halfway between two, the upper one): a beam line beyond
      // the staff is drawn to the staff's outer line.
      const int64_t d = std::clamp<int64_t>(line - bottom, 0, int64_t(top) - bottom);
      int64_t steps = d / s;
      if (2 * (d - steps * s) >= s) ++steps;
      nearest = bottom + steps * s;
      width = scaled_staff_param(note, int((top - nearest) / s + 1));
    }
    const int64_t u = nearest + width / 2 - (line + band / 2);
    const int64_t v = nearest - width / 2 - (line - band / 2);
    if (*lo <= u && u <= *hi) *lo = int32_t(u);
    if (*lo <= v && v <= *hi) *hi = int32_t(v);
  }
}

void beam_y_positions() {
  BeamRecord& b = beam_record;
  const BeamChord &f = b.chords.front(), &l = b.chords.back();
  const int32_t t = param_length(P_STEM_CONNECTION_BEAM_LINE_WIDTH, f.first) / 5;
  const int64_t y1 = beam_y(f.stem_x), y2 = beam_y(l.stem_x);
  int32_t lo1, hi1, lo2, hi2;
  beam_slope_limits(int32_t(y1), b.largest_value, f.up ? STEM_UP : 1, f.pstaff, f.first, &lo1,
                    &hi1);
  beam_slope_limits(int32_t(y2), b.largest_value, l.up ? STEM_UP : 1, l.pstaff, l.first, &lo2,
                    &hi2);
  int64_t n1 = y1, n2 = y2;
  if (hi2 < lo1) {
    n1 += lo1 + t;
    n2 += hi2 - t;
  } else if (hi1 < lo2) {
    n1 += hi1 - t;
    n2 += lo2 + t;
  } else {
    const int64_t low = std::max(lo1, lo2), high = std::min(hi1, hi2);
    if (!(low + t < 1 && high - t >= 0)) {
      const int64_t shift = std::llabs(low) >= std::llabs(high) ? high - t : low + t;
      n1 += shift;
      n2 += shift;
    }
  }
  // Ends moved apart never make the beam steeper than its notes gave it: it then keeps that
  // slope, moved with its first end.
  if (std::llabs(n2 - n1) > std::llabs(y2 - y1)) n2 = n1 + (y2 - y1);
  const int64_t span = std::max<int64_t>(1, int64_t(l.stem_x) - f.stem_x);
  b.slope = double(n2 - n1) / double(span);
  b.intercept = saturated(n1 - trunc_product(b.slope, f.stem_x));
  const int64_t a = std::min(y1 + hi1, y2 + hi2), c = std::max(y1 + lo1, y2 + lo2);
  const double least =
      param_float_value(P_MINIMUM_SLOPE_FOR_BEAM_USE_FLAT_BEAM_FOR_LESSER_SLOPE, f.first);
  if (a > c && b.slope != 0 && -0.5 * least < b.slope && b.slope < 0.5 * least) {
    b.slope = 0;
    b.intercept = int32_t((a + c) / 2);
  }
}

// ---- The group --------------------------------------------------------------------------------

int32_t printbeam(Drosa first, Drosa last, int staff, int flag) {
  BeamRecord& b = beam_record;
  if (!note_ntdata(first) || !note_ntdata(last)) return 0;
  b.first = first;
  b.last = last;
  b.pstaff = staff;
  b.grace = first->get(xgrace);
  beam_group_bounds(first, last, &b.continued_in, &b.continues_out);
  if (!b.continued_in && !b.continues_out && (first == last || one_staff_chord(first, last)))
    return printcd(first, last, staff, flag);
  const bool last_up = note_ntdata(last)->get(xstmdir) == STEM_UP;
  b.upper_pstaff = last_up ? staff - 1 : staff;
  b.lower_pstaff = last_up ? staff : staff + 1;
  draw_beamed_notes();
  if (b.chords.empty()) return 0;
  b.slope = 0;
  b.intercept = 0;
  b.turn_x = b.turn_y = 0;
  if (b.count[0] && b.count[1]) {
    slope_both_directions();
  } else {
    slope_one_direction();
    height_one_direction();
  }
  if (!first->get(xgrace)) beam_y_positions();
  final_offsets();
  draw_main_beam();
  draw_beam_lines();
  draw_beamed_stems();
  return 1;
}
