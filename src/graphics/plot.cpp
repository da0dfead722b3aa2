// plot.cpp: one drawing path for the GE list, with the plot mode as a parameter.
//
// Elements are tested against the update rectangle before any drawing state is set, so that
// a small rectangle costs one test per element. Characters and texts go through the string
// drawer, lines through the thick-line drawer clipped to their own clip box, curves through
// the curve drawer; coordinates stay 32-bit.
#include "graphics/plot.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "editing/editing_services.h"
#include "graphics/GE.h"
#include "graphics/flash.h"
#include "graphics/ge_fields.h"
#include "graphics/ge_services.h"
#include "graphics/ge_visible.h"
#include "graphics/graphics_globals.h"
#include "graphics/offscreen.h"
#include "graphics/raster.h"
#include "model/model_services.h"
#include "platform/port.h"
#include "platform/window.h"

namespace {

Rect intersection(Rect a, Rect b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

int text_pixel_size(int size) {
  const double z = zoom_factor > 0 ? zoom_factor : 10.0;
  return int(std::floor(size * 10.0 / z + 0.5));
}

void plot_line(Drosa line, Rect update) {
  Rect clip;
  virtual_rect_to_screen(&clip, line->get(xgl_clipx1), line->get(xgl_clipy1), line->get(xgl_clipx2),
                         line->get(xgl_clipy2));
  clip_rect(intersection(clip, update));
  draw_thick_line(line->get(xge_x1), line->get(xge_y1), line->get(xge_x2), line->get(xge_y2),
                  line->get(xgl_width), line->get(xgl_dash), line->get(xgl_gap),
                  line->get(xgl_color), 0);
  clip_rect(update);
}

void plot_curve(Drosa curve) {
  draw_curve(curve->get(xge_x1), curve->get(xge_y1), curve->get(xgv_c1x), curve->get(xgv_c1y),
             curve->get(xgv_c2x), curve->get(xgv_c2y), curve->get(xge_x2), curve->get(xge_y2),
             curve->get(xgv_fill), curve->get(xgv_dash), curve->get(xgv_gap),
             curve->get(xgv_color));
}

// True when the element is left out in this mode whatever its place.
bool left_out(Drosa element, int mode) {
  if (element->xkind == NOTEPTR) return false;
  if (element->get(xgremove)) return true;
  const int class_of = element->get(xganno);
  return mode == PLOT_SCREEN ? class_of == GANNO_PRINT_ONLY : class_of == GANNO_SCREEN_ONLY;
}

}  // namespace

Drosa plot_text_run(Drosa element, int skip_text) {
  std::string text;
  Drosa run = element;
  int adjacent = GE_string_text(&text, &run);
  if (!skip_text)
    draw_string_at(run->get(xgc_x), run->get(xgc_y), run->get(xgc_dx), run->get(xgc_dy),
                   run->get(xgc_font), run->get(xgc_cset), text_pixel_size(run->get(xgc_size)),
                   run->get(xgc_style), run->get(xgc_color), text);
  while (adjacent) {
    Drosa next = run->xnext;
    adjacent = GE_string_text(&text, &next);
    run = next;
    if (!skip_text)
      draw_string_at(ADJACENT_TEXT, ADJACENT_TEXT, run->get(xgc_dx), run->get(xgc_dy),
                     run->get(xgc_font), run->get(xgc_cset), text_pixel_size(run->get(xgc_size)),
                     run->get(xgc_style), run->get(xgc_color), text);
  }
  return run;
}

SavedViewTransform print_view_of(const ViewTransform& print) {
  const double ratio = double(zoom_factor) / print.zoom;
  return {print, print.zoom, int32_t(std::floor(page_pixel_width * ratio + 0.5)),
          int32_t(std::floor(page_pixel_height * ratio + 0.5))};
}

void put_view_transform(const SavedViewTransform& view) {
  view_transform = view.transform;
  zoom_factor = view.zoom;
  page_pixel_width = view.width;
  page_pixel_height = view.height;
}

SavedViewTransform use_print_transform() {
  SavedViewTransform saved{view_transform, zoom_factor, page_pixel_width, page_pixel_height};
  put_view_transform(print_view_of(print_transform));
  transform_saved = 1;
  return saved;
}

void restore_view_transform(const SavedViewTransform& saved) {
  put_view_transform(saved);
  transform_saved = 0;
}

void plot_GE_list_of(Drosa head, Rect update, int mode, int skip_text) {
  if (!head) return;
  const PenState pen = get_pen_state();
  const Rect clip = get_clip();
  const bool print_like = mode != PLOT_SCREEN;
  clip_rect(update);
  pen_size(1, 1);
  for (Drosa p = head->xnext; p; p = p->xnext) {
    if (p->xkind == NOTEPTR) continue;
    if (!is_graphics_element_kind(p->xkind)) {
      REPORT_ERROR(4, "plot.c: Unrecognized Graphics Element kind %hd", short(p->xkind));
      continue;
    }
    // A screen twin and the element after it are alternatives: the screen draws the twin and
    // steps over the other; print and picture step over the twin and draw the other.
    const bool twin = p->get(xgscreen);
    if (twin && print_like) continue;
    Drosa drawn = p;
    if (twin && p->xnext) p = p->xnext;
    if (left_out(drawn, mode) || !check_GE_visible_in_rect(drawn, update)) continue;
    const bool erase = drawn->get(xdrawmode) == BICMODE;
    text_mode(erase ? MODE_BIC : MODE_OR);
    pen_mode(erase ? MODE_PAT_BIC : MODE_PAT_COPY);
    fore_colour(COLOUR_BLACK);
    switch (drawn->xkind) {
      case GE_CHAR:
      case GE_STRING:
        drawn = plot_text_run(drawn, skip_text);
        if (!twin) p = drawn;
        break;
      case GE_LINE:
        plot_line(drawn, update);
        break;
      default:
        plot_curve(drawn);
    }
  }
  text_mode(MODE_OR);
  set_pen_state(pen);
  clip_rect(clip);
}

void plot_GE_list(Rect update, int mode, int skip_text) {
  if (!GE_head) return;
  const bool swapped = mode != PLOT_SCREEN && print_transform.zoom > 0;
  SavedViewTransform saved{};
  if (swapped) saved = use_print_transform();
  plot_GE_list_of(GE_head, update, mode, skip_text);
  if (swapped) restore_view_transform(saved);
}

// Kept off the screen (the program only prints), a view is seen by nobody: its picture is not
// drawn, and the page is drawn only where it is printed.
void redraw_view() {
  if (!offscreen_page || platform_windows_kept_off_screen()) return;
  offscreen_erase();
  Port* saved = platform_current_port();
  platform_set_port(offscreen_page);
  plot_GE_list(port_bounds(offscreen_page), PLOT_SCREEN, 0);
  platform_set_port(saved);
  highlight_page_marks();  // the selection's marks, gone with the old picture
  refresh_from_offscreen();
  if (insertion_point) start_flashing(insertion_point);
  if (!inverted_selection_rect.empty()) show_selection_inverted(inverted_selection_rect);
  if (!framed_selection_rect.empty())
    draw_selection_frame(framed_selection_rect, framed_selection_number, 1);
}
