// printcd.cpp: drawing one staff chord that is not part of a beam: a rest, or the notes'
// heads, ledger lines, accidentals, dots and marks (chord_parts.cpp), then the stem with its
// flag, tremolo mark and grace slash. The chord's CDDATA extents grow by what is drawn, so
// that later passes (ties, marks, slurs) stack outside it.
//
// The stem runs from the head end (a stem-end offset of the head's shape) out past the far head
// by the normal stem length, reaching the middle line in the first layer. A stem is a line of
// the stem width at the stem x, drawn rightward from it; the screen copy of a stem going up and
// of its flag is snapped to whole pixels.
#include "graphics/printcd.h"

#include <algorithm>
#include <cmath>

#include "graphics/GE.h"
#include "graphics/chord_parts.h"
#include "graphics/glyph_tables.h"
#include "graphics/graphics_globals.h"
#include "graphics/note_colors.h"
#include "graphics/printbeam.h"
#include "layout/layout_services.h"
#include "params/param_services.h"

namespace {

constexpr int VAR_STEM_DOWN = 19, VAR_STEM_UP = 20, VAR_FLAG_UP = 49, VAR_FLAG_DOWN = 50;
constexpr int VAR_TREMOLO = 51, VAR_GRACE_SLASH = 75;
constexpr int STEM_UP = 2, STEM_NONE = 3;

bool valid_staff(int staff) { return staff >= 0 && staff < MAX_PSTAVES; }

// The staff a note is drawn on: its chord's, or the neighbouring one for a note moved there.
int drawing_staff(Drosa nt, int staff) {
  if (!nt->get(xother_staff)) return staff;
  const int other = nt->get(xstmdir) == STEM_UP ? staff - 1 : staff + 1;
  return valid_staff(other) ? other : staff;
}

// Step 3: a rest chord. A whole-measure or multi-measure rest waits for its measure's end.
int32_t print_rest(Drosa first, Drosa last, int staff, int flag, Drosa cd) {
  bool reported = false;
  for_chord_notes(first, last, [&](Drosa n) {
    if (n != first && n->get(xrest) && !reported) {
      REPORT_ERROR(4, "printcd.c: Two rests for same stem direction");
      reported = true;
    }
  });
  Drosa nt = note_ntdata(first);
  const int dir = nt->get(xstmdir);
  const int32_t y = nt->get(xhdy);
  if (cd) {
    set_min_loy(cd, dir, y - rest_descend_size(first, 0));
    set_max_hiy(cd, dir, y + rest_ascend_size(first, 0));
  }
  const int code = nt->get(xrestchar);
  if (code == 1 || code == 2) {
    if (valid_staff(staff) && flag >= 0 && flag < LAYERS)
      staff_data[staff].rest_group[flag] = first;
    return 1;
  }
  if (first->get(xhider) || first->get(xnotehead) == 7 || nt->get(xtabtyp) == 2) return 1;
  draw_notehead_char(first, staff);
  draw_dots(first, staff);
  return 1;
}

// Step 4: every note's parts, on its own drawing staff.
void print_notes(Drosa first, Drosa last, int staff) {
  for_chord_notes(first, last, [&](Drosa n) {
    const int s = drawing_staff(note_ntdata(n), staff);
    draw_tab_chord(n, s);
    drawacc(n, s);
    draw_note_marks(n, s);
    draw_dots(n, s);
    draw_ledger_lines(n, s);
    draw_notehead_char(n, s);
  });
}

// Step 6: where the stem of first..last ends, away from the heads (of height `head`).
int32_t stem_end(Drosa first, Drosa last, int staff, int flag, bool up, int32_t head) {
  Drosa fnt = note_ntdata(first), lnt = note_ntdata(last);
  const int value = first->get(xlgval);
  const int32_t stem = param_length(P_NORMAL_LENGTH_OF_NOTE_STEMS, first);
  const int32_t tremolo =
      first->get(xtremolo)
          ? param_length(value > 3 ? P_EXTEND_STEM_LENGTH_FOR_TREMOLO_ON_FLAGGED_NOTES
                                   : P_EXTEND_STEM_LENGTH_FOR_TREMOLO_ON_UNFLAGGED_NOTES,
                         first)
          : 0;
  const bool to_middle = !flag && !first->get(xgrace) && valid_staff(staff);
  // The other stem direction's notes of the staff chord, when it goes on after this stem.
  Drosa beyond = lnt->get(xendscd) ? NIL : lnt->get(xpnext);
  Drosa beyond_nt = note_ntdata(beyond);
  if (!up) {
    int32_t end = fnt->get(xhdy) - stem - tremolo;
    if (to_middle) end = std::min(end, staff_data[staff].middle_y);
    if (value > 3 && beyond_nt) end = std::min(end, beyond_nt->get(xhdy) - stem);
    return end;
  }
  int32_t end = lnt->get(xhdy) + stem + head + tremolo;
  if (to_middle) end = std::max(end, staff_data[staff].middle_y);
  if (value > 3 && beyond_nt) end = std::max(end, beyond_nt->get(xhdy) + stem + head);
  return end;
}

// A stem's x and width snapped to whole pixels at the current zoom.
struct SnappedStem {
  int32_t x, width;
  bool differs;
};

SnappedStem snap_stem(int32_t x, int32_t width) {
  const int32_t pixel = std::max<int32_t>(view_transform.one_pixel, 1);
  const int32_t sx = int32_t(std::lround(double(x) / pixel)) * pixel;
  const int32_t sw = std::max<int32_t>(1, int32_t(std::lround(double(width) / pixel))) * pixel;
  return {sx, sw, sx != x || sw != width};
}

// Steps 5 to 10: the stem, its flag, tremolo mark and grace slash.
void print_stem(Drosa first, Drosa last, int staff, int flag, Drosa cd) {
  Drosa fnt = note_ntdata(first), lnt = note_ntdata(last);
  const int dir = fnt->get(xstmdir), value = first->get(xlgval);
  const bool up = dir == STEM_UP;
  const int32_t head = param_length(P_NOTE_HEAD_HEIGHT, first);
  // The heads count in the chord's extents even without a stem.
  if (cd) {
    for_chord_notes(first, last, [&](Drosa n) {
      set_max_hiy(cd, dir, note_ntdata(n)->get(xhdy) + head);
      set_min_loy(cd, dir, note_ntdata(n)->get(xhdy));
    });
  }
  if (value <= 1 || first->get(xnostem) || fnt->get(xtabtyp) == 2 || dir == STEM_NONE) return;
  const int32_t x = fnt->get(xhdx) + fnt->get(xstemxoff);
  const int32_t start = up ? fnt->get(xhdy) + param_length(stem_end_offset_param(first, 0), first)
                           : lnt->get(xhdy) + param_length(stem_end_offset_param(last, 1), last);
  const int32_t end = stem_end(first, last, staff, flag, up, head);
  if (cd) {
    if (up)
      set_max_hiy(cd, dir, end);
    else
      set_min_loy(cd, dir, end);
  }
  const int32_t width = stem_line_width(first);
  const SnappedStem screen = snap_stem(x, width);
  if (value >= 4 && value <= 8) {
    const int glyph = (up ? 61 : 66) + value - 4;
    if (up)
      GEcharacter_screen(0, screen.x, end, staff, glyph, -1, VAR_FLAG_UP, first, screen.differs);
    GEcharacter(0, x, end, staff, glyph, -1, up ? VAR_FLAG_UP : VAR_FLAG_DOWN, first, 0);
  }
  draw_stem_line_of_width(first, staff, x, start, end, up ? VAR_STEM_UP : VAR_STEM_DOWN, up, width);
  if (first->get(xtremolo)) {
    const int32_t offset = tremolo_yoffset(first, 0);
    draw_tremolo_mark(first, staff, x, up ? end - offset : end + offset);
  }
  if (first->get(xgrace) && !first->get(xnoslash)) draw_grace_slash(first, staff, x, end, up, 0);
}

}  // namespace

int32_t stem_line_width(Drosa note) { return param_length(P_STEM_LINE_WIDTH, note); }

void draw_stem_line(Drosa note, int staff, int32_t x, int32_t y1, int32_t y2, int var, int twin) {
  draw_stem_line_of_width(note, staff, x, y1, y2, var, twin, stem_line_width(note));
}

void draw_stem_line_of_width(Drosa note, int staff, int32_t x, int32_t y1, int32_t y2, int var,
                             int twin, int32_t width) {
  const SnappedStem screen = snap_stem(x, width);
  if (twin && screen.differs)
    GEline_screen(0, screen.x, y1, staff, 0, screen.x, y2, staff, 0, screen.width, 0, 0, 0, 0, 0, 0,
                  note_color_index(note), var, note, 1);
  GEline(0, x, y1, staff, 0, x, y2, staff, 0, width, 0, 0, 0, 0, 0, 0, note_color_index(note), var,
         note);
}

void draw_tremolo_mark(Drosa note, int staff, int32_t x, int32_t y) {
  const int strokes = note->get(xtremolo);
  if (strokes < 1 || strokes > 3) return;
  Drosa nt = note_ntdata(note);
  if (nt && nt->get(xstmdir) == STEM_UP) y -= param_length(P_HEIGHT_GIVEN_FOR_TREMOLO, note);
  GEcharacter(0, x - param_length(P_X_OFFSET_FOR_CENTERING_TREMOLO_MARK_AROUND_STEM, note), y,
              staff, P_SINGLE_SLASH_TREMOLO_MARK - 1 + strokes, -1, VAR_TREMOLO, note, 0);
}

void draw_grace_slash(Drosa note, int staff, int32_t x, int32_t y, int up, int beamed) {
  const int base = beamed ? P_GRACE_BEAM_SLASH_X_OFFSET_FROM_END_OF_STEM
                          : P_GRACE_NOTE_SLASH_X_OFFSET_FROM_END_OF_STEM;
  const int32_t a = param_length(base, note), c = param_length(base + 2, note);
  int32_t b = param_length(base + 1, note), d = param_length(base + 3, note);
  if (!up) {
    b = -b;
    d = -d;
  }
  GEline(0, x + a, y + b, staff, 0, x + c, y + d, staff, 0,
         param_length(P_GRACE_NOTE_SLASH_LINE_WIDTH, note), 0, 0, 0, 0, 0, 0,
         note_color_index(note), VAR_GRACE_SLASH, note);
}

int32_t printcd(Drosa first, Drosa last, int staff, int flag) {
  Drosa fnt = note_ntdata(first);
  if (!fnt || !note_ntdata(last)) return 0;
  if (first->get(xlgval) > 3) {
    int continued_in = 0, continues_out = 0;
    beam_group_bounds(first, last, &continued_in, &continues_out);
    if (continued_in || continues_out) return printbeam(first, last, staff, flag);
  }
  Drosa cd = cddatptr(first, 1);
  if (cd) {
    if (fnt->get(xstmdir) == STEM_UP)
      cd->set(xcdupdraw, 0);
    else
      cd->set(xcddowndraw, 0);
  }
  if (first->get(xrest)) return print_rest(first, last, staff, flag, cd);
  print_notes(first, last, staff);
  print_stem(first, last, drawing_staff(fnt, staff), flag, cd);
  return 1;
}
