// drawtie_services.cpp: the curves of ties and slurs, the edges of a note's parentheses and
// dots, and the marks drawn around a chord's slurs, as the tie and slur layout asks for them.
//
// Every tie and slur is one Bezier curve whose control points come from the slur-shape
// parameters by its length (curve_geometry). A slur is lifted, both ends alike, until it
// clears the farthest chord met between its ends. Not drawn yet: pitch-bend marks (a bend
// tie or slur is drawn plain), articulation marks and tuplet numbers.
#include "graphics/drawtie_services.h"

#include <algorithm>
#include <cmath>

#include "graphics/GE.h"
#include "layout/layout_services.h"
#include "params/param_services.h"

namespace {

constexpr int P_DOUBLE_DOT_WIDTH = 135, P_DOT_WIDTH = 136, P_NOTE_HEAD_HEIGHT = 141;
constexpr int P_DOT_SPACE = 184, P_SHORTEST_CURVE = 192, P_TIE_CLEAR_HEAD = 211;
constexpr int P_SLUR_LENGTH_1 = 378, P_SLUR_LENGTH_2 = 379, P_SLUR_X_1 = 380, P_SLUR_X_2 = 381;
constexpr int P_SLUR_Y_1 = 382, P_SLUR_Y_2 = 383, P_DASH = 415, P_GAP = 416;
constexpr int P_PAREN_WIDTH = 624, P_DASHED_FILL = 668, P_ONTO_SYSTEM = 669;
constexpr int P_TRIPLE_DOT_WIDTH = 739;
constexpr int TIE_CURVE = 4, SLUR_CURVE = 5;  // vars of the curves

int32_t scaled(int pindex, Drosa node) { return param_length(pindex, node, nullptr); }

int32_t raw_integer(int pindex, Drosa node) {
  return param_value(pindex, node, nullptr)->integer();
}

int32_t nearest(double v) { return int32_t(std::lround(v)); }

// A curve shorter than the shortest curve grows at both ends alike.
void widen_to_shortest(int32_t* x1, int32_t* x2, Drosa node) {
  const int32_t shortest = scaled(P_SHORTEST_CURVE, node);
  if (*x2 - *x1 >= shortest) return;
  const int32_t missing = shortest - (*x2 - *x1);
  *x1 -= missing / 2;
  *x2 += missing - missing / 2;
}

struct CurveStyle {
  int fill, dash, gap;
};

CurveStyle curve_style(bool dashed, Drosa node) {
  if (!dashed) return {1, 0, 0};
  return {raw_integer(P_DASHED_FILL, node) ? 1 : 0, raw_integer(P_DASH, node),
          raw_integer(P_GAP, node)};
}

// The height of a Bezier curve at x, its parameter taken in proportion along x1..x2.
int32_t curve_y_at(int32_t x, int32_t x1, int32_t y1, int32_t c1y, int32_t c2y, int32_t x2,
                   int32_t y2) {
  const double t = x2 > x1 ? std::clamp(double(x - x1) / (x2 - x1), 0.0, 1.0) : 0.5, u = 1 - t;
  return nearest(u * u * u * y1 + 3 * u * u * t * c1y + 3 * u * t * t * c2y + t * t * t * y2);
}

}  // namespace

// ---- Curves -------------------------------------------------------------------------------

void curve_geometry(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Drosa node, int side, int flat,
                    int32_t* c1x, int32_t* c1y, int32_t* c2x, int32_t* c2y) {
  const double dx = double(x2) - x1, dy = double(y2) - y1;
  double s = 1, c = 0;
  if (dx != 0) {
    const double a = std::atan(dy / dx);
    s = std::sin(a);
    c = std::cos(a);
  }
  const double length = std::trunc(std::sqrt(dx * dx + dy * dy));
  const double l1 = scaled(P_SLUR_LENGTH_1, node), l2 = scaled(P_SLUR_LENGTH_2, node);
  const double xa = scaled(P_SLUR_X_1, node), xb = scaled(P_SLUR_X_2, node);
  const double ya = scaled(P_SLUR_Y_1, node), yb = scaled(P_SLUR_Y_2, node);
  double xo, yo;
  if (length > l2) {
    xo = xb;
    yo = yb;
  } else if (length > l1 && l2 > l1) {
    xo = xa + (length - l1) * (xb - xa) / (l2 - l1);
    yo = ya + (length - l1) * (yb - ya) / (l2 - l1);
  } else {
    xo = l1 > 0 ? xa * length / l1 : xa;
    yo = l1 > 0 ? ya * length / l1 : ya;
  }
  if (side == 1) yo = -yo;
  if (flat) {
    xo = std::min(2 * xo, length / 2 - 10);
    yo /= 2;
  }
  *c1x = nearest(x1 + c * xo - s * yo);
  *c1y = nearest(y1 + s * xo + c * yo);
  *c2x = nearest(x2 - c * xo - s * yo);
  *c2y = nearest(y2 - s * xo + c * yo);
}

void drawtie(int32_t x_end, int32_t y_end, int32_t /*end_extent*/, int /*shorten_end*/,
             int direction, int grace, int pstaff, int layer, Drosa /*end_chord*/) {
  if (pstaff < 0 || pstaff >= MAX_PSTAVES || layer < 0 || layer >= LAYERS ||
      (direction != 1 && direction != 2)) {
    REPORT_ERROR(4, "NIL slurptr->head in drawtie.c!");
    return;
  }
  SlurEntry& entry = slur_buffer[pstaff][layer][direction - 1][grace ? 1 : 0];
  if (!entry.first_note) {
    REPORT_ERROR(4, "NIL slurptr->head in drawtie.c!");
    return;
  }
  const SlurEntry e = entry;
  entry = SlurEntry{};
  const int d = e.flip ? 3 - direction : direction;
  const int start_pstaff = e.pstaff, end_pstaff = e.end_pstaff >= 0 ? e.end_pstaff : e.pstaff;
  int32_t x1 = std::max(0, e.start_x), y1 = e.start_y;
  bool continuing = false;
  if (y1 == SLUR_Y_UNSET) {
    // From the previous system: it starts at this one's left edge, at the end's height.
    x1 = first_note_x() - param_length(P_ONTO_SYSTEM, NIL, &staff_data[start_pstaff]);
    y1 = y_end;
    if (y_end == SLUR_Y_UNSET) {
      const int32_t line = staff_data[start_pstaff].staff_size;
      y1 = y_end =
          d == 2 ? staff_top_y(start_pstaff, 0) + line : staff_bottom_y(start_pstaff, 0) - line;
      continuing = true;
    }
  } else if (y_end == SLUR_Y_UNSET) {
    y_end = y1;  // off the system's end at the height it started with
  }
  if (x_end <= x1) return;
  widen_to_shortest(&x1, &x_end, e.first_note);
  int32_t c1x, c1y, c2x, c2y;
  if (e.extreme_y != SLUR_Y_UNSET) {
    curve_geometry(x1, y1, x_end, y_end, e.first_note, d, 0, &c1x, &c1y, &c2x, &c2y);
    const int32_t there = curve_y_at(e.extreme_x, x1, y1, c1y, c2y, x_end, y_end);
    const int32_t lift = d == 2 ? e.extreme_y - there : there - e.extreme_y;
    if (lift > 0) {
      y1 += d == 2 ? lift : -lift;
      y_end += d == 2 ? lift : -lift;
    }
  }
  if (continuing) y1 = y_end = d == 2 ? std::max(y1, y_end) : std::min(y1, y_end);
  const CurveStyle style = curve_style(e.dashed, e.first_note);
  curve_geometry(x1, y1, x_end, y_end, e.first_note, d, 0, &c1x, &c1y, &c2x, &c2y);
  GEcurve(0, x1, y1, start_pstaff, c1x, c1y, start_pstaff, c2x, c2y, end_pstaff, x_end, y_end,
          end_pstaff, style.fill, style.dash, style.gap, 0, SLUR_CURVE, e.first_note);
}

void draw_chord_ties(int32_t x_end) {
  for (int v = 0; v < voice_count; ++v)
    if (!voice_not_shown(v)) clear_staff_slur_flags(v, 0);
  const int first = std::max(first_pstaff, 0), last = std::min(last_pstaff, MAX_PSTAVES - 1);
  for (int p = first; p <= last; ++p)
    for (int layer = 0; layer < LAYERS; ++layer)
      for (int d = 1; d <= 2; ++d)
        for (int g = 0; g < 2; ++g) {
          SlurEntry& e = slur_buffer[p][layer][d - 1][g];
          if (!e.first_note) continue;
          if (staff_data[p].staff_type == 0)
            set_staff_slur_flags(e.voice, d, e.dashed, e.crawl, e.bend);
          e.end_pstaff = e.pstaff;
          drawtie(x_end, SLUR_Y_UNSET, 0, 0, d, g, p, layer, NIL);
        }
}

void draw_bendtie(int32_t x1, int32_t y, int32_t x2, Drosa note, Drosa chord, int /*bend*/,
                  int dashed, int side, int pstaff) {
  Drosa owner = note;
  if (!owner && pstaff >= 0 && pstaff < MAX_PSTAVES && staff_data[pstaff].ppnt[0]) {
    Drosa head_nt = staff_data[pstaff].ppnt[0]->xnext;
    owner = head_nt && head_nt->xkind == NTDATA ? head_nt->get(xpnext) : NIL;
  }
  if (!owner) return;
  x2 -= scaled(P_TIE_CLEAR_HEAD, owner);
  widen_to_shortest(&x1, &x2, owner);
  int32_t c1x, c1y, c2x, c2y;
  if (chord) {
    curve_geometry(x1, y, x2, y, owner, side, 1, &c1x, &c1y, &c2x, &c2y);
    const int stem = note_ntdata(owner) ? note_ntdata(owner)->get(xstmdir) : 1;
    if (side == 1) {
      if (c1y < chord->get(xpreloy)) {
        chord->set(xpreloy, c1y);
        chord->set(xprex, int32_t((int64_t(x1) + x2) / 2));
      }
      set_min_loy(chord, stem, y);
    } else {
      if (c1y > chord->get(xprehiy)) {
        chord->set(xprehiy, c1y);
        chord->set(xprex, int32_t((int64_t(x1) + x2) / 2));
      }
      set_max_hiy(chord, stem, y);
    }
  }
  const CurveStyle style = curve_style(dashed, owner);
  curve_geometry(x1, y, x2, y, owner, side, 0, &c1x, &c1y, &c2x, &c2y);
  GEcurve(0, x1, y, pstaff, c1x, c1y, pstaff, c2x, c2y, pstaff, x2, y, pstaff, style.fill,
          style.dash, style.gap, 0, TIE_CURVE, owner);
}

// ---- Note edges ---------------------------------------------------------------------------

// ---- Marks around slurs -------------------------------------------------------------------

void draw_marks_always(Drosa /*note*/, int /*pstaff*/, int /*slur_open*/) {}
void draw_marks_sometimes(Drosa /*note*/, int /*pstaff*/, int /*flag*/) {}

// side_pstaff_of_note: on the stem's side a beam drawn on the neighbouring staff takes the
// mark there (above for a stem up); on the other side the note itself, or below the chord the
// lowest note of its stem-up run, when drawn on the neighbouring staff.
int side_pstaff_of_note(Drosa note, int side, int pstaff) {
  Drosa nt = note_ntdata(note);
  if (!nt) return pstaff;
  const int stem = nt->get(xstmdir);
  Drosa cd = cddatptr(note, 1);
  int result = pstaff;
  if (side == stem) {
    if (stem == 2 && cd && cd->get(xupbstem)) result = pstaff - 1;
    if (stem != 2 && cd && cd->get(xdnbstem)) result = pstaff + 1;
  } else if (side == 2) {
    if (nt->get(xother_staff)) result = pstaff + 1;
  } else {
    Drosa n = note;
    for (;;) {
      Drosa prev = note_ntdata(n)->get(xpback);
      Drosa prev_nt = note_ntdata(prev);
      if (!prev_nt || prev_nt->get(xendscd) || prev_nt->get(xstmdir) != 2) break;
      n = prev;
    }
    if (note_ntdata(n)->get(xother_staff)) result = pstaff - 1;
  }
  return std::clamp(result, 0, MAX_PSTAVES - 1);
}
