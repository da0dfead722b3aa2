// piano_draw.h: the drawing primitives of the piano window. Everything drawn there (keys,
// palette boxes, symbols, texts) is laid out in the window's own fixed pixel coordinates and
// goes through these wrappers, which multiply each coordinate by the factor of its axis
// (piano_hscale, piano_vscale; both 1.0 unless someone zooms the window) and truncate toward
// zero. A rectangle is scaled field by field into a copy. They draw in the current port.
#pragma once

#include <cstdint>

#include "performance/performance_services.h"
#include "platform/geometry.h"
#include "platform/port.h"

// The window coordinate v scaled by a factor, truncated toward zero to 16 bits.
int16_t piano_scaled(int32_t v, double factor);

// ---- The wrappers

// --------------------------------------------------------------------------------
void scaled_MoveTo(int32_t h, int32_t v);
void scaled_LineTo(int32_t h, int32_t v);
// The text size times the smaller factor (the horizontal one when they are equal).
void scaled_TextSize(int32_t size);
void scaled_FillRect(const Rect& r, const Pattern& pattern);
void scaled_PaintRect(const Rect& r);
void scaled_FrameRect(const Rect& r);
void scaled_EraseRect(const Rect& r);
void scaled_InvertRect(const Rect& r);
void scaled_ClipRect(const Rect& r);
