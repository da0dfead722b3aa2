// anno_refloc.cpp: the reference point from which an annotation's stored offsets count, and
// the folding of a one-time reference request into the offsets and locks.
//
// Design notes:
//  - Page units, y upward from the page's bottom: the page's top is at its height, and so is
//    the reference of a text under Position Lock. Offsets count the same way (a positive y
//    offset stands above its reference point).
//  - A request that keeps the place moves the offset by what the reference moved; the others
//    ("offset kept") keep the offset and change the reference.
//  - The point returned is always the one the annotation's locks give after the request, so
//    that the next call without a request gives the same point. For a centred text under
//    Horizontal Lock that is the page's centre, also after the requests that measure from
//    the left edge (modes 2, 3, 5 and 6). A vertical request that sets or clears Position Lock
//    (which measures x from the page too) moves the x offset so that the text stays put.
#include "annotations/anno_refloc.h"

#include <algorithm>

#include "annotations/anno_fields.h"
#include "annotations/drawanno.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"

namespace {

constexpr int CENTRED = 1;  // xjustified 1: a locked text is centred on the page

// Everything one call reads, gathered first.
struct RefState {
  bool line = false;
  int h = 0, v = 0;
  bool locked_h = false, locked_v = false, footer = false, centred = false;
  Drosa note;
  int32_t note_x = 0, note_y = 0;
  int pstaff = 0;
  int32_t left = 0, width = 0, height = 0;

  int32_t centre() const { return int32_t(int64_t(left) + (int64_t(width) + 1) / 2); }
  // The page's middle: as far below its top as (height + 1) / 2.
  int64_t middle() const { return int64_t(height) - (int64_t(height) + 1) / 2; }
  int32_t staff_top() const { return staff_top_y(pstaff, 0); }
};

bool read_note(Drosa note, int pstaff1, RefState* s) {
  Drosa nt = note && note->xkind == NOTE ? note->xnext : NIL;
  if (!nt || nt->xkind != NTDATA) return false;
  if (pstaff1 > 0) {
    s->pstaff = pstaff1 - 1;
    s->note_x = nt->get(xhdx);
    s->note_y = nt->get(xhdy);
  } else {
    s->pstaff = pstaff_of_node(note);
    s->note_x = nt->get(xscrhdx);
    s->note_y = nt->get(xscrhdy);
  }
  s->pstaff = std::clamp(s->pstaff, 0, MAX_PSTAVES - 1);
  s->note = note;
  return true;
}

void read_anno(Drosa anno, RefState* s) {
  s->line = anno->xkind == LINE;
  if (s->line) {
    s->h = anno->get(xline_relx);
    s->v = anno->get(xline_rely);
    s->locked_h = anno->get(xline_pagemargin);
    s->locked_v = anno->get(xline_fromstaff);
    return;
  }
  s->h = anno->get(xrelativex);
  s->v = anno->get(xrelativey);
  s->footer = anno->get(xfooter);
  s->locked_h = anno->get(xpagemargin) || s->footer;
  s->locked_v = anno->get(xfromstaff);
  s->centred = anno->get(xjustified) == CENTRED;
}

int32_t locked_x(const RefState& s) { return s.centred ? s.centre() : s.left; }

// The x of a left or right end of the staff (modes 5 and 6).
int32_t staff_end_x(const RefState& s, bool right) {
  return right ? staff_right_x(s.pstaff, current_page) : staff_left_x(s.pstaff, current_page);
}

// ---- Horizontal -----------------------------------------------------------------------------

struct Move {
  bool write = true;  // the request is folded in (not left pending)
  int64_t delta = 0;  // added to the stored offset
  int lock = 0;       // the new lock
};

// The change of a request measured from a point of the page: the offset is moved so that
// it now counts from the lock's reference.
Move from_page_point(const RefState& s, int64_t x) {
  return {true, x - s.left - (s.centred ? s.centre() - s.left : 0), 1};
}

Move horizontal_move(const RefState& s) {
  switch (s.h) {
    case REF_X_LEFT_MARGIN:  // offset kept, now from the lock's reference
      return {true, 0, 1};
    case REF_X_RIGHT_MARGIN:
      return from_page_point(s, int64_t(s.left) + s.width);
    case REF_X_PAGE_CENTRE:
      return from_page_point(s, s.centre());
    case REF_X_STAFF_LEFT:
      return from_page_point(s, staff_end_x(s, false));
    case REF_X_STAFF_RIGHT:
      return from_page_point(s, staff_end_x(s, true));
    case REF_X_CHORD: {
      Drosa cd = cddatptr(s.note, 1);
      if (!cd) return {false, 0, 0};  // no chord laid out yet: the request waits
      const int extra = node_byte(s.note->xnext, 11) == 0 ? cd->get(xcdoverhang) : 0;
      return {true, int64_t(cd->get(xcdleft)) - extra, 0};
    }
    case REF_X_PREVIOUS_BAR:
    case REF_X_NEXT_BAR: {
      const bool next = s.h == REF_X_NEXT_BAR;
      int32_t x = find_system_bar_x(s.note, next ? 1 : -1);
      if (x == NOT_DRAWN) x = staff_end_x(s, next);
      return {true, int64_t(x) - s.note_x, 0};
    }
    default:  // 1, 8 and 11..15: from the note
      return {true, 0, 0};
  }
}

int32_t clamp_i32(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// The horizontal request folded in: the offset moved, the lock set, the mode cleared.
void fold_horizontal(Drosa anno, const RefState& s, const Move& m) {
  const auto& offset = s.line ? xstartx : xtextx;
  anno->set(offset, clamp_i32(anno->get(offset) + m.delta));
  anno->set(s.line ? xline_pagemargin : xpagemargin, m.lock);
  anno->set(s.line ? xline_relx : xrelativex, 0);
}

// Steps 2 and 3: returns the reference x; *lock receives the Horizontal Lock in force.
int32_t resolve_horizontal(Drosa anno, const RefState& s, bool* lock) {
  *lock = s.line ? anno->get(xline_pagemargin) : anno->get(xpagemargin);
  if (s.h == REF_X_NONE) return s.locked_h ? locked_x(s) : s.note_x;
  const Move m = horizontal_move(s);
  if (!m.write) return s.note_x;
  fold_horizontal(anno, s, m);
  *lock = m.lock;
  return m.lock || (!s.line && s.footer) ? locked_x(s) : s.note_x;
}

// ---- Vertical -------------------------------------------------------------------------------

struct VerticalMove {
  int64_t delta = 0;  // added to the stored offset
  int footer = 0;     // Position Lock (texts only)
  int lock = 0;       // Vertical Lock
};

VerticalMove vertical_move(const RefState& s) {
  // Offset kept from a point of the page: a text then counts from the page's top (Position
  // Lock), a line from the staff's top line (Vertical Lock).
  auto from_page = [&](int64_t y) -> VerticalMove {
    return s.line ? VerticalMove{y - s.staff_top(), 0, 1} : VerticalMove{y - s.height, 1, 0};
  };
  switch (s.v) {
    case REF_Y_PAGE_TOP:
      return from_page(s.height);
    case REF_Y_PAGE_BOTTOM:
      return from_page(0);
    case REF_Y_PAGE_MIDDLE:
      return from_page(s.middle());
    case REF_Y_STAFF:
      return {0, 0, 1};
    case REF_Y_CLEAR_OF_CHORD:
    case REF_Y_ABOVE_CHORD:
    case REF_Y_BELOW_CHORD: {
      const int side = s.v == REF_Y_CLEAR_OF_CHORD ? 0 : s.v == REF_Y_ABOVE_CHORD ? 1 : -1;
      const int32_t y = anno_note_extent_y(s.note, s.pstaff, side);
      return {int64_t(y) - s.note_y, 0, 0};
    }
    default:  // 1 and 9..15: from the note
      return {0, 0, 0};
  }
}

// The vertical request folded in: the offset moved, the locks set, the mode cleared.
void fold_vertical(Drosa anno, const RefState& s, const VerticalMove& m, bool horizontal_lock) {
  const auto& offset = s.line ? xstarty : xtexty;
  anno->set(offset, clamp_i32(anno->get(offset) + m.delta));
  if (s.line) {
    anno->set(xline_pagemargin, horizontal_lock);
    anno->set(xline_fromstaff, m.lock);
    anno->set(xline_rely, 0);
  } else {
    anno->set(xfooter, m.footer);
    anno->set(xfromstaff, m.lock);
    anno->set(xrelativey, 0);
  }
}

// Steps 4 and 5: returns the reference y.
int32_t resolve_vertical(Drosa anno, const RefState& s, bool horizontal_lock) {
  if (s.v == REF_Y_NONE) {
    if (s.footer) return s.height;
    return s.locked_v ? s.staff_top() : s.note_y;
  }
  const VerticalMove m = vertical_move(s);
  fold_vertical(anno, s, m, horizontal_lock);
  if (m.footer) return s.height;
  return m.lock ? s.staff_top() : s.note_y;
}

// Whether the annotation's request moves no offset and reads nothing laid out: from the
// note, or keeping the offset from the page's left edge or the staff, and a text not under
// Position Lock (which a vertical request clears, moving the x offset by where the note
// stands).
bool folds_before_layout(const RefState& s) {
  switch (s.h) {
    case REF_X_RIGHT_MARGIN:
    case REF_X_PAGE_CENTRE:
    case REF_X_STAFF_LEFT:
    case REF_X_STAFF_RIGHT:
    case REF_X_CHORD:
    case REF_X_PREVIOUS_BAR:
    case REF_X_NEXT_BAR:
      return false;
    default:
      break;
  }
  switch (s.v) {
    case REF_Y_NONE:
      return true;
    case REF_Y_PAGE_TOP:
    case REF_Y_PAGE_BOTTOM:
    case REF_Y_PAGE_MIDDLE:
    case REF_Y_CLEAR_OF_CHORD:
    case REF_Y_ABOVE_CHORD:
    case REF_Y_BELOW_CHORD:
      return false;
    default:
      return s.line || !s.footer;
  }
}

}  // namespace

void anno_fold_request_before_layout(Drosa anno) {
  const int kind = anno ? effective_kind(anno) : NA;
  if (kind != TPARAM && kind != LINE) return;
  RefState s;
  read_anno(anno, &s);
  if ((s.h == REF_X_NONE && s.v == REF_Y_NONE) || !folds_before_layout(s)) return;
  bool lock = s.line ? anno->get(xline_pagemargin) : anno->get(xpagemargin);
  if (s.h != REF_X_NONE) {
    const Move m = horizontal_move(s);
    fold_horizontal(anno, s, m);
    lock = m.lock;
  }
  if (s.v != REF_Y_NONE) fold_vertical(anno, s, vertical_move(s), lock);
}

void anno_refloc(Drosa note, Drosa anno, int32_t* x, int32_t* y, int pstaff1) {
  const int kind = anno ? effective_kind(anno) : NA;
  RefState s;
  if ((kind != TPARAM && kind != LINE) || !read_note(note, pstaff1, &s)) {
    *x = *y = 0;
    REPORT_ERROR(4, "Bad call to anno_refloc!");
    return;
  }
  read_anno(anno, &s);
  s.left = layout_page_left_x();
  s.width = layout_page_width();
  s.height = layout_page_height();
  bool horizontal_lock = false;
  *x = resolve_horizontal(anno, s, &horizontal_lock);
  *y = resolve_vertical(anno, s, horizontal_lock);
  if (s.line || s.v == REF_Y_NONE) return;
  // Position Lock also measures x from the page: a vertical request that sets or clears it
  // keeps the text where it stood across.
  s.footer = anno->get(xfooter);
  const int32_t x_now = anno->get(xpagemargin) || s.footer ? locked_x(s) : s.note_x;
  if (x_now == *x) return;
  anno->set(xtextx, clamp_i32(int64_t(anno->get(xtextx)) + *x - x_now));
  *x = x_now;
}
