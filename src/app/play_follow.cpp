// play_follow.cpp: the music window follows a piece while it plays. The notes sounding are
// marked (in the window only: the page image stays as drawn); when the music reaches a system
// out of sight the window scrolls to it, and when it goes on to another page that page is
// shown. When the play ends the marks go and the window shows again the page, and the part of
// it, it showed when the play began.
//
// Everything here runs on the main thread, between the engine's steps: what sounds is read
// from the engine's own record of the notes it queued, against the clock, never from the
// timer task.
#include "app/play_follow.h"

#include <algorithm>
#include <vector>

#include "app/app_globals.h"
#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"

namespace {

PlayFollow& f = play_follow;

// The page a node of a voice list stands on: one more than the page ends before it (the
// list's first node, which opens the first page, is none).
int32_t page_of_node(Drosa node) {
  int32_t page = 1;
  for (Drosa p = node->xback; p && p->xback; p = p->xback)
    if (effective_kind(p) == ENDSYST && p->get(xendpage)) ++page;
  return page;
}

void show_page(int32_t page) {
  current_page = page;
  reformat_with_flag(current_page, 0);
  display_win_title(1, nullptr);
}

void scroll_to(int32_t h, int32_t v) {
  int dx = scroll_h - h, dy = scroll_v - v;
  if (dx || dy) do_scroll(&dx, &dy);
}

// Scrolls, when the note is out of sight, to show it a quarter of the way down the music
// area (and at its left edge when it is out of sight across).
void keep_in_view(Drosa note) {
  Rect r;
  DrosaRect(note, &r);
  const Rect area = music_area_rect();
  const int width = area.right - area.left, height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return;
  int32_t h = scroll_h, v = scroll_v;
  if (r.left < scroll_h || r.right > scroll_h + width) h = r.left - width / 8;
  if (r.top < scroll_v || r.bottom > scroll_v + height) v = r.top - height / 4;
  scroll_to(std::max<int32_t>(h, 0), std::max<int32_t>(v, 0));
}

void take_marks_away() {
  for (Drosa note : f.marked) show_play_mark(note, 0);
  f.marked.clear();
}

}  // namespace

void follow_play() {
  if (!is_playing()) {
    end_play_display();
    return;
  }
  if (!f.active) {
    f = PlayFollow{};
    f.active = true;
    f.page = current_page;
    f.scroll_h = scroll_h;
    f.scroll_v = scroll_v;
    // The insertion point would blink over its mark while it sounds; it blinks again when
    // the play ends.
    if (insertion_point) stop_flashing(insertion_point);
  }
  std::vector<Drosa> sounding;
  sounding_notes_at(now_ms(), &sounding);
  if (sounding == f.marked) return;
  take_marks_away();
  if (sounding.empty()) return;
  // The note begun last leads: the window goes where it is drawn.
  const Drosa lead = sounding.back();
  if (!is_plotted_note(lead)) {
    const int32_t page = page_of_node(lead);
    if (page != current_page && page >= 1 && page <= page_count) show_page(page);
  }
  if (is_plotted_note(lead)) keep_in_view(lead);
  for (Drosa note : sounding) show_play_mark(note, 1);
  f.marked = sounding;
}

void end_play_display() {
  if (!f.active) return;
  take_marks_away();
  f.active = false;
  if (f.page != current_page && f.page >= 1 && f.page <= page_count) show_page(f.page);
  scroll_to(f.scroll_h, f.scroll_v);
  if (insertion_point && is_plotted_note(insertion_point)) start_flashing(insertion_point);
}

void keep_play_page() {
  if (!f.active || f.page == current_page) return;
  // The undo steps name places on the page the play began on.
  clear_undo(1);
  f.page = current_page;
  f.scroll_h = scroll_h;
  f.scroll_v = scroll_v;
}
