// anno_shapes.cpp: the shapes a line annotation may take, and texts of several lines, made of
// plain elements.
//
// Every part of a shape, and every piece of a text line, is a temporary copy of its annotation
// with a PDATA of its own, given its ends and emitted by place_LINE, which frees it. The copies
// are linked to nothing: no walk of a voice list ever meets them.
//
// Design notes:
//  - Page units, y upward. A hairpin's stored line is its upper leg: its lower end is the
//    closed end, about whose horizontal the other leg is mirrored.
//  - Hooks of brackets turn toward the note the line is attached to.
//  - The parts that make up the line itself (legs, bracket lines, the horizontal sides of a
//    rectangle) keep the line's clip box, so that a segment clipped at the end of its system
//    shows only up to there; hooks and vertical sides are never clipped.
#include "annotations/anno_shapes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "annotations/anno_codes.h"
#include "annotations/anno_fields.h"
#include "annotations/anno_refloc.h"
#include "annotations/anno_runs.h"
#include "annotations/anno_services.h"
#include "annotations/drawtext.h"
#include "annotations/hidden_text.h"
#include "annotations/line_annos.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"

namespace {

constexpr int EMIT = -2;
constexpr int MOST_STACKED = 10;
constexpr uint8_t PAD_LINE = 0xCA;

int32_t clamp_i32(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

Drosa pdata_of(Drosa head) {
  Drosa p = head ? head->xnext : NIL;
  return p && p->xkind == PDATA ? p : NIL;
}

struct Box {
  int64_t x1, y1, x2, y2;
};

// The line's two ends as its PDATA holds them: the page's in emission, else the screen's.
bool line_ends(Drosa line, int mode, AnnoPoint* a, AnnoPoint* b) {
  Drosa pd = pdata_of(line);
  if (!pd) return false;
  if (mode == EMIT) {
    *a = {pd->get(xpagex1), pd->get(xpagey1)};
    *b = {pd->get(xpagex2), pd->get(xpagey2)};
  } else {
    *a = {pd->get(xscrx1), pd->get(xscry1)};
    *b = {pd->get(xscrx2), pd->get(xscry2)};
  }
  return a->x != NOT_DRAWN && b->x != NOT_DRAWN;
}

// The line's clip box on the page.
Box clip_box(Drosa line, AnnoPoint start) {
  return {int64_t(start.x) + line->get(xc1x), int64_t(start.y) + line->get(xc1y),
          int64_t(start.x) + line->get(xc2x), int64_t(start.y) + line->get(xc2y)};
}

// The line width less the join of two lines: 5, or 6 above zoom 5; never below 0.
int32_t join_width(int width) { return std::max(0, width - (zoom_factor > 5.0 ? 6 : 5)); }

// Which of its ends a segment shows: its start on a line of one system or a BEGLINE, its end
// where it ends on this system.
bool shows_start(Drosa line) {
  const int role = line->get(xline_ord);
  return role == LINE_WHOLE || role == LINE_BEGIN;
}
bool shows_end(Drosa line) {
  const int role = line->get(xline_ord);
  if (role == LINE_WHOLE || role == LINE_END) return true;
  if (role != LINE_BEGIN) return false;
  Drosa partner = NIL;
  int same = 1;
  line_geometry(line, &partner, &same);
  return partner && same;
}

// A part of a shape: a copy of the line, at least the context's minimum width, drawn as a
// plain line, from a to b; with a clip box given it keeps it, else the ends widened by 280.
void emit_part(Drosa line, Drosa note, int pstaff, int mode, AnnoPoint a, AnnoPoint b, int var,
               const Box* clip) {
  Drosa part = copyDrosa(line);
  part->set(xlinewidth,
            uint8_t(std::clamp<int32_t>(
                std::max<int32_t>(line->get(xlinewidth), current_min_line_width()), 0, 255)));
  part->set(xmetaline, STYLE_PLAIN_LINE);
  part->set(xcurve, 0);
  link_after(newDrosa(PDATA, 0), part);
  line_end_geometry(part, note, a, b, 0, 0, clip ? 0 : 1);
  if (clip) {
    Drosa pd = part->xnext;
    const int64_t x = pd->get(xpagex1), y = pd->get(xpagey1);
    part->set(xc1x, clamp_i32(clip->x1 - x));
    part->set(xc1y, clamp_i32(clip->y1 - y));
    part->set(xc2x, clamp_i32(clip->x2 - x));
    part->set(xc2y, clamp_i32(clip->y2 - y));
  }
  place_LINE(part, note, var, mode, pstaff);
}

int32_t head_y(Drosa note) {
  Drosa nt = note_ntdata(note);
  return nt ? nt->get(xhdy) : 0;
}

// The direction of a hook at an end: toward the note (up when the note stands above).
int toward_note(Drosa note, AnnoPoint end) { return head_y(note) > end.y ? 1 : -1; }

// The y of the line from a to b at x.
int32_t y_at(AnnoPoint a, AnnoPoint b, int64_t x) {
  if (a.x == b.x) return a.y;
  return clamp_i32(a.y + (int64_t(b.y) - a.y) * (x - a.x) / (int64_t(b.x) - a.x));
}

// ---- Hairpins ---------------------------------------------------------------------------------

void draw_hairpin(Drosa line, Drosa note, int mode, int pstaff, AnnoPoint a, AnnoPoint b) {
  if (a.x == b.x && a.y == b.y) return;
  const Box clip = clip_box(line, a);
  emit_part(line, note, pstaff, mode, a, b, GANNO_BOTH, &clip);
  // The lower leg, mirrored about the horizontal through the closed (lower) end.
  const int64_t closed = std::min(a.y, b.y);
  const AnnoPoint ma{a.x, clamp_i32(2 * closed - a.y)}, mb{b.x, clamp_i32(2 * closed - b.y)};
  const Box mirrored{clip.x1, 2 * closed - clip.y2, clip.x2, 2 * closed - clip.y1};
  emit_part(line, note, pstaff, mode, ma, mb, GANNO_BOTH, &mirrored);
}

// ---- Tuplet brackets --------------------------------------------------------------------------

// A text in the tuplet number's font at the note, as a temporary annotation with its PDATA.
Drosa tuplet_number_text(Drosa note, const std::string& digits) {
  const ParamValue style = *param_value(P_FONT_INFORMATION_FOR_TUPLET_NUMBERS, note, nullptr);
  Drosa t = newDrosa(TPARAM, 0);
  t->set(xtextfont, style.font());
  t->set(xcharset, style.bytes[2]);
  t->set(xtextsize, style.size());
  t->set(xtextface, style.style());
  link_after(newDrosa(PDATA, 0), t);
  Drosa text = newDrosa(TEXT, 0);
  text->set(xtext, digits.c_str());
  link_after(text, t->xnext);
  return t;
}

void draw_tuplet_bracket(Drosa line, Drosa note, int mode, int pstaff, AnnoPoint a, AnnoPoint b) {
  if (a.x == b.x) return;
  const Box clip = clip_box(line, a);
  if (b.x < a.x) std::swap(a, b);
  const int32_t number_width =
      param_length(P_SPACE_GIVEN_FOR_WIDTH_OF_TUPLET_NUMBER, note, nullptr);
  const int32_t gap_side =
      param_length(P_DISTANCE_BETWEEN_EITHER_SIDE_OF_TUPLET_NUMBER_AND_BRACKET, note, nullptr);
  if (line->get(xendx) < int64_t(number_width) + 2 * gap_side) return;
  const int32_t hook =
      param_length(P_LENGTH_OF_SMALL_VERTICAL_LINES_AT_ENDS_OF_TUPLET_BRACKETS, note, nullptr);
  if (shows_start(line))
    emit_part(line, note, pstaff, mode, a,
              {a.x, clamp_i32(a.y + int64_t(toward_note(note, a)) * hook)}, GANNO_BOTH, nullptr);
  if (shows_end(line))
    emit_part(line, note, pstaff, mode, b,
              {b.x, clamp_i32(b.y + int64_t(toward_note(note, b)) * hook)}, GANNO_BOTH, nullptr);
  // The number of the note's tuplet in the middle of a bracket of one system, in a gap.
  const int tuplet = note->get(xtupl);
  if (line->get(xline_ord) != LINE_WHOLE || tuplet <= 1) {
    emit_part(line, note, pstaff, mode, a, b, GANNO_BOTH, &clip);
    return;
  }
  Drosa number = tuplet_number_text(note, std::to_string(tuplet));
  const int32_t width = measure_anno_text(note, number, nullptr);
  const int64_t middle = (int64_t(a.x) + b.x) / 2;
  const int64_t half_gap = (std::max(width, number_width) + 2 * int64_t(gap_side)) / 2;
  emit_part(line, note, pstaff, mode, a,
            {clamp_i32(middle - half_gap), y_at(a, b, middle - half_gap)}, GANNO_BOTH, &clip);
  emit_part(line, note, pstaff, mode, {clamp_i32(middle + half_gap), y_at(a, b, middle + half_gap)},
            b, GANNO_BOTH, &clip);
  Drosa pd = number->xnext;
  const int32_t x = clamp_i32(middle - width / 2);
  const int32_t y =
      clamp_i32(y_at(a, b, middle) -
                param_length(P_SPACE_GIVEN_FOR_HEIGHT_OF_TUPLET_NUMBER, note, nullptr) / 2);
  for (const auto* f : {&xpagex1, &xscrx1}) pd->set(*f, x);
  for (const auto* f : {&xpagey1, &xscry1, &xpagey2, &xscry2}) pd->set(*f, y);
  for (const auto* f : {&xpagex2, &xscrx2}) pd->set(*f, clamp_i32(int64_t(x) + width));
  number->set(xtext_color, line->get(xline_color));
  number->set(xtext_drawmode, line->get(xline_drawmode));
  place_LINE(number, note, GANNO_BOTH, mode, pstaff);
}

// ---- Trill lines ------------------------------------------------------------------------------

// A trill line's wiggles stand a sixth of one's width after the "tr"; a run holds at most this
// many (a text's limit).
constexpr int WIGGLE_GAP_PART = 6, MOST_WIGGLES_A_RUN = 200;

// `count` trill wiggles from (x, y), their base line, as a temporary text with its PDATA: of
// the size of the "tr" they go on from, else of the parameter's.
Drosa wiggles(Drosa line, Drosa sign, Drosa note, int count, int32_t x, int32_t y) {
  const ParamValue v = *param_value(P_TRILL_EXTENSION_SEGMENT, note, nullptr);
  Drosa t = newDrosa(TPARAM, 0);
  t->set(xtextfont, v.font());
  t->set(xcharset, v.bytes[2]);
  t->set(xtextsize, sign ? sign->get(xtextsize) : v.size());
  t->set(xtextface, v.style());
  if (sign) {
    t->set(xtext_stsize, sign->get(xtext_stsize));
    t->set(xno_size_adjust, sign->get(xno_size_adjust));
  }
  t->set(xtext_color, line->get(xline_color));
  t->set(xtext_drawmode, line->get(xline_drawmode));
  Drosa pd = newDrosa(PDATA, 0);
  link_after(pd, t);
  for (const auto* f : {&xpagex1, &xscrx1, &xpagex2, &xscrx2}) pd->set(*f, x);
  for (const auto* f : {&xpagey1, &xscry1, &xpagey2, &xscry2}) pd->set(*f, y);
  const std::string glyphs(size_t(std::min(count, TEXT_NODE_CHARS)), char(v.character()));
  for (int left = count; left > 0; left -= TEXT_NODE_CHARS) {
    Drosa text = newDrosa(TEXT, 0);
    text->set(xtext, glyphs.substr(0, size_t(std::min(left, TEXT_NODE_CHARS))).c_str());
    link_after(text, pd);
  }
  return t;
}

// The wiggles that fit between the line's ends, within its clip box (one at least where half of
// one fits): on its first segment from just after the "tr" drawn at its note, at that
// sign's base line.
void draw_trill_line(Drosa line, Drosa note, int mode, int pstaff, AnnoPoint a, AnnoPoint b) {
  const Box clip = clip_box(line, a);
  if (b.x < a.x) std::swap(a, b);
  Drosa sign = trill_sign_drawn(line, note, pstaff);
  Drosa one = wiggles(line, sign, note, 1, 0, 0);
  const int64_t width = measure_anno_text(note, one, nullptr);
  destroy_Drosa_list(one);
  if (width <= 0) return;
  int64_t from = std::max<int64_t>(a.x, clip.x1), y = a.y;
  const int64_t to = std::min<int64_t>(b.x, clip.x2);
  if (sign) {
    Drosa pd = pdata_of(sign);
    from = pd->get(xpagex2) + width / WIGGLE_GAP_PART;
    y = pd->get(xpagey1);
  }
  int64_t count = (to - from) / width;
  if (count == 0 && to - from >= width / 2) count = 1;
  while (count > 0) {
    const int run = int(std::min<int64_t>(count, MOST_WIGGLES_A_RUN));
    place_LINE(wiggles(line, sign, note, run, clamp_i32(from), clamp_i32(y)), note, GANNO_BOTH,
               mode, pstaff);
    from += run * width;
    count -= run;
  }
}

}  // namespace

// ---- Shapes -------------------------------------------------------------------------------------

void draw_anno_arrow(Drosa line, Drosa note, int mode, int pstaff, int mask, bool up) {
  AnnoPoint a, b;
  if (!line_ends(line, mode, &a, &b) || (a.x == b.x && a.y == b.y)) return;
  const Box clip = clip_box(line, a);
  const int32_t length =
      param_length(P_LENGTH_OF_SMALL_VERTICAL_LINES_AT_ENDS_OF_TUPLET_BRACKETS, note, nullptr);
  const int32_t join =
      join_width(std::max<int32_t>(line->get(xlinewidth), current_min_line_width()));
  const double sine = std::fabs(std::sin(std::atan2(double(b.y) - a.y, double(b.x) - a.x)));
  auto hook = [&](AnnoPoint end, AnnoPoint other, int var) {
    const int direction = up ? 1 : toward_note(note, end);
    int64_t reach = length;
    if (direction > 0)
      reach += join;
    else if (end.y > other.y)
      reach = std::max<int64_t>(0, reach - int64_t(std::lround(join * sine)));
    emit_part(line, note, pstaff, mode, end, {end.x, clamp_i32(end.y + direction * reach)}, var,
              nullptr);
  };
  if ((mask & 2) && shows_start(line)) hook(a, b, VAR_BRACKET_START_HOOK);
  if ((mask & 1) && shows_end(line)) hook(b, a, VAR_BRACKET_END_HOOK);
  emit_part(line, note, pstaff, mode, a, b, VAR_BRACKET_LINE, &clip);
}

void draw_anno_shape(Drosa line, Drosa note, int mode, int pstaff, int vertical, int horizontal) {
  AnnoPoint a, b;
  if (!line_ends(line, mode, &a, &b) || (a.x == b.x && a.y == b.y)) return;
  const Box clip = clip_box(line, a);
  const int32_t x_min = std::min(a.x, b.x), x_max = std::max(a.x, b.x);
  const int32_t y_min = std::min(a.y, b.y), y_max = std::max(a.y, b.y);
  if ((vertical & 2) && shows_start(line))
    emit_part(line, note, pstaff, mode, {x_min, y_min}, {x_min, y_max}, VAR_RECT_X_MIN, nullptr);
  if ((vertical & 1) && shows_end(line))
    emit_part(line, note, pstaff, mode, {x_max, y_min}, {x_max, y_max}, VAR_RECT_X_MAX, nullptr);
  if (horizontal & 1) {
    const int32_t join =
        join_width(std::max<int32_t>(line->get(xlinewidth), current_min_line_width()));
    emit_part(line, note, pstaff, mode, {x_min, y_max}, {clamp_i32(int64_t(x_max) + join), y_max},
              VAR_RECT_Y_MAX, &clip);
  }
  if (horizontal & 2)
    emit_part(line, note, pstaff, mode, {x_min, y_min}, {x_max, y_min}, VAR_RECT_Y_MIN, &clip);
}

void draw_anno_graphic(Drosa line, Drosa note, int mode, int pstaff) {
  if (!line || line->xkind != LINE || !note) return;
  AnnoPoint a, b;
  if (!line_ends(line, mode, &a, &b)) return;
  switch (line->get(xmetaline)) {
    case STYLE_HAIRPIN:
      draw_hairpin(line, note, mode, pstaff, a, b);
      break;
    case STYLE_TUPLET_BRACKET:
      draw_tuplet_bracket(line, note, mode, pstaff, a, b);
      break;
    case STYLE_PLAIN_BRACKET:
      draw_anno_arrow(line, note, mode, pstaff, 3);
      break;
    case STYLE_RIGHT_BRACKET:
      draw_anno_arrow(line, note, mode, pstaff, 1);
      break;
    case STYLE_LEFT_BRACKET:
      draw_anno_arrow(line, note, mode, pstaff, 2);
      break;
    case STYLE_RECTANGLE:
      draw_anno_shape(line, note, mode, pstaff, 3, 3);
      break;
    case STYLE_RECTANGLE_LEFT:
      draw_anno_shape(line, note, mode, pstaff, 1, 3);
      break;
    case STYLE_RECTANGLE_RIGHT:
      draw_anno_shape(line, note, mode, pstaff, 2, 3);
      break;
    case STYLE_RECTANGLE_TOP:
      draw_anno_shape(line, note, mode, pstaff, 3, 2);
      break;
    case STYLE_RECTANGLE_BOTTOM:
      draw_anno_shape(line, note, mode, pstaff, 3, 1);
      break;
    case STYLE_TRILL_LINE:
      draw_trill_line(line, note, mode, pstaff, a, b);
      break;
    case STYLE_PEDAL_LINE:
      draw_anno_arrow(line, note, mode, pstaff, 3, true);
      break;
    default:  // a style of no known shape: its plain line
      emit_part(line, note, pstaff, mode, a, b, GANNO_BOTH, nullptr);
      break;
  }
}

Drosa trill_sign_drawn(Drosa line, Drosa note, int pstaff) {
  if (!line || line->xkind != LINE || line->get(xmetaline) != STYLE_TRILL_LINE ||
      !shows_start(line))
    return NIL;
  for (Drosa p = line->xback; p && p->xkind != NOTE && p->xkind != BAR && p->xkind != ENDSYST;
       p = p->xback) {
    if (p->xkind != TPARAM || p->get(xadjacent) || !anno_is_trill(note, p)) continue;
    Drosa pd = pdata_of(p);
    if (pd && pd->get(xpagex1) != NOT_DRAWN && pd->get(xy1pstaff) == pstaff) return p;
  }
  return NIL;
}

// ---- Parts ------------------------------------------------------------------------------------

void place_LINE(Drosa node, Drosa note, int var, int mode, int pstaff) {
  if (!node) return;
  Drosa pd = pdata_of(node);
  if (mode == EMIT && pd && pd->get(xpagex1) != NOT_DRAWN) {
    const int32_t x1 = pd->get(xpagex1), y1 = pd->get(xpagey1);
    if (node->xkind == LINE) {
      anno_line_element(node, note, pstaff, x1, y1, pd->get(xpagex2), pd->get(xpagey2),
                        int64_t(x1) + node->get(xc1x), int64_t(y1) + node->get(xc1y),
                        int64_t(x1) + node->get(xc2x), int64_t(y1) + node->get(xc2y), var);
    } else if (node->xkind == TPARAM) {
      const std::string text = anno_run_text(node);
      GEstring(node->get(xtext_drawmode), x1, y1, node->get(xexpand), node->get(xsuper), pstaff,
               font_from_code(node->get(xtextfont)), node->get(xcharset),
               note_text_offset(note, node, node), node->get(xtextface), node->get(xtext_color),
               text.c_str(), node->get(xpslayout), var, note, node);
    }
  }
  destroy_Drosa_list(node);
}

Drosa anno_line_element(Drosa line, Drosa note, int pstaff, int64_t x1, int64_t y1, int64_t x2,
                        int64_t y2, int64_t clip_x1, int64_t clip_y1, int64_t clip_x2,
                        int64_t clip_y2, int var) {
  if (clip_x2 < clip_x1) std::swap(clip_x1, clip_x2);
  if (clip_y2 < clip_y1) std::swap(clip_y1, clip_y2);
  // The part of the line inside the box, as the fractions t0..t1 of its way from one end.
  double t0 = 0, t1 = 1;
  const double dx = double(x2 - x1), dy = double(y2 - y1);
  auto keep = [&](double p, double q) {  // p t <= q
    if (p == 0) return q >= 0;
    const double t = q / p;
    if (p < 0) {
      if (t > t1) return false;
      t0 = std::max(t0, t);
    } else {
      if (t < t0) return false;
      t1 = std::min(t1, t);
    }
    return true;
  };
  if (!keep(-dx, double(x1 - clip_x1)) || !keep(dx, double(clip_x2 - x1)) ||
      !keep(-dy, double(y1 - clip_y1)) || !keep(dy, double(clip_y2 - y1)))
    return NIL;
  const int64_t ax = x1 + std::llround(t0 * dx), ay = y1 + std::llround(t0 * dy);
  const int64_t bx = x1 + std::llround(t1 * dx), by = y1 + std::llround(t1 * dy);
  return GEline(line->get(xline_drawmode), clamp_i32(ax), clamp_i32(ay), pstaff, 0, clamp_i32(bx),
                clamp_i32(by), pstaff, 0, line->get(xlinewidth), line->get(xdashlth),
                line->get(xgaplth), clamp_i32(clip_x1), clamp_i32(clip_y1), clamp_i32(clip_x2),
                clamp_i32(clip_y2), line->get(xline_color), var, note);
}

void line_end_geometry(Drosa line, Drosa note, AnnoPoint p1, AnnoPoint p2, int side, int offsets,
                       int control) {
  if (!line || line->xkind != LINE) return;
  if (p2.x < p1.x) std::swap(p1, p2);
  if (Drosa pd = pdata_of(line)) {
    pd->set(xpagex1, p1.x);
    pd->set(xpagey1, p1.y);
    pd->set(xpagex2, p2.x);
    pd->set(xpagey2, p2.y);
    pd->set(xscrx1, p1.x);
    pd->set(xscry1, p1.y);
    pd->set(xscrx2, p2.x);
    pd->set(xscry2, p2.y);
  }
  if (offsets && note) {
    int32_t rx = 0, ry = 0;
    anno_refloc(note, line, &rx, &ry, 0);
    line->set(xstartx, clamp_i32(int64_t(p1.x) - rx));
    line->set(xstarty, clamp_i32(int64_t(p1.y) - ry));
  }
  line->set(xendx, clamp_i32(int64_t(p2.x) - p1.x));
  line->set(xendy, clamp_i32(int64_t(p2.y) - p1.y));
  if (!control) return;
  if (line->get(xcurve)) {
    int32_t c1x = 0, c1y = 0, c2x = 0, c2y = 0;
    curve_geometry(p1.x, p1.y, p2.x, p2.y, note, side, 0, &c1x, &c1y, &c2x, &c2y);
    line->set(xc1x, clamp_i32(int64_t(c1x) - p1.x));
    line->set(xc1y, clamp_i32(int64_t(c1y) - p1.y));
    line->set(xc2x, clamp_i32(int64_t(c2x) - p1.x));
    line->set(xc2y, clamp_i32(int64_t(c2y) - p1.y));
    return;
  }
  VirtualRect box;
  expand_box_by_margin(p1.x, p1.y, p2.x, p2.y, &box);
  line->set(xc1x, clamp_i32(int64_t(box.x1) - p1.x));
  line->set(xc1y, clamp_i32(int64_t(box.y1) - p1.y));
  line->set(xc2x, clamp_i32(int64_t(box.x2) - p1.x));
  line->set(xc2y, clamp_i32(int64_t(box.y2) - p1.y));
}

// ---- Texts of several lines --------------------------------------------------------------------

namespace {

// A piece of a line of text: a copy of its style run carrying what drawing takes from the head,
// with a PDATA at (x, y) and its text in TEXT nodes.
Drosa text_piece(Drosa head, Drosa run, const std::string& text, int64_t x, int64_t y,
                 int32_t width) {
  Drosa piece = copyDrosa(run);
  for (const auto* f : {&xadjacent, &xfing, &xhidden, &xboxed}) piece->set(*f, 0);
  piece->set(xeocvar, 0);
  piece->set(xeocord, 0);
  piece->set(xtext_drawmode, head->get(xtext_drawmode));
  piece->set(xtext_color, head->get(xtext_color));
  piece->set(xpslayout, head->get(xpslayout));
  piece->set(xno_size_adjust, head->get(xno_size_adjust));
  piece->set(xtext_stsize, head->get(xtext_stsize));
  Drosa pd = newDrosa(PDATA, 0);
  link_after(pd, piece);
  for (const auto* f : {&xpagex1, &xscrx1}) pd->set(*f, clamp_i32(x));
  for (const auto* f : {&xpagex2, &xscrx2}) pd->set(*f, clamp_i32(x + width));
  for (const auto* f : {&xpagey1, &xpagey2, &xscry1, &xscry2}) pd->set(*f, clamp_i32(y));
  Drosa last = pd;
  for (size_t at = 0; at < text.size(); at += TEXT_NODE_CHARS) {
    Drosa chars = newDrosa(TEXT, run->xcontext);
    chars->set(xtext, text.substr(at, TEXT_NODE_CHARS).c_str());
    link_after(chars, last);
    last = chars;
  }
  return piece;
}

struct LineOfText {
  std::vector<Drosa> pieces;
  int32_t width = 0;
};

bool music_code(int font) { return font >= -3 && font <= -1; }

// The characters of a vertical text grouped into its lines: one character a line, but in a
// music font "(" holds the line for the next character, ")" stays on the line before, "-" and
// "/" join the characters on both sides, and 0xCA is a line of blank.
struct VerticalChar {
  Drosa run;
  char c;
};
std::vector<std::vector<VerticalChar>> vertical_lines(Drosa head) {
  std::vector<std::vector<VerticalChar>> lines;
  bool join_next = false;
  for (Drosa run = head; run; run = next_style_run(run)) {
    const bool music = music_code(run->get(xtextfont));
    for (char c : anno_run_text(run)) {
      if (c == '\n' || c == '\r') continue;
      const uint8_t u = uint8_t(c);
      if (music && u == PAD_LINE) {
        lines.push_back({});
        join_next = false;
        continue;
      }
      const bool joins_before = music && (c == ')' || c == '-' || c == '/');
      if ((joins_before || join_next) && !lines.empty())
        lines.back().push_back({run, c});
      else
        lines.push_back({{run, c}});
      join_next = music && (c == '(' || c == '-' || c == '/');
    }
  }
  if (lines.size() > size_t(MOST_STACKED)) lines.resize(MOST_STACKED);
  return lines;
}

}  // namespace

void justify_lines(const std::vector<Drosa>& lines, Drosa note, int mode, int pstaff,
                   int justification, int32_t width, int32_t line_width, int var) {
  const int64_t shift = justification == 0   ? 0
                        : justification == 2 ? int64_t(width) - line_width
                                             : (int64_t(width) - line_width) / 2;
  for (Drosa piece : lines) {
    Drosa pd = pdata_of(piece);
    for (const auto* f : {&xpagex1, &xpagex2, &xscrx1, &xscrx2})
      pd->set(*f, clamp_i32(pd->get(*f) + shift));
    place_LINE(piece, note, var, mode, pstaff);
  }
}

void layout_anno_text(Drosa tparam, Drosa note, int mode, int pstaff, int lines, int spacing) {
  Drosa pd = pdata_of(tparam);
  if (!pd || !note) return;
  const bool page = mode == EMIT;
  const int64_t left = page ? pd->get(xpagex1) : pd->get(xscrx1);
  const int64_t top = page ? pd->get(xpagey1) : pd->get(xscry1);
  const int64_t right = page ? pd->get(xpagex2) : pd->get(xscrx2);
  if (left == NOT_DRAWN || top == NOT_DRAWN) return;
  const int where = hidden_text_where(tparam, note);
  if (where == -1) return;
  const int var =
      where == GANNO_SCREEN_ONLY || where == GANNO_PRINT_ONLY ? where : VAR_TEXT_LINE_PIECE;
  const int32_t block = clamp_i32(right - left);
  const int justified = tparam->get(xjustified);
  const int32_t adjust =
      param_length(P_ADJUSTMENT_TO_VERTICAL_SPACING_BETWEEN_FINGERING_NUMBERS, note, nullptr);
  const int size = note_text_offset(note, tparam, tparam);
  const bool fingering = tparam->get(xfing);
  // A fingering above its note stands on its place (its last line there), else lines go down.
  const bool stands = fingering && !tparam->get(xfooter) && top > head_y(note);

  if (lines <= 0 && fingering) {
    const int64_t step = int64_t(spacing ? spacing : size * 10) + adjust;
    const auto stacked = vertical_lines(tparam);
    const int64_t first = stands ? top + step * (int64_t(stacked.size()) - 1) : top;
    for (size_t k = 0; k < stacked.size(); ++k) {
      LineOfText line;
      const int64_t y = first - step * int64_t(k);
      for (const VerticalChar& vc : stacked[k]) {
        const std::string one(1, vc.c);
        const int32_t w = anno_string_width(note, tparam, vc.run, one);
        line.pieces.push_back(text_piece(tparam, vc.run, one, left + line.width, y, w));
        line.width += w;
      }
      justify_lines(line.pieces, note, mode, pstaff, justified, block, line.width, var);
    }
    return;
  }

  const int64_t step = int64_t(spacing ? spacing : size * 10) + adjust;
  int feeds = 0;
  for (Drosa run = tparam; run; run = next_style_run(run))
    for (char c : anno_run_text(run)) feeds += c == '\n';
  int64_t index = stands ? -feeds : 0;
  LineOfText line;
  auto emit = [&] {
    justify_lines(line.pieces, note, mode, pstaff, justified, block, line.width, var);
    line = LineOfText{};
  };
  for (Drosa run = tparam; run; run = next_style_run(run)) {
    const std::string text = anno_run_text(run);
    size_t from = 0;
    for (size_t at = 0; at <= text.size(); ++at) {
      const bool end = at == text.size();
      if (!end && text[at] != '\n' && text[at] != '\r') continue;
      if (at > from) {
        const std::string piece = text.substr(from, at - from);
        const int32_t w = anno_string_width(note, tparam, run, piece);
        line.pieces.push_back(
            text_piece(tparam, run, piece, left + line.width, top - index * step, w));
        line.width += w;
      }
      if (end) break;
      emit();
      // A line feed goes on to the next line; a return starts the same line again.
      if (text[at] == '\n') ++index;
      from = at + 1;
    }
  }
  emit();
}
