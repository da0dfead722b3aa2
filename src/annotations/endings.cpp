// endings.cpp: the endings of a repeat ("1." and "2." over the measures played the first and
// the second time). An ending is two annotations before its first note: a text of the repeat
// class, its number, and right after it a plain bracket (a hook at each end) or, for an ending
// left open, a left bracket, begun there as a BEGLINE and ended by an ENDLINE before its last
// note. A bracket without such a number before its start is an ordinary line.
//
// Design notes:
//  - An ending is placed by the music under it, not by its stored offsets: from bar line to bar
//    line, over whatever is drawn there. The stored offsets stay; the page rectangle records
//    where it was drawn.
//  - It is drawn after every other mark of its system, so that it knows all that stands under
//    it; words, tempo and rehearsal marks are the exception: they move up past it, as they move
//    past any line, and so stand above it as engravers set them.
#include "annotations/endings.h"

#include <algorithm>
#include <map>

#include "annotations/anno_classes.h"
#include "annotations/anno_fields.h"
#include "annotations/anno_globals.h"
#include "annotations/anno_services.h"
#include "annotations/anno_shapes.h"
#include "annotations/drawtext.h"
#include "annotations/line_annos.h"
#include "annotations/marks_apart.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"

namespace {

// In tenths of a space: the line's height over the top line (with the stored offset of three
// spaces), its clearance over what is drawn under it, its hooks; the number's place under the
// line and after the start hook, and its clearance over what is under it; the room left
// between a bar line and the start or end of a line.
constexpr int32_t LINE_CLEAR = 10, HOOK = 20, HOOK_CLEAR = 3;
constexpr int32_t NUMBER_BELOW_LINE = 4, NUMBER_AFTER_HOOK = 4, NUMBER_CLEAR = 5;
constexpr int32_t AFTER_BAR = 2, BEFORE_BAR = 3;
constexpr int32_t STANDARD_STAFF = 50;
// The lines of a bar line (up to three, from 26) and their joins to the staff below (from 29).
constexpr int VAR_BAR_FIRST = 26, VAR_BAR_LAST = 31;

bool bracket_segment(Drosa p) {
  if (!p || effective_kind(p) != LINE || p->get(xline_eocvar) || p->get(xcurve) || p->get(xdashlth))
    return false;
  const int style = p->get(xmetaline), role = p->get(xline_ord);
  return (style == STYLE_PLAIN_BRACKET || style == STYLE_LEFT_BRACKET) &&
         (role == LINE_BEGIN || role == LINE_MIDDLE || role == LINE_END);
}

bool same_heights(Drosa a, Drosa b) {
  return a->get(xstarty) == b->get(xstarty) && a->get(xendy) == b->get(xendy);
}

// The BEGLINE a segment belongs to: a mid-line mark's is the nearest before it of its heights.
Drosa first_segment(Drosa line) {
  const int role = line->get(xline_ord);
  if (role == LINE_BEGIN) return line;
  if (role == LINE_END) return line_geometry_wrapper(line);
  for (Drosa p = line->xback; p; p = p->xback) {
    if (p->xkind != LINE || p->get(xline_eocvar) || !same_heights(p, line)) continue;
    if (p->get(xline_ord) == LINE_BEGIN) return p;
    if (p->get(xline_ord) == LINE_END) return NIL;
  }
  return NIL;
}

Drosa pdata_after(Drosa head) {
  Drosa p = head ? head->xnext : NIL;
  return p && p->xkind == PDATA ? p : NIL;
}

Drosa next_note(Drosa p) {
  while (p && p->xkind != NOTE) p = p->xnext;
  return p;
}

int32_t space_of(int pstaff) {
  const int32_t size = staff_data[pstaff].staff_size;
  return size > 0 ? size : STANDARD_STAFF;
}

// A length in tenths of a space of the staff.
int32_t tenths(int32_t t, int pstaff) { return t * space_of(pstaff) / 10; }

// One segment as it is drawn on the system.
struct Placed {
  const SystemEndings::Segment* segment = nullptr;
  Drosa number = NIL;  // drawn with it (its first segment)
  int32_t left = 0, right = 0;
  bool start_hook = false, end_hook = false;
  AnnoTextMeasure measure;
  int32_t height = 0;  // the least y of its line
};

// The elements that endings need not clear: those of words, tempo and rehearsal marks (they
// move past the endings) and of texts locked to the page.
std::unordered_set<uint32_t> not_under(const SystemEndings& endings) {
  std::unordered_set<uint32_t> skipped = endings.page_texts;
  for (const DrawnMark& m : marks_drawn) {
    if (!m.movable) continue;
    for (Drosa e = m.first; e; e = e->xnext) {
      skipped.insert(e.handle());
      if (e == m.last) break;
    }
  }
  return skipped;
}

// The top of what is drawn on the staff between two x; `floor` when nothing reaches higher.
int32_t top_between(int pstaff, int32_t left, int32_t right, int32_t floor,
                    const std::unordered_set<uint32_t>& skipped) {
  int32_t top = floor;
  for (Drosa e = GE_head ? GE_head->xnext : NIL; e; e = e->xnext) {
    GEInkBox b;
    if (ge_pstaff(e) != pstaff || !ge_ink_box(e, &b) || b.right < left || b.left > right ||
        skipped.count(e.handle()))
      continue;
    top = std::max(top, b.top);
  }
  return top;
}

// The right end of the ink of the bar line drawn at x on the staff (its thick line, a double
// bar's second), where the bar line's x is its first line.
int32_t bar_right(int pstaff, int32_t x) {
  const int32_t reach = space_of(pstaff);
  int32_t right = x;
  for (Drosa e = GE_head ? GE_head->xnext : NIL; e; e = e->xnext) {
    GEInkBox b;
    if (e->xkind != GE_LINE || e->get(xgl_var) < VAR_BAR_FIRST || e->get(xgl_var) > VAR_BAR_LAST ||
        ge_pstaff(e) != pstaff || !ge_ink_box(e, &b) || b.left > x + reach || b.right < x - reach)
      continue;
    right = std::max(right, b.right);
  }
  return right;
}

// Where a segment runs on its system, and which hooks and number it draws; false for an
// ENDLINE its BEGLINE draws.
bool place(const SystemEndings::Segment& s, Placed* out) {
  Drosa partner = NIL;
  int same = 1;
  line_geometry(s.line, &partner, &same);
  const int role = s.line->get(xline_ord);
  if (role == LINE_END && same) return false;
  const StaffData& staff = staff_data[s.pstaff];
  const int32_t staff_left = staff.signs_end_x + tenths(AFTER_BAR, s.pstaff);
  const int32_t staff_right = staff_right_x(s.pstaff, current_page);
  out->segment = &s;
  out->start_hook = role == LINE_BEGIN;
  if (out->start_hook) {
    const int32_t bar = find_system_bar_x(s.note, -1);
    out->left =
        bar == NOT_DRAWN ? staff_left : bar_right(s.pstaff, bar) + tenths(AFTER_BAR, s.pstaff);
    out->number = ending_number_of(s.line);
    if (out->number) measure_anno_text(s.note, out->number, &out->measure);
  } else {
    out->left = staff_left;
  }
  // Its end: the bar line after its last note, when that note is on this system.
  Drosa last = role == LINE_END ? s.note : role == LINE_BEGIN && same ? next_note(partner) : NIL;
  out->right = staff_right;
  if (last) {
    const int32_t bar = find_system_bar_x(last, 1);
    if (bar != NOT_DRAWN) out->right = bar - tenths(BEFORE_BAR, s.pstaff);
    out->end_hook = s.line->get(xmetaline) == STYLE_PLAIN_BRACKET;
  }
  out->right = std::max(out->right, out->left + tenths(2 * NUMBER_AFTER_HOOK, s.pstaff));
  return true;
}

int32_t number_left(const Placed& p) {
  return p.left + tenths(NUMBER_AFTER_HOOK, p.segment->pstaff);
}

// The least height of a segment's line: its stored height over the top line, and clear of what
// stands under the line and under its number.
int32_t least_height(const Placed& p, const std::unordered_set<uint32_t>& skipped) {
  const int pstaff = p.segment->pstaff;
  const int32_t top_line = staff_top_y(pstaff, 0);
  const int32_t stored =
      int32_t(int64_t(p.segment->line->get(xstarty)) * space_of(pstaff) / STANDARD_STAFF);
  int32_t y = top_line + std::max(stored, tenths(HOOK + HOOK_CLEAR, pstaff));
  y = std::max(
      y, top_between(pstaff, p.left, p.right, top_line, skipped) + tenths(LINE_CLEAR, pstaff));
  if (p.number) {
    const int32_t left = number_left(p), right = left + p.measure.width;
    const int32_t under = top_between(pstaff, left, right, top_line, skipped);
    y = std::max(y, under + tenths(NUMBER_CLEAR + NUMBER_BELOW_LINE, pstaff) + p.measure.ascent);
  }
  return y;
}

void set_if_changed(Drosa node, const auto& field, int32_t value) {
  if (node->get(field) != value) node->set(field, value);
}

// The number, its ink's top a little under the line at y.
void draw_number(const Placed& p, int32_t y) {
  const SystemEndings::Segment& s = *p.segment;
  Drosa number = p.number;
  int32_t rx = 0, ry = 0;
  anno_refloc(s.note, number, &rx, &ry, s.pstaff + 1);
  const int32_t stored_x = number->get(xtextx), stored_y = number->get(xtexty);
  const int32_t top = y - tenths(NUMBER_BELOW_LINE, s.pstaff);
  number->set(xtextx, number_left(p) - rx);
  number->set(xtexty, top - p.measure.ascent - ry);
  Drosa before = GE_tail;
  drawtext(number, s.note, s.pstaff, 1, 0);
  number->set(xtextx, stored_x);
  number->set(xtexty, stored_y);
  if (!before || GE_tail == before) return;
  int32_t ink_top = INT32_MIN;
  for (Drosa e = before->xnext; e; e = e->xnext) {
    GEInkBox b;
    if (ge_ink_box(e, &b)) ink_top = std::max(ink_top, b.top);
    if (e == GE_tail) break;
  }
  if (ink_top == INT32_MIN || ink_top == top) return;
  ge_shift_elements(before->xnext, GE_tail, top - ink_top);
  if (Drosa pd = pdata_after(number); pd && pd->get(xpagey1) != NOT_DRAWN) {
    pd->set(xpagey1, pd->get(xpagey1) + top - ink_top);
    pd->set(xpagey2, pd->get(xpagey2) + top - ink_top);
  }
}

void draw_segment(const Placed& p, int32_t y) {
  const SystemEndings::Segment& s = *p.segment;
  Drosa line = s.line;
  Drosa before = GE_tail;
  if (p.number) draw_number(p, y);
  const int drawmode = line->get(xline_drawmode);
  const int width = std::max<int32_t>(line->get(xlinewidth), current_min_line_width());
  const int32_t margin = GE_BOX_MARGIN;
  auto emit = [&](int32_t x1, int32_t y1, int32_t x2, int32_t y2, int var) {
    GEline(drawmode, x1, y1, s.pstaff, 0, x2, y2, s.pstaff, 0, width, 0, 0, p.left - margin,
           y - tenths(HOOK, s.pstaff) - margin, p.right + margin, y + margin,
           line->get(xline_color), var, s.note);
  };
  const int32_t hook = tenths(HOOK, s.pstaff);
  if (p.start_hook) emit(p.left, y, p.left, y - hook, VAR_BRACKET_START_HOOK);
  if (p.end_hook) emit(p.right, y, p.right, y - hook, VAR_BRACKET_END_HOOK);
  emit(p.left, y, p.right, y, VAR_BRACKET_LINE);
  if (Drosa pd = pdata_after(line)) {
    pd->set(xpagex1, p.left);
    pd->set(xpagey1, y);
    pd->set(xpagex2, p.right);
    pd->set(xpagey2, y);
    pd->set(xy1pstaff, int8_t(s.pstaff));
    pd->set(xy2pstaff, int8_t(s.pstaff));
    set_if_changed(line, xc1x, -margin);
    set_if_changed(line, xc2x, p.right - p.left + margin);
  }
  // Words standing on it move up past it.
  keep_mark_apart(line, s.note, before);
}

}  // namespace

Drosa ending_number_of(Drosa line) {
  if (!bracket_segment(line)) return NIL;
  Drosa first = first_segment(line);
  if (!first) return NIL;
  Drosa p = first->xback;
  while (p && (p->xkind == PVIEW || p->xkind == PDATA || p->xkind == TEXT ||
               (p->xkind == TPARAM && p->get(xadjacent))))
    p = p->xback;
  return p && effective_kind(p) == TPARAM && p->get(xclassify) == CLASS_REPEAT ? p : NIL;
}

namespace {

// The first segment of the ending whose number is `tparam`; NIL when it is no ending's.
Drosa numbered_line(Drosa tparam) {
  if (!tparam || effective_kind(tparam) != TPARAM || tparam->get(xadjacent) ||
      tparam->get(xclassify) != CLASS_REPEAT)
    return NIL;
  Drosa p = tparam->xnext;
  while (p && (p->xkind == PVIEW || p->xkind == PDATA || p->xkind == TEXT ||
               (p->xkind == TPARAM && p->get(xadjacent))))
    p = p->xnext;
  return bracket_segment(p) && p->get(xline_ord) == LINE_BEGIN ? p : NIL;
}

}  // namespace

bool is_ending_number(Drosa tparam) { return numbered_line(tparam) != NIL; }

bool ending_defers(SystemEndings& endings, Drosa head, Drosa note, int pstaff) {
  // A segment that lost its other segment is left to be drawn (not) as any line is, with its
  // number.
  if (head->xkind == TPARAM) {
    Drosa line = numbered_line(head);
    return line && line_geometry_wrapper(line);
  }
  if (!ending_number_of(head)) return false;
  if (head->get(xline_ord) != LINE_MIDDLE && !line_geometry_wrapper(head)) return false;
  endings.segments.push_back({head, note, pstaff});
  return true;
}

void ending_note_drawn(SystemEndings& endings, Drosa head, Drosa before) {
  if (!before || GE_tail == before || head->xkind != TPARAM ||
      !(head->get(xpagemargin) || head->get(xfooter)))
    return;
  for (Drosa e = before->xnext; e; e = e->xnext) {
    endings.page_texts.insert(e.handle());
    if (e == GE_tail) break;
  }
}

void draw_system_endings(SystemEndings& endings) {
  if (endings.segments.empty()) return;
  const std::unordered_set<uint32_t> skipped = not_under(endings);
  std::vector<Placed> placed;
  std::map<int, int32_t> staff_height;  // the endings of a staff stand at one height
  for (const SystemEndings::Segment& s : endings.segments) {
    Placed p;
    if (!place(s, &p)) continue;
    p.height = least_height(p, skipped);
    int32_t& h = staff_height.try_emplace(s.pstaff, p.height).first->second;
    h = std::max(h, p.height);
    placed.push_back(p);
  }
  for (const Placed& p : placed) draw_segment(p, staff_height[p.segment->pstaff]);
  for (SystemEndings::Segment& s : endings.segments)
    if (s.line->get(xline_ord) == LINE_MIDDLE) check_PDATA_after_MIDLINE(&s.line);
  endings.segments.clear();
}
