// marks_apart.cpp: the marks of a system's chords kept from standing on one another. Each is
// placed by its own offsets from its note, which know nothing of the marks of the notes beside
// it: words that run on past the next note meet its dynamic, a tempo mark at the end of a bar
// meets the tempo words at its start. Once a mark is drawn its ink is compared with the ink of
// the marks drawn before it on its staff, on its side; words (a tempo or rehearsal mark, an
// ornament, a bowing, a breath mark or a pause: a trill over the end of a slur) that meet
// another move away from the staff beyond it, as far as they must. A dynamic stays where
// words meet it, its hairpin beside it; so do pedal marks, syllables and lines (hairpins, and
// brackets: endings), and words at a note where a line begins. A trill line moves with its
// "tr", and an octave line with its words, as one sign or words. Note heads are in the way too:
// words the document places at one height stood on the heads of high or low notes. A dynamic
// or a hairpin moves off the notes of its staff alone (their heads, stems, beams, ties and
// slurs, and an accent or staccato it touches beside it); a dynamic and the hairpin going on
// from it in line move together.
#include "annotations/marks_apart.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "annotations/anno_classes.h"
#include "annotations/anno_globals.h"
#include "annotations/anno_services.h"
#include "annotations/anno_shapes.h"
#include "layout/layout_services.h"

namespace {

// Two marks meet when their inks overlap by more than a fifth of a space both ways; one moved
// clears the other by a quarter of a space.
constexpr int32_t MEET_FIFTHS = 5, CLEAR_QUARTERS = 4;
// A curve's stretch is kept a fifth of a space wider each way; one crosses a tuplet's number
// when its line reaches a tenth of a space into the number.
constexpr int32_t CURVE_PAD_FIFTHS = 5, CROSS_TENTHS = 10;
// A dynamic keeps a tenth of a space across from a mark of articulation beside it.
constexpr int32_t BESIDE_TENTHS = 10;
// A mark moved away from its staff by no more than a staff's height (in spaces) may come onto the
// next staff of its system, which moves away from it.
constexpr int64_t STAFF_SPACES = 4;
constexpr int VAR_HEAD = 46;  // the variety of a note's head
constexpr int VAR_BEAM = 17, VAR_BEAM_LINE = 18, VAR_STEM = 19, VAR_STEM_LAST = 22;
constexpr int VAR_TUPLET = 6, VAR_TUPLET_BRACKET = 82, VAR_LEDGER = 24, VAR_DOT = 47,
              VAR_ACCIDENTAL = 48, VAR_FLAG = 49, VAR_FLAG_LAST = 50;
constexpr int VAR_FERMATA = 36, VAR_STACCATO = 38;  // to VAR_STACCATO: fermatas, accents, dots

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

// Whether a line (not a hairpin, a trill line, nor an ending) begins at the note: words there
// may be its own. A trill line goes on from its "tr", wherever that is moved.
bool line_begins_at(Drosa note) {
  for (Drosa p = note->xback; p && p->xkind != NOTE; p = p->xback)
    if (p->xkind == LINE && p->get(xmetaline) != STYLE_HAIRPIN &&
        p->get(xmetaline) != STYLE_TRILL_LINE && !ending_number_of(p))
      return true;
  return false;
}

int32_t space_of(int pstaff) {
  const int32_t size = staff_data[pstaff].staff_size;
  return size > 0 ? size : 50;
}

bool meet(const DrawnMark& a, const DrawnMark& b, int32_t tolerance) {
  // A stem, or a ledger line, is thinner than the tolerance: it meets a mark it passes through.
  const bool narrow = b.stem || (b.note_part && b.box.right - b.box.left <= 2 * tolerance);
  const bool flat = b.note_part && b.box.top - b.box.bottom <= 2 * tolerance;
  const bool across =
      narrow ? b.box.right > a.box.left + tolerance && b.box.left < a.box.right - tolerance
             : std::min(a.box.right, b.box.right) - std::max(a.box.left, b.box.left) > tolerance;
  const bool up =
      flat ? b.box.top > a.box.bottom + tolerance && b.box.bottom < a.box.top - tolerance
           : std::min(a.box.top, b.box.top) - std::max(a.box.bottom, b.box.bottom) > tolerance;
  return across && up;
}

// What a mark moves beyond. A dynamic: the notes of its staff (heads, stems and beams, their
// ledger lines, flags, accidentals, dots, tuplet numbers and the marks of their articulation:
// staccatos, tenutos, accents, fermatas), its ties and slurs, and a dynamic drawn before it at
// its note (the p under an fp the document sets at one note). Words and
// signs: the marks of their staff and side, its note heads, the parts of its notes and its stems
// and beams; a sign the stems and beams of any staff, and their heads (notes may reach into the
// staff from the next one).
bool in_the_way(const DrawnMark& m, const DrawnMark& o) {
  if (m.dynamic || m.hairpin)
    return o.pstaff == m.pstaff && (o.head || o.stem || o.note_part || o.curve ||
                                    (m.dynamic && o.dynamic && o.note == m.note));
  if (o.stem) return m.sign || o.pstaff == m.pstaff;
  if (o.pstaff != m.pstaff) return o.head && m.sign;
  return o.above == m.above || o.head || o.note_part;
}

void shift(DrawnMark& m, int32_t dy) {
  ge_shift_elements(m.first, m.last, dy);
  m.box.bottom += dy;
  m.box.top += dy;
  for (Drosa pd : {m.pdata, m.line_pdata}) {
    if (!pd) continue;
    pd->set(xpagey1, pd->get(xpagey1) + dy);
    pd->set(xpagey2, pd->get(xpagey2) + dy);
  }
}

// Where the marks drawn on the system stand across it: for each staff and each stretch of x,
// the marks of the staff whose ink reaches into it, in the order drawn. Marks move only up and
// down (a hairpin cut short only ends sooner), so a mark stays listed wherever it may still
// reach.
constexpr int STRETCH_SHIFT = 8;          // stretches of 256 units
constexpr int64_t MOST_STRETCHES = 4096;  // a wider mark is compared with every mover
constexpr int EVERY_STAFF = -1;
struct Stretches {
  int64_t first = 0;  // the stretch of lists[0]
  size_t count = 0;   // lists[0 .. count) are in use; those after are empty, kept for their room
  std::vector<std::vector<uint32_t>> lists;
};
struct MarksAcross {
  size_t listed = 0;                 // marks_drawn[0 .. listed) are in
  std::vector<Stretches> staves;     // by pstaff
  std::vector<uint32_t> everywhere;  // too wide, its left past its right, or of no staff
  std::vector<uint32_t> hairpins, dynamics, texts;  // in the order drawn
  std::vector<uint32_t> movables;                   // the marks that move, in the order drawn
};
MarksAcross marks_across;

// The tuplet numbers of the system drawn without a bracket, in marks_drawn.
std::vector<uint32_t> loose_numbers;

// No mark listed. The lists keep their room: the next system lists as many marks.
void clear_listing() {
  for (Stretches& staff : marks_across.staves) {
    for (size_t k = 0; k < staff.count; ++k) staff.lists[k].clear();
    staff.count = 0;
  }
  marks_across.listed = 0;
  for (auto* list : {&marks_across.everywhere, &marks_across.hairpins, &marks_across.dynamics,
                     &marks_across.texts, &marks_across.movables})
    list->clear();
}

void list_across(uint32_t i) {
  if (marks_drawn[i].hairpin) marks_across.hairpins.push_back(i);
  if (marks_drawn[i].dynamic) marks_across.dynamics.push_back(i);
  if (marks_drawn[i].pdata) marks_across.texts.push_back(i);
  if (marks_drawn[i].movable) marks_across.movables.push_back(i);
  const GEInkBox& b = marks_drawn[i].box;
  const int pstaff = marks_drawn[i].pstaff;
  const int64_t from = int64_t(b.left) >> STRETCH_SHIFT, to = int64_t(b.right) >> STRETCH_SHIFT;
  if (b.left > b.right || to - from >= MOST_STRETCHES || pstaff < 0 || pstaff >= MAX_PSTAVES) {
    marks_across.everywhere.push_back(i);
    return;
  }
  if (marks_across.staves.size() <= size_t(pstaff)) marks_across.staves.resize(size_t(pstaff) + 1);
  Stretches& staff = marks_across.staves[size_t(pstaff)];
  auto& s = staff.lists;
  if (staff.count == 0) {
    staff.first = from;
  } else if (from < staff.first) {
    // Empty lists are brought round to the front.
    const size_t more = size_t(staff.first - from);
    if (s.size() < staff.count + more) s.resize(staff.count + more);
    std::rotate(s.begin(), s.begin() + ptrdiff_t(staff.count),
                s.begin() + ptrdiff_t(staff.count + more));
    staff.count += more;
    staff.first = from;
  }
  const size_t reach = size_t(to - staff.first + 1);
  if (reach > staff.count) {
    if (s.size() < reach) s.resize(reach);
    staff.count = reach;
  }
  for (int64_t k = from; k <= to; ++k) s[size_t(k - staff.first)].push_back(i);
}

// The marks that reach across where the mover stands, in the order they were drawn: marks move
// only up and down, so these are all it can meet wherever it moves (a system holds thousands of
// notes' parts; a mark reaches across a few of them).
void list_new_marks() {
  if (marks_across.listed > marks_drawn.size()) clear_listing();
  for (; marks_across.listed < marks_drawn.size(); ++marks_across.listed)
    list_across(uint32_t(marks_across.listed));
}

// Those of one staff (with the marks of no staff, or too wide to list), or of every staff.
std::vector<size_t> across_from(size_t mover, int pstaff = EVERY_STAFF) {
  list_new_marks();
  const GEInkBox& b = marks_drawn[mover].box;
  // A mark listed in several stretches is found once each: a bit per mark keeps them apart and
  // gives them back in the order drawn.
  thread_local std::vector<uint64_t> found;
  found.resize((marks_drawn.size() + 63) / 64);
  size_t low = found.size(), high = 0;
  auto take = [&](uint32_t i) {
    const GEInkBox& o = marks_drawn[i].box;
    if (i == mover || o.right <= b.left || o.left >= b.right) return;
    found[i / 64] |= uint64_t(1) << (i % 64);
    low = std::min<size_t>(low, i / 64);
    high = std::max<size_t>(high, i / 64);
  };
  for (uint32_t i : marks_across.everywhere) take(i);
  auto take_staff = [&](const Stretches& staff) {
    const auto& s = staff.lists;
    const int64_t last = staff.first + int64_t(staff.count) - 1;
    const int64_t from = std::max(int64_t(std::min(b.left, b.right)) >> STRETCH_SHIFT, staff.first);
    const int64_t to = std::min(int64_t(std::max(b.left, b.right)) >> STRETCH_SHIFT, last);
    for (int64_t k = from; k <= to; ++k)
      for (uint32_t i : s[size_t(k - staff.first)]) take(i);
  };
  if (pstaff == EVERY_STAFF) {
    for (const Stretches& staff : marks_across.staves) take_staff(staff);
  } else if (pstaff >= 0 && size_t(pstaff) < marks_across.staves.size()) {
    take_staff(marks_across.staves[size_t(pstaff)]);
  }
  std::vector<size_t> near;
  for (size_t w = low; w <= high && w < found.size(); ++w) {
    for (uint64_t bits = found[w]; bits; bits &= bits - 1)
      near.push_back(w * 64 + size_t(std::countr_zero(bits)));
    found[w] = 0;
  }
  return near;
}

// Moves the mark up (or down) beyond every mark of its staff and side it meets. Once it has
// moved it keeps clear of the rest as well: moved beyond a slur's steeper stretch, it would
// else land on the next, flatter one, within the tolerance of meeting it.
void move_beyond(size_t mover, bool up, const std::vector<size_t>& near) {
  DrawnMark& m = marks_drawn[mover];
  const int32_t space = space_of(m.pstaff);
  const int32_t tolerance = space / MEET_FIFTHS, clear = space / CLEAR_QUARTERS;
  bool moved_once = false;
  for (bool moved = true; moved;) {
    moved = false;
    for (size_t i : near) {
      const DrawnMark& o = marks_drawn[i];
      // Notes may reach into the staff from the next one (drawn across).
      if (!in_the_way(m, o)) continue;
      // Moved, the side it comes from reaches on by the room it keeps.
      DrawnMark reach = m;
      if (moved_once && up) reach.box.bottom -= clear + tolerance;
      if (moved_once && !up) reach.box.top += clear + tolerance;
      // A dynamic touching a note's accent or staccato beside it reads as one sign with it
      // ("ff>").
      if (m.dynamic && o.articulation) {
        reach.box.left -= tolerance + space / BESIDE_TENTHS;
        reach.box.right += tolerance + space / BESIDE_TENTHS;
      }
      if (!meet(reach, o, tolerance)) continue;
      shift(m, up ? o.box.top + clear - m.box.bottom : o.box.bottom - clear - m.box.top);
      moved = moved_once = true;
    }
  }
}

bool on_paper(const GEInkBox& box) { return box.bottom >= 0 && box.top <= layout_page_height(); }

// What a mark meets where it stands: the other marks and notes of the system, and the staves
// whose lines it reaches into.
struct Met {
  std::vector<size_t> marks;
  std::vector<int> staves;
  // Whether all this meets, the other met too.
  bool within(const Met& o) const {
    return std::includes(o.marks.begin(), o.marks.end(), marks.begin(), marks.end()) &&
           std::includes(o.staves.begin(), o.staves.end(), staves.begin(), staves.end());
  }
};

// What the mark `m` (a mover, or a copy of one as it stood) meets of the marks near it. The
// small marks of articulation are passed over: a mark moved beyond those of its own notes may
// come near those of the next staff's, close staves leave no room between them. Nothing of the
// staff `apart` counts: that staff moves away from what meets it.
Met met_by(const DrawnMark& m, const std::vector<size_t>& near, int apart = -1) {
  Met met;
  const int32_t tolerance = space_of(m.pstaff) / MEET_FIFTHS;
  for (size_t i : near)
    if (!marks_drawn[i].articulation && marks_drawn[i].pstaff != apart &&
        meet(m, marks_drawn[i], tolerance))
      met.marks.push_back(i);
  for (int p = std::max(first_pstaff, 0); p <= last_pstaff && p < MAX_PSTAVES; ++p) {
    if (p == apart) continue;
    const int32_t top = staff_top_y(p, 0), bottom = staff_bottom_y(p, 0);
    if (std::min(m.box.top, top) - std::max(m.box.bottom, bottom) > tolerance)
      met.staves.push_back(p);
  }
  return met;
}

// Moves the mark away from the staff beyond what is in its way, by as little as it must; the
// other way when that would take it off the paper (words the document sets at the page's foot)
// or onto what it did not meet where it stood (a mark of its own, or the notes or lines of a
// staff of another system). Else it stays. Moved away from its staff towards the next staff of
// its system, it may come onto that staff's notes, ties, marks and lines: the staves then stand
// apart for it (page_overlaps).
// Words standing on another mark (words under a dynamic) move beyond it wherever that takes
// them, as they always did: left where they were they could not be read. A hairpin (one way
// false) moves only away from its staff: over the staff it would leave the notes it is for.
// Only a sign has another staff's notes in its way: the way of any other mark is looked for
// among the marks of its staff. What the mark met where it stood, on any staff, is found only
// once it has moved: most marks meet nothing in their way and stay.
void move_clear(size_t mover, bool both_ways = true) {
  const DrawnMark where = marks_drawn[mover];
  const int32_t from = where.box.bottom;
  const bool up = where.above;
  const std::vector<size_t> in_way = across_from(mover, where.sign ? EVERY_STAFF : where.pstaff);
  std::vector<size_t> near;
  Met before;
  bool on_a_mark = false, before_known = false;
  // The staff of the system beyond the mark's own, on its side.
  const int beside = where.pstaff + (up ? -1 : 1);
  const int apart = beside >= first_pstaff && beside <= last_pstaff ? beside : -1;
  for (bool way : {up, !up}) {
    if (way != up && !both_ways) return;
    move_beyond(mover, way, in_way);
    if (marks_drawn[mover].box.bottom == from) return;
    if (!before_known) {
      near = where.sign ? in_way : across_from(mover);
      before = met_by(where, near);
      on_a_mark = std::any_of(before.marks.begin(), before.marks.end(), [](size_t i) {
        const DrawnMark& o = marks_drawn[i];
        return !o.head && !o.stem && !o.note_part && !o.curve;
      });
      before_known = true;
    }
    // The next staff moves away by as much as the staff is high, at most.
    const bool near_move = int64_t(std::abs(marks_drawn[mover].box.bottom - from)) <=
                           int64_t(space_of(where.pstaff)) * STAFF_SPACES;
    const int moved_apart = way == up && near_move ? apart : -1;
    if (on_paper(marks_drawn[mover].box) &&
        (on_a_mark || met_by(marks_drawn[mover], near, moved_apart).within(before)))
      return;
    shift(marks_drawn[mover], from - marks_drawn[mover].box.bottom);
  }
}

// The ink of an element. A text run that goes on at the pen has none of its own: measured at
// the start of the run before it, it gives how far it reaches up and down (its letters of the
// music font stand taller than the text font's before them, the f of "sf").
bool ink_of(Drosa e, int32_t run_x, int32_t run_y, GEInkBox* box) {
  if (e->xkind != GE_CHAR || e->get(xgc_x) != ADJACENT_TEXT) return ge_ink_box(e, box);
  e->set(xgc_x, run_x), e->set(xgc_y, run_y);
  const bool inked = ge_ink_box(e, box);
  e->set(xgc_x, ADJACENT_TEXT), e->set(xgc_y, ADJACENT_TEXT);
  box->left = box->right = run_x;  // across, the text reaches as far as it is wide
  return inked;
}

// ---- Dynamics and their hairpins ---------------------------------------------------------------

// Whether two marks of a staff stand in line, `left` beginning first and reaching to within two
// spaces of where `right` begins.
bool in_line_before(const GEInkBox& left, const GEInkBox& right, int pstaff) {
  return left.bottom < right.top && left.top > right.bottom && left.left < right.left &&
         left.right > right.left - 2 * space_of(pstaff);
}

GEInkBox where_drawn(const DrawnMark& m) {
  return {m.box.left, m.box.bottom - m.moved, m.box.right, m.box.top - m.moved};
}

// Moves a mark by dy when it meets nothing there it did not meet where it stood.
void shift_if_clear(size_t i, int32_t dy) {
  const std::vector<size_t> near = across_from(i);
  const Met before = met_by(marks_drawn[i], near);
  shift(marks_drawn[i], dy);
  if (on_paper(marks_drawn[i].box) && met_by(marks_drawn[i], near).within(before)) {
    marks_drawn[i].moved += dy;
    return;
  }
  shift(marks_drawn[i], -dy);
}

// Whether a dynamic stands on the base line of words (which stood at y).
bool on_one_base_line(const DrawnMark& dynamic, const DrawnMark& words, int32_t y) {
  return dynamic.pdata && words.pdata &&
         std::abs(int64_t(dynamic.pdata->get(xpagey1)) - y) <= space_of(dynamic.pstaff) / 4;
}

// A dynamic that stays, drawn after words going on from it in line on its base line that moved
// (the words of "p cresc." written first), follows them when that lands it on nothing new.
void follow_words(size_t d) {
  const DrawnMark& m = marks_drawn[d];
  for (uint32_t i : marks_across.texts) {
    if (i >= d) return;
    const DrawnMark& w = marks_drawn[i];
    if (!w.movable || w.sign || !w.moved || w.pstaff != m.pstaff || w.above != m.above ||
        !in_line_before(m.box, where_drawn(w), m.pstaff) ||
        !on_one_base_line(m, w, w.pdata ? w.pdata->get(xpagey1) - w.moved : 0))
      continue;
    shift_if_clear(d, w.moved);
    return;
  }
}

// A dynamic between the staves standing on a tie or slur of the staff beyond moves towards its
// own staff, clear of the curve, when that lands it on nothing new. A slur arched over the
// beams the staff reaches across with does not move away when the staves part: it rises with
// those beams.
void off_curves_beyond(size_t d) {
  const DrawnMark& m = marks_drawn[d];
  const int beyond = m.pstaff + (m.above ? -1 : 1);
  if (beyond < first_pstaff || beyond > last_pstaff) return;
  const int32_t space = space_of(m.pstaff);
  const int32_t tolerance = space / MEET_FIFTHS, clear = space / CLEAR_QUARTERS;
  int32_t dy = 0;
  for (size_t i : across_from(d, beyond)) {
    const DrawnMark& o = marks_drawn[i];
    if (!o.curve || o.pstaff != beyond || !meet(m, o, tolerance)) continue;
    dy = m.above ? std::min(dy, o.box.bottom - clear - m.box.top)
                 : std::max(dy, o.box.top + clear - m.box.bottom);
  }
  if (dy) shift_if_clear(d, dy);
}

// A dynamic at the end of a hairpin keeps in line with it, moved or not. Another moves off the
// notes of its staff, and the hairpins drawn before it that go on from it in line follow.
void place_dynamic(size_t d) {
  const DrawnMark m = marks_drawn[d];
  list_new_marks();
  const std::vector<uint32_t>& hairpins = marks_across.hairpins;
  for (size_t k = 0; k < hairpins.size() && hairpins[k] < d; ++k) {
    const DrawnMark& h = marks_drawn[hairpins[k]];
    if (h.pstaff != m.pstaff || !in_line_before(where_drawn(h), m.box, m.pstaff)) continue;
    if (h.moved) shift_if_clear(d, h.moved);
    return;
  }
  move_clear(d);
  if (marks_drawn[d].box.bottom == m.box.bottom) follow_words(d);
  if (marks_drawn[d].box.bottom == m.box.bottom) off_curves_beyond(d);
  const int32_t dy = marks_drawn[d].box.bottom - m.box.bottom;
  if (!dy) return;
  marks_drawn[d].moved = dy;
  for (size_t k = 0; k < hairpins.size() && hairpins[k] < d; ++k) {
    const size_t i = hairpins[k];
    const DrawnMark& h = marks_drawn[i];
    if (h.pstaff == m.pstaff && !h.moved && in_line_before(m.box, h.box, m.pstaff))
      shift_if_clear(i, dy);
  }
}

// Words that moved off what they stood on ("cresc." off a tie) after a dynamic they went on
// from in line on their base line ("p cresc.") take the dynamic along, and the hairpins going on
// from it, when that lands them on nothing new: the two read as one direction on one base line.
void keep_words_with_dynamic(size_t words, const GEInkBox& stood) {
  DrawnMark& w = marks_drawn[words];
  const int32_t dy = w.box.bottom - stood.bottom;
  w.moved += dy;
  if (!dy || w.sign) return;
  list_new_marks();
  const std::vector<uint32_t>& dynamics = marks_across.dynamics;
  for (size_t k = 0; k < dynamics.size() && dynamics[k] < words; ++k) {
    const size_t d = dynamics[k];
    const DrawnMark m = marks_drawn[d];
    if (m.pstaff != w.pstaff || m.above != w.above || !in_line_before(m.box, stood, m.pstaff) ||
        !on_one_base_line(m, w, w.pdata ? w.pdata->get(xpagey1) - dy : 0))
      continue;
    shift_if_clear(d, dy);
    if (marks_drawn[d].box.bottom == m.box.bottom) return;
    const std::vector<uint32_t>& hairpins = marks_across.hairpins;
    for (size_t h = 0; h < hairpins.size() && hairpins[h] < words; ++h) {
      const DrawnMark& pin = marks_drawn[hairpins[h]];
      if (pin.pstaff == m.pstaff && in_line_before(m.box, pin.box, m.pstaff))
        shift_if_clear(hairpins[h], dy);
    }
    return;
  }
}

// A hairpin going on in line from a dynamic of its note that moved moves with it. Another
// moves off the notes of its staff (beams, tuplet brackets, slurs) as a dynamic does, and a
// dynamic of its note it goes on from in line follows.
void place_hairpin(size_t h) {
  const DrawnMark hairpin = marks_drawn[h];
  size_t from = h;  // the dynamic it goes on from
  list_new_marks();
  const std::vector<uint32_t>& dynamics = marks_across.dynamics;
  for (size_t k = 0; k < dynamics.size() && dynamics[k] < h; ++k) {
    const size_t i = dynamics[k];
    const DrawnMark& d = marks_drawn[i];
    if (d.note != hairpin.note || d.pstaff != hairpin.pstaff ||
        !in_line_before(where_drawn(d), hairpin.box, d.pstaff))
      continue;
    if (d.moved) {
      shift_if_clear(h, d.moved);
      return;
    }
    from = i;
  }
  move_clear(h, false);
  const int32_t dy = marks_drawn[h].box.bottom - hairpin.box.bottom;
  marks_drawn[h].moved = dy;
  if (dy && from < h) shift_if_clear(from, dy);
}

// The words an octave line's first segment goes on from ("8va"): the text before its note,
// before the line; NIL for another line or segment.
Drosa octave_words_of(Drosa line) {
  static const char* const words[] = {"8va", "8vb", "15ma", "15mb", "22ma", "22mb"};
  const int role = line->get(xline_ord);
  if (line->get(xmetaline) != STYLE_RIGHT_BRACKET || !line->get(xdashlth) ||
      (role != LINE_WHOLE && role != LINE_BEGIN))
    return NIL;
  for (Drosa p = line->xback; p && p->xkind != NOTE && p->xkind != ENDSYST; p = p->xback) {
    if (p->xkind != TPARAM || p->get(xadjacent)) continue;
    const std::string text = anno_run_text(p);
    for (const char* w : words)
      if (text == w) return p;
    return NIL;
  }
  return NIL;
}

// A trill line moves off what it stands on as a sign does, and the "tr" it goes on from (its
// mark `sign`, drawn before it) with it: the two move as one. So does an octave line with its
// words, as words do.
void place_trill_line(size_t line, size_t sign) {
  list_new_marks();  // where they stand across the system, before their boxes change
  DrawnMark& m = marks_drawn[line];
  const GEInkBox own = m.box;
  GEInkBox sign_box{};
  if (sign < line) {
    sign_box = marks_drawn[sign].box;
    m.box = {std::min(own.left, sign_box.left), std::min(own.bottom, sign_box.bottom),
             std::max(own.right, sign_box.right), std::max(own.top, sign_box.top)};
    marks_drawn[sign].box = {INT32_MIN, 0, INT32_MIN, 0};  // met by nothing while they move
  }
  const int32_t from = marks_drawn[line].box.bottom;
  move_clear(line);
  const int32_t dy = marks_drawn[line].box.bottom - from;
  marks_drawn[line].box = {own.left, own.bottom + dy, own.right, own.top + dy};
  if (sign >= line) return;
  marks_drawn[sign].box = sign_box;
  if (dy) shift(marks_drawn[sign], dy);
}

// The first element of the system's drawing (what the systems above drew is not walked again:
// a page of many systems would walk its first ones for every system), and the note that owns
// it, named by the last NOTEPTR before it.
Drosa system_drawing_start(Drosa* owner) {
  *owner = NIL;
  if (!GE_head) return NIL;
  Drosa before = system_drawn_after ? system_drawn_after : GE_head;
  for (Drosa p = before; p && p != GE_head; p = p->xback)
    if (p->xkind == NOTEPTR) {
      *owner = p->get(xnoteptr);
      break;
    }
  return before->xnext;
}

}  // namespace

void begin_marks_apart() {
  marks_drawn.clear();
  clear_listing();
  loose_numbers.clear();
  Drosa owner, bracketed = NIL;  // the note whose tuplet bracket was drawn last
  const Drosa start = system_drawing_start(&owner);
  bool owner_sounds = owner && owner->xkind == NOTE && !owner->get(xrest);  // not a rest
  for (Drosa e = start; e; e = e->xnext) {
    if (e->xkind == NOTEPTR) {
      owner = e->get(xnoteptr);
      owner_sounds = owner && owner->xkind == NOTE && !owner->get(xrest);
    }
    if (!owner_sounds) continue;
    const int var = e->xkind == GE_LINE ? e->get(xgl_var) : -1;
    const int glyph_var = e->xkind == GE_CHAR ? e->get(xgc_var) : -1;
    const bool stem =
        var == VAR_BEAM || var == VAR_BEAM_LINE || (var >= VAR_STEM && var <= VAR_STEM_LAST);
    const bool articulation = glyph_var >= VAR_FERMATA && glyph_var <= VAR_STACCATO;
    const bool part = var == VAR_LEDGER || var == VAR_TUPLET_BRACKET || glyph_var == VAR_TUPLET ||
                      glyph_var == VAR_DOT || glyph_var == VAR_ACCIDENTAL ||
                      glyph_var == VAR_FLAG || glyph_var == VAR_FLAG_LAST || articulation;
    if (!stem && !part && glyph_var != VAR_HEAD) continue;
    DrawnMark head;
    head.pstaff = ge_pstaff(e);
    if (head.pstaff < first_pstaff || head.pstaff > last_pstaff || !ge_ink_box(e, &head.box))
      continue;
    head.movable = false;
    head.head = !stem && !part;
    head.stem = stem;
    head.note_part = part;
    head.articulation = articulation;
    if (var == VAR_TUPLET_BRACKET) bracketed = owner;
    if (glyph_var == VAR_TUPLET && owner != bracketed) {
      // A number alone moves as a mark does: its ink is the one element.
      head.first = head.last = e;
      head.above =
          int64_t(head.box.bottom) + head.box.top > 2 * int64_t(staff_data[head.pstaff].middle_y);
      loose_numbers.push_back(uint32_t(marks_drawn.size()));
    }
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
    mark.dynamic = klass == CLASS_DYNAMIC;
    Drosa pd = head->xnext;
    if (pd && pd->xkind == PDATA) mark.pdata = pd;
  } else {
    const int style = head->get(xmetaline);
    if (head->xkind != LINE ||
        (style != STYLE_HAIRPIN && style != STYLE_TRILL_LINE && style != STYLE_PEDAL_LINE &&
         (style < STYLE_PLAIN_BRACKET || style > STYLE_LEFT_BRACKET)))
      return;
    mark.movable = false;
    mark.hairpin = style == STYLE_HAIRPIN;
    mark.sign = style == STYLE_TRILL_LINE;
    Drosa pd = head->xnext;
    if (pd && pd->xkind == PDATA) mark.line_pdata = pd;
  }
  mark.note = note;
  mark.first = before->xnext;
  mark.last = GE_tail;
  bool inked = false;
  int32_t run_x = 0, run_y = 0;  // where the last text run began
  for (Drosa e = mark.first; e; e = e->xnext) {
    GEInkBox b;
    if (e->xkind == GE_CHAR && e->get(xgc_x) != ADJACENT_TEXT)
      run_x = e->get(xgc_x), run_y = e->get(xgc_y);
    if (ink_of(e, run_x, run_y, &b)) {
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
  // Their letters stand on the base line.
  if (mark.pdata && mark.pdata->get(xpagex2) != NOT_DRAWN) {
    mark.box.right = std::max(mark.box.right, mark.pdata->get(xpagex2));
    mark.box.bottom = std::min(mark.box.bottom, mark.pdata->get(xpagey1));
  }
  mark.above =
      int64_t(mark.box.bottom) + mark.box.top > 2 * int64_t(staff_data[mark.pstaff].middle_y);
  marks_drawn.push_back(mark);
  const size_t drawn = marks_drawn.size() - 1;
  if (mark.movable) {
    move_clear(drawn);
    keep_words_with_dynamic(drawn, mark.box);
    return;
  }
  if (mark.sign && head->xkind == LINE) {
    Drosa sign = trill_sign_drawn(head, note, mark.pstaff);
    size_t at = drawn;
    for (size_t i = 0; i < drawn && sign; ++i)
      if (marks_drawn[i].pdata == sign->xnext) at = i;
    place_trill_line(drawn, at);
    return;
  }
  if (Drosa words = head->xkind == LINE ? octave_words_of(head) : NIL) {
    size_t at = drawn;
    for (size_t i = 0; i < drawn; ++i)
      if (marks_drawn[i].pdata == words->xnext && marks_drawn[i].pstaff == mark.pstaff) at = i;
    if (at < drawn) {
      place_trill_line(drawn, at);
      return;
    }
  }
  if (mark.dynamic) place_dynamic(drawn);
  if (mark.hairpin) place_hairpin(drawn);
  // A mark that stays: the words it stands on move (only those reaching across it can: the
  // marks that move are few beside the notes' parts, and are looked at alone).
  const int32_t tolerance = space_of(mark.pstaff) / MEET_FIFTHS;
  list_new_marks();
  const GEInkBox& b = marks_drawn[drawn].box;
  for (uint32_t i : marks_across.movables) {
    const DrawnMark& o = marks_drawn[i];
    if (i == drawn || o.box.right <= b.left || o.box.left >= b.right) continue;
    if (o.pstaff == mark.pstaff && o.above == mark.above &&
        meet(o, marks_drawn[drawn], tolerance)) {
      const GEInkBox stood = o.box;
      move_clear(i);
      keep_words_with_dynamic(i, stood);
    }
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
  const int32_t pad = space_of(pstaff) / CURVE_PAD_FIFTHS;  // a slur's middle is thick
  const bool above = int64_t(whole.bottom) + whole.top > 2 * int64_t(staff_data[pstaff].middle_y);
  for (int k = 0; k < CURVE_STRETCHES; ++k) {
    const double t0 = double(k) / CURVE_STRETCHES, t1 = double(k + 1) / CURVE_STRETCHES;
    const double x0 = bezier(xs, t0), x1 = bezier(xs, t1), y0 = bezier(ys, t0), y1 = bezier(ys, t1);
    DrawnMark m;
    m.pstaff = pstaff;
    m.above = above;
    m.movable = false;
    m.curve = true;
    m.box = {int32_t(std::min(x0, x1)), int32_t(std::min(y0, y1)) - pad,
             int32_t(std::max(x0, x1)) + 1, int32_t(std::max(y0, y1)) + pad};
    marks_drawn.push_back(m);
  }
}

}  // namespace

const std::vector<uint32_t>& hairpins_drawn() {
  list_new_marks();
  return marks_across.hairpins;
}

const std::vector<uint32_t>& texts_drawn() {
  list_new_marks();
  return marks_across.texts;
}

void forget_marks_drawn() {
  marks_drawn.clear();
  loose_numbers.clear();
  marks_across = MarksAcross{};
}

void add_curve_marks() {
  for (Drosa e = slur_pass_first; e; e = e->xnext) {
    if (e->xkind == GE_CURVE) add_curve(e);
    if (e == slur_pass_last) break;
  }
  // A tuplet's number with no bracket is placed by its chords alone, before a slur over them
  // is drawn (a bracket is drawn beyond the slur already). One the slur runs through (not one
  // it only touches), moves in under it when it touches nothing there and reaches no further
  // into a staff, else beyond it as words do.
  for (uint32_t i : loose_numbers) {
    const DrawnMark where = marks_drawn[i];
    const GEInkBox& n = where.box;
    const int32_t space = space_of(where.pstaff), tolerance = space / MEET_FIFTHS;
    bool crossed = false;
    std::vector<size_t> curves;
    for (size_t k : across_from(i, where.pstaff)) {
      const DrawnMark& o = marks_drawn[k];
      if (!o.curve || o.above != where.above || !meet(where, o, tolerance)) continue;
      curves.push_back(k);
      // The stretch's line itself, without the room kept for its width.
      const int32_t pad = space / CURVE_PAD_FIFTHS;
      crossed |= std::min(n.top, o.box.top - pad) - std::max(n.bottom, o.box.bottom + pad) >
                 space / CROSS_TENTHS;
    }
    if (!crossed) continue;
    const std::vector<size_t> near = across_from(i);
    const Met before = met_by(where, near);
    move_beyond(i, !where.above, curves);
    const GEInkBox& b = marks_drawn[i].box;
    if (on_paper(b) && met_by(marks_drawn[i], {}).within(before) &&
        std::none_of(near.begin(), near.end(), [&](size_t k) {
          const GEInkBox& o = marks_drawn[k].box;
          return std::min(b.right, o.right) > std::max(b.left, o.left) &&
                 std::min(b.top, o.top) > std::max(b.bottom, o.bottom);
        }))
      continue;
    shift(marks_drawn[i], where.box.bottom - marks_drawn[i].box.bottom);
    move_clear(i);
  }
}
