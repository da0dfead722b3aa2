// ge_ink.cpp: what a drawn element covers on the page. Glyphs and texts are measured by the
// ink of their characters (a music font's ascent and descent reach far past its glyphs),
// lines by their ends and width, curves by their control points.
#include <algorithm>
#include <map>
#include <string>
#include <tuple>

#include "graphics/GE.h"
#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "platform/port.h"

namespace {

// The ink of a text in layout units about its origin (y downward), by font, size and face.
Rect text_ink(int font, int size, int face, const std::string& text) {
  static std::map<std::tuple<int, int, int, std::string>, Rect> cache;
  const auto key = std::make_tuple(font, size & 0xFF, face & 0xFF, text);
  auto found = cache.find(key);
  if (found != cache.end()) return found->second;
  // Measured ten times larger, so that a pixel is a layout unit, while the size allows it.
  const int scale = std::clamp(2000 / std::max(size, 1), 1, 10);
  Port* saved = platform_current_port();
  platform_set_port(offscreen_port());
  const int old_font = current_text_font(), old_size = current_text_size(),
            old_face = current_text_face();
  text_font(font);
  text_size(size * scale);
  text_face(face);
  Rect ink = text_ink_box(text.data(), int(text.size()));
  text_font(old_font);
  text_size(old_size);
  text_face(old_face);
  platform_set_port(saved);
  auto widen = [&](int v) { return v * 10 / scale; };
  ink = {widen(ink.left), widen(ink.top), widen(ink.right), widen(ink.bottom)};
  cache.emplace(key, ink);
  return ink;
}

// A text run by its ink; by its font's metrics when it has no ink to measure or runs over
// several lines.
GEInkBox text_box(Drosa attributes) {
  const GEMeasuredText t = measure_GE_text(attributes);
  const int32_t x = attributes->get(xgc_x) + attributes->get(xgc_dx);
  const int32_t y = attributes->get(xgc_y) + attributes->get(xgc_dy);
  std::string line = t.text;
  line.erase(
      std::remove_if(line.begin(), line.end(), [](char c) { return c == '\r' || c == '\n'; }),
      line.end());
  if (line.size() == t.text.size() && !line.empty()) {
    const Rect ink = text_ink(attributes->get(xgc_font), attributes->get(xgc_size),
                              attributes->get(xgc_style), line);
    if (!ink.empty()) return {x + ink.left, y - ink.bottom, x + ink.right, y - ink.top};
  }
  return {x, int32_t(y - 10 * t.metrics.descent), int32_t(x + 10 * t.width),
          int32_t(y + 10 * t.metrics.ascent)};
}

GEInkBox line_box(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t half_width) {
  return {std::min(x1, x2) - half_width, std::min(y1, y2) - half_width,
          std::max(x1, x2) + half_width, std::max(y1, y2) + half_width};
}

}  // namespace

bool ge_ink_box(Drosa p, GEInkBox* box) {
  const int kind = p->xkind;
  if (kind != GE_CHAR && kind != GE_LINE && kind != GE_CURVE) return false;
  if (p->get(xgscreen) || p->get(xgremove) || p->get(xganno) == GANNO_SCREEN_ONLY) return false;
  if (kind == GE_LINE) {
    *box = line_box(p->get(xge_x1), p->get(xge_y1), p->get(xge_x2), p->get(xge_y2),
                    p->get(xgl_width) / 2);
    return true;
  }
  if (kind == GE_CURVE) {
    const int32_t xs[] = {p->get(xge_x1), p->get(xgv_c1x), p->get(xgv_c2x), p->get(xge_x2)};
    const int32_t ys[] = {p->get(xge_y1), p->get(xgv_c1y), p->get(xgv_c2y), p->get(xge_y2)};
    *box = {*std::min_element(xs, xs + 4), *std::min_element(ys, ys + 4),
            *std::max_element(xs, xs + 4), *std::max_element(ys, ys + 4)};
    return true;
  }
  const int32_t x = p->get(xgc_x), y = p->get(xgc_y);
  if (x == ADJACENT_TEXT || y == ADJACENT_TEXT) return false;
  const int glyph = p->get(xgc_char);
  if (glyph == 0 || (p->xback && p->xback->xkind == GE_STRING)) {
    *box = text_box(p);
    return true;
  }
  const Rect ink = text_ink(p->get(xgc_font), p->get(xgc_size), p->get(xgc_style),
                            std::string(1, char(glyph & 0xFF)));
  if (ink.empty()) return false;
  *box = {x + ink.left, y - ink.bottom, x + ink.right, y - ink.top};
  return true;
}
