// ge_ink.cpp: what a drawn element covers on the page. Glyphs and texts are measured by the
// ink of their characters (a music font's ascent and descent reach far past its glyphs),
// lines by their ends and width, curves by their control points.
#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>

#include "graphics/GE.h"
#include "graphics/ge_services.h"
#include "model/model_services.h"
#include "platform/port.h"

namespace {

// The ink of a text in layout units about its origin (y downward), by font, size and face.
Rect measure_ink(int font, int size, int face, const std::string& text) {
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
  return {widen(ink.left), widen(ink.top), widen(ink.right), widen(ink.bottom)};
}

uint64_t style_key(int font, int size, int face) {
  return (uint64_t(uint32_t(font)) << 16) | (uint64_t(size & 0xFF) << 8) | uint64_t(face & 0xFF);
}

Rect text_ink(int font, int size, int face, const std::string& text) {
  static std::map<std::pair<uint64_t, std::string>, Rect> cache;
  auto key = std::make_pair(style_key(font, size, face), text);
  auto found = cache.find(key);
  if (found != cache.end()) return found->second;
  const Rect ink = measure_ink(font, size, face, text);
  cache.emplace(std::move(key), ink);
  return ink;
}

// A glyph's ink, kept by font, size, face and character; the glyphs met last are found first
// by a few bits of their key (a page draws few glyphs, again and again).
Rect glyph_ink(int font, int size, int face, int code) {
  struct Recent {
    uint64_t key = UINT64_MAX;  // no key: a style key takes 48 bits
    Rect ink;
  };
  static std::array<Recent, 64> recent;
  static std::unordered_map<uint64_t, Rect> cache;
  const uint64_t key = (style_key(font, size, face) << 8) | uint64_t(code & 0xFF);
  Recent& last = recent[size_t((key * 0x9E3779B97F4A7C15ULL) >> 58)];
  if (last.key == key) return last.ink;
  auto found = cache.find(key);
  const Rect ink =
      found != cache.end()
          ? found->second
          : cache.emplace(key, measure_ink(font, size, face, std::string(1, char(code & 0xFF))))
                .first->second;
  last = {key, ink};
  return ink;
}

// A text run by its ink; by its font's metrics when it has no ink to measure or runs over
// several lines.
GEInkBox text_box(Drosa element) {
  std::string text;
  Drosa attributes = element;
  GE_string_text(&text, &attributes);
  const int32_t x = attributes->get(xgc_x) + attributes->get(xgc_dx);
  const int32_t y = attributes->get(xgc_y) + attributes->get(xgc_dy);
  if (!text.empty() && text.find_first_of("\r\n") == std::string::npos) {
    const Rect ink = text_ink(attributes->get(xgc_font), attributes->get(xgc_size),
                              attributes->get(xgc_style), text);
    if (!ink.empty()) return {x + ink.left, y - ink.bottom, x + ink.right, y - ink.top};
  }
  const GEMeasuredText t = measure_GE_text(element);
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
  const Rect ink = glyph_ink(p->get(xgc_font), p->get(xgc_size), p->get(xgc_style), glyph);
  if (ink.empty()) return false;
  *box = {x + ink.left, y - ink.bottom, x + ink.right, y - ink.top};
  return true;
}

int ge_pstaff(Drosa element) {
  if (element->xkind == GE_CHAR) return element->get(xgc_pstaff);
  if (element->xkind == GE_LINE || element->xkind == GE_CURVE) return element->get(xge_pstaff1);
  return -1;
}
