// controls.cpp: scroll bars drawn by the program's own drawing routines into their window's
// port, so that they look and behave the same with and without a display.
//
// A bar is 16 pixels across: an arrow box at each end, the track between them, and a 16-pixel
// thumb placed in the track in proportion to the value. An inactive bar (highlight 255, or a
// maximum not above the minimum) shows an empty track and no thumb.
#include "platform/controls.h"

#include <algorithm>
#include <vector>

#include "platform/port.h"
#include "platform/window.h"

struct Control {
  int window = 0;
  Rect rect;
  int value = 0, minimum = 0, maximum = 0;
  int hilite = 0;
  bool visible = false;
};

namespace {

constexpr int ARROW = 16;  // the arrow boxes' length along the bar
constexpr int THUMB = 16;

// Lives as long as the program: a program started only to print ends with its last piece's
// window still open, and its scroll bars stay listed until the end.
std::vector<Control*>& controls = *new std::vector<Control*>;

bool vertical(const Control& c) { return c.rect.height() > c.rect.width(); }
bool active(const Control& c) { return c.hilite != CONTROL_INACTIVE && c.maximum > c.minimum; }
int length(const Control& c) { return vertical(c) ? c.rect.height() : c.rect.width(); }
int along(const Control& c, Point p) { return vertical(c) ? p.y - c.rect.top : p.x - c.rect.left; }

// Room the thumb can move in, and where it starts (from the bar's start).
int travel(const Control& c) { return std::max(0, length(c) - 2 * ARROW - THUMB); }
int thumb_start(const Control& c) {
  if (!active(c)) return ARROW;
  return ARROW + int(int64_t(c.value - c.minimum) * travel(c) / (c.maximum - c.minimum));
}

// A stretch of the bar from `from` to `to` along it, as a rectangle.
Rect stretch(const Control& c, int from, int to) {
  const Rect r = c.rect;
  return vertical(c) ? Rect{r.left, r.top + from, r.right, r.top + to}
                     : Rect{r.left + from, r.top, r.left + to, r.bottom};
}

int part_at(const Control& c, Point p) {
  if (!c.rect.contains(p)) return PART_NONE;
  const int a = along(c, p);
  if (a < ARROW) return PART_UP_BUTTON;
  if (a >= length(c) - ARROW) return PART_DOWN_BUTTON;
  if (!active(c)) return PART_NONE;
  const int t = thumb_start(c);
  if (a < t) return PART_PAGE_UP;
  if (a >= t + THUMB) return PART_PAGE_DOWN;
  return PART_THUMB;
}

// A small triangle pointing away from the bar's middle, in an arrow box.
void draw_arrow(const Control& c, Rect box, bool toward_start) {
  frame_rect(box);
  const int cx = (box.left + box.right) / 2, cy = (box.top + box.bottom) / 2;
  for (int i = 0; i < 4; ++i) {
    const int tip = toward_start ? -2 + i : 2 - i;
    if (vertical(c)) {
      move_to(cx - i, cy + tip);
      line_to(cx + i, cy + tip);
    } else {
      move_to(cx + tip, cy - i);
      line_to(cx + tip, cy + i);
    }
  }
}

}  // namespace

Control* platform_new_scroll_bar(int window, Rect bounds, int value, int minimum, int maximum) {
  auto* c = new Control;
  c->window = window;
  c->rect = bounds;
  c->minimum = minimum;
  c->maximum = std::max(minimum, maximum);
  c->value = std::clamp(value, c->minimum, c->maximum);
  controls.push_back(c);
  return c;
}

void platform_dispose_control(Control* control) {
  std::erase(controls, control);
  delete control;
}

int platform_control_window(const Control* c) { return c ? c->window : 0; }

void platform_move_control(Control* c, int left, int top) {
  c->rect = offset_rect(c->rect, left - c->rect.left, top - c->rect.top);
}
void platform_size_control(Control* c, int width, int height) {
  c->rect.right = c->rect.left + width;
  c->rect.bottom = c->rect.top + height;
}
Rect platform_control_rect(const Control* c) { return c->rect; }

int platform_control_value(const Control* c) { return c->value; }
int platform_control_minimum(const Control* c) { return c->minimum; }
int platform_control_maximum(const Control* c) { return c->maximum; }
void platform_set_control_value(Control* c, int value) {
  c->value = std::clamp(value, c->minimum, std::max(c->minimum, c->maximum));
}
void platform_set_control_maximum(Control* c, int maximum) {
  c->maximum = maximum;
  platform_set_control_value(c, c->value);
}
int platform_control_hilite(const Control* c) { return c->hilite; }
void platform_hilite_control(Control* c, int hilite) { c->hilite = hilite; }

void platform_show_control(Control* c) { c->visible = true; }

void platform_draw_control(const Control* c) {
  Port* port = platform_window_port(c->window);
  // A window kept off the screen is seen by nobody: its controls are not drawn.
  if (!c->visible || !port || platform_windows_kept_off_screen()) return;
  Port* saved = platform_current_port();
  platform_set_port(port);
  const PenState pen = get_pen_state();
  const Rect clip = get_clip();
  clip_rect(port_bounds(port));
  pen_normal();
  fore_colour(COLOUR_BLACK);
  back_colour(COLOUR_WHITE);
  erase_rect(c->rect);
  frame_rect(c->rect);
  if (active(*c)) {
    const Rect track = inset_rect(stretch(*c, ARROW, length(*c) - ARROW), 1);
    fill_rect(track, PATTERN_LIGHT_GRAY);
    const Rect thumb = stretch(*c, thumb_start(*c), thumb_start(*c) + THUMB);
    erase_rect(thumb);
    frame_rect(thumb);
    draw_arrow(*c, stretch(*c, 0, ARROW), true);
    draw_arrow(*c, stretch(*c, length(*c) - ARROW, length(*c)), false);
  }
  clip_rect(clip);
  set_pen_state(pen);
  platform_set_port(saved);
  platform_window_changed(c->window);
}

Control* platform_find_control(int window, Point where, int* part) {
  *part = PART_NONE;
  for (Control* c : controls) {
    if (c->window != window || !c->visible || !c->rect.contains(where)) continue;
    *part = c->hilite == CONTROL_INACTIVE ? PART_NONE : part_at(*c, where);
    return c;
  }
  return nullptr;
}

int platform_track_control(Control* c, Point start, ControlAction action) {
  const int pressed = part_at(*c, start);
  if (pressed == PART_NONE) return PART_NONE;
  Point mouse = start;
  if (pressed == PART_THUMB) {
    while (platform_track_mouse(c->window, &mouse)) {
    }
    if (travel(*c) > 0) {
      const int64_t moved = int64_t(along(*c, mouse) - along(*c, start));
      platform_set_control_value(c, c->value + int(moved * (c->maximum - c->minimum) / travel(*c)));
    }
    return PART_THUMB;
  }
  for (;;) {
    if (action && part_at(*c, mouse) == pressed) action(c, pressed);
    if (!platform_track_mouse(c->window, &mouse)) break;
  }
  return part_at(*c, mouse) == pressed ? pressed : PART_NONE;
}

void platform_draw_grow_box(int window) {
  Port* port = platform_window_port(window);
  if (!port || platform_windows_kept_off_screen()) return;
  Port* saved = platform_current_port();
  platform_set_port(port);
  const PenState pen = get_pen_state();
  const Rect clip = get_clip();
  const Rect b = port_bounds(port);
  clip_rect(b);
  pen_normal();
  const Rect box{b.right - 15, b.bottom - 15, b.right, b.bottom};
  erase_rect(box);
  frame_rect(box);
  frame_rect({box.left + 3, box.top + 3, box.left + 10, box.top + 10});
  frame_rect({box.left + 6, box.top + 6, box.right - 2, box.bottom - 2});
  clip_rect(clip);
  set_pen_state(pen);
  platform_set_port(saved);
  platform_window_changed(window);
}
