// play_marks.cpp: the notes that sound while a piece plays, marked in the music window. A mark
// is the note's box inverted by exclusive-or over the note's rectangle; it is drawn into the page
// image only to copy its box to the window, and painted again at once, which undoes it
// exactly: the page image always holds the page as drawn, and a mark goes when the window is
// drawn again from it.
#include <algorithm>

#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "graphics/offscreen.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/port.h"

namespace {

constexpr int MARK_MARGIN = 3;  // pixels around the note's rectangle

void paint_mark(const Rect& r) {
  Port* saved = platform_current_port();
  platform_set_port(offscreen_page);
  pen_pattern(PATTERN_BLACK);
  pen_mode(MODE_PAT_XOR);
  paint_rect(r);
  pen_normal();
  platform_set_port(saved);
}

}  // namespace

void show_play_mark(Drosa note, int shown) {
  if (!offscreen_page || !music_window_port || !is_plotted_note(note)) return;
  Drosa nt = note->xnext;
  if (note->get(xrest) && note->get(xhider)) return;
  if (!nt || (nt->get(xtabtyp) && nt->get(xtabstr) == 0)) return;
  Rect r;
  DrosaRect(note, &r);
  if (r.right <= r.left || r.bottom <= r.top) return;
  r = {r.left - MARK_MARGIN, r.top - MARK_MARGIN, r.right + MARK_MARGIN, r.bottom + MARK_MARGIN};
  if (shown) paint_mark(r);
  offscreen_copy_rect(r, MODE_COPY);
  if (shown) paint_mark(r);
}
