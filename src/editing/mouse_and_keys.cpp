// mouse_and_keys.cpp: presses and arrow keys in the music window turned into changes of the
// selection: the rubber band that selects the notes (or annotations) inside it, the arrow keys
// that step the insertion point from note to note and voice to voice or stretch the group
// selection, the moves to the next and previous annotation and to a measure and beat, and the
// scrolling that keeps the insertion point in view.
//
// Window points are pixels of the music window (y downward); page points are page units
// (tenths of a point, y upward from the page's bottom): page x = (h - origin h) x zoom,
// page y = (origin v - v) x zoom, where the origin is where the window shows the page's
// bottom-left corner.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_globals.h"
#include "editing/editing_services.h"
#include "editing/highlight.h"
#include "editing/selection.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"
#include "platform/events.h"
#include "platform/port.h"
#include "platform/ticks.h"
#include "platform/window.h"

namespace {

constexpr int CLICK_SLOP = 2;           // a press that moves no further is a click
constexpr int32_t HEAD_REFERENCE = 30;  // a head's middle, right of and above its xscrhdx, xscrhdy
constexpr int SCROLL_BAR = 16;
constexpr int SCROLL_NUDGE = 32;
constexpr int REPEAT_KEY = -98;

int voices() { return std::min<int>(voice_count, MAX_VOICES); }

bool ends_page(Drosa p) { return effective_kind(p) == ENDSYST && p->get(xendpage); }

double zoom() { return zoom_factor > 0 ? zoom_factor : 10.0; }

Point window_page_origin() {
  const Point origin = scroll_origin();
  return {origin.x, origin.y + page_pixel_height};
}

PagePoint to_page(Point where) {
  const Point origin = window_page_origin();
  return {round_nearest_int((where.x - origin.x) * zoom()),
          round_nearest_int((origin.y - where.y) * zoom())};
}

bool published_view() {
  return options_i16(std::max<int>(current_ncontext, 1), OPTIONS_PUBLISHED) != 0;
}

// A placed annotation on the page: a TPARAM or LINE the context sees, followed by a PDATA with
// a position. Copies made for each system or page, and pieces of broken lines, count only
// while drawn elements are being dragged.
bool placed_annotation(Drosa p) {
  const int k = effective_kind(p);
  if (k != TPARAM && k != LINE) return false;
  if (k == TPARAM && p->get(xadjacent)) return false;
  Drosa pd = p->xnext;
  if (!pd || effective_kind(pd) != PDATA) return false;
  if (pd->get(xscrx1) == NOT_DRAWN && pd->get(xscry1) == NOT_DRAWN) return false;
  if (!element_drag_mode) {
    if (k == TPARAM && node_byte(p, 28) > 0) return false;
    if (k == LINE && p->get(xline_eocvar) != 0) return false;
  }
  return true;
}

VirtualRect ordered(const VirtualRect& r) {
  return {std::min(r.x1, r.x2), std::min(r.y1, r.y2), std::max(r.x1, r.x2), std::max(r.y1, r.y2)};
}

bool inside(const VirtualRect& band, int32_t x, int32_t y) {
  return x >= band.x1 && x <= band.x2 && y >= band.y1 && y <= band.y2;
}

// ---- The band's frame -------------------------------------------------------------------------

void frame_band(Point a, Point b) {
  const Rect r{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1,
               std::max(a.y, b.y) + 1};
  frame_rect(r);
}

}  // namespace

// ---- The rubber band ----------------------------------------------------------------------------

bool button_still_down(int window, Point* where) {
  EventRecord up;
  if (peek_event(event_mask_of(EVENT_MOUSE_UP), &up)) {
    if (up.window == window) *where = up.where;
    return false;
  }
  if (platform_modifiers() & MOD_BUTTON_UP) return false;
  *where = platform_mouse_position(window);
  return true;
}

int drag_select_rect(Point start, VirtualRect* rect, int draw) {
  if (!rect || published_view() || !music_window_port) return 0;
  const int window = music_window();
  Port* saved = platform_current_port();
  platform_set_port(music_window_port);
  const PenState pen = get_pen_state();
  const Rect clip = get_clip();
  clip_rect(music_area_rect());
  pen_pattern(PATTERN_GRAY);
  pen_mode(MODE_PAT_XOR);
  Point end = start;
  if (draw) frame_band(start, end);
  const Rect area = music_area_rect();
  Point now = start;
  while (button_still_down(window, &now)) {
    if (!area.contains(now)) {
      const uint32_t ticks = platform_ticks();
      if (ticks - band_scroll_time >= std::max<uint32_t>(1, platform_caret_ticks() / 8)) {
        band_scroll_time = ticks;
        int dx = now.x < area.left ? SCROLL_BAR : now.x >= area.right ? -SCROLL_BAR : 0;
        int dy = now.y < area.top ? SCROLL_BAR : now.y >= area.bottom ? -SCROLL_BAR : 0;
        if (draw) frame_band(start, end);
        do_scroll(&dx, &dy);
        start.x += dx;
        start.y += dy;
        if (draw) frame_band(start, end);
      }
    }
    if (now.x != end.x || now.y != end.y) {
      if (draw) frame_band(start, end);
      end = now;
      if (draw) frame_band(start, end);
    }
    platform_wait_for_event(1);
  }
  end = now;
  // The last position drew nothing yet when the release came with the mouse-up.
  clip_rect(clip);
  set_pen_state(pen);
  platform_set_port(saved);
  refresh_from_offscreen();  // takes the frame away
  const PagePoint a = to_page(start), b = to_page(end);
  *rect = ordered(VirtualRect{a.x, a.y, b.x, b.y});
  const bool band =
      std::abs(end.x - start.x) > CLICK_SLOP || std::abs(end.y - start.y) > CLICK_SLOP;
  return band ? 3 : 1;
}

int music_click(Point where, uint16_t /*modifiers*/, int /*elements_first*/, int extend) {
  VirtualRect band;
  if (drag_select_rect(where, &band, 1) != 3) return 1;
  const Drosa old_insertion_point = insertion_point, old_anno = current_anno;
  std::vector<Drosa> notes, annos;
  for (int v = 0; v < voices(); ++v) {
    if (voice_highlighted && v != selected_voice) continue;
    if (voice_not_shown(v) || !page_start[v]) continue;
    for (Drosa p = page_start[v]->xnext; p && !ends_page(p); p = p->xnext) {
      if (p->xkind == NOTE) {
        if (!is_plotted_note(p)) continue;
        Drosa nt = p->xnext;
        if (inside(band, nt->get(xscrhdx) + HEAD_REFERENCE, nt->get(xscrhdy) + HEAD_REFERENCE))
          notes.push_back(p);
      } else if (placed_annotation(p)) {
        Drosa pd = p->xnext;
        const VirtualRect r =
            ordered({pd->get(xscrx1), pd->get(xscry1), pd->get(xscrx2), pd->get(xscry2)});
        if (inside(band, r.x1, r.y1) && inside(band, r.x2, r.y2)) annos.push_back(p);
      }
    }
  }
  // The band takes what the mode selects; when it holds none of that, the other kind.
  const bool take_notes = !notes.empty() && (MODE == MUSIC_MODE || annos.empty());
  if (take_notes) {
    if (MODE != MUSIC_MODE) end_anno_selection(MUSIC_MODE, 1);
    if (!group_selected) {
      begin_group_selection();
    } else if (!extend) {
      for_each_group_selected(group_unhighlight_note);
      assign_selection_field(xselected, 0, 0);
    }
    for (Drosa note : notes) toggle_xselected(note, 1);
    if (extend && is_NOTE(old_insertion_point) && !old_insertion_point->get(xselected))
      toggle_xselected(old_insertion_point, 1);
    draw_piano_window();
  } else if (!annos.empty()) {
    Drosa first = annos.front();
    const int mode = first->xkind == TPARAM ? TEXT_MODE : LINE_MODE + first->get(xcurve);
    if (group_selected && MODE == MUSIC_MODE) end_group_selection(1);
    end_anno_selection(mode, 1);
    if (!group_selected) {
      begin_group_selection();
    } else if (!extend) {
      for_each_group_selected(group_highlight_anno);
      assign_selection_field(xanno_selected, 0, 0);
    }
    for (Drosa anno : annos) toggle_xselected(anno, 0);
    if (extend && old_anno) {
      Drosa pd = old_anno->xnext;
      if (pd && effective_kind(pd) == PDATA && !pd->get(xanno_selected))
        toggle_xselected(old_anno, 0);
    }
    icon_update();
  } else {
    return 2;
  }
  refresh_from_offscreen();
  return 3;
}

// ---- Stepping through the notes -----------------------------------------------------------------

namespace {

// The staff setting that stands after (forward) or before (back) a node, up to the next NOTE.
Drosa print_beside(Drosa node, bool forward) {
  for (Drosa p = forward ? node->xnext : node->xback; p; p = forward ? p->xnext : p->xback) {
    if (p->xkind == NOTE) return NIL;
    if (effective_kind(p) == PRINT) return p;
  }
  return NIL;
}

int step_note(bool forward) {
  Drosa start = group_selected ? group_anchor : insertion_point;
  if (!is_NOTE(start)) return 0;
  Drosa print = print_beside(start, forward);
  if (print && print->get(xsstaff) == -1) return 0;
  for (Drosa p = forward ? start->xnext : start->xback; p; p = forward ? p->xnext : p->xback) {
    if (ends_page(p)) return 0;
    if (p->xkind != NOTE) continue;
    if (group_selected)
      group_anchor = p;
    else
      set_insertion_point(p, 1, -10);
    return 1;
  }
  return 0;
}

// Selects voice v (or none) as the move to a voice does, keeping the voice marks right.
void select_voice_for_move(int v) {
  const int old = selected_voice;
  set_selected_voice(v);
  if (voice_highlighted) highlight_voice(old, selected_voice);
  display_win_title(1, nullptr);
}

Drosa first_note_on_page(int v, bool drawn_only) {
  if (voice_not_shown(v) || !page_start[v]) return NIL;
  for (Drosa p = page_start[v]->xnext; p && !ends_page(p); p = p->xnext)
    if (p->xkind == NOTE && (!drawn_only || is_plotted_note(p))) return p;
  return NIL;
}

int wrap(int v) {
  const int n = voices();
  return n > 0 ? ((v % n) + n) % n : 0;
}

}  // namespace

int cursor_next_note() { return step_note(true); }
int cursor_prev_note() { return step_note(false); }

Drosa find_voice_start_note(int voice, int step, int drawn_only) {
  const int n = voices();
  if (n < 1) return NIL;
  const int first = wrap(voice < 0 ? n + voice : voice);
  for (int i = 0; i < n; ++i) {
    const int v = wrap(first + i * step);
    if (Drosa note = first_note_on_page(v, drawn_only)) {
      if (v != selected_voice) select_voice_for_move(v);
      return note;
    }
  }
  select_voice_for_move(-10);
  return NIL;
}

void cursor_next_staff(int step) {
  const int n = voices();
  if (n < 1) return;
  Drosa ip = insertion_point;
  int32_t ip_time = 0;
  if (ip) {
    voices_to_system(system_number_on_page(ip, 1), 1);
    ip_time = find_time_in_system(ip);
    voices_to_system_at_time(ip_time, 1, 1);
  }
  const int from = selected_voice < 0 ? 0 : selected_voice + step;
  for (int i = 0; i < n; ++i) {
    const int v = wrap(from + i * step);
    if (v == selected_voice && i > 0) break;
    if (voice_not_shown(v)) continue;
    if (!ip) {
      set_insertion_point(find_voice_start_note(v, step, 0), 1, v);
      return;
    }
    Drosa cursor = time_cursor[v];
    if (!cursor) continue;
    if (cursor->xkind != NOTE || find_time_in_system(cursor) > ip_time + TIME_TOLERANCE) {
      Drosa back = find_prev_kind(NOTE, cursor);
      if (!back || system_number_on_page(back, 1) != system_number_on_page(ip, 1)) continue;
      cursor = back;
    }
    Drosa print = find_prev_kind(PRINT, cursor);
    if (print && print->get(xsstaff) != -1) {
      set_insertion_point(cursor, 1, -10);
      return;
    }
  }
}

void cursor_to_time(int32_t measure, int first_voice, double beat) {
  if (insertion_point) stop_flashing(insertion_point);
  insertion_point = NIL;
  insertion_point_flashing = 0;
  const int n = voices();
  const int first = first_voice >= 0 && first_voice < n ? first_voice : 0;
  for (int i = 0; measure != -1 && i < n; ++i) {
    const int v = (first + i) % n;
    if (voice_not_shown(v)) continue;
    Drosa note = find_measure_start(measure, v);
    if (note) note = find_note_at_beat(note, beat);
    if (!is_NOTE(note)) continue;
    if (!is_plotted_note(note)) {
      // A measure under a rest drawn once for several measures: that rest.
      Drosa p = note;
      while (p && p->xkind == NOTE && p->get(xrest) && !is_plotted_note(p))
        p = find_prev_kind(NOTE, p);
      if (!(p && p->get(xrest) && is_plotted_note(p) && p->xnext->get(xscrrestchar) == 2)) continue;
      note = p;
    }
    set_insertion_point(note, 1, -10);
    return;
  }
  set_insertion_point(find_voice_start_note(selected_voice >= 0 ? selected_voice : 0, 1, 1), 1,
                      -10);
  make_cursor_visible();
}

// ---- The arrow keys -----------------------------------------------------------------------------

namespace {

bool first_of_chord(Drosa note) { return vchord_first_note(note) == note; }

// Moves one note, or with by_chord to the first note of the next or previous chord.
int move_one(bool right, bool by_chord) {
  if (!by_chord) return right ? cursor_next_note() : cursor_prev_note();
  Drosa at = group_selected ? group_anchor : insertion_point;
  if (right) {
    if (!cursor_next_note()) return 0;
    for (int guard = 0; guard < 1000; ++guard) {
      at = group_selected ? group_anchor : insertion_point;
      if (first_of_chord(at) || !cursor_next_note()) break;
    }
    return 1;
  }
  // Back to the start of this chord, then to the start of the one before.
  int moved = 0;
  while (!first_of_chord(at) && cursor_prev_note()) {
    moved = 1;
    at = group_selected ? group_anchor : insertion_point;
  }
  if (!cursor_prev_note()) return moved;
  for (int guard = 0; guard < 1000; ++guard) {
    at = group_selected ? group_anchor : insertion_point;
    if (first_of_chord(at) || !cursor_prev_note()) break;
  }
  return 1;
}

void make_anchor_visible() {
  Drosa ip = insertion_point;
  insertion_point = group_anchor;
  make_cursor_visible();
  insertion_point = ip;
}

}  // namespace

int move_selection_by_key(int key, int option, int command, int shift) {
  if (key < KEY_LEFT || key > KEY_DOWN) return 0;  // the main loop's repeat key included
  const bool left = key == KEY_LEFT, right = key == KEY_RIGHT, up = key == KEY_UP,
             down = key == KEY_DOWN;
  if (option) {
    if (up || down) return 1;
    const int32_t enabled = left ? item_enabled_flags.previous_anno : item_enabled_flags.next_anno;
    if (!enabled) return 0;
    do_menu_item(ANNOTATION_MENU, left ? 1 : 2, 'v');
    return 1;
  }
  if ((up || down) && shift) return 0;
  const bool skip_flag = ((up || down) && command) || ((left || right) && group_selected);
  if (!skip_flag) {
    const int32_t enabled = up     ? item_enabled_flags.previous_voice
                            : down ? item_enabled_flags.next_voice
                            : left ? item_enabled_flags.previous_note
                                   : item_enabled_flags.next_note;
    if (!enabled) return 0;
  }
  if (group_selected && !is_NOTE(group_anchor)) group_anchor = find_first_walked_node();
  if (!(group_selected ? is_NOTE(group_anchor) : insertion_point != NIL)) return 0;
  if (MODE != MUSIC_MODE) end_anno_selection(MUSIC_MODE, 1);
  remove_selection_marks();
  if (key != REPEAT_KEY) stop_playing(0);
  if (shift && (left || right)) {
    if (!group_selected && is_NOTE(insertion_point)) {
      Drosa anchor = insertion_point;
      begin_group_selection();
      group_anchor = anchor;
      set_note_selected(anchor, 1, command);
    }
    if (left && check_first_note_of_voice_on_page(vchord_first_note(group_anchor))) return 0;
    if (right && check_last_note_of_voice_on_page(chord_end_note(group_anchor))) return 0;
  }
  if (left || right) {
    Drosa from = group_selected ? group_anchor : insertion_point;
    const int moved = move_one(right, command);
    if (group_selected && moved) {
      if (!group_anchor->get(xselected))
        set_note_selected(group_anchor, 1, command);
      else
        set_note_selected(from, 0, command);
      make_anchor_visible();
    }
  } else if (!command) {
    do_menu_item(VOICE_MENU, up ? 1 : 2, 'v');
  }
  if (group_selected && !shift) {
    Drosa anchor = group_anchor;
    end_group_selection(1);
    set_insertion_point(anchor, 0, -10);
    group_anchor = NIL;
  } else if (shift) {
    refresh_from_offscreen();
  }
  return 1;
}

// ---- Annotations on the page --------------------------------------------------------------------

Drosa next_visible_anno(Drosa node) {
  if (!node) return NIL;
  Drosa p = node->xnext;
  if (p && effective_kind(p) == PDATA) p = p->xnext;
  for (; p && !ends_page(p); p = p->xnext)
    if (placed_annotation(p)) return p;
  return NIL;
}

Drosa prev_visible_anno(Drosa node) {
  if (!node) return NIL;
  for (Drosa p = node->xback; p; p = p->xback) {
    if (effective_kind(p) == ENDSYST && (p->get(xendpage) || p->get(xstartpiece))) return NIL;
    if (placed_annotation(p)) return p;
  }
  return NIL;
}

Drosa find_nearest_anno(Point where, int all_voices, int32_t* distance) {
  const PagePoint at = to_page(where);
  Drosa best = NIL, chosen = NIL;
  int32_t best_distance = 2100000000;
  int ties = 0;
  for (int v = 0; v < voices(); ++v) {
    if (!all_voices && v != selected_voice) continue;
    if (voice_not_shown(v) || !page_start[v]) continue;
    for (Drosa p = page_start[v]->xnext; p && !ends_page(p); p = p->xnext) {
      if (!placed_annotation(p)) continue;
      Drosa pd = p->xnext;
      const int32_t d = std::min(half_city_distance(at.x, at.y, pd->get(xscrx1), pd->get(xscry1)),
                                 half_city_distance(at.x, at.y, pd->get(xscrx2), pd->get(xscry2)));
      if (!best || d < best_distance) {
        best = p;
        best_distance = d;
        ties = 1;
        chosen = ties == anno_tie_turn ? p : NIL;
      } else if (d == best_distance) {
        ++ties;
        if (ties == anno_tie_turn) chosen = p;
      }
    }
  }
  if (!distance) return chosen ? chosen : best;
  *distance = best ? best_distance : 2100000000;
  if (chosen) {
    ++anno_tie_turn;
    return chosen;
  }
  anno_tie_turn = 2;
  return best;
}

// ---- Keeping the insertion point in view -------------------------------------------------------

int scroll_to_rect(int h, int v, int place) {
  if (!music_window_port) return 1;
  const Rect bounds = port_bounds(music_window_port);
  const int margin = zoom() >= 10 ? 16 : int(std::lround(160 / zoom()));
  const int left = bounds.left + ruler_width() + margin, top = bounds.top + ruler_height() + margin;
  const int right = bounds.right - SCROLL_BAR - margin,
            bottom = bounds.bottom - SCROLL_BAR - margin;
  int dx = 0, dy = 0;
  if (place) {
    const double fh =
        param_float_value(P_LOW_VISION_RECTANGLE_LEFT_X_PORTION_OF_WINDOW_WIDTH, insertion_point);
    const double fv =
        param_float_value(P_LOW_VISION_RECTANGLE_MID_Y_PORTION_OF_WINDOW_HEIGHT, insertion_point);
    dx = int(left * (1 - fh) + right * fh - h);
    dy = int(top * (1 - fv) + bottom * fv - v);
    if (dx < 0) dx -= 2;
  } else if (!window_hold_flag) {
    if (h < left) dx = left - h + SCROLL_NUDGE;
    if (h > right) dx = right - h - SCROLL_NUDGE;
    if (v < top) dy = top - v + SCROLL_NUDGE;
    if (v > bottom) dy = bottom - v - SCROLL_NUDGE;
  }
  if (dx || dy) do_scroll(&dx, &dy);
  return 1;
}
