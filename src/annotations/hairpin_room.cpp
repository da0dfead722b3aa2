// hairpin_room.cpp: a hairpin drawn clear of the dynamics and words at the notes beside it.
// A hairpin's ends are the notes it runs between; the marks at the notes beside them are placed
// by their own offsets. Where the notes stand close, a dynamic at one note reaches past a
// hairpin beginning at the next, and a dynamic or words the document sets at a note under a
// hairpin stand on it: the hairpin, drawn after the one, begins after it; drawn before the
// other, it ends before it. Its stored offsets stay as they are: the notes may stand apart later.
#include "annotations/hairpin_room.h"

#include <algorithm>
#include <cstdlib>

#include "annotations/anno_classes.h"
#include "annotations/anno_globals.h"
#include "annotations/anno_services.h"
#include "annotations/anno_shapes.h"
#include "annotations/line_annos.h"
#include "annotations/marks_apart.h"
#include "graphics/ge_services.h"
#include "params/param_services.h"

namespace {

constexpr int32_t HAIRPIN_BESIDE_MARK = 30;  // the room a hairpin leaves beside a mark

int64_t shortest_hairpin(Drosa note) {
  return 2 *
         int64_t(param_length(P_MINIMUM_SPACE_BETWEEN_NORMAL_NOTE_AND_NEXT_CHORD, note, nullptr));
}

bool apart_vertically(const GEInkBox& a, const GEInkBox& b) {
  return a.bottom >= b.top || a.top <= b.bottom;
}

// The band of a hairpin's legs, and a margin of its opening about it: one leg from its start
// height, the other mirrored about its closed end.
GEInkBox hairpin_band(Drosa line, int64_t y1) {
  const int64_t open = std::abs(line->get(xendy));
  GEInkBox band;
  band.bottom = int32_t(std::min(y1, y1 + line->get(xendy)) - open);
  band.top = int32_t(std::max(y1, y1 + line->get(xendy)) + open);
  return band;
}

// The band a hairpin's legs cover: they open from its closed end (its start for a crescendo,
// whose end rises, else its end) as far down as up.
GEInkBox hairpin_legs(Drosa line, int64_t y1) {
  const int64_t open = std::abs(line->get(xendy));
  const int64_t closed = y1 + std::min(0, line->get(xendy));
  GEInkBox band;
  band.bottom = int32_t(closed - open);
  band.top = int32_t(closed + open);
  return band;
}

// The hairpin drawn as `h` ends at x `end`: the right ends of its legs move in, its ink with them.
void end_hairpin_at(DrawnMark& h, int32_t end) {
  for (Drosa e = h.first; e; e = e->xnext) {
    if (e->xkind == GE_LINE) {
      const bool forward = e->get(xge_x2) >= e->get(xge_x1);
      const auto& right = forward ? xge_x2 : xge_x1;
      e->set(right, std::min(e->get(right), end));
    }
    if (e == h.last) break;
  }
  h.box.right = std::min(h.box.right, end);
}

// The hairpin drawn as `h`, too short to end before the mark whose ink is `ink` (a p the
// document sets at the note a short diminuendo begins at), keeps its ends and moves off the
// mark beyond its far side from the staff: below it when lower than the mark's middle, else
// above it. It does not count as moved: a dynamic drawn later does not follow it.
void hairpin_off(DrawnMark& h, const GEInkBox& ink) {
  const bool below = int64_t(h.box.bottom) + h.box.top < int64_t(ink.bottom) + ink.top;
  const int32_t dy = below ? ink.bottom - HAIRPIN_BESIDE_MARK - h.box.top
                           : ink.top + HAIRPIN_BESIDE_MARK - h.box.bottom;
  ge_shift_elements(h.first, h.last, dy);
  h.box.bottom += dy;
  h.box.top += dy;
  if (Drosa pd = h.line_pdata) {
    pd->set(xpagey1, pd->get(xpagey1) + dy);
    pd->set(xpagey2, pd->get(xpagey2) + dy);
  }
}

// Calls `each` for every hairpin segment of the document's attached before the note.
template <class Each>
void hairpins_before(Drosa note, Each each) {
  for (Drosa p = note->xback; p && p->xkind != NOTE && effective_kind(p) != ENDSYST; p = p->xback)
    if (effective_kind(p) == LINE && !p->get(xline_eocvar) && p->get(xmetaline) == STYLE_HAIRPIN)
      each(p);
}

int32_t clamp_i32(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

}  // namespace

HairpinSpan hairpin_room_after(Drosa note) {
  HairpinSpan room;
  if (!note || note->xkind != NOTE) return room;
  Drosa next = note->xnext;
  while (next && next->xkind != NOTE && effective_kind(next) != ENDSYST) next = next->xnext;
  if (next && next->xkind != NOTE) next = NIL;
  int64_t next_start = INT64_MAX;  // the earliest start of a hairpin begun at the next note
  if (next)
    hairpins_before(next, [&](Drosa h) {
      if (h->get(xline_ord) == LINE_BEGIN)
        next_start = std::min<int64_t>(next_start, h->get(xstartx));
    });
  const int64_t least = shortest_hairpin(note);
  const int64_t before_end =
      param_length(P_X_OFFSET_FOR_CLIPPING_HAIRPINS_LINES_AT_RIGHT_END_OF_STAFF, note, nullptr);
  int64_t signs = 0, chord = 0;
  hairpins_before(note, [&](Drosa h) {
    if (h->get(xline_ord) != LINE_BEGIN) return;
    Drosa partner = NIL;
    int same = 1;
    line_geometry(h, &partner, &same);
    if (!partner || !same) return;
    Drosa at = partner;
    while (at && at->xkind != NOTE) at = at->xnext;
    const int64_t end = int64_t(h->get(xstartx)) + least;  // its least end, from the head
    if (at == note)
      signs = std::max(signs, end + before_end);
    else if (at && at == next)
      chord = std::max(chord, end - partner->get(xstartx) - partner->get(xendx));
    else
      return;
    if (next_start != INT64_MAX) chord = std::max(chord, end + HAIRPIN_BESIDE_MARK - next_start);
  });
  room.to_signs = clamp_i32(signs);
  room.to_next = clamp_i32(chord);
  return room;
}

int32_t hairpin_start_past_marks(Drosa line, Drosa note, int pstaff) {
  if (line->get(xmetaline) != STYLE_HAIRPIN || line->get(xline_ord) != LINE_BEGIN) return 0;
  int32_t rx = 0, ry = 0;
  anno_refloc(note, line, &rx, &ry, pstaff + 1);
  const int64_t x1 = int64_t(rx) + line->get(xstartx), y1 = int64_t(ry) + line->get(xstarty);
  const GEInkBox band = hairpin_band(line, y1);
  int64_t need = 0;
  // A dynamic moved off the notes counts where it was drawn: the hairpin moves with it.
  for (uint32_t i : texts_drawn()) {
    const DrawnMark& m = marks_drawn[i];
    const int32_t moved = m.dynamic ? m.moved : 0;
    if (m.pstaff == pstaff && m.box.left < x1 && m.box.right + HAIRPIN_BESIDE_MARK > x1 &&
        !apart_vertically({m.box.left, m.box.bottom - moved, m.box.right, m.box.top - moved}, band))
      need = std::max(need, m.box.right + HAIRPIN_BESIDE_MARK - x1);
  }
  if (need == 0 || line->get(xendx) - need < shortest_hairpin(note)) return 0;
  return int32_t(need);
}

void end_hairpins_before(Drosa head, Drosa before) {
  // Without a hairpin drawn on the system there is none to end.
  if (!before || GE_tail == before || head->xkind != TPARAM || hairpins_drawn().empty()) return;
  const int klass = head->get(xclassify);
  if (klass != CLASS_DYNAMIC && klass != CLASS_OTHER && klass != CLASS_MOOD &&
      klass != CLASS_TEMPO_ALTERATION)
    return;
  GEInkBox ink;
  int pstaff = -1;
  for (Drosa e = before->xnext; e; e = e->xnext) {
    GEInkBox b;
    if (!ge_ink_box(e, &b)) continue;
    if (pstaff < 0) pstaff = ge_pstaff(e), ink = b;
    ink = {std::min(ink.left, b.left), std::min(ink.bottom, b.bottom), std::max(ink.right, b.right),
           std::max(ink.top, b.top)};
  }
  if (pstaff < 0) return;
  const int32_t end = ink.left - HAIRPIN_BESIDE_MARK;
  for (uint32_t i : hairpins_drawn()) {
    DrawnMark& h = marks_drawn[i];
    if (h.pstaff != pstaff || end >= h.box.right || apart_vertically(ink, h.box)) continue;
    if (int64_t(end) - h.box.left >= shortest_hairpin(head))
      end_hairpin_at(h, end);
    else
      hairpin_off(h, ink);
  }
}

HairpinRoom hairpin_beside_hairpins(Drosa line, Drosa note, int pstaff, int32_t shift) {
  if (line->get(xmetaline) != STYLE_HAIRPIN || line->get(xline_ord) != LINE_BEGIN) return {};
  int32_t rx = 0, ry = 0;
  anno_refloc(note, line, &rx, &ry, pstaff + 1);
  const int64_t start = int64_t(rx) + line->get(xstartx), stop = start + line->get(xendx);
  int64_t x1 = start + shift, x2 = stop;
  const GEInkBox band = hairpin_legs(line, int64_t(ry) + line->get(xstarty));
  const int64_t least = shortest_hairpin(note);
  for (uint32_t i : hairpins_drawn()) {
    DrawnMark& h = marks_drawn[i];
    if (h.pstaff != pstaff || apart_vertically(h.box, band)) continue;
    if (h.box.left > x1) {
      // One begun inside this one (drawn first, its chord visited first): this one ends a
      // little before it, where it stays long enough to read.
      const int64_t end = int64_t(h.box.left) - HAIRPIN_BESIDE_MARK;
      if (x2 + HAIRPIN_BESIDE_MARK / 2 > h.box.left && end - x1 >= least) x2 = std::min(x2, end);
      continue;
    }
    if (h.box.right + HAIRPIN_BESIDE_MARK / 2 <= x1) continue;
    // The earlier ends a little before this one begins, where it stays long enough to read;
    // else the two share the room from its start to this one's end, half each.
    int64_t end = x1 - HAIRPIN_BESIDE_MARK;
    if (end - h.box.left < least) {
      end = std::min<int64_t>((h.box.left + x2 - HAIRPIN_BESIDE_MARK) / 2, h.box.right);
      if (end <= h.box.left) continue;
      x1 = std::max(x1, end + HAIRPIN_BESIDE_MARK);
    }
    end_hairpin_at(h, int32_t(end));
  }
  return {int32_t(x1 - start), int32_t(stop - x2)};
}
