// controls.h: scroll bars drawn in a window's port, with their values and their tracking.
//
// A scroll bar has a value between its minimum and maximum, a highlight (255: inactive, drawn
// empty and not tracked) and a rectangle in its window's content. The program draws it when
// it wants it drawn. Tracking follows the mouse while the button is held: the arrows and the
// page areas call the program's action again and again; the thumb is dragged and sets the
// value where it is released.
#pragma once

#include <cstdint>

#include "platform/geometry.h"

struct Control;

// Parts of a scroll bar.
enum ControlPart : int16_t {
  PART_NONE = 0,
  PART_UP_BUTTON = 20,    // the arrow at the top or left
  PART_DOWN_BUTTON = 21,  // the arrow at the bottom or right
  PART_PAGE_UP = 22,      // the track before the thumb
  PART_PAGE_DOWN = 23,    // the track after the thumb
  PART_THUMB = 129,
};

inline constexpr int CONTROL_INACTIVE = 255;

// A scroll bar of `window` (vertical when taller than wide), hidden until shown.
Control* platform_new_scroll_bar(int window, Rect bounds, int value, int minimum, int maximum);
void platform_dispose_control(Control* control);
int platform_control_window(const Control* control);

void platform_move_control(Control* control, int left, int top);
void platform_size_control(Control* control, int width, int height);
Rect platform_control_rect(const Control* control);

int platform_control_value(const Control* control);
int platform_control_minimum(const Control* control);
int platform_control_maximum(const Control* control);
// The value is kept within the minimum and the maximum.
void platform_set_control_value(Control* control, int value);
void platform_set_control_maximum(Control* control, int maximum);
int platform_control_hilite(const Control* control);
void platform_hilite_control(Control* control, int hilite);

void platform_show_control(Control* control);

// Draws a visible control into its window's port (and shows it).
void platform_draw_control(const Control* control);

// The visible, active control of a window under a point, with the part hit; nullptr when
// none.
Control* platform_find_control(int window, Point where, int* part);

// Follows a press at `start` until the button is released. The action (when given) is
// called with the part pressed each time round while the mouse stays on it; the thumb instead
// follows the mouse and takes the value where it is released. Returns the part pressed when
// the button is released on it (the thumb: anywhere), else PART_NONE.
using ControlAction = void (*)(Control* control, int part);
int platform_track_control(Control* control, Point start, ControlAction action);

// Draws the grow box at the bottom right of a window's content.
void platform_draw_grow_box(int window);
