// ge_visible.cpp: the box of a graphics element in layout units, tested against a rectangle of
// the page, so that drawing into a small rectangle costs one test per element.
//
// Boxes are generous rather than tight: a box that is too small makes part of an element
// vanish from a redrawn rectangle. So a line's box is widened by its width on every side (a
// vertical line's box would otherwise have no area) and a curve's by the widest it is drawn.
#include "graphics/ge_visible.h"

#include <algorithm>
#include <string>

#include "graphics/GE.h"
#include "graphics/ge_services.h"
#include "graphics/graphics_globals.h"
#include "graphics/raster.h"
#include "params/param_services.h"
#include "platform/port.h"

namespace {

struct Box {
  int64_t x1, y1, x2, y2;  // layout units, x1 <= x2 and y1 <= y2
};

// Halves away from zero; v + 0.5 being positive, truncating it is taking its floor.
int64_t nearest(double v) { return v >= 0 ? int64_t(v + 0.5) : -int64_t(-v + 0.5); }

Box box_of_points(std::initializer_list<std::pair<int64_t, int64_t>> points, int64_t margin) {
  Box b{INT64_MAX, INT64_MAX, INT64_MIN, INT64_MIN};
  for (auto [x, y] : points) {
    b.x1 = std::min(b.x1, x);
    b.y1 = std::min(b.y1, y);
    b.x2 = std::max(b.x2, x);
    b.y2 = std::max(b.y2, y);
  }
  return {b.x1 - margin, b.y1 - margin, b.x2 + margin, b.y2 + margin};
}

// The box of a character or text run, measured in its attribute node's font.
Box text_box(Drosa element) {
  const GEMeasuredText measured = measure_GE_text(element);
  const int64_t x = measured.attributes->get(xgc_x), y = measured.attributes->get(xgc_y);
  return {x, y - nearest(10 * measured.metrics.descent), x + nearest(10 * measured.width),
          y + nearest(10 * measured.metrics.ascent)};
}

// The widest a curve is drawn: its tapering width or its constant width.
int64_t curve_reach() {
  const PageCurveWidths widths = curve_widths();
  return std::max(2 * widths.thickness, widths.width) + 1;
}

// The node holding a text run's place: the first GE_CHAR at or after `element` past its
// GE_STRINGs; NIL for a run cut off.
Drosa run_attributes(Drosa element) {
  Drosa p = element;
  while (p && p->xkind == GE_STRING) p = p->xnext;
  return p && p->xkind == GE_CHAR ? p : NIL;
}

}  // namespace

int check_GE_visible_in_rect(Drosa element, Rect pixels) {
  const double z = zoom_factor > 0 ? zoom_factor : 10.0;
  const int64_t left = nearest(pixels.left * z), right = nearest(pixels.right * z);
  const int64_t low = nearest((page_pixel_height - pixels.bottom) * z);
  const int64_t high = nearest((page_pixel_height - pixels.top) * z);
  Box box;
  switch (element->xkind) {
    case GE_CHAR:
    case GE_STRING: {
      // A text whose origin lies inside the rectangle reaches into it whatever its width,
      // ascent and descent (none of them negative): most texts need not be measured.
      if (Drosa run = run_attributes(element)) {
        const int64_t x = run->get(xgc_x), y = run->get(xgc_y);
        if (x > left && x < right && y > low && y < high) return 1;
      }
      box = text_box(element);
      break;
    }
    case GE_LINE:
      box = box_of_points({{element->get(xge_x1), element->get(xge_y1)},
                           {element->get(xge_x2), element->get(xge_y2)}},
                          std::max<int64_t>(element->get(xgl_width), 1));
      break;
    case GE_CURVE:
      box = box_of_points({{element->get(xge_x1), element->get(xge_y1)},
                           {element->get(xgv_c1x), element->get(xgv_c1y)},
                           {element->get(xgv_c2x), element->get(xgv_c2y)},
                           {element->get(xge_x2), element->get(xge_y2)}},
                          curve_reach());
      break;
    case NOTEPTR:
      return 0;
    default:
      REPORT_ERROR(4, "Unrecognized Graphics Element kind %hd in check_GE_visible_in_rect",
                   short(element->xkind));
      return 0;
  }
  return box.x1 < right && box.x2 > left && box.y1 < high && box.y2 > low;
}
