// line_annos.cpp: line annotations that run over several systems and pages.
//
// Such a line is a BEGLINE before its first note and an ENDLINE before its last, in the same
// voice; the systems between show a MIDLINE, a copy laid across the system by the annotation
// pass and taken out again. Nothing links the two segments but their heights: equal xstarty
// and xendy, with no other segment of those heights between them. So a segment whose partner
// was deleted or changed by itself simply has none: it is not drawn, and the user is told once.
//
// Design notes:
//  - The ends a segment gets on its system are written into the line itself during the format
//    (never recorded for undo): they follow from the layout alone, and a second format writes
//    the same values.
//  - The mouse loops draw their feedback by exclusive-or into the page image, so that drawing
//    it again takes it away; the page is formatted again once the line is made.
#include "annotations/line_annos.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <unordered_set>

#include "annotations/anno_classes.h"
#include "annotations/anno_fields.h"
#include "annotations/anno_globals.h"
#include "annotations/anno_runs.h"
#include "annotations/anno_services.h"
#include "annotations/anno_shapes.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"
#include "platform/port.h"
#include "platform/window.h"

namespace {

bool is_segment(Drosa node, int role) {
  return node && effective_kind(node) == LINE && node->get(xline_eocvar) == 0 &&
         node->get(xline_ord) == role;
}

bool same_heights(Drosa a, Drosa b) {
  return a->get(xstarty) == b->get(xstarty) && a->get(xendy) == b->get(xendy);
}

int32_t clamp_i32(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// Writes a field only when its value changes.
template <typename Field>
void set_if_changed(Drosa node, const Field& field, int32_t value) {
  if (node->get(field) != value) node->set(field, value);
}

const char* style_group(Drosa line) {
  const int style = line->get(xmetaline);
  return style == STYLE_PLAIN_LINE ? "line" : style == STYLE_HAIRPIN ? "hairpin" : "bracket";
}

int32_t head_x(Drosa note) {
  Drosa nt = note_ntdata(note);
  return nt ? nt->get(xhdx) : 0;
}

// A segment that has lost its other segment is not drawn. The user hears of the first one a
// piece holds, once while the program runs: every page drawn again, each staff's copy and
// every reopening would say it again otherwise.
void report_lost_partner(Drosa line, Drosa chord) {
  if (!unpaired_lines_said.insert(piece_fsspec).second) return;
  const bool begins = line->get(xline_ord) == LINE_BEGIN;
  REPORT_ERROR(2,
               "The %s that %s in bar %d has lost its %s, and is not drawn. Select its start, then "
               "the note where it is to end, and use Extend Line To Here. Other lines of this "
               "piece that have lost a part are not drawn either, without a further message.",
               style_group(line), begins ? "begins" : "ends", int(bar_number_of_node(chord)),
               begins ? "end" : "start");
}

// Where the time of a chord ends on its staff: at the bar line after it or the head of the next
// chord standing after it, whichever comes first; the staff's end at the system's end.
int64_t time_end_x(Drosa chord, int pstaff) {
  const int64_t x = head_x(chord);
  for (Drosa p = chord_end_note(chord)->xnext; p; p = p->xnext) {
    const int kind = effective_kind(p);
    if (kind == ENDSYST) break;
    if (kind == BAR && p->get(xbarx) != NOT_DRAWN && p->get(xbarx) > x) return p->get(xbarx);
    if (kind == NOTE && note_ntdata(p) && head_x(p) > x) return head_x(p);
  }
  return staff_right_x(pstaff, current_page);
}

// Where a line over the chord's time ends: a little before the bar line or the next chord; a
// trill line twice as far, clear of a "tr" centred over the next chord.
int64_t time_reach_x(Drosa line, Drosa chord, int pstaff) {
  const int gaps = line->get(xmetaline) == STYLE_TRILL_LINE ? 2 : 1;
  return time_end_x(chord, pstaff) -
         gaps * param_length(P_X_OFFSET_FOR_CLIPPING_HAIRPINS_LINES_AT_RIGHT_END_OF_STAFF, chord,
                             nullptr);
}

// Whether a line ends over the time of the chord it ends at: a trill line's wiggles, and a
// pedal line released at the next chord or the bar line.
bool ends_over_time(Drosa line) {
  const int style = line->get(xmetaline);
  return style == STYLE_TRILL_LINE || style == STYLE_PEDAL_LINE;
}

// A BEGLINE whose ENDLINE is on the same system reaches the ENDLINE's end. One whose ENDLINE
// stands at its own chord (a document stops it after that chord, at the end of its measure)
// reaches over the chord's time, to the bar line or the next chord; a trill line over the time
// of the chord it ends at, and a pedal line.
void reach_partner(Drosa line, Drosa chord, int pstaff, Drosa partner) {
  Drosa next = partner;
  while (next && next->xkind != NOTE) next = next->xnext;
  if (!next || !is_visible_note(next)) return;
  const int64_t x = head_x(chord), next_x = head_x(next);
  int64_t reach = next_x + partner->get(xstartx) + partner->get(xendx);
  if (ends_over_time(line))
    reach = time_reach_x(line, next, pstaff);
  else if (next_x <= x)
    reach = time_reach_x(line, chord, pstaff);
  int32_t end = clamp_i32(reach - x - line->get(xstartx));
  // A hairpin whose start stands after a mark at a note close to its end would reach back, or
  // be too short to read: it reaches twice the shortest line past its start, but not into a
  // dynamic at its end (its partner stops before that) nor into a hairpin beginning there.
  const int32_t shortest =
      2 * param_length(P_MINIMUM_SPACE_BETWEEN_NORMAL_NOTE_AND_NEXT_CHORD, chord, nullptr);
  if (line->get(xmetaline) == STYLE_HAIRPIN && end < shortest) {
    int64_t room = INT64_MAX;  // the last x it may reach
    for (Drosa p = next->xback; p && p->xkind != NOTE; p = p->xback) {
      if (p->xkind == TPARAM && p->get(xclassify) == CLASS_DYNAMIC) room = std::min(room, reach);
      if (p != line && is_segment(p, LINE_BEGIN) && p->get(xmetaline) == STYLE_HAIRPIN)
        room = std::min(
            room, next_x + p->get(xstartx) -
                      param_length(P_X_OFFSET_FOR_CLIPPING_HAIRPINS_LINES_AT_RIGHT_END_OF_STAFF,
                                   chord, nullptr));
    }
    const int64_t longest = room - x - line->get(xstartx);
    end = longest > 0 && longest < shortest ? std::max(end, int32_t(longest)) : shortest;
  }
  set_if_changed(line, xendx, end);
  set_if_changed(line, xc2x, clamp_i32(int64_t(end) + GE_BOX_MARGIN));
}

// A line ending on its system ends where a line going on to the next is clipped, at the latest:
// one drawn at the last note of a system (a hairpin to its bar's end) ran past the staff.
void end_by_staff_end(Drosa line, Drosa chord, int pstaff) {
  const int64_t visible_end =
      int64_t(staff_right_x(pstaff, current_page)) -
      param_length(P_X_OFFSET_FOR_CLIPPING_HAIRPINS_LINES_AT_RIGHT_END_OF_STAFF, chord, nullptr);
  const int64_t length = visible_end - (head_x(chord) + int64_t(line->get(xstartx)));
  if (length <= 0 || line->get(xendx) <= length) return;
  set_if_changed(line, xendx, clamp_i32(length));
  set_if_changed(line, xc2x, clamp_i32(length + GE_BOX_MARGIN));
}

double extension(Drosa chord) {
  return param_value(P_AMOUNT_TO_EXTEND_CLIPPED_HAIRPINS_LINES_BEYOND_STAFF, chord, nullptr)
      ->real();
}

// A BEGLINE whose ENDLINE is on a later system: clipped before the staff's right end.
int clip_at_staff_end(Drosa line, Drosa chord, int pstaff) {
  const int64_t visible_end =
      int64_t(staff_right_x(pstaff, current_page)) -
      param_length(P_X_OFFSET_FOR_CLIPPING_HAIRPINS_LINES_AT_RIGHT_END_OF_STAFF, chord, nullptr);
  const int64_t length = visible_end - (head_x(chord) + int64_t(line->get(xstartx)));
  if (length < param_length(P_MINIMUM_SPACE_BETWEEN_NORMAL_NOTE_AND_NEXT_CHORD, chord, nullptr))
    return 0;
  set_if_changed(line, xc2x, clamp_i32(length));
  set_if_changed(line, xendx, clamp_i32(int64_t((1 + extension(chord)) * double(length))));
  return 1;
}

// An ENDLINE whose BEGLINE is on an earlier system: it starts after the staff's left end, and
// after the signs drawn there; a trill line's ends over the time of its chord.
int clip_at_staff_start(Drosa line, Drosa chord, int p) {
  const int64_t visible_start = std::max<int64_t>(
      int64_t(staff_left_x(p, current_page)) +
          param_length(P_X_OFFSET_FOR_CLIPPING_HAIRPINS_LINES_AT_LEFT_END_OF_STAFF, chord, nullptr),
      staff_data[p].signs_end_x);
  const int64_t end = ends_over_time(line)
                          ? time_reach_x(line, chord, p)
                          : head_x(chord) + int64_t(line->get(xstartx)) + line->get(xendx);
  const int64_t length = end - visible_start;
  if (length < param_length(P_MINIMUM_SPACE_BETWEEN_NORMAL_NOTE_AND_NEXT_CHORD, chord, nullptr))
    return 0;
  const int64_t geometric = int64_t((1 + extension(chord)) * double(length));
  const int64_t start = end - geometric - head_x(chord);
  set_if_changed(line, xstartx, clamp_i32(start));
  set_if_changed(line, xendx, clamp_i32(geometric));
  set_if_changed(line, xc1x, clamp_i32(visible_start - (head_x(chord) + start)));
  set_if_changed(line, xc2x, clamp_i32(geometric + GE_BOX_MARGIN));
  return 1;
}

}  // namespace

// ---- Segments -------------------------------------------------------------------------------

Drosa line_end_after(Drosa line, Drosa mark, bool* crossed, bool* passed) {
  for (Drosa p = line->xnext; p; p = p->xnext) {
    if (crossed && effective_kind(p) == ENDSYST) *crossed = true;
    if (passed && p == mark) *passed = true;
    if (effective_kind(p) != LINE || p->get(xline_eocvar) || !same_heights(p, line)) continue;
    if (p->get(xline_ord) == LINE_END) return p;
    if (p->get(xline_ord) == LINE_BEGIN) return NIL;
  }
  return NIL;
}

int line_geometry(Drosa line, Drosa* partner, int* same_system) {
  Drosa found = NIL;
  bool crossed = false;
  int result = 1;
  if (is_segment(line, LINE_END)) {
    result = 0;
    for (Drosa p = line->xback; p; p = p->xback) {
      if (effective_kind(p) == ENDSYST) crossed = true;
      if (effective_kind(p) != LINE || p->get(xline_eocvar) || !same_heights(p, line)) continue;
      if (p->get(xline_ord) == LINE_BEGIN) found = p;
      // Another ENDLINE of these heights between them would be the BEGLINE's own.
      if (p->get(xline_ord) == LINE_BEGIN || p->get(xline_ord) == LINE_END) break;
    }
  } else if (is_segment(line, LINE_BEGIN)) {
    found = line_end_after(line, NIL, &crossed, nullptr);
  }
  if (partner) *partner = found;
  if (same_system) *same_system = found && crossed ? 0 : 1;
  return result;
}

Drosa line_geometry_wrapper(Drosa line) {
  Drosa partner = NIL;
  line_geometry(line, &partner, nullptr);
  return partner;
}

int layout_lines(Drosa line, Drosa first_note) {
  Drosa partner = NIL;
  int same = 1;
  if (!is_segment(line, LINE_BEGIN)) return 0;
  line_geometry(line, &partner, &same);
  if (!partner || same) return 0;
  bool past_first = false;
  for (Drosa p = line->xnext; p && p != partner; p = p->xnext) {
    if (p == first_note)
      past_first = true;
    else if (past_first && effective_kind(p) == ENDSYST)
      return 1;
  }
  return 0;
}

int layout_hairpins(Drosa line, Drosa chord, int pstaff) {
  const int role = line->get(xline_ord);
  if (line->get(xline_eocvar) || (role != LINE_BEGIN && role != LINE_END)) return 1;
  if (!note_ntdata(chord)) return 0;
  Drosa partner = NIL;
  int same = 1;
  line_geometry(line, &partner, &same);
  if (!partner) {
    report_lost_partner(line, chord);
    return 0;
  }
  if (role == LINE_END) return same ? 0 : clip_at_staff_start(line, chord, pstaff);
  if (!same) return clip_at_staff_end(line, chord, pstaff);
  reach_partner(line, chord, pstaff, partner);
  end_by_staff_end(line, chord, pstaff);
  return 1;
}

// ---- Extend Line To Here ---------------------------------------------------------------------

namespace {

void clear_duplicate_bits(Drosa line) {
  line->set(xline_eachsys, 0);
  line->set(xline_eachpage, 0);
  line->set(xline_everypart, 0);
}

// Where a LINE goes to stand before a note ahead of the LINEs already attached there: before
// the first of them (with the view positions before it), else just before the note.
Drosa before_first_line(Drosa note) {
  Drosa anchor = note->xback;
  for (Drosa p = note->xback; p && p->xkind != NOTE && effective_kind(p) != ENDSYST; p = p->xback)
    if (p->xkind == LINE) {
      anchor = p->xback;
      while (anchor && anchor->xkind == PVIEW) anchor = anchor->xback;
    }
  return anchor;
}

// Whether `target` lies after `from` in its list.
bool lies_after(Drosa from, Drosa target) {
  for (Drosa p = from ? from->xnext : NIL; p; p = p->xnext)
    if (p == target) return true;
  return false;
}

}  // namespace

int extend_line_to_here() {
  Drosa line = current_anno ? current_anno : previous_anno;
  Drosa note = insertion_point;
  const bool editing = MODE == TEXT_MODE && (text_edit_length() > 0 || text_has_selection());
  if (editing || !note || note->xkind != NOTE || !line) {
    REPORT_ERROR(2,
                 "To create a line or hairpin across page turns or systems:  First, select the "
                 "starting note, and draw the beginning of the line or hairpin. Then select the "
                 "ending note (same part and voice) and use Extend Line To Here.%sTo extend an "
                 "existing line or hairpin, select it using %s-click, then select the ending note "
                 "and use Extend Line To Here.",
                 "\n", "Option");
    return 0;
  }
  const int role = effective_kind(line) == LINE ? line->get(xline_ord) : -1;
  if (effective_kind(line) != LINE || line->get(xline_eocvar) ||
      (role != LINE_WHOLE && role != LINE_BEGIN) || line->get(xcurve)) {
    REPORT_ERROR(2,
                 "You cannot use Extend Line To Here because the annotation you most recently "
                 "selected cannot be the start of a line, hairpin, or bracket.");
    return 0;
  }
  if (line->get(xline_pagemargin)) {
    REPORT_ERROR(2,
                 "You cannot use Extend Line To Here because the annotation you most recently "
                 "selected has Horizontal Lock set.");
    return 0;
  }
  if (!lies_after(line, note)) {
    REPORT_ERROR(2,
                 "You cannot use Extend Line To Here because the %s you most recently selected is "
                 "%s the note you have selected now.",
                 style_group(line),
                 lies_after(note, line) ? "later in the piece than" : "not on the same voice as");
    return 0;
  }
  Drosa former = role == LINE_BEGIN ? line_geometry_wrapper(line) : NIL;
  Drosa end = copyDrosa(line);
  end->set(xline_ord, LINE_END);
  end->set(xline_eocvar, 0);
  end->set(xstartx, clamp_i32(-int64_t(line->get(xendx))));
  clear_duplicate_bits(end);
  if (former) delete_anno_nodes(former);
  modifyvc_with_undo(line);
  line->set(xline_ord, LINE_BEGIN);
  line->set(xline_eocvar, 0);
  clear_duplicate_bits(line);
  insertvc_node_with_undo(end, before_first_line(note));
  mark_piece_changed(1, 2, end->xcontext);
  return 1;
}

// ---- Making and reshaping lines with the mouse ----------------------------------------------

namespace {

constexpr int DRAG_THRESHOLD_PIXELS = 3;

double zoom() { return zoom_factor > 0 ? zoom_factor : 10.0; }

AnnoPoint page_point(Point where) {
  const PagePoint p = window_to_page_point(where);
  return {p.x, p.y};
}

// The least movement, in page units, that starts a drag.
int32_t drag_threshold() { return int32_t(DRAG_THRESHOLD_PIXELS * zoom() + 0.5); }

bool moved_enough(AnnoPoint from, AnnoPoint to) {
  return std::abs(int64_t(to.x) - from.x) + std::abs(int64_t(to.y) - from.y) >= drag_threshold();
}

// With the constraint key held, a point keeps to the horizontal or vertical through `from`.
AnnoPoint constrained(AnnoPoint from, AnnoPoint to) {
  if (!debug_modifier_down()) return to;
  if (std::abs(int64_t(to.x) - from.x) >= std::abs(int64_t(to.y) - from.y)) return {to.x, from.y};
  return {from.x, to.y};
}

// The line as it stands in its PDATA, drawn by exclusive-or into the page image: drawn twice,
// it is gone.
void xor_line(Drosa line) {
  Drosa pd = line ? line->xnext : NIL;
  if (!offscreen_page || !pd || pd->xkind != PDATA || pd->get(xscrx1) == NOT_DRAWN) return;
  const int32_t x1 = pd->get(xscrx1), y1 = pd->get(xscry1);
  const int32_t x2 = pd->get(xscrx2), y2 = pd->get(xscry2);
  Port* saved = platform_current_port();
  platform_set_port(offscreen_page);
  const PenState pen = get_pen_state();
  pen_normal();
  pen_mode(MODE_PAT_XOR);
  move_to(screen_x(x1), screen_y(y1));
  if (line->get(xcurve)) {
    // The curve as a few straight pieces of its Bezier path.
    const double cx1 = x1 + line->get(xc1x), cy1 = y1 + line->get(xc1y);
    const double cx2 = x1 + line->get(xc2x), cy2 = y1 + line->get(xc2y);
    constexpr int PIECES = 16;
    for (int k = 1; k <= PIECES; ++k) {
      const double t = double(k) / PIECES, u = 1 - t;
      const double x = u * u * u * x1 + 3 * u * u * t * cx1 + 3 * u * t * t * cx2 + t * t * t * x2;
      const double y = u * u * u * y1 + 3 * u * u * t * cy1 + 3 * u * t * t * cy2 + t * t * t * y2;
      line_to(screen_x(int32_t(std::lround(x))), screen_y(int32_t(std::lround(y))));
    }
  } else {
    line_to(screen_x(x2), screen_y(y2));
  }
  set_pen_state(pen);
  platform_set_port(saved);
  refresh_from_offscreen();
}

AnnoPoint pdata_point(Drosa line, int which) {
  Drosa pd = line->xnext;
  return which == 1 ? AnnoPoint{pd->get(xscrx1), pd->get(xscry1)}
                    : AnnoPoint{pd->get(xscrx2), pd->get(xscry2)};
}

}  // namespace

void create_line_anno_drag(Point where) {
  Drosa note = insertion_point;
  if (!note || note->xkind != NOTE || !note->xback || !line_template) return;
  set_undo_mark(0);
  clear_duplicate_bits(line_template);
  line_template->set(xline_eocvar, 0);
  line_template->set(xline_ord, LINE_WHOLE);
  Drosa line = copyDrosa(line_template);
  insertvc_node_with_undo(line, note->xback);
  Drosa pd = newDrosa(PDATA, 0);
  link_after(pd, line);
  current_anno = line;
  const int side = new_curve_direction;
  const AnnoPoint start = page_point(where);
  AnnoPoint end = start;
  line_end_geometry(line, note, start, end, side, 1, 1);
  xor_line(line);
  bool started = false;
  Point mouse = where;
  // Every position read counts, the release's too.
  for (bool down = true; down;) {
    down = platform_track_mouse(music_window(), &mouse);
    flash_idle();
    const AnnoPoint at = constrained(start, page_point(mouse));
    if (!started && !moved_enough(start, at)) continue;
    started = true;
    if (at.x == end.x && at.y == end.y) continue;
    xor_line(line);
    end = at;
    line_end_geometry(line, note, start, end, side, 1, 1);
    xor_line(line);
  }
  xor_line(line);
  current_anno = NIL;
  if (!started) {
    destroy_node(pd);
    removevc_with_undo(line);
    return;
  }
  previous_anno = line;
  // The page is formatted again with the line in it.
  mark_piece_changed(1, 1, line->xcontext);
}

void line_anno_handle_drag(Point where, int handle, int side) {
  Drosa line = current_anno;
  if (!line || effective_kind(line) != LINE || !line->xnext || line->xnext->xkind != PDATA) return;
  if (handle < 1 || handle > 4) return;
  Drosa note = line;
  while (note && note->xkind != NOTE) note = note->xnext;
  if (!note) return;
  Drosa partner = NIL;
  int same = 1;
  line_geometry(line, &partner, &same);
  set_undo_mark(0);
  modifyvc_with_undo(line);
  if (partner) modifyvc_with_undo(partner);
  anno_highlight(line, 1);
  xor_line(line);
  anno_highlight(line, 2);
  const bool curve = line->get(xcurve);
  AnnoPoint last = page_point(where);
  const AnnoPoint first = last;
  bool started = false;
  Point mouse = where;
  for (bool down = true; down;) {
    down = platform_track_mouse(music_window(), &mouse);
    flash_idle();
    const AnnoPoint at = constrained(first, page_point(mouse));
    if (!started && !moved_enough(first, at)) continue;
    started = true;
    const int32_t dx = at.x - last.x, dy = at.y - last.y;
    if (!dx && !dy) continue;
    last = at;
    anno_highlight(line, 1);
    xor_line(line);
    Drosa pd = line->xnext;
    const int32_t old_endx = line->get(xendx);
    if (handle == 1) {
      AnnoPoint start = pdata_point(line, 1), end = pdata_point(line, 2);
      start = {start.x + dx, start.y + dy};
      if (curve) {
        pd->set(xscrx1, start.x);
        pd->set(xscry1, start.y);
        line->set(xstartx, line->get(xstartx) + dx);
        line->set(xstarty, line->get(xstarty) + dy);
        line->set(xendx, line->get(xendx) - dx);
        line->set(xendy, line->get(xendy) - dy);
        line->set(xc2x, line->get(xc2x) - dx);
        line->set(xc2y, line->get(xc2y) - dy);
      } else {
        line_end_geometry(line, note, start, end, side, 1, 1);
      }
      if (partner) {
        partner->set(xstarty, line->get(xstarty));
        partner->set(xstartx, partner->get(xstartx) + (old_endx - line->get(xendx)));
        partner->set(xendx, line->get(xendx));
        partner->set(xendy, line->get(xendy));
        if (!same) line->set(xc2x, line->get(xc2x) - dx);
      }
    } else if (handle == 4) {
      AnnoPoint start = pdata_point(line, 1), end = pdata_point(line, 2);
      end = {end.x + dx, end.y + dy};
      if (curve) {
        line->set(xendx, line->get(xendx) + dx);
        line->set(xendy, line->get(xendy) + dy);
        line->set(xc2x, line->get(xc2x) + dx);
        line->set(xc2y, line->get(xc2y) + dy);
        pd->set(xscrx2, end.x);
        pd->set(xscry2, end.y);
      } else {
        // The start stays where it is unless the end is taken past it.
        line_end_geometry(line, note, start, end, side, end.x < start.x, 1);
      }
      if (partner) {
        partner->set(xendx, partner->get(xendx) + dx);
        partner->set(xendy, partner->get(xendy) + dy);
        if (!same) pd->set(xscrx1, start.x);
      }
    } else {
      const auto& cx = handle == 2 ? xc1x : xc2x;
      const auto& cy = handle == 2 ? xc1y : xc2y;
      line->set(cx, line->get(cx) + dx);
      line->set(cy, line->get(cy) + dy);
    }
    xor_line(line);
    anno_highlight(line, 2);
  }
  anno_highlight(line, 1);
  xor_line(line);
  anno_highlight(line, 2);
  if (started) mark_piece_changed(1, 1, 0);
}
