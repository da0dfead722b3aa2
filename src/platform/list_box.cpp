// list_box.cpp: single-column list boxes drawn by us in a port, with a simple scroll bar.
//
// The box is drawn by our own code rather than by a toolkit widget so that clicks follow the
// list rules exactly and a box behaves the same with or without a display.
//
// Geometry: row r (from 0) is shown at view.top + (r - top_row) * row_height when it is in
// view; visible_rows = view height / row_height. The scroll bar is the 16-pixel strip right of
// the view: an up-arrow box at its top, a down-arrow box at its bottom, and between them the
// track with a 16-pixel thumb placed by the scroll position (no thumb when there is nothing to
// scroll). The top row stays within 0 .. max(0, rows - visible_rows).
#include "platform/list_box.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/events.h"
#include "platform/fonts.h"
#include "platform/port.h"

struct ListBox {
  Port* port = nullptr;
  Rect view;
  int row_height = 1;
  ListSelection mode = LIST_ONLY_ONE;
  int font = FONT_TIMES;
  int size = 12;
  std::vector<std::string> cells;
  std::vector<bool> selected;
  int top_row = 0;
  bool drawing = false;
  bool clicked_before = false;  // the fields below hold the previous click
  int last_click_row = -1;      // -1: not on a row
  uint32_t last_click_when = 0;
};

namespace {

constexpr int BAR_WIDTH = 16;
constexpr int ARROW_HEIGHT = 16;
constexpr int THUMB_HEIGHT = 16;
constexpr uint32_t DOUBLE_CLICK_TICKS = 30;
constexpr int TEXT_INDENT = 4;
constexpr int BASELINE_RAISE = 4;  // text baseline above a row's bottom

int row_count(const ListBox* list) { return static_cast<int>(list->cells.size()); }

bool valid_row(const ListBox* list, int row) { return row >= 0 && row < row_count(list); }

int max_top_row(const ListBox* list) {
  return std::max(0, row_count(list) - list_box_visible_rows(list));
}

Rect scroll_bar(const ListBox* list) {
  return {list->view.right, list->view.top, list->view.right + BAR_WIDTH, list->view.bottom};
}

Rect up_arrow(const ListBox* list) {
  const Rect bar = scroll_bar(list);
  return {bar.left, bar.top, bar.right, bar.top + ARROW_HEIGHT};
}

Rect down_arrow(const ListBox* list) {
  const Rect bar = scroll_bar(list);
  return {bar.left, bar.bottom - ARROW_HEIGHT, bar.right, bar.bottom};
}

// The thumb, or an empty rectangle when the list cannot scroll.
Rect thumb(const ListBox* list) {
  const Rect bar = scroll_bar(list);
  const int track_top = bar.top + ARROW_HEIGHT;
  const int track_height = bar.height() - 2 * ARROW_HEIGHT - THUMB_HEIGHT;
  const int max_top = max_top_row(list);
  if (max_top == 0 || track_height < 0) return {};
  const int top = track_top + track_height * list->top_row / max_top;
  return {bar.left, top, bar.right, top + THUMB_HEIGHT};
}

Rect intersect(Rect a, Rect b) {
  return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
          std::min(a.bottom, b.bottom)};
}

// ---- Drawing --------------------------------------------------------------------------------

void draw_arrow(Rect box, bool up) {
  frame_rect(box);
  const int mid = box.left + box.width() / 2;
  const int base = up ? box.top + 10 : box.top + 5;
  for (int i = 0; i < 5; ++i) {  // a small filled triangle
    const int y = up ? base - i : base + i;
    move_to(mid - 4 + i, y);
    line_to(mid + 4 - i, y);
  }
}

void draw_scroll_bar(const ListBox* list) {
  const Rect bar = scroll_bar(list);
  erase_rect(bar);
  frame_rect(bar);
  draw_arrow(up_arrow(list), true);
  draw_arrow(down_arrow(list), false);
  const Rect knob = thumb(list);
  if (knob.empty()) return;
  const Rect track{bar.left + 1, bar.top + ARROW_HEIGHT, bar.right - 1, bar.bottom - ARROW_HEIGHT};
  fill_rect(track, PATTERN_LIGHT_GRAY);
  erase_rect(knob);
  frame_rect(knob);
}

void draw_rows(const ListBox* list) {
  clip_rect(intersect(list->view, port_bounds(list->port)));
  erase_rect(list->view);
  text_font(list->font);
  text_size(list->size);
  text_face(FACE_PLAIN);
  text_mode(MODE_OR);
  const int visible = list_box_visible_rows(list);
  // One row more than fit, so that a partly shown last row is drawn too.
  for (int i = 0; i <= visible; ++i) {
    const int row = list->top_row + i;
    if (!valid_row(list, row)) break;
    const int top = list->view.top + i * list->row_height;
    if (top >= list->view.bottom) break;
    const Rect cell{list->view.left, top, list->view.right, top + list->row_height};
    move_to(cell.left + TEXT_INDENT, cell.bottom - BASELINE_RAISE);
    draw_string(list->cells[row]);
    if (list->selected[row]) invert_rect(intersect(cell, list->view));
  }
}

// Draws the list when drawing is on, or always when `forced`.
void draw_list(const ListBox* list, bool forced = false) {
  if ((!list->drawing && !forced) || !list->port) return;
  Port* saved_port = platform_current_port();
  platform_set_port(list->port);
  const int font = current_text_font(), size = current_text_size(), face = current_text_face();
  const PenState pen = get_pen_state();
  const Rect clip = get_clip();
  const RgbColour fore = get_fore_colour(), back = get_back_colour();
  pen_normal();
  fore_colour(COLOUR_BLACK);
  back_colour(COLOUR_WHITE);
  draw_rows(list);
  clip_rect(port_bounds(list->port));
  draw_scroll_bar(list);
  text_font(font);
  text_size(size);
  text_face(face);
  set_pen_state(pen);
  clip_rect(clip);
  fore_colour(fore);
  back_colour(back);
  platform_set_port(saved_port);
}

void set_top_row(ListBox* list, int top) {
  top = std::clamp(top, 0, max_top_row(list));
  if (top == list->top_row) return;
  list->top_row = top;
  draw_list(list);
}

// A click on row `row` of the view, by the selection rules.
void click_row(ListBox* list, int row, uint16_t modifiers) {
  if (list->mode == LIST_TOGGLE && (modifiers & MOD_EITHER_SHIFT)) {
    list->selected[row] = !list->selected[row];
  } else {
    std::fill(list->selected.begin(), list->selected.end(), false);
    list->selected[row] = true;
  }
  draw_list(list);
}

// A click in the scroll bar: an arrow scrolls a row, the track above or below the thumb a
// page (a view less one row).
void click_scroll_bar(ListBox* list, Point where) {
  const int page = std::max(1, list_box_visible_rows(list) - 1);
  if (up_arrow(list).contains(where)) {
    list_box_scroll(list, -1);
  } else if (down_arrow(list).contains(where)) {
    list_box_scroll(list, 1);
  } else {
    const Rect knob = thumb(list);
    if (knob.empty()) return;
    if (where.y < knob.top) list_box_scroll(list, -page);
    if (where.y >= knob.bottom) list_box_scroll(list, page);
  }
}

}  // namespace

ListBox* list_box_new(Port* port, Rect view, int rows, int row_height) {
  auto* list = new ListBox;
  list->port = port;
  list->view = view;
  list->row_height = std::max(1, row_height);
  list->cells.assign(static_cast<size_t>(std::max(0, rows)), std::string());
  list->selected.assign(list->cells.size(), false);
  return list;
}

void list_box_dispose(ListBox* list) { delete list; }

Rect list_box_view(const ListBox* list) { return list ? list->view : Rect{}; }
int list_box_rows(const ListBox* list) { return list ? row_count(list) : 0; }
int list_box_row_height(const ListBox* list) { return list ? list->row_height : 0; }

int list_box_visible_rows(const ListBox* list) {
  return list ? std::max(0, list->view.height()) / list->row_height : 0;
}

void list_box_set_selection(ListBox* list, ListSelection mode) {
  if (list) list->mode = mode;
}

void list_box_set_text_style(ListBox* list, int font_number, int size) {
  if (!list) return;
  list->font = font_number;
  list->size = size;
  draw_list(list);
}

void list_box_set_cell(ListBox* list, int row, const std::string& text) {
  if (!list || !valid_row(list, row)) return;
  list->cells[row] = text;
  draw_list(list);
}

std::string list_box_cell(const ListBox* list, int row) {
  return list && valid_row(list, row) ? list->cells[row] : std::string();
}

void list_box_select(ListBox* list, int row, bool selected) {
  if (!list || !valid_row(list, row) || list->selected[row] == selected) return;
  list->selected[row] = selected;
  draw_list(list);
}

bool list_box_selected(const ListBox* list, int row) {
  return list && valid_row(list, row) && list->selected[row];
}

int list_box_next_selected(const ListBox* list, int from) {
  if (!list) return -1;
  for (int row = std::max(0, from); row < row_count(list); ++row)
    if (list->selected[row]) return row;
  return -1;
}

int list_box_top_row(const ListBox* list) { return list ? list->top_row : 0; }

void list_box_scroll(ListBox* list, int rows) {
  if (list) set_top_row(list, list->top_row + rows);
}

void list_box_auto_scroll(ListBox* list) {
  if (!list) return;
  const int row = list_box_next_selected(list, 0);
  if (row < 0) return;
  const int visible = std::max(1, list_box_visible_rows(list));
  if (row < list->top_row)
    set_top_row(list, row);
  else if (row >= list->top_row + visible)
    set_top_row(list, row - visible + 1);
}

void list_box_set_drawing(ListBox* list, bool on) {
  if (!list) return;
  list->drawing = on;
  draw_list(list);
}

void list_box_update(ListBox* list) {
  if (list) draw_list(list, true);
}

bool list_box_click(ListBox* list, Point where, uint16_t modifiers, uint32_t when) {
  if (!list) return false;
  int row = -1;
  if (list->view.contains(where)) {
    const int r = list->top_row + (where.y - list->view.top) / list->row_height;
    if (valid_row(list, r)) {
      row = r;
      click_row(list, row, modifiers);
    }
  } else if (scroll_bar(list).contains(where)) {
    click_scroll_bar(list, where);
  }
  const bool double_click = row >= 0 && list->clicked_before && list->last_click_row == row &&
                            when - list->last_click_when <= DOUBLE_CLICK_TICKS;
  list->clicked_before = true;
  list->last_click_row = row;
  list->last_click_when = when;
  return double_click;
}
