// piano_draw.cpp: the scaled drawing primitives of the piano window (piano_draw.h).
#include "performance/piano_draw.h"

#include <algorithm>

#include "performance/performance_globals.h"
#include "platform/window.h"

int16_t piano_scaled(int32_t v, double factor) {
  return int16_t(std::clamp(double(int16_t(v)) * factor, -32768.0, 32767.0));
}

Rect piano_scaled_rect(const Rect& r) {
  return {piano_scaled(r.left, piano_hscale), piano_scaled(r.top, piano_vscale),
          piano_scaled(r.right, piano_hscale), piano_scaled(r.bottom, piano_vscale)};
}

void scaled_MoveTo(int32_t h, int32_t v) {
  move_to(piano_scaled(h, piano_hscale), piano_scaled(v, piano_vscale));
}

void scaled_LineTo(int32_t h, int32_t v) {
  line_to(piano_scaled(h, piano_hscale), piano_scaled(v, piano_vscale));
}

void scaled_TextSize(int32_t size) {
  const double smaller = piano_vscale < piano_hscale ? piano_vscale : piano_hscale;
  text_size(piano_scaled(size, smaller));
}

void scaled_FillRect(const Rect& r, const Pattern& pattern) {
  fill_rect(piano_scaled_rect(r), pattern);
}
void scaled_PaintRect(const Rect& r) { paint_rect(piano_scaled_rect(r)); }
void scaled_FrameRect(const Rect& r) { frame_rect(piano_scaled_rect(r)); }
void scaled_EraseRect(const Rect& r) { erase_rect(piano_scaled_rect(r)); }
void scaled_InvertRect(const Rect& r) { invert_rect(piano_scaled_rect(r)); }
void scaled_ClipRect(const Rect& r) { clip_rect(piano_scaled_rect(r)); }

Rect piano_dialog_bounds() {
  Port* port = piano_dialog ? platform_window_port(piano_dialog) : nullptr;
  return port ? port_bounds(port) : Rect{};
}

InPianoPort::InPianoPort() : saved_(platform_current_port()) {
  port_ = piano_dialog ? platform_window_port(piano_dialog) : nullptr;
  if (!port_) return;
  platform_set_port(port_);
  pen_ = get_pen_state();
  font_ = current_text_font();
  size_ = current_text_size();
  face_ = current_text_face();
  clip_ = get_clip();
}

InPianoPort::~InPianoPort() {
  if (port_) {
    set_pen_state(pen_);
    text_font(font_);
    text_size(size_);
    text_face(face_);
    clip_rect(clip_);
    platform_window_changed(piano_dialog);
  }
  platform_set_port(saved_);
}
