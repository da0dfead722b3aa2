// anno_marks.cpp: the marks that show a selected annotation and the members of an annotation
// group on the page, drawn by inversion or exclusive-or into the page image, so that drawing a
// mark again takes it away.
//
// Sizes are page units (20 either side of a corner), at least a few pixels at small zooms.
#include <algorithm>

#include "annotations/anno_services.h"
#include "app/app_services.h"
#include "graphics/ge_services.h"
#include "layout/layout_services.h"
#include "model/model_services.h"
#include "platform/port.h"
#include "platform/port_scope.h"

namespace {

constexpr int32_t CORNER = 20, CONTROL = 10, FLAT_BOX = 10;
constexpr int MIN_HALF_PIXELS = 3;

// The annotation's box on the page, when it is placed: its PDATA's screen corners, a box with
// no extent widened by 10 units.
bool placed_box(Drosa anno, VirtualRect* box) {
  if (!anno) return false;
  Drosa pd = anno->xnext;
  if (!pd || effective_kind(pd) != PDATA) return false;
  VirtualRect r{pd->get(xscrx1), pd->get(xscry1), pd->get(xscrx2), pd->get(xscry2)};
  if (r.x1 == NOT_DRAWN || r.y1 == NOT_DRAWN) return false;
  if (r.x1 == r.x2 && r.y1 == r.y2)
    r = {r.x1 - FLAT_BOX, r.y1 - FLAT_BOX, r.x2 + FLAT_BOX, r.y2 + FLAT_BOX};
  *box = r;
  return true;
}

// A square around a page point, in pixels of the page image.
Rect square(int32_t x, int32_t y, int32_t half) {
  const int h = std::max<int>(MIN_HALF_PIXELS, int(half / (zoom_factor > 0 ? zoom_factor : 10.0)));
  const int cx = screen_x(x), cy = screen_y(y);
  return {cx - h, cy - h, cx + h, cy + h};
}

// Runs `draw` on the page image, its pen kept.
template <typename Draw>
void in_page_image(Draw draw) {
  in_port(offscreen_page, [&] {
    const PenState pen = get_pen_state();
    draw();
    set_pen_state(pen);
  });
}

}  // namespace

void anno_highlight(Drosa anno, int how) {
  VirtualRect box;
  if (!placed_box(anno, &box)) return;
  in_page_image([&] {
    invert_rect(square(box.x1, box.y1, CORNER));
    invert_rect(square(box.x2, box.y2, CORNER));
    if (anno->xkind == LINE) {
      invert_rect(square(box.x1 + anno->get(xc1x), box.y1 + anno->get(xc1y), CONTROL));
      invert_rect(square(box.x1 + anno->get(xc2x), box.y1 + anno->get(xc2y), CONTROL));
    }
  });
  if (how) refresh_from_offscreen();
}

void group_highlight_anno(Drosa anno) {
  if (MODE == MUSIC_MODE) REPORT_ERROR(4, "group_highlight_anno in MUSIC_MODE!");
  VirtualRect box;
  if (!placed_box(anno, &box)) return;
  in_page_image([&] {
    pen_normal();
    pen_mode(MODE_PAT_XOR);
    for (const Rect& r : {square(box.x1, box.y1, CORNER), square(box.x2, box.y2, CORNER)}) {
      move_to(r.left, r.top);
      line_to(r.right - 1, r.bottom - 1);
      move_to(r.left, r.bottom - 1);
      line_to(r.right - 1, r.top);
    }
  });
}
