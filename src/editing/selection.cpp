// selection.cpp: the selection every editing command acts on: the insertion point, the
// selected voice and the group selection; the dispatchers through which commands reach it;
// the nearest drawn note to a point; and Delete Notes.
//
// Invariants:
// - A walk over the group selection covers, for each voice shown on the current page, the
//   nodes after its page_start up to the ENDSYST that ends the page; selected notes elsewhere
//   are never visited.
// - In MUSIC_MODE a group selection takes precedence over the insertion point; the two do
//   not exist together (beginning a group clears the insertion point, ending one sets it).
// - The group walk hands each selected node to the command one step late, so the command may
//   change or remove the node it is given.
#include "editing/selection.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "editing/gselect.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "params/param_services.h"
#include "performance/performance_services.h"

namespace {

// A note head is drawn from (xscrhdx, xscrhdy), the left end of its bottom; a click is
// measured against a point this far right and up of it in page units, near the head's middle.
constexpr int32_t HEAD_REFERENCE = 30;

// Raw bytes of VINFO that carry the voice's channel mode and its number of channels (byte 26,
// the first channel, is xmidichan).
constexpr int VINFO_CHANNEL_MODE = 28, VINFO_CHANNEL_COUNT = 29;

int voices() { return std::min<int>(voice_count, MAX_VOICES); }

// The ENDSYST that ends the current page in a voice (the end of the piece ends one too).
bool ends_page(Drosa p) { return effective_kind(p) == ENDSYST && p->get(xendpage); }

// The first node of voice v's part of the current page; NIL when the voice has none here.
Drosa page_walk_start(int v) {
  if (voice_not_shown(v) || !page_start[v]) return NIL;
  return page_start[v]->xnext;
}

// A node the group walk hands on: in MUSIC_MODE a selected NOTE, otherwise an annotation
// whose PDATA the current context sees and marks as a member of the annotation group.
bool group_member(Drosa p) {
  if (MODE == MUSIC_MODE) return p->xkind == NOTE && p->get(xselected);
  Drosa pd = p->xnext;
  return pd && effective_kind(pd) == PDATA && pd->get(xanno_selected);
}

// Where the window shows page unit 0 horizontally and vertically (the page's bottom edge).
Point window_page_origin() {
  const Point origin = scroll_origin();
  return {origin.x, origin.y + page_pixel_height};
}

double zoom() { return zoom_factor > 0 ? zoom_factor : 10.0; }

int32_t round_away(double v) { return round_nearest_int(v); }

}  // namespace

// ---- The insertion point and the selected voice ------------------------------------------

void set_insertion_point(Drosa node, int show, int voice) {
  stop_flashing(flashing_node);
  insertion_point = node;
  if (show)
    make_cursor_visible();
  else if (node)
    set_key_spelling(keysig_before(node));
  const bool drawn = is_plotted_note(node);
  if (drawn) voice = node->get(xvoice);
  if (voice != -10) {
    const int old = selected_voice;
    set_selected_voice(voice);
    if (voice_highlighted) highlight_voice(old, selected_voice);
    display_win_title(1, nullptr);
  }
  if (drawn) insertion_point_pos = {node->xnext->get(xscrhdx), node->xnext->get(xscrhdy)};
  start_flashing(node);
  insertion_point_flashing = node ? 1 : 0;
  draw_piano_window();
}

void set_selected_voice(int v) {
  if (v != -10 && voice_count < 1) {
    v = -10;  // a piece without voices has none to select
  } else if (v != -10 && (v < 0 || v >= voice_count)) {
    REPORT_ERROR(4,
                 "Voice number %hd is out of range in set_selected_voice!  There are %hd voices.",
                 short(v), voice_count);
    v = 0;
  }
  selected_voice = int16_t(v);
  if (v == -10) {
    audition_channel = {};
    return;
  }
  Drosa vinfo = piece_start[v] ? find_next_kind_before_note(VINFO, piece_start[v]) : NIL;
  if (!vinfo) {
    REPORT_ERROR(4, "Voice linked list error in set_selected_voice!");
    return;
  }
  audition_channel = {int8_t(node_byte(vinfo, VINFO_CHANNEL_MODE)), vinfo->get(xmidichan),
                      int8_t(node_byte(vinfo, VINFO_CHANNEL_COUNT))};
}

void make_cursor_visible() {
  Drosa note = insertion_point;
  if (!is_NOTE(note)) return;
  set_key_spelling(keysig_before(note));
  if (!is_plotted_note(note) || !music_window()) return;
  const Point origin = window_page_origin();
  Drosa nt = note->xnext;
  const int h = round_away(nt->get(xscrhdx) / zoom()) + origin.x;
  const int v = origin.y - round_away(nt->get(xscrhdy) / zoom());
  scroll_to_rect(h, v, 0);
}

// ---- Dispatching a command over the selection ---------------------------------------------

bool insertion_point_shown() {
  Drosa ip = insertion_point;
  return ip && !(ip->xkind == NOTE && voice_not_shown(ip->get(xvoice)));
}

void apply_to_cursor_or_group(void (*fn)(Drosa node), int refresh) {
  if (MODE == MUSIC_MODE && group_selected)
    for_each_group_selected(fn);
  else if (insertion_point_shown())
    fn(insertion_point);
  if (refresh) refresh_from_offscreen();
}

void for_each_group_selected(void (*fn)(Drosa node)) {
  Drosa pending = NIL;
  for (int v = 0; v < voices(); ++v) {
    for (Drosa p = page_walk_start(v); p && !ends_page(p); p = p->xnext) {
      if (!group_member(p)) continue;
      if (pending) apply_with_line_partner(pending, fn);
      pending = p;
    }
  }
  if (pending) apply_with_line_partner(pending, fn);
}

void apply_with_line_partner(Drosa node, void (*fn)(Drosa node)) {
  if (line_pair_member(node)) {
    Drosa partner = line_geometry_wrapper(node);
    Drosa pd = partner ? partner->xnext : NIL;
    const bool walked = pd && effective_kind(pd) == PDATA && pd->get(xanno_selected);
    if (partner && !walked) fn(partner);
  }
  fn(node);
}

void for_each_selected(void (*fn)(Drosa node), int arg) {
  if (group_selected && MODE != MUSIC_MODE) {
    for_each_group_selected(fn);
  } else if (current_anno) {
    if (line_pair_member(current_anno)) {
      if (Drosa partner = line_geometry_wrapper(current_anno)) fn(partner);
    }
    if (current_anno) fn(current_anno);  // the partner's command may have cleared it
  } else if (arg == -1) {
    if (text_template) fn(text_template);
    if (line_template) fn(line_template);
  }
  if (arg == 1) refresh_from_offscreen();
}

namespace {

Drosa walked_node;  // the result cell of the three finders below

void keep_first_drawn(Drosa node) {
  if (!is_plotted_note(walked_node)) walked_node = node;
}
void keep_first(Drosa node) {
  if (!walked_node) walked_node = node;
}
void keep_last(Drosa node) { walked_node = node; }

Drosa walk_for(void (*keep)(Drosa)) {
  walked_node = NIL;
  apply_to_cursor_or_group(keep, 0);
  return walked_node;
}

}  // namespace

Drosa find_first_visible_noterest() { return walk_for(keep_first_drawn); }
Drosa find_first_walked_node() { return walk_for(keep_first); }
Drosa find_last_walked_node() { return walk_for(keep_last); }

void set_note_selected(Drosa note, int selected, int whole_chord) {
  if (!is_NOTE(note)) return;
  Drosa first = whole_chord ? vchord_first_note(note) : note;
  for (Drosa p = first; p; p = p->xnext) {
    if (p->xkind == NOTE && bool(p->get(xselected)) != bool(selected)) toggle_xselected(p, 0);
    if (!whole_chord || (p->xkind == NOTE && p->get(xendvcd))) break;
  }
}

// ---- The nearest note to a point ----------------------------------------------------------

int32_t half_city_distance(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  return int32_t(std::llabs(int64_t(x1) - x2) / 2 + std::llabs(int64_t(y1) - y2) / 2);
}

Drosa find_nearest_visnote(PagePoint point, int window, int all_voices) {
  int32_t x = point.x, y = point.y;
  if (window) {
    const Point origin = window_page_origin();
    x = round_away((point.x - origin.x) * zoom());
    y = round_away((origin.y - point.y) * zoom());
    // (A point far off the page stays far off: no wrap-around.)
    x = std::max(x, INT32_MIN + HEAD_REFERENCE) - HEAD_REFERENCE;
    y = std::max(y, INT32_MIN + HEAD_REFERENCE) - HEAD_REFERENCE;
  }
  if (voice_count < 1) return NIL;
  Drosa best = NIL;
  int32_t best_distance = 0;
  auto measure = [&](Drosa note, int32_t hx, int32_t hy) {
    const int32_t d = half_city_distance(x, y, hx, hy);
    if (!best || d < best_distance) best = note, best_distance = d;
  };
  for (int v = 0; v < voices(); ++v) {
    if (!all_voices && v != selected_voice) continue;
    Drosa p = page_walk_start(v);
    if (!p) continue;
    for (; p && !ends_page(p); p = p->xnext) {
      if (!is_plotted_note(p)) continue;
      Drosa nt = p->xnext;
      const int32_t hx = nt->get(xscrhdx), hy = nt->get(xscrhdy);
      measure(p, hx, hy);
      if (!p->get(xrest) && p->get(xaccplot) && nt->get(xtabtyp) == 0 &&
          nt->get(xaccx) != NO_ACCIDENTAL_X)
        measure(p, int32_t(hx + nt->get(xaccx) * -5.0), hy);
    }
    if (!p) REPORT_ERROR(4, "Bad voice list in find find_nearest_visnote");
  }
  return best;
}

void cursor_to_nearest_visnote(PagePoint point, int window, int all_voices, int show) {
  Drosa note = find_nearest_visnote(point, window, all_voices);
  if (note && note != insertion_point)
    set_insertion_point(note, show, -10);
  else
    draw_piano_window();
}

// ---- Delete Notes ---------------------------------------------------------------------------

namespace {

// The first note after `before` (a NOTE or an ENDSYST of the voice) in the same system, or NIL.
Drosa note_in_place_after(Drosa before) {
  if (!before) return NIL;
  for (Drosa p = before->xnext; p; p = p->xnext) {
    if (p->xkind == NOTE) return p;
    if (effective_kind(p) == ENDSYST) return NIL;
  }
  return NIL;
}

}  // namespace

void delete_notes_command(int remove) {
  empty_measure_found = 0;
  apply_to_cursor_or_group(measure_keeps_a_note, 0);
  if (remove && empty_measure_found) {
    REPORT_ERROR(2,
                 "You cannot do this because it would leave an empty measure for one of the "
                 "voices.  To replace a note with a rest, use the Delete key.  To stop printing a "
                 "part, use Don't Print in the Parts and Voices... menu option.  To delete "
                 "measures, use the Delete Measures... menu option.");
    return;
  }
  if (insertion_point) {
    if (!insertion_point_shown()) return;  // a voice this context does not show stays as it is
    Drosa note = insertion_point;
    stop_flashing(note);
    insertion_point = NIL;
    insertion_point_flashing = 0;
    Drosa before = note->xback;
    while (before && before->xkind != NOTE && effective_kind(before) != ENDSYST)
      before = before->xback;
    delete_to_rests(note, remove, 1);
    // The rest (or the note) now standing in the deleted note's place keeps the insertion
    // point. It is not drawn until the page is formatted again, so the nearest drawn note
    // would be one of another place, even of another system.
    if (Drosa in_place = note_in_place_after(before)) {
      set_insertion_point(in_place, 0, -10);
      return;
    }
  } else if (group_selected) {
    // Each selected note is handed on once: a note the deletion could not take out stays
    // where it was, and the walk goes on after it rather than meeting it again.
    std::vector<Drosa> kept;
    for (int v = 0; v < voices(); ++v) {
      Drosa p = page_walk_start(v);
      while (p && !ends_page(p)) {
        if (!(is_plotted_note(p) && p->get(xselected)) ||
            std::find(kept.begin(), kept.end(), p) != kept.end()) {
          p = p->xnext;
          continue;
        }
        Drosa before = p->xback;
        delete_to_rests(p, remove, 1);
        if (before && before->xnext == p && p->xkind == NOTE && p->get(xselected)) {
          kept.push_back(p);
          p = p->xnext;
        } else {
          p = page_walk_start(v);  // the list has changed
        }
      }
    }
    end_group_selection(1);
  }
  cursor_to_nearest_visnote(insertion_point_pos, 0, 1, 1);
}

// ---- Default playback of the selection ------------------------------------------------------

namespace {

void record_and_perform(Drosa first, Drosa last, int a, int b, int c) {
  record_default_performance(first, last);
  for (Drosa p = first; p; p = p->xnext) {
    if (p->xkind == NOTE) modifyvc_with_undo(p);
    if (p == last) break;
  }
  set_default_performance(first, last, a, 0, b, c, 0);
}

}  // namespace

void recompute_selection_playback(int a, int b, int c, int all) {
  if (all) {
    for (int v = 0; v < voices(); ++v)
      for (Drosa p = piece_start[v]; p; p = p->xnext)
        if (p->xkind == NOTE) record_and_perform(p, p, a, b, c);
    mark_piece_changed(0, 4, 0);
    return;
  }
  if (group_selected && MODE == MUSIC_MODE) {
    save_cursor();
    set_cursor(CURSOR_ID_WATCH);
    for (int v = 0; v < voices(); ++v) {
      Drosa first = NIL, last = NIL;
      for (Drosa p = page_walk_start(v);; p = p->xnext) {
        const bool end = !p || ends_page(p);
        const bool breaks = end || (p->xkind == NOTE && !p->get(xselected));
        if (breaks && first) {
          record_default_performance(first, last);
          set_default_performance(first, last, a, 0, b, c, 0);
          first = last = NIL;
        }
        if (end) break;
        if (p->xkind == NOTE && p->get(xselected)) {
          modifyvc_with_undo(p);
          mark_piece_changed(p->get(xnotehead) == 7, 1, 0);
          if (!first) first = p;
          last = p;
        }
      }
    }
    restore_cursor();
    return;
  }
  if (is_NOTE(insertion_point)) {
    record_and_perform(insertion_point, insertion_point, a, b, c);
    mark_piece_changed(0, 4, 0);
  }
}
