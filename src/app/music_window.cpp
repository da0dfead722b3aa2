// music_window.cpp: the music window's geometry, title, scroll bars, scrolling, growing,
// rulers and insertion cross.
//
// The window draws no music: its music area shows the scrolled part of the view's page image
// (refresh_from_offscreen). The horizontal scroll position moves only in steps of 16 pixels;
// the music area's width is kept a multiple of 16 when the window is sized. The ruler marks
// and the insertion cross are drawn by exclusive-or, so drawing them again takes them away.
#include "app/music_window.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "app/app_globals.h"
#include "app/cursors.h"
#include "app/event_loop.h"
#include "app/prefs.h"
#include "editing/editing_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "performance/performance_services.h"
#include "platform/controls.h"
#include "platform/port.h"
#include "platform/ticks.h"
#include "platform/window.h"

namespace {

constexpr int RULER = 16;        // width of a ruler strip
constexpr int BAR_WIDTH = 15;    // scroll bars and grow box at the right and bottom
constexpr int TITLE_BAR = 22;    // each open view's window stands this much lower
constexpr int SCROLL_STEP = 16;  // arrows
constexpr int PAGE_STEP = 80;    // page areas at the least
constexpr int MARK_LENGTH = 11;  // the ruler marks
constexpr int TICK_LENGTHS[8] = {10, 2, 4, 2, 7, 2, 4, 2};

// The scroll bars of each music window.
struct Chrome {
  int window;
  Control* hbar;
  Control* vbar;
};
std::vector<Chrome> chromes;

Chrome* chrome_of(int window) {
  for (Chrome& c : chromes)
    if (c.window == window) return &c;
  return nullptr;
}

// Kept by clip_to_music_area(1) for clip_to_music_area(0).
struct KeptClip {
  Port* port = nullptr;
  PenState pen;
  Rect clip;
};
KeptClip kept_clip;

// Runs `draw` in the music window's port with the clip opened to the whole port.
template <typename Draw>
void in_window(Draw draw) {
  Port* port = music_window_port;
  if (!port) return;
  Port* saved = platform_current_port();
  platform_set_port(port);
  const PenState pen = get_pen_state();
  const Rect clip = get_clip();
  clip_rect(port_bounds(port));
  draw();
  clip_rect(clip);
  set_pen_state(pen);
  platform_set_port(saved);
  platform_window_changed(music_window());
}

// The integer nearest to q, halves away from zero.
int32_t nearest(double q) { return int32_t(q >= 0 ? std::floor(q + 0.5) : -std::floor(-q + 0.5)); }

float zoom() { return zoom_factor > 0 ? zoom_factor : 10.0f; }

Rect port_rect() { return port_bounds(music_window_port); }

int scroll_maximum(bool horizontal) {
  const Rect port = port_rect();
  return horizontal ? page_pixel_width + ruler_width() - port.width() + BAR_WIDTH
                    : page_pixel_height + ruler_height() - port.height() + BAR_WIDTH;
}

// A page area's step: what the music area shows across the bar, less one arrow step so that
// the edge seen before stays in sight.
int page_step(bool horizontal) {
  const Rect area = music_area_rect();
  return std::max(PAGE_STEP, (horizontal ? area.width() : area.height()) - SCROLL_STEP);
}

// The horizontal part of wheel movements not yet scrolled (the page moves by 16 pixels).
int wheel_rest_h = 0;

// The remainder of a horizontal step is dropped when it is at most 8, else the step goes on to
// the next multiple of 16 away from zero.
int snap_to_16(int step) {
  const int r = step - SCROLL_STEP * (step / SCROLL_STEP);
  if (r >= -8 && r <= 8) return step - r;
  return step > 0 ? step - r + SCROLL_STEP : step - r - SCROLL_STEP;
}

bool rulers_on_in_prefs() { return (prefs.u16(PREFS_ZOOM_WORD) & 0x0003) != 0; }

int page_based_width() { return page_pixel_width + ruler_width() + BAR_WIDTH; }
int page_based_height() { return page_pixel_height + ruler_height() + BAR_WIDTH + 1; }

// ---- The insertion cross ----------------------------------------------------------------------

// Where the cross stands in the window: each coordinate -1 when that line is not shown.
Point cross_place() {
  const Point origin = scroll_origin();
  Point p{-1, -1};
  if (insertion_cross.x != -1) p.x = nearest(insertion_cross.x / double(zoom())) + origin.x;
  if (insertion_cross.y != -1)
    p.y = page_pixel_height + origin.y - nearest(insertion_cross.y / double(zoom()));
  return p;
}

// Draws (or, drawn again, takes away) the cross at a window place, within the music area.
void xor_cross(Point at) {
  if (at == Point{-1, -1}) return;
  const Rect area = music_area_rect();
  in_window([&] {
    pen_normal();
    pen_pattern(PATTERN_GRAY);
    pen_mode(MODE_PAT_XOR);
    if (at.y >= area.top && at.y < area.bottom) {
      move_to(area.left, at.y);
      line_to(area.right - 1, at.y);
    }
    if (at.x >= area.left && at.x < area.right) {
      move_to(at.x, area.top);
      line_to(at.x, area.bottom - 1);
    }
  });
}

// The two ruler marks at a window point, by exclusive-or.
void xor_marks(Point at) {
  if (at == Point{-1, -1}) return;
  in_window([&] {
    pen_normal();
    pen_pattern(PATTERN_GRAY);
    pen_mode(MODE_PAT_XOR);
    move_to(0, at.y);
    line_to(MARK_LENGTH - 1, at.y);
    move_to(at.x, 0);
    line_to(at.x, MARK_LENGTH - 1);
  });
}

// The whole-page cross in the page image.
void xor_cross_in_page() {
  if (!offscreen_page) return;
  Port* saved = platform_current_port();
  platform_set_port(offscreen_page);
  const PenState pen = get_pen_state();
  pen_normal();
  pen_pattern(PATTERN_GRAY);
  pen_mode(MODE_PAT_XOR);
  const Point origin = scroll_origin();
  const Point at = cross_place();
  if (at.y != -1) {
    move_to(0, at.y - origin.y);
    line_to(page_pixel_width - 1, at.y - origin.y);
  }
  if (at.x != -1) {
    move_to(at.x - origin.x, 0);
    line_to(at.x - origin.x, page_pixel_height - 1);
  }
  set_pen_state(pen);
  platform_set_port(saved);
}

// A ruler number, right-aligned at `right` on the baseline `baseline`.
void draw_ruler_number(int number, int right, int baseline) {
  char text[16];
  const int length = std::snprintf(text, sizeof text, "%d", number);
  move_to(right - int(std::lround(text_width(text, length))), baseline);
  draw_text(text, length);
}

// The first and last tick numbers whose ticks fall within [from, to) at origin o.
void tick_range(int from, int to, int o, double s, int* first, int* last) {
  *first = int((from - o + s - 1) / s);
  *last = int((to - o) / s);
}

}  // namespace

// ---- The window and its geometry ----------------------------------------------------------

int music_window() { return platform_window_of_port(music_window_port); }
int ruler_width() { return music_window_rulers ? RULER : 0; }
int ruler_height() { return music_window_rulers ? RULER : 0; }

Rect music_area_rect() {
  if (!music_window_port) return {};
  const Rect port = port_rect();
  return {ruler_width(), ruler_height(), port.right - BAR_WIDTH, port.bottom - BAR_WIDTH};
}

Point scroll_origin() { return {ruler_width() - scroll_h, ruler_height() - scroll_v}; }

Control* hscroll_bar() {
  Chrome* c = chrome_of(music_window());
  return c ? c->hbar : nullptr;
}
Control* vscroll_bar() {
  Chrome* c = chrome_of(music_window());
  return c ? c->vbar : nullptr;
}

void new_music_window(int width, int height) {
  const int top = screen_device.top + TITLE_BAR * count_open_views() + TITLE_BAR;
  const Rect bounds{screen_device.left, top, screen_device.left + width, top + height};
  const int window = platform_new_window("New Piece", bounds, false);
  if (!window) return;
  music_window_port = platform_window_port(window);
  chromes.push_back({window, platform_new_scroll_bar(window, {}, 0, 0, 1),
                     platform_new_scroll_bar(window, {}, 0, 0, 1)});
  platform_set_port(music_window_port);
  clip_rect({});
}

void dispose_music_window() { dispose_music_window_of(music_window()); }

void dispose_music_window_of(int window) {
  if (!window) return;
  if (Chrome* c = chrome_of(window)) {
    platform_dispose_control(c->hbar);
    platform_dispose_control(c->vbar);
    std::erase_if(chromes, [window](const Chrome& k) { return k.window == window; });
  }
  if (window == music_window()) {
    music_window_port = nullptr;
    cross_drawn_at = ruler_mark_at = Point{-1, -1};
  }
  platform_dispose_window(window);
}

void layout_scroll_bars() {
  Control* v = vscroll_bar();
  Control* h = hscroll_bar();
  if (!v || !h) return;
  const Rect port = port_rect();
  const Rect v_rect{port.right - BAR_WIDTH, -1, port.right - BAR_WIDTH + 16,
                    -1 + port.height() - 13};
  if (platform_control_rect(v) != v_rect) {
    platform_move_control(v, v_rect.left, v_rect.top);
    platform_size_control(v, v_rect.width(), v_rect.height());
  }
  const Rect h_rect{-1, port.bottom - BAR_WIDTH, -1 + port.width() - 13,
                    port.bottom - BAR_WIDTH + 16};
  if (platform_control_rect(h) != h_rect) {
    platform_move_control(h, h_rect.left, h_rect.top);
    platform_size_control(h, h_rect.width(), h_rect.height());
  }
  for (bool horizontal : {true, false}) {
    Control* bar = horizontal ? h : v;
    int maximum = scroll_maximum(horizontal);
    if (maximum <= 0) maximum = 0;
    // The scroll position is the bar's value; a new page image starts at its top left.
    const int value = horizontal ? scroll_h : scroll_v;
    if (value > maximum) {
      if (horizontal)
        scroll_music_by(value - maximum, 0);
      else
        scroll_music_by(0, value - maximum);
    }
    platform_set_control_maximum(bar, maximum);
    platform_set_control_value(bar, std::min(value, maximum));
    platform_hilite_control(bar, maximum == 0 ? CONTROL_INACTIVE : 0);
  }
  platform_show_control(v);
  platform_show_control(h);
}

void set_grow_limits() {
  grow_limits.left = grow_limits.top = 80;
  grow_limits.bottom = std::min(page_based_height(), screen_device.height() - TITLE_BAR);
  grow_limits.right = page_based_width() > screen_device.width() || default_scale.negative
                          ? screen_device.width()
                          : page_based_width();
  // The window system's frame grows the window no larger either: a window grown past the page
  // kept its scroll bars and grow box inside, with a blank strip beyond them.
  platform_set_window_limits(music_window(), grow_limits);
}

void grow_music_window(int width, int height) {
  const int views = count_open_views();
  if (width == 0) {
    width = std::min(page_based_width(), screen_device.width());
    height = std::min(screen_device.height() - TITLE_BAR * views - 82,
                      page_based_height() - TITLE_BAR * views + TITLE_BAR) -
             1;
  }
  const int r = (width - ruler_width() - BAR_WIDTH) % SCROLL_STEP;
  width += r <= 8 ? -r : SCROLL_STEP - r;
  // Made up to the next step, the window would not fit the screen: it takes the step below.
  if (width > screen_device.width() && screen_device.width() > SCROLL_STEP) width -= SCROLL_STEP;
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (!music_window()) {
    new_music_window(width, height);
    if (!music_window()) return;
  } else {
    const Rect port = port_rect();
    platform_invalidate_window(music_window(),
                               {port.right - 14, port.bottom - 14, port.right, port.bottom});
    platform_size_window(music_window(), width, height, true);
  }
  set_grow_limits();
  layout_scroll_bars();
  platform_draw_grow_box(music_window());
  Port* saved = platform_current_port();
  platform_set_port(music_window_port);
  clip_rect(music_area_rect());
  platform_set_port(saved);
  update_window();
}

void draw_MusicWindow_controls(int window) {
  Chrome* c = chrome_of(window);
  if (!c) {
    REPORT_ERROR(4, "Not a MusicWindow in draw_MusicWindow_controls");
    return;
  }
  platform_draw_control(c->hbar);
  platform_draw_control(c->vbar);
  platform_draw_grow_box(window);
}

void erase_music_window() {
  in_window([] { erase_rect(port_rect()); });
  offscreen_erase();
}

void invalidate_music_area(int flag) {
  const int before = ruler_width();
  music_window_rulers = rulers_on_in_prefs() ? 1 : 0;
  if (!music_window_rulers) insertion_cross = Point{-1, -1};
  if (!flag || ruler_width() == before || !music_window()) return;
  // scroll_h and scroll_v stay: the origin moves with the strips, the page with the area.
  const Rect area = music_area_rect();
  platform_invalidate_window(music_window(), {0, 0, area.right, area.bottom});
  cross_drawn_at = ruler_mark_at = Point{-1, -1};
  grow_music_window(0, 0);
}

void clip_to_music_area(int mode, int flag) {
  if (mode == 1) {
    kept_clip.port = platform_current_port();
    if (!music_window_port) return;
    platform_set_port(music_window_port);
    kept_clip.pen = get_pen_state();
    kept_clip.clip = get_clip();
    clip_rect(port_rect());
    return;
  }
  if (music_window_port) {
    platform_set_port(music_window_port);
    set_pen_state(kept_clip.pen);
    clip_rect(kept_clip.clip);
  }
  if (flag) platform_set_port(kept_clip.port);
}

// ---- The title -----------------------------------------------------------------------------

const char* path_leaf_name(const char* path) {
  const char* leaf = path;
  for (const char* p = path; *p; ++p)
    if ((*p == '/' || *p == '\\') && p[1]) leaf = p + 1;
  return leaf;
}

void display_win_title(int mode, const char* extra) {
  std::string title;
  if (mode == 3) {
    title = extra ? extra : "";
  } else if (piece_fsspec.empty()) {
    title = "Vesk";
  } else {
    title = path_leaf_name(piece_fsspec.c_str());
    title += ", ";
    if (ncontext_count > 1) {
      title += ncontext_name_of(current_ncontext);
      title += ", ";
    }
    if (mode != 2) {
      char page[48];
      std::snprintf(page, sizeof page, "page %hd of %hd; ", short(current_page), page_count);
      title += page;
      if (selected_voice >= 0 && !group_selected && voice_count > 1) {
        title += voice_display_name(selected_voice);
        title += "  ";
      }
      // The mode in force, where the eye is: a click and a key do something else in each.
      if (MODE == TEXT_MODE) title += "Text mode  ";
      if (MODE == LINE_MODE) title += "Line mode  ";
      if (MODE == CURVE_MODE) title += "Curve mode  ";
    }
    if (extra) {
      title += extra;
      title += "  ";
    }
    title.resize(title.size() - 2);  // the final separator
  }
  music_window_title = title;
  const int window = music_window();
  if (!window) {
    if (current_view_index >= 0) REPORT_ERROR(4, "NIL call to display_win_title()");
    return;
  }
  platform_set_window_title(window, title);
  if (mode < 0 && platform_window_visible(window)) {
    platform_hide_window(window);
    platform_show_window(window);
  }
}

void make_window_title(std::string* fsspec) {
  const size_t slash = fsspec->find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : fsspec->substr(0, slash + 1);
  const std::string name = fsspec->substr(slash == std::string::npos ? 0 : slash + 1);
  std::string made;
  if (!name.empty()) {
    // The whole name: a document's long name cut to a few dozen characters lost its end, even
    // inside a character, in the title and on the printed pages.
    *fsspec = folder + ":from: " + name;
    return;
  }
  ++untitled_count;
  made = ":New Piece:";
  if (untitled_count > 1) made += std::to_string(untitled_count);
  *fsspec = folder + made;
}

void clear_current_piece() {
  framed_selection_rect = VirtualRect{};
  piece_fsspec.clear();
  display_win_title(1, nullptr);
  if (voice_count == 0) return;
  set_cursor(CURSOR_ID_WATCH);
  if (insertion_point) stop_flashing(insertion_point);
  insertion_point = NIL;
  discard_piece_lists();
  voice_count = 0;
  DrosaDirty = 0;
  if (group_selected) end_group_selection(0);
  destroy_pstaff_lists();
  if (GE_head) {
    if (old_GE_head) destroy_Drosa_list(old_GE_head);
    old_GE_head = NIL;
    GEinit(0);
  }
  draw_piano_window();
}

// ---- Scrolling -----------------------------------------------------------------------------

void scroll_music_by(int dx, int dy) {
  if (dx % SCROLL_STEP) REPORT_ERROR(4, "xscroll %hd not zero mod 16", short(dx));
  scroll_h -= dx;
  scroll_v -= dy;
  if (!drag_scrolling) refresh_from_offscreen();
  draw_ruler(1);
}

void do_scroll(int* dx, int* dy) {
  Control* bars[2] = {hscroll_bar(), vscroll_bar()};
  int* steps[2] = {dx, dy};
  for (int i = 0; i < 2; ++i) {
    Control* bar = bars[i];
    if (!bar || *steps[i] == 0) continue;
    const int value = platform_control_value(bar);
    const int low = platform_control_minimum(bar), high = platform_control_maximum(bar);
    int wanted = value - *steps[i];
    if (!drag_scrolling) wanted = std::clamp(wanted, low, high);
    int step = value - wanted;
    if (i == 0) {
      step = snap_to_16(step);
      if (value - step < low || value - step > high) {
        REPORT_ERROR(4, "xscroll logic error in event.c");
        step = 0;
      }
    }
    *steps[i] = step;
  }
  if (*dx == 0 && *dy == 0) return;
  if (bars[0]) platform_set_control_value(bars[0], platform_control_value(bars[0]) - *dx);
  if (bars[1]) platform_set_control_value(bars[1], platform_control_value(bars[1]) - *dy);
  scroll_h -= *dx;
  scroll_v -= *dy;
  if (!drag_scrolling) refresh_from_offscreen();
  draw_ruler(1);
  if (bars[0]) platform_draw_control(bars[0]);
  if (bars[1]) platform_draw_control(bars[1]);
}

void repeating_scroll_proc(Control* control, int part) {
  const uint32_t start = platform_ticks();
  play_music(0, 0);
  const bool horizontal = control == hscroll_bar();
  if (!horizontal && control != vscroll_bar()) {
    REPORT_ERROR(4, "repeating_scroll_proc: unrecognized control");
    return;
  }
  int step;
  switch (part) {
    case PART_UP_BUTTON:
      step = SCROLL_STEP;
      break;
    case PART_DOWN_BUTTON:
      step = -SCROLL_STEP;
      break;
    case PART_PAGE_UP:
      step = page_step(horizontal);
      break;
    case PART_PAGE_DOWN:
      step = -page_step(horizontal);
      break;
    case PART_NONE:
      return;
    default:
      REPORT_ERROR(4, "repeating_scroll_proc: Unrecognized control part %hd", short(part));
      return;
  }
  int dx = horizontal ? step : 0, dy = horizontal ? 0 : step;
  do_scroll(&dx, &dy);
  // Page scrolling repeats at the caret's blink rate.
  if (part == PART_PAGE_UP || part == PART_PAGE_DOWN) {
    const uint32_t until = start + platform_caret_ticks();
    const uint32_t now = platform_ticks();
    if (until > now) platform_delay_ticks(until - now);
  }
}

void wheel_scroll(const EventRecord& event) {
  if (!music_window() || event.window != music_window() || !offscreen_page) return;
  const Point d = wheel_distance(event);
  if ((wheel_rest_h > 0 && d.x < 0) || (wheel_rest_h < 0 && d.x > 0)) wheel_rest_h = 0;
  wheel_rest_h = std::clamp(wheel_rest_h + d.x, -4 * SCROLL_STEP, 4 * SCROLL_STEP);
  int dx = wheel_rest_h / SCROLL_STEP * SCROLL_STEP, dy = d.y;
  wheel_rest_h -= dx;
  if (dx || dy) do_scroll(&dx, &dy);
}

int key_scroll(uint8_t c) {
  if (!music_window() || !offscreen_page) return 0;
  int dx = 0, dy = 0;
  switch (c) {
    case KEY_LEFT:
      dx = SCROLL_STEP;
      break;
    case KEY_RIGHT:
      dx = -SCROLL_STEP;
      break;
    case KEY_UP:
      dy = SCROLL_STEP;
      break;
    case KEY_DOWN:
      dy = -SCROLL_STEP;
      break;
    case KEY_PAGE_UP:
      dy = page_step(false);
      break;
    case KEY_PAGE_DOWN:
      dy = -page_step(false);
      break;
    default:
      return 0;
  }
  do_scroll(&dx, &dy);
  return 1;
}

void track_scroll_bar(Control* control, Point where) {
  int part = PART_NONE;
  platform_find_control(platform_control_window(control), where, &part);
  if (part != PART_THUMB) {
    platform_track_control(control, where, repeating_scroll_proc);
    draw_MusicWindow_controls(music_window());
    return;
  }
  const int old_value = platform_control_value(control);
  clip_to_music_area(1, 0);
  const int released = platform_track_control(control, where, nullptr);
  clip_to_music_area(0, 1);
  if (released != PART_THUMB) return;
  int difference = platform_control_value(control) - old_value;
  const bool horizontal = control == hscroll_bar();
  if (horizontal) {
    difference = snap_to_16(difference);
    const int value = old_value + difference;
    if (value < platform_control_minimum(control) || value > platform_control_maximum(control)) {
      REPORT_ERROR(4, "x offset logic error in event.c");
      difference = 0;
    }
    platform_set_control_value(control, old_value + difference);
    scroll_h += difference;
  } else {
    scroll_v += difference;
  }
  if (!drag_scrolling) refresh_from_offscreen();
  draw_ruler(1);
  draw_MusicWindow_controls(music_window());
}

// ---- Rulers and the insertion cross ---------------------------------------------------------

void draw_ruler(int flag) {
  if (!ruler_width() || !offscreen_page || !music_window_port) return;
  const Rect area = music_area_rect();
  const int rw = ruler_width(), rh = ruler_height();
  in_window([&] {
    erase_rect({0, 0, rw, rh});
    erase_rect({0, area.top, rw, area.bottom});
    erase_rect({area.left, 0, area.right, rh});
    ruler_mark_at = Point{-1, -1};
    if (!flag) return;
    pen_normal();
    pen_mode(MODE_PAT_OR);
    fore_colour(COLOUR_BLACK);
    text_font(3);
    text_size(9);
    text_face(FACE_PLAIN);
    text_mode(MODE_OR);
    const double s = 90.0 / zoom();
    const Point origin = scroll_origin();
    const int vline = rw - 4, hline = rh - 4;
    move_to(vline, area.top);
    line_to(vline, area.bottom - 1);
    move_to(area.left, hline);
    line_to(area.right - 1, hline);
    int first, last;
    tick_range(area.top, area.bottom, origin.y, s, &first, &last);
    for (int k = first; k <= last; ++k) {
      const int y = int(std::lround(s * k)) + origin.y;
      if (y < area.top || y >= area.bottom) continue;
      const int length = TICK_LENGTHS[((k % 8) + 8) % 8];
      move_to(vline - length, y);
      line_to(vline + 2, y);
      if (k % 8 == 0 && y - area.top >= 9) draw_ruler_number(k / 8, vline - 5, y - 3);
    }
    tick_range(area.left, area.right, origin.x, s, &first, &last);
    for (int k = first; k <= last; ++k) {
      const int x = int(std::lround(s * k)) + origin.x;
      if (x < area.left || x >= area.right) continue;
      const int length = TICK_LENGTHS[((k % 8) + 8) % 8];
      move_to(x, hline - length);
      line_to(x, hline + 2);
      if (k % 8 == 0 && x - area.left >= 9) draw_ruler_number(k / 8, x - 3, hline - 3);
    }
  });
}

void track_ruler_marks(Point where, bool none) {
  if (!ruler_width() || !offscreen_page || !music_window()) return;
  if (none) where = platform_mouse_position(music_window());
  if (where == Point{-1, -1}) {
    xor_marks(ruler_mark_at);
    ruler_mark_at = Point{-1, -1};
    return;
  }
  if (where == ruler_mark_at || !music_area_rect().contains(where)) return;
  xor_marks(ruler_mark_at);
  xor_marks(where);
  ruler_mark_at = where;
}

void toggle_insertion_cursor(int mode) {
  if (!ruler_width() || !music_window()) return;
  switch (mode) {
    case 0: {
      const Point at = cross_place();
      if (at == cross_drawn_at) return;
      xor_cross(cross_drawn_at);
      xor_cross(at);
      cross_drawn_at = at;
      return;
    }
    case 1:
      xor_cross_in_page();
      return;
    default:
      xor_cross(cross_drawn_at);
      cross_drawn_at = Point{-1, -1};
      return;
  }
}

void drag_insertion_cursor(int coordinate, int axis) {
  auto set_from = [axis](int c) {
    if (c == -1) {
      (axis ? insertion_cross.y : insertion_cross.x) = -1;
      return;
    }
    const Point origin = scroll_origin();
    if (axis)
      insertion_cross.y = nearest((page_pixel_height + origin.y - c) * double(zoom()));
    else
      insertion_cross.x = nearest((c - origin.x) * double(zoom()));
  };
  set_from(coordinate);
  toggle_insertion_cursor(0);
  if (coordinate == -1) return;
  Point mouse{axis ? 0 : coordinate, axis ? coordinate : 0};
  while (platform_track_mouse(music_window(), &mouse)) {
    set_from(axis ? mouse.y : mouse.x);
    toggle_insertion_cursor(0);
  }
  set_from(axis ? mouse.y : mouse.x);
  toggle_insertion_cursor(0);
}

void snap_to_previous_point(Point* out, Point point) {
  *out = point;
  const int32_t near = int32_t(zoom() * 5.0);
  if (insertion_cross.x != -1 && std::abs(point.x - insertion_cross.x) <= near)
    out->x = insertion_cross.x;
  if (insertion_cross.y != -1 && std::abs(point.y - insertion_cross.y) <= near)
    out->y = insertion_cross.y;
}
