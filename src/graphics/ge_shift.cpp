// ge_shift.cpp: a drawn page's elements moved with its staves, when only the distances between
// the staves changed: what belongs to one staff moves with it, what joins two staves (bar
// lines, the joins of brackets) stretches between them, a brace whose staves move apart is
// drawn again for its new height in the place of its old pieces (and the names of the parts
// before its system follow its new width); and a run of elements moved alone.
#include <cstdint>
#include <vector>

#include "graphics/GE.h"
#include "graphics/ge_fields.h"
#include "graphics/ge_services.h"
#include "graphics/graphics_globals.h"
#include "graphics/part_names.h"
#include "graphics/plot_page.h"
#include "layout/layout_services.h"
#include "model/model_services.h"

namespace {

bool is_brace(int var) { return var >= VAR_BRACE_TOP && var <= VAR_BRACE_BOTTOM; }

// Lines whose ends stand each on its own staff, whatever lies between.
bool stretches(int var) {
  return var == VAR_SYSTEM_BAR || var == VAR_BRACKET_JOIN ||
         (var >= VAR_BAR_LINE && var < VAR_BAR_JOIN + 3);
}

// The shift of each staff and what is known of the page's staves.
struct Shift {
  const std::vector<int32_t>& dy;
  int staves;
  bool valid(int p) const { return p >= 0 && p < staves; }
  // Whether the staves from p to the end of its system move alike.
  bool system_moves_alike(int p) const {
    for (int q = p + 1; q < staves && staff_data[q].place != 1; ++q)
      if (dy[size_t(q)] != dy[size_t(p)]) return false;
    return true;
  }
  // Whether the brace drawn from p can be drawn again: its staves are known.
  bool brace_known(int p) const {
    const int last = brace_last_pstaff(p);
    return last >= p && last < staves;
  }
  // Whether the staves of the brace drawn from p move apart (it is then drawn again).
  bool brace_stretches(int p) const {
    for (int q = p + 1; q <= brace_last_pstaff(p); ++q)
      if (dy[size_t(q)] != dy[size_t(p)]) return true;
    return false;
  }
};

// A piece of a brace whose staves move apart: the brace is drawn again rather than moved.
bool redrawn_brace(const Shift& s, Drosa e) {
  if (e->xkind != GE_CHAR || e->get(xgc_x) == ADJACENT_TEXT || !is_brace(e->get(xgc_var)))
    return false;
  const int p = e->get(xgc_pstaff);
  return s.valid(p) && s.brace_known(p) && s.brace_stretches(p);
}

bool glyph_follows(const Shift& s, Drosa e) {
  if (e->get(xgc_x) == ADJACENT_TEXT) return true;
  const int p = e->get(xgc_pstaff);
  if (!s.valid(p)) return true;  // placed by the page: stays
  const int var = e->get(xgc_var);
  if (is_brace(var)) return s.brace_known(p) || s.system_moves_alike(p);
  // A separator stands halfway between the system above and its own.
  if (var == VAR_SEPARATOR) return p == 0 || s.dy[size_t(p - 1)] == s.dy[size_t(p)];
  return true;
}

bool line_follows(const Shift& s, Drosa e) {
  const int p1 = e->get(xge_pstaff1), p2 = e->get(xge_pstaff2);
  if (!s.valid(p1) || !s.valid(p2)) return false;
  if (s.dy[size_t(p1)] == s.dy[size_t(p2)]) return true;
  return e->xkind == GE_LINE && stretches(e->get(xgl_var));
}

bool follows(const Shift& s, Drosa e) {
  switch (e->xkind) {
    case GE_CHAR:
      return glyph_follows(s, e);
    case GE_LINE:
    case GE_CURVE:
      return line_follows(s, e);
    case GE_STRING:
    case NOTEPTR:
      return true;
    default:
      return false;
  }
}

[[gnu::always_inline]] void move(Drosa e, const Field<int32_t>& y, int32_t dy) {
  e->set(y, e->get(y) + dy);
}

// A line's ends (with their clipping) move by their own amounts; a curve moves whole.
[[gnu::always_inline]] void move_line(Drosa e, int32_t dy1, int32_t dy2) {
  move(e, xge_y1, dy1);
  move(e, xgl_clipy1, dy1);
  move(e, xge_y2, dy2);
  move(e, xgl_clipy2, dy2);
}

[[gnu::always_inline]] void move_curve(Drosa e, int32_t dy) {
  move(e, xge_y1, dy);
  move(e, xgv_c1y, dy);
  move(e, xgv_c2y, dy);
  move(e, xge_y2, dy);
}

// Moves the element with its staves; `sign` -1 moves it back.
[[gnu::always_inline]] void shift(const Shift& s, Drosa e, int32_t sign = 1) {
  if (redrawn_brace(s, e)) return;
  switch (e->xkind) {
    case GE_CHAR:
      if (e->get(xgc_x) != ADJACENT_TEXT && s.valid(e->get(xgc_pstaff)))
        move(e, xgc_y, sign * s.dy[size_t(e->get(xgc_pstaff))]);
      break;
    case GE_LINE:
      move_line(e, sign * s.dy[size_t(e->get(xge_pstaff1))],
                sign * s.dy[size_t(e->get(xge_pstaff2))]);
      break;
    case GE_CURVE:
      move_curve(e, sign * s.dy[size_t(e->get(xge_pstaff1))]);
      break;
    default:
      break;
  }
}

// Whether some brace of the page has staves that move apart.
bool any_brace_stretches(const Shift& s) {
  for (int p = 0; p < s.staves; ++p)
    if (s.brace_known(p) && s.brace_stretches(p)) return true;
  return false;
}

// Draws the brace whose pieces are first..last again in their place in the list: the list is
// cut after the element before them, the brace drawn at its tail for the note it was drawn for
// (named by a NOTEPTR before it, so none is added), and the rest joined on again. Returns the
// element after the brace.
Drosa draw_again(Drosa first, Drosa last) {
  const Drosa before = first->xback, after = last->xnext;
  const Drosa tail = GE_tail, tail_owner = last_GE_owner;
  Drosa owner = NIL;
  for (Drosa p = before; p; p = p->xback)
    if (p->xkind == NOTEPTR) {
      owner = p->get(xnoteptr);
      break;
    }
  const int pstaff = first->get(xgc_pstaff);
  first->xback = NIL;
  last->xnext = NIL;
  destroy_Drosa_list(first);
  before->xnext = NIL;
  if (after) after->xback = NIL;
  GE_tail = before;
  last_GE_owner = owner;
  draw_brace_again(pstaff);
  if (after) {
    GE_tail->xnext = after;
    after->xback = GE_tail;
    GE_tail = tail;
    last_GE_owner = tail_owner;
  }
  return after;
}

}  // namespace

void ge_redraw_braces(const std::vector<int32_t>& dy) {
  if (!GE_head) return;
  const Shift s{dy, std::min<int>(pstaff_count, int(dy.size()))};
  if (!any_brace_stretches(s)) return;
  bool drawn = false;
  for (Drosa e = GE_head->xnext; e;) {
    if (!redrawn_brace(s, e)) {
      e = e->xnext;
      continue;
    }
    Drosa last = e;
    while (last->xnext && redrawn_brace(s, last->xnext) &&
           last->xnext->get(xgc_pstaff) == e->get(xgc_pstaff))
      last = last->xnext;
    e = draw_again(e, last);
    drawn = true;
  }
  if (drawn) part_names_follow_braces();
}

bool ge_shift_staves(const std::vector<int32_t>& dy) {
  if (!GE_head) return false;
  const Shift s{dy, std::min<int>(pstaff_count, int(dy.size()))};
  if (!part_names_follow(dy)) return false;
  // The elements are moved as they are found to follow; when one does not, those moved go
  // back to where they were.
  for (Drosa e = GE_head->xnext; e; e = e->xnext) {
    if (follows(s, e)) {
      shift(s, e);
      continue;
    }
    for (Drosa moved = GE_head->xnext; moved != e; moved = moved->xnext) shift(s, moved, -1);
    return false;
  }
  return true;
}

void ge_shift_elements(Drosa first, Drosa last, int32_t dy) {
  if (!first || dy == 0) return;
  for (Drosa e = first; e; e = e->xnext) {
    switch (e->xkind) {
      case GE_CHAR:
        if (e->get(xgc_x) != ADJACENT_TEXT) move(e, xgc_y, dy);
        break;
      case GE_LINE:
        move_line(e, dy, dy);
        break;
      case GE_CURVE:
        move_curve(e, dy);
        break;
      default:
        break;
    }
    if (e == last) break;
  }
}
