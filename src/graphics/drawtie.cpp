// drawtie.cpp: the curves of ties and slurs, and pitch-bend marks.
//
// Every tie and slur is one Bezier curve whose control points come from the slur-shape
// parameters by its length (curve_geometry). A slur end has two heights it may take: over its
// chord, as the slur layout found it, and, where the chord's stem stands on the slur's side,
// beside that stem at the height of the heads; the pair of heights closest to level wins, and
// an end beside a stem moves inward past it. The slope is then limited and the slur lifted,
// both ends alike, until a flattened copy of its control polygon clears every chord under it
// (their extents, or their heads for a crawling slur) and what was drawn before them.
//
// Design notes:
//  - The end chord's own extent is no obstacle when the slur ends beside its stem: that end
//    was chosen to stay under the stem's end.
//  - A bend replaces the curve by the bend mark between the note and its partner in the next
//    chord.
#include "graphics/drawtie.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "graphics/GE.h"
#include "graphics/glyph_tables.h"
#include "layout/layout_services.h"
#include "params/param_services.h"

namespace {

constexpr int TIE_CURVE = 4, SLUR_CURVE = 5, VAR_BEND = 71, VAR_BEND_RANGE = 74;
constexpr int GUITAR_TABLATURE = 1, NO_HEADS = 2;
constexpr int32_t UNSET = SLUR_Y_UNSET;

int32_t raw_integer(int pindex, Drosa node) {
  return param_value(pindex, node, nullptr)->integer();
}

int32_t nearest(double v) { return int32_t(std::lround(v)); }

// A curve shorter than the shortest curve grows at both ends alike.
void widen_to_shortest(int32_t* x1, int32_t* x2, Drosa node) {
  const int32_t shortest = param_length(P_SHORTEST_TIE_OR_SLUR_SYMBOL, node);
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
  return {raw_integer(P_1_IF_DASHED_TIES_AND_SLURS_HAVE_THICKER_CENTER_ELSE_0, node) ? 1 : 0,
          raw_integer(P_DASH_LENGTH_IN_DASHED_TIES_AND_SLURS, node),
          raw_integer(P_LENGTH_OF_GAP_BETWEEN_DASHES_IN_DASHED_SLURS, node)};
}

// ---- The ends of a slur ---------------------------------------------------------------------

struct SlurEnds {
  int32_t x1, y1, x2, y2;
  bool start_beside, end_beside;  // the end took its height beside the stem
};

// Each end over its chord (y) or, with an extent, beside its stem (y + extent): the closest
// pair wins. Over both chords wins when it is closest, or when both ends could stand beside
// stems and the slur is not a grace slur; a crawling slur starts beside its stem and a
// shortened end ends beside it, when they have one.
void choose_end_heights(SlurEnds* s, int32_t start_extent, int32_t end_extent, bool crawl,
                        bool shorten, bool grace) {
  struct Pick {
    bool start, end;
  };
  const int32_t ys[2] = {s->y1, s->y1 + start_extent}, ye[2] = {s->y2, s->y2 + end_extent};
  const bool start_has = start_extent != 0, end_has = end_extent != 0;
  const bool start_only_beside = crawl && start_has, end_only_beside = shorten && end_has;
  Pick best{start_only_beside, end_only_beside};
  int64_t best_distance = std::llabs(int64_t(ys[best.start]) - ye[best.end]);
  for (int a = 0; a < 2; ++a)
    for (int b = 0; b < 2; ++b) {
      if ((a && !start_has) || (b && !end_has)) continue;
      if ((start_only_beside && !a) || (end_only_beside && !b)) continue;
      const int64_t distance = std::llabs(int64_t(ys[a]) - ye[b]);
      if (distance < best_distance) {
        best = {a == 1, b == 1};
        best_distance = distance;
      }
    }
  if (!crawl && !shorten && start_has && end_has && !grace) best = {false, false};
  s->start_beside = best.start;
  s->end_beside = best.end;
  s->y1 = ys[best.start];
  s->y2 = ye[best.end];
}

// A slope steeper than parameter 228 is eased by moving the end on the far side from the bow:
// the lower end up for a slur above, the higher end down for one below.
void limit_slope(SlurEnds* s, int d, Drosa owner) {
  const double limit = param_float_value(P_MAXIMUM_SLOPE_FOR_SLURS, owner);
  const double dx = double(s->x2) - s->x1, dy = double(s->y2) - s->y1;
  if (dx <= 0 || !(limit >= 0) || std::fabs(dy) / dx <= limit) return;
  const int32_t rise = nearest(limit * dx);
  const bool start_lower = s->y1 < s->y2;
  if (d == 2) {
    if (start_lower)
      s->y1 = s->y2 - rise;
    else
      s->y2 = s->y1 - rise;
  } else {
    if (start_lower)
      s->y2 = s->y1 + rise;
    else
      s->y1 = s->y2 + rise;
  }
}

// ---- Clearance --------------------------------------------------------------------------------

// The height of the polygon start, c1, c2, end at x (x within the ends).
int32_t polygon_y_at(int32_t x, const int32_t px[4], const int32_t py[4]) {
  for (int i = 0; i < 3; ++i) {
    const int32_t a = px[i], b = px[i + 1];
    if (x < std::min(a, b) || x > std::max(a, b)) continue;
    if (a == b) return std::max(py[i], py[i + 1]);
    return nearest(py[i] + double(py[i + 1] - py[i]) * (double(x) - a) / (double(b) - a));
  }
  return x < px[0] ? py[0] : py[3];
}

// Whether the slur crawls at a chord: its own flag, or the crawl flag of the chord's note (or
// of its TSMOD's other slur) that applies to the slur's grace kind.
bool crawls_at(Drosa note, bool entry_crawl, int grace) {
  if (entry_crawl) return true;
  Drosa tsmod = attached_to_note(TSMOD, note);
  const int own = (note->get(xgrace) ? 1 : 0) ^ (tsmod && tsmod->get(xa_altslursize) ? 1 : 0);
  if (own == grace && note->get(xcrawlslur)) return true;
  return tsmod && own != grace && tsmod->get(xa_crawlslur);
}

// The chord's heads at their outermost on side d (with the head height above).
int32_t head_extreme(Drosa last, int d) {
  int32_t y = d == 2 ? EXTENT_HIGH_START : EXTENT_LOW_START;
  for (Drosa n : staff_chord_notes(chord_first_note(last))) {
    const int32_t head = note_ntdata(n)->get(xhdy);
    y = d == 2 ? std::max(y, head + param_length(P_NOTE_HEAD_HEIGHT, n)) : std::min(y, head);
  }
  return y;
}

struct Clearance {
  const SlurEntry* e;
  int d, grace;
  bool flip, from_previous_system, end_beside;
  Drosa end_chord;
};

// How far the slur must move outward so that its flattened control polygon keeps parameter
// 222 from every chord under it; 0 when it clears them all, or when a chord lacks its record.
int32_t slur_lift(const Clearance& c, const SlurEnds& s) {
  Drosa owner = c.e->first_note;
  int32_t px[4] = {s.x1, 0, 0, s.x2}, py[4] = {s.y1, 0, 0, s.y2};
  curve_geometry(s.x1, s.y1, s.x2, s.y2, owner, c.d, 1, &px[1], &py[1], &px[2], &py[2]);
  const int32_t clear = param_length(P_SPACE_LEFT_BETWEEN_SLUR_END_AND_NOTEHEAD, owner);
  int32_t lift = 0;
  auto consider = [&](int32_t x, int32_t obstacle) {
    if (x < s.x1 || x > s.x2) return;
    if (obstacle == EXTENT_HIGH_START || obstacle == EXTENT_LOW_START) return;
    const int32_t poly = polygon_y_at(x, px, py);
    const int64_t excess = (c.d == 2 ? int64_t(obstacle) - poly : int64_t(poly) - obstacle) + clear;
    lift = int32_t(std::clamp<int64_t>(std::max<int64_t>(lift, excess), 0, 1000000));
  };
  Drosa chord =
      c.from_previous_system ? chord_first_note(owner) : chain_next(chord_last_note(owner));
  for (; note_ntdata(chord); chord = chain_next(chord_last_note(chord))) {
    Drosa last = chord_last_note(chord);
    Drosa cd = cddatptr(last, 1);
    if (!cd) {
      REPORT_ERROR(4, "cddata logic error in drawtie.c");
      return 0;
    }
    const bool is_end = cd == c.end_chord && !c.e->end_note;
    if (!(is_end && c.end_beside)) {
      int32_t obstacle;
      if (crawls_at(last, c.e->crawl, c.grace))
        obstacle = head_extreme(last, c.d);
      else if (c.flip)
        obstacle = c.d == 2 ? cd->get(xdownhiy) : cd->get(xuploy);
      else
        obstacle = c.d == 2 ? std::max(cd->get(xuphiy), cd->get(xdownhiy))
                            : std::min(cd->get(xuploy), cd->get(xdownloy));
      consider(note_ntdata(last)->get(xhdx), obstacle);
    }
    consider(cd->get(xprex), cd->get(c.d == 2 ? xprehiy : xpreloy));
    if (is_end) break;
  }
  // A slur ending on another staff's chain (its voice went there) clears that chain's chords
  // under it too, back from its end.
  for (Drosa n = c.e->end_note ? chain_prev(chord_first_note(c.e->end_note)) : NIL;
       note_ntdata(n) && note_ntdata(n)->get(xhdx) >= s.x1; n = chain_prev(chord_first_note(n)))
    if (Drosa cd = cddatptr(n, 1))
      consider(note_ntdata(n)->get(xhdx), c.d == 2 ? std::max(cd->get(xuphiy), cd->get(xdownhiy))
                                                   : std::min(cd->get(xuploy), cd->get(xdownloy)));
  return lift;
}

// ---- Bends ----------------------------------------------------------------------------------

// The range label of a bend of n semitones.
void bend_range_text(int n, char* text, size_t size) {
  if (n == 0)
    text[0] = 0;
  else if (n == 1)
    std::snprintf(text, size, "1/2");
  else if (n == 2)
    std::snprintf(text, size, "Full");
  else if (n % 2 == 0)
    std::snprintf(text, size, "%d", n / 2);
  else
    std::snprintf(text, size, "%d 1/2", n / 2);
}

// The line from (x1, y1) to (x2, y2): the sine and cosine of its angle (straight up when the
// ends share an x) and its length, cut to whole units. Curves and bends are built along it.
struct Slant {
  double s, c, length;
};
Slant slant(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  const double dx = double(x2) - x1, dy = double(y2) - y1;
  double s = 1, c = 0;
  if (dx != 0) {
    const double a = std::atan(dy / dx);
    s = std::sin(a);
    c = std::cos(a);
  }
  const double length = std::trunc(std::sqrt(dx * dx + dy * dy));
  return {s, c, length};
}

// A note alone in its staff chord: it and the note before it both end their chords.
bool alone_in_chord(Drosa note) {
  Drosa prev = chain_prev(note);
  return note_ntdata(note)->get(xendscd) && (!note_ntdata(prev) || note_ntdata(prev)->get(xendscd));
}

}  // namespace

// ---- Curves -------------------------------------------------------------------------------

void curve_geometry(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Drosa node, int side, int flat,
                    int32_t* c1x, int32_t* c1y, int32_t* c2x, int32_t* c2y) {
  const auto [s, c, length] = slant(x1, y1, x2, y2);
  const double l1 = param_length(P_FIRST_SLUR_LENGTH, node),
               l2 = param_length(P_SECOND_SLUR_LENGTH, node);
  const double xa = param_length(P_SLUR_CONTROL_POINT_X_OFFSET_AT_FIRST_SLUR_LENGTH, node),
               xb = param_length(P_SLUR_CONTROL_POINT_X_OFFSET_AT_SECOND_SLUR_LENGTH, node);
  const double ya = param_length(P_SLUR_CONTROL_POINT_Y_OFFSET_AT_FIRST_SLUR_LENGTH, node),
               yb = param_length(P_SLUR_CONTROL_POINT_Y_OFFSET_AT_SECOND_SLUR_LENGTH, node);
  double xo, yo;
  if (length > l2) {
    xo = xb;
    yo = yb;
  } else if (length > l1 && l2 > l1) {
    xo = xa + (length - l1) * (xb - xa) / (l2 - l1);
    yo = ya + (length - l1) * (yb - ya) / (l2 - l1);
  } else {
    // A first length of 0 (set so by the user) leaves the offsets as they are.
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

int32_t drawtie(int32_t x_end, int32_t y_end, int32_t end_extent, int shorten_end, int direction,
                int grace, int pstaff, int layer, Drosa end_chord) {
  if (pstaff < 0 || pstaff >= MAX_PSTAVES || layer < 0 || layer >= LAYERS ||
      (direction != 1 && direction != 2) ||
      !slur_buffer[pstaff][layer][direction - 1][grace ? 1 : 0].first_note) {
    REPORT_ERROR(4, "NIL slurptr->head in drawtie.c!");
    return y_end;
  }
  SlurEntry& entry = slur_buffer[pstaff][layer][direction - 1][grace ? 1 : 0];
  const SlurEntry e = entry;
  entry = SlurEntry{};
  Drosa owner = chord_last_note(e.first_note);
  if (!owner) owner = e.first_note;
  const int d = e.flip ? 3 - direction : direction;
  const int start_pstaff = e.pstaff, end_pstaff = e.end_pstaff >= 0 ? e.end_pstaff : e.pstaff;
  SlurEnds s{std::max(0, e.start_x), e.start_y, x_end, y_end, false, false};
  int32_t start_extent = e.extent;
  const bool from_previous_system = s.y1 == UNSET;
  bool continuing = false;
  if (from_previous_system) {
    // From the previous system: it starts after the signs at this one's left edge, at the
    // end's height.
    s.x1 = onto_system_x(start_pstaff);
    s.y1 = s.y2;
    start_extent = end_extent;
    if (s.y2 == UNSET) {
      const int32_t line = staff_data[start_pstaff].staff_size;
      s.y1 = s.y2 =
          d == 2 ? staff_top_y(start_pstaff, 0) + line : staff_bottom_y(start_pstaff, 0) - line;
      start_extent = end_extent = 0;
      continuing = true;
    }
  } else if (s.y2 == UNSET) {
    s.y2 = s.y1;  // off the system's end with the start's heights
    end_extent = start_extent;
  }
  choose_end_heights(&s, start_extent, end_extent, e.crawl, shorten_end, grace);
  if (s.start_beside)
    s.x1 += param_length(P_AMOUNT_TO_SHORTEN_SLUR_WHEN_IT_ENDS_BESIDE_STEM, owner);
  if (s.end_beside) s.x2 -= param_length(P_AMOUNT_TO_SHORTEN_SLUR_WHEN_IT_ENDS_BESIDE_STEM, owner);
  if (s.x2 <= s.x1) return y_end;
  limit_slope(&s, d, owner);
  // A curve from the previous system grows to the right only: its start stays off the signs.
  const int32_t earliest = from_previous_system ? s.x1 : INT32_MIN;
  widen_to_shortest(&s.x1, &s.x2, owner);
  s.x1 = std::max(s.x1, earliest);

  const Clearance c{&e,           d,        grace ? 1 : 0, e.flip != 0, from_previous_system,
                    s.end_beside, end_chord};
  int32_t lift = slur_lift(c, s);
  if (raw_integer(P_START_LONG_RAISED_SLURS_CLOSER_TO_FIRST_NOTE, owner) &&
      s.x2 - s.x1 >= param_length(P_MINIMUM_SLUR_LENGTH_FOR_APPLYING_NEXT_PARAMETER_BELOW, owner) &&
      lift >= 10 && s.y1 != s.y2) {
    // A long slur lifted well clear starts or ends lower at its lower end (higher end for a
    // slur below), closer to its note, and is measured again.
    int32_t& inner = (d == 2) == (s.y1 < s.y2) ? s.y1 : s.y2;
    const int32_t other = &inner == &s.y1 ? s.y2 : s.y1;
    inner = d == 2 ? std::min(inner + lift, other) : std::max(inner - lift, other);
    lift = slur_lift(c, s);
  }
  if (lift > 0) {
    s.y1 += d == 2 ? lift : -lift;
    s.y2 += d == 2 ? lift : -lift;
    if (lift > 10) {
      const int32_t shorten = param_length(P_AMOUNT_TO_SHORTEN_EACH_END_OF_RAISED_SLUR, owner);
      s.x1 += shorten;
      s.x2 -= shorten;
      widen_to_shortest(&s.x1, &s.x2, owner);
      s.x1 = std::max(s.x1, earliest);
    }
  }
  if (continuing) s.y1 = s.y2 = d == 2 ? std::max(s.y1, s.y2) : std::min(s.y1, s.y2);
  const CurveStyle style = curve_style(e.dashed, owner);
  if (e.bend) {
    draw_bend(e.first_note, count_earlier_in_chord(e.first_note, xbendtie), d, s.x1, s.y1, s.x2,
              s.y2, style.dash, style.gap, start_pstaff);
    return s.y2;
  }
  int32_t c1x, c1y, c2x, c2y;
  curve_geometry(s.x1, s.y1, s.x2, s.y2, owner, d, 0, &c1x, &c1y, &c2x, &c2y);
  GEcurve(0, s.x1, s.y1, start_pstaff, c1x, c1y, start_pstaff, c2x, c2y, end_pstaff, s.x2, s.y2,
          end_pstaff, style.fill, style.dash, style.gap, 0, SLUR_CURVE, owner);
  return s.y2;
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
          set_node_byte(e.first_note, 46, uint8_t(node_byte(e.first_note, 46) | d));
          if (staff_data[p].staff_type == 0)
            set_staff_slur_flags(e.voice, d, e.dashed, e.crawl, e.bend);
          e.end_pstaff = e.pstaff;
          drawtie(x_end, UNSET, 0, 0, d, g, p, layer, NIL);
        }
}

void draw_bendtie(int32_t x1, int32_t y, int32_t x2, Drosa note, Drosa chord, int bend, int dashed,
                  int side, int pstaff) {
  Drosa owner = note;
  if (!owner && pstaff >= 0 && pstaff < MAX_PSTAVES && staff_data[pstaff].ppnt[0])
    owner = chain_next(staff_data[pstaff].ppnt[0]);
  if (!owner) return;
  x2 -= param_length(P_SPACE_LEFT_BETWEEN_TIE_END_AND_NOTE_HEAD, owner);
  // A tie that goes on into the next system (no end chord) grows to the left only, one that
  // comes from the previous system (no note) to the right only: each stays within its system.
  const int32_t earliest = x1, latest = x2;
  widen_to_shortest(&x1, &x2, owner);
  if (!chord && x2 > latest) x1 -= x2 - latest, x2 = latest;
  if (!note && x1 < earliest) x2 += earliest - x1, x1 = earliest;
  int32_t c1x, c1y, c2x, c2y;
  if (chord) {
    // The tie's height is kept before the chord, its end beside the note's stem side.
    curve_geometry(x1, y, x2, y, owner, side, 1, &c1x, &c1y, &c2x, &c2y);
    Drosa nt = note_ntdata(owner);
    const int stem = nt ? nt->get(xstmdir) : 1;
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
  if (bend) {
    Drosa partner = count_earlier_in_chord(owner, xbendtie);
    const int32_t half = param_length(P_NOTE_HEAD_HEIGHT, owner) / 2;
    const int32_t y1 = note_ntdata(owner) ? note_ntdata(owner)->get(xhdy) + half : y;
    const int32_t y2 = note_ntdata(partner) ? note_ntdata(partner)->get(xhdy) + half : y1;
    draw_bend(owner, partner, side, x1, y1, x2, y2, style.dash, style.gap, pstaff);
    return;
  }
  curve_geometry(x1, y, x2, y, owner, side, 0, &c1x, &c1y, &c2x, &c2y);
  GEcurve(0, x1, y, pstaff, c1x, c1y, pstaff, c2x, c2y, pstaff, x2, y, pstaff, style.fill,
          style.dash, style.gap, 0, TIE_CURVE, owner);
}

void draw_bend(Drosa note1, Drosa note2, int side, int32_t x1, int32_t y1, int32_t x2, int32_t y2,
               int dash, int gap, int pstaff) {
  Drosa nt1 = note_ntdata(note1);
  if (!nt1) return;
  const int kind = nt1->get(xtabtyp);
  if ((kind == GUITAR_TABLATURE || kind == NO_HEADS) && (!note2 || is_visible_note(note2))) {
    const bool down = note2 && note2->get(xpitch) < note1->get(xpitch);
    GEcharacter(0, nt1->get(xhdx), nt1->get(xhdy), pstaff,
                down ? P_SYMBOL_FOR_BEND_TO_LOWER_PITCH_ON_TABLATURE_STAFF
                     : P_SYMBOL_FOR_BEND_TO_HIGHER_PITCH_ON_TABLATURE_STAFF,
                0, VAR_BEND, note1, 0);
    if (!note2 || !alone_in_chord(note1)) return;
    char text[16];
    bend_range_text(std::abs(int(note2->get(xpitch)) - int(note1->get(xpitch))) / 256, text,
                    sizeof text);
    if (!text[0]) return;
    ParamValue font;
    scaled_char_param(&font, P_FONT_AND_X_Y_OFFSET_FOR_BEND_RANGE_ON_TABLATURE_STAFF, note1,
                      nullptr);
    const int32_t width = param_string_width(font, text);
    GEstring(0, nt1->get(xhdx) + font.x() - width, staff_top_y(pstaff, 0) + font.y(), 0, 0, pstaff,
             font_from_code(font.font()), font.bytes[2], font.size(), font.style(), 0, text, 0,
             VAR_BEND_RANGE, note1, NIL);
    return;
  }
  const auto [s, c, length] = slant(x1, y1, x2, y2);
  const double height = side == 1 ? -param_length(P_HEIGHT_OF_TIE_WITH_PITCH_BEND_MARKS, note1)
                                  : param_length(P_HEIGHT_OF_TIE_WITH_PITCH_BEND_MARKS, note1);
  const int32_t ax = nearest(x1 + c * length / 2 - s * height);
  const int32_t ay = nearest(y1 + s * length / 2 + c * height);
  const int width = param_length(P_WIDTH_FOR_LINES_IN_TIE_WITH_PITCH_BEND_MARKS, note1);
  GEline(0, x1, y1, pstaff, 0, ax, ay, pstaff, 0, width, dash, gap, 0, 0, 0, 0, 0, VAR_BEND, note1);
  GEline(0, ax, ay, pstaff, 0, x2, y2, pstaff, 0, width, dash, gap, 0, 0, 0, 0, 0, VAR_BEND, note1);
}
