// geometry.h: points and rectangles in pixels of a window or port (y grows downward).
#pragma once

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

// A point between pixels: a pixel's area runs from (x, y) to (x + 1, y + 1).
struct PointF {
  double x = 0;
  double y = 0;
};

// A rectangle holds the pixels left <= x < right, top <= y < bottom.
struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool empty() const { return right <= left || bottom <= top; }
  bool contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

inline Rect make_rect(int left, int top, int right, int bottom) {
  return {left, top, right, bottom};
}

// The rectangle grown by d on every side (shrunk when d is negative).
inline Rect inset_rect(Rect r, int d) { return {r.left + d, r.top + d, r.right - d, r.bottom - d}; }
inline Rect outset_rect(Rect r, int d) { return inset_rect(r, -d); }
inline Rect offset_rect(Rect r, int dx, int dy) {
  return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}
