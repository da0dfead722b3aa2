// marks_apart.cpp: the marks of a system's chords kept from standing on one another. Each is
// placed by its own offsets from its note, which know nothing of the marks of the notes beside
// it: words that run on past the next note meet its dynamic, a tempo mark at the end of a bar
// meets the tempo words at its start. Once a mark is drawn its ink is compared with the ink of
// the marks drawn before it on its staff, on its side; words (a tempo or rehearsal mark, an
// ornament, a bowing, a breath mark or a pause: a trill over the end of a slur) that meet
// another move away from the staff beyond it, as far as they must. A dynamic stays where
// it is, its hairpin beside it; so do pedal marks, syllables and lines (hairpins, and brackets:
// octave lines, endings), and words at a note where a line begins (an octave line's, whose line
// follows from them). Note heads are in the way too: words the document places at one height
// stood on the heads of high or low notes.
#include "annotations/marks_apart.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "annotations/anno_classes.h"
#include "annotations/anno_globals.h"
#include "annotations/anno_services.h"
#include "annotations/anno_shapes.h"
#include "layout/layout_services.h"

namespace {

// Two marks meet when their inks overlap by more than a fifth of a space both ways; one moved
// clears the other by a quarter of a space.
constexpr int32_t MEET_FIFTHS = 5, CLEAR_QUARTERS = 4;
constexpr int VAR_HEAD = 46;  // the variety of a note's head
constexpr int VAR_BEAM = 17, VAR_BEAM_LINE = 18, VAR_STEM = 19, VAR_STEM_LAST = 22;

bool movable_class(int klass) {
  return klass == CLASS_OTHER || klass == CLASS_TEMPO || klass == CLASS_REHEARSAL ||
         klass == CLASS_MOOD || klass == CLASS_TEMPO_ALTERATION || klass == CLASS_ORNAMENT ||
         klass == CLASS_BOWING || klass == CLASS_BREATH || klass == CLASS_PAUSE;
}

// The signs of the music font over or by a note, which keep off beams and stems as well.
bool sign_class(int klass) {
  return klass == CLASS_ORNAMENT || klass == CLASS_BOWING || klass == CLASS_BREATH ||
         klass == CLASS_PAUSE;
}

bool stays_class(int klass) {
  return klass == CLASS_DYNAMIC || klass == CLASS_PEDAL || klass == CLASS_LYRIC;
}

// Whether a line (not a hairpin, nor an ending) begins at the note: words there may be its own.
bool line_begins_at(Drosa note) {
  for (Drosa p = note->xback; p && p->xkind != NOTE; p = p->xback)
    if (p->xkind == LINE && p->get(xmetaline) != STYLE_HAIRPIN && !ending_number_of(p)) return true;
  return false;
}

int32_t space_of(int pstaff) {
  const int32_t size = staff_data[pstaff].staff_size;
  return size > 0 ? size : 50;
}

bool meet(const DrawnMark& a, const DrawnMark& b, int32_t tolerance) {
  // A stem is thinner than the tolerance: it meets a mark it passes through.
  const bool across =
      b.stem ? b.box.right > a.box.left + tolerance && b.box.left < a.box.right - tolerance
             : std::min(a.box.right, b.box.right) - std::max(a.box.left, b.box.left) > tolerance;
  return across &&
         std::min(a.box.top, b.box.top) - std::max(a.box.bottom, b.box.bottom) > tolerance;
}

void shift(DrawnMark& m, int32_t dy) {
  ge_shift_elements(m.first, m.last, dy);
  m.box.bottom += dy;
  m.box.top += dy;
  if (m.pdata) {
    m.pdata->set(xpagey1, m.pdata->get(xpagey1) + dy);
    m.pdata->set(xpagey2, m.pdata->get(xpagey2) + dy);
  }
}

// Moves the mark up (or down) beyond every mark of its staff and side it meets.
void move_beyond(size_t mover, bool up) {
  DrawnMark& m = marks_drawn[mover];
  const int32_t space = space_of(m.pstaff);
  for (bool moved = true; moved;) {
    moved = false;
    for (size_t i = 0; i < marks_drawn.size(); ++i) {
      const DrawnMark& o = marks_drawn[i];
      // Notes may reach into the staff from the next one (drawn across).
      if (i == mover || (o.pstaff != m.pstaff && !o.stem && !(o.head && m.sign)) ||
          (o.above != m.above && !o.head && !o.stem) || (o.stem && !m.sign) ||
          !meet(m, o, space / MEET_FIFTHS))
        continue;
      const int32_t clear = space / CLEAR_QUARTERS;
      shift(m, up ? o.box.top + clear - m.box.bottom : o.box.bottom - clear - m.box.top);
      moved = true;
    }
  }
}

bool on_paper(const GEInkBox& box) { return box.bottom >= 0 && box.top <= layout_page_height(); }

// Moves the mark away from the staff beyond the marks it meets; toward the staff when that
// would take it off the paper (words the document sets at the page's foot); else it stays.
void move_clear(size_t mover) {
  const int32_t from = marks_drawn[mover].box.bottom;
  const bool up = marks_drawn[mover].above;
  move_beyond(mover, up);
  if (on_paper(marks_drawn[mover].box)) return;
  shift(marks_drawn[mover], from - marks_drawn[mover].box.bottom);
  move_beyond(mover, !up);
  if (!on_paper(marks_drawn[mover].box))
    shift(marks_drawn[mover], from - marks_drawn[mover].box.bottom);
}

}  // namespace

void begin_marks_apart() {
  marks_drawn.clear();
  Drosa owner = NIL;
  for (Drosa e = GE_head ? GE_head->xnext : NIL; e; e = e->xnext) {
    if (e->xkind == NOTEPTR) owner = e->get(xnoteptr);
    if (!owner || owner->xkind != NOTE || owner->get(xrest)) continue;
    const int var = e->xkind == GE_LINE ? e->get(xgl_var) : -1;
    const bool stem =
        var == VAR_BEAM || var == VAR_BEAM_LINE || (var >= VAR_STEM && var <= VAR_STEM_LAST);
    if (!stem && (e->xkind != GE_CHAR || e->get(xgc_var) != VAR_HEAD)) continue;
    DrawnMark head;
    head.pstaff = ge_pstaff(e);
    if (head.pstaff < first_pstaff || head.pstaff > last_pstaff || !ge_ink_box(e, &head.box))
      continue;
    head.movable = false;
    head.head = !stem;
    head.stem = stem;
    marks_drawn.push_back(head);
  }
}

void keep_mark_apart(Drosa head, Drosa note, Drosa before) {
  if (!before || GE_tail == before) return;
  DrawnMark mark;
  if (head->xkind == TPARAM) {
    const int klass = head->get(xclassify);
    if (!movable_class(klass) && !stays_class(klass)) return;
    if (head->get(xfooter) || head->get(xpagemargin)) return;
    mark.movable = movable_class(klass) && !line_begins_at(note);
    mark.sign = sign_class(klass);
    Drosa pd = head->xnext;
    if (pd && pd->xkind == PDATA) mark.pdata = pd;
  } else {
    const int style = head->get(xmetaline);
    if (head->xkind != LINE ||
        (style != STYLE_HAIRPIN && (style < STYLE_PLAIN_BRACKET || style > STYLE_LEFT_BRACKET)))
      return;
    mark.movable = false;
    mark.hairpin = style == STYLE_HAIRPIN;
  }
  mark.first = before->xnext;
  mark.last = GE_tail;
  bool inked = false;
  for (Drosa e = mark.first; e; e = e->xnext) {
    GEInkBox b;
    if (ge_ink_box(e, &b)) {
      if (!inked) mark.pstaff = ge_pstaff(e);
      mark.box =
          !inked ? b
                 : GEInkBox{std::min(mark.box.left, b.left), std::min(mark.box.bottom, b.bottom),
                            std::max(mark.box.right, b.right), std::max(mark.box.top, b.top)};
      inked = true;
    }
    if (e == mark.last) break;
  }
  if (!inked || mark.pstaff < 0 || mark.pstaff >= MAX_PSTAVES) return;
  // Runs that go on at the pen have no ink of their own: the text reaches as far as it is wide.
  if (mark.pdata && mark.pdata->get(xpagex2) != NOT_DRAWN)
    mark.box.right = std::max(mark.box.right, mark.pdata->get(xpagex2));
  mark.above =
      int64_t(mark.box.bottom) + mark.box.top > 2 * int64_t(staff_data[mark.pstaff].middle_y);
  marks_drawn.push_back(mark);
  const size_t drawn = marks_drawn.size() - 1;
  if (mark.movable) {
    move_clear(drawn);
    return;
  }
  // A mark that stays: the words it stands on move.
  const int32_t tolerance = space_of(mark.pstaff) / MEET_FIFTHS;
  for (size_t i = 0; i < drawn; ++i) {
    const DrawnMark& o = marks_drawn[i];
    if (o.movable && o.pstaff == mark.pstaff && o.above == mark.above &&
        meet(o, marks_drawn[drawn], tolerance))
      move_clear(i);
  }
}

// ---- Ties and slurs ---------------------------------------------------------------------------

namespace {

// A curve counts as the boxes of its stretches, so that words over its low end are not lifted
// over its middle.
constexpr int CURVE_STRETCHES = 8;

double bezier(const double (&v)[4], double t) {
  const double u = 1 - t;
  return u * u * u * v[0] + 3 * u * u * t * v[1] + 3 * u * t * t * v[2] + t * t * t * v[3];
}

void add_curve(Drosa e) {
  const int pstaff = e->get(xge_pstaff1);
  if (pstaff != e->get(xge_pstaff2) || pstaff < 0 || pstaff >= MAX_PSTAVES) return;
  GEInkBox whole;
  if (!ge_ink_box(e, &whole)) return;
  const double xs[4] = {double(e->get(xge_x1)), double(e->get(xgv_c1x)), double(e->get(xgv_c2x)),
                        double(e->get(xge_x2))};
  const double ys[4] = {double(e->get(xge_y1)), double(e->get(xgv_c1y)), double(e->get(xgv_c2y)),
                        double(e->get(xge_y2))};
  const int32_t pad = space_of(pstaff) / 5;  // a slur's middle is thick
  const bool above = int64_t(whole.bottom) + whole.top > 2 * int64_t(staff_data[pstaff].middle_y);
  for (int k = 0; k < CURVE_STRETCHES; ++k) {
    const double t0 = double(k) / CURVE_STRETCHES, t1 = double(k + 1) / CURVE_STRETCHES;
    const double x0 = bezier(xs, t0), x1 = bezier(xs, t1), y0 = bezier(ys, t0), y1 = bezier(ys, t1);
    DrawnMark m;
    m.pstaff = pstaff;
    m.above = above;
    m.movable = false;
    m.box = {int32_t(std::min(x0, x1)), int32_t(std::min(y0, y1)) - pad,
             int32_t(std::max(x0, x1)) + 1, int32_t(std::max(y0, y1)) + pad};
    marks_drawn.push_back(m);
  }
}

}  // namespace

void add_curve_marks() {
  for (Drosa e = slur_pass_first; e; e = e->xnext) {
    if (e->xkind == GE_CURVE) add_curve(e);
    if (e == slur_pass_last) break;
  }
}
