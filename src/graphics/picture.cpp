// picture.cpp: the page rectangle drawn into a picture for the system clipboard.
#include <algorithm>
#include <cmath>

#include "graphics/ge_services.h"
#include "graphics/graphics_globals.h"
#include "graphics/plot.h"
#include "graphics/print.h"
#include "graphics/raster.h"
#include "platform/clipboard.h"
#include "platform/port.h"

long picture_of_page_rect(const VirtualRect& r, bool screen_size) {
  const float zoom = screen_size ? float(zoom_factor) : PRINT_ZOOM;
  if (zoom <= 0 || zoom_factor <= 0) return -1;
  const double ratio = double(zoom_factor) / zoom;
  const int w = int(std::floor(page_pixel_width * ratio + 0.5));
  const int h = int(std::floor(page_pixel_height * ratio + 0.5));
  auto px = [zoom](int32_t v) { return int(std::floor(double(v) / zoom + 0.5)); };
  Rect frame{std::min(px(r.x1), px(r.x2)), h - std::max(px(r.y1), px(r.y2)),
             std::max(px(r.x1), px(r.x2)), h - std::min(px(r.y1), px(r.y2))};
  frame = {std::clamp(frame.left, 0, w), std::clamp(frame.top, 0, h), std::clamp(frame.right, 0, w),
           std::clamp(frame.bottom, 0, h)};
  PictureRecording* picture = platform_picture_begin(frame, w, h, zoom / 10.0);
  if (!picture) return -1;
  const ViewTransform saved = print_transform;
  if (!screen_size) print_transform = transform_for_zoom(PRINT_ZOOM);
  Port* previous = platform_current_port();
  platform_set_port(platform_picture_port(picture));
  plot_GE_list(frame, screen_size ? PLOT_SCREEN : PLOT_PICTURE, 0);
  platform_set_port(previous);
  print_transform = saved;
  return platform_picture_end_to_clipboard(picture);
}
