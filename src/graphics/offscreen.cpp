// offscreen.cpp: the offscreen page and its view transform, copies to the music window, the
// rulers and the selection marks.
//
// The page image is a buffer of 32-bit pixels allocated here and handed to a port; it is made
// again whenever the zoom, the page size or the notation context changes. The music window
// never draws music: it shows the scrolled part of this image.
#include "graphics/offscreen.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/app_services.h"
#include "editing/editing_services.h"
#include "graphics/flash.h"
#include "graphics/ge_services.h"
#include "graphics/graphics_globals.h"
#include "graphics/raster.h"
#include "model/model_services.h"
#include "platform/memory.h"
#include "platform/port.h"
#include "platform/port_scope.h"
#include "platform/window.h"

namespace {

constexpr int PIXEL_DEPTH = 32;  // bits per pixel of the page image
constexpr double POINTS_PER_INCH = 72;

Port* measuring_port = nullptr;  // measures text while no page exists

int32_t nearest(double v) { return int32_t(v >= 0 ? std::floor(v + 0.5) : -std::floor(-v + 0.5)); }

// Pixels past any page image's are cut to MAX_PIXELS, so that no scale overflows them.
constexpr double MAX_PIXELS = 1 << 24;

int32_t page_pixels(int32_t tenths_of_inch, double scale) {
  const double pixels = tenths_of_inch / 10.0 * POINTS_PER_INCH * scale;
  return nearest(std::clamp(pixels, -MAX_PIXELS, MAX_PIXELS));
}

// The rectangle of a selection in page pixels, through the integer part of the zoom. A zoom
// below 1 (fit-to-width on a large window) counts as 1 rather than dividing by zero.
Rect selection_pixels(const VirtualRect& r) {
  const int zoom = std::max(1, int(zoom_factor));
  auto x = [zoom](int32_t v) { return nearest(double(v) / zoom); };
  auto y = [zoom](int32_t v) { return page_pixel_height - nearest(double(v) / zoom); };
  return {std::min(x(r.x1), x(r.x2)), std::min(y(r.y1), y(r.y2)), std::max(x(r.x1), x(r.x2)),
          std::max(y(r.y1), y(r.y2))};
}

}  // namespace

// ---- The view transform -----------------------------------------------------------------------

float set_view_transform(float zoom, int32_t page_width, int32_t page_height, int window_width,
                         ViewTransform* record, uint8_t flag1, uint8_t flag2, int no_limit,
                         int32_t* pixel_width, int32_t* pixel_height) {
  int32_t width, height;
  if (!std::isfinite(zoom)) zoom = 10.0f;
  if (zoom <= 0 && record && window_width > 0) {
    width = std::max(16, (window_width - SCROLL_BAR_WIDTH) / 16 * 16);
    zoom = float(page_width / 10.0 * POINTS_PER_INCH * 10.0 / width);
    if (zoom <= 0) zoom = 10.0f;
  } else {
    if (zoom <= 0) zoom = 10.0f;
    width = page_pixels(page_width, 10.0 / zoom);
    width = (width + 15) / 16 * 16;
  }
  height = page_pixels(page_height, 10.0 / zoom);
  if (!no_limit) {
    if (width > MAX_PAGE_PIXEL_WIDTH) {
      const double factor = double(MAX_PAGE_PIXEL_WIDTH) / width;
      height = nearest(height * factor);
      zoom = float(zoom / factor);
      width = MAX_PAGE_PIXEL_WIDTH;
    }
    if (height > MAX_PAGE_PIXEL_HEIGHT) {
      const double factor = double(MAX_PAGE_PIXEL_HEIGHT) / height;
      width = nearest(width * factor);
      zoom = float(zoom / factor);
      height = MAX_PAGE_PIXEL_HEIGHT;
    }
  }
  if (record) {
    *record = transform_for_zoom(zoom);
    record->flags[0] = flag1;
    record->flags[1] = flag2;
  }
  *pixel_width = std::max(width, 1);
  *pixel_height = std::max(height, 1);
  return zoom;
}

void offscreen_rowbytes(int32_t width, int32_t height, int32_t* row_bytes, long* size) {
  *row_bytes = int32_t((int64_t(PIXEL_DEPTH) * width + 31) / 32 * 4);
  *size = (long(*row_bytes) * height + 63) / 64 * 64;
}

// ---- The page image -----------------------------------------------------------------------------

int offscreen_create(float zoom, int32_t page_width, int32_t page_height, int window_width,
                     int /*show: the window is shown by its owner*/) {
  offscreen_dispose();
  const ViewTransform previous = view_transform;
  zoom_factor = set_view_transform(zoom, page_width, page_height, window_width, &view_transform,
                                   previous.flags[0], previous.flags[1], 0, &page_pixel_width,
                                   &page_pixel_height);
  set_view_transform(print_transform.zoom, page_width, page_height, 0, nullptr, 0, 0, 1,
                     &print_page_pixel_width, &print_page_pixel_height);
  int32_t row_bytes;
  long size;
  offscreen_rowbytes(page_pixel_width, page_pixel_height, &row_bytes, &size);
  void* buffer = NewPtr_or_alert(size);
  if (!buffer) return 0;
  Port* port = port_new_offscreen_on(buffer, page_pixel_width, page_pixel_height, row_bytes);
  if (!port) {
    platform_release(buffer);
    return 0;
  }
  // The page on the screen is drawn with smooth edges.
  port_set_smooth(port, true);
  offscreen_page = port;
  offscreen_buffer = buffer;
  offscreen_buffer_size = size;
  scroll_view();
  return 1;
}

int offscreen_changesize() {
  stop_flashing(flashing_node);
  insertion_point = NIL;
  note_entry_active = 0;  // entry ends with its insertion point
  offscreen_dispose();
  const int context = std::max<int>(current_ncontext, 1);
  // A zoom of 0 (Screen Width) fits the page to the width of the screen.
  const Rect screen = platform_screen_bounds();
  const int fit_width = zoom_factor > 0 ? 0 : screen.right - screen.left;
  if (!offscreen_create(zoom_factor, options_i32(context, OPTIONS_PAGE_WIDTH),
                        options_i32(context, OPTIONS_PAGE_HEIGHT), fit_width, 1)) {
    REPORT_ERROR(4, "Memory check logic error in offscreen_changesize");
    return 0;
  }
  inverted_selection_rect = framed_selection_rect = VirtualRect{};
  offscreen_erase();
  return 1;
}

void offscreen_dispose() {
  port_dispose(offscreen_page);
  platform_release(offscreen_buffer);
  offscreen_page = nullptr;
  offscreen_buffer = nullptr;
  offscreen_buffer_size = 0;
}

void offscreen_erase() {
  in_port(offscreen_page, [] { erase_rect(port_bounds(offscreen_page)); });
}

thread_local constinit Port* own_measuring_port = nullptr;

Port* offscreen_port() {
  if (own_measuring_port) return own_measuring_port;
  if (offscreen_page) return offscreen_page;
  if (!measuring_port) measuring_port = port_new_offscreen(8, 8);
  return measuring_port;
}

// ---- Showing the page -----------------------------------------------------------------------

Rect music_area(const Port* window) {
  Rect r = port_bounds(window);
  r.right -= SCROLL_BAR_WIDTH;
  r.bottom -= SCROLL_BAR_WIDTH;
  if (music_window_rulers) {
    r.left += RULER_WIDTH;
    r.top += RULER_WIDTH;
  }
  return r;
}

void copy_offscreen_to_window(Port* window, const Port* source, int16_t mode) {
  if (!window || !source) return;
  const Rect to = music_area(window);
  if (to.empty()) return;
  const Rect from = offset_rect(to, scroll_h - to.left, scroll_v - to.top);
  in_port(window, [&] {
    fore_colour(COLOUR_BLACK);
    back_colour(COLOUR_WHITE);
    port_copy(source, window, from, to, mode);
  });
}

void refresh_from_offscreen() {
  if (offscreen_copies_held) return;
  toggle_insertion_cursor(2);
  copy_offscreen_to_window(music_window_port, offscreen_page, MODE_COPY);
  toggle_insertion_cursor(0);
}

void offscreen_copy_rect(Rect box, int16_t mode) {
  if (!music_window_port || !offscreen_page) return;
  const Rect area = music_area(music_window_port);
  const Rect from = outset_rect(box, 3);
  const Rect to = offset_rect(from, area.left - scroll_h, area.top - scroll_v);
  in_port(music_window_port, [&] {
    const Rect clip = get_clip();
    clip_rect(area);
    port_copy(offscreen_page, music_window_port, from, to, mode);
    clip_rect(clip);
  });
}

void scroll_view() {
  scroll_h = scroll_v = 0;
  refresh_from_offscreen();
  draw_ruler(1);
}

// ---- Views -----------------------------------------------------------------------------------

void save_view_graphics(ViewGraphics* r) {
  r->GE_head = GE_head;
  r->old_GE_head = old_GE_head;
  r->GE_tail = GE_tail;
  r->GE_list_complete = GE_list_complete;
  r->zoom_factor = zoom_factor;
  r->transform = view_transform;
  r->page_pixel_width = page_pixel_width;
  r->page_pixel_height = page_pixel_height;
  r->page = offscreen_page;
  r->buffer = offscreen_buffer;
  r->buffer_size = offscreen_buffer_size;
  r->scroll_h = scroll_h;
  r->scroll_v = scroll_v;
  r->window = music_window_port;
  r->rulers = music_window_rulers;
}

void restore_view_graphics(const ViewGraphics& r) {
  GE_head = r.GE_head;
  old_GE_head = r.old_GE_head;
  GE_tail = r.GE_tail;
  GE_list_complete = r.GE_list_complete;
  zoom_factor = r.zoom_factor;
  view_transform = r.transform;
  page_pixel_width = r.page_pixel_width;
  page_pixel_height = r.page_pixel_height;
  offscreen_page = r.page;
  offscreen_buffer = r.buffer;
  offscreen_buffer_size = r.buffer_size;
  scroll_h = r.scroll_h;
  scroll_v = r.scroll_v;
  music_window_port = r.window;
  music_window_rulers = r.rulers;
}

void offscreen_copy_view(int view) {
  if (view == current_graphics_view) {
    REPORT_ERROR(4, "Call to offscreen_copy_view for current view!");
    return;
  }
  const ViewGraphics* other = view >= 0 && view < VIEW_SLOTS ? view_graphics[view] : nullptr;
  if (!other) {
    REPORT_ERROR(4, "Call to offscreen_copy_view for view %hd; ViewData pointer is NIL!",
                 short(view));
    return;
  }
  const int32_t h = scroll_h, v = scroll_v;
  const int rulers = music_window_rulers;
  scroll_h = other->scroll_h;
  scroll_v = other->scroll_v;
  music_window_rulers = other->rulers;
  copy_offscreen_to_window(other->window, other->page, MODE_COPY);
  scroll_h = h;
  scroll_v = v;
  music_window_rulers = rulers;
}

// ---- Selection marks ------------------------------------------------------------------------

void show_selection_inverted(const VirtualRect& r) {
  in_port(offscreen_page, [&] { invert_rect(selection_pixels(r)); });
  refresh_from_offscreen();
}

void draw_selection_frame(const VirtualRect& r, int32_t number, int refresh) {
  if (voice_count == 0) {
    framed_selection_rect = VirtualRect{};
    return;
  }
  in_port(offscreen_page, [&] {
    const PenState pen = get_pen_state();
    const int zoom = std::max(1, int(zoom_factor));
    const int width = std::max(1, int(selection_frame_width * 10 / zoom));
    pen_pattern(PATTERN_LIGHT_GRAY);
    pen_mode(MODE_PAT_XOR);
    pen_size(width, width);
    frame_rect(selection_pixels(r));
    char text[16];
    const int length = std::snprintf(text, sizeof text, "%d", int(number));
    text_mode(MODE_XOR);
    const int32_t inside = int32_t((width + 2) * zoom_factor);
    draw_string_at(std::min(r.x1, r.x2) + inside,
                   std::max(r.y1, r.y2) - inside - int32_t(selection_frame_size * zoom_factor), 0,
                   0, selection_frame_font, 0, selection_frame_size, FACE_PLAIN, 0,
                   std::string_view(text, size_t(length)));
    text_mode(MODE_OR);
    set_pen_state(pen);
  });
  if (refresh) refresh_from_offscreen();
}

void remove_selection_marks() {
  if (!inverted_selection_rect.empty()) {
    show_selection_inverted(inverted_selection_rect);
    inverted_selection_rect = VirtualRect{};
  }
  if (!framed_selection_rect.empty()) {
    draw_selection_frame(framed_selection_rect, framed_selection_number, 1);
    framed_selection_rect = VirtualRect{};
  }
}
