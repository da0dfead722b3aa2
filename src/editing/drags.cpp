// drags.cpp: chord, rest, accidental and staff drags, their dialogs and the Clear commands of
// their offsets.
//
// While the mouse moves, the dragged note's rectangle (or the staff's line) is framed by
// exclusive-or in the window at the place the drag has reached; the page is formatted afresh
// from the stored offsets when the drag ends.
#include "editing/drags.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_globals.h"
#include "editing/highlight.h"
#include "editing/selection.h"
#include "editing/symbols.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "params/param_services.h"
#include "platform/dialogs.h"
#include "platform/events.h"
#include "platform/port.h"
#include "platform/window.h"

namespace {

constexpr int CHORD_DRAG_DIALOG = 17680, STAFF_DRAG_DIALOG = 137;
constexpr int32_t FAR = 2100000000;

int32_t round_away(double v) {
  return int32_t(v < 0 ? -std::floor(-v + 0.5) : std::floor(v + 0.5));
}

bool drawn(Drosa note) {
  Drosa nt = note ? note_ntdata(note) : NIL;
  return nt && nt->get(xscrhdx) != NOT_DRAWN;
}

int32_t head_x(Drosa note) { return note_ntdata(note)->get(xscrhdx); }

// Half the line distance of the note's staff: a rest moves by such steps.
int32_t line_step(Drosa note) {
  const int32_t p = Find_pstaff(note, 1);
  if (p < 0 || p >= MAX_PSTAVES) return 0;
  return staff_data[p].staff_size / 2;
}

// Left and right edges of the drawn notes of a staff chord (and the grace chords that belong
// to it); false when none is drawn.
bool chord_edges(Drosa first, Drosa last, int32_t* left, int32_t* right) {
  *left = FAR;
  *right = -FAR;
  for (Drosa n = first; n; n = n == last ? NIL : chain_next(n)) {
    if (!drawn(n)) continue;
    *left = std::min(*left, head_x(n));
    *right = std::max(*right, head_x(n) + hdw(n, 0));
  }
  return *left != FAR;
}

// The notes a chord drag moves: the staff chord with the grace notes before it and the
// nachschlag grace notes after it, in print-chain order.
void drag_unit(Drosa note, Drosa* first, Drosa* last) {
  chord_extent(note, first, last);
  if (!*first) *first = *last = note;
  for (Drosa p = chain_prev(*first); p && p->get(xgrace) && !p->get(xnachschlag); p = chain_prev(p))
    *first = p;
  for (Drosa n = chain_next(*last); n && n->get(xgrace) && n->get(xnachschlag); n = chain_next(n))
    *last = n;
}

void remove_attached(int kind, Drosa note) {
  while (Drosa p = find_prev_kind_stop(kind, note, 0)) removevc_with_undo(p);
}

void insert_offset(int kind, Drosa before, int32_t value) {
  Drosa n = newDrosa(kind, current_ncontext);
  if (kind == CMOVE)
    n->set(xchordmove, value);
  else
    n->set(xmove, value);
  insertvc_node_with_undo(n, before->xback);
}

// Exclusive-or framing in the music window (drawn twice it is gone).
struct XorFrame {
  Port* saved = platform_current_port();
  PenState pen;
  Rect clip;
  XorFrame() {
    platform_set_port(music_window_port);
    pen = get_pen_state();
    clip = get_clip();
    clip_rect(music_area_rect());
    pen_pattern(PATTERN_GRAY);
    pen_mode(MODE_PAT_XOR);
  }
  ~XorFrame() {
    clip_rect(clip);
    set_pen_state(pen);
    platform_set_port(saved);
  }
};

bool moved_enough(Point a, Point b) {
  return std::abs(a.x - b.x) / 2 + std::abs(a.y - b.y) / 2 > 2;
}

// Follows the mouse from `start`: the distance moved along one axis, kept within lo..hi, with
// `box` (window pixels) framed where it has got to; false when the mouse never moved far enough.
bool track(Point start, bool vertical, int lo, int hi, Rect box, int* moved) {
  const int window = music_window();
  bool started = false;
  int shown = 0;
  Point now = start;
  auto frame_at = [&](int d) {
    frame_rect(vertical ? offset_rect(box, 0, d) : offset_rect(box, d, 0));
  };
  {
    XorFrame xor_frame;
    for (bool down = true; down;) {
      down = music_window_port && button_still_down(window, &now);
      if (!started && moved_enough(start, now)) {
        started = true;
        if (MODE != MUSIC_MODE) end_anno_selection(MUSIC_MODE, 1);
        frame_at(0);
      }
      if (started) {
        const int d = std::clamp(vertical ? now.y - start.y : now.x - start.x, lo, hi);
        if (d != shown) {
          frame_at(shown);
          frame_at(d);
          shown = d;
        }
      }
      if (down) platform_wait_for_event(1);
    }
    if (started) frame_at(shown);
  }
  refresh_from_offscreen();
  *moved = shown;
  return started;
}

}  // namespace

// ---- Dialogs
// -------------------------------------------------------------------------------------

namespace {

// A dialog of three radio buttons (4, 5, 6) for three values; the chosen value, or -1 on Cancel.
int three_way_dialog(int id, const int values[3], int current, int extra_for_first,
                     const char* unexpected) {
  DialogRef dialog = open_dialog_in_front(id);
  if (!dialog) return -1;
  int on = 4;
  for (int k = 0; k < 3; ++k)
    if (values[k] == current) on = 4 + k;
  auto show = [&] {
    for (int item = 4; item <= 6; ++item) platform_set_item_value(dialog, item, item == on);
  };
  show();
  int result = -1;
  for (;;) {
    const int item = platform_modal_dialog(dialog, nullptr);
    if (item == 1) {
      result = values[on - 4];
      break;
    }
    if (item == 2) break;
    if (item >= 4 && item <= 6) {
      on = item;
    } else if (extra_for_first && item == extra_for_first) {
      on = 4;
    } else {
      REPORT_ERROR(4, "%s", unexpected);
      continue;
    }
    show();
  }
  close_dialog_in_front(dialog);
  return result;
}

}  // namespace

void chord_drag_dialog() {
  static const int types[3] = {DRAG_ZONE, DRAG_CMOVE, DRAG_RMOVE};
  const int chosen = three_way_dialog(CHORD_DRAG_DIALOG, types, prefs.u8(PREFS_CHORD_DRAG_TYPE), 7,
                                      "Unexpected item returned from chord drag dialog");
  if (chosen >= 0) prefs.set_u8(PREFS_CHORD_DRAG_TYPE, uint8_t(chosen));
}

void staff_drag_dialog() {
  static const int modes[3] = {STAFF_DRAG_THIS, STAFF_DRAG_BELOW, STAFF_DRAG_LATER};
  const int chosen = three_way_dialog(STAFF_DRAG_DIALOG, modes, prefs.i16(PREFS_STAFF_DRAG_MODE), 0,
                                      "Unexpected item returned from staff drag dialog");
  if (chosen >= 0) prefs.set_i16(PREFS_STAFF_DRAG_MODE, int16_t(chosen));
}

// ---- Chord drag
// ----------------------------------------------------------------------------------

bool chord_drag_limits(Drosa note, int type, int32_t* left, int32_t* right) {
  if (!drawn(note)) return false;
  int32_t l = 0, r = 0;
  switch (type) {
    case DRAG_CMOVE:
    case DRAG_ZONE: {
      Drosa first, last;
      drag_unit(note, &first, &last);
      int32_t unit_left, unit_right;
      if (!chord_edges(first, last, &unit_left, &unit_right)) return false;
      if (type == DRAG_ZONE) {
        if (find_time_in_system(note) <= TIME_TOLERANCE) return false;
        const int32_t staff = Find_pstaff(note, 0);
        l = staff_left_x(staff, current_page) - unit_left;
        r = staff_right_x(staff, current_page) - unit_right;
        break;
      }
      l = -FAR;
      r = FAR;
      int32_t a, b;
      if (Drosa prev = chain_prev(first)) {
        Drosa pf, pl;
        chord_extent(prev, &pf, &pl);
        if (pf && chord_edges(pf, pl, &a, &b)) l = b - unit_left;
      }
      if (Drosa next = chain_next(last)) {
        Drosa nf, nl;
        chord_extent(next, &nf, &nl);
        if (nf && chord_edges(nf, nl, &a, &b)) r = a - unit_right;
      }
      break;
    }
    case DRAG_AMOVE: {
      const int32_t column = note_ntdata(note)->get(xaccx);
      l = 5 * column - 1250;
      r = 5 * column;
      break;
    }
    case DRAG_RMOVE: {
      const int32_t s = line_step(note);
      if (s <= 0) return false;  // no steps to move by
      l = -20 * s;
      r = 20 * s;
      break;
    }
    default:
      return false;
  }
  *left = l > 0 ? -200 : l;
  *right = r < 0 ? 200 : r;
  return true;
}

void insert_zone(Drosa note, int32_t x) {
  const int32_t staff = Find_pstaff(note, 0);
  const int32_t left = staff_left_x(staff, current_page),
                right = staff_right_x(staff, current_page);
  if (right <= left) return;  // a staff of no width has no per mille
  Drosa end = find_next_kind(ENDSYST, note);
  Drosa zone = newDrosa(ZONE, current_ncontext);
  zone->set(xzone_xpermil, int16_t(int64_t(x - left) * 1000 / (right - left)));
  zone->set(xzone_wholec, find_time_in_system(note));
  zone->set(xzone_sys_wholec, end ? find_time_in_system(end) : 0);
  insert_symbol_in_voice(zone, note, SYMBOL_REMOVE, 0, 1, nullptr, nullptr);
  insert_symbol_in_voice(zone, note, SYMBOL_INSERT, 0, 1, nullptr, nullptr);
  destroyDrosa(zone);
}

void store_chord_drag(Drosa note, int type, int32_t offset) {
  switch (type) {
    case DRAG_AMOVE: {
      const int32_t v = AMOVE_value(note) + offset;
      remove_attached(AMOVE, note);
      if (v) insert_offset(AMOVE, note, v);
      break;
    }
    case DRAG_RMOVE: {
      const int32_t s = line_step(note);
      if (s <= 0) return;
      const int32_t v = RMOVE_offset(note, nullptr) - offset / s;
      remove_attached(RMOVE, note);
      if (v) insert_offset(RMOVE, note, v);
      break;
    }
    case DRAG_CMOVE: {
      Drosa first, last;
      drag_unit(note, &first, &last);
      Drosa existing = find_prev_kind_stop(CMOVE, first, 0);
      if (!existing) existing = find_prev_kind_stop(CMOVE, note, 0);
      const int32_t sum = offset + (existing ? existing->get(xchordmove) : 0);
      if (existing) removevc_with_undo(existing);
      if (sum) insert_offset(CMOVE, vchord_first_note(first), sum);
      break;
    }
    case DRAG_ZONE:
      insert_zone(note, head_x(note) + offset);
      break;
    default:
      return;
  }
  mark_piece_changed(1, 1, current_ncontext);
}

int drag_chord(Point where, int type) {
  Drosa ip = insertion_point;
  if (!is_NOTE(ip)) return 0;
  if (type == DRAG_RMOVE && !ip->get(xrest)) return 0;
  if (reformat_pending && type != DRAG_RMOVE && type != DRAG_AMOVE) return 0;
  if (!drawn(ip)) {
    REPORT_ERROR(4, "non-visible insertion_point %lx in drag_chord()",
                 static_cast<unsigned long>(ip.handle()));
    return 0;
  }
  int32_t left, right;
  if (!chord_drag_limits(ip, type, &left, &right)) return 0;
  const double z = zoom_factor > 0 ? zoom_factor : 10.0;
  const int hi = int(right / z + 0.5), lo = round_away(left / z);
  Rect box{};
  if (type == DRAG_AMOVE) {
    node_window_rect(ip, &box);
  } else {
    DrosaRect(ip, &box);
    const Point origin = scroll_origin();
    box = offset_rect(box, origin.x, origin.y);
  }
  const bool vertical = type == DRAG_RMOVE;
  int moved = 0;
  if (!track(where, vertical, lo, hi, box, &moved)) return 0;
  int32_t offset = round_away(moved * z);
  if (vertical) {
    const int32_t s = line_step(ip);
    offset = s > 0 ? offset / s * s : 0;
  }
  if (offset == 0) return 1;
  set_undo_mark(0);
  store_chord_drag(ip, type, offset);
  return 1;
}

// ---- Staff drag -------------------------------------------------------------------------------

void apply_staff_drag(Drosa in_system, int16_t staff, int mode, int32_t move) {
  if (move == 0) return;
  voices_to_system(system_number_on_page(in_system, 1), 1);
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v) {
    Drosa c = system_cursor[v];
    if (voice_not_shown(v) || !c || c->get(xendpiece)) continue;
    Drosa print = find_prev_kind(PRINT, c->xnext ? c->xnext : c);
    bool first_of_system = true;
    for (Drosa p = c->xnext; p; p = p->xnext) {
      const int k = effective_kind(p);
      if (k == PRINT) print = p;
      if (k == ENDSYST) {
        if (mode != STAFF_DRAG_LATER || p->get(xendpiece)) break;
        first_of_system = true;
        continue;
      }
      if (p->xkind != NOTE || !first_of_system) continue;
      first_of_system = false;
      const int16_t s = print ? print->get(xsstaff) : int16_t(-1);
      if (mode == STAFF_DRAG_THIS ? s != staff : s < staff) continue;
      if (Drosa drag = find_prev_kind_stop(SDRAG, p, 0)) {
        modifyvc_with_undo(drag);
        if (drag->get(xsdrag_sstaff) == s) {
          const int32_t sum = drag->get(xstaffdrag) + move;
          if (sum == 0) {
            removevc_with_undo(drag);
            continue;
          }
          drag->set(xstaffdrag, sum);
        } else {
          drag->set(xstaffdrag, move);
          drag->set(xsdrag_sstaff, s);
        }
      } else {
        Drosa n = newDrosa(SDRAG, current_ncontext);
        n->set(xstaffdrag, move);
        n->set(xsdrag_sstaff, s);
        insertvc_node_with_undo(n, p->xback);
      }
    }
  }
  mark_piece_changed(0, 1, current_ncontext);
}

int next_drag_staff(Point where, Rect /*area*/) {
  if (reformat_pending) return 0;
  const Point origin = scroll_origin();
  const double z = zoom_factor > 0 ? zoom_factor : 10.0;
  Drosa note = find_nearest_visnote(PagePoint{where.x, where.y}, 1, 1);
  if (!note || !drawn(note)) return 0;
  const int32_t p = Find_pstaff(note, 0);
  if (p < 0 || p >= MAX_PSTAVES) return 0;
  // The staff's middle line, framed across the music area as it is dragged.
  const int y = origin.y + page_pixel_height - int(std::lround(staff_data[p].screen_middle_y / z));
  if (std::abs(where.y - y) > int(std::max<int32_t>(staff_data[p].staff_size * 4, 1) / z)) return 0;
  const Rect area = music_area_rect();
  const Rect line{area.left, y, area.right, y + 1};
  int moved = 0;
  if (!track(where, true, area.top - y, area.bottom - y, line, &moved)) return 0;
  if (reformat_pending) {
    REPORT_ERROR(2, "%s",
                 "Staff position cannot be changed until the screen is up to date.  (Wait for "
                 "the filled arrow-cursor.)");
    return 1;
  }
  Drosa layer_head = staff_data[p].ppnt[0];
  if (!layer_head || !chain_next(layer_head)) {
    REPORT_ERROR(2, "%s",
                 "Sorry, you cannot move an empty staff. Use the Parts and Voices... menu option "
                 "to put a voice on the staff. (Every staff should have notes or rests in its "
                 "normal layer.)");
    return 1;
  }
  const int mode = prefs.i16(PREFS_STAFF_DRAG_MODE);
  if (mode != STAFF_DRAG_THIS && mode != STAFF_DRAG_BELOW && mode != STAFF_DRAG_LATER) {
    REPORT_ERROR(4, "%s", "Bad drag type in next_drag_staff!");
    redraw_view();
    return 1;
  }
  const int32_t move = round_away(moved * z);
  if (move == 0) return 0;
  Drosa print = find_prev_kind(PRINT, note);
  set_undo_mark(0);
  apply_staff_drag(note, print ? print->get(xsstaff) : int16_t(0), mode, move);
  disable_format_interrupts();
  reformat_and_update(current_page, 0);
  enable_format_interrupts();
  return 1;
}

// ---- Clearing offsets -------------------------------------------------------------------------

void clear_staff_drags(int whole_piece) {
  bool removed = false;
  for (int v = 0; v < voice_count && v < MAX_VOICES; ++v) {
    if (!whole_piece && voice_not_shown(v)) continue;
    Drosa start = whole_piece ? piece_start[v] : page_start[v];
    for (Drosa p = start ? start->xnext : NIL; p;) {
      Drosa next = p->xnext;
      const int k = effective_kind(p);
      if (!whole_piece && k == ENDSYST && (p->get(xendpage) || p->get(xendpiece))) break;
      if (p->xkind == SDRAG) {
        removevc_with_undo(p);
        removed = true;
      }
      p = next;
    }
  }
  if (removed) mark_piece_changed(1, 1, current_ncontext);
}

namespace {

void delete_offsets(Drosa note, int kind) {
  if (!is_NOTE(note) || !drawn(note)) return;
  for (;;) {
    Drosa p = NIL;
    if (kind == CMOVE)
      p = find_cmove(note);
    else if (kind == ZONE)
      p = find_zone(note);
    else
      p = find_prev_kind_stop(kind, note, ENDSYST);
    if (!p || effective_kind(p) != kind) return;
    removevc_with_undo(p);
    mark_piece_changed(1, 1, current_ncontext);
  }
}

}  // namespace

void delete_chord_offsets(Drosa note) {
  delete_offsets(note, CMOVE);
  delete_offsets(note, ZONE);
}
void delete_rest_offsets(Drosa note) { delete_offsets(note, RMOVE); }
void delete_accidental_offsets(Drosa note) { delete_offsets(note, AMOVE); }
