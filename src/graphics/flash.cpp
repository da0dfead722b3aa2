// flash.cpp: the flashing of one note or rest at a time, the insertion point's as a rule. It
// blinks at the caret rate: its head (a tablature note's fret number) drawn over itself by
// exclusive-or, a coloured note erased, or, while note entry is on (after a double click), a
// frame around it. The flash is drawn into the page image only to copy its box to the window,
// and the box's pixels are put back at once: the page image and the element list always hold
// the page as drawn.
#include "graphics/flash.h"

#include <cstdio>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "graphics/graphics_globals.h"
#include "graphics/note_colors.h"
#include "graphics/offscreen.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/port.h"
#include "platform/ticks.h"
#include "platform/window.h"

namespace {

int flash_state = 1;              // 1 while the note looks normal, 0 while the flash shows
uint32_t flash_period_start = 0;  // the tick at which the present blink period began
constexpr int RATE_TENTHS = 10;   // the blink period in tenths of a caret time

uint32_t caret_time() {
  const uint32_t t = platform_caret_ticks();
  return t ? t : 30;
}

// The note is still one drawn on the screen; a flash whose note has gone is dropped.
bool still_drawn() {
  if (flashing_node && is_plotted_note(flashing_node)) return true;
  flashing_node = NIL;
  return false;
}

}  // namespace

void start_flashing(Drosa node) {
  if (!is_plotted_note(node)) {
    flashing_node = NIL;
    return;
  }
  flashing_node = node;
  flash_state = 1;
  flash_period_start = platform_ticks() - caret_time();
}

void flash_idle() {
  if (!still_drawn()) return;
  const uint32_t now = platform_ticks(), caret = caret_time();
  if (now - flash_period_start < uint32_t(RATE_TENTHS * 0.1 * caret)) return;
  flash_state ^= 1;
  draw_flash(flashing_node);
  flash_period_start += caret;
  if (now - flash_period_start > caret) flash_period_start = now;  // no burst of catch-up blinks
}

void show_as_flashed(Drosa node, int state) {
  if (!flashing_node) return;
  if (node != flashing_node)
    REPORT_ERROR(4, "Bad call on show_as_flashed in flash.c; got %lx, expected %lx.",
                 (unsigned long)node.handle(), (unsigned long)flashing_node.handle());
  if (!still_drawn()) return;
  if (flash_state != state) {
    flash_state = state;
    draw_flash(flashing_node);
  }
}

void stop_flashing(Drosa node) {
  if (is_plotted_note(node)) {
    if (node != flashing_node) {
      REPORT_ERROR(4, "Inconsistent call to stop_flashing in flash.c.");
    } else if (flash_state == 0) {
      flash_state = 1;
      draw_flash(node);
    }
  }
  flashing_node = NIL;
}

int flash_shown() { return flashing_node && flash_state == 0; }

void draw_flash(Drosa node) {
  if (!is_plotted_note(node) || !offscreen_page) return;
  Drosa nt = note_ntdata(node);
  if (!nt) return;
  constexpr int TAB_STAFF = 1, HEADLESS_STAFF = 2;
  const int staff_code = nt->get(xtabtyp);
  const bool tab = staff_code == TAB_STAFF || staff_code == HEADLESS_STAFF;
  const bool rest = node->get(xrest);
  if (rest && (node->get(xhider) || staff_code == HEADLESS_STAFF)) return;
  if (tab && !rest && !nt->get(xtabstr)) return;
  const int colour = note_color_index(node);
  Rect changed;
  DrosaRect(node, &changed);
  if (note_entry_active)
    changed = {changed.left - 5, changed.top - 5, changed.right + 5, changed.bottom + 5};
  // The page image keeps the page as it is drawn: the flash is drawn into it, the box copied
  // to the window, and the box's pixels put back.
  const Rect saved_box{changed.left - 4, changed.top - 4, changed.right + 4, changed.bottom + 4};
  const int w = saved_box.right - saved_box.left, h = saved_box.bottom - saved_box.top;
  Port* keep = port_new_offscreen(w, h);
  if (!keep) return;
  port_copy(offscreen_page, keep, saved_box, {0, 0, w, h}, MODE_COPY);
  Port* saved = platform_current_port();
  if (flash_state == 0) {
    if (note_entry_active) {
      platform_set_port(offscreen_page);
      const PenState pen = get_pen_state();
      pen_normal();
      pen_mode(MODE_PAT_XOR);
      frame_rect(changed);
      set_pen_state(pen);
    } else {
      platform_set_port(offscreen_page);
      text_mode(colour == 0 || tab ? MODE_XOR : MODE_BIC);
      platform_set_port(saved);
      draw_number_label(node);
      platform_set_port(offscreen_page);
      text_mode(MODE_OR);
    }
    platform_set_port(saved);
  }
  offscreen_copy_rect(changed, MODE_COPY);
  port_copy(keep, offscreen_page, {0, 0, w, h}, saved_box, MODE_COPY);
  port_dispose(keep);
}
